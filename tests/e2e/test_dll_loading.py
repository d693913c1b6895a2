"""Planted DLLs: copies of tests/support/planted_dll.cpp, which leaves a marker in every process
that loads it, lie beside Fennick.exe and in the working folder under the name of every
non-known DLL that a shipped module imports (read from the kit) and of DLLs that Windows'
network stack loads by name. Neither an HTTP download nor a failure handed to the real checker
loads any of them, and both still work.

Under Wine a builtin DLL wins over a same-named file unless its name is set native-first, so
the planted names are: then Wine searches as Windows does, the program's folder first. Wine's
own user32 loads version.dll and uxtheme.dll by name, which Windows' user32 does not: planted
under those names they would be loaded into every program under Wine, so they are left out.
"""
from __future__ import annotations

import re
import shutil
import subprocess
import sys
import uuid
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "components" / "qxchkerr" / "testing"))
from checker_e2e import Checkers  # noqa: E402
from fennick import FennickProcess, WineEnvironment  # noqa: E402
from servers.http import NginxServer  # noqa: E402
from test_ftp_download import package_bytes, poll  # noqa: E402

KNOWN_DLLS = {"kernel32", "user32", "gdi32", "advapi32", "shell32", "ole32", "msvcrt", "ws2_32", "comctl32"}
# Loaded by name by WinHTTP, Winsock and crypt32 on Windows; crypt32 was the checker's import;
# rsaenh and bcrypt are what GCC's own stack canary set-up loads before the program starts.
EXTRA_DLLS = {"crypt32", "dnsapi", "iphlpapi", "secur32", "mswsock", "rsaenh", "bcrypt"}
# Wine's winhttp and advapi32 load these by name through their delay-load path, which ignores
# SetDefaultDllDirectories (Windows applies it there too, and its system DLLs carry
# DependentLoadFlags): beside the program, Wine alone would take the copy. They are planted in
# the working folder only, which Wine, like Windows, searches after the system folder.
WINE_DELAY_LOADED = {"bcrypt", "crypt32", "dnsapi", "iphlpapi", "secur32"}


def imported_names(wine: WineEnvironment) -> set:
    names = set()
    for module in [*wine.kit_dir.glob("*.exe"), *wine.kit_dir.glob("*.dll")]:
        dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(module)], capture_output=True, text=True,
                              check=True).stdout
        names |= {name.lower() for name in re.findall(r"DLL Name: (\S+)\.dll", dump, re.IGNORECASE)}
    return names - KNOWN_DLLS


@pytest.fixture
def planted(wine, install, marker_dir):
    """Plants the copies; returns the working folder and the overrides that make Wine use them."""
    names = sorted(imported_names(wine) | EXTRA_DLLS)
    assert "winhttp" in names, names
    workdir = install.folder.parent / f"cwd-{uuid.uuid4().hex[:8]}"
    workdir.mkdir()
    for folder in (install.folder, workdir):
        for name in names:
            if folder == install.folder and name in WINE_DELAY_LOADED:
                continue
            shutil.copy2(wine.tests_bin / "planted.dll", folder / f"{name}.dll")
    yield workdir, ",".join(names) + "=n,b;" + wine.environment()["WINEDLLOVERRIDES"]
    shutil.rmtree(workdir, ignore_errors=True)


@pytest.mark.parametrize("served", [True, False], ids=["download", "checker"])
def test_no_planted_dll_is_loaded(served, wine, install, driver, planted, marker_dir, download_dir, tmp_path):
    workdir, overrides = planted
    name = f"fnk-dll-{uuid.uuid4().hex[:8]}.exe"
    web_root = tmp_path / "www"
    web_root.mkdir()
    if served:
        (web_root / name).write_bytes(package_bytes(wine.tests_bin / "marker_app.exe", 1 << 20, 1))
    with NginxServer(web_root) as web:
        install.write_ini(web.http_url(f"/{name}"))
        # Wine takes WINEDLLOVERRIDES from the Unix environment a process chain starts with, not
        # from a Windows environment block: it goes to the driver, whose children inherit it.
        _, answer = driver.call("start", wine.windows_path(install.exe), "--cwd", wine.windows_path(workdir),
                                "--env", f"FENNICK_MARKER_DIR={wine.windows_path(marker_dir)}",
                                extra_env={"WINEDLLOVERRIDES": overrides})
        process = FennickProcess(driver, int(answer["pid"]))
        install.processes.append(process)  # ended by the fixture if the test fails
        try:
            if served:
                poll(lambda: (marker_dir / f"{name}.started").exists(), "the downloaded package started")
            else:
                checkers = Checkers(wine)
                window = checkers.find(install)
                assert window is not None, "the checker showed no window"
                assert "not found" in window.detail("server"), window  # its WinHTTP check ran
                checkers.close(window)
            assert process.wait_exit()["exited"]
        finally:
            # A planted DLL that was loaded is the first thing to report: it is why a run fails.
            loaded = sorted(marker.name for marker in marker_dir.glob("*.loaded"))
            assert loaded == [], f"planted DLLs loaded: {loaded}"
