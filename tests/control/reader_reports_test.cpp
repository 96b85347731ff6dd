#include <gtest/gtest.h>

#include "control/reader_reports.h"
#include "foundation/stop_state.h"
#include "support/test_support.h"
#include "ui/messages.h"
#include "ui/shown_text.h"
#include "ui/window_state.h"

TEST(ReaderReport, AStoppedReaderIsShownLoggedAndRestartsTheServiceAfter15SecondsUnlessAStopIsPending)
{
    tavtest::LogCapture log;
    gf_resetStopState();
    gf_clearError();
    gf_reportReaderStopped("Traffic Reader", "bind to stream socket failed, error: 10048 Address already in use");
    const std::string text =
        "The Traffic Reader has stopped with error: bind to stream socket failed, error: 10048 Address already in use";
    EXPECT_EQ(uitest::shown(&WindowState::messageText), text);
    EXPECT_TRUE(log.contains("\n" + text + "\n"));
    EXPECT_TRUE(g_stopRequested.load());
    EXPECT_EQ(gf_closeReason(), CloseReason::ReaderError);
    EXPECT_EQ(gf_restartDelaySeconds(), 15);

    // A reader stopping during a pending stop keeps the first reason but is still logged.
    gf_resetStopState();
    gf_requestClosingDown(CloseReason::SimWasClosed, 0);
    gf_showError("shown error");
    gf_reportReaderStopped("QNH Reader", "receive error: 10038 Socket operation on non-socket");
    EXPECT_EQ(gf_closeReason(), CloseReason::SimWasClosed);
    EXPECT_EQ(gf_restartDelaySeconds(), 0);
    EXPECT_TRUE(log.contains("The QNH Reader has stopped with error: receive error: 10038"));
    gf_resetStopState();
    gf_clearError();
}
