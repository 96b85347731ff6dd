#include "traffic/ground_path.h"
#include "traffic/plane_curves.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>

namespace {

constexpr double kMetresPerDeg = 111132.95;
constexpr double kSamePlaceM = 1.0;
constexpr double kPruneM = 2.5;
constexpr double kPruneBehindM = 6.0;
constexpr double kHookRad = 30.0 * g_degToRad;
constexpr double kLeastStopAheadM = 0.5;
constexpr int kLengthSteps = 24;
constexpr double kMostArmStretch = 3.0;
constexpr int kArmSearches = 16;
constexpr double kTurnBackRad = 120.0 * g_degToRad;
// Reports whose tracks and chords agree this closely lie on one straight.
constexpr double kRunRad = 12.0 * g_degToRad;
constexpr double kBendRad = 40.0 * g_degToRad;
// How far a report may lie off where the aircraft was, and how far the way between two
// reports may be off what their tracks and speeds tell.
constexpr double kReportSigmaM = 3.0;
constexpr double kStepSigmaM = 0.5;
constexpr double kStepSigmaShare = 0.06;
constexpr int kRunReach = 3;
constexpr double kOffRunSigmas = 3.0;
constexpr double kRunReachM = 80.0;
constexpr double kTrackSigmaRad = 3.0 * g_degToRad;
// Two reports lie aside of the way their tracks tell by more than this many of its sigmas
// (about one in a hundred by the noise alone): a turn lies between them.
constexpr double kAcrossSigmas = 2.5;
// A leg whose chord leaves both reported tracks by less is straight.
constexpr double kStraightRad = 10.0 * g_degToRad;
constexpr double kSBendShare = 0.5;
// The length flown between two reports tells the way to within about 2.4 m (99 in 100):
// beyond this it hides a swing. Half the rest is taken as the swing, the other half left to
// the length's own error: a corner moved on too far swings wider than the aircraft did.
constexpr double kSwingExcessM = 4.0;
constexpr double kSwingShare = 0.5;
// A swing whose side lies less than this off the chord is within the two reports' jitter.
constexpr double kLeastSwingWidthM = 2.0 * kReportSigmaM;
// Reports this far apart in time, at speeds this close and at taxiing pace, lie on a winding
// way wherever its bends put them (see lf_bendsThroughGap).
constexpr double kWindingGapS = 6.0;
constexpr double kHeldPaceKt = 4.0;
constexpr double kWindingMostKt = 30.0;
// A turn this large between two such reports, both tracks leaving the chord toward it, is a
// corner of two straights (see lf_skeleton); the bends of a winding way turn less between two
// reports.
constexpr double kLeastCornerOfStraightsRad = 75.0 * g_degToRad;
// A way that never bends more than 60 degrees off the chord is at most twice as long as it:
// a longer one between two such reports hides a hold.
constexpr double kMostWindingStretch = 2.0;
// Between two reports the tracks meet at a corner when they turn by this much, each off
// the chord to the side of the turn. Where the chord is long enough to tell its own direction
// that well (a high-speed exit's reports lie 100-200 m apart), a turn of more than two tracks'
// noise explains is one: laid as a bend spread over the whole gap, an exit left the runway
// a hundred metres early and cut the corner by up to 9.5 m.
constexpr double kLeastCornerRad = 20.0 * g_degToRad;
const double kLeastToldCornerRad = kAcrossSigmas * std::sqrt(2.0) * kTrackSigmaRad;
constexpr double kMostCornerRad = 160.0 * g_degToRad;
// Off a runway at speed no aircraft turns harder than about a quarter of a g sideways: a
// high-speed exit is built for less.
constexpr double kMostSideAccelMs2 = 2.5;
// A swing's curve with arms shorter than this is a kink.
constexpr double kLeastSwingArmM = 2.0;
constexpr double kLeastCornerSideRad = 3.0 * g_degToRad;
constexpr double kMostCornerArmShare = 1.5;
// A corner this much tighter than the reported speed needs has no room between its reports.
// Laid as the curve between them wherever tighter than the speed needs at all, a C172's
// corners passed their way by 8-9 m (12 in 9,000 of the route bench's taxis).
constexpr double kCornerNoRoomShare = 0.4;
// The curve is laid in chords, which lie inside it: it aims a little closer to the corner.
constexpr double kPassShare = 0.97;
constexpr double kLeastRoundedRad = 0.5 * g_degToRad;
constexpr double kSlightBendRad = 5.0 * g_degToRad;
constexpr double kMostRoundedRad = 170.0 * g_degToRad;
constexpr double kSampleDeg = 2.0;
constexpr double kSampleM = 2.0;
constexpr int kLeastSamples = 4;
constexpr int kMostSamples = 96;
constexpr double kRestKt = 1.0;
constexpr double kTrackedKt = 1.5; // from this speed on a report's track tells its way
constexpr double kTellingChordM = 4.0;
constexpr double kMostHalfTurnRad = 30.0 * g_degToRad;
constexpr double kRestTrackRad = 30.0 * g_degToRad;
constexpr double kBackwardsCos = -0.5; // a track more than 120 degrees off the way points back
// A rolling report's track is turned round only against a way its chords tell past two
// reports' jitter.
constexpr double kTurnRoundChordM = 2.0 * std::numbers::sqrt2 * kReportSigmaM;
// Two unit chords more than about 120 degrees apart add up to less than this: they tell no
// way. One chord alone is a unit long, give or take its rounding, and tells it.
constexpr double kWayToldLength = 0.99;
constexpr double kMpsPerKt = 1852.0 / 3600.0;
// A kink onto a curve is rounded over no more than this many times the arm its turn at the
// reported speed needs: rounded over all the pass allows, the way into a U-turn's curve was
// laid 10.9 m wide of the real one (the route bench's U-turn 2350291).
constexpr double kRoundOntoNeedShare = 2.0;
// A track of 0 rolling through a turn is taken as due north when north lies within the turn
// between the chords either side, or this near it (their jitter).
constexpr double kNorthWithinRad = 10.0 * g_degToRad;

struct Node {
    Vec at;
    Vec dir;
    bool trackKnown = false;
    bool restTrackGiven = false;
    bool zeroTrack = false;
    Vec track;
    double speedKt = 0.0;
    double timeS = 0.0;
};

struct Vertex {
    Vec at;
    double speedKt = 0.0;
    bool fixed = false; // a point of a laid curve: not rounded again
    Vec tangent;        // of a fixed point
    bool swing = false; // where the way turned after running on along a report's track
};

// Reports at one place become one node; index: the node of each report. A stop is a place of
// its own, though it lies within a metre of the slow report before it (laid on from that one
// by its braking): taken into it, it would take that report's speed, the smoothing would
// draw it back by that speed to the report before, and the aircraft would stop metres short.
// (A report that by its speed was within a metre of the stop is taken into the stop instead.)
std::vector<Node> lf_nodes(const std::vector<PathReport>& reports, std::vector<size_t>& index)
{
    std::vector<Node> nodes;
    index.clear();
    for (const PathReport& r : reports) {
        const Vec at{r.north, r.east};
        const double apart = nodes.empty() ? 0.0 : gf_length(at - nodes.back().at);
        const bool stop = !nodes.empty() && r.speedKt <= kRestKt && nodes.back().speedKt > kRestKt &&
                          apart >= kLeastStopAheadM;
        // A report rolling so slowly before the stop that by its speed it was within a metre
        // of it lies where it does by its jitter alone: it is taken into the stop. A node of
        // its own metres aside, it put a knot into the last metres, which an aircraft crawled
        // round, or circled.
        if (stop && nodes.size() >= 2 &&
            nodes.back().speedKt * kMpsPerKt / 2.0 * (r.timeS - nodes.back().timeS) < kSamePlaceM &&
            std::count(index.begin(), index.end(), nodes.size() - 1) == 1)
            nodes.pop_back();
        if (!nodes.empty() && apart < kSamePlaceM && !stop) {
            Node& last = nodes.back();
            if (r.trackKnown && !last.trackKnown) {
                last.trackKnown = true;
                last.track = gf_headingVec(r.trackRad);
            }
            index.push_back(nodes.size() - 1);
            continue;
        }
        Node node;
        node.at = at;
        node.trackKnown = r.trackKnown;
        node.restTrackGiven = r.restTrackGiven;
        node.zeroTrack = r.zeroTrack;
        node.track = gf_headingVec(r.trackRad);
        node.speedKt = r.speedKt;
        node.timeS = r.timeS;
        nodes.push_back(node);
        index.push_back(nodes.size() - 1);
    }
    return nodes;
}

// A stop faces the way the aircraft came: the turn it was in carried on to the stop, the way
// to it the chord of that turn (when it is long enough for its jitter not to tell).
Vec lf_stoppedDirection(const Node& before, const Node& stop)
{
    const Vec to = stop.at - before.at;
    if (gf_length(to) < kTellingChordM)
        return before.dir;
    const double half = gf_turn(before.dir, gf_unit(to));
    if (std::fabs(half) > kMostHalfTurnRad)
        return before.dir;
    const double h = std::atan2(before.dir.e, before.dir.n) + 2.0 * half;
    return {std::cos(h), std::sin(h)};
}

// The direction of travel at each node: its track where it has one (turned round when it
// points back along the way, as a push-back may be reported), else the chords'.
void lf_directions(std::vector<Node>& nodes)
{
    const size_t n = nodes.size();
    for (size_t i = 0; i < n; ++i) {
        // The chords to the neighbours either side; none where there is no neighbour.
        const Vec before = i > 0 ? nodes[i].at - nodes[i - 1].at : Vec{};
        const Vec after = i + 1 < n ? nodes[i + 1].at - nodes[i].at : Vec{};
        Vec chord;
        if (i > 0)
            chord = chord + gf_unit(before);
        if (i + 1 < n)
            chord = chord + gf_unit(after);
        // The chords long enough to tell a way past the reports' jitter, and agreeing on it
        // (each alone does): only against such a way is a track taken to point back. A report
        // whose neighbours lie either side of it by their jitter, one ahead and one behind,
        // has none, nor has one whose only neighbour lies a metre behind it; its track is its
        // way.
        const bool beforeTells = gf_length(before) >= kTellingChordM;
        const bool afterTells = gf_length(after) >= kTellingChordM;
        // A track of 0 reads as none, and so does one due north: rolling on through a turn
        // that north lies within, the aircraft headed north there. Read as none, the turn of a
        // B744 was laid along the chord into it, 14 m inside the real one (the route bench's
        // turns 3350944).
        if (nodes[i].zeroTrack && !nodes[i].trackKnown && beforeTells && afterTells) {
            const double turn = gf_turn(gf_unit(before), gf_unit(after));
            const double north = gf_turn(gf_unit(before), nodes[i].track);
            const double within = std::fabs(turn) / 2.0 + kNorthWithinRad;
            if (std::fabs(north - turn / 2.0) <= within)
                nodes[i].trackKnown = true;
        }
        // The unit chords at least so long, summed.
        const auto toldBy = [&before, &after](double leastM) {
            Vec sum;
            if (gf_length(before) >= leastM)
                sum = sum + gf_unit(before);
            if (gf_length(after) >= leastM)
                sum = sum + gf_unit(after);
            return sum;
        };
        const Vec told = toldBy(kTellingChordM);
        const bool wayTold = gf_length(told) >= kWayToldLength;
        // A neighbour within the jitter tells nothing of the way where the other one does, and
        // of two that point apart the nearer is the more likely jittered: a crawling report
        // 2.6 m behind the one before it turned that one's way 70 degrees aside, and a B744
        // lining up circled back to it.
        if (beforeTells != afterTells)
            chord = told;
        else if (beforeTells && !wayTold)
            chord = gf_length(before) >= gf_length(after) ? before : after;
        chord = gf_unit(chord);
        Node& node = nodes[i];
        if (!node.trackKnown) {
            node.dir = chord;
            // Between neighbours within the reports' jitter of it, the chords tell no way. At rest,
            // the report of moving off after it does by its track: the chord to it, 1.1 m aside,
            // turned an A320 lining up 87 degrees off the runway. Rolling too slowly for its own
            // track to tell, the nearest node farther off does: moving off, a report 1.4 m behind
            // the one before it pointed the way back, and a take-off roll began with a loop 52 m
            // off the runway.
            const bool jittered = !beforeTells && !afterTells;
            if (jittered && node.speedKt <= kRestKt && i + 1 < n && nodes[i + 1].trackKnown) {
                node.dir = nodes[i + 1].track;
            } else if (jittered && node.speedKt > kRestKt) {
                for (size_t k = 1; k < n; ++k) {
                    if (i + k < n && gf_length(nodes[i + k].at - node.at) >= kTellingChordM) {
                        node.dir = gf_unit(nodes[i + k].at - node.at);
                        break;
                    }
                    if (k <= i && gf_length(node.at - nodes[i - k].at) >= kTellingChordM) {
                        node.dir = gf_unit(node.at - nodes[i - k].at);
                        break;
                    }
                }
            }
            // Rolling without a track at a corner of the reports' line: it came along the line
            // before it, and the corner is rounded where it was reported.
            if (i > 0 && i + 1 < n && node.speedKt >= kTrackedKt) {
                const Vec in = gf_unit(node.at - nodes[i - 1].at);
                if (std::fabs(gf_turn(in, gf_unit(nodes[i + 1].at - node.at))) >= kLeastCornerRad)
                    node.dir = in;
            }
            if (i > 0 && nodes[i - 1].trackKnown && node.speedKt <= kRestKt) {
                node.dir = lf_stoppedDirection(nodes[i - 1], node);
                // A report at rest may carry the last track, or the nose: either way it tells the
                // line the aircraft stands on, when it agrees with the way it came (the turn read
                // from the chord may be the jitter of the stop's place alone).
                if (node.restTrackGiven) {
                    const Vec line = gf_dot(node.track, node.dir) >= 0.0 ? node.track : node.track * -1.0;
                    if (std::fabs(gf_turn(node.dir, line)) <= kRestTrackRad ||
                        std::fabs(gf_turn(nodes[i - 1].dir, line)) <= kRestTrackRad)
                        node.dir = line;
                }
            }
            continue;
        }
        // Turned round against a way told by chords within the reports' jitter, a rolling
        // report's track lying 4 m behind the one before it pointed back, and the path looped
        // through it: the aircraft stood 4.6 s while its reports rolled at 5 kt (the route
        // bench's speed change 150005, an A320, reported every 1-3 s with 4 m of noise). A
        // standing one's is the nose it stands with, which a push may have turned back: kept
        // against a chord 8.3 m long, an aircraft lining up turned about on the spot and went
        // the other way first (line-up 600153, a B744).
        const Vec toldFar = toldBy(kTurnRoundChordM);
        const bool farTold = gf_length(toldFar) >= kWayToldLength && gf_dot(node.track, gf_unit(toldFar)) < kBackwardsCos;
        const bool pointsBack =
            wayTold && gf_dot(node.track, gf_unit(told)) < kBackwardsCos && (node.speedKt <= kRestKt || farTold);
        node.dir = pointsBack ? node.track * -1.0 : node.track;
    }
}

// Reports jitter by a few metres and degrees. Along a straight each node takes the mean
// direction of its neighbours on it, and of the straight's chord: over a long straight the
// way from one end to the other tells its direction far better than any one track (a
// track a few degrees off, carried into the turn after it, leaves the way by metres).
void lf_smoothDirections(std::vector<Node>& nodes)
{
    const size_t n = nodes.size();
    std::vector<Vec> dir(n);
    for (size_t i = 0; i < n; ++i) {
        Vec sum = nodes[i].dir;
        std::array<size_t, 2> ends{i, i};
        for (int side : {-1, 1}) {
            for (int k = 1; k <= kRunReach; ++k) {
                const auto j = static_cast<std::ptrdiff_t>(i) + side * k;
                if (j < 0 || j >= static_cast<std::ptrdiff_t>(n))
                    break;
                const Node& b = nodes[static_cast<size_t>(j)];
                if (std::fabs(gf_turn(nodes[i].dir, b.dir)) > kRunRad)
                    break;
                const Vec way = (b.at - nodes[i].at) * static_cast<double>(side);
                if (!b.trackKnown || gf_length(way) < kTellingChordM ||
                    std::fabs(gf_turn(nodes[i].dir, gf_unit(way))) > kRunRad)
                    break;
                ends[side > 0 ? 1 : 0] = static_cast<size_t>(j);
                if (gf_length(b.at - nodes[i].at) <= kRunReachM)
                    sum = sum + b.dir;
            }
        }
        if (nodes[i].trackKnown && ends[1] != ends[0]) {
            const Vec chord = nodes[ends[1]].at - nodes[ends[0]].at;
            // The chord's direction is known to its ends' jitter over its length.
            const double chordSigma = std::sqrt(2.0) * kReportSigmaM / gf_length(chord);
            const double trust = kTrackSigmaRad / chordSigma;
            // A track off the straight's chord by more than three times their noise together
            // lies at its end, in the bend onto it (an exit's arc): it keeps its own. Taken
            // for the straight's, it left the bend a metre or two to turn in. (At two and a
            // half times, noisy tracks kept so left bends at their reports too short to turn
            // in: reported every 1-10 s, two exits were braked for and run 14-15 m wide.)
            if (std::fabs(gf_turn(nodes[i].dir, gf_unit(chord))) > kOffRunSigmas * std::hypot(kTrackSigmaRad, chordSigma)) {
                dir[i] = nodes[i].dir;
                continue;
            }
            sum = sum + gf_unit(chord) * (trust * trust);
        }
        dir[i] = gf_unit(sum);
    }
    for (size_t i = 0; i < n; ++i)
        nodes[i].dir = dir[i];
}

// Where each node lies, from the reported positions and the way between them: two reports
// whose tracks and speeds are known lie apart by the chord of the arc their tracks turn
// through, as long as their speeds and times tell. Both are weighed by how far they can be
// trusted, and the nodes are placed where the two agree best (a least-squares fit, solved
// per coordinate as a tridiagonal system).
void lf_smoothPositions(std::vector<Node>& nodes)
{
    const size_t n = nodes.size();
    if (n < 3)
        return;
    std::vector<Vec> step(n - 1);
    std::vector<double> stepWeight(n - 1, 0.0);
    for (size_t i = 0; i + 1 < n; ++i) {
        const Node& a = nodes[i];
        const Node& b = nodes[i + 1];
        const double seconds = b.timeS - a.timeS;
        if (!a.trackKnown || !b.trackKnown || !(seconds > 0.0))
            continue;
        const double turn = gf_turn(a.dir, b.dir);
        if (std::fabs(turn) > kBendRad)
            continue;
        const double flown = (a.speedKt + b.speedKt) / 2.0 * kMpsPerKt * seconds;
        const double chord = std::fabs(turn) > 1e-6 ? flown * std::sin(turn / 2.0) / (turn / 2.0) : flown;
        const double sigma = kStepSigmaM + kStepSigmaShare * flown + flown * (1.0 - std::cos(turn / 2.0)) +
                             std::fabs(b.speedKt - a.speedKt) * kMpsPerKt * seconds / 4.0;
        // A stop or a turn the speeds and tracks do not tell of: the positions alone. Such a
        // turn may leave the length flown as it was, yet move the second report aside: a bend
        // one way then back the other (an S) keeps both tracks parallel.
        const Vec along = gf_unit(a.dir + b.dir);
        const double across = std::fabs(gf_cross(along, b.at - a.at));
        const double acrossWayM = kStepSigmaM + chord * kTrackSigmaRad + flown * (1.0 - std::cos(turn / 2.0));
        const double acrossSigma = std::hypot(acrossWayM, std::sqrt(2.0) * kReportSigmaM);
        if (std::fabs(gf_length(b.at - a.at) - chord) > 3.0 * sigma + 2.0 * kReportSigmaM ||
            across > kAcrossSigmas * acrossSigma)
            continue;
        step[i] = along * chord;
        stepWeight[i] = 1.0 / (sigma * sigma);
    }
    const double wp = 1.0 / (kReportSigmaM * kReportSigmaM);
    for (const bool north : {true, false}) {
        // (wp + w[i-1] + w[i]) x[i] - w[i-1] x[i-1] - w[i] x[i+1] = wp p[i] - w[i] d[i] + w[i-1] d[i-1]
        std::vector<double> diag(n), upper(n, 0.0), rhs(n);
        for (size_t i = 0; i < n; ++i) {
            const double p = north ? nodes[i].at.n : nodes[i].at.e;
            const double wBefore = i > 0 ? stepWeight[i - 1] : 0.0;
            const double wAfter = i + 1 < n ? stepWeight[i] : 0.0;
            const double dBefore = i > 0 ? (north ? step[i - 1].n : step[i - 1].e) : 0.0;
            const double dAfter = i + 1 < n ? (north ? step[i].n : step[i].e) : 0.0;
            diag[i] = wp + wBefore + wAfter;
            upper[i] = -wAfter;
            rhs[i] = wp * p - wAfter * dAfter + wBefore * dBefore;
        }
        // Thomas algorithm: the lower diagonal equals the upper one shifted.
        for (size_t i = 1; i < n; ++i) {
            const double m = upper[i - 1] / diag[i - 1];
            diag[i] -= m * upper[i - 1];
            rhs[i] -= m * rhs[i - 1];
        }
        std::vector<double> x(n);
        x[n - 1] = rhs[n - 1] / diag[n - 1];
        for (size_t i = n - 1; i-- > 0;)
            x[i] = (rhs[i] - upper[i] * x[i + 1]) / diag[i];
        for (size_t i = 0; i < n; ++i)
            (north ? nodes[i].at.n : nodes[i].at.e) = x[i];
    }
}

// Smoothed, two reports of a slow or jittery stretch may come to lie on top of each other,
// or the later behind the earlier: one node serves both.
void lf_prune(std::vector<Node>& nodes, std::vector<size_t>& index, bool stopOnStand)
{
    std::vector<size_t> kept(nodes.size(), 0);
    std::vector<Node> out;
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (!out.empty()) {
            const Vec d = nodes[i].at - out.back().at;
            // A stop reported a few metres on from the last moving report lies on the way on
            // from it, aside only by its jitter: taken into that report, or dropped as a hook,
            // the aircraft would stop short of it by the whole way it braked over. A stand's
            // place lies where it is.
            const double ahead = gf_dot(d, out.back().dir);
            if (nodes[i].speedKt <= kRestKt && out.back().speedKt > kRestKt && ahead >= kLeastStopAheadM &&
                gf_length(d) < kPruneBehindM) {
                Node stop = nodes[i];
                if (!stopOnStand) {
                    stop.at = out.back().at + out.back().dir * ahead;
                    stop.dir = out.back().dir;
                }
                out.push_back(stop);
                kept[i] = out.size() - 1;
                continue;
            }
            const bool close = gf_length(d) < kPruneM;
            const bool behind = gf_length(d) < kPruneBehindM && gf_dot(d, out.back().dir) < 0.0 &&
                                gf_dot(d, nodes[i].dir) < 0.0;
            // The last report, with no later one to smooth it, a few metres off to the side.
            const bool hook = i + 1 == nodes.size() && gf_length(d) < kPruneBehindM &&
                              std::fabs(gf_turn(out.back().dir, gf_unit(d))) > kHookRad;
            if (close || behind || hook) {
                kept[i] = out.size() - 1;
                continue;
            }
        }
        out.push_back(nodes[i]);
        kept[i] = out.size() - 1;
    }
    for (size_t& k : index)
        k = kept[k];
    nodes = std::move(out);
}

