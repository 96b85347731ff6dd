#include <chrono>
#include <mutex>
#include <string>

#include "catalogue/liveries.h"
#include "control/auto_range.h"
#include "control/service_calls.h"
#include "control/service_internal.h"
#include "control/service_state.h"
#include "control/setting_controls.h"
#include "feed/readers.h"
#include "feed/realtraffic_link.h"
#include "feed/received_flights.h"
#include "feed/traffic_reader.h"
#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "foundation/stop_state.h"
#include "foundation/time_text.h"
#include "foundation/timer_resolution.h"
#include "parking/park_airports.h"
#include "parking/static_parking.h"
#include "traffic/traffic_service.h"
#include "ui/messages.h"
#include "ui/window_bridge.h"
#include "ui/window_services.h"
#include "ui/window_state.h"

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kTickPeriod = 10ms;
constexpr int32_t kPausedTicksPerSecond = 100;

void lf_setServiceRunning(bool running)
{
    std::lock_guard lock(g_liveFlightsMutex);
    g_serviceRunning = running;
}

void lf_handleUserCollisions()
{
    const SimLinkCalls& sim = gf_simLink();
    const bool onGround = sim.userOnGround();
    if (onGround ? COLLISION_USER_GND.value.load() : COLLISION_USER_AIR.value.load())
        gf_removeUserCollisions(onGround, sim.userHalfSpan());
}

void lf_renewalMinute()
{
    WindowState& ws = gf_windowState();
    --g_staticRenewalMinutes;
    ws.staticCountdownMinutes = g_staticRenewalMinutes.load();
    // The "(next in N min)" label is one of the controls band's.
    gf_invalidateBand(g_controlsBand);
    if (g_staticRenewalMinutes > 0)
        return;
    g_staticRenewalMinutes = g_staticRenewalPeriodMinutes;
    if (g_parkStandsLoaded && !INITIAL_LOAD_ONLY.value && !g_settingControlsDisabled && !g_staticUpdateRequested)
        gf_announceStaticParkingUpdate();
}

void lf_staticUpdateStep()
{
    if (!g_staticUpdateRequested)
        return;
    if (!g_staticUpdateFirstStepDone) {
        g_staticUpdateFirstStepDone = true;
        gf_disableSettingControls();
        lf_startStaticCalculation(false);
        return;
    }
    g_staticUpdateFirstStepDone = false;
    gf_clearError();
    gf_clearMessage();
    if (!g_parkAirport.code.empty() && g_parkAirport.stands > 0)
        gf_parkingAdjustments();
    gf_flushLog();
    g_staticUpdateRequested = false;
}

} // namespace

CycleDuties gf_cycleDuties(int32_t n, bool staticUpdateFirstStepDone)
{
    CycleDuties d;
    if (n % 15 == 0) {
        d.fifteenGroup = true;
        d.autoRange = n % 30 == 0;
        d.renewalMinute = n % 60 == 0;
        d.unmatchedFlights = n % 1200 == 0;
        d.daySummary = n % 86400 == 0;
        return d;
    }
    d.staticParking = n % 16 == 0 && !staticUpdateFirstStepDone;
    d.readerCheck = n % 59 == 0;
    d.staticTwin = n % 61 == 0;
    return d;
}

void lf_periodicDuties(const CycleDuties& duties)
{
    lf_staticUpdateStep();
    const WindowState& ws = gf_windowState();
    if (ws.trafficReaderState == g_readerSilent || ws.weatherReaderState == g_readerSilent)
        gf_checkReadersAlive();
    if (!duties.autoRange)
        return;
    if (AUTO_RANGE.value)
        lf_autoRange();
    if (duties.renewalMinute)
        lf_renewalMinute();
    if (duties.unmatchedFlights)
        gf_logUnmatchedFlights();
    if (duties.daySummary) {
        g_cycleCount = 0;
        gf_logLiveryMatchingSummary();
        g_liveryIdTitles.clear();
    }
    gf_flushLog();
}

void lf_rereadParkAirports()
{
    if (!g_rereadRequested || g_settingControlsDisabled)
        return;
    std::string text;
    if (gf_checkParkAirports(true, text))
        gf_showMessage(text, true);
    gf_controlEnable(g_rereadButton, true);
    gf_controlEnable(DESTINATION, true);
    g_rereadRequested = false;
}

void lf_applyWindowRequests()
{
    const ServiceCalls& calls = gf_serviceCalls();
    if (g_liveSurplusRequested.exchange(false)) {
        for (int32_t n = calls.countActiveLive() - MAX_LIVE_SEL.value; n > 0; --n)
            calls.removeFarthestLiveAc(-1.0);
    }
    if (g_navLightsRequested.exchange(false))
        calls.setParkedNavLights(NAV_LIGHTS_WHILE_PARKED.value);
    for (const ParkAirportRequest& request : gf_takeParkAirportRequests())
        calls.addParkAirport(request.code, request.position);
}

