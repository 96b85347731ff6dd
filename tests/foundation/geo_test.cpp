#include <gtest/gtest.h>

#include <cmath>

#include "foundation/geo.h"

constexpr double kPi = 3.141592653589793;

TEST(GreatCircle, OneDegreeOfLatitudeIsSixtyMilesInEitherDirection)
{
    EXPECT_NEAR(gf_distanceNm({0, 0}, {1, 0}), 60.0, 1e-9);
    EXPECT_NEAR(gf_distanceNm({50, 10}, {51, 10}), 60.0, 1e-9);
    EXPECT_DOUBLE_EQ(gf_distanceNm({10, 20}, {-30, 40}), gf_distanceNm({-30, 40}, {10, 20}));
}

TEST(GreatCircle, BearingQuadrantsLieInZeroToTwoPiAndEqualPositionsGiveZero)
{
    EXPECT_NEAR(gf_bearingRad({0, 0}, {0, 1}), kPi / 2, 1e-12);
    EXPECT_NEAR(gf_bearingRad({0, 0}, {1, 0}), 0.0, 1e-12);
    EXPECT_NEAR(gf_bearingRad({0, 0}, {0, -1}), 3 * kPi / 2, 1e-12);
    EXPECT_NEAR(gf_bearingRad({0, 0}, {-1, 0}), kPi, 1e-12);
    for (double lon = -179; lon < 180; lon += 7) {
        const double b = gf_bearingRad({10, 0}, {-20, lon});
        EXPECT_GE(b, 0.0);
        EXPECT_LT(b, 2 * kPi);
    }
    const GeoPos p{47.3, 8.5};
    EXPECT_EQ(gf_distanceNm(p, p), 0.0);
    EXPECT_EQ(gf_bearingRad(p, p), 0.0);
}

TEST(GreatCircle, AntimeridianIsCrossedTheShortWayAndLongitudesAreNormalised)
{
    EXPECT_NEAR(gf_distanceNm({0, 179.5}, {0, -179.5}), 60.0, 1e-9);
    const GeoPos east = gf_destinationPoint({0, 179.99}, kPi / 2, 6076.12 * 1.2); // 1.2 nm east
    EXPECT_LT(east.longitude, -179.9);
    EXPECT_GE(east.longitude, -180.0);
    EXPECT_NEAR(east.latitude, 0.0, 1e-9);
    const GeoPos same = gf_destinationPoint({12.5, 33.25}, 1.0, 0.0);
    EXPECT_DOUBLE_EQ(same.latitude, 12.5);
    EXPECT_NEAR(same.longitude, 33.25, 1e-12);
    EXPECT_NEAR(gf_destinationPoint({0, 190}, 0, 0).longitude, -170.0, 1e-9);
}

TEST(GreatCircle, DisplacementAndDistanceAgreeAndAntipodesStayFinite)
{
    const GeoPos start{51.47, -0.45};
    const double feet = 6076.115 * 10; // about 10 nm
    const GeoPos end = gf_destinationPoint(start, 1.2, feet);
    EXPECT_NEAR(gf_distanceNm(start, end), feet * g_footAsAngle * g_earthDiameterNm / 2, 1e-6);
    EXPECT_NEAR(gf_bearingRad(start, end), 1.2, 1e-3);
    for (double lat : {0.0, 1e-9, 45.0, 89.999999}) {
        const double d = gf_distanceNm({lat, 0}, {-lat, 180});
        ASSERT_TRUE(std::isfinite(d)) << lat;
        EXPECT_NEAR(d, kPi * g_earthDiameterNm / 2, 1e-6);
    }
}
