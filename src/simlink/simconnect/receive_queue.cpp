#include "simlink/simconnect/receive_queue.h"

#include <algorithm>
#include <cstring>

#include "foundation/log.h"

void ScReceiveQueue::push(ScPacketPtr message)
{
    void* window = nullptr;
    uint32_t userMessage = 0;
    void* event = nullptr;
    {
        std::lock_guard lock(receiveMutex_);
        messages_.push_back(std::move(message));
        window = window_;
        userMessage = userMessage_;
        event = event_;
    }
    ready_.notify_one();
    if (window != nullptr || event != nullptr)
        gf_scNotifyClient(window, userMessage, event);
}

ScPacketPtr ScReceiveQueue::pop()
{
    std::lock_guard lock(receiveMutex_);
    if (messages_.empty())
        return nullptr;
    ScPacketPtr message = std::move(messages_.front());
    messages_.pop_front();
    return message;
}

size_t ScReceiveQueue::clear()
{
    std::deque<ScPacketPtr> released;
    {
        std::lock_guard lock(receiveMutex_);
        released.swap(messages_);
    }
    return released.size();
}

size_t ScReceiveQueue::size() const
{
    std::lock_guard lock(receiveMutex_);
    return messages_.size();
}

void ScReceiveQueue::setNotification(void* window, uint32_t userMessage, void* event)
{
    std::lock_guard lock(receiveMutex_);
    window_ = window;
    userMessage_ = userMessage;
    event_ = event;
}

void ScReceiveQueue::notify()
{
    void* window = nullptr;
    uint32_t userMessage = 0;
    void* event = nullptr;
    {
        std::lock_guard lock(receiveMutex_);
        failed_ = true;
        window = window_;
        userMessage = userMessage_;
        event = event_;
    }
    ready_.notify_all();
    if (window != nullptr || event != nullptr)
        gf_scNotifyClient(window, userMessage, event);
}

void ScReceiveQueue::wait(const std::stop_token& stop)
{
    // Registered before the lock is taken: a stop already requested runs it at once.
    const std::stop_callback wake(stop, [this] {
        { std::lock_guard lock(receiveMutex_); }
        ready_.notify_all();
    });
    std::unique_lock lock(receiveMutex_);
    ready_.wait(lock, [&] { return !messages_.empty() || failed_ || stop.stop_requested(); });
}

ScReceiveFramer::ScReceiveFramer(uint32_t maxMessageSize) : maxMessageSize_(maxMessageSize), buffer_(kGrowStep) {}

std::span<std::byte> ScReceiveFramer::writable()
{
    if (filled_ == buffer_.size())
        buffer_.resize(buffer_.size() + kGrowStep);
    return std::span<std::byte>(buffer_).subspan(filled_);
}

std::optional<ScReceiveFramer::Failure> ScReceiveFramer::commit(size_t count, ScReceiveQueue& queue)
{
    filled_ += count;
    size_t pos = 0;
    std::optional<Failure> failure;
    while (pos < filled_) {
        if (skipRemaining_ > 0) {
            const size_t drop = static_cast<size_t>(std::min<uint64_t>(skipRemaining_, filled_ - pos));
            pos += drop;
            skipRemaining_ -= drop;
            continue;
        }
        if (skippingZeros_) {
            while (pos < filled_ && buffer_[pos] == std::byte{0})
                ++pos;
            if (pos == filled_)
                break;
            skippingZeros_ = false;
        }
        if (filled_ - pos < sizeof(uint32_t))
            break;
        uint32_t size = 0;
        std::memcpy(&size, buffer_.data() + pos, sizeof size);
        if (size == 0) {
            skippingZeros_ = true;
            continue;
        }
        if (size > maxMessageSize_) {
            gf_logErrorLine("SimConnect: received message of {} bytes exceeds the limit of {}", size, maxMessageSize_);
            failure = Failure{ScCloseReason::MessageTooLarge, g_scAbort};
            break;
        }
        if (size < sizeof(uint32_t)) {
            gf_logErrorLine("SimConnect: received message size {} is impossible", size);
            failure = Failure{ScCloseReason::BadMessageSize, g_scAbort};
            break;
        }
        if (size >= kLargestBuffered) {
            gf_logErrorLine("SimConnect: received message of {} bytes is too large to buffer, dropped", size);
            skipRemaining_ = size;
            continue;
        }
        if (filled_ - pos < size)
            break;
        ScPacketPtr message = gf_newScPacket(size);
        if (!message) {
            failure = Failure{ScCloseReason::OutOfMemory, g_scOutOfMemory};
            break;
        }
        std::memcpy(message->data(), buffer_.data() + pos, size);
        queue.push(std::move(message));
        pos += size;
    }
    if (pos > 0) {
        std::memmove(buffer_.data(), buffer_.data() + pos, filled_ - pos);
        filled_ -= pos;
    }
    return failure;
}
