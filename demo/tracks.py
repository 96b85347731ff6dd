"""Judges a demo run: what each flight of the scenario and each static aircraft of the
airport's learned park file became in the simulator stand-in's track log, against what
RealTraffic reported 30 seconds earlier and the stands of the park file. Writes
summary.txt, figures.json (for the end-to-end test) and tracks.png (a map of the airport
area with the received and the flown tracks and the static aircraft at their stands, and
the vertical profiles of arrivals and departures).

A phase (touchdown, the stand, push-back, lift-off, the climb past 3,000 ft) is judged
only when the flight completed it before the window was closed; otherwise the summary
says how far it got ("still taxiing at close").

    /usr/bin/python3 demo/tracks.py build/demo      (again, on the files a run left)"""
import bisect
import json
import math
import pathlib
import re
import sys

EARTH_RADIUS_M = 6371008.8
SHIFT_S = 30.0  # the program flies what it received this long ago
AGL_AIRBORNE_CHECK_FT = 1000.0
CLIMB_CHECK_FT = 3000.0
# An aircraft appears 1 to 2 s behind its reference (its creation and activation take
# longer than its lead time) and catches up within seconds: its deviation and its steps
# are judged from then on.
SETTLE_S = 10.0
# A phase the reference completed this long before the close must be complete in the
# simulator too (the playback delay, the aircraft's catching up and a frame or two).
DONE_AFTER_S = SHIFT_S + 5.0
# An aircraft no longer reported is carried on by 8 synthetic samples 8 s apart, then
# removed (one removal per 10 ticks).
REMOVED_BY_S = SHIFT_S + 8 * 8.0 + 5.0
# The motion limits README names.
LIMITS = {"taxi_cross_track_m": 30.0, "air_m": 150.0, "air_ft": 100.0, "touchdown_fpm": 600.0, "stand_m": 2.0,
          "stand_deg": 1.0}
STILL_M_S = 0.3  # slower than this an aircraft stands
# How far back a step's start may lie: the program's ticks held up this long on a loaded
# machine, as its frames' positions may be.
LATE_TICKS_S = 0.25
# A taxi leg is judged against the aircraft while its reports are due, give or take this
# much (the ground motion may run behind or ahead of them: that is the taxi error's measure).
LEG_TIME_SLACK_S = 30.0


def distance_m(lat1, lon1, lat2, lon2):
    p1, p2 = math.radians(lat1), math.radians(lat2)
    a = math.sin((p2 - p1) / 2) ** 2 + math.cos(p1) * math.cos(p2) * math.sin(math.radians(lon2 - lon1) / 2) ** 2
    return 2 * EARTH_RADIUS_M * math.asin(min(1.0, math.sqrt(a)))


class Plane:
    """A local plane (metres east and north) around the airport."""

    def __init__(self, lat0, lon0):
        self.lat0, self.lon0 = lat0, lon0
        self.k = math.cos(math.radians(lat0))

    def xy(self, lat, lon):
        return (math.radians(lon - self.lon0) * EARTH_RADIUS_M * self.k, math.radians(lat - self.lat0) * EARTH_RADIUS_M)


def angle_diff(a, b):
    return abs((a - b + 180.0) % 360.0 - 180.0)


def reference_at(reports, t, clamp=False):
    """The received track at scenario time t, linear between reports; outside it None, or
    with clamp the first or last report."""
    if not reports:
        return None
    if t < reports[0]["t"] or t > reports[-1]["t"]:
        if not clamp:
            return None
        t = min(max(t, reports[0]["t"]), reports[-1]["t"])
    lo, hi = 0, len(reports) - 1
    while hi - lo > 1:
        mid = (lo + hi) // 2
        if reports[mid]["t"] <= t:
            lo = mid
        else:
            hi = mid
    a, b = reports[lo], reports[hi]
    f = 0.0 if b["t"] <= a["t"] else (t - a["t"]) / (b["t"] - a["t"])
    mix = {k: a[k] + (b[k] - a[k]) * f for k in ("lat", "lon", "alt_ft", "gs_kt")}
    mix["ground"] = a["ground"] and b["ground"]
    mix["gs_max"] = max(a["gs_kt"], b["gs_kt"])
    return mix


def segment_distance(p, a, b):
    ax, ay = b[0] - a[0], b[1] - a[1]
    n = ax * ax + ay * ay
    u = 0.0 if n == 0 else max(0.0, min(1.0, ((p[0] - a[0]) * ax + (p[1] - a[1]) * ay) / n))
    return math.hypot(p[0] - a[0] - u * ax, p[1] - a[1] - u * ay)


def straight_taxi_legs(reports, plane):
    """Runs of ground reports moving on one track (within 2 degrees) for 60 m or more, as
    segments on the plane with the scenario times they were reported in; a straight leg's
    first and last 15 m are left to the turns."""
    legs, run = [], []
    for r in reports:
        moving = r["ground"] and r["gs_kt"] >= 3.0
        if moving and run and angle_diff(r["track"], run[0]["track"]) <= 2.0:
            run.append(r)
            continue
        if len(run) >= 3:
            legs.append(run)
        run = [r] if moving else []
    if len(run) >= 3:
        legs.append(run)
    out = []
    for leg in legs:
        a, b = plane.xy(leg[0]["lat"], leg[0]["lon"]), plane.xy(leg[-1]["lat"], leg[-1]["lon"])
        length = math.dist(a, b)
        if length >= 60.0:
            ux, uy = (b[0] - a[0]) / length, (b[1] - a[1]) / length
            out.append(((a[0] + 15 * ux, a[1] + 15 * uy), (b[0] - 15 * ux, b[1] - 15 * uy), leg[0]["t"], leg[-1]["t"],
                        leg[0]["track"]))
    return out


