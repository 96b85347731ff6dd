"""The whole chain: the real program under Wine, the RealTraffic stand-in sending the short
scenario (an arrival to a stand, a departure with push-back that climbs past 3,000 ft, an
overflight and a flight of a type the database does not know), the simulator stand-in
recording what the program made of it, and Schiphol's stands filled with the static
aircraft of its learned park file. One run of about three and a half minutes; the checks
read its figures (demo/tracks.py, the judge of scripts/run.sh) and logs."""
import json
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

import pytest

from demo import scenario
from standins import programs
from standins.program_session import SOURCE_DIR

pytestmark = pytest.mark.skipif(not programs.IS_WINDOWS, reason="the program runs in the Windows build")

BUILD_DIR = programs.BUILD_DIR.resolve()
OUT = BUILD_DIR / "end-to-end"

# A record is due 30 s after its timestamp, and a buffered aircraft standing or flying is
# spawned 100 ticks (1 s) before its first sample is due: 29 s, plus the simulator's answer.
CREATED_AFTER_S = (28.5, 32.0)
# Received positions are flown 30 s late; once they stop an airborne aircraft is carried on
# by 8 synthetic samples 8 s apart before it goes, and one removal leaves per 10 ticks.
SHIFT_S = 30.0
REMOVED_AFTER_LAST_S = SHIFT_S + 8 * 8.0 + 5.0


@pytest.fixture(scope="module")
def run():
    shutil.rmtree(OUT, ignore_errors=True)
    OUT.mkdir(parents=True)
    data = OUT / "data"
    # The builder's files with fictional registrations, and a livery collection of them.
    made = programs.run("livery_scan_probe", "data", programs.host_path(SOURCE_DIR / "tools"), programs.host_path(data),
                        "4000", timeout=180)
    assert made.returncode == 0, made.stdout
    liveries = OUT / "liveries"
    subprocess.run(["/usr/bin/python3", str(SOURCE_DIR / "demo" / "standins" / "livery_collection.py"),
                    "--data", str(data / "site" / "11"), "--out", str(liveries), "--lfolders", "1", "--folders", "40",
                    "--sections", "300", "--fault-rate", "0", "--no-unreadable", *scenario.COLLECTION_ARGS], check=True,
                   capture_output=True, timeout=120)
    demo = subprocess.run([sys.executable, str(SOURCE_DIR / "demo" / "chain.py"), "--kind", "short",
                           "--build", str(BUILD_DIR), "--site", str(data / "site" / "11"), "--liveries", str(liveries),
                           "--out", str(OUT), "--prefix", str(BUILD_DIR / "wineprefix-end-to-end")],
                          stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=300)
    (OUT / "demo.out").write_text(demo.stdout + demo.stderr)
    assert (OUT / "figures.json").exists(), demo.stderr[-3000:]
    figures = json.loads((OUT / "figures.json").read_text())
    figures["log"] = (OUT / "Log.txt").read_text(encoding="utf-8", errors="replace")
    figures["by_kind"] = {f["kind"]: f for f in figures["flights"]}
    return figures


def test_each_accepted_flight_is_created_half_a_minute_after_its_first_datagram_with_its_livery(run):
    for kind in ("arrival", "departure", "overflight"):
        f = run["by_kind"][kind]
        assert f["status"] == "created", (kind, f.get("why_not"))
        assert CREATED_AFTER_S[0] <= f["created_after_s"] <= CREATED_AFTER_S[1], (kind, f["created_after_s"])
        assert f["title"] == f["expected_title"], kind
        assert f["livery_category"] == f["category"], kind
        assert f["lives"] == 1, kind


def test_the_scan_gives_no_livery_another_type_or_an_airline_its_title_does_not_name(run):
    conversions = OUT / "program" / "output" / "info" / "AirlineModelConversions.txt"
    lines = conversions.read_text(encoding="utf-8", errors="replace").splitlines() if conversions.exists() else []
    assert [line for line in lines if " model " in line] == []
    # The registration's airline taken over by its operator, which the title names.
    assert [line for line in lines if " airl " in line and line.split()[-1] not in line.split(" airl ")[0]] == []


def test_the_flight_of_an_unknown_type_is_refused_and_explained_and_the_readers_stay_up(run):
    refused = run["by_kind"]["refused"]
    assert refused["status"] == "refused" and refused["lives"] == 0
    assert "not in the aircraft database" in refused["why_not"]
    assert run["totals"]["unexplained"] == 0 and run["totals"]["not_due"] + run["totals"]["not_reported"] == 0
    assert "has stopped with error" not in run["log"]
    assert run["link_problems"] == [] and run["sim_problems"] == []


