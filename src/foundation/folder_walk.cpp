#include "foundation/folder_walk.h"

#include <algorithm>
#include <atomic>
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
    if (!resolvedPath.empty())
        return FolderId{volume, 0, std::move(resolvedPath)};
    return std::nullopt;
}

std::optional<FolderListing> gf_folderListing(const fs::path& folder)
{
    std::error_code ec;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    if (ec)
        return std::nullopt;
    FolderListing listing;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        // What cannot be read of an entry counts as 0, the same at every listing.
        std::error_code entryEc;
        FolderListing::Entry entry{it->path().filename().native(), it->is_directory(entryEc)};
        if (!entry.folder) {
            const uintmax_t size = it->file_size(entryEc);
            entry.size = entryEc ? 0 : size;
        }
        const fs::file_time_type written = it->last_write_time(entryEc);
        entry.writeTime = entryEc ? 0 : static_cast<int64_t>(written.time_since_epoch().count());
        listing.entries.push_back(std::move(entry));
    }
    if (ec)
        return std::nullopt;
    std::sort(listing.entries.begin(), listing.entries.end());
    return listing;
}

bool EnteredFolders::enter(const fs::path& folder, size_t depth, std::string_view label)
{
    way_.resize(std::min(way_.size(), depth));
    const std::optional<FolderId> id = gf_folderId(folder);
    if (!id)
        return enterWithoutId(folder, depth, label);
    const bool first = ids_.insert(*id).second;
    if (!first)
        gf_logLine("Folder {} skipped: it was entered before through another path", lf_textForLog(folder));
    else
        way_.resize(depth + 1);
    return first;
}

bool EnteredFolders::enterWithoutId(const fs::path& folder, size_t depth, std::string_view label)
{
    if (depth > g_deepestFolderWithoutId) {
        if (!boundLogged_)
            gf_logErrorLine("{} does not enter {}: its file id cannot be read and it lies {} folders deep", label,
                            lf_textForLog(folder), depth);
        boundLogged_ = true;
        return false;
    }
    std::optional<FolderListing> listing = gf_folderListing(folder);
    // One that cannot be listed is entered: the walk reports what it cannot read. One that
    // holds a single folder and nothing else tells nothing: a chain X\X\X of such folders
    // may look alike, and a loop through only such folders hands out no file twice.
    const bool telling = listing && !(listing->entries.size() == 1 && listing->entries.front().folder);
    if (telling && std::find(way_.begin(), way_.end(), listing) != way_.end()) {
        gf_logLine("Folder {} skipped: it holds just what a folder above it holds, a link led back up",
                   lf_textForLog(folder));
        return false;
    }
    way_.resize(depth);
    way_.push_back(std::move(listing));
    return true;
}

namespace {
std::atomic<bool> g_faultIndexZero{false};
std::atomic<bool> g_faultIndexNotUnique{false};
std::atomic<bool> g_faultNoResolvedPath{false};
} // namespace

void gf_setFolderIdFaultsForTests(const FolderIdFaults& faults)
{
    g_faultIndexZero = faults.indexZero;
    g_faultIndexNotUnique = faults.indexNotUnique;
    g_faultNoResolvedPath = faults.noResolvedPath;
}

FolderIdFaults gf_folderIdFaults()
{
    return {g_faultIndexZero.load(), g_faultIndexNotUnique.load(), g_faultNoResolvedPath.load()};
}

FolderWalk::FolderWalk(const fs::path& root, std::string label) : FolderWalk(root, std::move(label), ownEntered_) {}

FolderWalk::FolderWalk(const fs::path& root, std::string label, EnteredFolders& entered)
    : label_(std::move(label)), entered_(entered)
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
    if (entered_.enter(folder, stack_.size(), label_))
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
