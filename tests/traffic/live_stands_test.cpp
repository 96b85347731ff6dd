// The stands of live aircraft: the user's stand, the free stand search, arrival and what
// it teaches, parking, the parked-count cap and the stand conflicts.
#include "stand_fixture.h"

#include "foundation/settings_catalogue.h"
#include "parking/half_hours.h"

namespace enginetest {
namespace {

using LiveStandsTest = StandTest;

TEST_F(LiveStandsTest, TheUserStandIsFoundOnTheGroundOnlyAndCachedForTheSamePosition)
{
    stand("A1", at(0, 0));
    const GeoPos user = at(10, 0);
    EXPECT_EQ(gf_userStand(user), "");
    g_userOnGround = true;
    EXPECT_EQ(gf_userStand(user), "A1");
    g_parkStands[0].id = "B7";
    EXPECT_EQ(gf_userStand(user), "A1");
    EXPECT_EQ(gf_userStand(at(10.01, 0)), "B7");
    EXPECT_EQ(gf_userStand(at(60, 0)), "");
}

TEST_F(LiveStandsTest, TheFreeStandSearchTakesWhatFitsAndLearnsASlightlySmallStand)
{
    catalogue().halfSpans["B744"] = 32 * kNmPerMetre;
    struct Case {
        const char* name;
        double distanceM;
        double standRadiusM;
        bool wide;
        bool found;
        bool learned;
    };
    const Case cases[] = {
        {"fits at 50 m", 50, 35, false, true, false},
        {"5 m small at 15 m", 15, 27, false, true, true},
        {"5 m small at 25 m", 25, 27, false, false, false},
        {"1.5 m small at 25 m", 25, 30.5, false, true, false},
        {"beyond the radius", 60, 35, false, false, false},
        {"wide, no flight names it", 80, 35, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gf_clearParkStands();
        g_learnedStandChanges = 0;
        ParkStand& s = stand("A1", at(0, 0), c.standRadiusM);
        LiveAc& ac = groundAc(20001, "DLH400", at(c.distanceM, 0), "B744");
        const ParkStand* found = lf_findFreeStandNear(at(c.distanceM, 0), ac, 55 * kNmPerMetre, c.wide);
        EXPECT_EQ(found != nullptr, c.found);
        EXPECT_EQ(s.radiusChange, c.learned);
        EXPECT_EQ(g_learnedStandChanges.load(), c.learned ? 1u : 0u);
        if (c.learned) {
            EXPECT_NEAR(s.radius, 31 * kNmPerMetre, 1e-9);
        }
        g_liveAcs.clear();
    }
}

TEST_F(LiveStandsTest, TheWideSearchFindsAStandWhoseFlightNamesTheAircraft)
{
    stand("A1", at(80, 0), 30, false, {flight("DLH", "B738", "D-ABCD", "DLH123", "", 1, {20})});
    stand("A2", at(0, 84));
    LiveAc& ac = groundAc(20001, "DLH123", at(0, 0));
    const ParkStand* found = lf_findFreeStandNear(at(0, 0), ac, 55 * kNmPerMetre, true);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->id, "A1");
    EXPECT_EQ(lf_findFreeStandNear(at(0, 0), ac, 55 * kNmPerMetre, false), nullptr);
}

TEST_F(LiveStandsTest, HelicoptersGetHeliStandsOnlyAndAirlinersNeverAPad)
{
    HELICOPTERS.value = true;
    stand("H1", at(10, 0), 30, true);
    stand("A1", at(40, 0));
    LiveAc& heli = groundAc(20001, "DHHEL", at(0, 0), "R44");
    LiveAc& airliner = groundAc(20002, "DLH1", at(0, 0));
    const double radius = 55 * kNmPerMetre;
    ASSERT_NE(lf_findFreeStandNear(at(0, 0), heli, radius, false), nullptr);
    EXPECT_EQ(lf_findFreeStandNear(at(0, 0), heli, radius, false)->id, "H1");
    ASSERT_NE(lf_findFreeStandNear(at(0, 0), airliner, radius, false), nullptr);
    EXPECT_EQ(lf_findFreeStandNear(at(0, 0), airliner, radius, false)->id, "A1");
    EXPECT_EQ(lf_findFreeStandNear(at(35, 0), heli, 10 * kNmPerMetre, false), nullptr);
}

TEST_F(LiveStandsTest, ACoupledCallsignIsFoundSevenHoursAwayForHeavyAircraftOnly)
{
    stand("A1", at(0, 0), 30, false, {flight("DLH", "B744", "D-ABYA", "DLH400", "DLH401", 1, {34})});
    for (const auto& [type, found] : {std::pair{"B744", true}, std::pair{"A320", false}}) {
        LiveAc& ac = groundAc(20001, "DLH400_", at(0, 0), type);
        ac.airline = "DLH";
        lf_searchForCoupledCsAroundThisTime(gf_timeOfWeek(1, 20), ac);
        EXPECT_EQ(ac.extraText, found ? "DLH401" : "") << type;
        g_liveAcs.clear();
    }
}

TEST_F(LiveStandsTest, ParkingLooksWiderAfterLandingAndNeverTakesTheReservedOrUserStand)
{
    struct Case {
        double distanceM;
        bool landed;
        const char* reserved;
        bool userThere;
        bool parks;
    };
    const Case cases[] = {
        {50, true, "", false, true},  {50, false, "", false, false}, {18, false, "", false, true},
        {10, true, "A1", false, false}, {10, true, "", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.distanceM << " m, landed " << c.landed << ", reserved '" << c.reserved
                                        << "', user " << c.userThere);
        gf_clearParkStands();
        gf_resetUserStandCache();
        stand("A1", at(0, 0));
        stand("A2", at(0, 200));
        g_reservedStandId = c.reserved;
        userAt(c.userThere ? kLat0 : 0, c.userThere ? kLon0 : 0, 0, 0, 0, 0, c.userThere);
        LiveAc& ac = groundAc(20001, "DLH1", at(c.distanceM, 0));
        try2Park(ac, c.landed);
        EXPECT_EQ(ac.phase == FlightPhase::Parking, c.parks);
        EXPECT_EQ(ac.standNumber, c.parks ? 1u : 0u);
        g_liveAcs.clear();
    }
}

TEST_F(LiveStandsTest, TheParkedCapRemovesTheStaticPlacedEarliestAcrossTheWeek)
{
    for (int i = 0; i < 11; ++i)
        stand(fmt::format("S{}", i), at(0, 100.0 * i));
    for (uint32_t i = 0; i < 8; ++i)
        parkedAc(20001 + i, fmt::format("LIV{}", i), g_parkStands[i]);
    // Monday slot 20 now: Sunday slot 40 is 28 half hours old, Monday slot 5 only 15.
    createdStatic(9, "MON10", 501, "", 10);
    createdStatic(10, "SUN40", 502, "", 28);
    createdStatic(11, "MON5", 503, "", 15);
    gf_enforceMaxParked(0);
    EXPECT_TRUE(g_removeDeque.empty());
    g_wantedParkedCount = 10;
    gf_enforceMaxParked(0);
    ASSERT_EQ(g_removeDeque.size(), 1u);
    EXPECT_EQ(g_staticAcs[1].status, SimStatus::RemovingFromSim);
    EXPECT_TRUE(log_.contains("S9      : SUN40* static max park exceeded, removed"));

    gf_removeLiveParked(100);
    EXPECT_EQ(std::count_if(g_liveAcs.begin(), g_liveAcs.end(),
                            [](const LiveAc& ac) { return ac.status == SimStatus::RemovingFromSim; }),
              8);
}

TEST_F(LiveStandsTest, AGhostAtTheBirthStandMakesWayButTheRealFlightKeepsIt)
{
    for (const auto& [holder, born, bornTakesIt] :
         {std::tuple{"ABC123_", "ABC123", true}, std::tuple{"ABC123", "ABC123_", false}}) {
        SCOPED_TRACE(holder);
        gf_clearParkStands();
        g_liveAcs.clear();
        ParkStand& s = stand("12", at(0, 0));
        parkedAc(20001, holder, s);
        PosSample first = sample(s.lat, s.lon, 0, 0, 0, false);
        first.stationary = true;
        LiveAc& ac = buffered(20002, born, "A320", {first, first});
        const ParkStand* found = lf_findBirthStand(ac);
        EXPECT_EQ(found != nullptr, bornTakesIt);
        EXPECT_EQ(g_liveAcs[1].erase, !bornTakesIt);
        EXPECT_EQ(g_liveAcs[0].status == SimStatus::RemovingFromSim, bornTakesIt);
    }
    EXPECT_TRUE(log_.contains("12      : ABC123_  ghost, replace by ABC123"));
}

TEST_F(LiveStandsTest, ANeighbourGoesOnlyWithinTheCollisionDistance)
{
    catalogue().halfSpans["A320"] = 0.01;
    for (const auto& [apartNm, live, removed] : {std::tuple{0.02, true, true}, std::tuple{0.025, true, false},
                                                 std::tuple{0.02, false, true}, std::tuple{0.025, false, false}}) {
        SCOPED_TRACE(testing::Message() << apartNm << " nm, live " << live);
        gf_clearParkStands();
        g_liveAcs.clear();
        g_staticAcs.clear();
        ParkStand& wanted = stand("1", at(0, 0));
        ParkStand& next = stand("2", at(apartNm * 1852, 0));
        wanted.adjacent = {next.number};
        LiveAc& arriving = groundAc(20001, "DLH1", at(0, 30));
        if (live) {
            parkedAc(20002, "DLH2", next);
            lf_removeAdjacentColliding(next.number, g_liveAcs[0], wanted);
            EXPECT_EQ(g_liveAcs[1].status == SimStatus::RemovingFromSim, removed);
        } else {
            createdStatic(next.number, "STA1", 501);
            lf_makeWayAtExcludedStand(arriving, next.number, wanted);
            EXPECT_EQ(g_staticAcs[0].status == SimStatus::RemovingFromSim, removed);
        }
    }
}

TEST_F(LiveStandsTest, AQueuedStaticAtTheStandOrCollidingNextToItIsCancelled)
{
    ParkStand& s = stand("V12", at(0, 0));
    ParkStand& next = stand("V14", at(0, 30));
    ASSERT_EQ(s.adjacent, std::vector<uint32_t>{next.number});
    catalogue().halfSpans["CL30"] = 8 * kNmPerMetre;
    catalogue().halfSpans["B744"] = 32 * kNmPerMetre;
    queuedStatic(s.number, "DLH9", "D-AIAB");
    queuedStatic(next.number, "DLH8", "", "CL30");
    ASSERT_EQ(g_staticCreateDeque.size(), 2u);
    LiveAc& ac = groundAc(20001, "DLH1", at(0, 0), "B744");
    ac.registration = "D-AIAB";
    lf_makeWayAtStand(ac, s);
    EXPECT_TRUE(g_staticAcs.empty());
    EXPECT_TRUE(g_staticCreateDeque.empty());
    EXPECT_TRUE(log_.contains("queued V12     : DLH9*    D-AIAB makes way for the same live version DLH1 D-AIAB"));
    EXPECT_TRUE(log_.contains("queued V14     : DLH8*    makes way for DLH1 parking at excluded stand V12"));
}

} // namespace
} // namespace enginetest
