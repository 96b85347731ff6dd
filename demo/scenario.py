"""The demo's traffic around Amsterdam Schiphol (EHAM), written as data: the airport's
runways and stands, per flight its texts and its reports (one every few seconds, as
RealTraffic sends them), and the static aircraft of the airport's learned park file.
Paths are laid out on a local plane around the airport and flown at believable speeds:
approaches on a three-degree glide path with a flare, roll-outs, taxiing at 15-18 kt and
slower in turns, push-backs, take-off rolls and climbs, overflights at their levels.
Every flight is checked as it is written (never below the ground; vertical speed,
acceleration and turn rate within what its aircraft can do; overflights at their
levels): a mismatch stops the build. The same seed and time give the same file.

    /usr/bin/python3 demo/scenario.py --kind demo|full|short --data SITE/11 --manifest JSON --out FILE

`--data` is the demo's data folder (dbase.xml with its fictional registrations, and
registrations.csv); `--manifest` is the livery collection's manifest
(livery_collection.py): flights are given airlines and types that have liveries, and in
the short scenario exactly one livery, which is the title expected. See demo/README.md."""
import argparse
import csv
import json
import math
import pathlib
import random
import time
import xml.etree.ElementTree as ET

EARTH_RADIUS_M = 6371008.8
M_PER_NM = 1852.0
KT = M_PER_NM / 3600.0  # m/s per knot
FT = 0.3048

AIRPORT = {"code": "EHAM", "name": "Amsterdam Airport Schiphol", "lat": 52.3086, "lon": 4.7639,
           "elevation_ft": -11}
# Threshold, true heading and length of the two runways the demo uses.
RUNWAYS = {"27": {"lat": 52.31640, "lon": 4.79660, "heading": 267.0, "length_m": 3450.0, "width_m": 45.0},
           "24": {"lat": 52.30460, "lon": 4.77760, "heading": 238.0, "length_m": 3500.0, "width_m": 45.0}}


def to_geo(x, y):
    lat0, lon0 = math.radians(AIRPORT["lat"]), math.radians(AIRPORT["lon"])
    return (math.degrees(lat0 + y / EARTH_RADIUS_M),
            math.degrees(lon0 + x / (EARTH_RADIUS_M * math.cos(lat0))))


def to_local(lat, lon):
    lat0, lon0 = math.radians(AIRPORT["lat"]), math.radians(AIRPORT["lon"])
    return ((math.radians(lon) - lon0) * EARTH_RADIUS_M * math.cos(lat0), (math.radians(lat) - lat0) * EARTH_RADIUS_M)


def unit(heading):
    h = math.radians(heading)
    return math.sin(h), math.cos(h)


def heading_of(dx, dy):
    return math.degrees(math.atan2(dx, dy)) % 360.0


def along(p, heading, distance):
    ux, uy = unit(heading)
    return p[0] + ux * distance, p[1] + uy * distance


def runway_points(name):
    r = RUNWAYS[name]
    start = to_local(r["lat"], r["lon"])
    return start, along(start, r["heading"], r["length_m"])


# The airport's traffic as one meets it there today: the airlines that come to Schiphol and
# the types each flies (airline_fleets.csv beside this file, facts from their published
# fleets; KLM's home airlines first), and business jets, light aircraft and helicopters seen
# around it. The demo's livery collection is made of these (COLLECTION_ARGS), so that its
# flights are of types the airport sees, each airliner of an airline that flies it; the
# static aircraft of its learned park file are these airlines' airliners, each at a stand
# its wings fit.
def read_fleets(path):
    fleets = {}
    with open(path, encoding="utf-8") as f:
        for row in csv.DictReader(line for line in f if line.strip() and not line.startswith("#")):
            fleets[row["airline"]] = tuple(t for t in row["types"].split(";") if t)
    return fleets


FLEETS = read_fleets(pathlib.Path(__file__).resolve().parent / "airline_fleets.csv")
FLEET_TYPES = frozenset(t for types in FLEETS.values() for t in types)
# Light aircraft, flown privately: no airline of the table flies them.
LIGHT_TYPES = ("C152", "C172", "C182", "C310", "P28A", "P28S", "PA32", "PA34", "DA40", "DA42", "SR22", "BE36", "TBM9", "PC12")
COLLECTION_ARGS = ["--types", ",".join(sorted(FLEET_TYPES | set(LIGHT_TYPES))), "--airlines", ",".join(FLEETS)]


def flies_here(airline, ac_type):
    """Whether the airline flies this type (to the airport)."""
    return ac_type in FLEETS.get(airline, ())


def fits_fleet(airline, ac_type):
    """A type some airline of the airport flies is flown only by such an airline."""
    return ac_type not in FLEET_TYPES or flies_here(airline, ac_type)


# Stands: a pier north of the terminal (nose south, reached from taxiway A), an apron south
# of it (nose north, pushed back onto taxiway B), a cargo row and a helicopter stand.
TAXIWAY_A_Y = 500.0
TAXIWAY_B_Y = -330.0


