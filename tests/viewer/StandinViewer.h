#pragma once
// A stand-in for the external image viewer, for the tests of the viewer
// client and of the two graphical programs. It is test tooling and ships
// with nothing.
//
// It listens on TCP (127.0.0.1 and ::1, one port) and on a local socket, and
// answers every command that velmora and halvane send, in the reply form of
// the protocol: the root "vra" holding the call element "i0" with the result
// elements, written by the core Barn writer. It reads requests with the core
// Barn parser only; the client's packer is deliberately not used, so that a
// fault on one side cannot hide behind the same fault on the other.
//
// A request is taken from a connection's bytes as soon as its text ends in
// "</vra>" and one more character, however the bytes arrive (in pieces, or
// several requests in one read).
//
// The model: image windows (float image, number keys, text keys, caption,
// file name, regions and lines), series windows (entries with image, image
// keys, per-index keys and file name; current index; series keys; series
// file; loads that complete after a few GetIsLoaded polls), the focused
// window, and the ordered log of requests. Images cross through
// QSharedMemory blocks: ColSize, RowSize, ColBegin, RowBegin as 32-bit
// integers, then the floats row after row.
//
// Shared-memory keys and the local socket file live in Qt's temporary
// folder (TMPDIR), so tests that give each run its own TMPDIR and port can
// run in parallel.
//
// Threads: the object and its servers live on one thread (the test's, or the
// thread of StandinViewerThread). The model and the fault settings may be
// read and changed from any thread; they are guarded by one mutex.

#include "core/LwInfoMap.h"
#include "core/LwMatrix.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QIODevice;
class QLocalServer;
class QSharedMemory;
class QTcpServer;
class QThread;

namespace standin {

struct Region
{
    std::int32_t id = -1;
    bool isLine = false;
    // Region: type ("ELLIPSE", "RECTANGLE", ...), centre and size.
    std::string type;
    float cx = 0, cy = 0, w = 0, h = 0;
    // Line: end points and width.
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0, width = 0;
    std::int32_t r = 0, g = 0, b = 0;
    bool isMovable = false;
    std::string name;
};

struct SeriesEntry
{
    LwFloatMatrix image;
    LwInfoValueMap imageKeyDouble;
    LwInfoStringMap imageKeyString;
    LwInfoValueMap indexKeyDouble;
    LwInfoStringMap indexKeyString;
    // Where the image was loaded from or saved to ("SeriesImageSave").
    std::string fileName;
    bool saved = false;
    // A load of this entry fails.
    bool unloadable = false;
};

struct Window
{
    std::int32_t id = -1;
    bool isSeries = false;
    // Image window: its image and keys.
    LwFloatMatrix image;
    LwInfoValueMap keyDouble;
    LwInfoStringMap keyString;
    std::string caption;
    std::string fileName;
    std::vector<Region> regions;
    // Series window.
    std::string seriesMode;  // "image", "image3D" or "wave"
    std::string seriesPath;  // "filenameUtf8" of SeriesNewWindow / SeriesSave
    std::vector<SeriesEntry> entries;
    std::int32_t currentIndex = 0;
    LwInfoValueMap seriesKeyDouble;
    LwInfoStringMap seriesKeyString;
    std::int32_t saveCount = 0;  // SeriesSave requests
    std::int32_t renewCount = 0;  // SeriesSaveRenew requests
};

struct LoggedRequest
{
    std::string command;  // the "cmd" text, empty when the request had none
    std::int32_t windowId = -1;
    std::string text;  // the whole request text
};

// How the viewer misbehaves; all off by default.
struct Faults
{
    enum class Reply {
        Normal,
        SurplusClosingTag,  // one more "</i0>" before "</vra>"
        CutOff,  // the text is cut after its first half
        NoCallElement,  // "<vra></vra>\n": results missing
        Garbage,  // "<vra><i0" without an end
    };
    enum class Block {
        Good,
        Missing,  // the reply names a key without a block
        Tiny,  // 8 bytes
        HeaderTooLarge,  // the header claims more pixels than the block holds
        HugeHeader,  // sizes 0x7fffffff: the product overflows 32 bits
        BothNegative,  // sizes -1, -1
        OneNegative,  // sizes -1, 2
    };
    int delayMs = 0;  // each reply is written this much later
    int splitBytes = 0;  // replies go out in pieces of this many bytes
    int splitPauseMs = 5;  // pause between two pieces
    int dropReplies = 0;  // the next n requests get no reply
    bool closeOnRequest = false;  // the connection is closed instead of replying
    Reply reply = Reply::Normal;
    std::string replyText;  // when not empty, every reply is this text
    Block block = Block::Good;
    std::string getReturnCode = "ok";  // ReturnCode of FIImageGetBySharedMemory
    bool failLoads = false;  // every load reports isSuccess false
    int loadPolls = 3;  // GetIsLoaded polls until a load is done
};

class StandinViewer : public QObject
{
public:
    static constexpr std::uint16_t kDefaultPort = 14112;
    static const char* const kDefaultLocalName;  // "zyvraimage"

