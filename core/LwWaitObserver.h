#pragma once
// The observer of a wait that the user may end: a synchronous exchange with
// another program (the image viewer) that the GUI thread sits in while the
// application's events keep running. The waiting code knows nothing of
// windows; the program installs an observer that shows the wait and takes the
// user's answer (fgraph's LwWaitDialog).
//
// Call order, all on the waiting (GUI) thread: WaitStarted once, then
// IsWaitCancelled between polls (about every 10 ms, each time before the
// application's events are run), then WaitEnded once, on every path out of
// the wait (reply, error, cancel). Waits do not nest.

#include <cstdint>
#include <string>

class LwWaitObserver
{
public:
    virtual ~LwWaitObserver() = default;
    // `what` names the awaited peer in words, e.g. "the image viewer (port 14112)".
    virtual void WaitStarted(const std::string& what) = 0;
    // `elapsedMs`: milliseconds since the wait began. True ends the wait as
    // cancelled; the waiting code then discards whatever answer comes late.
    virtual bool IsWaitCancelled(std::int64_t elapsedMs) = 0;
    virtual void WaitEnded() = 0;
};
