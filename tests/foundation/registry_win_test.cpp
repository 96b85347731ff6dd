#include <gtest/gtest.h>

#include <windows.h>

#include <tuple>

#include "foundation/registry.h"

// These tests write the real Prepar3D keys of the test's own Wine prefix; no other test
// program may use them. They never touch a machine where a key already exists.
namespace {

const wchar_t* const kMakerKey = L"SOFTWARE\\Lockheed Martin";
const wchar_t* const kKeys[] = {L"SOFTWARE\\Lockheed Martin\\Prepar3D v5", L"SOFTWARE\\Lockheed Martin\\Prepar3D v6"};

bool keyPresent(const wchar_t* path)
{
    HKEY k;
    const bool present = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WOW64_64KEY, &k) == ERROR_SUCCESS;
    if (present)
        RegCloseKey(k);
    return present;
}

void removeKey(int version)
{
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKeys[version - 5], KEY_WOW64_64KEY, 0);
}

// Creates the key, with a "SetupPath" of the given type and byte count unless REG_NONE
// (by default the text and its NUL).
void addKey(int version, DWORD type = REG_NONE, std::wstring_view data = {}, DWORD bytes = ~0u)
{
    HKEY k;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKeys[version - 5], 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    std::wstring buffer(data);
    buffer.resize(data.size() + 2);
    if (bytes == ~0u)
        bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    if (type != REG_NONE)
        RegSetValueExW(k, L"SetupPath", 0, type, reinterpret_cast<const BYTE*>(buffer.data()), bytes);
    RegCloseKey(k);
}

struct P3dRegistry : ::testing::Test {
    bool makerKeyExisted = true;
    void SetUp() override
    {
        if (keyPresent(kKeys[0]) || keyPresent(kKeys[1]))
            GTEST_SKIP() << "a Prepar3D key exists on this machine; it is left alone";
        makerKeyExisted = keyPresent(kMakerKey);
    }
    void TearDown() override
    {
        if (IsSkipped())
            return;
        removeKey(5);
        removeKey(6);
        if (!makerKeyExisted)
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kMakerKey, KEY_WOW64_64KEY, 0);
    }
};

} // namespace

TEST_F(P3dRegistry, EachVersionIsFoundByItsOwnKey)
{
    const bool v5AtStart = g_p3dV5Installed;
    for (const std::vector<int>& installed : std::vector<std::vector<int>>{{5}, {6}, {5, 6}}) {
        removeKey(5);
        removeKey(6);
        for (const int v : installed)
            addKey(v, REG_SZ, v == 5 ? L"C:\\P3Dv5\\" : L"D:\\Prepar3D v6");
        for (const int v : {5, 6}) {
            const bool has = installed.front() == v || installed.back() == v;
            EXPECT_EQ(gf_p3dKeyExists(v), has) << v;
            EXPECT_EQ(gf_p3dSetupPath(v).wstring(), !has ? L"" : v == 5 ? L"C:\\P3Dv5\\" : L"D:\\Prepar3D v6") << v;
        }
    }
    EXPECT_FALSE(gf_p3dKeyExists(4));
    EXPECT_TRUE(gf_p3dSetupPath(7).empty());
    EXPECT_EQ(static_cast<bool>(g_p3dV5Installed), v5AtStart); // read once, at the start
}

TEST_F(P3dRegistry, OddValuesGiveAnEmptyOrCutPathAndNeverThrow)
{
    addKey(5);
    EXPECT_TRUE(gf_p3dKeyExists(5));
    EXPECT_TRUE(gf_p3dSetupPath(5).empty());

    // Type, data, byte count (~0u: the text and its NUL), the path read.
    const std::wstring longPath = L"C:\\" + std::wstring(3000, L'x');
    const std::tuple<DWORD, std::wstring_view, DWORD, std::wstring_view> cases[] = {
        {REG_SZ, L"", ~0u, L""},
        {REG_SZ, L"", 0, L""},
        {REG_SZ, L"C", 1, L""},
        {REG_SZ, L"C:\\P3D", 12, L"C:\\P3D"}, // stored without its NUL
        {REG_SZ, std::wstring_view(L"C:\\P3D\0junk", 11), ~0u, L"C:\\P3D"},
        {REG_SZ, L"C:\\P3Dx", 13, L"C:\\P3D"},
        {REG_EXPAND_SZ, L"%TAV_TEST_SIMS%\\v5", ~0u, L"E:\\Sims\\v5"},
        {REG_DWORD, L"AB", 4, L""},
        {REG_SZ, longPath, ~0u, longPath},
    };
    SetEnvironmentVariableW(L"TAV_TEST_SIMS", L"E:\\Sims");
    for (const auto& [type, data, bytes, expected] : cases) {
        removeKey(5);
        addKey(5, type, data, bytes);
        EXPECT_EQ(gf_p3dSetupPath(5).wstring(), expected) << "type " << type << ", " << bytes << " bytes";
    }
}
