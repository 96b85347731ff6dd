// Cost of the "SimClient" thread's frame drain: per frame a worker hands over 500 position
// updates and queues 100 client events, 2 creations and 1 removal under g_simConnectMutex,
// and lf_onSimFrame sends them over TCP to a sink that reads and discards, such as
//   /usr/bin/python3 demo/standins/simconnect_server.py --sink
//
//   sim_frame_drain_bench PORT [FRAMES]
//
// Prints the drain's CPU time per frame (the thread's CPU clock; its resolution is shown,
// as it is coarse under Wine), the drain's wall time (which holds the mutex throughout),
// the worker's hold of the mutex while queueing, and the CPU and wake-ups of the idle
// serving loop (wake-ups counted natively only).
// Count the socket writes per frame with: strace -f -c -e trace=sendmsg,sendto,write ...
// (the whole program's system calls: bench/program_bench.py).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <vector>

#ifdef __linux__
#include <sys/resource.h>
#endif

#include "simlink/sim_client.h"
#include "simlink/sim_client_internal.h"
#include "simlink/sim_queues.h"
#include "simlink/simconnect/connection.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kPositions = 500;
constexpr int kEvents = 100;
constexpr int kCreations = 2;
constexpr int kWarmupFrames = 30;

double lf_threadCpuMicros()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

// The times the calling thread gave up the processor to wait (-1 where unknown).
long lf_threadWaits()
{
#ifdef RUSAGE_THREAD
    rusage u{};
    return getrusage(RUSAGE_THREAD, &u) == 0 ? u.ru_nvcsw : -1;
#else
    return -1;
#endif
}

double lf_micros(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

// The worker's part of one frame; returns how long it held the mutex.
double lf_queueFrame(int frame)
{
    static const char* const kTitle = "Boeing 737-800 KLM Royal Dutch Airlines";
    std::vector<PosUpdate>& write = g_posUpdates.writeSide();
    for (int i = 0; i < kPositions; ++i)
        write.push_back({52.0 + i * 1e-4, 4.0 + frame * 1e-6, -0.01, 0.02, 1.5, 1200.0 + i, 2.5, 140.0,
                         static_cast<uint32_t>(100 + i)});
    g_posUpdates.publish();
    const auto t0 = Clock::now();
    {
        std::lock_guard lock(g_simConnectMutex);
        for (int i = 0; i < kEvents; ++i)
            g_eventQueue.push_back({static_cast<uint32_t>(100 + i), 223, static_cast<uint32_t>(frame % 16384)});
        g_removeQueue.push_back(static_cast<uint32_t>(1000 + frame));
    }
    const double held = lf_micros(Clock::now() - t0);
    for (int i = 0; i < kCreations; ++i) {
        SimCreateRequest r{52.3, 4.7, 10.0, 0.0, 0.0, 90.0, 1, 0};
        r.callsign = "KLM" + std::to_string(frame * kCreations + i);
        r.liveryTitle = kTitle;
        r.hexid = 10001 + i;
        gf_queueCreateAc(r);
    }
    return held;
}

double lf_percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(v.size() * p))];
}

double lf_cpuResolutionMicros()
{
    const double start = lf_threadCpuMicros();
    double now = start;
    while (now == start)
        now = lf_threadCpuMicros();
    return now - start;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::printf("usage: sim_frame_drain_bench PORT [FRAMES]\n");
        return 2;
    }
    const int frames = argc > 2 ? std::atoi(argv[2]) : 2000;
    SimConnectConfig config;
    config.protocol = ScProtocol::Ipv4;
    config.address = "127.0.0.1";
    config.port = argv[1];
    config.disableNagle = true;
    ScHandle handle = nullptr;
    if (gf_scFailed(gf_simConnectOpenWith(&handle, "Tavelorium_P3D", nullptr, 0, nullptr, config, {},
                                          gf_systemTransportFactory()))) {
        std::printf("open failed\n");
        return 1;
    }
    gf_initSimQueues(5);
    g_simConnect = handle;

    std::vector<double> cpu, wall, held;
    for (int f = -kWarmupFrames; f < frames; ++f) {
        // The worker queues on its own thread, as the traffic pass does.
        double hold = 0;
        std::thread([&] { hold = lf_queueFrame(f); }).join();
        const double c0 = lf_threadCpuMicros();
        const auto w0 = Clock::now();
        lf_onSimFrame();
        const auto w1 = Clock::now();
        const double c1 = lf_threadCpuMicros();
        g_pendingCreations.clear();
        if (f >= 0) {
            cpu.push_back(c1 - c0);
            wall.push_back(lf_micros(w1 - w0));
            held.push_back(hold);
        }
        while (handle->transport->hasUnsentPackets() && !handle->transport->failed())
            std::this_thread::sleep_for(100us);
        if (handle->transport->failed()) {
            std::printf("the connection failed\n");
            return 1;
        }
    }
    // With a coarse clock single frames read 0 or a whole tick, but their sum stays fair.
    double cpuTotal = 0;
    for (const double c : cpu)
        cpuTotal += c;
    std::printf("%d frames of %d positions, %d events, %d creations, 1 removal (%d records)\n", frames, kPositions,
                kEvents, kCreations, kPositions + kEvents + kCreations + 1);
    std::printf("drain CPU per frame: p50 %.0f us, p99 %.0f us, mean %.0f us (thread clock resolution %.0f us)\n",
                lf_percentile(cpu, 0.5), lf_percentile(cpu, 0.99), cpuTotal / frames,
                lf_cpuResolutionMicros());
    std::printf("drain wall time (mutex held): p50 %.0f us, p99 %.0f us, max %.0f us\n", lf_percentile(wall, 0.5),
                lf_percentile(wall, 0.99), *std::max_element(wall.begin(), wall.end()));
    std::printf("worker queueing (mutex held): p50 %.1f us, p99 %.1f us\n", lf_percentile(held, 0.5),
                lf_percentile(held, 0.99));

    // The idle serving loop of the thread: connected, nothing arrives.
    double idleCpu = 0;
    long idleWakeups = -1;
    const auto idleStart = Clock::now();
    {
        std::jthread idle([&](std::stop_token stop) {
            const double cpu0 = lf_threadCpuMicros();
            const long switches0 = lf_threadWaits();
            lf_serveConnection(handle, stop);
            idleCpu = lf_threadCpuMicros() - cpu0;
            idleWakeups = switches0 < 0 ? -1 : lf_threadWaits() - switches0;
        });
        std::this_thread::sleep_for(3s);
    }
    const double idleMicros = lf_micros(Clock::now() - idleStart);
    std::printf("idle serving loop: %.3f %% of one core, %.1f wake-ups a second\n", 100.0 * idleCpu / idleMicros,
                idleWakeups < 0 ? -1.0 : idleWakeups / (idleMicros / 1e6));
    g_simConnect = nullptr;
    SimConnect_Close(handle);
    return 0;
}
