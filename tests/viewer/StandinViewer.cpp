#include "StandinViewer.h"

#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "core/LwMatrixBarn.h"
#include "core/LwMemoryPages.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QSharedMemory>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace standin {

const char* const StandinViewer::kDefaultLocalName = "zyvraimage";

namespace {

const std::string kEndTag = "</vra>";
constexpr std::int64_t kHeaderBytes = 16;

// Reply texts are built with the core Barn writer: "vra" holding "i0".
class ReplyWriter
{
public:
    ReplyWriter() : doc_("w")
    {
        doc_.OpenRack("vra");
        doc_.OpenRack("i0");
    }
    LwBarnXml& Doc() { return doc_; }
    void Int(const std::string& name, std::int32_t v)
    {
        int x = v;
        doc_.ValueInt(name, x, 0);
    }
    void Float(const std::string& name, float v) { doc_.ValueFloat(name, v, 0.0f); }
    void Bool(const std::string& name, bool v) { doc_.ValueBool(name, v, false); }
    void Text(const std::string& name, std::string v) { doc_.ValueString(name, v, std::string()); }
    std::string Finish()
    {
        doc_.CloseRack("i0");
        doc_.CloseRack("vra");
        std::string text;
        doc_.ToString(text);
        return text;
    }

private:
    LwBarnXml doc_;
};

// A request parsed by the core Barn reader, positioned inside "i0".
class RequestReader
{
public:
    explicit RequestReader(const std::string& text) : doc_("r")
    {
        doc_.FromString(text);
        if (!doc_.OpenRack("vra"))
            throw LwError("no vra");
        if (!doc_.OpenRack("i0"))
            throw LwError("no i0");
    }
    std::string Text(const std::string& name)
    {
        std::string v;
        doc_.ValueString(name, v, std::string());
        return v;
    }
    std::int32_t Int(const std::string& name, std::int32_t def = -1)
    {
        int v = def;
        doc_.ValueInt(name, v, def);
        return v;
    }
    float Float(const std::string& name)
    {
        float v = 0;
        doc_.ValueFloat(name, v, 0.0f);
        return v;
    }
    bool Bool(const std::string& name)
    {
        bool v = false;
        doc_.ValueBool(name, v, false);
        return v;
    }
    void Color(std::int32_t& r, std::int32_t& g, std::int32_t& b)
    {
        if (!doc_.OpenRack("color"))
            return;
        r = Int("r", 0);
        g = Int("g", 0);
        b = Int("b", 0);
        doc_.CloseRack("color");
    }
    LwBarnXml& Doc() { return doc_; }

private:
    LwBarnXml doc_;
};

// Index of a complete request in `buffer`: the length up to "</vra>" and one
// more character, or 0 when no request is complete yet.
std::size_t CompleteLength(const std::string& buffer)
{
    const std::size_t at = buffer.find(kEndTag);
    if (at == std::string::npos || buffer.size() < at + kEndTag.size() + 1)
        return 0;
    return at + kEndTag.size() + 1;
}

std::string Malformed(const std::string& reply, Faults::Reply kind)
{
    switch (kind) {
    case Faults::Reply::Normal: return reply;
    case Faults::Reply::SurplusClosingTag: {
        std::string text = reply;
        const std::size_t at = text.rfind(kEndTag);
        text.insert(at, "</i0>\n");
        return text;
    }
    case Faults::Reply::CutOff: return reply.substr(0, reply.size() / 2);
    case Faults::Reply::NoCallElement: return "<vra></vra>\n";
    case Faults::Reply::Garbage: return "<vra><i0";
    }
    return reply;
}

// Minimum, maximum and mean of the image pixels inside a region (ellipse or
// rectangle around its centre); zeros when none is inside.
void RegionStatistics(const LwFloatMatrix& image, const Region& region, float& mn, float& mx, float& average)
{
    mn = 0;
    mx = 0;
    average = 0;
    double sum = 0;
    std::int64_t n = 0;
    const bool ellipse = region.type == "ELLIPSE";
    const double rx = region.w / 2.0, ry = region.h / 2.0;
    for (int row = image.RowBegin; row < image.RowBegin + image.RowSize; ++row) {
        for (int col = image.ColBegin; col < image.ColBegin + image.ColSize; ++col) {
            const double dx = col - region.cx, dy = row - region.cy;
            bool inside;
            if (ellipse)
                inside = rx > 0 && ry > 0 && (dx * dx) / (rx * rx) + (dy * dy) / (ry * ry) <= 1.0;
            else
                inside = std::fabs(dx) <= rx && std::fabs(dy) <= ry;
            if (!inside)
                continue;
            const float v = image(col, row);
            if (n == 0)
                mn = mx = v;
            mn = std::min(mn, v);
            mx = std::max(mx, v);
            sum += v;
            ++n;
        }
    }
    if (n > 0)
        average = static_cast<float>(sum / n);
}

}  // namespace

