// A live aircraft on the ground: taxi curves through the reported corners, midpoints where
// the speed changes much, the turn rate fitted to the time there is, the roll-out after
// touchdown and the drive onto a stand.
#include <algorithm>
#include <cmath>
#include <optional>

#include "foundation/log.h"
#include "parking/static_parking.h"
#include "traffic/aircraft_configuration.h"
#include "traffic/live_stands.h"
#include "traffic/live_update.h"
#include "traffic/motion_internal.h"
#include "traffic/traffic_service.h"

namespace {

constexpr double kMetresPerDeg = 111132.95;
constexpr double kMetresPerNm = 1852.0;
constexpr double kLastParameter = 0.999999;
constexpr double kTurnToleranceRad = 0.5 * g_degToRad;
constexpr double kOffRunwayRad = 15.0 * g_degToRad;
constexpr int32_t kMinTicks = 25;
constexpr double kOnSpotDeg = 5.0;
constexpr double kStartingNm = 0.0026997840172786176; // 5 m: from rest, at half the speed
constexpr int64_t kLeastWaitTicks = 100;
constexpr double kRestKt = 0.5;
constexpr double kTangentMargin = 1.2;
constexpr double kMostTurnRateFactor = 5.0;
constexpr double kLeastLegM = 1.0;
constexpr double kLeastSine = 0.05; // about 3 degrees
constexpr double kArmRatio = 1.5;
constexpr double kLeastArmM = 5.0;
constexpr double kCornerPassM = 8.0;
constexpr double kLeadIntoTurnRad = 8.0 * g_degToRad;
constexpr double kMostCurveSpeedChangeKt = 10.0;
constexpr double kOntoLegRad = 10.0 * g_degToRad;
constexpr double kMostOntoLegRad = 120.0 * g_degToRad;
constexpr int kLengthSteps = 16;
constexpr double kMostParameterStep = 0.1;
constexpr double kMostArmTurnRad = 160.0 * g_degToRad;
constexpr double kOntoCourseTicks = 100.0;
constexpr double kOnStandM = 2.0;

double lf_northM(double lat, double originLat)
{
    return (lat - originLat) * kMetresPerDeg;
}

double lf_eastM(double lon, double originLon, double originLat)
{
    return (lon - originLon) * std::cos(originLat * g_degToRad) * kMetresPerDeg;
}

double lf_distanceM(const PosSample& a, const PosSample& b)
{
    return gf_distanceNm(gf_samplePos(a), gf_samplePos(b)) * kMetresPerNm;
}

// The largest turn of a curve's tangent per unit of its parameter (radians): where the
// tangent (1 - t) A + t B, A and B its two arms, is shortest.
double lf_fastestTangentTurn(const TaxiCurve& c)
{
    const double aN = c.controlNorth;
    const double aE = c.controlEast;
    const double bN = c.endNorth - c.controlNorth;
    const double bE = c.endEast - c.controlEast;
    const double dN = aN - bN;
    const double dE = aE - bE;
    const double dd = dN * dN + dE * dE;
    const double t = dd > 0.0 ? std::clamp((aN * dN + aE * dE) / dd, 0.0, 1.0) : 0.0;
    const double vN = (1.0 - t) * aN + t * bN;
    const double vE = (1.0 - t) * aE + t * bE;
    const double vv = vN * vN + vE * vE;
    return vv > 0.0 ? std::fabs(aN * bE - aE * bN) / vv : 0.0;
}

// The turn the nose makes along the curve: from its heading to the curve's end.
double lf_curveTurnDeg(const LiveAc& ac)
{
    const TaxiCurve& c = ac.motion.curve;
    const double end = std::atan2(c.endEast - c.controlEast, c.endNorth - c.controlNorth);
    return std::fabs(gf_wrapPi(end - ac.pos.heading)) * g_radToDeg;
}

uint32_t lf_groundThrottle(const LiveAc& ac)
{
    return ac.category == TypeCategory::Rotorcraft ? 4 : 0;
}

void lf_rollOut(LiveAc& ac)
{
    MotionState& m = ac.motion;
    if (std::fabs(gf_wrapPi(ac.pos.heading - m.touchdownHeading)) >= kOffRunwayRad) {
        gf_setFlaps(ac, 0);
        m.rollOut = false;
        m.touchdownHeading = 0.0;
        gf_setThrottle(ac, lf_groundThrottle(ac));
        gf_setSpoilers(ac, 0);
        lf_zeroThrottleData(ac);
        gf_setLights(ac.objectId, g_lightsOffRunway);
    } else if (ac.samples.front().groundSpeed <= 90.0) {
        gf_setSpoilers(ac, 0);
        lf_zeroThrottleData(ac);
        gf_setFlaps(ac, 1);
    }
}

// Metres north and east of the aircraft.
struct Local {
    double north = 0.0;
    double east = 0.0;
};

Local lf_local(const LiveAc& ac, const PosSample& s)
{
    return {lf_northM(s.latitude, ac.pos.latitude), lf_eastM(s.longitude, ac.pos.longitude, ac.pos.latitude)};
}

PosSample lf_sampleAt(const LiveAc& ac, const PosSample& like, const Local& at, int64_t due)
{
    PosSample s = like;
    s.latitude = ac.pos.latitude + at.north / kMetresPerDeg;
    s.longitude = ac.pos.longitude + at.east / (std::cos(ac.pos.latitude * g_degToRad) * kMetresPerDeg);
    s.dueTick = static_cast<uint32_t>(due);
    s.stationary = false;
    return s;
}

// Where the line ahead of the nose meets the line through end in the direction u; nothing
// when they do not meet ahead of the nose and before end.
std::optional<Local> lf_meetOnTheNose(const LiveAc& ac, const Local& e, double uNorth, double uEast)
{
    const double length = std::hypot(uNorth, uEast);
    const double hNorth = std::cos(ac.pos.heading);
    const double hEast = std::sin(ac.pos.heading);
    const double det = hEast * uNorth - hNorth * uEast;
    if (length <= 0.0 || std::fabs(det) < kLeastSine * length)
        return std::nullopt;
    // along the nose and back along the leg they meet: along h + back u = end.
    const double along = (e.east * uNorth - e.north * uEast) / det;
    const double back = (hEast * e.north - hNorth * e.east) / det;
    const double reach = std::hypot(e.north, e.east);
    if (along <= 0.0 || back < 0.0 || along > reach || back * length > reach)
        return std::nullopt;
    return Local{along * hNorth, along * hEast};
}

// The reported corner lies between two reports: a curve through the report before it ends
// on the diagonal between them and leaves a second corner after it. The corner is where the
// line ahead of the nose meets the leg that follows, through the report after the corner:
// along that report's track (unless it points back), else towards the report after it.
std::optional<Local> lf_curveCorner(const LiveAc& ac)
{
    const auto& q = ac.samples;
    const Local e = lf_local(ac, q[2]);
    // A missing track reads 0: it counts only when it points on from the report before.
    const double track = q[2].track * g_degToRad;
    if (q[2].groundSpeed > 0.0 &&
        std::fabs(gf_wrapPi(track - gf_bearingRad(gf_samplePos(q[1]), gf_samplePos(q[2])))) < g_fullCircle / 4) {
        if (const auto corner = lf_meetOnTheNose(ac, e, std::cos(track), std::sin(track)))
            return corner;
    }
    const Local from = lf_local(ac, q.size() >= 4 ? q[2] : q[1]);
    const Local to = lf_local(ac, q.size() >= 4 ? q[3] : q[2]);
    return lf_meetOnTheNose(ac, e, to.north - from.north, to.east - from.east);
}

// The due tick of a point on the way to a sample, by its share of the way.
int64_t lf_dueOnTheWay(const PosSample& to, double share)
{
    const int64_t from = gf_tickNow();
    const int64_t due = from + std::llround(static_cast<double>(static_cast<int64_t>(to.dueTick) - from) * share);
    return std::clamp<int64_t>(due, from + 1, static_cast<int64_t>(to.dueTick) - 1);
}

// The shortest arms a corner's curve may have for the nose to keep up with its tangent at
// the reported speed, turning at most kMostTurnRateFactor times its own rate: the tangent of
// a curve with two equal arms L turns by at most 2 tan(turn / 2) over the curve, flown in the
// time of 2 L.
double lf_leastArmM(const LiveAc& ac, double turnRad, double kt)
{
    const double rate = ac.groundTurnRate * kMostTurnRateFactor;
    if (!(rate > 0.0) || !(kt > 0.0))
        return kLeastArmM;
    const double metresPerTick = kt * kMetresPerNm / 360000.0;
    return std::max(std::tan(std::min(std::fabs(turnRad), kMostArmTurnRad) / 2.0) * metresPerTick / rate, kLeastArmM);
}

// A corner taken nose first. A curve turns as fast as its shorter arm asks, and passes the
// corner the farther the longer its arms: when the nose's arm to the corner is much longer
// than the other, or than the nose needs to follow the turn, the aircraft goes straight on to
// where the curve is to begin (to the report before it when that comes first) and lays the
// curve from there.
void lf_layCorner(LiveAc& ac)
{
    const std::optional<Local> corner = lf_curveCorner(ac);
    if (corner && static_cast<int64_t>(ac.samples[2].dueTick) - gf_tickNow() >= 2) {
        const Local e = lf_local(ac, ac.samples[2]);
        const double a = std::hypot(corner->north, corner->east);
        const double b = std::hypot(e.north - corner->north, e.east - corner->east);
        const double turn = gf_wrapPi(std::atan2(e.east - corner->east, e.north - corner->north) - ac.pos.heading);
        const double kt = std::max(ac.samples[1].groundSpeed, ac.samples[2].groundSpeed);
        // Arms as long as the path passes the corner within kCornerPassM (a curve with two
        // equal arms L passes it at L sin(turn / 2) / 2), unless the nose needs them longer.
        const double sine = std::sin(std::min(std::fabs(turn), kMostArmTurnRad) / 2.0);
        const double passing = sine > 0.0 ? 2.0 * kCornerPassM / sine : b;
        const double limit = std::max(lf_leastArmM(ac, turn, kt), passing);
        const double arm = std::min(b, limit);
        if (a > kArmRatio * b || a > limit + kLeastLegM) {
            const double straight = a - arm;
            const PosSample& next = ac.samples[1];
            const double toNextRad =
                std::fabs(gf_wrapPi(gf_bearingRad(gf_acPos(ac), gf_samplePos(next)) - ac.pos.heading));
            if (toNextRad <= kOnSpotDeg * g_degToRad &&
                gf_distanceNm(gf_acPos(ac), gf_samplePos(next)) * kMetresPerNm + kLeastLegM < straight)
                return;
            const Local at{corner->north * straight / a, corner->east * straight / a};
            ac.samples[1] = lf_sampleAt(ac, ac.samples[1], at, lf_dueOnTheWay(ac.samples[2], straight / (a + b)));
            // Straight on to where the curve begins: the nose leads into the turn, but only
            // a little off the course it rolls on.
            const double lead = gf_wrapPi(ac.motion.targetHeading - ac.pos.heading);
            ac.motion.targetHeading =
                gf_normalHeading(ac.pos.heading + std::clamp(lead, -kLeadIntoTurnRad, kLeadIntoTurnRad));
            return;
        }
    }
    lf_buildTaxiCurve(ac);
    ac.motion.curve.turnAngle = lf_curveTurnDeg(ac);
}

// The corner ahead, by the path's turn at the next sample.
void lf_shapeCorner(LiveAc& ac)
{
    // A curve takes the time of both legs at one pace and drops the report between them: where
    // the pace changes much (a take-off roll from its line-up) each leg keeps its own time.
    if (ac.samples.size() >= 3 && !ac.samples[2].stationary &&
        std::fabs(ac.samples[2].groundSpeed - ac.samples[1].groundSpeed) <= kMostCurveSpeedChangeKt) {
        const double a = std::fabs(lf_turnToNextLeg(ac) * g_radToDeg);
        if (a > 3.0) {
            const PosSample& front = ac.samples[0];
            const PosSample& next = ac.samples[1];
            const int64_t gap = static_cast<int64_t>(next.dueTick) - static_cast<int64_t>(front.dueTick);
            if (a <= 160.0 && !gf_samePlace(ac.samples[2], front) && ac.phase != FlightPhase::PushingBack &&
                lf_curveCorner(ac)) {
                lf_layCorner(ac);
            } else if (a > 45.0 && lf_distanceM(front, next) > 50.0 && front.groundSpeed <= 43.0 &&
                       std::max<int64_t>(gap, kMinTicks) >= 600) {
                lf_insertMidSample(ac);
            } else if (a <= 160.0 && !gf_samePlace(ac.samples[2], front)) {
                lf_buildTaxiCurve(ac);
                ac.motion.curve.turnAngle = a;
            } else {
                lf_splitOnSpeedChange(ac);
            }
            return;
        }
    }
    if (ac.samples.size() >= 3) {
        lf_splitOnSpeedChange(ac);
        return;
    }
    const PosSample& front = ac.samples[0];
    const PosSample& next = ac.samples[1];
    if (ac.pauseCounter < 1 && (front.groundSpeed > 0.0 || next.groundSpeed > 0.0) &&
        std::fabs(front.groundSpeed - next.groundSpeed) > 5.0 && lf_distanceM(front, next) >= 100.0)
        lf_insertMidSample(ac);
}

double lf_curveLength(const TaxiCurve& c);

// A curve laid from where the aircraft is, at its start.
TaxiCurve& lf_startCurve(LiveAc& ac)
{
    TaxiCurve& c = ac.motion.curve;
    c.originLat = ac.pos.latitude;
    c.originLon = ac.pos.longitude;
    c.startParameter = 0.0;
    c.endParameter = 1.0;
    c.parameter = 0.0;
    return c;
}

// A rolling aircraft comes onto a leg off its nose that no corner's curve leads onto along
// a curve from its nose to the leg's end, turning as it rolls.
void lf_curveOntoLeg(LiveAc& ac)
{
    const Local e = lf_local(ac, ac.samples[1]);
    const double d = std::hypot(e.north, e.east);
    if (d < 2.0 * kLeastLegM)
        return;
    TaxiCurve& c = lf_startCurve(ac);
    c.controlNorth = d / 2.0 * std::cos(ac.pos.heading);
    c.controlEast = d / 2.0 * std::sin(ac.pos.heading);
    c.endNorth = e.north;
    c.endEast = e.east;
    c.length = lf_curveLength(c);
    c.turnAngle = lf_curveTurnDeg(ac);
}

bool lf_atRest(const PosSample& s)
{
    return s.stationary || s.groundSpeed < kRestKt;
}

// How far a standing aircraft turns on the spot before it moves off to the next sample
// (radians); 0 when it moves off as it stands.
double lf_turnOnSpotRad(const LiveAc& ac)
{
    if (ac.phase != FlightPhase::Taxi && ac.phase != FlightPhase::Parking)
        return 0.0;
    if (!lf_atRest(ac.samples[0]) && ac.phase != FlightPhase::Parking)
        return 0.0;
    const double course = gf_bearingRad(gf_acPos(ac), gf_samplePos(ac.samples[1]));
    const double off = std::fabs(gf_wrapPi(course - ac.pos.heading));
    return off > kOnSpotDeg * g_degToRad ? off : 0.0;
}

// Standing, an aircraft moves off when the real one did, not as early as the pace of the
// leg allows: it waits at its place until the time the leg takes from rest before the next
// report is due.
bool lf_waitBeforeMovingOff(LiveAc& ac)
{
    const PosSample& front = ac.samples[0];
    const PosSample& next = ac.samples[1];
    if (!lf_atRest(front) || ac.phase == FlightPhase::Parked)
        return false;
    const double nm = gf_distanceNm(gf_acPos(ac), gf_samplePos(next)) + kStartingNm;
    const double kt = next.groundSpeed > 0.0 ? next.groundSpeed : lf_sampleSpeedKt(ac);
    // The turn on the spot before it moves off is part of the wait, not made up on the leg.
    const double turnTicks = ac.groundTurnRate > 0.0 ? std::ceil(lf_turnOnSpotRad(ac) / ac.groundTurnRate) : 0.0;
    const int64_t leave = static_cast<int64_t>(next.dueTick) - std::max(gf_tickCount(nm, kt), 1) -
                          static_cast<int64_t>(turnTicks);
    if (leave - gf_tickNow() < kLeastWaitTicks)
        return false;
    PosSample wait = front;
    wait.dueTick = static_cast<uint32_t>(leave);
    ac.samples.insert(ac.samples.begin() + 1, wait);
    return true;
}

// Nose first: standing, an aircraft turns to its next leg before it moves off, as a tug
// leaves it after a push-back, instead of sliding sideways while it turns; so does one
// slowly onto its stand. A taxiing aircraft never stops to turn: it turns along its curve.
bool lf_turnBeforeMovingOff(LiveAc& ac)
{
    MotionState& m = ac.motion;
    const double offRad = lf_turnOnSpotRad(ac);
    if (offRad <= 0.0)
        return false;
    const double course = gf_bearingRad(gf_acPos(ac), gf_samplePos(ac.samples[1]));
    const double off = offRad * g_radToDeg;
    m.targetHeading = course;
    m.groundTurnAngle = off;
    m.groundTurn = true;
    m.turnOnSpot = true;
    return true;
}

// Onto its stand the samples ahead wait for a turn on the spot: the aircraft still gets there
// at the drive's pace once it has turned.
void lf_waitForTheTurn(LiveAc& ac)
{
    const double off = std::fabs(gf_wrapPi(ac.motion.targetHeading - ac.pos.heading));
    const auto turnTicks = static_cast<uint32_t>(std::ceil(off / ac.groundTurnRate));
    for (size_t i = 1; i < ac.samples.size(); ++i)
        ac.samples[i].dueTick += turnTicks;
}

void lf_checkArrival(LiveAc& ac)
{
    if (!ac.samples.back().stationary || ac.phase != FlightPhase::Taxi || !g_parkStandsLoaded.load())
        return;
    const FlightPhase prev = ac.previousPhase;
    if (!ac.motion.towed &&
        (prev == FlightPhase::Parked || prev == FlightPhase::PushingBack || prev == FlightPhase::PushedBack))
        return;
    if (ac.pauseCounter < 1) {
        if (ac.samples.size() >= 2 && ac.samples[1].groundSpeed <= 5.0 &&
            gf_distanceNm(gf_acPos(ac), gf_samplePos(ac.samples.back())) <= 0.018898488120950324)
            try2Park(ac, false);
    } else {
        try2Park(ac, ac.motion.landed);
    }
}

// The curve's speed along it per unit of its parameter (metres), at t.
double lf_curveSpeed(const TaxiCurve& c, double t)
{
    const double u = 1.0 - t;
    return 2.0 * std::hypot(u * c.controlNorth + t * (c.endNorth - c.controlNorth),
                            u * c.controlEast + t * (c.endEast - c.controlEast));
}

// Its length (metres), by Simpson's rule.
double lf_curveLength(const TaxiCurve& c)
{
    const double h = 1.0 / kLengthSteps;
    double sum = lf_curveSpeed(c, 0.0) + lf_curveSpeed(c, 1.0);
    for (int i = 1; i < kLengthSteps; ++i)
        sum += lf_curveSpeed(c, i * h) * (i % 2 == 1 ? 4.0 : 2.0);
    return sum * h / 3.0;
}

// The parameter the metres further along the curve: a step at the speed half way on, so
// that the aircraft keeps an even pace where the curve's arms differ.
double lf_parameterAfter(const TaxiCurve& c, double t, double metres)
{
    const double first = std::min(metres / std::max(lf_curveSpeed(c, t), 1e-9), kMostParameterStep);
    const double half = std::min(t + first / 2.0, 1.0);
    return t + std::min(metres / std::max(lf_curveSpeed(c, half), 1e-9), kMostParameterStep);
}

} // namespace

