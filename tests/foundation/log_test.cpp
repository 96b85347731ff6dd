#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "foundation/log.h"
#include "support/test_support.h"

using tavtest::readFile;

TEST(Log, HeaderThenPrefixedLinesWithErrorsOnDiskAtOnceAndNothingWhileClosed)
{
    gf_logLine("before open");
    {
        tavtest::LogCapture log;
        gf_logLine("plain {}", 1);
        gf_logErrorLine("bad {}", "thing");
        // An error line reaches the disk without a flush.
        EXPECT_NE(readFile(log.file()).find("==> bad thing\n"), std::string::npos);
        gf_logContinuation("");
        gf_logContinuation("more");
        std::vector<std::string> lines = log.lines();
        ASSERT_EQ(lines.size(), 5u);
        // "Sun Dec 06 18:00:46 2026 (utc) Tavelorium_P3D version 11.10.3 for Prepar3D v5/v6"
        EXPECT_EQ(lines[0].size(), 80u);
        lines[0].erase(0, 24);
        EXPECT_EQ(lines, (std::vector<std::string>{" (utc) Tavelorium_P3D version 11.10.3 for Prepar3D v5/v6", "plain 1",
                                                   "==> bad thing", std::string(10, ' '), "          more"}));
        EXPECT_EQ(log.text().find('\r'), std::string::npos);
    }
    // Four openings leave three older generations; nothing is written while closed.
    tavtest::TempFolder folder;
    for (int run = 1; run <= 4; ++run) {
        gf_openLogAt(folder / "Log.txt");
        gf_logLine("run {}", run);
        gf_closeLog();
    }
    gf_logLine("after close");
    for (const auto& [name, run] : {std::pair{"Log.txt", 4}, {"Log0.txt", 3}, {"Log00.txt", 2}, {"Log000.txt", 1}})
        EXPECT_EQ(readFile(folder / name).substr(81), "run " + std::to_string(run) + "\n") << name;
    try {
        gf_openLogAt(folder / "missing" / "Log.txt");
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Failed to write file ", 0), 0u);
        EXPECT_NE(std::string(e.what()).find("Log.txt"), std::string::npos);
    }
}

TEST(Log, EightThreadsWritingTenThousandLinesEachGiveWholeLinesInEachThreadsOrder)
{
    tavtest::LogCapture log;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 10000; ++i)
                gf_logLine("thread {} line {:05} end", t, i);
        });
    for (auto& th : threads)
        th.join();
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 80001u);
    std::vector<int> next(8, 0);
    for (size_t i = 1; i < lines.size(); ++i) {
        int t = -1, n = -1;
        ASSERT_EQ(std::sscanf(lines[i].c_str(), "thread %d line %d end", &t, &n), 2) << lines[i];
        ASSERT_TRUE(t >= 0 && t < 8 && n == next[t]++ && lines[i].size() == 23u) << lines[i];
    }
}
