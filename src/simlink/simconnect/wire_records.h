#pragma once
// The SimConnect wire format as this client speaks it: one struct per request record and
// per received message, little-endian, packed as the simulator lays them out. The sizes
// asserted here are the contract with the simulator.
#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little, "the wire format is little-endian");

inline constexpr uint32_t g_scProtocolVersion = 35;
inline constexpr uint32_t g_scRequestIdBase = 0xF0000000u;
// The largest record the client may send: the size of the simulator's receive buffer.
inline constexpr uint32_t g_scMaxRecordSize = 41088;

// Request numbers; the message id on the wire is g_scRequestIdBase plus the number.
enum class ScRequest : uint32_t {
    Open = 0x01,
    MapClientEventToSimEvent = 0x04,
    TransmitClientEvent = 0x05,
    AddClientEventToNotificationGroup = 0x07,
    SetNotificationGroupPriority = 0x09,
    AddToDataDefinition = 0x0C,
    RequestDataOnSimObject = 0x0E,
    RequestDataOnSimObjectType = 0x0F,
    SetDataOnSimObject = 0x10,
    SubscribeToSystemEvent = 0x17,
    AICreateNonATCAircraft = 0x29,
    AIReleaseControl = 0x2B,
    AIRemoveObject = 0x2C,
    AISetAircraftFlightPlan = 0x2D,
};

// How often the simulator sends requested object data.
enum class ScPeriod : uint32_t { Never = 0, Once = 1, VisualFrame = 2, SimFrame = 3, Second = 4 };

// The object id that stands for the user aircraft in requests.
inline constexpr uint32_t g_scObjectIdUser = 0;

// Data types of a data definition, as the simulator numbers them.
enum class ScDataType : uint32_t {
    Invalid = 0,
    Int32 = 1,
    Int64 = 2,
    Float32 = 3,
    Float64 = 4,
    String8 = 5,
    String32 = 6,
    String64 = 7,
    String128 = 8,
    String256 = 9,
    String260 = 10,
    StringV = 11,
};

// Bytes one value of the type takes in received object data; 0 for a STRINGV (whose
// reader stops at the message end) and for types whose width this client does not know.
constexpr uint32_t gf_scDataTypeMinimumSize(ScDataType type)
{
    switch (type) {
    case ScDataType::Int32:
    case ScDataType::Float32:
        return 4;
    case ScDataType::Int64:
    case ScDataType::Float64:
    case ScDataType::String8:
        return 8;
    case ScDataType::String32:
        return 32;
    case ScDataType::String64:
        return 64;
    case ScDataType::String128:
        return 128;
    case ScDataType::String256:
        return 256;
    case ScDataType::String260:
        return 260;
    default:
        return 0;
    }
}

#pragma pack(push, 4)

struct ScRequestHeader {
    uint32_t size;
    uint32_t version;
    uint32_t id;
    uint32_t sendId;
};
static_assert(sizeof(ScRequestHeader) == 16);

struct ScOpenRecord {
    static constexpr ScRequest kRequest = ScRequest::Open;
    ScRequestHeader header;
    char applicationName[256];
    uint32_t reserved;      // 0
    uint32_t simulatorTag;  // 0x50334400
    uint32_t versionMajor;  // 5
    uint32_t versionMinor;  // 3
    uint32_t buildMajor;    // 0
    uint32_t buildMinor;    // 0
};
static_assert(sizeof(ScOpenRecord) == 296);

struct ScMapClientEventRecord {
    static constexpr ScRequest kRequest = ScRequest::MapClientEventToSimEvent;
    ScRequestHeader header;
    uint32_t eventId;
    char eventName[256];
};
static_assert(sizeof(ScMapClientEventRecord) == 276);

struct ScTransmitClientEventRecord {
    static constexpr ScRequest kRequest = ScRequest::TransmitClientEvent;
    ScRequestHeader header;
    uint32_t objectId;
    uint32_t eventId;
    uint32_t data;
    uint32_t groupId;
    uint32_t flags;
};
static_assert(sizeof(ScTransmitClientEventRecord) == 36);

struct ScAddClientEventToGroupRecord {
    static constexpr ScRequest kRequest = ScRequest::AddClientEventToNotificationGroup;
    ScRequestHeader header;
    uint32_t groupId;
    uint32_t eventId;
    uint32_t maskable;
};
static_assert(sizeof(ScAddClientEventToGroupRecord) == 28);

struct ScSetGroupPriorityRecord {
    static constexpr ScRequest kRequest = ScRequest::SetNotificationGroupPriority;
    ScRequestHeader header;
    uint32_t groupId;
    uint32_t priority;
};
static_assert(sizeof(ScSetGroupPriorityRecord) == 24);

struct ScAddToDataDefinitionRecord {
    static constexpr ScRequest kRequest = ScRequest::AddToDataDefinition;
    ScRequestHeader header;
    uint32_t defineId;
    char variableName[256];
    char unitsName[256];
    uint32_t dataType;
    float epsilon;
    uint32_t datumId;
};
static_assert(sizeof(ScAddToDataDefinitionRecord) == 544);

struct ScRequestDataRecord {
    static constexpr ScRequest kRequest = ScRequest::RequestDataOnSimObject;
    ScRequestHeader header;
    uint32_t requestId;
    uint32_t defineId;
    uint32_t objectId;
    uint32_t period;
    uint32_t flags;
    uint32_t origin;
    uint32_t interval;
    uint32_t limit;
};
static_assert(sizeof(ScRequestDataRecord) == 48);

