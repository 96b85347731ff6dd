// Stop-gap until the stands of live aircraft land: the park airport has no stands, so no
// aircraft is born at one, nothing is learned, nothing parks and no static aircraft is made.
#include "traffic/live_stands.h"

const ParkStand* lf_findBirthStand(LiveAc&)
{
    return nullptr;
}

void lf_cargoRule(LiveAc&) {}
void lf_addRealStandOption(uint32_t, LiveAc&, uint32_t) {}
void gf_enforceMaxParked(uint8_t) {}
void lf_searchForCoupledCsAroundThisTime(int64_t, LiveAc&) {}
void lf_createStaticFromStack() {}
