#include "parking/airports.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "foundation/file_meta.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "foundation/user_error.h"
#include "foundation/xml_helpers.h"
#include "parking/airports_internal.h"
#include "parking/closest_stand.h"
#include "update/data_file_decrypt.h"

std::vector<Airport> g_airports;
TextHashSet g_airportCodes;

namespace {

constexpr size_t kReservedAirports = 15000;
constexpr double kReachNm = 5.0;
constexpr double kNoStandNm = 100.0;

bool g_airportsRead = false;

std::string lf_formatReadAirportsError(std::string_view text)
{
    return fmt::format("{} exception : {}", "gf_readAirports", text);
}

void lf_readAirport(const pugi::xml_node& element, const std::string& code)
{
    if (!element.attribute("lat") || !element.attribute("lon")) {
        gf_logErrorLine("Missing latLons for airport '{}'", code);
        return;
    }
    if (!element.attribute("alt")) {
        gf_logErrorLine("Missing alt for airport '{}'", code);
        return;
    }
    if (!element.attribute("stands"))
        gf_logErrorLine("Missing stands for airport '{}'", code);
    if (!element.attribute("iata")) {
        gf_logErrorLine("Missing IATA for airport '{}'", code);
        return;
    }
    try {
        Airport airport{code,
                        element.attribute("iata").as_string(),
                        element.attribute("lat").as_double(),
                        element.attribute("lon").as_double(),
                        element.attribute("alt").as_double(),
                        element.attribute("stands").as_int()};
        // "nan" converts; such an airport would never be found by position.
        if (!(std::abs(airport.lat) <= 90.0 && std::abs(airport.lon) <= 180.0 && std::isfinite(airport.alt)))
            throw std::runtime_error(fmt::format("position {}, {}, {} ft out of range", airport.lat, airport.lon,
                                                 airport.alt));
        g_airports.push_back(std::move(airport));
        g_airportCodes.insert(code);
    } catch (const std::exception& e) {
        gf_logErrorLine("Error parsing coordinates for airport '{}': {}", code, e.what());
    }
}

void lf_readAirportsXml(const std::filesystem::path& path)
{
    pugi::xml_document doc;
    if (const pugi::xml_parse_result result = gf_loadXmlFile(doc, path); !result)
        throw std::runtime_error(gf_pathToUtf8(path) + " not loaded: " + result.description());
    const pugi::xml_node airports = gf_xmlChildOfRoot(doc, "airports");
    if (!airports)
        throw std::runtime_error("Missing <airports> root in: " + gf_pathToUtf8(path));
    for (const pugi::xml_node element : airports.children("airport"))
        lf_readAirport(element, element.attribute("code").as_string());
    // Stable, so that of two rows of one code the first in the file is found.
    std::stable_sort(g_airports.begin(), g_airports.end(),
                     [](const Airport& a, const Airport& b) { return a.code < b.code; });
    gf_logLine("{} airports read", g_airports.size());
}

} // namespace

void lf_forgetAirports()
{
    g_airports.clear();
    g_airportCodes.clear();
    g_airportsRead = false;
}

bool gf_readAirports()
{
    if (g_airportsRead)
        return !g_airports.empty();
    // Rows of a failed read must not stay for the next one to append to.
    lf_forgetAirports();
    const ProgramPaths& paths = gf_paths();
    try {
        gf_streamDecrypt(paths.airportsEnc, paths.airportsXml);
    } catch (const std::exception& e) {
        gf_logErrorLine(lf_formatReadAirportsError(e.what()));
        throw;
    }
    const PlainFileRemover removePlain{paths.airportsXml};
    if (g_airports.capacity() < kReservedAirports)
        g_airports.reserve(kReservedAirports);
    try {
        lf_readAirportsXml(paths.airportsXml);
    } catch (const std::exception& e) {
        lf_forgetAirports();
        throw tav::UserErrorException(88, e.what());
    }
    g_airports.shrink_to_fit();
    g_airportsRead = true;
    return !g_airports.empty();
}

const Airport* gf_findAirport(std::string_view code)
{
    const auto it = std::lower_bound(g_airports.begin(), g_airports.end(), code,
                                     [](const Airport& a, std::string_view c) { return a.code < c; });
    return it != g_airports.end() && it->code == code ? &*it : nullptr;
}

bool gf_isKnownAirportCode(std::string_view code)
{
    return g_airportCodes.contains(code);
}

std::string gf_airportLabel(const Airport& airport)
{
    std::string label = airport.code.empty() ? std::string("?") : airport.code;
    if (!airport.iata.empty())
        label += fmt::format(" ({})", airport.iata);
    return label;
}

const Airport* lf_closestAirport(const GeoPos& position, const StandDistanceFn& standDistance)
{
    double best = kNoStandNm;
    const Airport* closest = nullptr;
    const Airport* neighbour = nullptr;
    for (const Airport& airport : g_airports) {
        // A degree of latitude is 60 nm on our sphere and no great circle is shorter:
        // most airports are passed over without the trigonometry.
        if (std::abs(airport.lat - position.latitude) * 60.0 > kReachNm + 1e-6)
            continue;
        const double d = gf_distanceNm(position, {airport.lat, airport.lon});
        if (d <= kReachNm && d < best) {
            best = d;
            if (closest)
                neighbour = closest;
            closest = &airport;
        }
    }
    if (!closest || !neighbour)
        return closest;
    gf_logLine("Airport {} is closest, neighbour is {}", closest->code, neighbour->code);
    std::string closestStand;
    std::string neighbourStand;
    const double s1 = standDistance(closest->code, position, closestStand);
    const double s2 = standDistance(neighbour->code, position, neighbourStand);
    if (s2 >= s1)
        return closest;
    gf_logLine("Airport {} is closest, but stand {} at neighbouring airport {} is closer at {:.0F} meters ...",
               closest->code, neighbourStand, neighbour->code, s2 * 1852.0);
    return neighbour;
}

const Airport* gf_closestAirport(const GeoPos& position)
{
    return lf_closestAirport(position, gf_readDestApfForClosestStand);
}
