"""The two UDP readers in a running program (natively, or under Wine in the Windows
build), fed by the RealTraffic stand-in."""
import pathlib
import queue
import socket
import subprocess
import tempfile
import threading
import time

import pytest

from standins import programs
from standins.realtraffic_sender import (UdpSender, amsterdam_scenario, free_udp_port, hostile_datagrams,
                                         hostile_qnh_datagrams, recorded_lines, scripted_lines, traffic_line,
                                         wait_until_bound)

# One receive wait is a second; a Wine program on a loaded machine needs some slack.
STOP_LIMIT_MS = 2500 if programs.IS_WINDOWS else 1600


class Probe:
    """The feed_reader_probe tool, asked through its stdin."""

    def __init__(self, *args: str):
        self.folder = tempfile.TemporaryDirectory(prefix="feedprobe")
        self.log_file = pathlib.Path(self.folder.name) / "Log.txt"
        self.proc = subprocess.Popen(programs.command("feed_reader_probe", "--log", str(self.log_file), *args),
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                     text=True, bufsize=1)
        self.lines: "queue.Queue[str]" = queue.Queue()
        threading.Thread(target=lambda: [self.lines.put(line.rstrip("\r\n")) for line in self.proc.stdout],
                         daemon=True).start()
        self.answer("ready", 30)

    def answer(self, word: str, timeout: float = 20) -> list:
        """The lines up to the one that starts with the word, that one last."""
        deadline = time.monotonic() + timeout
        got = [self.lines.get(timeout=max(0.01, deadline - time.monotonic()))]
        while got[-1].split(" ", 1)[0] != word:
            got.append(self.lines.get(timeout=max(0.01, deadline - time.monotonic())))
        return got

    def ask(self, command: str) -> str:
        self.proc.stdin.write(command + "\n")
        self.proc.stdin.flush()
        return self.answer(command)[-1]

    def status(self, command: str = "status") -> dict:
        return dict(part.split("=", 1) for part in self.ask(command).split(" ")[1:])

    def records(self) -> list:
        """The callsigns of the queued records, which are taken from the queue."""
        self.proc.stdin.write("records\n")
        self.proc.stdin.flush()
        return [line.split(" ")[2] for line in self.answer("records") if line.startswith("record ")]

    def wait_for(self, predicate, timeout: float = 10) -> dict:
        deadline = time.monotonic() + timeout
        while not predicate(s := self.status()) and time.monotonic() < deadline:
            time.sleep(0.05)
        return s

    def log(self) -> str:
        return self.log_file.read_text(encoding="utf-8", errors="replace")

    def close(self):
        try:
            if self.proc.poll() is None:
                self.proc.stdin.write("quit\n")
                self.proc.stdin.flush()
                self.proc.wait(timeout=20)
        except (OSError, subprocess.TimeoutExpired):
            self.proc.kill()
            self.proc.wait()
        self.folder.cleanup()


@pytest.fixture
def ports():
    return free_udp_port(), free_udp_port()


@pytest.fixture
def probe(ports, request):
    local = getattr(request, "param", True)
    p = Probe("--traffic-port", str(ports[0]), "--qnh-port", str(ports[1]), *(["--local"] if local else []))
    assert wait_until_bound(ports[0]) and wait_until_bound(ports[1])
    yield p
    p.close()


def test_scripted_and_recorded_traffic_and_qnh_reports_are_counted_and_handed_on(probe, ports, tmp_path):
    with UdpSender(*ports) as sender:
        sent = sender.replay(scripted_lines(amsterdam_scenario(), duration_s=6.0), speed=6.0,
                             qnh_every_s=2.0, qnh_value=2992)
    s = probe.wait_for(lambda s: int(s["traffic_count"]) == sent and int(s["qnh_count"]) >= 3)
    assert int(s["traffic_count"]) == sent
    assert s["traffic"] == "1" and s["qnh"] == "1" and s["qnh_hpa"] == "1013"
    callsigns = probe.records()
    assert len(callsigns) == sent and set(callsigns) == {"KLM1234", "EZY81UP", "TRA5521", "DLH9KW"}
    assert "Traffic Reader connected" in probe.log() and "QNH Reader connected" in probe.log()

    # A recording keeps the cadence of its timestamps.
    start = time.time() - 60
    recording = tmp_path / "session.txt"
    recording.write_text("# two aircraft, one report each a second\n" + "".join(
        traffic_line(hexid=4000001 + i % 2, callsign=f"REC{i % 2}", timestamp=f"{start + i * 0.5:.2f}") + "\n"
        for i in range(6)))
    timed = list(recorded_lines(recording))
    assert [offset for offset, _ in timed] == pytest.approx([0.0, 0.5, 1.0, 1.5, 2.0, 2.5], abs=0.01)
    began = time.monotonic()
    with UdpSender(*ports) as sender:
        assert sender.replay(timed, speed=2.0) == 6
    assert time.monotonic() - began >= 1.2
    probe.wait_for(lambda s: s["queued"] == "6")
    assert probe.records() == ["REC0", "REC1"] * 3


