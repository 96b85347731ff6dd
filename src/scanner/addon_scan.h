#pragma once
// The scan of the user's add-on airport folders: their BGL files are decoded one task per
// file, each supported airport is linked to the maker's archived park file or gets a park
// file generated from its stands, and the airports nobody has learned yet are packed into
// tblo\tblo.zip for the maker.
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

// Scans the folders afolder0..9. Throws tav::UserErrorException 49 when none is set and
// 42 when one lies in the simulator's own scenery folder. SCAN_AIRPORTS is switched off
// only by a scan that ran to its end.
void gf_scanAddonAirports();

// Appends a line to the scan log of the running scan (AirportsScanLog.txt); any thread.
void gf_addToScanLog(std::string line);
// A park file generated or linked: not counted against the lines one file may add.
void gf_addResultToScanLog(std::string line);

// Set whenever an airport was linked or its park file generated; never cleared.
extern std::atomic<bool> g_scanHandledAirport;
// Set while tblo\tblo.zip waits to be mailed: the window then shows the request label.
// It is the window state's flag.
extern std::atomic<bool>& g_tbloWritten;

// The publisher of an add-on by its BGL path: "simaddon" for ORBX in any letter case,
// else the first name of the first publisher group one of whose names the path holds
// (letter case ignored), else empty.
std::string gf_publisherFromName(std::string_view text);
// Whether part occurs in text, ASCII letters compared lower-cased; an empty part always.
bool gf_icontains(std::string_view text, std::string_view part);
// The stand-id prefix of a BGL parking name code 0..63.
std::string gf_bglParkingPrefix(uint32_t code);