def stands():
    rows = []
    for i in range(16):
        rows.append({"id": f"D{2 * i + 2}", "x": -400.0 + 80.0 * i, "y": 420.0, "heading": 180.0,
                     "radius_m": 36.0 if i % 4 == 3 else 24.0, "cargo": False, "heli": False})
    for i in range(20):
        rows.append({"id": f"E{2 * i + 2}", "x": -700.0 + 80.0 * i, "y": -262.0, "heading": 0.0,
                     "radius_m": 36.0 if i % 4 == 3 else 24.0, "cargo": False, "heli": False})
    for i in range(4):
        rows.append({"id": f"S{i + 71}", "x": -1100.0 - 90.0 * i, "y": -262.0, "heading": 0.0,
                     "radius_m": 36.0, "cargo": True, "heli": False})
    rows.append({"id": "H1", "x": -900.0, "y": 300.0, "heading": 90.0, "radius_m": 12.0, "cargo": False,
                 "heli": True})
    for s in rows:
        s["lat"], s["lon"] = to_geo(s["x"], s["y"])
    return rows


def stand_by_id(rows, stand_id):
    return next(s for s in rows if s["id"] == stand_id)


# A path: dense points with the distance flown, a speed and a height at each point.
class Path:
    def __init__(self, start, heading):
        self.points = [start]
        self.heading = heading
        self.marks = {}

    @property
    def end(self):
        return self.points[-1]

    def length(self):
        return sum(math.dist(a, b) for a, b in zip(self.points, self.points[1:]))

    def mark(self, name):
        self.marks[name] = self.length()

    def straight(self, distance, step=10.0):
        n = max(1, int(distance / step))
        start = self.end
        for i in range(1, n + 1):
            self.points.append(along(start, self.heading, distance * i / n))

    def turn(self, new_heading, radius, step_deg=2.0):
        delta = (new_heading - self.heading + 180.0) % 360.0 - 180.0
        side = 1.0 if delta > 0 else -1.0
        centre = along(self.end, self.heading + 90.0 * side, radius)
        n = max(1, int(abs(delta) / step_deg))
        h0 = self.heading
        for i in range(1, n + 1):
            h = h0 + delta * i / n
            self.points.append(along(centre, h - 90.0 * side, radius))
        self.heading = new_heading % 360.0

    def to(self, point, radius=40.0):
        """Turns towards a point and goes straight to it (the turn shortens nothing)."""
        dx, dy = point[0] - self.end[0], point[1] - self.end[1]
        h = heading_of(dx, dy)
        if abs((h - self.heading + 180.0) % 360.0 - 180.0) > 1.0:
            self.turn(h, radius)
            dx, dy = point[0] - self.end[0], point[1] - self.end[1]
            h = heading_of(dx, dy)
        self.heading = h
        self.straight(math.hypot(dx, dy))


def turn_offset(h0, h1, radius):
    """How far (east, north) a turn from one heading to another carries."""
    p = Path((0.0, 0.0), h0)
    p.turn(h1, radius)
    return p.end[0], p.end[1]


def fly(path, speed_at, height_at, ground_at, t0, report_every, rng, backwards=False):
    """Samples along the path: every report_every (+-20%) seconds from t0 a report with
    position, track, ground speed, height (ft above the airport), vertical rate and ground flag.
    speed_at(s) in knots must stay above 0 except at the very end."""
    dists = [0.0]
    for a, b in zip(path.points, path.points[1:]):
        dists.append(dists[-1] + math.dist(a, b))
    total = dists[-1]

    def state(s):
        s = min(max(s, 0.0), total)
        i = max(0, min(len(dists) - 2, next((k for k in range(len(dists) - 1) if dists[k + 1] >= s), len(dists) - 2)))
        seg = dists[i + 1] - dists[i]
        f = 0.0 if seg <= 0 else (s - dists[i]) / seg
        a, b = path.points[i], path.points[i + 1]
        track = heading_of(b[0] - a[0], b[1] - a[1])
        return (a[0] + (b[0] - a[0]) * f, a[1] + (b[1] - a[1]) * f), track

    # Time along the path, integrated in small steps.
    times, s, t, step = [(0.0, 0.0)], 0.0, 0.0, 2.0
    while s < total:
        v = max(speed_at(s) * KT, 0.25)
        s = min(total, s + step)
        t += step / v
        times.append((t, s))
    reports = []
    clock = rng.uniform(0.0, report_every)
    k = 0
    while clock <= t:
        while k + 1 < len(times) and times[k + 1][0] < clock:
            k += 1
        (ta, sa), (tb, sb) = times[k], times[min(k + 1, len(times) - 1)]
        s_now = sa + (sb - sa) * (0.0 if tb <= ta else (clock - ta) / (tb - ta))
        pos, track = state(s_now)
        h_now, h_later = height_at(s_now), height_at(min(total, s_now + speed_at(s_now) * KT))
        lat, lon = to_geo(*pos)
        on_ground = ground_at(s_now)
        reports.append({"t": round(t0 + clock, 2), "lat": round(lat, 6), "lon": round(lon, 6),
                        "alt_ft": 0 if on_ground else round(h_now + AIRPORT["elevation_ft"]),
                        "gs_kt": round(speed_at(s_now), 1),
                        "track": round(track, 1),
                        "heading": round((track + 180.0) % 360.0 if backwards else track, 1),
                        "vs_fpm": 0 if on_ground else round((h_later - h_now) * 60.0),
                        "ground": on_ground})
        clock += report_every * rng.uniform(0.8, 1.2)
    return reports, t


def profile(points):
    """A piecewise-linear function through (s, value) points; a point that does not lie
    beyond the one before it (a short leg) is left out."""
    kept = []
    for point in points:
        if not kept or point[0] > kept[-1][0]:
            kept.append(point)
    points = kept
    def f(s):
        if s <= points[0][0]:
            return points[0][1]
        for (s0, v0), (s1, v1) in zip(points, points[1:]):
            if s <= s1:
                return v0 + (v1 - v0) * (s - s0) / (s1 - s0) if s1 > s0 else v1
        return points[-1][1]
    return f


