#!/usr/bin/python3
"""Draws the worst routes of route_bench's JSON into one PNG, a panel per route, around
where its worst check failed: the real aircraft's path thin and grey, the reports dashed
(each labelled with the time it is due, 30 s after it was sent), the flown track solid
with the nose drawn every second and its position labelled every 5 s, the stands as
circles; below it the ground speeds against time (the shaded time is the panel's). Times
are the scenario's seconds, so a report and the flown track at the same label belong
together.

    route_plot.py ROUTES.json OUT.png
"""
import json
import math
import sys
import textwrap

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

LEAD_S = 30.0     # a report is due 30 s after it is sent
WINDOW_S = 40.0   # of flown time either side of the worst moment


def worst_check(route):
    """The failing check that went farthest past its limit, else the nearest to it."""
    best = None
    for name, c in route["checks"].items():
        if not c["judged"] or c["limit"] <= 0:
            continue
        share = c["worst"] / c["limit"]
        if best is None or share > best[1]:
            best = (name, share, c)
    return best


def between(points, t0, t1, key=0):
    return [p for p in points if t0 <= p[key] <= t1]


def panel(ax, route):
    flown = route["flown"]
    worst = worst_check(route)
    at = worst[2]["at"] if worst and worst[2]["at"] >= 0 else None
    if at is None and flown:
        at = (flown[0][0] + flown[-1][0]) / 2
        span = (flown[-1][0] - flown[0][0]) / 2 + 1
    else:
        span = WINDOW_S
    t0, t1 = at - span, at + span
    shown = between(flown, t0, t1)
    reports = between(route["reports"], t0 - LEAD_S, t1 - LEAD_S)
    truth = between(route["truth"], t0 - LEAD_S - 5, t1 - LEAD_S + 5)

    ax.plot([p[1] for p in route["truth"]], [p[2] for p in route["truth"]], color="0.75", lw=1.0,
            label="real path", zorder=1)
    ax.plot([p[1] for p in route["reports"]], [p[2] for p in route["reports"]], "o--", color="tab:blue", lw=1.0,
            ms=3, label="reports", zorder=2)
    ax.plot([p[1] for p in flown], [p[2] for p in flown], "-", color="tab:red", lw=1.4, label="flown", zorder=3)

    xs = [p[1] for p in shown] + [p[1] for p in reports] + [p[1] for p in truth]
    ys = [p[2] for p in shown] + [p[2] for p in reports] + [p[2] for p in truth]
    if not xs:
        xs = [p[1] for p in route["truth"]]
        ys = [p[2] for p in route["truth"]]
    pad = 10.0
    x0, x1, y0, y1 = min(xs) - pad, max(xs) + pad, min(ys) - pad, max(ys) + pad
    size = max(x1 - x0, y1 - y0)
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    ax.set_xlim(cx - size / 2, cx + size / 2)
    ax.set_ylim(cy - size / 2, cy + size / 2)
    tick = size * 0.035

    # The nose every second, the time every 5 s.
    next_tick = math.ceil(t0)
    for p in shown:
        if p[0] >= next_tick:
            h = math.radians(p[3])
            ax.plot([p[1], p[1] + tick * math.sin(h)], [p[2], p[2] + tick * math.cos(h)], color="black", lw=1.0,
                    zorder=4)
            if int(next_tick) % 5 == 0:
                ax.annotate(f"{p[0]:.0f}", (p[1], p[2]), fontsize=6, color="tab:red", xytext=(3, -8),
                            textcoords="offset points")
            next_tick = math.floor(p[0]) + 1
    for r in reports:
        ax.annotate(f"{r[0] + LEAD_S:.0f}", (r[1], r[2]), fontsize=6, color="tab:blue", xytext=(3, 3),
                    textcoords="offset points")
    for s in route["stands"]:
        ax.add_patch(plt.Circle((s[0], s[1]), s[3], fill=False, color="tab:green", lw=0.8))
        h = math.radians(s[2])
        ax.plot([s[0], s[0] + s[3] * math.sin(h)], [s[1], s[1] + s[3] * math.cos(h)], color="tab:green", lw=0.8)
    if worst and worst[2]["at"] >= 0 and flown:
        p = min(flown, key=lambda f: abs(f[0] - worst[2]["at"]))
        ax.plot([p[1]], [p[2]], "x", color="black", ms=10, mew=2, zorder=5)
        ax.annotate(f"{worst[0]} {worst[2]['worst']:.1f} (limit {worst[2]['limit']:g}) at {worst[2]['at']:.1f} s",
                    (p[1], p[2]), fontsize=7, xytext=(6, 6), textcoords="offset points",
                    bbox={"boxstyle": "round", "fc": "white", "alpha": 0.8})

    ax.set_aspect("equal")
    ax.set_xlabel("east (m)")
    ax.set_ylabel("north (m)")
    ax.grid(True, lw=0.3)
    failures = route["failures"] or "passes"
    title = f"seed {route['seed']}, {route['kind']}, {route['type']}: {failures}"
    ax.set_title("\n".join(textwrap.wrap(title, 70) + textwrap.wrap(route["drawn"], 80)), fontsize=8)
    ax.legend(loc="lower right", fontsize=7)
    return t0, t1


def speeds(ax, route, t0, t1):
    """Ground speeds against time: the flown one over each second, the real one and the
    reports at the times they are due."""
    flown = route["flown"]
    ts, vs = [], []
    j = 0
    for p in flown:
        while j < len(flown) and flown[j][0] < p[0] - 1.0:
            j += 1
        q = flown[j]
        if p[0] - q[0] >= 0.5:
            ts.append(p[0])
            vs.append(math.hypot(p[1] - q[1], p[2] - q[2]) / (p[0] - q[0]) * 3600.0 / 1852.0)
    truth = route["truth"]
    ax.plot([x[0] + LEAD_S for x in truth], [x[4] for x in truth], color="0.6", lw=1.0, label="real, 30 s later")
    ax.plot([r[0] + LEAD_S for r in route["reports"]], [r[3] for r in route["reports"]], "o", color="tab:blue", ms=3,
            label="reports, when due")
    ax.plot(ts, vs, color="tab:red", lw=1.0, label="flown")
    ax.axvspan(t0, t1, color="0.9", zorder=0)
    ax.set_xlabel("time (s)")
    ax.set_ylabel("kt")
    ax.grid(True, lw=0.3)
    ax.legend(loc="upper right", fontsize=6)


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    with open(sys.argv[1], encoding="utf-8") as f:
        routes = json.load(f)["routes"]
    if not routes:
        print("route_plot.py: no routes")
        return 1
    cols = min(3, len(routes))
    rows = math.ceil(len(routes) / cols)
    fig = plt.figure(figsize=(6.5 * cols, 8.4 * rows), layout="constrained")
    grid = fig.add_gridspec(rows * 2, cols, height_ratios=[4.2, 1] * rows)
    for i, route in enumerate(routes):
        row, col = divmod(i, cols)
        t0, t1 = panel(fig.add_subplot(grid[row * 2, col]), route)
        speeds(fig.add_subplot(grid[row * 2 + 1, col]), route, t0, t1)
    fig.savefig(sys.argv[2], dpi=100)
    print(f"route_plot.py: {len(routes)} routes drawn into {sys.argv[2]}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
