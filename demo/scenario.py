"""The demo's traffic around Amsterdam Schiphol (EHAM), written as data: the airport's
runways and stands, and per flight its texts and its reports (one every few seconds, as
RealTraffic sends them). Paths are laid out on a local plane around the airport and
flown at believable speeds: approaches on a three-degree glide path with a flare, roll-
outs, taxiing at 15-18 kt and slower in turns, push-backs, take-off rolls and climbs,
overflights at several levels. The same seed gives the same file.

    /usr/bin/python3 demo/scenario.py --kind full|short --registrations CSV --manifest JSON --out FILE

`--manifest` is the livery collection's manifest (livery_collection.py): flights are given
airlines and types that have liveries, and in the short scenario exactly one livery, which
is the title expected. See demo/README.md."""
import argparse
import csv
import json
import math
import random

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
    """A piecewise-linear function through (s, value) points."""
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
    path.turn(270.0, 50.0)
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
                     (m["touchdown"] + rollout_m * 0.45, 60.0), (m["rollout_end"], 24.0),
                     (m["exit"], 16.0), (m["exit"] + 40.0, 24.0), (m["taxi_end"] - 40.0, 20.0), (m["taxi_end"], 12.0),
                     (m["lead_in"], 9.0), (total - 4.0, 5.0), (total, 1.0)])

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


def departure(stand, t0, rng, parked_s=40.0, climb_to_ft=5000.0, climb_nm=12.0, push_kt=3.0, after_push_s=30.0):
    """Parked, pushed back onto taxiway B with the tail swung west, taxi east to runway 24,
    line-up, take-off roll, rotation near 150 kt and a climb-out straight ahead."""
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
    path.turn(180.0, 40.0)
    path.straight(max(1.0, path.end[1] - c_end[1]))
    path.mark("hold")
    path.turn(rh, 40.0)
    path.mark("lineup")
    path.straight(1500.0, step=10.0)
    path.mark("liftoff")
    path.straight(RUNWAYS["24"]["length_m"] - 1560.0 + climb_nm * M_PER_NM, step=50.0)
    m = path.marks
    total = path.length()
    taxi = profile([(0.0, 5.0), (30.0, 16.0), (m["hold"] - 50.0, 16.0), (m["hold"], 12.0), (m["lineup"], 12.0)])
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
        return min(climb_to_ft, (s - m["liftoff"]) * 0.16 / FT)  # about 2,500 ft/min at 160 kt
    out, dt = fly(path, speed, height, lambda s: s <= m["liftoff"], t, 4.0, rng)
    return reports + out, {"runway": "24", "stand": stand["id"]}


def overflight(t0, rng, altitude_ft, gs_kt, heading, offset_nm, length_nm, turn=0.0, vs_fpm=0.0):
    """A straight (or gently turning) crossing of the area at a set level."""
    centre = along((0.0, 0.0), heading + 90.0, offset_nm * M_PER_NM)
    start = along(centre, heading + 180.0, length_nm * M_PER_NM / 2)
    path = Path(start, heading)
    path.straight(length_nm * M_PER_NM * (0.6 if turn else 1.0), step=100.0)
    if turn:
        path.turn(heading + turn, gs_kt * KT / math.radians(1.5), step_deg=1.0)
        path.straight(length_nm * M_PER_NM * 0.4, step=100.0)
    climb_per_m = vs_fpm / 60.0 / (gs_kt * KT)
    out, _ = fly(path, lambda s: gs_kt, lambda s: altitude_ft - AIRPORT["elevation_ft"] + climb_per_m * s,
                 lambda s: False, t0, 5.0, rng)
    return out, {}


def read_registrations(path):
    with open(path, encoding="utf-8") as f:
        return [row for row in csv.DictReader(f)]


def liveries_by_key(manifest):
    keys = {}
    for r in manifest["records"]:
        keys.setdefault((r["airl"], r["type"]), []).append(r)
    return keys


def pick(keys, types, rng, unique=False, exclude=()):
    """An (airline, type) with liveries (exactly one when unique) among the given types."""
    options = sorted(k for k, v in keys.items() if k[1] in types and k[0] not in ("ZZZ", "PVT", "")
                     and len(k[0]) == 3 and k not in exclude and (len(v) == 1 or not unique)
                     and not any(r["cargo"] for r in v))
    return rng.choice(options)