bool WriteImageBlock(QSharedMemory& block, const QString& key, const LwFloatMatrix& image)
{
    const std::int64_t count = static_cast<std::int64_t>(image.ColSize) * image.RowSize;
    // QSharedMemory reaches its System V segment through ftok(), which keeps
    // only 16 bits of an inode: a clash with another process's segment is
    // answered with a suffixed key (the reply names the key actually used).
    bool created = false;
    for (int attempt = 0; attempt < 8 && !created; ++attempt) {
        block.setKey(attempt == 0 ? key : key + QStringLiteral("_%1").arg(attempt));
        created = block.create(static_cast<int>(kHeaderBytes + 4 * count));
        if (!created && block.error() != QSharedMemory::AlreadyExists)
            return false;
    }
    if (!created)
        return false;
    block.lock();
    auto* bytes = static_cast<char*>(block.data());
    LwMemoryPages::Prefault(bytes, static_cast<std::size_t>(kHeaderBytes + 4 * count),
                            LwMemoryPages::Access::Write);
    const std::int32_t header[4] = {image.ColSize, image.RowSize, image.ColBegin, image.RowBegin};
    std::memcpy(bytes, header, sizeof header);
    if (count > 0)
        std::memcpy(bytes + kHeaderBytes, image.Buffer(), 4 * count);
    block.unlock();
    return true;
}

std::string ReadImageBlock(const QString& key, LwFloatMatrix& image)
{
    QSharedMemory block(key);
    if (!block.attach(QSharedMemory::ReadOnly))
        return "Cannot attach " + key.toStdString();
    std::string error;
    if (block.size() < kHeaderBytes) {
        error = "block under 16 bytes";
    } else {
        block.lock();
        std::int32_t header[4];
        std::memcpy(header, block.constData(), sizeof header);
        const std::int64_t count = static_cast<std::int64_t>(header[0]) * header[1];
        if (header[0] < 0 || header[1] < 0 || count > (block.size() - kHeaderBytes) / 4) {
            error = "bad block header";
        } else {
            LwMemoryPages::Prefault(block.constData(), static_cast<std::size_t>(kHeaderBytes + 4 * count),
                                    LwMemoryPages::Access::Read);
            image.Create(header[0], header[1]);
            image.ColBegin = header[2];
            image.RowBegin = header[3];
            if (count > 0)
                std::memcpy(image.Buffer(), static_cast<const char*>(block.constData()) + kHeaderBytes,
                            4 * count);
        }
        block.unlock();
    }
    block.detach();
    return error;
}

StandinViewer::StandinViewer(QObject* parent) : QObject(parent) {}

StandinViewer::~StandinViewer()
{
    Stop();
}

bool StandinViewer::Start(std::uint16_t port, const QString& localName)
{
    Stop();
    // With port 0 the IPv4 server picks a free port; ::1 must get the same
    // one, so a port taken there by someone else means trying again.
    for (int attempt = 0; attempt < 20; ++attempt) {
        tcp4_ = new QTcpServer(this);
        if (!tcp4_->listen(QHostAddress::LocalHost, port)) {
            errorText_ = tcp4_->errorString();
            Stop();
            return false;
        }
        port_ = tcp4_->serverPort();
        tcp6_ = new QTcpServer(this);
        listensIPv6_ = tcp6_->listen(QHostAddress::LocalHostIPv6, port_);
        if (listensIPv6_ || tcp6_->serverError() != QAbstractSocket::AddressInUseError || port != 0)
            break;
        delete tcp4_;
        delete tcp6_;
        tcp4_ = tcp6_ = nullptr;
    }
    if (!listensIPv6_) {
        delete tcp6_;
        tcp6_ = nullptr;
    }
    for (QTcpServer* server : {tcp4_, tcp6_}) {
        if (server == nullptr)
            continue;
        connect(server, &QTcpServer::newConnection, this, [this, server] { OnNewTcpConnection(server); });
    }
    if (!localName.isEmpty()) {
        QLocalServer::removeServer(localName);
        local_ = new QLocalServer(this);
        if (!local_->listen(localName)) {
            errorText_ = local_->errorString();
            Stop();
            return false;
        }
        connect(local_, &QLocalServer::newConnection, this, [this] { OnNewLocalConnection(); });
    }
    return true;
}

