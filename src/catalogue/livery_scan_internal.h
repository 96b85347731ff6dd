#pragma once
// The steps of the livery scan that its files share with each other and with the tests.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/livery_scan.h"

// Whole-line key matches: blanks, the key (any letter case), blanks, '=', then a value
// that is trimmed and not empty. The value is stored only on a match.
bool lf_matchTitleKey(std::string_view line, std::string& value);
bool lf_matchSimKey(std::string_view line, std::string& value);
bool lf_matchModelKey(std::string_view line, std::string& value);
bool lf_matchTextureKey(std::string_view line, std::string& value);
bool lf_matchAtcIdKey(std::string_view line, std::string& value);
bool lf_matchParkingTypesKey(std::string_view line, std::string& value);
// The atc_model value, or an empty text.
std::string lf_matchAtcModelKey(std::string_view line);
// The first comma-separated piece of the atc_parking_codes value, trimmed.
bool lf_matchParkingCodesKey(std::string_view line, std::string& code);
// Plain, case-sensitive searches anywhere in the line.
bool lf_containsKeyName(std::string_view line, std::string_view name);
bool lf_containsAtcIdKey(std::string_view line);
bool lf_containsParkingTypesKey(std::string_view line);

// A line whose first character after blanks is ';', or that begins with "//" after
// blanks: a comment, which neither opens nor ends a section.
bool lf_isCommentLine(std::string_view line);
// The number text of a fltsim section header, "10000" for a header whose number is not
// a plain number, empty for any other line.
std::string lf_matchFltSimHeader(std::string_view line);
// Splits the value at ','; valid when every piece, trimmed, is 1 to 12 bytes without
// '*'. The registration is the only piece, or empty when there are several.
bool lf_isValidAtcId(std::string_view value, std::string& registration);

// Whether paths beside one file are folders or regular files, each asked once: the
// sections of a file mostly name the same model folder and flight-model file. A failed
// query counts as a missing path.
class PathChecks {
public:
    bool isDirectory(const std::filesystem::path& path) { return check(path, true); }
    bool isRegularFile(const std::filesystem::path& path) { return check(path, false); }

private:
    bool check(const std::filesystem::path& path, bool directory);
    std::map<std::pair<std::filesystem::path::string_type, bool>, bool> known_;
};

// One aircraft.cfg or sim.cfg as its sections see it; used by one task thread.
struct CfgFileContext {
    uint32_t lfolder = 0;
    std::string type; // the file's aircraft type code
    std::filesystem::path file;
    std::filesystem::path folder; // the file's parent
    std::string fileText;   // UTF-8 forms for the report lines
    std::string folderText;
    mutable PathChecks paths;
};
CfgFileContext lf_cfgFileContext(uint32_t lfolder, std::string type, const std::filesystem::path& file);

// The keys of one section as its kind of file reads them; reading stops at the first line
// that rejects the section (its report line is written).
enum class SectionKind { Regular, Ivao };
struct SectionKeys {
    std::string title, airline, parkingTypes, atcId, model, sim, texture;
    bool atcIdSeen = false;
    bool rejected = false;
};
SectionKeys lf_readSectionKeys(const CfgFileContext& file, std::span<const std::string> section, SectionKind kind);
// False for an empty title (reported) and a title not to use (silently).
bool lf_hasUsableTitle(const CfgFileContext& file, const std::string& header, const std::string& title);
// A path beside the file for the status query: Windows drops the trailing dots of a name
// ("model." is the folder "model"), and so does the query on every platform.
std::filesystem::path lf_inFolder(const std::filesystem::path& folder, std::string name);
// The record, or none when its title is already taken (then reported in the kind's words).
std::optional<LiveryData> lf_makeSectionRecord(const CfgFileContext& file, const std::string& header,
                                               std::string airline, bool notCargo, std::string title,
                                               std::string atcId, SectionKind kind);

std::vector<LiveryData> lf_splitFltSimSections(const CfgFileContext& file, std::span<const std::string> lines);
// The section's first line is its header.
std::optional<LiveryData> lf_procesFltSimSection(const CfgFileContext& file, std::span<const std::string> section);
std::vector<LiveryData> lf_splitIVAOFltSimSections(const CfgFileContext& file, std::span<const std::string> lines);
std::optional<LiveryData> lf_procesIVAOFltSimSection(const CfgFileContext& file,
                                                     std::span<const std::string> section);

void lf_addIncompleteSection(std::string text);
void lf_addInvalidCfgFile(std::string text);
void lf_addFixReport(std::string text);
void lf_addInvalidAirline(std::string_view code, std::string_view fileText, std::string_view header);
void lf_addInvalidAircraft(std::string_view type, std::string_view fileText);
bool lf_isTitleNotToUse(std::string_view title);

// The file tasks: the liveries of one file; failures of the file are logged or reported
// and give an empty list; exceptions are logged and passed on.
std::vector<LiveryData> lf_searchLiveriesinFile(uint32_t lfolder, const std::filesystem::path& file);
std::vector<LiveryData> lf_searchLiveriesinIVAOFile(uint32_t lfolder, const std::filesystem::path& file);
// The file's lines in UTF-8; empty, after its log line, when its charset is unknown or
// it cannot be read.
std::optional<std::vector<std::string>> lf_readCfgLines(const std::filesystem::path& file,
                                                        const std::string& fileText, bool encodingIsError);
bool lf_checkFltSimNumbers(std::span<const std::string> lines, std::string_view fileText);
std::string lf_fixModel(std::string_view fileText, std::span<const std::string> lines);
std::string lf_fixIVAOModel(const std::filesystem::path& file);
std::string lf_pathText(const std::filesystem::path& path);
// A type known to the database as it is, else corrected by its fix (reported), else
// reported as invalid and empty.
std::string lf_knownOrFixedType(const std::string& type, std::string_view fileText);

// Walks one livery folder and appends the liveries of its files, in the order the tasks
// were started, to g_scannedLiveries.
void lf_scanLiveriesFolder(uint32_t lfolder, const std::filesystem::path& folder);
// How long one file task may take (10 s): also the bound of the wait for every task.
std::chrono::milliseconds lf_liveryTaskWait();

// The existing paths of lfolder0..9 in that order; throws 243 for one that does not exist.
void lf_checkLfolderParams(std::vector<std::filesystem::path>& paths);

enum class ScanOutcome {
    Saved,        // LiveriesScanned.xml written
    NothingFound, // no livery in any folder
    Stopped,      // a stop of the service came first; nothing written
    NotSaved,     // LiveriesScanned.xml could not be written
};
ScanOutcome lf_scanLfolders(const std::vector<std::filesystem::path>& paths);
void lf_listLiveryConversions();
// The order of LiveriesScanned.xml: airline, type, title, byte-wise.
bool lf_byAirlineTypeTitle(const LiveryData& a, const LiveryData& b);
// The report files and InlineRegcodes.txt of the previous scan, then output\errors when
// it is empty.
void lf_removePreviousScanResults();
