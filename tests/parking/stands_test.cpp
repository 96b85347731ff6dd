#include <gtest/gtest.h>

#include <fmt/format.h>

#include "foundation/geo.h"
#include "parking/half_hours.h"
#include "parking/park_airport_file.h"
#include "parking/static_parking.h"
#include "support/test_support.h"

namespace {

std::string lf_slots(const HalfHours& hours)
{
    std::string text;
    for (uint32_t s = 0; s < g_slotsPerDay; ++s)
        text += hours.test(s) ? fmt::format("{} ", s) : "";
    return text;
}

HalfHours lf_set(std::initializer_list<uint32_t> slots)
{
    HalfHours hours;
    for (const uint32_t s : slots)
        hours.set(s);
    return hours;
}

} // namespace

TEST(HalfHours, TextsReadAsRangesOrListsProblemsAreLoggedAndSetsWriteBackAsTheReaderTakesThem)
{
    const std::vector<std::tuple<std::string, std::string, std::string>> rows = {
        {"10:14", "10 11 12 13 14 ", ""},
        {" 10 : 14 ", "10 11 12 13 14 ", ""},
        {"14:10", "", "==> gf_hours2bitset descending range not allowed (14:10 in 14:10)"},
        {"3:4:5", "", "==> gf_hours2bitset more than one colon char in: 3:4:5"},
        {"1,2,x,4", "1 2 4 ", "==> operator () invalid hour 'x' in 1,2,x,4"},
        {"5", "5 ", ""},
        {"", "", ""},
        {"48", "", "==> operator () invalid hour '48' in 48"},
        {"-1", "", "==> operator () invalid hour '-1' in -1"},
        {"0:47", lf_slots(HalfHours().set()), ""},
    };
    for (const auto& [text, slots, logged] : rows) {
        tavtest::LogCapture log;
        EXPECT_EQ(lf_slots(gf_hours2bitset(text)), slots) << text;
        std::vector<std::string> errors;
        for (const std::string& line : log.lines()) {
            if (line.find("==> ") != std::string::npos)
                errors.push_back(line.substr(line.find("==> ")));
        }
        EXPECT_EQ(errors, logged.empty() ? std::vector<std::string>{} : std::vector<std::string>{logged}) << text;
    }
    const std::vector<std::pair<HalfHours, std::string>> written = {
        {lf_set({3, 4, 5}), "3:5"}, {lf_set({7}), "7"}, {lf_set({1, 3}), "1,3"}, {lf_set({1, 2, 5, 47}), "1,2,5,47"}};
    for (const auto& [hours, text] : written) {
        EXPECT_EQ(gf_bitset2hours(hours), text);
        EXPECT_EQ(gf_hours2bitset(text), hours);
    }
    EXPECT_EQ(gf_bitset2hours(HalfHours()), std::nullopt);
    HalfHours hours;
    EXPECT_THROW(gf_setSlot(hours, 48), std::out_of_range);
}

TEST(HalfHours, FitStepsGiveTheHoursOfTheListAndRecentSlotsStepBackOverMidnight)
{
    const std::vector<std::pair<int32_t, float>> rows = {{-3, 0.5f}, {0, 0.5f}, {1, 1.0f}, {9, 5.0f}, {10, 6.0f},
                                                         {21, 11.0f}, {22, 12.0f}, {25, 12.0f}, {26, 15.0f},
                                                         {43, 21.0f}, {44, 24.0f}, {47, 24.0f}};
    for (const auto& [step, hours] : rows)
        EXPECT_EQ(gf_fitStepHours(step), hours) << step;
    EXPECT_EQ(gf_recentSlots(gf_timeOfWeek(1, 1), 3), (std::vector<uint32_t>{1, 0, 47}));
    EXPECT_EQ(gf_recentSlots(gf_timeOfWeek(3, 20), 1), (std::vector<uint32_t>{20}));
    EXPECT_TRUE(gf_recentSlots(gf_timeOfWeek(3, 20), 0).empty());
}

