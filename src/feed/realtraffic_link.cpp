#include "feed/realtraffic_link.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>
#include <thread>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "control/service_calls.h"
#include "control/service_state.h"
#include "feed/datagram_log.h"
#include "feed/feed_inputs.h"
#include "feed/link_socket.h"
#include "feed/readers.h"
#include "feed/realtraffic_link_internal.h"
#include "feed/wsa_error_text.h"
#include "foundation/geo.h"
#include "foundation/log.h"
#include "foundation/log_unless_stopping.h"
#include "foundation/stop_state.h"
#include "foundation/time_text.h"
#include "foundation/version.h"
#include "traffic/traffic_service.h"
#include "ui/messages.h"
#include "ui/window_state.h"

SocketHandle g_rtListenSocket = g_invalidSocket;
SocketHandle g_rtClientSocket = g_invalidSocket;
std::atomic<bool> g_rtConnected{false};

namespace {
using namespace std::chrono_literals;

// The link's own WSAStartup succeeded: only then does it call WSACleanup.
bool g_winsockStarted = false;

constexpr size_t kReplyLimit = 16383;
constexpr auto kReplyWait = 5s;
constexpr int32_t kWaitStepMs = 100;
// An edition text longer than this is no version RealTraffic sends.
constexpr size_t kVersionShownMax = 40;

void lf_setLinkReady(bool ready)
{
    gf_windowState().rtLinkUp = ready;
    gf_invalidateBand(g_connectionBand);
}

void lf_closeClientSocket()
{
    gf_closeSocket(g_rtClientSocket);
    g_rtClientSocket = g_invalidSocket;
}

[[noreturn]] void lf_failServer(const std::string& message)
{
    if (g_winsockStarted) {
        gf_socketCleanup();
        g_winsockStarted = false;
    }
    g_rtListenSocket = g_invalidSocket;
    throw std::runtime_error(message);
}

std::string lf_listenFailure(const ListenOutcome& o, std::string_view portText)
{
    switch (o.failedStep) {
    case ListenStep::Resolve: return fmt::format("getaddrinfo failed with error {}", o.error);
    case ListenStep::Socket: return "socket failed with error " + gf_wsaErrorText(o.error);
    case ListenStep::NonBlocking: return "ioctlsocket failed with error " + gf_wsaErrorText(o.error);
    case ListenStep::AddressOption: return fmt::format("setsockopt({}) failed", g_linkAddressOptionName);
    case ListenStep::Bind:
        return fmt::format("Bind failed at port {} with error {}", portText, gf_wsaErrorText(o.error));
    case ListenStep::Listen: return "listen failed with error " + gf_wsaErrorText(o.error);
    case ListenStep::None: break;
    }
    return {};
}

// Waits up to one step for a client; true when one is now connected.
bool lf_awaitClient()
{
    int32_t error = 0;
    if (gf_platformSocketOps().waitReadable(g_rtListenSocket, kWaitStepMs, error) == WaitResult::Failed)
        std::this_thread::sleep_for(std::chrono::milliseconds(kWaitStepMs));
    return waitForClient();
}

// "level" as a whole number; a value far outside any edition level reads as 0.
int64_t lf_levelOf(const nlohmann::json& level)
{
    if (level.is_number_integer())
        return level.get<int64_t>();
    if (level.is_number_unsigned())
        return level.get<uint64_t>() <= 2 ? static_cast<int64_t>(level.get<uint64_t>()) : 0;
    const double d = level.get<double>();
    return std::isfinite(d) && std::fabs(d) < 1e9 ? static_cast<int64_t>(d) : 0;
}

void lf_noVersion()
{
    gf_showMessage("No RealTraffic version received?", true);
    g_rtProfessional = false;
}

// Bytes the client sent and nobody reads would turn the close into a reset, which may
// drop the "exit" still on its way.
void lf_discardIncoming()
{
    std::array<char, 1024> buffer;
    int32_t error = 0;
    while (gf_linkReceive(g_rtClientSocket, buffer.data(), buffer.size(), error) > 0) {
    }
}

// A whole number for the line: the value rounded; a value no 64-bit integer holds is
// cut to the largest one.
int64_t lf_whole(double value)
{
    constexpr double kLimit = 9.2e18;
    return std::llround(std::clamp(value, -kLimit, kLimit));
}

} // namespace

