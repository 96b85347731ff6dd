"""What the whole program costs the user's PC: the real Tavelorium_P3D.exe under Wine
between the simulator stand-in (30 frames a second) and the RealTraffic stand-in, measured
from outside through /proc:

- reference: a bare Wine program that only sleeps on a 10 ms timer, alone in the same
  Wine server, so that the figures of two machines (or two loads) compare;
- idle: the program connected to both stand-ins, QNH reports every 10 s, no traffic and
  no flights in the park file (a start of its own);
- static: a second start, once --static aircraft stand at the park airport's stands;
- load: then --live aircraft moving besides (orbits around the park airport, one report
  each 3 s).

For each state it prints the CPU time of the program and of Wine's server in % of one core
(mean and range of --windows windows of --window-s seconds), the program's threads one by
one (CPU, wake-ups a second, system calls a frame), the resident memory and, counted by
the kernel after the timed windows, the system calls of the program and of Wine's server
per simulator frame. While aircraft move, the simulator stand-in counts the frames that
carried no position set (frames sent less the bursts of sets received) and the late ones
(no set arrived before the next frame went out).

    /usr/bin/python3 bench/program_bench.py --build build/windows --reference EXE \\
        [--data build/demo-data] [--out build/bench-program] [--live 500] [--static 500] [--fps 30] \\
        [--window-s 60] [--windows 3] [--trace-s 10]

It runs in a network namespace of its own (the program's ports are fixed) on the demo's
data (made when missing); see demo/README.md for how the chain is wired, which this
reuses."""
import argparse
import json
import math
import os
import pathlib
import random
import shutil
import struct
import subprocess
import sys
import threading
import time

SOURCE_DIR = pathlib.Path(__file__).resolve().parents[1]
sys.path[0:0] = [str(SOURCE_DIR), str(SOURCE_DIR / "demo")]

from demo import chain  # noqa: E402
from demo import scenario  # noqa: E402
from standins import realtraffic_sender as rt  # noqa: E402
from standins import simconnect_server as scs  # noqa: E402
from standins.sim_flight import Simulator  # noqa: E402

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
SET_DATA = scs.REQUEST_BASE + 0x10
SET_DATA_HEAD = struct.Struct("<4I5I")
STAND_SPACING_M = 70.0


def say(text):
    print(f"bench: {text}", file=sys.stderr, flush=True)


# The simulator stand-in, lean enough for 15,000 position sets a second: a position set is
# read from the stream where it lies, counted for its frame and kept as the object's place;
# every other record takes the stand-in's full path (checks, log, hooks).
class CountingClient(scs.Client):
    def _read_loop(self):
        data = bytearray()
        try:
            while True:
                try:
                    chunk = self.sock.recv(1 << 20)
                except OSError:
                    break
                if not chunk:
                    break
                data += chunk
                at = 0
                while len(data) - at >= 16:
                    size, _, msg_id, send_id = struct.unpack_from("<4I", data, at)
                    if size < 16 or size > scs.MAX_RECORD:
                        self.server.problem(f"client {self.index}: record size {size}")
                        return
                    if len(data) - at < size:
                        break
                    if msg_id == SET_DATA and size == 100:
                        self._last_send_id = send_id
                        self.server.position_set(data, at)
                    else:
                        self._take(bytes(data[at:at + size]))
                    at += size
                del data[:at]
        finally:
            self._end()


