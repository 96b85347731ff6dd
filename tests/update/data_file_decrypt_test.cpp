#include <gtest/gtest.h>

#include <functional>

#include "foundation/text.h"
#include "support/encrypted_fixture.h"
#include "support/test_support.h"
#include "update/data_file_decrypt.h"

namespace fs = std::filesystem;
using tavtest::kEncryptedChunkBytes;
using tavtest::kEncryptedHeaderBytes;
using tavtest::readFile;
using tavtest::TempFolder;
using tavtest::writeFile;

namespace {

struct RoundTrip {
    size_t plainBytes;
    bool emptyFinalChunk;
};

class DecryptRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(DecryptRoundTrip, GivesTheExactPlainBytes)
{
    TempFolder folder;
    const std::string plain = tavtest::patternBytes(GetParam().plainBytes);
    writeFile(folder / "dbase.enc",
              tavtest::encryptDataFile(plain, tavtest::productDataFileKey(), GetParam().emptyFinalChunk));
    tavtest::LogCapture log;
    ASSERT_TRUE(gf_streamDecrypt(folder / "dbase.enc", folder / "dbase.xml"));
    EXPECT_EQ(readFile(folder / "dbase.xml"), plain);
    EXPECT_FALSE(log.contains("exception"));
}

INSTANTIATE_TEST_SUITE_P(Sizes, DecryptRoundTrip,
                         ::testing::Values(RoundTrip{0, false}, RoundTrip{1, false}, RoundTrip{4095, false},
                                           RoundTrip{4096, false}, RoundTrip{4096, true}, RoundTrip{4097, false},
                                           RoundTrip{12288, false}, RoundTrip{12288, true},
                                           RoundTrip{1 << 20, false}, RoundTrip{1 << 20, true}));

// 12288 plain bytes: header, two full chunks, and a FINAL chunk of 4113 bytes.
std::string lf_threeChunkFile()
{
    return tavtest::encryptDataFile(tavtest::patternBytes(12288), tavtest::productDataFileKey());
}

struct Damage {
    const char* name;
    std::function<std::string()> encrypted;
    const char* expectedText;
};

class DecryptDamage : public ::testing::TestWithParam<Damage> {};

TEST_P(DecryptDamage, FailsWithItsTextAndLeavesNoPlainFile)
{
    TempFolder folder;
    writeFile(folder / "airports.enc", GetParam().encrypted());
    writeFile(folder / "airports.xml", "stale plain text from an earlier run");
    tavtest::LogCapture log;
    EXPECT_FALSE(gf_streamDecrypt(folder / "airports.enc", folder / "airports.xml"));
    EXPECT_TRUE(log.contains(std::string("gf_streamDecrypt exception: ") + GetParam().expectedText))
        << log.text();
    EXPECT_FALSE(fs::exists(folder / "airports.xml"));
    EXPECT_FALSE(log.contains("Warning"));
}

std::string lf_flipped(size_t offset)
{
    std::string bytes = lf_threeChunkFile();
    bytes.at(offset) ^= 0x01;
    return bytes;
}

const Damage kDamages[] = {
    {"AnotherKey",
     [] { return tavtest::encryptDataFile(tavtest::patternBytes(5000), tavtest::otherDataFileKey()); },
     "Decryption failed"},
    {"FlippedHeaderByte", [] { return lf_flipped(3); }, "Decryption failed"},
    {"FlippedByteInFirstChunk", [] { return lf_flipped(kEncryptedHeaderBytes + 100); }, "Decryption failed"},
    {"FlippedByteInMiddleChunk", [] { return lf_flipped(kEncryptedHeaderBytes + kEncryptedChunkBytes + 4000); },
     "Decryption failed"},
    {"CutInsideTheFirstChunk", [] { return lf_threeChunkFile().substr(0, kEncryptedHeaderBytes + 2000); },
     "Decryption failed"},
    {"CutInsideTheFinalChunk",
     [] { return lf_threeChunkFile().substr(0, kEncryptedHeaderBytes + 2 * kEncryptedChunkBytes + 10); },
     "Decryption failed"},
    {"CutAtAChunkBoundary", [] { return lf_threeChunkFile().substr(0, kEncryptedHeaderBytes + kEncryptedChunkBytes); },
     "Truncated file"},
    {"CutBeforeTheEmptyFinalChunk",
     [] {
         const std::string whole =
             tavtest::encryptDataFile(tavtest::patternBytes(8192), tavtest::productDataFileKey(), true);
         return whole.substr(0, whole.size() - 17);
     },
     "Truncated file"},
    {"HeaderOnly", [] { return lf_threeChunkFile().substr(0, kEncryptedHeaderBytes); }, "Truncated file"},
    {"ShortHeader", [] { return lf_threeChunkFile().substr(0, 23); }, "Truncated file"},
    {"EmptyFile", [] { return std::string(); }, "Truncated file"},
    {"SwappedChunks",
     [] {
         const std::string whole = lf_threeChunkFile();
         return whole.substr(0, kEncryptedHeaderBytes) +
                whole.substr(kEncryptedHeaderBytes + kEncryptedChunkBytes, kEncryptedChunkBytes) +
                whole.substr(kEncryptedHeaderBytes, kEncryptedChunkBytes) +
                whole.substr(kEncryptedHeaderBytes + 2 * kEncryptedChunkBytes);
     },
     "Decryption failed"},
};

INSTANTIATE_TEST_SUITE_P(Files, DecryptDamage, ::testing::ValuesIn(kDamages),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(Decrypt, BytesAfterAFullFinalChunkAreNotRead)
{
    TempFolder folder;
    const std::string plain = tavtest::patternBytes(8192);
    writeFile(folder / "a.enc", tavtest::encryptDataFile(plain, tavtest::productDataFileKey()) + "trailing junk");
    ASSERT_TRUE(gf_streamDecrypt(folder / "a.enc", folder / "a.xml"));
    EXPECT_EQ(readFile(folder / "a.xml"), plain);
}

TEST(Decrypt, BytesAfterAShortFinalChunkAreIgnoredButADamagedLastChunkFails)
{
    TempFolder folder;
    const std::string plain = tavtest::patternBytes(5000);
    const std::string encrypted = tavtest::encryptDataFile(plain, tavtest::productDataFileKey());
    for (const std::string& junk : {std::string("junk"), std::string(5000, 'j')}) {
        writeFile(folder / "a.enc", encrypted + junk);
        ASSERT_TRUE(gf_streamDecrypt(folder / "a.enc", folder / "a.xml")) << junk.size();
        EXPECT_EQ(readFile(folder / "a.xml"), plain);
    }
    std::string damaged = encrypted + "junk";
    damaged[encrypted.size() - 3] ^= 0x01;
    writeFile(folder / "a.enc", damaged);
    tavtest::LogCapture log;
    EXPECT_FALSE(gf_streamDecrypt(folder / "a.enc", folder / "a.xml"));
    EXPECT_TRUE(log.contains("gf_streamDecrypt exception: Decryption failed"));
    EXPECT_FALSE(fs::exists(folder / "a.xml"));
}

TEST(Decrypt, AMissingInputIsLoggedWithItsPathAndRemovesAStalePlainFile)
{
    TempFolder folder;
    writeFile(folder / "dbase.xml", "stale");
    tavtest::LogCapture log;
    EXPECT_FALSE(gf_streamDecrypt(folder / "dbase.enc", folder / "dbase.xml"));
    EXPECT_TRUE(log.contains("gf_streamDecrypt exception: Could not open input file: " +
                             gf_pathToUtf8(folder / "dbase.enc")));
    EXPECT_FALSE(fs::exists(folder / "dbase.xml"));
}

TEST(Decrypt, AnOutputInAMissingFolderFailsAndLeavesTheInput)
{
    TempFolder folder;
    const std::string encrypted = tavtest::encryptDataFile("x", tavtest::productDataFileKey());
    writeFile(folder / "a.enc", encrypted);
    tavtest::LogCapture log;
    EXPECT_FALSE(gf_streamDecrypt(folder / "a.enc", folder / "no" / "a.xml"));
    EXPECT_TRUE(log.contains("gf_streamDecrypt exception: Could not open output file: " +
                             gf_pathToUtf8(folder / "no" / "a.xml")));
    EXPECT_EQ(readFile(folder / "a.enc"), encrypted);
}

TEST(Decrypt, PathsOfAnyCharactersWork)
{
    TempFolder folder;
    const fs::path sub = folder / "J\xc3\xbcrgen \xe6\x97\xa5\xe6\x9c\xac";
    fs::create_directories(sub);
    writeFile(sub / "a.enc", tavtest::encryptDataFile("plain", tavtest::productDataFileKey()));
    ASSERT_TRUE(gf_streamDecrypt(sub / "a.enc", sub / "a.xml"));
    EXPECT_EQ(readFile(sub / "a.xml"), "plain");
}

TEST(RemoveWithWarning, RemovesAFileSaysNothingOfAMissingOneAndWarnsOfAFailure)
{
    TempFolder folder;
    tavtest::LogCapture log;
    gf_removeWithWarning(folder / "none.xml");
    writeFile(folder / "plain.xml", "x");
    gf_removeWithWarning(folder / "plain.xml");
    EXPECT_FALSE(fs::exists(folder / "plain.xml"));
    EXPECT_FALSE(log.contains("Warning")) << log.text();
    fs::create_directories(folder / "busy" / "inner");
    gf_removeWithWarning(folder / "busy");
    EXPECT_TRUE(log.contains("==> Warning: could not remove " + gf_pathToUtf8(folder / "busy") + ", errorcode: "))
        << log.text();
}

} // namespace
