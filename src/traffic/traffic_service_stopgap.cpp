// Stop-gap until the live aircraft engine lands: an engine without aircraft. The pass
// still polls the range, sends the user position and counts its ticks; received records
// are taken from the queue (two a pass) and dropped, as nothing can fly them.
#include "traffic/traffic_service.h"

#include <cmath>

#include "control/service_state.h"
#include "feed/qnh_reader.h"
#include "feed/received_flights.h"
#include "parking/park_airports.h"
#include "ui/window_state.h"

namespace {

// With no aircraft, a shown average becomes 0.
void lf_showNoAverage(std::atomic<float>& shown)
{
    if (shown.exchange(0.0f) != 0.0f)
        gf_invalidateBand(g_statusPanelBand);
}

} // namespace

std::vector<std::string> g_ghostCallsigns;

void lf_handleAddingStack()
{
    gf_handleSimEvents();
    {
        std::lock_guard lock(g_liveFlightsMutex);
        for (int i = 0; i < 2 && !g_liveFlights.empty(); ++i)
            g_liveFlights.pop_front();
    }
    lf_requestAcInRange();
    ++g_trafficTick;
}

void gf_handleSimEvents() {}

void gf_reserveTrafficContainers() {}

void gf_resetTrafficState()
{
    g_parkAirport = ParkAirport{};
    g_ghostCallsigns.clear();
    {
        std::lock_guard lock(g_liveFlightsMutex);
        g_liveFlights = {};
    }
    gf_resetFlightDropLog();
    g_fastRangeRequests = false;
    g_trafficTick = 0;
    g_qnh = g_defaultQnh;
    g_timeOfWeek = 0;
    gf_invalidateBand(g_parkAirportArea);
}

// No flight plans are written, so there is no folder: false says it was not made.
bool gf_createFlightPlanFolder()
{
    return false;
}

bool gf_removeFlightPlanFolder()
{
    return true;
}

void gf_takeOutLiveAircraft() {}
void gf_removeAllStatics() {}
void gf_removeAcAtStand(std::string_view) {}
void gf_removeStaticTwinOfLive() {}
void gf_handleNextTouchdown() {}
void gf_removeUserCollisions(bool, double) {}
void gf_removeLiveParkedCollisions() {}
void gf_removeBlockedCallsign(std::string_view) {}

// No aircraft is farther than any distance, unless the distance is not a number.
bool gf_removeFarthestLiveAc(double startNm)
{
    return !std::isnan(startNm);
}

int32_t gf_countActiveLive()
{
    return 0;
}

uint64_t gf_countLiveInSim()
{
    return 0;
}

std::vector<std::string> gf_liveInSimCallsigns()
{
    return {};
}

uint64_t gf_countParkedLive(bool withMean)
{
    if (withMean)
        lf_showNoAverage(gf_windowState().liveMeanParkedHours);
    return 0;
}

uint64_t gf_countStaticsInSim(bool show)
{
    if (show && !gf_windowState().anyWeekdayFit)
        lf_showNoAverage(gf_windowState().staticAverageAgeHours);
    return 0;
}

void gf_setParkedNavLights(bool) {}
