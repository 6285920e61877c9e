// The real program on an X server (Xvfb) against the stand-in viewer as a
// process: it starts, connects, moves the seeded screen image to the centre
// when "1) Move to center" is pressed from the keyboard, shows its window
// (grabbed with xwd into a PNG beside the test binary's build folder) and
// ends cleanly through "Cancel".
#include "ViewerTestSupport.h"
#include "XProgram.h"
#include "XTools.h"
#include "XvfbServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <signal.h>

namespace {

// halvane copied into the run folder, where its ini and menu files land;
// its path.
QString CopyOfTheProgram()
{
    const QString exe = QDir::currentPath() + "/halvane";
    QFile::remove(exe);
    return QFile::copy(LW_HALVANE_EXE, exe) ? exe : QString();
}

// The tests run the program in a folder that goes at the end; screenshots
// are kept in the build folder.
QString ShotFolder()
{
    return QFileInfo(LW_HALVANE_SCREENSHOT).absolutePath();
}

// Ready: its window is up and drawn (the start timer, due before the first
// paint, has loaded the ini file into the form).
QString ReadyWindow(XProgram& program)
{
    return program.WaitForWindow("RFA: Background",
                                 [&program](const QString& window) { return program.Painted(window); });
}

// Presses "1) Move to center", the eleventh of the tab order, from the
// keyboard: the focus goes to the first widget when the window gets it.
void PressMoveToCenter(const XTools& x, const QString& window)
{
    x.Run("xdotool", {"windowfocus", "--sync", window});
    QStringList keys = {"key", "--delay", "50"};
    for (int i = 0; i < 10; ++i)
        keys << "Tab";
    keys << "space";
    x.Run("xdotool", keys);
}

TEST(HalvaneProgram, RunsOnAnXServerMovesTheImageToTheCentreAndEndsCleanly)
{
    if (!XTools::Installed({"Xvfb", "xdotool", "xwd"}))
        GTEST_SKIP() << "Xvfb, xdotool or xwd is not installed";
    XvfbServer server;
    ASSERT_TRUE(server.Start());
    viewertest::ViewerProcess viewer(LW_STANDIN_VIEWER_EXE, "halvanexvfb", {"-S", "256"});
    ASSERT_NE(viewer.Port(), 0);

    const QString exe = CopyOfTheProgram();
    ASSERT_FALSE(exe.isEmpty());
    XProgram program(server, exe, {"-P", QString::number(viewer.Port())});
    program.SetScreenshotFolder(ShotFolder());
    ASSERT_TRUE(program.Started()) << program.Failure("the start");
    const XTools& x = program.X();
    const QString id = ReadyWindow(program);
    ASSERT_FALSE(id.isEmpty()) << program.Failure("the main window, drawn");
    EXPECT_EQ(x.Run("xdotool", {"getwindowname", id}), "RFA: Background: Spherical Harmonics 0.0.5");

    PressMoveToCenter(x, id);
    std::string report;
    const bool moved = program.WaitFor([&] {
        report = viewer.Report();
        return report.rfind("2 ", 0) == 0 && report.find("Update") != std::string::npos;
    });
    EXPECT_TRUE(moved) << report << "\n" << program.Failure("the image moved to the centre");
    EXPECT_NE(report.find("ImageNewWindow FIImageSetBySharedMemory ImageKeyDoubleSet ImageKeyStringSet "
                          "RegionAdd RegionAdd Update"),
              std::string::npos)
        << report;

    QThread::msleep(300);
    const QImage shot = x.Grab(QDir::currentPath() + "/window.xwd", id);
    ASSERT_FALSE(shot.isNull());
    EXPECT_GE(shot.width(), 500);
    EXPECT_GE(shot.height(), 500);
    shot.save(LW_HALVANE_SCREENSHOT);

    // The focus is back on the button when the operation has ended;
    // "Cancel", the last of the tab order, is 24 further.
    QStringList keys = {"key", "--delay", "30"};
    for (int i = 0; i < 24; ++i)
        keys << "Tab";
    keys << "space";
    x.Run("xdotool", keys);
    ASSERT_TRUE(program.WaitFor([&] { return program.Process().state() == QProcess::NotRunning; }))
        << program.Failure("the program's end");
    EXPECT_EQ(program.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.Process().exitCode(), 0) << program.Output();
    EXPECT_EQ(viewer.Quit(), 0);
}

// Each of SIGTERM, SIGINT and SIGHUP, sent after an image went to the viewer
// through shared memory, ends halvane as its close does: exit code 0, its
// block and semaphore freed (no segment it created, no key file), the ini
// file whole.
TEST(HalvaneProgram, SignalsEndTheProgramWithoutLeavingItsImageBlock)
{
    if (!XTools::Installed({"Xvfb", "xdotool", "xwd", "ipcs"}))
        GTEST_SKIP() << "Xvfb, xdotool, xwd or ipcs is not installed";
    XvfbServer server;
    ASSERT_TRUE(server.Start());
    const QString exe = CopyOfTheProgram();
    ASSERT_FALSE(exe.isEmpty());
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signo);
        // Qt keeps the key files of shared-memory blocks and semaphores in
        // TMPDIR; a viewer that shares blocks with the program needs the same.
        QTemporaryDir tmp;
        ASSERT_TRUE(tmp.isValid());
        const QByteArray ownTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", tmp.path().toLocal8Bit());
        viewertest::ViewerProcess viewer(LW_STANDIN_VIEWER_EXE, "halvanesignal", {"-S", "256"});
        qputenv("TMPDIR", ownTmp);
        ASSERT_NE(viewer.Port(), 0);
        QFile::remove(QDir::currentPath() + "/halvane.ini");
        QProcessEnvironment env;
        env.insert("TMPDIR", tmp.path());
        XProgram program(server, exe, {"-P", QString::number(viewer.Port())}, QString(), env);
        program.SetScreenshotFolder(ShotFolder());
        ASSERT_TRUE(program.Started()) << program.Failure("the start");
        const QString window = ReadyWindow(program);
        ASSERT_FALSE(window.isEmpty()) << program.Failure("the main window, drawn");
        // "1) Move to center" sends an image.
        PressMoveToCenter(program.X(), window);
        const qint64 pid = program.Process().processId();
        ASSERT_TRUE(program.WaitFor([&] { return !viewertest::SegmentsCreatedBy(pid).empty(); }))
            << program.Failure("the image block");
        QThread::msleep(500);  // the operation's last requests

