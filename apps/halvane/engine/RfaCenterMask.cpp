// Move to centre and the MCP-dip and outside masks on an image held here.
#include "core/LwError.h"
#include "apps/halvane/engine/LwProcessLog.h"
#include "apps/halvane/engine/RfaParameters.h"

#include <cmath>
#include <limits>
#include <sstream>
#include <string>

namespace {

// floor(v + 0.5) of a finite v, clamped to [lo, hi] before the conversion to
// int so that a bound far outside the image never overflows.
int RoundHalfUpClamped(double v, int lo, int hi)
{
    const double r = std::floor(v + 0.5);
    if (r < lo)
        return lo;
    if (r > hi)
        return hi;
    return static_cast<int>(r);
}

// The integer part of a finite shift that fits an int, else `message`.
int TruncatedShift(double v, const char* message)
{
    if (!std::isfinite(v) || std::fabs(v) > std::numeric_limits<int>::max() / 2)
        throw LwError(message);
    return static_cast<int>(std::trunc(v));
}

// The image with its begins set to 0 while it lives: the masks work on the
// pixels' positions from the first pixel.
class AtOrigin
{
public:
    explicit AtOrigin(LwFloatMatrix& m) : m_(m), col_(m.ColBegin), row_(m.RowBegin)
    {
        m_.ColBegin = 0;
        m_.RowBegin = 0;
    }
    ~AtOrigin()
    {
        m_.ColBegin = col_;
        m_.RowBegin = row_;
    }
    AtOrigin(const AtOrigin&) = delete;
    AtOrigin& operator=(const AtOrigin&) = delete;

private:
    LwFloatMatrix& m_;
    int col_;
    int row_;
};

void CheckCentreReach(const std::string& name, double v, int size, const char* side)
{
    const int centre = size / 2;
    if (v >= centre - size && v <= centre + size)
        return;
    std::ostringstream text;
    text << name << " = " << v << " is out of range: it must be from " << centre - size << " to "
         << centre + size << " (the image centre " << centre << " plus or minus the image " << side << ")";
    throw LwError(text.str());
}

}  // namespace

void RfaParameters::CheckCentre(const char* name, double cx, double cy, const LwFloatMatrix& image)
{
    CheckCentreReach(std::string(name) + " Cx", cx, image.ColSize, "width");
    CheckCentreReach(std::string(name) + " Cy", cy, image.RowSize, "height");
}

LwFloatMatrix RfaParameters::ShiftToCenter(const LwFloatMatrix& image) const
{
    const char* const notFinite = "Screen centre is not a finite number";
    const int dx = TruncatedShift(static_cast<double>(image.ColSize / 2) - Sx_, notFinite);
    const int dy = TruncatedShift(static_cast<double>(image.RowSize / 2) - Sy_, notFinite);
    // The shift wraps once: a centre up to one image size from the image
    // centre can be brought there, one farther cannot.
    CheckCentre("Screen", Sx_, Sy_, image);
    LwFloatMatrix result(image.ColSize, image.RowSize);
    result.ColBegin = image.ColBegin;
    result.RowBegin = image.RowBegin;
    const int c0 = image.ColBegin, c1 = image.ColBegin + image.ColSize - 1;
    const int r0 = image.RowBegin, r1 = image.RowBegin + image.RowSize - 1;
    for (int r = r0; r <= r1; ++r) {
        int tr = r + dy;
        if (tr > r1)
            tr -= image.RowSize;
        else if (tr < r0)
            tr += image.RowSize;
        for (int c = c0; c <= c1; ++c) {
            int tc = c + dx;
            if (tc > c1)
                tc -= image.ColSize;
            else if (tc < c0)
                tc += image.ColSize;
            result(tc, tr) = image(c, r);
        }
    }
    return result.Release(true);
}

void RfaParameters::ApplyDipMask(LwFloatMatrix& m) const
{
    const float cx = static_cast<float>(McpDipCx_);
    const float cy = static_cast<float>(McpDipCy_);
    const float r = static_cast<float>(2 * McpDipR_ + 1) * 0.5f;
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r))
        throw LwError("MCP dip circle is not a finite number");
    if (m.ElementCount() == 0)
        return;
    if (r > 0)
        CheckCentre("MCP dip", McpDipCx_, McpDipCy_, m);
    const AtOrigin origin(m);
    const int colLast = m.ColBegin + m.ColSize - 1;
    const int rowLast = m.RowBegin + m.RowSize - 1;
    const int x0 = RoundHalfUpClamped(cx - r, m.ColBegin, colLast);
    const int x1 = RoundHalfUpClamped(cx + r, m.ColBegin, colLast);
    const int y0 = RoundHalfUpClamped(cy - r, m.RowBegin, rowLast);
    const int y1 = RoundHalfUpClamped(cy + r, m.RowBegin, rowLast);
    for (int y = y0; y <= y1; ++y) {
        const float ey = (static_cast<float>(y) - cy) / r;
        for (int x = x0; x <= x1; ++x) {
            const float ex = (static_cast<float>(x) - cx) / r;
            if (ex * ex + ey * ey <= 1.0f)
                m(x, y) = 0;
        }
    }
}

void RfaParameters::ApplyOutsideMask(LwFloatMatrix& m) const
{
    const double rx = static_cast<double>(static_cast<float>(2 * MaskRx_ + 1)) * 0.5;
    const double ry = static_cast<double>(static_cast<float>(2 * MaskRy_ + 1)) * 0.5;
    if (!(rx > 0) || !(ry > 0))
        return;
    CheckCentre("Mask", MaskCx_, MaskCy_, m);
    const AtOrigin origin(m);
    const float cx = static_cast<float>(MaskCx_);
    const float cy = static_cast<float>(MaskCy_);
    const double rx2 = rx * rx;
    const double ry2 = ry * ry;
    for (int y = m.RowBegin; y < m.RowBegin + m.RowSize; ++y) {
        const double ey = static_cast<double>(static_cast<float>(y) - cy);
        float* row = &m(m.ColBegin, y);
        for (int x = m.ColBegin; x < m.ColBegin + m.ColSize; ++x) {
            const double ex = static_cast<double>(static_cast<float>(x) - cx);
            if (ex * ex / rx2 + ey * ey / ry2 > 1)
                row[x - m.ColBegin] = 0;
        }
    }
}

void RfaParameters::LogMoveToCenter(LwProcessLog& log) const
{
    log.LogOpenFunction("MoveToCenter");
    log.LogAddDouble("Sx", Sx_);
    log.LogAddDouble("Sy", Sy_);
}

void RfaParameters::LogMaskMcpDip(LwProcessLog& log) const
{
    log.LogOpenFunction("MaskMcpDip");
    log.LogAddDouble("CenterX", McpDipCx_);
    log.LogAddDouble("CenterY", McpDipCy_);
    log.LogAddDouble("Radius", McpDipR_);
}

void RfaParameters::LogMaskOutside(LwProcessLog& log) const
{
    log.LogOpenFunction("MaskOutside");
    log.LogAddDouble("CenterX", MaskCx_);
    log.LogAddDouble("CenterY", MaskCy_);
    log.LogAddDouble("RadiusOfX", MaskRx_);
    log.LogAddDouble("RadiusOfY", MaskRy_);
}
