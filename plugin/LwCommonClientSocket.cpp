#include "plugin/LwCommonClientSocket.h"

#include <QDebug>
#include <QLocalSocket>
#include <QTcpSocket>

#include <cstring>
#include <vector>

bool LwCommonClientSocket::ReadDevice(QIODevice& device)
{
    std::vector<char> buffer(static_cast<std::size_t>(kReadChunk) + 1);
    const qint64 n = device.read(buffer.data(), kReadChunk);
    if (n < 0) {
        received_.clear();
        return false;
    }
    buffer[static_cast<std::size_t>(n)] = '\0';
    received_.assign(buffer.data(), std::strlen(buffer.data()));
    return n != 0;
}

bool LwCommonClientSocket::WriteDevice(QIODevice& device, const std::string& text)
{
    // Up to the first zero byte, as the text is a C string on the wire.
    const std::size_t length = std::strlen(text.c_str());
    device.write(text.c_str(), static_cast<qint64>(length));
    return device.waitForBytesWritten(kWriteWaitMs);
}

void LwCommonClientSocket::DiscardDevice(QIODevice& device)
{
    // waitForReadyRead(0) moves what the system holds into Qt's buffer.
    QByteArray dropped = device.readAll();
    while (device.waitForReadyRead(0))
        dropped += device.readAll();
    received_.assign(dropped.constData(),
                     strnlen(dropped.constData(), static_cast<std::size_t>(dropped.size())));
}

LwCommonClientTcpSocket::LwCommonClientTcpSocket(const QString& host, std::int32_t port)
    : host_(host), port_(port)
{}

LwCommonClientTcpSocket::~LwCommonClientTcpSocket() = default;

bool LwCommonClientTcpSocket::Connect()
{
    // A try that timed out may still be connecting, and a closed connection
    // may still be closing: start from scratch.
    socket_->abort();
    socket_->connectToHost(host_, static_cast<quint16>(port_), QIODevice::ReadWrite,
                           QAbstractSocket::AnyIPProtocol);
    return socket_->waitForConnected(kConnectWaitMs);
}

LwCommonClientLocalSocket::LwCommonClientLocalSocket(const QString& serverName) : serverName_(serverName) {}

LwCommonClientLocalSocket::~LwCommonClientLocalSocket() = default;

bool LwCommonClientLocalSocket::Connect()
{
    socket_->abort();
    socket_->connectToServer(serverName_, QIODevice::ReadWrite);
    return socket_->waitForConnected(kConnectWaitMs);
}

bool LwCommonClientLocalSocket::Read()
{
    const bool got = LwCommonClientQtSocket::Read();
    if (got)
        qDebug() << "LocalSocket Recv:" << QString::fromStdString(received_);
    return got;
}

bool LwCommonClientLocalSocket::Write(const std::string& text)
{
    const bool written = LwCommonClientQtSocket::Write(text);
    qDebug() << "LocalSocket Send:" << QString::fromStdString(text);
    return written;
}
