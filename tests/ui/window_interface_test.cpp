// What the worker asks of the window that the window's own tests cannot see: what the
// message line takes and logs, which bands the counters and the text setters repaint,
// and how the stored window position is read and clamped. The controls a run sets up or
// locks are tested on the real window (main_window_win_test).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>
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

// The cycle's expiry of an old message and a new message from another thread at the same
// moment: the new one stays for its own cycles, whichever comes first.
TEST_F(WindowInterface, AMessageShownWhileAnOldOneExpiresStays)
{
    WindowState& ws = gf_windowState();
    int wiped = 0;
    for (int round = 0; round < 3000; ++round) {
        ws.cycleCounter = 1;
        gf_showMessage("old", false);
        ws.cycleCounter = 26;
        std::atomic<bool> go{false};
        std::thread expiry([&go] {
            while (!go.load()) {
            }
            gf_expireMessage();
        });
        go = true;
        // A varying head start lets the new message meet every step of the expiry.
        for (int spin = round % 64; spin > 0; --spin)
            std::atomic_signal_fence(std::memory_order_seq_cst);
        gf_showMessage("new", false);
        expiry.join();
        wiped += shown(&WindowState::messageText) != "new";
    }
    EXPECT_EQ(wiped, 0);
    gf_expireMessage();
    EXPECT_EQ(shown(&WindowState::messageText), "new"); // 26 is its own first cycle
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
