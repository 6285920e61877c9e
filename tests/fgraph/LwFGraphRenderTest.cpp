#include "fgraph/LwFGraph.h"
#include "fgraph/LwFGraphTicks.h"
#include "ErrorText.h"
#include "FGraphTestSupport.h"

#include <QFontInfo>
#include <QGraphicsEllipseItem>
#include <QGraphicsLineItem>
#include <QGraphicsPixmapItem>
#include <QGraphicsTextItem>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

namespace {

// Plot geometry of the default layout (margins 60, 10, 10, 20) on a canvas
// of W x H scene pixels, written out from the layout rules.
struct Plot
{
    double W, H;
    double x0, x1, y0, y1;  // displayed ranges
    double X(double x) const { return 60 + (x - x0) / (x1 - x0) * ((W - 10) - 60); }
    double Y(double y) const { return H - 1 - (20 + (y - y0) / (y1 - y0) * ((H - 10) - 20)); }
};

int debugLines = 0;
void CountDebugLines(QtMsgType type, const QMessageLogContext&, const QString&)
{
    if (type == QtDebugMsg)
        ++debugLines;
}

bool IsRed(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) < 80 && qBlue(c) < 80;
}

class LwFGraphRenderTest : public FGraphOnView
{
protected:
    std::multiset<QString> Labels()
    {
        std::multiset<QString> out;
        for (auto* t : ItemsOf<QGraphicsTextItem>())
            out.insert(t->toPlainText());
        return out;
    }
};

TEST_F(LwFGraphRenderTest, CurveRangesTicksLabelsAndPixels)
{
    Attach(500, 300);
    graph_.SetWave(0, {0, 10}, {0, 5});
    graph_.Redraw();

    const LwFGraphLayout& L = Impl().Layout;
    EXPECT_DOUBLE_EQ(L.Ranges[0].Min, -0.5);
    EXPECT_DOUBLE_EQ(L.Ranges[0].Max, 10.5);
    EXPECT_DOUBLE_EQ(L.Ranges[1].Min, -0.25);
    EXPECT_DOUBLE_EQ(L.Ranges[1].Max, 5.25);
    EXPECT_DOUBLE_EQ(L.Ranges[0].MajorStep, 2);
    EXPECT_DOUBLE_EQ(L.Ranges[1].MinorStep, 0.2);
    // The automatic axis records take the displayed ranges.
    EXPECT_DOUBLE_EQ(Impl().ItemSet.Gradation.Axes[0].Max, 10.5);

    EXPECT_EQ(Labels(),
              (std::multiset<QString>{"0", "2", "4", "6", "8", "10", "0", "1", "2", "3", "4", "5"}));

    const Plot p{W(), H(), -0.5, 10.5, -0.25, 5.25};
    // One red line from (0, 0) to (10, 5).
    std::vector<QGraphicsLineItem*> red;
    for (auto* l : ItemsOf<QGraphicsLineItem>())
        if (l->pen().color() == QColor(255, 0, 0))
            red.push_back(l);
    ASSERT_EQ(red.size(), 1u);
    const QLineF line = red[0]->line();
    EXPECT_NEAR(line.x1(), p.X(0), 1e-9);
    EXPECT_NEAR(line.y1(), p.Y(0), 1e-9);
    EXPECT_NEAR(line.x2(), p.X(10), 1e-9);
    EXPECT_NEAR(line.y2(), p.Y(5), 1e-9);

    // The x labels are centred on their ticks below the frame (outward ticks).
    for (auto* t : ItemsOf<QGraphicsTextItem>()) {
        if (t->toPlainText() != "10")
            continue;
        const double centre = t->pos().x() + 4 + QFontMetricsF(t->font()).horizontalAdvance("10") / 2;
        EXPECT_NEAR(centre, p.X(10), 1e-6);
        EXPECT_NEAR(t->pos().y(), (H() - 1 - (20 - 5)) - 3, 1e-9);
    }

    // Pixels: the curve's middle is red, the frame's left edge black, the
    // background white.
    const QImage image = Painted();
    bool found = false;
    const int mx = static_cast<int>(std::lround(p.X(5))), my = static_cast<int>(std::lround(p.Y(2.5)));
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            found = found || IsRed(image.pixel(mx + dx, my + dy));
    EXPECT_TRUE(found);
    EXPECT_EQ(image.pixel(60, 150), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(300, 40), qRgb(255, 255, 255));
}

