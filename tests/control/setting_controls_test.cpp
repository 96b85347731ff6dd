// The run's set-up of the controls against a recording bridge. What the set-up leaves in
// each control with the default settings is checked on the real window (main_window_win_test).
#include <gtest/gtest.h>

#include <algorithm>

#include "control/setting_controls.h"
#include "foundation/settings_catalogue.h"
#include "foundation/settings_fixture.h"
#include "ui/window_state.h"

namespace {

class ControlSetup : public settingstest::SettingsTest {
protected:
    ControlSetup() { gf_setControlBridge(&bridge_); }

    bool called(std::string_view call) const
    {
        const auto calls = bridge_.calls();
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }
    // The last enable call for a control: 1, 0, or -1 when it was not touched.
    int enabled(const GuiControl& c) const
    {
        int state = -1;
        for (const std::string& call : bridge_.calls())
            for (int on : {0, 1})
                if (call == fmt::format("enable {} {}", c.controlId, on))
                    state = on;
        return state;
    }

    settingstest::RecordingBridge bridge_;
};

} // namespace

TEST_F(ControlSetup, ListsSelectTheirValueOrNothingAndEveryRunStartsTheParkingShareAt30)
{
    RANGE.value = 65;
    MAX_LIVE_SEL.value = 7; // not among the values
    parking_percentage.value = 75;
    lf_fillComboBoxes();
    EXPECT_TRUE(called("select 32818 17"));
    EXPECT_TRUE(called("fill 32849 [0,10,25,50,75,100,500]"));
    for (const std::string& call : bridge_.calls())
        EXPECT_NE(call.rfind("select 32849", 0), 0u) << call;
    EXPECT_EQ(parking_percentage.value, 30);
    EXPECT_TRUE(called("select 32850 6"));
    EXPECT_EQ(enabled(parking_percentage), 0);
}

TEST_F(ControlSetup, AStaticParkingUpdateLocksTheParkingSettingsAndItsEndUnlocksThem)
{
    const GuiControl* locked[] = {&parking_percentage, &WEEK,    &PARK_SOFT,          &MAX_FIT_FL,   &MAX_PARK_SEL,
                                  &MAX_LIVE_SEL,       &g_nowButton, &g_flushStaticButton, &g_rereadButton};
    // "Now" stays untouched while INITIAL_LOAD_ONLY is on (the first round).
    for (const bool initialLoadOnly : {true, false}) {
        INITIAL_LOAD_ONLY.value = initialLoadOnly;
        for (const bool lock : {true, false}) {
            lock ? gf_disableSettingControls() : gf_enableSettingControls();
            EXPECT_EQ(g_settingControlsDisabled, lock);
            for (const GuiControl* c : locked)
                EXPECT_EQ(enabled(*c), c == &g_nowButton && initialLoadOnly ? -1 : lock ? 0 : 1) << c->controlId;
        }
        EXPECT_EQ(gf_windowState().staticCountdownMinutes, 19);
    }
}

TEST_F(ControlSetup, AutoRangeABlockedCallsignAndInitialLoadOnlyChangeWhatIsEnabled)
{
    AUTO_RANGE.value = false;
    BLOCK_CALLSIGN.setValue("KLM123");
    INITIAL_LOAD_ONLY.value = true;
    lf_fillComboBoxes();
    EXPECT_EQ(enabled(RANGE), 1);
    EXPECT_EQ(enabled(AR_ABOVE_HEIGHT), 0);
    EXPECT_EQ(enabled(g_unblockButton), 1);
    EXPECT_EQ(enabled(g_nowButton), -1); // left as it was
}
