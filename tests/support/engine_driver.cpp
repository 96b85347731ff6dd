#include "support/engine_driver.h"

#include <algorithm>
#include <mutex>

#include "simlink/sim_object_events.h"
#include "traffic/live_stands.h"
#include "traffic/stand_lookup.h"
#include "traffic/traffic_internal.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"

namespace enginetest {
namespace {

constexpr int kPassesToActivation = 201;

// The simulator binds the objects; the passes that follow activate them.
void lf_bindAndActivate(const std::vector<SimObjectEvent>& bound)
{
    {
        std::lock_guard lock(g_simObjectEventsMutex);
        g_simObjectEvents.insert(g_simObjectEvents.end(), bound.begin(), bound.end());
    }
    for (int i = 0; i < kPassesToActivation; ++i)
        gf_handleSimEvents();
}

} // namespace

StaticAc* gf_createStatic(const ParkCandidate& candidate, uint32_t objectId)
{
    g_addingStack.push_back(candidate);
    const size_t queued = g_staticCreateDeque.size();
    lf_createStaticFromStack();
    if (g_staticCreateDeque.size() == queued) {
        std::erase_if(g_addingStack, [&](const ParkCandidate& c) {
            return c.standNumber == candidate.standNumber && c.callsign1 == candidate.callsign1;
        });
        return nullptr;
    }
    // The request goes to the simulator.
    const uint32_t hexid = g_staticCreateDeque.back().hexid;
    g_staticCreateDeque.pop_back();
    lf_bindAndActivate({{objectId, hexid, 0, SimObjectEventKind::StaticBound, 0.0, 0.0}});
    return gf_findStaticAc(hexid);
}

size_t gf_createStaticsFromStack(uint32_t& nextObjectId)
{
    for (size_t before = g_addingStack.size() + 1; !g_addingStack.empty() && g_addingStack.size() < before;) {
        before = g_addingStack.size();
        lf_createStaticFromStack();
    }
    std::vector<SimObjectEvent> bound;
    for (const SimCreateRequest& r : g_staticCreateDeque)
        bound.push_back({nextObjectId++, r.hexid, 0, SimObjectEventKind::StaticBound, 0.0, 0.0});
    g_staticCreateDeque.clear();
    lf_bindAndActivate(bound);
    return bound.size();
}

LiveAc* gf_bornAtStand(uint32_t hexid, const std::string& callsign, uint32_t standNumber, uint32_t objectId,
                       const std::string& type)
{
    const ParkStand* stand = lf_findStandByNumber(standNumber);
    if (stand == nullptr)
        return nullptr;
    LiveFlightRecord r;
    r.hexid = hexid;
    r.texts.callsign = callsign;
    r.texts.aircraftType = type;
    r.sample.latitude = stand->lat;
    r.sample.longitude = stand->lon;
    r.sample.dueTick = g_trafficTick.load();
    r.timestamp = 1.7e9;
    lf_spawnFromRecord(r);
    LiveAc& ac = g_liveAcs.back();
    PosSample still = ac.samples.front();
    still.stationary = true;
    ac.samples.push_back(still);
    lf_tryBuffered(ac);
    if (ac.status != SimStatus::Adding2Sim || ac.phase != FlightPhase::Parked)
        return nullptr;
    // Its request goes to the simulator.
    std::erase(g_newAcIds, hexid);
    lf_bindAndActivate({{objectId, hexid, 0, SimObjectEventKind::Bound, 0.0, 0.0}});
    return gf_findLiveAc(hexid);
}

void gf_confirmRemovals()
{
    {
        std::lock_guard lock(g_simObjectEventsMutex);
        for (const uint32_t id : g_removeDeque)
            g_simObjectEvents.push_back({id, 0, 0, SimObjectEventKind::Removed, 0.0, 0.0});
    }
    g_removeDeque.clear();
    gf_handleSimEvents();
}

std::vector<std::string> gf_removing()
{
    std::vector<std::string> callsigns;
    for (const StaticAc& s : g_staticAcs) {
        if (s.status == SimStatus::RemovingFromSim)
            callsigns.push_back(s.callsign);
    }
    for (const LiveAc& ac : g_liveAcs) {
        if (ac.status == SimStatus::RemovingFromSim)
            callsigns.push_back(ac.callsign);
    }
    return callsigns;
}

} // namespace enginetest