void gf_startTcpServer(std::string_view portText)
{
    if (g_rtListenSocket != g_invalidSocket)
        gf_closeRealTrafficLink();
    if (const int32_t r = gf_socketStartup(); r != 0)
        throw std::runtime_error(fmt::format("WSAStartup failed with error {}", r));
    g_winsockStarted = true;
    const ListenOutcome outcome = gf_openLinkListener(portText);
    if (outcome.failedStep != ListenStep::None)
        lf_failServer(lf_listenFailure(outcome, portText));
    g_rtListenSocket = outcome.socket;
}

uint16_t gf_rtListenPort()
{
    return g_rtListenSocket == g_invalidSocket ? 0 : gf_linkLocalPort(g_rtListenSocket);
}

bool waitForClient()
{
    if (g_rtConnected || g_rtListenSocket == g_invalidSocket)
        return false;
    int32_t error = 0;
    const SocketHandle client = gf_acceptLinkClient(g_rtListenSocket, error);
    if (client == g_invalidSocket)
        return false;
    if (!gf_setLinkNoDelay(client, error)) {
        gf_closeSocket(client);
        gf_logUnlessStopping("waitForClient interrupted: {} setsockopt failed with error {}", gf_clockHms(),
                             gf_wsaErrorText(error));
        return false;
    }
    g_rtClientSocket = client;
    g_rtConnected = true;
    return true;
}

bool sendDataPacket(std::string_view line)
{
    int32_t error = 0;
    // A full send buffer (RealTraffic not reading) costs this line, never the worker's time.
    if (gf_linkSend(g_rtClientSocket, line, error) >= 0 || error == g_wsaWouldBlock)
        return true;
    gf_logUnlessStopping("sendDataPacket to RealTraffic failed: {}", gf_wsaErrorText(error));
    g_rtConnected = false;
    lf_closeClientSocket();
    gf_logUnlessStopping("RealTraffic client socket closed");
    return false;
}

std::optional<std::string> receive()
{
    std::string reply;
    std::array<char, kReplyLimit> buffer;
    const auto deadline = std::chrono::steady_clock::now() + kReplyWait;
    while (reply.size() < kReplyLimit && !gf_stopPending()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                  std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        int32_t error = 0;
        const WaitResult wait = gf_platformSocketOps().waitReadable(
            g_rtClientSocket, static_cast<int32_t>(std::min<int64_t>(left.count(), kWaitStepMs)), error);
        if (wait == WaitResult::Timeout)
            continue;
        int64_t n = -1;
        if (wait == WaitResult::Readable)
            n = gf_linkReceive(g_rtClientSocket, buffer.data(), kReplyLimit - reply.size(), error);
        if (n < 0 && error == g_wsaWouldBlock)
            continue;
        if (n < 0) {
            gf_logUnlessStopping("receive: {}", gf_wsaErrorText(error));
            return std::nullopt;
        }
        if (n == 0)
            return std::nullopt;
        reply.append(buffer.data(), static_cast<size_t>(n));
        if (nlohmann::json::accept(reply))
            return reply;
    }
    if (reply.size() >= kReplyLimit) {
        gf_logUnlessStopping("receive: buffer overrun: {}", reply.size());
        return std::string();
    }
    return reply;
}

