#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "feed/traffic_line.h"
#include "feed_fixtures.h"
#include "foundation/time_text.h"

using namespace feedtest;

namespace {

constexpr double kDeg = 0.017453292519943295;

// What the parser made of the text: "dropped", "ignored", the message of a refused line, or
// "ok" and the record as " key=value " words, angles back in degrees. One record serves every line,
// as in the reader, so that a value left from an earlier line shows.
std::string lf_result(std::string_view text, const TrafficLineContext& c = context())
{
    static LiveFlightRecord r;
    std::string error;
    switch (gf_parseTrafficLine(text, c, nullptr, r, error)) {
    case LineOutcome::Dropped: return "dropped";
    case LineOutcome::Ignored: return "ignored";
    case LineOutcome::Refused: return error;
    case LineOutcome::Accepted: break;
    }
    const PosSample& s = r.sample;
    EXPECT_EQ(s.trueHeadingGiven, s.trueHeading.has_value()) << text;
    std::string t = fmt::format("ok cs={} reg={} type={} from={} to={} lat={} lon={} alt={} gs={} trk={} vs={} "
                                "tas={} {} ts={} hex={} ",
                                r.texts.callsign, r.texts.registration, r.texts.aircraftType, r.texts.origin,
                                r.texts.destination, s.latitude, s.longitude, s.altitude, s.groundSpeed, s.track,
                                s.verticalSpeed, s.trueAirspeed, s.airborne ? "air" : "ground", r.timestamp, r.hexid);
    if (s.trueHeading)
        t += fmt::format("hdg={:.9g} ", *s.trueHeading / kDeg);
    if (s.roll)
        t += fmt::format("roll={:.9g} ", *s.roll / kDeg);
    return t;
}

} // namespace

