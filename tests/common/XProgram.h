#pragma once
// A program run on a test's X server (XvfbServer) with the xcb platform,
// its standard output and error collected as they come, and the wait for
// its window.
//
// Before a Qt program shows its first window it connects to the X server,
// loads the xcb platform with its GL integration, compiles the keymap,
// reads the font caches and asks the X server for a session bus; the suite's
// programs also write their menu file and connect to the viewer (five tries
// of up to a second each). The first start on a machine, while caches are
// built, can take many seconds on two busy cores. So every wait here is for
// the program's own sign that it is ready, bounded by kStartBoundMs, ends as
// soon as the program has ended, and a failure names what was waited for,
// the program's state and output, and a screenshot of the whole screen kept
// as a PNG beside the test binary.

#include "XTools.h"
#include "XvfbServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <string>

class XProgram
{
public:
    // A start that takes longer than this is a fault of the program, not of
    // a busy machine.
    static constexpr int kStartBoundMs = 180000;

    // Starts `exe` with `args` in `folder` (the current folder when empty);
    // `env` holds the variables the test adds to the system's.
    XProgram(const XvfbServer& server, const QString& exe, const QStringList& args,
             const QString& folder = QString(), const QProcessEnvironment& env = QProcessEnvironment())
        : x_(server.Display())
    {
        QProcessEnvironment all = QProcessEnvironment::systemEnvironment();
        all.insert("DISPLAY", server.Display());
        all.insert("QT_QPA_PLATFORM", "xcb");
        all.insert("QT_FONT_DPI", "96");
        for (const QString& key : env.keys())
            all.insert(key, env.value(key));
        process_.setProcessEnvironment(all);
        if (!folder.isEmpty())
            process_.setWorkingDirectory(folder);
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(exe, args);
        started_ = process_.waitForStarted(30000);
    }
    ~XProgram()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    XProgram(const XProgram&) = delete;
    XProgram& operator=(const XProgram&) = delete;

    bool Started() const { return started_; }
    // Where Failure keeps its screenshot: beside the test binary unless set.
    void SetScreenshotFolder(const QString& folder) { screenshotFolder_ = folder; }
    QProcess& Process() { return process_; }
    const XTools& X() const { return x_; }

    // Everything the program wrote so far, standard output and error merged.
    const std::string& Output()
    {
        output_ += process_.readAll().toStdString();
        return output_;
    }
    // Waits until `ready` holds, polling every 100 ms; false when the
    // program ended first or kStartBoundMs passed.
    bool WaitFor(const std::function<bool()>& ready)
    {
        QElapsedTimer t;
        for (t.start(); t.elapsed() < kStartBoundMs; process_.waitForReadyRead(100)) {
            Output();
            if (ready())
                return true;
            if (process_.state() == QProcess::NotRunning)
                return ready();
        }
        return ready();
    }
    // The first visible window whose name matches `pattern`, once `ready`
    // holds for it too (the program's own sign that it is ready for input);
    // empty when they did not come.
    QString WaitForWindow(const QString& pattern,
                          const std::function<bool(const QString& window)>& ready = nullptr)
    {
        QString window;
        const bool done = WaitFor([&] {
            if (window.isEmpty())
                window = x_.FindWindow(pattern);
            return !window.isEmpty() && (!ready || ready(window));
        });
        return done ? window : QString();
    }
    // Waits until no visible window matches `pattern`.
    bool WaitForNoWindow(const QString& pattern)
    {
        return WaitFor([&] { return x_.FindWindow(pattern).isEmpty(); });
    }
    // A window whose grab shows at least `pixels` drawn pixels: it has been
    // painted.
    bool Painted(const QString& window, int pixels = 500) const
    {
        const QString scratch = QDir::temp().filePath("xprogram_window.xwd");
        const int drawn = XTools::DrawnPixels(x_.Grab(scratch, window));
        QFile::remove(scratch);
        return drawn >= pixels;
    }

    // What a failed wait for `what` leaves to read: the program's state and
    // output, and the screenshot of the whole screen saved as
    // "<suite>_<test>_screen.png".
    std::string Failure(const std::string& what)
    {
        const std::string output = Output();
        std::string text = "Waited for " + what + "; the program ";
        if (!started_)
            text += "did not start";
        else if (process_.state() == QProcess::NotRunning)
            text += "ended with exit code " + std::to_string(process_.exitCode()) +
                    (process_.exitStatus() == QProcess::CrashExit ? " (crashed)" : "");
        else
            text += "still runs";
        text += ".\nIts output:\n" + (output.empty() ? std::string("(nothing)") : output);
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const QString name = test != nullptr ? QString("%1_%2").arg(test->test_suite_name(), test->name())
                                             : QString("xprogram");
        const QString folder =
            screenshotFolder_.isEmpty() ? QCoreApplication::applicationDirPath() : screenshotFolder_;
        const QString png = folder + "/" + name + "_screen.png";
        const QString scratch = QDir::temp().filePath("xprogram_screen.xwd");
        const QImage screen = x_.Grab(scratch);
        QFile::remove(scratch);
        if (!screen.isNull() && screen.save(png))
            text += "\nThe screen: " + png.toStdString();
        else
            text += "\nThe screen could not be grabbed.";
        return text;
    }

private:
    XTools x_;
    QProcess process_;
    bool started_ = false;
    std::string output_;
    QString screenshotFolder_;
};
