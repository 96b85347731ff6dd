#include "foundation/known_folders_win.h"

#include "foundation/text.h"
#include "simlink/simconnect/config.h"

namespace {

std::optional<std::string> lf_profileString(const std::wstring& section, const wchar_t* key, const std::wstring& file)
{
    // A default no file can hold tells a missing key from an empty one.
    constexpr wchar_t kMissing[] = L"\x01missing\x01";
    wchar_t value[256];
    GetPrivateProfileStringW(section.c_str(), key, kMissing, value, static_cast<DWORD>(std::size(value)), file.c_str());
    if (std::wstring_view(value) == kMissing)
        return std::nullopt;
    return wide_to_utf8(value);
}

} // namespace

std::vector<std::filesystem::path> gf_simConnectConfigFolders()
{
    std::error_code ec;
    return {gf_knownFolderPath(FOLDERID_PublicDocuments), gf_knownFolderPath(FOLDERID_Documents),
            std::filesystem::current_path(ec)};
}

std::optional<ScProfileSection> gf_readSimConnectSection(const std::filesystem::path& file, std::string_view section)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return std::nullopt;
    // The profile functions look for a bare name in the Windows folder.
    const std::wstring path = std::filesystem::absolute(file, ec).wstring();
    const std::wstring name = utf8_to_wide(section);
    wchar_t lines[4096];
    if (GetPrivateProfileSectionW(name.c_str(), lines, static_cast<DWORD>(std::size(lines)), path.c_str()) == 0)
        return std::nullopt;
    ScProfileSection result;
    result.protocol = lf_profileString(name, L"Protocol", path);
    result.address = lf_profileString(name, L"Address", path);
    result.port = lf_profileString(name, L"Port", path);
    result.maxReceiveSize = lf_profileString(name, L"MaxReceiveSize", path);
    result.disableNagle = lf_profileString(name, L"DisableNagle", path);
    return result;
}

ScRegistryPorts gf_readSimConnectRegistryPorts(std::string_view subKey)
{
    ScRegistryPorts ports;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, utf8_to_wide(subKey).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return ports;
    const auto read = [key](const wchar_t* valueName) -> std::string {
        wchar_t value[10] = {};
        DWORD type = 0;
        DWORD bytes = sizeof value;
        if (RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) != ERROR_SUCCESS ||
            type != REG_SZ)
            return {};
        const size_t length = std::min<size_t>(bytes / sizeof(wchar_t), std::size(value));
        return wide_to_utf8(std::wstring_view(value, wcsnlen(value, length)));
    };
    ports.ipv4 = read(L"SimConnect_Port_IPv4");
    ports.ipv6 = read(L"SimConnect_Port_IPv6");
    RegCloseKey(key);
    return ports;
}
