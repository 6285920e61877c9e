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
    std::vector<LDouble> sumRe, sumIm;

    void Reserve(LwLong L)
    {
        if (h.size() < std::size_t(L)) {
            h.resize(std::size_t(L));
            sumRe.resize(std::size_t(L));
            sumIm.resize(std::size_t(L));
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

    // S_l = sum_m c_lm Y_lm, m outermost, with Y_lm = (-1)^m Q_lm e^{i m phi}
    // / sqrt(2 pi) and Y_l,-m = Q_lm e^{-i m phi} / sqrt(2 pi) (m >= 0);
    // e^{i m phi} by one complex product per m.
    const LegendreSteps& steps = Steps();
    const LComplex* c = outgoing_.Data();
    LDouble* sumRe = t.sumRe.data();
    LDouble* sumIm = t.sumIm.data();
    for (LwLong l = 0; l < L; ++l) {
        sumRe[l] = 0;
        sumIm[l] = 0;
    }
    LDouble qmm = 1;
    LDouble eRe = 1 / std::sqrt(static_cast<LDouble>(6.283185307179586));
    LDouble eIm = 0;
    for (LwLong m = 0; m < L; ++m) {
        qmm *= m == 0 ? steps.diagonal[0] : steps.diagonal[m] * sinTheta;
        if (m > 0) {
            const LDouble re = eRe * cosPhi - eIm * sinPhi;
            eIm = eRe * sinPhi + eIm * cosPhi;
            eRe = re;
        }
        // e^{i m phi} with the sign (-1)^m for the coefficient of +m.
        const LDouble sign = (m % 2 != 0) ? -1 : 1;
        const LDouble pRe = sign * eRe, pIm = sign * eIm;
        LDouble qPrev = 0, q = qmm;
        const LwLong row = m * (m + 1) / 2;
        for (LwLong l = m, i = row + m; l < L; i += l + 1, ++l) {
            if (l == m + 1) {
                qPrev = q;
                q = steps.first[m] * cosTheta * qmm;
            } else if (l > m + 1) {
                const LDouble qNext = steps.a[i] * cosTheta * q - steps.b[i] * qPrev;
                qPrev = q;
                q = qNext;
            }
            const LwLong centre = l * (l + 1);
            const LComplex cp = c[centre + m];
            const LDouble tRe = cp.real() * pRe - cp.imag() * pIm;
            const LDouble tIm = cp.real() * pIm + cp.imag() * pRe;
            if (m > 0) {
                // c_l,-m e^{-i m phi}
                const LComplex cm = c[centre - m];
                sumRe[l] += q * (tRe + cm.real() * eRe + cm.imag() * eIm);
                sumIm[l] += q * (tIm + cm.imag() * eRe - cm.real() * eIm);
            } else {
                sumRe[l] += q * tRe;
                sumIm[l] += q * tIm;
            }
        }
    }
    LDouble valueRe = 0, valueIm = 0;
    for (LwLong l = 0; l < L; ++l) {
        const LDouble hr = static_cast<LDouble>(t.h[std::size_t(l)].real());
        const LDouble hi = static_cast<LDouble>(t.h[std::size_t(l)].imag());
        valueRe += sumRe[l] * hr - sumIm[l] * hi;
        valueIm += sumRe[l] * hi + sumIm[l] * hr;
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
