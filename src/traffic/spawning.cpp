#include <algorithm>
#include <cmath>
#include <mutex>
#include <optional>

#include "catalogue/liveries.h"
#include "control/service_state.h"
#include "foundation/geo.h"
#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "parking/park_stand.h"
#include "parking/static_parking.h"
#include "simlink/sim_client.h"
#include "simlink/sim_ids.h"
#include "traffic/engine_neighbours.h"
#include "traffic/live_stands.h"
#include "traffic/stand_lookup.h"
#include "traffic/traffic_internal.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"

namespace {

constexpr int64_t kTaxiLeadTicks = 300;
constexpr int64_t kStandingLeadTicks = 100;
constexpr size_t kCreationBacklog = 10;
constexpr double kFeetPerNm = 6076.11549;
constexpr double kSlowKt = 8.0;
constexpr double kRestKt = 1.0;
constexpr double kMovingOffKt = 5.0;
constexpr double kMovingOffNm = 16.0 / 1852.0;
constexpr double kHoldReleaseMetres = 500.0;
constexpr double k150MetresNm = 0.08099352051835854;
constexpr double kAirHoldRangeNm = 6.0;
constexpr double kAirHoldHeightFt = 3000.0;
constexpr double kAirHoldLateralFt = 4000.0;
constexpr double kGroundHoldRangeNm = 1.5;
constexpr double kGroundHoldUserAglFt = 1000.0;
constexpr double kGroundHoldLateralFt = 500.0;

void lf_dropFrontSample(LiveAc& ac)
{
    ac.samples.pop_front();
}

double lf_wrapPi(double r)
{
    return std::remainder(r, g_fullCircle);
}

GeoPos lf_position(const PosSample& s)
{
    return {s.latitude, s.longitude};
}

bool lf_mixesAirAndGround(const LiveAc& ac)
{
    const bool anyAirborne = std::any_of(ac.samples.begin(), ac.samples.end(), [](const PosSample& s) { return s.airborne; });
    const bool anyOnGround = std::any_of(ac.samples.begin(), ac.samples.end(), [](const PosSample& s) { return !s.airborne; });
    return anyAirborne && anyOnGround;
}

// The live aircraft held against MAX_LIVE_SEL: the active ones and every one being created,
// including those whose creation has gone to the simulator (they turn active later).
size_t lf_liveCount()
{
    return static_cast<size_t>(std::count_if(g_liveAcs.begin(), g_liveAcs.end(), [](const LiveAc& ac) {
        return ac.status == SimStatus::Active ||
               (ac.status == SimStatus::Adding2Sim && !ac.removed && !ac.removeWhenCreated);
    }));
}

bool lf_isGhostCallsign(const std::string& callsign)
{
    return callsign.ends_with('_') &&
           std::find(g_ghostCallsigns.begin(), g_ghostCallsigns.end(), callsign) != g_ghostCallsigns.end();
}

void lf_takeDbaseIdentity(LiveAc& ac)
{
    if (ac.registration.empty())
        return;
    const std::optional<DbaseRecord> found = gf_engine().lookupDbase(ac.registration);
    if (!found)
        return;
    ac.airline = found->opr.empty() ? found->airl : found->opr;
    ac.aircraftType = found->type;
    ac.cargo = found->cargo;
    if (!gf_isUsableCallsign(ac))
        ac.callsign = ac.registration;
}

// The heading a buffered aircraft reports: its true heading, else its track.
double lf_reportedHeading(const PosSample& s)
{
    return s.trueHeading ? *s.trueHeading : s.track * g_degToRad;
}

// The livery of a new aircraft: the one it had before, unless the simulator could not
// create it, else a fresh match. False when none fits (the aircraft is then erased).
bool lf_chooseLivery(LiveAc& ac)
{
    if (!ac.liveryTitle.empty())
        return true;
    const std::string_view before = gf_engine().hasLiveryCreationFailed(ac.hexid);
    if (!before.empty()) {
        ac.liveryTitle = before;
        ac.fsltlLivery = before.find("FSLTL_") != std::string_view::npos;
        return true;
    }
    gf_engine().matchLiveLivery(ac);
    if (ac.liveryTitle.empty()) {
        if (!ac.registration.empty())
            g_unmatchedFlights.insert(gf_airlineTypeRegText(ac));
        ac.erase = true;
        return false;
    }
    g_liveryIdTitles[ac.hexid] = ac.liveryTitle;
    return true;
}

void lf_startAtStand(LiveAc& ac, const ParkStand& stand)
{
    ac.standLat = stand.lat;
    ac.standLon = stand.lon;
    ac.standHeading = stand.heading;
    ac.standNumber = stand.number;
    ac.cargoStand = stand.cargo;
    gf_setPhase(ac, FlightPhase::Parked);
    ac.standTime = gf_engine().steadyTicks();
    ac.motion.largestStandDistance = 0.0;
    ac.motion.movedAwayCount = 0;
    lf_cargoRule(ac);
    ac.samples.resize(1);
    PosSample& s = ac.samples.front();
    s.latitude = stand.lat;
    s.longitude = stand.lon;
    s.track = stand.heading * g_radToDeg;
    lf_addRealStandOption(stand.number, ac, 1);
    gf_enforceMaxParked(1);
}

} // namespace

