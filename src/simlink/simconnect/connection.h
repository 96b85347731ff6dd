#pragma once
// The connection object behind a SimConnect handle, and the seams through which tests and
// the benchmark open a connection on a transport or configuration of their own.
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <unordered_map>
#include <vector>

#include "simlink/simconnect/config.h"
#include "simlink/simconnect/simconnect_api.h"
#include "simlink/simconnect/transport.h"
#include "simlink/simconnect/transport_open.h"

struct SimConnectConnection {
    // Tells apart connections that happen to reuse an address.
    uint64_t serial = 0;
    std::shared_ptr<ScReceiveQueue> receiveQueue;
    std::shared_ptr<SimConnectTransport> transport;
    ScDispatchProc dispatchProcedure = nullptr;
    void* dispatchContext = nullptr;
    uint32_t sendIdCounter = 0; // guarded by g_simConnectLock
    // The records of the burst open on this connection (ScSendBurst), numbered in order;
    // they leave together in one packet when it closes. Guarded by g_simConnectLock,
    // which the burst holds.
    std::vector<std::byte> burst;
    // Bytes each data definition adds to a received object-data message, as far as known,
    // and by send id the definition and bytes of each datum added: a datum the simulator
    // refuses with an exception no longer counts.
    struct AddedDatum {
        uint32_t defineId;
        uint32_t size;
    };
    std::mutex definitionsMutex;
    std::unordered_map<uint32_t, uint32_t> definitionSizes;     // guarded by definitionsMutex
    std::unordered_map<uint32_t, AddedDatum> addedDataBySendId; // guarded by definitionsMutex
};

// Opens on a connected transport and sends the open record.
ScHresult gf_simConnectOpenOn(ScHandle* handle, const char* name, std::shared_ptr<SimConnectTransport> transport,
                              std::shared_ptr<ScReceiveQueue> receiveQueue);
// Opens by a given configuration through a given factory.
ScHresult gf_simConnectOpenWith(ScHandle* handle, const char* name, void* window, uint32_t userMessage, void* event,
                                const SimConnectConfig& config, const ScRegistryPorts& ports,
                                ScTransportFactory& factory);
// Why the connection's transport closed (None while it is open).
ScCloseReason gf_simConnectCloseReason(ScHandle handle);
// The fewest bytes a message needs before it reaches the dispatch procedure.
uint32_t gf_scRequiredMessageSize(SimConnectConnection& connection, const ScRecv& header, const std::byte* bytes,
                                  uint32_t size);
// Numbers a copy of the record (its header already filled) and hands it on, all under
// g_simConnectLock: to the burst the calling thread holds open on the connection, else
// to the transport. The send id given goes to *sendId when asked for.
ScHresult gf_scSendRecord(SimConnectConnection& connection, std::span<const std::byte> record,
                          uint32_t* sendId = nullptr);
// A burst of the calling thread: from the open until the close it holds g_simConnectLock
// (records of other threads wait), and its records go out in one packet at the close.
void gf_scOpenBurst(SimConnectConnection& connection);
void gf_scCloseBurst(SimConnectConnection& connection);
