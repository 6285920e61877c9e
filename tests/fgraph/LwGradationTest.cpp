#include "fgraph/LwGradation.h"
#include "ErrorText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

::testing::AssertionResult SameColor(const LwFGraphColor& got, const LwFGraphColor& want)
{
    if (got == want)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got (" << got.Red << "," << got.Green << "," << got.Blue << ") want (" << want.Red << ","
           << want.Green << "," << want.Blue << ")";
}

LwGradation Palette(int number, float min = 0, float max = 1)
{
    LwGradation g;
    g.Palette = number;
    g.Init();
    g.SetRange(min, max);
    return g;
}

TEST(LwGradation, DefaultGradientRunsFromBlackThroughBlueAndCyanToWhite)
{
    const LwGradation g = Palette(3);
    ASSERT_EQ(g.Table.size(), 10002u);
    EXPECT_TRUE(SameColor(g.Table.front(), {0, 0, 0}));
    EXPECT_TRUE(SameColor(g.Table.back(), {255, 255, 255}));
    // The control colours stand at their luminance: blue at 0.07133, cyan at
    // 0.706655 + 0.07133. Table entry k (k >= 1) belongs to t = k / 10000.
    const double blue = 0.07133, cyan = 0.706655 + 0.07133;
    const auto entry = [&](double t) { return g.Table[static_cast<std::size_t>(std::lround(t * 10000))]; };
    const LwFGraphColor atBlue = entry(blue);
    EXPECT_EQ(atBlue.Red, 0);
    EXPECT_EQ(atBlue.Green, 0);
    EXPECT_NEAR(atBlue.Blue, 255, 2);
    const LwFGraphColor atCyan = entry(cyan);
    EXPECT_EQ(atCyan.Red, 0);
    EXPECT_NEAR(atCyan.Green, 255, 2);
    EXPECT_EQ(atCyan.Blue, 255);
    // Halfway between blue and cyan the green channel is half up (linear blend).
    const LwFGraphColor mid = entry((blue + cyan) / 2);
    EXPECT_NEAR(mid.Green, 127.5, 1.5);
    EXPECT_EQ(mid.Blue, 255);
    // Through the lookup: min gives black, max white.
    EXPECT_TRUE(SameColor(g.GetColor(0), {0, 0, 0}));
    EXPECT_TRUE(SameColor(g.GetColor(1), {255, 255, 255}));
}

TEST(LwGradation, ListPalettesBlendBetweenNeighbouringEntries)
{
    struct Case
    {
        int palette;
        bool reversed;
        double value;
        LwFGraphColor color;
    };
    const Case cases[] = {
        {13, false, 0.0, {0, 0, 255}},
        {13, false, 0.25, {0, 255, 255}},
        {13, false, 0.5, {0, 255, 0}},
        {13, false, 1.0, {255, 0, 0}},
        {13, false, 0.125, {0, 127, 255}},
        // Past the ends: the end colours.
        {13, false, 2.0, {255, 0, 0}},
        {13, false, -3.0, {0, 0, 255}},
        // Just below min the blend extrapolates and clamps per channel.
        {13, false, -0.1, {0, 0, 255}},
        {0, false, 0.5, {127, 127, 127}},
        {21, false, 0.5, {127, 127, 127}},
        {17, false, 0.0, {0, 0, 0}},
        {17, true, 0.0, {255, 0, 0}},
        {17, true, 1.0, {0, 0, 0}},
        {1, false, 0.5, {255, 0, 0}},
        {20, false, 0.0, {0, 0, 0}},
        {20, false, 1.0, {255, 255, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("palette " + std::to_string(c.palette) + " value " + std::to_string(c.value) +
                     (c.reversed ? " reversed" : ""));
        LwGradation g = Palette(c.palette);
        g.Reversed = c.reversed;
        EXPECT_TRUE(SameColor(g.GetColor(c.value), c.color));
    }
}

TEST(LwGradation, EveryPaletteBuildsItsTable)
{
    // List palettes keep their entries; gradients have black, Steps colours, white.
    const std::pair<int, std::size_t> sizes[] = {{1, 3},      {2, 10002}, {7, 10002}, {12, 10002}, {13, 5},
                                                 {14, 5},     {15, 5},    {16, 3},    {17, 2},     {18, 2},
                                                 {19, 10002}, {20, 102},  {-4, 2}};
    for (const auto& s : sizes) {
        SCOPED_TRACE("palette " + std::to_string(s.first));
        LwGradation g;
        g.Palette = s.first;
        g.Init();
        EXPECT_EQ(g.Table.size(), s.second);
    }
    // A gradient of four steps: black, the blends at t = 1/4, 2/4, 3/4 (the
    // accumulated t reaches 1 exactly and stops), white. Palette 7 has one
    // control colour, red at L = 0.222015.
    LwGradation g;
    g.Palette = 7;
    g.Steps = 4;
    g.Init();
    ASSERT_EQ(g.Table.size(), 5u);
    const double L = 0.222015;
    for (int k = 1; k <= 3; ++k) {
        SCOPED_TRACE(k);
        // Every t lies above red: red (255,0,0) to white, f = (t - L) / (1 - L).
        const double f = (k / 4.0 - L) / (1 - L);
        EXPECT_TRUE(SameColor(g.Table[k], {255, static_cast<int>(255 * f), static_cast<int>(255 * f)}));
    }
    // A zero step count still gives a usable black-to-white table.
    g.Steps = 0;
    g.Init();
    EXPECT_EQ(g.Table.size(), 2u);
}

TEST(LwGradation, ValuesWithoutAColourAreRed)
{
    LwGradation g;
    g.Palette = 3;
    g.Init();
    // No range set yet.
    EXPECT_TRUE(SameColor(g.GetColor(0.5), {255, 0, 0}));
    g.SetRange(0, 1);
    g.ClampLimit = 0.75f;
    EXPECT_TRUE(SameColor(g.GetColor(0.8), {255, 0, 0}));
    EXPECT_TRUE(SameColor(g.GetColor(std::numeric_limits<double>::quiet_NaN()), {255, 0, 0}));
    EXPECT_TRUE(SameColor(g.GetColor(std::numeric_limits<double>::infinity()), {255, 0, 0}));
    // Huge values clamp before any integer conversion; above the largest
    // float (the default clamp limit) they are red.
    g.ClampLimit = std::numeric_limits<float>::max();
    EXPECT_TRUE(SameColor(g.GetColor(1e30), {255, 255, 255}));
    EXPECT_TRUE(SameColor(g.GetColor(1e300), {255, 0, 0}));
    EXPECT_TRUE(SameColor(g.GetColor(-1e300), {0, 0, 0}));
    EXPECT_TRUE(SameColor(g.GetColor(-std::numeric_limits<double>::infinity()), {0, 0, 0}));
    // Equal ends: span 1.
    g.SetRange(2, 2);
    EXPECT_EQ(g.InverseSpan, 1.0f);
}

TEST(LwGradation, LookupBeforeInitIsRefused)
{
    LwGradation g;
    g.SetRange(0, 1);
    EXPECT_EQ(ErrorText([&] { g.GetColor(0.5); }), "LwGradation::Init() is not called");
}

}  // namespace
