// The transports on their own, against plain Qt servers of the test: the
// 65535-byte read, the zero byte, waiting for data, a refused connection and
// a read error.
#include "plugin/LwCommonClientSocket.h"
#include "ViewerTestSupport.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Reads until `total` bytes came or 3 s passed; the sizes of the reads.
std::vector<std::size_t> ReadAll(LwCommonClientSocket& socket, std::size_t total, std::string& text)
{
    std::vector<std::size_t> sizes;
    QElapsedTimer t;
    t.start();
    while (text.size() < total && t.elapsed() < 3000) {
        if (socket.Read()) {
            sizes.push_back(socket.ReceivedText().size());
            text += socket.ReceivedText();
        }
    }
    return sizes;
}

// A TCP transport connected to a server of the test, and the server's end.
struct TcpPair
{
    QTcpServer server;
    std::unique_ptr<LwCommonClientTcpSocket> socket;
    QTcpSocket* peer = nullptr;

    bool Connect()
    {
        if (!server.listen(QHostAddress::LocalHost, 0))
            return false;
        socket = std::make_unique<LwCommonClientTcpSocket>("localhost", server.serverPort());
        if (!socket->Connect() || !server.waitForNewConnection(1000))
            return false;
        peer = server.nextPendingConnection();
        return peer != nullptr;
    }
};

TEST(LwCommonClientSocket, ReadsAtMost65535BytesAndStopsAtAZeroByte)
{
    TcpPair pair;
    ASSERT_TRUE(pair.Connect());
    LwCommonClientTcpSocket& socket = *pair.socket;
    QTcpSocket* peer = pair.peer;
    const std::string big(70000, 'x');
    peer->write(big.data(), static_cast<qint64>(big.size()));
    peer->waitForBytesWritten(1000);
    viewertest::Spin(50);  // everything has arrived before the first read
    std::string text;
    const std::vector<std::size_t> sizes = ReadAll(socket, big.size(), text);
    EXPECT_EQ(big, text);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(65535u, sizes.front());
    for (std::size_t n : sizes)
        EXPECT_LE(n, 65535u);

    peer->write("ab\0cd", 5);
    peer->waitForBytesWritten(1000);
    viewertest::Spin(50);
    EXPECT_TRUE(socket.Read());
    EXPECT_EQ("ab", socket.ReceivedText());

    // A closed socket: the read fails and the text is emptied.
    socket.Close();
    EXPECT_FALSE(socket.Read());
    EXPECT_EQ("", socket.ReceivedText());
    EXPECT_FALSE(socket.IsConnected());
}

TEST(LwCommonClientSocket, WritesUpToTheFirstZeroByteOverTheLocalSocket)
{
    QLocalServer server;
    ASSERT_TRUE(server.listen("transporttest"));
    LwCommonClientLocalSocket socket("transporttest");
    ASSERT_TRUE(socket.Connect());
    ASSERT_TRUE(server.waitForNewConnection(1000));
    QLocalSocket* peer = server.nextPendingConnection();
    EXPECT_TRUE(socket.Write(std::string("<vra>\0tail", 10)));
    viewertest::Spin(50);
    peer->waitForReadyRead(100);
    EXPECT_EQ(QByteArray("<vra>"), peer->readAll());
    // Bytes that wait unread are dropped without waiting.
    peer->write("late reply");
    peer->flush();
    viewertest::Spin(50);
    socket.DiscardPending();
    EXPECT_FALSE(socket.Read());
}

TEST(LwCommonClientSocket, WaitForDataCountsBytesQtHoldsAlready)
{
    TcpPair pair;
    ASSERT_TRUE(pair.Connect());
    LwCommonClientTcpSocket& socket = *pair.socket;
    QTcpSocket* peer = pair.peer;
    EXPECT_FALSE(socket.WaitForData(0));
    peer->write("abc");
    peer->waitForBytesWritten(1000);
    // The first wait moves the bytes into Qt's buffer; nothing new comes
    // after them, yet they still count as data, without a wait.
    EXPECT_TRUE(socket.WaitForData(3000));
    EXPECT_TRUE(socket.WaitForData(0));
    EXPECT_TRUE(socket.Read());
    EXPECT_EQ("abc", socket.ReceivedText());
    EXPECT_FALSE(socket.WaitForData(0));
}

TEST(LwCommonClientSocket, NoServerMeansNotConnectedWithinOneSecond)
{
    QTcpServer probe;  // a port that nobody listens on once the probe closes
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    LwCommonClientTcpSocket tcp("localhost", port);
    LwCommonClientLocalSocket local("nosuchserver");
    for (LwCommonClientSocket* s :
         {static_cast<LwCommonClientSocket*>(&tcp), static_cast<LwCommonClientSocket*>(&local)}) {
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(s->Connect());
        EXPECT_LE(t.elapsed(), 1500);
        EXPECT_FALSE(s->IsConnected());
    }
}

}  // namespace
