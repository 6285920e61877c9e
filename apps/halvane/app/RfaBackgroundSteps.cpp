// The background operations and Adjust Screen as viewer steps: the focused
// image fetched, the fit or the edge search of RfaBackground.cpp run on it,
// and the results sent back to the viewer.
#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "plugin/LwPluginFuncZyvra.h"
#include "apps/halvane/app/RfaOperations.h"
#include "apps/halvane/app/RfaViewerSteps.h"
#include "apps/halvane/engine/LwProcessLog.h"
#include "apps/halvane/engine/RfaParameters.h"

#include <cstdint>

namespace {

// The frame of the background operations: the focused image (pixels that
// are not finite as 0, the number of infinite ones logged), its background
// by `fit`, then the source's keys with one more log (`logRecord` adds the
// operation's record), and the background and the source divided by it in
// two new windows.
template <class Fit>
void RemoveBackground(const RfaParameters& record, LwPluginFuncZyvra& client, Fit fit,
                      void (RfaParameters::*logRecord)(LwProcessLog&) const)
{
    const RfaSourceImage source = FocusedSourceImage(client);
    const LwFloatMatrix background = fit(source.image);
    RfaStepOutput output(client, source.window, record.Version_, source.infinitePixels);
    (record.*logRecord)(output.Log());
    output.CloseLog();
    const LwFloatMatrix ratio = LwMatrixArithmetic().ElementDivide(source.image, background);
    RfaResultWindow backgroundWindow, ratioWindow;
    RfaSendWhole(
        [&] {
            output.Send(backgroundWindow.Get(client), background);
            output.Send(ratioWindow.Get(client), ratio);
            client.UpdateAll();
        },
        "The computed background and ratio are kept. Send them to the image viewer again?");
}

}  // namespace

void RemoveBgSh(const RfaParameters& record, LwPluginFuncZyvra& client, const RfaProgress& progress)
{
    if (!record.MappingIsAzM2_) {
        RemoveBgShByDegree(record, client);
        return;
    }
    record.CheckFitSettings(true);
    RemoveBackground(
        record, client, [&](const LwFloatMatrix& image) { return record.FitBackgroundSh(image, progress); },
        &RfaParameters::LogRfaBackground);
}

void RemoveBgShByDegree(const RfaParameters& record, LwPluginFuncZyvra& client)
{
    record.CheckFitSettings(!record.MappingIsGnomonic_);
    RemoveBackground(
        record, client, [&](const LwFloatMatrix& image) { return record.BackgroundShByDegree(image); },
        &RfaParameters::LogRfaBackgroundByDegree);
}

void RemoveBgAzimuthal(const RfaParameters& record, LwPluginFuncZyvra& client)
{
    RemoveBackground(
        record, client, [&](const LwFloatMatrix& image) { return record.AzimuthalBackground(image); },
        &RfaParameters::LogAverageAlong);
}

int AdjustScreen(RfaParameters& record, LwPluginFuncZyvra& client, const RfaProgress& progress)
{
    const RfaSourceImage source = FocusedSourceImage(client);
    const RfaParameters::ScreenEdge edge = record.FindScreenEdge(source.image, progress);
    if (!edge.found)
        throw LwError("Adjust Screen found no screen edge in the image");
    record.Sx_ = edge.x;
    record.Sy_ = edge.y;
    record.Sr_ = edge.radius;
    const float size = static_cast<float>(2 * record.Sr_ - 1);
    RfaResultWindow clippedWindow;
    RfaSendWhole(
        [&] {
            ShowOnlyEllipse(client, source.window, edge.x, edge.y, size, size, true);
            if (record.IsShowTmp_) {
                bool fresh = true;
                const std::int32_t w = clippedWindow.Get(client, &fresh);
                client.ImageSet(w, edge.clipped);
                if (!fresh)
                    client.RegionClear(w);
                client.RegionAdd(w, "ELLIPSE", edge.x, edge.y, size, size, kRed, true);
                client.UpdateAll();
            }
        },
        "The screen found is kept. Show it in the image viewer again?");
    return source.infinitePixels;
}
