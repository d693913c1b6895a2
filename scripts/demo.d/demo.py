"""The demo behind scripts/demo: serves the sample setup package from 127.0.0.1, runs the real
Fennick.exe under Wine against it, and tells what happened. scripts/demo has already installed the
packages, built the x86_64 kit and prepared the demo's own Wine prefix."""
import argparse
import os
import signal
import sys
import time
from contextlib import ExitStack

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import package  # noqa: E402
import servers  # noqa: E402
import wine_trust  # noqa: E402
import winsession  # noqa: E402

PACKAGE_NAME = "FennickSampleSetup.exe"
MIB = 1 << 20
KIB = 1 << 10


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        prog="scripts/demo",
        description="Download a sample setup package with the real Fennick.exe under Wine from a "
                    "local server, start it, and report what happened.")
    scheme = parser.add_mutually_exclusive_group()
    scheme.add_argument("--http", action="store_true", help="serve over HTTP (nginx) instead of FTP (vsftpd)")
    scheme.add_argument("--https", action="store_true",
                        help="serve over HTTPS (nginx) with a test CA trusted only inside the demo's Wine prefix")
    parser.add_argument("--slow", action="store_true", help="throttle the server so that the progress is easy to watch")
    parser.add_argument("--interrupt", action="store_true",
                        help="cut the transfer once at about 40%%, then run Fennick again and show it continue")
    parser.add_argument("--pin", action="store_true",
                        help="write the package's SHA-256 into Fennick.ini (Sha256=), so Fennick checks it before the start")
    parser.add_argument("--size-mib", type=int, default=16, help="size of the served package in MiB (default 16)")
    parser.add_argument("--rate-kib", type=int, default=None,
                        help="server rate limit in KiB/s, 0 = none (default 8192; --slow 512; --interrupt 2048)")
    parser.add_argument("--xvfb", action="store_true", help="use a private Xvfb even when DISPLAY is usable")
    args = parser.parse_args(argv)
    if args.size_mib < 1:
        parser.error("--size-mib must be at least 1")
    if args.rate_kib is None:
        args.rate_kib = 512 if args.slow else 2048 if args.interrupt else 8192
    return args


