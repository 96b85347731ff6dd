"""Where the programs built for the tests are and how to start them: natively, or
through Wine in the Windows build (the test script has set up WINEPREFIX and DISPLAY)."""
import os
import pathlib
import subprocess

BUILD_DIR = pathlib.Path(os.environ.get("TAV_BUILD_DIR", "build/native"))
IS_WINDOWS = os.environ.get("TAV_WINDOWS", "0") == "1"
EXE_SUFFIX = os.environ.get("TAV_EXE_SUFFIX", "")


def program_path(name: str) -> pathlib.Path:
    """A program built under tests/ (tools and test programs) or at the top of the build."""
    for candidate in (BUILD_DIR / "tests" / (name + EXE_SUFFIX), BUILD_DIR / (name + EXE_SUFFIX)):
        if candidate.exists():
            return candidate
    raise FileNotFoundError(f"{name}{EXE_SUFFIX} is not built in {BUILD_DIR}")


def host_path(path) -> str:
    """A path as a built program sees it: Wine maps / to drive Z:."""
    return "Z:" + str(path).replace("/", "\\") if IS_WINDOWS else str(path)


def command(name: str, *args: str) -> list:
    """The command line that runs a built program with its arguments."""
    exe = str(program_path(name))
    return (["wine", exe] if IS_WINDOWS else [exe]) + list(args)


def run(name: str, *args: str, timeout: float = 60, **kwargs) -> subprocess.CompletedProcess:
    return subprocess.run(command(name, *args), stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=timeout, **kwargs)


def start(name: str, *args: str, **kwargs) -> subprocess.Popen:
    return subprocess.Popen(command(name, *args), stdin=subprocess.DEVNULL, **kwargs)
