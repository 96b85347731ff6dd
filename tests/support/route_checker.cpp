#include "support/route_checker.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>

#include <fmt/format.h>

#include "parking/park_airports.h"
#include "parking/park_stand.h"
#include "parking/static_parking.h"
#include "support/engine_doubles.h"

namespace traffictest {
namespace {

// The limits of what a user watching the traffic may see, never the engine's constants: the
// quotes are what the motion must keep to, the other figures (accelerations, the push-back's
// end, the stand's distance) what its acceptance set.
struct Limits {
    double pathGroundM = 8.0;     // the path "passes within 8 m of the corner"
    double pathHeavyM = 15.0;     // "15 m for a heavy at 20 kt or more"
    double heavyFastKt = 20.0;
    double pathAirLowM = 60.0;    // "within 60 m of the real one below 1,000 ft above the ground"
    double pathAirHighM = 150.0;  // "and within 150 m above"
    double toldTurnDeg = 20.0;    // two reports' "tracks differ by more than about 20 degrees"
    double lowAirFt = 1000.0;
    double noseDeg = 20.0;        // "nose and direction of travel differ by at most 20 degrees"
    double noseFromKt = 3.0;      // "while it moves forward faster than 3 kt"
    double speedFactor = 1.3;     // "the speed never exceeds 1.3 x the reported speed + 3 kt"
    double speedMarginKt = 3.0;
    double accelTaxiMs2 = 1.5;    // "accelerations stay within what the type can do": taxiing,
    double accelRunwayMs2 = 3.0;  // and in the take-off roll, the roll-out or above 40 kt
    double accelRunwayKt = 40.0;
    double standstillS = 1.0;     // "no standstill over 1 s while the reports move at 5 kt or more"
    double movingKt = 5.0;
    double stopKt = 1.0;          // "a reported stop (stationary, or at most 1 kt)" of 3 s or more
    double stopMinS = 3.0;
    double stopS = 3.0;           // "is reached within 3 s and 5 m of the reported one"
    double stopM = 5.0;
    double startS = 3.0;          // "a take-off roll and a push-back start within 3 s of their reported start"
    double pushEndM = 5.0;        // "the push-back ends where the reports show it ended, with the
    double pushEndDeg = 10.0;     // reported swing"
    double standM = 2.0;          // "the stand heading within 1 degree", and within 2 m of it as kept
    double standDeg = 1.0;
};
constexpr Limits kLimits;

// How the checks measure, not what they allow.
constexpr double kLeadS = 30.0;        // a report is due 30 s after it is received
constexpr double kMsPerKt = 1852.0 / 3600.0;
constexpr double kStillM = 0.5;        // standing: within half a metre
constexpr double kStopSettleS = 1.0;   // a stop begins where the aircraft then stands 1 s
constexpr double kTimeEpsS = 1e-6;     // times that are equal but for rounding
constexpr double kPathWindowS = 60.0;  // the truth's and the reports' paths searched either side of the time
constexpr double kAroundS = 3.0;       // speeds of the truth "within 3 s"
constexpr double kMatchS = 15.0;       // a flown stop is looked for this far around the truth's
constexpr double kMissing = 99.0;      // the value of a stop, start or push end never flown
constexpr double kCreationFreezeS = 5.0; // a new object stands at most this long before it is moved
constexpr double kTruthStepS = 0.1;

struct Frame {
    double t, e, n, hdg, alt;
    bool onGround;
};

struct Pos {
    double e, n;
};

double lf_dist(Pos a, Pos b)
{
    return std::sqrt((a.e - b.e) * (a.e - b.e) + (a.n - b.n) * (a.n - b.n));
}

double lf_segmentDistance(Pos p, Pos a, Pos b)
{
    const double de = b.e - a.e;
    const double dn = b.n - a.n;
    const double l2 = de * de + dn * dn;
    const double k = l2 > 0.0 ? std::clamp(((p.e - a.e) * de + (p.n - a.n) * dn) / l2, 0.0, 1.0) : 0.0;
    return lf_dist(p, {a.e + de * k, a.n + dn * k});
}

double lf_angleOff(double a, double b)
{
    return std::fabs(std::remainder(a - b, 360.0));
}

// Where the track from a and the track into b meet ahead of a and behind b, when the two
// differ by a turn (more than about 20 degrees, short of turning back).
std::optional<Pos> lf_tracksCorner(Pos a, double trackA, Pos b, double trackB)
{
    const double turn = lf_angleOff(trackB, trackA);
    if (turn < kLimits.toldTurnDeg || turn > 180.0 - kLimits.toldTurnDeg)
        return std::nullopt;
    const Pos da{std::sin(trackA * g_degToRad), std::cos(trackA * g_degToRad)};
    const Pos db{std::sin(trackB * g_degToRad), std::cos(trackB * g_degToRad)};
    // a + s da = b - u db
    const double det = da.e * db.n - da.n * db.e;
    const Pos ab{b.e - a.e, b.n - a.n};
    const double s = (ab.e * db.n - ab.n * db.e) / det;
    const double u = (da.e * ab.n - da.n * ab.e) / det;
    if (s <= 0.0 || u <= 0.0)
        return std::nullopt;
    return Pos{a.e + da.e * s, a.n + da.n * s};
}

double lf_courseDeg(Pos from, Pos to)
{
    return std::fmod(std::atan2(to.e - from.e, to.n - from.n) * g_radToDeg + 360.0, 360.0);
}

// The flown position at a time, between frames linearly; held before the first and after the last.
Pos lf_at(const std::vector<Frame>& f, double t)
{
    const auto it = std::lower_bound(f.begin(), f.end(), t, [](const Frame& x, double v) { return x.t < v; });
    if (it == f.begin())
        return {f.front().e, f.front().n};
    if (it == f.end())
        return {f.back().e, f.back().n};
    const Frame& a = *(it - 1);
    const Frame& b = *it;
    const double k = b.t > a.t ? (t - a.t) / (b.t - a.t) : 0.0;
    return {a.e + (b.e - a.e) * k, a.n + (b.n - a.n) * k};
}

const Frame& lf_nearest(const std::vector<Frame>& f, double t)
{
    const auto it = std::lower_bound(f.begin(), f.end(), t, [](const Frame& x, double v) { return x.t < v; });
    if (it == f.end())
        return f.back();
    if (it != f.begin() && t - (it - 1)->t < it->t - t)
        return *(it - 1);
    return *it;
}

class Truth {
public:
    // The path is kept as the samples it cannot leave out: every other one lies within 2 cm
    // of the polyline through them.
    explicit Truth(const std::vector<TruthState>& t) : t_(t)
    {
        size_t a = 0;
        corners_.push_back(0);
        while (a + 1 < t_.size()) {
            size_t b = a + 1;
            const Pos s = pos(a);
            const double length = lf_dist(s, pos(b));
            if (length < 1e-6) {
                // Standing: one corner for the stop.
                while (b + 1 < t_.size() && lf_dist(s, pos(b + 1)) < 1e-6)
                    ++b;
            } else {
                // Onwards in the first step's direction, never back, within 2 cm of its line.
                const Pos d{(pos(b).e - s.e) / length, (pos(b).n - s.n) / length};
                double along = length;
                while (b + 1 < t_.size()) {
                    const Pos q = pos(b + 1);
                    const double x = (q.e - s.e) * d.e + (q.n - s.n) * d.n;
                    const double y = std::fabs((q.e - s.e) * d.n - (q.n - s.n) * d.e);
                    if (y > 0.02 || x < along)
                        break;
                    along = x;
                    ++b;
                }
            }
            corners_.push_back(b);
            a = b;
        }
        for (size_t i = 0; i + 1 < corners_.size(); ++i) {
            const Pos s = pos(corners_[i]);
            const Pos e = pos(corners_[i + 1]);
            segments_.push_back({s.e, s.n, e.e - s.e, e.n - s.n, (e.e - s.e) * (e.e - s.e) + (e.n - s.n) * (e.n - s.n)});
        }
        const auto window = [this](size_t i, int before, int after, auto take) {
            const size_t from = i >= static_cast<size_t>(before) ? i - static_cast<size_t>(before) : 0;
            const size_t to = std::min(i + static_cast<size_t>(after), t_.size() - 1);
            for (size_t j = from; j <= to; ++j)
                take(t_[j]);
        };
        // A 2 s window and 3 s either side of it; 3 s either side of a moment.
        const int around = static_cast<int>(std::lround(kAroundS / kTruthStepS));
        const int window2s = static_cast<int>(std::lround(2.0 / kTruthStepS));
        for (size_t i = 0; i < t_.size(); ++i) {
            double fastest = 0.0;
            double slowest = 1e9;
            bool onRunway = false;
            window(i, window2s + around, around, [&](const TruthState& x) {
                fastest = std::max(fastest, x.gsKt);
                onRunway = onRunway || x.phase == TruthPhase::Runway || x.gsKt >= kLimits.accelRunwayKt;
            });
            window(i, around, around, [&](const TruthState& x) { slowest = std::min(slowest, x.gsKt); });
            fastest_.push_back(fastest);
            slowest_.push_back(slowest);
            runway_.push_back(onRunway ? 1 : 0);
        }
    }
    size_t index(double tt) const
    {
        const double i = std::round(tt / kTruthStepS);
        return static_cast<size_t>(std::clamp(i, 0.0, static_cast<double>(t_.size() - 1)));
    }
    const TruthState& at(double tt) const { return t_[index(tt)]; }
    // The fastest within 3 s of a 2 s window ending at tt: from 5 s before it to 3 s after.
    double fastestKt(double tt) const { return fastest_[index(tt)]; }
    // The slowest within 3 s either side.
    double slowestKt(double tt) const { return slowest_[index(tt)]; }
    // On the runway, or at 40 kt or more, from 5 s before to 3 s after.
    bool runway(double tt) const { return runway_[index(tt)] != 0; }
    // The distance from the truth's path (its polyline) between the two times.
    double pathDistance(Pos p, double from, double to) const
    {
        const auto first = std::upper_bound(corners_.begin(), corners_.end(), index(from));
        const auto last = std::lower_bound(corners_.begin(), corners_.end(), index(to));
        const auto a = static_cast<size_t>((first == corners_.begin() ? first : first - 1) - corners_.begin());
        const auto b = static_cast<size_t>((last == corners_.end() ? last - 1 : last) - corners_.begin());
        const Pos c = pos(corners_[a]);
        double best = (p.e - c.e) * (p.e - c.e) + (p.n - c.n) * (p.n - c.n); // squared, as below
        for (size_t i = a; i < b; ++i) {
            const Segment& g = segments_[i];
            const double x = p.e - g.e;
            const double y = p.n - g.n;
            double k = g.l2 > 0.0 ? (x * g.de + y * g.dn) / g.l2 : 0.0;
            k = k < 0.0 ? 0.0 : (k > 1.0 ? 1.0 : k);
            const double de = x - g.de * k;
            const double dn = y - g.dn * k;
            best = std::min(best, de * de + dn * dn);
        }
        return std::sqrt(best);
    }
    const std::vector<TruthState>& all() const { return t_; }

private:
    Pos pos(size_t i) const { return {t_[i].east, t_[i].north}; }

