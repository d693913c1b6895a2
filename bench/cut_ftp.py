"""A read-only anonymous FTP server (pyftpdlib, in a thread) that can end the next transfer after
exactly N bytes of the file, and records each RETR's restart offset and bytes sent. The bench uses
it to measure how much of an interrupted download is fetched again."""
import logging
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class _CountingFile:
    """A file opened for RETR: ends after `limit` bytes of the file (None: at its end)."""

    def __init__(self, file, limit, record):
        self._file = file
        self._limit = limit
        self._position = 0
        self._record = record

    def seek(self, offset, whence=0):
        self._position = self._file.seek(offset, whence)
        self._record["rest"] = self._position
        return self._position

    def read(self, size=-1):
        if self._limit is not None:
            left = self._limit - self._position
            if left <= 0:
                return b""
            size = left if size is None or size < 0 else min(size, left)
        data = self._file.read(size)
        self._position += len(data)
        self._record["sent"] += len(data)
        return data

    def close(self):
        self._file.close()

    def __getattr__(self, name):
        return getattr(self._file, name)


class CutFtpServer:
    def __init__(self, folder, port):
        self.folder = folder
        self.port = port
        self.transfers = []  # one {"rest": offset, "sent": bytes} per RETR, in order
        self._cut_at = None
        self._lock = threading.Lock()

    def cut_next_transfer_at(self, byte_offset):
        with self._lock:
            self._cut_at = byte_offset

    def _open_for_retr(self, file):
        with self._lock:
            limit, self._cut_at = self._cut_at, None
            record = {"rest": 0, "sent": 0}
            self.transfers.append(record)
        return _CountingFile(file, limit, record)

    def __enter__(self):
        server_self = self

        class Filesystem(AbstractedFS):
            def open(self, filename, mode):
                file = super().open(filename, mode)
                return server_self._open_for_retr(file) if "r" in mode else file

        class Handler(FTPHandler):
            use_sendfile = False  # every byte goes through _CountingFile

        Handler.abstracted_fs = Filesystem
        authorizer = DummyAuthorizer()
        authorizer.add_anonymous(self.folder, perm="elr")
        Handler.authorizer = authorizer
        Handler.banner = "bench"
        quiet = logging.getLogger("pyftpdlib")  # with a handler of its own, pyftpdlib sets up no logging
        quiet.addHandler(logging.NullHandler())
        quiet.propagate = False
        self._server = FTPServer(("127.0.0.1", self.port), Handler)
        self._thread = threading.Thread(target=self._server.serve_forever, kwargs={"timeout": 0.2}, daemon=True)
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._server.close_all()
        self._thread.join(timeout=10)

    def url(self, name):
        return "ftp://127.0.0.1:%d/%s" % (self.port, name)
