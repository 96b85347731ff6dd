// Parts of a run decided without running it (the duties of each cycle, auto range, the
// simulator and its version, the command line), then whole runs of the traffic service:
// start-up, main loop, close-down and restart, with the neighbours and the simulator
// played by doubles and the window by the test, which handles the worker's requests as
// the window handles WM_APP+1 and WM_APP+2.
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

#include <fmt/format.h>

#include "catalogue/liveries.h"
#include "catalogue/livery_tables.h"
#include "control/application.h"
#include "control/auto_range.h"
#include "control/command_line.h"
#include "control/reader_reports.h"
#include "control/service_calls.h"
#include "control/service_control.h"
#include "control/service_internal.h"
#include "control/service_run.h"
#include "control/service_state.h"
#include "control/setting_controls.h"
#include "control/sim_link_events.h"
#include "feed/feed_inputs.h"
#include "feed/readers.h"
#include "feed/traffic_reader.h"
#include "foundation/folders.h"
#include "foundation/parameters_file.h"
#include "foundation/scan_tasks.h"
#include "foundation/settings_catalogue.h"
#include "foundation/settings_fixture.h"
#include "foundation/time_text.h"
#include "foundation/user_error.h"
#include "parking/park_airports.h"
#include "parking/static_parking.h"
#include "simlink/sim_link_calls.h"
#include "support/service_doubles.h"
#include "traffic/traffic_service.h"
#include "ui/commands_internal.h"
#include "ui/control_ops.h"
#include "ui/messages.h"
#include "ui/shown_text.h"
#include "ui/window_state.h"

namespace {

std::string lf_duties(const CycleDuties& d)
{
    std::string s;
    for (const auto& [on, name] : {std::pair{d.fifteenGroup, "15"}, {d.autoRange, "30"}, {d.renewalMinute, "60"},
                                   {d.unmatchedFlights, "1200"}, {d.daySummary, "86400"}, {d.staticParking, "16"},
                                   {d.readerCheck, "59"}, {d.staticTwin, "61"}})
        s += on ? std::string(s.empty() ? "" : " ") + name : "";
    return s;
}

class ServiceParts : public settingstest::SettingsTest {
protected:
    ServiceParts()
    {
        servicetest::resetDoubles();
        gf_setSimLinkCalls(servicetest::fakeSimLinkCalls());
        gf_setServiceCalls(servicetest::fakeServiceCalls(0, 0));
        gf_setControlBridge(&bridge_);
    }
    ~ServiceParts() override
    {
        gf_resetSimLinkCalls();
        gf_resetServiceCalls();
        gf_clearError();
        gf_clearMessage();
    }
    settingstest::RecordingBridge bridge_;
};

} // namespace

TEST(CycleSchedule, MultiplesOf15RunOnlyThe15GroupAndTheOthersRun16And59And61)
{
    const std::pair<int32_t, const char*> rows[] = {
        {1, ""},  {15, "15"}, {16, "16"}, {30, "15 30"}, {59, "59"}, {60, "15 30 60"}, {61, "61"}, {240, "15 30 60"},
        {944, "16 59"}, {1200, "15 30 60 1200"}, {3599, "59 61"}, {86400, "15 30 60 1200 86400"},
    };
    for (const auto& [n, duties] : rows)
        EXPECT_EQ(lf_duties(gf_cycleDuties(n, false)), duties) << n;
    EXPECT_EQ(lf_duties(gf_cycleDuties(944, true)), "59"); // a static-parking update is half done

    int counts[8] = {};
    for (int32_t n = 1; n <= 86400; ++n) {
        const CycleDuties d = gf_cycleDuties(n, false);
        int i = 0;
        for (const bool on : {d.fifteenGroup, d.autoRange, d.renewalMinute, d.unmatchedFlights, d.daySummary,
                              d.staticParking, d.readerCheck, d.staticTwin})
            counts[i++] += on;
    }
    // 86400 / 16 minus the multiples of 240; 86400 / 59 minus those of 885; / 61 minus 915.
    const int expected[8] = {5760, 2880, 1440, 72, 1, 5040, 1367, 1322};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(counts[i], expected[i]) << i;
}

