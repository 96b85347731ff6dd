"""The demo's data and scenario as scripts/run.sh makes them: fictional registrations that
the livery collection keeps to, and flights that every aircraft of their category could fly,
checked as they are written."""
import copy
import csv
import json
import subprocess
import time

import pytest

from demo import scenario
from standins import programs
from standins.program_session import SOURCE_DIR


@pytest.fixture(scope="module")
def data(tmp_path_factory):
    folder = tmp_path_factory.mktemp("demo-data")
    made = programs.run("livery_scan_probe", "data", programs.host_path(SOURCE_DIR / "tools"), programs.host_path(folder),
                        "4000", timeout=180)
    assert made.returncode == 0, made.stdout
    subprocess.run(["/usr/bin/python3", str(SOURCE_DIR / "demo" / "standins" / "livery_collection.py"),
                    "--data", str(folder / "site" / "11"), "--out", str(folder / "liveries"), "--lfolders", "1",
                    "--folders", "40", "--sections", "300", "--fault-rate", "0", "--no-unreadable",
                    *scenario.COLLECTION_ARGS], check=True, capture_output=True, timeout=120)
    with open(folder / "site" / "11" / "registrations.csv", encoding="utf-8") as f:
        table = {r["registration"]: r for r in csv.DictReader(f)}
    return folder, table, json.loads((folder / "liveries" / "manifest.json").read_text(encoding="utf-8"))


def test_the_registrations_are_fictional_and_the_liveries_keep_to_them(data):
    _, table, manifest = data
    assert len(table) == 4000 and all(reg.startswith("Q") for reg in table)
    # A livery listed for a registration is of its type and airline (the program's scan
    # relabelling none: test_end_to_end).
    # The airport's airlines fly their own types, and operate no other airline's of another.
    for row in table.values():
        for airline in (row["airline"], row["operator"]):
            assert row["type"] in scenario.FLEETS.get(airline, (row["type"],)), row
    keys = {(r["title"]): (r["airl"], r["type"]) for r in manifest["records"]}
    for reg, title in manifest["regcodes"]["registrations"].items():
        if reg in table and title in keys:
            row = table[reg]
            assert keys[title] == (row["operator"] or row["airline"], row["type"]), (reg, title)


@pytest.mark.parametrize("kind", ["short", "demo", "full"])
def test_every_kind_builds_with_liveries_of_each_flights_category_and_free_stands_for_its_flights(data, kind):
    folder, table, manifest = data
    built = scenario.build(kind, folder / "site" / "11", folder / "liveries" / "manifest.json")
    # The program gives an aircraft its registration's own livery whatever that livery's
    # type: each one the demo's aircraft carry is of their own type.
    own = manifest["regcodes"]["registrations"]
    carried = [(e, own[e["registration"]]) for e in built["flights"] + built["statics"]
               if own.get(e.get("registration"))]
    assert all(built["livery_types"].get(title) == e["type"] for e, title in carried), carried
    assert all(scenario.fits_fleet(f["airline"], f["type"]) for f in built["flights"]), built["flights"]
    categories = {f["kind"]: f["category"] for f in built["flights"]}
    if kind != "short":
        assert categories["helicopter"] == "rotorcraft"
    for f in built["flights"]:
        if f["kind"] != "refused":
            titles = [t for t, ty in built["livery_types"].items() if ty == f["type"]]
            assert titles or f.get("note") == "only a generic livery", f["callsign"]
    scripted = {f["stand"] for f in built["flights"] if "stand" in f}
    statics = built["statics"]
    assert len(statics) >= 6 and not scripted & {e["stand"] for e in statics}
    assert "KLM" in {e["airline"] for e in statics}
    assert all(e["registration"] in table and table[e["registration"]]["type"] == e["type"] for e in statics)
    day, slot = built["time_of_week"]["day"], built["time_of_week"]["slot"]

    def now(e):
        hours = [int(h) for h in e["hh"].split(":")]
        return e["day"] == day and hours[0] <= slot <= hours[-1]
    assert any(now(e) and e["soft"] for e in statics) and any(now(e) and not e["soft"] for e in statics)
    assert any(not now(e) for e in statics)
    # Parked where it is: one of the airport's airlines with an airliner it flies there,
    # at a stand its wings fit (no retired VC10, no An-124 freighter at a passenger stand).
    stands = {s["id"]: s for s in built["stands"]}
    stand_of = {}
    for e in statics:
        assert stand_of.setdefault(e["registration"], e["stand"]) == e["stand"], e  # one aircraft, one stand
        stand = stands[e["stand"]]
        assert scenario.flies_here(e["airline"], e["type"]) and not stand["cargo"], e
        assert built["types"][e["type"]]["half_span_m"] <= stand["radius_m"], e


