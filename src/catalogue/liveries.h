#pragma once
// The livery scan and the livery tables as the traffic service uses them.
#include <cstdint>
#include <string_view>
#include <unordered_map>

// A live aircraft's hexid and the title of its chosen livery (owned by the livery
// tables); emptied every 86400 cycles, by the close-down and by the traffic reset.
extern std::unordered_map<uint32_t, std::string_view> g_liveIdToTitle;

// The scan of the livery folders lfolder0..9 into the scanned-liveries file; user errors
// 48 (no folder set) and 53 (nothing found); clears SCAN_LIVERIES when done.
void gf_scanLiveries();
// The livery and registration-code tables from the scanned-liveries file (once per
// process).
void gf_processScannedLiveries();
// Reserves the livery tables' capacity (each run's main part).
void gf_reserveLiveryTables();
// Empties the livery tables and forgets that they were built, so that the next
// processing builds them anew (the start-up after a rescan was asked for).
void gf_clearLiveryTables();
// "\nNo match found for:" and the flights no livery matched (every 1200 cycles and at
// close-down).
void gf_logUnmatchedFlights();
// The live traffic livery matching summary (every 86400 cycles and at close-down).
void gf_logLiveryMatchingSummary();
