// Taxiing aircraft as a pilot on the apron sees them: the engine's tick run every 10 ms as
// the simulator receives the positions, each report taken by the engine's intake 30 s
// before it is due, as RealTraffic's are. Round corners, arcs and S-turns, a taxiing
// aircraft keeps rolling, never faster than it was reported, and passes near the corner.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "engine_fixture.h"
#include "foundation/geo.h"
#include "traffic/live_update.h"
#include "traffic/motion_internal.h"

namespace enginetest {
namespace {

constexpr GeoPos kStart{52.0, 4.0};
constexpr double kFtPerM = 1.0 / 0.3048;
constexpr double kMPerNm = 1852.0;
constexpr int64_t kStartTick = 10000;
constexpr int64_t kLeadTicks = 3000; // a report is received 30 s before it is due
constexpr double kRadius = 40.0;

// Metres north and east of the start.
struct Local {
    double north = 0.0;
    double east = 0.0;
};

GeoPos lf_geo(const Local& l)
{
    const GeoPos n = gf_destinationPoint(kStart, 0.0, l.north * kFtPerM);
    return gf_destinationPoint(n, g_fullCircle / 4, l.east * kFtPerM);
}

// A reported taxi path: straight pieces and arcs, walked by length.
struct Piece {
    double length; // metres
    double turnDeg; // over the piece, right positive; 0 straight
};

enum class Shape { RightAngle, Arc, STurn };

const char* lf_shapeName(Shape s)
{
    switch (s) {
    case Shape::RightAngle:
        return "right angle";
    case Shape::Arc:
        return "40 m arc";
    case Shape::STurn:
        return "S-turn";
    }
    return "?";
}

struct Path {
    std::vector<Piece> pieces;
    std::vector<double> cornersAt; // the path lengths of the points the aircraft is to pass
};

// A lead-in and a lead-out of at least 80 m and whole report spacings.
Path lf_path(Shape shape, double spacing)
{
    const double straight = std::ceil(80.0 / spacing) * spacing;
    const double quarter = kRadius * g_fullCircle / 4;
    const double sixth = kRadius * g_fullCircle / 6;
    switch (shape) {
    case Shape::RightAngle:
        return {{{straight, 0.0}, {0.0, 90.0}, {straight, 0.0}}, {straight}};
    case Shape::Arc:
        return {{{straight, 0.0}, {quarter, 90.0}, {straight, 0.0}}, {straight + quarter / 2}};
    case Shape::STurn:
        return {{{straight, 0.0}, {sixth, 60.0}, {sixth, -60.0}, {straight, 0.0}},
                {straight + sixth / 2, straight + sixth * 1.5}};
    }
    return {};
}

struct PathPoint {
    Local at;
    double courseDeg = 0.0;
};

PathPoint lf_walk(const Path& path, double s)
{
    PathPoint p;
    for (const Piece& piece : path.pieces) {
        const double along = std::min(s, piece.length);
        const double course = p.courseDeg * g_degToRad;
        if (piece.turnDeg == 0.0) {
            p.at.north += along * std::cos(course);
            p.at.east += along * std::sin(course);
        } else if (piece.length == 0.0) {
            p.courseDeg += piece.turnDeg; // a corner
        } else {
            const double r = piece.length / (std::fabs(piece.turnDeg) * g_degToRad);
            const double side = piece.turnDeg > 0.0 ? 1.0 : -1.0;
            const double turned = along / r * side;
            // Centre to the right (or left) of the course.
            const double cN = p.at.north + r * std::cos(course + side * g_fullCircle / 4);
            const double cE = p.at.east + r * std::sin(course + side * g_fullCircle / 4);
            const double from = course - side * g_fullCircle / 4;
            p.at.north = cN + r * std::cos(from + turned);
            p.at.east = cE + r * std::sin(from + turned);
            p.courseDeg += turned * g_radToDeg;
        }
        s -= along;
        if (s <= 0.0 && piece.length > 0.0)
            break;
    }
    return p;
}

double lf_pathLength(const Path& path)
{
    double l = 0.0;
    for (const Piece& p : path.pieces)
        l += p.length;
    return l;
}

struct Figures {
    double standstillS = 0.0; // the longest after the first move, while the reports move
    double fastestKt = 0.0;   // over any half second
    double cornerM = 0.0;     // the largest of the nearest passes at the corners
    double lateS = 0.0;       // behind the reports when the last is due
    double firstMoveS = -1.0; // after the start
};

Local lf_localOf(const GeoPos& p)
{
    return {(p.latitude - kStart.latitude) * 60.0 * kMPerNm,
            (p.longitude - kStart.longitude) * 60.0 * kMPerNm * std::cos(kStart.latitude * g_degToRad)};
}

// An aircraft of the type at the start, heading north, its first report the front sample
// (standing when atRest); the other reports taken by the engine's intake 30 s before they
// are due and its tick run until the last is due.
Figures lf_drive(const char* type, const std::vector<PosSample>& reports, bool atRest, const std::vector<Local>& corners)
{
    g_liveAcs.clear();
    g_trafficTick = static_cast<uint64_t>(kStartTick);
    LiveFlightRecord rec = record(30001, "TST30", type, reports.front());
    lf_spawnFromRecord(rec);
    LiveAc& a = g_liveAcs.back();
    a.pos.latitude = kStart.latitude;
    a.pos.longitude = kStart.longitude;
    a.pos.altitude = 0.0;
    a.pos.heading = 0.0;
    a.onGround = true;
    a.objectId = 301;
    a.status = SimStatus::Active;
    a.phase = FlightPhase::Taxi;
    a.previousPhase = FlightPhase::Flying;
    a.samples = {reports.front()};
    a.samples.front().stationary = atRest;

    std::vector<double> nearest(corners.size(), 1e9);
    std::vector<GeoPos> track{gf_acPos(a)};
    Figures f;
    size_t received = 1;
    const int64_t end = static_cast<int64_t>(reports.back().dueTick);
    int64_t stillSince = -1;
    for (int64_t tick = kStartTick; tick <= end && a.status == SimStatus::Active; ++tick) {
        g_trafficTick = static_cast<uint64_t>(tick);
        while (received < reports.size() && static_cast<int64_t>(reports[received].dueTick) - kLeadTicks <= tick)
            decodeExisting(a, reports[received++]);
        updateLiveAc(a);
        const GeoPos here = gf_acPos(a);
        const Local l = lf_localOf(here);
        for (size_t i = 0; i < corners.size(); ++i)
            nearest[i] = std::min(nearest[i], std::hypot(l.north - corners[i].north, l.east - corners[i].east));
        const bool still = gf_distanceNm(track.back(), here) * kMPerNm < 0.001;
        if (!still && f.firstMoveS < 0.0)
            f.firstMoveS = static_cast<double>(tick - kStartTick) / 100.0;
        if (still && f.firstMoveS >= 0.0) {
            if (stillSince < 0)
                stillSince = tick - 1;
            f.standstillS = std::max(f.standstillS, static_cast<double>(tick - stillSince) / 100.0);
        } else {
            stillSince = -1;
        }
        track.push_back(here);
        if (track.size() > 50)
            f.fastestKt = std::max(f.fastestKt, gf_distanceNm(track[track.size() - 51], here) * 360000.0 / 50.0);
    }
    for (const double n : nearest)
        f.cornerM = std::max(f.cornerM, n);
    // How far behind the last report the aircraft is, in time at the reported speed.
    const double kt = reports.back().groundSpeed;
    f.lateS = gf_distanceNm(track.back(), gf_samplePos(reports.back())) * 3600.0 / kt;
    g_trafficTick = 0;
    return f;
}

PosSample lf_report(const Local& at, double courseDeg, double kt, int64_t due)
{
    const GeoPos g = lf_geo(at);
    PosSample r = sample(g.latitude, g.longitude, 0.0, kt, static_cast<uint32_t>(due), false);
    r.track = gf_normalHeading(courseDeg * g_degToRad) * g_radToDeg;
    return r;
}

// One aircraft taxiing at kt along the path, reported every spacing metres.
Figures lf_taxi(const char* type, Shape shape, double spacing, double kt)
{
    const Path path = lf_path(shape, spacing);
    const double length = lf_pathLength(path);
    const double ticksPerM = 360000.0 / kMPerNm / kt;
    std::vector<PosSample> reports;
    for (double s = 0.0; s <= length + 1e-6; s += spacing) {
        const PathPoint p = lf_walk(path, s);
        reports.push_back(lf_report(p.at, p.courseDeg, kt, kStartTick + std::llround(s * ticksPerM)));
    }
    std::vector<Local> corners;
    for (const double s : path.cornersAt)
        corners.push_back(lf_walk(path, s).at);
    return lf_drive(type, reports, false, corners);
}

class TaxiFlowTest : public EngineTest {};

// The table of taxi cases: three sizes of aircraft, three shapes of the reported path,
// report spacings and speeds seen at airports. A taxiing aircraft never stands while its
// reports move, never runs faster than 1.3 times its reported speed + 3 kt, and passes
// within 8 m of the reported corner (15 m for a B744 at 20 kt or more).
TEST_F(TaxiFlowTest, TaxiingAircraftRollThroughCornersAtTheirReportedSpeedAndNearTheReportedPath)
{
    int failing = 0;
    int cases = 0;
    for (const char* type : {"A320", "B744", "C172"}) {
        for (const Shape shape : {Shape::RightAngle, Shape::Arc, Shape::STurn}) {
            for (const double spacing : {10.0, 20.0, 25.0, 40.0}) {
                for (const double kt : {5.0, 10.0, 15.0, 20.0, 25.0}) {
                    const Figures f = lf_taxi(type, shape, spacing, kt);
                    const double cornerLimit = std::string(type) == "B744" && kt >= 20.0 ? 15.0 : 8.0;
                    const bool ok = f.standstillS <= 1.0 && f.fastestKt <= 1.3 * kt + 3.0 && f.cornerM <= cornerLimit;
                    ++cases;
                    failing += ok ? 0 : 1;
                    std::printf("%s %-11s %2.0f m %2.0f kt: standstill %5.2f s, fastest %5.1f kt, corner %5.1f m, "
                                "behind %5.1f s%s\n",
                                type, lf_shapeName(shape), spacing, kt, f.standstillS, f.fastestKt, f.cornerM, f.lateS,
                                ok ? "" : "  <-");
                    SCOPED_TRACE(testing::Message() << type << ' ' << lf_shapeName(shape) << ' ' << spacing << " m "
                                                    << kt << " kt");
                    EXPECT_LE(f.standstillS, 1.0);
                    EXPECT_LE(f.fastestKt, 1.3 * kt + 3.0);
                    EXPECT_LE(f.cornerM, cornerLimit);
                    EXPECT_LE(f.lateS, 5.0);
                }
            }
        }
    }
    std::printf("%d of %d taxi cases outside the limits\n", failing, cases);
}

// A standing aircraft whose reports move off at 10 kt: along a straight line far off its
// nose (it turns on the spot first, in its own time), or along a 40 m arc ahead of it. Once
// it moves it keeps moving and never runs faster than 1.3 times the reported speed + 3 kt:
// the time of a turn is never made up by rushing the leg after it.
TEST_F(TaxiFlowTest, AStandingAircraftMovesOffWithoutRushingOrStoppingAgain)
{
    constexpr double kt = 10.0;
    const double ticksPerM = 360000.0 / kMPerNm / kt;
    struct Case {
        const char* type;
        bool arc;
        double offDeg;  // of the straight line, off the nose
        double spacing; // metres between reports
    };
    std::vector<Case> cases;
    for (const char* type : {"A320", "B744", "C172"}) {
        for (const double off : {90.0, 135.0}) {
            for (const double spacing : {20.0, 30.0, 50.0})
                cases.push_back({type, false, off, spacing});
        }
        for (const double spacing : {10.0, 15.0, 25.0})
            cases.push_back({type, true, 0.0, spacing});
    }
    for (const Case& c : cases) {
        std::vector<PosSample> reports{lf_report({}, 0.0, 0.0, kStartTick)};
        std::vector<Local> corners;
        for (int i = 1; i <= 8; ++i) {
            const double s = c.spacing * i;
            Local at{s * std::cos(c.offDeg * g_degToRad), s * std::sin(c.offDeg * g_degToRad)};
            double course = c.offDeg;
            if (c.arc) {
                const double turned = s / kRadius;
                at = {kRadius * std::sin(turned), kRadius * (1.0 - std::cos(turned))};
                course = turned * g_radToDeg;
            }
            reports.push_back(lf_report(at, course, kt, kStartTick + 100 + std::llround(s * ticksPerM)));
        }
        if (c.arc)
            corners.push_back({kRadius * std::sin(1.0), kRadius * (1.0 - std::cos(1.0))});
        const Figures f = lf_drive(c.type, reports, true, corners);
        SCOPED_TRACE(testing::Message() << c.type << (c.arc ? " arc " : " line ") << c.offDeg << " deg " << c.spacing
                                        << " m");
        std::printf("%s from rest, %s %3.0f deg, reports %2.0f m apart at 10 kt: first move %5.2f s, standstill after "
                    "%5.2f s, fastest %5.1f kt, arc %4.1f m, behind %5.1f s\n",
                    c.type, c.arc ? "arc " : "line", c.offDeg, c.spacing, f.firstMoveS, f.standstillS, f.fastestKt,
                    f.cornerM, f.lateS);
        EXPECT_GE(f.firstMoveS, 0.0);
        EXPECT_LE(f.standstillS, 1.0);
        EXPECT_LE(f.fastestKt, 1.3 * kt + 3.0);
        if (c.arc) {
            EXPECT_LE(f.cornerM, 8.0);
        }
    }
}

} // namespace
} // namespace enginetest
