"""QXHttp.dll on its own, under Wine, against nginx and our scripted server on 127.0.0.1.

A small harness (qxhttp_harness.exe) loads the library by full path and makes the one
QXGFWCB call the installer makes; it logs every progress callback ("cb <perMille>") and the
result, so the tests see exactly what the installer would see.
"""
from __future__ import annotations

import configparser
import hashlib
import os
import subprocess
import threading
from dataclasses import dataclass
from pathlib import Path
from typing import List, Optional, Sequence

import pytest

from servers.certificates import make_test_certificates, trusted_in_wine_prefix, windows_path
from servers.http import Fault, NginxServer, ScriptedHttpServer, nginx_with_test_certificates
from servers.polling import wait_until

ROOT = Path(__file__).resolve().parents[2]
BUILD_ROOT = Path(os.environ.get("FENNICK_BUILD_ROOT") or ROOT / "build")
BUILD_DIR = Path(os.environ.get("FENNICK_BUILD_DIR") or BUILD_ROOT / "x86_64")
LIBRARY = BUILD_DIR / "kit" / "QXHttp.dll"
HARNESS = BUILD_DIR / "tests-bin" / "qxhttp_harness.exe"
TRUST_TOOL = BUILD_DIR / "tests-bin" / "trust_test_root.exe"
WINE_RUN = ROOT / "scripts" / "wine-run"

MIB = 1024 * 1024
DEADLINE = 120  # seconds; generous, only a hung run ever reaches it


def random_bytes(size: int, seed: int) -> bytes:
    """Reproducible bytes that no two seeds share (a splice would show)."""
    out = bytearray()
    block = hashlib.sha256(str(seed).encode()).digest()
    while len(out) < size:
        block = hashlib.sha256(block).digest()
        out += block * 64
    return bytes(out[:size])


def sha256(data: bytes) -> str:
    return hashlib.sha256(data).hexdigest()


# ---------------------------------------------------------------------------------------------
# running Windows programs


def run_windows_program(argv: Sequence[str], log: Optional[Path] = None, timeout: int = DEADLINE) -> int:
    """Runs a program in the test prefix; output goes to a file (a pipe could hang on Wine's
    long-lived helper processes)."""
    log = log or Path(os.environ.get("TMPDIR", "/tmp")) / f"qxhttp-wine-{os.getpid()}.log"
    with open(log, "wb") as out:
        return subprocess.run([str(WINE_RUN), *argv], stdout=out, stderr=subprocess.STDOUT,
                              stdin=subprocess.DEVNULL, timeout=timeout).returncode


