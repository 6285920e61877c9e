// The graph widget in programs of their own: the end of a program whose
// graph outlives the application object, and a real X server (Xvfb).
#include "XProgram.h"
#include "XTools.h"
#include "XvfbServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Outcome
{
    bool finished = false;
    QProcess::ExitStatus status = QProcess::NormalExit;
    int code = -1;
    QString errors;
};

Outcome RunWindowProgram(const QStringList& args, const QProcessEnvironment& env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(LW_FGRAPH_WINDOW_PROGRAM, args);
    Outcome o;
    o.finished = p.waitForFinished(60000);
    if (!o.finished)
        p.kill(), p.waitForFinished();
    o.status = p.exitStatus();
    o.code = p.exitCode();
    o.errors = QString::fromLocal8Bit(p.readAllStandardError());
    return o;
}

TEST(LwFGraphProcess, GraphOutlivingTheApplicationEndsCleanly)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    const Outcome o = RunWindowProgram({"teardown"}, env);
    ASSERT_TRUE(o.finished);
    EXPECT_EQ(o.status, QProcess::NormalExit) << o.errors.toStdString();
    EXPECT_EQ(o.code, 0) << o.errors.toStdString();
    EXPECT_FALSE(o.errors.contains("QObject")) << o.errors.toStdString();
}

TEST(LwFGraphProcess, WindowWithCurveAndImageIsGrabbedFromAnXServer)
{
    if (!XTools::Installed({"Xvfb", "xwd"}))
        GTEST_SKIP() << "Xvfb or xwd is not installed";
    XvfbServer server;
    ASSERT_TRUE(server.Start());

    // The program waits for its window to be exposed, draws and grabs it,
    // and ends.
    const QString png = QCoreApplication::applicationDirPath() + "/fgraph_xvfb_grab.png";
    QFile::remove(png);
    XProgram program(server, LW_FGRAPH_WINDOW_PROGRAM, {"grab", png});
    ASSERT_TRUE(program.Started()) << program.Failure("the start");
    ASSERT_TRUE(program.WaitFor([&] { return program.Process().state() == QProcess::NotRunning; }))
        << program.Failure("the grab");
    EXPECT_EQ(program.Process().exitStatus(), QProcess::NormalExit) << program.Output();
    ASSERT_EQ(program.Process().exitCode(), 0) << program.Failure("the grab");

    // The grab shows both graphs: the red curve and the image's gradation
    // (palette 3 runs through blue and cyan).
    const QImage shot(png);
    ASSERT_FALSE(shot.isNull());
    EXPECT_GE(shot.width(), 840);
    int red = 0, bluish = 0, white = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QRgb c = shot.pixel(x, y);
            if (qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60)
                ++red;
            if (qRed(c) < 60 && qBlue(c) > 150)
                ++bluish;
            if (c == qRgb(255, 255, 255))
                ++white;
        }
    EXPECT_GT(red, 200);
    EXPECT_GT(bluish, 5000);
    EXPECT_GT(white, 20000);
}

}  // namespace
