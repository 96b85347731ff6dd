// A turn hidden in a gap of the reports: RealTraffic loses an aircraft at low level for
// 10 to 30 s now and then, and the report after the gap, known 30 s ahead, shows it on
// another track. Instead of the straight chord between the two reports, the aircraft flies
// on along its heading, turns at a steady rate and rolls out on the reported track, the
// turn as round as its speed and the time tell; where the tracks turn right round, a curve
// as long as the flight between the reports. It reaches the report at its time; nose and
// bank follow the turn.
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "traffic/motion_internal.h"
#include "traffic/plane_curves.h"

namespace {

constexpr double kMetresPerDeg = 111132.95;
constexpr double kMpsPerKt = 1852.0 / 3600.0;
constexpr double kGravity = 9.80665;
// A gap this long between two reports whose tracks differ this much hides a turn.
constexpr int64_t kLeastGapTicks = 600;
constexpr double kLeastTurnRad = 12.0 * g_degToRad;
constexpr double kLeastAirKt = 30.0;
// The two tracks meet ahead: a turn between two straights, its radius told by the flight's
// length, no tighter than the steepest bank a pilot flies, no wider than the reports allow.
constexpr double kMostCornerRad = 160.0 * g_degToRad;
constexpr double kLeastSideRad = 3.0 * g_degToRad;
constexpr double kSteepestBankRad = 35.0 * g_degToRad;
constexpr double kMostArmStretch = 3.0;
constexpr int kSearches = 16;
// A report this near in time, and this far, tells the track at its neighbour.
constexpr int64_t kNearReportTicks = 1500;
constexpr double kLeastChordM = 100.0;
constexpr int kLengthSteps = 32;

// The points of the turn, with the length along it at each.
struct Points {
    AirTurn& c;
    void add(Vec at, double heading)
    {
        if (c.count == c.points.size())
            return;
        double along = 0.0;
        if (c.count > 0) {
            const AirTurnPoint& last = c.points[c.count - 1];
            along = last.along + std::hypot(at.n - last.north, at.e - last.east);
        }
        c.points[c.count++] = {at.n, at.e, heading, along};
    }
};

// Turned right round: a curve leaving along d0 and arriving at p3 along d3, as long as flown.
// Its arms are drawn out until it is, but no tighter than the aircraft turns: between tracks a
// few degrees either side of the chord (their noise), a flight a few per cent longer than the
// chord (its speed's) drew them out into a cusp, and a C172 swung 60 degrees right and back
// within half a second (gap turn 1850381).
void lf_layCurve(AirTurn& c, Vec p3, Vec d0, Vec d3, double flownM, double leastRadiusM)
{
    const Vec p0{};
    const double chord = gf_length(p3);
    double arm = gf_arcArm(chord, gf_turn(d0, d3));
    if (flownM > gf_cubicLength(p0, d0 * arm, p3 - d3 * arm, p3, kLengthSteps)) {
        double lo = arm;
        double hi = arm * kMostArmStretch;
        for (int i = 0; i < kSearches; ++i) {
            const double m = (lo + hi) / 2.0;
            const Vec p1 = d0 * m;
            const Vec p2 = p3 - d3 * m;
            const bool longer = gf_cubicLength(p0, p1, p2, p3, kLengthSteps) < flownM &&
                                gf_cubicTightestRadius(p0, p1, p2, p3, kLengthSteps) >= leastRadiusM;
            (longer ? lo : hi) = m;
        }
        arm = lo;
    }
    Points out{c};
    const int count = static_cast<int>(c.points.size()) - 1;
    for (int k = 0; k <= count; ++k) {
        const double u = static_cast<double>(k) / count;
        const Vec p1 = d0 * arm;
        const Vec p2 = p3 - d3 * arm;
        out.add(gf_cubicAt(p0, p1, p2, p3, u), gf_heading(gf_cubicTangent(p0, p1, p2, p3, u)));
    }
}

// On along d0 to the turn, a steady turn of the radius, out along d3 to p3.
void lf_layCorner(AirTurn& c, Vec p3, Vec d0, Vec d3, double armA, double turn, double radius)
{
    const double tangent = radius * std::tan(std::fabs(turn) / 2.0);
    const Vec start = d0 * (armA - tangent);
    Points out{c};
    out.add({}, gf_heading(d0));
    const Vec right{-d0.e, d0.n};
    const double side = turn > 0.0 ? 1.0 : -1.0;
    const Vec centre = start + right * (radius * side);
    const int steps = static_cast<int>(c.points.size()) - 3;
    for (int k = 0; k <= steps; ++k) {
        const double a = turn * k / steps;
        const Vec h = gf_headingVec(gf_heading(d0) + a);
        const Vec towardCentre{-h.e * side, h.n * side};
        out.add(centre - towardCentre * radius, gf_heading(h));
    }
    out.add(p3, gf_heading(d3));
}

} // namespace

