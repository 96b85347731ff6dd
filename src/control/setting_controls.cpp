#include "control/setting_controls.h"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "control/auto_range.h"
#include "control/service_state.h"
#include "foundation/settings_catalogue.h"
#include "ui/control_ops.h"
#include "ui/messages.h"
#include "ui/window_bridge.h"
#include "ui/window_state.h"

std::atomic<bool>& g_settingControlsDisabled = gf_windowState().settingControlsDisabled;
std::atomic<bool> g_nowButtonAllowed{false};
std::atomic<int32_t> g_restartSavedRange{0};

namespace {

void lf_enable(const GuiControl& control, bool enabled = true)
{
    gf_controlEnable(control, enabled);
}

void lf_fillMaxFit()
{
    std::vector<std::string> texts;
    for (const float hours : MAX_FIT_FL.values)
        texts.push_back(fmt::format("{:.1f}", hours));
    gf_controlFillCombo(MAX_FIT_FL, texts);
    const auto it = std::find(MAX_FIT_FL.values.begin(), MAX_FIT_FL.values.end(), MAX_FIT_FL.value.load());
    if (it != MAX_FIT_FL.values.end())
        gf_controlSelectComboIndex(MAX_FIT_FL, static_cast<int32_t>(it - MAX_FIT_FL.values.begin()));
}

// The parking settings that an update locks, in the order they are locked.
void lf_enableParkingSettings(bool enabled)
{
    for (const GuiControl* control : std::initializer_list<const GuiControl*>{
             &parking_percentage, &WEEK, &PARK_SOFT, &MAX_FIT_FL, &MAX_PARK_SEL, &MAX_LIVE_SEL,
             &g_flushStaticButton})
        lf_enable(*control, enabled);
    if (!INITIAL_LOAD_ONLY.value)
        lf_enable(g_nowButton, enabled);
    lf_enable(g_rereadButton, enabled);
    g_nowButtonAllowed = true;
    gf_invalidateBand(g_controlsBand);
}

} // namespace

void lf_fillComboBoxes()
{
    for (const CheckBoxParameter* box :
         {&ALWAYS_ON_TOP, &NAV_LIGHTS_WHILE_PARKED, &GUID_CHANGES, &SCAN_LIVERIES, &LIG_PRIORITIZE, &SCAN_AIRPORTS})
        lf_enable(*box);
    lf_enable(g_tbloButton, false);
    lf_enable(MATCHING_DEPTH);
    gf_fillChoiceCombo(MATCHING_DEPTH);
    for (const CheckBoxParameter* box : {&LIGHT_AIRCRAFT, &HELICOPTERS, &HIGH_PERF_AIRCRAFT})
        lf_enable(*box);
    const bool autoRange = AUTO_RANGE.value;
    lf_enable(RANGE, !autoRange);
    gf_fillChoiceCombo(RANGE);
    lf_enable(AUTO_RANGE);
    lf_enable(AR_ABOVE_HEIGHT, autoRange);
    gf_fillChoiceCombo(AR_ABOVE_HEIGHT);
    for (const CheckBoxParameter* box : {&AIRBORNE_ONLY, &COLLISION_USER_GND, &COLLISION_USER_AIR,
                                         &COLLISION_LIVE_PARKED_GND})
        lf_enable(*box);
    lf_enable(g_blockButton, false);
    lf_enable(BLOCK_CALLSIGN);
    lf_enable(g_unblockButton, !BLOCK_CALLSIGN.value().empty());
    if (!INITIAL_LOAD_ONLY.value)
        lf_enable(g_nowButton, false);
    g_nowButtonAllowed = true;
    for (const ListParameter* list : {&MAX_PARK_SEL, &MAX_LIVE_SEL}) {
        lf_enable(*list);
        gf_fillChoiceCombo(*list);
    }
    lf_enable(STRAIGHT_PBS_ONLY);
    lf_enable(g_csOidButton, false);
    lf_enable(CALLSIGN_2_OBJECTID, false);
    g_simKind = 3;
    lf_enable(DESTINATION, false);
    for (const ListParameter* list : {&AIRP_RANGE, &AIRP_HEIGHT}) {
        lf_enable(*list);
        gf_fillChoiceCombo(*list);
    }
    lf_enable(g_rereadButton, false);
    // The share of stands is set anew for every run.
    parking_percentage.value = parking_percentage.defaultValue;
    gf_fillChoiceCombo(parking_percentage);
    lf_enable(parking_percentage, false);
    lf_fillMaxFit();
    gf_selectComboFloat();
    lf_enable(MAX_FIT_FL, false);
    lf_enable(WEEK);
    lf_enable(PARK_SOFT);
    lf_enable(g_flushStaticButton, false);
    lf_enable(INITIAL_LOAD_ONLY);
}

void gf_disableSettingControls()
{
    g_settingControlsDisabled = true;
    lf_enableParkingSettings(false);
}

void gf_enableSettingControls()
{
    g_settingControlsDisabled = false;
    gf_windowState().staticCountdownMinutes = 19;
    gf_invalidateBand(g_statusPanelBand);
    lf_enableParkingSettings(true);
}

void gf_updateRangeControls()
{
    // The window's check box and the learned-file reader of the worker both call this.
    static std::atomic<bool> first{true};
    if (first.exchange(false))
        g_restartSavedRange = RANGE.defaultValue;
    const bool autoRange = AUTO_RANGE.value;
    if (autoRange) {
        g_restartSavedRange = RANGE.value.load();
        lf_autoRange();
    } else {
        gf_selectComboInt(g_restartSavedRange);
        gf_clearMessage();
    }
    lf_enable(RANGE, !autoRange);
}
