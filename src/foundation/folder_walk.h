#pragma once
// A depth-first walk of a folder tree with a stack of folder iterators of its own:
// libstdc++'s recursive_directory_iterator ends the whole walk at the first unreadable
// folder, here such a folder costs only itself. Folder links are followed, and every
// folder is entered once, known by its file id (or, where that id is not to be trusted,
// its resolved path), so that a link to a folder above cannot make the walk endless
// (mingw-w64's is_symlink never sees a link or junction). A folder whose id cannot be had
// at all is walked too, as deep as a bound that ends a loop through such folders.
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
// opened or the system tells neither its index nor its resolved path.
std::optional<FolderId> gf_folderId(const std::filesystem::path& folder);

// Whether the file system keeps 64-bit file indexes unique per volume: NTFS and the FAT
// family do; ReFS's ids are 128 bits wide and network redirectors may give anything.
bool gf_fileIndexIsUnique(std::string_view fileSystem);
// The id from what the system gave: the index where it is unique and not 0, else the
// resolved path, else the index all the same where it is not 0 (on most such volumes it
// still tells folders apart); nothing when none of them is to be had.
std::optional<FolderId> gf_folderIdOf(uint64_t volume, uint64_t index, bool indexUnique, std::string resolvedPath);

// A walk enters a folder whose id cannot be had only this many folders below its root:
// deeper than add-on scenery and livery folders go, and the end of a loop of links
// through such folders.
inline constexpr size_t g_deepestFolderWithoutId = 12;

// The folders a walk has entered.
class EnteredFolders {
public:
    // Whether the walk enters the folder, depth folders below its root: the first time it
    // is met, not after (logged: a link led back to it). One whose id cannot be had is
    // entered while depth is below g_deepestFolderWithoutId; the first not entered for
    // that is logged with the label.
    bool enter(const std::filesystem::path& folder, size_t depth, std::string_view label);

private:
    std::unordered_set<FolderId, FolderIdHash> ids_;
    bool boundLogged_ = false;
};

// Test seam, not reachable by users: the system's answers about a folder's identity
// spoilt as some volumes spoil them.
struct FolderIdFaults {
    bool indexZero = false;      // the file index (inode) is 0
    bool indexNotUnique = false; // the file system may repeat indexes (Windows)
    bool noResolvedPath = false; // the resolved path cannot be had
};
void gf_setFolderIdFaultsForTests(const FolderIdFaults& faults);
FolderIdFaults gf_folderIdFaults();

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
