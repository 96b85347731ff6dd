#pragma once
// The livery tables: built once per process from LiveriesScanned.xml on the worker thread
// at start-up, read-only afterwards. g_airlineTypeLiveries alone owns the title texts;
// every other table, list and aircraft record holds a view of one of them, so that a
// match copies no text. Only the worker's start-up clears them (after a rescan was
// asked for), when no aircraft holds a title.
#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "catalogue/dbase.h"
#include "foundation/text_hash.h"

struct LiveryEntry {
    std::string title;
    bool cargo = false;
};

// Byte order of the codes, so that every walk over the table repeats across runs.
using TypeLiveryEntries = std::map<std::string, std::vector<LiveryEntry>, std::less<>>;
extern std::map<std::string, TypeLiveryEntries, std::less<>> g_airlineTypeLiveries;

using TitleList = std::vector<std::string_view>;
// Airline -> type -> titles; a key stands only when it has a title.
using AirlineTypeTitles = TextHashMap<TextHashMap<TitleList>>;
inline constexpr size_t g_paxTable = 0;
inline constexpr size_t g_cargoTable = 1;
extern std::array<AirlineTypeTitles, 2> g_liveryTables;
// Type -> the titles of every airline, ordered by airline and title.
extern std::array<TextHashMap<TitleList>, 2> g_genericLiveries;

// Filled by the registration-code merge.
extern TextHashMap<std::string_view> g_registrationLiveries;
extern TextHashSet g_specialRegistrations;
// In merge order, a title possibly more than once; the set beside it answers look-ups.
extern TitleList g_reservedTitles;
extern std::unordered_set<std::string_view> g_reservedTitleSet;

// The types with a livery of the categories 0 (light), 1 (buzjet) and 5 (rotorcraft).
extern std::array<std::vector<std::string>, 3> g_categoryTypes;

extern bool g_liveriesProcessed;

// Type lists by category of every generic livery; logs the category summary and switches
// LIGHT_AIRCRAFT, HIGH_PERF_AIRCRAFT or HELICOPTERS off when their category has none.
void gf_logLiveryCategories(TypeCategory category);
// The types with a private ("ZZZ") livery.
void gf_logGenericLiveries();
void gf_buildLiveryTables();

// A stand-in for a type of the light, buzjet or rotorcraft category from that category's
// list, the type itself left out: one of those within 1.5:1 of its span (drawn while RANDOM
// is on, else the nearest in span), or, when none is, any (the first while RANDOM is off).
// Empty for another category or an empty list.
std::string_view gf_pickCategoryType(std::string_view type);

bool gf_hasAirlineTypeLiveries(std::string_view airline, std::string_view type);
// Each airline of g_airlineTypeLiveries cut to its first three bytes, in table order.
std::vector<std::string> gf_liveryAirlineCodes();
// The owned title equal to the text (the first in table order), or an empty view.
std::string_view gf_findLiveryTitle(std::string_view title);
