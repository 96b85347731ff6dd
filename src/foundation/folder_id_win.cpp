#include <windows.h>

#include "foundation/folder_walk.h"

std::optional<FolderId> gf_folderId(const std::filesystem::path& folder)
{
    // Without FILE_FLAG_OPEN_REPARSE_POINT the handle is the folder that a link or junction
    // leads to; FILE_FLAG_BACKUP_SEMANTICS lets a folder be opened at all.
    const HANDLE handle = CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL ok = GetFileInformationByHandle(handle, &info);
    CloseHandle(handle);
    if (!ok)
        return std::nullopt;
    return FolderId{info.dwVolumeSerialNumber,
                    (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}
