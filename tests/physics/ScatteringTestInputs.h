#pragma once
// Inputs of the scattering tests built in code: cluster atoms, emitted-wave
// entries and phase-shift entries, with the t-vector formed from phase
// shifts given in radians.

#include "physics/LwClusterAtom.h"
#include "physics/LwDocFinalState.h"
#include "physics/LwDocScattering.h"
#include "physics/LwDocScatteringPhaseShift.h"
#include "ReferenceConstants.h"

#include <cmath>
#include <string>
#include <vector>

namespace ScatteringTest {
// 2 m_e e / hbar^2 as the partial-wave sources use it: k = sqrt(2 m_e e E) / hbar.
inline double WaveNumber(double ekEv)
{
    return Reference::ElectronWaveNumber_perm(ekEv);
}

// An atom at (x, y, z) metres.
inline LwClusterAtom Atom(const std::string& name, const std::string& element, double x, double y, double z)
{
    LwClusterAtom atom;
    atom.Name_ = name;
    atom.Atom_ = element;
    atom.Position_.Create(3);
    atom.Position_[0] = x;
    atom.Position_[1] = y;
    atom.Position_[2] = z;
    return atom;
}

inline void SetIsotropicU(LwClusterAtom& atom, double u)
{
    atom.U_.Create(1, 1);
    atom.U_(0, 0) = u;
}

// An emitted wave of kinetic energy ek (eV) with the given coefficients.
inline LwEmitterEntry Emitted(double ek, const LwLmComplexArray& coefficients, double ratio = 1.0)
{
    LwEmitterEntry e;
    e.Ek = ek;
    e.coeff = coefficients;
    e.Ratio = ratio;
    return e;
}

inline LwEmitterEntry PlaneWave(double ek, double betaDeg, double gammaDeg)
{
    LwEmitterEntry e;
    e.Ek = ek;
    e.IsPlaneWave = true;
    e.PlaneWaveBeta_deg = betaDeg;
    e.PlaneWaveGamma_deg = gammaDeg;
    return e;
}

// Coefficients with L l values, all zero but c(l, m) = value.
inline LwLmComplexArray SingleCoefficient(LwLong L, LwLong l, LwLong m, LComplex value = 1.0)
{
    LwLmComplexArray c;
    c.SetSizeZero(L);
    c(l, m) = value;
    return c;
}

// A phase-shift entry for atoms named `name` at ek (eV): t_l = e^{2i delta_l} - 1
// from the phase shifts delta_l (radians); the radial grid ends at ln(radius).
inline LwPhaseShiftEntry PhaseShift(const std::string& name, double ek, const std::vector<double>& delta,
                                    std::vector<double> lnX = {std::log(1.0e-10)})
{
    LwPhaseShiftEntry entry;
    entry.AtomName = name;
    entry.Ek_eV = ek;
    entry.TVector.Create(static_cast<int>(delta.size()));
    entry.PhaseShiftValue.Create(static_cast<int>(delta.size()));
    for (std::size_t l = 0; l < delta.size(); ++l) {
        entry.PhaseShiftValue[static_cast<int>(l)] = delta[l] * 180 / Reference::Pi;
        entry.TVector[static_cast<int>(l)] = std::exp(LComplex(0, 2 * delta[l])) - LComplex(1, 0);
    }
    entry.LnX = std::move(lnX);
    return entry;
}

inline std::vector<LwPhaseShiftEntry>& Entries(LwDocScatteringPhaseShift& doc)
{
    return doc.ListScatteringPhaseShift;
}
}  // namespace ScatteringTest
