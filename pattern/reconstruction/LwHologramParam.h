#pragma once
// The hologram parameter set of a reconstruction document: the mesh level,
// the element count and one item per hologram (caption, energy, Kessar
// effect and its pattern captions). The reconstruction does not use it; it is
// carried with the document.

#include "core/LwTypes.h"

#include <string>
#include <vector>

class LwBarnXml;

struct LwHologramPatternItem
{
    std::string Caption_;  // "Caption"
};

struct LwHologramItem
{
    std::string Caption_;  // "Caption"
    LDouble Energy_ = 0;  // "Energy"
    LwLong KessarEffect_ = -1;  // "KessarEffect"
    std::vector<LwHologramPatternItem> Patterns_;  // "SPatternParam"
};

class LwHologramParam
{
public:
    // Reads or writes the set in the rack `rackName`; false when the rack is
    // missing (read mode, nothing changed). The two lists are record lists
    // (item "i"); missing keys take the values of a new item.
    bool LoadSave(LwBarnXml& doc, const std::string& rackName);

    LwLong HologramMeshLevel_ = 6;  // "HologramMeshLevel"
    LwLong NumberOfElement_ = 1;  // "NumberOfElement_"
    std::vector<LwHologramItem> Items_;  // "HologramParam"
};
