"""The "SimClient" thread (run by the sim_client_probe program, natively or under Wine)
against the simulator stand-in playing a flight."""
import collections
import json
import math
import re

import pytest

from standins import programs
from standins.sim_flight import Simulator

CLOCK_LINE = r"\d\d:\d\d:\d\d Flight Simulator no longer connected, Tavelorium_P3D will stop \.\.\."


def run(server, folder, *commands, options=(), timeout=90):
    """Runs the probe in `folder` against the stand-in; its output lines and Log.txt."""
    (folder / "SimConnect.cfg").write_text(
        f"[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort={server.port}\nDisableNagle=1\n", encoding="ascii")
    p = programs.run("sim_client_probe", *options, *commands, cwd=folder, timeout=timeout)
    out, err = p.stdout.decode("latin-1"), p.stderr.decode("latin-1")
    assert p.returncode == 0 and "ERROR: AddressSanitizer" not in err, (out, err)
    return out.splitlines(), (folder / "Log.txt").read_text(encoding="utf-8")


def state(lines):
    return dict(line[6:].split("=", 1) for line in lines if line.startswith("state "))


def play(server, tmp_path, flight=None, **kwargs):
    return Simulator(server, flight=flight, fps=60, track_log=str(tmp_path / "track.jsonl"), **kwargs)


# The 73 registrations, in order, with the names, units and types of every variable.
DEFINITIONS = [
    (407, "TITLE", "", 11), (408, "ATC MODEL", "", 6), (409, "SIM ON GROUND", "Bool", 2)] + [
    (402, name, units, 4) for name, units in (
        ("Plane Latitude", "degree"), ("Plane Longitude", "degree"), ("Plane Pitch degrees", "radians"),
        ("Plane Bank degrees", "radians"), ("Plane Heading degrees true", "radians"), ("Plane Altitude", "feet"),
        ("Vertical Speed", "feet per second"), ("Airspeed True", "knots"))] + [
    (403, name, units, 4) for name, units in (
        ("Plane Latitude", "degree"), ("Plane Longitude", "degree"), ("Plane Pitch degrees", "radians"),
        ("Plane Bank degrees", "radians"), ("Plane Heading degrees true", "radians"), ("Plane Altitude", "feet"),
        ("Plane Alt Above Ground", "feet"), ("Ground Velocity", "knots"))] + [
    (403, "ZULU TIME", "Seconds", 2), (403, "ZULU DAY OF YEAR", "Number", 2), (403, "ZULU YEAR", "Number", 2),
    (403, "LIGHT STATES", "Mask", 2), (405, "Static CG to Ground", "feet", 4), (405, "Static Pitch", "radians", 4),
    (406, "Light On States", "Mask", 2), (404, "Plane Alt Above Ground", "feet", 4),
    (404, "Ground Altitude", "feet", 4), (404, "SIM ON GROUND", "Bool", 2), (404, "ATC ID", "", 6),
    (401, "SPOILERS HANDLE POSITION", "percent", 4), (401, "GENERAL ENG THROTTLE LEVER POSITION:1", "percent", 4),
    (401, "GENERAL ENG THROTTLE LEVER POSITION:2", "percent", 4)]
CLIENT_EVENTS = [(220, "GEAR_SET"), (221, "ENGINE_AUTO_START"), (222, "ENGINE_AUTO_SHUTDOWN"), (223, "THROTTLE_SET"),
                 (218, "FLAPS_SET"), (219, "SPOILERS_SET"), (208, "NAV_LIGHTS_SET"), (207, "BEACON_LIGHTS_SET"),
                 (211, "LANDING_LIGHTS_SET"), (209, "TAXI_LIGHTS_SET"), (210, "STROBES_SET"),
                 (213, "LOGO_LIGHTS_SET"), (212, "CABIN_LIGHTS_SET"), (214, "ALL_LIGHTS_TOGGLE"),
                 (215, "FREEZE_LATITUDE_LONGITUDE_SET"), (216, "FREEZE_ALTITUDE_SET"), (217, "FREEZE_ATTITUDE_SET")]


