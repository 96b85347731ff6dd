#pragma once
// Traffic lines for the feed's tests, built from a plausible airborne flight near
// Amsterdam: each test changes only the fields it is about.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "feed/traffic_line.h"

namespace feedtest {

inline constexpr int64_t kNow = 1700000000;
inline const GeoPos kAmsterdam{52.3086, 4.7639};

struct Line {
    std::array<std::string, TrafficFieldCount> f{
        "RTTFC", "4840123", "52.3500", "4.9000", "3500", "-800", "0", "90.5", "180", "KLM1234",
        "B738", "PH-BXA", "AMS", "LHR", "1699999998.5", "adsb", "KL1234", "adsb_icao", "3600", "170",
        "200", "0.30", "0", "5.0", "88", "91.5", "-800", "none", "A3"};
    std::string& operator[](size_t i) { return f[i]; }
    std::string text() const { return fmt::format("{}", fmt::join(f, ",")); }
};

// The base line with the fields of spec changed: "lat=52.31|gs=12" (names as below);
// "ground" puts the line on the ground at Schiphol: slow, level and at its elevation.
inline Line makeLine(std::string_view spec = {}, Line l = {})
{
    // RealTraffic's field order, written out here rather than taken from the parser's enum.
    static constexpr std::string_view kNames[TrafficFieldCount] = {
        "", "hex", "lat", "lon", "alt", "vs", "", "trk", "gs", "cs", "type", "reg", "from", "to", "ts",
        "", "", "msg", "", "", "tas", "", "", "roll", "", "hdg", "", "", "cat"};
    while (!spec.empty()) {
        const std::string_view part = spec.substr(0, spec.find('|'));
        spec.remove_prefix(std::min(spec.size(), part.size() + 1));
        if (part == "ground") {
            l = makeLine("lat=52.3100|lon=4.7700|alt=0|gs=12|vs=0", l);
            continue;
        }
        const std::string_view name = part.substr(0, part.find('='));
        const auto* it = std::find(std::begin(kNames), std::end(kNames), name);
        if (name.empty() || it == std::end(kNames) || name.size() == part.size())
            throw std::invalid_argument("bad line spec: " + std::string(part));
        l[static_cast<size_t>(it - std::begin(kNames))] = part.substr(name.size() + 1);
    }
    return l;
}

// A park airport at Schiphol's position.
inline FeedParkAirport schiphol(double elevationFt = -11.0)
{
    return {true, kAmsterdam, elevationFt};
}

inline TrafficLineContext context(double rangeNm = 40.0, bool airborneOnly = false, FeedParkAirport park = {},
                                  std::optional<double> referenceElevationFt = {}, GeoPos reference = kAmsterdam)
{
    return {.referencePosition = reference, .referenceElevationFt = referenceElevationFt, .rangeNm = rangeNm,
            .airborneOnly = airborneOnly, .parkAirport = park};
}

} // namespace feedtest
