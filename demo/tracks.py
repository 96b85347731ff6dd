"""Judges a demo run: what each flight of the scenario became in the simulator stand-in's
track log, against what RealTraffic reported 30 seconds earlier. Writes summary.txt,
figures.json (for the end-to-end test) and tracks.png (a map of the airport area with the
received and the flown tracks, and the vertical profiles of arrivals and departures).

    /usr/bin/python3 demo/tracks.py build/demo      (again, on the files a run left)"""
import json
import math
import pathlib
import re
import sys

EARTH_RADIUS_M = 6371008.8
SHIFT_S = 30.0  # the program flies what it received this long ago
FT_PER_M = 1 / 0.3048
AGL_AIRBORNE_CHECK_FT = 1000.0
# An aircraft appears 1 to 2 s behind its reference (its creation and activation take
# longer than its lead time) and catches up within seconds: its deviation and its steps
# are judged from then on.
SETTLE_S = 10.0


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
    segments on the plane; a straight leg's first and last 15 m are left to the turns."""
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
            out.append(((a[0] + 15 * ux, a[1] + 15 * uy), (b[0] - 15 * ux, b[1] - 15 * uy)))
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


def why_not_created(flight, log):
    """The Log.txt lines that name the flight, or the reason the scenario gives."""
    said = [l.strip() for l in log if flight["callsign"] in l or (flight["registration"] and flight["registration"] in l)]
    if said:
        return "; ".join(said[-3:])
    return flight.get("refused_because", "no line of Log.txt names it")


def pct(values, q):
    if not values:
        return None
    s = sorted(values)
    return s[min(len(s) - 1, int(q * (len(s) - 1) + 0.5))]


