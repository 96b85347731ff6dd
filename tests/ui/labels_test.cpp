#include <gtest/gtest.h>

#include "foundation/settings_catalogue.h"
#include "foundation/settings_fixture.h"
#include "ui/labels.h"
#include "ui/window_state.h"

namespace {

class Labels : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset()
    {
        settingstest::resetSettings();
        WindowState& ws = gf_windowState();
        ws.tbloWritten = false;
        ws.settingControlsDisabled = false;
        ws.parkFileLoaded = false;
        ws.staticCountdownMinutes = 0;
    }

    static std::optional<Colour> colourOf(const std::vector<PaintOp>& ops, const std::string& text, int x)
    {
        for (const PaintOp& op : ops)
            if (op.text == text && op.x == x)
                return op.colour;
        return std::nullopt;
    }
    static const PaintOp* at(const std::vector<PaintOp>& ops, int x, int y)
    {
        for (const PaintOp& op : ops)
            if (op.x == x && op.y == y)
                return &op;
        return nullptr;
    }
};

} // namespace

TEST_F(Labels, SettingsThatAreOnOrOffColourTheirLabels)
{
    std::vector<PaintOp> ops = gf_planLabels({});
    EXPECT_EQ(colourOf(ops, "Scan for liveries", 25), g_colourYellow); // on by default
    EXPECT_EQ(colourOf(ops, "Scan for addon airports", 25), g_colourYellow);
    EXPECT_EQ(colourOf(ops, "Aerowinx", 672), g_colourBlack);
    EXPECT_EQ(colourOf(ops, "GUID changes", 768), g_colourBlack);
    EXPECT_EQ(colourOf(ops, "Ah:", 430), g_colourBlack); // auto range on
    EXPECT_EQ(colourOf(ops, "Straight push backs only", 672), g_colourGrey);
    EXPECT_EQ(colourOf(ops, "ILO", 25), g_colourBlack);

    SCAN_LIVERIES.value = false;
    AEROWINX.value = true;
    GUID_CHANGES.value = false;
    AUTO_RANGE.value = false;
    STRAIGHT_PBS_ONLY.value = true;
    INITIAL_LOAD_ONLY.value = true;
    AIRBORNE_ONLY.value = true;
    ops = gf_planLabels({false, true, false});
    EXPECT_EQ(colourOf(ops, "Scan for liveries", 25), g_colourBlack);
    EXPECT_EQ(colourOf(ops, "Aerowinx", 672), g_colourYellow);
    EXPECT_EQ(colourOf(ops, "GUID changes", 768), g_colourYellow);
    EXPECT_EQ(colourOf(ops, "Ah:", 430), g_colourGrey);
    EXPECT_EQ(colourOf(ops, "ft", 536), g_colourGrey);
    EXPECT_EQ(colourOf(ops, "ft", 646), g_colourBlack);
    EXPECT_EQ(colourOf(ops, "Straight push backs only", 672), g_colourBlack);
    EXPECT_EQ(colourOf(ops, "ILO", 25), g_colourYellow);
    EXPECT_EQ(colourOf(ops, "AirOnly", 592), g_colourYellow);
    EXPECT_EQ(colourOf(ops, "Light aircraft", 343), g_colourGrey);
    EXPECT_EQ(colourOf(ops, "Helicopters", 450), g_colourBlack);
    EXPECT_EQ(colourOf(ops, "FighterJets", 556), g_colourGrey);
}

TEST_F(Labels, TheMaximumCountsWarnWhenZero)
{
    MAX_PARK_SEL.value = 0;
    std::vector<PaintOp> ops = gf_planLabels({});
    EXPECT_EQ(colourOf(ops, "Max park (static+live):", 171), g_colourYellow);
    EXPECT_EQ(colourOf(ops, "Max live (park incl):", 401), g_colourBlack);
    MAX_LIVE_SEL.value = 0;
    ops = gf_planLabels({});
    EXPECT_EQ(colourOf(ops, "Max park (static+live):", 171), g_colourRed);
    EXPECT_EQ(colourOf(ops, "Max live (park incl):", 401), g_colourRed);
    MAX_PARK_SEL.value = 10;
    ops = gf_planLabels({});
    EXPECT_EQ(colourOf(ops, "Max park (static+live):", 171), g_colourBlack);
    EXPECT_EQ(colourOf(ops, "Max live (park incl):", 401), g_colourYellow);
}

TEST_F(Labels, TheMailRequestAndTheCountdownShowOnlyWhenTheirTimeHasCome)
{
    WindowState& ws = gf_windowState();
    EXPECT_EQ(at(gf_planLabels({}), 323, 175), nullptr);
    ws.tbloWritten = true;
    EXPECT_EQ(colourOf(gf_planLabels({}), g_tbloMailRequest, 323), g_colourRed);

    ws.staticCountdownMinutes = 12;
    EXPECT_EQ(at(gf_planLabels({}), 5, 343), nullptr); // no park file
    ws.parkFileLoaded = true;
    EXPECT_EQ(colourOf(gf_planLabels({}), "(next in 12 min)", 5), g_colourBlack);
    ws.staticCountdownMinutes = 20;
    EXPECT_EQ(at(gf_planLabels({}), 5, 343), nullptr);
    INITIAL_LOAD_ONLY.value = true;
    EXPECT_EQ(colourOf(gf_planLabels({}), "(no next ... )", 5), g_colourBlack);
    ws.settingControlsDisabled = true;
    const std::vector<PaintOp> locked = gf_planLabels({});
    EXPECT_EQ(at(locked, 5, 343), nullptr);
    EXPECT_EQ(colourOf(locked, "Airport parking", 5), g_colourYellow);
}
