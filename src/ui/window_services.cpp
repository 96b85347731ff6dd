#include "ui/window_services.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "control/service_calls.h"
#include "control/service_state.h"
#include "control/setting_controls.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text.h"
#include "foundation/version.h"
#include "traffic/traffic_service.h"
#include "ui/control_ops.h"
#include "ui/messages.h"
#include "ui/window_bridge.h"
#include "ui/window_state.h"

void gf_refreshTrafficCounts()
{
    WindowState& ws = gf_windowState();
    const uint64_t parked = gf_countParkedLive(true);
    const uint64_t statics = gf_countStaticsInSim(true);
    const uint64_t live = gf_countLiveInSim();
    if (ws.liveInSim.exchange(live) != live)
        gf_invalidateBand(g_connectionBand);
    if (ws.staticAircraft != statics || ws.parkedLive != parked) {
        ws.staticAircraft = statics;
        ws.parkedLive = parked;
        gf_invalidateBand(g_statusPanelBand);
    }
}

bool gf_refreshCallsignList()
{
    std::vector<std::string> callsigns = gf_serviceCalls().liveInSimCallsigns();
    std::sort(callsigns.begin(), callsigns.end());
    const bool any = !callsigns.empty();
    CALLSIGN_2_OBJECTID.setValue(any ? callsigns.front() : std::string());
    {
        std::lock_guard lock(g_callsignChoices->mutex);
        g_callsignChoices->texts = std::move(callsigns);
    }
    gf_fillComboFromList(CALLSIGN_2_OBJECTID);
    gf_controlEnable(CALLSIGN_2_OBJECTID, any);
    // "Unblock" is enabled exactly while a callsign is blocked.
    gf_controlEnable(g_blockButton, any && BLOCK_CALLSIGN.value().empty());
    return any;
}

// The park airports belong to the worker: the destination joins them at its next cycle.
void gf_setDestination(std::string_view code, GeoPos position)
{
    gf_setParameterValue(DESTINATION, std::string(code));
    gf_setControlText(DESTINATION);
    gf_showMessage(fmt::format("New destination: {}", code), true);
    gf_requestParkAirport(std::string(code), position);
    gf_controlEnable(g_rereadButton, false);
}

bool gf_announceStaticParkingUpdate()
{
    gf_disableSettingControls();
    const int32_t n = g_cycleCount;
    const int32_t seconds = (n / 15 + 1) * 15 - n;
    if (seconds > 0)
        gf_showMessage(fmt::format("{} will update static parking in {} second{} ...", g_programName, seconds,
                                   gf_plural(seconds)),
                       false);
    return g_staticUpdateRequested.exchange(true);
}
