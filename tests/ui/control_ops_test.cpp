#include <gtest/gtest.h>

#include <algorithm>

#include "foundation/settings_catalogue.h"
#include "foundation/settings_fixture.h"
#include "ui/control_ops.h"

namespace {

class ControlOps : public settingstest::SettingsTest {
protected:
    ControlOps() { gf_setControlBridge(&bridge_); }
    ~ControlOps() override
    {
        std::lock_guard lock(g_callsignChoices->mutex);
        g_callsignChoices->texts.assign(1, std::string());
    }
    std::vector<std::string> calls() const { return bridge_.calls(); }
    settingstest::RecordingBridge bridge_;
};

} // namespace

TEST_F(ControlOps, ARangeBetweenTheListValuesSelectsNothing)
{
    EXPECT_EQ(gf_selectComboInt(7), 12964);
    EXPECT_EQ(RANGE.value, 7);
    EXPECT_EQ(g_rangeNm, 7.0);
    EXPECT_EQ(g_rangeMetres, 12964);
    EXPECT_TRUE(calls().empty());
}

TEST_F(ControlOps, ARangeAboveTheLimitSelectsTheLastEntryButKeepsTheGivenRange)
{
    EXPECT_EQ(gf_selectComboInt(150), 277800);
    EXPECT_EQ(RANGE.value, 100);
    EXPECT_EQ(g_rangeNm, 150.0);
    EXPECT_EQ(calls(), std::vector<std::string>{"select 32818 19"});
    EXPECT_EQ(gf_selectComboInt(-5), 0); // never a wrapped-around radius
    EXPECT_EQ(RANGE.value, 2);
    EXPECT_FALSE(std::filesystem::exists(file())); // the range is not stored
}

TEST_F(ControlOps, SettingACheckBoxStoresItAndSetsTheMark)
{
    gf_setCheckBox(SCAN_AIRPORTS, false);
    EXPECT_FALSE(SCAN_AIRPORTS.value);
    EXPECT_EQ(storedValue("SCAN_AIRPORTS"), "false");
    EXPECT_EQ(calls().back(), "check 32802 0");
}

TEST_F(ControlOps, TheCallsignListGoesBackToOneEmptyText)
{
    {
        std::lock_guard lock(g_callsignChoices->mutex);
        g_callsignChoices->texts = {"AAL1", "KLM2"};
    }
    CALLSIGN_2_OBJECTID.setValue("KLM2");
    gf_setCallsignList();
    EXPECT_EQ(CALLSIGN_2_OBJECTID.value(), "");
    {
        std::lock_guard lock(g_callsignChoices->mutex);
        EXPECT_EQ(g_callsignChoices->texts, std::vector<std::string>{""});
    }
    EXPECT_EQ(calls(), (std::vector<std::string>{"fill 32831 []", "selecttext 32831 ", "enable 32831 0",
                                                 "enable 32832 0"}));
}
