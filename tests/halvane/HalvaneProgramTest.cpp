// The real program on an X server (Xvfb) against the stand-in viewer as a
// process: it starts, connects, moves the seeded screen image to the centre
// when "1) Move to center" is pressed from the keyboard, shows its window
// (grabbed with xwd into a PNG beside the test binary's build folder) and
// ends cleanly through "Cancel".
#include "ViewerTestSupport.h"
#include "XvfbServer.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <signal.h>

namespace {

// Runs a tool to its end with DISPLAY set; its standard output.
QString RunTool(const QString& display, const QString& tool, const QStringList& args, int timeoutMs = 20000)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    p.setProcessEnvironment(env);
    p.start(tool, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
    }
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// An XWD dump (32 bits per pixel, true colour) as an image.
QImage ReadXwd(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    const QByteArray bytes = file.readAll();
    QDataStream in(bytes);
    in.setByteOrder(QDataStream::BigEndian);
    quint32 h[25];
    for (quint32& v : h)
        in >> v;
    const quint32 headerSize = h[0], width = h[4], height = h[5], byteOrder = h[7], bitsPerPixel = h[11],
                  bytesPerLine = h[12], redMask = h[14], greenMask = h[15], blueMask = h[16], colors = h[19];
    if (bitsPerPixel != 32 || redMask != 0xff0000 || greenMask != 0xff00 || blueMask != 0xff)
        return QImage();
    const qint64 offset = static_cast<qint64>(headerSize) + 12LL * colors;
    if (bytes.size() < offset + static_cast<qint64>(bytesPerLine) * height)
        return QImage();
    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    for (quint32 y = 0; y < height; ++y)
        for (quint32 x = 0; x < width; ++x) {
            const uchar* p =
                reinterpret_cast<const uchar*>(bytes.constData()) + offset + y * bytesPerLine + 4 * x;
            const quint32 v = byteOrder == 0 ? (p[0] | p[1] << 8 | p[2] << 16 | quint32(p[3]) << 24)
                                             : (quint32(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]);
            image.setPixel(static_cast<int>(x), static_cast<int>(y), 0xff000000u | (v & 0xffffff));
        }
    return image;
}

std::string ViewerReport(QProcess& viewer)
{
    viewer.readAll();
    viewer.write("report\n");
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000) {
        viewer.waitForReadyRead(100);
        while (viewer.canReadLine()) {
            const QByteArray line = viewer.readLine().trimmed();
            if (line.startsWith("REPORT "))
                return line.mid(7).toStdString();
        }
    }
    return std::string();
}

TEST(HalvaneProgram, RunsOnAnXServerMovesTheImageToTheCentreAndEndsCleanly)
{
    for (const char* tool : {"Xvfb", "xdotool", "xwd"})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    XvfbServer server;
    ASSERT_TRUE(server.Start());

    QProcess viewer;
    viewer.start(LW_STANDIN_VIEWER_EXE, {"-P", "0", "-L", "halvanexvfb", "-S", "256"});
    ASSERT_TRUE(viewer.waitForStarted(5000));
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000 && !viewer.canReadLine())
        viewer.waitForReadyRead(100);
    const QByteArray ready = viewer.readLine().trimmed();
    ASSERT_TRUE(ready.startsWith("READY ")) << ready.toStdString();
    const QString port = QString::fromLatin1(ready.mid(6));

    // The program runs from the run folder, where its ini and menu files land.
    const QString exe = QDir::currentPath() + "/halvane";
    QFile::remove(exe);
    ASSERT_TRUE(QFile::copy(LW_HALVANE_EXE, exe));
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", server.Display());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("QT_FONT_DPI", "96");
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(exe, {"-P", port});
    ASSERT_TRUE(program.waitForStarted(5000));

    const QString window = RunTool(server.Display(), "xdotool",
                                   {"search", "--sync", "--onlyvisible", "--name", "RFA: Background"});
    ASSERT_FALSE(window.isEmpty()) << program.readAll().toStdString();
    const QString id = window.split('\n').front();
    EXPECT_EQ(RunTool(server.Display(), "xdotool", {"getwindowname", id}),
              "RFA: Background: Spherical Harmonics 0.0.5");
    QThread::msleep(500);  // the start timer and the first paint

    // Focus goes to the first widget of the tab order; "1) Move to center"
    // is the eleventh.
    RunTool(server.Display(), "xdotool", {"windowfocus", "--sync", id});
    QStringList keys = {"key", "--delay", "50"};
    for (int i = 0; i < 10; ++i)
        keys << "Tab";
    keys << "space";
    RunTool(server.Display(), "xdotool", keys);
    std::string report;
    for (t.start(); t.elapsed() < 15000; QThread::msleep(200)) {
        report = ViewerReport(viewer);
        if (report.rfind("2 ", 0) == 0 && report.find("Update") != std::string::npos)
            break;
    }
    EXPECT_EQ(report.rfind("2 ", 0), 0u) << report;
    EXPECT_NE(report.find("ImageNewWindow FIImageSetBySharedMemory ImageKeyDoubleSet ImageKeyStringSet "
                          "RegionAdd RegionAdd Update"),
              std::string::npos)
        << report;

    QThread::msleep(300);
    const QString xwd = QDir::currentPath() + "/window.xwd";
    RunTool(server.Display(), "xwd", {"-id", id, "-silent", "-out", xwd});
    const QImage shot = ReadXwd(xwd);
    ASSERT_FALSE(shot.isNull());
    EXPECT_GE(shot.width(), 500);
    EXPECT_GE(shot.height(), 500);
    shot.save(LW_HALVANE_SCREENSHOT);

    // The focus is back on the button when the operation has ended;
    // "Cancel", the last of the tab order, is 24 further.
    keys = QStringList{"key", "--delay", "30"};
    for (int i = 0; i < 24; ++i)
        keys << "Tab";
    keys << "space";
    RunTool(server.Display(), "xdotool", keys);
    ASSERT_TRUE(program.waitForFinished(15000)) << program.readAll().toStdString();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAll().toStdString();

    viewer.write("quit\n");
    viewer.closeWriteChannel();
    EXPECT_TRUE(viewer.waitForFinished(10000));
}

