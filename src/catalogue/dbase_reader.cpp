#include <algorithm>
#include <cmath>
#include <stdexcept>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "catalogue/dbase.h"
#include "foundation/file_meta.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/user_error.h"
#include "foundation/xml_helpers.h"
#include "update/data_file_decrypt.h"

namespace fs = std::filesystem;

std::array<CodeSet, g_typeSetCount> g_typeSets;
std::vector<std::vector<std::string>> g_similarTypeGroups;
CodeSet g_icaoAirlines;
CodeSet g_cargoOperators;
std::vector<std::vector<std::string>> g_publisherGroups;
std::map<std::string, double, std::less<>> g_halfWingspans;
std::array<double, g_typeCategoryCount> g_categoryHalfSpans{};
double g_maxHalfWingspan = 0.0;
TextHashMap<std::string> g_typeFixes;
CodeSet g_simAddonAirports;
std::vector<ThirdPartyScenery> g_thirdPartySceneries;
RegistrationTable g_dbaseRecords;
std::vector<std::string> g_shortRegKeys;

namespace {

constexpr double kMetresPerNm = 1852.0;
constexpr size_t kShortKeyBytes = 6;

// A failed read must not leave tables that the next read appends to.
void lf_clearTables()
{
    for (CodeSet& set : g_typeSets)
        set.clear();
    g_similarTypeGroups.clear();
    g_icaoAirlines.clear();
    g_cargoOperators.clear();
    g_publisherGroups.clear();
    g_halfWingspans.clear();
    g_categoryHalfSpans.fill(0.0);
    g_maxHalfWingspan = 0.0;
    g_typeFixes.clear();
    g_simAddonAirports.clear();
    g_thirdPartySceneries.clear();
    g_dbaseRecords.clear();
    g_shortRegKeys.clear();
}

void lf_readXmlListSection(const pugi::xml_node& doc, const char* section, CodeSet& target, const char* element,
                           const char* attribute)
{
    for (const pugi::xml_node entry : gf_xmlChildOfRoot(doc, section).children(element)) {
        for (std::string& piece : gf_splitTrim(entry.attribute(attribute).as_string()))
            target.insert(std::move(piece));
    }
    if (target.empty())
        throw tav::UserErrorException(
            61, fmt::format("In XML file section [{}], element [{}], attribute [{}] is empty.", section, element,
                            attribute));
}

void lf_readTypeListSection(const pugi::xml_node& doc, const char* section, TypeSet target, const char* element)
{
    lf_readXmlListSection(doc, section, gf_typeSet(target), element, "types");
}

void lf_readCodeListSection(const pugi::xml_node& doc, const char* section, CodeSet& target)
{
    lf_readXmlListSection(doc, section, target, "ICAO", "codes");
}

void lf_readSimilarTypes(const pugi::xml_node& doc)
{
    g_similarTypeGroups.reserve(64);
    for (const pugi::xml_node entry : gf_xmlChildOfRoot(doc, "similar_types").children("similar")) {
        std::vector<std::string> group = gf_splitTrim(entry.attribute("types").as_string());
        std::sort(group.begin(), group.end());
        g_similarTypeGroups.push_back(std::move(group));
    }
}

void lf_readPublishers(const pugi::xml_node& doc)
{
    g_publisherGroups.reserve(640);
    std::vector<std::string> texts;
    for (const pugi::xml_node entry : gf_xmlChildOfRoot(doc, "publishers").children("pub"))
        texts.emplace_back(entry.attribute("names").as_string());
    std::sort(texts.begin(), texts.end());
    texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
    for (const std::string& text : texts)
        g_publisherGroups.push_back(gf_splitTrim(text));
    gf_logLine("{} publishers read", gf_publisherGroupCount());
}

// A category without spans gets the mean of all spans rather than 0 / 0.
void lf_computeCategoryMeans()
{
    if (g_halfWingspans.empty())
        return;
    std::array<double, g_typeCategoryCount> sums{};
    std::array<size_t, g_typeCategoryCount> counts{};
    double total = 0.0;
    for (const auto& [type, halfSpan] : g_halfWingspans) {
        const auto c = static_cast<size_t>(gf_typeCategory(type));
        sums[c] += halfSpan;
        ++counts[c];
        total += halfSpan;
    }
    const double meanOfAll = total / static_cast<double>(g_halfWingspans.size());
    for (size_t c = 0; c < sums.size(); ++c)
        g_categoryHalfSpans[c] = counts[c] > 0 ? sums[c] / static_cast<double>(counts[c]) : meanOfAll;
}

void lf_readWingspans(const pugi::xml_node& doc)
{
    for (const pugi::xml_node entry : gf_xmlChildOfRoot(doc, "wingspans").children("wingspan")) {
        const std::string type = entry.attribute("type").as_string();
        if (!gf_isKnownType(type)) {
            gf_logErrorLine("wingspan model {} is not valid, skipped", type);
            continue;
        }
        // A span of 0 (no "meters") would beat the category mean; NaN would poison it.
        const double metres = entry.attribute("meters").as_double();
        if (!std::isfinite(metres) || metres <= 0.0) {
            gf_logErrorLine("wingspan of model {} is not a positive number of meters: '{}', skipped", type,
                            entry.attribute("meters").as_string());
            continue;
        }
        const double halfSpan = metres * 0.5 / kMetresPerNm;
        g_halfWingspans.emplace(type, halfSpan);
        g_maxHalfWingspan = std::max(g_maxHalfWingspan, halfSpan);
    }
    lf_computeCategoryMeans();
}

void lf_readFixes(const pugi::xml_node& doc)
{
    for (const pugi::xml_node entry : gf_xmlChildOfRoot(doc, "fixes").children("fx")) {
        std::string wrong = entry.attribute("wro").as_string();
        std::string correct = entry.attribute("cor").as_string();
        if (!gf_isKnownType(correct)) {
            gf_logErrorLine("wrong fix {} -> {}, the latter is not valid", wrong, correct);
            continue;
        }
        if (g_typeFixes.contains(wrong))
            gf_logErrorLine("wrong part of fix: '{}', already exists, skipped", wrong);
        else
            g_typeFixes.emplace(std::move(wrong), std::move(correct));
    }
}

void lf_readThirdParties(const pugi::xml_node& doc)
{
    if (g_thirdPartySceneries.capacity() < 200)
        g_thirdPartySceneries.reserve(200);
    for (const pugi::xml_node entry : gf_xmlChildOfRoot(doc, "thirdpartiesP3D").children("thirdpartieP3D"))
        g_thirdPartySceneries.push_back(
            {entry.attribute("pub").as_string(), gf_splitTrim(entry.attribute("arpts").as_string())});
}

void lf_readRecords(const pugi::xml_node& doc)
{
    const pugi::xml_node section = gf_xmlChildOfRoot(doc, "dbase");
    const auto elements = section.children("db");
    g_dbaseRecords.reserve(static_cast<size_t>(std::distance(elements.begin(), elements.end())));
    // The index lines of the records a few elements ahead are fetched while this one is added.
    pugi::xml_node ahead = section.child("db");
    for (int i = 0; i < 8 && ahead; ++i)
        ahead = ahead.next_sibling("db");
    for (const pugi::xml_node entry : elements) {
        if (ahead) {
            g_dbaseRecords.prefetch(ahead.attribute("reg").as_string());
            ahead = ahead.next_sibling("db");
        }
        const std::string_view reg = entry.attribute("reg").as_string();
        // The empty key would be found in every title by the short-key search.
        if (reg.empty()) {
            gf_logErrorLine("regcode of a dbase record is empty, skipped: airl '{}', type '{}'",
                            entry.attribute("airl").as_string(), entry.attribute("type").as_string());
            continue;
        }
        const auto [record, added] = g_dbaseRecords.tryEmplace(reg);
        if (!added) {
            gf_logErrorLine("regcode {} already exists", reg);
            continue;
        }
        record->airl = entry.attribute("airl").as_string();
        record->type = entry.attribute("type").as_string();
        record->opr = entry.attribute("opr").as_string();
        record->cargo = entry.attribute("cargo").as_bool();
        if (reg.size() < kShortKeyBytes)
            g_shortRegKeys.emplace_back(reg);
    }
    std::sort(g_shortRegKeys.begin(), g_shortRegKeys.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() > b.size() : a < b;
    });
}

} // namespace

