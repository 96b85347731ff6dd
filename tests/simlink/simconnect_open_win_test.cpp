#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <optional>

#include "foundation/text.h"
#include "simlink/simconnect/config.h"
#include "simlink/simconnect/simconnect_api.h"
#include "support/test_support.h"

namespace {

// Sets one value under the simulator's key for the life of the object, then puts back
// what stood there before.
class RegistryValue {
public:
    RegistryValue(const wchar_t* name, const std::wstring& value) : name_(name)
    {
        RegCreateKeyExW(HKEY_CURRENT_USER, utf8_to_wide(g_simConnectRegistryKey).c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        wchar_t old[64];
        DWORD bytes = sizeof old;
        DWORD type = 0;
        if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(old), &bytes) == ERROR_SUCCESS &&
            type == REG_SZ)
            previous_ = std::wstring(old, wcsnlen(old, bytes / sizeof(wchar_t)));
        RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    ~RegistryValue()
    {
        if (previous_)
            RegSetValueExW(key_, name_, 0, REG_SZ, reinterpret_cast<const BYTE*>(previous_->c_str()),
                           static_cast<DWORD>((previous_->size() + 1) * sizeof(wchar_t)));
        else
            RegDeleteValueW(key_, name_);
        RegCloseKey(key_);
    }

private:
    const wchar_t* name_;
    HKEY key_ = nullptr;
    std::optional<std::wstring> previous_;
};

} // namespace

TEST(SimConnectOpenWin, ATcpProtocolWithoutAPortConnectsToTheSimulatorsRegisteredPort)
{
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    int length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    RegistryValue port(L"SimConnect_Port_IPv4", std::to_wstring(ntohs(address.sin_port)));

    tavtest::TempFolder folder("scopen");
    tavtest::CurrentFolder current(folder.path());
    tavtest::writeFile(folder / "SimConnect.cfg", "[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\n");
    ScHandle handle = nullptr;
    ASSERT_EQ(SimConnect_Open(&handle, "Tavelorium_P3D", nullptr, 0, nullptr, 0), g_scOk);

    SOCKET accepted = accept(listener, nullptr, nullptr);
    ASSERT_NE(accepted, INVALID_SOCKET);
    char record[296];
    int got = 0;
    while (got < 296) {
        const int n = recv(accepted, record + got, 296 - got, 0);
        ASSERT_GT(n, 0);
        got += n;
    }
    uint32_t head[3];
    std::memcpy(head, record, sizeof head);
    EXPECT_EQ(head[0], 296u);
    EXPECT_EQ(head[1], 35u);
    EXPECT_EQ(head[2], 0xF0000001u);
    EXPECT_STREQ(record + 16, "Tavelorium_P3D");
    EXPECT_EQ(SimConnect_Close(handle), g_scOk);
    // The client's own socket library reference is gone; ours still works.
    EXPECT_EQ(recv(accepted, record, sizeof record, 0), 0);
    closesocket(accepted);
    closesocket(listener);
    WSACleanup();
}
