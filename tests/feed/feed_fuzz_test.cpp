// A seeded mutation fuzzer of the traffic-line parser: good lines are
// mutated byte- and field-wise, and every accepted record must still be a sane flight.
// TAV_FUZZ_ITERATIONS and TAV_FUZZ_SEED in the environment make longer or other runs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "feed/traffic_line.h"
#include "feed_fixtures.h"
#include "foundation/time_text.h"

using namespace feedtest;

namespace {

uint64_t lf_envNumber(const char* name, uint64_t fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
}

const std::vector<std::string> kTokens = {
    "nan", "inf", "-inf", "1e999", "-1e999", "1e-999", "0", "-0", "", "null", "adsb_icao", "X_adsb_icao",
    " VEH", "\r\n", "4294967296", "10000", "10001", "360", "361", "-1", "ZZZZ", "GLID", "B1", "0x10",
    "99999999999999999999", "1e6", "-1e6", ",,,,", "@", "ERARMTR1", "52.3", "4.76", "1699999990", "A1",
    std::string(40, '9'), std::string("\0\xff", 2)};

std::mt19937_64 g_rng;

size_t below(size_t n)
{
    return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(g_rng);
}

bool chance(size_t percent)
{
    return below(100) < percent;
}

std::string lf_seedLine()
{
    std::string spec = "ts=" + std::to_string(kNow - static_cast<int64_t>(below(100000)));
    if (chance(30))
        spec += "|ground|alt=" + std::to_string(below(200)) + "|gs=" + std::to_string(below(60));
    if (chance(30))
        spec += chance(50) ? "|msg=F_adsb_icao" : "|msg=mlat";
    return makeLine(chance(20) ? spec + "|tas=-1" : spec).text();
}

void lf_mutate(std::string& s)
{
    for (size_t steps = 1 + below(2); steps > 0; --steps) {
        const size_t at = below(s.size() + 1); // s.size() only where inserting
        const size_t in = at < s.size() ? at : 0;
        const std::string& token = kTokens[below(kTokens.size())];
        switch (below(7)) {
        case 0: if (!s.empty()) s[in] ^= static_cast<char>(1u << below(8)); break;
        case 1: if (!s.empty()) s[in] = static_cast<char>(below(256)); break;
        case 2: s.insert(at, token); break;
        case 3: if (!s.empty()) s.erase(in, below(17)); break;
        case 4: { // a random field becomes the token
            size_t field = 0;
            for (size_t skip = below(30); skip > 0 && s.find(',', field) != std::string::npos; --skip)
                field = s.find(',', field) + 1;
            s.replace(field, std::min(s.find(',', field), s.size()) - field, token);
            break;
        }
        case 5: s.resize(at); break;
        case 6: if (s.size() < 8000) s.insert(below(s.size() + 1), s.substr(in, below(64))); break;
        }
    }
}

TrafficLineContext lf_randomContext()
{
    const double rangeNm = chance(10) ? static_cast<double>(below(100)) : 40.0;
    const bool airborneOnly = chance(25);
    const FeedParkAirport park = chance(50) ? schiphol(static_cast<double>(below(3000)) - 100.0) : FeedParkAirport{};
    const auto reference = chance(50) ? std::optional<double>(below(2000)) : std::nullopt;
    return context(rangeNm, airborneOnly, park, reference);
}

// What every accepted record must be, whatever the line was.
void lf_checkRecord(const LiveFlightRecord& r, const TrafficLineContext& c, const std::string& line)
{
    const PosSample& s = r.sample;
    for (const double v : {s.latitude, s.longitude, s.altitude, s.groundSpeed, s.track, s.verticalSpeed,
                           s.trueAirspeed, r.timestamp, s.roll.value_or(0.0)})
        ASSERT_TRUE(std::isfinite(v)) << line;
    ASSERT_TRUE(std::fabs(s.latitude) <= 90.0 && std::fabs(s.longitude) <= 180.0) << line;
    ASSERT_TRUE(s.altitude >= 0.0 && s.airborne == (s.altitude > 0.0)) << line;
    ASSERT_TRUE(r.hexid > 10000 && gf_isPlausibleTimestamp(r.timestamp)) << line;
    ASSERT_EQ(s.trueHeadingGiven, s.trueHeading.has_value()) << line;
    ASSERT_TRUE(!s.trueHeading || (*s.trueHeading > 0.0 && *s.trueHeading <= 6.283185307179586)) << line;
    const FlightTexts& t = r.texts;
    ASSERT_TRUE(t.registration.size() <= 12 && !t.aircraftType.empty() && t.callsign.find('@') == std::string::npos)
        << line;
    ASSERT_FALSE(t.registration.empty() && t.callsign.empty()) << line;
    ASSERT_LE(gf_distanceNm(c.referencePosition, {s.latitude, s.longitude}), c.rangeNm) << line;
    if (!s.airborne) {
        ASSERT_TRUE(c.parkAirport.set) << line;
        ASSERT_LE(gf_distanceNm(c.parkAirport.position, {s.latitude, s.longitude}), 5.0) << line;
    }
}

} // namespace

TEST(FeedFuzz, AMillionMutatedTrafficLinesGiveOnlySaneRecords)
{
    const uint64_t iterations = lf_envNumber("TAV_FUZZ_ITERATIONS", 1000000);
    g_rng.seed(lf_envNumber("TAV_FUZZ_SEED", 20240607));
    LiveFlightRecord record;
    std::string error;
    CallsignCollector collector;
    collector.collecting = true;
    uint64_t counts[4] = {}; // by outcome
    std::string line;
    for (uint64_t i = 0; i < iterations && !testing::Test::HasFatalFailure(); ++i) {
        if (i % 3 == 0 || line.size() > 12000)
            line = lf_seedLine();
        lf_mutate(line);
        const TrafficLineContext c = lf_randomContext();
        const LineOutcome outcome = gf_parseTrafficLine(line, c, &collector, record, error);
        ++counts[static_cast<int>(outcome)];
        if (outcome == LineOutcome::Accepted)
            lf_checkRecord(record, c, line);
        ASSERT_TRUE(outcome != LineOutcome::Refused || (!error.empty() && error.size() < 1200)) << line;
    }
    // The mutations must reach every outcome, or the run proves little.
    for (const uint64_t n : counts)
        EXPECT_GT(n, iterations / 1000);
    EXPECT_LE(collector.seen.size(), g_callsignsSeenLimit);
}
