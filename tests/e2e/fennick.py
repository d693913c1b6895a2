# Running Fennick.exe and QXChkErr.exe under Wine for the end-to-end suites.
#
# WineEnvironment  the build, the prefix and the display scripts/test set up; runs Windows programs
#                  with their output in a file (a pipe would hang on Wine's helpers).
# Driver           fnkdriver.exe (tests/ui): starts programs on the test desktop, finds, reads and
#                  works their windows.
# LibraryCall      fnkdriver's `lib`: QXFtp.dll / QXHttp.dll driven by path, callbacks logged live.
# Installation     a fresh folder in the prefix with copies of the kit's files and a Fennick.ini.
# FennickProcess   one started Fennick.exe: its dialog, its message boxes, closing it, its exit.
# Runner, Download a package run with stand-ins (marker_app.exe) and the files it leaves behind.
#
# All waits are deadlines inside fnkdriver.exe or wait_until; nothing sleeps a fixed time. Programs
# run on a Wine virtual desktop named DESKTOP (1024 x 600), where Wine draws frames and captions.
from __future__ import annotations

import configparser
import getpass
import hashlib
import json
import os
import shutil
import subprocess
import tempfile
import uuid
import warnings
from pathlib import Path
from typing import Dict, Iterable, List, Optional

from servers.polling import wait_until

ROOT = Path(__file__).resolve().parents[2]
WINE = "/usr/lib/wine/wine64"
DESKTOP, DESKTOP_SIZE = "Fennick", "1024x600"
DEFAULT_LANGUAGE = "en-US"
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7  # message box buttons, by id: labels follow Wine's locale
WINDOW_DEADLINE_MS = EXIT_DEADLINE_MS = 15000  # generous: only a broken run reaches them
RUN_DEADLINE_MS = 60000


class WineEnvironment:
    def __init__(self) -> None:
        self.build_root = Path(os.environ.get("FENNICK_BUILD_ROOT") or ROOT / "build")
        self.build_dir = Path(os.environ.get("FENNICK_BUILD_DIR") or self.build_root / "x86_64")
        self.prefix = Path(os.environ.get("WINEPREFIX") or self.build_root / "wineprefix")
        self.display = os.environ.get("DISPLAY", "")
        if not (self.build_dir / "kit" / "Fennick.exe").is_file() or not self.display:
            raise RuntimeError("no build or no DISPLAY: run the tests through scripts/test")
        self.kit_dir, self.tests_bin = self.build_dir / "kit", self.build_dir / "tests-bin"
        self.drive_c = self.prefix / "drive_c"
        self.documents = self.drive_c / "users" / getpass.getuser() / "Documents"  # a real folder (scripts/wine-prefix)
        self.download_dir = self.documents / "Vantrel" / "Fennick"
        self.log_dir = Path(tempfile.mkdtemp(prefix="fennick-e2e-"))

    def windows_path(self, path: Path | str) -> str:
        path = Path(path).resolve()
        try:
            return "C:\\" + str(path.relative_to(self.drive_c.resolve())).replace("/", "\\")
        except ValueError:
            return "Z:" + str(path).replace("/", "\\")

    def environment(self, language: Optional[str] = None) -> Dict[str, str]:
        env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEARCH="win64", DISPLAY=self.display)
        env.setdefault("WINEDEBUG", "-all")
        env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d")
        if language is not None:  # Wine takes the system language from the Unix locale of the starting process
            locale = language if language == "C.UTF-8" else language.replace("-", "_") + ".UTF-8"
            env.update(LANG=locale, LC_ALL=locale)
        return env

    def start(self, argv: Iterable[str], language: Optional[str] = None) -> subprocess.Popen:
        # A Windows program; its output goes to a file (a pipe would hang on Wine's helpers).
        log = self.log_dir / f"run-{uuid.uuid4().hex}.log"
        with open(log, "wb") as out:
            process = subprocess.Popen([WINE, *map(str, argv)], stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                       env=self.environment(language))
        process.log = log
        return process

    def run(self, argv: Iterable[str], language: Optional[str] = None, timeout: float = 120) -> tuple[int, str]:
        # Runs a Windows program to its end; returns its exit code and its output.
        process = self.start(argv, language)
        return process.wait(timeout), process.log.read_text(errors="replace")

    def screenshot(self, target: Path, rect: List[int]) -> None:
        left, top, right, bottom = rect
        target.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["import", "-window", "root", "-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage",
                        str(target)], env={**os.environ, "DISPLAY": self.display}, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=60)


