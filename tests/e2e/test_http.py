# HTTP and HTTPS downloads under Wine against the scripted servers on 127.0.0.1 (test CA trusted
# only inside the prefix): Fennick.exe with QXHttp.dll, and QXHttp.dll on its own through
# `fnkdriver http` (one QXGFWCB call; every callback logged) for what the installer cannot show.
import json
import re
import threading

import pytest

from fennick import RUN_DEADLINE_MS, Download, LibraryCall, state_values
from servers.http import Fault, WebServers
from servers.polling import wait_until

MIB = 1024 * 1024
SIZE, CUT = 2 * MIB + 777, 700000


@pytest.fixture(scope="module")
def web(certificates):
    with WebServers(certificates) as servers:
        yield servers


# ---------------------------------------------------------------------------------------------
# Fennick.exe


@pytest.mark.parametrize("scheme", ["http", "https"])
def test_whole_download_keeps_the_query_and_names_the_file_from_the_decoded_path(runner, web, name, download_dir, scheme):
    stem = name[:-len(".exe")]
    web.set_file(f"/{stem}%20v2.exe", data := runner.package(SIZE, 1))
    uri = f"/{stem}%20v2.exe?ver=1.2&name=a%2Fb%20c"
    runner.run(web.url("http" if scheme == "http" else "valid", uri))
    download = Download(download_dir, f"{stem} v2.exe")
    runner.assert_success(download, data)
    assert state_values(download.state)["size"] == str(SIZE)
    assert [(r.target, r.status) for r in web.requests_for(f"/{stem}%20v2.exe")] == [(uri, 200)]


@pytest.mark.parametrize("server_side", ["unchanged", "file changed"])
def test_interrupted_download_is_counted_then_resumed_with_a_range_or_fetched_whole(runner, scripted, name, download_dir, server_side):
    old = runner.package(SIZE, 2)
    scripted.set_file(f"/{name}", old)
    scripted.add_fault(f"/{name}", Fault(cut_after=CUT))
    download = Download(download_dir, name)
    runner.run(scripted.url(f"/{name}"))
    runner.assert_counted_failure(download, "1")
    assert download.partial.read_bytes() == old[:CUT]

    new = runner.package(SIZE, 3) if server_side == "file changed" else old
    scripted.set_file(f"/{name}", new)
    runner.forget_markers()
    runner.run(scripted.url(f"/{name}"))
    runner.assert_success(download, new)
    second = scripted.requests[-1]
    assert second.headers.get("range") == f"bytes={CUT}-" and second.headers.get("if-range"), second
    assert (second.status, second.body_bytes) == ((206, SIZE - CUT) if server_side == "unchanged" else (200, SIZE))


@pytest.mark.parametrize("hold_ms, succeeds", [(2000, True), (15000, False)], ids=["released after 2 s", "held past the retries"])
def test_megabytes_show_and_a_partial_file_held_by_a_scanner_is_moved_once_released(wine, runner, scripted, name, download_dir, hold_ms, succeeds):
    # The hold (read access, no FILE_SHARE_DELETE) begins while the server holds the body back, so
    # the whole file arrives and its move is tried while another program still has it open.
    data, download = runner.package(SIZE, 6), Download(download_dir, name)
    scripted.set_file(f"/{name}", data)
    fault = scripted.add_fault(f"/{name}", Fault(hold_after=CUT))
    process = runner.start(scripted.url(f"/{name}"))
    try:
        assert fault.reached.wait(RUN_DEADLINE_MS / 1000)
        # The dialog's total is 0 under HTTP: the 2.0 MB can only come from the state file.
        wait_until(lambda: re.fullmatch(r"\d+\.\dMB / 2\.0MB", process.dialog()["controls"]["1002"]["text"]), "MB shown", 15)
        holder = wine.start([wine.tests_bin / "fnkdriver.exe", "hold", "--file", wine.windows_path(download.partial), "--ms", str(hold_ms)])
        wait_until(lambda: '"holding": true' in holder.log.read_text(), "the file held", 30)
    finally:
        fault.release.set()
    assert process.wait_exit(RUN_DEADLINE_MS)["exited"] and holder.wait(60) == 0
    assert json.loads(holder.log.read_text().splitlines()[-1])["size"] == SIZE, "the download ended before the hold did"
    if succeeds:
        runner.assert_success(download, data)
    else:
        runner.assert_counted_failure(download, "1")


CERTIFICATES = {"expired certificate": "expired", "certificate for another host": "wrong_host",
                "untrusted certificate": "untrusted"}
REQUESTS = {"missing file": [404], "redirect from https to http": [302], "stall": [200]}  # as the servers saw them


