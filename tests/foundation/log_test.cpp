#include <gtest/gtest.h>

#include <fstream>
#include <thread>
#include <vector>

#include "foundation/log.h"
#include "support/test_support.h"

using tavtest::LogCapture;
using tavtest::readFile;
using tavtest::TempFolder;

TEST(Log, FirstLineIsTheHeaderWithUtcTimeNameVersionAndSimulator)
{
    LogCapture log;
    const auto lines = log.lines();
    ASSERT_FALSE(lines.empty());
    const std::string& header = lines[0];
    // "Sun Dec 06 18:00:46 2026 (utc) Tavelorium_P3D version 11.10.3 for Prepar3D v5/v6"
    ASSERT_EQ(header.size(), 24u + std::string(" (utc) Tavelorium_P3D version 11.10.3 for Prepar3D v5/v6").size());
    EXPECT_EQ(header.substr(24), " (utc) Tavelorium_P3D version 11.10.3 for Prepar3D v5/v6");
}

TEST(Log, WritersPrefixTheirLinesAndNothingIsWrittenWhileClosed)
{
    gf_logLine("before open");
    {
        LogCapture log;
        gf_logLine("plain {}", 1);
        gf_logErrorLine("bad {}", "thing");
        gf_logContinuation("");
        gf_logContinuation("more");
        const auto lines = log.lines();
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_EQ(lines[1], "plain 1");
        EXPECT_EQ(lines[2], "==> bad thing");
        EXPECT_EQ(lines[3], std::string(10, ' '));
        EXPECT_EQ(lines[4], "          more");
        EXPECT_EQ(log.text().find("before open"), std::string::npos);
        EXPECT_EQ(log.text().find('\r'), std::string::npos);
    }
    gf_logLine("after close"); // must not crash
}

TEST(Log, ErrorLineIsOnDiskAtOnce)
{
    LogCapture log;
    gf_logLine("buffered");
    gf_logErrorLine("urgent");
    // Read the file directly, without the flush that LogCapture::text() makes.
    const std::string onDisk = readFile(log.file());
    EXPECT_NE(onDisk.find("==> urgent\n"), std::string::npos);
}

TEST(Log, FourOpeningsLeaveThreeOlderGenerations)
{
    TempFolder folder;
    for (int run = 1; run <= 4; ++run) {
        gf_openLogAt(folder / "Log.txt");
        gf_logLine("run {}", run);
        gf_closeLog();
    }
    EXPECT_NE(readFile(folder / "Log.txt").find("run 4"), std::string::npos);
    EXPECT_NE(readFile(folder / "Log0.txt").find("run 3"), std::string::npos);
    EXPECT_NE(readFile(folder / "Log00.txt").find("run 2"), std::string::npos);
    EXPECT_NE(readFile(folder / "Log000.txt").find("run 1"), std::string::npos);
}

TEST(Log, OpeningInAMissingFolderThrowsWithTheFileName)
{
    TempFolder folder;
    try {
        gf_openLogAt(folder / "missing" / "Log.txt");
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Failed to write file ", 0), 0u);
        EXPECT_NE(std::string(e.what()).find("Log.txt"), std::string::npos);
    }
}

TEST(Log, EightThreadsWritingTenThousandLinesEachGiveWholeLines)
{
    LogCapture log;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 10000; ++i)
                gf_logLine("thread {} line {:05} end", t, i);
        });
    }
    for (auto& th : threads)
        th.join();
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 80001u);
    std::vector<int> next(8, 0);
    for (size_t i = 1; i < lines.size(); ++i) {
        int t = -1, n = -1;
        ASSERT_EQ(std::sscanf(lines[i].c_str(), "thread %d line %d end", &t, &n), 2) << lines[i];
        ASSERT_TRUE(t >= 0 && t < 8);
        // Each thread's lines are whole and in its own order.
        ASSERT_EQ(n, next[t]++) << lines[i];
        ASSERT_EQ(lines[i].size(), std::string("thread 0 line 00000 end").size());
    }
}
