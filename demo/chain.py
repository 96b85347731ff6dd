"""The whole chain on one machine: the real Tavelorium_P3D.exe under Wine, fed by the
RealTraffic stand-in with a scripted scenario around Schiphol, connected to the simulator
stand-in, which records every AI object in its track log; Schiphol's stands filled with
static aircraft from the learned park file the scenario writes. Leaves in the output
folder tracks.png and summary.txt (tracks.py), the screenshot, Log.txt and the stand-ins'
logs.

    /usr/bin/python3 demo/chain.py --build build/windows --data build/demo-data --out build/demo \\
        [--kind demo|full|short] [--minutes N] [--until-closed] [--soak]

--data is the demo's own data folder, made when missing (or made by other inputs): the
builder's files with fictional registrations (site/11) and a livery collection of those
(liveries). Tests give --site and --liveries instead.

It runs in a network namespace of its own when it may (unshare as root): the program's
fixed UDP ports (49004, 49005) and its TCP link port are then its own, and the version
check finds no internet. See demo/README.md."""
import argparse
import hashlib
import json
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import threading
import time

HERE = pathlib.Path(__file__).resolve().parent
SOURCE_DIR = HERE.parent
sys.path[0:0] = [str(SOURCE_DIR), str(HERE)]

from demo import scenario as scenario_mod  # noqa: E402
from demo import tracks  # noqa: E402
from standins import realtraffic_sender as rt  # noqa: E402
from standins.simconnect_server import SimConnectServer  # noqa: E402
from standins.sim_flight import Simulator  # noqa: E402

PROGRAM = "Tavelorium_P3D"
INSTALL_PATH = "C:\\Lockheed Martin\\Prepar3D v5"
LINK_PORT = 10747
SITE_HOST = "www.tavelorium.com"
PARK_PUBLISHER = "Tavelorium demo"  # the park file's publisher names its learned file's folder
VERSIONS_PATH = "/downloads/versions.json"
FPS = 30


def say(text):
    print(f"demo: {text}", file=sys.stderr, flush=True)


def windows_path(path) -> str:
    return "Z:" + str(path).replace("/", "\\")


def in_own_network(site_here: bool) -> bool:
    """Re-runs this script in a network namespace of its own (loopback up) when possible;
    with site_here also in a mount namespace whose hosts file names 127.0.0.1 for the
    maker's site, so that the download-site stand-in answers the program's requests."""
    if os.environ.get("TAV_DEMO_NETNS") == "1":
        return True
    if shutil.which("unshare") is None or subprocess.run(["unshare", "--net", "--mount", "true"],
                                                         capture_output=True).returncode:
        return False
    env = dict(os.environ, TAV_DEMO_NETNS="1")
    setup = "ip link set lo up"
    if site_here:
        hosts = pathlib.Path(f"/tmp/tav-demo-hosts-{os.getpid()}")
        hosts.write_text(f"127.0.0.1 localhost\n::1 localhost\n127.0.0.1 {SITE_HOST}\n")
        setup += f" && mount --bind {hosts} /etc/hosts"
    command = ["unshare", "--net", "--mount", "sh", "-c", setup + ' && exec "$@"', "_", sys.executable, *sys.argv]
    os.execvpe("unshare", command, env)
    return True  # not reached


def site_stand_in(out: pathlib.Path, site_root: pathlib.Path):
    """The maker's site on 127.0.0.1:443 with a certificate of its own (Schannel under Wine
    takes it), serving the builder's site folder."""
    from standins.download_site import DownloadSite
    cert, key = out / "site-cert.pem", out / "site-key.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", str(key), "-out", str(cert),
                    "-days", "2", "-subj", f"/CN={SITE_HOST}", "-addext", f"subjectAltName=DNS:{SITE_HOST}"],
                   check=True, capture_output=True, timeout=60)
    return DownloadSite(root=site_root, port=443, certificate=(str(cert), str(key))).start()


