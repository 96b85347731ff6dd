#include "foundation/folder_walk.h"

#include <system_error>
#include <utility>

#include "foundation/log.h"
#include "foundation/text.h"

namespace fs = std::filesystem;

namespace {

std::string lf_textForLog(const fs::path& path)
{
    try {
        return gf_pathToUtf8(path);
    } catch (const std::exception&) {
        return "(a path that cannot be written as UTF-8)";
    }
}

} // namespace

bool gf_fileIndexIsUnique(std::string_view fileSystem)
{
    const std::string name = gf_toUpperAscii(std::string(fileSystem));
    return name == "NTFS" || name == "FAT" || name == "FAT12" || name == "FAT16" || name == "FAT32" ||
           name == "EXFAT";
}

std::optional<FolderId> gf_folderIdOf(uint64_t volume, uint64_t index, bool indexUnique, std::string resolvedPath)
{
    if (index != 0 && indexUnique)
        return FolderId{volume, index, {}};
    if (resolvedPath.empty())
        return std::nullopt;
    return FolderId{volume, 0, std::move(resolvedPath)};
}

std::optional<bool> EnteredFolders::enterOnce(const fs::path& folder)
{
    const std::optional<FolderId> id = gf_folderId(folder);
    if (!id)
        return std::nullopt;
    const bool first = ids_.insert(*id).second;
    if (!first)
        gf_logLine("Folder {} skipped: it was entered before through another path", lf_textForLog(folder));
    return first;
}

FolderWalk::FolderWalk(const fs::path& root, std::string label) : label_(std::move(label))
{
    enter(root);
}

void FolderWalk::enter(const fs::path& folder)
{
    std::error_code ec;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    if (ec) {
        gf_logErrorLine("{} skips {}: {}", label_, lf_textForLog(folder), ec.message());
        return;
    }
    const std::optional<bool> first = entered_.enterOnce(folder);
    if (!first)
        gf_logErrorLine("{} skips {}: its file id cannot be read", label_, lf_textForLog(folder));
    else if (*first)
        stack_.push_back(std::move(it));
}

std::optional<fs::directory_entry> FolderWalk::next()
{
    if (toEnter_) {
        const fs::path folder = std::move(*toEnter_);
        toEnter_.reset();
        enter(folder);
    }
    while (!stack_.empty()) {
        fs::directory_iterator& it = stack_.back();
        if (it == fs::directory_iterator()) {
            stack_.pop_back();
            continue;
        }
        fs::directory_entry entry = *it;
        std::error_code ec;
        if (entry.is_directory(ec))
            toEnter_ = entry.path();
        it.increment(ec);
        if (ec) {
            gf_logErrorLine("{} skips the rest of {}: {}", label_, lf_textForLog(entry.path().parent_path()),
                            ec.message());
            stack_.pop_back();
        }
        return entry;
    }
    return std::nullopt;
}
