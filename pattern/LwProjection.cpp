#include "pattern/LwProjection.h"

#include "core/LwError.h"
#include "pattern/LwSphericalMapGrid.h"
#include "pattern/LwSphericalMappingConvert.h"

namespace {

struct ProjectionEntry
{
    LwProjection::Kind kind;
    const char* name;
};

const ProjectionEntry kProjections[] = {
    {LwProjection::AzimuthalEquidistant, "AzimuthalEquidistant"},
    {LwProjection::EquidistantCylindrical, "EquidistantCylindrical"},
    {LwProjection::Gnomonic, "Gnomonic"},
    {LwProjection::Stereographic, "Stereographic"},
    {LwProjection::Orthographic, "Orthographic"},
};

}  // namespace

std::optional<LwProjection> LwProjection::FromName(const std::string& name)
{
    for (const ProjectionEntry& entry : kProjections)
        if (name == entry.name)
            return LwProjection(entry.kind);
    return std::nullopt;
}

const char* LwProjection::GetName() const
{
    for (const ProjectionEntry& entry : kProjections)
        if (entry.kind == kind_)
            return entry.name;
    throw LwError("Undefined mapping method");
}

std::unique_ptr<LwSphericalMappingConvert> LwProjection::MakeConvert() const
{
    switch (kind_) {
    case AzimuthalEquidistant: return std::make_unique<LwConvertAzimuthalEquidistantMap>();
    case EquidistantCylindrical: return std::make_unique<LwConvertEquidistantCylindricalMap>();
    case Gnomonic: return std::make_unique<LwConvertGnomonicMap>();
    case Stereographic: return std::make_unique<LwConvertStereographicMap>();
    case Orthographic: return std::make_unique<LwConvertOrthographicMap>();
    }
    throw LwError("Undefined mapping method");
}

bool LwProjection::IsSizedByResolution() const
{
    return kind_ == AzimuthalEquidistant || kind_ == EquidistantCylindrical;
}

void LwProjection::GridSize(double resolutionDeg, int& columns, int& rows) const
{
    if (kind_ == AzimuthalEquidistant)
        AzimuthalEquidistantGridSize(resolutionDeg, columns, rows);
    else if (kind_ == EquidistantCylindrical)
        EquidistantCylindricalGridSize(resolutionDeg, columns, rows);
    else
        throw LwError(std::string("The image size of ") + GetName() + " does not follow from a resolution");
}
