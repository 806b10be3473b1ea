#include "support/stop_signals.h"

#ifndef _WIN32

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace quillane {
namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Only async-signal-safe operations touch these from the handler.
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int> g_firstSignal{0};
int g_wakePipe[2] = {-1, -1};

extern "C" void OnStopSignal(int signalNumber) {
    int none = 0;
    if (!g_firstSignal.compare_exchange_strong(none, signalNumber)) {
        // The orderly stop already runs: the caller insists. The signal stays
        // blocked until the handler returns, then takes its default action.
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        sigemptyset(&byDefault.sa_mask);
        sigaction(signalNumber, &byDefault, nullptr);
        raise(signalNumber);
        return;
    }
    const int savedErrno = errno;
    const char wake = 1;
    [[maybe_unused]] const ssize_t written = write(g_wakePipe[1], &wake, 1);
    errno = savedErrno;
}

bool MakeWakePipe() {
    if (pipe(g_wakePipe) != 0) return false;
    for (int fd : g_wakePipe) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);  // helper programs started later do not inherit it
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    return true;
}

void CatchUnlessIgnored(int signalNumber) {
    struct sigaction previous {};
    if (sigaction(signalNumber, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) return;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int other : kStopSignals) sigaddset(&action.sa_mask, other);  // one handler at a time
    action.sa_flags = SA_RESTART;
    sigaction(signalNumber, &action, nullptr);
}

}  // namespace

int InstallStopSignals() {
    static const int readEnd = [] {
        if (!MakeWakePipe()) return -1;
        for (int signalNumber : kStopSignals) CatchUnlessIgnored(signalNumber);
        return g_wakePipe[0];
    }();
    return readEnd;
}

int TakeStopSignal() {
    char scratch[16];
    if (g_wakePipe[0] >= 0)
        while (read(g_wakePipe[0], scratch, sizeof scratch) > 0) {
        }
    return g_firstSignal.load();
}

}  // namespace quillane

#else

namespace quillane {

int InstallStopSignals() {
    return -1;
}
int TakeStopSignal() {
    return 0;
}

}  // namespace quillane

#endif
