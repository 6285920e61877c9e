#pragma once
// A photoelectron wave in the cluster: its kinetic energy, the inelastic
// mean free path and the list of partial-wave sources, source 0 being the
// emitter and the others the atoms that scatter.
//
// Units: lengths in metres, kinetic energies in eV, mean-square
// displacements in m^2, angles in radians.
//
// The far-field operations give coefficients of e^{ikR}/(kR) referred to the
// origin; they keep their tables per thread and change nothing, so any
// number of threads may call them at once.

#include "core/LwTypes.h"
#include "physics/LwPartialWaveSource.h"

#include <vector>

class LwVectorFreeElectron
{
public:
    // Kinetic energy of a wave whose energy is not set.
    static constexpr double kUndefinedEnergy = -15000;

    LwVectorFreeElectron() = default;

    double GetKineticEnergy() const { return ek_; }
    // Stores E and sets it on every source, in order.
    void SetKineticEnergy(double ek);

    double GetMeanFreePath_m() const { return meanFreePath_; }
    // 0 switches the attenuation off; a negative length throws and keeps the
    // old value.
    void SetMeanFreePath_m(double length);

    std::vector<LwPartialWaveSource>& Sources() { return sources_; }
    const std::vector<LwPartialWaveSource>& Sources() const { return sources_; }

    // The largest L of the sources' outgoing coefficients; 0 without sources.
    LwLong GetMaxL() const;

    // The sum of all sources at a point. GetValueRThetaPhi throws the bare
    // text "Kinetic Energy is not defined" when the wave's own energy is not
    // set; GetValueXYZ does not look at it. GetValueRThetaPhi, the one the
    // re-expansion samples, forms the point once and takes each source by
    // LwPartialWaveSource::GetValueAtOffset; it allocates nothing.
    LComplex GetValueRThetaPhi(LDouble r, LDouble theta, LDouble phi) const;
    LComplex GetValueXYZ(LDouble x, LDouble y, LDouble z) const;
    // GetValueRThetaPhi at the Cartesian point (x, y, z) (m): the same check
    // of the energy, each source by GetValueAtOffset.
    LComplex GetValueAtPoint(LDouble x, LDouble y, LDouble z) const;

    // Far-field amplitude of the emitter alone (source 0), with its thermal
    // factor; 0 without sources.
    LComplex GetFarFieldDirect(LDouble theta, LDouble phi) const;
    // Far-field amplitude of the scatterers (sources 1 ...), each with its
    // thermal factor and, for a positive mean free path, the attenuation
    // exp(-|r_j| / (2 mean free path)) of AmplitudeAttenuationRate. L >= 1
    // gives the number of l values summed (at least every source's L), else
    // the largest source L is used.
    LComplex GetFarFieldScattered(LDouble theta, LDouble phi, const LwLong& L) const;
    // GetFarFieldDirect + GetFarFieldScattered.
    LComplex GetFarFieldAmplitude(LDouble theta, LDouble phi, const LwLong& L) const;

    // The wave that arrives at atom i, described about atom i: every other
    // source moved by -r_i (a source at the very place of atom i is left
    // out). Re-applies the wave's energy to every source first; an index
    // outside the list throws the bare text "index error".
    void Recentre(LwVectorFreeElectron& out, int i);

private:
    double ek_ = kUndefinedEnergy;
    double meanFreePath_ = 0;
    std::vector<LwPartialWaveSource> sources_;
};

// The rate g (1/m) of the amplitude factor exp(-g r) of a wave that has run
// the path r through the solid, for the inelastic mean free path lambda (m):
// the intensity falls as exp(-r / lambda) by the definition of lambda, so
// the amplitude as exp(-r / (2 lambda)), and g = 1 / (2 lambda). 0 (no
// attenuation) for lambda <= 0.
inline double AmplitudeAttenuationRate(double meanFreePath)
{
    return meanFreePath > 0 ? 0.5 / meanFreePath : 0;
}

// The Debye-Waller factor of a far-field term t for the source's mean-square
// displacement: t exp(-(1 - d/|r|) k^2 U_sum), with |r| the source's distance
// from the origin and d the unit direction dotted with its position; t is
// unchanged when U_sum <= 0 or |r| = 0. Returns the (changed) t.
LComplex CalcThermalFactor(LComplex& term, const LwPartialWaveSource& source, double uSum, double k,
                           double d);
