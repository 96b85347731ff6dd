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

FolderWalk::FolderWalk(const fs::path& root, std::string label) : label_(std::move(label))
{
    std::error_code ec;
    fs::path real = fs::canonical(root, ec);
    if (ec) {
        gf_logErrorLine("{} skips {}: {}", label_, lf_textForLog(root), ec.message());
        return;
    }
    enter(root, std::move(real));
}

void FolderWalk::enter(const fs::path& folder, fs::path real)
{
    if (!entered_.insert(real.native()).second)
        return;
    std::error_code ec;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    if (ec) {
        gf_logErrorLine("{} skips {}: {}", label_, lf_textForLog(folder), ec.message());
        return;
    }
    stack_.push_back({std::move(it), std::move(real)});
}

std::optional<fs::directory_entry> FolderWalk::next()
{
    if (toEnter_) {
        const Pending pending = std::move(*toEnter_);
        toEnter_.reset();
        const fs::directory_entry& folder = pending.folder;
        std::error_code ec;
        // Only a link costs a look-up: a plain folder lies where its parent really is.
        fs::path real = folder.is_symlink(ec) ? fs::canonical(folder.path(), ec)
                                              : pending.parentReal / folder.path().filename();
        if (ec)
            gf_logErrorLine("{} skips {}: {}", label_, lf_textForLog(folder.path()), ec.message());
        else
            enter(folder.path(), std::move(real));
    }
    while (!stack_.empty()) {
        fs::directory_iterator& it = stack_.back().it;
        if (it == fs::directory_iterator()) {
            stack_.pop_back();
            continue;
        }
        fs::directory_entry entry = *it;
        std::error_code ec;
        if (entry.is_directory(ec))
            toEnter_ = Pending{entry, stack_.back().real};
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
