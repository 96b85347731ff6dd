// The 20-minute adjustments of the static aircraft, and a week of them.
#include <set>

#include "parking/half_hours.h"
#include "parking/static_parking_fixture.h"

using statictest::StaticParkingTest;

namespace {

constexpr auto lf_tow = gf_timeOfWeek;

class StaticAdjustments : public StaticParkingTest {
protected:
    // Stands 200 m apart (not adjacent); S1 has the coupled flight DLH100:DLH101 on the
    // day in the half hours, and on the next day from 00:00 when asked.
    static void twoStands(uint32_t day, std::string_view hours, uint32_t nextDay = 0, int32_t stands = 2)
    {
        g_parkStands = synth::makeAirport({.stands = stands, .flightsPerStand = 0, .standsPerRow = 1});
        StandFlight f{"DLH", "A320", "D-AIAB", "DLH100", "DLH101", gf_hours2bitset(hours), 1, day, 1, 1, true};
        g_parkStands[0].flights.push_back(f);
        if (nextDay != 0) {
            f.day = nextDay;
            f.hours = gf_hours2bitset("0:3");
            f.number = 2;
            g_parkStands[0].flights.push_back(f);
        }
    }
    // The static showing the first part of DLH100:DLH101, placed then.
    static StaticAc& staticAt(uint32_t stand, int64_t placed, const std::string& type = "A320")
    {
        emptyEngine();
        const int64_t now = g_timeOfWeek;
        g_timeOfWeek = placed;
        StaticAc* s = enginetest::gf_createStatic({stand, 0, "DLH", type, "DLH100", "DLH101", "D-AIAB", 1}, 501);
        g_timeOfWeek = now;
        return *s;
    }
    static void parkedLive(uint32_t hexid, const std::string& callsign, uint32_t stand)
    {
        g_parkAirport = {.code = "EDDF", .lat = 50.0, .lon = 8.5};
        enginetest::gf_bornAtStand(hexid, callsign, stand, hexid - 10000 + 600);
    }
    static ParkCandidate candidate(uint32_t stand, uint32_t offset, std::string cs1 = "KLM7")
    {
        return {stand, offset, "DLH", "A320", std::move(cs1), "", "D-X", 1};
    }
};

} // namespace

TEST_F(StaticAdjustments, StandingAndWaitingAircraftAreComparedByTheAgeOfTheirFit)
{
    const struct {
        const char* name;
        int64_t now, staticFit;
        const char* hours;
        ParkCandidate waiting;
        const char* outcome; // "plan" or "removed", then the candidates left
    } rows[] = {
        {"same flight", lf_tow(3, 20), lf_tow(3, 20), "14:22", candidate(1, 3, "DLH100"), "plan 0"},
        {"later candidate", lf_tow(3, 20), lf_tow(3, 17), "14:22", candidate(1, 2), "removed 1"},
        {"equal fits", lf_tow(3, 20), lf_tow(3, 17), "14:22", candidate(1, 3), "plan 0"},
        {"later standing", lf_tow(3, 20), lf_tow(3, 19), "14:22", candidate(1, 3), "plan 0"},
        {"candidate after Monday 00:00", lf_tow(1, 0), lf_tow(7, 47), "14:22", candidate(1, 0), "removed 1"},
        {"standing after Monday 00:00", lf_tow(1, 0), lf_tow(1, 0), "14:22", candidate(1, 1), "plan 0"},
        {"touching neighbour candidate", lf_tow(3, 20), lf_tow(3, 19), "14:22", candidate(2, 0), "removed 1"},
        {"callsign to avoid", lf_tow(3, 20), lf_tow(3, 20), "14:22", candidate(2, 0), "removed 1"},
        {"flight in the window", lf_tow(3, 20), lf_tow(3, 18), "14:22", candidate(2, 0), "plan 1"},
        {"flight yesterday in the window", lf_tow(4, 1), lf_tow(3, 47), "40:47", candidate(2, 0), "plan 1"},
        {"flight outside the window", lf_tow(3, 30), lf_tow(3, 18), "14:22", candidate(2, 0), "removed 1"},
    };
    g_halfWingspans["B77W"] = 1.0; // reaches the neighbouring stand
    enginetest::catalogue().liveries["B77W"] = "B77W livery";
    for (const auto& row : rows) {
        const std::string name = row.name;
        twoStands(3, row.hours);
        if (name.starts_with("touching"))
            g_parkStands[0].adjacent = {2};
        g_callsignsToAvoid.clear();
        if (name.starts_with("callsign"))
            g_callsignsToAvoid.insert("DLH101");
        g_lastRealFit = name.ends_with("window") ? 3 : 0;
        g_lastSoftFit = -1;
        staticAt(1, row.staticFit, name.starts_with("touching") ? "B77W" : "A320");
        g_addingStack = {row.waiting};
        g_staticPlan.clear();
        g_staticRemovals.clear();
        lf_compareStaticWithPlan(row.now);
        EXPECT_EQ(fmt::format("{} {}", g_staticPlan.empty() ? "removed" : "plan", g_addingStack.size()), row.outcome) << name;
        EXPECT_EQ(g_staticPlan.size() + g_staticRemovals.size(), 1u) << name;
    }
    g_halfWingspans.erase("B77W");
}

