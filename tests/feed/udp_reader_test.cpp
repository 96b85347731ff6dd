#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "feed/feed_inputs.h"
#include "feed/udp_reader_internal.h"
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

// What the fake socket receives at each turn: a receive error (10060: the wait ran out),
// or 0 and the datagram. The loop is stopped when the script has run out.
using Turn = std::pair<int32_t, std::string>;
std::deque<Turn> g_script;
UdpReader* g_scriptedReader = nullptr;

ReceiveResult scriptedReceive(SocketHandle, char* buffer, size_t capacity)
{
    if (g_script.empty()) {
        g_scriptedReader->stop = true;
        return {-1, 10060};
    }
    const auto [error, data] = g_script.front();
    g_script.pop_front();
    std::memcpy(buffer, data.data(), std::min(data.size(), capacity));
    return {error ? -1 : static_cast<int64_t>(data.size()), error};
}

class ReceiveLoop : public ::testing::Test {
protected:
    void SetUp() override
    {
        gf_resetStopState();
        g_scriptedReader = &reader;
    }
    void TearDown() override
    {
        gf_resetFeedSources();
        gf_resetStopState();
        g_script.clear();
    }
    void run(std::initializer_list<Turn> turns)
    {
        reader.stop = false;
        g_script.assign(turns.begin(), turns.end());
        lf_receiveLoop(reader, ReaderSocketOps{nullptr, &scriptedReceive});
    }
    tavtest::LogCapture log;
    RecordingReader reader;
};

} // namespace

TEST_F(ReceiveLoop, RepeatsFromAnotherPcAreCountedButHandedOnOnceAndEmptyDatagramsAreSkipped)
{
    run({{0, "a,1"}, {10060, ""}, {0, "a,1"}, {0, ""}, {0, "a,2"}, {10060, ""}, {0, "a,1"}});
    EXPECT_EQ(reader.handed, (std::vector<std::string>{"a,1", "a,2", "a,1"}));
    EXPECT_EQ(reader.datagramCount.load(), 4);
    EXPECT_EQ(reader.stopped, 1);

    // From RealTraffic on this PC every repeat counts.
    gf_setRealTrafficLocalSource([] { return true; });
    reader.handed.clear();
    run({{0, "b"}, {0, "b"}});
    EXPECT_EQ(reader.handed, (std::vector<std::string>{"b", "b"}));
}

TEST_F(ReceiveLoop, DatagramsTooLongOrResetAreDroppedAndReadingGoesOnButOtherErrorsEndTheReader)
{
    run({{0, std::string(16383, 'a')}, {0, std::string(16384, 'b')}, {10040, ""}, {10054, ""}, {10052, ""},
         {10035, ""}, {0, "next"}});
    ASSERT_EQ(reader.handed.size(), 2u);
    EXPECT_EQ(reader.handed[0].size(), 16383u);
    EXPECT_EQ(reader.handed[1], "next");
    EXPECT_EQ(reader.datagramCount.load(), 2);
    EXPECT_EQ(reader.droppedCount.load(), 4);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{log.lines()[0], "buffer overrun: 16384 bytes",
                                                     "buffer overrun: more than 16384 bytes",
                                                     "datagram dropped: 10054 Connection reset by peer",
                                                     "datagram dropped: 10052 Net connection reset"}));

    // While a stop is pending they are still counted but no longer logged.
    gf_requestClosingDown(CloseReason::NewSettings, 3);
    run({{0, std::string(16384, 'b')}, {10040, ""}});
    EXPECT_EQ(reader.droppedCount.load(), 6);
    EXPECT_EQ(log.lines().size(), 5u);

    EXPECT_THAT([&] { run({{0, "x"}, {10038, ""}}); },
                testing::ThrowsMessage<std::runtime_error>("receive error: 10038 Socket operation on non-socket"));
    EXPECT_EQ(reader.stopped, 2);
}
