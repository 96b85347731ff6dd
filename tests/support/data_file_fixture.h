#pragma once
// Data files for the readers' tests, made by the data-file builder's library: a program
// folder that is the current folder, a small database to change per test, and the
// encrypted files written into its "input" folder.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "databuild/data_files.h"
#include "databuild/encrypt.h"
#include "support/test_support.h"

namespace tavtest {

// A temporary program folder with its "input" folder, the current folder while it lives.
class ProgramFolder {
public:
    ProgramFolder();
    std::filesystem::path input(std::string_view name) const;

private:
    TempFolder folder_;
    CurrentFolder current_;
};

// A few types of every category (span, similar group), airlines ABC, DEF, ZZZ, cargo
// operator DEF, a publisher, a fix, add-on airports.
databuild::HandTables smallHandTables();
std::vector<databuild::OpenAirline> smallAirlines();
databuild::XmlFileContent smallDbase(const std::vector<databuild::Registration>& records = {});

// Encrypts the content with the program's key into input\<name>.
void writeEncryptedInput(std::string_view name, std::string_view plain);

// Encrypted files made with the builder's push side of the cipher the program decrypts: a
// header of 24 bytes, then chunks of 4096 plain bytes (4113 encrypted), FINAL on the last.
using databuild::encryptDataFile;
inline constexpr size_t kEncryptedHeaderBytes = 24;
inline constexpr size_t kEncryptedChunkBytes = 4113;
inline DataFileKey productDataFileKey()
{
    return databuild::productKey();
}
// The program's key with one byte changed.
DataFileKey otherDataFileKey();
// Reproducible bytes of every value.
std::string patternBytes(size_t size, unsigned seed = 1);

// The tools folder of the source tree (the builder's data and its npm inputs).
std::filesystem::path toolsFolder();

} // namespace tavtest