TEST(AutoRange, TheRangeFollowsGroundHeightAndTheDistanceToTheParkAirport)
{
    struct Row {
        bool onGround;
        double altitudeFt;
        double distanceNm;
        int32_t rangeNm;
    };
    const Row rows[] = {
        {true, 40000.0, 50.0, 10}, {false, 48001.0, 3.0, 100}, {false, 18001.0, 3.0, 40},
        {false, 5000.0, 7.0, 10},  {false, 5000.0, 7.2, 8},    {false, 5000.0, 20.0, 20},
        {false, 5000.0, 36.9, 35}, {false, 5000.0, 37.0, 40},  {false, 5000.0, 10000.0, 40},
        {false, 5000.0, 27.4, 25}, {false, 5000.0, 8.6, 10},   {false, 18000.0, 12.5, 14},
    };
    for (const Row& r : rows)
        EXPECT_EQ(gf_autoRangeNm(r.onGround, r.altitudeFt, r.distanceNm, 48000, 18000), r.rangeNm)
            << r.altitudeFt << " ft, " << r.distanceNm << " nm";
}

TEST_F(ServiceParts, AutoRangeWithoutAParkAirportIs40AndSwitchingItOffRestoresTheEarlierRange)
{
    gf_storeUserSnapshot({});
    servicetest::fakeSim().altitude = 3000.0;
    gf_storeUserSnapshot(gf_simLink().requestUserPosition());
    RANGE.value = 25;
    AUTO_RANGE.value = true;
    gf_updateRangeControls();
    EXPECT_EQ(RANGE.value, 40);
    EXPECT_EQ(g_rangeMetres, 40 * 1852);
    AUTO_RANGE.value = false;
    gf_updateRangeControls();
    EXPECT_EQ(RANGE.value, 25);
    const auto calls = bridge_.calls();
    EXPECT_EQ(calls.back(), fmt::format("enable {} 1", RANGE.controlId));
    gf_storeUserSnapshot({});
}

TEST_F(ServiceParts, TheSimulatorIsFoundInTheRegistryOrTheUserIsAskedForItsPath)
{
    struct Case {
        bool v5, v6;
        const char* folder;
        int code; // of the user error, 0 for none
        const char* logged;
        const char* installPath;
    };
    const Case cases[] = {
        {true, true, "", 153, "", ""},
        {false, false, "", 151, "P3D not detected?\n", ""},
        {false, false, "D:\\Liveries", 0, "P3D not detected?\n", ""},
        {true, false, "", 0, "P3Dv5detected\n", "C:\\P3D v5"},
        {false, true, "", 151, "P3Dv6detected\n", ""},
    };
    for (const Case& c : cases) {
        servicetest::fakeNeighbours().v5Installed = c.v5;
        servicetest::fakeNeighbours().v6Installed = c.v6;
        lfolder[3].setValue(c.folder);
        SIM_INSTALL_PATH.setValue({});
        ALL_INSTALL_PATH.setValue("typed");
        const size_t logBefore = log_.text().size();
        int code = 0;
        try {
            lf_detectSim();
        } catch (const tav::UserErrorException& e) {
            code = std::stoi(e.what());
        }
        EXPECT_EQ(code, c.code) << c.v5 << c.v6 << c.folder;
        EXPECT_EQ(log_.text().substr(logBefore).starts_with(c.logged), true) << log_.text().substr(logBefore);
        EXPECT_EQ(SIM_INSTALL_PATH.value(), c.installPath);
        EXPECT_EQ(ALL_INSTALL_PATH.value(), c.code == 151 ? "" : *c.installPath ? c.installPath : "typed");
    }
    EXPECT_EQ(storedValue("SIM_INSTALL_PATH"), "C:\\P3D v5");
}

TEST_F(ServiceParts, TheSimulatorVersionComesFromTheInstallPathElseFromP3dVersion)
{
    const std::tuple<const char*, int32_t, const char*> cases[] = {
        {"C:\\Lockheed Martin\\Prepar3D V6", 5, "6"},
        {"C:\\Lockheed Martin\\Prepar3D v5 Academic", 6, "5"},
        {"D:\\Sim", 6, "6"},
        {"D:\\Sim", 4, ""},
    };
    for (const auto& [path, version, expected] : cases) {
        SIM_INSTALL_PATH.setValue(path);
        P3D_VERSION.value = version;
        std::string got;
        try {
            got = gf_simVersionFromInstallPath();
        } catch (const tav::UserErrorException& e) {
            EXPECT_EQ(std::string(e.what()),
                      "77: P3D install path does not contain v5 or v6. Use hidden parameter P3D_VERSION, set it to 5 "
                      "or 6.");
        }
        EXPECT_EQ(got, expected) << path;
    }
}

