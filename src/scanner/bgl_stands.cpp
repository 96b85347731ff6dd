// The stands of one BGL airport: its helipads and taxiway parkings, their ids made unique,
// and the packed texts of the format (idents, parking name codes).
#include <bit>
#include <cmath>
#include <numbers>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/text.h"
#include "parking/airports.h"
#include "scanner/addon_scan.h"
#include "scanner/bgl_format.h"
#include "scanner/scanner_internal.h"

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;
// Radii outside this open range in metres are not plausible stands.
constexpr double kSmallestRadius = 1.0;
constexpr double kLargestRadius = 200.0;
constexpr std::string_view kSuffixes = "abcdefghij";

struct BglPlace {
    double lat;
    double lon;
};

BglPlace lf_place(uint32_t lonWord, uint32_t latWord)
{
    return {90.0 - latWord * bgl::kLatPerUnit, lonWord * bgl::kLonPerUnit - 180.0};
}

bool lf_placeValid(const BglPlace& p)
{
    return p.lat >= -90.0 && p.lat <= 90.0 && p.lon >= -180.0 && p.lon <= 180.0 &&
           !(std::abs(p.lat) <= 0.0001 && std::abs(p.lon) <= 0.0001);
}

std::string lf_placeText(const BglPlace& p)
{
    return fmt::format("{:.6f},{:.6f}", p.lat, p.lon);
}

float lf_float(uint32_t word)
{
    return std::bit_cast<float>(word);
}

bool lf_radiusPlausible(double metres)
{
    return metres > kSmallestRadius && metres < kLargestRadius;
}

void lf_logRadius(double metres, const std::string& bglText)
{
    gf_addToScanLog(fmt::format("Skipped position with radius {:.1F} m in {}", metres, bglText));
}

// Degrees to radians in (0, 2 pi]: north is 2 pi, never 0.
double lf_headingRadians(double degrees)
{
    double d = std::fmod(degrees, 360.0);
    if (d < 0.0)
        d += 360.0;
    return d == 0.0 ? 2.0 * std::numbers::pi : d * kDegToRad;
}

} // namespace

void lf_decodeHelipads(uint64_t index, uint64_t end, BglWords words, ApfContent& airport, BglAirportState& state,
                       const std::string& bglText)
{
    if (index + bgl::kHelipadWords > end) {
        if (ScanFileLines::admit())
            gf_logErrorLine("   Warning: helipad at o3 = {} passes the end of its record, skipped", index);
        return;
    }
    const BglPlace p = lf_place(words[index + bgl::kHelipadLon], words[index + bgl::kHelipadLat]);
    if (!lf_placeValid(p)) {
        gf_addToScanLog("lat/lon helipad incorrect (skipped): " + lf_placeText(p));
        return;
    }
    const double radius = 0.5 * lf_float(words[index + bgl::kHelipadWidth]);
    if (!lf_radiusPlausible(radius)) {
        lf_logRadius(radius, bglText);
        return;
    }
    const float heading = lf_float(words[index + bgl::kHelipadHeading]);
    if (!std::isfinite(heading)) {
        gf_addToScanLog(fmt::format("Skipped helipad at {} with a heading that is not a number in {}",
                                    lf_placeText(p), bglText));
        return;
    }
    for (const auto& [lat, lon] : state.helipads) {
        if (std::abs(lat - p.lat) < 1e-8 && std::abs(lon - p.lon) < 1e-8) {
            gf_addToScanLog("double helipad " + airport.airportName + " (skipped) " + lf_placeText(p));
            return;
        }
    }
    state.helipads.emplace_back(p.lat, p.lon);
    airport.stands.emplace_back(fmt::format("helipad{}", state.nextHelipad), std::vector<StandFlight>{},
                                StandPlace{p.lat, p.lon, lf_headingRadians(heading)}, radius, true, true, false);
    ++state.nextHelipad;
}

