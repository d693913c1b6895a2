"""QXFtp.dll under Wine against our scripted server (servers/ftp_fault_server.py): odd but legal
replies, broken data connections, a dying or stalling server, a changed file, proxies, accounts
and hostile arguments. A failed transfer must never be reported as success, must keep a valid
beginning of the file, and the next call must end with the exact file."""
import os
import socket

import pytest

from qxftp_probe import (E_BUSY, E_CONNECT, E_CONNECTION_LOST, E_INCOMPLETE, E_INVALID_ARGUMENT, E_LOGON_REFUSED,
                         E_STOPPED, E_TIMEOUT, logon, pattern_bytes, run_probe, sha256_of, state_values,
                         windows_path)
from servers.ftp import fault_ftp

SIZE = 2 * 1024 * 1024 + 777
CUT = 700000
TIMEOUT_2S = 2 << 8  # QFTPFLON flags: receive time-out of 2 seconds


@pytest.fixture
def root(tmp_path):
    root = tmp_path / "root"
    root.mkdir()
    (root / "setup.exe").write_bytes(pattern_bytes(SIZE, 1))
    (root / "empty.bin").write_bytes(b"")
    return root


def get(server, target, *extra, flags=0, workdir):
    return run_probe(logon(server, flags=flags), f"get|/setup.exe|{windows_path(target)}|1", *extra,
                     workdir=workdir)


def assert_whole(target, root):
    assert sha256_of(target) == sha256_of(root / "setup.exe")


def test_odd_but_legal_replies(root, tmp_path):
    """Multi-line replies whose inner lines start with other codes, 125 instead of 150,
    230 right after USER, EPSV refused and a PASV address that must not be used, and the final
    226 arriving before the data has ended."""
    target = tmp_path / "setup.exe_tmp"
    banner = ["220-Welcome", "230 an inner line, not the end", "220-still the banner", " 220 indented", "220 Ready."]
    with fault_ftp(root, banner=banner, multiline=["USER", "PASS", "TYPE", "SIZE", "MDTM", "RETR", "PASV"],
                   replace={"EPSV": "502 EPSV not implemented."}, masquerade="192.0.2.1",
                   no_password_users=["anonymous"],
                   retr_fault={"kind": "early_reply", "after": 100000}) as server:
        r = get(server, target, "size|/empty.bin", f"get|/setup.exe|{windows_path(target)}|0", workdir=tmp_path)
        assert [x["result"] for x in r] == [1, 1, 1, 1], r
        assert_whole(target, root)
        verbs = server.verbs()
        assert "PASS" not in verbs
        # EPSV is tried once; the session then keeps to PASV.
        assert verbs.count("EPSV") == 1 and verbs.count("PASV") == 2


def test_interrupted_transfers_fail_and_then_continue(root, tmp_path):
    """Each break of the data connection is a failure (a reset looks like a clean end under
    Wine, and the server may even say 226); the next call continues with REST and only the
    remainder crosses the wire."""
    for kind in ("close", "reset", "die"):
        target = tmp_path / f"{kind}.bin"
        with fault_ftp(root, retr_fault={"kind": kind, "after": CUT, "times": 1}) as server:
            failed = get(server, target, workdir=tmp_path)
            assert failed[1]["result"] == 0, (kind, failed)
            assert failed[1]["error"] in (E_INCOMPLETE, E_CONNECTION_LOST), (kind, failed)
            kept = target.stat().st_size
            # A reset may discard data that had already arrived; never more than was sent.
            assert 0 < kept <= CUT or (kind == "reset" and kept == 0), kind
            assert target.read_bytes() == (root / "setup.exe").read_bytes()[:kept]
        with fault_ftp(root) as server:
            resumed = get(server, target, workdir=tmp_path)
            assert resumed[1]["result"] == 1, (kind, resumed)
            assert_whole(target, root)
            assert (f"REST {kept}" in server.commands()) == (kept > 0), kind
            assert server.wait_for_transfers(1)[0].bytes == SIZE - kept, kind