TEST_F(LwFGraphRenderTest, LabelsUseTheSerifStandIn)
{
    Attach(400, 300);
    graph_.SetWave(0, {0, 1}, {0, 1});
    graph_.Redraw();
    const auto texts = ItemsOf<QGraphicsTextItem>();
    ASSERT_FALSE(texts.empty());
    const QFontInfo info(texts[0]->font());
    EXPECT_EQ(info.family(), QString("Liberation Serif"));
    EXPECT_EQ(info.pixelSize(), 9);
}

TEST_F(LwFGraphRenderTest, ManualRangeClipsSegmentsAndHidesOuterMarkers)
{
    Attach(500, 300);
    LwGradation& g = Impl().ItemSet.Gradation;
    g.Axes[0] = {"", true, true, 0, 10, false, false, 9};
    g.Axes[1] = {"", true, true, 0, 5, false, false, 9};
    graph_.SetWave(0, {5, 100}, {2.5, 2.5});  // leaves the frame on the right
    graph_.SetWave(1, {-5, -1}, {1, 4});  // wholly left of the frame
    Impl().ItemSet.Items.at(0).Style.Marker = 2;
    Impl().ItemSet.Items.at(1).Style.Marker = 1;
    graph_.Redraw();

    const Plot p{W(), H(), 0, 10, 0, 5};
    std::vector<QLineF> red, blue;
    for (auto* l : ItemsOf<QGraphicsLineItem>()) {
        if (l->pen().color() == QColor(255, 0, 0))
            red.push_back(l->line());
        if (l->pen().color() == QColor(0, 0, 255))
            blue.push_back(l->line());
    }
    ASSERT_EQ(red.size(), 1u);
    EXPECT_NEAR(red[0].x2(), p.X(10), 1e-9);
    EXPECT_NEAR(red[0].y2(), p.Y(2.5), 1e-9);
    EXPECT_TRUE(blue.empty());
    // Only the point (5, 2.5) gets a marker: a filled circle of diameter 4.
    const auto markers = ItemsOf<QGraphicsEllipseItem>();
    ASSERT_EQ(markers.size(), 1u);
    EXPECT_EQ(markers[0]->rect(), QRectF(p.X(5) - 2, p.Y(2.5) - 2, 4, 4));
    EXPECT_EQ(markers[0]->brush().color(), QColor(255, 0, 0));
    // Axis ticks point out of the frame: at x = 4 a minor (3) and a major
    // (5) tick below the frame's bottom (scene y H - 21) and above its top (9).
    std::set<std::pair<long, long>> ticks;
    for (auto* l : ItemsOf<QGraphicsLineItem>()) {
        const QLineF t = l->line();
        if (l->pen().color() == Qt::black && std::fabs(t.x1() - p.X(4)) < 1e-9 && t.x1() == t.x2())
            ticks.emplace(std::lround(t.y1()), std::lround(t.y2()));
    }
    const long b = std::lround(H()) - 21;
    EXPECT_EQ(ticks, (std::set<std::pair<long, long>>{{b, b + 3}, {b, b + 5}, {9, 6}, {9, 4}}));
}

TEST_F(LwFGraphRenderTest, ConstantAndNanPointsKeepAUsableRange)
{
    Attach(400, 300);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    graph_.SetWave(0, {1, 2, nan, 3}, {3, 3, 7, 3});
    graph_.Redraw();
    const LwFGraphLayout& L = Impl().Layout;
    EXPECT_DOUBLE_EQ(L.Ranges[0].Min, 1 - 0.1);
    EXPECT_DOUBLE_EQ(L.Ranges[0].Max, 3 + 0.1);
    // y = 3 everywhere (the NaN point's 7 counts too, it is finite): 3..7.
    EXPECT_DOUBLE_EQ(L.Ranges[1].Min, 3 - 0.2);
    graph_.SetWave(0, {1, 2}, {3, 3});
    graph_.Redraw();
    EXPECT_DOUBLE_EQ(L.Ranges[1].Min, 2.5);
    EXPECT_DOUBLE_EQ(L.Ranges[1].Max, 3.5);
}

TEST_F(LwFGraphRenderTest, DeepZoomDrawsBoundedTicks)
{
    Attach(400, 300);
    LwGradation& g = Impl().ItemSet.Gradation;
    g.Axes[0] = {"", true, true, 1e8, 1e8 + 3e-8, false, false, 9};
    g.Axes[1] = {"", true, true, 1e-300, 2e-300, false, false, 9};
    graph_.SetWave(0, {1e8, 1e8}, {1e-300, 2e-300});
    graph_.Redraw();
    EXPECT_LT(Scene()->items().size(), 4 * kMaxTicks + 50);
}

