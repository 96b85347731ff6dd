#pragma once
// Keeping one live aircraft going: the update of every traffic pass, the decoding of each
// accepted received position, and the identity changes a received record brings.
#include "feed/live_flight_record.h"
#include "traffic/aircraft_records.h"

// One tick of the aircraft: a buffered one is tried for spawning, an active one moves and
// hands its position to the simulator. True when the record is to be erased.
bool updateLiveAc(LiveAc& ac);
// Appends the received position, or drops it.
void decodeExisting(LiveAc& ac, PosSample sample);
// Takes the record's identity changes into the aircraft; false when the record is not to
// be decoded.
bool gf_respawnCheck(LiveAc& ac, LiveFlightRecord& record);
// Appends the samples that drive a parking aircraft onto its stand (degrees, radians).
void drive2Stand(LiveAc& ac, double standLat, double standLon, double standHeading);