@pytest.mark.parametrize("clock", ["00:05", "11:40", "23:50"])
def test_the_parked_flights_half_hours_lie_within_the_day_at_any_time_of_day(data, clock):
    folder, _, _ = data
    now = time.strptime(f"2026-12-07 {clock}", "%Y-%m-%d %H:%M")
    built = scenario.build("short", folder / "site" / "11", folder / "liveries" / "manifest.json", now=now)
    assert built["statics"]
    for e in built["statics"]:
        hours = [int(h) for h in e["hh"].split(":")]
        assert 0 <= hours[0] <= hours[-1] <= 47, e


def test_a_flight_no_aircraft_could_fly_stops_the_build(data):
    folder, _, _ = data
    flight = next(f for f in scenario.build("demo", folder / "site" / "11", folder / "liveries" / "manifest.json")["flights"]
                  if f["kind"] == "overflight" and f["vs_fpm"])

    def changed(edit):
        bad = copy.deepcopy(flight)
        edit(bad)
        return bad
    cases = [
        (lambda f: f["reports"][-1].update(alt_ft=-100), "below the ground"),
        (lambda f: f["reports"][3].update(vs_fpm=-9000), "vertical speed of -9000"),
        (lambda f: f["reports"][3].update(alt_ft=f["reports"][2]["alt_ft"] - 1000), "climbs at"),
        (lambda f: f["reports"][3].update(gs_kt=f["reports"][2]["gs_kt"] + 100), "acceleration"),
        (lambda f: f["reports"][3].update(heading=(f["reports"][2]["heading"] + 90) % 360), "turns at"),
        (lambda f: f.update(level_ft=2000), "outside 3000-38000"),
        (lambda f: f.update(vs_fpm=0), "where its level and rate give"),
    ]
    scenario.check(flight)
    for edit, said in cases:
        with pytest.raises(scenario.ScenarioError, match=said):
            scenario.check(changed(edit))


# A taxi at 15 kt due north, its frames 30 a second and its positions from the program's
# 10 ms ticks. The jumps the judge of the demo counts: a tick held up on a loaded machine,
# followed at once by the ticks it held up, is no jump while it is made up within a quarter
# second; a position 2.5 m or more out of line is one (on the way into it and back out), and
# so is a hold-up twice that long.
@pytest.mark.parametrize("lag_s, jump_m, jumps", [(0.0, 0.0, 0), (0.1, 0.0, 0), (0.2, 0.0, 0), (0.0, 2.5, 2),
                                                  (0.0, 6.0, 2), (0.45, 0.0, 1)])
def test_the_judge_counts_jumps_not_ticks_held_up(lag_s, jump_m, jumps):
    from demo import tracks
    speed = 15.0 * 1852 / 3600
    metres_per_degree = 1852 * 60
    start = 1000.0
    reports = [{"t": t, "lat": 52.0 + speed * t / metres_per_degree, "lon": 4.0, "alt_ft": 0.0, "gs_kt": 15.0,
                "ground": True} for t in range(0, 60, 5)]
    moved, held_from, jumped_from = [], 20.0, 21.0
    for frame in range(30 * 25):
        wall = start + tracks.SHIFT_S + frame / 30.0
        t = wall - start - tracks.SHIFT_S
        # The ticks run until the hold-up, none during it, and all it held up at its end.
        ticked = held_from if held_from < t < held_from + lag_s else t
        north = speed * ticked + (jump_m if jumped_from <= t < jumped_from + 0.05 else 0.0)
        moved.append({"frame": frame, "wall": wall, "lat": 52.0 + north / metres_per_degree, "lon": 4.0})
    assert tracks.excess_steps(moved, reports, start) == jumps