int lf_sampleCount(double turnRad, double lengthM)
{
    const double byTurn = std::fabs(turnRad) * g_radToDeg / kSampleDeg;
    const double byLength = lengthM / kSampleM;
    return std::clamp(static_cast<int>(std::ceil(std::max(byTurn, byLength))), kLeastSamples, kMostSamples);
}

// The inner points of the cubic a, p1, p2, b, each with its tangent, not rounded again.
void lf_appendCubicPoints(std::vector<Vertex>& out, Vec a, Vec p1, Vec p2, Vec b, double speedKt)
{
    const int count = lf_sampleCount(gf_turn(p1 - a, b - p2), gf_length(b - a));
    for (int k = 1; k < count; ++k) {
        const double t = static_cast<double>(k) / count;
        Vertex v;
        v.at = gf_cubicAt(a, p1, p2, b, t);
        v.tangent = gf_unit(gf_cubicTangent(a, p1, p2, b, t));
        v.fixed = true;
        v.speedKt = speedKt;
        out.push_back(v);
    }
}

// The inner points of a cubic from a to b leaving a along ta and reaching b along tb: as
// round as a circular arc would be, or longer where the way between the two reports was
// longer (flownM, 0 when unknown) where it turned back: on beyond the report after it.
void lf_appendCubic(std::vector<Vertex>& out, Vec a, Vec ta, Vec b, Vec tb, double speedKt, double flownM = 0.0)
{
    const double chord = gf_length(b - a);
    double arm = gf_arcArm(chord, gf_turn(ta, tb));
    if (std::fabs(gf_turn(ta, tb)) >= kTurnBackRad &&
        flownM > gf_cubicLength(a, a + ta * arm, b - tb * arm, b, kLengthSteps)) {
        double lo = arm;
        double hi = arm * kMostArmStretch;
        for (int i = 0; i < kArmSearches; ++i) {
            const double m = (lo + hi) / 2.0;
            (gf_cubicLength(a, a + ta * m, b - tb * m, b, kLengthSteps) < flownM ? lo : hi) = m;
        }
        arm = lo;
    }
    lf_appendCubicPoints(out, a, a + ta * arm, b - tb * arm, b, speedKt);
}

