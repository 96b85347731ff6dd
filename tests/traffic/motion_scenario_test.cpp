// Generated flights at the park airport flown through the whole engine and the simulator
// stand-in, judged by the figures of support/traffic_metrics.h against the reference that
// lies 30 s ahead.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "foundation/geo.h"
#include "foundation/settings_catalogue.h"
#include "parking/park_airports.h"
#include "parking/park_stand.h"
#include "parking/static_parking.h"
#include "support/traffic_metrics.h"
#include "support/traffic_scenario.h"
#include "traffic/traffic_state.h"

namespace traffictest {
namespace {

constexpr GeoPos kThreshold{52.3, 4.76};
constexpr double kNmToFt = 6076.11549;
constexpr double kKtToFtPerS = kNmToFt / 3600.0;

// One stretch of a reference flight: its duration, the course flown, and the speed and
// altitude reached at its end (both change linearly).
struct Stretch {
    double seconds;
    double trackDeg;
    double gsKt;
    double altFt;
    bool onGround;
};

ReferenceFlight lf_flight(uint32_t hexid, const char* callsign, const char* type, TrackPoint start,
                          const std::vector<Stretch>& stretches)
{
    ReferenceFlight f;
    f.hexid = hexid;
    f.texts.callsign = callsign;
    f.texts.aircraftType = type;
    f.texts.origin = "EGLL";
    f.texts.destination = "EHAM";
    TrackPoint p = start;
    f.points.push_back(p);
    for (const Stretch& s : stretches) {
        const double v0 = p.gsKt;
        const double a0 = p.altFt;
        for (double t = 1.0; t <= s.seconds + 1e-9; t += 1.0) {
            const double share = t / s.seconds;
            const double v = v0 + (s.gsKt - v0) * share;
            // In the air at the standard rate of 3 degrees a second, on the ground at once.
            const double turn = std::remainder(s.trackDeg - p.trackDeg, 360.0);
            const double track = s.onGround ? s.trackDeg : p.trackDeg + std::clamp(turn, -3.0, 3.0);
            const GeoPos next = gf_destinationPoint({p.lat, p.lon}, track * g_degToRad, (p.gsKt + v) / 2 * kKtToFtPerS);
            const double alt = a0 + (s.altFt - a0) * share;
            p = {p.t + 1.0, next.latitude, next.longitude, alt, v, track, (alt - p.altFt) * 60.0, s.onGround};
            f.points.push_back(p);
        }
    }
    return f;
}

std::vector<TrackSample> lf_between(const std::vector<TrackSample>& track, double from, double to)
{
    std::vector<TrackSample> out;
    for (const TrackSample& s : track) {
        if (s.t >= from && s.t <= to)
            out.push_back(s);
    }
    return out;
}

const SimObject* lf_object(const Scenario& s, uint32_t hexid)
{
    for (const auto* objects : {&s.objects(), &s.removedObjects()}) {
        for (const auto& [id, o] : *objects) {
            if (o.hexid == hexid)
                return &o;
        }
    }
    return nullptr;
}

class MotionScenarioTest : public ::testing::Test {
protected:
    MotionScenarioTest()
    {
        sim_.keepTracks = true;
        sim_.user = {0, kThreshold.latitude - 0.05, kThreshold.longitude + 0.05, 0, 0, 0, 0, true};
    }
    ~MotionScenarioTest() override
    {
        g_parkAirport = {};
        gf_clearParkStands();
        g_parkStandsLoaded = false;
    }
    // After the scenario's reset of the traffic state.
    static void atParkAirport()
    {
        g_parkAirport.code = "EHAM";
        g_parkAirport.lat = kThreshold.latitude;
        g_parkAirport.lon = kThreshold.longitude;
        g_parkAirport.elevationFt = 0.0;
    }

