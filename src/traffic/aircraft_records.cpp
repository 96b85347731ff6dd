#include "traffic/aircraft_records.h"

#include <array>
#include <cctype>
#include <stdexcept>

#include <fmt/format.h>

#include "foundation/random.h"
#include "foundation/settings_access.h"
#include "foundation/settings_catalogue.h"
#include "simlink/sim_queues.h"
#include "traffic/aircraft_configuration.h"
#include "traffic/engine_neighbours.h"

namespace {

constexpr double kDegToRad = 0.017453292519943295;

constexpr std::array<CategoryValues, g_typeCategoryCount> kCategoryValues{{
    {-9.0, -15.0, 0.15, 250, 250, 100, 200, 0.5, 5.0},
    {-8.0, -18.0, 0.10, 300, 300, 200, 250, 0.75, 4.5},
    {-6.0, -16.5, 0.07, 400, 350, 200, 300, 0.6, 4.0},
    {-5.0, -12.5, 0.05, 450, 450, 250, 400, 0.5, 3.0},
    {-6.0, -20.0, 0.10, 150, 150, 100, 200, 1.0, 4.5},
    {-20.0, -30.0, 0.20, 100, 100, 100, 100, 0.75, 5.0},
}};

constexpr std::array<std::string_view, 8> kPhaseTexts{"pushing_back", "pushed_back", "taxi",   "take_off",
                                                      "flying",       "parking",     "parked", "birth"};
constexpr std::array<std::string_view, 5> kStatusTexts{"buffer", "adding2sim", "active", "liveryrespawn",
                                                       "removingfromsim"};

constexpr std::string_view kNoCallsign = "@@@@@@@@";
constexpr size_t kMaxCallsignLength = 8;

bool lf_isAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

StaticAc::StaticAc(AcIdentity&& identity, uint32_t standNumber_, double standLat_, double standLon_,
                   double standHeading_, bool cargoStand_)
    : AcIdentity(std::move(identity)), standLat(standLat_), standLon(standLon_), standHeading(standHeading_),
      standNumber(standNumber_), cargoStand(cargoStand_)
{
}

LiveAc::LiveAc(const PosSample& first, AcIdentity&& identity, double timestamp)
    : StaticAc(std::move(identity), 0, 0.0, 0.0, 0.0, false), samples{first}, lastRecordTime(timestamp)
{
}

const CategoryValues& gf_categoryValues(TypeCategory category)
{
    const auto index = static_cast<size_t>(category);
    if (index >= kCategoryValues.size())
        throw std::out_of_range(fmt::format("no values of aircraft category {}", static_cast<int32_t>(category)));
    return kCategoryValues[index];
}

AcIdentity gf_makeAcIdentity(const FlightTexts& texts)
{
    AcIdentity id;
    static_cast<FlightTexts&>(id) = texts;
    id.halfSpan = gf_engine().halfWingspan(texts.aircraftType);
    id.category = gf_engine().typeCategory(texts.aircraftType);
    const CategoryValues& v = gf_categoryValues(id.category);
    id.flareTicks = v.flareTicks;
    id.touchdownTicks = v.touchdownTicks;
    id.rotationTicks = v.rotationTicks;
    id.climbPitchTicks = v.climbPitchTicks;
    id.takeOffPitch = gf_randomPercent(v.takeOffPitchDeg, 2.5) * kDegToRad;
    id.climbPitch = gf_randomPercent(v.climbPitchDeg, 5.0) * kDegToRad;
    id.groundTurnRate = v.groundTurnRateDeg * kDegToRad;
    return id;
}

void gf_setPhase(LiveAc& ac, FlightPhase phase)
{
    if (ac.phase == phase)
        return;
    ac.previousPhase = ac.phase;
    ac.phase = phase;
}

std::string gf_airlineTypeText(const FlightTexts& t)
{
    return fmt::format("{:3} {:4}", t.airline, t.aircraftType);
}

std::string lf_routeText(const FlightTexts& t)
{
    if (t.origin.empty() && t.destination.empty())
        return std::string(8, ' ');
    return fmt::format("{:3}->{:3}", t.origin, t.destination);
}

std::string lf_callsignText(const FlightTexts& t)
{
    return fmt::format("{:8}", t.callsign);
}

std::string lf_flightSummary(const FlightTexts& t)
{
    return fmt::format("{} {:8} {}", lf_callsignText(t), t.registration, lf_routeText(t));
}

std::string gf_flightText(const FlightTexts& t)
{
    return fmt::format("{} {}", lf_flightSummary(t), gf_airlineTypeText(t));
}

std::string gf_flightText3(const FlightTexts& t)
{
    return fmt::format("{} {} {}", lf_callsignText(t), t.registration, gf_airlineTypeText(t));
}

std::string gf_airlineTypeRegText(const FlightTexts& t)
{
    return gf_airlineTypeText(t) + " " + t.registration;
}

std::string_view gf_flightPhaseText(FlightPhase phase)
{
    return kPhaseTexts.at(static_cast<size_t>(phase));
}

std::string_view gf_simStatusText(SimStatus status)
{
    return kStatusTexts.at(static_cast<size_t>(status));
}

bool gf_sameAirlineType(const FlightTexts& a, const FlightTexts& b)
{
    return a.airline == b.airline && a.aircraftType == b.aircraftType;
}

bool gf_isUsableCallsign(const FlightTexts& t)
{
    return !t.callsign.empty() && t.callsign != kNoCallsign && t.callsign.size() <= kMaxCallsignLength;
}

std::optional<std::string> lf_airlineFromCallsign(std::string_view callsign)
{
    if (callsign.size() < 4 || !lf_isAsciiLetter(callsign[0]) || !lf_isAsciiLetter(callsign[1]) ||
        !lf_isAsciiLetter(callsign[2]) || !std::isdigit(static_cast<unsigned char>(callsign[3])))
        return std::nullopt;
    std::string airline(callsign.substr(0, 3));
    for (char& c : airline)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return airline;
}

bool gf_setAirlineFromCallsign(FlightTexts& t)
{
    std::optional<std::string> airline = lf_airlineFromCallsign(t.callsign);
    if (!airline)
        return false;
    t.airline = std::move(*airline);
    return true;
}

std::string_view gf_callsignStem(std::string_view callsign)
{
    return callsign.empty() ? callsign : callsign.substr(0, callsign.size() - 1);
}

void gf_shutdownAtStand(StaticAc& ac)
{
    gf_setThrottle(ac, 0);
    gf_setFlaps(ac, 0);
    gf_engineShutdown(ac.objectId);
    uint32_t cabin = 0;
    if (!ac.cargoStand)
        cabin = !gf_randomChoicesOn() || gf_threadTwister()() % 10 < 9 ? 1 : 0;
    gf_setLights(ac.objectId, LightSet{NAV_LIGHTS_WHILE_PARKED.value ? 1u : 0u, 0, 0, 0, 0, 1, cabin});
}
