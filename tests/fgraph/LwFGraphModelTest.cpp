#include "fgraph/LwFGraph.h"
#include "fgraph/LwFGraphTicks.h"
#include "ErrorText.h"
#include "FGraphTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(LwFGraphModel, ItemsGetTheDefaultColourOfTheirCreationNumber)
{
    FGraph graph;
    graph.SetWave(5, {0, 1}, {0, 1});
    graph.SetWave(1, {0, 1}, {0, 1});
    graph.SetWave(3, {0, 1}, {0, 1});
    const auto& items = graph.Impl().ItemSet.Items;
    EXPECT_EQ(items.at(5).Style.Color, (LwFGraphColor{255, 0, 0}));
    EXPECT_EQ(items.at(1).Style.Color, (LwFGraphColor{0, 0, 255}));
    EXPECT_EQ(items.at(3).Style.Color, (LwFGraphColor{255, 0, 255}));
    // Ascending key order whatever the creation order.
    std::vector<float> keys;
    for (const auto& e : items)
        keys.push_back(e.first);
    EXPECT_EQ(keys, (std::vector<float>{1, 3, 5}));

    EXPECT_EQ(DefaultItemColor(12), (LwFGraphColor{0, 255, 255}));
    EXPECT_EQ(DefaultItemColor(13), (LwFGraphColor{152, 100, 100}));
    // n = 32 + 1024: red (0) * 4 + 100, green (1) * 4 + 100, blue (1) * 4 + 100.
    EXPECT_EQ(DefaultItemColor(1056), (LwFGraphColor{100, 104, 104}));
}

TEST(LwFGraphModel, SetWaveReplacesPointsAndRefusesUnequalVectors)
{
    FGraph graph;
    graph.SetWave(0, {1, 2, 3}, {4, 5, 6});
    graph.SetWave(0, {7, 8}, {9, 10});
    const auto& items = graph.Impl().ItemSet.Items;
    ASSERT_EQ(items.size(), 1u);
    const LwFGraphItem& item = items.at(0);
    EXPECT_EQ(item.Style.Color, (LwFGraphColor{255, 0, 0}));
    ASSERT_EQ(item.Data.ColSize, 2);
    ASSERT_EQ(item.Data.RowSize, 2);
    EXPECT_EQ(item.Data(0, 1), 8.0f);
    EXPECT_EQ(item.Data(1, 1), 10.0f);

    EXPECT_EQ(ErrorText([&] { graph.SetWave(0, {1}, {1, 2}); }), "ERROR: size of x and y is different");
    EXPECT_EQ(items.at(0).Data.RowSize, 2);
    // A new key stays, without points, and takes the next colour.
    EXPECT_EQ(ErrorText([&] { graph.SetWave(4, {1, 2}, {1}); }), "ERROR: size of x and y is different");
    ASSERT_EQ(items.count(4), 1u);
    EXPECT_EQ(items.at(4).Data.RowSize, 0);
    EXPECT_EQ(items.at(4).Style.Color, (LwFGraphColor{0, 0, 255}));
}

// std::map<float> orders by <, under which NaN is equivalent to any key: a
// NaN key must not reach the map, where it would overwrite curve 0.
TEST(LwFGraphModel, SetWaveRefusesKeysThatAreNotFinite)
{
    const float keys[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity()};
    for (float key : keys) {
        SCOPED_TRACE(key);
        FGraph graph;
        graph.SetWave(0, {1, 2}, {3, 4});
        const std::string message = ErrorText([&] { graph.SetWave(key, {7}, {9}); });
        EXPECT_EQ(message.substr(0, 45), "FGraph: an item key must be a finite number, ");
        const auto& items = graph.Impl().ItemSet.Items;
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items.at(0).Data.RowSize, 2);
        EXPECT_EQ(items.at(0).Data(1, 1), 4.0f);
    }
}

