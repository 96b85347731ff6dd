#include "foundation/stop_state.h"

#include <mutex>

std::atomic<bool> g_stopRequested{false};
std::atomic<bool> g_hardStop{false};

namespace {
// g_stopMutex makes "test the flag, then write reason and delay" one step, so the first
// requester's reason and delay are the ones the close-down reads.
std::mutex g_stopMutex;
CloseReason g_closeReason = CloseReason::NotYetSet;
int32_t g_restartDelaySeconds = 0;

constexpr std::string_view kReasonTexts[] = {
    "NOT YET SET",      "SIM WAS CLOSED", "NEW FLIGHT",   "NEW SETTINGS", "USER CLOSED SIM",
    "SIMCONNECT ERROR", "READER ERROR",   "SYSTEM ERROR", "NEW VERSION",
};
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
    std::lock_guard lock(g_stopMutex);
    if (reason == CloseReason::UserClosedSim) {
        if (g_closeReason == CloseReason::NotYetSet)
            g_closeReason = CloseReason::UserClosedSim;
        g_hardStop = true;
        g_stopRequested = true;
        return;
    }
    if (g_stopRequested)
        return;
    g_closeReason = reason;
    g_restartDelaySeconds = delaySeconds;
    g_stopRequested = true;
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
    std::lock_guard lock(g_stopMutex);
    g_closeReason = reason;
}

void gf_resetStopState()
{
    std::lock_guard lock(g_stopMutex);
    g_hardStop = false;
    g_stopRequested = false;
    g_closeReason = CloseReason::NotYetSet;
    g_restartDelaySeconds = 0;
}

bool gf_resetStopStateUnlessHardStop()
{
    std::lock_guard lock(g_stopMutex);
    if (g_hardStop)
        return false;
    g_stopRequested = false;
    g_closeReason = CloseReason::NotYetSet;
    g_restartDelaySeconds = 0;
    return true;
}
