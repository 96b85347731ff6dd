"""A stand-in for the simulator's side of the SimConnect protocol over TCP on loopback.

Table-driven: REQUESTS lists every record the client may send (size and fields), which
the stand-in checks and logs; MESSAGES lists every message it can send, built from
keyword fields. Tests script it through hooks on received records and through the
methods of the connected client (send, send_raw, fin, rst, silence). See simconnect.md.

Run alone: /usr/bin/python3 demo/standins/simconnect_server.py [--port N] [--sink]
    [--user-flight FILE] [--fps N] [--track-log FILE]
"""
import argparse
import collections
import os
import socket
import struct
import sys
import threading
import time

PROTOCOL_VERSION = 35
REQUEST_BASE = 0xF0000000
MAX_RECORD = 41088

Request = collections.namedtuple("Request", "name size layout fields")
Message = collections.namedtuple("Message", "id layout fields defaults")

# Records the client sends: number -> name, whole size (None: computed), layout and
# fields after the 16-byte header. Texts ("Ns") are NUL-terminated within their field.
REQUESTS = {
    0x01: Request("Open", 296, "<256s6I", ("application_name", "reserved", "simulator_tag", "version_major",
                                           "version_minor", "build_major", "build_minor")),
    0x04: Request("MapClientEventToSimEvent", 276, "<I256s", ("event_id", "event_name")),
    0x05: Request("TransmitClientEvent", 36, "<5I", ("object_id", "event_id", "data", "group_id", "flags")),
    0x07: Request("AddClientEventToNotificationGroup", 28, "<3I", ("group_id", "event_id", "maskable")),
    0x09: Request("SetNotificationGroupPriority", 24, "<2I", ("group_id", "priority")),
    0x0C: Request("AddToDataDefinition", 544, "<I256s256sIfI", ("define_id", "variable_name", "units_name",
                                                                 "data_type", "epsilon", "datum_id")),
    0x0E: Request("RequestDataOnSimObject", 48, "<8I", ("request_id", "define_id", "object_id", "period", "flags",
                                                        "origin", "interval", "limit")),
    0x0F: Request("RequestDataOnSimObjectType", 32, "<4I", ("request_id", "define_id", "radius", "object_type")),
    # 36 bytes and array_count x unit_size bytes of data.
    0x10: Request("SetDataOnSimObject", None, "<5I", ("define_id", "object_id", "flags", "array_count",
                                                      "unit_size")),
    0x17: Request("SubscribeToSystemEvent", 276, "<I256s", ("event_id", "event_name")),
    0x29: Request("AICreateNonATCAircraft", 344, "<256s12s6d3I", ("container_title", "tail_number", "latitude",
                                                                   "longitude", "altitude", "pitch", "bank",
                                                                   "heading", "on_ground", "airspeed",
                                                                   "request_id")),
    0x2B: Request("AIReleaseControl", 24, "<2I", ("object_id", "request_id")),
    0x2C: Request("AIRemoveObject", 24, "<2I", ("object_id", "request_id")),
    0x2D: Request("AISetAircraftFlightPlan", 284, "<I260sI", ("object_id", "flight_plan_path", "request_id")),
}

