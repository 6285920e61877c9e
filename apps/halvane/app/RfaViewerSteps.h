#pragma once
// Pieces that every halvane operation shares with the viewer. A step that
// makes new windows reads its source (RfaSourceImage, or FocusedImageWindow
// and the image as the viewer holds it), reads the source's keys and opens
// its log (RfaStepOutput), adds its records, closes the log (CloseLog),
// computes every result, and then sends them with the keys (Send into the
// windows of RfaResultWindow) inside RfaSendWhole. Where a step computes
// between these, and which requests it adds, stays its own: the order of its
// requests to the viewer is part of its contract.

#include "core/LwError.h"
#include "core/LwInfoMap.h"
#include "core/LwMatrix.h"
#include "fgraph/LwWindowUtilities.h"
#include "plugin/LwCmdPackUnpack.h"
#include "plugin/LwPluginFuncZyvra.h"
#include "apps/halvane/engine/LwProcessLog.h"
#include "apps/halvane/engine/RfaParameters.h"

#include <QApplication>
#include <QString>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>

// The colour of the screen and fit ellipses drawn on a viewer window.
inline const LwColorRgb kRed{255, 0, 0};

// The regions of `window` replaced by one red ellipse around (cx, cy) of
// full width and height `width` x `height` pixels, movable by the user or
// not, then the viewer's windows redrawn. Three requests.
inline void ShowOnlyEllipse(LwPluginFuncZyvra& client, std::int32_t window, float cx, float cy, float width,
                            float height, bool movable)
{
    client.RegionClear(window);
    client.RegionAdd(window, "ELLIPSE", cx, cy, width, height, kRed, movable);
    client.UpdateAll();
}

// The number keys and text keys of a viewer window, read once from the
// source and written unchanged (but for the log appended to the text keys)
// to each new window.
struct RfaImageKeys
{
    LwInfoValueMap number;
    LwInfoStringMap text;

    void Read(LwPluginFuncZyvra& client, std::int32_t window)
    {
        client.ImageKeyDoubleGet(window, number);
        client.ImageKeyStringGet(window, text);
    }
    void Write(LwPluginFuncZyvra& client, std::int32_t window) const
    {
        client.ImageKeyDoubleSet(window, number);
        client.ImageKeyStringSet(window, text);
    }
};

// Every pixel that is +infinity or -infinity set to 0, the mark of a pixel
// without data, as a NaN pixel is set when the image is fetched, so that
// the fits, averages and divisions leave it out; returns how many were set.
inline int ClearInfinitePixels(LwFloatMatrix& image)
{
    int count = 0;
    float* p = image.Buffer();
    for (int i = 0; i < image.ElementCount(); ++i)
        if (std::isinf(p[i])) {
            p[i] = 0;
            ++count;
        }
    return count;
}

// The image of a window with every pixel that is not a finite number as a
// pixel without data, and the number of infinite ones (NaN pixels are the
// viewer's usual mark of no data and go uncounted). One request.
struct RfaSourceImage
{
    std::int32_t window;
    LwFloatMatrix image;
    int infinitePixels;

    RfaSourceImage(LwPluginFuncZyvra& client, std::int32_t id) : window(id)
    {
        client.ImageGet(window, image, true);
        infinitePixels = ClearInfinitePixels(image);
    }
};

// The image of the focused window as RfaSourceImage reads it; with no
// window focused, LwError "Please select image window" before the image is
// asked for. Two requests.
inline RfaSourceImage FocusedSourceImage(LwPluginFuncZyvra& client)
{
    const std::int32_t id = client.WindowGetFocusedID();
    if (id < 0)
        throw LwError("Please select image window");
    return RfaSourceImage(client, id);
}

// The focused window, when it is an image window; else LwError "Please
// select image window". Two requests.
inline std::int32_t FocusedImageWindow(LwPluginFuncZyvra& client)
{
    const std::int32_t id = client.WindowGetFocusedID();
    if (!client.GetIsModeImage(id))
        throw LwError("Please select image window");
    return id;
}

// The record "InfinitePixels" with their "Count", added to an operation's
// log when its source had any, ahead of the operation's own records.
inline void LogInfinitePixels(LwProcessLog& log, int count)
{
    if (count == 0)
        return;
    log.LogOpenFunction("InfinitePixels");
    log.LogAddInt("Count", count);
}

// What a step sends with each image it makes: the source window's keys and
// the step's log, opened with the program version and the source's
// "InfinitePixels" record. The step adds its records to Log(); CloseLog then
// appends the log to the keys' "log" list, and every window sent after it
// gets the image with those keys.
class RfaStepOutput
{
public:
    // Reads the keys of `source` (two requests) and opens the log.
    RfaStepOutput(LwPluginFuncZyvra& client, std::int32_t source, const std::string& version,
                  int infinitePixels)
        : client_(client)
    {
        keys_.Read(client_, source);
        log_.LogOpen(version);
        LogInfinitePixels(log_, infinitePixels);
    }

    LwProcessLog& Log() { return log_; }
    // The log's text, appended to the keys.
    std::string CloseLog()
    {
        log_.LogWrite(keys_.text);
        return keys_.text["log"].back();
    }
    // `image` into `window`, then the keys.
    void Send(std::int32_t window, const LwFloatMatrix& image) const
    {
        client_.ImageSet(window, image);
        keys_.Write(client_, window);
    }

private:
    LwPluginFuncZyvra& client_;
    RfaImageKeys keys_;
    LwProcessLog log_;
};

// The new window of one result of an operation: made when the result is
// first sent, and used again when it is sent again after a failed try
// (Retry), so that a viewer that was slow or paused is left no empty window.
// A window that is gone (closed by the user, or of a viewer that was
// restarted since) is replaced by a new one.
class RfaResultWindow
{
public:
    // The window's id; `fresh` tells whether it was made now.
    std::int32_t Get(LwPluginFuncZyvra& client, bool* fresh = nullptr)
    {
        // The check comes first: it connects again to a restarted viewer.
        const bool keep = id_ >= 0 && client.GetIsModeImage(id_) && connection_ == client.ConnectionCount();
        if (fresh != nullptr)
            *fresh = !keep;
        if (!keep) {
            id_ = client.ImageNewWindow();
            connection_ = client.ConnectionCount();
        }
        return id_;
    }

private:
    std::int32_t id_ = -1;
    std::uint64_t connection_ = 0;
};

// The sends of an operation's results (`send`), which run only once every
// result is computed: as a whole or not at all (RunSendingWhole). A failed
// send keeps the results and offers Retry or Discard with `question`;
// Discard, or a quit signal, ends the operation with RfaCancelled, quietly,
// the results not sent.
inline void
RfaSendWhole(const std::function<void()>& send,
             const QString& question = "The computed image is kept. Send it to the image viewer again?")
{
    if (!RunSendingWhole(QApplication::activeWindow(), question, send))
        throw RfaCancelled("The result was not sent to the image viewer");
}
