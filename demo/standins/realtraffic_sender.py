"""RealTraffic stand-in: sends traffic lines and QNH datagrams over UDP to 127.0.0.1 the
way RealTraffic does (one datagram per aircraft report, JSON QNH reports), replays
scripted trajectories or recorded lines at a realistic cadence, waits until the receiver
has bound its port, and can send malformed, oversized and hostile datagrams.

RealTraffic also connects as the one client of the program's TCP link: TcpLinkClient
plays that side (the version reply, the user-position lines, drops and reconnects), and
RealTrafficStandIn owns both. See realtraffic.md.

Run as a program for a manual session:
    python3 realtraffic_sender.py --traffic-port 49005 --qnh-port 49004 --duration 120
"""
import argparse
import dataclasses
import json
import math
import pathlib
import random
import re
import socket
import struct
import threading
import time
from typing import Iterable, Iterator, List, Optional, Tuple

TRAFFIC_PORT = 49005
QNH_PORT = 49004
HOST = "127.0.0.1"

# The traffic line's fields by index ("RTTFC" format); the receiver reads 0..28.
FIELDS = {
    "kind": 0, "hexid": 1, "lat": 2, "lon": 3, "baro_alt": 4, "baro_rate": 5, "gnd": 6, "track": 7,
    "gs": 8, "callsign": 9, "type": 10, "registration": 11, "origin": 12, "destination": 13,
    "timestamp": 14, "source": 15, "callsign_iata": 16, "msg_type": 17, "alt_geom": 18, "ias": 19,
    "tas": 20, "mach": 21, "track_rate": 22, "roll": 23, "mag_heading": 24, "true_heading": 25,
    "geom_rate": 26, "emergency": 27, "category": 28, "nav_qnh": 29, "nav_altitude_mcp": 30,
    "nav_altitude_fms": 31, "nav_heading": 32, "nav_modes": 33, "seen": 34, "rssi": 35, "winddir": 36,
    "windspd": 37, "oat": 38, "tat": 39, "is_icao_hex": 40, "augmentation_status": 41, "authentication": 42,
}
FIELD_COUNT = 43

NM_PER_DEGREE = 60.0


def traffic_line(**values) -> str:
    """One traffic line of RealTraffic's 43 fields; every field not given has a plausible value.
    The hexid is written in decimal, as RealTraffic sends it."""
    fields = [""] * FIELD_COUNT
    defaults = {
        "kind": "RTTFC", "hexid": "4840123", "lat": "52.3500", "lon": "4.9000", "baro_alt": "3500",
        "baro_rate": "-800", "gnd": "0", "track": "90.5", "gs": "180", "callsign": "KLM1234",
        "type": "B738", "registration": "PH-BXA", "origin": "AMS", "destination": "LHR",
        "timestamp": f"{time.time():.2f}", "source": "adsb", "callsign_iata": "KL1234",
        "msg_type": "adsb_icao", "alt_geom": "3600", "ias": "170", "tas": "200", "mach": "0.30",
        "track_rate": "0", "roll": "0", "mag_heading": "88", "true_heading": "91.5",
        "geom_rate": "-800", "emergency": "none", "category": "A3", "nav_qnh": "1012.8",
        "nav_altitude_mcp": "3000", "nav_altitude_fms": "-1", "nav_heading": "91.0",
        "nav_modes": "autopilot|vnav|lnav|tcas", "seen": "0.0", "rssi": "-21.9", "winddir": "223",
        "windspd": "24", "oat": "5", "tat": "7", "is_icao_hex": "1", "augmentation_status": "0",
        "authentication": "0",
    }
    defaults.update({k: str(v) for k, v in values.items()})
    for name, text in defaults.items():
        fields[FIELDS[name]] = text
    return ",".join(fields)


