#pragma once
// The received-flights queue: the traffic reader appends, the traffic pass takes at most
// two records per tick. g_liveFlightsMutex is a leaf lock: nothing else is taken while it
// is held.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

#include "feed/live_flight_record.h"

extern std::mutex g_liveFlightsMutex;
// Both guarded by g_liveFlightsMutex.
extern std::deque<LiveFlightRecord> g_liveFlights;
extern bool g_serviceRunning; // records are queued only while the traffic service runs

// The traffic pass takes 200 records a second; this holds well over a minute of them.
inline constexpr size_t g_liveFlightsLimit = 20000;
// Records become due 30 seconds (3000 ticks) after they are queued.
inline constexpr uint32_t g_recordDelayTicks = 3000;

// Queues the record, due at the current traffic tick + 3000, while the service runs;
// otherwise it is discarded. A full queue drops its oldest record first: the drops are
// counted and logged at once, then at most once a minute. True when queued.
bool gf_queueReceivedFlight(LiveFlightRecord&& record);
bool gf_queueReceivedFlight(LiveFlightRecord&& record, int64_t nowMs);

// Records dropped from a full queue since the program started.
uint64_t gf_droppedFlightCount();
// Forgets when the drops were last logged (with the traffic state's reset).
void gf_resetFlightDropLog();