    explicit StandinViewer(QObject* parent = nullptr);
    ~StandinViewer() override;

    // Listens on 127.0.0.1 and ::1 at `port` (0: a free port, the same on
    // both) and on the local server `localName`, whose stale socket file is
    // removed first. An empty name leaves the local server out. False, with
    // ErrorText, when the IPv4 or the local server cannot listen; ::1 is left
    // out on a machine without IPv6.
    bool Start(std::uint16_t port, const QString& localName);
    // Closes the servers and every connection (the client sees the viewer gone).
    void Stop();
    std::uint16_t Port() const { return port_; }
    bool ListensIPv6() const { return listensIPv6_; }
    QString ErrorText() const { return errorText_; }

    // Model. Window ids start at 1; a new window gets the focus.
    std::int32_t AddImageWindow(const LwFloatMatrix& image, const LwInfoValueMap& keyDouble = {},
                                const LwInfoStringMap& keyString = {});
    std::int32_t AddSeriesWindow(const std::vector<SeriesEntry>& entries, const std::string& path);
    void SetFocused(std::int32_t id);
    std::int32_t Focused() const;
    bool HasWindow(std::int32_t id) const;
    // A copy of the window (id -1 when there is none).
    Window GetWindow(std::int32_t id) const;
    std::vector<std::int32_t> WindowIds() const;
    std::vector<LoggedRequest> Requests() const;
    std::vector<std::string> Commands() const;
    void ClearRequests();
    // Number of shared-memory blocks the viewer holds for image fetches.
    int HeldBlocks() const;

    Faults GetFaults() const;
    void SetFaults(const Faults& faults);

    // The reply text for one request text, and the effects on the model.
    // Public for tests that check replies without a connection.
    std::string Handle(const std::string& requestText);

private:
    // One request being answered (defined with the handlers).
    struct Call;
    // Answers one command: the reply's results and the effects on the model,
    // with the mutex held.
    using Handler = void (StandinViewer::*)(Call& call);
    // The handler of each command, one per command the client sends.
    static const std::map<std::string, Handler>& Handlers();

