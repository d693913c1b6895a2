# HTTP and HTTPS downloads under Wine against nginx (test CA trusted only inside the prefix) and
# the scripted server on 127.0.0.1: Fennick.exe with QXHttp.dll, and QXHttp.dll on its own through
# `fnkdriver http` (one QXGFWCB call; every callback logged) for what the installer cannot show.
import re
import subprocess
import threading

import pytest

from fennick import RUN_DEADLINE_MS, Download, state_values
from servers.http import Fault, ScriptedHttpServer, nginx_with_test_certificates
from servers.polling import wait_until

MIB = 1024 * 1024
SIZE, CUT = 2 * MIB + 777, 700000


@pytest.fixture(scope="module")
def web_root(tmp_path_factory):
    return tmp_path_factory.mktemp("www")


@pytest.fixture(scope="module")
def nginx(web_root, certificates):
    with nginx_with_test_certificates(web_root, certificates) as server:
        yield server


@pytest.fixture
def scripted():
    with ScriptedHttpServer() as server:
        yield server


# ---------------------------------------------------------------------------------------------
# Fennick.exe


@pytest.mark.parametrize("scheme", ["http", "https"])
def test_whole_download_keeps_the_query_and_names_the_file_from_the_decoded_path(runner, nginx, web_root, name, download_dir, scheme):
    stem = name[:-len(".exe")]
    data = runner.package(SIZE, 1)
    (web_root / f"{stem} v2.exe").write_bytes(data)
    uri = f"/{stem}%20v2.exe?ver=1.2&name=a%2Fb%20c"
    runner.run(nginx.http_url(uri) if scheme == "http" else nginx.https_url("valid", uri))
    download = Download(download_dir, f"{stem} v2.exe")
    runner.assert_success(download, data)
    assert state_values(download.state)["size"] == str(SIZE)
    assert [r["status"] for r in nginx.requests() if r["uri"] == uri] == [200]


@pytest.mark.parametrize("server_side", ["unchanged", "file changed", "range ignored"])
def test_interrupted_download_is_counted_then_resumed_with_a_range_or_fetched_whole(runner, scripted, name, download_dir, server_side):
    old = runner.package(SIZE, 2)
    scripted.set_file(f"/{name}", old, honor_range=server_side != "range ignored")
    scripted.add_fault(f"/{name}", Fault(cut_after=CUT))
    download = Download(download_dir, name)
    runner.run(scripted.url(f"/{name}"))
    runner.assert_counted_failure(download, "1")
    assert download.partial.read_bytes() == old[:CUT]

    new = runner.package(SIZE, 3) if server_side == "file changed" else old
    scripted.set_file(f"/{name}", new, honor_range=server_side != "range ignored")
    runner.forget_markers()
    runner.run(scripted.url(f"/{name}"))
    runner.assert_success(download, new)
    second = scripted.requests[-1]
    assert second.headers.get("range") == f"bytes={CUT}-" and second.headers.get("if-range"), second
    assert (second.status, second.body_bytes) == ((206, SIZE - CUT) if server_side == "unchanged" else (200, SIZE))


def test_megabytes_show_once_the_library_has_recorded_the_size(runner, scripted, name, download_dir):
    data = runner.package(3 * MIB, 4)
    scripted.set_file(f"/{name}", data)
    fault = scripted.add_fault(f"/{name}", Fault(hold_after=MIB))
    process = runner.start(scripted.url(f"/{name}"))
    try:
        assert fault.reached.wait(RUN_DEADLINE_MS / 1000)
        # The dialog's total is 0 under HTTP: the 3.0 MB can only come from the state file.
        wait_until(lambda: re.fullmatch(r"\d+\.\dMB / 3\.0MB", process.dialog()["controls"]["1002"]["text"]), "MB shown", 15)
    finally:
        fault.release.set()
    assert process.wait_exit(RUN_DEADLINE_MS)["exited"]
    runner.assert_success(Download(download_dir, name), data)


CERTIFICATES = {"expired certificate": "expired", "certificate for another host": "wrong_host",
                "untrusted certificate": "untrusted"}


@pytest.mark.parametrize("case", ["missing file", *CERTIFICATES, "redirect from https to http", "stall", "missing library"])
def test_refused_or_failed_downloads_are_counted(runner, nginx, certificates, web_root, scripted, name, download_dir, case):
    (web_root / name).write_bytes(runner.package(SIZE, 5))
    scripted.set_file(f"/{name}", runner.package(SIZE, 5))
    url = nginx.https_url(CERTIFICATES.get(case, "valid"), f"/{name}")
    if case == "missing file":
        (web_root / name).unlink()
    if case == "stall":  # the 20 s watchdog ends the worker
        url = scripted.url(f"/{name}")
        scripted.add_fault(f"/{name}", Fault(hold_after=CUT))
    if case == "missing library":  # no box waits for an answer: the run ends by itself
        runner.install.remove("QXHttp.dll")
    with ScriptedHttpServer(certificates.valid) as secure:
        secure.redirect(f"/{name}", nginx.http_url(f"/{name}"))
        assert runner.start(secure.url(f"/{name}") if case.startswith("redirect") else url).wait_exit(90000)["exited"]
    download = Download(download_dir, name)
    runner.assert_counted_failure(download, "1")
    assert ("size" in state_values(download.state)) == (case == "stall")
    assert [r["status"] for r in nginx.requests() if r["uri"] == f"/{name}"] == ([404] if case == "missing file" else [])


