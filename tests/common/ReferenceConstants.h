#pragma once
// The physical constants the tests compute their expected values with,
// written out here and not taken from core/LwConstants.h: a slip in the
// code's constants then shows as a failed test instead of moving both sides.
// They are the CODATA 1986 values the physics is meant to use.

#include <cmath>

namespace Reference {

constexpr double TwiceElectronMass_kg = 1.82187794e-30;  // 2 m_e
constexpr double ElementaryCharge_C = 1.60217733e-19;
constexpr double Hbar_Js = 1.054572669125102e-34;

// Wave number (1/m) of a free electron of kinetic energy ek (eV):
// k = sqrt(2 m_e e E) / hbar.
inline double ElectronWaveNumber_perm(double ek_eV)
{
    return std::sqrt(ek_eV * TwiceElectronMass_kg * ElementaryCharge_C) / Hbar_Js;
}

}  // namespace Reference
