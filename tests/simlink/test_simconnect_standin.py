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
from standins.simconnect_server import SimConnectServer, build

QUIT = build("quit")


@pytest.fixture
def server():
    s = SimConnectServer()
    yield s
    s.stop()
    # Shown by pytest when the test failed.
    print("\n".join(s.lines))


def write_cfg(folder, text):
    (folder / "SimConnect.cfg").write_text("[SimConnect]\n" + text, encoding="ascii")


def tcp_cfg(folder, port):
    # Nagle off: a record that tells the stand-in to act leaves at once.
    write_cfg(folder, f"Protocol=IPv4\nAddress=127.0.0.1\nPort={port}\nDisableNagle=1\n")


def probe(folder, *args, timeout=60):
    p = programs.run("simconnect_probe", *args, cwd=folder, timeout=timeout)
    out = p.stdout.decode("latin-1")
    assert p.returncode == 0, (out, p.stderr.decode("latin-1"))
    return out.splitlines()


def messages(lines):
    return [line for line in lines if line.startswith("msg ")]


def field(line, name):
    return re.search(rf"\b{name}=(\S+)", line).group(1)


def test_open_reply_events_frames_and_close(server, tmp_path):
    tcp_cfg(tmp_path, server.port)

    def answer(client, _):
        client.send("event", event_id=201, data=1)
        for _ in range(10):
            client.send("frame", event_id=204, frame_rate=29.5)
        client.send("object_add_remove", event_id=202, object_id=4711)

    server.on("Open", answer)
    lines = probe(tmp_path, "open", "requests", "dispatch", "300", "close")
    assert lines[0].startswith("open hr=0x00000000")
    assert lines[1] == "requests hr=0x00000000"
    got = messages(lines)
    assert got[0].startswith("msg open size=308 name='Lockheed Martin\xae Prepar3D\xae v5' version=5.3.17.28160")
    assert got[1] == "msg event size=24 group=4294967295 event=201 data=1"
    assert got[2:12] == ["msg frame size=32 event=204 rate=29.5"] * 10
    assert got[12] == "msg object_add_remove size=28 event=202 object=4711 type=2"
    assert lines[-1].startswith("close hr=0x00000000")

    records = server.wait_records(14)
    assert [r.name for r in records] == [
        "Open", "MapClientEventToSimEvent", "TransmitClientEvent", "AddClientEventToNotificationGroup",
        "SetNotificationGroupPriority", "AddToDataDefinition", "RequestDataOnSimObject",
        "RequestDataOnSimObjectType", "SetDataOnSimObject", "SubscribeToSystemEvent", "AICreateNonATCAircraft",
        "AIReleaseControl", "AIRemoveObject", "AISetAircraftFlightPlan"]
    assert [r.send_id for r in records] == list(range(1, 15))
    assert records[0].fields["application_name"] == "Tavelorium_P3D"
    assert records[10].fields["tail_number"] == "DLH4AB"
    assert server.problems == []
    assert server.clients[0].closed.wait(5)


def test_every_message_the_client_reads_arrives_with_its_fields(server, tmp_path):
    tcp_cfg(tmp_path, server.port)

    def send_all(client):
        client.send("exception", exception=22, send_id=5, index=3)
        client.send("quit")
        client.send("event", group_id=301, event_id=206, data=0)
        client.send("object_add_remove", event_id=203, object_id=812, object_type=2)
        client.send("event_filename", event_id=206, file_name="C:\\flights\\new.fxml")
        client.send("frame", event_id=204, frame_rate=61.0)
        client.send("object_data", request_id=106, object_id=1, define_id=7,
                    payload=struct.pack("<d", 51.25) + b"Boeing 737-800\0")
        client.send("object_data_by_type", request_id=101, object_id=812, define_id=8,
                    payload=b"DLH4AB".ljust(32, b"\0") + struct.pack("<q", 1))

    server.on_event_name("go", send_all)
    lines = probe(tmp_path, "open", "define", "7", "Plane Latitude", "degree", "4", "define", "7", "TITLE", "-",
                  "11", "define", "8", "ATC ID", "-", "6", "define", "8", "SIM ON GROUND", "Bool", "2",
                  "subscribe", "900", "go", "dispatch", "400", "close")
    assert messages(lines)[1:] == [
        "msg exception size=24 code=22 send_id=5 index=3",
        "msg quit size=12",
        "msg event size=24 group=301 event=206 data=0",
        "msg object_add_remove size=28 event=203 object=812 type=2",
        "msg event_filename size=288",
        "msg frame size=32 event=204 rate=61.0",
        "msg object_data size=63 request=106 object=1 define=7 entry=1 out_of=1 values=51.25,'Boeing 737-800'",
        "msg object_data_by_type size=80 request=101 object=812 define=8 entry=1 out_of=1 values='DLH4AB',1",
    ]
    assert server.problems == []


