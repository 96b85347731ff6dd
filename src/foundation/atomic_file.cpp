#include "foundation/atomic_file.h"

#include <atomic>
#include <fstream>
#include <mutex>

#include <fmt/format.h>

#include "foundation/folders.h"
#include "foundation/text.h"

namespace fs = std::filesystem;

namespace {
constexpr std::string_view kTempSuffix = ".tavtmp";

// g_hookMutex guards g_beforeReplaceHook.
std::mutex g_hookMutex;
std::function<bool(const fs::path&)> g_beforeReplaceHook;

void lf_setError(std::string* error, std::string text)
{
    if (error != nullptr)
        *error = std::move(text);
}
} // namespace

fs::path gf_tempPathBeside(const fs::path& target)
{
    static std::atomic<uint64_t> saves{0};
    fs::path temp = target;
    temp += fmt::format(".{}-{}{}", gf_processId(), ++saves, kTempSuffix);
    return temp;
}

void gf_removeStaleTempFiles(const fs::path& folder)
{
    const std::string ours = fmt::format(".{}-", gf_processId());
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = gf_pathToUtf8(it->path().filename());
        if (!name.ends_with(kTempSuffix) || !it->is_regular_file(ec))
            continue;
        const std::string_view stem = std::string_view(name).substr(0, name.size() - kTempSuffix.size());
        const size_t dot = stem.rfind('.');
        if (dot != std::string_view::npos && stem.substr(dot).starts_with(ours))
            continue;
        std::error_code removeError;
        fs::remove(it->path(), removeError);
    }
}

void gf_removeStaleTempFiles()
{
    const ProgramPaths& p = gf_paths();
    for (const fs::path& folder : {gf_dataFolder(), fs::path("."), p.input, p.output, p.outputInfo, p.outputErrors,
                                   p.airports, p.learned, p.learnedStock, p.learnedSimaddon, p.learnedThirdparty,
                                   p.myOrbx, p.myThirdparty, p.tblo, p.newVersion})
        gf_removeStaleTempFiles(folder);
}

void gf_setBeforeReplaceHook(std::function<bool(const fs::path&)> hook)
{
    std::lock_guard lock(g_hookMutex);
    g_beforeReplaceHook = std::move(hook);
}

bool gf_commitTempFile(const fs::path& temp, const fs::path& target, std::string* error)
{
    std::error_code ec;
    if (!gf_syncFile(temp)) {
        lf_setError(error, "cannot flush " + gf_pathToUtf8(temp));
        fs::remove(temp, ec);
        return false;
    }
    {
        std::lock_guard lock(g_hookMutex);
        if (g_beforeReplaceHook && !g_beforeReplaceHook(temp)) {
            lf_setError(error, "interrupted before the replace");
            return false;
        }
    }
    if (!gf_replaceFile(temp, target, ec)) {
        lf_setError(error, "cannot replace " + gf_pathToUtf8(target) + ": " + ec.message());
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

bool gf_writeFileAtomically(const fs::path& target, std::string_view bytes, std::string* error)
{
    const fs::path temp = gf_tempPathBeside(target);
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            lf_setError(error, "cannot create " + gf_pathToUtf8(temp));
            return false;
        }
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            lf_setError(error, "cannot write " + gf_pathToUtf8(temp));
            std::error_code ec;
            fs::remove(temp, ec);
            return false;
        }
    }
    return gf_commitTempFile(temp, target, error);
}