# Messages the stand-in sends: name -> id, layout and fields after the 12-byte header,
# defaults. Object data messages take their data as the keyword `payload` (bytes).
MESSAGES = {
    "exception": Message(1, "<3I", ("exception", "send_id", "index"), {}),
    "open": Message(2, "<256s10I", ("application_name", "app_major", "app_minor", "build_major", "build_minor",
                                    "sc_major", "sc_minor", "sc_build_major", "sc_build_minor", "reserved1",
                                    "reserved2"),
                    {"application_name": "Lockheed Martin\xae Prepar3D\xae v5", "app_major": 5, "app_minor": 3,
                     "build_major": 17, "build_minor": 28160, "sc_major": 5, "sc_minor": 3}),
    "quit": Message(3, "", (), {}),
    "event": Message(4, "<3I", ("group_id", "event_id", "data"), {"group_id": 0xFFFFFFFF}),
    "object_add_remove": Message(5, "<4I", ("group_id", "event_id", "object_id", "object_type"),
                                 {"group_id": 0xFFFFFFFF, "object_type": 2}),
    "event_filename": Message(6, "<3I260sI", ("group_id", "event_id", "data", "file_name", "flags"),
                              {"group_id": 0xFFFFFFFF}),
    "frame": Message(7, "<3I2f", ("group_id", "event_id", "data", "frame_rate", "sim_speed"),
                     {"group_id": 0xFFFFFFFF, "frame_rate": 30.0, "sim_speed": 1.0}),
    "object_data": Message(8, "<7I", ("request_id", "object_id", "define_id", "flags", "entry_number", "out_of",
                                      "define_count"), {"entry_number": 1, "out_of": 1, "define_count": 1}),
    "assigned_object_id": Message(12, "<2I", ("request_id", "object_id"), {}),
    "object_data_by_type": Message(9, "<7I", ("request_id", "object_id", "define_id", "flags", "entry_number",
                                              "out_of", "define_count"),
                                   {"entry_number": 1, "out_of": 1, "define_count": 1}),
}


def build(name, payload=b"", **fields):
    """The bytes of one message; missing fields are 0 or empty unless MESSAGES has a default."""
    row = MESSAGES[name]
    values = dict(row.defaults)
    values.update(fields)
    unknown = set(fields) - set(row.fields)
    if unknown:
        raise KeyError(f"{name} has no field {sorted(unknown)}")
    args = []
    for f, code in zip(row.fields, _layout_codes(row.layout)):
        v = values.get(f, b"" if code.endswith("s") else 0)
        args.append(v.encode("latin-1") if isinstance(v, str) else v)
    body = struct.pack(row.layout, *args) if row.layout else b""
    body += payload
    return struct.pack("<3I", 12 + len(body), PROTOCOL_VERSION, row.id) + body


def _layout_codes(layout):
    """'<I256s2f' -> ['I', '256s', 'f', 'f']: one code per field."""
    codes, count = [], ""
    for ch in layout.lstrip("<"):
        if ch.isdigit():
            count += ch
            continue
        if ch == "s":
            codes.append(count + "s")
        else:
            codes.extend([ch] * int(count or "1"))
        count = ""
    return codes


def _text(raw):
    end = raw.find(b"\0")
    return raw[: end if end >= 0 else len(raw)].decode("latin-1")


Record = collections.namedtuple("Record", "time client name number size send_id fields data raw")


