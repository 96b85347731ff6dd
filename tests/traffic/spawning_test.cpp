#include <cmath>
#include <tuple>
#include <vector>

#include "foundation/settings_catalogue.h"
#include "parking/static_parking.h"
#include "traffic/engine_fixture.h"

namespace enginetest {
namespace {

// One nautical mile north of 52 N is 1/60 degree.
constexpr double kNm = 1.0 / 60.0;

class SpawningTest : public EngineTest {
protected:
    // A buffered aircraft north and east of the user at 52 N 4 E with three reports 5 s
    // apart along the track at the speed; whether the hold-back holds it (and drops its
    // front report).
    bool heldBack(double northNm, double eastNm, double trackDeg, double kt, bool airborne)
    {
        g_liveAcs.clear();
        g_trafficTick = 9000;
        const double lat = 52 + northNm * kNm;
        const double lon = 4 + eastNm * kNm / std::cos(52 * g_degToRad);
        std::vector<PosSample> reports;
        for (uint32_t i = 0; i < 3; ++i) {
            const double nm = kt * 5.0 * i / 3600.0;
            const double track = trackDeg * g_degToRad;
            reports.push_back(sample(lat + nm * std::cos(track) * kNm,
                                     lon + nm * std::sin(track) * kNm / std::cos(52 * g_degToRad),
                                     airborne ? 300 : 0, kt, 5000 + 500 * i, airborne));
            reports.back().track = trackDeg < 0 ? trackDeg + 360 : trackDeg;
        }
        LiveAc& ac = buffered(20020, "KLM20", "A320", reports);
        const bool held = lf_holdBackNearUser(ac);
        EXPECT_EQ(ac.heldNearUser, held);
        EXPECT_EQ(ac.samples.size(), held ? 2u : 3u);
        return held;
    }

