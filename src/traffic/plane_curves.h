#pragma once
// Vectors of a local flat frame (metres north and east) and the cubic curves laid in it: the
// ground path and the turns hidden in airborne gaps share them.
#include <algorithm>
#include <cmath>
#include <limits>

#include "foundation/geo.h"

struct Vec {
    double n = 0.0;
    double e = 0.0;
};

inline Vec operator+(Vec a, Vec b) { return {a.n + b.n, a.e + b.e}; }
inline Vec operator-(Vec a, Vec b) { return {a.n - b.n, a.e - b.e}; }
inline Vec operator*(Vec a, double k) { return {a.n * k, a.e * k}; }
inline double gf_dot(Vec a, Vec b) { return a.n * b.n + a.e * b.e; }
// Positive when b lies clockwise of a (a right turn).
inline double gf_cross(Vec a, Vec b) { return a.n * b.e - a.e * b.n; }
inline double gf_length(Vec a) { return std::hypot(a.n, a.e); }

inline Vec gf_unit(Vec a)
{
    const double l = gf_length(a);
    return l > 0.0 ? a * (1.0 / l) : Vec{1.0, 0.0};
}

inline Vec gf_headingVec(double heading) { return {std::cos(heading), std::sin(heading)}; }

// In [0, 2 pi), clockwise from north.
inline double gf_heading(Vec a)
{
    const double h = std::atan2(a.e, a.n);
    return h < 0.0 ? h + g_fullCircle : h;
}

// The turn from a to b, right positive, in [-pi, pi].
inline double gf_turn(Vec a, Vec b) { return std::atan2(gf_cross(a, b), gf_dot(a, b)); }

inline Vec gf_cubicAt(Vec p0, Vec p1, Vec p2, Vec p3, double t)
{
    const double u = 1.0 - t;
    return p0 * (u * u * u) + p1 * (3.0 * u * u * t) + p2 * (3.0 * u * t * t) + p3 * (t * t * t);
}

inline Vec gf_cubicTangent(Vec p0, Vec p1, Vec p2, Vec p3, double t)
{
    const double u = 1.0 - t;
    return (p1 - p0) * (3.0 * u * u) + (p2 - p1) * (6.0 * u * t) + (p3 - p2) * (3.0 * t * t);
}

// The least radius of a cubic, at `steps` + 1 evenly spaced points.
inline double gf_cubicTightestRadius(Vec p0, Vec p1, Vec p2, Vec p3, int steps)
{
    double tightest = std::numeric_limits<double>::infinity();
    for (int k = 0; k <= steps; ++k) {
        const double t = static_cast<double>(k) / steps;
        const Vec d1 = gf_cubicTangent(p0, p1, p2, p3, t);
        const Vec d2 = (p2 - p1 * 2.0 + p0) * (6.0 * (1.0 - t)) + (p3 - p2 * 2.0 + p1) * (6.0 * t);
        const double bend = std::fabs(gf_cross(d1, d2));
        const double speed = gf_length(d1);
        if (bend > 0.0)
            tightest = std::min(tightest, speed * speed * speed / bend);
    }
    return tightest;
}

// Measured along `steps` chords.
inline double gf_cubicLength(Vec p0, Vec p1, Vec p2, Vec p3, int steps)
{
    double length = 0.0;
    Vec last = p0;
    for (int k = 1; k <= steps; ++k) {
        const Vec at = gf_cubicAt(p0, p1, p2, p3, static_cast<double>(k) / steps);
        length += gf_length(at - last);
        last = at;
    }
    return length;
}

// The control arm of a cubic that follows a circular arc turning by turnRad over a chord.
inline double gf_arcArm(double chord, double turnRad)
{
    const double t = std::min(std::fabs(turnRad), g_fullCircle / 2);
    if (t < 1e-6)
        return chord / 3.0;
    return chord * 2.0 / 3.0 * std::tan(t / 4.0) / std::sin(t / 2.0);
}
