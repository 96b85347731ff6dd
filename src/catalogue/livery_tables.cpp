// The livery tables from LiveriesScanned.xml, their clearing before a rebuild and the
// small queries the similar types and the registration-code merge ask of them.
#include <algorithm>
#include <tuple>
#include <unordered_set>

#include "catalogue/liveries.h"
#include "catalogue/livery_scan.h"
#include "catalogue/livery_tables.h"
#include "catalogue/livery_tables_internal.h"
#include "catalogue/regcodes.h"
#include "catalogue/similar_types.h"
#include "foundation/log.h"
#include "ui/window_state.h"

std::map<std::string, TypeLiveryEntries, std::less<>> g_airlineTypeLiveries;
std::array<AirlineTypeTitles, 2> g_liveryTables;
std::array<TextHashMap<TitleList>, 2> g_genericLiveries;
TextHashMap<std::string_view> g_registrationLiveries;
TextHashSet g_specialRegistrations;
TitleList g_reservedTitles;
std::unordered_set<std::string_view> g_reservedTitleSet;
std::array<std::vector<std::string>, 3> g_categoryTypes;
bool g_liveriesProcessed = false;

namespace {

constexpr size_t kReservedTitles = 4096;
constexpr std::array<size_t, 3> kCategoryTypes = {64, 128, 32};

// Every owned title, for the look-ups by text of the registration-code merge and of the
// remembered titles.
std::unordered_set<std::string_view> g_titleIndex;
bool g_tablesReserved = false;

// The scanned list serves the build alone: it goes on every way out.
struct ScannedLiveriesEmptier {
    ScannedLiveriesEmptier() = default;
    ScannedLiveriesEmptier(const ScannedLiveriesEmptier&) = delete;
    ScannedLiveriesEmptier& operator=(const ScannedLiveriesEmptier&) = delete;
    ~ScannedLiveriesEmptier()
    {
        g_scannedLiveries.clear();
        g_scannedLiveries.shrink_to_fit();
    }
};

void lf_buildTitleIndex()
{
    size_t count = 0;
    for (const auto& [airline, types] : g_airlineTypeLiveries)
        for (const auto& [type, entries] : types)
            count += entries.size();
    g_titleIndex.reserve(count);
    for (const auto& [airline, types] : g_airlineTypeLiveries)
        for (const auto& [type, entries] : types)
            for (const LiveryEntry& entry : entries)
                g_titleIndex.insert(entry.title); // the first in table order stays
}

} // namespace

void lf_buildAirlineTypeTable()
{
    // The list comes sorted, so consecutive records share their airline and type entries.
    const LiveryData* previous = nullptr;
    TypeLiveryEntries* types = nullptr;
    std::vector<LiveryEntry>* entries = nullptr;
    for (const LiveryData& l : g_scannedLiveries) {
        if (!previous || previous->airl != l.airl) {
            types = &g_airlineTypeLiveries[l.airl];
            entries = nullptr;
        }
        if (!entries || previous->type != l.type)
            entries = &(*types)[l.type];
        entries->push_back({l.title, l.cargo});
        previous = &l;
    }
    lf_buildTitleIndex();
}

void lf_buildPaxCargoTables()
{
    std::array<TitleList, 2> lists;
    for (const auto& [airline, types] : g_airlineTypeLiveries) {
        for (const auto& [type, entries] : types) {
            for (const LiveryEntry& entry : entries)
                lists[entry.cargo ? g_cargoTable : g_paxTable].push_back(entry.title);
            for (size_t k = 0; k < lists.size(); ++k) {
                if (!lists[k].empty())
                    g_liveryTables[k][airline][type] = std::move(lists[k]);
                lists[k].clear();
            }
        }
    }
}

void gf_buildLiveryTables()
{
    struct Item {
        std::string_view type, airline, title;
        bool cargo;
    };
    std::vector<Item> items;
    for (const auto& [airline, types] : g_airlineTypeLiveries)
        for (const auto& [type, entries] : types)
            for (const LiveryEntry& entry : entries)
                items.push_back({type, airline, entry.title, entry.cargo});
    // By type, airline and title, so that a pick with RANDOM off repeats across runs.
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        return std::tie(a.type, a.airline, a.title) < std::tie(b.type, b.airline, b.title);
    });
    std::array<TitleList*, 2> current{};
    const Item* previous = nullptr;
    for (const Item& item : items) {
        if (!previous || item.type != previous->type)
            current = {nullptr, nullptr};
        previous = &item;
        const size_t k = item.cargo ? g_cargoTable : g_paxTable;
        if (!current[k])
            current[k] = &g_genericLiveries[k][std::string(item.type)];
        current[k]->push_back(item.title);
    }
}

void gf_reserveLiveryTables()
{
    if (g_tablesReserved)
        return;
    g_tablesReserved = true;
    g_reservedTitles.reserve(kReservedTitles);
    g_reservedTitleSet.reserve(kReservedTitles);
    for (size_t c = 0; c < g_categoryTypes.size(); ++c)
        g_categoryTypes[c].reserve(kCategoryTypes[c]);
}

void gf_clearLiveryTables()
{
    for (std::vector<std::string>& types : g_categoryTypes)
        types.clear();
    gf_clearSimilarModels();
    g_specialRegistrations.clear();
    g_reservedTitles.clear();
    g_reservedTitleSet.clear();
    g_registrationLiveries.clear();
    for (TextHashMap<TitleList>& table : g_genericLiveries)
        table.clear();
    for (AirlineTypeTitles& table : g_liveryTables)
        table.clear();
    g_titleIndex.clear();
    g_airlineTypeLiveries.clear();
    g_liveriesProcessed = false;
}

void gf_processScannedLiveries()
{
    const ScannedLiveriesEmptier emptier;
    if (g_liveriesProcessed) {
        gf_logLine("Processing scanned liveries skipped; already done in previous start-up");
        return;
    }
    // A build that an exception ended halfway leaves nothing behind for this one.
    gf_clearLiveryTables();
    gf_readLiveriesScanned();
    gf_windowState().liveries = g_scannedLiveries.size();
    gf_invalidateBand(g_wholeWindow);
    lf_buildAirlineTypeTable();
    lf_buildPaxCargoTables();
    lf_mergeInlineRegcodes();
    gf_processOfflineRegcodes();
    gf_logLine("{} registration codes", g_registrationLiveries.size());
    gf_buildLiveryTables();
    gf_logLine("{} airlines, {} pax aircraft models and {} cargo aircraft models", g_airlineTypeLiveries.size(),
               g_genericLiveries[g_paxTable].size(), g_genericLiveries[g_cargoTable].size());
    gf_buildSimilarModels();
    for (int32_t c = 0; c < g_typeCategoryCount; ++c)
        gf_logLiveryCategories(static_cast<TypeCategory>(c));
    gf_logGenericLiveries();
    g_liveriesProcessed = true;
    gf_invalidateBand(g_wholeWindow);
}

bool gf_hasAirlineTypeLiveries(std::string_view airline, std::string_view type)
{
    const auto it = g_airlineTypeLiveries.find(airline);
    return it != g_airlineTypeLiveries.end() && it->second.contains(type);
}

std::vector<std::string> gf_liveryAirlineCodes()
{
    std::vector<std::string> codes;
    codes.reserve(g_airlineTypeLiveries.size());
    for (const auto& [airline, types] : g_airlineTypeLiveries)
        codes.push_back(airline.substr(0, 3));
    return codes;
}

std::string_view gf_findLiveryTitle(std::string_view title)
{
    const auto it = g_titleIndex.find(title);
    return it == g_titleIndex.end() ? std::string_view{} : *it;
}
