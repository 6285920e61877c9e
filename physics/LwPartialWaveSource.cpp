#include "physics/LwPartialWaveSource.h"

#include "core/LwConstants.h"
#include "core/LwMatrixArithmetic.h"
#include "core/LwSphericalCoordinates.h"
#include "physics/LwSphericalBesselTable.h"
#include "physics/LwSphericalHarmonics.h"

#include <cmath>
#include <complex>
#include <vector>

namespace {
const char* const kEnergyNotDefined = "Kinetic energy is not deined";

// Below this k r the Hankel functions are left out: the source is not
// evaluated at its own centre.
constexpr double kMinimumKr = 0.001;

// Tables of one evaluation, kept per thread so that evaluating a source at
// many points allocates only when L grows.
struct EvaluationTables
{
    LwSphericalBesselTable bessel;
    std::vector<std::complex<double>> hPlus, hMinus;
    LwLmComplexArray Y;
};

EvaluationTables& Tables()
{
    thread_local EvaluationTables tables;
    return tables;
}

// Largest L of the quick route: up to L = 86 the Legendre recurrence cannot
// overflow (see LwSphericalHarmonics.cpp), so it needs no check.
constexpr LwLong kQuickRouteMaxL = 86;

// Scratch of the quick route, per thread; grows only.
struct QuickTables
{
    std::vector<std::complex<double>> h;
    // Per m: Q_{l-1,m}, Q_{l-2,m} of the running l; e^{i m phi} / sqrt(2 pi)
    // and (-1)^m times it.
    std::vector<LDouble> q1, q2, eRe, eIm, sRe, sIm;

    void Reserve(LwLong L)
    {
        if (h.size() < std::size_t(L)) {
            h.resize(std::size_t(L));
            for (std::vector<LDouble>* v : {&q1, &q2, &eRe, &eIm, &sRe, &sIm})
                v->resize(std::size_t(L));
        }
    }
};

QuickTables& Quick()
{
    thread_local QuickTables tables;
    return tables;
}

// Steps of the normalised Legendre recurrence for l < kQuickRouteMaxL, with
// Q_lm = sqrt((2l+1)/2 (l-m)!/(l+m)!) P_l^m(x) (m >= 0, no Condon-Shortley
// phase):
//   Q_00 = sqrt(1/2),  Q_mm = diagonal_m sin(theta) Q_{m-1,m-1},
//   Q_{m+1,m} = sqrt(2m+3) x Q_mm,  Q_lm = a_lm x Q_{l-1,m} - b_lm Q_{l-2,m},
//   a_lm = sqrt((4l^2-1)/(l^2-m^2)), b_lm = sqrt((2l+1)((l-1)^2-m^2)/((2l-3)(l^2-m^2))).
// Every factor is of order one, so nothing over- or underflows below the
// limit and the loop needs no division. Built once, thread-safely, on first
// use.
struct LegendreSteps
{
    LDouble diagonal[kQuickRouteMaxL];
    LDouble first[kQuickRouteMaxL];
    // At l (l + 1) / 2 + m, as the triangle of m <= l.
    LDouble a[kQuickRouteMaxL * (kQuickRouteMaxL + 1) / 2];
    LDouble b[kQuickRouteMaxL * (kQuickRouteMaxL + 1) / 2];

    LegendreSteps()
    {
        for (LwLong m = 0; m < kQuickRouteMaxL; ++m) {
            const LDouble twoM = 2 * static_cast<LDouble>(m);
            diagonal[m] = m == 0 ? std::sqrt(LDouble(0.5)) : std::sqrt((twoM + 1) / twoM);
            first[m] = std::sqrt(twoM + 3);
        }
        for (LwLong l = 0; l < kQuickRouteMaxL; ++l)
            for (LwLong m = 0; m <= l; ++m) {
                const LDouble L = static_cast<LDouble>(l), M = static_cast<LDouble>(m);
                const LwLong i = l * (l + 1) / 2 + m;
                a[i] = l >= m + 2 ? std::sqrt((4 * L * L - 1) / (L * L - M * M)) : 0;
                b[i] = l >= m + 2 ? std::sqrt((2 * L + 1) * ((L - 1) * (L - 1) - M * M) /
                                              ((2 * L - 3) * (L * L - M * M)))
                                  : 0;
            }
    }
};

const LegendreSteps& Steps()
{
    static const LegendreSteps steps;
    return steps;
}

inline LComplex ToLComplex(const std::complex<double>& z)
{
    return LComplex(static_cast<LDouble>(z.real()), static_cast<LDouble>(z.imag()));
}
}  // namespace

