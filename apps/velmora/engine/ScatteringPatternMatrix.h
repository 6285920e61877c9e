#pragma once
// The scattering pattern matrix: the hologram of an emitter at the origin and
// one scatterer of the same element on the z axis, for every distance of a
// range, as one image of distance (columns) by cos(polar angle) (rows).

#include "core/LwMatrix.h"

#include <string>

class HologramCalculation;
class LwDocPattern_CosZ;

struct ScatteringMatrixInputs
{
    double Energy_keV = 15.0;  // photon energy
    double RMin_A = 1.0;  // first distance, Angstrom
    double RMax_A = 10.0;  // last distance (not passed), Angstrom
    double RStep_A = 0.02;  // step of the distances, Angstrom
    int Division = 1;  // the document gets Division x 1024 + 1 points
    int AtomicNumber = 29;  // element of both atoms
    double RadialExponent = 1.0;  // each column is weighted by r^l, r in Angstrom
};

// rn = whole part of (rmax - rmin) / rstep + 1. LwError "Radial range gives
// no distance: ..." unless rstep > 0 and 1 <= rn <= 1000000.
int RadialCount(const ScatteringMatrixInputs& in);
// zn = Division x 1024 + 1; LwError for a Division below 1 or too large.
int CosZCount(const ScatteringMatrixInputs& in);
// The element symbol of in.AtomicNumber.
std::string ScatteringMatrixSymbol(const ScatteringMatrixInputs& in);

// Computes the matrix on this thread with `calc` (its photon energy set to
// the inputs' one) and `doc` (left with zn points and the last column's
// hologram). The two-atom structure is a cluster of its own. LwError for a
// refused range, an element outside the table and the calculation's errors;
// a refused range or element changes neither `calc` nor `doc`.
LwFloatMatrix CalculateScatteringPatternMatrix(HologramCalculation& calc, LwDocPattern_CosZ& doc,
                                               const ScatteringMatrixInputs& in);
