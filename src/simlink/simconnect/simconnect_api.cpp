#include <atomic>
#include <chrono>
#include <cstddef>
#include <thread>

#include "foundation/log.h"
#include "simlink/simconnect/connection.h"

std::mutex g_simConnectLock;

namespace {

std::atomic<uint64_t> g_nextConnectionSerial{1};

// The last record this thread sent, and on which connection.
thread_local uint64_t t_lastSendConnection = 0;
thread_local uint32_t t_lastSendId = 0;
// The connection whose burst this thread holds open, with g_simConnectLock; null when none.
thread_local SimConnectConnection* t_burst = nullptr;

ScHresult lf_connectionError(const SimConnectTransport& transport)
{
    return transport.failed() ? transport.recordedError() : g_scFail;
}

ScOpenRecord lf_openRecord(const char* name)
{
    ScOpenRecord record{};
    record.header.size = sizeof record;
    record.header.version = g_scProtocolVersion;
    record.header.id = g_scRequestIdBase + static_cast<uint32_t>(ScRequest::Open);
    std::memcpy(record.applicationName, name, std::strlen(name));
    record.simulatorTag = 0x50334400u;
    record.versionMajor = 5;
    record.versionMinor = 3;
    return record;
}

void lf_closeConnection(SimConnectConnection* connection)
{
    using namespace std::chrono;
    std::weak_ptr<SimConnectTransport> transport = connection->transport;
    // Records already handed over get a moment to leave before the transport stops.
    const auto sendDeadline = steady_clock::now() + milliseconds(100);
    while (connection->transport->hasUnsentPackets() && connection->transport->state() ==
           SimConnectTransport::State::Connected && steady_clock::now() < sendDeadline)
        std::this_thread::sleep_for(milliseconds(1));
    connection->receiveQueue->clear();
    connection->transport->close(ScCloseReason::None, g_scOk);
    delete connection;
    // The transport lives on while completions of its cancelled I/O are outstanding; it
    // releases the socket library when it goes.
    const auto deadline = steady_clock::now() + milliseconds(5250);
    while (!transport.expired() && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(2));
    if (!transport.expired())
        gf_logErrorLine("SimConnect_Close: transport still busy after 5 s");
}

// The simulator refused a datum that we added to a definition: its object-data messages
// come without it, and must not be dropped as too short.
void lf_forgetRefusedDatum(SimConnectConnection& connection, const ScRecvException& exception)
{
    std::lock_guard lock(connection.definitionsMutex);
    const auto it = connection.addedDataBySendId.find(exception.sendId);
    if (it == connection.addedDataBySendId.end())
        return;
    const SimConnectConnection::AddedDatum datum = it->second;
    connection.addedDataBySendId.erase(it);
    connection.definitionSizes[datum.defineId] -= datum.size;
    gf_logErrorLine("SimConnect exception {} for AddToDataDefinition of definition {} (send id {}): its {} bytes "
                    "are no longer expected",
                    exception.exception, datum.defineId, exception.sendId, datum.size);
}

} // namespace

ScHresult gf_scSendRecord(SimConnectConnection& connection, std::span<const std::byte> record, uint32_t* sentId)
{
    // In a burst on a stream the record joins the others; otherwise it is a packet of its own.
    const bool inBurst = t_burst == &connection && connection.transport->joinsRecords();
    ScPacketPtr packet;
    if (!inBurst) {
        packet = gf_newScPacket(static_cast<uint32_t>(record.size()));
        if (!packet)
            return g_scOutOfMemory;
    }
    // A thread with an open burst holds the lock already.
    std::unique_lock lock(g_simConnectLock, std::defer_lock);
    if (t_burst == nullptr)
        lock.lock();
    SimConnectTransport& transport = *connection.transport;
    if (transport.failed() || transport.state() != SimConnectTransport::State::Connected)
        return lf_connectionError(transport);
    uint32_t sendId = ++connection.sendIdCounter;
    if (sendId == 0)
        sendId = ++connection.sendIdCounter;
    std::byte* bytes = packet ? packet->data() : nullptr;
    if (inBurst) {
        connection.burst.resize(connection.burst.size() + record.size());
        bytes = connection.burst.data() + connection.burst.size() - record.size();
    }
    std::memcpy(bytes, record.data(), record.size());
    std::memcpy(bytes + offsetof(ScRequestHeader, sendId), &sendId, sizeof sendId);
    if (packet)
        transport.send(std::move(packet));
    t_lastSendConnection = connection.serial;
    t_lastSendId = sendId;
    if (sentId != nullptr)
        *sentId = sendId;
    if (transport.failed())
        return transport.recordedError();
    return g_scOk;
}