class Driver:
    def __init__(self, wine: WineEnvironment) -> None:
        self.wine, self.exe = wine, wine.tests_bin / "fnkdriver.exe"
        # A named desktop without a size has no window frames.
        assert wine.run(["reg", "add", r"HKCU\Software\Wine\Explorer\Desktops", "/v", DESKTOP, "/d", DESKTOP_SIZE, "/f"])[0] == 0

    def call(self, command: str, *args: str, language: Optional[str] = None, timeout_ms: int = WINDOW_DEADLINE_MS,
             **options) -> tuple[int, dict]:
        # fnkdriver COMMAND ARGS --name value... (True: a bare flag); its exit code and its JSON answer.
        for name, value in options.items():
            args += (f"--{name}",) if value is True else (f"--{name}", str(value))
        argv = [self.exe, command, *args, "--desktop", DESKTOP, "--timeout", str(timeout_ms)]
        rc, text = self.wine.run(argv, language=language, timeout=timeout_ms / 1000 + 60)
        if rc != 0 and not text.strip():
            # Twice in many runs under load, a driver process ended with exit 1 and no output at all.
            # The driver's own code answers on every path, so it never ran: asked once more.
            warnings.warn(f"fnkdriver {command} ended silently (exit {rc}); asked again")
            rc, text = self.wine.run(argv, language=language, timeout=timeout_ms / 1000 + 60)
        lines = [line for line in text.splitlines() if line.strip().startswith("{")]
        assert lines, f"fnkdriver {command} {args} answered no JSON (exit {rc}): {text!r}"
        return rc, json.loads(lines[-1])

    def find(self, what: str, timeout_ms: int = WINDOW_DEADLINE_MS, **options) -> Optional[dict]:
        # dialog/box/checker (see fnkdriver.cpp): the window once there, else None; with gone=True,
        # a true value once it has gone.
        rc, answer = self.call(what, timeout_ms=timeout_ms, **options)
        return answer if rc == 0 else None

    def do(self, what: str, **options) -> None:
        rc, answer = self.call(what, **options)
        assert rc == 0, f"fnkdriver {what} {options} failed: {answer}"

    def checker(self, folder: Path, finished: bool = True, timeout_ms: int = RUN_DEADLINE_MS, **options) -> Optional[dict]:
        # The checker window started from folder (once its checks have run); None if none came.
        return self.find("checker", folder=self.wine.windows_path(folder), finished=finished or None, timeout_ms=timeout_ms,
                         **options)


class LibraryCall:
    # QXFtp.dll or QXHttp.dll loaded by fnkdriver the way the installer loads it; operations as in
    # fnkdriver.cpp ("get|/pub/setup.exe|C:\\x.bin|1"). records(): one dict per operation, with the
    # callbacks it got as "values".

    def __init__(self, wine: WineEnvironment, library: str, report: Path) -> None:
        self.wine, self.library, self.report = wine, library, report

    def start(self, *operations: str) -> subprocess.Popen:
        self.report.unlink(missing_ok=True)
        return self.wine.start([self.wine.tests_bin / "fnkdriver.exe", "lib", self.wine.windows_path(self.report),
                                self.wine.windows_path(self.wine.kit_dir / self.library), *operations])

    def run(self, *operations: str) -> List[dict]:
        assert self.start(*operations).wait(180) == 0
        return self.records()

    def callbacks(self) -> List[int]:
        return [item["cb"] for item in self._items() if "cb" in item]

    def records(self) -> List[dict]:
        records, values = [], []
        for item in self._items():
            if "cb" in item:
                values.append(item["cb"])
            else:
                records.append(dict(item, values=values))
                values = []
        return records

    def _items(self) -> List[dict]:
        return [json.loads(line) for line in (self.report.read_text().splitlines() if self.report.exists() else [])]


