#pragma once
// The steps of the stand handling of live and static aircraft that the tests reach.
// Worker thread only.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/geo.h"
#include "parking/park_stand.h"
#include "parking/static_parking.h"
#include "traffic/aircraft_records.h"
#include "traffic/engine_services.h"

// The nearest free stand within radiusNm that fits the aircraft (a slightly small one
// only close by, and learned larger), else with wide the nearest fitting stand within
// 85 m whose flights name it. Stands held by another aircraft are skipped unless
// skipOccupied is false (an aircraft received standing claims its stand by the callsign
// rules instead).
ParkStand* lf_findFreeStandNear(const GeoPos& position, LiveAc& ac, double radiusNm, bool wide,
                                bool skipOccupied = true);
// The live aircraft standing at the stand (parked or pushing back from it; with
// pushedBackToo also one just pushed back in front of it), or null.
LiveAc* lf_standHolder(uint32_t standNumber, bool pushedBackToo = false);
// Forgets the cached stand under the user's position.
void gf_resetUserStandCache();

bool lf_claimStandFromLive(uint32_t standNumber, std::string_view callsign);
void lf_makeWayAtStand(LiveAc& live, ParkStand& stand);
void lf_makeWayAtExcludedStand(LiveAc& live, uint32_t adjacentNumber, ParkStand& stand);
void lf_removeAdjacentColliding(uint32_t adjacentNumber, LiveAc& live, ParkStand& stand);

// Hexid and live seconds parked, longest first.
std::vector<std::pair<uint32_t, int64_t>> lf_parkedList();

// The callsign of a static aircraft from a callsign part: trailing '_' stripped (in
// place), a '*' appended unless there is one.
std::string lf_staticCallsign(std::string& text);

bool lf_isFlightPresent(const StandFlight& entry);
bool lf_callsignInSet(std::string_view text);
// The one rule by which an aircraft next to a stand keeps a static off it, for the fit
// search and the creation alike: a static not leaving the simulator, or a live aircraft
// parking, parked or pushing back, at an adjacent stand within the collision distance of
// the two (1.1 times their half spans, nautical miles). Either one on the stand itself
// keeps it too.
double gf_staticReachNm(double halfSpanA, double halfSpanB);
bool gf_isLeavingStatic(const StaticAc& s);
bool gf_keepsStaticsOff(const LiveAc& ac);
// Half hours since the static aircraft was placed, across the week's end (0..335).
int64_t gf_halfHoursSincePlaced(const StaticAc& s, int64_t now);
// The time of week offset half hours before now.
int64_t gf_shiftedTimeOfWeek(int64_t now, uint32_t offset);
