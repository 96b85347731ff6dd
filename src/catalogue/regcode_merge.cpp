// Which registration wears which of the user's liveries: the registrations the liveries
// carry themselves, then AIG-regcodes, then the user's own regcode files, each later
// source replacing the entries of the earlier ones. Before every livery scan the same
// sources name the titles not to use.
#include <exception>

#include <fmt/format.h>

#include "catalogue/livery_scan.h"
#include "catalogue/livery_tables.h"
#include "catalogue/livery_tables_internal.h"
#include "catalogue/regcodes.h"
#include "foundation/file_helpers.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "ui/messages.h"
#include "update/data_file_decrypt.h"

namespace fs = std::filesystem;

std::vector<std::string> g_titlesNotToUse;
std::mutex g_titlesNotToUseMutex;
std::vector<std::string> g_regcodeReportLines;

namespace {

size_t lf_appendTitlesNotToUse(const std::vector<RegcodeRecord>& records)
{
    size_t count = 0;
    std::lock_guard lock(g_titlesNotToUseMutex);
    for (const RegcodeRecord& record : records) {
        if (record.regcodes.empty()) {
            g_titlesNotToUse.push_back(record.title);
            ++count;
        }
    }
    return count;
}

bool lf_holdsAnEntry(const fs::path& folder)
{
    std::error_code ec;
    return fs::is_directory(folder, ec) && fs::directory_iterator(folder, ec) != fs::directory_iterator();
}

// A report that cannot be written is named in an error line instead of being pointed to.
void lf_writeReport(const std::vector<std::string>& lines, const fs::path& file, std::string_view caller,
                    std::string_view pointer)
{
    if (gf_writeLinesToFile(lines, file))
        gf_logLine(pointer);
    else
        gf_logErrorLine("{}: could not write '{}'", caller, gf_pathToUtf8(file));
}

} // namespace

void lf_mergeInlineRegcodes()
{
    std::vector<std::string> clashes;
    for (const LiveryData& l : g_scannedLiveries) {
        if (l.atcid.empty())
            continue;
        const std::string_view title = gf_findLiveryTitle(l.title);
        if (title.empty()) {
            clashes.push_back(fmt::format("==> [{:3} {:4}] {} '{}' not available, system error, should not happen?",
                                          l.airl, l.type, l.atcid, l.title));
            continue;
        }
        const auto [it, added] = g_registrationLiveries.try_emplace(l.atcid, title);
        if (!added && it->second != title)
            clashes.push_back(fmt::format("{} '{}' => already in use by '{}'", l.atcid, l.title, it->second));
    }
    if (clashes.empty())
        return;
    const ProgramPaths& p = gf_paths();
    if (!fs::exists(p.outputErrors))
        fs::create_directory(p.outputErrors);
    lf_writeReport(clashes, p.inlineRegcodes, "lf_mergeInlineRegcodes",
                   fmt::format("{} in-line regcode clashes, see '{}'", clashes.size(), gf_pathToUtf8(p.inlineRegcodes)));
}

void lf_mergeRegcodes(std::vector<RegcodeRecord> records)
{
    size_t added = 0;
    size_t replaced = 0;
    size_t special = 0;
    for (const RegcodeRecord& record : records) {
        const std::string_view title = gf_findLiveryTitle(record.title);
        if (title.empty())
            continue;
        const bool unique = record.special && record.regcodes.size() == 1;
        for (const std::string& reg : record.regcodes) {
            const auto [it, inserted] = g_registrationLiveries.try_emplace(reg, title);
            if (inserted) {
                ++added;
            } else if (it->second != title) {
                g_regcodeReportLines.push_back(
                    fmt::format("   regcode {} for '{}', instead of the same for '{}'", reg, title, it->second));
                it->second = title;
                ++replaced;
            }
            if (unique)
                g_specialRegistrations.insert(reg);
        }
        if (record.special) {
            g_reservedTitles.push_back(title);
            g_reservedTitleSet.insert(title);
            ++special;
        }
    }
    std::string summary = fmt::format("{} new regcode{} added", added, gf_plural(added));
    if (replaced > 0)
        summary += fmt::format(", {} regcode{} replaced", replaced, gf_plural(replaced));
    if (special > 0)
        summary += fmt::format(", {} regcode{} defined as special", special, gf_plural(special));
    g_regcodeReportLines.push_back(std::move(summary));
}

