#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "foundation/scan_tasks.h"
#include "foundation/stop_state.h"
#include "support/test_support.h"

using namespace std::chrono_literals;

// The limit, the stop and the abandoning of a task past its wait are proven by the walks of
// both scans (tests/catalogue, tests/scanner); these are the gate's own rules.
struct ScanGate : ::testing::Test {
    ~ScanGate() override
    {
        gf_resetStopState();
        gf_setScanTasksMax(std::thread::hardware_concurrency());
    }
};

TEST_F(ScanGate, ATaskIsCountedBeforeItsThreadRunsAThrowingOneGivesItsSlotBackAndZeroActsAsOne)
{
    gf_setScanTasksMax(2);
    std::promise<void> release;
    std::shared_future<void> go = release.get_future().share();
    auto a = gf_startScanTask([go] { go.wait(); });
    auto b = gf_startScanTask([go] { go.wait(); });
    EXPECT_EQ(g_scanTasksRunning.load(), 2);
    std::atomic<bool> thirdStarted{false};
    std::thread third([&] { gf_startScanTask([&] { thirdStarted = true; }).get(); });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(thirdStarted.load());
    release.set_value();
    third.join();
    a.get();
    b.get();

    gf_setScanTasksMax(0);
    EXPECT_EQ(g_scanTasksMax.load(), 1);
    EXPECT_THROW(gf_startScanTask([]() -> int { throw std::runtime_error("bad file"); }).get(), std::runtime_error);
    EXPECT_EQ(gf_startScanTask([] { return 7; }).get(), 7);
    EXPECT_EQ(g_scanTasksRunning.load(), 0);
}

TEST_F(ScanGate, TheFinalWaitAbandonsATaskPastItsLimitAndTheExitWaitIsBounded)
{
    tavtest::LogCapture log;
    std::promise<void> release;
    std::shared_future<void> go = release.get_future().share();
    std::atomic<int> abandoned{-1};
    auto task = gf_startScanTask([go, &abandoned] {
        go.wait();
        abandoned = gf_scanTaskAbandoned() ? 1 : 0;
    });
    EXPECT_TRUE(gf_waitForScanTasksToEnd(50ms, "test search"));
    EXPECT_TRUE(log.contains("==> test search abandons 1 file task still running after 50 ms: their results are "
                             "dropped\n"));
    EXPECT_FALSE(gf_waitForScanTasksAtExit(20ms));
    release.set_value();
    task.get();
    EXPECT_EQ(abandoned.load(), 1);
    EXPECT_TRUE(gf_waitForScanTasksAtExit(1s));
    // A task of the new generation is not abandoned.
    EXPECT_FALSE(gf_startScanTask([] { return gf_scanTaskAbandoned(); }).get());
}
