#include <cmath>
#include <limits>
#include <tuple>
#include <utility>
#include <vector>

#include "traffic/engine_fixture.h"

namespace enginetest {
namespace {

constexpr double kNm = 1.0 / 60.0; // degrees of latitude
constexpr double kDegToRad = 0.017453292519943295;

class MakingWayTest : public EngineTest {
protected:
    static void userAt(double agl, double altitude, bool onGround, double groundSpeedKt = 0)
    {
        EngineTest::userAt(52, 4, altitude, agl, 0, groundSpeedKt, onGround);
    }
    // The aircraft moves over the ground at the speed and track: its steps of 10 ms ticks.
    static void moving(LiveAc& ac, double kt, double trackDeg)
    {
        const double nmPerTick = kt / 360000.0;
        ac.motion.latitudeStep = nmPerTick * std::cos(trackDeg * kDegToRad) * kNm;
        ac.motion.longitudeStep =
            nmPerTick * std::sin(trackDeg * kDegToRad) * kNm / std::cos(ac.pos.latitude * kDegToRad);
    }
    // An active aircraft in the air, north and east of the user at 52 N 4 E, on its way
    // (heading and track) at the speed; whether making way removes it.
    bool removedInTheAir(double northNm, double eastNm, double altitude, double trackDeg, double kt)
    {
        g_liveAcs.clear();
        LiveAc& ac = active(20040, "KLM40", 52 + northNm * kNm, 4 + eastNm * kNm / std::cos(52 * kDegToRad), altitude,
                            false, 140);
        ac.pos.heading = trackDeg * kDegToRad;
        moving(ac, kt, trackDeg);
        gf_removeAcInUsersWay();
        return g_liveAcs[0].status == SimStatus::RemovingFromSim;
    }
};

constexpr double kFeet = 1.0 / 6076.11549; // nautical miles

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

// On the ground only an aircraft on the user's heading line is in the way (60 ft aside is
// not); in the air one whose line of flight crosses the user.
TEST_F(MakingWayTest, OnTheGroundOnlyAnAircraftOnTheUsersHeadingLineIsInTheWay)
{
    const double sixtyFeetEast = 60.0 / 6076.11549 / 60.0 / std::cos(52.0 * 0.017453292519943295);
    const std::tuple<bool, double, double, double, bool> rows[] = {
        {true, 0.5, 0.0, 1.0, true}, {true, 0.5, sixtyFeetEast, 1.0, false},
        {false, 3, 0.0, 3.14159, true}, {false, 3, 0.0, 1.5708, false}};
    for (const auto& [ground, northNm, east, heading, removed] : rows) {
        userAt(ground ? 0 : 3000, ground ? 0 : 3000, ground);
        g_liveAcs.clear();
        active(20002, "KLM2", 52 + northNm * kNm, 4 + east, ground ? 500 : 3500, ground, 102).pos.heading = heading;
        gf_removeAcInUsersWay();
        EXPECT_EQ(g_liveAcs[0].status == SimStatus::RemovingFromSim, removed) << ground << " " << east << " " << heading;
    }
}

// Behind a user who has just lifted off (300 ft above the runway, heading north at 140 kt)
// only an aircraft in the air that closes on it is in its way: one faster on its track, or
// one converging from behind the beam. The next departure lined up or rolling behind it,
// one crossing the runway behind it, one slower on its track, one passing behind it and
// one overtaking 1 nm aside are not; ahead, one on its line is.
TEST_F(MakingWayTest, BehindTheUserOnlyAnAircraftClosingOnItInTheAirIsInItsWay)
{
    userAt(300, 300, false, 140);
    struct Row {
        const char* what;
        double northNm;
        double eastNm;
        double headingDeg; // also its track
        double kt;
        bool ground;
        bool removed;
    };
    // Converging on a collision course from 1.5 nm east, 1 nm behind: 240 kt north and 150
    // kt west, so that it closes on the user straight along the line between them; its line
    // of flight passes 0.77 nm from where the user is now.
    const double convergingDeg = std::atan2(-150.0, 240.0) / kDegToRad;
    const double convergingKt = std::hypot(150.0, 240.0);
    const Row rows[] = {
        {"lined up 0.8 nm behind", -0.8, 0, 0, 0, true, false},
        {"rolling 0.8 nm behind, faster than the user", -0.8, 0, 0, 160, true, false},
        {"crossing 0.5 nm behind", -0.5, 0, 90, 15, true, false},
        {"flying 2 nm behind on the user's track, slower than the user", -2.0, 0, 0, 120, false, false},
        {"flying 2 nm behind on the user's track, faster than the user", -2.0, 0, 0, 250, false, true},
        {"converging from behind the beam", -1.0, 1.5, convergingDeg, convergingKt, false, true},
        {"passing 1 nm behind the user", -1.0, 1.0, 270, 250, false, false},
        {"overtaking 1 nm aside", -2.0, 1.0, 0, 250, false, false},
        {"lined up 0.8 nm ahead", 0.8, 0, 180, 0, true, true},
        {"flying 2 nm ahead towards the user", 2.0, 0, 180, 250, false, true}};
    for (const Row& row : rows) {
        g_liveAcs.clear();
        LiveAc& ac = active(20030, "KLM30", 52 + row.northNm * kNm, 4 + row.eastNm * kNm / std::cos(52 * kDegToRad),
                            row.ground ? 0 : 300, row.ground, 130);
        ac.pos.heading = row.headingDeg * kDegToRad;
        moving(ac, row.kt, row.headingDeg);
        gf_removeAcInUsersWay();
        EXPECT_EQ(g_liveAcs[0].status == SimStatus::RemovingFromSim, row.removed) << row.what;
    }
}

// Near-parallel traffic beside the airborne user (250 kt north at 3,000 ft): 0.5 to 3.5 nm
// east or west, up to 1,500 ft behind its beam, on a track up to 1 degree towards it, at
// its speed or 2 kt slower or faster. It would meet the user only after minutes (24 of
// these 360 were removed, meeting it 6.5 to 96 minutes later) and no line of flight passes
// the user within 700 ft: none is in its way.
TEST_F(MakingWayTest, NearParallelTrafficBesideTheUserIsNotInItsWay)
{
    userAt(3000, 3000, false, 250);
    std::vector<std::string> removed;
    int rows = 0;
    for (const double side : {1.0, -1.0})
        for (const double asideNm : {0.5, 1.25, 2.0, 2.75, 3.5})
            for (const double behindFt : {0.0, 500.0, 1000.0, 1500.0})
                for (const double towardsDeg : {0.0, 0.5, 1.0})
                    for (const double kt : {248.0, 250.0, 252.0}) {
                        ++rows;
                        if (removedInTheAir(-behindFt * kFeet, side * asideNm, 3000, -side * towardsDeg, kt))
                            removed.push_back(fmt::format("{} nm {}, {} ft behind, {} deg towards, {} kt", asideNm,
                                                          side > 0 ? "east" : "west", behindFt, towardsDeg, kt));
                    }
    EXPECT_EQ(rows, 360);
    EXPECT_EQ(removed, std::vector<std::string>{});
}

// Behind the airborne user (140 kt east at 3,000 ft), how near an aircraft comes counts for
// about two minutes ahead: one on a collision course that meets the user in 1.5 minutes is
// in its way, the same meeting it in 3 minutes not yet, nor one 2 nm to its right on a
// track half a degree towards it (55 minutes). The user's way is its ground track, as
// the simulator's reports of it tell: crabbed into a crosswind, its nose off that track,
// it keeps a formation on the same track at the same speed, 750 ft to its right and
// 100 ft behind its beam, or 0.5 nm to its right and 500 ft behind.
TEST_F(MakingWayTest, BehindTheUserOnlyWhatClosesOnItWithinTheHorizonOnItsGroundTrackIsInItsWay)
{
    struct Row {
        const char* what;
        double crabDeg; // the user's nose right of its track
        double aheadNm; // of the user along its track
        double rightNm;
        double trackDeg; // right of the user's
        double kt;
        bool removed;
    };
    // From 1 nm right and 1 nm behind, straight at the user relative to it: 1.414 nm closed
    // at 56.6 kt (1.5 minutes) or 28.3 kt (3 minutes).
    const auto collision = [](double closingKt) {
        const double along = 140.0 + closingKt / std::sqrt(2.0);
        const double right = -closingKt / std::sqrt(2.0);
        return std::pair{std::atan2(right, along) / kDegToRad, std::hypot(along, right)};
    };
    const auto [fastTrack, fastKt] = collision(56.57);
    const auto [slowTrack, slowKt] = collision(28.28);
    const Row rows[] = {
        {"meeting the user in 1.5 minutes", 0, -1.0, 1.0, fastTrack, fastKt, true},
        {"meeting the user in 3 minutes", 0, -1.0, 1.0, slowTrack, slowKt, false},
        {"2 nm right, 500 ft behind the beam, 0.5 degrees towards", 0, -500 * kFeet, 2.0, -0.5, 140, false},
        {"formation 750 ft right, user crabbed 6 degrees", 6, -100 * kFeet, 750 * kFeet, 0, 140, false},
        {"formation 0.5 nm right, user crabbed 8 degrees", 8, -500 * kFeet, 0.5, 0, 140, false},
        {"crabbed user, faster on its track 2 nm behind", 8, -2.0, 0, 0, 250, true}};
    const double userTrackDeg = 90.0;
    for (const Row& row : rows) {
        userReported(52, 4, 3000, 3000, userTrackDeg, userTrackDeg + row.crabDeg, 140, false);
        // Turned from the user's track to north and east.
        EXPECT_EQ(removedInTheAir(-row.rightNm, row.aheadNm, 3000, userTrackDeg + row.trackDeg, row.kt), row.removed)
            << row.what;
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
