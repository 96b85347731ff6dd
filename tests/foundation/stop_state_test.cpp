#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "foundation/stop_state.h"

class StopState : public ::testing::Test {
protected:
    StopState() { gf_resetStopState(); }
    ~StopState() override { gf_resetStopState(); }
};

TEST_F(StopState, FirstReasonWinsWithItsDelayAUserCloseRaisesTheHardStopAndOnlyThreeReasonsRestart)
{
    gf_requestClosingDown(CloseReason::ReaderError, 15);
    gf_requestClosingDown(CloseReason::SimConnectError, 9);
    EXPECT_TRUE(g_stopRequested && !g_hardStop);
    gf_requestClosingDown(CloseReason::UserClosedSim, 99);
    EXPECT_TRUE(g_hardStop);
    EXPECT_EQ(gf_closeReason(), CloseReason::ReaderError);
    EXPECT_EQ(gf_restartDelaySeconds(), 15);
    // The reset before a restart keeps a hard stop and its reason.
    EXPECT_FALSE(gf_resetStopStateUnlessHardStop());
    EXPECT_TRUE(g_hardStop && g_stopRequested);
    EXPECT_EQ(gf_closeReason(), CloseReason::ReaderError);

    gf_resetStopState();
    gf_requestClosingDown(CloseReason::UserClosedSim, 99);
    gf_requestClosingDown(CloseReason::ReaderError, 15);
    EXPECT_EQ(gf_closeReason(), CloseReason::UserClosedSim);
    EXPECT_EQ(gf_restartDelaySeconds(), 0);

    gf_resetStopState();
    gf_requestClosingDown(CloseReason::NewSettings, 3);
    EXPECT_TRUE(gf_resetStopStateUnlessHardStop());
    EXPECT_FALSE(gf_stopPending());
    EXPECT_EQ(gf_closeReason(), CloseReason::NotYetSet);
    EXPECT_EQ(gf_restartDelaySeconds(), 0);

    for (int i = 0; i <= 8; ++i)
        EXPECT_EQ(gf_closeReasonRestarts(static_cast<CloseReason>(i)), i == 3 || i == 5 || i == 6) << i;
}

TEST_F(StopState, ConcurrentRequestsLeaveOneConsistentReasonAndDelay)
{
    for (int round = 0; round < 200; ++round) {
        gf_resetStopState();
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([t] {
                const CloseReason r = t % 2 ? CloseReason::ReaderError : CloseReason::SimConnectError;
                gf_requestClosingDown(r, r == CloseReason::ReaderError ? 15 : 9);
            });
        for (auto& th : threads)
            th.join();
        EXPECT_EQ(gf_restartDelaySeconds(), gf_closeReason() == CloseReason::ReaderError ? 15 : 9);
    }
}
