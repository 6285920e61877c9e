// One operation per viewer command: request with the command's name, the
// window id when the command addresses a window and the arguments; the
// results read from the reply's call element with the caller's values (or
// the operation's) as defaults.
#include "core/LwError.h"
#include "imageops/LwInt32Matrix.h"
#include "plugin/LwPluginErrors.h"
#include "plugin/LwPluginFuncZyvra.h"

#include <cstdio>
#include <utility>

namespace {

const char* const kUpdateAll = "void LwPluginFuncZyvra::UpdateAll()";
const char* const kImageNewWindow = "int32_t LwPluginFuncZyvra::ImageNewWindow()";
const char* const kGetIsLoaded = "void LwPluginFuncZyvra::GetIsLoaded(bool&, bool&)";

using Message = LwCmdPackUnpack;

}  // namespace

void LwPluginFuncZyvra::UpdateAll()
{
    LwPluginErrors::Wrap(kUpdateAll, [&] { Call(Message::CmdUpdate, nullptr, nullptr, nullptr); });
}

std::int32_t LwPluginFuncZyvra::WindowGetFocusedID()
{
    std::int32_t id = -1;
    Call(Message::CmdWindowGetFocusedID, nullptr, nullptr,
         [&](Message& reply) { reply.PackUnpackWindowID(id); });
    return id;
}

std::int32_t LwPluginFuncZyvra::TakeLateNewWindow(const std::string& request)
{
    // The window of an earlier request whose exchange gave up may have been
    // made once the viewer went on (a paused viewer, a cancelled wait): it is
    // taken rather than left empty beside a second one. An Update brings its
    // late reply, which the viewer sends first.
    if (!unansweredNewWindow_.empty()) {
        flushingLateReply_ = true;
        try {
            Call(Message::CmdUpdate, nullptr, nullptr, nullptr);
        } catch (...) {
            flushingLateReply_ = false;
            throw;
        }
        flushingLateReply_ = false;
        // No reply came before the Update's: none will.
        unansweredNewWindow_.clear();
    }
    if (lateNewWindow_ < 0)
        return -1;
    const std::int32_t late = std::exchange(lateNewWindow_, -1);
    const bool same = std::exchange(lateNewWindowRequest_, std::string()) == request;
    return same ? late : -1;
}

std::int32_t LwPluginFuncZyvra::CallMakingWindow(const std::string& request, std::int32_t command,
                                                 const std::function<void(LwCmdPackUnpack&)>& args)
{
    std::int32_t id = -1;
    try {
        Call(command, nullptr, args, [&](Message& reply) { reply.PackUnpackWindowID(id); });
    } catch (const LwError&) {
        // The request went out and its reply was given up on: the viewer may
        // still make the window.
        if (requestWritten_ && !busy_ && IsConnected())
            unansweredNewWindow_ = request;
        throw;
    }
    return id;
}

std::int32_t LwPluginFuncZyvra::ImageNewWindow()
{
    return LwPluginErrors::Wrap(kImageNewWindow, [&] {
        const std::int32_t late = TakeLateNewWindow("image");
        if (late >= 0 && GetIsModeImage(late))
            return late;
        std::printf("ImageNewWindow()\n");
        std::fflush(stdout);
        return CallMakingWindow("image", Message::CmdImageNewWindow, nullptr);
    });
}

void LwPluginFuncZyvra::SetCaption(std::int32_t window, const std::string& caption)
{
    std::string text = caption;
    Call(
        Message::CmdSetCaption, &window, [&](Message& request) { request.PutCaption(text); }, nullptr);
}

bool LwPluginFuncZyvra::GetIsModeImage(std::int32_t window)
{
    bool isModeImage = false;
    Call(Message::CmdGetIsModeImage, &window, nullptr,
         [&](Message& reply) { reply.Packer().PackUnpackBool("isModeImage", isModeImage); });
    return isModeImage;
}

bool LwPluginFuncZyvra::GetIsModeSeries(std::int32_t window)
{
    bool isModeSeries = false;
    Call(Message::CmdGetIsModeSeries, &window, nullptr,
         [&](Message& reply) { reply.Packer().PackUnpackBool("isModeSeries", isModeSeries); });
    return isModeSeries;
}

std::int32_t LwPluginFuncZyvra::RegionAdd(std::int32_t window, const std::string& regionType, float cx,
                                          float cy, float w, float h, LwColorRgb color, bool isMovable)
{
    std::int32_t region = -1;
    std::string type = regionType;
    std::string name;
    Call(
        Message::CmdRegionAdd, &window,
        [&](Message& request) { request.PackUnpackRegion(type, cx, cy, w, h, color, isMovable, name); },
        [&](Message& reply) { reply.Packer().PackUnpackInt32("RegionID", region); });
    return region;
}

void LwPluginFuncZyvra::RegionClear(std::int32_t window)
{
    Call(Message::CmdRegionClear, &window, nullptr, nullptr);
}

void LwPluginFuncZyvra::RegionGetIMinMaxAverage(std::int32_t window, std::int32_t region, float& min,
                                                float& max, float& average)
{
    if (window < 0 || region < 0)
        return;
    Call(
        Message::CmdRegionGetIMinMaxAverage, &window,
        [&](Message& request) { request.Packer().PackUnpackInt32("RegionID", region); },
        [&](Message& reply) {
            reply.FloatValue("min", min);
            reply.FloatValue("max", max);
            reply.FloatValue("average", average);
        });
}

