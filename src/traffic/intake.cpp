#include <algorithm>
#include <cmath>
#include <optional>

#include "foundation/settings_catalogue.h"
#include "parking/park_airports.h"
#include "traffic/engine_neighbours.h"
#include "traffic/live_update.h"
#include "traffic/motion_internal.h"
#include "traffic/traffic_internal.h"
#include "traffic/traffic_state.h"

namespace {

// Reports closer than this are repeats.
constexpr double kMinReportSeconds = 1.0;
constexpr double kSpikeFactor = 10.0;
constexpr double kSlowKt = 5.0;
constexpr double kSpikeFromSlowKt = 80.0;
constexpr double kFastAirborneKt = 120.0;
constexpr double kSteadyAirTrackDeg = 1.0;
constexpr double k450MetresNm = 0.2429805615550756;
constexpr double kSlowTaxiKt = 30.0;
// At most this fast, a report shows the aircraft at rest.
constexpr double kRestKt = 1.0;
constexpr double kSteadyTaxiTrackDeg = 2.0;
// A report this much faster than a slow one before it, farther from it than the reports
// jitter, tells an aircraft gathering speed as it moves off: no repeat.
constexpr double kGainingKt = 2.0;
// Moving on at a speed this much changed, the aircraft is not steady: its report tells where
// it slowed or sped up.
constexpr double kSteadyTaxiSpeedKt = 3.0;
constexpr double k20MetresNm = 0.010799136069114472;
constexpr double kMaxTaxiReportSeconds = 15.0;
constexpr double kLowAltitudeFt = 10000.0;
constexpr double kAirfieldBandFt = 108.0;
constexpr double kNoAirfieldElevationFt = -1000.0;
constexpr double kMpsPerKt = 1852.0 / 3600.0;
constexpr double kMetresPerNm = 1852.0;
constexpr double kFtPerM = 3.28083989501312;
constexpr double kTicksPerS = 100.0;
// m/s²: the braking a pilot uses to a stop by choice, and the firmest on a taxiway; a tug
// brings a push to rest more gently, over a few seconds.
constexpr double kPilotBraking = 0.5;
constexpr double kFirmBraking = 1.0;
constexpr double kTugBraking = 0.3;
// A report this much slower than the one before shows the aircraft braking: a tug pushes at
// a steady pace, and a report on the ground gives its speed to a quarter knot or finer.
constexpr double kBrakingKt = 0.3;
// A report whose track turned this far from the one before goes the other way.
constexpr double kTurnedBackRad = 90.0 * g_degToRad;
// A track within 60 degrees of the nose, or of its reverse, tells which of the two it gives.
constexpr double kToldByNose = 0.5;
// Reports lie up to 5 m about the real place: two this far apart tell a way between them.
constexpr double kJitterM = 10.0;
// A taxiing report skipped as a repeat, the next coming this long or more after it: the
// way between them may bend (an S's bends take a few seconds each), and the skipped one tells
// where it still ran along its track.
constexpr double kTellingSkipS = 5.0;

// A speed spike: one of the two ground speeds is ten times the other, or jumps from a
// standstill to a speed no aircraft reaches in one report.
bool lf_isSpeedSpike(double before, double now)
{
    return (before > kSlowKt && now >= kSpikeFactor * before) || (now > kSlowKt && before >= kSpikeFactor * now) ||
           (before <= kSlowKt && now >= kSpikeFromSlowKt) || (now <= kSlowKt && before >= kSpikeFromSlowKt);
}

// Two reports farther apart than their jitter tell a way between them.
bool lf_apartBeyondJitter(const PosSample& a, const PosSample& b)
{
    return gf_distanceNm(gf_samplePos(a), gf_samplePos(b)) * kMetresPerNm > kJitterM;
}

// 359° to 1° is a change of 2°.
double lf_trackChangeRad(const PosSample& before, const PosSample& now)
{
    return std::fabs(gf_wrapPi((now.track - before.track) * g_degToRad));
}

// Reports of a steady aircraft that come faster than it moves 450 m in the air or 20 m
// on the ground add nothing. Moving off, the report of its gain a way on is no repeat: it
// tells when the aircraft began to roll. One within the stop's jitter tells nothing of it.
bool lf_isTooFrequent(const PosSample& before, const PosSample& now, double dt)
{
    const double gs = now.groundSpeed;
    const double trackChange = lf_trackChangeRad(before, now) / g_degToRad;
    if (now.airborne)
        return gs > kFastAirborneKt && trackChange <= kSteadyAirTrackDeg && dt <= k450MetresNm / (gs / 3600.0);
    const bool gaining =
        before.groundSpeed <= kSlowKt && gs > before.groundSpeed + kGainingKt && lf_apartBeyondJitter(before, now);
    const bool changing = gs >= kSlowKt && before.groundSpeed >= kSlowKt &&
                          std::fabs(gs - before.groundSpeed) > kSteadyTaxiSpeedKt;
    if (gs > kSlowTaxiKt || trackChange > kSteadyTaxiTrackDeg || gaining || changing)
        return false;
    const double limit = gs > 0.0 ? std::min(k20MetresNm / (gs / 3600.0), kMaxTaxiReportSeconds) : kMaxTaxiReportSeconds;
    return dt <= limit;
}

// A push is flown half a minute after its reports come: those that come while the aircraft
// still stands on its stand, once they have shown it leave the stand backwards, are the push's.
// Taken for a parked aircraft's, a short push's end was skipped as a repeat, and the push
// stopped 5 s early where braking from its last report going back put it (push-back 450425).
bool lf_onPush(const LiveAc& ac)
{
    return ac.phase == FlightPhase::PushingBack ||
           (ac.phase == FlightPhase::Parked && ac.motion.departurePending && gf_leavesStandBackwards(ac));
}

// Not yet created, its first report rolling on the ground: it will taxi, and its reports of
// the next half minute tell its stops as they will once it does.
bool lf_bornTaxiing(const LiveAc& ac)
{
    return ac.phase == FlightPhase::Birth && !ac.samples.empty() && !ac.samples.front().airborne &&
           ac.samples.front().groundSpeed > kRestKt;
}

// The first report at rest after moving ones on a taxi or a push tells when a stop began (on
// a taxi, where too). A push-back's end is told by the first report that leads forward.
bool lf_beginsStop(const LiveAc& ac, const PosSample& before, const PosSample& now)
{
    return (lf_onPush(ac) || ac.phase == FlightPhase::Taxi || lf_bornTaxiing(ac)) && !now.airborne &&
           now.groundSpeed <= kRestKt && before.groundSpeed > kRestKt;
}

// When a stop began, judged from the newest moving report before the first at rest: rolling
// on over the way between them and braking as a pilot (on a push, its tug) does, or, slowing
// already since the report before it, braking on as it did; never sooner than the firmest
// braking allows, nor later than the report at rest, which comes up to a report's spacing
// after the real stop (unless that one still moves on a push).
uint32_t lf_stopDue(const PosSample& moving, const PosSample* before, const PosSample& rest, bool push)
{
    // Still pushed at it, the aircraft stopped after it, braked by its tug; rolling the other
    // way (the taxi moving off from the push's end), it stopped before it. A taxi's stop is
    // placed by all its reports at rest together, this one's speed a crawl within their jitter.
    const double braking = push ? kTugBraking : kPilotBraking;
    const double turned = lf_trackChangeRad(moving, rest);
    if (push && rest.groundSpeed > 0.0 && turned <= kTurnedBackRad)
        return rest.dueTick + static_cast<uint32_t>(std::llround(rest.groundSpeed * kMpsPerKt / braking * kTicksPerS));
    const double v = moving.groundSpeed * kMpsPerKt;
    if (!(v > 0.0) || rest.dueTick <= moving.dueTick)
        return rest.dueTick;
    double d = gf_distanceNm(gf_samplePos(moving), gf_samplePos(rest)) * kMetresPerNm;
    // Two places within the reports' jitter of each other may lie closer than the aircraft
    // braked over: braking over those metres alone, the stop came seconds early (a push 4.8 s,
    // its two reports 0.7 m apart: push-back 450316). It braked no harder than a pilot does,
    // or on a push its tug.
    if (d < kJitterM)
        d = std::max(d, v * v / (2.0 * braking));
    double s = std::min(2.0 * d / v, d / v + v / (2.0 * braking));
    if (before != nullptr && before->dueTick < moving.dueTick && before->groundSpeed > moving.groundSpeed) {
        const double slowing = (before->groundSpeed - moving.groundSpeed) * kMpsPerKt /
                               (static_cast<double>(moving.dueTick - before->dueTick) / kTicksPerS);
        s = std::min(s, v / slowing);
        // A push clearly braking already, a few metres short of the stop: at its pace the way
        // between them is seconds of their jitter, and the speed alone tells how soon it stopped.
        if (push && before->groundSpeed >= moving.groundSpeed + kBrakingKt && d < kJitterM)
            s = std::min(s, v / braking);
    }
    s = std::max(s, v / kFirmBraking);
    const double due = static_cast<double>(moving.dueTick) + s * kTicksPerS;
    return due < static_cast<double>(rest.dueTick) ? static_cast<uint32_t>(std::llround(due)) : rest.dueTick;
}

// The first report at rest lies off the real stop by its jitter. Lying ahead of the moving
// report before it nearer than the `least` way the aircraft can have braked in, it would be
// braked for too hard, or taken for that report: the stop is moved on along the way to that
// far, aside as reported. Lying back from it, the way laid through both would turn back to
// it: the aircraft stopped on from that report by as far as its braking took it (`behind`),
// or, without one, as far as for a stop ahead.
void lf_stopOnAlong(const PosSample& moving, double way, double least, std::optional<double> behind, PosSample& rest)
{
    const GeoPos from = gf_samplePos(moving);
    const double ahead = gf_distanceNm(from, gf_samplePos(rest)) * kMetresPerNm *
                         std::cos(gf_bearingRad(from, gf_samplePos(rest)) - way);
    if (ahead >= least)
        return;
    const GeoPos at = ahead < 0.0 && behind ? gf_destinationPoint(from, way, *behind * kFtPerM)
                                            : gf_destinationPoint(gf_samplePos(rest), way, (least - ahead) * kFtPerM);
    rest.latitude = at.latitude;
    rest.longitude = at.longitude;
}

// A taxi's stop: the moving report's track is its way, and it braked as a pilot does, no
// harder than firmly.
void lf_stopAheadOf(const PosSample& moving, PosSample& rest)
{
    if (!gf_trackGiven(moving) || !(moving.groundSpeed > 0.0))
        return;
    const double v = moving.groundSpeed * kMpsPerKt;
    lf_stopOnAlong(moving, moving.track * g_degToRad, v * v / (2.0 * kFirmBraking), v * v / (2.0 * kPilotBraking),
                   rest);
}

// A push's stop: its tug braked it gently, and its end is timed by that braking from the
// last report going back (lf_stopDue). Left at a report at rest nearer than that by the
// reports' jitter, the push was braked there hard seconds before its time, and stood (an
// AT72 4.5 s early, the route bench's push-back 2450616). The report's track gives the way
// back or, from some receivers, the nose: the way is the one away from the nose, as the
// push's first report told once it is flown, the aircraft's own nose on its stand before.
// Where neither tells it, the report stays where it is.
void lf_pushStopAheadOf(const LiveAc& ac, const PosSample& moving, PosSample& rest)
{
    if (!gf_trackGiven(moving) || !(moving.groundSpeed > 0.0))
        return;
    const double track = moving.track * g_degToRad;
    double sign = ac.motion.pushTrackSign;
    if (sign == 0.0) {
        const double nose = std::cos(track - ac.pos.heading);
        if (std::fabs(nose) < kToldByNose)
            return;
        sign = nose < 0.0 ? 1.0 : -1.0;
    }
    const double v = moving.groundSpeed * kMpsPerKt;
    lf_stopOnAlong(moving, sign < 0.0 ? gf_normalHeading(track + g_fullCircle / 2) : track,
                   v * v / (2.0 * kTugBraking), std::nullopt, rest);
}

uint32_t lf_timedStopDue(const MotionState::StopTiming& t)
{
    return lf_stopDue(t.moving, t.before ? &*t.before : nullptr, t.rest, t.push);
}

// A stop is timed by the way from the moving report before it to its first report at rest,
// which lies off the real stop by its jitter: at a push's or a taxi's last crawl, metres are
// seconds. As the reports at rest together tell the place better, the time is judged again
// from it, if the stop is still ahead and after the sample before it. Timed by its first alone,
// 9 m from the moving report where the real way was 4 m, an AT72's push stopped 5.3 s late
// (the route bench's push-back 4050874).
void lf_retimeStop(MotionState::StopReports& stop, const PosSample& mean, std::deque<PosSample>::iterator at)
{
    MotionState::StopTiming t = *stop.timing;
    t.rest.latitude = mean.latitude;
    t.rest.longitude = mean.longitude;
    const uint32_t due = lf_timedStopDue(t);
    if (due <= std::prev(at)->dueTick || static_cast<int64_t>(due) <= gf_tickNow())
        return;
    at->dueTick = due;
    stop.due = due;
}

// Every report at rest of a stop lies about the real stop by its jitter, as the first did:
// their mean tells its place far better than any one. While the stop is still ahead, it and
// the copies of it queued after it are moved there, and on from the moving report before it
// as the first was. So is a push's end, though its later reports at rest are skipped as
// repeats: placed by its first alone, 5 m past the real end, a C172 was pushed on to it and
// stopped 4.4 s late (the route bench's push-back 600201). A stop on a stand is the stand's.
void lf_refineStop(LiveAc& ac, const PosSample& report)
{
    MotionState& m = ac.motion;
    if (!m.stopReports || !(ac.phase == FlightPhase::Taxi || lf_bornTaxiing(ac) || lf_onPush(ac)) || report.airborne ||
        report.groundSpeed > kRestKt || ac.samples.size() < 2)
        return;
    MotionState::StopReports& stop = *m.stopReports;
    const auto at = std::find_if(ac.samples.begin() + 1, ac.samples.end(),
                                 [&stop](const PosSample& s) { return s.dueTick == stop.due; });
    if (at == ac.samples.end() || !gf_atRestReport(*at))
        return;
    PosSample mean = *at;
    mean.latitude = stop.latitudeSum / stop.count;
    mean.longitude = stop.longitudeSum / stop.count;
    if (lf_apartBeyondJitter(mean, report))
        return;
    stop.latitudeSum += report.latitude;
    stop.longitudeSum += report.longitude;
    ++stop.count;
    mean.latitude = stop.latitudeSum / stop.count;
    mean.longitude = stop.longitudeSum / stop.count;
    if (stop.timing)
        lf_retimeStop(stop, mean, at);
    if (lf_onPush(ac))
        lf_pushStopAheadOf(ac, stop.from, mean);
    else
        lf_stopAheadOf(stop.from, mean);
    const double latitude = at->latitude;
    const double longitude = at->longitude;
    for (auto s = at; s != ac.samples.end() && gf_atRestReport(*s) && s->latitude == latitude &&
                      s->longitude == longitude;
         ++s) {
        s->latitude = mean.latitude;
        s->longitude = mean.longitude;
    }
}

// A position just above an airfield's elevation that is not on the ground cannot be flown
// from: the record is not taken for an aircraft that is not yet created.
bool lf_isImplausibleNearAirfield(double altitude)
{
    if (!(altitude > 0.0 && altitude < kLowAltitudeFt))
        return false;
    const double elevation = g_parkAirport.code.empty() ? kNoAirfieldElevationFt : g_parkAirport.elevationFt;
    return std::fabs(altitude - elevation) <= kAirfieldBandFt;
}

bool lf_isLiveDuplicate(const LiveFlightRecord& r)
{
    if (r.texts.callsign.empty())
        return false;
    for (const LiveAc& ac : g_liveAcs) {
        if (ac.callsign == r.texts.callsign && ac.aircraftType == r.texts.aircraftType)
            return true;
    }
    return false;
}

} // namespace