def inside_runway(runway, plane, lat, lon, margin_m=0.0):
    thr = plane.xy(runway["lat"], runway["lon"])
    p = plane.xy(lat, lon)
    h = math.radians(runway["heading"])
    along = (p[0] - thr[0]) * math.sin(h) + (p[1] - thr[1]) * math.cos(h)
    across = (p[0] - thr[0]) * math.cos(h) - (p[1] - thr[1]) * math.sin(h)
    return -margin_m <= along <= runway["length_m"] + margin_m and abs(across) <= runway["width_m"] / 2 + margin_m, along


def read_track(path):
    objects = {}
    if not path.exists():
        return objects
    with open(path, encoding="utf-8") as f:
        for text in f:
            try:
                line = json.loads(text)
            except ValueError:
                continue
            objects.setdefault(line["object"], []).append(line)
    return objects


def log_lines(path):
    if not path.exists():
        return []
    return path.read_text(encoding="utf-8", errors="replace").splitlines()


def pct(values, q):
    if not values:
        return None
    s = sorted(values)
    return s[min(len(s) - 1, int(q * (len(s) - 1) + 0.5))]


def first_time(reports, predicate):
    return next((r["t"] for r in reports if predicate(r)), None)


def phase_times(flight, elevation):
    """When the received track completes each phase (scenario seconds)."""
    reports = flight["reports"]
    times = {}
    if flight["kind"] == "arrival":
        times["touchdown"] = first_time(reports, lambda r: r["ground"])
        moving = [i for i, r in enumerate(reports) if r["gs_kt"] > 0.0]
        times["stand"] = reports[moving[-1] + 1]["t"] if moving and moving[-1] + 1 < len(reports) else None
    elif flight["kind"] == "departure":
        times["push_back"] = flight.get("push_end_t")
        times["lift_off"] = first_time(reports, lambda r: not r["ground"])
        times["climb"] = first_time(reports, lambda r: not r["ground"] and r["alt_ft"] >= CLIMB_CHECK_FT + elevation)
    times["last_report"] = reports[-1]["t"]
    return times


def title_text(raw):
    """A title as the program wrote it: the stand-in keeps the bytes (as Latin-1)."""
    data = raw.encode("latin-1", errors="replace")
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return data.decode("cp1252", errors="replace")


def livery_category(title, data):
    t = data.get("livery_types", {}).get(title)
    return None if t is None else data["types"].get(t, {}).get("category", "light")


def excess_steps(moved, reports, feed_start):
    """Steps longer than the received track's speed allows: jumps. A step is taken over two
    frame intervals or more: the program's 10 ms ticks fall unevenly into the simulator's
    frames (a long step, then a short one), and a tick that ran late on a loaded machine is
    followed at once by the ticks it held up, carrying the way of their time into one frame.
    A step is a jump only when no start within the quarter second before it explains it."""
    framed = [l for i, l in enumerate(moved) if i + 1 == len(moved) or moved[i + 1]["frame"] != l["frame"]]
    over = 0
    for i in range(2, len(framed)):
        cur = framed[i]
        if cur["wall"] < moved[0]["wall"] + SETTLE_S:  # catching up with the reference
            continue
        ref = reference_at(reports, cur["wall"] - feed_start - SHIFT_S, clamp=True)
        speed = max(ref["gs_max"], 1.0) * 1852 / 3600

        def too_long(prev):
            dt = max(cur["wall"] - prev["wall"], (cur["frame"] - prev["frame"]) / 30.0)
            return distance_m(prev["lat"], prev["lon"], cur["lat"], cur["lon"]) > 1.5 * speed * dt + 1.0
        j = i - 2
        while too_long(framed[j]):
            j -= 1
            if j < 0 or cur["wall"] - framed[j]["wall"] > LATE_TICKS_S:
                over += 1
                break
    return over


