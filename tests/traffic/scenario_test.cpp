#include <gtest/gtest.h>

#include <random>

#include <fmt/format.h>

#include "foundation/geo.h"
#include "foundation/settings_catalogue.h"
#include "support/traffic_scenario.h"
#include "traffic/traffic_state.h"

namespace traffictest {
namespace {

TEST(ScenarioTest, AnArrivalIsCreatedAtItsLeadTimeAndActiveOnThe201stPassAfterItsBinding)
{
    ReferenceFlight f;
    f.hexid = 0x484C11;
    f.texts = {"", "A320", "EGLL", "EHAM", "KLM1234"};
    f.points = {{0, 52.0, 4.0, 3000, 160, 0, -700, false}, {300, 52.22, 4.0, 0, 140, 0, -700, false}};
    SimScript sim;
    sim.user = {0, 51.0, 4.0, 0, 0, 0, 0, true};
    Scenario s({f}, FeedScript{4.0, 4.0}, sim, 7);
    s.run(29.0);
    ASSERT_EQ(g_liveAcs.size(), 1u);
    EXPECT_EQ(g_liveAcs[0].status, SimStatus::Buffer);
    s.run(0.01);
    EXPECT_EQ(g_liveAcs[0].status, SimStatus::Adding2Sim);
    while (g_pendingActivations.empty() && s.time() < 40.0)
        s.run(0.01);
    s.run(1.99);
    EXPECT_EQ(g_liveAcs[0].status, SimStatus::Adding2Sim);
    s.run(0.01);
    EXPECT_EQ(g_liveAcs[0].status, SimStatus::Active);
    ASSERT_EQ(s.objects().size(), 1u);
    EXPECT_EQ(s.objects().begin()->second.callsign, "KLM1234");
}

// 600 straight flights of three airliner types around EHAM starting in the first 20 minutes
// and lasting 20 to 40: seven in ten airborne, two taxiing, one standing.
std::vector<ReferenceFlight> lf_traffic(uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const char* const types[] = {"A320", "A320", "A320", "B744", "CL30"};
    std::vector<ReferenceFlight> flights;
    for (uint32_t i = 0; i < 600; ++i) {
        ReferenceFlight f;
        f.hexid = 0x400000 + i;
        f.texts.callsign = fmt::format("TST{}", i);
        f.texts.aircraftType = types[random() % 5];
        f.texts.origin = "EHAM";
        f.texts.destination = "EGLL";
        const double kind = unit(random);
        const bool airborne = kind < 0.7;
        const double gs = airborne ? 200.0 + 250.0 * unit(random) : kind < 0.9 ? 10.0 + 10.0 * unit(random) : 0.0;
        const double spread = airborne ? 0.5 : 0.05;
        TrackPoint a{1200.0 * unit(random), 52.3 + spread * (2.0 * unit(random) - 1.0),
                     4.76 + spread * (2.0 * unit(random) - 1.0), airborne ? 3000.0 + 32000.0 * unit(random) : 0.0,
                     gs, 360.0 * unit(random), 0.0, !airborne};
        TrackPoint b = a;
        b.t = a.t + 1200.0 + 1200.0 * unit(random);
        const GeoPos end = gf_destinationPoint({a.lat, a.lon}, a.trackDeg * g_degToRad, gs * (b.t - a.t) / 3600.0 * 6076.11549);
        b.lat = end.latitude;
        b.lon = end.longitude;
        f.points = {a, b};
        flights.push_back(std::move(f));
    }
    return flights;
}

// A seeded hour of 600 flights with reports every 2 to 8 s, 0.5 s of jitter, 5 % lost and
// 5 % sent twice; at 30 fps 2 % of creations refused, bindings 1 to 30 frames late and 10 %
// of the on-ground reports lost.
TEST(ScenarioTest, AnHourOf600FlightsStaysWithinTheMaximumAndLeavesNothingBehind)
{
    SimScript sim;
    sim.fps = 30;
    sim.failedCreationRate = 0.02;
    sim.minBindFrames = 1;
    sim.maxBindFrames = 30;
    sim.lostOnGroundRate = 0.1;
    sim.user = {0, 52.3, 4.76, 0, 0, 0, 0, true};
    Scenario s(lf_traffic(18), FeedScript{2.0, 8.0, 0.5, 0.05, 0.05}, sim, 18);
    // Taxiing flights whose reports end are held a minute, not twenty, before they go.
    MAX_HOLDING_MINUTES.value = 1;
    s.run(3600.0);
    s.run(300.0);
    const Counts& c = s.counts();
    EXPECT_LE(c.maxLiveCount, 500u);
    EXPECT_GT(c.creations, 600u);
    EXPECT_GT(c.failedCreations, 0u);
    EXPECT_EQ(c.repeatedRemovals, 0u);
    EXPECT_EQ(c.unknownRemovals, 0u);
    EXPECT_EQ(c.nonFiniteTicks, 0u);
    EXPECT_EQ(s.orphans(), 0u);
    for (const LiveAc& ac : g_liveAcs)
        ADD_FAILURE() << gf_flightText(ac) << " " << gf_simStatusText(ac.status) << " " << gf_flightPhaseText(ac.phase)
                      << " samples " << ac.samples.size() << " object " << ac.objectId;
}

} // namespace
} // namespace traffictest
