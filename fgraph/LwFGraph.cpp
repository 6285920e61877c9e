#include "fgraph/LwFGraph.h"

#include "core/LwError.h"
#include "core/TextUtilities.h"
#include "fgraph/QGraphicsSceneFG.h"

#include <QCoreApplication>
#include <QGraphicsRectItem>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <set>

// ---------------------------------------------------------------------------
// Teardown. A graph may outlive the application object (velmora keeps one in
// a function-local static). A scene destroyed after QApplication touches a
// dead font and style system, so every live graph gives up its scene from a
// post routine, which QApplication's destructor runs first of all.

namespace {

std::set<LwFGraphImpl*>& LiveGraphs()
{
    static std::set<LwFGraphImpl*> graphs;
    return graphs;
}

bool postRoutineArmed = false;

void ReleaseAllScenes()
{
    postRoutineArmed = false;  // Qt drops the routine once it has run
    for (LwFGraphImpl* g : LiveGraphs())
        g->ReleaseScene();
}

}  // namespace

// ---------------------------------------------------------------------------

LwFGraphColor DefaultItemColor(std::int32_t n)
{
    static const LwFGraphColor first[13] = {
        {255, 0, 0}, {0, 0, 255}, {255, 0, 255},   {128, 128, 0}, {160, 160, 160}, {0, 128, 128}, {128, 0, 0},
        {0, 0, 128}, {0, 128, 0}, {128, 128, 128}, {0, 255, 0},   {255, 255, 0},   {0, 255, 255}};
    if (n >= 0 && n < 13)
        return first[n];
    const std::uint32_t u = static_cast<std::uint32_t>(n);
    return {static_cast<std::int32_t>(u % 32 * 4 + 100), static_cast<std::int32_t>(u / 32 % 32 * 4 + 100),
            static_cast<std::int32_t>(u / 1024 % 32 * 4 + 100)};
}

LwFGraphItemSet::LwFGraphItemSet()
{
    Gradation.Palette = 3;
    Gradation.Init();
}

LwFGraphItem& LwFGraphItemSet::Get(float key)
{
    // The map orders its keys with <, under which NaN is equivalent to every
    // key: a NaN would find, and overwrite, whichever item the search meets.
    if (!std::isfinite(key))
        throw LwError("FGraph: an item key must be a finite number, not " + FloatToString(key));
    auto it = Items.find(key);
    if (it == Items.end()) {
        LwFGraphItem item;
        item.Key = key;
        item.Style.Color = DefaultItemColor(Created);
        ++Created;
        it = Items.emplace(key, std::move(item)).first;
    }
    return it->second;
}

const LwFGraphItem* LwFGraphItemSet::Image() const
{
    const auto it = Items.find(kFGraphImageKey);
    return it == Items.end() ? nullptr : &it->second;
}

LwFGraphViewGeometry LwFGraphViewGeometry::Of(int viewWidth, int viewHeight, double dotsPerInch)
{
    LwFGraphViewGeometry g;
    g.Factor = (dotsPerInch > 0) ? 96.0 / dotsPerInch : 1.0;
    g.SceneWidth = static_cast<int>(std::floor(viewWidth * g.Factor));
    g.SceneHeight = static_cast<int>(std::floor(viewHeight * g.Factor));
    g.CanvasWidth = static_cast<float>(g.SceneWidth - 2);
    g.CanvasHeight = static_cast<float>(g.SceneHeight - 2);
    g.ViewScale = 1.0 / g.Factor;
    return g;
}

// ---------------------------------------------------------------------------

LwFGraphImpl::LwFGraphImpl() : scene_(new QGraphicsSceneFG(this))
{
    // The scene is rebuilt from scratch on every redraw and never searched
    // for items, so an index would only slow down adding many line items.
    scene_->setItemIndexMethod(QGraphicsScene::NoIndex);
    Canvas.Scene = scene_;
    LiveGraphs().insert(this);
    if (!postRoutineArmed) {
        qAddPostRoutine(ReleaseAllScenes);
        postRoutineArmed = true;
    }
}

LwFGraphImpl::~LwFGraphImpl()
{
    LiveGraphs().erase(this);
    ReleaseScene();
}

