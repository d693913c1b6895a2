# HTTP and HTTPS servers for tests, as context managers, bound to 127.0.0.1 on free ports.
#
# NginxServer        a folder over HTTP and, per named certificate, over HTTPS; requests() reads its
#                    access log (uri, status, range, if_range, bytes, port of each request).
# ScriptedHttpServer our own server for faults: files that ignore Range, chunked bodies, bodies cut
#                    short or held back, redirects, changes between runs; it logs every request.
#
# HTTPS needs the test CA trusted inside the Wine prefix (conftest's `certificates` fixture):
#     with nginx_with_test_certificates(www, certs) as web: web.https_url("valid", "/pkg.exe")
from __future__ import annotations

import email.utils
import hashlib
import json
import os
import socket
import ssl
import subprocess
import threading
import time
from dataclasses import dataclass, field
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path
from typing import Dict, List, Mapping, Optional

from .certificates import ServerCertificate

LOOPBACK = "127.0.0.1"


def free_port() -> int:
    with socket.socket() as probe:
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


class NginxServer:
    def __init__(self, root: Path, tls: Optional[Mapping[str, ServerCertificate]] = None, work_dir: Optional[Path] = None):
        self.root, self.tls = Path(root).resolve(), dict(tls or {})
        self.work_dir = Path(work_dir) if work_dir else self.root.parent / f"nginx-{os.getpid()}-{id(self)}"
        self.access_log = self.work_dir / "access.log"
        self.http_port, self.https_ports, self._process = 0, {}, None

    def http_url(self, path: str) -> str:
        return f"http://{LOOPBACK}:{self.http_port}{path}"

    def https_url(self, certificate_name: str, path: str, host: str = LOOPBACK) -> str:
        return f"https://{host}:{self.https_ports[certificate_name]}{path}"

    def requests(self) -> List[dict]:
        lines = self.access_log.read_text().splitlines() if self.access_log.exists() else []
        return [json.loads(line) for line in lines if line.strip()]

    def __enter__(self) -> "NginxServer":
        for temp in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"):
            (self.work_dir / temp).mkdir(parents=True, exist_ok=True)
        for _ in range(3):  # a free port may be taken between probe and bind: try fresh ones
            self.http_port, self.https_ports = free_port(), {name: free_port() for name in self.tls}
            (self.work_dir / "nginx.conf").write_text(self._config())
            self._process = subprocess.Popen(["nginx", "-p", str(self.work_dir), "-c", str(self.work_dir / "nginx.conf"),
                                              "-e", str(self.work_dir / "error.log")], stdin=subprocess.DEVNULL,
                                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
            if all(wait_for_port(port) for port in [self.http_port, *self.https_ports.values()]):
                return self
            self.__exit__()
        raise RuntimeError("nginx did not start: " + (self.work_dir / "error.log").read_text(errors="replace"))

    def __exit__(self, *exc) -> None:
        if self._process is not None:
            self._process.terminate()  # nginx's fast shutdown ends its workers too
            self._process.wait(timeout=10)
            self._process = None

    def _config(self) -> str:
        blocks = [(f"{LOOPBACK}:{self.http_port}", "")] + [
            (f"{LOOPBACK}:{self.https_ports[name]} ssl", f"ssl_certificate {c.certificate}; ssl_certificate_key {c.key};")
            for name, c in self.tls.items()]
        temps = "".join(f"  {t}_temp_path {self.work_dir / t};\n" for t in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
        return ("user root root;\n" if os.geteuid() == 0 else "") + (
            f"daemon off;\nworker_processes 1;\npid {self.work_dir / 'nginx.pid'};\nevents {{ worker_connections 64; }}\n"
            "http {\n  default_type application/octet-stream;\n  sendfile on;\n"
            "  log_format fennick escape=json '{\"uri\":\"$request_uri\",\"status\":$status,\"range\":\"$http_range\","
            "\"if_range\":\"$http_if_range\",\"bytes\":$body_bytes_sent,\"port\":$server_port}';\n"
            f"  access_log {self.access_log} fennick;\n{temps}"
            + "".join(f"  server {{ listen {listen}; {tls} root {self.root}; location / {{ }} }}\n" for listen, tls in blocks)
            + "}\n")


def nginx_with_test_certificates(web_root: Path, certificates) -> NginxServer:
    # nginx over HTTP and over HTTPS with each test certificate (valid, expired, wrong_host, untrusted).
    tls = {name: getattr(certificates, name) for name in ("valid", "expired", "wrong_host", "untrusted")}
    return NginxServer(web_root, tls, work_dir=web_root.parent / f"nginx-{web_root.name}")


@dataclass
class Fault:
    # A one-shot fault for the next GET of a path. cut_after: this many body bytes, then the
    # connection closes. hold_after: this many, then wait for `release` (then the rest, or a close
    # with close_on_release); `reached` is set when the hold begins.
    cut_after: Optional[int] = None
    hold_after: Optional[int] = None
    release: threading.Event = field(default_factory=threading.Event)
    close_on_release: bool = False
    reached: threading.Event = field(default_factory=threading.Event)


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
    target: str                      # path and query as received
    headers: Dict[str, str]          # names in lower case
    status: int = 0
    body_bytes: int = 0              # body bytes actually sent


class ScriptedHttpServer:
    # with ScriptedHttpServer() as s: s.set_file("/p.exe", data); s.add_fault("/p.exe", Fault(cut_after=1000))
    CHUNK, HOLD_LIMIT_SECONDS = 64 * 1024, 120  # a hold never outlives a broken test by much

    def __init__(self, certificate: Optional[ServerCertificate] = None):
        self.certificate, self.requests, self.port = certificate, [], 0
        self._resources, self._faults, self._lock = {}, {}, threading.Lock()

    def set_file(self, path: str, data: bytes, etag: Optional[str] = "auto", last_modified: Optional[str] = "auto",
                 honor_range: bool = True, chunked: bool = False) -> None:
        # "auto" validators follow the content; None leaves the header out.
        etag = '"' + hashlib.sha256(data).hexdigest()[:16] + '"' if etag == "auto" else etag
        last_modified = email.utils.formatdate(time.time(), usegmt=True) if last_modified == "auto" else last_modified
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
        return f"{'https' if self.certificate else 'http'}://{host}:{self.port}{path}"

    def etag(self, path: str) -> Optional[str]:
        return getattr(self._resources.get(path), "etag", None)

    def requests_for(self, path: str) -> List[RequestRecord]:
        with self._lock:
            return [r for r in self.requests if r.target.split("?")[0] == path]

    def __enter__(self) -> "ScriptedHttpServer":
        context = None
        if self.certificate:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(str(self.certificate.certificate), str(self.certificate.key))

        class Server(ThreadingHTTPServer):
            daemon_threads = allow_reuse_address = True

            def get_request(self):
                connection, address = super().get_request()
                # The handshake runs in the handler's thread: a refused certificate must not stall accept.
                return (context.wrap_socket(connection, server_side=True, do_handshake_on_connect=False)
                        if context else connection), address

            def handle_error(self, request, client_address):
                pass  # clients that drop connections on purpose are part of the tests

        self._httpd = Server((LOOPBACK, 0), type("Handler", (_Handler,), {"owner": self}))
        self.port = self._httpd.server_address[1]
        threading.Thread(target=self._httpd.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True).start()
        return self

    def __exit__(self, *exc) -> None:
        for faults in self._faults.values():
            for fault in faults:
                fault.release.set()
        self._httpd.shutdown()
        self._httpd.server_close()


class _Handler(BaseHTTPRequestHandler):
    owner: ScriptedHttpServer
    protocol_version, timeout = "HTTP/1.1", 60

    def setup(self):
        super().setup()
        if isinstance(self.request, ssl.SSLSocket):
            self.request.do_handshake()

    def log_message(self, *args):
        pass

    def do_GET(self):
        record = RequestRecord("GET", self.path, {k.lower(): v for k, v in self.headers.items()})
        path, self.close_connection = self.path.split("?")[0], True
        with self.owner._lock:
            self.owner.requests.append(record)
            resource, faults = self.owner._resources.get(path), self.owner._faults.get(path)
            fault = faults.pop(0) if faults else None
        if isinstance(resource, Redirect):
            self._head(record, resource.status, {"Location": resource.location, "Content-Length": "0"})
        elif isinstance(resource, FileResource):
            self._serve(record, resource, fault)
        else:
            self._head(record, 404, {"Content-Length": "0"})

    def _head(self, record: RequestRecord, status: int, headers: Dict[str, str]) -> None:
        record.status = status
        self.send_response(status)
        for name, value in {**headers, "Connection": "close"}.items():
            self.send_header(name, value)
        self.end_headers()

    def _serve(self, record: RequestRecord, resource: FileResource, fault: Optional[Fault]) -> None:
        data, status = resource.data, 200
        headers = {"Accept-Ranges": "bytes" if resource.honor_range else "none"}
        headers.update({k: v for k, v in (("ETag", resource.etag), ("Last-Modified", resource.last_modified)) if v})
        wanted, condition = self.headers.get("Range", ""), self.headers.get("If-Range")
        first = wanted[len("bytes="):-1] if wanted.startswith("bytes=") and wanted.endswith("-") else ""
        if resource.honor_range and first.isdigit() and condition in (None, resource.etag, resource.last_modified):
            if int(first) >= len(data):
                return self._head(record, 416, {**headers, "Content-Range": f"bytes */{len(data)}", "Content-Length": "0"})
            status, data = 206, data[int(first):]
            headers["Content-Range"] = f"bytes {first}-{len(resource.data) - 1}/{len(resource.data)}"
        headers.update({"Transfer-Encoding": "chunked"} if resource.chunked else {"Content-Length": str(len(data))})
        self._head(record, status, headers)
        limit = min(len(data), fault.cut_after if fault and fault.cut_after is not None else len(data))
        hold = fault.hold_after if fault else None
        try:
            while record.body_bytes < limit:
                sent = record.body_bytes
                end = min(limit, sent + ScriptedHttpServer.CHUNK, hold if hold is not None and hold > sent else limit)
                piece = data[sent:end]
                self.wfile.write(f"{len(piece):x}\r\n".encode() + piece + b"\r\n" if resource.chunked else piece)
                record.body_bytes = end
                if end == hold:
                    self.wfile.flush()
                    fault.reached.set()
                    fault.release.wait(ScriptedHttpServer.HOLD_LIMIT_SECONDS)
                    hold = None
                    if fault.close_on_release:
                        break
            self.wfile.write(b"0\r\n\r\n" if resource.chunked and record.body_bytes == len(data) else b"")
            self.wfile.flush()
            if record.body_bytes < len(data):
                self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass  # the client went away; the record shows how far we got
