#include "traffic/user_stand.h"

#include <mutex>

#include "parking/park_airports.h"
#include "ui/window_state.h"

namespace {
// Written by the worker, read by the "SimClient" thread, which must not walk the stands
// while the worker reads a park file anew.
std::mutex g_publishedMutex;
PublishedUserStand g_published; // guarded by g_publishedMutex
} // namespace

void gf_publishUserStand(const GeoPos& position)
{
    PublishedUserStand found{g_parkAirport.code, gf_userStand(position)};
    if (found.id != gf_windowText(WindowText::UserStand))
        gf_setWindowText(WindowText::UserStand, found.id, g_wholeWindow);
    std::lock_guard lock(g_publishedMutex);
    g_published = std::move(found);
}

PublishedUserStand gf_publishedUserStand()
{
    std::lock_guard lock(g_publishedMutex);
    return g_published;
}
