#include "control/service_run.h"

#include <chrono>
#include <filesystem>
#include <new>
#include <string>
#include <thread>

#include <fmt/format.h>

#include "control/application.h"
#include "control/control_setup.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "foundation/settings_migration.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"
#include "foundation/user_error.h"
#include "foundation/version.h"
#include "ui/control_ops.h"
#include "ui/messages.h"
#include "ui/window_state.h"

std::atomic<bool> g_restartPending{false};

namespace {
using namespace std::chrono_literals;

bool lf_stopAsked(const std::stop_token& stop)
{
    return gf_stopPending() || stop.stop_requested();
}

// Sleeps in short steps so that the user's close is seen at once; false when the hard
// stop came.
bool lf_sleepUnlessHardStop(std::chrono::milliseconds duration, const std::stop_token& stop)
{
    const auto deadline = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < deadline) {
        if (g_hardStop || stop.stop_requested())
            return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            50ms, deadline - std::chrono::steady_clock::now()));
    }
    return !g_hardStop;
}

void lf_checkProgramFolder()
{
    const std::filesystem::path& docs = gf_paths().docs;
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(docs, ec);
    if (ec && status.type() != std::filesystem::file_type::not_found)
        throw std::filesystem::filesystem_error("status", docs, ec);
    if (!std::filesystem::is_directory(status))
        throw tav::UserErrorException(41, fmt::format("{} must be run from the {} folder!", g_programName,
                                                      g_programName));
}

void lf_requestExit()
{
    g_exitCode = 0;
    gf_requestClosingDown(CloseReason::UserClosedSim, 0);
}

void lf_startUp()
{
    gf_loadParameters();
    gf_invalidateBand(g_wholeWindow);
    gf_flushLog();
    gf_fillComboBoxes();
    // The install path edit shows the stored install path; finding the simulator when it
    // is empty belongs to the simulator link.
    ALL_INSTALL_PATH.setValue(SIM_INSTALL_PATH.value());
    gf_enableControl(ALL_INSTALL_PATH);
    gf_setControlText(ALL_INSTALL_PATH);
    gf_invalidateBand(g_wholeWindow);
    if (g_productionMode)
        lf_requestExit();
}

void lf_waitForStop(const std::stop_token& stop)
{
    while (!lf_stopAsked(stop))
        std::this_thread::sleep_for(100ms);
}

std::string lf_errorText(const std::exception& e)
{
    const std::string text = e.what();
    return text.empty() ? std::string("Unknown exception") : text;
}

void lf_systemError()
{
    gf_requestClosingDown(CloseReason::SystemError, 0);
}

void lf_showAndLog(const std::string& text)
{
    gf_showMessage(text, false);
    gf_logLine(text);
}

// False when the user closed the program during the countdown.
bool lf_restartCountdown(const std::stop_token& stop)
{
    const int32_t n = gf_restartDelaySeconds();
    if (n < 1)
        return !g_hardStop;
    gf_logLine("Restarting after {} seconds\n\n\n\n\n", n);
    for (int32_t i = 0; i < n; ++i) {
        gf_showMessage(fmt::format("Restarting after {} second{}", n - i, gf_plural(n - i)), false);
        if (!lf_sleepUnlessHardStop(1s, stop))
            return false;
    }
    return true;
}

void lf_closingDown(const std::stop_token& stop)
{
    try {
        const CloseReason reason = gf_closeReason();
        gf_logLine("Exiting: {}", gf_closeReasonText(reason));
        if (reason == CloseReason::SystemError) {
            // The error stays on the error line until the user closes the window.
            while (!g_hardStop && !stop.stop_requested())
                std::this_thread::sleep_for(500ms);
            lf_showAndLog(fmt::format("User closed {}", g_programName));
        }
        bool restart = false;
        // A restart only while the user has not closed the program: the hard stop
        // always ends it, whatever reason came first.
        if (gf_closeReasonRestarts(gf_closeReason()) && !g_hardStop) {
            g_restartPending = true;
            gf_clearError();
            gf_clearMessage();
            lf_showAndLog("Prepare for a restart ...");
            restart = lf_restartCountdown(stop) && gf_resetStopStateUnlessHardStop();
            if (restart)
                gf_resetWindowState();
        } else {
            g_restartPending = false;
            if (reason == CloseReason::NewFlight) {
                lf_showAndLog(fmt::format("New flight detected, {} will close, please restart manually ...",
                                          g_programName));
                lf_sleepUnlessHardStop(10s, stop);
            }
        }
        gf_postWindowRequest(restart ? WindowRequest::StartService : WindowRequest::EndApplication);
        gf_flushLog();
    } catch (const std::exception& e) {
        // No request is posted: the window ends the program itself when the user closes it.
        lf_showAndLog(fmt::format("{} exception {}", "lf_closingDown", e.what()));
        gf_flushLog();
    }
}
} // namespace

void gf_serviceThread(std::stop_token stop)
{
    try {
        lf_checkProgramFolder();
        lf_startUp();
        lf_waitForStop(stop);
    } catch (const tav::UserErrorException& e) {
        gf_showError(lf_errorText(e));
        gf_setCloseReason(CloseReason::SystemError);
    } catch (const fmt::format_error& e) {
        gf_showError(fmt::format("std::format error: {}", e.what()));
        gf_showError(lf_errorText(e));
        lf_systemError();
    } catch (const std::exception& e) {
        gf_showError(lf_errorText(e));
        lf_systemError();
    } catch (...) {
        gf_showError("Unknown exception");
        gf_setCloseReason(CloseReason::SystemError);
    }
    gf_flushLog();
    lf_closingDown(stop);
}
