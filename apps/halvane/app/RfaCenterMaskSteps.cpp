// Move to centre and the masks as viewer steps, and the mask ellipse read
// back from the viewer.
#include "core/LwError.h"
#include "imageops/LwInt32Matrix.h"
#include "plugin/LwCmdPackUnpack.h"
#include "plugin/LwPluginFuncZyvra.h"
#include "apps/halvane/app/RfaViewerSteps.h"
#include "apps/halvane/engine/LwProcessLog.h"
#include "apps/halvane/engine/RfaParameters.h"

#include <cmath>
#include <cstdint>
#include <string>

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
    client.Call(LwCmdPackUnpack::CmdRegionGetIDList, &id, nullptr,
                [&](LwCmdPackUnpack& reply) { reply.PackUnpackIDList(ids); });
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
    client.Call(
        LwCmdPackUnpack::CmdRegionGet, &id,
        [&](LwCmdPackUnpack& request) { request.Packer().PackUnpackInt32("RegionID", regionId); },
        [&](LwCmdPackUnpack& reply) { reply.PackUnpackRegion(type, cx, cy, w, h, color, movable, name); });
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(w) || !std::isfinite(h))
        throw LwError("Region is not a finite ellipse");
    MaskCx_ = cx;
    MaskCy_ = cy;
    MaskRx_ = static_cast<double>(w - 1.0f) * 0.5;
    MaskRy_ = static_cast<double>(h - 1.0f) * 0.5;
}
