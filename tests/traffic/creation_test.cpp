// Creations through the traffic pass and the simulator stand-in when the simulator binds
// late, takes an object back before its activation, or gets two aircraft of one callsign:
// no record waits for ever and no object stays without a record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "foundation/settings_catalogue.h"
#include "parking/half_hours.h"
#include "parking/park_airports.h"
#include "parking/park_stand.h"
#include "parking/static_parking.h"
#include "support/engine_doubles.h"
#include "support/test_support.h"
#include "support/traffic_scenario.h"
#include "traffic/engine_services.h"
#include "traffic/traffic_state.h"

namespace traffictest {
namespace {

// Straight and level at 3000 ft and 200 kt, reported from the start for the seconds given.
ReferenceFlight lf_level(uint32_t hexid, const char* callsign, const char* type, double seconds, double start = 0.0,
                         double lon = 4.0)
{
    ReferenceFlight f;
    f.hexid = hexid;
    f.texts.callsign = callsign;
    f.texts.aircraftType = type;
    const double lat = 52.0 + 200.0 * seconds / 3600.0 / 60.0;
    f.points = {{start, 52.0, lon, 3000, 200, 0, 0, false}, {start + seconds, lat, lon, 3000, 200, 0, 0, false}};
    return f;
}

SimScript lf_sim()
{
    SimScript sim;
    sim.user = {0, 52.0, 4.2, 0, 0, 0, 0, true};
    return sim;
}

size_t lf_adding()
{
    return static_cast<size_t>(std::count_if(g_liveAcs.begin(), g_liveAcs.end(),
                                             [](const LiveAc& ac) { return ac.status == SimStatus::Adding2Sim; }));
}

TEST(CreationTest, ACreationNotBoundWithin30SecondsIsWithdrawnAndItsLateObjectRemoved)
{
    tavtest::LogCapture log;
    SimScript sim = lf_sim();
    sim.lateBindRate = 1.0;
    sim.lateBindS = 45.0;
    Scenario s({lf_level(0x400001, "KLM1", "A320", 20.0)}, FeedScript{2.0, 2.0}, sim, 3);
    while (g_liveAcs.empty() || !g_liveAcs[0].creationSentTick)
        s.run(0.01);
    const double sent = s.time();
    s.run(30.0);
    EXPECT_EQ(g_liveAcs.size(), 1u);
    s.run(1.1);
    EXPECT_TRUE(g_liveAcs.empty());
    EXPECT_TRUE(log.contains("not bound within 30 s, creation withdrawn"));
    s.run(sent + 46.0 - s.time());
    EXPECT_EQ(s.counts().lateBinds, 1u);
    EXPECT_EQ(s.counts().removals, 1u);
    EXPECT_TRUE(s.objects().empty());
    EXPECT_TRUE(log.contains("has no creation waiting for it, removed"));
}

TEST(CreationTest, AStaticWhoseObjectTheSimulatorTakesBackBeforeItsActivationIsForgotten)
{
    SimScript sim = lf_sim();
    sim.removeBeforeActivationRate = 1.0;
    Scenario s({}, FeedScript{}, sim, 4);
    g_parkStands.emplace_back("S1", std::vector<StandFlight>{}, StandPlace{52.0, 4.2, 0.0}, 30.0, true, true, true);
    gf_numberAndLinkStands(g_parkStands);
    g_addingStack = {{1, 0, "DLH", "A320", "DLH1", "", "D-AIAA", 1}};
    s.run(5.0);
    EXPECT_EQ(s.counts().creations, 1u);
    EXPECT_EQ(s.counts().droppedBeforeActivation, 1u);
    EXPECT_TRUE(g_staticAcs.empty());
    EXPECT_TRUE(s.objects().empty());
}

// The 20-minute adjustments take a coupled flight's static out to show its second part on
// the same stand: the new static waits for the old one's removal instead of being refused
// for it, even when the removal is confirmed only after the creation's turn.
TEST(CreationTest, AStaticRenewedOnItsStandIsCreatedOnceTheOldOneHasGone)
{
    tavtest::LogCapture log;
    Scenario s({}, FeedScript{}, lf_sim(), 6);
    StandFlight coupled{"DLH", "A320", "D-AIAB", "DLH100", "DLH101", gf_hours2bitset("14:20"), 1, 1, 1, 1, true};
    g_parkStands.emplace_back("S1", std::vector<StandFlight>{coupled}, StandPlace{52.0, 4.2, 0.0}, 30.0, true, true,
                              true);
    gf_numberAndLinkStands(g_parkStands);
    g_parkAirport.code = "EHAM";
    g_addingStack = {{1, 0, "DLH", "A320", "DLH100", "DLH101", "D-AIAB", 1}};
    s.run(5.0);
    ASSERT_EQ(g_staticAcs.size(), 1u);
    ASSERT_EQ(g_staticAcs[0].status, SimStatus::Active);
    // Just before a creation's turn: the removal is confirmed only after it.
    s.run(0.49 - std::fmod(s.time(), 0.5));
    gf_parkingAdjustments();
    ASSERT_EQ(g_staticAcs[0].status, SimStatus::RemovingFromSim);
    s.run(5.0);
    ASSERT_EQ(g_staticAcs.size(), 1u);
    EXPECT_EQ(g_staticAcs[0].callsign, "DLH101*");
    EXPECT_EQ(g_staticAcs[0].status, SimStatus::Active);
    EXPECT_FALSE(log.contains("no static parking for DLH100"));
}

// The intake takes two aircraft of one callsign when their types differ.
TEST(CreationTest, RemovingOneOfTwoAircraftOfOneCallsignLeavesTheOtherToBeCreated)
{
    for (const bool removeSent : {false, true}) {
        SCOPED_TRACE(removeSent ? "the sent one removed" : "a queued one removed");
        Scenario s({lf_level(0x400001, "ABC123", "A320", 120.0), lf_level(0x400002, "ABC123", "B744", 120.0)},
                   FeedScript{2.0, 2.0}, lf_sim(), 5);
        const auto queued = [] { return g_liveCreateDeque.size(); };
        while (lf_adding() < 2 || queued() != (removeSent ? 1u : 2u))
            s.run(0.01);
        LiveAc& gone = g_liveAcs[0].creationSentTick.has_value() == removeSent ? g_liveAcs[0] : g_liveAcs[1];
        const uint32_t kept = (&gone == &g_liveAcs[0] ? g_liveAcs[1] : g_liveAcs[0]).hexid;
        removeAircraftFromSim(gone);
        s.run(10.0);
        ASSERT_NE(gf_findLiveAc(kept), nullptr);
        EXPECT_EQ(gf_findLiveAc(kept)->status, SimStatus::Active);
        EXPECT_EQ(std::count_if(s.objects().begin(), s.objects().end(), [kept](const auto& o) { return o.second.hexid == kept; }), 1);
        EXPECT_EQ(s.orphans(), 0u);
    }
}

// A flight seen again takes the livery title it had: reverse thrust at its touchdown still
// knows the title for an "FSLTL_" model.
TEST(CreationTest, AFlightSeenAgainKeepsItsTitlesFsltlMark)
{
    Scenario s({lf_level(0x400001, "KLM1", "B744", 20.0), lf_level(0x400001, "KLM1", "B744", 20.0, 150.0)},
               FeedScript{2.0, 2.0}, lf_sim(), 7);
    enginetest::catalogue().liveries["B744"] = "FSLTL_B744 livery";
    s.run(40.0);
    ASSERT_EQ(g_liveAcs.size(), 1u);
    EXPECT_TRUE(g_liveAcs[0].fsltlLivery);
    // A fresh match would find another title now.
    enginetest::catalogue().liveries["B744"] = "B744 livery";
    enginetest::catalogue().liveries["B744 FSLTL"] = "FSLTL_B744 livery";
    s.run(150.0);
    ASSERT_EQ(g_liveAcs.size(), 1u);
    EXPECT_EQ(g_liveAcs[0].status, SimStatus::Active);
    EXPECT_EQ(g_liveAcs[0].liveryTitle, "FSLTL_B744 livery");
    EXPECT_TRUE(g_liveAcs[0].fsltlLivery);
}

// With the maximum reached, a new aircraft nearer the user makes room by removing the
// farthest one, but not when it is not to come at all.
TEST(CreationTest, ABlockedCallsignMakesNoRoomForItself)
{
    Scenario s({lf_level(0x400001, "KLM1", "A320", 120.0), lf_level(0x400002, "BLK1", "A320", 120.0, 20.0, 4.15)},
               FeedScript{2.0, 2.0}, lf_sim(), 8);
    MAX_LIVE_SEL.value = 1;
    BLOCK_CALLSIGN.setValue("BLK1");
    s.run(90.0);
    ASSERT_NE(gf_findLiveAc(0x400001), nullptr);
    EXPECT_EQ(gf_findLiveAc(0x400001)->status, SimStatus::Active);
    EXPECT_EQ(s.counts().creations, 1u);
    EXPECT_EQ(s.counts().removals, 0u);
}

// An aircraft reported for ten minutes whose creations the simulator never binds (in the
// simulator: an object made outside the range of its in-range reports) is created once; its
// object stays the one the engine waits for, and goes when it comes into range at last,
// after which the aircraft is created again.
TEST(CreationTest, ACreationNeverBoundIsNotRepeatedAndItsObjectGoesWhenItComesAtLast)
{
    tavtest::LogCapture log;
    SimScript sim = lf_sim();
    sim.neverBindRate = 1.0;
    Scenario s({lf_level(0x400001, "KLM1", "A320", 720.0)}, FeedScript{2.0, 2.0}, sim, 3);
    s.run(600.0);
    EXPECT_EQ(s.counts().creations, 1u);
    EXPECT_EQ(s.objects().size(), 1u);
    EXPECT_EQ(s.orphans(), 0u);
    EXPECT_TRUE(log.contains("not bound within 30 s, creation withdrawn"));
    const uint32_t first = s.objects().begin()->first;
    s.bindTheNeverBound();
    s.run(20.0);
    EXPECT_EQ(s.counts().removals, 1u);
    EXPECT_TRUE(s.removedObjects().contains(first));
    EXPECT_TRUE(log.contains("has no creation waiting for it, removed"));
    EXPECT_EQ(s.counts().creations, 2u);
    EXPECT_EQ(s.objects().size(), 1u);
    EXPECT_EQ(s.orphans(), 0u);
}

} // namespace
} // namespace traffictest
