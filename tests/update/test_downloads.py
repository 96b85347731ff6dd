"""Downloads against the download-site stand-in, natively and under Wine: exact bytes,
text line ends, the request the site sees, and failures that keep the previous file."""
import os
import re
import resource
import signal

import pytest

from standins import programs
from standins.download_site import DownloadSite

PREVIOUS = b"the good file from the previous update\n"


host_path = programs.host_path


@pytest.fixture
def site():
    with DownloadSite() as s:
        yield s


@pytest.fixture
def probe(tmp_path):
    """Runs one download in files_probe; returns its exit code, its output and its log."""
    log = tmp_path / "Log.txt"

    def run(*args):
        result = programs.run("files_probe", "download", host_path(log), *args, timeout=60)
        text = log.read_text(encoding="utf-8", errors="replace") if log.exists() else ""
        return result.returncode, result.stdout.decode(errors="replace"), text

    return run


def target_with_previous(tmp_path, name):
    target = tmp_path / name
    target.write_bytes(PREVIOUS)
    return target


def leftovers(folder):
    return [name for name in os.listdir(folder) if name.endswith(".tavtmp")]


@pytest.mark.parametrize("kind", ["exact", "chunked"])
def test_a_data_file_arrives_byte_for_byte_with_our_user_agent(site, probe, tmp_path, kind):
    body = bytes(range(256)) * 300 + b"\r\n\n\x00\x1a"
    site.answer("/downloads/11/dbase.enc", body, kind=kind)
    target = target_with_previous(tmp_path, "dbase.enc")
    code, _, log = probe("site", site.base_url, "dbase.enc", host_path(target))
    assert code == 0, log
    assert target.read_bytes() == body
    assert [(r.path, r.user_agent) for r in site.requests] == [("/downloads/11/dbase.enc", "Tavelorium")]
    assert f"Downloaded '{site.base_url}11/dbase.enc' to '{host_path(target)}'" in log
    assert leftovers(tmp_path) == []


def test_a_text_transfer_writes_every_line_feed_as_cr_lf(site, probe, tmp_path):
    body = b'{\n  "p3d": {"major": 11, "minor": 10, "patch": 4},\r\n' + b'  "x": 1,\n' * 20000 + b"}\n"
    site.answer("/downloads/versions.json", body, content_type="application/json")
    target = tmp_path / "versions.json"
    code, _, log = probe("file", site.base_url + "versions.json", host_path(target), "text")
    assert code == 0, log
    assert target.read_bytes() == body.replace(b"\n", b"\r\n")


# Each answer with the text its error line must hold ("" any). Our site serves fixed files:
# only a whole, non-empty body of known length with 200 counts.
FAILURES = {
    "not_found": (dict(status=404, body=b"<html>not here</html>"), "HTTP response code said error"),
    "server_error": (dict(status=500, body=b"<html>broken</html>"), ""),
    "redirect": (dict(status=302, body=b"<html>moved</html>", location="/downloads/11/moved.enc"),
                 "HTTP response code 302 is not 200"),
    "no_content": (dict(status=204), "HTTP response code 204 is not 200"),
    "partial_content": (dict(status=206, body=b"x" * 5000), "HTTP response code 206 is not 200"),
    "empty_body": (dict(body=b""), "the body is empty"),
    "short_body": (dict(body=b"x" * 5000, kind="short"), ""),
    "unframed_cut_body": (dict(body=b"x" * 5000, kind="unframed"), "the length of the body is not known"),
    "chunked_cut_body": (dict(body=b"x" * 5000, kind="chunked_cut"), ""),
    "stalled_body": (dict(body=b"x" * 5000, kind="stall"), "Timeout"),
    "dripping_body": (dict(body=b"x" * 5000, kind="drip", rate=2), "Timeout"),  # below the low-speed limit
    "slower_than_its_limit": (dict(body=b"x" * 100000, kind="drip", rate=4000), "Timeout"),
}


@pytest.mark.parametrize("case", sorted(FAILURES))
def test_a_failed_download_keeps_the_previous_file(site, probe, tmp_path, case):
    answer, expected = FAILURES[case]
    site.answer("/downloads/11/airports.enc", **answer)
    site.answer("/downloads/11/moved.enc", b"the redirect must not be followed")
    target = target_with_previous(tmp_path, "airports.enc")
    code, _, log = probe("site", site.base_url, "airports.enc", host_path(target), "--low-speed-seconds", "2",
                         "--time-limit-seconds", "4")
    assert code == 1, log
    assert target.read_bytes() == PREVIOUS
    assert leftovers(tmp_path) == []
    url = site.base_url + "11/airports.enc"
    errors = [line for line in log.splitlines() if "Download error: '" in line]
    assert len(errors) == 1 and f"for {url}" in errors[0], log
    assert f"==> Downloading '{url}' failed !" in log, log
    assert [r.path for r in site.requests] == ["/downloads/11/airports.enc"]
    assert expected in errors[0]


def test_a_stop_ends_a_stalled_transfer_within_about_a_second(site, probe, tmp_path):
    site.answer("/downloads/11/dbase.enc", b"y" * 100000, kind="stall")
    target = target_with_previous(tmp_path, "dbase.enc")
    code, stdout, log = probe("site", site.base_url, "dbase.enc", host_path(target), "--stop-after-ms", "700")
    assert code == 1, log
    took = int(re.search(r"stop_to_end_ms=(-?\d+)", stdout).group(1))
    assert 0 <= took < 1600, stdout
    assert target.read_bytes() == PREVIOUS
    assert log.count("Download error") == 1, log


def limit_file_size():
    """A disk that fills after 100 KB, for the process about to run."""
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (100_000, 100_000))


@pytest.mark.skipif(programs.IS_WINDOWS, reason="the file size limit is a POSIX one")
def test_a_full_disk_is_a_failure_not_a_short_file(site, tmp_path):
    site.answer("/downloads/11/dbase.enc", b"z" * 1_000_000)
    target = target_with_previous(tmp_path, "dbase.enc")
    log = tmp_path / "Log.txt"
    result = programs.run("files_probe", "download", str(log), "site", site.base_url, "dbase.enc", str(target),
                          preexec_fn=limit_file_size)
    assert result.returncode == 1
    assert target.read_bytes() == PREVIOUS
    assert log.read_text().count("Download error") == 1
    assert leftovers(tmp_path) == []