def judge_flight(flight, lines, data, feed_start, plane, closed=None):
    """The figures of one flight flown by one object."""
    reports = flight["reports"]
    elevation = data["airport"]["elevation_ft"]
    fig = {"object": lines[0]["object"], "title": lines[0].get("title", ""),
           "created_after_s": round(lines[0]["wall"] - (feed_start + reports[0]["t"]), 1)}
    events = [e for l in lines for e in l["events"]]
    fig["events"] = sorted(set(re.sub(r"=.*", "", e) for e in events))
    moved = [l for l in lines if l["moved"]]
    fig["positions"] = len(moved)
    # The stand-in keeps an object's on-ground flag as created: on the ground is where the
    # program puts it on the ground, its lowest altitude near the airport's elevation.
    lowest = min((l["alt_ft"] for l in moved), default=None)
    ground_ft = lowest if lowest is not None and lowest < elevation + 50.0 else None

    def on_ground(line):
        return ground_ft is not None and line["alt_ft"] <= ground_ft + 2.0
    # Removals by the program; those at its close are the close's.
    removal = [l for l in lines if "removal" in l["events"] and (closed is None or l["wall"] < closed)]
    fig["removed_after_last_s"] = (round(removal[0]["wall"] - (feed_start + reports[-1]["t"]), 1)
                                   if removal else None)
    # Frames without a position set between the first and the last one set.
    if moved:
        frames = sorted(set(l["frame"] for l in moved))
        fig["frames"] = frames[-1] - frames[0] + 1
        fig["frames_without_position"] = fig["frames"] - len(frames)
        fig["longest_gap_frames"] = max((b - a - 1 for a, b in zip(frames, frames[1:])), default=0)
    taxi_h, air_h, air_v, steps_over = [], [], [], 0
    # Steps over two frame intervals: the program's 10 ms ticks fall unevenly into the
    # simulator's frames (a long step, then a short one), which is not a jump.
    framed = [l for i, l in enumerate(moved) if i + 1 == len(moved) or moved[i + 1]["frame"] != l["frame"]]
    for prev, cur in zip(framed, framed[2:]):
        if cur["wall"] < moved[0]["wall"] + SETTLE_S:  # catching up with the reference
            continue
        ref = reference_at(reports, cur["wall"] - feed_start - SHIFT_S, clamp=True)
        dt = max(cur["wall"] - prev["wall"], (cur["frame"] - prev["frame"]) / 30.0)
        step = distance_m(prev["lat"], prev["lon"], cur["lat"], cur["lon"])
        speed = max(ref["gs_max"], 1.0) * 1852 / 3600
        if step > 1.5 * speed * dt + 1.0:
            steps_over += 1
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
    fig["excess_steps"] = steps_over
    fig["taxi_error_m"] = {"p50": pct(taxi_h, 0.5), "max": max(taxi_h) if taxi_h else None, "n": len(taxi_h)}
    fig["air_error_m"] = {"p50": pct(air_h, 0.5), "max": max(air_h) if air_h else None, "n": len(air_h)}
    fig["air_error_ft"] = {"p50": pct(air_v, 0.5), "max": max(air_v) if air_v else None, "n": len(air_v)}
    legs = straight_taxi_legs(reports, plane)
    cross = []
    for cur in moved:
        if not on_ground(cur):
            continue
        p = plane.xy(cur["lat"], cur["lon"])
        for a, b in legs:
            if segment_distance(p, a, b) < 200.0:
                # On a leg: its distance from the leg's line, where its foot lies inside the leg.
                ax, ay = b[0] - a[0], b[1] - a[1]
                u = ((p[0] - a[0]) * ax + (p[1] - a[1]) * ay) / (ax * ax + ay * ay)
                if 0.0 <= u <= 1.0:
                    cross.append(segment_distance(p, a, b))
                    break
    fig["taxi_cross_track_m"] = {"max": max(cross) if cross else None, "n": len(cross)}
    runways = data["runways"]
    if flight["kind"] == "arrival":
        touch = next((i for i, l in enumerate(moved) if i and on_ground(l) and not on_ground(moved[i - 1])), None)
        if touch is not None:
            t = moved[touch]
            before = [l for l in moved[:touch] if t["wall"] - l["wall"] <= 1.0] or [moved[touch - 1]]
            span = max(t["wall"] - before[0]["wall"], 1 / 30)
            rate = (t["alt_ft"] - before[0]["alt_ft"]) / span * 60.0
            ok, along = inside_runway(runways[flight["runway"]], plane, t["lat"], t["lon"])
            fig["touchdown"] = {"inside_runway": ok, "from_threshold_m": round(along), "rate_fpm": round(rate)}
        stand = next(s for s in data["stands"] if s["id"] == flight["stand"])
        last = moved[-1] if moved else lines[-1]
        fig["stand_id"] = stand["id"]
        fig["stand"] = {"distance_m": round(distance_m(last["lat"], last["lon"], stand["lat"], stand["lon"]), 2),
                        "heading_off_deg": round(angle_diff(last["heading_deg"], stand["heading"]), 2)}
    if flight["kind"] == "departure":
        stand = next(s for s in data["stands"] if s["id"] == flight["stand"])
        back = 0
        for prev, cur in zip(moved, moved[1:]):
            d = distance_m(prev["lat"], prev["lon"], cur["lat"], cur["lon"])
            if d > 0.02 and on_ground(cur):
                p0, p1 = plane.xy(prev["lat"], prev["lon"]), plane.xy(cur["lat"], cur["lon"])
                course = math.degrees(math.atan2(p1[0] - p0[0], p1[1] - p0[1])) % 360.0
                if angle_diff(course, cur["heading_deg"]) > 120.0:
                    back += d
        fig["pushed_back_m"] = round(back, 1)
        lift = next((i for i, l in enumerate(moved) if i and not on_ground(l) and on_ground(moved[i - 1])), None)
        if lift is not None:
            l0 = moved[lift - 1]
            ok, along = inside_runway(runways[flight["runway"]], plane, l0["lat"], l0["lon"])
            fig["lift_off"] = {"inside_runway": ok, "from_threshold_m": round(along)}
        fig["started_at_stand_m"] = round(distance_m(moved[0]["lat"], moved[0]["lon"], stand["lat"], stand["lon"]), 1) \
            if moved else None
    return fig


