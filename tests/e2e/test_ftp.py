# FTP downloads under Wine against the scripted FTP server on 127.0.0.1: Fennick.exe
# with QXFtp.dll (packages are marker_app.exe stand-ins padded by seed, so a splice shows), and
# QXFtp.dll on its own through `fnkdriver lib` for what the installer cannot show: odd replies,
# resume decisions, time-outs, stops, proxies, hostile arguments and the other entries.
import os
import socket
import time
import uuid

import pytest

from fennick import IDOK, IDYES, Download, LibraryCall, language_texts, state_values
from servers.ftp import fault_ftp
from servers.polling import wait_until

SIZE, CUT = 2 * 1024 * 1024 + 777, 700000
E_INVALID_ARGUMENT, E_NOT_LOGGED_ON, E_CONNECT, E_TIMEOUT, E_CONNECTION_LOST = 2, 3, 5, 6, 7
E_LOGON_REFUSED, E_INCOMPLETE, E_STOPPED, E_BUFFER_TOO_SMALL, E_NOT_FOUND, E_BUSY = 9, 11, 12, 14, 17, 18


def publish(root, name, data, mtime=None):
    (root / "pub" / name).write_bytes(data)
    os.utime(root / "pub" / name, None if mtime is None else (mtime, mtime))
    return data


def probe(wine, tmp_path, *operations):
    # QXFtp.dll on one session: one dict per operation (op, result, error, values...).
    return LibraryCall(wine, "QXFtp.dll", tmp_path / f"probe-{uuid.uuid4().hex}.jsonl").run(*operations)


def logon(server, user="anonymous", password="", flags=0):
    return f"logon|{'[::1]' if server.host == '::1' else server.host}|{server.port}|{user}|{password}||||||{flags}"


def get(server, target, wine, mode=1, flags=0, stop="", reenter=""):
    return probe(wine, target.parent, logon(server, flags=flags), f"get|/pub/setup.exe|{wine.windows_path(target)}|{mode}|{stop}|{reenter}")[1]


# ---------------------------------------------------------------------------------------------
# Fennick.exe


@pytest.mark.parametrize("kind, change", [("close", None), ("reset", None), ("die", None), ("close", "other size"),
                                          ("close", "same size")])
def test_interrupted_download_is_counted_then_resumed_or_fetched_anew(runner, root, name, download_dir, kind, change):
    # Each break of the data connection fails (Wine reports a reset as a clean end; the server may
    # say 226) and is counted; the next run continues with REST and only the remainder, unless the
    # file changed (size, or only the modification time): then it starts from zero, never spliced.
    old = publish(root, name, runner.package(SIZE, 1), mtime=time.time() - 7200)
    download = Download(download_dir, name)
    with fault_ftp(root, retr_fault={"kind": kind, "after": CUT, "times": 1}) as server:
        runner.run(server.url(f"/pub/{name}"))
    runner.assert_counted_failure(download, "1")
    kept = download.partial.stat().st_size
    assert kept <= CUT and download.partial.read_bytes() == old[:kept]
    assert state_values(download.state)["size"] == str(SIZE)

    new = old if change is None else publish(root, name, runner.package(SIZE + 4096 * (change == "other size"), 2),
                                             mtime=time.time() - 60)
    runner.forget_markers()
    with fault_ftp(root) as server:
        runner.run(server.url(f"/pub/{name}"))
        runner.assert_success(download, new)
        rests = [c for c in server.commands() if c.startswith("REST") and c != "REST 0"]
        assert rests == ([f"REST {kept}"] if change is None and kept else []), rests
        assert server.wait_for_transfers(1)[-1].bytes == len(new) - (kept if change is None else 0)