void StandinViewer::Stop()
{
    for (auto& entry : pending_) {
        entry.first->disconnect(this);
        entry.first->close();
        entry.first->deleteLater();
    }
    pending_.clear();
    delete tcp4_;
    delete tcp6_;
    delete local_;  // removes the socket file
    tcp4_ = tcp6_ = nullptr;
    local_ = nullptr;
    listensIPv6_ = false;
    std::lock_guard<std::mutex> lock(mutex_);
    blocks_.clear();
}

void StandinViewer::OnNewTcpConnection(QTcpServer* server)
{
    while (QTcpSocket* socket = server->nextPendingConnection())
        Attach(socket);
}

void StandinViewer::OnNewLocalConnection()
{
    while (QLocalSocket* socket = local_->nextPendingConnection())
        Attach(socket);
}

void StandinViewer::Attach(QIODevice* device)
{
    // The sockets belong to their server; the viewer closes them in Stop.
    pending_[device] = std::string();
    connect(device, &QIODevice::readyRead, this, [this, device] { OnReadyRead(device); });
    auto forget = [this, device] { pending_.erase(device); };
    connect(device, &QObject::destroyed, this, forget);
    if (auto* tcp = qobject_cast<QTcpSocket*>(device))
        connect(tcp, &QTcpSocket::disconnected, tcp, &QObject::deleteLater);
    if (auto* local = qobject_cast<QLocalSocket*>(device))
        connect(local, &QLocalSocket::disconnected, local, &QObject::deleteLater);
    if (device->bytesAvailable() > 0)
        OnReadyRead(device);
}

void StandinViewer::OnReadyRead(QIODevice* device)
{
    auto it = pending_.find(device);
    if (it == pending_.end())
        return;
    const QByteArray bytes = device->readAll();
    it->second.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    // Every complete request in the buffer, in order; a partial one waits.
    while (true) {
        auto cur = pending_.find(device);
        if (cur == pending_.end())
            return;
        const std::size_t n = CompleteLength(cur->second);
        if (n == 0)
            return;
        const std::string request = cur->second.substr(0, n);
        cur->second.erase(0, n);
        SendReply(device, Handle(request));
    }
}

void StandinViewer::SendReply(QIODevice* device, std::string reply)
{
    Faults faults;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (faults_.dropReplies > 0) {
            --faults_.dropReplies;
            return;
        }
        faults = faults_;
    }
    if (faults.closeOnRequest) {
        device->close();
        return;
    }
    reply = faults.replyText.empty() ? Malformed(reply, faults.reply) : faults.replyText;
    QPointer<QIODevice> target(device);
    auto write = [target](const std::string& text) {
        if (target && target->isOpen())
            target->write(text.data(), static_cast<qint64>(text.size()));
    };
    const int piece = faults.splitBytes > 0 ? faults.splitBytes : static_cast<int>(reply.size());
    int at = 0;
    int when = faults.delayMs;
    do {
        const std::string chunk = reply.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(piece));
        if (when == 0)
            write(chunk);
        else
            QTimer::singleShot(when, this, [write, chunk] { write(chunk); });
        at += piece;
        when += faults.splitBytes > 0 ? faults.splitPauseMs : 0;
    } while (at < static_cast<int>(reply.size()));
}

std::int32_t StandinViewer::AddImageWindow(const LwFloatMatrix& image, const LwInfoValueMap& keyDouble,
                                           const LwInfoStringMap& keyString)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Window w;
    w.id = nextWindowId_++;
    w.image = image;
    w.keyDouble = keyDouble;
    w.keyString = keyString;
    focused_ = w.id;
    windows_[w.id] = w;
    return w.id;
}

std::int32_t StandinViewer::AddSeriesWindow(const std::vector<SeriesEntry>& entries, const std::string& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Window w;
    w.id = nextWindowId_++;
    w.isSeries = true;
    w.seriesMode = "image";
    w.seriesPath = path;
    w.entries = entries;
    focused_ = w.id;
    windows_[w.id] = w;
    return w.id;
}

void StandinViewer::SetFocused(std::int32_t id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    focused_ = id;
}

std::int32_t StandinViewer::Focused() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return focused_;
}

bool StandinViewer::HasWindow(std::int32_t id) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return windows_.count(id) != 0;
}

