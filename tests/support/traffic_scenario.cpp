#include "support/traffic_scenario.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>

#include <fmt/format.h>

#include "control/service_state.h"
#include "feed/feed_inputs.h"
#include "feed/received_flights.h"
#include "feed/traffic_line.h"
#include "foundation/settings_catalogue.h"
#include "parking/park_airports.h"
#include "foundation/folders.h"
#include "foundation/geo.h"
#include "foundation/random.h"
#include "simlink/sim_client.h"
#include "simlink/sim_link_calls.h"
#include "simlink/sim_object_events.h"
#include "simlink/sim_queues.h"
#include "simlink/simconnect/wire_records.h"
#include "support/engine_doubles.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"

namespace traffictest {
namespace {

constexpr double kEpochSeconds = 1704103200.0; // Monday 2024-01-01 10:00 UTC
constexpr uint64_t kSteadyBase = 1'000'000'000'000;
constexpr uint64_t kSteadyPerTick = 100'000; // 10 ms in 100 ns
constexpr double kMaxReportedAglFt = 2500.0;
constexpr double kOnGroundMarginFt = 0.5;
constexpr double kRadToDeg = 57.29577951308232;
constexpr double kMetresPerDegree = 111120.0; // a minute of latitude is a nautical mile

bool g_rangeAsked = false;
UserState g_user;

void lf_pushEvents(std::vector<SimObjectEvent>& events)
{
    if (events.empty())
        return;
    std::lock_guard lock(g_simObjectEventsMutex);
    g_simObjectEvents.insert(g_simObjectEvents.end(), events.begin(), events.end());
    events.clear();
}

// Zero for finite values; a value that is not finite makes it NaN.
double lf_nonFinite(const PositionBlock& p, const MotionState& m)
{
    return (p.latitude + p.longitude + p.pitch + p.bank + p.heading + p.altitude + p.verticalSpeed + p.trueAirspeed +
            m.latitudeStep + m.longitudeStep + m.pitchStep + m.bankStep + m.headingStep + m.altitudeStep) *
           0.0;
}

double lf_nonFinite(const PosSample& s)
{
    return (s.latitude + s.longitude + s.altitude + s.groundSpeed + s.track + s.verticalSpeed + s.trueAirspeed) * 0.0;
}

// Half a metre or more (5e-6 degrees) from where it stood: the object moves.
void lf_noteMovement(SimObject& o, const PosUpdate& u, double now)
{
    if (std::fabs(u.latitude - o.stillLat) >= 5e-6 || std::fabs(u.longitude - o.stillLon) >= 5e-6) {
        o.stillLat = u.latitude;
        o.stillLon = u.longitude;
        o.stillSince = now;
    }
}

std::string lf_typeOf(uint32_t hexid)
{
    const StaticAc* ac = hexid > g_maxStaticHexid ? gf_findLiveAc(hexid) : gf_findStaticAc(hexid);
    return ac != nullptr ? ac->aircraftType : std::string();
}

bool lf_engineFinite(bool withSamples)
{
    double acc = 0.0;
    for (const LiveAc& ac : g_liveAcs) {
        acc += lf_nonFinite(ac.pos, ac.motion);
        if (withSamples) {
            for (const PosSample& s : ac.samples)
                acc += lf_nonFinite(s);
        }
    }
    return acc == 0.0;
}

bool lf_silent(const FeedScript& feed, double t)
{
    return std::any_of(feed.silences.begin(), feed.silences.end(),
                       [t](const std::pair<double, double>& s) { return t >= s.first && t < s.second; });
}

// The record as RealTraffic's line for it, read back by the product's parser as the traffic
// reader reads it; nothing when the parser does not accept it.
std::optional<LiveFlightRecord> lf_throughParser(const LiveFlightRecord& r, const TrackPoint& p, const GeoPos& user)
{
    const PosSample& s = r.sample;
    auto text = [](const std::string& t) { return t.empty() ? std::string("null") : t; };
    // A true heading comes only with ADS-B's own message type.
    const bool heading = p.headingDeg >= 0.0;
    const std::string line = fmt::format(
        "RTTFC,{},{:.6f},{:.6f},{:.1f},{:.0f},0,{:.1f},{:.1f},"
        "{},{},{},{},{},{:.2f},adsb,,{},,,{:.1f},0,0,0,0,{:.1f},0,,A3",
        r.hexid, s.latitude, s.longitude, p.onGround ? 0.0 : p.altFt, s.verticalSpeed, s.track, s.groundSpeed,
        text(r.texts.callsign), text(r.texts.aircraftType), text(r.texts.registration), text(r.texts.origin),
        text(r.texts.destination), r.timestamp, heading ? "adsb_icao" : "mlat", s.trueAirspeed,
        heading ? p.headingDeg : -1.0);
    TrafficLineContext context;
    context.referencePosition = user;
    context.rangeNm = g_rangeNm.load();
    context.airborneOnly = AIRBORNE_ONLY.value;
    if (!g_parkAirport.code.empty()) {
        context.referenceElevationFt = g_parkAirport.elevationFt;
        context.parkAirport = {true, {g_parkAirport.lat, g_parkAirport.lon}, g_parkAirport.elevationFt};
    }
    LiveFlightRecord parsed;
    std::string error;
    if (gf_parseTrafficLine(line, context, nullptr, parsed, error) != LineOutcome::Accepted)
        return std::nullopt;
    return parsed;
}

} // namespace

TrackPoint ReferenceFlight::at(double t) const
{
    if (points.empty())
        return {};
    if (t <= points.front().t)
        return points.front();
    const auto next = std::lower_bound(points.begin(), points.end(), t,
                                       [](const TrackPoint& p, double time) { return p.t < time; });
    if (next == points.end())
        return points.back();
    const TrackPoint& a = *(next - 1);
    const TrackPoint& b = *next;
    const double f = (t - a.t) / (b.t - a.t);
    TrackPoint p = f < 0.5 ? a : b;
    p.t = t;
    p.lat = a.lat + (b.lat - a.lat) * f;
    p.lon = a.lon + (b.lon - a.lon) * f;
    p.altFt = a.altFt + (b.altFt - a.altFt) * f;
    p.gsKt = a.gsKt + (b.gsKt - a.gsKt) * f;
    p.vsFpm = a.vsFpm + (b.vsFpm - a.vsFpm) * f;
    return p;
}

uint64_t gf_liveSelCount()
{
    const auto active = std::count_if(g_liveAcs.begin(), g_liveAcs.end(),
                                      [](const LiveAc& ac) { return ac.status == SimStatus::Active; });
    return g_newAcIds.size() + static_cast<uint64_t>(active) + g_liveCreateDeque.size();
}

Scenario::Scenario(std::vector<ReferenceFlight> flights, FeedScript feed, SimScript sim, uint32_t seed)
    : flights_(std::move(flights)), feedScript_(feed), sim_(std::move(sim)), random_(seed)
{
    gf_resetSimLinkState();
    gf_resetTrafficState();
    enginetest::installEngineDoubles();
    gf_threadTwister().seed(seed);
    gf_overrideDataFolder(data_.path());
    gf_createFlightPlanFolder();
    g_simConnect = connection_.handle;
    connection_.transport->takeRecords();
    g_simFrameRate = static_cast<float>(sim_.fps);
    g_user = UserState{};
    placeUser(sim_.user);
    g_rangeAsked = false;
    SimLinkCalls calls = gf_simLink();
    calls.requestAircraftInRange = [](int32_t) { return g_rangeAsked = true; };
    calls.requestUserPosition = [] { return g_user; };
    gf_setSimLinkCalls(calls);
    gf_setTrafficTickSource(&gf_trafficTickNow);
    {
        std::lock_guard lock(g_liveFlightsMutex);
        g_serviceRunning = true;
    }
    for (const ReferenceFlight& f : flights_)
        nextReport_.push_back(f.points.empty() ? std::numeric_limits<double>::infinity() : f.points.front().t);
    nextPoint_.assign(flights_.size(), 0);
}

Scenario::~Scenario()
{
    {
        std::lock_guard lock(g_liveFlightsMutex);
        g_serviceRunning = false;
    }
    gf_resetTrafficState();
    gf_resetSimLinkState();
    gf_resetSimLinkCalls();
    gf_resetFeedSources();
    enginetest::removeEngineDoubles();
    g_userOnGround = false;
    gf_storeUserSnapshot({});
}

void Scenario::placeUser(const TrackPoint& user)
{
    sim_.user = user;
    g_userOnGround = user.onGround;
    g_user.latitude = user.lat;
    g_user.longitude = user.lon;
    g_user.altitude = user.altFt;
    g_user.altitudeAboveGround = user.altFt - terrain(user.lat, user.lon);
    g_user.heading = user.trackDeg / kRadToDeg;
    g_user.groundTrack = g_user.heading;
    g_user.groundVelocity = user.gsKt;
    gf_storeUserSnapshot(g_user);
}

double Scenario::terrain(double lat, double lon) const
{
    return sim_.terrainFt != nullptr ? sim_.terrainFt(lat, lon) : 0.0;
}

void Scenario::run(double seconds)
{
    const auto ticks = static_cast<uint64_t>(std::llround(seconds * 100.0));
    for (uint64_t i = 0; i < ticks; ++i) {
        enginetest::catalogue().steadyTicks = kSteadyBase + tick_ * kSteadyPerTick;
        const auto minutes = static_cast<int64_t>(600.0 + time() * weekMinutesPerSecond_);
        g_timeOfWeek = static_cast<int64_t>((static_cast<uint64_t>(minutes / 30 % 48) << 32) |
                                            static_cast<uint64_t>(1 + minutes / 1440 % 7));
        feed();
        lf_handleAddingStack();
        ++tick_;
        while (static_cast<double>(frame_ + 1) / sim_.fps <= time())
            frame();
        checkEngine();
    }
}

void Scenario::feed()
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (size_t i = 0; i < flights_.size(); ++i) {
        const ReferenceFlight& f = flights_[i];
        while (nextReport_[i] <= time()) {
            const double t = nextReport_[i];
            if (t > f.points.back().t) {
                nextReport_[i] = std::numeric_limits<double>::infinity();
                break;
            }
            const size_t point = nextPoint_[i]++;
            if (feedScript_.atPoints) {
                nextReport_[i] = point + 1 < f.points.size() ? f.points[point + 1].t
                                                              : std::numeric_limits<double>::infinity();
            } else {
                double next = t + feedScript_.minGapS + unit(random_) * (feedScript_.maxGapS - feedScript_.minGapS);
                // A silence is the gap between two reports: one just before it, one at its end.
                for (const auto& [from, to] : feedScript_.silences) {
                    if (next >= from && next < to)
                        next = t < from - 0.01 ? from - 0.001 : to;
                }
                nextReport_[i] = next;
                if (unit(random_) < feedScript_.lossRate)
                    continue;
            }
            const TrackPoint p = feedScript_.atPoints ? f.points[point] : f.at(t);
            if (lf_silent(feedScript_, t))
                continue;
            LiveFlightRecord r;
            r.texts = f.texts;
            r.hexid = f.hexid;
            r.sample.latitude = p.lat;
            r.sample.longitude = p.lon;
            r.sample.altitude = p.onGround ? 0.0 : p.altFt;
            r.sample.groundSpeed = p.gsKt;
            r.sample.track = p.trackDeg;
            r.sample.verticalSpeed = p.vsFpm;
            r.sample.trueAirspeed = p.gsKt;
            r.sample.airborne = !p.onGround;
            r.timestamp = kEpochSeconds + t + feedScript_.jitterS * (2.0 * unit(random_) - 1.0);
            if (feedScript_.positionNoiseM > 0.0 || feedScript_.trackNoiseDeg > 0.0)
                addNoise(r.sample);
            if (feedScript_.missingTrackRate > 0.0 && unit(random_) < feedScript_.missingTrackRate)
                r.sample.track = 0.0;
            if (feedScript_.asLines) {
                std::optional<LiveFlightRecord> parsed = lf_throughParser(r, p, {sim_.user.lat, sim_.user.lon});
                if (!parsed)
                    continue;
                r = std::move(*parsed);
            }
            if (feedScript_.keepReports)
                reports_.push_back({r.hexid, t, r.sample.latitude, r.sample.longitude, r.sample.altitude,
                                    r.sample.groundSpeed, r.sample.track, r.sample.airborne});
            const int copies = unit(random_) < feedScript_.duplicateRate ? 2 : 1;
            for (int c = 0; c < copies; ++c) {
                LiveFlightRecord copy = r;
                gf_queueReceivedFlight(std::move(copy), static_cast<int64_t>(t * 1000.0));
            }
        }
    }
}