CurvePoint gf_curvePointAt(const TaxiCurve& c, double s)
{
    CurvePoint out;
    if (std::isnan(c.controlEast) || std::isnan(c.controlNorth) || !(s >= c.startParameter && s <= c.endParameter))
        return out;
    const double t = (s - c.startParameter) / (c.endParameter - c.startParameter);
    if (!(t >= 0.0 && t <= 1.0))
        return out;
    const double u = 1.0 - t;
    const double tanNorth = 2 * u * c.controlNorth + 2 * t * (c.endNorth - c.controlNorth);
    const double tanEast = 2 * u * c.controlEast + 2 * t * (c.endEast - c.controlEast);
    double heading = std::atan2(tanEast, tanNorth);
    if (heading < 0.0)
        heading += g_fullCircle;
    else if (heading > g_fullCircle)
        heading -= g_fullCircle;
    const double north = 2 * u * t * c.controlNorth + t * t * c.endNorth;
    const double east = 2 * u * t * c.controlEast + t * t * c.endEast;
    out.found = true;
    out.pos = {c.originLat + north / kMetresPerDeg,
               c.originLon + east / (std::cos(c.originLat * g_degToRad) * kMetresPerDeg)};
    out.heading = heading;
    return out;
}

void lf_clearTaxiCurve(LiveAc& ac)
{
    TaxiCurve& c = ac.motion.curve;
    c.startParameter = TaxiCurve::kNone;
    c.endParameter = TaxiCurve::kNone;
    c.controlEast = TaxiCurve::kNone;
    c.controlNorth = TaxiCurve::kNone;
    c.parameter = 0.0;
}

