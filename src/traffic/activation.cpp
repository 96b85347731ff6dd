#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "foundation/log.h"
#include "foundation/text.h"
#include "foundation/settings_catalogue.h"
#include "simlink/sim_client.h"
#include "simlink/sim_ids.h"
#include "traffic/aircraft_configuration.h"
#include "traffic/engine_neighbours.h"
#include "traffic/engine_services.h"
#include "traffic/flight_plans.h"
#include "traffic/stand_lookup.h"
#include "traffic/traffic_internal.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"

namespace {

constexpr int32_t kActivationPasses = 200;
constexpr int32_t kActivated = -1;
constexpr double kMinCgHeightFt = 1.0;
constexpr double kMaxCgHeightFt = 35.0;
constexpr double kMinStaticPitch = -0.017453292519943295; // -1 degree
constexpr double kMaxStaticPitch = 0.04363323129985824;   // 2.5 degrees
constexpr double kDefaultStaticPitch = 0.012217304763960306; // 0.7 degree
constexpr double kLandingLightsBelowFt = 10000.0;
constexpr double kCabinLightsAboveAglFt = 2000.0;
constexpr double kSamePosition = 1e-8;

int32_t lf_counter(const SimObjectEvent& e)
{
    return static_cast<int32_t>(e.value);
}

void lf_setCounter(SimObjectEvent& e, int32_t counter)
{
    e.value = static_cast<uint32_t>(counter);
}

template <typename Ac>
void lf_eraseSwappingLast(std::vector<Ac>& list, Ac* ac)
{
    const auto index = static_cast<size_t>(ac - list.data());
    if (index + 1 != list.size())
        list[index] = std::move(list.back());
    list.pop_back();
}

LiveAc* lf_liveByObject(uint32_t objectId)
{
    return gf_findAc(g_liveAcs, &StaticAc::objectId, objectId);
}

StaticAc* lf_staticByObject(uint32_t objectId)
{
    return gf_findAc(g_staticAcs, &StaticAc::objectId, objectId);
}

void lf_toggleAllLights(uint32_t objectId)
{
    std::lock_guard lock(g_simConnectMutex);
    const bool ok = gf_engineRequest([objectId](ScHandle handle) {
        return SimConnect_TransmitClientEvent(handle, objectId, gf_id(SimEventId::AllLightsToggle), 0, g_simEventGroup, 0);
    });
    if (!ok) {
        gf_logErrorLine("SimConnect gf_allLightsToggle fails");
        gf_simConnectRequestError();
    }
}

// Spoilers out and the throttle levers to reverse (an "FSLTL_" model: to full) at once, not
// with the next frame's events.
void lf_sendTouchdownControls(const LiveAc& ac)
{
    const double throttle = ac.fsltlLivery ? -100.0 : 100.0;
    const std::array<double, 3> data{100.0, throttle, throttle};
    std::lock_guard lock(g_simConnectMutex);
    gf_engineRequest([&](ScHandle handle) {
        SimConnect_SetDataOnSimObject(handle, gf_id(SimDefinition::AiControls), ac.objectId, 0, 0,
                                      static_cast<uint32_t>(sizeof data), data.data());
        return g_scOk;
    });
}

} // namespace

void lf_applyTouchdownRule(LiveAc& ac, const SimObjectEvent& e)
{
    MotionState& m = ac.motion;
    if (e.hexidOrFlag == 1 && !ac.onGround && m.takeOffCounter <= 1 && ac.status != SimStatus::RemovingFromSim &&
        ac.phase != FlightPhase::TakeOff) {
        if (m.approach || m.landingStep != 0) {
            m.touchdownPitch = true;
            m.rollOut = true;
            g_fastRangeRequests = false;
            m.touchdownHeading = ac.pos.heading;
            m.approach = false;
            m.landed = true;
            gf_setSpoilers(ac, 1);
            if (ac.category != TypeCategory::Other)
                lf_sendTouchdownControls(ac);
            const int32_t n = ac.touchdownTicks;
            if (n > 0) {
                m.pitchStep = (ac.staticPitch - ac.pos.pitch) / n;
                m.bankStep = -ac.pos.bank / n;
            } else {
                gf_logLine("{} ! onGround slots {:.1f}", ac.callsign, static_cast<double>(n));
                m.pitchStep = ac.staticPitch;
                m.bankStep = 0.0;
            }
            g_touchdownHexids.push_back(ac.hexid);
        }
        ac.onGround = true;
        m.landingStep = 0;
        m.takeOffCounter = 1;
    }
    m.altitudeAboveGround = e.d2;
    if (ac.onGround || m.takeOffCounter >= 2)
        ac.pos.altitude = e.d1 + ac.cgHeight;
}

