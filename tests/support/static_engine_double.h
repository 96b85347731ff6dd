#pragma once
// The live aircraft engine as the static parking sees it, for tests and the benchmark:
// static, live and parked records that a test sets, every removal recorded, a stand
// search doing what the engine's does, and the creation of one static aircraft from the
// adding stack per traffic pass (without the engine's conflict checks, so that a plan
// that puts two aircraft on one stand shows).
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "parking/engine_services.h"

namespace statictest {

struct EngineDouble {
    std::vector<StaticAcView> statics;
    std::vector<LiveAcView> live;
    std::vector<ParkedLiveView> parked; // g_liveParked
    // "remove DLH100*", "remove all statics", "remove at A12", "remove 2 parked",
    // "forget 10001", "take out 10001", "remove when created 10001"
    std::vector<std::string> events;
    std::set<std::string, std::less<>> queuedCreations; // callsigns in the live creation queue
    std::string userStand;
    uint32_t staticHexidCounter = 0;
};

EngineDouble& engineDouble();
// Empties the double and makes it the static parking's engine.
void installEngineDouble();

// The engine's stand search over g_parkStands (kind 1 real, 0 soft; dayRule 1 the shifted
// day only). A flight already shown (callsign or registration in use, also by a
// candidate of this search) is passed over until the plan is renewed.
void searchStands(int64_t now, uint32_t kind, uint32_t dayRule, int32_t offset, std::vector<ParkCandidate>& out);
bool isOptionAroundThisTime(const StandFlight& entry, const StaticAcView& ac, int64_t now, int32_t window);
bool isOptionAroundThisTimeYesterday(const StandFlight& entry, const StaticAcView& ac, uint32_t day, int32_t window);

// One traffic pass: the adding stack's last candidate becomes an active static aircraft
// at its stand, placed at now minus its fit offset, showing its preferred callsign part
// with '*'. False when the stack was empty.
bool createStaticFromStack(int64_t now);

} // namespace statictest
