#include <gtest/gtest.h>

#include <fmt/format.h>

#include "parking/half_hours.h"
#include "parking/stand_learning.h"
#include "support/test_support.h"
#include "ui/window_state.h"

namespace {

const LearningAircraft kPlain{"DLH", "A320", "DLH400_", false, TypeCategory::Large};

std::string lf_flights(const std::vector<StandFlight>& flights)
{
    std::string text;
    for (const StandFlight& f : flights)
        text += fmt::format("#{} d{} {} {} {} {}:{} [{}] ", f.number, f.day, f.reg, f.airl, f.type, f.cs1, f.cs2,
                            gf_bitset2hours(f.hours).value_or(""));
    return text;
}

} // namespace

TEST(StandLearning, AStayGrowsWithinTheGapLimitOfItsAircraft)
{
    struct Row {
        LearningAircraft aircraft;
        uint32_t largestGap;
    };
    const std::vector<Row> rows = {
        {kPlain, 5},
        {{"DLH", "B744", "DLH400", false, TypeCategory::Heavy}, 7},
        {{"BOX", "B77L", "BOX1", true, TypeCategory::Heavy}, 11},
    };
    for (const Row& row : rows) {
        for (uint32_t gap = 1; gap <= row.largestGap + 1; ++gap) {
            std::vector<StandFlight> flights;
            const StandOptionResult added =
                gf_addStandOption(flights, row.aircraft, gf_timeOfWeek(2, 10), row.aircraft.callsign, "D-XYZ", false);
            StandLearning learning{gf_timeOfWeek(2, 10), added.number};
            const bool extended = lf_learnStandOccupancy(gf_timeOfWeek(2, 10 + gap), flights, added.number, learning,
                                                         row.aircraft, "D-XYZ", false);
            EXPECT_EQ(extended, gap <= row.largestGap) << row.aircraft.type << " gap " << gap;
            if (extended) {
                EXPECT_EQ(gf_bitset2hours(flights[0].hours), fmt::format("10:{}", 10 + gap));
            }
        }
    }
}

TEST(StandLearning, AStayOverMidnightEndsSundaysFlightAndStartsMondays)
{
    tavtest::LogCapture log;
    gf_setStandUpdates(0);
    std::vector<StandFlight> flights;
    EXPECT_FALSE(gf_addStandOption(flights, kPlain, gf_timeOfWeek(7, 46), "X", "", false).added);
    const StandOptionResult sunday = gf_addStandOption(flights, kPlain, gf_timeOfWeek(7, 46), "DLH400_", "D-XYZ", true);
    ASSERT_TRUE(sunday.added);
    EXPECT_FALSE(gf_addStandOption(flights, kPlain, gf_timeOfWeek(7, 46), "DLH400", "D-XYZ", false).added);
    StandLearning learning{gf_timeOfWeek(7, 46), sunday.number};
    EXPECT_TRUE(lf_learnStandOccupancy(gf_timeOfWeek(7, 46), flights, sunday.number, learning, kPlain, "D-XYZ", false));
    EXPECT_TRUE(
        lf_learnStandOccupancy(gf_timeOfWeek(1, 1), flights, sunday.number, learning, kPlain, "D-XYZ", false));
    EXPECT_EQ(fmt::format("{}{:d} {} {} {} {}", lf_flights(flights), flights[0].cpl, learning.number,
                          learning.lastTimeOfWeek == gf_timeOfWeek(1, 1), g_standUpdates, gf_windowState().parkFileUpdates),
              "#1 d7 D-XYZ DLH A320 DLH400: [46:47] #2 d1 D-XYZ DLH A320 DLH400: [0:1] 1 2 true 2 2");
}

TEST(StandLearning, CallsignsFillTheFirstPartThenTheSecondAndBadSlotsAreRefused)
{
    tavtest::LogCapture log;
    std::vector<StandFlight> flights;
    gf_addStandOption(flights, {"", "", "", false, TypeCategory::Other}, gf_timeOfWeek(3, 5), "", "N1", false);
    for (const char* cs : {"", "AAL1_", "AAL1", "AAL2", "AAL3"})
        gf_findStandOption(flights, 1, cs);
    gf_findStandOption(flights, 0, "ZZZ");
    EXPECT_EQ(flights[0].cs1 + ":" + flights[0].cs2, "AAL1:AAL3");

    EXPECT_FALSE(updateOptions(flights, {6, 7}, 9) || updateOptions(flights, {48, 6}, 1));
    EXPECT_TRUE(log.contains("==> updateOptions exception:invalid bitset position"));
    EXPECT_FALSE(updateOptionsWrapped(flights, {1, 0, 47}, 1, 9) || updateOptionsWrapped(flights, {1, 0, 47}, 9, 1) ||
                 updateOptionsWrapped(flights, {1, 50, 47}, 1, 1));
    EXPECT_TRUE(log.contains("==> updateOptionsWrapped exception:invalid bitset position"));
}
