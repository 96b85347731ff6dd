#include "foundation/stop_state.h"

#include <condition_variable>
#include <mutex>

std::atomic<bool> g_stopRequested{false};
std::atomic<bool> g_hardStop{false};

namespace {
// g_stopMutex makes "test the flag, then write reason and delay" one step, so the first
// requester's reason and delay are the ones the close-down reads.
std::mutex g_stopMutex;
CloseReason g_closeReason = CloseReason::NotYetSet;
int32_t g_restartDelaySeconds = 0;
// The waiters' own lock, never held while g_stopMutex is taken to change the state; a
// waiter's test may take g_stopMutex inside it.
std::mutex g_stopWaitMutex;
std::condition_variable_any g_stopChanged;

constexpr std::string_view kReasonTexts[] = {
    "NOT YET SET",      "SIM WAS CLOSED", "NEW FLIGHT",   "NEW SETTINGS", "USER CLOSED SIM",
    "SIMCONNECT ERROR", "READER ERROR",   "SYSTEM ERROR", "NEW VERSION",
};
// Called after every change, with g_stopMutex released: a waiter is either before its
// test (and sees the change) or waiting (and is woken).
void lf_wakeWaiters()
{
    { std::lock_guard lock(g_stopWaitMutex); }
    g_stopChanged.notify_all();
}
} // namespace

std::string_view gf_closeReasonText(CloseReason reason)
{
    const auto i = static_cast<size_t>(reason);
    return i < std::size(kReasonTexts) ? kReasonTexts[i] : std::string_view{"UNKNOWN"};
}

bool gf_closeReasonRestarts(CloseReason reason)
{
    return reason == CloseReason::NewSettings || reason == CloseReason::SimConnectError ||
           reason == CloseReason::ReaderError;
}

void gf_requestClosingDown(CloseReason reason, int32_t delaySeconds)
{
    {
        std::lock_guard lock(g_stopMutex);
        if (reason == CloseReason::UserClosedSim) {
            if (g_closeReason == CloseReason::NotYetSet)
                g_closeReason = CloseReason::UserClosedSim;
            g_hardStop = true;
            g_stopRequested = true;
        } else if (!g_stopRequested ||
                   (reason == CloseReason::NewSettings && g_closeReason == CloseReason::SystemError && !g_hardStop)) {
            g_closeReason = reason;
            g_restartDelaySeconds = delaySeconds;
            g_stopRequested = true;
        } else {
            return;
        }
    }
    lf_wakeWaiters();
}

bool gf_stopPending()
{
    return g_stopRequested || g_hardStop;
}

CloseReason gf_closeReason()
{
    std::lock_guard lock(g_stopMutex);
    return g_closeReason;
}

int32_t gf_restartDelaySeconds()
{
    std::lock_guard lock(g_stopMutex);
    return g_restartDelaySeconds;
}

void gf_setCloseReason(CloseReason reason)
{
    {
        std::lock_guard lock(g_stopMutex);
        g_closeReason = reason;
    }
    lf_wakeWaiters();
}

void gf_resetStopState()
{
    {
        std::lock_guard lock(g_stopMutex);
        g_hardStop = false;
        g_stopRequested = false;
        g_closeReason = CloseReason::NotYetSet;
        g_restartDelaySeconds = 0;
    }
    lf_wakeWaiters();
}

bool gf_resetStopStateUnlessHardStop()
{
    {
        std::lock_guard lock(g_stopMutex);
        if (g_hardStop)
            return false;
        g_stopRequested = false;
        g_closeReason = CloseReason::NotYetSet;
        g_restartDelaySeconds = 0;
    }
    lf_wakeWaiters();
    return true;
}

bool gf_waitOnStopState(std::chrono::milliseconds limit, const std::stop_token& stop,
                        const std::function<bool()>& done)
{
    std::unique_lock lock(g_stopWaitMutex);
    g_stopChanged.wait_for(lock, stop, limit, done);
    return done();
}
