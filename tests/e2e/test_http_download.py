"""HTTP and HTTPS downloads with the real Fennick.exe and QXHttp.dll under Wine, against nginx
(with a test certificate authority trusted only inside the test prefix) and our scripted fault
server on 127.0.0.1: whole downloads are started, an interrupted one resumes with a range, a
changed file or a server that ignores ranges gives a fresh whole file, and bad certificates,
refused redirects, missing files, stalls and a missing library are counted failures.

Helpers (package, download files, runner, assertions) are shared with the FTP suite.
"""
from __future__ import annotations

import contextlib
import re
import uuid
from pathlib import Path

import pytest

from servers.certificates import make_test_certificates, trusted_in_wine_prefix
from servers.http import Fault, ScriptedHttpServer, nginx_with_test_certificates
from test_ftp_download import (RUN_DEADLINE_MS, STALL_DEADLINE_MS, Download, assert_counted_failure,  # noqa: F401
                               assert_success, package_bytes, poll, runner)

MIB = 1024 * 1024
SIZE = 2 * MIB + 777
CUT = 700000


@pytest.fixture(scope="module")
def certificates(wine, tmp_path_factory):
    certs = make_test_certificates(tmp_path_factory.mktemp("certificates"))
    with trusted_in_wine_prefix(certs.authority.certificate, lambda argv: wine.run(argv)[0],
                                wine.tests_bin / "trust_test_root.exe"):
        yield certs


@pytest.fixture(scope="module")
def web_root(tmp_path_factory) -> Path:
    return tmp_path_factory.mktemp("www")


@pytest.fixture(scope="module")
def nginx(web_root, certificates):
    with nginx_with_test_certificates(web_root, certificates) as server:
        yield server


@pytest.fixture
def scripted():
    with ScriptedHttpServer() as server:
        yield server


@pytest.fixture
def name() -> str:
    # Unique per test: the single-instance guard and the download folder are shared.
    return f"fnk-http-{uuid.uuid4().hex[:8]}.exe"


@pytest.fixture
def package(wine):
    return lambda size, seed: package_bytes(wine.tests_bin / "marker_app.exe", size, seed)


# ---------------------------------------------------------------------------------------------
# downloads that work


@pytest.mark.parametrize("scheme", ["http", "https"])
def test_fresh_download_is_identical_and_started(scheme, runner, nginx, web_root, name, package, download_dir):
    data = package(SIZE, 1)
    (web_root / name).write_bytes(data)
    url = nginx.http_url(f"/{name}") if scheme == "http" else nginx.https_url("valid", f"/{name}")
    download = Download(download_dir, name)
    runner.run(url)
    assert_success(runner, download, data)
    assert download.state_values()["size"] == str(SIZE)


def test_query_reaches_the_server_whole_and_the_name_comes_from_the_decoded_path(
        runner, scripted, name, package, download_dir):
    data = package(SIZE, 2)
    stem = name[:-len(".exe")]
    scripted.set_file(f"/dl/{stem}%20v2.exe", data)
    target = f"/dl/{stem}%20v2.exe?ver=1.2&name=a%2Fb%20c"
    runner.run(scripted.url(target))
    assert [r.target for r in scripted.requests] == [target]
    assert_success(runner, Download(download_dir, f"{stem} v2.exe"), data)


def test_interrupted_download_is_counted_and_resumed_with_a_range(runner, scripted, name, package, download_dir):
    data = package(SIZE, 3)
    scripted.set_file(f"/{name}", data)
    scripted.add_fault(f"/{name}", Fault(cut_after=CUT))
    download = Download(download_dir, name)
    runner.run(scripted.url(f"/{name}"))
    assert_counted_failure(runner, download, "1")
    assert download.partial.stat().st_size == CUT

    runner.forget_markers()
    runner.run(scripted.url(f"/{name}"))
    assert_success(runner, download, data)
    second = scripted.requests[-1]
    assert second.headers.get("range") == f"bytes={CUT}-" and second.headers.get("if-range"), second
    assert (second.status, second.body_bytes) == (206, SIZE - CUT)


