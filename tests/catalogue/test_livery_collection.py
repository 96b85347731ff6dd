"""A generated livery collection scanned as the start-up scans it: LiveriesScanned.xml and
every report file as the generator's manifest says, whichever task took a title that
several files carry; natively a folder nobody may read costs only its own liveries."""
import json
import os
import pathlib
import shutil
import subprocess
import xml.etree.ElementTree as ET

from standins import livery_collection, programs

INFO_REPORTS = ("AircraftCfgWithNoFltsimSection.txt", "AirlineModelConversions.txt")
INCOMPLETE = "IncompleFltsimSections.txt"
program_path_text = programs.host_path


def test_a_generated_collection_gives_the_manifests_liveries_and_reports(tmp_path):
    program = tmp_path / "program"
    program.mkdir()
    tools = os.path.join(os.environ["TAV_SOURCE_DIR"], "tools")
    made = programs.run("livery_scan_probe", "data", program_path_text(tools), program_path_text(program), "4000",
                        timeout=120)
    assert made.returncode == 0, made.stdout

    collection = tmp_path / "collection"
    generator = [str(pathlib.Path(__file__).parents[2] / "demo" / "standins" / "livery_collection.py"),
                 "--data", str(program / "site" / "11"), "--out", str(collection), "--seed", "16",
                 "--folders", "80", "--sections", "900", "--description-min", "300", "--description-max", "2500"]
    if programs.IS_WINDOWS:
        # Wine's server opens files for the program with its own rights: no folder is unreadable.
        generator.append("--no-unreadable")
    subprocess.run(["/usr/bin/python3"] + generator, check=True, capture_output=True, timeout=120)
    manifest = json.loads((collection / "manifest.json").read_text(encoding="utf-8"))
    # The section tests leave these faults to this collection: the seed must plant every one.
    assert set(livery_collection.SECTION_FAULTS) | {"ivao", "no_atc_model", "no_sections", "number_10001",
                                                     "number_huge", "unknown_model"} <= set(manifest["planted"])
    shutil.copytree(collection / "my_regcodes", program / "input" / "my_regcodes")
    (program / "output" / "info").mkdir(parents=True)

    lfolders = [program_path_text(collection / f"lf{i}") for i in range(3)]
    command = programs.command("livery_scan_probe", "scan", program_path_text(tmp_path / "Log.txt"),
                               program_path_text(program), *lfolders)
    if os.geteuid() == 0 and not programs.IS_WINDOWS:
        # Root reads any folder until it gives up these two capabilities.
        command = ["setpriv", "--inh-caps=-dac_override,-dac_read_search",
                   "--bounding-set=-dac_override,-dac_read_search"] + command
    try:
        scanned = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    finally:
        if (collection / "lf0" / "locked").exists():
            os.chmod(collection / "lf0" / "locked", 0o755)
    log = (tmp_path / "Log.txt").read_text(encoding="utf-8")
    assert scanned.stdout.decode().strip() == "scan=ok", log

    root = program_path_text(collection)

    def norm(text: str) -> str:
        return text.replace(root, "<ROOT>").replace("\\", "/")

    liveries = ET.parse(program / "output" / "LiveriesScanned.xml").getroot().find("liveries")
    got = [{"airl": l.get("airl"), "type": l.get("type"), "title": l.get("title"), "atcid": l.get("atcid", ""),
            "cargo": l.get("cargo") == "true"} for l in liveries]
    assert got == manifest["records"]

    groups = manifest["title_groups"]
    assert groups, "the seed plants a title in several files"
    taken_by_any = {line for group in groups for line in group}
    for name, expected in manifest["reports"].items():
        report = program / "output" / ("info" if name in INFO_REPORTS else "errors") / name
        lines = sorted((norm(line) for line in report.read_text(encoding="utf-8").splitlines()), key=str.encode)
        if name == INCOMPLETE:
            present = {line for line in lines if line in taken_by_any}
            for group in groups:
                assert len(present & set(group)) == len(group) - 1, group
            lines = [line for line in lines if line not in taken_by_any]
        assert lines == expected, name
    assert sorted(os.listdir(program / "output" / "errors")) == sorted(
        name for name in manifest["reports"] if name not in INFO_REPORTS)
    for line in manifest["logged"]:
        assert norm(line) in norm(log)
    assert "SCAN_LIVERIES=false" in log
