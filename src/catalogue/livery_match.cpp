// The choice of a live aircraft's livery title: a cascade of steps from the registration's
// own livery down to a generic livery of a similar type, cut by MATCHING_DEPTH, with the
// titles the simulator failed to create skipped, and the count of matches per step. A
// match is a few hash look-ups and copies no text: the aircraft keeps a view of the title.
#include <algorithm>

#include <fmt/format.h>

#include "catalogue/liveries.h"
#include "catalogue/livery_match_internal.h"
#include "catalogue/similar_types.h"
#include "foundation/log.h"
#include "foundation/random.h"
#include "foundation/settings_catalogue.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"
#include "foundation/user_error.h"
#include "traffic/aircraft_records.h"
#include "ui/messages.h"

std::array<uint32_t, g_liveryMatchSteps> g_liveryMatchCounts{};
std::vector<std::string> g_failedLiveryTitles;
std::unordered_map<uint32_t, std::string> g_liveryIdTitles;
std::set<std::string> g_notCreatedLiveries;

namespace {

constexpr std::string_view kSimName = "P3D";
constexpr std::string_view kPrivateAirline = "PVT";
constexpr std::string_view kPrivateLiveries = "ZZZ";
constexpr size_t kFailedTitlesLimit = 20;
constexpr int kRandomTries = 5;

bool lf_isReserved(std::string_view title)
{
    return g_reservedTitleSet.contains(title);
}

bool lf_isUsable(std::string_view title)
{
    return !lf_isReserved(title) && !lf_isFailedLiveryTitle(title);
}

bool lf_matchLive(AcIdentity& ac)
{
    const int32_t depth = MATCHING_DEPTH.value;
    const std::string_view type = ac.aircraftType;
    if (lf_matchRegistrationLivery(ac) &&
        lf_acceptLiveryMatch(ac, g_specialRegistrations.contains(ac.registration) ? 0 : 1))
        return true;
    if (depth < 2)
        return false;
    if (ac.airline == kPrivateAirline && lf_matchOwnAirlineType(ac, kPrivateLiveries, type) &&
        lf_acceptLiveryMatch(ac, 4))
        return true;
    // The operator flies it; the database's airline may still have its livery.
    const DbaseRecord* record = gf_findDbaseRecord(ac.registration);
    const bool operated = record && !record->opr.empty();
    if (!ac.airline.empty()) {
        if (lf_matchOwnAirlineType(ac, ac.airline, type) && lf_acceptLiveryMatch(ac, 2))
            return true;
        if (operated && lf_matchOwnAirlineType(ac, record->airl, type) && lf_acceptLiveryMatch(ac, 2))
            return true;
    }
    if (depth < 3)
        return false;
    if (!ac.airline.empty()) {
        if (lf_matchSimilarTypes(ac, ac.airline, type) && lf_acceptLiveryMatch(ac, 3))
            return true;
        if (operated && lf_matchSimilarTypes(ac, record->airl, type) && lf_acceptLiveryMatch(ac, 3))
            return true;
    }
    int32_t step = 0;
    lf_matchFallbackLivery(ac, step, depth);
    return !ac.liveryTitle.empty() && lf_acceptLiveryMatch(ac, step);
}

} // namespace

bool lf_isFailedLiveryTitle(std::string_view title)
{
    return std::find(g_failedLiveryTitles.begin(), g_failedLiveryTitles.end(), title) != g_failedLiveryTitles.end();
}

bool lf_matchRegistrationLivery(AcIdentity& ac)
{
    if (ac.registration.empty())
        return false;
    const auto it = g_registrationLiveries.find(ac.registration);
    // The livery painted for this very aircraft wins, whatever the type it was made for:
    // the engine's identity check offers it to a flying aircraft on the same terms.
    ac.liveryTitle = it == g_registrationLiveries.end() ? std::string_view{} : it->second;
    return !ac.liveryTitle.empty();
}

void lf_pickRandomLivery(AcIdentity& ac, const TitleList& titles)
{
    if (titles.empty())
        return;
    for (int tries = 0; tries < kRandomTries; ++tries) {
        ac.liveryTitle = titles[gf_randomIndex(titles.size())];
        if (lf_isUsable(ac.liveryTitle))
            return;
    }
    // Counted in place: a pick allocates nothing.
    if (const std::string_view* usable = gf_randomItemWhere(titles, lf_isUsable)) {
        ac.liveryTitle = *usable;
        return;
    }
    // Only reserved or failed titles: a reserved one still serves, a failed one never; with
    // none left the title is emptied so that the next table or step is tried.
    const std::string_view* reserved =
        gf_randomItemWhere(titles, [](std::string_view title) { return !lf_isFailedLiveryTitle(title); });
    ac.liveryTitle = reserved != nullptr ? *reserved : std::string_view{};
}

bool lf_matchAirlineType(AcIdentity& ac, std::string_view airline, std::string_view type, size_t table)
{
    const AirlineTypeTitles& titles = g_liveryTables.at(table);
    if (const auto a = titles.find(airline); a != titles.end()) {
        if (const auto t = a->second.find(type); t != a->second.end())
            lf_pickRandomLivery(ac, t->second);
    }
    return !ac.liveryTitle.empty();
}