bool lf_curveActive(const LiveAc& ac)
{
    return !std::isnan(ac.motion.curve.controlEast) && !std::isnan(ac.motion.curve.controlNorth);
}

void lf_buildTaxiCurve(LiveAc& ac)
{
    PosSample& after = ac.samples.at(2);
    const PosSample& next = ac.samples[1];
    if (after.groundSpeed == 0.0)
        after.groundSpeed = (ac.samples[0].groundSpeed + next.groundSpeed) / 2.0;
    TaxiCurve& c = lf_startCurve(ac);
    c.endNorth = lf_northM(after.latitude, c.originLat);
    c.endEast = lf_eastM(after.longitude, c.originLon, c.originLat);
    c.controlNorth = lf_northM(next.latitude, c.originLat);
    c.controlEast = lf_eastM(next.longitude, c.originLon, c.originLat);
    const std::optional<Local> corner =
        ac.phase == FlightPhase::PushingBack ? std::nullopt : lf_curveCorner(ac);
    if (corner) {
        c.controlNorth = corner->north;
        c.controlEast = corner->east;
        // A curve turns as fast as its shorter arm asks and passes the corner the farther
        // the longer its arms: a longer arm after the corner is cut to match, the rest of it
        // flown straight.
        const double a = std::hypot(c.controlNorth, c.controlEast);
        const double b = std::hypot(c.endNorth - c.controlNorth, c.endEast - c.controlEast);
        if (b > a + kLeastLegM && a >= kLeastLegM && static_cast<int64_t>(after.dueTick) - gf_tickNow() >= 2) {
            const Local end{c.controlNorth + (c.endNorth - c.controlNorth) * a / b,
                            c.controlEast + (c.endEast - c.controlEast) * a / b};
            const PosSample cut = lf_sampleAt(ac, after, end, lf_dueOnTheWay(after, 2 * a / (a + b)));
            c.endNorth = end.north;
            c.endEast = end.east;
            ac.samples.insert(ac.samples.begin() + 2, cut);
        }
    }
    c.length = lf_curveLength(c);
    ac.samples.erase(ac.samples.begin() + 1);
}