def stationary(pos, heading, t0, seconds, every, rng):
    lat, lon = to_geo(*pos)
    out, clock = [], rng.uniform(0.0, every)
    while clock <= seconds:
        out.append({"t": round(t0 + clock, 2), "lat": round(lat, 6), "lon": round(lon, 6), "alt_ft": 0, "gs_kt": 0.0,
                    "track": round(heading, 1), "heading": round(heading, 1), "vs_fpm": 0, "ground": True})
        clock += every * rng.uniform(0.8, 1.2)
    return out


GLIDE_FT_PER_M = math.tan(math.radians(3.0)) / FT
TOUCHDOWN_M = 400.0


def arrival(stand, t0, rng, final_nm, intercept=None, start_ft=None, level_m=0.0, rollout_m=1450.0, parked_s=150.0):
    """Final approach to runway 27 (optionally from an intercept heading with a turn onto
    the final), flare, touchdown 400 m past the threshold, roll-out, exit to taxiway A and
    nose-in to the stand; then a few minutes parked."""
    thr, far_end = runway_points("27")
    rh = RUNWAYS["27"]["heading"]
    faf = along(thr, rh + 180.0, final_nm * M_PER_NM)
    final_ft = 50.0 + GLIDE_FT_PER_M * final_nm * M_PER_NM
    if intercept is None:
        path = Path(faf, rh)
        before = 0.0
    else:
        radius = 180.0 * KT / math.radians(3.0)  # a rate-one turn at 180 kt
        delta = (rh - intercept + 180.0) % 360.0 - 180.0
        side = 1.0 if delta > 0 else -1.0
        centre = along(faf, rh + 90.0 * side, radius)
        turn_start = along(centre, intercept - 90.0 * side, radius)
        start = along(turn_start, intercept + 180.0, level_m)
        path = Path(start, intercept)
        path.straight(level_m, step=50.0)
        path.turn(rh, radius)
        before = path.length()
    path.heading = heading_of(thr[0] - path.end[0], thr[1] - path.end[1])
    path.straight(math.dist(path.end, thr), step=25.0)
    path.mark("threshold")
    path.heading = rh
    path.straight(TOUCHDOWN_M, step=10.0)
    path.mark("touchdown")
    path.straight(rollout_m, step=10.0)
    path.mark("rollout_end")
    # A right-angle exit to the left, south to taxiway A, west along it and a left turn
    # nose-in to the stand; each straight is as long as the turn after it needs.
    path.turn(rh - 90.0, 50.0)
    path.mark("exit")
    path.straight(max(1.0, path.end[1] - TAXIWAY_A_Y + turn_offset(path.heading, 270.0, 50.0)[1]))
    path.mark("turn_a")
    path.turn(270.0, 50.0)
    path.mark("on_a")
    taxi = path.end[0] - (stand["x"] - turn_offset(270.0, 180.0, 40.0)[0])
    if taxi < 0:
        raise ValueError(f"stand {stand['id']} lies east of where the exit meets taxiway A")
    path.straight(max(1.0, taxi))
    path.mark("taxi_end")
    path.turn(180.0, 40.0, step_deg=5.0)
    path.mark("lead_in")
    path.straight(max(1.0, path.end[1] - stand["y"]), step=2.0)
    m = path.marks
    total = path.length()
    start_ft = final_ft if start_ft is None else start_ft
    speed = profile([(0.0, 210.0 if intercept is not None else 150.0), (before, 170.0), (before + 1.0, 160.0),
                     (m["threshold"] - 3 * M_PER_NM, 142.0), (m["threshold"], 137.0), (m["touchdown"], 132.0),
                     (m["touchdown"] + rollout_m * 0.55, 60.0), (m["rollout_end"], 14.0),
                     (m["exit"], 12.0), (m["exit"] + 40.0, 18.0), (m["turn_a"] - 40.0, 18.0), (m["turn_a"], 12.0),
                     (m["on_a"], 12.0), (m["on_a"] + 40.0, 18.0), (m["taxi_end"] - 40.0, 18.0), (m["taxi_end"], 10.0),
                     (m["lead_in"], 8.0), (total - 4.0, 5.0), (total, 1.0)])

    def height(s):
        if s >= m["touchdown"]:
            return 0.0
        if s >= m["threshold"]:
            u = (s - m["threshold"]) / TOUCHDOWN_M
            return 50.0 * (1.0 - u) * (1.0 - 0.6 * u)
        glide = 50.0 + GLIDE_FT_PER_M * (m["threshold"] - s)
        return min(glide, start_ft)

    reports, t = fly(path, speed, height, lambda s: s >= m["touchdown"], t0, 4.0, rng)
    reports += stationary((stand["x"], stand["y"]), 180.0, t0 + t + 4.0, parked_s, 5.0, rng)
    return reports, {"runway": "27", "stand": stand["id"]}


