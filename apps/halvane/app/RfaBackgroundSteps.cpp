// The background operations and Adjust Screen as viewer steps: the focused
// image fetched, the fit or the edge search of RfaBackground.cpp run on it,
// and the results sent back to the viewer.
#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "plugin/LwPluginFuncZyvra.h"
#include "apps/halvane/app/RfaViewerSteps.h"
#include "apps/halvane/engine/LwProcessLog.h"
#include "apps/halvane/engine/RfaParameters.h"

#include <cstdint>
#include <string>

namespace {

// Steps shared by the two background operations: the background and the
// source divided by it in two new windows with the keys and the log.
void SendBackgroundAndRatio(LwPluginFuncZyvra& client, const LwFloatMatrix& source,
                            const LwFloatMatrix& background, const RfaImageKeys& keys)
{
    const std::int32_t w1 = client.ImageNewWindow();
    client.ImageSet(w1, background);
    keys.Write(client, w1);
    const LwFloatMatrix ratio = LwMatrixArithmetic().ElementDivide(source, background);
    const std::int32_t w2 = client.ImageNewWindow();
    client.ImageSet(w2, ratio);
    keys.Write(client, w2);
    client.UpdateAll();
}

// The frame of the background operations: the focused image (pixels that
// are not finite as 0, the number of infinite ones logged),
// its background by `fit`, the source's keys with one more log (`addLog`
// adds the record), the background and ratio windows.
template <class Fit, class Log>
void RemoveBackground(LwPluginFuncZyvra& client, const std::string& version, Fit fit, Log addLog)
{
    const std::int32_t id = client.WindowGetFocusedID();
    LwFloatMatrix source;
    const int infinite = FetchImageWithData(client, id, source);
    const LwFloatMatrix background = fit(source);
    RfaImageKeys keys;
    keys.Read(client, id);
    LwProcessLog log;
    log.LogOpen(version);
    LogInfinitePixels(log, infinite);
    addLog(log);
    log.LogWrite(keys.text);
    SendBackgroundAndRatio(client, source, background, keys);
}

}  // namespace

void RfaParameters::RemoveBgSh(LwPluginFuncZyvra& client, const RfaProgress& progress) const
{
    if (!MappingIsAzM2_) {
        RemoveBgShByDegree(client);
        return;
    }
    CheckFitSettings(true);
    RemoveBackground(
        client, Version_,
        [this, &progress](const LwFloatMatrix& source) { return FitBackgroundSh(source, progress); },
        [this](LwProcessLog& log) { LogRfaBackground(log); });
}

void RfaParameters::RemoveBgShByDegree(LwPluginFuncZyvra& client) const
{
    CheckFitSettings(!MappingIsGnomonic_);
    RemoveBackground(
        client, Version_, [this](const LwFloatMatrix& source) { return BackgroundShByDegree(source); },
        [this](LwProcessLog& log) {
            log.LogOpenFunction("RFA_background");
            log.LogAddDouble("ScreenRadius", Sr_);
            log.LogAddInt("ScreenMargin", SMargin_);
            log.LogAddBool("MappingIsGnomonic", MappingIsGnomonic_);
            log.LogAddBool("MappingIsAz_", MappingIsAz_);
            log.LogAddLDouble("MappingAzThetaMax_deg", MappingAzThetaMax_deg_);
            log.LogAddInt("Size_l", Size_l_);
            log.LogAddBool("UseAllSphere", UseAllSphere_);
        });
}

void RfaParameters::RemoveBgAzimuthal(LwPluginFuncZyvra& client) const
{
    RemoveBackground(
        client, Version_, [this](const LwFloatMatrix& source) { return AzimuthalBackground(source); },
        [this](LwProcessLog& log) { LogAverageAlong(log); });
}

int RfaParameters::AdjustScreen(LwPluginFuncZyvra& client, const RfaProgress& progress)
{
    const std::int32_t id = client.WindowGetFocusedID();
    LwFloatMatrix image;
    const int infinite = FetchImageWithData(client, id, image);
    const ScreenEdge edge = FindScreenEdge(image, progress);
    if (!edge.found)
        throw LwError("Adjust Screen found no screen edge in the image");
    Sx_ = edge.x;
    Sy_ = edge.y;
    Sr_ = edge.radius;
    const float size = static_cast<float>(2 * Sr_ - 1);
    client.RegionClear(id);
    client.RegionAdd(id, "ELLIPSE", edge.x, edge.y, size, size, kRed, true);
    client.UpdateAll();
    if (IsShowTmp_) {
        const std::int32_t w = client.ImageNewWindow();
        client.ImageSet(w, edge.clipped);
        client.RegionAdd(w, "ELLIPSE", edge.x, edge.y, size, size, kRed, true);
        client.UpdateAll();
    }
    return infinite;
}
