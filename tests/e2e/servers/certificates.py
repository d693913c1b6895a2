# A throw-away certificate authority for HTTPS tests, made with the openssl tool, in a folder of the
# test's own. Nothing is installed on the host: the CA is trusted only inside the test Wine prefix.
from __future__ import annotations

import datetime
import subprocess
import uuid
from dataclasses import dataclass
from pathlib import Path
from typing import Sequence


@dataclass(frozen=True)
class ServerCertificate:
    certificate: Path  # PEM, the server certificate alone
    key: Path          # PEM, unencrypted


def _openssl(*args: str, cwd: Path) -> None:
    result = subprocess.run(["openssl", *args], cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    assert result.returncode == 0, f"openssl {' '.join(args)}:\n{result.stdout}"


class CertificateAuthority:
    def __init__(self, folder: Path, name: str = "Fennick Test CA"):
        self.folder = Path(folder)
        (self.folder / "issued").mkdir(parents=True, exist_ok=True)
        # A unique subject: two CAs of two test runs never look alike to the prefix.
        self.subject = f"/O=Fennick tests/CN={name} {uuid.uuid4().hex[:12]}"
        self.certificate, self.key = self.folder / "ca.pem", self.folder / "ca.key"
        (self.folder / "index.txt").write_text("")
        (self.folder / "serial").write_text(uuid.uuid4().hex[:16] + "\n")
        (self.folder / "ca.cnf").write_text(
            f"[ca]\ndefault_ca = test_ca\n[test_ca]\ndir = {self.folder}\ndatabase = $dir/index.txt\nserial = $dir/serial\n"
            "new_certs_dir = $dir/issued\ncertificate = $dir/ca.pem\nprivate_key = $dir/ca.key\ndefault_md = sha256\n"
            "policy = any_name\nunique_subject = no\ncopy_extensions = none\n[any_name]\ncommonName = supplied\n"
            "[root_extensions]\nbasicConstraints = critical,CA:TRUE\nkeyUsage = critical,keyCertSign,cRLSign\n"
            "subjectKeyIdentifier = hash\n")
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "30", "-keyout", str(self.key),
                 "-out", str(self.certificate), "-subj", self.subject, "-config", str(self.folder / "ca.cnf"),
                 "-extensions", "root_extensions", cwd=self.folder)

    def issue(self, name: str, hosts: Sequence[str] = ("127.0.0.1", "localhost"), start: str | None = None,
              end: str | None = None) -> ServerCertificate:
        # A server certificate for hosts; start/end as openssl dates (default: from yesterday, 30 days).
        key, request, certificate = (self.folder / f"{name}.{ext}" for ext in ("key", "csr", "pem"))
        # An address is named twice: as an IP entry (what Windows checks) and as a DNS entry (what Wine reads).
        alt = ",".join(f"IP:{h},DNS:{h}" if h.replace(".", "").isdigit() else f"DNS:{h}" for h in hosts)
        (self.folder / f"{name}.ext").write_text(
            "basicConstraints = CA:FALSE\nkeyUsage = critical,digitalSignature,keyEncipherment\n"
            f"extendedKeyUsage = serverAuth\nsubjectAltName = {alt}\nauthorityKeyIdentifier = keyid\n")
        _openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", str(key), "-out", str(request), "-subj", f"/CN={hosts[0]}",
                 cwd=self.folder)
        yesterday = datetime.datetime.now(datetime.timezone.utc) - datetime.timedelta(days=1)
        _openssl("ca", "-batch", "-notext", "-config", str(self.folder / "ca.cnf"), "-in", str(request), "-out",
                 str(certificate), "-extfile", str(self.folder / f"{name}.ext"),
                 "-startdate", start or yesterday.strftime("%Y%m%d%H%M%SZ"), *(["-enddate", end] if end else ["-days", "30"]),
                 cwd=self.folder)
        return ServerCertificate(certificate, key)


@dataclass(frozen=True)
class TestCertificates:
    authority: CertificateAuthority   # to be trusted in the Wine prefix
    valid: ServerCertificate          # 127.0.0.1 and localhost, current
    expired: ServerCertificate        # right host, validity long past
    wrong_host: ServerCertificate     # current, for another host name only
    untrusted: ServerCertificate      # right host, current, from a CA nobody trusts


def make_test_certificates(folder: Path) -> TestCertificates:
    authority = CertificateAuthority(Path(folder) / "trusted-ca")
    stranger = CertificateAuthority(Path(folder) / "untrusted-ca", name="Fennick Untrusted CA")
    return TestCertificates(authority, authority.issue("valid"),
                            authority.issue("expired", start="20200101000000Z", end="20200201000000Z"),
                            authority.issue("wrong-host", hosts=("wrong-host.fennick.invalid",)), stranger.issue("untrusted"))
