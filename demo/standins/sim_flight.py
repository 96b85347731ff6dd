"""A simulator that plays a flight on the SimConnect stand-in: a simulated clock sending
frames, the user aircraft flown from a script, AI objects that the client creates, moves
and removes, other clients' objects, and a JSONL track log. See simconnect.md.

    sim = Simulator(server, flight={...} or "flight.json", fps=60, track_log="track.jsonl")
    ...
    sim.stop()
"""
import collections
import datetime
import json
import math
import struct
import threading
import time

from standins.simconnect_server import build

NUMBERS = {1: "<i", 2: "<q", 3: "<f", 4: "<d"}
STRINGS = {5: 8, 6: 32, 7: 64, 8: 128, 9: 256, 10: 260}
STRINGV = 11
# Held in degrees; sent in radians when a definition asks for radians.
ANGLES = {"PLANE LATITUDE", "PLANE LONGITUDE", "PLANE PITCH DEGREES", "PLANE BANK DEGREES",
          "PLANE HEADING DEGREES TRUE", "STATIC PITCH"}
PERIOD_NEVER, PERIOD_ONCE, PERIOD_VISUAL_FRAME, PERIOD_SIM_FRAME, PERIOD_SECOND = range(5)
FIRST_AI_OBJECT = 100
USER_OBJECT = 1
EARTH_RADIUS_M = 6371008.8
# Creation faults: never in an in-range reply, or no answer to a request for the object by its id.
UNLISTED = ("unlisted", "hidden")
UNANSWERED = ("unanswered", "hidden")

DEFAULT_FLIGHT = {
    "title": "Boeing 737-800 Paint1", "atc_model": "B738", "atc_id": "PH-USR", "zulu_start": "2024-01-01T10:00:00",
    "ground_ft": 0.0, "text_encoding": "utf-8", "sim_running": True,
    "keyframes": [{"t": 0, "lat": 52.3, "lon": 4.76, "alt_ft": 0.0, "heading_deg": 0.0, "gs_kt": 0.0,
                   "on_ground": True}],
    "events": [], "objects": [],
}


def distance_m(lat1, lon1, lat2, lon2):
    p1, p2 = math.radians(lat1), math.radians(lat2)
    a = math.sin((p2 - p1) / 2) ** 2 + math.cos(p1) * math.cos(p2) * math.sin(math.radians(lon2 - lon1) / 2) ** 2
    return 2 * EARTH_RADIUS_M * math.asin(min(1.0, math.sqrt(a)))


class AiObject:
    def __init__(self, object_id, tail, title, values, owner=None, fault=None):
        self.id, self.tail, self.title, self.owner, self.fault = object_id, tail, title, owner, fault
        self.values = values
        self.atc_id = {"other_atc_id": "OTHER" + str(object_id), "star": tail + "*"}.get(fault, tail)
        self.events = []
        self.positions = []