class CountingServer(scs.SimConnectServer):
    client_class = CountingClient

    def __init__(self, **kwargs):
        super().__init__(**kwargs)
        self.sim = None
        self.sets = 0
        self.sets_this_frame = 0
        self.moved = {}  # object id -> frame of its last position set
        # A frame's burst sets each moving object once: a burst ends where an object repeats.
        self.bursts = 0
        self.burst_ids = set()

    def position_set(self, data, at):
        _, _, _, _, define_id, object_id, _, count, unit = SET_DATA_HEAD.unpack_from(data, at)
        lat, lon, _, _, _, alt = struct.unpack_from("<6d", data, at + 36)
        self.sets += 1
        self.sets_this_frame += 1
        if not self.burst_ids or object_id in self.burst_ids:
            self.bursts += 1
            self.burst_ids = set()
        self.burst_ids.add(object_id)
        sim = self.sim
        o = sim.objects.get(object_id) if sim else None
        if o is not None:
            o.values["PLANE LATITUDE"] = math.degrees(lat)
            o.values["PLANE LONGITUDE"] = math.degrees(lon)
            o.values["PLANE ALTITUDE"] = alt
            self.moved[object_id] = sim.frame


class CountingSimulator(Simulator):
    """Counts the frames sent while some object moves (one that had a set within the last
    second), and those in whose interval no position set arrived (late or missing)."""

    def __init__(self, server, **kwargs):
        super().__init__(server, **kwargs)
        server.sim = self
        self.empty_frames = 0
        self.moving_frames = 0

    def _tick(self):
        server = self.server
        moving = sum(1 for f in list(server.moved.values()) if self.frame - f <= self.fps)
        if moving:
            self.moving_frames += 1
            if server.sets_this_frame == 0:
                self.empty_frames += 1
        server.sets_this_frame = 0
        super()._tick()

    def counts(self):
        """Objects that move (a position set within the last second) and the others."""
        with self.lock:
            moved = self.server.moved
            live = sum(1 for i in self.objects if self.frame - moved.get(i, -10 ** 9) <= self.fps)
            return live, len(self.objects) - live


