// Stop-gap until the live aircraft engine lands: an engine without aircraft. The pass
// still polls the range, sends the user position and counts its ticks; received records
// are taken from the queue (two a pass) and dropped, as nothing can fly them.
#include "traffic/traffic_service.h"

#include "control/service_state.h"
#include "feed/qnh_reader.h"
#include "feed/received_flights.h"
#include "parking/park_airports.h"
#include "ui/window_state.h"

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
