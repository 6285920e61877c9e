#include "plugin/LwCmdPackUnpack.h"

#include "core/LwError.h"
#include "imageops/LwInt32Matrix.h"
#include "plugin/LwPluginErrors.h"

#include <algorithm>

namespace {

struct CommandEntry
{
    std::int32_t number;
    const char* name;
};

// The viewer's commands by number; velmora's table is the first 104 rows
// (up to 105).
const CommandEntry kCommandTable[] = {
    {1, "Update"},
    {2, "WindowListIDGet"},
    {3, "WindowClose"},
    {4, "WindowGetFocusedID"},
    {5, "WindowGetIDbyIndex"},
    {6, "WindowSetIsLock"},
    {7, "ImageNewWindow"},
    {8, "ImageGet"},
    {9, "ImageSet"},
    {10, "ImageLoad"},
    {11, "ImageSaveAsXml"},
    {12, "ImageSaveAsBMP"},
    {13, "ImageSaveAsJPG"},
    {14, "ImageSaveAsPNG"},
    {15, "SetFileName"},
    {16, "GetFileName"},
    {17, "SetCaption"},
    {18, "GetCaption"},
    {19, "SetIsSaved"},
    {20, "GetIsSaved"},
    {21, "GetIsModeImage"},
    {22, "ImageDispGetMinMax"},
    {23, "ImageDispSetMinMax"},
    {24, "ImageDispSetErrMinMax"},
    {25, "ImageDispSetErrMin"},
    {26, "ImageDispSetErrMax"},
    {27, "RegionAdd"},
    {28, "RegionClear"},
    {29, "RegionCopyFrom"},
    {30, "RegionSearchByName"},
    {31, "RegionGetIDFocused"},
    {32, "RegionGetIDList"},
    {33, "RegionGet"},
    {34, "RegionSet"},
    {35, "RegionDrawingAdd"},
    {37, "RegionPolygonGetVertexList"},
    {38, "RegionPolygonSetVertexList"},
    {39, "RegionDrawingClear"},
    {40, "RegionDrawingAddLine"},
    {41, "RegionDrawingAddRectangle"},
    {42, "RegionDrawingAddEllipse"},
    {43, "RegionGetIMinMaxAverage"},
    {44, "LineAdd"},
    {45, "LineGetIDList"},
    {46, "LineGetProperty"},
    {47, "LineSetProperty"},
    {48, "GetIsModeSeries"},
    {49, "SeriesNewWindow"},
    {50, "SeriesSave"},
    {51, "SeriesGetCount"},
    {52, "SeriesListValueGet"},
    {53, "SeriesListValueSet"},
    {54, "SeriesListValueClear"},
    {55, "SeriesImageIndexSetWithLoadImage"},
    {56, "SeriesImageIndexSet"},
    {57, "SeriesImageIndexGet"},
    {58, "SeriesImageSave"},
    {59, "SeriesGetCurrentIndex"},
    {60, "SeriesGetFileName"},
    {61, "ImageKeyDoubleGet"},
    {62, "ImageKeyDoubleSet"},
    {63, "ImageKeyStringGet"},
    {64, "ImageKeyStringSet"},
    {65, "SeriesKeyDoubleGet"},
    {66, "SeriesKeyDoubleSet"},
    {67, "SeriesKeyStringGet"},
    {68, "SeriesKeyStringSet"},
    {69, "SeriesIndexKeyDoubleGet"},
    {70, "SeriesIndexKeyDoubleSet"},
    {71, "SeriesIndexKeyStringGet"},
    {72, "SeriesIndexKeyStringSet"},
    {73, "PluginOpenDialog"},
    {74, "PluginSetClientName"},
    {75, "ImageBitmapCopyToClipboard"},
    {76, "ImageGetSize"},
    {77, "FIImageGetBySharedMemory"},
    {78, "FIImageSetBySharedMemory"},
    {79, "FIImage3DNewWindow"},
    {80, "FIImage3DGetBySharedMemory"},
    {81, "FIImage3DSetBySharedMemory"},
    {82, "FIGetIsModeImage3D"},
    {83, "FIWaveNewWindow"},
    {84, "FIWaveSet"},
    {85, "FIWaveGet"},
    {86, "FIWaveGetColor"},
    {87, "FIWaveSetColor"},
    {88, "FIGetIsModeWave"},
    {89, "FIImageSetChannel"},
    {90, "FIImageGetCurrentChannel"},
    {91, "FIImageGetChannelCount"},
    {92, "FIImageSetChannelByIndex"},
    {93, "SeriesSaveRenew"},
    {94, "SeriesIndexKeyStringSetItem"},
    {95, "SeriesIndexKeyDoubleSetItem"},
    {96, "SeriesKeyStringSetItem"},
    {97, "SeriesKeyDoubleSetItem"},
    {98, "ImageKeyStringSetItem"},
    {99, "ImageKeyDoubleSetItem"},
    {100, "WindowListIDAndCaptionGet"},
    {101, "ModeChangeImage"},
    {102, "ModeChangeWave"},
    {103, "ModeChangeImage3D"},
    {104, "GetIsLoaded"},
    {105, "SetIsLoaded"},
    {106, "FIWaveSetWithColor"},
    {107, "ImageLoadInWindow"},
    {108, "ImageFlipVertical"},
    {109, "RegionGetListIdIMinMaxAverageColor"},
};

constexpr std::int32_t kLastVelmoraCommand = 105;

std::int32_t Clamp255(std::int32_t v)
{
    return std::min<std::int32_t>(255, std::max<std::int32_t>(0, v));
}

}  // namespace

