"""Start-up of the real Fennick.exe under Wine: no configuration, and the single-instance guard
named by the package's base name. Idle URL schemes keep the windows open without a download."""
from fennick import IDYES


def test_without_fennick_ini_the_process_ends_at_once_without_a_window(install):
    process = install.start()
    report = process.wait_exit()
    assert report["exited"] and report["windows_seen"] == 0, report


def expect_refused(process):
    report = process.wait_exit()
    assert report["exited"] and report["windows_seen"] == 0, report


def test_second_start_for_the_same_package_ends_at_once(make_install):
    first = make_install("first")
    first.write_ini("gopher://127.0.0.1/a/setup.exe")
    running = first.start()
    running.dialog()

    # Same install again, and another install whose package shares the base name.
    expect_refused(first.start())
    other = make_install("other")
    other.write_ini("gopher://192.0.2.1/b/setup.zip")
    expect_refused(other.start())

    # The first one is undisturbed.
    assert running.dialog()["visible"]
    assert running.close_confirmed()["exited"]
    # Once it has ended, the guard is free again.
    again = first.start()
    assert again.dialog()["visible"]


def test_different_base_names_run_side_by_side(make_install):
    processes = []
    for name in ("setup1", "setup2"):
        installation = make_install(name)
        installation.write_ini(f"gopher://127.0.0.1/{name}.exe")
        processes.append(installation.start())
    states = [process.dialog() for process in processes]
    assert all(state["visible"] for state in states)
    for process in processes:
        process.request_close()
        process.answer(IDYES)
        assert process.wait_exit()["exited"]


def test_urls_without_a_package_name_still_exclude_each_other(make_install):
    first = make_install("first")
    first.write_ini("gopher://127.0.0.1/folder/")
    running = first.start()
    running.dialog()
    second = make_install("second")
    second.write_ini("gopher://127.0.0.1/elsewhere/")
    expect_refused(second.start())
    assert running.dialog()["visible"]