def test_stall_fails_after_the_receive_timeout_without_progress_reports(root, tmp_path):
    target = tmp_path / "stall.bin"
    with fault_ftp(root, retr_fault={"kind": "stall", "after": CUT}) as server:
        r = get(server, target, flags=TIMEOUT_2S, workdir=tmp_path)
        assert r[1]["result"] == 0 and r[1]["error"] == E_TIMEOUT, r
        assert target.stat().st_size == CUT
        # Reports only for bytes that arrived: none for the stall itself.
        assert r[1]["lastPerMille"] == CUT * 1000 // SIZE


def test_progress_reports_at_least_once_a_second_while_bytes_arrive(root, tmp_path):
    """A size so large that the per-mille value never moves: reports still come while data flows."""
    target = tmp_path / "slow.bin"
    with fault_ftp(root, replace={"SIZE": "213 100000000000"}, rate=100000,
                   retr_fault={"kind": "close", "after": 350000}) as server:
        r = get(server, target, workdir=tmp_path)
        assert r[1]["result"] == 0 and r[1]["error"] == E_INCOMPLETE
        assert r[1]["calls"] >= 2 and set(r[1]["values"]) == {0}, r


def test_stop_from_the_callback(root, tmp_path):
    target = tmp_path / "stopped.bin"
    with fault_ftp(root, rate=400000) as server:
        r = run_probe(logon(server), f"get|/setup.exe|{windows_path(target)}|0|300", "size|/setup.exe",
                      workdir=tmp_path)
        assert r[1]["result"] == 0 and r[1]["error"] == E_STOPPED
        assert r[1]["values"][-1] >= 300 and not r[1]["backwards"]
        kept = target.stat().st_size
        assert SIZE * 300 // 1000 <= kept < SIZE
        # The session is closed by a stop: log on again.
        assert r[2]["result"] == 0
        assert not server.wait_for_transfers(1)[0].completed


def test_a_call_from_the_progress_callback_is_refused_instead_of_deadlocking(root, tmp_path):
    target = tmp_path / "reenter.bin"
    with fault_ftp(root) as server:
        r = run_probe(logon(server), f"get|/setup.exe|{windows_path(target)}|1|-1|1", workdir=tmp_path)
        assert r[1]["result"] == 1 and r[1]["reenterResult"] == 0 and r[1]["reenterError"] == E_BUSY
        assert_whole(target, root)


def test_never_splice_two_versions(root, tmp_path):
    """A partial file of one version is not continued with another version of the same size:
    the modification time recorded at the start tells them apart."""
    target = tmp_path / "version.bin"
    with fault_ftp(root, retr_fault={"kind": "close", "after": CUT, "times": 1}) as server:
        assert get(server, target, workdir=tmp_path)[1]["result"] == 0
        recorded = state_values(target)["RemoteModified"]
        (root / "setup.exe").write_bytes(pattern_bytes(SIZE, 2))
        os.utime(root / "setup.exe", (1700000000, 1700000000))
        r = get(server, target, workdir=tmp_path)
        assert r[1]["result"] == 1
        assert_whole(target, root)
        assert not any(c.startswith("REST") for c in server.commands())
        assert state_values(target)["RemoteModified"] == "20231114221320" != recorded


def test_without_mdtm_or_rest(root, tmp_path):
    """No MDTM: the sizes alone decide (continue). REST refused: the whole file again."""
    target = tmp_path / "nomdtm.bin"
    with fault_ftp(root, replace={"MDTM": "502 Command not implemented."},
                   retr_fault={"kind": "close", "after": CUT, "times": 1}) as server:
        assert get(server, target, workdir=tmp_path)[1]["result"] == 0
        assert "RemoteModified" not in state_values(target)
        assert get(server, target, workdir=tmp_path)[1]["result"] == 1
        assert f"REST {CUT}" in server.commands()
        assert_whole(target, root)

    target = tmp_path / "norest.bin"
    target.write_bytes((root / "setup.exe").read_bytes()[:CUT])
    with fault_ftp(root, replace={"MDTM": "502 No.", "REST": "502 REST not implemented."}) as server:
        assert get(server, target, workdir=tmp_path)[1]["result"] == 1
        assert_whole(target, root)
        assert server.wait_for_transfers(1)[0].bytes == SIZE


