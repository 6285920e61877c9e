#pragma once
// Plain records of the graph widget: colours, axis ranges and axis records,
// item styles and items, and the layout of the plot rectangle.
//
// Coordinates are scene pixels: pixels at 96 dots per inch whatever the
// screen's resolution, x to the right and y downward.

#include "core/LwMatrix.h"

#include <cstdint>
#include <string>
#include <vector>

// One colour, each channel 0 to 255.
struct LwFGraphColor
{
    std::int32_t Red = 0;
    std::int32_t Green = 0;
    std::int32_t Blue = 0;

    friend bool operator==(const LwFGraphColor& a, const LwFGraphColor& b)
    {
        return a.Red == b.Red && a.Green == b.Green && a.Blue == b.Blue;
    }
    friend bool operator!=(const LwFGraphColor& a, const LwFGraphColor& b) { return !(a == b); }
};

// One displayed axis range. Min may lie above Max (a reversed axis).
struct LwFGraphRange
{
    double Min = 0;
    double Max = 0;
    double Unused = 0;
    double MajorStep = 0;
    double MinorStep = 0;
};

// One axis record: horizontal, vertical, colour value and a spare one.
struct LwFGraphAxis
{
    std::string Title;
    bool Labels = true;  // number labels at the major ticks
    bool Ticks = true;  // ticks (and the title)
    double Min = -0.5;  // range while Automatic is off
    double Max = 0.5;
    bool Automatic = true;  // the range follows the data on every redraw
    bool Symmetric = false;  // colour axis: automatic range symmetric about 0
    float FontSize = 9;  // pixel size of the label font
};

// Drawing style of one item.
struct LwFGraphStyle
{
    LwFGraphColor Color{255, 0, 0};
    std::int32_t Line = 1;  // 1: consecutive points are joined
    std::int32_t Marker = 0;  // 0 none, 1 circle outline, 2 filled circle
    float MarkerDiameter = 4;  // scene pixels
    std::string Name;
};

// Kinds of item.
constexpr std::int32_t kFGraphCurve = 0;
constexpr std::int32_t kFGraphImage = 1;
// The key of the one image item; its presence switches the graph into image
// mode and the mouse zoom off.
constexpr float kFGraphImageKey = -9999999.0f;

// One item: a curve (2 columns x, y; one row per point) or the image (one
// value per pixel, columns along the horizontal axis, rows upward).
struct LwFGraphItem
{
    LwFloatMatrix Data;
    std::int32_t Kind = kFGraphCurve;
    float Key = 0;
    LwFGraphStyle Style;
};

// Default colour of the n-th item created over the life of a graph (n >= 0).
LwFGraphColor DefaultItemColor(std::int32_t n);

// Plot rectangle and tick geometry.
struct LwFGraphLayout
{
    // [0] horizontal, [1] vertical displayed range.
    std::vector<LwFGraphRange> Ranges = std::vector<LwFGraphRange>(2);
    float LeftMargin = 60;
    float RightMargin = 10;
    float TopMargin = 10;
    float BottomMargin = 20;
    float MajorTickLength = 5;
    float MinorTickLength = 3;
    // -1: ticks point out of the frame (and the horizontal labels move down by
    // the major tick length); 1: into the plot.
    std::int32_t TickDirection = -1;
    // Fraction of the data span added on each side of an automatic curve range.
    double WidenX = 0.05;
    double WidenY = 0.05;
};

// Form of one CSV text of the graph's export.
struct LwFGraphCsvFormat
{
    std::vector<std::string> Header;  // lines written before the values
    std::string Separator = ",";
    std::string LineEnd = "\n";
};
