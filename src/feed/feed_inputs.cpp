#include "feed/feed_inputs.h"

#include <atomic>

#include "foundation/settings_catalogue.h"

namespace {

std::atomic<RangeNmSource> g_rangeNmSource{nullptr};
std::atomic<FlagSource> g_airborneOnlySource{nullptr};
std::atomic<ParkAirportSource> g_parkAirportSource{nullptr};
std::atomic<TrafficTickSource> g_trafficTickSource{nullptr};
std::atomic<FlagSource> g_realTrafficLocalSource{nullptr};

} // namespace

void gf_setRangeNmSource(RangeNmSource source)
{
    g_rangeNmSource = source;
}

double gf_feedRangeNm()
{
    const RangeNmSource source = g_rangeNmSource.load();
    return source ? source() : g_rangeNm.load();
}

void gf_setAirborneOnlySource(FlagSource source)
{
    g_airborneOnlySource = source;
}

bool gf_feedAirborneOnly()
{
    const FlagSource source = g_airborneOnlySource.load();
    return source ? source() : AIRBORNE_ONLY.value.load();
}

void gf_setParkAirportSource(ParkAirportSource source)
{
    g_parkAirportSource = source;
}

FeedParkAirport gf_feedParkAirport()
{
    const ParkAirportSource source = g_parkAirportSource.load();
    return source ? source() : FeedParkAirport{};
}

void gf_setTrafficTickSource(TrafficTickSource source)
{
    g_trafficTickSource = source;
}

uint32_t gf_feedTrafficTick()
{
    const TrafficTickSource source = g_trafficTickSource.load();
    return source ? source() : 0;
}

void gf_setRealTrafficLocalSource(FlagSource source)
{
    g_realTrafficLocalSource = source;
}

bool gf_feedRealTrafficLocal()
{
    const FlagSource source = g_realTrafficLocalSource.load();
    return source ? source() : false;
}

void gf_resetFeedSources()
{
    g_rangeNmSource = nullptr;
    g_airborneOnlySource = nullptr;
    g_parkAirportSource = nullptr;
    g_trafficTickSource = nullptr;
    g_realTrafficLocalSource = nullptr;
}