def test_hostile_datagrams_leave_both_readers_running(probe, ports):
    with UdpSender(*ports) as sender:
        for _, data in hostile_datagrams():
            sender.send_traffic(data)
        for _, data in hostile_qnh_datagrams():
            sender.send_qnh(data)
        probe.wait_for(lambda s: int(s["traffic_dropped"]) >= 2 and int(s["qnh_count"]) >= 8)
        sender.send_traffic(traffic_line(callsign="GOOD1"))
        sender.send_qnh(1021)
    s = probe.wait_for(lambda s: s["queued"] == "1" and s["qnh_hpa"] == "1021")
    assert s["queued"] == "1" and s["qnh_hpa"] == "1021"
    assert s["traffic_dropped"] == "2" and s["stop"] == "0"
    assert probe.records() == ["GOOD1"]
    log = probe.log()
    assert "\nbuffer overrun: 16384 bytes\n" in log
    assert "\nbuffer overrun: more than 16384 bytes\n" in log
    assert "\nexception in processLineSub: lat:nan\n" in log
    assert "\nno QNH {\"QNH\":null}\n" in log
    assert "has stopped" not in log


@pytest.mark.parametrize("probe", [False], indirect=True)
def test_repeats_from_another_pc_count_once_and_liveness_shows_silence_and_return(probe, ports):
    line = traffic_line(callsign="TWICE")
    with UdpSender(*ports) as sender:
        sender.send_traffic(line)
        sender.send_traffic(line)
        s = probe.wait_for(lambda s: s["traffic_count"] == "2")
        assert s["traffic_count"] == "2" and s["queued"] == "1"
        assert probe.status("check")["traffic"] == "1"
        s = probe.status("check")
        assert s["traffic"] == "2" and s["qnh"] == "2"
        sender.send_traffic(traffic_line(callsign="BACK1"))
        sender.send_qnh(1015)
        probe.wait_for(lambda s: s["traffic_count"] == "3" and s["qnh_hpa"] == "1015")
        assert probe.status()["qnh"] == "1"
        assert probe.status("check")["traffic"] == "1"


def test_raising_the_stop_flags_ends_both_readers_within_one_receive_wait(probe):
    elapsed_ms = int(probe.ask("stop").split(" ")[1])
    assert elapsed_ms < STOP_LIMIT_MS
    s = probe.status()
    assert s["traffic"] == "3" and s["stop"] == "0"
    log = probe.log()
    assert "\nTraffic Reader has stopped\n" in log and "\nQNH Reader has stopped\n" in log
    assert "Traffic Reader disconnected" in log and "QNH Reader disconnected" in log


def test_an_occupied_port_stops_the_reader_with_reader_error():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as holder:
        holder.bind(("127.0.0.1", 0))
        p = Probe("--traffic-port", str(holder.getsockname()[1]), "--local")
        try:
            s = p.wait_for(lambda s: s["stop"] == "1")
            assert s["reason"] == "READER_ERROR" and s["delay"] == "15"
            text = ("The Traffic Reader has stopped with error: "
                    "bind to stream socket failed, error: 10048 Address already in use")
            assert p.ask("message") == "message " + text
            log = p.log()
            assert "\n" + text + "\n" in log
            assert "\n          Traffic Reader disconnected\n" in log
            assert "Traffic Reader connected" not in log
        finally:
            p.close()