// How far the real aircraft went between two nodes, as their speeds and times tell; 0 when
// they do not.
double lf_flownM(const Node& a, const Node& b)
{
    const double seconds = b.timeS - a.timeS;
    if (!(a.speedKt > 0.0 && b.speedKt > 0.0 && seconds > 0.0))
        return 0.0;
    return (a.speedKt + b.speedKt) / 2.0 * kMpsPerKt * seconds;
}

// The tightest radius the nose, at its most, follows round at the speed; none where the
// type's turn rate is unknown.
double lf_neededRadius(double speedKt, const PathShape& shape)
{
    return shape.turnRadPerS > 0.0 ? speedKt * kMpsPerKt / shape.turnRadPerS : 0.0;
}

double lf_passM(const PathShape& shape, double speedKt)
{
    return speedKt >= shape.fastSpeedKt ? shape.fastCornerPassM : shape.cornerPassM;
}

// The radius of a turn hidden between two reports whose tracks meet at a corner armA after
// the first and armB before the second. The way the real aircraft went between them is as
// long as its speed and time tell: the rounder the turn, the shorter than the way through
// the corner. On a slight turn a metre of that way tells tens of metres of radius, yet a
// gentle exit laid by it keeps far closer than one passing its corner within the pass
// distance. Never tighter than that, nor wider than the reports allow; without the speeds
// and times, the pass distance.
double lf_hiddenTurnRadius(const Node& a, const Node& b, double armA, double armB, double turnRad, double passM)
{
    const double half = std::tan(turnRad / 2.0);
    const double widest = std::min(armA, armB) / half;
    const double passing = passM / (1.0 / std::cos(turnRad / 2.0) - 1.0);
    double radius = passing;
    const double seconds = b.timeS - a.timeS;
    if (a.speedKt > 0.0 && b.speedKt > 0.0 && seconds > 0.0) {
        const double flown = (a.speedKt + b.speedKt) / 2.0 * kMpsPerKt * seconds;
        radius = std::max((armA + armB - flown) / (2.0 * half - turnRad), passing);
    }
    // Faster than taxiing, the turn is taken at speed: the slower report's tells the least
    // radius it allows.
    const double slower = std::min(a.speedKt, b.speedKt) * kMpsPerKt;
    if (slower > kWindingMostKt * kMpsPerKt)
        radius = std::max(radius, slower * slower / kMostSideAccelMs2);
    return std::clamp(radius, std::min(passing, widest), widest);
}

