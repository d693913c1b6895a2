# Running Fennick.exe and QXChkErr.exe under Wine for the end-to-end suites.
#
# WineEnvironment  the build, the prefix and the display scripts/test set up; runs Windows programs
#                  with their output in a file (a pipe would hang on Wine's helpers).
# Driver           fnkdriver.exe (tests/ui): starts programs on the test desktop, reads and works
#                  their windows, drives QXFtp.dll / QXHttp.dll by path, trusts the test CA.
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
from pathlib import Path
from typing import Dict, Iterable, List, Optional

from servers.polling import wait_until

ROOT = Path(__file__).resolve().parents[2]
WINE = "/usr/lib/wine/wine64"
DESKTOP, DESKTOP_SIZE = "Fennick", "1024x600"
# Wine takes the system language from the Unix locale of the process that starts a program.
LOCALES = {"zh-TW": "zh_TW.UTF-8", "zh-CN": "zh_CN.UTF-8", "en-US": "en_US.UTF-8", "ja-JP": "ja_JP.UTF-8",
           "ko-KR": "ko_KR.UTF-8", "de-DE": "de_DE.UTF-8", "fr-FR": "fr_FR.UTF-8", "C.UTF-8": "C.UTF-8"}
DEFAULT_LANGUAGE = "en-US"
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7  # message box buttons, by id: labels follow Wine's locale
WINDOW_DEADLINE_MS = EXIT_DEADLINE_MS = 15000  # generous: only a broken run reaches them
RUN_DEADLINE_MS = 60000


class WineEnvironment:
    def __init__(self) -> None:
        build_root = Path(os.environ.get("FENNICK_BUILD_ROOT") or ROOT / "build")
        self.build_root = build_root
        self.build_dir = Path(os.environ.get("FENNICK_BUILD_DIR") or build_root / "x86_64")
        self.prefix = Path(os.environ.get("WINEPREFIX") or build_root / "wineprefix")
        self.display = os.environ.get("DISPLAY", "")
        if not (self.build_dir / "kit" / "Fennick.exe").is_file() or not self.display:
            raise RuntimeError("no build or no DISPLAY: run the tests through scripts/test")
        self.kit_dir, self.tests_bin = self.build_dir / "kit", self.build_dir / "tests-bin"
        self.drive_c = self.prefix / "drive_c"
        self.log_dir = Path(tempfile.mkdtemp(prefix="fennick-e2e-"))

    @property
    def documents(self) -> Path:  # a real folder (scripts/wine-prefix)
        own = self.drive_c / "users" / getpass.getuser() / "Documents"
        others = [p for p in sorted((self.drive_c / "users").glob("*/Documents")) if p.parent.name != "Public"]
        return own if own.is_dir() or not others else others[0]

    @property
    def download_dir(self) -> Path:
        return self.documents / "Vantrel" / "Fennick"

    def windows_path(self, path: Path | str) -> str:
        path = Path(path).resolve()
        try:
            return "C:\\" + str(path.relative_to(self.drive_c.resolve())).replace("/", "\\")
        except ValueError:
            return "Z:" + str(path).replace("/", "\\")

    def environment(self, language: Optional[str] = None, extra: Optional[Dict[str, str]] = None) -> Dict[str, str]:
        env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEARCH="win64", DISPLAY=self.display)
        env.setdefault("WINEDEBUG", "-all")
        env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d")
        if language is not None:
            env.update(LANG=LOCALES[language], LC_ALL=LOCALES[language])
        return {**env, **(extra or {})}

    def run(self, argv: Iterable[str], language: Optional[str] = None, extra_env: Optional[Dict[str, str]] = None,
            timeout: float = 120) -> tuple[int, str]:
        # Runs a Windows program to its end; returns its exit code and its output.
        log = self.log_dir / f"run-{uuid.uuid4().hex}.log"
        with open(log, "wb") as out:
            rc = subprocess.run([WINE, *map(str, argv)], stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                env=self.environment(language, extra_env), timeout=timeout).returncode
        text = log.read_text(errors="replace")
        log.unlink()
        return rc, text

    def prepare_desktop(self) -> None:
        # A named desktop without a size has no window frames.
        rc, text = self.run(["reg", "add", r"HKCU\Software\Wine\Explorer\Desktops", "/v", DESKTOP, "/d", DESKTOP_SIZE, "/f"])
        assert rc == 0, text

    def marker_env(self, folder: Path) -> Dict[str, str]:
        return {"FENNICK_MARKER_DIR": self.windows_path(folder)}

    def screenshot(self, target: Path, rect: List[int]) -> None:
        left, top, right, bottom = rect
        target.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["import", "-window", "root", "-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage",
                        str(target)], env={**os.environ, "DISPLAY": self.display}, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=60)


