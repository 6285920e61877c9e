#include "core/LwError.h"
#include "pattern/LwDocPattern.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

TEST(DocPattern, ConstructorDefaults)
{
    LwDocPattern_AzimuthalEquidistant d;
    EXPECT_EQ(d.Type, 0);
    EXPECT_EQ(d.N, 6);
    EXPECT_EQ(d.EulerA_deg_, 0);
    EXPECT_EQ(d.Phase_deg_, 0);
    EXPECT_EQ(d.ClusterSizeLimit_m_, 0);
    EXPECT_EQ(d.DepthLimit_m_, 0);
    EXPECT_EQ(d.LowerLimit_m_, 0);
    EXPECT_EQ(d.MeanFreePath_m_, 0);
    EXPECT_FALSE(d.IsAttenuateByEmitterDistance_);
    EXPECT_FALSE(d.IsAttenuateByDepth_);
    EXPECT_EQ(d.RecordSelectionLength(), 0);
    EXPECT_TRUE(d.Grid.Planes.empty());
    EXPECT_EQ(d.Resolution_deg_, 1.0);
    EXPECT_EQ(LwDocPattern_Diana().ViewAngle_deg_, 60.0);
    EXPECT_EQ(LwDocPattern_StereoProjection().ViewAngle_deg_, 90.0);
}

TEST(DocPattern, EverySubclassBuildsItsGrid)
{
    struct Case
    {
        std::shared_ptr<LwDocPattern> doc;
        const char* name;
        int columns, rows;
    };
    auto ae = std::make_shared<LwDocPattern_AzimuthalEquidistant>();
    ae->Resolution_deg_ = 0.5;
    auto ec = std::make_shared<LwDocPattern_EquidistantCylindrical>();
    auto gn = std::make_shared<LwDocPattern_Diana>();
    gn->ImageSize_ = 64;
    auto st = std::make_shared<LwDocPattern_StereoProjection>();
    st->ImageSize_ = 65;
    st->N = 2;
    auto ort = std::make_shared<LwDocPattern_Orthographic>();
    ort->ImageSize_ = 66;
    auto one = std::make_shared<LwDocPattern_OneDimensional>();
    one->Resolution_deg_ = 2.0;
    const Case cases[] = {{ae, "AzimuthalEquidistant", 361, 361},
                          {ec, "EquidistantCylindrical", 360, 181},
                          {gn, "Gnomonic", 64, 64},
                          {st, "Stereographic", 65, 65},
                          {ort, "Orthographic", 66, 66},
                          {one, "", 91, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.doc->InitSphericalMap();
        const LwSphericalMapGrid& g = c.doc->Grid;
        EXPECT_EQ(g.Name, c.name);
        EXPECT_EQ(g.Planes.size(), static_cast<std::size_t>(c.doc->N));
        EXPECT_EQ(g.W.ColSize, c.columns);
        EXPECT_EQ(g.W.RowSize, c.rows);
    }
}

TEST(DocPattern, RebuildingTheGridZeroesThePlanes)
{
    LwDocPattern_EquidistantCylindrical d;
    d.Resolution_deg_ = 5.0;
    d.InitSphericalMap();
    const LwLDoubleMatrix w = d.Grid.W;
    for (auto& p : d.Grid.Planes)
        p(3, 4) = 7.5;
    d.InitSphericalMap();
    for (const auto& p : d.Grid.Planes)
        for (int k = 0; k < p.ElementCount(); ++k)
            ASSERT_EQ(p.Buffer()[k], 0);
    for (int k = 0; k < w.ElementCount(); ++k)
        ASSERT_EQ(d.Grid.W.Buffer()[k], w.Buffer()[k]);
}

TEST(DocPattern, BadResolutionKeepsTheOldGrid)
{
    LwDocPattern_AzimuthalEquidistant d;
    d.Resolution_deg_ = 10.0;
    d.InitSphericalMap();
    d.Resolution_deg_ = 0.0;
    EXPECT_THROW(d.InitSphericalMap(), LwError);
    EXPECT_EQ(d.Grid.W.ColSize, 19);
    EXPECT_EQ(d.Grid.Planes.size(), 6u);
}

TEST(DocPattern, RecordSelectionBits)
{
    LwDocPattern_AzimuthalEquidistant d;
    d.SetRecordSelection(40, true);
    EXPECT_EQ(d.RecordSelectionLength(), 40);
    ASSERT_EQ(d.SelectBits_.size(), 2u);
    for (int i = 0; i < 40; ++i)
        EXPECT_TRUE(d.IsRecordSelected(i)) << i;
    EXPECT_FALSE(d.IsRecordSelected(40));
    EXPECT_FALSE(d.IsRecordSelected(-1));
    // Record 33 is bit 1 of word 1.
    d.SelectRecord(33, false);
    EXPECT_FALSE(d.IsRecordSelected(33));
    EXPECT_EQ(d.SelectBits_[1] & 2u, 0u);
    EXPECT_EQ(d.SelectBits_[0], ~LwULong(0));
    d.SetRecordSelection(3, false);
    EXPECT_EQ(d.SelectBits_.size(), 1u);
    d.SelectRecord(2, true);
    EXPECT_EQ(d.SelectBits_[0], 4u);
    EXPECT_THROW(d.SelectRecord(3, true), LwError);
    EXPECT_THROW(d.SetRecordSelection(-1, true), LwError);
}