void Scenario::addNoise(PosSample& s)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double metres = feedScript_.positionNoiseM * unit(random_);
    const double direction = g_fullCircle * unit(random_);
    s.latitude += metres * std::cos(direction) / kMetresPerDegree;
    s.longitude += metres * std::sin(direction) / (kMetresPerDegree * std::cos(s.latitude * g_degToRad));
    s.track = std::fmod(s.track + feedScript_.trackNoiseDeg * (2.0 * unit(random_) - 1.0) + 360.0, 360.0);
}

void Scenario::frame()
{
    ++frame_;
    takeQueues();
    takeDirectRequests();
    std::vector<SimObjectEvent> events;
    for (const uint32_t hexid : failedHexids_)
        events.push_back({0, hexid, 0, SimObjectEventKind::CreationFailed});
    failedHexids_.clear();
    for (auto& [id, o] : objects_) {
        if (o.bound || o.bindFrame > frame_)
            continue;
        o.bound = true;
        const bool live = o.hexid > g_maxStaticHexid;
        events.push_back({id, o.hexid, 0, live ? SimObjectEventKind::Bound : SimObjectEventKind::StaticBound, 0.0,
                          live ? o.state.altFt - terrain(o.state.lat, o.state.lon) : 0.0});
    }
    dropBeforeActivation(events);
    lf_pushEvents(events);
    if (g_rangeAsked) {
        g_rangeAsked = false;
        reportObjects();
    }
    keepTrack();
}

