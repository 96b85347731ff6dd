#include "foundation/time_text.h"

#include <chrono>
#include <cmath>
#include <optional>

#include <fmt/format.h>

std::atomic<bool> g_rtProfessional{false};
std::atomic<double> g_trafficLastTimestamp{0.0};

namespace {

constexpr const char* kWeekdays[] = {"???", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr const char* kMonths[] = {"???", "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Okt", "Nov", "Dec"};
// The range the Windows C runtime converts (_gmtime64: 1970 to the end of 3000).
constexpr int64_t kLastConvertible = 32535215999;
// Traffic times are taken between these dates; the traffic time may follow RealTraffic's
// clock, so the PC clock is no bound.
constexpr double kYear2000 = 946684800.0;
constexpr double kYear2100 = 4102444800.0;

struct UtcTime {
    int32_t year, month, day, hour, minute, second, weekday;
};

std::optional<UtcTime> lf_toUtc(int64_t t)
{
    if (t < 0 || t > kLastConvertible)
        return std::nullopt;
    const int64_t days = t / 86400;
    const int64_t secs = t % 86400;
    // Civil date from days since 1970-01-01 (Howard Hinnant's algorithm).
    const int64_t z = days + 719468;
    const int64_t era = z / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    UtcTime u{};
    u.year = static_cast<int32_t>(y);
    u.month = static_cast<int32_t>(m);
    u.day = static_cast<int32_t>(d);
    u.hour = static_cast<int32_t>(secs / 3600);
    u.minute = static_cast<int32_t>(secs / 60 % 60);
    u.second = static_cast<int32_t>(secs % 60);
    // 1970-01-01 was a Thursday (4 when Monday is 1).
    u.weekday = static_cast<int32_t>((days + 3) % 7 + 1);
    return u;
}

const char* lf_name(const char* const* names, int32_t count, int32_t index)
{
    return index >= 1 && index <= count ? names[index] : names[0];
}

} // namespace

int64_t gf_nowSeconds()
{
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

std::string gf_timeText(int64_t t)
{
    const auto u = lf_toUtc(t);
    if (!u)
        return "Invalid time";
    return fmt::format("{:3} {:3} {:02} {:02}:{:02}:{:02} {:4}", lf_name(kWeekdays, 7, u->weekday),
                       lf_name(kMonths, 12, u->month), u->day, u->hour, u->minute, u->second, u->year);
}

namespace {
// Cuts the clock out of a time text; a text of another shape gives a placeholder
// rather than an exception on whatever thread asked.
std::string lf_clockOf(const std::string& text)
{
    if (text.size() != 24)
        return "--:--:--";
    return text.substr(text.size() - 13, 8);
}
} // namespace

std::string gf_clockHms()
{
    return lf_clockOf(gf_timeText(gf_nowSeconds()));
}

std::string gf_simHms()
{
    return lf_clockOf(gf_timeText(gf_trafficTime()));
}

std::string gf_dateText()
{
    const std::string text = gf_timeText(gf_nowSeconds());
    if (text.size() != 24)
        return "???";
    return text.substr(4, 6) + ", " + text.substr(20, 4);
}

bool gf_isPlausibleTimestamp(double t)
{
    return t >= kYear2000 && t < kYear2100; // false for NaN too
}

int64_t gf_trafficTime()
{
    const int64_t now = gf_nowSeconds();
    if (g_rtProfessional.load()) {
        const double ts = g_trafficLastTimestamp.load();
        if (gf_isPlausibleTimestamp(ts))
            return static_cast<int64_t>(ts);
    }
    return now;
}

WeekdayAndSlot gf_weekdayAndSlotOf(int64_t t)
{
    const auto u = lf_toUtc(t);
    if (!u)
        return {};
    int32_t slot = 2 * u->hour;
    if (u->minute > 29 || (u->minute == 29 && u->second >= 30))
        slot += 1;
    return {u->weekday, slot % 48};
}

int64_t gf_packTimeOfWeek(WeekdayAndSlot ws)
{
    const uint64_t low = static_cast<uint32_t>(ws.weekday);
    const uint64_t high = static_cast<uint32_t>(ws.slot);
    return static_cast<int64_t>((high << 32) | low);
}

int64_t gf_weekdayAndSlot()
{
    return gf_packTimeOfWeek(gf_weekdayAndSlotOf(gf_trafficTime()));
}
