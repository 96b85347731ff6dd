#include "support/route_generator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

#include <fmt/format.h>

namespace traffictest {
namespace {

constexpr double kMetresPerDegree = 111120.0; // a minute of latitude is a nautical mile
constexpr double kMsPerKt = 1852.0 / 3600.0;
constexpr double kFtPerM = 1.0 / 0.3048;
constexpr double kTruthStepS = 0.1;
constexpr double kGravity = 9.81;
constexpr double kGroundStepM = 0.25;
constexpr double kAirStepM = 2.0;
constexpr GeoPos kOrigin{52.0, 4.5};
constexpr uint32_t kHexid = 0x4D2001;

// What a type does on the ground and in the air: its real span, the radii its crews taxi
// round (and the tighter U-turn), its approach, rotation and climb speeds, its climb rate,
// its take-off acceleration (m/s^2 once the engines have spooled up) and the speeds it turns
// at in the air.
struct TypeSpec {
    const char* type;
    double halfSpanM;
    std::array<double, 2> turnRadiusM;
    std::array<double, 2> uTurnRadiusM;
    double approachKt;
    double rotateKt;
    double climbKt;
    double climbFpm;
    double rollAccel;
    std::array<double, 2> airKt;
};
constexpr TypeSpec kTypes[] = {
    {"A320", 17.9, {20.0, 45.0}, {20.0, 30.0}, 135.0, 145.0, 160.0, 2500.0, 2.0, {130.0, 250.0}},
    {"B744", 32.2, {30.0, 60.0}, {30.0, 40.0}, 150.0, 165.0, 180.0, 2000.0, 1.8, {150.0, 250.0}},
    {"C172", 5.5, {8.0, 20.0}, {8.0, 15.0}, 65.0, 55.0, 75.0, 700.0, 1.6, {60.0, 110.0}},
    {"AT72", 13.5, {15.0, 35.0}, {15.0, 25.0}, 110.0, 105.0, 125.0, 1400.0, 1.8, {100.0, 250.0}},
};

const TypeSpec& lf_typeSpec(std::string_view type)
{
    for (const TypeSpec& t : kTypes) {
        if (type == t.type)
            return t;
    }
    return kTypes[0];
}

class Draw {
public:
    explicit Draw(std::seed_seq& seq) : rng_(seq) {}
    double in(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }
    double in(const std::array<double, 2>& r) { return in(r[0], r[1]); }
    int count(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(double p) { return in(0.0, 1.0) < p; }
    double side() { return chance(0.5) ? 1.0 : -1.0; }

private:
    std::mt19937 rng_;
};

// How the aircraft may move along a piece of its path.
struct Motion {
    double vmaxMs = 0.0;
    double accel = 0.5; // m/s^2
    double decel = 0.5;
    TruthPhase phase = TruthPhase::Taxi;
    bool takeOffRoll = false; // the engines spool up, the drag grows with the speed
};

struct PathPoint {
    double s = 0.0; // metres along the path
    double east = 0.0;
    double north = 0.0;
    double track = 0.0; // radians, the direction of travel
    Motion motion;      // of the piece that ends here
    double dwellS = -1.0; // a stop here of this length (0 included); none when negative
};

// The path of the aircraft's reference point: straight pieces and arcs, sampled densely.
class Path {
public:
    explicit Path(double trackDeg) { points_.push_back({0.0, 0.0, 0.0, trackDeg * g_degToRad}); }

    void straight(double length, const Motion& m) { piece(length, 0.0, m); }
    // Turns right for positive degrees.
    void arc(double radius, double turnDeg, const Motion& m)
    {
        piece(radius * std::fabs(turnDeg) * g_degToRad, (turnDeg > 0.0 ? 1.0 : -1.0) / radius, m);
    }
    void stop(double dwellS) { points_.back().dwellS = dwellS; }
    // The aircraft moves the other way from here (after a push-back).
    void reverse() { reversed_ = !reversed_; }
    double trackDeg() const { return points_.back().track * g_radToDeg + (reversed_ ? 180.0 : 0.0); }
    const PathPoint& end() const { return points_.back(); }
    const std::vector<PathPoint>& points() const { return points_; }

private:
    void piece(double length, double curvature, const Motion& m)
    {
        const double step = m.phase == TruthPhase::Air ? kAirStepM : kGroundStepM;
        const int n = std::max(1, static_cast<int>(std::ceil(length / step)));
        const double ds = length / n;
        PathPoint p = points_.back();
        if (reversed_) {
            p.track += g_fullCircle / 2;
            reversed_ = false;
        }
        p.dwellS = -1.0;
        p.motion = m;
        if (points_.size() == 1)
            points_[0].motion = m; // the start moves as the first piece
        for (int i = 0; i < n; ++i) {
            const double mid = p.track + curvature * ds / 2;
            p.east += ds * std::sin(mid);
            p.north += ds * std::cos(mid);
            p.track += curvature * ds;
            p.s += ds;
            points_.push_back(p);
        }
    }

