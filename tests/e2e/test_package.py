"""The vendor's zip: `cmake --build <build> --target package` makes one per architecture holding
exactly the kit, every program carries the project's version and is stripped, signing acts only on
the zip's copies, and the unpacked x86_64 kit downloads and starts a package under Wine from a folder whose
path has blanks and Chinese characters."""
import os
import re
import shutil
import struct
import subprocess
import sys
import time
import uuid
import zipfile

import pytest

from servers.ftp import vsftpd

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "scripts", "demo.d"))
import package as demo_package  # noqa: E402  the demo's package maker and kit-folder helpers

BUILD_ROOT = os.environ.get("FENNICK_BUILD_ROOT") or os.path.join(ROOT, "build")
WINE = "/usr/lib/wine/wine64"
PROGRAMS = ["Fennick.exe", "QXChkErr.exe", "QXFtp.dll", "QXHttp.dll", "QXMlangW.dll"]
EXPECTED_FILES = sorted(PROGRAMS + ["FENNICKMSG.MLG", "Fennick.ini", "QXMLANG.INI", "VendorGuide.txt"])
PE_MACHINE = {"x86_64": 0x8664, "i686": 0x014C}


def project_version(build_dir):
    with open(os.path.join(build_dir, "CMakeCache.txt")) as cache:
        for line in cache:
            if line.startswith("CMAKE_PROJECT_VERSION:"):
                parts = [int(p) for p in line.split("=", 1)[1].strip().split(".")]
                return tuple((parts + [0, 0, 0, 0])[:4])
    raise AssertionError("no project version in " + build_dir)


def run_logged(argv, log_path, env=None, timeout=600):
    with open(log_path, "wb") as log:
        result = subprocess.run(argv, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                env=env, timeout=timeout)
    with open(log_path, errors="replace") as log:
        return result.returncode, log.read()


def make_zip(build_dir, arch, tmp_path, output_dir=None, env=None):
    """Runs the package step (into output_dir via cpack when given) and returns the zip's path."""
    log = str(tmp_path / ("package-%s.log" % arch))
    if output_dir is None:
        rc, text = run_logged(["cmake", "--build", build_dir, "--target", "package"], log, env=env)
        output_dir = os.path.join(build_dir, "package")
    else:
        rc, text = run_logged(["cpack", "--config", os.path.join(build_dir, "CPackConfig.cmake"), "-B", output_dir],
                              log, env=env)
    assert rc == 0, text
    version = ".".join(str(p) for p in project_version(build_dir)[:3])
    path = os.path.join(output_dir, "Fennick-%s-%s.zip" % (version, arch))
    assert os.path.isfile(path), text
    return path


