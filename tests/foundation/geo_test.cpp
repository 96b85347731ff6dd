#include <gtest/gtest.h>

#include <cmath>

#include "foundation/geo.h"

constexpr double kPi = 3.141592653589793;

// Distances and courses the traffic tests measure with; here the edges they never reach.
TEST(GreatCircle, DistancesCoursesAndDisplacementsAcrossTheAntimeridianPolesAndAntipodes)
{
    const struct {
        GeoPos a, b;
        double nm, course;
    } cases[] = {
        {{0, 0}, {1, 0}, 60.0, 0.0},          {{50, 10}, {51, 10}, 60.0, 0.0},
        {{0, 0}, {0, 1}, 60.0, kPi / 2},      {{0, 0}, {0, -1}, 60.0, 3 * kPi / 2},
        {{0, 0}, {-1, 0}, 60.0, kPi},         {{0, 179.5}, {0, -179.5}, 60.0, kPi / 2},
        {{47.3, 8.5}, {47.3, 8.5}, 0.0, 0.0}, {{45, 0}, {-45, 180}, kPi * g_earthDiameterNm / 2, -1}, // any course
        {{89.999999, 0}, {-89.999999, 180}, kPi * g_earthDiameterNm / 2, -1},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(gf_distanceNm(c.a, c.b), c.nm, 1e-6) << c.a.latitude << " " << c.b.longitude;
        EXPECT_DOUBLE_EQ(gf_distanceNm(c.a, c.b), gf_distanceNm(c.b, c.a));
        EXPECT_NEAR(c.course < 0 ? -1 : gf_bearingRad(c.a, c.b), c.course, 1e-12) << c.a.latitude << " " << c.b.longitude;
    }
    for (double lon = -179; lon < 180; lon += 7) {
        const double b = gf_bearingRad({10, 0}, {-20, lon});
        EXPECT_TRUE(b >= 0.0 && b < 2 * kPi) << lon;
    }

    const GeoPos east = gf_destinationPoint({0, 179.99}, kPi / 2, 6076.12 * 1.2); // 1.2 nm east
    EXPECT_TRUE(east.longitude < -179.9 && east.longitude >= -180.0) << east.longitude;
    EXPECT_NEAR(east.latitude, 0.0, 1e-9);
    EXPECT_NEAR(gf_destinationPoint({0, 190}, 0, 0).longitude, -170.0, 1e-9);
    const GeoPos start{51.47, -0.45};
    const GeoPos end = gf_destinationPoint(start, 1.2, 6076.115 * 10); // about 10 nm
    EXPECT_NEAR(gf_distanceNm(start, end), 10.0, 1e-4);
    EXPECT_NEAR(gf_bearingRad(start, end), 1.2, 1e-3);
}