// The simulator may take up to 30 s to bind a static: one sent but not bound yet is weighed
// against the plan as one standing, and a removal of it lets the candidate wait for it
// rather than be refused beside it.
TEST_F(StaticAdjustments, AStaticTheSimulatorHasNotBoundYetIsWeighedAsOneStanding)
{
    const struct {
        const char* name;
        int64_t staticFit;
        ParkCandidate waiting;
        const char* outcome; // as for one standing
    } rows[] = {
        {"same flight", lf_tow(3, 20), candidate(1, 3, "DLH100"), "plan 0"},
        {"later candidate", lf_tow(3, 17), candidate(1, 2), "removed 1"},
        {"later standing", lf_tow(3, 19), candidate(1, 3), "plan 0"},
    };
    for (const auto& row : rows) {
        twoStands(3, "14:22");
        emptyEngine();
        g_timeOfWeek = row.staticFit;
        g_addingStack = {{1, 0, "DLH", "A320", "DLH100", "DLH101", "D-AIAB", 1}};
        lf_createStaticFromStack();
        g_staticCreateDeque.clear();
        ASSERT_EQ(g_staticAcs.size(), 1u) << row.name;
        ASSERT_EQ(g_staticAcs[0].status, SimStatus::Adding2Sim) << row.name;
        g_addingStack = {row.waiting};
        g_staticPlan.clear();
        g_staticRemovals.clear();
        lf_compareStaticWithPlan(lf_tow(3, 20));
        EXPECT_EQ(fmt::format("{} {}", g_staticPlan.empty() ? "removed" : "plan", g_addingStack.size()), row.outcome)
            << row.name;
    }

    // KLM7 placed three half hours ago: the renewal takes it out for DLH100 fitting now,
    // whose creation waits for it.
    twoStands(3, "14:22");
    emptyEngine();
    g_timeOfWeek = lf_tow(3, 17);
    g_addingStack = {candidate(1, 0)};
    lf_createStaticFromStack();
    g_staticCreateDeque.clear();
    g_timeOfWeek = lf_tow(3, 20);
    MAX_PARK_SEL.value = 1;
    gf_parkingAdjustments();
    ASSERT_EQ(g_staticAcs.size(), 1u);
    EXPECT_TRUE(g_staticAcs[0].removeWhenCreated);
    ASSERT_EQ(g_addingStack.size(), 1u);
    EXPECT_EQ(g_addingStack[0].callsign1, "DLH100");
    lf_createStaticFromStack();
    EXPECT_EQ(g_addingStack.size(), 1u);
    EXPECT_FALSE(log_.contains("no static parking for"));
}

