// Generated flights at the park airport flown through the whole engine and the simulator
// stand-in, judged by the figures of support/traffic_metrics.h against the reference that
// lies 30 s ahead.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "foundation/geo.h"
#include "foundation/settings_catalogue.h"
#include "parking/park_airports.h"
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
            const GeoPos next = gf_destinationPoint({p.lat, p.lon}, s.trackDeg * g_degToRad, (p.gsKt + v) / 2 * kKtToFtPerS);
            const double alt = a0 + (s.altFt - a0) * share;
            p = {p.t + 1.0, next.latitude, next.longitude, alt, v, s.trackDeg, (alt - p.altFt) * 60.0, s.onGround};
            f.points.push_back(p);
        }
    }
    return f;
}

[[maybe_unused]] std::vector<TrackSample> lf_between(const std::vector<TrackSample>& track, double from, double to)
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
    ~MotionScenarioTest() override { g_parkAirport = {}; }
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

Figures lf_figures(const char* name, const SimObject& o, const ReferenceFlight& ref)
{
    Figures f;
    f.air = gf_airborneDeviation(o.track, ref, g_referenceShiftS, 1000.0);
    f.excessSteps = gf_excessSteps(o.track, ref, g_referenceShiftS);
    f.touchdown = gf_touchdown(o.track);
    const Runway runway{kThreshold, gf_destinationPoint(kThreshold, 0.0, 3000.0 / 0.3048), 45.0};
    f.insideRunway = f.touchdown.found && gf_insideRunway({f.touchdown.at.lat, f.touchdown.at.lon}, runway);
    std::printf("%s: above 1000 ft %.1f m %.1f ft; excess steps %d; touchdown %.0f fpm, pitch %.2f deg\n", name,
                f.air.horizontalM, f.air.verticalFt, f.excessSteps, f.touchdown.sinkRateFpm, f.touchdown.at.pitchDeg);
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

} // namespace
} // namespace traffictest
