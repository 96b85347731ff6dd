// A departure whose push-back was already under way when the aircraft was created at its
// stand, played through the whole engine and the simulator stand-in from the reports
// RealTraffic sent for it (tail first with the nose held north, the nose swung east at the
// end, a stop, a taxi east and south onto the runway, the take-off roll).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "foundation/geo.h"
#include "parking/park_airports.h"
#include "parking/park_stand.h"
#include "parking/static_parking.h"
#include "support/engine_doubles.h"
#include "support/traffic_metrics.h"
#include "support/traffic_scenario.h"

namespace traffictest {
namespace {

constexpr double kFtPerM = 1.0 / 0.3048;

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

double lf_metres(const TrackSample& a, const GeoPos& b)
{
    return gf_distanceNm({a.lat, a.lon}, b) * 1852.0;
}

double lf_legCrossTrack(const std::vector<TrackSample>& track, size_t from, size_t to)
{
    std::vector<TrackSample> leg;
    for (const TrackSample& s : track) {
        if (s.t >= kReports[from].t + g_referenceShiftS && s.t <= kReports[to].t + g_referenceShiftS)
            leg.push_back(s);
    }
    return gf_maxCrossTrackM(leg, {kReports[from].lat, kReports[from].lon}, {kReports[to].lat, kReports[to].lon});
}

// The push-back starts when its reports are due and follows them; the taxi follows the
// taxi's reports, and the take-off roll starts on the runway.
TEST(DepartureScenarioTest, APushBackUnderWayAtCreationKeepsTheReportsTimeAndTheTaxiItsPath)
{
    SimScript sim;
    sim.keepTracks = true;
    sim.user = {0, 52.3086, 4.7639, 0, 0, 0, 0, true};
    ReferenceFlight ref;
    ref.hexid = 4840034;
    ref.texts.callsign = "BEU7483";
    ref.texts.aircraftType = "A320";
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
    enginetest::catalogue().halfSpans = {{"A320", 17.9 / 1852.0}};
    g_parkAirport.code = "EHAM";
    g_parkAirport.lat = 52.3086;
    g_parkAirport.lon = 4.7639;
    g_parkStands.emplace_back("E40", std::vector<StandFlight>{}, StandPlace{kStand.latitude, kStand.longitude, 0.0},
                              36.0, true, true, true);
    gf_numberAndLinkStands(g_parkStands);
    g_parkStandsLoaded = true;
    s.run(ref.points.back().t + g_referenceShiftS + 10.0);
    const auto& objects = s.objects().empty() ? s.removedObjects() : s.objects();
    ASSERT_EQ(objects.size(), 1U);
    const std::vector<TrackSample>& track = objects.begin()->second.track;

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
    const Runway runway24{threshold, gf_destinationPoint(threshold, 238.0 * g_degToRad, 3500.0 * kFtPerM), 45.0};
    struct Figure {
        const char* what;
        double value;
        double limit;
    } const figures[] = {
        {"push begins off its reported time (s)", std::fabs(begin->t - g_referenceShiftS - kReportedPushStartS), 3.0},
        {"push ends off its reported time (s)", std::fabs(end->t - g_referenceShiftS - kReportedPushEndS), 3.0},
        {"push ends off its reported end (m)", lf_metres(*end, kReportedPushEnd), 30.0},
        {"taxi cross-track east (m)", lf_legCrossTrack(track, 14, 17), 30.0},
        {"taxi cross-track south (m)", lf_legCrossTrack(track, 21, 23), 30.0},
        {"take-off roll starts off runway 24", gf_insideRunway({roll->lat, roll->lon}, runway24) ? 0.0 : 1.0, 0.0}};
    for (const Figure& f : figures) {
        std::printf("%s: %.1f\n", f.what, f.value);
        EXPECT_LE(f.value, f.limit) << f.what;
    }
}

} // namespace
} // namespace traffictest