def judge_flight(flight, lines, data, feed_start, plane, closed):
    """The figures of one flight flown by one object; `closed` is the close in scenario
    seconds (None: the run was not closed)."""
    reports = flight["reports"]
    elevation = data["airport"]["elevation_ft"]
    fig = {"object": lines[0]["object"], "title": title_text(lines[0].get("title", "")),
           "created_after_s": round(lines[0]["wall"] - (feed_start + reports[0]["t"]), 1)}
    fig["livery_category"] = livery_category(fig["title"], data)
    events = [e for l in lines for e in l["events"]]
    fig["events"] = sorted(set(re.sub(r"=.*", "", e) for e in events))
    until = feed_start + closed if closed is not None else math.inf
    moved = [l for l in lines if l["moved"] and l["wall"] < until]
    fig["positions"] = len(moved)
    times = phase_times(flight, elevation)
    done = {k: v is not None and (closed is None or v + DONE_AFTER_S <= closed) for k, v in times.items()}
    fig["completed"] = sorted(k for k, v in done.items() if v and k != "last_report")
    # The stand-in keeps an object's on-ground flag as created: on the ground is where the
    # program puts it on the ground, its lowest altitude near the airport's elevation.
    lowest = min((l["alt_ft"] for l in moved), default=None)
    ground_ft = lowest if lowest is not None and lowest < elevation + 50.0 else None

    def on_ground(line):
        return ground_ft is not None and line["alt_ft"] <= ground_ft + 2.0
    removal = [l for l in lines if "removal" in l["events"] and l["wall"] < until]
    fig["removed_after_last_s"] = (round(removal[0]["wall"] - (feed_start + reports[-1]["t"]), 1)
                                   if removal else None)
    if moved:
        frames = sorted(set(l["frame"] for l in moved))
        fig["frames"] = frames[-1] - frames[0] + 1
        fig["frames_without_position"] = fig["frames"] - len(frames)
        fig["longest_gap_frames"] = max((b - a - 1 for a, b in zip(frames, frames[1:])), default=0)
    taxi_h, air_h, air_v = [], [], []
    fig["excess_steps"] = excess_steps(moved, reports, feed_start)
    for cur in moved:
        ref = reference_at(reports, cur["wall"] - feed_start - SHIFT_S)
        if ref is None:
            continue
        h = distance_m(cur["lat"], cur["lon"], ref["lat"], ref["lon"])
        if ref["ground"]:
            taxi_h.append(h)
        elif ref["alt_ft"] - elevation > AGL_AIRBORNE_CHECK_FT and cur["wall"] >= moved[0]["wall"] + SETTLE_S:
            air_h.append(h)
            air_v.append(abs(cur["alt_ft"] - ref["alt_ft"]))
    fig["taxi_error_m"] = {"p50": pct(taxi_h, 0.5), "max": max(taxi_h) if taxi_h else None, "n": len(taxi_h)}
    fig["air_error_m"] = {"p50": pct(air_h, 0.5), "max": max(air_h) if air_h else None, "n": len(air_h)}
    fig["air_error_ft"] = {"p50": pct(air_v, 0.5), "max": max(air_v) if air_v else None, "n": len(air_v)}
    legs = straight_taxi_legs(reports, plane)
    cross = []
    for cur in moved:
        if not on_ground(cur):
            continue
        p = plane.xy(cur["lat"], cur["lon"])
        # On a leg: its distance from a leg reported about when it flies, while its nose
        # points along that leg and its foot falls on the leg's line. A push-back, a turn or
        # a crossing leg is no point of that leg.
        t = cur["wall"] - feed_start - SHIFT_S
        near = []
        for a, b, t0, t1, track in legs:
            if not t0 - LEG_TIME_SLACK_S <= t <= t1 + LEG_TIME_SLACK_S or angle_diff(cur["heading_deg"], track) > 15.0:
                continue
            ax, ay = b[0] - a[0], b[1] - a[1]
            u = ((p[0] - a[0]) * ax + (p[1] - a[1]) * ay) / (ax * ax + ay * ay)
            if 0.0 <= u <= 1.0:
                near.append(segment_distance(p, a, b))
        if near:
            cross.append(min(near))
    fig["taxi_cross_track_m"] = {"max": max(cross) if cross else None, "n": len(cross)}
    fig["highest_ft"] = max((l["alt_ft"] for l in moved), default=None)
    runways = data["runways"]
    if flight["kind"] == "arrival":
        touch = next((i for i, l in enumerate(moved) if i and on_ground(l) and not on_ground(moved[i - 1])), None)
        if done["touchdown"] or touch is not None:
            fig["touchdown"] = None
            if touch is not None:
                t = moved[touch]
                before = [l for l in moved[:touch] if t["wall"] - l["wall"] <= 1.0] or [moved[touch - 1]]
                span = max(t["wall"] - before[0]["wall"], 1 / 30)
                rate = (t["alt_ft"] - before[0]["alt_ft"]) / span * 60.0
                ok, along = inside_runway(runways[flight["runway"]], plane, t["lat"], t["lon"])
                fig["touchdown"] = {"inside_runway": ok, "from_threshold_m": round(along), "rate_fpm": round(rate)}
        stand = next(s for s in data["stands"] if s["id"] == flight["stand"])
        fig["stand_id"] = stand["id"]
        if done["stand"]:
            last = moved[-1] if moved else lines[-1]
            fig["stand"] = {"distance_m": round(distance_m(last["lat"], last["lon"], stand["lat"], stand["lon"]), 2),
                            "heading_off_deg": round(angle_diff(last["heading_deg"], stand["heading"]), 2)}
        else:
            fig["stand_pending"] = "still in the air at close" if not done["touchdown"] else "still taxiing at close"
    if flight["kind"] == "departure":
        stand = next(s for s in data["stands"] if s["id"] == flight["stand"])
        fig["started_at_stand_m"] = round(distance_m(moved[0]["lat"], moved[0]["lon"], stand["lat"], stand["lon"]), 1) \
            if moved else None
        # The push-back: the frames in which the aircraft moves tail first; it ends where
        # the last of them leaves it.
        backwards = []
        for prev, cur in zip(moved, moved[1:]):
            d = distance_m(prev["lat"], prev["lon"], cur["lat"], cur["lon"])
            if d > 0.02 and on_ground(cur):
                p0, p1 = plane.xy(prev["lat"], prev["lon"]), plane.xy(cur["lat"], cur["lon"])
                course = math.degrees(math.atan2(p1[0] - p0[0], p1[1] - p0[1])) % 360.0
                if angle_diff(course, cur["heading_deg"]) > 120.0:
                    backwards.append(cur)
        if done["push_back"]:
            end = backwards[-1] if backwards else None
            fig["pushed_back_m"] = round(distance_m(end["lat"], end["lon"], stand["lat"], stand["lon"]), 1) if end else 0.0
            fig["push_back_ref_m"] = round(distance_m(flight["push_end"][0], flight["push_end"][1], stand["lat"],
                                                      stand["lon"]), 1)
            # Where it ended against where the reports end it: the side matters too.
            fig["push_back_off_m"] = round(distance_m(end["lat"], end["lon"], *flight["push_end"]), 1) if end else None
        else:
            fig["push_back_pending"] = "still at its stand at close" if not backwards else "still pushing back at close"
        lift = next((i for i, l in enumerate(moved) if i and not on_ground(l) and on_ground(moved[i - 1])), None)
        if done["lift_off"] or lift is not None:
            fig["lift_off"] = None
            if lift is not None:
                l0 = moved[lift - 1]
                ok, along = inside_runway(runways[flight["runway"]], plane, l0["lat"], l0["lon"])
                fig["lift_off"] = {"inside_runway": ok, "from_threshold_m": round(along)}
        if done["climb"]:
            fig["climbed_past_ft"] = (fig["highest_ft"] or 0) - elevation >= CLIMB_CHECK_FT
    if flight["kind"] in ("overflight", "helicopter") and "level_ft" in flight and moved:
        settled = [l for l in moved if l["wall"] >= moved[0]["wall"] + SETTLE_S] or moved
        fig["level_flown_ft"] = round(settled[0]["alt_ft"])
        fig["last_flown_ft"] = round(settled[-1]["alt_ft"])
    return fig


