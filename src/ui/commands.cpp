#include "ui/commands_internal.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include <fmt/format.h>

#include "control/service_state.h"
#include "control/setting_controls.h"
#include "foundation/file_helpers.h"
#include "foundation/folders.h"
#include "foundation/parameters_file.h"
#include "foundation/settings_catalogue.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"
#include "foundation/version.h"
#include "parking/airports.h"
#include "parking/park_airport_file.h"
#include "ui/control_ops.h"
#include "ui/messages.h"
#include "ui/window_bridge.h"
#include "ui/window_services.h"
#include "ui/window_state.h"

namespace fs = std::filesystem;

namespace {

// A scan check box restarts the service after this many seconds, an install path after 3.
constexpr int32_t kScanRestartSeconds = 2;
constexpr int32_t kInstallPathRestartSeconds = 3;

// The message line after a check box was switched on and off; an empty text clears it.
struct SwitchTexts {
    const CheckBoxParameter* box;
    std::string on;
    std::string off;
};

const std::vector<SwitchTexts>& lf_switchTexts()
{
    static const std::vector<SwitchTexts> texts{
        {&LIG_PRIORITIZE, "Liveries, for airl+model, in lower lfolders that are already available will be skipped", ""},
        {&COLLISION_LIVE_PARKED_GND, "",
         "Be aware, live aircraft may collide with (run through) static parked on the ground"},
        {&COLLISION_USER_GND, "",
         "Be aware, user aircraft may collide with (run through) live aircraft and static parked on the ground"},
        {&COLLISION_USER_AIR, "", "Be aware, user aircraft may collide with (run through) live aircraft in the air"},
        {&INITIAL_LOAD_ONLY,
         fmt::format("Initial Load Only: static parked aircraft are generated once, no renewal every {} minutes",
                     g_staticRenewalPeriodMinutes),
         ""},
        {&ALWAYS_ON_TOP, fmt::format("{}'s window will remain visible", g_programName), ""},
        {&GUID_CHANGES, "", "Be aware, no more livery updates: you miss correct data for Learn, LittleNavMap, etc!"},
        {&AEROWINX, fmt::format("Note: This mode is for Aerowinx PSX users only, please re-start {}", g_programName),
         ""},
        {&AIRBORNE_ONLY, "Be aware, airborne live traffic only!  (greater than 300 ft above ground ...)", ""},
    };
    return texts;
}

CheckBoxParameter* lf_checkBox(uint16_t id)
{
    const auto it = std::find_if(g_boolParams.begin(), g_boolParams.end(),
                                 [id](const CheckBoxParameter* box) { return box->controlId == id; });
    return it != g_boolParams.end() ? *it : nullptr;
}

void lf_showSwitch(const CheckBoxParameter& box, bool on)
{
    for (const SwitchTexts& texts : lf_switchTexts()) {
        if (texts.box == &box)
            gf_showMessage(on ? texts.on : texts.off, false);
    }
}

// During the start-up the service restarts at once and scans; later the scan waits for
// the next start. The livery tables are rebuilt by the next start-up on the worker.
void lf_scanAsked(const CheckBoxParameter& box, bool on)
{
    if (!on) {
        gf_clearMessage();
        return;
    }
    const bool liveries = &box == &SCAN_LIVERIES;
    const std::string_view what = liveries ? "liveries" : "airports";
    if (!g_startUpPhase) {
        gf_showMessage(fmt::format("Your {} will be scanned at the next start of {}", what, g_programName), false);
        return;
    }
    if (liveries)
        g_liveryRebuildRequested = true;
    gf_showMessage(fmt::format("Your {} will be scanned", what), true);
    gf_requestClosingDown(CloseReason::NewSettings, kScanRestartSeconds);
}

// The list value at the index, clamped and stored; false for an index outside the list.
bool lf_storeListChoice(ListParameter& list, int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= list.values.size())
        return false;
    list.value = std::clamp(list.values[static_cast<size_t>(index)], list.minValue, list.maxValue);
    // The share of stands is set anew by every run and never kept in parameters.xml.
    if (&list != &parking_percentage)
        gf_storeIntParameter(list);
    return true;
}