def test_registers_everything_once_in_order_and_closes_on_stop(server, tmp_path):
    sim = play(server, tmp_path)
    lines, log = run(server, tmp_path, "start", "wait-running", "10000", "stop")
    sim.stop()
    assert lines[0] == "running 1"
    r = server.records
    assert [x.name for x in r[:74]] == ["Open"] + ["SubscribeToSystemEvent"] * 6 + ["AddToDataDefinition"] * 33 + [
        "MapClientEventToSimEvent"] * 17 + ["AddClientEventToNotificationGroup"] * 16 + ["SetNotificationGroupPriority"]
    assert [(x.fields["event_id"], x.fields["event_name"]) for x in r[1:7]] == [
        (201, "Sim"), (202, "ObjectAdded"), (203, "ObjectRemoved"), (205, "PositionChanged"), (206, "FlightLoaded"),
        (204, "Frame")]
    assert [(x.fields["define_id"], x.fields["variable_name"], x.fields["units_name"], x.fields["data_type"])
            for x in r[7:40]] == DEFINITIONS
    assert {(x.fields["epsilon"], x.fields["datum_id"]) for x in r[7:40]} == {(0.0, 0xFFFFFFFF)}
    assert [(x.fields["event_id"], x.fields["event_name"]) for x in r[40:57]] == CLIENT_EVENTS
    assert [(x.fields["group_id"], x.fields["event_id"], x.fields["maskable"]) for x in r[57:73]] == [
        (301, e, 1) for e in (208, 207, 211, 209, 210, 213, 212, 214, 218, 219, 220, 222, 223, 215, 216, 217)]
    assert r[73].fields == {"group_id": 301, "priority": 1}
    assert len(r) == 74 and server.problems == []
    assert log.splitlines()[1:] == ["Waiting for Prepar3Dv5 ...", "Lockheed Martin Prepar3D v5 (5.3.17.28160) connected",
                                    "SimConnect closed ok"]
    assert server.clients[0].closed.wait(5)


# Which names and versions are refused, with which texts, is the dispatch's (sim_dispatch_test).
def test_a_wrong_simulator_ends_the_thread_with_its_error_and_no_restart(server, tmp_path):
    server.open_fields["application_name"] = "KittyHawk"
    lines, log = run(server, tmp_path, "start", "wait-ended", "10000", "title-model", "stop")
    assert lines[0] == "ended 1"
    assert state(lines)["error"] == "78: KittyHawk, (MSFS) not being P3D connects ... ?"
    assert state(lines)["reason"] == "NOT YET SET"
    assert "SimConnect closed ok" in log and server.clients[0].closed.wait(5)
    assert [x.name for x in server.records if x.name == "RequestDataOnSimObject"] == []


def test_a_simulator_that_quits_ends_the_run_as_sim_was_closed(server, tmp_path):
    sim = play(server, tmp_path, {"events": [{"t": 1.0, "do": "quit"}]})
    lines, log = run(server, tmp_path, "start", "wait-running", "10000", "ground", "follow", "300", "wait-stop",
                     "10000", "stop")
    sim.stop()
    assert "stop SIM WAS CLOSED 0" in lines
    assert len(re.findall(CLOCK_LINE, log)) == 1, log
    assert state(lines)["running"] == "0" and state(lines)["connected"] == "0"


# Paused, nothing is asked of the simulator: only the connection tells that it is gone.
@pytest.mark.parametrize("fault", ["fin", "rst"])
@pytest.mark.parametrize("paused", [False, True])
def test_a_connection_that_drops_restarts_the_run_also_while_paused(server, tmp_path, fault, paused):
    pause = [{"t": 1.0, "do": "pause"}] if paused else []
    sim = play(server, tmp_path, {"events": pause + [{"t": 1.0, "do": fault}]})
    worker = () if paused else ("ground", "follow", "5000")
    lines, log = run(server, tmp_path, "start", "wait-running", "10000", *worker, "wait-stop", "10000", "stop")
    sim.stop()
    assert "stop SIMCONNECT ERROR 9" in lines
    assert re.findall(CLOCK_LINE, log) == [], log


def test_an_empty_atc_model_shows_error_71_while_the_worker_goes_on_requesting(server, tmp_path):
    sim = play(server, tmp_path, {"atc_model": ""})
    lines, log = run(server, tmp_path, "start", "wait-running", "10000", "ground", "range", "title-model",
                     "follow", "1000", "wait-ended", "5000", "follow", "500", "stop")
    sim.stop()
    assert "ended 1" in lines
    s = state(lines)
    assert s["error"] == "71: atc_model= in [General] section of your aircraft.cfg is empty or missing"
    assert (s["reason"], s["failed"]) == ("NOT YET SET", "0")
    assert "SimConnect request error" not in log and server.problems == []


