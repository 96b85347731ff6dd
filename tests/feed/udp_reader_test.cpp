#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "feed/feed_inputs.h"
#include "feed/udp_reader.h"
#include "foundation/stop_state.h"
#include "support/test_support.h"

namespace {

class RecordingReader final : public UdpReader {
public:
    RecordingReader() : UdpReader("Test Reader") {}
    void onDatagram() override { handed.emplace_back(datagram); }
    void onStopped() override { ++stopped; }
    std::vector<std::string> handed;
    int stopped = 0;
};

// What the fake socket receives at each turn of the loop; the loop is stopped when the
// script has run out.
struct Turn {
    int32_t error = 0;
    int64_t bytes = 0;
    std::string data;
};
std::deque<Turn> g_script;
UdpReader* g_scriptedReader = nullptr;

Turn datagram(std::string data)
{
    const auto n = static_cast<int64_t>(data.size());
    return Turn{0, n, std::move(data)};
}

Turn receiveError(int32_t code)
{
    return Turn{code, -1, {}};
}

WaitResult scriptedWait(SocketHandle, int32_t, int32_t&)
{
    if (!g_script.empty())
        return WaitResult::Readable;
    g_scriptedReader->stop = true;
    return WaitResult::Timeout;
}

ReceiveResult scriptedReceive(SocketHandle, char* buffer, size_t capacity)
{
    const Turn t = g_script.front();
    g_script.pop_front();
    std::memcpy(buffer, t.data.data(), std::min(t.data.size(), capacity));
    return {t.bytes, t.error};
}

std::atomic<int> g_failedWaits{0};
WaitResult failingWait(SocketHandle, int32_t, int32_t& error)
{
    ++g_failedWaits;
    error = 10022;
    return WaitResult::Failed;
}

bool g_local = false;
bool local()
{
    return g_local;
}

class ReceiveLoop : public ::testing::Test {
protected:
    void SetUp() override
    {
        gf_resetStopState();
        g_scriptedReader = &reader;
        g_local = false;
        gf_setRealTrafficLocalSource(&local);
    }
    void TearDown() override
    {
        gf_resetFeedSources();
        gf_resetStopState();
        g_script.clear();
    }
    void run(std::initializer_list<Turn> turns)
    {
        g_script.assign(turns.begin(), turns.end());
        gf_receiveLoop(reader, ReaderSocketOps{&scriptedWait, &scriptedReceive});
    }
    tavtest::LogCapture log;
    RecordingReader reader;
};

} // namespace

TEST_F(ReceiveLoop, RepeatsFromAnotherPcAreCountedButHandedOnOnceAndEmptyDatagramsAreSkipped)
{
    run({datagram("a,1"), datagram("a,1"), datagram(""), datagram("a,2"), datagram("a,1")});
    EXPECT_EQ(reader.handed, (std::vector<std::string>{"a,1", "a,2", "a,1"}));
    EXPECT_EQ(reader.datagramCount.load(), 4);
    EXPECT_EQ(reader.stopped, 1);

    // From RealTraffic on this PC every repeat counts.
    g_local = true;
    reader.stop = false;
    reader.handed.clear();
    run({datagram("b"), datagram("b")});
    EXPECT_EQ(reader.handed, (std::vector<std::string>{"b", "b"}));
}

TEST_F(ReceiveLoop, DatagramsThatFillTheBufferOrExceedItAreDroppedAndReadingGoesOn)
{
    run({datagram(std::string(16383, 'a')), datagram(std::string(16384, 'b')), receiveError(10040),
         receiveError(10054), receiveError(10052), receiveError(10035), datagram("next")});
    ASSERT_EQ(reader.handed.size(), 2u);
    EXPECT_EQ(reader.handed[0].size(), 16383u);
    EXPECT_EQ(reader.handed[1], "next");
    EXPECT_EQ(reader.datagramCount.load(), 2);
    EXPECT_EQ(reader.droppedCount.load(), 4);
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], "buffer overrun: 16384 bytes");
    EXPECT_EQ(lines[2], "buffer overrun: more than 16384 bytes");
    EXPECT_EQ(lines[3], "datagram dropped: 10054 Connection reset by peer");
    EXPECT_EQ(lines[4], "datagram dropped: 10052 Net connection reset");

    // While a stop is pending they are still counted but no longer logged.
    gf_requestClosingDown(CloseReason::NewSettings, 3);
    reader.stop = false;
    run({datagram(std::string(16384, 'b')), receiveError(10040)});
    EXPECT_EQ(reader.droppedCount.load(), 6);
    EXPECT_EQ(log.lines().size(), 5u);
}

TEST_F(ReceiveLoop, AnyOtherReceiveErrorEndsTheReaderWithItsText)
{
    try {
        run({datagram("x"), receiveError(10038)});
        FAIL() << "no error raised";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "receive error: 10038 Socket operation on non-socket");
    }
    EXPECT_EQ(reader.stopped, 0);
}

TEST_F(ReceiveLoop, ASelectThatKeepsFailingIsLoggedOnceAndRetriedEverLessOften)
{
    g_failedWaits = 0;
    std::thread loop([&] { gf_receiveLoop(reader, ReaderSocketOps{&failingWait, &scriptedReceive}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    const auto stopAt = std::chrono::steady_clock::now();
    reader.stop = true;
    loop.join();
    EXPECT_LT(std::chrono::steady_clock::now() - stopAt, std::chrono::milliseconds(400));
    // 50 + 100 + 200 + 400 ms of back-off: four or five tries, not a spin.
    EXPECT_GE(g_failedWaits.load(), 3);
    EXPECT_LE(g_failedWaits.load(), 6);
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "Test Reader select error: 10022 Invalid argument, waiting before it tries again");
    EXPECT_EQ(lines[2], "Test Reader select failed " + std::to_string(g_failedWaits.load()) + " times");
    EXPECT_EQ(reader.stopped, 1);
}
