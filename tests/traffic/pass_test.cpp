#include "feed/feed_fixtures.h"
#include "feed/feed_inputs.h"
#include "feed/traffic_reader.h"
#include "foundation/settings_catalogue.h"
#include "foundation/time_text.h"
#include "parking/park_airports.h"
#include "traffic/engine_fixture.h"

namespace enginetest {
namespace {

struct RangeCalls {
    std::vector<std::pair<uint32_t, int32_t>> requests; // tick, radius
    int userPositions = 0;
};
RangeCalls g_calls;

class PassTest : public EngineTest {
protected:
    PassTest()
    {
        g_calls = {};
        SimLinkCalls c = gf_simLink();
        c.requestAircraftInRange = [](int32_t radius) {
            g_calls.requests.emplace_back(g_trafficTick.load(), radius);
            return true;
        };
        c.requestUserPosition = [] {
            ++g_calls.userPositions;
            return UserState{};
        };
        gf_setSimLinkCalls(c);
    }
    static SimCreateRequest request(const std::string& callsign)
    {
        SimCreateRequest r;
        r.callsign = callsign;
        return r;
    }
    static std::vector<std::string> createQueue()
    {
        std::lock_guard lock(g_simConnectMutex);
        std::vector<std::string> out;
        for (const SimCreateRequest& r : g_createQueue)
            out.push_back(r.callsign);
        g_createQueue.clear();
        return out;
    }
};

TEST_F(PassTest, TickZeroDoesEveryPeriodicStepAndLiveCreationsGoBeforeStaticOnes)
{
    g_staticCreateDeque.push_back(request("STATIC*"));
    g_liveCreateDeque.push_back(request("LIVE1"));
    g_removeDeque = {201, 202, 203};
    runPasses(1);
    EXPECT_EQ(createQueue(), std::vector<std::string>({"LIVE1"}));
    EXPECT_EQ(g_calls.requests.size(), 1u);
    EXPECT_EQ(g_calls.userPositions, 1);
    runPasses(49);
    EXPECT_TRUE(createQueue().empty());
    runPasses(1);
    EXPECT_EQ(createQueue(), std::vector<std::string>({"STATIC*"}));
    std::lock_guard lock(g_simConnectMutex);
    EXPECT_EQ(g_removeQueue, std::vector<uint32_t>({201, 202, 203})); // ticks 0, 10 and 20
}

TEST_F(PassTest, OneRemovalPerTenTicks)
{
    g_removeDeque = {201, 202, 203, 204};
    for (uint32_t tick = 0; tick < 30; ++tick) {
        runPasses(1);
        std::lock_guard lock(g_simConnectMutex);
        EXPECT_EQ(g_removeQueue.size(), tick / 10 + 1) << "tick " << tick;
    }
}

TEST_F(PassTest, TheRangeIsAskedEveryHundredTicksOrTwentyInFastModeWithRangeTimes1852)
{
    RANGE.value = 25;
    g_rangeMetres = 25 * 1852;
    runPasses(201);
    g_fastRangeRequests = true;
    runPasses(40);
    std::vector<uint32_t> ticks;
    for (const auto& [tick, radius] : g_calls.requests) {
        ticks.push_back(tick);
        EXPECT_EQ(radius, 46300);
    }
    EXPECT_EQ(ticks, std::vector<uint32_t>({0, 100, 200, 220, 240}));
    EXPECT_EQ(g_calls.userPositions, 3);
    RANGE.value = RANGE.defaultValue;
    g_rangeMetres = RANGE.defaultValue * 1852;
}

TEST_F(PassTest, TwoRecordsAPassTheRestWait)
{
    g_trafficTick = 1;
    for (uint32_t i = 0; i < 5; ++i)
        g_liveFlights.push_back(record(20000 + i, "KLM" + std::to_string(i), "A320", sample(52, 4, 3000, 200, 5000, true)));
    runPasses(1);
    EXPECT_EQ(g_liveAcs.size(), 2u);
    EXPECT_EQ(g_liveFlights.size(), 3u);
    g_liveFlights.clear();
}

// 300 aircraft reporting once a second through the traffic reader, against the 200 records
// a second the passes take: only the newest record of each aircraft waits.
TEST_F(PassTest, ABacklogKeepsOnlyTheNewestRecordOfEachAircraftAndSaysSoOnce)
{
    {
        std::lock_guard lock(g_liveFlightsMutex);
        g_serviceRunning = true;
    }
    g_trafficReader.setReferencePosition(feedtest::kAmsterdam);
    gf_setTrafficTickSource(&gf_trafficTickNow);
    const int64_t start = gf_nowSeconds() - 60;
    for (int second = 0; second < 5; ++second) {
        for (uint32_t i = 0; i < 300; ++i) {
            const std::string line = feedtest::makeLine(fmt::format("hex={}|cs=KLM{}|reg=|ts={}", 5000000 + i, i,
                                                                    start + 2 * second)).text();
            g_trafficReader.datagram = line;
            g_trafficReader.onDatagram();
        }
        runPasses(100);
    }
    std::lock_guard lock(g_liveFlightsMutex);
    ASSERT_EQ(g_liveFlights.size(), 100u);
    for (size_t i = 0; i < g_liveFlights.size(); ++i)
        EXPECT_EQ(g_liveFlights[i].timestamp, static_cast<double>(start + 8)) << i;
    const std::vector<std::string> lines = log_.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "Received flights wait beyond the intake (300 records): the newest record of an aircraft "
                         "now replaces its waiting one"),
              1);
    g_liveFlights.clear();
    g_serviceRunning = false;
    gf_resetFeedSources();
}

TEST_F(PassTest, ASpawnedAircraftErasedBeforeItsRequestIsDroppedSilently)
{
    g_newAcIds.push_back(30000);
    runPasses(1);
    EXPECT_TRUE(g_newAcIds.empty());
    EXPECT_TRUE(g_liveCreateDeque.empty());
    EXPECT_FALSE(log_.contains("objectid"));
}

// A restart forgets the park airport in the feed as well: the next run's reader neither
// keeps ground lines near the old airport nor reads them against its elevation.
TEST_F(PassTest, TheResetClearsTheFeedsParkAirportAndTheReadersReferenceElevation)
{
    {
        std::lock_guard lock(g_parkAirportsMutex);
        g_parkAirport.code = "EHAM";
        g_parkAirport.lat = 52.3086;
        g_parkAirport.lon = 4.7639;
        g_parkAirport.elevationFt = -11.0;
    }
    gf_publishParkAirport();
    g_trafficReader.setReferenceElevation(-11.0);
    gf_setParkAirportSource(&gf_parkAirportForFeed);
    const TrafficLineContext before = g_trafficReader.lineContext();
    ASSERT_TRUE(before.parkAirport.set);
    ASSERT_EQ(before.referenceElevationFt, std::optional<double>(-11.0));
    gf_resetTrafficState();
    const TrafficLineContext after = g_trafficReader.lineContext();
    EXPECT_FALSE(after.parkAirport.set);
    EXPECT_FALSE(after.referenceElevationFt.has_value());
    gf_resetFeedSources();
}

} // namespace
} // namespace enginetest