    SimScript sim_;
    FeedScript feed_{2.0, 8.0};
};

// A runway heading north from the threshold; the aircraft comes from 10 nm south on a 3
// degree path, touches down 300 m in, rolls out, turns off east and taxies round a corner.
ReferenceFlight lf_approach(uint32_t hexid, const char* callsign, const char* type, double approachKt)
{
    const double distanceNm = 10.0 + 300.0 / 1852.0;
    const double startAlt = distanceNm * kNmToFt * std::tan(3.0 * g_degToRad);
    const GeoPos start = gf_destinationPoint(kThreshold, 180.0 * g_degToRad, 10.0 * kNmToFt);
    const double approachS = distanceNm * 3600.0 / (approachKt - 5.0); // the mean speed
    return lf_flight(hexid, callsign, type, {0, start.latitude, start.longitude, startAlt, approachKt, 0, 0, false},
                     {{approachS, 0.0, approachKt - 10.0, 0.0, false},
                      {40.0, 0.0, 15.0, 0.0, true},
                      {12.0, 45.0, 12.0, 0.0, true},
                      {12.0, 90.0, 15.0, 0.0, true},
                      {60.0, 90.0, 15.0, 0.0, true},
                      {8.0, 0.0, 12.0, 0.0, true},
                      {60.0, 0.0, 15.0, 0.0, true},
                      {20.0, 0.0, 0.0, 0.0, true}});
}

struct Figures {
    Deviation air;
    int excessSteps = 0;
    Touchdown touchdown;
    bool insideRunway = false;
    double crossTrackM = 0.0;
};

// An aircraft appears 1 to 2 s behind its reference (its creation and activation take
// longer than its lead time) and catches up within seconds; judged from 10 s on.
constexpr double kSettleS = 10.0;

Figures lf_figures(const char* name, const SimObject& o, const ReferenceFlight& ref)
{
    Figures f;
    const Deviation first = gf_airborneDeviation(lf_between(o.track, 0.0, o.track.front().t + kSettleS), ref,
                                                 g_referenceShiftS, 1000.0);
    f.air = gf_airborneDeviation(lf_between(o.track, o.track.front().t + kSettleS, 1e9), ref, g_referenceShiftS, 1000.0);
    f.excessSteps = gf_excessSteps(o.track, ref, g_referenceShiftS);
    f.touchdown = gf_touchdown(o.track);
    const Runway runway{kThreshold, gf_destinationPoint(kThreshold, 0.0, 3000.0 / 0.3048), 45.0};
    f.insideRunway = f.touchdown.found && gf_insideRunway({f.touchdown.at.lat, f.touchdown.at.lon}, runway);
    std::printf("%s: above 1000 ft %.1f m %.1f ft (first %.0f s: %.1f m %.1f ft); excess steps %d; touchdown %.0f fpm, "
                "pitch %.2f deg\n",
                name, f.air.horizontalM, f.air.verticalFt, kSettleS, first.horizontalM, first.verticalFt, f.excessSteps,
                f.touchdown.sinkRateFpm, f.touchdown.at.pitchDeg);
    return f;
}

// The largest cross-track distance on the straight middle of the reference's legs from
// t0 to t1 (reference time), from what was flown 30 s later.
double lf_legCrossTrack(const SimObject& o, const ReferenceFlight& ref, double t0, double t1)
{
    const TrackPoint a = ref.at(t0);
    const TrackPoint b = ref.at(t1);
    return gf_maxCrossTrackM(lf_between(o.track, t0 + g_referenceShiftS, t1 + g_referenceShiftS), {a.lat, a.lon},
                             {b.lat, b.lon});
}

void lf_expectLanding(const Figures& f)
{
    EXPECT_LE(f.air.horizontalM, 150.0);
    EXPECT_LE(f.air.verticalFt, 100.0);
    EXPECT_EQ(f.excessSteps, 0);
    ASSERT_TRUE(f.touchdown.found);
    EXPECT_TRUE(f.insideRunway);
    EXPECT_LE(f.touchdown.sinkRateFpm, 600.0);
    EXPECT_LE(f.touchdown.at.pitchDeg, 0.0);
    EXPECT_GE(f.touchdown.at.pitchDeg, -4.0);
}

TEST_F(MotionScenarioTest, AnAirlinerFliesTheApproachTouchesDownOnTheRunwayAndTaxies)
{
    const ReferenceFlight ref = lf_approach(0x484C01, "KLM1001", "A320", 140.0);
    Scenario s({ref}, feed_, sim_, 19);
    atParkAirport();
    s.run(ref.points.back().t + 60.0);
    const SimObject* o = lf_object(s, ref.hexid);
    ASSERT_NE(o, nullptr);
    const Figures f = lf_figures("A320 arrival", *o, ref);
    lf_expectLanding(f);
    const double taxiStart = ref.points.back().t - 148.0;
    const double east = lf_legCrossTrack(*o, ref, taxiStart + 5.0, taxiStart + 57.0);
    const double north = lf_legCrossTrack(*o, ref, taxiStart + 73.0, taxiStart + 125.0);
    std::printf("A320 taxi cross-track: %.1f m east leg, %.1f m north leg\n", east, north);
    EXPECT_LE(east, 30.0);
    EXPECT_LE(north, 30.0);
    EXPECT_TRUE(gf_trackFinite(o->track));
}

TEST_F(MotionScenarioTest, ALightAircraftLandsOnTheRunwayToo)
{
    const ReferenceFlight ref = lf_approach(0x484C02, "PHABC", "C172", 75.0);
    Scenario s({ref}, feed_, sim_, 20);
    atParkAirport();
    LIGHT_AIRCRAFT.value = true;
    s.run(ref.points.back().t + 60.0);
    const SimObject* o = lf_object(s, ref.hexid);
    ASSERT_NE(o, nullptr);
    lf_expectLanding(lf_figures("C172 arrival", *o, ref));
}

// The simulator never reports the aircraft (out of its range, or the reports lost): it
// does not sink below the runway and goes over to ground mode after a second there.
TEST_F(MotionScenarioTest, AnApproachWithoutOnGroundReportsStopsAtTheRunway)
{
    sim_.lostOnGroundRate = 1.0;
    const ReferenceFlight ref = lf_approach(0x484C03, "KLM1003", "A320", 140.0);
    Scenario s({ref}, feed_, sim_, 21);
    atParkAirport();
    double lowest = 1e9;
    bool touchedDown = false;
    while (s.time() < ref.points.back().t) {
        s.run(0.5);
        if (const LiveAc* ac = gf_findLiveAc(ref.hexid); ac != nullptr && ac->status == SimStatus::Active) {
            lowest = std::min(lowest, ac->pos.altitude);
            touchedDown = touchedDown || ac->onGround;
        }
    }
    std::printf("no on-ground reports: lowest %.2f ft (CG height 8 ft), touched down %d\n", lowest, touchedDown);
    EXPECT_GE(lowest, sim_.cgHeightFt);
    EXPECT_TRUE(touchedDown);
}

// Speed in knots over the half second up to the track sample.
double lf_trackSpeedKt(const std::vector<TrackSample>& track, size_t i)
{
    size_t k = i;
    while (k > 0 && track[i].t - track[k].t < 0.5)
        --k;
    const double dt = track[i].t - track[k].t;
    return dt <= 0.0 ? 0.0 : gf_distanceNm({track[k].lat, track[k].lon}, {track[i].lat, track[i].lon}) * 3600.0 / dt;
}

// Follows the reference within the limits, rotates at 43 kt or faster and keeps to the
// straight taxi leg from t0 to t1 (reference time).
void lf_expectDeparture(const char* name, const Scenario& s, const ReferenceFlight& ref, double t0, double t1)
{
    const SimObject* o = lf_object(s, ref.hexid);
    ASSERT_NE(o, nullptr);
    const Figures f = lf_figures(name, *o, ref);
    EXPECT_LE(f.air.horizontalM, 150.0);
    EXPECT_LE(f.air.verticalFt, 100.0);
    EXPECT_EQ(f.excessSteps, 0);
    const auto rotation = std::find_if(o->track.begin(), o->track.end(),
                                       [](const TrackSample& t) { return t.pitchDeg <= -1.0 && t.altFt < 20.0; });
    ASSERT_NE(rotation, o->track.end());
    const double rotationKt = lf_trackSpeedKt(o->track, static_cast<size_t>(rotation - o->track.begin()));
    const double leg = lf_legCrossTrack(*o, ref, t0, t1);
    std::printf("%s: rotation at %.1f kt; taxi cross-track %.1f m\n", name, rotationKt, leg);
    EXPECT_GE(rotationKt, 43.0);
    EXPECT_LE(leg, 30.0);
    EXPECT_GE(o->track.back().altFt, 4900.0);
}

// Stands 20 s east of the runway, taxies to it round two corners, lines up, holds 10 s on
// the runway, rolls and climbs to 5000 ft.
TEST_F(MotionScenarioTest, ADepartureTaxiesRotatesAtTakeOffSpeedAndClimbsOnItsTrack)
{
    const GeoPos start = gf_destinationPoint(kThreshold, 90.0 * g_degToRad, 400.0 / 0.3048);
    const ReferenceFlight ref = lf_flight(0x484C04, "KLM1004", "A320", {0, start.latitude, start.longitude, 0, 0, 0, 0, true},
                                          {{20.0, 0.0, 0.0, 0.0, true},
                                           {10.0, 0.0, 15.0, 0.0, true},
                                           {30.0, 0.0, 15.0, 0.0, true},
                                           {10.0, 270.0, 12.0, 0.0, true},
                                           {40.0, 270.0, 15.0, 0.0, true},
                                           {10.0, 0.0, 0.0, 0.0, true},
                                           {10.0, 0.0, 0.0, 0.0, true},
                                           {40.0, 0.0, 150.0, 0.0, true},
                                           {150.0, 0.0, 170.0, 5000.0, false},
                                           {60.0, 0.0, 200.0, 5000.0, false}});
    Scenario s({ref}, feed_, sim_, 22);
    atParkAirport();
    s.run(ref.points.back().t + 20.0);
    lf_expectDeparture("A320 departure", s, ref, 75.0, 105.0);
}

// Born parked at a stand nose north, pushed back 60 m, stops 10 s, then taxies west to the
// runway as above.
TEST_F(MotionScenarioTest, APushedBackDepartureKeepsToItsTrackAndTakesOff)
{
    const GeoPos stand = gf_destinationPoint(kThreshold, 90.0 * g_degToRad, 300.0 / 0.3048);
    const ReferenceFlight ref = lf_flight(0x484C06, "KLM1006", "A320", {0, stand.latitude, stand.longitude, 0, 0, 0, 0, true},
                                          {{30.0, 0.0, 0.0, 0.0, true},
                                           {5.0, 180.0, 5.0, 0.0, true},
                                           {20.0, 180.0, 5.0, 0.0, true},
                                           {5.0, 180.0, 0.0, 0.0, true},
                                           {10.0, 0.0, 0.0, 0.0, true},
                                           {10.0, 270.0, 15.0, 0.0, true},
                                           {30.0, 270.0, 15.0, 0.0, true},
                                           {10.0, 0.0, 12.0, 0.0, true},
                                           {10.0, 0.0, 0.0, 0.0, true},
                                           {40.0, 0.0, 150.0, 0.0, true},
                                           {150.0, 0.0, 170.0, 5000.0, false},
                                           {60.0, 0.0, 200.0, 5000.0, false}});
    Scenario s({ref}, feed_, sim_, 24);
    atParkAirport();
    g_parkStands.emplace_back("E40", std::vector<StandFlight>{}, StandPlace{stand.latitude, stand.longitude, 0.0}, 30.0,
                              true, true, true);
    gf_numberAndLinkStands(g_parkStands);
    g_parkStandsLoaded = true;
    s.run(ref.points.back().t + 20.0);
    lf_expectDeparture("A320 push-back", s, ref, 85.0, 105.0);
}

// Level at 12000 ft with 30 degree turns either way.
TEST_F(MotionScenarioTest, ACruiseWithTurnsStaysOnTheReferencesTrack)
{
    const GeoPos start = gf_destinationPoint(kThreshold, 200.0 * g_degToRad, 30.0 * kNmToFt);
    const ReferenceFlight ref = lf_flight(0x484C05, "KLM1005", "B744", {0, start.latitude, start.longitude, 12000, 300, 0, 0, false},
                                          {{60.0, 90.0, 300.0, 12000.0, false},
                                           {60.0, 120.0, 300.0, 12500.0, false},
                                           {60.0, 90.0, 300.0, 12500.0, false},
                                           {60.0, 60.0, 300.0, 12000.0, false},
                                           {60.0, 90.0, 300.0, 12000.0, false}});
    Scenario s({ref}, feed_, sim_, 23);
    s.run(ref.points.back().t);
    const SimObject* o = lf_object(s, ref.hexid);
    ASSERT_NE(o, nullptr);
    const Figures f = lf_figures("B744 cruise", *o, ref);
    EXPECT_LE(f.air.horizontalM, 150.0);
    EXPECT_LE(f.air.verticalFt, 100.0);
    EXPECT_EQ(f.excessSteps, 0);
}

// Reports stop in the air: the aircraft flies on for 8 steps of 8 s and is then removed,
// without a jump.
TEST_F(MotionScenarioTest, AnAirborneAircraftWhoseReportsStopFliesOnAMinuteAndGoes)
{
    const GeoPos start = gf_destinationPoint(kThreshold, 200.0 * g_degToRad, 20.0 * kNmToFt);
    const ReferenceFlight ref = lf_flight(0x484C06, "KLM1006", "A320", {0, start.latitude, start.longitude, 6000, 250, 90, 0, false},
                                          {{90.0, 90.0, 250.0, 6000.0, false}});
    Scenario s({ref}, feed_, sim_, 24);
    s.run(ref.points.back().t + 30.0);
    ASSERT_NE(gf_findLiveAc(ref.hexid), nullptr);
    s.run(40.0);
    EXPECT_NE(gf_findLiveAc(ref.hexid), nullptr);
    s.run(60.0);
    EXPECT_EQ(gf_findLiveAc(ref.hexid), nullptr);
    const SimObject* o = lf_object(s, ref.hexid);
    ASSERT_NE(o, nullptr);
    const double flownOnS = o->track.back().t - (ref.points.back().t + g_referenceShiftS);
    std::printf("airborne data gap: flown on %.1f s after the last report\n", flownOnS);
    EXPECT_GE(flownOnS, 50.0);
    EXPECT_LE(flownOnS, 80.0);
    EXPECT_EQ(gf_excessSteps(o->track, ref, g_referenceShiftS), 0);
}

} // namespace
} // namespace traffictest