Window StandinViewer::GetWindow(std::int32_t id) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = windows_.find(id);
    return it == windows_.end() ? Window() : it->second;
}

std::vector<std::int32_t> StandinViewer::WindowIds() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::int32_t> ids;
    for (const auto& entry : windows_)
        ids.push_back(entry.first);
    return ids;
}

std::vector<LoggedRequest> StandinViewer::Requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<std::string> StandinViewer::Commands() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> names;
    for (const LoggedRequest& r : requests_)
        names.push_back(r.command);
    return names;
}

void StandinViewer::ClearRequests()
{
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

int StandinViewer::HeldBlocks() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(blocks_.size());
}

Faults StandinViewer::GetFaults() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return faults_;
}

void StandinViewer::SetFaults(const Faults& faults)
{
    std::lock_guard<std::mutex> lock(mutex_);
    faults_ = faults;
}

// One request being answered: its reader and reply, its command, the window
// it names (null when none) and the image and key maps an image command
// addresses: the window's own, or the current entry's for a series window
// (made when the index runs past the end, whatever the command).
struct StandinViewer::Call
{
    Call(RequestReader& request, ReplyWriter& replyWriter, Window* window)
        : req(request), reply(replyWriter), win(window)
    {
        if (win == nullptr)
            return;
        if (win->isSeries) {
            SeriesEntry& e = Current();
            image = &e.image;
            keyDouble = &e.imageKeyDouble;
            keyString = &e.imageKeyString;
        } else {
            image = &win->image;
            keyDouble = &win->keyDouble;
            keyString = &win->keyString;
        }
    }

    // The current entry of the series window.
    SeriesEntry& Current()
    {
        if (win->currentIndex >= static_cast<std::int32_t>(win->entries.size()))
            win->entries.resize(static_cast<std::size_t>(win->currentIndex) + 1);
        return win->entries[static_cast<std::size_t>(win->currentIndex)];
    }

    // Entry `index` of the series window, made when past the end; null for
    // no series window or a negative index.
    SeriesEntry* EntryAt(std::int32_t index)
    {
        if (win == nullptr || !win->isSeries || index < 0)
            return nullptr;
        if (index >= static_cast<std::int32_t>(win->entries.size()))
            win->entries.resize(static_cast<std::size_t>(index) + 1);
        return &win->entries[static_cast<std::size_t>(index)];
    }

    // Entry "index" of the request; null, with the reply's ReturnCode, when
    // there is none.
    SeriesEntry* RequestedEntry()
    {
        SeriesEntry* e = EntryAt(req.Int("index"));
        if (e == nullptr)
            reply.Text("ReturnCode", "Series index is not found");
        return e;
    }

    // False, with the reply's ReturnCode, when the request names no window.
    bool NeedWindow()
    {
        if (win == nullptr) {
            reply.Text("ReturnCode", "Window is not found");
            return false;
        }
        return true;
    }

    RequestReader& req;
    ReplyWriter& reply;
    Window* win;
    LwFloatMatrix* image = nullptr;
    LwInfoValueMap* keyDouble = nullptr;
    LwInfoStringMap* keyString = nullptr;
};