void lf_decodeTaxiParkings(uint64_t index, uint64_t end, BglWords words, ApfContent& airport,
                           BglAirportState& state, bool ab, const std::string& bglText)
{
    if (index + bgl::kParkingCountWord >= end)
        return;
    const uint32_t count = words[index + bgl::kParkingCountWord] >> 16;
    uint64_t e = index + bgl::kParkingFirstEntry;
    for (uint32_t i = 0; i < count; ++i) {
        lf_countBglStep();
        if (e + bgl::kParkingWords > end) {
            if (ScanFileLines::admit())
                gf_logErrorLine(
                    "   Warning: parking {} of {} at o3 = {} passes the end of its record, the rest skipped", i + 1,
                    count, index);
            return;
        }
        const uint32_t packed = words[e];
        const uint64_t next = e + bgl::kParkingWords + (packed >> 24) + (ab ? bgl::kParkingAbExtraWords : 0);
        const double radius = lf_float(words[e + bgl::kParkingRadius]);
        const float heading = lf_float(words[e + bgl::kParkingHeading]);
        const BglPlace p = lf_place(words[e + bgl::kParkingLon], words[e + bgl::kParkingLat]);
        e = next;
        if (!lf_radiusPlausible(radius)) {
            lf_logRadius(radius, bglText);
            continue;
        }
        const std::string id = gf_bglParkingPrefix(packed & 0x3F) + std::to_string((packed >> 12) & 0xFFF);
        const uint32_t type = (packed >> 8) & 0xF;
        if (type == 0 || type > 11)
            continue;
        if (!lf_placeValid(p)) {
            gf_addToScanLog(fmt::format("LatLon {} invalid (skipped)", lf_placeText(p)));
            continue;
        }
        if (!std::isfinite(heading)) {
            gf_addToScanLog(fmt::format("Skipped position {} with a heading that is not a number in {}", id, bglText));
            continue;
        }
        std::optional<std::string> unique = lf_uniqueStandIds(id, state.usedIds, bglText);
        if (!unique)
            continue;
        airport.stands.emplace_back(std::move(*unique), std::vector<StandFlight>{},
                                    StandPlace{p.lat, p.lon, lf_headingRadians(heading)}, radius, type != 5,
                                    type >= 8, true);
    }
}

std::optional<std::string> lf_uniqueStandIds(const std::string& id, std::set<std::string>& usedIds,
                                             const std::string& bglText)
{
    if (usedIds.insert(id).second)
        return id;
    for (const char suffix : kSuffixes) {
        std::string candidate = id + suffix;
        if (usedIds.insert(candidate).second)
            return candidate;
    }
    gf_addToScanLog(fmt::format("{}Warning: more than 10 duplicate IDs {} in {}", "===> ", id, bglText));
    return std::nullopt;
}

std::string gf_bglParkingPrefix(uint32_t code)
{
    static constexpr std::array<std::string_view, 12> kPrefixes{"",   "r",   "p",  "np",  "ep", "sep",
                                                                 "sp", "swp", "wp", "nwp", "g",  ""};
    if (code < kPrefixes.size())
        return std::string(kPrefixes[code]);
    if (code < 64)
        return std::string(1, static_cast<char>(code + 53));
    return {};
}

std::pair<std::string, bool> lf_decodeBglIdent(uint32_t value)
{
    if (value <= 31)
        return {" ", false};
    uint32_t v = value >> 5;
    std::string reversed;
    bool valid = true;
    while (v != 0) {
        if (reversed.size() == 10) {
            valid = false;
            break;
        }
        const uint32_t digit = v % 38;
        v /= 38;
        if (digit == 0) {
            reversed += ' ';
            valid = false;
        } else if (digit == 1) {
            reversed += '?';
            valid = false;
        } else if (digit < 12) {
            reversed += static_cast<char>('0' + digit - 2);
        } else {
            reversed += static_cast<char>('A' + digit - 12);
        }
    }
    return {std::string(reversed.rbegin(), reversed.rend()), valid};
}

std::pair<std::string, bool> lf_isSupportedAirport(std::string ident)
{
    ident = gf_toUpperAscii(std::move(ident));
    if (ident.size() != 4)
        return {std::move(ident), false};
    if (gf_isKnownAirportCode(ident))
        return {std::move(ident), true};
    gf_addToScanLog(fmt::format("{} is not an airport supported by RealTraffic ", ident));
    return {std::move(ident), false};
}
