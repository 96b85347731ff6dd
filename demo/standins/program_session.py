"""The real program started under Wine in a Wine prefix of its own, so that its single-
instance mutex, its window class and its data folder under Roaming AppData are shared
with no other test. Tests in one module share one ProgramSession; tests that start the
program must run one after another (keep them in one pytest file)."""
import glob
import json
import os
import pathlib
import shutil
import subprocess
import tempfile
import time

from standins import programs

SOURCE_DIR = pathlib.Path(os.environ.get("TAV_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
PROGRAM_NAME = "Tavelorium_P3D"


class ProgramSession:
    def __init__(self, prefix: pathlib.Path):
        self.prefix = prefix
        self.env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG=os.environ.get("WINEDEBUG", "-all"),
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.exe = programs.program_path(PROGRAM_NAME)
        self.probe_exe = programs.program_path("main_window_probe_win")

    # The prefix: made once (kept in the build folder) and its server started here.
    def start(self):
        self.prefix.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["bash", "-c", '. "$1/scripts/wine-env.sh"; tav_wine_start "$2"', "_",
                        str(SOURCE_DIR), str(self.prefix)],
                       env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True, timeout=180)
        return self

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def data_folder(self) -> pathlib.Path:
        roaming = glob.glob(str(self.prefix / "drive_c" / "users" / "*" / "AppData" / "Roaming"))
        roaming = [r for r in roaming if not r.split(os.sep)[-3] == "Public"]
        assert roaming, "no Roaming AppData folder in the Wine prefix"
        return pathlib.Path(roaming[0]) / PROGRAM_NAME

    def new_program_folder(self, with_docs: bool = True) -> pathlib.Path:
        """A fresh program folder with the program in it (and "docs" when asked)."""
        folder = pathlib.Path(tempfile.mkdtemp(prefix="tav-program-"))
        shutil.copy2(self.exe, folder / (PROGRAM_NAME + ".exe"))
        if with_docs:
            (folder / "docs").mkdir()
        return folder

    def launch(self, program_folder: pathlib.Path, *args: str, cwd=None) -> subprocess.Popen:
        exe = program_folder / (PROGRAM_NAME + ".exe")
        return subprocess.Popen(["wine", str(exe), *args], env=self.env, cwd=cwd or tempfile.gettempdir(),
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def run(self, program_folder: pathlib.Path, *args: str, timeout: float = 60) -> int:
        return self.launch(program_folder, *args).wait(timeout=timeout)

    def probe(self, *args: str, timeout: float = 60) -> subprocess.CompletedProcess:
        return subprocess.run(["wine", str(self.probe_exe), *args], env=self.env, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, timeout=timeout)

    def wait_for_window(self, timeout_ms: int = 20000) -> bool:
        return self.probe("wait", str(timeout_ms), timeout=timeout_ms / 1000 + 30).returncode == 0

    def window_info(self) -> dict:
        return json.loads(self.probe("info").stdout)

    def window_count(self) -> int:
        return int(self.probe("count").stdout.strip() or 0)

    def close_window(self) -> bool:
        return self.probe("close").returncode == 0

    def screenshot(self, file: pathlib.Path):
        """The X screen the program's Wine desktop is shown on."""
        file.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["import", "-window", "root", str(file)], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def leftover_processes(self, program_folder: pathlib.Path) -> list:
        """Live processes started from the program folder, as "pid stat args" lines."""
        out = subprocess.run(["ps", "-eo", "pid,stat,args"], capture_output=True, text=True).stdout
        return [line for line in out.splitlines()
                if str(program_folder) in line and line.split()[1][0] != "Z" and "ps -eo" not in line]

    def kill_leftovers(self, program_folder: pathlib.Path):
        for line in self.leftover_processes(program_folder):
            try:
                os.kill(int(line.split()[0]), 9)
            except (ProcessLookupError, ValueError):
                pass