const std::map<std::string, StandinViewer::Handler>& StandinViewer::Handlers()
{
    static const std::map<std::string, Handler> handlers = {
        {"Update", &StandinViewer::AnswerUpdate},
        {"WindowGetFocusedID", &StandinViewer::AnswerWindowGetFocusedID},
        {"ImageNewWindow", &StandinViewer::AnswerImageNewWindow},
        {"SeriesNewWindow", &StandinViewer::AnswerSeriesNewWindow},
        {"GetIsModeImage", &StandinViewer::AnswerGetIsModeImage},
        {"GetIsModeSeries", &StandinViewer::AnswerGetIsModeSeries},
        {"ImageGet", &StandinViewer::AnswerImageGet},
        {"ImageSet", &StandinViewer::AnswerImageSet},
        {"FIImageGetBySharedMemory", &StandinViewer::AnswerFIImageGetBySharedMemory},
        {"FIImageSetBySharedMemory", &StandinViewer::AnswerFIImageSetBySharedMemory},
        {"SetCaption", &StandinViewer::AnswerSetCaption},
        {"GetFileName", &StandinViewer::AnswerGetFileName},
        {"RegionAdd", &StandinViewer::AnswerRegionAdd},
        {"LineAdd", &StandinViewer::AnswerLineAdd},
        {"RegionClear", &StandinViewer::AnswerRegionClear},
        {"RegionGetIDList", &StandinViewer::AnswerRegionGetIDList},
        {"LineGetIDList", &StandinViewer::AnswerLineGetIDList},
        {"RegionGet", &StandinViewer::AnswerRegionGet},
        {"RegionGetIMinMaxAverage", &StandinViewer::AnswerRegionGetIMinMaxAverage},
        {"ImageKeyDoubleGet", &StandinViewer::AnswerImageKeyDoubleGet},
        {"ImageKeyDoubleSet", &StandinViewer::AnswerImageKeyDoubleSet},
        {"ImageKeyStringGet", &StandinViewer::AnswerImageKeyStringGet},
        {"ImageKeyStringSet", &StandinViewer::AnswerImageKeyStringSet},
        {"SeriesKeyDoubleGet", &StandinViewer::AnswerSeriesKeyDoubleGet},
        {"SeriesKeyDoubleSet", &StandinViewer::AnswerSeriesKeyDoubleSet},
        {"SeriesKeyStringGet", &StandinViewer::AnswerSeriesKeyStringGet},
        {"SeriesKeyStringSet", &StandinViewer::AnswerSeriesKeyStringSet},
        {"SeriesIndexKeyDoubleGet", &StandinViewer::AnswerSeriesIndexKeyDoubleGet},
        {"SeriesIndexKeyDoubleSet", &StandinViewer::AnswerSeriesIndexKeyDoubleSet},
        {"SeriesIndexKeyStringGet", &StandinViewer::AnswerSeriesIndexKeyStringGet},
        {"SeriesIndexKeyStringSet", &StandinViewer::AnswerSeriesIndexKeyStringSet},
        {"SeriesGetCount", &StandinViewer::AnswerSeriesGetCount},
        {"SeriesImageIndexSet", &StandinViewer::AnswerSeriesImageIndexSet},
        {"SeriesImageIndexSetWithLoadImage", &StandinViewer::AnswerSeriesImageIndexSetWithLoadImage},
        {"GetIsLoaded", &StandinViewer::AnswerGetIsLoaded},
        {"SeriesImageSave", &StandinViewer::AnswerSeriesImageSave},
        {"SeriesSave", &StandinViewer::AnswerSeriesSave},
        {"SeriesSaveRenew", &StandinViewer::AnswerSeriesSaveRenew},
    };
    return handlers;
}

std::string StandinViewer::Handle(const std::string& requestText)
{
    std::lock_guard<std::mutex> lock(mutex_);
    LoggedRequest logged;
    logged.text = requestText;
    ReplyWriter reply;
    try {
        RequestReader req(requestText);
        const std::string cmd = req.Text("cmd");
        const std::int32_t id = req.Int("IDDocChildWindow", -1);
        logged.command = cmd;
        logged.windowId = id;
        requests_.push_back(logged);

        const auto found = windows_.find(id);
        Call call(req, reply, found == windows_.end() ? nullptr : &found->second);
        const auto handler = Handlers().find(cmd);
        if (handler == Handlers().end())
            reply.Text("ReturnCode", "Unknown command: " + cmd);
        else
            (this->*handler->second)(call);
    } catch (const LwError& e) {
        if (logged.command.empty())
            requests_.push_back(logged);
        reply.Text("ReturnCode", "Request error: " + e.Message());
    }
    return reply.Finish();
}

void StandinViewer::AnswerUpdate(Call&) {}

void StandinViewer::AnswerWindowGetFocusedID(Call& call)
{
    call.reply.Int("IDDocChildWindow", focused_);
}

std::int32_t StandinViewer::NewWindow(Window window)
{
    window.id = nextWindowId_++;
    focused_ = window.id;
    windows_[window.id] = window;
    return window.id;
}

void StandinViewer::AnswerImageNewWindow(Call& call)
{
    call.reply.Int("IDDocChildWindow", NewWindow(Window()));
}

void StandinViewer::AnswerSeriesNewWindow(Call& call)
{
    Window w;
    w.isSeries = true;
    w.seriesPath = call.req.Text("filenameUtf8");
    w.seriesMode = call.req.Text("mode");
    call.reply.Int("IDDocChildWindow", NewWindow(w));
}

void StandinViewer::AnswerGetIsModeImage(Call& call)
{
    call.reply.Bool("isModeImage",
                    call.win != nullptr && (!call.win->isSeries || call.win->seriesMode == "image"));
}

void StandinViewer::AnswerGetIsModeSeries(Call& call)
{
    call.reply.Bool("isModeSeries", call.win != nullptr && call.win->isSeries);
}

