#include <sys/stat.h>

#include "foundation/folder_walk.h"

std::optional<FolderId> gf_folderId(const std::filesystem::path& folder)
{
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        return std::nullopt;
    return FolderId{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}
