"""Fixtures of the end-to-end suites (helpers in fennick.py):

wine          WineEnvironment: build folders, prefix, Documents and download folder, run(), screenshot().
driver        Driver: fnkdriver.exe on the test desktop (start, dialog, messagebox, close, key, answer, ...).
install       a fresh Installation (kit copy in the prefix, no Fennick.ini yet); its processes are
              ended and its folder removed after the test.
make_install  factory for further installations in the same test: make_install("name").
download_dir  the Documents\\Vantrel\\Fennick folder, emptied before and after the test.
marker_dir    a folder for marker_app.exe stand-ins; start(env=wine.marker_env(marker_dir)).
"""
from __future__ import annotations

import re
import shutil
import uuid
from pathlib import Path
from typing import Callable, List

import pytest

from fennick import Driver, Installation, WineEnvironment


@pytest.fixture(scope="session")
def wine() -> WineEnvironment:
    environment = WineEnvironment()
    environment.prepare_desktop()
    yield environment
    shutil.rmtree(environment.log_dir, ignore_errors=True)


@pytest.fixture(scope="session")
def driver(wine: WineEnvironment) -> Driver:
    return Driver(wine)


def _folder_for(wine: WineEnvironment, request: pytest.FixtureRequest, name: str) -> Path:
    test = re.sub(r"[^A-Za-z0-9_]+", "_", request.node.name)[:60]
    return wine.drive_c / "fennick-tests" / f"{test}-{name}-{uuid.uuid4().hex[:8]}"


@pytest.fixture
def make_install(wine: WineEnvironment, driver: Driver, request: pytest.FixtureRequest) -> Callable[[str], Installation]:
    made: List[Installation] = []

    def make(name: str = "install") -> Installation:
        installation = Installation(wine, driver, _folder_for(wine, request, name))
        made.append(installation)
        return installation

    yield make
    for installation in made:
        installation.clean_up()


@pytest.fixture
def install(make_install: Callable[[str], Installation]) -> Installation:
    return make_install("install")


def _empty(folder: Path) -> None:
    if folder.exists():
        shutil.rmtree(folder)


@pytest.fixture
def download_dir(wine: WineEnvironment) -> Path:
    folder = wine.download_dir
    _empty(folder)
    yield folder
    _empty(folder)


@pytest.fixture
def marker_dir(wine: WineEnvironment) -> Path:
    folder = wine.drive_c / "fennick-tests" / f"markers-{uuid.uuid4().hex[:8]}"
    folder.mkdir(parents=True)
    yield folder
    shutil.rmtree(folder, ignore_errors=True)

