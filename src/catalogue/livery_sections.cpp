// The fltsim sections of one aircraft.cfg or sim.cfg, each turned into at most one
// LiveryData record. Many files are parsed at once on the scan task threads: the only
// shared state is the title set and the report lists, each append under one mutex.
#include <algorithm>
#include <exception>

#include <fmt/format.h>

#include "catalogue/dbase.h"
#include "catalogue/livery_scan_internal.h"
#include "catalogue/regcodes.h"
#include "foundation/log.h"
#include "foundation/scan_tasks.h"
#include "foundation/text.h"

namespace fs = std::filesystem;

ScanReportList g_invalidAirlines;
ScanReportList g_invalidAircraft;
ScanReportList g_modelFixes;
ScanReportList g_invalidCfgFiles;
ScanReportList g_incompleteSections;
ScanReportList g_noSectionFiles;
ScanReportList g_liveryConversions;

std::set<std::string, std::less<>> g_scannedTitles;
std::mutex g_scannedTitlesMutex;

void ScanReportList::add(std::string line)
{
    // A task that its scan gave up on reports into the lists of a later scan.
    if (gf_scanTaskAbandoned())
        return;
    std::lock_guard lock(mutex);
    lines.push_back(std::move(line));
}

std::vector<std::string> ScanReportList::copy() const
{
    std::lock_guard lock(mutex);
    return lines;
}

void ScanReportList::clear()
{
    std::lock_guard lock(mutex);
    lines.clear();
}

LiveryData gf_makeLiveryData(uint32_t lfolder, std::string airl, std::string type, bool notCargo,
                             std::string title, std::string atcid)
{
    {
        std::lock_guard lock(g_scannedTitlesMutex);
        if (gf_scanTaskAbandoned() || !g_scannedTitles.insert(title).second)
            return {};
    }
    return {std::move(airl), std::move(type), std::move(title), std::move(atcid), lfolder, !notCargo};
}

void gf_resetLiveryScanLists()
{
    for (ScanReportList* list : {&g_invalidAirlines, &g_invalidAircraft, &g_modelFixes, &g_invalidCfgFiles,
                                 &g_incompleteSections, &g_noSectionFiles, &g_liveryConversions})
        list->clear();
    {
        std::lock_guard lock(g_scannedTitlesMutex);
        g_scannedTitles.clear();
    }
    std::lock_guard lock(g_titlesNotToUseMutex);
    g_titlesNotToUse.clear();
}

void lf_addIncompleteSection(std::string text)
{
    g_incompleteSections.add(std::move(text));
}

void lf_addInvalidCfgFile(std::string text)
{
    g_invalidCfgFiles.add(std::move(text));
}

void lf_addFixReport(std::string text)
{
    g_modelFixes.add(std::move(text));
}

void lf_addInvalidAirline(std::string_view code, std::string_view fileText, std::string_view header)
{
    g_invalidAirlines.add(fmt::format("{:12} in {} {}", code, fileText, header));
}

void lf_addInvalidAircraft(std::string_view type, std::string_view fileText)
{
    g_invalidAircraft.add(fmt::format("{:16} in {}", type, fileText));
}

bool lf_isTitleNotToUse(std::string_view title)
{
    std::lock_guard lock(g_titlesNotToUseMutex);
    return std::find(g_titlesNotToUse.begin(), g_titlesNotToUse.end(), title) != g_titlesNotToUse.end();
}

std::string lf_pathText(const fs::path& path)
{
    return gf_pathToUtf8(path);
}

bool PathChecks::check(const fs::path& path, bool directory)
{
    const auto [it, added] = known_.try_emplace({path.native(), directory}, false);
    if (added) {
        std::error_code ec;
        it->second = directory ? fs::is_directory(path, ec) : fs::is_regular_file(path, ec);
    }
    return it->second;
}

CfgFileContext lf_cfgFileContext(uint32_t lfolder, std::string type, const fs::path& file)
{
    CfgFileContext context{lfolder, std::move(type), file, file.parent_path(), {}, {}, {}};
    context.fileText = lf_pathText(context.file);
    context.folderText = lf_pathText(context.folder);
    return context;
}

