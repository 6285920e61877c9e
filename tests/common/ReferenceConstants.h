#pragma once
// The physical constants and unit conversions the tests compute their
// expected values with, written out here and not taken from
// core/LwConstants.h: a slip in the code's constants then shows as a failed
// test instead of moving both sides. Each is written with the digits the
// tests have always used; where a test needs another precision or another
// edition of a constant, that is a constant of its own below.
//
// Units in the name (_Js: J s, _JperK: J/K, _m: metres). Sources: CODATA
// 1986 (Cohen and Taylor, Rev. Mod. Phys. 59, 1121 (1987)) for e, m_e, h and
// k_B, the values the physics is meant to use; CODATA 1998 (Mohr and Taylor,
// Rev. Mod. Phys. 72, 351 (2000)) for the atomic mass unit, again as the
// physics uses it; CODATA 2018 (the exact SI values of 2019) in
// Reference::Codata2018, for checks that must not share any digit with the
// code's constants.

#include <cmath>

namespace Reference {

// Mathematics.
constexpr double Pi = 3.141592653589793;
// pi in long double (80 bits on x86-64), for closed forms evaluated wider
// than the double result they check.
constexpr long double PiLong = 3.141592653589793238462643383279502884L;

// Electron and charge (CODATA 1986).
constexpr double TwiceElectronMass_kg = 1.82187794e-30;  // 2 m_e, m_e = 9.1093897e-31 kg
constexpr double ElementaryCharge_C = 1.60217733e-19;
// Planck constant h, J s (CODATA 1986).
constexpr double Planck_Js = 6.6260755e-34;
constexpr long double PlanckLong_Js = 6.6260755e-34L;
// hbar = h / (2 pi), J s, from the h above to all digits of a double.
constexpr double Hbar_Js = 1.054572669125102e-34;
// hbar as CODATA 1986 prints it, 1.05457266(63)e-34 J s: nine digits, so it
// differs from Hbar_Js in the tenth.
constexpr double HbarPrinted_Js = 1.05457266e-34;
// Boltzmann constant k_B, J/K (CODATA 1986).
constexpr double Boltzmann_JperK = 1.380658e-23;
constexpr long double BoltzmannLong_JperK = 1.380658e-23L;
// Atomic mass unit u, kg (CODATA 1998: 1.66053873(13)e-27).
constexpr double AtomicMassUnit_kg = 1.66053873e-27;
constexpr long double AtomicMassUnitLong_kg = 1.66053873e-27L;
// Speed of light in vacuum, m/s (exact by the definition of the metre).
constexpr double SpeedOfLight_mps = 299792458.0;

// Einstein model of thermal vibration: every atom sits on a spring of this
// constant, N/m, so that its mean squared displacement is U = k_B T / 70 N/m.
constexpr double EinsteinSpring_Nperm = 70.0;

// Units: the Angstrom, 1e-10 m by definition, and the conversions with it.
// The square and the inverse are written out, not computed, because
// 1e-10 * 1e-10 rounds to a double other than 1e-20.
constexpr double Angstrom_m = 1e-10;
constexpr double SquareAngstrom_m2 = 1e-20;
constexpr double AngstromPerMetre = 1e10;
constexpr double SquareAngstromPerSquareMetre = 1e20;

// The SI values of 2019 (CODATA 2018; k_B exact): a second set of digits,
// for checks that must hold to their tolerance whichever edition the code's
// constants come from.
namespace Codata2018 {
constexpr double Hbar_Js = 1.054571817e-34;
constexpr double Boltzmann_JperK = 1.380649e-23;
constexpr double AtomicMassUnit_kg = 1.66053906660e-27;
}  // namespace Codata2018

// Wave number (1/m) of a free electron of kinetic energy ek (eV):
// k = sqrt(2 m_e e E) / hbar.
inline double ElectronWaveNumber_perm(double ek_eV)
{
    return std::sqrt(ek_eV * TwiceElectronMass_kg * ElementaryCharge_C) / Hbar_Js;
}

}  // namespace Reference
