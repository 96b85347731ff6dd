#pragma once
// One outgoing record or one received message: its bytes in one allocation with the
// length in front. Each packet has one owner at a time (a send queue, the receive queue,
// the dispatch), so ownership is unique rather than counted.
#include <cstddef>
#include <cstdint>
#include <memory>

class ScPacket {
public:
    uint32_t length() const { return length_; }
    std::byte* data() { return reinterpret_cast<std::byte*>(this + 1); }
    const std::byte* data() const { return reinterpret_cast<const std::byte*>(this + 1); }

    struct Deleter {
        void operator()(ScPacket* packet) const;
    };

private:
    friend std::unique_ptr<ScPacket, Deleter> gf_newScPacket(uint32_t length);
    explicit ScPacket(uint32_t length) : length_(length) {}
    uint32_t length_;
    uint32_t reserved_ = 0; // keeps the bytes 8-aligned
};
static_assert(sizeof(ScPacket) == 8);

using ScPacketPtr = std::unique_ptr<ScPacket, ScPacket::Deleter>;

// A zero-filled packet of that many bytes; null when memory runs out.
ScPacketPtr gf_newScPacket(uint32_t length);
