#pragma once
// What the static parking asks of the live aircraft engine besides its state
// (traffic/traffic_state.h) and the counts of traffic/traffic_service.h. Worker thread only.
#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

#include "simlink/sim_queues.h"
#include "traffic/aircraft_records.h"

struct ParkCandidate;
struct StandFlight;

// Takes a live or static aircraft out of the simulator, as its status allows: a buffered
// one is erased, a queued creation withdrawn, an object queued for removal (once).
void removeAircraftFromSim(StaticAc& ac);
// Removes the request of the aircraft with that hexid (two aircraft may share a callsign);
// true when one was removed.
bool gf_eraseQueuedCreation(std::deque<SimCreateRequest>& deque, uint32_t hexid);
// Takes an aircraft out as a whole run of removals does: an active one leaves the
// simulator; one being created is withdrawn from its creation deque (true: the caller
// erases the record) or else removed once created.
bool lf_takeOut(StaticAc& ac, std::deque<SimCreateRequest>& creations);
// Rebuilds g_liveParked (longest parked last) and removes aircraft parked too long.
void gf_collectLiveParked();
// Removes up to count parked live aircraft, the longest parked first.
void gf_removeLiveParked(uint64_t count);

// One step of the static fit search: appends to out at most one flight per free stand of
// the shifted half hour (now less offset half hours). kind 1 real entries, 0 soft, else
// both; dayRule 1 entries of the shifted day only, else of any day.
void lf_searchStands(int64_t timeOfWeek, uint32_t kind, uint32_t dayRule, int32_t offset,
                     std::vector<ParkCandidate>& out);
// The entry is the aircraft's flight (registration, airline, type) on now's day with a
// half hour from now's slot back by window (the day's first half hour at the earliest).
bool lf_isOptionAroundThisTime(const StandFlight& entry, const AcIdentity& identity, int64_t timeOfWeek,
                               int32_t window);
// The same on the given (previous) day, from its last half hour back by window.
bool lf_isOptionAroundThisTimeYesterday(const StandFlight& entry, const AcIdentity& identity, uint32_t day,
                                        int32_t window);