// halvane started on an X server from the run folder, with TMPDIR `tmp`
// (where Qt keeps the key files of shared-memory blocks and semaphores; a
// viewer that shares blocks with it must have the same).
struct HalvaneOnX
{
    HalvaneOnX(const QString& display, const QStringList& args, const QString& tmp) : tmp(tmp)
    {
        const QString exe = QDir::currentPath() + "/halvane";
        QFile::remove(exe);
        if (!QFile::copy(LW_HALVANE_EXE, exe))
            return;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("TMPDIR", tmp);
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(exe, args);
        program.waitForStarted(5000);
    }
    ~HalvaneOnX()
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(5000);
        }
    }
    // The key files left in TMPDIR for blocks or semaphores not freed.
    QStringList KeyFiles() const
    {
        return QDir(tmp).entryList({"qipc_*"}, QDir::AllEntries | QDir::System | QDir::Hidden);
    }
    QString tmp;
    QProcess program;
};

// Each of SIGTERM, SIGINT and SIGHUP, sent after an image went to the viewer
// through shared memory, ends halvane as its close does: exit code 0, its
// block and semaphore freed (no segment it created, no key file), the ini
// file whole.
TEST(HalvaneProgram, SignalsEndTheProgramWithoutLeavingItsImageBlock)
{
    for (const char* tool : {"Xvfb", "xdotool", "ipcs"})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    XvfbServer server;
    ASSERT_TRUE(server.Start());
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signo);
        QTemporaryDir tmp;
        ASSERT_TRUE(tmp.isValid());
        const QByteArray ownTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", tmp.path().toLocal8Bit());
        viewertest::ViewerProcess viewer(LW_STANDIN_VIEWER_EXE, "halvanesignal", {"-S", "256"});
        qputenv("TMPDIR", ownTmp);
        ASSERT_NE(viewer.Port(), 0);
        QFile::remove(QDir::currentPath() + "/halvane.ini");
        HalvaneOnX run(server.Display(), {"-P", QString::number(viewer.Port())}, tmp.path());
        ASSERT_EQ(run.program.state(), QProcess::Running);
        const QString window = RunTool(server.Display(), "xdotool",
                                       {"search", "--sync", "--onlyvisible", "--name", "RFA: Background"});
        ASSERT_FALSE(window.isEmpty()) << run.program.readAll().toStdString();
        QThread::msleep(500);
        // "1) Move to center", the eleventh of the tab order, sends an image.
        RunTool(server.Display(), "xdotool", {"windowfocus", "--sync", window.split('\n').front()});
        QStringList keys = {"key", "--delay", "50"};
        for (int i = 0; i < 10; ++i)
            keys << "Tab";
        keys << "space";
        RunTool(server.Display(), "xdotool", keys);
        const qint64 pid = run.program.processId();
        QElapsedTimer t;
        for (t.start(); t.elapsed() < 15000 && viewertest::SegmentsCreatedBy(pid).empty();)
            QThread::msleep(100);
        ASSERT_FALSE(viewertest::SegmentsCreatedBy(pid).empty()) << run.program.readAll().toStdString();
        QThread::msleep(500);  // the operation's last requests

        ASSERT_EQ(0, ::kill(static_cast<pid_t>(pid), signo));
        ASSERT_TRUE(run.program.waitForFinished(15000)) << run.program.readAll().toStdString();
        EXPECT_EQ(run.program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.program.exitCode(), 0) << run.program.readAll().toStdString();
        EXPECT_TRUE(viewertest::SegmentsCreatedBy(pid).empty());
        EXPECT_EQ(viewer.Quit(), 0);
        EXPECT_TRUE(run.KeyFiles().isEmpty()) << run.KeyFiles().join(",").toStdString();
        QFile ini(QDir::currentPath() + "/halvane.ini");
        ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
        const QByteArray text = ini.readAll().trimmed();
        EXPECT_TRUE(text.endsWith("</ini>")) << text.right(200).toStdString();
    }
}

// A refused "-P" is shown in the error box, not only on standard error; a
// signal ends the program while the box is open.
TEST(HalvaneProgram, ARefusedPortIsShownInTheErrorBox)
{
    for (const char* tool : {"Xvfb", "xdotool"})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    XvfbServer server;
    ASSERT_TRUE(server.Start());
    HalvaneOnX run(server.Display(), {"-P", "152117"}, QDir::tempPath());
    ASSERT_EQ(run.program.state(), QProcess::Running);
    const QString box =
        RunTool(server.Display(), "xdotool", {"search", "--sync", "--onlyvisible", "--name", "^ERROR$"});
    EXPECT_FALSE(box.isEmpty());
    ASSERT_EQ(0, ::kill(static_cast<pid_t>(run.program.processId()), SIGTERM));
    ASSERT_TRUE(run.program.waitForFinished(15000));
    const std::string output = run.program.readAll().toStdString();
    EXPECT_NE(output.find("Port number is out of range (1 to 65535): 152117"), std::string::npos) << output;
    EXPECT_EQ(run.program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.program.exitCode(), 0);
}

}  // namespace