    struct Segment {
        double e, n, de, dn, l2;
    };

    const std::vector<TruthState>& t_;
    std::vector<size_t> corners_; // indexes of the samples kept for the path
    std::vector<Segment> segments_;
    std::vector<double> fastest_;
    std::vector<double> slowest_;
    std::vector<char> runway_;
};

// A stretch in which the object stays within half a metre of where it began: from its first
// sample to the first sample beyond (or the last one, when it never leaves: open).
struct Still {
    size_t first = 0;
    size_t past = 0;
    double begin = 0.0;
    double end = 0.0;
    bool open = false;
};

template <typename T, typename P>
std::vector<Still> lf_stills(const std::vector<T>& xs, P pos, double minS)
{
    std::vector<Still> out;
    size_t k = 0;
    while (k < xs.size()) {
        size_t j = k + 1;
        while (j < xs.size() && lf_dist(pos(xs[j]), pos(xs[k])) < kStillM)
            ++j;
        const bool open = j == xs.size();
        const double end = open ? xs.back().t : xs[j].t;
        if (end - xs[k].t >= minS) {
            out.push_back({k, j, xs[k].t, end, open});
            k = j;
        } else {
            ++k;
        }
    }
    return out;
}

// The first sample from `from` to `to` after which the object stays within half a metre for a
// second (or to the end of the track); the size of the track when there is none.
template <typename T, typename P>
size_t lf_stopBegin(const std::vector<T>& xs, P pos, double from, double to)
{
    const auto first = std::lower_bound(xs.begin(), xs.end(), from, [](const T& x, double v) { return x.t < v; });
    for (auto k = static_cast<size_t>(first - xs.begin()); k < xs.size() && xs[k].t <= to; ++k) {
        size_t j = k + 1;
        while (j < xs.size() && xs[j].t - xs[k].t < kStopSettleS && lf_dist(pos(xs[j]), pos(xs[k])) < kStillM)
            ++j;
        if (j == xs.size() || (xs[j].t - xs[k].t >= kStopSettleS && lf_dist(pos(xs[j]), pos(xs[k])) < kStillM))
            return k;
    }
    return xs.size();
}

// When the object, standing at sample k, moves again: the first time from a second later at
// which it covered half a metre in the second before (1 kt, the stop's speed); infinite when
// never. Creeping on at less does not end a stop.
template <typename T, typename P>
double lf_movesAgain(const std::vector<T>& xs, P pos, size_t k)
{
    size_t back = k;
    for (size_t j = k + 1; j < xs.size(); ++j) {
        if (xs[j].t - xs[k].t < kStopSettleS)
            continue;
        // Exactly the second before: times a tenth of a second apart are not exact in binary,
        // and a window of 1.1 s took a braking tail's creep for a move.
        while (back + 1 < j && xs[back + 1].t <= xs[j].t - 1.0 + kTimeEpsS)
            ++back;
        if (lf_dist(pos(xs[j]), pos(xs[back])) >= kStillM)
            return xs[j].t;
    }
    return std::numeric_limits<double>::infinity();
}

class Judge {
public:
    Judge(const GeneratedRoute& route, std::vector<Frame> frames, const std::vector<SentReport>& reports, double endS)
        : route_(route), truth_(route.truth), f_(std::move(frames)), reports_(reports), endS_(endS)
    {
        for (const SentReport& s : reports_) {
            Pos p{};
            routeLocal(route.origin, s.lat, s.lon, p.e, p.n);
            reportedAt_.push_back(p);
        }
        for (const Frame& x : f_) {
            const Pos now{x.e, x.n};
            const Pos before = lf_at(f_, x.t - 1.0);
            d1_.push_back(x.t - 1.0 >= f_.front().t ? lf_dist(before, now) : 0.0);
            c1_.push_back(lf_courseDeg(before, now));
        }
        // A new object stands where it was created until the engine has activated it, then
        // moves off at the reported speed: it appears on its way, so its speeds are judged
        // from its first move (when that comes within seconds of its creation).
        startS_ = f_.empty() ? 0.0 : f_.front().t;
        for (const Frame& x : f_) {
            if (x.t - f_.front().t > kCreationFreezeS)
                break;
            if (lf_dist({x.e, x.n}, {f_.front().e, f_.front().n}) > 0.01) {
                startS_ = x.t;
                break;
            }
        }
    }