// One cycle per tick, each on the arrival of the once-a-second data.
TEST_F(ServiceParts, TheRenewalCountsTwentyMinutesAndUpdatesStaticParkingInTwoStepsUnlessFlushStaticStoppedIt)
{
    const auto cycleTo = [](int32_t n) {
        while (g_cycleCount < n) {
            servicetest::fakeSim().newUserData = true;
            EXPECT_TRUE(lf_tick());
        }
    };
    const auto state = [] {
        return fmt::format("{} {} {} {}", g_staticRenewalMinutes.load(), g_staticUpdateRequested.load(),
                           g_staticUpdateFirstStepDone, g_settingControlsDisabled.load());
    };
    g_parkStandsLoaded = true;
    INITIAL_LOAD_ONLY.value = false;
    g_cycleCount = 59;
    g_staticRenewalMinutes = 1;
    cycleTo(60);
    EXPECT_EQ(state(), "20 true false true");
    EXPECT_EQ(uitest::shown(&WindowState::messageText), "Tavelorium_P3D will update static parking in 15 seconds ...");
    cycleTo(74); // the static parking pass of cycle 64 unlocked the settings again
    EXPECT_EQ(state(), "20 true false false");
    cycleTo(75); // the first step: the calculation starts
    EXPECT_EQ(state(), "20 true true true");
    cycleTo(89); // no static parking pass at cycle 80, which would unlock them
    EXPECT_EQ(state(), "20 true true true");
    cycleTo(90); // the second step
    EXPECT_EQ(state(), "20 false false true");

    // "Flush static" stops the renewal for the run; the count goes on and starts again.
    // The check box is shown on, and its label ("ILO", yellow when on) with it.
    static std::atomic<int> labelRepaints;
    labelRepaints = 0;
    gf_setInvalidateFunction([](const ScreenRect& band) { labelRepaints += band.top == g_controlsBand.top; });
    g_flushStaticRequested = true;
    cycleTo(91);
    gf_setInvalidateFunction(nullptr);
    EXPECT_TRUE(INITIAL_LOAD_ONLY.value);
    EXPECT_EQ(bridge_.calls().back(), fmt::format("check {} 1", INITIAL_LOAD_ONLY.controlId));
    EXPECT_GE(labelRepaints.load(), 1);
    EXPECT_EQ(storedValue("INITIAL_LOAD_ONLY"), "<none>");
    g_staticRenewalMinutes = 1;
    g_settingControlsDisabled = false;
    cycleTo(120);
    EXPECT_EQ(state(), "20 false false false");
    g_parkStandsLoaded = false;
    g_cycleCount = 0;
}

TEST(ProductionSwitches, EitherSpellingInAnyCaseCountsTheLastOneWinsAndLookalikesAreIgnored)
{
    struct Row {
        std::vector<std::string> arguments;
        bool production, given;
    };
    const Row rows[] = {
        {{}, false, false},
        {{"--production"}, true, true},
        {{"/production"}, true, true},
        {{"/PRODUCTION"}, true, true},
        {{"--Production"}, true, true},
        {{"--production", "--no-production"}, false, true},
        {{"/NO-PRODUCTION", "unknown", "/production", "x"}, true, true},
        {{"--productionx", "-production", "production", "--no-production=1", ""}, false, false},
    };
    for (const Row& row : rows) {
        const ProductionSwitches s = gf_readProductionSwitches(row.arguments);
        EXPECT_EQ(s.production, row.production) << ::testing::PrintToString(row.arguments);
        EXPECT_EQ(s.given, row.given) << ::testing::PrintToString(row.arguments);
    }
}

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
        std::filesystem::create_directories(program_ / "docs");
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
        gf_postStartServiceRequest(); // as the program's entry posts it
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

