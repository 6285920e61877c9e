#pragma once
// The client of the external image viewer ZYVRA-IMAGE. Each graphical
// program holds exactly one, in its main window.
//
// Start-up, in main (LwPluginStartUp does steps 2 to 5):
//   1. InitMenuAdd: the program's menu entry;
//   2. InitSetCmdline: "-P" port (TCP), "-L" local server name;
//   3. InitMenuFileWrite: "<program path without extension>.menu";
//   4. velmora only: SetUseLocalSocket(true);
//   5. Connect: five tries of up to 1000 ms; a failure is swallowed: the
//      program runs without a viewer, and every request connects again first.
//
// Every viewer command is one synchronous exchange (SubSendRecv): the request
// text is written to the transport and the client polls for the reply,
// pausing 10 ms between polls while the application's events keep running,
// until the reply text ends in "</vra>" and one more character. Reply bytes
// that arrive end a pause early, so a prompt reply is taken at once. An event
// handler that calls the client during a wait is refused with "SYSTEM
// ERROR:Function is doublly called"; a program keeps its users from getting
// there by installing a wait observer (SetWaitObserver), which shows the wait,
// holds off their input and may cancel it. Bytes that arrived outside an
// exchange (a late reply, also one to a cancelled request) are dropped before
// a request goes out, and a connection that is down (no viewer at start-up,
// a viewer that was closed or restarted) is made again first. A request is
// sent up to 3 times, waiting 5000 polls (about 50 to 100 s) each, except a
// request that makes a window, region or line, which is sent once.
//
// The errors that the user meets say first, in words, what went wrong and
// where the viewer was looked for, then give the exchange's own text:
//   "The image viewer is not reachable (local socket zyvraimage)\nSocket is not active"
//   "The image viewer did not answer in time (port 14112)\nNo reply from ZYVRA-IMAGE"
//   "Sending to the image viewer was cancelled (port 14112)\nCANCELED"
//
// Errors are LwError. Wrapping operations append "/" and their signature
// text (the texts are given with each operation below); an exchange error
// reads, for example,
//   "Socket is not active/void LwPluginFuncZyvra::SubSendRecv(LwCmdPackUnpack&, LwCmdPackUnpack&)"
// (after the words above) and from UpdateAll with "/void
// LwPluginFuncZyvra::UpdateAll()" appended.
//
// Images cross through shared-memory blocks: ColSize, RowSize, ColBegin,
// RowBegin as 32-bit integers, then the float pixels row after row
// (16 + 4 x ColSize x RowSize bytes). The client keeps the block of its last
// image send until its next send or its end, for the viewer to read.
//
// GUI thread only; nothing is locked.

#include "core/LwMatrix.h"
#include "plugin/LwCmdPackUnpack.h"

#include <QElapsedTimer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class LwBarnXml;
class LwCommonClientSocket;
class LwInt32Matrix;
class LwWaitObserver;
class QSharedMemory;

// One entry of the plug-in menu file, through which the viewer lists and
// starts the program.
struct LwPluginMenuEntry
{
    std::string Title;
    std::string TitleSubmenu;  // may be empty
    std::string TitleMenu;
    std::string Exe;  // the program's file name, set by InitMenuFileWrite
    std::string Parameter;  // the command-line parameter to start it with
};

// The element "i" of a menu list, both directions; false in read mode when
// no entry is left.
bool SerializeMenuEntry(LwPluginMenuEntry& entry, LwBarnXml& doc, const std::string& itemName);

class LwPluginFuncZyvra
{
public:
    using DoubleMap = LwPackUnpack::DoubleMap;
    using StringMap = LwPackUnpack::StringMap;

    static constexpr std::int32_t kDefaultPort = 14112;
    static constexpr int kDefaultSends = 3;
    static constexpr int kDefaultPollsPerSend = 5000;

    // Host "localhost", port 14112, local server "zyvraimage", TCP, images
    // through shared memory, halvane's command table; starts the clock whose
    // milliseconds name the image blocks.
    LwPluginFuncZyvra();
    // Closes and destroys the transport; releases the last image block.
    virtual ~LwPluginFuncZyvra();
    LwPluginFuncZyvra(const LwPluginFuncZyvra&) = delete;
    LwPluginFuncZyvra& operator=(const LwPluginFuncZyvra&) = delete;

