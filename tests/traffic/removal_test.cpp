#include "foundation/settings_catalogue.h"
#include "traffic/engine_fixture.h"
#include "ui/window_state.h"

namespace enginetest {
namespace {

class RemovalTest : public EngineTest {
protected:
    LiveAc& parked(uint32_t hexid, const std::string& callsign, const std::string& type, uint32_t stand)
    {
        LiveAc& ac = active(hexid, callsign, 52, 4, 0, true, hexid - 19900, type);
        ac.phase = FlightPhase::Parked;
        ac.standNumber = stand;
        return ac;
    }
};

TEST_F(RemovalTest, ARepeatedRemovalQueuesNothing)
{
    LiveAc& ac = parked(20003, "KLM3", "A320", 1);
    removeAircraftFromSim(ac);
    removeAircraftFromSim(ac);
    EXPECT_EQ(g_removeDeque, std::deque<uint32_t>({103}));

    LiveAc& respawning = active(20004, "KLM4", 52, 4, 3000, false, 104);
    liveryRespawn(respawning);
    removeAircraftFromSim(respawning);
    EXPECT_EQ(respawning.status, SimStatus::RemovingFromSim);
    EXPECT_EQ(g_removeDeque, std::deque<uint32_t>({103, 104}));
}

TEST_F(RemovalTest, WithoutObjectARemovalOrRespawnDoesNotWaitForEver)
{
    LiveAc& removed = active(20005, "KLM5", 52, 4, 3000, false, 0);
    removeAircraftFromSim(removed);
    EXPECT_TRUE(removed.erase);
    LiveAc& respawned = active(20006, "KLM6", 52, 4, 3000, false, 0);
    liveryRespawn(respawned);
    EXPECT_EQ(respawned.status, SimStatus::Buffer);
    EXPECT_TRUE(g_removeDeque.empty());
    EXPECT_TRUE(log_.contains("removeAircraftFromSim removing act KLM5"));
}

TEST_F(RemovalTest, AGhostIsRemovedAndNotSpawnedAgain)
{
    active(20007, "ABC123_", 52, 4, 3000, false, 107);
    lf_removeGhost("ABC123");
    EXPECT_EQ(g_liveAcs[0].status, SimStatus::RemovingFromSim);
    EXPECT_EQ(g_ghostCallsigns, std::vector<std::string>({"ABC123_"}));
    EXPECT_TRUE(log_.contains("ABC123_  is a ghost and will be removed, continue with ABC123"));
    LiveAc& again = buffered(20008, "ABC123_", "A320",
                             {sample(52, 4, 3000, 200, 100, true), sample(52.01, 4, 3000, 200, 600, true)});
    lf_tryBuffered(again);
    EXPECT_TRUE(again.erase);
}

TEST_F(RemovalTest, LongParkedLiveAircraftGoUnlessOnlyTheInitialLoadCounts)
{
    const uint64_t minutes120 = 120ull * 600000000ull;
    catalogue().steadyTicks = 100 * minutes120;
    for (const bool initialLoadOnly : {false, true}) {
        g_liveAcs.clear();
        g_liveParked.clear();
        INITIAL_LOAD_ONLY.value = initialLoadOnly;
        parked(20010, "HEAVY1", "B744", 0).standTime = catalogue().steadyTicks - minutes120;
        parked(20011, "LIGHT1", "C172", 0).standTime = catalogue().steadyTicks - minutes120;
        parked(20012, "NEW1", "C172", 0).standTime = catalogue().steadyTicks - 600000000ull;
        gf_collectLiveParked();
        std::vector<std::string> kept;
        for (const LiveParkedEntry& e : g_liveParked)
            kept.push_back(fmt::format("{} {}", e.callsign, e.parkedMinutes));
        EXPECT_EQ(kept, initialLoadOnly ? std::vector<std::string>({"NEW1 1", "HEAVY1 120", "LIGHT1 120"})
                                        : std::vector<std::string>({"NEW1 1", "HEAVY1 120"}));
        EXPECT_EQ(g_liveAcs[1].status, initialLoadOnly ? SimStatus::Active : SimStatus::RemovingFromSim);
    }
}

// The mean parked time counts across the end of the week; statics placed 4 and 6 half hours
// ago average 3.0 h.
TEST_F(RemovalTest, TheWindowCountsFlyingAndParkedAircraftAndSetsTheParkedNavLights)
{
    gf_windowState().liveMeanParkedHours = -1.0f;
    EXPECT_EQ(gf_countParkedLive(true), 0u);
    EXPECT_EQ(gf_windowState().liveMeanParkedHours.load(), 0.0f);
    active(20020, "FLY1", 52, 4, 3000, false, 120);
    parked(20021, "PARK1", "A320", 0).parkedTimeOfWeek = gf_timeOfWeek(7, 47);
    buffered(20022, "BUF1", "A320", {sample(52, 4, 0, 0, 0, false)});
    g_timeOfWeek = gf_timeOfWeek(1, 1);
    EXPECT_EQ(gf_countParkedLive(true), 1u);
    EXPECT_EQ(gf_windowState().liveMeanParkedHours.load(), 1.5f);
    addStand("A1", 52, 4);
    addStand("A2", 52, 4.01);
    g_timeOfWeek = gf_timeOfWeek(1, 2);
    createdStatic(1, "S1", 201, "", 4);
    createdStatic(2, "S2", 202, "", 6);
    EXPECT_EQ(gf_countStaticsInSim(true), 2u);
    EXPECT_EQ(gf_windowState().staticAverageAgeHours.load(), 3.0f);
    events();
    EXPECT_EQ(gf_countActiveLive(), 2);
    EXPECT_EQ(gf_countLiveInSim(), 1u);
    EXPECT_EQ(gf_liveInSimCallsigns(), std::vector<std::string>({"FLY1"}));
    gf_setParkedNavLights(false);
    EXPECT_EQ(events(), std::vector<std::string>({"201 208 0", "202 208 0", "121 208 0"}));
}

TEST_F(RemovalTest, DuplicatesOfLiveAircraftAmongTheStaticOnesGoOneAtATime)
{
    for (int i = 0; i < 3; ++i)
        addStand(fmt::format("A{}", i + 1), 52, 4 + 0.01 * i);
    // The live aircraft taxi well clear of the stands: statics wait for one passing beside them.
    active(20014, "DLH4AB", 52, 4.05, 0, true, 114);
    createdStatic(1, "DLH4AB", 201);
    createdStatic(2, "KLM9", 202, "D-AIAB");
    g_liveAcs[0].registration = "D-AIAB";
    gf_removeStaticTwinOfLive();
    EXPECT_EQ(g_staticAcs[0].status, SimStatus::RemovingFromSim);
    EXPECT_EQ(g_staticAcs[1].status, SimStatus::Active);
    gf_removeStaticTwinOfLive();
    EXPECT_EQ(g_staticAcs[1].status, SimStatus::RemovingFromSim);

    LiveAc& landed = active(20015, "EZY12_", 52, 4.05, 0, true, 115);
    StaticAc& coupled = createdStatic(3, "EZY12", 203);
    lf_replaceSameRegOrCs(landed, true);
    EXPECT_EQ(coupled.status, SimStatus::RemovingFromSim);
    EXPECT_TRUE(log_.contains("A3      : EZY12*   'EZY12' '' removed, new on ground EZY12_ 'EZY12_' '' has coupled callsign"));
}

TEST_F(RemovalTest, WhenRealTrafficIsLostEveryLiveAircraftLeaves)
{
    active(20016, "KLM16", 52, 4, 3000, false, 116);
    buffered(20017, "KLM17", "A320", {sample(52, 4, 0, 0, 0, false)}).status = SimStatus::Adding2Sim;
    g_liveCreateDeque.push_back({.callsign = "KLM17", .hexid = 20017});
    buffered(20018, "KLM18", "A320", {sample(52, 4, 0, 0, 0, false)}).status = SimStatus::Adding2Sim;
    gf_takeOutLiveAircraft();
    ASSERT_EQ(g_liveAcs.size(), 2u);
    EXPECT_EQ(g_liveAcs[0].status, SimStatus::RemovingFromSim);
    EXPECT_TRUE(g_liveAcs[1].removeWhenCreated);
    EXPECT_TRUE(g_liveCreateDeque.empty());
}

TEST_F(RemovalTest, AllStaticsGoQueuedOnesWithoutEverReachingTheSimulator)
{
    for (int i = 0; i < 3; ++i)
        addStand(fmt::format("A{}", i + 1), 52, 4 + 0.01 * i);
    createdStatic(1, "S1", 201);
    queuedStatic(2, "S2");
    queuedStatic(3, "S3");
    g_staticCreateDeque.pop_back(); // S3's went to the simulator
    gf_removeAllStatics();
    ASSERT_EQ(g_staticAcs.size(), 2u);
    EXPECT_EQ(g_staticAcs[0].status, SimStatus::RemovingFromSim);
    EXPECT_TRUE(g_staticAcs[1].removeWhenCreated);
    EXPECT_TRUE(g_staticCreateDeque.empty());
    EXPECT_EQ(g_removeDeque, std::deque<uint32_t>({201}));
}

} // namespace
} // namespace enginetest