void lf_insertMidSample(LiveAc& ac)
{
    const PosSample& front = ac.samples.at(0);
    const PosSample& next = ac.samples.at(1);
    PosSample mid = front;
    mid.latitude = (front.latitude + next.latitude) / 2.0;
    mid.longitude = (front.longitude + next.longitude) / 2.0;
    mid.groundSpeed = (front.groundSpeed + next.groundSpeed) / 2.0;
    mid.dueTick = static_cast<uint32_t>(
        std::llround((static_cast<double>(front.dueTick) + static_cast<double>(next.dueTick)) / 2.0));
    mid.altitude = (front.altitude + next.altitude) / 2.0;
    mid.airborne = mid.altitude > 0.0;
    if (!mid.airborne)
        mid.altitude = 0.0;
    mid.stationary = false;
    ac.samples.insert(ac.samples.begin() + 1, mid);
}

void lf_splitOnSpeedChange(LiveAc& ac)
{
    const PosSample& front = ac.samples.at(0);
    const PosSample& next = ac.samples.at(1);
    if ((front.groundSpeed > 0.0 || next.groundSpeed > 0.0) && std::fabs(front.groundSpeed - next.groundSpeed) > 5.0 &&
        lf_distanceM(front, next) >= 100.0)
        lf_insertMidSample(ac);
}

