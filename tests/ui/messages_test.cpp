// The message and error lines' state and logging; their paint and their expiry after
// 25 cycles are checked on the real window (main_window_win_test).
#include <gtest/gtest.h>

#include <vector>

#include "foundation/stop_state.h"
#include "support/test_support.h"
#include "ui/messages.h"
#include "ui/shown_text.h"
#include "ui/window_services.h"
#include "ui/window_state.h"

using uitest::shown;

namespace {

class MessageLine : public ::testing::Test {
protected:
    MessageLine() { reset(); }
    ~MessageLine() override { reset(); }
    static void reset()
    {
        gf_resetStopState();
        gf_resetWindowState();
    }
    tavtest::LogCapture log_;
};

} // namespace

TEST_F(MessageLine, AnErrorReplacesTheMessageAndHoldsOffNewOnesUntilCleared)
{
    gf_showMessage("before", true);
    gf_showError("something broke");
    gf_showMessage("refused", true);
    gf_showMessage("", true);
    EXPECT_EQ(shown(&WindowState::messageText), "");
    EXPECT_EQ(shown(&WindowState::errorText), "something broke");
    gf_clearError();
    EXPECT_EQ(shown(&WindowState::messageText), ""); // the earlier message is gone for good
    gf_showMessage("after", false);
    EXPECT_EQ(shown(&WindowState::messageText), "after");
    const std::string text = log_.text();
    EXPECT_NE(text.find("\nbefore\n"), std::string::npos);
    EXPECT_NE(text.find("\nError something broke\n"), std::string::npos);
    EXPECT_EQ(text.find("refused"), std::string::npos);
    EXPECT_EQ(text.find("after"), std::string::npos);
}

TEST_F(MessageLine, NothingIsLoggedOnceAStopIsPending)
{
    gf_requestClosingDown(CloseReason::ReaderError, 15);
    gf_showMessage("closing step", true);
    EXPECT_EQ(shown(&WindowState::messageText), "closing step");
    gf_showError("late error");
    EXPECT_EQ(log_.text().find("closing step"), std::string::npos);
    EXPECT_EQ(log_.text().find("late error"), std::string::npos);
}

TEST_F(MessageLine, TheCountersRepaintOnlyTheBandWhoseCountChanged)
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
    gf_setInvalidateFunction(nullptr);
    // Connection block at 28, status panel at 392; the averages go from "none" to 0 once.
    EXPECT_EQ(tops, (std::vector<int>{392, 392, 28, 392}));
    EXPECT_EQ(ws.liveInSim + ws.parkedLive + ws.staticAircraft, 0u);
}
