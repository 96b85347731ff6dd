#pragma once
// Ground traffic at a park airport for the scenario harness: taxi routes as reference
// flights, stands placed in metres, and what the simulator shows of aircraft standing in
// each other's way.
#include <string>
#include <vector>

#include "foundation/geo.h"
#include "parking/park_stand.h"
#include "support/traffic_scenario.h"

namespace traffictest {

// A point north and east of the park airport's centre, in metres.
GeoPos gf_metresFrom(const GeoPos& centre, double northM, double eastM);

// Taxis the route from startS at speedKt, slowing to a stop on its last leg, and is then
// reported standing there for standS seconds (not at all when standS is negative: the
// reports end on arrival).
ReferenceFlight gf_taxiFlight(uint32_t hexid, const FlightTexts& texts, double startS, const std::vector<GeoPos>& route,
                              double speedKt, double standS);
// Reported standing at the point from startS for standS seconds, then taxiing the route
// (if any).
ReferenceFlight gf_standingFlight(uint32_t hexid, const FlightTexts& texts, double startS, const GeoPos& at,
                                  double standS, const std::vector<GeoPos>& route, double speedKt);

// The park airport at the centre (0 ft) with the given stands, numbered and linked.
void gf_setParkAirport(const std::string& code, const GeoPos& centre, std::vector<ParkStand> stands);

// "A and B" (callsigns) of each pair of bound objects in the simulator that stand closer
// than 1.1 times their half spans together, each having stood still for at least stillS
// seconds (0: every object, moving or not). An object the simulator never reports is not
// the program's to know.
std::vector<std::string> gf_collisions(const Scenario& s, double stillS);

} // namespace traffictest
