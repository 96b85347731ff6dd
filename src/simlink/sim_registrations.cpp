// Every system event, data definition and client event the program uses, registered once
// on each new connection, in the order of these tables.
#include <iterator>

#include "simlink/sim_client.h"
#include "simlink/sim_client_internal.h"
#include "simlink/sim_ids.h"

namespace {

using T = ScDataType;
using D = SimDefinition;
using E = SimEventId;

// A system event subscribed to, or a client event mapped to the simulator's event.
struct EventRow {
    E id;
    const char* name;
};

constexpr EventRow kSystemEvents[] = {
    {E::Sim, "Sim"},
    {E::ObjectAdded, "ObjectAdded"},
    {E::ObjectRemoved, "ObjectRemoved"},
    {E::PositionChanged, "PositionChanged"},
    {E::FlightLoaded, "FlightLoaded"},
    {E::Frame, "Frame"},
};

struct VariableRow {
    D definition;
    const char* name;
    const char* units; // null: none
    T type;
};

constexpr VariableRow kVariables[] = {
    {D::UserTitle, "TITLE", nullptr, T::StringV},
    {D::UserAtcModel, "ATC MODEL", nullptr, T::String32},
    {D::UserOnGround, "SIM ON GROUND", "Bool", T::Int64},

    {D::AiPosition, "Plane Latitude", "degree", T::Float64},
    {D::AiPosition, "Plane Longitude", "degree", T::Float64},
    {D::AiPosition, "Plane Pitch degrees", "radians", T::Float64},
    {D::AiPosition, "Plane Bank degrees", "radians", T::Float64},
    {D::AiPosition, "Plane Heading degrees true", "radians", T::Float64},
    {D::AiPosition, "Plane Altitude", "feet", T::Float64},
    {D::AiPosition, "Vertical Speed", "feet per second", T::Float64},
    {D::AiPosition, "Airspeed True", "knots", T::Float64},

    {D::UserState, "Plane Latitude", "degree", T::Float64},
    {D::UserState, "Plane Longitude", "degree", T::Float64},
    {D::UserState, "Plane Pitch degrees", "radians", T::Float64},
    {D::UserState, "Plane Bank degrees", "radians", T::Float64},
    {D::UserState, "Plane Heading degrees true", "radians", T::Float64},
    {D::UserState, "Plane Altitude", "feet", T::Float64},
    {D::UserState, "Plane Alt Above Ground", "feet", T::Float64},
    {D::UserState, "Ground Velocity", "knots", T::Float64},
    {D::UserState, "ZULU TIME", "Seconds", T::Int64},
    {D::UserState, "ZULU DAY OF YEAR", "Number", T::Int64},
    {D::UserState, "ZULU YEAR", "Number", T::Int64},
    {D::UserState, "LIGHT STATES", "Mask", T::Int64},

    {D::StaticCg, "Static CG to Ground", "feet", T::Float64},
    {D::StaticCg, "Static Pitch", "radians", T::Float64},

    {D::LightStates, "Light On States", "Mask", T::Int64},

    {D::AcInRange, "Plane Alt Above Ground", "feet", T::Float64},
    {D::AcInRange, "Ground Altitude", "feet", T::Float64},
    {D::AcInRange, "SIM ON GROUND", "Bool", T::Int64},
    {D::AcInRange, "ATC ID", nullptr, T::String32},

    {D::AiControls, "SPOILERS HANDLE POSITION", "percent", T::Float64},
    {D::AiControls, "GENERAL ENG THROTTLE LEVER POSITION:1", "percent", T::Float64},
    {D::AiControls, "GENERAL ENG THROTTLE LEVER POSITION:2", "percent", T::Float64},
};

constexpr EventRow kClientEvents[] = {
    {E::GearSet, "GEAR_SET"},
    {E::EngineAutoStart, "ENGINE_AUTO_START"},
    {E::EngineAutoShutdown, "ENGINE_AUTO_SHUTDOWN"},
    {E::ThrottleSet, "THROTTLE_SET"},
    {E::FlapsSet, "FLAPS_SET"},
    {E::SpoilersSet, "SPOILERS_SET"},
    {E::NavLightsSet, "NAV_LIGHTS_SET"},
    {E::BeaconLightsSet, "BEACON_LIGHTS_SET"},
    {E::LandingLightsSet, "LANDING_LIGHTS_SET"},
    {E::TaxiLightsSet, "TAXI_LIGHTS_SET"},
    {E::StrobesSet, "STROBES_SET"},
    {E::LogoLightsSet, "LOGO_LIGHTS_SET"},
    {E::CabinLightsSet, "CABIN_LIGHTS_SET"},
    {E::AllLightsToggle, "ALL_LIGHTS_TOGGLE"},
    {E::FreezeLatLonSet, "FREEZE_LATITUDE_LONGITUDE_SET"},
    {E::FreezeAltitudeSet, "FREEZE_ALTITUDE_SET"},
    {E::FreezeAttitudeSet, "FREEZE_ATTITUDE_SET"},
};

// Every client event but ENGINE_AUTO_START, in the order of addition.
constexpr E kGroupEvents[] = {
    E::NavLightsSet,    E::BeaconLightsSet,  E::LandingLightsSet,   E::TaxiLightsSet,
    E::StrobesSet,      E::LogoLightsSet,    E::CabinLightsSet,     E::AllLightsToggle,
    E::FlapsSet,        E::SpoilersSet,      E::GearSet,            E::EngineAutoShutdown,
    E::ThrottleSet,     E::FreezeLatLonSet,  E::FreezeAltitudeSet,  E::FreezeAttitudeSet,
};
static_assert(std::size(kGroupEvents) == 16);

constexpr uint32_t kHighestPriority = 1;

} // namespace

// A failed registration shows later as an exception of the simulator or as a request
// that gets no answer; the results are not looked at here.
void lf_registerSimDefinitions()
{
    const ScHandle handle = g_simConnect.load();
    for (const EventRow& row : kSystemEvents)
        SimConnect_SubscribeToSystemEvent(handle, gf_id(row.id), row.name);
    for (const VariableRow& row : kVariables)
        SimConnect_AddToDataDefinition(handle, gf_id(row.definition), row.name, row.units, row.type, 0.0f,
                                       g_scUnused);
    for (const EventRow& row : kClientEvents)
        SimConnect_MapClientEventToSimEvent(handle, gf_id(row.id), row.name);
    for (const E id : kGroupEvents)
        SimConnect_AddClientEventToNotificationGroup(handle, g_simEventGroup, gf_id(id), true);
    SimConnect_SetNotificationGroupPriority(handle, g_simEventGroup, kHighestPriority);
}
