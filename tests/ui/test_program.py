"""The real program under Wine: one instance, its window, its exit codes and its closing.
All tests here start the program, so they share one Wine prefix of their own and run one
after another."""
import pathlib
import shutil
import time
import xml.etree.ElementTree as ET

import pytest

from standins import programs
from standins.program_session import ProgramSession

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


def start_and_wait(session, folder, *args):
    process = session.launch(folder, *args)
    assert session.wait_for_window(), "the window did not appear"
    return process


def close_and_wait(session, process, timeout=30):
    assert session.close_window()
    return process.wait(timeout=timeout)


def stored_settings(session) -> dict:
    root = ET.parse(session.data_folder() / "parameters.xml").getroot()
    return {e.get("name"): e.get("value") for e in root.iter("parameter")}


def controls_when_filled(session, timeout=20):
    """The controls once the run has filled the drop-down lists."""
    deadline = time.monotonic() + timeout
    while True:
        controls = {c["id"]: c for c in session.window_info()["controls"]}
        if controls.get(32818, {}).get("items") or time.monotonic() > deadline:
            return controls
        time.sleep(0.2)


def log_text(folder: pathlib.Path) -> str:
    return (folder / "Log.txt").read_text(encoding="utf-8", errors="replace")


def test_one_fixed_window_of_the_program_class_and_title_at_its_default_place(session, program):
    process = start_and_wait(session, program)
    info = session.window_info()
    session.screenshot(BUILD_DIR / "artefacts" / "window.png")
    assert info["class"] == "Tavelorium_P3D"
    assert info["title"] == "Tavelorium_P3D"
    assert (info["left"], info["top"]) == (400, 20)
    assert (info["right"] - info["left"], info["bottom"] - info["top"]) == (880, 516)
    assert info["style"] & (WS_CAPTION | WS_SYSMENU) == WS_CAPTION | WS_SYSMENU
    assert info["style"] & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX) == 0
    assert session.window_count() == 1
    controls = controls_when_filled(session)
    assert len(controls) == 39
    assert controls[32818]["class"] == "ComboBox"
    assert controls[32818]["items"][0] == "2" and len(controls[32818]["items"]) == 20
    assert controls[32818]["selection"] == 15  # RANGE 40
    assert (controls[32818]["left"], controls[32818]["top"], controls[32818]["width"]) == (217, 226, 50)
    assert controls[32798]["check"] == 1 and controls[32798]["enabled"]  # SCAN_LIVERIES
    assert controls[32857]["text"] == "Flush static" and not controls[32857]["enabled"]
    assert controls[32788]["class"] == "Edit" and controls[32788]["enabled"]  # the install path
    assert close_and_wait(session, process) == 0
    log = log_text(program)
    assert log.startswith("")
    assert "Tavelorium_P3D version 11.10.3 for Prepar3D v5/v6\n" in log.splitlines(keepends=True)[0]
    assert "Exiting: USER CLOSED SIM\n" in log
    assert (session.data_folder()).is_dir()


def test_a_second_start_ends_at_once_with_minus_one_and_leaves_the_log_alone(session, program):
    process = start_and_wait(session, program)
    controls_when_filled(session)  # the run has loaded its settings and flushed the log
    log_before = (program / "Log.txt").read_bytes()
    assert log_before
    started = time.monotonic()
    assert session.run(program, timeout=30) == 255  # -1 as the low byte Wine passes on
    assert time.monotonic() - started < 10
    assert (program / "Log.txt").read_bytes() == log_before
    assert not (program / "Log0.txt").exists()
    assert session.window_count() == 1
    assert close_and_wait(session, process) == 0


def test_a_start_from_another_folder_keeps_to_the_program_folder(session, program, tmp_path):
    (tmp_path / "Log.txt").write_text("someone else's log\n")
    process = session.launch(program, cwd=tmp_path)
    assert session.wait_for_window()
    assert close_and_wait(session, process) == 0
    assert (tmp_path / "Log.txt").read_text() == "someone else's log\n"
    assert not (tmp_path / "Log0.txt").exists()
    assert "Exiting: USER CLOSED SIM\n" in log_text(program)


def test_without_docs_the_error_stays_until_the_user_closes(session, program):
    (program / "docs").rmdir()
    process = start_and_wait(session, program)
    time.sleep(1.0)
    assert process.poll() is None  # waits for the user
    assert close_and_wait(session, process) == 0
    log = log_text(program)
    assert "Error 41: Tavelorium_P3D must be run from the Tavelorium_P3D folder!\n" in log
    assert "Exiting: SYSTEM ERROR\n" in log
    assert "User closed Tavelorium_P3D\n" in log


def test_production_mode_ends_by_itself_with_exit_code_zero(session, program):
    assert session.run(program, "/PRODUCTION", timeout=60) == 0
    assert "Exiting: USER CLOSED SIM\n" in log_text(program)


def test_twenty_start_and_close_cycles_leave_nothing_behind(session, program):
    for cycle in range(20):
        process = start_and_wait(session, program)
        assert close_and_wait(session, process) == 0, f"cycle {cycle}"
    assert session.window_count() == 0
    assert session.leftover_processes(program) == []
    assert log_text(program).count("Exiting: USER CLOSED SIM\n") == 1  # the last run's log
    assert (program / "Log000.txt").exists()


def test_closing_stores_the_position_and_the_next_start_opens_there(session, program):
    process = start_and_wait(session, program)
    assert session.probe("move", "123", "45").returncode == 0
    assert close_and_wait(session, process) == 0
    stored = stored_settings(session)
    assert (stored["MAIN_WINDOW_X"], stored["MAIN_WINDOW_Y"]) == ("123", "45")

    process = start_and_wait(session, program)
    info = session.window_info()
    assert (info["left"], info["top"]) == (123, 45)
    assert close_and_wait(session, process) == 0


def test_a_position_on_no_monitor_opens_at_the_default_place(session, program):
    process = start_and_wait(session, program)
    assert session.probe("move", "5000", "4000").returncode == 0
    assert close_and_wait(session, process) == 0
    assert stored_settings(session)["MAIN_WINDOW_X"] == "5000"

    process = start_and_wait(session, program)
    info = session.window_info()
    assert (info["left"], info["top"]) == (400, 20)
    assert close_and_wait(session, process) == 0
