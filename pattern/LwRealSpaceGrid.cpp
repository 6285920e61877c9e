#include "pattern/LwRealSpaceGrid.h"

#include "core/LwBarnXml.h"

bool LwRealSpaceGrid::LoadSave(LwBarnXml& doc, const std::string& rackName)
{
    if (!doc.OpenRack(rackName))
        return false;
    doc.ValueFloat("xmin", XMin_, -1e-9f);
    doc.ValueFloat("xmax", XMax_, 1e-9f);
    doc.ValueFloat("ymin", YMin_, -1e-9f);
    doc.ValueFloat("ymax", YMax_, 1e-9f);
    doc.ValueFloat("zmin", ZMin_, -1e-9f);
    doc.ValueFloat("zmax", ZMax_, 1e-9f);
    doc.ValueFloat("dx", Dx_, 1e-11f);
    doc.ValueLong("NElement", NElement_, 1);
    doc.ValueLong("XCount", XCount_, 0);
    doc.ValueLong("YCount", YCount_, 0);
    doc.ValueLong("ZCount", ZCount_, 0);
    doc.CloseRack(rackName);
    return true;
}