def known_registration(registrations, keys, rng, types, unique=False, exclude=()):
    """A passenger aircraft of the database whose airline and type have liveries (exactly one
    when unique) and whose registration no livery carries: matched by airline and type."""
    carried = {r["atcid"] for v in keys.values() for r in v}
    options = [r for r in registrations if (r["airline"], r["type"]) in keys and r["type"] in types
               and not r["operator"] and r["cargo"] == "0" and r["registration"] not in carried
               and (r["airline"], r["type"]) not in exclude and not any(x["cargo"] for x in keys[(r["airline"], r["type"])])
               and (not unique or len(keys[(r["airline"], r["type"])]) == 1)]
    return rng.choice(options) if options else None


class Flights:
    def __init__(self, rng, keys):
        self.rng, self.keys, self.list, self.used = rng, keys, [], set()
        self.next_hex = 4840000

    def add(self, kind, key, reports, extra, registration="", callsign=None, expected_title=None, **more):
        self.next_hex += 17
        self.used.add(key)
        airline, ac_type = key
        number = self.rng.randint(100, 9899)
        flight = {"hexid": self.next_hex, "kind": kind, "callsign": callsign or f"{airline}{number}", "type": ac_type,
                  "airline": airline, "registration": registration,
                  "origin": "EHAM" if kind == "departure" else "EGLL",
                  "destination": "EHAM" if kind == "arrival" else "LFPG", "reports": reports}
        flight.update(extra)
        flight.update(more)
        if expected_title:
            flight["expected_title"] = expected_title
        self.list.append(flight)
        return flight


LARGE = ("B738", "A320", "A321", "B737", "A319", "E190", "E195", "B739", "A20N", "A21N", "B38M", "E175")
HEAVY = ("B77W", "A333", "B789", "B772", "A359", "B744", "B788", "A332")
BUZJET = ("C56X", "C680", "C25A", "C525", "C560", "CL35", "GLF5", "E55P", "LJ45", "F2TH")
HELI = ("EC35", "EC45", "AS65", "S76", "EC30", "A109", "B06", "EC55", "AW139")


def short_scenario(rng, keys, registrations):
    """For the end-to-end test, about three minutes: an arrival to a stand (with a registration
    the database knows), a departure with push-back, an overflight and a flight that must be
    refused (a type the database does not know). "run_s" is how long the program must run."""
    rows = stands()
    f = Flights(rng, keys)
    # The refused flight's lines come first: the program takes traffic only once the first
    # line has shown it that traffic flows, and the others must be taken from their first.
    lead = 4.0
    reg = known_registration(registrations, keys, rng, LARGE, unique=True)
    key = (reg["airline"], reg["type"])
    reports, extra = arrival(stand_by_id(rows, "D32"), lead, rng, final_nm=1.3, rollout_m=800.0, parked_s=6.0)
    f.add("arrival", key, reports, extra, registration=reg["registration"], expected_title=keys[key][0]["title"])
    key = pick(keys, LARGE, rng, unique=True, exclude=f.used)
    reports, extra = departure(stand_by_id(rows, "E40"), lead, rng, parked_s=18.0, climb_to_ft=1500.0, climb_nm=1.5,
                               push_kt=5.0, after_push_s=4.0)
    f.add("departure", key, reports, extra, expected_title=keys[key][0]["title"])
    key = pick(keys, LARGE + HEAVY, rng, unique=True, exclude=f.used)
    reports, extra = overflight(lead, rng, 7000.0, 280.0, 120.0, 3.0, 3.5)
    f.add("overflight", key, reports, extra, expected_title=keys[key][0]["title"])
    reports, extra = overflight(-1.0, rng, 5000.0, 230.0, 300.0, -2.0, 3.0)
    f.add("refused", ("KLM", "ZZ9Z"), reports, extra, refused_because="unknown type")
    return f.list


