#include "fgraph/LwMouseOperation.h"

#include "fgraph/LwFGraph.h"

#include <cmath>
#include <utility>

void LwMouseOperation::Press(int x, int y)
{
    StartX = EndX = x;
    StartY = EndY = y;
    Active = 1;
}

void LwMouseOperation::Move(int x, int y)
{
    EndX = x;
    EndY = y;
}

namespace {

// The pair (a, b) ordered like the range [from, to]: ascending for a rising
// range, descending for a falling one, b before a for an empty one.
std::pair<double, double> OrderLike(double a, double b, double from, double to)
{
    if (to > from)
        return {std::min(a, b), std::max(a, b)};
    if (from > to)
        return {std::max(a, b), std::min(a, b)};
    return {b, a};
}

}  // namespace

bool LwMouseOperation::Release(int x, int y, const QSize& viewSize, LwFGraphLayout& layout,
                               LwFGraphItemSet& items, const QTransform& viewMatrix)
{
    EndX = x;
    EndY = y;
    const bool wasActive = Active != 0;
    Active = 0;
    if (!wasActive)
        return false;
    if (StartX == EndX || StartY == EndY)
        return false;

    const double scale = viewMatrix.m11();
    if (!(scale > 0))
        return false;
    const double f = 1.0 / scale;
    const int ws = static_cast<int>(std::floor(viewSize.width() * f));
    const int hs = static_cast<int>(std::floor(viewSize.height() * f));
    const int left = static_cast<int>(layout.LeftMargin);
    const int pw = static_cast<int>(std::floor(ws - layout.RightMargin)) - left;
    const int top = static_cast<int>(layout.TopMargin);
    const int yb = static_cast<int>(std::floor(hs - layout.BottomMargin));
    // A view too small for a plot rectangle has no pixel-to-value scale.
    if (pw <= 0 || yb <= top)
        return false;

    LwFGraphRange& rx = layout.Ranges[0];
    LwFGraphRange& ry = layout.Ranges[1];
    const auto xValue = [&](int px) { return rx.Min + (px - left) * (rx.Max - rx.Min) / pw; };
    const auto yValue = [&](int py) { return ry.Min + (py - yb) * (ry.Max - ry.Min) / (top - yb); };

    const auto nx = OrderLike(xValue(StartX), xValue(EndX), rx.Min, rx.Max);
    const auto ny = OrderLike(yValue(StartY), yValue(EndY), ry.Min, ry.Max);
    rx.Min = nx.first;
    rx.Max = nx.second;
    ry.Min = ny.first;
    ry.Max = ny.second;

    LwFGraphAxis& ax = items.Gradation.Axes[0];
    LwFGraphAxis& ay = items.Gradation.Axes[1];
    ax.Min = rx.Min;
    ax.Max = rx.Max;
    ay.Min = ry.Min;
    ay.Max = ry.Max;
    ax.Automatic = false;
    ay.Automatic = false;
    return true;
}
