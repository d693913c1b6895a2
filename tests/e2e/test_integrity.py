"""What may be started: the package's SHA-256 pin from Fennick.ini on every path that starts a
file (fresh, resumed, already complete), a body without length only when pinned, and a file that
Windows refuses to start reported to the user instead of vanishing."""
from __future__ import annotations

import os
import uuid

import pytest

from fennick import IDOK, language_texts
from servers.ftp import fault_ftp, vsftpd
from servers.http import ScriptedHttpServer
from test_ftp_download import (EN_US, RUN_DEADLINE_MS, SIZE, CUT, Download, assert_counted_failure,  # noqa: F401
                               assert_success, package_bytes, publish, root, runner, sha256)

WRONG = "0" * 64


@pytest.fixture
def name() -> str:
    return f"fnk-pin-{uuid.uuid4().hex[:8]}.exe"


def write_ini(runner, url: str, pin: str | None) -> None:
    lines = f"[Main]\r\nDownloadString={url}\r\n" + (f"Sha256={pin}\r\n" if pin is not None else "")
    (runner.install.folder / "Fennick.ini").write_bytes(lines.encode("ascii"))


def start(runner, url: str, pin: str | None):
    write_ini(runner, url, pin)
    return runner.install.start(env=runner.wine.marker_env(runner.marker_dir))


def run(runner, url: str, pin: str | None) -> None:
    assert start(runner, url, pin).wait_exit(RUN_DEADLINE_MS)["exited"]


def test_ftp_pin_matches_in_capitals_and_a_stale_complete_file_is_fetched_again_uncounted(
        wine, runner, root, name, download_dir):
    old = package_bytes(wine.tests_bin / "marker_app.exe", SIZE, 11)
    new = package_bytes(wine.tests_bin / "marker_app.exe", SIZE, 12)
    download = Download(download_dir, name)
    with vsftpd(root) as server:
        publish(root, name, old)
        run(runner, server.url(f"/pub/{name}"), sha256(old).upper())
        assert_success(runner, download, old)

        # Another release of the same size: the complete file on disk is another one now.
        publish(root, name, new)
        download.set_counter("2")
        runner.forget_markers()
        run(runner, server.url(f"/pub/{name}"), sha256(new))
        assert_success(runner, download, new)
        assert sum(c.startswith("RETR") for c in server.commands()) == 2


def test_resumed_download_that_differs_is_deleted_counted_and_then_fetched_whole(
        wine, runner, root, name, download_dir):
    data = package_bytes(wine.tests_bin / "marker_app.exe", SIZE, 13)
    publish(root, name, data)
    download = Download(download_dir, name)
    with fault_ftp(root, retr_fault={"kind": "close", "after": CUT, "times": 1}) as server:
        run(runner, server.url(f"/pub/{name}"), WRONG)
        assert_counted_failure(runner, download, "1")
        runner.forget_markers()
        run(runner, server.url(f"/pub/{name}"), WRONG)  # resumed, whole, and still not the pinned file
        assert_counted_failure(runner, download, "2")
        assert not download.partial.exists()
        assert download.state_values() == {"RetryCount": "2"}
        runner.forget_markers()
        run(runner, server.url(f"/pub/{name}"), sha256(data))
        assert_success(runner, download, data)
        assert server.wait_for_transfers(3)[-1].bytes == SIZE


@pytest.mark.parametrize("chunked, pin, started", [
    (False, "malformed", False),
    (True, None, False),
    (True, "right", True),
    (True, "wrong", False),
])
def test_http_pin_decides_what_is_taken(wine, runner, name, download_dir, chunked, pin, started):
    data = package_bytes(wine.tests_bin / "marker_app.exe", SIZE, 14)
    value = {None: None, "malformed": "abc" + "0" * 61 + "g", "right": sha256(data), "wrong": WRONG}[pin]
    download = Download(download_dir, name)
    with ScriptedHttpServer() as server:
        server.set_file(f"/{name}", data, chunked=chunked)
        run(runner, server.url(f"/{name}"), value)
        if started:
            assert_success(runner, download, data)
        else:
            assert_counted_failure(runner, download, "1")
            assert not download.partial.exists() or pin is None
        # A malformed pin fetches nothing at all.
        assert bool(server.requests_for(f"/{name}")) == (pin != "malformed")


def test_file_that_windows_cannot_start_is_reported_and_fetched_again_next_time(runner, name, download_dir):
    download = Download(download_dir, name)
    with ScriptedHttpServer() as server:
        server.set_file(f"/{name}", os.urandom(SIZE))
        process = start(runner, server.url(f"/{name}"), None)
        box = process.question()
        process.answer(IDOK)
        assert process.wait_exit(RUN_DEADLINE_MS)["exited"]
    texts = language_texts(runner.install.folder / "FENNICKMSG.MLG")[EN_US]
    assert box["caption"] == texts[1] and box["buttons"] == [IDOK], box
    # Our sentence, then the system's reason.
    assert box["text"].startswith(texts[5] + "\r\n") and len(box["text"]) > len(texts[5]) + 2, box
    assert not download.target.exists() and not download.state.exists()
    assert not runner.marker("QXChkErr.exe").exists()
