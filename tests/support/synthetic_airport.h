#pragma once
// A seeded synthetic park airport for the static parking's tests and benchmark: rows of
// stands side by side (neighbours in a row overlap), each with flights over the week,
// real and soft, some coupled (two callsign parts). The same seed gives the same airport.
#include <cstdint>
#include <vector>

#include "parking/park_stand.h"

namespace synth {

struct AirportSpec {
    uint32_t seed = 1;
    int32_t stands = 40;
    int32_t flightsPerStand = 20;
    int32_t standsPerRow = 10;
    double spacingMetres = 50.0; // radius 30 m: stands next in a row overlap, others not
    double realShare = 0.7;
    double coupledShare = 0.3;
    int32_t longestStaySlots = 8;
    double centreLat = 50.0;
    double centreLon = 8.5;
};

// Numbered and linked stands. One flight (registration and callsigns) is seen on several
// stands and days, sometimes at the same time.
std::vector<ParkStand> makeAirport(const AirportSpec& spec);

} // namespace synth
