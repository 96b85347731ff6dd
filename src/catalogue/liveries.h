#pragma once
// The livery scan and the livery tables as the traffic service uses them.
#include <cstdint>
#include <string_view>
#include <unordered_map>

#include "catalogue/livery_scan.h" // gf_scanLiveries

struct AcIdentity;
struct LiveAc;

// A live aircraft's hexid and the title of its chosen livery (owned by the livery
// tables); emptied every 86400 cycles, by the close-down and by the traffic reset.
extern std::unordered_map<uint32_t, std::string_view> g_liveIdToTitle;

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

// Chooses the live aircraft's livery title from its airline, type and registration as deep
// as MATCHING_DEPTH allows, skipping titles the simulator failed to create; stores it (and
// the "FSLTL_" flag) in the aircraft and enters hexid -> title; leaves it empty when
// nothing fits.
void gf_matchLiveLivery(LiveAc& ac);
// The title remembered for the hexid, unless the simulator failed to create it (the entry
// is then removed); empty when there is none.
std::string_view gf_hasLiveryCreationFailed(uint32_t hexid);
// The simulator failed to create the aircraft with its title: logged and skipped by later
// matches; the 20th such title throws user error 81.
void gf_reportLiveryNotCreated(const AcIdentity& identity);
// The livery title the scanned liveries give the registration (g_registrationLiveries);
// empty when none.
std::string_view gf_registrationLiveryTitle(std::string_view registration);
