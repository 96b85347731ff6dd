#include "support/static_engine_double.h"

#include <algorithm>
#include <random>

#include <fmt/format.h>

#include "catalogue/dbase.h"
#include "foundation/random.h"
#include "foundation/settings_catalogue.h"
#include "parking/static_parking_internal.h"
#include "traffic/engine_neighbours.h"

namespace statictest {

EngineDouble& engineDouble()
{
    static EngineDouble d;
    return d;
}

bool createStaticFromStack(int64_t now)
{
    if (g_addingStack.empty())
        return false;
    const ParkCandidate c = g_addingStack.back();
    g_addingStack.pop_back();
    std::string callsign = (c.value & 0xff) != 0 || c.callsign2.empty() ? c.callsign1 : c.callsign2;
    while (!callsign.empty() && callsign.back() == '_')
        callsign.pop_back();
    addStatic(c.standNumber, callsign + "*", lf_shiftBack(now, c.fitOffset), c.callsign1, c.callsign2, c.registration,
              c.airline, c.aircraftType);
    return true;
}

StaticAc& addStatic(uint32_t stand, const std::string& callsign, int64_t placed, const std::string& cs1,
                    const std::string& cs2, const std::string& reg, const std::string& airline,
                    const std::string& type)
{
    EngineDouble& d = engineDouble();
    d.staticHexidCounter = (d.staticHexidCounter + 1) % 10000;
    StaticAc& s = g_staticAcs.emplace_back();
    s.hexid = d.staticHexidCounter;
    s.objectId = 100000 + s.hexid;
    s.callsign = callsign;
    s.secondCallsign = cs1;
    s.extraText = cs2;
    s.registration = reg;
    s.airline = airline;
    s.aircraftType = type;
    if (const ParkStand* at = lf_standByNumber(stand)) {
        s.standLat = at->lat;
        s.standLon = at->lon;
    }
    s.standNumber = stand;
    s.parkedTimeOfWeek = placed;
    s.status = SimStatus::Active;
    return s;
}

LiveAc& addLive(uint32_t hexid, const std::string& callsign, uint32_t stand, SimStatus status, FlightPhase phase)
{
    AcIdentity identity;
    identity.hexid = hexid;
    identity.callsign = callsign;
    LiveAc& ac = g_liveAcs.emplace_back(PosSample{}, std::move(identity), 0.0);
    ac.objectId = status == SimStatus::Active ? hexid : 0;
    ac.standNumber = stand;
    ac.status = status;
    ac.phase = phase;
    ac.onGround = phase != FlightPhase::Flying;
    ac.standTime = gf_engine().steadyTicks();
    return ac;
}

std::vector<std::string> removing()
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

void finishRemovals()
{
    std::erase_if(g_staticAcs, [](const StaticAc& s) { return s.status == SimStatus::RemovingFromSim; });
    std::erase_if(g_liveAcs, [](const LiveAc& ac) { return ac.status == SimStatus::RemovingFromSim; });
    g_removeDeque.clear();
}

namespace {

void lf_clearEngineRecords()
{
    g_staticAcs.clear();
    g_liveAcs.clear();
    g_liveParked.clear();
    g_liveCreateDeque.clear();
    g_staticCreateDeque.clear();
    g_removeDeque.clear();
    g_addingStack.clear();
}

} // namespace

void installEngineDouble()
{
    engineDouble() = EngineDouble{};
    lf_clearEngineRecords();
    g_standSearchSeam = {};
    g_standSearchSeam.userStand = [](const GeoPos&) { return engineDouble().userStand; };
}

void removeEngineDouble()
{
    lf_clearEngineRecords();
    g_standSearchSeam = {};
}

} // namespace statictest
