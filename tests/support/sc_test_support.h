#pragma once
// Helpers of the SimConnect client tests: a transport that records what is sent and
// takes injected bytes as if received, a connection opened on it, and a builder for the
// expected bytes of records and messages.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "simlink/simconnect/connection.h"
#include "simlink/simconnect/transport.h"

namespace sctest {

class RecordingTransport final : public SimConnectTransport {
public:
    explicit RecordingTransport(std::shared_ptr<ScReceiveQueue> queue, uint32_t maxReceiveSize = g_scDefaultMaxReceiveSize)
        : SimConnectTransport(Kind::Socket, maxReceiveSize, std::move(queue))
    {
        markConnected();
    }

    std::vector<std::string> records() const
    {
        std::lock_guard lock(recordsMutex_);
        return records_;
    }

    // The records sent since the last call.
    std::vector<std::string> takeRecords()
    {
        std::lock_guard lock(recordsMutex_);
        std::vector<std::string> taken(records_.begin() + static_cast<std::ptrdiff_t>(taken_), records_.end());
        taken_ = records_.size();
        return taken;
    }

    // Feeds bytes to the receive side in reads of at most `chunk` bytes.
    void inject(std::string_view bytes, size_t chunk = 65536)
    {
        while (!bytes.empty() && state() == State::Connected) {
            const std::span<std::byte> space = receiveSpace();
            const size_t n = std::min({space.size(), chunk, bytes.size()});
            std::memcpy(space.data(), bytes.data(), n);
            bytes.remove_prefix(n);
            bytesReceived(n);
        }
    }

    // The writes made, each of one or more packets.
    size_t writes() const
    {
        std::lock_guard lock(recordsMutex_);
        return writes_;
    }

    bool failNextWrite = false;

protected:
    WriteStart startWrite(const std::vector<ScPacketPtr>& batch) override
    {
        if (failNextWrite) {
            close(ScCloseReason::IoError, gf_scHresultFromSystemError(10054));
            return WriteStart::Failed;
        }
        std::lock_guard lock(recordsMutex_);
        ++writes_;
        // A burst's packet holds several records, each headed by its size.
        for (const auto& packet : batch) {
            std::string_view bytes(reinterpret_cast<const char*>(packet->data()), packet->length());
            while (!bytes.empty()) {
                uint32_t size = 0;
                std::memcpy(&size, bytes.data(), std::min(bytes.size(), sizeof size));
                const size_t n = size < sizeof size || size > bytes.size() ? bytes.size() : size;
                records_.emplace_back(bytes.substr(0, n));
                bytes.remove_prefix(n);
            }
        }
        return WriteStart::Done;
    }

    size_t writeBatchLimit() const override { return 16; }
    bool joinsRecords() const override { return true; }
    void closeHandles() override {}

private:
    mutable std::mutex recordsMutex_;
    std::vector<std::string> records_; // guarded by recordsMutex_
    size_t taken_ = 0;                 // guarded by recordsMutex_
    size_t writes_ = 0;                // guarded by recordsMutex_
};

// A connection on a recording transport; closed (and freed) with the object.
struct TestConnection {
    explicit TestConnection(uint32_t maxReceiveSize = g_scDefaultMaxReceiveSize)
    {
        auto queue = std::make_shared<ScReceiveQueue>();
        auto recording = std::make_shared<RecordingTransport>(queue, maxReceiveSize);
        transport = recording.get();
        openResult = gf_simConnectOpenOn(&handle, "Tavelorium_P3D", std::move(recording), std::move(queue));
    }
    ~TestConnection()
    {
        if (handle != nullptr)
            SimConnect_Close(handle);
    }
    TestConnection(const TestConnection&) = delete;
    TestConnection& operator=(const TestConnection&) = delete;

    size_t sentCount() const { return transport->records().size(); }
    std::string lastSent() const { return transport->records().back(); }

    ScHandle handle = nullptr;
    ScHresult openResult = g_scFail;
    // Owned by the connection; valid until the connection is closed.
    RecordingTransport* transport = nullptr;
};

// Little-endian bytes, written field by field as the tables give them.
class Bytes {
public:
    Bytes& u32(uint32_t v) { return raw(&v, sizeof v); }
    Bytes& f32(float v) { return raw(&v, sizeof v); }
    Bytes& f64(double v) { return raw(&v, sizeof v); }
    // A text field of `width` bytes, NUL-padded.
    Bytes& text(std::string_view s, size_t width)
    {
        bytes_ += s;
        return zeros(width - s.size());
    }
    Bytes& zeros(size_t n) { return append(std::string(n, '\0')); }
    Bytes& append(std::string_view s)
    {
        bytes_ += s;
        return *this;
    }
    const std::string& str() const { return bytes_; }

private:
    Bytes& raw(const void* p, size_t n) { return append(std::string_view(static_cast<const char*>(p), n)); }
    std::string bytes_;
};

// A request record's expected head: size, version 35, id 0xF0000000 + number, send id.
inline Bytes requestHead(uint32_t size, uint32_t number, uint32_t sendId)
{
    return Bytes().u32(size).u32(35).u32(0xF0000000u + number).u32(sendId);
}

// A received message's head: size, version, id.
inline Bytes messageHead(uint32_t size, uint32_t id)
{
    return Bytes().u32(size).u32(4).u32(id);
}

// "0000: 28 01 00 00 ..." 16 bytes a line, for readable failures.
inline std::string hexDump(std::string_view bytes)
{
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i)
        out += (i % 16 == 0 ? fmt::format("\n{:04x}:", i) : "") + fmt::format(" {:02x}", static_cast<unsigned char>(bytes[i]));
    return out;
}

} // namespace sctest