def test_more_data_than_the_reported_size_keeps_nothing(root, tmp_path):
    """The file changed between SIZE and RETR: no mixture may be left that looks whole."""
    target = tmp_path / "grown.bin"
    with fault_ftp(root, replace={"SIZE": "213 1500000"}) as server:
        r = get(server, target, workdir=tmp_path)
        assert r[1]["result"] == 0 and r[1]["error"] == E_INCOMPLETE, r
        assert target.stat().st_size == 0


def test_local_file_longer_than_remote_starts_again(root, tmp_path):
    target = tmp_path / "long.bin"
    target.write_bytes(b"z" * (SIZE + 10))
    with fault_ftp(root) as server:
        assert get(server, target, workdir=tmp_path)[1]["result"] == 1
        assert_whole(target, root)
        assert not any(c.startswith("REST") for c in server.commands())


def test_proxy_and_account_logons(root, tmp_path):
    target = tmp_path / "proxy.bin"
    with fault_ftp(root, users=[["alice", "pw"]], account={"alice": "acct-7"}) as server:
        r = run_probe(f"logon|127.0.0.1|{server.port}|alice|pw||||acct-7", "size|/setup.exe",
                      f"logon|127.0.0.1|{server.port}|alice|pw", workdir=tmp_path)
        assert [x["result"] for x in r] == [1, 1, 0]
        assert r[2]["error"] == E_LOGON_REFUSED and "332" in r[2]["errorText"]
        assert "ACCT acct-7" in server.commands()

    with fault_ftp(root, users=[["alice", "pw"]],
                   proxy={"user": "gate", "password": "gatepw", "target": "files.example:2121"}) as server:
        via = f"logon|files.example|2121|alice|pw|127.0.0.1|gate|{{}}||{server.port}|0"
        r = run_probe(via.format("gatepw"), f"get|/setup.exe|{windows_path(target)}|1",
                      via.format("wrong"), workdir=tmp_path)
        assert [x["result"] for x in r] == [1, 1, 0], r
        assert_whole(target, root)
        assert server.commands()[:4] == ["USER gate", "PASS gatepw", "USER alice@files.example:2121", "PASS pw"]


def test_hostile_and_wrong_arguments(root, tmp_path):
    with fault_ftp(root, writable=True) as server:
        r = run_probe(logon(server), "size|/setup.exe\r\nDELE /setup.exe",
                      f"get|/setup.exe|{windows_path(tmp_path / 'x')}|2",
                      "size|/empty.bin", f"logon|127.0.0.1|{server.port}|anonymous||||||0|65536",
                      "logon||21|anonymous|", f"logon|127.0.0.1|70000|anonymous|", workdir=tmp_path)
        assert r[1]["result"] == 0 and r[1]["error"] == E_INVALID_ARGUMENT
        assert r[2]["result"] == 0 and r[2]["error"] == E_INVALID_ARGUMENT
        assert r[3]["result"] == 1 and r[3]["size"] == 0     # the session survived both
        assert all(x["result"] == 0 and x["error"] == E_INVALID_ARGUMENT for x in r[4:]), r
        assert "DELE" not in server.verbs() and (root / "setup.exe").exists()
        # A remote size above 4 GiB comes through whole.
        server.set_faults(replace={"SIZE": "213 5368709121"})
        r = run_probe(logon(server), "size|/setup.exe", workdir=tmp_path)
        assert r[1]["size"] == 5368709121


def test_connect_fails_when_nobody_listens_or_answers(tmp_path):
    """Refused at once, or never answered: a listener whose backlog is full drops further
    connection requests, and the library gives up on its own, long before a watchdog would."""
    with socket.socket() as closed:
        closed.bind(("127.0.0.1", 0))
        closed_port = closed.getsockname()[1]
    with socket.socket() as full, socket.socket() as queued:
        full.bind(("127.0.0.1", 0))
        full.listen(0)
        queued.connect(full.getsockname())
        extra = socket.socket()
        extra.setblocking(False)
        extra.connect_ex(full.getsockname())
        try:
            r = run_probe(f"logon|127.0.0.1|{closed_port}|anonymous|",
                          f"logon|127.0.0.1|{full.getsockname()[1]}|anonymous|", workdir=tmp_path)
        finally:
            extra.close()
    assert r[0]["result"] == 0 and r[0]["error"] == E_CONNECT
    assert r[1]["result"] == 0 and r[1]["error"] == E_CONNECT and "timed out" in r[1]["errorText"], r