struct ScRequestDataByTypeRecord {
    static constexpr ScRequest kRequest = ScRequest::RequestDataOnSimObjectType;
    ScRequestHeader header;
    uint32_t requestId;
    uint32_t defineId;
    uint32_t radiusMetres;
    uint32_t objectType;
};
static_assert(sizeof(ScRequestDataByTypeRecord) == 32);

// Followed by arrayCount x unitSize bytes of data.
struct ScSetDataRecord {
    static constexpr ScRequest kRequest = ScRequest::SetDataOnSimObject;
    ScRequestHeader header;
    uint32_t defineId;
    uint32_t objectId;
    uint32_t flags;
    uint32_t arrayCount;
    uint32_t unitSize;
};
static_assert(sizeof(ScSetDataRecord) == 36);

struct ScSubscribeRecord {
    static constexpr ScRequest kRequest = ScRequest::SubscribeToSystemEvent;
    ScRequestHeader header;
    uint32_t eventId;
    char eventName[256];
};
static_assert(sizeof(ScSubscribeRecord) == 276);

// The simulator's initial position of a new object.
struct ScInitPosition {
    double latitude;
    double longitude;
    double altitude;
    double pitch;
    double bank;
    double heading;
    uint32_t onGround;
    uint32_t airspeed;
};
static_assert(sizeof(ScInitPosition) == 56);

struct ScCreateNonAtcAircraftRecord {
    static constexpr ScRequest kRequest = ScRequest::AICreateNonATCAircraft;
    ScRequestHeader header;
    char containerTitle[256];
    char tailNumber[12];
    ScInitPosition position;
    uint32_t requestId;
};
static_assert(sizeof(ScCreateNonAtcAircraftRecord) == 344);
static_assert(offsetof(ScCreateNonAtcAircraftRecord, position) == 284);

struct ScReleaseControlRecord {
    static constexpr ScRequest kRequest = ScRequest::AIReleaseControl;
    ScRequestHeader header;
    uint32_t objectId;
    uint32_t requestId;
};
static_assert(sizeof(ScReleaseControlRecord) == 24);

struct ScRemoveObjectRecord {
    static constexpr ScRequest kRequest = ScRequest::AIRemoveObject;
    ScRequestHeader header;
    uint32_t objectId;
    uint32_t requestId;
};
static_assert(sizeof(ScRemoveObjectRecord) == 24);

struct ScSetFlightPlanRecord {
    static constexpr ScRequest kRequest = ScRequest::AISetAircraftFlightPlan;
    ScRequestHeader header;
    uint32_t objectId;
    char flightPlanPath[260];
    uint32_t requestId;
};
static_assert(sizeof(ScSetFlightPlanRecord) == 284);

// Received messages.

enum class ScRecvId : uint32_t {
    Null = 0,
    Exception = 1,
    Open = 2,
    Quit = 3,
    Event = 4,
    EventObjectAddRemove = 5,
    EventFilename = 6,
    EventFrame = 7,
    SimObjectData = 8,
    SimObjectDataByType = 9,
};

struct ScRecv {
    uint32_t size;
    uint32_t version;
    uint32_t id;
};
static_assert(sizeof(ScRecv) == 12);

struct ScRecvException {
    ScRecv header;
    uint32_t exception;
    uint32_t sendId;
    uint32_t index;
};
static_assert(sizeof(ScRecvException) == 24);

struct ScRecvOpen {
    ScRecv header;
    char applicationName[256];
    uint32_t applicationVersionMajor;
    uint32_t applicationVersionMinor;
    uint32_t applicationBuildMajor;
    uint32_t applicationBuildMinor;
};
static_assert(sizeof(ScRecvOpen) == 284);

struct ScRecvEvent {
    ScRecv header;
    uint32_t groupId;
    uint32_t eventId;
    uint32_t data;
};
static_assert(sizeof(ScRecvEvent) == 24);

// An "ObjectAdded" or "ObjectRemoved" event: the data is the object id.
struct ScRecvObjectAddRemove {
    ScRecvEvent event;
    uint32_t objectType;
};
static_assert(sizeof(ScRecvObjectAddRemove) == 28);

struct ScRecvFrame {
    ScRecvEvent event;
    float frameRate;
};
static_assert(sizeof(ScRecvFrame) == 28);

// Object data and object data by type share this head; the data follows it.
struct ScRecvObjectData {
    ScRecv header;
    uint32_t requestId;
    uint32_t objectId;
    uint32_t defineId;
    uint32_t flags;
    uint32_t entryNumber;
    uint32_t outOf;
    uint32_t defineCount;
};
static_assert(sizeof(ScRecvObjectData) == 40);

#pragma pack(pop)

inline constexpr uint32_t g_scObjectTypeAircraft = 2;

// The fewest bytes a message of this id must have for the fields this client reads; the
// data of object-data messages comes on top (see the connection's definition sizes).
constexpr uint32_t gf_scMinimumMessageSize(uint32_t id)
{
    switch (static_cast<ScRecvId>(id)) {
    case ScRecvId::Exception:
        return sizeof(ScRecvException);
    case ScRecvId::Open:
        return sizeof(ScRecvOpen);
    case ScRecvId::Event:
        return sizeof(ScRecvEvent);
    case ScRecvId::EventObjectAddRemove:
        return sizeof(ScRecvObjectAddRemove);
    case ScRecvId::EventFrame:
        return sizeof(ScRecvFrame);
    case ScRecvId::SimObjectData:
    case ScRecvId::SimObjectDataByType:
        return sizeof(ScRecvObjectData);
    default:
        return sizeof(ScRecv);
    }
}