void nextPosGround(LiveAc& ac)
{
    try {
        if (ac.phase == FlightPhase::PushingBack) {
            lf_pushBackStage(ac);
            return;
        }
        if (ac.phase == FlightPhase::Parked) {
            lf_openWindows(ac);
            lf_departFromStand(ac);
        } else if (!ac.samples.at(1).stationary && !lf_waitBeforeMovingOff(ac) &&
                   !(lf_atRest(ac.samples[0]) && lf_turnBeforeMovingOff(ac))) {
            lf_shapeCorner(ac);
            MotionState& m = ac.motion;
            if (!lf_curveActive(ac)) {
                m.groundTurnAngle = std::fabs(gf_wrapPi(m.targetHeading - ac.pos.heading)) * g_radToDeg;
                m.groundTurn = m.groundTurnAngle > 3.0;
                if (!lf_turnBeforeMovingOff(ac) && ac.phase == FlightPhase::Taxi && !m.takeOffConfiguration) {
                    const double off =
                        std::fabs(gf_wrapPi(gf_bearingRad(gf_acPos(ac), gf_samplePos(ac.samples[1])) - ac.pos.heading));
                    if (off > kOntoLegRad && off <= kMostOntoLegRad)
                        lf_curveOntoLeg(ac);
                    if (lf_curveActive(ac))
                        m.groundTurn = false;
                }
            } else {
                m.groundTurn = false;
            }
        }
        if (ac.phase != FlightPhase::PushingBack && ac.phase != FlightPhase::Parked)
            lf_checkArrival(ac);
        if (ac.phase == FlightPhase::Parking && ac.samples.size() >= 2 && !ac.samples[1].stationary)
            lf_turnBeforeMovingOff(ac);
        if (ac.samples.size() >= 2)
            lf_scheduleGroundSample(ac);
        if (ac.motion.turnOnSpot && ac.phase == FlightPhase::Parking)
            lf_waitForTheTurn(ac);
    } catch (const std::exception& e) {
        gf_logLine("{}: {}, {}, sz:{}", "nextPosGround", e.what(), gf_flightText(ac), ac.samples.size());
        throw;
    }
}