    // ---- The program's settings -------------------------------------------
    // velmora: LwCommandTable::Velmora. The table of every message the client
    // makes; halvane's table also refuses empty images in ImageSet.
    void SetCommandTable(LwCommandTable table) { table_ = table; }
    LwCommandTable CommandTable() const { return table_; }
    // velmora: true (local socket); halvane: false (TCP). Set before the
    // first use of the transport.
    void SetUseLocalSocket(bool use) { useLocalSocket_ = use; }
    bool UseLocalSocket() const { return useLocalSocket_; }
    // Images through shared memory (true, both programs) or inside the
    // message as a base64 matrix element.
    void SetUseSharedMemory(bool use) { useSharedMemory_ = use; }
    bool UseSharedMemory() const { return useSharedMemory_; }
    void SetHost(const QString& host) { host_ = host; }
    const QString& Host() const { return host_; }
    std::int32_t Port() const { return port_; }
    const QString& LocalServerName() const { return localServerName_; }
    const std::string& ProgramPath() const { return programPath_; }

    // ---- Start-up ---------------------------------------------------------
    // Appends a menu entry (Exe empty). Wraps with "void
    // LwPluginFuncZyvra::InitMenuAdd(std::__cxx11::string,
    // std::__cxx11::string, std::__cxx11::string, std::__cxx11::string)".
    void InitMenuAdd(const std::string& parameter, const std::string& titleMenu,
                     const std::string& titleSubmenu, const std::string& title);
    const std::vector<LwPluginMenuEntry>& MenuEntries() const { return menuEntries_; }
    // The program path becomes argv[0]; for i = 1 .. argc - 2, "-P" sets the
    // port from the integer at the start of argv[i + 1] and "-L" the local
    // server name (UTF-8); a later occurrence wins. A port outside 1..65535
    // is refused: the port keeps its value and, after the whole line was
    // read, LwError "Port number is out of range (1 to 65535): <text>" (or,
    // for a value that does not begin with digits, "Port number is not a
    // number: <text>") is thrown, wrapped with "void
    // LwPluginFuncZyvra::InitSetCmdline(int, char**)".
    void InitSetCmdline(int argc, char** argv);
    // Writes the menu file: the program path with its extension replaced by
    // ".menu", a Barn document with the root "ZYVRA-MENU" holding the loader
    // extensions "FileLoaderExtWithComma_" and the entries "menuList". A
    // file that cannot be written throws "The menu file through which the
    // image viewer lists this program cannot be written\nCannot File Open
    // <name>", wrapped with "void LwPluginFuncZyvra::InitMenuFileWrite()".
    void InitMenuFileWrite();
    // The transport, made on first use from the current settings (copied).
    LwCommonClientSocket& GetSocket();
    // Connects unless connected (5 tries of up to 1000 ms); LwError
    // "ZYVRA-IMAGE main window is not found." when that fails.
    void SubConnect();
    // SubConnect with every error swallowed; whether connected.
    bool Connect();
    bool IsConnected();
    // How many connections were made so far: a window id is that of the
    // viewer of the connection it was made on.
    std::uint64_t ConnectionCount() const { return connections_; }

    // ---- The exchange -----------------------------------------------------
    // Connects first when the connection is down (SubConnect), then sends
    // `request` (its text) and fills `reply` with the reply text.
    // Errors (with "/void LwPluginFuncZyvra::SubSendRecv(LwCmdPackUnpack&,
    // LwCmdPackUnpack&)"): "SYSTEM ERROR:Function is doublly called" while
    // another exchange waits (that one goes on); the viewer not reachable,
    // before the request or during its wait (ending "Socket is not active",
    // also printed as "SOCKET IS NOT ACTIVE. \n" on standard output);
    // "Sending to the image viewer was cancelled (<place>)\nCANCELED" when
    // SetCancel(true) was called or the wait observer cancelled during the
    // wait; the viewer not answering in time (ending
    // "No reply from ZYVRA-IMAGE"); and the parser's "Illigal Tag Structure".
    void SubSendRecv(LwCmdPackUnpack& request, LwCmdPackUnpack& reply);
    // The same; errors pass on unchanged.
    void SendRecv(LwCmdPackUnpack& request, LwCmdPackUnpack& reply);
    bool IsBusy() const { return busy_; }
    // Ends the waiting exchange with "CANCELED"; cleared when one starts.
    void SetCancel(bool cancel) { cancel_ = cancel; }
    bool IsCancel() const { return cancel_; }
    // The last request text and what arrived of the last reply.
    const std::string& RequestText() const { return requestText_; }
    const std::string& ReplyText() const { return replyText_; }
    // Sends per request and polls per send (3 and 5000); for tests.
    void SetExchangeLimits(int sends, int pollsPerSend);
    // Told of every exchange's wait (not owned; nullptr: none, the default).
    // It must outlive the client's exchanges.
    void SetWaitObserver(LwWaitObserver* observer) { waitObserver_ = observer; }
    // Where the viewer is looked for, in words: "local socket <name>" or
    // "port <port>".
    std::string ViewerPlace() const;

