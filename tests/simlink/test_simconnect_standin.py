"""Our SimConnect client (driven by the simconnect_probe program, natively or under
Wine) against the simulator stand-in over TCP on loopback, and over a named pipe inside
Wine through the pipe relay."""
import os
import re
import socket
import struct
import subprocess

import pytest

from standins import programs
from standins.simconnect_server import build

QUIT = build("quit")
FAULT_SCRIPT = ("open", "dispatch", "100", "subscribe", "900", "fault", "wait-failure", "3000", "burst", "1", "close")
windows_only = pytest.mark.skipif(not programs.IS_WINDOWS, reason="named pipes exist only under Wine")


def write_cfg(folder, text):
    (folder / "SimConnect.cfg").write_text("[SimConnect]\n" + text, encoding="ascii")


def run_client(server, folder, *args, transport="tcp", vanish="close"):
    """Runs the probe in `folder` against the stand-in: over TCP (Nagle off, so that a
    record that tells the stand-in to act leaves at once), or over a named pipe through
    the relay, which vanishes as `vanish` says when the stand-in closes its end."""
    if transport == "tcp":
        write_cfg(folder, f"Protocol=IPv4\nAddress=127.0.0.1\nPort={server.port}\nDisableNagle=1\n")
        return probe(folder, *args)
    name = f"tavelorium-test-{os.getpid()}-{folder.name}"
    write_cfg(folder, f"Protocol=Pipe\nPort={name}\n")
    relay = subprocess.Popen(programs.command("simconnect_pipe_relay_win", name, str(server.port), vanish),
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE)
    assert relay.stdout.readline().strip() == b"ready"
    try:
        return probe(folder, *args)
    finally:
        assert relay.wait(10) == 0


def probe(folder, *args, timeout=60):
    p = programs.run("simconnect_probe", *args, cwd=folder, timeout=timeout)
    out = p.stdout.decode("latin-1")
    assert p.returncode == 0, (out, p.stderr.decode("latin-1"))
    return out.splitlines()


def messages(lines):
    return [line for line in lines if line.startswith("msg ")]


def first(lines, prefix):
    found = [line for line in lines if line.startswith(prefix)]
    assert found, lines
    return found[0]


def field(line, name):
    return re.search(rf"\b{name}=(\S+)", line).group(1)


# Every message id the client reads, sent when the open is answered, arrives with its
# fields; so does a stream split at every byte or coalesced.
@pytest.mark.parametrize("transport", ["tcp", pytest.param("pipe", marks=windows_only)])
def test_open_requests_every_message_and_close(server, tmp_path, transport):
    stream = (build("event", event_id=201, data=1) + build("frame", event_id=204, frame_rate=30.0) +
              build("object_add_remove", event_id=202, object_id=900) + QUIT)

    def answer(client, _):
        client.send("exception", exception=22, send_id=5, index=3)
        client.send("quit")
        client.send("event", group_id=301, event_id=206, data=0)
        client.send("object_add_remove", event_id=203, object_id=812, object_type=2)
        client.send("event_filename", event_id=206, file_name="C:\\flights\\new.fxml")
        for _ in range(10):
            client.send("frame", event_id=204, frame_rate=29.5)
        client.send("object_data", request_id=106, object_id=1, define_id=7,
                    payload=struct.pack("<d", 51.25) + b"Boeing 737-800\0")
        client.send("object_data_by_type", request_id=101, object_id=812, define_id=8,
                    payload=b"DLH4AB".ljust(32, b"\0") + struct.pack("<q", 1))
        # Longer than one pipe read: the rest of the pipe message follows with the next.
        client.send("object_data", request_id=1, object_id=3, define_id=5, payload=b"\x01" * 6000)
        client.send_raw(stream, split="bytes")
        client.send_raw(stream * 3)

    server.on("Open", answer)
    lines = run_client(server, tmp_path, "open", "requests", "define", "7", "Plane Latitude", "degree", "4", "define", "7",
                      "TITLE", "-", "11", "define", "8", "ATC ID", "-", "6", "define", "8", "SIM ON GROUND", "Bool",
                      "2", "dispatch", "1000", "close", transport=transport)
    assert lines[0].startswith("open hr=0x00000000")
    assert lines[1] == "requests hr=0x00000000"
    assert messages(lines) == [
        "msg open size=308 name='Lockheed Martin\xae Prepar3D\xae v5' version=5.3.17.28160",
        "msg exception size=24 code=22 send_id=5 index=3",
        "msg quit size=12",
        "msg event size=24 group=301 event=206 data=0",
        "msg object_add_remove size=28 event=203 object=812 type=2",
        "msg event_filename size=288"] + ["msg frame size=32 event=204 rate=29.5"] * 10 + [
        "msg object_data size=63 request=106 object=1 define=7 entry=1 out_of=1 values=51.25,'Boeing 737-800'",
        "msg object_data_by_type size=80 request=101 object=812 define=8 entry=1 out_of=1 values='DLH4AB',1",
        "msg object_data size=6040 request=1 object=3 define=5 entry=1 out_of=1 values="] + [
        "msg event size=24 group=4294967295 event=201 data=1", "msg frame size=32 event=204 rate=30.0",
        "msg object_add_remove size=28 event=202 object=900 type=2", "msg quit size=12"] * 4
    assert lines[-1].startswith("close hr=0x00000000")

    records = server.wait_records(18)
    assert [r.name for r in records[:14]] == [
        "Open", "MapClientEventToSimEvent", "TransmitClientEvent", "AddClientEventToNotificationGroup",
        "SetNotificationGroupPriority", "AddToDataDefinition", "RequestDataOnSimObject",
        "RequestDataOnSimObjectType", "SetDataOnSimObject", "SubscribeToSystemEvent", "AICreateNonATCAircraft",
        "AIReleaseControl", "AIRemoveObject", "AISetAircraftFlightPlan"]
    assert [r.send_id for r in records] == list(range(1, 19))
    assert records[0].fields["application_name"] == "Tavelorium_P3D"
    assert records[10].fields["tail_number"] == "DLH4AB"
    assert server.problems == []
    assert server.clients[0].closed.wait(5)


