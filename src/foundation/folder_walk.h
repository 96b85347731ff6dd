#pragma once
// A depth-first walk of a folder tree with a stack of folder iterators of its own:
// libstdc++'s recursive_directory_iterator ends the whole walk at the first unreadable
// folder, here such a folder costs only itself. Folder links are followed, and every
// folder is entered once, so that a link to a folder above cannot make the walk endless.
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class FolderWalk {
public:
    // The label begins the log line of a folder that cannot be read.
    FolderWalk(const std::filesystem::path& root, std::string label);

    // The next entry in walk order; nothing at the end. A folder is entered when the next
    // entry is asked for, unless dontEnter() came first.
    std::optional<std::filesystem::directory_entry> next();
    void dontEnter() { toEnter_.reset(); }

private:
    struct Level {
        std::filesystem::directory_iterator it;
        std::filesystem::path real; // the folder with its links resolved
    };

    struct Pending {
        std::filesystem::directory_entry folder;
        std::filesystem::path parentReal;
    };

    void enter(const std::filesystem::path& folder, std::filesystem::path real);

    std::string label_;
    std::vector<Level> stack_;
    std::unordered_set<std::filesystem::path::string_type> entered_;
    std::optional<Pending> toEnter_;
};