namespace {

// A section ends at a header of another kind: a line with '[' where the opening bracket
// of a header stands (the regular files: within the first six bytes). A commented header
// opens no section but still ends the one before: the keys below it are not the earlier
// livery's.
using SectionEndTest = bool (*)(std::string_view line);

bool lf_endsRegularSection(std::string_view line)
{
    const size_t bracket = line.find('[');
    return bracket != std::string_view::npos && bracket < 6;
}

template <typename ParseSection>
std::vector<LiveryData> lf_splitSections(const CfgFileContext& file, std::span<const std::string> lines,
                                         SectionEndTest endsSection, ParseSection parse)
{
    std::vector<LiveryData> result;
    size_t begin = 0;
    bool open = false;
    const auto flush = [&](size_t end) {
        if (open && end > begin) {
            if (std::optional<LiveryData> record = parse(file, lines.subspan(begin, end - begin)))
                result.push_back(std::move(*record));
        }
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!lf_matchFltSimHeader(lines[i]).empty()) {
            flush(i);
            begin = i;
            open = true;
        } else if (endsSection(lines[i])) {
            flush(i);
            open = false;
        }
    }
    flush(lines.size());
    return result;
}

std::optional<LiveryData> lf_parseSection(const CfgFileContext& file, std::span<const std::string> section)
{
    while (section.size() > 1 && (section.back().empty() || lf_isCommentLine(section.back())))
        section = section.first(section.size() - 1);
    const std::string& header = section.front();
    SectionKeys k = lf_readSectionKeys(file, section, SectionKind::Regular);
    if (k.airline.empty())
        lf_addIncompleteSection(
            fmt::format("{} {} icao_airline is missing, or it has invalid info ", file.fileText, header));
    if (k.rejected)
        return std::nullopt;

    const std::string modelName = "model." + k.model;
    const fs::path modelFolder = lf_inFolder(file.folder, modelName);
    // A failed status query counts as a missing path: it costs this section, not the file.
    if (!file.paths.isDirectory(modelFolder) ||
        !file.paths.isDirectory(lf_inFolder(file.folder, "texture." + k.texture)) ||
        !file.paths.isRegularFile(lf_inFolder(file.folder, k.sim + ".air"))) {
        lf_addIncompleteSection(fmt::format("{} or related path does not exist: {}",
                                            lf_pathText(file.folder / gf_pathFromUtf8(modelName)), header));
        return std::nullopt;
    }
    if (!lf_hasUsableTitle(file, header, k.title))
        return std::nullopt;

    if (k.airline == "ZZZ") {
        k.atcId.clear();
    } else if (k.airline.empty() && k.atcId.empty()) {
        if (gf_typeCategory(file.type) == TypeCategory::Heavy) {
            lf_addIncompleteSection(fmt::format("'{}' '{}' has no airline and no regcode info", file.folderText, header));
            return std::nullopt;
        }
        k.airline = "PVT";
        k.atcId = gf_findShortRegKeyIn(k.title).value_or(std::string());
    } else if (k.airline.empty()) {
        if (const std::optional<DbaseRecord> record = gf_lookupDbase(k.atcId)) {
            k.airline = record->airl;
        } else if (gf_typeCategory(file.type) == TypeCategory::Heavy) {
            lf_addIncompleteSection(
                fmt::format("'{}' '{}' has no airline and regcode not in dbase", file.folderText, header));
            return std::nullopt;
        } else {
            k.airline = "PVT";
        }
    }
    const bool cargo = k.parkingTypes.find("CARGO") != std::string::npos;
    return lf_makeSectionRecord(file, header, std::move(k.airline), !cargo, std::move(k.title), std::move(k.atcId),
                                SectionKind::Regular);
}

} // namespace

