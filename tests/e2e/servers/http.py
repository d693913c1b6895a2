"""HTTP and HTTPS servers for tests, as context managers, each bound to 127.0.0.1 on free ports.

NginxServer       serves a folder over HTTP and, per named certificate, over HTTPS; its access
                  log (requests()) shows each request's Range/If-Range and the status sent.
ScriptedHttpServer a small server of our own for faults: files that ignore Range, bodies cut
                  short or held back, redirects, changes between runs; it logs every request.

HTTPS needs the test CA trusted inside the Wine prefix (never on the host):

    certs = make_test_certificates(tmp / "certs")            # servers.certificates
    with trusted_in_wine_prefix(certs.authority.certificate, run_windows_program,
                                build_dir / "tests-bin" / "trust_test_root.exe"):
        with NginxServer(www, {"valid": certs.valid, "expired": certs.expired}) as web:
            url = web.https_url("valid", "/pkg.exe")
"""
from __future__ import annotations

import email.utils
import hashlib
import json
import os
import signal
import socket
import ssl
import subprocess
import threading
import time
from dataclasses import dataclass, field
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path
from typing import Dict, List, Mapping, Optional, Tuple

from .certificates import ServerCertificate

LOOPBACK = "127.0.0.1"


def free_port() -> int:
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind((LOOPBACK, 0))
        return probe.getsockname()[1]


def wait_for_port(port: int, deadline_seconds: float = 10.0) -> bool:
    deadline = time.monotonic() + deadline_seconds
    while time.monotonic() < deadline:
        try:
            with socket.create_connection((LOOPBACK, port), timeout=0.5):
                return True
        except OSError:
            time.sleep(0.05)
    return False


# ---------------------------------------------------------------------------------------------
# nginx


class NginxServer:
    """nginx serving `root` over HTTP and over HTTPS with each named certificate.

        with NginxServer(root, {"valid": certs.valid, "expired": certs.expired}) as web:
            web.http_url("/pkg.exe"); web.https_url("valid", "/pkg.exe"); web.requests()
    """

    def __init__(self, root: Path, tls: Optional[Mapping[str, ServerCertificate]] = None,
                 work_dir: Optional[Path] = None):
        self.root = Path(root).resolve()
        self.tls = dict(tls or {})
        self.work_dir = Path(work_dir) if work_dir else self.root.parent / f"nginx-{os.getpid()}-{id(self)}"
        self.http_port = 0
        self.https_ports: Dict[str, int] = {}
        self._process: Optional[subprocess.Popen] = None

    # -- URLs and log

    def http_url(self, path: str) -> str:
        return f"http://{LOOPBACK}:{self.http_port}{path}"

    def https_url(self, certificate_name: str, path: str, host: str = LOOPBACK) -> str:
        return f"https://{host}:{self.https_ports[certificate_name]}{path}"

    @property
    def access_log(self) -> Path:
        return self.work_dir / "access.log"

    def requests(self) -> List[dict]:
        """One dict per finished request: uri, status, range, if_range, bytes, port."""
        if not self.access_log.exists():
            return []
        return [json.loads(line) for line in self.access_log.read_text().splitlines() if line.strip()]

    # -- life cycle

    def __enter__(self) -> "NginxServer":
        self.work_dir.mkdir(parents=True, exist_ok=True)
        for temp in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"):
            (self.work_dir / temp).mkdir(exist_ok=True)
        last_error = ""
        for _ in range(3):  # a free port may be taken between probe and bind: try fresh ones
            self.http_port = free_port()
            self.https_ports = {name: free_port() for name in self.tls}
            config = self.work_dir / "nginx.conf"
            config.write_text(self._config())
            self._process = subprocess.Popen(
                ["nginx", "-p", str(self.work_dir), "-c", str(config), "-e", str(self.work_dir / "error.log")],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                start_new_session=True)
            ports = [self.http_port, *self.https_ports.values()]
            if all(wait_for_port(port) for port in ports):
                return self
            last_error = (self.work_dir / "error.log").read_text() if (self.work_dir / "error.log").exists() else ""
            self._stop()
        raise RuntimeError(f"nginx did not start:\n{last_error}")

    def __exit__(self, *exc) -> None:
        self._stop()

    def _stop(self) -> None:
        if self._process is None:
            return
        if self._process.poll() is None:
            self._process.terminate()  # nginx's fast shutdown ends its workers too
            try:
                self._process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(self._process.pid, signal.SIGKILL)  # our own session's group only
                self._process.wait()
        self._process = None

    def _config(self) -> str:
        run_as = "user root root;\n" if os.geteuid() == 0 else ""
        servers = [self._server_block(f"{LOOPBACK}:{self.http_port}", "")]
        for name, certificate in self.tls.items():
            servers.append(self._server_block(
                f"{LOOPBACK}:{self.https_ports[name]} ssl",
                f"    ssl_certificate {certificate.certificate};\n"
                f"    ssl_certificate_key {certificate.key};\n"))
        return (
            f"{run_as}daemon off;\nworker_processes 1;\npid {self.work_dir / 'nginx.pid'};\n"
            f"error_log {self.work_dir / 'error.log'} warn;\n"
            "events { worker_connections 64; }\n"
            "http {\n"
            "  default_type application/octet-stream;\n"
            "  log_format fennick escape=json '{\"uri\":\"$request_uri\",\"status\":$status,"
            "\"range\":\"$http_range\",\"if_range\":\"$http_if_range\",\"bytes\":$body_bytes_sent,"
            "\"port\":$server_port}';\n"
            f"  access_log {self.access_log} fennick;\n"
            f"  client_body_temp_path {self.work_dir / 'client_body'};\n"
            f"  proxy_temp_path {self.work_dir / 'proxy'};\n"
            f"  fastcgi_temp_path {self.work_dir / 'fastcgi'};\n"
            f"  uwsgi_temp_path {self.work_dir / 'uwsgi'};\n"
            f"  scgi_temp_path {self.work_dir / 'scgi'};\n"
            "  sendfile on;\n"
            + "".join(servers) + "}\n")

    def _server_block(self, listen: str, tls_lines: str) -> str:
        return (f"  server {{\n    listen {listen};\n{tls_lines}    root {self.root};\n"
                "    location / { }\n  }\n")


