#include "fgraph/LwGradation.h"

#include "core/LwError.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace {

using Colors = std::vector<LwFGraphColor>;

// Truncates toward zero and clamps to a channel value. Clamping happens in
// floating point first, so NaN and huge blends never reach the int conversion.
std::int32_t Channel(double v)
{
    if (!(v > 0))
        return 0;
    if (v >= 255)
        return 255;
    return static_cast<std::int32_t>(v);
}

LwFGraphColor Blend(const LwFGraphColor& a, const LwFGraphColor& b, double f)
{
    return {Channel(a.Red * (1 - f) + b.Red * f), Channel(a.Green * (1 - f) + b.Green * f),
            Channel(a.Blue * (1 - f) + b.Blue * f)};
}

Colors PaletteTwenty()
{
    Colors t{{0, 0, 0}};
    const Colors bands{{0, 128, 0}, {128, 0, 128}, {0, 128, 128}, {128, 128, 0}, {160, 160, 160},
                       {0, 0, 255}, {255, 0, 255}, {0, 255, 0},   {0, 255, 255}, {255, 255, 0}};
    for (const LwFGraphColor& c : bands)
        t.insert(t.end(), 10, c);
    t.push_back({255, 255, 255});
    return t;
}

}  // namespace

float GradationLuminance(const LwFGraphColor& c)
{
    return 0.222015f * c.Red / 255.0f + 0.706655f * c.Green / 255.0f + 0.07133f * c.Blue / 255.0f;
}

void LwGradation::Init()
{
    Table.clear();
    switch (Palette) {
    case 1: Table = {{255, 255, 0}, {255, 0, 0}, {0, 0, 0}}; break;
    case 2: BuildGradient({{0, 255, 0}, {255, 255, 0}}); break;
    case 3: BuildGradient({{0, 0, 255}, {0, 255, 255}}); break;
    case 4: BuildGradient({{0, 255, 0}, {0, 255, 255}}); break;
    case 5: BuildGradient({{255, 0, 0}, {255, 0, 255}}); break;
    case 6: BuildGradient({{0, 0, 255}, {255, 0, 255}}); break;
    case 7: BuildGradient({{255, 0, 0}}); break;
    case 8: BuildGradient({{0, 0, 255}}); break;
    case 9: BuildGradient({{0, 255, 0}}); break;
    case 10: BuildGradient({{0, 255, 255}}); break;
    case 11: BuildGradient({{255, 0, 255}}); break;
    case 12: BuildGradient({{255, 255, 0}}); break;
    case 13: Table = {{0, 0, 255}, {0, 255, 255}, {0, 255, 0}, {255, 255, 0}, {255, 0, 0}}; break;
    case 14: Table = {{0, 0, 128}, {0, 0, 255}, {255, 255, 255}, {255, 0, 0}, {128, 0, 0}}; break;
    case 15: Table = {{128, 128, 255}, {0, 0, 255}, {0, 0, 0}, {255, 0, 0}, {255, 128, 128}}; break;
    case 16: Table = {{0, 0, 255}, {255, 0, 0}, {0, 255, 0}}; break;
    case 17: Table = {{0, 0, 0}, {255, 0, 0}}; break;
    case 18: Table = {{0, 0, 0}, {255, 200, 200}}; break;
    case 19: BuildGradient({{255, 0, 0}, {255, 255, 0}}); break;
    case 20: Table = PaletteTwenty(); break;
    default: Table = {{0, 0, 0}, {255, 255, 255}}; break;
    }
}

void LwGradation::BuildGradient(const Colors& controls)
{
    // Control points by position: black at 0, white at 1, every colour at its
    // luminance, so the gradient rises in brightness from black to white.
    std::map<float, LwFGraphColor> points;
    points.emplace(0.0f, LwFGraphColor{0, 0, 0});
    points.emplace(1.0f, LwFGraphColor{255, 255, 255});
    for (const LwFGraphColor& c : controls)
        if (!points.emplace(GradationLuminance(c), c).second)
            throw LwError("Error:inColor");

    Table.push_back({0, 0, 0});
    // t accumulates dt (rather than k * dt), so with 10000 steps its last
    // value lies just below 1 and the loop yields exactly `Steps` colours. The
    // count bound keeps the loop finite for any step count.
    if (Steps > 0) {
        const double dt = 1.0 / Steps;
        std::int64_t count = 0;
        for (double t = dt; t < 1 && count <= Steps; t += dt, ++count) {
            auto upper = points.lower_bound(static_cast<float>(t));
            if (upper == points.end())
                upper = std::prev(points.end());
            if (upper == points.begin())
                upper = std::next(points.begin());
            const auto lower = std::prev(upper);
            const double f = (t - lower->first) / (upper->first - lower->first);
            Table.push_back(Blend(lower->second, upper->second, f));
        }
    }
    Table.push_back({255, 255, 255});
}

void LwGradation::SetRange(float min, float max)
{
    Min = min;
    Max = max;
    InverseSpan = (max == min) ? 1.0f : 1.0f / (max - min);
}

LwFGraphColor LwGradation::GetColor(double value) const
{
    if (InverseSpan == 0 || value > ClampLimit || std::isnan(value))
        return kNotShown;
    double t = (value - Min) * static_cast<double>(InverseSpan);
    if (Reversed)
        t = 1 - t;
    if (Table.empty())
        throw LwError("LwGradation::Init() is not called");
    const int n = static_cast<int>(Table.size()) - 1;
    const double x = n * t;
    if (std::isnan(x))
        return kNotShown;  // an infinite value against an infinite span
    // Past the ends: the end entries. Between -1 and 0 the index truncates to
    // 0 and the blend extrapolates below the first entry, clamped per channel.
    if (x >= n)
        return Table[n];
    if (x <= -1)
        return Table[0];
    const int i = static_cast<int>(x);
    if (i >= n)
        return Table[n];
    return Blend(Table[i], Table[i + 1], x - i);
}
