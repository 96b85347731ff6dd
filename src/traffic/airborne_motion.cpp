#include <algorithm>
#include <array>
#include <optional>
#include <cmath>
#include <stdexcept>

#include "feed/qnh_reader.h"
#include "foundation/geo.h"
#include "foundation/log.h"
#include "parking/airports.h"
#include "parking/park_airports.h"
#include "traffic/aircraft_configuration.h"
#include "traffic/engine_services.h"
#include "traffic/motion_internal.h"
#include "traffic/traffic_internal.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"

namespace {

constexpr double kMetresPerNm = 1852.0;
constexpr double kLevelPitch = -0.05235987755982989; // -3 degrees
constexpr double kPitchPer600Fpm = 2.2 * g_degToRad;
constexpr double kMaxDescentFpm = -3000.0;
constexpr double kMaxClimbFpm = 2400.0;
constexpr double kGroundPitch = 0.010471975511965976; // 0.6 degrees
// Reports lie up to 5 m about the real place: two nearer than this tell no way between them.
constexpr double kJitterM = 10.0;
constexpr double kFlarePitch = -0.06981317007977318;  // -4 degrees
constexpr double kSamePlaceDeg = 1e-8;
constexpr int32_t kMinTicks = 25;
// A report on the ground slower than this tells no landing's pace.
constexpr double kLandingLeastKt = 30.0;
constexpr int32_t kWindowFloor = 1000;
constexpr int32_t kTicksWithoutReport = 100;
constexpr int64_t kReportedGroundTicks = 1000;
// More than an airborne aircraft's synthetic steps.
constexpr int32_t kMostExtensions = 16;
constexpr double kLowAglFt = 1000.0;
constexpr double kFlareAglFt = 400.0;
constexpr double kCruiseAltitudeFt = 10000.0;
constexpr double kNearAirportNm = 10.0;
constexpr double kLeastSlowingKt = 1.0;
constexpr std::array<double, g_typeCategoryCount> kPitchRateDeg{0.01, 0.0085, 0.0075, 0.005, 0.03, 0.03};

struct FlareStage {
    double aboveCgFt;
    double altitudeStep; // ft per tick
    double frontVerticalSpeed;
};
constexpr std::array<FlareStage, 4> kFlareStages{{{30.0, -0.1, -601.0},
                                                  {20.0, -0.075, -450.0},
                                                  {10.0, -0.05, -300.0},
                                                  {3.0, -0.025, -150.0}}};

bool lf_parkAirportSet()
{
    return !g_parkAirport.code.empty();
}

// The simulator's ground under the aircraft, from its in-range report of the last few seconds.
std::optional<double> lf_simulatorGround(const LiveAc& ac)
{
    const MotionState& m = ac.motion;
    if (m.reportedGroundFt && gf_tickNow() - static_cast<int64_t>(m.reportedGroundTick) <= kReportedGroundTicks)
        return m.reportedGroundFt;
    return std::nullopt;
}

// The elevation the tables give for where a landing aircraft comes down: its destination's
// when it is within 10 nm of it, else the park airport's.
std::optional<double> lf_tableElevation(const LiveAc& ac)
{
    if (const Airport* a = gf_findAirport(ac.destination);
        a != nullptr && gf_distanceNm(gf_acPos(ac), {a->lat, a->lon}) <= kNearAirportNm)
        return a->alt;
    if (lf_parkAirportSet())
        return g_parkAirport.elevationFt;
    return std::nullopt;
}

// The ground a landing aircraft comes down to: the simulator's; without it, the tables'
// elevation. An airport's reference point may lie miles from the runway and hundreds of
// feet above or below it: where the reports put the touchdown elsewhere, theirs.
std::optional<double> lf_groundElevation(const LiveAc& ac)
{
    if (const std::optional<double> ground = lf_simulatorGround(ac))
        return ground;
    const MotionState& m = ac.motion;
    const std::optional<double> table = lf_tableElevation(ac);
    if (!m.touchdownFt || !m.touchdownHighFt || !m.touchdownLowFt)
        return table;
    if (table && *table >= *m.touchdownLowFt && *table <= *m.touchdownHighFt)
        return table;
    return m.touchdownFt;
}

// Where the reports put the touchdown, while the next sample is the first on the ground
// after an airborne one; forgotten while the next is airborne (a go-around). The aircraft
// flew at the airborne report's speed until it touched down and then slowed evenly to the
// ground report's: the distance between the two reports tells when it touched down, and
// the airborne report's descent how high that was.
void lf_noteReportedTouchdown(LiveAc& ac)
{
    MotionState& m = ac.motion;
    const PosSample& front = ac.samples[0];
    const PosSample& next = ac.samples[1];
    if (next.airborne) {
        m.touchdownHighFt.reset();
        m.touchdownLowFt.reset();
        m.touchdownFt.reset();
        return;
    }
    if (!front.airborne)
        return;
    const double gapS =
        static_cast<double>(std::max<int64_t>(static_cast<int64_t>(next.dueTick) - static_cast<int64_t>(front.dueTick), 0)) /
        100.0;
    const double descentFtPerS = std::min(front.verticalSpeed, 0.0) / 60.0;
    const double va = front.groundSpeed;
    const double vg = next.groundSpeed;
    double airborneS = gapS / 2.0;
    if (va - vg > kLeastSlowingKt) {
        const double nm = gf_distanceNm(gf_samplePos(front), gf_samplePos(next));
        airborneS = std::clamp((2.0 * nm * 3600.0 - (va + vg) * gapS) / (va - vg), 0.0, gapS);
    }
    m.touchdownHighFt = front.altitude;
    m.touchdownLowFt = front.altitude + descentFtPerS * gapS;
    m.touchdownFt = front.altitude + descentFtPerS * airborneS;
}

bool lf_isRotorcraft(const LiveAc& ac)
{
    return ac.category == TypeCategory::Rotorcraft;
}

double lf_pitchRateLimit(const LiveAc& ac)
{
    return kPitchRateDeg.at(static_cast<size_t>(ac.category)) * g_degToRad;
}

// The vertical speed D taken as the next sample's and the target, and as the step.
void lf_applyDescent(LiveAc& ac, double rateFpm)
{
    ac.samples[1].verticalSpeed = rateFpm;
    ac.motion.targetVerticalSpeed = rateFpm;
    ac.motion.altitudeStep = rateFpm / 6000.0;
}

double lf_verticalSpeedSum(const LiveAc& ac)
{
    double sum = 0.0;
    for (const PosSample& s : ac.samples)
        sum += s.verticalSpeed;
    return sum;
}

void lf_liftOffStep(LiveAc& ac)
{
    const PosSample& next = ac.samples[1];
    ac.motion.altitudeStep =
        next.altitude > ac.pos.altitude ? std::min((next.altitude - ac.pos.altitude) / lf_ticksToNext(ac), ac.maxClimbPerTick)
                                        : 0.0;
}

void lf_verticalStep(LiveAc& ac)
{
    MotionState& m = ac.motion;
    const bool frontUp = ac.samples[0].airborne;
    const bool nextUp = ac.samples[1].airborne;
    if (!frontUp && nextUp) {
        lf_liftOffStep(ac);
        return;
    }
    if (!frontUp) {
        gf_setGear(ac, true);
        if (m.approach || lf_verticalSpeedSum(ac) <= 100.0) {
            lf_applyDescent(ac, lf_landingDescentRate(ac));
            return;
        }
        const size_t last = std::min<size_t>(ac.samples.size() - 1, 10);
        for (size_t i = 3; i <= last; ++i) {
            if (lf_findLiftOffSample(ac, i))
                return;
        }
        ac.samples[1].verticalSpeed = std::max(ac.samples[1].verticalSpeed, 601.0);
        lf_applyDescent(ac, ac.samples[1].verticalSpeed);
        return;
    }
    if (!nextUp) {
        gf_setGear(ac, true);
        // A touchdown ahead never climbs to the park airport's elevation: the runway may lie
        // far below it. Without the simulator's ground the aircraft then keeps descending.
        const std::optional<double> ground = lf_groundElevation(ac);
        if (lf_parkAirportSet() && g_qnh <= 1013 && ground && (lf_simulatorGround(ac) || *ground < ac.pos.altitude))
            m.altitudeStep = (*ground - ac.pos.altitude) / lf_ticksToNext(ac);
        else
            lf_applyDescent(ac, g_qnh > 1013 ? lf_landingDescentRate(ac) : -601.0);
        return;
    }
    const PosSample& front = ac.samples[0];
    const PosSample& next = ac.samples[1];
    const double r = (next.altitude - ac.pos.altitude) / lf_ticksToNext(ac);
    if (!m.approach) {
        // The floor of 0.2 ft a tick serves a climb; a descending pair is followed.
        if (m.altitudeAboveGround > kLowAglFt || r <= 0.0)
            m.altitudeStep = std::min(r, ac.maxClimbPerTick);
        else
            m.altitudeStep = std::min(std::max(r, 0.2), ac.maxClimbPerTick);
        return;
    }
    if (next.altitude != front.altitude || m.altitudeAboveGround > kLowAglFt ||
        front.verticalSpeed + next.verticalSpeed > 100.0)
        m.altitudeStep = r;
    else
        lf_applyDescent(ac, lf_landingDescentRate(ac));
}

void lf_flare(LiveAc& ac)
{
    MotionState& m = ac.motion;
    if (m.landingStep < 0 || m.landingStep >= static_cast<int32_t>(kFlareStages.size()))
        return;
    const FlareStage& stage = kFlareStages[static_cast<size_t>(m.landingStep)];
    double height = m.altitudeAboveGround;
    if (m.landingStep == 0) {
        if (!m.cachedGroundElevation)
            m.cachedGroundElevation = lf_groundElevation(ac);
        m.heightAboveParkAirport =
            m.cachedGroundElevation ? ac.pos.altitude - *m.cachedGroundElevation : m.altitudeAboveGround;
        height = std::min(m.altitudeAboveGround, m.heightAboveParkAirport);
    }
    if (ac.cgHeight + stage.aboveCgFt < height)
        return;
    if (m.landingStep == 0) {
        m.pitchStep = (kFlarePitch - ac.pos.pitch) / std::max(ac.flareTicks, 1);
        g_fastRangeRequests = true;
    } else {
        m.cachedGroundElevation.reset();
    }
    if (m.landingStep == 2)
        gf_setThrottle(ac, 0);
    m.altitudeStep = stage.altitudeStep;
    ac.samples.front().verticalSpeed = stage.frontVerticalSpeed;
    ++m.landingStep;
}

// Without the simulator's on-ground report (out of its range, or lost) a landing would sink
// through the runway: its descent stops at the ground and, after a second there, it touches
// down as if the report had come. Without the simulator's ground, the park airport's may lie
// far above the runway: the floor is then no higher than the last airborne report. An
// aircraft already below the floor stops where it is: the floor never lifts it.
void lf_touchdownFloor(LiveAc& ac, double altitudeBefore)
{
    MotionState& m = ac.motion;
    // The ground is looked up only for an aircraft coming down to it.
    const bool landing = !ac.onGround && ac.samples.size() >= 2 && !ac.samples[1].airborne &&
                         (m.approach || m.landingStep != 0 || gf_nearParkAirport(ac));
    const std::optional<double> ground = landing ? lf_groundElevation(ac) : std::nullopt;
    if (!ground) {
        m.ticksDownWithoutReport = 0;
        return;
    }
    double floor = *ground + ac.cgHeight;
    if (!lf_simulatorGround(ac) && m.lastAirborneFt)
        floor = std::min(floor, *m.lastAirborneFt);
    floor = std::min(floor, altitudeBefore);
    if (ac.pos.altitude > floor) {
        m.ticksDownWithoutReport = 0;
        return;
    }
    ac.pos.altitude = floor;
    if (++m.ticksDownWithoutReport < kTicksWithoutReport)
        return;
    m.ticksDownWithoutReport = 0;
    SimObjectEvent report;
    report.hexidOrFlag = 1;
    report.d1 = floor - ac.cgHeight;
    report.d2 = ac.cgHeight;
    lf_applyTouchdownRule(ac, report);
}

void lf_verticalTick(LiveAc& ac)
{
    MotionState& m = ac.motion;
    PositionBlock& p = ac.pos;
    const double altitudeBefore = p.altitude;
    if (m.altitudeAboveGround <= kFlareAglFt && m.approach && !ac.onGround)
        lf_flare(ac);
    if (m.touchdownPitch) {
        p.pitch += m.pitchStep;
        if (p.pitch > ac.staticPitch) {
            p.pitch = ac.staticPitch;
            m.pitchStep = 0.0;
            p.bank = 0.0;
            m.bankStep = 0.0;
            m.touchdownPitch = false;
            m.landingStep = 0;
        }
        p.bank += m.bankStep;
    } else if (m.landingStep != 0) {
        p.bank = std::clamp(p.bank + m.bankStep, -g_fullCircle / 2, g_fullCircle / 2);
        p.pitch = std::max(p.pitch + m.pitchStep, kFlarePitch);
        p.altitude += m.altitudeStep;
    } else if (ac.onGround) {
        p.pitch = ac.staticPitch;
        p.bank = 0.0;
    } else {
        p.bank += m.bankStep;
        p.pitch += m.pitchStep;
        p.altitude += m.altitudeStep;
    }
    lf_touchdownFloor(ac, altitudeBefore);
}

double lf_normalLongitude(double lon)
{
    double l = std::fmod(lon + 180.0, 360.0);
    if (l < 0.0)
        l += 360.0;
    return l - 180.0;
}

void lf_normalisePosition(PositionBlock& p)
{
    p.longitude = lf_normalLongitude(p.longitude);
    if (p.latitude > 90.0 || p.latitude < -90.0) {
        p.latitude = p.latitude > 90.0 ? 180.0 - p.latitude : -180.0 - p.latitude;
        p.longitude = lf_normalLongitude(p.longitude + 180.0);
    }
}

// Down on the runway on its way to a report on the ground, before the ground track has
// taken over.
bool lf_touchedDownBeforeReport(const LiveAc& ac)
{
    return ac.onGround && !ac.motion.ground.active && ac.phase == FlightPhase::Flying && !ac.samples.empty() &&
           !ac.samples[0].airborne && !ac.samples[0].stationary;
}

// The speed (m/s) the steps towards the next sample move the aircraft at.
double lf_stepPaceMps(const LiveAc& ac)
{
    const double north = ac.motion.latitudeStep * 60.0 * kMetresPerNm;
    const double east = ac.motion.longitudeStep * 60.0 * kMetresPerNm * std::cos(ac.pos.latitude * g_degToRad);
    return std::hypot(north, east) * 100.0;
}

// From the touchdown it rolls along the reports, braking as they tell, instead of on at the
// airborne step's pace until it reaches the next: the touchdown is taken as a report reached
// on the ground, where the aircraft is, at the pace it came down at.
void lf_rollFromTouchdown(LiveAc& ac)
{
    PosSample here = ac.samples.front();
    const double kt = lf_stepPaceMps(ac) / kMetresPerNm * 3600.0;
    here.latitude = ac.pos.latitude;
    here.longitude = ac.pos.longitude;
    here.groundSpeed = kt;
    here.trueAirspeed = kt;
    here.track = gf_normalHeading(ac.pos.heading) * g_radToDeg;
    here.verticalSpeed = 0.0;
    here.dueTick = static_cast<uint32_t>(gf_tickNow());
    here.roll.reset();
    here.trueHeading.reset();
    here.trueHeadingGiven = false;
    ac.samples.push_front(here);
    lf_advanceSample(ac);
}

void lf_dropRepeatedAirSamples(LiveAc& ac)
{
    while (ac.samples.size() >= 2 && !ac.onGround && ac.samples[1].stationary && !lf_isRotorcraft(ac))
        ac.samples.erase(ac.samples.begin() + 1);
}

} // namespace

