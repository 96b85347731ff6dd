#pragma once
// Shared set-up of the static parking's tests: a program folder of their own, a captured
// log, default settings, a small airports table, an empty engine with the catalogue's
// doubles (support/engine_driver.h makes its aircraft) and a user aircraft whose place,
// height and ground state the test scripts.
#include <gtest/gtest.h>

#include <mutex>
#include <string>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "control/service_state.h"
#include "control/setting_controls.h"
#include "feed/traffic_reader.h"
#include "foundation/random.h"
#include "foundation/settings_fixture.h"
#include "parking/airports.h"
#include "parking/static_parking.h"
#include "parking/static_parking_internal.h"
#include "simlink/sim_link_calls.h"
#include "support/data_file_fixture.h"
#include "support/engine_doubles.h"
#include "support/engine_driver.h"
#include "support/synthetic_airport.h"
#include "traffic/live_stands.h"
#include "traffic/live_stands_internal.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"
#include "ui/window_state.h"

namespace statictest {

class StaticParkingTest : public ::testing::Test {
protected:
    StaticParkingTest()
    {
        gf_overrideDataFolder(data_.path());
        settingstest::resetSettings();
        parking_percentage.value = 30; // set by every run, stored nowhere
        std::filesystem::create_directories(gf_paths().myThirdparty);
        // No stands in the table: only the park files a test places exist.
        g_airports = {{"EDDF", "FRA", 50.0, 8.5, 364, 0},
                      {"EDDM", "MUC", 48.35, 11.78, 1487, 0},
                      {"EDDS", "STR", 48.69, 9.22, 1276, 0},
                      {"FZAA", "", 0.0, 0.0, 0, 0}};
        gf_resetTrafficState();
        g_wantedParkedCount = 0;
        enginetest::installEngineDoubles();
        // The synthetic airport's types, with liveries and the span of an A320.
        for (const char* type : {"A320", "B738", "A333", "E190", "B77W", "A21N"}) {
            enginetest::catalogue().types[type] = TypeCategory::Large;
            enginetest::catalogue().liveries[type] = std::string(type) + " livery";
            enginetest::catalogue().halfSpans[type] = 17.0 / 1852;
        }
        SimLinkCalls sim{};
        sim.userOnGround = [] { return onGround; };
        sim.userDataValid = [] { return true; };
        gf_setSimLinkCalls(sim);
        onGround = false;
        gf_resetWindowState();
        g_timeOfWeek = gf_timeOfWeek(3, 20);
        gf_threadTwister().seed(7);
    }
    ~StaticParkingTest() override
    {
        lf_clearParkAirportState();
        {
            std::lock_guard lock(g_parkAirportsMutex);
            g_parkAirports.clear();
        }
        lf_listReadAnew();
        gf_takeCollectedCallsigns();
        g_callsignsToAvoid.clear();
        g_settingControlsDisabled = false;
        g_airports.clear();
        g_userSnapshot = {};
        gf_resetSimLinkCalls();
        gf_resetTrafficState();
        enginetest::removeEngineDoubles();
        g_userOnGround = false;
        settingstest::resetSettings();
        parking_percentage.value = 30;
    }

    static void placeUser(double lat, double lon, double heightFt = 1000.0)
    {
        g_userSnapshot.latitude = lat;
        g_userSnapshot.longitude = lon;
        g_userSnapshot.altitudeAboveGround = heightFt;
    }
    // The user aircraft on the ground at the stand.
    static void userAtStand(const ParkStand& stand)
    {
        placeUser(stand.lat, stand.lon, 0.0);
        onGround = true;
        g_userOnGround = true;
        gf_resetUserStandCache();
    }
    // The engine's aircraft, its queues and the adding stack emptied; the stands stay.
    static void emptyEngine()
    {
        g_liveAcs.clear();
        g_staticAcs.clear();
        g_liveCreateDeque.clear();
        g_staticCreateDeque.clear();
        g_removeDeque.clear();
        g_pendingActivations.clear();
        g_addingStack.clear();
        g_liveParked.clear();
    }

    static std::string message()
    {
        std::lock_guard lock(gf_windowState().uiMutex);
        return gf_windowState().messageText;
    }

    // "EDDF/A12 EDDM/" of the list.
    static std::string listText()
    {
        std::lock_guard lock(g_parkAirportsMutex);
        std::string text;
        for (const ParkAirportEntry& e : g_parkAirports)
            text += fmt::format("{}{}/{}", text.empty() ? "" : " ", e.code, e.reservedStand);
        return text;
    }

    static inline bool onGround = false;
    tavtest::TempFolder data_;
    tavtest::ProgramFolder program_;
    tavtest::LogCapture log_;
};

} // namespace statictest