LwPartialWaveSource::LwPartialWaveSource()
{
    SetPosition(0, 0, 0);
}

LwPartialWaveSource::LwPartialWaveSource(const LwPartialWaveSource& other)
{
    *this = other;
}

LwPartialWaveSource& LwPartialWaveSource::operator=(const LwPartialWaveSource& other)
{
    if (&other == this)
        return *this;
    ek_ = other.ek_;
    k_ = other.k_;
    {
        std::lock_guard<std::mutex> lock(other.growth_);
        normalization_ = other.normalization_;
        coveredL_.store(other.coveredL_.load(std::memory_order_acquire), std::memory_order_release);
    }
    isPlaneWave_ = other.isPlaneWave_;
    planeWaveVector_ = other.planeWaveVector_;
    u_ = other.u_;
    atomicNumber_ = other.atomicNumber_;
    outgoing_ = other.outgoing_;
    incoming_ = other.incoming_;
    position_ = other.position_;
    return *this;
}

void LwPartialWaveSource::SetKineticEnergy(double ek)
{
    ek_ = ek;
    k_ = ElectronWaveNumber_perm(ek);
}

void LwPartialWaveSource::SetPlaneWave(const LwLDoubleMatrix& direction, const LComplex& amplitude)
{
    const LwLong b = direction.VectorBegin();
    const LDouble dx = direction[b], dy = direction[b + 1], dz = direction[b + 2];
    const LDouble length = std::sqrt(dx * dx + dy * dy + dz * dz);
    isPlaneWave_ = true;
    planeWaveVector_.Create(3);
    planeWaveVector_[0] = dx / length * k_;
    planeWaveVector_[1] = dy / length * k_;
    planeWaveVector_[2] = dz / length * k_;
    outgoing_.SetSizeZero(1);
    outgoing_(0, 0) = amplitude;
}

void LwPartialWaveSource::SetPosition(LDouble x, LDouble y, LDouble z)
{
    position_.Create(3);
    position_[0] = x;
    position_[1] = y;
    position_[2] = z;
}

void LwPartialWaveSource::EnsureNormalization(LwLong L) const
{
    if (coveredL_.load(std::memory_order_acquire) >= L)
        return;
    std::lock_guard<std::mutex> lock(growth_);
    if (normalization_.GetL() < L)
        CalcLegendreNormalization(normalization_, L);
    coveredL_.store(normalization_.GetL(), std::memory_order_release);
}

