#pragma once
// Traffic lines for the feed's tests, built from a plausible airborne flight near
// Amsterdam: each test changes only the fields it is about.
#include <array>
#include <cstdint>
#include <string>

#include "feed/traffic_line.h"

namespace feedtest {

inline constexpr int64_t kNow = 1700000000;
inline const GeoPos kAmsterdam{52.3086, 4.7639};

struct Line {
    std::array<std::string, TrafficFieldCount> f{
        "RTTFC", "4840123", "52.3500", "4.9000", "3500", "-800", "0", "90.5", "180", "KLM1234",
        "B738", "PH-BXA", "AMS", "LHR", "1699999998.5", "adsb", "KL1234", "adsb_icao", "3600", "170",
        "200", "0.30", "0", "5.0", "88", "91.5", "-800", "none", "A3"};
    std::string& operator[](size_t i) { return f[i]; }
    std::string text() const
    {
        std::string t = f[0];
        for (size_t i = 1; i < f.size(); ++i)
            t += "," + f[i];
        return t;
    }
};

inline TrafficLineContext context()
{
    TrafficLineContext c;
    c.referencePosition = kAmsterdam;
    c.rangeNm = 40.0;
    c.nowSeconds = kNow;
    return c;
}

// A park airport at Schiphol's position.
inline FeedParkAirport schiphol(double elevationFt = -11.0)
{
    return FeedParkAirport{true, kAmsterdam, elevationFt};
}

} // namespace feedtest
