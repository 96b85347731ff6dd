#include <gtest/gtest.h>

#include <string>

#include "feed/datagram_log.h"
#include "feed/feed_inputs.h"
#include "feed/received_flights.h"
#include "feed/traffic_reader.h"
#include "feed_fixtures.h"
#include "foundation/time_text.h"
#include "support/test_support.h"

using namespace feedtest;

namespace {

uint32_t tick500()
{
    return 500;
}

void setRunning(bool running)
{
    std::lock_guard lock(g_liveFlightsMutex);
    g_serviceRunning = running;
    g_liveFlights.clear();
}

size_t queued()
{
    std::lock_guard lock(g_liveFlightsMutex);
    return g_liveFlights.size();
}

// The reader judges timestamps against the PC clock.
Line currentLine(const std::string& spec = {}, int64_t age = 3)
{
    return makeLine(spec, makeLine("ts=" + std::to_string(gf_nowSeconds() - age)));
}

void receive(TrafficReader& reader, const std::string& text)
{
    reader.datagram = text;
    reader.onDatagram();
}

class TrafficReaderLines : public ::testing::Test {
protected:
    void SetUp() override
    {
        reader.setReferencePosition(kAmsterdam);
        gf_setTrafficTickSource(&tick500);
        setRunning(true);
    }
    void TearDown() override
    {
        gf_resetFeedSources();
        setRunning(false);
    }
    void receive(const std::string& text) { ::receive(reader, text); }

    tavtest::LogCapture log;
    TrafficReader reader;
};

} // namespace

TEST_F(TrafficReaderLines, AnAcceptedLineIsQueuedDue3000TicksLaterOnlyWhileTheServiceRuns)
{
    receive(currentLine().text());
    {
        std::lock_guard lock(g_liveFlightsMutex);
        ASSERT_EQ(g_liveFlights.size(), 1u);
        EXPECT_EQ(g_liveFlights.front().sample.dueTick, 3500u);
        EXPECT_EQ(g_liveFlights.front().hexid, 4840123u);
    }
    setRunning(false);
    receive(currentLine("", 7).text());
    EXPECT_EQ(queued(), 0u);
    EXPECT_EQ(g_trafficLastTimestamp.load(), static_cast<double>(gf_nowSeconds() - 7));
}

TEST_F(TrafficReaderLines, MalformedLinesAreLoggedAtMost20TimesASecondAndNoneStopsTheNextGoodLine)
{
    receive(currentLine("hex=10000").text());
    EXPECT_EQ(log.lines().size(), 1u); // a dropped line leaves no trace: the log's header only
    receive(currentLine("lat=0.00005|lon=0.00005").text());
    const Line high = currentLine("alt=high");
    receive(high.text());
    EXPECT_TRUE(log.contains("\nexception in processLineSub: invalid lalo: 0.000050,0.000050\n"));
    EXPECT_TRUE(log.contains("\nexception in processLineSub: altitude high incorrect, from: " + high.text() + "\n"));

    std::string nans;
    for (int i = 0; i < 4000; ++i)
        nans += "nan,";
    for (const std::string& text : {std::string(), std::string(","), std::string(10000, ','), nans,
                                    std::string("\0\x01\x02\xfe\xff", 5), currentLine().text().substr(0, 120),
                                    std::string("RTTFC,1e999,nan,inf,-inf,nan,nan,nan,nan")})
        receive(text);
    for (int i = 0; i < 500; ++i)
        receive("garbage");
    EXPECT_EQ(queued(), 0u);
    receive(currentLine().text());
    EXPECT_EQ(queued(), 1u);
    size_t logged = 0;
    for (const std::string& line : log.lines()) {
        EXPECT_LE(line.size(), 600u);
        logged += line.starts_with("exception in processLineSub:") ? 1 : 0;
    }
    EXPECT_GE(logged, 20u);
    EXPECT_LT(logged, 100u);
}

TEST(CallsignCollection, CallsignsSeenBetweenStartAndTakeAreHandedOverOnce)
{
    g_trafficReader.setReferencePosition(kAmsterdam);
    receive(g_trafficReader, currentLine("cs=BEFORE").text());
    gf_startCollectingCallsigns();
    receive(g_trafficReader, currentLine("cs=DURING1").text());
    EXPECT_EQ(gf_takeCollectedCallsigns(), (std::set<std::string, std::less<>>{"DURING1"}));
    receive(g_trafficReader, currentLine("cs=AFTER").text());
    EXPECT_TRUE(gf_takeCollectedCallsigns().empty());
}

TEST(DatagramLog, SuppressedLinesAreCountedWhenTheNextSecondBegins)
{
    tavtest::LogCapture log;
    DatagramLogLimiter limiter;
    limiter.linesPerSecond = 2;
    for (int i = 0; i < 5; ++i)
        gf_logLimited(limiter, "line " + std::to_string(i), 1000);
    gf_logLimited(limiter, "later", 1999);
    gf_logLimited(limiter, "next second", 2000);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{log.lines()[0], "line 0", "line 1",
                                                     "4 log lines about received datagrams left out", "next second"}));
}

TEST(ReceivedFlights, AFullQueueDropsItsOldestRecordsAndLogsThemOnceAMinute)
{
    tavtest::LogCapture log;
    gf_resetFlightDropLog();
    setRunning(true);
    const uint64_t droppedBefore = gf_droppedFlightCount();
    for (uint32_t i = 0; i < g_liveFlightsLimit; ++i)
        gf_queueReceivedFlight(LiveFlightRecord{.hexid = 20000 + i}, 0);
    gf_queueReceivedFlight(LiveFlightRecord{.hexid = 1}, 0);
    for (int i = 0; i < 3; ++i)
        gf_queueReceivedFlight(LiveFlightRecord{.hexid = 2}, 59999);
    gf_queueReceivedFlight(LiveFlightRecord{.hexid = 3}, 60000);
    {
        std::lock_guard lock(g_liveFlightsMutex);
        EXPECT_EQ(g_liveFlights.size(), g_liveFlightsLimit);
        EXPECT_EQ(g_liveFlights.front().hexid, 20005u);
        EXPECT_EQ(g_liveFlights.back().hexid, 3u);
    }
    setRunning(false);
    EXPECT_EQ(gf_droppedFlightCount() - droppedBefore, 5u);
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "Received flights queue full (20000 records): 1 oldest record dropped");
    EXPECT_EQ(lines[2], "Received flights queue full (20000 records): 4 oldest records dropped");
}
