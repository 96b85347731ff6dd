#include "parking/park_airports.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include <fmt/format.h>

#include "control/setting_controls.h"
#include "foundation/atomic_file.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "foundation/text_files.h"
#include "foundation/text_hash.h"
#include "parking/airports.h"
#include "traffic/traffic_service.h"
#include "parking/static_parking.h"
#include "parking/static_parking_internal.h"
#include "simlink/sim_link_calls.h"
#include "ui/messages.h"
#include "ui/window_state.h"

namespace fs = std::filesystem;

std::list<ParkAirportEntry> g_parkAirports;
std::mutex g_parkAirportsMutex;

namespace {

constexpr std::string_view kFileName = "my_park_airports.txt";
// More airports than this cost the pass of every 16 seconds noticeable time.
constexpr size_t kManyAirports = 3000;

std::string lf_fileLine(const ParkAirportEntry& entry)
{
    return entry.reservedStand.empty() ? entry.code : entry.code + "," + entry.reservedStand;
}

// The lines of an existing file; false when it exists but cannot be read, so that a file
// held by another program is not replaced by one line.
bool lf_readExistingLines(const fs::path& path, std::vector<std::string>& lines, bool& missing)
{
    std::error_code ec;
    missing = !fs::exists(path, ec) && !ec;
    if (missing)
        return true;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    gf_readStream(in, lines);
    return !in.bad();
}

void lf_readListFile(const fs::path& path, TextHashSet& codes, bool& result)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        gf_logLine("{} not found", gf_pathToUtf8(fs::absolute(path)));
        return;
    }
    std::vector<std::string> lines;
    gf_readStream(in, lines);
    for (const std::string& line : lines) {
        const std::vector<std::string> fields = gf_splitComma(line);
        if (fields.empty() || (fields.size() == 1 && fields[0].empty()))
            continue;
        if (fields.size() >= 3) {
            gf_logErrorLine("{}:{} wrong syntax, skipped", kFileName, line);
            continue;
        }
        const std::string& code = fields[0];
        if (codes.contains(code)) {
            gf_logErrorLine("{}:{} double, skipped", kFileName, code);
            continue;
        }
        const Airport* airport = gf_findAirport(code);
        if (airport == nullptr) {
            gf_showMessage(fmt::format("airport {} is unknown", code), true);
            result = false;
            continue;
        }
        g_parkAirports.push_back({code, fields.size() == 2 ? fields[1] : std::string(), airport->lat, airport->lon, 0.0});
        codes.insert(code);
    }
    const size_t n = g_parkAirports.size();
    if (n == 0)
        return;
    gf_logLine("{} park airport{} read from '{}'", n, gf_plural(n), kFileName);
    if (n > kManyAirports) {
        gf_showMessage(fmt::format("Warning: There are {} park airports, so many will cost Tavelorium much "
                                   "processor time and may cause stutters",
                                   n),
                       true);
    }
}

} // namespace

size_t lf_updateMyParkAirportLine(std::vector<std::string>& lines, const ParkAirportEntry& entry)
{
    const std::string line = lf_fileLine(entry);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::vector<std::string> fields = gf_splitComma(lines[i]);
        if (!fields.empty() && fields[0] == entry.code) {
            lines[i] = line;
            gf_logLine("{}:{} updated stand", kFileName, line);
            return i;
        }
    }
    return lines.size();
}

void lf_addThirdPartyParkAirports()
{
    const size_t before = g_parkAirports.size();
    TextHashSet codes;
    for (const ParkAirportEntry& entry : g_parkAirports)
        codes.insert(entry.code);
    std::error_code ec;
    for (fs::directory_iterator it(gf_paths().myThirdparty, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        const std::string code = gf_pathToUtf8(it->path().stem());
        const Airport* airport = gf_findAirport(code);
        if (airport == nullptr || codes.contains(code))
            continue;
        g_parkAirports.push_back({code, {}, airport->lat, airport->lon, 0.0});
        codes.insert(code);
    }
    if (const size_t added = g_parkAirports.size() - before; added > 0)
        gf_logLine("{} park airport{} added from my_thirdparty folder(-s)", added, gf_plural(added));
}

bool lf_readMyParkAirports()
{
    // A new run, or the user asked to read the list again: every airport gets its chance.
    lf_listReadAnew();
    std::lock_guard lock(g_parkAirportsMutex);
    bool result = true;
    try {
        g_parkAirports.clear();
        TextHashSet codes;
        lf_readListFile(gf_paths().myParkAirports, codes, result);
        lf_addThirdPartyParkAirports();
    } catch (const std::exception& e) {
        gf_logErrorLine("{}: {}", "lf_readMyParkAirports", e.what());
        result = false;
    }
    return result;
}

void gf_writeMyParkAirports()
{
    if (g_parkAirports.empty())
        return;
    const fs::path& path = gf_paths().myParkAirports;
    const ParkAirportEntry& first = g_parkAirports.front();
    const std::string line = lf_fileLine(first);
    std::vector<std::string> lines;
    bool missing = false;
    if (!lf_readExistingLines(path, lines, missing)) {
        gf_logErrorLine("{}: {} cannot be read, {} not written", "gf_writeMyParkAirports", kFileName, line);
        return;
    }
    if (missing) {
        lines.push_back(line);
        gf_logLine("{} created with {}", kFileName, line);
    } else if (lf_updateMyParkAirportLine(lines, first) == lines.size()) {
        lines.insert(lines.begin(), line);
        gf_logLine("{}:{} new entry", kFileName, line);
    }
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    std::string bytes;
    for (const std::string& l : lines)
        bytes += l + "\n";
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (std::string error; !gf_writeFileAtomically(path, bytes, &error))
        gf_logErrorLine("{}: {} not written: {}", "gf_writeMyParkAirports", kFileName, error);
}

void gf_addParkAirport(std::string_view code, GeoPos position)
{
    std::lock_guard lock(g_parkAirportsMutex);
    const auto listed = std::find_if(g_parkAirports.begin(), g_parkAirports.end(),
                                     [&](const ParkAirportEntry& e) { return e.code == code; });
    if (listed != g_parkAirports.end()) {
        g_parkAirports.splice(g_parkAirports.begin(), g_parkAirports, listed);
        return;
    }
    g_parkAirports.push_front({std::string(code), {}, position.latitude, position.longitude, 0.0});
    gf_writeMyParkAirports();
}

bool gf_checkParkAirports(bool adoptStand, std::string& text)
{
    if (!lf_readMyParkAirports())
        return false;
    std::string newStand;
    if (adoptStand && gf_simLink().userDataValid() && !g_settingControlsDisabled &&
        gf_windowText(WindowText::UserStand).empty()) {
        std::lock_guard lock(g_parkAirportsMutex);
        if (!g_parkAirports.empty() && g_parkAirports.front().code == g_parkAirport.code)
            newStand = g_parkAirports.front().reservedStand;
    }
    if (!newStand.empty() && newStand != g_reservedStandId) {
        text = fmt::format("reserved stand changed from '{}' to '{}'", g_reservedStandId, newStand);
        if (ParkStand* old = lf_standById(g_reservedStandId))
            old->notUsable = false;
        g_reservedStandId = newStand;
        gf_removeAcAtStand(newStand);
        ParkStand* stand = lf_standById(newStand);
        if (stand != nullptr)
            stand->notUsable = true;
        lf_showReservedStand(newStand, stand != nullptr);
        gf_invalidateBand(g_wholeWindow);
    }
    if (text.empty())
        text = "park airports and stands are okay";
    return true;
}
