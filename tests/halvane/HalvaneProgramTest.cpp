// The real program on an X server (Xvfb) against the stand-in viewer as a
// process: it starts, connects, moves the seeded screen image to the centre
// when "1) Move to center" is pressed from the keyboard, shows its window
// (grabbed with xwd into a PNG beside the test binary's build folder) and
// ends cleanly through "Cancel".
#include "XvfbServer.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

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

TEST(HalvaneProgramTest, RunsOnAnXServerMovesTheImageToTheCentreAndEndsCleanly)
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

    // The button was disabled while it ran, which moved the focus on to the
    // next widget, "BG by spherical harmonics"; "Cancel", the last of the
    // tab order, is 23 further.
    keys = QStringList{"key", "--delay", "30"};
    for (int i = 0; i < 23; ++i)
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

}  // namespace
