"""Local servers for the demo and the benchmarks: vsftpd (anonymous, read-only) and nginx (HTTP or
HTTPS with a throw-away test CA), bound to 127.0.0.1 on free ports, optionally throttled.

Each server runs in a process group of its own (setsid) and is stopped by that group, never by
name: vsftpd forks one process per session, and killing only the listener would leave a running
transfer alive."""
import os
import signal
import socket
import subprocess
import time


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def free_port_range(count):
    """A run of `count` consecutive ports that are free right now (for vsftpd's passive range)."""
    for _ in range(200):
        base = free_port()
        if base + count >= 65535:
            continue
        sockets = []
        try:
            for port in range(base, base + count):
                probe = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
                sockets.append(probe)
                probe.bind(("127.0.0.1", port))
            return base, base + count - 1
        except OSError:
            continue
        finally:
            for probe in sockets:
                probe.close()
    raise RuntimeError("no free range of %d ports on 127.0.0.1" % count)


def wait_for_port(port, process, log_path, deadline_seconds=15.0):
    deadline = time.monotonic() + deadline_seconds
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise RuntimeError("server ended at start (exit %s); see %s" % (process.returncode, log_path))
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                return
        except OSError:
            time.sleep(0.1)
    raise RuntimeError("server did not listen on port %d; see %s" % (port, log_path))