bool lf_holdBackNearUser(LiveAc& ac)
{
    const PosSample& f = ac.samples.front();
    const UserState& u = g_userSnapshot;
    const GeoPos user{u.latitude, u.longitude};
    const double dist = gf_distanceNm(user, lf_position(f));
    if (g_userOnGround) {
        if (ac.heldNearUser) {
            if (u.groundVelocity > kSlowKt || (!f.airborne && !(f.groundSpeed <= kSlowKt && dist * 1852.0 >= kHoldReleaseMetres))) {
                lf_dropFrontSample(ac);
                return true;
            }
        }
        if (f.airborne || !COLLISION_USER_GND.value)
            return false;
        if (dist < k150MetresNm) {
            lf_dropFrontSample(ac);
            return true;
        }
        return false;
    }
    if (!COLLISION_USER_AIR.value)
        return false;
    std::optional<double> lateralFt;
    double limitFt = 0.0;
    if (f.airborne && dist <= kAirHoldRangeNm && std::fabs(f.altitude - u.altitude) < kAirHoldHeightFt) {
        const double r = lf_wrapPi(lf_reportedHeading(f) - gf_bearingRad(user, lf_position(f))) * g_radToDeg;
        lateralFt = dist * kFeetPerNm * std::cos(std::fabs(std::fabs(r) - 90.0) * g_degToRad);
        limitFt = kAirHoldLateralFt;
        // Behind the user, one that closes on it comes as near as it does within the
        // approach horizon, wherever its line of flight lies: making way would remove it
        // once created.
        if (gf_behindUser(u, lf_position(f))) {
            const double track = f.track * g_degToRad;
            const std::optional<double> missFt =
                gf_closestApproachFt(u, lf_position(f), f.groundSpeed * std::cos(track), f.groundSpeed * std::sin(track));
            if (missFt)
                lateralFt = std::min(*lateralFt, *missFt);
        }
    } else if (!f.airborne && dist <= kGroundHoldRangeNm && u.altitudeAboveGround < kGroundHoldUserAglFt) {
        const double r = lf_wrapPi(gf_bearingRad(user, lf_position(f)) - u.heading);
        // Only ahead of the user: behind a user who has just lifted off it is in nobody's way.
        if (std::cos(r) > 0.0) {
            lateralFt = std::sin(std::fabs(r)) * dist * kFeetPerNm;
            limitFt = kGroundHoldLateralFt;
        }
    }
    if (lateralFt && *lateralFt <= limitFt)
        ac.heldNearUser = true;
    if (!ac.heldNearUser)
        return false;
    lf_dropFrontSample(ac);
    return true;
}

void lf_tryBuffered(LiveAc& ac)
{
    if (ac.samples.empty()) {
        ac.erase = true;
        return;
    }
    const PosSample& f = ac.samples.front();
    const int64_t lead = !f.airborne && f.groundSpeed != 0.0 ? kTaxiLeadTicks : kStandingLeadTicks;
    if (static_cast<int64_t>(g_trafficTick.load()) < static_cast<int64_t>(f.dueTick) - lead)
        return;
    if (ac.samples.size() == 1 || lf_isGhostCallsign(ac.callsign)) {
        ac.erase = true;
        return;
    }
    // An earlier creation of the hexid may still bring its object: it waits for that one,
    // which is removed when it comes, rather than leave a second object in the simulator.
    if (lf_mixesAirAndGround(ac) || gf_isWithdrawnHexid(ac.hexid)) {
        lf_dropFrontSample(ac);
        return;
    }
    if (lf_holdBackNearUser(ac))
        return;
    if (g_liveCreateDeque.size() > kCreationBacklog && ac.phase == FlightPhase::Birth) {
        lf_dropFrontSample(ac);
        return;
    }
    const auto maxLive = static_cast<size_t>(std::max(MAX_LIVE_SEL.value.load(), 0));
    // An aircraft that is not to come makes no room.
    const std::string blocked = BLOCK_CALLSIGN.value();
    if (maxLive == 0 || ac.erase || (!blocked.empty() && blocked == ac.callsign)) {
        ac.erase = true;
        return;
    }
    if (lf_liveCount() >= maxLive) {
        const GeoPos user{g_userSnapshot.latitude, g_userSnapshot.longitude};
        if (gf_removeFarthestLiveAc(gf_distanceNm(user, lf_position(ac.samples.front())))) {
            ac.erase = true;
            return;
        }
    }
    lf_takeDbaseIdentity(ac);
    if (ac.airline.empty() && !gf_setAirlineFromCallsign(ac))
        ac.airline = "PVT";
    if (gf_isUsableCallsign(ac) && !g_unmatchedFlights.contains(gf_airlineTypeRegText(ac)) &&
        (!ac.callsign.ends_with('_') || !lf_hasLiveTwin(ac.callsign))) {
        spawnLiveAc(ac);
        return;
    }
    ac.erase = true;
}

