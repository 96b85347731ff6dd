"""A test tool (tests/tools/*.cpp) run natively or under Wine and asked through its stdin:
each command is answered by a line that starts with the command's name; "ready" first."""
import pathlib
import queue
import subprocess
import tempfile
import threading
import time

from standins import programs


class ProbeProcess:
    def __init__(self, name: str, *args: str, cwd=None):
        self.folder = tempfile.TemporaryDirectory(prefix=name)
        self.log_file = pathlib.Path(self.folder.name) / "Log.txt"
        self.proc = subprocess.Popen(programs.command(name, "--log", str(self.log_file), *args), cwd=cwd,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                     text=True, bufsize=1)
        self.lines: "queue.Queue[str]" = queue.Queue()
        threading.Thread(target=lambda: [self.lines.put(line.rstrip("\r\n")) for line in self.proc.stdout],
                         daemon=True).start()
        self.ask(timeout=30)

    def send(self, command: str):
        self.proc.stdin.write(command + "\n")
        self.proc.stdin.flush()

    def ask(self, command: str = "", timeout: float = 20, answer: str = "") -> list:
        """Sends the command (none: waits for "ready"); returns the lines up to the answer (the
        line starting with `answer`, by default the command's name), that last."""
        if command:
            self.send(command)
        word = answer or command.split(" ", 1)[0] or "ready"
        deadline = time.monotonic() + timeout
        got = [self.lines.get(timeout=max(0.01, deadline - time.monotonic()))]
        while got[-1].split(" ", 1)[0] != word:
            got.append(self.lines.get(timeout=max(0.01, deadline - time.monotonic())))
        return got

    def status(self, command: str = "status") -> dict:
        """The "key=value" words of the command's answer."""
        return dict(part.split("=", 1) for part in self.ask(command)[-1].split(" ")[1:])

    def wait_for(self, predicate, timeout: float = 30, command: str = "status") -> dict:
        """The first status that satisfies the predicate; fails on the last one after the timeout."""
        deadline = time.monotonic() + timeout
        while not predicate(s := self.status(command)):
            assert time.monotonic() < deadline, s
            time.sleep(0.05)
        return s

    def log(self) -> str:
        return self.log_file.read_text(encoding="utf-8", errors="replace")

    def close(self) -> int:
        """Asks the tool to quit; its exit code (the sanitizers make it non-zero on a fault)."""
        try:
            self.proc.stdin.write("quit\n")
            self.proc.stdin.close()
            self.proc.wait(timeout=30)
        except (OSError, subprocess.TimeoutExpired):
            self.proc.kill()
            self.proc.wait()
        self.folder.cleanup()
        return self.proc.returncode