std::int32_t LwPluginFuncZyvra::LineAdd(std::int32_t window, float x0, float y0, float x1, float y1,
                                        float width, LwColorRgb color, bool isMovable,
                                        const std::string& name)
{
    std::int32_t region = -1;
    std::string text = name;
    Call(
        Message::CmdLineAdd, &window,
        [&](Message& request) {
            request.FloatValue("x0", x0);
            request.FloatValue("y0", y0);
            request.FloatValue("x1", x1);
            request.FloatValue("y1", y1);
            request.FloatValue("width", width);
            request.PackUnpackColor("color", color);
            request.Packer().PackUnpackBool("isMovable", isMovable);
            request.StringValue("name", text);
        },
        [&](Message& reply) { reply.Packer().PackUnpackInt32("RegionID", region); });
    return region;
}

void LwPluginFuncZyvra::LineGetIDList(std::int32_t window, LwInt32Matrix& ids)
{
    Call(Message::CmdLineGetIDList, &window, nullptr, [&](Message& reply) { reply.PackUnpackIDList(ids); });
}

std::int32_t LwPluginFuncZyvra::SeriesNewWindow(const std::string& fileNameUtf8, const std::string& mode)
{
    if (mode != "image" && mode != "image3D" && mode != "wave")
        throw LwError("Error:Please set right windowMode");
    // A series window made late for the same file and mode is taken.
    const std::string request = "series " + mode + " " + fileNameUtf8;
    const std::int32_t late = TakeLateNewWindow(request);
    if (late >= 0 && GetIsModeSeries(late))
        return late;
    std::string file = fileNameUtf8;
    std::string modeText = mode;
    return CallMakingWindow(request, Message::CmdSeriesNewWindow, [&](Message& request) {
        request.PutFilenameUtf8(file);
        request.StringValue("mode", modeText);
    });
}

void LwPluginFuncZyvra::SeriesSave(std::int32_t window, const std::string& fileNameUtf8)
{
    std::string file = fileNameUtf8;
    Call(
        Message::CmdSeriesSave, &window, [&](Message& request) { request.PutFilenameUtf8(file); }, nullptr);
}

std::int32_t LwPluginFuncZyvra::SeriesGetCount(std::int32_t window)
{
    std::int32_t count = 0;
    Call(Message::CmdSeriesGetCount, &window, nullptr,
         [&](Message& reply) { reply.Packer().PackUnpackInt32("count", count); });
    return count;
}

void LwPluginFuncZyvra::SeriesImageIndexSet(std::int32_t window, std::int32_t index)
{
    Call(
        Message::CmdSeriesImageIndexSet, &window, [&](Message& request) { request.PackUnpackIndex(index); },
        nullptr);
}

void LwPluginFuncZyvra::SeriesImageSave(std::int32_t window, std::int32_t index,
                                        const std::string& fileNameUtf8)
{
    std::string file = fileNameUtf8;
    Call(
        Message::CmdSeriesImageSave, &window,
        [&](Message& request) {
            request.PackUnpackIndex(index);
            request.PutFilenameUtf8(file);
        },
        nullptr);
}

void LwPluginFuncZyvra::ImageKeyDoubleGet(std::int32_t window, DoubleMap& keys)
{
    Call(Message::CmdImageKeyDoubleGet, &window, nullptr,
         [&](Message& reply) { reply.Packer().PackUnpackDoubleMap("ImageKeyDouble", keys); });
}

void LwPluginFuncZyvra::ImageKeyDoubleSet(std::int32_t window, const DoubleMap& keys)
{
    DoubleMap copy = keys;
    Call(
        Message::CmdImageKeyDoubleSet, &window,
        [&](Message& request) { request.Packer().PackUnpackDoubleMap("ImageKeyDouble", copy); }, nullptr);
}

void LwPluginFuncZyvra::ImageKeyStringGet(std::int32_t window, StringMap& keys)
{
    Call(Message::CmdImageKeyStringGet, &window, nullptr,
         [&](Message& reply) { reply.Packer().PackUnpackStringMap("ImageKeyString", keys); });
}

void LwPluginFuncZyvra::ImageKeyStringSet(std::int32_t window, const StringMap& keys)
{
    StringMap copy = keys;
    Call(
        Message::CmdImageKeyStringSet, &window,
        [&](Message& request) { request.Packer().PackUnpackStringMap("ImageKeyString", copy); }, nullptr);
}

void LwPluginFuncZyvra::SeriesKeyDoubleGet(std::int32_t window, DoubleMap& keys)
{
    Call(Message::CmdSeriesKeyDoubleGet, &window, nullptr,
         [&](Message& reply) { reply.Packer().PackUnpackDoubleMap("SeriesKeyDouble", keys); });
}

void LwPluginFuncZyvra::SeriesIndexKeyDoubleSet(std::int32_t window, std::int32_t index,
                                                const DoubleMap& keys)
{
    DoubleMap copy = keys;
    Call(
        Message::CmdSeriesIndexKeyDoubleSet, &window,
        [&](Message& request) {
            request.PackUnpackIndex(index);
            request.PutSeriesIndexKeyDouble(copy);
        },
        nullptr);
}

void LwPluginFuncZyvra::GetIsLoaded(bool& isLoaded, bool& isSuccess)
{
    LwPluginErrors::Wrap(kGetIsLoaded, [&] {
        Call(Message::CmdGetIsLoaded, nullptr, nullptr, [&](Message& reply) {
            std::string returnCode;
            reply.StringValue("ReturnCode", returnCode);
            if (returnCode != "ok")
                throw LwError(returnCode);
            reply.Packer().PackUnpackBool("isLoaded", isLoaded);
            reply.Packer().PackUnpackBool("isSuccess", isSuccess);
        });
    });
}
