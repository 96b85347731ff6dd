#include <gtest/gtest.h>

#include "foundation/settings_catalogue.h"
#include "foundation/settings_fixture.h"
#include "ui/paint_plan.h"
#include "ui/window_state.h"

namespace {

constexpr Colour Y = g_colourYellow, B = g_colourBlack, R = g_colourRed, Grey = g_colourGrey;

class Labels : public ::testing::Test {
protected:
    Labels() { reset(); }
    ~Labels() override { reset(); }
    static void reset()
    {
        settingstest::resetSettings();
        WindowState& ws = gf_windowState();
        ws.tbloWritten = false;
        ws.settingControlsDisabled = false;
        ws.parkFileLoaded = false;
        ws.staticCountdownMinutes = 0;
    }
    static std::optional<Colour> colour(const std::string& text, int x, const LabelInputs& in = {})
    {
        for (const PaintOp& op : gf_planPaint(PaintInput{}, in))
            if (op.text == text && op.x == x)
                return op.colour;
        return std::nullopt;
    }
    static std::string textAt(int x, int y)
    {
        for (const PaintOp& op : gf_planPaint(PaintInput{}, {}))
            if (op.x == x && op.y == y)
                return op.text;
        return "";
    }
};

} // namespace

TEST_F(Labels, SettingsThatAreOnOrOffColourTheirLabels)
{
    struct Row {
        const char* text;
        int x;
        Colour byDefault, changed;
    };
    const Row rows[] = {
        {"Scan for liveries", 25, Y, B},    {"Scan for addon airports", 25, Y, Y},
        {"Aerowinx", 672, B, Y},            {"GUID changes", 768, B, Y},
        {"Ah:", 430, B, Grey},              {"ft", 536, B, Grey},
        {"ft", 646, B, B},                  {"Straight push backs only", 672, Grey, B},
        {"ILO", 25, B, Y},                  {"AirOnly", 592, B, Y},
        {"Light aircraft", 343, B, Grey},   {"Helicopters", 450, B, B},
        {"FighterJets", 556, B, Grey},
    };
    for (const Row& row : rows)
        EXPECT_EQ(colour(row.text, row.x), row.byDefault) << row.text << " " << row.x;
    SCAN_LIVERIES.value = false;
    AEROWINX.value = true;
    GUID_CHANGES.value = false;
    AUTO_RANGE.value = false;
    STRAIGHT_PBS_ONLY.value = true;
    INITIAL_LOAD_ONLY.value = true;
    AIRBORNE_ONLY.value = true;
    for (const Row& row : rows)
        EXPECT_EQ(colour(row.text, row.x, {false, true, false}), row.changed) << row.text << " " << row.x;
}

TEST_F(Labels, TheMaximumCountsWarnWhenZero)
{
    struct Row {
        int32_t park, live;
        Colour parkColour, liveColour;
    };
    for (const Row& row : {Row{0, MAX_LIVE_SEL.defaultValue, Y, B}, Row{0, 0, R, R}, Row{10, 0, B, Y}}) {
        MAX_PARK_SEL.value = row.park;
        MAX_LIVE_SEL.value = row.live;
        EXPECT_EQ(colour("Max park (static+live):", 171), row.parkColour) << row.park << "/" << row.live;
        EXPECT_EQ(colour("Max live (park incl):", 401), row.liveColour) << row.park << "/" << row.live;
    }
}

TEST_F(Labels, TheMailRequestAndTheCountdownShowOnlyWhenTheirTimeHasCome)
{
    WindowState& ws = gf_windowState();
    EXPECT_EQ(textAt(323, 175), "");
    ws.tbloWritten = true;
    EXPECT_EQ(colour(g_tbloMailRequest, 323), R);

    ws.staticCountdownMinutes = 12;
    EXPECT_EQ(textAt(5, 343), ""); // no park file
    ws.parkFileLoaded = true;
    EXPECT_EQ(textAt(5, 343), "(next in 12 min)");
    ws.staticCountdownMinutes = 20;
    EXPECT_EQ(textAt(5, 343), "");
    INITIAL_LOAD_ONLY.value = true;
    EXPECT_EQ(textAt(5, 343), "(no next ... )");
    ws.settingControlsDisabled = true;
    EXPECT_EQ(textAt(5, 343), "");
    EXPECT_EQ(colour("Airport parking", 5), Y);
}
