#include <cmath>
#include <system_error>

#include <fmt/format.h>

#include "catalogue/dbase.h"
#include "foundation/file_meta.h"
#include "foundation/geo.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text_hash.h"
#include "foundation/version.h"
#include "foundation/xml_helpers.h"
#include "parking/half_hours.h"
#include "parking/park_file_internal.h"

namespace fs = std::filesystem;

namespace {

bool lf_writeFullStand(pugi::xml_node parkpos, const ParkStand& s)
{
    bool ok = gf_appendXmlAttribute(parkpos, "latitude", fmt::format("{:.6f}", s.lat));
    ok = gf_appendXmlAttribute(parkpos, "longitude", fmt::format("{:.6f}", s.lon)) && ok;
    ok = gf_appendXmlAttribute(parkpos, "heading", fmt::format("{:.1f}", s.heading * g_radToDeg)) && ok;
    ok = gf_appendXmlAttribute(parkpos, "radius", fmt::format("{:.1f}", s.radius * 1852.0)) && ok;
    if (s.heli) {
        ok = gf_appendBoolAttribute(parkpos, "heli", true) && ok;
    } else {
        ok = gf_appendBoolAttribute(parkpos, "cargo", s.cargo) && ok;
        ok = gf_appendBoolAttribute(parkpos, "ramp", s.ramp) && ok;
    }
    if (s.manual)
        ok = gf_appendBoolAttribute(parkpos, "manual", true) && ok;
    return ok;
}

bool lf_writeLearnedStand(pugi::xml_node parkpos, const ParkStand& s)
{
    // A handmade file is read as a whole park file: each of its stands needs its place.
    if (s.manual || g_parkFileHandmade)
        return lf_writeFullStand(parkpos, s);
    bool ok = true;
    if (s.radiusChange) {
        ok = gf_appendBoolAttribute(parkpos, "radius_change", true) && ok;
        ok = gf_appendXmlAttribute(parkpos, "radius", fmt::format("{:.1f}", s.radius * 1852.0)) && ok;
    }
    if (s.cargoChange) {
        ok = gf_appendBoolAttribute(parkpos, "cargo_change", true) && ok;
        ok = gf_appendBoolAttribute(parkpos, "cargo", s.cargo) && ok;
    }
    return ok;
}

// Every flight with a non-empty set is written, numbered or not: the stand search sets
// the number of a flight already shown to 0, and that must not lose what was learned.
bool lf_writeFlight(pugi::xml_node parkpos, const StandFlight& f)
{
    const std::optional<std::string> hh = gf_bitset2hours(f.hours);
    if (!hh) {
        gf_logErrorLine("bit set problem: {} {} {}", f.reg, f.cs1, fmt::format("{:3} {:4}", f.airl, f.type));
        return true;
    }
    pugi::xml_node opt = parkpos.append_child("opt");
    if (!opt)
        return false;
    bool ok = gf_appendXmlAttribute(opt, "reg", f.reg);
    if (f.reg.empty() || !gf_lookupDbase(f.reg)) {
        ok = gf_appendXmlAttribute(opt, "airl", f.airl) && ok;
        ok = gf_appendXmlAttribute(opt, "type", f.type) && ok;
    }
    if (f.real == 0)
        ok = gf_appendBoolAttribute(opt, "soft", true) && ok;
    ok = gf_appendXmlAttribute(opt, "day", std::to_string(f.day)) && ok;
    ok = gf_appendXmlAttribute(opt, "hh", *hh) && ok;
    if (!f.cs1.empty())
        ok = gf_appendXmlAttribute(opt, "cs", f.cs2.empty() ? f.cs1 : f.cs1 + ":" + f.cs2) && ok;
    if (f.cpl)
        ok = gf_appendBoolAttribute(opt, "cpl", true) && ok;
    return ok;
}

// The flights of a stand that were read but not used go back unchanged.
bool lf_writeKeptOpts(pugi::xml_node parkpos, const pugi::xml_node& opts)
{
    for (const pugi::xml_node opt : opts.children("opt")) {
        if (!parkpos.append_copy(opt))
            return false;
    }
    return true;
}

} // namespace