    // On the ground the path is what the reports show: the legs between them, or the real way
    // where the aircraft keeps to that instead. A bend the real aircraft made whole between two
    // reports is on neither, and only the real way judges it. In the air the path is the real
    // way, as a turn hidden in a gap of the reports is to be flown.
    void path(CheckResult& path, CheckResult& realWay) const
    {
        const bool heavy = route_.type == "B744";
        // Every third frame (20 a second) tells a path apart well enough.
        for (size_t i = 0; i < f_.size(); i += 3) {
            const double tt = f_[i].t - kLeadS;
            const TruthState& x = truth_.at(tt);
            double limit = x.altFt < kLimits.lowAirFt ? kLimits.pathAirLowM : kLimits.pathAirHighM;
            const Pos p{f_[i].e, f_[i].n};
            const double real = truth_.pathDistance(p, tt - kPathWindowS, tt + kPathWindowS);
            double off = real;
            if (x.onGround) {
                if (d1_[i] < kStillM) // standing: the stop checks judge where
                    continue;
                limit = heavy && x.gsKt >= kLimits.heavyFastKt ? kLimits.pathHeavyM : kLimits.pathGroundM;
                off = std::min(real, reportedDistance(p, tt - kPathWindowS, tt + kPathWindowS));
            }
            note(path, off, limit, f_[i].t);
            note(realWay, real, limit, f_[i].t);
        }
    }

