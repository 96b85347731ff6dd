#include "simlink/sim_queues.h"

#include <cstring>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/time_text.h"
#include "simlink/sim_client.h"
#include "simlink/sim_client_internal.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_object_events.h"
#include "simlink/simconnect/send_burst.h"
#include "ui/messages.h"

std::mutex g_simConnectMutex;
std::vector<SimCreateRequest> g_createQueue;
std::vector<SimClientEvent> g_eventQueue;
std::vector<uint32_t> g_removeQueue;
PosUpdateHandover g_posUpdates;
std::vector<PendingCreation> g_pendingCreations;

namespace {

constexpr size_t kContainerTitleBytes = sizeof(ScCreateNonAtcAircraftRecord::containerTitle);

void lf_queueEvent(uint32_t objectId, SimEventId eventId, uint32_t data)
{
    std::lock_guard lock(g_simConnectMutex);
    g_eventQueue.push_back({objectId, gf_id(eventId), data});
}

// A title the creation record cannot hold is not sent; the engine hears of it as of any
// other creation the simulator refused. Hexids of such creations are added to `refused`.
void lf_createAcInSim(ScHandle handle, const SimCreateRequest& request, std::vector<uint32_t>& refused)
{
    if (request.liveryTitle.size() >= kContainerTitleBytes) {
        gf_logErrorLine("! Livery title of {} bytes too long to create, hexid:{}, callsign: {}",
                        request.liveryTitle.size(), request.hexid, request.callsign);
        refused.push_back(request.hexid);
        return;
    }
    char title[kContainerTitleBytes] = {};
    std::memcpy(title, request.liveryTitle.data(), request.liveryTitle.size());
    // The simulator gives the tail number back as the object's ATC ID, so the pending
    // creation keeps the text as sent.
    const std::string_view callsign = request.callsign;
    std::string tail(lf_cutToBytes(callsign.substr(0, callsign.find('\0')), g_maxTailNumberBytes));
    const ScInitPosition position{request.latitude, request.longitude, request.altitude, request.pitch,
                                  request.bank,     request.heading,   request.onGround, request.airspeed};
    if (gf_scFailed(SimConnect_AICreateNonATCAircraft(handle, title, tail.c_str(), position,
                                                      gf_id(SimRequest::CreateAc)))) {
        gf_logErrorLine("! Simcon call to create ac in sim failed, hexid:{}, liv: '{}', callsign: {})", request.hexid,
                        request.liveryTitle, request.callsign);
        gf_simConnectRequestError();
        return;
    }
    uint32_t sendId = 0;
    if (gf_scFailed(SimConnect_GetLastSentPacketID(handle, &sendId))) {
        gf_logErrorLine("GetLastSentPacketID");
        sendId = 0;
    }
    g_pendingCreations.push_back({sendId, request.hexid, std::move(tail)});
}

void lf_removeAcFromSim(ScHandle handle, uint32_t objectId)
{
    if (objectId <= g_userObjectId) {
        gf_logErrorLine("SimConnect call to remove ac with objectid {}", objectId);
        return;
    }
    if (gf_scFailed(SimConnect_AIRemoveObject(handle, objectId, gf_id(SimRequest::RemoveAc)))) {
        gf_logErrorLine("{} !SimConnect call to remove AI ac from sim failed, id {}?", gf_clockHms(), objectId);
        gf_simConnectRequestError();
    }
}

void lf_sendClientEvent(ScHandle handle, const SimClientEvent& event)
{
    // Flaps move only while the object's AI does not hold them.
    const bool flaps = event.eventId == gf_id(SimEventId::FlapsSet);
    const uint32_t release = gf_id(SimRequest::AiReleaseControl);
    if (flaps)
        SimConnect_AIReleaseControl(handle, event.objectId, release);
    if (gf_scFailed(SimConnect_TransmitClientEvent(handle, event.objectId, event.eventId, event.data, g_simEventGroup,
                                                   0))) {
        gf_showMessage(fmt::format("SimConnect TransmitClientEvent: {} fails", event.eventId), true);
        return;
    }
    if (flaps)
        SimConnect_AIReleaseControl(handle, event.objectId, release);
}

void lf_emptyQueues()
{
    g_eventQueue.clear();
    g_createQueue.clear();
    g_removeQueue.clear();
}

} // namespace

