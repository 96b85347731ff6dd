#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "feed/traffic_line.h"
#include "feed_fixtures.h"
#include "foundation/time_text.h"

using namespace feedtest;

namespace {

struct Parsed {
    LineOutcome outcome;
    LiveFlightRecord record;
    std::string error;
};

Parsed parseText(std::string_view text, const TrafficLineContext& c = context(), CallsignCollector* cc = nullptr)
{
    Parsed p{};
    p.outcome = gf_parseTrafficLine(text, c, cc, p.record, p.error);
    return p;
}

Parsed parse(const Line& line, const TrafficLineContext& c = context(), CallsignCollector* cc = nullptr)
{
    return parseText(line.text(), c, cc);
}

// A line on the ground at Schiphol: slow and at the park airport's elevation.
Line groundLine()
{
    Line l;
    l[FieldLatitude] = "52.3100";
    l[FieldLongitude] = "4.7700";
    l[FieldAltitude] = "0";
    l[FieldGroundSpeed] = "12";
    return l;
}

TrafficLineContext withPark(double elevationFt = -11.0)
{
    TrafficLineContext c = context();
    c.parkAirport = schiphol(elevationFt);
    return c;
}

void expectRefused(const Line& line, std::string_view message, const TrafficLineContext& c = context())
{
    const Parsed p = parse(line, c);
    EXPECT_EQ(p.outcome, LineOutcome::Refused) << line.text();
    EXPECT_EQ(p.error, message) << line.text();
}

} // namespace

TEST(TrafficLine, AnOrdinaryAirborneLineGivesEveryFieldOfTheRecord)
{
    const Parsed p = parse(Line{});
    ASSERT_EQ(p.outcome, LineOutcome::Accepted) << p.error;
    const LiveFlightRecord& r = p.record;
    EXPECT_EQ(r.texts.airline, "");
    EXPECT_EQ(r.texts.aircraftType, "B738");
    EXPECT_EQ(r.texts.origin, "AMS");
    EXPECT_EQ(r.texts.destination, "LHR");
    EXPECT_EQ(r.texts.callsign, "KLM1234");
    EXPECT_EQ(r.texts.secondCallsign, "");
    EXPECT_EQ(r.texts.registration, "PH-BXA");
    EXPECT_EQ(r.texts.value, 0);
    EXPECT_EQ(r.sample.latitude, 52.35);
    EXPECT_EQ(r.sample.longitude, 4.9);
    EXPECT_EQ(r.sample.altitude, 3500.0);
    EXPECT_EQ(r.sample.groundSpeed, 180.0);
    EXPECT_EQ(r.sample.track, 90.5);
    EXPECT_EQ(r.sample.verticalSpeed, -800.0);
    EXPECT_EQ(r.sample.trueAirspeed, 200.0);
    EXPECT_TRUE(r.sample.airborne);
    EXPECT_FALSE(r.sample.stationary);
    EXPECT_TRUE(r.sample.trueHeadingGiven);
    EXPECT_DOUBLE_EQ(*r.sample.trueHeading, 91.5 * 0.017453292519943295);
    EXPECT_DOUBLE_EQ(*r.sample.roll, -5.0 * 0.017453292519943295);
    EXPECT_EQ(r.timestamp, 1699999998.5);
    EXPECT_EQ(r.hexid, 4840123u);
    EXPECT_EQ(g_trafficLastTimestamp.load(), 1699999998.5);
}

TEST(TrafficLine, PositionsNearZeroZeroOrOutsideTheGlobeAreRefusedWithTheirText)
{
    Line l;
    l[FieldLatitude] = "0.00005";
    l[FieldLongitude] = "0.00005";
    expectRefused(l, "invalid lalo: 0.000050,0.000050");
    l[FieldLatitude] = "90.5";
    l[FieldLongitude] = "4.76";
    expectRefused(l, "invalid lalo: 90.500000,4.760000");
    l[FieldLatitude] = "52";
    l[FieldLongitude] = "-180.1";
    expectRefused(l, "invalid lalo: 52.000000,-180.100000");

    l[FieldLatitude] = "0.0002";
    l[FieldLongitude] = "0.0";
    TrafficLineContext c = context();
    c.referencePosition = GeoPos{};
    EXPECT_EQ(parse(l, c).outcome, LineOutcome::Accepted);
}