void lf_scheduleGroundSample(LiveAc& ac)
{
    const PosSample& front = ac.samples.at(0);
    PosSample& next = ac.samples.at(1);
    MotionState& m = ac.motion;
    const int64_t now = gf_tickNow();
    if (next.stationary) {
        const int64_t diff = static_cast<int64_t>(next.dueTick) - static_cast<int64_t>(front.dueTick);
        const int64_t gap = diff >= 0 ? std::max<int64_t>(diff, kMinTicks) : kMinTicks;
        int64_t c = now + std::max<int64_t>(static_cast<int64_t>(front.dueTick) - now + gap, kMinTicks);
        if (ac.pauseCounter < 1)
            c = std::clamp(c, static_cast<int64_t>(next.dueTick) - m.earlierWindow,
                           static_cast<int64_t>(next.dueTick) + m.laterWindow);
        next.dueTick = static_cast<uint32_t>(std::max(c, now));
        return;
    }
    double rate = ac.groundTurnRate;
    double d = gf_distanceNm(gf_samplePos(front), gf_samplePos(next));
    // Round a corner the aircraft takes as long as the reported path through it, not as
    // long as the chord: else it gains seconds at every turn.
    if (lf_curveActive(ac)) {
        const TaxiCurve& c = m.curve;
        d = (std::hypot(c.controlNorth, c.controlEast) +
             std::hypot(c.endNorth - c.controlNorth, c.endEast - c.controlEast)) / kMetresPerNm;
    }
    const int32_t n =
        std::max(gf_syncedTicks(ac, gf_tickCount(d, lf_sampleSpeedKt(ac)), g_groundSlowestShare), kMinTicks);
    if (lf_curveActive(ac) || m.groundTurn) {
        const double a = m.groundTurn ? m.groundTurnAngle : m.curve.turnAngle;
        const int32_t turnTicks = gf_narrowRounded(a / rate / 100.0);
        if (a > 0.0 && d > 0.0) {
            const double r = static_cast<double>(n) / std::max(turnTicks, 1);
            if (a <= 45.0) {
                if (r >= 1.2)
                    rate /= std::min({r, r * 10.0 / a, r * 30.0 / (d * kMetresPerNm)});
                else if (r > 0.0)
                    rate /= r;
            } else {
                rate *= std::min(r, std::min(a, 90.0) / 30.0);
                if (a >= 90.0) {
                    m.earlierWindow = std::max(m.earlierWindow, 2000);
                    m.laterWindow = std::max(m.laterWindow, 2000);
                }
            }
            // The nose keeps up with the curve's tangent where it turns fastest; on a straight
            // leg it comes onto the course within a second, or at its own rate.
            if (lf_curveActive(ac))
                rate = std::max(rate, std::min(lf_fastestTangentTurn(m.curve) * kTangentMargin / n,
                                               ac.groundTurnRate * kMostTurnRateFactor));
            else
                rate = std::max(rate, std::min(ac.groundTurnRate, a * g_degToRad / kOntoCourseTicks));
        }
    }
    ac.groundTurnRateInUse = rate;
    lf_setNextDue(ac, n);
}