TEST_F(StaticAdjustments, ACoupledFlightEndingNowIsRemovedAndQueuedAgainWithTheSameTexts)
{
    const struct {
        int64_t now;
        const char* hours;
        uint32_t day, nextDay;
        bool requeued;
    } rows[] = {
        {lf_tow(3, 20), "14:20", 3, 0, true},
        {lf_tow(3, 20), "14:22", 3, 0, false},
        {lf_tow(3, 47), "40:47", 3, 0, true},
        {lf_tow(3, 47), "40:47", 3, 4, false},
        {lf_tow(7, 47), "40:47", 7, 1, false},
        {lf_tow(7, 47), "40:47", 7, 2, true},
    };
    MAX_PARK_SEL.value = 1;
    for (const auto& row : rows) {
        twoStands(row.day, row.hours, row.nextDay);
        g_timeOfWeek = row.now;
        staticAt(1, lf_shiftBack(row.now, 2));
        gf_parkingAdjustments();
        EXPECT_EQ(message(), row.requeued ? "Parking adjustments: 1 to be removed, 1 to be added\n"
                                          : "Parking adjustments: 0 to be removed, 0 to be added\n");
        if (!row.requeued)
            continue;
        EXPECT_EQ(enginetest::gf_removing(), std::vector<std::string>{"DLH100*"});
        ASSERT_EQ(g_addingStack.size(), 1u);
        const ParkCandidate& c = g_addingStack.back();
        EXPECT_EQ(fmt::format("{} {} {} {} {} {} {}", c.standNumber, c.fitOffset, c.airline, c.aircraftType,
                              c.callsign1, c.callsign2, c.registration),
                  "1 2 DLH A320 DLH100 DLH101 D-AIAB");
        enginetest::gf_confirmRemovals();
        uint32_t object = 700;
        EXPECT_EQ(enginetest::gf_createStaticsFromStack(object), 1u);
        ASSERT_EQ(g_staticAcs.size(), 1u);
        EXPECT_EQ(g_staticAcs.back().callsign, "DLH101*");
        EXPECT_EQ(g_staticAcs.back().parkedTimeOfWeek, lf_shiftBack(row.now, 2));
    }
}

TEST_F(StaticAdjustments, SurplusLiveParkedAreRemovedAndWantedZeroEmptiesTheAirport)
{
    twoStands(3, "14:22", 0, 3);
    const auto airport = [] {
        staticAt(1, lf_tow(3, 19));
        parkedLive(10001, "KLM1", 2);
        parkedLive(10002, "KLM2", 3);
    };
    airport();
    MAX_PARK_SEL.value = 1;
    gf_parkingAdjustments();
    EXPECT_TRUE(log_.contains("Parking adjustments: 1 more live ac than wanted"));
    const std::vector<std::string> removing = enginetest::gf_removing();
    EXPECT_EQ(removing.size() == 2 ? removing.front() : "", "DLH100*");
    EXPECT_EQ(message(), "Parking adjustments: 1 to be removed, 0 to be added\n");

    airport();
    MAX_PARK_SEL.value = 0;
    gf_parkingAdjustments();
    EXPECT_EQ(enginetest::gf_removing(), (std::vector<std::string>{"DLH100*", "KLM1", "KLM2"}));
}

TEST_F(StaticAdjustments, AWeekOfAdjustmentsNeverExceedsTheWantedCountNorDoublesAStandOrAFlight)
{
    WEEK.value = true;
    PARK_SOFT.value = true;
    parking_percentage.value = 40;
    g_parkStands = synth::makeAirport({.seed = 11, .stands = 30, .flightsPerStand = 12, .standsPerRow = 6});
    parkedLive(10001, g_parkStands[0].flights[0].cs1, 1);
    parkedLive(10002, g_parkStands[9].flights[0].cs1, 10);
    g_reservedStandId = "S4";
    size_t most = 0;
    uint32_t object = 5000;
    for (int32_t minute = 0; minute < 7 * 24 * 60; minute += 20) {
        g_timeOfWeek = lf_tow(static_cast<uint32_t>(minute / 1440 + 1), static_cast<uint32_t>(minute % 1440 / 30));
        gf_parkingAdjustments();
        enginetest::gf_confirmRemovals();
        enginetest::gf_createStaticsFromStack(object);
        std::set<uint32_t> stands;
        std::set<std::string> texts;
        for (const LiveAc& ac : g_liveAcs) {
            stands.insert(ac.standNumber);
            texts.insert(ac.callsign);
        }
        for (const StaticAc& s : g_staticAcs) {
            EXPECT_TRUE(stands.insert(s.standNumber).second) << minute << " stand " << s.standNumber;
            EXPECT_NE(s.standNumber, 4u);
            const std::string shown = s.callsign.substr(0, s.callsign.size() - 1);
            EXPECT_TRUE(texts.insert(shown).second) << minute << " " << shown;
            EXPECT_TRUE(texts.insert(s.registration).second) << minute << " " << s.registration;
        }
        ASSERT_LE(g_staticAcs.size() + g_liveAcs.size(), static_cast<size_t>(g_wantedParkedCount)) << minute;
        most = std::max(most, g_staticAcs.size());
    }
    EXPECT_GE(most, 8u);
}
