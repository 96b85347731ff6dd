// What a live aircraft does when its reports stop: held, parked, carried on by synthetic
// samples or removed; and the small readings of the sample queue the motion uses.
#include <algorithm>
#include <array>
#include <cmath>

#include "foundation/settings_catalogue.h"
#include "parking/park_airports.h"
#include "traffic/engine_services.h"
#include "traffic/live_stands.h"
#include "traffic/motion_internal.h"
#include "traffic/stand_lookup.h"
#include "traffic/traffic_internal.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"

namespace {

struct GapValues {
    double takeOffSpeedKt;
    double largestBankDeg;
    double largestBankStepDeg; // per tick
};
constexpr std::array<GapValues, g_typeCategoryCount> kGapValues{{{90.0, 40.0, 0.035},
                                                                 {110.0, 35.0, 0.0275},
                                                                 {140.0, 30.0, 0.02},
                                                                 {150.0, 20.0, 0.015},
                                                                 {220.0, 90.0, 0.1},
                                                                 {0.0, 75.0, 0.06}}};

constexpr double kFtPerNm = 6076.11549;
constexpr int32_t kHoldStepTicks = 300;
constexpr int64_t kTicksPerMinute = 6000;
constexpr int64_t kWeekTicks = 100LL * 604800;
constexpr double kOnStandNm = 0.0010799136069114472; // 2 m
constexpr double kStandHeadingRad = 0.5 * g_degToRad;
constexpr uint32_t kStandTurnStepTicks = 25;
// A reported track is good to a few degrees.
constexpr double kTrackNoiseRad = 10.0 * g_degToRad;

const GapValues& lf_gapValues(TypeCategory category)
{
    return kGapValues.at(static_cast<size_t>(category));
}

double lf_rollOutSpeed(double gs)
{
    if (gs >= 140.0)
        return 100.0;
    if (gs >= 100.0)
        return 80.0;
    if (gs >= 80.0)
        return 60.0;
    if (gs >= 60.0)
        return 30.0;
    return 20.0;
}

// The synthetic speed of a take-off roll and the vertical speed that goes with it.
std::pair<double, double> lf_takeOffRollSpeed(double gs)
{
    if (gs <= 30.0)
        return {40.0, 0.0};
    if (gs <= 60.0)
        return {80.0, 0.0};
    if (gs <= 100.0)
        return {110.0, 0.0};
    if (gs <= 140.0)
        return {150.0, 600.0};
    if (gs <= 160.0)
        return {170.0, 1200.0};
    return {180.0, 2400.0};
}

// Another taxiing aircraft so close that holding here would block it.
bool lf_taxiingNeighbour(const LiveAc& ac)
{
    for (const LiveAc& other : g_liveAcs) {
        if (&other == &ac || !other.onGround || other.phase != FlightPhase::Taxi || other.status != SimStatus::Active ||
            other.objectId == ac.objectId)
            continue;
        if (gf_distanceNm(gf_acPos(ac), gf_acPos(other)) <= 1.2 * (ac.halfSpan + other.halfSpan))
            return true;
    }
    return false;
}

bool lf_userFarAway(const LiveAc& ac)
{
    const UserState& u = g_userSnapshot;
    if (std::fabs(u.latitude) <= 0.0001 && std::fabs(u.longitude) <= 0.0001)
        return false;
    return gf_distanceNm(gf_acPos(ac), {u.latitude, u.longitude}) >= g_rangeNm.load() - 0.5;
}

// Holds a departing aircraft in place; false when it is to be removed instead.
bool lf_hold(LiveAc& ac)
{
    if (lf_taxiingNeighbour(ac)) {
        ac.holding = false;
        ac.holdingStart = 0;
        return false;
    }
    if (ac.holding) {
        if (AIRBORNE_ONLY.value)
            return false;
        const int64_t minutes = (gf_tickNow() - static_cast<int64_t>(ac.holdingStart)) / kTicksPerMinute;
        if (minutes > MAX_HOLDING_MINUTES.value)
            return false;
    } else {
        ac.holdingStart = g_trafficTick.load();
    }
    ac.holding = true;
    PosSample s = ac.samples.front();
    s.dueTick += kHoldStepTicks;
    s.groundSpeed = 0.0;
    s.stationary = true;
    ac.samples.push_back(s);
    ac.pauseCounter = 1;
    return true;
}

// On its stand, a parking aircraft turns onto the stand's heading before it parks: the last
// leg may end at any angle to the stand when the reports ran out close to it.
bool lf_turnOntoStand(LiveAc& ac)
{
    const GeoPos stand{ac.standLat, ac.standLon};
    if (gf_distanceNm(gf_acPos(ac), stand) > kOnStandNm ||
        std::fabs(gf_wrapPi(ac.standHeading - ac.pos.heading)) <= kStandHeadingRad)
        return false;
    PosSample s = ac.samples.front();
    s.dueTick += kStandTurnStepTicks;
    s.groundSpeed = 0.0;
    s.stationary = true;
    ac.samples.push_back(s);
    return true;
}

bool lf_extendByCounter(LiveAc& ac)
{
    if (ac.pauseCounter < 0)
        return false;
    if (ac.pauseCounter == 1) {
        ac.pauseCounter = -1;
        return false;
    }
    if (ac.pauseCounter >= 2) {
        lf_extrapolateSample(ac, ac.pauseCounter - 1);
        return true;
    }
    if (!lf_categoryWanted(ac.category))
        return false;
    int32_t steps = 8;
    if (!ac.onGround) {
        if (lf_userFarAway(ac))
            return false;
        if (AIRBORNE_ONLY.value) {
            const double reference = g_parkAirport.code.empty() ? 0.0 : g_parkAirport.elevationFt;
            if (std::fabs(ac.pos.altitude - reference) < 1000.0)
                return false;
        }
    } else {
        steps = ac.phase == FlightPhase::Parked ? 1 : 10;
    }
    lf_extrapolateSample(ac, steps);
    return true;
}

} // namespace

