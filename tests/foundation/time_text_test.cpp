#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "foundation/time_text.h"

namespace {
// Seconds since 1970 of a UTC date and clock.
int64_t utc(int y, int mo, int d, int h, int mi, int s)
{
    // days from civil, the inverse of the conversion under test, written independently
    y -= mo <= 2;
    const int era = y / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const int64_t days = static_cast<int64_t>(era) * 146097 + doe - 719468;
    return days * 86400 + h * 3600 + mi * 60 + s;
}

struct ProfessionalClock {
    ProfessionalClock(double ts)
    {
        g_rtProfessional = true;
        g_trafficLastTimestamp = ts;
    }
    ~ProfessionalClock()
    {
        g_rtProfessional = false;
        g_trafficLastTimestamp = 0.0;
    }
};
} // namespace

TEST(TimeText, EpochAndMonthNames)
{
    EXPECT_EQ(gf_timeText(0), "Thu Jan 01 00:00:00 1970");
    EXPECT_EQ(gf_timeText(utc(2026, 10, 5, 7, 8, 9)), "Mon Okt 05 07:08:09 2026");
    EXPECT_EQ(gf_timeText(utc(2024, 2, 29, 23, 59, 59)), "Thu Feb 29 23:59:59 2024");
    EXPECT_EQ(gf_timeText(utc(2026, 12, 6, 12, 0, 0)), "Sun Dec 06 12:00:00 2026");
}

TEST(TimeText, TimesThatCannotBeConvertedAreInvalid)
{
    EXPECT_EQ(gf_timeText(-1), "Invalid time");
    EXPECT_EQ(gf_timeText(std::numeric_limits<int64_t>::max()), "Invalid time");
    EXPECT_EQ(gf_timeText(utc(3001, 1, 1, 0, 0, 0)), "Invalid time");
    EXPECT_EQ(gf_timeText(utc(3000, 12, 31, 23, 59, 59)), "Wed Dec 31 23:59:59 3000");
}

TEST(TimeText, CutHelpersGiveClockAndDateOfNow)
{
    const std::string clock = gf_clockHms();
    ASSERT_EQ(clock.size(), 8u);
    EXPECT_EQ(clock[2], ':');
    EXPECT_EQ(clock[5], ':');
    const std::string date = gf_dateText(); // "Dec 06, 2026"
    ASSERT_EQ(date.size(), 12u);
    EXPECT_EQ(date.substr(6, 2), ", ");
}

TEST(TimeOfWeek, SlotBoundaryLiesAt29Minutes30Seconds)
{
    const int64_t monday = utc(2026, 12, 7, 0, 0, 0);
    EXPECT_EQ(gf_weekdayAndSlotOf(monday + 10 * 3600 + 29 * 60 + 29).slot, 20);
    EXPECT_EQ(gf_weekdayAndSlotOf(monday + 10 * 3600 + 29 * 60 + 30).slot, 21);
    EXPECT_EQ(gf_weekdayAndSlotOf(monday + 10 * 3600 + 59 * 60 + 59).slot, 21);
    EXPECT_EQ(gf_weekdayAndSlotOf(monday + 23 * 3600 + 59 * 60 + 59).slot, 47);
    EXPECT_EQ(gf_weekdayAndSlotOf(monday).slot, 0);
    EXPECT_EQ(gf_weekdayAndSlotOf(monday).weekday, 1);
    EXPECT_EQ(gf_weekdayAndSlotOf(monday - 1).weekday, 7); // Sunday 23:59:59
    EXPECT_EQ(gf_weekdayAndSlotOf(monday - 1).slot, 47);
}

TEST(TimeOfWeek, PackingPutsSlotHighAndWeekdayLowAndMarksFailures)
{
    const int64_t packed = gf_packTimeOfWeek({3, 21});
    EXPECT_EQ(packed & 0xFFFFFFFF, 3);
    EXPECT_EQ(packed >> 32, 21);
    EXPECT_EQ(gf_packTimeOfWeek(gf_weekdayAndSlotOf(-5)), -1);
}

TEST(TrafficTime, FollowsPlausibleTimestampsOfProfessionalTrafficOnly)
{
    const int64_t now = gf_nowSeconds();
    const int64_t lastYear = now - 365 * 86400;
    {
        ProfessionalClock clock(static_cast<double>(lastYear) + 0.75);
        EXPECT_EQ(gf_trafficTime(), lastYear);
        EXPECT_EQ(gf_weekdayAndSlot(), gf_packTimeOfWeek(gf_weekdayAndSlotOf(lastYear)));
    }
    g_trafficLastTimestamp = static_cast<double>(lastYear); // not professional
    EXPECT_NEAR(static_cast<double>(gf_trafficTime()), static_cast<double>(now), 5.0);
    g_trafficLastTimestamp = 0.0;
    // Timestamps from the network that cannot be a traffic time fall back to the PC clock.
    for (double bad : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity(), 1e300,
                       static_cast<double>(now + 10 * 86400), 12.0}) {
        ProfessionalClock clock(bad);
        EXPECT_NEAR(static_cast<double>(gf_trafficTime()), static_cast<double>(gf_nowSeconds()), 5.0) << bad;
        EXPECT_EQ(gf_simHms().size(), 8u);
    }
}