int32_t gf_narrowRounded(double value)
{
    const double r = std::round(value);
    if (!std::isfinite(r) || r < static_cast<double>(INT32_MIN) || r > static_cast<double>(INT32_MAX))
        throw std::range_error(fmt::format("narrowing error: {}", value));
    return static_cast<int32_t>(r);
}

int32_t gf_tickCount(double distanceNm, double speedKt)
{
    return gf_narrowRounded(distanceNm * 360000.0 / speedKt);
}

int64_t gf_tickNow()
{
    return static_cast<int64_t>(g_trafficTick.load());
}

int32_t lf_ticksToNext(const LiveAc& ac)
{
    const int64_t left = static_cast<int64_t>(ac.samples.at(1).dueTick) - gf_tickNow();
    return static_cast<int32_t>(std::clamp<int64_t>(left, kMinTicks, INT32_MAX));
}

double gf_wrapPi(double angle)
{
    const double half = g_fullCircle / 2;
    if (!std::isfinite(angle))
        return angle;
    double a = std::fmod(angle + half, g_fullCircle);
    if (a < 0.0)
        a += g_fullCircle;
    return a - half;
}

double gf_normalHeading(double heading)
{
    const double h = std::fmod(heading, g_fullCircle);
    return h < 0.0 ? h + g_fullCircle : h;
}

