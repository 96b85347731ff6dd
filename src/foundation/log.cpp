#include "foundation/log.h"

#include <fstream>
#include <mutex>
#include <stdexcept>

#include "foundation/file_generations.h"
#include "foundation/text.h"
#include "foundation/time_text.h"
#include "foundation/version.h"

namespace {

// g_logMutex guards g_logStream: every write and every flush holds it, so a line is
// never split by another thread's line.
std::mutex g_logMutex;
std::ofstream g_logStream;

void lf_writeLine(std::string_view prefix, std::string_view text, bool flush)
{
    std::lock_guard lock(g_logMutex);
    if (!g_logStream.is_open())
        return;
    g_logStream.write(prefix.data(), static_cast<std::streamsize>(prefix.size()));
    g_logStream.write(text.data(), static_cast<std::streamsize>(text.size()));
    g_logStream.put('\n');
    if (flush)
        g_logStream.flush();
}

} // namespace

void gf_openLogAt(const std::filesystem::path& file)
{
    gf_saveUpto3GenerationsOf(file);
    {
        std::lock_guard lock(g_logMutex);
        if (g_logStream.is_open())
            g_logStream.close();
        g_logStream.clear();
        g_logStream.open(file, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!g_logStream.is_open())
            throw std::runtime_error("Failed to write file " + gf_pathToUtf8(file));
    }
    gf_logLine("{} (utc) {} version {} for {}", gf_timeText(gf_nowSeconds()), g_programName,
               gf_versionText(g_ownVersion), g_simulatorText);
}

void gf_openLog()
{
    gf_openLogAt("Log.txt");
}

void gf_closeLog()
{
    std::lock_guard lock(g_logMutex);
    if (g_logStream.is_open())
        g_logStream.close();
}

bool gf_logIsOpen()
{
    std::lock_guard lock(g_logMutex);
    return g_logStream.is_open();
}

void gf_logLine(std::string_view text)
{
    lf_writeLine({}, text, false);
}

void gf_logErrorLine(std::string_view text)
{
    lf_writeLine("==> ", text, true);
}

void gf_logContinuation(std::string_view text)
{
    lf_writeLine("          ", text, false);
}

void lf_logAndFlush(std::string_view text)
{
    lf_writeLine({}, text, true);
}

void gf_flushLog()
{
    std::lock_guard lock(g_logMutex);
    if (g_logStream.is_open())
        g_logStream.flush();
}