void lf_readRealTrafficVersion(std::string_view reply)
{
    if (reply.empty()) {
        lf_noVersion();
        return;
    }
    const nlohmann::json j = nlohmann::json::parse(reply, nullptr, false);
    if (j.is_discarded()) {
        lf_noVersion();
        return;
    }
    if (!j.is_object()) {
        g_rtProfessional = false;
        gf_setWindowText(WindowText::RealTrafficEdition, {}, g_connectionBand);
        return;
    }
    const auto level = j.find("level");
    const auto version = j.find("version");
    if ((level != j.end() && !level->is_number()) || (version != j.end() && !version->is_string())) {
        lf_noVersion();
        return;
    }
    const bool professional = level != j.end() && lf_levelOf(*level) == 2;
    g_rtProfessional = professional;
    const std::string versionText =
        version != j.end() ? gf_loggableText(version->get<std::string>(), kVersionShownMax) : std::string();
    gf_setWindowText(WindowText::RealTrafficEdition,
                     fmt::format("RT{} edition: {}", professional ? " prof" : " stnd", versionText),
                     g_connectionBand);
}

void gf_waitForRealTraffic()
{
    if (!gf_feedRealTrafficLocal())
        return;
    gf_showMessage(fmt::format("Waiting for RealTraffic to connect to {} ...", g_programName), true);
    gf_flushLog();
    gf_resetReaders();
    while (g_rtListenSocket != g_invalidSocket && !gf_stopPending()) {
        if (!lf_awaitClient())
            continue;
        // A client that is gone before it answered (a tool probing the port) is no
        // RealTraffic: the link waits for the next one, which the query then goes to.
        if (!sendDataPacket("Qs999=version\r\n"))
            continue;
        const std::optional<std::string> reply = receive();
        if (!reply) {
            gf_logUnlessStopping("A client of the link closed before it answered: no RealTraffic");
            g_rtConnected = false;
            lf_closeClientSocket();
            continue;
        }
        lf_readRealTrafficVersion(*reply);
        lf_setLinkReady(true);
        g_startUpPhase = false;
        gf_logLine("RealTraffic connected");
        break;
    }
    gf_clearMessage();
}

void gf_sendQs123(int64_t t)
{
    if (g_rtConnected && t >= 1 && t <= std::numeric_limits<int64_t>::max() / 1000)
        sendDataPacket(fmt::format("Qs123={}\r\n", t * 1000));
}

std::string gf_qs121Line(const UserState& s)
{
    for (const double v : {s.pitch, s.bank, s.heading, s.altitude, s.groundVelocity, s.latitude, s.longitude}) {
        if (!std::isfinite(v))
            return {};
    }
    return fmt::format("Qs121={};{};{:.6f};{};{};{:.6f};{:.6f}\r\n", lf_whole(s.pitch * 100000.0),
                       lf_whole(s.bank * 100000.0), s.heading, lf_whole(s.altitude * 1000.0),
                       lf_whole(s.groundVelocity * 1000.0), s.latitude * g_degToRad, s.longitude * g_degToRad);
}

void gf_sendUserPosition()
{
    if (!gf_feedRealTrafficLocal())
        return;
    if (!(std::fabs(g_userSnapshot.latitude) > 0.0001 || std::fabs(g_userSnapshot.longitude) > 0.0001))
        return;
    if (!g_rtConnected) {
        if (gf_closeReason() != CloseReason::NotYetSet || !waitForClient())
            return;
        lf_setLinkReady(true);
        gf_showMessage(fmt::format("{} RealTraffic re-connected", gf_clockHms()), true);
        gf_clearMessage();
        return;
    }
    const std::string line = gf_qs121Line(g_userSnapshot);
    if (line.empty() || sendDataPacket(line))
        return;
    lf_setLinkReady(false);
    if (!g_hardStop)
        gf_serviceCalls().takeOutLiveAircraft();
    gf_resetReaders();
    gf_showMessage(fmt::format("{} RealTraffic gone? Wait for RealTraffic to re-connect ...", gf_clockHms()), true);
}

void gf_closeRealTrafficLink()
{
    if (g_rtConnected && sendDataPacket("exit\r\n"))
        lf_discardIncoming();
    gf_closeSocket(g_rtListenSocket);
    lf_closeClientSocket();
    if (g_winsockStarted) {
        gf_socketCleanup();
        g_winsockStarted = false;
    }
    g_rtListenSocket = g_invalidSocket;
    g_rtConnected = false;
}