// Two reports seconds apart at a steady pace, each with its track, on a way that does not turn
// back: the one whose track leaves the chord lies in a bend of a winding way (an S's bends
// take a few seconds each), not at a corner of two straights. Rounded as a corner there, the
// path passed it by the whole pass distance, as far as a user sees a path may be off, and
// an S's report noise took it past (seed 320 B744, 9.9 m); a curve along both tracks keeps
// through both reports (lf_appendPacedCubic). A pace that changed tells a turn braked for or
// sped out of, flown at its end; and faster than taxiing, the way is a runway's exit, a
// corner off a long straight.
bool lf_bendsThroughGap(const Node& a, const Node& b, double turnRad)
{
    return a.trackKnown && b.trackKnown && lf_flownM(a, b) > 0.0 && b.timeS - a.timeS >= kWindingGapS &&
           std::fabs(b.speedKt - a.speedKt) <= kHeldPaceKt && std::max(a.speedKt, b.speedKt) <= kWindingMostKt &&
           std::fabs(turnRad) < kTurnBackRad;
}

// The way between two reports of a winding way, as the aircraft moved: it left the first
// along its track at its speed and reached the second along its track at its speed, and the
// cubic whose ends move so over the gap (a Hermite curve in time, its arms a third of each
// end's speed times the gap) is as long as the way flown. Through a bend hidden between the
// reports it keeps within metres of the way an arc of the same turn takes, on whichever
// side of the chord the tracks tell. A corner laid where the tracks meet, or moved on by the
// length flown, took the bends of an S for one sharp turn: 75 of 2,000 S-turns left their way
// by more than 8 m, 49 with this curve.
// Where the speeds and times tell a way far longer than the reports lie apart (a hold
// between them, or a report's time off), that cubic would kink or loop back against the
// chord: false, and nothing is laid.
bool lf_appendPacedCubic(std::vector<Vertex>& out, const Node& a, const Node& b)
{
    const double seconds = b.timeS - a.timeS;
    const Vec p1 = a.at + a.dir * (a.speedKt * kMpsPerKt * seconds / 3.0);
    const Vec p2 = b.at - b.dir * (b.speedKt * kMpsPerKt * seconds / 3.0);
    const Vec chord = b.at - a.at;
    if (lf_flownM(a, b) > kMostWindingStretch * gf_length(chord))
        return false;
    for (int k = 0; k <= kLengthSteps; ++k) {
        if (gf_dot(gf_cubicTangent(a.at, p1, p2, b.at, static_cast<double>(k) / kLengthSteps), chord) <= 0.0)
            return false;
    }
    lf_appendCubicPoints(out, a.at, p1, p2, b.at, (a.speedKt + b.speedKt) / 2.0);
    return true;
}