// A livery rescan asked for during a start-up empties the tables at the next start-up
// only; a file task of an earlier run keeps its slot through the next runs. A SimClient
// thread slower than its stop limit (a close takes up to 5.35 s) ends before the reset of
// the link's queues, which it may still use.
TEST_F(ServiceTest, ARestartSkipsTheUpdateCheckAndTheDatabaseAndTheLoopCountsOneCyclePerSimulatedSecond)
{
    trafficArrives();
    gf_setCheckBox(SCAN_LIVERIES, true);
    gf_setCheckBox(SCAN_AIRPORTS, false);
    g_liveryRebuildRequested = true;
    std::optional<ScanTaskSlot> left = gf_takeScanTaskSlot();
    ASSERT_TRUE(left);
    fakeSim().clientEndMs = 5000;
    bool restartAsked = false;
    const int runs = runUntilClosed([&](std::optional<WindowRequest>) {
        if (!restartAsked && lf_inLoop()) {
            restartAsked = true;
            gf_requestClosingDown(CloseReason::NewSettings, 0);
        }
        if (runs_ != 2 || !lf_inLoop())
            return false;
        fakeSim().clientEndMs = 0;
        const int32_t before = g_cycleCount.load();
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(simulatedSecond());
        // The data is taken just before the cycle runs on the worker: wait for the cycle.
        for (int i = 0; i < 500 && g_cycleCount.load() < before + 3; ++i)
            std::this_thread::sleep_for(10ms);
        EXPECT_EQ(g_cycleCount.load(), before + 3);
        fakeSim().flightRuns = false;
        // The first tick that finds the flight stopped logs it: a tick already past the
        // flight check has ended by then.
        for (int i = 0; i < 500 && lf_count(log_.text(), " Flight not running\n") == 0; ++i)
            std::this_thread::sleep_for(10ms);
        EXPECT_EQ(lf_count(log_.text(), " Flight not running\n"), 1u);
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
                         n.addonScans.load(), n.liveryTableClears.load()),
              std::tuple(1, 1, 2, 2, 0, 1));
    EXPECT_FALSE(g_liveryRebuildRequested);
    EXPECT_EQ(g_scanTasksRunning.load(), 1);
    left.reset();
    EXPECT_EQ(g_scanTasksRunning.load(), 0);
    EXPECT_EQ(std::tuple(fakeSim().clientThreads.load(), fakeSim().resets.load(), fakeSim().resetsWhileClientRuns.load()),
              std::tuple(2, 1, 0));
    EXPECT_FALSE(fakeSim().clientRunning);
    EXPECT_EQ(gf_readersRunning(), 0);
    const std::string log = log_.text();
    for (const auto& [line, count] : {std::pair{"RealTraffic not detected at this PC\n", 2u},
                                      {" Flight not running\n", 1u}, {" Flight resumed\n", 1u},
                                      {"No traffic in this region?", 0u}, {"Exiting: NEW SETTINGS\n", 1u},
                                      {"SimClient has not stopped within 3000 ms\n", 1u},
                                      {"Exiting: USER CLOSED SIM\n", 1u}, {"Restarting after", 0u}})
        EXPECT_EQ(lf_count(log, line), count) << line;
    // A restart without delay shows no countdown.
    std::lock_guard lock(g_mutex);
    EXPECT_EQ(std::count_if(g_shown.begin(), g_shown.end(),
                            [](const std::string& text) { return text.starts_with("Restarting after"); }),
              0);
}

