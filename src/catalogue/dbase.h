#pragma once
// The aircraft and airline database: read once per process by the start-up, read-only
// afterwards (also from the scan tasks and the "SimClient" thread, without locks).
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/registration_table.h"
#include "foundation/text.h"
#include "foundation/text_hash.h"

// Size category of an aircraft type.
enum class TypeCategory : int32_t {
    Other = 0, // shown "Light"
    Buzjet = 1,
    Large = 2,
    Heavy = 3,
    HighPerformance = 4,
    Rotorcraft = 5,
};
inline constexpr int32_t g_typeCategoryCount = 6;

// "Light", "Buzjets", "Large", "Heavy", "HighPerf", "Rotorcraft".
std::string_view gf_typeCategoryText(TypeCategory category);

// The airports of one scenery publisher.
struct ThirdPartyScenery {
    std::string publisher;
    std::vector<std::string> airports; // as written
};

// Byte-wise ordered, searchable by string_view.
using CodeSet = std::set<std::string, std::less<>>;

// The seven type sets of g_typeSets, in the order of the file's sections.
enum class TypeSet : size_t { Known, HighPerformance, Heavy, Large, Buzjet, Rotorcraft, Cargo };
inline constexpr size_t g_typeSetCount = 7;

extern std::array<CodeSet, g_typeSetCount> g_typeSets;
inline CodeSet& gf_typeSet(TypeSet which) { return g_typeSets[static_cast<size_t>(which)]; }
// Each group sorted ascending, repeated codes kept.
extern std::vector<std::vector<std::string>> g_similarTypeGroups;
extern CodeSet g_icaoAirlines;
extern CodeSet g_cargoOperators;
extern std::vector<std::vector<std::string>> g_publisherGroups;
// Type -> half wing span in nautical miles; the first entry of a type wins.
extern std::map<std::string, double, std::less<>> g_halfWingspans;
// The mean half span of each TypeCategory; a category without spans has the mean of all.
extern std::array<double, g_typeCategoryCount> g_categoryHalfSpans;
// The largest half wing span read, in nautical miles; 0 before the database is read.
extern double g_maxHalfWingspan;
// Wrong type code -> correct type code.
extern TextHashMap<std::string> g_typeFixes;
extern CodeSet g_simAddonAirports;
extern std::vector<ThirdPartyScenery> g_thirdPartySceneries;
// Registration as written in the file -> its record; no empty key.
extern RegistrationTable g_dbaseRecords;
// The registrations under 6 bytes, longest first, then in byte order.
extern std::vector<std::string> g_shortRegKeys;

// The database's list rule: split at ',', pieces trimmed of blanks, tabs, CR and LF,
// empty pieces kept; an empty text gives no piece.
inline constexpr auto& gf_splitTrim = gf_splitComma;

// Decrypts input\dbase.enc and reads it. False when dbase.xml cannot be loaded; throws
// std::runtime_error when dbase.enc is missing or cannot be decrypted, and
// tav::UserErrorException 61 when a required section is empty. Every table is emptied
// first; no dbase.xml remains on any path.
bool gf_readDbase();
size_t gf_publisherGroupCount();

// Large, heavy, buzjet, rotorcraft, high performance, in that order; Other when in none.
TypeCategory gf_typeCategory(std::string_view type);
bool gf_isKnownType(std::string_view type);
bool gf_isIcaoAirline(std::string_view code);
// Half the type's wing span in nautical miles, else the mean of its category (0 while
// that is unknown). Never fails.
double gf_halfWingspan(std::string_view type);
// DABCD -> DA-BCD, D-ABCD, DABCD: the written forms tried, in that order. Registrations
// under 5 bytes, with a '-' or beginning with 'N' stay alone.
std::vector<std::string> gf_regKeyVariants(std::string_view registration);
// The record of a registration in whichever written form it arrives.
std::optional<DbaseRecord> gf_lookupDbase(std::string_view registration);
// The same without a copy, for the livery matching: the record in the table, or nullptr.
const DbaseRecord* gf_findDbaseRecord(std::string_view registration);
std::string gf_operatorOfReg(std::string_view registration);
std::string gf_airlineOfReg(std::string_view registration);
// The longest registration under 6 bytes found in the text (the first in byte order of
// equally long ones); never the empty one.
std::optional<std::string> gf_findShortRegKeyIn(std::string_view text);
