"""Downloads against the download-site stand-in, natively and under Wine: exact bytes,
text line ends, the request the site sees, and failures that keep the previous file."""
import os
import re

import pytest

from standins import programs
from standins.download_site import DownloadSite

PREVIOUS = b"the good file from the previous update\n"


def host_path(path) -> str:
    """A path as the probe sees it: Wine maps / to drive Z:."""
    return "Z:" + str(path).replace("/", "\\") if programs.IS_WINDOWS else str(path)


class Probe:
    def __init__(self, tmp_path):
        self.log = tmp_path / "Log.txt"

    def run(self, *args, timeout=60):
        result = programs.run("download_probe", host_path(self.log), *args, timeout=timeout)
        self.stdout = result.stdout.decode(errors="replace")
        self.log_text = self.log.read_text(encoding="utf-8", errors="replace") if self.log.exists() else ""
        return result

    def lines_with(self, fragment):
        return [line for line in self.log_text.splitlines() if fragment in line]


@pytest.fixture
def site():
    with DownloadSite() as s:
        yield s


@pytest.fixture
def probe(tmp_path):
    return Probe(tmp_path)


def temp_files(folder):
    return [name for name in os.listdir(folder) if name.endswith(".tavtmp")]


def test_a_data_file_arrives_byte_for_byte_with_our_user_agent(site, probe, tmp_path):
    body = bytes(range(256)) * 300 + b"\r\n\n\x00\x1a"
    site.answer("/downloads/11/dbase.enc", body)
    target = tmp_path / "dbase.enc"
    target.write_bytes(PREVIOUS)
    result = probe.run("site", site.base_url, "dbase.enc", host_path(target))
    assert result.returncode == 0, probe.log_text
    assert target.read_bytes() == body
    assert [(r.path, r.user_agent) for r in site.requests] == [("/downloads/11/dbase.enc", "Tavelorium")]
    url = site.base_url + "11/dbase.enc"
    assert probe.lines_with(f"Downloaded '{url}' to '{host_path(target)}'"), probe.log_text
    assert temp_files(tmp_path) == []


def test_a_text_transfer_writes_every_line_feed_as_cr_lf(site, probe, tmp_path):
    body = b'{\n  "p3d": {"major": 11, "minor": 10, "patch": 4},\r\n' + b'  "x": 1,\n' * 20000 + b"}\n"
    site.answer("/downloads/versions.json", body, content_type="application/json")
    target = tmp_path / "versions.json"
    result = probe.run("file", site.base_url + "versions.json", host_path(target), "text")
    assert result.returncode == 0, probe.log_text
    assert target.read_bytes() == body.replace(b"\n", b"\r\n")
    assert site.requests[0].path == "/downloads/versions.json"


FAILURES = {
    "not_found": dict(status=404, body=b"<html>not here</html>"),
    "server_error": dict(status=500, body=b"<html>broken</html>"),
    "redirect": dict(status=302, body=b"<html>moved</html>", location="/downloads/11/moved.enc"),
    "short_body": dict(status=200, body=b"x" * 5000, kind="short"),
    "stalled_body": dict(status=200, body=b"x" * 5000, kind="stall"),
}


@pytest.mark.parametrize("case", sorted(FAILURES))
def test_a_failed_download_keeps_the_previous_file(site, probe, tmp_path, case):
    site.answer("/downloads/11/airports.enc", **FAILURES[case])
    site.answer("/downloads/11/moved.enc", b"the redirect must not be followed")
    target = tmp_path / "airports.enc"
    target.write_bytes(PREVIOUS)
    result = probe.run("site", site.base_url, "airports.enc", host_path(target), "--low-speed-seconds", "2")
    assert result.returncode == 1, probe.log_text
    assert target.read_bytes() == PREVIOUS
    assert temp_files(tmp_path) == []
    url = site.base_url + "11/airports.enc"
    assert len(probe.lines_with("Download error: '")) == 1, probe.log_text
    assert probe.lines_with(f"for {url}"), probe.log_text
    assert probe.lines_with(f"==> Downloading '{url}' failed !"), probe.log_text
    assert [r.path for r in site.requests] == ["/downloads/11/airports.enc"]
    if case == "redirect":
        assert probe.lines_with("Download error: 'HTTP response code 302 is not a success'")


def test_an_http_error_is_logged_with_libcurls_text_and_no_file_appears(site, probe, tmp_path):
    target = tmp_path / "park_airport.xml"
    url = site.base_url + "P3D/archive/stock/EDDF.xml"
    result = probe.run("file", url, host_path(target), "text")
    assert result.returncode == 1
    assert probe.lines_with(f"Download error: 'HTTP response code said error' for {url}"), probe.log_text
    assert os.listdir(tmp_path) == ["Log.txt"]


def test_a_stop_ends_a_stalled_transfer_within_about_a_second(site, probe, tmp_path):
    site.answer("/downloads/11/dbase.enc", b"y" * 100000, kind="stall")
    target = tmp_path / "dbase.enc"
    target.write_bytes(PREVIOUS)
    result = probe.run("site", site.base_url, "dbase.enc", host_path(target), "--stop-after-ms", "700")
    assert result.returncode == 1, probe.log_text
    took = int(re.search(r"stop_to_end_ms=(-?\d+)", probe.stdout).group(1))
    assert 0 <= took < 1600, probe.stdout
    assert target.read_bytes() == PREVIOUS
    assert len(probe.lines_with("Download error")) == 1, probe.log_text


@pytest.mark.skipif(programs.IS_WINDOWS or not os.path.exists("/dev/full"), reason="needs /dev/full")
def test_a_full_disk_is_a_failure_not_a_short_file(site, probe, tmp_path):
    site.answer("/downloads/11/dbase.enc", b"z" * 1_000_000)
    target = tmp_path / "dbase.enc"
    target.write_bytes(PREVIOUS)
    # The temporary file beside the target goes to a device that is always full.
    os.symlink("/dev/full", tmp_path / "dbase.enc.tavtmp")
    result = probe.run("site", site.base_url, "dbase.enc", host_path(target))
    assert result.returncode == 1
    assert target.read_bytes() == PREVIOUS
    assert len(probe.lines_with("Download error")) == 1, probe.log_text
    assert not os.path.lexists(tmp_path / "dbase.enc.tavtmp")
