#include "feed/udp_reader.h"
#include "feed/udp_reader_internal.h"

#include <cstring>
#include <stdexcept>

#include <fmt/format.h>

#include "control/reader_reports.h"
#include "feed/feed_inputs.h"
#include "feed/wsa_error_text.h"
#include "foundation/log.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"

namespace {

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

void lf_startReaderWinsock()
{
    if (const int32_t result = gf_socketStartup(); result != 0)
        throw std::runtime_error(fmt::format("WSA startup error: {}", result));
}

// The receive blocks until a datagram comes, at most one wait: the loop then looks at its
// stop flag, so a stop takes effect within a second while a datagram costs one call.
void lf_createReaderSocket(UdpReader& reader)
{
    reader.socket = gf_openUdpSocket();
    if (reader.socket == g_invalidSocket || !gf_setReceiveTimeout(reader.socket, g_readerWaitMs))
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
    while (!reader.stop.load()) {
        const ReceiveResult r = ops.receive(reader.socket, reader.buffer.data(), g_datagramBufferSize);
        if (r.bytes < 0) {
            if (r.error == g_wsaTimedOut || r.error == g_wsaWouldBlock || r.error == g_wsaInterrupted)
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
