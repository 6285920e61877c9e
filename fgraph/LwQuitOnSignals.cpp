#include "fgraph/LwQuitOnSignals.h"

#include "core/LwError.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

volatile std::sig_atomic_t gLastSignal = 0;
// The write end, read by the handler; -1 when no object is installed.
volatile std::sig_atomic_t gWriteFd = -1;
// Deferrals alive (GUI thread only).
int gDeferrals = 0;

extern "C" void OnQuitSignal(int signo)
{
    gLastSignal = signo;
    const int fd = gWriteFd;
    if (fd >= 0) {
        const char byte = static_cast<char>(signo);
        // A full pipe already holds a wake-up; nothing else can be done here.
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
}

}  // namespace

LwQuitOnSignals::LwQuitOnSignals(QObject* parent) : QObject(parent)
{
    if (gWriteFd >= 0 || ::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        throw LwError("Cannot install the signal handlers");
    gLastSignal = 0;
    gWriteFd = pipe_[1];
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &LwQuitOnSignals::OnPipeReadable);
    struct sigaction action = {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signo : kSignals)
        ::sigaction(signo, &action, nullptr);
}

LwQuitOnSignals::~LwQuitOnSignals()
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signo : kSignals)
        ::sigaction(signo, &action, nullptr);
    gWriteFd = -1;
    gLastSignal = 0;
    notifier_.reset();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

bool LwQuitOnSignals::IsQuitRequested()
{
    return gLastSignal != 0;
}

int LwQuitOnSignals::LastSignal()
{
    return gLastSignal;
}

bool LwQuitOnSignals::StopsWaits(std::int64_t waitedMs)
{
    return IsQuitRequested() && (gDeferrals == 0 || waitedMs >= kDeferralGraceMs);
}

LwQuitOnSignals::Deferral::Deferral()
{
    ++gDeferrals;
}

LwQuitOnSignals::Deferral::~Deferral()
{
    --gDeferrals;
}

void LwQuitOnSignals::OnPipeReadable()
{
    char bytes[16];
    while (::read(pipe_[0], bytes, sizeof bytes) > 0) {}
    QCoreApplication::quit();
}