bool lf_writeApfParameters(pugi::xml_node root, const ApfContent& content, ApfMode mode)
{
    pugi::xml_node p = root.append_child("parameters");
    if (!p)
        return false;
    const bool full = mode == ApfMode::Full;
    const bool handmade = g_parkFileHandmade;
    bool ok = gf_appendParameterElement(p, "airport_name", content.airportName);
    ok = gf_appendParameterElement(p, "publisher", content.publisher) && ok;
    if (handmade)
        ok = gf_appendBoolParameter(p, "handmade", true) && ok;
    if (handmade || full)
        ok = gf_appendIntParameter(p, "altitude", content.altitude) && ok;
    if (full)
        ok = gf_appendIntParameter(p, "num_parkpos", static_cast<int32_t>(content.stands.size())) && ok;
    if (handmade) {
        ok = gf_appendIntParameter(p, "Qf_real", content.qfReal) && ok;
        ok = gf_appendIntParameter(p, "Qf_soft", content.qfSoft) && ok;
    }
    if (content.publisher.empty())
        ok = gf_appendParameterElement(p, "BGLpath", content.bglPath) && ok;
    if (!full) {
        ok = gf_appendIntParameter(p, "RANGE", RANGE.value) && ok;
        ok = gf_appendBoolParameter(p, "AUTO_RANGE", AUTO_RANGE.value) && ok;
        ok = gf_appendBoolParameter(p, "WEEK", WEEK.value) && ok;
        ok = gf_appendBoolParameter(p, "PARK_SOFT", PARK_SOFT.value) && ok;
        ok = gf_appendIntParameter(p, "parking_percentage", parking_percentage.value) && ok;
        ok = gf_appendBoolParameter(p, "INITIAL_LOAD_ONLY", INITIAL_LOAD_ONLY.value) && ok;
        const auto maxFit = static_cast<int32_t>(std::lround(2.0 * MAX_FIT_FL.value)) - 1;
        ok = gf_appendIntParameter(p, "MAX_FIT", maxFit) && ok;
        ok = gf_appendIntParameter(p, "MAX_LIVE_SEL", MAX_LIVE_SEL.value) && ok;
    }
    return ok;
}

bool gf_writeApf(const ApfContent& content, const fs::path& path, ApfMode mode, int32_t simKind)
{
    pugi::xml_document doc;
    FileMeta meta;
    meta.version = gf_versionText(g_ownVersion);
    gf_setMetaSim(meta, simKind);
    if (!gf_writeMeta(doc, meta))
        return false;
    pugi::xml_node root = doc.child("root");
    if (!root || !lf_writeApfParameters(root, content, mode))
        return false;
    pugi::xml_node positions = root.append_child("parkpositions");
    if (!positions)
        return false;
    const bool learned = mode == ApfMode::Learned;
    TextHashMap<pugi::xml_node> keptOpts;
    if (learned) {
        for (const pugi::xml_node opts : content.keptParkpos.children("opts"))
            keptOpts.emplace(opts.attribute("id").as_string(), opts);
    }
    for (const ParkStand& s : content.stands) {
        pugi::xml_node parkpos = positions.append_child("parkpos");
        if (!parkpos || !gf_appendXmlAttribute(parkpos, "id", s.id))
            return false;
        if (mode == ApfMode::Full) {
            if (!lf_writeFullStand(parkpos, s))
                return false;
            continue;
        }
        if (!lf_writeLearnedStand(parkpos, s))
            return false;
        for (const StandFlight& f : s.flights) {
            if (!lf_writeFlight(parkpos, f))
                return false;
        }
        if (const auto kept = keptOpts.find(s.id); kept != keptOpts.end()) {
            if (!lf_writeKeptOpts(parkpos, kept->second))
                return false;
            keptOpts.erase(kept);
        }
    }
    if (learned) {
        for (const pugi::xml_node kept : content.keptParkpos.children("parkpos")) {
            if (!positions.append_copy(kept))
                return false;
        }
        // A stand of the park file that has nothing else to save still holds them.
        for (const pugi::xml_node opts : content.keptParkpos.children("opts")) {
            if (!keptOpts.contains(opts.attribute("id").as_string()))
                continue;
            pugi::xml_node parkpos = positions.append_child("parkpos");
            if (!parkpos || !gf_appendXmlAttribute(parkpos, "id", opts.attribute("id").as_string()) ||
                !lf_writeKeptOpts(parkpos, opts))
                return false;
        }
    }
    std::error_code ec;
    if (path.has_parent_path())
        fs::create_directories(path.parent_path(), ec);
    return gf_saveXmlFile(doc, path);
}