TEST(TrafficLine, NonFiniteOrUnreadableNumbersAreRefusedWithTheFieldsNameAndText)
{
    struct Case {
        TrafficField field;
        std::string text;
        std::string message;
    };
    const std::vector<Case> cases = {
        {FieldTimestamp, "nan", "timestamp:nan"},   {FieldTimestamp, "", "timestamp:"},
        {FieldLatitude, "nan", "lat:nan"},          {FieldLatitude, "inf", "lat:inf"},
        {FieldLatitude, "1e999", "lat:1e999"},      {FieldLatitude, "abc", "lat:abc"},
        {FieldLatitude, " 52", "lat: 52"},          {FieldLatitude, "+52", "lat:+52"},
        {FieldLongitude, "-nan", "lon:-nan"},       {FieldLongitude, "infinity", "lon:infinity"},
        {FieldTrueHeading, "nan", "trueheading:nan"}, {FieldGroundSpeed, "inf", "gs:inf"},
        {FieldGroundSpeed, "2e6", "gs:2e6"},        {FieldVerticalSpeed, "nan", "vs:nan"},
        {FieldVerticalSpeed, "1e999", "vs:1e999"},  {FieldRoll, "-inf", "roll:-inf"},
        {FieldTrack, "nan", "track incorrect nan"}, {FieldTrack, "x1", "track incorrect x1"},
        {FieldTrueAirspeed, "inf", "TAS incorrectinf"}, {FieldTrueAirspeed, "", "TAS incorrect"},
        {FieldHexid, "ab", "hexid incorrectab"},    {FieldHexid, "4294967296", "hexid incorrect4294967296"},
        {FieldHexid, "-5", "hexid incorrect-5"},
    };
    for (const Case& c : cases) {
        Line l;
        l[c.field] = c.text;
        expectRefused(l, c.message);
    }
    Line l;
    l[FieldAltitude] = "nan";
    expectRefused(l, "altitude nan incorrect, from: " + l.text());
    l[FieldAltitude] = "1e999";
    expectRefused(l, "altitude 1e999 incorrect, from: " + l.text());
}

TEST(TrafficLine, NumbersAreReadUpToTheFirstCharacterThatCannotContinueThem)
{
    Line l;
    l[FieldGroundSpeed] = "180kt";
    l[FieldLatitude] = "52.35N";
    const Parsed p = parse(l);
    ASSERT_EQ(p.outcome, LineOutcome::Accepted) << p.error;
    EXPECT_EQ(p.record.sample.groundSpeed, 180.0);
    EXPECT_EQ(p.record.sample.latitude, 52.35);
}

TEST(TrafficLine, OnlyFiniteTimestampsOfAPlausibleTimeAreTakenAndKeptAsTheLastTimestamp)
{
    g_trafficLastTimestamp = 1.0;
    Line l;
    l[FieldTimestamp] = "5";
    expectRefused(l, "timestamp not plausible:5");
    l[FieldTimestamp] = std::to_string(kNow + 2 * 86400);
    expectRefused(l, "timestamp not plausible:" + l[FieldTimestamp]);
    EXPECT_EQ(g_trafficLastTimestamp.load(), 1.0);

    // Played-back traffic from years ago is fine.
    l[FieldTimestamp] = "1560000000";
    EXPECT_EQ(parse(l).outcome, LineOutcome::Accepted);
    EXPECT_EQ(g_trafficLastTimestamp.load(), 1560000000.0);

    // A line refused after the timestamp still leaves it; a ground vehicle does not.
    l[FieldTimestamp] = "1699999000";
    l[FieldHexid] = "10000";
    EXPECT_EQ(parse(l).outcome, LineOutcome::Dropped);
    EXPECT_EQ(g_trafficLastTimestamp.load(), 1699999000.0);
    l[FieldTimestamp] = "1699999500";
    l[FieldCallsign] = "FOLLOWME VEH";
    EXPECT_EQ(parse(l).outcome, LineOutcome::Ignored);
    EXPECT_EQ(g_trafficLastTimestamp.load(), 1699999000.0);
}

TEST(TrafficLine, TrafficBeyondTheRangeOrWithARangeThatIsNoNumberIsDropped)
{
    Line l;
    l[FieldLatitude] = "53.0"; // 41.5 nm north of the reference
    l[FieldLongitude] = "4.7639";
    EXPECT_EQ(parse(l).outcome, LineOutcome::Dropped);
    TrafficLineContext c = context();
    c.rangeNm = 42.0;
    EXPECT_EQ(parse(l, c).outcome, LineOutcome::Accepted);
    c.rangeNm = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(parse(l, c).outcome, LineOutcome::Dropped);
    // Before the user position is known the reference is 0, 0.
    EXPECT_EQ(parse(Line{}, TrafficLineContext{.nowSeconds = kNow}).outcome, LineOutcome::Dropped);
}

