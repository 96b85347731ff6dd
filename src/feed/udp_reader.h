#pragma once
// The UDP readers of RealTraffic's datagrams: one thread and one socket per reader. The
// reader objects live for the whole process; every run of the traffic service starts new
// threads on them.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "feed/datagram_log.h"
#include "feed/reader_socket.h"

inline constexpr uint16_t g_trafficPort = 49005;
inline constexpr uint16_t g_qnhPort = 49004;
// A datagram of this size or more is dropped: RealTraffic's lines are far shorter.
inline constexpr size_t g_datagramBufferSize = 16384;
// How long a reader waits for a datagram before it looks at its stop flag again.
inline constexpr int32_t g_readerWaitMs = 1000;

class UdpReader {
public:
    explicit UdpReader(std::string_view readerName) : name(readerName) {}
    virtual ~UdpReader() = default;
    UdpReader(const UdpReader&) = delete;
    UdpReader& operator=(const UdpReader&) = delete;

    // Handles the datagram now in `datagram`; catches everything it raises.
    virtual void onDatagram() = 0;
    // Called once when the receive loop has ended on its stop flag.
    virtual void onStopped() = 0;

    const std::string_view name; // "Traffic Reader" or "QNH Reader"
    std::string_view datagram;   // the current datagram, in buffer, zero-terminated
    std::atomic<bool> stop{false};
    // Datagrams of 1 to 16383 bytes received (repeats included); read by the liveness check.
    std::atomic<int32_t> datagramCount{0};
    int32_t lastSeenCount = 0; // the liveness check's (worker thread only)
    // Datagrams dropped: too long, or reported reset by the network stack.
    std::atomic<int32_t> droppedCount{0};
    std::array<char, g_datagramBufferSize + 1> buffer{};
    std::string previousDatagram; // the last one handed on (only when RealTraffic is remote)
    SocketHandle socket = g_invalidSocket;
    DatagramLogLimiter logLimiter; // the reader thread's
};

// The reader thread's work: socket set-up, onBound (the indicators), the receive loop and
// the clean-up. A failure of any step ends the run through gf_reportReaderStopped. Never
// throws.
void gf_runReader(UdpReader& reader, uint16_t port, void (*onBound)());
