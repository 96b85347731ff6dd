#include "support/engine_doubles.h"

#include <optional>

#include "catalogue/liveries.h"
#include "foundation/settings_catalogue.h"
#include "traffic/aircraft_records.h"
#include "traffic/engine_neighbours.h"

namespace enginetest {
namespace {

std::optional<CatalogueDouble> g_catalogue;

const EngineNeighbours kDoubles{
    [](std::string_view type) {
        const auto it = catalogue().types.find(type);
        return it == catalogue().types.end() ? TypeCategory::Other : it->second;
    },
    [](std::string_view type) { return catalogue().types.contains(type); },
    [](std::string_view type) {
        const auto it = catalogue().halfSpans.find(type);
        return it == catalogue().halfSpans.end() ? 0.02 : it->second;
    },
    [](std::string_view reg) -> std::optional<DbaseRecord> {
        const auto it = catalogue().registrations.find(reg);
        return it == catalogue().registrations.end() ? std::nullopt : std::optional<DbaseRecord>(it->second);
    },
    [](LiveAc& ac) {
        if (const auto it = catalogue().liveries.find(ac.aircraftType); it != catalogue().liveries.end()) {
            ac.liveryTitle = it->second;
            ac.fsltlLivery = it->second.find("FSLTL_") != std::string::npos;
        }
    },
    // The title the engine remembered for the hexid, as the tables hold it.
    [](uint32_t hexid) {
        const auto remembered = g_liveryIdTitles.find(hexid);
        for (const auto& [type, title] : catalogue().liveries) {
            if (remembered != g_liveryIdTitles.end() && remembered->second == title)
                return std::string_view(title);
        }
        return std::string_view{};
    },
    [](const AcIdentity& id) { catalogue().notCreated.push_back(gf_flightText(id)); },
    [] { return catalogue().steadyTicks; },
    [](StaticAc& ac, const ParkStand&) {
        const auto it = catalogue().liveries.find(ac.aircraftType);
        if (it != catalogue().liveries.end())
            ac.liveryTitle = it->second;
        return it != catalogue().liveries.end();
    },
};

void lf_defaultSettings()
{
    for (CheckBoxParameter* p : {&LIGHT_AIRCRAFT, &HELICOPTERS, &HIGH_PERF_AIRCRAFT, &COLLISION_USER_AIR,
                                 &COLLISION_USER_GND, &COLLISION_LIVE_PARKED_GND, &NAV_LIGHTS_WHILE_PARKED,
                                 &INITIAL_LOAD_ONLY, &GUID_CHANGES, &AIRBORNE_ONLY, &STRAIGHT_PBS_ONLY})
        p->value = p->defaultValue;
    for (IntParameter* p : {&MAX_HOLDING_MINUTES, &HOLDING_THRESHOLD_METERS})
        p->value = p->defaultValue;
    RANDOM.value = RANDOM.defaultValue;
    MAX_LIVE_SEL.value = MAX_LIVE_SEL.defaultValue;
    BLOCK_CALLSIGN.setValue({});
}

} // namespace

CatalogueDouble& catalogue()
{
    return *g_catalogue;
}

void installEngineDoubles()
{
    g_catalogue.emplace();
    CatalogueDouble& c = *g_catalogue;
    const std::pair<const char*, TypeCategory> types[] = {
        {"A320", TypeCategory::Large},  {"B744", TypeCategory::Heavy},           {"C172", TypeCategory::Other},
        {"CL30", TypeCategory::Buzjet}, {"F16", TypeCategory::HighPerformance}, {"R44", TypeCategory::Rotorcraft},
        {"D328", TypeCategory::Large},  {"AT72", TypeCategory::Large}};
    for (const auto& [type, category] : types) {
        c.types[type] = category;
        c.liveries[type] = std::string(type) + " livery";
    }
    c.steadyTicks = 1'000'000'000;
    lf_defaultSettings();
    gf_setEngineNeighboursForTests(&kDoubles);
}

void removeEngineDoubles()
{
    gf_setEngineNeighboursForTests(nullptr);
    lf_defaultSettings();
}

} // namespace enginetest
