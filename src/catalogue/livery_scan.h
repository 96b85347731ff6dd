#pragma once
// The scan of the user's livery folders: every aircraft.cfg and sim.cfg below the folders
// lfolder0..9 is read on a task thread of its own, its fltsim sections become LiveryData
// records, and the result goes to output\LiveriesScanned.xml with report files of what
// was rejected or corrected. The file is the one interface between the scan and the
// livery tables.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// One livery found in the user's folders.
struct LiveryData {
    std::string airl;  // ICAO airline code; "PVT" for a private aircraft; "ZZZ" as given
    std::string type;  // the aircraft type code of the file
    std::string title; // unique within one scan; empty: no record (the title was taken)
    std::string atcid; // registration, may be empty
    uint32_t lfolder = 0; // 1-based place among the existing livery folders; 0 when read back
    bool cargo = false;

    friend bool operator==(const LiveryData&, const LiveryData&) = default;
};

// The records of the current scan, or those read back from LiveriesScanned.xml. Written
// only by the worker thread.
extern std::vector<LiveryData> g_scannedLiveries;

// A report list of the scan: lines appended by the scan tasks, each append under the
// list's own mutex and no other lock; written out after every task has ended.
struct ScanReportList {
    mutable std::mutex mutex; // guards lines
    std::vector<std::string> lines;

    void add(std::string line);
    std::vector<std::string> copy() const;
    void clear();
};

extern ScanReportList g_invalidAirlines;     // InvalidAirlineCodes.txt
extern ScanReportList g_invalidAircraft;     // InvalidAircraftCodes.txt
extern ScanReportList g_modelFixes;          // Fixes.txt
extern ScanReportList g_invalidCfgFiles;     // InvalidAircraftCfgFiles.txt
extern ScanReportList g_incompleteSections;  // IncompleFltsimSections.txt
extern ScanReportList g_noSectionFiles;      // AircraftCfgWithNoFltsimSection.txt
extern ScanReportList g_liveryConversions;   // AirlineModelConversions.txt

// The titles accepted so far in this scan; g_scannedTitlesMutex guards it.
extern std::set<std::string, std::less<>> g_scannedTitles;
extern std::mutex g_scannedTitlesMutex;

// The record, or one with empty texts when the title was already taken in this scan.
LiveryData gf_makeLiveryData(uint32_t lfolder, std::string airl, std::string type, bool notCargo,
                             std::string title, std::string atcid);

// Empties the seven report lists, the title set and the titles not to use.
void gf_resetLiveryScanLists();

// The whole scan, on the worker thread at start-up while SCAN_LIVERIES is on. Throws
// tav::UserErrorException 48 (no folder set), 243 (a folder set that does not exist) or
// 53 (no livery found). Only a scan that ran to its end and saved LiveriesScanned.xml
// switches SCAN_LIVERIES off; until then the previous file stays as it was.
void gf_scanLiveries();

// Writes g_scannedLiveries (nothing when empty); false, with an error line naming the
// file, when it cannot be saved.
bool gf_writeLiveriesScanned();
// Reads LiveriesScanned.xml into g_scannedLiveries, sorted by airline, type and title.
// Throws tav::UserErrorException 51 (not readable), 52 (no "liveries"), 999 (a required
// attribute missing) or 533 (no livery).
void gf_readLiveriesScanned();

// Writes the non-empty report lists to their files and logs their summary.
void gf_writeLiveryScanReport();

// Test seams: the longest wait for the oldest pending file task (10 s otherwise), and a
// body for every file task in place of the real ones (nullptr puts them back).
void gf_setLiveryTaskWaitForTests(std::chrono::milliseconds limit);
using LiveryFileTask = std::vector<LiveryData> (*)(uint32_t lfolder, const std::filesystem::path& file);
void gf_setLiveryFileTaskForTests(LiveryFileTask task);
