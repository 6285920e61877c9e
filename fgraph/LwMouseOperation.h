#pragma once
// The rubber-band zoom of the graph widget: a drag from press to release
// selects a rectangle in scene pixels, which becomes the new displayed ranges.

#include <QSize>
#include <QTransform>

#include <cstdint>

struct LwFGraphLayout;
struct LwFGraphItemSet;

class LwMouseOperation
{
public:
    // Starts a drag at (x, y).
    virtual void Press(int x, int y);
    // Moves the drag's end to (x, y).
    virtual void Move(int x, int y);
    // Ends the drag at (x, y) and zooms: the dragged rectangle, read against
    // the displayed ranges over the plot rectangle of a view of `viewSize`
    // device pixels shown through `viewMatrix`, becomes the displayed ranges
    // and the range of the horizontal and vertical axis records, whose
    // automatic flags are cleared. Returns whether it zoomed. A release
    // without a drag in progress (no press, or the second release of a double
    // click), a drag without extent in x or y, and a plot rectangle without
    // extent change nothing.
    virtual bool Release(int x, int y, const QSize& viewSize, LwFGraphLayout& layout, LwFGraphItemSet& items,
                         const QTransform& viewMatrix);

    std::int32_t Active = 0;
    std::int32_t StartX = 0;
    std::int32_t StartY = 0;
    std::int32_t EndX = 0;
    std::int32_t EndY = 0;
};
