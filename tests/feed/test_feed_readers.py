"""The two UDP readers in a running program (natively, or under Wine in the Windows
build), fed by the RealTraffic stand-in."""
import socket

import pytest

from standins import programs
from standins.probe_process import ProbeProcess
from standins.realtraffic_sender import (UdpSender, amsterdam_scenario, free_udp_port, hostile_datagrams,
                                         hostile_qnh_datagrams, scripted_lines, traffic_line, wait_until_bound)

# One receive wait is a second; a Wine program on a loaded machine needs some slack.
STOP_LIMIT_MS = 2500 if programs.IS_WINDOWS else 1600


class Probe(ProbeProcess):
    """The feed_reader_probe tool."""

    def __init__(self, *args: str):
        super().__init__("feed_reader_probe", *args)

    def records(self) -> list:
        """The callsigns of the queued records, which are taken from the queue."""
        return [line.split(" ")[2] for line in self.ask("records")[:-1] if line.startswith("record ")]


@pytest.fixture
def probe(request):
    """Both readers on free ports; RealTraffic on this PC unless the parameter says False."""
    ports = free_udp_port(), free_udp_port()
    p = Probe("--traffic-port", str(ports[0]), "--qnh-port", str(ports[1]),
              *(["--local"] if getattr(request, "param", True) else []))
    assert wait_until_bound(ports[0]) and wait_until_bound(ports[1])
    p.ports = ports
    yield p
    p.close()


def test_scripted_traffic_and_qnh_reports_are_counted_and_handed_on(probe):
    with UdpSender(*probe.ports) as sender:
        sent = sender.replay(scripted_lines(amsterdam_scenario(), duration_s=6.0), speed=6.0,
                             qnh_every_s=2.0, qnh_value=2992)
    s = probe.wait_for(lambda s: int(s["traffic_count"]) == sent and int(s["qnh_count"]) >= 3)
    assert s["traffic"] == "1" and s["qnh"] == "1" and s["qnh_hpa"] == "1013"
    callsigns = probe.records()
    assert len(callsigns) == sent and set(callsigns) == {"KLM1234", "EZY81UP", "TRA5521", "DLH9KW"}
    assert "Traffic Reader connected" in probe.log() and "QNH Reader connected" in probe.log()


def test_hostile_datagrams_leave_both_readers_running_until_their_stop_flags_end_them(probe):
    with UdpSender(*probe.ports) as sender:
        for _, data in hostile_datagrams():
            sender.send_traffic(data)
        for _, data in hostile_qnh_datagrams():
            sender.send_qnh(data)
        probe.wait_for(lambda s: int(s["traffic_dropped"]) >= 2 and int(s["qnh_count"]) >= 8)
        sender.send_traffic(traffic_line(callsign="GOOD1"))
        sender.send_qnh(1021)
    s = probe.wait_for(lambda s: s["queued"] == "1" and s["qnh_hpa"] == "1021")
    assert s["traffic_dropped"] == "2" and s["stop"] == "0"
    assert probe.records() == ["GOOD1"]
    log = probe.log()
    for text in ("buffer overrun: 16384 bytes", "buffer overrun: more than 16384 bytes",
                 "exception in processLineSub: lat:nan", 'no QNH {"QNH":null}'):
        assert f"\n{text}\n" in log
    assert "has stopped" not in log

    # Raising the stop flags ends both readers within one receive wait.
    assert int(probe.ask("stop")[-1].split(" ")[1]) < STOP_LIMIT_MS
    s = probe.status()
    assert s["traffic"] == "3" and s["stop"] == "0"
    for name in ("Traffic Reader", "QNH Reader"):
        assert f"\n{name} has stopped\n" in probe.log() and f"{name} disconnected" in probe.log()


@pytest.mark.parametrize("probe", [False], indirect=True)
def test_repeats_from_another_pc_count_once_and_liveness_shows_silence_and_return(probe):
    line = traffic_line(callsign="TWICE")
    with UdpSender(*probe.ports) as sender:
        sender.send_traffic(line)
        sender.send_traffic(line)
        assert probe.wait_for(lambda s: s["traffic_count"] == "2")["queued"] == "1"
        assert probe.status("check")["traffic"] == "1"
        s = probe.status("check")
        assert s["traffic"] == "2" and s["qnh"] == "2"
        sender.send_traffic(traffic_line(callsign="BACK1"))
        sender.send_qnh(1015)
        probe.wait_for(lambda s: s["traffic_count"] == "3" and s["qnh_hpa"] == "1015")
        assert probe.status()["qnh"] == "1"
        assert probe.status("check")["traffic"] == "1"


def test_an_occupied_port_stops_the_reader_with_reader_error():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as holder:
        holder.bind(("127.0.0.1", 0))
        p = Probe("--traffic-port", str(holder.getsockname()[1]), "--local")
        try:
            s = p.wait_for(lambda s: s["stop"] == "1")
            assert (s["reason"], s["delay"]) == ("READER_ERROR", "15")
            text = ("The Traffic Reader has stopped with error: "
                    "bind to stream socket failed, error: 10048 Address already in use")
            assert p.ask("message")[-1] == "message " + text
            log = p.log()
            assert "\n" + text + "\n" in log
            assert "\n          Traffic Reader disconnected\n" in log
            assert "Traffic Reader connected" not in log
        finally:
            p.close()
