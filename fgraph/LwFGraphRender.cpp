// The full redraw of the graph: the scene is cleared and rebuilt from the
// data model, in curve mode (curves only) or image mode (the image with its
// colour gradation, curves drawn over it).
//
// Coordinates: scene pixels with W x H the canvas size. Plot positions are
// computed upward from the bottom (y_up) and turned into scene y by
// y = H - 1 - y_up. Margins are truncated to integers where pixel bounds are
// formed.

#include "core/LwError.h"
#include "fgraph/LwFGraph.h"
#include "fgraph/LwFGraphTicks.h"
#include "fgraph/QGraphicsSceneFG.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFontMetricsF>
#include <QGraphicsTextItem>
#include <QGraphicsView>
#include <QImage>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Contour levels drawn from one contour step at most; a tiny step over a
// wide colour range would otherwise keep the window busy for hours.
constexpr int kMaxContourLevels = 1000;

int Trunc(float v)
{
    return static_cast<int>(v);
}

QColor ToQColor(const LwFGraphColor& c)
{
    return QColor(c.Red, c.Green, c.Blue);
}

// Smallest and largest finite value of a column of a curve matrix.
struct Extent
{
    double Min = std::numeric_limits<double>::infinity();
    double Max = -std::numeric_limits<double>::infinity();
    bool Any() const { return Min <= Max; }
    void Add(double v)
    {
        if (!std::isfinite(v))
            return;
        Min = std::min(Min, v);
        Max = std::max(Max, v);
    }
};

// Cohen-Sutherland outcode against [x0, x1] x [y0, y1].
int OutCode(double x, double y, double x0, double x1, double y0, double y1)
{
    int code = 0;
    if (x < x0)
        code |= 1;
    if (x > x1)
        code |= 2;
    if (y < y0)
        code |= 4;
    if (y > y1)
        code |= 8;
    return code;
}

}  // namespace

bool ClipSegment(double& ax, double& ay, double& bx, double& by, double x0, double x1, double y0, double y1)
{
    int ca = OutCode(ax, ay, x0, x1, y0, y1);
    int cb = OutCode(bx, by, x0, x1, y0, y1);
    for (int pass = 0; pass < 4; ++pass) {
        if ((ca | cb) == 0)
            return true;
        if (ca & cb)
            return false;
        const bool moveA = ca != 0;
        const int code = moveA ? ca : cb;
        double& px = moveA ? ax : bx;
        double& py = moveA ? ay : by;
        const double qx = moveA ? bx : ax;
        const double qy = moveA ? by : ay;
        if (code & 1 || code & 2) {
            if (qx == px)
                return false;  // parallel to the boundary
            const double edge = (code & 1) ? x0 : x1;
            py = py + (qy - py) * (edge - px) / (qx - px);
            px = edge;
        } else {
            if (qy == py)
                return false;
            const double edge = (code & 4) ? y0 : y1;
            px = px + (qx - px) * (edge - py) / (qy - py);
            py = edge;
        }
        (moveA ? ca : cb) = OutCode(px, py, x0, x1, y0, y1);
    }
    return (ca | cb) == 0;
}

void FGraph::Correct2DNumeralByPixSize(double& min, double& max, int pixelCount)
{
    if (max - min == 0)
        throw LwError("FGraph::Correct2DNumeralByPixSize()::ERROR: width is zero");
    if (pixelCount <= 0)
        throw LwError("FGraph::Correct2DNumeralByPixSize()::ERROR: SizeOfMatrix iz zero");
    // One pixel spans the whole given range.
    const double half = (pixelCount == 1) ? (max - min) / 2 : (max - min) / (2.0 * (pixelCount - 1));
    min -= half;
    max += half;
}

double LwFGraphImpl::PixelX(double x) const
{
    const LwFGraphRange& r = Layout.Ranges[0];
    const int left = Trunc(Layout.LeftMargin);
    const double right = Canvas.Width - Trunc(Layout.RightMargin);
    return left + (x - r.Min) / (r.Max - r.Min) * (right - left);
}

double LwFGraphImpl::PixelY(double y) const
{
    const LwFGraphRange& r = Layout.Ranges[1];
    const int bottom = Trunc(Layout.BottomMargin);
    const double top = Canvas.Height - Trunc(Layout.TopMargin);
    const double up = bottom + (y - r.Min) / (r.Max - r.Min) * (top - bottom);
    return Canvas.Height - 1 - up;
}

void FlushScenePolish(QGraphicsScene* scene)
{
    QCoreApplication::sendPostedEvents(scene, QEvent::MetaCall);
}