class Wine:
    """A Wine prefix of the run's own, its server and a virtual display when there is none."""

    def __init__(self, prefix: pathlib.Path):
        self.prefix = prefix
        self.env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG=os.environ.get("WINEDEBUG", "-all"),
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.xvfb = None

    def start(self):
        prefix_env = dict(self.env)
        out = subprocess.run(["bash", "-c", '. "$1/scripts/wine-env.sh"; tav_wine_start "$2"; '
                              'echo "$DISPLAY ${TAV_XVFB_PID:-0}"', "_", str(SOURCE_DIR), str(self.prefix)],
                             env=prefix_env, stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=300,
                             check=True).stdout.split()
        self.env["DISPLAY"] = out[-2]
        self.xvfb = int(out[-1]) or None
        return self

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        if self.xvfb:
            try:
                os.kill(self.xvfb, signal.SIGTERM)
            except ProcessLookupError:
                pass

    def run(self, *command, cwd=None, timeout=120):
        return subprocess.run(["wine", *map(str, command)], env=self.env, cwd=cwd, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, timeout=timeout)

    def launch(self, exe, cwd):
        # Wine's own output beside the program folder: a crash leaves its backtrace there.
        with open(pathlib.Path(cwd).parent / "wine.log", "ab") as log:
            return subprocess.Popen(["wine", str(exe)], env=self.env, cwd=cwd, stdin=subprocess.DEVNULL,
                                    stdout=log, stderr=subprocess.STDOUT)

    def roaming(self) -> pathlib.Path:
        users = [p for p in (self.prefix / "drive_c" / "users").iterdir() if p.name != "Public"]
        return users[0] / "AppData" / "Roaming"


# What the demo's data are made from: remade when one of these changes.
DATA_INPUTS = ("demo/standins/livery_collection.py", "demo/scenario.py", "demo/airline_fleets.csv",
               "tests/support/fictional_fleet.cpp", "tools/data", "tools/databuild")
DEMO_REGISTRATIONS = 60000


def data_stamp() -> str:
    digest = hashlib.sha256()
    for name in DATA_INPUTS:
        path = SOURCE_DIR / name
        for f in sorted([path] if path.is_file() else path.rglob("*")):
            if f.is_file():
                digest.update(f.relative_to(SOURCE_DIR).as_posix().encode() + f.read_bytes())
    return digest.hexdigest()


def make_data(wine: Wine, build: pathlib.Path, folder: pathlib.Path):
    """The demo's data: the builder's files with fictional registrations (the published
    files hold none) in site/11, the livery collection made of them in liveries (of the
    demo airport's traffic: scenario.COLLECTION_ARGS), and its
    registration-code list encrypted beside the data files. Kept while its inputs stay."""
    stamp = data_stamp()
    if (folder / "stamp").exists() and (folder / "stamp").read_text() == stamp:
        return
    say(f"making the demo's data in {folder} (fictional registrations, a livery collection)")
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    probe = build / "tests" / "livery_scan_probe.exe"
    made = wine.run(probe, "data", windows_path(SOURCE_DIR / "tools"), windows_path(folder), str(DEMO_REGISTRATIONS),
                    timeout=600)
    if made.returncode != 0:
        raise SystemExit(f"demo: the data were not made: {made.stdout} {made.stderr}")
    subprocess.run(["/usr/bin/python3", str(HERE / "standins" / "livery_collection.py"), "--data", str(folder / "site" / "11"),
                    "--out", str(folder / "liveries"), "--lfolders", "1", "--folders", "60", "--sections", "600",
                    "--fault-rate", "0", "--no-unreadable", *scenario_mod.COLLECTION_ARGS],
                   check=True, capture_output=True, timeout=600)
    made = wine.run(probe, "encrypt", windows_path(folder / "liveries" / "AIG-regcodes.xml"),
                    windows_path(folder / "site" / "11" / "AIG-regcodes.enc"))
    if made.returncode != 0:
        raise SystemExit(f"demo: the registration-code list was not encrypted: {made.stdout} {made.stderr}")
    (folder / "stamp").write_text(stamp)


