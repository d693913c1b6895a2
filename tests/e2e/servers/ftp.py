# FTP servers for tests, as context managers; each listens on a free port of 127.0.0.1 (or ::1).
#
#     with vsftpd(root, login=("fennickftp", "secret")) as server:   # anonymous + a user login
#         server.url("/pub/setup.exe"); server.commands(); server.transfers()
#     with fault_ftp(root, retr_fault={"kind": "close", "after": 4096, "times": 1}) as server:
#         server.set_faults(retr_fault=None)    # takes effect with the next connection / RETR
#
# fault_ftp is this file run as its own process (pyftpdlib), scripted by STATE/config.json, which it
# reads again for every connection and RETR; it logs commands.log and transfers.log there. Keys:
#   users [[name, password]], anonymous (default True), banner [raw greeting lines],
#   multiline [verbs answered as multi-line replies with inner lines of other codes],
#   replace {verb: raw reply sent instead of executing it}, no_password_users [230 right after USER],
#   account {user: account} (PASS answers 332, ACCT must give it), masquerade (address in PASV replies),
#   proxy {"user", "password", "target": "host:port"} (own logon first, then USER name@target),
#   rate (bytes per second for RETR), retr_fault {"kind", "after": bytes, "times": RETRs (default all)}:
#   close: clean end of data and still 226; reset: TCP reset; stall: nothing more, ever;
#   die: the server process exits; early_reply: 226 goes out before the rest of the data.
# Both servers run as their own process group and are stopped whole, so no session outlives a test.
# vsftpd (and the login user it needs) requires root.
import contextlib
import fcntl
import json
import os
import pwd
import random
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
from dataclasses import dataclass
from pathlib import Path

PAM_SERVICE = "fennick-ftp-test"
LOGIN_USER = ("fennickftp", "Fennick-Test-1")


@dataclass
class Transfer:
    command: str    # RETR, STOR, APPE
    path: str
    bytes: int
    completed: bool


def _poll(predicate, timeout, what):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    raise TimeoutError(what)


def _accepts(host, port):
    with socket.socket(socket.AF_INET6 if ":" in host else socket.AF_INET) as probe:
        probe.settimeout(0.5)
        return probe.connect_ex((host, port)) == 0


def _start(command, state):
    with open(state / "stdout.log", "wb") as out:
        return subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT, start_new_session=True)


def _stop_group(process):
    for sig in (signal.SIGTERM, signal.SIGKILL):  # vsftpd forks a process per session
        with contextlib.suppress(ProcessLookupError, subprocess.TimeoutExpired):
            os.killpg(process.pid, sig)
            process.wait(timeout=5)


def _make_readable(root):
    Path(root).mkdir(parents=True, exist_ok=True)
    for path in [Path(root), *Path(root).rglob("*")]:
        os.chmod(path, 0o755 if path.is_dir() else 0o644)


class FtpServer:
    def __init__(self, host, root, state):
        self.host, self.port, self.root, self.state = host, 0, Path(root), Path(state)

    def url(self, path, user=None, password=None):
        host = f"[{self.host}]" if ":" in self.host else self.host
        credentials = "" if user is None else user + (f":{password}" if password is not None else "") + "@"
        return f"ftp://{credentials}{host}:{self.port}/{path.lstrip('/')}"

    def _lines(self, name):
        path = self.state / name
        return path.read_text(encoding="utf-8", errors="replace").splitlines() if path.exists() else []

    def verbs(self):
        return [line.split(" ", 1)[0].upper() for line in self.commands()]

    def wait_for_transfers(self, count, timeout=10.0):
        # The transfers once count of them are logged (a server logs a transfer as it ends).
        return _poll(lambda: len(self.transfers()) >= count and self.transfers(), timeout, f"{count} transfers not logged")


class VsftpdServer(FtpServer):
    _COMMAND = re.compile(r'FTP command: Client "[^"]*", "(.*)"$')
    _TRANSFER = re.compile(r'(OK|FAIL) (DOWNLOAD|UPLOAD): Client "[^"]*", "([^"]*)", (\d+) bytes')

    def commands(self):
        return [m.group(1) for m in map(self._COMMAND.search, self._lines("vsftpd.log")) if m]

    def transfers(self):
        return [Transfer("RETR" if m.group(2) == "DOWNLOAD" else "STOR", m.group(3), int(m.group(4)), m.group(1) == "OK")
                for m in map(self._TRANSFER.search, self._lines("vsftpd.log")) if m]


