#pragma once
// The motion of live aircraft between its files and the tests: the sample driver, the
// airborne and ground steps, the taxi curves, the departure from a stand and the take-off,
// the data gaps and the configuration by phase. Worker thread only.
#include <cstdint>
#include <optional>

#include "foundation/geo.h"
#include "simlink/sim_queues.h"
#include "traffic/aircraft_records.h"

// The light sets of the phases: nav, beacon, landing, taxi, strobes, logo, cabin.
inline constexpr LightSet g_lightsBelow10000{1, 1, 1, 1, 1, 1, 1};
inline constexpr LightSet g_lightsCruise{1, 1, 0, 0, 0, 0, 1};
inline constexpr LightSet g_lightsTakeOff{1, 1, 1, 1, 1, 1, 0};
inline constexpr LightSet g_lightsOffRunway{1, 1, 0, 1, 0, 1, 1};
inline constexpr LightSet g_lightsLeavingStand{1, 1, 0, 1, 0, 1, 0};

// Rounded, halves away from zero; std::range_error when not finite or beyond 32 bits.
int32_t gf_narrowRounded(double value);
// Ticks from a distance (nm) at a speed (kt), rounded; std::range_error when the count
// is not finite or does not fit 32 bits.
int32_t gf_tickCount(double distanceNm, double speedKt);
// The traffic tick as a signed count, so that passed due ticks give negative differences.
int64_t gf_tickNow();
// Ticks left to the next sample's due tick, at least 25.
int32_t lf_ticksToNext(const LiveAc& ac);
// An angle brought into [-pi, pi].
double gf_wrapPi(double angle);
double gf_normalHeading(double heading);
GeoPos gf_samplePos(const PosSample& s);
GeoPos gf_acPos(const LiveAc& ac);
bool gf_samePlace(const PosSample& a, const PosSample& b);
// Earlier 3000 ticks, later 5000 with the take-off configuration, else 3000.
void lf_openWindows(LiveAc& ac);
void lf_narrowWindows(LiveAc& ac);

// Airborne motion.
// The ticks to the next sample: its received due tick (when the real aircraft was there,
// 30 s ago) as far as a speed within a quarter of the reported one allows. Flown at the
// reported speed alone, an aircraft that started late (its activation) or gained at a
// corner would stay off by that much for the rest of its flight.
// On the ground, where sparse reports hide a stop (at a holding point before the take-off
// roll), a leg may take up to g_groundSlowestShare times its time at the reported speed.
inline constexpr double g_airSlowestShare = 1.25;
inline constexpr double g_groundSlowestShare = 3.0;
int32_t gf_syncedTicks(const LiveAc& ac, int32_t travelTicks, double slowestShare = g_airSlowestShare);
void nextPosMain(LiveAc& ac);
void lf_advanceSample(LiveAc& ac);
void lf_scheduleAirSample(LiveAc& ac);
void lf_setNextDue(LiveAc& ac, int32_t ticks);
void lf_airborneStep(LiveAc& ac);
double lf_landingDescentRate(const LiveAc& ac);
bool lf_findLiftOffSample(LiveAc& ac, size_t i);
void lf_moveOneTick(LiveAc& ac);

// A turn hidden in a gap of the reports.
void lf_layAirTurn(LiveAc& ac);
// Kept for the next turn: the report the aircraft leaves tells the track at the next.
void lf_notePassedAirSample(LiveAc& ac);
// The leg after the next sample hides a turn: the aircraft reaches the next on its track.
bool lf_turnHiddenAfterNext(const LiveAc& ac);
// How many times the chord to the next report the flight there is: more than 1 across a
// hidden turn.
double lf_hiddenTurnStretch(const LiveAc& ac);
bool lf_airTurnActive(const LiveAc& ac);
void lf_followAirTurn(LiveAc& ac);

