// Static aircraft: their creation from the adding stack and the fit search that fills it.
#include "stand_fixture.h"

#include "foundation/settings_catalogue.h"
#include "ui/window_state.h"

namespace enginetest {
namespace {

using StaticAircraftTest = StandTest;

ParkCandidate candidate(uint32_t standNumber, std::string cs1, std::string cs2 = "", bool firstPart = true,
                        uint32_t fitOffset = 0)
{
    return {standNumber, fitOffset, "DLH", "A320", std::move(cs1), std::move(cs2), "D-AIAB", firstPart ? 1u : 0u};
}

TEST_F(StaticAircraftTest, ACandidateNextToAnAircraftOrWithoutItsStandIsDropped)
{
    ParkStand& a = stand("A1", at(0, 0));
    ParkStand& b = stand("A2", at(0, 50));
    ParkStand& c = stand("A3", at(0, 200));
    ASSERT_EQ(a.adjacent, std::vector<uint32_t>{b.number});
    parkedAc(20001, "LIVE1", a);
    createdStatic(c.number, "STAT1", 501);
    g_addingStack = {candidate(c.number, "DLH5"), candidate(99, "DLH4"), candidate(b.number, "DLH3"),
                     candidate(a.number, "DLH2")};
    for (int i = 0; i < 4; ++i)
        lf_createStaticFromStack();
    EXPECT_TRUE(log_.contains("A1      : no static parking for DLH2, live aircraft LIVE1 standing here"));
    EXPECT_TRUE(
        log_.contains("A2      : no static parking for DLH3, live aircraft LIVE1 is adjacent at A1, possibly colliding"));
    EXPECT_TRUE(log_.contains("stand with id sid==? not found"));
    EXPECT_TRUE(
        log_.contains("A3      : no static parking for DLH5, static aircraft STAT1* is adjacent at A3, possibly colliding"));
    EXPECT_EQ(g_staticAcs.size(), 1u);
    EXPECT_TRUE(g_staticCreateDeque.empty());
}

TEST_F(StaticAircraftTest, StaticAircraftTakeTheirHexidsInTurnPassingOverThoseHeld)
{
    for (const auto& [held, expected] : {std::pair{std::vector<uint32_t>{}, std::vector<uint32_t>{9999, 0, 1}},
                                         std::pair{std::vector<uint32_t>{0}, std::vector<uint32_t>{9999, 1, 2}}}) {
        gf_clearParkStands();
        g_staticAcs.clear();
        g_staticCreateDeque.clear();
        for (int i = 0; i < 4; ++i)
            stand(fmt::format("S{}", i), at(0, 200.0 * i));
        for (const uint32_t h : held) {
            g_staticHexidCounter = h == 0 ? 9999 : h - 1;
            createdStatic(4, "HELD", 500 + h);
        }
        g_staticHexidCounter = 9998;
        g_addingStack = {candidate(3, "C3"), candidate(2, "C2"), candidate(1, "C1")};
        std::vector<uint32_t> hexids;
        for (int i = 0; i < 3; ++i) {
            lf_createStaticFromStack();
            hexids.push_back(g_staticCreateDeque.back().hexid);
        }
        EXPECT_EQ(hexids, expected);
    }
}

TEST_F(StaticAircraftTest, TheCallsignComesFromThePreferredPartOrTheAirlineAndHexid)
{
    struct Case {
        const char* cs1;
        const char* cs2;
        bool firstPart;
        const char* callsign;
    };
    const Case cases[] = {
        {"ABC1__", "ABC2", true, "ABC1*"}, {"ABC1", "ABC2_", false, "ABC2*"}, {"ABC1", "", false, "ABC1*"},
        {"", "ABC2", true, "DLH1*"},        {"ABC1*", "", true, "ABC1*"},
    };
    for (const Case& c : cases) {
        gf_clearParkStands();
        g_staticAcs.clear();
        g_staticCreateDeque.clear();
        g_staticHexidCounter = 0;
        stand("S1", at(0, 0));
        g_addingStack = {candidate(1, c.cs1, c.cs2, c.firstPart)};
        lf_createStaticFromStack();
        ASSERT_EQ(g_staticCreateDeque.size(), 1u);
        EXPECT_EQ(g_staticCreateDeque.back().callsign, c.callsign) << c.cs1 << " " << c.cs2;
    }
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
    EXPECT_EQ(r.latitude, s.lat);
    EXPECT_EQ(r.heading, 57.29577951308232);
    EXPECT_EQ(r.onGround, 1u);
    EXPECT_EQ(r.liveryTitle, "A320 livery");
    EXPECT_EQ(r.hexid, 1u);

    catalogue().liveries.erase("A320");
    g_addingStack = {candidate(s.number, "DLH2")};
    g_staticAcs.clear();
    lf_createStaticFromStack();
    EXPECT_TRUE(g_staticAcs.empty());
}

TEST_F(StaticAircraftTest, TheAverageAgeOfStaticsIsShownInHours)
{
    stand("S1", at(0, 0));
    stand("S2", at(0, 200));
    g_timeOfWeek = gf_timeOfWeek(1, 2);
    createdStatic(1, "A", 501, "", 4);
    createdStatic(2, "B", 502, "", 6);
    EXPECT_EQ(gf_countStaticsInSim(true), 2u);
    EXPECT_EQ(gf_windowState().staticAverageAgeHours.load(), 3.0f);
}

TEST_F(StaticAircraftTest, TheFitSearchLooksAtTheShiftedHalfHour)
{
    stand("S1", at(0, 0), 30, false, {flight("DLH", "A320", "D-AIAA", "DLH1", "", 1, {47})});
    stand("S2", at(0, 300), 30, false, {flight("DLH", "A320", "D-AIAB", "DLH2", "DLH3", 7, {47})});
    std::vector<ParkCandidate> out;
    lf_searchStands(gf_timeOfWeek(1, 1), 1, 1, 2, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].registration, "D-AIAB");
    EXPECT_EQ(out[0].fitOffset, 2u);
    EXPECT_EQ(out[0].value, 0u);
    EXPECT_TRUE(g_parkStands[1].taken);
    out.clear();
    lf_searchStands(gf_timeOfWeek(1, 1), 0, 1, 2, out);
    EXPECT_TRUE(out.empty());
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
        std::vector<ParkCandidate> out;
        lf_searchStands(gf_timeOfWeek(1, 20), 1, 1, 0, out);
        EXPECT_EQ(out.empty() ? "" : out[0].registration, expected) << standing;
    }
}