@dataclasses.dataclass
class Aircraft:
    """One scripted aircraft flying a straight track with a constant climb or descent."""
    hexid: int
    callsign: str
    type: str
    registration: str
    lat: float
    lon: float
    altitude_ft: float
    ground_speed_kt: float
    track_deg: float
    vertical_speed_fpm: float = 0.0
    origin: str = "null"
    destination: str = "null"
    category: str = "A3"
    msg_type: str = "adsb_icao"
    interval_s: float = 3.0  # one report every few seconds, as RealTraffic sends them

    def advance(self, seconds: float) -> None:
        distance_nm = self.ground_speed_kt * seconds / 3600.0
        track = math.radians(self.track_deg)
        self.lat += distance_nm * math.cos(track) / NM_PER_DEGREE
        self.lon += distance_nm * math.sin(track) / (NM_PER_DEGREE * max(0.01, math.cos(math.radians(self.lat))))
        self.altitude_ft = max(0.0, self.altitude_ft + self.vertical_speed_fpm * seconds / 60.0)

    def line(self, timestamp: float) -> str:
        return traffic_line(
            hexid=self.hexid, lat=f"{self.lat:.5f}", lon=f"{self.lon:.5f}", baro_alt=f"{self.altitude_ft:.0f}",
            baro_rate=f"{self.vertical_speed_fpm:.0f}", track=f"{self.track_deg:.1f}",
            gs=f"{self.ground_speed_kt:.0f}", callsign=self.callsign, type=self.type,
            registration=self.registration, origin=self.origin, destination=self.destination,
            timestamp=f"{timestamp:.2f}", msg_type=self.msg_type, true_heading=f"{self.track_deg:.1f}",
            tas="-1", category=self.category)


def amsterdam_scenario() -> List[Aircraft]:
    """A few arrivals and departures around Schiphol (52.3086, 4.7639)."""
    return [
        Aircraft(4840123, "KLM1234", "B738", "PH-BXA", 52.45, 4.55, 4000, 210, 135, -700, "LHR", "AMS"),
        Aircraft(4840124, "EZY81UP", "A320", "G-EZWA", 52.20, 5.05, 6000, 250, 290, -900, "LGW", "AMS"),
        Aircraft(4840125, "TRA5521", "B738", "PH-HSA", 52.32, 4.74, 1200, 160, 240, 1800, "AMS", "AGP"),
        Aircraft(4840126, "DLH9KW", "A20N", "D-AINA", 52.60, 4.30, 24000, 420, 100, 0, "FRA", "MAN",
                 msg_type="X_adsb_icao"),
    ]


def scripted_lines(aircraft: List[Aircraft], duration_s: float,
                   start_time: Optional[float] = None) -> Iterator[Tuple[float, str]]:
    """(seconds from the start, line) for every report of every aircraft, in time order;
    each aircraft reports at its own interval, starting at a random phase."""
    start_time = time.time() if start_time is None else start_time
    rng = random.Random(7)
    due = [(rng.uniform(0.0, a.interval_s), i) for i, a in enumerate(aircraft)]
    last = [0.0] * len(aircraft)
    while True:
        due.sort()
        offset, i = due[0]
        if offset > duration_s:
            return
        a = aircraft[i]
        a.advance(offset - last[i])
        last[i] = offset
        yield offset, a.line(start_time + offset)
        due[0] = (offset + a.interval_s * rng.uniform(0.8, 1.2), i)


def recorded_lines(path: pathlib.Path) -> Iterator[Tuple[float, str]]:
    """Lines of a recording: "seconds<TAB>datagram" per line, or bare traffic lines whose
    cadence is taken from their timestamps (field 14). Lines starting with '#' are skipped."""
    first_ts = None
    for raw in path.read_text(encoding="utf-8").splitlines():
        if not raw.strip() or raw.startswith("#"):
            continue
        if "\t" in raw:
            offset, line = raw.split("\t", 1)
            yield float(offset), line
            continue
        fields = raw.split(",")
        try:
            ts = float(fields[FIELDS["timestamp"]])
        except (IndexError, ValueError):
            ts = first_ts if first_ts is not None else 0.0
        first_ts = ts if first_ts is None else first_ts
        yield max(0.0, ts - first_ts), raw


