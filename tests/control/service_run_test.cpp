// Whole runs of the traffic service: start-up, main loop, close-down and restart, with the
// neighbours and the simulator played by doubles and the window by the test, which
// handles the worker's requests as the window handles WM_APP+1 and WM_APP+2.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "control/application.h"
#include "control/reader_reports.h"
#include "control/service_control.h"
#include "control/service_internal.h"
#include "control/service_run.h"
#include "control/service_state.h"
#include "feed/feed_inputs.h"
#include "feed/readers.h"
#include "foundation/folders.h"
#include "foundation/parameters_file.h"
#include "foundation/scan_tasks.h"
#include "foundation/settings_fixture.h"
#include "foundation/time_text.h"
#include "support/service_doubles.h"
#include "traffic/traffic_service.h"
#include "ui/commands_internal.h"
#include "ui/control_ops.h"
#include "ui/shown_text.h"
#include "ui/window_state.h"

namespace servicetest {
namespace {
using namespace std::chrono_literals;

// A stop ends every wait at its next step (at most 100 ms); the close-down after it takes
// its half second and the readers' one-second receive wait.
constexpr auto kCloseLimit = 3s;

std::mutex g_mutex;
std::deque<WindowRequest> g_queue; // guarded by g_mutex
std::vector<std::string> g_shown;  // every text the message line showed; guarded by g_mutex

bool lf_post(WindowRequest request)
{
    std::lock_guard lock(g_mutex);
    g_queue.push_back(request);
    return true;
}

void lf_recordShown(const ScreenRect& band)
{
    const std::string text = uitest::shown(&WindowState::messageText);
    std::lock_guard lock(g_mutex);
    if (band.top == g_messageBand.top && !text.empty())
        g_shown.push_back(text);
}

size_t lf_count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

bool lf_inLoop()
{
    return g_trafficTick.load() > 0;
}

class ServiceTest : public ::testing::Test {
protected:
    ServiceTest()
    {
        std::filesystem::create_directory(program_ / "docs");
        gf_overrideDataFolder(data_.path());
        reset();
        gf_setWindowRequestFunction(&lf_post);
        gf_setInvalidateFunction(&lf_recordShown);
        gf_setSimLinkCalls(fakeSimLinkCalls());
    }
    ~ServiceTest() override
    {
        reset();
        gf_setWindowRequestFunction(nullptr);
        gf_setInvalidateFunction(nullptr);
        gf_resetSimLinkCalls();
        gf_resetServiceCalls();
        gf_resetFeedSources();
    }
    // A fresh program: countdown seconds of 10 ms unless told.
    void reset(int32_t countdownSecondMs = 10)
    {
        gf_resetServiceControl();
        gf_resetStopState();
        gf_resetWindowState();
        gf_resetReaders();
        feeder_ = {};
        resetDoubles();
        gf_setServiceCalls(fakeServiceCalls(freeUdpPort(), freeUdpPort(), countdownSecondMs));
        g_productionMode = false;
        g_exitCode = 0;
        g_restartPending = false;
        g_dataFilesRead = false;
        g_trafficLastTimestamp = 0.0;
        g_trafficTick = 0;
        settingstest::resetSettings();
        gf_setParameterValue(SIM_INSTALL_PATH, "C:\\P3D v5");
        closed_ = false;
        std::lock_guard lock(g_mutex);
        g_queue.clear();
        g_shown.clear();
    }

    // The window's loop until the end request: the user closes the window once closeNow,
    // given the request about to be handled (empty when none came), says so. The number
    // of runs started, or -1 on a timeout; closeToEnd_ is the time from close to end.
    int runUntilClosed(const std::function<bool(std::optional<WindowRequest>)>& closeNow)
    {
        runs_ = 0;
        lf_post(WindowRequest::StartService);
        const auto deadline = std::chrono::steady_clock::now() + 40s;
        std::chrono::steady_clock::time_point closedAt;
        while (std::chrono::steady_clock::now() < deadline) {
            std::optional<WindowRequest> request;
            {
                std::lock_guard lock(g_mutex);
                if (!g_queue.empty()) {
                    request = g_queue.front();
                    g_queue.pop_front();
                }
            }
            if (!request)
                std::this_thread::sleep_for(2ms);
            if (!closed_ && closeNow(request)) {
                closed_ = true;
                closedAt = std::chrono::steady_clock::now();
                gf_onUserClose();
            }
            if (request == WindowRequest::StartService) {
                runs_ += !g_hardStop;
                gf_onStartServiceRequest();
            } else if (request == WindowRequest::EndApplication && gf_onEndApplicationRequest()) {
                closeToEnd_ = std::chrono::steady_clock::now() - closedAt;
                return runs_;
            }
        }
        return -1;
    }

