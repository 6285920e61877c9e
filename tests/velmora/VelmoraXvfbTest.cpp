// The real program on a real X server (Xvfb, started here) against the
// stand-in viewer as a process: start, load a cluster through the file
// dialog, compute one hologram, exit with 0. The clicks and keys go through
// xdotool; the screen is grabbed with xwd, and the main window and the
// hologram dialog are kept as PNG files beside the test binary.
#include "ViewerTestSupport.h"
#include "XProgram.h"
#include "XTools.h"
#include "XvfbServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <signal.h>

namespace {

// The program copied into `folder` as "velmora", with its tables beside it.
bool CopyProgramWithTables(const QTemporaryDir& folder)
{
    if (!QFile::copy(LW_VELMORA_EXE, folder.filePath("velmora")))
        return false;
    for (const char* table :
         {"velmora_AtomicScatteringTable.csv", "AtomicWeight.txt", "DebyeTemperature_K.txt"})
        if (!QFile::copy(QFileInfo(LW_VELMORA_EXE).dir().filePath(table), folder.filePath(table)))
            return false;
    return true;
}

TEST(VelmoraXvfb, ProgramComputesOneHologramAndExitsCleanly)
{
    if (!XTools::Installed({"Xvfb", "xdotool", "xwd"}))
        GTEST_SKIP() << "Xvfb, xdotool or xwd is not installed";
    XvfbServer server;
    ASSERT_TRUE(server.Start("1280x1024x24"));

    // The program in a folder of its own, with its tables beside it.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString exe = folder.filePath("velmora");
    ASSERT_TRUE(CopyProgramWithTables(folder));
    const QString cluster = folder.filePath("cluster.xyz");
    {
        QFile file(cluster);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("5\nfragment\nFe 0 0 0\nO 1.9 0 0\nO 0 1.9 0\nO 0 0 -1.9\nFe 2.6 2.6 0\n");
    }
    const QString log = folder.filePath("viewer.log");
    std::unique_ptr<viewertest::ViewerProcess> viewer = std::make_unique<viewertest::ViewerProcess>(
        LW_STANDIN_VIEWER_EXE, "velmoraxvfb", QStringList{"-log", log});
    ASSERT_NE(viewer->Port(), 0);

    XProgram program(server, exe, {"-L", "velmoraxvfb"}, folder.path());
    ASSERT_TRUE(program.Started()) << program.Failure("the start");
    const XTools& x = program.X();

    // Ready once the start timer has read the tables and asked the viewer
    // for its focused window, and the window is drawn.
    const QString main =
        program.WaitForWindow("^Simulation for X-ray fluorescence hologram", [&](const QString& window) {
            return viewer->Report().find("WindowGetFocusedID") != std::string::npos &&
                   program.Painted(window);
        });
    ASSERT_FALSE(main.isEmpty()) << program.Failure("the main window, drawn, and its first request");
    const QRect mainArea = x.Geometry(main);
    EXPECT_TRUE(QFile::exists(folder.filePath("velmora.menu")));

    // (1) Load Cluster: the file dialog, then the cluster view.
    x.Click(main, mainArea.width() / 2, 85);
    const QString files = program.WaitForWindow("^select cluster$");
    ASSERT_FALSE(files.isEmpty()) << program.Failure("the file dialog");
    x.Type(files, cluster);
    // The first Return may only close the name completion.
    for (int i = 0; i < 3 && !x.WaitGone("^select cluster$", 1000); ++i)
        x.Keys(files, {"Return"});
    const QString view = program.WaitForWindow("^Dialog$");
    ASSERT_FALSE(view.isEmpty()) << program.Failure("the cluster view");
    ASSERT_TRUE(program.WaitFor([&] { return program.Painted(view); })) << program.Failure("the view drawn");
    x.Click(view, 120, x.Geometry(view).height() - 24);  // OK
    ASSERT_TRUE(program.WaitForNoWindow("^Dialog$")) << program.Failure("the cluster view to close");

    // (3) Hologram Image: Calculate on the equidistant cylindrical tab.
    const QImage mainShot = x.Grab(folder.filePath("main.xwd")).copy(mainArea);
    x.Click(main, mainArea.width() / 2, mainArea.height() - 113);
    const QString dialog = program.WaitForWindow("^Dialog$");
    ASSERT_FALSE(dialog.isEmpty()) << program.Failure("the hologram dialog");
    ASSERT_TRUE(program.WaitFor([&] { return program.Painted(dialog); }))
        << program.Failure("the dialog drawn");
    const QRect dialogArea = x.Geometry(dialog);
    x.Click(dialog, dialogArea.width() - 155, 115);
    const QString finished = program.WaitForWindow("^Information$");
    ASSERT_FALSE(finished.isEmpty()) << program.Failure("the end of the calculation");
    x.Keys(finished, {"Return"});
    ASSERT_TRUE(program.WaitForNoWindow("^Information$")) << program.Failure("the box to close");
    QThread::msleep(500);
    const QImage dialogShot = x.Grab(folder.filePath("dialog.xwd")).copy(x.Geometry(dialog));

    // Close the dialog, then the program.
    x.Click(dialog, dialogArea.width() - 52, dialogArea.height() - 24);
    ASSERT_TRUE(program.WaitForNoWindow("^Dialog$")) << program.Failure("the hologram dialog to close");
    x.Click(main, mainArea.width() - 59, mainArea.height() - 53);
    ASSERT_TRUE(program.WaitFor([&] { return program.Process().state() == QProcess::NotRunning; }))
        << program.Failure("the program's end");
    EXPECT_EQ(program.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.Process().exitCode(), 0) << program.Output();

    // The screenshots: a main window and a dialog with something drawn.
    const QString shots = QCoreApplication::applicationDirPath();
    ASSERT_FALSE(mainShot.isNull());
    ASSERT_FALSE(dialogShot.isNull());
    EXPECT_TRUE(mainShot.save(shots + "/velmora_xvfb_main.png"));
    EXPECT_TRUE(dialogShot.save(shots + "/velmora_xvfb_hologram_dialog.png"));
    EXPECT_GT(XTools::DrawnPixels(mainShot), 500);
    EXPECT_GT(XTools::DrawnPixels(dialogShot), 500);

    // The viewer got one image window captioned "Pattern" of 360 x 181.
    ASSERT_EQ(viewer->Quit(), 0);
    QFile logFile(log);
    ASSERT_TRUE(logFile.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(logFile.readAll());
    EXPECT_TRUE(text.contains("REQUEST WindowGetFocusedID -1")) << text.toStdString();
    EXPECT_TRUE(text.contains("REQUEST ImageNewWindow")) << text.toStdString();
    EXPECT_TRUE(text.contains("REQUEST FIImageSetBySharedMemory 1")) << text.toStdString();
    EXPECT_TRUE(text.contains("WINDOW 1 caption=Pattern image=360x181 series=0")) << text.toStdString();
    // The ini file was written beside the program.
    EXPECT_TRUE(QFile::exists(folder.filePath("velmora.ini")));
}

// Started without a viewer, the real program keeps running after saying so
// (it used to close its window and end), and each of SIGTERM, SIGINT and
// SIGHUP ends it as a close does, with exit code 0, even while its error box
// is open.
TEST(VelmoraProgram, WithoutAViewerItRunsOnAndSignalsEndItCleanly)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString exe = folder.filePath("velmora");
    ASSERT_TRUE(CopyProgramWithTables(folder));
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signo);
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TMPDIR", folder.path());  // no viewer's socket there
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(folder.path());
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(exe, {"-L", "velmoranone"});
        ASSERT_TRUE(program.waitForStarted(10000));
        std::string output;
        QElapsedTimer t;
        for (t.start(); t.elapsed() < 20000 && output.find("SOCKET IS NOT ACTIVE") == std::string::npos;) {
            program.waitForReadyRead(100);
            output += program.readAll().toStdString();
        }
        ASSERT_NE(output.find("SOCKET IS NOT ACTIVE"), std::string::npos) << output;
        EXPECT_FALSE(program.waitForFinished(1000)) << "the program ended without a viewer";
        ASSERT_EQ(0, ::kill(static_cast<pid_t>(program.processId()), signo));
        ASSERT_TRUE(program.waitForFinished(15000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0) << output << program.readAll().toStdString();
    }
}

}  // namespace
