// Parts of a run that are decided without running it: the duties of each cycle, auto
// range, the simulator detection and the simulator version, the range controls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <fmt/format.h>

#include "control/auto_range.h"
#include "control/service_calls.h"
#include "control/service_internal.h"
#include "control/service_state.h"
#include "control/setting_controls.h"
#include "control/sim_link_events.h"
#include "foundation/settings_catalogue.h"
#include "foundation/settings_fixture.h"
#include "foundation/user_error.h"
#include "parking/park_airports.h"
#include "parking/static_parking.h"
#include "simlink/sim_link_calls.h"
#include "support/service_doubles.h"
#include "traffic/traffic_service.h"
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

namespace {

std::vector<std::string> g_engineCalls; // what the cycle asked of the engine and the park airports

} // namespace

TEST_F(ServiceParts, TheCycleCarriesOutTheWindowsRequestsOnTheWorkersListsOnce)
{
    ServiceCalls calls = gf_serviceCalls();
    calls.countActiveLive = [] { return 14; };
    calls.removeFarthestLiveAc = [](double d) {
        g_engineCalls.push_back(fmt::format("farthest {}", d));
        return false;
    };
    calls.setParkedNavLights = [](bool on) { g_engineCalls.push_back(fmt::format("nav {}", on)); };
    calls.addParkAirport = [](std::string_view code, GeoPos p) {
        g_engineCalls.push_back(fmt::format("park {} {}", code, p.latitude));
    };
    gf_setServiceCalls(calls);
    g_engineCalls.clear();
    for (const int32_t maximum : {10, 25}) { // 14 active: 4 go, farthest first; none under 25
        MAX_LIVE_SEL.value = maximum;
        g_liveSurplusRequested = true;
        lf_applyWindowRequests();
    }
    NAV_LIGHTS_WHILE_PARKED.value = false;
    g_navLightsRequested = true;
    gf_requestParkAirport("EDDF", {50.03, 8.57});
    gf_requestParkAirport("EHAM", {52.31, 4.76});
    lf_applyWindowRequests();
    lf_applyWindowRequests(); // every request is carried out once
    EXPECT_EQ(g_engineCalls, (std::vector<std::string>{"farthest -1", "farthest -1", "farthest -1", "farthest -1",
                                                       "nav false", "park EDDF 50.03", "park EHAM 52.31"}));
    EXPECT_FALSE(g_liveSurplusRequested || g_navLightsRequested);
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
    g_flushStaticRequested = true;
    cycleTo(91);
    EXPECT_TRUE(INITIAL_LOAD_ONLY.value);
    EXPECT_EQ(bridge_.calls().back(), fmt::format("check {} 1", INITIAL_LOAD_ONLY.controlId));
    EXPECT_EQ(storedValue("INITIAL_LOAD_ONLY"), "<none>");
    g_staticRenewalMinutes = 1;
    g_settingControlsDisabled = false;
    cycleTo(120);
    EXPECT_EQ(state(), "20 false false false");
    g_parkStandsLoaded = false;
    g_cycleCount = 0;
}