def prepare_program(args, out: pathlib.Path, wine: Wine, data: dict) -> pathlib.Path:
    """The program folder as an installed one holds it, with the demo airport's park file
    among the user's own (airports/my_thirdparty), its learned file with the flights that
    stand at its stands (the static aircraft), and SimConnect.cfg beside the program."""
    program = out / "program"
    shutil.rmtree(program, ignore_errors=True)
    (program / "input").mkdir(parents=True)
    shutil.copy2(args.build / f"{PROGRAM}.exe", program)
    shutil.copytree(SOURCE_DIR / "package", program, dirs_exist_ok=True)
    (program / "docs").mkdir(exist_ok=True)
    for name in ("dbase.enc", "airports.enc", "AIG-regcodes.enc"):
        if (args.site / name).exists():
            shutil.copy2(args.site / name, program / "input")
    if (args.liveries / "my_regcodes").is_dir():
        shutil.copytree(args.liveries / "my_regcodes", program / "input" / "my_regcodes")
    stands_file = out / "stands.txt"
    stands_file.write_text("".join(f"{s['id']} {s['lat']:.7f} {s['lon']:.7f} {s['heading']:.1f} {s['radius_m']:.1f} "
                                   f"{int(s['cargo'])} {int(s['heli'])}\n" for s in data["stands"]))
    park = program / "airports" / "my_thirdparty" / f"{data['airport']['code']}.xml"
    park.parent.mkdir(parents=True)
    made = wine.run(args.build / "tests" / "park_file_probe.exe", windows_path(out / "park_file.log"), "http://127.0.0.1/",
                    "write", data["airport"]["code"], windows_path(stands_file), windows_path(park),
                    str(data["airport"]["elevation_ft"]), data["airport"]["name"], cwd=out)
    if made.returncode != 0 or not park.exists():
        raise SystemExit(f"demo: the park file was not written: {made.stdout} {made.stderr}")
    # The learned file, as the program's own writer saves it: the statics' flights.
    flights_file = out / "static_flights.txt"
    flights_file.write_text("".join(f"{e['stand']} {e['registration']} {e['airline']} {e['type']} {e['callsign']} "
                                    f"{e['day']} {e['hh']} {int(e['soft'])}\n" for e in data["statics"]))
    learned = program / "airports" / "learned" / "thirdparty" / PARK_PUBLISHER / park.name
    made = wine.run(args.build / "tests" / "park_file_probe.exe", windows_path(out / "park_file.log"), "http://127.0.0.1/",
                    "learn", data["airport"]["code"], windows_path(flights_file), windows_path(learned),
                    data["airport"]["name"], PARK_PUBLISHER, str(data["parking_percentage"]), cwd=out)
    if made.returncode != 0 or not learned.exists():
        raise SystemExit(f"demo: the learned park file was not written: {made.stdout} {made.stderr}")
    # The user's park airports: the demo airport with the user's stand kept free of statics.
    (program / "airports" / "my_park_airports.txt").write_text(f"{data['airport']['code']},{data['user_stand']}\n")
    return program


def prepare_settings(wine: Wine, liveries: pathlib.Path, link_port: int):
    """A first start: parameters.xml naming the simulator and the livery folder, and
    RealTraffic counting as installed on this PC (so that the TCP link is used)."""
    roaming = wine.roaming()
    data = roaming / PROGRAM
    shutil.rmtree(data, ignore_errors=True)
    data.mkdir(parents=True)
    (roaming / "InsideSystems").mkdir(exist_ok=True)
    (roaming / "InsideSystems" / "RealTraffic.jar").write_bytes(b"PK\x05\x06" + bytes(18))
    install = wine.prefix / "drive_c" / "Lockheed Martin" / "Prepar3D v5"
    (install / "Scenery").mkdir(parents=True, exist_ok=True)
    (data / "parameters.xml").write_text(
        '<?xml version="1.0" encoding="UTF-8"?>\n<root>\n  <parameters>\n'
        f'    <parameter name="SIM_INSTALL_PATH" value="{INSTALL_PATH}" />\n'
        f'    <parameter name="lfolder0" value="{windows_path(liveries / "lf0")}" />\n'
        f'    <parameter name="PORT_NUMBER" value="{link_port}" />\n'
        # No add-on airports: the scan would ask for afolder settings and empty my_thirdparty.
        '    <parameter name="SCAN_AIRPORTS" value="false" />\n'
        '  </parameters>\n</root>\n', encoding="utf-8")
    return data


