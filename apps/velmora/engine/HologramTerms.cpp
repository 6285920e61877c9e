#include "apps/velmora/engine/HologramTerms.h"

#include <cmath>

namespace {

// Written without branches so that the atom loop vectorizes.
inline double TermOf(double cosine, double kr, double g, double a0, double a1, double a2, double a3,
                     double q0, double q1, double q2, double q3, double c, double f1, double f2, double kkU,
                     double onlyD)
{
    const double m = 1.0 - cosine;
    const double ms = m > 0 ? m : 0.0;
    const double x = kr * m;
    const double f0 = c + a0 * std::exp(-q0 * ms) + a1 * std::exp(-q1 * ms) + a2 * std::exp(-q2 * ms) +
                      a3 * std::exp(-q3 * ms);
    const double t = g * (f2 * std::sin(x) - (f0 + f1) * std::cos(x));
    const double d = std::exp(-kkU * m);
    // onlyD is 0 or 1; a select here would let the compiler move the calls
    // of t into a branch, which the vectorizer refuses.
    return (t * (1.0 - onlyD) + onlyD) * d;
}

}  // namespace

double HologramTerms::Term(double cosine, double kr, double g, const double a[4], const double q[4], double c,
                           double f1, double f2, double kkU, double onlyD)
{
    return TermOf(cosine, kr, g, a[0], a[1], a[2], a[3], q[0], q[1], q[2], q[3], c, f1, f2, kkU, onlyD);
}

void HologramTerms::Append(double ux_, double uy_, double uz_, double kr_, double g_, const double a[4],
                           const double q[4], double c_, double f1_, double f2_, double kkU_, double onlyD_)
{
    ux.push_back(ux_);
    uy.push_back(uy_);
    uz.push_back(uz_);
    kr.push_back(kr_);
    g.push_back(g_);
    a0.push_back(a[0]);
    a1.push_back(a[1]);
    a2.push_back(a[2]);
    a3.push_back(a[3]);
    q0.push_back(q[0]);
    q1.push_back(q[1]);
    q2.push_back(q[2]);
    q3.push_back(q[3]);
    c.push_back(c_);
    f1.push_back(f1_);
    f2.push_back(f2_);
    kkU.push_back(kkU_);
    onlyD.push_back(onlyD_);
}

// One clone per vector width: the loader picks the widest the processor has.
__attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default"))) double
HologramTerms::PixelSum(double dx, double dy, double dz) const
{
    const std::size_t n = size();
    const double *pux = ux.data(), *puy = uy.data(), *puz = uz.data(), *pkr = kr.data(), *pg = g.data();
    const double *pa0 = a0.data(), *pa1 = a1.data(), *pa2 = a2.data(), *pa3 = a3.data();
    const double *pq0 = q0.data(), *pq1 = q1.data(), *pq2 = q2.data(), *pq3 = q3.data();
    const double *pc = c.data(), *pf1 = f1.data(), *pf2 = f2.data(), *pkkU = kkU.data(),
                 *ponlyD = onlyD.data();
    double sum = 0;
#pragma omp simd reduction(+ : sum)
    for (std::size_t i = 0; i < n; ++i) {
        const double cosine = dx * pux[i] + dy * puy[i] + dz * puz[i];
        sum += TermOf(cosine, pkr[i], pg[i], pa0[i], pa1[i], pa2[i], pa3[i], pq0[i], pq1[i], pq2[i], pq3[i],
                      pc[i], pf1[i], pf2[i], pkkU[i], ponlyD[i]);
    }
    return sum;
}
