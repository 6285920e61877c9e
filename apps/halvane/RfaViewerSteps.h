#pragma once
// Pieces that every halvane operation shares with the viewer.

#include "core/LwInfoMap.h"
#include "plugin/LwPluginFuncZyvra.h"

#include <cstdint>

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