bool lf_categoryWanted(TypeCategory category)
{
    switch (category) {
    case TypeCategory::Other:
        return LIGHT_AIRCRAFT.value;
    case TypeCategory::HighPerformance:
        return HIGH_PERF_AIRCRAFT.value;
    case TypeCategory::Rotorcraft:
        return HELICOPTERS.value;
    case TypeCategory::Buzjet:
    case TypeCategory::Large:
    case TypeCategory::Heavy:
        return true;
    }
    return false;
}


void gf_applyReceivedRecord(LiveFlightRecord& r)
{
    LiveAc* ac = gf_findLiveAc(r.hexid);
    if (ac == nullptr) {
        if (!lf_isLiveDuplicate(r))
            lf_prepareNewLiveAc(r);
        return;
    }
    if (ac->status == SimStatus::LiveryRespawn || ac->status == SimStatus::RemovingFromSim)
        return;
    std::optional<PosSample> takenBefore;
    std::optional<MotionState::StopReports> stopReports;
    if (!ac->samples.empty()) {
        const PosSample& newest = ac->samples.back();
        const double dt = r.timestamp - ac->lastRecordTime;
        if (r.timestamp == ac->lastRecordTime || !(dt > kMinReportSeconds))
            return;
        if (lf_isSpeedSpike(newest.groundSpeed, r.sample.groundSpeed))
            return;
        const bool stops = lf_beginsStop(*ac, newest, r.sample);
        if (!stops)
            lf_refineStop(*ac, r.sample);
        const bool onPush = lf_onPush(*ac); // one answer for this report's steps below
        // On a push, one as soon after the last as a repeat is a repeat: its end is told by a
        // report that leads forward.
        const MotionState& m = ac->motion;
        const bool skippedSince = m.skippedReport && m.skippedReport->dueTick > newest.dueTick;
        const bool afterSkipped = skippedSince && !gf_atRestReport(*m.skippedReport);
        // A report at rest before it, skipped as a repeat on a push, told when the push came to
        // rest: braking from the last moving one to this later place and time, the push stopped
        // seconds late.
        const bool restSkipped =
            skippedSince && gf_atRestReport(*m.skippedReport) && m.pushRestDue > newest.dueTick;
        const size_t n = ac->samples.size();
        const auto timedBy = [&] {
            if (afterSkipped)
                return MotionState::StopTiming{*m.skippedReport, m.beforeSkipped, r.sample, onPush};
            return MotionState::StopTiming{newest, n >= 2 ? std::optional(ac->samples[n - 2]) : std::nullopt,
                                           r.sample, onPush};
        };
        const auto stopDue = [&] { return lf_timedStopDue(timedBy()); };
        // A push's report at rest farther from the last one taken than the reports jitter shows
        // where the tug brought it to rest, however soon it comes: skipped as a repeat, it was
        // lost when no report followed it, and the push stopped 65 m short of its end.
        const bool pushedOn = stops && onPush && lf_apartBeyondJitter(newest, r.sample);
        if (ac->pauseCounter < 1 && (!stops || onPush) && !pushedOn && lf_isTooFrequent(newest, r.sample, dt)) {
            // Skipped, it still tells when the push came to rest, for its end put in later.
            if (stops)
                ac->motion.pushRestDue = stopDue();
            // A repeat at rest still tells the stop lasted until its time: lost, a C172 moved
            // off from its push's end 4.6 s early (the route bench's push-back 4750863).
            if (!r.sample.airborne && gf_atRestReport(newest) && gf_atRestReport(r.sample))
                ac->samples.back().stillUntilTick = std::max(newest.stillUntilTick, r.sample.dueTick);
            if (!r.sample.airborne) {
                ac->motion.beforeSkipped = ac->motion.skippedReport ? *ac->motion.skippedReport : newest;
                ac->motion.skippedReport = r.sample;
            }
            return;
        }
        // Taken before it, a skipped report seconds before this one keeps the way on its
        // track up to its place: passed over, the curve between the reports on either side
        // turned out of it early and cut an S's bend by 9 m (seed 900245 C172).
        const bool skippedTells = !stops && afterSkipped && !r.sample.airborne && !onPush &&
                                  r.sample.dueTick >= m.skippedReport->dueTick + kTellingSkipS * kTicksPerS &&
                                  lf_apartBeyondJitter(newest, *m.skippedReport);
        if (skippedTells)
            takenBefore = m.skippedReport;
        if (stops) {
            // Timed from a report at rest skipped before it, the stop is left as that one timed it.
            const std::optional<MotionState::StopTiming> timing =
                restSkipped ? std::nullopt : std::optional(timedBy());
            // Put back to when the stop began, it still shows the aircraft standing at its time.
            r.sample.stillUntilTick = r.sample.dueTick;
            r.sample.dueTick = restSkipped ? m.pushRestDue : lf_timedStopDue(*timing);
            if (afterSkipped) {
                // Farther from the stop than the reports jitter, it tells how the aircraft slowed
                // to it: it is taken before it.
                if (lf_apartBeyondJitter(*m.skippedReport, r.sample))
                    takenBefore = m.skippedReport;
            }
            stopReports = MotionState::StopReports{0, r.sample.latitude, r.sample.longitude, 1,
                                                   takenBefore ? *takenBefore : newest, timing};
            if (onPush)
                lf_pushStopAheadOf(*ac, takenBefore ? *takenBefore : newest, r.sample);
            else
                lf_stopAheadOf(takenBefore ? *takenBefore : newest, r.sample);
        }
    }
    if (ac->status == SimStatus::Buffer && lf_isImplausibleNearAirfield(r.sample.altitude))
        return;
    if (!gf_respawnCheck(*ac, r))
        return;
    ac->lastRecordTime = r.timestamp;
    ac->motion.skippedReport.reset();
    ac->motion.beforeSkipped.reset();
    if (takenBefore)
        decodeExisting(*ac, *takenBefore);
    if (stopReports) {
        stopReports->due = r.sample.dueTick;
        ac->motion.stopReports = stopReports;
    }
    decodeExisting(*ac, r.sample);
}

