#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <gsl/narrow>

#include "foundation/random.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text.h"

using Pieces = std::vector<std::string>;

TEST(TextHelpers, SplitKeepsEmptyPiecesCompareTouchesAsciiOnlyPercentRoundsAndBannersFitTheirTitle)
{
    EXPECT_EQ(gf_split("a, b ,,c", ','), (Pieces{"a", "b", "", "c"}));
    EXPECT_EQ(gf_split("a,", ','), (Pieces{"a", ""}));
    EXPECT_EQ(gf_split(" ", ','), (Pieces{""}));
    EXPECT_EQ(gf_splitCommaUnique("b,a, b"), (Pieces{"a", "b"}));
    EXPECT_EQ(gf_trim(" a b\r\n"), "a b");
    std::string list = " ,EDDF, EHAM";
    gf_trimCommaList(list);
    EXPECT_EQ(list, ",EDDF,EHAM");
    // UTF-8 bytes are left alone (and must not reach toupper, where they are undefined).
    EXPECT_TRUE(gf_equalsUppercased("j\xC3\xBCrgen", "J\xC3\xBCRGEN"));
    EXPECT_FALSE(gf_equalsUppercased("\xC3\xA9", "\xC3\x89"));
    EXPECT_EQ(gf_percent(1, 8), 13); // 12.5
    EXPECT_EQ(gf_percent(-1, 8), -13);
    EXPECT_EQ(gf_percent(5, 0), 0);
    EXPECT_THROW(gf_percent(int64_t{1} << 40, 1), gsl::narrowing_error);
    EXPECT_EQ(gf_numberText(24.0f) + " " + gf_numberText(0.5f), "24 0.5");
    EXPECT_EQ(gf_bannerLine(10, 10, false, false, "abc"), std::string(9, '*') + " abc " + std::string(9, '*'));
    EXPECT_EQ(gf_bannerLine(4, 0, true, true, "0123456789"), "\n0123456789\n"); // a title wider than the row
}

TEST(Utf, RoundTripsAndRejectsMalformedInput)
{
    const std::string text = "J\xC3\xBCrgen \xE2\x82\xAC \xF0\x9F\x9B\xA9"; // Jürgen € 🛩
    EXPECT_EQ(wide_to_utf8(utf8_to_wide(text)), text);
    EXPECT_EQ(gf_utf16ToUtf8(gf_utf8ToUtf16(text)), text);
    EXPECT_EQ(gf_utf8ToUtf16(text).size(), 11u); // the airplane takes a surrogate pair
    EXPECT_TRUE(utf8_to_wide("").empty());
    const std::string path = "C:/Users/J\xC3\xBCrgen/AppData";
    EXPECT_EQ(gf_pathToUtf8(gf_pathFromUtf8(path)), path);

    using testing::ThrowsMessage;
    for (const std::string bad : {"\xC3\x28", "\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF"}) {
        EXPECT_THAT([&] { utf8_to_wide(bad); }, ThrowsMessage<std::runtime_error>("utf8_to_wide: invalid UTF-8"));
        EXPECT_FALSE(gf_isValidUtf8(bad));
    }
    for (const std::u16string& bad : {std::u16string{u'a', char16_t(0xD800)}, std::u16string{char16_t(0xDC00), u'a'}})
        EXPECT_THAT([&] { gf_utf16ToUtf8(bad); }, ThrowsMessage<std::runtime_error>("wide_to_utf8: invalid UTF-16"));
    EXPECT_THROW(wide_to_utf8(std::wstring(1, static_cast<wchar_t>(0xD800))), std::runtime_error);
}

// Random picks spread evenly: proven by the livery picks (tests/catalogue).
TEST(Random, ChoicesKeepTheirRangeAndAreFixedWhileTheRandomSettingIsOff)
{
    bool up = false, down = false;
    for (int i = 0; i < 200; ++i) {
        const double v = gf_randomPercent(100.0, 10.0);
        ASSERT_TRUE(v == 110.0 || v == 90.0) << v;
        (v > 100 ? up : down) = true;
        ASSERT_LT(gf_randomIndex(5), 5u);
    }
    EXPECT_TRUE(up && down);
    Pieces items{"a", "b", "c", "d", "e", "f"};
    RANDOM.value = false;
    gf_shuffle(items);
    EXPECT_EQ(items, (Pieces{"a", "b", "c", "d", "e", "f"}));
    EXPECT_EQ(gf_randomIndex(1000), 0u);
    RANDOM.value = true;
}