void StandinViewer::AnswerImageGet(Call& call)
{
    if (call.NeedWindow())
        SerializeMatrix(call.reply.Doc(), "image", *call.image, "b");
}

void StandinViewer::AnswerImageSet(Call& call)
{
    if (call.NeedWindow())
        SerializeMatrix(call.req.Doc(), "image", *call.image, "b");
}

void StandinViewer::AnswerFIImageGetBySharedMemory(Call& call)
{
    if (faults_.getReturnCode != "ok") {
        call.reply.Text("ReturnCode", faults_.getReturnCode);
        return;
    }
    if (!call.NeedWindow())
        return;
    const QString key =
        QStringLiteral("ZYVRAGET%1_%2").arg(QCoreApplication::applicationPid()).arg(++blockSerial_);
    blocks_.clear();  // the previous fetch's block is done with
    auto block = std::make_unique<QSharedMemory>();
    bool ok = true;
    switch (faults_.block) {
    case Faults::Block::Good: ok = WriteImageBlock(*block, key, *call.image); break;
    case Faults::Block::Missing: break;
    case Faults::Block::Tiny:
        block->setKey(key);
        ok = block->create(8);
        break;
    default: {
        block->setKey(key);
        ok = block->create(static_cast<int>(kHeaderBytes + 4 * 4));
        if (ok) {
            std::int32_t h[4] = {0, 0, 0, 0};
            if (faults_.block == Faults::Block::HeaderTooLarge) {
                h[0] = 100;
                h[1] = 100;
            }
            if (faults_.block == Faults::Block::HugeHeader) {
                h[0] = h[1] = 0x7fffffff;
            }
            if (faults_.block == Faults::Block::BothNegative) {
                h[0] = h[1] = -1;
            }
            if (faults_.block == Faults::Block::OneNegative) {
                h[0] = -1;
                h[1] = 2;
            }
            block->lock();
            std::memset(block->data(), 0, static_cast<std::size_t>(block->size()));
            std::memcpy(block->data(), h, sizeof h);
            block->unlock();
        }
    }
    }
    if (!ok) {
        call.reply.Text("ReturnCode", "Shared memory cannot be made");
        return;
    }
    // The key the block was made under (WriteImageBlock may have had to
    // suffix it).
    const QString used = faults_.block == Faults::Block::Missing ? key : block->key();
    if (faults_.block != Faults::Block::Missing)
        blocks_.push_back(std::move(block));
    call.reply.Text("ReturnCode", "ok");
    call.reply.Text("key", used.toStdString());
}

void StandinViewer::AnswerFIImageSetBySharedMemory(Call& call)
{
    if (!call.NeedWindow())
        return;
    // Straight into the window's image (its buffer is reused at the same
    // size); a bad block leaves it untouched.
    const std::string error = ReadImageBlock(QString::fromStdString(call.req.Text("key")), *call.image);
    call.reply.Text("ReturnCode", error.empty() ? "ok" : error);
}

void StandinViewer::AnswerSetCaption(Call& call)
{
    if (call.NeedWindow())
        call.win->caption = call.req.Text("caption");
}

void StandinViewer::AnswerGetFileName(Call& call)
{
    if (call.NeedWindow())
        call.reply.Text("filenameUtf8", call.win->isSeries ? call.Current().fileName : call.win->fileName);
}

void StandinViewer::AddRegion(Call& call, Region region)
{
    region.id = nextRegionId_++;
    call.req.Color(region.r, region.g, region.b);
    region.isMovable = call.req.Bool("isMovable");
    region.name = call.req.Text("name");
    call.win->regions.push_back(region);
    call.reply.Int("RegionID", region.id);
}

void StandinViewer::AnswerRegionAdd(Call& call)
{
    if (!call.NeedWindow())
        return;
    Region r;
    r.type = call.req.Text("regionType");
    r.cx = call.req.Float("cx");
    r.cy = call.req.Float("cy");
    r.w = call.req.Float("w");
    r.h = call.req.Float("h");
    AddRegion(call, r);
}

void StandinViewer::AnswerLineAdd(Call& call)
{
    if (!call.NeedWindow())
        return;
    Region r;
    r.isLine = true;
    r.x0 = call.req.Float("x0");
    r.y0 = call.req.Float("y0");
    r.x1 = call.req.Float("x1");
    r.y1 = call.req.Float("y1");
    r.width = call.req.Float("width");
    AddRegion(call, r);
}

