#pragma once
// Our client's connection to a simulator end of the test's own: a TCP listener on a free
// loopback port that reads only the Open record, and dispatch until messages come.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "feed/link_socket.h"
#include "support/sc_test_support.h"

namespace sctest {

using Clock = std::chrono::steady_clock;
using Messages = std::vector<std::string>;

inline long long msSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

inline void collect(const ScRecv* message, uint32_t size, void* seen)
{
    static_cast<Messages*>(seen)->emplace_back(reinterpret_cast<const char*>(message), size);
}

// Dispatches until `count` messages came or 5 s passed; the first failure at once.
inline ScHresult dispatchUntil(ScHandle handle, Messages& seen, size_t count)
{
    for (const auto end = Clock::now() + std::chrono::seconds(5); seen.size() < count && Clock::now() < end;) {
        if (const ScHresult hr = SimConnect_CallDispatch(handle, &collect, &seen); gf_scFailed(hr))
            return hr;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return g_scOk;
}

// The simulator's end: a listener on a free loopback port and the client it accepted,
// which it reads only for the Open record.
struct LoopbackSimulator {
    LoopbackSimulator()
    {
        gf_socketStartup();
        listener = gf_openLinkListener("0").socket;
    }
    ~LoopbackSimulator()
    {
        drop();
        if (listener != g_invalidSocket)
            gf_closeSocket(listener);
        gf_socketCleanup();
    }
    std::string config() const
    {
        return fmt::format("[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort={}\nDisableNagle=1\n",
                           gf_linkLocalPort(listener));
    }
    // The accepted client's Open record.
    std::string accept()
    {
        int32_t error = 0;
        for (int i = 0; i < 500 && peer == g_invalidSocket; ++i) {
            gf_platformSocketOps().waitReadable(listener, 10, error);
            peer = gf_acceptLinkClient(listener, error);
        }
        gf_setLinkNoDelay(peer, error);
        std::string record(296, '\0');
        for (size_t got = 0, i = 0; got < record.size() && i < 500; ++i) {
            gf_platformSocketOps().waitReadable(peer, 10, error);
            got += static_cast<size_t>(std::max<int64_t>(0, gf_linkReceive(peer, &record[got], record.size() - got, error)));
        }
        return record;
    }
    void send(std::string_view bytes)
    {
        int32_t error = 0;
        while (!bytes.empty()) {
            const int64_t n = gf_linkSend(peer, bytes, error);
            if (n > 0)
                bytes.remove_prefix(static_cast<size_t>(n));
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    void drop()
    {
        if (peer != g_invalidSocket)
            gf_closeSocket(std::exchange(peer, g_invalidSocket));
    }
    SocketHandle listener = g_invalidSocket;
    SocketHandle peer = g_invalidSocket;
};

} // namespace sctest
