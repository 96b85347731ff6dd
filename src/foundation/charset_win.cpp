#include "foundation/text_files.h"

#include <climits>

#include <windows.h>

std::string gf_ansiToUtf8(std::string_view text)
{
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX))
        return {};
    const int inSize = static_cast<int>(text.size());
    int wideSize = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), inSize, nullptr, 0);
    if (wideSize < 1)
        wideSize = MultiByteToWideChar(CP_ACP, 0, text.data(), inSize, nullptr, 0);
    if (wideSize < 1)
        return {};
    // Bytes the code page does not define are converted the way Windows does, never refused.
    std::wstring wide(static_cast<size_t>(wideSize), L'\0');
    wideSize = MultiByteToWideChar(CP_ACP, 0, text.data(), inSize, wide.data(), wideSize);
    if (wideSize < 1)
        return {};
    const int outSize = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
    if (outSize < 1)
        return {};
    std::string out(static_cast<size_t>(outSize), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, out.data(), outSize, nullptr, nullptr);
    return out;
}

std::string gf_pathToAnsi(const std::filesystem::path& path)
{
    const std::wstring& wide = path.native();
    if (wide.empty() || wide.size() > static_cast<size_t>(INT_MAX))
        return {};
    const int inSize = static_cast<int>(wide.size());
    const int outSize = WideCharToMultiByte(CP_ACP, 0, wide.data(), inSize, nullptr, 0, nullptr, nullptr);
    if (outSize < 1)
        return {};
    std::string out(static_cast<size_t>(outSize), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), inSize, out.data(), outSize, nullptr, nullptr);
    return out;
}