    void AnswerUpdate(Call& call);
    void AnswerWindowGetFocusedID(Call& call);
    void AnswerImageNewWindow(Call& call);
    void AnswerSeriesNewWindow(Call& call);
    void AnswerGetIsModeImage(Call& call);
    void AnswerGetIsModeSeries(Call& call);
    void AnswerImageGet(Call& call);
    void AnswerImageSet(Call& call);
    void AnswerFIImageGetBySharedMemory(Call& call);
    void AnswerFIImageSetBySharedMemory(Call& call);
    void AnswerSetCaption(Call& call);
    void AnswerGetFileName(Call& call);
    void AnswerRegionAdd(Call& call);
    void AnswerLineAdd(Call& call);
    void AnswerRegionClear(Call& call);
    void AnswerRegionGetIDList(Call& call);
    void AnswerLineGetIDList(Call& call);
    void AnswerRegionGet(Call& call);
    void AnswerRegionGetIMinMaxAverage(Call& call);
    void AnswerImageKeyDoubleGet(Call& call);
    void AnswerImageKeyDoubleSet(Call& call);
    void AnswerImageKeyStringGet(Call& call);
    void AnswerImageKeyStringSet(Call& call);
    void AnswerSeriesKeyDoubleGet(Call& call);
    void AnswerSeriesKeyDoubleSet(Call& call);
    void AnswerSeriesKeyStringGet(Call& call);
    void AnswerSeriesKeyStringSet(Call& call);
    void AnswerSeriesIndexKeyDoubleGet(Call& call);
    void AnswerSeriesIndexKeyDoubleSet(Call& call);
    void AnswerSeriesIndexKeyStringGet(Call& call);
    void AnswerSeriesIndexKeyStringSet(Call& call);
    void AnswerSeriesGetCount(Call& call);
    void AnswerSeriesImageIndexSet(Call& call);
    void AnswerSeriesImageIndexSetWithLoadImage(Call& call);
    void AnswerGetIsLoaded(Call& call);
    void AnswerSeriesImageSave(Call& call);
    void AnswerSeriesSave(Call& call);
    void AnswerSeriesSaveRenew(Call& call);

    // Shared by the handlers: a new window with the next id, focused; a
    // region or line with the request's colour, movability and name; the ids
    // of the window's regions or lines; the region "RegionID" names (null,
    // with ReturnCode, when there is none).
    std::int32_t NewWindow(Window window);
    void AddRegion(Call& call, Region region);
    void ReplyIdList(Call& call, bool lines);
    const Region* RequestedRegion(Call& call);

    void OnNewTcpConnection(QTcpServer* server);
    void OnNewLocalConnection();
    void Attach(QIODevice* device);
    void OnReadyRead(QIODevice* device);
    void SendReply(QIODevice* device, std::string reply);

    mutable std::mutex mutex_;
    std::map<std::int32_t, Window> windows_;
    std::int32_t nextWindowId_ = 1;
    std::int32_t nextRegionId_ = 1;
    std::int32_t focused_ = -1;
    std::vector<LoggedRequest> requests_;
    Faults faults_;
    // Load in progress: polls left and its result.
    int loadPollsLeft_ = 0;
    bool loadSuccess_ = true;
    // Blocks created for image fetches; the previous ones are released when
    // a new one is made, and all when the viewer ends.
    std::vector<std::unique_ptr<QSharedMemory>> blocks_;
    std::uint64_t blockSerial_ = 0;

    QTcpServer* tcp4_ = nullptr;
    QTcpServer* tcp6_ = nullptr;
    QLocalServer* local_ = nullptr;
    std::uint16_t port_ = 0;
    bool listensIPv6_ = false;
    QString errorText_;
    std::map<QIODevice*, std::string> pending_;
};

// A stand-in running on a thread of its own, so that it answers while the
// client blocks in a wait. The viewer is made, started and destroyed on that
// thread.
class StandinViewerThread
{
public:
    StandinViewerThread();
    ~StandinViewerThread();
    StandinViewerThread(const StandinViewerThread&) = delete;
    StandinViewerThread& operator=(const StandinViewerThread&) = delete;

    bool Start(std::uint16_t port, const QString& localName);
    void Stop();
    StandinViewer& Viewer() { return *viewer_; }

private:
    std::unique_ptr<QThread> thread_;
    QObject* context_ = nullptr;
    StandinViewer* viewer_ = nullptr;
};

// Image block helpers of the stand-in (its own code, not the client's).
// Writes `image` into a new block of `key`; false when it cannot be created.
bool WriteImageBlock(QSharedMemory& block, const QString& key, const LwFloatMatrix& image);
// Reads the block of `key` into `image`; an empty text on success, else why
// not (and `image` is left as it was).
std::string ReadImageBlock(const QString& key, LwFloatMatrix& image);

}  // namespace standin
