#pragma once
// The "QNH Reader": receives RealTraffic's QNH datagrams (port 49004), small JSON objects
// with a member "QNH" in hPa or in hundredths of an inch of mercury.
#include <atomic>
#include <cstdint>

#include "feed/udp_reader.h"

inline constexpr int32_t g_defaultQnh = 1013;
inline constexpr int32_t g_minQnh = 900;
inline constexpr int32_t g_maxQnh = 1100;

// The QNH in hPa that the traffic engine uses.
extern std::atomic<int32_t> g_qnh;

class QnhReader final : public UdpReader {
public:
    QnhReader() : UdpReader("QNH Reader") {}

    // Publishes the datagram's QNH to g_qnh and the window; logs what it cannot read.
    void onDatagram() override;
    // Logs "QNH Reader has stopped"; the indicator stays as it is.
    void onStopped() override;

    std::atomic<int32_t> lastQnh{0}; // the last value published; 1013 after a reset
};

extern QnhReader g_qnhReader;

// Thread procedure of the "QNH Reader" on the given port (49004 in the product).
void gf_qnhReaderThread(uint16_t port);
