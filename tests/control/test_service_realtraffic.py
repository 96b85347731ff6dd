"""Whole runs of the traffic service (natively, or under Wine in the Windows build) with
RealTraffic played by its stand-in (traffic and QNH datagrams, the TCP link) and the
simulator by the SimConnect stand-in playing a flight."""
import threading
import time

import pytest

from standins import programs
from standins.probe_process import ProbeProcess
from standins.realtraffic_sender import RealTrafficStandIn, UdpSender, free_udp_port, traffic_line
from standins.sim_flight import Simulator
from standins.simconnect_server import SimConnectServer

# Runs of the native build are the ones checked under the sanitizers; Wine is slower.
RUNS = 5 if programs.IS_WINDOWS else 20


class ServiceProbe(ProbeProcess):
    def __init__(self, folder, traffic_port: int, qnh_port: int):
        super().__init__("service_probe", "--traffic-port", str(traffic_port), "--qnh-port", str(qnh_port),
                         cwd=folder)


@pytest.fixture
def service(tmp_path):
    (tmp_path / "docs").mkdir()
    server = SimConnectServer()
    simulator = Simulator(server, fps=60)
    (tmp_path / "SimConnect.cfg").write_text(
        f"[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort={server.port}\nDisableNagle=1\n", encoding="ascii")
    ports = free_udp_port(), free_udp_port()
    probe = ServiceProbe(tmp_path, *ports)
    probe.simulator = simulator
    stop = threading.Event()
    standins = []

    def feed():
        # Traffic and QNH every 50 ms around Schiphol, whichever run is listening.
        with UdpSender(*ports) as sender:
            while not stop.wait(0.05):
                sender.send_traffic(traffic_line())
                sender.send_qnh(1013)

    feeder = threading.Thread(target=feed, daemon=True)
    feeder.start()

    def start_run(**link_options) -> RealTrafficStandIn:
        probe.ask("start")
        port = int(probe.wait_for(lambda s: s["port"] != "0")["port"])
        standin = RealTrafficStandIn(*ports, port, reply=b'{"level":2,"version":"9.0"}', **link_options)
        standin.link.connect()
        standins.append(standin)
        probe.wait_for(lambda s: int(s["ticks"]) > 0 and s["readers"] == "2" and s["ready"] == "1"
                       and s["simclient"] == "1")
        return standin

    probe.start_run = start_run
    yield probe
    stop.set()
    feeder.join()
    for standin in standins:
        standin.close()
    assert probe.close() == 0
    simulator.stop()
    server.stop()
    assert server.problems == []


def test_runs_with_both_readers_receiving_and_the_link_up_end_without_leaving_a_thread(service):
    for run in range(RUNS):
        standin = service.start_run()
        before = service.status()
        service.wait_for(lambda s: int(s["traffic"]) > int(before["traffic"]) and int(s["qnh"]) > 0
                         and int(s["cycles"]) > int(before["cycles"]))
        standin.link.wait_lines("Qs121")
        assert int(service.ask("close")[-1].split(" ")[1]) < 10000, run
        assert standin.link.wait_lines("exit") == ["exit"]
        # The close-down asks the SimClient thread to stop and goes on after 3 s at most;
        # the thread ends on its own soon after.
        s = service.wait_for(lambda t: t["simclient"] == "0", timeout=10)
        assert (s["ended"], s["active"], s["readers"], s["simclient"], s["link"]) == ("1", "0", "0", "0", "0"), \
            (run, service.log()[-12000:])
        assert standin.link.texts()[0] == "Qs999=version" and standin.link.problems == []
    assert service.log().count("Exiting: USER CLOSED SIM\n") == RUNS
    assert service.proc.poll() is None


def test_a_paused_flight_a_lost_link_and_stalled_data_stop_no_tick_and_no_user_position(service):
    standin = service.start_run()
    link = standin.link
    service.simulator.act("pause")
    paused = len(link.wait_lines("Qs121"))
    assert standin.user_position() == pytest.approx((52.3, 4.76), abs=1e-4)
    time.sleep(3.5)
    assert len(link.texts("Qs121")) >= paused + 2  # about once a second while paused
    cycles = int(service.status()["cycles"])
    service.simulator.act("resume")
    service.wait_for(lambda s: int(s["cycles"]) >= cycles + 2)
    log = service.log()
    assert log.count(" Flight not running\n") == 1 and log.count(" Flight resumed\n") == 1

    link.drop("rst")
    ticks = int(service.status()["ticks"])
    service.wait_for(lambda s: s["ready"] == "0" and s["link"] == "0", timeout=5)
    assert " RealTraffic gone? Wait for RealTraffic to re-connect ...\n" in service.log()
    service.wait_for(lambda s: int(s["ticks"]) > ticks + 100)
    link.connect()
    service.wait_for(lambda s: s["ready"] == "1")
    assert " RealTraffic re-connected\n" in service.log()
    deadline = time.monotonic() + 10
    while not [line for line in link.lines if line.connection == 2 and line.text.startswith("Qs121")]:
        assert time.monotonic() < deadline
        time.sleep(0.05)
    assert link.texts("Qs999") == ["Qs999=version"] and link.problems == []

    # Without the once-a-second data no cycle runs, but the ticks do and a close is seen.
    service.simulator.act("stall", seconds=600)
    time.sleep(1.5)
    s = service.status()
    service.wait_for(lambda t: int(t["ticks"]) > int(s["ticks"]) + 100 and t["cycles"] == s["cycles"])
    assert int(service.ask("close")[-1].split(" ")[1]) < 3000
    assert link.wait_lines("exit") == ["exit"]