TEST(TrafficLine, RegistrationsUpTo12CharactersAreKeptAndNullIsEmpty)
{
    Line l;
    l[FieldRegistration] = "ABCDEFGHIJKLM";
    EXPECT_EQ(parse(l).outcome, LineOutcome::Dropped);
    l[FieldRegistration] = "ABCDEFGHIJKL";
    EXPECT_EQ(parse(l).record.texts.registration, "ABCDEFGHIJKL");
    l[FieldRegistration] = "null";
    const Parsed p = parse(l);
    EXPECT_EQ(p.outcome, LineOutcome::Accepted);
    EXPECT_EQ(p.record.texts.registration, "");
}

TEST(TrafficLine, CallsignsAreCollectedWhileAskedEvenFromLinesDroppedLater)
{
    CallsignCollector collector;
    Line l;
    l[FieldHexid] = "10000";
    parse(l, context(), &collector);
    EXPECT_TRUE(collector.seen.empty());
    collector.collecting = true;
    for (const char* callsign : {"KLM1234", "null", "", "A@B", "EZY12"})
        l[FieldCallsign] = callsign, parse(l, context(), &collector);
    EXPECT_EQ(collector.seen, (std::set<std::string, std::less<>>{"EZY12", "KLM1234"}));
}

TEST(TrafficLine, AircraftTypeAndCategoryDecideWhatIsAnAircraft)
{
    struct Case {
        const char* type;
        const char* category;
        LineOutcome outcome;
    };
    const Case cases[] = {
        {"ZZZZ", "A3", LineOutcome::Dropped}, {"null", "A3", LineOutcome::Dropped},
        {"0", "A3", LineOutcome::Dropped},    {"", "A3", LineOutcome::Dropped},
        {"GLID", "null", LineOutcome::Accepted}, {"GLID", "", LineOutcome::Accepted},
        {"GLID", "A1", LineOutcome::Dropped}, {"GND", "A0", LineOutcome::Dropped},
        {"A320", "B1", LineOutcome::Dropped}, {"A320", "B2", LineOutcome::Dropped},
        {"A320", "B4", LineOutcome::Dropped}, {"A320", "C1", LineOutcome::Dropped},
        {"A320", "C2", LineOutcome::Dropped}, {"A320", "A1", LineOutcome::Accepted},
        {"A320", "B1\r\n", LineOutcome::Dropped}, {"A320", "B1\n", LineOutcome::Dropped},
    };
    for (const Case& c : cases) {
        Line l;
        l[FieldAircraftType] = c.type;
        l[FieldCategory] = c.category;
        EXPECT_EQ(parse(l).outcome, c.outcome) << c.type << " " << c.category;
    }
}

TEST(TrafficLine, TheTrueHeadingIsReadOnlyFromAdsbIcaoLinesAlsoBehindADataSourcePrefix)
{
    Line l;
    l[FieldTrueHeading] = "0";
    l[FieldTrack] = "";
    Parsed p = parse(l);
    EXPECT_EQ(*p.record.sample.trueHeading, 6.283185307179586);
    EXPECT_DOUBLE_EQ(p.record.sample.track, 360.0);
    l[FieldTrack] = "0";
    EXPECT_DOUBLE_EQ(parse(l).record.sample.track, 360.0);

    l[FieldTrueHeading] = "90";
    for (const char* type : {"X_adsb_icao", "F_adsb_icao", "mlat_adsb_icao"}) {
        l[FieldMessageType] = type;
        p = parse(l);
        EXPECT_TRUE(p.record.sample.trueHeadingGiven) << type;
        EXPECT_EQ(*p.record.sample.trueHeading, 90 * 0.017453292519943295) << type;
        EXPECT_DOUBLE_EQ(p.record.sample.track, 90.0) << type;
    }
    l[FieldTrueHeading] = "abc";
    for (const char* type : {"adsb_other", "_adsb_icao", "X1_adsb_icao", "adsb_icao_X", "Xadsb_icao", "tisb_icao"}) {
        l[FieldMessageType] = type;
        p = parse(l);
        EXPECT_EQ(p.outcome, LineOutcome::Accepted) << type;
        EXPECT_FALSE(p.record.sample.trueHeadingGiven) << type;
        EXPECT_FALSE(p.record.sample.trueHeading.has_value()) << type;
    }

    l[FieldMessageType] = "adsb_icao";
    l[FieldTrueHeading] = "360";
    EXPECT_EQ(*parse(l).record.sample.trueHeading, 360 * 0.017453292519943295);
    l[FieldTrueHeading] = "360.004";
    expectRefused(l, "trueheading: 360.00");
    l[FieldTrueHeading] = "-1";
    p = parse(l);
    EXPECT_EQ(p.outcome, LineOutcome::Accepted);
    EXPECT_FALSE(p.record.sample.trueHeadingGiven);
    EXPECT_EQ(p.record.sample.track, 0.0);
}