double gf_takeOffSpeedKt(TypeCategory category)
{
    return lf_gapValues(category).takeOffSpeedKt;
}

bool lf_onSamplesExhausted(LiveAc& ac)
{
    if (ac.samples.empty())
        return false;
    if (ac.phase == FlightPhase::Parking) {
        if (lf_turnOntoStand(ac))
            return true;
        lf_arriveAtStand(ac);
        if (ac.phase == FlightPhase::Parked)
            ac.pos.heading = ac.standHeading;
    } else if (ac.phase == FlightPhase::PushedBack ||
               (ac.phase == FlightPhase::Taxi && !ac.motion.takeOffConfiguration && !ac.motion.rollOut)) {
        return lf_hold(ac);
    }
    return lf_extendByCounter(ac);
}

void lf_extrapolateSample(LiveAc& ac, int32_t steps)
{
    MotionState& m = ac.motion;
    ac.pauseCounter = steps;
    PosSample s = ac.samples.front();
    const bool parked = ac.phase == FlightPhase::Parked;
    const double stepSeconds = ac.onGround ? 3.0 : 8.0;
    bool still = s.stationary || parked;
    double v = 0.0;
    if (!still) {
        const double g = s.groundSpeed;
        if (!ac.onGround) {
            if (!m.approach)
                v = std::max(0.95 * g, 1.0);
            else
                v = steps >= 4 ? std::max(0.9 * g, 1.0) : g;
        } else if (!m.rollOut) {
            if (m.takeOffConfiguration) {
                const auto [speed, verticalSpeed] = lf_takeOffRollSpeed(g);
                v = speed;
                s.verticalSpeed = verticalSpeed;
            } else {
                still = true;
            }
        } else {
            v = lf_rollOutSpeed(g);
            s.verticalSpeed = 0.0;
        }
        if (!still && (ac.onGround || !m.approach || steps >= 4))
            s.groundSpeed = v;
    }
    if (still) {
        s.stationary = true;
        s.groundSpeed = 0.0;
    } else if (v > 0.0) {
        // Aloft, a nose farther off the last reported track than a track's noise still lags a
        // turn the reports show: the step keeps to the track, not off the way the aircraft went.
        double course = ac.pos.heading;
        if (!ac.onGround && !m.approach && gf_trackGiven(s) &&
            std::fabs(gf_wrapPi(s.track * g_degToRad - course)) > kTrackNoiseRad)
            course = s.track * g_degToRad;
        const GeoPos to = gf_destinationPoint(gf_samplePos(s), course, stepSeconds * 100.0 * v * kFtPerNm / 360000.0);
        const PosSample from = s;
        s.latitude = to.latitude;
        s.longitude = to.longitude;
        if (m.approach && m.landingStep == 0) {
            s.verticalSpeed = -667.0;
            s.altitude -= 10.005 * stepSeconds;
        } else if (ac.phase == FlightPhase::TakeOff) {
            s.verticalSpeed = 1500.0;
            s.altitude += 25.0 * stepSeconds;
        }
        s.stationary = gf_samePlace(from, s);
        s.airborne = s.altitude > 0.0;
        s.altitude = std::max(s.altitude, 0.0);
    }
    const int64_t due = static_cast<int64_t>(s.dueTick) + (parked ? kWeekTicks : static_cast<int64_t>(100 * stepSeconds));
    s.dueTick = static_cast<uint32_t>(due);
    if (parked)
        ac.parkedSampleSeen = false;
    ac.samples.push_back(s);
}

double lf_sampleSpeedKt(const LiveAc& ac)
{
    const PosSample& a = ac.samples.at(0);
    const PosSample& b = ac.samples.at(1);
    if (a.groundSpeed == 0.0 && b.groundSpeed == 0.0) {
        const int64_t ticks = std::max<int64_t>(static_cast<int64_t>(b.dueTick) - static_cast<int64_t>(a.dueTick), 25);
        return std::max(gf_distanceNm(gf_samplePos(a), gf_samplePos(b)) * 360000.0 / static_cast<double>(ticks), 1.0);
    }
    return (a.groundSpeed + b.groundSpeed) / 2.0;
}

double lf_turnToNextLeg(const LiveAc& ac)
{
    if (ac.samples.size() < 3)
        return 0.0;
    double d = gf_bearingRad(gf_samplePos(ac.samples[1]), gf_samplePos(ac.samples[2])) - ac.pos.heading;
    const double half = g_fullCircle / 2;
    if (d > half)
        d -= g_fullCircle;
    else if (d < -half)
        d += g_fullCircle;
    return d;
}

bool lf_samplesAtTakeOffSpeed(const LiveAc& ac)
{
    const double speed = gf_takeOffSpeedKt(ac.category);
    return std::all_of(ac.samples.begin() + std::min<size_t>(ac.samples.size(), 1), ac.samples.end(),
                       [&](const PosSample& s) { return s.groundSpeed >= speed; });
}

void lf_setBankStep(LiveAc& ac, double targetBank, int32_t ticks)
{
    const GapValues& v = lf_gapValues(ac.category);
    const double largest = v.largestBankDeg * g_degToRad;
    const double largestStep = v.largestBankStepDeg * g_degToRad;
    const double b = -std::clamp(targetBank, -largest, largest);
    ac.motion.bankStep = std::clamp((b - ac.pos.bank) / std::max(ticks, 1), -largestStep, largestStep);
}
