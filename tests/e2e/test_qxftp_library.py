"""QXFtp.dll on its own, under Wine, against vsftpd on 127.0.0.1 and ::1: the calls the
installer makes (anonymous and user logon, size, download with continuation) and the nine
other entries (upload, rename, delete, file information, change folder, exists, first name,
last error)."""
import os
import shutil
import subprocess

import pytest

from qxftp_probe import (BUILD_ROOT, LIBRARY, E_BUFFER_TOO_SMALL, E_INVALID_ARGUMENT,
                         E_LOGON_REFUSED, E_NONE, E_NOT_FOUND, E_NOT_LOGGED_ON, E_STOPPED,
                         logon, pattern_bytes, run_probe, sha256_of, state_values, windows_path)
from servers.ftp import LOGIN_USER, vsftpd

pytestmark = pytest.mark.skipif(os.geteuid() != 0, reason="vsftpd and its login user need root")

SIZE = 3 * 1024 * 1024 + 12345


@pytest.fixture
def served(tmp_path):
    """A served folder with one package and a local folder for the downloads."""
    root = tmp_path / "root"
    (root / "pub").mkdir(parents=True)
    (root / "pub" / "setup.exe").write_bytes(pattern_bytes(SIZE, 1))
    (root / "pub" / "empty.bin").write_bytes(b"")
    local = tmp_path / "local"
    local.mkdir()
    return root, local


def test_every_entry_is_exported_under_its_plain_name():
    names = {"QFTPIFO", "QFTPUFO", "QFTPFLON", "QFTPFLOFF", "QFTPFGFWCB", "QFTPFPFWCB", "QFTPFGLE",
             "QFTPFCLE", "QFTPRF", "QFTPDF", "QFTPGFI", "QFTPCF", "QFTPFE", "QFTPFFF", "QFTPGFS"}
    libraries = [(LIBRARY, "x86_64-w64-mingw32-objdump")]
    i686 = BUILD_ROOT / "i686" / "kit" / "QXFtp.dll"
    if i686.exists():
        libraries.append((i686, "i686-w64-mingw32-objdump"))
    for library, objdump in libraries:
        text = subprocess.run([objdump, "-p", str(library)], capture_output=True, text=True, check=True).stdout
        table = text.split("[Ordinal/Name Pointer] Table", 1)[1].split("\n\n", 1)[0]
        exported = {line.split("]")[-1].strip() for line in table.splitlines() if "]" in line}
        assert exported == names, library


def test_anonymous_download_then_nothing_more_to_fetch(served, tmp_path):
    root, local = served
    target = local / "setup.exe_tmp"
    with vsftpd(root) as server:
        first = run_probe(logon(server), "size|/pub/setup.exe",
                          f"get|/pub/setup.exe|{windows_path(target)}|1", "logoff", workdir=tmp_path)
        assert [r["result"] for r in first] == [1, 1, 1, 1], first
        assert first[1]["size"] == SIZE
        assert sha256_of(target) == sha256_of(root / "pub" / "setup.exe")
        progress = first[2]
        assert progress["lastPerMille"] == 1000 and not progress["backwards"] and not progress["outOfRange"]
        assert not progress["otherThread"]
        # The modification time is recorded beside the partial file, under a key of its own.
        assert len(state_values(target)["RemoteModified"]) == 14

        commands = server.verbs()
        assert commands.index("TYPE") < commands.index("SIZE")
        assert commands[commands.index("RETR") - 1] == "EPSV"
        assert "REST" not in commands

        # The local file is whole: nothing is transferred, no progress is reported.
        again = run_probe(logon(server), f"get|/pub/setup.exe|{windows_path(target)}|1", workdir=tmp_path)
        assert again[1]["result"] == 1 and again[1]["calls"] == 0
        assert server.verbs().count("RETR") == 1

        # Mode 0 replaces whatever is there.
        target.write_bytes(b"x" * 100)
        replaced = run_probe(logon(server), f"get|/pub/setup.exe|{windows_path(target)}|0", workdir=tmp_path)
        assert replaced[1]["result"] == 1
        assert sha256_of(target) == sha256_of(root / "pub" / "setup.exe")


def test_stopped_download_continues_where_it_ended(served, tmp_path):
    root, local = served
    target = local / "setup.exe_tmp"
    with vsftpd(root) as server:
        stopped = run_probe(logon(server), f"get|/pub/setup.exe|{windows_path(target)}|1|1",
                            "lasterror", workdir=tmp_path)
        assert stopped[1]["result"] == 0 and stopped[1]["error"] == E_STOPPED
        assert stopped[1]["calls"] == 1
        kept = target.stat().st_size
        assert 0 < kept < SIZE
        # A stop ends the transfer within one buffer of about 1 MiB.
        assert kept <= 2 * 1024 * 1024

        resumed = run_probe(logon(server), f"get|/pub/setup.exe|{windows_path(target)}|1", workdir=tmp_path)
        assert resumed[1]["result"] == 1
        assert sha256_of(target) == sha256_of(root / "pub" / "setup.exe")
        commands = server.commands()
        assert f"REST {kept}" in commands
        # REST comes directly before RETR.
        assert commands[commands.index(f"REST {kept}") + 1] == "RETR /pub/setup.exe"
        transfers = server.wait_for_transfers(2)
        assert transfers[-1].bytes == SIZE - kept and transfers[-1].completed


