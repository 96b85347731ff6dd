#include <cmath>
#include <limits>

#include "traffic/engine_fixture.h"

namespace enginetest {
namespace {

constexpr double kNm = 1.0 / 60.0; // degrees of latitude

class MakingWayTest : public EngineTest {
protected:
    static void userAt(double agl, double altitude, bool onGround)
    {
        EngineTest::userAt(52, 4, altitude, agl, 0, 0, onGround);
    }
};

// Half spans of 0.02 nm reach 81 m: three statics 70 m around the aircraft, 121 m apart.
TEST_F(MakingWayTest, AMovingLiveAircraftRemovesOnlyTheFirstStaticInReach)
{
    const double north = 70.0 / 1852.0 / 60.0;
    const double east = north / std::cos(52.0 * 0.017453292519943295);
    addStand("A1", 52 + north, 4);
    addStand("A2", 52 - north / 2, 4 + east * 0.866);
    addStand("A3", 52 - north / 2, 4 - east * 0.866);
    for (uint32_t stand = 1; stand <= 3; ++stand)
        createdStatic(stand, fmt::format("S{}", stand), 200 + stand);
    LiveAc& ac = active(20001, "KLM1", 52, 4, 0, true, 101);
    lf_removeForStaticCollision(ac);
    EXPECT_EQ(std::vector<SimStatus>({g_staticAcs[0].status, g_staticAcs[1].status, g_staticAcs[2].status}),
              std::vector<SimStatus>({SimStatus::RemovingFromSim, SimStatus::Active, SimStatus::Active}));
    EXPECT_TRUE(log_.contains("A1      : S1*      removed for collision avoidance with static KLM1"));
    EXPECT_EQ(ac.lastCheckLat, 52.0);
}

TEST_F(MakingWayTest, OnTheGroundOnlyAnAircraftOnTheUsersHeadingLineIsInTheWay)
{
    userAt(0, 0, true);
    const double sixtyFeetEast = 60.0 / 6076.11549 / 60.0 / std::cos(52.0 * 0.017453292519943295);
    for (const auto& [lonOffset, removed] : {std::pair{0.0, true}, std::pair{sixtyFeetEast, false}}) {
        g_liveAcs.clear();
        active(20002, "KLM2", 52 + 0.5 * kNm, 4 + lonOffset, 500, true, 102).pos.heading = 1.0;
        gf_removeAcInUsersWay();
        EXPECT_EQ(g_liveAcs[0].status == SimStatus::RemovingFromSim, removed) << lonOffset;
    }
}

TEST_F(MakingWayTest, InTheAirAnAircraftWhoseLineOfFlightCrossesTheUserIsInTheWay)
{
    userAt(3000, 3000, false);
    for (const auto& [heading, removed] : {std::pair{3.14159, true}, std::pair{1.5708, false}}) {
        g_liveAcs.clear();
        active(20003, "KLM3", 52 + 3 * kNm, 4, 3500, false, 103).pos.heading = heading;
        gf_removeAcInUsersWay();
        EXPECT_EQ(g_liveAcs[0].status == SimStatus::RemovingFromSim, removed) << heading;
    }
}

TEST_F(MakingWayTest, TheFarthestActiveAircraftBeyondTheMarginMakesRoom)
{
    userAt(0, 0, true);
    for (const double nm : {10.0, 10.1, 12.0})
        active(20010 + static_cast<uint32_t>(nm * 10), "F", 52 + nm * kNm, 4, 3000, false, 100);
    EXPECT_TRUE(gf_removeFarthestLiveAc(12.0));
    EXPECT_TRUE(gf_removeFarthestLiveAc(std::numeric_limits<double>::quiet_NaN()));
    for (const LiveAc& ac : g_liveAcs)
        EXPECT_EQ(ac.status, SimStatus::Active);
    EXPECT_FALSE(gf_removeFarthestLiveAc(9.95));
    EXPECT_EQ(std::vector<SimStatus>({g_liveAcs[0].status, g_liveAcs[1].status, g_liveAcs[2].status}),
              std::vector<SimStatus>({SimStatus::Active, SimStatus::Active, SimStatus::RemovingFromSim}));
    g_liveAcs.clear();
    EXPECT_FALSE(gf_removeFarthestLiveAc(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_TRUE(gf_removeFarthestLiveAc(3.0));
}

TEST_F(MakingWayTest, TheCycleRemovesOneAircraftTooCloseToTheUserAndLooksAtEachQueuedTouchdownOnce)
{
    userAt(0, 0, true);
    addStand("A1", 52, 4);
    createdStatic(1, "S1", 201);
    active(20020, "NEAR1", 52.0001, 4, 0, true, 120);
    active(20021, "NEAR2", 52.0001, 4, 0, true, 121);
    gf_removeUserCollisions(true, 0.02);
    EXPECT_EQ(g_liveAcs[0].status, SimStatus::RemovingFromSim);
    EXPECT_EQ(g_liveAcs[1].status, SimStatus::Active);
    gf_removeUserCollisions(true, 0.02);
    EXPECT_EQ(g_liveAcs[1].status, SimStatus::RemovingFromSim);
    gf_removeUserCollisions(true, 0.02);
    EXPECT_EQ(g_staticAcs[0].status, SimStatus::RemovingFromSim);

    // An aircraft gone since its hexid was queued does not hold up the next.
    g_touchdownHexids = {99999, 20020};
    gf_handleNextTouchdown();
    EXPECT_EQ(g_touchdownHexids, std::list<uint32_t>({20020}));
    gf_handleNextTouchdown();
    EXPECT_TRUE(g_touchdownHexids.empty());
    EXPECT_EQ(g_liveAcs[0].value, 1);
}

} // namespace
} // namespace enginetest