# The park airport: a grid of stands well apart at the demo airport, each with a flight
# seen there at every half hour of every day, so that the static parking finds a fit for
# each whatever the time.
def grid_stands(count):
    side = math.ceil(math.sqrt(count))
    rows = []
    for i in range(count):
        x, y = (i % side - side / 2) * STAND_SPACING_M, (i // side - side / 2) * STAND_SPACING_M
        lat, lon = scenario.to_geo(x, y)
        rows.append({"id": f"G{i + 1}", "lat": lat, "lon": lon, "heading": 0.0, "radius_m": 20.0, "cargo": False,
                     "heli": False})
    return rows


def passenger_keys(site, liveries):
    """(airline, type) of large and heavy airliners with passenger liveries, each with the
    fictional registrations of the database that fly it."""
    keys = scenario.liveries_by_key(json.loads((liveries / "manifest.json").read_text()))
    types = scenario.read_types(site / "dbase.xml")
    registrations = {}
    for r in scenario.read_registrations(site / "registrations.csv"):
        if not r["operator"] and r["cargo"] == "0":
            registrations.setdefault((r["airline"], r["type"]), []).append(r["registration"])
    return {k: registrations[k] for k, v in sorted(keys.items())
            if types.get(k[1], ("", 0))[0] in ("large", "heavy") and len(k[0]) == 3 and k[0] not in ("ZZZ", "PVT")
            and not any(r["cargo"] for r in v) and k in registrations}


def static_flights(stands, keys):
    """One flight of each stand, seen there on every day at every half hour."""
    pairs = list(keys.items())
    plan = []
    for i, stand in enumerate(stands):
        (airline, ac_type), registrations = pairs[i % len(pairs)]
        for day in range(1, 8):
            plan.append({"stand": stand["id"], "registration": registrations[i // len(pairs) % len(registrations)],
                         "airline": airline, "type": ac_type, "callsign": f"{airline}{9000 - i}", "day": day,
                         "hh": "0:47", "soft": False})
    return plan


def add_parameters(data_folder, values):
    path = data_folder / "parameters.xml"
    text = path.read_text(encoding="utf-8")
    lines = "".join(f'    <parameter name="{k}" value="{v}" />\n' for k, v in values.items())
    path.write_text(text.replace("  </parameters>", lines + "  </parameters>"), encoding="utf-8")


# The traffic: aircraft orbiting the airport at several levels and radii, each reported
# every 3 s (+-20 %), as RealTraffic does.
class Orbits:
    def __init__(self, count, keys, seed=32):
        rng = random.Random(seed)
        self.rng = rng
        self.flights = []
        pairs = list(keys)
        for i in range(count):
            airline, ac_type = pairs[i % len(pairs)]
            self.flights.append({
                "hexid": 5000000 + i, "callsign": f"{airline}{1000 + i}", "type": ac_type,
                "radius_nm": rng.uniform(2.0, 8.0), "angle": rng.uniform(0, 2 * math.pi),
                "alt_ft": rng.choice(range(3000, 9500, 500)), "gs_kt": rng.uniform(180.0, 250.0),
                "clockwise": rng.random() < 0.5, "due": rng.uniform(0.0, 3.0)})

    def line(self, f, t):
        w = f["gs_kt"] / 3600.0 / f["radius_nm"] * (-1 if f["clockwise"] else 1)
        a = f["angle"] + w * t
        x, y = math.cos(a) * f["radius_nm"] * 1852.0, math.sin(a) * f["radius_nm"] * 1852.0
        lat, lon = scenario.to_geo(x, y)
        track = (math.degrees(math.atan2(-math.sin(a), math.cos(a))) + (180.0 if f["clockwise"] else 0.0)) % 360.0
        return rt.traffic_line(hexid=f["hexid"], lat=f"{lat:.6f}", lon=f"{lon:.6f}", baro_alt=f"{f['alt_ft']}",
                               baro_rate="0", gnd="0", track=f"{track:.1f}", gs=f"{f['gs_kt']:.0f}",
                               callsign=f["callsign"], type=f["type"], registration="", origin="EGLL",
                               destination="LFPG", timestamp=f"{time.time():.2f}", true_heading=f"{track:.1f}",
                               tas="-1", alt_geom=f"{f['alt_ft']}", category="A3", callsign_iata="", ias="-1",
                               mach="-1", nav_qnh="-1", nav_altitude_mcp="-1", nav_heading="-1")


class Feed:
    """QNH every 10 s; with traffic on, every flight's report when it is due."""

    def __init__(self, sender, orbits):
        self.sender, self.orbits = sender, orbits
        self.traffic = threading.Event()
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self._run, name="feed", daemon=True)
        self.thread.start()

    def _run(self):
        t0 = time.monotonic()
        next_qnh = 0.0
        while not self.stop.wait(0.02):
            now = time.monotonic() - t0
            if now >= next_qnh:
                self.sender.send_qnh(1013)
                next_qnh += 10.0
            if not self.traffic.is_set():
                for f in self.orbits.flights:
                    f["due"] = now + self.orbits.rng.uniform(0.0, 3.0)
                continue
            for f in self.orbits.flights:
                if f["due"] <= now:
                    self.sender.send_traffic(self.orbits.line(f, now))
                    f["due"] += 3.0 * self.orbits.rng.uniform(0.8, 1.2)


# Measuring from /proc.
def wine_process(exe: pathlib.Path):
    """The Wine process of that exe (Wine shows its Windows path as the command)."""
    wanted = str(exe).lower()
    for proc in pathlib.Path("/proc").iterdir():
        if not proc.name.isdigit():
            continue
        try:
            cmd = (proc / "cmdline").read_bytes().split(b"\0")[0].decode(errors="replace").replace("\\", "/")
        except OSError:
            continue
        if cmd[:2].lower() == "z:":
            cmd = cmd[2:]
        if cmd.lower() == wanted:
            return int(proc.name)
    return None


def wine_server(prefix: pathlib.Path):
    for proc in pathlib.Path("/proc").iterdir():
        if not proc.name.isdigit():
            continue
        try:
            if not (proc / "comm").read_text().startswith("wineserver"):
                continue
            env = (proc / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if f"WINEPREFIX={prefix}".encode() in env:
            return int(proc.name)
    return None


def cpu_ticks(stat_path):
    fields = stat_path.read_text().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def switches(status_path):
    values = {}
    for line in status_path.read_text().splitlines():
        key, _, value = line.partition(":")
        values[key] = value.strip()
    return int(values.get("voluntary_ctxt_switches", 0)) + int(values.get("nonvoluntary_ctxt_switches", 0))


def threads(pid):
    """tid -> (cpu ticks, context switches) of every thread."""
    out = {}
    for task in pathlib.Path(f"/proc/{pid}/task").iterdir():
        try:
            out[int(task.name)] = (cpu_ticks(task / "stat"), switches(task / "status"))
        except (OSError, ValueError):
            pass
    return out


def rss_mb(pid):
    for line in pathlib.Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1]) / 1024.0
    return 0.0


