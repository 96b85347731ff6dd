// Stop-gap until the static fit search and the parking of live aircraft land: the park
// airport has no stands, so no flight is found, none fits, and nothing is parked to remove.
#include "traffic/engine_services.h"

void gf_removeLiveParked(uint64_t) {}

void lf_searchStands(int64_t, uint32_t, uint32_t, int32_t, std::vector<ParkCandidate>&) {}

bool lf_isOptionAroundThisTime(const StandFlight&, const AcIdentity&, int64_t, int32_t)
{
    return false;
}

bool lf_isOptionAroundThisTimeYesterday(const StandFlight&, const AcIdentity&, uint32_t, int32_t)
{
    return false;
}
