# The vendor's zip: `--target package` makes one per architecture holding exactly the kit; every
# program carries the project's version, the right machine and no symbols; signing acts only on the
# zip's copies; the unpacked x86_64 kit, in a path with blanks and Chinese characters, downloads a
# package into a Documents folder with a Chinese name and starts it, and does not fetch it again.
import re
import shutil
import struct
import subprocess
import zipfile

import pytest

from fennick import Download, Installation, Runner
from servers.ftp import fault_ftp

PROGRAMS = ["Fennick.exe", "QXChkErr.exe", "QXFtp.dll", "QXHttp.dll", "QXMlangW.dll"]
KIT = sorted(PROGRAMS + ["FENNICKMSG.MLG", "Fennick.ini", "QXMLANG.INI", "VendorGuide.txt"])
MACHINE = {"x86_64": 0x8664, "i686": 0x014C}


def version(build_dir):
    line = re.search(r"^CMAKE_PROJECT_VERSION:\w+=(.*)$", (build_dir / "CMakeCache.txt").read_text(), re.M).group(1)
    return tuple(([int(p) for p in line.split(".")] + [0] * 4)[:4])


def make_zip(build_dir, output, env=None):
    """cpack into output; the zip's path, or the failure's text."""
    result = subprocess.run(["cpack", "--config", str(build_dir / "CPackConfig.cmake"), "-B", str(output)], env=env,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, text=True, timeout=600)
    zips = sorted(output.glob(f"Fennick-{'.'.join(map(str, version(build_dir)[:3]))}-*.zip"))
    return zips[0] if result.returncode == 0 and zips else result.stdout


def pe_facts(data):
    """(machine, symbol count, file version) of a PE image."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    ms, ls = struct.unpack_from("<II", data, data.find(struct.pack("<I", 0xFEEF04BD)) + 8)
    return struct.unpack_from("<H", data, pe + 4)[0], struct.unpack_from("<I", data, pe + 16)[0], (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


@pytest.fixture(scope="module")
def zips(wine, tmp_path_factory):
    built = [arch for arch in MACHINE if (wine.build_root / arch / "CMakeCache.txt").is_file()]
    return {arch: make_zip(wine.build_root / arch, tmp_path_factory.mktemp(arch)) for arch in built}


def test_each_zip_holds_exactly_the_kit_with_one_version(wine, zips):
    for arch, path in zips.items():
        with zipfile.ZipFile(path) as archive:
            names = [n for n in archive.namelist() if not n.endswith("/")]
            assert {n.split("/", 1)[0] for n in names} == {path.stem}, "one top folder named like the zip"
            assert sorted(n.split("/", 1)[1] for n in names) == KIT, arch
            for name in PROGRAMS:
                assert pe_facts(archive.read(f"{path.stem}/{name}")) == (MACHINE[arch], 0, version(wine.build_root / arch)), name
            ini = archive.read(f"{path.stem}/Fennick.ini").decode("ascii")
            assert re.fullmatch(r"(.*\r\n)*\[Main\]\r\nDownloadString=ftp://\S+\r\n(.*\r\n)*", ini), "CRLF lines"
            guide = archive.read(f"{path.stem}/VendorGuide.txt").decode("utf-8")
            assert all(t in guide for t in ("Fennick.ini", "FENNICKMSG.MLG", "Documents\\Vantrel\\Fennick", "RetryCount", "osslsigncode"))


def test_signing_acts_on_the_zip_only_when_a_certificate_is_given(wine, zips, tmp_path):
    key, cert, pfx = (str(tmp_path / n) for n in ("key.pem", "cert.pem", "cert.pfx"))
    for argv in (["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Fennick test signer",
                  "-keyout", key, "-out", cert], ["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", pfx,
                                                  "-passout", "pass:secret"]):
        subprocess.run(argv, check=True, capture_output=True)
    build = wine.build_root / "x86_64"
    signed = make_zip(build, tmp_path / "signed", env={**wine.environment(), "FENNICK_SIGN_PKCS12": pfx, "FENNICK_SIGN_PASSWORD": "secret"})

    def signature(path):
        return subprocess.run(["osslsigncode", "extract-signature", "-in", str(path), "-out", f"{path}.sig"], capture_output=True).returncode == 0

    for label, path in (("signed", signed), ("plain", zips["x86_64"])):
        with zipfile.ZipFile(path) as archive:
            archive.extractall(tmp_path / label)
        assert [signature(tmp_path / label / path.stem / n) for n in PROGRAMS] == [label == "signed"] * len(PROGRAMS), label
    assert not any(signature(build / "kit" / n) for n in PROGRAMS), "the build's own kit stays unsigned"
    failed = make_zip(build, tmp_path / "bad", env={**wine.environment(), "FENNICK_SIGN_PKCS12": pfx, "FENNICK_SIGN_PASSWORD": "wrong"})
    assert "signing Fennick.exe failed" in failed, "a failed signature stops the package"


def test_unpacked_kit_in_a_chinese_path_downloads_once_into_a_chinese_documents_folder(wine, driver, zips, tmp_path, name, marker_dir):
    # C.UTF-8 (ANSI code page 1252, the only host locale that names these folders): neither folder
    # has an ANSI name, yet the 8-bit path the FTP library gets must name the download folder.
    install = Installation(wine, driver, wine.drive_c / "fennick-tests" / f"Vendor Kit \u5b89\u88c5 \u7a0b\u5e8f {name}")
    documents = wine.documents.parent / "\u6211\u7684\u6587\u6a94 \u4e0b\u8f09"

    def point_documents_at(folder):  # "Personal" in both shell-folder keys
        for key in ("User Shell Folders", "Shell Folders"):
            argv = ["reg", "add", f"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\{key}", "/v", "Personal",
                    "/d", wine.windows_path(folder), "/f"]
            assert wine.run(argv, language="C.UTF-8")[0] == 0, argv

    documents.mkdir(parents=True, exist_ok=True)
    point_documents_at(documents)
    try:
        with zipfile.ZipFile(zips["x86_64"]) as archive:  # the zip's files over the build's kit
            for member in (m for m in archive.namelist() if not m.endswith("/")):
                (install.folder / member.split("/", 1)[1]).write_bytes(archive.read(member))
        runner = Runner(wine, install, marker_dir)
        (tmp_path / name).write_bytes(data := runner.package(3 * 1024 * 1024 + 17, 1))
        with fault_ftp(tmp_path) as server:
            for _ in range(2):
                runner.forget_markers()
                runner.run(server.url(name), language="C.UTF-8")
                runner.assert_success(Download(documents / "Vantrel" / "Fennick", name), data)
            assert server.verbs().count("RETR") == 1, "a complete download is not fetched again"
    finally:
        point_documents_at(wine.documents)
        shutil.rmtree(documents, ignore_errors=True)
        install.clean_up()