# ---------------------------------------------------------------------------------------------
# scripted server



def nginx_with_test_certificates(web_root: Path, certificates) -> "NginxServer":
    """nginx serving web_root over HTTP and over HTTPS with each test certificate (valid, expired,
    wrong_host, untrusted), as made by certificates.make_test_certificates."""
    tls = {"valid": certificates.valid, "expired": certificates.expired,
           "wrong_host": certificates.wrong_host, "untrusted": certificates.untrusted}
    return NginxServer(web_root, tls, work_dir=web_root.parent / "nginx")

@dataclass
class Fault:
    """A one-shot fault for the next GET of a path (queued with ScriptedHttpServer.add_fault).

    cut_after:  send this many body bytes, then close the connection (a body cut short).
    hold_after: send this many body bytes, then wait until `release` is set (a stalled server);
                after that the rest follows, or the connection closes when `close_on_release`.
    """
    cut_after: Optional[int] = None
    hold_after: Optional[int] = None
    release: threading.Event = field(default_factory=threading.Event)
    close_on_release: bool = False
    reached: threading.Event = field(default_factory=threading.Event)  # set when the hold begins


@dataclass
class FileResource:
    data: bytes
    etag: Optional[str]
    last_modified: Optional[str]
    honor_range: bool = True
    chunked: bool = False


@dataclass
class Redirect:
    location: str
    status: int = 302


@dataclass
class RequestRecord:
    method: str
    target: str                      # the request target as received (path and query)
    headers: Dict[str, str]          # names in lower case
    status: int = 0
    body_bytes: int = 0              # body bytes actually sent


