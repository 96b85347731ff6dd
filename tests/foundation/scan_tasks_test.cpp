#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "foundation/scan_tasks.h"
#include "foundation/stop_state.h"
#include "support/test_support.h"

using namespace std::chrono_literals;

namespace {

struct ScanGate : ::testing::Test {
    ~ScanGate() override
    {
        gf_resetStopState();
        gf_setScanTasksMax(std::thread::hardware_concurrency());
    }
};

// Starts n tasks that each hold their slot for a moment; the most that ran at once.
int runTasks(int n)
{
    std::atomic<int> inside{0}, most{0}, done{0};
    std::vector<std::future<void>> futures;
    for (int i = 0; i < n; ++i)
        futures.push_back(gf_startScanTask([&] {
            const int now = ++inside;
            int seen = most.load();
            while (now > seen && !most.compare_exchange_weak(seen, now)) {
            }
            std::this_thread::sleep_for(1ms);
            --inside;
            ++done;
        }));
    for (auto& f : futures)
        f.get();
    EXPECT_EQ(done.load(), n);
    EXPECT_EQ(g_scanTasksRunning.load(), 0);
    return most.load();
}

} // namespace

TEST_F(ScanGate, TwoHundredTasksNeverRunMoreThanTheLimitAndZeroActsAsOne)
{
    gf_setScanTasksMax(4);
    const int most = runTasks(200);
    EXPECT_LE(most, 4);
    EXPECT_GE(most, 2);
    g_scanTasksMax = 0;
    EXPECT_EQ(runTasks(20), 1);
    gf_setScanTasksMax(0);
    EXPECT_EQ(g_scanTasksMax.load(), 1);
}

TEST_F(ScanGate, ATaskIsCountedBeforeItsThreadRunsAndAThrowingTaskGivesItsSlotBack)
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
    EXPECT_TRUE(thirdStarted.load());
    a.get();
    b.get();

    gf_setScanTasksMax(1);
    EXPECT_THROW(gf_startScanTask([]() -> int { throw std::runtime_error("bad file"); }).get(), std::runtime_error);
    EXPECT_EQ(gf_startScanTask([] { return 7; }).get(), 7);
}

TEST_F(ScanGate, TheStopFlagEndsTheWaitPromptlyAndStartsNothing)
{
    gf_setScanTasksMax(1);
    std::optional<ScanTaskSlot> held = gf_takeScanTaskSlot();
    ASSERT_TRUE(held);
    std::thread stopper([] {
        std::this_thread::sleep_for(50ms);
        g_stopRequested = true;
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(gf_waitForFreeWorker());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    stopper.join();
    held.reset();
    bool ran = false;
    EXPECT_FALSE(gf_startScanTask([&] { ran = true; }).valid());
    EXPECT_FALSE(ran);
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
    EXPECT_FALSE(gf_scanTaskAbandoned());
    // A task of the new generation is not abandoned.
    EXPECT_FALSE(gf_startScanTask([] { return gf_scanTaskAbandoned(); }).get());
}