class FennickProcess:
    def __init__(self, driver: Driver, pid: int) -> None:
        self.driver, self.pid = driver, pid

    def dialog(self, timeout_ms: int = WINDOW_DEADLINE_MS) -> dict:
        state = self.driver.find("dialog", pid=self.pid, timeout_ms=timeout_ms)
        assert state is not None, f"Fennick.exe (pid {self.pid}) showed no progress window"
        return state

    def request_close(self) -> dict:
        # Clicks the close box and returns the question it asks.
        self.driver.do("close", pid=self.pid)
        return self.question()

    def question(self) -> dict:
        box = self.driver.find("box", pid=self.pid)
        assert box is not None, f"Fennick.exe (pid {self.pid}) asked no question"
        return box

    def answer(self, button: int) -> None:
        self.driver.do("press", pid=self.pid, button=button)

    def wait_exit(self, timeout_ms: int = EXIT_DEADLINE_MS) -> dict:
        return self.driver.call("wait-exit", pid=self.pid, timeout_ms=timeout_ms)[1]

    def close_confirmed(self) -> dict:
        # Close box, Yes; returns the exit report.
        self.request_close()
        self.answer(IDYES)
        return self.wait_exit()


class Installation:
    def __init__(self, wine: WineEnvironment, driver: Driver, folder: Path) -> None:
        self.wine, self.driver, self.folder = wine, driver, folder
        self.processes: List[FennickProcess] = []
        folder.mkdir(parents=True, exist_ok=False)
        for item in wine.kit_dir.iterdir():
            if item.is_file():
                shutil.copy2(item, folder / item.name)

    def write_ini(self, url: str, pin: Optional[str] = None) -> None:
        # Fennick.ini with the URL (and the package's Sha256); UTF-16 with a byte-order mark when not plain ASCII.
        text = f"[Main]\r\nDownloadString={url}\r\n" + (f"Sha256={pin}\r\n" if pin is not None else "")
        (self.folder / "Fennick.ini").write_bytes(text.encode("ascii") if text.isascii() else b"\xff\xfe" + text.encode("utf-16-le"))

    def start(self, language: str = DEFAULT_LANGUAGE, env: Optional[Dict[str, str]] = None, exe: str = "Fennick.exe",
              cwd: Optional[Path] = None) -> FennickProcess:
        args = [self.wine.windows_path(self.folder / exe), "--cwd", self.wine.windows_path(cwd or self.folder)]
        for name, value in (env or {}).items():
            args += ["--env", f"{name}={value}"]
        rc, answer = self.driver.call("start", *args, language=language)
        assert rc == 0 and "pid" in answer, f"could not start {exe}: {answer}"
        self.processes.append(FennickProcess(self.driver, int(answer["pid"])))
        return self.processes[-1]

    def clean_up(self) -> None:
        for process in self.processes:
            self.driver.call("wait-exit", pid=process.pid, timeout_ms=0, kill=True)
        shutil.rmtree(self.folder, ignore_errors=True)


def language_texts(mlg: Path) -> Dict[int, Dict[int, str]]:
    # Texts of FENNICKMSG.MLG by language id and number as the window shows them (\n becomes CR LF);
    # a section may name several ids: [0x0804, 0x1004].
    texts: Dict[int, Dict[int, str]] = {}
    for raw in mlg.read_text(encoding="utf-8-sig").splitlines():
        key, equals, value = raw.partition("=")
        if raw.strip().startswith("["):
            current = [texts.setdefault(int(part, 0), {}) for part in raw.strip()[1:-1].split(",")]
        elif equals and key.strip().isdigit():
            for section in current:
                section[int(key)] = value.replace("\\n", "\r\n")
    return texts