@pytest.mark.parametrize("server_side", ["file changed", "range ignored"])
def test_second_run_fetches_the_whole_file_when_it_cannot_continue(
        runner, scripted, name, package, download_dir, server_side):
    old = package(SIZE, 4)
    scripted.set_file(f"/{name}", old, honor_range=server_side != "range ignored")
    scripted.add_fault(f"/{name}", Fault(cut_after=CUT))
    download = Download(download_dir, name)
    runner.run(scripted.url(f"/{name}"))
    assert_counted_failure(runner, download, "1")

    new = package(SIZE, 5) if server_side == "file changed" else old
    scripted.set_file(f"/{name}", new, honor_range=server_side != "range ignored")
    runner.forget_markers()
    runner.run(scripted.url(f"/{name}"))
    assert_success(runner, download, new)
    assert (scripted.requests[-1].status, scripted.requests[-1].body_bytes) == (200, SIZE)


def test_megabytes_show_once_the_library_has_recorded_the_size(
        runner, driver, scripted, name, package, download_dir):
    data = package(3 * MIB, 6)
    scripted.set_file(f"/{name}", data)
    fault = scripted.add_fault(f"/{name}", Fault(hold_after=MIB))
    process = runner.start(scripted.url(f"/{name}"))
    try:
        assert fault.reached.wait(RUN_DEADLINE_MS / 1000)
        # The dialog's total is 0 under HTTP: the 3.0 MB can only come from the state file.
        shown = poll(lambda: re.fullmatch(r"\d+\.\dMB / 3\.0MB", process.dialog()["controls"]["1002"]["text"]),
                     "megabytes shown")
        assert shown
    finally:
        fault.release.set()
    assert process.wait_exit(RUN_DEADLINE_MS)["exited"]
    assert_success(runner, Download(download_dir, name), data)


# ---------------------------------------------------------------------------------------------
# failures


CERTIFICATES = {"expired certificate": "expired", "certificate for another host": "wrong_host",
                "untrusted certificate": "untrusted"}


@pytest.mark.parametrize("case", ["missing file", *CERTIFICATES, "redirect from https to http"])
def test_refused_downloads_are_counted_failures(runner, nginx, certificates, web_root, name, package, download_dir,
                                                case):
    uri = f"/{name}"
    (web_root / name).write_bytes(package(SIZE, 7))
    with contextlib.ExitStack() as stack:
        if case == "missing file":
            (web_root / name).unlink()
            url = nginx.http_url(uri)
        elif case in CERTIFICATES:
            url = nginx.https_url(CERTIFICATES[case], uri)
        else:
            secure = stack.enter_context(ScriptedHttpServer(certificates.valid))
            secure.redirect(uri, nginx.http_url(uri))
            url = secure.url(uri)
        runner.run(url)
    download = Download(download_dir, name)
    assert_counted_failure(runner, download, "1")
    assert "size" not in download.state_values()
    statuses = [r["status"] for r in nginx.requests() if r["uri"] == uri]
    assert statuses == ([404] if case == "missing file" else []), statuses


def test_stalled_server_fails_by_the_watchdog_and_is_counted(runner, scripted, name, package, download_dir):
    scripted.set_file(f"/{name}", package(SIZE, 8))
    scripted.add_fault(f"/{name}", Fault(hold_after=CUT))
    report = runner.start(scripted.url(f"/{name}")).wait_exit(STALL_DEADLINE_MS)
    assert report["exited"], report
    assert_counted_failure(runner, Download(download_dir, name), "1")


def test_missing_library_is_silent_and_counted(runner, scripted, name, package, download_dir):
    runner.install.remove("QXHttp.dll")
    scripted.set_file(f"/{name}", package(SIZE, 9))
    # No box waits for an answer: the run ends by itself, well before the watchdog could end it.
    report = runner.start(scripted.url(f"/{name}")).wait_exit(15000)
    assert report["exited"], report
    assert_counted_failure(runner, Download(download_dir, name), "1")
    assert scripted.requests == []
