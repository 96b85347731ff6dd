// Stop-gap until the park airports land: no park airport list and no park airport.
#include "parking/park_airports.h"

#include "foundation/log.h"

std::list<ParkAirportEntry> g_parkAirports;
std::mutex g_parkAirportsMutex;
ParkAirport g_parkAirport;

void gf_writeMyParkAirports()
{
    if (!g_parkAirports.empty())
        gf_logErrorLine("gf_writeMyParkAirports: this build cannot write my_park_airports.txt");
}