def departure(stand, t0, rng, parked_s=40.0, climb_to_ft=5000.0, climb_nm=12.0, push_kt=3.0, after_push_s=30.0,
              roll_m=1500.0, gradient=0.16):
    """Parked, pushed back onto taxiway B with the tail swung west, taxi east to runway 24,
    line-up, take-off roll of roll_m, rotation near 155 kt and a climb-out straight ahead
    (gradient: height gained per distance flown)."""
    reports = stationary((stand["x"], stand["y"]), stand["heading"], t0, parked_s, 6.0, rng)
    t = t0 + parked_s + 3.0
    # Push-back: straight back to the taxiway's centre line, the nose swinging to the east.
    push = Path((stand["x"], stand["y"]), 180.0)
    push.straight(stand["y"] - TAXIWAY_B_Y - 20.0, step=2.0)
    push.turn(270.0, 20.0, step_deg=5.0)  # the tail swings west, the nose ends pointing east
    back, dt = fly(push, profile([(0.0, 1.0), (5.0, push_kt), (push.length() - 5.0, push_kt), (push.length(), 0.5)]),
                   lambda s: 0.0, lambda s: True, t, 3.0, rng, backwards=True)
    reports += back
    end = push.end
    nose = (push.heading + 180.0) % 360.0
    t += dt
    push_end = {"push_end_t": round(t, 2), "push_end": [round(c, 7) for c in to_geo(*end)]}
    reports += stationary(end, nose, t + 2.0, after_push_s, 6.0, rng)
    t += after_push_s + 4.0
    thr, _ = runway_points("24")
    rh = RUNWAYS["24"]["heading"]
    # Taxiway C leaves B southwards and turns right onto the runway 30 m past the threshold.
    lineup = along(thr, rh, 30.0)
    centre = along(lineup, rh + 90.0, 40.0)
    c_end = along(centre, 90.0, 40.0)
    path = Path(end, nose)
    path.to((c_end[0] - 40.0, TAXIWAY_B_Y), 40.0)
    path.mark("turn_c")
    path.turn(180.0, 40.0)
    path.mark("on_c")
    path.straight(max(1.0, path.end[1] - c_end[1]))
    path.mark("hold")
    path.turn(rh, 40.0)
    path.mark("lineup")
    path.straight(roll_m, step=10.0)
    path.mark("liftoff")
    path.straight(RUNWAYS["24"]["length_m"] - roll_m - 60.0 + climb_nm * M_PER_NM, step=50.0)
    m = path.marks
    total = path.length()
    # Slower through the turns: 10 kt on a 40 m radius is 7 degrees a second.
    taxi = profile([(0.0, 5.0), (30.0, 16.0), (m["turn_c"] - 40.0, 16.0), (m["turn_c"], 10.0), (m["on_c"], 10.0),
                    (m["hold"], 10.0), (m["lineup"], 10.0)])
    roll_m = m["liftoff"] - m["lineup"]
    climb = profile([(m["liftoff"], 155.0), (m["liftoff"] + 3000.0, 175.0), (total, 250.0)])

    def speed(s):
        if s <= m["lineup"]:
            return taxi(s)
        if s <= m["liftoff"]:  # a steady acceleration of the take-off roll
            u = (s - m["lineup"]) / roll_m
            return math.sqrt(12.0 ** 2 + (155.0 ** 2 - 12.0 ** 2) * u)
        return climb(s)

    def height(s):
        if s <= m["liftoff"]:
            return 0.0
        return min(climb_to_ft, (s - m["liftoff"]) * gradient / FT)
    out, dt = fly(path, speed, height, lambda s: s <= m["liftoff"], t, 4.0, rng)
    return reports + out, {"runway": "24", "stand": stand["id"], **push_end}


def overflight(t0, rng, altitude_ft, gs_kt, heading, offset_nm, length_nm, turn=0.0, vs_fpm=0.0, turn_deg_s=1.5):
    """A straight (or gently turning) crossing of the area, starting at its level and
    climbing or descending at vs_fpm."""
    centre = along((0.0, 0.0), heading + 90.0, offset_nm * M_PER_NM)
    start = along(centre, heading + 180.0, length_nm * M_PER_NM / 2)
    path = Path(start, heading)
    path.straight(length_nm * M_PER_NM * (0.6 if turn else 1.0), step=100.0)
    if turn:
        path.turn(heading + turn, gs_kt * KT / math.radians(turn_deg_s), step_deg=1.0)
        path.straight(length_nm * M_PER_NM * 0.4, step=100.0)
    climb_per_m = vs_fpm / 60.0 / (gs_kt * KT)
    out, _ = fly(path, lambda s: gs_kt, lambda s: altitude_ft - AIRPORT["elevation_ft"] + climb_per_m * s,
                 lambda s: False, t0, 5.0, rng)
    return out, {"level_ft": altitude_ft, "vs_fpm": vs_fpm}


# ---- what the aircraft can do, and the check of every flight as it is written

class ScenarioError(Exception):
    """A flight of the scenario that no aircraft could fly, or that says other than it is."""


# Per size category: climb and descent (ft/min), acceleration and braking (m/s²), turn
# rate in the air (deg/s); on the ground every aircraft turns at most GROUND_TURN_DEG_S.
# A climb stays within what the program's aircraft of that category may climb in a tick
# (0.6 ft for a large one: 3,600 ft/min), or they fall behind their reports.
LIMITS = {"large": (3600, 3500, 3.0, 4.0, 4.0), "heavy": (3000, 3500, 2.5, 4.0, 4.0),
          "buzjet": (4500, 4000, 3.0, 4.0, 5.0), "light": (1500, 1500, 2.0, 3.0, 6.0),
          "rotorcraft": (2000, 2000, 2.0, 3.0, 10.0), "high_performance": (6000, 30000, 10.0, 10.0, 20.0)}
GROUND_TURN_DEG_S = 12.0
OVERFLIGHT_FT = (3000, 38000)  # the levels overflights keep to
LEVEL_TOLERANCE_FT = 150.0


