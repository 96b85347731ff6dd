#pragma once
// What carries a connection's bytes: a named pipe or a TCP socket. This base holds what
// both share: the state, the recorded error, the send queue (one write outstanding at a
// time, packets leave in queue order) and the receive framing. The platform transports
// start reads and writes and report their completions back here.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "simlink/simconnect/receive_queue.h"
#include "simlink/simconnect/sc_packet.h"
#include "simlink/simconnect/sc_result.h"

inline constexpr uint32_t g_scDefaultMaxReceiveSize = 41088;

class SimConnectTransport : public std::enable_shared_from_this<SimConnectTransport> {
public:
    enum class Kind : uint32_t { Socket = 0, Pipe = 1 };
    enum class State : uint32_t { Closed = 0, Connecting = 1, Connected = 2 };

    SimConnectTransport(Kind kind, uint32_t maxReceiveSize, std::shared_ptr<ScReceiveQueue> receiveQueue);
    virtual ~SimConnectTransport();
    SimConnectTransport(const SimConnectTransport&) = delete;
    SimConnectTransport& operator=(const SimConnectTransport&) = delete;

    Kind kind() const { return kind_; }
    State state() const { return state_.load(); }
    // Closed with a non-zero reason: every later request reports recordedError().
    bool failed() const { return failed_.load(std::memory_order_acquire); }
    ScHresult recordedError() const;
    ScCloseReason closeReason() const;

    // Queues the packet for writing; released unsent when the transport is not connected.
    void send(ScPacketPtr packet);
    // Stops the transport. The first close wins; a non-zero reason records the status
    // (a general failure when the status is no error) and tells the client.
    void close(ScCloseReason reason, ScHresult status);
    // Some packet is queued or being written.
    bool hasUnsentPackets() const;
    // A stream carries a burst's records joined in one packet; a pipe takes one record a
    // message, as the simulator's own clients send them.
    virtual bool joinsRecords() const { return false; }

protected:
    enum class WriteStart { Pending, Done, Failed };

    // Writes the packets in order. Pending: the platform calls writeCompleted later.
    // Failed: the transport has been closed.
    virtual WriteStart startWrite(const std::vector<ScPacketPtr>& batch) = 0;
    // How many packets one write may carry.
    virtual size_t writeBatchLimit() const { return 1; }
    // Ends the platform's I/O; called once, by the first close.
    virtual void closeHandles() = 0;

    void markConnected() { state_.store(State::Connected); }
    // The outstanding write has finished; when it failed, the platform has closed first.
    void writeCompleted(bool ok);
    // One read at a time: read into receiveSpace(), then report the count.
    std::span<std::byte> receiveSpace() { return framer_.writable(); }
    void bytesReceived(size_t count);

private:
    void runWrites();
    bool takeNextBatch();
    // Moves the next batch from the send queue into inFlight_; sendQueueMutex_ held.
    void fillInFlight();
    void endWrites();

    const Kind kind_;
    std::atomic<State> state_{State::Connecting};
    std::atomic<bool> failed_{false};
    const std::shared_ptr<ScReceiveQueue> receiveQueue_;
    ScReceiveFramer framer_;

    mutable std::mutex sendQueueMutex_;
    std::deque<ScPacketPtr> sendQueue_;          // guarded by sendQueueMutex_
    bool writing_ = false;                       // guarded by sendQueueMutex_
    ScCloseReason closeReason_ = ScCloseReason::None; // guarded by sendQueueMutex_
    ScHresult recordedError_ = g_scOk;           // guarded by sendQueueMutex_
    // The batch being written; only the owner of the write (writing_ set) touches it.
    std::vector<ScPacketPtr> inFlight_;
};
