#include <gtest/gtest.h>

#include <algorithm>

#include <fmt/format.h>

#include "catalogue/livery_tables_internal.h"
#include "catalogue/similar_types.h"
#include "livery_tables_fixture.h"
#include "foundation/settings_fixture.h"

using namespace liverytables;

namespace {

std::string listText(const std::vector<std::string_view>& titles)
{
    return fmt::format("{}", fmt::join(titles, "|"));
}

std::string listText(const std::vector<std::string>& types)
{
    return fmt::format("{}", fmt::join(types, "|"));
}

std::string tableList(size_t k, std::string_view airline, std::string_view type)
{
    const auto a = g_liveryTables[k].find(airline);
    if (a == g_liveryTables[k].end())
        return "-";
    const auto t = a->second.find(type);
    return t == a->second.end() ? "-" : listText(t->second);
}

std::string genericList(size_t k, std::string_view type)
{
    const auto it = g_genericLiveries[k].find(type);
    return it == g_genericLiveries[k].end() ? "-" : listText(it->second);
}

// The lines must stand in the log in this order, others between them.
void expectInOrder(const std::vector<std::string>& log, const std::vector<std::string>& expected)
{
    auto at = log.begin();
    for (const std::string& line : expected) {
        at = std::find(at, log.end(), line);
        ASSERT_NE(at, log.end()) << "missing or out of order: '" << line << "'";
        ++at;
    }
}

} // namespace

TEST_F(LiveryTables, TheGoldenCollectionGivesItsTablesAndSummary)
{
    process();
    expectInOrder(log_.lines(),
                  {fmt::format("1 in-line regcode clashes, see '{}'", gf_pathToUtf8(gf_paths().inlineRegcodes)),
                   "4 registration codes", "10 airlines, 15 pax aircraft models and 5 cargo aircraft models",
                   "15 similar model definitions", "Category Light: 6 pax liveries and 1 cargo liverie",
                   "  C172,C182,C208,PA28", "Category Buzjets: 3 pax liveries", "  C25A,C525",
                   "Category Large: 9 pax liveries and 1 cargo liverie", "  A319,A320,A321,B737,B738,E145",
                   "Category Heavy: 2 pax liveries and 2 cargo liveries", "  B744,B77L,B77W",
                   "Category HighPerf: No livery found",
                   "HIGH_PERF_AIRCRAFT temporarily switched off because you do not have High Perf aircraft installed",
                   "Category Rotorcraft: 2 pax liveries and 1 cargo liverie", "  EC35,EC45",
                   "4 models have a generic livery", "  B77W,C172,C182,EC35"});
    EXPECT_EQ(tavtest::readFile(gf_paths().inlineRegcodes), "PH-BXA 'KLM B738 b' => already in use by 'KLM B738 a'\n");
    EXPECT_TRUE(g_scannedLiveries.empty());

    // Passenger and cargo liveries of one airline and type, each in its own table.
    EXPECT_EQ(tableList(g_paxTable, "KLM", "B738"), "KLM B738 a|KLM B738 b");
    EXPECT_EQ(tableList(g_cargoTable, "KLM", "B738"), "KLM B738 cargo");
    EXPECT_EQ(tableList(g_cargoTable, "KLM", "B737"), "-");
    EXPECT_EQ(tableList(g_paxTable, "DEF", "B77L"), "-");
    EXPECT_EQ(tableList(g_paxTable, "", "PA28"), "Piper without airline");
    // Generic lists by airline, then title.
    EXPECT_EQ(genericList(g_paxTable, "C172"), "Cessna without airline|PVT C172|ZZZ C172 a|ZZZ C172 b");
    EXPECT_EQ(genericList(g_cargoTable, "B744"), "DEF B744 freighter");
    EXPECT_EQ(genericList(g_paxTable, "C208"), "-");

    EXPECT_EQ(listText(gf_liveryAirlineCodes()), "|ABC|ADA|DEF|DLH|FDX|KLM|NJE|PVT|ZZZ");
    EXPECT_TRUE(gf_hasAirlineTypeLiveries("", "C172"));
    EXPECT_FALSE(gf_hasAirlineTypeLiveries("KLM", "A320") || gf_hasAirlineTypeLiveries("XXX", "B738"));
    const std::string_view found = gf_findLiveryTitle("ZZZ C182");
    EXPECT_EQ(found, "ZZZ C182");
    EXPECT_EQ(found.data(), g_airlineTypeLiveries.at("ZZZ").at("C182").front().title.data());
    EXPECT_TRUE(gf_findLiveryTitle("zzz c182").empty());
    EXPECT_EQ(g_registrationLiveries.at("PH-BXA"), "KLM B738 a");
    EXPECT_EQ(g_registrationLiveries.at("N182ZZ"), "ZZZ C182");

    EXPECT_EQ(listText(g_categoryTypes[0]), "C172|C182|C208|PA28");
    EXPECT_EQ(listText(g_categoryTypes[1]), "C25A|C525");
    EXPECT_EQ(listText(g_categoryTypes[2]), "EC35|EC45");
    EXPECT_EQ(gf_pickCategoryType("PA28"), "C172");
    EXPECT_FALSE(HIGH_PERF_AIRCRAFT.value);
    EXPECT_TRUE(LIGHT_AIRCRAFT.value && HELICOPTERS.value);
}