class Demo:
    def __init__(self, args):
        self.args = args
        self.root = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
        self.build_root = os.environ.get("FENNICK_BUILD_ROOT") or os.path.join(self.root, "build")
        self.build = os.path.join(self.build_root, "x86_64")
        self.kit = os.path.join(self.build, "kit")
        self.sample = os.path.join(self.build, "demo-bin", PACKAGE_NAME)
        self.work = os.path.join(self.build_root, "demo")
        self.prefix = os.environ.get("WINEPREFIX") or os.path.join(self.work, "wineprefix")
        self.scheme = "https" if args.https else "http" if args.http else "ftp"
        self.size = args.size_mib * MIB
        self.rate = args.rate_kib * KIB

    def say(self, text):
        print("demo: " + text, flush=True)

    def check_build(self):
        if not os.path.isfile(self.sample):
            raise SystemExit("demo: the sample package was not built (%s)" % self.sample)
        missing = package.missing_kit_files(self.kit)
        needed = {"Fennick.exe", "QXHttp.dll" if self.scheme != "ftp" else "QXFtp.dll"}
        if needed & set(missing):
            raise SystemExit("demo: the kit in %s lacks %s" % (self.kit, ", ".join(sorted(needed & set(missing)))))
        if missing:
            self.say("note: the kit lacks %s; Fennick runs without them" % ", ".join(missing))

    def start_server(self, stack, serve_dir):
        workdir = os.path.join(self.work, "server")
        if self.scheme == "ftp":
            server = servers.VsftpdServer(workdir, serve_dir, self.rate)
        else:
            tls = servers.TestCertificateAuthority(os.path.join(self.work, "tls")).create() if self.scheme == "https" else None
            server = servers.NginxServer(workdir, serve_dir, self.rate, tls=tls)
        stack.enter_context(server)
        return server

    def run_fennick(self, session, install, target, screenshot, cut_fraction, server):
        """One run of Fennick.exe; returns what was seen. Cuts the transfer once at cut_fraction."""
        partial = target + "_tmp"
        sent_before = len(server.bytes_sent())
        log = os.path.join(self.work, "fennick.log")
        process = session.launch([os.path.join(install, "Fennick.exe")], cwd=install, log_path=log,
                                 extra_env={"FENNICK_SAMPLE_SECONDS": "6"})
        expected_seconds = self.size / self.rate if self.rate else 5
        deadline = time.monotonic() + expected_seconds * 2 + 60
        run = {"shot": None, "cut_at": None, "timed_out": False}
        while process.poll() is None:
            if time.monotonic() > deadline:
                run["timed_out"] = True
                process.kill()
                break
            have = os.path.getsize(partial) if os.path.exists(partial) else 0
            if screenshot and run["shot"] is None and have >= 0.3 * self.size:
                window = session.program_window("Fennick.exe")
                if window and session.screenshot(screenshot, window):
                    run["shot"] = screenshot
            if cut_fraction and run["cut_at"] is None and have >= cut_fraction * self.size:
                if server.cut_transfers():
                    run["cut_at"] = have
            time.sleep(0.05)
        process.wait()
        run["exit"] = process.returncode
        # The server logs a transfer when its session has ended; give it a moment.
        winsession.wait_until(lambda: len(server.bytes_sent()) > sent_before or run["cut_at"] is not None, 3)
        run["partial"] = os.path.getsize(partial) if os.path.exists(partial) else 0
        # A cut session is never logged by the server: count what reached the partial file instead.
        run["sent"] = sum(server.bytes_sent()[sent_before:]) or (run["partial"] if run["cut_at"] else 0)
        run["retry_count"] = read_ini_value(target + "_tmp_sz", "RetryCount")
        return run

    def run(self):
        self.check_build()
        os.makedirs(self.work, exist_ok=True)
        serve_dir = os.path.join(self.work, "serve")
        os.makedirs(serve_dir, exist_ok=True)
        served = package.make_package(self.sample, os.path.join(serve_dir, PACKAGE_NAME), self.size)
        served_sha = package.sha256_of(served)
        with ExitStack() as stack:
            server = self.start_server(stack, serve_dir)
            session = winsession.WineSession(self.root, self.prefix, os.path.join(self.work, "session"),
                                             use_user_display=False if self.args.xvfb else None)
            stack.enter_context(session)
            self.say("display %s (%s), Wine prefix %s" % (
                session.display, "yours" if session.use_user_display else "private Xvfb", self.prefix))
            if self.scheme == "https":
                wine_trust.trust_in_prefix(session, server.tls.ca_der(), os.path.join(self.work, "regedit.log"))
                self.say("test CA trusted inside the demo's Wine prefix only")
            url = server.url(PACKAGE_NAME)
            self.say("serving %s (%s bytes) at %s%s" % (
                PACKAGE_NAME, format(self.size, ","), url,
                ", limited to %d KiB/s" % self.args.rate_kib if self.rate else ""))
            pin = served_sha.upper() if self.args.pin else None
            install = package.fresh_install_folder(self.kit, os.path.join(self.work, "install"), url, pin)
            if pin:
                self.say("Fennick.ini pins the package: Sha256=%s" % pin)
            download_dir = os.path.join(session.documents(), "Vantrel", "Fennick")
            target = os.path.join(download_dir, PACKAGE_NAME)
            marker = target + ".started"
            for leftover in (target, target + "_tmp", target + "_tmp_sz", marker):
                if os.path.exists(leftover):
                    os.remove(leftover)

            runs = []
            shot = os.path.join(self.work, "progress.png")
            for old in (shot, os.path.join(self.work, "package-started.png")):
                if os.path.exists(old):
                    os.remove(old)
            if self.args.interrupt:
                self.say("run 1: Fennick.exe, the transfer will be cut at about 40%")
                runs.append(self.run_fennick(session, install, target, shot, 0.4, server))
                # Fennick starts its error checker after a counted failure; its window shows that.
                runs[0]["checker"] = bool(winsession.wait_until(lambda: session.program_window("QXChkErr.exe"), 10))
                self.say("run 1 ended: %s bytes kept in the partial file, failure count %s, error checker %s" % (
                    format(runs[0]["partial"], ","), runs[0]["retry_count"],
                    "started" if runs[0]["checker"] else "not seen"))
                self.say("run 2: Fennick.exe again, it should continue the partial file")
                runs.append(self.run_fennick(session, install, target, None, None, server))
            else:
                self.say("running Fennick.exe from %s" % install)
                runs.append(self.run_fennick(session, install, target, shot, None, server))
            started = winsession.wait_until(lambda: os.path.exists(marker), 30)
            started_shot = os.path.join(self.work, "package-started.png")
            # The package writes its marker, then shows its box: photograph the box once it is up.
            box = started and winsession.wait_until(lambda: session.program_window(PACKAGE_NAME), 10)
            if not (box and session.screenshot(started_shot)):
                started_shot = None
            return self.report(session, runs, target, marker, served_sha, shot, started_shot, started)

    def report(self, session, runs, target, marker, served_sha, shot, started_shot, started):
        landed = os.path.isfile(target)
        landed_sha = package.sha256_of(target) if landed else None
        print("")
        print("Fennick demo over %s" % self.scheme.upper())
        for number, run in enumerate(runs, 1):
            if run["timed_out"]:
                print("  run %d            : did not end in time; stopped" % number)
        if self.args.interrupt and len(runs) == 2:
            first, second = runs
            print("  interrupted run  : cut after %s bytes; %s bytes kept; failure count %s; QXChkErr.exe %s" % (
                format(first["cut_at"] or 0, ","), format(first["partial"], ","), first["retry_count"],
                "started" if first.get("checker") else "not seen"))
            resumed_from = self.size - second["sent"] if second["sent"] else None
            continued = resumed_from is not None and 0 < resumed_from and resumed_from <= first["partial"]
            print("  next run         : fetched %s bytes more%s; failure count %s" % (
                format(second["sent"], ","),
                " (continued at byte %s)" % format(resumed_from, ",") if continued else " (started over)",
                second["retry_count"]))
        downloaded = sum(run["sent"] for run in runs)
        print("  bytes downloaded : %s (package size %s)" % (format(downloaded, ","), format(self.size, ",")))
        if landed:
            print("  package landed   : %s" % session.windows_path(target))
            print("                     %s" % target)
        else:
            print("  package landed   : no (expected at %s)" % target)
        print("  SHA-256 served   : %s" % served_sha)
        print("  SHA-256 landed   : %s%s" % (landed_sha or "-", " (match)" if landed_sha == served_sha else " (MISMATCH)"))
        print("  package started  : %s" % ("yes, marker %s" % marker if started else "no marker within 30 s"))
        shots = [p for p in (shot if os.path.exists(shot) else None, started_shot) if p]
        print("  screenshots      : %s" % (", ".join(shots) if shots else "none taken"))
        print("  logs             : %s" % self.work)
        ok = landed_sha == served_sha and started
        print("demo: %s" % ("OK" if ok else "FAILED"))
        return 0 if ok else 1


def read_ini_value(path, key):
    """A key of the state file, as text ("-" when absent); plain parsing, no Windows needed.
    Windows keeps such a file in UTF-16 when it starts with a byte-order mark, else in 8 bits."""
    try:
        with open(path, "rb") as ini:
            raw = ini.read()
    except OSError:
        return "-"
    text = raw.decode("utf-16", errors="replace") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") \
        else raw.decode("utf-8", errors="replace")
    for line in text.splitlines():
        name, sep, value = line.strip().partition("=")
        if sep and name.strip().lower() == key.lower():
            return value.strip()
    return "-"


def stop_on_signal(*_):
    raise KeyboardInterrupt()


def main(argv):
    args = parse_arguments(argv)
    # A terminal's Ctrl-C or a kill still runs the cleanup of every server and Wine process.
    signal.signal(signal.SIGTERM, stop_on_signal)
    try:
        return Demo(args).run()
    except KeyboardInterrupt:
        print("demo: stopped", file=sys.stderr)
        return 130


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
