#include <gtest/gtest.h>

#include <array>

#include "foundation/settings_catalogue.h"
#include "foundation/settings_fixture.h"
#include "ui/control_ops.h"
#include "ui/window_state.h"

namespace {

class ControlOps : public settingstest::SettingsTest {
protected:
    ControlOps() { gf_setControlBridge(&bridge_); }
    ~ControlOps() override
    {
        std::lock_guard lock(g_callsignChoices->mutex);
        g_callsignChoices->texts.assign(1, std::string());
    }
    settingstest::RecordingBridge bridge_;
};

} // namespace

TEST_F(ControlOps, TheRangeListShowsTheClampedRangeWhileTheRadiusKeepsTheGivenOneAndNeverWraps)
{
    struct Row {
        int32_t given, metres, listValue;
        std::vector<std::string> calls;
    };
    const Row rows[] = {
        {7, 12964, 7, {}}, // between the list values: nothing selected
        {150, 277800, 100, {"select 32818 19"}},
        {-5, 0, 2, {"select 32818 0"}},
    };
    for (const Row& row : rows) {
        const size_t before = bridge_.calls().size();
        EXPECT_EQ(gf_selectComboInt(row.given), row.metres) << row.given;
        EXPECT_EQ(RANGE.value, row.listValue) << row.given;
        EXPECT_EQ(g_rangeNm, row.given);
        EXPECT_EQ(g_rangeMetres, row.metres);
        const std::vector<std::string> calls = bridge_.calls();
        EXPECT_EQ(std::vector<std::string>(calls.begin() + static_cast<ptrdiff_t>(before), calls.end()), row.calls);
    }
    EXPECT_FALSE(std::filesystem::exists(file())); // the range is not stored
}

TEST_F(ControlOps, TheTextSettersShowTheValueAndRepaintTheControlsBand)
{
    static std::vector<ScreenRect> invalidated;
    invalidated.clear();
    gf_setInvalidateFunction([](const ScreenRect& band) { invalidated.push_back(band); });
    RANGE.value = 65;
    gf_setIntControlText(RANGE);
    DESTINATION.setValue("EHAM");
    gf_setControlText(DESTINATION);
    gf_setInvalidateFunction(nullptr);
    EXPECT_EQ(bridge_.calls(), (std::vector<std::string>{"text 32818 65", "text 32839 EHAM"}));
    ASSERT_EQ(invalidated.size(), 2u);
    for (const ScreenRect& band : invalidated)
        EXPECT_EQ((std::array{band.left, band.top, band.right, band.bottom}), (std::array{0, 112, 880, 392}));
}

TEST_F(ControlOps, SettingACheckBoxStoresItAndSetsTheMark)
{
    gf_setCheckBox(SCAN_AIRPORTS, false);
    EXPECT_FALSE(SCAN_AIRPORTS.value);
    EXPECT_EQ(storedValue("SCAN_AIRPORTS"), "false");
    EXPECT_EQ(bridge_.calls().back(), "check 32802 0");
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
    EXPECT_EQ(bridge_.calls(), (std::vector<std::string>{"fill 32831 []", "selecttext 32831 ", "enable 32831 0",
                                                         "enable 32832 0"}));
}
