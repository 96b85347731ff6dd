#include "foundation/file_generations.h"

#include <string>
#include <system_error>

#include "foundation/atomic_file.h"
#include "foundation/log.h"
#include "foundation/text.h"

namespace fs = std::filesystem;

namespace {

fs::path lf_generationName(const std::string& text, size_t dot, int zeros)
{
    std::string name = text;
    name.insert(dot, static_cast<size_t>(zeros), '0');
    return gf_pathFromUtf8(name);
}

void lf_copyGeneration(const fs::path& source, const fs::path& target, bool& ok)
{
    std::error_code ec;
    const fs::file_status status = fs::status(source, ec);
    if (status.type() == fs::file_type::not_found)
        return;
    if (ec) {
        gf_logErrorLine("exists({}): {}", gf_pathToUtf8(source), ec.message());
        ok = false;
        return;
    }
    if (!gf_copyFile(source, target, ec)) {
        gf_logErrorLine("copy {} -> {} failed: {}", gf_pathToUtf8(source), gf_pathToUtf8(target),
                        ec.message());
        ok = false;
    }
}

} // namespace

bool gf_saveUpto3GenerationsOf(const fs::path& file)
{
    const std::string text = gf_pathToUtf8(file);
    const size_t dot = text.rfind('.');
    if (dot == std::string::npos) {
        gf_logErrorLine("gf_saveUpto3GenerationsOf: no dot in filename: {}", text);
        return false;
    }
    const fs::path g1 = lf_generationName(text, dot, 1);
    const fs::path g2 = lf_generationName(text, dot, 2);
    const fs::path g3 = lf_generationName(text, dot, 3);
    bool ok = true;
    lf_copyGeneration(g2, g3, ok);
    lf_copyGeneration(g1, g2, ok);
    lf_copyGeneration(file, g1, ok);
    return ok;
}

void gf_save1GenerationOf(const fs::path& file)
{
    const std::string text = gf_pathToUtf8(file);
    const size_t dot = text.rfind('.');
    if (dot == std::string::npos) {
        gf_logErrorLine("gf_save1GenerationOf: no dot in filename: {}", text);
        return;
    }
    bool ok = true;
    lf_copyGeneration(file, lf_generationName(text, dot, 1), ok);
}
