// Stop-gap until the window's counters and commands land: there are no aircraft to
// count or list.
#include "ui/window_services.h"

#include <fmt/format.h>

#include "control/service_state.h"
#include "control/setting_controls.h"
#include "foundation/settings_catalogue.h"
#include "ui/control_ops.h"
#include "ui/messages.h"
#include "ui/window_state.h"

void gf_refreshTrafficCounts() {}

bool gf_refreshCallsignList()
{
    gf_setCallsignList();
    return false;
}

// Without park airports the destination is only stored and shown.
void gf_setDestination(std::string_view code, GeoPos)
{
    gf_setParameterValue(DESTINATION, std::string(code));
    gf_setControlText(DESTINATION);
    gf_showMessage(fmt::format("New destination: {}", code), true);
}

bool gf_announceStaticParkingUpdate()
{
    gf_disableSettingControls();
    return g_staticUpdateRequested.exchange(true);
}
