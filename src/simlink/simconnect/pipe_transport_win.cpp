// The simulator's named pipe, opened overlapped; reads and writes complete through the
// same system callback as the sockets.
#include <cstdio>

#include "foundation/text.h"
#include "simlink/simconnect/overlapped_transport_win.h"

namespace {

class PipeTransportWin final : public OverlappedTransportWin {
public:
    PipeTransportWin(uint32_t maxReceiveSize, std::shared_ptr<ScReceiveQueue> receiveQueue)
        : OverlappedTransportWin(Kind::Pipe, maxReceiveSize, std::move(receiveQueue))
    {
    }

    ~PipeTransportWin() override
    {
        std::lock_guard lock(ioMutex_);
        if (handlesOpen_) {
            handlesOpen_ = false;
            releaseHandles();
        }
    }

    bool open(const ScTransportTarget& target)
    {
        const std::string machine = target.address.empty() ? std::string(".") : target.address;
        const std::string name = "\\\\" + machine + "\\pipe\\" +
                                 (target.port.empty() ? std::string("Lockheed Martin Prepar3D v5\\SimConnect") : target.port);
        const std::wstring wideName = utf8_to_wide(name);
        HANDLE pipe = INVALID_HANDLE_VALUE;
        for (;;) {
            pipe = CreateFileW(wideName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
            if (pipe != INVALID_HANDLE_VALUE)
                break;
            if (GetLastError() != ERROR_PIPE_BUSY || !WaitNamedPipeW(wideName.c_str(), 5000))
                return false;
        }
        if (!bindCompletion(pipe)) {
            CloseHandle(pipe);
            return false;
        }
        HANDLE events[2];
        for (HANDLE& event : events) {
            event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            if (event == nullptr)
                std::printf("CreateEvent failed with %lu.\n", GetLastError());
        }
        {
            std::lock_guard lock(ioMutex_);
            pipe_ = pipe;
            readEvent_ = events[0];
            writeEvent_ = events[1];
            handlesOpen_ = true;
        }
        markConnected();
        return startReading();
    }

protected:
    bool issueRead(IoContext& context, std::span<std::byte> space, DWORD& error) override
    {
        context.overlapped = OVERLAPPED{};
        context.overlapped.hEvent = readEvent_;
        if (ReadFile(pipe_, space.data(), static_cast<DWORD>(space.size()), nullptr, &context.overlapped))
            return true;
        error = GetLastError();
        // A message longer than the space also completes through the callback.
        return error == ERROR_IO_PENDING || error == ERROR_MORE_DATA;
    }

    bool issueWrite(IoContext& context, const std::vector<ScPacketPtr>& batch, DWORD& error) override
    {
        context.overlapped = OVERLAPPED{};
        context.overlapped.hEvent = writeEvent_;
        const ScPacketPtr& packet = batch.front();
        if (WriteFile(pipe_, packet->data(), packet->length(), nullptr, &context.overlapped))
            return true;
        error = GetLastError();
        return error == ERROR_IO_PENDING;
    }

    void releaseHandles() override
    {
        CancelIoEx(pipe_, nullptr);
        CloseHandle(pipe_);
        for (HANDLE event : {readEvent_, writeEvent_}) {
            if (event != nullptr)
                CloseHandle(event);
        }
    }

private:
    HANDLE pipe_ = INVALID_HANDLE_VALUE; // guarded by ioMutex_ once open
    HANDLE readEvent_ = nullptr;
    HANDLE writeEvent_ = nullptr;
};

} // namespace

std::shared_ptr<SimConnectTransport> gf_openPipeTransportWin(const ScTransportTarget& target,
                                                             std::shared_ptr<ScReceiveQueue> receiveQueue)
{
    auto transport = std::make_shared<PipeTransportWin>(target.maxReceiveSize, std::move(receiveQueue));
    if (!transport->open(target))
        return nullptr;
    return transport;
}
