#include "core/LwImageRegion.h"

#include "core/LwBarnXml.h"
#include "core/LwSerialCounter.h"

LwImageRegion::LwImageRegion()
    : Color(RegionColorTable()[static_cast<std::size_t>(TakeSerialId()) % RegionColorTable().size()])
{}

const std::array<LwULong, 16>& LwImageRegion::RegionColorTable()
{
    static const std::array<LwULong, 16> table = {
        0xFF0000, 0x008000, 0xFF00FF, 0x00FF00, 0x000080, 0x008080, 0x800080, 0x808000,
        0xFFFF00, 0x808080, 0x0000FF, 0x808080, 0x00FFFF, 0xC0C0C0, 0x800000, 0xC0C0C0,
    };
    return table;
}

bool LwImageRegion::Serialize(LwBarnXml& doc, const std::string& rackName)
{
    if (!doc.OpenRack(rackName))
        return false;
    doc.ValueFloat("Left", Left, 0.0f);
    doc.ValueFloat("Bottom", Bottom, 0.0f);
    doc.ValueFloat("Width", Width, 0.0f);
    doc.ValueFloat("Height", Height, 0.0f);
    doc.ValueLong("ReginType", RegionType, 0);
    doc.ValueString("Name", Name, std::string());
    if (RegionType == kPolygon) {
        if (doc.IsWriteMode()) {
            doc.OpenRack("polygon");
            for (LwRegionPoint& point : Points) {
                doc.OpenRack("i");
                doc.ValueFloat("x", point.x, 0.0f);
                doc.ValueFloat("y", point.y, 0.0f);
                doc.CloseRack("i");
            }
            doc.CloseRack("polygon");
        } else {
            Points.clear();
            // A polygon without its point rack reads as one without points.
            if (doc.OpenRack("polygon")) {
                while (doc.OpenRack("i")) {
                    LwRegionPoint point;
                    doc.ValueFloat("x", point.x, 0.0f);
                    doc.ValueFloat("y", point.y, 0.0f);
                    Points.push_back(point);
                    doc.CloseRack();
                }
                doc.CloseRack("polygon");
            }
        }
    }
    doc.CloseRack(rackName);
    return true;
}
