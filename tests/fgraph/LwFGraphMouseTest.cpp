#include "fgraph/LwFGraph.h"
#include "FGraphTestSupport.h"

#include <QApplication>
#include <QGraphicsRectItem>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

TEST(LwMouseOperation, DraggedRectangleBecomesTheDisplayedRange)
{
    LwFGraphLayout layout;
    layout.Ranges[0].Min = 0;
    layout.Ranges[0].Max = 10;
    layout.Ranges[1].Min = 0;
    layout.Ranges[1].Max = 5;
    LwFGraphItemSet items;
    LwMouseOperation mouse;
    mouse.Press(100, 50);
    mouse.Move(150, 90);
    ASSERT_TRUE(mouse.Release(200, 150, QSize(500, 300), layout, items, QTransform()));
    // Plot width 500 - 10 - 60 = 430, plot base 300 - 20 = 280, top 10.
    EXPECT_NEAR(layout.Ranges[0].Min, 40.0 / 430 * 10, 1e-12);
    EXPECT_NEAR(layout.Ranges[0].Max, 140.0 / 430 * 10, 1e-12);
    EXPECT_NEAR(layout.Ranges[1].Min, (150.0 - 280) * 5 / (10 - 280), 1e-12);
    EXPECT_NEAR(layout.Ranges[1].Max, (50.0 - 280) * 5 / (10 - 280), 1e-12);
    EXPECT_FALSE(items.Gradation.Axes[0].Automatic);
    EXPECT_FALSE(items.Gradation.Axes[1].Automatic);
    EXPECT_DOUBLE_EQ(items.Gradation.Axes[1].Max, layout.Ranges[1].Max);
    EXPECT_EQ(mouse.Active, 0);
}

TEST(LwMouseOperation, ReleasesThatDoNotZoom)
{
    struct Case
    {
        const char* name;
        bool press;
        int x0, y0, x1, y1;
        QSize view;
    };
    const Case cases[] = {
        {"horizontal drag", true, 100, 50, 200, 50, {500, 300}},
        {"vertical drag", true, 100, 50, 100, 150, {500, 300}},
        {"release without press", false, 100, 50, 200, 150, {500, 300}},
        {"view without plot rectangle", true, 10, 5, 40, 20, {60, 25}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LwFGraphLayout layout;
        layout.Ranges[0].Max = 10;
        layout.Ranges[1].Max = 5;
        LwFGraphItemSet items;
        LwMouseOperation mouse;
        if (c.press)
            mouse.Press(c.x0, c.y0);
        EXPECT_FALSE(mouse.Release(c.x1, c.y1, c.view, layout, items, QTransform()));
        EXPECT_EQ(layout.Ranges[0].Max, 10);
        EXPECT_TRUE(items.Gradation.Axes[0].Automatic);
    }
    // A falling range stays falling.
    LwFGraphLayout layout;
    layout.Ranges[0].Min = 10;
    layout.Ranges[0].Max = 0;
    layout.Ranges[1].Max = 5;
    LwFGraphItemSet items;
    LwMouseOperation mouse;
    mouse.Press(100, 50);
    ASSERT_TRUE(mouse.Release(200, 150, QSize(500, 300), layout, items, QTransform()));
    EXPECT_GT(layout.Ranges[0].Min, layout.Ranges[0].Max);
}

// Mouse events on a shown view of 500 x 300 at 96 dpi.
class LwFGraphMouseTest : public FGraphOnView
{
protected:
    void SetUp() override
    {
        Attach(500, 300);
        graph_.SetWave(0, {0, 10}, {0, 5});
        graph_.Redraw();
        view_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view_));
        // The view's size after showing decides the scene; attach again.
        graph_.SetView(&view_);
        graph_.Redraw();
        autoX_ = Range(0);
    }
    QPoint At(int x, int y) { return view_.mapFromScene(QPointF(x, y)); }
    // A move with the left button held (QTest's moves carry no buttons, and
    // a widget without mouse tracking never sees those).
    void DragTo(const QPoint& p)
    {
        QMouseEvent move(QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Port(), &move);
    }
    QWidget* Port() { return view_.viewport(); }
    std::pair<double, double> Range(int axis)
    {
        return {Impl().Layout.Ranges[axis].Min, Impl().Layout.Ranges[axis].Max};
    }
    int Bands()
    {
        int n = 0;
        for (auto* r : ItemsOf<QGraphicsRectItem>())
            if (r->pen().color() == QColor(0, 255, 255))
                ++n;
        return n;
    }
    bool BandInScene() { return Bands() > 0; }
    std::pair<double, double> autoX_;
};