// The corners of the way: the nodes, a turn between two reports where their tracks meet,
// and the points of a curve where they turn back or step aside.
std::vector<Vertex> lf_skeleton(const std::vector<Node>& nodes, const PathShape& shape)
{
    std::vector<Vertex> out;
    bool curveTo = false; // the leg before was laid as a curve ending on this node
    for (size_t i = 0; i < nodes.size(); ++i) {
        const Node& a = nodes[i];
        out.push_back({a.at, a.speedKt, false, a.dir});
        if (i + 1 == nodes.size())
            break;
        const Node& b = nodes[i + 1];
        const double chord = gf_length(b.at - a.at);
        const Vec c = gf_unit(b.at - a.at);
        const double turn = gf_turn(a.dir, b.dir);
        const double alpha = gf_turn(a.dir, c);
        const double beta = gf_turn(c, b.dir);
        const double speed = (a.speedKt + b.speedKt) / 2.0;
        // A curve laid to this node ends on it, leaving no room to round the bend onto a
        // straight leg after it: the leg leaves along the curve's end instead. Its last point
        // before the node lies up to a sample's spacing off it: the bend rounded there, within
        // that spacing, met the curve laid on from the next node as a kink.
        const bool curveEnds = curveTo || (out.size() >= 2 && out[out.size() - 2].fixed &&
                                           gf_length(a.at - out[out.size() - 2].at) < kSamePlaceM);
        curveTo = false;
        const bool sameSide = alpha * turn > 0.0 && beta * turn > 0.0;
        // Each end's track along the chord to its neighbour beyond: that end lies on a straight.
        const bool alongBefore = i > 0 && std::fabs(gf_turn(gf_unit(a.at - nodes[i - 1].at), a.dir)) < kStraightRad;
        if (std::fabs(alpha) < kStraightRad && std::fabs(beta) < kStraightRad) {
            // Both tracks a few degrees off the chord toward a turn more than their noise
            // explains: a bend spread over the gap (a high-speed exit's arc, its reports 100-200
            // m apart), its arc about the chord times the turn over 8 off the chord. Where that is
            // more than the reports' jitter and the way comes into the first report along its
            // track, it is laid as a curve: left straight, its corners rounded at the reports,
            // it cut an exit's arc by 11 m and kinked the nose by 10 degrees at the second. A way
            // coming in off the track turns at the first report, and a curve from there would
            // leave that corner no room.
            const bool bend = sameSide && std::fabs(turn) >= kLeastToldCornerRad && (i == 0 || alongBefore) &&
                              chord * std::fabs(turn) / 8.0 >= kReportSigmaM;
            if ((curveEnds && std::fabs(alpha) >= kLeastRoundedRad) || bend) {
                lf_appendCubic(out, a.at, a.dir, b.at, b.dir, speed);
                curveTo = true;
            }
            continue;
        }
        const bool alongAfter =
            i + 2 < nodes.size() && std::fabs(gf_turn(b.dir, gf_unit(nodes[i + 2].at - b.at))) < kStraightRad;
        // Both ends on straights (an end with no neighbour beyond counts as one) meet at a
        // corner, as taxiways do: the curve in time, spread over the whole gap, would cut it
        // by half the gap's length times the sine of half the turn (at 15 kt, reports 10 s
        // apart, a 60 degree corner by 10 m, which the aircraft passed within 3). So does a
        // large turn both tracks leave the chord toward, though one end's report lies a few
        // seconds into it and carries a track some degrees into the turn.
        const bool onStraights = (i == 0 || alongBefore) && (i + 2 >= nodes.size() || alongAfter);
        const bool cornerOfStraights = sameSide && std::fabs(turn) >= kLeastCornerOfStraightsRad;
        if (lf_bendsThroughGap(a, b, turn) && !cornerOfStraights && !onStraights && lf_appendPacedCubic(out, a, b)) {
            curveTo = true;
            continue;
        }
        // A report at a corner: it carries one leg's track, its neighbour the other's, and each
        // agrees with its own leg. The corner is rounded where it was reported, unless both
        // tracks leave the chord to the side of the turn: then they meet between the reports
        // (a long leg tells its track to a degree or two, and a report a few seconds into a
        // turn carries a track some degrees into it).
        // So it is where the tracks bend either way off the chord (an S), one end's track leads
        // on along the leg beyond it and the other leaves the chord by far less: the bend lies
        // at the first, and the other's few degrees are the way into it.
        const bool sBend = alpha * beta < 0.0;
        const bool turnedAtA = alongBefore && (std::fabs(beta) < kStraightRad ||
                                               (sBend && std::fabs(beta) < kSBendShare * std::fabs(alpha)));
        const bool turnedAtB = alongAfter && (std::fabs(alpha) < kStraightRad ||
                                              (sBend && std::fabs(alpha) < kSBendShare * std::fabs(beta)));
        const bool chordTells = chord * kLeastCornerSideRad >= std::sqrt(2.0) * kReportSigmaM;
        const double leastTurn = chordTells ? kLeastToldCornerRad : kLeastCornerRad;
        if (std::fabs(turn) >= leastTurn && std::fabs(turn) <= kMostCornerRad && sameSide &&
            std::fabs(alpha) >= kLeastCornerSideRad && std::fabs(beta) >= kLeastCornerSideRad) {
            const double s = std::sin(std::fabs(turn));
            const double armA = chord * std::sin(std::fabs(beta)) / s;
            const double armB = chord * std::sin(std::fabs(alpha)) / s;
            // A way flown shorter than round the widest turn from one track to the other went
            // round no one corner: two turns the same way with a straight between, each report
            // a few seconds into one. Rounded where the tracks meet, the path passed 12.5 m
            // outside that straight; the curve paced by the reports' speeds keeps to it.
            const double half = std::tan(std::fabs(turn) / 2.0);
            const double widestWay = armA + armB - std::min(armA, armB) / half * (2.0 * half - std::fabs(turn));
            const double flown = lf_flownM(a, b);
            const bool cutShort = flown > 0.0 && flown < widestWay - kSwingExcessM;
            if (cutShort && lf_bendsThroughGap(a, b, turn) && lf_appendPacedCubic(out, a, b)) {
                curveTo = true;
                continue;
            }
            if (armA <= kMostCornerArmShare * chord && armB <= kMostCornerArmShare * chord) {
                const Vec corner = a.at + a.dir * armA;
                const double radius =
                    lf_hiddenTurnRadius(a, b, armA, armB, std::fabs(turn), lf_passM(shape, speed));
                // Tracks that meet a metre or two from a report leave the corner no room to turn
                // at the reported speed: both reports lie in one turn, and the curve between them
                // along their tracks is the rounder (a C172 braked to 1.6 kt for a corner of 1.2 m
                // radius between two reports in its turn at 7 kt: the route bench's line-up 1350820).
                if (radius < kCornerNoRoomShare * lf_neededRadius(speed, shape) &&
                    radius < chord / (2.0 * std::sin(std::fabs(turn) / 2.0))) {
                    lf_appendCubic(out, a.at, a.dir, b.at, b.dir, speed);
                    curveTo = true;
                    continue;
                }
                const double tangent = radius * std::tan(std::fabs(turn) / 2.0);
                const Vec from = corner - a.dir * tangent;
                const Vec to = corner + b.dir * tangent;
                out.push_back({from, speed, true, a.dir});
                lf_appendCubic(out, from, a.dir, to, b.dir, speed);
                out.push_back({to, speed, true, b.dir});
                continue;
            }
        }
        if (turnedAtA || turnedAtB) {
            // The way flown well longer than the chord: the aircraft went on along the track at
            // the corner's report before it turned (the first bend of an S hidden between the
            // reports, or a turn begun late). The corner is moved on along that track until the
            // way through it is as long; laid at the report, the way cut the swing by its width.
            // A speed that changed between the reports tells the length less well: the change
            // may come anywhere between them (an exit's braking comes early), so the mean pace
            // may be off by up to half the change over the gap. Not so where the report on the
            // straight end of the gap is the faster: it held that speed along the straight up
            // to the turn and slowed only for it (or sped up only out of it), so the mean pace
            // falls short of the way, and an S's first bend, braked for late, is no less a
            // swing for it. One without a track tells it not at all.
            const double flown = lf_flownM(a, b);
            const bool heldFaster = turnedAtA ? a.speedKt > b.speedKt : b.speedKt > a.speedKt;
            const double uneven =
                heldFaster ? 0.0 : std::fabs(b.speedKt - a.speedKt) * kMpsPerKt * (b.timeS - a.timeS) / 2.0;
            if (a.trackKnown && b.trackKnown && flown - chord > kSwingExcessM + uneven) {
                const Vec at = turnedAtA ? a.at : b.at;
                const Vec along = turnedAtA ? a.dir : b.dir * -1.0;
                const Vec toOther = (turnedAtA ? b.at : a.at) - at;
                // Moved on by d, the way is d + |toOther - along d| long.
                const auto movedOn = [&](double way) {
                    return (way * way - gf_dot(toOther, toOther)) / (2.0 * (way - gf_dot(along, toOther)));
                };
                const double way = chord + (flown - chord) * kSwingShare;
                const double d = movedOn(way);
                // A way that long strays farthest from the chord as two legs of equal length.
                const double widest = std::sqrt(std::max(way * way - chord * chord, 0.0)) / 2.0;
                // The swing runs on along the report's track, which tells the way only where the
                // report lies on a straight: its neighbour beyond it agrees with the leg between
                // them. Otherwise the report may have been taken mid-turn, and a speed that
                // dipped in the bend overstates the length: laid 12.4 m off the chord along such
                // a track, the swing went the other way from the real aircraft (seed 300932
                // A320, S-turns). That guess is laid no wider than a corner may be passed, so
                // that, wrong, it strays no farther from the reports than a corner's curve does.
                const bool straightBehind =
                    turnedAtA ? i > 0 && nodes[i - 1].trackKnown &&
                                    std::fabs(gf_turn(nodes[i - 1].dir, gf_unit(a.at - nodes[i - 1].at))) < kStraightRad
                              : i + 2 < nodes.size() && nodes[i + 2].trackKnown &&
                                    std::fabs(gf_turn(gf_unit(nodes[i + 2].at - b.at), nodes[i + 2].dir)) < kStraightRad;
                const double widestLaid = straightBehind ? widest : std::min(widest, lf_passM(shape, speed));
                const double laidOn = movedOn(std::sqrt(chord * chord + 4.0 * widestLaid * widestLaid));
                // A swing no wider than the reports' jitter is as likely a chord they shortened:
                // between reports 3 s apart, one 4 m short of its place, it was a hook the
                // other way before the turn, crawled round (seed 700422 C172, at its line-up
                // stop 6.7 s late). Nor is one the way's length moves on past the other report.
                if (d >= kTellingChordM && d < chord && laidOn >= kTellingChordM && widest >= kLeastSwingWidthM)
                    out.push_back({at + along * laidOn, speed, false, turnedAtA ? a.dir : b.dir, true});
            } else if (lf_bendsThroughGap(a, b, turn) ||
                       (curveEnds && std::fabs(alpha) >= kLeastRoundedRad && std::fabs(alpha) < kLeastCornerRad)) {
                // So is the way on from a curve laid to this report where it turns less than a
                // corner off the report's track: rounded at the report, within the curve's last
                // sample spacing, the bend was a knot that a B744 leaving its exit braked for
                // seconds ahead.
                lf_appendCubic(out, a.at, a.dir, b.at, b.dir, speed);
                curveTo = true;
            }
            continue;
        }
        lf_appendCubic(out, a.at, a.dir, b.at, b.dir, speed, lf_flownM(a, b));
        curveTo = true;
    }
    return out;
}