class DriverError(AssertionError):
    pass


class Driver:
    def __init__(self, wine: WineEnvironment) -> None:
        self.wine, self.exe = wine, wine.tests_bin / "fnkdriver.exe"

    def call(self, *args: str, language: Optional[str] = None, extra_env: Optional[Dict[str, str]] = None,
             timeout_ms: int = WINDOW_DEADLINE_MS) -> tuple[int, dict]:
        argv = [self.exe, *args, "--desktop", DESKTOP, "--timeout", str(timeout_ms)]
        rc, text = self.wine.run(argv, language=language, extra_env=extra_env, timeout=timeout_ms / 1000 + 60)
        lines = [line for line in text.splitlines() if line.strip().startswith("{")]
        if not lines:
            raise DriverError(f"fnkdriver {' '.join(args)} answered no JSON (exit {rc}): {text!r}")
        return rc, json.loads(lines[-1])

    def _found(self, *args: str, timeout_ms: int = WINDOW_DEADLINE_MS) -> Optional[dict]:
        rc, answer = self.call(*args, timeout_ms=timeout_ms)
        return answer if rc == 0 else None

    def _post(self, *args: str) -> None:
        if self._found(*args) is None:
            raise DriverError(f"fnkdriver {' '.join(args)} failed")

    def start(self, exe: str, language: str = DEFAULT_LANGUAGE, cwd: Optional[str] = None,
              env: Optional[Dict[str, str]] = None) -> int:
        args = ["start", exe, *(["--cwd", cwd] if cwd else [])]
        for name, value in (env or {}).items():
            args += ["--env", f"{name}={value}"]
        rc, answer = self.call(*args, language=language)
        if rc != 0 or "pid" not in answer:
            raise DriverError(f"could not start {exe}: {answer}")
        return int(answer["pid"])

    def dialog(self, pid: int, timeout_ms: int = WINDOW_DEADLINE_MS) -> Optional[dict]:
        return self._found("dialog", "--pid", str(pid), timeout_ms=timeout_ms)

    def messagebox(self, pid: int, timeout_ms: int = WINDOW_DEADLINE_MS) -> Optional[dict]:
        return self._found("messagebox", "--pid", str(pid), timeout_ms=timeout_ms)

    def messagebox_gone(self, pid: int, timeout_ms: int = WINDOW_DEADLINE_MS) -> bool:
        return self._found("messagebox", "--pid", str(pid), "--gone", timeout_ms=timeout_ms) is not None

    def ownerless_box(self, text: str, pid: int = 0, timeout_ms: int = WINDOW_DEADLINE_MS) -> Optional[dict]:
        return self._found("ownerless-box", "--text", text, "--pid", str(pid), timeout_ms=timeout_ms)

    def answer_box(self, hwnd: int, button: int) -> None:
        self._post("answer-box", "--hwnd", str(hwnd), "--button", str(button))

    def close(self, pid: int) -> None:
        self._post("close", "--pid", str(pid))

    def key(self, pid: int, key: str) -> None:
        self._post("key", "--pid", str(pid), "--key", key)

    def answer(self, pid: int, button: int) -> None:
        self._post("answer", "--pid", str(pid), "--button", str(button))

    def wait_exit(self, pid: int, timeout_ms: int = EXIT_DEADLINE_MS) -> dict:
        return self.call("wait-exit", "--pid", str(pid), timeout_ms=timeout_ms)[1]

    def kill(self, pid: int) -> None:
        self.call("kill", "--pid", str(pid))

    def windows(self, pid: int) -> List[dict]:
        return self.call("windows", "--pid", str(pid))[1].get("windows", [])

    def checker(self, folder: Path, finished: bool = True, timeout_ms: int = RUN_DEADLINE_MS) -> Optional[dict]:
        # The checker window started from folder (once its checks have run); None if none came.
        return self._found("checker", "--folder", self.wine.windows_path(folder), *(["--finished"] if finished else []),
                           timeout_ms=timeout_ms)

    def press(self, hwnd: int, button: int) -> None:
        self._post("press", "--hwnd", str(hwnd), "--button", str(button))

    def checker_gone(self, folder: Path) -> bool:
        return self._found("checker", "--folder", self.wine.windows_path(folder), "--gone", timeout_ms=RUN_DEADLINE_MS) is not None