class ScriptedHttpServer:
    """Our own HTTP (or HTTPS, with `certificate`) server for fault tests.

        with ScriptedHttpServer() as server:
            server.set_file("/pkg.exe", data)               # ETag and Last-Modified from the data
            server.set_file("/raw.exe", data, honor_range=False)
            server.redirect("/old", "http://...", 301)
            server.add_fault("/pkg.exe", Fault(cut_after=1000))
            server.url("/pkg.exe"); server.requests
    """

    CHUNK = 64 * 1024
    HOLD_LIMIT_SECONDS = 120  # a hold never outlives a broken test by much

    def __init__(self, certificate: Optional[ServerCertificate] = None):
        self.certificate = certificate
        self.requests: List[RequestRecord] = []
        self._resources: Dict[str, object] = {}
        self._faults: Dict[str, List[Fault]] = {}
        self._lock = threading.Lock()
        self._httpd: Optional[ThreadingHTTPServer] = None
        self._thread: Optional[threading.Thread] = None
        self.port = 0

    # -- script

    def set_file(self, path: str, data: bytes, etag: Optional[str] = "auto", last_modified: Optional[str] = "auto",
                 honor_range: bool = True, chunked: bool = False) -> None:
        """Serves `data` at `path`. "auto" validators follow the content, so changing the
        data changes them; None leaves the header out."""
        if etag == "auto":
            etag = '"' + hashlib.sha256(data).hexdigest()[:16] + '"'
        if last_modified == "auto":
            last_modified = email.utils.formatdate(time.time(), usegmt=True)
        with self._lock:
            self._resources[path] = FileResource(data, etag, last_modified, honor_range, chunked)

    def redirect(self, path: str, location: str, status: int = 302) -> None:
        with self._lock:
            self._resources[path] = Redirect(location, status)

    def add_fault(self, path: str, fault: Fault) -> Fault:
        with self._lock:
            self._faults.setdefault(path, []).append(fault)
        return fault

    def url(self, path: str, host: str = LOOPBACK) -> str:
        scheme = "https" if self.certificate else "http"
        return f"{scheme}://{host}:{self.port}{path}"

    def etag(self, path: str) -> Optional[str]:
        """The ETag currently sent for a file."""
        with self._lock:
            resource = self._resources.get(path)
            return resource.etag if isinstance(resource, FileResource) else None

    def requests_for(self, path: str) -> List[RequestRecord]:
        with self._lock:
            return [r for r in self.requests if r.target.split("?")[0] == path]

    # -- life cycle

    def __enter__(self) -> "ScriptedHttpServer":
        server = self
        context = None
        if self.certificate:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(str(self.certificate.certificate), str(self.certificate.key))

        class Server(ThreadingHTTPServer):
            daemon_threads = True
            allow_reuse_address = True

            def get_request(self):
                connection, address = super().get_request()
                if context is not None:
                    # The handshake runs in the handler's thread: a client that rejects the
                    # certificate must not stall the accept loop.
                    connection = context.wrap_socket(connection, server_side=True, do_handshake_on_connect=False)
                return connection, address

            def handle_error(self, request, client_address):
                pass  # clients that drop connections on purpose are part of the tests

        class Handler(_ScriptedHandler):
            owner = server

        self._httpd = Server((LOOPBACK, 0), Handler)
        self.port = self._httpd.server_address[1]
        self._thread = threading.Thread(target=self._httpd.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True)
        self._thread.start()
        return self

    def __exit__(self, *exc) -> None:
        with self._lock:
            for faults in self._faults.values():
                for fault in faults:
                    fault.release.set()
        if self._httpd:
            self._httpd.shutdown()
            self._httpd.server_close()
        if self._thread:
            self._thread.join(timeout=10)

    # -- used by the handler

    def _take(self, path: str) -> Tuple[object, Optional[Fault]]:
        with self._lock:
            resource = self._resources.get(path)
            faults = self._faults.get(path)
            fault = faults.pop(0) if faults else None
            return resource, fault

    def _log(self, record: RequestRecord) -> None:
        with self._lock:
            self.requests.append(record)


