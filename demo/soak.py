"""The faults of the soak (scripts/soak.sh), played by chain.py --soak against the running
program: the simulator stand-in stops for 20 s every 5 minutes, the RealTraffic TCP link
and the UDP traffic drop for 30 s every 7 minutes, hostile datagrams and a flood of 2,000
lines a second for 10 s every 10 minutes (the first after 2.5 minutes). Then judges what
the run left: crashes, restarts, reconnections, lines, aircraft, memory and the files the
program keeps."""
import math
import pathlib
import random
import re
import threading
import time
import xml.etree.ElementTree as ET

from standins import realtraffic_sender as rt

SIM_EVERY_S, SIM_DOWN_S = 300.0, 20.0
LINK_EVERY_S, LINK_DOWN_S = 420.0, 30.0
FLOOD_FIRST_S, FLOOD_EVERY_S, FLOOD_RATE, FLOOD_S = 150.0, 600.0, 2000, 10.0


class Faults:
    def __init__(self, sim, link, sender, feed, out: pathlib.Path, scale: float = 1.0):
        """scale < 1 brings the faults closer together (a quick try of the soak)."""
        self.sim, self.link, self.sender, self.feed, self.out, self.scale = sim, link, sender, feed, out, scale
        self.stopping = threading.Event()
        self.events = []
        self.counts = {"sim_restarts": 0, "link_drops": 0, "link_reconnects": 0, "hostile_sent": 0, "flood_sent": 0,
                       "link_reconnects_after_restart": 0}
        self.threads = [threading.Thread(target=f, daemon=True, name=f.__name__)
                        for f in (self._simulator, self._link, self._flood, self._link_keeper)]

    def start(self):
        self.t0 = time.monotonic()
        for t in self.threads:
            t.start()

    def stop(self):
        self.stopping.set()
        for t in self.threads:
            t.join(90)

    def note(self, text):
        self.events.append(f"{time.monotonic() - self.t0:7.1f} s {text}")

    def _wait(self, seconds):
        return self.stopping.wait(seconds)

    def _at(self, moment):
        return self._wait(max(0.0, self.t0 + moment - time.monotonic()))

    def _simulator(self):
        k = 1
        while not self._at(k * SIM_EVERY_S * self.scale):
            self.note("simulator stand-in stops")
            self.sim.stop()
            self._wait(SIM_DOWN_S)
            for _ in range(30):
                try:
                    self.sim.start()
                    break
                except OSError as e:
                    self.note(f"simulator stand-in cannot listen yet: {e}")
                    self._wait(1.0)
            self.counts["sim_restarts"] += 1
            self.note("simulator stand-in is back")
            k += 1

    def _link(self):
        k = 1
        while not self._at(k * LINK_EVERY_S * self.scale):
            self.note("RealTraffic link and traffic drop")
            self.link.drop("fin")
            self.feed.paused.set()
            self.counts["link_drops"] += 1
            self._wait(LINK_DOWN_S)
            self.feed.paused.clear()
            try:
                self.link.connect(timeout_s=120)
                self.counts["link_reconnects"] += 1
                self.note("RealTraffic link reconnected")
            except (OSError, TimeoutError, AssertionError) as e:
                self.note(f"RealTraffic link did not reconnect: {e}")
            k += 1

    def _link_keeper(self):
        """RealTraffic connects again when a restarted program listens anew."""
        while not self._wait(1.0):
            if self.link.closed_by_program.is_set() and not self.feed.paused.is_set():
                self._wait(3.0)
                if self.feed.paused.is_set() or self.stopping.is_set():
                    continue
                try:
                    self.link.connect(timeout_s=60)
                    self.counts["link_reconnects_after_restart"] += 1
                    self.note("RealTraffic link connected to the restarted program")
                except (OSError, TimeoutError) as e:
                    self.note(f"RealTraffic link found no program: {e}")

    def _flood(self):
        moment = FLOOD_FIRST_S * self.scale
        rng = random.Random(7)
        while not self._at(moment):
            self.note("hostile datagrams and a flood")
            for _, data in rt.hostile_datagrams():
                self.sender.send_traffic(data)
                self.counts["hostile_sent"] += 1
            for _, data in rt.hostile_qnh_datagrams():
                self.sender.send_qnh(data)
                self.counts["hostile_sent"] += 1
            # Fifty aircraft far out, each reported far too often: the plausibility filter's work.
            start = time.monotonic()
            n = 0
            while n < FLOOD_RATE * FLOOD_S and not self.stopping.is_set():
                due = start + n / FLOOD_RATE
                delay = due - time.monotonic()
                if delay > 0:
                    time.sleep(delay)
                i = n % 50
                bearing = math.radians(i * 7.2)
                self.sender.send_traffic(rt.traffic_line(
                    hexid=7000000 + i, lat=f"{52.31 + 0.5 * math.cos(bearing):.5f}",
                    lon=f"{4.76 + 0.8 * math.sin(bearing):.5f}", baro_alt=f"{30000 + 100 * i}", baro_rate="0",
                    track=f"{(i * 7.2 + 90) % 360:.1f}", gs="450", callsign=f"FLD{i:03d}", type="B738",
                    registration="", timestamp=f"{time.time():.2f}", tas="-1", gnd="0"))
                self.counts["flood_sent"] += 1
                n += 1
            self.note(f"flood ends after {time.monotonic() - start:.1f} s")
            moment += FLOOD_EVERY_S * self.scale + rng.uniform(0, 1)

    def report(self):
        return dict(self.counts, events=self.events)