def pe_facts(data):
    """(machine, symbol count, file version tuple or None) of a PE image."""
    assert data[:2] == b"MZ"
    pe_offset = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[pe_offset:pe_offset + 4] == b"PE\0\0"
    machine = struct.unpack_from("<H", data, pe_offset + 4)[0]
    symbols = struct.unpack_from("<I", data, pe_offset + 16)[0]  # COFF header NumberOfSymbols
    at = data.find(struct.pack("<I", 0xFEEF04BD))  # VS_FIXEDFILEINFO signature
    if at < 0:
        return machine, symbols, None
    ms, ls = struct.unpack_from("<II", data, at + 8)
    return machine, symbols, (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def built_architectures():
    found = [arch for arch in ("x86_64", "i686") if os.path.isfile(os.path.join(BUILD_ROOT, arch, "CMakeCache.txt"))]
    assert "x86_64" in found, "no x86_64 build in " + BUILD_ROOT
    return found


@pytest.fixture(scope="module")
def zips(tmp_path_factory):
    tmp = tmp_path_factory.mktemp("zips")
    return {arch: make_zip(os.path.join(BUILD_ROOT, arch), arch, tmp) for arch in built_architectures()}


def test_each_zip_holds_exactly_the_kit_with_one_version(zips):
    for arch, path in zips.items():
        build_dir = os.path.join(BUILD_ROOT, arch)
        with zipfile.ZipFile(path) as archive:
            names = [n for n in archive.namelist() if not n.endswith("/")]
            folders = {n.split("/", 1)[0] for n in names}
            assert folders == {os.path.basename(path)[:-4]}, "one top folder named like the zip"
            assert sorted(n.split("/", 1)[1] for n in names) == EXPECTED_FILES, arch
            top = folders.pop() + "/"
            for name in PROGRAMS:
                machine, symbols, version = pe_facts(archive.read(top + name))
                assert machine == PE_MACHINE[arch], "%s %s is built for the wrong machine" % (arch, name)
                assert symbols == 0, "%s %s is shipped with its symbol table" % (arch, name)
                assert version == project_version(build_dir), "%s %s: VERSIONINFO %s" % (arch, name, version)
            ini = archive.read(top + "Fennick.ini").decode("ascii")
            assert "\r\n" in ini and "\n" not in ini.replace("\r\n", ""), "CRLF lines for Windows editors"
            assert re.search(r"^\[Main\]\r\nDownloadString=ftp://\S+\r\n", ini, re.M)
            guide = archive.read(top + "VendorGuide.txt").decode("utf-8")
            for topic in ("Fennick.ini", "FENNICKMSG.MLG", "Documents\\Vantrel\\Fennick", "RetryCount", "osslsigncode"):
                assert topic in guide


def test_signing_acts_on_the_zip_only_when_a_certificate_is_given(zips, tmp_path):
    build_dir = os.path.join(BUILD_ROOT, "x86_64")
    key, cert, pfx = (str(tmp_path / n) for n in ("key.pem", "cert.pem", "cert.pfx"))
    for argv in (["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                  "/CN=Fennick test signer", "-keyout", key, "-out", cert],
                 ["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", pfx, "-passout", "pass:secret"]):
        subprocess.run(argv, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    env = dict(os.environ, FENNICK_SIGN_PKCS12=pfx, FENNICK_SIGN_PASSWORD="secret")
    signed_zip = make_zip(build_dir, "x86_64", tmp_path, output_dir=str(tmp_path / "signed"), env=env)

    def has_signature(path):
        return subprocess.run(["osslsigncode", "extract-signature", "-in", path, "-out", path + ".sig"],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0

    for label, zip_path in (("signed", signed_zip), ("plain", zips["x86_64"])):
        unpacked = tmp_path / label
        with zipfile.ZipFile(zip_path) as archive:
            archive.extractall(unpacked)
        top = unpacked / os.path.basename(zip_path)[:-4]
        for name in PROGRAMS:
            assert has_signature(str(top / name)) == (label == "signed"), "%s %s" % (label, name)
    for name in PROGRAMS:
        assert not has_signature(os.path.join(build_dir, "kit", name)), "the build's own kit stays unsigned"

    bad = dict(os.environ, FENNICK_SIGN_PKCS12=pfx, FENNICK_SIGN_PASSWORD="wrong")
    rc, text = run_logged(["cpack", "--config", os.path.join(build_dir, "CPackConfig.cmake"),
                           "-B", str(tmp_path / "bad")], str(tmp_path / "bad.log"), env=bad)
    assert rc != 0 and "signing Fennick.exe failed" in text, "a failed signature stops the package"


def wait_for(predicate, timeout):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.1)
    return True


def test_unpacked_kit_downloads_and_starts_a_package_from_a_chinese_path_with_blanks(zips, tmp_path):
    prefix = os.environ.get("WINEPREFIX") or os.path.join(BUILD_ROOT, "wineprefix")
    sample = os.path.join(BUILD_ROOT, "x86_64", "tests-bin", "FennickSampleSetup.exe")
    # A name of its own: the single-instance guard and the download folder are shared with other tests.
    name = "KitCheck%s.exe" % uuid.uuid4().hex[:8]
    serve = tmp_path / "serve"
    serve.mkdir()
    served = demo_package.make_package(sample, str(serve / name), 3 * 1024 * 1024 + 17)
    install_parent = tmp_path / "Vendor Kit 安装 程序"
    with zipfile.ZipFile(zips["x86_64"]) as archive:
        archive.extractall(install_parent)
    install = install_parent / os.path.basename(zips["x86_64"])[:-4]
    users = [u for u in os.listdir(os.path.join(prefix, "drive_c", "users")) if u != "Public"]
    download = os.path.join(prefix, "drive_c", "users", users[0], "Documents", "Vantrel", "Fennick")
    target = os.path.join(download, name)
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", FENNICK_SAMPLE_QUIET="1")
    try:
        with vsftpd(serve) as server:
            demo_package.write_fennick_ini(str(install), server.url(name))
            with open(tmp_path / "fennick.log", "wb") as log:
                process = subprocess.Popen([WINE, str(install / "Fennick.exe")], cwd=str(install), env=env,
                                           stdin=subprocess.DEVNULL, stdout=log, stderr=log)
            try:
                process.wait(timeout=120)
            finally:
                if process.poll() is None:
                    process.kill()
            assert wait_for(lambda: os.path.exists(target + ".started"), 30), "the package was started"
        assert demo_package.sha256_of(target) == demo_package.sha256_of(served)
        with open(target + ".started", encoding="utf-8") as marker:
            assert ("cwd=c:\\users\\%s\\documents\\vantrel\\fennick" % users[0]).lower() in marker.read().lower()
    finally:
        for leftover in (target, target + "_tmp", target + "_tmp_sz", target + ".started"):
            if os.path.exists(leftover):
                os.remove(leftover)
        shutil.rmtree(install_parent, ignore_errors=True)
