"""Park files from the download-site stand-in, natively and under Wine: the archived file
read into stands, a refused download that leaves no copy, a broken downloaded file that
fails the load instead of the service, the closest stand of a neighbour's file, the
passes of a user aircraft standing still beside a neighbour, which fetch each file once,
and a neighbour's file that failed once and is asked for again when it is needed later."""
import collections
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


def test_an_archived_stock_file_is_downloaded_and_read_and_a_refused_one_leaves_no_copy(site_root, probe):
    shutil.copy(DATA / "archived_EDDF.xml", site_root / STOCK)
    with DownloadSite(root=site_root) as site:
        values, log = probe(site.base_url, "read", "EDDF")
        assert [(r.path, r.user_agent) for r in site.requests] == [("/downloads/" + STOCK, "Tavelorium")]
        assert values == {"result": "", "stands": "3", "copy": "yes"}, log
        assert "Airport file read from 'archive/stock/EDDF.xml' for Frankfurt Main" in log
        # The copy of the airport read before goes with the refused download.
        values, log = probe(site.base_url, "read", "EDDG")
        url = site.base_url + STOCK.replace("EDDF", "EDDG")
    assert values == {"result": f"failed to download: '{url}'", "stands": "0", "copy": "no"}
    assert f"failed to download: '{url}'" in log


def test_a_broken_downloaded_file_fails_the_load_not_the_service(site_root, probe):
    shutil.copy(DATA / "bad_duplicate_EDDF.xml", site_root / STOCK)
    with DownloadSite(root=site_root) as site:
        values, _ = probe(site.base_url, "read", "EDDF")
    assert values["result"] == "archive/stock/EDDF.xml: 94: Parking position 'A1' appears more than once."
    assert values["stands"] == "0"


def test_the_closest_stand_of_a_downloaded_file_leaves_no_copy(site_root, probe):
    shutil.copy(DATA / "archived_EDDF.xml", site_root / STOCK)
    with DownloadSite(root=site_root) as site:
        for code, expected in (("EDDF", {"distance": "0.008", "id": "A2", "copy": "no"}),
                               ("EDDG", {"distance": "100.000", "id": "", "copy": "no"})):
            assert probe(site.base_url, "closest", code, "50.0473", "8.5712")[0] == expected


def test_a_park_file_that_keeps_arriving_is_waited_for(site_root, probe):
    """A large hub file on a slow line: only a stalled transfer fails, not a long one."""
    body = (DATA / "archived_EDDF.xml").read_bytes()
    body += b"<!--" + b" " * (7000 - len(body) - 7) + b"-->\n"
    with DownloadSite(root=site_root) as site:
        site.answer("/downloads/" + STOCK, body, kind="drip", rate=1000)
        values, log = probe(site.base_url, "read", "EDDF")
    assert values == {"result": "", "stands": "3", "copy": "yes"}, log


# Two supported airports 1.9 nm apart, the neighbour EDDA first in code order; the user
# aircraft stands still on the ground at EDDB.
GROUND = ("EDDB", "50.0", "8.55", "EDDA", "50.0", "8.50", "50.0", "8.545")


def fetches(site) -> dict:
    return dict(collections.Counter(r.path.rsplit("/", 1)[-1] for r in site.requests))


@pytest.mark.parametrize("eddb, park, stands, retry_line", [
    ("archived_EDDF.xml", "EDDB", "3", None),
    ("bad_no_meta_EDDF.xml", "", "0", "The park file of EDDB is tried again in about 20 minutes (retry 1 of 3)"),
    (None, "", "0", "The park file of EDDB is tried again in about 20 minutes (retry 1 of 3)"),
])
def test_standing_still_beside_a_neighbour_fetches_each_park_file_once(site_root, probe, eddb, park, stands,
                                                                     retry_line):
    shutil.copy(DATA / "archived_EDDF.xml", site_root / STOCK.replace("EDDF", "EDDA"))
    if eddb:
        shutil.copy(DATA / eddb, site_root / STOCK.replace("EDDF", "EDDB"))
    with DownloadSite(root=site_root) as site:
        if eddb is None:
            site.answer("/downloads/" + STOCK.replace("EDDF", "EDDA"), status=503)
        values, log = probe(site.base_url, "ground", *GROUND, "6")
    assert fetches(site) == {"EDDA.xml": 1, "EDDB.xml": 1}, log
    assert (values["park"], values["stands"]) == (park, stands), log
    assert log.count("Airport EDDB is closest, neighbour is EDDA") == 1
    if retry_line:
        assert log.count(retry_line) == 1, log
        assert "Trying the park file of EDDB again" not in log


def test_a_park_file_that_failed_to_load_is_fetched_anew_after_the_pause(site_root, probe):
    shutil.copy(DATA / "archived_EDDF.xml", site_root / STOCK.replace("EDDF", "EDDA"))
    shutil.copy(DATA / "bad_no_meta_EDDF.xml", site_root / STOCK.replace("EDDF", "EDDB"))
    with DownloadSite(root=site_root) as site:
        # 20 minutes of passes every 16 seconds after the failed load, and a few more.
        values, log = probe(site.base_url, "ground", *GROUND, "80")
    assert fetches(site) == {"EDDA.xml": 1, "EDDB.xml": 2}, log
    assert values["park"] == ""
    assert log.count("Trying the park file of EDDB again (retry 1 of 3)") == 1, log
    assert log.count("The park file of EDDB is tried again in about 20 minutes (retry 2 of 3)") == 1, log


@pytest.mark.parametrize("later, park", [
    # The user flies to the neighbour, which becomes the park airport: its load asks the site.
    (("then", "air", "50.0", "8.50", "4"), "EDDA"),
    # Away for longer than the pause after a failure (out of sight), then standing again
    # beside the neighbour: the closest-stand comparison asks for its file again.
    (("then", "air", "51.0", "8.55", "80", "then", "ground", "50.0", "8.546", "3"), "EDDB"),
])
def test_a_neighbours_park_file_that_failed_once_is_fetched_again_when_needed_later(site_root, probe, later, park):
    for code in ("EDDA", "EDDB"):
        shutil.copy(DATA / "archived_EDDF.xml", site_root / STOCK.replace("EDDF", code))
    with DownloadSite(root=site_root) as site:
        # The site is out for the neighbour's file while the user stands beside it, then serves it.
        site.answer("/downloads/" + STOCK.replace("EDDF", "EDDA"), status=503, times=1)
        values, log = probe(site.base_url, "ground", *GROUND, "6", *later)
    assert fetches(site) == {"EDDA.xml": 2, "EDDB.xml": 1}, log
    assert (values["park"], values["stands"]) == (park, "3"), log
    assert log.count("failed to download") == 1, log
