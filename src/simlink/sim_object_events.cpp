// Objects that appear and disappear, the aircraft-within-range replies that bind a new
// object to its creation, and the simulator's exceptions.
#include "simlink/sim_object_events.h"

#include <algorithm>
#include <cmath>

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
std::vector<uint32_t> g_addedObjectIds;

namespace {

constexpr double kMaxReportedHeightFt = 2500.0;

// Swap-and-pop where the order does not matter.
template <typename T>
void lf_removeAt(std::vector<T>& list, size_t index)
{
    if (index + 1 != list.size())
        list[index] = std::move(list.back());
    list.pop_back();
}

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
            g_addedObjectIds.push_back(objectId);
    } else if (event->event.eventId == gf_id(SimEventId::ObjectRemoved)) {
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
    ScDataReader reader(message, size);
    const double altitudeAboveGround = reader.float64();
    const double groundAltitude = reader.float64();
    const auto onGround = static_cast<uint32_t>(reader.int64());
    const std::string atcId = reader.string32();
    const auto added = std::find(g_addedObjectIds.begin(), g_addedObjectIds.end(), objectId);
    if (added != g_addedObjectIds.end()) {
        lf_removeAt(g_addedObjectIds, static_cast<size_t>(added - g_addedObjectIds.begin()));
        const uint32_t hexid = atcId.empty() ? 0 : lf_takePendingByCallsign(atcId);
        if (hexid == 0) {
            gf_logLine("just spawned, but not by {}, oid: {}, callsign '{}', altaboveGnd:{:.0f} ft, onground:{}, "
                       "gnd_alt:{:.0f} ft",
                       "Tavelorium_P3D", objectId, lf_simText(atcId, 32), altitudeAboveGround, onGround,
                       groundAltitude);
            return;
        }
        lf_bind(objectId, hexid, altitudeAboveGround);
        return;
    }
    if (altitudeAboveGround <= kMaxReportedHeightFt && !atcId.empty() && atcId.back() != '*')
        lf_appendSimObjectEvent({objectId, onGround, 0, SimObjectEventKind::InRange, groundAltitude, altitudeAboveGround});
}

void lf_onSimException(const ScRecv* message, uint32_t size)
{
    const auto m = gf_scMessageAs<ScRecvException>(message, size);
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