void LwFGraphImpl::ClearScene()
{
    // Clearing n items that are still queued for polish costs n^2 (seconds
    // for a 100,000-point curve redrawn twice in a row, as a zoom does).
    FlushScenePolish(scene_);
    scene_->clear();  // deletes every item, the band among them
    Canvas.BandItem = nullptr;
    Canvas.BandShown = false;
    const QRectF rect(0, 0, Canvas.Width, Canvas.Height);
    scene_->setSceneRect(rect);
    scene_->addRect(rect, Qt::NoPen, QBrush(Qt::white));
}

void LwFGraphImpl::Redraw()
{
    if (!view_ || !scene_)
        return;
    if (view_->scene() != scene_)
        view_->setScene(scene_);
    ClearScene();
    if (HasImage())
        DrawImageMode();
    else
        DrawCurveMode();
}

void LwFGraphImpl::DrawCurveMode()
{
    LwFGraphAxis& ax = ItemSet.Gradation.Axes[0];
    LwFGraphAxis& ay = ItemSet.Gradation.Axes[1];
    LwFGraphRange& rx = Layout.Ranges[0];
    LwFGraphRange& ry = Layout.Ranges[1];

    Extent ex, ey;
    if (ax.Automatic || ay.Automatic) {
        for (const auto& entry : ItemSet.Items) {
            const LwFloatMatrix& m = entry.second.Data;
            if (m.ColSize < 2)
                continue;
            for (int r = 0; r < m.RowSize; ++r) {
                ex.Add(m(m.ColBegin, m.RowBegin + r));
                ey.Add(m(m.ColBegin + 1, m.RowBegin + r));
            }
        }
    }
    // An automatic axis: the data span widened on each side. A constant
    // shows as [c, c], which the empty-range rule below opens around c.
    const auto autoRange = [](LwFGraphRange& range, LwFGraphAxis& axis, const Extent& e, double widen) {
        if (!e.Any()) {
            range.Min = range.Max = 0;
        } else {
            const double span = e.Max - e.Min;
            range.Min = e.Min - widen * span;
            range.Max = e.Max + widen * span;
        }
        axis.Min = range.Min;
        axis.Max = range.Max;
    };
    if (ax.Automatic)
        autoRange(rx, ax, ex, Layout.WidenX);
    else {
        rx.Min = ax.Min;
        rx.Max = ax.Max;
    }
    if (ay.Automatic)
        autoRange(ry, ay, ey, Layout.WidenY);
    else {
        ry.Min = ay.Min;
        ry.Max = ay.Max;
    }

    for (LwFGraphRange& r : Layout.Ranges) {
        OpenEmptyRange(r.Min, r.Max);
        SetTickSteps(r);
    }
    Canvas.BandShown = false;
    DrawCurves();
    DrawFrame();
    DrawAxes();
    DrawBand();
}

void LwFGraphImpl::DrawImageMode()
{
    const LwFGraphItem& image = *ItemSet.Image();
    const LwFloatMatrix& m = image.Data;
    LwGradation& grad = ItemSet.Gradation;
    LwFGraphAxis& ax = grad.Axes[0];
    LwFGraphAxis& ay = grad.Axes[1];
    LwFGraphAxis& ac = grad.Axes[2];

    // Axis ranges: pixel indices, widened to the outer pixel edges.
    if (ax.Automatic) {
        ax.Min = m.ColBegin;
        ax.Max = m.ColBegin + m.ColSize - 1;
    }
    if (ay.Automatic) {
        ay.Min = m.RowBegin;
        ay.Max = m.RowBegin + m.RowSize - 1;
    }
    LwFGraphRange& rx = Layout.Ranges[0];
    LwFGraphRange& ry = Layout.Ranges[1];
    double x0 = ax.Min, x1 = ax.Max, y0 = ay.Min, y1 = ay.Max;
    FGraph::Correct2DNumeralByPixSize(x0, x1, m.ColSize);
    FGraph::Correct2DNumeralByPixSize(y0, y1, m.RowSize);
    rx.Min = x0;
    rx.Max = x1;
    ry.Min = y0;
    ry.Max = y1;

    // The plot width follows the image's aspect ratio.
    const int left = Trunc(Layout.LeftMargin);
    const int plotHeight = Trunc(Canvas.Height) - Trunc(Layout.BottomMargin) - Trunc(Layout.TopMargin);
    const int imageWidth =
        static_cast<int>(std::floor(static_cast<double>(plotHeight) * m.ColSize / m.RowSize));
    Layout.RightMargin = Canvas.Width - imageWidth - left;

    // Colour range: non-zero finite pixels; NaN and infinities stay out so a
    // single bad pixel cannot swallow the range.
    if (ac.Automatic) {
        Extent e;
        const float* data = m.Buffer();
        const std::int64_t n = static_cast<std::int64_t>(m.ColSize) * m.RowSize;
        for (std::int64_t i = 0; i < n; ++i)
            if (data[i] != 0)
                e.Add(data[i]);
        ac.Min = e.Any() ? e.Min : 0;
        ac.Max = e.Any() ? e.Max : 0;
    }
    if (ac.Min == ac.Max) {
        ac.Min -= 0.5;
        ac.Max += 0.5;
    }
    if (ac.Symmetric) {
        const double a = std::max(std::fabs(ac.Min), std::fabs(ac.Max));
        ac.Min = -a;
        ac.Max = a;
    }

    ClearScene();
    for (LwFGraphRange& r : Layout.Ranges)
        SetTickSteps(r);
    if (grad.ContourStep <= 0)
        DrawImage(image);
    else
        DrawContours(image);
    DrawCurves();
    DrawFrame();
    DrawAxes();
}

