#pragma once
// What the static parking and the main window's commands ask of the live aircraft engine
// (besides its state in traffic/traffic_state.h). Worker thread only.
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
// The live aircraft parked and active; with withMean the window's mean parked time too.
uint64_t gf_countParkedLive(bool withMean);
// The live-aircraft maximum is reached: removes the active live aircraft farthest from the
// user when one lies beyond the distance + 0.1 nm (false), else true: nothing removed.
bool gf_removeFarthestLiveAc(double distanceNm);