        ASSERT_EQ(0, ::kill(static_cast<pid_t>(pid), signo));
        ASSERT_TRUE(program.WaitFor([&] { return program.Process().state() == QProcess::NotRunning; }))
            << program.Failure("the program's end");
        EXPECT_EQ(program.Process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.Process().exitCode(), 0) << program.Output();
        EXPECT_TRUE(viewertest::SegmentsCreatedBy(pid).empty());
        EXPECT_EQ(viewer.Quit(), 0);
        const QStringList keyFiles =
            QDir(tmp.path()).entryList({"qipc_*"}, QDir::AllEntries | QDir::System | QDir::Hidden);
        EXPECT_TRUE(keyFiles.isEmpty()) << keyFiles.join(",").toStdString();
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
    if (!XTools::Installed({"Xvfb", "xdotool", "xwd"}))
        GTEST_SKIP() << "Xvfb, xdotool or xwd is not installed";
    XvfbServer server;
    ASSERT_TRUE(server.Start());
    const QString exe = CopyOfTheProgram();
    ASSERT_FALSE(exe.isEmpty());
    XProgram program(server, exe, {"-P", "152117"});
    program.SetScreenshotFolder(ShotFolder());
    ASSERT_TRUE(program.Started()) << program.Failure("the start");
    EXPECT_FALSE(program.WaitForWindow("^ERROR$").isEmpty()) << program.Failure("the error box");
    ASSERT_EQ(0, ::kill(static_cast<pid_t>(program.Process().processId()), SIGTERM));
    ASSERT_TRUE(program.WaitFor([&] { return program.Process().state() == QProcess::NotRunning; }))
        << program.Failure("the program's end");
    const std::string output = program.Output();
    EXPECT_NE(output.find("Port number is out of range (1 to 65535): 152117"), std::string::npos) << output;
    EXPECT_EQ(program.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.Process().exitCode(), 0);
}

}  // namespace