void LwFGraphImpl::DrawImage(const LwFGraphItem& image)
{
    const LwFloatMatrix& m = image.Data;
    LwGradation& grad = ItemSet.Gradation;
    const LwFGraphAxis& ac = grad.Axes[2];
    grad.SetRange(static_cast<float>(ac.Min), static_cast<float>(ac.Max));

    const int top = Trunc(Layout.TopMargin);
    const int base = Trunc(Canvas.Height) - Trunc(Layout.BottomMargin);
    const double s = static_cast<double>(base - top) / m.RowSize;
    const int width = std::max(0, static_cast<int>(std::floor(m.ColSize * s)));
    const int height = std::max(0, static_cast<int>(std::floor(m.RowSize * s)));
    if (width == 0 || height == 0)
        return;

    // Nearest source pixel of each output pixel, sampled at the output
    // pixel's centre, so that source pixel c covers the output span of its
    // axis interval [c - 0.5, c + 0.5].
    std::vector<int> srcCol(width), srcRow(height);
    for (int x = 0; x < width; ++x)
        srcCol[x] = std::min(m.ColSize - 1, static_cast<int>(std::floor((x + 0.5) / width * m.ColSize)));
    for (int y = 0; y < height; ++y)
        srcRow[y] = std::min(m.RowSize - 1, static_cast<int>(std::floor((y + 0.5) / height * m.RowSize)));

    QImage pixels(width, height, QImage::Format_RGB32);
    const float* data = m.Buffer();
    for (int y = 0; y < height; ++y) {
        // The first image row is at the bottom.
        auto* line = reinterpret_cast<QRgb*>(pixels.scanLine(height - 1 - y));
        const float* row = data + static_cast<std::int64_t>(srcRow[y]) * m.ColSize;
        for (int x = 0; x < width; ++x) {
            const float v = row[srcCol[x]];
            const LwFGraphColor c = (v > grad.LowerDisplayLimit && v < grad.UpperDisplayLimit)
                                        ? grad.GetColor(v)
                                        : LwGradation::kNotShown;
            line[x] = qRgb(c.Red, c.Green, c.Blue);
        }
    }
    QGraphicsPixmapItem* item = scene_->addPixmap(QPixmap::fromImage(pixels));
    item->setPos(Trunc(Layout.LeftMargin) - 0.5, top - 0.5);
}

void LwFGraphImpl::DrawContours(const LwFGraphItem& image)
{
    const LwFloatMatrix& m = image.Data;
    const LwGradation& grad = ItemSet.Gradation;
    const int top = Trunc(Layout.TopMargin);
    const int base = Trunc(Canvas.Height) - Trunc(Layout.BottomMargin);
    const double s = static_cast<double>(base - top) / m.RowSize;

    const double cmin = grad.Axes[2].Min;
    const double cmax = grad.Axes[2].Max;
    const double step = grad.ContourStep;
    QPen pen(Qt::black, 0.1, Qt::SolidLine, Qt::RoundCap);
    Canvas.Pen = pen;
    double level = std::floor(cmin / step) * step;
    for (int count = 0; level < cmax && count < kMaxContourLevels; ++count) {
        qDebug() << level;
        DrawContourLevel(m, level, s, base);
        const double next = level + step;
        if (!(next > level))
            break;  // the step is lost against the level
        level = next;
    }
    for (std::size_t i = 0; i < grad.ContourLevels.size(); ++i) {
        const LwFGraphColor c = i < grad.ContourColors.size() ? grad.ContourColors[i] : LwFGraphColor{};
        Canvas.Pen = QPen(ToQColor(c), 0.1, Qt::SolidLine, Qt::RoundCap);
        qDebug() << grad.ContourLevels[i];
        DrawContourLevel(m, grad.ContourLevels[i], s, base);
    }
}

