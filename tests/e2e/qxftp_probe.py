"""Runs qxftp_probe.exe (components/qxftp/probe) under Wine: it loads QXFtp.dll by full path,
performs the operations it is given on one session and reports each as a JSON line."""
from __future__ import annotations

import hashlib
import json
import os
import subprocess
import uuid
from pathlib import Path, PurePosixPath
from typing import Dict, List

ROOT = Path(__file__).resolve().parents[2]
BUILD_ROOT = Path(os.environ.get("FENNICK_BUILD_ROOT") or ROOT / "build")
BUILD_DIR = Path(os.environ.get("FENNICK_BUILD_DIR") or BUILD_ROOT / "x86_64")
LIBRARY = BUILD_DIR / "kit" / "QXFtp.dll"
PROBE = BUILD_DIR / "tests-bin" / "qxftp_probe.exe"
WINE_RUN = ROOT / "scripts" / "wine-run"
DEADLINE = 180  # seconds; only a hung run reaches it

# QXFtp.h error codes
E_NONE, E_INVALID_HANDLE, E_INVALID_ARGUMENT, E_NOT_LOGGED_ON = 0, 1, 2, 3
E_RESOLVE, E_CONNECT, E_TIMEOUT, E_CONNECTION_LOST, E_PROTOCOL, E_LOGON_REFUSED = 4, 5, 6, 7, 8, 9
E_REFUSED, E_INCOMPLETE, E_STOPPED, E_LOCAL_FILE, E_BUFFER_TOO_SMALL = 10, 11, 12, 13, 14
E_NO_RESOURCES, E_NOT_SUPPORTED, E_NOT_FOUND, E_BUSY = 15, 16, 17, 18


def windows_path(path) -> str:
    return "Z:" + str(PurePosixPath(path)).replace("/", "\\")


def pattern_bytes(size: int, seed: int) -> bytes:
    """Reproducible bytes that differ for every seed, so that a splice of two versions shows."""
    out = bytearray()
    block = hashlib.sha256(str(seed).encode()).digest()
    while len(out) < size:
        block = hashlib.sha256(block).digest()
        out += block * 128
    return bytes(out[:size])


def sha256_of(path) -> str:
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            digest.update(chunk)
    return digest.hexdigest()


def run_probe(*operations: str, workdir: Path) -> List[Dict]:
    """The probe's report, one dict per operation ("op", "result", and "error"/"errorText" when
    the operation failed)."""
    report = workdir / f"probe-{uuid.uuid4().hex}.jsonl"
    log = workdir / f"probe-{uuid.uuid4().hex}.log"
    with open(log, "wb") as out:
        # Output goes to a file: a pipe could be inherited by Wine's long-lived helpers.
        code = subprocess.run([str(WINE_RUN), str(PROBE), windows_path(report), windows_path(LIBRARY),
                               *operations], stdout=out, stderr=subprocess.STDOUT,
                              stdin=subprocess.DEVNULL, timeout=DEADLINE).returncode
    lines = report.read_text().splitlines() if report.exists() else []
    if code != 0:
        raise AssertionError(f"probe exit {code}: {lines} {log.read_text(errors='replace')[-2000:]}")
    return [json.loads(line) for line in lines]


def logon(server, user="anonymous", password="", flags=0, host=None):
    return f"logon|{host or server.host}|{server.port}|{user}|{password}||||||{flags}"


def state_values(local: Path) -> Dict[str, str]:
    """Section "Main" of the download's state file (local path + "_sz")."""
    path = Path(str(local) + "_sz")
    values = {}
    if path.exists():
        section = None
        for line in path.read_text(errors="replace").splitlines():
            line = line.strip()
            if line.startswith("["):
                section = line.strip("[]")
            elif "=" in line and section == "Main":
                key, value = line.split("=", 1)
                values[key] = value
    return values