GeoPos gf_samplePos(const PosSample& s)
{
    return {s.latitude, s.longitude};
}

GeoPos gf_acPos(const LiveAc& ac)
{
    return {ac.pos.latitude, ac.pos.longitude};
}

bool gf_samePlace(const PosSample& a, const PosSample& b)
{
    return std::fabs(a.latitude - b.latitude) <= kSamePlaceDeg && std::fabs(a.longitude - b.longitude) <= kSamePlaceDeg;
}

void lf_openWindows(LiveAc& ac)
{
    ac.motion.earlierWindow = 3000;
    ac.motion.laterWindow = ac.motion.takeOffConfiguration ? 5000 : 3000;
}

void lf_narrowWindows(LiveAc& ac)
{
    for (int32_t* w : {&ac.motion.earlierWindow, &ac.motion.laterWindow}) {
        if (*w > kWindowFloor)
            *w = std::max(*w - 100, kWindowFloor);
    }
}

double gf_pitchForVerticalSpeed(double verticalSpeedFpm)
{
    double v = std::clamp(verticalSpeedFpm, kMaxDescentFpm, kMaxClimbFpm);
    if (v < 0.0)
        v /= 2.0;
    return kLevelPitch - v / 600.0 * kPitchPer600Fpm;
}

int32_t gf_syncedTicks(const LiveAc& ac, int32_t travelTicks, double slowestShare)
{
    const int64_t wanted = static_cast<int64_t>(ac.samples.at(1).dueTick) - gf_tickNow();
    const int64_t fastest = static_cast<int64_t>(std::ceil(travelTicks * 0.8));
    const int64_t slowest = static_cast<int64_t>(std::floor(travelTicks * slowestShare));
    return static_cast<int32_t>(std::clamp(wanted, fastest, std::max(fastest, slowest)));
}

