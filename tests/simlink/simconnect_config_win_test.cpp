#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <random>

#include "foundation/known_folders_win.h"
#include "foundation/text.h"
#include "simlink/simconnect/config.h"
#include "simlink/simconnect/simconnect_api.h"
#include "support/test_support.h"

namespace {

void lf_setValue(const std::string& key, const wchar_t* name, const std::wstring& value)
{
    RegSetKeyValueW(HKEY_CURRENT_USER, utf8_to_wide(key).c_str(), name, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

} // namespace

TEST(SimConnectRegistry, PortsAreReadFromTheStringValuesAndOverlongOrMissingOnesAreEmpty)
{
    // A key of this test's own, so that programs running meanwhile never see its values.
    const std::string key = "Software\\Tavelorium_P3D_tests" + std::to_string(std::random_device{}());
    lf_setValue(key, L"SimConnect_Port_IPv4", L"1234567890");
    lf_setValue(key, L"SimConnect_Port_IPv6", L"123456789");
    const ScRegistryPorts ports = gf_readSimConnectRegistryPorts(key);
    EXPECT_EQ(ports.ipv4, "");
    EXPECT_EQ(ports.ipv6, "123456789");
    lf_setValue(key, L"SimConnect_Port_IPv4", L"500");
    EXPECT_EQ(gf_readSimConnectRegistryPorts(key).ipv4, "500");
    const ScRegistryPorts none = gf_readSimConnectRegistryPorts(key + "\\missing");
    EXPECT_EQ(none.ipv4 + none.ipv6, "");
    RegDeleteTreeW(HKEY_CURRENT_USER, utf8_to_wide(key).c_str());
}

TEST(SimConnectConfigFolders, PublicDocumentsThenDocumentsThenTheCurrentFolderWhoseFileIsReadThere)
{
    tavtest::TempFolder here("sccur");
    tavtest::CurrentFolder current(here.path());
    const auto folders = gf_simConnectConfigFolders();
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(folders[0], gf_knownFolderPath(FOLDERID_PublicDocuments));
    EXPECT_EQ(folders[1], gf_knownFolderPath(FOLDERID_Documents));
    EXPECT_TRUE(std::filesystem::equivalent(folders[2], here.path()));

    // The profile functions would look for a bare name in the Windows folder.
    tavtest::writeFile(here / "SimConnect.cfg", "[SimConnect]\nProtocol=IPv4\nPort=\"4711\"\n");
    const auto section = gf_readSimConnectSection("SimConnect.cfg", "SimConnect");
    ASSERT_TRUE(section);
    EXPECT_EQ(section->protocol, "IPv4");
    EXPECT_EQ(section->port, "4711");
    EXPECT_FALSE(section->address);
}

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
    // Read only while opening; removed straight after.
    const std::string simulatorKey(g_simConnectRegistryKey);
    lf_setValue(simulatorKey, L"SimConnect_Port_IPv4", std::to_wstring(ntohs(address.sin_port)));

    tavtest::TempFolder folder("scopen");
    tavtest::CurrentFolder current(folder.path());
    tavtest::writeFile(folder / "SimConnect.cfg", "[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\n");
    ScHandle handle = nullptr;
    const ScHresult opened = SimConnect_Open(&handle, "Tavelorium_P3D", nullptr, 0, nullptr, 0);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, utf8_to_wide(simulatorKey).c_str(), L"SimConnect_Port_IPv4");
    ASSERT_EQ(opened, g_scOk);

    SOCKET accepted = accept(listener, nullptr, nullptr);
    ASSERT_NE(accepted, INVALID_SOCKET);
    char record[296];
    for (int got = 0, n = 0; got < 296; got += n)
        ASSERT_GT(n = recv(accepted, record + got, 296 - got, 0), 0);
    EXPECT_STREQ(record + 16, "Tavelorium_P3D");
    EXPECT_EQ(SimConnect_Close(handle), g_scOk);
    // The client's own socket library reference is gone; ours still works.
    EXPECT_EQ(recv(accepted, record, sizeof record, 0), 0);
    closesocket(accepted);
    closesocket(listener);
    WSACleanup();
}