namespace {

// Two airborne reports far enough apart in time, with tracks turned enough, hide a turn.
bool lf_hidesTurn(const PosSample& a, const PosSample& b)
{
    const int64_t gap = static_cast<int64_t>(b.dueTick) - static_cast<int64_t>(a.dueTick);
    return gap >= kLeastGapTicks && !b.stationary && a.airborne && b.airborne && a.groundSpeed >= kLeastAirKt &&
           b.groundSpeed >= kLeastAirKt && std::fabs(gf_wrapPi((b.track - a.track) * g_degToRad)) >= kLeastTurnRad;
}

// Metres north and east of an origin.
Vec lf_local(double originLat, double originLon, double lat, double lon)
{
    return {(lat - originLat) * kMetresPerDeg,
            gf_wrapPi((lon - originLon) * g_degToRad) * g_radToDeg * std::cos(originLat * g_degToRad) * kMetresPerDeg};
}

// The track at the middle of three reports on one circle: the first chord turned by half the
// arc it spans.
double lf_middleTrack(Vec x, Vec y, Vec z)
{
    const Vec a = y - x;
    const Vec b = z - y;
    const double delta = gf_turn(a, b);
    return gf_heading(a) + std::atan2(gf_length(a) * std::sin(delta), gf_length(b) + gf_length(a) * std::cos(delta));
}

// The track at the last of three reports on one circle.
double lf_lastTrack(Vec x, Vec y, Vec z)
{
    const double middle = lf_middleTrack(x, y, z);
    return middle + 2.0 * gf_wrapPi(gf_heading(z - y) - middle);
}

// The track at a point near the circle through three reports: square to the way from its
// centre, round the way the reports went (clockwise where z lies right of x to y); none where
// they lie on a line.
std::optional<double> lf_circleTrackAt(Vec x, Vec y, Vec z, Vec at)
{
    const Vec a = y - x;
    const Vec b = z - x;
    const double d = 2.0 * gf_cross(a, b);
    if (std::fabs(d) <= 1e-9 * gf_length(a) * gf_length(b))
        return std::nullopt;
    // The centre, from x: the point as far from x as from y and from z.
    const double aa = gf_dot(a, a);
    const double bb = gf_dot(b, b);
    const Vec centre = x + Vec{(b.e * aa - a.e * bb) / d, (a.n * bb - b.n * aa) / d};
    const Vec out = at - centre;
    const Vec clockwise{-out.e, out.n};
    return gf_heading(d > 0.0 ? clockwise : clockwise * -1.0);
}

// A reported track is off by a few degrees; where a report lies near enough on either side,
// the circle through the three tells it as well: halfway between the two. The circle errs
// where the turn began or ended between the reports, the reported track never by much.
double lf_track(double reportedRad, std::optional<double> circleRad)
{
    return circleRad ? reportedRad + gf_wrapPi(*circleRad - reportedRad) / 2.0 : reportedRad;
}

bool lf_nearReport(int64_t fromTick, int64_t toTick, Vec from, Vec to)
{
    return toTick - fromTick <= kNearReportTicks && gf_length(to - from) >= kLeastChordM;
}

} // namespace

