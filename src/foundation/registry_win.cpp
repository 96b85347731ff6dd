#include "foundation/registry.h"

#include <exception>

#include <windows.h>

namespace {

constexpr REGSAM kReadAccess = KEY_READ | KEY_WOW64_64KEY;
// A value that keeps changing between the size query and the read is given up on.
constexpr int kReadAttempts = 8;

const wchar_t* lf_p3dKeyPath(int32_t version)
{
    switch (version) {
    case 5: return L"SOFTWARE\\Lockheed Martin\\Prepar3D v5";
    case 6: return L"SOFTWARE\\Lockheed Martin\\Prepar3D v6";
    default: return nullptr;
    }
}

bool lf_isPredefinedKey(HKEY key)
{
    const auto v = reinterpret_cast<ULONG_PTR>(key);
    return (v >= reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT) && v <= reinterpret_cast<ULONG_PTR>(HKEY_CURRENT_CONFIG)) ||
           key == HKEY_CURRENT_USER_LOCAL_SETTINGS || key == HKEY_PERFORMANCE_TEXT || key == HKEY_PERFORMANCE_NLSTEXT;
}

// Owns one open key; the root keys are never closed.
struct RegKeyHolder {
    HKEY key = nullptr;
    RegKeyHolder() = default;
    RegKeyHolder(const RegKeyHolder&) = delete;
    RegKeyHolder& operator=(const RegKeyHolder&) = delete;
    ~RegKeyHolder();
};

void lf_closeRegKey(RegKeyHolder& holder)
{
    if (holder.key != nullptr && !lf_isPredefinedKey(holder.key))
        RegCloseKey(holder.key);
    holder.key = nullptr;
}

RegKeyHolder::~RegKeyHolder()
{
    lf_closeRegKey(*this);
}

void lf_openP3dKey(RegKeyHolder& holder, const wchar_t* path)
{
    HKEY key = nullptr;
    const LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, kReadAccess, &key);
    if (rc != ERROR_SUCCESS)
        throw winreg::RegException(rc, "RegOpenKeyExW failed.");
    holder.key = key;
}

std::wstring lf_regGetString(HKEY key, const wchar_t* name)
{
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        DWORD size = 0;
        LONG rc = RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &size);
        if (rc != ERROR_SUCCESS)
            throw winreg::RegException(rc, "Cannot get the size of the string value: RegGetValueW failed.");
        if (size < sizeof(wchar_t))
            return {};
        // An odd size is rounded up so that the buffer holds every byte announced.
        std::wstring text((size + 1) / sizeof(wchar_t), L'\0');
        DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        rc = RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, text.data(), &bytes);
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc != ERROR_SUCCESS)
            throw winreg::RegException(rc, "Cannot get the string value: RegGetValueW failed.");
        // The text ends at its first NUL: the one RegGetValueW adds, or one stored inside.
        text.resize(std::min<size_t>(text.size(), bytes / sizeof(wchar_t)));
        if (const size_t nul = text.find(L'\0'); nul != std::wstring::npos)
            text.resize(nul);
        return text;
    }
    throw winreg::RegException(ERROR_MORE_DATA, "Cannot get the string value: RegGetValueW failed.");
}

} // namespace

bool gf_p3dKeyExists(int32_t version) noexcept
{
    try {
        const wchar_t* path = lf_p3dKeyPath(version);
        if (path == nullptr)
            return false;
        RegKeyHolder holder;
        lf_openP3dKey(holder, path);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::filesystem::path gf_p3dSetupPath(int32_t version) noexcept
{
    try {
        const wchar_t* path = lf_p3dKeyPath(version);
        if (path == nullptr)
            return {};
        RegKeyHolder holder;
        lf_openP3dKey(holder, path);
        return std::filesystem::path(lf_regGetString(holder.key, L"SetupPath"));
    } catch (const std::exception&) {
        return {};
    }
}
