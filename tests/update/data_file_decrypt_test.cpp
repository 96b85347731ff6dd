#include <gtest/gtest.h>

#include "foundation/text.h"
#include "support/data_file_fixture.h"
#include "support/test_support.h"
#include "update/data_file_decrypt.h"

namespace fs = std::filesystem;
using tavtest::encryptDataFile;
using tavtest::patternBytes;
using tavtest::readFile;
using tavtest::TempFolder;
using tavtest::writeFile;

namespace {

// Decrypts the bytes into a stale plain file; the log of the attempt.
std::string lf_decryptFails(const fs::path& folder, const std::string& encrypted)
{
    writeFile(folder / "airports.enc", encrypted);
    writeFile(folder / "airports.xml", "stale plain text from an earlier run");
    tavtest::LogCapture log;
    EXPECT_FALSE(gf_streamDecrypt(folder / "airports.enc", folder / "airports.xml"));
    EXPECT_FALSE(fs::exists(folder / "airports.xml"));
    return log.text();
}

} // namespace

TEST(Decrypt, EverySizeRoundTripsExactlyUnderAFolderOfAnyCharactersAndBytesAfterTheFinalChunkAreIgnored)
{
    TempFolder folder;
    const fs::path sub = folder / "J\xc3\xbcrgen \xe6\x97\xa5\xe6\x9c\xac";
    fs::create_directories(sub);
    tavtest::LogCapture log;
    for (const size_t size : {0, 1, 4095, 4096, 4097, 5000, 8192, 12288, 1 << 20}) {
        for (const bool emptyFinalChunk : {false, true}) {
            for (const std::string& junk : {std::string(), std::string("junk"), std::string(5000, 'j')}) {
                SCOPED_TRACE(testing::Message() << size << " " << emptyFinalChunk << " " << junk.size());
                const std::string plain = patternBytes(size);
                writeFile(sub / "dbase.enc", encryptDataFile(plain, databuild::productKey(), emptyFinalChunk) + junk);
                ASSERT_TRUE(gf_streamDecrypt(sub / "dbase.enc", sub / "dbase.xml"));
                EXPECT_EQ(readFile(sub / "dbase.xml"), plain);
            }
        }
    }
    EXPECT_FALSE(log.contains("exception"));
}

TEST(Decrypt, DamagedCutOrForeignFilesFailWithTheirTextAndLeaveNoPlainFile)
{
    // A header of 24 bytes, then chunks of 4096 plain bytes (4113 encrypted), FINAL on the
    // last: here two full chunks and a FINAL one.
    constexpr size_t kHeader = 24, kChunk = 4113;
    const std::string whole = encryptDataFile(patternBytes(12288), databuild::productKey());
    const std::string emptyFinal = encryptDataFile(patternBytes(8192), databuild::productKey(), true);
    std::string lastDamaged = encryptDataFile(patternBytes(5000), databuild::productKey()) + "junk";
    lastDamaged[lastDamaged.size() - 7] ^= 0x01;
    DataFileKey otherKey = databuild::productKey();
    otherKey[7] ^= 0x5a;
    const auto flipped = [&whole](size_t at) {
        std::string bytes = whole;
        bytes.at(at) ^= 0x01;
        return bytes;
    };
    const std::pair<std::string, const char*> cases[] = {
        {encryptDataFile(patternBytes(5000), otherKey), "Decryption failed"},
        {flipped(3), "Decryption failed"},
        {flipped(kHeader + 100), "Decryption failed"},
        {flipped(kHeader + kChunk + 4000), "Decryption failed"},
        {flipped(kHeader + 2 * kChunk + 50), "Decryption failed"},
        {whole.substr(0, kHeader + 2000), "Decryption failed"},
        {whole.substr(0, kHeader + 2 * kChunk + 10), "Decryption failed"},
        {whole.substr(0, kHeader) + whole.substr(kHeader + kChunk, kChunk) + whole.substr(kHeader, kChunk) +
             whole.substr(kHeader + 2 * kChunk),
         "Decryption failed"},
        {lastDamaged, "Decryption failed"},
        {whole.substr(0, kHeader + kChunk), "Truncated file"},
        {emptyFinal.substr(0, emptyFinal.size() - 17), "Truncated file"},
        {whole.substr(0, kHeader), "Truncated file"},
        {whole.substr(0, 23), "Truncated file"},
        {"", "Truncated file"},
    };
    TempFolder folder;
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::string log = lf_decryptFails(folder.path(), cases[i].first);
        EXPECT_NE(log.find(std::string("gf_streamDecrypt exception: ") + cases[i].second), std::string::npos)
            << "case " << i << ":\n" << log;
        EXPECT_EQ(log.find("Warning"), std::string::npos) << "case " << i;
    }
}

TEST(Decrypt, AMissingInputOrOutputFolderIsLoggedWithItsPathAndARemovalWarnsOnlyOfAFailure)
{
    TempFolder folder;
    tavtest::LogCapture log;
    writeFile(folder / "dbase.xml", "stale");
    EXPECT_FALSE(gf_streamDecrypt(folder / "dbase.enc", folder / "dbase.xml"));
    EXPECT_TRUE(log.contains("gf_streamDecrypt exception: Could not open input file: " +
                             gf_pathToUtf8(folder / "dbase.enc")));
    EXPECT_FALSE(fs::exists(folder / "dbase.xml"));

    const std::string encrypted = encryptDataFile("x", databuild::productKey());
    writeFile(folder / "a.enc", encrypted);
    EXPECT_FALSE(gf_streamDecrypt(folder / "a.enc", folder / "no" / "a.xml"));
    EXPECT_TRUE(log.contains("gf_streamDecrypt exception: Could not open output file: " +
                             gf_pathToUtf8(folder / "no" / "a.xml")));
    EXPECT_EQ(readFile(folder / "a.enc"), encrypted);

    gf_removeWithWarning(folder / "none.xml");
    gf_removeWithWarning(folder / "a.enc");
    EXPECT_FALSE(fs::exists(folder / "a.enc"));
    EXPECT_FALSE(log.contains("Warning")) << log.text();
    fs::create_directories(folder / "busy" / "inner");
    gf_removeWithWarning(folder / "busy");
    EXPECT_TRUE(log.contains("==> Warning: could not remove " + gf_pathToUtf8(folder / "busy") + ", errorcode: "))
        << log.text();
}
