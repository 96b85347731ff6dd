#pragma once
// A depth-first walk of a folder tree with a stack of folder iterators of its own:
// libstdc++'s recursive_directory_iterator ends the whole walk at the first unreadable
// folder, here such a folder costs only itself. Folder links are followed, and every
// folder is entered once, known by its file id, so that a link to a folder above cannot
// make the walk endless (mingw-w64's is_symlink never sees a link or junction).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

// What tells a folder apart whatever path leads to it: the volume serial number and file
// index on Windows, the device and inode elsewhere.
struct FolderId {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FolderId&) const = default;
};

struct FolderIdHash {
    size_t operator()(const FolderId& id) const noexcept
    {
        return std::hash<uint64_t>{}(id.index * 0x9E3779B97F4A7C15ull ^ id.volume);
    }
};

// The id of the folder that the path leads to (through links); nothing when it cannot be
// opened.
std::optional<FolderId> gf_folderId(const std::filesystem::path& folder);

// The folders a walk has entered.
class EnteredFolders {
public:
    // True the first time a folder is met, false after; nothing when its id cannot be read
    // (it is then not entered either: it might lead back).
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