    // Two airborne samples 100 ticks apart, the first due at the tick given.
    LiveAc& flying(uint32_t hexid, const std::string& callsign, double lat, uint32_t due, const std::string& reg = "")
    {
        return buffered(hexid, callsign, "A320",
                        {sample(lat, 4, 20000, 300, due, true), sample(lat + 0.01, 4, 20000, 300, due + 500, true)},
                        reg);
    }
};

TEST_F(SpawningTest, AnAircraftSpawnsAtItsLeadTimeTaxiingOnesEarlier)
{
    // Speed, altitude, airborne: lead in ticks, phase.
    const std::tuple<const char*, double, double, bool, uint32_t, FlightPhase> rows[] = {{"flying", 300, 20000, true, 100, FlightPhase::Flying},
                        {"taxiing", 10, 0, false, 300, FlightPhase::Taxi}};
    for (const auto& [what, gs, altitude, airborne, lead, phase] : rows) {
        g_liveAcs.clear();
        g_newAcIds.clear();
        LiveAc& ac = buffered(20001, "KLM1", "A320",
                              {sample(52, 4, altitude, gs, 5000, airborne), sample(52.001, 4, altitude, gs, 5500, airborne)});
        ac.samples.front().verticalSpeed = -600.0;
        SCOPED_TRACE(what);
        g_trafficTick = 5000 - lead - 1;
        lf_tryBuffered(ac);
        EXPECT_EQ(ac.status, SimStatus::Buffer);
        g_trafficTick = 5000 - lead;
        lf_tryBuffered(ac);
        EXPECT_EQ(ac.status, SimStatus::Adding2Sim);
        EXPECT_EQ(ac.phase, phase);
        EXPECT_EQ(g_newAcIds, std::vector<uint32_t>({20001}));
        EXPECT_EQ(ac.liveryTitle, "A320 livery");
        EXPECT_EQ(g_liveryIdTitles[20001], "A320 livery");
        EXPECT_EQ(g_touchdownHexids.back(), 20001u);
        EXPECT_EQ(ac.pos.verticalSpeed, -10.0); // ft/s
    }
}

// Without a stand to be born at, a standing aircraft waits with its front sample dropped.
TEST_F(SpawningTest, AStandingAircraftIsTriedAtItsLeadTimeOfOneSecond)
{
    LiveAc& ac = buffered(20011, "KLM11", "A320",
                          {sample(52, 4, 0, 0, 5000, false), sample(52, 4, 0, 0, 5500, false),
                           sample(52, 4, 0, 0, 6000, false)});
    ac.samples[1].stationary = true;
    g_trafficTick = 4899;
    lf_tryBuffered(ac);
    EXPECT_EQ(ac.samples.size(), 3u);
    g_trafficTick = 4900;
    lf_tryBuffered(ac);
    EXPECT_EQ(ac.samples.size(), 2u);
    EXPECT_EQ(ac.status, SimStatus::Buffer);
}

TEST_F(SpawningTest, MixedSamplesOrABacklogOfCreationsDropTheFrontSample)
{
    g_trafficTick = 5000;
    LiveAc& mixed = buffered(20002, "KLM2", "A320",
                             {sample(52, 4, 0, 120, 5000, false), sample(52.01, 4, 300, 140, 5500, true),
                              sample(52.02, 4, 800, 150, 6000, true)});
    lf_tryBuffered(mixed);
    EXPECT_EQ(mixed.samples.size(), 2u);
    EXPECT_EQ(mixed.status, SimStatus::Buffer);
    g_liveCreateDeque.resize(11);
    LiveAc& waiting = flying(20003, "KLM3", 52, 5000);
    lf_tryBuffered(waiting);
    EXPECT_EQ(waiting.samples.size(), 1u);
    EXPECT_EQ(waiting.status, SimStatus::Buffer);
}

// An aircraft whose creation is with the simulator counts as much as a queued one: it
// turns active later.
TEST_F(SpawningTest, AtTheMaximumTheFarthestActiveAircraftMakesRoomOrTheNewOneGoes)
{
    MAX_LIVE_SEL.value = 10;
    userAt(52, 4, 35000, 35000, 0, 300, false);
    for (const auto& [farthestNm, queued] : {std::pair{5.2, true}, std::pair{5.05, true}, std::pair{5.05, false}}) {
        g_liveAcs.clear();
        g_liveCreateDeque.clear();
        for (uint32_t i = 0; i < 9; ++i)
            active(21000 + i, fmt::format("ACT{}", i), 52 + (i == 4 ? farthestNm : 2.0) * kNm, 4, 20000, false, 100 + i);
        active(21010, "SENT1", 52, 4, 20000, false, 0).status = SimStatus::Adding2Sim;
        if (queued)
            g_liveCreateDeque.push_back(SimCreateRequest{});
        g_trafficTick = 5000;
        LiveAc& fresh = flying(20004, "NEW1", 52 + 5 * kNm, 5000);
        lf_tryBuffered(fresh);
        const bool room = farthestNm > 5.1;
        EXPECT_EQ(g_liveAcs[4].status, room ? SimStatus::RemovingFromSim : SimStatus::Active) << farthestNm;
        EXPECT_EQ(g_liveAcs.back().status, room ? SimStatus::Adding2Sim : SimStatus::Buffer) << farthestNm;
        EXPECT_EQ(g_liveAcs.back().erase, !room) << farthestNm;
    }
}

TEST_F(SpawningTest, TheIdentityIsCompletedFromTheDatabaseOrTheCallsign)
{
    catalogue().registrations["PH-BXA"] = {"KLM", "B738", "", true};
    catalogue().liveries["B738"] = "B738 livery";
    catalogue().types["B738"] = TypeCategory::Large;
    // Callsign, registration: airline (empty: erased), final callsign.
    const std::tuple<const char*, const char*, const char*, const char*> rows[] = {{"@@@@@@@@", "PH-BXA", "KLM", "PH-BXA"},
                        {"@@@@@@@@", "", "", ""},
                        {"N123AB", "", "PVT", "N123AB"},
                        {"klm77", "", "KLM", "klm77"}};
    for (const auto& [callsign, reg, airline, finalCallsign] : rows) {
        g_liveAcs.clear();
        g_trafficTick = 5000;
        LiveAc& ac = flying(20005, callsign, 52, 5000, reg);
        lf_tryBuffered(ac);
        EXPECT_EQ(ac.erase, std::string_view(airline).empty()) << callsign;
        EXPECT_EQ(ac.erase ? "" : ac.airline + " " + ac.callsign, ac.erase ? "" : std::string(airline) + " " + finalCallsign)
            << callsign;
    }
    EXPECT_TRUE(g_liveAcs.back().cargo == false);
}

TEST_F(SpawningTest, AFlightWithoutLiveryIsRememberedAndNotTriedAgain)
{
    catalogue().liveries.erase("A320");
    g_trafficTick = 5000;
    LiveAc& ac = flying(20006, "KLM6", 52, 5000, "PH-AAA");
    lf_tryBuffered(ac);
    EXPECT_TRUE(ac.erase);
    EXPECT_TRUE(g_unmatchedFlights.contains("KLM A320 PH-AAA"));
    catalogue().liveries["A320"] = "A320 livery";
    LiveAc& again = flying(20007, "KLM6", 52, 5000, "PH-AAA");
    lf_tryBuffered(again);
    EXPECT_TRUE(again.erase);
}

// On the ground ahead of the landing user it waits until the user has slowed down; in the
// air only on the user's line of its reported heading (not north's).
TEST_F(SpawningTest, AnAircraftOnTheGroundAheadOfTheLandingUserWaitsUntilTheUserHasSlowedDown)
{
    userAt(52, 4, 500, 500, 0, 140, false);
    g_trafficTick = 9000;
    LiveAc& ac = buffered(20008, "KLM8", "A320",
                          {sample(52 + kNm, 4.001, 0, 10, 5000, false), sample(52 + kNm, 4.002, 0, 10, 5500, false),
                           sample(52 + kNm, 4.003, 0, 6, 6000, false), sample(52 + kNm, 4.004, 0, 6, 6500, false)});
    lf_tryBuffered(ac);
    EXPECT_TRUE(ac.heldNearUser);
    lf_tryBuffered(ac);
    EXPECT_EQ(ac.samples.size(), 2u);
    userAt(52, 4, 0, 0, 0, 5, true);
    lf_tryBuffered(ac);
    EXPECT_EQ(ac.status, SimStatus::Adding2Sim);

    userAt(52, 4, 5000, 5000, 0, 250, false);
    for (const auto& [track, held] : {std::pair{180.0, true}, std::pair{90.0, false}}) {
        g_liveAcs.clear();
        g_trafficTick = 5000;
        LiveAc& air = buffered(20009, "KLM9", "A320",
                               {sample(52 + 3 * kNm, 4, 5000, 250, 5000, true),
                                sample(52 + 3 * kNm, 4.01, 5000, 250, 5500, true)});
        air.samples.front().track = track;
        lf_tryBuffered(air);
        EXPECT_EQ(air.heldNearUser, held) << track;
    }
}

// A user who has just lifted off (300 ft, heading north at 150 kt) holds back a ground
// aircraft on its heading line ahead, not one on that line behind it; in the air one that
// closes on it from behind, on its track or converging from behind the beam, as making way
// would remove it once created, not one passing behind it.
TEST_F(SpawningTest, BehindTheDepartingUserOnlyAnAircraftClosingOnItInTheAirIsHeldBack)
{
    userAt(52, 4, 300, 300, 0, 150, false);
    struct Row {
        const char* what;
        double northNm;
        double eastNm;
        double trackDeg;
        double kt;
        bool airborne;
        bool held;
    };
    // From 1.5 nm east and 1 nm behind, 250 kt north and 150 kt west: straight at the user
    // relative to it, while its line of flight passes 0.77 nm (4,690 ft) from where the
    // user is now.
    const double convergingDeg = std::atan2(-150.0, 250.0) * 57.29577951308232;
    const Row rows[] = {
        {"taxiing 1 nm behind", -1.0, 0, 0, 10, false, false},
        {"taxiing 1 nm ahead", 1.0, 0, 0, 10, false, true},
        {"flying 2 nm behind on the user's track, faster", -2.0, 0, 0, 250, true, true},
        {"converging from behind the beam", -1.0, 1.5, convergingDeg, std::hypot(150.0, 250.0), true, true},
        {"passing 1 nm behind the user", -1.0, 1.0, 270, 250, true, false}};
    for (const Row& row : rows)
        EXPECT_EQ(heldBack(row.northNm, row.eastNm, row.trackDeg, row.kt, row.airborne), row.held) << row.what;
}

// Near-parallel traffic 1 to 5.5 nm east or west of the airborne user (150 kt north at
// 300 ft), up to 0.5 nm behind its beam, on a track up to 2 degrees towards it, at its
// speed or 2 kt slower or faster: none is held back, as none comes near within about two
// minutes nor has the user within 4,000 ft of its line of flight (68 of these 288 were
// held, meeting the user 9 to 126 minutes later; so were 3 nm east, 0.3 nm behind, 1 degree
// towards and 5 nm east, 0.5 nm behind, 2 degrees towards). Nor, with the user crabbed 8
// degrees into a crosswind, is one on its ground track at its speed 1 nm to its right and
// 0.2 nm behind its beam; one faster on that track behind it still is.
TEST_F(SpawningTest, TheHoldBackBeforeCreationHoldsOnlyWhatClosesOnTheUserWithinTheHorizon)
{
    userAt(52, 4, 300, 300, 0, 150, false);
    std::vector<std::string> held;
    int rows = 0;
    for (const double side : {1.0, -1.0})
        for (const double asideNm : {1.0, 2.5, 4.0, 5.5})
            for (const double behindNm : {0.0, 0.1, 0.3, 0.5})
                for (const double towardsDeg : {0.0, 1.0, 2.0})
                    for (const double kt : {148.0, 150.0, 152.0}) {
                        ++rows;
                        if (heldBack(-behindNm, side * asideNm, -side * towardsDeg, kt, true))
                            held.push_back(fmt::format("{} nm {}, {} nm behind, {} deg towards, {} kt", asideNm,
                                                       side > 0 ? "east" : "west", behindNm, towardsDeg, kt));
                    }
    EXPECT_EQ(rows, 288);
    EXPECT_EQ(held, std::vector<std::string>{});

    EXPECT_FALSE(heldBack(-0.3, 3.0, -1.0, 150, true)) << "3 nm east, 0.3 nm behind the beam, 1 degree towards";
    EXPECT_FALSE(heldBack(-0.5, 5.0, -2.0, 150, true)) << "5 nm east, 0.5 nm behind the beam, 2 degrees towards";
    // Now flying east, its nose 8 degrees right of that.
    userReported(52, 4, 300, 300, 90, 98, 150, false);
    EXPECT_FALSE(heldBack(-1.0, -0.2, 90, 150, true)) << "formation beside the crabbed user";
    EXPECT_TRUE(heldBack(0, -2.0, 90, 250, true)) << "faster on the crabbed user's track";
}

TEST_F(SpawningTest, TheBoundObjectParksAtItsStandOverAStaticAndAsksForItsCentreOfGravity)
{
    addStand("B12", 52, 4);
    createdStatic(1, "KLM5", 201);
    events();
    g_addingStack.push_back({1});
    g_addingStack.push_back({2});
    LiveAc& ac = active(20010, "KLM10", 52, 4, 0, true, 0);
    ac.status = SimStatus::Adding2Sim;
    ac.phase = FlightPhase::Parked;
    ac.standNumber = 1;
    EXPECT_FALSE(gf_onLiveAcObject(ac, {2, 20010, 0, SimObjectEventKind::Bound, 0, 12}));
    EXPECT_TRUE(gf_onLiveAcObject(ac, {150, 20010, 0, SimObjectEventKind::Bound, 0, 12}));
    EXPECT_EQ(ac.objectId, 150u);
    EXPECT_EQ(ac.motion.altitudeAboveGround, 12.0);
    EXPECT_TRUE(ac.onGround);
    EXPECT_TRUE(log_.contains("B12     : KLM10    parks over static KLM5* \u2014 static will be removed"));
    EXPECT_EQ(g_staticAcs[0].status, SimStatus::RemovingFromSim);
    ASSERT_EQ(g_addingStack.size(), 1u);
    EXPECT_EQ(g_addingStack[0].standNumber, 2u);
    const std::vector<ScRequestDataRecord> requests = sent<ScRequestDataRecord>();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(std::vector<uint32_t>({requests[0].requestId, requests[0].defineId, requests[0].objectId,
                                     requests[0].period}),
              std::vector<uint32_t>({102, 405, 150, 1}));
    g_addingStack.clear();
}

} // namespace
} // namespace enginetest