@pytest.mark.parametrize("case", ["missing file", *CERTIFICATES, "redirect from https to http", "stall", "missing library"])
def test_refused_or_failed_downloads_are_counted(runner, web, name, download_dir, case):
    if case != "missing file":
        web.set_file(f"/{name}", runner.package(SIZE, 5))
    if case == "stall":  # the 20 s watchdog ends the worker
        web.servers["valid"].add_fault(f"/{name}", Fault(hold_after=CUT))
    if case.startswith("redirect"):
        web.servers["valid"].redirect(f"/{name}", web.url("http", f"/{name}"))
    if case == "missing library":  # no box waits for an answer: the run ends by itself
        (runner.install.folder / "QXHttp.dll").unlink()
    assert runner.start(web.url(CERTIFICATES.get(case, "valid"), f"/{name}")).wait_exit(90000)["exited"]
    download = Download(download_dir, name)
    runner.assert_counted_failure(download, "1")
    assert ("size" in state_values(download.state)) == (case == "stall")
    assert [r.status for r in web.requests_for(f"/{name}")] == REQUESTS.get(case, [])


# ---------------------------------------------------------------------------------------------
# QXHttp.dll on its own


class Call(LibraryCall):
    # QXGFWCB into target; the library keeps target_tmp and target_tmp_sz.

    def __init__(self, wine, target):
        super().__init__(wine, "QXHttp.dll", target.with_suffix(".jsonl"))
        self.target, self.partial, self.state = target, target.with_name(target.name + "_tmp"), target.with_name(target.name + "_tmp_sz")

    def start(self, url, max_redirects=10, stop_at=-1):
        return super().start(f"http|{url}|{self.wine.windows_path(self.target)}|{max_redirects}|{stop_at}")

    def run(self, url, **options):
        self.start(url, **options).wait(timeout=120)
        return self.result()

    def result(self):
        return ([None] + [r["result"] for r in self.records()])[-1]

    def data(self):
        return self.partial.read_bytes() if self.partial.exists() else b""


@pytest.fixture
def call(wine, tmp_path):
    return Call(wine, tmp_path / "pkg.exe")


def test_redirects_are_followed_up_to_the_limit_and_a_loop_ends(call, web, scripted):
    web.set_file("/moved.bin", data := b"m" * MIB)
    # http -> relative -> absolute path -> https: three redirects.
    scripted.redirect("/a/start", "next", 301)
    scripted.redirect("/a/next", "/b/last", 307)
    scripted.redirect("/b/last", web.url("valid", "/moved.bin"), 302)
    assert call.run(scripted.url("/a/start"), max_redirects=2) == 0
    assert [r.target for r in scripted.requests] == ["/a/start", "/a/next", "/b/last"]
    assert call.run(scripted.url("/a/start"), max_redirects=3) == 1 and call.data() == data
    scripted.redirect("/loop", "/loop", 302)
    assert call.run(scripted.url("/loop"), max_redirects=10) == 0
    assert len(scripted.requests_for("/loop")) == 11, "the first request and ten redirects followed"


def test_stop_answer_ends_the_call_a_stall_gets_no_callbacks_and_a_complete_file_is_recognised_by_416(call, scripted):
    scripted.set_file("/s.bin", data := bytes(range(256)) * 8192)
    assert call.run(scripted.url("/s.bin"), stop_at=0) == 0 and len(call.callbacks()) == 1, "nothing after the stop"
    call.partial.unlink(missing_ok=True)
    call.state.write_text("[Main]\r\nRetryCount=2\r\n[Other]\r\nkeep=yes\r\n")  # keys of others, to be kept
    # Half the file, then nothing for 3.5 s (above the once-a-second report interval, below the time-outs).
    fault = scripted.add_fault("/s.bin", Fault(hold_after=MIB))
    process = call.start(scripted.url("/s.bin"))
    wait_until(lambda: 500 in call.callbacks(), "the report of the bytes sent before the stall", 60)
    at_stall, counts = len(call.callbacks()), []
    assert state_values(call.state)["size"] == str(2 * MIB), "the size is recorded before the body is whole"
    threading.Timer(3.5, lambda: (counts.append(len(call.callbacks())), fault.release.set())).start()
    process.wait(timeout=120)
    assert counts == [at_stall], "a callback came while no bytes arrived"
    assert call.result() == 1 and call.data() == data
    assert call.run(scripted.url("/s.bin")) == 1 and call.data() == data and call.callbacks() == [1000]
    last = scripted.requests_for("/s.bin")[-1]
    assert (last.status, last.headers.get("range"), state_values(call.state)["RetryCount"]) == (416, f"bytes={2 * MIB}-", "2")
    assert state_values(call.state, "Other") == {"keep": "yes"}
