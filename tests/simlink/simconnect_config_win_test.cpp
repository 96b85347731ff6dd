#include <gtest/gtest.h>

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <random>

#include "foundation/text.h"
#include "simlink/simconnect/config.h"
#include "support/test_support.h"

namespace {

// A key of its own under HKEY_CURRENT_USER, removed with the object, so that tests
// running at the same time never see each other's values.
class TestKey {
public:
    TestKey() : path_("Software\\Tavelorium_P3D_tests\\ports" + std::to_string(std::random_device{}()))
    {
        RegCreateKeyExW(HKEY_CURRENT_USER, utf8_to_wide(path_).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                        nullptr);
    }
    ~TestKey()
    {
        RegCloseKey(key_);
        RegDeleteTreeW(HKEY_CURRENT_USER, utf8_to_wide(path_).c_str());
    }
    void set(const wchar_t* name, const std::wstring& value)
    {
        RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    HKEY key_ = nullptr;
};

std::filesystem::path lf_knownFolder(const KNOWNFOLDERID& id)
{
    PWSTR raw = nullptr;
    SHGetKnownFolderPath(id, 0, nullptr, &raw);
    std::filesystem::path p(raw);
    CoTaskMemFree(raw);
    return p;
}

} // namespace

TEST(SimConnectRegistry, PortsAreReadFromTheStringValues)
{
    TestKey key;
    key.set(L"SimConnect_Port_IPv4", L"500");
    key.set(L"SimConnect_Port_IPv6", L"501");
    const ScRegistryPorts ports = gf_readSimConnectRegistryPorts(key.path());
    EXPECT_EQ(ports.ipv4, "500");
    EXPECT_EQ(ports.ipv6, "501");
}

TEST(SimConnectRegistry, MissingOrOverlongValuesLeaveThePortEmpty)
{
    TestKey key;
    key.set(L"SimConnect_Port_IPv4", L"1234567890");
    key.set(L"SimConnect_Port_IPv6", L"123456789");
    const ScRegistryPorts ports = gf_readSimConnectRegistryPorts(key.path());
    EXPECT_EQ(ports.ipv4, "");
    EXPECT_EQ(ports.ipv6, "123456789");
    const ScRegistryPorts none = gf_readSimConnectRegistryPorts(key.path() + "\\missing");
    EXPECT_EQ(none.ipv4, "");
    EXPECT_EQ(none.ipv6, "");
    EXPECT_EQ(g_simConnectRegistryKey, "SOFTWARE\\Lockheed Martin\\Prepar3D v5");
}

TEST(SimConnectConfigFolders, PublicDocumentsThenDocumentsThenTheCurrentFolder)
{
    tavtest::TempFolder here("sccur");
    tavtest::CurrentFolder current(here.path());
    const auto folders = gf_simConnectConfigFolders();
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(folders[0], lf_knownFolder(FOLDERID_PublicDocuments));
    EXPECT_EQ(folders[1], lf_knownFolder(FOLDERID_Documents));
    EXPECT_TRUE(std::filesystem::equivalent(folders[2], here.path()));
}

TEST(SimConnectConfigFolders, ARelativeFileIsReadFromTheCurrentFolderNotTheWindowsFolder)
{
    tavtest::TempFolder here("sccur");
    tavtest::CurrentFolder current(here.path());
    tavtest::writeFile(here / "SimConnect.cfg", "[SimConnect]\nProtocol=IPv4\nPort=\"4711\"\n");
    const auto section = gf_readSimConnectSection("SimConnect.cfg", "SimConnect");
    ASSERT_TRUE(section);
    EXPECT_EQ(section->protocol, "IPv4");
    EXPECT_EQ(section->port, "4711");
    EXPECT_FALSE(section->address);
}
