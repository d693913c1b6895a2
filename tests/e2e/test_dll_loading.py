# Planted DLLs: copies of tests/support/planted_dll.cpp, which leaves a marker in every process that
# loads it, lie beside Fennick.exe and in the working folder under the name of every non-known DLL
# that a shipped module imports (read from the kit) and of DLLs that Windows' network stack loads
# by name. Neither an HTTP download nor a failure handed to the real checker loads any of them.
#
# Under Wine a builtin DLL wins over a same-named file unless its name is set native-first; with
# that, Wine searches as Windows does, the program's folder first. Wine's own user32 loads
# version.dll and uxtheme.dll by name, which Windows' user32 does not: planted under those names
# they would be loaded into every program under Wine, so they are left out.
import re
import shutil
import subprocess
import uuid

import pytest

from fennick import IDCANCEL, ROOT, Runner, language_texts
from servers.polling import wait_until

KNOWN_DLLS = {"kernel32", "user32", "gdi32", "advapi32", "shell32", "ole32", "msvcrt", "ws2_32", "comctl32"}
# Loaded by name by WinHTTP, Winsock and crypt32 on Windows; crypt32 was the checker's import;
# rsaenh and bcrypt are what a compiler's stack-canary set-up or our hash may load.
EXTRA_DLLS = {"crypt32", "dnsapi", "iphlpapi", "secur32", "mswsock", "rsaenh", "bcrypt"}
# Wine's winhttp and advapi32 load these through their delay-load path, which ignores
# SetDefaultDllDirectories (Windows applies it there too, and its system DLLs carry
# DependentLoadFlags): beside the program Wine alone would take the copy, so they are planted in
# the working folder only, which Wine, like Windows, searches after the system folder.
WINE_DELAY_LOADED = {"bcrypt", "crypt32", "dnsapi", "iphlpapi", "secur32"}


def imported_names(wine):
    dumps = [subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(module)], capture_output=True, text=True,
                            check=True).stdout for module in [*wine.kit_dir.glob("*.exe"), *wine.kit_dir.glob("*.dll")]]
    return {name.lower() for dump in dumps for name in re.findall(r"DLL Name: (\S+)\.dll", dump, re.I)} - KNOWN_DLLS


@pytest.mark.parametrize("served", [True, False], ids=["download", "checker"])
def test_no_planted_dll_is_loaded(served, wine, install, driver, scripted, marker_dir, download_dir, name, monkeypatch):
    names = sorted(imported_names(wine) | EXTRA_DLLS)
    assert "winhttp" in names, names
    workdir = install.folder.parent / f"cwd-{uuid.uuid4().hex[:8]}"
    for folder in (install.folder, workdir):
        folder.mkdir(exist_ok=True)
        for dll in names:
            if folder != install.folder or dll not in WINE_DELAY_LOADED:
                shutil.copy2(wine.tests_bin / "planted.dll", folder / f"{dll}.dll")
    runner = Runner(wine, install, marker_dir, real_checker=True)
    # Wine takes WINEDLLOVERRIDES from the Unix environment a process chain starts with, not from
    # a Windows environment block: it goes to the driver, whose children inherit it.
    monkeypatch.setenv("WINEDLLOVERRIDES", ",".join(names) + "=n,b;" + wine.environment()["WINEDLLOVERRIDES"])
    if served:
        scripted.set_file(f"/{name}", runner.package(1 << 20, 1))
    install.write_ini(scripted.url(f"/{name}"))
    process = install.start(env={"FENNICK_MARKER_DIR": wine.windows_path(marker_dir)}, cwd=workdir)
    try:
        if served:
            wait_until(lambda: runner.marker(name).exists(), "the downloaded package started", 15)
        else:
            window = driver.checker(install.folder)
            assert window is not None, "the checker showed no window"
            not_found = language_texts(ROOT / "components" / "qxmlang" / "FENNICKMSG.MLG")[0x0409][144]
            assert window["checks"][3]["detail"] == not_found, window  # its WinHTTP check ran
            driver.do("press", hwnd=window["hwnd"], button=IDCANCEL)
        assert process.wait_exit()["exited"]
    finally:
        # A planted DLL that was loaded is the first thing to report: it is why a run fails.
        assert sorted(m.name for m in marker_dir.glob("*.loaded")) == [], "planted DLLs were loaded"
    shutil.rmtree(workdir, ignore_errors=True)