void LwFGraphImpl::DrawContourLevel(const LwFloatMatrix& m, double level, double s, double base)
{
    const double left = Trunc(Layout.LeftMargin);
    // Cell corners lie on the pixel centres of the image drawing.
    const auto px = [&](double c) { return left + (c + 0.5) * s; };
    const auto py = [&](double r) { return base - (r + 0.5) * s; };
    const float* d = m.Buffer();
    for (int r = 0; r + 1 < m.RowSize; ++r) {
        for (int c = 0; c + 1 < m.ColSize; ++c) {
            const double v00 = d[c + r * m.ColSize], v10 = d[c + 1 + r * m.ColSize];
            const double v01 = d[c + (r + 1) * m.ColSize], v11 = d[c + 1 + (r + 1) * m.ColSize];
            if (v00 > level && v10 > level && v01 > level && v11 > level)
                continue;
            if (v00 < level && v10 < level && v01 < level && v11 < level)
                continue;
            // Edges: bottom, left, top, right, as (corner a, corner b).
            const double ends[4][6] = {{double(c), double(r), v00, double(c + 1), double(r), v10},
                                       {double(c), double(r), v00, double(c), double(r + 1), v01},
                                       {double(c), double(r + 1), v01, double(c + 1), double(r + 1), v11},
                                       {double(c + 1), double(r), v10, double(c + 1), double(r + 1), v11}};
            QPointF cross[4];
            int n = 0;
            for (const auto& e : ends) {
                const double va = e[2], vb = e[5];
                if (va == vb || !(std::min(va, vb) <= level && level <= std::max(va, vb)))
                    continue;
                const double f = (level - va) / (vb - va);
                cross[n++] = QPointF(px(e[0] + (e[3] - e[0]) * f), py(e[1] + (e[4] - e[1]) * f));
            }
            for (int i = 0; i < n; ++i)
                for (int j = i + 1; j < n; ++j)
                    scene_->addLine(QLineF(cross[i], cross[j]), Canvas.Pen);
        }
    }
}

void LwFGraphImpl::DrawCurves()
{
    const LwFGraphRange& rx = Layout.Ranges[0];
    const LwFGraphRange& ry = Layout.Ranges[1];
    const double xlo = std::min(rx.Min, rx.Max), xhi = std::max(rx.Min, rx.Max);
    const double ylo = std::min(ry.Min, ry.Max), yhi = std::max(ry.Min, ry.Max);
    for (const auto& entry : ItemSet.Items) {
        const LwFGraphItem& item = entry.second;
        if (item.Kind != kFGraphCurve || item.Data.ColSize < 2)
            continue;
        const LwFloatMatrix& m = item.Data;
        const QColor color = ToQColor(item.Style.Color);
        Canvas.Pen = QPen(color);
        Canvas.Brush = Qt::NoBrush;
        const auto pointX = [&](int r) { return static_cast<double>(m(m.ColBegin, m.RowBegin + r)); };
        const auto pointY = [&](int r) { return static_cast<double>(m(m.ColBegin + 1, m.RowBegin + r)); };
        if (item.Style.Line == 1) {
            for (int r = 1; r < m.RowSize; ++r) {
                double ax = pointX(r - 1), ay = pointY(r - 1), bx = pointX(r), by = pointY(r);
                if (!ClipSegment(ax, ay, bx, by, xlo, xhi, ylo, yhi))
                    continue;
                scene_->addLine(PixelX(ax), PixelY(ay), PixelX(bx), PixelY(by), Canvas.Pen);
            }
        }
        const int marker = item.Style.Marker;
        if (marker != 0) {
            if (marker == 2)
                Canvas.Brush = QBrush(color);
            const double d = item.Style.MarkerDiameter;
            for (int r = 0; r < m.RowSize && (marker == 1 || marker == 2); ++r) {
                const double x = pointX(r), y = pointY(r);
                if (!(x >= xlo && x <= xhi && y >= ylo && y <= yhi))
                    continue;
                scene_->addEllipse(PixelX(x) - d / 2, PixelY(y) - d / 2, d, d, Canvas.Pen, Canvas.Brush);
            }
            Canvas.Brush = Qt::NoBrush;
        }
    }
}