void spawnLiveAc(LiveAc& ac)
{
    if (ac.samples.size() < 2) {
        gf_logErrorLine("{} sz:{}", "spawnLiveAc", ac.samples.size());
        return;
    }
    PosSample& s0 = ac.samples[0];
    PosSample& s1 = ac.samples[1];
    // Reported at rest and next moving off slowly a few metres on (a push-back beginning): it
    // stood there when it was created. The moving report keeps its place and speed.
    const bool movingOff = !s0.airborne && !s1.airborne && s0.groundSpeed <= kRestKt &&
                           s1.groundSpeed <= kMovingOffKt &&
                           gf_distanceNm(lf_position(s0), lf_position(s1)) <= kMovingOffNm;
    const bool standing = s1.stationary || movingOff;
    if (standing) {
        s0.stationary = true;
        s0.groundSpeed = 0.0;
    }
    if (s1.stationary) {
        s1.groundSpeed = 0.0;
        if (ac.samples.size() >= 3 && ac.samples[2].stationary)
            ac.samples[2].groundSpeed = 0.0;
    } else if (!standing) {
        s0.stationary = false;
    }
    if (ac.phase == FlightPhase::Birth) {
        if (!lf_chooseLivery(ac))
            return;
        if (ac.samples.front().airborne) {
            gf_setPhase(ac, FlightPhase::Flying);
        } else if (const ParkStand* stand = lf_findBirthStand(ac)) {
            lf_startAtStand(ac, *stand);
        } else if (standing) {
            lf_dropFrontSample(ac);
            return;
        } else {
            gf_setPhase(ac, FlightPhase::Taxi);
        }
        // Its reports after the one it is born on are taken once it is active, only when it
        // was born at a stand.
        const uint32_t born = ac.samples.front().dueTick;
        std::erase_if(ac.motion.creationReports, [&ac, born](const PosSample& r) {
            return ac.phase != FlightPhase::Parked || r.dueTick <= born;
        });
    }
    if (ac.erase)
        return;
    lf_initPositionBlock(ac);
    ac.status = SimStatus::Adding2Sim;
    // A respawn's earlier request must not count against this one's time to be bound.
    ac.creationSentTick.reset();
    g_newAcIds.push_back(ac.hexid);
    if (!ac.callsign.ends_with('_'))
        lf_removeGhost(ac.callsign);
}

bool gf_onLiveAcObject(LiveAc& ac, const SimObjectEvent& event)
{
    if (event.objectId < 3)
        return false;
    ac.objectId = event.objectId;
    ac.motion.altitudeAboveGround = event.d2;
    if (!ac.samples.empty() && !ac.samples.front().airborne)
        lf_parkLiveAc(ac);
    lf_createAiFlightPlan(ac);
    std::lock_guard lock(g_simConnectMutex);
    const bool ok = gf_engineRequest([&](ScHandle handle) {
        return SimConnect_RequestDataOnSimObject(handle, gf_id(SimRequest::StaticCg), gf_id(SimDefinition::StaticCg),
                                                 ac.objectId, static_cast<uint32_t>(ScPeriod::Once), 0);
    });
    if (!ok) {
        gf_logErrorLine("SimConnect request StaticCG fails");
        gf_simConnectRequestError();
    }
    return true;
}

void lf_parkLiveAc(LiveAc& ac)
{
    ac.onGround = true;
    ac.motion.stepSpeed = 0.0;
    if (ac.phase != FlightPhase::Parked) {
        ac.motion.stepCounter = 1;
        return;
    }
    ac.parkedTimeOfWeek = g_timeOfWeek;
    const std::string standText = gf_standText(ac.standNumber);
    gf_logLine("{:8}: {:8} parks", standText, ac.callsign);
    std::erase_if(g_addingStack, [&ac](const ParkCandidate& c) { return c.standNumber == ac.standNumber; });
    for (StaticAc& s : g_staticAcs) {
        if (s.status == SimStatus::Active && s.standNumber == ac.standNumber) {
            gf_logLine("{:8}: {:8} parks over static {} \u2014 static will be removed", standText, ac.callsign,
                       s.callsign);
            removeAircraftFromSim(s);
            break;
        }
    }
    ac.motion.stepCounter = 1;
}
