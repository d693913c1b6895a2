"""FTP servers for tests, as context managers; each listens on a free port of 127.0.0.1 (or ::1).

    with vsftpd(root, login=("fennickftp", "secret")) as server:   # anonymous + a user login
        server.url("/pub/setup.exe")          # ftp://127.0.0.1:PORT/pub/setup.exe
        server.commands()                     # ["USER anonymous", "PASS ", "TYPE I", ...]
        server.transfers()                    # [Transfer(command="RETR", path=..., bytes=..., completed=...)]

    with fault_ftp(root, retr_fault={"kind": "close", "after": 4096, "times": 1}) as server:
        ...
        server.set_faults(retr_fault=None)    # takes effect with the next connection / RETR

`root` is the folder served (made world-readable; vsftpd runs anonymous sessions as user "ftp").
Both servers run as their own process group and are stopped whole, so that no session outlives
the test. Running vsftpd (and the login user it needs) requires root.
"""
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
import tempfile
from dataclasses import dataclass
from pathlib import Path

from .polling import wait_until

PYTHON = "/usr/bin/python3"
VSFTPD = "/usr/sbin/vsftpd"
FAULT_SERVER = Path(__file__).with_name("ftp_fault_server.py")
PAM_SERVICE = "fennick-ftp-test"
LOGIN_USER = ("fennickftp", "Fennick-Test-1")
START_TIMEOUT = 15.0


@dataclass
class Transfer:
    command: str    # RETR, STOR, APPE
    path: str
    bytes: int
    completed: bool


def _deadline_poll(predicate, timeout, what):
    return wait_until(predicate, what, timeout, error=TimeoutError)


def _accepts(host, port):
    family = socket.AF_INET6 if ":" in host else socket.AF_INET
    with socket.socket(family, socket.SOCK_STREAM) as probe:
        probe.settimeout(0.5)
        try:
            probe.connect((host, port))
            return True
        except OSError:
            return False


def _free_port(host):
    family = socket.AF_INET6 if ":" in host else socket.AF_INET
    with socket.socket(family, socket.SOCK_STREAM) as s:
        s.bind((host, 0))
        return s.getsockname()[1]