class _ScriptedHandler(BaseHTTPRequestHandler):
    owner: ScriptedHttpServer
    protocol_version = "HTTP/1.1"
    timeout = 60  # a client that goes silent does not keep a thread forever

    def setup(self):
        super().setup()
        if isinstance(self.request, ssl.SSLSocket):
            self.request.do_handshake()  # a rejected certificate ends the connection here

    def log_message(self, format, *args):  # noqa: A002 - keep test output quiet
        pass

    def do_GET(self):
        record = RequestRecord("GET", self.path, {k.lower(): v for k, v in self.headers.items()})
        self.owner._log(record)
        self.close_connection = True
        resource, fault = self.owner._take(self.path.split("?")[0])
        if isinstance(resource, Redirect):
            self._head(record, resource.status, {"Location": resource.location, "Content-Length": "0"})
        elif isinstance(resource, FileResource):
            self._serve_file(record, resource, fault)
        else:
            self._head(record, 404, {"Content-Length": "0"})

    def _head(self, record: RequestRecord, status: int, headers: Dict[str, str]) -> None:
        record.status = status
        self.send_response(status)
        for name, value in headers.items():
            self.send_header(name, value)
        self.send_header("Connection", "close")
        self.end_headers()

    def _range_start(self, resource: FileResource) -> Optional[int]:
        """Start offset of an honoured "bytes=N-" request, or None for the whole file."""
        wanted = self.headers.get("Range")
        if not resource.honor_range or not wanted or not wanted.startswith("bytes="):
            return None
        condition = self.headers.get("If-Range")
        if condition is not None and condition not in (resource.etag, resource.last_modified):
            return None
        first, _, last = wanted[len("bytes="):].partition("-")
        if not first.isdigit() or last:
            return None
        return int(first)

    def _serve_file(self, record: RequestRecord, resource: FileResource, fault: Optional[Fault]) -> None:
        data = resource.data
        headers = {"Accept-Ranges": "bytes" if resource.honor_range else "none"}
        if resource.etag:
            headers["ETag"] = resource.etag
        if resource.last_modified:
            headers["Last-Modified"] = resource.last_modified
        start = self._range_start(resource)
        status = 200
        if start is not None:
            if start >= len(data):
                headers["Content-Range"] = f"bytes */{len(data)}"
                headers["Content-Length"] = "0"
                self._head(record, 416, headers)
                return
            status = 206
            headers["Content-Range"] = f"bytes {start}-{len(data) - 1}/{len(data)}"
            data = data[start:]
        if resource.chunked:
            headers["Transfer-Encoding"] = "chunked"
        else:
            headers["Content-Length"] = str(len(data))
        self._head(record, status, headers)
        self._send_body(record, data, resource.chunked, fault)

    def _send_body(self, record: RequestRecord, data: bytes, chunked: bool, fault: Optional[Fault]) -> None:
        limit = len(data)
        if fault and fault.cut_after is not None:
            limit = min(limit, fault.cut_after)
        hold_at = fault.hold_after if fault and fault.hold_after is not None else None
        sent = 0
        try:
            while sent < limit:
                end = min(limit, sent + ScriptedHttpServer.CHUNK)
                if hold_at is not None and sent < hold_at <= end:
                    end = hold_at
                self._write(data[sent:end], chunked)
                sent = end
                record.body_bytes = sent
                if hold_at is not None and sent == hold_at:
                    self.wfile.flush()
                    fault.reached.set()
                    fault.release.wait(ScriptedHttpServer.HOLD_LIMIT_SECONDS)
                    hold_at = None
                    if fault.close_on_release:
                        break
            if sent == len(data) and chunked:
                self.wfile.write(b"0\r\n\r\n")
            self.wfile.flush()
        except OSError:
            pass  # the client went away; the log shows how far we got
        if sent < len(data):
            self._drop_connection()

    def _write(self, piece: bytes, chunked: bool) -> None:
        if chunked:
            self.wfile.write(f"{len(piece):x}\r\n".encode() + piece + b"\r\n")
        else:
            self.wfile.write(piece)

    def _drop_connection(self) -> None:
        try:
            self.wfile.flush()
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