// A newer program placed by the update check ends the program before anything is read;
// without traffic the run goes on after fifteen seconds; production mode scans, then ends
// with 0, or with 1 after an error.
TEST_F(ServiceTest, RunsThatEndOrGoOnWithoutTheUser)
{
    const struct {
        std::string_view run;
        int exitCode, dbaseReads, liveryScans, clientThreads;
        const char* logged;
    } rows[] = {
        {"newer program", 0, 0, 0, 0, "Exiting: NEW VERSION\n"},
        {"no traffic", 0, 1, 0, 1, "\nNo traffic in this region?\n"},
        {"production", 0, 1, 1, 0, "Exiting: "},
        {"production error", 1, 1, 0, 0, "Exiting: SYSTEM ERROR\n"},
    };
    for (const auto& row : rows) {
        reset();
        const bool newer = row.run == "newer program", closes = row.run == "no traffic";
        g_productionMode = row.run.starts_with("production");
        gf_setCheckBox(SCAN_LIVERIES, g_productionMode);
        g_liveryRebuildRequested = newer;
        fakeNeighbours().dbaseRead = row.exitCode == 0;
        ServiceCalls calls = gf_serviceCalls();
        if (newer)
            calls.checkForUpdates = [] { gf_requestClosingDown(CloseReason::NewVersion, 0); return false; };
        gf_setServiceCalls(calls);
        const size_t before = log_.text().size();
        // Without a RealTraffic link too, the start-up ends: the scan boxes no longer act at once.
        EXPECT_EQ(runUntilClosed([closes](auto) {
                      return closes && lf_inLoop() && simulatedSecond() && !g_startUpPhase.load();
                  }),
                  1)
            << row.run;
        const FakeNeighbours& n = fakeNeighbours();
        EXPECT_EQ(std::tuple(g_exitCode.load(), n.dbaseReads.load(), n.liveryScans.load(), fakeSim().clientThreads.load(),
                             n.liveryTableClears.load(), g_liveryRebuildRequested.load()),
                  std::tuple(row.exitCode, row.dbaseReads, row.liveryScans, row.clientThreads, 0, newer))
            << row.run; // a rebuild request is kept for the start-up that reads the liveries
        const std::string log = log_.text().substr(before);
        EXPECT_EQ(std::tuple(lf_count(log, row.logged), lf_count(log, "User closed")), std::tuple(1u, 0u)) << row.run;
        g_liveryRebuildRequested = false;
    }
}

// The window shows before the program's start request is handled: closed at once, the
// program ends without a run, and its log still ends with how it ended, as every run's does.
TEST_F(ServiceTest, AWindowClosedBeforeTheFirstRunBeganEndsTheProgramAndItsLogSaysSo)
{
    reset();
    const size_t before = log_.text().size();
    const auto beforeTheStart = [](std::optional<WindowRequest> request) {
        return request == WindowRequest::StartService;
    };
    EXPECT_EQ(runUntilClosed(beforeTheStart), 0);
    const std::string log = log_.text().substr(before);
    EXPECT_EQ(std::tuple(lf_count(log, "Exiting: "), lf_count(log, "Exiting: USER CLOSED SIM\n")), std::tuple(1u, 1u))
        << log;
}

// The user closes the window while the run waits; the run is not started again.
TEST_F(ServiceTest, AStopEndsEveryWaitOfTheRunWithinASecond)
{
    using Waiting = std::function<bool(std::optional<WindowRequest>)>;
    struct Case {
        const char* wait;
        std::function<void()> arrange;
        Waiting waiting;
    };
    const Waiting simClientUp = [](auto) { return fakeSim().clientRunning.load(); };
    const auto readersUp = [](int32_t n) { return [n](auto) { return gf_readersRunning() == n; }; };
    const auto showing = [](const char* text) {
        return [text](auto) { return uitest::shown(&WindowState::messageText).starts_with(text); };
    };
    const auto error = [](const char* text) {
        return [text](auto) { return uitest::shown(&WindowState::errorText) == text; };
    };
    const Case cases[] = {
        {"flight", [] { fakeSim().flightRuns = false; }, simClientUp},
        {"user position", [] { fakeSim().userDataValid = false; }, simClientUp},
        {"RealTraffic", [] { fakeNeighbours().realTrafficInstalled = true; }, showing("Waiting for RealTraffic")},
        {"reader gap", [] {}, readersUp(1)},
        {"first traffic", [] {}, readersUp(2)},
        {"stalled on-ground data", [this] { trafficArrives(); }, [](auto) { return lf_inLoop(); }},
        {"SYSTEM ERROR", [] { fakeNeighbours().dbaseRead = false; }, error("reading data files failed!")},
        {"no docs folder", [this] { std::filesystem::remove(program_ / "docs"); },
         error("41: Tavelorium_P3D must be run from the Tavelorium_P3D folder!")},
        {"countdown", [] { gf_requestClosingDown(CloseReason::ReaderError, 15); }, showing("Restarting after 15")},
        {"NEW FLIGHT", [] { gf_requestClosingDown(CloseReason::NewFlight, 30); }, showing("New flight detected")},
        {"restart request", [] { gf_requestClosingDown(CloseReason::SimConnectError, 0); },
         [](std::optional<WindowRequest> request) {
             while (request == WindowRequest::StartService && g_restartPending && gf_activeServiceRuns() != 0)
                 std::this_thread::sleep_for(1ms);
             return request == WindowRequest::StartService && g_restartPending;
         }},
    };
    for (const Case& c : cases) {
        reset(1000);
        c.arrange();
        const size_t before = log_.text().size();
        EXPECT_EQ(runUntilClosed(c.waiting), 1) << c.wait;
        EXPECT_LT(closeToEnd_, kCloseLimit) << c.wait;
        EXPECT_EQ(lf_count(log_.text().substr(before), "Exiting:"), 1u) << c.wait;
        EXPECT_EQ(gf_readersRunning(), 0) << c.wait;
        EXPECT_EQ(g_exitCode, 0) << c.wait;
    }
}

