#pragma once
// The livery scan, the livery tables and the choice of a livery as the traffic service
// and the live aircraft engine use them. All of it runs on the worker thread.
#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalogue/livery_scan.h" // gf_scanLiveries
#include "foundation/text_hash.h"

struct AcIdentity;
struct LiveAc;
struct StaticAc;
struct ParkStand;

// A live aircraft's hexid and a copy of the title of its chosen livery, so that it stays
// readable across a rebuild of the tables; emptied every 86400 cycles, by the close-down
// and by the traffic reset.
extern std::unordered_map<uint32_t, std::string> g_liveryIdTitles;
// "{:3} {:4} {}" of airline, type and registration of every live flight with a
// registration that no livery fitted; filled by the engine at spawn, emptied by its
// resets.
extern TextHashSet g_unmatchedFlights;

// The matches accepted per step since the process started: 0 special registration,
// 1 registration, 2 airline and type, 3 alternative type of the airline, 4 private
// livery, 5 generic livery of the type, 6 generic livery of a similar type.
inline constexpr size_t g_liveryMatchSteps = 7;
extern std::array<uint32_t, g_liveryMatchSteps> g_liveryMatchCounts;
// Copies of the titles the simulator failed to create, each once; never emptied.
extern std::vector<std::string> g_failedLiveryTitles;
// "<type> <airline>" of every aircraft whose creation failed, for the summary.
extern std::set<std::string> g_notCreatedLiveries;

// The livery and registration-code tables from the scanned-liveries file (once per
// process).
void gf_processScannedLiveries();
// Reserves the livery tables' capacity (each run's main part).
void gf_reserveLiveryTables();
// Empties the livery tables and forgets that they were built, so that the next
// processing builds them anew. Only the worker's start-up calls it.
void gf_clearLiveryTables();
// "\nNo match found for:" and the flights no livery matched (every 1200 cycles and at
// close-down).
void gf_logUnmatchedFlights();
// The live traffic livery matching summary (every 86400 cycles and at close-down).
void gf_logLiveryMatchingSummary();

// Chooses the live aircraft's livery title from its airline, type and registration as deep
// as MATCHING_DEPTH allows, skipping titles the simulator failed to create; sets the title
// (a view into the livery tables, empty when nothing fits) and the "FSLTL_" flag, counts
// and logs the match.
void gf_matchLiveLivery(LiveAc& ac);
// The title remembered for the hexid, as a view into the livery tables; empty when there
// is none, when the tables no longer hold it, or when the simulator failed to create it
// (the entry is then removed).
std::string_view gf_hasLiveryCreationFailed(uint32_t hexid);
// The simulator failed to create the aircraft with its title: shown, logged and skipped by
// later matches; the 20th distinct such title throws user error 81. Nothing while a stop
// is pending.
void gf_reportLiveryNotCreated(const AcIdentity& identity);
// The title of a new static aircraft (kept when it has one), its cargo flag taken from the
// stand; false, after a "no livery match" line, when none fits.
bool gf_matchStaticLivery(StaticAc& ac, const ParkStand& stand);
