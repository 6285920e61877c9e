#include "core/LwBarnXml.h"
#include "physics/LwDocFluctuation.h"
#include "BarnTestText.h"

#include <gtest/gtest.h>

using barn_test::Parse;
using barn_test::WrittenText;

namespace {

LwDocFluctuation Settings()
{
    LwDocFluctuation f;
    f.Temperature_K_ = 300;
    f.DebyeElement_ = {"Cu", "O"};
    f.DebyeTemperature_K_ = {343, 500};
    f.IsUseUisoInCluster_ = false;
    f.IsUseUisoEinsteinModel_ = true;
    f.IsUseUisoDebyeModel_ = true;
    return f;
}

void ExpectSame(const LwDocFluctuation& a, const LwDocFluctuation& b)
{
    EXPECT_EQ(a.Temperature_K_, b.Temperature_K_);
    EXPECT_EQ(a.DebyeElement_, b.DebyeElement_);
    EXPECT_EQ(a.DebyeTemperature_K_, b.DebyeTemperature_K_);
    EXPECT_EQ(a.IsUseUisoInCluster_, b.IsUseUisoInCluster_);
    EXPECT_EQ(a.IsUseUisoEinsteinModel_, b.IsUseUisoEinsteinModel_);
    EXPECT_EQ(a.IsUseUisoDebyeModel_, b.IsUseUisoDebyeModel_);
}

std::string Written(LwDocFluctuation f)
{
    LwBarnXml doc("w");
    EXPECT_TRUE(f.LoadSave(doc));
    return WrittenText(doc);
}

}  // namespace

TEST(LwDocFluctuation, WritesTheSixElementsInOrder)
{
    EXPECT_EQ(Written(Settings()), "<DocFluctuation><Temperature_K_>300</Temperature_K_>\n"
                                   "<DebyeElement_><r>Cu</r>\n<r>O</r>\n</DebyeElement_>\n"
                                   "<DebyeTemperature_K_><i>343</i>\n<i>500</i>\n</DebyeTemperature_K_>\n"
                                   "<IsUseUisoInCluster_>false</IsUseUisoInCluster_>\n"
                                   "<IsUseUisoEinsteinModel_>true</IsUseUisoEinsteinModel_>\n"
                                   "<IsUseUisoDebyeModel_>true</IsUseUisoDebyeModel_>\n"
                                   "</DocFluctuation>\n");
}

TEST(LwDocFluctuation, RoundTrips)
{
    {
        SCOPED_TRACE("fresh settings");
        LwDocFluctuation back = Settings();
        auto doc = Parse(Written(LwDocFluctuation()));
        EXPECT_TRUE(back.LoadSave(*doc));
        ExpectSame(back, LwDocFluctuation());
    }
    {
        SCOPED_TRACE("set values");
        LwDocFluctuation back;
        auto doc = Parse(Written(Settings()));
        EXPECT_TRUE(back.LoadSave(*doc));
        ExpectSame(back, Settings());
    }
}

TEST(LwDocFluctuation, MissingElementsKeepTheFields)
{
    {
        SCOPED_TRACE("only the temperature");
        LwDocFluctuation f;
        auto doc = Parse("<DocFluctuation><Temperature_K_>77.5</Temperature_K_>\n</DocFluctuation>\n");
        EXPECT_TRUE(f.LoadSave(*doc));
        EXPECT_EQ(f.Temperature_K_, 77.5);
        EXPECT_TRUE(f.DebyeElement_.empty());
        EXPECT_TRUE(f.DebyeTemperature_K_.empty());
        EXPECT_FALSE(f.IsUseUisoInCluster_);
        EXPECT_FALSE(f.IsUseUisoEinsteinModel_);
        EXPECT_FALSE(f.IsUseUisoDebyeModel_);
    }
    {
        SCOPED_TRACE("no rack: false and nothing changes");
        LwDocFluctuation f = Settings();
        auto doc = Parse("<Other><Temperature_K_>1</Temperature_K_>\n</Other>\n");
        EXPECT_FALSE(f.LoadSave(*doc));
        ExpectSame(f, Settings());
    }
    {
        SCOPED_TRACE("missing elements keep set values");
        LwDocFluctuation f = Settings();
        auto doc =
            Parse("<DocFluctuation><IsUseUisoInCluster_>true</IsUseUisoInCluster_>\n</DocFluctuation>\n");
        EXPECT_TRUE(f.LoadSave(*doc));
        LwDocFluctuation expected = Settings();
        expected.IsUseUisoInCluster_ = true;
        ExpectSame(f, expected);
    }
}

TEST(LwDocFluctuation, ListsOfDifferentLengthsLoad)
{
    LwDocFluctuation f;
    auto doc = Parse("<DocFluctuation><DebyeElement_><r>Cu</r>\n<r>O</r>\n<r>Fe</r>\n</DebyeElement_>\n"
                     "<DebyeTemperature_K_><i>343</i>\n</DebyeTemperature_K_>\n</DocFluctuation>\n");
    EXPECT_TRUE(f.LoadSave(*doc));
    EXPECT_EQ(f.DebyeElement_, (std::vector<std::string>{"Cu", "O", "Fe"}));
    EXPECT_EQ(f.DebyeTemperature_K_, std::vector<double>{343});
}

TEST(LwDocFluctuation, OtherRackName)
{
    LwBarnXml out("w");
    EXPECT_TRUE(Settings().LoadSaveRack(out, "Thermal"));
    LwDocFluctuation back;
    auto doc = Parse(WrittenText(out));
    EXPECT_FALSE(back.LoadSave(*doc));
    EXPECT_TRUE(back.LoadSaveRack(*doc, "Thermal"));
    ExpectSame(back, Settings());
}
