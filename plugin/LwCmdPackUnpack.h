#pragma once
// One message of the viewer protocol: a request (mode "w") or a reply (mode
// "r"), with the numbered command table.
//
// Wire format. A request is the text of the packer's tree (LwPackUnpack.h):
// the root "vra" holding one call element "i0", which holds the text "cmd"
// with the command's name, then the window id "IDDocChildWindow" when the
// command addresses a window, then the command's arguments. For example
// "Update" is sent as
//   <vra><i0><cmd>Update</cmd>\n</i0>\n</vra>\n
// (\n one line feed), without a terminating zero byte. A reply has the same
// shape with the result elements inside "i0"; it is complete when its text
// ends with "</vra>" and exactly one more character. Only the command's name
// travels; the number is the program's own key into the table.
//
// Calling order of a request: construct with "w", OpenCmd,
// SetFunctionNumber, PackUnpackWindowID (when the command addresses a
// window), the arguments, CloseCmd, then ToText of Packer(). Of a reply:
// construct with "r", Packer().FromText, OpenCmd, the results in any order,
// CloseCmd. A missing result keeps its default; a reply without "i0" (for
// example an empty one) makes CloseCmd fail.
//
// A message is used by one operation on one thread.

#include "plugin/LwPackUnpack.h"

#include <cstdint>
#include <map>
#include <string>

class LwInt32Matrix;

// The two programs carry different command tables: halvane's has 108
// entries (1 to 109 without 36), velmora's ends at 105 (104 entries).
enum class LwCommandTable { Halvane, Velmora };

// Colour of a viewer region or line; PackUnpackColor keeps each component in
// 0..255.
struct LwColorRgb
{
    std::int32_t r = 0;
    std::int32_t g = 0;
    std::int32_t b = 0;
};

class LwCmdPackUnpack : public LwPackUnpack
{
public:
    // Numbers of the commands the client and the programs send.
    enum Command : std::int32_t {
        CmdUpdate = 1,
        CmdWindowGetFocusedID = 4,
        CmdImageNewWindow = 7,
        CmdImageGet = 8,
        CmdImageSet = 9,
        CmdGetFileName = 16,
        CmdSetCaption = 17,
        CmdGetIsModeImage = 21,
        CmdRegionAdd = 27,
        CmdRegionClear = 28,
        CmdRegionGetIDList = 32,
        CmdRegionGet = 33,
        CmdRegionGetIMinMaxAverage = 43,
        CmdLineAdd = 44,
        CmdLineGetIDList = 45,
        CmdGetIsModeSeries = 48,
        CmdSeriesNewWindow = 49,
        CmdSeriesSave = 50,
        CmdSeriesGetCount = 51,
        CmdSeriesImageIndexSetWithLoadImage = 55,
        CmdSeriesImageIndexSet = 56,
        CmdSeriesImageSave = 58,
        CmdImageKeyDoubleGet = 61,
        CmdImageKeyDoubleSet = 62,
        CmdImageKeyStringGet = 63,
        CmdImageKeyStringSet = 64,
        CmdSeriesKeyDoubleGet = 65,
        CmdSeriesKeyStringGet = 67,
        CmdSeriesIndexKeyDoubleGet = 69,
        CmdSeriesIndexKeyDoubleSet = 70,
        CmdSeriesIndexKeyStringGet = 71,
        CmdSeriesIndexKeyStringSet = 72,
        CmdFIImageGetBySharedMemory = 77,
        CmdFIImageSetBySharedMemory = 78,
        CmdSeriesSaveRenew = 93,
        CmdGetIsLoaded = 104,
    };

    // `mode` "w" (request; the root "vra" is already open) or "r" (reply).
    // The table is the given program's; halvane's operations build their own
    // messages with the default.
    explicit LwCmdPackUnpack(const std::string& mode, LwCommandTable table = LwCommandTable::Halvane);
    ~LwCmdPackUnpack() override;

    // Enters the pair into both maps.
    void RegisterFunction(std::int32_t number, const std::string& name);
    // Registers the table of this message's program.
    void InitFunctionTable();

    // Writes "cmd" with the command's name. A number outside the table
    // throws "Undefiend function number" before anything is written.
    void SetFunctionNumber(std::int32_t number);
    // The number given to SetFunctionNumber, 0 before.
    std::int32_t FunctionNumber() const { return functionNumber_; }
    // The name of a number in this table, empty when it has none.
    std::string FunctionName(std::int32_t number) const;
    std::size_t FunctionCount() const { return numberToName_.size(); }
    // Whether the request's command makes something new in the viewer (a
    // window, a region, a line), so that sending it twice would make two.
    bool CreatesObject() const;

    // OpenElement / CloseElement of the call element "i0". A reply without
    // "i0" gives false, and CloseCmd fails afterwards. Errors get "/" and the
    // signatures "bool LwCmdPackUnpack::OpenCmdIndex(int32_t)" and "bool
    // LwCmdPackUnpack::OpenCmd()" (CloseCmd: "void
    // LwCmdPackUnpack::CloseCmdIndex(int32_t)", "void LwCmdPackUnpack::CloseCmd()")
    // appended; any other exception becomes "undefined err:" + signature.
    bool OpenCmd();
    void CloseCmd();

    // Int "IDDocChildWindow": the viewer's id of a document child window.
    bool PackUnpackWindowID(std::int32_t& id);
    // Int "index": an image index inside a series window.
    bool PackUnpackIndex(std::int32_t& index);
    // The element `name` holding ints "r", "g", "b". The components are
    // packed as they are, then stored back clamped to 0..255, so a request
    // carries them unclamped and the caller's colour is clamped afterwards.
    // Reading an absent element gives false and leaves the colour unchanged.
    bool PackUnpackColor(const std::string& name, LwColorRgb& color);
    // The 32-bit integer matrix "IDList" in format "b" ("bb" when asked).
    bool PackUnpackIDList(LwInt32Matrix& ids, bool base64b = false);
    // "regionType", floats "cx", "cy", "w", "h", colour "color", bool
    // "isMovable", text "name", in this order, directly in the call element.
    void PackUnpackRegion(std::string& regionType, float& cx, float& cy, float& w, float& h,
                          LwColorRgb& color, bool& isMovable, std::string& name);
    // Single elements that velmora's requests carry.
    bool PutFilenameUtf8(std::string& fileName);
    bool PutCaption(std::string& caption);
    bool PutSeriesIndexKeyDouble(DoubleMap& keys);

private:
    bool OpenCmdIndex(std::int32_t index);
    void CloseCmdIndex(std::int32_t index);

    LwCommandTable table_;
    std::map<std::string, std::int32_t> nameToNumber_;
    std::map<std::int32_t, std::string> numberToName_;
    std::string cmdKey_ = "cmd";
    std::int32_t cmdIndex_ = 0;
    std::int32_t functionNumber_ = 0;
};
