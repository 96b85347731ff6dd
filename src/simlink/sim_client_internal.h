#pragma once
// The parts of the "SimClient" thread that its files share with each other and with the
// tests. All run on the "SimClient" thread.
#include <chrono>
#include <cstdint>
#include <stop_token>
#include <string>
#include <string_view>

#include "catalogue/dbase.h"
#include "foundation/geo.h"
#include "simlink/sim_object_events.h"
#include "simlink/simconnect/simconnect_api.h"

void lf_registerSimDefinitions();
void lf_simDispatch(const ScRecv* message, uint32_t size, void* context);
// Serves the open connection until the thread's stop: every message is dispatched as
// soon as it arrives, and the thread sleeps while nothing comes. A failed connection
// ends the run ("SIMCONNECT ERROR"); the thread then only waits for its stop.
void lf_serveConnection(ScHandle handle, const std::stop_token& stop);
// The simulator quit or its connection broke: the flight stops and the service is told,
// once per connection.
void lf_simGone();
// A new flight ends the run ("NEW FLIGHT", restart after 30 s) unless a stop is pending.
void lf_newFlight();

// Object data (message 8), by request id.
void lf_onSimObjectData(const ScRecv* message, uint32_t size);
void lf_storeUserStand();
// Days since 1 January 1970 of a zulu year and day of year.
int64_t lf_daysSince1970(int64_t zuluYear, int64_t dayOfYear);

void lf_onSimFrame();
void lf_onObjectAddRemove(const ScRecv* message, uint32_t size);
void lf_onSimObjectDataByType(const ScRecv* message, uint32_t size);
// The answer to the request for one added object: bound or forgotten as an in-range reply
// would have it.
void lf_onAddedObjectData(const ScRecv* message, uint32_t size);
// Asks once, by its id, for each added object that no in-range reply has shown for a few
// seconds since it was added. Called at every frame.
void lf_askForUnmatchedObjects(std::chrono::steady_clock::time_point now);
void lf_onSimException(const ScRecv* message, uint32_t size);
// Takes the event queue's mutex; never called with g_simConnectMutex held.
void lf_appendSimObjectEvent(const SimObjectEvent& event);

// A text from the simulator as UTF-8 (read as ANSI when it is not UTF-8), at most
// maxCharacters characters, never cut inside one.
std::string lf_simText(std::string_view raw, size_t maxCharacters);
// The longest head of the text of at most maxBytes bytes that ends on a whole character.
std::string_view lf_cutToBytes(std::string_view text, size_t maxBytes);

// What the simulator link asks of its neighbours. Tests put doubles in their place.
struct SimLinkNeighbours {
    double (*halfWingspan)(std::string_view type);
    TypeCategory (*typeCategory)(std::string_view type);
    void (*writeMyParkAirports)();
};
const SimLinkNeighbours& lf_neighbours();
// Test seam: null puts the real neighbours back.
void gf_setSimLinkNeighboursForTests(const SimLinkNeighbours* doubles);