void Scenario::takeQueues()
{
    std::vector<SimObjectEvent> events;
    std::vector<uint32_t> removing;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_int_distribution<int> bindFrames(sim_.minBindFrames, sim_.maxBindFrames);
    const std::vector<PosUpdate>& positions = g_posUpdates.newest();
    std::lock_guard lock(g_simConnectMutex);
    for (const PosUpdate& u : positions) {
        const auto it = objects_.find(u.objectId);
        if (it == objects_.end())
            continue;
        TrackSample& s = it->second.state;
        lf_noteMovement(it->second, u, time());
        s.lat = u.latitude;
        s.lon = u.longitude;
        s.altFt = u.altitude;
        s.pitchDeg = u.pitch * kRadToDeg;
        s.bankDeg = u.bank * kRadToDeg;
        s.headingDeg = u.heading * kRadToDeg;
        it->second.moved = true;
    }
    for (const SimClientEvent& e : g_eventQueue) {
        if (const auto it = objects_.find(e.objectId); sim_.keepTracks && it != objects_.end())
            it->second.events.push_back(fmt::format("{} {}", e.eventId, e.data));
    }
    g_eventQueue.clear();
    for (const SimCreateRequest& c : g_createQueue) {
        if (unit(random_) < sim_.failedCreationRate) {
            failedHexids_.push_back(c.hexid);
            ++counts_.failedCreations;
            continue;
        }
        SimObject o;
        o.id = nextObjectId_++;
        o.hexid = c.hexid;
        o.callsign = c.callsign;
        o.type = lf_typeOf(c.hexid);
        o.title = c.liveryTitle;
        o.stillLat = c.latitude;
        o.stillLon = c.longitude;
        o.stillSince = time();
        o.state = {time(), c.latitude, c.longitude, c.altitude, c.pitch, c.bank, c.heading, c.onGround != 0};
        o.bindFrame = frame_ + bindFrames(random_);
        scheduleBinding(o);
        ++counts_.creations;
        objects_.emplace(o.id, std::move(o));
    }
    g_createQueue.clear();
    for (const uint32_t id : g_removeQueue) {
        const auto it = objects_.find(id);
        if (it == objects_.end()) {
            ++(removed_.contains(id) ? counts_.repeatedRemovals : counts_.unknownRemovals);
            continue;
        }
        ++counts_.removals;
        events.push_back({id, 0, 0, SimObjectEventKind::Removed});
        removing.push_back(id);
    }
    g_removeQueue.clear();
    lf_pushEvents(events);
    // Their last state is kept with this frame's track.
    removing_.insert(removing_.end(), removing.begin(), removing.end());
}