TEST(TrafficLine, HexidsUpTo10000BelongToStaticAircraft)
{
    Line l;
    l[FieldHexid] = "10000";
    EXPECT_EQ(parse(l).outcome, LineOutcome::Dropped);
    l[FieldHexid] = "10001";
    EXPECT_EQ(parse(l).record.hexid, 10001u);
    l[FieldHexid] = "12ab";
    EXPECT_EQ(parse(l).outcome, LineOutcome::Dropped);
    l[FieldHexid] = "4294967295";
    EXPECT_EQ(parse(l).record.hexid, 4294967295u);
}

TEST(TrafficLine, LowSlowAircraftNearTheReferenceElevationAreOnTheGround)
{
    struct Case {
        const char* altitude;
        const char* groundSpeed;
        std::optional<double> reference;
        double expected;
    };
    const Case cases[] = {
        {"1500", "100", 1460.0, 0.0},       {"1500", "130", 1460.0, 1500.0},
        {"1544", "80", 1460.0, 0.0},        {"1544.5", "80", 1460.0, 1544.5},
        {"1568", "43", 1460.0, 0.0},        {"1568", "44", 1460.0, 1568.0},
        {"1502", "120", 1460.0, 0.0},       {"1502", "120.5", 1460.0, 1502.0},
        {"1400", "250", 1460.0, 0.0},       {"14000", "100", 13990.0, 14000.0},
        {"500", "100", std::nullopt, 500.0}, {"-50", "100", std::nullopt, 0.0},
        {"30000", "30", std::nullopt, 0.0}, {"30000", "35.5", std::nullopt, 30000.0},
    };
    for (const Case& c : cases) {
        Line l = groundLine();
        l[FieldAltitude] = c.altitude;
        l[FieldGroundSpeed] = c.groundSpeed;
        TrafficLineContext ctx = withPark();
        ctx.referenceElevationFt = c.reference;
        const Parsed p = parse(l, ctx);
        ASSERT_EQ(p.outcome, LineOutcome::Accepted) << c.altitude << " " << p.error;
        EXPECT_EQ(p.record.sample.altitude, c.expected) << c.altitude << " at " << c.groundSpeed;
        EXPECT_EQ(p.record.sample.airborne, c.expected > 0.0);
    }
}

TEST(TrafficLine, LinesOnTheGroundAreKeptOnlyWithin5NmOfTheParkAirport)
{
    Line l = groundLine();
    EXPECT_EQ(parse(l).outcome, LineOutcome::Dropped);
    EXPECT_EQ(parse(l, withPark()).outcome, LineOutcome::Accepted);
    l[FieldLatitude] = "52.3919"; // 4.998 nm north
    l[FieldLongitude] = "4.7639";
    EXPECT_EQ(parse(l, withPark()).outcome, LineOutcome::Accepted);
    l[FieldLatitude] = "52.3940"; // 5.12 nm
    EXPECT_EQ(parse(l, withPark()).outcome, LineOutcome::Dropped);
    // Slow at cruise altitude counts as on the ground too.
    l = Line{};
    l[FieldGroundSpeed] = "30";
    l[FieldAltitude] = "30000";
    EXPECT_EQ(parse(l).outcome, LineOutcome::Dropped);
}

TEST(TrafficLine, AirborneOnlyKeepsLinesMoreThan300FtFromTheParkAirportsElevation)
{
    TrafficLineContext c = context();
    c.airborneOnly = true;
    Line l;
    l[FieldAltitude] = "250";
    EXPECT_EQ(parse(l, c).outcome, LineOutcome::Dropped);
    l[FieldAltitude] = "301";
    EXPECT_EQ(parse(l, c).outcome, LineOutcome::Accepted);
    // On the ground at a park airport 500 ft high: |0 - 500| > 300.
    c.parkAirport = schiphol(500.0);
    EXPECT_EQ(parse(groundLine(), c).outcome, LineOutcome::Accepted);
    l[FieldAltitude] = "800";
    EXPECT_EQ(parse(l, c).outcome, LineOutcome::Dropped);
}