FLIGHT = {
    "title": ("Boeing 737-800 KLM Royal Dutch Airlines " + "x" * 60)[:60],
    "atc_model": "B738", "zulu_start": "2024-02-29T23:59:50", "ground_ft": 10.0,
    "keyframes": [
        {"t": 0, "lat": 52.30, "lon": 4.76, "alt_ft": 10.0, "heading_deg": 350, "gs_kt": 0, "on_ground": True},
        {"t": 3, "lat": 52.30, "lon": 4.76, "alt_ft": 10.0, "heading_deg": 10, "gs_kt": 15, "on_ground": True},
        {"t": 6, "lat": 52.31, "lon": 4.76, "alt_ft": 10.0, "heading_deg": 10, "gs_kt": 150, "on_ground": False},
        {"t": 9, "lat": 52.33, "lon": 4.77, "alt_ft": 3000.0, "heading_deg": 20, "gs_kt": 250, "on_ground": False},
        {"t": 11, "lat": 52.60, "lon": 4.77, "alt_ft": 3000.0, "heading_deg": 20, "gs_kt": 250, "jump": True}],
    "events": [{"t": 4, "do": "stall", "seconds": 2}, {"t": 5, "do": "unknown", "id": 10}],
}


def test_the_user_flight_is_followed_until_a_jump_ends_it(server, tmp_path):
    sim = play(server, tmp_path, FLIGHT)
    lines, log = run(server, tmp_path, "start", "wait-running", "10000", "ground", "title-model", "follow", "60000",
                     "wait-stop", "1000", "stop", options=("--professional", "1"))
    sim.stop()
    cycles = int(lines[1].split("=")[1])
    assert sim.answers[108] - 2 <= cycles <= sim.answers[108]
    assert "stop NEW FLIGHT 30" in lines and "Teleport" in log and "! Unknown Dispatch dwID 10" in log
    s = state(lines)
    assert s["title"] == FLIGHT["title"][:48] and s["user"] == "1"
    # The zulu clock passed midnight into 1 March.
    assert 1709251200 < int(s["unix"]) <= 1709251200 + 15
    assert "SimConnect: User aircraft model: B738" in log


def test_each_refused_creation_is_reported_with_its_hexid_while_another_thread_sends(server, tmp_path):
    sim = play(server, tmp_path, creation_fault=lambda tail: "exception")
    lines, _ = run(server, tmp_path, "start", "wait-running", "10000", "sets", "create", "1000", "X", "events", "1000",
                   "60000", "stop", timeout=120)
    sim.stop()
    events = [line for line in lines if line.startswith("event ")]
    assert sorted(events) == sorted(f"event kind=6 object=0 hexid={10001 + i}" for i in range(1000))
    assert server.problems == []


