#!/usr/bin/python3
"""How close any path laid from the reports alone can keep to the real way, for the taxi
routes of route_bench's JSON: curves through the reported places along their reported tracks,
judged as the bench judges the real way (the farthest a point of the curve lies from the real
way, against the ground limit). A route that none of them keeps within the limit hides a bend
between two reports that they tell nothing of, such as an S's bend out and back whose
reports either side carry the same track. Taken with --noise 0, the places are exact.

    route_bench 1000 --kind S-turns --noise 0 --worst 1000 --json ROUTES.json
    hidden_bend_bound.py ROUTES.json [LIMIT_M=8]

Prints, per curve, how many routes leave the limit: the straight chord between reports; a
cubic Hermite curve with tangents along the reported tracks, as long as the chord, or as
long as the reports' speeds and times tell (the way flown); and the best of the three for
each route, which no engine can choose without knowing the real way.
"""
import json
import math
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "demo"))
from tracks import segment_distance  # noqa: E402

KT = 1852.0 / 3600.0
STEPS = 20


def off_way(p, way):
    return min(segment_distance(p, way[i], way[i + 1]) for i in range(len(way) - 1))


def hermite(a, ta, b, tb, s):
    h00 = 2 * s**3 - 3 * s**2 + 1
    h10 = s**3 - 2 * s**2 + s
    h01 = -2 * s**3 + 3 * s**2
    h11 = s**3 - s**2
    return (h00 * a[0] + h10 * ta[0] + h01 * b[0] + h11 * tb[0],
            h00 * a[1] + h10 * ta[1] + h01 * b[1] + h11 * tb[1])


def unit(track_deg):
    r = math.radians(track_deg)
    return math.sin(r), math.cos(r)


def worst_offs(route):
    """The farthest each curve leaves the real way, over the route's moving reports."""
    way = [(x[1], x[2]) for x in route["truth"]]
    reports = route["reports"]
    worst = {"chord": 0.0, "hermite": 0.0, "paced": 0.0}
    for r0, r1 in zip(reports, reports[1:]):
        a, b = (r0[1], r0[2]), (r1[1], r1[2])
        chord = math.hypot(b[0] - a[0], b[1] - a[1])
        if chord < 1.0 or r0[3] <= 1.0 or r1[3] <= 1.0:
            continue
        flown = (r0[3] + r1[3]) / 2.0 * KT * (r1[0] - r0[0])
        ua, ub = unit(r0[4]), unit(r1[4])
        for k in range(1, STEPS):
            s = k / STEPS
            worst["chord"] = max(worst["chord"], off_way((a[0] + (b[0] - a[0]) * s, a[1] + (b[1] - a[1]) * s), way))
            for name, length in (("hermite", chord), ("paced", flown)):
                p = hermite(a, (ua[0] * length, ua[1] * length), b, (ub[0] * length, ub[1] * length), s)
                worst[name] = max(worst[name], off_way(p, way))
    return worst


def main():
    routes = json.load(open(sys.argv[1]))["routes"]
    limit = float(sys.argv[2]) if len(sys.argv) > 2 else 8.0
    outside = {"chord": 0, "hermite": 0, "paced": 0, "best of the three": 0, "the engine": 0}
    for route in routes:
        w = worst_offs(route)
        for name, off in w.items():
            outside[name] += off > limit
        outside["best of the three"] += min(w.values()) > limit
        outside["the engine"] += route["checks"]["real way"]["worst"] > limit
    print(f"{len(routes)} routes; leaving the real way by more than {limit:g} m:")
    for name, n in outside.items():
        print(f"  {name:18} {n:5}  ({100.0 * n / len(routes):.1f} %)")


if __name__ == "__main__":
    main()
