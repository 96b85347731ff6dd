#include <gtest/gtest.h>

#include <stdexcept>

#include "foundation/text.h"
#include "foundation/text_files.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using tavtest::TempFolder;

namespace {

std::string utf16(std::string_view utf8, bool bigEndian)
{
    std::string out;
    for (const char16_t u : gf_utf8ToUtf16(utf8)) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

struct ReadResult {
    Charset charset;
    bool ok;
    Lines lines;
};

ReadResult detectAndRead(const TempFolder& folder, std::string_view bytes)
{
    const fs::path file = folder / "aircraft.cfg";
    tavtest::writeFile(file, bytes);
    ReadResult r{gf_detectCharset(file), false, {"stale"}};
    r.ok = gf_readTextFileLines(r.charset, file, r.lines);
    return r;
}

} // namespace

TEST(TextFiles, EveryCharsetAndLineEndGivesTheSameUtf8Lines)
{
    TempFolder folder;
    const Lines expected{"[fltsim.0]", "title=Airbus A320 J\xC3\xBCrgen caf\xC3\xA9", "", "atc_id=D-AIZZ"};
    for (const std::string end : {"\r\n", "\n"}) {
        const std::string ansi = "[fltsim.0]" + end + "title=Airbus A320 J\xFCrgen caf\xE9" + end + end +
                                 "atc_id=D-AIZZ" + end;
        const std::string text = gf_cp1252ToUtf8(ansi);
        const std::pair<Charset, std::string> fixtures[] = {
            {Charset::Utf8WithoutBom, text},
            {Charset::Utf8WithBom, "\xEF\xBB\xBF" + text},
            {Charset::Unicode, "\xFF\xFE" + utf16(text, false)},
            {Charset::Unicode, utf16(text, false)},
            {Charset::UnicodeBigEndian, "\xFE\xFF" + utf16(text, true)},
            {Charset::UnicodeBigEndian, utf16(text, true)},
            {Charset::Ansi, ansi},
        };
        for (const auto& [charset, bytes] : fixtures) {
            const ReadResult r = detectAndRead(folder, bytes);
            SCOPED_TRACE(gf_charsetName(charset) + " with line end of " + std::to_string(end.size()) + " byte(s)");
            EXPECT_EQ(r.charset, charset);
            EXPECT_TRUE(r.ok);
            EXPECT_EQ(r.lines, expected);
        }
    }
}

TEST(TextFiles, ShortFilesAndInvalidUtf8AnywhereAreDetectedByTheirContentAndFailuresReportedAsFalse)
{
    TempFolder folder;
    const std::string head(4095, 'a');
    const struct {
        std::string bytes;
        Charset charset;
        Lines lines;
    } cases[] = {
        {"", Charset::Utf8WithoutBom, {}},
        {std::string("A\0B\0", 4), Charset::Unicode, {"AB"}},
        {std::string("\0A\0B", 4), Charset::UnicodeBigEndian, {"AB"}},
        {std::string("\0A\0", 3), Charset::UnicodeBigEndian, {}}, // an odd size gives no lines
        {"title=caf\xE9", Charset::Ansi, {"title=caf\xC3\xA9"}},
        // A character across byte 4096 is still UTF-8; a single ANSI byte far behind it is not.
        {head + "\xC3\xA9\nz", Charset::Utf8WithoutBom, {head + "\xC3\xA9", "z"}},
        {std::string(6000, 'a') + "\n\xFC\x80", Charset::Ansi, {std::string(6000, 'a'), "\xC3\xBC\xE2\x82\xAC"}},
    };
    for (const auto& c : cases) {
        const ReadResult r = detectAndRead(folder, c.bytes);
        EXPECT_EQ(r.charset, c.charset) << c.bytes.substr(0, 12);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.lines, c.lines);
    }
    for (const char* bad : {"\xE0\x80\x80", "\xC0\xAF", "\xF0\x80\x80\x80", "\xF5\x80\x80\x80", "\xED\xA0\x80"})
        EXPECT_EQ(detectAndRead(folder, std::string("x=") + bad + "y").charset, Charset::Ansi) << bad;
    EXPECT_EQ(gf_detectCharset(folder / "missing.cfg"), Charset::NoneFound);

    tavtest::LogCapture log;
    Lines lines{"stale"};
    const std::string name = gf_pathToUtf8(folder / "aircraft.cfg");
    EXPECT_FALSE(gf_readTextFileLines(Charset::NoneFound, folder / "aircraft.cfg", lines));
    EXPECT_TRUE(lines.empty());
    EXPECT_TRUE(log.contains("Read failed for '" + name + "': file " + name + " has unknown charset: none_found"));
    tavtest::writeFile(folder / "a.cfg", std::string("\xFF\xFE\x00\xD8x\0", 6)); // unpaired surrogate
    EXPECT_FALSE(gf_readTextFileLines(Charset::Unicode, folder / "a.cfg", lines));
    EXPECT_TRUE(log.contains("wide_to_utf8: invalid UTF-16"));
    EXPECT_FALSE(gf_readTextFileLines(Charset::Utf8WithoutBom, folder / "missing.cfg", lines));
    EXPECT_THROW(gf_charsetName(static_cast<Charset>(6)), std::out_of_range);

    // A caller that passes a stale charset still gets valid UTF-8, and a UTF-16 mark wins.
    tavtest::writeFile(folder / "b.cfg", "\xEF\xBB\xBFn=\xE9");
    ASSERT_TRUE(gf_readTextFileLines(Charset::Utf8WithBom, folder / "b.cfg", lines));
    EXPECT_EQ(lines, Lines{"n=\xC3\xA9"});
    tavtest::writeFile(folder / "le.cfg", "\xFF\xFE" + utf16("x\r\ny", false));
    ASSERT_TRUE(gf_readTextFileLines(Charset::UnicodeBigEndian, folder / "le.cfg", lines));
    EXPECT_EQ(lines, (Lines{"x", "y"}));
}

TEST(TextFiles, SplittingKeepsEmptyLinesAndOwnFilesAreWrittenWithLfUnderAnyFolderName)
{
    const auto split = [](std::string_view text) {
        Lines lines;
        gf_splitLines(text, lines);
        return lines;
    };
    EXPECT_EQ(split("a\n\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(split("a\r\r\n"), Lines{"a\r"}); // one CR dropped
    EXPECT_EQ(split("a\rb\r"), Lines{"a\rb"}); // a lone CR ends no line
    EXPECT_EQ(split("\n"), Lines{""});
    EXPECT_EQ(split("\xEF\xBB\xBF"), Lines{});

    TempFolder folder;
    const fs::path user = folder / "J\xC3\xBCrgen \xCE\xA9\xCE\xBC \xE6\x9D\xB1";
    fs::create_directories(user);
    ASSERT_TRUE(gf_writeFile("EDDF", user / "my_park_airports.txt"));
    EXPECT_EQ(tavtest::readFile(user / "my_park_airports.txt"), "EDDF\n");
    TextFile file{user / "my_park_airports.txt", {"stale"}};
    EXPECT_EQ(gf_readFile(file, 1), Lines{"EDDF"});
    EXPECT_TRUE(gf_readFile(user / "missing.txt").empty());
    EXPECT_FALSE(gf_writeFile("x", folder / "no" / "a.txt"));
}
