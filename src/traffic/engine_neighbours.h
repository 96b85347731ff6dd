#pragma once
// What the live aircraft engine asks of the aircraft catalogue and the livery tables, and
// of the steady clock, as one table of calls. The product's table is the catalogue
// itself; tests put doubles in its place.
#include <cstdint>
#include <optional>
#include <string_view>

#include "catalogue/dbase.h"

struct AcIdentity;
struct LiveAc;
struct ParkStand;
struct StaticAc;

struct EngineNeighbours {
    TypeCategory (*typeCategory)(std::string_view type);
    bool (*isKnownType)(std::string_view type);
    double (*halfWingspan)(std::string_view type);
    std::optional<DbaseRecord> (*lookupDbase)(std::string_view registration);
    void (*matchLiveLivery)(LiveAc& ac);
    std::string_view (*hasLiveryCreationFailed)(uint32_t hexid);
    void (*reportLiveryNotCreated)(const AcIdentity& identity);
    // Steady clock in ticks of 100 ns.
    uint64_t (*steadyTicks)();
    bool (*matchStaticLivery)(StaticAc& ac, const ParkStand& stand);
};

const EngineNeighbours& gf_engine();
// Test seam: null puts the product's table back.
void gf_setEngineNeighboursForTests(const EngineNeighbours* doubles);

// The steady clock's time since its epoch in ticks of 100 ns (libstdc++ counts nanoseconds).
uint64_t gf_steadyTicks100ns();