// A traffic reader whose last receive fails while the close-down stops it. It runs as a
// reader thread of the run, so that the close-down waits for its report as for the real
// reader's; it reports once the QNH reader's thread has ended, which fixes its place in
// the log.
void lf_trafficReaderFailingAtItsStop(uint16_t)
{
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!(g_trafficReader.stop.load() && gf_readersRunning() == 1)) {
        if (std::chrono::steady_clock::now() > deadline)
            return;
        std::this_thread::sleep_for(1ms);
    }
    gf_reportReaderStopped("Traffic Reader", "receive error: 10038 Socket operation on non-socket");
}

// The QNH reader cannot bind its port, which another program holds. While the close-down
// runs, a SimConnect request fails and then the traffic reader's last receive: both come
// during the pending stop, the reader's failure is still logged and shown, and the first
// reason stays.
TEST_F(ServiceTest, AReaderErrorRestartsOnceAfterAFifteenSecondCountdownWithBothScansOff)
{
    gf_setCheckBox(SCAN_LIVERIES, true);
    gf_setCheckBox(SCAN_AIRPORTS, true);
    UdpPortHolder qnhPort(gf_serviceCalls().qnhPort);
    ASSERT_TRUE(qnhPort.held());
    fakeSim().requestFailsAtStop = true;
    gf_startReaderThread(&lf_trafficReaderFailingAtItsStop, 0);
    const int runs = runUntilClosed([&](std::optional<WindowRequest> request) {
        if (request == WindowRequest::StartService && runs_ == 1)
            qnhPort.release(); // the restarted run binds it
        return runs_ == 2 && fakeSim().clientRunning;
    });
    EXPECT_EQ(runs, 2);
    EXPECT_FALSE(fakeSim().requestFailsAtStop); // the request failed
    const std::string qnhFailed =
        "The QNH Reader has stopped with error: bind to stream socket failed, error: 10048 Address already in use";
    const std::string trafficFailed =
        "The Traffic Reader has stopped with error: receive error: 10038 Socket operation on non-socket";
    const std::string log = log_.text();
    EXPECT_EQ(lf_count(log, "Exiting:"), 2u);
    // Only the QNH reader's last line, written by its thread as it ends, may fall on
    // either side of the close-down's first line.
    const std::string expected = fmt::format(
        "\n{}\nExiting: READER ERROR\n{}\nPrepare for a restart ...\nRestarting after 15 seconds\n\n\n\n\n\n",
        qnhFailed, trafficFailed);
    const std::string countdownLine = "\nRestarting after 15 seconds\n\n\n\n\n\n";
    const std::string disconnectedLine = "          QNH Reader disconnected\n";
    const size_t from = log.find("\n" + qnhFailed + "\n");
    const size_t to = log.find(countdownLine, from);
    ASSERT_NE(from, std::string::npos) << log;
    ASSERT_NE(to, std::string::npos) << log;
    std::string block = log.substr(from, to + countdownLine.size() - from);
    const size_t disconnected = block.find("\n" + disconnectedLine);
    ASSERT_NE(disconnected, std::string::npos) << block;
    block.erase(disconnected + 1, disconnectedLine.size());
    EXPECT_EQ(block, expected);

    // What the message line showed from the first failure to the restart, in order.
    std::vector<std::string> expectedShown = {qnhFailed, trafficFailed, "Prepare for a restart ..."};
    for (int n = 15; n >= 1; --n)
        expectedShown.push_back(fmt::format("Restarting after {} second{}", n, n == 1 ? "" : "s"));
    std::vector<std::string> shown;
    size_t countdownTexts = 0;
    {
        std::lock_guard lock(g_mutex);
        const auto first = std::find(g_shown.begin(), g_shown.end(), qnhFailed);
        std::unique_copy(first, g_shown.end(), std::back_inserter(shown)); // a repaint shows a text again
        countdownTexts = static_cast<size_t>(std::count_if(g_shown.begin(), g_shown.end(), [](const std::string& text) {
            return text.starts_with("Restarting after");
        }));
    }
    shown.resize(std::min(shown.size(), expectedShown.size()));
    EXPECT_EQ(shown, expectedShown);
    EXPECT_EQ(countdownTexts, 15u);
    gf_readParameters();
    EXPECT_FALSE(SCAN_LIVERIES.value || SCAN_AIRPORTS.value);
    EXPECT_EQ(fakeSim().resets, 1);
}