def ensure_login_user(name=LOGIN_USER[0], password=LOGIN_USER[1]):
    # A system user for vsftpd's user login and the PAM service it is checked with; its home must
    # exist. A lock keeps two suites from creating the user at once.
    with open("/run/lock/" + PAM_SERVICE + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        Path("/etc/pam.d", PAM_SERVICE).write_text(
            "auth required pam_unix.so\naccount required pam_unix.so\nsession required pam_permit.so\n")
        home = Path("/var/lib") / PAM_SERVICE
        home.mkdir(mode=0o755, exist_ok=True)
        try:
            pwd.getpwnam(name)
        except KeyError:
            subprocess.run(["useradd", "--system", "--no-create-home", "--home-dir", str(home), "--shell", "/usr/sbin/nologin",
                            name], check=True)
        subprocess.run(["usermod", "--home", str(home), name], check=True, capture_output=True)
        subprocess.run(["chpasswd"], input=f"{name}:{password}\n", text=True, check=True)


@contextlib.contextmanager
def vsftpd(root=None, *, login=None, ipv6=False, writable=False):
    # vsftpd serving root (a fresh folder when None) to anonymous users and to login (user, password);
    # with writable, the login user may upload into root/incoming.
    host, state = ("::1" if ipv6 else "127.0.0.1"), Path(tempfile.mkdtemp(prefix="fennick-vsftpd-"))
    root = Path(root or state / "root")
    _make_readable(root)
    (state / "empty").mkdir()
    os.chmod(state, 0o755)
    if login:
        ensure_login_user(*login)
        for parent in root.resolve().parents:  # the login user enters its root: every folder above lets it pass
            os.chmod(parent, parent.stat().st_mode & 0o7777 | 0o001)
        if writable:
            (root / "incoming").mkdir(exist_ok=True)
            shutil.chown(root / "incoming", user=login[0])
    server, process = VsftpdServer(host, root, state), None
    try:
        for _ in range(5):  # the port may be taken between probe and bind: another one
            with socket.socket(socket.AF_INET6 if ipv6 else socket.AF_INET) as s:
                s.bind((host, 0))
                server.port = s.getsockname()[1]
            pasv = random.randrange(40000, 59000, 100)
            lines = ["background=NO", "seccomp_sandbox=NO", f"listen={'NO' if ipv6 else 'YES'}",
                     f"listen_ipv6={'YES' if ipv6 else 'NO'}", f"listen_port={server.port}",
                     f"listen_address6={host}" if ipv6 else f"listen_address={host}\npasv_address=127.0.0.1",
                     "anonymous_enable=YES", f"anon_root={root}", "no_anon_password=YES", f"secure_chroot_dir={state / 'empty'}",
                     "pasv_enable=YES", f"pasv_min_port={pasv}", f"pasv_max_port={pasv + 99}", "connect_from_port_20=NO",
                     "xferlog_enable=YES", "xferlog_std_format=NO", "log_ftp_protocol=YES", f"vsftpd_log_file={state / 'vsftpd.log'}",
                     "syslog_enable=NO", f"local_enable={'YES' if login else 'NO'}", f"pam_service_name={PAM_SERVICE}",
                     "chroot_local_user=YES", f"local_root={root}", f"write_enable={'YES' if writable else 'NO'}",
                     "local_umask=022", "max_per_ip=50", "max_clients=100"]
            (state / "vsftpd.conf").write_text("\n".join(lines) + "\n")
            process = _start(["/usr/sbin/vsftpd", str(state / "vsftpd.conf")], state)
            _poll(lambda: process.poll() is not None or _accepts(host, server.port), 15, "vsftpd did not start")
            if process.poll() is None:
                break
        assert process.poll() is None, (state / "stdout.log").read_text(errors="replace")
        yield server
    finally:
        if process is not None:
            _stop_group(process)
        shutil.rmtree(state, ignore_errors=True)


class FaultFtpServer(FtpServer):
    def __init__(self, host, root, state, config):
        super().__init__(host, root, state)
        self._config = dict(config, host=host, root=str(root), generation=0)
        self._write_config()

    def _write_config(self):
        (self.state / "config.tmp").write_text(json.dumps(self._config))
        os.replace(self.state / "config.tmp", self.state / "config.json")

    def set_faults(self, **changes):
        # Changes configuration keys (None removes one); the fault counter starts again.
        for key, value in changes.items():
            self._config.pop(key, None) if value is None else self._config.__setitem__(key, value)
        self._config["generation"] += 1
        self._write_config()

    def commands(self):
        return self._lines("commands.log")

    def transfers(self):
        return [Transfer(**json.loads(line)) for line in self._lines("transfers.log")]

    def alive(self):
        return self._process.poll() is None


@contextlib.contextmanager
def fault_ftp(root, *, ipv6=False, port=0, **config):
    # The scripted fault server serving root (on port, when given: a server that comes back).
    _make_readable(root)
    state = Path(tempfile.mkdtemp(prefix="fennick-faultftp-"))
    server = FaultFtpServer("::1" if ipv6 else "127.0.0.1", root, state, dict(config, port=port))
    server._process = process = _start(["/usr/bin/python3", __file__, str(state)], state)
    try:
        _poll(lambda: (state / "port").exists() or process.poll() is not None, 15, "fault FTP server did not start")
        assert process.poll() is None, (state / "stdout.log").read_text(errors="replace")
        server.port = int((state / "port").read_text())
        yield server
    finally:
        _stop_group(process)
        shutil.rmtree(state, ignore_errors=True)


def _serve(state):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.filesystems import AbstractedFS
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import ThreadedFTPServer

    lock, used = threading.Lock(), {}  # config generation -> RETRs that played the fault

    def config():
        return json.loads((state / "config.json").read_text())

    def log(name, line):
        with lock, open(state / name, "a", encoding="utf-8") as f:
            f.write(line + "\n")

    class FaultFile:
        # The served file as the data connection reads it, with the fault played on the way.

        def __init__(self, inner, handler, fault, rate):
            self.inner, self.handler, self.fault, self.rate, self.sent, self.name = inner, handler, fault, rate, 0, inner.name
            self.close, self.seek, self.tell = inner.close, inner.seek, inner.tell

        @property
        def closed(self):
            return self.inner.closed

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
            if "r" not in mode or not handler.in_retr:
                return inner
            fault, generation = handler.config.get("retr_fault"), handler.config["generation"]
            with lock:
                if fault and used.get(generation, 0) < fault.get("times", 1 << 30):
                    used[generation] = used.get(generation, 0) + 1
                else:
                    fault = None
            rate = handler.config.get("rate", 0)
            return FaultFile(inner, handler, fault, rate) if fault or rate else inner

    class Handler(FTPHandler):
        use_sendfile, auth_failed_timeout, abstracted_fs = False, 0.1, FaultFS
        proto_cmds = dict(FTPHandler.proto_cmds, ACCT=dict(perm=None, auth=False, arg=True, help="ACCT account"))

        def on_connect(self):
            self.config, self.in_retr, self.swallow_reply, self.verb = config(), False, False, ""
            self.proxy_stage, self.account_pending = "none", None  # proxy: none -> user -> passed
            if self.config.get("masquerade"):
                self.masquerade_address = self.config["masquerade"]

        def handle(self):
            banner = config().get("banner")
            if not banner:
                return super().handle()
            self.on_connect()
            self.push("".join(line + "\r\n" for line in banner))

        def pre_process_command(self, line, cmd, arg):
            log("commands.log", line)
            self.verb, replaced = cmd, self.config.get("replace", {}).get(cmd)
            if replaced is not None:
                return self.push(replaced + "\r\n")
            super().pre_process_command(line, cmd, arg)

        def respond(self, resp, logfun=None):
            if self.swallow_reply and resp[:3] in ("226", "426"):
                self.swallow_reply = False
                return
            if self.verb in self.config.get("multiline", []):
                code, other = resp[:3], "220" if resp[:3] == "230" else "230"
                self.push(f"{code}-{resp[4:]}\r\n{other} an inner line with another code\r\n{code}-same code\r\n {code} indented\r\n")
            super().respond(resp, **({"logfun": logfun} if logfun else {}))

        def ftp_RETR(self, file):
            self.config, self.in_retr = config(), True
            try:
                return super().ftp_RETR(file)
            finally:
                self.in_retr = False

        def ftp_USER(self, line):
            proxy = self.config.get("proxy")
            if proxy and proxy.get("user") and self.proxy_stage == "none":
                self.proxy_stage = "user" if line == proxy["user"] else "none"
                return self.respond("331 Proxy password, please." if line == proxy["user"] else "530 Log in to the proxy first.")
            if proxy:
                line, _, target = line.rpartition("@")
                if not line or target != proxy["target"]:
                    return self.respond("530 The proxy needs user@host:port.")
            if line in self.config.get("no_password_users", []):
                self.username = line
                return self.handle_auth_success(self.authorizer.get_home_dir(line), "", "Logged in without password.")
            super().ftp_USER(line)

        def ftp_PASS(self, line):
            proxy = self.config.get("proxy")
            if proxy and self.proxy_stage == "user":
                self.proxy_stage = "passed" if line == proxy.get("password", "") else "none"
                return self.respond("230 Proxy logon accepted." if self.proxy_stage == "passed" else "530 Wrong proxy password.")
            if self.username in self.config.get("account", {}) and not self.authenticated:
                try:
                    self.authorizer.validate_authentication(self.username, line, self)
                except Exception:
                    return self.respond("530 Authentication failed.")
                self.account_pending = (self.authorizer.get_home_dir(self.username), line)
                return self.respond("332 Need account for login.")
            super().ftp_PASS(line)

        def ftp_ACCT(self, line):
            if not self.account_pending or self.config.get("account", {}).get(self.username) != line:
                return self.respond("530 Wrong account.")
            home, password = self.account_pending
            self.account_pending = None
            self.handle_auth_success(home, password, "Account accepted.")

        def log_transfer(self, cmd, filename, receive, completed, elapsed, bytes):
            log("transfers.log", json.dumps({"command": cmd, "path": filename, "bytes": bytes, "completed": bool(completed)}))

    settings, authorizer = config(), DummyAuthorizer()
    for name, password in settings.get("users", []):
        authorizer.add_user(name, password, settings["root"], perm="elr")
    if settings.get("anonymous", True):
        authorizer.add_anonymous(settings["root"], perm="elr")
    Handler.authorizer = authorizer
    server = ThreadedFTPServer((settings["host"], settings.get("port", 0)), Handler)
    (state / "port.tmp").write_text(str(server.socket.getsockname()[1]))
    os.replace(state / "port.tmp", state / "port")
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    _serve(Path(sys.argv[1]))