def over_limits(f):
    """The completed phases of a created flight that break a motion limit README names."""
    out = []
    if f.get("excess_steps"):
        out.append(f"{f['excess_steps']} steps too long")
    if (f["taxi_cross_track_m"]["max"] or 0) > LIMITS["taxi_cross_track_m"]:
        out.append(f"taxi cross-track {f['taxi_cross_track_m']['max']:.1f} m")
    if (f["air_error_m"]["max"] or 0) > LIMITS["air_m"]:
        out.append(f"airborne error {f['air_error_m']['max']:.0f} m")
    if (f["air_error_ft"]["max"] or 0) > LIMITS["air_ft"]:
        out.append(f"airborne error {f['air_error_ft']['max']:.0f} ft")
    if "touchdown" in f:
        t = f["touchdown"]
        if t is None:
            out.append("no touchdown flown")
        elif not t["inside_runway"] or -t["rate_fpm"] > LIMITS["touchdown_fpm"]:
            out.append(f"touchdown {'outside the runway' if not t['inside_runway'] else ''} at {-t['rate_fpm']} ft/min")
    if "stand" in f and (f["stand"]["distance_m"] > LIMITS["stand_m"] or f["stand"]["heading_off_deg"] > LIMITS["stand_deg"]):
        out.append(f"stand {f['stand']['distance_m']} m / {f['stand']['heading_off_deg']} deg")
    if "lift_off" in f and (f["lift_off"] is None or not f["lift_off"]["inside_runway"]):
        out.append("lift-off off the runway")
    if f.get("climbed_past_ft") is False:
        out.append("did not climb past 3,000 ft")
    if "pushed_back_m" in f and (f["push_back_off_m"] is None or f["push_back_off_m"] > LIMITS["taxi_cross_track_m"]):
        out.append(f"push-back ended {f['push_back_off_m']} m from where the reports end it")
    if f.get("started_at_stand_m") is not None and f["started_at_stand_m"] > LIMITS["stand_m"]:
        out.append(f"born {f['started_at_stand_m']} m from its stand")
    if f.get("livery_category") and f["livery_category"] != f["category"]:
        out.append(f"a {f['livery_category']} livery on a {f['category']} aircraft")
    return out


def why_not_created(flight, log, closed, types):
    """A flight without object: not yet reported, not yet due, or refused with the Log.txt
    line that names it."""
    first = flight["reports"][0]["t"]
    if closed is not None and first > closed:
        return "not_reported", f"not yet reported when the run ended (its first report was due at {first:.0f} s)"
    if closed is not None and first + DONE_AFTER_S > closed:
        return "not_due", f"first reported {closed - first:.0f} s before the close: its creation was not yet due"
    said = [l.strip() for l in log if flight["callsign"] in l or (flight["registration"] and flight["registration"] in l)]
    if said:
        return "refused", said[-1]
    if flight["type"] not in types:
        return "refused", (f"its type {flight['type']} is not in the aircraft database: the program takes no "
                           f"aircraft of a type it does not know (and writes no line for it)")
    return "unexplained", "no line of Log.txt says why"


STATIC_PLANNED = re.compile(r"^(\d+) positions \(")
ADJUSTMENTS = re.compile(r"Parking adjustments: (\d+) to be removed, (\d+) to be added")