void lf_setNextDue(LiveAc& ac, int32_t ticks)
{
    PosSample& next = ac.samples.at(1);
    const int64_t now = gf_tickNow();
    int64_t c = now + ticks;
    if (ac.pauseCounter < 1) {
        const int64_t old = next.dueTick;
        c = std::clamp(c, old - ac.motion.earlierWindow, old + ac.motion.laterWindow);
    }
    // The steps assume at least 25 ticks: a due tick taken sooner would leave the aircraft
    // short of its sample.
    next.dueTick = static_cast<uint32_t>(std::max(c, now + kMinTicks));
}

void lf_scheduleAirSample(LiveAc& ac)
{
    const PosSample& front = ac.samples.at(0);
    const PosSample& next = ac.samples.at(1);
    if (next.stationary) {
        if (lf_isRotorcraft(ac))
            lf_scheduleGroundSample(ac);
        return;
    }
    double speed = 0.0;
    if (ac.motion.approach && !next.airborne)
        speed = front.groundSpeed > 0.0 ? front.groundSpeed : 100.0;
    else
        speed = lf_sampleSpeedKt(ac);
    const double nm = gf_distanceNm(gf_samplePos(front), gf_samplePos(next)) * lf_hiddenTurnStretch(ac);
    const int32_t t = gf_tickCount(nm, speed);
    lf_setNextDue(ac, std::max(gf_syncedTicks(ac, t), kMinTicks));
}