class FennickProcess:
    def __init__(self, driver: Driver, pid: int) -> None:
        self.driver, self.pid = driver, pid

    def dialog(self, timeout_ms: int = WINDOW_DEADLINE_MS) -> dict:
        state = self.driver.dialog(self.pid, timeout_ms)
        assert state is not None, f"Fennick.exe (pid {self.pid}) showed no progress window"
        return state

    def request_close(self) -> dict:
        # Clicks the close box and returns the question it asks.
        self.driver.close(self.pid)
        return self.question()

    def question(self) -> dict:
        box = self.driver.messagebox(self.pid)
        assert box is not None, f"Fennick.exe (pid {self.pid}) asked no question"
        return box

    def answer(self, button: int) -> None:
        self.driver.answer(self.pid, button)

    def wait_exit(self, timeout_ms: int = EXIT_DEADLINE_MS) -> dict:
        return self.driver.wait_exit(self.pid, timeout_ms)

    def is_running_after(self, timeout_ms: int) -> bool:
        return not self.wait_exit(timeout_ms)["exited"]

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

    @property
    def exe(self) -> Path:
        return self.folder / "Fennick.exe"

    def write_ini(self, url: str, pin: Optional[str] = None) -> None:
        # Fennick.ini with the URL (and the package's Sha256); UTF-16 with a byte-order mark when not plain ASCII.
        text = f"[Main]\r\nDownloadString={url}\r\n" + (f"Sha256={pin}\r\n" if pin is not None else "")
        (self.folder / "Fennick.ini").write_bytes(text.encode("ascii") if text.isascii() else b"\xff\xfe" + text.encode("utf-16-le"))

    def remove(self, name: str) -> None:
        (self.folder / name).unlink()

    def put(self, name: str, source: Path) -> None:
        shutil.copy2(source, self.folder / name)

    def start(self, language: str = DEFAULT_LANGUAGE, env: Optional[Dict[str, str]] = None, exe: str = "Fennick.exe") -> FennickProcess:
        pid = self.driver.start(self.wine.windows_path(self.folder / exe), language=language,
                                cwd=self.wine.windows_path(self.folder), env=env)
        self.processes.append(FennickProcess(self.driver, pid))
        return self.processes[-1]

    def clean_up(self) -> None:
        for process in self.processes:
            if not process.wait_exit(0)["exited"]:
                self.driver.kill(process.pid)
        shutil.rmtree(self.folder, ignore_errors=True)


def language_texts(mlg: Path) -> Dict[int, Dict[int, str]]:
    # Texts of FENNICKMSG.MLG by language id and number as the window shows them (\n becomes CR LF);
    # a section may name several ids: [0x0804, 0x1004].
    texts: Dict[int, Dict[int, str]] = {}
    current: List[int] = []
    for raw in mlg.read_text(encoding="utf-8-sig").splitlines():
        line = raw.strip()
        if line.startswith("[") and line.endswith("]"):
            current = [int(part, 0) for part in line[1:-1].split(",")]
            for lang in current:
                texts.setdefault(lang, {})
        elif line and not line.startswith(";") and raw.partition("=")[0].strip().isdigit():
            for lang in current:
                texts[lang][int(raw.partition("=")[0])] = raw.partition("=")[2].replace("\\n", "\r\n")
    return texts


def package_bytes(program: Path, size: int, seed: int) -> bytes:
    # A runnable package of exactly size bytes: the program padded with an overlay of its seed's own
    # bytes (it runs the same; two seeds never look alike, so a splice shows).
    data, block = bytearray(program.read_bytes()), hashlib.sha256(str(seed).encode()).digest()
    while len(data) < size:
        block = hashlib.sha256(block).digest()
        data += block * 64
    return bytes(data[:size])


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
            install.put("QXChkErr.exe", wine.tests_bin / "marker_app.exe")

    def package(self, size: int, seed: int) -> bytes:
        return package_bytes(self.wine.tests_bin / "marker_app.exe", size, seed)

    def start(self, url: str, language: str = DEFAULT_LANGUAGE, pin: Optional[str] = None) -> FennickProcess:
        self.install.write_ini(url, pin)
        return self.install.start(language=language, env=self.wine.marker_env(self.marker_dir))

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