TEST_F(StaticAircraftTest, AFlightAlreadyShownIsPassedOverAndKeptForTheLearnedFile)
{
    // The same flight recorded at two stands goes to one of them only.
    stand("T1", at(0, 500), 30, false, {flight("DLH", "A320", "D-AIAB", "DLH2", "", 1, {20})});
    stand("T2", at(0, 800), 30, false, {flight("DLH", "A320", "D-AIAB", "DLH2", "", 1, {20})});
    std::vector<ParkCandidate> chosen;
    lf_searchStands(gf_timeOfWeek(1, 20), 2, 1, 0, chosen);
    EXPECT_EQ(chosen.size(), 1u);
    gf_clearParkStands();

    stand("S1", at(0, 0), 30, false, {flight("DLH", "A320", "D-AIAA", "DLH1", "", 1, {20})});
    g_addingStack = {candidate(7, "DLH9")};
    g_addingStack[0].registration = "D-AIAA";
    std::vector<ParkCandidate> out;
    lf_searchStands(gf_timeOfWeek(1, 20), 2, 1, 0, out);
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(g_parkStands[0].taken);
    EXPECT_TRUE(g_parkStands[0].flights[0].skipped);
    EXPECT_EQ(g_parkStands[0].flights[0].number, 1u);
}

TEST_F(StaticAircraftTest, EmptyTextsNeverMakeAFlightPresent)
{
    ParkStand& s = stand("S1", at(0, 0));
    createdStatic(s.number, "", 501);
    g_addingStack = {ParkCandidate{}};
    g_liveParked.push_back({"", 0, 1, 5});
    EXPECT_FALSE(lf_isFlightPresent(flight("DLH", "A320", "", "DLH1", "", 1, {20})));
    EXPECT_FALSE(lf_isFlightPresent(flight("DLH", "A320", "D-AIAA", "", "", 1, {20})));
    g_planCallsigns.insert("DLH1_");
    EXPECT_TRUE(lf_isFlightPresent(flight("DLH", "A320", "", "DLH1", "", 1, {20})));
}

TEST_F(StaticAircraftTest, NeighboursOfAChosenStandAndOfAnActiveStaticAreKeptFree)
{
    catalogue().halfSpans["A320"] = 0.01;
    const std::vector<StandFlight> fits{flight("DLH", "A320", "D-AIAA", "DLH1", "", 1, {20})};
    ParkStand& a = stand("A1", at(0, 0), 30, false, fits);
    ParkStand& b = stand("A2", at(0, 50), 30, false, fits);
    ASSERT_EQ(a.adjacent, std::vector<uint32_t>{b.number});
    std::vector<ParkCandidate> out;
    lf_searchStands(gf_timeOfWeek(1, 20), 1, 1, 0, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_TRUE(b.nextToTaken);

    // Two half spans of 0.01 nm: 37 m.
    for (const auto& [apartM, refused] : {std::pair{30.0, true}, std::pair{45.0, false}}) {
        gf_clearParkStands();
        g_staticAcs.clear();
        stand("A1", at(0, 0), 30, false, fits);
        createdStatic(stand("A2", at(0, apartM)).number, "ST", 501);
        out.clear();
        lf_searchStands(gf_timeOfWeek(1, 20), 1, 1, 0, out);
        EXPECT_EQ(out.empty(), refused) << apartM;
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

} // namespace
} // namespace enginetest