def user_flight(data: dict) -> dict:
    stand = next(s for s in data["stands"] if s["id"] == data["user_stand"])
    now = time.gmtime()
    return {"title": "Boeing 737-800 Paint1", "atc_model": "B738", "atc_id": "PH-USR",
            "zulu_start": time.strftime("%Y-%m-%dT%H:%M:%S", now), "ground_ft": data["airport"]["elevation_ft"],
            "keyframes": [{"t": 0, "lat": stand["lat"], "lon": stand["lon"], "alt_ft": data["airport"]["elevation_ft"],
                           "heading_deg": stand["heading"], "gs_kt": 0.0, "on_ground": True}]}


class SimStandIn:
    """The simulator stand-in on a fixed port; stop() and start() play a simulator quitting
    and coming back (the object ids number on)."""

    def __init__(self, flight: dict, out: pathlib.Path):
        self.flight = flight
        self.track = open(out / "track.jsonl", "w", encoding="utf-8")
        self.log = open(out / "simconnect.log", "w", encoding="utf-8")
        self.port = 0
        self.server = self.sim = None
        self.next_object = 100
        self.starts = 0
        self.connections = 0
        self.problems = []

    def start(self):
        self.server = SimConnectServer(port=self.port, keep_records=False, log_file=self.log)
        self.port = self.server.port
        self.sim = Simulator(self.server, flight=self.flight, fps=FPS, track_log=self.track,
                             first_object=self.next_object)
        self.starts += 1
        return self

    def stop(self):
        if self.server is None:
            return
        self.sim.stop()
        self.server.stop()
        self.next_object = self.sim.next_object
        self.connections += len(self.server.clients)
        self.problems += self.server.problems
        self.server = self.sim = None
        self.log.flush()

    def close(self):
        self.stop()
        self.track.close()
        self.log.close()


def traffic_lines(data: dict, start: float, speed: float = 1.0, round_no: int = 0):
    """(offset, line) of every report of the scenario in time order, stamped with the time
    it is sent (RealTraffic's lines carry the time of the position). A later round of the
    scenario (the soak plays it again) has other hexids and callsigns."""
    timed = []
    for f in data["flights"]:
        callsign = f["callsign"] + ("" if round_no == 0 else chr(ord("A") + (round_no - 1) % 26))
        for r in f["reports"]:
            line = rt.traffic_line(
                hexid=f["hexid"] + 1000000 * round_no, lat=f"{r['lat']:.6f}", lon=f"{r['lon']:.6f}", baro_alt=f"{r['alt_ft']:.0f}",
                baro_rate=f"{r['vs_fpm']:.0f}", gnd="1" if r["ground"] else "0", track=f"{r['track']:.1f}",
                gs=f"{r['gs_kt']:.0f}", callsign=callsign, type=f["type"], registration=f["registration"],
                origin=f["origin"], destination=f["destination"], timestamp=f"{start + r['t'] / speed:.2f}",
                true_heading=f"{r['heading']:.1f}", tas="-1", alt_geom=f"{r['alt_ft']:.0f}",
                category="A7" if f["kind"] == "helicopter" else "A3", callsign_iata="", ias="-1", mach="-1",
                nav_qnh="-1", nav_altitude_mcp="-1", nav_heading="-1")
            timed.append((r["t"] / speed, line))
    timed.sort(key=lambda x: x[0])
    return timed


class Feed:
    """Replays the scenario on UDP and records the send time of each flight's reports;
    `paused` holds the traffic back (the soak's outage)."""

    def __init__(self, sender: rt.UdpSender, data: dict, qnh: int, repeat: bool = False):
        self.sender, self.data, self.qnh, self.repeat = sender, data, qnh, repeat
        self.paused = threading.Event()
        self.stop = threading.Event()
        self.start_time = None
        self.sent = 0
        self.held_back = 0
        self.thread = threading.Thread(target=self._run, name="feed", daemon=True)

    def begin(self):
        self.start_time = time.time()
        self.thread.start()

    def _run(self):
        round_no = 0
        while self._play(round_no) and self.repeat:
            round_no += 1
        while not self.stop.wait(10.0):
            if not self.paused.is_set():
                self.sender.send_qnh(self.qnh)

    def _play(self, round_no):
        """One round of the scenario; False when stopped."""
        start = self.start_time if round_no == 0 else time.time()
        lines = traffic_lines(self.data, start, round_no=round_no)
        t0 = time.monotonic()
        next_qnh = 0.0
        for offset, line in lines:
            while True:
                now = time.monotonic() - t0
                if next_qnh <= min(now, offset):
                    if not self.paused.is_set():
                        self.sender.send_qnh(self.qnh)
                    next_qnh += 10.0
                    continue
                if now >= offset:
                    break
                if self.stop.wait(min(0.05, offset - now)):
                    return False
            if self.paused.is_set():
                self.held_back += 1
                continue
            self.sender.send_traffic(line)
            self.sent += 1
        return True


