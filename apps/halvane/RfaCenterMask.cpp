// Move to centre, the MCP-dip and outside masks, and the mask ellipse read
// back from the viewer.
#include "apps/halvane/RfaParameters.h"

#include "apps/halvane/LwProcessLog.h"
#include "apps/halvane/RfaViewerSteps.h"

#include "core/LwError.h"
#include "imageops/LwInt32Matrix.h"
#include "plugin/LwCmdPackUnpack.h"
#include "plugin/LwPluginFuncZyvra.h"

#include <cmath>
#include <limits>
#include <sstream>

namespace {

const LwColorRgb kRed{255, 0, 0};

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

}  // namespace

LwFloatMatrix RfaParameters::ShiftToCenter(const LwFloatMatrix& image) const
{
    const char* const notFinite = "Screen centre is not a finite number";
    const int dx = TruncatedShift(static_cast<double>(image.ColSize / 2) - Sx_, notFinite);
    const int dy = TruncatedShift(static_cast<double>(image.RowSize / 2) - Sy_, notFinite);
    // The shift wraps once: a centre up to one image size from the image
    // centre can be brought there, one farther cannot.
    auto checkReach = [](const char* name, double v, int size, const char* side) {
        const int centre = size / 2;
        if (v >= centre - size && v <= centre + size)
            return;
        std::ostringstream text;
        text << name << " = " << v << " is out of range: it must be from " << centre - size << " to "
             << centre + size << " (the image centre " << centre << " plus or minus the image " << side
             << ")";
        throw LwError(text.str());
    };
    checkReach("Screen Cx", Sx_, image.ColSize, "width");
    checkReach("Screen Cy", Sy_, image.RowSize, "height");
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

void RfaParameters::MoveToCenter(LwPluginFuncZyvra& client) const
{
    const std::int32_t id = client.WindowGetFocusedID();
    LwFloatMatrix image;
    const int infinite = FetchImageWithData(client, id, image);
    RfaImageKeys keys;
    keys.Read(client, id);
    LwProcessLog log;
    log.LogOpen(Version_);
    LogInfinitePixels(log, infinite);
    LogMoveToCenter(log);
    log.LogWrite(keys.text);
    const LwFloatMatrix shifted = ShiftToCenter(image);
    const std::int32_t w = client.ImageNewWindow();
    client.ImageSet(w, shifted);
    keys.Write(client, w);
    const float cx = static_cast<float>(image.ColSize / 2);
    const float cy = static_cast<float>(image.RowSize / 2);
    const float screen = static_cast<float>(2 * Sr_ + 1);
    const float fit = static_cast<float>(2 * (Sr_ - SMargin_) + 1);
    client.RegionAdd(w, "ELLIPSE", cx, cy, screen, screen, kRed, false);
    client.RegionAdd(w, "ELLIPSE", cx, cy, fit, fit, kRed, false);
    client.UpdateAll();
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

namespace {

// The frame of both masks: the focused image window as the viewer holds it,
// `mask` applied to a copy, the copy in a new window with the keys and the log.
template <class Log, class Mask>
void MaskIntoNewWindow(LwPluginFuncZyvra& client, const std::string& version, Log addLog, Mask mask)
{
    const std::int32_t id = client.WindowGetFocusedID();
    if (!client.GetIsModeImage(id))
        throw LwError("Please select image window");
    LwFloatMatrix image;
    client.ImageGetBySharedMemory(id, image);
    RfaImageKeys keys;
    keys.Read(client, id);
    LwProcessLog log;
    log.LogOpen(version);
    addLog(log);
    LwFloatMatrix result = image;
    mask(result);
    log.LogWrite(keys.text);
    const std::int32_t w = client.ImageNewWindow();
    client.ImageSet(w, result);
    keys.Write(client, w);
}

}  // namespace

void RfaParameters::MaskMcpDip(LwPluginFuncZyvra& client) const
{
    MaskIntoNewWindow(
        client, Version_, [this](LwProcessLog& log) { LogMaskMcpDip(log); },
        [this](LwFloatMatrix& m) { ApplyDipMask(m); });
}

void RfaParameters::MaskOutside(LwPluginFuncZyvra& client) const
{
    MaskIntoNewWindow(
        client, Version_, [this](LwProcessLog& log) { LogMaskOutside(log); },
        [this](LwFloatMatrix& m) { ApplyOutsideMask(m); });
}

void RfaParameters::UpdateMaskFromRegion(LwPluginFuncZyvra& client)
{
    std::int32_t id = client.WindowGetFocusedID();
    if (id < 0)
        throw LwError("Please select image window");

    LwInt32Matrix ids;
    {
        LwCmdPackUnpack request("w");
        LwCmdPackUnpack reply("r");
        request.OpenCmd();
        request.SetFunctionNumber(LwCmdPackUnpack::CmdRegionGetIDList);
        request.PackUnpackWindowID(id);
        request.CloseCmd();
        client.SendRecv(request, reply);
        reply.OpenCmd();
        reply.PackUnpackIDList(ids);
        reply.CloseCmd();
    }
    if (ids.ElementCount() == 0)
        throw LwError("Please make singe region for mask");
    if (ids.ColSize != 1 && ids.RowSize != 1)
        throw LwError("This is not vector");
    if (ids.ElementCount() != 1)
        throw LwError("Please make singe region for mask");
    std::int32_t regionId = ids.Buffer()[0];
    if (regionId < 0)
        throw LwError("Region is not found");

    std::string type, name;
    float cx = 0, cy = 0, w = 0, h = 0;
    LwColorRgb color;
    bool movable = false;
    {
        LwCmdPackUnpack request("w");
        LwCmdPackUnpack reply("r");
        request.OpenCmd();
        request.SetFunctionNumber(LwCmdPackUnpack::CmdRegionGet);
        request.PackUnpackWindowID(id);
        request.Packer().PackUnpackInt32("RegionID", regionId);
        request.CloseCmd();
        client.SendRecv(request, reply);
        reply.OpenCmd();
        reply.PackUnpackRegion(type, cx, cy, w, h, color, movable, name);
        reply.CloseCmd();
    }
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(w) || !std::isfinite(h))
        throw LwError("Region is not a finite ellipse");
    MaskCx_ = cx;
    MaskCy_ = cy;
    MaskRx_ = static_cast<double>(w - 1.0f) * 0.5;
    MaskRy_ = static_cast<double>(h - 1.0f) * 0.5;
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