def test_a_stream_split_at_every_byte_or_coalesced_gives_the_same_messages(server, tmp_path):
    tcp_cfg(tmp_path, server.port)
    stream = (build("event", event_id=201, data=1) + build("frame", event_id=204, frame_rate=30.0) +
              build("object_add_remove", event_id=202, object_id=900) + QUIT)

    def send_twice(client):
        client.send_raw(stream, split="bytes")
        client.send_raw(stream * 3)

    server.on_event_name("go", send_twice)
    lines = probe(tmp_path, "open", "subscribe", "900", "go", "dispatch", "1500", "close")
    got = messages(lines)[1:]
    one = ["msg event size=24 group=4294967295 event=201 data=1", "msg frame size=32 event=204 rate=30.0",
           "msg object_add_remove size=28 event=202 object=900 type=2", "msg quit size=12"]
    assert got == one * 4


def test_messages_too_short_for_their_id_are_dropped_and_logged(server, tmp_path):
    tcp_cfg(tmp_path, server.port)

    def send_short(client):
        event = build("event", event_id=201, data=1)
        client.send_raw(struct.pack("<I", 20) + event[4:20])
        frame = build("frame", event_id=204)
        client.send_raw(struct.pack("<I", 24) + frame[4:24])
        client.send("object_data", request_id=109, define_id=7, payload=struct.pack("<d", 1.0))
        client.send_raw(QUIT)

    server.on_event_name("go", send_short)
    lines = probe(tmp_path, "open", "define", "7", "Plane Latitude", "degree", "4", "define", "7", "Plane Longitude",
                  "degree", "4", "subscribe", "900", "go", "dispatch", "400", "close")
    assert messages(lines)[1:] == ["msg quit size=12"]
    log = (tmp_path / "Log.txt").read_text(encoding="latin-1")
    assert "message id 4 of 20 bytes is shorter than its 24 bytes, dropped" in log
    assert "message id 7 of 24 bytes is shorter than its 28 bytes, dropped" in log
    assert "message id 8 of 48 bytes is shorter than its 56 bytes, dropped" in log


@pytest.mark.parametrize("size,reason", [(1, 2), (2, 2), (3, 2), (50000, 1)])
def test_impossible_sizes_close_the_connection_after_the_messages_before_them(server, tmp_path, size, reason):
    tcp_cfg(tmp_path, server.port)
    server.on_event_name("go", lambda client: client.send_raw(
        b"\0" * 5 + QUIT + struct.pack("<I", size) + b"\0" * 12))
    lines = probe(tmp_path, "open", "subscribe", "900", "go", "wait-failure", "3000", "burst", "1", "close")
    assert messages(lines)[1:] == ["msg quit size=12"]
    failed = [line for line in lines if line.startswith("failed")]
    assert failed and field(failed[0], "hr") == "0x80004004" and field(failed[0], "reason") == str(reason)
    assert "burst hr=0x80004004" in lines


