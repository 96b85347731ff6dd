#pragma once
// RealTraffic's traffic line: one comma-separated line per datagram, turned into a
// LiveFlightRecord or refused. The parser keeps no state of its own: what it reads from the
// rest of the program comes in a TrafficLineContext, so that it runs the same in the reader,
// the tests and the benchmark.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "feed/feed_inputs.h"
#include "feed/live_flight_record.h"
#include "foundation/geo.h"

// Field indexes of the line; the other fields (6, 15, 16, 18, 19, 21, 22, 24, 26, 27 and
// from 29 on) are not read.
enum TrafficField : size_t {
    FieldKind = 0,
    FieldHexid = 1,
    FieldLatitude = 2,
    FieldLongitude = 3,
    FieldAltitude = 4,
    FieldVerticalSpeed = 5,
    FieldTrack = 7,
    FieldGroundSpeed = 8,
    FieldCallsign = 9,
    FieldAircraftType = 10,
    FieldRegistration = 11,
    FieldOrigin = 12,
    FieldDestination = 13,
    FieldTimestamp = 14,
    FieldMessageType = 17,
    FieldTrueAirspeed = 20,
    FieldRoll = 23,
    FieldTrueHeading = 25,
    FieldCategory = 28,
    TrafficFieldCount = 29,
};

struct TrafficLineContext {
    GeoPos referencePosition;                  // the user aircraft; 0, 0 until first set
    std::optional<double> referenceElevationFt; // the park airport's while its stands are read
    double rangeNm = 40.0;
    bool airborneOnly = false;
    FeedParkAirport parkAirport;
};

// Callsigns seen while the static parking collects them. The worker empties the set and
// raises the flag at the start of a calculation, and clears the flag and takes the set at
// its end; the mutex keeps a reader's insert apart from that.
struct CallsignCollector {
    std::atomic<bool> collecting{false};
    std::mutex seenMutex;
    std::set<std::string, std::less<>> seen; // guarded by seenMutex
};
// More distinct callsigns than any real sky holds within range: a flood stops here.
inline constexpr size_t g_callsignsSeenLimit = 10000;

enum class LineOutcome {
    Accepted, // record holds the flight
    Dropped,  // refused silently: not a flight the program wants
    Refused,  // malformed: error holds the message for "exception in processLineSub: {}"
    Ignored,  // a ground vehicle (" VEH"): not even the timestamp is taken
};

// Parses one datagram. The line's timestamp is stored in g_trafficLastTimestamp as soon
// as it is read and found plausible, even when the line is refused later. record and
// error are overwritten (their capacity is reused from line to line).
LineOutcome gf_parseTrafficLine(std::string_view datagram, const TrafficLineContext& context,
                                CallsignCollector* callsigns, LiveFlightRecord& record, std::string& error);

// "{:.6f},{:.6f}" of a latitude and longitude.
std::string gf_latLonText(double latitude, double longitude);