// The arm of a corner's curve that passes the corner within the pass distance (a curve with
// two arms L passes it at L sin(turn / 2) / 2), a slight bend's as a few degrees' would.
double lf_passingArm(double turn, double speedKt, const PathShape& shape)
{
    return 2.0 * kPassShare * lf_passM(shape, speedKt) /
           std::sin(std::clamp(turn, kSlightBendRad, kMostRoundedRad) / 2.0);
}

// The arm of a corner's curve whose tightest radius the nose, at its most, follows round at
// the speed (the curve's tightest radius is its arm times cos²(turn / 2) / sin(turn / 2));
// infinite where the type's turn rate is unknown.
double lf_neededArm(double turn, double speedKt, const PathShape& shape)
{
    if (!(shape.turnRadPerS > 0.0))
        return std::numeric_limits<double>::infinity();
    const double half = std::min(turn, kMostRoundedRad) / 2.0;
    return lf_neededRadius(speedKt, shape) * std::sin(half) / (std::cos(half) * std::cos(half));
}

// A curve laid from a node leaves it along the node's track, its first point within a sample's
// spacing of it: a straight leg into the node along the chord meets that curve as a kink with
// no room to round it, braked for to a crawl (a B744 at its line-up, 2 kt at a report on the
// way out of a turn: the route bench's line-up 1050808). The kink is rounded as a corner is,
// over the straight before it and the curve after it.
std::vector<Vertex> lf_roundOntoCurves(const std::vector<Vertex>& v, const PathShape& shape)
{
    std::vector<Vertex> out;
    out.reserve(v.size());
    size_t k = 0;
    while (k < v.size()) {
        const bool candidate = k >= 1 && k + 1 < v.size() && !v[k].fixed && v[k + 1].fixed &&
                               gf_length(v[k + 1].at - v[k].at) < kSamePlaceM &&
                               gf_length(v[k].at - v[k - 1].at) >= kSamePlaceM;
        if (!candidate) {
            out.push_back(v[k++]);
            continue;
        }
        const Vec in = gf_unit(v[k].at - v[k - 1].at);
        const double kink = std::fabs(gf_turn(in, v[k + 1].tangent));
        if (kink < kLeastRoundedRad) {
            out.push_back(v[k++]);
            continue;
        }
        // The straight before is shared with a corner at its other end.
        const double legIn = gf_length(v[k].at - v[k - 1].at);
        const double room = v[k - 1].fixed || k == 1 ? legIn - kSamePlaceM / 2.0 : legIn / 2.0;
        const double wanted = lf_passingArm(kink, v[k].speedKt, shape);
        const double arm =
            std::min({wanted, room, kRoundOntoNeedShare * lf_neededArm(kink, v[k].speedKt, shape)});
        size_t j = k + 1;
        double along = gf_length(v[j].at - v[k].at);
        while (j + 1 < v.size() && v[j + 1].fixed && along < arm) {
            along += gf_length(v[j + 1].at - v[j].at);
            ++j;
        }
        Vertex q{v[k].at - in * arm, v[k].speedKt, true, in};
        out.push_back(q);
        lf_appendCubic(out, q.at, in, v[j].at, v[j].tangent, v[k].speedKt);
        k = j;
    }
    return out;
}