def program_pid(program: pathlib.Path):
    """The Wine process of this program folder's exe (Wine shows its Windows path)."""
    wanted = str(program / f"{PROGRAM}.exe").lower()
    for proc in pathlib.Path("/proc").iterdir():
        if not proc.name.isdigit():
            continue
        try:
            cmd = (proc / "cmdline").read_bytes().split(b"\0")[0].decode(errors="replace")
        except OSError:
            continue
        path = cmd.replace("\\", "/")
        if path[:2].lower() == "z:":
            path = path[2:]
        if path.lower() == wanted:
            return int(proc.name)
    return None


def resident_kb(pid):
    try:
        for line in pathlib.Path(f"/proc/{pid}/status").read_text().splitlines():
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    except OSError:
        return None
    return None


def screenshot(wine: Wine, out: pathlib.Path, window):
    """What the window shows (screenshot.png), cut from the virtual screen: its client
    area, which the program paints (Wine draws the frame only with a window manager)."""
    crop = []
    if window and window.get("found"):
        x, y, w, h = window["client"]
        crop = ["-crop", f"{w}x{h}+{max(0, x)}+{max(0, y)}", "+repage"]
    subprocess.run(["import", "-window", "root", *crop, str(out / "screenshot.png")], env=wine.env,
                   stdin=subprocess.DEVNULL, capture_output=True, timeout=60)


def close_program(wine: Wine, probe, proc) -> float:
    """WM_CLOSE as the user's click on the window's close box; the seconds to the exit."""
    closed_at = time.time()
    wine.run(probe, "close", timeout=60)
    try:
        proc.wait(timeout=90)
    except subprocess.TimeoutExpired:
        say("the program did not end within 90 s of its close; stopping it")
        proc.kill()
        proc.wait()
    return round(time.time() - closed_at, 1)