TEST(TrafficLine, EachFieldIsTestedAndConvertedAsRealTrafficWritesIt)
{
    struct Row {
        std::string spec; // the fields changed, see makeLine
        // "ok" and the words the record must show ("!hdg": no heading), or the exact result
        // (see lf_result); a message ending "from: " is followed by the whole line.
        std::string expected;
        TrafficLineContext c = context();
    };
    // Contexts: at the park airport with and without a reference elevation, airborne only.
    const TrafficLineContext p1460 = context(40, false, schiphol(), 1460), pNone = context(40, false, schiphol());
    const TrafficLineContext airOnly = context(40, true), airOnly500 = context(40, true, schiphol(500));
    const std::vector<Row> rows = {
        {"", "ok cs=KLM1234 reg=PH-BXA type=B738 from=AMS to=LHR lat=52.35 lon=4.9 alt=3500 gs=180 trk=90.5 "
             "vs=-800 tas=200 air ts=1699999998.5 hex=4840123 hdg=91.5 roll=-5"},
        {"msg=mlat|roll=0|from=null|to=null", "ok !hdg !roll from= to="},
        // Positions near 0, 0 or off the globe.
        {"lat=0.00005|lon=0.00005", "invalid lalo: 0.000050,0.000050"},
        {"lat=90.5|lon=4.76", "invalid lalo: 90.500000,4.760000"},
        {"lat=52|lon=-180.1", "invalid lalo: 52.000000,-180.100000"},
        // Non-finite, oversized or unreadable numbers; numbers end where they cannot go on.
        {"ts=nan", "timestamp:nan"}, {"ts=", "timestamp:"}, {"lat=nan", "lat:nan"}, {"lat=inf", "lat:inf"},
        {"lat=1e999", "lat:1e999"}, {"lat=abc", "lat:abc"}, {"lat= 52", "lat: 52"}, {"lat=+52", "lat:+52"},
        {"lon=-nan", "lon:-nan"}, {"lon=infinity", "lon:infinity"}, {"hdg=nan", "trueheading:nan"},
        {"gs=inf", "gs:inf"}, {"gs=2e6", "gs:2e6"}, {"gs=-5", "gs:-5"}, {"gs=-0.1", "gs:-0.1"},
        {"vs=nan", "vs:nan"}, {"vs=1e999", "vs:1e999"},
        {"roll=-inf", "roll:-inf"}, {"trk=nan", "track incorrect nan"}, {"trk=x1", "track incorrect x1"},
        {"tas=inf", "TAS incorrectinf"}, {"tas=", "TAS incorrect"}, {"hex=ab", "hexid incorrectab"},
        {"hex=-5", "hexid incorrect-5"}, {"hex=4294967296", "hexid incorrect4294967296"},
        {"alt=nan", "altitude nan incorrect, from: "}, {"alt=1e999", "altitude 1e999 incorrect, from: "},
        {"gs=180kt|lat=52.35N", "ok gs=180 lat=52.35"},
        // Timestamps from 2000-01-01 to before 2100-01-01, whatever the PC clock says.
        {"ts=5", "timestamp not plausible:5"}, {"ts=-1e9", "timestamp not plausible:-1e9"},
        {"ts=946684799.5", "timestamp not plausible:946684799.5"}, {"ts=946684800", "ok ts=946684800"},
        {"ts=4102444800", "timestamp not plausible:4102444800"}, {"ts=4102444799", "ok ts=4102444799"},
        {"ts=" + std::to_string(gf_nowSeconds() + 3 * 86400), "ok ts=" + std::to_string(gf_nowSeconds() + 3 * 86400)},
        // Received text in a message is escaped and cut.
        {"lat=" + std::string("\x01\xff", 2) + "x", "lat:\\x01\\xFFx"},
        {"lat=" + std::string(1000, 'z'), "lat:" + std::string(160, 'z') + "... (1000 bytes)"},
        // Aircraft type and category decide what is an aircraft; a line end hides no category.
        {"type=ZZZZ", "dropped"}, {"type=null", "dropped"}, {"type=0", "dropped"}, {"type=", "dropped"},
        {"type=GLID|cat=null", "ok"}, {"type=GLID|cat=", "ok"}, {"type=GLID|cat=A1", "dropped"},
        {"type=GND|cat=A0", "dropped"}, {"cat=B1", "dropped"}, {"cat=B2", "dropped"}, {"cat=B4", "dropped"},
        {"cat=C1", "dropped"}, {"cat=C2", "dropped"}, {"cat=A1", "ok"}, {"cat=B1\r\n", "dropped"},
        {"cat=B1\n", "dropped"},
        // Hexids, registrations and callsigns.
        {"hex=10000", "dropped"}, {"hex=12ab", "dropped"}, {"hex=10001", "ok hex=10001"},
        {"hex=4294967295", "ok hex=4294967295"}, {"reg=ABCDEFGHIJKLM", "dropped"},
        {"reg=ABCDEFGHIJKL|cs=KL@123", "ok reg=ABCDEFGHIJKL cs="}, {"cs=ERARMTR1", "dropped"},
        {"cs=AIRPORT1", "dropped"}, {"cs=00000000", "dropped"}, {"cs=null|reg=null", "dropped"},
        {"cs=KL@123|reg=null", "dropped"}, {"cs=null", "ok cs="}, {"cs=FOLLOWME VEH", "ignored"},
        {"reg=null|cs=KLM\n1234", "ok reg= cs=KLM\n1234"}, // a line break inside a line separates nothing
        // The true heading only from "adsb_icao", also behind a data-source prefix.
        {"hdg=0|trk=", "ok hdg=360 trk=360"}, {"hdg=0|trk=0", "ok trk=360"}, {"hdg=360", "ok hdg=360"},
        {"hdg=90|trk=0|msg=X_adsb_icao", "ok hdg=90 trk=90"}, {"hdg=90|trk=0|msg=F_adsb_icao", "ok hdg=90 trk=90"},
        {"hdg=90|trk=0|msg=mlat_adsb_icao", "ok hdg=90 trk=90"}, {"hdg=abc|msg=adsb_other", "ok !hdg"},
        {"hdg=abc|msg=_adsb_icao", "ok !hdg"}, {"hdg=abc|msg=X1_adsb_icao", "ok !hdg"},
        {"hdg=abc|msg=adsb_icao_X", "ok !hdg"}, {"hdg=abc|msg=Xadsb_icao", "ok !hdg"},
        {"hdg=abc|msg=tisb_icao", "ok !hdg"}, {"hdg=360.004", "trueheading: 360.00"},
        {"hdg=-1|trk=0", "ok !hdg trk=0"},
        // Behind a prefix a heading that cannot be used is left out; the line still counts.
        {"hdg=|trk=0|msg=X_adsb_icao", "ok !hdg trk=0"}, {"hdg=null|msg=X_adsb_icao", "ok !hdg"},
        {"hdg=abc|msg=F_adsb_icao", "ok !hdg"},          {"hdg=nan|msg=mlat_adsb_icao", "ok !hdg"},
        {"hdg=360.004|msg=X_adsb_icao", "ok !hdg"},      {"hdg=-1|msg=X_adsb_icao", "ok !hdg"},
        {"hdg=0|trk=|msg=X_adsb_icao", "ok hdg=360 trk=360"}, {"hdg=", "trueheading:"},
        {"hdg=null", "trueheading:null"},
        // Roll, inverted, only in the air; a missing TAS from the altitude.
        {"roll=-1", "ok !roll"}, {"roll=10", "ok roll=-10"}, {"ground|roll=abc|tas=-1", "ok !roll tas=180", pNone},
        {"tas=-1|alt=2000", "ok tas=180"},  {"tas=-1|alt=2000.5", "ok tas=220"}, {"tas=-1|alt=5000", "ok tas=220"},
        {"tas=-1|alt=10000", "ok tas=250"}, {"tas=-1|alt=20000", "ok tas=350"},  {"tas=-1|alt=35000", "ok tas=430"},
        // Low and slow near the reference elevation, or at walking pace, is on the ground...
        {"ground|alt=1500|gs=100", "ok alt=0 ground", p1460},   {"ground|alt=1500|gs=130", "ok alt=1500 air", p1460},
        {"ground|alt=1544|gs=80", "ok alt=0 ground", p1460},    {"ground|alt=1544.5|gs=80", "ok alt=1544.5", p1460},
        {"ground|alt=1568|gs=43", "ok alt=0 ground", p1460},    {"ground|alt=1568|gs=44", "ok alt=1568 air", p1460},
        {"ground|alt=1502|gs=120", "ok alt=0 ground", p1460},   {"ground|alt=1502|gs=120.5", "ok alt=1502", p1460},
        {"ground|alt=1400|gs=250", "ok alt=0 ground", p1460},   {"ground|alt=500|gs=100", "ok alt=500 air", pNone},
        {"ground|alt=-50|gs=100", "ok alt=0 ground", pNone},
        {"ground|alt=14000|gs=100", "ok alt=14000", context(40, false, schiphol(), 13990)},
        {"ground|alt=30000|gs=30", "ok alt=0 ground", pNone},   {"ground|alt=30000|gs=35.5", "ok alt=30000", pNone},
        // ...unless it descends: a 3 degree final at 62 kt is 50 ft above the field, or below
        // a wrong reference elevation, until it stops sinking.
        {"ground|alt=1510|gs=62|vs=-330", "ok alt=1510 air", p1460},
        {"ground|alt=1400|gs=140|vs=-700", "ok alt=1400 air", p1460},
        {"ground|alt=1510|gs=62|vs=-199", "ok alt=0 ground", p1460},
        {"ground|alt=1510|gs=30|vs=-330", "ok alt=0 ground", p1460},
        // ...and kept only within 5 nm of a park airport.
        {"ground", "dropped"}, {"gs=30|alt=30000", "dropped"},
        {"ground|lat=52.3919|lon=4.7639", "ok ground", pNone}, // 4.998 nm
        {"ground|lat=52.3940|lon=4.7639", "dropped", pNone},   // 5.12 nm
        // Airborne only: more than 300 ft from the park airport's elevation.
        {"alt=250", "dropped", airOnly}, {"alt=301", "ok", airOnly}, {"ground", "ok ground", airOnly500},
        {"alt=800", "dropped", airOnly500},
        // The range; before the user position is known the reference is 0, 0.
        {"lat=53.0|lon=4.7639", "dropped"}, {"lat=53.0|lon=4.7639", "ok", context(42)}, // 41.5 nm
        {"lat=53.0|lon=4.7639", "dropped", context(NAN)}, {"", "dropped", context(40, false, {}, {}, GeoPos{})},
        {"lat=0.0002|lon=0.0", "ok", context(40, false, {}, {}, GeoPos{})},
    };
    for (const Row& row : rows) {
        const Line line = makeLine(row.spec);
        const std::string result = lf_result(line.text(), row.c);
        if (!row.expected.starts_with("ok")) {
            const bool withLine = row.expected.ends_with("from: ");
            EXPECT_EQ(result, withLine ? row.expected + line.text() : row.expected) << row.spec;
            continue;
        }
        for (size_t start = 0, end = 0; start < row.expected.size(); start = end + 1) {
            end = std::min(row.expected.find(' ', start), row.expected.size());
            const std::string word = row.expected.substr(start, end - start);
            const bool absent = word.starts_with('!');
            const std::string wanted = absent ? " " + word.substr(1) + "=" : (start ? " " : "") + word + " ";
            EXPECT_EQ(result.find(wanted) == std::string::npos, absent) << row.spec << ": " << result;
        }
    }
}

