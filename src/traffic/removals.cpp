#include <algorithm>

#include "control/service_state.h"
#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "parking/static_parking.h"
#include "traffic/engine_neighbours.h"
#include "traffic/live_stands.h"
#include "traffic/stand_lookup.h"
#include "traffic/traffic_internal.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"

namespace {

constexpr uint64_t kTicksPerMinute = 600000000; // of 100 ns
constexpr int64_t kMaxParkedMinutes = 90;
constexpr int64_t kMaxParkedMinutesHeavy = 180;

bool lf_isLive(const StaticAc& ac)
{
    return ac.hexid > g_maxStaticHexid;
}

bool lf_isParkedActive(const LiveAc& ac)
{
    return ac.phase == FlightPhase::Parked && ac.status == SimStatus::Active;
}

} // namespace

void removeAircraftFromSim(StaticAc& ac)
{
    if (ac.status == SimStatus::Buffer) {
        ac.erase = true;
        return;
    }
    if (ac.removeWhenCreated)
        return;
    if (ac.status == SimStatus::Adding2Sim) {
        if (gf_eraseQueuedCreation(g_liveCreateDeque, ac.hexid) || gf_eraseQueuedCreation(g_staticCreateDeque, ac.hexid))
            ac.removed = true;
        else
            ac.removeWhenCreated = true;
        return;
    }
    // A repeat would queue the object twice and undo a stand mark set again since.
    if (ac.status == SimStatus::RemovingFromSim)
        return;
    const bool objectQueued = ac.status == SimStatus::LiveryRespawn;
    ac.status = SimStatus::RemovingFromSim;
    if (ac.objectId != 0) {
        if (!objectQueued)
            g_removeDeque.push_back(ac.objectId);
        return;
    }
    gf_logErrorLine("{} removing act {}, with objectid=0 ?", "removeAircraftFromSim", gf_flightText(ac));
    // No object will be reported removed: the record goes now.
    if (lf_isLive(ac))
        ac.erase = true;
    else
        ac.removed = true;
}

bool lf_hasLiveTwin(std::string_view callsign)
{
    const std::string_view stem = gf_callsignStem(callsign);
    return std::any_of(g_liveAcs.begin(), g_liveAcs.end(), [stem](const LiveAc& ac) {
        return ac.status != SimStatus::RemovingFromSim && ac.callsign == stem;
    });
}

void lf_removeGhost(std::string_view callsign)
{
    const std::string key = std::string(callsign) + "_";
    for (LiveAc& ac : g_liveAcs) {
        if (ac.callsign != key || ac.status == SimStatus::RemovingFromSim)
            continue;
        if (ac.phase == FlightPhase::Parked)
            gf_logLine("{:8}: {:8} is a ghost and will be removed, continue with {}", gf_standText(ac.standNumber),
                       ac.callsign, callsign);
        else
            gf_logLine("          {:8} is a ghost and will be removed, continue with {}", ac.callsign, callsign);
        g_ghostCallsigns.push_back(key);
        removeAircraftFromSim(ac);
        return;
    }
}

void lf_replaceSameRegOrCs(LiveAc& live, bool onGround)
{
    if (live.callsign.empty())
        return;
    const std::string_view stem = gf_callsignStem(live.callsign);
    const std::string_view where = onGround ? "on ground" : "airborne";
    for (StaticAc& s : g_staticAcs) {
        if (s.status != SimStatus::Active)
            continue;
        if (!live.registration.empty() && live.registration == s.registration) {
            gf_logLine("{:8}: {:8} {} removed, new {} '{}' has same regcode {}", gf_standText(s.standNumber),
                       s.callsign, s.registration, where, live.callsign, live.registration);
        } else if (s.secondCallsign == live.callsign || s.extraText == live.callsign ||
                   (!live.extraText.empty() && (live.extraText == s.secondCallsign || live.extraText == s.extraText)) ||
                   (live.callsign.ends_with('_') && (stem == s.secondCallsign || stem == s.extraText))) {
            gf_logLine("{:8}: {:8} '{}' '{}' removed, new {} {} '{}' '{}' has {} callsign", gf_standText(s.standNumber),
                       s.callsign, s.secondCallsign, s.extraText, where, live.callsign, live.secondCallsign,
                       live.extraText, s.secondCallsign == live.callsign ? "same" : "coupled");
        } else {
            continue;
        }
        removeAircraftFromSim(s);
        return;
    }
}

