#pragma once
// A depth-first walk of a folder tree with a stack of folder iterators of its own:
// libstdc++'s recursive_directory_iterator ends the whole walk at the first unreadable
// folder, here such a folder costs only itself. Folder links are followed, and every
// folder is entered once, known by its file id (or, where that id is not to be trusted,
// its resolved path), so that a link to a folder above cannot make the walk endless
// (mingw-w64's is_symlink never sees a link or junction). A folder whose id cannot be had
// at all is walked too, unless it holds just what a folder above it on the way holds: a
// link back up, whose loop would hand out the same files again and again (what it holds
// tells only when that is more than a single folder, see FolderListing).
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
// opened or the system tells neither an index to be trusted nor its resolved path.
std::optional<FolderId> gf_folderId(const std::filesystem::path& folder);

// Whether the file system keeps 64-bit file indexes unique per volume: NTFS and the FAT
// family do; ReFS's ids are 128 bits wide and network redirectors may give anything.
bool gf_fileIndexIsUnique(std::string_view fileSystem);
// The id from what the system gave: the index where it is unique and not 0, else the
// resolved path; nothing when neither is to be had (an index that may repeat could make
// two folders one, and the walk would miss the second).
std::optional<FolderId> gf_folderIdOf(uint64_t volume, uint64_t index, bool indexUnique, std::string resolvedPath);

// A walk enters a folder whose id cannot be had only this many folders below its root: far
// deeper than add-on scenery and livery folders go, the end of a loop of links that the
// listings cannot tell (a folder written to all the while the walk goes round it).
inline constexpr size_t g_deepestFolderWithoutId = 64;

// What a folder whose id cannot be had holds: every entry's name, kind, size and write
// time, sorted. Two folders on one way down that hold the same are one folder reached
// again through a link. (The folder's own write time is not asked: on Windows a link
// has its own.)
struct FolderListing {
    struct Entry {
        std::filesystem::path::string_type name;
        bool folder = false;
        uintmax_t size = 0;
        int64_t writeTime = 0;
        auto operator<=>(const Entry&) const = default;
    };
    std::vector<Entry> entries;
    bool operator==(const FolderListing&) const = default;
};
// Nothing when the folder cannot be listed in full.
std::optional<FolderListing> gf_folderListing(const std::filesystem::path& folder);

// The folders one walk, or the walks of one scan, have entered.
class EnteredFolders {
public:
    // Whether the walk enters the folder, depth folders below its root (called in walk
    // order): the first time it is met, not after (logged: a link led back to it). One
    // whose id cannot be had is entered unless it holds just what a folder above it on the
    // way down holds, more than a single folder (logged), and while depth is at most
    // g_deepestFolderWithoutId (the first not entered for that is logged with the label).
    bool enter(const std::filesystem::path& folder, size_t depth, std::string_view label);

private:
    bool enterWithoutId(const std::filesystem::path& folder, size_t depth, std::string_view label);

    std::unordered_set<FolderId, FolderIdHash> ids_;
    // The listings of the folders on the way down to the present one, by depth; nothing
    // for a folder known by its id.
    std::vector<std::optional<FolderListing>> way_;
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
    // The label begins the log line of a folder that cannot be read. Walks given the same
    // entered folders enter each folder once between them.
    FolderWalk(const std::filesystem::path& root, std::string label);
    FolderWalk(const std::filesystem::path& root, std::string label, EnteredFolders& entered);
    FolderWalk(const FolderWalk&) = delete;
    FolderWalk& operator=(const FolderWalk&) = delete;

    // The next entry in walk order; nothing at the end. A folder is entered when the next
    // entry is asked for, unless dontEnter() came first.
    std::optional<std::filesystem::directory_entry> next();
    void dontEnter() { toEnter_.reset(); }

private:
    void enter(const std::filesystem::path& folder);

    std::string label_;
    std::vector<std::filesystem::directory_iterator> stack_;
    EnteredFolders ownEntered_;
    EnteredFolders& entered_;
    std::optional<std::filesystem::path> toEnter_;
};
