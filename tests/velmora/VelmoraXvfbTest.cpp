// The real program on a real X server (Xvfb, started here) against the
// stand-in viewer as a process: start, load a cluster through the file
// dialog, compute one hologram, exit with 0. The clicks and keys go through
// xdotool; the screen is grabbed with xwd, and the main window and the
// hologram dialog are kept as PNG files beside the test binary.
#include "ViewerTestSupport.h"
#include "XvfbServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdint>
#include <signal.h>

namespace {

// xdotool, xwd and friends on the test's display.
class XTools
{
public:
    explicit XTools(const QString& display) : display_(display) {}

    QString Run(const QString& program, const QStringList& args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display_);
        p.setProcessEnvironment(env);
        p.start(program, args);
        p.waitForFinished(20000);
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }
    // The first visible window whose name matches `pattern`, waiting up to
    // `ms`; empty when none came.
    QString WaitWindow(const QString& pattern, int ms = 20000)
    {
        for (int waited = 0; waited < ms; waited += 100) {
            const QString ids = Run("xdotool", {"search", "--onlyvisible", "--name", pattern});
            if (!ids.isEmpty())
                return ids.split('\n').front();
            QThread::msleep(100);
        }
        return QString();
    }
    // Waits until no visible window matches `pattern`.
    bool WaitGone(const QString& pattern, int ms = 20000)
    {
        for (int waited = 0; waited < ms; waited += 100) {
            if (Run("xdotool", {"search", "--onlyvisible", "--name", pattern}).isEmpty())
                return true;
            QThread::msleep(100);
        }
        return false;
    }
    void Click(const QString& window, int x, int y)
    {
        Run("xdotool", {"mousemove", "--window", window, QString::number(x), QString::number(y)});
        QThread::msleep(150);
        Run("xdotool", {"click", "1"});
        QThread::msleep(300);
    }
    // The pointer over the window and the keyboard focus on it.
    void Focus(const QString& window)
    {
        Run("xdotool", {"mousemove", "--window", window, "40", "40"});
        Run("xdotool", {"windowfocus", window});
        QThread::msleep(300);
    }
    void Keys(const QString& window, const QStringList& keys)
    {
        Focus(window);
        for (const QString& k : keys) {
            Run("xdotool", {"key", k});
            QThread::msleep(1000);
        }
    }
    void Type(const QString& window, const QString& text)
    {
        Focus(window);
        Run("xdotool", {"type", "--delay", "20", text});
    }
    QRect Geometry(const QString& window)
    {
        const QString text = Run("xdotool", {"getwindowgeometry", "--shell", window});
        auto value = [&text](const char* key) {
            const QRegularExpressionMatch m = QRegularExpression(QString(key) + "=(\\d+)").match(text);
            return m.hasMatch() ? m.captured(1).toInt() : 0;
        };
        return QRect(value("X"), value("Y"), value("WIDTH"), value("HEIGHT"));
    }
    // The screen as xwd writes it (ZPixmap, 24 or 32 bits per pixel), cut
    // to `area`.
    QImage Grab(const QRect& area, const QString& scratch)
    {
        Run("xwd", {"-silent", "-root", "-out", scratch});
        QFile file(scratch);
        if (!file.open(QIODevice::ReadOnly))
            return QImage();
        const QByteArray d = file.readAll();
        auto card = [&d](int i) {
            const auto* b = reinterpret_cast<const unsigned char*>(d.constData() + 4 * i);
            return (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) |
                   b[3];
        };
        if (d.size() < 100)
            return QImage();
        const std::uint32_t headerSize = card(0), width = card(4), height = card(5), byteOrder = card(7);
        const std::uint32_t bpp = card(11), bytesPerLine = card(12), ncolors = card(19);
        const std::uint32_t rMask = card(14), gMask = card(15), bMask = card(16);
        const qint64 offset = headerSize + 12 * qint64(ncolors);
        if (bpp != 24 && bpp != 32)
            return QImage();
        if (d.size() < offset + qint64(bytesPerLine) * height)
            return QImage();
        auto shift = [](std::uint32_t mask) {
            int s = 0;
            while (mask && !(mask & 1)) {
                mask >>= 1;
                ++s;
            }
            return s;
        };
        QImage screen(int(width), int(height), QImage::Format_RGB32);
        const int bytes = int(bpp / 8);
        for (std::uint32_t y = 0; y < height; ++y) {
            const auto* line =
                reinterpret_cast<const unsigned char*>(d.constData() + offset + qint64(y) * bytesPerLine);
            for (std::uint32_t x = 0; x < width; ++x) {
                std::uint32_t p = 0;
                for (int k = 0; k < bytes; ++k) {
                    const std::uint32_t byte = line[x * bytes + k];
                    p |= byteOrder == 0 ? byte << (8 * k) : byte << (8 * (bytes - 1 - k));
                }
                screen.setPixel(int(x), int(y),
                                qRgb((p & rMask) >> shift(rMask), (p & gMask) >> shift(gMask),
                                     (p & bMask) >> shift(bMask)));
            }
        }
        return screen.copy(area);
    }

private:
    QString display_;
};