void lf_notePassedAirSample(LiveAc& ac)
{
    AirTurn& c = ac.motion.airTurn;
    const PosSample& s = ac.samples.front();
    c.earlierKnown = c.beforeKnown;
    c.earlierLat = c.beforeLat;
    c.earlierLon = c.beforeLon;
    c.earlierTick = c.beforeTick;
    c.beforeKnown = s.airborne && !s.stationary && !ac.onGround;
    c.beforeLat = s.latitude;
    c.beforeLon = s.longitude;
    c.beforeTick = static_cast<int64_t>(s.dueTick);
}

bool lf_turnHiddenAfterNext(const LiveAc& ac)
{
    return ac.samples.size() >= 3 && lf_hidesTurn(ac.samples[1], ac.samples[2]);
}

double lf_hiddenTurnStretch(const LiveAc& ac)
{
    const PosSample& front = ac.samples.at(0);
    const PosSample& next = ac.samples.at(1);
    if (!lf_hidesTurn(front, next))
        return 1.0;
    // An arc turning by the tracks' difference is this much longer than its chord.
    const double half = std::fabs(gf_wrapPi((next.track - front.track) * g_degToRad)) / 2.0;
    return half / std::sin(half);
}

void lf_layAirTurn(LiveAc& ac)
{
    AirTurn& c = ac.motion.airTurn;
    c.active = false;
    c.count = 0;
    const PosSample& front = ac.samples.at(0);
    const PosSample& next = ac.samples.at(1);
    const int64_t gap = static_cast<int64_t>(next.dueTick) - static_cast<int64_t>(front.dueTick);
    const int64_t now = gf_tickNow();
    const int64_t ticks = static_cast<int64_t>(next.dueTick) - now;
    if (gap < kLeastGapTicks || ticks < kLeastGapTicks / 2 || next.stationary || !next.airborne ||
        front.groundSpeed < kLeastAirKt || next.groundSpeed < kLeastAirKt || ac.phase != FlightPhase::Flying ||
        ac.motion.landingStep != 0)
        return;
    c.originLat = ac.pos.latitude;
    c.originLon = ac.pos.longitude;
    const Vec p3 = lf_local(c.originLat, c.originLon, next.latitude, next.longitude);
    const double chord = gf_length(p3);
    // The tracks at the two ends, from the reports either side where there are any. The
    // turn begins where the aircraft is: at the report, or where it went on without one.
    const Vec a{};
    std::optional<double> startCircle;
    std::optional<double> endCircle;
    if (const Vec before = lf_local(c.originLat, c.originLon, c.beforeLat, c.beforeLon);
        c.beforeKnown && lf_nearReport(c.beforeTick, static_cast<int64_t>(front.dueTick), before, a)) {
        startCircle = lf_middleTrack(before, a, p3);
        endCircle = lf_lastTrack(before, a, p3);
    } else if (const Vec earlier = lf_local(c.originLat, c.originLon, c.earlierLat, c.earlierLon);
               c.beforeKnown && c.earlierKnown && gf_length(a - before) < kLeastChordM &&
               static_cast<int64_t>(front.dueTick) - c.beforeTick <= kNearReportTicks &&
               lf_nearReport(c.earlierTick, c.beforeTick, earlier, before)) {
        // Flown on from the last report without a new one (the one after it dropped as a
        // repeat: a second or less later, or under 450 m on, its track steady), the aircraft
        // lies too near that report for the two to tell a circle: the report before it does,
        // and the circle's track where the aircraft now is starts the turn. On the last
        // report's track alone, 5.6 degrees off, a B744 turned 8 degrees more across a 30 s gap
        // than it had and passed 94 m wide of its way (the route bench's gap turn 5350374).
        // Told by reports all before the gap, the circle tells nothing of the track at its far
        // end: where the turn ended within the gap, that track was 6 degrees short, and an
        // A320 rolled out 60 m wide of its way (gap turn 10971).
        startCircle = lf_circleTrackAt(earlier, before, p3, a);
    }
    if (ac.samples.size() >= 3 && ac.samples[2].airborne && !ac.samples[2].stationary) {
        const PosSample& after = ac.samples[2];
        const Vec n = lf_local(c.originLat, c.originLon, after.latitude, after.longitude);
        if (lf_nearReport(static_cast<int64_t>(next.dueTick), static_cast<int64_t>(after.dueTick), p3, n))
            endCircle = lf_middleTrack(a, p3, n);
    }
    const double startTrack = lf_track(front.track * g_degToRad, startCircle);
    const double endTrack = lf_track(next.track * g_degToRad, endCircle);
    const Vec d0 = gf_headingVec(startTrack);
    double turn = gf_wrapPi(endTrack - startTrack);
    // Turned right round, the report lies on the side the turn went.
    if (std::fabs(turn) > g_fullCircle * 0.4 && (d0.n * p3.e - d0.e * p3.n) * turn < 0.0)
        turn = -turn;
    if (std::fabs(turn) < kLeastTurnRad || chord < 1.0)
        return;
    const Vec d3 = gf_headingVec(startTrack + turn);
    const double speed = (front.groundSpeed + next.groundSpeed) / 2.0 * kMpsPerKt;
    const double flown = speed * static_cast<double>(ticks) / 100.0;
    const Vec along = p3 * (1.0 / chord);
    const double alpha = gf_turn(d0, along);
    const double beta = gf_turn(along, d3);
    if (std::fabs(turn) <= kMostCornerRad && alpha * turn > 0.0 && beta * turn > 0.0 &&
        std::fabs(alpha) >= kLeastSideRad && std::fabs(beta) >= kLeastSideRad) {
        const double s = std::sin(std::fabs(turn));
        const double armA = chord * std::sin(std::fabs(beta)) / s;
        const double armB = chord * std::sin(std::fabs(alpha)) / s;
        const double half = std::tan(std::fabs(turn) / 2.0);
        const double widest = std::min(armA, armB) / half;
        const double tightest = std::min(speed * speed / (kGravity * std::tan(kSteepestBankRad)), widest);
        const double radius = (armA + armB - flown) / (2.0 * half - std::fabs(turn));
        lf_layCorner(c, p3, d0, d3, armA, turn, std::clamp(radius, tightest, widest));
    } else {
        lf_layCurve(c, p3, d0, d3, flown, speed * speed / (kGravity * std::tan(kSteepestBankRad)));
    }
    c.startTick = now;
    c.endTick = static_cast<int64_t>(next.dueTick);
    c.active = c.count >= 2;
}