# ---------------------------------------------------------------------------------------------
# QXHttp.dll on its own


class Call:
    # QXGFWCB into target through fnkdriver; the library keeps target_tmp and target_tmp_sz.

    def __init__(self, wine, target):
        self.wine, self.target, self.log = wine, target, target.with_suffix(".log")
        self.partial, self.state = target.with_name(target.name + "_tmp"), target.with_name(target.name + "_tmp_sz")

    def start(self, url, max_redirects=10, stop_after=0):
        self.log.unlink(missing_ok=True)
        argv = [str(self.wine.tests_bin / "fnkdriver.exe"), "http", self.wine.windows_path(self.wine.kit_dir / "QXHttp.dll"), url,
                self.wine.windows_path(self.target), str(max_redirects), self.wine.windows_path(self.log), str(stop_after)]
        with open(self.target.with_suffix(".out"), "wb") as out:  # a file: a pipe would hang on Wine's helpers
            return subprocess.Popen(["/usr/lib/wine/wine64", *argv], env=self.wine.environment(), stdout=out,
                                    stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)

    def run(self, url, **options):
        self.start(url, **options).wait(timeout=120)
        return self.result()

    def lines(self, kind):
        return [int(line.split()[1]) for line in (self.log.read_text().splitlines() if self.log.exists() else []) if line.startswith(kind)]

    def callbacks(self):
        return self.lines("cb ")

    def result(self):
        return (self.lines("result ") or [None])[-1]

    def data(self):
        return self.partial.read_bytes() if self.partial.exists() else b""


@pytest.fixture
def call(wine, tmp_path):
    return Call(wine, tmp_path / "pkg.exe")


def test_complete_partial_file_is_recognised_by_416_and_other_state_keys_are_kept(call, nginx, web_root):
    data = b"\x5a" * MIB
    (web_root / "complete.bin").write_bytes(data)
    call.state.write_text("[Main]\r\nRetryCount=2\r\n[Other]\r\nkeep=yes\r\n")
    assert call.run(nginx.http_url("/complete.bin")) == 1 and call.run(nginx.http_url("/complete.bin")) == 1
    last = [r for r in nginx.requests() if r["uri"] == "/complete.bin"][-1]
    assert (last["status"], last["range"], call.data(), call.callbacks()) == (416, f"bytes={MIB}-", data, [1000])
    assert (state_values(call.state)["RetryCount"], state_values(call.state)["size"]) == ("2", str(MIB))
    assert state_values(call.state, "Other") == {"keep": "yes"}


def test_body_without_a_length_is_never_taken_as_whole(call, scripted):
    # WinHTTP under Wine reports a cut chunked body as complete: without a length the call fails at once.
    scripted.set_file("/chunked.bin", b"c" * (2 * MIB), chunked=True)
    assert call.run(scripted.url("/chunked.bin")) == 0 and "size" not in state_values(call.state) and call.callbacks() == []


@pytest.mark.parametrize("validators", ["strong etag", "last-modified only", "none"])
def test_resume_sends_the_validator_or_starts_over_without_one(call, scripted, validators):
    date = "Tue, 01 Aug 2023 10:00:00 GMT"
    scripted.set_file("/v.bin", data := bytes(range(256)) * 8192, etag={"strong etag": "auto"}.get(validators, 'W/"weak"'),
                      last_modified=date if validators != "none" else None)
    scripted.add_fault("/v.bin", Fault(cut_after=MIB))
    assert call.run(scripted.url("/v.bin")) == 0 and call.data() == data[:MIB]
    assert call.run(scripted.url("/v.bin")) == 1 and call.data() == data
    second = scripted.requests_for("/v.bin")[1]
    expected = {"strong etag": scripted.etag("/v.bin"), "last-modified only": date, "none": None}[validators]
    assert (second.headers.get("if-range"), second.status) == (expected, 206 if expected else 200), second


def test_redirects_are_followed_up_to_the_limit_and_a_loop_ends(call, nginx, web_root, scripted):
    (web_root / "moved.bin").write_bytes(data := b"m" * MIB)
    # http -> relative -> absolute path -> https: three redirects.
    scripted.redirect("/a/start", "next", 301)
    scripted.redirect("/a/next", "/b/last", 307)
    scripted.redirect("/b/last", nginx.https_url("valid", "/moved.bin"), 302)
    assert call.run(scripted.url("/a/start"), max_redirects=2) == 0
    assert [r.target for r in scripted.requests] == ["/a/start", "/a/next", "/b/last"]
    assert call.run(scripted.url("/a/start"), max_redirects=3) == 1 and call.data() == data
    scripted.redirect("/loop", "/loop", 302)
    assert call.run(scripted.url("/loop"), max_redirects=10) == 0
    assert len(scripted.requests_for("/loop")) == 11, "the first request and ten redirects followed"


def test_stop_answer_ends_the_call_and_a_stall_gets_no_callbacks(call, scripted):
    scripted.set_file("/s.bin", data := bytes(range(256)) * 8192)
    assert call.run(scripted.url("/s.bin"), stop_after=1) == 0 and len(call.callbacks()) == 1, "nothing after the stop"
    call.partial.unlink(missing_ok=True)
    call.state.unlink(missing_ok=True)
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
