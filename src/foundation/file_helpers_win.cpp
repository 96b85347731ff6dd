#include "foundation/file_helpers.h"

#include <exception>
#include <system_error>

#include <windows.h>
#include <shellapi.h>

#include "foundation/log.h"
#include "foundation/text.h"

namespace fs = std::filesystem;

bool gf_shellOpenInExplorer(const fs::path& path)
{
    std::error_code ec;
    if (!fs::exists(path, ec))
        return false;
    const fs::path folder = fs::absolute(path, ec).parent_path();
    if (ec)
        return false;
    const auto rc = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return rc > 32;
}

void gf_shellWarningBox(std::string_view text)
{
    std::wstring wide;
    try {
        wide = utf8_to_wide(text);
    } catch (const std::exception& e) {
        gf_logErrorLine("utf8_to_wide failed for '{}': {}", text, e.what());
        return;
    }
    MessageBoxW(nullptr, wide.c_str(), L"Tavelorium", MB_OK | MB_ICONWARNING);
}
