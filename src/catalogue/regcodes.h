#pragma once
// Registration-code lists: which livery title belongs to which registrations, from the
// user's text files (input\my_regcodes) and from the data file AIG-regcodes.xml. A record
// without registrations names a title that is not to be used at all.
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

struct RegcodeRecord {
    std::string title;
    std::vector<std::string> regcodes; // ascending, without duplicates
    bool special = false;              // the livery is reserved for these registrations

    friend bool operator==(const RegcodeRecord&, const RegcodeRecord&) = default;
};

// Appends the entries of every ".txt" file (any letter case) directly in the folder, read
// in the charset each file is written in. False when an entry was refused or the folder
// cannot be listed.
bool gf_readRegcodeFiles(const std::filesystem::path& folder, std::vector<RegcodeRecord>& records);
// Appends the liveries of input\AIG-regcodes.xml. False when it cannot be loaded (it is
// then removed), has no meta block, or a livery was refused.
bool gf_readAigRegcodesXml(std::vector<RegcodeRecord>& records);

// Titles of records without registrations, gathered before a livery scan; the scan skips
// liveries with such a title. Written by the worker before the walk, read by the scan
// tasks, emptied when the scan ends; g_titlesNotToUseMutex guards it, as a task that a
// scan abandoned may still read it while the next scan fills it.
extern std::vector<std::string> g_titlesNotToUse;
extern std::mutex g_titlesNotToUseMutex;

// The report lines of one offline processing, written to output\info\OfflineRegcodes.txt.
extern std::vector<std::string> g_regcodeReportLines;

// Merge input\AIG-regcodes.xml, and the files of input\my_regcodes, into the livery
// tables' registrations.
void gf_processRegcodeFile();
void gf_processRegcodeFolder();
// Decrypts AIG-regcodes.enc for gf_processRegcodeFile (skipped when that fails), then
// gf_processRegcodeFolder, and writes the report.
void gf_processOfflineRegcodes();

// Gathers g_titlesNotToUse from AIG-regcodes.enc (decrypted for the read) and from the
// files of input\my_regcodes.
void lf_reprocessRegcodes();
void lf_recheckRegcodeFile();
void lf_recheckRegcodeFolder();
