#pragma once
// The stand under a position at the current park airport, and the user aircraft's stand
// as the worker last found it, for the other threads.
#include <string>

#include "foundation/geo.h"

// The id of the stand under the position; empty when there is none. Worker thread only:
// it reads the park airport's stands.
std::string gf_userStand(const GeoPos& position);

// The stand under the user aircraft: the park airport it belongs to and its id (empty
// when the user aircraft stands at none).
struct PublishedUserStand {
    std::string airport;
    std::string id;
};
// Worker: finds the stand under the user aircraft's position, keeps it for the other
// threads and shows it in the window when it changed.
void gf_publishUserStand(const GeoPos& position);
// Any thread: the stand of the worker's last copy of the user state.
PublishedUserStand gf_publishedUserStand();