def hostile_datagrams() -> List[Tuple[str, bytes]]:
    """Datagrams no receiver may choke on, each with a short name."""
    good = traffic_line()
    fields = good.split(",")

    def with_field(name: str, text: str) -> bytes:
        f = list(fields)
        f[FIELDS[name]] = text
        return ",".join(f).encode()

    items = [
        ("empty", b""),
        ("binary junk", bytes(range(256)) * 4),
        ("28 fields", ",".join(fields[:28]).encode()),
        ("10000 commas", b"," * 10000),
        ("one 16384-byte datagram", b"x" * 16384),
        ("a 64 KB datagram", b"RTTFC," + b"9" * 65000),
        ("nul bytes", b"\0" * 100),
        ("JSON where a line belongs", b'{"QNH":1013}'),
        ("CR LF after a refused category as the last field",
         ",".join(fields[:FIELDS["category"]] + ["B1"]).encode() + b"\r\n"),
    ]
    for name in ("lat", "lon", "baro_alt", "baro_rate", "track", "gs", "timestamp", "tas", "roll", "true_heading"):
        for number in ("nan", "inf", "-inf", "1e999"):
            items.append((f"{number} in {name}", with_field(name, number)))
    return items


def hostile_qnh_datagrams() -> List[Tuple[str, bytes]]:
    return [
        ("empty", b""), ("null", b'{"QNH":null}'), ("empty object", b"{}"), ("array", b'{"QNH":[]}'),
        ("true", b'{"QNH":true}'), ("not JSON", b"QNH=1013"), ("deep nesting", b"[" * 5000),
        ("huge number", b'{"QNH":1e400}'), ("binary junk", bytes(range(256))),
    ]


def udp_port_bound(port: int) -> bool:
    """Whether some socket on this machine has bound the UDP port (from /proc/net/udp*)."""
    for table in ("/proc/net/udp", "/proc/net/udp6"):
        try:
            with open(table, encoding="ascii") as f:
                next(f)
                for row in f:
                    local = row.split()[1]
                    if int(local.rsplit(":", 1)[1], 16) == port:
                        return True
        except OSError:
            continue
    return False


def wait_until_bound(port: int, timeout_s: float = 20.0) -> bool:
    """UDP has no handshake: wait until the receiver has bound its port before sending,
    or the first datagrams are lost (a Wine program needs up to a second to start)."""
    deadline = time.monotonic() + timeout_s
    while time.monotonic() < deadline:
        if udp_port_bound(port):
            return True
        time.sleep(0.02)
    return False


def free_udp_port() -> int:
    """A port no socket on this machine uses right now."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("", 0))
        return s.getsockname()[1]


class UdpSender:
    """Sends datagrams to the receiver's traffic and QNH ports."""

    def __init__(self, traffic_port: int = TRAFFIC_PORT, qnh_port: int = QNH_PORT, host: str = HOST):
        self.traffic_address = (host, traffic_port)
        self.qnh_address = (host, qnh_port)
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 1 << 20)
        self.sent = 0

    def close(self) -> None:
        self.sock.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def send_traffic(self, datagram) -> None:
        self._send(datagram, self.traffic_address)

    def send_qnh(self, value) -> None:
        """A QNH report: a number or text becomes {"QNH": value}; bytes are sent as they are."""
        if isinstance(value, (bytes, bytearray)):
            self._send(bytes(value), self.qnh_address)
        else:
            self._send(json.dumps({"QNH": value}), self.qnh_address)

    def _send(self, datagram, address) -> None:
        data = datagram.encode() if isinstance(datagram, str) else bytes(datagram)
        self.sock.sendto(data, address)
        self.sent += 1

    def replay(self, timed_lines: Iterable[Tuple[float, str]], speed: float = 1.0,
               qnh_every_s: float = 0.0, qnh_value=1013) -> int:
        """Sends each line at its offset (divided by speed); optionally a QNH report every
        qnh_every_s seconds of the script. Returns the number of lines sent."""
        start = time.monotonic()
        next_qnh = 0.0
        count = 0
        for offset, line in timed_lines:
            while qnh_every_s > 0 and next_qnh <= offset:
                self._wait_until(start + next_qnh / speed)
                self.send_qnh(qnh_value)
                next_qnh += qnh_every_s
            self._wait_until(start + offset / speed)
            self.send_traffic(line)
            count += 1
        return count

    @staticmethod
    def _wait_until(moment: float) -> None:
        delay = moment - time.monotonic()
        if delay > 0:
            time.sleep(delay)