def _stop_group(process):
    """Ends the server's whole process group (vsftpd forks a process per session)."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(process.pid, sig)
        except ProcessLookupError:
            break
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            pass
    process.wait(timeout=5)


def _start(command, state):
    with open(state / "stdout.log", "wb") as out:
        return subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                                start_new_session=True)


def _make_readable(root):
    root = Path(root)
    root.mkdir(parents=True, exist_ok=True)
    os.chmod(root, 0o755)
    for path in root.rglob("*"):
        os.chmod(path, 0o755 if path.is_dir() else 0o644)


class FtpServer:
    """What both servers offer a test."""

    def __init__(self, host, root):
        self.host = host
        self.port = 0
        self.root = Path(root)

    def url(self, path, user=None, password=None):
        host = f"[{self.host}]" if ":" in self.host else self.host
        credentials = ""
        if user is not None:
            credentials = user + (f":{password}" if password is not None else "") + "@"
        return f"ftp://{credentials}{host}:{self.port}/{path.lstrip('/')}"

    def commands(self):
        raise NotImplementedError

    def verbs(self):
        """The command verbs received, in order."""
        return [line.split(" ", 1)[0].upper() for line in self.commands()]

    def transfers(self):
        raise NotImplementedError

    def wait_for_transfers(self, count, timeout=10.0):
        """The transfers once `count` of them are logged (a server logs a transfer as it ends)."""
        return _deadline_poll(lambda: len(self.transfers()) >= count and self.transfers(), timeout,
                              f"{count} transfers not logged")


class VsftpdServer(FtpServer):
    def __init__(self, host, root, state):
        super().__init__(host, root)
        self.state = Path(state)
        self.log = self.state / "vsftpd.log"

    _COMMAND = re.compile(r'FTP command: Client "[^"]*", "(.*)"$')
    _TRANSFER = re.compile(r'(OK|FAIL) (DOWNLOAD|UPLOAD): Client "[^"]*", "([^"]*)", (\d+) bytes')

    def _lines(self):
        try:
            return self.log.read_text(encoding="utf-8", errors="replace").splitlines()
        except FileNotFoundError:
            return []

    def commands(self):
        return [m.group(1) for m in map(self._COMMAND.search, self._lines()) if m]

    def transfers(self):
        result = []
        for m in map(self._TRANSFER.search, self._lines()):
            if m:
                command = "RETR" if m.group(2) == "DOWNLOAD" else "STOR"
                result.append(Transfer(command, m.group(3), int(m.group(4)), m.group(1) == "OK"))
        return result


def ensure_login_user(name=LOGIN_USER[0], password=LOGIN_USER[1]):
    """A system user for vsftpd's user login, and the PAM service vsftpd checks it with.
    vsftpd enters the user's home before it moves to local_root, so the home must exist.
    Suites may run side by side: a lock keeps two of them from creating the user at once."""
    with open("/run/lock/" + PAM_SERVICE + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        _ensure_login_user(name, password)


def _ensure_login_user(name, password):
    pam = Path("/etc/pam.d") / PAM_SERVICE
    text = ("auth required pam_unix.so\n"
            "account required pam_unix.so\n"
            "session required pam_permit.so\n")
    if not pam.exists() or pam.read_text() != text:
        pam.write_text(text)
    home = Path("/var/lib") / PAM_SERVICE
    home.mkdir(mode=0o755, exist_ok=True)
    try:
        current_home = pwd.getpwnam(name).pw_dir
    except KeyError:
        subprocess.run(["useradd", "--system", "--no-create-home", "--home-dir", str(home),
                        "--shell", "/usr/sbin/nologin", name], check=True)
    else:
        if current_home != str(home):
            subprocess.run(["usermod", "--home", str(home), name], check=True, capture_output=True)
    subprocess.run(["chpasswd"], input=f"{name}:{password}\n", text=True, check=True)


def _make_traversable(folder):
    """vsftpd enters a login user's root as that user: every folder above it must let others pass
    (search permission only; nothing becomes listable)."""
    for parent in Path(folder).resolve().parents:
        mode = parent.stat().st_mode
        if not mode & 0o001:
            os.chmod(parent, (mode & 0o7777) | 0o001)


@contextlib.contextmanager
def vsftpd(root=None, *, login=None, ipv6=False, writable=False):
    """vsftpd serving `root` (a fresh folder, server.root, when None) to anonymous users, and to
    `login` (user, password) if given. With `writable`, the login user may upload into
    `root/incoming` (created for it)."""
    host = "::1" if ipv6 else "127.0.0.1"
    state = Path(tempfile.mkdtemp(prefix="fennick-vsftpd-"))
    if root is None:
        root = state / "root"
    _make_readable(root)
    if login:
        _make_traversable(root)
    empty = state / "empty"
    empty.mkdir()
    os.chmod(state, 0o755)
    os.chmod(empty, 0o755)
    if login:
        ensure_login_user(*login)
    if writable and login:
        incoming = Path(root) / "incoming"
        incoming.mkdir(exist_ok=True)
        shutil.chown(incoming, user=login[0])
    server = VsftpdServer(host, root, state)
    process = None
    try:
        for _ in range(5):
            server.port = _free_port(host)
            pasv = random.randrange(40000, 59000, 100)
            lines = [
                "background=NO", "seccomp_sandbox=NO",
                f"listen={'NO' if ipv6 else 'YES'}", f"listen_ipv6={'YES' if ipv6 else 'NO'}",
                f"listen_port={server.port}",
                f"listen_address6={host}" if ipv6 else f"listen_address={host}",
                "anonymous_enable=YES", f"anon_root={root}", "no_anon_password=YES",
                f"secure_chroot_dir={empty}",
                "pasv_enable=YES", f"pasv_min_port={pasv}", f"pasv_max_port={pasv + 99}",
                "pasv_address=127.0.0.1" if not ipv6 else "",
                "connect_from_port_20=NO", "use_localtime=NO",
                "xferlog_enable=YES", "xferlog_std_format=NO", "log_ftp_protocol=YES",
                f"vsftpd_log_file={server.log}", "dual_log_enable=NO", "syslog_enable=NO",
                f"local_enable={'YES' if login else 'NO'}", f"pam_service_name={PAM_SERVICE}",
                "chroot_local_user=YES", f"local_root={root}", "userlist_enable=NO",
                f"write_enable={'YES' if writable else 'NO'}", "local_umask=022",
                "max_per_ip=50", "max_clients=100",
            ]
            config = state / "vsftpd.conf"
            config.write_text("\n".join(line for line in lines if line) + "\n")
            process = _start([VSFTPD, str(config)], state)
            try:
                _deadline_poll(lambda: process.poll() is not None or _accepts(host, server.port),
                               START_TIMEOUT, "vsftpd did not start")
            except TimeoutError:
                _stop_group(process)
                raise
            if process.poll() is None:
                break
            process = None  # the port was taken meanwhile: another one
        if process is None:
            raise RuntimeError("vsftpd did not start: " + (state / "stdout.log").read_text(errors="replace"))
        yield server
    finally:
        if process is not None:
            _stop_group(process)
        shutil.rmtree(state, ignore_errors=True)


class FaultFtpServer(FtpServer):
    """The scripted server. Configuration keys (all optional):

    users              [[name, password], ...] besides anonymous (anonymous=False turns that off)
    writable           uploads, renames and deletions allowed
    banner             raw greeting lines, e.g. ["220-Hello", "230 inner", "220 Ready."]
    multiline          verbs whose replies come as multi-line replies with inner lines of other codes
    replace            {verb: raw reply}, sent instead of executing the command ("502 No." for EPSV)
    no_password_users  users whose USER is answered with 230 at once
    account            {user: account}: PASS answers 332 and ACCT must give the account
    proxy              {"user": ..., "password": ..., "target": "host:port"}: behaves like a proxy
                       that wants its own logon first (if "user" is set) and then USER name@target
    masquerade         the address written into PASV replies
    rate               bytes per second for RETR data (0 = as fast as possible)
    retr_fault         {"kind": close|reset|stall|die|early_reply, "after": bytes, "times": count}
                       close: clean end of data after `after` bytes and still "226";
                       reset: TCP reset after `after` bytes and "426"; stall: nothing more, ever;
                       die: the whole server process exits; early_reply: "226" goes out on the
                       control connection after `after` bytes, before the rest of the data.
                       Played on the next `times` RETRs (all when missing).
    """

    def __init__(self, host, root, state, config):
        super().__init__(host, root)
        self.state = Path(state)
        self._config = dict(config, host=host, root=str(root), generation=0)
        self._write_config()

    def _write_config(self):
        temporary = self.state / "config.json.tmp"
        temporary.write_text(json.dumps(self._config))
        os.replace(temporary, self.state / "config.json")

    def set_faults(self, **changes):
        """Changes configuration keys (None removes one); the fault counter starts again."""
        for key, value in changes.items():
            if value is None:
                self._config.pop(key, None)
            else:
                self._config[key] = value
        self._config["generation"] += 1
        self._write_config()

    def commands(self):
        try:
            return (self.state / "commands.log").read_text(encoding="utf-8").splitlines()
        except FileNotFoundError:
            return []

    def transfers(self):
        try:
            lines = (self.state / "transfers.log").read_text(encoding="utf-8").splitlines()
        except FileNotFoundError:
            return []
        return [Transfer(**json.loads(line)) for line in lines]

    def alive(self):
        return self._process is not None and self._process.poll() is None


@contextlib.contextmanager
def fault_ftp(root, *, ipv6=False, **config):
    """The scripted fault server serving `root`; keyword arguments are FaultFtpServer's keys."""
    host = "::1" if ipv6 else "127.0.0.1"
    _make_readable(root)
    state = Path(tempfile.mkdtemp(prefix="fennick-faultftp-"))
    server = FaultFtpServer(host, root, state, config)
    process = _start([PYTHON, str(FAULT_SERVER), str(state)], state)
    server._process = process
    try:
        port_file = state / "port"
        _deadline_poll(lambda: port_file.exists() or process.poll() is not None, START_TIMEOUT,
                       "fault FTP server did not start")
        if process.poll() is not None:
            raise RuntimeError("fault FTP server failed: " + (state / "stdout.log").read_text(errors="replace"))
        server.port = int(port_file.read_text())
        yield server
    finally:
        _stop_group(process)
        shutil.rmtree(state, ignore_errors=True)
