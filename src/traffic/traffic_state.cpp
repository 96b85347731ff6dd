#include "traffic/traffic_state.h"

#include <algorithm>
#include <mutex>

#include "catalogue/liveries.h"
#include "control/service_state.h"
#include "feed/qnh_reader.h"
#include "feed/received_flights.h"
#include "feed/traffic_reader.h"
#include "parking/park_airports.h"
#include "parking/park_stand.h"
#include "parking/static_parking.h"
#include "traffic/live_stands.h"
#include "traffic/live_stands_internal.h"
#include "traffic/traffic_service.h"
#include "ui/window_state.h"

std::vector<LiveAc> g_liveAcs;
std::vector<StaticAc> g_staticAcs;
std::vector<uint32_t> g_newAcIds;
std::deque<SimCreateRequest> g_liveCreateDeque;
std::deque<SimCreateRequest> g_staticCreateDeque;
std::deque<uint32_t> g_removeDeque;
std::vector<uint32_t> g_withdrawnHexids;
std::vector<SimObjectEvent> g_pendingActivations;
std::list<uint32_t> g_touchdownHexids;
std::vector<LiveParkedEntry> g_liveParked;
std::vector<std::string> g_ghostCallsigns;

void gf_reserveTrafficContainers()
{
    static bool reserved = false;
    if (reserved)
        return;
    reserved = true;
    g_liveAcs.reserve(512);
    g_staticAcs.reserve(256);
    {
        std::lock_guard lock(g_simObjectEventsMutex);
        g_simObjectEvents.reserve(256);
    }
    g_pendingActivations.reserve(128);
    g_newAcIds.reserve(64);
    g_liveParked.reserve(64);
    g_ghostCallsigns.reserve(64);
    g_parkStands.reserve(512);
    g_addingStack.reserve(256);
}

bool gf_isWithdrawnHexid(uint32_t hexid)
{
    return std::find(g_withdrawnHexids.begin(), g_withdrawnHexids.end(), hexid) != g_withdrawnHexids.end();
}

void gf_resetTrafficState()
{
    {
        // A "SimClient" thread that failed to stop may still compare its stand's airport.
        std::lock_guard lock(g_parkAirportsMutex);
        g_parkAirport = ParkAirport{};
    }
    // The feed's copy and the reader's reference follow: the next run's reader would keep
    // ground lines near the old airport and read them against its elevation.
    gf_publishParkAirport();
    g_trafficReader.setReferenceElevation(std::nullopt);
    {
        std::lock_guard lock(g_simObjectEventsMutex);
        g_simObjectEvents.clear();
    }
    g_pendingActivations.clear();
    g_ghostCallsigns.clear();
    g_liveryIdTitles.clear();
    g_newAcIds.clear();
    g_liveCreateDeque = {};
    g_staticCreateDeque = {};
    g_removeDeque = {};
    // An object of an earlier run that still comes finds no record and is removed then.
    g_withdrawnHexids.clear();
    g_staticAcs.clear();
    {
        std::lock_guard lock(g_liveFlightsMutex);
        g_liveFlights = {};
    }
    gf_resetFlightDropLog();
    g_fastRangeRequests = false;
    g_liveAcs.clear();
    g_touchdownHexids.clear();
    g_liveParked.clear();
    g_addingStack.clear();
    gf_clearParkStands();
    gf_resetUserStandCache();
    g_staticHexidCounter = 0;
    g_parkStandsLoaded = false;
    g_qnh = g_defaultQnh;
    g_timeOfWeek = 0;
    g_unmatchedFlights.clear();
    g_trafficTick = 0;
    gf_invalidateBand(g_parkAirportArea);
}
