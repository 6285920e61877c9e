// Move to centre and the masks as viewer steps, and the mask ellipse read
// back from the viewer.
#include "core/LwError.h"
#include "imageops/LwInt32Matrix.h"
#include "plugin/LwCmdPackUnpack.h"
#include "plugin/LwPluginFuncZyvra.h"
#include "apps/halvane/app/RfaOperations.h"
#include "apps/halvane/app/RfaViewerSteps.h"
#include "apps/halvane/engine/LwProcessLog.h"
#include "apps/halvane/engine/RfaParameters.h"

#include <cmath>
#include <cstdint>
#include <string>

void MoveToCenter(const RfaParameters& record, LwPluginFuncZyvra& client)
{
    const RfaSourceImage source = FocusedSourceImage(client);
    RfaStepOutput output(client, source.window, record.Version_, source.infinitePixels);
    record.LogMoveToCenter(output.Log());
    output.CloseLog();
    const LwFloatMatrix shifted = record.ShiftToCenter(source.image);
    const float cx = static_cast<float>(source.image.ColSize / 2);
    const float cy = static_cast<float>(source.image.RowSize / 2);
    const float screen = static_cast<float>(2 * record.Sr_ + 1);
    const float fit = static_cast<float>(2 * (record.Sr_ - record.SMargin_) + 1);
    RfaResultWindow window;
    RfaSendWhole([&] {
        bool fresh = true;
        const std::int32_t w = window.Get(client, &fresh);
        output.Send(w, shifted);
        if (!fresh)
            client.RegionClear(w);
        client.RegionAdd(w, "ELLIPSE", cx, cy, screen, screen, kRed, false);
        client.RegionAdd(w, "ELLIPSE", cx, cy, fit, fit, kRed, false);
        client.UpdateAll();
    });
}

namespace {

// The frame of both masks: the focused image window as the viewer holds it
// (no pixel counted as infinite), `mask` applied, the result in a new window
// with the keys and the log with the mask's record.
void MaskIntoNewWindow(const RfaParameters& record, LwPluginFuncZyvra& client,
                       void (RfaParameters::*logRecord)(LwProcessLog&) const,
                       void (RfaParameters::*mask)(LwFloatMatrix&) const)
{
    const std::int32_t id = FocusedImageWindow(client);
    LwFloatMatrix image;
    client.ImageGetBySharedMemory(id, image);
    RfaStepOutput output(client, id, record.Version_, 0);
    (record.*logRecord)(output.Log());
    (record.*mask)(image);
    output.CloseLog();
    RfaResultWindow window;
    RfaSendWhole([&] { output.Send(window.Get(client), image); });
}

}  // namespace

void MaskMcpDip(const RfaParameters& record, LwPluginFuncZyvra& client)
{
    MaskIntoNewWindow(record, client, &RfaParameters::LogMaskMcpDip, &RfaParameters::ApplyDipMask);
}

void MaskOutside(const RfaParameters& record, LwPluginFuncZyvra& client)
{
    MaskIntoNewWindow(record, client, &RfaParameters::LogMaskOutside, &RfaParameters::ApplyOutsideMask);
}

void UpdateMaskFromRegion(RfaParameters& record, LwPluginFuncZyvra& client)
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
    record.MaskCx_ = cx;
    record.MaskCy_ = cy;
    record.MaskRx_ = static_cast<double>(w - 1.0f) * 0.5;
    record.MaskRy_ = static_cast<double>(h - 1.0f) * 0.5;
}
