#pragma once
// What the static parking asks of the live aircraft engine besides its state
// (traffic/traffic_state.h) and the counts of traffic/traffic_service.h. Worker thread only.
#include <cstdint>
#include <deque>
#include <string_view>

#include "simlink/sim_queues.h"
#include "traffic/aircraft_records.h"

// Takes a live or static aircraft out of the simulator, as its status allows: a buffered
// one is erased, a queued creation withdrawn, an object queued for removal (once).
void removeAircraftFromSim(StaticAc& ac);
// Removes every request with that callsign; true when one was removed (never for an
// empty callsign).
bool gf_eraseQueuedCreation(std::deque<SimCreateRequest>& deque, std::string_view callsign);
// Rebuilds g_liveParked (longest parked last) and removes aircraft parked too long.
void gf_collectLiveParked();
