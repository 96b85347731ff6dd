#include "traffic/engine_neighbours.h"

#include <chrono>

#include "catalogue/liveries.h"

namespace {

using Ticks100ns = std::chrono::duration<uint64_t, std::ratio<1, 10000000>>;

constexpr EngineNeighbours kProduct{&gf_typeCategory,           &gf_isKnownType,
                                    &gf_halfWingspan,           &gf_lookupDbase,
                                    &gf_matchLiveLivery,        &gf_hasLiveryCreationFailed,
                                    &gf_reportLiveryNotCreated, &gf_steadyTicks100ns,
                                    &gf_matchStaticLivery};

const EngineNeighbours* g_current = &kProduct;

} // namespace

const EngineNeighbours& gf_engine()
{
    return *g_current;
}

void gf_setEngineNeighboursForTests(const EngineNeighbours* doubles)
{
    g_current = doubles != nullptr ? doubles : &kProduct;
}

uint64_t gf_steadyTicks100ns()
{
    return std::chrono::duration_cast<Ticks100ns>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
