#include "foundation/folders.h"

#include <mutex>

#include "foundation/text.h"

namespace {
// Built on first use, so that settings built during static initialisation can name it.
struct DataFolder {
    std::mutex mutex; // guards path, which a test may redirect
    std::filesystem::path path = gf_appDataPath() / gf_pathFromUtf8(g_dataFolderName);
};

DataFolder& lf_dataFolder()
{
    static DataFolder folder;
    return folder;
}
} // namespace

const ProgramPaths& gf_paths()
{
    static const ProgramPaths paths;
    return paths;
}

std::filesystem::path gf_dataFolder()
{
    DataFolder& d = lf_dataFolder();
    std::lock_guard lock(d.mutex);
    return d.path;
}

std::filesystem::path gf_parametersPath()
{
    return gf_dataFolder() / gf_pathFromUtf8(g_parametersFileName);
}

std::string gf_parametersPathText()
{
    return gf_pathToUtf8(gf_parametersPath());
}

void gf_overrideDataFolder(const std::filesystem::path& folder)
{
    DataFolder& d = lf_dataFolder();
    std::lock_guard lock(d.mutex);
    d.path = folder;
}
