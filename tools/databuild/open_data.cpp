#include "databuild/open_data.h"

#include <fstream>
#include <stdexcept>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "foundation/text.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace databuild {
namespace {

json lf_readJson(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error(fmt::format("cannot open {} (run scripts/setup.sh, which runs npm ci in tools/)",
                                             gf_pathToUtf8(file)));
    try {
        json rows = json::parse(in);
        if (!rows.is_array())
            throw std::runtime_error("not a JSON array");
        return rows;
    } catch (const std::exception& e) {
        throw std::runtime_error(fmt::format("{}: {}", gf_pathToUtf8(file), e.what()));
    }
}

bool lf_isCode(const json& value, size_t length, bool digitsToo)
{
    if (!value.is_string())
        return false;
    const auto& text = value.get_ref<const std::string&>();
    if (text.size() != length)
        return false;
    for (const char c : text) {
        if (!((c >= 'A' && c <= 'Z') || (digitsToo && c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

double lf_number(const json& row, const char* name, const fs::path& file)
{
    const auto it = row.find(name);
    if (it == row.end() || !it->is_number())
        throw std::runtime_error(fmt::format("{}: airport {} has no number \"{}\"", gf_pathToUtf8(file),
                                             row.value("icao", std::string("?")), name));
    return it->get<double>();
}

} // namespace

fs::path nodeModulesFolder(const fs::path& toolsFolder)
{
    return toolsFolder / "node_modules";
}

std::vector<OpenAirport> readOpenAirports(const fs::path& airportsJson)
{
    std::vector<OpenAirport> airports;
    for (const json& row : lf_readJson(airportsJson)) {
        if (!row.is_object() || !lf_isCode(row.value("icao", json()), 4, true))
            continue;
        const json iata = row.value("iata", json());
        airports.push_back({row["icao"].get<std::string>(), lf_isCode(iata, 3, true) ? iata.get<std::string>() : "",
                            lf_number(row, "latitude", airportsJson), lf_number(row, "longitude", airportsJson),
                            lf_number(row, "altitude", airportsJson)});
    }
    return airports;
}

std::vector<OpenAirline> readOpenAirlines(const fs::path& airlinesJson)
{
    std::vector<OpenAirline> airlines;
    for (const json& row : lf_readJson(airlinesJson)) {
        if (!row.is_object() || !lf_isCode(row.value("icao", json()), 3, false))
            continue;
        const json country = row.value("country", json());
        const json active = row.value("active", json());
        airlines.push_back({row["icao"].get<std::string>(), country.is_string() ? country.get<std::string>() : "",
                            active.is_string() && gf_toUpperAscii(active.get<std::string>()) == "Y"});
    }
    return airlines;
}

} // namespace databuild
