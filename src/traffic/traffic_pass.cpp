#include "traffic/traffic_service.h"

#include "feed/realtraffic_link.h"
#include "foundation/log.h"
#include "foundation/settings_catalogue.h"

std::atomic<uint32_t> g_trafficTick{0};
bool g_fastRangeRequests = false;
UserState g_userSnapshot;
std::mutex g_userSnapshotMutex;

uint32_t gf_trafficTickNow()
{
    return g_trafficTick.load();
}

void gf_storeUserSnapshot(const UserState& state)
{
    std::lock_guard lock(g_userSnapshotMutex);
    g_userSnapshot = state;
}

UserState gf_userSnapshotCopy()
{
    std::lock_guard lock(g_userSnapshotMutex);
    return g_userSnapshot;
}

void lf_requestAcInRange()
{
    const uint32_t tick = g_trafficTick.load();
    if (tick % (g_fastRangeRequests ? 20u : 100u) == 0 && !gf_simLink().requestAircraftInRange(g_rangeMetres)) {
        gf_logErrorLine("SimConnect request ac within range fails");
        gf_simLink().requestError();
    }
    if (tick % 100 == 0) {
        gf_sendUserPosition();
        gf_storeUserSnapshot(gf_simLink().requestUserPosition());
    }
}
