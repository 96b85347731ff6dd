#include "feed/traffic_line.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include <fmt/format.h>

#include "feed/datagram_log.h"
#include "foundation/time_text.h"

namespace {

using Fields = std::array<std::string_view, TrafficFieldCount>;

constexpr double kNoLatLon = 0.0001;
constexpr size_t kMaxRegistrationLength = 12;
constexpr double kParkAirportRadiusNm = 5.0;
constexpr double kAirborneOnlyMarginFt = 300.0;
// An aircraft sinking this fast is on its final approach, however near the field it is.
constexpr double kDescendingFpm = -200.0;
// No speed, rate, altitude or angle of a real aircraft comes near this; a larger value
// could only overflow the engine's arithmetic.
constexpr double kMaxMagnitude = 1.0e6;
// For the fields whose own range test follows.
constexpr double kAnyFinite = std::numeric_limits<double>::max();

// Splits at ',' into views, keeping at most the fields the parser reads: the text after
// the last of them is ignored whatever its length. Returns the number of fields found.
size_t lf_splitFields(std::string_view text, Fields& fields)
{
    size_t count = 0;
    const char* p = text.data();
    const char* const end = p + text.size();
    while (count < fields.size()) {
        const auto* comma = static_cast<const char*>(std::memchr(p, ',', static_cast<size_t>(end - p)));
        if (!comma) {
            fields[count++] = std::string_view(p, static_cast<size_t>(end - p));
            break;
        }
        fields[count++] = std::string_view(p, static_cast<size_t>(comma - p));
        p = comma + 1;
    }
    return count;
}

// The field must begin with the number; reading stops at the first character that cannot
// continue it. Not finite, or beyond maxMagnitude, counts as unreadable.
bool lf_readNumber(std::string_view field, double maxMagnitude, double& value)
{
    double v = 0.0;
    const auto [ptr, ec] = std::from_chars(field.data(), field.data() + field.size(), v);
    (void)ptr;
    if (ec != std::errc() || !std::isfinite(v) || !(std::fabs(v) <= maxMagnitude))
        return false;
    value = v;
    return true;
}

bool lf_readNamed(std::string_view name, std::string_view field, double maxMagnitude, double& value,
                  std::string& error)
{
    if (lf_readNumber(field, maxMagnitude, value))
        return true;
    error = fmt::format("{}:{}", name, gf_loggableText(field));
    return false;
}

void lf_nullToEmpty(std::string_view field, std::string& out)
{
    if (field == "null")
        out.clear();
    else
        out.assign(field);
}

bool lf_isNonAircraftType(std::string_view type)
{
    static constexpr std::string_view kTypes[] = {"BALL", "EMER", "GLID", "GRND", "GND",
                                                  "PARA", "SERV", "SHIP", "VENT"};
    for (const auto t : kTypes)
        if (type == t)
            return true;
    return false;
}

bool lf_isRefusedCategory(std::string_view category)
{
    return category == "B1" || category == "B2" || category == "B4" || category == "C1" || category == "C2";
}

// Whether field 25 carries a true heading: "adsb_icao", where a heading that cannot be
// used refuses the line, or the same behind the data-source prefix of newer RealTraffic
// versions ("X_adsb_icao", "F_adsb_icao"), where such a heading is only left out, as for
// every other message type.
enum class HeadingSource { None, AdsbIcao, PrefixedAdsbIcao };

HeadingSource lf_headingSource(std::string_view messageType)
{
    constexpr std::string_view kAdsbIcao = "adsb_icao";
    if (messageType == kAdsbIcao)
        return HeadingSource::AdsbIcao;
    if (messageType.size() < kAdsbIcao.size() + 2 || !messageType.ends_with(kAdsbIcao))
        return HeadingSource::None;
    const std::string_view prefix = messageType.substr(0, messageType.size() - kAdsbIcao.size());
    if (prefix.back() != '_')
        return HeadingSource::None;
    for (size_t i = 0; i + 1 < prefix.size(); ++i) {
        const char c = prefix[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return HeadingSource::None;
    }
    return HeadingSource::PrefixedAdsbIcao;
}

void lf_collectCallsign(CallsignCollector& collector, std::string_view callsign)
{
    if (callsign.empty() || callsign == "null" || callsign.find('@') != std::string_view::npos)
        return;
    std::lock_guard lock(collector.seenMutex);
    if (collector.seen.size() < g_callsignsSeenLimit && collector.seen.find(callsign) == collector.seen.end())
        collector.seen.emplace(callsign);
}

bool lf_parseRegistration(std::string_view field, LiveFlightRecord& record)
{
    if (field.size() > kMaxRegistrationLength)
        return false;
    lf_nullToEmpty(field, record.texts.registration);
    return true;
}

// The ground rules: a low, slow aircraft near the reference elevation that is not
// descending, and any aircraft at walking pace, is on the ground (altitude 0). A light
// aircraft on a 3 degree final is within 84 ft of the field at 60 kt well before the
// threshold: taken as landed there, it would be flown into the ground short of the runway.
bool lf_parseAltitude(std::string_view field, std::string_view datagram, const TrafficLineContext& context,
                      LiveFlightRecord& record, std::string& error)
{
    double altitude = 0.0;
    if (!lf_readNumber(field, kMaxMagnitude, altitude)) {
        error = fmt::format("altitude {} incorrect, from: {}", gf_loggableText(field), gf_loggableText(datagram));
        return false;
    }
    const double gs = record.sample.groundSpeed;
    if (altitude <= 0.0)
        altitude = 0.0;
    if (altitude > 0.0 && altitude < 14000.0 && record.sample.verticalSpeed > kDescendingFpm) {
        const double reference = context.referenceElevationFt.value_or(-1000.0);
        const double d = altitude - reference;
        if (d <= 0.0) {
            altitude = 0.0;
        } else {
            const double ad = std::fabs(d);
            if ((ad <= 42.0 && gs <= 120.0) || (ad <= 84.0 && gs <= 80.0) || (ad <= 108.0 && gs <= 43.0))
                altitude = 0.0;
        }
    }
    if (gs <= 35.0 && altitude > 0.0)
        altitude = 0.0;
    record.sample.altitude = altitude;
    return true;
}

enum class FlightId { Keep, Drop };

FlightId lf_isValidFlightId(std::string_view field, LiveFlightRecord& record)
{
    if (field == "ERARMTR1" || field == "AIRPORT1" || field == "00000000")
        return FlightId::Drop;
    if (field == "null" || field.find('@') != std::string_view::npos)
        record.texts.callsign.clear();
    else
        record.texts.callsign.assign(field);
    return FlightId::Keep;
}

double lf_defaultTrueAirspeed(double altitude)
{
    if (altitude <= 2000.0)
        return 180.0;
    if (altitude <= 5000.0)
        return 220.0;
    if (altitude <= 10000.0)
        return 250.0;
    if (altitude <= 20000.0)
        return 350.0;
    return 430.0;
}

void lf_clearRecord(LiveFlightRecord& record)
{
    FlightTexts& t = record.texts;
    t.airline.clear();
    t.aircraftType.clear();
    t.origin.clear();
    t.destination.clear();
    t.callsign.clear();
    t.secondCallsign.clear();
    t.extraText.clear();
    t.registration.clear();
    t.value = 0;
    record.sample = PosSample{};
    record.timestamp = 0.0;
    record.hexid = 0;
}

LineOutcome lf_processLine(std::string_view datagram, const Fields& f, const TrafficLineContext& context,
                           CallsignCollector* callsigns, LiveFlightRecord& record, std::string& error)
{
    PosSample& s = record.sample;

    double timestamp = 0.0;
    if (!lf_readNamed("timestamp", f[FieldTimestamp], kAnyFinite, timestamp, error))
        return LineOutcome::Refused;
    if (!gf_isPlausibleTimestamp(timestamp)) {
        error = fmt::format("timestamp not plausible:{}", gf_loggableText(f[FieldTimestamp]));
        return LineOutcome::Refused;
    }
    g_trafficLastTimestamp.store(timestamp);
    record.timestamp = timestamp;

    if (!lf_readNamed("lat", f[FieldLatitude], kAnyFinite, s.latitude, error) ||
        !lf_readNamed("lon", f[FieldLongitude], kAnyFinite, s.longitude, error))
        return LineOutcome::Refused;
    const bool latOk = s.latitude >= -90.0 && s.latitude <= 90.0;
    const bool lonOk = s.longitude >= -180.0 && s.longitude <= 180.0;
    if (!latOk || !lonOk || (std::fabs(s.latitude) <= kNoLatLon && std::fabs(s.longitude) <= kNoLatLon)) {
        error = "invalid lalo: " + gf_latLonText(s.latitude, s.longitude);
        return LineOutcome::Refused;
    }
    const GeoPos position{s.latitude, s.longitude};
    if (!(gf_distanceNm(context.referencePosition, position) <= context.rangeNm))
        return LineOutcome::Dropped;

    if (!lf_parseRegistration(f[FieldRegistration], record))
        return LineOutcome::Dropped;

    if (callsigns && callsigns->collecting.load(std::memory_order_relaxed))
        lf_collectCallsign(*callsigns, f[FieldCallsign]);

    const std::string_view type = f[FieldAircraftType];
    if (type == "null" || type == "0" || type == "ZZZZ" || type.empty())
        return LineOutcome::Dropped;
    record.texts.aircraftType.assign(type);
    const std::string_view category = f[FieldCategory];
    if (category != "null" && !category.empty()) {
        if (lf_isRefusedCategory(category) || lf_isNonAircraftType(type))
            return LineOutcome::Dropped;
    }

    if (const HeadingSource source = lf_headingSource(f[FieldMessageType]); source != HeadingSource::None) {
        double heading = -1.0; // a negative heading gives none
        if (source == HeadingSource::AdsbIcao) {
            if (!lf_readNamed("trueheading", f[FieldTrueHeading], kAnyFinite, heading, error))
                return LineOutcome::Refused;
            if (heading > 360.0) {
                error = fmt::format("trueheading: {:.2f}", heading);
                return LineOutcome::Refused;
            }
        } else if (!lf_readNumber(f[FieldTrueHeading], kAnyFinite, heading) || heading > 360.0) {
            heading = -1.0;
        }
        if (heading == 0.0)
            s.trueHeading = g_fullCircle;
        else if (heading > 0.0)
            s.trueHeading = heading * g_degToRad;
        s.trueHeadingGiven = s.trueHeading.has_value();
    }

    const std::string_view hexField = f[FieldHexid];
    uint32_t hexid = 0;
    const auto hex = std::from_chars(hexField.data(), hexField.data() + hexField.size(), hexid, 10);
    if (hex.ec != std::errc()) {
        error = "hexid incorrect" + gf_loggableText(hexField);
        return LineOutcome::Refused;
    }
    if (hexid <= 10000)
        return LineOutcome::Dropped;
    record.hexid = hexid;

    // A negative speed would fly the aircraft backwards along its track, or its samples in
    // no time at all.
    if (!lf_readNamed("gs", f[FieldGroundSpeed], kMaxMagnitude, s.groundSpeed, error))
        return LineOutcome::Refused;
    if (s.groundSpeed < 0.0) {
        error = fmt::format("gs:{}", gf_loggableText(f[FieldGroundSpeed]));
        return LineOutcome::Refused;
    }
    if (!lf_readNamed("vs", f[FieldVerticalSpeed], kMaxMagnitude, s.verticalSpeed, error))
        return LineOutcome::Refused;

    if (!lf_parseAltitude(f[FieldAltitude], datagram, context, record, error))
        return LineOutcome::Refused;
    if (context.airborneOnly) {
        const double elevation = context.parkAirport.set ? context.parkAirport.elevationFt : 0.0;
        if (!(std::fabs(s.altitude - elevation) > kAirborneOnlyMarginFt))
            return LineOutcome::Dropped;
    }
    s.airborne = s.altitude > 0.0;

    if (lf_isValidFlightId(f[FieldCallsign], record) == FlightId::Drop)
        return LineOutcome::Dropped;
    if (record.texts.registration.empty() && record.texts.callsign.empty())
        return LineOutcome::Dropped;

    if (!s.airborne) {
        if (!context.parkAirport.set ||
            !(gf_distanceNm(context.parkAirport.position, position) <= kParkAirportRadiusNm))
            return LineOutcome::Dropped;
    }

    const std::string_view trackField = f[FieldTrack];
    if (trackField.empty()) {
        s.track = 0.0;
    } else if (!lf_readNumber(trackField, kMaxMagnitude, s.track)) {
        error = "track incorrect " + gf_loggableText(trackField);
        return LineOutcome::Refused;
    }
    if (s.track == 0.0 && s.trueHeadingGiven)
        s.track = *s.trueHeading * g_radToDeg;

    lf_nullToEmpty(f[FieldOrigin], record.texts.origin);
    lf_nullToEmpty(f[FieldDestination], record.texts.destination);

    if (s.airborne) {
        double roll = 0.0;
        if (!lf_readNamed("roll", f[FieldRoll], kMaxMagnitude, roll, error))
            return LineOutcome::Refused;
        if (roll != -1.0 && roll != 0.0)
            s.roll = -roll * g_degToRad;
    }

    const std::string_view tasField = f[FieldTrueAirspeed];
    if (!lf_readNumber(tasField, kMaxMagnitude, s.trueAirspeed)) {
        error = "TAS incorrect" + gf_loggableText(tasField);
        return LineOutcome::Refused;
    }
    if (s.trueAirspeed == -1.0)
        s.trueAirspeed = lf_defaultTrueAirspeed(s.altitude);

    s.stationary = false;
    return LineOutcome::Accepted;
}

} // namespace

std::string gf_latLonText(double latitude, double longitude)
{
    return fmt::format("{:.6f},{:.6f}", latitude, longitude);
}

LineOutcome gf_parseTrafficLine(std::string_view datagram, const TrafficLineContext& context,
                                CallsignCollector* callsigns, LiveFlightRecord& record, std::string& error)
{
    error.clear();
    if (datagram.find(" VEH") != std::string_view::npos)
        return LineOutcome::Ignored;
    // A line end would otherwise become part of the last field and slip past its tests.
    while (!datagram.empty() && (datagram.back() == '\n' || datagram.back() == '\r'))
        datagram.remove_suffix(1);

    Fields fields;
    const size_t count = lf_splitFields(datagram, fields);
    if (count < TrafficFieldCount) {
        error = fmt::format("{} field{} where {} are needed: {}", count, count == 1 ? "" : "s",
                            static_cast<size_t>(TrafficFieldCount), gf_loggableText(datagram));
        return LineOutcome::Refused;
    }
    lf_clearRecord(record);
    return lf_processLine(datagram, fields, context, callsigns, record, error);
}
