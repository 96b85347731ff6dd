#pragma once
// Aircraft at the park airport's stands made as the engine makes them, for tests that need
// them standing before they start: a static from a candidate of the adding stack (with
// every check of its creation), a live aircraft received standing at a stand and spawned
// there; both bound to an object and activated through the simulator's events. The park
// airport's stands and the catalogue (support/engine_doubles.h) must be in place.
#include <cstdint>
#include <string>
#include <vector>

#include "parking/static_parking.h"
#include "traffic/aircraft_records.h"

namespace enginetest {

// Null when the engine refused the candidate.
StaticAc* gf_createStatic(const ParkCandidate& candidate, uint32_t objectId);
// The engine takes the adding stack's candidates one by one, as far as it can; their
// objects are bound (ids from nextObjectId on) and activated. The number created.
size_t gf_createStaticsFromStack(uint32_t& nextObjectId);
// A live aircraft first received standing at the stand, parked there; null when the
// engine did not let it spawn there.
LiveAc* gf_bornAtStand(uint32_t hexid, const std::string& callsign, uint32_t standNumber, uint32_t objectId,
                       const std::string& type = "A320");
// The simulator removes every object queued for removal and says so.
void gf_confirmRemovals();
// Callsigns of the aircraft being removed, statics first.
std::vector<std::string> gf_removing();

} // namespace enginetest