void lf_groundStep(LiveAc& ac)
{
    MotionState& m = ac.motion;
    if (ac.phase == FlightPhase::Flying || ac.phase == FlightPhase::Parked)
        gf_setPhase(ac, FlightPhase::Taxi);
    else if (m.takeOffConfiguration)
        lf_takeOffRollThrottle(ac);
    else if (m.rollOut)
        lf_rollOut(ac);
    else
        gf_setThrottle(ac, lf_groundThrottle(ac));
    if (!m.rollOut && !m.takeOffConfiguration)
        lf_narrowWindows(ac);
    // The nose comes down after touchdown at its own pace, not at the next sample.
    if (m.landingStep == 0 && ac.phase != FlightPhase::TakeOff && !m.touchdownPitch) {
        ac.pos.pitch = ac.staticPitch;
        ac.pos.bank = 0.0;
        m.pitchStep = 0.0;
        m.bankStep = 0.0;
    }
    if (lf_curveActive(ac))
        m.curve.parameterStep = 1.0 / lf_ticksToNext(ac);
    const double gs = ac.samples.at(1).groundSpeed;
    m.targetTrueAirspeed = ac.phase == FlightPhase::PushingBack ? -gs : gs;
    if (m.takeOffConfiguration && ac.phase != FlightPhase::TakeOff)
        lf_rotationDecision(ac);
}

