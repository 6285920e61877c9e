#pragma once
// The grid record of the reconstruction's real space (rack "RealSpaceFactory"):
// a box given by its bounds along x, y and z and one step, all in metres, and
// the point counts XCount, YCount, ZCount that the grid filters and the
// averaging address the points with. The counts come from the document only;
// building the grid from the bounds (LwRealSpaceData::AllocateGrid) computes
// its own counts (AxisCounts) and does not change these, so a document gives
// them to match its bounds (the reconstruction job refuses a record whose
// counts differ from AxisCounts axis by axis: counts that merely multiply to
// the point count would make the filters treat the points as another grid).

#include "core/LwTypes.h"

#include <string>

class LwBarnXml;

class LwRealSpaceGrid
{
public:
    // Reads or writes the eleven keys in the rack `rackName`; false when the
    // rack is missing (read mode, nothing changed). A missing key takes the
    // constructor's value. The cut-off fields are not stored.
    bool LoadSave(LwBarnXml& doc, const std::string& rackName);

    // The points along x, y and z that the bounds and step give: floor((max -
    // min) / dx + 1.5) per axis, the quotient formed in float (the default
    // record gives 201 each). A count that is not finite, below 1 or above
    // 2^31 - 1 throws an LwError naming the axis.
    void AxisCounts(LwLong& nx, LwLong& ny, LwLong& nz) const;

    float XMin_ = -1e-9f;  // "xmin", m
    float XMax_ = 1e-9f;  // "xmax", m
    float YMin_ = -1e-9f;  // "ymin", m
    float YMax_ = 1e-9f;  // "ymax", m
    float ZMin_ = -1e-9f;  // "zmin", m
    float ZMax_ = 1e-9f;  // "zmax", m
    float Dx_ = 1e-11f;  // "dx": the step along every axis, m
    LwLong XCount_ = 0;  // "XCount": points along x for the filters
    LwLong YCount_ = 0;  // "YCount"
    LwLong ZCount_ = 0;  // "ZCount"
    LwLong NElement_ = 1;  // "NElement": elements of a grid built on reading (1 to 9)
    bool IsCutoff_ = true;  // points at or beyond CutoffRadius_ start with density 0
    float CutoffRadius_ = 1e-9f;  // m
};
