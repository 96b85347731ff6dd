#include "parking/park_settings.h"

#include <algorithm>
#include <optional>

#include "foundation/parameters_file.h"
#include "foundation/settings_catalogue.h"
#include "ui/control_ops.h"
#include "ui/window_bridge.h"

namespace {

struct ParkSettings {
    int32_t maxLiveSel = 0;
    int32_t maxFit = 0;
    int32_t parkingPercentage = 0;
    int32_t range = 0;
    bool autoRange = false;
    bool initialLoadOnly = false;
    bool parkSoft = false;
    bool week = false;
};

std::optional<ParkSettings> g_snapshot;

template <typename P>
int32_t lf_limited(const P& p, int32_t value)
{
    return std::clamp(value, p.minValue, p.maxValue);
}

void lf_restoreCheckBox(CheckBoxParameter& box, bool value)
{
    box.value = value;
    gf_storeBoolParameter(box);
    gf_controlSetCheckMark(box, value);
}

} // namespace

void gf_takeParkSettingsSnapshot()
{
    g_snapshot = ParkSettings{MAX_LIVE_SEL.value, MAX_FIT.value,     parking_percentage.value, RANGE.value,
                              AUTO_RANGE.value,   INITIAL_LOAD_ONLY.value, PARK_SOFT.value,   WEEK.value};
}

void gf_restoreParkSettingsSnapshot()
{
    if (!g_snapshot)
        return;
    const ParkSettings s = *g_snapshot;
    g_snapshot.reset();
    MAX_LIVE_SEL.value = lf_limited(MAX_LIVE_SEL, s.maxLiveSel);
    gf_storeIntParameter(MAX_LIVE_SEL);
    gf_setIntControlText(MAX_LIVE_SEL);
    MAX_FIT.value = lf_limited(MAX_FIT, s.maxFit);
    gf_storeIntParameter(MAX_FIT);
    gf_selectComboFloat();
    gf_selectComboInt(lf_limited(RANGE, s.range));
    gf_storeIntParameter(RANGE);
    // Every run sets the share of stands anew: it is shown, not stored.
    parking_percentage.value = lf_limited(parking_percentage, s.parkingPercentage);
    gf_setIntControlText(parking_percentage);
    lf_restoreCheckBox(AUTO_RANGE, s.autoRange);
    gf_controlEnable(RANGE, !s.autoRange);
    gf_controlEnable(AR_ABOVE_HEIGHT, s.autoRange);
    lf_restoreCheckBox(INITIAL_LOAD_ONLY, s.initialLoadOnly);
    lf_restoreCheckBox(PARK_SOFT, s.parkSoft);
    lf_restoreCheckBox(WEEK, s.week);
}