@pytest.mark.parametrize("fault", ["fin", "rst"])
def test_fin_and_rst_are_noticed_within_100_ms(server, tmp_path, fault):
    tcp_cfg(tmp_path, server.port)
    server.on_event_name("fault", lambda client: client.fin() if fault == "fin" else client.rst())
    lines = probe(tmp_path, "open", "dispatch", "100", "subscribe", "900", "fault", "wait-failure", "3000",
                  "burst", "1", "close")
    failed = [line for line in lines if line.startswith("failed")]
    assert failed, lines
    assert field(failed[0], "reason") == "5"
    assert int(field(failed[0], "ms")) < 100
    burst = [line for line in lines if line.startswith("burst")][0]
    assert field(burst, "hr") == field(failed[0], "hr") != "0x00000000"


def test_a_silent_simulator_leaves_the_client_responsive(server, tmp_path):
    tcp_cfg(tmp_path, server.port)
    server.on_event_name("quiet", lambda client: client.silence())
    lines = probe(tmp_path, "open", "subscribe", "900", "quiet", "dispatch", "500", "burst", "200", "dispatch", "300",
                  "close")
    assert not any(line.startswith("failed") for line in lines)
    assert "burst hr=0x00000000" in lines
    close = [line for line in lines if line.startswith("close")][0]
    assert field(close, "hr") == "0x00000000" and int(field(close, "ms")) < 1000


def test_open_close_and_reopen_three_times_in_one_process(server, tmp_path):
    tcp_cfg(tmp_path, server.port)
    lines = probe(tmp_path, *(["open", "dispatch", "150", "close"] * 3))
    assert [line.split(" ms=")[0] for line in lines if line.startswith(("open", "close"))] == \
        ["open hr=0x00000000", "close hr=0x00000000"] * 3
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


windows_only = pytest.mark.skipif(not programs.IS_WINDOWS, reason="named pipes exist only under Wine")


def start_relay(server, name, vanish):
    relay = subprocess.Popen(programs.command("simconnect_pipe_relay_win", name, str(server.port), vanish),
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE)
    assert relay.stdout.readline().strip() == b"ready"
    return relay


@windows_only
def test_pipe_open_exchange_and_close(server, tmp_path):
    name = f"tavelorium-test-{os.getpid()}-exchange"
    write_cfg(tmp_path, f"Protocol=Pipe\nPort={name}\n")

    def answer(client, _):
        client.send("event", event_id=201, data=1)
        # Longer than one read: the rest of the pipe message follows with the next.
        client.send("object_data", request_id=1, object_id=3, define_id=5, payload=b"\x01" * 6000)
        client.send("frame", event_id=204, frame_rate=45.0)

    server.on("Open", answer)
    relay = start_relay(server, name, "close")
    try:
        lines = probe(tmp_path, "open", "requests", "dispatch", "300", "close")
    finally:
        assert relay.wait(10) == 0
    assert lines[0].startswith("open hr=0x00000000")
    assert messages(lines)[1:] == ["msg event size=24 group=4294967295 event=201 data=1",
                                   "msg object_data size=6040 request=1 object=3 define=5 entry=1 out_of=1 values=",
                                   "msg frame size=32 event=204 rate=45.0"]
    assert lines[-1].startswith("close hr=0x00000000")
    assert len(server.wait_records(14)) == 14
    assert server.problems == []


@windows_only
@pytest.mark.parametrize("vanish,error", [("close", "0x8007006D"), ("disconnect", "0x800700E9")])
def test_a_vanished_pipe_server_fails_the_connection(server, tmp_path, vanish, error):
    name = f"tavelorium-test-{os.getpid()}-{vanish}"
    write_cfg(tmp_path, f"Protocol=Pipe\nPort={name}\n")
    server.on_event_name("fault", lambda client: client.fin())
    relay = start_relay(server, name, vanish)
    try:
        lines = probe(tmp_path, "open", "dispatch", "100", "subscribe", "900", "fault", "wait-failure", "3000",
                      "burst", "1", "close")
    finally:
        assert relay.wait(10) == 0
    failed = [line for line in lines if line.startswith("failed")]
    assert failed, lines
    assert field(failed[0], "hr") == error and field(failed[0], "reason") == "5"
    assert f"burst hr={error}" in lines