class Window:
    """CPU % of one core and wake-ups a second over one measuring window."""

    def __init__(self, pid, server_pid, sim=None):
        self.pid, self.server_pid, self.sim = pid, server_pid, sim
        self.t0 = time.monotonic()
        self.cpu0 = cpu_ticks(pathlib.Path(f"/proc/{pid}/stat"))
        self.server0 = cpu_ticks(pathlib.Path(f"/proc/{server_pid}/stat"))
        self.server_sw0 = switches(pathlib.Path(f"/proc/{server_pid}/status"))
        self.threads0 = threads(pid)
        self.frame0 = sim.frame if sim else 0
        self.empty0 = sim.empty_frames if sim else 0
        self.moving0 = sim.moving_frames if sim else 0
        self.bursts0 = sim.server.bursts if sim else 0
        self.sets0 = sim.server.sets if sim else 0

    def close(self):
        dt = time.monotonic() - self.t0
        pct = lambda ticks: 100.0 * ticks / CLOCK_TICKS / dt
        result = {"s": dt, "program": pct(cpu_ticks(pathlib.Path(f"/proc/{self.pid}/stat")) - self.cpu0),
                  "server": pct(cpu_ticks(pathlib.Path(f"/proc/{self.server_pid}/stat")) - self.server0),
                  "server_wakeups": (switches(pathlib.Path(f"/proc/{self.server_pid}/status")) - self.server_sw0) / dt,
                  "rss_mb": rss_mb(self.pid), "threads": {}}
        for tid, (ticks, sw) in threads(self.pid).items():
            ticks0, sw0 = self.threads0.get(tid, (0, 0))
            result["threads"][tid] = (pct(ticks - ticks0), (sw - sw0) / dt)
        if self.sim:
            result["frames"] = self.sim.frame - self.frame0
            moving = self.sim.moving_frames - self.moving0
            result["moving_frames"] = moving
            result["bare_frames"] = max(0, moving - (self.sim.server.bursts - self.bursts0)) if moving else 0
            result["empty_frames"] = self.sim.empty_frames - self.empty0
            result["sets"] = self.sim.server.sets - self.sets0
        return result


def measure(label, pid, server_pid, args, sim=None):
    results = []
    for i in range(args.windows):
        w = Window(pid, server_pid, sim)
        time.sleep(args.window_s)
        results.append(w.close())
        r = results[-1]
        say(f"{label} window {i + 1}: program {r['program']:.2f} %, Wine server {r['server']:.2f} %")
    return results


# System calls, counted by the kernel's tracepoints (perf stat): far lighter than tracing
# every call, so the program runs as it does untraced.
SYSCALLS = ("read", "write", "writev", "readv", "recvmsg", "recvfrom", "sendmsg", "sendto", "epoll_wait",
            "epoll_pwait", "epoll_ctl", "poll", "ppoll", "select", "pselect6", "sched_yield", "rt_sigprocmask",
            "futex", "clock_nanosleep", "nanosleep", "getsockopt", "ioctl", "tgkill")


