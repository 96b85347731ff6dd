#pragma once
// A depth-first walk of a folder tree with a stack of folder iterators of its own:
// libstdc++'s recursive_directory_iterator ends the whole walk at the first unreadable
// folder, here such a folder costs only itself. Folder links are followed, and every
// folder is entered once, known by its file id (or, where that id is not to be trusted,
// its resolved path), so that a link to a folder above cannot make the walk endless
// (mingw-w64's is_symlink never sees a link or junction).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// What tells a folder apart whatever path leads to it: the volume serial number and file
// index on Windows, the device and inode elsewhere; or, where the index is not to be
// trusted, the volume and the folder's resolved path (links followed).
struct FolderId {
    uint64_t volume = 0;
    uint64_t index = 0;
    std::string resolvedPath; // empty when the index tells
    bool operator==(const FolderId&) const = default;
};

struct FolderIdHash {
    size_t operator()(const FolderId& id) const noexcept
    {
        return std::hash<uint64_t>{}(id.index * 0x9E3779B97F4A7C15ull ^ id.volume) ^
               std::hash<std::string>{}(id.resolvedPath);
    }
};

// The id of the folder that the path leads to (through links); nothing when it cannot be
// opened, or when its resolved path is needed and cannot be had.
std::optional<FolderId> gf_folderId(const std::filesystem::path& folder);

// Whether the file system keeps 64-bit file indexes unique per volume: NTFS and the FAT
// family do; ReFS's ids are 128 bits wide and network redirectors may give anything.
bool gf_fileIndexIsUnique(std::string_view fileSystem);
// The id from what the system gave: the index where it is unique and not 0, else the
// resolved path (nothing when that is empty).
std::optional<FolderId> gf_folderIdOf(uint64_t volume, uint64_t index, bool indexUnique, std::string resolvedPath);

// The folders a walk has entered.
class EnteredFolders {
public:
    // True the first time a folder is met, false after (logged: a link led back to it);
    // nothing when its id cannot be read (it is then not entered either: it might lead
    // back).
    std::optional<bool> enterOnce(const std::filesystem::path& folder);

private:
    std::unordered_set<FolderId, FolderIdHash> ids_;
};

class FolderWalk {
public:
    // The label begins the log line of a folder that cannot be read.
    FolderWalk(const std::filesystem::path& root, std::string label);

    // The next entry in walk order; nothing at the end. A folder is entered when the next
    // entry is asked for, unless dontEnter() came first.
    std::optional<std::filesystem::directory_entry> next();
    void dontEnter() { toEnter_.reset(); }

private:
    void enter(const std::filesystem::path& folder);

    std::string label_;
    std::vector<std::filesystem::directory_iterator> stack_;
    EnteredFolders entered_;
    std::optional<std::filesystem::path> toEnter_;
};
