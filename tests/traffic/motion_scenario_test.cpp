// Generated flights at the park airport flown through the whole engine and the simulator
// stand-in, judged by their figures against the reference, which lies 30 s ahead (records
// are due 3000 ticks late). The reports pass the traffic-line parser, as RealTraffic's do.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "foundation/geo.h"
#include "foundation/settings_catalogue.h"
#include "parking/park_airports.h"
#include "parking/park_stand.h"
#include "parking/static_parking.h"
#include "support/engine_doubles.h"
#include "support/traffic_scenario.h"
#include "traffic/traffic_state.h"

namespace traffictest {
namespace {

constexpr GeoPos kThreshold{52.3, 4.76};
constexpr double kNmToFt = 6076.11549;
constexpr double kKtToFtPerS = kNmToFt / 3600.0;
constexpr double kFtPerM = 1.0 / 0.3048;
// Without the simulator's ground the reports alone tell where the runway lies: between the
// last airborne report and the first on the ground.
constexpr double kTouchdownSlackFt = 10.0;

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

// East and north of the threshold, in metres.
GeoPos lf_local(double eastM, double northM)
{
    const GeoPos east = gf_destinationPoint(kThreshold, 90.0 * g_degToRad, eastM * kFtPerM);
    return gf_destinationPoint(east, 0.0, northM * kFtPerM);
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

double lf_metres(const TrackSample& a, const GeoPos& b)
{
    return gf_distanceNm({a.lat, a.lon}, b) * 1852.0;
}

// The simulator's ground under the whole airport; the terrain is a plain function.
double g_groundFt = 0.0;
double lf_ground(double, double)
{
    return g_groundFt;
}

constexpr double g_referenceShiftS = 30.0;

// Where the point lies against the line a -> b on a local plane, in metres: along it from a
// (outside below 0 or beyond the length) and across it.
struct Across {
    double along;
    double across;
    double length;
};
Across lf_across(const GeoPos& a, const GeoPos& b, double lat, double lon)
{
    const auto plane = [&a](double la, double lo) {
        return std::pair{(lo - a.longitude) * 111120.0 * std::cos(a.latitude * g_degToRad), (la - a.latitude) * 111120.0};
    };
    const auto [ex, ey] = plane(b.latitude, b.longitude);
    const auto [px, py] = plane(lat, lon);
    const double length = std::hypot(ex, ey);
    return {(px * ex + py * ey) / length, std::fabs(px * ey - py * ex) / length, length};
}

// The largest distance from the reference at t - 30 s, over the samples more than 1000 ft
// above the terrain.
struct Deviation {
    double horizontalM = 0.0;
    double verticalFt = 0.0;
};
Deviation lf_airborneDeviation(const std::vector<TrackSample>& track, const ReferenceFlight& ref)
{
    Deviation worst;
    for (const TrackSample& s : track) {
        if (s.altFt - lf_ground(s.lat, s.lon) <= 1000.0)
            continue;
        const TrackPoint r = ref.at(s.t - g_referenceShiftS);
        worst.horizontalM = std::max(worst.horizontalM, lf_metres(s, {r.lat, r.lon}));
        worst.verticalFt = std::max(worst.verticalFt, std::fabs(s.altFt - r.altFt));
    }
    return worst;
}

// The steps beyond the speeds' allowance: a step longer than 1.5 x the reported ground speed
// x the frame time + 1 m; an altitude change larger than 1.5 x the reported vertical speed
// (at least 1800 ft/min) x the frame time + 1 ft. Each with the number of frames and the
// largest excess beyond the allowance.
struct StepExcess {
    int horizontalFrames = 0;
    double largestHorizontalM = 0.0;
    int verticalFrames = 0;
    double largestVerticalFt = 0.0;
};
StepExcess lf_stepExcess(const std::vector<TrackSample>& track, const ReferenceFlight& ref)
{
    StepExcess e;
    for (size_t i = 1; i < track.size(); ++i) {
        const double dt = track[i].t - track[i - 1].t;
        const TrackPoint r = ref.at(track[i].t - g_referenceShiftS);
        const double beyondM = lf_metres(track[i], {track[i - 1].lat, track[i - 1].lon}) -
                               (1.5 * r.gsKt * 1852.0 / 3600.0 * dt + 1.0);
        const double beyondFt = std::fabs(track[i].altFt - track[i - 1].altFt) -
                                (1.5 * std::max(std::fabs(r.vsFpm), 1800.0) / 60.0 * dt + 1.0);
        if (beyondM > 0.0)
            e = {e.horizontalFrames + 1, std::max(e.largestHorizontalM, beyondM), e.verticalFrames, e.largestVerticalFt};
        if (beyondFt > 0.0)
            e = {e.horizontalFrames, e.largestHorizontalM, e.verticalFrames + 1, std::max(e.largestVerticalFt, beyondFt)};
    }
    return e;
}

// The first frame on the ground after one in the air, and the sink rate over the second before.
struct Touchdown {
    bool found = false;
    TrackSample at;
    double sinkRateFpm = 0.0;
};
Touchdown lf_touchdown(const std::vector<TrackSample>& track)
{
    for (size_t i = 1; i < track.size(); ++i) {
        if (!track[i].onGround || track[i - 1].onGround)
            continue;
        size_t j = i;
        while (j > 0 && track[i].t - track[j].t < 1.0)
            --j;
        const double dt = track[i].t - track[j].t;
        return {true, track[i], dt > 0.0 ? (track[j].altFt - track[i].altFt) / dt * 60.0 : 0.0};
    }
    return {};
}

class MotionScenarioTest : public ::testing::Test {
protected:
    MotionScenarioTest()
    {
        sim_.keepTracks = true;
        sim_.terrainFt = &lf_ground;
        sim_.user = {0, kThreshold.latitude - 0.05, kThreshold.longitude + 0.05, 0, 0, 0, 0, true};
    }
    ~MotionScenarioTest() override
    {
        g_parkAirport = {};
        gf_clearParkStands();
        g_parkStandsLoaded = false;
        g_groundFt = 0.0;
    }
    // After the scenario's reset of the traffic state and the catalogue, with the types'
    // real half spans.
    static void atParkAirport(double elevationFt = 0.0)
    {
        enginetest::catalogue().halfSpans = {
            {"A320", 17.05 / 1852.0}, {"C172", 5.5 / 1852.0}, {"D328", 10.49 / 1852.0}};
        g_parkAirport.code = "EHAM";
        g_parkAirport.lat = kThreshold.latitude;
        g_parkAirport.lon = kThreshold.longitude;
        g_parkAirport.elevationFt = elevationFt;
    }
    static void addStand(const char* id, const GeoPos& at, double headingDeg, double radiusM)
    {
        const StandPlace place{at.latitude, at.longitude, headingDeg * g_degToRad};
        g_parkStands.emplace_back(id, std::vector<StandFlight>{}, place, radiusM, true, true, true);
        gf_numberAndLinkStands(g_parkStands);
        g_parkStandsLoaded = true;
    }

    SimScript sim_;
    FeedScript feed_{2.0, 8.0, 0.0, 0.0, 0.0, true};
};

// A runway heading north from the threshold, its ground at groundFt; the aircraft comes
// from 10 nm south on a 3 degree path, slowing to finalKt - 5 kt, touches down 300 m in,
// rolls out, turns off east, taxies round a corner and stops on a stand heading 12 degrees
// (3 m to the right of its last report: the reports are not the stand's), its last
// stretch on a course of 8 degrees.
ReferenceFlight lf_approach(uint32_t hexid, const char* callsign, const char* type, double finalKt,
                            double groundFt = 0.0)
{
    const double distanceNm = 10.0 + 300.0 / 1852.0;
    const double startAlt = distanceNm * kNmToFt * std::tan(3.0 * g_degToRad);
    const GeoPos start = gf_destinationPoint(kThreshold, 180.0 * g_degToRad, 10.0 * kNmToFt);
    const double approachS = distanceNm * 3600.0 / (finalKt - 2.5); // the mean speed
    return lf_flight(hexid, callsign, type,
                     {0, start.latitude, start.longitude, groundFt + startAlt, finalKt, 0, 0, false},
                     {{approachS, 0.0, finalKt - 5.0, groundFt, false},
                      {40.0, 0.0, 15.0, groundFt, true},
                      {12.0, 45.0, 12.0, groundFt, true},
                      {12.0, 90.0, 15.0, groundFt, true},
                      {60.0, 90.0, 15.0, groundFt, true},
                      {8.0, 0.0, 12.0, groundFt, true},
                      {60.0, 0.0, 15.0, groundFt, true},
                      {20.0, 8.0, 0.0, groundFt, true}});
}

// An aircraft appears 1 to 2 s behind its reference (its creation and activation take
// longer than its lead time) and catches up within seconds; judged from 10 s on. Follows
// the reference within the limits; returns its touchdown.
Touchdown lf_expectFlown(const char* name, const SimObject& o, const ReferenceFlight& ref)
{
    const std::vector<TrackSample> settled = lf_between(o.track, o.track.front().t + 10.0, 1e9);
    const Deviation air = lf_airborneDeviation(settled, ref);
    const StepExcess steps = lf_stepExcess(o.track, ref);
    const Touchdown td = lf_touchdown(o.track);
    std::printf("%s: above 1000 ft max %.1f m %.1f ft; beyond the step allowance %d frames (%.2f m), %d frames "
                "(%.2f ft)", name, air.horizontalM, air.verticalFt, steps.horizontalFrames, steps.largestHorizontalM,
                steps.verticalFrames, steps.largestVerticalFt);
    if (td.found)
        std::printf("; touchdown %.0f m past the threshold at %.0f ft/min, pitch %.2f deg",
                    (td.at.lat - kThreshold.latitude) * 60.0 * 1852.0, td.sinkRateFpm, td.at.pitchDeg);
    std::printf("\n");
    EXPECT_LE(air.horizontalM, 150.0);
    EXPECT_LE(air.verticalFt, 100.0);
    EXPECT_EQ(steps.horizontalFrames, 0);
    EXPECT_EQ(steps.verticalFrames, 0);
    return td;
}

// The largest cross-track distance on the straight middle of the reference's legs from
// t0 to t1 (reference time), from what was flown 30 s later.
double lf_legCrossTrack(const SimObject& o, const ReferenceFlight& ref, double t0, double t1)
{
    const TrackPoint a = ref.at(t0);
    const TrackPoint b = ref.at(t1);
    double worst = 0.0;
    for (const TrackSample& s : lf_between(o.track, t0 + g_referenceShiftS, t1 + g_referenceShiftS)) {
        const Across p = lf_across({a.lat, a.lon}, {b.lat, b.lon}, s.lat, s.lon);
        if (p.along >= 0.0 && p.along <= p.length)
            worst = std::max(worst, p.across);
    }
    return worst;
}

// Speed in knots and course in degrees over the half second up to the track sample.
struct Motion {
    double kt = 0.0;
    double courseDeg = 0.0;
};
Motion lf_motion(const std::vector<TrackSample>& track, size_t i)
{
    size_t k = i;
    while (k > 0 && track[i].t - track[k].t < 0.5)
        --k;
    const double dt = track[i].t - track[k].t;
    if (dt <= 0.0)
        return {};
    const GeoPos a{track[k].lat, track[k].lon};
    const GeoPos b{track[i].lat, track[i].lon};
    return {gf_distanceNm(a, b) * 3600.0 / dt, gf_bearingRad(a, b) * g_radToDeg};
}

// The largest angle between the nose and the course over the last half second, while the
// aircraft moves forward faster than 3 kt between from and to (track time).
double lf_largestNoseOffDeg(const std::vector<TrackSample>& track, double from, double to)
{
    double worst = 0.0;
    for (size_t i = 0; i < track.size(); ++i) {
        if (track[i].t < from || track[i].t > to)
            continue;
        const Motion m = lf_motion(track, i);
        const double off = std::fabs(std::remainder(track[i].headingDeg - m.courseDeg, 360.0));
        if (m.kt > 3.0 && off < 90.0)
            worst = std::max(worst, off);
    }
    return worst;
}

// Landings on a runway whose ground lies at, above or below the park airport's elevation.
TEST_F(MotionScenarioTest, ArrivalsTouchDownOnTheRunwayWhereverItsGroundLiesTaxiAndStopOnTheirStand)
{
    struct Landing {
        const char* name;
        const char* type;
        double finalKt;
        double groundFt;
        double parkElevationFt;
    };
    const Landing landings[] = {{"A320 arrival", "A320", 140.0, 0.0, 0.0},
                                {"C172 on a 3 degree final at 65-60 kt", "C172", 65.0, 0.0, 0.0},
                                {"A320, runway 400 ft below the park airport", "A320", 140.0, 0.0, 400.0},
                                {"A320, runway 400 ft above the park airport", "A320", 140.0, 400.0, 0.0},
                                {"A320, park file 30 ft above the runway", "A320", 140.0, 0.0, 30.0},
                                {"C172, park file 30 ft above the runway", "C172", 65.0, 0.0, 30.0}};
    uint32_t seed = 19;
    for (const Landing& l : landings) {
        SCOPED_TRACE(l.name);
        g_groundFt = l.groundFt;
        const ReferenceFlight ref = lf_approach(0x484C01, "KLM1001", l.type, l.finalKt, l.groundFt);
        Scenario s({ref}, feed_, sim_, seed++);
        atParkAirport(l.parkElevationFt);
        LIGHT_AIRCRAFT.value = true;
        const TrackPoint last = ref.points.back();
        const GeoPos stand = gf_destinationPoint({last.lat, last.lon}, 100.0 * g_degToRad, 3.0 * kFtPerM);
        addStand("G8", stand, 12.0, 30.0);
        s.run(last.t + 60.0);
        const SimObject* o = lf_object(s, ref.hexid);
        ASSERT_NE(o, nullptr);
        const Touchdown td = lf_expectFlown(l.name, *o, ref);
        ASSERT_TRUE(td.found);
        // On a runway 3000 m long and 45 m wide.
        const Across onRunway =
            lf_across(kThreshold, gf_destinationPoint(kThreshold, 0.0, 3000.0 * kFtPerM), td.at.lat, td.at.lon);
        EXPECT_TRUE(onRunway.along >= 0.0 && onRunway.along <= onRunway.length && onRunway.across <= 22.5);
        EXPECT_LE(td.sinkRateFpm, 600.0);
        EXPECT_LE(td.at.pitchDeg, 0.0);
        EXPECT_GE(td.at.pitchDeg, -4.0);
        const double taxiStart = last.t - 148.0;
        const double east = lf_legCrossTrack(*o, ref, taxiStart + 5.0, taxiStart + 57.0);
        const double north = lf_legCrossTrack(*o, ref, taxiStart + 73.0, taxiStart + 125.0);
        const double stopM = lf_metres(o->track.back(), stand);
        const double stopDeg = std::fabs(std::remainder(o->track.back().headingDeg - 12.0, 360.0));
        const double noseOff = lf_largestNoseOffDeg(o->track, taxiStart + g_referenceShiftS, 1e9);
        std::printf("%s: taxi cross-track %.1f m east leg, %.1f m north leg; nose off the course up to %.1f deg; "
                    "stopped %.2f m and %.2f deg from the stand\n",
                    l.name, east, north, noseOff, stopM, stopDeg);
        EXPECT_LE(east, 30.0);
        EXPECT_LE(north, 30.0);
        EXPECT_LE(noseOff, 10.0);
        // The approach configuration within 10 nm; at the turn-off the taxi configuration, a
        // jet's levers zeroed with it.
        const std::vector<std::string> approach{"212 0", "223 4914", "218 16383", "220 1"};
        EXPECT_NE(std::search(o->events.begin(), o->events.end(), approach.begin(), approach.end()), o->events.end());
        const std::vector<std::string> taxi{"218 0", "219 0", "208 1", "207 1", "211 0", "209 1", "210 0", "213 1", "212 1"};
        const auto turnOff = std::search(o->events.begin(), o->events.end(), taxi.begin(), taxi.end());
        ASSERT_LT(turnOff + static_cast<std::ptrdiff_t>(taxi.size()), o->events.end());
        EXPECT_EQ(turnOff[static_cast<std::ptrdiff_t>(taxi.size())] == "controls 0 0 0", std::string(l.type) == "A320");
        EXPECT_LE(stopM, 2.0);
        EXPECT_LE(stopDeg, 1.0);
        EXPECT_TRUE(std::all_of(o->track.begin(), o->track.end(), [](const TrackSample& t) {
            return std::isfinite(t.lat + t.lon + t.altFt + t.pitchDeg + t.bankDeg + t.headingDeg);
        }));
    }
}

// The simulator never reports the aircraft (out of its range, or the reports lost): it
// neither sinks below the runway nor climbs, and goes over to ground mode on the runway,
// wherever the park airport's elevation lies against the runway's.
TEST_F(MotionScenarioTest, AnApproachWithoutOnGroundReportsTouchesDownOnTheRunway)
{
    sim_.lostOnGroundRate = 1.0;
    struct Case {
        double runwayFt;
        double parkElevationFt;
    };
    for (const Case c : {Case{0.0, 0.0}, Case{0.0, 400.0}, Case{400.0, 0.0}}) {
        SCOPED_TRACE(testing::Message() << "runway " << c.runwayFt << " ft, park airport " << c.parkElevationFt);
        g_groundFt = c.runwayFt;
        const ReferenceFlight ref = lf_approach(0x484C03, "KLM1003", "A320", 140.0, c.runwayFt);
        Scenario s({ref}, feed_, sim_, 21);
        atParkAirport(c.parkElevationFt);
        double lowest = 1e9;
        double rise = 0.0; // above the lowest altitude so far
        TrackSample ground{-1.0};
        while (s.time() < ref.points.back().t) {
            s.run(0.5);
            if (const LiveAc* ac = gf_findLiveAc(ref.hexid); ac != nullptr && ac->status == SimStatus::Active) {
                lowest = std::min(lowest, ac->pos.altitude);
                rise = std::max(rise, ac->pos.altitude - lowest);
                if (ac->onGround && ground.t < 0.0)
                    ground = {s.time(), ac->pos.latitude, ac->pos.longitude, ac->pos.altitude};
            }
        }
        const StepExcess e = lf_stepExcess(lf_object(s, ref.hexid)->track, ref);
        const Across onRunway =
            lf_across(kThreshold, gf_destinationPoint(kThreshold, 0.0, 3000.0 * kFtPerM), ground.lat, ground.lon);
        std::printf("no on-ground reports, runway at %.0f ft, park airport at %.0f ft: lowest %.2f ft (CG height "
                    "8 ft), rise %.2f ft, ground mode at %.1f s, %.2f ft, %.0f m past the threshold; %d vertical "
                    "steps beyond the allowance (%.1f ft)\n",
                    c.runwayFt, c.parkElevationFt, lowest, rise, ground.t, ground.altFt, onRunway.along,
                    e.verticalFrames, e.largestVerticalFt);
        EXPECT_EQ(e.verticalFrames, 0);
        EXPECT_GE(lowest, c.runwayFt + sim_.cgHeightFt - kTouchdownSlackFt);
        EXPECT_LE(rise, 1.0);
        ASSERT_GE(ground.t, 0.0);
        EXPECT_NEAR(ground.altFt, c.runwayFt + sim_.cgHeightFt, kTouchdownSlackFt);
        EXPECT_TRUE(onRunway.along >= 0.0 && onRunway.along <= onRunway.length && onRunway.across <= 22.5);
    }
}

// The largest time (s) by which the track runs ahead of or behind the reference 30 s
// earlier, taking the time at which the reference came nearest, over the frames between
// from and to (track time) in which both move faster than 3 kt.
double lf_largestTimeOffsetS(const std::vector<TrackSample>& track, const ReferenceFlight& ref, double from, double to)
{
    double worst = 0.0;
    for (size_t i = 0; i < track.size(); i += 3) {
        if (track[i].t < from || track[i].t > to || lf_motion(track, i).kt <= 3.0)
            continue;
        const double now = track[i].t - g_referenceShiftS;
        double best = 1e9;
        double bestT = now;
        for (double t = now - 20.0; t <= now + 20.0; t += 0.1) {
            const TrackPoint r = ref.at(t);
            const double d = lf_metres(track[i], {r.lat, r.lon});
            if (d < best) {
                best = d;
                bestT = t;
            }
        }
        if (ref.at(bestT).gsKt > 3.0)
            worst = std::max(worst, std::fabs(bestT - now));
    }
    return worst;
}

// When the track first moves (0.3 m away from where it stood) and when it next stands
// (within 0.1 m for 2 s).
struct Move {
    double begin = -1.0;
    double end = -1.0;
    size_t endIndex = 0;
};
Move lf_firstMove(const std::vector<TrackSample>& track)
{
    Move m;
    size_t i = 0;
    while (i < track.size() && lf_metres(track[i], {track[0].lat, track[0].lon}) <= 0.3)
        ++i;
    if (i == track.size())
        return m;
    m.begin = track[i].t;
    for (; i < track.size(); ++i) {
        size_t k = i;
        while (k < track.size() && lf_metres(track[k], {track[i].lat, track[i].lon}) < 0.1)
            ++k;
        if (k == track.size() || track[k].t - track[i].t >= 2.0) {
            m.end = track[i].t;
            m.endIndex = i;
            return m;
        }
    }
    return m;
}

// Follows the reference within the limits, rotates at 43 kt or faster, keeps to the straight
// taxi leg from t0 to t1 (reference time), taxies nose first and keeps its time from
// taxiStart to taxiEnd (reference time).
// The taxi's pace as a pilot sees it, over the frames between from and to (track time): how
// far the ground speed over half a second goes beyond 1.3 x the reported speed + 3 kt (the
// fastest reported within 2 s of that time; negative while below), and, once the aircraft has
// moved off, the longest standstill while every report within 2 s of that time moves faster
// than 2 kt.
struct TaxiPace {
    double beyondCeilingKt = -1e9;
    double longestStandS = 0.0;
};
TaxiPace lf_taxiPace(const std::vector<TrackSample>& track, const ReferenceFlight& ref, double from, double to)
{
    TaxiPace pace;
    double standingSince = -1.0;
    bool movedOff = false;
    for (size_t i = 0; i < track.size(); ++i) {
        if (track[i].t < from || track[i].t > to)
            continue;
        double fastest = 0.0;
        double slowest = 1e9;
        for (double t = track[i].t - g_referenceShiftS - 2.0; t <= track[i].t - g_referenceShiftS + 2.0; t += 0.1) {
            fastest = std::max(fastest, ref.at(t).gsKt);
            slowest = std::min(slowest, ref.at(t).gsKt);
        }
        const double kt = lf_motion(track, i).kt;
        pace.beyondCeilingKt = std::max(pace.beyondCeilingKt, kt - (1.3 * fastest + 3.0));
        movedOff = movedOff || kt > 3.0;
        if (movedOff && kt < 0.5 && slowest > 2.0) {
            if (standingSince < 0.0)
                standingSince = track[i].t;
            pace.longestStandS = std::max(pace.longestStandS, track[i].t - standingSince);
        } else {
            standingSince = -1.0;
        }
    }
    return pace;
}

void lf_expectDeparture(const char* name, const Scenario& s, const ReferenceFlight& ref, double t0, double t1,
                        double taxiStart, double taxiEnd)
{
    const SimObject* o = lf_object(s, ref.hexid);
    ASSERT_NE(o, nullptr);
    lf_expectFlown(name, *o, ref);
    const auto rotation = std::find_if(o->track.begin(), o->track.end(),
                                       [](const TrackSample& t) { return t.pitchDeg <= -1.0 && t.altFt < 20.0; });
    ASSERT_NE(rotation, o->track.end());
    const double rotationKt = lf_motion(o->track, static_cast<size_t>(rotation - o->track.begin())).kt;
    const double leg = lf_legCrossTrack(*o, ref, t0, t1);
    const double shift = g_referenceShiftS;
    const double noseOff = lf_largestNoseOffDeg(o->track, taxiStart + shift, rotation->t);
    const double late = lf_largestTimeOffsetS(o->track, ref, taxiStart + shift, taxiEnd + shift);
    const TaxiPace pace = lf_taxiPace(o->track, ref, taxiStart + shift, taxiEnd + shift);
    std::printf("%s: rotation at %.1f kt; taxi cross-track %.1f m; nose off the course up to %.1f deg; taxi off its "
                "time up to %.1f s; taxi speed %.1f kt from its ceiling, standing up to %.1f s while the reports moved\n",
                name, rotationKt, leg, noseOff, late, pace.beyondCeilingKt, pace.longestStandS);
    EXPECT_GE(rotationKt, 43.0);
    EXPECT_LE(leg, 30.0);
    EXPECT_LE(noseOff, 10.0);
    EXPECT_LE(late, 5.0);
    EXPECT_LE(pace.beyondCeilingKt, 0.0);
    EXPECT_LE(pace.longestStandS, 1.0);
    EXPECT_GE(o->track.back().altFt, 4900.0);
}

// Stands 20 s east of the runway, taxies to it round two corners, lines up, holds 10 s on
// the runway, rolls and climbs to 5000 ft.
TEST_F(MotionScenarioTest, ADepartureTaxiesRotatesAtTakeOffSpeedAndClimbsOnItsTrack)
{
    const GeoPos start = lf_local(400.0, 0.0);
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
    lf_expectDeparture("A320 departure", s, ref, 75.0, 105.0, 20.0, 110.0);
}

// Parked nose north on a stand 300 m east of the runway, pushed 41 m straight back and the
// tail swung east round a quarter circle of 18 m, so that the nose ends west; 10 s later it
// taxies west to the runway, turns onto it, holds 10 s and takes off. The push begins at
// 30 s; the push's end and the take-off roll's start (reference times) are returned.
struct PushBackDeparture {
    ReferenceFlight ref;
    GeoPos stand;
    double pushEndS = 0.0;
    double rollStartS = 0.0;
};
PushBackDeparture lf_pushBackDeparture(const char* type = "A320")
{
    PushBackDeparture d;
    d.stand = lf_local(300.0, 0.0);
    std::vector<Stretch> path{{30.0, 0.0, 0.0, 0.0, true}, {5.0, 180.0, 5.0, 0.0, true},
                              {12.0, 180.0, 5.0, 0.0, true}, {2.0, 180.0, 3.0, 0.0, true}};
    for (int i = 1; i <= 9; ++i)
        path.push_back({2.0, 180.0 - 10.0 * i, 3.0, 0.0, true});
    const size_t pushEnd = path.size();
    path.insert(path.end(), {{2.0, 90.0, 0.0, 0.0, true}, {10.0, 90.0, 0.0, 0.0, true}, {10.0, 270.0, 15.0, 0.0, true},
                             {37.0, 270.0, 15.0, 0.0, true}, {10.0, 0.0, 12.0, 0.0, true}, {10.0, 0.0, 0.0, 0.0, true},
                             {10.0, 0.0, 0.0, 0.0, true}, {40.0, 0.0, 150.0, 0.0, true},
                             {150.0, 0.0, 170.0, 5000.0, false}, {60.0, 0.0, 200.0, 5000.0, false}});
    for (size_t i = 0; i < path.size() && path[i].gsKt != 150.0; ++i) {
        d.rollStartS += path[i].seconds;
        if (i <= pushEnd)
            d.pushEndS += path[i].seconds;
    }
    d.ref = lf_flight(0x484C06, "KLM1006", type, {0, d.stand.latitude, d.stand.longitude, 0, 0, 0, 0, true}, path);
    return d;
}

// A small regional type too: it leaves the push-back's hold sooner after its shorter push and
// must join the taxi at the reported pace, not race to catch up.
TEST_F(MotionScenarioTest, APushBackEndsWhereAndWhenReportedAndTheTaxiFollowsNoseFirstOnTime)
{
    uint32_t seed = 24;
    for (const char* type : {"A320", "D328"}) {
        SCOPED_TRACE(type);
        const PushBackDeparture d = lf_pushBackDeparture(type);
        const ReferenceFlight& ref = d.ref;
        const double pushEndS = d.pushEndS;
        Scenario s({ref}, feed_, sim_, seed++);
        atParkAirport();
        addStand("E40", d.stand, 0.0, 24.0);
        s.run(ref.points.back().t + 20.0);
        const SimObject* o = lf_object(s, ref.hexid);
        ASSERT_NE(o, nullptr);
        const Move push = lf_firstMove(o->track);
        ASSERT_GE(push.end, 0.0);
        const TrackPoint reportedEnd = ref.at(pushEndS);
        const TrackSample& end = o->track[push.endIndex];
        const double endM = lf_metres(end, {reportedEnd.lat, reportedEnd.lon});
        const double endDeg = std::fabs(std::remainder(end.headingDeg - (reportedEnd.trackDeg + 180.0), 360.0));
        std::printf("%s push-back: begins %.1f s, ends %.1f s after the reported times + 30 s; ends %.1f m and %.1f "
                    "deg from the reported end\n",
                    type, push.begin - 30.0 - g_referenceShiftS, push.end - pushEndS - g_referenceShiftS, endM, endDeg);
        EXPECT_NEAR(push.begin, 30.0 + g_referenceShiftS, 3.0);
        EXPECT_NEAR(push.end, pushEndS + g_referenceShiftS, 3.0);
        EXPECT_LE(endM, 15.0);
        EXPECT_LE(endDeg, 10.0);
        lf_expectDeparture((std::string(type) + " push-back").c_str(), s, ref, pushEndS + 22.0, pushEndS + 55.0,
                           pushEndS + 10.0, pushEndS + 62.0);
    }
}

// When the track first lies the metres north of the point (the runway heads north);
// negative when never.
double lf_northOf(const std::vector<TrackSample>& track, const GeoPos& from, double metres)
{
    for (const TrackSample& t : track) {
        if ((t.lat - from.latitude) * 60.0 * 1852.0 >= metres)
            return t.t;
    }
    return -1.0;
}

// RealTraffic reports an aircraft on the ground only every 5 to 10 s: the push-back and the
// take-off roll still start within 3 s of their reported start.
TEST_F(MotionScenarioTest, WithGroundReportsEvery5Or10SThePushBackAndTheTakeOffRollStartOnTime)
{
    const PushBackDeparture d = lf_pushBackDeparture();
    uint32_t seed = 40;
    for (const double gapS : {5.0, 10.0}) {
        SCOPED_TRACE(testing::Message() << "reports every " << gapS << " s");
        FeedScript feed = feed_;
        feed.minGapS = gapS;
        feed.maxGapS = gapS;
        Scenario s({d.ref}, feed, sim_, seed++);
        atParkAirport();
        addStand("E40", d.stand, 0.0, 24.0);
        s.run(d.ref.points.back().t + 20.0);
        const SimObject* o = lf_object(s, d.ref.hexid);
        ASSERT_NE(o, nullptr);
        const Move push = lf_firstMove(o->track);
        // The roll keeps its time when it is 20 m down the runway when the reported one was.
        const TrackPoint hold = d.ref.at(d.rollStartS);
        std::vector<TrackSample> reported;
        for (double t = d.rollStartS; t < d.rollStartS + 20.0; t += 0.01) {
            const TrackPoint r = d.ref.at(t);
            reported.push_back({t, r.lat, r.lon});
        }
        const double roll = lf_northOf(o->track, {hold.lat, hold.lon}, 20.0);
        const double reportedRoll = lf_northOf(reported, {hold.lat, hold.lon}, 20.0);
        const double pushOffS = push.begin - 30.0 - g_referenceShiftS;
        const double rollOffS = roll - reportedRoll - g_referenceShiftS;
        ASSERT_GE(push.end, 0.0);
        const TrackPoint reportedEnd = d.ref.at(d.pushEndS);
        const double endM = lf_metres(o->track[push.endIndex], {reportedEnd.lat, reportedEnd.lon});
        std::printf("ground reports every %.0f s: push-back begins %.1f s after the reported time + 30 s and ends "
                    "%.1f m from the reported end; take-off roll 20 m down the runway %.1f s after the reported "
                    "time + 30 s\n",
                    gapS, pushOffS, endM, rollOffS);
        ASSERT_GE(push.begin, 0.0);
        ASSERT_GE(roll, 0.0);
        EXPECT_LE(endM, 15.0);
        EXPECT_LE(std::fabs(pushOffS), 3.0);
        EXPECT_LE(std::fabs(rollOffS), 3.0);
    }
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
    lf_expectFlown("B744 cruise", *o, ref);
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
    const StepExcess e = lf_stepExcess(o->track, ref);
    EXPECT_EQ(e.horizontalFrames + e.verticalFrames, 0);
}

// A departure whose push-back was already under way when the aircraft was created at its
// stand, from the reports RealTraffic sent for it (tail first with the nose held north, the
// nose swung east at the end, a stop, a taxi east and south onto the runway, the take-off
// roll).
// What RealTraffic reported: t, latitude, longitude, ground speed, track, true heading, and
// in the air the altitude and vertical speed.
struct Report {
    double t, lat, lon, gsKt, trackDeg, headingDeg, altFt = 0.0, vsFpm = 0.0;
};
const Report kReports[]{
    {7.46, 52.306244, 4.775961, 0, 0, 0}, {7.46, 52.306244, 4.775961, 0, 0, 0},
    {16.96, 52.306235, 4.775961, 2, 180, 0}, {19.75, 52.306214, 4.775961, 4.3, 180, 0},
    {22.39, 52.306150, 4.775961, 6, 180, 0}, {25.51, 52.306064, 4.775961, 6, 180, 0},
    {28.85, 52.305971, 4.775961, 6, 180, 0}, {31.82, 52.305888, 4.775961, 6, 180, 0},
    {34.53, 52.305813, 4.775961, 6, 180, 0}, {37.54, 52.305732, 4.775931, 6, 207.5, 27.5},
    {40.21, 52.305674, 4.775857, 6, 227.5, 47.5}, {43.57, 52.305635, 4.775720, 4.5, 257.5, 77.5},
    {46.07, 52.305632, 4.775671, 0.8, 267.5, 87.5}, {50.33, 52.305632, 4.775667, 0, 90, 90},
    {53.38, 52.305632, 4.775703, 5.9, 90, 90}, {56.91, 52.305632, 4.775912, 11.1, 90, 90},
    {60.6, 52.305632, 4.776314, 16, 90, 90}, {63.9, 52.305632, 4.776673, 12.5, 90, 90},
    {67.68, 52.305629, 4.776988, 10, 97, 97}, {71.4, 52.305569, 4.777248, 10, 125, 125},
    {75.84, 52.305411, 4.777457, 10, 157, 157}, {80.23, 52.305212, 4.777502, 10, 180, 180},
    {84.75, 52.305003, 4.777502, 10, 180, 180}, {88.5, 52.304829, 4.777502, 10, 180, 180},
    {93.12, 52.304620, 4.777454, 10, 203, 203}, {97.77, 52.304459, 4.777230, 10, 237, 237},
    {101.02, 52.304308, 4.776835, 27.7, 238, 238}, {105.61, 52.303867, 4.775682, 51.1, 238, 238},
    {109.94, 52.303211, 4.773964, 73.1, 238, 238}, {113.84, 52.302417, 4.771886, 93.1, 238, 238},
    {118.3, 52.301276, 4.768899, 115.9, 238, 238}, {121.64, 52.300256, 4.766231, 133, 238, 238},
    {124.97, 52.299102, 4.763208, 150, 238, 238}, {128.7, 52.297687, 4.759507, 156.5, 238, 238, 134, 3169},
    {132.55, 52.296199, 4.755611, 158.6, 238, 238, 339, 3211},
    {136.35, 52.294711, 4.751717, 160.6, 238, 238, 543, 3253}};
constexpr GeoPos kStand{52.30624378064704, 4.775961379147986}; // heading north, radius 36 m
constexpr GeoPos kReportedPushEnd{52.3056322, 4.7756672};
constexpr double kReportedPushStartS = 16.96;
constexpr double kReportedPushEndS = 46.45;

const TrackSample* lf_firstFrom(const std::vector<TrackSample>& track, double t)
{
    for (const TrackSample& s : track) {
        if (s.t >= t)
            return &s;
    }
    return nullptr;
}



// The push-back starts when its reports are due and follows them; the taxi follows the
// taxi's reports, and the take-off roll starts on the runway.
TEST(DepartureScenarioTest, APushBackUnderWayAtCreationKeepsTheReportsTimeAndTheTaxiItsPath)
{
    // The recorded airliner, and a small regional type that leaves the push-back's hold sooner.
    for (const auto& [type, halfSpanM] : {std::pair{"A320", 17.9}, std::pair{"D328", 10.49}}) {
        SCOPED_TRACE(type);
        SimScript sim;
        sim.keepTracks = true;
        sim.user = {0, 52.3086, 4.7639, 0, 0, 0, 0, true};
        ReferenceFlight ref;
        ref.hexid = 4840034;
        ref.texts.callsign = "BEU7483";
        ref.texts.aircraftType = type;
        ref.texts.origin = "EHAM";
        ref.texts.destination = "LFPG";
        for (const Report& r : kReports)
            ref.points.push_back({r.t, r.lat, r.lon, r.altFt, r.gsKt, r.trackDeg, r.vsFpm, r.altFt == 0.0, r.headingDeg});
        FeedScript feed;
        feed.asLines = true;
        feed.atPoints = true;
        Scenario s({ref}, feed, sim, 7483);
        struct ParkAirportReset {
            ~ParkAirportReset()
            {
                g_parkAirport = {};
                gf_clearParkStands();
                g_parkStandsLoaded = false;
            }
        } const reset;
        enginetest::catalogue().halfSpans = {{type, halfSpanM / 1852.0}};
        g_parkAirport.code = "EHAM";
        g_parkAirport.lat = 52.3086;
        g_parkAirport.lon = 4.7639;
        g_parkStands.emplace_back("E40", std::vector<StandFlight>{}, StandPlace{kStand.latitude, kStand.longitude, 0.0},
                                  36.0, true, true, true);
        gf_numberAndLinkStands(g_parkStands);
        g_parkStandsLoaded = true;
        s.run(ref.points.back().t + g_referenceShiftS + 10.0);
        const SimObject* o = lf_object(s, ref.hexid);
        ASSERT_NE(o, nullptr);
        const std::vector<TrackSample>& track = o->track;

        // The push: the first frame 0.3 m off the stand, the first that stood 2 s within 0.1 m.
        const TrackSample* begin = nullptr;
        const TrackSample* end = nullptr;
        for (size_t i = 0; i < track.size() && end == nullptr; ++i) {
            if (begin == nullptr && lf_metres(track[i], kStand) > 0.3)
                begin = &track[i];
            const TrackSample* later = lf_firstFrom(track, track[i].t + 2.0);
            if (begin != nullptr && later != nullptr &&
                lf_metres(*later, {track[i].lat, track[i].lon}) < 0.1 && lf_metres(track[i], kStand) > 20.0)
                end = &track[i];
        }
        ASSERT_NE(end, nullptr);
        // The take-off roll: the first frame at 30 kt or more over half a second.
        const TrackSample* roll = nullptr;
        for (const TrackSample& f : track) {
            const TrackSample* ahead = lf_firstFrom(track, f.t + 0.5);
            if (ahead != nullptr && lf_metres(f, {ahead->lat, ahead->lon}) / 1852.0 * 3600.0 / (ahead->t - f.t) >= 30.0) {
                roll = &f;
                break;
            }
        }
        ASSERT_NE(roll, nullptr);
        const GeoPos threshold{52.3046, 4.7776};
        const Across onRunway24 = lf_across(threshold, gf_destinationPoint(threshold, 238.0 * g_degToRad, 3500.0 * kFtPerM),
                                            roll->lat, roll->lon);
        const TaxiPace pace = lf_taxiPace(track, ref, end->t + 2.0, roll->t - 2.0);
        // Pushed, it moves tail first: its nose points the reports' way (north), not the way it goes.
        double noseFirstM = 0.0;
        for (const TrackSample* f = begin; f != nullptr && f < end; ++f) {
            const TrackSample& next = f[1];
            const double dn = (next.lat - f->lat) * 60.0 * 1852.0;
            const double de = (next.lon - f->lon) * 60.0 * 1852.0 * std::cos(next.lat * g_degToRad);
            const double step = std::hypot(dn, de);
            const double course = std::atan2(de, dn) * g_radToDeg;
            if (step > 0.02 && std::fabs(std::remainder(course - next.headingDeg, 360.0)) < 90.0)
                noseFirstM += step;
        }
        struct Figure {
            const char* what;
            double value;
            double limit;
        } const figures[] = {
            {"push-back moving nose first (m)", noseFirstM, 0.0},
            {"push begins off its reported time (s)", std::fabs(begin->t - g_referenceShiftS - kReportedPushStartS), 3.0},
            {"push ends off its reported time (s)", std::fabs(end->t - g_referenceShiftS - kReportedPushEndS), 3.0},
            {"push ends off its reported end (m)", lf_metres(*end, kReportedPushEnd), 30.0},
            {"taxi cross-track east (m)", lf_legCrossTrack(*o, ref, kReports[14].t, kReports[17].t), 30.0},
            {"taxi cross-track south (m)", lf_legCrossTrack(*o, ref, kReports[21].t, kReports[23].t), 30.0},
            {"take-off roll starts off runway 24",
             onRunway24.along >= 0.0 && onRunway24.along <= onRunway24.length && onRunway24.across <= 22.5 ? 0.0 : 1.0,
             0.0},
            {"taxi speed beyond 1.3 x the reported + 3 kt (kt)", std::max(pace.beyondCeilingKt, 0.0), 0.0},
            {"taxi standing while its reports moved (s)", pace.longestStandS, 1.0}};
        for (const Figure& f : figures) {
            std::printf("%s: %.1f\n", f.what, f.value);
            EXPECT_LE(f.value, f.limit) << f.what;
        }
    }
}

} // namespace
} // namespace traffictest