def analyse(out: pathlib.Path, data=None, result=None):
    out = pathlib.Path(out)
    data = data or json.loads((out / "scenario.json").read_text())
    result = result or json.loads((out / "result.json").read_text())
    feed_start = result.get("feed_start")
    objects = read_track(out / "track.jsonl")
    log = log_lines(out / "Log.txt")
    plane = Plane(data["airport"]["lat"], data["airport"]["lon"])
    by_tail = {}
    for obj, lines in objects.items():
        tail = lines[0].get("tail")
        if tail:
            by_tail.setdefault(tail, []).append(lines)
    flights = []
    for f in data["flights"]:
        lives = by_tail.get(f["callsign"], []) + (by_tail.get(f["registration"], []) if f["registration"] else [])
        entry = {"callsign": f["callsign"], "kind": f["kind"], "type": f["type"], "airline": f["airline"],
                 "registration": f["registration"], "note": f.get("note", ""), "lives": len(lives),
                 "expected_title": f.get("expected_title"), "refused": f["kind"] == "refused"}
        if lives and feed_start:
            closed = feed_start + result["closed_at"] if result.get("closed_at") is not None else None
            entry.update(judge_flight(f, lives[0], data, feed_start, plane, closed))
        else:
            entry["why_not"] = why_not_created(f, log)
        flights.append(entry)
    figures = {"flights": flights, "exit_code": result.get("exit_code"), "closed_by": result.get("closed_by"),
               "start_up_s": result.get("start_up_s"), "datagrams_sent": result.get("datagrams_sent"),
               "link_lines": [l[2] for l in result.get("link_lines", [])],
               "link_problems": result.get("link_problems", []), "sim_problems": result.get("sim_problems", []),
               "objects": len(objects),
               "removed": sum(1 for lines in objects.values() if any("removal" in l["events"] for l in lines)),
               "memory_kb": result.get("memory_kb", [])}
    if result.get("closed_at") is not None and feed_start:
        closed = feed_start + result["closed_at"]
        figures["removed_at_close"] = sum(1 for lines in objects.values()
                                          if any("removal" in l["events"] and l["wall"] >= closed for l in lines))
        figures["present_at_close"] = sum(1 for lines in objects.values()
                                          if lines[0]["wall"] < closed and not any(
                                              "removal" in l["events"] and l["wall"] < closed for l in lines))
    (out / "figures.json").write_text(json.dumps(figures, indent=1))
    (out / "summary.txt").write_text(summary_text(figures, data))
    try:
        plot(out / "tracks.png", data, objects, by_tail, feed_start)
    except ImportError as e:
        print(f"tracks: no picture ({e}); install python3-matplotlib", file=sys.stderr)
    return figures


def fmt(v, unit="", digits=0):
    return "-" if v is None else f"{v:.{digits}f}{unit}"


