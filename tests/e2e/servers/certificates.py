# Throw-away certificate authorities for HTTPS tests, made with the openssl tool, in a folder of the
# test's own. Nothing is installed on the host: the CA is trusted only inside the test Wine prefix.
from __future__ import annotations

import datetime
import subprocess
import uuid
from pathlib import Path
from typing import NamedTuple


class ServerCertificate(NamedTuple):
    certificate: Path  # PEM, the server certificate alone
    key: Path          # PEM, unencrypted


def _openssl(folder: Path, *args: str) -> None:
    result = subprocess.run(["openssl", *args], cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    assert result.returncode == 0, f"openssl {' '.join(args)}:\n{result.stdout}"


def _authority(folder: Path, name: str) -> Path:
    (folder / "issued").mkdir(parents=True)
    (folder / "index.txt").write_text("")
    (folder / "serial").write_text(uuid.uuid4().hex[:16] + "\n")
    (folder / "ca.cnf").write_text(
        f"[ca]\ndefault_ca = test_ca\n[test_ca]\ndir = {folder}\ndatabase = $dir/index.txt\nserial = $dir/serial\n"
        "new_certs_dir = $dir/issued\ncertificate = $dir/ca.pem\nprivate_key = $dir/ca.key\ndefault_md = sha256\n"
        "policy = any_name\nunique_subject = no\ncopy_extensions = none\n[any_name]\ncommonName = supplied\n"
        "[root_extensions]\nbasicConstraints = critical,CA:TRUE\nkeyUsage = critical,keyCertSign,cRLSign\n"
        "subjectKeyIdentifier = hash\n")
    # A unique subject: two CAs of two test runs never look alike to the prefix.
    _openssl(folder, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "30", "-keyout", "ca.key", "-out", "ca.pem",
             "-subj", f"/O=Fennick tests/CN={name} {uuid.uuid4().hex[:12]}", "-config", "ca.cnf", "-extensions", "root_extensions")
    return folder


def _issue(ca: Path, name: str, hosts=("127.0.0.1", "localhost"), start: str | None = None, end: str | None = None) -> ServerCertificate:
    # An address is named twice: as an IP entry (what Windows checks) and as a DNS entry (what Wine reads).
    alt = ",".join(f"IP:{h},DNS:{h}" if h.replace(".", "").isdigit() else f"DNS:{h}" for h in hosts)
    (ca / f"{name}.ext").write_text("basicConstraints = CA:FALSE\nkeyUsage = critical,digitalSignature,keyEncipherment\n"
                                    f"extendedKeyUsage = serverAuth\nsubjectAltName = {alt}\nauthorityKeyIdentifier = keyid\n")
    _openssl(ca, "req", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{name}.key", "-out", f"{name}.csr", "-subj", f"/CN={hosts[0]}")
    yesterday = datetime.datetime.now(datetime.timezone.utc) - datetime.timedelta(days=1)
    _openssl(ca, "ca", "-batch", "-notext", "-config", "ca.cnf", "-in", f"{name}.csr", "-out", f"{name}.pem", "-extfile", f"{name}.ext",
             "-startdate", start or yesterday.strftime("%Y%m%d%H%M%SZ"), *(["-enddate", end] if end else ["-days", "30"]))
    return ServerCertificate(ca / f"{name}.pem", ca / f"{name}.key")


class TestCertificates(NamedTuple):
    authority: Path                   # the CA's certificate, to be trusted in the Wine prefix
    valid: ServerCertificate          # 127.0.0.1 and localhost, current
    expired: ServerCertificate        # right host, validity long past
    wrong_host: ServerCertificate     # current, for another host name only
    untrusted: ServerCertificate      # right host, current, from a CA nobody trusts


def make_test_certificates(folder: Path) -> TestCertificates:
    ca, stranger = _authority(Path(folder) / "trusted-ca", "Fennick Test CA"), _authority(Path(folder) / "untrusted-ca", "Fennick Untrusted CA")
    return TestCertificates(ca / "ca.pem", _issue(ca, "valid"), _issue(ca, "expired", start="20200101000000Z", end="20200201000000Z"),
                            _issue(ca, "wrong-host", hosts=("wrong-host.fennick.invalid",)), _issue(stranger, "untrusted"))
