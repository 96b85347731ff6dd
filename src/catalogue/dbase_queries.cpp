#include <algorithm>

#include "catalogue/dbase.h"

namespace {

// The written forms of one registration: at most three, short enough for the strings' own
// buffers. Never thread_local: the scan tasks look registrations up, each on a short-lived
// thread of its own, and mingw-w64 runs the destructor of a thread_local at thread exit on
// storage it may already have given back, which corrupts the heap (a crash, or a task that
// never ends and keeps its slot).
struct RegKeyVariants {
    std::array<std::string, 3> keys;
    size_t count = 0;
};

void lf_hyphenAt(std::string& out, std::string_view reg, size_t at)
{
    out.resize(reg.size() + 1);
    std::copy(reg.begin(), reg.begin() + static_cast<std::ptrdiff_t>(at), out.begin());
    out[at] = '-';
    std::copy(reg.begin() + static_cast<std::ptrdiff_t>(at), reg.end(), out.begin() + static_cast<std::ptrdiff_t>(at) + 1);
}

void lf_fillRegKeyVariants(std::string_view reg, RegKeyVariants& out)
{
    out.count = 0;
    if (reg.size() >= 5 && reg.front() != 'N' && reg.find('-') == std::string_view::npos) {
        lf_hyphenAt(out.keys[0], reg, 2);
        lf_hyphenAt(out.keys[1], reg, 1);
        out.keys[2].assign(reg.data(), reg.size());
        out.count = 3;
        return;
    }
    out.keys[0].assign(reg.data(), reg.size());
    out.count = 1;
}

const DbaseRecord* lf_findRecord(std::string_view reg)
{
    if (reg.empty())
        return nullptr;
    RegKeyVariants variants;
    lf_fillRegKeyVariants(reg, variants);
    return g_dbaseRecords.findFirstOf(variants.keys.data(), variants.count);
}

bool lf_holds(TypeSet which, std::string_view type)
{
    return gf_typeSet(which).contains(type);
}

} // namespace

std::string_view gf_typeCategoryText(TypeCategory category)
{
    static constexpr std::string_view texts[g_typeCategoryCount] = {"Light", "Buzjets",  "Large",
                                                                     "Heavy", "HighPerf", "Rotorcraft"};
    const auto index = static_cast<int32_t>(category);
    return index >= 0 && index < g_typeCategoryCount ? texts[index] : std::string_view{"?"};
}

TypeCategory gf_typeCategory(std::string_view type)
{
    if (lf_holds(TypeSet::Large, type))
        return TypeCategory::Large;
    if (lf_holds(TypeSet::Heavy, type))
        return TypeCategory::Heavy;
    if (lf_holds(TypeSet::Buzjet, type))
        return TypeCategory::Buzjet;
    if (lf_holds(TypeSet::Rotorcraft, type))
        return TypeCategory::Rotorcraft;
    if (lf_holds(TypeSet::HighPerformance, type))
        return TypeCategory::HighPerformance;
    return TypeCategory::Other;
}

bool gf_isKnownType(std::string_view type)
{
    return !type.empty() && lf_holds(TypeSet::Known, type);
}

bool gf_isIcaoAirline(std::string_view code)
{
    return !code.empty() && g_icaoAirlines.contains(code);
}

double gf_halfWingspan(std::string_view type)
{
    if (const auto it = g_halfWingspans.find(type); it != g_halfWingspans.end())
        return it->second;
    return g_categoryHalfSpans[static_cast<size_t>(gf_typeCategory(type))];
}

std::vector<std::string> gf_regKeyVariants(std::string_view registration)
{
    RegKeyVariants variants;
    lf_fillRegKeyVariants(registration, variants);
    return {variants.keys.begin(), variants.keys.begin() + static_cast<std::ptrdiff_t>(variants.count)};
}

const DbaseRecord* gf_findDbaseRecord(std::string_view registration)
{
    return lf_findRecord(registration);
}

std::optional<DbaseRecord> gf_lookupDbase(std::string_view registration)
{
    if (const DbaseRecord* record = lf_findRecord(registration))
        return *record;
    return std::nullopt;
}

std::string gf_operatorOfReg(std::string_view registration)
{
    const DbaseRecord* record = lf_findRecord(registration);
    return record ? record->opr : std::string();
}

std::string gf_airlineOfReg(std::string_view registration)
{
    const DbaseRecord* record = lf_findRecord(registration);
    return record ? record->airl : std::string();
}

std::optional<std::string> gf_findShortRegKeyIn(std::string_view text)
{
    const auto it = std::find_if(g_shortRegKeys.begin(), g_shortRegKeys.end(), [text](const std::string& key) {
        return !key.empty() && text.find(key) != std::string_view::npos;
    });
    if (it == g_shortRegKeys.end())
        return std::nullopt;
    return *it;
}
