#pragma once
// The table of supported airports, read by every run of the traffic service on the worker
// thread and read-only afterwards.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/geo.h"

struct Airport {
    std::string code; // ICAO, the key
    std::string iata; // may be empty
    double lat = 0.0;
    double lon = 0.0;
    double alt = 0.0; // feet
    int32_t stands = 0;
};

// Sorted by code.
extern std::vector<Airport> g_airports;

// Decrypts input\airports.enc and reads it; false on failure (the start-up reports it).
bool gf_readAirports();
// The row of a code, or nullptr when the code is unknown.
const Airport* gf_findAirport(std::string_view code);
bool gf_isKnownAirportCode(std::string_view code);
