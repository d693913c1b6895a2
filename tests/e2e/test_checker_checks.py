"""QXChkErr.exe on its own under Wine: each check against real servers and real failures, seen
through the checker's window the way a user sees it (the sentences of the English texts)."""
from __future__ import annotations

import sys
import uuid
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "components" / "qxchkerr" / "testing"))
from checker_e2e import (TESTS_BIN, CheckerKit, Desktop, english_texts,  # noqa: E402
                         package_state, run_checker, run_windows)
from servers.certificates import make_test_certificates, trusted_in_wine_prefix  # noqa: E402
from servers.ftp import fault_ftp  # noqa: E402
from servers.http import NginxServer  # noqa: E402

TEXT = english_texts()
PASSED, FAILED, NOT_CHECKED = TEXT[112], TEXT[113], TEXT[114]


def unique_name(stem: str) -> str:
    return f"{stem}-{uuid.uuid4().hex[:8]}.exe"


@pytest.fixture
def desktop(tmp_path) -> Desktop:
    logs = tmp_path / "driver"
    logs.mkdir()
    return Desktop(logs)


@pytest.fixture
def kit(tmp_path) -> CheckerKit:
    return CheckerKit(tmp_path / "install")


@pytest.fixture(scope="module")
def certificates(tmp_path_factory):
    certs = make_test_certificates(tmp_path_factory.mktemp("certificates"))
    log = tmp_path_factory.mktemp("trust") / "trust.log"
    with trusted_in_wine_prefix(certs.authority.certificate, lambda argv: run_windows(list(argv), log),
                                TESTS_BIN / "trust_test_root.exe"):
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


def test_working_https_server_passes_every_check(web, desktop, kit):
    name = unique_name("valid")
    with package_state(name):
        kit.configure(web.https_url("valid", publish(web, name, 70000)))
        window = run_checker(desktop, kit)
    for check in ("address", "host name", "connection", "server", "folder", "disk room"):
        assert window.status(check) == PASSED, window
        assert window.detail(check) == "", window
    assert window.info["headline"] == TEXT[103]
    assert any(r["uri"] == "/" + name for r in web.requests())


@pytest.mark.parametrize("certificate, sentence", [
    ("untrusted", 149),   # issued by a CA the computer does not trust
    ("wrong_host", 150),  # current and trusted, but for another host name
    ("expired", 151),     # trusted, right host, validity long past
])
def test_certificate_problems_are_named(certificate, sentence, web, desktop, kit):
    name = unique_name(certificate)
    with package_state(name):
        kit.configure(web.https_url(certificate, publish(web, name, 1000)))
        window = run_checker(desktop, kit)
    assert window.status("connection") == PASSED, window
    assert window.status("server") == FAILED, window
    assert window.detail("server") == TEXT[sentence], window
    assert window.info["headline"] == TEXT[102]


def test_missing_file_on_http_server(web, desktop, kit):
    name = unique_name("absent")
    with package_state(name):
        kit.configure(web.http_url("/" + name))
        window = run_checker(desktop, kit)
    assert window.status("server") == FAILED, window
    assert window.detail("server") == TEXT[144], window
    # Without an answer the size is unknown; the recorded size was cleared with the package state.
    assert window.status("disk room") == NOT_CHECKED
    assert window.detail("disk room") == TEXT[158]


def test_ftp_server_refusing_the_log_on(tmp_path, desktop, kit):
    root = tmp_path / "ftp"
    root.mkdir()
    name = unique_name("login")
    (root / name).write_bytes(b"x" * 5000)
    with fault_ftp(root, users=[["alice", "right"]], anonymous=False) as server, package_state(name):
        kit.configure(server.url(name, user="alice", password="wrong"))
        window = run_checker(desktop, kit)
        commands = server.commands()
    assert window.status("server") == FAILED, window
    assert window.detail("server") == TEXT[143], window
    assert "USER alice" in commands and "PASS wrong" in commands


def test_ftp_server_with_the_package_passes_and_gives_its_size(tmp_path, desktop, kit):
    root = tmp_path / "ftp"
    root.mkdir()
    name = unique_name("anon")
    (root / name).write_bytes(b"x" * 5000)
    with fault_ftp(root) as server, package_state(name):
        kit.configure(server.url(name))
        window = run_checker(desktop, kit)
        commands = server.commands()
    assert window.status("server") == PASSED, window
    assert window.status("disk room") == PASSED, window
    assert commands[:2] == ["USER anonymous", "PASS "]
    assert f"SIZE /{name}" in commands


def test_missing_configuration_and_unknown_host(desktop, kit):
    kit.configure(None)
    window = run_checker(desktop, kit)
    assert window.status("address") == FAILED, window
    assert window.detail("address") == TEXT[130]
    for check in ("host name", "connection", "server"):
        assert window.status(check) == NOT_CHECKED, window
    assert window.status("folder") == PASSED, window

    kit.configure("ftp://no-such-host.invalid/pub/setup.exe")
    window = run_checker(desktop, kit)
    assert window.status("host name") == FAILED, window
    assert window.detail("host name") in (TEXT[135], TEXT[136])


def test_texts_come_from_the_language_library(desktop, kit):
    # A message file whose English caption is changed shows that the window asks the library.
    message_file = kit.folder / "FENNICKMSG.MLG"
    changed = message_file.read_text(encoding="utf-8-sig").replace(
        "\n100=" + TEXT[100] + "\n", "\n100=Caption from the library\n")
    message_file.write_text(changed, encoding="utf-8-sig")
    kit.configure(None)
    assert run_checker(desktop, kit).info["caption"] == "Caption from the library"

    # Without the library the built-in English stands in.
    (kit.folder / "QXMlangW.dll").unlink()
    window = run_checker(desktop, kit)
    assert window.info["caption"] == TEXT[100]
    assert window.detail("address") == TEXT[130]