def judge_statics(data, objects, log, feed_start, closed):
    """The static aircraft: what the calculations planned (Log.txt), which were created, at
    which stand, and which stood there at the close."""
    by_callsign = {}
    for e in data.get("statics", []):
        by_callsign.setdefault(e["callsign"], e)
    until = feed_start + closed if closed is not None and feed_start else math.inf
    statics = []
    for obj, lines in objects.items():
        tail = lines[0].get("tail") or ""
        if not tail.endswith("*"):
            continue
        first = lines[0]
        nearest = min(data["stands"], key=lambda s: distance_m(first["lat"], first["lon"], s["lat"], s["lon"]))
        entry = by_callsign.get(tail.rstrip("*"))
        removed = next((l["wall"] for l in lines if "removal" in l["events"] or "vanished" in l["events"]), None)
        why = [l.strip() for l in log if tail in l and "remov" in l]
        statics.append({"object": obj, "callsign": tail, "title": title_text(first.get("title", "")),
                        "type": entry["type"] if entry else None, "planned_stand": entry["stand"] if entry else None,
                        "stand": nearest["id"],
                        "distance_m": round(distance_m(first["lat"], first["lon"], nearest["lat"], nearest["lon"]), 2),
                        "heading_off_deg": round(angle_diff(first["heading_deg"], nearest["heading"]), 2),
                        "created_s": round(first["wall"] - feed_start, 1) if feed_start else None,
                        "standing_at_close": removed is None or removed >= until,
                        "removed_because": why[-1] if why else "",
                        "livery_category": livery_category(title_text(first.get("title", "")), data),
                        "category": data["types"].get(entry["type"], {}).get("category") if entry else None})
    planned = [int(m.group(1)) for m in (STATIC_PLANNED.match(l.strip()) for l in log) if m]
    renewals = [(int(m.group(1)), int(m.group(2))) for m in (ADJUSTMENTS.search(l) for l in log) if m]
    return {"planned": planned[-1] if planned else 0, "calculations": len(planned),
            "no_positions": any("no parking positions found" in l for l in log), "renewals": renewals,
            "created": len(statics), "standing_at_close": sum(1 for s in statics if s["standing_at_close"]),
            "aircraft": sorted(statics, key=lambda s: s["stand"])}


def standing_pairs(data, objects, flights_by_object, statics, feed_start, closed):
    """Pairs of aircraft that stood (on the ground, still) closer than the sum of their half
    wing spans at the same moment, looked at once a second; the user aircraft at its stand
    counts too. A static aircraft stands from its creation to its removal."""
    half = {t: v["half_span_m"] for t, v in data["types"].items()}
    user = next(s for s in data["stands"] if s["id"] == data["user_stand"])
    until = feed_start + closed if closed is not None else math.inf
    static_types = {s["object"]: s["type"] for s in statics}
    tracks = {}  # object -> (half span, walls, states (lat, lon, still), end)
    for obj, lines in objects.items():
        t = static_types.get(obj) or flights_by_object.get(obj, {}).get("type")
        walls, states, previous, end = [], [], None, until
        for l in lines:
            if "removal" in l["events"] or "vanished" in l["events"] or l["wall"] >= until:
                end = min(end, l["wall"])
                break
            still = obj in static_types
            if previous is not None and not still:
                dt = max(l["wall"] - previous["wall"], 1e-3)
                still = l["on_ground"] and distance_m(previous["lat"], previous["lon"], l["lat"], l["lon"]) / dt < STILL_M_S
            walls.append(l["wall"])
            states.append((l["lat"], l["lon"], still))
            previous = l
        if walls:
            tracks[obj] = (half.get(t, 18.0), walls, states, end)
    if not tracks:
        return {"checked": 0, "too_close": []}
    first = min(w[0] for _, w, _, _ in tracks.values())
    last = min(until, max(w[-1] for _, w, _, _ in tracks.values()) + 1.0)
    close, checked, now = {}, 0, first
    while now <= last:
        standing = [("user", user["lat"], user["lon"], 17.9)]
        for obj, (h, walls, states, end) in tracks.items():
            i = bisect.bisect_right(walls, now) - 1
            if i >= 0 and now < end and states[i][2]:
                standing.append((obj, states[i][0], states[i][1], h))
        for i, (a, la, lo, ha) in enumerate(standing):
            for b, lb, lob, hb in standing[i + 1:]:
                checked += 1
                d = distance_m(la, lo, lb, lob)
                if d < ha + hb:
                    key = tuple(sorted((str(a), str(b))))
                    close[key] = min(close.get(key, math.inf), round(d, 1))
        now += 1.0
    return {"checked": checked, "too_close": [{"pair": list(k), "distance_m": v} for k, v in sorted(close.items())]}


