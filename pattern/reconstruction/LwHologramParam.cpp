#include "pattern/reconstruction/LwHologramParam.h"

#include "core/LwBarnXml.h"

namespace {

bool SerializePatternItem(LwHologramPatternItem& item, LwBarnXml& doc, const std::string& itemName)
{
    if (!doc.OpenRack(itemName))
        return false;
    doc.ValueString("Caption", item.Caption_, "");
    doc.CloseRack(itemName);
    return true;
}

bool SerializeHologramItem(LwHologramItem& item, LwBarnXml& doc, const std::string& itemName)
{
    if (!doc.OpenRack(itemName))
        return false;
    doc.ValueString("Caption", item.Caption_, "");
    doc.ValueLDouble("Energy", item.Energy_, 0);
    doc.ValueLong("KessarEffect", item.KessarEffect_, -1);
    LoadSaveList(doc, "SPatternParam", "i", item.Patterns_, SerializePatternItem);
    doc.CloseRack(itemName);
    return true;
}

}  // namespace

bool LwHologramParam::LoadSave(LwBarnXml& doc, const std::string& rackName)
{
    if (!doc.OpenRack(rackName))
        return false;
    doc.ValueLong("HologramMeshLevel", HologramMeshLevel_, 6);
    doc.ValueLong("NumberOfElement_", NumberOfElement_, 1);
    LoadSaveList(doc, "HologramParam", "i", Items_, SerializeHologramItem);
    doc.CloseRack(rackName);
    return true;
}
