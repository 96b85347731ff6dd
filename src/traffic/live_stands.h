#pragma once
// The stands of the park airport as live aircraft use them: the stand of an aircraft born
// standing, what live traffic teaches about stands, the cap on parked aircraft and the
// static aircraft of the adding stack.
#include <atomic>
#include <cstdint>

#include "traffic/aircraft_records.h"

struct ParkStand;

// Stand radii and cargo marks learned in this run; the window shows it.
extern std::atomic<uint32_t> g_learnedStandChanges;
// The hexid the last static aircraft took (1..9999, then 0, 1, ...).
extern uint32_t g_staticHexidCounter;

// The stand the newly received aircraft stands at, or null; may set its erase flag.
const ParkStand* lf_findBirthStand(LiveAc& ac);
// A cargo aircraft at a stand not marked cargo teaches the stand that it is not a cargo
// stand.
void lf_cargoRule(LiveAc& ac);
// Learns the aircraft's stay at the stand; mode 0 arrival, 1 born at the stand, 2 and 3
// from the extension checks.
void lf_addRealStandOption(uint32_t standNumber, LiveAc& ac, uint32_t mode);
// Holds live parked plus static aircraft at the wanted count; extra counts an aircraft
// about to park.
void gf_enforceMaxParked(uint8_t extra);
// The coupled callsign of a flight that just landed, from the stands' entries.
void lf_searchForCoupledCsAroundThisTime(int64_t timeOfWeek, LiveAc& ac);
// Makes one static aircraft of the adding stack's last candidate.
void lf_createStaticFromStack();
// Called while a live aircraft moves on the ground: sends it to a free stand near its
// newest position. landed widens the search.
void try2Park(LiveAc& ac, bool landed);
// The aircraft in phase "parking" has used up its samples: it parks within 2 m of its
// stand, or taxies on.
void lf_arriveAtStand(LiveAc& ac);