def check(flight, elevation_ft=AIRPORT["elevation_ft"]):
    """Raises ScenarioError naming the flight and the first report no aircraft of its
    category could fly, or an overflight that leaves its stated level or band."""
    climb, descent, accel, brake, turn_air = LIMITS[flight["category"]]
    name = f"{flight['callsign']} ({flight['kind']}, {flight['type']} {flight['category']})"
    reports = flight["reports"]

    def fail(report, what):
        raise ScenarioError(f"{name} at {report['t']:.1f} s: {what}")
    for r in reports:
        if not r["ground"] and r["alt_ft"] < elevation_ft:
            fail(r, f"{r['alt_ft']} ft is below the ground ({elevation_ft} ft)")
        if not -descent <= r["vs_fpm"] <= climb:
            fail(r, f"a vertical speed of {r['vs_fpm']} ft/min")
    for a, b in zip(reports, reports[1:]):
        dt = b["t"] - a["t"]
        if dt <= 0:
            fail(b, "reported no later than the report before")
        if not a["ground"] and not b["ground"]:
            rate = (b["alt_ft"] - a["alt_ft"]) / dt * 60.0
            if not -descent * 1.05 <= rate <= climb * 1.05:
                fail(b, f"climbs at {rate:.0f} ft/min since the report before")
        dv = (b["gs_kt"] - a["gs_kt"]) * KT / dt
        if not -brake <= dv <= accel:
            fail(b, f"an acceleration of {dv:.2f} m/s²")
        turn = abs((b["heading"] - a["heading"] + 180.0) % 360.0 - 180.0) / dt
        limit = GROUND_TURN_DEG_S if a["ground"] or b["ground"] else turn_air
        if turn > limit:
            fail(b, f"turns at {turn:.1f} deg/s (at most {limit:.0f})")
    if flight["kind"] == "overflight" and "level_ft" in flight:
        level, vs = flight["level_ft"], flight["vs_fpm"]
        if not OVERFLIGHT_FT[0] <= level <= OVERFLIGHT_FT[1]:
            fail(reports[0], f"its level {level} ft is outside {OVERFLIGHT_FT[0]}-{OVERFLIGHT_FT[1]} ft")
        t0 = reports[0]["t"]
        for r in reports:
            expected = level + vs * (r["t"] - t0) / 60.0
            if r["ground"] or abs(r["alt_ft"] - expected) > LEVEL_TOLERANCE_FT + abs(vs) * 5.0 / 60.0:
                fail(r, f"{r['alt_ft']} ft where its level and rate give {expected:.0f} ft")
            if not OVERFLIGHT_FT[0] - LEVEL_TOLERANCE_FT <= r["alt_ft"] <= OVERFLIGHT_FT[1] + LEVEL_TOLERANCE_FT:
                fail(r, f"{r['alt_ft']} ft is outside {OVERFLIGHT_FT[0]}-{OVERFLIGHT_FT[1]} ft")


# ---- the data the flights are given: the demo's database and livery collection

def read_registrations(path):
    with open(path, encoding="utf-8") as f:
        return [row for row in csv.DictReader(f)]


def read_types(dbase_xml):
    """type -> (category, half wing span in metres) from dbase.xml."""
    root = ET.parse(dbase_xml).getroot()
    categories = {}
    for name in ("high_performance", "rotorcraft", "buzjet", "heavy", "large"):
        for element in root.find(name) or []:
            for t in element.get("types", "").split(","):
                if t.strip():
                    categories[t.strip()] = name
    spans = {w.get("type"): float(w.get("meters", "0")) / 2.0 for w in root.find("wingspans") or []}
    known = {t.strip() for a in root.find("aircrafts") or [] for t in a.get("types", "").split(",") if t.strip()}
    return {t: (categories.get(t, "light"), spans.get(t, 0.0)) for t in known}


def liveries_by_key(manifest):
    keys = {}
    for r in manifest["records"]:
        keys.setdefault((r["airl"], r["type"]), []).append(r)
    return keys


def pick(keys, types, rng, unique=False, exclude=()):
    """An (airline, type) with passenger liveries only (exactly one when unique) among the
    given types."""
    options = sorted(k for k, v in keys.items() if k[1] in types and k[0] not in ("ZZZ", "PVT", "")
                     and len(k[0]) == 3 and k not in exclude and (len(v) == 1 or not unique)
                     and not any(r["cargo"] for r in v) and fits_fleet(*k))
    if not options:
        raise ScenarioError(f"the livery collection has no livery of the types {sorted(types)[:8]}...")
    return rng.choice(options)


def known_registration(registrations, keys, carried, rng, types, unique=False, exclude=()):
    """A passenger aircraft of the database whose airline and type have liveries (exactly
    one when unique) and whose registration no livery carries: matched by airline and type."""
    options = [r for r in registrations if (r["airline"], r["type"]) in keys and r["type"] in types
               and fits_fleet(r["airline"], r["type"])
               and not r["operator"] and r["cargo"] == "0" and r["registration"] not in carried
               and (r["airline"], r["type"]) not in exclude and not any(x["cargo"] for x in keys[(r["airline"], r["type"])])
               and (not unique or len(keys[(r["airline"], r["type"])]) == 1)]
    return rng.choice(options) if options else None


