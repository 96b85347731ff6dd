#pragma once
// The table of supported airports, read by the first run of the traffic service on the
// worker thread and read-only afterwards.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/geo.h"
#include "foundation/text_hash.h"

struct Airport {
    std::string code; // ICAO, the key
    std::string iata; // may be empty
    double lat = 0.0;
    double lon = 0.0;
    double alt = 0.0; // feet
    int32_t stands = 0;
};

// Sorted by code; rows of one code keep their file order.
extern std::vector<Airport> g_airports;
extern TextHashSet g_airportCodes;

// Decrypts input\airports.enc and reads it, once per process; true when the table holds
// an airport. Throws tav::UserErrorException 88 when the file cannot be loaded or has no
// "airports" element; no airports.xml remains on any path.
bool gf_readAirports();
// The first row of a code, or nullptr when the code is unknown.
const Airport* gf_findAirport(std::string_view code);
bool gf_isKnownAirportCode(std::string_view code);
// "EHAM (AMS)", "EHAM", "?" for an empty code.
std::string gf_airportLabel(const Airport& airport);
// The supported airport within 5.0 nm of the position, or nullptr. Of two within reach
// the nearer wins, unless the stand nearest to the position lies at the other one.
const Airport* gf_closestAirport(const GeoPos& position);
