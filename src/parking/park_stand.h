#pragma once
// The park airport's stands and the flights seen standing at each, by weekday and half
// hour. One record serves the park files, the static parking and the live aircraft
// engine; everything here belongs to the worker thread.
#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

// The half hours of one day: bit n is the half hour that starts n x 30 minutes after
// midnight UTC.
using HalfHours = std::bitset<48>;
inline constexpr uint32_t g_slotsPerDay = 48;

// One flight seen at a stand on one weekday.
struct StandFlight {
    std::string airl;
    std::string type;
    std::string reg;
    std::string cs1; // the callsign before the first ':' of "cs"
    std::string cs2; // after it; empty when there is none
    HalfHours hours;
    uint32_t number = 0; // within the stand, from 1; 0: absent
    uint32_t day = 0;    // 1 Monday .. 7 Sunday
    uint32_t origin = 0; // 1: read from the park file itself, 0: learned
    uint32_t real = 1;   // 0: a soft observation
    bool cpl = false;    // coupled flight
    // The static search found the flight already shown (its callsign or registration in
    // use) and passes it over until the static plan is renewed.
    bool skipped = false;
};

// Where a stand lies: degrees, and its heading in radians.
struct StandPlace {
    double lat = 0.0;
    double lon = 0.0;
    double heading = 0.0;
};

inline constexpr double g_metresToNm = 0.0005399568034557236;

struct ParkStand {
    // The three flags come inverted (not cargo, not ramp, not heli); the radius in metres.
    ParkStand(std::string id_, std::vector<StandFlight> flights_, const StandPlace& place, double radiusMetres,
              bool notCargo, bool notRamp, bool notHeli);
    ParkStand(ParkStand&&) noexcept = default;
    ParkStand& operator=(ParkStand&&) noexcept = default;
    ParkStand(const ParkStand&) = delete;
    ParkStand& operator=(const ParkStand&) = delete;

    std::vector<StandFlight> flights;
    std::string id;
    std::vector<uint32_t> adjacent; // numbers of the overlapping stands, in table order
    double lat;
    double lon;
    double heading; // radians
    double radius;  // nautical miles
    uint32_t number = 0;
    bool manual = false;
    bool radiusChange = false;
    bool cargoChange = false;
    // Working marks: static parking (taken, notUsable, nextToTaken) and the live aircraft
    // engine's stand search (blocked). A stand's live holder is the aircraft standing there,
    // never a mark.
    bool taken = false;
    bool notUsable = false;
    bool nextToTaken = false;
    bool blocked = false;
    bool cargo;
    bool ramp;
    bool heli;
};

// The park airport's stands, in park-file order.
extern std::vector<ParkStand> g_parkStands;
// Counts the times the stands were read anew or cleared: what was found among them
// before is stale once it changed.
extern uint32_t g_parkStandsGeneration;

ParkStand& gf_addParkStand(std::vector<ParkStand>& table, std::string id, std::vector<StandFlight> flights,
                           const StandPlace& place, double radiusMetres, bool notCargo, bool notRamp, bool notHeli);
void gf_clearParkStands();
// The stands of a park file just read take the place of the current ones.
void gf_setParkStands(std::vector<ParkStand>&& table);

// Numbers 1..n in table order, then the adjacency lists: B is adjacent to A when their
// radii sum to more than 1.1 times their distance.
void gf_numberAndLinkStands(std::vector<ParkStand>& table);

// The time of week: the slot 0..47 in the upper and the weekday 1..7 in the lower 32 bits.
inline uint32_t gf_weekdayOf(int64_t timeOfWeek)
{
    return static_cast<uint32_t>(static_cast<uint64_t>(timeOfWeek) & 0xFFFFFFFFu);
}
inline uint32_t gf_slotOf(int64_t timeOfWeek)
{
    return static_cast<uint32_t>(static_cast<uint64_t>(timeOfWeek) >> 32);
}
inline int64_t gf_timeOfWeek(uint32_t weekday, uint32_t slot)
{
    return static_cast<int64_t>((uint64_t{slot} << 32) | weekday);
}

// The last n slots ending with the given one, newest first; stepping back from slot 0
// continues at 47 of the previous day.
std::vector<uint32_t> gf_recentSlots(int64_t timeOfWeek, uint32_t n);