TEST_F(LwFGraphMouseTest, DragShowsTheBandAndZoomsDoubleClickRestores)
{
    LwGradation& g = Impl().ItemSet.Gradation;
    g.Axes[0].Automatic = g.Axes[1].Automatic = false;
    g.Axes[0].Min = 0, g.Axes[0].Max = 10, g.Axes[1].Min = 0, g.Axes[1].Max = 5;
    graph_.Redraw();

    QTest::mousePress(Port(), Qt::LeftButton, {}, At(100, 50));
    DragTo(At(150, 100));
    EXPECT_TRUE(BandInScene());
    DragTo(At(200, 150));
    EXPECT_TRUE(BandInScene());
    QTest::mouseRelease(Port(), Qt::LeftButton, {}, At(200, 150));
    EXPECT_FALSE(BandInScene());
    // Scene 500 x 300 (the view's size): the numbers of the drag above.
    const QSize size = view_.size();
    ASSERT_EQ(size, QSize(500, 300));
    EXPECT_NEAR(Range(0).first, 40.0 / 430 * 10, 1e-9);
    EXPECT_NEAR(Range(0).second, 140.0 / 430 * 10, 1e-9);
    EXPECT_NEAR(Range(1).first, 130.0 * 5 / 270, 1e-9);
    EXPECT_NEAR(Range(1).second, 230.0 * 5 / 270, 1e-9);

    QTest::mouseDClick(Port(), Qt::LeftButton, {}, At(300, 100));
    EXPECT_TRUE(g.Axes[0].Automatic);
    EXPECT_DOUBLE_EQ(Range(0).first, -0.5);
    EXPECT_DOUBLE_EQ(Range(0).second, 10.5);
}

TEST_F(LwFGraphMouseTest, RedrawDuringADragKeepsOneBand)
{
    QTest::mousePress(Port(), Qt::LeftButton, {}, At(100, 50));
    DragTo(At(150, 100));
    // A redraw clears the scene (and the band item with it) and draws the
    // band of the drag in progress again.
    graph_.Redraw();
    EXPECT_EQ(Bands(), 1);
    DragTo(At(180, 120));
    EXPECT_EQ(Bands(), 1);
    const auto bands = ItemsOf<QGraphicsRectItem>();
    QRectF band;
    for (auto* r : bands)
        if (r->pen().color() == QColor(0, 255, 255))
            band = r->rect();
    EXPECT_EQ(band, QRectF(100, 50, 80, 70));
    QTest::mouseRelease(Port(), Qt::LeftButton, {}, At(180, 120));
    EXPECT_EQ(Bands(), 0);
}

TEST_F(LwFGraphMouseTest, SecondReleaseOfADoubleClickDoesNotZoom)
{
    QTest::mousePress(Port(), Qt::LeftButton, {}, At(100, 50));
    QTest::mouseRelease(Port(), Qt::LeftButton, {}, At(100, 50));
    // press, release, double click at one place, then the hand moves before
    // the second release.
    QTest::mouseDClick(Port(), Qt::LeftButton, {}, At(200, 150));
    QTest::mouseRelease(Port(), Qt::LeftButton, {}, At(260, 200));
    EXPECT_EQ(Range(0), autoX_);
    EXPECT_TRUE(Impl().ItemSet.Gradation.Axes[0].Automatic);
}

TEST_F(LwFGraphMouseTest, ImageLocksTheMouse)
{
    LwFloatMatrix image(4, 4);
    for (int i = 0; i < 16; ++i)
        image(i % 4, i / 4) = static_cast<float>(i);
    graph_.SetImage(image);
    graph_.Redraw();
    const auto before = Range(0);
    QTest::mousePress(Port(), Qt::LeftButton, {}, At(100, 50));
    DragTo(At(150, 120));
    EXPECT_FALSE(BandInScene());
    EXPECT_EQ(Impl().Mouse.Active, 0);
    QTest::mouseRelease(Port(), Qt::LeftButton, {}, At(150, 120));
    EXPECT_EQ(Range(0), before);
    EXPECT_TRUE(Impl().ItemSet.Gradation.Axes[0].Automatic);
}

TEST_F(LwFGraphMouseTest, RedrawFailureFromTheMouseIsShownInTheErrorBox)
{
    LwFloatMatrix column(1, 4);
    for (int i = 0; i < 4; ++i)
        column(0, i) = 1;
    graph_.SetImage(column);
    QString title, text;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        title = box->windowTitle();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    poll.start(5);
    QTest::mouseDClick(Port(), Qt::LeftButton, {}, At(200, 100));
    poll.stop();
    EXPECT_EQ(title, QString("ERROR"));
    EXPECT_EQ(text, QString("FGraph::Correct2DNumeralByPixSize()::ERROR: width is zero"));
}

}  // namespace
