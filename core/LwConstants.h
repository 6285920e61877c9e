#pragma once
// Mathematical and physical constants of the suite, and the conversions built
// on them. Every library takes its constants from here so that one value is
// used everywhere.
//
// The physical constants are the CODATA 1986 values the suite's physics has
// always used (the electron's mass 9.1093897e-31 kg, e = 1.60217733e-19 C,
// h = 6.6260755e-34 J s, k_B = 1.380658e-23 J/K), but for the atomic mass
// unit, which is the CODATA 1998 value; changing them shifts every computed
// wave number in the sixth digit, so they stay as they are.

#include <cmath>

namespace LwConst {
constexpr double Pi = 3.14159265358979323846;
constexpr double TwoPi = 2 * Pi;
constexpr double DegToRad = Pi / 180;
constexpr double RadToDeg = 180 / Pi;

constexpr double ElementaryCharge_C = 1.60217733e-19;
constexpr double ElectronMass_kg = 9.1093897e-31;
constexpr double Planck_Js = 6.6260755e-34;
// h / (2 pi), as the physics has always written it out.
constexpr double Hbar_Js = 1.054572669125102e-34;
constexpr double AtomicMassUnit_kg = 1.66053873e-27;
constexpr double Boltzmann_JperK = 1.380658e-23;
constexpr double SpeedOfLight_mps = 299792458.0;

constexpr double Angstrom_m = 1e-10;
constexpr double SquareAngstrom_m2 = 1e-20;
// Exact in double and in the 80-bit type: multiplying by them converts metres
// to Angstrom without the rounding of a division by Angstrom_m.
constexpr double AngstromPerMetre = 1e10;
constexpr double SquareAngstromPerSquareMetre = 1e20;
// Multiplying a length in Angstrom by it gives nanometres.
constexpr double NanometrePerAngstrom = 0.1;
// The Angstrom in the widest floating type, for conversions done in LDouble:
// the 80-bit build keeps the digits that the double 1e-10 would round away.
constexpr long double AngstromLong_m = 1e-10L;
constexpr long double SquareAngstromLong_m2 = 1e-20L;

// Products the physics uses as written, in double (the same bits as the
// rounded decimal values the formulas were first written with).
constexpr double PiSquared = Pi * Pi;
constexpr double PiCubed = Pi * Pi * Pi;
constexpr double HbarSquared_J2s2 = Hbar_Js * Hbar_Js;
constexpr double ElectronMassTimesCharge_kgC = ElectronMass_kg * ElementaryCharge_C;

// Spring constant of the Einstein model of thermal vibration, N/m: the mean
// squared displacement is U = k_B T / EinsteinSpring_Nperm.
constexpr double EinsteinSpring_Nperm = 70.0;
}  // namespace LwConst

// Wave number in 1/m of a free electron of kinetic energy ek in eV:
// k = sqrt(2 m_e e Ek) / hbar. A negative energy gives NaN: callers that
// take energies from documents check them first.
inline double ElectronWaveNumber_perm(double ek_eV)
{
    return std::sqrt(ek_eV * (2 * LwConst::ElectronMass_kg) * LwConst::ElementaryCharge_C) / LwConst::Hbar_Js;
}
