// A tug pushes an aircraft straight back off its stand and swings its tail round onto the
// line it leaves along. The push's way is therefore laid from two lines and the reports
// between: the line the aircraft stands on now, the line it ends on (its place and swing at
// the push's end, as the reports at rest there tell), joined by a circular turn as wide as
// the reports between show. A swing too slight to meet its line ahead, or lines that meet
// behind, are joined by one smooth curve. Reports that such a way does not follow (a push
// round a corner of the apron) are followed as the taxi's are.
#include "traffic/push_path.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "traffic/plane_curves.h"

namespace {

constexpr double kRestKt = 1.0;
constexpr double kLeastSwingRad = 10.0 * g_degToRad;
// The turns tried: from this share of the widest the two lines allow up to the widest.
constexpr double kTightestShare = 0.1;
constexpr int kTurnTries = 19;
constexpr double kStepM = 1.0;
constexpr double kStepRad = 2.0 * g_degToRad;
constexpr int kLeastSteps = 4;
// The end this close, or behind the tail: the push is over where the aircraft stands.
constexpr double kReachedM = 0.3;
// The end's line is told by the way to it from this far off; nearer, by the tail.
constexpr double kTellingChordM = 5.0;
constexpr double kOrientingChordM = 15.0;
// A report farther than this off the laid way: the push does not go as a tug swings.
constexpr double kOffReportsM = 10.0;
// A tighter turn than the widest is taken when it fits the reports by more than this in
// each, beyond their jitter.
constexpr double kFitSlackM = 1.5;
constexpr double kMostSwingRad = 170.0 * g_degToRad;
constexpr int kAsideTries = 8;
// How far the end may be laid beside its reports' place: within their jitter, averaged.
constexpr double kMostAsideM = 2.0;

// From the last point (a) along ta to b, reached along tb: a circular arc's cubic.
void lf_appendCurve(std::vector<PathPoint>& points, Vec a, Vec ta, Vec b, Vec tb)
{
    const double chord = gf_length(b - a);
    const double turn = gf_turn(ta, tb);
    const double arm = gf_arcArm(chord, turn);
    const Vec p1 = a + ta * arm;
    const Vec p2 = b - tb * arm;
    const int steps = std::max({kLeastSteps, static_cast<int>(std::ceil(std::fabs(turn) / kStepRad)),
                                static_cast<int>(std::ceil(chord / kStepM))});
    for (int k = 1; k <= steps; ++k) {
        const double t = static_cast<double>(k) / steps;
        const double u = 1.0 - t;
        const Vec d1 = gf_cubicTangent(a, p1, p2, b, t);
        const Vec d2 = (p2 - p1 * 2.0 + a) * (6.0 * u) + (b - p2 * 2.0 + p1) * (6.0 * t);
        const double speed = gf_length(d1);
        const double curvature = speed > 0.0 ? std::fabs(gf_cross(d1, d2)) / (speed * speed * speed) : 0.0;
        gf_appendPathPoint(points, gf_cubicAt(a, p1, p2, b, t), speed > 0.0 ? d1 : tb, curvature);
    }
}

// The corner's way: along the first line to the turn, the turn, along the last line.
std::vector<PathPoint> lf_cornerWay(Vec a, Vec ua, Vec corner, Vec e, Vec ue, double arm)
{
    std::vector<PathPoint> points;
    gf_appendPathPoint(points, a, ua, 0.0);
    const Vec from = corner - ua * arm;
    const Vec to = corner + ue * arm;
    gf_appendPathPoint(points, from, ua, 0.0);
    lf_appendCurve(points, from, ua, to, ue);
    gf_appendPathPoint(points, e, ue, 0.0);
    return points;
}

// The squared distances of the reports between the one reached and the end, and the largest.
double lf_misfit(const std::vector<PathPoint>& points, const std::vector<PathReport>& reports, size_t front,
                 double& farthest)
{
    double sum = 0.0;
    farthest = 0.0;
    for (size_t i = front + 1; i + 1 < reports.size(); ++i) {
        const double d = gf_nearestOnPoints(points, {reports[i].north, reports[i].east}, 0, points.size()).distance;
        sum += d * d;
        farthest = std::max(farthest, d);
    }
    return sum;
}

// The way the push goes at its end: the line its report gives (a report at rest gives the
// nose's line or the last track's), turned to go on from where the push comes from.
Vec lf_endWay(const std::vector<PathReport>& reports, size_t front, Vec a, Vec ua)
{
    const PathReport& last = reports.back();
    const Vec e{last.north, last.east};
    Vec from = a;
    for (size_t i = reports.size() - 1; i-- > front + 1;) {
        const Vec at{reports[i].north, reports[i].east};
        if (gf_length(e - at) >= kTellingChordM) {
            from = at;
            break;
        }
    }
    const Vec way = gf_length(e - from) >= kTellingChordM ? gf_unit(e - from) : ua;
    const bool given = last.speedKt <= kRestKt ? last.restTrackGiven : last.trackKnown;
    if (!given)
        return way;
    // Which way along the line: a few metres' way may point anywhere by the reports' jitter,
    // so it is told from farther back, or from the aircraft, or by its tail when it is near.
    Vec toward = gf_length(e - a) >= kTellingChordM ? gf_unit(e - a) : ua;
    for (size_t i = reports.size() - 1; i-- > front + 1;) {
        const Vec at{reports[i].north, reports[i].east};
        if (gf_length(e - at) >= kOrientingChordM) {
            toward = gf_unit(e - at);
            break;
        }
    }
    const Vec line = gf_headingVec(last.trackRad);
    return gf_dot(line, toward) >= 0.0 ? line : line * -1.0;
}

void lf_stations(const std::vector<PathReport>& reports, size_t front, GroundPath& path)
{
    const double length = gf_pathLength(path);
    path.reportStations.assign(reports.size(), 0.0);
    double from = 0.0;
    for (size_t i = front + 1; i < reports.size(); ++i) {
        const double station = i + 1 < reports.size()
                                   ? gf_nearestOnPoints(path.points, {reports[i].north, reports[i].east}, 0,
                                                        path.points.size())
                                         .station
                                   : length;
        from = std::clamp(station, from, length);
        path.reportStations[i] = from;
    }
}

} // namespace

