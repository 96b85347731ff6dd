// The wanted count and the full static calculation over the fit steps and modes.
#include "parking/static_parking_fixture.h"

using statictest::StaticParkingTest;

namespace {

// The search's calls as "kind dayRule:largest offset" per mode, in order.
struct SearchRecord {
    static inline std::string modes;
    static inline size_t found = 0;
    static void search(int64_t now, uint32_t kind, uint32_t dayRule, int32_t offset, std::vector<ParkCandidate>& out)
    {
        const size_t before = out.size();
        lf_searchStands(now, kind, dayRule, offset, out);
        found += out.size() - before;
        if (offset == 0)
            modes += fmt::format("{}{}{}:0", modes.empty() ? "" : " ", kind, dayRule);
        else
            modes.replace(modes.rfind(':') + 1, std::string::npos, std::to_string(offset));
    }
};

class StaticCalculation : public StaticParkingTest {
protected:
    StaticCalculation()
    {
        g_standSearchSeam.searchStands = &SearchRecord::search;
        SearchRecord::modes.clear();
        SearchRecord::found = 0;
    }
    static std::string stackText()
    {
        std::string text;
        for (const ParkCandidate& c : g_addingStack)
            text += fmt::format("{}/{} ", c.standNumber, c.fitOffset);
        return text;
    }
    static size_t takenCount()
    {
        return static_cast<size_t>(std::count_if(g_parkStands.begin(), g_parkStands.end(),
                                                 [](const ParkStand& s) { return s.taken; }));
    }
};

} // namespace

TEST_F(StaticCalculation, TheWantedCountFollowsTheLimitThePercentageAndTheStands)
{
    const struct {
        int32_t most, percentage, custom, stands;
        int64_t wanted;
        int32_t shownPercent;
    } rows[] = {
        {0, 30, -1, 10, 0, 30},  {500, 30, -1, 0, 1, 0},   {500, 30, -1, 1, 1, 100}, {500, 45, -1, 2, 1, 50},
        {500, 45, -1, 3, 1, 33}, {500, 50, -1, 3, 2, 67},  {500, 30, -1, 4, 1, 25},  {500, 30, -1, 5, 2, 40},
        {500, 30, 0, 4, 0, 0},   {500, 100, 0, 3, 1, 33},  {10, 100, -1, 40, 10, 25}, {500, 5, 75, 40, 30, 75},
    };
    for (const auto& row : rows) {
        MAX_PARK_SEL.value = row.most;
        parking_percentage.value = row.percentage;
        CUSTOM_PARKING_PERCENTAGE.value = row.custom;
        g_parkStands = synth::makeAirport({.stands = row.stands, .standsPerRow = 1});
        EXPECT_EQ(gf_wantedStaticCount(), row.wanted) << row.stands << " " << row.percentage;
        EXPECT_EQ(gf_windowState().maxParkCount, row.wanted);
        EXPECT_EQ(gf_windowState().parkingPercentShown, row.shownPercent);
        EXPECT_EQ(g_wantedParkedCount, row.wanted);
    }
    MAX_PARK_SEL.value = 0;
    gf_calculateStaticParking();
    EXPECT_EQ(SearchRecord::modes, "");
    EXPECT_TRUE(log_.contains("no parking positions found"));
    EXPECT_FALSE(g_settingControlsDisabled);
}

