"""The real program under Wine: one instance, its window, its exit codes and its closing.
All tests here start the program, so they share one Wine prefix of their own and run one
after another."""
import pathlib
import shutil
import subprocess
import time

import pytest

from standins import programs
from standins.program_session import SOURCE_DIR, ProgramSession

pytestmark = pytest.mark.skipif(not programs.IS_WINDOWS, reason="the program runs in the Windows build")

BUILD_DIR = programs.BUILD_DIR
WS_CAPTION, WS_SYSMENU = 0x00C00000, 0x00080000
WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX = 0x00040000, 0x00020000, 0x00010000


@pytest.fixture(scope="module")
def session():
    s = ProgramSession(BUILD_DIR.resolve() / "wineprefix-program").start()
    yield s
    s.stop()


@pytest.fixture
def program(session):
    shutil.rmtree(session.data_folder(), ignore_errors=True)
    folder = session.new_program_folder()
    yield folder
    # A failed test may leave its program running: end it, so that the next test starts.
    if session.window_count() > 0:
        session.close_window()
        time.sleep(2)
    session.kill_leftovers(folder)
    shutil.rmtree(folder, ignore_errors=True)


def start_and_wait(session, folder, *args, cwd=None):
    process = session.launch(folder, *args, cwd=cwd)
    assert session.wait_for_window(), "the window did not appear"
    return process


def close_and_wait(session, process, timeout=30):
    assert session.close_window()
    return process.wait(timeout=timeout)


def log_text(folder: pathlib.Path) -> str:
    return (folder / "Log.txt").read_text(encoding="utf-8", errors="replace")


def test_one_fixed_window_a_second_start_ends_at_once_another_working_folder_is_left_alone_and_production_ends_alone(
        session, program, tmp_path):
    # Started as a shortcut with another working folder would start it.
    (tmp_path / "Log.txt").write_text("someone else's log\n")
    process = start_and_wait(session, program, cwd=tmp_path)
    info = session.window_info()
    session.screenshot(BUILD_DIR / "artefacts" / "window.png")
    assert (info["class"], info["title"]) == ("Tavelorium_P3D", "Tavelorium_P3D")
    assert (info["left"], info["top"], info["right"] - info["left"], info["bottom"] - info["top"]) == (400, 20, 880, 516)
    assert info["style"] & (WS_CAPTION | WS_SYSMENU) == WS_CAPTION | WS_SYSMENU
    assert info["style"] & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX) == 0
    # The run fills the lists (each control in detail: main_window_win_test); its settings
    # are loaded and the log flushed by then.
    deadline = time.monotonic() + 20
    while not (controls := {c["id"]: c for c in session.window_info()["controls"]}).get(32818, {}).get("items"):
        assert time.monotonic() < deadline, "the lists were not filled"
        time.sleep(0.2)
    assert len(controls) == 39
    assert (controls[32818]["items"][0], len(controls[32818]["items"]), controls[32818]["selection"]) == ("2", 20, 15)

    log_before = (program / "Log.txt").read_bytes()
    assert log_before
    started = time.monotonic()
    assert session.run(program, timeout=30) == 255  # -1 as the low byte Wine passes on
    assert time.monotonic() - started < 10
    assert (program / "Log.txt").read_bytes() == log_before
    assert not (program / "Log0.txt").exists()
    assert session.window_count() == 1

    assert close_and_wait(session, process) == 0
    log = log_text(program)
    assert "Tavelorium_P3D version 11.10.3 for Prepar3D v5/v6\n" in log.splitlines(keepends=True)[0]
    # The program folder holds no data files: the run ends in an error the user closes.
    assert "\nError input\\dbase.enc not available\nExiting: SYSTEM ERROR\nUser closed Tavelorium_P3D\n" in log
    assert (tmp_path / "Log.txt").read_text() == "someone else's log\n"
    assert not (tmp_path / "Log0.txt").exists()

    # Production mode ends by itself with exit code 1: nobody is there to read the error.
    assert session.run(program, "/PRODUCTION", timeout=60) == 1
    log = log_text(program)
    assert "\nError input\\dbase.enc not available\nExiting: SYSTEM ERROR\n" in log and "User closed" not in log

    # Start and close cycles leave nothing behind (the logs rotate: Log000.txt is made).
    for cycle in range(18):
        process = start_and_wait(session, program)
        assert close_and_wait(session, process) == 0, f"cycle {cycle}"
    assert session.window_count() == 0
    assert session.leftover_processes(program) == []
    assert log_text(program).count("Exiting: ") == 1  # the last run's log
    assert (program / "Log000.txt").exists()


def windows_path(path) -> str:
    return "Z:" + str(path).replace("/", "\\")


def test_closing_the_window_mid_scan_ends_the_program_and_keeps_the_last_scan(session, program, tmp_path):
    data = tmp_path / "data"
    made = programs.run("livery_scan_probe", "data", windows_path(SOURCE_DIR / "tools"), windows_path(data), "4000",
                        timeout=180)
    assert made.returncode == 0, made.stdout
    shutil.copytree(data / "input", program / "input")
    collection = tmp_path / "liveries"
    subprocess.run(["/usr/bin/python3", str(SOURCE_DIR / "demo" / "standins" / "livery_collection.py"),
                    "--data", str(data / "site" / "11"), "--out", str(collection), "--folders", "800",
                    "--sections", "10000", "--description-min", "100", "--description-max", "400",
                    "--no-unreadable"], check=True, capture_output=True, timeout=180)
    session.data_folder().mkdir(parents=True, exist_ok=True)
    parameters = "".join(f'    <parameter name="lfolder{i}" value="{windows_path(collection / f"lf{i}")}" />\n'
                         for i in range(3))
    (session.data_folder() / "parameters.xml").write_text(
        '<?xml version="1.0" encoding="UTF-8"?>\n<root>\n  <parameters>\n'
        '    <parameter name="SIM_INSTALL_PATH" value="C:\\windows" />\n' + parameters +
        "  </parameters>\n</root>\n", encoding="utf-8")
    (program / "output" / "errors").mkdir(parents=True)
    (program / "output" / "LiveriesScanned.xml").write_bytes(b"the last scan\n")
    started_scan = program / "output" / "errors" / "Fixes.txt"  # the scan removes it first
    started_scan.write_text("earlier\n")

    process = start_and_wait(session, program)
    deadline = time.monotonic() + 60
    while started_scan.exists():
        assert time.monotonic() < deadline, "the scan did not start"
        time.sleep(0.05)
    closed = time.monotonic()
    assert session.close_window()
    assert process.wait(timeout=30) == 0
    assert time.monotonic() - closed < 2
    log = log_text(program)
    assert "liveries scan manual starts" in log and " liveries in " not in log, log
    assert (program / "output" / "LiveriesScanned.xml").read_bytes() == b"the last scan\n"
    assert '<parameter name="SCAN_LIVERIES" value="true"' in (session.data_folder() / "parameters.xml").read_text()
