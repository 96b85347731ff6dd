// Objects that appear and disappear, the aircraft-within-range replies that bind a new
// object to its creation (and the direct requests for a new object those replies do not
// show), and the simulator's exceptions.
#include "simlink/sim_object_events.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/stop_state.h"
#include "foundation/user_error.h"
#include "simlink/sim_client.h"
#include "simlink/sim_client_internal.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_queues.h"
#include "ui/messages.h"

std::mutex g_simObjectEventsMutex;
std::vector<SimObjectEvent> g_simObjectEvents;
std::vector<AddedObject> g_addedObjects;

namespace {

constexpr double kMaxReportedHeightFt = 2500.0;
// The in-range replies come every second or faster: an object they have not shown by then
// lies outside their radius.
constexpr auto kAskAfter = std::chrono::milliseconds(2500);

// An aircraft as the in-range definition gives it.
struct AcReport {
    double altitudeAboveGround = 0.0;
    double groundAltitude = 0.0;
    uint32_t onGround = 0;
    std::string atcId;
};

// The hexid of the first pending creation with this callsign (0 when none), taken out of
// the list. The order of the rest is kept: equal callsigns bind in the order created.
uint32_t lf_takePendingByCallsign(const std::string& callsign)
{
    const auto it = std::find_if(g_pendingCreations.begin(), g_pendingCreations.end(),
                                 [&](const PendingCreation& p) { return p.callsign == callsign; });
    if (it == g_pendingCreations.end())
        return 0;
    const uint32_t hexid = it->hexid;
    g_pendingCreations.erase(it);
    return hexid;
}

// The object is ours: it is frozen and left to the engine, which moves it itself.
void lf_bind(uint32_t objectId, uint32_t hexid, double altitudeAboveGround)
{
    {
        std::lock_guard lock(g_simConnectMutex);
        SimConnect_AIReleaseControl(g_simConnect.load(), objectId, gf_id(SimRequest::AiReleaseControl));
        for (const SimEventId freeze : {SimEventId::FreezeLatLonSet, SimEventId::FreezeAltitudeSet,
                                        SimEventId::FreezeAttitudeSet})
            g_eventQueue.push_back({objectId, gf_id(freeze), 1});
    }
    if (hexid <= g_maxStaticHexid)
        lf_appendSimObjectEvent({objectId, hexid, 0, SimObjectEventKind::StaticBound, 0.0, 0.0});
    else
        lf_appendSimObjectEvent({objectId, hexid, 0, SimObjectEventKind::Bound, 0.0, altitudeAboveGround});
}

std::optional<AcReport> lf_readAcReport(const ScRecv* message, uint32_t size, uint32_t requestId)
{
    ScDataReader reader(message, size);
    AcReport r;
    r.altitudeAboveGround = reader.float64();
    r.groundAltitude = reader.float64();
    r.onGround = static_cast<uint32_t>(reader.int64());
    r.atcId = reader.string32();
    if (!reader.ok()) {
        gf_logErrorLine("! SimConnect data of request {} of {} bytes dropped", requestId, size);
        return std::nullopt;
    }
    return r;
}

// A new object still waiting is bound to the creation of its ATC id, or, when no creation
// of ours has it, logged and forgotten. False when the object was not waiting.
bool lf_matchAdded(uint32_t objectId, const AcReport& r)
{
    const auto added = std::find_if(g_addedObjects.begin(), g_addedObjects.end(),
                                    [objectId](const AddedObject& a) { return a.objectId == objectId; });
    if (added == g_addedObjects.end())
        return false;
    // In order: those waiting longest are asked for first.
    g_addedObjects.erase(added);
    const uint32_t hexid = r.atcId.empty() ? 0 : lf_takePendingByCallsign(r.atcId);
    if (hexid == 0) {
        gf_logLine("just spawned, but not by {}, oid: {}, callsign '{}', altaboveGnd:{:.0f} ft, onground:{}, "
                   "gnd_alt:{:.0f} ft",
                   "Tavelorium_P3D", objectId, lf_simText(r.atcId, 32), r.altitudeAboveGround, r.onGround,
                   r.groundAltitude);
        return true;
    }
    lf_bind(objectId, hexid, r.altitudeAboveGround);
    return true;
}

} // namespace

void lf_appendSimObjectEvent(const SimObjectEvent& event)
{
    std::lock_guard lock(g_simObjectEventsMutex);
    g_simObjectEvents.push_back(event);
}

void lf_onObjectAddRemove(const ScRecv* message, uint32_t size)
{
    const auto event = gf_scMessageAs<ScRecvObjectAddRemove>(message, size);
    if (event->objectType != g_scObjectTypeAircraft)
        return;
    const uint32_t objectId = event->event.data;
    if (event->event.eventId == gf_id(SimEventId::ObjectAdded)) {
        if (objectId > g_userObjectId)
            g_addedObjects.push_back({objectId, std::chrono::steady_clock::now()});
    } else if (event->event.eventId == gf_id(SimEventId::ObjectRemoved)) {
        // Gone before it was matched: nothing to ask for.
        std::erase_if(g_addedObjects, [objectId](const AddedObject& a) { return a.objectId == objectId; });
        lf_appendSimObjectEvent({objectId, 0, 0, SimObjectEventKind::Removed, 0.0, 0.0});
    }
}