def analyse(out: pathlib.Path, data=None, result=None):
    out = pathlib.Path(out)
    data = data or json.loads((out / "scenario.json").read_text())
    result = result or json.loads((out / "result.json").read_text())
    feed_start = result.get("feed_start")
    closed = result.get("closed_at")
    objects = read_track(out / "track.jsonl")
    log = log_lines(out / "Log.txt")
    plane = Plane(data["airport"]["lat"], data["airport"]["lon"])
    by_tail = {}
    for obj, lines in objects.items():
        tail = lines[0].get("tail")
        if tail:
            by_tail.setdefault(tail, []).append(lines)
    flights, flights_by_object = [], {}
    for f in data["flights"]:
        lives = by_tail.get(f["callsign"], []) + (by_tail.get(f["registration"], []) if f["registration"] else [])
        entry = {"callsign": f["callsign"], "kind": f["kind"], "type": f["type"], "airline": f["airline"],
                 "category": f["category"], "registration": f["registration"], "note": f.get("note", ""),
                 "lives": len(lives), "expected_title": f.get("expected_title"), "refused": f["kind"] == "refused"}
        if lives and feed_start:
            entry.update(judge_flight(f, lives[0], data, feed_start, plane, closed))
            entry["status"] = "created"
            entry["over_limits"] = over_limits(entry)
            for lines in lives:
                flights_by_object[lines[0]["object"]] = f
        else:
            entry["status"], entry["why_not"] = why_not_created(f, log, closed, data["types"])
        flights.append(entry)
    statics = judge_statics(data, objects, log, feed_start, closed)
    figures = {"flights": flights, "statics": statics, "exit_code": result.get("exit_code"),
               "closed_by": result.get("closed_by"), "closed_at": closed,
               "start_up_s": result.get("start_up_s"), "datagrams_sent": result.get("datagrams_sent"),
               "link_lines": [l[2] for l in result.get("link_lines", [])],
               "link_problems": result.get("link_problems", []), "sim_problems": result.get("sim_problems", []),
               "objects": len(objects),
               "removed": sum(1 for lines in objects.values() if any("removal" in l["events"] for l in lines)),
               "memory_kb": result.get("memory_kb", []), "time_of_week": data.get("time_of_week")}
    if feed_start:
        figures["collisions"] = standing_pairs(data, objects, flights_by_object, statics["aircraft"], feed_start, closed)
    if closed is not None and feed_start:
        at = feed_start + closed
        figures["removed_at_close"] = sum(1 for lines in objects.values()
                                          if any("removal" in l["events"] and l["wall"] >= at for l in lines))
        figures["present_at_close"] = sum(1 for lines in objects.values()
                                          if lines[0]["wall"] < at and not any(
                                              "removal" in l["events"] and l["wall"] < at for l in lines))
    figures["totals"] = totals(figures)
    (out / "figures.json").write_text(json.dumps(figures, indent=1))
    (out / "summary.txt").write_text(summary_text(figures, data))
    try:
        plot(out / "tracks.png", data, objects, by_tail, feed_start, statics["aircraft"])
    except ImportError as e:
        print(f"tracks: no picture ({e}); install python3-matplotlib", file=sys.stderr)
    return figures


def fmt(v, unit="", digits=0):
    return "-" if v is None else f"{v:.{digits}f}{unit}"


def totals(fig):
    flights = fig["flights"]
    count = {k: sum(1 for f in flights if f["status"] == k)
             for k in ("created", "refused", "not_reported", "not_due", "unexplained")}
    created = [f for f in flights if f["status"] == "created"]
    phases = sum(len(f["completed"]) for f in created)
    faults = [f"{f['callsign']}: {', '.join(f['over_limits'])}" for f in created if f["over_limits"]]
    frames = sum(f.get("frames", 0) for f in created)
    without = sum(f.get("frames_without_position", 0) for f in created)
    s = fig["statics"]
    return {"flights": len(flights), **count, "phases_completed": phases, "over_limits": faults,
            "frames": frames, "frames_without_position": without,
            "statics_planned": s["planned"], "statics_created": s["created"],
            "statics_standing": s["standing_at_close"],
            "statics_at_their_stand": sum(1 for a in s["aircraft"] if a["distance_m"] <= LIMITS["stand_m"]
                                          and a["heading_off_deg"] <= LIMITS["stand_deg"]),
            "renewals": len(s["renewals"]),
            "too_close": len(fig.get("collisions", {}).get("too_close", [])),
            "exit_code": fig["exit_code"]}


def frames_text(t):
    """The frames of the created flights that carried no position of theirs."""
    share = 100.0 * t["frames_without_position"] / t["frames"] if t["frames"] else 0.0
    return f"{t['frames_without_position']} of {t['frames']} frames without a position ({share:.2f} %)"


