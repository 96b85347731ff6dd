#pragma once
// The fixed ids this program uses on its SimConnect connection: data definitions,
// requests, system and client events and the one notification group.
#include <cstdint>

enum class SimDefinition : uint32_t {
    AiControls = 401,
    AiPosition = 402,
    UserState = 403,
    AcInRange = 404,
    StaticCg = 405,
    LightStates = 406,
    UserTitle = 407,
    UserAtcModel = 408,
    UserOnGround = 409,
};

enum class SimRequest : uint32_t {
    AcInRange = 101,
    StaticCg = 102,
    AiReleaseControl = 103,
    CreateAc = 104,
    RemoveAc = 105,
    UserTitle = 106,
    UserAtcModel = 107,
    UserOnGround = 108,
    UserState = 109,
    AiFlightPlan = 110,
    AddedAc = 111, // one added object's in-range data, asked for by its id
};

enum class SimEventId : uint32_t {
    Sim = 201,
    ObjectAdded = 202,
    ObjectRemoved = 203,
    Frame = 204,
    PositionChanged = 205,
    FlightLoaded = 206,
    BeaconLightsSet = 207,
    NavLightsSet = 208,
    TaxiLightsSet = 209,
    StrobesSet = 210,
    LandingLightsSet = 211,
    CabinLightsSet = 212,
    LogoLightsSet = 213,
    AllLightsToggle = 214,
    FreezeLatLonSet = 215,
    FreezeAltitudeSet = 216,
    FreezeAttitudeSet = 217,
    FlapsSet = 218,
    SpoilersSet = 219,
    GearSet = 220,
    EngineAutoStart = 221,
    EngineAutoShutdown = 222,
    ThrottleSet = 223,
};

inline constexpr uint32_t g_simEventGroup = 301;

constexpr uint32_t gf_id(SimDefinition d) { return static_cast<uint32_t>(d); }
constexpr uint32_t gf_id(SimRequest r) { return static_cast<uint32_t>(r); }
constexpr uint32_t gf_id(SimEventId e) { return static_cast<uint32_t>(e); }