TEST(TrafficLine, ShortLinesAreRefusedAndTextBeyondField28IsIgnored)
{
    const std::string text = Line{}.text();
    const std::string shortLine = text.substr(0, text.rfind(','));
    EXPECT_EQ(lf_result(shortLine), "28 fields where 29 are needed: " + shortLine);
    EXPECT_EQ(lf_result(""), "1 field where 29 are needed: ");
    EXPECT_EQ(lf_result(std::string(10000, ',')), "timestamp:");
    EXPECT_TRUE(lf_result(text + std::string(10000, ',')).starts_with("ok "));
    EXPECT_TRUE(lf_result(text + ",extra,fields\r\n").starts_with("ok "));
}

TEST(TrafficLine, OnlyPlausibleTimestampsAreKeptAsTheLastTimestampEvenFromLinesDroppedLater)
{
    g_trafficLastTimestamp = 1.0;
    lf_result(makeLine("ts=5").text());
    EXPECT_EQ(g_trafficLastTimestamp.load(), 1.0);
    lf_result(makeLine().text());
    EXPECT_EQ(g_trafficLastTimestamp.load(), 1699999998.5);
    EXPECT_EQ(lf_result(makeLine("ts=1699999000|hex=10000").text()), "dropped");
    EXPECT_EQ(g_trafficLastTimestamp.load(), 1699999000.0);
    // A ground vehicle's line is not even read.
    EXPECT_EQ(lf_result(makeLine("ts=1699999500|cs=FOLLOWME VEH").text()), "ignored");
    EXPECT_EQ(g_trafficLastTimestamp.load(), 1699999000.0);
}
