# Fixtures of the end-to-end suites (helpers in fennick.py):
#
# wine          WineEnvironment: build folders, prefix, Documents and download folder, run(), screenshot().
# driver        Driver: fnkdriver.exe on the test desktop (start, dialog, messagebox, close, key, answer, ...).
# install       a fresh Installation (kit copy in the prefix, no Fennick.ini yet); its processes are
#               ended and its folder removed after the test.
# download_dir  the Documents\Vantrel\Fennick folder, emptied before and after the test.
# marker_dir    a folder for the marker_app.exe stand-ins of a Runner.
# runner        Runner: install with stand-ins for the package and the checker, writing to marker_dir.
# name          a package name of the test's own (the single-instance guard and the download folder are shared).
# root          an FTP root (tmp_path/ftp) with an empty pub folder.
# scripted      a ScriptedHttpServer over plain HTTP for the test.
# certificates  the test certificates, their CA trusted inside the prefix for the module.
from __future__ import annotations

import hashlib
import shutil
import ssl
import uuid

import pytest

from fennick import Driver, Installation, Runner, WineEnvironment
from servers.certificates import make_test_certificates
from servers.http import ScriptedHttpServer


@pytest.fixture(scope="session")
def wine():
    environment = WineEnvironment()
    yield environment
    shutil.rmtree(environment.log_dir, ignore_errors=True)


@pytest.fixture(scope="session")
def driver(wine):
    return Driver(wine)


@pytest.fixture
def install(wine, driver):
    installation = Installation(wine, driver, wine.drive_c / "fennick-tests" / f"install-{uuid.uuid4().hex[:8]}")
    yield installation
    installation.clean_up()


@pytest.fixture
def download_dir(wine):
    shutil.rmtree(wine.download_dir, ignore_errors=True)
    yield wine.download_dir
    shutil.rmtree(wine.download_dir, ignore_errors=True)


@pytest.fixture
def marker_dir(wine):
    folder = wine.drive_c / "fennick-tests" / f"markers-{uuid.uuid4().hex[:8]}"
    folder.mkdir(parents=True)
    yield folder
    shutil.rmtree(folder, ignore_errors=True)


@pytest.fixture
def runner(wine, install, marker_dir):
    return Runner(wine, install, marker_dir)


@pytest.fixture
def name():
    return f"fnk-{uuid.uuid4().hex[:8]}.exe"


@pytest.fixture
def root(tmp_path):
    (tmp_path / "ftp" / "pub").mkdir(parents=True)
    return tmp_path / "ftp"


@pytest.fixture
def scripted():
    with ScriptedHttpServer() as server:
        yield server


@pytest.fixture(scope="module")
def certificates(wine, tmp_path_factory):
    certs = make_test_certificates(tmp_path_factory.mktemp("certificates"))

    der = ssl.PEM_cert_to_DER_cert(certs.authority.read_text())
    (certs.authority.parent / "ca.der").write_bytes(der)
    assert wine.run([wine.tests_bin / "fnkdriver.exe", "trust", wine.windows_path(certs.authority.parent / "ca.der")])[0] == 0
    yield certs
    key = rf"HKLM\Software\Microsoft\SystemCertificates\ROOT\Certificates\{hashlib.sha1(der).hexdigest().upper()}"
    assert wine.run(["reg", "delete", key, "/f"])[0] == 0, "the test CA left the ROOT store"