# The lines the program may send after its version query, each ending in CR LF: the user
# state (whole numbers in places 1, 2, 4 and 5, six decimals in 3, 6 and 7), the
# simulator time in milliseconds, and the closing notice.
LINK_LINES = {
    "Qs121": re.compile(r"Qs121=-?\d+;-?\d+;-?\d+\.\d{6};-?\d+;-?\d+;-?\d+\.\d{6};-?\d+\.\d{6}"),
    "Qs123": re.compile(r"Qs123=\d+"),
    "exit": re.compile(r"exit"),
}
VERSION_QUERY = "Qs999=version"


@dataclasses.dataclass
class LinkLine:
    time: float       # time.monotonic() at arrival
    connection: int   # 1 for the first connection, 2 after the first reconnect, ...
    text: str         # without CR LF


class TcpLinkClient:
    """RealTraffic's side of the TCP link: connects to 127.0.0.1:port (retrying until the
    program listens), records every CR LF line, answers the version query with the scripted
    reply, and checks the protocol: "Qs999=version" first, then only Qs121, Qs123 and exit
    lines (anything else lands in `problems`).

    reply: bytes or text sent for the version query; None sends nothing. reply_delay
    answers late; split_at sends the reply in two writes split_delay apart."""

    def __init__(self, port: int, reply=b'{"level":1,"version":"9.0"}', reply_delay: float = 0.0,
                 split_at: Optional[int] = None, split_delay: float = 0.3, host: str = HOST):
        self.address = (host, port)
        self.reply = reply.encode() if isinstance(reply, str) else reply
        self.reply_delay = reply_delay
        self.split_at = split_at
        self.split_delay = split_delay
        self.lines: List[LinkLine] = []
        self.problems: List[str] = []
        self.connections = 0
        self.closed_by_program = threading.Event()
        self._cond = threading.Condition()
        self._sock: Optional[socket.socket] = None
        self._reader: Optional[threading.Thread] = None
        self._resetting: Optional[socket.socket] = None

    def connect(self, timeout_s: float = 20.0) -> "TcpLinkClient":
        deadline = time.monotonic() + timeout_s
        while True:
            try:
                sock = socket.create_connection(self.address, timeout=2.0)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.05)
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        sock.settimeout(None)
        self.connections += 1
        self.closed_by_program.clear()
        self._sock = sock
        self._reader = threading.Thread(target=self._read, args=(sock, self.connections), daemon=True)
        self._reader.start()
        return self

    def _read(self, sock: socket.socket, connection: int) -> None:
        buffer = b""
        while True:
            try:
                data = sock.recv(4096)
            except OSError:
                return
            if not data:
                if sock is not self._resetting:
                    self.closed_by_program.set()
                return
            buffer += data
            while b"\r\n" in buffer:
                raw, buffer = buffer.split(b"\r\n", 1)
                self._record(sock, connection, raw.decode("ascii", errors="replace"))

    def _record(self, sock: socket.socket, connection: int, text: str) -> None:
        with self._cond:
            first = not self.lines
            self.lines.append(LinkLine(time.monotonic(), connection, text))
            self._cond.notify_all()
        if text == VERSION_QUERY:
            if not first:
                self.problems.append("a second version query")
            self._answer(sock)
        elif first:
            self.problems.append(f"first line {text!r} is not the version query")
        elif not any(rule.fullmatch(text) for rule in LINK_LINES.values()):
            self.problems.append(f"unexpected line {text!r}")

    def _answer(self, sock: socket.socket) -> None:
        if self.reply is None:
            return
        time.sleep(self.reply_delay)
        try:
            if self.split_at is None:
                sock.sendall(self.reply)
            else:
                sock.sendall(self.reply[:self.split_at])
                time.sleep(self.split_delay)
                sock.sendall(self.reply[self.split_at:])
        except OSError:
            pass

    def texts(self, prefix: str = "") -> List[str]:
        with self._cond:
            return [line.text for line in self.lines if line.text.startswith(prefix)]

    def wait_lines(self, prefix: str, count: int = 1, timeout_s: float = 10.0) -> List[str]:
        """The texts of the lines starting with prefix once there are count of them."""
        with self._cond:
            assert self._cond.wait_for(lambda: len([l for l in self.lines if l.text.startswith(prefix)]) >= count,
                                       timeout=timeout_s), f"{count} x {prefix!r} expected, got {self.texts()}"
        return self.texts(prefix)

    def drop(self, kind: str = "fin") -> None:
        """Ends the connection as RealTraffic quitting does (FIN) or as a crash may (RST)."""
        sock, self._sock = self._sock, None
        reader, self._reader = self._reader, None
        if sock is None:
            return
        if kind == "rst":
            # The reader blocked in recv holds the socket open past close(): the RST would go
            # out only once the program's next line woke it, and the program might write once
            # more before it learnt. Woken first (nothing goes on the wire) and gone, it is sent
            # at close.
            self._resetting = sock
            try:
                sock.shutdown(socket.SHUT_RD)
            except OSError:  # the program has closed it already
                pass
            if reader is not None:
                reader.join(5.0)
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        else:
            try:
                sock.shutdown(socket.SHUT_RDWR)
            except OSError:  # the program has closed it already
                pass
        sock.close()

    def close(self) -> None:
        self.drop("fin")


