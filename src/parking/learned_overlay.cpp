#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_map>

#include <fmt/format.h>

#include "control/setting_controls.h"
#include "foundation/file_meta.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text.h"
#include "foundation/version.h"
#include "foundation/xml_helpers.h"
#include "parking/half_hours.h"
#include "parking/park_file_internal.h"
#include "ui/control_ops.h"
#include "ui/messages.h"
#include "ui/window_bridge.h"

namespace fs = std::filesystem;

namespace {

// Learned files of older versions hold flights in a form that is no longer trusted.
constexpr VersionData kFlightsTrustedFrom{11, 10, 0};
constexpr double kManualOriginNear = 0.0001;

void lf_logValue(std::string_view name, int32_t value)
{
    gf_logContinuation("{:24}: {}", name, value);
}

void lf_logValue(std::string_view name, bool value)
{
    gf_logContinuation("{:24}: {}", name, value ? "true" : "false");
}

void lf_applyCheckBox(const pugi::xml_document& doc, CheckBoxParameter& box)
{
    if (const std::optional<bool> v = gf_findBoolParameter(doc, box.name)) {
        box.value = *v;
        gf_controlSetCheckMark(box, *v);
        lf_logValue(box.name, *v);
    }
}

// The park airport's settings as the learned file holds them, each limited to what the
// setting allows.
void lf_applySettings(const pugi::xml_document& doc)
{
    if (const std::optional<int32_t> v = gf_findIntParameter(doc, MAX_LIVE_SEL.name)) {
        MAX_LIVE_SEL.value = std::clamp(*v, MAX_LIVE_SEL.minValue, MAX_LIVE_SEL.maxValue);
        gf_setIntControlText(MAX_LIVE_SEL);
        lf_logValue(MAX_LIVE_SEL.name, MAX_LIVE_SEL.value.load());
    }
    const std::optional<int32_t> range = gf_findIntParameter(doc, RANGE.name);
    if (range) {
        gf_selectComboInt(*range);
        gf_controlEnable(RANGE, true);
        lf_logValue(RANGE.name, RANGE.value.load());
    }
    if (const std::optional<bool> v = gf_findBoolParameter(doc, AUTO_RANGE.name)) {
        AUTO_RANGE.value = *v;
        gf_controlSetCheckMark(AUTO_RANGE, *v);
        gf_updateRangeControls();
        // Without auto range the range list goes back to the remembered manual range; the
        // learned file's range is the manual range of this airport.
        if (!*v && range) {
            g_restartSavedRange = std::clamp(*range, RANGE.minValue, RANGE.maxValue);
            gf_selectComboInt(g_restartSavedRange);
        }
        lf_logValue(AUTO_RANGE.name, *v);
    }
    const std::optional<int32_t> percentage = gf_findIntParameter(doc, parking_percentage.name);
    parking_percentage.value =
        percentage ? std::clamp(*percentage, parking_percentage.minValue, parking_percentage.maxValue) : 30;
    gf_setIntControlText(parking_percentage);
    if (percentage)
        lf_logValue(parking_percentage.name, parking_percentage.value.load());
    lf_applyCheckBox(doc, WEEK);
    lf_applyCheckBox(doc, PARK_SOFT);
    if (const std::optional<int32_t> v = gf_findIntParameter(doc, MAX_FIT.name)) {
        MAX_FIT.value = std::clamp(*v, MAX_FIT.minValue, MAX_FIT.maxValue);
        gf_selectComboFloat();
        gf_logContinuation("{:24}: {} (max number of half hours, is {:.1F} hrs decimal)", MAX_FIT.name,
                           MAX_FIT.value.load(), MAX_FIT_FL.value.load());
    }
    if (const std::optional<bool> v = gf_findBoolParameter(doc, INITIAL_LOAD_ONLY.name)) {
        INITIAL_LOAD_ONLY.value = *v;
        gf_controlSetCheckMark(INITIAL_LOAD_ONLY, *v);
        gf_controlEnable(g_nowButton, !*v && g_nowButtonAllowed);
        lf_logValue(INITIAL_LOAD_ONLY.name, *v);
    }
}

// A learned file holds months of learning: a value out of range is brought into range,
// never a reason to drop what the stand holds.
double lf_radiusMetres(double metres)
{
    return std::clamp(metres, 0.0, g_mostStandRadiusMetres);
}

// A damaged learned file may still be repaired by its user: it is kept under a name that no
// later save takes ("<code>.damaged<n>.xml"), and the save then starts a new file.
std::optional<fs::path> lf_keepDamagedFile(const fs::path& path)
{
    const std::string stem = gf_pathToUtf8(path.stem());
    const std::string extension = gf_pathToUtf8(path.extension());
    for (int n = 1; n <= 999; ++n) {
        const fs::path kept = path.parent_path() / gf_pathFromUtf8(fmt::format("{}.damaged{}{}", stem, n, extension));
        std::error_code ec;
        if (fs::exists(kept, ec))
            continue;
        if (ec || !fs::copy_file(path, kept, fs::copy_options::none, ec) || ec)
            return std::nullopt;
        return kept;
    }
    return std::nullopt;
}

void lf_applyStands(const pugi::xml_document& doc, const fs::path& path, bool oldFile, std::vector<ParkStand>& table,
                    pugi::xml_node kept)
{
    const std::string pathText = gf_pathToUtf8(path);
    std::unordered_map<std::string, size_t> byId;
    for (size_t i = 0; i < table.size(); ++i)
        byId.emplace(table[i].id, i);
    for (const pugi::xml_node parkpos : gf_xmlChildOfRoot(doc, "parkpositions").children("parkpos")) {
        const std::string id = parkpos.attribute("id").as_string();
        const auto found = byId.find(id);
        if (!parkpos.attribute("manual").as_bool()) {
            if (found == byId.end() || !lf_applyLearnedParkpos(parkpos, id, oldFile, table[found->second], kept)) {
                gf_logLine("learned stand {} in {} not found?", id, pathText);
                kept.append_copy(parkpos);
            }
            continue;
        }
        if (found != byId.end()) {
            // The park file now has the user's stand: what was learned there moves to it.
            gf_logErrorLine("manually created standid {} already exists in {}", id, pathText);
            lf_applyLearnedParkpos(parkpos, id, oldFile, table[found->second], kept);
            continue;
        }
        const double lat = gf_attributeDouble(parkpos, "latitude");
        const double lon = gf_attributeDouble(parkpos, "longitude");
        const double radius = gf_attributeDouble(parkpos, "radius");
        ParkStand* stand = nullptr;
        if ((std::abs(lat) < kManualOriginNear && std::abs(lon) < kManualOriginNear) || radius == 0.0)
            gf_logErrorLine("manually created standid {} misses correct attributes in {}", id, pathText);
        else
            stand = lf_readParkpos(parkpos, id, 0, table, kept);
        if (stand == nullptr) {
            // Not used, but the user's stand stays in the file as it was.
            kept.append_copy(parkpos);
            continue;
        }
        stand->manual = true;
        byId.emplace(id, table.size() - 1);
    }
}

} // namespace

