#include "core/LwError.h"
#include "pattern/LwProjection.h"
#include "pattern/LwSphericalMappingConvert.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>

namespace {

struct ProjectionRow
{
    LwProjection::Kind kind;
    const char* name;  // the text stored in "__SphereProjection.Name"
    const std::type_info& convert;
    float maxThetaDeg;  // the convert's default view
    bool sizedByResolution;
};

const ProjectionRow kRows[] = {
    {LwProjection::AzimuthalEquidistant, "AzimuthalEquidistant", typeid(LwConvertAzimuthalEquidistantMap),
     90.0f, true},
    {LwProjection::EquidistantCylindrical, "EquidistantCylindrical",
     typeid(LwConvertEquidistantCylindricalMap), 180.0f, true},
    {LwProjection::Gnomonic, "Gnomonic", typeid(LwConvertGnomonicMap), 45.0f, false},
    {LwProjection::Stereographic, "Stereographic", typeid(LwConvertStereographicMap), 90.0f, false},
    {LwProjection::Orthographic, "Orthographic", typeid(LwConvertOrthographicMap), 90.0f, false},
};

}  // namespace

TEST(Projection, NamesConvertsAndSizingOfEveryKind)
{
    for (const ProjectionRow& row : kRows) {
        SCOPED_TRACE(row.name);
        const LwProjection projection(row.kind);
        EXPECT_STREQ(projection.GetName(), row.name);
        const std::optional<LwProjection> named = LwProjection::FromName(row.name);
        ASSERT_TRUE(named.has_value());
        EXPECT_EQ(named->GetKind(), row.kind);
        const std::unique_ptr<LwSphericalMappingConvert> convert = projection.MakeConvert();
        ASSERT_NE(convert, nullptr);
        const LwSphericalMappingConvert& c = *convert;
        EXPECT_EQ(typeid(c), row.convert);
        EXPECT_EQ(convert->GetName(), row.name);
        EXPECT_EQ(convert->GetMaxTheta(), row.maxThetaDeg);
        EXPECT_EQ(projection.IsSizedByResolution(), row.sizedByResolution);
        if (!row.sizedByResolution) {
            int columns = -1, rows = -1;
            EXPECT_THROW(projection.GridSize(1.0, columns, rows), LwError);
        }
    }
}

TEST(Projection, CommandLineNumbersOfTheResolutionSizedKinds)
{
    // cmd_drev's -M takes 0 and 1 for these two.
    EXPECT_EQ(static_cast<int>(LwProjection::AzimuthalEquidistant), 0);
    EXPECT_EQ(static_cast<int>(LwProjection::EquidistantCylindrical), 1);
}

TEST(Projection, OnlyExactNamesAreKnown)
{
    for (const char* text : {"", "gnomonic", "GNOMONIC", " Gnomonic", "Gnomonic ", "Azimuthal", "Stereo",
                             "AzimuthalEquidistantX", "Equidistant Cylindrical"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(LwProjection::FromName(text).has_value());
    }
}

TEST(Projection, GridSizeForResolution)
{
    // Azimuthal: a square of floor(180 / r + 1) pixels (centre to rim is 90
    // degrees both ways). Cylindrical: floor(360 / r) columns of azimuth by
    // floor(180 / r + 1) rows, both poles included.
    struct SizeRow
    {
        LwProjection::Kind kind;
        double resolutionDeg;
        int columns, rows;
    };
    const SizeRow sizes[] = {
        {LwProjection::AzimuthalEquidistant, 1.0, 181, 181},
        {LwProjection::AzimuthalEquidistant, 0.5, 361, 361},
        {LwProjection::AzimuthalEquidistant, 7.0, 26, 26},  // 180 / 7 = 25.7
        {LwProjection::AzimuthalEquidistant, 90.0, 3, 3},
        {LwProjection::EquidistantCylindrical, 1.0, 360, 181},
        {LwProjection::EquidistantCylindrical, 0.5, 720, 361},
        {LwProjection::EquidistantCylindrical, 7.0, 51, 26},  // 360 / 7 = 51.4
        {LwProjection::EquidistantCylindrical, 90.0, 4, 3},
    };
    for (const SizeRow& row : sizes) {
        const LwProjection projection(row.kind);
        SCOPED_TRACE(std::string(projection.GetName()) + " at " + std::to_string(row.resolutionDeg));
        int columns = -1, rows = -1;
        projection.GridSize(row.resolutionDeg, columns, rows);
        EXPECT_EQ(columns, row.columns);
        EXPECT_EQ(rows, row.rows);
    }
    for (const LwProjection::Kind kind :
         {LwProjection::AzimuthalEquidistant, LwProjection::EquidistantCylindrical})
        for (const double bad : {0.0, -1.0}) {
            SCOPED_TRACE(std::string(LwProjection(kind).GetName()) + " at " + std::to_string(bad));
            int columns = -1, rows = -1;
            EXPECT_THROW(LwProjection(kind).GridSize(bad, columns, rows), LwError);
        }
}
