#pragma once
// One accepted traffic line as the reader hands it to the traffic engine. The engine keeps
// the position part (PosSample) per aircraft, so the field order here is the engine's too.
#include <cstdint>
#include <optional>
#include <string>

struct FlightTexts {
    std::string airline;        // empty from the feed; the engine fills it
    std::string aircraftType;
    std::string origin;
    std::string destination;
    std::string callsign;
    std::string secondCallsign; // empty from the feed
    std::string extraText;      // empty from the feed
    std::string registration;
    uint8_t value = 0;          // 0 in every received flight
};

struct PosSample {
    double latitude = 0.0;      // degrees
    double longitude = 0.0;     // degrees
    double altitude = 0.0;      // feet, 0 on the ground
    double groundSpeed = 0.0;   // knots
    double track = 0.0;         // degrees as received
    double verticalSpeed = 0.0; // feet per minute
    double trueAirspeed = 0.0;  // knots
    uint32_t dueTick = 0;       // traffic tick from which the engine may use the sample
    uint32_t waitedTicks = 0;   // set by the engine: how long it put the sample off for the aircraft
    // Set by the engine on a report at rest: the latest time a report of its stop showed the
    // aircraft standing (its own, put back to when the stop began, or a later one taken for a
    // repeat of it); 0: none but its own due tick.
    uint32_t stillUntilTick = 0;
    bool airborne = false;
    bool stationary = false;    // set by the engine
    bool trueHeadingGiven = false;
    std::optional<double> roll;        // radians, the sign inverted against the line
    std::optional<double> trueHeading; // radians in (0, 2 pi]
};

struct LiveFlightRecord {
    FlightTexts texts;
    PosSample sample;
    double timestamp = 0.0; // seconds since 1970
    uint32_t hexid = 0;     // above 10000: ids up to 10000 belong to static aircraft
};
