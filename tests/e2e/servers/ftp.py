# The scripted FTP server for tests, as a context manager; it listens on a free port of 127.0.0.1 (or ::1).
#
#     with fault_ftp(root, retr_fault={"kind": "close", "after": 4096, "times": 1}) as server:
#         server.url("/pub/setup.exe"); server.commands(); server.wait_for_transfers(1)[-1].bytes
#
# It is this module run as its own process (pyftpdlib, so that "die" can end it), scripted by the
# configuration it is started with; it logs commands.log and transfers.log. Keys:
#   users [[name, password]] (may write), anonymous (default True), banner [raw greeting lines],
#   multiline [verbs answered as multi-line replies with inner lines of other codes],
#   replace {verb: raw reply sent instead of executing it}, no_password_users [230 right after USER],
#   account {user: account} (PASS answers 332, ACCT must give it), masquerade (address in PASV replies),
#   proxy {"user", "password", "target": "host:port"} (own logon first, then USER name@target),
#   rate (bytes per second for RETR), retr_fault {"kind", "after": bytes, "times": RETRs (default all)}:
#   close: clean end of data and still 226; reset: TCP reset; stall: nothing more, ever;
#   die: the server process exits; early_reply: 226 goes out before the rest of the data.
import contextlib
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path
from types import SimpleNamespace

from .polling import wait_until


class FaultFtpServer:
    def __init__(self, host, root, state):
        self.host, self.port, self.root, self.state = host, 0, Path(root), Path(state)

    def url(self, path, user=None, password=None):
        host = f"[{self.host}]" if ":" in self.host else self.host
        credentials = "" if user is None else user + (f":{password}" if password is not None else "") + "@"
        return f"ftp://{credentials}{host}:{self.port}/{path.lstrip('/')}"

    def _lines(self, name):
        return (self.state / name).read_text(errors="replace").splitlines() if (self.state / name).exists() else []

    def commands(self):
        return self._lines("commands.log")

    def verbs(self):
        return [line.split(" ", 1)[0].upper() for line in self.commands()]

    def wait_for_transfers(self, count, timeout=10.0):
        # The transfers once count of them are logged (a transfer is logged as it ends).
        logged = lambda: [SimpleNamespace(**json.loads(line)) for line in self._lines("transfers.log")]  # noqa: E731
        return wait_until(lambda: len(logged()) >= count and logged(), f"{count} transfers logged", timeout)


@contextlib.contextmanager
def fault_ftp(root, *, ipv6=False, port=0, **config):
    # The scripted server serving root (on port, when given: a server that comes back).
    state = Path(tempfile.mkdtemp(prefix="fennick-faultftp-"))
    server = FaultFtpServer("::1" if ipv6 else "127.0.0.1", root, state)
    config = dict(config, host=server.host, port=port, root=str(server.root))
    with open(state / "stdout.log", "wb") as out:
        process = subprocess.Popen(["/usr/bin/python3", "-m", "servers.ftp", str(state), json.dumps(config)], stdin=subprocess.DEVNULL,
                                   stdout=out, stderr=subprocess.STDOUT, start_new_session=True, cwd=Path(__file__).parents[1])
    try:
        wait_until(lambda: (state / "port").exists() or process.poll() is not None, "fault FTP server started", 15)
        assert process.poll() is None, (state / "stdout.log").read_text(errors="replace")
        server.port = int((state / "port").read_text())
        yield server
    finally:
        with contextlib.suppress(ProcessLookupError):  # its own group: no session outlives a test
            os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        shutil.rmtree(state, ignore_errors=True)