bool lf_airTurnActive(const LiveAc& ac)
{
    return ac.motion.airTurn.active && !ac.onGround && ac.phase == FlightPhase::Flying;
}

void lf_followAirTurn(LiveAc& ac)
{
    AirTurn& c = ac.motion.airTurn;
    const int64_t now = gf_tickNow();
    const double share =
        static_cast<double>(now + 1 - c.startTick) / static_cast<double>(std::max<int64_t>(c.endTick - c.startTick, 1));
    const double length = c.points[c.count - 1].along;
    const double want = std::clamp(share, 0.0, 1.0) * length;
    size_t i = 0;
    while (i + 2 < c.count && c.points[i + 1].along < want)
        ++i;
    const AirTurnPoint& a = c.points[i];
    const AirTurnPoint& b = c.points[i + 1];
    const double span = b.along - a.along;
    const double k = span > 0.0 ? std::clamp((want - a.along) / span, 0.0, 1.0) : 1.0;
    ac.pos.latitude = c.originLat + (a.north + (b.north - a.north) * k) / kMetresPerDeg;
    ac.pos.longitude =
        c.originLon + (a.east + (b.east - a.east) * k) / (std::cos(c.originLat * g_degToRad) * kMetresPerDeg);
    const double heading = gf_normalHeading(a.heading + gf_wrapPi(b.heading - a.heading) * k);
    // The bank that turns at the curve's rate at its pace.
    const double rate = gf_wrapPi(heading - ac.pos.heading) * 100.0;
    const double pace = length / (static_cast<double>(c.endTick - c.startTick) / 100.0);
    lf_setBankStep(ac, std::atan(pace * rate / kGravity), 1);
    ac.pos.heading = heading;
    if (share >= 1.0)
        c.active = false;
}
