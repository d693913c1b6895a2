"""The progress window of the real Fennick.exe under Wine: its size and place, its texts in the
system language, the close question and the keys, and a URL whose scheme starts no download.
The URLs use schemes that start no worker, so nothing here touches the network."""
import pytest

from fennick import IDCANCEL, IDNO, IDYES, language_texts

IDLE_URL = "gopher://127.0.0.1/pkg/idle-setup.exe"
ZH_TW, EN_US = 0x0404, 0x0409
LANGUAGE_IDS = {"zh-TW": ZH_TW, "en-US": EN_US}


@pytest.fixture(scope="module")
def texts(wine):
    return language_texts(wine.kit_dir / "FENNICKMSG.MLG")


@pytest.fixture
def idle(install):
    install.write_ini(IDLE_URL)
    return install


def test_window_is_500_by_130_centred_with_its_controls_inside(idle):
    state = idle.start().dialog()
    left, top, right, bottom = state["rect"]
    assert (right - left, bottom - top) == (500, 130)
    area_left, area_top, area_right, area_bottom = state["work_area"]
    assert left == area_left + (area_right - area_left - 500) // 2
    assert top == area_top + (area_bottom - area_top - 130) // 2
    client_width, client_height = state["client"][2], state["client"][3]
    controls = state["controls"]
    for control_id in ("1000", "1001", "1002", "1003"):
        l, t, r, b = controls[control_id]["rect"]
        assert 0 <= l < r <= client_width and 0 <= t < b <= client_height, (control_id, state)
    # The proportions of the template survive the resize: size text left, percentage right.
    assert controls["1002"]["rect"][2] < controls["1003"]["rect"][0]
    assert controls["1000"]["visible"] and controls["1002"]["visible"] and controls["1003"]["visible"]
    assert state["progress"] == 0 and state["messagebox"] is None


@pytest.mark.parametrize("language", ["zh-TW", "en-US"])
def test_caption_and_hidden_label_follow_the_system_language(idle, texts, language):
    expected = texts[LANGUAGE_IDS[language]]
    state = idle.start(language=language).dialog()
    assert state["caption"] == expected[1]
    label = state["controls"]["1001"]
    assert label["text"] == expected[2] and not label["visible"]
    assert state["controls"]["1002"]["text"] == "" and state["controls"]["1003"]["text"] == ""


def test_two_system_languages_give_two_captions(make_install):
    captions = []
    for number, language in enumerate(("zh-TW", "en-US")):
        installation = make_install(language)
        installation.write_ini(f"gopher://127.0.0.1/pkg/caption{number}.exe")
        captions.append(installation.start(language=language).dialog()["caption"])
    assert captions[0] and captions[1] and captions[0] != captions[1]


@pytest.mark.parametrize("button", [IDNO, IDCANCEL], ids=["no", "cancel"])
def test_close_box_asks_and_no_or_cancel_keep_the_window(idle, driver, texts, button):
    process = idle.start()
    process.dialog()
    question = process.request_close()
    assert question["text"] == texts[EN_US][3]
    assert question["caption"] == texts[EN_US][1]
    assert question["icon"] == "exclamation"
    assert sorted(question["buttons"]) == sorted([IDYES, IDNO, IDCANCEL])
    process.answer(button)
    assert driver.messagebox_gone(process.pid)
    assert process.dialog()["visible"]
    # Still fully alive: it asks again, and Yes ends it.
    exit_report = process.close_confirmed()
    assert exit_report["exited"], exit_report


def test_yes_ends_the_process(idle):
    process = idle.start()
    process.dialog()
    process.request_close()
    process.answer(IDYES)
    assert process.wait_exit()["exited"]


def test_escape_asks_like_the_close_box_and_enter_does_nothing(idle, driver, texts):
    process = idle.start()
    process.dialog()
    # Enter first: if it ended the dialog or asked, the Escape below would find no window or a
    # box that is already open.
    driver.key(process.pid, "enter")
    assert driver.messagebox(process.pid, timeout_ms=0) is None
    driver.key(process.pid, "esc")
    question = process.question()
    assert question["text"] == texts[EN_US][3]
    process.answer(IDNO)
    assert driver.messagebox_gone(process.pid)
    driver.key(process.pid, "esc")
    process.question()
    process.answer(IDYES)
    assert process.wait_exit()["exited"]


@pytest.mark.parametrize("url", [IDLE_URL, "file:///x"], ids=["gopher", "file"])
def test_unsupported_scheme_opens_an_idle_window(install, url):
    install.write_ini(url)
    process = install.start()
    process.dialog()
    # Well past the 300 ms start timer: nothing was started, nothing ended the window.
    assert process.is_running_after(3000)
    state = process.dialog()
    assert state["progress"] == 0 and state["messagebox"] is None
    assert state["controls"]["1002"]["text"] == "" and state["controls"]["1003"]["text"] == ""
