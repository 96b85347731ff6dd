#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include <fmt/format.h>

#include "catalogue/liveries.h"
#include "control/application.h"
#include "control/service_calls.h"
#include "control/service_control.h"
#include "control/service_internal.h"
#include "control/service_run.h"
#include "control/service_state.h"
#include "feed/qnh_reader.h"
#include "feed/readers.h"
#include "feed/realtraffic_link.h"
#include "feed/received_flights.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/settings_catalogue.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"
#include "foundation/time_text.h"
#include "foundation/version.h"
#include "parking/park_airports.h"
#include "parking/static_parking.h"
#include "traffic/traffic_service.h"
#include "ui/control_ops.h"
#include "ui/messages.h"
#include "ui/window_state.h"

namespace {
using namespace std::chrono_literals;

// Enough for a "SimClient" thread that is serving or waiting for the simulator; one in
// the middle of a connect (up to 4 s) or a close (up to 5.35 s) takes longer, and is
// joined before the reset instead.
constexpr auto kSimClientStopLimit = 3s;
// A reader ends within its one-second receive wait.
constexpr auto kReaderStopLimit = 2s;
// How much longer a restart waits for a reader thread that has not ended yet.
constexpr auto kReaderRestartLimit = 3s;
constexpr auto kNewFlightWait = 10s;

// Logged even while the stop is pending, which gf_showMessage would not log.
void lf_showAndLog(const std::string& text)
{
    gf_showMessage(text, false);
    gf_logLine(text);
}

// A fatal error stays on the error line until the user closes the window, or until
// answered() says that the user asked for something else. In production mode nobody is
// there to read it.
void lf_waitForTheUser(const std::stop_token& stop, const std::function<bool()>& answered)
{
    if (g_productionMode) {
        g_exitCode = 1;
        return;
    }
    const auto closed = [&] { return g_hardStop || stop.stop_requested() || answered(); };
    while (!gf_waitOnStopState(1min, stop, closed)) {
    }
    if (g_hardStop || !answered())
        lf_showAndLog(fmt::format("User closed {}", g_programName));
}

// The install path edit or a check box may ask for a restart in place of the system
// error (a user error left the stop flag down for them).
void lf_waitAfterSystemError(const std::stop_token& stop)
{
    lf_waitForTheUser(stop, [] { return gf_closeReason() != CloseReason::SystemError; });
}

void lf_clearStoredText(EditParameter& setting)
{
    setting.setValue({});
    gf_saveParameter(setting);
}

// The reset clears the readers' stop flags and the next run starts new threads on the
// same reader objects: a thread of this run still running would go on beside them (and
// the new one's failed bind would close the socket it reads). The restart waits a little
// longer for it, and is refused when it still runs: the program then ends, once the user
// has read why on the error line and closed the window.
bool lf_readersEndedForRestart(const std::stop_token& stop)
{
    if (gf_waitForReadersToEnd(kReaderRestartLimit))
        return true;
    const int32_t running = gf_readersRunning();
    const std::string refused =
        fmt::format("Restart refused, {} reader thread{} still running: please restart {} manually", running,
                    gf_plural(running), g_programName);
    // The error line logs nothing while the stop is pending.
    gf_showError(refused);
    gf_logLine(refused);
    lf_waitForTheUser(stop, [] { return false; });
    return false;
}

// True when the service is to run again.
bool lf_restartOrEnd(const std::stop_token& stop)
{
    const CloseReason reason = gf_closeReason();
    if (gf_closeReasonRestarts(reason) && !g_hardStop) {
        g_restartPending = true;
        gf_clearError();
        gf_clearMessage();
        lf_showAndLog("Prepare for a restart ...");
        if (reason != CloseReason::NewSettings) {
            gf_setCheckBox(SCAN_LIVERIES, false);
            gf_setCheckBox(SCAN_AIRPORTS, false);
        }
        // The stop flags are reset in one step with the test of the hard stop, so that a
        // close of the program during the countdown is never lost.
        if (!lf_restartCountdown(stop) || !lf_readersEndedForRestart(stop) || !gf_resetStopStateUnlessHardStop())
            return false;
        lf_resetService();
        return true;
    }
    g_restartPending = false;
    if (reason == CloseReason::NewFlight) {
        lf_showAndLog(fmt::format("New flight detected, {} will close, please restart manually ...", g_programName));
        lf_sleepUnlessHardStop(kNewFlightWait, stop);
    }
    return false;
}

} // namespace

bool lf_restartCountdown(const std::stop_token& stop)
{
    const int32_t n = gf_restartDelaySeconds();
    if (n < 1)
        return !g_hardStop;
    gf_logLine("Restarting after {} seconds\n\n\n\n\n", n);
    const std::chrono::milliseconds second{gf_serviceCalls().countdownSecondMs};
    for (int32_t i = 0; i < n; ++i) {
        gf_showMessage(fmt::format("Restarting after {} second{}", n - i, gf_plural(n - i)), false);
        if (!lf_sleepUnlessHardStop(second, stop))
            return false;
    }
    return true;
}

void lf_resetService()
{
    gf_resetReaders();
    g_qnh = g_defaultQnh;
    g_startUpPhase = true;
    g_rtProfessional = false;
    // A "SimClient" thread that did not stop within the close-down's limit still uses the
    // link's queues: the reset waits for its end (each of its steps is bounded).
    gf_joinSimClient();
    gf_simLink().reset();
    gf_resetTrafficState();
    gf_resetWindowState();
    g_flightPaused = false;
    g_staticUpdateRequested = false;
    g_staticUpdateFirstStepDone = false;
    g_blockRequested = false;
    g_liveSurplusRequested = false;
    g_navLightsRequested = false;
    gf_takeParkAirportRequests();
    g_cycleCount = 0;
    gf_storeUserSnapshot({});
    g_stockAirportsPath.clear();
}

void lf_closingDown(const std::stop_token& stop)
{
    try {
        const CloseReason reason = gf_closeReason();
        gf_logLine("Exiting: {}", gf_closeReasonText(reason));
        {
            std::lock_guard lock(g_liveFlightsMutex);
            g_serviceRunning = false;
        }
        // Joined before "exit" and the reset, which empty what the thread still uses.
        gf_stopSimClient(kSimClientStopLimit);
        gf_stopReaders();
        std::this_thread::sleep_for(500ms);
        gf_closeRealTrafficLink();
        // A reset before a restart clears the readers' stop flags: they must be gone.
        if (!gf_waitForReadersToEnd(kReaderStopLimit))
            gf_logErrorLine("{} reader thread{} still running", gf_readersRunning(), gf_plural(gf_readersRunning()));
        if (reason == CloseReason::SystemError)
            lf_waitAfterSystemError(stop);
        if (!g_parkAirport.code.empty())
            gf_dropParkAirport();
        g_liveryIdTitles.clear();
        gf_removeFlightPlanFolder();
        lf_clearStoredText(DESTINATION);
        lf_clearStoredText(BLOCK_CALLSIGN);
        g_ghostCallsigns.clear();
        gf_logLiveryMatchingSummary();
        gf_logUnmatchedFlights();
        const bool restart = lf_restartOrEnd(stop);
        if (restart)
            gf_postStartServiceRequest();
        else
            gf_postWindowRequest(WindowRequest::EndApplication);
        gf_flushLog();
    } catch (const std::exception& e) {
        // No request is posted: the window ends the program itself when the user closes it.
        lf_showAndLog(fmt::format("{} exception {}", "lf_closingDown", e.what()));
        gf_flushLog();
    }
}
