# Fixtures of the end-to-end suites (helpers in fennick.py):
#
# wine          WineEnvironment: build folders, prefix, Documents and download folder, run(), screenshot().
# driver        Driver: fnkdriver.exe on the test desktop (start, dialog, messagebox, close, key, answer, ...).
# install       a fresh Installation (kit copy in the prefix, no Fennick.ini yet); its processes are
#               ended and its folder removed after the test.
# make_install  factory for further installations in the same test: make_install("name").
# download_dir  the Documents\Vantrel\Fennick folder, emptied before and after the test.
# marker_dir    a folder for the marker_app.exe stand-ins of a Runner.
# runner        Runner: install with stand-ins for the package and the checker, writing to marker_dir.
# name          a package name of the test's own (the single-instance guard and the download folder are shared).
# certificates  the test certificates, their CA trusted inside the prefix for the module.
from __future__ import annotations

import re
import shutil
import uuid

import pytest

from fennick import Driver, Installation, Runner, WineEnvironment
from servers.certificates import make_test_certificates


@pytest.fixture(scope="session")
def wine():
    environment = WineEnvironment()
    yield environment
    shutil.rmtree(environment.log_dir, ignore_errors=True)


@pytest.fixture(scope="session")
def driver(wine):
    return Driver(wine)


@pytest.fixture
def make_install(wine, driver, request):
    made = []

    def make(name: str = "install") -> Installation:
        test = re.sub(r"[^A-Za-z0-9_]+", "_", request.node.name)[:60]
        made.append(Installation(wine, driver, wine.drive_c / "fennick-tests" / f"{test}-{name}-{uuid.uuid4().hex[:8]}"))
        return made[-1]

    yield make
    for installation in made:
        installation.clean_up()


@pytest.fixture
def install(make_install):
    return make_install("install")


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


@pytest.fixture(scope="module")
def certificates(wine, tmp_path_factory):
    certs = make_test_certificates(tmp_path_factory.mktemp("certificates"))

    def trust(action):
        return wine.run([wine.tests_bin / "fnkdriver.exe", "trust", action, wine.windows_path(certs.authority)])[0]

    assert trust("add") == 0, "could not trust the test CA"
    yield certs
    trust("remove")
