"""The version check at the first start-up, natively and under Wine, against the
download-site stand-in: data files and rescans by version, answers that must never cost
the user a working data file, and a newer program placed in new_version."""
import json
import pathlib
import random
import xml.etree.ElementTree as ET
import zipfile

import pytest

from standins import programs
from standins.download_site import DownloadSite

OLD = b"the data file of the previous update"
SITE_DATA = {"airports": "airports.enc", "aig": "AIG-regcodes.enc", "dbase": "dbase.enc"}
VERSION_SETTINGS = {"airports": "AIRPORTS_VERSION", "aig": "AIG_VERSION", "liveries": "LIV_SCAN_VERSION",
                    "addons": "ADDONS_SCAN_VERSION", "dbase": "DBASE_VERSION"}
KEYS = ["p3d", "airports", "aig", "liveries", "addons", "dbase"]
SITE = {"p3d": "11.10.3", "airports": "2.1.0", "aig": "3.0.1", "liveries": "4.0.0", "addons": "5.2.0",
        "dbase": "6.0.7"}
TRY_MANUALLY = "The downloading/unzipping of the new version failed? Try manually via the Hovelstad website."
README = "A new version is available.\nThe installer can be executed normally (no Administrator rights required).\n"


def entry(text):
    major, minor, patch = (int(part) for part in text.split("."))
    return {"major": major, "minor": minor, "patch": patch}


def versions_json(versions):
    return json.dumps({key: entry(text) for key, text in versions.items()}, indent=2).encode()