size_t gf_publisherGroupCount()
{
    return g_publisherGroups.size();
}

bool gf_readDbase()
{
    lf_clearTables();
    const ProgramPaths& paths = gf_paths();
    if (!fs::exists(paths.dbaseEnc))
        throw std::runtime_error(fmt::format("{} not available", gf_pathToUtf8(paths.dbaseEnc)));
    if (!gf_streamDecrypt(paths.dbaseEnc, paths.dbaseXml))
        throw std::runtime_error(fmt::format("{} stream decrypt failed", gf_pathToUtf8(paths.dbaseEnc)));
    const PlainFileRemover removePlain{paths.dbaseXml};

    pugi::xml_document doc;
    if (const pugi::xml_parse_result result = gf_loadXmlFile(doc, paths.dbaseXml); !result) {
        gf_logErrorLine("'{}' not read because of {}", gf_pathToUtf8(paths.dbaseXml), result.description());
        return false;
    }
    lf_readTypeListSection(doc, "aircrafts", TypeSet::Known, "aircraft");
    lf_readTypeListSection(doc, "high_performance", TypeSet::HighPerformance, "hpf");
    lf_readTypeListSection(doc, "heavy", TypeSet::Heavy, "hvy");
    lf_readTypeListSection(doc, "large", TypeSet::Large, "lar");
    lf_readTypeListSection(doc, "buzjet", TypeSet::Buzjet, "bzj");
    lf_readTypeListSection(doc, "rotorcraft", TypeSet::Rotorcraft, "rot");
    lf_readTypeListSection(doc, "cargo_types", TypeSet::Cargo, "cargo_type");
    lf_readSimilarTypes(doc);
    lf_readCodeListSection(doc, "ICAO_airlines", g_icaoAirlines);
    lf_readCodeListSection(doc, "cargo_operators", g_cargoOperators);
    lf_readPublishers(doc);
    lf_readWingspans(doc);
    lf_readFixes(doc);
    lf_readXmlListSection(doc, "simaddonsP3D", g_simAddonAirports, "simaddonP3D", "arpts");
    lf_readThirdParties(doc);
    lf_readRecords(doc);
    gf_logLine("{} dbase records read", g_dbaseRecords.size());
    gf_flushLog();
    return true;
}