namespace {

void lf_storeStaticCg(LiveAc& ac, const SimObjectEvent& e)
{
    if (e.d1 >= kMinCgHeightFt && e.d1 <= kMaxCgHeightFt)
        ac.cgHeight = e.d1;
    ac.staticPitch = e.d2 <= kMinStaticPitch || e.d2 > kMaxStaticPitch ? kDefaultStaticPitch : e.d2;
}

void lf_onCreationFailed(uint32_t hexid)
{
    // The failure of a withdrawn creation: no object of it will come; a record of the hexid
    // now is not the one that failed.
    if (gf_isWithdrawnHexid(hexid)) {
        std::erase(g_withdrawnHexids, hexid);
        return;
    }
    if (hexid > g_maxStaticHexid) {
        if (LiveAc* ac = gf_findLiveAc(hexid)) {
            gf_engine().reportLiveryNotCreated(*ac);
            lf_eraseSwappingLast(g_liveAcs, ac);
        }
        return;
    }
    if (StaticAc* ac = gf_findStaticAc(hexid)) {
        gf_engine().reportLiveryNotCreated(*ac);
        lf_eraseSwappingLast(g_staticAcs, ac);
    }
}

// The record whose creation waits for this object: of its hexid, being created and not yet
// bound. A creation withdrawn (or one the simulator was slow to bind) has none.
StaticAc* lf_waitingFor(const SimObjectEvent& e)
{
    StaticAc* ac = e.kind == SimObjectEventKind::Bound ? static_cast<StaticAc*>(gf_findLiveAc(e.hexidOrFlag))
                                                       : gf_findStaticAc(e.hexidOrFlag);
    if (ac == nullptr || ac->status != SimStatus::Adding2Sim || ac->objectId != 0 || ac->removed)
        return nullptr;
    return ac;
}

// An object that no record waits for would stand frozen in the simulator: it goes.
void lf_removeOrphan(const SimObjectEvent& e)
{
    gf_logLine("          object {} of hexid {} has no creation waiting for it, removed", e.objectId, e.hexidOrFlag);
    g_removeDeque.push_back(e.objectId);
}

void lf_onBound(const SimObjectEvent& e)
{
    // The object of a withdrawn creation, however late: its record is gone.
    if (gf_isWithdrawnHexid(e.hexidOrFlag)) {
        std::erase(g_withdrawnHexids, e.hexidOrFlag);
        lf_removeOrphan(e);
        return;
    }
    StaticAc* ac = lf_waitingFor(e);
    if (ac == nullptr) {
        lf_removeOrphan(e);
        return;
    }
    // An object of an earlier, withdrawn creation of the hexid serves as well; the request
    // still queued would make a second one.
    if (e.kind == SimObjectEventKind::StaticBound) {
        gf_eraseQueuedCreation(g_staticCreateDeque, ac->hexid);
        ac->objectId = e.objectId;
    } else {
        std::erase(g_newAcIds, ac->hexid);
        gf_eraseQueuedCreation(g_liveCreateDeque, ac->hexid);
        if (!gf_onLiveAcObject(static_cast<LiveAc&>(*ac), e))
            return;
    }
    g_pendingActivations.push_back(e);
}

void lf_handleEvent(const SimObjectEvent& e)
{
    switch (e.kind) {
    case SimObjectEventKind::Bound:
    case SimObjectEventKind::StaticBound:
        lf_onBound(e);
        break;
    case SimObjectEventKind::Removed:
        lf_onSimObjectRemoved(e.objectId);
        break;
    case SimObjectEventKind::InRange:
        if (LiveAc* ac = lf_liveByObject(e.objectId)) {
            ac->motion.reportedGroundFt = e.d1;
            ac->motion.reportedGroundTick = g_trafficTick.load();
            lf_applyTouchdownRule(*ac, e);
        }
        break;
    case SimObjectEventKind::StaticCg:
        if (LiveAc* ac = lf_liveByObject(e.objectId))
            lf_storeStaticCg(*ac, e);
        break;
    case SimObjectEventKind::CallsignBlocked:
        lf_onCallsignBlocked(e.hexidOrFlag);
        break;
    case SimObjectEventKind::CreationFailed:
        lf_onCreationFailed(e.hexidOrFlag);
        break;
    }
}

LightSet lf_activationLights(LiveAc& ac)
{
    const PosSample& s = ac.samples.front();
    LightSet lights;
    if (s.airborne) {
        gf_engineStart(ac.objectId);
        gf_setSpoilers(ac, 0);
        const uint32_t landing = !(s.altitude > kLandingLightsBelowFt) ? 1 : 0;
        const uint32_t cabin = ac.motion.altitudeAboveGround >= kCabinLightsAboveAglFt ? 1 : 0;
        lights = {1, 1, landing, 0, 1, landing, cabin};
        return lights;
    }
    gf_setSpoilers(ac, 0);
    const bool parked = ac.phase == FlightPhase::Parked;
    if (parked)
        gf_engineShutdown(ac.objectId);
    else
        gf_engineStart(ac.objectId);
    const uint32_t nav = parked ? (NAV_LIGHTS_WHILE_PARKED.value ? 1 : 0) : 1;
    lights = {nav, parked ? 0u : 1u, 0, ac.phase == FlightPhase::Taxi ? 1u : 0u, 0, 1, 1};
    gf_setThrottle(ac, ac.category == TypeCategory::Rotorcraft ? 4 : 0);
    gf_setFlaps(ac, ac.phase == FlightPhase::Taxi ? 1 : 0);
    return lights;
}

// A pending object whose record is gone (or now belongs to a later aircraft of the hexid)
// is not activated; its object leaves the simulator.
void lf_dropOrphan(SimObjectEvent& entry)
{
    g_removeDeque.push_back(entry.objectId);
    lf_setCounter(entry, kActivated);
}

// True when the entry was activated (or dropped).
bool lf_activateLive(SimObjectEvent& entry)
{
    LiveAc* ac = gf_findLiveAc(entry.hexidOrFlag);
    if (ac == nullptr || ac->objectId != entry.objectId) {
        lf_dropOrphan(entry);
        return true;
    }
    ac->status = SimStatus::Active;
    if (ac->samples.empty()) {
        // Nothing to fly: the update removes it as an aircraft without data.
        lf_setCounter(entry, kActivated);
        return true;
    }
    gf_setLights(ac->objectId, lf_activationLights(*ac));
    lf_setCounter(entry, kActivated);
    if (ac->removeWhenCreated) {
        ac->removeWhenCreated = false;
        removeAircraftFromSim(*ac);
    }
    return true;
}

bool lf_activateStatic(SimObjectEvent& entry)
{
    StaticAc* ac = gf_findStaticAc(entry.hexidOrFlag);
    if (ac == nullptr || ac->objectId != entry.objectId || ac->status != SimStatus::Adding2Sim) {
        lf_dropOrphan(entry);
        return true;
    }
    ac->status = SimStatus::Active;
    gf_shutdownAtStand(*ac);
    lf_setCounter(entry, kActivated);
    gf_logLine("{:8}: {:8} parked", gf_standText(ac->standNumber), ac->callsign);
    if (ac->removeWhenCreated) {
        ac->removeWhenCreated = false;
        removeAircraftFromSim(*ac);
    }
    return true;
}

} // namespace

