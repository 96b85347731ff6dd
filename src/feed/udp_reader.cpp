#include "feed/udp_reader.h"
#include "feed/udp_reader_internal.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

#include <fmt/format.h>

#include "control/reader_reports.h"
#include "feed/feed_inputs.h"
#include "feed/wsa_error_text.h"
#include "foundation/log.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"

namespace {

constexpr int32_t kFirstBackoffMs = 50;
constexpr int32_t kSleepSliceMs = 100;

void lf_logReaderConnected(std::string_view name)
{
    gf_logContinuation("{} connected", name);
}

void lf_logReaderDisconnected(std::string_view name)
{
    gf_logContinuation("{} disconnected", name);
}

void lf_logUnlessStopping(UdpReader& reader, std::string_view line)
{
    if (!gf_stopPending())
        gf_logLimited(reader.logLimiter, line);
}

// Sleeps in short slices so that a raised stop flag still ends the reader promptly.
void lf_sleepUnlessStopped(const UdpReader& reader, int32_t ms)
{
    while (ms > 0 && !reader.stop.load()) {
        const int32_t slice = std::min(ms, kSleepSliceMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(slice));
        ms -= slice;
    }
}

void lf_startReaderWinsock()
{
    if (const int32_t result = gf_socketStartup(); result != 0)
        throw std::runtime_error(fmt::format("WSA startup error: {}", result));
}

void lf_createReaderSocket(UdpReader& reader)
{
    reader.socket = gf_openUdpSocket();
    if (reader.socket == g_invalidSocket)
        throw std::runtime_error("failed to create the socket, error: " + gf_wsaErrorText(gf_lastSocketError()));
}

void lf_bindReaderSocket(UdpReader& reader, uint16_t port)
{
    if (!gf_bindUdpSocket(reader.socket, port, gf_feedRealTrafficLocal()))
        throw std::runtime_error("bind to stream socket failed, error: " + gf_wsaErrorText(gf_lastSocketError()));
}

void lf_closeReaderSocket(UdpReader& reader)
{
    if (reader.socket != g_invalidSocket) {
        gf_closeSocket(reader.socket);
        reader.socket = g_invalidSocket;
    }
}

// Result of a receive error: the loop goes on, or the reader ends.
bool lf_isDatagramError(int32_t code)
{
    return code == g_wsaMessageSize || code == g_wsaConnectionReset || code == g_wsaNetReset;
}

} // namespace

void lf_receiveLoop(UdpReader& reader, const ReaderSocketOps& ops)
{
    const bool realTrafficLocal = gf_feedRealTrafficLocal();
    int64_t selectFailures = 0;
    int32_t backoffMs = 0;
    while (!reader.stop.load()) {
        int32_t waitError = 0;
        const WaitResult wait = ops.waitReadable(reader.socket, g_readerWaitMs, waitError);
        if (wait == WaitResult::Timeout)
            continue;
        if (wait == WaitResult::Failed) {
            // A select that keeps failing must not spin: say it once and wait longer each time.
            if (selectFailures++ == 0 && !gf_stopPending())
                gf_logLine("{} select error: {}, waiting before it tries again", reader.name,
                           gf_wsaErrorText(waitError));
            backoffMs = std::min(backoffMs == 0 ? kFirstBackoffMs : backoffMs * 2, g_readerWaitMs);
            lf_sleepUnlessStopped(reader, backoffMs);
            continue;
        }
        backoffMs = 0;

        const ReceiveResult r = ops.receive(reader.socket, reader.buffer.data(), g_datagramBufferSize);
        if (r.bytes < 0) {
            if (r.error == g_wsaWouldBlock || r.error == g_wsaInterrupted)
                continue;
            if (!lf_isDatagramError(r.error))
                throw std::runtime_error("receive error: " + gf_wsaErrorText(r.error));
            // One bad datagram is no reason to stop reading: anyone could send it again.
            reader.droppedCount.fetch_add(1);
            if (r.error == g_wsaMessageSize)
                lf_logUnlessStopping(reader, fmt::format("buffer overrun: more than {} bytes", g_datagramBufferSize));
            else
                lf_logUnlessStopping(reader, "datagram dropped: " + gf_wsaErrorText(r.error));
            continue;
        }
        if (r.bytes == 0)
            continue;
        const auto length = static_cast<size_t>(r.bytes);
        if (length >= g_datagramBufferSize) {
            reader.droppedCount.fetch_add(1);
            lf_logUnlessStopping(reader, fmt::format("buffer overrun: {} bytes", length));
            continue;
        }
        reader.buffer[length] = '\0';
        reader.datagram = std::string_view(reader.buffer.data(), length);
        reader.datagramCount.fetch_add(1);
        if (!realTrafficLocal) {
            // RealTraffic on another PC may repeat a datagram; a repeat carries nothing new.
            if (reader.datagram == reader.previousDatagram)
                continue;
            reader.previousDatagram.assign(reader.datagram);
        }
        reader.onDatagram();
    }
    if (selectFailures > 1 && !gf_stopPending())
        gf_logLine("{} select failed {} times", reader.name, selectFailures);
    lf_closeReaderSocket(reader);
    reader.onStopped();
}

void gf_runReader(UdpReader& reader, uint16_t port, void (*onBound)())
{
    bool started = false;
    try {
        lf_startReaderWinsock();
        started = true;
        lf_createReaderSocket(reader);
        lf_bindReaderSocket(reader, port);
        if (onBound)
            onBound();
        lf_logReaderConnected(reader.name);
        lf_receiveLoop(reader, gf_platformSocketOps());
        lf_closeReaderSocket(reader);
        gf_socketCleanup();
        lf_logReaderDisconnected(reader.name);
        return;
    } catch (const std::exception& e) {
        lf_closeReaderSocket(reader);
        if (started)
            gf_socketCleanup();
        gf_reportReaderStopped(reader.name, e.what());
    } catch (...) {
        lf_closeReaderSocket(reader);
        if (started)
            gf_socketCleanup();
        gf_reportReaderStopped(reader.name, "unknown exception");
    }
    lf_logReaderDisconnected(reader.name);
}