def qs121_position(text: str) -> Tuple[float, float]:
    """Latitude and longitude in degrees from a Qs121 line."""
    fields = text.split("=", 1)[1].split(";")
    return math.degrees(float(fields[5])), math.degrees(float(fields[6]))


class RealTrafficStandIn:
    """RealTraffic on this PC: the UDP sender of traffic and QNH and the client of the TCP
    link together; the user position the program reports tells where traffic belongs."""

    def __init__(self, traffic_port: int, qnh_port: int, link_port: int, **link_options):
        self.sender = UdpSender(traffic_port, qnh_port)
        self.link = TcpLinkClient(link_port, **link_options)

    def user_position(self) -> Optional[Tuple[float, float]]:
        reports = self.link.texts("Qs121")
        return qs121_position(reports[-1]) if reports else None

    def close(self) -> None:
        self.link.close()
        self.sender.close()


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--traffic-port", type=int, default=TRAFFIC_PORT)
    parser.add_argument("--qnh-port", type=int, default=QNH_PORT)
    parser.add_argument("--duration", type=float, default=60.0, help="seconds of the scripted scenario")
    parser.add_argument("--speed", type=float, default=1.0, help="replay faster (>1) or slower")
    parser.add_argument("--recorded", type=pathlib.Path, help="replay this recording instead")
    parser.add_argument("--qnh", default="1013", help="QNH value sent every 10 seconds")
    parser.add_argument("--hostile", action="store_true", help="send the hostile datagrams first")
    parser.add_argument("--no-wait", action="store_true", help="do not wait for the receiver to bind")
    args = parser.parse_args()
    if not args.no_wait and not (wait_until_bound(args.traffic_port) and wait_until_bound(args.qnh_port)):
        raise SystemExit("the receiver has not bound its ports")
    with UdpSender(args.traffic_port, args.qnh_port) as sender:
        if args.hostile:
            for _, data in hostile_datagrams():
                sender.send_traffic(data)
            for _, data in hostile_qnh_datagrams():
                sender.send_qnh(data)
        lines = recorded_lines(args.recorded) if args.recorded else scripted_lines(amsterdam_scenario(), args.duration)
        qnh = int(args.qnh) if args.qnh.lstrip("-").isdigit() else args.qnh
        sent = sender.replay(lines, args.speed, qnh_every_s=10.0, qnh_value=qnh)
        print(f"{sent} traffic lines sent", flush=True)


if __name__ == "__main__":
    main()
