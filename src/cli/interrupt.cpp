#include "cli/interrupt.hpp"

#include <atomic>
#include <csignal>

namespace tidal {

namespace {

// Written by the handler, read by the sweep; a lock-free atomic is safe in a handler.
std::atomic<int> g_caught{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void note_signal(int sig) {
    int expected = 0;
    g_caught.compare_exchange_strong(expected, sig);
}

struct sigaction g_previous[2];
struct sigaction g_previous_pipe;
constexpr int kSignals[2] = {SIGINT, SIGTERM};

} // namespace

InterruptCatcher::InterruptCatcher() {
    g_caught = 0;
    struct sigaction sa {};
    sa.sa_handler = note_signal;
    sigemptyset(&sa.sa_mask);
    for (int i = 0; i < 2; ++i) {
        sigaction(kSignals[i], nullptr, &g_previous[i]);
        // A shell starts background jobs with SIGINT ignored, so that Ctrl-C spares them.
        if (kSignals[i] == SIGINT && g_previous[i].sa_handler == SIG_IGN) continue;
        sigaction(kSignals[i], &sa, nullptr);
    }
    // A closed console shows as a failed write (EPIPE) instead of ending the process.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &g_previous_pipe);
}

InterruptCatcher::~InterruptCatcher() {
    for (int i = 0; i < 2; ++i)
        sigaction(kSignals[i], &g_previous[i], nullptr);
    sigaction(SIGPIPE, &g_previous_pipe, nullptr);
}

int InterruptCatcher::caught() {
    return g_caught.load();
}

} // namespace tidal
