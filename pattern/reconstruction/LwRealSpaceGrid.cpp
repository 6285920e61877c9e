#include "pattern/reconstruction/LwRealSpaceGrid.h"

#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "core/TextUtilities.h"

#include <cmath>
#include <limits>

namespace {

// Points along one axis: floor(q + 1.5) with q = (max - min) / dx formed in
// float, as the grid has always been counted. Checked in double before any
// conversion, so an infinite or enormous quotient cannot wrap.
LwLong AxisCount(float lower, float upper, float step, const char* axis)
{
    const float qf = (upper - lower) / step;
    const double count = std::floor(static_cast<double>(qf) + 1.5);
    if (!std::isfinite(count) || count < 1.0 ||
        count > static_cast<double>(std::numeric_limits<LwLong>::max()))
        throw LwError(std::string("Real-space grid: the bounds and step along ") + axis + " give " +
                      DoubleToString(count) + " points (at least 1 and below 2^31 needed)");
    return static_cast<LwLong>(count);
}

}  // namespace

void LwRealSpaceGrid::AxisCounts(LwLong& nx, LwLong& ny, LwLong& nz) const
{
    nx = AxisCount(XMin_, XMax_, Dx_, "x");
    ny = AxisCount(YMin_, YMax_, Dx_, "y");
    nz = AxisCount(ZMin_, ZMax_, Dx_, "z");
}

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