def test_a_bound_object_is_released_frozen_given_its_plan_and_lights_and_moved_every_frame(run):
    for kind in ("arrival", "departure", "overflight"):
        f = run["by_kind"][kind]
        events = set(f["events"])
        assert {"creation", "release", "flight plan"} <= events, (kind, events)
        assert {"FREEZE_LATITUDE_LONGITUDE_SET", "FREEZE_ALTITUDE_SET", "FREEZE_ATTITUDE_SET"} <= events, (kind, events)
        assert any("LIGHT" in e for e in events), (kind, events)
        # The frame drain skips a frame whose queues the worker holds at that moment (the next
        # frame carries the position on, without a jump): rarely, and on a loaded machine
        # never for more than a quarter of a second.
        assert f["longest_gap_frames"] <= 7 and f["frames_without_position"] <= f["frames"] // 20, kind


def test_the_overflight_keeps_its_level_within_the_limits_and_is_removed_in_time(run):
    overflight = run["by_kind"]["overflight"]
    assert overflight["air_error_m"]["n"] > 100 and overflight["over_limits"] == []
    assert SHIFT_S <= overflight["removed_after_last_s"] <= REMOVED_AFTER_LAST_S


def test_the_arrival_lands_on_the_runway_and_taxis_within_the_limits(run):
    arrival = run["by_kind"]["arrival"]
    assert {"touchdown", "stand"} <= set(arrival["completed"])
    assert arrival["taxi_cross_track_m"]["n"] > 50
    assert [x for x in arrival["over_limits"] if not x.startswith("stand ")] == []


def test_the_arrival_parks_within_2_m_and_1_degree_of_its_stand(run):
    assert [x for x in run["by_kind"]["arrival"]["over_limits"] if x.startswith("stand ")] == []


def test_the_departure_is_born_at_its_stand_and_pushed_back(run):
    departure = run["by_kind"]["departure"]
    assert {"push_back", "lift_off", "climb"} <= set(departure["completed"])
    assert departure["started_at_stand_m"] <= 2.0
    assert departure["pushed_back_m"] >= 20.0


def test_the_departure_pushes_back_taxis_and_climbs_past_3000_ft_from_the_runway_within_the_limits(run):
    departure = run["by_kind"]["departure"]
    assert departure["push_back_off_m"] <= 30.0
    assert (departure["lift_off"] or {}).get("inside_runway") and departure["climbed_past_ft"]
    assert departure["over_limits"] == []


def test_the_static_aircraft_stand_at_their_stands_and_no_two_aircraft_within_collision_distance(run):
    totals = run["totals"]
    assert totals["statics_planned"] >= 4
    assert totals["statics_created"] == totals["statics_planned"] == totals["statics_standing"]
    assert totals["statics_at_their_stand"] == totals["statics_created"]
    for static in run["statics"]["aircraft"]:
        assert static["stand"] == static["planned_stand"] and static["livery_category"] == static["category"], static
    assert run["collisions"]["checked"] > 1000 and run["collisions"]["too_close"] == []


def test_wm_close_says_exit_removes_what_it_made_keeps_its_files_and_ends_with_zero(run):
    assert run["closed_by"] == "WM_CLOSE" and run["exit_code"] == 0
    assert run["link_lines"][-1] == "exit"
    assert run["present_at_close"] >= 1 and run["removed_at_close"] == run["present_at_close"]
    roaming = next(p for p in (BUILD_DIR / "wineprefix-end-to-end" / "drive_c" / "users").iterdir() if p.name != "Public")
    parameters = ET.parse(roaming / "AppData" / "Roaming" / "Tavelorium_P3D" / "parameters.xml").getroot()
    assert any(p.get("name") == "SIM_INSTALL_PATH" for p in parameters.iter("parameter"))


def test_the_learned_file_keeps_the_statics_flights_and_learns_the_arrivals_stand(run):
    learned = list((OUT / "program" / "airports" / "learned").rglob("EHAM.xml"))
    assert len(learned) == 1
    root = ET.parse(learned[0]).getroot()
    flights = {(p.get("id"), o.get("reg")) for p in root.iter("parkpos") for o in p.iter("opt")}
    scenario = json.loads((OUT / "scenario.json").read_text())
    assert {(e["stand"], e["registration"]) for e in scenario["statics"]} <= flights
    arrival = run["by_kind"]["arrival"]
    assert (arrival["stand_id"], arrival["registration"]) in flights
