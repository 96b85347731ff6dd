// What the user's liveries cover, by size category: the summary in the log, the type
// lists the fallback picks draw from, and the optional categories switched off when the
// user has no livery of them.
#include <algorithm>

#include <fmt/format.h>

#include "catalogue/livery_tables.h"
#include "catalogue/livery_tables_internal.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/random.h"
#include "foundation/settings_access.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text.h"
#include "ui/window_bridge.h"

namespace {

constexpr size_t kTypesPerLine = 20;

struct OptionalCategory {
    TypeCategory category;
    CheckBoxParameter* setting;
    std::string_view missing; // what the user does not have installed
};

const OptionalCategory* lf_optionalCategory(TypeCategory category)
{
    static const OptionalCategory categories[] = {
        {TypeCategory::Other, &LIGHT_AIRCRAFT, "light aircraft"},
        {TypeCategory::HighPerformance, &HIGH_PERF_AIRCRAFT, "High Perf aircraft"},
        {TypeCategory::Rotorcraft, &HELICOPTERS, "Helicopters"},
    };
    for (const OptionalCategory& c : categories) {
        if (c.category == category)
            return &c;
    }
    return nullptr;
}

// A stand-in of more than half again the span (or less than two thirds) parks and moves
// as another aircraft would: the tables' similar groups keep within the same bound.
constexpr double kNearSpanRatio = 1.5;

std::string_view lf_pick(const std::vector<std::string>& types)
{
    if (types.empty())
        return {};
    return types[gf_randomIndex(types.size())];
}

// The category's list of types with liveries: light, buzjet and rotorcraft only.
const std::vector<std::string>* lf_categoryTypeList(TypeCategory category)
{
    switch (category) {
    case TypeCategory::Other:
        return &g_categoryTypes[0];
    case TypeCategory::Buzjet:
        return &g_categoryTypes[1];
    case TypeCategory::Rotorcraft:
        return &g_categoryTypes[2];
    default:
        return nullptr;
    }
}

void lf_sortUnique(std::vector<std::string>& types)
{
    std::sort(types.begin(), types.end());
    types.erase(std::unique(types.begin(), types.end()), types.end());
}

} // namespace

void lf_logTypeList(bool light, bool buzjet, bool rotorcraft, const std::vector<std::string>& types)
{
    for (const std::string& type : types) {
        if (light)
            g_categoryTypes[0].push_back(type);
        else if (buzjet)
            g_categoryTypes[1].push_back(type);
        else if (rotorcraft)
            g_categoryTypes[2].push_back(type);
    }
    for (size_t first = 0; first < types.size(); first += kTypesPerLine) {
        const auto begin = types.begin() + static_cast<std::ptrdiff_t>(first);
        const auto end = types.begin() + static_cast<std::ptrdiff_t>(std::min(types.size(), first + kTypesPerLine));
        gf_logLine("  {}", fmt::join(begin, end, ","));
    }
}

void gf_logLiveryCategories(TypeCategory category)
{
    std::array<size_t, 2> titles{};
    std::vector<std::string> types;
    for (size_t k : {g_paxTable, g_cargoTable}) {
        for (const auto& [type, list] : g_genericLiveries[k]) {
            if (gf_typeCategory(type) != category)
                continue;
            titles[k] += list.size();
            types.push_back(type);
        }
    }
    const std::string_view text = gf_typeCategoryText(category);
    const OptionalCategory* optional = lf_optionalCategory(category);
    if (titles[g_paxTable] + titles[g_cargoTable] == 0) {
        gf_logLine("Category {}: No livery found", text);
        if (optional) {
            CheckBoxParameter& setting = *optional->setting;
            if (setting.value) {
                setting.value = false;
                gf_storeBoolParameter(setting);
                gf_logLine("{} temporarily switched off because you do not have {} installed", setting.name,
                           optional->missing);
            }
            gf_controlEnable(setting, false);
        }
        return;
    }
    const size_t cargo = titles[g_cargoTable];
    const std::string cargoPart =
        cargo > 0 ? fmt::format(" and {} cargo liverie{}", cargo, gf_plural(cargo)) : std::string();
    gf_logLine("Category {}: {} pax liverie{}{}", text, titles[g_paxTable], gf_plural(titles[g_paxTable]),
               cargoPart);
    lf_sortUnique(types);
    lf_logTypeList(category == TypeCategory::Other, category == TypeCategory::Buzjet,
                   category == TypeCategory::Rotorcraft, types);
    if (optional)
        gf_controlEnable(*optional->setting, true);
}

std::optional<std::vector<std::string>> lf_privateLiveryTypes()
{
    const auto it = g_airlineTypeLiveries.find("ZZZ");
    if (it == g_airlineTypeLiveries.end())
        return std::nullopt;
    std::vector<std::string> types;
    for (const auto& [type, entries] : it->second)
        types.push_back(type);
    return types;
}

void gf_logGenericLiveries()
{
    std::optional<std::vector<std::string>> types = lf_privateLiveryTypes();
    if (!types) {
        gf_logLine("No generic liveries");
        return;
    }
    lf_sortUnique(*types);
    gf_logLine("{} model{} have a generic livery", types->size(), gf_plural(types->size()));
    lf_logTypeList(false, false, false, *types);
}

std::string_view gf_pickCategoryType(std::string_view type)
{
    const std::vector<std::string>* types = lf_categoryTypeList(gf_typeCategory(type));
    if (types == nullptr)
        return {};
    const double halfSpan = gf_halfWingspan(type);
    // The larger span over the smaller: 1 for equal spans, infinite when one is 0.
    const auto ratio = [halfSpan](const std::string& other) {
        const double span = gf_halfWingspan(other);
        return std::max(span, halfSpan) / std::min(span, halfSpan);
    };
    const auto isNear = [&](const std::string& other) { return other != type && ratio(other) <= kNearSpanRatio; };
    if (gf_randomChoicesOn()) {
        const std::string* near = gf_randomItemWhere(*types, isNear);
        return near != nullptr ? std::string_view(*near) : lf_pick(*types);
    }
    const std::string* nearest = nullptr;
    for (const std::string& other : *types) {
        if (isNear(other) && (nearest == nullptr || ratio(other) < ratio(*nearest)))
            nearest = &other;
    }
    return nearest != nullptr ? std::string_view(*nearest) : lf_pick(*types);
}