def perf_counts(pid, seconds, events, per_thread=False):
    """{(thread or "", event): count} over the seconds."""
    command = ["perf", "stat", "-x", ",", "-e", ",".join(events), "-p", str(pid)]
    if per_thread:
        command.insert(2, "--per-thread")
    out = subprocess.run(command + ["--", "sleep", str(seconds)], capture_output=True, text=True,
                         timeout=seconds + 60).stderr
    counts = {}
    for line in out.splitlines():
        fields = line.split(",")
        if per_thread and len(fields) >= 4 and fields[1].isdigit():
            counts[(fields[0].rsplit("-", 1)[-1], fields[3])] = int(fields[1])
        elif not per_thread and len(fields) >= 3 and fields[0].isdigit():
            counts[("", fields[2])] = int(fields[0])
    return counts


def count_syscalls(pid, server_pid, args, sim=None):
    """System calls a simulator frame: the program's by thread and by name, the server's by
    name, counted over the same seconds."""
    frame0 = sim.frame if sim else 0
    results = {}

    def run(key, *a, **kw):
        results[key] = perf_counts(*a, **kw)
    names = [f"syscalls:sys_enter_{n}" for n in SYSCALLS]
    jobs = [threading.Thread(target=run, args=("threads", pid, args.trace_s, ["raw_syscalls:sys_enter"]),
                             kwargs={"per_thread": True}),
            threading.Thread(target=run, args=("program", pid, args.trace_s, names)),
            threading.Thread(target=run, args=("server", server_pid, args.trace_s, names))]
    for j in jobs:
        j.start()
    for j in jobs:
        j.join()
    frames = (sim.frame - frame0) if sim else args.trace_s * args.fps
    return results, max(frames, 1)


# The report.
PROGRAM_THREADS = ("window", "worker (service loop)", "SimClient", "QNH Reader", "Traffic Reader")


def name_threads(pid):
    """Wine names its own threads (wine_threadpool: the I/O completions); the program's
    are unnamed and told apart by the order in which a run starts them."""
    names, unnamed = {}, 0
    for tid in sorted(int(t.name) for t in pathlib.Path(f"/proc/{pid}/task").iterdir()):
        try:
            comm = pathlib.Path(f"/proc/{pid}/task/{tid}/comm").read_text().strip()
        except OSError:
            continue
        if comm.lower().startswith(chain.PROGRAM.lower()[:8]):
            comm = PROGRAM_THREADS[unnamed] if unnamed < len(PROGRAM_THREADS) else f"unnamed {unnamed}"
            unnamed += 1
        names[tid] = comm
    return names


def spread(values):
    return f"{sum(values) / len(values):6.2f} ({min(values):.2f}-{max(values):.2f})"


def report(states):
    lines = ["", f"{'state':<14} {'program % core':>22} {'Wine server % core':>22} {'server wake-ups/s':>18} "
             f"{'RSS MB':>8} {'frames w/o positions':>22} {'late':>6}"]
    for label, state in states.items():
        results = state["windows"]
        bare = late = ""
        if results and results[0].get("moving_frames"):
            bare = f"{sum(r['bare_frames'] for r in results)} of {sum(r['moving_frames'] for r in results)}"
            late = str(sum(r["empty_frames"] for r in results))
        lines.append(f"{label:<14} {spread([r['program'] for r in results]):>22} "
                     f"{spread([r['server'] for r in results]):>22} "
                     f"{sum(r['server_wakeups'] for r in results) / len(results):18.0f} "
                     f"{max(r['rss_mb'] for r in results):8.1f} {bare:>22} {late:>6}")
    for label, state in states.items():
        if "names" not in state:
            continue
        results, names = state["windows"], state["names"]
        calls, frames = state["syscalls"]
        by_thread = {int(tid): n for (tid, _), n in calls.get("threads", {}).items() if tid.isdigit()}
        lines.append("")
        lines.append(f"{label}: the program's threads, % of one core, wake-ups a second, system calls a frame "
                     f"({frames} frames)")
        for tid in sorted(set().union(*(r["threads"].keys() for r in results))):
            cpu = sum(r["threads"].get(tid, (0, 0))[0] for r in results) / len(results)
            wake = sum(r["threads"].get(tid, (0, 0))[1] for r in results) / len(results)
            if cpu >= 0.01 or wake >= 1.0:
                lines.append(f"  {names.get(tid, str(tid)):<24} {cpu:7.2f} % {wake:8.0f} /s "
                             f"{by_thread.get(tid, 0) / frames:9.1f}")
        for who in ("program", "server"):
            by_name = {e.split("sys_enter_")[-1]: n for (_, e), n in calls.get(who, {}).items()}
            top = ", ".join(f"{n} {c / frames:.1f}" for n, c in sorted(by_name.items(), key=lambda x: -x[1])[:7] if c)
            lines.append(f"  system calls a frame, {who:<8} {sum(by_name.values()) / frames:8.1f}: {top}")
    return "\n".join(lines)


