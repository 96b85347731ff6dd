#include <gtest/gtest.h>

#include <cmath>

#include "foundation/settings_catalogue.h"
#include "support/test_support.h"
#include "support/traffic_metrics.h"
#include "support/traffic_scenario.h"
#include "traffic/traffic_state.h"

namespace traffictest {
namespace {

constexpr double kMetre = 1.0 / 111120.0; // degrees of latitude

ReferenceFlight lf_arrival()
{
    ReferenceFlight f;
    f.hexid = 0x484C11;
    f.texts.callsign = "KLM1234";
    f.texts.aircraftType = "A320";
    f.texts.origin = "EGLL";
    f.texts.destination = "EHAM";
    f.points = {{0, 52.0, 4.0, 3000, 160, 0, -700, false}, {300, 52.22, 4.0, 0, 140, 0, -700, false}};
    return f;
}

// A track along a meridian at 1 m per frame, some samples pushed east.
std::vector<TrackSample> lf_track(double eastM, size_t pushed)
{
    std::vector<TrackSample> track;
    for (size_t i = 0; i <= 100; ++i) {
        TrackSample s;
        s.t = 40.0 + i / 60.0;
        s.lat = 52.0 + i * kMetre;
        s.lon = 4.0 + (i == pushed ? eastM * kMetre / std::cos(52.0 * g_degToRad) : 0.0);
        s.altFt = 2000.0 - i;
        s.onGround = i >= 90;
        track.push_back(s);
    }
    return track;
}

TEST(ScenarioMetricsTest, SyntheticTracksAreJudgedByTheirLimits)
{
    EXPECT_NEAR(gf_maxCrossTrackM(lf_track(20.0, 50), {52.0, 4.0}, {52.0 + 100 * kMetre, 4.0}), 20.0, 0.1);
    EXPECT_NEAR(gf_maxCrossTrackM(lf_track(40.0, 50), {52.0, 4.0}, {52.0 + 100 * kMetre, 4.0}), 40.0, 0.1);

    ReferenceFlight ref;
    ref.points = {{0, 52.0, 4.0, 2000, 116.6, 0, 0, false}, {100, 52.0 + 6000 * kMetre, 4.0, 2000, 116.6, 0, 0, false}};
    const Deviation d = gf_airborneDeviation(lf_track(0.0, 0), ref, 30.0, 1000.0);
    EXPECT_NEAR(d.horizontalM, 600.0, 1.0);
    EXPECT_NEAR(d.verticalFt, 100.0, 0.5);
    EXPECT_EQ(gf_excessSteps(lf_track(0.0, 0), ref, 30.0), 0); // 1 m a frame at 60 m/s
    EXPECT_EQ(gf_excessSteps(lf_track(200.0, 50), ref, 30.0), 2);

    const Touchdown td = gf_touchdown(lf_track(0.0, 0));
    ASSERT_TRUE(td.found);
    EXPECT_NEAR(td.sinkRateFpm, 3600.0, 1.0);
    const Runway runway{{52.0, 4.0}, {52.0 + 3000 * kMetre, 4.0}, 45.0};
    EXPECT_TRUE(gf_insideRunway({td.at.lat, td.at.lon}, runway));
    EXPECT_FALSE(gf_insideRunway({td.at.lat, 4.0 + 30 * kMetre / std::cos(52.0 * g_degToRad)}, runway));

    std::vector<TrackSample> parked = lf_track(0.0, 0);
    parked.back().headingDeg = 359.5;
    const StandStop stop = gf_standStop(parked, {52.0 + 101.5 * kMetre, 4.0}, 0.0);
    EXPECT_NEAR(stop.distanceM, 1.5, 0.01);
    EXPECT_NEAR(stop.headingErrorDeg, 0.5, 1e-9);
    EXPECT_TRUE(gf_trackFinite(parked));
    parked[3].bankDeg = std::nan("");
    EXPECT_FALSE(gf_trackFinite(parked));
}

TEST(ScenarioTest, AnArrivalIsCreatedAtItsLeadTimeAndActiveOnThe201stPassAfterItsBinding)
{
    tavtest::TempFolder folder("tav-track");
    SimScript sim;
    sim.trackLog = folder / "track.jsonl";
    sim.user = {0, 51.0, 4.0, 0, 0, 0, 0, true};
    Scenario s({lf_arrival()}, FeedScript{4.0, 4.0}, sim, 7);
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
    const std::string log = tavtest::readFile(folder / "track.jsonl");
    EXPECT_NE(log.find("{\"object\": 100, \"frame\": "), std::string::npos);
    EXPECT_NE(log.find("\"events\": [\"creation\"]"), std::string::npos);
    EXPECT_NE(log.find("\"flight plan\", \"request 102\""), std::string::npos);
}

// A seeded hour of 600 flights with lost, repeated and jittered reports, failed creations,
// late bindings and lost on-ground reports.
TEST(ScenarioTest, AnHourOf600FlightsStaysWithinTheMaximumAndLeavesNothingBehind)
{
    Scenario s(gf_generatedTraffic({}, 18), gf_replayFeed(), gf_replaySim({}), 18);
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
