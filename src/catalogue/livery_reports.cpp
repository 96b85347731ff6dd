// The report files of a livery scan: what was rejected (output\errors) and what was
// corrected or empty (output\info); and, while the traffic runs, the flights that no
// livery fitted.
#include <algorithm>
#include <exception>

#include <fmt/format.h>

#include "catalogue/liveries.h"
#include "catalogue/livery_scan_internal.h"
#include "foundation/file_helpers.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/text.h"

namespace fs = std::filesystem;

TextHashSet g_unmatchedFlights;

namespace {

void lf_createFolderWhenMissing(const fs::path& folder)
{
    std::error_code ec;
    const fs::file_status status = fs::status(folder, ec);
    if (status.type() == fs::file_type::none || status.type() == fs::file_type::not_found)
        fs::create_directory(folder);
}

// Writes the report and logs its summary; a report that cannot be written is named in
// an error line.
void lf_writeReport(const std::vector<std::string>& lines, const fs::path& file, std::string_view summary)
{
    if (!gf_writeLinesToFile(lines, file))
        gf_logErrorLine("gf_writeLiveryScanReport: could not write {}", lf_pathText(file));
    gf_logLine(summary);
}

std::vector<std::string> lf_sorted(std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

} // namespace

void lf_removePreviousScanResults()
{
    const ProgramPaths& p = gf_paths();
    try {
        // LiveriesScanned.xml stays until a complete scan replaces it.
        for (const fs::path* file : {&p.aircraftCfgWithNoFltsimSection, &p.inlineRegcodes, &p.invalidAirlineCodes,
                                     &p.invalidAircraftCodes, &p.fixes, &p.invalidAircraftCfgFiles,
                                     &p.incompleFltsimSections})
            fs::remove(*file);
        if (fs::exists(p.outputErrors))
            fs::remove(p.outputErrors);
    } catch (const std::exception& e) {
        gf_logLine("problems with removing previous files: {}", e.what());
    }
}

void gf_writeLiveryScanReport()
{
    const ProgramPaths& p = gf_paths();
    const std::vector<std::string> airlines = g_invalidAirlines.copy();
    const std::vector<std::string> aircraft = g_invalidAircraft.copy();
    const std::vector<std::string> fixes = g_modelFixes.copy();
    const std::vector<std::string> files = g_invalidCfgFiles.copy();
    std::vector<std::string> sections = g_incompleteSections.copy();
    const std::vector<std::string> noSection = g_noSectionFiles.copy();
    const std::vector<std::string> conversions = g_liveryConversions.copy();

    const bool noErrors = airlines.empty() && aircraft.empty() && fixes.empty() && files.empty() && sections.empty();
    gf_logLine(noErrors ? "\nNo errors" : "\nErrors:");
    if (!airlines.empty()) {
        lf_createFolderWhenMissing(p.outputErrors);
        lf_writeReport(lf_sorted(airlines), p.invalidAirlineCodes,
                       fmt::format("{} invalid airline code{}, see {}", airlines.size(), gf_plural(airlines.size()),
                                   lf_pathText(p.invalidAirlineCodes)));
    }
    if (!aircraft.empty()) {
        lf_createFolderWhenMissing(p.outputErrors);
        lf_writeReport(lf_sorted(aircraft), p.invalidAircraftCodes,
                       fmt::format("{} invalid model code{}, see {}", aircraft.size(), gf_plural(aircraft.size()),
                                   lf_pathText(p.invalidAircraftCodes)));
    }
    if (!fixes.empty()) {
        fs::create_directories(p.outputErrors);
        lf_writeReport(fixes, p.fixes, fmt::format("{} code fixes, see {}", fixes.size(), lf_pathText(p.fixes)));
    }
    if (!files.empty()) {
        lf_createFolderWhenMissing(p.outputErrors);
        lf_writeReport(lf_sorted(files), p.invalidAircraftCfgFiles,
                       fmt::format("{} invalid aircraft.cfg files, see {}", files.size(),
                                   lf_pathText(p.invalidAircraftCfgFiles)));
    }
    if (!sections.empty()) {
        const size_t count = sections.size();
        sections = lf_sorted(std::move(sections));
        sections.erase(std::unique(sections.begin(), sections.end()), sections.end());
        lf_createFolderWhenMissing(p.outputErrors);
        lf_writeReport(sections, p.incompleFltsimSections,
                       fmt::format("{} incomplete [fltsim.x] sections, see {}", count,
                                   lf_pathText(p.incompleFltsimSections)));
    }
    gf_logLine("\nInformation:");
    if (!noSection.empty())
        lf_writeReport(lf_sorted(noSection), p.aircraftCfgWithNoFltsimSection,
                       fmt::format("{} empty aircraft.cfg files, see {}", noSection.size(),
                                   lf_pathText(p.aircraftCfgWithNoFltsimSection)));
    if (!conversions.empty())
        lf_writeReport(conversions, p.airlineModelConversions,
                       fmt::format("{} liveries updated with real live data from dbase, see {}", conversions.size(),
                                   lf_pathText(p.airlineModelConversions)));
}

void gf_logUnmatchedFlights()
{
    if (g_unmatchedFlights.empty())
        return;
    // In byte order, so that two logs of the same flights read alike.
    std::vector<std::string_view> flights(g_unmatchedFlights.begin(), g_unmatchedFlights.end());
    std::sort(flights.begin(), flights.end());
    gf_logLine("\nNo match found for:");
    for (const std::string_view flight : flights)
        gf_logLine(flight);
    gf_logLine("");
}
