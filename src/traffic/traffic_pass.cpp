#include <algorithm>
#include <cmath>
#include <mutex>

#include "feed/realtraffic_link.h"
#include "feed/received_flights.h"
#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "parking/static_parking.h"
#include "simlink/sim_client.h"
#include "traffic/live_stands.h"
#include "traffic/live_update.h"
#include "traffic/stand_lookup.h"
#include "traffic/traffic_internal.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"
#include "traffic/user_stand.h"

std::atomic<uint32_t> g_trafficTick{0};
bool g_fastRangeRequests = false;
UserState g_userSnapshot;
std::mutex g_userSnapshotMutex;

namespace {

constexpr uint32_t kRecordsPerPass = 2;
constexpr uint32_t kRemovalTicks = 10;
constexpr uint32_t kCreationTicks = 50;
constexpr uint32_t kBindLimitSeconds = 30;
constexpr uint32_t kTicksPerSecond = 100;

SimCreateRequest lf_creationRequest(const LiveAc& ac)
{
    SimCreateRequest r;
    r.latitude = ac.pos.latitude;
    r.longitude = ac.pos.longitude;
    r.altitude = ac.pos.altitude;
    r.pitch = ac.pos.pitch * g_radToDeg;
    r.bank = ac.pos.bank * g_radToDeg;
    r.heading = ac.pos.heading * g_radToDeg;
    r.onGround = ac.samples.empty() || ac.samples.front().airborne ? 0 : 1;
    r.airspeed = 0;
    r.callsign = ac.callsign;
    r.liveryTitle = ac.liveryTitle;
    r.hexid = ac.hexid;
    return r;
}

void lf_requestCreationOfSpawned()
{
    if (g_newAcIds.empty())
        return;
    const uint32_t hexid = g_newAcIds.back();
    g_newAcIds.pop_back();
    const LiveAc* ac = gf_findLiveAc(hexid);
    if (ac == nullptr)
        return;
    if (ac->callsign.empty())
        gf_logErrorLine("{} {} objectid = 0?", "lf_handleAddingStack", gf_flightText(*ac));
    else
        g_liveCreateDeque.push_back(lf_creationRequest(*ac));
}

// The request goes to the simulator; from now on its record waits for the binding.
void lf_handOver(const SimCreateRequest& request)
{
    gf_queueCreateAc(request);
    StaticAc* ac = request.hexid > g_maxStaticHexid ? static_cast<StaticAc*>(gf_findLiveAc(request.hexid))
                                                    : gf_findStaticAc(request.hexid);
    if (ac != nullptr)
        ac->creationSentTick = g_trafficTick.load();
}

// A creation the simulator has not bound within 30 s (its object may never come into the
// range that binding needs) gives its place back. Its object may still come: the hexid is
// remembered, its object removed when it comes, and no second one is made meanwhile.
void lf_withdrawUnboundCreations()
{
    const uint32_t tick = g_trafficTick.load();
    const auto overdue = [tick](const StaticAc& ac) {
        return ac.status == SimStatus::Adding2Sim && ac.objectId == 0 && ac.creationSentTick &&
               tick - *ac.creationSentTick > kBindLimitSeconds * kTicksPerSecond;
    };
    const auto remember = [](uint32_t hexid) {
        if (!gf_isWithdrawnHexid(hexid))
            g_withdrawnHexids.push_back(hexid);
    };
    for (LiveAc& ac : g_liveAcs) {
        if (overdue(ac) && !ac.removed) {
            gf_logLine("{} not bound within {} s, creation withdrawn", gf_flightText(ac), kBindLimitSeconds);
            ac.removed = true;
            remember(ac.hexid);
        }
    }
    std::erase_if(g_staticAcs, [&overdue, &remember](const StaticAc& s) {
        if (!overdue(s))
            return false;
        gf_logLine("{:8}: {:8} not bound within {} s, creation withdrawn", gf_standText(s.standNumber), s.callsign,
                   kBindLimitSeconds);
        remember(s.hexid);
        return true;
    });
}

// Takes at most two records under the lock and applies them after it is released: the
// intake may log, and the reader thread must not wait for that.
void lf_takeReceivedRecords()
{
    static std::vector<LiveFlightRecord> taken;
    {
        std::lock_guard lock(g_liveFlightsMutex);
        for (uint32_t i = 0; i < kRecordsPerPass && !g_liveFlights.empty(); ++i) {
            taken.push_back(std::move(g_liveFlights.front()));
            g_liveFlights.pop_front();
        }
    }
    for (LiveFlightRecord& record : taken)
        gf_applyReceivedRecord(record);
    taken.clear();
}

} // namespace

uint32_t gf_trafficTickNow()
{
    return g_trafficTick.load();
}

void gf_storeUserSnapshot(const UserState& state)
{
    {
        std::lock_guard lock(g_userSnapshotMutex);
        g_userSnapshot = state;
    }
    gf_publishUserStand({state.latitude, state.longitude});
}

UserState gf_userSnapshotCopy()
{
    std::lock_guard lock(g_userSnapshotMutex);
    return g_userSnapshot;
}

bool gf_eraseQueuedCreation(std::deque<SimCreateRequest>& deque, uint32_t hexid)
{
    return std::erase_if(deque, [hexid](const SimCreateRequest& r) { return r.hexid == hexid; }) > 0;
}

void lf_updateAllLiveAc()
{
    bool anyToErase = false;
    for (LiveAc& ac : g_liveAcs)
        anyToErase = updateLiveAc(ac) || anyToErase;
    if (anyToErase)
        std::erase_if(g_liveAcs, [](const LiveAc& ac) { return ac.erase || ac.removed; });
    g_posUpdates.publish();
}

void lf_runTickQueues()
{
    const uint32_t tick = g_trafficTick.load();
    if (tick % kTicksPerSecond == 0)
        lf_withdrawUnboundCreations();
    if (tick % kRemovalTicks == 0 && !g_removeDeque.empty()) {
        {
            std::lock_guard lock(g_simConnectMutex);
            g_removeQueue.push_back(g_removeDeque.front());
        }
        g_removeDeque.pop_front();
    }
    if (tick % kCreationTicks != 0)
        return;
    if (!g_liveCreateDeque.empty()) {
        lf_handOver(g_liveCreateDeque.front());
        g_liveCreateDeque.pop_front();
        return;
    }
    if (!g_staticCreateDeque.empty()) {
        lf_handOver(g_staticCreateDeque.front());
        g_staticCreateDeque.pop_front();
    }
    if (!g_addingStack.empty())
        lf_createStaticFromStack();
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

void lf_handleAddingStack()
{
    gf_handleSimEvents();
    lf_updateAllLiveAc();
    lf_runTickQueues();
    lf_takeReceivedRecords();
    lf_requestCreationOfSpawned();
    lf_requestAcInRange();
    ++g_trafficTick;
}
