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
        const bool isGet = cmd.size() > 3 && cmd.compare(cmd.size() - 3, 3, "Get") == 0;
        logged.command = cmd;
        logged.windowId = id;
        requests_.push_back(logged);

        auto found = windows_.find(id);
        Window* win = found == windows_.end() ? nullptr : &found->second;
        // The entry an image command of a series window addresses: the
        // current one, made when the index runs past the end.
        auto current = [&]() -> SeriesEntry& {
            if (win->currentIndex >= static_cast<std::int32_t>(win->entries.size()))
                win->entries.resize(static_cast<std::size_t>(win->currentIndex) + 1);
            return win->entries[static_cast<std::size_t>(win->currentIndex)];
        };
        auto entryAt = [&](std::int32_t index) -> SeriesEntry* {
            if (win == nullptr || !win->isSeries || index < 0)
                return nullptr;
            if (index >= static_cast<std::int32_t>(win->entries.size()))
                win->entries.resize(static_cast<std::size_t>(index) + 1);
            return &win->entries[static_cast<std::size_t>(index)];
        };
        auto needWindow = [&]() {
            if (win == nullptr) {
                reply.Text("ReturnCode", "Window is not found");
                return false;
            }
            return true;
        };
        LwFloatMatrix* image = nullptr;
        LwInfoValueMap* keyDouble = nullptr;
        LwInfoStringMap* keyString = nullptr;
        if (win != nullptr) {
            if (win->isSeries) {
                SeriesEntry& e = current();
                image = &e.image;
                keyDouble = &e.imageKeyDouble;
                keyString = &e.imageKeyString;
            } else {
                image = &win->image;
                keyDouble = &win->keyDouble;
                keyString = &win->keyString;
            }
        }

        if (cmd == "Update") {
        } else if (cmd == "WindowGetFocusedID") {
            reply.Int("IDDocChildWindow", focused_);
        } else if (cmd == "ImageNewWindow") {
            Window w;
            w.id = nextWindowId_++;
            focused_ = w.id;
            windows_[w.id] = w;
            reply.Int("IDDocChildWindow", w.id);
        } else if (cmd == "SeriesNewWindow") {
            Window w;
            w.id = nextWindowId_++;
            w.isSeries = true;
            w.seriesPath = req.Text("filenameUtf8");
            w.seriesMode = req.Text("mode");
            focused_ = w.id;
            windows_[w.id] = w;
            reply.Int("IDDocChildWindow", w.id);
        } else if (cmd == "GetIsModeImage") {
            reply.Bool("isModeImage", win != nullptr && (!win->isSeries || win->seriesMode == "image"));
        } else if (cmd == "GetIsModeSeries") {
            reply.Bool("isModeSeries", win != nullptr && win->isSeries);
        } else if (cmd == "ImageGet") {
            if (needWindow())
                SerializeMatrix(reply.Doc(), "image", *image, "b");
        } else if (cmd == "ImageSet") {
            if (needWindow())
                SerializeMatrix(req.Doc(), "image", *image, "b");
        } else if (cmd == "FIImageGetBySharedMemory") {
            if (faults_.getReturnCode != "ok") {
                reply.Text("ReturnCode", faults_.getReturnCode);
            } else if (needWindow()) {
                const QString key = QStringLiteral("ZYVRAGET%1_%2")
                                        .arg(QCoreApplication::applicationPid())
                                        .arg(++blockSerial_);
                blocks_.clear();  // the previous fetch's block is done with
                auto block = std::make_unique<QSharedMemory>();
                LwFloatMatrix header;  // sizes for the bad-header faults
                bool ok = true;
                switch (faults_.block) {
                case Faults::Block::Good: ok = WriteImageBlock(*block, key, *image); break;
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
                    reply.Text("ReturnCode", "Shared memory cannot be made");
                } else {
                    // The key the block was made under (WriteImageBlock may
                    // have had to suffix it).
                    const QString used = faults_.block == Faults::Block::Missing ? key : block->key();
                    if (faults_.block != Faults::Block::Missing)
                        blocks_.push_back(std::move(block));
                    reply.Text("ReturnCode", "ok");
                    reply.Text("key", used.toStdString());
                }
            }
        } else if (cmd == "FIImageSetBySharedMemory") {
            if (needWindow()) {
                // Straight into the window's image (its buffer is reused at
                // the same size); a bad block leaves it untouched.
                const std::string error = ReadImageBlock(QString::fromStdString(req.Text("key")), *image);
                if (error.empty()) {
                    reply.Text("ReturnCode", "ok");
                } else {
                    reply.Text("ReturnCode", error);
                }
            }
        } else if (cmd == "SetCaption") {
            if (needWindow())
                win->caption = req.Text("caption");
        } else if (cmd == "GetFileName") {
            if (needWindow())
                reply.Text("filenameUtf8", win->isSeries ? current().fileName : win->fileName);
        } else if (cmd == "RegionAdd" || cmd == "LineAdd") {
            if (needWindow()) {
                Region r;
                r.id = nextRegionId_++;
                if (cmd == "RegionAdd") {
                    r.type = req.Text("regionType");
                    r.cx = req.Float("cx");
                    r.cy = req.Float("cy");
                    r.w = req.Float("w");
                    r.h = req.Float("h");
                } else {
                    r.isLine = true;
                    r.x0 = req.Float("x0");
                    r.y0 = req.Float("y0");
                    r.x1 = req.Float("x1");
                    r.y1 = req.Float("y1");
                    r.width = req.Float("width");
                }
                req.Color(r.r, r.g, r.b);
                r.isMovable = req.Bool("isMovable");
                r.name = req.Text("name");
                win->regions.push_back(r);
                reply.Int("RegionID", r.id);
            }
        } else if (cmd == "RegionClear") {
            if (needWindow())
                win->regions.erase(std::remove_if(win->regions.begin(), win->regions.end(),
                                                  [](const Region& r) { return !r.isLine; }),
                                   win->regions.end());
        } else if (cmd == "RegionGetIDList" || cmd == "LineGetIDList") {
            if (needWindow()) {
                const bool lines = cmd == "LineGetIDList";
                std::vector<std::int32_t> ids;
                for (const Region& r : win->regions)
                    if (r.isLine == lines)
                        ids.push_back(r.id);
                // A column vector (one column, a row per id) in the core's
                // 32-bit matrix element.
                LwLongMatrix list;
                if (!ids.empty()) {
                    list.Create(1, static_cast<int>(ids.size()));
                    for (std::size_t i = 0; i < ids.size(); ++i)
                        list(0, static_cast<int>(i)) = ids[i];
                }
                SerializeMatrix(reply.Doc(), "IDList", list, "b");
            }
        } else if (cmd == "RegionGet" || cmd == "RegionGetIMinMaxAverage") {
            if (needWindow()) {
                const std::int32_t rid = req.Int("RegionID");
                const auto r = std::find_if(win->regions.begin(), win->regions.end(),
                                            [rid](const Region& x) { return x.id == rid; });
                if (r == win->regions.end()) {
                    reply.Text("ReturnCode", "Region is not found");
                } else if (cmd == "RegionGet") {
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
                } else {
                    float mn, mx, avg;
                    RegionStatistics(*image, *r, mn, mx, avg);
                    reply.Float("min", mn);
                    reply.Float("max", mx);
                    reply.Float("average", avg);
                }
            }
        } else if (cmd == "ImageKeyDoubleGet") {
            if (needWindow())
                SerializeValueMap(*keyDouble, reply.Doc(), "ImageKeyDouble");
        } else if (cmd == "ImageKeyDoubleSet") {
            if (needWindow())
                SerializeValueMap(*keyDouble, req.Doc(), "ImageKeyDouble");
        } else if (cmd == "ImageKeyStringGet") {
            if (needWindow())
                SerializeTextMap(*keyString, reply.Doc(), "ImageKeyString");
        } else if (cmd == "ImageKeyStringSet") {
            if (needWindow())
                SerializeTextMap(*keyString, req.Doc(), "ImageKeyString");
        } else if (cmd == "SeriesKeyDoubleGet" || cmd == "SeriesKeyDoubleSet") {
            if (needWindow())
                SerializeValueMap(win->seriesKeyDouble, isGet ? reply.Doc() : req.Doc(), "SeriesKeyDouble");
        } else if (cmd == "SeriesKeyStringGet" || cmd == "SeriesKeyStringSet") {
            if (needWindow())
                SerializeTextMap(win->seriesKeyString, isGet ? reply.Doc() : req.Doc(), "SeriesKeyString");
        } else if (cmd == "SeriesIndexKeyDoubleGet" || cmd == "SeriesIndexKeyDoubleSet" ||
                   cmd == "SeriesIndexKeyStringGet" || cmd == "SeriesIndexKeyStringSet") {
            SeriesEntry* e = entryAt(req.Int("index"));
            const bool isDouble = cmd.find("Double") != std::string::npos;
            if (e == nullptr) {
                reply.Text("ReturnCode", "Series index is not found");
            } else if (isDouble) {
                SerializeValueMap(e->indexKeyDouble, isGet ? reply.Doc() : req.Doc(), "SeriesIndexKeyDouble");
            } else {
                SerializeTextMap(e->indexKeyString, isGet ? reply.Doc() : req.Doc(), "SeriesIndexKeyString");
            }
        } else if (cmd == "SeriesGetCount") {
            reply.Int("count",
                      win != nullptr && win->isSeries ? static_cast<std::int32_t>(win->entries.size()) : 0);
        } else if (cmd == "SeriesImageIndexSet" || cmd == "SeriesImageIndexSetWithLoadImage") {
            const std::int32_t index = req.Int("index");
            SeriesEntry* e = nullptr;
            if (cmd == "SeriesImageIndexSet") {
                e = entryAt(index);
            } else if (win != nullptr && win->isSeries && index >= 0 &&
                       index < static_cast<std::int32_t>(win->entries.size())) {
                e = &win->entries[static_cast<std::size_t>(index)];
            }
            if (e == nullptr) {
                reply.Text("ReturnCode", "Series index is not found");
            } else {
                win->currentIndex = index;
            }
            if (cmd == "SeriesImageIndexSetWithLoadImage") {
                loadPollsLeft_ = std::max(1, faults_.loadPolls);
                loadSuccess_ = e != nullptr && !e->unloadable && !faults_.failLoads;
            }
        } else if (cmd == "GetIsLoaded") {
            if (loadPollsLeft_ > 0)
                --loadPollsLeft_;
            const bool loaded = loadPollsLeft_ == 0;
            reply.Text("ReturnCode", "ok");
            reply.Bool("isLoaded", loaded);
            reply.Bool("isSuccess", loaded && loadSuccess_);
        } else if (cmd == "SeriesImageSave") {
            SeriesEntry* e = entryAt(req.Int("index"));
            if (e == nullptr) {
                reply.Text("ReturnCode", "Series index is not found");
            } else {
                e->fileName = req.Text("filenameUtf8");
                e->saved = true;
            }
        } else if (cmd == "SeriesSave") {
            if (needWindow()) {
                win->seriesPath = req.Text("filenameUtf8");
                ++win->saveCount;
            }
        } else if (cmd == "SeriesSaveRenew") {
            if (needWindow())
                ++win->renewCount;
        } else {
            reply.Text("ReturnCode", "Unknown command: " + cmd);
        }
    } catch (const LwError& e) {
        if (logged.command.empty())
            requests_.push_back(logged);
        reply.Text("ReturnCode", "Request error: " + e.Message());
    }
    return reply.Finish();
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
