"""The builder's site folder, served by the download-site stand-in: the data files the
program downloads from it read as at start-up (facts only: no registration), and no plain
file stays behind."""
import json

import pytest

from standins import programs
from standins.download_site import DownloadSite


@pytest.mark.skipif(programs.IS_WINDOWS, reason="the data-file builder is a native program")
def test_the_site_serves_data_files_that_read_without_an_error_line(tmp_path):
    site = tmp_path / "site"
    built = programs.subprocess.run([str(programs.BUILD_DIR / "tools" / "tav_databuild"), "--site", str(site)],
                                    capture_output=True, timeout=120)
    assert built.returncode == 0, built.stderr
    assert json.loads((site / "versions.json").read_text()) == {
        "p3d": {"major": 11, "minor": 10, "patch": 3},
        "dbase": {"major": 1, "minor": 0, "patch": 0},
        "airports": {"major": 1, "minor": 0, "patch": 0}}
    assert sorted(p.name for p in (site / "11").iterdir()) == [
        "airports.enc", "airports.xml", "dbase.enc", "dbase.xml"]

    program = tmp_path / "program"
    (program / "input").mkdir(parents=True)
    with DownloadSite(root=site) as server:
        for name in ("dbase.enc", "airports.enc"):
            got = programs.run("files_probe", "download", str(tmp_path / "download.txt"), "site", server.base_url, name,
                               str(program / "input" / name))
            assert got.returncode == 0, got.stdout
            assert (program / "input" / name).read_bytes() == (site / "11" / name).read_bytes()
    log = tmp_path / "Log.txt"
    read = programs.run("files_probe", "read", str(log), str(program))
    text = log.read_text(encoding="utf-8")
    assert read.stdout.decode() == "dbase=true airports=true\n", text
    assert "\n0 dbase records read\n" in text and "\n7179 airports read\n" in text
    assert "==> " not in text
    assert sorted(p.name for p in (program / "input").iterdir()) == ["airports.enc", "dbase.enc"]
