#include "control/sim_link_events.h"

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "foundation/stop_state.h"
#include "foundation/time_text.h"
#include "foundation/user_error.h"

void gf_simDisconnected()
{
    if (gf_stopPending())
        return;
    gf_logLine("{} Flight Simulator no longer connected, {} will stop ...", gf_clockHms(), "Tavelorium_P3D");
    gf_requestClosingDown(CloseReason::SimWasClosed, 0);
}

std::string gf_simVersionFromInstallPath()
{
    const std::string path = SIM_INSTALL_PATH.value();
    if (path.find("v5") != std::string::npos || path.find("V5") != std::string::npos)
        return "5";
    if (path.find("v6") != std::string::npos || path.find("V6") != std::string::npos)
        return "6";
    if (P3D_VERSION.value.load() >= 5)
        return std::to_string(P3D_VERSION.value.load());
    throw tav::UserErrorException(
        77, fmt::format("P3D install path does not contain v5 or v6. Use hidden parameter {}, set it to 5 or 6.",
                        "P3D_VERSION"));
}
