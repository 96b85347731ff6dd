// What the window shows and the cycle applies over the live and static aircraft.
#include <algorithm>

#include "control/service_state.h"
#include "parking/park_stand.h"
#include "simlink/sim_queues.h"
#include "traffic/engine_services.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"
#include "ui/window_state.h"

namespace {

constexpr int64_t kSlotsPerWeek = 336;

bool lf_isParkedActive(const LiveAc& ac)
{
    return ac.phase == FlightPhase::Parked && ac.status == SimStatus::Active;
}

bool lf_isFlyingActive(const LiveAc& ac)
{
    return ac.phase != FlightPhase::Parked && ac.status == SimStatus::Active;
}

// Half hours from the parking time of week to now, across the end of the week.
int64_t lf_halfHoursSince(int64_t parkedTimeOfWeek, int64_t now)
{
    int64_t n = (static_cast<int64_t>(gf_weekdayOf(now)) - static_cast<int64_t>(gf_weekdayOf(parkedTimeOfWeek))) * 48 +
                static_cast<int64_t>(gf_slotOf(now)) - static_cast<int64_t>(gf_slotOf(parkedTimeOfWeek));
    if (n < 0)
        n += kSlotsPerWeek;
    return n;
}

} // namespace

int32_t gf_countActiveLive()
{
    return static_cast<int32_t>(std::count_if(g_liveAcs.begin(), g_liveAcs.end(),
                                              [](const LiveAc& ac) { return ac.status == SimStatus::Active; }));
}

uint64_t gf_countLiveInSim()
{
    return static_cast<uint64_t>(std::count_if(g_liveAcs.begin(), g_liveAcs.end(), lf_isFlyingActive));
}

std::vector<std::string> gf_liveInSimCallsigns()
{
    std::vector<std::string> callsigns;
    for (const LiveAc& ac : g_liveAcs) {
        if (lf_isFlyingActive(ac))
            callsigns.push_back(ac.callsign);
    }
    return callsigns;
}

uint64_t gf_countParkedLive(bool withMean)
{
    uint64_t count = 0;
    int64_t halfHours = 0;
    const int64_t now = g_timeOfWeek;
    for (const LiveAc& ac : g_liveAcs) {
        if (!lf_isParkedActive(ac))
            continue;
        ++count;
        if (withMean)
            halfHours += lf_halfHoursSince(ac.parkedTimeOfWeek, now);
    }
    if (!withMean)
        return count;
    WindowState& ws = gf_windowState();
    const float mean =
        count == 0 ? 0.0f : static_cast<float>(static_cast<double>(halfHours) / (2.0 * static_cast<double>(count)) + 0.5);
    if (ws.liveMeanParkedHours.load() != mean) {
        ws.liveMeanParkedHours = mean;
        gf_invalidateBand(g_statusPanelBand);
    }
    return count;
}

void gf_setParkedNavLights(bool on)
{
    for (const StaticAc& s : g_staticAcs) {
        if (s.status == SimStatus::Active)
            gf_setNavLights(s.objectId, on ? 1 : 0);
    }
    for (const LiveAc& ac : g_liveAcs) {
        if (lf_isParkedActive(ac))
            gf_setNavLights(ac.objectId, on ? 1 : 0);
    }
}