// Ground motion.
void nextPosGround(LiveAc& ac);
void lf_groundStep(LiveAc& ac);
void lf_scheduleGroundSample(LiveAc& ac);
void lf_turnTowards(LiveAc& ac, double wanted);
// A report at rest: stationary, or at most 1 kt.
bool gf_atRestReport(const PosSample& s);
// A taxiing aircraft stopped at its newest report looks for a stand there.
void gf_checkArrival(LiveAc& ac);
// Between reports, near the stop a taxi's reports end at: the drive onto a stand begins now.
bool gf_stopWithinReachBeforeLastReport(const LiveAc& ac);
// A line without a track reads 0: a track of exactly 0 tells nothing.
bool gf_trackGiven(const PosSample& s);
// Lays the path through the reports behind and the first count samples queued (the tail
// leading when reverse), joins it from where the aircraft stands and plans the way along it.
void lf_layGroundTrack(LiveAc& ac, size_t count, bool reverse);
bool lf_groundTrackActive(const LiveAc& ac);
// Standing at a reported stop, moving off towards the front sample: a report queued behind
// it (known half a minute before it is due) lays the way and the move-off again, so that the
// start is timed by all the reports that tell it, not by the first alone, whose place may lie
// within the stop's jitter.
void lf_reportQueuedWhileStanding(LiveAc& ac);
// Rotating from the roll's path, at a report that still shows it on the ground.
bool lf_rotatingAlongTrack(const LiveAc& ac);
// Lifted off, still on the roll's path up to the gear coming up, with the next report on it.
bool lf_climbingAlongTrack(const LiveAc& ac);
void lf_followGroundTrack(LiveAc& ac);
void lf_dropGroundTrack(LiveAc& ac);
// The front sample, reached on the ground, joins the reports behind.
void lf_notePassedSample(LiveAc& ac);

// Push-back and take-off.
void lf_departFromStand(LiveAc& ac);
void lf_pullOut(LiveAc& ac);
void lf_pushBack(LiveAc& ac);
void lf_pushBackStage(LiveAc& ac);
// A report received while the aircraft leaves its stand or is pushed: queued as
// lf_checkSampleWhileStill takes it, the reports at rest where the push stops at their mean
// place and line. False when it is not queued.
bool gf_takePushReport(LiveAc& ac, PosSample& s);
// Pushed, a report queued may show more of the push, or its end: the way ahead is laid anew.
void gf_onPushReportQueued(LiveAc& ac);
// A report near the stand of an aircraft parked or leaving it: whether it is a second report
// in a row going back from the stand (the push has begun), and from the reports going back
// the tick the push began.
bool gf_notePushReport(LiveAc& ac, const PosSample& s);
std::optional<int64_t> gf_pushStart(const LiveAc& ac);
// Whether the newest report of an aircraft leaving its stand lies behind the stand, as a push's do.
bool gf_leavesStandBackwards(const LiveAc& ac);
// The taxi after a push-back begins: the stand is left for good.
void lf_taxiAfterPushBack(LiveAc& ac);
void lf_takeOffRollThrottle(LiveAc& ac);
void lf_rotationDecision(LiveAc& ac);
void lf_startRotation(LiveAc& ac);
void lf_takeOffConfiguration(LiveAc& ac);
// The flag, throttle, spoilers, flaps 1, the take-off lights and windows; the approach,
// landed and climb-out flags cleared.
void lf_setTakeOffConfiguration(LiveAc& ac, uint32_t throttle, int32_t spoilers);
void lf_takeOffCounterTick(LiveAc& ac);
// The take-off counter when the gear comes up, seconds after the lift-off.
inline constexpr int32_t g_gearUpCounter = -300;

// Data gaps.
bool lf_onSamplesExhausted(LiveAc& ac);
void lf_extrapolateSample(LiveAc& ac, int32_t steps);
double lf_sampleSpeedKt(const LiveAc& ac);
double lf_turnToNextLeg(const LiveAc& ac);
bool lf_samplesAtTakeOffSpeed(const LiveAc& ac);
void lf_setBankStep(LiveAc& ac, double targetBank, int32_t ticks);
double gf_takeOffSpeedKt(TypeCategory category);

// Configuration by phase.
// A park airport is set and the aircraft lies within 10 nm of it.
bool gf_nearParkAirport(const LiveAc& ac);
void lf_lowAltitudeConfiguration(LiveAc& ac);
void lf_approachConfiguration(LiveAc& ac);
void lf_cruiseConfiguration(LiveAc& ac);
// Throttle and spoiler data (definition 401) to 0, unless category 0.
void lf_zeroThrottleData(const LiveAc& ac);

// Per-aircraft update.
bool checkExtendingSituations(LiveAc& ac, PosSample& s);
bool checkNewPosDuringLanding(LiveAc& ac, PosSample& s);
bool lf_checkSampleWhileStill(LiveAc& ac, PosSample& s);
void lf_leaveStand(LiveAc& ac, PosSample& s);

// Identity changes.
bool lf_updateRoute(LiveAc& ac, const LiveFlightRecord& r);
int32_t lf_checkRegistrationChange(LiveAc& ac, LiveFlightRecord& r);
bool lf_checkRegLivery(LiveAc& ac, const LiveFlightRecord& r);
bool lf_checkRegIdentity(LiveAc& ac, LiveFlightRecord& r);
void lf_forgetLivery(LiveAc& ac);
