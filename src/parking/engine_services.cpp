#include "parking/engine_services.h"

#include "traffic/traffic_service.h"
#include "traffic/user_stand.h"

namespace {

// The engine's functions that exist under their own names are used as they are; the rest
// stand for an engine without aircraft until the engine sets its table.
EngineServices lf_defaultServices()
{
    EngineServices s{};
    s.staticAcs = [] { return std::vector<StaticAcView>{}; };
    s.liveAcs = [] { return std::vector<LiveAcView>{}; };
    s.liveParked = [] { return std::vector<ParkedLiveView>{}; };
    s.clearLiveParked = [] {};
    s.dropLastLiveParked = [] {};
    s.lf_searchStands = [](int64_t, uint32_t, uint32_t, int32_t, std::vector<ParkCandidate>&) {};
    s.lf_isOptionAroundThisTime = [](const StandFlight&, const StaticAcView&, int64_t, int32_t) { return false; };
    s.lf_isOptionAroundThisTimeYesterday = [](const StandFlight&, const StaticAcView&, uint32_t, int32_t) {
        return false;
    };
    s.gf_userStand = &gf_userStand;
    s.removeAircraftFromSim = [](uint32_t) {};
    s.gf_removeAllStatics = &gf_removeAllStatics;
    s.gf_removeAcAtStand = &gf_removeAcAtStand;
    s.gf_removeLiveParked = [](int32_t) {};
    s.gf_collectLiveParked = [] {};
    s.gf_eraseQueuedCreation = [](std::string_view) { return false; };
    s.gf_countParkedLive = &gf_countParkedLive;
    s.gf_countStaticsInSim = &gf_countStaticsInSim;
    s.forgetLiveStand = [](uint32_t) {};
    s.takeOutLiveAc = [](uint32_t) {};
    s.removeLiveAcWhenCreated = [](uint32_t) {};
    s.compactLiveAcs = [] {};
    return s;
}

EngineServices& lf_current()
{
    static EngineServices services = lf_defaultServices();
    return services;
}

} // namespace

const EngineServices& gf_engineServices()
{
    return lf_current();
}

void gf_setEngineServices(const EngineServices& services)
{
    lf_current() = services;
}

void gf_resetEngineServices()
{
    lf_current() = lf_defaultServices();
}
