#pragma once
// Our own client of the SimConnect protocol. The operations carry the names of the public
// SimConnect API and take the same arguments; each returns an HRESULT. Any thread may
// make requests on one connection: each record is numbered and handed to the transport
// in one step under g_simConnectLock.
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "simlink/simconnect/sc_result.h"
#include "simlink/simconnect/wire_records.h"

struct SimConnectConnection;
using ScHandle = SimConnectConnection*;

// Receives one whole message; `size` is its length in bytes, at least the size the
// message's id needs (shorter messages are dropped and logged before they get here).
using ScDispatchProc = void (*)(const ScRecv* message, uint32_t size, void* context);

// One process-wide lock over every connection's send-id counter and its hand-over of
// records to the transport. Where both are held, g_simConnectMutex is taken first.
extern std::mutex g_simConnectLock;

inline constexpr uint32_t g_scUnused = 0xFFFFFFFFu;

// Opens a connection by the configuration of that index (SimConnect.cfg, registry ports)
// and sends the open record. Window and event (may be null) are notified of arrivals.
ScHresult SimConnect_Open(ScHandle* handle, const char* name, void* window, uint32_t userMessage, void* event,
                          uint32_t configIndex);
// Closes the connection and frees the handle; 0x80004005 only for a null handle.
ScHresult SimConnect_Close(ScHandle handle);
// Hands every waiting message, oldest first, to the procedure; then 0 when the connection
// is sound, else the error recorded when it failed.
ScHresult SimConnect_CallDispatch(ScHandle handle, ScDispatchProc procedure, void* context);
// Ours, beside the public API: blocks until a message waits for the dispatch, the
// connection has failed (the transport saw its socket or pipe closed) or the stop is
// requested, so that the client wakes for what comes and only then.
void gf_scWaitForMessages(ScHandle handle, const std::stop_token& stop);
// The send id of the last record that the calling thread sent on this connection; fails
// when this thread has sent none there.
ScHresult SimConnect_GetLastSentPacketID(ScHandle handle, uint32_t* sendId);

ScHresult SimConnect_MapClientEventToSimEvent(ScHandle handle, uint32_t eventId, const char* eventName);
ScHresult SimConnect_TransmitClientEvent(ScHandle handle, uint32_t objectId, uint32_t eventId, uint32_t data,
                                         uint32_t groupId, uint32_t flags);
ScHresult SimConnect_AddClientEventToNotificationGroup(ScHandle handle, uint32_t groupId, uint32_t eventId,
                                                       bool maskable = false);
ScHresult SimConnect_SetNotificationGroupPriority(ScHandle handle, uint32_t groupId, uint32_t priority);
ScHresult SimConnect_AddToDataDefinition(ScHandle handle, uint32_t defineId, const char* variableName,
                                         const char* unitsName, ScDataType dataType, float epsilon = 0.0f,
                                         uint32_t datumId = g_scUnused);
ScHresult SimConnect_RequestDataOnSimObject(ScHandle handle, uint32_t requestId, uint32_t defineId, uint32_t objectId,
                                            uint32_t period, uint32_t flags = 0, uint32_t origin = 0,
                                            uint32_t interval = 0, uint32_t limit = 0);
ScHresult SimConnect_RequestDataOnSimObjectType(ScHandle handle, uint32_t requestId, uint32_t defineId,
                                                uint32_t radiusMetres, uint32_t objectType);
// An array count of 0 is sent as 1 (one unit of data).
ScHresult SimConnect_SetDataOnSimObject(ScHandle handle, uint32_t defineId, uint32_t objectId, uint32_t flags,
                                        uint32_t arrayCount, uint32_t unitSize, const void* data);
ScHresult SimConnect_SubscribeToSystemEvent(ScHandle handle, uint32_t eventId, const char* systemEventName);
ScHresult SimConnect_AICreateNonATCAircraft(ScHandle handle, const char* containerTitle, const char* tailNumber,
                                            const ScInitPosition& position, uint32_t requestId);
ScHresult SimConnect_AIReleaseControl(ScHandle handle, uint32_t objectId, uint32_t requestId);
ScHresult SimConnect_AIRemoveObject(ScHandle handle, uint32_t objectId, uint32_t requestId);
ScHresult SimConnect_AISetAircraftFlightPlan(ScHandle handle, uint32_t objectId, const char* flightPlanPath,
                                             uint32_t requestId);

// Reading received messages: a copy of the message as the struct of its id, empty when
// the message is shorter than the struct.
template <typename T>
std::optional<T> gf_scMessageAs(const ScRecv* message, uint32_t size)
{
    if (message == nullptr || size < sizeof(T))
        return std::nullopt;
    T value;
    std::memcpy(&value, message, sizeof value);
    return value;
}

// A fixed-size text field: up to its first NUL, never beyond the field.
template <size_t N>
std::string gf_scFieldText(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

// Reads the data of an object-data message (from offset 40) in the order of its
// definition. Every read is bounded by the message end; a read past it gives 0 or an
// empty text and clears ok().
class ScDataReader {
public:
    ScDataReader(const ScRecv* message, uint32_t size);
    double float64();
    int64_t int64();
    // A STRING32 field.
    std::string string32();
    // A STRINGV: up to its NUL or the message end.
    std::string stringV();
    bool ok() const { return ok_; }

private:
    bool take(void* out, size_t width);
    const char* data_;
    uint32_t size_;
    uint32_t pos_;
    bool ok_ = true;
};
