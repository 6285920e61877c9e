#pragma once
// Ends a program's event loop cleanly on SIGTERM, SIGINT and SIGHUP, so that
// what its objects hold is released on the normal path: the viewer client's
// shared-memory block and its semaphore, the ini file written whole. (A
// signal's default action would end the process on the spot and leave the
// System V segments behind.)
//
// The handler only sets a flag and writes the signal number into a pipe (both
// async-signal-safe); a QSocketNotifier on the pipe's other end, on the GUI
// thread, then calls QCoreApplication::quit(). A wait that the user may
// cancel (LwWaitDialog) also ends when IsQuitRequested(), since quit() does
// not end a wait that runs the events itself.
//
// One object per process, made after the application object and before
// exec(); its end restores the default actions. GUI thread only, except the
// handler.

#include <QObject>

#include <memory>

class QSocketNotifier;

class LwQuitOnSignals : public QObject
{
public:
    // Installs the handlers; LwError "Cannot install the signal handlers"
    // when the pipe cannot be made or a second object exists.
    explicit LwQuitOnSignals(QObject* parent = nullptr);
    ~LwQuitOnSignals() override;
    LwQuitOnSignals(const LwQuitOnSignals&) = delete;
    LwQuitOnSignals& operator=(const LwQuitOnSignals&) = delete;

    // Whether one of the signals arrived while the object exists.
    static bool IsQuitRequested();
    // The number of the last signal that arrived (0 when none).
    static int LastSignal();

private:
    void OnPipeReadable();

    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};
