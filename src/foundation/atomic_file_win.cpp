#include "foundation/atomic_file.h"

#include <windows.h>

bool gf_replaceFile(const std::filesystem::path& source, const std::filesystem::path& target,
                    std::error_code& ec)
{
    // The target may be held for a moment: by another save of it being replaced at the
    // same time, or by a virus scanner.
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == 20) {
            ec = std::error_code(static_cast<int>(error), std::system_category());
            return false;
        }
        Sleep(10);
    }
}

bool gf_syncFile(const std::filesystem::path& file)
{
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = FlushFileBuffers(h) != 0;
    CloseHandle(h);
    return ok;
}

bool gf_copyFile(const std::filesystem::path& source, const std::filesystem::path& target,
                 std::error_code& ec)
{
    if (CopyFileW(source.c_str(), target.c_str(), FALSE))
        return true;
    ec = std::error_code(static_cast<int>(GetLastError()), std::system_category());
    return false;
}

uint32_t gf_processId()
{
    return static_cast<uint32_t>(GetCurrentProcessId());
}
