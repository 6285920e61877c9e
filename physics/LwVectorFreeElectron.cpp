#include "physics/LwVectorFreeElectron.h"

#include "core/LwError.h"
#include "core/LwSphericalCoordinates.h"
#include "physics/LwSphericalHarmonics.h"

#include <cmath>

namespace {
// Y_lm of one far-field direction, with a normalisation cache that only
// grows: kept per thread, since the pattern calculation asks for a direction
// per pixel from several threads.
struct FarFieldTables
{
    LwLmDoubleArray normalization;
    LwLmComplexArray Y;
};

const LwLmComplexArray& FarFieldHarmonics(LwLong L, LDouble theta, LDouble phi)
{
    thread_local FarFieldTables tables;
    CalcSphericalHarmonics(tables.normalization, tables.Y, L, theta, phi);
    return tables.Y;
}

// The unit direction (theta, phi), taken apart once per direction and dotted
// with every source position, summed in the order y, x, z.
struct Direction
{
    Direction(LDouble theta, LDouble phi)
        : uy(std::sin(theta) * std::sin(phi)), ux(std::sin(theta) * std::cos(phi)), uz(std::cos(theta))
    {}
    double Dot(const LwPartialWaveSource& s) const
    {
        return static_cast<double>(uy * s.Y() + ux * s.X() + uz * s.Z());
    }

    LDouble uy, ux, uz;
};

LDouble Distance(const LwPartialWaveSource& s)
{
    return std::sqrt(s.X() * s.X() + s.Y() * s.Y() + s.Z() * s.Z());
}
}  // namespace

void LwVectorFreeElectron::SetKineticEnergy(double ek)
{
    ek_ = ek;
    for (LwPartialWaveSource& s : sources_)
        s.SetKineticEnergy(ek);
}

void LwVectorFreeElectron::SetMeanFreePath_m(double length)
{
    if (length < 0)
        throw LwError("LwVectorFreeElectron::SetMeanFreePath_m():ERROR length_meter <0");
    meanFreePath_ = length;
}

LwLong LwVectorFreeElectron::GetMaxL() const
{
    LwLong L = 0;
    for (const LwPartialWaveSource& s : sources_)
        if (s.Outgoing().GetL() > L)
            L = s.Outgoing().GetL();
    return L;
}

LComplex LwVectorFreeElectron::GetValueRThetaPhi(LDouble r, LDouble theta, LDouble phi) const
{
    // The point once, then each source at its offset from it (the same
    // offsets, bit for bit, that each source's GetValueRThetaPhi forms).
    LDouble x, y, z;
    SphericalToCartesian(r, theta, phi, x, y, z);
    return GetValueAtPoint(x, y, z);
}

LComplex LwVectorFreeElectron::GetValueAtPoint(LDouble x, LDouble y, LDouble z) const
{
    if (ek_ < 0)
        throw "Kinetic Energy is not defined";
    LComplex sum(0, 0);
    for (const LwPartialWaveSource& s : sources_)
        sum += s.GetValueAtOffset(x - s.X(), y - s.Y(), z - s.Z());
    return sum;
}

LComplex LwVectorFreeElectron::GetValueXYZ(LDouble x, LDouble y, LDouble z) const
{
    LComplex sum(0, 0);
    for (const LwPartialWaveSource& s : sources_)
        sum += s.GetValueXYZ(x, y, z);
    return sum;
}

LComplex LwVectorFreeElectron::GetFarFieldDirect(LDouble theta, LDouble phi) const
{
    if (sources_.empty())
        return LComplex(0, 0);
    const LwPartialWaveSource& s0 = sources_[0];
    if (s0.Outgoing().GetL() == 0)
        return LComplex(0, 0);  // nothing to sum (Y_lm need L >= 1)
    const LwLmComplexArray& Y = FarFieldHarmonics(s0.Outgoing().GetL(), theta, phi);
    const double d0 = Direction(theta, phi).Dot(s0);
    const double k0 = s0.GetWaveNumber();
    LComplex term = s0.GetFarFieldTerm(Y, k0, d0);
    return CalcThermalFactor(term, s0, s0.GetU() + s0.GetU(), k0, d0);
}

LComplex LwVectorFreeElectron::GetFarFieldScattered(LDouble theta, LDouble phi, const LwLong& L) const
{
    if (sources_.size() < 2)
        return LComplex(0, 0);
    const LwLong usedL = L >= 1 ? L : GetMaxL();
    if (usedL == 0)
        return LComplex(0, 0);  // no source has coefficients
    const LwLmComplexArray& Y = FarFieldHarmonics(usedL, theta, phi);
    const Direction u(theta, phi);
    const LwPartialWaveSource& s0 = sources_[0];
    const double k0 = s0.GetWaveNumber();
    const double u0 = s0.GetU();
    const double g = AmplitudeAttenuationRate(meanFreePath_);

    LComplex sum(0, 0);
    for (std::size_t j = 1; j < sources_.size(); ++j) {
        const LwPartialWaveSource& s = sources_[j];
        const double d = u.Dot(s);
        LComplex t = s.GetFarFieldTerm(Y, k0, d);
        CalcThermalFactor(t, s, s.GetU() + u0, k0, d);
        if (g > 0)
            t *= std::exp(-(Distance(s) * g));
        sum += t;
    }
    return sum;
}

LComplex LwVectorFreeElectron::GetFarFieldAmplitude(LDouble theta, LDouble phi, const LwLong& L) const
{
    return GetFarFieldDirect(theta, phi) + GetFarFieldScattered(theta, phi, L);
}

void LwVectorFreeElectron::Recentre(LwVectorFreeElectron& out, int i)
{
    SetKineticEnergy(ek_);
    if (i < 0 || static_cast<std::size_t>(i) >= sources_.size())
        throw "index error";
    // out may be this wave itself only through a copy: build the result apart.
    LwVectorFreeElectron result;
    result.ek_ = ek_;
    result.meanFreePath_ = meanFreePath_;
    result.sources_.reserve(sources_.size());
    const LwPartialWaveSource& centre = sources_[i];
    const LDouble xi = centre.X(), yi = centre.Y(), zi = centre.Z();
    for (std::size_t j = 0; j < sources_.size(); ++j) {
        if (j == static_cast<std::size_t>(i))
            continue;
        const LwPartialWaveSource& s = sources_[j];
        if (s.X() == xi && s.Y() == yi && s.Z() == zi)
            continue;
        result.sources_.push_back(s);
        result.sources_.back().SetPosition(s.X() - xi, s.Y() - yi, s.Z() - zi);
    }
    out = std::move(result);
}

LComplex CalcThermalFactor(LComplex& term, const LwPartialWaveSource& source, double uSum, double k, double d)
{
    const double r = static_cast<double>(Distance(source));
    if (uSum > 0 && r > 0)
        term = term * static_cast<LDouble>(std::exp(-((1 - d / r) * k * k * uSum)));
    return term;
}
