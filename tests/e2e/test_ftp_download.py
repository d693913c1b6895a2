"""FTP downloads with the real Fennick.exe and QXFtp.dll under Wine, against vsftpd and our
scripted fault server on 127.0.0.1: the package arrives whole and is started, an interrupted
download continues on the next run, a complete one is not fetched again, a changed file is
fetched anew (never spliced), and every kind of failure is counted or reported as it should be.

The package is marker_app.exe padded with bytes of its own seed (it runs the same, and two
versions never look alike); the error checker is another copy of it named QXChkErr.exe.
"""
from __future__ import annotations

import configparser
import contextlib
import hashlib
import os
import shutil
import time
import uuid
from pathlib import Path
from typing import Dict, Iterator, List, Optional

import pytest

from fennick import IDOK, IDYES, FennickProcess, Installation, WineEnvironment, language_texts
from servers.ftp import fault_ftp, vsftpd
from servers.polling import wait_until

SIZE = 2 * 1024 * 1024 + 777
CUT = 700000
LOGIN = ("fennickftp", "Fennick-Test-1")
EN_US = 0x0409
RUN_DEADLINE_MS = 60000
STALL_DEADLINE_MS = 90000  # the watchdog gives up after 20 s of silence; generous on top
POLL_DEADLINE_S = 15.0


# ---------------------------------------------------------------------------------------------
# the package, its files and the markers


def package_bytes(marker_app: Path, size: int, seed: int) -> bytes:
    """A runnable package of exactly `size` bytes whose overlay depends on `seed`."""
    data = bytearray(marker_app.read_bytes())
    assert size >= len(data), "a package cut inside the program would not run"
    block = hashlib.sha256(str(seed).encode()).digest()
    while len(data) < size:
        block = hashlib.sha256(block).digest()
        data += block * 64
    return bytes(data[:size])


def sha256(data: bytes) -> str:
    return hashlib.sha256(data).hexdigest()


def poll(predicate, what: str, deadline_s: float = POLL_DEADLINE_S):
    return wait_until(predicate, what, deadline_s)


class Download:
    """The three files of one package in a download folder."""

    def __init__(self, folder: Path, name: str):
        self.target = folder / name
        self.partial = folder / (name + "_tmp")
        self.state = folder / (name + "_tmp_sz")

    def state_values(self) -> Dict[str, str]:
        if not self.state.exists():
            return {}
        raw = self.state.read_bytes()
        text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("latin-1")
        parser = configparser.RawConfigParser()
        parser.optionxform = str
        parser.read_string(text)
        return dict(parser.items("Main")) if parser.has_section("Main") else {}

    def counter(self) -> Optional[str]:
        return self.state_values().get("RetryCount")

    def set_counter(self, value: str) -> None:
        """Stores a counter, keeping what else the state file holds."""
        values = self.state_values()
        values["RetryCount"] = value
        self.state.parent.mkdir(parents=True, exist_ok=True)
        self.state.write_bytes(("[Main]\r\n" + "".join(f"{k}={v}\r\n" for k, v in values.items())).encode("latin-1"))

    def digest(self) -> str:
        return sha256(self.target.read_bytes())


class Runner:
    """One installation with the stand-in checker, started with the marker environment."""

    def __init__(self, wine: WineEnvironment, install: Installation, marker_dir: Path):
        self.wine = wine
        self.install = install
        self.marker_dir = marker_dir
        install.put("QXChkErr.exe", wine.tests_bin / "marker_app.exe")

    def start(self, url: str) -> FennickProcess:
        self.install.write_ini(url)
        return self.install.start(env=self.wine.marker_env(self.marker_dir))

    def run(self, url: str) -> None:
        """A run that ends by itself (success, or a failure handed to the checker)."""
        report = self.start(url).wait_exit(RUN_DEADLINE_MS)
        assert report["exited"], report

    def marker(self, name: str) -> Path:
        return self.marker_dir / (name + ".started")

    def forget_markers(self) -> None:
        for marker in self.marker_dir.glob("*.started"):
            marker.unlink()

    def wait_started(self, name: str) -> str:
        """The marker's text once the program has written it (it runs on after Fennick.exe)."""
        marker = self.marker(name)
        try:
            poll(lambda: marker.exists() and marker.stat().st_size > 0, f"{name} started")
        except AssertionError as error:
            raise AssertionError(f"{error}; markers: {sorted(m.name for m in self.marker_dir.iterdir())}") from None
        return marker.read_text(encoding="utf-8")


