#pragma once
// Values the feed reads but other subsystems own. The settings are read directly; the
// other owners wire a source function in once, and until then the defaults below hold.
// Tests may replace any source. Sources are called from the reader threads, so
// each must return one consistent value without blocking for long.
#include <cstdint>

#include "foundation/geo.h"

// The park airport as the traffic lines need it: whether one is set, where, how high.
struct FeedParkAirport {
    bool set = false;
    GeoPos position;
    double elevationFt = 0.0;
};

using RangeNmSource = double (*)();
using FlagSource = bool (*)();
using ParkAirportSource = FeedParkAirport (*)();
using TrafficTickSource = uint32_t (*)();

// g_rangeNm of the settings: the traffic range in nautical miles.
void gf_setRangeNmSource(RangeNmSource source);
double gf_feedRangeNm();

// The setting AIRBORNE_ONLY.
void gf_setAirborneOnlySource(FlagSource source);
bool gf_feedAirborneOnly();

// g_parkAirport of the static parking (default: none set).
void gf_setParkAirportSource(ParkAirportSource source);
FeedParkAirport gf_feedParkAirport();

// g_trafficTick of the traffic engine (default 0).
void gf_setTrafficTickSource(TrafficTickSource source);
uint32_t gf_feedTrafficTick();

// g_realTrafficLocal of the start-up: RealTraffic runs on this PC (default: it does not).
void gf_setRealTrafficLocalSource(FlagSource source);
bool gf_feedRealTrafficLocal();

// Puts every source back to its default.
void gf_resetFeedSources();
