// Park files of scanned airports: a link file to the maker's archived park file when the
// add-on's publisher has one for the airport, else a park file generated from the stands.
#include <algorithm>
#include <charconv>
#include <map>
#include <mutex>

#include <fmt/format.h>

#include "catalogue/dbase.h"
#include "control/service_state.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/scan_tasks.h"
#include "foundation/text.h"
#include "foundation/text_files.h"
#include "scanner/addon_scan.h"
#include "scanner/scanner_internal.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSimaddon = "simaddon";

// g_linkMutex serialises the link step of concurrent tasks and the choice and write of a
// generated park file; g_generatedStands (under it) holds the stand count of every park
// file generated in this scan, by path.
std::mutex g_linkMutex;
std::map<fs::path, size_t> g_generatedStands;

char lf_lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Writes the link file; false (logged) when it could not be written.
bool lf_writeLink(const fs::path& folder, const std::string& code, const std::string& target)
{
    const fs::path file = folder / gf_txtFileName(code);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (gf_writeFile(target, file))
        return true;
    gf_logErrorLine("lf_processBglAirport: could not write {}, the airport is generated instead",
                    lf_pathTextForLog(file));
    return false;
}

} // namespace

bool gf_icontains(std::string_view text, std::string_view part)
{
    return std::search(text.begin(), text.end(), part.begin(), part.end(),
                       [](char a, char b) { return lf_lower(a) == lf_lower(b); }) != text.end() ||
           part.empty();
}

std::string gf_publisherFromName(std::string_view text)
{
    if (gf_icontains(text, "ORBX")) {
        gf_addToScanLog(fmt::format("from filename => publisher {}", kSimaddon));
        return std::string(kSimaddon);
    }
    for (const std::vector<std::string>& group : g_publisherGroups) {
        for (const std::string& name : group) {
            // An empty name, as a trailing comma of the list gives, would claim every path.
            if (!name.empty() && gf_icontains(text, name))
                return group.front();
        }
    }
    return {};
}

std::optional<std::string> lf_linkSimaddonApf(const std::string& code)
{
    if (g_simAddonAirports.contains(code))
        return fmt::format("archive/{}/{}.xml", kSimaddon, code);
    gf_addToScanLog(fmt::format("{} does not exist as simaddon", code));
    return std::nullopt;
}

bool lf_parsePrefixedNumber(const std::string& item, const std::string& code, const std::string& publisher)
{
    if (!item.starts_with(code))
        return false;
    const std::string_view tail = std::string_view(item).substr(std::min<size_t>(4, item.size()));
    int64_t number = 0;
    const auto [end, ec] = std::from_chars(tail.data(), tail.data() + tail.size(), number);
    if (ec != std::errc() || end != tail.data() + tail.size())
        gf_logErrorLine("{} {} {} {}", publisher, code, item, "invalid number");
    return true;
}

std::optional<std::string> lf_linkThirdpartyApf(const std::string& publisher, const std::string& code)
{
    std::string encoded = publisher;
    for (size_t blank = encoded.find(' '); blank != std::string::npos; blank = encoded.find(' '))
        encoded.replace(blank, 1, "%20");
    for (const ThirdPartyScenery& scenery : g_thirdPartySceneries) {
        if (scenery.publisher != publisher)
            continue;
        for (const std::string& item : scenery.airports) {
            if (lf_parsePrefixedNumber(item, code, publisher))
                return fmt::format("archive/thirdparty/{}/{}.xml", encoded, code);
        }
    }
    gf_addToScanLog(fmt::format("thirdparty {} {} does not exist", publisher, code));
    return std::nullopt;
}

bool lf_processBglAirport(ApfContent& content, const fs::path& bgl)
{
    std::lock_guard lock(g_linkMutex);
    // Linked: nothing more is written for an airport of an abandoned task.
    if (gf_scanTaskAbandoned())
        return true;
    content.bglPath = gf_pathToUtf8(bgl);
    content.publisher = gf_publisherFromName(content.bglPath);
    if (content.publisher.empty())
        return false;
    const ProgramPaths& paths = gf_paths();
    if (content.publisher == kSimaddon) {
        const std::optional<std::string> target = lf_linkSimaddonApf(content.code);
        if (!target || !lf_writeLink(paths.myOrbx, content.code, *target))
            return false;
        gf_addResultToScanLog(fmt::format("{} airport {} linked to {}", kSimaddon, content.code, *target));
    } else {
        const std::optional<std::string> target = lf_linkThirdpartyApf(content.publisher, content.code);
        if (!target || !lf_writeLink(paths.myThirdparty, content.code, *target))
            return false;
        gf_addResultToScanLog(fmt::format("thirdparty airport {} linked to {}", content.code, *target));
    }
    g_scanHandledAirport = true;
    return true;
}

void lf_generateApf(ApfContent& content, uint32_t helipads)
{
    const size_t n = content.stands.size();
    if (n == 0)
        return;
    const fs::path folder = content.publisher == kSimaddon ? gf_paths().myOrbx : gf_paths().myThirdparty;
    const fs::path file = folder / gf_xmlFileName(content.code);
    std::sort(content.stands.begin(), content.stands.end(),
              [](const ParkStand& a, const ParkStand& b) { return a.id < b.id; });
    // Two BGL files of one airport: the one with more stands is kept, whichever ends last.
    std::lock_guard lock(g_linkMutex);
    if (gf_scanTaskAbandoned())
        return;
    const auto [earlier, first] = g_generatedStands.try_emplace(file, 0);
    if (!first && earlier->second >= n) {
        gf_addToScanLog(fmt::format("Not generated {} from {}: {} position{}, the file written has {}",
                                    gf_pathToUtf8(gf_xmlFileName(content.code)), content.bglPath, n, gf_plural(n),
                                    earlier->second));
        return;
    }
    const std::string helipadPart =
        helipads > 0 ? fmt::format(", of which {} helipad{}", helipads, gf_plural(helipads)) : std::string();
    gf_addResultToScanLog(fmt::format("Generated {}: {} position{}{}", gf_pathToUtf8(gf_xmlFileName(content.code)), n,
                                gf_plural(n), helipadPart));
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!gf_writeApf(content, file, ApfMode::Full, g_simKind)) {
        gf_addToScanLog(fmt::format("{}Generating {} did not succeed", "===> ", lf_pathTextForLog(file)));
        return;
    }
    earlier->second = n;
    g_scanHandledAirport = true;
}

void lf_settleAbandonedWrites()
{
    // Every write looks at its task's generation under this lock.
    const std::lock_guard lock(g_linkMutex);
}

void lf_forgetGeneratedApfs()
{
    std::lock_guard lock(g_linkMutex);
    g_generatedStands.clear();
}

const BglAirportSteps& lf_scanSteps()
{
    static const BglAirportSteps steps{&lf_processBglAirport, &lf_generateApf};
    return steps;
}