    std::vector<PathPoint> points_;
    bool reversed_ = false;
};

double lf_rollAccel(const Motion& m, double v)
{
    if (!m.takeOffRoll)
        return m.accel;
    return m.accel * std::min(1.0, 0.35 + v / 6.0) * (1.0 - 0.25 * v / m.vmaxMs);
}

// The speed at each point: as fast as the pieces allow, reached and left at their
// accelerations, zero at the stops.
std::vector<double> lf_speeds(const std::vector<PathPoint>& p, double startMs)
{
    std::vector<double> v(p.size());
    const auto cap = [&p](size_t i) { return p[i].dwellS >= 0.0 ? 0.0 : p[i].motion.vmaxMs; };
    v[0] = std::min(startMs, cap(0));
    for (size_t i = 0; i + 1 < p.size(); ++i) {
        const double ds = p[i + 1].s - p[i].s;
        v[i + 1] = std::min(cap(i + 1), std::sqrt(v[i] * v[i] + 2.0 * lf_rollAccel(p[i + 1].motion, v[i]) * ds));
    }
    for (size_t i = p.size() - 1; i > 0; --i) {
        const double ds = p[i].s - p[i - 1].s;
        v[i - 1] = std::min(v[i - 1], std::sqrt(v[i] * v[i] + 2.0 * p[i].motion.decel * ds));
    }
    return v;
}

// The truth every 0.1 s along the path, on the ground (altitudes are the kinds' own), and
// the distance along the path at each.
struct Sampled {
    std::vector<TruthState> truth;
    std::vector<double> s;
    double endS = 0.0; // when the route proper ends: the tail after it is not judged
};

Sampled lf_sample(const std::vector<PathPoint>& p, double startMs, size_t endIndex, double endDwellS)
{
    const std::vector<double> v = lf_speeds(p, startMs);
    std::vector<double> arrive(p.size());
    std::vector<double> leave(p.size());
    for (size_t i = 0; i < p.size(); ++i) {
        if (i > 0)
            arrive[i] = leave[i - 1] + 2.0 * (p[i].s - p[i - 1].s) / std::max(v[i - 1] + v[i], 1e-3);
        leave[i] = arrive[i] + std::max(p[i].dwellS, 0.0);
    }
    Sampled out;
    out.endS = arrive[endIndex] + std::max(endDwellS, 0.0);
    size_t j = 0;
    for (double t = 0.0; t <= leave.back() + 1e-9; t += kTruthStepS) {
        while (j + 1 < p.size() && arrive[j + 1] <= t)
            ++j;
        const PathPoint& a = p[j];
        TruthState x;
        x.t = t;
        double s = a.s;
        double speed = v[j];
        double track = a.track;
        const Motion* m = &a.motion;
        x.east = a.east;
        x.north = a.north;
        if (t > leave[j] && j + 1 < p.size()) {
            const PathPoint& b = p[j + 1];
            const double f = (t - leave[j]) / (arrive[j + 1] - leave[j]);
            x.east += (b.east - a.east) * f;
            x.north += (b.north - a.north) * f;
            s += (b.s - a.s) * f;
            speed = v[j] + (v[j + 1] - v[j]) * f;
            track = b.track;
            m = &b.motion;
        }
        x.gsKt = speed / kMsPerKt;
        x.phase = m->phase;
        const double trackDeg = std::fmod(track * g_radToDeg + 720.0, 360.0);
        x.headingDeg = m->phase == TruthPhase::Push ? std::fmod(trackDeg + 180.0, 360.0) : trackDeg;
        // Standing, the track reported is the nose's.
        x.trackDeg = speed > 0.0 ? trackDeg : x.headingDeg;
        x.onGround = m->phase != TruthPhase::Air;
        out.truth.push_back(x);
        out.s.push_back(s);
    }
    return out;
}

// The route goes on as it ended (standing, or straight on at its speed) for 45 s more, so
// that its end is judged with the reports that follow it, as everywhere else.
Sampled lf_finish(Path& p, double startMs)
{
    constexpr double kTailS = 45.0;
    const size_t end = p.points().size() - 1;
    const double dwell = p.end().dwellS;
    if (dwell >= 0.0)
        p.stop(dwell + kTailS);
    else
        p.straight(p.end().motion.vmaxMs * kTailS, p.end().motion);
    return lf_sample(p.points(), startMs, end, dwell);
}

void lf_verticalSpeeds(std::vector<TruthState>& truth)
{
    for (size_t i = 0; i < truth.size(); ++i) {
        const size_t a = i > 0 ? i - 1 : i;
        const size_t b = i + 1 < truth.size() ? i + 1 : i;
        const double dt = truth[b].t - truth[a].t;
        truth[i].vsFpm = dt > 0.0 ? (truth[b].altFt - truth[a].altFt) / dt * 60.0 : 0.0;
    }
}

// The route's drawn manners: accelerations on the taxi, the sideways acceleration its turns
// are taken at, the type's radii.
struct Taxi {
    Draw& draw;
    const TypeSpec& spec;
    double accel;
    double decel;
    double lateral;