double lf_landingDescentRate(const LiveAc& ac)
{
    if (ac.motion.altitudeAboveGround <= 100.0)
        return -600.0;
    const double mean = (ac.samples.at(0).verticalSpeed + ac.samples.at(1).verticalSpeed) / 2.0;
    return std::min(mean - (static_cast<double>(g_qnh.load()) - 1013.25) * 6.0, -601.0);
}

bool lf_findLiftOffSample(LiveAc& ac, size_t i)
{
    if (ac.samples.size() < i || !ac.samples[i - 1].airborne)
        return false;
    ac.samples.erase(ac.samples.begin() + 1, ac.samples.begin() + static_cast<std::ptrdiff_t>(i - 1));
    const int32_t t = gf_tickCount(gf_distanceNm(gf_samplePos(ac.samples[0]), gf_samplePos(ac.samples[1])),
                                   lf_sampleSpeedKt(ac));
    lf_setNextDue(ac, std::max(t, kMinTicks));
    lf_liftOffStep(ac);
    return true;
}

void lf_airborneStep(LiveAc& ac)
{
    MotionState& m = ac.motion;
    if (ac.phase != FlightPhase::TakeOff && ac.phase != FlightPhase::Flying)
        gf_setPhase(ac, FlightPhase::Flying);
    m.targetVerticalSpeed = ac.samples.at(1).verticalSpeed;
    m.targetTrueAirspeed = ac.samples[1].trueAirspeed;
    if (m.landingStep == 0)
        lf_verticalStep(ac);
    const int32_t n = lf_ticksToNext(ac);
    const PosSample& next = ac.samples[1];
    if (m.landingStep == 0 && ac.phase != FlightPhase::TakeOff) {
        const double target = gf_pitchForVerticalSpeed(next.verticalSpeed);
        const double limit = lf_pitchRateLimit(ac);
        m.pitchStep = std::clamp((target - ac.pos.pitch) / n, -limit, limit);
    }
    const double lowAgl = m.approach ? 2000.0 : kLowAglFt;
    double d = 0.0;
    if (next.trueHeadingGiven && next.roll && next.trueHeading && m.altitudeAboveGround < lowAgl)
        d = gf_wrapPi(*next.trueHeading - ac.pos.heading);
    else if (lf_turnHiddenAfterNext(ac))
        d = gf_wrapPi(next.track * g_degToRad - ac.pos.heading); // the turn is flown after it
    else
        d = lf_turnToNextLeg(ac);
    m.headingStep = d / n;
    if (next.roll)
        m.bankStep = (*next.roll - ac.pos.bank) / n;
    else
        lf_setBankStep(ac, d, n);
    if (ac.samples[0].altitude < kCruiseAltitudeFt)
        lf_lowAltitudeConfiguration(ac);
    else
        lf_cruiseConfiguration(ac);
    lf_layAirTurn(ac);
}