class Flights:
    def __init__(self, rng, keys, types):
        self.rng, self.keys, self.types, self.list, self.used = rng, keys, types, [], set()
        self.next_hex = 4840000

    def add(self, kind, key, reports, extra, registration="", callsign=None, expected_title=None, **more):
        self.next_hex += 17
        self.used.add(key)
        airline, ac_type = key
        number = self.rng.randint(100, 9899)
        flight = {"hexid": self.next_hex, "kind": kind, "callsign": callsign or f"{airline}{number}", "type": ac_type,
                  "airline": airline, "registration": registration,
                  "category": self.types.get(ac_type, ("light", 0.0))[0],
                  "origin": "EHAM" if kind == "departure" else "EGLL",
                  "destination": "EHAM" if kind == "arrival" else "LFPG", "reports": reports}
        flight.update(extra)
        flight.update(more)
        if expected_title:
            flight["expected_title"] = expected_title
        self.list.append(flight)
        return flight

    def of(self, *categories):
        return {t for t, (c, _) in self.types.items() if c in categories}


def static_plan(rng, keys, registrations, types, kept_free, now, count=14):
    """The flights of the airport's learned park file: at stands other than those the
    scripted flights and the user use, the airport's airlines (in FLEETS' order, KLM's
    first, one after the other) with airliners of their own that have liveries, each at a
    stand its wings fit (half span within the stand's radius), with a fictional
    registration of the database. For the weekday and half hour of `now` (UTC;
    the second half hour from 29:30 on): real and soft entries that stand now, entries that
    left in the half hours before and entries that come in the next ones (they show at a
    renewal), and a few of other weekdays."""
    day, slot = now.tm_wday + 1, now.tm_hour * 2 + (1 if now.tm_min * 60 + now.tm_sec >= 29 * 60 + 30 else 0)
    by_key = {}
    for r in registrations:
        if (not r["operator"] and r["cargo"] == "0" and flies_here(r["airline"], r["type"])
                and types[r["type"]][0] in ("large", "heavy")):
            by_key.setdefault((r["airline"], r["type"]), []).append(r["registration"])
    options = sorted(k for k, v in keys.items() if k in by_key and not any(x["cargo"] for x in v))
    if not options:
        raise ScenarioError("the livery collection has no airliner of the airport's airlines")
    rows = [s for s in stands() if not s["cargo"] and not s["heli"] and s["id"] not in kept_free]
    rng.shuffle(rows)

    def hh(a, b):
        # (weekday, half hours): a stay wholly after the day's last half hour is the next
        # day's, one wholly before its first the day before's.
        d = day
        if a > 47:
            d, a, b = day % 7 + 1, a - 48, b - 48
        elif b < 0:
            d, a, b = (day + 5) % 7 + 1, a + 48, b + 48
        a, b = max(0, a), min(47, b)
        return d, f"{a}:{b}" if b > a else str(a)
    # (real, hours): two of every three stand now; the others left just before or come next.
    shapes = [(True, hh(slot - 1, slot + 2)), (False, hh(slot, slot + 3)), (True, hh(slot - 2, slot + 1)),
              (True, hh(slot - 4, slot - 1)), (True, hh(slot + 1, slot + 4)), (False, hh(slot - 1, slot + 1))]
    plan = []
    used = set()  # one aircraft stands at one stand
    queue = [a for a in FLEETS if any(k[0] == a for k in options)]  # whose turn it is, KLM first
    for i, stand in enumerate(rows[:count]):
        real, (on, hours) = shapes[i % len(shapes)]
        fitting = {}
        for k in options:
            if types[k[1]][1] <= stand["radius_m"] and set(by_key[k]) - used:
                fitting.setdefault(k[0], []).append(k)
        if not fitting:
            continue
        airline = next(a for a in queue if a in fitting)
        queue.remove(airline)
        queue.append(airline)
        key = rng.choice(fitting[airline])
        reg = rng.choice(sorted(set(by_key[key]) - used))
        used.add(reg)
        plan.append({"stand": stand["id"], "registration": reg, "airline": key[0], "type": key[1],
                     "callsign": f"{key[0]}{rng.randint(100, 9899)}", "day": on, "hh": hours, "soft": not real})
        if i % 5 == 4:  # the same stand on another weekday: not shown today
            plan.append(dict(plan[-1], day=day % 7 + 1, callsign=f"{key[0]}{rng.randint(100, 9899)}"))
    return plan, {"day": day, "slot": slot}


def short_scenario(rng, f, carried):
    """For the end-to-end test, about three minutes: an arrival to a stand (with a registration
    the database knows), a departure with push-back that climbs past 3,000 ft, an overflight
    and a flight that must be refused (a type the database does not know)."""
    rows, keys = stands(), f.keys
    # The refused flight's lines come first: the program takes traffic only once the first
    # line has shown it that traffic flows, and the others must be taken from their first.
    lead = 4.0
    reg = known_registration(f.registrations, keys, carried, rng, f.of("large"), unique=True)
    key = (reg["airline"], reg["type"])
    reports, extra = arrival(stand_by_id(rows, "D28"), lead, rng, final_nm=1.3, rollout_m=1000.0, parked_s=6.0)
    f.add("arrival", key, reports, extra, registration=reg["registration"], expected_title=keys[key][0]["title"])
    key = pick(keys, f.of("large"), rng, unique=True, exclude=f.used)
    reports, extra = departure(stand_by_id(rows, "E40"), lead, rng, parked_s=8.0, climb_to_ft=3500.0, climb_nm=3.5,
                               push_kt=6.0, after_push_s=2.0, roll_m=1200.0, gradient=0.16)
    f.add("departure", key, reports, extra, expected_title=keys[key][0]["title"])
    key = pick(keys, f.of("large", "heavy"), rng, unique=True, exclude=f.used)
    reports, extra = overflight(lead, rng, 7000.0, 280.0, 120.0, 3.0, 3.5)
    f.add("overflight", key, reports, extra, expected_title=keys[key][0]["title"])
    reports, extra = overflight(-1.0, rng, 5000.0, 230.0, 300.0, -2.0, 3.0)
    f.add("refused", ("KLM", "ZZ9Z"), reports, extra, refused_because="unknown type", category="large")
    return ["D28", "E40"]


