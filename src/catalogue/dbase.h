#pragma once
// The aircraft and airline database: read once per process by the start-up, read-only
// afterwards (also from the scan tasks and the "SimClient" thread, without locks).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// One registration of the database.
struct DbaseRecord {
    std::string airl;
    std::string type;
    std::string opr;
    bool cargo = false;
};

// The largest half wing span read, in nautical miles; 0 before the database is read.
extern double g_maxHalfWingspan;

// Decrypts input\dbase.enc and reads it; false on failure (the start-up reports it).
bool gf_readDbase();

// Large, heavy, buzjet, rotorcraft, high performance, in that order; Other when in none.
TypeCategory gf_typeCategory(std::string_view type);
bool gf_isKnownType(std::string_view type);
// Half the type's wing span in nautical miles, else the mean of its category (0 while
// that is unknown). Never fails.
double gf_halfWingspan(std::string_view type);
// The record of a registration in whichever written form it arrives.
std::optional<DbaseRecord> gf_lookupDbase(std::string_view registration);
