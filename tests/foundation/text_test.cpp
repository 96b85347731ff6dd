#include <gtest/gtest.h>

#include <gsl/narrow>

#include "foundation/random.h"
#include "foundation/text.h"

using Pieces = std::vector<std::string>;

TEST(Split, KeepsEmptyPiecesAndTrimsEach)
{
    EXPECT_EQ(gf_split("a, b ,,c", ','), (Pieces{"a", "b", "", "c"}));
    EXPECT_EQ(gf_split("", ','), Pieces{});
    EXPECT_EQ(gf_split("a,", ','), (Pieces{"a", ""}));
    EXPECT_EQ(gf_split(",a", ','), (Pieces{"", "a"}));
    EXPECT_EQ(gf_split(" ", ','), (Pieces{""}));
    EXPECT_EQ(gf_splitCommaUnique("b,a, b"), (Pieces{"a", "b"}));
}

TEST(Trim, RemovesBlanksTabsAndLineEndsOnlyAtTheEnds)
{
    EXPECT_EQ(gf_trim(" \t\r\n"), "");
    EXPECT_EQ(gf_trim(" a b\r\n"), "a b");
    std::string list = "EDDF, EHAM";
    gf_trimCommaList(list);
    EXPECT_EQ(list, "EDDF,EHAM");
    list = "EDDF,EHAM";
    gf_trimCommaList(list);
    EXPECT_EQ(list, "EDDF,EHAM");
    list = " EDDF";
    gf_trimCommaList(list);
    EXPECT_EQ(list, "EDDF");
    list = " ,EDDF";
    gf_trimCommaList(list);
    EXPECT_EQ(list, ",EDDF");
}

TEST(Compare, UppercasingTouchesAsciiLettersOnly)
{
    EXPECT_TRUE(gf_equalsUppercased(".XML", ".xml"));
    EXPECT_FALSE(gf_equalsUppercased(".XML", ".xm"));
    // UTF-8 bytes are left alone (and must not reach toupper, where they are undefined).
    EXPECT_FALSE(gf_equalsUppercased("\xC3\xA9", "\xC3\x89"));
    EXPECT_TRUE(gf_equalsUppercased("j\xC3\xBCrgen", "J\xC3\xBCRGEN"));
    EXPECT_TRUE(gf_equalsWithStar("DLH", "DLH*"));
    EXPECT_FALSE(gf_equalsWithStar("DLH", "DLH"));
    EXPECT_FALSE(gf_equalsWithStar("DLH", "DLX*"));
    EXPECT_TRUE(gf_containsChar("a,b", ','));
    EXPECT_FALSE(gf_containsChar("", ','));
}

TEST(Numbers, PercentRoundsHalfAwayFromZeroAndChecksItsRange)
{
    EXPECT_EQ(gf_percent(1, 3), 33);
    EXPECT_EQ(gf_percent(2, 3), 67);
    EXPECT_EQ(gf_percent(1, 8), 13); // 12.5
    EXPECT_EQ(gf_percent(-1, 8), -13);
    EXPECT_EQ(gf_percent(5, 0), 0);
    EXPECT_EQ(gf_percent(5, -2), 0);
    EXPECT_THROW(gf_percent(int64_t{1} << 40, 1), gsl::narrowing_error);
    EXPECT_EQ(gf_numberText(24.0f), "24");
    EXPECT_EQ(gf_numberText(0.5f), "0.5");
}

TEST(Plural, SuffixForEveryCountButOneAndNegatives)
{
    EXPECT_EQ(gf_plural(int64_t{0}), "s");
    EXPECT_EQ(gf_plural(1), "");
    EXPECT_EQ(gf_plural(-3), "");
    EXPECT_EQ(gf_plural(2), "s");
    EXPECT_EQ(gf_plural(size_t{1}), "");
    EXPECT_EQ(gf_plural(size_t{0}), "s");
    EXPECT_EQ(gf_plural(uint32_t{7}), "s");
}