class Client:
    """One connection from the client under test."""

    def __init__(self, server, sock, index):
        self.server = server
        self.sock = sock
        self.index = index
        self.closed = threading.Event()
        self._silent = False
        self._last_send_id = None
        self._send_lock = threading.Lock()
        self._thread = threading.Thread(target=self._read_loop, name=f"simconnect-client-{index}", daemon=True)
        self._thread.start()

    # Sending.
    def send(self, name, payload=b"", **fields):
        self.send_raw(build(name, payload, **fields), label=name)

    def send_raw(self, payload, split=None, label="raw"):
        """Sends bytes as they are. split=None: in one call; "bytes": one byte per TCP
        segment; an int n: in pieces of n bytes. Pieces go out with a short pause between
        them so that each arrives in a read of its own."""
        self.server.log(f"client {self.index} -> {label} {len(payload)} bytes" +
                        (f" split {split}" if split else ""))
        with self._send_lock:
            if split is None:
                self.sock.sendall(payload)
                return
            step = 1 if split == "bytes" else int(split)
            for i in range(0, len(payload), step):
                self.sock.sendall(payload[i:i + step])
                time.sleep(0.002)

    # Faults.
    def fin(self):
        """Closes the connection in order (FIN)."""
        self.server.log(f"client {self.index} FIN")
        try:
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.sock.close()

    def rst(self):
        """Resets the connection (RST): linger on with a zero timeout, then close. The
        shutdown of the reading side wakes a read blocked in another thread, which would
        otherwise hold the socket open until the client sends again."""
        self.server.log(f"client {self.index} RST")
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        try:
            self.sock.shutdown(socket.SHUT_RD)
        except OSError:
            pass
        self.sock.close()

    def silence(self):
        """Stops reading and answering; the connection stays open."""
        self.server.log(f"client {self.index} silent")
        self._silent = True

    # Receiving.
    def _read_loop(self):
        buffer = b""
        try:
            while True:
                if self._silent:
                    time.sleep(0.01)
                    continue
                try:
                    chunk = self.sock.recv(65536)
                except OSError:
                    break
                if not chunk:
                    break
                buffer += chunk
                while len(buffer) >= 4:
                    size = struct.unpack_from("<I", buffer)[0]
                    if size < 16 or size > MAX_RECORD:
                        self.server.problem(f"client {self.index}: record size {size}")
                        return
                    if len(buffer) < size:
                        break
                    record, buffer = buffer[:size], buffer[size:]
                    self._take(record)
        finally:
            self._end()

    def _end(self):
        """The client went (or the stream broke): close this end too, as a server does."""
        try:
            self.sock.close()
        except OSError:
            pass
        self.closed.set()
        self.server.log(f"client {self.index} closed")

    def _take(self, raw):
        size, version, msg_id, send_id = struct.unpack_from("<4I", raw)
        number = msg_id - REQUEST_BASE
        row = REQUESTS.get(number)
        problems = []
        if version != PROTOCOL_VERSION:
            problems.append(f"version {version}")
        if row is None:
            problems.append(f"unknown id 0x{msg_id:08X}")
            fields, data, name = {}, raw[16:], f"0x{msg_id:08X}"
        else:
            name = row.name
            head = struct.calcsize(row.layout)
            values = struct.unpack_from(row.layout, raw, 16) if size >= 16 + head else ()
            fields = {}
            for f, code, v in zip(row.fields, _layout_codes(row.layout), values):
                if code.endswith("s"):
                    if b"\0" not in v:
                        problems.append(f"{f} not NUL-terminated")
                    v = _text(v)
                fields[f] = v
            data = raw[16 + head:]
            expected = row.size
            if expected is None and fields:
                expected = 16 + head + fields["array_count"] * fields["unit_size"]
                if fields["array_count"] == 0:
                    problems.append("array count 0")
            if size != expected:
                problems.append(f"size {size}, expected {expected}")
        if self._last_send_id is not None:
            wanted = 1 if self._last_send_id == 0xFFFFFFFF else self._last_send_id + 1
            if send_id != wanted:
                problems.append(f"send id {send_id} after {self._last_send_id}")
        self._last_send_id = send_id
        record = Record(time.time(), self.index, name, number, size, send_id, fields, data, raw)
        self.server.record(record, problems)
        if name == "Open" and self.server.answer_open:
            self.send("open", **self.server.open_fields)
        for hook in list(self.server.hooks.get(name, ())):
            hook(self, record)


