#pragma once
// Helpers of the tests that talk to the stand-in viewer: raw socket
// exchanges, the stand-in as a process, and the checks that nothing is left
// behind (shared-memory segments, socket and key files).

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QLocalSocket>
#include <QProcess>
#include <QTcpSocket>
#include <QThread>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace viewertest {

// Ids of the System V shared-memory segments that process `pid` created and
// that still exist ("ipcs -m -p": shmid, owner, cpid, lpid).
inline std::vector<long> SegmentsCreatedBy(long pid)
{
    std::vector<long> ids;
    FILE* pipe = popen("ipcs -m -p 2>/dev/null", "r");
    if (pipe == nullptr)
        return ids;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::istringstream in(line);
        long shmid = 0, cpid = 0;
        std::string owner;
        if (in >> shmid >> owner >> cpid && cpid == pid)
            ids.push_back(shmid);
    }
    pclose(pipe);
    return ids;
}

inline std::vector<long> SegmentsOfThisProcess()
{
    return SegmentsCreatedBy(QCoreApplication::applicationPid());
}

// Entries of the run's temporary folder (key files, socket files).
inline QStringList TempFolderEntries()
{
    return QDir(QDir::tempPath()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
}

// Keeps the event loop of this thread running for `ms` milliseconds (an
// in-process stand-in on this thread serves meanwhile).
inline void Spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

// A raw client: writes texts and collects what comes back, serving this
// thread's events while it waits.
class RawClient
{
public:
    // TCP to 127.0.0.1 (or ::1) at `port`.
    RawClient(const QHostAddress& host, quint16 port) : device_(new QTcpSocket)
    {
        auto* s = static_cast<QTcpSocket*>(device_.get());
        s->connectToHost(host, port);
        connected_ = WaitFor([s] { return s->state() == QAbstractSocket::ConnectedState; });
    }
    // Local socket `name`.
    explicit RawClient(const QString& name) : device_(new QLocalSocket)
    {
        auto* s = static_cast<QLocalSocket*>(device_.get());
        s->connectToServer(name);
        connected_ = WaitFor([s] { return s->state() == QLocalSocket::ConnectedState; });
    }
    bool Connected() const { return connected_; }
    void Write(const std::string& text)
    {
        device_->write(text.data(), static_cast<qint64>(text.size()));
        Pump(1);
    }
    // Waits until `count` complete replies ("</vra>" and one more character
    // each) have arrived or `ms` passed; returns everything received.
    std::string ReadReplies(int count, int ms = 3000)
    {
        WaitFor([&] { return Complete() >= count; }, ms);
        return received_;
    }
    // Collects for `ms` milliseconds whatever arrives.
    std::string ReadFor(int ms)
    {
        WaitFor([] { return false; }, ms);
        return received_;
    }
    void Clear() { received_.clear(); }
    QIODevice& Device() { return *device_; }

private:
    int Complete() const
    {
        int n = 0;
        std::size_t from = 0;
        while (true) {
            const std::size_t at = received_.find("</vra>", from);
            if (at == std::string::npos || received_.size() < at + 7)
                return n;
            ++n;
            from = at + 7;
        }
    }
    void Pump(int ms)
    {
        QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
        const QByteArray bytes = device_->readAll();
        received_.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    template <class Done>
    bool WaitFor(Done done, int ms = 3000)
    {
        QElapsedTimer t;
        t.start();
        while (!done()) {
            if (t.elapsed() > ms)
                return false;
            Pump(5);
            QThread::msleep(1);
        }
        return true;
    }

    std::unique_ptr<QIODevice> device_;
    std::string received_;
    bool connected_ = false;
};

// The stand-in as a process of its own; ends it cleanly (standard input
// closed) when destroyed.
class ViewerProcess
{
public:
    // Starts standin_viewer with a free port, `localName` and the further
    // arguments `extra`; Port() is 0 when it did not start.
    // The bounds hold for a first start on a busy machine.
    ViewerProcess(const QString& exe, const QString& localName, const QStringList& extra = {})
    {
        process_.start(exe, QStringList{"-P", "0", "-L", localName} + extra);
        if (!process_.waitForStarted(30000))
            return;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 60000 && !process_.canReadLine())
            process_.waitForReadyRead(100);
        const QByteArray line = process_.readLine().trimmed();
        if (line.startsWith("READY "))
            port_ = static_cast<quint16>(line.mid(6).toUInt());
    }
    ~ViewerProcess() { Quit(); }
    quint16 Port() const { return port_; }
    qint64 Pid() const { return process_.processId(); }
    // "<window count> <command> <command> ...": the commands received so
    // far, from the line "report" on its standard input; empty when it did
    // not answer within 5 s.
    std::string Report()
    {
        process_.readAll();
        process_.write("report\n");
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 5000) {
            process_.waitForReadyRead(100);
            while (process_.canReadLine()) {
                const QByteArray line = process_.readLine().trimmed();
                if (line.startsWith("REPORT "))
                    return line.mid(7).toStdString();
            }
        }
        return std::string();
    }
    // Ends the process cleanly; its exit code.
    int Quit()
    {
        if (process_.state() == QProcess::NotRunning)
            return process_.exitCode();
        process_.closeWriteChannel();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished(1000);
            return -1;
        }
        return process_.exitCode();
    }

private:
    QProcess process_;
    quint16 port_ = 0;
};

}  // namespace viewertest
