"""A throw-away certificate authority for HTTPS tests, made with the openssl tool.

Everything lives in one folder of the test's own. Nothing is installed on the host: the CA
is trusted only inside the test Wine prefix, through trusted_in_wine_prefix().
"""
from __future__ import annotations

import contextlib
import datetime
import subprocess
import uuid
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, Iterator, Sequence


@dataclass(frozen=True)
class ServerCertificate:
    certificate: Path  # PEM, the server certificate alone
    key: Path          # PEM, unencrypted


def _openssl(*args: str, cwd: Path) -> None:
    result = subprocess.run(["openssl", *args], cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, check=False)
    if result.returncode != 0:
        raise RuntimeError(f"openssl {' '.join(args)} failed:\n{result.stdout}")


class CertificateAuthority:
    """A root CA that issues server certificates, including broken ones on purpose."""

    def __init__(self, folder: Path, name: str = "Fennick Test CA"):
        self.folder = Path(folder)
        self.folder.mkdir(parents=True, exist_ok=True)
        # A unique subject, so that two CAs of two test runs never look alike to the prefix.
        self.subject = f"/O=Fennick tests/CN={name} {uuid.uuid4().hex[:12]}"
        self.certificate = self.folder / "ca.pem"
        self.key = self.folder / "ca.key"
        (self.folder / "index.txt").write_text("")
        (self.folder / "serial").write_text(uuid.uuid4().hex[:16] + "\n")
        (self.folder / "issued").mkdir(exist_ok=True)
        (self.folder / "ca.cnf").write_text(
            "[ca]\ndefault_ca = test_ca\n"
            "[test_ca]\n"
            f"dir = {self.folder}\n"
            "database = $dir/index.txt\nserial = $dir/serial\nnew_certs_dir = $dir/issued\n"
            "certificate = $dir/ca.pem\nprivate_key = $dir/ca.key\n"
            "default_md = sha256\npolicy = any_name\nunique_subject = no\ncopy_extensions = none\n"
            "[any_name]\ncommonName = supplied\norganizationName = optional\n"
            "[root_extensions]\nbasicConstraints = critical,CA:TRUE\nkeyUsage = critical,keyCertSign,cRLSign\n"
            "subjectKeyIdentifier = hash\n")
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "30",
                 "-keyout", str(self.key), "-out", str(self.certificate), "-subj", self.subject,
                 "-config", str(self.folder / "ca.cnf"), "-extensions", "root_extensions", cwd=self.folder)

    def issue(self, name: str, hosts: Sequence[str] = ("127.0.0.1", "localhost"),
              start: str | None = None, end: str | None = None) -> ServerCertificate:
        """A server certificate for `hosts` (IP addresses or DNS names). `start`/`end` are
        openssl dates (YYYYMMDDHHMMSSZ); by default valid from now for 30 days."""
        key = self.folder / f"{name}.key"
        request = self.folder / f"{name}.csr"
        certificate = self.folder / f"{name}.pem"
        extensions = self.folder / f"{name}.ext"
        # An address is named twice: as an IP entry (what Windows checks) and as a DNS entry
        # (Wine's name check reads DNS entries only).
        alt_names = ",".join((f"IP:{h},DNS:{h}" if _is_ip(h) else f"DNS:{h}") for h in hosts)
        extensions.write_text(
            "basicConstraints = CA:FALSE\nkeyUsage = critical,digitalSignature,keyEncipherment\n"
            f"extendedKeyUsage = serverAuth\nsubjectAltName = {alt_names}\n"
            "authorityKeyIdentifier = keyid\n")
        _openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", str(key), "-out", str(request),
                 "-subj", f"/CN={hosts[0]}", cwd=self.folder)
        # Valid from yesterday, so that no clock difference makes a fresh certificate "not yet valid".
        yesterday = (datetime.datetime.now(datetime.timezone.utc) - datetime.timedelta(days=1))
        dates = ["-startdate", start or yesterday.strftime("%Y%m%d%H%M%SZ")]
        dates += ["-enddate", end] if end else ["-days", "30"]
        _openssl("ca", "-batch", "-notext", "-config", str(self.folder / "ca.cnf"), "-in", str(request),
                 "-out", str(certificate), "-extfile", str(extensions), *dates, cwd=self.folder)
        return ServerCertificate(certificate, key)


def _is_ip(host: str) -> bool:
    return all(part.isdigit() for part in host.split(".")) and host.count(".") == 3


@dataclass(frozen=True)
class TestCertificates:
    """The standard set for HTTPS tests."""
    authority: CertificateAuthority   # to be trusted in the Wine prefix
    valid: ServerCertificate          # 127.0.0.1 and localhost, current
    expired: ServerCertificate        # right host, validity long past
    wrong_host: ServerCertificate     # current, for another host name only
    untrusted: ServerCertificate      # right host, current, from a CA nobody trusts


def make_test_certificates(folder: Path) -> TestCertificates:
    folder = Path(folder)
    authority = CertificateAuthority(folder / "trusted-ca")
    stranger = CertificateAuthority(folder / "untrusted-ca", name="Fennick Untrusted CA")
    return TestCertificates(
        authority=authority,
        valid=authority.issue("valid"),
        expired=authority.issue("expired", start="20200101000000Z", end="20200201000000Z"),
        wrong_host=authority.issue("wrong-host", hosts=("wrong-host.fennick.invalid",)),
        untrusted=stranger.issue("untrusted"),
    )


def windows_path(path: Path) -> str:
    """The Wine (Z: drive) form of a host path."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


@contextlib.contextmanager
def trusted_in_wine_prefix(ca_certificate: Path, run_windows_program: Callable[[Sequence[str]], int],
                           trust_tool: Path) -> Iterator[None]:
    """Adds the CA to the prefix's machine root store for the duration, then removes it.

    run_windows_program(argv) runs a Windows program in the test prefix and returns its exit
    code; trust_tool is trust_test_root.exe (built with the tests)."""
    code = run_windows_program([str(trust_tool), "add", windows_path(ca_certificate)])
    if code != 0:
        raise RuntimeError(f"trust_test_root add failed with exit code {code}")
    try:
        yield
    finally:
        run_windows_program([str(trust_tool), "remove", windows_path(ca_certificate)])