void gf_scOpenBurst(SimConnectConnection& connection)
{
    g_simConnectLock.lock();
    t_burst = &connection;
}

void gf_scCloseBurst(SimConnectConnection& connection)
{
    if (!connection.burst.empty()) {
        // Handed over under the lock, so that records other threads number later follow it.
        if (ScPacketPtr packet = gf_newScPacket(static_cast<uint32_t>(connection.burst.size()))) {
            std::memcpy(packet->data(), connection.burst.data(), connection.burst.size());
            connection.transport->send(std::move(packet));
        }
        connection.burst.clear();
    }
    t_burst = nullptr;
    g_simConnectLock.unlock();
}

ScHresult gf_simConnectOpenOn(ScHandle* handle, const char* name, std::shared_ptr<SimConnectTransport> transport,
                              std::shared_ptr<ScReceiveQueue> receiveQueue)
{
    if (handle == nullptr || name == nullptr || !transport || !receiveQueue)
        return g_scInvalidArg;
    *handle = nullptr;
    if (std::strlen(name) >= sizeof(ScOpenRecord::applicationName)) {
        transport->close(ScCloseReason::None, g_scOk);
        return g_scTextTooLong;
    }
    auto* connection = new SimConnectConnection;
    connection->serial = g_nextConnectionSerial++;
    connection->transport = std::move(transport);
    connection->receiveQueue = std::move(receiveQueue);
    const ScOpenRecord record = lf_openRecord(name);
    const ScHresult result = gf_scSendRecord(*connection, std::as_bytes(std::span(&record, 1)));
    if (gf_scFailed(result)) {
        lf_closeConnection(connection);
        return result;
    }
    *handle = connection;
    return g_scOk;
}

ScHresult gf_simConnectOpenWith(ScHandle* handle, const char* name, void* window, uint32_t userMessage, void* event,
                                const SimConnectConfig& config, const ScRegistryPorts& ports,
                                ScTransportFactory& factory)
{
    if (handle == nullptr || name == nullptr)
        return g_scInvalidArg;
    *handle = nullptr;
    if (std::strlen(name) >= sizeof(ScOpenRecord::applicationName))
        return g_scTextTooLong;
    auto receiveQueue = std::make_shared<ScReceiveQueue>();
    receiveQueue->setNotification(window, userMessage, event);
    auto transport = gf_connectSimConnectTransport(config, ports, factory, receiveQueue);
    if (!transport)
        return g_scFail;
    return gf_simConnectOpenOn(handle, name, std::move(transport), std::move(receiveQueue));
}

ScHresult SimConnect_Open(ScHandle* handle, const char* name, void* window, uint32_t userMessage, void* event,
                          uint32_t configIndex)
{
    if (handle == nullptr || name == nullptr)
        return g_scInvalidArg;
    *handle = nullptr;
    if (std::strlen(name) >= sizeof(ScOpenRecord::applicationName))
        return g_scTextTooLong;
    const ScRegistryPorts ports = gf_readSimConnectRegistryPorts();
    const auto config = gf_loadSimConnectConfig(configIndex, gf_simConnectConfigFolders(), ports);
    if (!config)
        return g_scInvalidArg;
    return gf_simConnectOpenWith(handle, name, window, userMessage, event, *config, ports, gf_systemTransportFactory());
}

ScHresult SimConnect_Close(ScHandle handle)
{
    if (handle == nullptr)
        return g_scFail;
    lf_closeConnection(handle);
    return g_scOk;
}