    Motion at(double kt) const { return {kt * kMsPerKt, accel, decel, TruthPhase::Taxi}; }
    // A turn on the taxiway at the leg's speed or as fast as the radius allows.
    void turn(Path& p, double deg, double legKt, bool uTurn = false) const
    {
        const double r = draw.in(uTurn ? spec.uTurnRadiusM : spec.turnRadiusM);
        const double kt = std::min(legKt, std::sqrt(lateral * r) / kMsPerKt);
        p.arc(r, deg, at(kt));
    }
    // Legs joined by turns of the drawn size either way, at the drawn speeds.
    void network(Path& p, int legs, std::array<double, 2> legM, std::array<double, 2> turnDeg,
                 std::array<double, 2> kt) const
    {
        double legKt = draw.in(kt);
        p.straight(draw.in(legM), at(legKt));
        for (int i = 1; i < legs; ++i) {
            const double next = draw.in(kt);
            turn(p, draw.side() * draw.in(turnDeg), std::min(legKt, next));
            legKt = next;
            p.straight(draw.in(legM), at(legKt));
        }
    }
};

constexpr std::array<std::array<double, 2>, 4> kSpacings{{{1.0, 3.0}, {2.0, 8.0}, {5.0, 10.0}, {1.0, 10.0}}};

// The 3 degree path to the touchdown, rounded off over the last 300 m (about 26 ft) into
// the flare.
double lf_glideFt(double toTouchdownM)
{
    constexpr double flareM = 300.0;
    const double slope = std::tan(3.0 * g_degToRad);
    const double d = std::max(toTouchdownM, 0.0);
    const double m = d >= flareM ? slope * (d - flareM / 2) : slope * d * d / (2 * flareM);
    return m * kFtPerM;
}

struct Built {
    Sampled sampled;
    int standAtEnd = 0; // 1: the route ends on a stand; -1: it starts on one
    std::vector<std::pair<double, double>> silences;
};

Built lf_build(RouteKind kind, Draw& d, const TypeSpec& spec, std::string& drawn)
{
    Taxi taxi{d, spec, d.in(0.3, 0.7), d.in(0.3, 0.7), d.in(1.2, 2.5)};
    Built b;
    const double startTrack = d.in(0.0, 360.0);
    switch (kind) {
    case RouteKind::Turns: {
        const int legs = d.count(5, 20);
        Path p(startTrack);
        taxi.network(p, legs, {40.0, 300.0}, {30.0, 150.0}, {8.0, 25.0});
        b.sampled = lf_finish(p, p.points()[1].motion.vmaxMs);
        drawn = fmt::format("{} legs", legs);
        break;
    }
    case RouteKind::RightAngles: {
        const int legs = d.count(4, 20);
        const double kt = d.in(10.0, 20.0);
        Path p(startTrack);
        double side = d.side();
        p.straight(d.in(40.0, 150.0), taxi.at(kt));
        for (int i = 1; i < legs; ++i, side = -side) {
            taxi.turn(p, 90.0 * side, kt);
            p.straight(d.in(40.0, 150.0), taxi.at(kt));
        }
        b.sampled = lf_finish(p, kt * kMsPerKt);
        drawn = fmt::format("{} legs at {:.0f} kt", legs, kt);
        break;
    }
    case RouteKind::STurns: {
        const int pairs = d.count(2, 4);
        const double kt = d.in(8.0, 20.0);
        Path p(startTrack);
        p.straight(d.in(60.0, 150.0), taxi.at(kt));
        double side = d.side();
        for (int i = 0; i < pairs * 2; ++i, side = -side) {
            taxi.turn(p, side * d.in(30.0, 90.0), kt);
            p.straight(d.in(0.0, 20.0), taxi.at(kt));
        }
        p.straight(d.in(60.0, 150.0), taxi.at(kt));
        b.sampled = lf_finish(p, kt * kMsPerKt);
        drawn = fmt::format("{} bends at {:.0f} kt", pairs * 2, kt);
        break;
    }
    case RouteKind::UTurn: {
        const double kt = d.in(10.0, 20.0);
        const double turnKt = d.in(8.0, 10.0);
        Path p(startTrack);
        p.straight(d.in(60.0, 200.0), taxi.at(kt));
        taxi.turn(p, 180.0 * d.side(), turnKt, true);
        p.straight(d.in(60.0, 200.0), taxi.at(kt));
        b.sampled = lf_finish(p, kt * kMsPerKt);
        drawn = fmt::format("U-turn at {:.0f} kt, legs at {:.0f} kt", turnKt, kt);
        break;
    }
    case RouteKind::Hold: {
        const double holdS = d.in(10.0, 90.0);
        Path p(startTrack);
        taxi.network(p, d.count(1, 3), {60.0, 250.0}, {30.0, 120.0}, {10.0, 20.0});
        p.stop(holdS);
        taxi.network(p, d.count(1, 3), {60.0, 250.0}, {30.0, 120.0}, {10.0, 20.0});
        b.sampled = lf_finish(p, p.points()[1].motion.vmaxMs);
        drawn = fmt::format("hold {:.0f} s", holdS);
        break;
    }
    case RouteKind::SpeedChange: {
        Path p(startTrack);
        p.straight(d.in(60.0, 150.0), taxi.at(5.0));
        const int fastLegs = d.count(2, 4);
        for (int i = 0; i < fastLegs; ++i) {
            taxi.turn(p, d.side() * d.in(30.0, 90.0), 25.0);
            p.straight(d.in(150.0, 300.0), taxi.at(25.0));
        }
        taxi.turn(p, d.side() * d.in(30.0, 90.0), 5.0);
        p.straight(d.in(60.0, 150.0), taxi.at(5.0));
        b.sampled = lf_finish(p, 5.0 * kMsPerKt);
        drawn = fmt::format("{} fast legs", fastLegs);
        break;
    }
    case RouteKind::Exit: {
        const double appKt = spec.approachKt + d.in(-5.0, 5.0);
        const double touchdownKt = appKt - 5.0;
        const double exitKt = d.in(30.0, 40.0);
        const double brake = d.in(1.5, 2.5);
        const double taxiKt = d.in(15.0, 20.0);
        // The engine creates no aircraft whose next 30 s of reports mix air and ground: the
        // route begins 35 s before the short final, so that it is created on it.
        const double shortFinalNm = d.in(1.0, 2.0);
        const double finalM = shortFinalNm * 1852.0 + appKt * kMsPerKt * 35.0;
        Path p(startTrack);
        p.straight(finalM, {appKt * kMsPerKt, 0.3, 0.3, TruthPhase::Air});
        const double vt = touchdownKt * kMsPerKt;
        const double ve = exitKt * kMsPerKt;
        const Motion rollOut{vt, taxi.accel, brake, TruthPhase::Runway};
        p.straight((vt * vt - ve * ve) / (2 * brake) + d.in(100.0, 400.0), rollOut);
        const double exitDeg = d.in(30.0, 45.0) * d.side();
        p.arc(ve * ve / d.in(1.0, 2.0), exitDeg, {ve, taxi.accel, brake, TruthPhase::Runway});
        const double vx = taxiKt * kMsPerKt;
        p.straight((ve * ve - vx * vx) / (2 * taxi.decel) + d.in(20.0, 100.0), taxi.at(exitKt));
        taxi.turn(p, 90.0 * d.side(), taxiKt);
        taxi.network(p, d.count(1, 2), {100.0, 300.0}, {30.0, 120.0}, {taxiKt, taxiKt});
        b.sampled = lf_finish(p, appKt * kMsPerKt);
        for (size_t i = 0; i < b.sampled.truth.size(); ++i) {
            if (b.sampled.truth[i].phase == TruthPhase::Air)
                b.sampled.truth[i].altFt = lf_glideFt(finalM - b.sampled.s[i]);
        }
        drawn = fmt::format("final {:.1f} nm at {:.0f} kt, exit {:.0f} deg at {:.0f} kt", shortFinalNm, appKt,
                            std::fabs(exitDeg), exitKt);
        break;
    }
    case RouteKind::LineUp: {
        const double kt = d.in(10.0, 20.0);
        const double holdS = d.in(3.0, 30.0);
        Path p(startTrack);
        taxi.network(p, d.count(1, 3), {60.0, 250.0}, {30.0, 120.0}, {kt, kt});
        taxi.turn(p, 90.0 * d.side(), 10.0);
        p.straight(d.in(20.0, 60.0), taxi.at(10.0));
        p.stop(holdS);
        // The roll: as long as the type's acceleration needs to reach its rotation speed.
        Motion roll{spec.rotateKt * kMsPerKt, spec.rollAccel * d.in(0.9, 1.1), 1.0, TruthPhase::Runway, true};
        double v = 0.0;
        double rollM = 0.0;
        while (v < roll.vmaxMs * 0.999) {
            v = std::min(roll.vmaxMs, std::sqrt(v * v + 2.0 * lf_rollAccel(roll, v) * kGroundStepM));
            rollM += kGroundStepM;
        }
        p.straight(rollM, roll);
        const double climbFpm = spec.climbFpm * d.in(0.8, 1.2);
        const double climbS = 1500.0 / climbFpm * 60.0 + 5.0;
        p.straight(spec.climbKt * kMsPerKt * climbS, {spec.climbKt * kMsPerKt, 0.8, 0.8, TruthPhase::Air});
        b.sampled = lf_finish(p, kt * kMsPerKt);
        double liftOff = -1.0;
        for (TruthState& x : b.sampled.truth) {
            if (x.phase != TruthPhase::Air)
                continue;
            liftOff = liftOff < 0.0 ? x.t : liftOff;
            // The climb rate reached over the 4 s of the rotation.
            const double tau = x.t - liftOff;
            x.altFt = climbFpm / 60.0 * (tau <= 4.0 ? tau * tau / 8.0 : tau - 2.0);
        }
        drawn = fmt::format("taxi at {:.0f} kt, stop {:.0f} s, roll {:.0f} m, climb {:.0f} ft/min", kt, holdS, rollM,
                            climbFpm);
        break;
    }
    case RouteKind::PushBack: {
        const double parkedS = d.in(25.0, 60.0);
        const double pushKt = d.in(2.0, 3.0);
        const double total = d.in(30.0, 60.0);
        const double swingDeg = d.in(0.0, 90.0) * d.side();
        const double stopS = d.chance(0.25) ? 0.0 : d.in(0.0, 20.0);
        const Motion push{pushKt * kMsPerKt, d.in(0.15, 0.3), d.in(0.15, 0.3), TruthPhase::Push};
        Path p(startTrack + 180.0);
        p.stop(parkedS);
        double radius = d.in(spec.uTurnRadiusM);
        const double arcM = radius * std::fabs(swingDeg) * g_degToRad;
        if (arcM > total - 5.0)
            radius *= (total - 5.0) / arcM;
        const double straightM = total - radius * std::fabs(swingDeg) * g_degToRad;
        p.straight(straightM, push);
        if (std::fabs(swingDeg) >= 1.0)
            p.arc(radius, swingDeg, push);
        p.stop(stopS);
        p.reverse();
        const double kt = d.in(10.0, 20.0);
        p.straight(d.in(30.0, 100.0), taxi.at(kt));
        taxi.turn(p, d.side() * d.in(30.0, 120.0), kt);
        taxi.network(p, d.count(1, 3), {60.0, 250.0}, {30.0, 120.0}, {kt, kt});
        b.sampled = lf_finish(p, 0.0);
        b.standAtEnd = -1;
        drawn = fmt::format("parked {:.0f} s, pushed {:.0f} m at {:.1f} kt, swing {:.0f} deg, stop {:.0f} s", parkedS,
                            total, pushKt, swingDeg, stopS);
        break;
    }
    case RouteKind::ToStand: {
        const double kt = d.in(10.0, 20.0);
        Path p(startTrack);
        taxi.network(p, d.count(2, 6), {60.0, 250.0}, {30.0, 120.0}, {kt, kt});
        taxi.turn(p, 90.0 * d.side(), 8.0);
        p.straight(d.in(20.0, 40.0), taxi.at(8.0));
        p.straight(d.in(25.0, 40.0), taxi.at(4.0));
        p.stop(30.0);
        b.sampled = lf_finish(p, kt * kMsPerKt);
        b.standAtEnd = 1;
        drawn = fmt::format("taxi at {:.0f} kt", kt);
        break;
    }
    case RouteKind::GapTurn: {
        const bool low = d.chance(0.5);
        const double kt = d.in(std::max(60.0, spec.airKt[0]), spec.airKt[1]);
        const double v = kt * kMsPerKt;
        const double bankDeg = d.in(15.0, 30.0);
        const double rateDeg = std::clamp(kGravity * std::tan(bankDeg * g_degToRad) / v * g_radToDeg, 1.0, 3.5);
        const double turnDeg = d.in(30.0, 180.0) * d.side();
        const double gapS = d.in(10.0, 30.0);
        const double beforeS = d.in(40.0, 70.0);
        const double turnS = std::fabs(turnDeg) / rateDeg;
        const double totalS = beforeS + turnS + d.in(40.0, 70.0);
        const Motion air{v, 0.5, 0.5, TruthPhase::Air};
        Path p(startTrack);
        p.straight(v * beforeS, air);
        p.arc(v / (rateDeg * g_degToRad), turnDeg, air);
        p.straight(v * (totalS - beforeS - turnS), air);
        b.sampled = lf_finish(p, v);
        // Level, climbing or descending, staying below 1000 ft above the ground or above it.
        const double startFt = low ? d.in(400.0, 900.0) : d.in(1500.0, 8000.0);
        const double lowestFt = low ? 250.0 : 1150.0;
        const double highestFt = low ? 950.0 : 9500.0;
        const int way = d.count(-1, 1);
        double fpm = way * d.in(300.0, low ? 800.0 : 1500.0);
        const double minutes = b.sampled.truth.back().t / 60.0;
        fpm = std::clamp(fpm, (lowestFt - startFt) / minutes, (highestFt - startFt) / minutes);
        for (TruthState& x : b.sampled.truth)
            x.altFt = startFt + fpm * x.t / 60.0;
        const double middle = beforeS + turnS / 2;
        b.silences.push_back({middle - gapS / 2, middle + gapS / 2});
        drawn = fmt::format("{:.0f} deg at {:.1f} deg/s, {:.0f} kt, {:.0f} ft {:+.0f} ft/min, gap {:.0f} s",
                            std::fabs(turnDeg), rateDeg, kt, startFt, fpm, gapS);
        break;
    }
    }
    return b;
}

} // namespace

std::string_view routeKindName(RouteKind kind)
{
    switch (kind) {
    case RouteKind::Turns:
        return "turns";
    case RouteKind::RightAngles:
        return "right angles";
    case RouteKind::STurns:
        return "S-turns";
    case RouteKind::UTurn:
        return "U-turn";
    case RouteKind::Hold:
        return "hold";
    case RouteKind::SpeedChange:
        return "speed change";
    case RouteKind::Exit:
        return "exit";
    case RouteKind::LineUp:
        return "line-up";
    case RouteKind::PushBack:
        return "push-back";
    case RouteKind::ToStand:
        return "to stand";
    case RouteKind::GapTurn:
        return "gap turn";
    }
    return "?";
}

std::optional<RouteKind> routeKindFromName(std::string_view name)
{
    const auto plain = [](std::string_view text) {
        std::string out;
        for (const char c : text)
            out += c == ' ' || c == '_' || c == '-' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return out;
    };
    for (const RouteKind k : g_routeKinds) {
        if (plain(routeKindName(k)) == plain(name))
            return k;
    }
    return std::nullopt;
}

GeoPos routeGeo(const GeoPos& origin, double east, double north)
{
    return {origin.latitude + north / kMetresPerDegree,
            origin.longitude + east / (kMetresPerDegree * std::cos(origin.latitude * g_degToRad))};
}

void routeLocal(const GeoPos& origin, double lat, double lon, double& east, double& north)
{
    north = (lat - origin.latitude) * kMetresPerDegree;
    east = (lon - origin.longitude) * kMetresPerDegree * std::cos(origin.latitude * g_degToRad);
}

GeneratedRoute generateRoute(uint32_t seed, RouteKind kind, std::string_view type)
{
    const TypeSpec& spec = lf_typeSpec(type);
    std::seed_seq seq{seed, static_cast<uint32_t>(kind), static_cast<uint32_t>(&spec - kTypes)};
    Draw d(seq);
    GeneratedRoute r;
    r.seed = seed;
    r.kind = kind;
    r.type = spec.type;
    r.halfSpanM = spec.halfSpanM;
    r.origin = kOrigin;

    // How RealTraffic reports this route: its spacing, its noise.
    const std::array<double, 2> spacing = kSpacings[static_cast<size_t>(d.count(0, 3))];
    r.feed.minGapS = spacing[0];
    r.feed.maxGapS = spacing[1];
    r.feed.asLines = true;
    r.feed.keepReports = true;
    r.feed.positionNoiseM = d.in(0.0, 5.0);
    r.feed.trackNoiseDeg = 5.0;

    std::string drawn;
    Built b = lf_build(kind, d, spec, drawn);
    r.truth = std::move(b.sampled.truth);
    r.endS = b.sampled.endS;
    lf_verticalSpeeds(r.truth);
    r.feed.silences = b.silences;

    // The park airport at the route's start, or a few miles off an airborne one; the user
    // stands 2 km beside it.
    r.parkAirport = r.origin;
    if (kind == RouteKind::GapTurn) {
        const double bearing = d.in(0.0, g_fullCircle);
        const double m = d.in(3.0, 15.0) * 1852.0;
        r.parkAirport = routeGeo(r.origin, m * std::sin(bearing), m * std::cos(bearing));
    }
    const GeoPos user = gf_destinationPoint(r.parkAirport, 225.0 * g_degToRad, 2000.0 * kFtPerM);
    r.user = {0.0, user.latitude, user.longitude, 0.0, 0.0, 0.0, 0.0, true};

    // The stand the route leaves or reaches, its neighbours either side.
    if (b.standAtEnd != 0) {
        const TruthState& at = b.standAtEnd > 0 ? r.truth.back() : r.truth.front();
        const double radius = spec.halfSpanM + 4.0;
        const double across = (at.headingDeg + 90.0) * g_degToRad;
        const double pitch = 2.0 * radius + 6.0;
        for (int i = -1; i <= 1; ++i) {
            r.stands.push_back({fmt::format("R{}", i + 2), at.east + i * pitch * std::sin(across),
                                at.north + i * pitch * std::cos(across), at.headingDeg, radius});
        }
        r.routeStand = 1;
    }

    r.flight.hexid = kHexid;
    r.flight.texts.callsign = "TST1234";
    r.flight.texts.aircraftType = r.type;
    r.flight.texts.origin = "EGLL";
    r.flight.texts.destination = "EHAM";
    for (const TruthState& x : r.truth) {
        const GeoPos g = routeGeo(r.origin, x.east, x.north);
        r.flight.points.push_back({x.t, g.latitude, g.longitude, x.onGround ? 0.0 : x.altFt, x.gsKt, x.trackDeg, x.vsFpm,
                                   x.onGround});
    }
    r.drawn = fmt::format("{}; reports every {:.0f}-{:.0f} s, noise {:.1f} m", drawn, spacing[0], spacing[1],
                          r.feed.positionNoiseM);
    return r;
}

} // namespace traffictest
