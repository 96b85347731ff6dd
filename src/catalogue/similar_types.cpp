// The similar types of a type and of an airline's type, from the database's similar
// groups and the user's liveries.
#include <set>

#include "catalogue/dbase.h"
#include "catalogue/livery_tables.h"
#include "catalogue/similar_types.h"
#include "foundation/log.h"
#include "foundation/random.h"

TextHashMap<TypeList> g_similarTypes;
TextHashMap<TextHashMap<TypeList>> g_airlineAlternativeTypes;
const TypeList g_noTypes;
TypeList g_pickedTypes;

namespace {

bool lf_hasGenericLivery(const std::string& type)
{
    return g_genericLiveries[g_paxTable].contains(type) || g_genericLiveries[g_cargoTable].contains(type);
}

// "A320,A319,A321": a member followed by the other members that have a generic livery.
// Byte order of these lines decides which group a type in several groups takes.
std::set<std::string> lf_similarLines()
{
    std::set<std::string> lines;
    for (const std::vector<std::string>& group : g_similarTypeGroups) {
        for (size_t i = 0; i < group.size(); ++i) {
            std::string line = group[i];
            for (size_t j = 0; j < group.size(); ++j) {
                if (j != i && lf_hasGenericLivery(group[j]))
                    line += "," + group[j];
            }
            if (line.find(',') != std::string::npos)
                lines.insert(std::move(line));
        }
    }
    return lines;
}

TypeList& lf_shuffled(TypeList& types)
{
    gf_shuffle(types);
    return types;
}

} // namespace

void gf_buildSimilarModels()
{
    for (const std::string& line : lf_similarLines()) {
        std::vector<std::string> pieces = gf_split(line, ',');
        std::string key = std::move(pieces.front());
        pieces.erase(pieces.begin());
        g_similarTypes.try_emplace(std::move(key), std::move(pieces));
    }
    for (const std::string& airline : gf_liveryAirlineCodes()) {
        TextHashMap<TypeList> alternatives;
        for (const auto& [type, similar] : g_similarTypes) {
            if (gf_hasAirlineTypeLiveries(airline, type))
                continue;
            TypeList collected;
            for (const std::string& s : similar) {
                if (gf_hasAirlineTypeLiveries(airline, s))
                    collected.push_back(s);
            }
            if (!collected.empty())
                alternatives.emplace(type, std::move(collected));
        }
        if (!alternatives.empty())
            g_airlineAlternativeTypes.try_emplace(airline, std::move(alternatives));
    }
    gf_logLine("{} similar model definitions", g_similarTypes.size());
}

void gf_clearSimilarModels()
{
    g_similarTypes.clear();
    g_airlineAlternativeTypes.clear();
    g_pickedTypes.clear();
}

const TypeList& gf_similarTypesFor(std::string_view type)
{
    if (const auto it = g_similarTypes.find(type); it != g_similarTypes.end())
        return lf_shuffled(it->second);
    const std::string_view pick = gf_pickCategoryType(type);
    if (pick.empty())
        return g_noTypes;
    // Assigned in place: the list's one string keeps its capacity from pick to pick.
    g_pickedTypes.resize(1);
    g_pickedTypes.front().assign(pick);
    return g_pickedTypes;
}

const TypeList& gf_lookupAirlineType(std::string_view airline, std::string_view type)
{
    const auto it = g_airlineAlternativeTypes.find(airline);
    if (it == g_airlineAlternativeTypes.end())
        return g_noTypes;
    const auto found = it->second.find(type);
    return found == it->second.end() ? g_noTypes : lf_shuffled(found->second);
}