// The binding's faults: late, never, or the object gone again before its activation.
void Scenario::scheduleBinding(SimObject& o)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const auto happens = [&](double rate) { return rate > 0.0 && unit(random_) < rate; };
    if (happens(sim_.neverBindRate)) {
        o.bindFrame = std::numeric_limits<int64_t>::max();
        ++counts_.neverBound;
    } else if (happens(sim_.lateBindRate)) {
        o.bindFrame = frame_ + std::llround(sim_.lateBindS * sim_.fps);
        ++counts_.lateBinds;
    }
    // Within the 200 passes between binding and activation.
    if (o.bindFrame != std::numeric_limits<int64_t>::max() && happens(sim_.removeBeforeActivationRate))
        o.dropFrame = o.bindFrame + 1 + static_cast<int64_t>(unit(random_) * 1.5 * sim_.fps);
}

void Scenario::dropBeforeActivation(std::vector<SimObjectEvent>& events)
{
    for (auto& [id, o] : objects_) {
        if (o.dropFrame != frame_)
            continue;
        events.push_back({id, 0, 0, SimObjectEventKind::Removed});
        removing_.push_back(id);
        ++counts_.droppedBeforeActivation;
    }
}

// The engine's StaticCG requests on the connection itself are answered; its sets of the
// spoiler and throttle levers (definition 401) noted as "controls" and the three values.
void Scenario::takeDirectRequests()
{
    std::vector<SimObjectEvent> events;
    for (const std::string& raw : connection_.transport->takeRecords()) {
        ScRequestDataRecord r{};
        ScSetDataRecord d{};
        std::array<double, 3> levers{};
        std::memcpy(&r, raw.data(), std::min(raw.size(), sizeof r));
        std::memcpy(&d, raw.data(), std::min(raw.size(), sizeof d));
        if (r.header.id == g_scRequestIdBase + static_cast<uint32_t>(r.kRequest) && r.requestId == 102)
            events.push_back({r.objectId, 0, 0, SimObjectEventKind::StaticCg, sim_.cgHeightFt, sim_.staticPitchRad});
        const auto o = objects_.find(d.objectId);
        if (d.header.id != g_scRequestIdBase + static_cast<uint32_t>(d.kRequest) || d.defineId != 401 ||
            raw.size() < sizeof d + sizeof levers || o == objects_.end() || !sim_.keepTracks)
            continue;
        std::memcpy(levers.data(), raw.data() + sizeof d, sizeof levers);
        o->second.events.push_back(fmt::format("controls {} {} {}", levers[0], levers[1], levers[2]));
    }
    lf_pushEvents(events);
}