def summary_text(fig, data):
    rows = [f"Tavelorium_P3D demo at {data['airport']['code']} ({data['airport']['name']}): "
            f"{len(data['flights'])} flights, the '{data.get('kind', '')}' scenario", ""]
    for f in fig["flights"]:
        head = f"{f['callsign']:<9} {f['kind']:<10} {f['type']:<5} {f['airline']:<4} {f['registration'] or '':<8}"
        if f["status"] != "created":
            label = {"not_reported": "NOT YET REPORTED", "not_due": "NOT YET DUE", "refused": "REFUSED",
                     "unexplained": "NOT CREATED"}[f["status"]]
            rows.append(f"{head} {label}: {f['why_not']}")
            continue
        rows.append(f"{head} created after {fmt(f['created_after_s'], ' s', 1)} as object {f['object']}, "
                    f"title '{f['title']}' ({f.get('livery_category') or 'unknown'} livery)"
                    + (f" ({f['note']})" if f["note"] else ""))
        rows.append(f"{'':10}error taxi p50/max {fmt(f['taxi_error_m']['p50'], ' m')}/{fmt(f['taxi_error_m']['max'], ' m')}"
                    f", cross-track on straight taxi legs max {fmt(f['taxi_cross_track_m']['max'], ' m', 1)}"
                    f"; airborne above 1000 ft p50/max {fmt(f['air_error_m']['p50'], ' m')}/"
                    f"{fmt(f['air_error_m']['max'], ' m')} and {fmt(f['air_error_ft']['p50'], ' ft')}/"
                    f"{fmt(f['air_error_ft']['max'], ' ft')}; steps too long {f['excess_steps']}; "
                    f"frames without a position {f.get('frames_without_position', 0)} of {f.get('frames', 0)}")
        extra = []
        if "touchdown" in f:
            t = f["touchdown"]
            extra.append("NO TOUCHDOWN FLOWN" if t is None else
                         f"touchdown {'inside' if t['inside_runway'] else 'OUTSIDE'} runway "
                         f"{t['from_threshold_m']} m past the threshold at {-t['rate_fpm']} ft/min")
        elif f["kind"] == "arrival":
            extra.append("still in the air at close")
        if "stand" in f:
            extra.append(f"parked {f['stand']['distance_m']} m from stand {f['stand_id']}, "
                         f"{f['stand']['heading_off_deg']} deg off its heading")
        elif "stand_pending" in f and "touchdown" in f:
            extra.append(f["stand_pending"])
        if f["kind"] == "departure":
            extra.append(f"born {fmt(f.get('started_at_stand_m'), ' m', 1)} from stand {data_stand(f, data)}")
        if "pushed_back_m" in f:
            extra.append(f"pushed back to {f['pushed_back_m']} m from the stand (reported {f['push_back_ref_m']} m; "
                         f"{fmt(f['push_back_off_m'], ' m', 1)} from the reported end)")
        elif "push_back_pending" in f:
            extra.append(f["push_back_pending"])
        if "lift_off" in f:
            l = f["lift_off"]
            extra.append("NO LIFT-OFF FLOWN" if l is None else
                         f"lift-off {'inside' if l['inside_runway'] else 'OUTSIDE'} runway "
                         f"{l['from_threshold_m']} m past the threshold")
        if "climbed_past_ft" in f:
            extra.append(f"climbed to {fmt(f['highest_ft'], ' ft')}")
        if "level_flown_ft" in f:
            first, last = f["level_flown_ft"], f["last_flown_ft"]
            extra.append(f"flown at {first} ft" if abs(last - first) < 100 else f"flown from {first} to {last} ft")
        gone = f.get("removed_after_last_s")
        if gone is not None:
            extra.append(f"removed {gone} s after its last report" if gone >= 0 else
                         f"removed while still reported, {-gone} s before its last report")
        if extra:
            rows.append(f"{'':10}" + "; ".join(extra))
        if f["over_limits"]:
            rows.append(f"{'':10}OVER THE LIMITS: " + "; ".join(f["over_limits"]))
    s = fig["statics"]
    how = "no parking positions found" if s["no_positions"] else f"{s['calculations']} calculation(s)"
    rows += ["", f"Static aircraft at {data['airport']['code']}: {s['planned']} planned ({how}), "
                 f"{s['created']} created, {s['standing_at_close']} standing at the close"]
    for a in s["aircraft"]:
        rows.append(f"{'':10}{a['callsign']:<10} {a['type'] or '?':<5} stand {a['stand']:<4} "
                    f"{a['distance_m']} m, {a['heading_off_deg']} deg off, created at {fmt(a['created_s'], ' s')}; "
                    f"'{a['title']}'"
                    + ("" if a["standing_at_close"] else
                       f"; removed before the close ({a['removed_because'] or 'no line of Log.txt says why'})")
                    + ("" if not a["livery_category"] or a["livery_category"] == a["category"] else
                       f"; A {a['livery_category']} LIVERY ON A {a['category']} AIRCRAFT"))
    for removed, added in s["renewals"]:
        rows.append(f"{'':10}renewal: {removed} to be removed, {added} to be added")
    c = fig.get("collisions")
    if c is not None:
        rows.append(f"{'':10}" + ("no two aircraft stood within collision distance" if not c["too_close"] else
                                   "AIRCRAFT WITHIN COLLISION DISTANCE: " + "; ".join(
                                       f"{'/'.join(x['pair'])} {x['distance_m']} m" for x in c["too_close"])))
    t = fig["totals"]
    mem = [m for _, m in fig["memory_kb"] if m]
    rows += ["", f"Totals: {t['created']} of {t['flights']} flights created, {t['refused']} refused (and why), "
                 f"{t['not_reported'] + t['not_due']} not yet due at the close, {t['unexplained']} missing without a "
                 f"reason; {t['phases_completed']} phases completed, "
                 + (f"all within the limits" if not t["over_limits"] else f"{len(t['over_limits'])} flights over the "
                    f"limits ({' | '.join(t['over_limits'])})")
                 + f"; {frames_text(t)}"
                 + f"; statics {t['statics_planned']} planned, {t['statics_created']} created, "
                 f"{t['statics_standing']} standing at the close ({t['statics_at_their_stand']} within 2 m and 1 deg "
                 f"of their stand), {t['renewals']} renewal(s), {t['too_close']} pairs within collision distance; "
                 f"memory {fmt(mem[0] / 1024 if mem else None, ' MB')} -> {fmt(mem[-1] / 1024 if mem else None, ' MB')}; "
                 f"program exit code {fig['exit_code']} ({fig['closed_by']})"]
    return "\n".join(rows) + "\n"