bool lf_sameStandFlight(const StandFlight& a, const StandFlight& b)
{
    return a.day == b.day && a.real == b.real && a.reg == b.reg && a.airl == b.airl && a.type == b.type &&
           (a.hours & b.hours).any();
}

bool lf_applyLearnedParkpos(const pugi::xml_node& parkpos, std::string_view id, bool oldFile, ParkStand& stand,
                            pugi::xml_node kept)
{
    if (stand.id != id)
        return false;
    if (parkpos.attribute("radius_change").as_bool()) {
        const double metres = gf_attributeDouble(parkpos, "radius");
        if (std::isfinite(metres)) {
            stand.radius = lf_radiusMetres(metres) / 1852.0;
            stand.radiusChange = true;
        } else {
            gf_logErrorLine("{}: learned stand '{}': radius {} is not a number", "lf_applyLearnedParkpos", id, metres);
        }
    }
    if (parkpos.attribute("cargo_change").as_bool()) {
        stand.cargo = parkpos.attribute("cargo").as_bool();
        stand.cargoChange = true;
    }
    if (oldFile)
        return true;
    uint32_t next = stand.flights.empty() ? 1 : stand.flights.back().number + 1;
    for (const pugi::xml_node opt : parkpos.children("opt")) {
        OptTexts texts = lf_readOptTexts(opt);
        const HalfHours hours = gf_hours2bitset(opt.attribute("hh").as_string());
        if (hours.none()) {
            gf_logErrorLine("empty bit set");
            continue;
        }
        const std::optional<uint32_t> day = lf_optDay(opt);
        if (!day) {
            lf_setOptAside(opt, "lf_applyLearnedParkpos", id, kept);
            continue;
        }
        StandFlight f;
        f.airl = std::move(texts.airl);
        f.type = std::move(texts.type);
        f.reg = opt.attribute("reg").as_string();
        f.cs1 = std::move(texts.cs1);
        f.cs2 = std::move(texts.cs2);
        f.hours = hours;
        f.number = next;
        f.day = *day;
        f.origin = 0;
        f.real = opt.attribute("soft").as_bool() ? 0 : 1;
        f.cpl = opt.attribute("cpl").as_bool();
        if (std::any_of(stand.flights.begin(), stand.flights.end(),
                        [&](const StandFlight& e) { return lf_sameStandFlight(e, f); }))
            continue;
        stand.flights.push_back(std::move(f));
        ++next;
    }
    return true;
}

