#include "simlink/simconnect/overlapped_transport_win.h"

#include <winsock2.h>

#include "foundation/log.h"

ScCloseReason gf_scCloseReasonOf(DWORD error)
{
    switch (error) {
    case ERROR_OPERATION_ABORTED:
        return ScCloseReason::Cancelled;
    case ERROR_NETNAME_DELETED:
    case ERROR_BROKEN_PIPE:
    case ERROR_PIPE_NOT_CONNECTED:
    case ERROR_NO_DATA:
    case ERROR_GRACEFUL_DISCONNECT:
    case ERROR_CONNECTION_ABORTED:
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAESHUTDOWN:
        return ScCloseReason::RemoteDisconnect;
    default:
        return ScCloseReason::IoError;
    }
}

bool OverlappedTransportWin::bindCompletion(HANDLE handle)
{
    readContext_.owner = this;
    readContext_.isRead = true;
    writeContext_.owner = this;
    return BindIoCompletionCallback(handle, &OverlappedTransportWin::lf_completion, 0) != FALSE;
}

void CALLBACK OverlappedTransportWin::lf_completion(DWORD error, DWORD bytes, LPOVERLAPPED overlapped)
{
    auto* context = CONTAINING_RECORD(overlapped, IoContext, overlapped);
    try {
        if (context->isRead)
            context->owner->readDone(error, bytes);
        else
            context->owner->writeDone(error, bytes);
    } catch (const std::exception& e) {
        gf_logErrorLine("SimConnect completion exception {}", e.what());
    }
}

bool OverlappedTransportWin::startReading()
{
    return postRead();
}

bool OverlappedTransportWin::postRead()
{
    readHold_ = shared_from_this();
    DWORD error = ERROR_OPERATION_ABORTED;
    bool started = false;
    {
        std::lock_guard lock(ioMutex_);
        if (handlesOpen_ && state() == State::Connected)
            started = issueRead(readContext_, receiveSpace(), error);
    }
    if (started)
        return true;
    // Whoever called holds a reference of its own, so this cannot be the last.
    readHold_.reset();
    close(gf_scCloseReasonOf(error), gf_scHresultFromSystemError(error));
    return false;
}

void OverlappedTransportWin::readDone(DWORD error, DWORD bytes)
{
    const auto hold = std::move(readHold_);
    if (error == ERROR_MORE_DATA) {
        // A pipe message longer than the space: the rest follows with the next read.
        bytesReceived(bytes);
    } else if (error != ERROR_SUCCESS) {
        close(gf_scCloseReasonOf(error), gf_scHresultFromSystemError(error));
        return;
    } else if (bytes == 0) {
        // The simulator closed its end in order.
        close(ScCloseReason::RemoteDisconnect, gf_scHresultFromSystemError(ERROR_GRACEFUL_DISCONNECT));
        return;
    } else {
        bytesReceived(bytes);
    }
    if (state() == State::Connected)
        postRead();
}

SimConnectTransport::WriteStart OverlappedTransportWin::startWrite(const std::vector<ScPacketPtr>& batch)
{
    writeLength_ = 0;
    for (const auto& packet : batch)
        writeLength_ += packet->length();
    writeHold_ = shared_from_this();
    DWORD error = ERROR_OPERATION_ABORTED;
    bool started = false;
    {
        std::lock_guard lock(ioMutex_);
        if (handlesOpen_)
            started = issueWrite(writeContext_, batch, error);
    }
    if (started)
        return WriteStart::Pending;
    writeHold_.reset();
    close(gf_scCloseReasonOf(error), gf_scHresultFromSystemError(error));
    return WriteStart::Failed;
}

void OverlappedTransportWin::writeDone(DWORD error, DWORD bytes)
{
    const auto hold = std::move(writeHold_);
    if (error == ERROR_SUCCESS && bytes != writeLength_)
        error = ERROR_WRITE_FAULT;
    if (error != ERROR_SUCCESS) {
        close(gf_scCloseReasonOf(error), gf_scHresultFromSystemError(error));
        writeCompleted(false);
        return;
    }
    writeCompleted(true);
}

void OverlappedTransportWin::closeHandles()
{
    std::lock_guard lock(ioMutex_);
    if (!handlesOpen_)
        return;
    handlesOpen_ = false;
    releaseHandles();
}
