#pragma once
// Colour gradation of the graph's image: a colour table built from one of
// twenty numbered palettes, blended linearly between neighbouring entries.
// The object also carries what the image drawing reads besides the colours:
// display limits, contour settings and the four axis records.

#include "fgraph/LwFGraphTypes.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

class LwGradation
{
public:
    // The colour of values that are not shown (out of range, NaN, no range).
    static constexpr LwFGraphColor kNotShown{255, 0, 0};

    // Fills the table for the current palette number; any number outside
    // 1..20 gives the black-to-white table. Palette positions that coincide
    // throw "Error:inColor".
    void Init();

    // The colour of `value`: (255, 0, 0) while no range is set (InverseSpan
    // 0), above ClampLimit, or for NaN. Otherwise t = (value - Min) *
    // InverseSpan (1 - t when Reversed) picks a blend of the table; values
    // past either end give the end colours. An empty table throws
    // "LwGradation::Init() is not called".
    LwFGraphColor GetColor(double value) const;

    // Sets Min, Max and InverseSpan = 1 / (max - min), or 1 for equal ends.
    void SetRange(float min, float max);

    float Min = 0;
    float Max = 1;
    float ClampLimit = std::numeric_limits<float>::max();
    float InverseSpan = 0;  // 0: no range set
    std::int32_t Palette = 0;
    bool Reversed = false;
    std::vector<LwFGraphColor> Table;
    std::int32_t Steps = 10000;  // resolution of a gradient palette
    // Image pixels are drawn only strictly between these limits.
    float UpperDisplayLimit = std::numeric_limits<float>::max();
    float LowerDisplayLimit = -std::numeric_limits<float>::max();
    std::string Name;
    // Distance of the grey contour levels; 0 or less draws pixels.
    float ContourStep = 0;
    std::vector<float> ContourLevels;  // extra levels
    std::vector<LwFGraphColor> ContourColors;  // colour of the level of the same index
    // Horizontal, vertical, colour value and a spare record.
    std::vector<LwFGraphAxis> Axes = std::vector<LwFGraphAxis>(4);

private:
    void BuildGradient(const std::vector<LwFGraphColor>& controls);
};

// Relative luminance of a colour on 0..1, the position of a gradient's
// control colour.
float GradationLuminance(const LwFGraphColor& c);
