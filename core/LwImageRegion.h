#pragma once
// A rectangle or polygon on an image, as older processed-image documents keep
// the region of their I0 correction. Coordinates are in pixels of the image
// the region belongs to; a polygon (region type 2) lists its corners.

#include "core/LwTypes.h"

#include <array>
#include <string>
#include <vector>

class LwBarnXml;

struct LwRegionPoint
{
    float x = 0;
    float y = 0;
};

class LwImageRegion
{
public:
    static constexpr LwLong kPolygon = 2;

    // Left 0, bottom 0, width 1, height 1, type 0, no name, no points; the
    // colour is the entry of RegionColorTable at the new value of the shared
    // serial counter (LwSerialCounter.h) modulo 16, so regions made one after
    // another cycle through the table.
    LwImageRegion();

    // The rack `rackName` holding the float elements "Left", "Bottom",
    // "Width", "Height" (missing reads as 0), the integer "ReginType" and the
    // text "Name", and for a polygon the rack "polygon" with one "i" per
    // point ("x", "y"). The colour is not stored. Returns false when the rack
    // is missing (read mode; the region is then unchanged).
    bool Serialize(LwBarnXml& doc, const std::string& rackName);

    // The 16 colours (0xRRGGBB) given to regions in turn.
    static const std::array<LwULong, 16>& RegionColorTable();

    float Left = 0;
    float Bottom = 0;
    float Width = 1;
    float Height = 1;
    LwULong Color = 0;
    LwLong RegionType = 0;
    std::string Name;
    std::vector<LwRegionPoint> Points;
};