def test_objects_are_bound_moved_lit_and_removed_as_the_track_log_shows(server, tmp_path):
    faults = {"F-STAR0": "star", "F-OTHER0": "other_atc_id", "F-HIDDEN0": "hidden"}
    flight = {"objects": [{"tail": "DLH4AB", "lat": 52.31, "lon": 4.76, "alt_ft": 1000}],
              "events": [{"t": 0.5, "do": "foreign", "tail": "EZY12", "lat": 52.29, "lon": 4.75}]}
    sim = play(server, tmp_path, flight, creation_fault=faults.get)
    fly = tmp_path / "fly.jsonl"
    lines, log = run(server, tmp_path, "start", "wait-running", "10000", "range", "create", "20", "KLM", "events",
                     "20", "20000", "create", "1", "F-STAR", "create", "1", "F-OTHER", "create", "1", "F-HIDDEN",
                     "sleep", "1000", "fly", "600", str(fly), "remove-all", "events", "20", "10000", "stop")
    sim.stop()
    bound = dict(re.findall(r"event kind=0 object=(\d+) hexid=(\d+)", "\n".join(lines)))
    assert sorted(bound.values()) == [str(10001 + i) for i in range(20)]
    removed = re.findall(r"event kind=2 object=(\d+)", "\n".join(lines))
    assert sorted(removed) == sorted(bound)
    assert any(line.startswith("event kind=3") for line in lines), lines
    assert log.count("just spawned, but not by Tavelorium_P3D") == 3  # the star, the other ATC ID, EZY12

    queued, logged = collections.defaultdict(list), collections.defaultdict(list)
    events = collections.defaultdict(list)
    for q in map(json.loads, fly.read_text().splitlines()):
        queued[q["object"]].append((q["lat"], q["lon"], q["alt_ft"], math.degrees(q["pitch"]),
                                    math.degrees(q["bank"]), math.degrees(q["heading"])))
    for t in map(json.loads, (tmp_path / "track.jsonl").read_text().splitlines()):
        events[t["object"]] += t["events"]
        if t["moved"]:
            logged[t["object"]].append((t["lat"], t["lon"], t["alt_ft"], t["pitch_deg"], t["bank_deg"],
                                        t["heading_deg"]))
    assert sorted(queued) == sorted(map(int, bound))
    for object_id, positions in queued.items():
        # A frame that finds no newer set than the last frame's sends that one again.
        sets = [p for i, p in enumerate(logged[object_id]) if i == 0 or p != logged[object_id][i - 1]]
        assert len(positions) == 600 and sets == positions, object_id
        assert events[object_id] == ["creation", "release", "FREEZE_LATITUDE_LONGITUDE_SET=1",
                                     "FREEZE_ALTITUDE_SET=1", "FREEZE_ATTITUDE_SET=1", "NAV_LIGHTS_SET=1",
                                     "BEACON_LIGHTS_SET=1", "LANDING_LIGHTS_SET=0", "TAXI_LIGHTS_SET=1",
                                     "STROBES_SET=0", "LOGO_LIGHTS_SET=1", "CABIN_LIGHTS_SET=1", "removal"]
    assert server.problems == []


def test_every_frame_carries_the_newest_positions_while_the_worker_holds_the_queues(server, tmp_path):
    """The worker holds the queues' mutex for 6 ms of each 10 ms tick; at 30 frames a second
    each frame still sets every moving object. A set may arrive a frame late (the frames
    are counted where they arrive), but none may be missing."""
    sim = Simulator(server, fps=30, track_log=str(tmp_path / "track.jsonl"))
    lines, _ = run(server, tmp_path, "start", "wait-running", "10000", "range", "create", "5", "KLM", "events", "5", "20000",
                   "busy-worker", "5000", "6", "stop")
    sim.stop()
    moved = collections.defaultdict(list)
    for t in map(json.loads, (tmp_path / "track.jsonl").read_text().splitlines()):
        if t["moved"]:
            moved[t["object"]].append(t["frame"])
    assert len(moved) == 5, lines
    for object_id, frames in moved.items():
        span = frames[-1] - frames[0] + 1
        assert span >= 120 and len(frames) >= span - 2, (object_id, len(frames), span)
    assert server.problems == []


def frames_without_a_new_position(track_path):
    """Per moved object: the stand-in's frames between its first and its last position set
    in which no new set (one that differs from the object's one before) arrived, and all
    its frames."""
    new = collections.defaultdict(set)
    last = {}
    for t in map(json.loads, track_path.read_text().splitlines()):
        if not t["moved"]:
            continue
        position = (t["lat"], t["lon"], t["alt_ft"], t["heading_deg"])
        if last.get(t["object"]) != position:
            new[t["object"]].add(t["frame"])
        last[t["object"]] = position
    return {o: (max(f) - min(f) + 1 - len(f), max(f) - min(f) + 1) for o, f in new.items()}


def test_frames_follow_one_another_while_in_range_replies_of_ten_objects_come_every_100_ms(server, tmp_path):
    """The worker hands over new positions every 10 ms; the replies to its in-range
    requests (11 messages each) must not hold up the next frame event, or that frame finds
    no newer positions than the one before it (121 of 1,000 frames with the stand-in's
    sends left to Nagle's algorithm). A loaded machine may hold up one frame now and
    then, for every object at once: up to 1 in 100 is allowed."""
    sim = Simulator(server, fps=30, track_log=str(tmp_path / "track.jsonl"))
    lines, _ = run(server, tmp_path, "start", "wait-running", "10000", "range", "create", "10", "KLM", "events", "10",
                   "20000", "busy-worker", "20000", "0", "stop")
    sim.stop()
    counts = frames_without_a_new_position(tmp_path / "track.jsonl")
    assert len(counts) == 10, lines
    missing, frames = (sum(c[i] for c in counts.values()) for i in (0, 1))
    print(f"frames without a new position: {missing} of {frames}")
    assert frames >= 10 * 500 and missing * 100 <= frames, counts
    assert server.problems == []


