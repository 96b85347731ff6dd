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

// A line of now: the reader judges timestamps against the PC clock.
std::string currentLine(const std::string& spec = {}, int64_t age = 3)
{
    return makeLine(spec, makeLine("ts=" + std::to_string(gf_nowSeconds() - age))).text();
}

// The program's traffic reader, with the queue running and a fresh log budget.
class TrafficReaderLines : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_trafficReader.logLimiter = {};
        g_trafficReader.setReferencePosition(kAmsterdam);
        gf_setTrafficTickSource([] { return 500u; });
        gf_resetFlightDropLog();
        setRunning(true);
    }
    void TearDown() override
    {
        gf_resetFeedSources();
        setRunning(false);
    }
    static void receive(const std::string& text)
    {
        g_trafficReader.datagram = text;
        g_trafficReader.onDatagram();
    }

    tavtest::LogCapture log;
};

} // namespace

TEST_F(TrafficReaderLines, AnAcceptedLineIsQueuedDue3000TicksLaterOnlyWhileTheServiceRuns)
{
    receive(currentLine());
    {
        std::lock_guard lock(g_liveFlightsMutex);
        ASSERT_EQ(g_liveFlights.size(), 1u);
        EXPECT_EQ(g_liveFlights.front().sample.dueTick, 3500u);
        EXPECT_EQ(g_liveFlights.front().hexid, 4840123u);
    }
    setRunning(false);
    receive(currentLine("", 7));
    EXPECT_EQ(queued(), 0u);
    EXPECT_EQ(g_trafficLastTimestamp.load(), static_cast<double>(gf_nowSeconds() - 7));
}

TEST_F(TrafficReaderLines, MalformedLinesAreLoggedAtMost20TimesASecondAndNoneStopsTheNextGoodLine)
{
    receive(currentLine("hex=10000"));
    EXPECT_EQ(log.lines().size(), 1u); // a dropped line leaves no trace: the log's header only
    receive(currentLine("lat=0.00005|lon=0.00005"));
    const std::string high = currentLine("alt=high");
    receive(high);
    EXPECT_TRUE(log.contains("\nexception in processLineSub: invalid lalo: 0.000050,0.000050\n"));
    EXPECT_TRUE(log.contains("\nexception in processLineSub: altitude high incorrect, from: " + high + "\n"));

    // A flood of hostile datagrams.
    std::string nans;
    for (int i = 0; i < 4000; ++i)
        nans += "nan,";
    const std::string hostile[] = {"", ",", std::string(10000, ','), nans, std::string("\0\x01\x02\xfe\xff", 5),
                                   currentLine().substr(0, 120), "RTTFC,1e999,nan,inf,-inf,nan,nan,nan,nan"};
    for (int i = 0; i < 700; ++i)
        receive(hostile[i % std::size(hostile)]);
    EXPECT_EQ(queued(), 0u);
    receive(currentLine());
    EXPECT_EQ(queued(), 1u);
    size_t logged = 0;
    for (const std::string& line : log.lines()) {
        EXPECT_LE(line.size(), 600u);
        logged += line.starts_with("exception in processLineSub:") ? 1 : 0;
    }
    EXPECT_GE(logged, 20u);
    EXPECT_LT(logged, 100u);
}

TEST_F(TrafficReaderLines, CallsignsSeenBetweenStartAndTakeAreHandedOverOnceEvenFromLinesDroppedLater)
{
    receive(currentLine("cs=BEFORE"));
    gf_startCollectingCallsigns();
    for (const std::string callsign : {"KLM1234", "null", "", "A@B", "EZY12"})
        receive(currentLine("hex=10000|cs=" + callsign));
    EXPECT_EQ(gf_takeCollectedCallsigns(), (std::set<std::string, std::less<>>{"EZY12", "KLM1234"}));
    receive(currentLine("cs=AFTER"));
    EXPECT_TRUE(gf_takeCollectedCallsigns().empty());
}

TEST_F(TrafficReaderLines, AFullQueueDropsItsOldestRecordsAndLogsThemOnceAMinute)
{
    const uint64_t droppedBefore = gf_droppedFlightCount();
    for (uint32_t i = 0; i < g_liveFlightsLimit; ++i)
        gf_queueReceivedFlight(LiveFlightRecord{.hexid = 20000 + i}, 0);
    gf_queueReceivedFlight(LiveFlightRecord{.hexid = 1}, 0);
    for (uint32_t hexid = 2; hexid <= 4; ++hexid)
        gf_queueReceivedFlight(LiveFlightRecord{.hexid = hexid}, 59999);
    gf_queueReceivedFlight(LiveFlightRecord{.hexid = 5}, 60000);
    {
        std::lock_guard lock(g_liveFlightsMutex);
        EXPECT_EQ(g_liveFlights.size(), g_liveFlightsLimit);
        EXPECT_EQ(g_liveFlights.front().hexid, 20005u);
        EXPECT_EQ(g_liveFlights.back().hexid, 5u);
    }
    EXPECT_EQ(gf_droppedFlightCount() - droppedBefore, 5u);
    const std::string full = "Received flights queue full (20000 records): ";
    EXPECT_EQ(log.lines(), (std::vector<std::string>{log.lines()[0], full + "1 oldest record dropped",
                                                     full + "4 oldest records dropped"}));
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
