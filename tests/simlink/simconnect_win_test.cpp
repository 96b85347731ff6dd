// The Windows side of the SimConnect client: the registry's ports, the configuration
// folders, the open on the registered port, and the simulator's named pipe.
#include <gtest/gtest.h>

#include <windows.h>

#include <random>

#include "foundation/known_folders_win.h"
#include "foundation/text.h"
#include "simlink/simconnect/config.h"
#include "simlink/simconnect/simconnect_api.h"
#include "simlink/sc_loopback.h"
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
    sctest::LoopbackSimulator sim;
    // Read only while opening; removed straight after.
    const std::string simulatorKey(g_simConnectRegistryKey);
    lf_setValue(simulatorKey, L"SimConnect_Port_IPv4", std::to_wstring(gf_linkLocalPort(sim.listener)));
    tavtest::TempFolder folder("scopen");
    tavtest::CurrentFolder current(folder.path());
    tavtest::writeFile(folder / "SimConnect.cfg", "[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\n");
    ScHandle handle = nullptr;
    const ScHresult opened = SimConnect_Open(&handle, "Tavelorium_P3D", nullptr, 0, nullptr, 0);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, utf8_to_wide(simulatorKey).c_str(), L"SimConnect_Port_IPv4");
    ASSERT_EQ(opened, g_scOk);
    EXPECT_EQ(sim.accept().substr(0, 31), sctest::requestHead(296, 0x01, 1).text("Tavelorium_P3D", 15).str());
    EXPECT_EQ(SimConnect_Close(handle), g_scOk);
    // The client's own socket library reference is gone; ours still works.
    char byte = 0;
    int32_t error = 0;
    gf_platformSocketOps().waitReadable(sim.peer, 2000, error);
    EXPECT_EQ(gf_linkReceive(sim.peer, &byte, 1, error), 0);
}

// A server that closes its handle leaves error 109 behind, one that disconnects first 233.
TEST(SimConnectPipe, MessagesArriveWholeAndAVanishedServerFailsEveryLaterCallWithItsError)
{
    tavtest::TempFolder folder("scpipe");
    tavtest::CurrentFolder here(folder.path());
    const std::string event = sctest::messageHead(24, 4).u32(0xFFFFFFFFu).u32(201).u32(1).str();
    const std::string quit = sctest::messageHead(12, 3).str();
    const std::string big = sctest::messageHead(6040, 8).u32(1).u32(3).u32(5).u32(0).u32(1).u32(1).u32(1).zeros(6000).str();
    for (const auto& [disconnect, error] : {std::pair{false, 0x8007006Du}, std::pair{true, 0x800700E9u}}) {
        const std::string name = fmt::format("tavelorium-test-{}-{}", GetCurrentProcessId(), disconnect);
        HANDLE pipe = CreateNamedPipeA(("\\\\.\\pipe\\" + name).c_str(), PIPE_ACCESS_DUPLEX,
                                       PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 65536, 65536, 0, nullptr);
        ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
        tavtest::writeFile(folder / "SimConnect.cfg", "[SimConnect]\nProtocol=Pipe\nPort=" + name + "\n");
        ScHandle handle = nullptr;
        ASSERT_EQ(SimConnect_Open(&handle, "Tavelorium_P3D", nullptr, 0, nullptr, 0), g_scOk);
        ASSERT_TRUE(ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED);
        char record[400];
        DWORD bytes = 0;
        ASSERT_TRUE(ReadFile(pipe, record, sizeof record, &bytes, nullptr));
        EXPECT_EQ(std::string(record, std::min<DWORD>(bytes, 31)),
                  sctest::requestHead(296, 0x01, 1).text("Tavelorium_P3D", 15).str());
        for (const std::string& m : {event, big, event + quit + event})
            ASSERT_TRUE(WriteFile(pipe, m.data(), static_cast<DWORD>(m.size()), &bytes, nullptr));
        sctest::Messages seen;
        ASSERT_EQ(sctest::dispatchUntil(handle, seen, 5), g_scOk);
        EXPECT_EQ(seen, (sctest::Messages{event, big, event, quit, event}));

        if (disconnect)
            DisconnectNamedPipe(pipe);
        CloseHandle(pipe);
        const ScHresult hr = sctest::dispatchUntil(handle, seen, 100);
        EXPECT_EQ(static_cast<uint32_t>(hr), error);
        EXPECT_EQ(gf_simConnectCloseReason(handle), ScCloseReason::RemoteDisconnect);
        EXPECT_EQ(SimConnect_AIRemoveObject(handle, 7, 105), hr);
        EXPECT_EQ(SimConnect_Close(handle), g_scOk);
    }
}