def send_bad_size(size):
    return lambda client: client.send_raw(b"\0" * 5 + QUIT + struct.pack("<I", size) + b"\0" * 12)


# FIN, RST and impossible sizes over TCP are noticed within 100 ms; a vanished pipe server
# shows as error 109 or 233. Every later call fails with the recorded error.
@pytest.mark.parametrize("transport,fault,reason,error", [
    ("tcp", "fin", 5, None), ("tcp", "rst", 5, None), ("tcp", 3, 2, "0x80004004"), ("tcp", 50000, 1, "0x80004004"),
    pytest.param("pipe", "close", 5, "0x8007006D", marks=windows_only),
    pytest.param("pipe", "disconnect", 5, "0x800700E9", marks=windows_only)])
def test_a_lost_connection_is_noticed_and_fails_later_calls(server, tmp_path, transport, fault, reason, error):
    actions = {"fin": lambda client: client.fin(), "rst": lambda client: client.rst()}
    server.on_event_name("fault", actions.get(fault, send_bad_size(fault)))
    lines = run_client(server, tmp_path, *FAULT_SCRIPT, transport=transport, vanish=fault)
    # What arrived before the fault is still delivered.
    assert messages(lines)[1:] == ([] if isinstance(fault, str) else ["msg quit size=12"])
    failed = first(lines, "failed")
    hr = field(failed, "hr")
    assert field(failed, "reason") == str(reason) and hr != "0x00000000" and hr == (error or hr)
    if transport == "tcp":
        assert int(field(failed, "ms")) < 100
    assert field(first(lines, "burst"), "hr") == hr


# The third connection's simulator goes silent: the client stays responsive and closes.
def test_open_close_and_reopen_three_times_in_one_process(server, tmp_path):
    server.on_event_name("quiet", lambda client: client.silence())
    lines = run_client(server, tmp_path, *(["open", "dispatch", "150", "close"] * 2), "open", "subscribe", "900",
                       "quiet", "dispatch", "500", "burst", "200", "dispatch", "300", "close")
    assert [line.split(" ms=")[0] for line in lines if line.startswith(("open", "close", "burst", "failed"))] == \
        ["open hr=0x00000000", "close hr=0x00000000"] * 2 + ["open hr=0x00000000", "burst hr=0x00000000",
                                                             "close hr=0x00000000"]
    assert int(field(lines[-1], "ms")) < 1000
    assert len([m for m in messages(lines) if m.startswith("msg open")]) == 3
    opens = server.wait_records(3, name="Open")
    assert [(r.client, r.send_id) for r in opens] == [(0, 1), (1, 1), (2, 1)]
    assert server.problems == []


def test_open_fails_when_nothing_listens(tmp_path):
    # Bound but not listening: connections to it are refused for the life of the test.
    with socket.socket() as closed:
        closed.bind(("127.0.0.1", 0))
        write_cfg(tmp_path, f"Protocol=IPv4\nAddress=127.0.0.1\nPort={closed.getsockname()[1]}\n")
        lines = probe(tmp_path, "open")
    assert lines[0].startswith("open hr=0x80004005")
    assert int(field(lines[0], "ms")) < 5000
