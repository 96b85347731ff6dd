// Stop-gap until the stands of live aircraft land: the park airport has no stands, so no
// aircraft is born at one, nothing is learned, nothing parks and no static aircraft is made
// (nor counted).
#include "traffic/live_stands.h"

#include "traffic/traffic_service.h"
#include "ui/window_state.h"

const ParkStand* lf_findBirthStand(LiveAc&)
{
    return nullptr;
}

void lf_cargoRule(LiveAc&) {}
void lf_addRealStandOption(uint32_t, LiveAc&, uint32_t) {}
void gf_enforceMaxParked(uint8_t) {}
void lf_searchForCoupledCsAroundThisTime(int64_t, LiveAc&) {}
void lf_createStaticFromStack() {}
void try2Park(LiveAc&, bool) {}

// Without stands no aircraft is sent to one; one that still ends in "parking" taxies on.
void lf_arriveAtStand(LiveAc& ac)
{
    gf_setPhase(ac, FlightPhase::Taxi);
}

// No static aircraft is made: with no aircraft, a shown average age becomes 0.
uint64_t gf_countStaticsInSim(bool show)
{
    if (show && !gf_windowState().anyWeekdayFit && gf_windowState().staticAverageAgeHours.exchange(0.0f) != 0.0f)
        gf_invalidateBand(g_statusPanelBand);
    return 0;
}
