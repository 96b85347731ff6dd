#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "foundation/time_text.h"

namespace {
constexpr int64_t kMonday = 1796601600; // Mon Dec 07 00:00:00 2026 UTC
constexpr int64_t kYear3001 = 32535216000;
} // namespace

TEST(TimeText, GivesUtcTextsWithTheProgramsMonthNamesAndInvalidOutside1970To3000)
{
    EXPECT_EQ(gf_timeText(0), "Thu Jan 01 00:00:00 1970");
    EXPECT_EQ(gf_timeText(kMonday), "Mon Dec 07 00:00:00 2026");
    EXPECT_EQ(gf_timeText(1791184089), "Mon Okt 05 07:08:09 2026");
    EXPECT_EQ(gf_timeText(1709251199), "Thu Feb 29 23:59:59 2024");
    EXPECT_EQ(gf_timeText(kYear3001 - 1), "Wed Dec 31 23:59:59 3000");
    for (const int64_t bad : {int64_t{-1}, kYear3001, std::numeric_limits<int64_t>::max()})
        EXPECT_EQ(gf_timeText(bad), "Invalid time") << bad;
}

TEST(TimeOfWeek, SlotBoundaryLiesAt29Minutes30SecondsAndPackingMarksFailures)
{
    const struct {
        int64_t t;
        int32_t weekday, slot;
    } cases[] = {
        {kMonday, 1, 0},
        {kMonday + 10 * 3600 + 29 * 60 + 29, 1, 20},
        {kMonday + 10 * 3600 + 29 * 60 + 30, 1, 21},
        {kMonday + 10 * 3600 + 59 * 60 + 59, 1, 21},
        {kMonday + 23 * 3600 + 59 * 60 + 59, 1, 47},
        {kMonday - 1, 7, 47}, // Sunday 23:59:59
    };
    for (const auto& c : cases) {
        const WeekdayAndSlot ws = gf_weekdayAndSlotOf(c.t);
        EXPECT_EQ(ws.weekday, c.weekday) << gf_timeText(c.t);
        EXPECT_EQ(ws.slot, c.slot) << gf_timeText(c.t);
    }
    const int64_t packed = gf_packTimeOfWeek({3, 21});
    EXPECT_EQ(packed & 0xFFFFFFFF, 3);
    EXPECT_EQ(packed >> 32, 21);
    EXPECT_EQ(gf_packTimeOfWeek(gf_weekdayAndSlotOf(-5)), -1);
}

TEST(TrafficTime, FollowsPlausibleTimestampsOfProfessionalTrafficOnly)
{
    const int64_t now = gf_nowSeconds();
    const int64_t lastYear = now - 365 * 86400;
    g_trafficLastTimestamp = static_cast<double>(lastYear) + 0.75;
    EXPECT_NEAR(static_cast<double>(gf_trafficTime()), static_cast<double>(now), 5.0); // not professional
    g_rtProfessional = true;
    EXPECT_EQ(gf_trafficTime(), lastYear);
    EXPECT_EQ(gf_weekdayAndSlot(), gf_packTimeOfWeek(gf_weekdayAndSlotOf(lastYear)));
    g_trafficLastTimestamp = static_cast<double>(now + 3 * 86400); // a PC clock days behind
    EXPECT_EQ(gf_trafficTime(), now + 3 * 86400);
    // Timestamps from the network that cannot be a traffic time fall back to the PC clock.
    for (double bad : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity(), 1e300, 4102444800.0,
                       12.0}) {
        g_trafficLastTimestamp = bad;
        EXPECT_NEAR(static_cast<double>(gf_trafficTime()), static_cast<double>(gf_nowSeconds()), 5.0) << bad;
        EXPECT_EQ(gf_simHms().size(), 8u);
    }
    g_rtProfessional = false;
    g_trafficLastTimestamp = 0.0;
}