SectionKeys lf_readSectionKeys(const CfgFileContext& file, std::span<const std::string> section, SectionKind kind)
{
    const bool ivao = kind == SectionKind::Ivao;
    const std::string& header = section.front();
    SectionKeys k;
    std::string value;
    const auto reject = [&](std::string text) {
        lf_addIncompleteSection(std::move(text));
        k.rejected = true;
    };
    // Regular files read an atc_id while none stands; IVAO files only their first one.
    const auto atcIdTaken = [&] { return ivao ? k.atcIdSeen : !k.atcId.empty(); };
    for (const std::string& line : section) {
        if (lf_matchTitleKey(line, value)) {
            if (!k.title.empty()) {
                reject(fmt::format("{} {} has more than one title key", file.folderText, header));
                break;
            }
            k.title = gf_trim(value);
        } else if (!ivao && k.airline.empty() && lf_matchParkingCodesKey(line, value)) {
            gf_trimCommaList(value);
            if (value.size() == 4 && (value[3] == 'X' || value[3] == 'C'))
                value.resize(3);
            if (gf_isIcaoAirline(value)) {
                k.airline = value;
            } else if (value == "RFO") {
                k.airline = value;
                k.rejected = true;
                break;
            } else {
                lf_addInvalidAirline(value, file.fileText, header);
            }
        } else if (!ivao && !k.airline.empty() && lf_containsKeyName(line, "atc_parking_codes")) {
            reject(fmt::format("{} {} has more than one atc_parking_codes key", file.folderText, header));
            break;
        } else if (k.parkingTypes.empty() && lf_matchParkingTypesKey(line, value)) {
            gf_trimCommaList(value);
            k.parkingTypes = gf_toUpperAscii(value);
        } else if (!k.parkingTypes.empty() && lf_containsParkingTypesKey(line)) {
            reject(fmt::format("{} {} has more than one atc_parking_types key", file.folderText, header));
            break;
        } else if (!atcIdTaken() && lf_matchAtcIdKey(line, value)) {
            k.atcIdSeen = true;
            // "atc_id=PH-BXA ; note": the comment goes, and the blanks before it.
            const std::string cut = ivao ? value : gf_trim(std::string_view(value).substr(0, value.find(';')));
            if (!lf_isValidAtcId(cut, k.atcId)) {
                lf_addIncompleteSection(fmt::format("invalid atc_id={} in{} {}", cut, ivao ? "" : ":", k.title));
                k.atcId.clear();
            }
        } else if (atcIdTaken() && lf_containsAtcIdKey(line)) {
            reject(fmt::format("{}, {}, has more than one atc_id key", file.folderText, header));
            break;
        } else if (k.model.empty() && lf_matchModelKey(line, value)) {
            k.model = value;
        } else if (k.sim.empty() && lf_matchSimKey(line, value)) {
            k.sim = value;
        } else if (k.texture.empty() && lf_matchTextureKey(line, value)) {
            k.texture = value;
        }
    }
    return k;
}

bool lf_hasUsableTitle(const CfgFileContext& file, const std::string& header, const std::string& title)
{
    if (title.empty()) {
        lf_addIncompleteSection(fmt::format("{} {} misses title", file.folderText, header));
        return false;
    }
    return !lf_isTitleNotToUse(title);
}

fs::path lf_inFolder(const fs::path& folder, std::string name)
{
    while (!name.empty() && name.back() == '.')
        name.pop_back();
    return folder / gf_pathFromUtf8(name);
}

std::optional<LiveryData> lf_makeSectionRecord(const CfgFileContext& file, const std::string& header,
                                               std::string airline, bool notCargo, std::string title,
                                               std::string atcId, SectionKind kind)
{
    LiveryData record = gf_makeLiveryData(file.lfolder, std::move(airline), file.type, notCargo, title,
                                          std::move(atcId));
    if (!record.title.empty())
        return record;
    lf_addIncompleteSection(kind == SectionKind::Ivao
                                ? fmt::format("{} {} title already exists: {}", file.folderText, header, title)
                                : fmt::format("{} {} title '{}' already exists", file.folderText, header, title));
    return std::nullopt;
}

std::vector<LiveryData> lf_splitFltSimSections(const CfgFileContext& file, std::span<const std::string> lines)
{
    return lf_splitSections(file, lines, &lf_endsRegularSection, &lf_procesFltSimSection);
}

std::optional<LiveryData> lf_procesFltSimSection(const CfgFileContext& file, std::span<const std::string> section)
{
    try {
        return lf_parseSection(file, section);
    } catch (const std::exception& e) {
        gf_logLine("Exception in lf_procesFltSimSection: {}, file: {}", e.what(), file.fileText);
        throw;
    }
}

namespace {

// Here the header's bracket may stand anywhere: any line with '[' ends the section, a
// commented header too.
bool lf_endsIVAOSection(std::string_view line)
{
    return line.find('[') != std::string_view::npos;
}

} // namespace

std::vector<LiveryData> lf_splitIVAOFltSimSections(const CfgFileContext& file, std::span<const std::string> lines)
{
    return lf_splitSections(file, lines, &lf_endsIVAOSection, &lf_procesIVAOFltSimSection);
}