void lf_advanceSample(LiveAc& ac)
{
    ac.motion.airTurn.active = false;
    {
        PosSample& next = ac.samples.at(1);
        // On its path, a report that tells the aircraft moving is no stop, though its place (a
        // report of moving off within the stop's jitter, taken onto the stop) is the one before's.
        const bool movingOnTrack = lf_groundTrackActive(ac) && !next.airborne && !gf_atRestReport(next);
        if (!next.stationary && gf_samePlace(ac.samples[0], next) && !movingOnTrack)
            next.stationary = true;
        if (!next.stationary)
            ac.motion.targetHeading = gf_bearingRad(gf_samplePos(ac.samples[0]), gf_samplePos(next));
        if (next.airborne || ac.samples[0].airborne)
            ac.motion.lastAirborneFt = next.airborne ? next.altitude : ac.samples[0].altitude;
        lf_noteReportedTouchdown(ac);
    }
    // Rotating, it rolls on along the path of the reports that still show it on the ground.
    const bool alongGround = ac.onGround || lf_rotatingAlongTrack(ac);
    if (alongGround) {
        nextPosGround(ac);
    } else {
        // The climb's first seconds keep to the roll's path and pace: the steps between the
        // reports in the air would jump to make up a second the roll lost.
        if (!lf_climbingAlongTrack(ac))
            lf_dropGroundTrack(ac);
        lf_scheduleAirSample(ac);
    }
    if (ac.samples.size() < 2)
        return;
    const PosSample& next = ac.samples[1];
    if (next.stationary) {
        ac.motion.latitudeStep = 0.0;
        ac.motion.longitudeStep = 0.0;
        if (!ac.motion.rollOut && !ac.motion.takeOffConfiguration)
            lf_narrowWindows(ac);
    } else {
        int32_t n = lf_ticksToNext(ac);
        // Still flaring at a report on the ground, it goes on at the speed the report gives
        // until it touches down and rolls from there at it: the pace of the whole gap to the
        // next report (the roll-out's mean) would drop by tens of knots in a moment.
        const PosSample& reached = ac.samples[0];
        if (!alongGround && (ac.motion.approach || ac.motion.landingStep != 0) && !reached.airborne &&
            !next.airborne && reached.groundSpeed >= kLandingLeastKt)
            n = std::max(gf_tickCount(gf_distanceNm(gf_acPos(ac), gf_samplePos(next)), reached.groundSpeed), kMinTicks);
        ac.motion.latitudeStep = (next.latitude - ac.pos.latitude) / n;
        ac.motion.longitudeStep = gf_wrapPi((next.longitude - ac.pos.longitude) * g_degToRad) * g_radToDeg / n;
        if (alongGround)
            lf_groundStep(ac);
        else
            lf_airborneStep(ac);
    }
    lf_notePassedSample(ac);
    lf_notePassedAirSample(ac);
    ac.samples.pop_front();
}

