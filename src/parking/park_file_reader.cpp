#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <unordered_set>

#include <fmt/format.h>

#include "catalogue/dbase.h"
#include "foundation/file_meta.h"
#include "foundation/geo.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "foundation/user_error.h"
#include "parking/half_hours.h"
#include "parking/park_file_internal.h"

namespace {

constexpr std::string_view kIdTrim = "\t\n\r ";

bool lf_inRange(double v, double limit)
{
    return std::isfinite(v) && v >= -limit && v <= limit;
}

} // namespace

std::optional<uint32_t> lf_optDay(const pugi::xml_node& opt)
{
    std::string_view text = opt.attribute("day").as_string();
    const size_t first = text.find_first_not_of(kIdTrim);
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(kIdTrim) - first + 1);
    if (text.front() == '+')
        text.remove_prefix(1);
    uint32_t day = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), day);
    if (ec != std::errc())
        return std::nullopt;
    const std::string_view fraction(end, static_cast<size_t>(text.data() + text.size() - end));
    if (!fraction.empty() && (fraction.front() != '.' || fraction.find_first_not_of('0', 1) != std::string_view::npos))
        return std::nullopt;
    if (day < 1 || day > 7)
        return std::nullopt;
    return day;
}

void lf_setOptAside(const pugi::xml_node& opt, std::string_view reader, std::string_view id, pugi::xml_node kept)
{
    gf_logErrorLine("{}: stand '{}': the flight of '{}' with day '{}' is not used: its day is no weekday 1..7{}",
                    reader, id, opt.attribute("reg").as_string(), opt.attribute("day").as_string(),
                    kept ? "; it stays in the file" : "");
    if (!kept)
        return;
    const std::string idText(id);
    pugi::xml_node group = kept.find_child_by_attribute("opts", "id", idText.c_str());
    if (!group) {
        group = kept.append_child("opts");
        group.append_attribute("id").set_value(idText.c_str());
    }
    group.append_copy(opt);
}

double gf_attributeDouble(const pugi::xml_node& node, const char* name)
{
    std::string_view text = node.attribute(name).as_string();
    while (!text.empty() && (text.front() == ' ' || text.front() == '+'))
        text.remove_prefix(1);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() ? value : 0.0;
}

OptTexts lf_readOptTexts(const pugi::xml_node& opt)
{
    OptTexts texts;
    try {
        const std::string_view cs = opt.attribute("cs").as_string();
        const size_t colon = cs.find(':');
        texts.cs1 = cs.substr(0, colon);
        if (colon != std::string_view::npos)
            texts.cs2 = cs.substr(colon + 1);
        const std::string_view reg = opt.attribute("reg").as_string();
        std::optional<DbaseRecord> record;
        if (!reg.empty())
            record = gf_lookupDbase(reg);
        if (record) {
            texts.airl = record->opr.empty() ? std::move(record->airl) : std::move(record->opr);
            texts.type = std::move(record->type);
        } else {
            texts.airl = opt.attribute("airl").as_string();
            texts.type = opt.attribute("type").as_string();
        }
    } catch (const std::exception&) {
        // What was read so far stays; the rest is empty.
    }
    return texts;
}

ParkStand* lf_readParkpos(const pugi::xml_node& parkpos, std::string id, uint32_t origin,
                          std::vector<ParkStand>& table, pugi::xml_node kept)
{
    const double lat = gf_attributeDouble(parkpos, "latitude");
    const double lon = gf_attributeDouble(parkpos, "longitude");
    if (lat == 0.0 && lon == 0.0)
        return nullptr;
    double radius = gf_attributeDouble(parkpos, "radius");
    double heading = gf_attributeDouble(parkpos, "heading");
    if (!lf_inRange(lat, 90.0) || !lf_inRange(lon, 180.0) || !std::isfinite(heading) || !std::isfinite(radius)) {
        gf_logErrorLine("{}: stand '{}' skipped: latitude {}, longitude {}, heading {} or radius {} out of range",
                        "lf_readParkpos", id, lat, lon, heading, radius);
        return nullptr;
    }
    // Hand-written files say 450 for 90 degrees, or a radius no stand has: taken into range.
    heading = std::fmod(heading, 360.0);
    if (heading < 0.0)
        heading += 360.0;
    radius = std::clamp(radius, 0.0, g_mostStandRadiusMetres);
    std::vector<StandFlight> flights;
    const auto opts = parkpos.children("opt");
    flights.reserve(static_cast<size_t>(std::distance(opts.begin(), opts.end())));
    for (const pugi::xml_node opt : opts) {
        const pugi::xml_attribute hh = opt.attribute("hh");
        if (!hh || *hh.as_string() == '\0')
            continue;
        const std::optional<uint32_t> day = lf_optDay(opt);
        if (!day) {
            lf_setOptAside(opt, "lf_readParkpos", id, kept);
            continue;
        }
        OptTexts texts = lf_readOptTexts(opt);
        StandFlight& f = flights.emplace_back();
        f.airl = std::move(texts.airl);
        f.type = std::move(texts.type);
        f.reg = opt.attribute("reg").as_string();
        f.cs1 = std::move(texts.cs1);
        f.cs2 = std::move(texts.cs2);
        f.hours = gf_hours2bitset(hh.as_string());
        f.number = static_cast<uint32_t>(flights.size());
        f.day = *day;
        f.origin = origin;
        f.real = opt.attribute("soft").as_bool() ? 0 : 1;
        f.cpl = opt.attribute("cpl").as_bool();
    }
    flights.shrink_to_fit();
    return &gf_addParkStand(table, std::move(id), std::move(flights), {lat, lon, heading * g_degToRad}, radius,
                            !parkpos.attribute("cargo").as_bool(), !parkpos.attribute("ramp").as_bool(),
                            !parkpos.attribute("heli").as_bool());
}

void lf_readParkpositions(const pugi::xml_node& doc, std::vector<ParkStand>& table, pugi::xml_node refused)
{
    const pugi::xml_node positions = gf_xmlChildOfRoot(doc, "parkpositions");
    if (!positions)
        return;
    std::unordered_set<std::string> seen;
    int n = 0;
    for (const pugi::xml_node parkpos : positions.children("parkpos")) {
        ++n;
        const pugi::xml_attribute idAttribute = parkpos.attribute("id");
        if (!idAttribute)
            throw tav::UserErrorException(93, fmt::format("Parking position #{} has no '{}' attribute.", n, "id"));
        std::string_view id = idAttribute.as_string();
        const size_t first = id.find_first_not_of(kIdTrim);
        if (first == std::string_view::npos)
            throw tav::UserErrorException(93, fmt::format("Parking position #{} has empty '{}' attribute.", n, "id"));
        id = id.substr(first, id.find_last_not_of(kIdTrim) - first + 1);
        if (!seen.emplace(id).second)
            throw tav::UserErrorException(94, fmt::format("Parking position '{}' appears more than once.", id));
        if (lf_readParkpos(parkpos, std::string(id), 1, table, refused) == nullptr && refused)
            refused.append_copy(parkpos);
    }
}
