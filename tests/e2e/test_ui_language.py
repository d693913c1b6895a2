"""The language library as Fennick.exe meets it under Wine: absent, or lacking one entry."""
LOAD_ERROR = "UQXMlang:load qxmlangW.dll error!"


def visible_windows(driver, pid):
    return [w for w in driver.windows(pid) if w["visible"]]


def test_without_the_library_texts_are_empty_and_nothing_is_said(install, driver):
    install.remove("QXMlangW.dll")
    install.write_ini("gopher://127.0.0.1/pkg/setup.exe")
    process = install.start()
    state = process.dialog()
    assert state["caption"] == ""
    assert state["controls"]["1001"]["text"] == "" and not state["controls"]["1001"]["visible"]
    assert len(visible_windows(driver, process.pid)) == 1
    question = process.request_close()
    assert question["text"] == "" and question["caption"] == "" and question["icon"] == "exclamation"


def test_a_library_without_one_entry_is_reported_once_then_texts_are_empty(wine, install, driver):
    install.put("QXMlangW.dll", wine.tests_bin / "qxmlang_incomplete.dll")
    install.write_ini("gopher://127.0.0.1/pkg/setup.exe")
    process = install.start()
    box = driver.ownerless_box(LOAD_ERROR, pid=process.pid)
    assert box is not None
    assert box["caption"] == "error" and box["icon"] == "none" and box["buttons"] == [1]
    # The window waits for the box.
    assert driver.dialog(process.pid, timeout_ms=0) is None
    driver.answer_box(box["hwnd"], 1)
    state = process.dialog()
    # The incomplete library is never called: its text would show up here.
    assert state["caption"] == "" and state["controls"]["1001"]["text"] == ""
