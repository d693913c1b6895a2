"""A scripted FTP server for fault tests, built on pyftpdlib; run as its own process.

    /usr/bin/python3 ftp_fault_server.py STATE_DIR

STATE_DIR/config.json says what to serve and which faults to play (see servers/ftp.py,
FaultFtpServer, for the keys). It is read again for every connection and every RETR, so a test
can change the behaviour between two runs of the client without restarting the server.
The server writes its port to STATE_DIR/port once it listens, every command it receives to
STATE_DIR/commands.log (one line each, as received) and every transfer to
STATE_DIR/transfers.log (one JSON object per line).
"""
import errno
import json
import os
import socket
import struct
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import ThreadedFTPServer

STATE = sys.argv[1] if len(sys.argv) > 1 else "."
_log_lock = threading.Lock()
_fault_lock = threading.Lock()
_faults_used = {}  # config generation -> how many RETRs have played the fault


def load_config():
    with open(os.path.join(STATE, "config.json"), encoding="utf-8") as f:
        return json.load(f)


def append(name, line):
    with _log_lock:
        with open(os.path.join(STATE, name), "a", encoding="utf-8") as f:
            f.write(line + "\n")


def claim_fault(config):
    """The RETR fault to play now, or None once it has been played `times` times."""
    fault = config.get("retr_fault")
    if not fault:
        return None
    generation = config.get("generation", 0)
    with _fault_lock:
        used = _faults_used.get(generation, 0)
        if used >= fault.get("times", 1 << 30):
            return None
        _faults_used[generation] = used + 1
    return fault


