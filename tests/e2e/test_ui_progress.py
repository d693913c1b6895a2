"""The progress window during a real HTTP download that a local server holds at half way: the
bar, percentage and megabytes in both system languages (saved as screenshots), and a close that
the user confirms mid-transfer: the worker is stopped, nothing is counted, nothing is started.

Screenshots go to FENNICK_SCREENSHOT_DIR when set (docs/ for the README), else <build>/screenshots.
"""
import os
import time
from pathlib import Path

import pytest

from fennick import IDYES
from servers.http import Fault, ScriptedHttpServer

MIB = 1024 * 1024
PACKAGE = "/pkg/FennickSetup.exe"
SIZE = 24 * MIB
HOLD_AT = SIZE // 2
POLL_DEADLINE = 60  # seconds; only a broken run reaches it


def screenshot_dir(wine) -> Path:
    return Path(os.environ.get("FENNICK_SCREENSHOT_DIR") or wine.build_dir / "screenshots")


def wait_for_progress(process, minimum_percent: int) -> dict:
    """Polls the window until its percentage reaches minimum_percent, the bar shows the same value
    (one reading samples them one after the other) and the sizes are shown."""
    deadline = time.monotonic() + POLL_DEADLINE
    state = process.dialog()
    while time.monotonic() < deadline:
        percent = state["controls"]["1003"]["text"]
        if (percent.endswith("%") and int(percent[:-1]) >= minimum_percent
                and state["progress"] == int(percent[:-1]) and state["controls"]["1002"]["text"]):
            return state
        state = process.dialog()
    raise AssertionError(f"no steady progress shown: {state}")


def read_state_file(path: Path) -> str:
    data = path.read_bytes()
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le")
    return data.decode("latin-1")


@pytest.mark.parametrize("language", ["zh-TW", "en-US"])
def test_progress_is_shown_and_a_confirmed_close_stops_the_download(wine, install, driver, download_dir,
                                                                   marker_dir, language):
    install.put("QXChkErr.exe", wine.tests_bin / "marker_app.exe")
    with ScriptedHttpServer() as server:
        server.set_file(PACKAGE, os.urandom(SIZE))
        hold = server.add_fault(PACKAGE, Fault(hold_after=HOLD_AT))
        install.write_ini(server.url(PACKAGE))
        process = install.start(language=language, env=wine.marker_env(marker_dir))
        assert hold.reached.wait(POLL_DEADLINE), "the download never reached the server's hold"

        state = wait_for_progress(process, 45)
        assert state["controls"]["1002"]["text"].endswith("MB / 24.0MB")
        wine.screenshot(screenshot_dir(wine) / f"window-{language}.png", state["rect"])

        process.request_close()
        process.answer(IDYES)
        # Only once the question is gone is the stop flag set; then let data flow again, so the
        # worker's next progress report is answered with "stop".
        assert driver.messagebox_gone(process.pid)
        hold.release.set()
        assert process.wait_exit()["exited"]

    state_file = download_dir / "FennickSetup.exe_tmp_sz"
    if state_file.exists():
        assert "RetryCount" not in read_state_file(state_file)
    assert not (download_dir / "FennickSetup.exe").exists()
    assert list(marker_dir.iterdir()) == []
