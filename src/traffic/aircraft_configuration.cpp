#include "traffic/aircraft_configuration.h"

#include <array>
#include <mutex>

#include "foundation/log.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_queues.h"

namespace {

constexpr std::array<uint32_t, 5> kThrottleData{0, 4914, 8191, 11468, 16383};
constexpr std::array<uint32_t, 5> kFlapsData{0, 3072, 10240, 16383, 0};
constexpr uint32_t kSpoilersDeployed = 16383;

void lf_queueEvent(uint32_t objectId, SimEventId eventId, uint32_t data)
{
    std::lock_guard lock(g_simConnectMutex);
    g_eventQueue.push_back({objectId, gf_id(eventId), data});
}

bool lf_isRotorcraft(const StaticAc& ac)
{
    return ac.category == TypeCategory::Rotorcraft;
}

} // namespace

void gf_setThrottle(StaticAc& ac, uint32_t index)
{
    if (index == ac.throttleIndex)
        return;
    if (index < kThrottleData.size())
        lf_queueEvent(ac.objectId, SimEventId::ThrottleSet, kThrottleData[index]);
    ac.throttleIndex = index;
}

void gf_setFlaps(StaticAc& ac, uint32_t index)
{
    if (index == ac.flapsIndex || lf_isRotorcraft(ac))
        return;
    if (index < kFlapsData.size())
        lf_queueEvent(ac.objectId, SimEventId::FlapsSet, kFlapsData[index]);
    else
        gf_logLine("gf_setFlaps: invalid flaps index");
    ac.flapsIndex = index;
}

void gf_setGear(StaticAc& ac, bool down)
{
    if (!lf_isRotorcraft(ac))
        lf_queueEvent(ac.objectId, SimEventId::GearSet, down ? 1 : 0);
}

void gf_setSpoilers(StaticAc& ac, int32_t value)
{
    if (!lf_isRotorcraft(ac))
        lf_queueEvent(ac.objectId, SimEventId::SpoilersSet, value > 0 ? kSpoilersDeployed : 0);
}
