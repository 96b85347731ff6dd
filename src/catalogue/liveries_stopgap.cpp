// Stop-gap until the livery tables land: no liveries, nothing matched.
#include "catalogue/liveries.h"

std::unordered_map<uint32_t, std::string_view> g_liveIdToTitle;

void gf_processScannedLiveries() {}
void gf_reserveLiveryTables() {}
void gf_clearLiveryTables() {}
void gf_logUnmatchedFlights() {}
void gf_logLiveryMatchingSummary() {}