    // Traffic "arrives" (the traffic reader's last timestamp), so that runs do not wait
    // 15 seconds for the first line.
    void trafficArrives()
    {
        feeder_ = std::jthread([](std::stop_token stop) {
            for (; !stop.stop_requested(); std::this_thread::sleep_for(20ms)) {
                if (g_trafficLastTimestamp.load() == 0.0)
                    g_trafficLastTimestamp = static_cast<double>(gf_nowSeconds());
            }
        });
    }

    bool closed_ = false;
    int runs_ = 0;
    std::chrono::steady_clock::duration closeToEnd_{};
    tavtest::TempFolder data_{"data"};
    tavtest::TempFolder program_{"program"};
    tavtest::CurrentFolder current_{program_.path()};
    tavtest::LogCapture log_;
    std::jthread feeder_;
};

TEST_F(ServiceTest, ARestartSkipsTheUpdateCheckAndTheDatabaseAndTheLoopCountsOneCyclePerSimulatedSecond)
{
    trafficArrives();
    gf_setCheckBox(SCAN_LIVERIES, true);
    gf_setCheckBox(SCAN_AIRPORTS, false);
    bool restartAsked = false;
    const int runs = runUntilClosed([&](std::optional<WindowRequest>) {
        if (!restartAsked && lf_inLoop()) {
            restartAsked = true;
            gf_requestClosingDown(CloseReason::NewSettings, 0);
        }
        if (runs_ != 2 || !lf_inLoop())
            return false;
        const int32_t before = g_cycleCount.load();
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(simulatedSecond());
        // The data is taken just before the cycle runs on the worker: wait for the cycle.
        for (int i = 0; i < 500 && g_cycleCount.load() < before + 3; ++i)
            std::this_thread::sleep_for(10ms);
        EXPECT_EQ(g_cycleCount.load(), before + 3);
        fakeSim().flightRuns = false;
        std::this_thread::sleep_for(50ms); // a tick already past the flight check ends
        const uint32_t paused = g_trafficTick;
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(g_trafficTick.load(), paused); // no traffic pass while the flight does not run
        fakeSim().flightRuns = true;
        EXPECT_TRUE(simulatedSecond());
        return true;
    });
    EXPECT_EQ(runs, 2);
    const FakeNeighbours& n = fakeNeighbours();
    EXPECT_EQ(std::tuple(n.updateChecks.load(), n.dbaseReads.load(), n.airportReads.load(), n.liveryScans.load(),
                         n.addonScans.load()),
              std::tuple(1, 1, 2, 2, 0));
    EXPECT_EQ(fakeSim().clientThreads, 2);
    EXPECT_FALSE(fakeSim().clientRunning);
    EXPECT_EQ(gf_readersRunning(), 0);
    const std::string log = log_.text();
    for (const auto& [line, count] : {std::pair{"RealTraffic not detected at this PC\n", 2u},
                                      {" Flight not running\n", 1u}, {" Flight resumed\n", 1u},
                                      {"No traffic in this region?", 0u}, {"Exiting: NEW SETTINGS\n", 1u},
                                      {"Exiting: USER CLOSED SIM\n", 1u}, {"Restarting after", 0u}})
        EXPECT_EQ(lf_count(log, line), count) << line;
    // A restart without delay shows no countdown.
    std::lock_guard lock(g_mutex);
    EXPECT_EQ(std::count_if(g_shown.begin(), g_shown.end(),
                            [](const std::string& text) { return text.starts_with("Restarting after"); }),
              0);
}

// The install path typed while the scans run: the new path is taken at once, and the
// scan box, already ticked, stays on.
TEST_F(ServiceTest, ARestartAskedForDuringEitherScanRestartsTheService)
{
    for (CheckBoxParameter* scan : {&SCAN_LIVERIES, &SCAN_AIRPORTS}) {
        reset();
        trafficArrives();
        gf_setCheckBox(*scan, true);
        static std::atomic<int> s_scans;
        s_scans = 0;
        ServiceCalls calls = gf_serviceCalls();
        const auto typed = [] {
            if (s_scans++ == 0)
                lf_onInstallPathEntered(std::filesystem::current_path().string());
        };
        (scan == &SCAN_LIVERIES ? calls.scanLiveries : calls.scanAddonAirports) = typed;
        gf_setServiceCalls(calls);
        const size_t before = log_.text().size();
        EXPECT_EQ(runUntilClosed([this](std::optional<WindowRequest>) { return runs_ == 2 && lf_inLoop(); }), 2)
            << scan->name;
        EXPECT_EQ(s_scans, 2);
        const std::string log = log_.text().substr(before);
        EXPECT_EQ(lf_count(log, "Exiting: NEW SETTINGS\n"), 1u) << scan->name;
        EXPECT_EQ(lf_count(log, "Exiting: USER CLOSED SIM\n"), 1u) << scan->name;
    }
}

// Its stop limit passes while the thread closes its connection: the reset of the link's
// queues, which the thread may still use, waits for its end.
TEST_F(ServiceTest, ASimClientThreadSlowerThanItsStopLimitEndsBeforeTheLinkIsReset)
{
    trafficArrives();
    fakeSim().clientEndMs = 5000; // a close takes up to 5.35 s
    bool asked = false;
    const int runs = runUntilClosed([&](std::optional<WindowRequest>) {
        if (!asked && lf_inLoop()) {
            asked = true;
            gf_requestClosingDown(CloseReason::NewSettings, 0);
        }
        if (runs_ != 2 || !fakeSim().clientRunning)
            return false;
        fakeSim().clientEndMs = 0;
        return true;
    });
    EXPECT_EQ(runs, 2);
    EXPECT_TRUE(log_.contains("SimClient has not stopped within 3000 ms\n"));
    EXPECT_EQ(fakeSim().resets, 1);
    EXPECT_EQ(fakeSim().resetsWhileClientRuns, 0);
}

TEST_F(ServiceTest, ANewerProgramPlacedByTheUpdateCheckEndsTheProgramBeforeAnythingIsRead)
{
    ServiceCalls calls = gf_serviceCalls();
    calls.checkForUpdates = [] {
        gf_requestClosingDown(CloseReason::NewVersion, 0);
        return false;
    };
    gf_setServiceCalls(calls);
    g_liveryRebuildRequested = true;
    EXPECT_EQ(runUntilClosed([](std::optional<WindowRequest>) { return false; }), 1);
    const FakeNeighbours& n = fakeNeighbours();
    EXPECT_EQ(std::tuple(n.dbaseReads.load(), n.airportReads.load(), n.liveryScans.load(), n.liveryTableClears.load()),
              std::tuple(0, 0, 0, 0));
    EXPECT_EQ(lf_count(log_.text(), "Exiting: NEW VERSION\n"), 1u);
    EXPECT_TRUE(g_liveryRebuildRequested); // kept for the start-up that reads the liveries
    g_liveryRebuildRequested = false;
}

TEST_F(ServiceTest, ALiveryRescanAskedForDuringTheStartUpEmptiesTheTablesAtTheNextStartUpOnly)
{
    trafficArrives();
    g_liveryRebuildRequested = true;
    EXPECT_EQ(runUntilClosed([](std::optional<WindowRequest>) { return lf_inLoop(); }), 1);
    EXPECT_EQ(fakeNeighbours().liveryTableClears, 1);
    EXPECT_FALSE(g_liveryRebuildRequested);
}

TEST_F(ServiceTest, AFileTaskOfAnEarlierRunKeepsItsSlotThroughTheNextRun)
{
    trafficArrives();
    std::optional<ScanTaskSlot> left = gf_takeScanTaskSlot();
    ASSERT_TRUE(left);
    EXPECT_EQ(runUntilClosed([](std::optional<WindowRequest>) { return lf_inLoop(); }), 1);
    EXPECT_EQ(g_scanTasksRunning.load(), 1);
    left.reset();
    EXPECT_EQ(g_scanTasksRunning.load(), 0);
}

TEST_F(ServiceTest, WithoutTrafficTheRunGoesOnAfterFifteenSeconds)
{
    EXPECT_EQ(runUntilClosed([](std::optional<WindowRequest>) { return lf_inLoop() && simulatedSecond(); }), 1);
    EXPECT_TRUE(log_.contains("\nNo traffic in this region?\n"));
}

TEST_F(ServiceTest, AStopEndsEveryWaitOfTheRunWithinASecond)
{
    struct Case {
        const char* wait;
        std::function<void()> arrange;
        std::function<bool()> waiting;
    };
    const auto readersUp = [](int32_t n) { return [n] { return gf_readersRunning() == n; }; };
    const auto showing = [](const char* text) {
        return [text] { return uitest::shown(&WindowState::messageText).starts_with(text); };
    };
    const Case cases[] = {
        {"flight", [] { fakeSim().flightRuns = false; }, [] { return fakeSim().clientRunning.load(); }},
        {"user position", [] { fakeSim().userDataValid = false; }, [] { return fakeSim().clientRunning.load(); }},
        {"RealTraffic", [] { fakeNeighbours().realTrafficInstalled = true; }, showing("Waiting for RealTraffic")},
        {"reader gap", [] {}, readersUp(1)},
        {"first traffic", [] {}, readersUp(2)},
        {"stalled on-ground data", [this] { trafficArrives(); }, &lf_inLoop},
        {"SYSTEM ERROR", [] { fakeNeighbours().dbaseRead = false; },
         [] { return uitest::shown(&WindowState::errorText) == "reading data files failed!"; }},
        {"countdown", [] { gf_requestClosingDown(CloseReason::ReaderError, 15); }, showing("Restarting after 15")},
        {"NEW FLIGHT", [] { gf_requestClosingDown(CloseReason::NewFlight, 30); }, showing("New flight detected")},
    };
    for (const Case& c : cases) {
        reset(1000);
        c.arrange();
        EXPECT_EQ(runUntilClosed([&](std::optional<WindowRequest>) { return c.waiting(); }), 1) << c.wait;
        EXPECT_LT(closeToEnd_, kCloseLimit) << c.wait;
        EXPECT_EQ(gf_readersRunning(), 0) << c.wait;
        EXPECT_EQ(g_exitCode, 0) << c.wait;
    }
}

TEST_F(ServiceTest, AReaderErrorRestartsOnceAfterAFifteenSecondCountdownWithBothScansOff)
{
    gf_setCheckBox(SCAN_LIVERIES, true);
    gf_setCheckBox(SCAN_AIRPORTS, true);
    fakeSim().flightRuns = false;
    const int runs = runUntilClosed([&](std::optional<WindowRequest>) {
        if (runs_ == 1 && fakeSim().clientRunning && !g_stopRequested) {
            gf_reportReaderStopped("QNH Reader", "receive error: 10054 Connection reset by peer");
            gf_requestClosingDown(CloseReason::SimConnectError, 9);
        }
        return runs_ == 2 && fakeSim().clientRunning;
    });
    EXPECT_EQ(runs, 2);
    const std::string log = log_.text();
    EXPECT_EQ(lf_count(log, "Exiting:"), 2u);
    EXPECT_TRUE(log_.contains("Exiting: READER ERROR\nPrepare for a restart ...\nRestarting after 15 seconds\n\n\n\n\n\n"));
    std::vector<std::string> countdown;
    {
        std::lock_guard lock(g_mutex);
        std::copy_if(g_shown.begin(), g_shown.end(), std::back_inserter(countdown),
                     [](const std::string& text) { return text.starts_with("Restarting after"); });
    }
    ASSERT_EQ(countdown.size(), 15u);
    EXPECT_EQ(countdown.front(), "Restarting after 15 seconds");
    EXPECT_EQ(countdown.back(), "Restarting after 1 second");
    gf_readParameters();
    EXPECT_FALSE(SCAN_LIVERIES.value || SCAN_AIRPORTS.value);
    EXPECT_EQ(fakeSim().resets, 1);
}

TEST_F(ServiceTest, ACloseBetweenTheRestartRequestAndItsHandlingEndsTheProgram)
{
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

TEST_F(ServiceTest, ProductionModeScansThenEndsWithZeroOrWithOneAfterAnError)
{
    for (const bool dbaseRead : {true, false}) {
        reset();
        g_productionMode = true;
        gf_setCheckBox(SCAN_LIVERIES, true);
        fakeNeighbours().dbaseRead = dbaseRead;
        EXPECT_EQ(runUntilClosed([](std::optional<WindowRequest>) { return false; }), 1);
        EXPECT_EQ(g_exitCode, dbaseRead ? 0 : 1);
        EXPECT_EQ(fakeNeighbours().liveryScans, dbaseRead ? 1 : 0);
        EXPECT_EQ(fakeSim().clientThreads, 0);
        EXPECT_FALSE(log_.contains("User closed"));
    }
}

// After a user error the stop flag is down, after an exception it is raised: the path
// the user types restarts the service either way.
TEST_F(ServiceTest, AnInstallPathTypedAfterASystemErrorRestartsTheService)
{
    const struct {
        const char* error;
        const char* logged;
    } cases[] = {
        {"151", "Error 151: No P3D install path detected, type full Install Path above, and press Enter\n"},
        {"airports", "Error reading airports failed!\n"},
    };
    for (const auto& c : cases) {
        reset();
        static std::atomic<int> s_airportReads;
        s_airportReads = 0;
        if (c.error == std::string("151")) {
            gf_setParameterValue(SIM_INSTALL_PATH, {});
            fakeNeighbours().v5Installed = false;
        } else {
            ServiceCalls calls = gf_serviceCalls();
            calls.readAirports = [] { return s_airportReads++ > 0; };
            gf_setServiceCalls(calls);
        }
        fakeSim().flightRuns = false;
        bool typed = false;
        const int runs = runUntilClosed([&](std::optional<WindowRequest>) {
            if (!typed && gf_closeReason() == CloseReason::SystemError &&
                !uitest::shown(&WindowState::errorText).empty()) {
                typed = true;
                lf_onInstallPathEntered(std::filesystem::current_path().string());
                EXPECT_EQ(uitest::shown(&WindowState::messageText), "Install path exists, Tavelorium_P3D will restart");
            }
            return g_restartPending && fakeSim().clientRunning;
        });
        EXPECT_EQ(runs, 2) << c.error;
        EXPECT_TRUE(log_.contains(c.logged)) << c.error;
        EXPECT_TRUE(log_.contains("Exiting: SYSTEM ERROR\n")) << c.error;
        EXPECT_FALSE(log_.contains("User closed")) << c.error;
    }
}

TEST_F(ServiceTest, WithoutTheDocsFolderTheErrorStaysUntilTheUserCloses)
{
    std::filesystem::remove(program_ / "docs");
    const auto start = std::chrono::steady_clock::now();
    const int runs = runUntilClosed([&](std::optional<WindowRequest>) {
        return !uitest::shown(&WindowState::errorText).empty() && std::chrono::steady_clock::now() - start > 700ms;
    });
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(uitest::shown(&WindowState::errorText), "41: Tavelorium_P3D must be run from the Tavelorium_P3D folder!");
    for (const char* line : {"Error 41: Tavelorium_P3D must be run from the Tavelorium_P3D folder!\n",
                             "Exiting: SYSTEM ERROR\n", "User closed Tavelorium_P3D\n"})
        EXPECT_TRUE(log_.contains(line)) << line;
}

} // namespace
} // namespace servicetest
