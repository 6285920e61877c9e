#pragma once
// Checks of the physical values of a simulation's input documents, made after
// loading and before any calculation.
//
// The document readers stay lenient (a missing key takes its default, a
// number is read from the leading numeric part of its text), so a damaged or
// meaningless document still loads; these checks refuse what no calculation
// can give a meaningful result for: numbers that are not finite, energies
// that are not positive, negative temperatures or displacements, atoms so far
// away that the phases lose their meaning, and documents that hold nothing to
// compute (no emitter, no coefficients, no atoms, no records). Each throws
// LwError "<what is wrong>: <file name>", naming the first fault found;
// entries, structures and atoms are counted from 1 in the messages.

#include "physics/LwClusterAtom.h"

#include <string>

class LwDebye;
class LwDocFinalState;
class LwDocFluctuation;
class LwDocScattering;
class LwDocScatteringPhaseShift;

// Largest coordinate magnitude accepted for an atom, metres (10^4 Angstrom).
// Clusters span nanometres (an electron's inelastic mean free path is a few
// Angstrom to a few nanometres); beyond this bound a position is a damaged
// number, and far beyond it k r overflows the phase and gives NaN.
constexpr double kLwMaxAtomCoordinate_m = 1e-6;

// Every weight of the table (atomic numbers 1 and up) finite and > 0.
void CheckAtomicWeightValues(const LwDebye& debye, const std::string& fileName);
// Every atom: finite coordinates within kLwMaxAtomCoordinate_m, a finite U
// with non-negative diagonal; every structure holds atoms.
void CheckClusterValues(const LwCluster& cluster, const std::string& fileName);
// At least one wave; each with a finite energy > 0 and a finite ratio; a plane
// wave with finite angles, any other wave with coefficients (L >= 1, all
// finite, not all zero).
void CheckEmittedWaveValues(const LwDocFinalState& document, const std::string& fileName);
// At least one entry; each with a finite energy > 0 and at least one phase
// shift, every phase shift finite.
void CheckPhaseShiftValues(const LwDocScatteringPhaseShift& document, const std::string& fileName);
// Temperature finite and >= 0; every Debye temperature finite and > 0.
void CheckFluctuationValues(const LwDocFluctuation& document, const std::string& fileName);
// At least one record; each with a finite energy > 0 and at least one source;
// every source at finite coordinates within kLwMaxAtomCoordinate_m, with a
// finite U >= 0 and finite coefficients; the emitter (source 1) with
// coefficients that are not all zero, or a finite non-zero plane-wave vector.
void CheckScatteredWaveValues(const LwDocScattering& document, const std::string& fileName);
