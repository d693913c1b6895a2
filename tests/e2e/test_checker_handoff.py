"""Fennick.exe and QXChkErr.exe together under Wine: a failed download starts the checker,
which shows the failing check; Retry starts the installer again, which continues the partial
FTP file once the server is back; four failures in a row show the checker, the fifth the
installer's error message and no checker."""
from __future__ import annotations

import configparser
import hashlib
import socket
import sys
import threading
import uuid
from pathlib import Path
from typing import List, Optional

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "components" / "qxchkerr" / "testing"))
from checker_e2e import Checkers, english_texts, screenshot_folder, wait_until  # noqa: E402
from fennick import IDOK, language_texts  # noqa: E402
from pyftpdlib.authorizers import DummyAuthorizer  # noqa: E402
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler  # noqa: E402
from pyftpdlib.ioloop import IOLoop  # noqa: E402
from pyftpdlib.servers import FTPServer  # noqa: E402

TEXT = english_texts()
PASSED, FAILED = TEXT[112], TEXT[113]
KIB = 1024


class LocalFtpServer:
    """An anonymous pyftpdlib server in a thread of the test, on a port that a later server can
    take again (a server that "comes back"); optionally slow, so that a test can stop it in the
    middle of a transfer. stop() closes the listener and every session at once."""

    def __init__(self, root: Path, port: int = 0, bytes_per_second: Optional[int] = None):
        self.commands: List[str] = []
        log = self.commands

        class Handler(FTPHandler):
            def pre_process_command(self, line, cmd, arg):
                log.append(line)
                return super().pre_process_command(line, cmd, arg)

        if bytes_per_second:
            class Slow(ThrottledDTPHandler):
                write_limit = bytes_per_second
            Handler.dtp_handler = Slow
        authorizer = DummyAuthorizer()
        authorizer.add_anonymous(str(root))
        Handler.authorizer = authorizer
        self._server = FTPServer(("127.0.0.1", port), Handler, ioloop=IOLoop())
        self.port = self._server.socket.getsockname()[1]
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    def _serve(self) -> None:
        while not self._stop.is_set():
            self._server.serve_forever(timeout=0.02, blocking=False, handle_exit=False)
        self._server.close_all()

    def stop(self) -> None:
        self._stop.set()
        self._thread.join(timeout=30)

    def __enter__(self) -> "LocalFtpServer":
        return self

    def __exit__(self, *exc) -> None:
        self.stop()


def unused_port() -> int:
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def state_value(download_dir: Path, name: str, key: str) -> Optional[str]:
    state = download_dir / (name + "_tmp_sz")
    if not state.exists():
        return None
    parser = configparser.RawConfigParser()
    parser.optionxform = str
    raw = state.read_bytes()
    parser.read_string(raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("latin-1"))
    return parser.get("Main", key, fallback=None)


def file_size(path: Path) -> int:
    return path.stat().st_size if path.exists() else 0


@pytest.fixture(scope="module")
def checkers(wine) -> Checkers:
    return Checkers(wine)


@pytest.fixture
def package(wine, tmp_path):
    """A real program (the marker stand-in, padded to about 1 MiB) as the package on the FTP
    server's pub/ folder: starting it leaves a marker, which shows a download that completed."""
    root = tmp_path / "ftp"
    (root / "pub").mkdir(parents=True)
    name = f"setup-{uuid.uuid4().hex[:8]}.exe"
    data = (wine.tests_bin / "marker_app.exe").read_bytes()
    data += b"\0" * (1024 * KIB - len(data) % KIB)  # overlay bytes: the program runs the same
    (root / "pub" / name).write_bytes(data)
    return root, name, data


def test_failed_download_shows_the_checker_and_retry_resumes_the_download(
        wine, install, driver, checkers, download_dir, marker_dir, package):
    root, name, data = package
    partial = download_dir / (name + "_tmp")
    env = wine.marker_env(marker_dir)

    # The first run: a slow server that goes away in the middle of the transfer.
    server = LocalFtpServer(root, bytes_per_second=128 * KIB)
    port = server.port
    try:
        install.write_ini(f"ftp://127.0.0.1:{port}/pub/{name}")
        first = install.start(env=env)
        wait_until(lambda: file_size(partial) >= 256 * KIB, "the first part of the download")
    finally:
        server.stop()

    window = checkers.find(install)
    assert window is not None, "the failed download started no checker"
    assert window.status("address") == PASSED, window
    assert window.status("connection") == FAILED, window
    assert window.detail("connection") == TEXT[137], window
    assert window.status("folder") == PASSED, window
    assert window.info["headline"] == TEXT[102]
    assert state_value(download_dir, name, "RetryCount") == "1"
    kept = file_size(partial)
    assert 0 < kept < len(data)

    shots = screenshot_folder()
    if shots is not None:
        wine.screenshot(shots / "checker-window.png", window.info["rect"])

    # The installer that started the checker ends by itself; then the server comes back.
    assert first.wait_exit()["exited"]
    with LocalFtpServer(root, port=port) as back:
        checkers.retry(window)
        assert checkers.gone(install), "the checker did not end after Retry"
        # The restarted installer finishes the download and starts the package.
        wait_until(lambda: (marker_dir / f"{name}.started").exists(), "the package to be started")
        commands = list(back.commands)

    target = download_dir / name
    assert hashlib.sha256(target.read_bytes()).hexdigest() == hashlib.sha256(data).hexdigest()
    assert not partial.exists()
    assert state_value(download_dir, name, "RetryCount") == "0"
    # It continued the partial file rather than starting over.
    rest = [int(c.split()[1]) for c in commands if c.upper().startswith("REST ")]
    assert rest and rest[-1] >= kept, commands


def test_four_failures_show_the_checker_and_the_fifth_the_error_message(
        wine, install, driver, checkers, download_dir):
    name = f"setup-{uuid.uuid4().hex[:8]}.exe"
    install.write_ini(f"ftp://127.0.0.1:{unused_port()}/pub/{name}")
    error_text = language_texts(install.folder / "FENNICKMSG.MLG")[0x0409][4]

    for count in range(1, 5):
        process = install.start()
        window = checkers.find(install)
        assert window is not None, f"failure {count} started no checker"
        assert window.status("connection") == FAILED, window
        assert window.detail("connection") == TEXT[137], window
        assert state_value(download_dir, name, "RetryCount") == str(count)
        assert process.wait_exit()["exited"]
        checkers.close(window)
        assert checkers.gone(install)

    process = install.start()
    box = process.question()
    assert box["text"] == error_text
    process.answer(IDOK)
    assert process.wait_exit()["exited"]
    assert state_value(download_dir, name, "RetryCount") == "0"
    assert checkers.find(install, finished=False, timeout_ms=5000) is None, "the fifth failure started the checker"