TEST_F(LwFGraphRenderTest, TinyViewsDrawWithoutAPlotRectangle)
{
    Attach(12, 8);  // smaller than the margins
    graph_.SetWave(0, {0, 1, 2}, {1, 0, 1});
    EXPECT_NO_THROW(graph_.Redraw());
    Impl().MousePress(1, 1);
    Impl().MouseRelease(5, 4);
    EXPECT_TRUE(Impl().ItemSet.Gradation.Axes[0].Automatic);
    LwFloatMatrix image(3, 3);
    for (int i = 0; i < 9; ++i)
        image(i % 3, i / 3) = static_cast<float>(i);
    graph_.SetImage(image);
    EXPECT_NO_THROW(graph_.Redraw());
    EXPECT_TRUE(ItemsOf<QGraphicsPixmapItem>().empty());
    Impl().ItemSet.Gradation.ContourStep = 1;
    EXPECT_NO_THROW(graph_.Redraw());
}

TEST_F(LwFGraphRenderTest, ImageModeFitsThePlotToTheImage)
{
    Attach(602, 232);  // canvas 600 x 230: plot height 230 - 20 - 10 = 200
    LwFloatMatrix image(100, 50);
    image.ColBegin = 3;
    for (int r = 0; r < 50; ++r)
        for (int c = 3; c < 103; ++c)
            image(c, r) = static_cast<float>(c + r);
    graph_.SetImage(image);
    graph_.Redraw();
    const LwFGraphLayout& L = Impl().Layout;
    EXPECT_DOUBLE_EQ(L.Ranges[0].Min, 2.5);
    EXPECT_DOUBLE_EQ(L.Ranges[0].Max, 102.5);
    EXPECT_DOUBLE_EQ(L.Ranges[1].Min, -0.5);
    EXPECT_DOUBLE_EQ(L.Ranges[1].Max, 49.5);
    EXPECT_EQ(L.RightMargin, 600.0f - 400 - 60);
    const auto pixmaps = ItemsOf<QGraphicsPixmapItem>();
    ASSERT_EQ(pixmaps.size(), 1u);
    EXPECT_EQ(pixmaps[0]->pixmap().size(), QSize(400, 200));
    EXPECT_EQ(pixmaps[0]->pos(), QPointF(59.5, 9.5));
    // Colour range of the automatic colour axis: smallest and largest pixel.
    EXPECT_DOUBLE_EQ(Impl().ItemSet.Gradation.Axes[2].Min, 3);
    EXPECT_DOUBLE_EQ(Impl().ItemSet.Gradation.Axes[2].Max, 102 + 49);
}

class LwFGraphImageColourTest : public LwFGraphRenderTest
{
protected:
    // A 5 x 2 image on a canvas whose plot is 200 high: 100 scene pixels per
    // image pixel. Palette 13's five entries sit at 0, 1, 2, 3, 4 on [0, 4].
    void Draw(const std::vector<float>& values, bool automatic)
    {
        Attach(802, 232);
        LwFloatMatrix image(5, 2);
        for (int i = 0; i < 10; ++i)
            image(i % 5, i / 5) = values[i];
        LwGradation& g = Impl().ItemSet.Gradation;
        g.Palette = 13;
        g.Init();
        g.Axes[2].Automatic = automatic;
        g.Axes[2].Min = 0;
        g.Axes[2].Max = 4;
        graph_.SetImage(image);
        graph_.Redraw();
        painted_ = Painted();
    }
    // Colour at the centre of image pixel (c, r); row 0 is at the bottom.
    QRgb At(int c, int r) const { return painted_.pixel(60 + c * 100 + 50, 10 + (1 - r) * 100 + 50); }
    QImage painted_;
};

TEST_F(LwFGraphImageColourTest, PixelsTakeTheGradationColourOfTheirValue)
{
    Draw({0, 1, 2, 3, 4, 4, 3, 2, 1, 0}, false);
    const QRgb expected[5] = {qRgb(0, 0, 255), qRgb(0, 255, 255), qRgb(0, 255, 0), qRgb(255, 255, 0),
                              qRgb(255, 0, 0)};
    for (int c = 0; c < 5; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(At(c, 0), expected[c]);
        EXPECT_EQ(At(c, 1), expected[4 - c]);
    }
    // Pixel edges follow the axis: column 0 covers [60, 160) (its value 0,
    // blue) and column 1 starts right after.
    EXPECT_EQ(painted_.pixel(62, 200), qRgb(0, 0, 255));
    EXPECT_EQ(painted_.pixel(158, 200), qRgb(0, 0, 255));
    EXPECT_EQ(painted_.pixel(162, 200), qRgb(0, 255, 255));
}