// The arm of each corner's curve: as long as passing the corner within the pass distance
// allows (a curve with two arms L passes it at L sin(turn / 2) / 2), each leg shared with
// the corner at its other end in proportion (but beside a swing, below), and never shorter
// than the type's turn at the reported speed needs where the leg has room for both.
std::vector<double> lf_arms(const std::vector<Vertex>& v, const PathShape& shape)
{
    const size_t n = v.size();
    std::vector<double> wanted(n, 0.0);
    std::vector<double> turns(n, 0.0);
    std::vector<double> needed(n, 0.0);
    for (size_t k = 1; k + 1 < n; ++k) {
        if (v[k].fixed)
            continue;
        const Vec in = v[k].at - v[k - 1].at;
        const Vec out = v[k + 1].at - v[k].at;
        if (gf_length(in) <= 0.0 || gf_length(out) <= 0.0)
            continue;
        const double turn = std::fabs(gf_turn(in, out));
        if (turn < kLeastRoundedRad)
            continue;
        turns[k] = turn;
        // A slight bend passes its corner within the distance whatever its arm: sharing a leg
        // with a corner, it claims no more than a bend of a few degrees would, or it leaves
        // the corner an arm of a metre or two (a kink the aircraft brakes hard for).
        wanted[k] = lf_passingArm(turn, v[k].speedKt, shape);
        // A turn whose pass leaves no arm as long as the reported speed needs is slowed for
        // whatever its share (the real aircraft slows for it too).
        const double need = lf_neededArm(turn, v[k].speedKt, shape);
        needed[k] = need < wanted[k] ? need : 0.0;
    }
    std::vector<double> arms = wanted;
    for (size_t k = 0; k + 1 < n; ++k) {
        const double leg = gf_length(v[k + 1].at - v[k].at);
        const double sum = wanted[k] + wanted[k + 1];
        if (sum <= leg || sum <= 0.0)
            continue;
        // A swing is laid on along the track of the report before it (after it, of the one
        // after it): the slight bend at that report is the jitter of the way to it. Shared by
        // what each would round off, the bend may take nearly all of the leg and leave the
        // swing a kink the aircraft all but stops for: the two then share it by their turns.
        const bool swingAhead = v[k + 1].swing && turns[k] < kStraightRad;
        const bool swingBehind = v[k].swing && turns[k + 1] < kStraightRad;
        double share = leg * wanted[k] / sum;
        const double swingArm = swingAhead ? leg - share : (swingBehind ? share : kLeastSwingArmM);
        if (swingArm < kLeastSwingArmM)
            share = std::clamp(leg * turns[k] / (turns[k] + turns[k + 1]), leg - wanted[k + 1], wanted[k]);
        // Each keeps the arm its turn at the reported speed needs, where the leg has room for
        // both: shared by what each would round off, a slight bend beside a corner took nine
        // tenths of the leg and left the corner a kink a C172 braked to 3 kt for (the route
        // bench's line-up 450033). Where it has not, they share it by those needs.
        if (needed[k] + needed[k + 1] <= leg)
            share = std::clamp(share, needed[k], leg - needed[k + 1]);
        else
            share = leg * needed[k] / (needed[k] + needed[k + 1]);
        arms[k] = std::min(arms[k], share);
        arms[k + 1] = std::min(arms[k + 1], leg - share);
    }
    return arms;
}

void lf_appendQuadratic(std::vector<PathPoint>& points, Vec p0, Vec c, Vec p2)
{
    const Vec d2 = (p2 - c * 2.0 + p0) * 2.0;
    const double turn = gf_turn(c - p0, p2 - c);
    const int count = lf_sampleCount(turn, gf_length(c - p0) + gf_length(p2 - c));
    for (int k = 0; k <= count; ++k) {
        const double t = static_cast<double>(k) / count;
        const double u = 1.0 - t;
        const Vec at = p0 * (u * u) + c * (2.0 * u * t) + p2 * (t * t);
        const Vec d1 = (c - p0) * (2.0 * u) + (p2 - c) * (2.0 * t);
        const double speed = gf_length(d1);
        const double curvature = speed > 0.0 ? std::fabs(gf_cross(d1, d2)) / (speed * speed * speed) : 0.0;
        gf_appendPathPoint(points, at, d1, curvature);
    }
}

void lf_points(const std::vector<Vertex>& v, const std::vector<double>& arms, std::vector<PathPoint>& points)
{
    points.clear();
    const size_t n = v.size();
    if (n == 1) {
        gf_appendPathPoint(points, v[0].at, v[0].tangent, 0.0);
        return;
    }
    // A curve laid from the first or to the last corner leaves or reaches it along its tangent.
    gf_appendPathPoint(points, v[0].at, v[1].fixed ? v[0].tangent : gf_unit(v[1].at - v[0].at), 0.0);
    for (size_t k = 1; k + 1 < n; ++k) {
        const Vec in = gf_unit(v[k].at - v[k - 1].at);
        const Vec out = gf_unit(v[k + 1].at - v[k].at);
        if (v[k].fixed) {
            gf_appendPathPoint(points, v[k].at, v[k].tangent, 0.0);
            continue;
        }
        if (arms[k] <= 0.05) {
            gf_appendPathPoint(points, v[k].at, in, 0.0);
            continue;
        }
        // The straight before the curve ends where it begins, with the straight's heading.
        gf_appendPathPoint(points, v[k].at - in * arms[k], in, 0.0);
        lf_appendQuadratic(points, v[k].at - in * arms[k], v[k].at, v[k].at + out * arms[k]);
    }
    // The last report's own direction, where it differs little from the way to it: the way
    // to the last report, a few metres long, is the one its jitter bends most.
    const Vec last = gf_unit(v[n - 1].at - v[n - 2].at);
    const bool ownWay = v[n - 2].fixed || std::fabs(gf_turn(last, v[n - 1].tangent)) <= kStraightRad;
    gf_appendPathPoint(points, v[n - 1].at, ownWay ? v[n - 1].tangent : last, 0.0);
}

// The curvature of points laid without one (the points of a join or turn-back curve).
void lf_fillCurvature(std::vector<PathPoint>& points)
{
    for (size_t i = 1; i + 1 < points.size(); ++i) {
        if (points[i].curvature > 0.0)
            continue;
        const double ds = points[i + 1].station - points[i - 1].station;
        const double dh = std::fabs(
            std::remainder(points[i + 1].heading - points[i - 1].heading, g_fullCircle));
        if (ds > 0.0 && dh > kLeastRoundedRad)
            points[i].curvature = dh / ds;
    }
}

size_t lf_indexAt(const std::vector<PathPoint>& points, double station)
{
    const auto it = std::upper_bound(points.begin(), points.end(), station,
                                     [](double s, const PathPoint& p) { return s < p.station; });
    return it == points.begin() ? 0 : static_cast<size_t>(it - points.begin()) - 1;
}