@dataclass
class Download:
    """One harness run: the target path and the files the library keeps beside it."""
    target: Path

    @property
    def partial(self) -> Path:
        return Path(str(self.target) + "_tmp")

    @property
    def state(self) -> Path:
        return Path(str(self.target) + "_tmp_sz")

    @property
    def log(self) -> Path:
        return Path(str(self.target) + ".harness.log")

    def state_value(self, key: str, section: str = "Main") -> Optional[str]:
        if not self.state.exists():
            return None
        parser = configparser.RawConfigParser()
        parser.optionxform = str
        parser.read_string(self.state.read_bytes().decode("latin-1"))
        return parser.get(section, key, fallback=None)

    def partial_bytes(self) -> bytes:
        return self.partial.read_bytes() if self.partial.exists() else b""

    def log_lines(self) -> List[str]:
        return self.log.read_text().splitlines() if self.log.exists() else []

    def callbacks(self) -> List[int]:
        return [int(line.split()[1]) for line in self.log_lines() if line.startswith("cb ")]

    def result(self) -> Optional[int]:
        results = [int(line.split()[1]) for line in self.log_lines() if line.startswith("result ")]
        return results[-1] if results else None

    def start(self, url: str, max_redirects: int = 10, stop_after: Optional[int] = None) -> subprocess.Popen:
        """Starts one QXGFWCB call in the background (the log is fresh for each call)."""
        self.log.unlink(missing_ok=True)
        argv = [str(WINE_RUN), str(HARNESS), windows_path(LIBRARY), url, windows_path(self.target),
                str(max_redirects), windows_path(self.log)]
        if stop_after is not None:
            argv += ["stop-after", str(stop_after)]
        out = open(str(self.target) + ".wine.log", "wb")
        process = subprocess.Popen(argv, stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        out.close()
        return process

    def run(self, url: str, max_redirects: int = 10, stop_after: Optional[int] = None) -> int:
        process = self.start(url, max_redirects, stop_after)
        process.wait(timeout=DEADLINE)
        result = self.result()
        assert result is not None, f"harness ended without a result: {self.log_lines()}"
        return result


# ---------------------------------------------------------------------------------------------
# fixtures


@pytest.fixture(scope="module")
def certificates(tmp_path_factory):
    certs = make_test_certificates(tmp_path_factory.mktemp("certificates"))
    with trusted_in_wine_prefix(certs.authority.certificate, run_windows_program, TRUST_TOOL):
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
def download(tmp_path) -> Download:
    return Download(tmp_path / "pkg.exe")


def publish(web_root: Path, name: str, data: bytes, mtime: Optional[float] = None) -> bytes:
    path = web_root / name
    path.write_bytes(data)
    if mtime is not None:
        os.utime(path, (mtime, mtime))
    return data


def requests_to(nginx: NginxServer, uri: str) -> List[dict]:
    return [r for r in nginx.requests() if r["uri"] == uri]


# ---------------------------------------------------------------------------------------------
# whole downloads


@pytest.mark.parametrize("scheme", ["http", "https"])
def test_fresh_download_is_identical_and_keeps_other_state_keys(scheme, nginx, web_root, download):
    data = publish(web_root, f"fresh-{scheme}.bin", random_bytes(3 * MIB + 123, seed=1))
    download.state.write_text("[Main]\r\nRetryCount=2\r\n[Other]\r\nkeep=yes\r\n")
    # The query string must reach the server exactly as written.
    uri = f"/fresh-{scheme}.bin?ver=1.2&name=a%2Fb%20c"
    url = nginx.http_url(uri) if scheme == "http" else nginx.https_url("valid", uri)

    assert download.run(url) == 1
    assert sha256(download.partial_bytes()) == sha256(data)
    assert download.state_value("size") == str(len(data))
    assert download.state_value("RetryCount") == "2"
    assert download.state_value("keep", section="Other") == "yes"
    callbacks = download.callbacks()
    assert callbacks and callbacks[-1] == 1000
    assert callbacks == sorted(callbacks) and all(0 <= c <= 1000 for c in callbacks)
    assert [r["status"] for r in requests_to(nginx, uri)] == [200]


def test_complete_partial_file_is_recognised_without_a_body(nginx, web_root, download):
    data = publish(web_root, "complete.bin", random_bytes(MIB, seed=2))
    assert download.run(nginx.http_url("/complete.bin")) == 1

    assert download.run(nginx.http_url("/complete.bin")) == 1
    last = requests_to(nginx, "/complete.bin")[-1]
    assert (last["status"], last["range"]) == (416, f"bytes={len(data)}-")
    assert download.partial_bytes() == data
    assert download.callbacks() == [1000]


def test_body_without_a_length_is_never_taken_as_whole(scripted, download):
    # Chunked framing alone cannot prove the end here: WinHTTP under Wine reports a chunked
    # body that was cut short as complete. So without a length the call fails at once.
    data = random_bytes(2 * MIB + 5, seed=3)
    scripted.set_file("/chunked.bin", data, chunked=True)
    assert download.run(scripted.url("/chunked.bin")) == 0
    assert download.state_value("size") is None
    assert download.callbacks() == []


# ---------------------------------------------------------------------------------------------
# resume


def test_stop_request_ends_the_call_and_the_next_run_resumes_with_a_range(nginx, web_root, download):
    data = publish(web_root, "resume.bin", random_bytes(8 * MIB, seed=4))
    url = nginx.http_url("/resume.bin")

    assert download.run(url, stop_after=1) == 0
    assert download.callbacks() == [download.callbacks()[0]], "nothing after the stop answer"
    kept = download.partial_bytes()
    assert 0 < len(kept) < len(data) and kept == data[:len(kept)]
    assert download.state_value("size") == str(len(data))

    assert download.run(url) == 1
    assert sha256(download.partial_bytes()) == sha256(data)
    first, second = requests_to(nginx, "/resume.bin")
    assert first["range"] == "" and first["status"] == 200
    assert second["range"] == f"bytes={len(kept)}-" and second["if_range"].startswith('"')
    assert second["status"] == 206 and second["bytes"] == len(data) - len(kept)


def test_file_changed_on_the_server_restarts_from_zero(nginx, web_root, download):
    old = publish(web_root, "changing.bin", random_bytes(4 * MIB, seed=5), mtime=1_600_000_000)
    url = nginx.http_url("/changing.bin")
    assert download.run(url, stop_after=1) == 0
    assert 0 < len(download.partial_bytes()) < len(old)

    # Same size, new content and date: only the validator tells them apart.
    new = publish(web_root, "changing.bin", random_bytes(4 * MIB, seed=6), mtime=1_700_000_000)
    assert download.run(url) == 1
    assert sha256(download.partial_bytes()) == sha256(new), "never spliced"
    last = requests_to(nginx, "/changing.bin")[-1]
    assert last["range"] != "" and last["status"] == 200


def test_cut_body_fails_and_the_next_run_continues_it(scripted, download):
    data = random_bytes(3 * MIB, seed=7)
    scripted.set_file("/cut.bin", data)
    scripted.add_fault("/cut.bin", Fault(cut_after=MIB + 17))

    assert download.run(scripted.url("/cut.bin")) == 0, "a short body is a failure"
    assert download.partial_bytes() == data[:MIB + 17]

    assert download.run(scripted.url("/cut.bin")) == 1
    assert download.partial_bytes() == data
    second = scripted.requests_for("/cut.bin")[1]
    assert second.headers["range"] == f"bytes={MIB + 17}-"
    assert second.headers["if-range"] == scripted.etag("/cut.bin")
    assert second.status == 206


@pytest.mark.parametrize("validators", ["last-modified only", "none"])
def test_resume_uses_the_date_or_starts_over_without_a_validator(validators, scripted, download):
    data = random_bytes(2 * MIB, seed=8)
    date = "Tue, 01 Aug 2023 10:00:00 GMT" if validators == "last-modified only" else None
    scripted.set_file("/weak.bin", data, etag='W/"weak"', last_modified=date)
    scripted.add_fault("/weak.bin", Fault(cut_after=MIB))
    assert download.run(scripted.url("/weak.bin")) == 0

    assert download.run(scripted.url("/weak.bin")) == 1
    assert download.partial_bytes() == data
    second = scripted.requests_for("/weak.bin")[1]
    if date:
        assert (second.headers.get("if-range"), second.status) == (date, 206)
    else:
        assert "range" not in second.headers and second.status == 200


def test_server_ignoring_range_restarts_from_zero(scripted, download):
    data = random_bytes(3 * MIB, seed=9)
    scripted.set_file("/norange.bin", data, honor_range=False)
    scripted.add_fault("/norange.bin", Fault(cut_after=MIB))
    assert download.run(scripted.url("/norange.bin")) == 0

    assert download.run(scripted.url("/norange.bin")) == 1
    assert sha256(download.partial_bytes()) == sha256(data)
    second = scripted.requests_for("/norange.bin")[1]
    assert second.headers["range"] == f"bytes={MIB}-" and second.status == 200


# ---------------------------------------------------------------------------------------------
# failures


@pytest.mark.parametrize("certificate", ["expired", "wrong_host", "untrusted"])
def test_bad_certificates_fail_before_any_request(certificate, nginx, web_root, download):
    publish(web_root, "secure.bin", random_bytes(64 * 1024, seed=10))
    assert download.run(nginx.https_url(certificate, "/secure.bin")) == 0
    assert download.partial_bytes() == b""
    assert download.state_value("size") is None
    port = nginx.https_ports[certificate]
    assert [r for r in nginx.requests() if r["port"] == port] == []


def test_missing_file_fails_without_recording_a_size(nginx, download):
    assert download.run(nginx.http_url("/no-such-file.bin")) == 0
    assert download.partial_bytes() == b""
    assert download.state_value("size") is None
    assert download.callbacks() == []


def test_redirect_from_https_to_http_is_refused(certificates, download):
    with ScriptedHttpServer() as plain, ScriptedHttpServer(certificates.valid) as secure:
        plain.set_file("/pkg.bin", random_bytes(1000, seed=11))
        secure.redirect("/pkg.bin", plain.url("/pkg.bin"), 302)
        assert download.run(secure.url("/pkg.bin")) == 0
        assert [r.status for r in secure.requests] == [302]
        assert plain.requests == []


def test_redirects_are_followed_up_to_the_limit(nginx, web_root, scripted, download):
    data = publish(web_root, "moved.bin", random_bytes(MIB, seed=12))
    # http -> relative -> absolute-path -> https: three redirects.
    scripted.redirect("/a/start", "next", 301)
    scripted.redirect("/a/next", "/b/last", 307)
    scripted.redirect("/b/last", nginx.https_url("valid", "/moved.bin"), 302)

    assert download.run(scripted.url("/a/start"), max_redirects=2) == 0
    assert [r.target for r in scripted.requests] == ["/a/start", "/a/next", "/b/last"]

    assert download.run(scripted.url("/a/start"), max_redirects=3) == 1
    assert download.partial_bytes() == data


def test_redirect_loop_ends_after_the_limit(scripted, download):
    scripted.redirect("/loop", "/loop", 302)
    assert download.run(scripted.url("/loop"), max_redirects=10) == 0
    assert len(scripted.requests) == 11, "the first request and ten redirects followed"


# ---------------------------------------------------------------------------------------------
# progress while the server holds back


def test_size_is_recorded_before_the_body_arrives(scripted, download):
    data = random_bytes(2 * MIB, seed=13)
    scripted.set_file("/early.bin", data)
    fault = scripted.add_fault("/early.bin", Fault(hold_after=1000))
    process = download.start(scripted.url("/early.bin"))
    try:
        assert fault.reached.wait(DEADLINE)
        wait_until(lambda: download.state_value("size") == str(len(data)), "the size key while the body is held", DEADLINE)
    finally:
        fault.release.set()
        process.wait(timeout=DEADLINE)
    assert download.result() == 1
    assert download.partial_bytes() == data


def test_stalled_server_gets_no_callbacks_and_the_library_keeps_waiting(scripted, download):
    data = random_bytes(2 * MIB, seed=14)
    scripted.set_file("/stall.bin", data)
    # Half the file, then nothing for a few seconds: 500 per mille is reached by the last byte
    # before the stall and by no earlier one.
    fault = scripted.add_fault("/stall.bin", Fault(hold_after=MIB))
    stall_seconds = 3.5  # longer than the once-a-second report interval, far below the timeouts
    counts = {}

    def release():
        counts["at release"] = len(download.callbacks())
        fault.release.set()

    process = download.start(scripted.url("/stall.bin"))
    try:
        wait_until(lambda: 500 in download.callbacks(), "the report of the bytes sent before the stall", DEADLINE)
        counts["at stall"] = len(download.callbacks())
        timer = threading.Timer(stall_seconds, release)
        timer.start()
        process.wait(timeout=DEADLINE)
        timer.join()
    finally:
        fault.release.set()
    assert counts["at release"] == counts["at stall"], "a callback came while no bytes arrived"
    assert download.result() == 1, "the library waits through a stall shorter than its timeout"
    assert download.partial_bytes() == data