def data_stand(f, data):
    return next((x["stand"] for x in data["flights"] if x["callsign"] == f["callsign"]), "?")


def plot(path, data, objects, by_tail, feed_start, statics=()):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    plane = Plane(data["airport"]["lat"], data["airport"]["lon"])
    fig = plt.figure(figsize=(16, 11))
    area = fig.add_axes([0.04, 0.36, 0.45, 0.6])
    field = fig.add_axes([0.53, 0.36, 0.45, 0.6])
    profile = fig.add_axes([0.04, 0.05, 0.94, 0.25])
    colours = plt.get_cmap("tab20")
    for ax in (area, field):
        for rw in data["runways"].values():
            a = plane.xy(rw["lat"], rw["lon"])
            h = math.radians(rw["heading"])
            b = (a[0] + rw["length_m"] * math.sin(h), a[1] + rw["length_m"] * math.cos(h))
            ax.plot([a[0] / 1000, b[0] / 1000], [a[1] / 1000, b[1] / 1000], color="0.6", lw=6 if ax is field else 3,
                    solid_capstyle="butt", zorder=1)
        xs = [plane.xy(s["lat"], s["lon"]) for s in data["stands"]]
        ax.scatter([p[0] / 1000 for p in xs], [p[1] / 1000 for p in xs], s=12, marker="s", color="0.4", zorder=2)
    for i, f in enumerate(data["flights"]):
        colour = colours(i % 20)
        got = [plane.xy(r["lat"], r["lon"]) for r in f["reports"]]
        lives = by_tail.get(f["callsign"], []) + (by_tail.get(f["registration"], []) if f["registration"] else [])
        for ax in (area, field):
            ax.plot([p[0] / 1000 for p in got], [p[1] / 1000 for p in got], ls="--", lw=0.8, color=colour, zorder=3)
            for lines in lives:
                flown = [plane.xy(l["lat"], l["lon"]) for l in lines if l["moved"]]
                ax.plot([p[0] / 1000 for p in flown], [p[1] / 1000 for p in flown], lw=1.4, color=colour, zorder=4,
                        label=f"{f['callsign']} ({f['kind']})" if ax is area else None)
        if f["kind"] in ("arrival", "departure") and feed_start:
            profile.plot([r["t"] + SHIFT_S for r in f["reports"]], [r["alt_ft"] for r in f["reports"]], ls="--",
                         lw=0.8, color=colour)
            for lines in lives:
                moved = [l for l in lines if l["moved"]]
                profile.plot([l["wall"] - feed_start for l in moved], [l["alt_ft"] for l in moved], lw=1.4,
                             color=colour, label=f"{f['callsign']} ({f['kind']})")
    # The static aircraft where the simulator has them, and the user aircraft at its stand.
    for s in statics:
        first = objects[s["object"]][0]
        x, y = plane.xy(first["lat"], first["lon"])
        h = math.radians(first["heading_deg"])
        field.plot([x / 1000, (x + 30 * math.sin(h)) / 1000], [y / 1000, (y + 30 * math.cos(h)) / 1000], color="black",
                   lw=1.2, zorder=5)
        field.scatter([x / 1000], [y / 1000], s=40, marker="o", color="darkorange", edgecolors="black", zorder=6,
                      label="static aircraft" if s is statics[0] else None)
        field.annotate(s["callsign"], (x / 1000, y / 1000), xytext=(2, 5), textcoords="offset points", fontsize=6,
                       rotation=60)
    user = next(s for s in data["stands"] if s["id"] == data["user_stand"])
    ux, uy = plane.xy(user["lat"], user["lon"])
    field.scatter([ux / 1000], [uy / 1000], s=60, marker="*", color="red", zorder=6, label="user aircraft")
    area.set_title(f"{data['airport']['code']} area: received tracks dashed, flown tracks solid (km)")
    field.set_title("the airport: static aircraft (orange, nose line) and the user aircraft (red star)")
    field.set_xlim(-1.5, 1.5)
    field.set_ylim(-0.9, 1.0)
    for ax in (area, field):
        ax.set_aspect("equal")
        ax.grid(True, lw=0.3)
    if area.get_legend_handles_labels()[0]:
        area.legend(fontsize=6, ncol=2, loc="lower left")
    if field.get_legend_handles_labels()[0]:
        field.legend(fontsize=7, loc="upper left")
    profile.set_title("vertical profile of arrivals and departures: received (shifted by 30 s) dashed, flown solid")
    profile.set_xlabel("seconds since the first datagram")
    profile.set_ylabel("ft")
    profile.grid(True, lw=0.3)
    if profile.get_legend_handles_labels()[0]:
        profile.legend(fontsize=6, ncol=4)
    fig.savefig(path, dpi=90)
    plt.close(fig)


if __name__ == "__main__":
    folder = pathlib.Path(sys.argv[1])
    print(summary_text(analyse(folder), json.loads((folder / "scenario.json").read_text())))
