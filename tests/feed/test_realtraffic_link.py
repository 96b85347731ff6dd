"""The RealTraffic TCP link in a running program (natively, or under Wine in the Windows
build), with the stand-in's TCP client as RealTraffic."""
import socket
import time

import pytest

from standins import programs
from standins.probe_process import ProbeProcess
from standins.realtraffic_sender import TcpLinkClient

# A wait step is 100 ms; a Wine program on a loaded machine needs some slack.
STOP_LIMIT_MS = 1000


class LinkProbe(ProbeProcess):
    """The realtraffic_link_probe tool listening on a free port."""

    def __init__(self):
        super().__init__("realtraffic_link_probe")
        self.port = int(self.ask("start 0")[-1].split(" ")[2])

    def state(self, command: str, answer: str = "") -> dict:
        """The state words of the answer; the edition text (last) may hold blanks."""
        head, edition = self.ask(command, answer=answer)[-1].split(" edition=", 1)
        return dict(w.split("=", 1) for w in head.split(" ") if "=" in w) | {"edition": edition}

    def greet(self, client: TcpLinkClient) -> dict:
        """Waits for RealTraffic with the client connecting; the state after the greeting."""
        self.send("wait")
        client.connect()
        return self.state("", answer="wait")


@pytest.fixture
def probe():
    p = LinkProbe()
    yield p
    p.close()


@pytest.mark.parametrize("options, edition, professional", [
    ({"reply": b'{"level":2,"version":"9.0"}'}, "RT prof edition: 9.0", "1"),
    ({"reply": b"{}", "reply_delay": 1.0}, "RT stnd edition: ", "0"),
    ({"reply": b'{"level":2,"version":"10.1"}', "split_at": 7}, "RT prof edition: 10.1", "1"),
])
def test_the_greeting_reads_a_whole_reply_however_it_arrives(probe, options, edition, professional):
    client = TcpLinkClient(probe.port, **options)
    state = probe.greet(client)
    assert (state["connected"], state["ready"], state["professional"], state["edition"]) == (
        "1", "1", professional, edition)
    assert "\nRealTraffic connected\n" in probe.log()
    assert probe.state("qs123 1717430400")["connected"] == "1"
    assert client.wait_lines("Qs123") == ["Qs123=1717430400000"]
    assert client.texts() == ["Qs999=version", "Qs123=1717430400000"] and client.problems == []
    client.close()


def test_a_client_that_closes_at_once_is_no_realtraffic_and_the_next_one_is_greeted(probe):
    probe.send("wait")
    socket.create_connection(("127.0.0.1", probe.port)).close()  # a tool probing the port
    time.sleep(0.5)
    client = TcpLinkClient(probe.port, reply=b'{"level":2,"version":"9.0"}')
    client.connect()
    state = probe.state("", answer="wait")
    assert (state["connected"], state["ready"], state["professional"], state["edition"]) == (
        "1", "1", "1", "RT prof edition: 9.0")
    assert client.texts() == ["Qs999=version"] and client.problems == []
    assert "No RealTraffic version received?" not in probe.log()
    client.close()


@pytest.mark.parametrize("reply", [None, b"RealTraffic 9.0"])
def test_no_version_reply_in_five_seconds_goes_on_as_the_standard_edition(probe, reply):
    client = TcpLinkClient(probe.port, reply=reply)
    started = time.monotonic()
    state = probe.greet(client)
    assert 4.5 < time.monotonic() - started < 15
    assert (state["connected"], state["professional"], state["edition"]) == ("1", "0", "")
    assert "\nNo RealTraffic version received?\n" in probe.log()
    client.close()


def test_a_lost_realtraffic_is_noticed_taken_back_without_a_new_query_and_told_exit(probe):
    client = TcpLinkClient(probe.port)
    probe.greet(client)
    # No user position yet: nothing is sent.
    probe.ask("position 0.00005 0.00005 1.5 35000 250")
    probe.ask("send")
    probe.ask("position 52.0 4.0 1.5 35000 250")
    probe.ask("send")
    assert client.wait_lines("Qs121") == ["Qs121=0;0;1.500000;35000000;250000;0.907571;0.069813"]
    for kind in ("fin", "rst"):
        client.drop(kind)
        states = [probe.state("send") for _ in range(2)]
        assert states[-1]["connected"] == "0" and states[-1]["ready"] == "0", kind
        assert probe.state("send")["connected"] == "0"  # no client yet: nothing waits
        assert " RealTraffic gone? Wait for RealTraffic to re-connect ...\n" in probe.log()
        client.connect()
        deadline = time.monotonic() + 10
        while probe.state("send")["connected"] != "1":
            assert time.monotonic() < deadline
            time.sleep(0.05)
        assert " RealTraffic re-connected\n" in probe.log()
        assert probe.state("send")["ready"] == "1"
        client.wait_lines("Qs121", 2 if kind == "fin" else 3)
    assert probe.state("send")["takeouts"] == "2"
    assert client.texts("Qs999") == ["Qs999=version"]
    probe.ask("close")
    assert client.wait_lines("exit") == ["exit"]
    assert client.closed_by_program.wait(5)
    assert client.problems == []


def test_a_stop_ends_the_wait_for_realtraffic_and_a_taken_port_fails_the_start(probe):
    probe.send("wait")
    time.sleep(0.5)
    probe.ask("stop")
    waited = probe.ask("", answer="wait")[-1].split(" ")
    assert waited[2] == "connected=0"
    assert int(waited[1]) < 500 + STOP_LIMIT_MS + (1000 if programs.IS_WINDOWS else 0)

    with socket.socket() as holder:
        holder.bind(("127.0.0.1", 0))
        holder.listen()
        port = holder.getsockname()[1]
        answer = probe.ask(f"start {port}")[-1]
    assert answer.startswith(f"start error Bind failed at port {port} with error 10048 ")
