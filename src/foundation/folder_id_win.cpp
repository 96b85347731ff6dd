#include <windows.h>

#include <string>
#include <vector>

#include "foundation/folder_id_win.h"
#include "foundation/folder_walk.h"
#include "foundation/text.h"

namespace {

// The handle is the folder that a link or junction leads to (no FILE_FLAG_OPEN_REPARSE_POINT);
// FILE_FLAG_BACKUP_SEMANTICS lets a folder be opened at all.
HANDLE lf_openFolder(const std::filesystem::path& folder)
{
    return CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

std::string lf_finalPath(HANDLE handle)
{
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return {};
        if (length < buffer.size())
            return gf_pathToUtf8(std::filesystem::path(std::wstring(buffer.data(), length)));
        buffer.resize(length + 1);
    }
    return {};
}

std::string lf_fileSystemName(HANDLE handle)
{
    wchar_t name[MAX_PATH + 1] = {};
    if (!GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, nullptr, nullptr, name, MAX_PATH + 1))
        return {};
    return gf_pathToUtf8(std::filesystem::path(name));
}

} // namespace

std::string gf_resolvedFolderPath(const std::filesystem::path& folder)
{
    const HANDLE handle = lf_openFolder(folder);
    if (handle == INVALID_HANDLE_VALUE)
        return {};
    std::string path = lf_finalPath(handle);
    CloseHandle(handle);
    return path;
}

std::optional<FolderId> gf_folderId(const std::filesystem::path& folder)
{
    const HANDLE handle = lf_openFolder(folder);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    const FolderIdFaults faults = gf_folderIdFaults();
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL ok = GetFileInformationByHandle(handle, &info);
    const uint64_t index =
        faults.indexZero ? 0 : (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    const bool unique = !faults.indexNotUnique && gf_fileIndexIsUnique(lf_fileSystemName(handle));
    const std::string resolved =
        ok && (index == 0 || !unique) && !faults.noResolvedPath ? lf_finalPath(handle) : std::string();
    CloseHandle(handle);
    if (!ok)
        return std::nullopt;
    return gf_folderIdOf(info.dwVolumeSerialNumber, index, unique, resolved);
}
