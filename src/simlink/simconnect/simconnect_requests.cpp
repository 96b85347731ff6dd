// The request operations: each fills its record from the table in wire_records.h and
// sends it whole.
#include <cstring>
#include <span>
#include <vector>

#include "simlink/simconnect/connection.h"

namespace {

template <typename Record>
Record lf_newRecord()
{
    Record record{};
    record.header.size = sizeof(Record);
    record.header.version = g_scProtocolVersion;
    record.header.id = g_scRequestIdBase + static_cast<uint32_t>(Record::kRequest);
    return record;
}

// A null text is sent empty; one that does not fit with its NUL fails the request.
template <size_t N>
bool lf_setText(char (&field)[N], const char* text)
{
    if (text == nullptr)
        return true;
    const size_t length = strnlen(text, N);
    if (length >= N)
        return false;
    std::memcpy(field, text, length);
    return true;
}

bool lf_usable(ScHandle handle)
{
    return handle != nullptr && handle->transport != nullptr;
}

// A failed connection answers with its recorded error before anything else is checked.
std::optional<ScHresult> lf_connectionFailure(ScHandle handle)
{
    if (!lf_usable(handle))
        return g_scFail;
    if (handle->transport->failed())
        return handle->transport->recordedError();
    return std::nullopt;
}

template <typename Record>
ScHresult lf_send(ScHandle handle, const Record& record, uint32_t* sendId = nullptr)
{
    return gf_scSendRecord(*handle, std::as_bytes(std::span(&record, 1)), sendId);
}

} // namespace

ScHresult SimConnect_MapClientEventToSimEvent(ScHandle handle, uint32_t eventId, const char* eventName)
{
    if (auto failure = lf_connectionFailure(handle))
        return *failure;
    auto record = lf_newRecord<ScMapClientEventRecord>();
    record.eventId = eventId;
    if (!lf_setText(record.eventName, eventName))
        return g_scTextTooLong;
    return lf_send(handle, record);
}

ScHresult SimConnect_TransmitClientEvent(ScHandle handle, uint32_t objectId, uint32_t eventId, uint32_t data,
                                         uint32_t groupId, uint32_t flags)
{
    if (auto failure = lf_connectionFailure(handle))
        return *failure;
    auto record = lf_newRecord<ScTransmitClientEventRecord>();
    record.objectId = objectId;
    record.eventId = eventId;
    record.data = data;
    record.groupId = groupId;
    record.flags = flags;
    return lf_send(handle, record);
}

ScHresult SimConnect_AddClientEventToNotificationGroup(ScHandle handle, uint32_t groupId, uint32_t eventId,
                                                       bool maskable)
{
    if (auto failure = lf_connectionFailure(handle))
        return *failure;
    auto record = lf_newRecord<ScAddClientEventToGroupRecord>();
    record.groupId = groupId;
    record.eventId = eventId;
    record.maskable = maskable ? 1 : 0;
    return lf_send(handle, record);
}

ScHresult SimConnect_SetNotificationGroupPriority(ScHandle handle, uint32_t groupId, uint32_t priority)
{
    if (auto failure = lf_connectionFailure(handle))
        return *failure;
    auto record = lf_newRecord<ScSetGroupPriorityRecord>();
    record.groupId = groupId;
    record.priority = priority;
    return lf_send(handle, record);
}

ScHresult SimConnect_AddToDataDefinition(ScHandle handle, uint32_t defineId, const char* variableName,
                                         const char* unitsName, ScDataType dataType, float epsilon, uint32_t datumId)
{
    if (auto failure = lf_connectionFailure(handle))
        return *failure;
    auto record = lf_newRecord<ScAddToDataDefinitionRecord>();
    record.defineId = defineId;
    if (!lf_setText(record.variableName, variableName) || !lf_setText(record.unitsName, unitsName))
        return g_scTextTooLong;
    record.dataType = static_cast<uint32_t>(dataType);
    record.epsilon = epsilon;
    record.datumId = datumId;
    // Counted before the record leaves: a reply that uses the definition can only come
    // after it, and is checked against the whole definition.
    const uint32_t size = gf_scDataTypeMinimumSize(dataType);
    {
        std::lock_guard lock(handle->definitionsMutex);
        handle->definitionSizes[defineId] += size;
    }
    uint32_t sendId = 0;
    const ScHresult result = lf_send(handle, record, &sendId);
    std::lock_guard lock(handle->definitionsMutex);
    if (gf_scFailed(result))
        handle->definitionSizes[defineId] -= size;
    else
        handle->addedDataBySendId[sendId] = {defineId, size};
    return result;
}

