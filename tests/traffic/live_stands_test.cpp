// The stands of live aircraft (the user's stand, the free stand search, parking, the
// parked-count cap and the stand conflicts) and static aircraft (their creation from the
// adding stack and the fit search that fills it), at a park airport on Monday 10:00 whose
// stands are placed in metres from one point. The conflicts with aircraft on and beside a
// stand are also proven by the day at a park airport; these pin the log texts, hexids,
// callsigns and the search's half hours.
#include <cmath>
#include <string>
#include <vector>

#include "control/service_state.h"
#include "engine_fixture.h"
#include "foundation/settings_catalogue.h"
#include "parking/half_hours.h"
#include "parking/park_airports.h"
#include "parking/static_parking.h"
#include "traffic/live_stands.h"
#include "traffic/live_stands_internal.h"
#include "traffic/user_stand.h"
#include "ui/window_state.h"

namespace enginetest {
namespace {

constexpr double kLat0 = 50.0;
constexpr double kLon0 = 8.0;
constexpr double kNmPerMetre = 1.0 / 1852.0;

// The point north and east of the airport's centre, in metres.
GeoPos at(double northM, double eastM)
{
    return {kLat0 + northM / 1852.0 / 60.0, kLon0 + eastM / 1852.0 / 60.0 / std::cos(kLat0 * g_degToRad)};
}

StandFlight flight(std::string airl, std::string type, std::string reg, std::string cs1, std::string cs2,
                          uint32_t day, std::vector<uint32_t> slots, uint32_t real = 1)
{
    StandFlight f;
    f.airl = std::move(airl);
    f.type = std::move(type);
    f.reg = std::move(reg);
    f.cs1 = std::move(cs1);
    f.cs2 = std::move(cs2);
    for (const uint32_t s : slots)
        f.hours.set(s);
    f.day = day;
    f.real = real;
    f.origin = 1;
    return f;
}

class StandTest : public EngineTest {
protected:
    StandTest()
    {
        g_parkAirport.code = "EDDF";
        g_parkAirport.lat = kLat0;
        g_parkAirport.lon = kLon0;
        g_timeOfWeek = gf_timeOfWeek(1, 20);
        g_reservedStandId.clear();
        g_wantedParkedCount = 0;
        g_addingStack.clear();
        g_planCallsigns.clear();
        g_learnedStandChanges = 0;
        // Tests hold references to the records they made.
        g_liveAcs.reserve(64);
        g_staticAcs.reserve(64);
        g_parkStands.reserve(256);
        catalogue().halfSpans["A320"] = 17 * kNmPerMetre;
    }
    ~StandTest() override
    {
        g_reservedStandId.clear();
        g_wantedParkedCount = 0;
        g_planCallsigns.clear();
    }