bool lf_matchOwnAirlineType(AcIdentity& ac, std::string_view airline, std::string_view type)
{
    if (ac.cargo && lf_matchAirlineType(ac, airline, type, g_cargoTable))
        return true;
    return lf_matchAirlineType(ac, airline, type, g_paxTable);
}

bool lf_matchSimilarTypes(AcIdentity& ac, std::string_view airline, std::string_view type)
{
    for (const std::string& alternative : gf_lookupAirlineType(airline, type)) {
        if (gf_typeCategory(alternative) == ac.category && lf_matchOwnAirlineType(ac, airline, alternative))
            return true;
    }
    return false;
}

bool lf_matchGenericLivery(AcIdentity& ac, std::string_view type)
{
    const TextHashMap<TitleList>& generic = g_genericLiveries[ac.cargo ? g_cargoTable : g_paxTable];
    if (const auto it = generic.find(type); it != generic.end())
        lf_pickRandomLivery(ac, it->second);
    return !ac.liveryTitle.empty();
}

void lf_matchFallbackLivery(AcIdentity& ac, int32_t& step, int32_t depth)
{
    const std::string_view type = ac.aircraftType;
    if (ac.liveryTitle.empty() && depth == 4 && lf_matchOwnAirlineType(ac, kPrivateLiveries, type)) {
        step = 4;
        return;
    }
    const bool smallCategory = ac.category == TypeCategory::Other || ac.category == TypeCategory::Buzjet ||
                               ac.category == TypeCategory::Rotorcraft;
    if (!ac.liveryTitle.empty() || !smallCategory)
        return;
    if (depth >= 3 && ac.airline != kPrivateAirline && lf_matchOwnAirlineType(ac, kPrivateLiveries, type)) {
        step = 4;
        return;
    }
    if (lf_matchGenericLivery(ac, type)) {
        step = 5;
        return;
    }
    for (const std::string& similar : gf_similarTypesFor(type)) {
        if (lf_matchGenericLivery(ac, similar)) {
            step = 6;
            return;
        }
    }
}

bool lf_acceptLiveryMatch(AcIdentity& ac, int32_t step)
{
    if (lf_isFailedLiveryTitle(ac.liveryTitle)) {
        ac.liveryTitle = {};
        return false;
    }
    ++g_liveryMatchCounts.at(static_cast<size_t>(step));
    gf_logLine("          {} ={}= {}", gf_flightText(ac), step, ac.liveryTitle);
    ac.fsltlLivery = ac.liveryTitle.find("FSLTL_") != std::string_view::npos;
    return true;
}

void gf_matchLiveLivery(LiveAc& ac)
{
    // A title left from before must not pass for a match of a step that found nothing.
    ac.liveryTitle = {};
    lf_matchLive(ac);
}

std::string_view gf_hasLiveryCreationFailed(uint32_t hexid)
{
    const auto it = g_liveryIdTitles.find(hexid);
    if (it == g_liveryIdTitles.end())
        return {};
    // The copy finds the tables' own text, which the aircraft may hold; a rebuild of the
    // tables may have dropped it.
    if (!lf_isFailedLiveryTitle(it->second)) {
        if (const std::string_view title = gf_findLiveryTitle(it->second); !title.empty())
            return title;
    }
    g_liveryIdTitles.erase(it);
    return {};
}

void gf_reportLiveryNotCreated(const AcIdentity& ac)
{
    if (gf_stopPending())
        return;
    gf_showMessage(fmt::format("{} '{}' could not be created by your Sim!", ac.callsign, ac.liveryTitle), true);
    // One broken livery on many aircraft is one failed title.
    if (!lf_isFailedLiveryTitle(ac.liveryTitle))
        g_failedLiveryTitles.emplace_back(ac.liveryTitle);
    g_notCreatedLiveries.insert(fmt::format("{} {}", ac.aircraftType, ac.airline));
    if (g_failedLiveryTitles.size() >= kFailedTitlesLimit) {
        const std::string m = fmt::format("There are too many liveries that could not be created by {}!", kSimName);
        gf_logLine("\n{}Error 81, {}\n", "===> ", m);
        throw tav::UserErrorException(81, fmt::format("{}, see Log.txt", m));
    }
}

void gf_logLiveryMatchingSummary()
{
    if (std::all_of(g_liveryMatchCounts.begin(), g_liveryMatchCounts.end(), [](uint32_t n) { return n == 0; }))
        return;
    gf_logLine(gf_bannerLine(64, 0, true, false, "live traffic livery matching summary"));
    gf_logLine("Matches at step: ");
    for (size_t step = 0; step < g_liveryMatchCounts.size(); ++step)
        gf_logLine("  {}: {}", step, g_liveryMatchCounts[step]);
    if (!g_notCreatedLiveries.empty()) {
        gf_logLine("\nCould not be created by {}:", kSimName);
        for (const std::string& text : g_notCreatedLiveries)
            gf_logLine("  {}", text);
    }
    gf_logLine(gf_bannerLine(100, 0, false, true));
}