def state_values(state: Path, section: str = "Main") -> Dict[str, str]:
    # A state file's section (UTF-16 or 8-bit).
    if not state.exists():
        return {}
    raw, parser = state.read_bytes(), configparser.RawConfigParser()
    parser.optionxform = str
    parser.read_string(raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("latin-1"))
    return dict(parser.items(section)) if parser.has_section(section) else {}


class Download:
    # The three files of one package in a download folder.

    def __init__(self, folder: Path, name: str):
        self.target, self.partial, self.state = folder / name, folder / (name + "_tmp"), folder / (name + "_tmp_sz")

    def counter(self) -> Optional[str]:
        return state_values(self.state).get("RetryCount")

    def set_counter(self, value: str) -> None:
        values = {**state_values(self.state), "RetryCount": value}
        self.state.parent.mkdir(parents=True, exist_ok=True)
        self.state.write_bytes(("[Main]\r\n" + "".join(f"{k}={v}\r\n" for k, v in values.items())).encode("latin-1"))


class Runner:
    # One installation whose package and checker are marker_app.exe stand-ins writing into marker_dir.

    def __init__(self, wine: WineEnvironment, install: Installation, marker_dir: Path, real_checker: bool = False):
        self.wine, self.install, self.marker_dir = wine, install, marker_dir
        if not real_checker:
            shutil.copy2(wine.tests_bin / "marker_app.exe", install.folder / "QXChkErr.exe")

    def package(self, size: int, seed: int) -> bytes:
        # A runnable package of exactly size bytes: the stand-in padded with an overlay of its seed's
        # own bytes (it runs the same; two seeds never look alike, so a splice shows).
        data, block = bytearray((self.wine.tests_bin / "marker_app.exe").read_bytes()), hashlib.sha256(str(seed).encode()).digest()
        while len(data) < size:
            block = hashlib.sha256(block).digest()
            data += block * 64
        return bytes(data[:size])

    def start(self, url: str, language: str = DEFAULT_LANGUAGE, pin: Optional[str] = None) -> FennickProcess:
        self.install.write_ini(url, pin)
        return self.install.start(language=language, env={"FENNICK_MARKER_DIR": self.wine.windows_path(self.marker_dir)})

    def run(self, url: str, language: str = DEFAULT_LANGUAGE, pin: Optional[str] = None) -> None:
        # A run that ends by itself (success, or a failure handed to the checker).
        assert self.start(url, language, pin).wait_exit(RUN_DEADLINE_MS)["exited"]

    def marker(self, name: str) -> Path:
        return self.marker_dir / (name + ".started")

    def forget_markers(self) -> None:
        for marker in self.marker_dir.glob("*.started"):
            marker.unlink()

    def wait_started(self, name: str) -> str:
        # The marker's text once the stand-in has written it (it runs on after Fennick.exe).
        marker = self.marker(name)
        wait_until(lambda: marker.exists() and marker.stat().st_size > 0, f"{name} started", 15)
        return marker.read_text(encoding="utf-8")

    def assert_success(self, download: Download, data: bytes) -> None:
        assert hashlib.sha256(download.target.read_bytes()).digest() == hashlib.sha256(data).digest()
        assert download.counter() == "0" and not download.partial.exists()
        started = self.wait_started(download.target.name)
        assert f"cwd={self.wine.windows_path(download.target.parent)}" in started.splitlines(), started
        assert not self.marker("QXChkErr.exe").exists()

    def assert_counted_failure(self, download: Download, counter: str) -> None:
        assert download.counter() == counter
        self.wait_started("QXChkErr.exe")
        assert not download.target.exists() and not self.marker(download.target.name).exists()