void gf_processRegcodeFile()
{
    const std::string pathText = gf_pathToUtf8(gf_paths().aigRegcodesXml);
    g_regcodeReportLines.push_back(fmt::format("Processing file {}", pathText));
    std::vector<RegcodeRecord> records;
    if (!gf_readAigRegcodesXml(records))
        g_regcodeReportLines.push_back(
            fmt::format("There were errors processing the AIG-regcode file '{}', see Log.txt", pathText));
    lf_mergeRegcodes(std::move(records));
}

void gf_processRegcodeFolder()
{
    const fs::path& folder = gf_paths().myRegcodes;
    if (!lf_holdsAnEntry(folder))
        return;
    const std::string folderText = gf_pathToUtf8(folder);
    g_regcodeReportLines.push_back(fmt::format("Processing files in {}", folderText));
    std::vector<RegcodeRecord> records;
    if (!gf_readRegcodeFiles(folder, records))
        gf_showMessage(
            fmt::format("There were errors processing the regcode files in folder '{}', see Log.txt", folderText),
            true);
    lf_mergeRegcodes(std::move(records));
}

void gf_processOfflineRegcodes()
{
    try {
        g_regcodeReportLines.clear();
        const ProgramPaths& p = gf_paths();
        // Without the data file (a first start offline) the user's own files still count.
        if (gf_streamDecrypt(p.aigRegcodesEnc, p.aigRegcodesXml)) {
            const PlainFileRemover remover(p.aigRegcodesXml);
            gf_processRegcodeFile();
        }
        gf_processRegcodeFolder();
        fs::remove(p.offlineRegcodes);
        if (!g_regcodeReportLines.empty())
            lf_writeReport(g_regcodeReportLines, p.offlineRegcodes, "gf_processOfflineRegcodes",
                           fmt::format("Offline regcode files processed, results can be found in '{}'",
                                       gf_pathToUtf8(p.offlineRegcodes)));
        if (!g_reservedTitles.empty())
            gf_logLine("{} special liveries", g_reservedTitles.size());
        if (!g_specialRegistrations.empty())
            gf_logLine("{} unique liveries", g_specialRegistrations.size());
    } catch (const std::exception& e) {
        gf_logErrorLine("exception: {}", e.what());
    }
}

void lf_recheckRegcodeFile()
{
    std::vector<RegcodeRecord> records;
    gf_readAigRegcodesXml(records);
    const size_t count = lf_appendTitlesNotToUse(records);
    gf_logLine("{} don't use title{} read", count, gf_plural(count));
}

void lf_recheckRegcodeFolder()
{
    const fs::path& folder = gf_paths().myRegcodes;
    std::vector<RegcodeRecord> records;
    gf_readRegcodeFiles(folder, records);
    const size_t count = lf_appendTitlesNotToUse(records);
    gf_logLine("{} don't use title{} read from files in {}", count, gf_plural(count), gf_pathToUtf8(folder));
}

void lf_reprocessRegcodes()
{
    try {
        const ProgramPaths& p = gf_paths();
        if (gf_streamDecrypt(p.aigRegcodesEnc, p.aigRegcodesXml)) {
            const PlainFileRemover remover(p.aigRegcodesXml);
            lf_recheckRegcodeFile();
        }
        if (lf_holdsAnEntry(p.myRegcodes))
            lf_recheckRegcodeFolder();
    } catch (const std::exception& e) {
        gf_logErrorLine("exception: {}", e.what());
    }
}
