// The user aircraft: the worker's requests for it and the simulator's replies (object
// data of requests 102 and 106 to 109, and 111 passed on), its span and category, and its stand.
#include <cmath>
#include <optional>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/stop_state.h"
#include "foundation/time_text.h"
#include "foundation/user_error.h"
#include "parking/park_airports.h"
#include "simlink/sim_client.h"
#include "simlink/sim_client_internal.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_object_events.h"
#include "simlink/sim_queues.h"
#include "traffic/user_stand.h"
#include "ui/messages.h"
#include "ui/window_state.h"

namespace {

constexpr size_t kMaxTitleCharacters = 48;
constexpr double kTeleportNm = 10.0;
constexpr double kNearZeroDegrees = 0.0001;
constexpr double kMaxParkedSpeedKt = 2.0;
constexpr double kMetresPerNm = 1852.0;
constexpr double kLeastTrackMoveMetres = 1.0;

bool lf_isZeroPosition(double latitude, double longitude)
{
    return std::fabs(latitude) <= kNearZeroDegrees && std::fabs(longitude) <= kNearZeroDegrees;
}

int64_t lf_floorDiv(int64_t a, int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

std::optional<UserState> lf_readUserState(const ScRecv* message, uint32_t size)
{
    ScDataReader reader(message, size);
    UserState s;
    for (double* value : {&s.latitude, &s.longitude, &s.pitch, &s.bank, &s.heading, &s.altitude,
                          &s.altitudeAboveGround, &s.groundVelocity})
        *value = reader.float64();
    for (int64_t* value : {&s.zuluTime, &s.zuluDayOfYear, &s.zuluYear, &s.lightStates})
        *value = reader.int64();
    // A NaN would pass every distance test, the teleport test among them.
    if (!reader.ok() || !std::isfinite(s.latitude) || !std::isfinite(s.longitude) || !std::isfinite(s.altitude)) {
        gf_logErrorLine("! SimConnect user state dropped: lat {}, lon {}, alt {}", s.latitude, s.longitude,
                        s.altitude);
        return std::nullopt;
    }
    if (s.altitude < 0.0)
        s.altitude = 0.0;
    return s;
}

void lf_onUserState(const ScRecv* message, uint32_t size, uint32_t objectId)
{
    std::optional<UserState> received = lf_readUserState(message, size);
    if (!received)
        return;
    UserState& s = *received;
    const GeoPos position{s.latitude, s.longitude};
    const bool fromLast = !lf_isZeroPosition(g_lastUserPos.latitude, g_lastUserPos.longitude) &&
                          !lf_isZeroPosition(position.latitude, position.longitude);
    const double movedNm = fromLast ? gf_distanceNm(g_lastUserPos, position) : 0.0;
    const bool jumped = movedNm > kTeleportNm;
    {
        std::lock_guard lock(g_simConnectMutex);
        // The way from the last position; a move shorter than a metre (2 kt between replies a
        // second apart) tells none, the last way holds.
        if (!fromLast || jumped)
            s.groundTrack = s.heading;
        else if (movedNm * kMetresPerNm < kLeastTrackMoveMetres)
            s.groundTrack = g_userState.groundTrack;
        else
            s.groundTrack = gf_bearingRad(g_lastUserPos, position);
        g_userState = s;
    }
    if (jumped) {
        gf_logLine("Teleport");
        lf_newFlight();
    }
    g_lastUserPos = position;
    if (g_rtProfessional)
        g_simUnixTime = lf_daysSince1970(s.zuluYear, s.zuluDayOfYear) * 86400 + s.zuluTime;
    g_userObjectId = objectId;
}

void lf_onUserOnGround(const ScRecv* message, uint32_t size)
{
    if (!lf_isZeroPosition(g_userState.latitude, g_userState.longitude)) {
        ScDataReader reader(message, size);
        g_userOnGround = static_cast<uint32_t>(reader.int64()) != 0;
        g_userDataValid = true;
    }
    g_newUserData = true;
}

void lf_onUserTitle(const ScRecv* message, uint32_t size)
{
    ScDataReader reader(message, size);
    const std::string title = lf_simText(reader.stringV(), kMaxTitleCharacters);
    if (title.empty())
        gf_logLine("! Title of your aircraft is empty?");
    if (title == g_userTitle)
        return;
    gf_setWindowText(WindowText::UserTitle, title, g_wholeWindow);
    g_userTitle = title;
    gf_logContinuation("SimConnect: User aircraft title: {}", title);
}

void lf_setSpanMark(bool known)
{
    gf_windowState().userModelKnown = known;
    gf_invalidateBand(g_wholeWindow);
}

void lf_storeHalfSpan(double halfSpanNm)
{
    g_userHalfSpan = halfSpanNm;
    g_userHalfSpanSet = true;
}

void lf_userModel(const std::string& atcModel)
{
    if (atcModel.empty())
        throw tav::UserErrorException(71, "atc_model= in [General] section of your aircraft.cfg is empty or missing");
    const SimLinkNeighbours& n = lf_neighbours();
    gf_logContinuation("model raw: {}", atcModel);
    std::string model = atcModel;
    std::string line = "SimConnect: User aircraft model: " + model;
    if (model.find("camerapod") != std::string::npos || model.find("Crew Vessel") != std::string::npos) {
        lf_storeHalfSpan(n.halfWingspan("E190"));
        lf_setSpanMark(true);
        g_userCategory = TypeCategory::Other;
        gf_logContinuation(line);
        return;
    }
    // A span of 0 is one the database does not know (yet); the largest one stands in.
    const double largest = g_maxHalfWingspan;
    double span = model.size() <= 4 ? n.halfWingspan(model) : 0.0;
    bool known = span > 0.0;
    if (!known) {
        for (const char* deducible : {"Aerosoft A319", "Aerosoft A320", "Aerosoft A321"}) {
            if (g_userTitle.rfind(deducible, 0) == 0) {
                model = std::string(deducible).substr(9);
                line = "SimConnect: User aircraft model deduced from title: " + model;
                span = n.halfWingspan(model);
                known = span > 0.0;
                break;
            }
        }
    }
    if (!known)
        span = largest;
    lf_storeHalfSpan(span);
    lf_setSpanMark(known);
    if (known)
        line += fmt::format(", half wing span: {:.1F} meter", span * kMetresPerNm);
    else
        gf_showMessage("User aircraft wing span unknown, max is taken instead, please report in my Forum!", true);
    const TypeCategory category = n.typeCategory(model);
    g_userCategory = category;
    line += fmt::format(", category: {}", gf_typeCategoryText(category));
    gf_logContinuation(line);
}

void lf_onUserModel(const ScRecv* message, uint32_t size)
{
    ScDataReader reader(message, size);
    const std::string model = lf_simText(reader.string32(), 32);
    try {
        lf_userModel(model);
    } catch (const tav::UserErrorException&) {
        throw;
    } catch (...) {
        throw tav::UserErrorException(73, "It looks like you have not selected an aircraft as user vehicle");
    }
}

void lf_onStaticCg(const ScRecv* message, uint32_t size, uint32_t objectId)
{
    ScDataReader reader(message, size);
    SimObjectEvent event{objectId, 0, 0, SimObjectEventKind::StaticCg};
    event.d1 = reader.float64();
    event.d2 = reader.float64();
    lf_appendSimObjectEvent(event);
}

// The definition each request is answered with.
std::optional<SimDefinition> lf_definitionOf(uint32_t requestId)
{
    switch (static_cast<SimRequest>(requestId)) {
    case SimRequest::StaticCg:
        return SimDefinition::StaticCg;
    case SimRequest::UserTitle:
        return SimDefinition::UserTitle;
    case SimRequest::UserAtcModel:
        return SimDefinition::UserAtcModel;
    case SimRequest::UserOnGround:
        return SimDefinition::UserOnGround;
    case SimRequest::UserState:
        return SimDefinition::UserState;
    case SimRequest::AddedAc:
        return SimDefinition::AcInRange;
    default:
        return std::nullopt;
    }
}

} // namespace

int64_t lf_daysSince1970(int64_t zuluYear, int64_t dayOfYear)
{
    const int64_t y1 = static_cast<int16_t>(zuluYear) - 1;
    const int64_t c = lf_floorDiv(y1, 100);
    return dayOfYear - 719163 + lf_floorDiv(y1 * 1461, 4) + lf_floorDiv(c, 4) - c;
}

void lf_onSimObjectData(const ScRecv* message, uint32_t size)
{
    const auto head = gf_scMessageAs<ScRecvObjectData>(message, size);
    const std::optional<SimDefinition> definition = lf_definitionOf(head->requestId);
    if (!definition)
        return;
    if (head->defineId != gf_id(*definition)) {
        gf_logErrorLine("! SimConnect data of request {} with definition {} dropped", head->requestId,
                        head->defineId);
        return;
    }
    switch (*definition) {
    case SimDefinition::StaticCg:
        lf_onStaticCg(message, size, head->objectId);
        break;
    case SimDefinition::UserTitle:
        lf_onUserTitle(message, size);
        break;
    case SimDefinition::UserAtcModel:
        lf_onUserModel(message, size);
        break;
    case SimDefinition::UserOnGround:
        lf_onUserOnGround(message, size);
        break;
    case SimDefinition::UserState:
        lf_onUserState(message, size, head->objectId);
        break;
    case SimDefinition::AcInRange:
        lf_onAddedObjectData(message, size);
        break;
    default:
        break;
    }
}

void lf_storeUserStand()
{
    if (!g_userDataValid || !(g_userState.groundVelocity <= kMaxParkedSpeedKt))
        return;
    // The worker finds the stand, which it alone may look for among the park airport's
    // stands, at every copy of the user state.
    const PublishedUserStand stand = gf_publishedUserStand();
    if (stand.id.empty())
        return;
    std::lock_guard lock(g_parkAirportsMutex);
    if (g_parkAirports.empty())
        return;
    ParkAirportEntry& entry = g_parkAirports.front();
    if (entry.code != g_parkAirport.code || entry.code != stand.airport || entry.reservedStand == stand.id)
        return;
    entry.reservedStand = stand.id;
    lf_neighbours().writeMyParkAirports();
}

UserState gf_requestUserPosition()
{
    std::lock_guard lock(g_simConnectMutex);
    const ScHandle handle = g_simConnect.load();
    if (handle != nullptr && !g_simConnectFailed &&
        gf_scFailed(SimConnect_RequestDataOnSimObject(handle, gf_id(SimRequest::UserState),
                                                      gf_id(SimDefinition::UserState), g_scObjectIdUser,
                                                      static_cast<uint32_t>(ScPeriod::Once)))) {
        gf_logErrorLine("SimConnect request user ac position fails");
        gf_simConnectRequestError();
    }
    return g_userState;
}

void gf_requestUserTitleModel()
{
    std::lock_guard lock(g_simConnectMutex);
    const ScHandle handle = g_simConnect.load();
    if (handle == nullptr)
        return;
    const auto once = static_cast<uint32_t>(ScPeriod::Once);
    if (gf_scFailed(SimConnect_RequestDataOnSimObject(handle, gf_id(SimRequest::UserTitle),
                                                      gf_id(SimDefinition::UserTitle), g_scObjectIdUser, once))) {
        gf_logErrorLine("SimConnect request user ac title fails");
        gf_simConnectRequestError();
    }
    if (gf_scFailed(SimConnect_RequestDataOnSimObject(handle, gf_id(SimRequest::UserAtcModel),
                                                      gf_id(SimDefinition::UserAtcModel), g_scObjectIdUser, once))) {
        gf_logErrorLine("SimConnect reques user ac model fails");
        gf_simConnectRequestError();
    }
}
