#include <gtest/gtest.h>

#include "foundation/stop_state.h"
#include "support/test_support.h"
#include "ui/messages.h"
#include "ui/window_state.h"

namespace {
int g_invalidations = 0;
ScreenRect g_lastBand{};

void countInvalidation(const ScreenRect& band)
{
    ++g_invalidations;
    g_lastBand = band;
}

class MessageLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        gf_resetStopState();
        gf_clearError();
        gf_windowState().cycleCounter = 0;
        gf_clearMessage();
        g_invalidations = 0;
        gf_setInvalidateFunction(&countInvalidation);
    }
    void TearDown() override
    {
        gf_setInvalidateFunction(nullptr);
        gf_resetStopState();
        gf_clearError();
    }
    static std::string message()
    {
        std::lock_guard lock(gf_windowState().uiMutex);
        return gf_windowState().messageText;
    }
    static std::string error()
    {
        std::lock_guard lock(gf_windowState().uiMutex);
        return gf_windowState().errorText;
    }
};
} // namespace

TEST_F(MessageLine, AMessageSetAtCycleZeroIsClearedAtCycle26)
{
    gf_showMessage("hello", false);
    EXPECT_EQ(message(), "hello");
    EXPECT_EQ(gf_windowState().messageCycle, 1);
    EXPECT_EQ(g_invalidations, 1);
    EXPECT_EQ(g_lastBand.top, 448);
    EXPECT_EQ(g_lastBand.bottom, 476);
    for (int cycle = 1; cycle <= 25; ++cycle) {
        gf_windowState().cycleCounter = cycle;
        gf_expireMessage();
        EXPECT_EQ(message(), "hello") << cycle;
    }
    gf_windowState().cycleCounter = 26;
    gf_expireMessage();
    EXPECT_EQ(message(), "");
}

TEST_F(MessageLine, AnErrorReplacesTheMessageAndHoldsOffNewOnes)
{
    tavtest::LogCapture log;
    gf_showMessage("before", true);
    gf_showError("something broke");
    EXPECT_EQ(message(), "");
    EXPECT_EQ(error(), "something broke");
    gf_showMessage("refused", true);
    gf_showMessage("", true);
    EXPECT_EQ(message(), "");
    EXPECT_EQ(error(), "something broke");
    gf_clearError();
    EXPECT_EQ(message(), ""); // the earlier message is gone for good
    gf_showMessage("after", false);
    EXPECT_EQ(message(), "after");
    const std::string text = log.text();
    EXPECT_NE(text.find("\nbefore\n"), std::string::npos);
    EXPECT_NE(text.find("\nError something broke\n"), std::string::npos);
    EXPECT_EQ(text.find("refused"), std::string::npos);
    EXPECT_EQ(text.find("after"), std::string::npos);
}

TEST_F(MessageLine, NothingIsLoggedOnceAStopIsPending)
{
    tavtest::LogCapture log;
    gf_requestClosingDown(CloseReason::ReaderError, 15);
    gf_showMessage("closing step", true);
    EXPECT_EQ(message(), "closing step");
    gf_showError("late error");
    EXPECT_EQ(log.text().find("closing step"), std::string::npos);
    EXPECT_EQ(log.text().find("late error"), std::string::npos);
}
