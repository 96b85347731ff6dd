#pragma once
// The values one run of the traffic service keeps beside the stop state: set by the
// start-up and the main loop on the worker thread, some also read or raised by the
// window's thread (the atomics).
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/geo.h"

// The time of week of the traffic time (weekday low, slot high), renewed every cycle.
extern std::atomic<int64_t> g_timeOfWeek;
// The aircraft database was read in this process (it is read once, even on failure).
extern bool g_dataFilesRead;
// RealTraffic is installed on this PC: the readers bind to 127.0.0.1 and the TCP link is
// used.
extern std::atomic<bool> g_realTrafficLocal;
// "Scenery" under the simulator's install path.
extern std::filesystem::path g_stockAirportsPath;
// The simulator kind written into the data files' meta block (3: Prepar3D).
extern int32_t g_simKind;
// The start-up of the run is under way: true at program start and after each reset,
// cleared once RealTraffic has connected.
extern std::atomic<bool> g_startUpPhase;

// Cycles since the start of the run (one per arrival of the once-a-second on-ground
// data), back to 0 every 86400.
extern std::atomic<int32_t> g_cycleCount;
// The flight was seen not running and "{} Flight not running" was logged.
extern bool g_flightPaused;
// Ticks until the next once-a-second work while the flight does not run.
extern int32_t g_pausedTickCountdown;
// The two-step static-parking update: asked for, and its first step done.
extern std::atomic<bool> g_staticUpdateRequested;
extern bool g_staticUpdateFirstStepDone;
// Minutes until the next static-parking renewal (20 at the start); the "Now" button sets it
// back to 20 from the window's thread.
inline constexpr int32_t g_staticRenewalPeriodMinutes = 20;
extern std::atomic<int32_t> g_staticRenewalMinutes;
// Requests of the window's buttons and edits, handled by the next cycle.
extern std::atomic<bool> g_rereadRequested;
extern std::atomic<bool> g_flushStaticRequested;
extern std::atomic<bool> g_callsignListRequested;
extern std::atomic<bool> g_blockRequested;
// The callsign list was rebuilt for the window, or the user chose a callsign in it.
extern std::atomic<bool> g_callsignListRebuilt;
// The engine's lists belong to the worker: the window changes a setting and asks the next
// cycle to apply it. MAX_LIVE_SEL was lowered (the surplus live aircraft go, farthest
// first); NAV_LIGHTS_WHILE_PARKED changed (the parked aircraft switch their nav lights).
extern std::atomic<bool> g_liveSurplusRequested;
extern std::atomic<bool> g_navLightsRequested;
// A livery rescan was asked for during the start-up phase: the next start-up empties the
// livery tables, so that they are built anew. Kept across the restart.
extern std::atomic<bool> g_liveryRebuildRequested;

// A new destination for the park airports list, added by the next cycle (in the order
// asked for); the start-up adds its stored destination at once.
struct ParkAirportRequest {
    std::string code;
    GeoPos position;
};
void gf_requestParkAirport(std::string code, GeoPos position);
std::vector<ParkAirportRequest> gf_takeParkAirportRequests();