def descendants(pid):
    """Every process below `pid`, found through /proc (children first listed last)."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        children.setdefault(int(fields[1]), []).append(int(entry))
    found, queue = [], [pid]
    while queue:
        for child in children.get(queue.pop(), []):
            found.append(child)
            queue.append(child)
    return found


class Server:
    """A server process in its own process group; a context manager that stops the group."""

    scheme = None

    def __init__(self, workdir, serve_dir, rate_bytes_per_second=0):
        self.workdir = workdir
        self.serve_dir = serve_dir
        self.rate = int(rate_bytes_per_second)
        self.port = None
        self.process = None
        os.makedirs(workdir, exist_ok=True)

    def url(self, name):
        return "%s://127.0.0.1:%d/%s" % (self.scheme, self.port, name)

    def _spawn(self, argv, log_name):
        log_path = os.path.join(self.workdir, log_name)
        with open(log_path, "ab") as log:
            self.process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                            start_new_session=True)
        wait_for_port(self.port, self.process, log_path)

    def cut_transfers(self):
        """Ends every running session (a dropped connection for the client); the listener stays."""
        cut = 0
        for pid in self._session_pids():
            try:
                os.kill(pid, signal.SIGKILL)
                cut += 1
            except ProcessLookupError:
                pass
        return cut

    def _session_pids(self):
        return descendants(self.process.pid)

    def stop(self):
        if self.process is None or self.process.poll() is not None:
            return
        try:
            os.killpg(self.process.pid, signal.SIGTERM)
            self.process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait(timeout=5)
        except ProcessLookupError:
            pass

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()


class VsftpdServer(Server):
    """Anonymous, read-only vsftpd; completed and failed transfers land in its transfer log."""

    scheme = "ftp"

    def start(self):
        self.port = free_port()
        pasv_min, pasv_max = free_port_range(20)
        empty = os.path.join(self.workdir, "empty")
        os.makedirs(empty, exist_ok=True)
        os.chmod(empty, 0o755)
        os.chmod(self.serve_dir, 0o755)
        self.transfer_log = os.path.join(self.workdir, "vsftpd-transfers.log")
        config = os.path.join(self.workdir, "vsftpd.conf")
        with open(config, "w") as out:
            out.write("\n".join([
                "listen=YES", "listen_ipv6=NO", "listen_address=127.0.0.1", "listen_port=%d" % self.port,
                "background=NO", "seccomp_sandbox=NO",
                "anonymous_enable=YES", "no_anon_password=YES", "anon_root=%s" % self.serve_dir,
                "local_enable=NO", "write_enable=NO",
                "secure_chroot_dir=%s" % empty,
                "pasv_enable=YES", "pasv_address=127.0.0.1",
                "pasv_min_port=%d" % pasv_min, "pasv_max_port=%d" % pasv_max,
                "xferlog_enable=YES", "xferlog_std_format=NO", "log_ftp_protocol=NO",
                "vsftpd_log_file=%s" % self.transfer_log,
                "anon_max_rate=%d" % self.rate,
                "idle_session_timeout=120", "data_connection_timeout=60",
                "",
            ]))
        self._spawn(["/usr/sbin/vsftpd", config], "vsftpd.out")

    def _session_pids(self):
        # The listener's children are the sessions; leave the listener itself running.
        return descendants(self.process.pid)

    def bytes_sent(self):
        """Bytes of each logged download, in order (vsftpd logs a transfer when it ends)."""
        sent = []
        try:
            with open(self.transfer_log, errors="replace") as log:
                for line in log:
                    if "DOWNLOAD:" in line and " bytes" in line:
                        number = line.split(" bytes")[0].rsplit(",", 1)[-1].strip()
                        if number.isdigit():
                            sent.append(int(number))
        except FileNotFoundError:
            pass
        return sent


class TestCertificateAuthority:
    """A throw-away CA and a server certificate for 127.0.0.1 and localhost, made with openssl."""

    def __init__(self, directory):
        self.directory = directory
        os.makedirs(directory, exist_ok=True)
        self.ca_cert = os.path.join(directory, "test-ca.pem")
        self.ca_key = os.path.join(directory, "test-ca.key")
        self.server_cert = os.path.join(directory, "server.pem")
        self.server_key = os.path.join(directory, "server.key")

    def create(self):
        if all(os.path.exists(p) for p in (self.ca_cert, self.server_cert, self.server_key)):
            return self
        run = lambda *argv: subprocess.run(argv, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "30",
            "-subj", "/CN=Fennick demo test CA", "-keyout", self.ca_key, "-out", self.ca_cert,
            "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        request = os.path.join(self.directory, "server.csr")
        run("openssl", "req", "-newkey", "rsa:2048", "-nodes", "-sha256", "-subj", "/CN=127.0.0.1",
            "-keyout", self.server_key, "-out", request)
        extensions = os.path.join(self.directory, "server.ext")
        with open(extensions, "w") as out:
            out.write("basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n"
                      "extendedKeyUsage=serverAuth\nsubjectAltName=IP:127.0.0.1,DNS:127.0.0.1,DNS:localhost\n")
        run("openssl", "x509", "-req", "-in", request, "-CA", self.ca_cert, "-CAkey", self.ca_key,
            "-CAcreateserial", "-days", "30", "-sha256", "-extfile", extensions, "-out", self.server_cert)
        return self

    def ca_der(self):
        return subprocess.run(["openssl", "x509", "-in", self.ca_cert, "-outform", "DER"], check=True,
                              stdout=subprocess.PIPE).stdout


class NginxServer(Server):
    """nginx serving one folder over HTTP, or HTTPS with a TestCertificateAuthority's certificate."""

    def __init__(self, workdir, serve_dir, rate_bytes_per_second=0, tls=None):
        super().__init__(workdir, serve_dir, rate_bytes_per_second)
        self.tls = tls
        self.scheme = "https" if tls else "http"

    def start(self):
        self.port = free_port()
        temp = os.path.join(self.workdir, "nginx-temp")
        os.makedirs(temp, exist_ok=True)
        self.access_log = os.path.join(self.workdir, "nginx-access.log")
        listen = "listen 127.0.0.1:%d%s;" % (self.port, " ssl" if self.tls else "")
        tls_lines = ""
        if self.tls:
            tls_lines = "ssl_certificate %s; ssl_certificate_key %s;" % (self.tls.server_cert, self.tls.server_key)
        config = os.path.join(self.workdir, "nginx.conf")
        with open(config, "w") as out:
            out.write("""
daemon off; master_process on; worker_processes 1; user root;
pid %(workdir)s/nginx.pid; error_log %(workdir)s/nginx-error.log warn;
events { worker_connections 64; }
http {
  log_format bytes '$request_uri $status $body_bytes_sent $http_range';
  access_log %(access)s bytes;
  client_body_temp_path %(temp)s; proxy_temp_path %(temp)s; fastcgi_temp_path %(temp)s;
  uwsgi_temp_path %(temp)s; scgi_temp_path %(temp)s;
  types { application/octet-stream exe; } default_type application/octet-stream;
  sendfile on;
  server { %(listen)s %(tls)s root %(root)s; limit_rate %(rate)d; location / { } }
}
""" % {"workdir": self.workdir, "access": self.access_log, "temp": temp, "listen": listen,
       "tls": tls_lines, "root": self.serve_dir, "rate": self.rate})
        self._spawn(["/usr/sbin/nginx", "-p", self.workdir, "-c", config, "-e", os.path.join(self.workdir, "nginx-error.log")],
                    "nginx.out")

    def _session_pids(self):
        # The worker holds the connections; the master starts a new one at once.
        return descendants(self.process.pid)

    def bytes_sent(self):
        sent = []
        try:
            with open(self.access_log, errors="replace") as log:
                for line in log:
                    fields = line.split()
                    if len(fields) >= 3 and fields[2].isdigit():
                        sent.append(int(fields[2]))
        except FileNotFoundError:
            pass
        return sent