@pytest.fixture
def runner(wine, install, marker_dir) -> Runner:
    return Runner(wine, install, marker_dir)


@pytest.fixture
def name() -> str:
    # Unique per test: the single-instance guard and the download folder are shared.
    return f"fnk-ftp-{uuid.uuid4().hex[:8]}.exe"


@pytest.fixture
def root(tmp_path) -> Path:
    folder = tmp_path / "ftp"
    (folder / "pub").mkdir(parents=True)
    return folder


def publish(root: Path, name: str, data: bytes, mtime: Optional[float] = None) -> None:
    path = root / "pub" / name
    path.write_bytes(data)
    os.chmod(path, 0o644)
    if mtime is not None:
        os.utime(path, (mtime, mtime))


def commands_since(server, start: int) -> List[str]:
    return server.commands()[start:]


def assert_success(runner: Runner, download: Download, data: bytes) -> None:
    assert download.digest() == sha256(data)
    assert download.counter() == "0"
    assert not download.partial.exists()
    started = runner.wait_started(download.target.name).splitlines()
    assert f"cwd={runner.wine.windows_path(download.target.parent)}" in started, started
    assert not runner.marker("QXChkErr.exe").exists()


def assert_counted_failure(runner: Runner, download: Download, counter: str) -> None:
    assert download.counter() == counter
    runner.wait_started("QXChkErr.exe")
    assert not download.target.exists()
    assert not runner.marker(download.target.name).exists()


# ---------------------------------------------------------------------------------------------
# downloads that work


def test_fresh_download_is_started_and_a_complete_one_is_not_fetched_again(
        wine, runner, root, name, download_dir):
    data = package_bytes(wine.tests_bin / "marker_app.exe", SIZE, 1)
    publish(root, name, data)
    download = Download(download_dir, name)
    with vsftpd(root) as server:
        runner.run(server.url(f"/pub/{name}"))
        assert_success(runner, download, data)
        assert download.state_values()["size"] == str(SIZE)
        assert f"RETR /pub/{name}" in server.commands()

        runner.forget_markers()
        before = len(server.commands())
        runner.run(server.url(f"/pub/{name}"))
        assert_success(runner, download, data)
        later = commands_since(server, before)
        assert "SIZE /pub/" + name in later and not [c for c in later if c.startswith("RETR")], later


def test_interrupted_download_is_counted_and_continues_with_only_the_remainder(
        wine, runner, root, name, download_dir):
    data = package_bytes(wine.tests_bin / "marker_app.exe", SIZE, 2)
    publish(root, name, data)
    download = Download(download_dir, name)
    with fault_ftp(root, retr_fault={"kind": "close", "after": CUT, "times": 1}) as server:
        runner.run(server.url(f"/pub/{name}"))
        assert_counted_failure(runner, download, "1")
        assert download.partial.stat().st_size == CUT
        assert download.state_values()["size"] == str(SIZE)

        runner.forget_markers()
        before = len(server.commands())
        runner.run(server.url(f"/pub/{name}"))
        assert_success(runner, download, data)
        assert f"REST {CUT}" in commands_since(server, before)
        last = server.wait_for_transfers(2)[-1]
        assert last.completed and last.bytes == SIZE - CUT, last


