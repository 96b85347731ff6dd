#include "ui/control_ops.h"

#include <algorithm>
#include <string>

#include "foundation/parameters_file.h"
#include "foundation/settings_catalogue.h"
#include "parking/static_parking.h"
#include "ui/window_bridge.h"
#include "ui/window_state.h"

void gf_enableControl(const GuiControl& control)
{
    gf_controlEnable(control, true);
}

void gf_setCheckBox(CheckBoxParameter& setting, bool value)
{
    setting.value = value;
    gf_storeBoolParameter(setting);
    gf_controlSetCheckMark(setting, value);
}

void gf_setIntControlText(const ListParameter& setting)
{
    gf_controlSetText(setting, std::to_string(setting.value.load()));
    gf_invalidateBand(g_controlsBand);
}

void gf_setControlText(const EditParameter& setting)
{
    gf_controlSetText(setting, setting.value());
    gf_invalidateBand(g_controlsBand);
}

int32_t gf_selectComboInt(int32_t rangeNm)
{
    const int32_t clamped = std::clamp(rangeNm, RANGE.minValue, RANGE.maxValue);
    RANGE.value = clamped;
    const auto it = std::find(RANGE.values.begin(), RANGE.values.end(), clamped);
    if (it != RANGE.values.end())
        gf_controlSelectComboIndex(RANGE, static_cast<int32_t>(it - RANGE.values.begin()));
    // A negative range from a damaged file must not wrap around to a huge radius.
    const int64_t metres = std::clamp<int64_t>(int64_t{rangeNm} * 1852, 0, INT32_MAX);
    g_rangeNm = static_cast<double>(rangeNm);
    g_rangeMetres = static_cast<int32_t>(metres);
    return static_cast<int32_t>(metres);
}

void gf_selectComboFloat()
{
    const float hours = gf_fitStepHours(MAX_FIT.value);
    MAX_FIT_FL.value = hours;
    const auto it = std::find(MAX_FIT_FL.values.begin(), MAX_FIT_FL.values.end(), hours);
    if (it != MAX_FIT_FL.values.end())
        gf_controlSelectComboIndex(MAX_FIT_FL, static_cast<int32_t>(it - MAX_FIT_FL.values.begin()));
}

void gf_setCallsignList()
{
    {
        std::lock_guard lock(g_callsignChoices->mutex);
        g_callsignChoices->texts.assign(1, std::string());
    }
    CALLSIGN_2_OBJECTID.setValue(std::string());
    gf_fillComboFromList(CALLSIGN_2_OBJECTID);
    gf_controlEnable(CALLSIGN_2_OBJECTID, false);
    gf_controlEnable(g_blockButton, false);
    gf_invalidateBand(g_controlsBand);
}