void LwFGraphImpl::ReleaseScene()
{
    if (view_ && view_->scene() == scene_)
        view_->setScene(nullptr);
    view_ = nullptr;
    Canvas.BandItem = nullptr;
    Canvas.BandShown = false;
    Canvas.Scene = nullptr;
    if (scene_)
        FlushScenePolish(scene_);  // see ClearScene: a linear delete
    delete scene_;
    scene_ = nullptr;
}

void LwFGraphImpl::SetAutoScale()
{
    ItemSet.Gradation.Axes[0].Automatic = true;
    ItemSet.Gradation.Axes[1].Automatic = true;
}

void LwFGraphImpl::SetView(QGraphicsView* view)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    SetView(view, screen ? screen->logicalDotsPerInchX() : 96.0);
}

void LwFGraphImpl::SetView(QGraphicsView* view, double dotsPerInch)
{
    if (!view || !scene_)
        return;
    if (view_ && view_ != view)
        throw LwError("Already registered.");
    view_ = view;
    const LwFGraphViewGeometry g = LwFGraphViewGeometry::Of(view->width(), view->height(), dotsPerInch);
    Canvas.Width = g.CanvasWidth;
    Canvas.Height = g.CanvasHeight;
    ViewMatrix = QTransform::fromScale(g.ViewScale, g.ViewScale);
    view->setTransform(ViewMatrix);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setSceneRect(0, 0, g.SceneWidth - 1, g.SceneHeight - 1);
}

void LwFGraphImpl::MousePress(int x, int y)
{
    if (HasImage())
        return;
    Mouse.Press(x, y);
}

void LwFGraphImpl::MouseMove(int x, int y)
{
    if (HasImage())
        return;
    Mouse.Move(x, y);
    if (ZoomMode == 1)
        DrawBand();
}

void LwFGraphImpl::MouseRelease(int x, int y)
{
    if (HasImage())
        return;
    const QSize viewSize = view_ ? view_->size() : QSize();
    if (Mouse.Release(x, y, viewSize, Layout, ItemSet, ViewMatrix) && ZoomMode == 1) {
        Redraw();
        if (Canvas.BandShown)
            RemoveBand();
    }
}

void LwFGraphImpl::DrawBand()
{
    if (!Mouse.Active || !scene_)
        return;
    RemoveBand();
    Canvas.BandX0 = Mouse.StartX;
    Canvas.BandY0 = Mouse.StartY;
    Canvas.BandX1 = Mouse.EndX;
    Canvas.BandY1 = Mouse.EndY;
    const QRectF band =
        QRectF(QPointF(Canvas.BandX0, Canvas.BandY0), QPointF(Canvas.BandX1, Canvas.BandY1)).normalized();
    Canvas.BandItem = scene_->addRect(band, QPen(QColor(0, 255, 255), 1), Qt::NoBrush);
    Canvas.BandShown = true;
}

void LwFGraphImpl::RemoveBand()
{
    if (Canvas.BandItem && scene_) {
        scene_->removeItem(Canvas.BandItem);
        delete Canvas.BandItem;
    }
    Canvas.BandItem = nullptr;
    Canvas.BandShown = false;
}

// ---------------------------------------------------------------------------

FGraph::FGraph() : impl_(std::make_unique<LwFGraphImpl>()) {}

FGraph::~FGraph() = default;

void FGraph::SetView(QGraphicsView* view)
{
    impl_->SetView(view);
}

void FGraph::SetWave(float key, const std::vector<double>& x, const std::vector<double>& y)
{
    LwFGraphItem& item = impl_->ItemSet.Get(key);
    if (x.size() != y.size())
        throw LwError("ERROR: size of x and y is different");
    item.Kind = kFGraphCurve;
    LwFloatMatrix points(2, static_cast<int>(x.size()));
    for (std::size_t i = 0; i < x.size(); ++i) {
        points(0, static_cast<int>(i)) = static_cast<float>(x[i]);
        points(1, static_cast<int>(i)) = static_cast<float>(y[i]);
    }
    item.Data = points;
}

void FGraph::SetImage(const LwFloatMatrix& image)
{
    LwFGraphItem& item = impl_->ItemSet.Get(kFGraphImageKey);
    item.Kind = kFGraphImage;
    item.Data = image;
}

void FGraph::Redraw()
{
    impl_->Redraw();
}

void FGraph::Render(QPaintDevice* device)
{
    impl_->Render(device);
}
