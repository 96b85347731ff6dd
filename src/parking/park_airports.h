#pragma once
// The user's park airports (my_park_airports.txt) and the current park airport. The list
// belongs to the worker thread, except that the "SimClient" thread stores the user's
// stand into its first entry: g_parkAirportsMutex covers every change of the list and
// every write of the file.
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <string_view>

#include "feed/feed_inputs.h"
#include "foundation/geo.h"

struct ParkAirportEntry {
    std::string code;
    std::string reservedStand; // may be empty
    double lat = 0.0;
    double lon = 0.0;
    double distanceNm = 0.0; // to the user aircraft; 0 until computed
};

extern std::list<ParkAirportEntry> g_parkAirports;
extern std::mutex g_parkAirportsMutex;

// Rewrites my_park_airports.txt with the first entry's line; callers hold
// g_parkAirportsMutex and call it only when the list is not empty. A file that exists but
// cannot be read is left as it is.
void gf_writeMyParkAirports();
// Puts the airport first in the list (worker thread): a listed one moves there as it is;
// a new one (no reserved stand) is also written into my_park_airports.txt.
void gf_addParkAirport(std::string_view code, GeoPos position);

// The current park airport, written only by the worker thread, its code under
// g_parkAirportsMutex (the "SimClient" thread compares it); the code is empty while none
// is set.
struct ParkAirport {
    std::string code;
    std::string iata;
    double lat = 0.0;
    double lon = 0.0;
    double elevationFt = 0.0;
    int32_t stands = 0;
};
extern ParkAirport g_parkAirport;

// The park airport as the traffic reader needs it: one consistent copy for any thread
// (the feed's source), renewed by gf_publishParkAirport after every change.
FeedParkAirport gf_parkAirportForFeed();
void gf_publishParkAirport();