def test_user_logon_and_the_other_entries(served, tmp_path):
    root, local = served
    user, password = LOGIN_USER
    upload = local / "upload.bin"
    upload.write_bytes(pattern_bytes(1500000, 7))
    with vsftpd(root, login=LOGIN_USER, writable=True) as server:
        wrong = run_probe(logon(server, user, "wrong"), "size|/pub/setup.exe", workdir=tmp_path)
        assert wrong[0]["result"] == 0 and wrong[0]["error"] == E_LOGON_REFUSED
        assert wrong[1]["result"] == 0 and wrong[1]["error"] == E_NOT_LOGGED_ON

        r = run_probe(
            logon(server, user, password),
            "exists|/pub/setup.exe", "exists|/pub/missing.exe",
            "info|/pub/setup.exe", "info|/pub/setup.exe|5",
            "cwd|/pub", "size|setup.exe", "cwd|/nowhere",
            "find|/pub", "find|/pub|3", "find|/pub/nothing*",
            f"put|{windows_path(upload)}|/incoming/up.bin|0",
            "rename|/incoming/up.bin|/incoming/renamed.bin", "rename|/incoming/up.bin|/incoming/x.bin",
            "exists|/incoming/renamed.bin",
            "delete|/incoming/renamed.bin", "delete|/incoming/renamed.bin",
            "exists|/incoming/renamed.bin",
            workdir=tmp_path)
        results = {(i, x["op"]): x for i, x in enumerate(r)}
        assert [x["result"] for x in r] == [1, 1, 0, 1, 0, 1, 1, 0, 1, 0, 0, 1, 1, 0, 1, 1, 0, 0], r
        assert "error" not in results[(2, "exists")]          # a clean "no" is no failure
        assert results[(3, "info")]["size"] == SIZE
        assert len(results[(3, "info")]["modified"]) == 14
        assert results[(4, "info")]["error"] == E_BUFFER_TOO_SMALL
        assert results[(4, "info")]["modified"] == "unchanged"  # nothing written on failure
        assert results[(6, "size")]["size"] == SIZE            # relative to the changed folder
        assert results[(7, "cwd")]["error"] == E_NOT_FOUND
        assert results[(8, "find")]["name"] in ("empty.bin", "/pub/empty.bin")
        assert results[(9, "find")]["error"] == E_BUFFER_TOO_SMALL
        assert results[(10, "find")]["error"] == E_NOT_FOUND
        assert results[(11, "put")]["lastPerMille"] == 1000
        assert results[(13, "rename")]["error"] == E_NOT_FOUND
        assert results[(16, "delete")]["error"] == E_NOT_FOUND
        assert not (root / "incoming" / "renamed.bin").exists()


def test_upload_continues_a_partial_remote_file(served, tmp_path):
    root, local = served
    user, password = LOGIN_USER
    data = pattern_bytes(2500000, 9)
    source = local / "big.bin"
    source.write_bytes(data)
    with vsftpd(root, login=LOGIN_USER, writable=True) as server:
        remote = root / "incoming" / "big.bin"
        remote.write_bytes(data[:1000000])
        shutil.chown(remote, user=user)
        r = run_probe(logon(server, user, password), f"put|{windows_path(source)}|/incoming/big.bin|1",
                      f"put|{windows_path(source)}|/incoming/big.bin|1", workdir=tmp_path)
        assert [x["result"] for x in r] == [1, 1, 1]
        assert r[2]["calls"] == 0                      # already whole: nothing sent
        assert remote.read_bytes() == data
        assert server.verbs().count("APPE") == 1 and "STOR" not in server.verbs()


def test_last_error_and_handles(served, tmp_path):
    root, local = served
    with vsftpd(root) as server:
        r = run_probe("size|/pub/setup.exe", "lasterror", "clearerror", "lasterror",
                      logon(server), "get|/pub/setup.exe|" + windows_path(local / "x") + "|7",
                      "lasterror|8", "size|/pub/missing", "lasterror",
                      "free", "stale", "reopen", "lasterror", workdir=tmp_path)
        ops = [(x["op"], x["result"]) for x in r]
        assert ops[0] == ("size", 0) and r[0]["error"] == E_NOT_LOGGED_ON
        assert r[1]["result"] == E_NOT_LOGGED_ON and r[1]["text"] == "not logged on"
        assert ops[2] == ("clearerror", 1) and r[3]["result"] == E_NONE and r[3]["text"] == ""
        assert r[5]["error"] == E_INVALID_ARGUMENT           # mode 7 is no mode
        # A text that does not fit is not cut: the buffer stays empty.
        assert r[6]["result"] == E_INVALID_ARGUMENT and r[6]["text"] == ""
        assert r[7]["error"] == E_NOT_FOUND and "550" in r[8]["text"]
        assert ops[9] == ("free", 1) and ops[10] == ("stale", 1) and ops[11] == ("reopen", 1)
        assert r[12]["result"] == E_NONE                      # a fresh session has no error


def test_ipv6_download(served, tmp_path):
    root, local = served
    target = local / "v6.bin"
    with vsftpd(root, ipv6=True) as server:
        r = run_probe(logon(server, host="::1"), f"get|/pub/setup.exe|{windows_path(target)}|1", workdir=tmp_path)
        assert [x["result"] for x in r] == [1, 1]
        assert sha256_of(target) == sha256_of(root / "pub" / "setup.exe")
        assert "EPSV" in server.verbs() and "PASV" not in server.verbs()
        r = run_probe(logon(server, host="[::1]"), "size|/pub/empty.bin", workdir=tmp_path)
        assert r[1]["size"] == 0