void gf_layPushPath(const std::vector<PathReport>& reports, size_t front, double tailHeading, double leastRadiusM,
                    GroundPath& path)
{
    path.points.clear();
    path.reportStations.assign(reports.size(), 0.0);
    const Vec a{};
    const Vec ua = gf_headingVec(tailHeading);
    if (reports.size() <= front + 1) {
        gf_appendPathPoint(path.points, a, ua, 0.0);
        return;
    }
    const Vec e{reports.back().north, reports.back().east};
    const Vec ue = lf_endWay(reports, front, a, ua);
    const double along = gf_dot(e - a, ua);
    if (gf_length(e - a) < kReachedM || along <= 0.0) {
        gf_appendPathPoint(path.points, a, ua, 0.0);
        gf_appendPathPoint(path.points, a + ua * std::max(along, kReachedM), ua, 0.0);
        lf_stations(reports, front, path);
        return;
    }
    const double swing = gf_turn(ua, ue);
    const double across = gf_cross(ua, ue);
    const Vec d = e - a;
    const double toCorner = std::fabs(across) > 1e-9 ? gf_cross(d, ue) / across : -1.0;
    const double fromCorner = std::fabs(across) > 1e-9 ? gf_cross(ua, d) / across : -1.0;
    const double halfTan = std::tan(std::min(std::fabs(swing), kMostSwingRad) / 2.0);
    const double leastArm = leastRadiusM * halfTan;
    std::vector<PathPoint> best;
    if (std::fabs(swing) >= kLeastSwingRad && std::min(toCorner, fromCorner) >= leastArm) {
        // The turn's tangent lengths, equal on both lines: as wide as the lines allow, unless the
        // reports between show clearly a tighter one.
        const Vec corner = a + ua * toCorner;
        const double widest = std::min(toCorner, fromCorner);
        std::vector<std::pair<double, std::vector<PathPoint>>> tries;
        double least = std::numeric_limits<double>::infinity();
        for (int k = kTurnTries - 1; k >= 0; --k) {
            const double arm = std::max(widest * (kTightestShare + (1.0 - kTightestShare) * k / (kTurnTries - 1)),
                                        leastArm);
            std::vector<PathPoint> points = lf_cornerWay(a, ua, corner, e, ue, arm);
            double farthest = 0.0;
            const double misfit = lf_misfit(points, reports, front, farthest);
            least = std::min(least, misfit);
            tries.emplace_back(misfit, std::move(points));
        }
        const double slack = kFitSlackM * kFitSlackM * static_cast<double>(reports.size() - front);
        for (auto& [misfit, points] : tries) {
            if (misfit <= least + slack) {
                best = std::move(points);
                break;
            }
        }
    } else {
        // One smooth curve to the end, where that turns no tighter than a push goes; else a
        // line beside the end's, where the end lies along it: the swing matters more than
        // a metre or two aside.
        const Vec side{-ue.e, ue.n};
        const double aside = gf_dot(d, side);
        for (int k = 0; k <= kAsideTries; ++k) {
            // Farther aside, the push would stop off the place its reports show: there a
            // tighter swing than a tug's widest is the lesser fault.
            const double shift = aside * static_cast<double>(k) / kAsideTries;
            const bool farAside = std::fabs(shift) >= kMostAsideM;
            std::vector<PathPoint> points;
            gf_appendPathPoint(points, a, ua, 0.0);
            lf_appendCurve(points, a, ua, e - side * std::clamp(shift, -kMostAsideM, kMostAsideM), ue);
            const bool tight = std::any_of(points.begin(), points.end(), [leastRadiusM](const PathPoint& p) {
                return p.curvature * leastRadiusM > 1.0;
            });
            if (!tight || farAside || (k == kAsideTries && std::fabs(swing) < kLeastSwingRad)) {
                best = std::move(points);
                break;
            }
        }
        if (best.empty()) {
            const Vec to = a + ua * leastArm + ue * leastArm;
            gf_appendPathPoint(best, a, ua, 0.0);
            lf_appendCurve(best, a, ua, to, ue);
            gf_appendPathPoint(best, to + ue * std::max(gf_dot(e - to, ue), 0.0), ue, 0.0);
        }
    }
    double farthest = 0.0;
    lf_misfit(best, reports, front, farthest);
    if (farthest > kOffReportsM) {
        gf_layGroundPath(reports, PathShape{}, path);
        return;
    }
    path.points = std::move(best);
    lf_stations(reports, front, path);
}
