#pragma once
// The byte stream to the external viewer: TCP to a host and port, or a
// connection to a named local server (a Unix-domain socket on Linux, a named
// pipe on Windows), both through Qt Network. A transport only connects,
// writes one text, reads what has arrived and tells whether it is connected;
// where a reply ends is the client's business (LwPluginFuncZyvra).
//
// Every wait is bounded: 1000 ms for a connection, 10 ms for data, 30000 ms
// for a write. A wait for data ends as soon as bytes are there, and does not
// start when bytes already wait in the Qt buffer (moved there while events
// ran). No operation throws; failures show in the results.
//
// A transport is used on the thread that made it (the GUI thread); nothing
// is locked.

#include <QLocalSocket>
#include <QString>
#include <QTcpSocket>

#include <cstdint>
#include <memory>
#include <string>

class QIODevice;
class QThread;

class LwCommonClientSocket
{
public:
    static constexpr int kConnectWaitMs = 1000;
    static constexpr int kReadWaitMs = 10;
    static constexpr int kWriteWaitMs = 30000;
    static constexpr std::int64_t kReadChunk = 65535;

    virtual ~LwCommonClientSocket() = default;

    virtual void Close() = 0;
    virtual bool IsConnected() const = 0;
    // Drops any connection or connection attempt, starts a new one and waits
    // up to 1000 ms; whether it was made.
    virtual bool Connect() = 0;
    // Waits up to 10 ms for data unless some has arrived already, then reads
    // at most 65535 bytes of what has arrived into ReceivedText, up to the first zero byte (bytes after a
    // zero byte in the same chunk are dropped). A read error empties the
    // text and gives false; otherwise the result is whether bytes came.
    virtual bool Read() = 0;
    // Waits up to `ms` milliseconds for data; true at once when bytes wait
    // unread, false when none came in time or the connection failed (which
    // may be before `ms` have passed).
    virtual bool WaitForData(int ms) = 0;
    // Writes the text up to its first zero byte and waits up to 30000 ms
    // until it is written; whether the wait saw it written.
    virtual bool Write(const std::string& text) = 0;
    virtual void MoveToThread(QThread* thread) = 0;
    // Drops every byte that has arrived and not been read, without waiting,
    // so that a late reply cannot be taken for the next one. The dropped
    // bytes (up to a first zero byte) are left in ReceivedText for a look.
    virtual void DiscardPending() = 0;

    const std::string& ReceivedText() const { return received_; }
    void ClearReceivedText() { received_.clear(); }

protected:
    // Read and Write over the Qt device.
    bool ReadDevice(QIODevice& device);
    bool WriteDevice(QIODevice& device, const std::string& text);
    void DiscardDevice(QIODevice& device);

    std::string received_;
};

// What both transports do alike over their Qt socket (QTcpSocket or
// QLocalSocket, owned, no parent object).
template <class QtSocket>
class LwCommonClientQtSocket : public LwCommonClientSocket
{
public:
    void Close() override { socket_->close(); }
    bool IsConnected() const override { return socket_->state() == QtSocket::ConnectedState; }
    bool Read() override
    {
        WaitForData(kReadWaitMs);  // its result does not matter: the read looks itself
        return ReadDevice(*socket_);
    }
    bool WaitForData(int ms) override
    {
        // waitForReadyRead waits for bytes beyond those Qt holds already, so
        // held bytes must not make the caller wait.
        return socket_->bytesAvailable() > 0 || socket_->waitForReadyRead(ms);
    }
    bool Write(const std::string& text) override { return WriteDevice(*socket_, text); }
    void MoveToThread(QThread* thread) override { socket_->moveToThread(thread); }
    void DiscardPending() override { DiscardDevice(*socket_); }

protected:
    LwCommonClientQtSocket() : socket_(std::make_unique<QtSocket>()) {}
    std::unique_ptr<QtSocket> socket_;
};

class LwCommonClientTcpSocket : public LwCommonClientQtSocket<QTcpSocket>
{
public:
    // `port` is handed to Qt as a 16-bit port; the client accepts 1..65535 only.
    LwCommonClientTcpSocket(const QString& host, std::int32_t port);
    ~LwCommonClientTcpSocket() override;
    bool Connect() override;

private:
    QString host_;
    std::int32_t port_;
};

// Also traces to Qt's debug output every text sent ("LocalSocket Send:") and
// every read that brought bytes ("LocalSocket Recv:").
class LwCommonClientLocalSocket : public LwCommonClientQtSocket<QLocalSocket>
{
public:
    explicit LwCommonClientLocalSocket(const QString& serverName);
    ~LwCommonClientLocalSocket() override;
    bool Connect() override;
    bool Read() override;
    bool Write(const std::string& text) override;

private:
    QString serverName_;
};