def second_start(wine: Wine, program: pathlib.Path, probe, link, site, seconds: float) -> dict:
    """The soak's last minutes: the user starts the program again while the site answers
    500; it must come up, take the traffic again and close cleanly."""
    site.answer(VERSIONS_PATH, body=b"<html>Internal Server Error</html>", status=500)
    shutil.copy2(program / "Log.txt", program.parent / "Log-first-start.txt")
    say("starting the program again (the site answers 500)")
    proc = wine.launch(program / f"{PROGRAM}.exe", cwd=program)
    outcome = {"window": wine.run(probe, "wait", "60000", timeout=90).returncode == 0}
    try:
        link.connect(timeout_s=180)
        outcome["link"] = True
    except (OSError, AssertionError, TimeoutError):
        outcome["link"] = False
    outcome["readers"] = rt.wait_until_bound(rt.TRAFFIC_PORT, 60) and rt.wait_until_bound(rt.QNH_PORT, 60)
    end = time.monotonic() + seconds
    while proc.poll() is None and time.monotonic() < end:
        time.sleep(0.5)
    outcome["crashed"] = proc.poll() is not None
    if proc.poll() is None:
        outcome["exit_s"] = close_program(wine, probe, proc)
    outcome["exit_code"] = proc.returncode
    return outcome


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", type=pathlib.Path, default=SOURCE_DIR / "build" / "windows")
    parser.add_argument("--data", type=pathlib.Path, default=SOURCE_DIR / "build" / "demo-data",
                        help="the demo's data folder, made when missing")
    parser.add_argument("--site", type=pathlib.Path, help="a folder of data files instead (dbase.xml, registrations.csv)")
    parser.add_argument("--liveries", type=pathlib.Path, help="a livery collection of them instead")
    parser.add_argument("--out", type=pathlib.Path, default=SOURCE_DIR / "build" / "demo")
    parser.add_argument("--prefix", type=pathlib.Path, help="the Wine prefix (default: <out>/wineprefix)")
    parser.add_argument("--kind", choices=tuple(scenario_mod.KINDS), default="demo")
    parser.add_argument("--minutes", type=float,
                        help="minutes of traffic before the window is closed (default: the scenario's own time)")
    parser.add_argument("--until-closed", action="store_true", help="run until the user closes the window")
    parser.add_argument("--soak", action="store_true", help="inject the soak's faults (soak.py)")
    parser.add_argument("--soak-scale", type=float, default=1.0, help="bring the soak's faults closer together")
    args = parser.parse_args(argv)
    own_network = in_own_network(args.soak)
    if not own_network and any(rt.udp_port_bound(p) for p in (rt.TRAFFIC_PORT, rt.QNH_PORT)):
        raise SystemExit("demo: ports 49004/49005 are taken and no network namespace of our own can be made")
    link_port = LINK_PORT if own_network else rt.free_udp_port()
    out = args.out.resolve()
    out.mkdir(parents=True, exist_ok=True)
    for old in ("summary.txt", "tracks.png", "screenshot.png", "Log.txt", "result.json"):
        (out / old).unlink(missing_ok=True)
    args.build = args.build.resolve()
    if (args.site is None) != (args.liveries is None):
        raise SystemExit("demo: give both --site and --liveries, or neither (then --data)")

    wine = Wine((args.prefix or out / "wineprefix").resolve()).start()
    sim = feed = link = sender = proc = program = data_folder = site = None
    faults = None
    result = {"exit_code": None, "closed_by": None}
    try:
        if args.site is None:
            make_data(wine, args.build, args.data.resolve())
            args.site, args.liveries = args.data / "site" / "11", args.data / "liveries"
        args.site, args.liveries = args.site.resolve(), args.liveries.resolve()
        try:
            data = scenario_mod.build(args.kind, args.site, args.liveries / "manifest.json")
        except scenario_mod.ScenarioError as e:
            raise SystemExit(f"demo: the scenario is wrong, stopped: {e}")
        (out / "scenario.json").write_text(json.dumps(data, indent=1))
        if args.minutes is None:
            args.minutes = data["run_s"] / 60.0
        say(f"scenario '{args.kind}': {len(data['flights'])} flights over "
            f"{max(r['t'] for f in data['flights'] for r in f['reports']) / 60:.1f} minutes, "
            f"{len(data['statics'])} static entries; the window closes after {args.minutes:.1f} minutes")
        try:
            if args.soak and own_network:
                site = site_stand_in(out, args.site.parent)
                site.answer(VERSIONS_PATH, body=(args.site.parent / "versions.json").read_bytes(), kind="stall")
            program = prepare_program(args, out, wine, data)
            data_folder = prepare_settings(wine, args.liveries, link_port)
            sim = SimStandIn(user_flight(data), out).start()
            (program / "SimConnect.cfg").write_text(
                f"[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort={sim.port}\nDisableNagle=1\n")
            link = rt.TcpLinkClient(link_port)
            sender = rt.UdpSender()
            feed = Feed(sender, data, data["qnh_hpa"], repeat=args.soak)

            say(f"starting {program / (PROGRAM + '.exe')} (simulator stand-in on port {sim.port})")
            started = time.monotonic()
            proc = wine.launch(program / f"{PROGRAM}.exe", cwd=program)
            probe = args.build / "tests" / "main_window_probe_win.exe"
            if wine.run(probe, "wait", "60000", timeout=90).returncode != 0:
                raise RuntimeError("the program's window did not appear")
            pid = None
            try:
                link.connect(timeout_s=180)
            except OSError as e:
                raise RuntimeError(f"the program's RealTraffic link did not listen: {e}") from e
            if not (rt.wait_until_bound(rt.TRAFFIC_PORT, 60) and rt.wait_until_bound(rt.QNH_PORT, 60)):
                raise RuntimeError("the program's readers did not bind their ports")
            result["start_up_s"] = round(time.monotonic() - started, 1)
            say(f"the program is up after {result['start_up_s']} s; sending the traffic")
            feed.begin()
            pid = program_pid(program)
            memory = []
            if args.soak:
                from demo import soak
                faults = soak.Faults(sim, link, sender, feed, out, args.soak_scale)
                faults.start()
            deadline = time.monotonic() + args.minutes * 60.0
            next_sample = time.monotonic()
            while proc.poll() is None and (args.until_closed or time.monotonic() < deadline):
                if time.monotonic() >= next_sample:
                    pid = pid if pid and resident_kb(pid) else program_pid(program)
                    rss = resident_kb(pid) if pid else None
                    memory.append((round(time.time() - feed.start_time, 1), rss))
                    next_sample += 10.0
                time.sleep(0.5)
            if faults:
                faults.stop()
            result["memory_kb"] = memory
            result["crashed"] = proc.poll() is not None and not args.until_closed
            if proc.poll() is None:
                info = wine.run(probe, "info", timeout=60)
                if info.returncode == 0:
                    (out / "window.json").write_text(info.stdout)
                screenshot(wine, out, json.loads(info.stdout) if info.returncode == 0 else None)
                say("closing the window (WM_CLOSE)")
                result["closed_by"] = "WM_CLOSE"
                result["closed_at"] = time.time() - feed.start_time
                result["exit_s"] = close_program(wine, probe, proc)
            else:
                result["closed_by"] = "user" if args.until_closed else "itself"
                result["closed_at"] = time.time() - feed.start_time  # no phase is judged after it
            result["exit_code"] = proc.returncode
            time.sleep(1.0)
        except RuntimeError as e:
            result["error"] = str(e)
            say(f"{e}; see Log.txt")
        if site and "error" not in result:
            from demo import soak
            result["files_after_first_start"] = soak.files_kept(program, data_folder)
            result["second_start"] = second_start(wine, program, probe, link, site, 60.0)
    finally:
        try:
            if feed:
                feed.stop.set()
            if link:
                result["link_lines"] = [(round(l.time, 3), l.connection, l.text) for l in link.lines
                                        if not l.text.startswith("Qs121")][-50:]
                result["link_qs121"] = len(link.texts("Qs121"))
                result["link_connections"] = link.connections
                result["link_problems"] = list(link.problems)
                result["link_closed_by_program"] = link.closed_by_program.is_set()
                link.close()
            if sender:
                result["datagrams_sent"] = sender.sent
                sender.close()
            if sim:
                sim.close()
                result["sim_starts"] = sim.starts
                result["sim_connections"] = sim.connections
                result["sim_problems"] = sim.problems[:20]
            if faults:
                result["faults"] = faults.report()
            if proc and proc.poll() is None:
                proc.kill()
            if site:
                result["site_requests"] = [r.path for r in site.requests]
                site.stop()
        finally:
            wine.stop()  # whatever failed above, no Wine server or display is left behind
    if feed and feed.start_time:
        result["feed_start"] = feed.start_time
        result["feed_sent"] = feed.sent
    for name in ("Log.txt",):
        if program and (program / name).exists():
            shutil.copy2(program / name, out / name)
    (out / "realtraffic.log").write_text("".join(f"{t} conn {c} {text}\n" for t, c, text in result.get("link_lines", [])))
    (out / "result.json").write_text(json.dumps(result, indent=1))
    figures = tracks.analyse(out, data, result)
    say(f"summary in {out / 'summary.txt'}, map in {out / 'tracks.png'}")
    print((out / "summary.txt").read_text().split("\n\n")[-1].strip(), flush=True)
    passed = result["exit_code"] == 0
    if args.soak and program:
        from demo import soak
        first = out / "Log-first-start.txt"
        first = first if first.exists() else out / "Log.txt"
        log_text = first.read_text(encoding="utf-8", errors="replace") if first.exists() else ""
        line, passed = soak.verdict_line(figures, result, log_text, soak.files_kept(program, data_folder))
        (out / "soak.txt").write_text("\n".join(result.get("faults", {}).get("events", [])) + "\n" + line + "\n")
        print(line, flush=True)
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