TEST_F(LwFGraphImageColourTest, NanAndLimitPixelsAreRedAndOutOfTheRange)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Impl().ItemSet.Gradation.UpperDisplayLimit = 2.5f;
    Draw({1, 2, nan, 2.5f, 0, 2, 2, 2, 2, 3}, true);
    const LwFGraphAxis& ac = Impl().ItemSet.Gradation.Axes[2];
    EXPECT_DOUBLE_EQ(ac.Min, 1);  // zeros and NaN left out
    EXPECT_DOUBLE_EQ(ac.Max, 3);
    EXPECT_EQ(At(2, 0), qRgb(255, 0, 0));  // NaN
    EXPECT_EQ(At(3, 0), qRgb(255, 0, 0));  // equal to the upper display limit (else yellow)
    EXPECT_EQ(At(4, 1), qRgb(255, 0, 0));  // above it
    EXPECT_EQ(At(0, 0), qRgb(0, 0, 255));  // the range's minimum: first entry
}

TEST_F(LwFGraphRenderTest, ColourRangeOfFlatAndSymmetricImages)
{
    Attach(400, 300);
    LwFloatMatrix zeros(4, 4);
    zeros.SetZero();
    graph_.SetImage(zeros);
    graph_.Redraw();
    LwFGraphAxis& ac = Impl().ItemSet.Gradation.Axes[2];
    EXPECT_DOUBLE_EQ(ac.Min, -0.5);
    EXPECT_DOUBLE_EQ(ac.Max, 0.5);

    LwFloatMatrix signedImage(4, 4);
    for (int i = 0; i < 16; ++i)
        signedImage(i % 4, i / 4) = static_cast<float>(i % 5 - 1);  // -1..3
    graph_.SetImage(signedImage);
    ac.Symmetric = true;
    graph_.Redraw();
    EXPECT_DOUBLE_EQ(ac.Min, -3);
    EXPECT_DOUBLE_EQ(ac.Max, 3);
}

TEST_F(LwFGraphRenderTest, ImageWithoutExtentIsRefused)
{
    Attach(400, 300);
    LwFloatMatrix column(1, 4);
    column.SetZero();
    graph_.SetImage(column);
    EXPECT_EQ(ErrorText([&] { graph_.Redraw(); }),
              "FGraph::Correct2DNumeralByPixSize()::ERROR: width is zero");
}

TEST_F(LwFGraphRenderTest, ContoursLieOnTheirLevels)
{
    // Values rise by 1 per column: level v crosses at column v.
    Attach(402, 232);  // plot 200 high: s = 200 / 3 per pixel
    LwFloatMatrix ramp(3, 3);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            ramp(c, r) = static_cast<float>(c);
    LwGradation& g = Impl().ItemSet.Gradation;
    g.ContourStep = 0.5;
    g.Axes[2].Automatic = false;
    g.Axes[2].Min = 0;
    g.Axes[2].Max = 2;
    g.ContourLevels = {1.25f};
    g.ContourColors = {{0, 128, 0}};
    graph_.SetImage(ramp);
    graph_.Redraw();
    const double s = 200.0 / 3;
    std::set<long> blackColumns, greenColumns;
    for (auto* l : ItemsOf<QGraphicsLineItem>()) {
        const QLineF line = l->line();
        if (line.x1() != line.x2())
            continue;
        const long key = std::lround((line.x1() - 60) / s * 100);  // column in hundredths
        if (l->pen().color() == Qt::black && l->pen().widthF() == 0.1)
            blackColumns.insert(key);
        if (l->pen().color() == QColor(0, 128, 0))
            greenColumns.insert(key);
    }
    // Levels 0, 0.5, 1, 1.5 (2 is not below the top); columns sit at c + 0.5.
    EXPECT_EQ(blackColumns, (std::set<long>{50, 100, 150, 200}));
    EXPECT_EQ(greenColumns, (std::set<long>{175}));
    EXPECT_TRUE(ItemsOf<QGraphicsPixmapItem>().empty());

    // A step far too small for the range still ends: the level count is
    // bounded (each level is traced on the debug output).
    g.ContourStep = 1e-9f;
    g.ContourLevels.clear();
    debugLines = 0;
    const QtMessageHandler previous = qInstallMessageHandler(CountDebugLines);
    graph_.Redraw();
    qInstallMessageHandler(previous);
    EXPECT_GT(debugLines, 0);
    EXPECT_LE(debugLines, 1000);
}

}  // namespace