LComplex LwPartialWaveSource::GetValueLocal(LDouble r, LDouble theta, LDouble phi) const
{
    if (ek_ < 0)
        throw kEnergyNotDefined;
    if (isPlaneWave_) {
        const LwLong b = planeWaveVector_.VectorBegin();
        const LDouble phase = (r * std::sin(theta) * std::sin(phi)) * planeWaveVector_[b + 1] +
                              (r * std::sin(theta) * std::cos(phi)) * planeWaveVector_[b] +
                              (r * std::cos(theta)) * planeWaveVector_[b + 2];
        return outgoing_(0, 0) * LComplex(std::cos(phase), std::sin(phase));
    }

    const LwLong L1 = outgoing_.GetL();
    const LwLong L2 = incoming_.GetL();
    const double kr = k_ * static_cast<double>(r);
    if (r <= 0 || kr < kMinimumKr || (L1 == 0 && L2 == 0))
        return LComplex(0, 0);

    const LwLong L = L1 > L2 ? L1 : L2;
    EvaluationTables& t = Tables();
    t.bessel.Set(L, kr);
    t.bessel.GetHankel(t.hPlus, t.hMinus);
    EnsureNormalization(L);
    CalcSphericalHarmonics(normalization_, t.Y, L, theta, phi);
    const LComplex* Y = t.Y.Data();

    if (L1 == L2) {
        const LComplex* c = outgoing_.Data();
        const LComplex* d = incoming_.Data();
        LComplex value(0, 0);
        for (LwLong l = L - 1; l >= 0; --l) {
            const LComplex hp = ToLComplex(t.hPlus[l]);
            const LComplex hm = ToLComplex(t.hMinus[l]);
            for (LwLong p = l * l; p <= l * l + 2 * l; ++p)
                value += (d[p] * hm + c[p] * hp) * Y[p];
        }
        return value;
    }

    // Parts of different L: each summed over its own l, zero coefficients
    // skipped (most of a scattered wave's high-l entries are exactly 0).
    auto sum = [&](const LwLmComplexArray& coeff, const std::vector<std::complex<double>>& h) {
        const LComplex* a = coeff.Data();
        LComplex s(0, 0);
        for (LwLong l = 0; l < coeff.GetL(); ++l) {
            const LComplex hl = ToLComplex(h[l]);
            for (LwLong p = l * l; p <= l * l + 2 * l; ++p)
                if (a[p].real() != 0 || a[p].imag() != 0)
                    s += (a[p] * Y[p]) * hl;
        }
        return s;
    };
    const LComplex sPlus = sum(outgoing_, t.hPlus);
    const LComplex sMinus = sum(incoming_, t.hMinus);
    return sMinus + sPlus;
}

LComplex LwPartialWaveSource::GetValueRelative(LDouble x, LDouble y, LDouble z) const
{
    if (ek_ < 0)
        throw kEnergyNotDefined;
    if (isPlaneWave_) {
        const LwLong b = planeWaveVector_.VectorBegin();
        const LDouble phase =
            x * planeWaveVector_[b] + y * planeWaveVector_[b + 1] + z * planeWaveVector_[b + 2];
        return outgoing_(0, 0) * LComplex(std::cos(phase), std::sin(phase));
    }
    LDouble r, theta, phi;
    CartesianToSpherical(x, y, z, r, theta, phi);
    return GetValueLocal(r, theta, phi);
}

