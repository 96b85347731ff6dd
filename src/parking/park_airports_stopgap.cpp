// Stop-gap until the park airports land: no park airport list is read and there is no
// park airport; a destination still goes to the front of the list.
#include "parking/park_airports.h"

#include <algorithm>

#include "foundation/log.h"

std::list<ParkAirportEntry> g_parkAirports;
std::mutex g_parkAirportsMutex;
ParkAirport g_parkAirport;

void gf_writeMyParkAirports()
{
    if (!g_parkAirports.empty())
        gf_logErrorLine("gf_writeMyParkAirports: this build cannot write my_park_airports.txt");
}

void gf_addParkAirport(std::string_view code, GeoPos position)
{
    std::lock_guard lock(g_parkAirportsMutex);
    const auto listed =
        std::find_if(g_parkAirports.begin(), g_parkAirports.end(), [&](const ParkAirportEntry& e) { return e.code == code; });
    if (listed != g_parkAirports.end()) {
        g_parkAirports.splice(g_parkAirports.begin(), g_parkAirports, listed);
        return;
    }
    g_parkAirports.push_front(ParkAirportEntry{std::string(code), {}, position.latitude, position.longitude, 0.0});
    gf_writeMyParkAirports();
}