// Each report's station: the nearest point of the path to its node, never behind the
// report before it and no farther on than the way between their nodes allows.
void lf_reportStations(const std::vector<Node>& nodes, const std::vector<size_t>& index, GroundPath& path)
{
    path.reportStations.assign(index.size(), 0.0);
    std::vector<double> nodeStations(nodes.size(), 0.0);
    double from = 0.0;
    for (size_t i = 0; i < nodes.size(); ++i) {
        const double reach = i == 0 ? 1.0 : gf_length(nodes[i].at - nodes[i - 1].at) * 3.0 + 20.0;
        const size_t a = lf_indexAt(path.points, from);
        const size_t b = std::min(lf_indexAt(path.points, from + reach) + 2, path.points.size());
        nodeStations[i] = std::max(gf_nearestOnPoints(path.points, nodes[i].at, a, b).station, from);
        from = nodeStations[i];
    }
    for (size_t r = 0; r < index.size(); ++r)
        path.reportStations[r] = nodeStations[index[r]];
}

} // namespace

void gf_appendPathPoint(std::vector<PathPoint>& points, Vec at, Vec tangent, double curvature)
{
    PathPoint p;
    p.north = at.n;
    p.east = at.e;
    p.heading = gf_heading(tangent);
    p.curvature = curvature;
    if (!points.empty()) {
        const PathPoint& last = points.back();
        const double step = std::hypot(at.n - last.north, at.e - last.east);
        if (step < 1e-6)
            return;
        p.station = last.station + step;
    }
    points.push_back(p);
}

PathProjection gf_nearestOnPoints(const std::vector<PathPoint>& points, Vec at, size_t from, size_t to)
{
    PathProjection best{points.empty() ? 0.0 : points.front().station, std::numeric_limits<double>::infinity()};
    if (points.size() == 1) {
        best.distance = gf_length(at - Vec{points[0].north, points[0].east});
        return best;
    }
    for (size_t i = from; i < to && i + 1 < points.size(); ++i) {
        const Vec a{points[i].north, points[i].east};
        const Vec b{points[i + 1].north, points[i + 1].east};
        const Vec ab = b - a;
        const double ll = gf_dot(ab, ab);
        const double t = ll > 0.0 ? std::clamp(gf_dot(at - a, ab) / ll, 0.0, 1.0) : 0.0;
        const double d = gf_length(at - (a + ab * t));
        if (d < best.distance) {
            best.distance = d;
            best.station = points[i].station + t * (points[i + 1].station - points[i].station);
        }
    }
    return best;
}

void gf_layGroundPath(const std::vector<PathReport>& reports, const PathShape& shape, GroundPath& path)
{
    path.points.clear();
    path.reportStations.clear();
    if (reports.empty())
        return;
    std::vector<size_t> index;
    std::vector<Node> nodes = lf_nodes(reports, index);
    if (nodes.size() == 1) {
        gf_appendPathPoint(path.points, nodes[0].at, nodes[0].track, 0.0);
        path.reportStations.assign(reports.size(), 0.0);
        return;
    }
    lf_directions(nodes);
    lf_smoothDirections(nodes);
    lf_smoothPositions(nodes);
    lf_prune(nodes, index, shape.stopOnStand);
    const std::vector<Vertex> skeleton = lf_roundOntoCurves(lf_skeleton(nodes, shape), shape);
    lf_points(skeleton, lf_arms(skeleton, shape), path.points);
    lf_fillCurvature(path.points);
    lf_reportStations(nodes, index, path);
}

double gf_pathLength(const GroundPath& path)
{
    return path.points.empty() ? 0.0 : path.points.back().station;
}

PathPoint gf_pathPointAt(const GroundPath& path, double station, size_t& hint)
{
    const std::vector<PathPoint>& p = path.points;
    if (p.empty())
        return {};
    if (p.size() == 1 || station <= p.front().station) {
        hint = 0;
        return p.front();
    }
    if (station >= p.back().station) {
        hint = p.size() - 1;
        return p.back();
    }
    size_t i = std::min(hint, p.size() - 2);
    while (i > 0 && p[i].station > station)
        --i;
    while (i + 2 < p.size() && p[i + 1].station < station)
        ++i;
    hint = i;
    const PathPoint& a = p[i];
    const PathPoint& b = p[i + 1];
    const double span = b.station - a.station;
    const double t = span > 0.0 ? (station - a.station) / span : 0.0;
    PathPoint out;
    out.north = a.north + (b.north - a.north) * t;
    out.east = a.east + (b.east - a.east) * t;
    out.station = station;
    out.curvature = a.curvature + (b.curvature - a.curvature) * t;
    const double h = a.heading + std::remainder(b.heading - a.heading, g_fullCircle) * t;
    out.heading = h < 0.0 ? h + g_fullCircle : (h >= g_fullCircle ? h - g_fullCircle : h);
    return out;
}

PathProjection gf_projectOnPath(const GroundPath& path, double north, double east, double fromStation,
                                double toStation)
{
    if (path.points.empty())
        return {};
    const size_t a = lf_indexAt(path.points, fromStation);
    const size_t b = std::min(lf_indexAt(path.points, toStation) + 2, path.points.size());
    return gf_nearestOnPoints(path.points, {north, east}, a, b);
}

void gf_joinPath(GroundPath& path, double north, double east, double heading, double fromStation,
                 double joinStation)
{
    std::vector<PathPoint>& p = path.points;
    if (p.empty())
        return;
    size_t hint = 0;
    const PathPoint end = gf_pathPointAt(path, joinStation, hint);
    const Vec a{north, east};
    const Vec b{end.north, end.east};
    std::vector<PathPoint> joined;
    joined.reserve(p.size() + kMostSamples);
    const double chord = gf_length(b - a);
    if (chord > 1e-3) {
        const Vec ta = gf_headingVec(heading);
        const Vec tb = gf_headingVec(end.heading);
        const double arm = gf_arcArm(chord, gf_turn(ta, tb));
        const Vec p1 = a + ta * arm;
        const Vec p2 = b - tb * arm;
        const int count = lf_sampleCount(gf_turn(ta, tb), chord);
        for (int k = 0; k < count; ++k) {
            const double t = static_cast<double>(k) / count;
            gf_appendPathPoint(joined, gf_cubicAt(a, p1, p2, b, t), gf_cubicTangent(a, p1, p2, b, t), 0.0);
        }
    } else {
        gf_appendPathPoint(joined, a, gf_headingVec(heading), 0.0);
    }
    gf_appendPathPoint(joined, b, gf_headingVec(end.heading), end.curvature);
    const double joinLength = joined.back().station;
    for (size_t i = hint + 1; i < p.size(); ++i) {
        if (p[i].station <= joinStation)
            continue;
        PathPoint q = p[i];
        q.station = q.station - joinStation + joinLength;
        joined.push_back(q);
    }
    lf_fillCurvature(joined);
    for (double& s : path.reportStations) {
        if (s >= joinStation)
            s = s - joinStation + joinLength;
        else if (s >= fromStation && joinStation > fromStation)
            s = (s - fromStation) / (joinStation - fromStation) * joinLength;
        else
            s -= fromStation;
    }
    p = std::move(joined);
}

LocalPos gf_toPathFrame(const GroundPath& path, const GeoPos& pos)
{
    return {(pos.latitude - path.originLat) * kMetresPerDeg,
            (pos.longitude - path.originLon) * std::cos(path.originLat * g_degToRad) * kMetresPerDeg};
}

GeoPos gf_fromPathFrame(const GroundPath& path, double north, double east)
{
    return {path.originLat + north / kMetresPerDeg,
            path.originLon + east / (std::cos(path.originLat * g_degToRad) * kMetresPerDeg)};
}