@pytest.mark.parametrize("change", ["other size", "same size"])
def test_file_changed_on_the_server_is_fetched_from_zero_never_spliced(
        wine, runner, root, name, download_dir, change):
    old = package_bytes(wine.tests_bin / "marker_app.exe", SIZE, 3)
    publish(root, name, old, mtime=time.time() - 7200)
    download = Download(download_dir, name)
    with fault_ftp(root, retr_fault={"kind": "close", "after": CUT, "times": 1}) as server:
        runner.run(server.url(f"/pub/{name}"))
        assert_counted_failure(runner, download, "1")
        assert download.partial.stat().st_size == CUT

        new = package_bytes(wine.tests_bin / "marker_app.exe", SIZE + 4096 if change == "other size" else SIZE, 4)
        publish(root, name, new, mtime=time.time() - 60)
        runner.forget_markers()
        before = len(server.commands())
        runner.run(server.url(f"/pub/{name}"))
        assert_success(runner, download, new)
        rests = [c for c in commands_since(server, before) if c.startswith("REST") and c != "REST 0"]
        assert not rests, rests
        assert server.wait_for_transfers(2)[-1].bytes == len(new)


def test_documents_folder_with_chinese_name_works(wine, driver, runner, root, name, download_dir):
    """The prefix's Documents moves to a folder whose name the ANSI code page cannot write;
    the 8-bit path QXFtp.dll gets must still name that folder."""
    documents = wine.documents.parent / "\u6211\u7684\u6587\u6a94 \u4e0b\u8f09"
    data = package_bytes(wine.tests_bin / "marker_app.exe", SIZE, 5)
    publish(root, name, data)
    download = Download(documents / "Vantrel" / "Fennick", name)
    with documents_moved_to(wine, documents), vsftpd(root) as server:
        runner.install.write_ini(server.url(f"/pub/{name}"))
        pid = start_in_utf8_locale(wine, driver, runner)
        assert driver.wait_exit(pid, RUN_DEADLINE_MS)["exited"]
        assert_success(runner, download, data)
        assert not (download_dir / name).exists()


# ---------------------------------------------------------------------------------------------
# failures