void gf_removeStaticTwinOfLive()
{
    if (g_staticAcs.empty() || g_liveAcs.empty())
        return;
    for (const LiveAc& live : g_liveAcs) {
        if (!live.onGround || live.status != SimStatus::Active)
            continue;
        const std::string twin = live.callsign + "*";
        for (StaticAc& s : g_staticAcs) {
            const bool same = s.callsign == twin || (!live.registration.empty() && s.registration == live.registration);
            if (same && s.status == SimStatus::Active) {
                removeAircraftFromSim(s);
                return;
            }
        }
    }
}

void gf_collectLiveParked()
{
    const uint64_t now = gf_engine().steadyTicks();
    for (LiveAc& ac : g_liveAcs) {
        if (!lf_isParkedActive(ac))
            continue;
        if (ac.longStay) {
            g_liveParked.push_back({ac.callsign, 0, ac.standNumber, 0});
            continue;
        }
        const auto minutes = static_cast<int64_t>((now - std::min(now, ac.standTime)) / kTicksPerMinute);
        const int64_t limit = ac.category == TypeCategory::Heavy ? kMaxParkedMinutesHeavy : kMaxParkedMinutes;
        if (INITIAL_LOAD_ONLY.value || minutes <= limit)
            g_liveParked.push_back({ac.callsign, 0, ac.standNumber, static_cast<int32_t>(minutes)});
        else
            removeAircraftFromSim(ac);
    }
    std::stable_sort(g_liveParked.begin(), g_liveParked.end(),
                     [](const LiveParkedEntry& a, const LiveParkedEntry& b) { return a.parkedMinutes < b.parkedMinutes; });
}

void gf_removeAcAtStand(std::string_view standId)
{
    const ParkStand* stand = lf_findStandByName(standId);
    const uint32_t number = stand != nullptr ? stand->number : 0;
    for (StaticAc& s : g_staticAcs) {
        if (s.status == SimStatus::Active && s.standNumber == number) {
            removeAircraftFromSim(s);
            return;
        }
    }
    for (LiveAc& live : g_liveAcs) {
        if (lf_isParkedActive(live) && live.standNumber == number) {
            removeAircraftFromSim(live);
            return;
        }
    }
}

// Takes an aircraft out as a whole run of removals does: an active one leaves the simulator,
// one being created is withdrawn from its creation deque (true) or else removed once created.
bool lf_takeOut(StaticAc& ac, std::deque<SimCreateRequest>& creations)
{
    if (ac.status == SimStatus::Active) {
        removeAircraftFromSim(ac);
    } else if (ac.status == SimStatus::Adding2Sim && !ac.removeWhenCreated) {
        if (gf_eraseQueuedCreation(creations, ac.hexid))
            return true;
        ac.removeWhenCreated = true;
    }
    return false;
}

void gf_removeAllStatics()
{
    for (StaticAc& s : g_staticAcs)
        s.removed = lf_takeOut(s, g_staticCreateDeque) || s.removed;
    std::erase_if(g_staticAcs, [](const StaticAc& s) { return s.removed; });
}

void gf_takeOutLiveAircraft()
{
    for (LiveAc& ac : g_liveAcs)
        ac.erase = lf_takeOut(ac, g_liveCreateDeque) || ac.erase;
    std::erase_if(g_liveAcs, [](const LiveAc& ac) { return ac.erase; });
}
