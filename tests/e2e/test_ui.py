# The progress window of the real Fennick.exe under Wine: size, place and texts in the system
# language, the close question and the keys, start-up rules (no configuration, one instance per
# package name), the language library absent or incomplete, and a real download held at half way
# (screenshots for the README; a confirmed close stops it). URLs with a scheme that starts no
# worker keep the window idle without touching the network.
import os
import shutil
from pathlib import Path

import pytest

from fennick import IDCANCEL, IDNO, IDYES, Installation, language_texts, state_values
from servers.http import Fault

IDLE_URL = "gopher://127.0.0.1/pkg/idle-setup.exe"
LANGUAGE_IDS = {"zh-TW": 0x0404, "en-US": 0x0409}


@pytest.mark.parametrize("language, url", [("zh-TW", IDLE_URL), ("en-US", "file:///x")])
def test_window_size_place_texts_and_the_close_question(wine, install, driver, language, url):
    install.write_ini(url)
    process = install.start(language=language)
    state = process.dialog()
    left, top, right, bottom = state["rect"]
    area_left, area_top, area_right, area_bottom = state["work_area"]
    assert (right - left, bottom - top) == (500, 130)
    assert (left, top) == (area_left + (area_right - area_left - 500) // 2, area_top + (area_bottom - area_top - 130) // 2)
    controls, expected = state["controls"], language_texts(wine.kit_dir / "FENNICKMSG.MLG")[LANGUAGE_IDS[language]]
    for control in controls.values():
        l, t, r, b = control["rect"]
        assert 0 <= l < r <= state["client"][2] and 0 <= t < b <= state["client"][3], state
    assert controls["1002"]["rect"][2] < controls["1003"]["rect"][0], "size text left of the percentage"
    assert state["caption"] == expected[1] and (controls["1001"]["text"], controls["1001"]["visible"]) == (expected[2], False)
    assert [controls[i]["text"] for i in ("1002", "1003")] == ["", ""] and state["progress"] == 0
    # Well past the 300 ms start timer: a scheme without a worker started nothing and ended nothing.
    assert not process.wait_exit(2000)["exited"]

    driver.do("key", pid=process.pid, key="enter")  # does nothing: no question, no end
    assert driver.find("box", pid=process.pid, timeout_ms=0) is None
    for ask, button in ((lambda: process.request_close(), IDNO), (lambda: process.request_close(), IDCANCEL),
                        (lambda: (driver.do("key", pid=process.pid, key="esc"), process.question())[1], IDNO)):
        question = ask()
        assert (question["text"], question["caption"], question["icon"]) == (expected[3], expected[1], "exclamation")
        assert sorted(question["buttons"]) == sorted([IDYES, IDNO, IDCANCEL])
        process.answer(button)
        assert driver.find("box", pid=process.pid, gone=True) and process.dialog()
    assert process.close_confirmed()["exited"]


def test_without_fennick_ini_nothing_starts_and_one_instance_runs_per_package_base_name(wine, driver, install, request):
    def started(name, url):
        installation = Installation(wine, driver, install.folder.with_name(f"{install.folder.name}-{name}"))
        request.addfinalizer(installation.clean_up)
        installation.write_ini(url)
        return installation, installation.start()

    def refused(process):
        report = process.wait_exit()
        assert report["exited"] and report["windows_seen"] == 0, report

    refused(install.start())  # without Fennick.ini: it ends at once, without a window
    first, running = started("first", "gopher://127.0.0.1/a/setup.exe")
    running.dialog()
    refused(first.start())                                            # the same install again
    refused(started("other", "gopher://192.0.2.1/b/setup.zip")[1])   # another install, same base name
    _, beside = started("beside", "gopher://127.0.0.1/setup2.exe")   # another base name runs beside it
    beside.dialog(), running.dialog()
    _, folder = started("folder", "gopher://127.0.0.1/folder/")      # URLs without a name exclude each other
    folder.dialog()
    refused(started("elsewhere", "gopher://127.0.0.1/elsewhere/")[1])
    for process in (running, beside, folder):
        assert process.close_confirmed()["exited"]
    first.start().dialog()  # the guard is free again once the first has ended


@pytest.mark.parametrize("library", ["absent", "incomplete"])
def test_language_library_absent_or_incomplete_leaves_the_texts_empty(wine, install, driver, library):
    if library == "absent":
        (install.folder / "QXMlangW.dll").unlink()
    else:  # lacks GetLanguageStringA
        shutil.copy2(wine.tests_bin / "qxmlang_incomplete.dll", install.folder / "QXMlangW.dll")
    install.write_ini(IDLE_URL)
    process = install.start()
    if library == "incomplete":  # reported once in a box the window waits for; the library is never called
        box = driver.find("box", text="UQXMlang:load qxmlangW.dll error!", pid=process.pid)
        assert box is not None and (box["caption"], box["icon"], box["buttons"]) == ("error", "none", [1]), box
        assert driver.find("dialog", pid=process.pid, timeout_ms=0) is None
        driver.do("press", hwnd=box["hwnd"], button=1)
    state = process.dialog()
    assert state["caption"] == "" and state["controls"]["1001"]["text"] == ""
    assert process.wait_exit(500)["windows_seen"] == 1, "no other window than the dialog"
    question = process.request_close()
    assert (question["text"], question["caption"], question["icon"]) == ("", "", "exclamation")


@pytest.mark.parametrize("language", ["zh-TW", "en-US"])
def test_progress_is_shown_and_a_confirmed_close_stops_the_download(wine, driver, runner, scripted, download_dir, language):
    scripted.set_file("/pkg/FennickSetup.exe", os.urandom(24 * 1024 * 1024))
    hold = scripted.add_fault("/pkg/FennickSetup.exe", Fault(hold_after=12 * 1024 * 1024))
    process = runner.start(scripted.url("/pkg/FennickSetup.exe"), language=language)
    assert hold.reached.wait(60), "the download never reached the server's hold"
    state = process.dialog()
    for _ in range(200):  # one reading samples bar and texts one after the other: until they agree
        percent = state["controls"]["1003"]["text"]
        if percent.endswith("%") and int(percent[:-1]) >= 45 and state["progress"] == int(percent[:-1]):
            break
        state = process.dialog()
    assert state["controls"]["1002"]["text"].endswith("MB / 24.0MB") and state["progress"] >= 45, state
    wine.screenshot(Path(os.environ.get("FENNICK_SCREENSHOT_DIR") or wine.build_dir / "screenshots") / f"window-{language}.png",
                    state["rect"])
    process.request_close()
    process.answer(IDYES)
    # Only once the question is gone is the stop set; then data flows, and the next report answers "stop".
    assert driver.find("box", pid=process.pid, gone=True)
    hold.release.set()
    assert process.wait_exit()["exited"]
    assert "RetryCount" not in state_values(download_dir / "FennickSetup.exe_tmp_sz")
    assert not (download_dir / "FennickSetup.exe").exists() and list(runner.marker_dir.iterdir()) == []