class ProgramRun:
    """One start of the program in a fresh program folder, with the stand-ins."""

    def __init__(self, args, out, wine, data, keys, flights):
        self.args, self.wine, self.kind = args, wine, "flights" if flights else "idle"
        self.proc = self.server = self.sim = self.feed = self.link = self.sender = None
        self.program = chain.prepare_program(args, out, wine, data if flights else dict(data, statics=[]))
        data_folder = chain.prepare_settings(wine, args.liveries, chain.LINK_PORT)
        add_parameters(data_folder, {"CUSTOM_PARKING_PERCENTAGE": 100, "MAX_PARK_SEL": max(args.static, 1),
                                     "MAX_LIVE_SEL": max(args.live, 1)})
        self.log = open(out / f"simconnect-{self.kind}.log", "w", encoding="utf-8")
        self.server = CountingServer(keep_records=False, log_file=self.log)
        self.sim = CountingSimulator(self.server, flight=chain.user_flight(data), fps=args.fps)
        (self.program / "SimConnect.cfg").write_text(
            f"[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort={self.server.port}\nDisableNagle=1\n")
        self.link = rt.TcpLinkClient(chain.LINK_PORT)
        self.sender = rt.UdpSender()
        self.feed = Feed(self.sender, Orbits(args.live, keys))
        self.probe = args.build / "tests" / "main_window_probe_win.exe"
        self.proc = wine.launch(self.program / f"{chain.PROGRAM}.exe", cwd=self.program)
        if wine.run(self.probe, "wait", "60000", timeout=90).returncode != 0:
            raise SystemExit("bench: the program's window did not appear")
        self.link.connect(timeout_s=180)
        if not (rt.wait_until_bound(rt.TRAFFIC_PORT, 60) and rt.wait_until_bound(rt.QNH_PORT, 60)):
            raise SystemExit("bench: the program's readers did not bind their ports")
        self.pid = chain.program_pid(self.program)

    def wait_for(self, live, static, timeout_s):
        """Until that many objects move and that many stand (or the creations stop)."""
        deadline = time.monotonic() + timeout_s
        last, since, shown = None, time.monotonic(), None
        while time.monotonic() < deadline and self.proc.poll() is None:
            counts = self.sim.counts()
            if counts != last:
                last, since = counts, time.monotonic()
                if (counts[0] // 100, counts[1] // 100) != shown:
                    shown = (counts[0] // 100, counts[1] // 100)
                    say(f"  {counts[0]} moving, {counts[1]} standing")
            if counts[0] >= live and counts[1] >= static:
                break
            if time.monotonic() - since > 60.0:
                say(f"  no new object for a minute: {counts[0]} moving, {counts[1]} standing")
                break
            time.sleep(1.0)
        time.sleep(10.0)
        live_now, static_now = self.sim.counts()
        return f"{live_now}+{static_now}"

    def measure(self, label, server_pid):
        state = {"windows": measure(label, self.pid, server_pid, self.args, self.sim)}
        state["syscalls"] = count_syscalls(self.pid, server_pid, self.args, self.sim)
        state["names"] = name_threads(self.pid)
        return state

    def close(self):
        if self.proc and self.proc.poll() is None:
            chain.close_program(self.wine, self.probe, self.proc)
        self.feed.stop.set()
        self.link.close()
        self.sender.close()
        self.sim.stop()
        self.server.stop()
        self.log.close()
        if (self.program / "Log.txt").exists():
            shutil.copy2(self.program / "Log.txt", self.program.parent / f"Log-{self.kind}.txt")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", type=pathlib.Path, default=SOURCE_DIR / "build" / "windows")
    parser.add_argument("--reference", type=pathlib.Path, required=True, help="the Windows exe that sleeps 10 ms")
    parser.add_argument("--data", type=pathlib.Path, default=SOURCE_DIR / "build" / "demo-data",
                        help="the demo's data folder, made when missing")
    parser.add_argument("--out", type=pathlib.Path, default=SOURCE_DIR / "build" / "bench-program")
    parser.add_argument("--live", type=int, default=500)
    parser.add_argument("--static", type=int, default=500)
    parser.add_argument("--fps", type=float, default=30.0)
    parser.add_argument("--window-s", type=float, default=60.0)
    parser.add_argument("--windows", type=int, default=3)
    parser.add_argument("--trace-s", type=float, default=10.0, help="seconds of counting system calls")
    parser.add_argument("--creation-timeout-s", type=float, default=900.0)
    args = parser.parse_args(argv)
    if not chain.in_own_network(False):
        raise SystemExit("bench: no network namespace of our own can be made (run as root)")
    out = args.out.resolve()
    shutil.rmtree(out, ignore_errors=True)
    out.mkdir(parents=True)
    args.build, args.data = args.build.resolve(), args.data.resolve()
    args.site, args.liveries = args.data / "site" / "11", args.data / "liveries"
    stands = grid_stands(args.static + 20)

    wine = chain.Wine(out / "wineprefix").start()
    states = {}
    run = None
    try:
        chain.make_data(wine, args.build, args.data)
        keys = passenger_keys(args.site, args.liveries)
        data = {"airport": scenario.AIRPORT, "stands": stands, "user_stand": stands[0]["id"],
                "statics": static_flights(stands[1:], keys), "parking_percentage": 100}
        server_pid = wine_server(wine.prefix)
        # A copy of the run's own, so that its process is told apart from another run's.
        reference_exe = out / args.reference.name
        shutil.copy2(args.reference, reference_exe)
        reference = subprocess.Popen(["wine", str(reference_exe), str(int(args.window_s * args.windows + 60))],
                                     env=wine.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        time.sleep(3.0)
        states["reference"] = {"windows": measure("reference", wine_process(reference_exe), server_pid, args)}
        reference.kill()
        reference.wait()

        say("idle: the program connected, no traffic, no park airport flights")
        run = ProgramRun(args, out, wine, data, keys, flights=False)
        time.sleep(20.0)
        states["idle"] = run.measure("idle", server_pid)
        run.close()

        say(f"static: the park airport's stands filled ({args.static} wanted)")
        run = ProgramRun(args, out, wine, data, keys, flights=True)
        label = run.wait_for(0, args.static, args.creation_timeout_s)
        states[label] = run.measure(label, server_pid)
        say(f"load: {args.live} aircraft moving besides")
        run.feed.traffic.set()
        label = run.wait_for(args.live, args.static, args.creation_timeout_s)
        states[label] = run.measure(label, server_pid)
        print(report(states), flush=True)
        run.close()
        run = None
    finally:
        if run is not None:
            run.close()
        wine.stop()
        shutil.rmtree(wine.prefix, ignore_errors=True)  # 700 MB, made again by the next run
    return 0


if __name__ == "__main__":
    sys.exit(main())