LwCmdPackUnpack::LwCmdPackUnpack(const std::string& mode, LwCommandTable table)
    : LwPackUnpack(mode, KindXml), table_(table)
{
    InitFunctionTable();
}

LwCmdPackUnpack::~LwCmdPackUnpack() = default;

void LwCmdPackUnpack::RegisterFunction(std::int32_t number, const std::string& name)
{
    nameToNumber_[name] = number;
    numberToName_[number] = name;
}

void LwCmdPackUnpack::InitFunctionTable()
{
    for (const CommandEntry& entry : kCommandTable) {
        if (table_ == LwCommandTable::Velmora && entry.number > kLastVelmoraCommand)
            break;
        RegisterFunction(entry.number, entry.name);
    }
}

std::string LwCmdPackUnpack::FunctionName(std::int32_t number) const
{
    const auto it = numberToName_.find(number);
    return it == numberToName_.end() ? std::string() : it->second;
}

void LwCmdPackUnpack::SetFunctionNumber(std::int32_t number)
{
    const auto it = numberToName_.find(number);
    if (it == numberToName_.end())
        throw LwError("Undefiend function number");
    std::string name = it->second;
    Packer().PackUnpackString(cmdKey_, name);
    functionNumber_ = number;
}

bool LwCmdPackUnpack::CreatesObject() const
{
    switch (functionNumber_) {
    case 7:  // ImageNewWindow
    case 27:  // RegionAdd
    case 35:  // RegionDrawingAdd
    case 40:  // RegionDrawingAddLine
    case 41:  // RegionDrawingAddRectangle
    case 42:  // RegionDrawingAddEllipse
    case 44:  // LineAdd
    case 49:  // SeriesNewWindow
    case 79:  // FIImage3DNewWindow
    case 83:  // FIWaveNewWindow
        return true;
    default: return false;
    }
}

bool LwCmdPackUnpack::OpenCmdIndex(std::int32_t index)
{
    return LwPluginErrors::Wrap("bool LwCmdPackUnpack::OpenCmdIndex(int32_t)",
                                [&] { return Packer().OpenElement("i" + std::to_string(index)); });
}

void LwCmdPackUnpack::CloseCmdIndex(std::int32_t index)
{
    LwPluginErrors::Wrap("void LwCmdPackUnpack::CloseCmdIndex(int32_t)",
                         [&] { Packer().CloseElement("i" + std::to_string(index)); });
}

bool LwCmdPackUnpack::OpenCmd()
{
    return LwPluginErrors::Wrap("bool LwCmdPackUnpack::OpenCmd()", [&] { return OpenCmdIndex(cmdIndex_); });
}

void LwCmdPackUnpack::CloseCmd()
{
    LwPluginErrors::Wrap("void LwCmdPackUnpack::CloseCmd()", [&] { CloseCmdIndex(cmdIndex_); });
}

bool LwCmdPackUnpack::PackUnpackWindowID(std::int32_t& id)
{
    return Packer().PackUnpackInt32("IDDocChildWindow", id);
}

bool LwCmdPackUnpack::PackUnpackIndex(std::int32_t& index)
{
    return Packer().PackUnpackInt32("index", index);
}

bool LwCmdPackUnpack::PackUnpackColor(const std::string& name, LwColorRgb& color)
{
    LwPackUnpackCustom& p = Packer();
    if (!p.OpenElement(name))
        return false;
    LwColorRgb c = color;
    p.PackUnpackInt32("r", c.r);
    p.PackUnpackInt32("g", c.g);
    p.PackUnpackInt32("b", c.b);
    color.r = Clamp255(c.r);
    color.g = Clamp255(c.g);
    color.b = Clamp255(c.b);
    p.CloseElement(name);
    return true;
}

bool LwCmdPackUnpack::PackUnpackIDList(LwInt32Matrix& ids, bool base64b)
{
    return Packer().PackUnpackInt32Matrix("IDList", ids, base64b ? "bb" : "b");
}

void LwCmdPackUnpack::PackUnpackRegion(std::string& regionType, float& cx, float& cy, float& w, float& h,
                                       LwColorRgb& color, bool& isMovable, std::string& name)
{
    StringValue("regionType", regionType);
    FloatValue("cx", cx);
    FloatValue("cy", cy);
    FloatValue("w", w);
    FloatValue("h", h);
    PackUnpackColor("color", color);
    Packer().PackUnpackBool("isMovable", isMovable);
    StringValue("name", name);
}

bool LwCmdPackUnpack::PutFilenameUtf8(std::string& fileName)
{
    return StringValue("filenameUtf8", fileName);
}

bool LwCmdPackUnpack::PutCaption(std::string& caption)
{
    return StringValue("caption", caption);
}

bool LwCmdPackUnpack::PutSeriesIndexKeyDouble(DoubleMap& keys)
{
    return Packer().PackUnpackDoubleMap("SeriesIndexKeyDouble", keys);
}
