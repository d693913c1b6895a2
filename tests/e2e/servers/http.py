# HTTP and HTTPS servers for tests, as context managers, bound to 127.0.0.1 on free ports.
#
# ScriptedHttpServer files with Range and validators (ETag, date), chunked bodies, bodies cut short
#                    or held back, redirects; it logs every request.
# WebServers         one over HTTP and one over HTTPS per test certificate, serving the same files.
#
# HTTPS needs the test CA trusted inside the Wine prefix (conftest's `certificates` fixture):
#     with WebServers(certs) as web: web.set_file("/pkg.exe", data); web.https_url("valid", "/pkg.exe")
from __future__ import annotations

import email.utils
import hashlib
import socket
import ssl
import threading
import time
from dataclasses import dataclass, field
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from types import SimpleNamespace
from typing import Dict, Optional

from .certificates import ServerCertificate

LOOPBACK = "127.0.0.1"


@dataclass
class Fault:
    # A one-shot fault for the next GET of a path. cut_after: this many body bytes, then the
    # connection closes. hold_after: this many, then wait for `release` (then the rest); `reached`
    # is set when the hold begins.
    cut_after: Optional[int] = None
    hold_after: Optional[int] = None
    release: threading.Event = field(default_factory=threading.Event)
    reached: threading.Event = field(default_factory=threading.Event)


class ScriptedHttpServer:
    # with ScriptedHttpServer() as s: s.set_file("/p.exe", data); s.add_fault("/p.exe", Fault(cut_after=1000))
    CHUNK, HOLD_LIMIT_SECONDS = 64 * 1024, 120  # a hold never outlives a broken test by much

    def __init__(self, certificate: Optional[ServerCertificate] = None):
        self.certificate, self.requests, self.port = certificate, [], 0
        self._resources, self._faults, self._lock = {}, {}, threading.Lock()

    def set_file(self, path: str, data: bytes, chunked: bool = False) -> None:
        # The entity tag follows the content.
        etag, date = '"' + hashlib.sha256(data).hexdigest()[:16] + '"', email.utils.formatdate(time.time(), usegmt=True)
        with self._lock:
            self._resources[path] = SimpleNamespace(data=data, etag=etag, last_modified=date, chunked=chunked)

    def redirect(self, path: str, location: str, status: int = 302) -> None:
        with self._lock:
            self._resources[path] = SimpleNamespace(location=location, status=status)

    def add_fault(self, path: str, fault: Fault) -> Fault:
        with self._lock:
            self._faults.setdefault(path, []).append(fault)
        return fault

    def url(self, path: str, host: str = LOOPBACK) -> str:
        return f"{'https' if self.certificate else 'http'}://{host}:{self.port}{path}"

    def requests_for(self, path: str) -> list:
        # Each request as received: target (path and query), headers (names in lower case), status, body_bytes sent.
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
        if "://" in self.path.split("?")[0]:  # absolute form, as Wine sends it inside a proxy's tunnel
            self.path = "/" + self.path.split("://", 1)[1].partition("/")[2]
        record = SimpleNamespace(target=self.path, headers={k.lower(): v for k, v in self.headers.items()}, status=0, body_bytes=0)
        path, self.close_connection = self.path.split("?")[0], True
        with self.owner._lock:
            self.owner.requests.append(record)
            resource, faults = self.owner._resources.get(path), self.owner._faults.get(path)
            fault = faults.pop(0) if faults else None
        if hasattr(resource, "location"):
            self._head(record, resource.status, {"Location": resource.location, "Content-Length": "0"})
        elif resource:
            self._serve(record, resource, fault)
        else:
            self._head(record, 404, {"Content-Length": "0"})

    def _head(self, record, status: int, headers: Dict[str, str]) -> None:
        record.status = status
        self.send_response(status)
        for name, value in {**headers, "Connection": "close"}.items():
            self.send_header(name, value)
        self.end_headers()

    def _serve(self, record, resource, fault: Optional[Fault]) -> None:
        data, status = resource.data, 200
        headers = {"Accept-Ranges": "bytes", "ETag": resource.etag, "Last-Modified": resource.last_modified}
        wanted, condition = self.headers.get("Range", ""), self.headers.get("If-Range")
        first = wanted[len("bytes="):-1] if wanted.startswith("bytes=") and wanted.endswith("-") else ""
        if first.isdigit() and condition in (None, resource.etag, resource.last_modified):
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
            self.wfile.write(b"0\r\n\r\n" if resource.chunked and record.body_bytes == len(data) else b"")
            self.wfile.flush()
            if record.body_bytes < len(data):
                self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass  # the client went away; the record shows how far we got


class WebServers:
    CERTIFICATES = ("valid", "expired", "wrong_host", "untrusted")

    def __init__(self, certificates) -> None:
        self.servers = {"http": ScriptedHttpServer(), **{n: ScriptedHttpServer(getattr(certificates, n)) for n in self.CERTIFICATES}}

    def set_file(self, path: str, data: bytes, **options) -> None:
        for server in self.servers.values():
            server.set_file(path, data, **options)

    def url(self, server: str, path: str) -> str:  # server: "http" or a certificate's name
        return self.servers[server].url(path)

    def requests_for(self, path: str) -> list:
        return [r for server in self.servers.values() for r in server.requests_for(path)]

    def __enter__(self) -> "WebServers":
        for server in self.servers.values():
            server.__enter__()
        return self

    def __exit__(self, *exc) -> None:
        for server in self.servers.values():
            server.__exit__()