TEST(Banner, WidthsTitlesAndBreaks)
{
    EXPECT_EQ(gf_bannerLine(3, 4, false, false), std::string(8, '*'));
    EXPECT_EQ(gf_bannerLine(10, 10, false, false, "abc"), std::string(9, '*') + " abc " + std::string(9, '*'));
    EXPECT_EQ(gf_bannerLine(4, 0, true, true, "0123456789"), "\n0123456789\n");
    EXPECT_EQ(gf_bannerLine(70, 0, true, false, "parameters"),
              "\n" + std::string(34, '*') + " parameters " + std::string(34, '*'));
    EXPECT_EQ(gf_bannerLine(70, 10, false, true), std::string(80, '*') + "\n");
}

TEST(Utf, RoundTripsAndRejectsMalformedInput)
{
    const std::string text = "J\xC3\xBCrgen \xE2\x82\xAC \xF0\x9F\x9B\xA9"; // Jürgen € 🛩
    EXPECT_EQ(wide_to_utf8(utf8_to_wide(text)), text);
    EXPECT_EQ(gf_utf16ToUtf8(gf_utf8ToUtf16(text)), text);
    EXPECT_EQ(gf_utf8ToUtf16(text).size(), 11u); // the airplane takes a surrogate pair
    EXPECT_TRUE(utf8_to_wide("").empty());
    EXPECT_TRUE(wide_to_utf8(L"").empty());

    for (const std::string bad : {"\xC3\x28", "\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF"}) {
        try {
            utf8_to_wide(bad);
            ADD_FAILURE() << "accepted invalid UTF-8";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "utf8_to_wide: invalid UTF-8");
        }
        EXPECT_FALSE(gf_isValidUtf8(bad));
    }
    const std::u16string loneHigh{u'a', static_cast<char16_t>(0xD800)};
    const std::u16string loneLow{static_cast<char16_t>(0xDC00), u'a'};
    for (const auto& bad : {loneHigh, loneLow}) {
        try {
            gf_utf16ToUtf8(bad);
            ADD_FAILURE() << "accepted invalid UTF-16";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "wide_to_utf8: invalid UTF-16");
        }
    }
    const std::wstring wideLoneHigh(1, static_cast<wchar_t>(0xD800));
    EXPECT_THROW(wide_to_utf8(wideLoneHigh), std::runtime_error);
}

TEST(Paths, Utf8NamesSurviveTheWayThroughPaths)
{
    const std::string name = "C:/Users/J\xC3\xBCrgen/AppData";
    EXPECT_EQ(gf_pathToUtf8(gf_pathFromUtf8(name)), name);
    EXPECT_EQ(gf_pathToUtf8(gf_xmlFileName("EDDF")), "EDDF.xml");
    EXPECT_EQ(gf_pathToUtf8(gf_txtFileName("list")), "list.txt");
}

TEST(Random, IndexStaysInRangeAndPercentChangesBySign)
{
    EXPECT_EQ(gf_randomIndex(0), 0u);
    EXPECT_EQ(gf_randomIndex(1), 0u);
    bool seen[5] = {};
    for (int i = 0; i < 1000; ++i) {
        const uint64_t k = gf_randomIndex(5);
        ASSERT_LT(k, 5u);
        seen[k] = true;
    }
    for (bool s : seen)
        EXPECT_TRUE(s);
    bool up = false, down = false;
    for (int i = 0; i < 200; ++i) {
        const double v = gf_randomPercent(100.0, 10.0);
        ASSERT_TRUE(v == 110.0 || v == 90.0) << v;
        (v > 100 ? up : down) = true;
    }
    EXPECT_TRUE(up && down);
    EXPECT_EQ(gf_randomPercent(100.0, 0.0), 100.0);
    EXPECT_EQ(gf_randomPercent(100.0, -5.0), 100.0);
    std::vector<std::string> items{"a", "b", "c", "d", "e", "f"};
    gf_shuffle(items);
    std::sort(items.begin(), items.end());
    EXPECT_EQ(items, (Pieces{"a", "b", "c", "d", "e", "f"}));
}
