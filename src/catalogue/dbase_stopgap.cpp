// Stop-gap until the database reader lands: a database that could not be read. Nothing
// here reports an empty table as read.
#include "catalogue/dbase.h"

#include "foundation/log.h"

double g_maxHalfWingspan = 0.0;

std::string_view gf_typeCategoryText(TypeCategory category)
{
    static constexpr std::string_view texts[g_typeCategoryCount] = {"Light", "Buzjets", "Large",
                                                                     "Heavy", "HighPerf", "Rotorcraft"};
    const auto index = static_cast<int32_t>(category);
    return index >= 0 && index < g_typeCategoryCount ? texts[index] : std::string_view{"?"};
}

bool gf_readDbase()
{
    gf_logErrorLine("gf_readDbase: this build cannot read the aircraft database");
    return false;
}

TypeCategory gf_typeCategory(std::string_view) { return TypeCategory::Other; }
bool gf_isKnownType(std::string_view) { return false; }
double gf_halfWingspan(std::string_view) { return 0.0; }
std::optional<DbaseRecord> gf_lookupDbase(std::string_view) { return std::nullopt; }
