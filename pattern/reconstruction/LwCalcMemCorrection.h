#pragma once
// The steps of the hologram reconstruction that change the element densities
// and their gradients: the normalisation, the MEM and SDM corrections, the
// soft threshold, and the filters of the gradients (before a correction) and
// of the densities (after it).
//
// Per-point vectors are those of LwRealSpaceData: point (ix, iy, iz) is entry
// (iz NY + iy) NX + ix, with NX, NY, NZ the grid record's XCount, YCount,
// ZCount; the grid filters refuse vectors of another length with an LwError.
// Entries are positions in a vector's buffer, whatever index the vector
// begins at (vectors read from a document keep their stored begin).
// Interior points are those with 1 <= ix <= NX - 2 (likewise y, z); the six
// face neighbours are taken in the order +x, -x, +y, -y, +z, -z. All values
// are floats; sums are formed in double where noted.
//
// The point at the origin (R = 0) has no radius weight: MultiplyByRadius
// makes it 0 and DivideByRadius leaves it at 0 instead of 0 / 0.

#include "core/LwMatrix.h"
#include "core/LwTypes.h"

#include <vector>

class LwDocCalcMem;
class LwRealSpaceData;
class LwRealSpaceGrid;

using LwVectorList = std::vector<LwFloatMatrix>;

// Scales each element's values so that they sum to TotalPower x its
// ElementRatio (sum in double, factor narrowed to float). An element whose
// values sum to 0 (or to no finite number) is left unchanged.
void NormalizeDensity(LwVectorList& density, const LwRealSpaceData& real);

// MEM update: val = Lambda / gmax, gmax the largest gradient value (absolute
// value with IsUseEstimateMaxUseABS, never below 1e-25, NaN ignored); every
// non-zero density V becomes exp(val G - 1) V (in double). Reports failures
// on the debug output before passing them on.
void CorrectByMEM(LwDocCalcMem& doc);

// Sets the document's threshold (the fixed one, or with the automatic switch
// ratio x the largest gradient value while loopCount < thresholdLoops, kept
// afterwards), appends it to the threshold history, and soft-thresholds the
// gradients by the document's type: 0 shift down; 1 shrink towards 0 (a
// non-positive value at a density <= 1e-23 becomes 0); 2 shift down and clip
// at 0. Another type throws "Undefined Advanced L1 Type".
void ApplyAdvancedL1(LwDocCalcMem& doc, LwVectorList& gradient, const LwVectorList& density, float ratio,
                     LwLong loopCount, LwLong thresholdLoops);

// SDM update: fits Exp ~ a0 Cal + a1 FG over all items by least squares (the
// 2 x 2 normal equations solved by LwLinearEquation) and sets every non-zero
// density V to max(a1 G + a0 V, 1e-25). Normal equations that are singular
// (determinant <= 1e-12 Scc Sgg) or a failed solve give a0 = 1 and
// a1 = Sge / Sgg, or 0 when Sgg is 0.
void CorrectBySDM(LwDocCalcMem& doc);

// `passes` rounds of weighted averaging with the face neighbours along the
// linear offsets -1, +1, -NX, +NX, -NX NY, +NX NY (so the end of a grid row
// neighbours the start of the next), skipping zero values. Nothing happens
// for 0 passes; otherwise a weight of 0 or below -0.165 throws "Weight value
// shoud be > -1/6.".
void SmoothGradient(LwVectorList& list, const LwRealSpaceData& real, LwLong passes, float weight);

// m = the largest value of all vectors; when m >= 0 every value becomes
// value - m factor.
void ReduceGradient(LwVectorList& list, float factor);

// Every value times / divided by its point's radius in Angstrom (R x 1e10),
// in double.
void MultiplyByRadius(LwVectorList& list, const LwRealSpaceData& real);
void DivideByRadius(LwVectorList& list, const LwRealSpaceData& real);

// Six-neighbour sharpening M - (sum of neighbours) / 6 at interior points
// whose neighbours are all non-zero (0 elsewhere), then AverageOnGrid twice.
void FilterGradientOnGrid(LwVectorList& list, const LwRealSpaceGrid& grid);
// Seven-point average at interior points; border points become 0.
void AverageOnGrid(LwFloatMatrix& m, const LwRealSpaceGrid& grid);

// With two or more rotations: every point becomes the mean of the values at
// its images under the rotations about the grid's centre point (images off
// the grid are left out; 0 when none is on it).
void SymmetrizeByRotation(LwVectorList& list, const LwRealSpaceData& real);

// Every non-zero point becomes the weighted mean of itself (weight 1) and of
// its non-zero translated images on the grid; the vectors become column
// vectors of the same length.
void CalcTranslateRectangular05(LwVectorList& list, const LwRealSpaceData& real);
