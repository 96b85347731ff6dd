// Stop-gap until the motion of live aircraft lands: an aircraft is created, activated and
// removed, but stands where it was created. Received positions are queued (at most 200,
// with strictly increasing due ticks), used up at their due ticks, and the aircraft is
// removed when they run out; the identity of a buffered aircraft follows the received
// texts.
#include <cmath>

#include "foundation/log.h"
#include "simlink/sim_queues.h"
#include "traffic/live_update.h"
#include "traffic/traffic_internal.h"
#include "traffic/traffic_service.h"

namespace {

constexpr size_t kMaxQueuedSamples = 200;
constexpr double kSamePosition = 1e-8;
constexpr double kNearPosition = 0.00015;
constexpr double kTakeOffKt = 30.0;
constexpr double kFastKt = 50.0;

bool lf_isFlagged(const LiveAc& ac)
{
    return ac.erase || ac.removed;
}

// The aircraft reaches its next sample without moving.
void nextPosMain(LiveAc& ac)
{
    if (ac.samples.size() < 2) {
        removeAircraftFromSim(ac);
        return;
    }
    ac.samples.pop_front();
}

bool lf_checkSampleWhileStill(LiveAc& ac, PosSample& s)
{
    const PosSample& n = ac.samples.back();
    s.stationary = std::fabs(s.latitude - n.latitude) <= kSamePosition && std::fabs(s.longitude - n.longitude) <= kSamePosition;
    if (ac.category == TypeCategory::Rotorcraft)
        return true;
    const bool notStill = s.airborne || (ac.status == SimStatus::Active && !ac.onGround);
    const bool takingOff = ac.motion.takeOffConfiguration && s.groundSpeed > 0.0;
    if (s.stationary) {
        if (notStill || (takingOff && n.groundSpeed >= kTakeOffKt))
            return false;
        s.groundSpeed = 0.0;
        return true;
    }
    if (std::fabs(s.latitude - n.latitude) <= kNearPosition && std::fabs(s.longitude - n.longitude) <= kNearPosition) {
        if (notStill || (takingOff && n.groundSpeed >= kFastKt))
            return false;
        s = n;
        s.groundSpeed = 0.0;
        s.stationary = true;
        return true;
    }
    if (s.groundSpeed != 0.0)
        return true;
    return !((ac.motion.takeOffConfiguration || s.airborne) && n.groundSpeed >= kFastKt);
}

void lf_copyNewTexts(LiveAc& ac, const FlightTexts& r)
{
    for (auto field : {&FlightTexts::destination, &FlightTexts::origin, &FlightTexts::callsign, &FlightTexts::registration}) {
        if (!(r.*field).empty() && r.*field != ac.*field)
            ac.*field = r.*field;
    }
}

} // namespace

bool updateLiveAc(LiveAc& ac)
{
    try {
        if (ac.status == SimStatus::Buffer)
            lf_tryBuffered(ac);
        if (ac.status != SimStatus::Active)
            return lf_isFlagged(ac);
        if (ac.samples.empty()) {
            gf_logErrorLine("{} stream empty ? {}, hexid:{}, objectid:{}, alt:{:.0f} ft, lalo:{}, TAS:{:.0f}",
                            "updateLiveAc", gf_flightText(ac), ac.hexid, ac.objectId, ac.pos.altitude,
                            fmt::format("{:.6f},{:.6f}", ac.pos.latitude, ac.pos.longitude), ac.pos.trueAirspeed);
            removeAircraftFromSim(ac);
            return lf_isFlagged(ac);
        }
        if (static_cast<int64_t>(g_trafficTick.load()) >= static_cast<int64_t>(ac.samples.front().dueTick)) {
            nextPosMain(ac);
            if (ac.status != SimStatus::Active)
                return lf_isFlagged(ac);
            ac.pos.verticalSpeed = ac.motion.targetVerticalSpeed / 60.0;
            ac.pos.trueAirspeed = ac.samples.front().stationary ? 0.0 : ac.motion.targetTrueAirspeed;
        }
        if (ac.objectId != 0) {
            const PositionBlock& p = ac.pos;
            g_posUpdates.write->push_back({p.latitude, p.longitude, p.pitch, p.bank, p.heading, p.altitude,
                                           p.verticalSpeed, p.trueAirspeed, ac.objectId});
        } else {
            gf_logErrorLine("{} objectid=0? hexid: {},cs:{}, reg:{}, aimo:{} sz:{}", "updateLiveAc", ac.hexid,
                            ac.callsign, ac.registration, gf_airlineTypeText(ac), ac.samples.size());
            removeAircraftFromSim(ac);
        }
    } catch (const std::exception& e) {
        gf_logErrorLine("{}: {} {}, sz:{}, fs:{}, st:{}", "updateLiveAc", e.what(), gf_flightText(ac), ac.samples.size(),
                        gf_flightPhaseText(ac.phase), gf_simStatusText(ac.status));
        return ac.erase;
    }
    return lf_isFlagged(ac);
}

void decodeExisting(LiveAc& ac, PosSample s)
{
    if (ac.samples.size() > kMaxQueuedSamples) {
        removeAircraftFromSim(ac);
        return;
    }
    if (ac.samples.empty() || !lf_checkSampleWhileStill(ac, s))
        return;
    if (s.dueTick <= ac.samples.back().dueTick)
        s.dueTick = ac.samples.back().dueTick + 1;
    ac.samples.push_back(s);
}

bool gf_respawnCheck(LiveAc& ac, LiveFlightRecord& record)
{
    if (ac.status == SimStatus::Buffer)
        lf_copyNewTexts(ac, record.texts);
    return true;
}

// Nothing parks without stands, so nothing is driven onto one.
void drive2Stand(LiveAc&, double, double, double) {}