TEST_F(StaticCalculation, ModesRunInTheirOrderAsTheSettingsAllowEachOverAllItsFitSteps)
{
    const struct {
        bool week, soft;
        int32_t maxFit;
        const char* modes;
    } rows[] = {
        {false, false, 47, "11:47"},
        {true, false, 47, "11:47 10:47"},
        {false, true, 47, "11:47 01:47"},
        {true, true, 47, "11:47 10:47 01:47 00:47"},
        {true, true, 0, "11:0 10:0 01:0 00:0"},
    };
    parking_percentage.value = 100;
    for (const auto& row : rows) {
        WEEK.value = row.week;
        PARK_SOFT.value = row.soft;
        MAX_FIT.value = row.maxFit;
        SearchRecord::modes.clear();
        SearchRecord::found = 0;
        g_parkStands = synth::makeAirport({.stands = 60, .flightsPerStand = 30});
        gf_calculateStaticParking();
        EXPECT_EQ(SearchRecord::modes, row.modes);
        // Short of the count, every candidate found is kept, the last step's too.
        EXPECT_EQ(g_addingStack.size(), SearchRecord::found);
        EXPECT_EQ(takenCount(), SearchRecord::found);
    }
    for (const char* mode : {"real position", "week/real position", "soft position", "week/soft position"})
        EXPECT_TRUE(log_.contains(mode)) << mode;
    EXPECT_TRUE(log_.contains("(utc) It is day 3 (Wed), 11.0 hours"));
}

TEST_F(StaticCalculation, TheWantedCountIsMetWithTheBestFitsFirstAndTheUsersStandsFree)
{
    WEEK.value = true;
    PARK_SOFT.value = true;
    parking_percentage.value = 80;
    CUSTOM_PARKING_PERCENTAGE.value = 30;
    g_parkStands = synth::makeAirport({.seed = 3, .stands = 40, .flightsPerStand = 30, .standsPerRow = 1});
    g_reservedStandId = "S3";
    userAtStand(g_parkStands[4]);
    gf_calculateStaticParking();
    ASSERT_EQ(g_addingStack.size(), 12u);
    EXPECT_EQ(takenCount(), 12u);
    EXPECT_TRUE(log_.contains("12 positions (30% vs wanted 30%, with Max fit=24.0 hours)"));
    uint32_t previous = 0;
    while (!g_addingStack.empty()) {
        const ParkCandidate& next = g_addingStack.back();
        EXPECT_NE(next.standNumber, 3u);
        EXPECT_NE(next.standNumber, 5u);
        EXPECT_GE(next.fitOffset, previous);
        previous = next.fitOffset;
        lf_createStaticFromStack();
    }
    EXPECT_EQ(g_staticAcs.size(), 12u);
}

TEST_F(StaticCalculation, RandomChoicesDifferBetweenSeedsOnlyWhenRandomIsOn)
{
    const synth::AirportSpec spec{.seed = 5, .stands = 60, .flightsPerStand = 40, .standsPerRow = 1,
                                  .longestStaySlots = 30};
    for (bool random : {false, true}) {
        RANDOM.value = random;
        std::string stacks[2];
        for (uint32_t seed : {1u, 2u}) {
            gf_threadTwister().seed(seed);
            g_parkStands = synth::makeAirport(spec);
            gf_calculateStaticParking();
            ASSERT_EQ(g_addingStack.size(), 18u);
            stacks[seed - 1] = stackText();
        }
        EXPECT_EQ(stacks[0] == stacks[1], !random) << stacks[0];
    }
}

TEST(WeekTime, HalfHoursStepBackOverMidnightAndTheWeekAndAgesCountBackwards)
{
    const auto t = [](uint32_t day, uint32_t slot) { return gf_timeOfWeek(day, slot); };
    EXPECT_EQ(lf_shiftBack(t(1, 0), 1), t(7, 47));
    EXPECT_EQ(lf_shiftBack(t(1, 1), 3), t(7, 46));
    EXPECT_EQ(lf_shiftBack(t(3, 20), 3), t(3, 17));
    EXPECT_EQ(lf_shiftBack(t(7, 47), 335), t(1, 0));
    EXPECT_EQ(lf_weekAge(t(1, 0), t(7, 47)), 1);
    EXPECT_EQ(lf_weekAge(t(1, 0), t(1, 0)), 0);
    EXPECT_EQ(lf_weekAge(t(7, 47), t(1, 0)), 335);
    EXPECT_EQ(lf_weekAge(t(2, 3), t(1, 47)), 4);
}