void StandinViewer::AnswerRegionClear(Call& call)
{
    if (!call.NeedWindow())
        return;
    std::vector<Region>& regions = call.win->regions;
    regions.erase(std::remove_if(regions.begin(), regions.end(), [](const Region& r) { return !r.isLine; }),
                  regions.end());
}

void StandinViewer::ReplyIdList(Call& call, bool lines)
{
    if (!call.NeedWindow())
        return;
    std::vector<std::int32_t> ids;
    for (const Region& r : call.win->regions)
        if (r.isLine == lines)
            ids.push_back(r.id);
    // A column vector (one column, a row per id) in the core's 32-bit matrix
    // element.
    LwLongMatrix list;
    if (!ids.empty()) {
        list.Create(1, static_cast<int>(ids.size()));
        for (std::size_t i = 0; i < ids.size(); ++i)
            list(0, static_cast<int>(i)) = ids[i];
    }
    SerializeMatrix(call.reply.Doc(), "IDList", list, "b");
}

void StandinViewer::AnswerRegionGetIDList(Call& call)
{
    ReplyIdList(call, false);
}

void StandinViewer::AnswerLineGetIDList(Call& call)
{
    ReplyIdList(call, true);
}

const Region* StandinViewer::RequestedRegion(Call& call)
{
    if (!call.NeedWindow())
        return nullptr;
    const std::int32_t rid = call.req.Int("RegionID");
    const std::vector<Region>& regions = call.win->regions;
    const auto r =
        std::find_if(regions.begin(), regions.end(), [rid](const Region& x) { return x.id == rid; });
    if (r == regions.end()) {
        call.reply.Text("ReturnCode", "Region is not found");
        return nullptr;
    }
    return &*r;
}

void StandinViewer::AnswerRegionGet(Call& call)
{
    const Region* r = RequestedRegion(call);
    if (r == nullptr)
        return;
    ReplyWriter& reply = call.reply;
    reply.Text("regionType", r->type);
    reply.Float("cx", r->cx);
    reply.Float("cy", r->cy);
    reply.Float("w", r->w);
    reply.Float("h", r->h);
    reply.Doc().OpenRack("color");
    reply.Int("r", r->r);
    reply.Int("g", r->g);
    reply.Int("b", r->b);
    reply.Doc().CloseRack("color");
    reply.Bool("isMovable", r->isMovable);
    reply.Text("name", r->name);
}

void StandinViewer::AnswerRegionGetIMinMaxAverage(Call& call)
{
    const Region* r = RequestedRegion(call);
    if (r == nullptr)
        return;
    float mn, mx, avg;
    RegionStatistics(*call.image, *r, mn, mx, avg);
    call.reply.Float("min", mn);
    call.reply.Float("max", mx);
    call.reply.Float("average", avg);
}

void StandinViewer::AnswerImageKeyDoubleGet(Call& call)
{
    if (call.NeedWindow())
        SerializeValueMap(*call.keyDouble, call.reply.Doc(), "ImageKeyDouble");
}

void StandinViewer::AnswerImageKeyDoubleSet(Call& call)
{
    if (call.NeedWindow())
        SerializeValueMap(*call.keyDouble, call.req.Doc(), "ImageKeyDouble");
}

void StandinViewer::AnswerImageKeyStringGet(Call& call)
{
    if (call.NeedWindow())
        SerializeTextMap(*call.keyString, call.reply.Doc(), "ImageKeyString");
}

void StandinViewer::AnswerImageKeyStringSet(Call& call)
{
    if (call.NeedWindow())
        SerializeTextMap(*call.keyString, call.req.Doc(), "ImageKeyString");
}

void StandinViewer::AnswerSeriesKeyDoubleGet(Call& call)
{
    if (call.NeedWindow())
        SerializeValueMap(call.win->seriesKeyDouble, call.reply.Doc(), "SeriesKeyDouble");
}

void StandinViewer::AnswerSeriesKeyDoubleSet(Call& call)
{
    if (call.NeedWindow())
        SerializeValueMap(call.win->seriesKeyDouble, call.req.Doc(), "SeriesKeyDouble");
}

void StandinViewer::AnswerSeriesKeyStringGet(Call& call)
{
    if (call.NeedWindow())
        SerializeTextMap(call.win->seriesKeyString, call.reply.Doc(), "SeriesKeyString");
}

void StandinViewer::AnswerSeriesKeyStringSet(Call& call)
{
    if (call.NeedWindow())
        SerializeTextMap(call.win->seriesKeyString, call.req.Doc(), "SeriesKeyString");
}