void gf_handleSimEvents()
{
    std::lock_guard lock(g_simObjectEventsMutex);
    for (const SimObjectEvent& e : g_simObjectEvents)
        lf_handleEvent(e);
    g_simObjectEvents.clear();
    if (!g_pendingActivations.empty())
        lf_activateCreatedObjects();
}

void lf_activateCreatedObjects()
{
    bool anyActivated = false;
    for (SimObjectEvent& entry : g_pendingActivations) {
        const int32_t counter = lf_counter(entry);
        if (counter < 0)
            continue;
        const bool live = entry.kind == SimObjectEventKind::Bound;
        if (counter < kActivationPasses) {
            lf_setCounter(entry, counter + 1);
            if (live && (counter + 1 == 50 || counter + 1 == 100))
                lf_toggleAllLights(entry.objectId);
            continue;
        }
        anyActivated = (live ? lf_activateLive(entry) : lf_activateStatic(entry)) || anyActivated;
    }
    if (anyActivated)
        std::erase_if(g_pendingActivations, [](const SimObjectEvent& e) { return lf_counter(e) < 0; });
}

void lf_onSimObjectRemoved(uint32_t objectId)
{
    // An object gone before its activation is not activated later.
    std::erase_if(g_pendingActivations, [objectId](const SimObjectEvent& e) { return e.objectId == objectId; });
    if (LiveAc* ac = lf_liveByObject(objectId)) {
        if (ac->status == SimStatus::LiveryRespawn) {
            ac->status = SimStatus::Buffer;
            ac->throttleIndex = 5;
            ac->flapsIndex = 4;
            ac->objectId = 0;
            return;
        }
        if (ac->flightPlanSet) {
            std::error_code ec;
            const std::filesystem::path plan = g_flightPlanFolder / gf_flightPlanFileName(objectId);
            std::filesystem::remove(plan, ec);
            if (ec)
                gf_logErrorLine("{}: {} {}", "lf_onSimObjectRemoved", gf_pathToUtf8(plan), ec.message());
        }
        lf_eraseSwappingLast(g_liveAcs, ac);
        return;
    }
    if (StaticAc* ac = lf_staticByObject(objectId))
        lf_eraseSwappingLast(g_staticAcs, ac);
}