TEST_F(LiveryTables, ASecondStartUpReadsNoFileAndAClearBuildsAnew)
{
    process();
    fs::remove(gf_paths().liveriesScanned);
    g_scannedLiveries.push_back({"KLM", "B738", "left over", "", 0, false});
    gf_processScannedLiveries();
    EXPECT_TRUE(log_.contains("\nProcessing scanned liveries skipped; already done in previous start-up\n"));
    EXPECT_TRUE(g_scannedLiveries.empty());
    EXPECT_EQ(gf_findLiveryTitle("KLM B737"), "KLM B737");

    gf_clearLiveryTables();
    EXPECT_FALSE(g_liveriesProcessed);
    EXPECT_TRUE(g_airlineTypeLiveries.empty() && g_genericLiveries[0].empty() && g_similarTypes.empty() &&
                g_airlineAlternativeTypes.empty() && g_registrationLiveries.empty() && g_categoryTypes[0].empty());
    EXPECT_TRUE(gf_findLiveryTitle("KLM B737").empty());
    // The file is gone: the build fails with its user error and leaves the flag clear.
    EXPECT_THROW(gf_processScannedLiveries(), std::exception);
    EXPECT_FALSE(g_liveriesProcessed);
}

TEST_F(LiveryTables, ACategoryWithoutLiveriesSwitchesItsSettingOffOnce)
{
    gf_overrideDataFolder(fs::current_path());
    settingstest::RecordingBridge bridge;
    gf_setControlBridge(&bridge);
    g_scannedLiveries = {{"KLM", "B738", "KLM B738 a", "", 0, false}};
    ASSERT_TRUE(gf_writeLiveriesScanned());
    g_scannedLiveries.clear();
    HIGH_PERF_AIRCRAFT.value = false;
    process();
    gf_setControlBridge(nullptr);
    expectInOrder(log_.lines(),
                  {"Category Light: No livery found", "LIGHT_AIRCRAFT=false",
                   "LIGHT_AIRCRAFT temporarily switched off because you do not have light aircraft installed",
                   "Category Large: 1 pax liverie", "  B738", "Category HighPerf: No livery found",
                   "Category Rotorcraft: No livery found", "HELICOPTERS=false",
                   "HELICOPTERS temporarily switched off because you do not have Helicopters installed",
                   "No generic liveries"});
    EXPECT_FALSE(log_.contains("HIGH_PERF_AIRCRAFT temporarily"));
    EXPECT_FALSE(HELICOPTERS.value || LIGHT_AIRCRAFT.value);
    const std::string stored = tavtest::readFile(gf_parametersPath());
    EXPECT_NE(stored.find("name=\"HELICOPTERS\" value=\"false\""), std::string::npos);
    std::vector<std::string> enabled = bridge.calls();
    std::erase_if(enabled, [](const std::string& call) { return !call.starts_with("enable "); });
    EXPECT_EQ(enabled, (std::vector<std::string>{fmt::format("enable {} 0", LIGHT_AIRCRAFT.controlId),
                                                 fmt::format("enable {} 0", HIGH_PERF_AIRCRAFT.controlId),
                                                 fmt::format("enable {} 0", HELICOPTERS.controlId)}));
}