def test_stalled_transfer_fails_by_the_watchdog_and_is_counted(wine, runner, root, name, download_dir):
    data = package_bytes(wine.tests_bin / "marker_app.exe", SIZE, 6)
    publish(root, name, data)
    download = Download(download_dir, name)
    # A slow line (about three seconds for CUT bytes) that then stalls for good.
    with fault_ftp(root, retr_fault={"kind": "stall", "after": CUT}, rate=CUT // 3) as server:
        report = runner.start(server.url(f"/pub/{name}")).wait_exit(STALL_DEADLINE_MS)
        assert report["exited"], report
        assert_counted_failure(runner, download, "1")
        # Kept for the next run: the worker was ended while it waited for more, and at most the
        # last second's data was still in the library's buffer.
        assert download.partial.exists() and CUT // 3 <= download.partial.stat().st_size <= CUT
        assert download.state_values()["size"] == str(SIZE)


def test_wrong_password_is_counted_and_the_fifth_failure_shows_the_error_message(
        wine, runner, root, name, download_dir):
    publish(root, name, package_bytes(wine.tests_bin / "marker_app.exe", SIZE, 7))
    download = Download(download_dir, name)
    with vsftpd(root, login=LOGIN) as server:
        url = server.url(f"/pub/{name}", user=LOGIN[0], password="not-the-password")
        runner.run(url)
        assert_counted_failure(runner, download, "1")

        runner.forget_markers()
        download.set_counter("4")
        process = runner.start(url)
        box = process.question()
        texts = language_texts(runner.install.folder / "FENNICKMSG.MLG")[EN_US]
        assert (box["text"], box["caption"]) == (texts[4], texts[1])
        assert download.counter() == "0", "the counter is written before the message is shown"
        process.answer(IDOK)
        assert process.wait_exit()["exited"]
        assert not runner.marker("QXChkErr.exe").exists()


def test_missing_library_is_reported_and_not_counted(wine, driver, runner, name, download_dir):
    runner.install.remove("QXFtp.dll")
    process = runner.start(f"ftp://127.0.0.1:9/pub/{name}")
    box = driver.ownerless_box("Load QXFtp.dll fail!", pid=process.pid)
    assert box is not None and box["caption"] == "Error" and box["buttons"] == [IDOK], box
    driver.answer_box(box["hwnd"], IDOK)
    # Nothing knew the package's files yet, so the failure is shown, not counted.
    error = process.question()
    assert error["text"] == language_texts(runner.install.folder / "FENNICKMSG.MLG")[EN_US][4]
    process.answer(IDOK)
    assert process.wait_exit()["exited"]
    assert not Download(download_dir, name).state.exists()
    assert not runner.marker("QXChkErr.exe").exists()


def test_slow_transfer_outlives_the_watchdog_and_a_confirmed_close_ends_it_uncounted(
        wine, runner, root, name, download_dir):
    """At 64 KiB/s three quarters of the package take about 24 s: every progress report from the
    worker thread must re-arm the dialog's 20 s watchdog, or the run would fail (and count)."""
    data = package_bytes(wine.tests_bin / "marker_app.exe", SIZE, 8)
    publish(root, name, data)
    download = Download(download_dir, name)
    download.set_counter("2")
    with fault_ftp(root, rate=64 * 1024) as server:
        process = runner.start(server.url(f"/pub/{name}"))
        poll(lambda: process.dialog()["progress"] >= 75, "three quarters transferred", deadline_s=90)
        process.request_close()
        process.answer(IDYES)
        # The worker sees the stop at its next progress report and ends by itself; a forced
        # end would come only after 5 s.
        assert process.wait_exit(4000)["exited"]
    assert download.counter() == "2"
    assert not download.target.exists()
    assert not runner.marker("QXChkErr.exe").exists() and not runner.marker(name).exists()


# ---------------------------------------------------------------------------------------------
# Documents elsewhere


SHELL_FOLDERS = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer"
# A Unix locale that exists on every Debian host and can name any file: Wine maps Windows file
# names through it. (Its ANSI code page is still 1252, so the Chinese name has no ANSI form.)
UTF8_LOCALE = {"LANG": "C.UTF-8", "LC_ALL": "C.UTF-8"}


@contextlib.contextmanager
def documents_moved_to(wine: WineEnvironment, folder: Path) -> Iterator[None]:
    """Points the prefix's Documents folder ("Personal" under User Shell Folders and Shell
    Folders) at `folder` for the duration; both keys are exported first and imported back."""
    def run(*argv: str) -> None:
        rc, text = wine.run(list(argv), extra_env=UTF8_LOCALE)
        assert rc == 0, f"{argv}: {text}"

    folder.mkdir(parents=True, exist_ok=True)
    saved = []
    try:
        for key, kind in (("User Shell Folders", "REG_EXPAND_SZ"), ("Shell Folders", "REG_SZ")):
            copy = wine.log_dir / f"{key.replace(' ', '')}-{uuid.uuid4().hex[:8]}.reg"
            run("regedit", "/E", wine.windows_path(copy), f"{SHELL_FOLDERS}\\{key}")
            saved.append(copy)
            run("reg", "add", f"{SHELL_FOLDERS}\\{key}", "/v", "Personal", "/t", kind,
                "/d", wine.windows_path(folder), "/f")
        yield
    finally:
        for copy in saved:
            run("regedit", "/S", wine.windows_path(copy))
        shutil.rmtree(folder, ignore_errors=True)


def start_in_utf8_locale(wine: WineEnvironment, driver, runner: Runner) -> int:
    args = ["start", wine.windows_path(runner.install.exe), "--cwd", wine.windows_path(runner.install.folder)]
    for key, value in wine.marker_env(runner.marker_dir).items():
        args += ["--env", f"{key}={value}"]
    rc, answer = driver.call(*args, extra_env=UTF8_LOCALE)
    assert rc == 0 and "pid" in answer, answer
    runner.install.processes.append(FennickProcess(driver, int(answer["pid"])))
    return int(answer["pid"])
