// Throughput of the SimConnect send path: frames of 500 position records (the frame
// drain's SetDataOnSimObject with definition 402, 64 bytes of data) through
// g_simConnectLock and a transport.
//
//   simconnect_send_bench [PORT]
//
// First the reference: the same records built and copied into a buffer under a mutex,
// the least a send path can do. Then a transport that discards what it is given (the
// lock, the numbering and the send queue alone); with a PORT, also the real TCP transport
// to a sink on 127.0.0.1 that reads and discards, such as
//   /usr/bin/python3 demo/standins/simconnect_server.py --sink
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "simlink/simconnect/connection.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRecordsPerFrame = 500;
constexpr int kFrames = 2000;
constexpr int kWarmupFrames = 50;

class DiscardingTransport final : public SimConnectTransport {
public:
    explicit DiscardingTransport(std::shared_ptr<ScReceiveQueue> queue)
        : SimConnectTransport(Kind::Socket, g_scDefaultMaxReceiveSize, std::move(queue))
    {
        markConnected();
    }

protected:
    WriteStart startWrite(const std::vector<ScPacketPtr>&) override { return WriteStart::Done; }
    size_t writeBatchLimit() const override { return 64; }
    void closeHandles() override {}
};

bool lf_sendFrame(ScHandle handle, int frame)
{
    for (int i = 0; i < kRecordsPerFrame; ++i) {
        const double position[8] = {51.0 + i * 1e-4, -0.5, 0.01, 0.02, 1.5, 1200.0 + frame, 2.5, 140.0};
        if (gf_scFailed(SimConnect_SetDataOnSimObject(handle, 402, 100 + i, 0, 0, sizeof position, position)))
            return false;
    }
    return true;
}

void lf_measure(const char* label, ScHandle handle)
{
    for (int f = 0; f < kWarmupFrames; ++f)
        lf_sendFrame(handle, f);
    std::vector<double> frameMicros;
    frameMicros.reserve(kFrames);
    const auto start = Clock::now();
    for (int f = 0; f < kFrames; ++f) {
        const auto t0 = Clock::now();
        if (!lf_sendFrame(handle, f)) {
            std::printf("%s: the connection failed\n", label);
            return;
        }
        frameMicros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    const auto sent = Clock::now();
    while (handle->transport->hasUnsentPackets() && !handle->transport->failed())
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    const auto drained = Clock::now();
    std::sort(frameMicros.begin(), frameMicros.end());
    const double records = double{kFrames} * kRecordsPerFrame;
    const double sendSeconds = std::chrono::duration<double>(sent - start).count();
    const double wireSeconds = std::chrono::duration<double>(drained - start).count();
    std::printf("%-9s %d frames x %d records: handed over %.0f records/s, written %.0f records/s; "
                "frame of %d: median %.0f us, p99 %.0f us, max %.0f us\n",
                label, kFrames, kRecordsPerFrame, records / sendSeconds, records / wireSeconds, kRecordsPerFrame,
                frameMicros[frameMicros.size() / 2], frameMicros[frameMicros.size() * 99 / 100], frameMicros.back());
}

void lf_measureBareCopy()
{
    std::mutex mutex;
    std::vector<char> buffer(64 * 1024);
    size_t at = 0;
    const auto start = Clock::now();
    for (int f = 0; f < kFrames; ++f) {
        for (int i = 0; i < kRecordsPerFrame; ++i) {
            const double position[8] = {51.0 + i * 1e-4, -0.5, 0.01, 0.02, 1.5, 1200.0 + f, 2.5, 140.0};
            const uint32_t head[9] = {100, 35, 0xF0000010u, static_cast<uint32_t>(i), 402, 100u + i, 0, 1, 64};
            std::lock_guard lock(mutex);
            if (at + 100 > buffer.size())
                at = 0;
            std::memcpy(buffer.data() + at, head, sizeof head);
            std::memcpy(buffer.data() + at + sizeof head, position, sizeof position);
            at += 100;
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%-9s %d frames x %d records: copied %.0f records/s (checksum %d)\n", "reference", kFrames,
                kRecordsPerFrame, double{kFrames} * kRecordsPerFrame / seconds, static_cast<int>(buffer[at / 2]));
}

} // namespace

int main(int argc, char** argv)
{
    lf_measureBareCopy();
    {
        auto queue = std::make_shared<ScReceiveQueue>();
        ScHandle handle = nullptr;
        if (gf_scFailed(gf_simConnectOpenOn(&handle, "Tavelorium_P3D", std::make_shared<DiscardingTransport>(queue),
                                            queue))) {
            std::printf("open failed\n");
            return 1;
        }
        lf_measure("discard", handle);
        SimConnect_Close(handle);
    }
    if (argc > 1) {
        SimConnectConfig config;
        config.protocol = ScProtocol::Ipv4;
        config.address = "127.0.0.1";
        config.port = argv[1];
        ScHandle handle = nullptr;
        const ScHresult hr = gf_simConnectOpenWith(&handle, "Tavelorium_P3D", nullptr, 0, nullptr, config, {},
                                                   gf_systemTransportFactory());
        if (gf_scFailed(hr)) {
            std::printf("tcp: open failed 0x%08X\n", static_cast<unsigned>(hr));
            return 1;
        }
        lf_measure("tcp", handle);
        SimConnect_Close(handle);
    }
    return 0;
}
