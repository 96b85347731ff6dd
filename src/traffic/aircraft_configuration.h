#pragma once
// The configuration of an aircraft shown to the simulator through client events: throttle,
// flaps, gear and spoilers. Each event is queued under g_simConnectMutex and sent at the
// next simulator frame.
#include <cstdint>

#include "traffic/aircraft_records.h"

// Index 0..4 queues THROTTLE_SET when it differs from the last one sent; 5 or more is only
// stored.
void gf_setThrottle(StaticAc& ac, uint32_t index);
// Index 0..4 queues FLAPS_SET when it differs from the last one (never for rotorcraft);
// above 4 it is logged as invalid. The index is stored in both cases.
void gf_setFlaps(StaticAc& ac, uint32_t index);
// Sent on every call, never for rotorcraft.
void gf_setGear(StaticAc& ac, bool down);
void gf_setSpoilers(StaticAc& ac, int32_t value);