    // Forward motion only: a push-back is exempt until the aircraft first moves forward.
    void nose(CheckResult& r, double pushEndS) const
    {
        for (size_t i = 0; i < f_.size(); ++i) {
            if (f_[i].t < pushEndS || d1_[i] <= kLimits.noseFromKt * kMsPerKt)
                continue;
            const double heading = lf_nearest(f_, f_[i].t - 0.5).hdg;
            note(r, lf_angleOff(heading, c1_[i]), kLimits.noseDeg, f_[i].t);
        }
    }

    // Over any 2 s against 1.3 x the fastest truth within 3 s + 3 kt, as a share of that.
    void speed(CheckResult& r) const
    {
        for (const Frame& x : f_) {
            if (x.t - 2.0 < startS_)
                continue;
            const double v = lf_dist(lf_at(f_, x.t - 2.0), {x.e, x.n}) / 2.0;
            const double tt = x.t - kLeadS;
            const double fastest = truth_.fastestKt(tt);
            const double ceiling = (kLimits.speedFactor * fastest + kLimits.speedMarginKt) * kMsPerKt;
            note(r, v / ceiling, 1.0, x.t);
        }
    }

    // On the ground, the change of the speed over 1 s across 2 s.
    void accel(CheckResult& r) const
    {
        for (size_t i = 0; i < f_.size(); ++i) {
            const Frame& x = f_[i];
            const double tt = x.t - kLeadS;
            if (x.t - 3.0 < startS_ || !x.onGround || !truth_.at(tt - 1.5).onGround)
                continue;
            const double now = d1_[i];
            const double before = lf_dist(lf_at(f_, x.t - 3.0), lf_at(f_, x.t - 2.0));
            const bool runway = truth_.runway(tt) ||
                                std::max(now, before) >= kLimits.accelRunwayKt * kMsPerKt;
            note(r, std::fabs(now - before) / 2.0, runway ? kLimits.accelRunwayMs2 : kLimits.accelTaxiMs2, x.t);
        }
    }

