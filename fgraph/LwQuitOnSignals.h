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
// not end a wait that runs the events itself. The requests that hand one
// result over to the viewer are not cut in half: within a Deferral the waits
// go on, and the program ends once they are done; only a viewer that has not
// answered for kDeferralGraceMs is then given up on.
//
// One object per process, made after the application object and before
// exec(); its end restores the default actions. GUI thread only, except the
// handler.

#include <QObject>

#include <cstdint>
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
    // How long a wait within a Deferral may last after a quit signal.
    static constexpr std::int64_t kDeferralGraceMs = 5000;
    // Whether a wait for the viewer that has lasted `waitedMs` ends as
    // cancelled: after a quit signal, at once outside a Deferral, after
    // kDeferralGraceMs within one.
    static bool StopsWaits(std::int64_t waitedMs);

    // While one exists (they nest), a quit signal does not stop the waits:
    // for the requests of one result, which complete as a whole or, after a
    // quit signal that came before them, are not started at all.
    class Deferral
    {
    public:
        Deferral();
        ~Deferral();
        Deferral(const Deferral&) = delete;
        Deferral& operator=(const Deferral&) = delete;
    };

private:
    void OnPipeReadable();

    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};
