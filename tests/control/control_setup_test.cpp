#include <gtest/gtest.h>

#include <algorithm>

#include "control/control_setup.h"
#include "foundation/settings_catalogue.h"
#include "foundation/settings_fixture.h"

namespace {

class ControlSetup : public settingstest::SettingsTest {
protected:
    ControlSetup() { gf_setControlBridge(&bridge_); }

    // The last enable call for a control: 1, 0, or -1 when it was not touched.
    int enabled(const GuiControl& c) const
    {
        int state = -1;
        for (const std::string& call : bridge_.calls()) {
            if (call == fmt::format("enable {} 1", c.controlId))
                state = 1;
            else if (call == fmt::format("enable {} 0", c.controlId))
                state = 0;
        }
        return state;
    }
    bool called(const std::string& call) const
    {
        const auto calls = bridge_.calls();
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }

    settingstest::RecordingBridge bridge_;
};

} // namespace

TEST_F(ControlSetup, EnablesTheSettingsAndDisablesWhatTheRunEnablesLater)
{
    gf_fillComboBoxes();
    using Controls = std::initializer_list<const GuiControl*>;
    for (const GuiControl* c : Controls{&ALWAYS_ON_TOP, &SCAN_LIVERIES, &MATCHING_DEPTH, &AUTO_RANGE, &AR_ABOVE_HEIGHT,
                                        &BLOCK_CALLSIGN, &MAX_PARK_SEL, &AIRP_HEIGHT, &WEEK, &INITIAL_LOAD_ONLY})
        EXPECT_EQ(enabled(*c), 1) << c->controlId;
    for (const GuiControl* c : Controls{&g_tbloButton, &RANGE, &g_blockButton, &g_unblockButton, &g_nowButton,
                                        &g_csOidButton, &CALLSIGN_2_OBJECTID, &DESTINATION, &g_rereadButton,
                                        &parking_percentage, &MAX_FIT_FL, &g_flushStaticButton})
        EXPECT_EQ(enabled(*c), 0) << c->controlId;
    EXPECT_TRUE(g_nowButtonAllowed);
}

TEST_F(ControlSetup, FillsTheListsAndSelectsTheirValues)
{
    RANGE.value = 65;
    MAX_LIVE_SEL.value = 7; // not among the values: no selection
    gf_fillComboBoxes();
    EXPECT_TRUE(called("fill 32808 [1,2,3,4]"));
    EXPECT_TRUE(called("select 32808 3"));
    EXPECT_TRUE(called("fill 32818 [2,3,4,5,6,8,10,12,14,16,18,20,25,30,35,40,50,65,80,100]"));
    EXPECT_TRUE(called("select 32818 17"));
    EXPECT_TRUE(called("fill 32849 [0,10,25,50,75,100,500]"));
    for (const std::string& call : bridge_.calls())
        EXPECT_NE(call.rfind("select 32849", 0), 0u) << call;
    EXPECT_TRUE(called("fill 32854 [0.5,1.0,1.5,2.0,2.5,3.0,3.5,4.0,4.5,5.0,6.0,7.0,8.0,9.0,10.0,12.0,15.0,18.0,21.0,24.0]"));
    EXPECT_TRUE(called("select 32854 19"));
}

TEST_F(ControlSetup, EveryRunStartsTheParkingShareAt30)
{
    parking_percentage.value = 75;
    gf_fillComboBoxes();
    EXPECT_EQ(parking_percentage.value, 30);
    EXPECT_TRUE(called("select 32850 6"));
}

TEST_F(ControlSetup, AutoRangeChoosesWhichRangeListIsEnabled)
{
    AUTO_RANGE.value = false;
    gf_fillComboBoxes();
    EXPECT_EQ(enabled(RANGE), 1);
    EXPECT_EQ(enabled(AR_ABOVE_HEIGHT), 0);
}

TEST_F(ControlSetup, ABlockedCallsignEnablesUnblockAndInitialLoadOnlyLeavesNowAlone)
{
    BLOCK_CALLSIGN.setValue("KLM123");
    INITIAL_LOAD_ONLY.value = true;
    gf_fillComboBoxes();
    EXPECT_EQ(enabled(g_unblockButton), 1);
    EXPECT_EQ(enabled(g_nowButton), -1);
}
