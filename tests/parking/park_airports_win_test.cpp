// my_park_airports.txt held open by another program without sharing.
#include <windows.h>

#include "parking/static_parking_fixture.h"

using statictest::StaticParkingTest;

TEST_F(StaticParkingTest, AListFileHeldWithoutSharingIsLeftByteForByte)
{
    const std::filesystem::path file = std::filesystem::absolute(gf_paths().myParkAirports);
    tavtest::writeFile(file, "EDDM,B7\r\nEDDS\r\n");
    HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    gf_addParkAirport("EDDF", {50.0, 8.5});
    CloseHandle(held);
    EXPECT_EQ(tavtest::readFile(file), "EDDM,B7\r\nEDDS\r\n");
    EXPECT_TRUE(log_.contains("my_park_airports.txt cannot be read, EDDF not written"));
}