uint32_t gf_scRequiredMessageSize(SimConnectConnection& connection, const ScRecv& header, const std::byte* bytes,
                                  uint32_t size)
{
    const uint32_t fixed = gf_scMinimumMessageSize(header.id);
    const auto id = static_cast<ScRecvId>(header.id);
    if ((id != ScRecvId::SimObjectData && id != ScRecvId::SimObjectDataByType) || size < fixed)
        return fixed;
    uint32_t defineId = 0;
    std::memcpy(&defineId, bytes + offsetof(ScRecvObjectData, defineId), sizeof defineId);
    std::lock_guard lock(connection.definitionsMutex);
    const auto it = connection.definitionSizes.find(defineId);
    return it == connection.definitionSizes.end() ? fixed : fixed + it->second;
}

ScHresult SimConnect_CallDispatch(ScHandle handle, ScDispatchProc procedure, void* context)
{
    if (handle == nullptr)
        return g_scFail;
    handle->dispatchProcedure = procedure;
    handle->dispatchContext = context;
    while (ScPacketPtr message = handle->receiveQueue->pop()) {
        const uint32_t size = message->length();
        ScRecv header{};
        std::memcpy(&header, message->data(), std::min<size_t>(size, sizeof header));
        const uint32_t required = size < sizeof header ? sizeof header
                                                       : gf_scRequiredMessageSize(*handle, header, message->data(), size);
        if (size < required) {
            gf_logErrorLine("SimConnect: message id {} of {} bytes is shorter than its {} bytes, dropped",
                            size < sizeof header ? 0u : header.id, size, required);
            continue;
        }
        if (static_cast<ScRecvId>(header.id) == ScRecvId::Exception)
            lf_forgetRefusedDatum(*handle, *gf_scMessageAs<ScRecvException>(
                                               reinterpret_cast<const ScRecv*>(message->data()), size));
        if (procedure != nullptr)
            procedure(reinterpret_cast<const ScRecv*>(message->data()), size, context);
    }
    const SimConnectTransport& transport = *handle->transport;
    return transport.failed() ? transport.recordedError() : g_scOk;
}

void gf_scWaitForMessages(ScHandle handle, const std::stop_token& stop)
{
    if (handle != nullptr)
        handle->receiveQueue->wait(stop);
}

ScHresult SimConnect_GetLastSentPacketID(ScHandle handle, uint32_t* sendId)
{
    if (sendId == nullptr)
        return g_scFail;
    *sendId = 0;
    if (handle == nullptr || t_lastSendConnection != handle->serial)
        return g_scFail;
    *sendId = t_lastSendId;
    return g_scOk;
}

ScCloseReason gf_simConnectCloseReason(ScHandle handle)
{
    return handle == nullptr ? ScCloseReason::None : handle->transport->closeReason();
}

ScDataReader::ScDataReader(const ScRecv* message, uint32_t size)
    : data_(reinterpret_cast<const char*>(message)), size_(message == nullptr ? 0 : size),
      pos_(sizeof(ScRecvObjectData))
{
    if (size_ < pos_) {
        pos_ = size_;
        ok_ = false;
    }
}

bool ScDataReader::take(void* out, size_t width)
{
    if (size_ - pos_ < width) {
        std::memset(out, 0, width);
        pos_ = size_;
        ok_ = false;
        return false;
    }
    std::memcpy(out, data_ + pos_, width);
    pos_ += static_cast<uint32_t>(width);
    return true;
}

double ScDataReader::float64()
{
    double value = 0;
    take(&value, sizeof value);
    return value;
}

int64_t ScDataReader::int64()
{
    int64_t value = 0;
    take(&value, sizeof value);
    return value;
}

std::string ScDataReader::string32()
{
    char field[32];
    if (!take(field, sizeof field))
        return {};
    return gf_scFieldText(field);
}

std::string ScDataReader::stringV()
{
    const char* begin = data_ + pos_;
    const size_t available = size_ - pos_;
    if (available == 0) {
        ok_ = false;
        return {};
    }
    const size_t length = strnlen(begin, available);
    pos_ += static_cast<uint32_t>(length < available ? length + 1 : length);
    return std::string(begin, length);
}
