#include <cmath>
#include <random>
#include <tuple>

#include "foundation/settings_catalogue.h"
#include "parking/park_airports.h"
#include "traffic/engine_fixture.h"

namespace enginetest {
namespace {

class IntakeTest : public EngineTest {};

TEST_F(IntakeTest, RepeatedSpikingAndTooFrequentReportsAreDropped)
{
    // Speed and track before, airborne, seconds apart, speed and track now: taken.
    const std::tuple<const char*, double, double, bool, double, double, double, bool> rows[] = {
        {"1.0 s apart", 200, 90, true, 1.0, 200, 120, false},
        {"1.1 s apart", 200, 90, true, 1.1, 200, 120, true},
        {"4 kt then 85 kt", 4, 90, false, 20, 85, 90, false},
        {"6 kt then 59 kt", 6, 90, false, 20, 59, 90, true},
        {"6 kt then 60 kt", 6, 90, false, 20, 60, 90, false},
        {"85 kt then 4 kt", 85, 90, false, 20, 4, 90, false},
        {"240 kt steady after 3.6 s", 240, 90, true, 3.6, 240, 90.5, false},
        {"240 kt steady after 3.7 s", 240, 90, true, 3.7, 240, 90.5, true},
        {"240 kt turning 359 to 1", 240, 359, true, 2.0, 240, 1, true},
        {"240 kt steady across north", 240, 359.8, true, 3.6, 240, 0.2, false},
        {"taxi 10 kt across north after 3.8 s", 10, 359.5, false, 3.8, 10, 0.5, false},
        {"taxi 10 kt turning across north", 10, 359, false, 3.8, 10, 2, true},
        {"taxi 10 kt after 3.8 s", 10, 90, false, 3.8, 10, 91, false},
        {"taxi 10 kt after 4.0 s", 10, 90, false, 4.0, 10, 91, true},
        // A taxi changing its speed is no steady one: where it slowed or sped up is news.
        {"taxi 10 kt then 12.5 kt after 2.0 s", 10, 90, false, 2.0, 12.5, 90.5, false},
        {"taxi 14 kt slowed to 6 kt after 6.0 s", 14, 90, false, 6.0, 6, 90.5, true},
        {"taxi 8 kt sped up to 12 kt after 2.0 s", 8, 90, false, 2.0, 12, 90.5, true},
        {"taxi 8 kt slowed to 4 kt after 4.0 s", 8, 90, false, 4.0, 4, 90.5, false},
        {"standing after 15 s", 0, 90, false, 15.0, 0, 90, false},
        {"standing after 15.1 s", 0, 90, false, 15.1, 0, 90, true},
    };
    for (const auto& [what, gsBefore, trackBefore, airborne, dt, gsNow, trackNow, taken] : rows) {
        g_liveAcs.clear();
        const double alt = airborne ? 20000 : 0;
        LiveAc& ac = buffered(20001, "KLM1", "A320", {sample(52, 4, alt, gsBefore, 3000, airborne)});
        ac.samples.back().track = trackBefore;
        PosSample s = sample(52.01, 4, alt, gsNow, 3100, airborne);
        s.track = trackNow;
        LiveFlightRecord r = record(20001, "KLM1", "A320", s, ac.lastRecordTime + dt);
        gf_applyReceivedRecord(r);
        EXPECT_EQ(g_liveAcs.front().lastRecordTime == r.timestamp, taken) << what;
    }
}

// A taxiing report dropped as too soon after the last is taken after all, before the next,
// where that comes 5 s or more after it: the way between may bend, and the dropped one tells
// where it still ran on along its track. Not so on a push, nor when it lay within the
// reports' jitter of the last.
TEST_F(IntakeTest, ATaxisDroppedReportIsTakenBeforeTheNextWhenThatComesSecondsLater)
{
    constexpr double kDegPerM = 1.0 / 111195.0;
    // Phase, speed, seconds from the dropped report to the next: the dropped one taken.
    const std::tuple<const char*, FlightPhase, double, double, bool> rows[] = {
        {"taxi 10 kt, next 8 s later", FlightPhase::Taxi, 10, 8.0, true},
        {"taxi 10 kt, next 5 s later", FlightPhase::Taxi, 10, 5.0, true},
        {"taxi 10 kt, next 4.9 s later", FlightPhase::Taxi, 10, 4.9, false},
        {"taxi 4 kt, within the jitter, next 8 s later", FlightPhase::Taxi, 4, 8.0, false},
        {"pushed at 10 kt, next 8 s later", FlightPhase::PushingBack, 10, 8.0, false},
    };
    for (const auto& [what, phase, kt, nextS, taken] : rows) {
        g_liveAcs.clear();
        LiveAc& ac = buffered(20001, "KLM1", "A320", {sample(52, 4, 0, kt, 3000, false)});
        ac.phase = phase;
        ac.samples.back().track = 0;
        const double first = ac.lastRecordTime;
        // 3 s on along its track, steady: too soon after the last to be taken on its own.
        const double droppedLat = 52 + kt * 1852.0 / 3600.0 * 3.0 * kDegPerM;
        PosSample dropped = sample(droppedLat, 4, 0, kt, 3300, false);
        LiveFlightRecord r1 = record(20001, "KLM1", "A320", dropped, first + 3.0);
        gf_applyReceivedRecord(r1);
        ASSERT_EQ(g_liveAcs.front().lastRecordTime, first) << what;
        const double nextLat = droppedLat + kt * 1852.0 / 3600.0 * nextS * kDegPerM;
        const auto due = static_cast<uint32_t>(std::lround(3300 + nextS * 100));
        LiveFlightRecord r2 = record(20001, "KLM1", "A320", sample(nextLat, 4, 0, kt, due, false), first + 3.0 + nextS);
        gf_applyReceivedRecord(r2);
        const auto& samples = g_liveAcs.front().samples;
        ASSERT_EQ(samples.size(), taken ? 3u : 2u) << what;
        EXPECT_DOUBLE_EQ(samples.back().latitude, nextLat) << what;
        if (taken) {
            EXPECT_DOUBLE_EQ(samples[1].latitude, droppedLat) << what;
        }
    }
}

// The report that shows a taxiing aircraft stopped tells when and where the stop began,
// however soon it comes; one at rest after another, or a push-back's near the last one, is a
// repeat. A push's report at rest farther on than the reports jitter shows where it ended: a
// push whose reports end there was left without its end, 65 m short.
TEST_F(IntakeTest, TheFirstReportAtRestAfterATaxiIsTakenHoweverSoonItComes)
{
    // Phase, speed before, seconds apart, speed now, metres on: taken.
    const std::tuple<const char*, FlightPhase, double, double, double, double, bool> rows[] = {
        {"taxi 5 kt, at rest 7 s later", FlightPhase::Taxi, 5, 7.0, 0, 1.1, true},
        {"taxi 5 kt, 0.8 kt 7 s later", FlightPhase::Taxi, 5, 7.0, 0.8, 1.1, true},
        {"taxi 5 kt, 2 kt 7 s later", FlightPhase::Taxi, 5, 7.0, 2, 1.1, false},
        {"at rest, at rest 7 s later", FlightPhase::Taxi, 0, 7.0, 0, 1.1, false},
        {"pushed at 3 kt, at rest 7 s later", FlightPhase::PushingBack, 3, 7.0, 0, 1.1, false},
        {"pushed at 3 kt, at rest 7 s later 9 m on", FlightPhase::PushingBack, 3, 7.0, 0, 9.0, false},
        {"pushed at 3 kt, at rest 7 s later 11 m on", FlightPhase::PushingBack, 3, 7.0, 0, 11.0, true},
        {"pushed at 3 kt, at rest 14 s later 60 m on", FlightPhase::PushingBack, 3, 14.0, 0.2, 60.0, true},
    };
    for (const auto& [what, phase, gsBefore, dt, gsNow, metres, taken] : rows) {
        g_liveAcs.clear();
        LiveAc& ac = buffered(20001, "KLM1", "A320", {sample(52, 4, 0, gsBefore, 3000, false)});
        ac.phase = phase;
        ac.samples.back().track = 90;
        PosSample s = sample(52.0 + metres / 111195.0, 4, 0, gsNow, 3700, false);
        s.track = 90;
        LiveFlightRecord r = record(20001, "KLM1", "A320", s, ac.lastRecordTime + dt);
        gf_applyReceivedRecord(r);
        EXPECT_EQ(g_liveAcs.front().lastRecordTime == r.timestamp, taken) << what;
    }
}

// A push's first report at rest comes up to a report's spacing after the tug brought it to
// rest: the stop is due when it really began, no sooner than the firmest braking from the
// last report going back allows, nor later than braking evenly all the way from it to the
// place at rest. That place is the report's own: a push's tracks may give its nose.
TEST_F(IntakeTest, APushsFirstReportAtRestIsDueWhenItsStopBegan)
{
    constexpr double kPushKt = 3.0;
    constexpr double kOnM = 5.0;
    constexpr double kMps = kPushKt * 1852.0 / 3600.0;
    constexpr double kDegPerM = 1.0 / 111195.0;
    // Seconds from the report going back to the one at rest.
    const std::tuple<const char*, FlightPhase, double> rows[] = {
        {"pushing back, at rest 8 s later", FlightPhase::PushingBack, 8.0},
        {"pushing back, at rest 12 s later", FlightPhase::PushingBack, 12.0},
        {"pushing back, at rest 5 s later", FlightPhase::PushingBack, 5.0},
    };
    for (const auto& [what, phase, dt] : rows) {
        g_liveAcs.clear();
        LiveAc& ac = buffered(20001, "KLM1", "A320",
                              {sample(52, 4, 0, 0, 2000, false), sample(52, 4, 0, kPushKt, 3000, false)});
        ac.phase = phase;
        ac.samples.back().track = 180;
        const double lat = 52 - kOnM * kDegPerM;
        const auto due = static_cast<uint32_t>(3000 + dt * 100);
        PosSample s = sample(lat, 4, 0, 0, due, false);
        s.track = 10;
        LiveFlightRecord r = record(20001, "KLM1", "A320", s, ac.lastRecordTime + dt);
        gf_applyReceivedRecord(r);
        const PosSample& rest = g_liveAcs.front().samples.back();
        ASSERT_EQ(rest.groundSpeed, 0.0) << what;
        EXPECT_GE(rest.dueTick, 3000 + std::lround(kMps / 1.0 * 100)) << what;
        EXPECT_LE(rest.dueTick, 3000 + std::lround(2 * kOnM / kMps * 100)) << what;
        EXPECT_DOUBLE_EQ(rest.latitude, lat) << what;
    }
}

// A taxi braking to a stop at a pilot's pace (0.3-0.7 m/s²), its last moving report at 1.5-4.3
// kt, the first at rest 0-8 s after the real stop and short of it by its jitter (anywhere
// between the two places). Taken for the way it braked over, those few metres put the stop
// up to 4.5 s early; the stop is due within 3 s of the real one.
TEST_F(IntakeTest, ATaxisStopIsDueWhenItBeganThoughItsReportAtRestLiesShortOfIt)
{
    constexpr double kMpsPerKt = 1852.0 / 3600.0;
    constexpr double kDegPerM = 1.0 / 111195.0;
    const double lonDegPerM = kDegPerM / std::cos(52.0 * g_degToRad);
    std::mt19937 rng(44);
    auto uniform = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
    for (int i = 0; i < 400; ++i) {
        g_liveAcs.clear();
        const double v = uniform(1.5, 4.3) * kMpsPerKt;
        const double braking = uniform(0.3, 0.7);
        const double stopS = v / braking;
        LiveAc& ac = buffered(20001, "KLM1", "A320", {sample(52, 4, 0, v / kMpsPerKt, 3000, false)});
        ac.phase = FlightPhase::Taxi;
        ac.samples.back().track = 90;
        const double restS = stopS + uniform(0.0, 8.0);
        const double east = uniform(0.0, v * v / (2.0 * braking));
        const auto due = static_cast<uint32_t>(std::lround(3000 + restS * 100));
        PosSample s = sample(52 + uniform(-1.0, 1.0) * kDegPerM, 4 + east * lonDegPerM, 0, 0, due, false);
        s.track = 90;
        LiveFlightRecord r = record(20001, "KLM1", "A320", s, ac.lastRecordTime + restS);
        gf_applyReceivedRecord(r);
        const PosSample& rest = g_liveAcs.front().samples.back();
        ASSERT_EQ(rest.groundSpeed, 0.0);
        EXPECT_NEAR(rest.dueTick, 3000 + stopS * 100, 300)
            << "from " << v / kMpsPerKt << " kt braking at " << braking << " m/s², at rest " << east << " m on";
    }
}

TEST_F(IntakeTest, ANewAircraftJustAboveTheAirfieldIsNotTaken)
{
    const std::tuple<const char*, double, double, bool> rows[] = {{"", 0, 100, true}, {"EHAM", 50, 100, false}, {"EHAM", 50, 0, true},
                        {"EHAM", 50, 158.5, true}, {"EHAM", 50, 12000, true}};
    for (const auto& [parkAirport, elevation, altitude, taken] : rows) {
        g_liveAcs.clear();
        g_parkAirport.code = parkAirport;
        g_parkAirport.elevationFt = elevation;
        LiveFlightRecord r = record(20002, "KLM2", "A320", sample(52, 4, altitude, 150, 3000, altitude > 0));
        gf_applyReceivedRecord(r);
        EXPECT_EQ(g_liveAcs.size(), taken ? 1u : 0u) << parkAirport << " " << altitude;
    }
    g_parkAirport = {};
}

TEST_F(IntakeTest, OnlyKnownTypesOfWantedCategoriesUnderOneIdentityBecomeAircraft)
{
    catalogue().registrations["PH-ABC"] = {"KLM", "B744", "", false};
    LIGHT_AIRCRAFT.value = false;
    // Hexid, callsign, type, registration: live aircraft afterwards.
    const std::tuple<uint32_t, const char*, const char*, const char*, size_t> rows[] = {{20010, "KLM10", "A320", "", 1},      {20011, "KLM10", "A320", "", 1},
                        {20012, "KLM10", "B744", "", 2},      {20013, "N123", "C172", "", 2},
                        {20014, "ZZZ1", "XXXX", "", 2},       {20015, "KLM15", "XXXX", "PH-ABC", 3}};
    for (const auto& [hexid, callsign, type, reg, count] : rows) {
        LiveFlightRecord r = record(hexid, callsign, type, sample(52, 4, 20000, 300, 3000, true), 1.7e9, reg);
        gf_applyReceivedRecord(r);
        EXPECT_EQ(g_liveAcs.size(), count) << hexid;
    }
    const LiveAc& made = g_liveAcs.back();
    EXPECT_EQ(made.aircraftType, "B744");
    EXPECT_EQ(made.secondCallsign, "KLM15");
    EXPECT_EQ(made.status, SimStatus::Buffer);
    EXPECT_EQ(made.phase, FlightPhase::Birth);
    EXPECT_EQ(made.maxClimbPerTick, 0.5);
    EXPECT_EQ(made.standApproachSpeed, 3.0);
}

} // namespace
} // namespace enginetest
