// Stop-gap until the static parking lands: no park airports, no stands, no plan.
#include "parking/static_parking.h"

#include "feed/traffic_reader.h"
#include "foundation/log.h"

std::string g_reservedStandId;
std::vector<ParkCandidate> g_addingStack;

bool lf_readMyParkAirports()
{
    gf_logErrorLine("lf_readMyParkAirports: this build cannot read my_park_airports.txt");
    return false;
}

bool gf_checkParkAirports(bool, std::string&)
{
    return false;
}

void gf_staticParkingCycle(bool) {}

void lf_startStaticCalculation()
{
    gf_startCollectingCallsigns();
}

void gf_parkingAdjustments() {}
void gf_dropParkAirport() {}

size_t gf_addingStackCount()
{
    return g_addingStack.size();
}