def demo_scenario(rng, f, carried):
    """The default run, about six minutes: two arrivals from the final approach to their
    stands (one with a registration the database knows), a departure from its stand through
    push-back and take-off to 5,000 ft, two overflights (one level, one descending), a
    helicopter, a business jet with only a generic livery, a light aircraft, and a flight
    of a type the database does not know."""
    rows, keys = stands(), f.keys
    lead = 4.0
    reports, extra = overflight(-1.0, rng, 5000.0, 230.0, 300.0, -2.0, 3.0)
    f.add("refused", ("KLM", "ZZ9Z"), reports, extra, refused_because="unknown type", category="large")
    reg = known_registration(f.registrations, keys, carried, rng, f.of("large"))
    key = (reg["airline"], reg["type"])
    reports, extra = arrival(stand_by_id(rows, "D18"), lead, rng, final_nm=4.0, rollout_m=1300.0, parked_s=40.0)
    f.add("arrival", key, reports, extra, registration=reg["registration"], note="registration known")
    key = pick(keys, f.of("large"), rng, exclude=f.used)
    reports, extra = arrival(stand_by_id(rows, "D12"), 40.0, rng, final_nm=4.0, rollout_m=1450.0, parked_s=30.0)
    f.add("arrival", key, reports, extra)
    key = pick(keys, f.of("large"), rng, exclude=f.used)
    reports, extra = departure(stand_by_id(rows, "E36"), lead + 2.0, rng, parked_s=24.0, climb_to_ft=5000.0,
                               climb_nm=7.0, push_kt=4.0, after_push_s=8.0)
    f.add("departure", key, reports, extra)
    key = pick(keys, f.of("large", "heavy"), rng, exclude=f.used)
    reports, extra = overflight(lead, rng, 10000.0, 300.0, 75.0, 2.0, 14.0)
    f.add("overflight", key, reports, extra)
    key = pick(keys, f.of("large", "heavy"), rng, exclude=f.used)
    reports, extra = overflight(20.0, rng, 14000.0, 290.0, 200.0, -4.0, 14.0, turn=30.0, vs_fpm=-1500.0)
    f.add("overflight", key, reports, extra)
    key = pick(keys, f.of("rotorcraft"), rng, exclude=f.used)
    reports, extra = overflight(10.0, rng, 1500.0, 90.0, 45.0, 1.5, 4.0, turn=60.0, turn_deg_s=3.0)
    f.add("helicopter", key, reports, {"level_ft": 1500.0, "vs_fpm": 0.0})
    # A private aircraft: it wears a livery of its type, whoever's.
    key = pick(keys, f.of("light"), rng, exclude=f.used)
    reports, extra = overflight(30.0, rng, 3500.0, 110.0, 160.0, 3.5, 6.0)
    f.add("overflight", ("PVT", key[1]), reports, extra, note="a private aircraft")
    generic(rng, f, 40.0, 11000.0, 12.0)
    return ["D18", "D12", "E36"]


def generic(rng, f, t0, level_ft, length_nm):
    """A business jet of NetJets Europe, of which the collection has no livery: only a
    generic livery of its type fits."""
    options = sorted({t for (a, t) in f.keys if t in FLEETS["NJE"] and a != "NJE"})
    if not options:
        raise ScenarioError("the livery collection has no business jet NetJets Europe flies")
    ac_type = rng.choice(options)
    airline = "NJE"
    reports, extra = overflight(t0, rng, level_ft, 300.0, 250.0, -3.0, length_nm)
    f.add("overflight", (airline, ac_type), reports, extra, note="only a generic livery")