// A reader thread that has not ended by the restart would run beside the next run's
// thread on the same reader: the restart waits a while longer, then is refused. The
// program then ends as after its other fatal errors: the reason stays on the error line,
// and nothing more is asked of the window until the user closes it.
TEST_F(ServiceTest, ARestartIsRefusedWhileAReaderThreadOfTheRunIsStillRunning)
{
    trafficArrives();
    bool asked = false, held = false, quietWhileShown = false;
    std::string error;
    const int runs = runUntilClosed([&](std::optional<WindowRequest>) {
        if (!asked && lf_inLoop() && gf_readersRunning() == 2) {
            asked = true;
            held = holdTrafficReader(gf_serviceCalls().trafficPort);
            gf_requestClosingDown(CloseReason::NewSettings, 0);
        }
        error = uitest::shown(&WindowState::errorText);
        if (error.empty())
            return false;
        std::this_thread::sleep_for(1s);
        std::lock_guard lock(g_mutex);
        quietWhileShown = g_queue.empty() && gf_activeServiceRuns() == 1;
        return true;
    });
    releaseTrafficReader();
    EXPECT_TRUE(held);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(closed_); // the run did not end the program before the user closed it
    EXPECT_EQ(error, "Restart refused, 1 reader thread still running: please restart Tavelorium_P3D manually");
    EXPECT_TRUE(quietWhileShown);
    EXPECT_TRUE(gf_waitForReadersToEnd(3s));
    const std::string log = log_.text();
    for (const auto& [line, count] :
         {std::pair{"Exiting: NEW SETTINGS\n", 1u}, {"Exiting:", 1u}, {"1 reader thread still running\n", 1u},
          {"Restart refused, 1 reader thread still running: please restart Tavelorium_P3D manually\n", 1u},
          {"User closed Tavelorium_P3D\n", 1u}, {"READER ERROR", 0u}})
        EXPECT_EQ(lf_count(log, line), count) << line;
}

std::atomic<int> g_calls; // of the neighbour that a case below makes the user answer

void lf_typeInstallPathAtFirstCall()
{
    if (g_calls++ == 0)
        lf_onInstallPathEntered(std::filesystem::current_path().string());
}

// The first scan is cut short by the restart; the scan of the next run completes and
// leaves LiveriesScanned.xml behind, as the real scan does.
void lf_restartFirstScanThenWriteTheFile()
{
    if (g_calls == 0) {
        lf_typeInstallPathAtFirstCall();
        return;
    }
    ++g_calls;
    g_scannedLiveries = {{"KLM", "B738", "KLM B738 (fictional)", "", 1, false}};
    gf_writeLiveriesScanned();
    g_scannedLiveries.clear();
}

