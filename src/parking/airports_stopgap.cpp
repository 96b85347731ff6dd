// Stop-gap until the airports reader lands: a table that could not be read.
#include "parking/airports.h"

#include "foundation/log.h"

std::vector<Airport> g_airports;

bool gf_readAirports()
{
    gf_logErrorLine("gf_readAirports: this build cannot read the airports table");
    return false;
}

const Airport* gf_findAirport(std::string_view) { return nullptr; }
bool gf_isKnownAirportCode(std::string_view) { return false; }
