#include "fgraph/LwFGraphTicks.h"

#include <cmath>
#include <locale>
#include <sstream>

void OpenEmptyRange(double& min, double& max)
{
    if (!std::isfinite(min) || !std::isfinite(max)) {
        min = -0.5;
        max = 0.5;
        return;
    }
    if (min != max)
        return;
    const double c = min;
    double half = 0.5;
    if (c - half == c + half)
        half = std::fabs(c) / 2;
    min = c - half;
    max = c + half;
}

void SetTickSteps(LwFGraphRange& range)
{
    OpenEmptyRange(range.Min, range.Max);
    const double r = range.Min - range.Max;
    const double p = std::pow(10.0, std::floor(std::log10(std::fabs(r))));
    const double m = std::fabs(r) / p;
    if (m < 1.2) {
        range.MinorStep = 0.1 * p;
        range.MajorStep = 0.2 * p;
    } else if (m < 2.5) {
        range.MinorStep = 0.1 * p;
        range.MajorStep = 0.5 * p;
    } else if (m < 9.0) {
        range.MinorStep = 0.2 * p;
        range.MajorStep = 1.0 * p;
    } else {
        range.MinorStep = 0.5 * p;
        range.MajorStep = 2.0 * p;
    }
}

std::vector<double> TickValues(double lo, double hi, double step)
{
    std::vector<double> ticks;
    if (!(step > 0) || !std::isfinite(step) || !std::isfinite(lo) || !std::isfinite(hi))
        return ticks;
    double t = std::floor(lo / step) * step;
    if (t < lo)
        t += step;
    while (t < hi && static_cast<int>(ticks.size()) < kMaxTicks) {
        ticks.push_back(t);
        const double next = t + step;
        if (!(next > t))
            break;
        t = next;
    }
    return ticks;
}

QString TickLabel(double t, double lo, double hi)
{
    if (std::fabs(t) < 0.0001 * std::fabs(hi - lo))
        return QStringLiteral("0");
    std::ostringstream s;
    s.imbue(std::locale::classic());
    s << t;
    return QString::fromStdString(s.str());
}