    // The longest part of a standstill in which the truth moved at 5 kt or more throughout,
    // 3 s either side included.
    void standstill(CheckResult& r) const
    {
        r.judged = true;
        r.limit = kLimits.standstillS;
        const auto pos = [](const Frame& x) { return Pos{x.e, x.n}; };
        for (const Still& s : lf_stills(f_, pos, 0.25)) {
            double runStart = -1.0;
            for (size_t i = s.first; i <= s.past; ++i) {
                const bool inside = i < s.past;
                const double t = inside ? f_[i].t : s.end;
                const bool moving = inside && t >= startS_ && truth_.slowestKt(t - kLeadS) >= kLimits.movingKt;
                if (moving && runStart < 0.0)
                    runStart = t;
                if (!moving && runStart >= 0.0) {
                    const double length = t - runStart;
                    if (length > r.worst) {
                        r.worst = length;
                        r.atS = runStart;
                    }
                    runStart = -1.0;
                }
            }
        }
    }

    // Each stop the reports show: where and when it begins, when it moves again. Truth and
    // flown track are measured alike: a stop begins at the first sample after which the
    // object stays within half a metre for a second, and ends when it is half a metre from there.
    void stops(CheckResult& when, CheckResult& where, CheckResult& start) const
    {
        const std::vector<TruthState>& t = truth_.all();
        const auto truthPos = [](const TruthState& x) { return Pos{x.east, x.north}; };
        const auto framePos = [](const Frame& x) { return Pos{x.e, x.n}; };
        size_t i = 0;
        while (i < t.size()) {
            if (t[i].gsKt > kLimits.stopKt) {
                ++i;
                continue;
            }
            size_t j = i;
            while (j + 1 < t.size() && t[j + 1].gsKt <= kLimits.stopKt)
                ++j;
            const double from = t[i].t;
            const double to = t[j].t;
            const bool initial = i == 0;
            i = j + 1;
            if (to - from < kLimits.stopMinS || !reported(from, to))
                continue;
            const size_t k = lf_stopBegin(t, truthPos, from - 5.0, to);
            if (k == t.size())
                continue;
            const double b = t[k].t + kLeadS;
            const double e = lf_movesAgain(t, truthPos, k) + kLeadS;
            if (b > endS_)
                continue;
            // The flown stop that overlaps the truth's most, else the nearest.
            size_t m = f_.size();
            double mEnd = 0.0;
            double best = -1e18;
            for (double after = b - kMatchS; after <= std::min(e, endS_) + kMatchS;) {
                const size_t c = lf_stopBegin(f_, framePos, after, std::min(e, endS_) + kMatchS);
                if (c == f_.size())
                    break;
                const double cEnd = std::min(lf_movesAgain(f_, framePos, c), endS_);
                const double overlap = std::min(cEnd, e) - std::max(f_[c].t, b);
                if (overlap > best) {
                    best = overlap;
                    m = c;
                    mEnd = cEnd;
                }
                after = std::max(cEnd, f_[c].t + kStopSettleS);
            }
            const bool flown = m < f_.size();
            if (!initial) {
                note(when, flown ? std::fabs(f_[m].t - b) : kMissing, kLimits.stopS, b);
                note(where, flown ? lf_dist(framePos(f_[m]), truthPos(t[k])) : kMissing, kLimits.stopM, b);
            }
            if (e <= endS_)
                note(start, flown ? std::fabs(mEnd - e) : kMissing, kLimits.startS, e);
            if (!flown)
                when.note = fmt::format("no stop flown for the one due at {:.1f} s", b);
        }
    }