    // ---- Images (shared memory) -------------------------------------------
    // The window's image; NaN pixels become 0 when `nanToZero`. Wraps with
    // "void LwPluginFuncZyvra::ImageGet(int32_t, LwFloatMatrix&, bool)".
    void ImageGet(std::int32_t window, LwFloatMatrix& image, bool nanToZero);
    // "FIImageGetBySharedMemory": the viewer fills a block and names it under
    // "key"; the block is attached read-only, checked and copied. Errors:
    // the "ReturnCode" text when it is not "ok" (empty when absent); "Cannot
    // attach to Shared Memory<key>"; "NO DATA" for a block under 16 bytes or
    // shorter than its header's image; "matrix creation Parameter Error"
    // (both sizes negative), "Matrix Parameter Error" (one). Wraps with "void
    // LwPluginFuncZyvra::ImageGetBySharedMemory(int32_t, LwFloatMatrix&)".
    // `image` changes only on success.
    void ImageGetBySharedMemory(std::int32_t window, LwFloatMatrix& image);
    // "FIImageSetBySharedMemory" with a new block of key "IMAGESET", the
    // client's milliseconds, "_", the process id, "_" and a serial number
    // (unique in the process and between processes). halvane's table
    // refuses an empty image with "Image size is Zero" before sending;
    // "Shared Memory cannot create" when the block cannot be made.
    void ImageSet(std::int32_t window, const LwFloatMatrix& image);
    // The key of the block of the last ImageSet (empty before).
    const std::string& LastImageKey() const { return lastImageKey_; }

    // ---- Command operations -----------------------------------------------
    // Window ids, region ids, indices and counts are those of the viewer; an
    // id that the reply lacks reads as -1.
    // "Update"; wraps with "void LwPluginFuncZyvra::UpdateAll()".
    void UpdateAll();
    std::int32_t WindowGetFocusedID();
    // Prints "ImageNewWindow()\n" on standard output first; wraps with
    // "int32_t LwPluginFuncZyvra::ImageNewWindow()". When an earlier
    // ImageNewWindow went out and its wait gave up (cancelled, timed out),
    // an Update is sent first: a late reply to the earlier one, which comes
    // before the Update's, names the window the viewer made after all, and
    // that window is returned (when still an image window) instead of a new
    // one, so that no empty window is left behind.
    std::int32_t ImageNewWindow();
    void SetCaption(std::int32_t window, const std::string& caption);
    // false when the reply lacks "isModeImage".
    bool GetIsModeImage(std::int32_t window);
    // false when the reply lacks "isModeSeries".
    bool GetIsModeSeries(std::int32_t window);
    // The colour is sent as given (the viewer clamps).
    std::int32_t RegionAdd(std::int32_t window, const std::string& regionType, float cx, float cy, float w,
                           float h, LwColorRgb color, bool isMovable);
    void RegionClear(std::int32_t window);
    // Nothing is sent, and nothing changes, when an id is negative; results
    // that the reply lacks keep their values.
    virtual void RegionGetIMinMaxAverage(std::int32_t window, std::int32_t region, float& min, float& max,
                                         float& average);
    virtual std::int32_t LineAdd(std::int32_t window, float x0, float y0, float x1, float y1, float width,
                                 LwColorRgb color, bool isMovable, const std::string& name);
    virtual void LineGetIDList(std::int32_t window, LwInt32Matrix& ids);
    // `mode` "image", "image3D" or "wave", else "Error:Please set right
    // windowMode" before anything is sent. As ImageNewWindow, it takes the
    // series window an earlier, given-up request for the same file and mode
    // made late, when that is still a series window.
    std::int32_t SeriesNewWindow(const std::string& fileNameUtf8, const std::string& mode);
    void SeriesSave(std::int32_t window, const std::string& fileNameUtf8);
    // 0 when the reply lacks "count".
    std::int32_t SeriesGetCount(std::int32_t window);
    void SeriesImageIndexSet(std::int32_t window, std::int32_t index);
    void SeriesImageSave(std::int32_t window, std::int32_t index, const std::string& fileNameUtf8);
    // The Get operations empty the map first: a reply without it gives an
    // empty map.
    void ImageKeyDoubleGet(std::int32_t window, DoubleMap& keys);
    void ImageKeyDoubleSet(std::int32_t window, const DoubleMap& keys);
    void ImageKeyStringGet(std::int32_t window, StringMap& keys);
    void ImageKeyStringSet(std::int32_t window, const StringMap& keys);
    void SeriesKeyDoubleGet(std::int32_t window, DoubleMap& keys);
    void SeriesIndexKeyDoubleSet(std::int32_t window, std::int32_t index, const DoubleMap& keys);
    // "ReturnCode" other than "ok" fails with its text (empty when absent)
    // and leaves both flags; wraps with "void
    // LwPluginFuncZyvra::GetIsLoaded(bool&, bool&)".
    void GetIsLoaded(bool& isLoaded, bool& isSuccess);
    // One request of `command`, packed with this client's command table:
    // the window id when `window` is given, then what `args` packs;
    // `results` reads the reply inside its call element (the reply is not
    // opened without it). Errors are those of SendRecv and of the reply's
    // parsing. For a command without a method of its own. The reply of a
    // series command (48 to 60, 65 to 72, 93 to 97) is checked: a
    // "ReturnCode" other than "ok" (a window or entry the viewer does not
    // have) fails with "The image viewer refused <command> (window <id>):
    // <code>".
    void Call(std::int32_t command, const std::int32_t* window,
              const std::function<void(LwCmdPackUnpack&)>& args,
              const std::function<void(LwCmdPackUnpack&)>& results);

private:
    // When a request that makes a window went unanswered: a first whole
    // message of `text` that names a window is its late reply; the id is
    // kept for the next request of the same kind, the message taken off
    // `text`, and true returned.
    bool TakeLateNewWindowReply(std::string& text);
    // The window a given-up request made late, when it was `request` (the
    // kind, and for a series its mode and file); -1 otherwise. Flushes the
    // late reply first.
    std::int32_t TakeLateNewWindow(const std::string& request);
    // `command`, which makes a window, marked as `request` when its reply is
    // given up on after it went out.
    std::int32_t CallMakingWindow(const std::string& request, std::int32_t command,
                                  const std::function<void(LwCmdPackUnpack&)>& args);
    // One read and the completion test.
    bool RecvMsg();
    bool IsMessageReceived() const;
    // The pause of one poll: up to 10 ms, ended early by arriving bytes.
    void PollPause();
    std::string NewImageKey();
    // Connects unless connected; the not-reachable error when that fails.
    void EnsureConnected();
    [[noreturn]] void ThrowLost();

