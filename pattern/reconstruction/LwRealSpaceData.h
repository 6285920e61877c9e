#pragma once
// The real-space side of the hologram reconstruction: the points of a grid
// (LwRealSpaceGrid) with their distance from the origin and their direction,
// and per element a density and a gradient at every point. Lengths in metres.
//
// Every per-point vector is an LwFloatMatrix row vector (ColSize = point
// count, RowSize 1, begins 0) when the data are built here; vectors read from
// a document keep the shape they were stored with. Points are numbered z
// slowest, then y, then x fastest.
//
// The point at the origin (r = 0), which exists whenever 0 lies on the grid
// of all three axes, has no direction: its Ux, Uy, Uz are 0 and its density
// starts at 0. The transforms and radius filters of the reconstruction skip
// it, so it stays 0.
//
// Invariants (CheckConsistency, run after every read and write): NPoint_
// equals the vector size of Ux_, Uy_, Uz_, R_ and of every density and
// gradient; NElement_ equals the number of densities, gradients and ratios.

#include "core/LwMatrix.h"
#include "core/LwTypes.h"
#include "pattern/reconstruction/LwRealSpaceGrid.h"

#include <vector>

class LwBarnXml;

// A lattice translation of the grid for the translational averaging: integer
// offsets in grid points and the weight of the translated image.
struct LwGridTranslation
{
    LwLong Dx_ = 0;
    LwLong Dy_ = 0;
    LwLong Dz_ = 0;
    LwLong Reserved_[3] = {0, 0, 0};  // carried with the record, not read by the reconstruction
    float Weight_ = 0.0f;
};

class LwRealSpaceData
{
public:
    // The largest element count of a grid built from a document.
    static constexpr LwLong kMaxElements = 9;

    LwRealSpaceData();

    // Reads or writes the data in the rack "real_space_all_3" by the
    // document's mode; false when that rack is missing (read mode, nothing
    // read). Reading first compares the grid record with the data the
    // document holds: a missing "list_real_space", or a density "Cal_" (of
    // the first NElement "el" racks) that does not declare one value per
    // point of the record's grid, throws an LwError naming both before the
    // grid is built. It then builds the grid from the record
    // (CreateFromGrid) and reads the densities; it is not transactional, so
    // what was read before a later error stays read. Ends with
    // CheckConsistency.
    // Throws "SPattern is not setted" (grid element count outside 1 to 9),
    // an LwError naming "list_real_space" when that rack is missing,
    // the grid errors of AllocateGrid, an LwError naming the count when the
    // element count of "list_real_space" is negative or above 9, and
    // CheckConsistency's errors.
    bool LoadSave(LwBarnXml& doc);

    // Throws LwError "Error" when the ratio, density or gradient count
    // differs from NElement_, then "Error: not consistent" when a direction
    // vector, R_, a density or a gradient does not hold NPoint_ entries.
    void CheckConsistency() const;

    // AllocateGrid with the grid record's element count and cut-off; throws
    // "SPattern is not setted" when that count is not 1 to 9.
    void CreateFromGrid();

    // Builds the points from the grid record's bounds and step: along each
    // axis floor((max - min) / dx + 1.5) points (LwRealSpaceGrid::AxisCounts),
    // so the default record gives 201 per axis. Every density starts at 1e-10
    // where r > 0 and (no cut-off or r < cutoff), else 0; every gradient at 0.
    // The counts are checked before anything is allocated: a step or bound
    // that is not finite, an axis of fewer than 1 point, a total that does not
    // fit a 32-bit count, or vectors (4 + 2 x elements floats per point) that
    // need more memory than the machine can give now (UsableMemoryBytes)
    // throw an LwError naming the counts and, for memory, both figures; the
    // data are then unchanged.
    void AllocateGrid(LwLong elementCount, bool useCutoff, float cutoff);

    // n elements and N points: Ux_, Uy_, Uz_, R_ row vectors of N entries;
    // n densities and gradients, row vectors of N entries set to 1.0; n ratios
    // of 1.0. A negative count throws an LwError naming it; an allocation
    // failure throws "Cannot Get Memory"; either way the data are unchanged.
    void Resize(LwLong elementCount, LwLong pointCount);

    // The rotation list becomes the one 3 x 3 unit matrix.
    void ResetRotations();

    LwLong NPoint_ = 0;
    LwLong NElement_ = 0;
    LwFloatMatrix Ux_;  // unit direction of each point from the origin
    LwFloatMatrix Uy_;
    LwFloatMatrix Uz_;
    LwFloatMatrix R_;  // distance of each point from the origin, m
    std::vector<LwFloatMatrix> Density_;  // "Cal_": density of each element
    std::vector<LwFloatMatrix> Gradient_;  // back-projected residual of each element; not stored
    std::vector<float> ElementRatio_;  // "ElementRatio": each element's share of the total
    LwRealSpaceGrid Grid_;  // "RealSpaceFactory"
    std::vector<LwGridTranslation> Translations_;
    std::vector<LwLDoubleMatrix> Rotations_;  // 3 x 3 point-group rotations, acting on column vectors
    float TotalPower_ = 1.0f;  // "TotalPower": each element's density total before its ratio
};