class SimConnectServer:
    """Listens on 127.0.0.1 (port 0 by default: the tests pass the port on). A long run
    (the demo) keeps no records in memory (`keep_records=False`) and writes its log lines,
    but not the position sets, to `log_file`. A subclass may read its clients' records its
    own way (`client_class`)."""

    client_class = Client

    def __init__(self, port=0, answer_open=True, open_fields=None, echo=False, keep_records=True, log_file=None):
        self.answer_open = answer_open
        self.open_fields = dict(open_fields or {})
        self.echo = echo
        self.keep_records = keep_records
        self.log_file = log_file
        self.records = []
        self.problems = []
        self.lines = []
        self.clients = []
        self.hooks = collections.defaultdict(list)
        self._cond = threading.Condition()
        self._listener = socket.create_server(("127.0.0.1", port))
        self.port = self._listener.getsockname()[1]
        self._thread = threading.Thread(target=self._accept_loop, name="simconnect-server", daemon=True)
        self._thread.start()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def stop(self):
        try:  # wakes the accept() of the server's thread, which would hold the port
            self._listener.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self._listener.close()
        for c in self.clients:
            try:
                c.sock.close()
            except OSError:
                pass

    def on(self, record_name, hook):
        """Calls hook(client, record) for every received record of that name, after the
        record is logged (and, for Open, answered)."""
        self.hooks[record_name].append(hook)

    def on_event_name(self, event_name, action):
        """Calls action(client) when the client subscribes to a system event of that name:
        the tests' way of telling the stand-in when to act."""
        self.on("SubscribeToSystemEvent",
                lambda client, record: action(client) if record.fields["event_name"] == event_name else None)

    def wait_client(self, index=0, timeout=10):
        with self._cond:
            if not self._cond.wait_for(lambda: len(self.clients) > index, timeout):
                raise TimeoutError(f"no client {index} connected")
            return self.clients[index]

    def wait_records(self, count, timeout=10, name=None):
        """Waits until `count` records (of that name, if given) have arrived."""
        def matching():
            return [r for r in self.records if name is None or r.name == name]
        with self._cond:
            if not self._cond.wait_for(lambda: len(matching()) >= count, timeout):
                raise TimeoutError(f"{len(matching())} of {count} {name or 'records'} arrived")
            return matching()

    def log(self, text):
        stamp = time.strftime("%H:%M:%S", time.localtime()) + f".{int(time.time() * 1e6) % 1000000:06d}"
        line = f"{stamp} {text}"
        with self._cond:
            if self.keep_records:
                self.lines.append(line)
            if self.log_file:
                self.log_file.write(line + "\n")
        if self.echo:
            print(line, flush=True)

    def problem(self, text):
        self.log("PROBLEM " + text)
        with self._cond:
            self.problems.append(text)
            self._cond.notify_all()

    def record(self, record, problems):
        if self.keep_records or record.name != "SetDataOnSimObject":
            shown = " ".join(f"{k}={v!r}" for k, v in record.fields.items())
            self.log(f"client {record.client} <- {record.name} size {record.size} send_id {record.send_id} {shown}")
        for p in problems:
            self.problem(f"client {record.client} {record.name} send_id {record.send_id}: {p}")
        with self._cond:
            if self.keep_records:
                self.records.append(record)
            self._cond.notify_all()

    def _accept_loop(self):
        while True:
            try:
                sock, _ = self._listener.accept()
            except OSError:
                return
            # Every message leaves at once. With Nagle on, the messages of an in-range
            # reply after the first would wait for the client's delayed acknowledgement,
            # and the next frame event behind them.
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            with self._cond:
                index = len(self.clients)
            self.log(f"client {index} connected")
            client = self.client_class(self, sock, index)
            with self._cond:
                self.clients.append(client)
                self._cond.notify_all()


def sink(port):
    """Reads and discards whatever arrives, for the send benchmark."""
    listener = socket.create_server(("127.0.0.1", port))
    print(f"sink on 127.0.0.1:{listener.getsockname()[1]}", flush=True)

    def drain(sock):
        with sock:
            while sock.recv(1 << 20):
                pass
    while True:
        sock, _ = listener.accept()
        threading.Thread(target=drain, args=(sock,), daemon=True).start()


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--sink", action="store_true", help="only read and discard (for the send benchmark)")
    parser.add_argument("--user-flight", help="play the flight of this JSON script (see simconnect.md)")
    parser.add_argument("--fps", type=float, default=30.0, help="simulator frames per second")
    parser.add_argument("--track-log", help="write the AI objects' track to this JSONL file")
    args = parser.parse_args(argv)
    if args.sink:
        try:
            sink(args.port)
        except KeyboardInterrupt:
            return 0
    server = SimConnectServer(port=args.port, echo=True)
    sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    from standins.sim_flight import Simulator
    simulator = Simulator(server, flight=args.user_flight, fps=args.fps, track_log=args.track_log)
    print(f"listening on 127.0.0.1:{server.port}", flush=True)
    try:
        while True:
            time.sleep(1)
    except KeyboardInterrupt:
        simulator.stop()
        server.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
