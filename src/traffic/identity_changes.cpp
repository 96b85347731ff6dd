// What a received record changes in the identity of a live aircraft: its route, callsign
// and registration; an active aircraft whose airline, type or livery changes with them is
// created again with a fitting livery, when GUID_CHANGES allows.
#include "catalogue/liveries.h"
#include "catalogue/livery_tables.h"
#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "parking/park_airports.h"
#include "traffic/engine_neighbours.h"
#include "traffic/live_stands.h"
#include "traffic/live_update.h"
#include "traffic/motion_internal.h"
#include "traffic/traffic_internal.h"

namespace {

void lf_copyNewTexts(LiveAc& ac, const FlightTexts& r)
{
    for (auto field : {&FlightTexts::destination, &FlightTexts::origin, &FlightTexts::callsign, &FlightTexts::registration}) {
        if (!(r.*field).empty() && r.*field != ac.*field)
            ac.*field = r.*field;
    }
}

void lf_takeIdentity(LiveAc& ac, const DbaseRecord& d)
{
    ac.airline = d.opr.empty() ? d.airl : d.opr;
    ac.aircraftType = d.type;
}

bool lf_sameIdentity(const LiveAc& ac, const DbaseRecord& d)
{
    return d.airl == ac.airline && d.type == ac.aircraftType;
}

} // namespace

bool lf_updateRoute(LiveAc& ac, const LiveFlightRecord& rec)
{
    const FlightTexts& r = rec.texts;
    bool changed = false;
    if (!r.destination.empty() && ac.destination.empty()) {
        ac.destination = r.destination;
        changed = true;
    }
    if (!r.origin.empty() && ac.origin.empty()) {
        ac.origin = r.origin;
        changed = true;
    }
    const bool bothDiffer = !ac.origin.empty() && !r.origin.empty() && ac.origin != r.origin &&
                            !ac.destination.empty() && !r.destination.empty() && ac.destination != r.destination;
    if (!bothDiffer)
        return !changed;
    if (!g_parkAirport.iata.empty() && ac.origin == g_parkAirport.iata && r.destination == ac.origin)
        return !changed;
    ac.origin = r.origin;
    ac.destination = r.destination;
    if (ac.onGround && ac.phase != FlightPhase::Parking && ac.phase != FlightPhase::Parked) {
        gf_setPhase(ac, FlightPhase::Taxi);
        ac.motion.savedHeading = ac.pos.heading;
    }
    return false;
}

int32_t lf_checkRegistrationChange(LiveAc& ac, LiveFlightRecord& r)
{
    const std::string& reg = r.texts.registration;
    if (reg.empty())
        return 1;
    int32_t result = 1;
    if (!ac.registration.empty() && (ac.registration != ac.callsign || ac.registration == reg)) {
        if (ac.registration != reg && lf_checkRegIdentity(ac, r))
            result = 0;
    } else if (lf_checkRegLivery(ac, r)) {
        result = 0;
    }
    ac.registration = reg;
    return result;
}

bool lf_checkRegLivery(LiveAc& ac, const LiveFlightRecord& r)
{
    const std::string& reg = r.texts.registration;
    const auto it = g_registrationLiveries.find(reg);
    const std::string_view title = it == g_registrationLiveries.end() ? std::string_view{} : it->second;
    if (!title.empty()) {
        if (title == ac.liveryTitle)
            return false;
        if (const auto d = gf_engine().lookupDbase(reg)) {
            ac.airline = d->airl;
            ac.aircraftType = d->type;
        }
        lf_forgetLivery(ac);
        return true;
    }
    if (reg.empty() || reg == ac.registration)
        return false;
    const auto d = gf_engine().lookupDbase(reg);
    if (!d || lf_sameIdentity(ac, *d))
        return false;
    if (!d->opr.empty() && d->opr == ac.airline)
        return false;
    lf_takeIdentity(ac, *d);
    lf_forgetLivery(ac);
    return true;
}

bool lf_checkRegIdentity(LiveAc& ac, LiveFlightRecord& r)
{
    const auto d = gf_engine().lookupDbase(r.texts.registration);
    if (!d || lf_sameIdentity(ac, *d))
        return false;
    if (!d->opr.empty() && d->opr == ac.airline)
        return false;
    if (!gf_setAirlineFromCallsign(r.texts))
        return false;
    if (r.texts.airline != d->airl && (d->opr.empty() || d->opr != r.texts.airline))
        return false;
    lf_takeIdentity(ac, *d);
    if (ac.standNumber != 0 && ac.phase == FlightPhase::Parked)
        lf_addRealStandOption(ac.standNumber, ac, 0);
    lf_forgetLivery(ac);
    return true;
}

void lf_forgetLivery(LiveAc& ac)
{
    g_liveryIdTitles.erase(ac.hexid);
    ac.liveryTitle = {};
    ac.phase = FlightPhase::Birth;
}

bool gf_respawnCheck(LiveAc& ac, LiveFlightRecord& r)
{
    if (ac.motion.takeOffConfiguration || ac.motion.approach)
        return true;
    if (ac.status == SimStatus::Buffer) {
        lf_copyNewTexts(ac, r.texts);
        return true;
    }
    if (ac.status != SimStatus::Active || ac.phase == FlightPhase::PushingBack || ac.pauseCounter >= 1)
        return true;
    const bool unchanged = lf_updateRoute(ac, r) && lf_checkRegistrationChange(ac, r) != 0;
    const std::string& cs = r.texts.callsign;
    if (!cs.empty() && cs != ac.callsign && cs != ac.registration) {
        if (cs.back() != '_')
            lf_removeGhost(cs);
        else if (lf_hasLiveTwin(cs))
            return false;
        ac.callsign = cs;
        ac.secondCallsign = cs;
        ac.extraText.clear();
    } else if (unchanged) {
        return true;
    }
    if (!GUID_CHANGES.value)
        return true;
    gf_logLine("          {} respawns", lf_flightSummary(ac));
    liveryRespawn(ac);
    return false;
}
