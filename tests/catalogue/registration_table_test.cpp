#include <gtest/gtest.h>

#include <fmt/format.h>

#include "catalogue/registration_table.h"

TEST(RegistrationTable, GrowsFromEmptyKeepsTheFirstOfARepeatAndFindsTheFirstKeyPresent)
{
    RegistrationTable table;
    EXPECT_EQ(table.find("D-ABCD"), nullptr);
    for (int i = 0; i < 5000; ++i) {
        const auto [record, added] = table.tryEmplace(fmt::format("R{}", i));
        ASSERT_TRUE(added) << i;
        record->airl = fmt::format("A{}", i);
    }
    const auto [repeat, added] = table.tryEmplace("R17");
    EXPECT_FALSE(added);
    EXPECT_EQ(repeat->airl, "A17");
    EXPECT_EQ(table.size(), 5000u);
    for (int i = 0; i < 5000; i += 7)
        ASSERT_EQ(table.at(fmt::format("R{}", i)).airl, fmt::format("A{}", i));
    EXPECT_FALSE(table.contains("R5000") || table.contains("R") || table.contains(""));
    EXPECT_THROW(table.at("X"), std::out_of_range);
    EXPECT_EQ(table.begin()->reg, "R0");
    EXPECT_EQ((table.end() - 1)->reg, "R4999");

    const std::vector<std::string> keys = {"X1", "R9", "R8", "X2", "R7"};
    for (size_t count = 1; count <= keys.size(); ++count) {
        const DbaseRecord* found = table.findFirstOf(keys.data(), count);
        EXPECT_EQ(found ? found->airl : "none", count == 1 ? "none" : "A9") << count;
    }
}