void lf_prepareNewLiveAc(LiveFlightRecord& r)
{
    if (!r.texts.registration.empty()) {
        const std::optional<DbaseRecord> found = gf_engine().lookupDbase(r.texts.registration);
        if (found && !found->type.empty())
            r.texts.aircraftType = found->type;
    }
    if (gf_engine().isKnownType(r.texts.aircraftType))
        lf_spawnFromRecord(r);
}

void lf_spawnFromRecord(LiveFlightRecord& r)
{
    const TypeCategory category = gf_engine().typeCategory(r.texts.aircraftType);
    if (static_cast<uint32_t>(category) > static_cast<uint32_t>(TypeCategory::Rotorcraft) ||
        !lf_categoryWanted(category))
        return;
    if (lf_isImplausibleNearAirfield(r.sample.altitude))
        return;
    r.texts.secondCallsign = r.texts.callsign;
    r.texts.extraText.clear();
    r.texts.value = 0;
    AcIdentity identity = gf_makeAcIdentity(r.texts);
    identity.hexid = r.hexid;
    const CategoryValues& v = gf_categoryValues(identity.category);
    identity.maxClimbPerTick = v.maxClimbPerTick;
    identity.standApproachSpeed = v.standApproachSpeed;
    g_liveAcs.emplace_back(r.sample, std::move(identity), r.timestamp);
}