def summary_text(fig, data):
    rows = [f"Tavelorium_P3D demo at {data['airport']['code']} ({data['airport']['name']}): "
            f"{len(data['flights'])} flights", ""]
    for f in fig["flights"]:
        head = f"{f['callsign']:<9} {f['kind']:<10} {f['type']:<5} {f['airline']:<4} {f['registration'] or '':<8}"
        if f.get("object") is None:
            rows.append(f"{head} NOT CREATED: {f.get('why_not', '')}")
            continue
        rows.append(f"{head} created after {fmt(f['created_after_s'], ' s', 1)} as object {f['object']}, "
                    f"title '{f['title']}'" + (f" ({f['note']})" if f["note"] else ""))
        rows.append(f"{'':10}error taxi p50/max {fmt(f['taxi_error_m']['p50'], ' m')}/{fmt(f['taxi_error_m']['max'], ' m')}"
                    f", cross-track on straight taxi legs max {fmt(f['taxi_cross_track_m']['max'], ' m', 1)}"
                    f"; airborne above 1000 ft p50/max {fmt(f['air_error_m']['p50'], ' m')}/"
                    f"{fmt(f['air_error_m']['max'], ' m')} and {fmt(f['air_error_ft']['p50'], ' ft')}/"
                    f"{fmt(f['air_error_ft']['max'], ' ft')}; steps too long {f['excess_steps']}; "
                    f"frames without a position {f.get('frames_without_position', 0)} of {f.get('frames', 0)}")
        extra = []
        if "touchdown" in f:
            t = f["touchdown"]
            extra.append(f"touchdown {'inside' if t['inside_runway'] else 'OUTSIDE'} runway "
                         f"{t['from_threshold_m']} m past the threshold at {-t['rate_fpm']} ft/min")
        if "stand" in f:
            extra.append(f"final distance to stand {f['stand']['distance_m']} m, "
                         f"{f['stand']['heading_off_deg']} deg off its heading")
        if "pushed_back_m" in f:
            extra.append(f"pushed back {f['pushed_back_m']} m")
        if "lift_off" in f:
            extra.append(f"lift-off {'inside' if f['lift_off']['inside_runway'] else 'OUTSIDE'} runway "
                         f"{f['lift_off']['from_threshold_m']} m past the threshold")
        gone = f.get("removed_after_last_s")
        if gone is not None:
            extra.append(f"removed {gone} s after its last report" if gone >= 0 else
                         f"removed while still reported, {-gone} s before its last report")
        if extra:
            rows.append(f"{'':10}" + "; ".join(extra))
    created = [f for f in fig["flights"] if f.get("object") is not None]
    air = [f["air_error_m"]["max"] for f in created if f["air_error_m"]["max"] is not None]
    air_ft = [f["air_error_ft"]["max"] for f in created if f["air_error_ft"]["max"] is not None]
    cross = [f["taxi_cross_track_m"]["max"] for f in created if f["taxi_cross_track_m"]["max"] is not None]
    delays = [f["created_after_s"] for f in created]
    mem = [m for _, m in fig["memory_kb"] if m]
    rows += ["", "Totals: "
             f"{len(created)} of {len(fig['flights'])} flights created ({fig['objects']} objects, {fig['removed']} removed); "
             f"creation {fmt(min(delays) if delays else None, ' s', 1)}-{fmt(max(delays) if delays else None, ' s', 1)} "
             f"after the first datagram; worst airborne error {fmt(max(air) if air else None, ' m')} / "
             f"{fmt(max(air_ft) if air_ft else None, ' ft')}; worst taxi cross-track {fmt(max(cross) if cross else None, ' m', 1)}; "
             f"steps too long {sum(f['excess_steps'] for f in created)}; "
             f"memory {fmt(mem[0] / 1024 if mem else None, ' MB')} -> {fmt(mem[-1] / 1024 if mem else None, ' MB')}; "
             f"program exit code {fig['exit_code']} ({fig['closed_by']})"]
    return "\n".join(rows) + "\n"


def plot(path, data, objects, by_tail, feed_start):
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
                        label=f["callsign"] if ax is area else None)
        if f["kind"] in ("arrival", "departure") and feed_start:
            profile.plot([r["t"] + SHIFT_S for r in f["reports"]], [r["alt_ft"] for r in f["reports"]], ls="--",
                         lw=0.8, color=colour)
            for lines in lives:
                moved = [l for l in lines if l["moved"]]
                profile.plot([l["wall"] - feed_start for l in moved], [l["alt_ft"] for l in moved], lw=1.4,
                             color=colour, label=f"{f['callsign']} ({f['kind']})")
    area.set_title(f"{data['airport']['code']} area: received tracks dashed, flown tracks solid (km)")
    field.set_title("the airport")
    field.set_xlim(-2.5, 3.0)
    field.set_ylim(-1.5, 2.0)
    for ax in (area, field):
        ax.set_aspect("equal")
        ax.grid(True, lw=0.3)
    if area.get_legend_handles_labels()[0]:
        area.legend(fontsize=6, ncol=2, loc="lower left")
    profile.set_title("vertical profile of arrivals and departures: received (shifted by 30 s) dashed, flown solid")
    profile.set_xlabel("seconds since the first datagram")
    profile.set_ylabel("ft")
    profile.grid(True, lw=0.3)
    if profile.get_legend_handles_labels()[0]:
        profile.legend(fontsize=6, ncol=4)
    fig.savefig(path, dpi=90)
    plt.close(fig)


if __name__ == "__main__":
    print(summary_text(analyse(pathlib.Path(sys.argv[1])), json.loads((pathlib.Path(sys.argv[1]) / "scenario.json").read_text())))