TEST(TrafficLine, CallsignRulesAndTheNeedForSomeIdentity)
{
    Line l;
    l[FieldCallsign] = "null";
    Parsed p = parse(l);
    EXPECT_EQ(p.outcome, LineOutcome::Accepted);
    EXPECT_EQ(p.record.texts.callsign, "");
    l[FieldCallsign] = "KL@123";
    EXPECT_EQ(parse(l).record.texts.callsign, "");
    l[FieldRegistration] = "null";
    EXPECT_EQ(parse(l).outcome, LineOutcome::Dropped);
    l[FieldRegistration] = "PH-BXA";
    for (const char* callsign : {"ERARMTR1", "AIRPORT1", "00000000"}) {
        l[FieldCallsign] = callsign;
        EXPECT_EQ(parse(l).outcome, LineOutcome::Dropped) << callsign;
    }
}

TEST(TrafficLine, RollIsInvertedInRadiansAndReadOnlyInTheAir)
{
    Line l;
    for (const char* roll : {"-1", "0"}) {
        l[FieldRoll] = roll;
        EXPECT_FALSE(parse(l).record.sample.roll.has_value()) << roll;
    }
    l[FieldRoll] = "10";
    EXPECT_EQ(*parse(l).record.sample.roll, -0.17453292519943295);
    Line g = groundLine();
    g[FieldRoll] = "abc";
    const Parsed p = parse(g, withPark());
    EXPECT_EQ(p.outcome, LineOutcome::Accepted);
    EXPECT_FALSE(p.record.sample.roll.has_value());
}

TEST(TrafficLine, AMissingTrueAirspeedComesFromTheAltitudeTable)
{
    const std::pair<const char*, double> cases[] = {
        {"2000", 180.0}, {"2000.5", 220.0}, {"5000", 220.0}, {"10000", 250.0}, {"20000", 350.0}, {"35000", 430.0}};
    for (const auto& [altitude, tas] : cases) {
        Line l;
        l[FieldTrueAirspeed] = "-1";
        l[FieldAltitude] = altitude;
        EXPECT_EQ(parse(l).record.sample.trueAirspeed, tas) << altitude;
    }
    Line g = groundLine();
    g[FieldTrueAirspeed] = "-1";
    EXPECT_EQ(parse(g, withPark()).record.sample.trueAirspeed, 180.0);
}

TEST(TrafficLine, OriginAndDestinationNullAreEmpty)
{
    Line l;
    l[FieldOrigin] = "null";
    l[FieldDestination] = "null";
    const Parsed p = parse(l);
    EXPECT_EQ(p.record.texts.origin, "");
    EXPECT_EQ(p.record.texts.destination, "");
}

TEST(TrafficLine, ShortLinesAreRefusedAndTextBeyondField28IsIgnored)
{
    Line l;
    std::string text = l.text();
    const std::string shortLine = text.substr(0, text.rfind(','));
    EXPECT_EQ(parseText(shortLine).error, "28 fields where 29 are needed: " + shortLine);
    EXPECT_EQ(parseText("").error, "1 field where 29 are needed: ");
    EXPECT_EQ(parseText(std::string(10000, ',')).error, "timestamp:");
    EXPECT_EQ(parseText(text + std::string(10000, ',')).outcome, LineOutcome::Accepted);
    EXPECT_EQ(parseText(text + ",extra,fields\r\n").outcome, LineOutcome::Accepted);
    // Line breaks inside the line are no separators.
    l[FieldCallsign] = "KLM\n1234";
    EXPECT_EQ(parse(l).record.texts.callsign, "KLM\n1234");
}

TEST(TrafficLine, UnprintableTextIsEscapedAndLongTextCutInTheMessage)
{
    Line l;
    l[FieldLatitude] = std::string("\x01\xff", 2) + "x";
    expectRefused(l, "lat:\\x01\\xFFx");
    l[FieldLatitude] = std::string(1000, 'z');
    const Parsed p = parse(l);
    EXPECT_EQ(p.error, "lat:" + std::string(160, 'z') + "... (1000 bytes)");
}
