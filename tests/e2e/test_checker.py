# QXChkErr.exe under Wine, read through its window the way a user reads it (the English sentences):
# started on its own against working and failing servers, and handed over by Fennick.exe after a
# failed download, where Retry starts the installer again and the fifth failure shows no checker.
import os
import uuid

import pytest

from fennick import IDCANCEL, IDOK, ROOT, Download, Runner, language_texts
from servers.ftp import fault_ftp
from servers.http import WebServers
from servers.polling import wait_until

TEXT = language_texts(ROOT / "components" / "qxmlang" / "FENNICKMSG.MLG")[0x0409]
PASSED, FAILED, NOT_CHECKED = TEXT[112], TEXT[113], TEXT[114]
CHECKS = ["address", "host name", "connection", "server", "folder", "disk room"]


@pytest.fixture(scope="module")
def web(certificates):
    with WebServers(certificates) as server:
        yield server


def lines(window):
    # {check: (status, detail)} as the window shows them.
    return {check: (line["status"], line["detail"]) for check, line in zip(CHECKS, window["checks"])}


@pytest.mark.parametrize("case, expected, headline", [
    ("https", {c: (PASSED, "") for c in CHECKS}, 103),
    ("untrusted", {"connection": (PASSED, ""), "server": (FAILED, TEXT[149])}, 102),
    ("wrong_host", {"server": (FAILED, TEXT[150])}, 102),
    ("expired", {"server": (FAILED, TEXT[151])}, 102),
    # Without an answer and without a recorded size, free space cannot be judged.
    ("missing http file", {"server": (FAILED, TEXT[144]), "disk room": (NOT_CHECKED, TEXT[158])}, 102),
    ("no configuration", {"address": (FAILED, TEXT[130]), "host name": (NOT_CHECKED, None), "connection": (NOT_CHECKED, None),
                          "server": (NOT_CHECKED, None), "folder": (PASSED, "")}, 102),
    ("unknown host", {"host name": (FAILED, (TEXT[135], TEXT[136]))}, 102),
    ("texts from the library", {}, 102),
    ("no language library", {"address": (FAILED, TEXT[130])}, 102),
])
def test_checks_as_the_window_shows_them(install, driver, web, download_dir, case, expected, headline):
    package = f"pkg-{uuid.uuid4().hex[:8]}.exe"
    web.set_file(f"/{package}", b"\x5a" * 70000)
    if case == "texts from the library":  # a changed English caption shows that the window asks the library
        mlg = install.folder / "FENNICKMSG.MLG"
        mlg.write_text(mlg.read_text(encoding="utf-8-sig").replace(f"\n100={TEXT[100]}\n", "\n100=Caption from the library\n"),
                       encoding="utf-8-sig")
    if case == "no language library":  # the built-in English stands in
        (install.folder / "QXMlangW.dll").unlink()
    urls = {"https": web.url("valid", f"/{package}"), "missing http file": web.url("http", "/missing.exe"),
            "unknown host": "ftp://no-such-host.invalid/pub/setup.exe",
            **{name: web.url(name, f"/{package}") for name in ("untrusted", "wrong_host", "expired")}}
    if case in urls:
        install.write_ini(urls[case])
    checker = install.start(exe="QXChkErr.exe")
    window = driver.checker(install.folder)
    assert window is not None, "the checker's window did not appear or its checks did not end"
    driver.do("press", hwnd=window["hwnd"], button=IDCANCEL)
    assert checker.wait_exit()["exited"], "the checker did not end on Close"
    for check, (status, detail) in expected.items():
        shown = lines(window)[check]
        assert shown[0] == status and (detail is None or shown[1] in (detail if isinstance(detail, tuple) else (detail,))), window
    assert window["headline"] == TEXT[headline]
    assert window["caption"] == ("Caption from the library" if case == "texts from the library" else TEXT[100])


def test_failures_one_to_four_start_the_checker_and_the_fifth_shows_the_error_message(wine, install, driver, root, name,
                                                                                       download_dir, marker_dir):
    (root / "pub" / name).write_bytes(b"x" * 5000)
    runner, download = Runner(wine, install, marker_dir, real_checker=True), Download(download_dir, name)
    with fault_ftp(root, users=[["alice", "right"]], anonymous=False) as server:
        url = server.url(f"pub/{name}", user="alice", password="wrong")
        process = runner.start(url)
        window = driver.checker(install.folder)
        assert window is not None and lines(window)["server"] == (FAILED, TEXT[143]), window
        assert "PASS wrong" in server.commands() and download.counter() == "1"
        assert process.wait_exit()["exited"]
        driver.do("press", hwnd=window["hwnd"], button=IDCANCEL)
        assert driver.checker(install.folder, finished=False, gone=True)

        download.set_counter("4")
        process = runner.start(url)
        box = process.question()
        assert (box["text"], box["caption"]) == (TEXT[4], TEXT[1])
        assert download.counter() == "0", "the counter is written before the message is shown"
        process.answer(IDOK)
        assert process.wait_exit()["exited"]
    assert driver.checker(install.folder, finished=False, timeout_ms=3000) is None, "the fifth failure started the checker"


def test_retry_in_the_checker_resumes_the_download_once_the_server_is_back(wine, install, driver, root, name, download_dir,
                                                                           marker_dir):
    runner, download = Runner(wine, install, marker_dir, real_checker=True), Download(download_dir, name)
    (root / "pub" / name).write_bytes(data := runner.package(1024 * 1024, 31))
    with fault_ftp(root, rate=128 * 1024) as server:  # a slow server that goes away mid-transfer
        port = server.port
        first = runner.start(server.url(f"pub/{name}"))
        wait_until(lambda: download.partial.exists() and download.partial.stat().st_size >= 256 * 1024, "first part", 60)
    window = driver.checker(install.folder)
    assert window is not None, "the failed download started no checker"
    assert lines(window)["address"][0] == PASSED and lines(window)["connection"] == (FAILED, TEXT[137]), window
    assert window["headline"] == TEXT[102] and download.counter() == "1"
    if os.environ.get("FENNICK_SCREENSHOT_DIR"):
        wine.screenshot(wine.build_dir / os.environ["FENNICK_SCREENSHOT_DIR"] / "checker-window.png", window["rect"])
    kept = download.partial.stat().st_size
    assert first.wait_exit()["exited"] and 0 < kept < len(data)
    with fault_ftp(root, port=port) as back:
        driver.do("press", hwnd=window["hwnd"], button=1050)  # Retry
        assert driver.checker(install.folder, finished=False, gone=True), "the checker did not end after Retry"
        runner.wait_started(name)
        rests = [int(c.split()[1]) for c in back.commands() if c.startswith("REST ")]
    assert download.target.read_bytes() == data and not download.partial.exists() and download.counter() == "0"
    assert rests and rests[-1] >= kept, "it continued the partial file"