// MAX_FIT counts half hours less one: 0.5 hours is 0, 24 hours 47.
void lf_storeFitHours(int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= MAX_FIT_FL.values.size())
        return;
    const float hours = MAX_FIT_FL.values[static_cast<size_t>(index)];
    MAX_FIT_FL.value = hours;
    const long long steps = std::llround(2.0 * hours) - 1;
    if (steps < INT32_MIN || steps > INT32_MAX)
        throw std::range_error(fmt::format("narrowing error: {} half hours", steps));
    MAX_FIT.value = std::clamp(static_cast<int32_t>(steps), MAX_FIT.minValue, MAX_FIT.maxValue);
    gf_storeIntParameter(MAX_FIT);
}

void lf_chooseCallsign(std::string_view text)
{
    if (text == CALLSIGN_2_OBJECTID.value())
        return;
    CALLSIGN_2_OBJECTID.setValue(std::string(text));
    gf_invalidateBand(g_controlsBand);
    g_callsignListRebuilt = true;
    gf_controlEnable(g_blockButton, BLOCK_CALLSIGN.value().empty());
}

void lf_nowPressed()
{
    if (!g_parkFileLoaded)
        return;
    if (INITIAL_LOAD_ONLY.value) {
        gf_clearMessage();
        return;
    }
    gf_announceStaticParkingUpdate();
    g_staticRenewalMinutes = g_staticRenewalPeriodMinutes;
    gf_windowState().staticCountdownMinutes = g_staticRenewalPeriodMinutes;
    gf_invalidateBand(g_controlsBand);
}

} // namespace

bool lf_onButton(uint16_t id)
{
    if (id == g_unblockButton.controlId) {
        if (!BLOCK_CALLSIGN.value().empty())
            lf_unblockCallsign();
        else
            gf_showMessage("Nothing to block or unblock...", false);
        gf_controlEnable(g_blockButton, !CALLSIGN_2_OBJECTID.value().empty());
    } else if (id == g_csOidButton.controlId) {
        g_callsignListRequested = true;
        gf_controlEnable(g_blockButton, false);
    } else if (id == g_blockButton.controlId) {
        // An empty choice blocks nothing (the button is disabled then anyway).
        if (const std::string callsign = CALLSIGN_2_OBJECTID.value(); !callsign.empty())
            lf_blockCallsign(callsign);
        gf_setCallsignList();
        gf_controlEnable(g_blockButton, false);
    } else if (id == g_rereadButton.controlId) {
        g_rereadRequested = true;
        gf_controlEnable(g_rereadButton, false);
        gf_controlEnable(DESTINATION, false);
    } else if (id == g_flushStaticButton.controlId) {
        gf_showMessage("All static parked aircraft will be removed ...", false);
        g_flushStaticRequested = true;
        gf_controlEnable(g_flushStaticButton, false);
    } else if (id == g_tbloButton.controlId) {
        if (gf_openInExplorer(gf_paths().tblo / gf_paths().tbloZip))
            return true;
        gf_showWarningBox("Could not open File Explorer at tblo.zip.");
        return false;
    } else if (id == g_nowButton.controlId) {
        lf_nowPressed();
    } else {
        return false;
    }
    return true;
}

bool lf_onCheckBox(uint16_t id)
{
    CheckBoxParameter* box = lf_checkBox(id);
    if (box == nullptr)
        return false;
    const bool on = !box->value;
    gf_setCheckBox(*box, on);
    if (box == &SCAN_LIVERIES || box == &SCAN_AIRPORTS) {
        lf_scanAsked(*box, on);
    } else if (box == &AUTO_RANGE) {
        gf_controlEnable(AR_ABOVE_HEIGHT, on);
        gf_updateRangeControls();
    } else if (box == &NAV_LIGHTS_WHILE_PARKED) {
        g_navLightsRequested = true;
        return false;
    } else {
        lf_showSwitch(*box, on);
    }
    if (box == &INITIAL_LOAD_ONLY)
        gf_controlEnable(g_nowButton, !on && g_nowButtonAllowed);
    if (box == &ALWAYS_ON_TOP)
        gf_setWindowTopmost(on);
    return true;
}

