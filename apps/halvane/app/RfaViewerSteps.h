#pragma once
// Pieces that every halvane operation shares with the viewer.

#include "core/LwInfoMap.h"
#include "core/LwMatrix.h"
#include "plugin/LwCmdPackUnpack.h"
#include "plugin/LwPluginFuncZyvra.h"
#include "apps/halvane/engine/LwProcessLog.h"

#include <cmath>
#include <cstdint>

// The colour of the screen and fit ellipses drawn on a viewer window.
inline const LwColorRgb kRed{255, 0, 0};

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

// The image of `window` with every pixel that is not a finite number as a
// pixel without data; returns the number of infinite ones (NaN pixels are
// the viewer's usual mark of no data and go uncounted).
inline int FetchImageWithData(LwPluginFuncZyvra& client, std::int32_t window, LwFloatMatrix& image)
{
    client.ImageGet(window, image, true);
    return ClearInfinitePixels(image);
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
