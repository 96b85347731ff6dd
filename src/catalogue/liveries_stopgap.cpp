// Stop-gap until the livery scan and tables land: no liveries, nothing matched.
#include "catalogue/liveries.h"

#include "foundation/log.h"

std::unordered_map<uint32_t, std::string_view> g_liveIdToTitle;

void gf_scanLiveries()
{
    gf_logErrorLine("gf_scanLiveries: this build cannot scan liveries");
}

void gf_processScannedLiveries() {}
void gf_reserveLiveryTables() {}
void gf_clearLiveryTables() {}
void gf_logUnmatchedFlights() {}
void gf_logLiveryMatchingSummary() {}
