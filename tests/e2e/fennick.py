"""Running Fennick.exe under Wine for the end-to-end tests.

WineEnvironment  the build, the Wine prefix and the display that scripts/test set up; runs Windows
                 programs with their output in a file (a pipe would hang on Wine's helpers).
Driver           fnkdriver.exe: starts programs on the test desktop and reads/works their windows.
Installation     a fresh folder in the prefix with copies of the kit's files and a Fennick.ini.
FennickProcess   one started Fennick.exe: its dialog, its message boxes, closing it, its exit.

All waits are deadlines inside fnkdriver.exe; nothing here sleeps a fixed time. Programs run on
a Wine virtual desktop named DESKTOP (1024 x 600), where Wine draws window frames and captions.
"""
from __future__ import annotations

import getpass
import json
import os
import shutil
import subprocess
import tempfile
import uuid
from pathlib import Path
from typing import Dict, Iterable, List, Optional

ROOT = Path(__file__).resolve().parents[2]
WINE = "/usr/lib/wine/wine64"
DESKTOP = "Fennick"
DESKTOP_SIZE = "1024x600"

# Wine takes the system language from the Unix locale of the process that starts a program.
LOCALES = {
    "zh-TW": "zh_TW.UTF-8",
    "zh-CN": "zh_CN.UTF-8",
    "en-US": "en_US.UTF-8",
    "ja-JP": "ja_JP.UTF-8",
    "ko-KR": "ko_KR.UTF-8",
    "de-DE": "de_DE.UTF-8",
    "fr-FR": "fr_FR.UTF-8",
}
DEFAULT_LANGUAGE = "en-US"

# Message box buttons (test by id: their labels follow Wine's locale).
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7

# Driver deadlines in milliseconds: generous, only a broken run ever reaches them.
WINDOW_DEADLINE_MS = 15000
EXIT_DEADLINE_MS = 15000


class WineEnvironment:
    """The build and the Wine prefix of this test run (from FENNICK_BUILD_DIR / FENNICK_BUILD_ROOT,
    WINEPREFIX and DISPLAY, which scripts/test and ctest provide)."""

    def __init__(self) -> None:
        build_root = Path(os.environ.get("FENNICK_BUILD_ROOT") or ROOT / "build")
        self.build_dir = Path(os.environ.get("FENNICK_BUILD_DIR") or build_root / "x86_64")
        self.prefix = Path(os.environ.get("WINEPREFIX") or build_root / "wineprefix")
        self.display = os.environ.get("DISPLAY", "")
        if not (self.build_dir / "kit" / "Fennick.exe").is_file():
            raise RuntimeError(f"no Fennick.exe in {self.build_dir}/kit: run the tests through scripts/test")
        if not self.display:
            raise RuntimeError("DISPLAY is not set: run the tests through scripts/test (it starts Xvfb)")
        self.kit_dir = self.build_dir / "kit"
        self.tests_bin = self.build_dir / "tests-bin"
        self.drive_c = self.prefix / "drive_c"
        self.log_dir = Path(tempfile.mkdtemp(prefix="fennick-e2e-"))

    # --- paths -------------------------------------------------------------------------------

    @property
    def documents(self) -> Path:
        """The user's Documents folder inside the prefix (a real folder, see scripts/wine-prefix)."""
        users = self.drive_c / "users"
        own = users / getpass.getuser() / "Documents"
        if own.is_dir():
            return own
        for candidate in sorted(users.glob("*/Documents")):
            if candidate.parent.name != "Public":
                return candidate
        return own

    @property
    def download_dir(self) -> Path:
        return self.documents / "Vantrel" / "Fennick"

    def windows_path(self, path: Path | str) -> str:
        """C:\\... for a path inside the prefix's drive C, Z:\\... otherwise."""
        path = Path(path).resolve()
        try:
            relative = path.relative_to(self.drive_c.resolve())
            return "C:\\" + str(relative).replace("/", "\\")
        except ValueError:
            return "Z:" + str(path).replace("/", "\\")

    # --- running programs --------------------------------------------------------------------

    def environment(self, language: Optional[str] = None, extra: Optional[Dict[str, str]] = None) -> Dict[str, str]:
        env = dict(os.environ)
        env.update({
            "WINEPREFIX": str(self.prefix),
            "WINEDEBUG": env.get("WINEDEBUG", "-all"),
            "WINEDLLOVERRIDES": env.get("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d"),
            "WINEARCH": "win64",
            "DISPLAY": self.display,
        })
        if language is not None:
            locale = LOCALES[language]
            env.update({"LANG": locale, "LC_ALL": locale})
        if extra:
            env.update(extra)
        return env

    def run(self, argv: Iterable[str], language: Optional[str] = None, extra_env: Optional[Dict[str, str]] = None,
            timeout: float = 120) -> tuple[int, str]:
        """Runs a Windows program (argv[0] a Unix path or a program Wine finds) to its end.
        Returns its exit code and its output, which goes through a file."""
        log = self.log_dir / f"run-{uuid.uuid4().hex}.log"
        with open(log, "wb") as out:
            result = subprocess.run([WINE, *map(str, argv)], stdout=out, stderr=subprocess.STDOUT,
                                    stdin=subprocess.DEVNULL, env=self.environment(language, extra_env),
                                    timeout=timeout)
        text = log.read_text(errors="replace")
        log.unlink()
        return result.returncode, text

    def prepare_desktop(self) -> None:
        """Gives the test desktop its virtual size (a desktop without one has no window frames)."""
        rc, text = self.run(["reg", "add", r"HKCU\Software\Wine\Explorer\Desktops", "/v", DESKTOP,
                             "/d", DESKTOP_SIZE, "/f"])
        if rc != 0:
            raise RuntimeError("could not configure the test desktop: " + text)

    def marker_env(self, folder: Path) -> Dict[str, str]:
        """The environment that makes marker_app.exe stand-ins write into folder."""
        return {"FENNICK_MARKER_DIR": self.windows_path(folder)}

    def screenshot(self, target: Path, rect: List[int]) -> None:
        """Saves the screen rectangle [left, top, right, bottom] as a PNG (ImageMagick's import)."""
        left, top, right, bottom = rect
        target.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["import", "-window", "root", "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
                        "+repage", str(target)], env={**os.environ, "DISPLAY": self.display},
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       check=True, timeout=60)


