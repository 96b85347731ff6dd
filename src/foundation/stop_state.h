#pragma once
// The process-wide stop state of the traffic service: two stop flags, the close reason
// and the restart delay. Any thread may ask for a close-down; the first reason wins,
// except that the user closing the program always raises the hard stop.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string_view>

enum class CloseReason : int32_t {
    NotYetSet = 0,
    SimWasClosed = 1,
    NewFlight = 2,
    NewSettings = 3,
    UserClosedSim = 4,
    SimConnectError = 5,
    ReaderError = 6,
    SystemError = 7,
    NewVersion = 8,
};

// "NOT YET SET", "SIM WAS CLOSED", ... as the log line "Exiting: {}" writes them.
std::string_view gf_closeReasonText(CloseReason reason);
// NEW SETTINGS, SIMCONNECT ERROR and READER ERROR restart the service.
bool gf_closeReasonRestarts(CloseReason reason);

extern std::atomic<bool> g_stopRequested;
extern std::atomic<bool> g_hardStop;

// "USER CLOSED SIM" raises both flags and becomes the reason when none is set (the delay
// is ignored); any other reason is taken, with its delay, only when no stop is pending,
// except that new settings from the user take the place of a "SYSTEM ERROR", which
// would otherwise wait for the user to close the program.
void gf_requestClosingDown(CloseReason reason, int32_t delaySeconds);
bool gf_stopPending();
CloseReason gf_closeReason();
int32_t gf_restartDelaySeconds();
// Sets the reason directly, as the worker's exception guard does.
void gf_setCloseReason(CloseReason reason);
// Back to "running": both flags cleared, reason "NOT YET SET", delay 0.
void gf_resetStopState();
// The same before a restart, in one step with the test of the hard stop, so that a close
// of the program just before the reset is not lost: false (and nothing changed) when the
// hard stop is set.
bool gf_resetStopStateUnlessHardStop();

// Sleeps until done() holds, the time is up or the thread's stop is requested; every
// change of the stop state wakes it at once. The last answer of done(), which may read
// the stop state but must not change it.
bool gf_waitOnStopState(std::chrono::milliseconds limit, const std::stop_token& stop,
                        const std::function<bool()>& done);
