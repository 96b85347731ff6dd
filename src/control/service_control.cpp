#include "control/service_control.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <thread>
#include <utility>

#include <fmt/format.h>

#include "control/application.h"
#include "control/service_run.h"
#include "foundation/log.h"
#include "foundation/stop_state.h"
#include "foundation/version.h"
#include "ui/messages.h"

namespace {
// Touched by the window's thread only.
std::jthread g_serviceThread;
bool g_endRequested = false;
// Raised here before a worker starts, lowered by the worker as its very last step.
std::atomic<int> g_activeRuns{0};
// Set by whoever posts a start request of this program (its entry and the close-down),
// taken by the request's handling: a start request that another process posts would
// start a second run beside the running one and join a worker that never ends.
std::atomic<bool> g_startPosted{false};
bool g_strayStartLogged = false; // the window's thread only
bool g_exitLoggedBeforeRun = false; // the window's thread only

void lf_joinPreviousRun()
{
    if (g_serviceThread.joinable()) {
        g_serviceThread.request_stop();
        g_serviceThread.join();
    }
}

void lf_serviceThreadEntry(std::stop_token stop)
{
    // The run guards itself; this catches what its own handlers might throw.
    try {
        lf_serviceThread(stop);
    } catch (const std::exception& e) {
        gf_logErrorLine("{} exception {}", "Worker thread", e.what());
    } catch (...) {
        gf_logErrorLine("{} exception {}", "Worker thread", "of unknown type");
    }
    --g_activeRuns;
}
} // namespace

bool gf_postStartServiceRequest()
{
    g_startPosted = true;
    if (gf_postWindowRequest(WindowRequest::StartService))
        return true;
    g_startPosted = false;
    return false;
}

void gf_onStartServiceRequest()
{
    if (!g_startPosted.exchange(false)) {
        if (!g_strayStartLogged) {
            g_strayStartLogged = true;
            gf_logLine("A start request that {} did not post was ignored", g_programName);
        }
        return;
    }
    if (g_hardStop) {
        lf_joinPreviousRun();
        gf_postWindowRequest(WindowRequest::EndApplication);
        return;
    }
    ++g_activeRuns;
    std::jthread next;
    try {
        next = std::jthread(lf_serviceThreadEntry);
    } catch (const std::exception& e) {
        --g_activeRuns;
        gf_logErrorLine("{} exception {}", "gf_onStartServiceRequest", e.what());
        gf_showError(fmt::format("The worker thread could not be started: {}", e.what()));
    }
    lf_joinPreviousRun();
    g_serviceThread = std::move(next);
}

void gf_onUserClose()
{
    gf_showMessage(fmt::format("Close window button clicked, closing {} ...", g_programName), false);
    gf_requestClosingDown(CloseReason::UserClosedSim, 0);
    if (g_activeRuns == 0) {
        // Closed before its first run began (the window shows before the start request is
        // handled): no close-down logs how the program ended, so this does.
        if (!g_serviceThread.joinable() && !std::exchange(g_exitLoggedBeforeRun, true))
            gf_logLine("Exiting: {}", gf_closeReasonText(gf_closeReason()));
        gf_postWindowRequest(WindowRequest::EndApplication);
    }
}

bool gf_onEndApplicationRequest()
{
    if (g_endRequested)
        return false;
    g_endRequested = true;
    return true;
}

void gf_stopServiceAtExit(WaitFunction whileWaiting)
{
    if (!g_serviceThread.joinable())
        return;
    gf_requestClosingDown(CloseReason::UserClosedSim, 0);
    while (whileWaiting != nullptr && g_activeRuns > 0) {
        whileWaiting();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    lf_joinPreviousRun();
}

int gf_activeServiceRuns()
{
    return g_activeRuns;
}

void gf_resetServiceControl(WaitFunction whileWaiting)
{
    gf_stopServiceAtExit(whileWaiting);
    g_endRequested = false;
    g_startPosted = false;
    g_strayStartLogged = false;
    g_exitLoggedBeforeRun = false;
}