class DriverError(AssertionError):
    pass


class Driver:
    """fnkdriver.exe (tests/ui): every call answers one JSON object."""

    def __init__(self, wine: WineEnvironment) -> None:
        self.wine = wine
        self.exe = wine.tests_bin / "fnkdriver.exe"
        if not self.exe.is_file():
            raise RuntimeError(f"missing {self.exe}")

    def call(self, *args: str, language: Optional[str] = None, extra_env: Optional[Dict[str, str]] = None,
             timeout_ms: int = WINDOW_DEADLINE_MS) -> tuple[int, dict]:
        argv = [self.exe, *args, "--desktop", DESKTOP]
        if "--timeout" not in args:
            argv += ["--timeout", str(timeout_ms)]
        rc, text = self.wine.run(argv, language=language, extra_env=extra_env, timeout=timeout_ms / 1000 + 60)
        for line in reversed(text.splitlines()):
            line = line.strip()
            if line.startswith("{"):
                return rc, json.loads(line)
        raise DriverError(f"fnkdriver {' '.join(args)} answered no JSON (exit {rc}): {text!r}")

    def start(self, exe: str, language: str = DEFAULT_LANGUAGE, cwd: Optional[str] = None,
              env: Optional[Dict[str, str]] = None) -> int:
        args = ["start", exe]
        if cwd:
            args += ["--cwd", cwd]
        for name, value in (env or {}).items():
            args += ["--env", f"{name}={value}"]
        rc, answer = self.call(*args, language=language)
        if rc != 0 or "pid" not in answer:
            raise DriverError(f"could not start {exe}: {answer}")
        return int(answer["pid"])

    def dialog(self, pid: int, timeout_ms: int = WINDOW_DEADLINE_MS) -> Optional[dict]:
        rc, answer = self.call("dialog", "--pid", str(pid), timeout_ms=timeout_ms)
        return answer if rc == 0 else None

    def messagebox(self, pid: int, timeout_ms: int = WINDOW_DEADLINE_MS) -> Optional[dict]:
        rc, answer = self.call("messagebox", "--pid", str(pid), timeout_ms=timeout_ms)
        return answer if rc == 0 else None

    def messagebox_gone(self, pid: int, timeout_ms: int = WINDOW_DEADLINE_MS) -> bool:
        rc, _ = self.call("messagebox", "--pid", str(pid), "--gone", timeout_ms=timeout_ms)
        return rc == 0

    def ownerless_box(self, text: str, pid: int = 0, timeout_ms: int = WINDOW_DEADLINE_MS) -> Optional[dict]:
        rc, answer = self.call("ownerless-box", "--text", text, "--pid", str(pid), timeout_ms=timeout_ms)
        return answer if rc == 0 else None

    def answer_box(self, hwnd: int, button: int) -> None:
        rc, answer = self.call("answer-box", "--hwnd", str(hwnd), "--button", str(button))
        if rc != 0:
            raise DriverError(f"could not answer box {hwnd}: {answer}")

    def _post(self, *args: str) -> None:
        rc, answer = self.call(*args)
        if rc != 0:
            raise DriverError(f"fnkdriver {' '.join(args)}: {answer}")

    def close(self, pid: int) -> None:
        self._post("close", "--pid", str(pid))

    def key(self, pid: int, key: str) -> None:
        self._post("key", "--pid", str(pid), "--key", key)

    def minimize(self, pid: int) -> None:
        self._post("minimize", "--pid", str(pid))

    def answer(self, pid: int, button: int) -> None:
        self._post("answer", "--pid", str(pid), "--button", str(button))

    def wait_exit(self, pid: int, timeout_ms: int = EXIT_DEADLINE_MS) -> dict:
        _, answer = self.call("wait-exit", "--pid", str(pid), timeout_ms=timeout_ms)
        return answer

    def kill(self, pid: int) -> None:
        self.call("kill", "--pid", str(pid))

    def windows(self, pid: int) -> List[dict]:
        _, answer = self.call("windows", "--pid", str(pid))
        return answer.get("windows", [])


