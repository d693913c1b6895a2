"""Helpers of the checker's end-to-end suites (tests/e2e/test_checker_*.py): an install folder
with the checker, starting it on a desktop of the test's own, and reading and working its window
through chkdriver.exe.

The suites import this module from components/qxchkerr/testing. Windows programs run through
scripts/wine-run with their output in a file: a pipe could hang on Wine's long-lived helpers."""
from __future__ import annotations

import contextlib
import json
import os
import shutil
import subprocess
import time
import uuid
from pathlib import Path
from typing import Dict, Iterator, List, Optional

ROOT = Path(__file__).resolve().parents[3]
BUILD_ROOT = Path(os.environ.get("FENNICK_BUILD_ROOT") or ROOT / "build")
BUILD_DIR = Path(os.environ.get("FENNICK_BUILD_DIR") or BUILD_ROOT / "x86_64")
KIT = BUILD_DIR / "kit"
TESTS_BIN = BUILD_DIR / "tests-bin"
WINE_RUN = ROOT / "scripts" / "wine-run"
WINEPREFIX = Path(os.environ.get("WINEPREFIX") or BUILD_ROOT / "wineprefix")
DOCUMENTS = WINEPREFIX / "drive_c" / "users" / "root" / "Documents"
DOWNLOAD_FOLDER = DOCUMENTS / "Vantrel" / "Fennick"
MESSAGE_FILE = ROOT / "components" / "qxmlang" / "FENNICKMSG.MLG"

DEADLINE = 60.0  # seconds; generous, only a hung run ever reaches it
CHECKS = ["address", "host name", "connection", "server", "folder", "disk room"]


def windows_path(path: Path) -> str:
    """The Wine (Z: drive) form of a host path."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def run_windows(argv: List[str], log: Path, timeout: float = DEADLINE) -> int:
    with open(log, "wb") as out:
        return subprocess.run([str(WINE_RUN), *argv], stdout=out, stderr=subprocess.STDOUT,
                              stdin=subprocess.DEVNULL, timeout=timeout).returncode


def english_texts() -> Dict[int, str]:
    """The checker's English texts as the message file holds them, by number."""
    texts, section = {}, None
    for line in MESSAGE_FILE.read_text(encoding="utf-8-sig").splitlines():
        if line.startswith("["):
            section = line.strip()
        elif section == "[0x0409]" and "=" in line and not line.startswith(";"):
            number, text = line.split("=", 1)
            texts[int(number)] = text
    return texts


class CheckerWindow:
    """What chkdriver saw of the checker's window."""

    def __init__(self, info: dict):
        self.info = info

    @property
    def hwnd(self) -> int:
        return self.info["hwnd"]

    @property
    def pid(self) -> int:
        return self.info["pid"]

    def status(self, check: str) -> str:
        return self.info["checks"][CHECKS.index(check)]["status"]

    def detail(self, check: str) -> str:
        return self.info["checks"][CHECKS.index(check)]["detail"]

    def __repr__(self) -> str:
        return json.dumps(self.info, ensure_ascii=False, indent=1)


class Desktop:
    """A Wine desktop of the test's own, so that windows of suites running side by side never
    meet; chkdriver and fnkdriver look only at this desktop."""

    def __init__(self, log_dir: Path, name: Optional[str] = None):
        self.name = name or "chk" + uuid.uuid4().hex[:10]
        self.log_dir = Path(log_dir)
        self._calls = 0

    def _call(self, tool: str, args: List[str], timeout: float = DEADLINE) -> dict:
        self._calls += 1
        log = self.log_dir / f"{tool}-{self._calls}.json"
        run_windows([str(TESTS_BIN / tool), *args, "--desktop", self.name], log, timeout=timeout)
        lines = [line for line in log.read_text(errors="replace").splitlines() if line.startswith("{")]
        assert lines, f"{tool} {args} printed nothing: {log.read_text(errors='replace')}"
        return json.loads(lines[-1])

    def start(self, exe: Path) -> int:
        """Starts a program in its own folder on this desktop; its process id."""
        result = self._call("fnkdriver.exe", ["start", windows_path(exe), "--cwd", windows_path(exe.parent)])
        assert "pid" in result, result
        return result["pid"]

    def wait_exit(self, pid: int, timeout_ms: int = 30000) -> dict:
        return self._call("fnkdriver.exe", ["wait-exit", "--pid", str(pid), "--timeout", str(timeout_ms)])

    def kill(self, pid: int) -> None:
        self._call("fnkdriver.exe", ["kill", "--pid", str(pid)])

    def checker(self, finished: bool = True, timeout_ms: int = 40000) -> Optional[CheckerWindow]:
        """The checker's window once all its checks have run (or as it is, finished=False)."""
        args = ["find", "--timeout", str(timeout_ms)] + (["--finished"] if finished else [])
        result = self._call("chkdriver.exe", args, timeout=timeout_ms / 1000 + DEADLINE)
        return CheckerWindow(result) if result.get("found") else None

    def press_retry(self, window: CheckerWindow) -> None:
        assert self._call("chkdriver.exe", ["retry", "--hwnd", str(window.hwnd)])["posted"]

    def press_close(self, window: CheckerWindow) -> None:
        assert self._call("chkdriver.exe", ["close", "--hwnd", str(window.hwnd)])["posted"]

    def checker_gone(self, timeout_ms: int = 20000) -> bool:
        return self._call("chkdriver.exe", ["gone", "--timeout", str(timeout_ms)])["gone"]


class CheckerKit:
    """An install folder holding the checker and the language library with its files."""

    def __init__(self, folder: Path):
        self.folder = Path(folder)
        self.folder.mkdir(parents=True, exist_ok=True)
        for name in ("QXChkErr.exe", "QXMlangW.dll", "QXMLANG.INI", "FENNICKMSG.MLG"):
            shutil.copy2(KIT / name, self.folder / name)

    @property
    def exe(self) -> Path:
        return self.folder / "QXChkErr.exe"

    def configure(self, url: Optional[str]) -> None:
        """Writes Fennick.ini with this URL; None removes the file."""
        ini = self.folder / "Fennick.ini"
        if url is None:
            ini.unlink(missing_ok=True)
        else:
            ini.write_text(f"[Main]\r\nDownloadString={url}\r\n", encoding="utf-8")


def run_checker(desktop: Desktop, kit: CheckerKit) -> CheckerWindow:
    """Starts the checker, waits for all its checks, closes it and returns what it showed."""
    pid = desktop.start(kit.exe)
    try:
        window = desktop.checker()
        assert window is not None, "the checker's window did not appear or its checks did not end"
        desktop.press_close(window)
        assert desktop.wait_exit(pid)["exited"], "the checker did not end on Close"
        return window
    except BaseException:
        desktop.kill(pid)
        raise


@contextlib.contextmanager
def package_state(name: str) -> Iterator[Path]:
    """The download folder's files of one package (removed before and after): yields the state
    file's path (target + "_tmp_sz")."""
    target = DOWNLOAD_FOLDER / name
    files = [target, Path(str(target) + "_tmp"), Path(str(target) + "_tmp_sz")]

    def clean():
        for path in files:
            path.unlink(missing_ok=True)

    clean()
    try:
        yield files[2]
    finally:
        clean()


def wait_until(condition, what: str, deadline: float = DEADLINE):
    end = time.monotonic() + deadline
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError(f"timed out waiting for {what}")