void lf_cycle()
{
    WindowState& ws = gf_windowState();
    if (g_flightPaused) {
        g_flightPaused = false;
        gf_logLine("{} Flight resumed", gf_clockHms());
        lf_setServiceRunning(true);
    }
    ++ws.cycleCounter;
    gf_expireMessage();
    gf_refreshTrafficCounts();
    g_timeOfWeek = gf_weekdayAndSlot();
    ++g_cycleCount;
    gf_handleNextTouchdown();
    if (g_flushStaticRequested) {
        gf_removeAllStatics();
        g_flushStaticRequested = false;
        if (!INITIAL_LOAD_ONLY.value) {
            INITIAL_LOAD_ONLY.value = true;
            gf_controlSetCheckMark(INITIAL_LOAD_ONLY, true);
        }
    }
    if (g_callsignListRequested) {
        CALLSIGN_2_OBJECTID.setValue({});
        gf_invalidateBand(g_controlsBand);
        gf_refreshCallsignList();
        g_callsignListRebuilt = true;
        g_callsignListRequested = false;
    }
    lf_handleUserCollisions();
    if (COLLISION_LIVE_PARKED_GND.value)
        gf_removeLiveParkedCollisions();
    if (g_blockRequested) {
        if (const std::string callsign = BLOCK_CALLSIGN.value(); !callsign.empty())
            gf_removeBlockedCallsign(callsign);
        g_blockRequested = false;
    }
    lf_applyWindowRequests();
    if (g_settingControlsDisabled) {
        ws.staticWaiting = gf_addingStackCount();
        gf_invalidateBand(g_statusPanelBand);
    }
}

void lf_flightNotRunning()
{
    if (!g_flightPaused) {
        lf_setServiceRunning(false);
        g_flightPaused = true;
        g_pausedTickCountdown = kPausedTicksPerSecond;
        gf_simLink().clearPositionBuffers();
        gf_logLine("{} Flight not running", gf_clockHms());
    }
    gf_handleSimEvents();
    if (--g_pausedTickCountdown % kPausedTicksPerSecond == 0) {
        lf_rereadParkAirports();
        gf_sendUserPosition();
    }
    if (g_pausedTickCountdown < 1) {
        g_pausedTickCountdown = kPausedTicksPerSecond;
        gf_refreshTrafficCounts();
        g_timeOfWeek = gf_weekdayAndSlot();
    }
}

bool lf_tick()
{
    const SimLinkCalls& sim = gf_simLink();
    if (!sim.flightRuns()) {
        lf_flightNotRunning();
        return !gf_stopPending();
    }
    lf_handleAddingStack();
    // The stop is seen on every tick: the on-ground data that makes a cycle may stall.
    if (!sim.takeNewUserData())
        return !gf_stopPending();
    lf_cycle();
    if (gf_stopPending())
        return false;
    const CycleDuties duties = gf_cycleDuties(g_cycleCount, g_staticUpdateFirstStepDone);
    if (duties.fifteenGroup) {
        g_trafficReader.setReferencePosition({g_userSnapshot.latitude, g_userSnapshot.longitude});
        if (g_rtProfessional)
            gf_sendQs123(sim.simUnixTime());
        if (!g_reservedStandId.empty())
            gf_removeAcAtStand(g_reservedStandId);
        lf_rereadParkAirports();
        lf_periodicDuties(duties);
        return true;
    }
    if (duties.staticParking)
        gf_staticParkingCycle(false);
    if (duties.readerCheck)
        gf_checkReadersAlive();
    if (duties.staticTwin)
        gf_removeStaticTwinOfLive();
    return true;
}

void lf_mainLoop()
{
    const Clock::time_point base = Clock::now();
    g_timeOfWeek = gf_weekdayAndSlot();
    lf_setServiceRunning(true);
    Clock::time_point deadline = base + kTickPeriod;
    gf_fillComboFromList(CALLSIGN_2_OBJECTID);
    gf_controlEnable(g_csOidButton, true);
    const TimerResolution1ms timer;
    for (bool more = lf_tick(); more; more = lf_tick()) {
        if (const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            left >= 1ms)
            gf_sleepFor(left);
        // The schedule follows the arrivals of the simulator's once-a-second data.
        if (gf_simLink().newUserData())
            deadline = Clock::now();
        deadline += kTickPeriod;
    }
}
