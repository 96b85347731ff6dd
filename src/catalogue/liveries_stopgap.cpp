// Stop-gap until the livery tables land: no liveries, nothing matched.
#include "catalogue/liveries.h"

std::unordered_map<uint32_t, std::string_view> g_liveIdToTitle;

void gf_processScannedLiveries() {}
void gf_reserveLiveryTables() {}
void gf_clearLiveryTables() {}
void gf_logUnmatchedFlights() {}
void gf_logLiveryMatchingSummary() {}

void gf_matchLiveLivery(LiveAc&) {}

std::string_view gf_hasLiveryCreationFailed(uint32_t hexid)
{
    const auto it = g_liveIdToTitle.find(hexid);
    return it == g_liveIdToTitle.end() ? std::string_view{} : it->second;
}

void gf_reportLiveryNotCreated(const AcIdentity&) {}