TEST_F(LiveryTables, TypeListsRunTwentyToALine)
{
    std::vector<std::string> types;
    for (int i = 1; i <= 45; ++i)
        types.push_back(fmt::format("T{:03}", i));
    lf_logTypeList(false, true, true, types);
    const std::vector<std::string> lines = log_.lines();
    const auto first = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("  T"); });
    ASSERT_LE(first + 3, lines.end());
    EXPECT_EQ(first[0], "  T001,T002,T003,T004,T005,T006,T007,T008,T009,T010,T011,T012,T013,T014,T015,T016,T017,T018,"
                        "T019,T020");
    EXPECT_EQ(first[1].substr(0, 7), "  T021,");
    EXPECT_EQ(first[1].back(), '0');
    EXPECT_EQ(first[2], "  T041,T042,T043,T044,T045");
    EXPECT_EQ(g_categoryTypes[1].size(), 45u);
    EXPECT_TRUE(g_categoryTypes[2].empty());
    lf_logTypeList(false, false, false, {});
    EXPECT_EQ(log_.lines().size(), lines.size());
}

TEST_F(LiveryTables, SimilarTypesComeFromGroupsWithGenericLiveries)
{
    process();
    struct Case {
        std::string type, similar;
    };
    const std::vector<Case> cases = {
        {"A319", "A320|A321"}, {"A320", "A319|A321"}, {"B739", "B737|B738"}, {"B748", "B744"},
        {"E135", "E145"},      {"C208", "C172|C182"}, {"EC45", "EC35"},
        // Only the type itself has a generic livery in its group: no entry.
        {"B744", ""}, {"E145", ""},
        // Light without a group: the light type nearest in span while RANDOM is off, the
        // type itself left out (C172 11.0 m for PA28 10.7 m, PA28 for DV20 10.8 m).
        {"PA28", "C172"}, {"DV20", "PA28"}, {"GLID", "C208"},
        // Heavy and high performance without a group: nothing.
        {"B77W", ""}, {"F16", ""}};
    for (const Case& c : cases) {
        EXPECT_EQ(listText(gf_similarTypesFor(c.type)), c.similar) << c.type;
        EXPECT_EQ(listText(gf_similarTypesFor(c.type)), c.similar) << c.type << " again";
    }
    EXPECT_EQ(&gf_similarTypesFor("B77W"), &g_noTypes);

    const std::vector<Case> airlineCases = {
        {"KLM B739", "B737|B738"}, {"KLM B748", "B744"}, {"KLM C525", "C25A"}, {"KLM E135", "E145"},
        {"DLH A319", "A320|A321"}, {"ABC A321", "A319|A320"}, {"FDX C172", "C208"}, {" C182", "C172"},
        {"DEF B748", "B744"},
        // The airline has the type itself, or none of its similar types.
        {"KLM B738", ""}, {"KLM A319", ""}, {"NJE C25A", ""}, {"XXX B739", ""}};
    for (const Case& c : airlineCases) {
        const size_t blank = c.type.find(' ');
        EXPECT_EQ(listText(gf_lookupAirlineType(c.type.substr(0, blank), c.type.substr(blank + 1))), c.similar)
            << c.type;
    }
}
