// Runs of the traffic service against a stand-in for the window's message loop: the
// requests the worker posts are queued and handled on the test's thread, as the window
// would handle WM_APP+1 and WM_APP+2.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
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
std::condition_variable g_queueChanged;
std::deque<WindowRequest> g_queue; // guarded by g_queueMutex

bool lf_post(WindowRequest request)
{
    {
        std::lock_guard lock(g_queueMutex);
        g_queue.push_back(request);
    }
    g_queueChanged.notify_all();
    return true;
}

std::string lf_message()
{
    std::lock_guard lock(gf_windowState().uiMutex);
    return gf_windowState().messageText;
}

std::string lf_error()
{
    std::lock_guard lock(gf_windowState().uiMutex);
    return gf_windowState().errorText;
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
    void SetUp() override
    {
        std::filesystem::create_directory(program_ / "docs");
        gf_overrideDataFolder(data_.path());
        lf_reset();
        gf_setWindowRequestFunction(&lf_post);
    }
    void TearDown() override
    {
        gf_resetServiceControl();
        gf_setWindowRequestFunction(nullptr);
        lf_reset();
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

    // The window's loop: handles queued requests until the end request, calling the
    // action before each step with the request about to be handled (empty when none
    // came). Returns the number of runs started, or -1 on a timeout.
    int runWindow(const std::function<void(std::optional<WindowRequest>)>& action = {},
                  std::chrono::seconds timeout = 20s)
    {
        int& runs = runsStarted_;
        runs = 0;
        lf_post(WindowRequest::StartService);
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            std::optional<WindowRequest> request;
            {
                std::unique_lock lock(g_queueMutex);
                g_queueChanged.wait_for(lock, 10ms, [] { return !g_queue.empty(); });
                if (!g_queue.empty()) {
                    request = g_queue.front();
                    g_queue.pop_front();
                }
            }
            if (action)
                action(request);
            if (request == WindowRequest::StartService) {
                if (!g_hardStop)
                    ++runs;
                gf_onStartServiceRequest();
            } else if (request == WindowRequest::EndApplication) {
                if (gf_onEndApplicationRequest())
                    return runs;
            }
        }
        return -1;
    }

    int runsStarted_ = 0;
    tavtest::TempFolder data_{"data"};
    tavtest::TempFolder program_{"program"};
    tavtest::CurrentFolder current_{program_.path()};
    tavtest::LogCapture log_;
};

TEST_F(ServiceRun, TheUserClosingTheWindowEndsTheRunAndTheProgram)
{
    bool closed = false;
    const int runs = runWindow([&](std::optional<WindowRequest>) {
        if (!closed && gf_activeServiceRuns() == 1) {
            closed = true;
            gf_onUserClose();
        }
    });
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(gf_closeReason(), CloseReason::UserClosedSim);
    EXPECT_TRUE(g_hardStop);
    EXPECT_EQ(lf_message(), "Close window button clicked, closing Tavelorium_P3D ...");
    const std::string log = log_.text();
    EXPECT_EQ(lf_count(log, "Exiting: USER CLOSED SIM\n"), 1u);
    // The close message is shown, not logged.
    EXPECT_EQ(log.find("Close window button clicked"), std::string::npos);
}

TEST_F(ServiceRun, ARestartReasonStartsANewRunWhichTheUserThenCloses)
{
    int stage = 0;
    const int runs = runWindow([&](std::optional<WindowRequest>) {
        if (stage == 0 && gf_activeServiceRuns() == 1) {
            stage = 1;
            gf_requestClosingDown(CloseReason::NewSettings, 0);
        } else if (stage == 1 && runsStarted_ == 2 && gf_activeServiceRuns() == 1) {
            stage = 2;
            gf_onUserClose();
        }
    });
    EXPECT_EQ(runs, 2);
    const std::string log = log_.text();
    EXPECT_EQ(lf_count(log, "Exiting: NEW SETTINGS\n"), 1u);
    EXPECT_EQ(lf_count(log, "Prepare for a restart ...\n"), 1u);
    EXPECT_EQ(lf_count(log, "Exiting: USER CLOSED SIM\n"), 1u);
    EXPECT_EQ(log.find("Restarting after"), std::string::npos); // no countdown for a delay of 0
}

TEST_F(ServiceRun, AStopDuringTheRestartCountdownEndsTheProgramWithTheFirstReasonLogged)
{
    bool closed = false;
    gf_requestClosingDown(CloseReason::ReaderError, 3);
    const auto start = std::chrono::steady_clock::now();
    const int runs = runWindow([&](std::optional<WindowRequest>) {
        if (!closed && lf_message().starts_with("Restarting after 3 seconds")) {
            closed = true;
            gf_onUserClose();
        }
    });
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(closed);
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
    bool closed = false;
    const int runs = runWindow([&](std::optional<WindowRequest> request) {
        if (!closed && request == WindowRequest::StartService && g_restartPending) {
            while (gf_activeServiceRuns() != 0)
                std::this_thread::sleep_for(1ms);
            closed = true;
            gf_onUserClose();
        }
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(lf_count(log_.text(), "Exiting:"), 1u);
}

TEST_F(ServiceRun, WithoutTheDocsFolderTheErrorStaysUntilTheUserCloses)
{
    std::filesystem::remove(program_ / "docs");
    bool closed = false;
    const auto start = std::chrono::steady_clock::now();
    const int runs = runWindow([&](std::optional<WindowRequest>) {
        if (!closed && !lf_error().empty() && std::chrono::steady_clock::now() - start > 700ms) {
            closed = true;
            gf_onUserClose();
        }
    });
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(lf_error(), "41: Tavelorium_P3D must be run from the Tavelorium_P3D folder!");
    const std::string log = log_.text();
    EXPECT_NE(log.find("Error 41: Tavelorium_P3D must be run from the Tavelorium_P3D folder!\n"), std::string::npos);
    EXPECT_NE(log.find("Exiting: SYSTEM ERROR\n"), std::string::npos);
    EXPECT_NE(log.find("User closed Tavelorium_P3D\n"), std::string::npos);
}

TEST_F(ServiceRun, ProductionModeEndsTheProgramAfterTheStartUpWithExitCodeZero)
{
    g_productionMode = true;
    g_exitCode = 5;
    EXPECT_EQ(runWindow(), 1);
    EXPECT_EQ(g_exitCode, 0);
    EXPECT_NE(log_.text().find("Exiting: USER CLOSED SIM\n"), std::string::npos);
}

TEST_F(ServiceRun, ACloseWhenNoRunIsActiveRequestsTheEndItself)
{
    gf_onUserClose();
    std::lock_guard lock(g_queueMutex);
    ASSERT_EQ(g_queue.size(), 1u);
    EXPECT_EQ(g_queue.front(), WindowRequest::EndApplication);
}

} // namespace
