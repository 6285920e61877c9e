#pragma once
// Pure helpers of the graph drawing: tick steps and positions, tick label
// texts, empty-range opening and segment clipping. None touches the scene.

#include "fgraph/LwFGraphTypes.h"

#include <QString>

#include <vector>

// Most ticks of one step on one axis. The step rules give at most about 25;
// the bound only matters for ranges whose step is lost in rounding.
constexpr int kMaxTicks = 1000;

// A range with equal ends becomes [c - 0.5, c + 0.5]; where 0.5 vanishes
// against c, it opens by half of |c| instead, and a range that is not finite
// becomes [-0.5, 0.5], so that no drawing divides by a zero width.
void OpenEmptyRange(double& min, double& max);

// Minor and major step of a displayed range from its decade p and mantissa
// m = |max - min| / p: below 1.2: 0.1p, 0.2p; below 2.5: 0.1p, 0.5p; below
// 9: 0.2p, p; else 0.5p, 2p. Opens an empty range first (kept).
void SetTickSteps(LwFGraphRange& range);

// Tick positions floor(lo/step)*step, advanced once when below lo, then by
// accumulated steps while below hi. Empty for a step that is not positive
// and finite; at most kMaxTicks, and it ends where adding the step no longer
// changes the value.
std::vector<double> TickValues(double lo, double hi, double step);

// The label of tick t on [lo, hi]: six significant digits, or "0" when
// |t| < 0.0001 |hi - lo|.
QString TickLabel(double t, double lo, double hi);

// Cohen-Sutherland clipping of the segment a-b to [x0, x1] x [y0, y1]
// (x0 <= x1, y0 <= y1): false when nothing is left, else a and b are moved
// onto the rectangle's edges.
bool ClipSegment(double& ax, double& ay, double& bx, double& by, double x0, double x1, double y0, double y1);
