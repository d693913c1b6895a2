# What may be started: the package's SHA-256 pin from Fennick.ini on every path that starts a file
# (fresh, resumed, already complete), a body without length only when pinned, and a file that
# Windows refuses to start reported to the user instead of vanishing.
import hashlib
import os

import pytest

from fennick import IDOK, RUN_DEADLINE_MS, Download, language_texts, state_values
from servers.ftp import fault_ftp

SIZE, CUT, WRONG = 2 * 1024 * 1024 + 777, 700000, "0" * 64


def test_ftp_pin_in_capitals_and_a_stale_complete_file_fetched_again_uncounted(runner, root, name, download_dir):
    old, new = runner.package(SIZE, 11), runner.package(SIZE, 12)
    download = Download(download_dir, name)
    with fault_ftp(root) as server:
        (root / "pub" / name).write_bytes(old)
        runner.run(server.url(f"/pub/{name}"), pin=hashlib.sha256(old).hexdigest().upper())
        runner.assert_success(download, old)
        # Another release of the same size: the complete file on disk is another one now.
        (root / "pub" / name).write_bytes(new)
        download.set_counter("2")
        runner.forget_markers()
        runner.run(server.url(f"/pub/{name}"), pin=hashlib.sha256(new).hexdigest())
        runner.assert_success(download, new)
        assert sum(c.startswith("RETR") for c in server.commands()) == 2


def test_resumed_download_that_differs_is_deleted_counted_and_then_fetched_whole(runner, root, name, download_dir):
    data = runner.package(SIZE, 13)
    (root / "pub" / name).write_bytes(data)
    download = Download(download_dir, name)
    with fault_ftp(root, retr_fault={"kind": "close", "after": CUT, "times": 1}) as server:
        runner.run(server.url(f"/pub/{name}"), pin=WRONG)
        runner.assert_counted_failure(download, "1")
        runner.forget_markers()
        runner.run(server.url(f"/pub/{name}"), pin=WRONG)  # resumed, whole, and still not the pinned file
        runner.assert_counted_failure(download, "2")
        assert not download.partial.exists() and state_values(download.state) == {"RetryCount": "2"}
        runner.forget_markers()
        runner.run(server.url(f"/pub/{name}"), pin=hashlib.sha256(data).hexdigest())
        runner.assert_success(download, data)
        assert server.wait_for_transfers(3)[-1].bytes == SIZE


@pytest.mark.parametrize("chunked, pin, started", [
    (False, "malformed", False), (True, None, False), (True, "right", True), (True, "wrong", False)])
def test_http_pin_decides_what_is_taken(runner, scripted, name, download_dir, chunked, pin, started):
    data = runner.package(SIZE, 14)
    value = {None: None, "malformed": "abc" + "0" * 61 + "g", "right": hashlib.sha256(data).hexdigest(), "wrong": WRONG}[pin]
    download = Download(download_dir, name)
    scripted.set_file(f"/{name}", data, chunked=chunked)
    runner.run(scripted.url(f"/{name}"), pin=value)
    if started:
        runner.assert_success(download, data)
    else:
        runner.assert_counted_failure(download, "1")
        assert not download.partial.exists() or pin is None
    # A malformed pin fetches nothing at all.
    assert bool(scripted.requests_for(f"/{name}")) == (pin != "malformed")


def test_file_that_windows_cannot_start_is_reported_and_fetched_again_next_time(runner, scripted, name, download_dir):
    download = Download(download_dir, name)
    scripted.set_file(f"/{name}", os.urandom(SIZE))
    process = runner.start(scripted.url(f"/{name}"))
    box = process.question()
    process.answer(IDOK)
    assert process.wait_exit(RUN_DEADLINE_MS)["exited"]
    texts = language_texts(runner.install.folder / "FENNICKMSG.MLG")[0x0409]
    assert box["caption"] == texts[1] and box["buttons"] == [IDOK], box
    # Our sentence, then the system's reason.
    assert box["text"].startswith(texts[5] + "\r\n") and len(box["text"]) > len(texts[5]) + 2, box
    assert not download.target.exists() and not download.state.exists()
    assert not runner.marker("QXChkErr.exe").exists()
