// The livery of a new static aircraft: the live cascade's steps with the stand's cargo
// flag, every outcome logged here, nothing counted, and an alternative-type step that
// takes any category and goes on past a failed title.
#include "catalogue/liveries.h"
#include "catalogue/livery_match_internal.h"
#include "catalogue/similar_types.h"
#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "parking/park_stand.h"
#include "traffic/aircraft_records.h"

namespace {

// A title found: logged and kept, unless the simulator failed to create it (emptied).
bool lf_keepFound(StaticAc& ac, int32_t step)
{
    if (ac.liveryTitle.empty())
        return false;
    if (lf_isFailedLiveryTitle(ac.liveryTitle)) {
        ac.liveryTitle = {};
        return false;
    }
    gf_logLine("          {} ={}= {}", gf_flightText(ac), step, ac.liveryTitle);
    return true;
}

bool lf_walkAlternatives(StaticAc& ac, std::string_view airline, const TypeList& alternatives)
{
    for (const std::string& type : alternatives) {
        if (lf_matchOwnAirlineType(ac, airline, type) && lf_keepFound(ac, 3))
            return true;
    }
    return false;
}

bool lf_matchStatic(StaticAc& ac)
{
    const int32_t depth = MATCHING_DEPTH.value;
    const std::string_view type = ac.aircraftType;
    if (lf_matchRegistrationLivery(ac) && lf_keepFound(ac, g_specialRegistrations.contains(ac.registration) ? 0 : 1))
        return true;
    if (depth < 2)
        return false;
    if (ac.airline == "PVT" && lf_matchOwnAirlineType(ac, "ZZZ", type) && lf_keepFound(ac, 4))
        return true;
    const DbaseRecord* record = gf_findDbaseRecord(ac.registration);
    const bool operated = record && !record->opr.empty();
    if (lf_matchOwnAirlineType(ac, ac.airline, type) && lf_keepFound(ac, 2))
        return true;
    if (operated && lf_matchOwnAirlineType(ac, record->airl, type) && lf_keepFound(ac, 2))
        return true;
    if (depth < 3)
        return false;
    // Both passes walk the alternatives of the aircraft's own airline and type.
    if (lf_walkAlternatives(ac, ac.airline, gf_lookupAirlineType(ac.airline, type)))
        return true;
    if (operated && lf_walkAlternatives(ac, record->airl, gf_lookupAirlineType(ac.airline, type)))
        return true;
    int32_t step = 0;
    lf_matchFallbackLivery(ac, step, depth);
    return lf_keepFound(ac, step);
}

} // namespace

bool gf_matchStaticLivery(StaticAc& ac, const ParkStand& stand)
{
    if (!ac.liveryTitle.empty()) {
        gf_logLine("          {} =s= {}", gf_flightText(ac), ac.liveryTitle);
        return true;
    }
    ac.cargo = stand.cargo;
    if (lf_matchStatic(ac))
        return true;
    ac.liveryTitle = {};
    gf_logLine("{:8}: {} no livery match ...", stand.id, gf_flightText3(ac));
    return false;
}