    // Where the flown push-back ended: its position and heading where it stopped going back
    // (a turn on the spot that may follow is no part of the push); the time it first moves
    // forward, or the end of the route when it never pushed back.
    double pushEnd(CheckResult& where, CheckResult& heading) const
    {
        const std::vector<TruthState>& t = truth_.all();
        const auto last = std::find_if(t.rbegin(), t.rend(), [](const TruthState& x) { return x.phase == TruthPhase::Push; });
        const Pos reported{last->east, last->north};
        size_t i = 0;
        while (i < f_.size() && !(d1_[i] >= 0.3 && lf_angleOff(lf_nearest(f_, f_[i].t - 0.5).hdg, c1_[i]) > 90.0))
            ++i;
        size_t back = i;
        for (size_t j = i; j < f_.size(); ++j) {
            const Pos here{f_[j].e, f_[j].n};
            const Pos ahead = lf_at(f_, f_[j].t + 1.0);
            if (f_[j].t + 1.0 > f_.back().t)
                break;
            const bool moving = lf_dist(here, ahead) >= 0.3;
            const bool forward = lf_angleOff(f_[j].hdg, lf_courseDeg(here, ahead)) < 90.0;
            if (moving && !forward)
                back = j + 1;
            if (moving && forward) {
                const Frame& end = f_[std::min(back, j)];
                note(where, lf_dist({end.e, end.n}, reported), kLimits.pushEndM, end.t);
                note(heading, lf_angleOff(end.hdg, last->headingDeg), kLimits.pushEndDeg, end.t);
                return f_[j].t;
            }
        }
        note(where, kMissing, kLimits.pushEndM, -1.0);
        note(heading, kMissing, kLimits.pushEndDeg, -1.0);
        if (i == f_.size()) {
            where.note = "never pushed back";
            return -std::numeric_limits<double>::infinity();
        }
        where.note = "never moved forward after the push";
        return std::numeric_limits<double>::infinity();
    }

    void stand(CheckResult& where, CheckResult& heading) const
    {
        const RouteStand& s = route_.stands.at(static_cast<size_t>(route_.routeStand));
        const Frame& x = f_.back();
        note(where, lf_dist({x.e, x.n}, {s.east, s.north}), kLimits.standM, x.t);
        note(heading, lf_angleOff(x.hdg, s.headingDeg), kLimits.standDeg, x.t);
    }

private:
    static void note(CheckResult& r, double value, double limit, double atS)
    {
        const double share = value / limit;
        if (!r.judged || share > r.worst / r.limit) {
            r.worst = value;
            r.limit = limit;
            r.atS = atS;
        }
        r.judged = true;
    }

    // The distance from the legs between consecutive ground reports sent from `from` to `to`
    // (infinite when there are none): straight, or through the corner where their tracks meet
    // between them when those tell a turn.
    double reportedDistance(Pos p, double from, double to) const
    {
        double best = std::numeric_limits<double>::infinity();
        for (size_t i = 0; i + 1 < reports_.size(); ++i) {
            const SentReport& a = reports_[i];
            const SentReport& b = reports_[i + 1];
            if (b.t < from || a.t > to || a.airborne || b.airborne)
                continue;
            const Pos pa = reportedAt_[i];
            const Pos pb = reportedAt_[i + 1];
            // A track of 0 is the feed's missing one: it tells no corner.
            const bool told = a.trackDeg != 0.0 && b.trackDeg != 0.0;
            if (const std::optional<Pos> corner = told ? lf_tracksCorner(pa, a.trackDeg, pb, b.trackDeg) : std::nullopt)
                best = std::min({best, lf_segmentDistance(p, pa, *corner), lf_segmentDistance(p, *corner, pb)});
            else
                best = std::min(best, lf_segmentDistance(p, pa, pb));
        }
        return best;
    }

    bool reported(double from, double to) const
    {
        return std::any_of(reports_.begin(), reports_.end(), [&](const SentReport& s) {
            return s.t >= from - 1e-6 && s.t <= to + 1e-6 && s.gsKt <= kLimits.stopKt;
        });
    }

