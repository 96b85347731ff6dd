#pragma once
// The live aircraft engine as the static parking meets it, for tests and the benchmark:
// the engine's own records (g_staticAcs, g_liveAcs, g_liveParked) and removals, plus what
// the engine does not do yet: a stand search doing what the engine's will, the user's
// stand a test sets, and the creation of one static aircraft from the adding stack per
// traffic pass (without the engine's conflict checks, so that a plan that puts two
// aircraft on one stand shows).
#include <cstdint>
#include <string>
#include <vector>

#include "parking/static_parking_internal.h"
#include "traffic/traffic_state.h"

namespace statictest {

struct EngineDouble {
    std::string userStand;
    uint32_t staticHexidCounter = 0;
};

EngineDouble& engineDouble();
// Empties the engine's records and puts the double's search and user stand in.
void installEngineDouble();
void removeEngineDouble();

// Records as the engine holds them; an active one has an object.
StaticAc& addStatic(uint32_t stand, const std::string& callsign, int64_t placed, const std::string& cs1,
                    const std::string& cs2, const std::string& reg, const std::string& airline,
                    const std::string& type);
LiveAc& addLive(uint32_t hexid, const std::string& callsign, uint32_t stand, SimStatus status, FlightPhase phase);
// Callsigns of the records being removed from the simulator, statics first.
std::vector<std::string> removing();
// The simulator reports every queued removal done: those records go.
void finishRemovals();

// The engine's stand search over g_parkStands (kind 1 real, 0 soft; dayRule 1 the shifted
// day only). A flight already shown (callsign or registration in use, also by a
// candidate of this search) is passed over until the plan is renewed.
void searchStands(int64_t now, uint32_t kind, uint32_t dayRule, int32_t offset, std::vector<ParkCandidate>& out);
bool isOptionAroundThisTime(const StandFlight& entry, const AcIdentity& ac, int64_t now, int32_t window);
bool isOptionAroundThisTimeYesterday(const StandFlight& entry, const AcIdentity& ac, uint32_t day, int32_t window);

// One traffic pass: the adding stack's last candidate becomes an active static aircraft
// at its stand, placed at now minus its fit offset, showing its preferred callsign part
// with '*'. False when the stack was empty.
bool createStaticFromStack(int64_t now);

} // namespace statictest