void lf_turnTowards(LiveAc& ac, double wanted)
{
    const double diff = gf_wrapPi(wanted - ac.pos.heading);
    if (std::fabs(diff) <= kTurnToleranceRad)
        return;
    const double rate = ac.groundTurnRateInUse;
    ac.pos.heading = gf_normalHeading(ac.pos.heading + (diff > 0.0 ? rate : -rate));
}

void lf_followCurve(LiveAc& ac)
{
    TaxiCurve& c = ac.motion.curve;
    // Even in metres along the curve, not in its parameter: the whole curve in the time of
    // the step.
    c.parameter = std::clamp(lf_parameterAfter(c, c.parameter, c.parameterStep * c.length), 0.0, kLastParameter);
    const CurvePoint point = gf_curvePointAt(c, c.parameter);
    if (!point.found) {
        gf_logLine("{} error in curve at index: {:.2F}", gf_flightText(ac), c.parameter);
        return;
    }
    ac.pos.latitude = point.pos.latitude;
    ac.pos.longitude = point.pos.longitude;
    double wanted = point.heading;
    if (ac.phase == FlightPhase::PushingBack)
        wanted = gf_normalHeading(wanted + g_fullCircle / 2);
    lf_turnTowards(ac, wanted);
}

void drive2Stand(LiveAc& ac, double standLat, double standLon, double standHeading)
{
    if (ac.samples.empty()) {
        gf_logLine("{} empty sz?", "drive2Stand");
        return;
    }
    PosSample& last = ac.samples.back();
    const bool same = std::fabs(standLat - last.latitude) <= 1e-8 && std::fabs(standLon - last.longitude) <= 1e-8;
    const double v = ac.standApproachSpeed;
    const int32_t t = std::max(gf_tickCount(gf_distanceNm(gf_samplePos(last), {standLat, standLon}), v), 100);
    last.groundSpeed = v;
    const PosSample& front = ac.samples.front();
    PosSample a;
    a.latitude = standLat;
    a.longitude = standLon;
    a.altitude = ac.pos.altitude;
    a.groundSpeed = v;
    a.trueAirspeed = v;
    a.track = standHeading * g_radToDeg;
    a.verticalSpeed = 0.0;
    a.dueTick = static_cast<uint32_t>(static_cast<int64_t>(front.dueTick) + t);
    a.airborne = false;
    a.stationary = same;
    a.trueHeadingGiven = front.trueHeadingGiven;
    a.roll = ac.pos.bank;
    PosSample b = a;
    b.groundSpeed = 0.0;
    b.trueAirspeed = 0.0;
    b.stationary = true;
    b.dueTick = static_cast<uint32_t>(static_cast<int64_t>(front.dueTick) + 50 + t);
    ac.samples.push_back(a);
    ac.samples.push_back(b);
    // Nose first onto the stand: along the way to it; the stand's heading is taken on it.
    const GeoPos here = gf_acPos(ac);
    ac.motion.targetHeading = gf_distanceNm(here, {standLat, standLon}) * kMetresPerNm > kOnStandM
                                  ? gf_bearingRad(here, {standLat, standLon})
                                  : standHeading;
    if (ac.pauseCounter >= 1) {
        ac.pauseCounter = 0;
        lf_openWindows(ac);
    }
}