class FennickProcess:
    """One running Fennick.exe."""

    def __init__(self, driver: Driver, pid: int) -> None:
        self.driver = driver
        self.pid = pid

    def dialog(self, timeout_ms: int = WINDOW_DEADLINE_MS) -> dict:
        state = self.driver.dialog(self.pid, timeout_ms)
        if state is None:
            raise AssertionError(f"Fennick.exe (pid {self.pid}) showed no progress window")
        return state

    def request_close(self) -> dict:
        """Clicks the close box and returns the question it asks."""
        self.driver.close(self.pid)
        return self.question()

    def question(self) -> dict:
        box = self.driver.messagebox(self.pid)
        if box is None:
            raise AssertionError(f"Fennick.exe (pid {self.pid}) asked no question")
        return box

    def answer(self, button: int) -> None:
        self.driver.answer(self.pid, button)

    def wait_exit(self, timeout_ms: int = EXIT_DEADLINE_MS) -> dict:
        return self.driver.wait_exit(self.pid, timeout_ms)

    def is_running_after(self, timeout_ms: int) -> bool:
        """True when the process is still there when the deadline passes."""
        return not self.wait_exit(timeout_ms)["exited"]

    def close_confirmed(self) -> dict:
        """Close box, Yes; returns the exit report."""
        self.request_close()
        self.answer(IDYES)
        return self.wait_exit()


class Installation:
    """A fresh install folder inside the prefix: copies of the kit's files and a Fennick.ini."""

    def __init__(self, wine: WineEnvironment, driver: Driver, folder: Path) -> None:
        self.wine = wine
        self.driver = driver
        self.folder = folder
        self.processes: List[FennickProcess] = []
        folder.mkdir(parents=True, exist_ok=False)
        for item in wine.kit_dir.iterdir():
            if item.is_file():
                shutil.copy2(item, folder / item.name)

    @property
    def exe(self) -> Path:
        return self.folder / "Fennick.exe"

    def write_ini(self, url: str) -> None:
        """Fennick.ini with the URL; UTF-16 with a byte-order mark when it is not plain ASCII."""
        text = f"[Main]\r\nDownloadString={url}\r\n"
        data = text.encode("ascii") if text.isascii() else b"\xff\xfe" + text.encode("utf-16-le")
        (self.folder / "Fennick.ini").write_bytes(data)

    def remove(self, name: str) -> None:
        (self.folder / name).unlink()

    def put(self, name: str, source: Path) -> None:
        shutil.copy2(source, self.folder / name)

    def start(self, language: str = DEFAULT_LANGUAGE, env: Optional[Dict[str, str]] = None) -> FennickProcess:
        exe = self.wine.windows_path(self.exe)
        pid = self.driver.start(exe, language=language, cwd=self.wine.windows_path(self.folder), env=env)
        process = FennickProcess(self.driver, pid)
        self.processes.append(process)
        return process

    def clean_up(self) -> None:
        """Ends what a test left running and removes the folder."""
        for process in self.processes:
            if not process.wait_exit(0)["exited"]:
                self.driver.kill(process.pid)
        shutil.rmtree(self.folder, ignore_errors=True)


def language_texts(mlg: Path) -> Dict[int, Dict[int, str]]:
    """Texts of FENNICKMSG.MLG by language id and number, as the window shows them (a
    backslash-n becomes CR LF). Sections may name several ids: [0x0804, 0x1004]."""
    texts: Dict[int, Dict[int, str]] = {}
    current: List[int] = []
    for raw in mlg.read_text(encoding="utf-8-sig").splitlines():
        line = raw.strip()
        if not line or line.startswith(";"):
            continue
        if line.startswith("[") and line.endswith("]"):
            current = [int(part.strip(), 0) for part in line[1:-1].split(",")]
            for lang in current:
                texts.setdefault(lang, {})
            continue
        number, _, text = raw.partition("=")
        if number.strip().isdigit():
            for lang in current:
                texts[lang][int(number)] = text.replace("\\n", "\r\n")
    return texts