ScHresult SimConnect_RequestDataOnSimObject(ScHandle handle, uint32_t requestId, uint32_t defineId, uint32_t objectId,
                                            uint32_t period, uint32_t flags, uint32_t origin, uint32_t interval,
                                            uint32_t limit)
{
    if (auto failure = lf_connectionFailure(handle))
        return *failure;
    auto record = lf_newRecord<ScRequestDataRecord>();
    record.requestId = requestId;
    record.defineId = defineId;
    record.objectId = objectId;
    record.period = period;
    record.flags = flags;
    record.origin = origin;
    record.interval = interval;
    record.limit = limit;
    return lf_send(handle, record);
}

ScHresult SimConnect_RequestDataOnSimObjectType(ScHandle handle, uint32_t requestId, uint32_t defineId,
                                                uint32_t radiusMetres, uint32_t objectType)
{
    if (auto failure = lf_connectionFailure(handle))
        return *failure;
    auto record = lf_newRecord<ScRequestDataByTypeRecord>();
    record.requestId = requestId;
    record.defineId = defineId;
    record.radiusMetres = radiusMetres;
    record.objectType = objectType;
    return lf_send(handle, record);
}

ScHresult SimConnect_SetDataOnSimObject(ScHandle handle, uint32_t defineId, uint32_t objectId, uint32_t flags,
                                        uint32_t arrayCount, uint32_t unitSize, const void* data)
{
    if (auto failure = lf_connectionFailure(handle))
        return *failure;
    const uint32_t count = arrayCount == 0 ? 1 : arrayCount;
    const uint64_t dataSize = uint64_t{count} * unitSize;
    if (dataSize > g_scMaxRecordSize - sizeof(ScSetDataRecord) || (dataSize > 0 && data == nullptr))
        return g_scInvalidArg;
    auto record = lf_newRecord<ScSetDataRecord>();
    record.header.size = static_cast<uint32_t>(sizeof record + dataSize);
    record.defineId = defineId;
    record.objectId = objectId;
    record.flags = flags;
    record.arrayCount = count;
    record.unitSize = unitSize;
    // Put together where it is built each time, so that a record costs no allocation.
    thread_local std::vector<std::byte> bytes;
    bytes.resize(record.header.size);
    std::memcpy(bytes.data(), &record, sizeof record);
    if (dataSize > 0)
        std::memcpy(bytes.data() + sizeof record, data, static_cast<size_t>(dataSize));
    return gf_scSendRecord(*handle, bytes);
}

ScHresult SimConnect_SubscribeToSystemEvent(ScHandle handle, uint32_t eventId, const char* systemEventName)
{
    if (auto failure = lf_connectionFailure(handle))
        return *failure;
    auto record = lf_newRecord<ScSubscribeRecord>();
    record.eventId = eventId;
    if (!lf_setText(record.eventName, systemEventName))
        return g_scTextTooLong;
    return lf_send(handle, record);
}

ScHresult SimConnect_AICreateNonATCAircraft(ScHandle handle, const char* containerTitle, const char* tailNumber,
                                            const ScInitPosition& position, uint32_t requestId)
{
    if (auto failure = lf_connectionFailure(handle))
        return *failure;
    auto record = lf_newRecord<ScCreateNonAtcAircraftRecord>();
    if (!lf_setText(record.containerTitle, containerTitle) || !lf_setText(record.tailNumber, tailNumber))
        return g_scTextTooLong;
    record.position = position;
    record.requestId = requestId;
    return lf_send(handle, record);
}

ScHresult SimConnect_AIReleaseControl(ScHandle handle, uint32_t objectId, uint32_t requestId)
{
    if (auto failure = lf_connectionFailure(handle))
        return *failure;
    auto record = lf_newRecord<ScReleaseControlRecord>();
    record.objectId = objectId;
    record.requestId = requestId;
    return lf_send(handle, record);
}

ScHresult SimConnect_AIRemoveObject(ScHandle handle, uint32_t objectId, uint32_t requestId)
{
    if (auto failure = lf_connectionFailure(handle))
        return *failure;
    auto record = lf_newRecord<ScRemoveObjectRecord>();
    record.objectId = objectId;
    record.requestId = requestId;
    return lf_send(handle, record);
}

ScHresult SimConnect_AISetAircraftFlightPlan(ScHandle handle, uint32_t objectId, const char* flightPlanPath,
                                             uint32_t requestId)
{
    if (auto failure = lf_connectionFailure(handle))
        return *failure;
    auto record = lf_newRecord<ScSetFlightPlanRecord>();
    record.objectId = objectId;
    if (!lf_setText(record.flightPlanPath, flightPlanPath))
        return g_scTextTooLong;
    record.requestId = requestId;
    return lf_send(handle, record);
}