void lf_onSimObjectDataByType(const ScRecv* message, uint32_t size)
{
    const auto head = gf_scMessageAs<ScRecvObjectData>(message, size);
    if (head->requestId != gf_id(SimRequest::AcInRange))
        return;
    if (head->defineId != gf_id(SimDefinition::AcInRange)) {
        gf_logErrorLine("! SimConnect data of request {} with definition {} dropped", head->requestId,
                        head->defineId);
        return;
    }
    const uint32_t objectId = head->objectId;
    if (objectId <= g_userObjectId)
        return;
    const std::optional<AcReport> r = lf_readAcReport(message, size, head->requestId);
    if (!r || lf_matchAdded(objectId, *r))
        return;
    if (r->altitudeAboveGround <= kMaxReportedHeightFt && !r->atcId.empty() && r->atcId.back() != '*')
        lf_appendSimObjectEvent({objectId, r->onGround, 0, SimObjectEventKind::InRange, r->groundAltitude,
                                 r->altitudeAboveGround});
}

void lf_onAddedObjectData(const ScRecv* message, uint32_t size)
{
    const auto head = gf_scMessageAs<ScRecvObjectData>(message, size);
    if (head->objectId <= g_userObjectId)
        return;
    // An object bound by an in-range reply meanwhile, or gone, is no longer waiting.
    if (const std::optional<AcReport> r = lf_readAcReport(message, size, head->requestId))
        lf_matchAdded(head->objectId, *r);
}

void lf_askForUnmatchedObjects(std::chrono::steady_clock::time_point now)
{
    const auto due = [now](const AddedObject& a) { return !a.asked && now - a.addedAt >= kAskAfter; };
    if (std::none_of(g_addedObjects.begin(), g_addedObjects.end(), due))
        return;
    // While the worker holds the connection, the next frame asks.
    const std::unique_lock lock(g_simConnectMutex, std::try_to_lock);
    const ScHandle handle = g_simConnect.load();
    if (!lock.owns_lock() || handle == nullptr || g_simConnectFailed)
        return;
    for (AddedObject& a : g_addedObjects) {
        if (!due(a))
            continue;
        a.asked = true;
        if (gf_scFailed(SimConnect_RequestDataOnSimObject(handle, gf_id(SimRequest::AddedAc),
                                                          gf_id(SimDefinition::AcInRange), a.objectId,
                                                          static_cast<uint32_t>(ScPeriod::Once)))) {
            gf_logErrorLine("SimConnect request data of object {} fails", a.objectId);
            gf_simConnectRequestError();
            return;
        }
        if (gf_scFailed(SimConnect_GetLastSentPacketID(handle, &a.askSendId)))
            a.askSendId = 0;
        gf_logLine("SimConnect: object {} not within range {:.1f} s after it was added, asked for, send id {}",
                   a.objectId, std::chrono::duration<double>(now - a.addedAt).count(), a.askSendId);
    }
}

void lf_onSimException(const ScRecv* message, uint32_t size)
{
    const auto m = gf_scMessageAs<ScRecvException>(message, size);
    // The object stays waiting: an in-range reply may still show it.
    const auto asked = std::find_if(g_addedObjects.begin(), g_addedObjects.end(), [&m](const AddedObject& a) {
        return a.asked && a.askSendId != 0 && a.askSendId == m->sendId;
    });
    if (asked != g_addedObjects.end()) {
        gf_logErrorLine("SimConnect exception #{} for the request of object {}, send id {}", m->exception,
                        asked->objectId, m->sendId);
        return;
    }
    switch (m->exception) {
    case 3:
        if (!(std::fabs(g_userState.latitude) <= 0.0001 && std::fabs(g_userState.longitude) <= 0.0001) &&
            !gf_stopPending())
            gf_logErrorLine("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID");
        break;
    case 5:
        throw tav::UserErrorException(95, fmt::format("SimConnect Version Mismatch, dwIndex: {}", m->index));
    case 11:
        gf_showMessage("SimConnect: too many objects (max 1000)", true);
        break;
    case 19:
        gf_logLine("SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE");
        break;
    case 22: {
        const auto it = std::find_if(g_pendingCreations.begin(), g_pendingCreations.end(),
                                     [&](const PendingCreation& p) { return p.sendId == m->sendId; });
        if (it == g_pendingCreations.end())
            break;
        const uint32_t hexid = it->hexid;
        g_pendingCreations.erase(it);
        if (hexid != 0)
            lf_appendSimObjectEvent({0, hexid, 0, SimObjectEventKind::CreationFailed, 0.0, 0.0});
        break;
    }
    case 23:
        gf_logErrorLine("SimConnect exception: load flight plan failed");
        break;
    case 24:
        gf_logLine("SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE");
        break;
    default:
        gf_logErrorLine("SIMCONNECT_EXCEPTION #{}", m->exception);
        break;
    }
}
