#include "support/test_support.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "foundation/log.h"
#include "foundation/text.h"

namespace fs = std::filesystem;

namespace tavtest {

TempFolder::TempFolder(std::string_view tag)
{
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = fs::temp_directory_path() /
                                   (std::string(tag) + "-" + std::to_string(rd()) + "-" + std::to_string(counter++));
        std::error_code ec;
        if (fs::create_directories(candidate, ec)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("TempFolder: cannot create a temporary folder");
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

fs::path TempFolder::operator/(std::string_view name) const
{
    return path_ / gf_pathFromUtf8(name);
}

std::string readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("readFile: cannot open " + gf_pathToUtf8(file));
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void writeFile(const fs::path& file, std::string_view bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("writeFile: cannot create " + gf_pathToUtf8(file));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

LogCapture::LogCapture() : folder_("log"), file_(folder_.path() / "Log.txt")
{
    gf_openLogAt(file_);
}

LogCapture::~LogCapture()
{
    gf_closeLog();
}

std::string LogCapture::text() const
{
    gf_flushLog();
    return readFile(file_);
}

std::vector<std::string> LogCapture::lines() const
{
    std::vector<std::string> result;
    std::istringstream in(text());
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

bool LogCapture::contains(std::string_view fragment) const
{
    return text().find(fragment) != std::string::npos;
}

CurrentFolder::CurrentFolder(const fs::path& folder) : previous_(fs::current_path())
{
    fs::current_path(folder);
}

CurrentFolder::~CurrentFolder()
{
    std::error_code ec;
    fs::current_path(previous_, ec);
}

} // namespace tavtest