    std::vector<LwPluginMenuEntry> menuEntries_;
    std::vector<std::string> loaderExtensions_;
    QString host_ = "localhost";
    std::int32_t port_ = kDefaultPort;
    QString localServerName_ = "zyvraimage";
    std::unique_ptr<LwCommonClientSocket> socket_;
    std::string programPath_;
    std::string requestText_;
    std::string replyText_;
    bool busy_ = false;
    bool useSharedMemory_ = true;
    bool cancel_ = false;
    QElapsedTimer clock_;
    bool useLocalSocket_ = false;
    LwCommandTable table_ = LwCommandTable::Halvane;
    int sends_ = kDefaultSends;
    int pollsPerSend_ = kDefaultPollsPerSend;
    LwWaitObserver* waitObserver_ = nullptr;
    std::unique_ptr<QSharedMemory> imageBlock_;
    std::string lastImageKey_;
    std::uint64_t imageSerial_ = 0;
    std::uint64_t connections_ = 0;
    // Whether the last exchange wrote its request.
    bool requestWritten_ = false;
    // A request that makes a window ("image", or "series <mode> <file>")
    // was sent and its reply given up on (its window may come late): empty
    // when none; the id its late reply named (-1: none) and its request.
    std::string unansweredNewWindow_;
    bool flushingLateReply_ = false;
    std::int32_t lateNewWindow_ = -1;
    std::string lateNewWindowRequest_;
};

// Steps 2 to 5 of the start-up (see the top of this file) for a client whose
// menu entry is registered. A refused port or an unwritable menu file (the
// program's folder is often read-only) is reported on Qt's warning output
// and the start-up goes on. Returns the reported texts (empty when all went
// well), which the programs show in their error box (ShowStartUpReports);
// whether the viewer was found is IsConnected().
std::vector<std::string> LwPluginStartUp(LwPluginFuncZyvra& client, int argc, char** argv,
                                         bool useLocalSocket);