def files_kept(program: pathlib.Path, data_folder: pathlib.Path):
    """Each file the program must keep parses and holds its content: name -> problem or "ok"."""
    found = {"parameters.xml": data_folder / "parameters.xml",
             "LiveriesScanned.xml": program / "output" / "LiveriesScanned.xml"}
    learned = sorted((program / "airports" / "learned").rglob("*.xml")) if (program / "airports").exists() else []
    for f in learned:
        found[str(f.relative_to(program))] = f
    verdict = {}
    for name, path in found.items():
        if not path.exists():
            verdict[name] = "missing"
            continue
        try:
            root = ET.parse(path).getroot()
        except ET.ParseError as e:
            verdict[name] = f"does not parse: {e}"
            continue
        if name == "parameters.xml":
            ok = any(p.get("name") == "SIM_INSTALL_PATH" for p in root.iter("parameter"))
        elif name == "LiveriesScanned.xml":
            ok = len(list(root.iter())) > 3
        else:
            ok = root.find(".//parkpositions") is not None
        verdict[name] = "ok" if ok else "lost its content"
    return verdict


def verdict_line(figures, result, log_text, files):
    """The soak's closing line and whether it passed."""
    faults = result.get("faults", {})
    memory = [(t, kb) for t, kb in result.get("memory_kb", []) if kb]
    settled = [kb for t, kb in memory if t >= 300.0]
    start_kb = settled[0] if settled else (memory[0][1] if memory else None)
    end_kb = memory[-1][1] if memory else None
    growth = (end_kb - start_kb) / start_kb * 100.0 if start_kb and end_kb else None
    crashes = int(bool(result.get("crashed"))) + int(result.get("exit_code") not in (0, None)) \
        + log_text.count("Unhandled exception") + log_text.count("SYSTEM ERROR")
    restarts = len(re.findall(r"^Restarting after", log_text, re.M))
    refused = len(re.findall(r"exception in processLineSub", log_text)) + sum(
        int(m) for m in re.findall(r"^(\d+) log lines? about received datagrams left out", log_text, re.M))
    second = result.get("second_start", {})
    crashes += int(bool(second.get("crashed"))) + int(second.get("exit_code") not in (0, None))
    first_files = result.get("files_after_first_start", {})
    lost = [f"{k}: {v}" for k, v in list(first_files.items()) + list(files.items()) if v != "ok"]
    ok = crashes == 0 and (growth is None or growth <= 10.0) and not lost and (
        not second or (second.get("window") and second.get("link") and second.get("readers")))
    line = (f"soak: crashes {crashes}, restarts {restarts}, simulator restarts {faults.get('sim_restarts', 0)} "
            f"(connections {result.get('sim_connections', 0)}), link drops {faults.get('link_drops', 0)} "
            f"and reconnections after restarts {faults.get('link_reconnects_after_restart', 0)} "
            f"(connections {result.get('link_connections', 0)}), lines sent {result.get('datagrams_sent', 0)} "
            f"(flood {faults.get('flood_sent', 0)}, hostile {faults.get('hostile_sent', 0)}), refused {refused}, "
            f"aircraft created {figures.get('objects', 0)} removed {figures.get('removed', 0)}, memory "
            f"{start_kb and round(start_kb / 1024)} MB at 5 min -> {end_kb and round(end_kb / 1024)} MB at the end "
            f"({'-' if growth is None else f'{growth:+.1f} %'}), files {'all kept' if not lost else 'LOST: ' + '; '.join(lost)}"
            f", site requests {len(result.get('site_requests', []))} (stalled, then 500), second start "
            f"{'up' if second.get('readers') and second.get('link') else 'NOT UP'} and exit code {second.get('exit_code')}"
            f" -> {'PASS' if ok else 'FAIL'}")
    return line, ok