// The in-range reply: every own live object near the ground, over the terrain.
void Scenario::reportObjects()
{
    std::vector<SimObjectEvent> events;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (auto& [id, o] : objects_) {
        if (!o.bound || o.callsign.ends_with('*'))
            continue;
        const double ground = terrain(o.state.lat, o.state.lon);
        const double agl = o.state.altFt - ground;
        if (agl > kMaxReportedAglFt || unit(random_) < sim_.lostOnGroundRate)
            continue;
        const bool onGround = o.state.altFt <= ground + sim_.cgHeightFt + kOnGroundMarginFt;
        events.push_back({id, onGround ? 1u : 0u, 0, SimObjectEventKind::InRange, ground, agl});
    }
    lf_pushEvents(events);
}

void Scenario::keepTrack()
{
    const double t = static_cast<double>(frame_) / sim_.fps;
    for (auto& [id, o] : objects_) {
        if (!o.moved)
            continue;
        TrackSample& s = o.state;
        s.t = t;
        s.onGround = s.altFt <= terrain(s.lat, s.lon) + sim_.cgHeightFt + kOnGroundMarginFt;
        if (sim_.keepTracks)
            o.track.push_back(s);
        o.moved = false;
    }
    for (const uint32_t id : removing_)
        removed_.insert(objects_.extract(id));
    removing_.clear();
}

void Scenario::checkEngine()
{
    counts_.maxLiveCount = std::max(counts_.maxLiveCount, gf_liveSelCount());
    if (!lf_engineFinite(tick_ % 100 == 0))
        ++counts_.nonFiniteTicks;
}

uint64_t Scenario::orphans() const
{
    uint64_t n = 0;
    std::map<uint32_t, bool> held;
    for (const LiveAc& ac : g_liveAcs) {
        if (ac.objectId != 0)
            held[ac.objectId] = true;
    }
    for (const StaticAc& ac : g_staticAcs) {
        if (ac.objectId != 0)
            held[ac.objectId] = true;
    }
    std::map<uint32_t, int> waiting; // by hexid
    const auto sentUnbound = [&waiting](const StaticAc& ac) {
        if (ac.status == SimStatus::Adding2Sim && ac.objectId == 0 && ac.creationSentTick && !ac.removed)
            waiting[ac.hexid] = 1;
    };
    std::for_each(g_liveAcs.begin(), g_liveAcs.end(), sentUnbound);
    std::for_each(g_staticAcs.begin(), g_staticAcs.end(), sentUnbound);
    for (const uint32_t hexid : g_withdrawnHexids)
        waiting[hexid] = 1;
    for (const auto& [id, o] : objects_) {
        if (o.bound)
            n += held.contains(id) ? 0 : 1;
        else if (waiting[o.hexid] > 0)
            --waiting[o.hexid];
        else
            ++n;
    }
    for (const auto& [id, h] : held)
        n += objects_.contains(id) ? 0 : 1;
    return n;
}

void Scenario::bindTheNeverBound()
{
    for (auto& [id, o] : objects_) {
        if (!o.bound)
            o.bindFrame = std::min(o.bindFrame, frame_ + 1);
    }
}

} // namespace traffictest