void liveryRespawn(LiveAc& ac)
{
    try {
        if (ac.samples.empty())
            return;
        PosSample copy = ac.samples.front();
        if (ac.phase != FlightPhase::Parked) {
            copy.latitude = ac.pos.latitude;
            copy.longitude = ac.pos.longitude;
            copy.altitude = ac.pos.altitude;
            copy.roll = ac.pos.bank;
            PosSample& oldest = ac.samples.front();
            oldest.stationary = std::fabs(oldest.latitude - ac.pos.latitude) <= kSamePosition &&
                                std::fabs(oldest.longitude - ac.pos.longitude) <= kSamePosition;
        } else {
            ac.samples.resize(1);
            PosSample& oldest = ac.samples.front();
            oldest.stationary = true;
            oldest.track = ac.pos.heading * g_radToDeg;
            copy.stationary = true;
        }
        copy.dueTick = g_trafficTick.load() + 1;
        ac.samples.push_front(copy);
        ac.motion.respawnHeading = ac.pos.heading;
        ac.motion.respawnHeadingSet = true;
        if (ac.objectId != 0) {
            ac.status = SimStatus::LiveryRespawn;
            g_removeDeque.push_back(ac.objectId);
            return;
        }
        gf_logErrorLine("{} removing act {} with objectid=0 ?", gf_flightText(ac), "liveryRespawn");
        // No object will be reported removed: the aircraft goes back to the buffer now.
        ac.status = SimStatus::Buffer;
        ac.throttleIndex = 5;
        ac.flapsIndex = 4;
    } catch (const std::exception& e) {
        gf_logErrorLine("{}: {}", "liveryRespawn", e.what());
    }
}

void lf_onCallsignBlocked(uint32_t hexid)
{
    LiveAc* ac = gf_findLiveAc(hexid);
    if (ac == nullptr)
        return;
    if (ac->status == SimStatus::Buffer) {
        gf_logLine("{} will be removed from buffer while blocked", gf_flightText(*ac));
        ac->erase = true;
    } else if (ac->status == SimStatus::Active) {
        gf_logLine("{} removed from simulator immediately while blocked", gf_flightText(*ac));
        removeAircraftFromSim(*ac);
    }
}
