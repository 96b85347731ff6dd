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

class TrafficReaderLines : public ::testing::Test {
protected:
    void SetUp() override
    {
        reader.setReferencePosition(kAmsterdam);
        gf_setTrafficTickSource(&tick500);
        setRunning(true);
        gf_resetFlightDropLog();
    }
    void TearDown() override
    {
        gf_resetFeedSources();
        setRunning(false);
    }
    static void setRunning(bool running)
    {
        std::lock_guard lock(g_liveFlightsMutex);
        g_serviceRunning = running;
        g_liveFlights.clear();
    }
    // Current timestamps: the reader judges them against the PC clock.
    static Line currentLine()
    {
        Line l;
        l[FieldTimestamp] = std::to_string(gf_nowSeconds() - 3);
        return l;
    }
    void receive(const std::string& text)
    {
        held = text;
        reader.datagram = held;
        reader.onDatagram();
    }
    static size_t queued()
    {
        std::lock_guard lock(g_liveFlightsMutex);
        return g_liveFlights.size();
    }

    tavtest::LogCapture log;
    TrafficReader reader;
    std::string held;
};

} // namespace

TEST_F(TrafficReaderLines, AnAcceptedLineIsQueuedDue3000TicksLater)
{
    receive(currentLine().text());
    std::lock_guard lock(g_liveFlightsMutex);
    ASSERT_EQ(g_liveFlights.size(), 1u);
    EXPECT_EQ(g_liveFlights.front().sample.dueTick, 3500u);
    EXPECT_EQ(g_liveFlights.front().hexid, 4840123u);
}

TEST_F(TrafficReaderLines, LinesArrivingWhileTheServiceIsNotRunningUpdateTheTimestampButAreNotQueued)
{
    setRunning(false);
    Line l = currentLine();
    l[FieldTimestamp] = std::to_string(gf_nowSeconds() - 7);
    receive(l.text());
    EXPECT_EQ(queued(), 0u);
    EXPECT_EQ(g_trafficLastTimestamp.load(), static_cast<double>(gf_nowSeconds() - 7));
}

TEST_F(TrafficReaderLines, MalformedLinesAreLoggedWithTheirMessage)
{
    Line l = currentLine();
    l[FieldLatitude] = "0.00005";
    l[FieldLongitude] = "0.00005";
    receive(l.text());
    l = currentLine();
    l[FieldAltitude] = "high";
    receive(l.text());
    EXPECT_TRUE(log.contains("\nexception in processLineSub: invalid lalo: 0.000050,0.000050\n"));
    EXPECT_TRUE(log.contains("\nexception in processLineSub: altitude high incorrect, from: " + l.text() + "\n"));
    EXPECT_EQ(queued(), 0u);
}

TEST_F(TrafficReaderLines, DroppedLinesLeaveNoTrace)
{
    Line l = currentLine();
    l[FieldHexid] = "10000";
    receive(l.text());
    EXPECT_EQ(log.lines().size(), 1u); // the log's header only
}

TEST_F(TrafficReaderLines, HostileDatagramsGiveNoRecordAndTheNextGoodLineIsQueued)
{
    std::string nans;
    for (int i = 0; i < 4000; ++i)
        nans += "nan,";
    const std::string hostile[] = {
        "", ",", std::string(10000, ','), std::string("\0\x01\x02\xfe\xff", 5), nans,
        currentLine().text().substr(0, 120), "RTTFC,1e999,nan,inf,-inf,nan,nan,nan,nan",
    };
    for (const std::string& text : hostile)
        receive(text);
    EXPECT_EQ(queued(), 0u);
    receive(currentLine().text());
    EXPECT_EQ(queued(), 1u);
    for (const std::string& line : log.lines())
        EXPECT_LE(line.size(), 600u);
}

TEST_F(TrafficReaderLines, AFloodOfMalformedLinesIsLoggedAtMost20TimesASecond)
{
    for (int i = 0; i < 500; ++i)
        receive("garbage");
    size_t logged = 0;
    for (const std::string& line : log.lines())
        logged += line.starts_with("exception in processLineSub:") ? 1 : 0;
    EXPECT_GE(logged, 20u);
    EXPECT_LT(logged, 100u);
}

TEST(CallsignCollection, CallsignsSeenBetweenStartAndTakeAreHandedOverOnce)
{
    Line l;
    l[FieldTimestamp] = std::to_string(gf_nowSeconds());
    l[FieldCallsign] = "BEFORE";
    g_trafficReader.setReferencePosition(kAmsterdam);
    auto receive = [&l] {
        const std::string text = l.text();
        g_trafficReader.datagram = text;
        g_trafficReader.onDatagram();
    };
    receive();
    gf_startCollectingCallsigns();
    l[FieldCallsign] = "DURING1";
    receive();
    EXPECT_EQ(gf_takeCollectedCallsigns(), (std::set<std::string, std::less<>>{"DURING1"}));
    l[FieldCallsign] = "AFTER";
    receive();
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
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], "line 0");
    EXPECT_EQ(lines[2], "line 1");
    EXPECT_EQ(lines[3], "4 log lines about received datagrams left out");
    EXPECT_EQ(lines[4], "next second");
}

TEST(ReceivedFlights, AFullQueueDropsItsOldestRecordsAndLogsThemOnceAMinute)
{
    tavtest::LogCapture log;
    gf_resetFlightDropLog();
    {
        std::lock_guard lock(g_liveFlightsMutex);
        g_serviceRunning = true;
        g_liveFlights.clear();
    }
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
        g_serviceRunning = false;
        g_liveFlights.clear();
    }
    EXPECT_EQ(gf_droppedFlightCount() - droppedBefore, 5u);
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "Received flights queue full (20000 records): 1 oldest record dropped");
    EXPECT_EQ(lines[2], "Received flights queue full (20000 records): 4 oldest records dropped");
}