// A restart asked for during the very first livery scan, before any LiveriesScanned.xml
// exists: the tables are not built from the missing file (no error 51), the restart the
// window announced follows, and the next start-up builds them from its own scan.
TEST_F(ServiceTest, ARestartAskedForDuringAFirstLiveryScanBuildsNoTablesAndRestarts)
{
    trafficArrives();
    g_calls = 0;
    ServiceCalls calls = gf_serviceCalls();
    calls.scanLiveries = &lf_restartFirstScanThenWriteTheFile;
    calls.processScannedLiveries = &gf_processScannedLiveries;
    gf_setServiceCalls(calls);
    ASSERT_FALSE(std::filesystem::exists(gf_paths().liveriesScanned));
    const size_t before = log_.text().size();
    std::string error;
    const int runs = runUntilClosed([&](std::optional<WindowRequest>) {
        error = uitest::shown(&WindowState::errorText);
        return !error.empty() || (runs_ == 2 && lf_inLoop());
    });
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(error, "");
    EXPECT_EQ(g_calls, 2);
    EXPECT_TRUE(g_liveriesProcessed);
    const std::string log = log_.text().substr(before);
    for (const auto& [line, count] :
         {std::pair{"Exiting: NEW SETTINGS\n", 1u}, {"Exiting: SYSTEM ERROR", 0u}, {"1 liveries read from ", 1u},
          {"Processing scanned liveries skipped", 0u}, {"Exiting: USER CLOSED SIM\n", 1u}})
        EXPECT_EQ(lf_count(log, line), count) << line;
    gf_clearLiveryTables();
}

// Typed during either scan (whose box, ticked, stays on), or after a system error: after
// a user error the stop flag is down, after an exception it is raised. The new path is
// taken at once and the service restarts, as the window says.
TEST_F(ServiceTest, AnInstallPathTypedDuringTheScansOrAfterASystemErrorRestartsTheService)
{
    const struct {
        const char* when;
        std::function<void(ServiceCalls&)> arrange;
        int calls;
        const char* logged;
    } cases[] = {
        {"livery scan", [](ServiceCalls& c) { c.scanLiveries = &lf_typeInstallPathAtFirstCall; }, 2,
         "Exiting: NEW SETTINGS\n"},
        {"airport scan",
         [](ServiceCalls& c) {
             gf_setCheckBox(SCAN_AIRPORTS, true);
             c.scanAddonAirports = &lf_typeInstallPathAtFirstCall;
         },
         2, "Exiting: NEW SETTINGS\n"},
        {"error 151",
         [](ServiceCalls&) {
             gf_setParameterValue(SIM_INSTALL_PATH, {});
             fakeNeighbours().v5Installed = false;
         },
         0, "Error 151: No P3D install path detected, type full Install Path above, and press Enter\nExiting: SYSTEM ERROR\n"},
        {"airports exception", [](ServiceCalls& c) { c.readAirports = [] { return g_calls++ > 0; }; }, 2,
         "Error reading airports failed!\nExiting: SYSTEM ERROR\n"},
    };
    for (const auto& c : cases) {
        reset();
        trafficArrives();
        g_calls = 0;
        ServiceCalls calls = gf_serviceCalls();
        c.arrange(calls);
        gf_setServiceCalls(calls);
        const size_t before = log_.text().size();
        bool typed = false;
        const int runs = runUntilClosed([&](std::optional<WindowRequest>) {
            if (!typed && gf_closeReason() == CloseReason::SystemError &&
                !uitest::shown(&WindowState::errorText).empty()) {
                typed = true;
                lf_onInstallPathEntered(std::filesystem::current_path().string());
            }
            return runs_ == 2 && lf_inLoop();
        });
        EXPECT_EQ(runs, 2) << c.when;
        {
            // The restart, woken by the entry, soon shows its own texts: what the entry
            // showed is looked for among all the texts shown, before the restart's.
            std::lock_guard lock(g_mutex);
            const std::string typedText = "Install path exists, Tavelorium_P3D will restart";
            const auto said = std::find(g_shown.begin(), g_shown.end(), typedText);
            EXPECT_NE(said, g_shown.end()) << c.when;
            EXPECT_NE(std::find(said, g_shown.end(), "Prepare for a restart ..."), g_shown.end()) << c.when;
        }
        EXPECT_EQ(g_calls, c.calls) << c.when;
        const std::string log = log_.text().substr(before);
        EXPECT_NE(log.find(c.logged), std::string::npos) << c.when;
        EXPECT_EQ(lf_count(log, "Exiting: USER CLOSED SIM\n"), 1u) << c.when;
        EXPECT_EQ(lf_count(log, "User closed"), 0u) << c.when;
    }
}

} // namespace
} // namespace servicetest
