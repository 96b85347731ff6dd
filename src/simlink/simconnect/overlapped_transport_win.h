#pragma once
// What the Windows pipe and socket transports share: overlapped reads and writes whose
// completions arrive through BindIoCompletionCallback on system threads. Each outstanding
// read or write holds a reference to its transport, so that the transport outlives the
// completions of the I/O that its close cancels.
#include <windows.h>

#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "simlink/simconnect/transport.h"
#include "simlink/simconnect/transport_open.h"

class OverlappedTransportWin : public SimConnectTransport {
public:
    using SimConnectTransport::SimConnectTransport;

protected:
    struct IoContext {
        OVERLAPPED overlapped{};
        OverlappedTransportWin* owner = nullptr;
        bool isRead = false;
    };

    // Starts the platform call; false with the error when it failed at once.
    virtual bool issueRead(IoContext& context, std::span<std::byte> space, DWORD& error) = 0;
    virtual bool issueWrite(IoContext& context, const std::vector<ScPacketPtr>& batch, DWORD& error) = 0;
    // Shuts the handles; called with ioMutex_ held, at most once.
    virtual void releaseHandles() = 0;

    bool bindCompletion(HANDLE handle);
    // The first read after the connection is made; false when it failed at once.
    bool startReading();
    void closeHandles() override;
    WriteStart startWrite(const std::vector<ScPacketPtr>& batch) override;

    // ioMutex_ keeps the handles from being used while, or after, they are closed: a
    // closed handle's number may already belong to something else.
    std::mutex ioMutex_;
    bool handlesOpen_ = false; // guarded by ioMutex_

private:
    static void CALLBACK lf_completion(DWORD error, DWORD bytes, LPOVERLAPPED overlapped);
    bool postRead();
    void readDone(DWORD error, DWORD bytes);
    void writeDone(DWORD error, DWORD bytes);

    IoContext readContext_;
    IoContext writeContext_;
    std::shared_ptr<SimConnectTransport> readHold_;
    std::shared_ptr<SimConnectTransport> writeHold_;
    DWORD writeLength_ = 0;
};

// The close reason of a failed completion or call.
ScCloseReason gf_scCloseReasonOf(DWORD error);

std::shared_ptr<SimConnectTransport> gf_openTcpTransportWin(const ScTransportTarget& target,
                                                            std::shared_ptr<ScReceiveQueue> receiveQueue);
std::shared_ptr<SimConnectTransport> gf_openPipeTransportWin(const ScTransportTarget& target,
                                                             std::shared_ptr<ScReceiveQueue> receiveQueue);