def _serve(state, settings):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.filesystems import AbstractedFS
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import ThreadedFTPServer

    lock, used = threading.Lock(), [0]  # RETRs that played the fault

    def log(name, line):
        with lock, open(state / name, "a", encoding="utf-8") as f:
            f.write(line + "\n")

    class FaultFile:
        # The served file as the data connection reads it, with the fault played on the way.

        def __init__(self, inner, handler, fault, rate):
            self.inner, self.handler, self.fault, self.rate, self.sent, self.name = inner, handler, fault, rate, 0, inner.name
            self.close, self.seek, self.tell = inner.close, inner.seek, inner.tell

        closed = property(lambda self: self.inner.closed)

        def read(self, size=-1):
            fault, limit = self.fault, size if size and size > 0 else 1 << 20
            if fault and self.sent >= fault.get("after", 0):
                self.fault = None if fault["kind"] == "early_reply" else fault
                if fault["kind"] == "close":
                    return b""  # a clean end of the data, and the server still answers 226
                if fault["kind"] == "reset":
                    channel = self.handler.data_channel
                    channel.socket.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\1\0\0\0\0\0\0\0")
                    raise OSError(104, "reset by the test server")  # ECONNRESET
                if fault["kind"] == "stall":
                    threading.Event().wait()
                if fault["kind"] == "die":
                    os._exit(3)
                self.handler.respond("226 Transfer complete (early).")
                self.handler.swallow_reply = True
            if self.fault:
                limit = min(limit, self.fault.get("after", 0) - self.sent)
            if self.rate:
                limit = min(limit, max(1, self.rate // 10))
                time.sleep(limit / self.rate)
            data = self.inner.read(limit)
            self.sent += len(data)
            return data

    class FaultFS(AbstractedFS):
        def open(self, filename, mode):
            inner, handler = super().open(filename, mode), self.cmd_channel
            if mode != "rb":  # only RETR reads
                return inner
            fault, rate = settings.get("retr_fault"), settings.get("rate", 0)
            with lock:
                fault, used[0] = (fault, used[0] + 1) if fault and used[0] < fault.get("times", 1 << 30) else (None, used[0])
            return FaultFile(inner, handler, fault, rate) if fault or rate else inner

    class Handler(FTPHandler):
        use_sendfile, auth_failed_timeout, abstracted_fs = False, 0.1, FaultFS
        proto_cmds = dict(FTPHandler.proto_cmds, ACCT=dict(perm=None, auth=False, arg=True, help="ACCT account"))

        def on_connect(self):
            self.swallow_reply, self.verb = False, ""
            self.proxy_stage, self.account_pending = "none", None  # proxy: none -> user -> passed
            self.masquerade_address = settings.get("masquerade")

        def handle(self):
            if not settings.get("banner"):
                return super().handle()
            self.on_connect()
            self.push("".join(line + "\r\n" for line in settings["banner"]))

        def pre_process_command(self, line, cmd, arg):
            log("commands.log", line)
            self.verb, replaced = cmd, settings.get("replace", {}).get(cmd)
            if replaced is not None:
                return self.push(replaced + "\r\n")
            super().pre_process_command(line, cmd, arg)

        def respond(self, resp, logfun=None):
            if self.swallow_reply and resp[:3] in ("226", "426"):
                self.swallow_reply = False  # already sent early
                return
            if self.verb in settings.get("multiline", []):
                code, other = resp[:3], "220" if resp[:3] == "230" else "230"
                self.push(f"{code}-{resp[4:]}\r\n{other} an inner line with another code\r\n{code}-same code\r\n {code} indented\r\n")
            super().respond(resp, **({"logfun": logfun} if logfun else {}))

        def ftp_USER(self, line):
            proxy = settings.get("proxy")
            if proxy and self.proxy_stage == "none":
                self.proxy_stage = "user" if line == proxy["user"] else "none"
                return self.respond("331 Proxy password, please." if line == proxy["user"] else "530 Log in to the proxy first.")
            if proxy:
                line, _, target = line.rpartition("@")
                if not line or target != proxy["target"]:
                    return self.respond("530 The proxy needs user@host:port.")
            if line in settings.get("no_password_users", []):
                self.username = line
                return self.handle_auth_success(self.authorizer.get_home_dir(line), "", "Logged in without password.")
            super().ftp_USER(line)

        def ftp_PASS(self, line):
            proxy = settings.get("proxy")
            if proxy and self.proxy_stage == "user":
                self.proxy_stage = "passed" if line == proxy.get("password", "") else "none"
                return self.respond("230 Proxy logon accepted." if self.proxy_stage == "passed" else "530 Wrong proxy password.")
            if self.username in settings.get("account", {}) and not self.authenticated:
                try:
                    self.authorizer.validate_authentication(self.username, line, self)
                except Exception:
                    return self.respond("530 Authentication failed.")
                self.account_pending = (self.authorizer.get_home_dir(self.username), line)
                return self.respond("332 Need account for login.")
            super().ftp_PASS(line)

        def ftp_ACCT(self, line):
            if not self.account_pending or settings.get("account", {}).get(self.username) != line:
                return self.respond("530 Wrong account.")
            home, password = self.account_pending
            self.account_pending = None
            self.handle_auth_success(home, password, "Account accepted.")

        def log_transfer(self, cmd, filename, receive, completed, elapsed, bytes):
            log("transfers.log", json.dumps({"bytes": bytes}))

    authorizer = DummyAuthorizer()
    for name, password in settings.get("users", []):
        authorizer.add_user(name, password, settings["root"], perm="elradfmw")
    if settings.get("anonymous", True):
        authorizer.add_anonymous(settings["root"], perm="elr")
    Handler.authorizer = authorizer
    server = ThreadedFTPServer((settings["host"], settings.get("port", 0)), Handler)
    (state / "port.tmp").write_text(str(server.socket.getsockname()[1]))
    os.replace(state / "port.tmp", state / "port")  # whole, or not there
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    _serve(Path(sys.argv[1]), json.loads(sys.argv[2]))
