#include <windows.h>

#include "simlink/simconnect/overlapped_transport_win.h"

namespace {

class SystemTransportFactory final : public ScTransportFactory {
public:
    std::shared_ptr<SimConnectTransport> connect(const ScTransportTarget& target,
                                                 std::shared_ptr<ScReceiveQueue> receiveQueue) override
    {
        if (target.protocol == ScProtocol::Pipe)
            return gf_openPipeTransportWin(target, std::move(receiveQueue));
        return gf_openTcpTransportWin(target, std::move(receiveQueue));
    }
};

} // namespace

ScTransportFactory& gf_systemTransportFactory()
{
    static SystemTransportFactory factory;
    return factory;
}

void gf_scNotifyClient(void* window, uint32_t userMessage, void* event)
{
    if (window != nullptr)
        PostMessageW(static_cast<HWND>(window), userMessage, 0, 0);
    if (event != nullptr)
        SetEvent(static_cast<HANDLE>(event));
}
