"""Park files from the download-site stand-in, natively and under Wine: the archived file
read into stands, a refused download that leaves no copy, a broken downloaded file that
fails the load instead of the service, and the closest stand of a neighbour's file."""
import pathlib
import shutil

import pytest

from standins import programs
from standins.download_site import DownloadSite

DATA = pathlib.Path(__file__).parent / "data"
STOCK = "P3D/archive/stock/EDDF.xml"


def host_path(path) -> str:
    return "Z:" + str(path).replace("/", "\\") if programs.IS_WINDOWS else str(path)


@pytest.fixture
def site_root(tmp_path):
    root = tmp_path / "site"
    (root / STOCK).parent.mkdir(parents=True)
    return root


@pytest.fixture
def probe(tmp_path):
    """Runs park_file_probe in a program folder; returns its printed values and its log."""
    program = tmp_path / "program"
    (program / "airports").mkdir(parents=True)
    log = tmp_path / "Log.txt"

    def run(base, *args):
        result = programs.run("park_file_probe", host_path(log), base, *args, cwd=program, timeout=60)
        assert result.returncode == 0, result.stderr
        values = dict(line.split("=", 1) for line in result.stdout.decode().splitlines() if "=" in line)
        return values, log.read_text(encoding="utf-8", errors="replace")

    run.program = program
    return run


def test_an_archived_stock_file_is_downloaded_and_read(site_root, probe):
    shutil.copy(DATA / "archived_EDDF.xml", site_root / STOCK)
    with DownloadSite(root=site_root) as site:
        values, log = probe(site.base_url, "read", "EDDF")
        assert [(r.path, r.user_agent) for r in site.requests] == [("/downloads/" + STOCK, "Tavelorium")]
    assert values == {"result": "", "stands": "3", "copy": "yes"}, log
    assert "Airport file read from 'archive/stock/EDDF.xml' for Frankfurt Main" in log


def test_a_refused_download_leaves_no_copy(site_root, probe):
    (probe.program / "airports" / "park_airport.xml").write_text("an older airport's file")
    with DownloadSite(root=site_root) as site:
        values, log = probe(site.base_url, "read", "EDDF")
        url = site.base_url + STOCK
    assert values == {"result": f"failed to download: '{url}'", "stands": "0", "copy": "no"}
    assert f"failed to download: '{url}'" in log


@pytest.mark.parametrize("name,error", [
    ("bad_duplicate_EDDF.xml", "94: Parking position 'A1' appears more than once."),
    ("bad_no_altitude_EDDF.xml", "65: Parameter altitude not found"),
])
def test_a_broken_downloaded_file_fails_the_load_not_the_service(site_root, probe, name, error):
    shutil.copy(DATA / name, site_root / STOCK)
    with DownloadSite(root=site_root) as site:
        values, _ = probe(site.base_url, "read", "EDDF")
    assert values["result"] == "archive/stock/EDDF.xml: " + error
    assert values["stands"] == "0"


def test_the_closest_stand_of_a_downloaded_file_leaves_no_copy(site_root, probe):
    shutil.copy(DATA / "archived_EDDF.xml", site_root / STOCK)
    with DownloadSite(root=site_root) as site:
        values, _ = probe(site.base_url, "closest", "EDDF", "50.0473", "8.5712")
        assert values == {"distance": "0.008", "id": "A2", "copy": "no"}
        values, _ = probe(site.base_url, "closest", "EDDG", "50.0473", "8.5712")
        assert values == {"distance": "100.000", "id": "", "copy": "no"}


@pytest.mark.parametrize("source", [
    "archive/stock/EDDF.xml",
    "archive/simaddon/EDDF.xml",
    "archive/thirdparty/Fly%20Tampa/EDDF.xml",
])
def test_what_was_learned_at_a_downloaded_airport_is_read_back(site_root, probe, source):
    served = site_root / "P3D" / source
    served.parent.mkdir(parents=True, exist_ok=True)
    shutil.copy(DATA / "archived_EDDF.xml", served)
    with DownloadSite(root=site_root) as site:
        values, log = probe(site.base_url, "relearn", "EDDF", source)
    assert values["result"] == "" and values["relearned"] == "1", log
    assert " saved with 1 update" in log


def test_a_park_file_that_keeps_arriving_is_waited_for(site_root, probe):
    """A large hub file on a slow line: only a stalled transfer fails, not a long one."""
    body = (DATA / "archived_EDDF.xml").read_bytes()
    body += b"<!--" + b" " * (7000 - len(body) - 7) + b"-->\n"
    with DownloadSite(root=site_root) as site:
        site.answer("/downloads/" + STOCK, body, kind="drip", rate=1000)
        values, log = probe(site.base_url, "read", "EDDF")
    assert values == {"result": "", "stands": "3", "copy": "yes"}, log