bool lf_readLearned(const fs::path& path, const ParkFileDetails& details, std::vector<ParkStand>& table,
                    pugi::xml_document& kept)
{
    const std::string pathText = gf_pathToUtf8(path);
    pugi::xml_document doc;
    if (const pugi::xml_parse_result loaded = gf_loadXmlFile(doc, path); !loaded) {
        const std::optional<fs::path> damaged = lf_keepDamagedFile(path);
        if (!damaged) {
            gf_logErrorLine("{} found, but could not be loaded nor kept aside, so it is not replaced: {}", pathText,
                            loaded.description());
            return false;
        }
        gf_logErrorLine("{} found, but could not be loaded, saved as {}: {}", pathText, gf_pathToUtf8(*damaged),
                        loaded.description());
        return true;
    }
    gf_logLine("Read from learned airport file: '{}'", pathText);
    gf_flushLog();
    const std::optional<FileMeta> meta = gf_readMeta(doc, true);
    if (!meta) {
        // Perhaps a file the user wrote by hand: never replace what was not read.
        gf_logErrorLine("{}: {} has no meta block and is not used", "lf_readLearned", pathText);
        return false;
    }
    try {
        const bool oldFile = gf_isNewerVersion(kFlightsTrustedFrom, VersionData(meta->version));
        if (oldFile)
            gf_logLine("\nThis learned file was created with and older Tavelorium version than 11.10.0,\n"
                       "All flights will be cleared, except for a handmade file\n");
        const std::string name = gf_findTextParameter(doc, "airport_name").value_or(std::string());
        if (name != details.airportName)
            gf_showMessage(fmt::format("Warning: learned file airport name: '{}' differs from archived file airport "
                                       "name: '{}'",
                                       name, details.airportName),
                           true);
        lf_applySettings(doc);
        if (const std::optional<std::string> handmade = gf_findTextParameter(doc, "handmade")) {
            std::vector<ParkStand> own;
            lf_readParkpositions(doc, own, kept.append_child("root"));
            table = std::move(own);
            g_parkFileHandmade = true;
            gf_logContinuation("{:24}: {}", "handmade", *handmade);
            return true;
        }
        g_parkFileHandmade = false;
        lf_applyStands(doc, path, oldFile, table, kept.append_child("root"));
        return true;
    } catch (const std::exception& e) {
        gf_logErrorLine("{}: {}", "lf_readLearned", e.what());
        return false;
    }
}