class Simulator:
    """Hooks itself onto a SimConnectServer. `creation_fault` (a function of the tail number
    giving None, "exception", "other_atc_id", "star", "unlisted", "unanswered" or "hidden")
    scripts each creation."""

    def __init__(self, server, flight=None, fps=60, track_log=None, creation_fault=None, first_object=FIRST_AI_OBJECT):
        if isinstance(flight, str):
            with open(flight, encoding="utf-8") as f:
                flight = json.load(f)
        self.flight = dict(DEFAULT_FLIGHT, **(flight or {}))
        self.server, self.fps = server, fps
        self.creation_fault = creation_fault or (lambda tail: self.flight.get("creation_faults", {}).get(tail))
        self.zulu_start = datetime.datetime.fromisoformat(self.flight["zulu_start"])
        self.lock = threading.RLock()
        self.frame = 0
        self.sim_seconds = 0.0
        self.running = self.flight["sim_running"]
        self.stalled_until = -1.0
        self.started = False
        self.objects = {}
        self.answers = collections.Counter()  # object data sent, by request id
        self.next_object = first_object  # a restarted simulator (the demo's soak) numbers on
        self.clients = {}  # client index -> per-client registrations
        self.pending_events = sorted(self.flight["events"], key=lambda e: e["t"])
        # A path, or an open file that the caller keeps (and closes).
        self.own_track = isinstance(track_log, str)
        self.track = open(track_log, "w", encoding="utf-8") if self.own_track else track_log
        for o in self.flight["objects"]:
            self.add_foreign(o["tail"], o["lat"], o["lon"], o.get("alt_ft", self.flight["ground_ft"]),
                             o.get("on_ground", True), announce=False)
        for name, hook in (("SubscribeToSystemEvent", self._subscribe), ("AddToDataDefinition", self._define),
                           ("MapClientEventToSimEvent", self._map_event),
                           ("RequestDataOnSimObject", self._request), ("RequestDataOnSimObjectType", self._in_range),
                           ("SetDataOnSimObject", self._set_data), ("AICreateNonATCAircraft", self._create),
                           ("AIRemoveObject", self._remove), ("AIReleaseControl", self._object_event),
                           ("TransmitClientEvent", self._object_event),
                           ("AISetAircraftFlightPlan", self._object_event)):
            server.on(name, hook)
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, name="sim-clock", daemon=True)
        self._thread.start()

    def stop(self):
        self._stop.set()
        self._thread.join(5)
        # The objects go with the simulator: the track log says so.
        with self.lock:
            for o in self.objects.values():
                o.events.append("vanished")
                self._write_track(o)
        if self.track and self.own_track:
            self.track.close()

    # The user aircraft.
    def user_state(self):
        """The user aircraft at the current simulated time, interpolated between keyframes."""
        frames, t = self.flight["keyframes"], self.sim_seconds
        k = max([i for i, f in enumerate(frames) if f["t"] <= t] or [0])
        a = frames[k]
        b = frames[k + 1] if k + 1 < len(frames) else a
        f = 0.0 if b is a or b.get("jump") or t <= a["t"] else (t - a["t"]) / (b["t"] - a["t"])
        mix = {key: a.get(key, 0.0) + (b.get(key, 0.0) - a.get(key, 0.0)) * f
               for key in ("lat", "lon", "alt_ft", "gs_kt", "pitch_deg", "bank_deg")}
        turn = (b.get("heading_deg", 0.0) - a.get("heading_deg", 0.0) + 180.0) % 360.0 - 180.0
        mix["heading_deg"] = (a.get("heading_deg", 0.0) + turn * f) % 360.0
        mix["on_ground"] = a.get("on_ground", False)
        return mix

    def zulu(self):
        return self.zulu_start + datetime.timedelta(seconds=self.sim_seconds)

    def user_values(self):
        s, z, ground = self.user_state(), self.zulu(), self.flight["ground_ft"]
        return {"PLANE LATITUDE": s["lat"], "PLANE LONGITUDE": s["lon"], "PLANE PITCH DEGREES": s["pitch_deg"],
                "PLANE BANK DEGREES": s["bank_deg"], "PLANE HEADING DEGREES TRUE": s["heading_deg"],
                "PLANE ALTITUDE": s["alt_ft"], "PLANE ALT ABOVE GROUND": s["alt_ft"] - ground,
                "GROUND VELOCITY": s["gs_kt"], "AIRSPEED TRUE": s["gs_kt"],
                "ZULU TIME": z.hour * 3600 + z.minute * 60 + z.second, "ZULU DAY OF YEAR": z.timetuple().tm_yday,
                "ZULU YEAR": z.year, "LIGHT STATES": self.flight.get("light_states", 0),
                "SIM ON GROUND": int(s["on_ground"]), "TITLE": self.flight["title"],
                "ATC MODEL": self.flight["atc_model"], "ATC ID": self.flight["atc_id"], "GROUND ALTITUDE": ground}

    def values_of(self, object_id):
        if object_id in (0, USER_OBJECT):
            return self.user_values()
        o = self.objects.get(object_id)
        return None if o is None else o.values

    # Other clients' objects.
    def add_foreign(self, tail, lat, lon, alt_ft, on_ground=True, announce=True):
        with self.lock:
            o = self._new_object(tail, "foreign", lat, lon, alt_ft, on_ground)
            if announce:
                self._broadcast_object(o.id, "ObjectAdded")
            return o.id

    def _new_object(self, tail, title, lat, lon, alt_ft, on_ground, pitch=0.0, bank=0.0, heading=0.0, owner=None,
                    fault=None):
        values = {"PLANE LATITUDE": lat, "PLANE LONGITUDE": lon, "PLANE ALTITUDE": alt_ft,
                  "PLANE PITCH DEGREES": pitch, "PLANE BANK DEGREES": bank, "PLANE HEADING DEGREES TRUE": heading,
                  "SIM ON GROUND": int(on_ground), "GROUND ALTITUDE": self.flight["ground_ft"],
                  "PLANE ALT ABOVE GROUND": alt_ft - self.flight["ground_ft"], "TITLE": title,
                  "STATIC CG TO GROUND": 5.5, "STATIC PITCH": 0.5}
        o = AiObject(self.next_object, tail, title, values, owner, fault)
        values["ATC ID"] = o.atc_id
        self.next_object += 1
        self.objects[o.id] = o
        return o

    # Registrations of a client.
    def _registry(self, client):
        return self.clients.setdefault(client.index, {"client": client, "events": {}, "definitions": {},
                                                      "names": {}, "periodic": {}})

    def _subscribe(self, client, record):
        with self.lock:
            reg = self._registry(client)
            name = record.fields["event_name"]
            reg["events"][name] = record.fields["event_id"]
            if name == "Sim":
                self._send(client, "event", event_id=record.fields["event_id"], data=int(self.running))
            if name == "Frame":
                self.started = True

    def _define(self, client, record):
        f = record.fields
        with self.lock:
            self._registry(client)["definitions"].setdefault(f["define_id"], []).append(
                (f["variable_name"].upper(), f["units_name"].lower(), f["data_type"]))

    def _map_event(self, client, record):
        with self.lock:
            self._registry(client)["names"][record.fields["event_id"]] = record.fields["event_name"]

    @staticmethod
    def _send(client, name, payload=b"", **fields):
        """A client that went (or was made to go) gets nothing more."""
        if not client.closed.is_set():
            try:
                client.send(name, payload, **fields)
            except OSError:
                pass

    @staticmethod
    def _send_raw(client, data):
        try:
            client.send_raw(data, label=f"{len(data)} bytes")
        except OSError:
            pass

    def _event_id(self, reg, name):
        return reg["events"].get(name)

    # Data.
    def pack(self, variables, values):
        out = b""
        encoding = self.flight["text_encoding"]
        for name, units, data_type in variables:
            v = values.get(name, 0)
            if name in ANGLES and units.startswith("radian"):
                v = math.radians(v)
            if data_type in NUMBERS:
                out += struct.pack(NUMBERS[data_type], int(v) if data_type in (1, 2) else float(v))
            elif data_type in STRINGS:
                out += str(v).encode(encoding)[:STRINGS[data_type] - 1].ljust(STRINGS[data_type], b"\0")
            elif data_type == STRINGV:
                out += str(v).encode(encoding) + b"\0"
            else:
                self.server.problem(f"data type {data_type} of {name} not served")
        return out

    def unpack(self, variables, data):
        values, at = {}, 0
        for name, units, data_type in variables:
            if data_type not in NUMBERS:
                self.server.problem(f"set data of {name} type {data_type} not understood")
                return values
            fmt = NUMBERS[data_type]
            v = struct.unpack_from(fmt, data, at)[0]
            at += struct.calcsize(fmt)
            values[name] = math.degrees(v) if name in ANGLES and units.startswith("radian") else v
        return values

    def _answer(self, reg, request_id, define_id, object_id):
        values = self.values_of(object_id)
        variables = reg["definitions"].get(define_id)
        if values is None or variables is None:
            return
        self.answers[request_id] += 1
        self._send(reg["client"], "object_data", request_id=request_id, object_id=object_id or USER_OBJECT,
                           define_id=define_id, payload=self.pack(variables, values))

    def _request(self, client, record):
        f = record.fields
        with self.lock:
            reg = self._registry(client)
            reg["periodic"].pop(f["request_id"], None)
            o = self.objects.get(f["object_id"])
            if o is not None and o.fault in UNANSWERED:
                return
            if f["period"] == PERIOD_ONCE:
                self._answer(reg, f["request_id"], f["define_id"], f["object_id"])
            elif f["period"] != PERIOD_NEVER:
                reg["periodic"][f["request_id"]] = (f["define_id"], f["object_id"], f["period"])

    def _in_range(self, client, record):
        f = record.fields
        with self.lock:
            reg = self._registry(client)
            variables = reg["definitions"].get(f["define_id"], [])
            user = self.user_state()
            listed = [(USER_OBJECT, self.user_values())] + [
                (o.id, o.values) for o in self.objects.values() if o.fault not in UNLISTED and distance_m(
                    user["lat"], user["lon"], o.values["PLANE LATITUDE"], o.values["PLANE LONGITUDE"]) <= f["radius"]]
            for i, (object_id, values) in enumerate(listed):
                self._send(client, "object_data_by_type", request_id=f["request_id"], object_id=object_id,
                            define_id=f["define_id"], entry_number=i + 1, out_of=len(listed),
                            payload=self.pack(variables, values))

    # AI objects.
    def _create(self, client, record):
        f = record.fields
        with self.lock:
            fault = self.creation_fault(f["tail_number"])
            if fault == "exception":
                self._send(client, "exception", exception=22, send_id=record.send_id, index=0)
                return
            o = self._new_object(f["tail_number"], f["container_title"], f["latitude"], f["longitude"], f["altitude"],
                                 f["on_ground"], f["pitch"], f["bank"], f["heading"], client.index, fault)
            o.events.append("creation")
            self._broadcast_object(o.id, "ObjectAdded")
            self._send(client, "assigned_object_id", request_id=f["request_id"], object_id=o.id)

    def _remove(self, client, record):
        with self.lock:
            o = self.objects.pop(record.fields["object_id"], None)
            if o is None:
                return
            o.events.append("removal")
            self._write_track(o)
            self._broadcast_object(o.id, "ObjectRemoved")

    def _settle(self, o):
        """A moved object's height above the flat ground, and on the ground when its CG is."""
        v = o.values
        v["PLANE ALT ABOVE GROUND"] = v["PLANE ALTITUDE"] - self.flight["ground_ft"]
        v["SIM ON GROUND"] = int(v["PLANE ALT ABOVE GROUND"] <= v["STATIC CG TO GROUND"] + 0.5)

    def _remove_objects_of(self, client_index):
        """As the simulator does, the AI objects of a client that closed go with it."""
        for o in [o for o in self.objects.values() if o.owner == client_index]:
            del self.objects[o.id]
            o.events.append("removal")
            self._write_track(o)
            self._broadcast_object(o.id, "ObjectRemoved")

    def _object_event(self, client, record):
        f = record.fields
        with self.lock:
            o = self.objects.get(f["object_id"])
            if o is None:
                return
            if record.name == "TransmitClientEvent":
                name = self._registry(client)["names"].get(f["event_id"], str(f["event_id"]))
                o.events.append(f"{name}={f['data']}")
            else:
                o.events.append({"AIReleaseControl": "release"}.get(record.name, "flight plan"))

    def _set_data(self, client, record):
        f = record.fields
        with self.lock:
            o = self.objects.get(f["object_id"])
            variables = self._registry(client)["definitions"].get(f["define_id"], [])
            if o is None or not variables:
                return
            for i in range(f["array_count"]):
                values = self.unpack(variables, record.data[i * f["unit_size"]:(i + 1) * f["unit_size"]])
                o.values.update(values)
                if "PLANE ALTITUDE" in values:
                    self._settle(o)
                if "PLANE LATITUDE" in values:
                    o.positions.append(values)
                else:
                    o.events.append("controls " + ",".join(f"{v:g}" for v in values.values()))

    def _broadcast_object(self, object_id, event_name):
        for reg in self.clients.values():
            event_id = self._event_id(reg, event_name)
            if event_id is not None:
                self._send(reg["client"], "object_add_remove", event_id=event_id, object_id=object_id, object_type=2)

    # The clock.
    def _run(self):
        due = time.monotonic()
        while not self._stop.is_set():
            due += 1.0 / self.fps
            time.sleep(max(0.0, due - time.monotonic()))
            with self.lock:
                if self.started:
                    self._tick()

    def _tick(self):
        self.frame += 1
        second_before = int(self.sim_seconds)
        if self.running:
            self.sim_seconds += 1.0 / self.fps
        while self.pending_events and self.pending_events[0]["t"] <= self.sim_seconds:
            self._script_event(self.pending_events.pop(0))
        new_second = int(self.sim_seconds) != second_before and self.sim_seconds >= self.stalled_until
        for reg in list(self.clients.values()):
            client = reg["client"]
            if client.closed.is_set():
                self._remove_objects_of(client.index)
                continue
            event_id = self._event_id(reg, "Frame")
            if event_id is not None:
                self._send(client, "frame", event_id=event_id, frame_rate=float(self.fps))
            for request_id, (define_id, object_id, period) in list(reg["periodic"].items()):
                if period in (PERIOD_VISUAL_FRAME, PERIOD_SIM_FRAME) or (period == PERIOD_SECOND and new_second):
                    self._answer(reg, request_id, define_id, object_id)
        for o in self.objects.values():
            self._write_track(o)
        if self.track:
            self.track.flush()

    def act(self, do, **fields):
        """A scripted event now: act("pause"), act("stall", seconds=30), ..."""
        with self.lock:
            self._script_event(dict(fields, do=do))

    def _script_event(self, e):
        action = e["do"]
        if action == "stall":
            self.stalled_until = self.sim_seconds + e["seconds"]
            return
        if action == "foreign":
            self.add_foreign(e["tail"], e["lat"], e["lon"], e.get("alt_ft", self.flight["ground_ft"]))
            return
        if action in ("pause", "resume"):
            self.running = action == "resume"
        for reg in self.clients.values():
            client = reg["client"]
            if action in ("pause", "resume") and self._event_id(reg, "Sim") is not None:
                self._send(client, "event", event_id=self._event_id(reg, "Sim"), data=int(self.running))
            elif action == "position_changed" and self._event_id(reg, "PositionChanged") is not None:
                self._send(client, "event", event_id=self._event_id(reg, "PositionChanged"), data=0)
            elif action == "flight_loaded" and self._event_id(reg, "FlightLoaded") is not None:
                self._send(client, "event_filename", event_id=self._event_id(reg, "FlightLoaded"),
                            file_name=e.get("file", "C:\\flights\\new.fxml"))
            elif action == "quit":
                self._send(client, "quit")
            elif action == "unknown":
                self._send_raw(client, struct.pack("<3I", 12, 4, e["id"]))
            elif action in ("fin", "rst"):
                getattr(client, action)()

    def _write_track(self, o):
        if not self.track or not (o.positions or o.events):
            return
        for values in o.positions or [o.values]:
            line = {"object": o.id, "frame": self.frame, "sim_time": self.zulu().isoformat(timespec="milliseconds") + "Z",
                    "wall": round(time.time(), 3),
                    "lat": values.get("PLANE LATITUDE", o.values["PLANE LATITUDE"]),
                    "lon": values.get("PLANE LONGITUDE", o.values["PLANE LONGITUDE"]),
                    "alt_ft": values.get("PLANE ALTITUDE", o.values["PLANE ALTITUDE"]),
                    "pitch_deg": values.get("PLANE PITCH DEGREES", o.values["PLANE PITCH DEGREES"]),
                    "bank_deg": values.get("PLANE BANK DEGREES", o.values["PLANE BANK DEGREES"]),
                    "heading_deg": values.get("PLANE HEADING DEGREES TRUE", o.values["PLANE HEADING DEGREES TRUE"]),
                    "on_ground": bool(o.values["SIM ON GROUND"]), "events": o.events,
                    "moved": values is not o.values}
            if "creation" in o.events:
                line.update(tail=o.tail, title=o.title)
            self.track.write(json.dumps(line) + "\n")
            o.events = []
        o.positions = []
