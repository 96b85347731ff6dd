#include <sys/stat.h>

#include <system_error>

#include "foundation/folder_walk.h"

std::optional<FolderId> gf_folderId(const std::filesystem::path& folder)
{
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        return std::nullopt;
    const FolderIdFaults faults = gf_folderIdFaults();
    const uint64_t inode = faults.indexZero ? 0 : static_cast<uint64_t>(info.st_ino);
    // Some FUSE file systems give every file inode 0.
    std::string resolved;
    if (inode == 0 && !faults.noResolvedPath) {
        std::error_code ec;
        resolved = std::filesystem::canonical(folder, ec).native();
    }
    return gf_folderIdOf(static_cast<uint64_t>(info.st_dev), inode, true, std::move(resolved));
}