def asked_for(server):
    """The requests for one object by its id made on the client's own (request 111)."""
    return [r for r in server.records if r.name == "RequestDataOnSimObject" and r.fields["request_id"] == 111]


def created(server, tail):
    """The time the creation of this tail number arrived."""
    return next(r.time for r in server.records if r.name == "AICreateNonATCAircraft"
                and r.fields["tail_number"] == tail)


def released(server, object_id):
    return [r.time for r in server.records if r.name == "AIReleaseControl" and r.fields["object_id"] == object_id]


# 52.6 N lies 33 km north of the user at 52.3 N, beyond the 20 km the in-range replies cover.
def test_an_aircraft_created_outside_the_in_range_radius_is_asked_for_once_bound_and_moved(server, tmp_path):
    sim = play(server, tmp_path)
    fly = tmp_path / "fly.jsonl"
    lines, log = run(server, tmp_path, "start", "wait-running", "10000", "range", "create", "1", "NEAR", "create-at",
                     "1", "FAR", "52.6", "4.76", "events", "2", "10000", "fly", "60", str(fly), "remove-all",
                     "events", "2", "10000", "stop")
    sim.stop()
    track = [json.loads(t) for t in (tmp_path / "track.jsonl").read_text().splitlines()]
    ids = {t["tail"]: t["object"] for t in track if "tail" in t}
    near, far = ids["NEAR0"], ids["FAR0"]
    bound = dict(re.findall(r"event kind=0 object=(\d+) hexid=(\d+)", "\n".join(lines)))
    assert bound == {str(near): "10001", str(far): "10001"}, lines
    assert sorted(re.findall(r"event kind=2 object=(\d+)", "\n".join(lines))) == sorted(bound)
    # Only the object the replies never show is asked for, once, a few seconds after it came.
    asks = asked_for(server)
    assert [(a.fields["object_id"], a.fields["define_id"], a.fields["period"]) for a in asks] == [(far, 404, 1)]
    assert 2.5 <= asks[0].time - created(server, "FAR0") <= 4.0
    assert f"SimConnect: object {far} not within range " in log
    assert re.search(rf"SimConnect: object {far} not within range \d+\.\d s after it was added, asked for, "
                     rf"send id {asks[0].send_id}\n", log), log
    assert len(released(server, far)) == 1 and released(server, far)[0] >= asks[0].time
    events = [e for t in track if t["object"] == far for e in t["events"]]
    assert events[:5] == ["creation", "release", "FREEZE_LATITUDE_LONGITUDE_SET=1", "FREEZE_ALTITUDE_SET=1",
                          "FREEZE_ATTITUDE_SET=1"] and events[-1] == "removal"
    assert len([t for t in track if t["object"] == far and t["moved"]]) >= 50
    assert "just spawned, but not by" not in log and server.problems == []


def test_an_aircraft_asked_for_without_answer_binds_once_an_in_range_reply_shows_it(server, tmp_path):
    # The user flies to the object 12 s after the start: from then on the replies list it.
    flight = {"keyframes": [{"t": 0, "lat": 52.3, "lon": 4.76, "alt_ft": 3000.0, "gs_kt": 250},
                            {"t": 12, "lat": 52.3, "lon": 4.76, "alt_ft": 3000.0, "gs_kt": 250},
                            {"t": 12.1, "lat": 52.55, "lon": 4.76, "alt_ft": 3000.0, "gs_kt": 250, "jump": True}]}
    sim = play(server, tmp_path, flight, creation_fault={"FAR0": "unanswered"}.get)
    lines, log = run(server, tmp_path, "start", "wait-running", "10000", "range", "create-at", "1", "FAR", "52.6",
                     "4.76", "events", "1", "30000", "stop")
    sim.stop()
    far = int(re.findall(r"event kind=0 object=(\d+) hexid=10001", "\n".join(lines))[0])
    asks = asked_for(server)
    assert [a.fields["object_id"] for a in asks] == [far]
    assert re.search(rf"SimConnect: object {far} not within range .* send id {asks[0].send_id}\n", log), log
    # Bound by the reply that showed it at last, not before.
    assert len(released(server, far)) == 1 and released(server, far)[0] - created(server, "FAR0") >= 10.0
    assert "just spawned, but not by" not in log and server.problems == []
