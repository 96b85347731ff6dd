#pragma once
// UTC time texts and the time of week (weekday 1..7, half-hour slot 0..47).
#include <atomic>
#include <cstdint>
#include <string>

// RealTraffic reported the professional level: the traffic time then follows the
// timestamps of the received traffic lines rather than the PC clock.
extern std::atomic<bool> g_rtProfessional;
// The traffic reader's last timestamp, seconds since 1970 (0 before the first line).
extern std::atomic<double> g_trafficLastTimestamp;

int64_t gf_nowSeconds();

// "Thu Jan 01 00:00:00 1970"; "Invalid time" outside 1970..3000.
std::string gf_timeText(int64_t t);
// The clock "hh:mm:ss" of now, of the traffic time; the date "Jan 01, 1970" of now.
std::string gf_clockHms();
std::string gf_simHms();
std::string gf_dateText();

// Seconds since 1970 that the time of week and the traffic clock use: the last traffic
// timestamp while RealTraffic is professional and the timestamp is plausible, else now.
int64_t gf_trafficTime();
// A timestamp from the network is taken only from 2000-01-01 to before 2100-01-01 (never
// NaN or infinite); played-back traffic may lie years in the past, and the PC clock may
// run days behind RealTraffic's.
bool gf_isPlausibleTimestamp(double t);

struct WeekdayAndSlot {
    int32_t weekday = -1; // 1 Monday .. 7 Sunday, -1 when the time cannot be converted
    int32_t slot = -1;    // 0..47, the second slot of an hour from hh:29:30
};
WeekdayAndSlot gf_weekdayAndSlotOf(int64_t t);
// Packs slot into the high and weekday into the low 32 bits (-1 halves on failure).
int64_t gf_packTimeOfWeek(WeekdayAndSlot ws);
// The packed time of week of the traffic time, read once.
int64_t gf_weekdayAndSlot();
