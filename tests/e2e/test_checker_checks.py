"""QXChkErr.exe started on its own under Wine: each check against real servers and real
failures, seen through the checker's window the way a user sees it (the English sentences)."""
from __future__ import annotations

import sys
import uuid
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "components" / "qxchkerr" / "testing"))
from checker_e2e import CheckerWindow, Checkers, english_texts  # noqa: E402
from servers.certificates import make_test_certificates, trusted_in_wine_prefix  # noqa: E402
from servers.ftp import fault_ftp  # noqa: E402
from servers.http import NginxServer  # noqa: E402

TEXT = english_texts()
PASSED, FAILED, NOT_CHECKED = TEXT[112], TEXT[113], TEXT[114]


@pytest.fixture(scope="module")
def checkers(wine) -> Checkers:
    return Checkers(wine)


@pytest.fixture
def run_checker(install, driver, checkers):
    """Starts the install folder's checker, waits for all its checks, closes it and returns
    what it showed."""
    def run() -> CheckerWindow:
        exe = install.wine.windows_path(install.folder / "QXChkErr.exe")
        pid = driver.start(exe, cwd=install.wine.windows_path(install.folder))
        try:
            window = checkers.find(install)
            assert window is not None, "the checker's window did not appear or its checks did not end"
            checkers.close(window)
            assert driver.wait_exit(pid)["exited"], "the checker did not end on Close"
            return window
        finally:
            driver.kill(pid)  # nothing to do when it has ended
    return run


@pytest.fixture
def package_name(download_dir) -> str:
    """A package name of the test's own; the download folder is emptied around the test."""
    return f"pkg-{uuid.uuid4().hex[:8]}.exe"


@pytest.fixture(scope="module")
def certificates(wine, tmp_path_factory):
    certs = make_test_certificates(tmp_path_factory.mktemp("certificates"))
    run = lambda argv: wine.run(argv)[0]  # noqa: E731
    with trusted_in_wine_prefix(certs.authority.certificate, run, wine.tests_bin / "trust_test_root.exe"):
        yield certs


@pytest.fixture(scope="module")
def web(tmp_path_factory, certificates):
    root = tmp_path_factory.mktemp("www")
    tls = {"valid": certificates.valid, "expired": certificates.expired,
           "wrong_host": certificates.wrong_host, "untrusted": certificates.untrusted}
    with NginxServer(root, tls, work_dir=root.parent / "nginx-checker") as server:
        yield server


def publish(web: NginxServer, name: str, size: int) -> str:
    (web.root / name).write_bytes(b"\x5a" * size)
    return "/" + name


def test_working_https_server_passes_every_check(web, install, package_name, run_checker):
    install.write_ini(web.https_url("valid", publish(web, package_name, 70000)))
    window = run_checker()
    for check in ("address", "host name", "connection", "server", "folder", "disk room"):
        assert window.status(check) == PASSED, window
        assert window.detail(check) == "", window
    assert window.info["headline"] == TEXT[103]
    assert any(r["uri"] == "/" + package_name for r in web.requests())


@pytest.mark.parametrize("certificate, sentence", [
    ("untrusted", 149),   # issued by a CA the computer does not trust
    ("wrong_host", 150),  # current and trusted, but for another host name
    ("expired", 151),     # trusted, right host, validity long past
])
def test_certificate_problems_are_named(certificate, sentence, web, install, package_name, run_checker):
    install.write_ini(web.https_url(certificate, publish(web, package_name, 1000)))
    window = run_checker()
    assert window.status("connection") == PASSED, window
    assert window.status("server") == FAILED, window
    assert window.detail("server") == TEXT[sentence], window
    assert window.info["headline"] == TEXT[102]


def test_missing_file_on_http_server(web, install, package_name, run_checker):
    install.write_ini(web.http_url("/" + package_name))
    window = run_checker()
    assert window.status("server") == FAILED, window
    assert window.detail("server") == TEXT[144], window
    # Without an answer and without a recorded size, free space cannot be judged.
    assert window.status("disk room") == NOT_CHECKED
    assert window.detail("disk room") == TEXT[158]


def test_ftp_server_refusing_the_log_on(tmp_path, install, package_name, run_checker):
    root = tmp_path / "ftp"
    (root / "pub").mkdir(parents=True)
    (root / "pub" / package_name).write_bytes(b"x" * 5000)
    with fault_ftp(root, users=[["alice", "right"]], anonymous=False) as server:
        install.write_ini(server.url("pub/" + package_name, user="alice", password="wrong"))
        window = run_checker()
        commands = server.commands()
    assert window.status("server") == FAILED, window
    assert window.detail("server") == TEXT[143], window
    assert "USER alice" in commands and "PASS wrong" in commands


def test_ftp_server_with_the_package_passes_and_gives_its_size(tmp_path, install, package_name, run_checker):
    root = tmp_path / "ftp"
    (root / "pub").mkdir(parents=True)
    (root / "pub" / package_name).write_bytes(b"x" * 5000)
    with fault_ftp(root) as server:
        install.write_ini(server.url("pub/" + package_name))
        window = run_checker()
        commands = server.commands()
    assert window.status("server") == PASSED, window
    assert window.status("disk room") == PASSED, window
    assert commands[:2] == ["USER anonymous", "PASS "]
    assert f"SIZE /pub/{package_name}" in commands


def test_missing_configuration_and_unknown_host(install, download_dir, run_checker):
    window = run_checker()  # the fresh installation has no Fennick.ini
    assert window.status("address") == FAILED, window
    assert window.detail("address") == TEXT[130]
    for check in ("host name", "connection", "server"):
        assert window.status(check) == NOT_CHECKED, window
    assert window.status("folder") == PASSED, window

    install.write_ini("ftp://no-such-host.invalid/pub/setup.exe")
    window = run_checker()
    assert window.status("host name") == FAILED, window
    assert window.detail("host name") in (TEXT[135], TEXT[136])


def test_texts_come_from_the_language_library(install, download_dir, run_checker):
    # A message file whose English caption is changed shows that the window asks the library.
    message_file = install.folder / "FENNICKMSG.MLG"
    changed = message_file.read_text(encoding="utf-8-sig").replace(
        "\n100=" + TEXT[100] + "\n", "\n100=Caption from the library\n")
    message_file.write_text(changed, encoding="utf-8-sig")
    assert run_checker().info["caption"] == "Caption from the library"

    # Without the library the built-in English stands in.
    install.remove("QXMlangW.dll")
    window = run_checker()
    assert window.info["caption"] == TEXT[100]
    assert window.detail("address") == TEXT[130]