def test_stalled_transfer_fails_by_the_watchdog_and_keeps_the_partial_file(runner, root, name, download_dir):
    publish(root, name, runner.package(SIZE, 4))
    download = Download(download_dir, name)
    with fault_ftp(root, retr_fault={"kind": "stall", "after": CUT}, rate=CUT // 3) as server:
        # Ended by the 20 s watchdog, well before the library's own 60 s receive time-out.
        assert runner.start(server.url(f"/pub/{name}")).wait_exit(45000)["exited"]
    runner.assert_counted_failure(download, "1")
    # The worker was ended while it waited; at most the last second's data was still buffered.
    assert CUT // 3 <= download.partial.stat().st_size <= CUT and state_values(download.state)["size"] == str(SIZE)


def test_slow_transfer_outlives_the_watchdog_and_a_confirmed_close_ends_it_uncounted(runner, root, name, download_dir):
    # At 64 KiB/s three quarters take about 24 s: every progress report must re-arm the 20 s watchdog.
    publish(root, name, runner.package(SIZE, 5))
    download = Download(download_dir, name)
    download.set_counter("2")
    with fault_ftp(root, rate=64 * 1024) as server:
        process = runner.start(server.url(f"/pub/{name}"))
        wait_until(lambda: process.dialog()["progress"] >= 75, "three quarters transferred", 90)
        process.request_close()
        process.answer(IDYES)
        assert process.wait_exit(4000)["exited"]  # the worker stops at its next report; a forced end takes 5 s
    assert download.counter() == "2" and not download.target.exists()
    assert not runner.marker("QXChkErr.exe").exists() and not runner.marker(name).exists()


def test_missing_library_is_reported_and_not_counted(runner, driver, name, download_dir):
    (runner.install.folder / "QXFtp.dll").unlink()
    process = runner.start(f"ftp://127.0.0.1:9/pub/{name}")
    box = driver.find("box", text="Load QXFtp.dll fail!", pid=process.pid)
    assert box is not None and box["caption"] == "Error" and box["buttons"] == [IDOK], box
    driver.do("press", hwnd=box["hwnd"], button=IDOK)
    assert process.question()["text"] == language_texts(runner.install.folder / "FENNICKMSG.MLG")[0x0409][4]
    process.answer(IDOK)
    assert process.wait_exit()["exited"]
    assert not Download(download_dir, name).state.exists() and not runner.marker("QXChkErr.exe").exists()


# ---------------------------------------------------------------------------------------------
# QXFtp.dll on its own


@pytest.fixture
def served(root):
    publish(root, "setup.exe", os.urandom(SIZE))
    (root / "pub" / "empty.bin").write_bytes(b"")
    return root


def whole(target, root):
    return target.read_bytes() == (root / "pub" / "setup.exe").read_bytes()


def test_odd_but_legal_replies(wine, served, tmp_path):
    # Multi-line replies with inner lines of other codes, 125 for 150, 230 right after USER, EPSV
    # refused (then PASV for the session), a PASV address not to be used, 226 before the data ends.
    banner = ["220-Welcome", "230 an inner line, not the end", "220-still the banner", " 220 indented", "220 Ready."]
    target = tmp_path / "odd.bin"
    with fault_ftp(served, banner=banner, multiline=["USER", "PASS", "TYPE", "SIZE", "MDTM", "RETR", "PASV"],
                   replace={"EPSV": "502 EPSV not implemented."}, masquerade="192.0.2.1", no_password_users=["anonymous"],
                   retr_fault={"kind": "early_reply", "after": 100000}) as server:
        r = probe(wine, tmp_path, logon(server), "size|/pub/empty.bin", f"get|/pub/setup.exe|{wine.windows_path(target)}|0")
        assert [x["result"] for x in r] == [1, 1, 1] and r[1]["size"] == 0 and whole(target, served), r
        assert "PASS" not in server.verbs() and server.verbs().count("EPSV") == 1 and server.verbs().count("PASV") == 1


@pytest.mark.parametrize("replace, result", [
    ({"MDTM": "502 No.", "REST": "502 No."}, 1),   # REST refused after a cut: the whole file again
    ({"SIZE": "213 1500000"}, 0),                   # more data than SIZE said: nothing left that looks whole
], ids=["rest-refused", "more-than-size"])
def test_resume_decisions(wine, served, tmp_path, replace, result):
    target = tmp_path / "setup.bin"
    target.write_bytes(b"")
    with fault_ftp(served, replace=replace, retr_fault={"kind": "close", "after": CUT, "times": result}) as server:
        if result:
            assert get(server, target, wine)["result"] == 0 and target.stat().st_size == CUT
        r = get(server, target, wine)
        assert r["result"] == result and (f"REST {CUT}" in server.commands()) == bool(result), (r, server.commands())
        if result:
            assert whole(target, served) and server.wait_for_transfers(2)[-1].bytes == SIZE
        else:
            assert r["error"] == E_INCOMPLETE and target.stat().st_size == 0


@pytest.mark.parametrize("case", ["stall", "huge size", "stop", "reenter over IPv6"])
def test_progress_time_out_and_stop(wine, served, tmp_path, case):
    target = tmp_path / "p.bin"
    config = {"stall": dict(retr_fault={"kind": "stall", "after": CUT}),
              "huge size": dict(replace={"SIZE": "213 100000000000"}, rate=100000, retr_fault={"kind": "close", "after": 350000}),
              "stop": dict(rate=400000), "reenter over IPv6": dict(ipv6=True)}[case]
    with fault_ftp(served, **config) as server:
        r = get(server, target, wine, flags=2 << 8 if case == "stall" else 0, stop=300 if case == "stop" else "",
                reenter=1 if case.startswith("reenter") else "")
        verbs = server.verbs()
    values = r["values"]
    assert values == sorted(values) and 0 <= values[0] and values[-1] <= 1000 and not r["otherThread"], r
    if case == "stall":  # a 2 s receive time-out; reports only for bytes that arrived
        assert (r["error"], target.stat().st_size, values[-1]) == (E_TIMEOUT, CUT, CUT * 1000 // SIZE), r
    elif case == "huge size":  # 64-bit size: per mille never moves, reports still come at least once a second
        assert r["error"] == E_INCOMPLETE and len(values) >= 2 and set(values) == {0}, r
    elif case == "stop":
        assert r["error"] == E_STOPPED and r["values"][-1] >= 300 and SIZE * 3 // 10 <= target.stat().st_size < SIZE, r
    else:  # a call from the callback is refused instead of deadlocking; IPv6 takes EPSV only
        assert (r["result"], r["reenterResult"], r["reenterError"]) == (1, 0, E_BUSY) and whole(target, served), r
        assert "EPSV" in verbs and "PASV" not in verbs


def test_proxy_and_account_logons(wine, served, tmp_path):
    target = tmp_path / "proxy.bin"
    with fault_ftp(served, users=[["alice", "pw"]], account={"alice": "acct-7"}) as server:
        r = probe(wine, tmp_path, f"logon|127.0.0.1|{server.port}|alice|pw||||acct-7", "size|/pub/setup.exe",
                  f"logon|127.0.0.1|{server.port}|alice|pw")
        assert [x["result"] for x in r] == [1, 1, 0] and r[2]["error"] == E_LOGON_REFUSED and "332" in r[2]["errorText"]
    with fault_ftp(served, users=[["alice", "pw"]], proxy={"user": "gate", "password": "gatepw", "target": "files.example:2121"}) as server:
        via = f"logon|files.example|2121|alice|pw|127.0.0.1|gate|{{}}||{server.port}|0"
        r = probe(wine, tmp_path, via.format("gatepw"), f"get|/pub/setup.exe|{wine.windows_path(target)}|1", via.format("wrong"))
        assert [x["result"] for x in r] == [1, 1, 0] and whole(target, served), r
        assert server.commands()[:4] == ["USER gate", "PASS gatepw", "USER alice@files.example:2121", "PASS pw"]


def test_hostile_arguments_and_sizes_above_4_gib(wine, served, tmp_path):
    with fault_ftp(served, replace={"SIZE": "213 5368709121"}) as server:
        r = probe(wine, tmp_path, logon(server), "size|/pub/setup.exe\r\nDELE /pub/setup.exe",
                  f"get|/pub/setup.exe|{wine.windows_path(tmp_path / 'x')}|2", "size|/pub/setup.exe",
                  f"logon|127.0.0.1|{server.port}|anonymous||||||0|65536", "logon||21|anonymous|", "logon|127.0.0.1|70000|anonymous|")
        assert r[3]["result"] == 1 and r[3]["size"] == 5368709121, r  # the session survived; 64-bit size whole
        assert all(x["result"] == 0 and x["error"] == E_INVALID_ARGUMENT for x in r[1:3] + r[4:]), r
        assert "DELE" not in server.verbs()


def test_connect_fails_when_nobody_listens_or_answers(wine, tmp_path):
    # Refused at once, or never answered (a full backlog drops further connection requests): the
    # library gives up on its own, long before the installer's watchdog would.
    with socket.socket() as closed, socket.socket() as full, socket.socket() as queued, socket.socket() as extra:
        closed.bind(("127.0.0.1", 0))
        full.bind(("127.0.0.1", 0))
        full.listen(0)
        queued.connect(full.getsockname())
        extra.setblocking(False)
        extra.connect_ex(full.getsockname())
        r = probe(wine, tmp_path, f"logon|127.0.0.1|{closed.getsockname()[1]}|anonymous|",
                  f"logon|127.0.0.1|{full.getsockname()[1]}|anonymous|")
    assert [(x["result"], x["error"]) for x in r] == [(0, E_CONNECT)] * 2 and "timed out" in r[1]["errorText"], r


def test_other_entries(wine, served, tmp_path):
    user, password = "alice", "pw"
    upload = tmp_path / "up.bin"
    upload.write_bytes(os.urandom(2500000))
    (served / "incoming").mkdir()
    (served / "incoming" / "big.bin").write_bytes(upload.read_bytes()[:1000000])
    with fault_ftp(served, users=[[user, password]]) as server:
        steps = [  # operation, result, error (None: no failure)
            ("size|/pub/setup.exe", 0, E_NOT_LOGGED_ON), (f"logon|127.0.0.1|{server.port}|{user}|wrong", 0, E_LOGON_REFUSED),
            (f"logon|127.0.0.1|{server.port}|{user}|{password}", 1, None), ("exists|/pub/setup.exe", 1, None),
            ("exists|/pub/missing.exe", 0, None), ("info|/pub/setup.exe", 1, None), ("info|/pub/setup.exe|5", 0, E_BUFFER_TOO_SMALL),
            ("cwd|/pub", 1, None), ("size|setup.exe", 1, None), ("find|/pub", 1, None),
            ("find|/pub/nothing*", 0, E_NOT_FOUND), (f"put|{wine.windows_path(upload)}|/incoming/big.bin|1", 1, None),
            (f"put|{wine.windows_path(upload)}|/incoming/big.bin|1", 1, None),
            ("rename|/incoming/big.bin|/incoming/renamed.bin", 1, None), ("rename|/incoming/big.bin|/incoming/x.bin", 0, E_NOT_FOUND),
            ("delete|/incoming/renamed.bin", 1, None), ("delete|/incoming/renamed.bin", 0, E_NOT_FOUND),
            ("lasterror", E_NOT_FOUND, None), ("clearerror", 1, None), ("lasterror", 0, None), ("free", 1, None),
            ("stale", 1, None), ("reopen", 1, None)]
        r = probe(wine, tmp_path, *[step[0] for step in steps])
        assert [(x["result"], x.get("error")) for x in r] == [step[1:] for step in steps], r
        assert r[5]["size"] == SIZE and len(r[5]["modified"]) == 14 and r[6]["modified"] == "unchanged"
        assert r[8]["size"] == SIZE and r[9]["name"].split("/")[-1] in ("empty.bin", "setup.exe") and "550" in r[17]["text"]
        assert r[11]["values"][-1] == 1000 and r[12]["values"] == []  # continued with APPE, then already whole
        assert server.verbs().count("APPE") == 1 and "STOR" not in server.verbs()
