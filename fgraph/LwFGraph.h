#pragma once
// The plotting widget: curves and one optional 2-D image with a colour
// gradation, drawn into a graphics scene shown by the caller's
// QGraphicsView, with framed axes, ticks and number labels, rubber-band zoom
// and a context menu (automatic scaling, clipboard copy, CSV and PDF export).
//
// FGraph is a thin facade over LwFGraphImpl, which owns everything else.
// GUI thread only. The scene is released when the application object is
// destroyed, even when the graph itself lives longer (a function-local static
// outlives main): the graph then draws nothing any more.

#include "fgraph/LwFGraphTypes.h"
#include "fgraph/LwGradation.h"
#include "fgraph/LwMouseOperation.h"

#include <QBrush>
#include <QFont>
#include <QGraphicsView>
#include <QPen>
#include <QPointer>
#include <QString>
#include <QTransform>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class QGraphicsRectItem;
class QGraphicsScene;
class QGraphicsSceneFG;
class QPaintDevice;

// What the drawing works with: the rubber band, the current pen, brush and
// font, and the size of the drawing area in scene pixels.
struct LwFGraphCanvas
{
    std::int32_t BandX0 = 0;
    std::int32_t BandY0 = 0;
    std::int32_t BandX1 = 0;
    std::int32_t BandY1 = 0;
    bool BandShown = false;
    // The band's item while it is in the scene; null once the scene is
    // cleared (clearing deletes it).
    QGraphicsRectItem* BandItem = nullptr;
    QGraphicsScene* Scene = nullptr;
    QPen Pen;
    QBrush Brush;
    QFont Font;
    float Width = 0;  // scene pixels: the view's width at 96 dpi minus 2
    float Height = 0;
};

// The items by ascending key, the creation counter that picks the default
// colour of the next item, and the gradation with the axis records.
struct LwFGraphItemSet
{
    LwFGraphItemSet();

    // The item of `key`, created with the default style and the colour of
    // its creation number when missing. A key that is not finite throws an
    // LwError naming it, nothing created.
    LwFGraphItem& Get(float key);
    // The image item, or null.
    const LwFGraphItem* Image() const;

    std::map<float, LwFGraphItem> Items;
    std::int32_t Created = 0;
    LwGradation Gradation;
};

// Scene geometry of a view of `viewWidth` x `viewHeight` device pixels on a
// screen of `dotsPerInch` logical dots per inch.
struct LwFGraphViewGeometry
{
    double Factor = 1;  // f = 96 / dots per inch
    int SceneWidth = 0;  // floor(view width * f)
    int SceneHeight = 0;
    float CanvasWidth = 0;  // scene width - 2
    float CanvasHeight = 0;
    double ViewScale = 1;  // 1 / f: device pixels per scene pixel

    static LwFGraphViewGeometry Of(int viewWidth, int viewHeight, double dotsPerInch);
};

// Runs the queued calls of `scene`, among them the polish of items added
// since the event loop last ran. Deleting an item searches that queue, so
// deleting many fresh items without this first takes quadratic time.
void FlushScenePolish(QGraphicsScene* scene);

class LwFGraphImpl
{
public:
    LwFGraphImpl();
    virtual ~LwFGraphImpl();
    LwFGraphImpl(const LwFGraphImpl&) = delete;
    LwFGraphImpl& operator=(const LwFGraphImpl&) = delete;

    // Sets the automatic flag of the horizontal and vertical axis records.
    virtual void SetAutoScale();
    // Mouse in scene pixels; all three do nothing in image mode.
    virtual void MousePress(int x, int y);
    virtual void MouseMove(int x, int y);
    virtual void MouseRelease(int x, int y);

    // Attaches `view` (the same view again refreshes the geometry; another
    // one throws "Already registered."), with the primary screen's dots per
    // inch or the given ones.
    void SetView(QGraphicsView* view);
    void SetView(QGraphicsView* view, double dotsPerInch);
    // Shows the scene in the attached view and rebuilds it from the data
    // model; nothing without a view. Image errors throw and stop the redraw.
    void Redraw();
    // Paints the whole scene onto `device`, keeping the aspect ratio.
    void Render(QPaintDevice* device);
    // The view as an image on the clipboard, white background.
    void CopyToClipboard();
    // One CSV text per item (data.csv, or data0.csv, data1.csv, ... for
    // several items); files that cannot be opened are skipped.
    void SaveCsv(const QString& path);
    // The view as one PDF page of the view's size in points.
    void SavePdf(const QString& path);

    QGraphicsView* View() const { return view_; }
    QGraphicsSceneFG* Scene() const { return scene_; }
    bool HasImage() const { return ItemSet.Image() != nullptr; }
    // Deletes the scene and forgets the view; the graph draws nothing after.
    void ReleaseScene();

    LwFGraphLayout Layout;
    LwFGraphCanvas Canvas;
    LwMouseOperation Mouse;
    std::int32_t ZoomMode = 1;  // 1: rubber-band zoom
    LwFGraphItemSet ItemSet;
    QTransform ViewMatrix;

private:
    void ClearScene();
    void DrawCurveMode();
    void DrawImageMode();
    void DrawImage(const LwFGraphItem& image);
    void DrawContours(const LwFGraphItem& image);
    void DrawContourLevel(const LwFloatMatrix& m, double level, double scale, double base);
    void DrawCurves();
    void DrawFrame();
    void DrawAxes();
    void DrawBand();
    void RemoveBand();
    double PixelX(double x) const;
    double PixelY(double y) const;

    QPointer<QGraphicsView> view_;
    QGraphicsSceneFG* scene_ = nullptr;
};

// The CSV text of one item matrix: the header lines, then every row's values
// from the first column on, joined by the separator, each row ended by the
// line end; values with six significant digits. A matrix without columns
// gives the empty text.
QString FGraphCsvText(const LwFloatMatrix& m, const LwFGraphCsvFormat& format = {});

class FGraph
{
public:
    FGraph();
    ~FGraph();
    FGraph(const FGraph&) = delete;
    FGraph& operator=(const FGraph&) = delete;

    void SetView(QGraphicsView* view);
    // Replaces the points of the curve `key` (created when missing). Vectors
    // of different length throw "ERROR: size of x and y is different" and
    // leave the points as they were; a key that is not finite (NaN, an
    // infinity) throws an LwError naming it, every curve unchanged.
    void SetWave(float key, const std::vector<double>& x, const std::vector<double>& y);
    // Puts `image` in as the image item (key kFGraphImageKey): the graph
    // draws in image mode from then on.
    void SetImage(const LwFloatMatrix& image);
    void Redraw();
    void Render(QPaintDevice* device);

    // Widens the image axis range [min, max] of `pixelCount` pixels by half a
    // pixel on each side, so it spans the outer pixel edges. A zero width
    // throws "FGraph::Correct2DNumeralByPixSize()::ERROR: width is zero", no
    // pixels "FGraph::Correct2DNumeralByPixSize()::ERROR: SizeOfMatrix iz
    // zero".
    static void Correct2DNumeralByPixSize(double& min, double& max, int pixelCount);

    // The data model: gradation and axis records, item styles, layout.
    LwFGraphImpl& Impl() { return *impl_; }

private:
    std::unique_ptr<LwFGraphImpl> impl_;
};
