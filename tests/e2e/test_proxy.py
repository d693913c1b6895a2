# Downloads and the checker behind tinyproxy or a Basic-only stand-in on 127.0.0.1, set in the user's
# Internet settings (DefaultConnectionSettings) per test and removed after it: suites share the prefix
# but never run at once (ctest's desktop lock). Only https passes a proxy under Wine (plain http
# reaches it in origin form; its choice is unit-tested in components/proxy). The proxy is named
# "localhost": Wine 8 skips the CONNECT when the proxy's host name equals the server's.
import contextlib
import socket
import socketserver
import struct
import subprocess
import threading
from types import SimpleNamespace

import pytest

from fennick import IDCANCEL, ROOT, Download, Runner, language_texts
from servers.http import Fault, ScriptedHttpServer
from servers.polling import wait_until

TEXT = language_texts(ROOT / "components" / "qxmlang" / "FENNICKMSG.MLG")[0x0409]
CONNECTIONS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections"
SIZE, CUT = 1024 * 1024 + 333, 400000


def free_port():
    with socket.create_server(("127.0.0.1", 0)) as probe:
        return probe.getsockname()[1]


@contextlib.contextmanager
def tinyproxy_in(folder, allow=True):
    port, log = free_port(), folder / "tinyproxy.log"
    (folder / "tinyproxy.conf").write_text(f'Port {port}\nListen 127.0.0.1\nLogFile "{log}"\nLogLevel Info\n'
                                           f"Allow {'127.0.0.1' if allow else '10.255.255.1'}\n")
    with subprocess.Popen(["tinyproxy", "-d", "-c", str(folder / "tinyproxy.conf")], stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) as process:
        try:
            wait_until(lambda: log.exists() and "Accepting connections" in log.read_text(), "tinyproxy listening", 10)
            yield SimpleNamespace(port=port, requests=lambda: [line.split("): ", 1)[1] for line in log.read_text().splitlines()
                                                               if "Request (file descriptor" in line])
        finally:
            process.terminate()


@contextlib.contextmanager
def basic_only_proxy():  # 407 with Basic alone to every request; keeps the request heads
    heads = []

    class Handler(socketserver.BaseRequestHandler):
        def handle(self):
            self.request.settimeout(10)
            heads.append(self.request.recv(65536).decode("latin-1"))
            self.request.sendall(b"HTTP/1.1 407 Login\r\nProxy-Authenticate: Basic realm=\"corp\"\r\nContent-Length: 0\r\n\r\n")

    with socketserver.ThreadingTCPServer(("127.0.0.1", 0), Handler) as server:
        threading.Thread(target=server.serve_forever, daemon=True).start()
        yield SimpleNamespace(port=server.server_address[1], heads=heads)
        server.shutdown()


@pytest.fixture
def settings(wine):  # flags: 1 direct, 2 manual proxy, 4 script
    def write(proxy="", bypass="", script=""):
        blob = struct.pack("<III", 0x46, 1, 1 | (2 if proxy else 0) | (4 if script else 0))
        for text in (proxy, bypass, script):
            blob += struct.pack("<I", len(text)) + text.encode("ascii")
        assert wine.run(["reg", "add", CONNECTIONS, "/v", "DefaultConnectionSettings", "/t", "REG_BINARY", "/d",
                         (blob + bytes(32)).hex(), "/f"])[0] == 0

    yield write
    write()  # back to the prefix's direct connection (scripts/wine-prefix)


@pytest.fixture(scope="module")
def https(certificates):
    with ScriptedHttpServer(certificates.valid) as server:
        yield server


@pytest.mark.parametrize("case, host", [("manual proxy", "127.0.0.1"), ("bypass list", "localhost"),
                                        ("script: PROXY", "127.0.0.1"), ("script: DIRECT", "localhost")])
def test_each_host_goes_the_way_the_settings_say_and_resumes_there(runner, https, settings, tmp_path, name, download_dir, case, host):
    with tinyproxy_in(tmp_path) as tinyproxy:
        if case.startswith("script"):  # behind the script, a manual proxy that is down: DIRECT must not fall back to it
            https.set_file("/proxy.pac", b'function FindProxyForURL(url, host) { return host == "localhost" ? "DIRECT" : '
                                         b'"PROXY localhost:%d"; }' % tinyproxy.port)
            settings(proxy=f"localhost:{free_port()}", script=https.url("/proxy.pac"))
        else:
            settings(proxy=f"localhost:{tinyproxy.port}", bypass="<local>")
        https.set_file(f"/{name}", data := runner.package(SIZE, 21))
        https.add_fault(f"/{name}", Fault(cut_after=CUT))
        download = Download(download_dir, name)
        runner.run(https.url(f"/{name}", host=host))
        runner.assert_counted_failure(download, "1")
        runner.forget_markers()
        runner.run(https.url(f"/{name}", host=host))
        runner.assert_success(download, data)
        assert [(r.status, r.headers.get("range")) for r in https.requests_for(f"/{name}")] == [(200, None), (206, f"bytes={CUT}-")]
        assert tinyproxy.requests() == [f"CONNECT 127.0.0.1:{https.port} HTTP/1.1"] * (2 if host == "127.0.0.1" else 0)


@pytest.mark.parametrize("case, text", [("down", 161), ("refusing", 162), ("Basic only", 163)])
def test_a_failing_proxy_is_counted_and_the_checker_names_it(wine, install, driver, marker_dir, https, settings, tmp_path,
                                                             name, download_dir, case, text):
    runner = Runner(wine, install, marker_dir, real_checker=True)
    https.set_file(f"/{name}", runner.package(SIZE, 23))
    with {"down": lambda: contextlib.nullcontext(SimpleNamespace(port=free_port())), "refusing": lambda: tinyproxy_in(tmp_path, allow=False),
          "Basic only": basic_only_proxy}[case]() as proxy:
        settings(proxy=f"localhost:{(port := proxy.port)}")
        process = runner.start(https.url(f"/{name}"))
        window = driver.checker(install.folder)
        assert window is not None and process.wait_exit()["exited"]
        driver.do("press", hwnd=window["hwnd"], button=IDCANCEL)
    connection = window["checks"][2]
    assert (connection["status"], connection["detail"]) == (TEXT[113], TEXT[text].replace("%1", f"localhost:{port}")), window
    assert Download(download_dir, name).counter() == "1" and not https.requests_for(f"/{name}")
    if case == "Basic only":  # asked by the download and by the checker; never answered with a password
        assert len(proxy.heads) >= 2 and not any("proxy-authorization" in head.lower() for head in proxy.heads), proxy.heads