TEST(Stands, OverlapIsStrictlyAboveOneTenthMoreThanTheDistanceAndListsRunInTableOrder)
{
    const GeoPos a{50.0, 8.0};
    const GeoPos b{50.0005, 8.0};
    const double exactSumMetres = 1.1 * gf_distanceNm(a, b) / g_metresToNm;
    for (const auto& [sumMetres, adjacent] : {std::pair{exactSumMetres * (1 - 1e-9), false}, {exactSumMetres * 1.001, true}}) {
        std::vector<ParkStand> table;
        gf_addParkStand(table, "A", {}, {a.latitude, a.longitude, 0.0}, sumMetres / 2, true, true, true);
        gf_addParkStand(table, "B", {}, {b.latitude, b.longitude, 0.0}, sumMetres / 2, true, true, true);
        gf_numberAndLinkStands(table);
        EXPECT_EQ(table[0].adjacent, adjacent ? std::vector<uint32_t>{2} : std::vector<uint32_t>{});
        EXPECT_EQ(table[1].adjacent, adjacent ? std::vector<uint32_t>{1} : std::vector<uint32_t>{});
    }
    // Same place for three, one far: each lists the others, never itself, in table order.
    std::vector<ParkStand> table;
    for (const char* id : {"C", "A", "B"})
        gf_addParkStand(table, id, {}, {1.0, 1.0, 0.0}, 10.0, false, false, false);
    gf_addParkStand(table, "D", {}, {1.01, 1.0, 0.0}, 10.0, false, false, false);
    gf_numberAndLinkStands(table);
    EXPECT_EQ(table[0].adjacent, (std::vector<uint32_t>{2, 3}));
    EXPECT_EQ(table[1].adjacent, (std::vector<uint32_t>{1, 3}));
    EXPECT_EQ(table[3].number, 4u);
    EXPECT_TRUE(table[3].adjacent.empty());
    EXPECT_TRUE(table[0].cargo && table[0].ramp && table[0].heli);
    EXPECT_DOUBLE_EQ(table[0].radius, 10.0 * 0.0005399568034557236);
}

TEST(Quality, FactorsWeighEveryStandAndCountNumberedEntriesOnly)
{
    const auto stand = [](std::vector<StandFlight> flights) {
        return ParkStand("S", std::move(flights), {1.0, 1.0, 0.0}, 20.0, false, false, false);
    };
    const auto flight = [](uint32_t number, uint32_t real, uint32_t day, HalfHours hours) {
        return StandFlight{"", "", "", "", "", hours, number, day, 0, real};
    };
    std::vector<ParkStand> table;
    EXPECT_EQ(gf_qualityFactors(table), std::pair(-1, -1));
    table.push_back(stand({}));
    EXPECT_EQ(gf_qualityFactors(table), std::pair(-1, -1));
    table.clear();
    table.push_back(stand({flight(1, 1, 3, lf_set({10})), flight(0, 0, 3, lf_set({10}))}));
    EXPECT_EQ(gf_qualityFactors(table), std::pair(63, 0));
    // An empty stand halves the factor; a day outside 1..7 counts its entry and bits only.
    table.push_back(stand({}));
    table.push_back(stand({flight(1, 0, 9, lf_set({1, 2}))}));
    EXPECT_EQ(gf_qualityFactors(table), std::pair(21, 21));

    const std::vector<std::tuple<std::pair<int32_t, int32_t>, std::string>> texts = {
        {{-1, -1}, "  "}, {{44, 7}, "44/ 7"}, {{45, 7}, "45"}, {{3, 0}, " 3/ 0"}};
    for (const auto& [quality, text] : texts) {
        g_parkQuality = quality;
        EXPECT_EQ(gf_qualityText(), text);
    }
    g_parkQuality = {0, 0};
}
