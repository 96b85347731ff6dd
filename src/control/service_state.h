#pragma once
// The values one run of the traffic service keeps beside the stop state: set by the
// start-up and the main loop on the worker thread, some also read or raised by the
// window's thread (the atomics).
#include <atomic>
#include <cstdint>
#include <filesystem>

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
extern int32_t g_cycleCount;
// The flight was seen not running and "{} Flight not running" was logged.
extern bool g_flightPaused;
// Ticks until the next once-a-second work while the flight does not run.
extern int32_t g_pausedTickCountdown;
// The two-step static-parking update: asked for, and its first step done.
extern std::atomic<bool> g_staticUpdateRequested;
extern bool g_staticUpdateFirstStepDone;
// Minutes until the next static-parking renewal (20 at the start).
extern int32_t g_staticRenewalMinutes;
// Requests of the window's buttons and edits, handled by the next cycle.
extern std::atomic<bool> g_rereadRequested;
extern std::atomic<bool> g_flushStaticRequested;
extern std::atomic<bool> g_callsignListRequested;
extern std::atomic<bool> g_blockRequested;
// The callsign list was rebuilt for the window.
extern std::atomic<bool> g_callsignListRebuilt;
