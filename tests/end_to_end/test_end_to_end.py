"""The whole chain: the real program under Wine, the RealTraffic stand-in sending the short
scenario (an arrival to a stand, a departure with push-back, an overflight and a flight of
a type the database does not know), the simulator stand-in recording what the program made
of it. One run of about three minutes; the checks read its figures (tracks.py) and logs."""
import json
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

import pytest

from standins import programs
from standins.program_session import SOURCE_DIR

pytestmark = pytest.mark.skipif(not programs.IS_WINDOWS, reason="the program runs in the Windows build")
# Until the engine's stands are on this branch an aircraft is not born at a stand and
# learns nothing there.
STANDS_READY = True
needs_stands = pytest.mark.skipif(not STANDS_READY, reason="the engine's stands are not built yet")

BUILD_DIR = programs.BUILD_DIR.resolve()
OUT = BUILD_DIR / "end-to-end"

# A record is due 30 s after its timestamp, and a buffered aircraft standing or flying is
# spawned 100 ticks (1 s) before its first sample is due: 29 s, plus the simulator's answer.
CREATED_AFTER_S = (28.5, 32.0)
# Motion limits: metres, feet, feet per minute, degrees.
CROSS_TRACK_TAXI_M = 30.0
AIRBORNE_M, AIRBORNE_FT = 150.0, 100.0
TOUCHDOWN_FPM = 600.0
STAND_M, STAND_DEG = 2.0, 1.0
# Received positions are flown 30 s late; once they stop an airborne aircraft is carried on
# by 8 synthetic samples 8 s apart before it goes, and one removal leaves per 10 ticks.
SHIFT_S = 30.0
REMOVED_AFTER_LAST_S = SHIFT_S + 8 * 8.0 + 5.0


@pytest.fixture(scope="module")
def run():
    shutil.rmtree(OUT, ignore_errors=True)
    OUT.mkdir(parents=True)
    data = OUT / "data"
    made = programs.run("livery_scan_probe", "data", programs.host_path(SOURCE_DIR / "tools"), programs.host_path(data),
                        "4000", timeout=180)
    assert made.returncode == 0, made.stdout
    liveries = OUT / "liveries"
    subprocess.run(["/usr/bin/python3", str(SOURCE_DIR / "demo" / "standins" / "livery_collection.py"),
                    "--data", str(data / "site" / "11"), "--out", str(liveries), "--lfolders", "1", "--folders", "40",
                    "--sections", "300", "--fault-rate", "0.0001", "--no-unreadable"], check=True, capture_output=True,
                   timeout=120)
    demo = subprocess.run([sys.executable, str(SOURCE_DIR / "demo" / "chain.py"), "--kind", "short",
                           "--build", str(BUILD_DIR), "--site", str(data / "site" / "11"), "--liveries", str(liveries),
                           "--out", str(OUT), "--prefix", str(BUILD_DIR / "wineprefix-end-to-end"), "--minutes", "2.9"],
                          stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=235)
    (OUT / "demo.out").write_text(demo.stdout + demo.stderr)
    assert (OUT / "figures.json").exists(), demo.stderr[-3000:]
    figures = json.loads((OUT / "figures.json").read_text())
    figures["log"] = (OUT / "Log.txt").read_text(encoding="utf-8", errors="replace")
    figures["by_kind"] = {f["kind"]: f for f in figures["flights"]}
    return figures


def test_each_accepted_flight_is_created_half_a_minute_after_its_first_datagram_with_its_livery(run):
    for kind in ("arrival", "departure", "overflight"):
        f = run["by_kind"][kind]
        assert f.get("object") is not None, (kind, f.get("why_not"))
        assert CREATED_AFTER_S[0] <= f["created_after_s"] <= CREATED_AFTER_S[1], (kind, f["created_after_s"])
        assert f["title"] == f["expected_title"], kind
        assert f["lives"] == 1, kind


def test_the_flight_of_an_unknown_type_creates_nothing_and_the_readers_stay_up(run):
    refused = run["by_kind"]["refused"]
    assert refused.get("object") is None and refused["lives"] == 0
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


def test_motion_stays_within_the_limits(run):
    for kind in ("arrival", "departure", "overflight"):
        f = run["by_kind"][kind]
        assert f["excess_steps"] == 0, kind
        if f["taxi_cross_track_m"]["n"]:
            assert f["taxi_cross_track_m"]["max"] <= CROSS_TRACK_TAXI_M, kind
        if f["air_error_m"]["n"]:
            assert f["air_error_m"]["max"] <= AIRBORNE_M, kind
            assert f["air_error_ft"]["max"] <= AIRBORNE_FT, kind
    assert run["by_kind"]["overflight"]["air_error_m"]["n"] > 100
    arrival = run["by_kind"]["arrival"]
    assert arrival["taxi_cross_track_m"]["n"] > 50
    assert arrival["touchdown"]["inside_runway"] and -arrival["touchdown"]["rate_fpm"] <= TOUCHDOWN_FPM
    assert arrival["stand"]["distance_m"] <= STAND_M and arrival["stand"]["heading_off_deg"] <= STAND_DEG


# After its push-back the departure joins its taxi at the reported speed and lifts off
# within the run.
def test_the_departure_takes_off_from_the_runway(run):
    assert run["by_kind"]["departure"]["lift_off"]["inside_runway"]


@needs_stands
def test_the_departure_is_born_at_its_stand_and_pushed_back(run):
    departure = run["by_kind"]["departure"]
    assert departure["started_at_stand_m"] <= STAND_M
    assert departure["pushed_back_m"] >= 20.0


def test_an_object_whose_datagrams_stop_is_removed_in_time(run):
    overflight = run["by_kind"]["overflight"]
    assert overflight["removed_after_last_s"] is not None
    assert SHIFT_S <= overflight["removed_after_last_s"] <= REMOVED_AFTER_LAST_S


def test_wm_close_says_exit_removes_what_it_made_keeps_its_files_and_ends_with_zero(run):
    assert run["closed_by"] == "WM_CLOSE" and run["exit_code"] == 0
    assert run["link_lines"][-1] == "exit"
    assert run["present_at_close"] >= 1 and run["removed_at_close"] == run["present_at_close"]
    roaming = next(p for p in (BUILD_DIR / "wineprefix-end-to-end" / "drive_c" / "users").iterdir() if p.name != "Public")
    parameters = ET.parse(roaming / "AppData" / "Roaming" / "Tavelorium_P3D" / "parameters.xml").getroot()
    assert any(p.get("name") == "SIM_INSTALL_PATH" for p in parameters.iter("parameter"))
    assert list((OUT / "program" / "airports" / "learned").rglob("EHAM.xml"))


@needs_stands
def test_the_stand_the_arrival_parked_at_is_learned(run):
    learned = list((OUT / "program" / "airports" / "learned").rglob("EHAM.xml"))
    stand = next(p for p in ET.parse(learned[0]).getroot().iter("parkpos") if p.find("opt") is not None)
    assert stand.get("id") == run["by_kind"]["arrival"]["stand_id"]
