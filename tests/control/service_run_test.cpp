// Runs of the traffic service against a stand-in for the window's message loop: the
// requests the worker posts are queued and handled on the test's thread, as the window
// would handle WM_APP+1 and WM_APP+2.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "control/application.h"
#include "control/service_control.h"
#include "control/service_run.h"
#include "foundation/folders.h"
#include "foundation/settings_fixture.h"
#include "foundation/stop_state.h"
#include "support/test_support.h"
#include "ui/messages.h"
#include "ui/window_state.h"

namespace {
using namespace std::chrono_literals;

std::mutex g_queueMutex;
std::deque<WindowRequest> g_queue; // guarded by g_queueMutex

bool lf_post(WindowRequest request)
{
    std::lock_guard lock(g_queueMutex);
    g_queue.push_back(request);
    return true;
}

std::optional<WindowRequest> lf_nextRequest()
{
    std::lock_guard lock(g_queueMutex);
    if (g_queue.empty())
        return std::nullopt;
    const WindowRequest request = g_queue.front();
    g_queue.pop_front();
    return request;
}

std::string lf_shown(std::string WindowState::*text)
{
    std::lock_guard lock(gf_windowState().uiMutex);
    return gf_windowState().*text;
}

size_t lf_count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class ServiceRun : public ::testing::Test {
protected:
    ServiceRun()
    {
        std::filesystem::create_directory(program_ / "docs");
        gf_overrideDataFolder(data_.path());
        lf_reset();
        gf_setWindowRequestFunction(&lf_post);
    }
    ~ServiceRun() override
    {
        lf_reset();
        gf_setWindowRequestFunction(nullptr);
    }
    static void lf_reset()
    {
        gf_resetServiceControl();
        gf_resetStopState();
        gf_resetWindowState();
        g_productionMode = false;
        g_exitCode = 0;
        g_restartPending = false;
        settingstest::resetSettings();
        std::lock_guard lock(g_queueMutex);
        g_queue.clear();
    }

    // The window's loop: handles queued requests until the end request. Before each step
    // the user closes the window once closeNow, given the request about to be handled
    // (empty when none came), first says so. Returns the number of runs started, or -1
    // on a timeout.
    int runUntilClosed(const std::function<bool(std::optional<WindowRequest>)>& closeNow)
    {
        runs_ = 0;
        lf_post(WindowRequest::StartService);
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline) {
            const std::optional<WindowRequest> request = lf_nextRequest();
            if (!request)
                std::this_thread::sleep_for(2ms);
            if (!closed_ && closeNow(request)) {
                closed_ = true;
                gf_onUserClose();
            }
            if (request == WindowRequest::StartService) {
                runs_ += !g_hardStop;
                gf_onStartServiceRequest();
            } else if (request == WindowRequest::EndApplication && gf_onEndApplicationRequest()) {
                return runs_;
            }
        }
        return -1;
    }

    bool closed_ = false;
    int runs_ = 0;
    tavtest::TempFolder data_{"data"};
    tavtest::TempFolder program_{"program"};
    tavtest::CurrentFolder current_{program_.path()};
    tavtest::LogCapture log_;
};

TEST_F(ServiceRun, ARestartReasonStartsANewRunWhichTheUserThenCloses)
{
    bool restartAsked = false;
    const int runs = runUntilClosed([&](std::optional<WindowRequest>) {
        if (!restartAsked && gf_activeServiceRuns() == 1) {
            restartAsked = true;
            gf_requestClosingDown(CloseReason::NewSettings, 0);
        }
        return restartAsked && runs_ == 2 && gf_activeServiceRuns() == 1;
    });
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(gf_closeReason(), CloseReason::UserClosedSim);
    EXPECT_EQ(lf_shown(&WindowState::messageText), "Close window button clicked, closing Tavelorium_P3D ...");
    const std::string log = log_.text();
    EXPECT_EQ(lf_count(log, "Exiting: NEW SETTINGS\n"), 1u);
    EXPECT_EQ(lf_count(log, "Prepare for a restart ...\n"), 1u);
    EXPECT_EQ(lf_count(log, "Exiting: USER CLOSED SIM\n"), 1u);
    EXPECT_EQ(log.find("Restarting after"), std::string::npos); // no countdown for a delay of 0
    EXPECT_EQ(log.find("Close window button clicked"), std::string::npos); // shown, not logged
}

TEST_F(ServiceRun, AStopDuringTheRestartCountdownEndsTheProgramWithTheFirstReasonLogged)
{
    gf_requestClosingDown(CloseReason::ReaderError, 3);
    const auto start = std::chrono::steady_clock::now();
    const int runs = runUntilClosed([](std::optional<WindowRequest>) {
        return lf_shown(&WindowState::messageText).starts_with("Restarting after 3 seconds");
    });
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(closed_);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms);
    const std::string log = log_.text();
    EXPECT_EQ(lf_count(log, "Exiting: READER ERROR\n"), 1u);
    EXPECT_NE(log.find("Restarting after 3 seconds\n\n\n\n\n\n"), std::string::npos);
    EXPECT_EQ(lf_count(log, "Exiting:"), 1u);
    EXPECT_TRUE(g_hardStop);
}

TEST_F(ServiceRun, ACloseBetweenTheRestartRequestAndItsHandlingEndsTheProgram)
{
    // The worker has posted its restart and returned; the user closes before the window
    // handled the restart: no new run starts.
    gf_requestClosingDown(CloseReason::SimConnectError, 0);
    const int runs = runUntilClosed([](std::optional<WindowRequest> request) {
        if (request != WindowRequest::StartService || !g_restartPending)
            return false;
        while (gf_activeServiceRuns() != 0)
            std::this_thread::sleep_for(1ms);
        return true;
    });
    EXPECT_TRUE(closed_);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(lf_count(log_.text(), "Exiting:"), 1u);
}

TEST_F(ServiceRun, WithoutTheDocsFolderTheErrorStaysUntilTheUserCloses)
{
    std::filesystem::remove(program_ / "docs");
    const auto start = std::chrono::steady_clock::now();
    const int runs = runUntilClosed([&](std::optional<WindowRequest>) {
        return !lf_shown(&WindowState::errorText).empty() && std::chrono::steady_clock::now() - start > 700ms;
    });
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(lf_shown(&WindowState::errorText), "41: Tavelorium_P3D must be run from the Tavelorium_P3D folder!");
    const std::string log = log_.text();
    EXPECT_NE(log.find("Error 41: Tavelorium_P3D must be run from the Tavelorium_P3D folder!\n"), std::string::npos);
    EXPECT_NE(log.find("Exiting: SYSTEM ERROR\n"), std::string::npos);
    EXPECT_NE(log.find("User closed Tavelorium_P3D\n"), std::string::npos);
}

} // namespace
