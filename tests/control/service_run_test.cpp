// Whole runs of the traffic service: start-up, main loop, close-down and restart, with
// the neighbours and the simulator played by doubles and the window by the test.
#include "control/service_fixture.h"

#include "control/reader_reports.h"
#include "control/service_internal.h"
#include "feed/readers.h"
#include "foundation/parameters_file.h"
#include "foundation/settings_catalogue.h"
#include "ui/control_ops.h"
#include "traffic/traffic_service.h"

namespace servicetest {
namespace {

// A stop ends every wait at its next step (at most 100 ms); the close-down after it takes
// its half second and the readers' one-second receive wait.
constexpr auto kCloseLimit = 3s;

bool lf_inLoop()
{
    return g_trafficTick.load() > 0;
}

TEST_F(ServiceTest, ARestartSkipsTheUpdateCheckAndTheDatabaseAndTheLoopCountsOneCyclePerSimulatedSecond)
{
    trafficArrives();
    gf_setCheckBox(SCAN_LIVERIES, true);
    gf_setCheckBox(SCAN_AIRPORTS, false);
    bool restartAsked = false;
    const int runs = runUntilClosed([&](std::optional<WindowRequest>) {
        if (!restartAsked && lf_waitFor(&lf_inLoop, 0ms)) {
            restartAsked = true;
            gf_requestClosingDown(CloseReason::NewSettings, 0);
            return false;
        }
        if (!restartAsked || runs_ != 2 || !lf_inLoop())
            return false;
        const int32_t before = g_cycleCount;
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(simulatedSecond());
        EXPECT_EQ(g_cycleCount, before + 3);
        fakeSim().flightRuns = false;
        const uint32_t paused = g_trafficTick;
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(g_trafficTick.load(), paused); // no traffic pass while the flight does not run
        fakeSim().flightRuns = true;
        EXPECT_TRUE(simulatedSecond());
        EXPECT_TRUE(lf_waitFor([] { return g_cycleCount >= 1 && !g_flightPaused; }));
        return true;
    });
    EXPECT_EQ(runs, 2);
    const FakeNeighbours& n = fakeNeighbours();
    EXPECT_EQ(n.updateChecks, 1);
    EXPECT_EQ(n.dbaseReads, 1);
    EXPECT_EQ(n.airportReads, 2);
    EXPECT_EQ(n.liveryScans, 2);
    EXPECT_EQ(n.addonScans, 0);
    EXPECT_EQ(fakeSim().clientThreads, 2);
    EXPECT_FALSE(fakeSim().clientRunning);
    EXPECT_EQ(gf_readersRunning(), 0);
    const std::string log = log_.text();
    EXPECT_EQ(lf_count(log, "RealTraffic not detected at this PC\n"), 2u);
    EXPECT_EQ(lf_count(log, " Flight not running\n"), 1u);
    EXPECT_EQ(lf_count(log, " Flight resumed\n"), 1u);
    EXPECT_EQ(log.find("No traffic in this region?"), std::string::npos);
    EXPECT_EQ(lf_count(log, "Exiting: NEW SETTINGS\n"), 1u);
    EXPECT_EQ(lf_count(log, "Exiting: USER CLOSED SIM\n"), 1u);
}

TEST_F(ServiceTest, WithoutTrafficTheRunGoesOnAfterFifteenSeconds)
{
    const int runs = runUntilClosed([](std::optional<WindowRequest>) { return lf_inLoop() && simulatedSecond(); });
    EXPECT_EQ(runs, 1);
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
    const Case cases[] = {
        {"flight", [] { fakeSim().flightRuns = false; }, [] { return fakeSim().clientRunning.load(); }},
        {"user position", [] { fakeSim().userDataValid = false; }, [] { return fakeSim().clientRunning.load(); }},
        {"RealTraffic", [] { fakeNeighbours().realTrafficInstalled = true; },
         [] { return lf_shown(&WindowState::messageText).starts_with("Waiting for RealTraffic"); }},
        {"reader gap", [] {}, readersUp(1)},
        {"first traffic", [] {}, readersUp(2)},
        {"stalled on-ground data", [this] { trafficArrives(); }, &lf_inLoop},
        {"SYSTEM ERROR", [] { fakeNeighbours().dbaseRead = false; },
         [] { return lf_shown(&WindowState::errorText) == "reading data files failed!"; }},
        {"countdown", [] { gf_requestClosingDown(CloseReason::ReaderError, 15); },
         [] { return lf_shown(&WindowState::messageText).starts_with("Restarting after"); }},
        {"NEW FLIGHT", [] { gf_requestClosingDown(CloseReason::NewFlight, 30); },
         [] { return lf_shown(&WindowState::messageText).starts_with("New flight detected"); }},
    };
    for (const Case& c : cases) {
        lf_reset();
        closed_ = false;
        feeder_ = {};
        gf_setServiceCalls(fakeServiceCalls(freeUdpPort(), freeUdpPort(), 1000));
        c.arrange();
        const int runs = runUntilClosed([&](std::optional<WindowRequest>) { return c.waiting(); });
        EXPECT_EQ(runs, 1) << c.wait;
        EXPECT_LT(closeToEnd_, kCloseLimit) << c.wait;
        EXPECT_EQ(gf_readersRunning(), 0) << c.wait;
    }
}

TEST_F(ServiceTest, AReaderErrorRestartsOnceAfterAFifteenSecondCountdownWithBothScansOff)
{
    gf_setCheckBox(SCAN_LIVERIES, true);
    gf_setCheckBox(SCAN_AIRPORTS, true);
    fakeSim().flightRuns = false;
    bool failed = false;
    const int runs = runUntilClosed([&](std::optional<WindowRequest>) {
        if (!failed && fakeSim().clientRunning) {
            failed = true;
            gf_reportReaderStopped("QNH Reader", "receive error: 10054 Connection reset by peer");
            gf_requestClosingDown(CloseReason::SimConnectError, 9);
        }
        return runs_ == 2 && fakeSim().clientRunning;
    });
    EXPECT_EQ(runs, 2);
    const std::string log = log_.text();
    EXPECT_EQ(lf_count(log, "Exiting:"), 2u);
    EXPECT_NE(log.find("Exiting: READER ERROR\nPrepare for a restart ...\nRestarting after 15 seconds\n\n\n\n\n\n"),
              std::string::npos);
    std::vector<std::string> countdown;
    for (const std::string& text : shown()) {
        if (text.starts_with("Restarting after"))
            countdown.push_back(text);
    }
    ASSERT_EQ(countdown.size(), 15u);
    EXPECT_EQ(countdown.front(), "Restarting after 15 seconds");
    EXPECT_EQ(countdown[13], "Restarting after 2 seconds");
    EXPECT_EQ(countdown.back(), "Restarting after 1 second");
    EXPECT_FALSE(SCAN_LIVERIES.value);
    EXPECT_FALSE(SCAN_AIRPORTS.value);
    gf_readParameters();
    EXPECT_FALSE(SCAN_LIVERIES.value);
    EXPECT_FALSE(SCAN_AIRPORTS.value);
    EXPECT_EQ(fakeSim().resets, 1);
}

TEST_F(ServiceTest, TheUserClosingDuringTheCountdownEndsTheProgramWithExitCodeZero)
{
    gf_setServiceCalls(fakeServiceCalls(freeUdpPort(), freeUdpPort(), 1000));
    gf_requestClosingDown(CloseReason::ReaderError, 3);
    const int runs = runUntilClosed([](std::optional<WindowRequest>) {
        return lf_shown(&WindowState::messageText).starts_with("Restarting after 3 seconds");
    });
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(g_exitCode, 0);
    EXPECT_EQ(lf_count(log_.text(), "Exiting:"), 1u);
}

TEST_F(ServiceTest, ACloseBetweenTheRestartRequestAndItsHandlingEndsTheProgram)
{
    gf_requestClosingDown(CloseReason::SimConnectError, 0);
    const int runs = runUntilClosed([](std::optional<WindowRequest> request) {
        if (request != WindowRequest::StartService || !g_restartPending)
            return false;
        return lf_waitFor([] { return gf_activeServiceRuns() == 0; });
    });
    EXPECT_TRUE(closed_);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(lf_count(log_.text(), "Exiting:"), 1u);
}

TEST_F(ServiceTest, ProductionModeScansThenEndsWithZeroOrWithOneAfterAnError)
{
    for (const bool dbaseRead : {true, false}) {
        lf_reset();
        closed_ = false;
        g_productionMode = true;
        gf_setCheckBox(SCAN_LIVERIES, true);
        fakeNeighbours().dbaseRead = dbaseRead;
        const int runs = runUntilClosed([](std::optional<WindowRequest>) { return false; });
        EXPECT_EQ(runs, 1);
        EXPECT_EQ(g_exitCode, dbaseRead ? 0 : 1);
        EXPECT_EQ(fakeNeighbours().liveryScans, dbaseRead ? 1 : 0);
        EXPECT_EQ(fakeSim().clientThreads, 0);
        EXPECT_EQ(log_.contains("User closed"), false);
    }
}

TEST_F(ServiceTest, AnInstallPathTypedAfterUserError151RestartsTheService)
{
    gf_setParameterValue(SIM_INSTALL_PATH, {});
    fakeNeighbours().v5Installed = false;
    fakeSim().flightRuns = false;
    const int runs = runUntilClosed([](std::optional<WindowRequest>) {
        if (gf_closeReason() == CloseReason::SystemError && !lf_shown(&WindowState::errorText).empty()) {
            // What the install path edit does with the path the user typed.
            gf_setParameterValue(SIM_INSTALL_PATH, "C:\\P3D v5");
            gf_requestClosingDown(CloseReason::NewSettings, 3);
        }
        return g_restartPending && fakeSim().clientRunning;
    });
    EXPECT_EQ(runs, 2);
    EXPECT_TRUE(log_.contains(
        "Error 151: No P3D install path detected, type full Install Path above, and press Enter\n"));
    EXPECT_TRUE(log_.contains("Exiting: SYSTEM ERROR\n"));
    EXPECT_FALSE(log_.contains("User closed"));
}

TEST_F(ServiceTest, WithoutTheDocsFolderTheErrorStaysUntilTheUserCloses)
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
} // namespace servicetest