void nextPosMain(LiveAc& ac)
{
    try {
        for (int32_t extensions = 0;; ++extensions) {
            lf_dropRepeatedAirSamples(ac);
            if (ac.samples.size() >= 2)
                break;
            // An extension the air drops again (a ground aircraft's hold sample with the
            // on-ground mark clear) would be asked for without end.
            if (extensions == kMostExtensions) {
                gf_logErrorLine("{}: no sample to fly to after {} extensions, {}, fs:{}", "nextPosMain", extensions,
                                gf_flightText(ac), gf_flightPhaseText(ac.phase));
                removeAircraftFromSim(ac);
                return;
            }
            if (!lf_onSamplesExhausted(ac)) {
                removeAircraftFromSim(ac);
                return;
            }
        }
        lf_advanceSample(ac);
    } catch (const std::exception& e) {
        gf_logErrorLine("{}: {} {}, sz:{}, fs:{}, st:{}", "nextPosMain", e.what(), gf_flightText(ac), ac.samples.size(),
                        gf_flightPhaseText(ac.phase), gf_simStatusText(ac.status));
        throw;
    }
}

void lf_moveOneTick(LiveAc& ac)
{
    MotionState& m = ac.motion;
    PositionBlock& p = ac.pos;
    if (lf_touchedDownBeforeReport(ac))
        lf_rollFromTouchdown(ac);
    if (lf_groundTrackActive(ac)) {
        lf_followGroundTrack(ac);
    } else if (lf_airTurnActive(ac)) {
        lf_followAirTurn(ac);
    } else {
        switch (ac.phase) {
        case FlightPhase::TakeOff:
        case FlightPhase::Flying:
        case FlightPhase::Parked:
        case FlightPhase::Birth:
            p.heading = gf_normalHeading(p.heading + m.headingStep);
            break;
        default:
            if (ac.phase == FlightPhase::Parking)
                lf_turnTowards(ac, m.targetHeading);
            break;
        }
        if (ac.phase != FlightPhase::PushedBack) {
            p.latitude += m.latitudeStep;
            p.longitude += m.longitudeStep;
        }
    }
    if (ac.phase == FlightPhase::TakeOff)
        lf_takeOffCounterTick(ac);
    else
        lf_verticalTick(ac);
    lf_normalisePosition(p);
}

void lf_initPositionBlock(LiveAc& ac)
{
    g_touchdownHexids.push_back(ac.hexid);
    // A new object (or one created again with another livery) stands where it is put. One
    // created on the ground is created there (traffic_pass.cpp) and rolls in ground mode from
    // its first tick: the simulator's first in-range report comes a second later.
    lf_dropGroundTrack(ac);
    if (!ac.samples.front().airborne)
        ac.onGround = true;
    const PosSample& front = ac.samples.front();
    PositionBlock& p = ac.pos;
    p.latitude = front.latitude;
    p.longitude = front.longitude;
    p.altitude = front.altitude;
    // The block holds feet per second, the sample feet per minute.
    p.verticalSpeed = front.verticalSpeed / 60.0;
    p.trueAirspeed = front.trueAirspeed;
    p.bank = front.roll.value_or(0.0);
    p.pitch = front.airborne ? gf_pitchForVerticalSpeed(front.verticalSpeed) : kGroundPitch;
    double heading = 0.0;
    if (ac.motion.respawnHeadingSet)
        heading = ac.motion.respawnHeading;
    else if (ac.phase == FlightPhase::Parked)
        heading = ac.standHeading;
    else if (ac.samples.size() < 2 || ac.samples[1].stationary)
        heading = front.track * g_degToRad;
    else if (!front.airborne && gf_trackGiven(front) &&
             gf_distanceNm(gf_samplePos(front), gf_samplePos(ac.samples[1])) * kMetresPerNm < kJitterM)
        heading = front.track * g_degToRad; // the way to the next report is its jitter's
    else
        heading = gf_bearingRad({front.latitude, front.longitude}, {ac.samples[1].latitude, ac.samples[1].longitude});
    p.heading = gf_normalHeading(heading);
    if (front.airborne)
        ac.motion.headingStep = 0.0;
}
