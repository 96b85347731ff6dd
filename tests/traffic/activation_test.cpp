#include <filesystem>
#include <set>

#include "foundation/settings_catalogue.h"
#include "traffic/engine_neighbours.h"
#include "traffic/flight_plans.h"
#include "traffic/engine_fixture.h"

namespace enginetest {
namespace {

constexpr double kDegToRad = 0.017453292519943295;

class ActivationTest : public EngineTest {
protected:
    // A spawned aircraft whose creation went to the simulator.
    LiveAc& created(uint32_t hexid, const std::string& callsign, bool airborne, const std::string& type = "A320")
    {
        LiveAc& ac = buffered(hexid, callsign, type,
                              {sample(52, 4, airborne ? 3000 : 0, airborne ? 200 : 10, 0, airborne),
                               sample(52.01, 4, airborne ? 3000 : 0, airborne ? 200 : 10, 500, airborne)});
        ac.status = SimStatus::Adding2Sim;
        ac.phase = airborne ? FlightPhase::Flying : FlightPhase::Taxi;
        return ac;
    }
    static void handle(int passes)
    {
        for (int i = 0; i < passes; ++i)
            gf_handleSimEvents();
    }
    std::vector<uint32_t> lightToggles()
    {
        std::vector<uint32_t> objects;
        for (const ScTransmitClientEventRecord& r : sent<ScTransmitClientEventRecord>())
            if (r.eventId == 214)
                objects.push_back(r.objectId);
        return objects;
    }
};

// The lights are toggled on the 50th and the 100th pass; on the ground the taxi lights and
// flaps one come with the activation.
TEST_F(ActivationTest, ABoundAircraftGetsItsLightsTwiceAndIsActiveOnThe201stPass)
{
    const std::vector<std::string> airborne{"150 221 0", "150 219 0", "150 208 1", "150 207 1", "150 211 1",
                                            "150 209 0", "150 210 1", "150 213 1", "150 212 1"};
    const std::vector<std::string> ground{"150 219 0", "150 221 0", "150 223 0", "150 218 3072", "150 208 1",
                                          "150 207 1", "150 211 0", "150 209 1", "150 210 0", "150 213 1", "150 212 1"};
    for (const bool inAir : {true, false}) {
        g_liveAcs.clear();
        LiveAc& ac = created(20001, "KLM1", inAir);
        queueEvent({150, 20001, 0, SimObjectEventKind::Bound, 0, inAir ? 3000.0 : 5.0});
        handle(49);
        EXPECT_TRUE(lightToggles().empty());
        handle(1);
        EXPECT_EQ(lightToggles(), std::vector<uint32_t>({150}));
        handle(50);
        EXPECT_EQ(lightToggles(), std::vector<uint32_t>({150}));
        handle(100);
        EXPECT_EQ(ac.status, SimStatus::Adding2Sim);
        events();
        handle(1);
        EXPECT_EQ(ac.status, SimStatus::Active);
        EXPECT_TRUE(g_pendingActivations.empty());
        EXPECT_EQ(events(), inAir ? airborne : ground);
    }
}

TEST_F(ActivationTest, CentreOfGravityDataOutsideItsRangeIsNotTaken)
{
    LiveAc& ac = active(20003, "KLM3", 52, 4, 0, true, 152);
    const std::tuple<double, double, double, double> rows[] = {
        {12.0, 0.02, 12.0, 0.02}, {0.5, 3 * kDegToRad, 12.0, 0.7 * kDegToRad}, {40.0, -kDegToRad, 12.0, 0.7 * kDegToRad},
        {35.0, 2.5 * kDegToRad, 35.0, 2.5 * kDegToRad}};
    for (const auto& [cg, pitch, storedCg, storedPitch] : rows) {
        queueEvent({152, 0, 0, SimObjectEventKind::StaticCg, cg, pitch});
        handle(1);
        EXPECT_EQ(ac.cgHeight, storedCg) << cg;
        EXPECT_DOUBLE_EQ(ac.staticPitch, storedPitch) << pitch;
    }
}

TEST_F(ActivationTest, AFailedCreationErasesExactlyItsRecord)
{
    created(20004, "KLM4", true);
    created(20005, "KLM5", true);
    created(20006, "KLM6", true);
    addStand("A1", 52, 4);
    const uint32_t staticHexid = queuedStatic(1, "S7").hexid;
    queueEvent({0, 20004, 0, SimObjectEventKind::CreationFailed, 0, 0});
    queueEvent({0, staticHexid, 0, SimObjectEventKind::CreationFailed, 0, 0});
    handle(1);
    ASSERT_EQ(g_liveAcs.size(), 2u);
    EXPECT_EQ(g_liveAcs[0].hexid, 20006u);
    EXPECT_EQ(g_liveAcs[1].hexid, 20005u);
    EXPECT_TRUE(g_staticAcs.empty());
    EXPECT_EQ(catalogue().notCreated.size(), 2u);
}

// One to remove once created goes in the pass that activates it; an object whose record is
// gone before its activation is removed, never lent to a later aircraft of the hexid.
TEST_F(ActivationTest, AnAircraftToRemoveWhenCreatedGoesInThePassThatActivatesIt)
{
    LiveAc& ac = created(20007, "KLM7", true);
    removeAircraftFromSim(ac);
    EXPECT_TRUE(ac.removeWhenCreated);
    queueEvent({153, 20007, 0, SimObjectEventKind::Bound, 0, 3000});
    created(20008, "KLM8", true);
    queueEvent({154, 20008, 0, SimObjectEventKind::Bound, 0, 3000});
    handle(10);
    g_liveAcs.pop_back();
    LiveAc& later = created(20008, "KLM8", true);
    handle(191);
    EXPECT_EQ(g_liveAcs[0].status, SimStatus::RemovingFromSim);
    EXPECT_EQ(later.status, SimStatus::Adding2Sim);
    EXPECT_TRUE(g_pendingActivations.empty());
    EXPECT_EQ(std::set<uint32_t>(g_removeDeque.begin(), g_removeDeque.end()), std::set<uint32_t>({153, 154}));
}

TEST_F(ActivationTest, TouchdownSwitchesALandingAircraftToTheGroundWithReverseThrust)
{
    catalogue().liveries["B744"] = "FSLTL_B744 livery";
    for (const auto& [type, throttle] : {std::pair{"A320", 100.0}, std::pair{"B744", -100.0}}) {
        g_liveAcs.clear();
        LiveAc& ac = active(20009, "KLM9", 52, 4, 40, false, 155, type);
        gf_engine().matchLiveLivery(ac);
        ac.motion.approach = true;
        ac.cgHeight = 10;
        ac.staticPitch = 0.01;
        ac.pos.pitch = -0.05;
        g_fastRangeRequests = true;
        queueEvent({155, 1, 0, SimObjectEventKind::InRange, 100.0, 2.0});
        handle(1);
        EXPECT_TRUE(ac.onGround && ac.motion.rollOut && ac.motion.touchdownPitch && ac.motion.landed);
        EXPECT_FALSE(g_fastRangeRequests || ac.motion.approach);
        EXPECT_EQ(ac.pos.altitude, 110.0);
        EXPECT_DOUBLE_EQ(ac.motion.pitchStep, 0.06 / ac.touchdownTicks);
        EXPECT_EQ(events(), std::vector<std::string>({"155 219 16383"}));
        const std::vector<ScSetDataRecord> sets = sent<ScSetDataRecord>();
        ASSERT_EQ(sets.size(), 1u) << type;
        EXPECT_EQ(sets[0].defineId, 401u);
        const std::string raw = connection_.transport->records().back();
        double data[3] = {};
        std::memcpy(data, raw.data() + sizeof(ScSetDataRecord), sizeof data);
        EXPECT_EQ(std::vector<double>(data, data + 3), std::vector<double>({100.0, throttle, throttle})) << type;
        queueEvent({155, 1, 0, SimObjectEventKind::InRange, 90.0, 3.0});
        handle(1);
        EXPECT_EQ(ac.pos.altitude, 100.0);
        EXPECT_EQ(ac.motion.altitudeAboveGround, 3.0);
        EXPECT_TRUE(events().empty());
    }
}

TEST_F(ActivationTest, AFlightPlanThatCannotBeDeletedIsLoggedAndTheAircraftStillGoes)
{
    LiveAc& ac = active(20010, "KLM10", 52, 4, 3000, false, 156);
    ac.flightPlanSet = true;
    std::filesystem::create_directories(g_flightPlanFolder / "156.pln" / "locked");
    queueEvent({156, 0, 0, SimObjectEventKind::Removed, 0, 0});
    handle(1);
    EXPECT_TRUE(g_liveAcs.empty());
    EXPECT_TRUE(log_.contains("lf_onSimObjectRemoved"));
}

TEST_F(ActivationTest, ABlockedCallsignLeavesTheBufferOrTheSimulator)
{
    buffered(20012, "KLM12", "A320", {sample(52, 4, 0, 0, 0, false)});
    active(20013, "KLM13", 52, 4, 3000, false, 158);
    queueEvent({0, 20012, 0, SimObjectEventKind::CallsignBlocked, 0, 0});
    queueEvent({0, 20013, 0, SimObjectEventKind::CallsignBlocked, 0, 0});
    handle(1);
    EXPECT_TRUE(g_liveAcs[0].erase);
    EXPECT_EQ(g_liveAcs[1].status, SimStatus::RemovingFromSim);
    EXPECT_TRUE(log_.contains("KLM12  ") && log_.contains("  A320 will be removed from buffer while blocked"));
    EXPECT_TRUE(log_.contains("removed from simulator immediately while blocked"));
}

TEST_F(ActivationTest, ARespawnGoesBackToTheBufferWhenItsObjectIsRemoved)
{
    LiveAc& ac = active(20011, "KLM11", 52.5, 4.5, 3000, false, 157);
    ac.pos.heading = 1.0;
    ac.creationSentTick = 0;
    liveryRespawn(ac);
    EXPECT_EQ(ac.samples.size(), 2u);
    EXPECT_EQ(ac.samples.front().latitude, 52.5);
    EXPECT_EQ(g_removeDeque, std::deque<uint32_t>({157}));
    queueEvent({157, 0, 0, SimObjectEventKind::Removed, 0, 0});
    handle(1);
    EXPECT_EQ(ac.status, SimStatus::Buffer);
    EXPECT_EQ(ac.objectId, 0u);
    EXPECT_EQ(ac.throttleIndex, 5u);
    // Created again, it waits for its new binding from its new request on.
    spawnLiveAc(ac);
    EXPECT_EQ(ac.status, SimStatus::Adding2Sim);
    EXPECT_FALSE(ac.creationSentTick.has_value());
}

// A creation withdrawn unbound may still bring its object: the aircraft, received again,
// waits in the buffer until that object has come (and gone) or its creation has failed;
// then it is created anew.
TEST_F(ActivationTest, AnAircraftWhoseWithdrawnCreationMayStillBringItsObjectWaitsForIt)
{
    for (const SimObjectEventKind outcome : {SimObjectEventKind::Bound, SimObjectEventKind::CreationFailed}) {
        const bool bound = outcome == SimObjectEventKind::Bound;
        SCOPED_TRACE(bound ? "the object comes" : "the creation fails");
        gf_resetTrafficState();
        g_liveAcs.reserve(8);
        created(20020, "KLM20", true).creationSentTick = 0;
        g_trafficTick = 3100;
        lf_runTickQueues();
        lf_updateAllLiveAc();
        ASSERT_TRUE(g_liveAcs.empty());
        LiveAc& again = buffered(20020, "KLM20", "A320",
                                 {sample(52, 4, 3000, 200, 3200, true), sample(52.01, 4, 3000, 200, 3700, true),
                                  sample(52.02, 4, 3000, 200, 4200, true)});
        lf_tryBuffered(again);
        EXPECT_EQ(again.status, SimStatus::Buffer);
        EXPECT_EQ(again.samples.size(), 2u);
        EXPECT_TRUE(g_newAcIds.empty());
        queueEvent({bound ? 160u : 0u, 20020, 0, outcome, 0, bound ? 3000.0 : 0.0});
        handle(1);
        EXPECT_EQ(g_removeDeque, bound ? std::deque<uint32_t>{160} : std::deque<uint32_t>{});
        ASSERT_EQ(g_liveAcs.size(), 1u);
        EXPECT_EQ(again.objectId, 0u);
        g_trafficTick = 3600;
        lf_tryBuffered(again);
        EXPECT_EQ(again.status, SimStatus::Adding2Sim);
        EXPECT_EQ(g_newAcIds, std::vector<uint32_t>{20020});
    }
}

} // namespace
} // namespace enginetest