TEST(LwFGraphModel, SceneGeometryFollowsTheScreenResolution)
{
    const LwFGraphViewGeometry g = LwFGraphViewGeometry::Of(600, 400, 144);
    EXPECT_DOUBLE_EQ(g.Factor, 2.0 / 3.0);
    EXPECT_EQ(g.SceneWidth, 400);
    EXPECT_EQ(g.SceneHeight, 266);
    EXPECT_EQ(g.CanvasWidth, 398.0f);
    EXPECT_EQ(g.CanvasHeight, 264.0f);
    EXPECT_DOUBLE_EQ(g.ViewScale, 1.5);

    FGraph graph;
    QGraphicsView view;
    view.resize(600, 400);
    graph.Impl().SetView(&view, 144);
    EXPECT_DOUBLE_EQ(view.transform().m11(), 1.5);
    EXPECT_DOUBLE_EQ(view.transform().m22(), 1.5);
    EXPECT_EQ(view.sceneRect(), QRectF(0, 0, 399, 265));
    EXPECT_EQ(view.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(graph.Impl().Canvas.Width, 398.0f);
}

TEST(LwFGraphModel, OneViewOnlyAndNoDrawingWithout)
{
    FGraph graph;
    graph.SetWave(0, {0, 1}, {0, 1});
    EXPECT_NO_THROW(graph.Redraw());
    EXPECT_TRUE(graph.Impl().Scene()->items().isEmpty());

    QGraphicsView first, second;
    first.resize(300, 200);
    graph.SetView(&first);
    EXPECT_NO_THROW(graph.SetView(&first));
    EXPECT_EQ(ErrorText([&] { graph.SetView(&second); }), "Already registered.");
    EXPECT_EQ(graph.Impl().View(), &first);
    graph.Redraw();
    EXPECT_EQ(first.scene(), graph.Impl().Scene());
    EXPECT_FALSE(graph.Impl().Scene()->items().isEmpty());
}

TEST(LwFGraphModel, ImageAxisRangeSpansTheOuterPixelEdges)
{
    double a = 3, b = 102;
    FGraph::Correct2DNumeralByPixSize(a, b, 100);
    EXPECT_DOUBLE_EQ(a, 2.5);
    EXPECT_DOUBLE_EQ(b, 102.5);
    double c = 2, d = 2;
    EXPECT_EQ(ErrorText([&] { FGraph::Correct2DNumeralByPixSize(c, d, 1); }),
              "FGraph::Correct2DNumeralByPixSize()::ERROR: width is zero");
    double e = 0, f = 1;
    EXPECT_EQ(ErrorText([&] { FGraph::Correct2DNumeralByPixSize(e, f, 0); }),
              "FGraph::Correct2DNumeralByPixSize()::ERROR: SizeOfMatrix iz zero");
    // One pixel over a given range: that range is the pixel's width.
    double g = 0, h = 1;
    FGraph::Correct2DNumeralByPixSize(g, h, 1);
    EXPECT_DOUBLE_EQ(g, -0.5);
    EXPECT_DOUBLE_EQ(h, 1.5);
}

TEST(LwFGraphTicks, StepsFollowTheMantissaOfTheRange)
{
    struct Case
    {
        double min, max, minor, major;
    };
    const Case cases[] = {
        {-0.5, 10.5, 1, 2},  // m = 1.1
        {-0.25, 5.25, 0.2, 1},  // m = 5.5
        {0, 2, 0.1, 0.5},  // m = 2
        {0, 95, 5, 20},  // m = 9.5
        {10, 0, 1, 2},  // reversed: m = 1
        {3, 3, 0.1, 0.2},  // empty: [2.5, 3.5]
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.min) + ".." + std::to_string(c.max));
        LwFGraphRange r;
        r.Min = c.min;
        r.Max = c.max;
        SetTickSteps(r);
        EXPECT_NEAR(r.MinorStep, c.minor, 1e-12);
        EXPECT_NEAR(r.MajorStep, c.major, 1e-12);
    }
}

TEST(LwFGraphTicks, TicksAccumulateFromTheFirstStepInsideTheRange)
{
    const std::vector<double> t = TickValues(-0.6, 0.4, 0.2);
    ASSERT_EQ(t.size(), 5u);
    EXPECT_NEAR(t[0], -0.4, 1e-15);
    EXPECT_NE(t[2], 0.0);  // accumulated, a rounding error off zero
    EXPECT_LT(std::fabs(t[2]), 1e-16);
    std::vector<QString> labels;
    for (double v : t)
        labels.push_back(TickLabel(v, -0.6, 0.4));
    EXPECT_EQ(labels, (std::vector<QString>{"-0.4", "-0.2", "0", "0.2", "0.4"}));
    EXPECT_EQ(TickLabel(1234567, 0, 2e6), QString("1.23457e+06"));

    // A step lost against the position ends the walk; a bad step gives none.
    const std::vector<double> deep = TickValues(1e8, 1e8 + 1e-6, 1e-10);
    EXPECT_LE(deep.size(), static_cast<std::size_t>(kMaxTicks));
    EXPECT_LE(TickValues(0, 1e9, 1e-9).size(), static_cast<std::size_t>(kMaxTicks));
    EXPECT_TRUE(TickValues(0, 1, 0).empty());
    EXPECT_TRUE(TickValues(0, 1, std::numeric_limits<double>::quiet_NaN()).empty());
}

TEST(LwFGraphTicks, EmptyRangesOpenAroundTheirValue)
{
    double a = 3, b = 3;
    OpenEmptyRange(a, b);
    EXPECT_EQ(a, 2.5);
    EXPECT_EQ(b, 3.5);
    double c = 1e30, d = 1e30;
    OpenEmptyRange(c, d);
    EXPECT_LT(c, d);
    double e = std::numeric_limits<double>::quiet_NaN(), f = 1;
    OpenEmptyRange(e, f);
    EXPECT_EQ(e, -0.5);
    EXPECT_EQ(f, 0.5);
}

TEST(LwFGraphTicks, SegmentsAreClippedToTheFrame)
{
    struct Case
    {
        const char* name;
        double ax, ay, bx, by;
        bool kept;
        double cax, cay, cbx, cby;
    };
    const Case cases[] = {
        {"inside", 1, 1, 2, 2, true, 1, 1, 2, 2},
        {"to far right", 5, 2.5, 100, 2.5, true, 5, 2.5, 10, 2.5},
        {"wholly left", -5, 1, -1, 4, false, 0, 0, 0, 0},
        {"through both sides", -10, 0, 20, 3, true, 0, 1, 10, 2},
        {"corner to corner outside", -1, 6, 11, -1, true, 5.0 / 7, 5, 65.0 / 7, 0},
        {"misses the corner", -2, 4, 2, 8, false, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        double ax = c.ax, ay = c.ay, bx = c.bx, by = c.by;
        const bool kept = ClipSegment(ax, ay, bx, by, 0, 10, 0, 5);
        EXPECT_EQ(kept, c.kept);
        if (!kept || !c.kept)
            continue;
        // The clipped ends lie on the original line and inside the frame.
        EXPECT_NEAR(ax, c.cax, 1e-12);
        EXPECT_NEAR(ay, c.cay, 1e-12);
        EXPECT_NEAR(bx, c.cbx, 1e-12);
        EXPECT_NEAR(by, c.cby, 1e-12);
    }
}

}  // namespace