void StandinViewer::AnswerSeriesIndexKeyDoubleGet(Call& call)
{
    if (SeriesEntry* e = call.RequestedEntry())
        SerializeValueMap(e->indexKeyDouble, call.reply.Doc(), "SeriesIndexKeyDouble");
}

void StandinViewer::AnswerSeriesIndexKeyDoubleSet(Call& call)
{
    if (SeriesEntry* e = call.RequestedEntry())
        SerializeValueMap(e->indexKeyDouble, call.req.Doc(), "SeriesIndexKeyDouble");
}

void StandinViewer::AnswerSeriesIndexKeyStringGet(Call& call)
{
    if (SeriesEntry* e = call.RequestedEntry())
        SerializeTextMap(e->indexKeyString, call.reply.Doc(), "SeriesIndexKeyString");
}

void StandinViewer::AnswerSeriesIndexKeyStringSet(Call& call)
{
    if (SeriesEntry* e = call.RequestedEntry())
        SerializeTextMap(e->indexKeyString, call.req.Doc(), "SeriesIndexKeyString");
}

void StandinViewer::AnswerSeriesGetCount(Call& call)
{
    const Window* win = call.win;
    call.reply.Int("count",
                   win != nullptr && win->isSeries ? static_cast<std::int32_t>(win->entries.size()) : 0);
}

void StandinViewer::AnswerSeriesImageIndexSet(Call& call)
{
    const std::int32_t index = call.req.Int("index");
    if (call.EntryAt(index) == nullptr)
        call.reply.Text("ReturnCode", "Series index is not found");
    else
        call.win->currentIndex = index;
}

// Unlike SeriesImageIndexSet, only an existing entry can be loaded; the load
// completes after a few GetIsLoaded polls.
void StandinViewer::AnswerSeriesImageIndexSetWithLoadImage(Call& call)
{
    const std::int32_t index = call.req.Int("index");
    Window* win = call.win;
    SeriesEntry* e = nullptr;
    if (win != nullptr && win->isSeries && index >= 0 &&
        index < static_cast<std::int32_t>(win->entries.size()))
        e = &win->entries[static_cast<std::size_t>(index)];
    if (e == nullptr)
        call.reply.Text("ReturnCode", "Series index is not found");
    else
        win->currentIndex = index;
    loadPollsLeft_ = std::max(1, faults_.loadPolls);
    loadSuccess_ = e != nullptr && !e->unloadable && !faults_.failLoads;
}

void StandinViewer::AnswerGetIsLoaded(Call& call)
{
    if (loadPollsLeft_ > 0)
        --loadPollsLeft_;
    const bool loaded = loadPollsLeft_ == 0;
    call.reply.Text("ReturnCode", "ok");
    call.reply.Bool("isLoaded", loaded);
    call.reply.Bool("isSuccess", loaded && loadSuccess_);
}

void StandinViewer::AnswerSeriesImageSave(Call& call)
{
    if (SeriesEntry* e = call.RequestedEntry()) {
        e->fileName = call.req.Text("filenameUtf8");
        e->saved = true;
    }
}

void StandinViewer::AnswerSeriesSave(Call& call)
{
    if (call.NeedWindow()) {
        call.win->seriesPath = call.req.Text("filenameUtf8");
        ++call.win->saveCount;
    }
}

void StandinViewer::AnswerSeriesSaveRenew(Call& call)
{
    if (call.NeedWindow())
        ++call.win->renewCount;
}

StandinViewerThread::StandinViewerThread() : thread_(std::make_unique<QThread>())
{
    thread_->start();
    context_ = new QObject;
    context_->moveToThread(thread_.get());
    QMetaObject::invokeMethod(
        context_, [this] { viewer_ = new StandinViewer; }, Qt::BlockingQueuedConnection);
}

StandinViewerThread::~StandinViewerThread()
{
    QMetaObject::invokeMethod(
        context_,
        [this] {
            delete viewer_;
            viewer_ = nullptr;
            context_->deleteLater();
        },
        Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
}

bool StandinViewerThread::Start(std::uint16_t port, const QString& localName)
{
    bool ok = false;
    QMetaObject::invokeMethod(
        context_, [&] { ok = viewer_->Start(port, localName); }, Qt::BlockingQueuedConnection);
    return ok;
}

void StandinViewerThread::Stop()
{
    QMetaObject::invokeMethod(
        context_, [this] { viewer_->Stop(); }, Qt::BlockingQueuedConnection);
}

}  // namespace standin
