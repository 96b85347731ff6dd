// What the worker asks of the window through its narrow interface, against a recording
// bridge: the message line, the counters, the range list, the controls a run sets up and
// a static-parking update locks, the stored window position. The real window carries
// them out in main_window_win_test and commands_win_test.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "control/setting_controls.h"
#include "foundation/settings_catalogue.h"
#include "foundation/settings_fixture.h"
#include "foundation/stop_state.h"
#include "ui/control_ops.h"
#include "ui/messages.h"
#include "ui/shown_text.h"
#include "ui/window_position.h"
#include "ui/window_services.h"
#include "ui/window_state.h"

namespace settingstest {
namespace {

using uitest::shown;

class WindowInterface : public SettingsTest {
protected:
    WindowInterface()
    {
        gf_resetWindowState();
        gf_setControlBridge(&bridge_);
    }
    ~WindowInterface() override
    {
        gf_setInvalidateFunction(nullptr);
        gf_resetWindowState();
    }
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
                state = call == fmt::format("enable {} {}", c.controlId, on) ? on : state;
        return state;
    }
    RecordingBridge bridge_;
};

TEST_F(WindowInterface, AnErrorHoldsOffMessagesUntilClearedAndNothingIsLoggedOnceAStopIsPending)
{
    gf_showMessage("before", true);
    gf_showError("something broke");
    gf_showMessage("refused", true);
    EXPECT_EQ(shown(&WindowState::messageText), "");
    EXPECT_EQ(shown(&WindowState::errorText), "something broke");
    gf_clearError();
    EXPECT_EQ(shown(&WindowState::messageText), ""); // the earlier message is gone for good
    gf_showMessage("not logged", false);
    EXPECT_EQ(shown(&WindowState::messageText), "not logged");

    gf_requestClosingDown(CloseReason::ReaderError, 15);
    gf_showMessage("closing step", true);
    EXPECT_EQ(shown(&WindowState::messageText), "closing step");
    gf_showError("late error");
    const std::string text = log_.text();
    EXPECT_NE(text.find("\nbefore\nError something broke\n"), std::string::npos) << text;
    for (const char* silent : {"refused", "not logged", "closing step", "late error"})
        EXPECT_EQ(text.find(silent), std::string::npos) << silent;
}

TEST_F(WindowInterface, TheCountersRepaintOnlyTheBandWhoseCountChanged)
{
    static std::vector<int> tops;
    tops.clear();
    gf_setInvalidateFunction([](const ScreenRect& band) { tops.push_back(band.top); });
    WindowState& ws = gf_windowState();
    ws.liveInSim = 3; // shown before the aircraft went; the engine now counts none
    gf_refreshTrafficCounts();
    ws.parkedLive = 2;
    gf_refreshTrafficCounts();
    gf_refreshTrafficCounts();
    // Connection block at 28, status panel at 392; the averages go from "none" to 0 once.
    EXPECT_EQ(tops, (std::vector<int>{392, 392, 28, 392}));
    EXPECT_EQ(ws.liveInSim + ws.parkedLive + ws.staticAircraft, 0u);

    // The text setters repaint the controls band.
    tops.clear();
    RANGE.value = 65;
    gf_setIntControlText(RANGE);
    DESTINATION.setValue("EHAM");
    gf_setControlText(DESTINATION);
    EXPECT_EQ(bridge_.calls(), (std::vector<std::string>{"text 32818 65", "text 32839 EHAM"}));
    EXPECT_EQ(tops, (std::vector<int>{112, 112}));
}

TEST_F(WindowInterface, TheRangeListShowsTheClampedRangeWhileTheRadiusKeepsTheGivenOneAndNeverWraps)
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

// With the default settings, what the set-up leaves in each control is checked on the
// real window (main_window_win_test).
TEST_F(WindowInterface, TheRunsSetUpSelectsValuesOrNothingAndEnablesByAutoRangeBlockedCallsignAndInitialLoad)
{
    RANGE.value = 65;
    MAX_LIVE_SEL.value = 7; // not among the values
    parking_percentage.value = 75;
    AUTO_RANGE.value = false;
    BLOCK_CALLSIGN.setValue("KLM123");
    INITIAL_LOAD_ONLY.value = true;
    lf_fillComboBoxes();
    EXPECT_TRUE(called("select 32818 17"));
    EXPECT_TRUE(called("fill 32849 [0,10,25,50,75,100,500]"));
    for (const std::string& call : bridge_.calls())
        EXPECT_NE(call.rfind("select 32849", 0), 0u) << call;
    EXPECT_EQ(parking_percentage.value, 30); // every run starts the parking share at 30
    EXPECT_TRUE(called("select 32850 6"));
    EXPECT_EQ((std::array{enabled(parking_percentage), enabled(RANGE), enabled(AR_ABOVE_HEIGHT),
                          enabled(g_unblockButton), enabled(g_nowButton)}),
              (std::array{0, 1, 0, 1, -1})); // "Now" is left as it was
}

TEST_F(WindowInterface, AStaticParkingUpdateLocksTheParkingSettingsAndItsEndUnlocksThem)
{
    const GuiControl* locked[] = {&parking_percentage, &WEEK,        &PARK_SOFT,           &MAX_FIT_FL,    &MAX_PARK_SEL,
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

// Opening at a stored position on no monitor, and the store at the close, are checked on
// the real window (main_window_win_test).
TEST_F(WindowInterface, OnlyThePositionIsRestoredAndACoordinateAtALimitOrFromAMinimisedWindowIsReplaced)
{
    gf_restoreWindowPosition();
    EXPECT_FALSE(std::filesystem::exists(file())); // nothing to read, nothing written
    tavtest::writeFile(file(), parametersXml(element("MAIN_WINDOW_X", "-40000") + element("MAIN_WINDOW_Y", "333") +
                                             element("RANGE", "5")));
    gf_restoreWindowPosition();
    EXPECT_EQ(fmt::format("{},{} {}", MAIN_WINDOW_X.value.load(), MAIN_WINDOW_Y.value.load(), RANGE.value.load()),
              "400,333 40");
    EXPECT_EQ(storedValue("MAIN_WINDOW_X") + " " + storedValue("RANGE"), "400 5");

    MAIN_WINDOW_X.value = 120;
    MAIN_WINDOW_Y.value = 50;
    const struct {
        int64_t left, top;
        const char* stored;
    } closes[] = {{-32000, 640, "120,640"}, {300, 5000000000LL, "300,640"}, {-100, 29999, "-100,29999"}};
    for (const auto& c : closes) {
        gf_storeWindowPosition(c.left, c.top);
        EXPECT_EQ(storedValue("MAIN_WINDOW_X") + "," + storedValue("MAIN_WINDOW_Y"), c.stored) << c.left;
        EXPECT_EQ(fmt::format("{},{}", MAIN_WINDOW_X.value.load(), MAIN_WINDOW_Y.value.load()), c.stored);
    }
}

} // namespace
} // namespace settingstest