void lf_onSimFrame()
{
    // Reused from frame to frame: the drain allocates nothing in the steady state.
    static std::vector<uint32_t> refused;
    const std::vector<PosUpdate>& positions = g_posUpdates.newest();
    {
        std::unique_lock lock(g_simConnectMutex, std::try_to_lock);
        if (g_simConnectFailed) {
            if (lock.owns_lock())
                lf_emptyQueues();
            return;
        }
        const ScHandle handle = g_simConnect.load();
        const uint32_t userObjectId = g_userObjectId;
        const ScSendBurst burst(handle);
        for (const PosUpdate& update : positions) {
            if (update.objectId > userObjectId)
                SimConnect_SetDataOnSimObject(handle, gf_id(SimDefinition::AiPosition), update.objectId, 0, 0,
                                              g_posUpdateDataSize, &update);
        }
        // While the worker holds the queues they wait for the next frame.
        if (!lock.owns_lock())
            return;
        for (const SimClientEvent& event : g_eventQueue)
            lf_sendClientEvent(handle, event);
        // After a failure the run is ending: nothing more is sent.
        for (const SimCreateRequest& request : g_createQueue) {
            if (!g_simConnectFailed)
                lf_createAcInSim(handle, request, refused);
        }
        for (const uint32_t objectId : g_removeQueue) {
            if (!g_simConnectFailed)
                lf_removeAcFromSim(handle, objectId);
        }
        lf_emptyQueues();
    }
    if (refused.empty())
        return;
    std::lock_guard lock(g_simObjectEventsMutex);
    for (const uint32_t hexid : refused)
        g_simObjectEvents.push_back({0, hexid, 0, SimObjectEventKind::CreationFailed});
    refused.clear();
}

void PosUpdateHandover::publish()
{
    write_ = middle_.exchange(static_cast<uint8_t>(write_ | kFresh), std::memory_order_acq_rel) & 3;
    buffers_[write_].clear();
}

void PosUpdateHandover::discard()
{
    buffers_[write_].clear();
    publish();
}

const std::vector<PosUpdate>& PosUpdateHandover::newest()
{
    if (pending())
        read_ = middle_.exchange(read_, std::memory_order_acq_rel) & 3;
    return buffers_[read_];
}

void PosUpdateHandover::reset(size_t n)
{
    for (std::vector<PosUpdate>& b : buffers_) {
        b.clear();
        b.reserve(n);
    }
    write_ = 0;
    read_ = 1;
    middle_.store(2);
}

void gf_queueCreateAc(const SimCreateRequest& request)
{
    std::lock_guard lock(g_simConnectMutex);
    g_createQueue.push_back(request);
}

void gf_engineShutdown(uint32_t objectId)
{
    lf_queueEvent(objectId, SimEventId::EngineAutoShutdown, 0);
}

void gf_engineStart(uint32_t objectId)
{
    lf_queueEvent(objectId, SimEventId::EngineAutoStart, 0);
}

void gf_setLights(uint32_t objectId, const LightSet& lights)
{
    using E = SimEventId;
    std::lock_guard lock(g_simConnectMutex);
    for (const auto& [eventId, state] : {std::pair{E::NavLightsSet, lights.nav}, {E::BeaconLightsSet, lights.beacon},
                                         {E::LandingLightsSet, lights.landing}, {E::TaxiLightsSet, lights.taxi},
                                         {E::StrobesSet, lights.strobes}, {E::LogoLightsSet, lights.logo},
                                         {E::CabinLightsSet, lights.cabin}})
        g_eventQueue.push_back({objectId, gf_id(eventId), state});
}

void gf_setNavLights(uint32_t objectId, uint32_t state)
{
    lf_queueEvent(objectId, SimEventId::NavLightsSet, state);
}

void gf_setCabinLights(uint32_t objectId, uint32_t state)
{
    lf_queueEvent(objectId, SimEventId::CabinLightsSet, state);
}