    const GeneratedRoute& route_;
    Truth truth_;
    std::vector<Frame> f_;
    const std::vector<SentReport>& reports_;
    std::vector<Pos> reportedAt_; // the reports' places in metres
    double endS_;
    double startS_ = 0.0; // the first move, within seconds of the creation
    std::vector<double> d1_; // metres moved over the second up to each frame
    std::vector<double> c1_; // the course of that move
};

const SimObject* lf_object(const Scenario& s, uint32_t hexid, bool& removed)
{
    for (const auto& [id, o] : s.objects()) {
        if (o.hexid == hexid) {
            removed = false;
            return &o;
        }
    }
    for (const auto& [id, o] : s.removedObjects()) {
        if (o.hexid == hexid) {
            removed = true;
            return &o;
        }
    }
    return nullptr;
}

void lf_placeAirport(const GeneratedRoute& route)
{
    enginetest::catalogue().halfSpans[route.type] = route.halfSpanM / 1852.0;
    g_parkAirport.code = "EHAM";
    g_parkAirport.lat = route.parkAirport.latitude;
    g_parkAirport.lon = route.parkAirport.longitude;
    g_parkAirport.elevationFt = 0.0;
    for (const RouteStand& s : route.stands) {
        const GeoPos g = routeGeo(route.origin, s.east, s.north);
        g_parkStands.emplace_back(s.id, std::vector<StandFlight>{},
                                  StandPlace{g.latitude, g.longitude, s.headingDeg * g_degToRad}, s.radiusM, true, true,
                                  true);
    }
    gf_numberAndLinkStands(g_parkStands);
    g_parkStandsLoaded = !route.stands.empty();
}

void lf_clearAirport()
{
    g_parkAirport = {};
    gf_clearParkStands();
    g_parkStandsLoaded = false;
}

} // namespace

const std::vector<std::string>& routeCheckNames()
{
    static const std::vector<std::string> names{"path",       "nose",     "speed",      "accel",      "standstill",
                                                "stop time",  "stop place", "start",    "push end",   "push heading",
                                                "stand",      "stand heading", "integrity", "real way"};
    return names;
}

bool routeCheckCounts(std::string_view name)
{
    return name != "real way";
}

bool RouteOutcome::pass() const
{
    return std::all_of(checks.begin(), checks.end(),
                       [](const CheckResult& c) { return !routeCheckCounts(c.name) || c.pass(); });
}

bool RouteOutcome::keepsToRealWay() const
{
    return std::all_of(checks.begin(), checks.end(), [](const CheckResult& c) { return c.pass(); });
}

double RouteOutcome::worstShare() const
{
    double w = 0.0;
    for (const CheckResult& c : checks) {
        if (routeCheckCounts(c.name))
            w = std::max(w, c.share());
    }
    return w;
}

std::string RouteOutcome::failures() const
{
    std::string out;
    for (const CheckResult& c : checks) {
        if (c.pass())
            continue;
        out += fmt::format("{}{} {:.2f} {} (limit {:g}) at {:.1f} s{}", out.empty() ? "" : "; ", c.name, c.worst, c.unit,
                           c.limit, c.atS, c.note.empty() ? "" : ": " + c.note);
    }
    return out;
}

namespace {

RouteOutcome lf_outcome(const GeneratedRoute& route)
{
    RouteOutcome out;
    out.seed = route.seed;
    out.kind = route.kind;
    out.type = route.type;
    out.drawn = route.drawn;
    const char* units[] = {"m", "deg", "x", "m/s2", "s", "s", "m", "s", "m", "deg", "m", "deg", "", "m"};
    for (size_t i = 0; i < routeCheckNames().size(); ++i)
        out.checks.push_back({routeCheckNames()[i], units[i]});
    return out;
}

CheckResult& lf_check(RouteOutcome& out, const char* name)
{
    return *std::find_if(out.checks.begin(), out.checks.end(), [name](const CheckResult& c) { return c.name == name; });
}

// Every check on a track; integrity counts the faults found before (removal, values not finite).
void lf_judge(const GeneratedRoute& route, const std::vector<Frame>& frames, const std::vector<SentReport>& reports,
              double endS, int faults, RouteOutcome& out)
{
    CheckResult& integrity = lf_check(out, "integrity");
    integrity.judged = true;
    integrity.worst = faults;
    if (frames.empty()) {
        integrity.worst += 1.0;
        integrity.note = "never created";
        return;
    }
    const Judge judge(route, frames, reports, endS);
    double pushEndS = -std::numeric_limits<double>::infinity();
    if (route.kind == RouteKind::PushBack)
        pushEndS = judge.pushEnd(lf_check(out, "push end"), lf_check(out, "push heading"));
    judge.path(lf_check(out, "path"), lf_check(out, "real way"));
    judge.nose(lf_check(out, "nose"), pushEndS);
    judge.speed(lf_check(out, "speed"));
    judge.accel(lf_check(out, "accel"));
    judge.standstill(lf_check(out, "standstill"));
    judge.stops(lf_check(out, "stop time"), lf_check(out, "stop place"), lf_check(out, "start"));
    if (route.kind == RouteKind::ToStand)
        judge.stand(lf_check(out, "stand"), lf_check(out, "stand heading"));
}

} // namespace

RouteOutcome runRoute(const GeneratedRoute& route, bool keepTrace)
{
    RouteOutcome out = lf_outcome(route);
    SimScript sim;
    sim.keepTracks = true;
    sim.user = route.user;
    auto scenario = std::make_unique<Scenario>(std::vector<ReferenceFlight>{route.flight}, route.feed, sim, route.seed);
    Scenario& s = *scenario;
    lf_placeAirport(route);
    s.run(route.truth.back().t + kLeadS + 1.0);
    const std::vector<SentReport>& reports = s.reports();
    const double endS = std::min(route.endS, reports.empty() ? route.endS : reports.back().t) + kLeadS;

    bool removed = false;
    const SimObject* o = lf_object(s, route.flight.hexid, removed);
    std::vector<Frame> frames;
    bool finite = s.counts().nonFiniteTicks == 0;
    if (o != nullptr) {
        for (const TrackSample& x : o->track) {
            if (x.t > endS)
                break;
            finite = finite && std::isfinite(x.lat + x.lon + x.altFt + x.headingDeg + x.pitchDeg + x.bankDeg);
            double e = 0.0;
            double n = 0.0;
            routeLocal(route.origin, x.lat, x.lon, e, n);
            frames.push_back({x.t, e, n, x.headingDeg, x.altFt, x.onGround});
        }
    }
    int faults = finite ? 0 : 1;
    std::string note = finite ? "" : "not finite";
    if (o != nullptr && !o->track.empty() && removed && o->track.back().t < endS - 0.5) {
        ++faults;
        note += fmt::format("{}removed at {:.1f} s", note.empty() ? "" : ", ", o->track.back().t);
    }
    lf_judge(route, frames, reports, endS, faults, out);
    if (!note.empty())
        lf_check(out, "integrity").note = note;

    if (keepTrace) {
        for (const Frame& f : frames)
            out.trace.flown.push_back({f.t, f.e, f.n, f.hdg, f.alt});
        for (const SentReport& r : reports) {
            double e = 0.0;
            double n = 0.0;
            routeLocal(route.origin, r.lat, r.lon, e, n);
            out.trace.reports.push_back({r.t, e, n, r.gsKt, r.trackDeg});
        }
        for (size_t i = 0; i < route.truth.size(); i += 10)
            out.trace.truth.push_back(route.truth[i]);
    }
    scenario.reset();
    lf_clearAirport();
    return out;
}

RouteOutcome judgeTruthReplay(const GeneratedRoute& route, const ReplayFault& fault)
{
    RouteOutcome out = lf_outcome(route);
    std::vector<Frame> frames;
    const double last = route.truth.back().t;
    // Between consecutive truth samples, or along the chords between reports.
    const size_t step = fault.chordsS > 0.0 ? static_cast<size_t>(std::lround(fault.chordsS / kTruthStepS)) : 1;
    for (double t = 0.0; t <= last; t += 1.0 / 60.0) {
        const size_t i = std::min(static_cast<size_t>(t / kTruthStepS), route.truth.size() - 1);
        const TruthState& a = route.truth[i / step * step];
        const TruthState& b = route.truth[std::min(i / step * step + step, route.truth.size() - 1)];
        const double k = b.t > a.t ? (t - a.t) / (b.t - a.t) : 0.0;
        double heading = a.headingDeg + std::remainder(b.headingDeg - a.headingDeg, 360.0) * k + fault.noseDeg;
        if (step > 1 && std::hypot(b.east - a.east, b.north - a.north) > kStillM)
            heading = lf_courseDeg({a.east, a.north}, {b.east, b.north}) + fault.noseDeg;
        const double track = a.trackDeg * g_degToRad;
        frames.push_back({t + kLeadS + fault.lateS,
                          a.east + (b.east - a.east) * k + fault.rightM * std::cos(track),
                          a.north + (b.north - a.north) * k - fault.rightM * std::sin(track),
                          std::fmod(heading + 720.0, 360.0), a.altFt + (b.altFt - a.altFt) * k, a.onGround});
    }
    // A report every second, every stop reported; or at the chords' ends.
    std::vector<SentReport> reports;
    const size_t reportStep = step > 1 ? step : static_cast<size_t>(std::lround(1.0 / kTruthStepS));
    for (size_t i = 0; i < route.truth.size(); i += reportStep) {
        const GeoPos g = routeGeo(route.origin, route.truth[i].east, route.truth[i].north);
        // Due north is sent as 360: 0 is the feed's missing track.
        double track = route.truth[i].trackDeg == 0.0 ? 360.0 : route.truth[i].trackDeg;
        if (fault.trackMissingEvery > 0 && reports.size() % fault.trackMissingEvery == 0)
            track = 0.0;
        reports.push_back({route.flight.hexid, route.truth[i].t, g.latitude, g.longitude, route.truth[i].altFt,
                           route.truth[i].gsKt, track, !route.truth[i].onGround});
    }
    lf_judge(route, frames, reports, route.endS + kLeadS, 0, out);
    for (const Frame& f : frames)
        out.trace.flown.push_back({f.t, f.e, f.n, f.hdg, f.alt});
    for (size_t i = 0; i < route.truth.size(); i += 10)
        out.trace.truth.push_back(route.truth[i]);
    return out;
}

} // namespace traffictest
