#include "foundation/file_helpers.h"

#include <atomic>
#include <string_view>

#include "foundation/atomic_file.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/text.h"

namespace fs = std::filesystem;

namespace {

std::atomic<OpenInExplorerSeam> g_explorerSeam{nullptr};
std::atomic<WarningBoxSeam> g_warningBoxSeam{nullptr};

bool lf_showFolderOf(const fs::path& file, std::string_view failure)
{
    if (gf_openInExplorer(file))
        return true;
    gf_showWarningBox(failure);
    return false;
}

template <typename Lines>
bool lf_writeLines(const Lines& lines, const fs::path& path)
{
    size_t size = 0;
    for (const std::string& line : lines)
        size += line.size() + 1;
    std::string bytes;
    bytes.reserve(size);
    for (const std::string& line : lines) {
        bytes += line;
        bytes += '\n';
    }
    return gf_writeFileAtomically(path, bytes);
}

bool lf_isXmlExtension(const fs::path& name)
{
    return gf_equalsUppercased(gf_pathToUtf8(name.extension()), ".XML");
}

// Entries are listed first and removed afterwards, so that the removal does not disturb
// the walk; the first failure ends it.
template <typename Wanted>
void lf_removeEntries(const fs::path& folder, std::string_view caller, Wanted wanted)
{
    try {
        if (!fs::is_directory(folder))
            return;
        std::vector<fs::path> entries;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            if (wanted(entry.path()))
                entries.push_back(entry.path());
        }
        for (const fs::path& entry : entries)
            fs::remove(entry);
    } catch (const std::exception& e) {
        gf_logErrorLine("{} exception: {}", caller, e.what());
    }
}

} // namespace

bool gf_writeLinesToFile(const std::vector<std::string>& lines, const fs::path& path)
{
    return lf_writeLines(lines, path);
}

bool gf_writeLinesToFile(const std::list<std::string>& lines, const fs::path& path)
{
    return lf_writeLines(lines, path);
}

void gf_removeFilesFromDirectory(const fs::path& folder)
{
    lf_removeEntries(folder, "gf_removeFilesFromDirectory", [](const fs::path&) { return true; });
}

void gf_removeXMLFilesFromDirectory()
{
    lf_removeEntries(gf_paths().tblo, "gf_removeXMLFilesFromDirectory",
                     [](const fs::path& entry) { return lf_isXmlExtension(entry.filename()); });
}

std::vector<std::string>& gf_listXmlFiles(std::vector<std::string>& files)
{
    const fs::path& folder = gf_paths().myThirdparty;
    if (!fs::exists(folder))
        return files;
    files.reserve(files.size() + 512);
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        const fs::path name = entry.path().filename();
        if (lf_isXmlExtension(name))
            files.push_back(gf_pathToUtf8(name.stem()));
    }
    return files;
}

bool gf_openInExplorer(const fs::path& path)
{
    if (const OpenInExplorerSeam seam = g_explorerSeam.load())
        return seam(path);
    return gf_shellOpenInExplorer(path);
}

void gf_showWarningBox(std::string_view text)
{
    if (const WarningBoxSeam seam = g_warningBoxSeam.load())
        seam(text);
    else
        gf_shellWarningBox(text);
}

void gf_setShellSeamsForTests(OpenInExplorerSeam explorer, WarningBoxSeam box)
{
    g_explorerSeam = explorer;
    g_warningBoxSeam = box;
}

bool gf_openManual()
{
    return lf_showFolderOf(gf_paths().manual, "Could not open local folder with Manual");
}

bool gf_openParametersFolder()
{
    return lf_showFolderOf(gf_parametersPath(), "Could not open folder with parameters.xml");
}
