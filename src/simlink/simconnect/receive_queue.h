#pragma once
// The receive side of a connection: the queue of whole messages waiting for the dispatch,
// and the framing that cuts the transport's byte stream into those messages.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <vector>

#include "simlink/simconnect/sc_packet.h"
#include "simlink/simconnect/sc_result.h"

// Why a transport was closed; 0 is an orderly close by this client.
enum class ScCloseReason : uint32_t {
    None = 0,
    MessageTooLarge = 1,
    BadMessageSize = 2,
    OutOfMemory = 3,
    RemoteDisconnect = 5,
    TimedOut = 7,
    Cancelled = 8,
    IoError = 9,
};

// Filled by the transport's receive path (on system threads), emptied by the dispatch.
class ScReceiveQueue {
public:
    void push(ScPacketPtr message);
    ScPacketPtr pop();
    // Releases every waiting message; returns how many there were.
    size_t clear();
    size_t size() const;
    // The client's window message and event, posted and set on every arrival and when
    // the connection fails (both may be null).
    void setNotification(void* window, uint32_t userMessage, void* event);
    // The connection failed: the waiting client wakes, now and at every later wait.
    void notify();
    // Blocks until a message waits, the connection has failed or the stop is requested.
    void wait(const std::stop_token& stop);

private:
    mutable std::mutex receiveMutex_;
    std::condition_variable ready_;
    std::deque<ScPacketPtr> messages_; // guarded by receiveMutex_
    bool failed_ = false;              // guarded by receiveMutex_
    void* window_ = nullptr;           // guarded by receiveMutex_
    uint32_t userMessage_ = 0;         // guarded by receiveMutex_
    void* event_ = nullptr;            // guarded by receiveMutex_
};

// Posts the window message and sets the event (platform code; nothing natively).
void gf_scNotifyClient(void* window, uint32_t userMessage, void* event);

// Every message starts with its u32 total size. The buffer starts at 2048 bytes and grows
// in steps of 2048 while a message is incomplete.
class ScReceiveFramer {
public:
    static constexpr size_t kGrowStep = 2048;
    static constexpr uint64_t kLargestBuffered = 1u << 20;

    struct Failure {
        ScCloseReason reason;
        ScHresult status;
    };

    explicit ScReceiveFramer(uint32_t maxMessageSize);

    // Room for the next read.
    std::span<std::byte> writable();
    // `count` bytes were read into writable(): every complete message goes to the queue in
    // order. A failure means the stream cannot be trusted any more; the caller closes.
    std::optional<Failure> commit(size_t count, ScReceiveQueue& queue);

    size_t bufferSize() const { return buffer_.size(); }
    uint32_t maxMessageSize() const { return maxMessageSize_; }

private:
    const uint32_t maxMessageSize_;
    std::vector<std::byte> buffer_;
    size_t filled_ = 0;
    // Bytes of a message too large to buffer that are still to be thrown away.
    uint64_t skipRemaining_ = 0;
    // A size of 0 was read: zero bytes are skipped, across reads, up to the next other byte.
    bool skippingZeros_ = false;
};