def full_scenario(rng, keys, registrations):
    """About 20 minutes: 6 arrivals, 6 departures, 8 overflights, a helicopter, a flight
    with only a generic livery and one whose registration the database knows."""
    rows = stands()
    f = Flights(rng, keys)
    arrival_stands = ["D2", "D4", "D6", "D8", "D10", "D12"]  # west of where the exit meets taxiway A
    for i, stand_id in enumerate(arrival_stands):
        key = pick(keys, LARGE + (HEAVY if i == 3 else ()), rng, exclude=f.used)
        t0 = 20.0 + i * 150.0 + rng.uniform(0.0, 30.0)
        if i == 0:  # a straight-in approach: the first landing comes within three minutes
            reports, extra = arrival(stand_by_id(rows, stand_id), t0, rng, final_nm=5.0, parked_s=60.0)
        else:
            reports, extra = arrival(stand_by_id(rows, stand_id), t0, rng, final_nm=8.0,
                                     intercept=rng.choice([200.0, 220.0, 320.0, 340.0]), start_ft=4000.0,
                                     level_m=rng.uniform(8000.0, 14000.0))
        f.add("arrival", key, reports, extra)
    # One arrival whose registration the database knows: its airline and type come from it.
    reg = known_registration(registrations, keys, rng, LARGE, exclude=f.used)
    if reg:
        f.list[-1].update({"registration": reg["registration"], "airline": reg["airline"], "type": reg["type"],
                           "callsign": f"{reg['airline']}{rng.randint(100, 999)}", "note": "registration known"})
    departure_stands = ["E2", "E6", "E10", "E14", "E18", "E8"]
    for i, stand_id in enumerate(departure_stands):
        key = pick(keys, LARGE, rng, exclude=f.used)
        t0 = 30.0 + i * 160.0 + rng.uniform(0.0, 30.0)
        reports, extra = departure(stand_by_id(rows, stand_id), t0, rng, parked_s=40.0)
        f.add("departure", key, reports, extra)
    levels = [3000, 6000, 9000, 14000, 21000, 28000, 35000, 38000]
    for i, level in enumerate(levels):
        key = pick(keys, LARGE + HEAVY, rng, exclude=f.used)
        gs = 230.0 + level / 100.0 * 0.6 + rng.uniform(-10, 10)
        reports, extra = overflight(1.0 + i * 120.0 + rng.uniform(0, 40 if i else 0), rng, float(level), gs,
                                    rng.uniform(0, 360), rng.uniform(-6, 6), 30.0,
                                    turn=rng.choice([0.0, 0.0, 30.0, -40.0]), vs_fpm=rng.choice([0, 0, -800, 800]))
        f.add("overflight", key, reports, extra)
    # The helicopter crosses low; the generic one is a business jet of an airline without liveries.
    heli_keys = [k for k in keys if k[1] in HELI]
    key = rng.choice(sorted(heli_keys)) if heli_keys else ("ZZZ", "EC35")
    reports, extra = overflight(200.0, rng, 1500.0, 110.0, 45.0, 1.5, 10.0, turn=60.0)
    f.add("helicopter", key, reports, extra)
    generic = sorted(t for (a, t) in keys if t in BUZJET)
    ac_type = rng.choice(generic) if generic else "C56X"
    airline = next(a for a in ("NJE", "EJA", "VJT", "JME", "XRO", "GES") if (a, ac_type) not in keys)
    reports, extra = overflight(420.0, rng, 11000.0, 300.0, 250.0, -3.0, 30.0)
    f.add("overflight", (airline, ac_type), reports, extra, note="only a generic livery")
    f.list.sort(key=lambda x: x["reports"][0]["t"])
    return f.list


def build(kind, registrations_csv, manifest_json, seed=24):
    rng = random.Random(seed)
    with open(manifest_json, encoding="utf-8") as fh:
        keys = liveries_by_key(json.load(fh))
    registrations = read_registrations(registrations_csv)
    flights = (short_scenario if kind == "short" else full_scenario)(rng, keys, registrations)
    liftoff = max((r["t"] for f in flights if f["kind"] == "departure" for r in f["reports"] if r["ground"]), default=0)
    parked = max((f["reports"][-1]["t"] for f in flights if f["kind"] == "arrival"), default=0)
    gone = max((f["reports"][-1]["t"] for f in flights if f["kind"] == "overflight"), default=0)
    run_s = max(liftoff + 40.0, parked + 34.0, gone + 105.0)
    return {"airport": AIRPORT, "runways": RUNWAYS, "run_s": run_s,
            "stands": [{k: s[k] for k in ("id", "lat", "lon", "heading", "radius_m", "cargo", "heli")}
                       for s in stands()],
            "user_stand": "E24",
            "qnh_hpa": 1013, "flights": flights}


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--kind", choices=("full", "short"), default="full")
    parser.add_argument("--registrations", required=True)
    parser.add_argument("--manifest", required=True)
    parser.add_argument("--seed", type=int, default=24)
    parser.add_argument("--out", required=True)
    args = parser.parse_args(argv)
    scenario = build(args.kind, args.registrations, args.manifest, args.seed)
    with open(args.out, "w", encoding="utf-8") as fh:
        json.dump(scenario, fh, indent=1)
    last = max(r["t"] for f in scenario["flights"] for r in f["reports"])
    print(f"{len(scenario['flights'])} flights, {sum(len(f['reports']) for f in scenario['flights'])} reports, "
          f"{last:.0f} s")


if __name__ == "__main__":
    main()