void LwFGraphImpl::DrawFrame()
{
    const int left = Trunc(Layout.LeftMargin);
    const double right = Canvas.Width - Trunc(Layout.RightMargin);
    const int top = Trunc(Layout.TopMargin);
    const double bottom = Canvas.Height - 1 - Trunc(Layout.BottomMargin);
    Canvas.Pen = QPen(Qt::black);
    scene_->addRect(QRectF(QPointF(left, top - 1), QPointF(right, bottom)), Canvas.Pen, Qt::NoBrush);
}

void LwFGraphImpl::DrawAxes()
{
    const LwFGraphAxis& ax = ItemSet.Gradation.Axes[0];
    const LwFGraphAxis& ay = ItemSet.Gradation.Axes[1];
    const LwFGraphRange& rx = Layout.Ranges[0];
    const LwFGraphRange& ry = Layout.Ranges[1];
    const int dir = Layout.TickDirection;
    const double major = Layout.MajorTickLength;
    const double minor = Layout.MinorTickLength;
    const double W = Canvas.Width, H = Canvas.Height;
    const int left = Trunc(Layout.LeftMargin);
    const double right = W - Trunc(Layout.RightMargin);
    const int bottom = Trunc(Layout.BottomMargin);
    const double topUp = H - Trunc(Layout.TopMargin);
    const auto sceneY = [H](double up) { return H - 1 - up; };
    const QPen black(Qt::black);

    // A text item's box carries a margin of 4 pixels; the (-4, -3) shift
    // puts the visible text where the layout wants it.
    const auto addText = [&](const QString& text, double boxLeft, double boxTop) {
        QGraphicsTextItem* item = scene_->addText(text, Canvas.Font);
        item->setPos(boxLeft - 4, boxTop - 3);
        return item;
    };

    // Horizontal axis.
    const double xlo = std::min(rx.Min, rx.Max), xhi = std::max(rx.Min, rx.Max);
    const auto hTicks = [&](double step, double len) {
        for (double t : TickValues(xlo, xhi, step)) {
            const double x = PixelX(t);
            scene_->addLine(x, sceneY(bottom), x, sceneY(bottom + dir * len), black);
            scene_->addLine(x, sceneY(topUp), x, sceneY(topUp - dir * len), black);
        }
    };
    if (ax.Ticks) {
        hTicks(rx.MinorStep, minor);
        Canvas.Font = QFont("Times New Roman");
        Canvas.Font.setPixelSize(std::max(1, static_cast<int>(ax.FontSize)));
        hTicks(rx.MajorStep, major);
    }
    const QFontMetricsF fm(Canvas.Font);
    const double textHeight = fm.height() + fm.descent();
    if (ax.Labels) {
        const double labelTopUp = dir == -1 ? bottom - major : bottom;
        for (double t : TickValues(xlo, xhi, rx.MajorStep)) {
            const QString text = TickLabel(t, xlo, xhi);
            addText(text, PixelX(t) - fm.horizontalAdvance(text) / 2, sceneY(labelTopUp));
        }
    }
    if (ax.Ticks && !ax.Title.empty()) {
        const QString title = QString::fromStdString(ax.Title);
        addText(title, (left + right) / 2 - fm.horizontalAdvance(title) / 2, H - textHeight);
    }

    // Vertical axis.
    const double ylo = std::min(ry.Min, ry.Max), yhi = std::max(ry.Min, ry.Max);
    const auto vTicks = [&](double step, double len) {
        for (double t : TickValues(ylo, yhi, step)) {
            const double y = PixelY(t);
            scene_->addLine(left, y, left + dir * len, y, black);
            scene_->addLine(right, y, right - dir * len, y, black);
        }
    };
    if (ay.Ticks) {
        vTicks(ry.MinorStep, minor);
        vTicks(ry.MajorStep, major);
    }
    if (ay.Labels) {
        const double rightEnd = left + std::min(0.0, dir * major) - 1;
        for (double t : TickValues(ylo, yhi, ry.MajorStep)) {
            const QString text = TickLabel(t, ylo, yhi);
            addText(text, rightEnd - fm.horizontalAdvance(text), PixelY(t) - textHeight / 2);
        }
    }
    if (ay.Ticks && !ay.Title.empty()) {
        const QString title = QString::fromStdString(ay.Title);
        const double middle = sceneY((bottom + topUp) / 2);
        QGraphicsTextItem* item = scene_->addText(title, Canvas.Font);
        item->setRotation(-90);
        // Reading upward, the text's width runs up from the item's origin.
        item->setPos(-3, middle + fm.horizontalAdvance(title) / 2 + 4);
    }
}
