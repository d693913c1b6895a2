"""Helpers of the checker's end-to-end suites (tests/e2e/test_checker_*.py), on top of the
suites' common fixtures (tests/e2e/conftest.py and fennick.py): reading and working the
checker's window through chkdriver.exe, and the checker's English texts.

The suites import this module from components/qxchkerr/testing."""
from __future__ import annotations

import json
import os
from pathlib import Path
from typing import Dict, Optional

from fennick import DESKTOP, Installation, WineEnvironment
from servers import polling

ROOT = Path(__file__).resolve().parents[3]
MESSAGE_FILE = ROOT / "components" / "qxmlang" / "FENNICKMSG.MLG"

# The checks in the order of the window's lines.
CHECKS = ["address", "host name", "connection", "server", "folder", "disk room"]
# Deadlines in milliseconds: generous, only a broken run ever reaches them. The checks are
# bounded to a few seconds each; Wine may take a while to start a program.
CHECKER_DEADLINE_MS = 60000


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


class Checkers:
    """chkdriver.exe on the test desktop. Only checkers started from the given install folder
    count, so that a checker of another suite on the same desktop is never taken for ours."""

    def __init__(self, wine: WineEnvironment):
        self.wine = wine
        self.exe = wine.tests_bin / "chkdriver.exe"
        if not self.exe.is_file():
            raise RuntimeError(f"missing {self.exe}")

    def _call(self, *args: str, timeout_ms: int) -> dict:
        rc, text = self.wine.run([self.exe, *args, "--desktop", DESKTOP], timeout=timeout_ms / 1000 + 60)
        for line in reversed(text.splitlines()):
            if line.strip().startswith("{"):
                return json.loads(line)
        raise AssertionError(f"chkdriver {' '.join(args)} answered no JSON (exit {rc}): {text!r}")

    def find(self, install: Installation, finished: bool = True,
             timeout_ms: int = CHECKER_DEADLINE_MS) -> Optional[CheckerWindow]:
        """The checker started from the install folder, once all its checks have run (or as it
        is, with finished=False); None when none appears before the deadline."""
        args = ["find", "--folder", self.wine.windows_path(install.folder), "--timeout", str(timeout_ms)]
        answer = self._call(*args, *(["--finished"] if finished else []), timeout_ms=timeout_ms)
        return CheckerWindow(answer) if answer.get("found") else None

    def gone(self, install: Installation, timeout_ms: int = CHECKER_DEADLINE_MS) -> bool:
        answer = self._call("gone", "--folder", self.wine.windows_path(install.folder), "--timeout",
                            str(timeout_ms), timeout_ms=timeout_ms)
        return bool(answer.get("gone"))

    def retry(self, window: CheckerWindow) -> None:
        assert self._call("retry", "--hwnd", str(window.hwnd), timeout_ms=10000).get("posted"), window

    def close(self, window: CheckerWindow) -> None:
        assert self._call("close", "--hwnd", str(window.hwnd), timeout_ms=10000).get("posted"), window


def wait_until(condition, what: str, deadline_seconds: float = CHECKER_DEADLINE_MS / 1000):
    """Polls condition until it gives a true value, which it returns; fails at the deadline."""
    return polling.wait_until(condition, what, deadline_seconds)


def screenshot_folder() -> Optional[Path]:
    """Where a suite may save screenshots for the documentation: FENNICK_SCREENSHOT_DIR, if set."""
    folder = os.environ.get("FENNICK_SCREENSHOT_DIR")
    return Path(folder) if folder else None