// Pixels that are neither the window grey nor white: text, frames, images.
int DrawnPixels(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += qGray(image.pixel(x, y)) < 128;
    return n;
}

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
    for (const char* tool : {"Xvfb", "xdotool", "xwd"})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    XvfbServer server;
    ASSERT_TRUE(server.Start("1280x1024x24"));
    XTools x(server.Display());

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

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", server.Display());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("QT_FONT_DPI", "96");
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(folder.path());
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(exe, {"-L", "velmoraxvfb"});
    ASSERT_TRUE(program.waitForStarted(10000));
    auto output = [&program] { return program.readAll().toStdString(); };

    const QString main = x.WaitWindow("^Simulation for X-ray fluorescence hologram");
    ASSERT_FALSE(main.isEmpty()) << output();
    QThread::msleep(500);
    const QRect mainArea = x.Geometry(main);
    EXPECT_TRUE(QFile::exists(folder.filePath("velmora.menu")));

    // (1) Load Cluster: the file dialog, then the cluster view.
    x.Click(main, mainArea.width() / 2, 85);
    const QString files = x.WaitWindow("^select cluster$");
    ASSERT_FALSE(files.isEmpty()) << output();
    x.Type(files, cluster);
    // The first Return may only close the name completion.
    for (int i = 0; i < 3 && !x.WaitGone("^select cluster$", 1000); ++i)
        x.Keys(files, {"Return"});
    const QString view = x.WaitWindow("^Dialog$");
    ASSERT_FALSE(view.isEmpty()) << output();
    QThread::msleep(600);
    x.Click(view, 120, x.Geometry(view).height() - 24);  // OK
    ASSERT_TRUE(x.WaitGone("^Dialog$")) << output();

    // (3) Hologram Image: Calculate on the equidistant cylindrical tab.
    const QImage mainShot = x.Grab(mainArea, folder.filePath("main.xwd"));
    x.Click(main, mainArea.width() / 2, mainArea.height() - 113);
    const QString dialog = x.WaitWindow("^Dialog$");
    ASSERT_FALSE(dialog.isEmpty()) << output();
    QThread::msleep(500);
    const QRect dialogArea = x.Geometry(dialog);
    x.Click(dialog, dialogArea.width() - 155, 115);
    const QString finished = x.WaitWindow("^Information$", 60000);
    ASSERT_FALSE(finished.isEmpty()) << output();
    x.Keys(finished, {"Return"});
    ASSERT_TRUE(x.WaitGone("^Information$")) << output();
    QThread::msleep(500);
    const QImage dialogShot = x.Grab(x.Geometry(dialog), folder.filePath("dialog.xwd"));

    // Close the dialog, then the program.
    x.Click(dialog, dialogArea.width() - 52, dialogArea.height() - 24);
    ASSERT_TRUE(x.WaitGone("^Dialog$")) << output();
    x.Click(main, mainArea.width() - 59, mainArea.height() - 53);
    ASSERT_TRUE(program.waitForFinished(20000)) << output();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << output();

    // The screenshots: a main window and a dialog with something drawn.
    const QString shots = QCoreApplication::applicationDirPath();
    ASSERT_FALSE(mainShot.isNull());
    ASSERT_FALSE(dialogShot.isNull());
    EXPECT_TRUE(mainShot.save(shots + "/velmora_xvfb_main.png"));
    EXPECT_TRUE(dialogShot.save(shots + "/velmora_xvfb_hologram_dialog.png"));
    EXPECT_GT(DrawnPixels(mainShot), 500);
    EXPECT_GT(DrawnPixels(dialogShot), 500);

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