    // Numbers and adjacency are set again after every stand.
    static ParkStand& stand(const std::string& id, GeoPos p, double radiusM = 30.0, bool heli = false,
                            std::vector<StandFlight> flights = {}, bool cargo = false)
    {
        for (size_t i = 0; i < flights.size(); ++i)
            flights[i].number = static_cast<uint32_t>(i + 1);
        g_parkStands.emplace_back(id, std::move(flights), StandPlace{p.latitude, p.longitude, 1.0}, radiusM, !cargo,
                                  true, !heli);
        gf_numberAndLinkStands(g_parkStands);
        return g_parkStands.back();
    }
    // An active live aircraft on the ground at the point, its only sample there.
    LiveAc& groundAc(uint32_t hexid, const std::string& callsign, GeoPos p, const std::string& type = "A320")
    {
        LiveAc& ac = active(hexid, callsign, p.latitude, p.longitude, 0.0, true, hexid % 1000 + 1, type);
        ac.lastCheckLat = ac.lastCheckLon = 0.0;
        return ac;
    }
    // A live aircraft first received standing at the stand, parked and active there.
    static LiveAc& parkedAc(uint32_t hexid, const std::string& callsign, const ParkStand& s,
                            const std::string& type = "A320")
    {
        LiveAc* ac = gf_bornAtStand(hexid, callsign, s.number, hexid % 1000 + 100, type);
        if (ac == nullptr)
            throw std::runtime_error("the engine did not park " + callsign);
        return *ac;
    }
};

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

// Distance and stand radius in metres for a B744 (half span 32 m): found, learned.
TEST_F(LiveStandsTest, TheFreeStandSearchTakesWhatFitsAndLearnsASlightlySmallStand)
{
    catalogue().halfSpans["B744"] = 32 * kNmPerMetre;
    const std::tuple<const char*, double, double, bool, bool, bool> cases[] = {
        {"fits at 50 m", 50, 35, false, true, false},          {"5 m small at 15 m", 15, 27, false, true, true},
        {"5 m small at 25 m", 25, 27, false, false, false},    {"1.5 m small at 25 m", 25, 30.5, false, true, false},
        {"beyond the radius", 60, 35, false, false, false},    {"wide, no flight names it", 80, 35, true, false, false}};
    for (const auto& [name, distanceM, radiusM, wide, found, learned] : cases) {
        SCOPED_TRACE(name);
        gf_clearParkStands();
        g_liveAcs.clear();
        g_learnedStandChanges = 0;
        ParkStand& s = stand("A1", at(0, 0), radiusM);
        LiveAc& ac = groundAc(20001, "DLH400", at(distanceM, 0), "B744");
        EXPECT_EQ(lf_findFreeStandNear(at(distanceM, 0), ac, 55 * kNmPerMetre, wide) != nullptr, found);
        EXPECT_EQ(s.radiusChange, learned);
        EXPECT_EQ(g_learnedStandChanges.load(), learned ? 1u : 0u);
        if (learned) {
            EXPECT_NEAR(s.radius, 31 * kNmPerMetre, 1e-9);
        }
    }
    // The wide search finds a stand whose flight names the aircraft.
    gf_clearParkStands();
    stand("A1", at(80, 0), 30, false, {flight("DLH", "B738", "D-ABCD", "DLH123", "", 1, {20})});
    stand("A2", at(0, 84));
    LiveAc& ac = groundAc(20002, "DLH123", at(0, 0));
    const ParkStand* found = lf_findFreeStandNear(at(0, 0), ac, 55 * kNmPerMetre, true);
    EXPECT_EQ(found != nullptr ? found->id : "", "A1");
    EXPECT_EQ(lf_findFreeStandNear(at(0, 0), ac, 55 * kNmPerMetre, false), nullptr);
}

TEST_F(LiveStandsTest, HelicoptersGetHeliStandsOnlyAndAirlinersNeverAPad)
{
    HELICOPTERS.value = true;
    stand("H1", at(10, 0), 30, true);
    stand("A1", at(40, 0));
    const auto found = [](LiveAc& ac, double northM, double radiusM) {
        const ParkStand* s = lf_findFreeStandNear(at(northM, 0), ac, radiusM * kNmPerMetre, false);
        return s != nullptr ? s->id : "";
    };
    EXPECT_EQ(found(groundAc(20001, "DHHEL", at(0, 0), "R44"), 0, 55), "H1");
    EXPECT_EQ(found(groundAc(20002, "DLH1", at(0, 0)), 0, 55), "A1");
    EXPECT_EQ(found(g_liveAcs[0], 35, 10), "");
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

// Distance in metres, landed, the reserved stand, the user at A1: parks at A1.
TEST_F(LiveStandsTest, ParkingLooksWiderAfterLandingAndNeverTakesTheReservedOrUserStand)
{
    const std::tuple<double, bool, const char*, bool, bool> cases[] = {
        {50, true, "", false, true},    {50, false, "", false, false}, {18, false, "", false, true},
        {10, true, "A1", false, false}, {10, true, "", true, false}};
    for (const auto& [distanceM, landed, reserved, userThere, parks] : cases) {
        SCOPED_TRACE(testing::Message() << distanceM << " m, landed " << landed << ", reserved '" << reserved << "'");
        gf_clearParkStands();
        gf_resetUserStandCache();
        g_liveAcs.clear();
        stand("A1", at(0, 0));
        stand("A2", at(0, 200));
        g_reservedStandId = reserved;
        userAt(userThere ? kLat0 : 0, userThere ? kLon0 : 0, 0, 0, 0, 0, userThere);
        LiveAc& ac = groundAc(20001, "DLH1", at(distanceM, 0));
        try2Park(ac, landed);
        EXPECT_EQ(ac.phase == FlightPhase::Parking, parks);
        EXPECT_EQ(ac.standNumber, parks ? 1u : 0u);
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

// Parked at its stand on arrival on Wednesday 10:00: the window shows half an hour (the
// half-hour slot counted up), two hours more at 12:00, not the hours since Monday.
TEST_F(LiveStandsTest, AnArrivalCountsAsParkedFromItsArrival)
{
    g_timeOfWeek = gf_timeOfWeek(3, 20);
    ParkStand& st = stand("B1", at(0, 0));
    LiveAc& ac = groundAc(20010, "KLM7", at(0, 0));
    ac.standNumber = st.number;
    ac.standLat = st.lat;
    ac.standLon = st.lon;
    ac.phase = FlightPhase::Parking;
    lf_arriveAtStand(ac);
    ASSERT_EQ(ac.phase, FlightPhase::Parked);
    EXPECT_EQ(gf_countParkedLive(true), 1u);
    EXPECT_EQ(gf_windowState().liveMeanParkedHours.load(), 0.5f);
    g_timeOfWeek = gf_timeOfWeek(3, 24);
    gf_countParkedLive(true);
    EXPECT_EQ(gf_windowState().liveMeanParkedHours.load(), 2.5f);
}

// ABC123 parked at A1, XYZ9 at A2 40 m away; ABC123 is received again under a new hexid,
// standing at A1. As a B744 (reach 53.9 m) XYZ9 is in its way: it is dropped and the holder
// keeps the stand; as an A320 (reach 37.4 m) it takes the stand from the holder.
TEST_F(LiveStandsTest, ABirthBlockedByANeighbourLeavesTheHolderAtItsStand)
{
    catalogue().halfSpans["B744"] = 32 * kNmPerMetre;
    for (const auto& [type, bornTakesIt] : {std::pair{"B744", false}, std::pair{"A320", true}}) {
        SCOPED_TRACE(type);
        gf_clearParkStands();
        g_liveAcs.clear();
        ParkStand& a = stand("A1", at(0, 0));
        ParkStand& b = stand("A2", at(0, 40));
        ASSERT_EQ(a.adjacent, std::vector<uint32_t>{b.number});
        parkedAc(20001, "ABC123", a);
        parkedAc(20002, "XYZ9", b);
        PosSample first = sample(a.lat, a.lon, 0, 0, 0, false);
        first.stationary = true;
        LiveAc& born = buffered(20003, "ABC123", type, {first, first});
        const ParkStand* found = lf_findBirthStand(born);
        EXPECT_EQ(found != nullptr, bornTakesIt);
        EXPECT_EQ(born.erase, !bornTakesIt);
        EXPECT_EQ(g_liveAcs[0].status, bornTakesIt ? SimStatus::RemovingFromSim : SimStatus::Active);
        EXPECT_EQ(g_liveAcs[1].status, SimStatus::Active);
    }
}

using StaticAircraftTest = StandTest;

ParkCandidate candidate(uint32_t standNumber, std::string cs1, std::string cs2 = "", bool firstPart = true,
                        uint32_t fitOffset = 0)
{
    return {standNumber, fitOffset, "DLH", "A320", std::move(cs1), std::move(cs2), "D-AIAB", firstPart ? 1u : 0u};
}

std::vector<ParkCandidate> search(uint32_t slot, uint32_t kind, int32_t offset = 0)
{
    std::vector<ParkCandidate> out;
    lf_searchStands(gf_timeOfWeek(1, slot), kind, 1, offset, out);
    return out;
}

TEST_F(StaticAircraftTest, ACandidateNextToAnAircraftOrWithoutItsStandIsDropped)
{
    ParkStand& a = stand("A1", at(0, 0));
    ParkStand& b = stand("A2", at(0, 30));
    ParkStand& c = stand("A3", at(0, 200));
    ASSERT_EQ(a.adjacent, std::vector<uint32_t>{b.number});
    parkedAc(20001, "LIVE1", a);
    createdStatic(c.number, "STAT1", 501);
    g_addingStack = {candidate(c.number, "DLH5"), candidate(99, "DLH4"), candidate(b.number, "DLH3"),
                     candidate(a.number, "DLH2")};
    for (int i = 0; i < 4; ++i)
        lf_createStaticFromStack();
    for (const char* line : {"A1      : no static parking for DLH2, live aircraft LIVE1 standing here",
                             "A2      : no static parking for DLH3, live aircraft LIVE1 is adjacent at A1, possibly colliding",
                             "stand with id sid==? not found",
                             "A3      : no static parking for DLH5, static aircraft STAT1* is adjacent at A3, possibly colliding"})
        EXPECT_TRUE(log_.contains(line)) << line;
    EXPECT_EQ(g_staticAcs.size(), 1u);
    EXPECT_TRUE(g_staticCreateDeque.empty());
}

// A live aircraft off its stand on the ground beside a candidate's stand (just pushed back and
// turning on the spot, or taxiing past) is only passing: the candidate waits for it and is
// placed once it has moved on. One 150 m off, or passing over aloft, keeps nothing out. Placed
// at once, a static stood 51.7 m from a live aircraft still turning after its push.
TEST_F(StaticAircraftTest, ACandidateWaitsForALiveAircraftPassingBesideItsStand)
{
    // Metres north of the stand, on the ground: placed at once.
    const std::tuple<const char*, double, bool, bool> rows[] = {
        {"taxiing 20 m off", 20.0, true, false},
        {"taxiing 150 m off", 150.0, true, true},
        {"aloft 20 m off", 20.0, false, true},
    };
    for (const auto& [what, northM, onGround, placedAtOnce] : rows) {
        g_parkStands.clear();
        g_liveAcs.clear();
        g_staticAcs.clear();
        g_staticCreateDeque.clear();
        ParkStand& a = stand("A1", at(0, 0));
        const GeoPos p = at(northM, 0);
        LiveAc& live = active(20001, "LIVE1", p.latitude, p.longitude, onGround ? 0 : 500, onGround, 101);
        g_addingStack = {candidate(a.number, "DLH2")};
        lf_createStaticFromStack();
        EXPECT_EQ(g_staticAcs.size(), placedAtOnce ? 1u : 0u) << what;
        EXPECT_EQ(g_addingStack.size(), placedAtOnce ? 0u : 1u) << what;
        // Moved on.
        const GeoPos away = at(2000, 0);
        live.pos.latitude = away.latitude;
        live.pos.longitude = away.longitude;
        lf_createStaticFromStack();
        EXPECT_EQ(g_staticAcs.size(), 1u) << what;
        EXPECT_TRUE(g_addingStack.empty()) << what;
    }
}

// Hexids in turn, passing over those held; the callsign from the preferred part, else the
// airline and hexid.
TEST_F(StaticAircraftTest, StaticAircraftTakeTheirHexidsInTurnPassingOverThoseHeld)
{
    for (int i = 0; i < 4; ++i)
        stand(fmt::format("S{}", i), at(0, 200.0 * i));
    g_staticHexidCounter = 0;
    createdStatic(4, "HELD", 500);
    g_staticHexidCounter = 9998;
    // Taken from the back.
    g_addingStack = {candidate(3, "ABC1", "", false), candidate(1, "", "ABC2"), candidate(2, "ABC1", "ABC2_", false),
                     candidate(1, "ABC1__", "ABC2"), candidate(1, "ABC1*")};
    std::vector<std::string> made;
    for (int i = 0; i < 5; ++i) {
        lf_createStaticFromStack();
        const SimCreateRequest& r = g_staticCreateDeque.back();
        made.push_back(fmt::format("{} {}", r.hexid, r.callsign));
        g_staticAcs.pop_back();
    }
    EXPECT_EQ(made, std::vector<std::string>({"9999 ABC1*", "0 ABC1*", "2 ABC2*", "3 DLH3*", "4 ABC1*"}));
}

TEST_F(StaticAircraftTest, TheStaticIsPlacedAtItsFlightsTimeAndCreatedOnTheGround)
{
    ParkStand& s = stand("S1", at(0, 0));
    g_timeOfWeek = gf_timeOfWeek(1, 1);
    g_addingStack = {candidate(s.number, "DLH1", "", true, 3)};
    lf_createStaticFromStack();
    ASSERT_EQ(g_staticAcs.size(), 1u);
    const StaticAc& st = g_staticAcs[0];
    EXPECT_EQ(st.status, SimStatus::Adding2Sim);
    EXPECT_EQ(gf_weekdayOf(st.parkedTimeOfWeek), 7u);
    EXPECT_EQ(gf_slotOf(st.parkedTimeOfWeek), 46u);
    const SimCreateRequest& r = g_staticCreateDeque.back();
    EXPECT_EQ(std::tuple(r.latitude, r.heading, r.onGround, r.liveryTitle, r.hexid),
              std::tuple(s.lat, 57.29577951308232, 1u, std::string("A320 livery"), 1u));

    catalogue().liveries.erase("A320");
    g_addingStack = {candidate(s.number, "DLH2")};
    g_staticAcs.clear();
    lf_createStaticFromStack();
    EXPECT_TRUE(g_staticAcs.empty());
}

TEST_F(StaticAircraftTest, TheFitSearchLooksAtTheShiftedHalfHour)
{
    stand("S1", at(0, 0), 30, false, {flight("DLH", "A320", "D-AIAA", "DLH1", "", 1, {47})});
    stand("S2", at(0, 300), 30, false, {flight("DLH", "A320", "D-AIAB", "DLH2", "DLH3", 7, {47})});
    const std::vector<ParkCandidate> out = search(1, 1, 2);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(std::tuple(out[0].registration, out[0].fitOffset, out[0].value), std::tuple("D-AIAB", 2u, 0u));
    EXPECT_TRUE(g_parkStands[1].taken);
    EXPECT_TRUE(search(1, 0, 2).empty());
}

// A static standing at the stand shows its flight already: at random, that flight comes
// first and is passed over, and the stand gets no candidate.
TEST_F(StaticAircraftTest, WithRandomAStandWhoseStaticShowsOneOfItsFlightsGetsNoCandidate)
{
    const std::vector<StandFlight> flights{flight("DLH", "A320", "D-AIAA", "DLH1", "", 1, {20}),
                                           flight("DLH", "A320", "D-AIAB", "DLH2", "", 1, {20}),
                                           flight("DLH", "A320", "D-AIAC", "DLH3", "", 1, {20})};
    for (const auto& [random, standing, expected] :
         {std::tuple{false, "", "D-AIAA"}, std::tuple{true, "DLH3", ""}, std::tuple{false, "DLH2", "D-AIAA"}}) {
        gf_clearParkStands();
        g_staticAcs.clear();
        RANDOM.value = random;
        ParkStand& s = stand("S1", at(0, 0), 30, false, flights);
        if (*standing != '\0')
            queuedStatic(s.number, standing);
        const std::vector<ParkCandidate> out = search(20, 1);
        EXPECT_EQ(out.empty() ? "" : out[0].registration, expected) << standing;
    }
}

TEST_F(StaticAircraftTest, AFlightAlreadyShownIsPassedOverAndKeptForTheLearnedFile)
{
    // The same flight recorded at two stands goes to one of them only.
    stand("T1", at(0, 500), 30, false, {flight("DLH", "A320", "D-AIAB", "DLH2", "", 1, {20})});
    stand("T2", at(0, 800), 30, false, {flight("DLH", "A320", "D-AIAB", "DLH2", "", 1, {20})});
    EXPECT_EQ(search(20, 2).size(), 1u);
    gf_clearParkStands();

    stand("S1", at(0, 0), 30, false, {flight("DLH", "A320", "D-AIAA", "DLH1", "", 1, {20})});
    g_addingStack = {candidate(7, "DLH9")};
    g_addingStack[0].registration = "D-AIAA";
    EXPECT_TRUE(search(20, 2).empty());
    EXPECT_FALSE(g_parkStands[0].taken);
    EXPECT_TRUE(g_parkStands[0].flights[0].skipped);
    EXPECT_EQ(g_parkStands[0].flights[0].number, 1u);

    // Empty texts never make a flight present.
    createdStatic(1, "", 501);
    g_addingStack = {ParkCandidate{}};
    g_liveParked.push_back({"", 0, 1, 5});
    EXPECT_FALSE(lf_isFlightPresent(flight("DLH", "A320", "", "DLH1", "", 1, {20})));
    EXPECT_FALSE(lf_isFlightPresent(flight("DLH", "A320", "D-AIAA", "", "", 1, {20})));
    g_planCallsigns.insert("DLH1_");
    EXPECT_TRUE(lf_isFlightPresent(flight("DLH", "A320", "", "DLH1", "", 1, {20})));
}

// Two half spans of 0.01 nm: 37 m.
TEST_F(StaticAircraftTest, NeighboursOfAChosenStandAndOfAnActiveStaticAreKeptFree)
{
    catalogue().halfSpans["A320"] = 0.01;
    const std::vector<StandFlight> fits{flight("DLH", "A320", "D-AIAA", "DLH1", "", 1, {20})};
    for (const auto& [apartM, staticThere, found] :
         {std::tuple{50.0, false, 1u}, std::tuple{30.0, true, 0u}, std::tuple{45.0, true, 1u}}) {
        gf_clearParkStands();
        g_staticAcs.clear();
        ParkStand& a = stand("A1", at(0, 0), 30, false, fits);
        ParkStand& b = stand("A2", at(0, apartM), 30, false, staticThere ? std::vector<StandFlight>{} : fits);
        ASSERT_EQ(a.adjacent, std::vector<uint32_t>{b.number});
        if (staticThere)
            createdStatic(b.number, "ST", 501);
        EXPECT_EQ(search(20, 1).size(), found) << apartM;
        EXPECT_EQ(b.nextToTaken, found == 1) << apartM;
    }
}

TEST_F(StaticAircraftTest, AStaticStillFitsItsFlightWithinTheWindowOfTodayOrYesterdayEvening)
{
    AcIdentity ac;
    ac.airline = "DLH";
    ac.aircraftType = "A320";
    ac.registration = "D-AIAA";
    const StandFlight today = flight("DLH", "A320", "D-AIAA", "DLH1", "", 1, {14});
    const StandFlight yesterday = flight("DLH", "A320", "D-AIAA", "DLH1", "", 7, {42});
    EXPECT_TRUE(lf_isOptionAroundThisTime(today, ac, gf_timeOfWeek(1, 20), 6));
    EXPECT_FALSE(lf_isOptionAroundThisTime(today, ac, gf_timeOfWeek(1, 20), 5));
    EXPECT_FALSE(lf_isOptionAroundThisTime(today, ac, gf_timeOfWeek(2, 20), 6));
    EXPECT_TRUE(lf_isOptionAroundThisTimeYesterday(yesterday, ac, 7, 5));
    EXPECT_FALSE(lf_isOptionAroundThisTimeYesterday(yesterday, ac, 7, 4));
    ac.registration = "D-AIAB";
    EXPECT_FALSE(lf_isOptionAroundThisTime(today, ac, gf_timeOfWeek(1, 20), 6));
}

// One rule for the fit search and the creation: an A320 candidate next to an A320 (reach
// 1.1 x 34 m = 37.4 m) is proposed exactly when it is created. A static queued for creation
// stands there as well, and a live aircraft parked or pushing back next to the stand, or
// parking or pushing back at it; a static leaving makes the candidate wait, not fail.
TEST_F(StaticAircraftTest, WhatTheFitSearchProposesNextToAnAircraftIsCreated)
{
    const std::vector<StandFlight> fits{flight("DLH", "A320", "D-AIAA", "DLH1", "", 1, {20})};
    enum class Next { Active, Queued, Leaving, LiveParked, LiveParkingHere, LivePushing, LivePushingHere };
    const std::tuple<double, Next, size_t> rows[] = {
        {30.0, Next::Active, 0},          {36.0, Next::Active, 0},      {38.0, Next::Active, 1},
        {36.0, Next::Queued, 0},          {38.0, Next::Queued, 1},      {30.0, Next::Leaving, 1},
        {36.0, Next::LiveParked, 0},      {38.0, Next::LiveParked, 1},  {100.0, Next::LiveParkingHere, 0},
        {36.0, Next::LivePushing, 0},     {38.0, Next::LivePushing, 1}, {100.0, Next::LivePushingHere, 0}};
    for (const auto& [apartM, next, proposed] : rows) {
        SCOPED_TRACE(fmt::format("{} m, {}", apartM, static_cast<int>(next)));
        gf_clearParkStands();
        g_staticAcs.clear();
        g_liveAcs.clear();
        g_staticCreateDeque.clear();
        g_addingStack.clear();
        ParkStand& a = stand("A1", at(0, 0), 30, false, fits);
        ParkStand& b = stand("A2", at(0, apartM));
        if (next == Next::Queued)
            queuedStatic(b.number, "ST");
        else if (next == Next::LiveParked)
            parkedAc(20001, "LIVE1", b);
        else if (next == Next::LivePushing)
            parkedAc(20001, "LIVE1", b).phase = FlightPhase::PushingBack;
        else if (next == Next::LivePushingHere)
            parkedAc(20001, "LIVE1", a).phase = FlightPhase::PushingBack;
        else if (next == Next::LiveParkingHere)
            groundAc(20001, "LIVE1", at(0, 50)).phase = FlightPhase::Parking;
        else
            createdStatic(b.number, "ST", 501);
        if (next == Next::LiveParkingHere)
            g_liveAcs.back().standNumber = a.number;
        if (next == Next::Leaving)
            removeAircraftFromSim(g_staticAcs.back());
        const size_t queued = g_staticCreateDeque.size();
        g_addingStack = search(20, 1);
        ASSERT_EQ(g_addingStack.size(), proposed);
        lf_createStaticFromStack();
        const bool created = g_staticCreateDeque.size() > queued;
        EXPECT_EQ(created, proposed == 1 && next != Next::Leaving);
        EXPECT_FALSE(log_.contains("no static parking for DLH1"));
        if (next == Next::Leaving) {
            EXPECT_EQ(g_addingStack.size(), 1u);
            queueEvent({501, 0, 0, SimObjectEventKind::Removed, 0, 0});
            gf_handleSimEvents();
            lf_createStaticFromStack();
            EXPECT_EQ(g_staticCreateDeque.size(), queued + 1);
        }
    }
}

// A live aircraft still about (pushing back, taxiing, flying) shows its flight, though the
// feed's callsigns missed it: no static twin of it stands at its stand meanwhile. One being
// removed does not.
TEST_F(StaticAircraftTest, TheFlightOfALiveAircraftStillAboutIsNotProposedForAStatic)
{
    for (const auto& [callsign, registration, onGround, removing, proposed] :
         {std::tuple{"DLH1_", "", true, false, 0u}, std::tuple{"XYZ9", "D-AIAA", false, false, 0u},
          std::tuple{"DLH1", "", true, true, 1u}, std::tuple{"XYZ9", "D-AIAB", true, false, 1u}}) {
        SCOPED_TRACE(fmt::format("{} {}", callsign, registration));
        gf_clearParkStands();
        g_liveAcs.clear();
        stand("S1", at(0, 0), 30, false, {flight("DLH", "A320", "D-AIAA", "DLH1", "", 1, {20})});
        LiveAc& ac = active(20001, callsign, at(0, 900).latitude, at(0, 900).longitude, onGround ? 0.0 : 3000.0,
                            onGround, 501);
        ac.registration = registration;
        if (removing)
            removeAircraftFromSim(ac);
        EXPECT_EQ(search(20, 1).size(), proposed);
    }
}

// The callsign part a static shows is stripped of its trailing '_' in the static itself
// (the other part is kept as it is), and the stand's flight of that part counts as shown.
TEST_F(StaticAircraftTest, AStaticKeepsItsCallsignPartWithoutTrailingUnderscores)
{
    ParkStand& s = stand("S1", at(0, 0));
    for (const auto& [first, cs1, cs2, callsign, kept1, kept2] :
         {std::tuple{true, "ABC1__", "ABC2_", "ABC1*", "ABC1", "ABC2_"},
          std::tuple{false, "ABC1_", "ABC2__", "ABC2*", "ABC1_", "ABC2"}}) {
        SCOPED_TRACE(callsign);
        g_staticAcs.clear();
        g_addingStack = {candidate(s.number, cs1, cs2, first)};
        lf_createStaticFromStack();
        ASSERT_EQ(g_staticAcs.size(), 1u);
        EXPECT_EQ(g_staticAcs[0].callsign, callsign);
        EXPECT_EQ(g_staticAcs[0].secondCallsign, kept1);
        EXPECT_EQ(g_staticAcs[0].extraText, kept2);
        EXPECT_TRUE(lf_isFlightPresent(flight("DLH", "A320", "", cs1, cs2, 1, {20})));
    }
}

} // namespace
} // namespace enginetest
