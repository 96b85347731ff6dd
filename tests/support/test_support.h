#pragma once
// Shared test helpers: temporary folders, file contents and a log that tests can read.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tavtest {

// A new empty folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    explicit TempFolder(std::string_view tag = "tav");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const;

private:
    std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, std::string_view bytes);
// The names of the entries of a folder, sorted.
std::vector<std::string> namesIn(const std::filesystem::path& folder);

// Opens the process log in a temporary folder for the life of the object; text() gives
// what has been written so far.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    std::string text() const;
    std::vector<std::string> lines() const;
    bool contains(std::string_view fragment) const;
    const std::filesystem::path& file() const { return file_; }

private:
    TempFolder folder_;
    std::filesystem::path file_;
};

// Runs the current folder elsewhere for the life of the object.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::filesystem::path& folder);
    ~CurrentFolder();

private:
    std::filesystem::path previous_;
};

} // namespace tavtest