bool lf_onListSelection(uint16_t id, int32_t index, std::string_view text)
{
    if (id == CALLSIGN_2_OBJECTID.controlId) {
        lf_chooseCallsign(text);
        return true;
    }
    for (ListParameter* list :
         {&MATCHING_DEPTH, &MAX_PARK_SEL, &parking_percentage, &RANGE, &AIRP_RANGE, &AR_ABOVE_HEIGHT, &AIRP_HEIGHT}) {
        if (id != list->controlId)
            continue;
        if (lf_storeListChoice(*list, index) && list == &RANGE)
            gf_selectComboInt(RANGE.value);
        if (list == &MAX_PARK_SEL)
            gf_invalidateBand(g_controlsBand); // both maxima's labels take their colour from it
        return true;
    }
    if (id == MAX_FIT_FL.controlId) {
        lf_storeFitHours(index);
        return true;
    }
    if (id == MAX_LIVE_SEL.controlId) {
        // The worker removes the surplus, farthest first: the live aircraft are its own.
        if (lf_storeListChoice(MAX_LIVE_SEL, index))
            g_liveSurplusRequested = true;
        gf_invalidateBand(g_controlsBand);
        return true;
    }
    return false;
}

void lf_onInstallPathEntered(std::string_view text)
{
    gf_clearError();
    gf_clearMessage();
    if (text.empty()) {
        if (!SIM_INSTALL_PATH.value().empty())
            gf_setParameterValue(SIM_INSTALL_PATH, {});
        return;
    }
    std::error_code ec;
    const fs::file_status status = fs::status(gf_pathFromUtf8(text), ec);
    if (ec && status.type() != fs::file_type::not_found) {
        gf_showMessage(fmt::format("The install path cannot be checked: {} ({})", text, ec.message()), true);
        return;
    }
    if (!fs::exists(status)) {
        gf_showMessage(fmt::format("This install path does not exist: {}", text), true);
        return;
    }
    gf_setParameterValue(SIM_INSTALL_PATH, std::string(text));
    gf_showMessage(fmt::format("Install path exists, {} will restart", g_programName), true);
    gf_requestClosingDown(CloseReason::NewSettings, kInstallPathRestartSeconds);
}

void lf_onBlockCallsignEntered(std::string_view text)
{
    gf_clearMessage();
    if (text.empty()) {
        lf_unblockCallsign();
        return;
    }
    if (text.size() < 4 || text.size() > 8) {
        gf_showMessage(fmt::format("callsign '{}' is not valid", text), true);
        return;
    }
    const std::string callsign = gf_toUpperAscii(std::string(text));
    if (callsign == BLOCK_CALLSIGN.value()) {
        gf_showMessage(fmt::format("callsign '{}' was already set ...", callsign), true);
        gf_setControlText(BLOCK_CALLSIGN);
        return;
    }
    if (callsign == CALLSIGN_2_OBJECTID.value())
        gf_setCallsignList();
    lf_blockCallsign(callsign);
}

void lf_onDestinationEntered(std::string_view text)
{
    gf_clearMessage();
    if (text.empty()) {
        DESTINATION.setValue({});
        gf_controlEnable(g_rereadButton, true);
        gf_showMessage("destination set to empty", true);
        return;
    }
    std::string answer;
    if (text.size() != 4) {
        answer = fmt::format("destination '{}' is not valid", text);
    } else {
        const std::string code = gf_toUpperAscii(std::string(text));
        if (code == DESTINATION.value()) {
            answer = fmt::format("destination '{}' was already set ...", code);
        } else if (const Airport* airport = gf_findAirport(code)) {
            gf_setDestination(code, GeoPos{airport->lat, airport->lon});
            return;
        } else {
            answer = fmt::format("destination '{}' is unknown ...", code);
        }
    }
    gf_showMessage(answer, true);
    gf_setControlText(DESTINATION);
}

void lf_blockCallsign(std::string callsign)
{
    gf_setParameterValue(BLOCK_CALLSIGN, std::move(callsign));
    gf_setControlText(BLOCK_CALLSIGN);
    gf_controlEnable(g_unblockButton, true);
    g_blockRequested = true;
}

void lf_unblockCallsign()
{
    const std::string blocked = BLOCK_CALLSIGN.value();
    if (blocked.empty())
        return;
    gf_setParameterValue(BLOCK_CALLSIGN, {});
    gf_setControlText(BLOCK_CALLSIGN);
    gf_controlEnable(g_unblockButton, false);
    gf_showMessage(fmt::format("no more blocking of live aircraft '{}'", blocked), true);
    g_blockRequested = true;
}