class FaultFile:
    """The served file as the data connection reads it, with the fault played on the way."""

    def __init__(self, inner, handler, fault, rate):
        self._inner = inner
        self._handler = handler
        self._fault = fault
        self._rate = rate
        self._sent = 0
        self.name = inner.name

    @property
    def closed(self):
        return self._inner.closed

    def close(self):
        self._inner.close()

    def seek(self, *args):
        return self._inner.seek(*args)

    def tell(self):
        return self._inner.tell()

    def read(self, size=-1):
        fault = self._fault
        after = fault.get("after", 0) if fault else None
        if fault and self._sent >= after:
            self._play(fault["kind"])
            fault = self._fault = None if fault["kind"] == "early_reply" else fault
        limit = size if size and size > 0 else 1 << 20
        if fault:
            limit = min(limit, after - self._sent)
        if self._rate:
            limit = min(limit, max(1, self._rate // 10))
            time.sleep(limit / self._rate)
        data = self._inner.read(limit)
        self._sent += len(data)
        return data

    def _play(self, kind):
        if kind == "close":
            # A clean end of the data stream, and the server still answers 226.
            self._inner.seek(0, os.SEEK_END)
        elif kind == "reset":
            channel = self._handler.data_channel
            if channel is not None:
                channel.socket.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            raise OSError(errno.ECONNRESET, "reset by the test server")
        elif kind == "stall":
            # Nothing more, ever: the connection stays open until the server is stopped.
            threading.Event().wait()
        elif kind == "die":
            os._exit(3)
        elif kind == "early_reply":
            # The final reply goes out before the rest of the data.
            self._handler.respond("226 Transfer complete (early).")
            self._handler.swallow_transfer_reply = True
        else:
            raise ValueError("unknown fault " + kind)


class FaultFS(AbstractedFS):
    def open(self, filename, mode):
        inner = super().open(filename, mode)
        handler = self.cmd_channel
        if "r" in mode and handler.retr_in_progress:
            config = handler.config
            fault = claim_fault(config)
            rate = config.get("rate", 0)
            if fault or rate:
                return FaultFile(inner, handler, fault, rate)
        return inner


class FaultHandler(FTPHandler):
    use_sendfile = False
    auth_failed_timeout = 0.1
    abstracted_fs = FaultFS
    proto_cmds = dict(FTPHandler.proto_cmds,
                      ACCT=dict(perm=None, auth=False, arg=True, help="Syntax: ACCT <SP> account"))

    def on_connect(self):
        self.config = load_config()
        self.retr_in_progress = False
        self.swallow_transfer_reply = False
        self.current_verb = ""
        self.proxy_stage = "none"   # "none" -> "user" -> "passed"
        self.account_pending = None  # (home, password, msg) while an account is awaited
        if self.config.get("masquerade"):
            self.masquerade_address = self.config["masquerade"]

    def handle(self):
        banner = load_config().get("banner")
        if banner:
            self.on_connect()
            self.push("".join(line + "\r\n" for line in banner))
        else:
            super().handle()

    def pre_process_command(self, line, cmd, arg):
        append("commands.log", line)
        self.current_verb = cmd
        replaced = self.config.get("replace", {}).get(cmd)
        if replaced is not None:
            self.push(replaced.replace("\n", "\r\n") + "\r\n")
            return
        super().pre_process_command(line, cmd, arg)

    def respond(self, resp, logfun=None):
        if self.swallow_transfer_reply and resp[:3] in ("226", "426"):
            self.swallow_transfer_reply = False
            return
        if self.current_verb in self.config.get("multiline", []) and len(resp) >= 3:
            code, text = resp[:3], resp[4:]
            other = "230" if code != "230" else "220"
            self.push(f"{code}-{text}\r\n{other} an inner line that starts with another code\r\n"
                      f"{code}-an inner line with the same code\r\n {code} indented\r\n")
        kwargs = {} if logfun is None else {"logfun": logfun}
        super().respond(resp, **kwargs)

    def ftp_RETR(self, file):
        self.config = load_config()
        self.retr_in_progress = True
        try:
            return super().ftp_RETR(file)
        finally:
            self.retr_in_progress = False

    def ftp_USER(self, line):
        proxy = self.config.get("proxy")
        if proxy:
            if proxy.get("user") and self.proxy_stage == "none":
                if line != proxy["user"]:
                    self.respond("530 Log in to the proxy first.")
                    return
                self.proxy_stage = "user"
                self.respond("331 Proxy password, please.")
                return
            name, _, target = line.rpartition("@")
            if not name or target != proxy["target"]:
                self.respond("530 The proxy needs user@host:port.")
                return
            line = name
        if line in self.config.get("no_password_users", []):
            self.username = line
            self.handle_auth_success(self.authorizer.get_home_dir(line), "", "Logged in without password.")
            return
        super().ftp_USER(line)

    def ftp_PASS(self, line):
        proxy = self.config.get("proxy")
        if proxy and self.proxy_stage == "user":
            if line == proxy.get("password", ""):
                self.proxy_stage = "passed"
                self.respond("230 Proxy logon accepted; now user@host:port.")
            else:
                self.proxy_stage = "none"
                self.respond("530 Wrong proxy password.")
            return
        account = self.config.get("account", {})
        if self.username in account and not self.authenticated:
            try:
                self.authorizer.validate_authentication(self.username, line, self)
            except Exception:
                self.respond("530 Authentication failed.")
                return
            self.account_pending = (self.authorizer.get_home_dir(self.username), line)
            self.respond("332 Need account for login.")
            return
        super().ftp_PASS(line)

    def ftp_ACCT(self, line):
        account = self.config.get("account", {})
        if self.account_pending and account.get(self.username) == line:
            home, password = self.account_pending
            self.account_pending = None
            self.handle_auth_success(home, password, "Account accepted.")
        else:
            self.respond("530 Wrong account.")

    def log_transfer(self, cmd, filename, receive, completed, elapsed, bytes):
        append("transfers.log", json.dumps({"command": cmd, "path": filename, "bytes": bytes,
                                            "completed": bool(completed)}))


def main():
    config = load_config()
    authorizer = DummyAuthorizer()
    perm = "elradfmwMT" if config.get("writable") else "elr"
    for name, password in config.get("users", []):
        authorizer.add_user(name, password, config["root"], perm=perm)
    if config.get("anonymous", True):
        authorizer.add_anonymous(config["root"], perm=perm)
    server = ThreadedFTPServer((config.get("host", "127.0.0.1"), 0), FaultHandler)
    server.authorizer = authorizer
    FaultHandler.authorizer = authorizer
    port = server.socket.getsockname()[1]
    temporary = os.path.join(STATE, "port.tmp")
    with open(temporary, "w") as f:
        f.write(str(port))
    os.replace(temporary, os.path.join(STATE, "port"))
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
