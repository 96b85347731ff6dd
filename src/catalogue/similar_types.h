#pragma once
// The types that may stand in for a type without a livery of its own: the other members
// of its similar group that have a generic livery, and per airline the similar types it
// has liveries of. Built with the livery tables and cleared with them; read and shuffled
// by the worker thread alone.
#include <string>
#include <string_view>
#include <vector>

#include "foundation/text_hash.h"

using TypeList = std::vector<std::string>;

extern TextHashMap<TypeList> g_similarTypes;
extern TextHashMap<TextHashMap<TypeList>> g_airlineAlternativeTypes;
// Always empty: the answer when there is no alternative.
extern const TypeList g_noTypes;
// The one type a category pick chose; overwritten by every such pick.
extern TypeList g_pickedTypes;

// Fills both tables from the similar groups of the database and the livery tables; logs
// "{} similar model definitions".
void gf_buildSimilarModels();
void gf_clearSimilarModels();

// The similar types of the type (shuffled in place while RANDOM is on), else for the
// categories light, buzjet and rotorcraft one type of the category's liveries, near its
// span where one is (gf_pickCategoryType). The list holds until the next call or build.
const TypeList& gf_similarTypesFor(std::string_view type);
// The airline's similar types of the type that it has liveries of (shuffled while RANDOM
// is on); g_noTypes when there are none.
const TypeList& gf_lookupAirlineType(std::string_view airline, std::string_view type);
