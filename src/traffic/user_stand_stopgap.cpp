// Stop-gap until the stands of the park airport land: no stands, so no stand is found.
#include "traffic/user_stand.h"

std::string gf_userStand(const GeoPos&)
{
    return {};
}
