#include "physics/LwWaveVectorFreeElectron.h"

#include "core/LwError.h"
#include "physics/LwVectorFreeElectron.h"

#include <cmath>
#include <stdexcept>

namespace {

LwVectorFreeElectron& Attached(LwVectorFreeElectron* wave)
{
    if (!wave)
        throw LwError("pointer is not defined");
    return *wave;
}

}  // namespace

LComplex LwWaveVectorFreeElectron::GetValue(double r, double theta, double phi)
{
    return Attached(wave_).GetValueRThetaPhi(r, theta, phi);
}

void LwWaveVectorFreeElectron::GetValuesAlong(double theta, double phi, const double* radii, LwLong count,
                                              LComplex* values)
{
    const LwVectorFreeElectron& wave = Attached(wave_);
    if (count <= 0)
        return;
    // The products in the order of SphericalToCartesian, so each point is the
    // one GetValue forms, bit for bit.
    const LDouble sinTheta = std::sin(LDouble(theta)), cosTheta = std::cos(LDouble(theta));
    const LDouble sinPhi = std::sin(LDouble(phi)), cosPhi = std::cos(LDouble(phi));
    for (LwLong i = 0; i < count; ++i) {
        const LDouble r = radii[i];
        const LDouble t = r * sinTheta;
        values[i] = wave.GetValueAtPoint(t * cosPhi, t * sinPhi, r * cosTheta);
    }
}

double LwWaveVectorFreeElectron::GetWaveNumber()
{
    const LwVectorFreeElectron& wave = Attached(wave_);
    if (wave.Sources().empty())
        throw std::out_of_range("invalid vector<T> subscript");
    return wave.Sources()[0].GetWaveNumber();
}

double LwWaveVectorFreeElectron::GetKineticEnergy()
{
    return Attached(wave_).GetKineticEnergy();
}

void LwWaveVectorFreeElectron::PrepareConcurrentEvaluation()
{
    const LwVectorFreeElectron& wave = Attached(wave_);
    for (const LwPartialWaveSource& source : wave.Sources()) {
        // One evaluation at k r = 1 builds the table of Y_lm for the larger
        // of the source's two L, which sizes its normalisation cache. Sources
        // that never use the cache (plane waves, no coefficients, no energy)
        // are left alone; an undefined energy is reported by the evaluation
        // itself, where the caller expects it.
        const bool usesCache =
            !source.IsPlaneWave() && (source.Outgoing().GetL() > 0 || source.Incoming().GetL() > 0);
        const double k = source.GetWaveNumber();
        if (usesCache && source.GetKineticEnergy() >= 0 && k > 0)
            source.GetValueLocal(1 / LDouble(k), 0, 0);
    }
}