LComplex LwPartialWaveSource::GetValueAtOffset(LDouble x, LDouble y, LDouble z) const
{
    if (ek_ < 0)
        throw kEnergyNotDefined;
    const LwLong L = outgoing_.GetL();
    if (isPlaneWave_ || incoming_.GetL() != 0 || L > kQuickRouteMaxL)
        return GetValueRelative(x, y, z);
    const LDouble r = std::sqrt(x * x + y * y + z * z);
    const double kr = k_ * static_cast<double>(r);
    if (r <= 0 || kr < kMinimumKr || L == 0)
        return LComplex(0, 0);
    QuickTables& t = Quick();
    t.Reserve(L);
    if (!LwSphericalBesselTable::OutgoingHankelUpward(L, kr, t.h.data()))
        return GetValueRelative(x, y, z);

    // The direction: cos theta, sin theta >= 0 and e^{i phi} (phi = 0 on
    // the z axis, as CartesianToSpherical has it).
    const LDouble cosTheta = z / r;
    const LDouble rho = std::sqrt(x * x + y * y);
    const LDouble sinTheta = rho / r;
    const LDouble cosPhi = rho > 0 ? x / rho : LDouble(1);
    const LDouble sinPhi = rho > 0 ? y / rho : LDouble(0);

    // value = sum_l h_l sum_m c_lm Y_lm with Y_lm = (-1)^m Q_lm e^{i m phi} /
    // sqrt(2 pi) and Y_l,-m = Q_lm e^{-i m phi} / sqrt(2 pi) (m >= 0). l runs
    // outermost and every m of an l takes its recurrence step at once: the
    // steps of different m are independent, so they overlap in the pipeline
    // instead of waiting for each other.
    const LegendreSteps& steps = Steps();
    const LComplex* c = outgoing_.Data();
    LDouble* q1 = t.q1.data();
    LDouble* q2 = t.q2.data();
    LDouble* eRe = t.eRe.data();
    LDouble* eIm = t.eIm.data();
    LDouble* sRe = t.sRe.data();
    LDouble* sIm = t.sIm.data();
    eRe[0] = 1 / std::sqrt(static_cast<LDouble>(6.283185307179586));
    eIm[0] = 0;
    sRe[0] = eRe[0];
    sIm[0] = 0;
    for (LwLong m = 1; m < L; ++m) {
        eRe[m] = eRe[m - 1] * cosPhi - eIm[m - 1] * sinPhi;
        eIm[m] = eRe[m - 1] * sinPhi + eIm[m - 1] * cosPhi;
        const LDouble sign = (m % 2 != 0) ? -1 : 1;
        sRe[m] = sign * eRe[m];
        sIm[m] = sign * eIm[m];
    }

    LDouble diagonal = steps.diagonal[0];  // Q_ll
    LDouble valueRe = 0, valueIm = 0;
    for (LwLong l = 0; l < L; ++l) {
        const LwLong row = l * (l + 1) / 2;
        for (LwLong m = 0; m + 2 <= l; ++m) {
            const LDouble next = steps.a[row + m] * cosTheta * q1[m] - steps.b[row + m] * q2[m];
            q2[m] = q1[m];
            q1[m] = next;
        }
        if (l >= 1) {
            q2[l - 1] = q1[l - 1];
            q1[l - 1] = steps.first[l - 1] * cosTheta * q1[l - 1];
            diagonal *= steps.diagonal[l] * sinTheta;
        }
        q1[l] = diagonal;

        const LComplex* cl = c + l * (l + 1);  // cl[m] = c_lm
        LDouble accRe = q1[0] * (cl[0].real() * sRe[0]);
        LDouble accIm = q1[0] * (cl[0].imag() * sRe[0]);
        for (LwLong m = 1; m <= l; ++m) {
            const LDouble pr = cl[m].real(), pi = cl[m].imag();
            const LDouble nr = cl[-m].real(), ni = cl[-m].imag();
            accRe += q1[m] * (pr * sRe[m] - pi * sIm[m] + nr * eRe[m] + ni * eIm[m]);
            accIm += q1[m] * (pr * sIm[m] + pi * sRe[m] + ni * eRe[m] - nr * eIm[m]);
        }
        const LDouble hr = static_cast<LDouble>(t.h[std::size_t(l)].real());
        const LDouble hi = static_cast<LDouble>(t.h[std::size_t(l)].imag());
        valueRe += accRe * hr - accIm * hi;
        valueIm += accRe * hi + accIm * hr;
    }
    return LComplex(valueRe, valueIm);
}

LComplex LwPartialWaveSource::GetValueXYZ(LDouble x, LDouble y, LDouble z) const
{
    return GetValueRelative(x - X(), y - Y(), z - Z());
}

LComplex LwPartialWaveSource::GetValueRThetaPhi(LDouble r, LDouble theta, LDouble phi) const
{
    LDouble x, y, z;
    SphericalToCartesian(r, theta, phi, x, y, z);
    return GetValueAtOffset(x - X(), y - Y(), z - Z());
}

LComplex LwPartialWaveSource::GetFarFieldTerm(const LwLmComplexArray& Y, double k, double d) const
{
    const LwLong L = outgoing_.GetL();
    if (L == 0)
        return LComplex(0, 0);
    Y.Index(L - 1, 0);  // Y must hold every l of the coefficients
    const LComplex* c = outgoing_.Data();
    const LComplex* y = Y.Data();
    LComplex F(0, 0);
    for (LwLong l = 0; l < L; ++l) {
        LComplex s(0, 0);
        for (LwLong p = l * l; p <= l * l + 2 * l; ++p)
            s += c[p] * y[p];
        F += PowerOfMinusI(l + 1) * s;
    }
    const double phase = k * (-1) * d;
    return F * LComplex(std::cos(phase), std::sin(phase));
}