@pytest.fixture(scope="module")
def made(tmp_path_factory):
    """The data files the probe encrypts with the program's key (cut.enc: half of dbase.enc),
    an installer larger than one unzip chunk and the archives that carry it."""
    folder = tmp_path_factory.mktemp("made")
    result = programs.run("files_probe", "make", programs.host_path(folder))
    assert result.returncode == 0, result.stderr
    files = {p.name: p.read_bytes() for p in folder.iterdir()}
    installer, readme = random.Random(4).randbytes(700000), b"Read me first\r\n"
    files["setup.exe"] = installer
    archives = {"one.zip": [("Tavelorium_P3D_setup.exe", installer)],
                "exe-readme.zip": [("setup.exe", installer), ("README.txt", readme)],
                "readme-exe.zip": [("README.txt", readme), ("SETUP.EXE", installer)],
                "folder.zip": [("setup/", b""), ("setup/setup.exe", installer)],
                "two-exe.zip": [("setup.exe", installer), ("tool.exe", readme)],
                "crc.zip": [("setup.exe", installer)], "empty.zip": []}
    for name, entries in archives.items():
        with zipfile.ZipFile(folder / name, "w", zipfile.ZIP_STORED if name == "crc.zip" else zipfile.ZIP_DEFLATED) as z:
            for entry, data in entries:
                z.writestr(entry, data)
        files[name] = (folder / name).read_bytes()
    damaged = bytearray(files["crc.zip"])
    damaged[files["crc.zip"].find(installer[:64]) + len(installer) // 2] ^= 0x20  # a data byte changed
    files["crc.zip"], files["notzip.zip"] = bytes(damaged), b"<html><body>Not here</body></html>\n"
    return files


class Program:
    """A program folder with its data folder; run() checks once against the site."""

    def __init__(self, root: pathlib.Path, site: DownloadSite, made: dict):
        self.folder, self.data, self.site, self.made = root / "program", root / "data", site, made
        for sub in ("input", "output", "data"):
            (self.folder / sub if sub != "data" else self.data).mkdir(parents=True)
        self.log = root / "Log.txt"

    def serve(self, versions=None, body=None, **answer):
        self.site.answer("/downloads/versions.json", versions_json(versions) if body is None else body, **answer)
        for name in SITE_DATA.values():
            self.site.answer(f"/downloads/11/{name}", self.made[name])

    def settings(self, **values):
        rows = "".join(f'    <parameter name="{k}" value="{v}" />\n' for k, v in values.items())
        (self.data / "parameters.xml").write_text(
            f'<?xml version="1.0"?>\n<root>\n  <parameters>\n{rows}  </parameters>\n</root>\n')

    def stored(self) -> dict:
        root = ET.parse(self.data / "parameters.xml").getroot()
        return {e.get("name"): e.get("value") for e in root.iter("parameter")}

    def run(self, *options):
        result = programs.run("files_probe", "check", programs.host_path(self.log), self.site.base_url,
                              programs.host_path(self.data), *options, cwd=self.folder, timeout=60)
        assert result.returncode == 0, result.stderr
        lines = result.stdout.decode(errors="replace").replace("\r", "").splitlines()
        out = {"explorer": [], "box": []}
        for line in lines:
            key, _, value = line.partition("=")
            if key in out:
                out[key].append(value)
            else:
                out[key] = value
        return out

    def text_log(self) -> str:
        return self.log.read_text(encoding="utf-8", errors="replace")

    def fetched(self) -> list:
        """The site paths asked for after versions.json, all asked with our user agent."""
        assert {r.user_agent for r in self.site.requests} == {"Tavelorium"}
        return [r.path.removeprefix("/downloads/") for r in self.site.requests][1:]

    def leftovers(self) -> list:
        return sorted(str(p.relative_to(self.folder)) for p in self.folder.rglob("*")
                      if p.name.endswith((".tavtmp", ".zip", ".part")) or p.name in ("versions.json",
                                                                                     "install_new_version.exe"))


@pytest.fixture
def program(tmp_path, made):
    with DownloadSite() as site:
        yield Program(tmp_path, site, made)


# Stored versions against the site's (None: a first start, no settings nor files), with one
# file missing from disk: what is fetched, and which keys log "{} version up-to-date".
CASES = {
    "first start": (SITE, None, None, ["11/airports.enc", "11/AIG-regcodes.enc", "11/dbase.enc"], ["p3d"]),
    "equal": (SITE, SITE, None, [], KEYS),
    "airports.enc deleted": (SITE, SITE, "airports.enc", ["11/airports.enc"], ["p3d", "aig", "liveries", "addons",
                                                                               "dbase"]),
    "site lower": ({**SITE, "airports": "2.0.9", "aig": "2.9.9", "addons": "5.1.0", "dbase": "5.9.9"}, SITE, None,
                   [], KEYS),
    "no LiveriesScanned.xml": (SITE, SITE, "LiveriesScanned.xml", [], ["p3d", "airports", "aig", "addons", "dbase"]),
    "no p3d": ({k: v for k, v in SITE.items() if k != "p3d"}, {**SITE, "dbase": "6.0.6"}, None, ["11/dbase.enc"],
               ["airports", "aig", "liveries", "addons"]),
}


@pytest.mark.parametrize("case", CASES)
def test_versions_decide_what_is_fetched_and_rescanned(program, case):
    site, before, missing, fetched, up_to_date = CASES[case]
    program.serve(site)
    program.settings(SCAN_LIVERIES="false", SCAN_AIRPORTS="false",
                     **({s: before[k] for k, s in VERSION_SETTINGS.items()} if before else {}))
    for name in ("airports.enc", "AIG-regcodes.enc", "dbase.enc", "LiveriesScanned.xml") if before else ():
        if name != missing:
            (program.folder / ("output" if name.endswith(".xml") else "input") / name).write_bytes(OLD)
    out = program.run()
    assert out["result"] == "true"
    assert program.fetched() == fetched
    log = program.text_log()
    assert [k for k in KEYS if f"{k} version up-to-date" in log] == up_to_date, log
    assert ("==> p3d version not found" in log) == (case == "no p3d")
    assert ("p3d program version at web = 11.10.3" in log) == (case != "no p3d")
    stored = program.stored()
    rescans = {"first start": ("true", "true"), "no LiveriesScanned.xml": ("true", "false")}
    assert (stored["SCAN_LIVERIES"], stored["SCAN_AIRPORTS"]) == rescans.get(case, ("false", "false"))
    refreshed = {k for k, name in SITE_DATA.items() if f"11/{name}" in fetched}
    for k in refreshed:
        assert (program.folder / "input" / SITE_DATA[k]).read_bytes() == program.made[SITE_DATA[k]]
    updated = set(VERSION_SETTINGS) if before is None else refreshed
    assert {k: stored[s] for k, s in VERSION_SETTINGS.items()} == {
        k: site[k] if k in updated else before[k] for k in VERSION_SETTINGS}
    assert all(f"{k} updated to {site[k]}" in log for k in updated), log
    assert program.leftovers() == []


# Every way a download fails is in test_downloads.py; one of them here, and what only the
# trial decryption refuses.
REFUSED = {
    "404": dict(status=404, body=b"<html>not here</html>"),
    "200 error page": dict(body=b"<html><body>Service unavailable</body></html>\n"),
    "200 cut file": None,  # the probe's cut.enc
}


@pytest.mark.parametrize("case", REFUSED)
def test_a_data_file_that_does_not_arrive_whole_keeps_the_old_one_and_its_version(program, case):
    program.serve({**SITE, "dbase": "7.0.0"})
    program.site.answer("/downloads/11/dbase.enc", **(REFUSED[case] or dict(body=program.made["cut.enc"])))
    program.settings(**{s: SITE[k] for k, s in VERSION_SETTINGS.items()})
    (program.folder / "input" / "dbase.enc").write_bytes(OLD)
    out = program.run()
    assert out["result"] == "true"
    assert (program.folder / "input" / "dbase.enc").read_bytes() == OLD
    assert program.stored()["DBASE_VERSION"] == SITE["dbase"]
    assert f"==> Downloading '{program.site.base_url}11/dbase.enc' failed !" in program.text_log()
    assert program.leftovers() == []


BAD_LISTS = {
    "html page": (dict(body=b"<!DOCTYPE html><html><body>Maintenance</body></html>"),
                  "==> gf_checkForUpdates exception:", []),
    "truncated": (dict(body=versions_json(SITE)[:40]), "==> gf_checkForUpdates exception:", []),
    "string member": (dict(body=json.dumps({"p3d": "12.0.0", "dbase": entry("7.0.0")}).encode()),
                      '==> p3d version in versions.json is not valid: no whole number "major"', ["11/dbase.enc"]),
    "no patch": (dict(body=json.dumps({"p3d": {"major": 12, "minor": 0}, "dbase": entry("7.0.0")}).encode()),
                 '==> p3d version in versions.json is not valid: no whole number "patch"', ["11/dbase.enc"]),
    "404": (dict(body=b"gone", status=404), "==> Downloading version info from my web site failed!", []),
    "stall": (dict(body=versions_json(SITE), kind="stall"), "==> Downloading version info from my web site failed!",
              []),
}


@pytest.mark.parametrize("case", BAD_LISTS)
def test_an_unusable_versions_list_is_logged_and_removed_and_the_start_up_goes_on(program, case):
    answer, line, fetched = BAD_LISTS[case]
    program.serve(**answer)
    program.settings(**{s: SITE[k] for k, s in VERSION_SETTINGS.items()})
    (program.folder / "input" / "dbase.enc").write_bytes(OLD)
    out = program.run("--low-speed-seconds", "2")
    assert (out["result"], out["close"]) == ("true", "NOT YET SET")
    assert line in program.text_log()
    assert program.fetched() == fetched
    assert program.leftovers() == []


def new_version_site(program, version, archive):
    program.serve({**SITE, "p3d": version, "dbase": "7.0.0"})
    program.site.answer(f"/downloads/release/setup_Tavelorium_P3D_d_v{version}.zip", program.made[archive])
    program.site.answer("/downloads/docs/ReleaseNotes.pdf", b"%PDF-1.4 release notes")
    program.settings(**{s: SITE[k] for k, s in VERSION_SETTINGS.items()})
    for name in ("input/airports.enc", "input/AIG-regcodes.enc", "output/LiveriesScanned.xml"):
        (program.folder / name).write_bytes(OLD)


# The close-down comes also without release notes or File Explorer, which then says why.
PLACED = [("11.10.4", "one.zip", ""), ("11.11.0", "exe-readme.zip", ""), ("12.0.0", "readme-exe.zip", ""),
          ("11.10.4", "folder.zip", ""), ("11.10.4", "one.zip", "release notes missing"),
          ("11.10.4", "one.zip", "explorer fails")]


@pytest.mark.parametrize("version,archive,trouble", PLACED)
def test_a_newer_program_is_placed_in_new_version_and_the_service_closes(program, version, archive, trouble):
    new_version_site(program, version, archive)
    if trouble == "release notes missing":
        program.site.answer("/downloads/docs/ReleaseNotes.pdf", b"gone", status=404)
    stale = program.folder / "new_version"
    stale.mkdir()
    for name in ("install_new_version.exe", "install_new_version.exe.part", "setup_11.10.2.txt"):
        (stale / name).write_bytes(b"from an earlier version")
    out = program.run(*(["--explorer-fails"] if trouble == "explorer fails" else []))
    assert (out["result"], out["close"]) == ("false", "NEW VERSION")
    placed = {p.name: p.read_bytes() for p in stale.iterdir()}
    notes = [] if trouble == "release notes missing" else ["ReleaseNotes.pdf"]
    assert sorted(placed) == sorted(["README.txt", "install_new_version.exe"] + notes)
    assert placed["install_new_version.exe"] == program.made["setup.exe"]
    assert placed["README.txt"].decode() == README
    assert program.fetched() == [f"release/setup_Tavelorium_P3D_d_v{version}.zip", "docs/ReleaseNotes.pdf"]
    assert program.leftovers() == ["new_version/install_new_version.exe"]
    assert out["explorer"][-1].replace("\\", "/").endswith("new_version/install_new_version.exe")
    failed = trouble == "explorer fails"
    assert out["box"] == (["Could not open File Explorer at new version"] if failed else [])
    assert out["message"] == ("Opening file explorer at the new version failed? Try manually via the Hovelstad "
                              "website." if failed else "")
    assert ("==> could not download ReleaseNotes.pdf to " in program.text_log()) == (not notes)


@pytest.mark.parametrize("case", ["empty.zip", "404", "crc.zip", "notzip.zip", "two-exe.zip", "folder blocked"])
def test_an_installer_that_cannot_be_placed_leaves_nothing_and_the_data_files_are_still_examined(program, case):
    new_version_site(program, "11.10.4", case if case.endswith(".zip") else "one.zip")
    if case == "404":
        program.site.answer("/downloads/release/setup_Tavelorium_P3D_d_v11.10.4.zip", b"gone", status=404)
    if case == "folder blocked":
        (program.folder / "new_version").write_bytes(b"a file where the folder belongs")
    (program.folder / "install_new_version.exe").write_bytes(b"left by an earlier run")
    out = program.run()
    assert (out["result"], out["close"], out["message"]) == ("true", "NOT YET SET", TRY_MANUALLY)
    assert program.fetched() == ["release/setup_Tavelorium_P3D_d_v11.10.4.zip", "11/dbase.enc"]
    assert program.leftovers() == []
    assert not (program.folder / "new_version" / "install_new_version.exe").exists()
    if case == "folder blocked":
        assert "==> gf_downloadInstaller exception:" in program.text_log()