def full_scenario(rng, f, carried):
    """About 24 minutes: 6 arrivals, 6 departures, 8 overflights, a helicopter, a flight
    with only a generic livery and one whose registration the database knows."""
    rows, keys = stands(), f.keys
    large = f.of("large")
    arrival_stands = ["D2", "D4", "D6", "D8", "D10", "D12"]  # west of where the exit meets taxiway A
    for i, stand_id in enumerate(arrival_stands):
        key = pick(keys, large | (f.of("heavy") if i == 3 else set()), rng, exclude=f.used)
        t0 = 20.0 + i * 150.0 + rng.uniform(0.0, 30.0)
        if i == 0:  # a straight-in approach: the first landing comes within three minutes
            reports, extra = arrival(stand_by_id(rows, stand_id), t0, rng, final_nm=5.0, parked_s=60.0)
        else:
            reports, extra = arrival(stand_by_id(rows, stand_id), t0, rng, final_nm=8.0,
                                     intercept=rng.choice([200.0, 220.0, 320.0, 340.0]), start_ft=4000.0,
                                     level_m=rng.uniform(8000.0, 14000.0))
        f.add("arrival", key, reports, extra)
    # One arrival whose registration the database knows: its airline and type come from it.
    reg = known_registration(f.registrations, keys, carried, rng, large, exclude=f.used)
    if reg:
        f.list[-1].update({"registration": reg["registration"], "airline": reg["airline"], "type": reg["type"],
                           "category": f.types[reg["type"]][0],
                           "callsign": f"{reg['airline']}{rng.randint(100, 999)}", "note": "registration known"})
    departure_stands = ["E2", "E6", "E10", "E14", "E18", "E8"]
    for i, stand_id in enumerate(departure_stands):
        key = pick(keys, large, rng, exclude=f.used)
        t0 = 30.0 + i * 160.0 + rng.uniform(0.0, 30.0)
        reports, extra = departure(stand_by_id(rows, stand_id), t0, rng, parked_s=40.0)
        f.add("departure", key, reports, extra)
    levels = [3000, 6000, 9000, 14000, 21000, 28000, 35000, 38000]
    for i, level in enumerate(levels):
        key = pick(keys, large | f.of("heavy"), rng, exclude=f.used)
        gs = 230.0 + level / 100.0 * 0.6 + rng.uniform(-10, 10)
        vs = rng.choice([0, 0, -800, 800])
        minutes = 30.0 * M_PER_NM / (gs * KT) / 60.0
        if not OVERFLIGHT_FT[0] <= level + vs * minutes <= OVERFLIGHT_FT[1]:
            vs = -vs  # a climb from the lowest level, a descent from the highest
        reports, extra = overflight(1.0 + i * 120.0 + rng.uniform(0, 40 if i else 0), rng, float(level), gs,
                                    rng.uniform(0, 360), rng.uniform(-6, 6), 30.0,
                                    turn=rng.choice([0.0, 0.0, 30.0, -40.0]), vs_fpm=vs)
        f.add("overflight", key, reports, extra)
    # The helicopter crosses low; the generic one is a business jet of an airline without liveries.
    key = pick(keys, f.of("rotorcraft"), rng, exclude=f.used)
    reports, extra = overflight(200.0, rng, 1500.0, 110.0, 45.0, 1.5, 10.0, turn=60.0, turn_deg_s=3.0)
    f.add("helicopter", key, reports, extra)
    generic(rng, f, 420.0, 11000.0, 30.0)
    return ["D2", "D4", "D6", "D8", "D10", "D12"] + departure_stands


KINDS = {"short": short_scenario, "demo": demo_scenario, "full": full_scenario}
# Each kind's static aircraft and the share of the stands they may take.
STATICS = {"short": (6, 20), "demo": (14, 35), "full": (14, 35)}


def build(kind, data_folder, manifest_json, seed=24, now=None):
    """The scenario as data; raises ScenarioError when a flight fails its check."""
    rng = random.Random(seed)
    data_folder = pathlib.Path(data_folder)
    with open(manifest_json, encoding="utf-8") as fh:
        manifest = json.load(fh)
    keys = liveries_by_key(manifest)
    f = Flights(rng, keys, read_types(data_folder / "dbase.xml"))
    f.registrations = read_registrations(data_folder / "registrations.csv")
    carried = set(manifest.get("regcodes", {}).get("registrations", {})) | {r["atcid"] for r in manifest["records"]}
    scripted = KINDS[kind](rng, f, carried)
    flights = sorted(f.list, key=lambda x: x["reports"][0]["t"])
    for flight in flights:
        check(flight)
    count, percent = STATICS[kind]
    statics, time_of_week = static_plan(rng, keys, f.registrations, f.types, set(scripted) | {"E24"},
                                        now or time.gmtime(), count)
    liftoff = max((r["t"] for x in flights if x["kind"] == "departure" for r in x["reports"] if r["ground"]), default=0)
    climbed = max((next((r["t"] for r in x["reports"] if r["alt_ft"] >= 3000 + AIRPORT["elevation_ft"]), 0)
                   for x in flights if x["kind"] == "departure"), default=0)
    parked = max((x["reports"][-1]["t"] for x in flights if x["kind"] == "arrival"), default=0)
    gone = max((x["reports"][-1]["t"] for x in flights if x["kind"] in ("overflight", "helicopter")), default=0)
    # The program flies every report 30 s after it; an aircraft no longer reported is
    # carried on for up to 69 s and then removed.
    run_s = max(liftoff + 40.0, climbed + 36.0, parked + 34.0, gone + 105.0)
    return {"airport": AIRPORT, "runways": RUNWAYS, "run_s": round(run_s, 1), "kind": kind,
            "stands": [{k: s[k] for k in ("id", "lat", "lon", "heading", "radius_m", "cargo", "heli")}
                       for s in stands()],
            "user_stand": "E24", "qnh_hpa": 1013, "flights": flights,
            "types": {t: {"category": c, "half_span_m": h} for t, (c, h) in f.types.items()},
            "statics": statics, "parking_percentage": percent, "time_of_week": time_of_week,
            "livery_types": {r["title"]: r["type"] for r in manifest["records"]}}


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--kind", choices=tuple(KINDS), default="demo")
    parser.add_argument("--data", required=True, help="the demo's data folder (dbase.xml, registrations.csv)")
    parser.add_argument("--manifest", required=True)
    parser.add_argument("--seed", type=int, default=24)
    parser.add_argument("--out", required=True)
    args = parser.parse_args(argv)
    try:
        scenario = build(args.kind, args.data, args.manifest, args.seed)
    except ScenarioError as e:
        raise SystemExit(f"scenario: {e}")
    with open(args.out, "w", encoding="utf-8") as fh:
        json.dump(scenario, fh, indent=1)
    last = max(r["t"] for f in scenario["flights"] for r in f["reports"])
    print(f"{len(scenario['flights'])} flights, {sum(len(f['reports']) for f in scenario['flights'])} reports, "
          f"{last:.0f} s, {len(scenario['statics'])} static entries")


if __name__ == "__main__":
    main()
