"""A stand-in for the maker's download site: an HTTP server on 127.0.0.1 (port chosen by
the system) that gives scripted answers per path and records every request.

    with DownloadSite() as site:
        site.answer("/downloads/11/dbase.enc", body=encrypted)
        site.answer("/downloads/versions.json", status=404)
        ... point the program at site.base_url ...
        assert site.requests[0].user_agent == "Tavelorium"

Run as a program it serves the files of a folder below /downloads/ until it is ended:
    /usr/bin/python3 demo/standins/download_site.py --root FOLDER
and prints its base address on its first line.
"""
import argparse
import dataclasses
import http.server
import pathlib
import ssl
import sys
import threading
import time

# How long a stalled answer holds its connection open when nobody stops the site.
STALL_SECONDS = 120


@dataclasses.dataclass
class Answer:
    status: int = 200
    body: bytes = b""
    # "exact": the body as it is; "short": Content-Length promises `missing` bytes more
    # than are sent before the connection closes; "stall": half the body, then silence
    # until the site stops; "drip": the body at `rate` bytes a second; "unframed": no
    # Content-Length, half the body, then the connection closes; "chunked": the body in
    # chunks (HTTP/1.1); "chunked_cut": the chunks without the last one, then the close.
    kind: str = "exact"
    missing: int = 100
    rate: int = 2
    location: str = ""
    content_type: str = "application/octet-stream"
    # Given for so many requests, then withdrawn (the site's files answer again); None: always.
    times: int | None = None


@dataclasses.dataclass
class Request:
    path: str
    user_agent: str


class _Handler(http.server.BaseHTTPRequestHandler):
    server_version = "DownloadSiteStandIn/1"

    def do_GET(self):  # noqa: N802 (the base class's name)
        site = self.server.site
        site._record(Request(self.path, self.headers.get("User-Agent", "")))
        answer = site._answer_for(self.path)
        body, kind = answer.body, answer.kind
        if kind.startswith("chunked"):
            self.protocol_version = "HTTP/1.1"
        self.send_response(answer.status)
        self.send_header("Content-Type", answer.content_type)
        if answer.location:
            self.send_header("Location", answer.location)
        if kind.startswith("chunked"):
            self.send_header("Transfer-Encoding", "chunked")
            self.send_header("Connection", "close")
        elif kind != "unframed":
            self.send_header("Content-Length", str(len(body) + (answer.missing if kind == "short" else 0)))
        self.end_headers()
        if kind in ("stall", "unframed"):
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            if kind == "stall":
                site._stopping.wait(STALL_SECONDS)
        elif kind == "drip":
            for at in range(0, len(body), answer.rate):
                self.wfile.write(body[at:at + answer.rate])
                self.wfile.flush()
                if site._stopping.wait(1.0):
                    break
        elif kind.startswith("chunked"):
            for at in range(0, len(body), 1000):
                self.wfile.write(b"%x\r\n%s\r\n" % (len(body[at:at + 1000]), body[at:at + 1000]))
            if kind == "chunked":
                self.wfile.write(b"0\r\n\r\n")
        else:
            self.wfile.write(body)
        self.wfile.flush()
        self.close_connection = True

    def log_message(self, format, *args):  # noqa: A002 (the base class's name)
        pass


class DownloadSite:
    """`port` and `certificate` (certificate and key files: HTTPS) let it stand in under
    the maker's own address, in a network namespace whose hosts file names 127.0.0.1."""

    def __init__(self, root: pathlib.Path | None = None, port: int = 0, certificate=None):
        self._lock = threading.Lock()
        self._answers: dict[str, Answer] = {}
        self._requests: list[Request] = []
        self._root = root
        self._stopping = threading.Event()
        self._server = http.server.ThreadingHTTPServer(("127.0.0.1", port), _Handler)
        self._server.site = self
        if certificate:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(*certificate)
            self._server.socket = context.wrap_socket(self._server.socket, server_side=True)
        self._thread = threading.Thread(target=self._server.serve_forever, args=(0.05,), daemon=True)

    @property
    def port(self) -> int:
        return self._server.server_address[1]

    @property
    def base_url(self) -> str:
        """The site's base address, as the program's base address ends: ".../downloads/"."""
        return f"http://127.0.0.1:{self.port}/downloads/"

    def answer(self, path: str, body: bytes = b"", status: int = 200, kind: str = "exact", **more) -> None:
        """Scripts the answer for a path ("/downloads/..."); unscripted paths get the
        site's file there, or 404. times=n gives it for the next n requests only."""
        with self._lock:
            self._answers[path] = Answer(status=status, body=body, kind=kind, **more)

    @property
    def requests(self) -> list:
        with self._lock:
            return list(self._requests)

    def start(self) -> "DownloadSite":
        self._thread.start()
        return self

    def stop(self) -> None:
        self._stopping.set()
        self._server.shutdown()
        self._server.server_close()
        self._thread.join(timeout=10)

    def __enter__(self) -> "DownloadSite":
        return self.start()

    def __exit__(self, *exc) -> None:
        self.stop()

    def _record(self, request: Request) -> None:
        with self._lock:
            self._requests.append(request)

    def _answer_for(self, path: str) -> Answer:
        with self._lock:
            answer = self._answers.get(path)
            if answer is not None and answer.times is not None:
                answer.times -= 1
                if answer.times <= 0:
                    del self._answers[path]
        if answer is not None:
            return answer
        if self._root is not None and path.startswith("/downloads/"):
            relative = path[len("/downloads/"):]
            file = (self._root / relative).resolve()
            if self._root.resolve() in file.parents and file.is_file():
                return Answer(body=file.read_bytes())
        return Answer(status=404, body=b"not found")


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", type=pathlib.Path, required=True, help="folder served below /downloads/")
    args = parser.parse_args()
    with DownloadSite(args.root) as site:
        print(site.base_url, flush=True)
        seen = 0
        try:
            while True:
                time.sleep(0.2)
                for r in site.requests[seen:]:
                    print(f"GET {r.path} user-agent={r.user_agent!r}", flush=True)
                seen = len(site.requests)
        except KeyboardInterrupt:
            pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
