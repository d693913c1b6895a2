"""Fennick benchmarks: prints one table and writes it to bench/RESULTS.md. Run through bench/run,
which builds the x86_64 kit and prepares the bench's own Wine prefix first.

Throughput figures are wall-clock times of whole processes (Wine's process start included, about
0.2 s with the persistent wineserver), repeated in interleaved rounds; the table shows medians."""
import argparse
import datetime
import os
import platform
import random
import shlex
import shutil
import statistics
import subprocess
import sys
import time
import zipfile
from contextlib import ExitStack

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "scripts", "demo.d"))
import package  # noqa: E402
import servers  # noqa: E402
import winsession  # noqa: E402
from cut_ftp import CutFtpServer  # noqa: E402

MIB = 1 << 20
GIB = 1 << 30
FILE = "BenchSetup.exe"


def parse_arguments(argv):
    parser = argparse.ArgumentParser(prog="bench/run", description="Fennick benchmarks (prints a table).")
    parser.add_argument("--size-mib", type=int, default=1024, help="file for the throughput runs (default 1024)")
    parser.add_argument("--big-mib", type=int, default=4096, help="larger file for the memory run (default 4096)")
    parser.add_argument("--repeats", type=int, default=3, help="interleaved rounds (default 3)")
    parser.add_argument("--interrupts", type=int, default=10, help="random interruption points (default 10)")
    parser.add_argument("--quick", action="store_true",
                        help="a small trial: 64 MiB, 256 MiB for memory, 1 round, 3 interruptions")
    parser.add_argument("--no-results-file", action="store_true", help="print only; leave bench/RESULTS.md alone")
    parser.add_argument("--disk", action="store_true",
                        help="write the downloads to the build folder's disk instead of tmpfs (/dev/shm)")
    args = parser.parse_args(argv)
    if args.quick:
        args.size_mib, args.big_mib, args.repeats, args.interrupts = 64, 256, 1, 3
    return args


class Bench:
    def __init__(self, args):
        self.args = args
        self.build_root = os.environ.get("FENNICK_BUILD_ROOT") or os.path.join(ROOT, "build")
        self.build = os.path.join(self.build_root, "x86_64")
        self.kit = os.path.join(self.build, "kit")
        self.harness = os.path.join(self.build, "bench-bin")
        self.work = os.path.join(self.build_root, "bench")
        self.prefix = os.environ.get("WINEPREFIX") or os.path.join(self.work, "wineprefix")
        # Downloads land on tmpfs: on this VM's disk the first run after a deletion takes up to three
        # times as long as the next, whichever program it is, which would decide every comparison.
        # The served files live there too: this VM pages out cold page cache on its own (DAMON), and
        # tmpfs has no swap to page out to, so no run has to read them in again.
        self.ram = None if args.disk or not os.path.isdir("/dev/shm") else "/dev/shm/fennick-bench"
        if self.ram:
            # What an interrupted run left there takes memory the runs need: with 5 GiB of such
            # leftovers the 4 GiB runs took twice as long, whichever program ran.
            shutil.rmtree(self.ram, ignore_errors=True)
        self.serve = os.path.join(self.ram or self.work, "serve")
        self.out = os.path.join(self.ram or self.work, "out")
        self.logs = os.path.join(self.work, "logs")
        for folder in (self.serve, self.out, self.logs):
            os.makedirs(folder, exist_ok=True)
        self.size = args.size_mib * MIB
        self.times = {}     # label -> [seconds]
        self.spans = {}     # label -> [(seconds to the first byte, seconds from it to the last)]
        self.notes = []
        self.session = None
        self.install = None

    # ---- helpers -------------------------------------------------------------------------------

    def log(self, text):
        print("bench: " + text, file=sys.stderr, flush=True)

    def run_wine(self, argv, label, cwd=None, extra_env=None, timeout=1800, watch=None):
        """Runs a Windows program; returns (seconds, exit code, output, peak RSS in KiB). With
        watch=(paths, size), also records under the label when the first byte and the last one
        reached any of the paths (see spans)."""
        log_path = os.path.join(self.logs, label + ".log")
        if os.path.exists(log_path):
            os.remove(log_path)
        self.settle()
        started = time.monotonic()
        process = self.session.launch(argv, cwd=cwd or self.out, log_path=log_path, extra_env=extra_env)
        deadline = started + timeout
        first = full = None
        while True:
            pid, status, usage = os.wait4(process.pid, os.WNOHANG)
            if pid:
                break
            if time.monotonic() > deadline:
                process.kill()
                pid, status, usage = os.wait4(process.pid, 0)
                break
            if watch and full is None:
                sizes = [os.path.getsize(p) for p in watch[0] if os.path.exists(p)]
                now = time.monotonic() - started
                if first is None and any(sizes):
                    first = now
                if any(s >= watch[1] for s in sizes):
                    full = now
            time.sleep(0.005 if watch else 0.02)
        seconds = time.monotonic() - started
        if watch and first is not None and full is not None:
            self.spans.setdefault(label, []).append((first, full - first))
        process.returncode = os.waitstatus_to_exitcode(status)
        with open(log_path, errors="replace") as log:
            output = log.read()
        return seconds, process.returncode, output, usage.ru_maxrss

    def settle(self):
        """Writes the earlier runs' data out before a run starts, so that no run pays for the gigabytes
        the one before it left in the page cache (that made the first FTP run of a round up to three
        times slower than the same run on its own)."""
        os.sync()

    def run_native(self, argv, label):
        log_path = os.path.join(self.logs, label + ".log")
        self.settle()
        started = time.monotonic()
        with open(log_path, "wb") as log:
            rc = subprocess.run(argv, stdout=log, stderr=log, stdin=subprocess.DEVNULL).returncode
        return time.monotonic() - started, rc

    def record(self, label, seconds, ok, detail=""):
        if not ok:
            self.notes.append("%s failed once (%s)" % (label, detail))
            return
        self.times.setdefault(label, []).append(seconds)

    def clear_out(self):
        for name in os.listdir(self.out):
            os.remove(os.path.join(self.out, name))

    def place_download_folder(self):
        """Points the installer's Documents\\Vantrel at tmpfs too, so that the whole runs and the
        library alone write to the same kind of storage."""
        vantrel = os.path.join(self.session.documents(), "Vantrel")
        if os.path.islink(vantrel):
            os.remove(vantrel)
        elif os.path.isdir(vantrel):
            shutil.rmtree(vantrel)
        if self.ram:
            os.makedirs(os.path.join(self.ram, "Vantrel"), exist_ok=True)
            os.symlink(os.path.join(self.ram, "Vantrel"), vantrel)

    def keep_desktop_running(self, stack):
        """Windows always runs its desktop shell. Under Wine the first windowed program starts one
        and waits for it (about 0.2 s), and it ends again soon after the last window closes, so
        every whole run seconds apart would pay for it; the library's console harness never does.
        One is kept running for the whole bench instead."""
        desktop = self.session.launch(["explorer.exe", "/desktop"], cwd=self.work,
                                      log_path=os.path.join(self.logs, "desktop.log"))

        def stop():
            if desktop.poll() is not None:
                self.notes.append("the kept desktop process ended during the bench (exit %s)" % desktop.returncode)
                return
            desktop.kill()
            desktop.wait()
        stack.callback(stop)

    def storage(self):
        return "tmpfs (%s)" % self.ram if self.ram else "the disk of the build folder"

    def download_folder(self):
        return os.path.join(self.session.documents(), "Vantrel", "Fennick")

    def clear_download(self, name):
        target = os.path.join(self.download_folder(), name)
        for path in (target, target + "_tmp", target + "_tmp_sz", target + ".started"):
            if os.path.exists(path):
                os.remove(path)
        return target

    def fennick_install(self, url):
        package.write_fennick_ini(self.install, url)

    def win(self, path):
        return self.session.windows_path(path)

    # ---- measurements ----------------------------------------------------------------------------

    def throughput_round(self, ftp, http, library_first=True):
        """One run of each transfer. The FTP library alone and the whole Fennick.exe run go first,
        next to each other and in alternating order: their difference is a goal, and a run half a
        minute and several gigabytes later in the round was slower than the same run
        next to its pair (about 0.2 s more at 1 GiB)."""
        out_file = os.path.join(self.out, FILE)
        pair = [
            ("ftp_qxftp", lambda: self.qxftp_get(ftp, FILE, out_file, "ftp_qxftp", self.size)),
            ("fennick_ftp", lambda: self.fennick_run(ftp.url(FILE), "fennick_ftp")),
        ]
        checks = (pair if library_first else pair[::-1]) + [
            ("ftp_curl", lambda: self.run_native(["curl", "-sS", "-o", out_file, ftp.url(FILE)], "ftp_curl")),
            ("http_qxhttp", lambda: self.run_wine([os.path.join(self.harness, "qxhttp_get.exe"), self.win(self.kit),
                                                   http.url(FILE), self.win(out_file)], "http_qxhttp")),
            ("http_winhttp", lambda: self.run_wine([os.path.join(self.harness, "winhttp_get.exe"), http.url(FILE),
                                                    self.win(out_file)], "http_winhttp")),
            ("http_curl", lambda: self.run_native(["curl", "-sS", "-o", out_file, http.url(FILE)], "http_curl")),
            ("sha256", lambda: self.run_wine([os.path.join(self.harness, "sha256_file.exe"),
                                              self.win(os.path.join(self.serve, FILE))], "sha256")),
            ("fennick_http", lambda: self.fennick_run(http.url(FILE), "fennick_http")),
        ]
        for label, run in checks:
            self.clear_out()
            result = run()
            seconds, rc = result[0], result[1]
            produced = [os.path.getsize(os.path.join(self.out, n)) for n in os.listdir(self.out)]
            if label.startswith("fennick"):
                ok = rc == 0 and result[2]
            elif label == "sha256":
                ok = rc == 0
            else:
                ok = rc == 0 and self.size in produced
            self.record(label, seconds, ok, "exit %s" % rc)
            self.log("%-13s %6.2f s%s" % (label, seconds, "" if ok else "  FAILED"))
        self.clear_out()

    def qxftp_get(self, ftp, name, out_file, label, size):
        """QXFtp.dll alone, through the harness: (seconds, exit code, output, peak RSS KiB)."""
        return self.run_wine([os.path.join(self.harness, "qxftp_get.exe"), self.win(self.kit), "127.0.0.1",
                              str(ftp.port), "/" + name, self.win(out_file)], label, watch=([out_file], size))

    def big_round(self, ftp, big_name, big_size, library_first=True):
        """The library alone and a whole Fennick.exe run on the larger (sparse) file: the gap
        between them must not grow with the bytes. At 4 GiB the first run of a round was up to twice
        as slow as the next, whichever program it was, and making room in memory first did not
        change that: an uncounted run goes first, and the order alternates."""
        def library(label="ftp_qxftp_big"):
            out_file = os.path.join(self.out, big_name)
            self.clear_out()
            seconds, rc, _, _ = self.qxftp_get(ftp, big_name, out_file, label, big_size)
            ok = rc == 0 and os.path.isfile(out_file) and os.path.getsize(out_file) == big_size
            self.clear_out()
            return label, seconds, ok, rc

        def whole():
            seconds, rc, complete, _ = self.fennick_run(ftp.url(big_name), "fennick_ftp_big", big_size, big_name)
            return "fennick_ftp_big", seconds, rc == 0 and complete, rc

        library("ftp_qxftp_big_uncounted")  # not counted: it pays for what the first 4 GiB run of a round pays for
        for run in (library, whole) if library_first else (whole, library):
            label, seconds, ok, rc = run()
            self.record(label, seconds, ok, "exit %s" % rc)
            self.log("%-13s %6.2f s%s" % (label, seconds, "" if ok else "  FAILED"))

    def fennick_run(self, url, label, size=None, name=FILE):
        """One whole Fennick.exe run; (seconds, exit, complete?, peak RSS KiB)."""
        target = self.clear_download(name)
        self.fennick_install(url)
        seconds, rc, _, peak = self.run_wine([os.path.join(self.install, "Fennick.exe")], label, cwd=self.install,
                                             extra_env={"FENNICK_SAMPLE_QUIET": "1"},
                                             watch=([target + "_tmp", target], size or self.size))
        complete = os.path.isfile(target) and os.path.getsize(target) == (size or self.size)
        self.clear_download(name)
        return seconds, rc, complete, peak

    def memory(self, ftp, http, big_name, big_size):
        rows = []
        for label, size, name in (("1 file", self.size, FILE), ("big file", big_size, big_name)):
            for scheme, server in (("ftp", ftp), ("http", http)):
                target = self.clear_download(name)
                self.fennick_install(server.url(name))
                seconds, rc, _, peak = self.run_wine([os.path.join(self.install, "Fennick.exe")],
                                                     "memory_%s_%d" % (scheme, size), cwd=self.install,
                                                     extra_env={"FENNICK_SAMPLE_QUIET": "1"})
                complete = os.path.isfile(target) and os.path.getsize(target) == size
                self.clear_download(name)
                rows.append((scheme, size, peak, complete))
                self.log("memory %-4s %5d MiB: peak %d KiB%s" % (scheme, size // MIB, peak, "" if complete else " INCOMPLETE"))
        return rows

    def interruptions(self, size):
        """Cuts a Fennick FTP download at random byte offsets; the next run's restart offset tells
        how many of the bytes received before the cut are fetched again."""
        name = "BenchResume.exe"
        package.make_package(os.path.join(self.build, "demo-bin", "FennickSampleSetup.exe"),
                             os.path.join(self.serve, name), size)
        rows = []
        generator = random.Random(20261206)
        with CutFtpServer(self.serve, servers.free_port()) as cut:
            for index in range(self.args.interrupts):
                point = generator.randrange(1, size)
                self.clear_download(name)
                self.fennick_install(cut.url(name))
                cut.cut_next_transfer_at(point)
                first = len(cut.transfers)
                self.run_wine([os.path.join(self.install, "Fennick.exe")], "interrupt_%d_a" % index, cwd=self.install,
                              extra_env={"FENNICK_SAMPLE_QUIET": "1"})
                self.run_wine([os.path.join(self.install, "Fennick.exe")], "interrupt_%d_b" % index, cwd=self.install,
                              extra_env={"FENNICK_SAMPLE_QUIET": "1"})
                target = os.path.join(self.download_folder(), name)
                complete = os.path.isfile(target) and os.path.getsize(target) == size
                runs = cut.transfers[first:]
                received = sum(t["sent"] for t in runs[:1])  # all of it reached the client: the server closed cleanly
                resumed_at = runs[1]["rest"] if len(runs) > 1 else None
                refetched = None if resumed_at is None else max(0, runs[0]["rest"] + received - resumed_at)
                rows.append((point, resumed_at, refetched, complete))
                self.log("interrupt at %d: resumed at %s, fetched again %s%s" % (
                    point, resumed_at, refetched, "" if complete else ", INCOMPLETE"))
                self.clear_download(name)
        os.remove(os.path.join(self.serve, name))
        return rows

    def sizes(self):
        """(name, bytes in the build's kit, bytes in the vendor's zip) for each shipped file."""
        shipped = {}
        log = os.path.join(self.logs, "package.log")
        with open(log, "wb") as out:
            built = subprocess.run(["cmake", "--build", self.build, "--target", "package"], stdout=out,
                                   stderr=out, stdin=subprocess.DEVNULL).returncode == 0
        zips = [n for n in os.listdir(os.path.join(self.build, "package")) if n.endswith(".zip")] if built else []
        if zips:
            with zipfile.ZipFile(os.path.join(self.build, "package", sorted(zips)[-1])) as archive:
                for info in archive.infolist():
                    shipped[info.filename.split("/")[-1]] = info.file_size
        else:
            self.notes.append("the package step failed; see " + log)
        rows = []
        for name in package.KIT_FILES:
            path = os.path.join(self.kit, name)
            rows.append((name, os.path.getsize(path) if os.path.isfile(path) else None, shipped.get(name)))
        return rows

    # ---- the run ---------------------------------------------------------------------------------

    def run(self):
        missing = package.missing_kit_files(self.kit)
        if missing:
            raise SystemExit("bench: the kit in %s lacks %s" % (self.kit, ", ".join(missing)))
        sample = os.path.join(self.build, "demo-bin", "FennickSampleSetup.exe")
        self.log("making %d MiB and a sparse %d MiB file" % (self.args.size_mib, self.args.big_mib))
        package.make_package(sample, os.path.join(self.serve, FILE), self.size)
        big_name = "BenchBig.exe"
        big_size = self.args.big_mib * MIB
        big_path = os.path.join(self.serve, big_name)
        shutil.copyfile(sample, big_path)
        os.truncate(big_path, big_size)  # sparse: zeros after the program cost no disk
        os.chmod(big_path, 0o644)
        self.install = package.fresh_install_folder(self.kit, os.path.join(self.work, "install"), "ftp://127.0.0.1/")
        # A failed run (every first run of the interruptions) starts the error checker, and without
        # one it shows its error message and waits for a user. The bench measures downloads only:
        # the sample setup stands in, and ends at once in the quiet mode the runs pass on.
        shutil.copyfile(sample, os.path.join(self.install, "QXChkErr.exe"))

        # Read once before any run: otherwise whichever program comes first pays for filling the
        # page cache (4 GiB of holes for the sparse file), and the comparisons measure that. By
        # another process: a run's peak memory is read from wait4, and a child starts as a copy of
        # this process, so this one must not grow.
        subprocess.run(["cat", os.path.join(self.serve, FILE), big_path], stdout=subprocess.DEVNULL, check=True)
        with ExitStack() as stack:
            ftp = stack.enter_context(servers.VsftpdServer(os.path.join(self.work, "ftp"), self.serve))
            http = stack.enter_context(servers.NginxServer(os.path.join(self.work, "http"), self.serve))
            self.session = stack.enter_context(winsession.WineSession(
                ROOT, self.prefix, os.path.join(self.work, "session"), use_user_display=False))
            self.place_download_folder()
            self.keep_desktop_running(stack)
            for round_number in range(self.args.repeats):
                self.log("throughput round %d of %d" % (round_number + 1, self.args.repeats))
                self.throughput_round(ftp, http, library_first=round_number % 2 == 0)
                self.big_round(ftp, big_name, big_size, library_first=round_number % 2 == 0)
            memory_rows = self.memory(ftp, http, big_name, big_size)
            interrupt_rows = self.interruptions(min(self.size, 256 * MIB))
        os.remove(big_path)
        if self.ram:
            shutil.rmtree(self.ram, ignore_errors=True)
        return self.table(memory_rows, interrupt_rows, self.sizes())

    def span_medians(self, label):
        """(median seconds to the first byte, median seconds of the transfer) of a label's runs."""
        spans = self.spans.get(label)
        if not spans:
            return None
        return statistics.median(s[0] for s in spans), statistics.median(s[1] for s in spans)

    def median(self, label):
        values = self.times.get(label)
        return statistics.median(values) if values else None

    def goals(self, memory_rows, interrupt_rows, size_rows):
        """The goals the kit is held to: (measure, value, target, met?)."""
        def median_pair(a, b):
            x, y = self.median(a), self.median(b)
            return (None, None) if x is None or y is None else (x, y)

        def yes(flag):
            return "-" if flag is None else ("yes" if flag else "no")

        rows = []
        x, y = median_pair("ftp_qxftp", "ftp_curl")
        rows.append(("FTP: QXFtp.dll alone vs native curl, %d MiB" % self.args.size_mib,
                     "-" if x is None else "%.3fx (%.3f s vs %.3f s)" % (x / y, x, y), "<= 1.0x",
                     yes(None if x is None else x / y <= 1.0)))
        for whole, alone, size in (("fennick_ftp", "ftp_qxftp", self.args.size_mib),
                                   ("fennick_ftp_big", "ftp_qxftp_big", self.args.big_mib)):
            x, y = median_pair(whole, alone)
            rows.append(("FTP: whole Fennick.exe run vs QXFtp.dll alone, %d MiB%s" % (
                size, " (sparse)" if size == self.args.big_mib else ""),
                "-" if x is None else "%+.2f s (%.2f s vs %.2f s)" % (x - y, x, y), "<= +0.6 s",
                yes(None if x is None else x - y <= 0.6)))
            whole_spans, alone_spans = self.span_medians(whole), self.span_medians(alone)
            if whole_spans and alone_spans:
                rows.append(("  of which before the first byte / during the transfer",
                             "%+.2f s / %+.2f s" % (whole_spans[0] - alone_spans[0], whole_spans[1] - alone_spans[1]),
                             "(information)", ""))
        fennick = next((row[2] for row in size_rows if row[0] == "Fennick.exe"), None)
        programs = [row[2] for row in size_rows if row[0].lower().endswith((".exe", ".dll"))]
        rows.append(("Fennick.exe as shipped (stripped)", "-" if not fennick else "%.0f KiB" % (fennick / 1024.0),
                     "<= 160 KiB", yes(None if not fennick else fennick <= 160 * 1024)))
        complete = all(programs) and len(programs) == 5
        total = sum(programs) if complete else 0
        rows.append(("the five programs of the kit as shipped", "-" if not complete else "%.0f KiB" % (total / 1024.0),
                     "<= 768 KiB", yes(None if not complete else total <= 768 * 1024)))
        x, y = median_pair("http_qxhttp", "http_winhttp")
        rows.append(("HTTP: QXHttp.dll alone vs a bare WinHTTP loop", "-" if x is None else "%.2fx" % (x / y),
                     "<= 1.05x", yes(None if x is None else x / y <= 1.05)))
        peaks = {}
        for scheme, _, peak, _ in memory_rows:
            peaks.setdefault(scheme, []).append(peak)
        growth = [abs(v[1] - v[0]) / 1024.0 for v in peaks.values() if len(v) == 2]
        rows.append(("peak memory growth from %d MiB to %d MiB (FTP, HTTP)" % (self.args.size_mib, self.args.big_mib),
                     " / ".join("%+.1f MiB" % g for g in growth) or "-", "<= 16 MiB",
                     yes(None if not growth else max(growth) <= 16)))
        refetched = [r[2] for r in interrupt_rows]
        known = [r for r in refetched if r is not None]
        rows.append(("bytes fetched again after an interruption (worst of %d)" % len(interrupt_rows),
                     "-" if not known else format(max(known), ","), "<= 1 MiB",
                     yes(None if not refetched else len(known) == len(refetched) and max(known) <= MIB)))
        return rows

    def table(self, memory_rows, interrupt_rows, size_rows):
        lines = []
        add = lines.append
        add("### Goals")
        add("")
        add("| measure | now | goal | met |")
        add("|---|---|---|---|")
        for row in self.goals(memory_rows, interrupt_rows, size_rows):
            add("| %s | %s | %s | %s |" % row)
        add("")

        def rate(label):
            seconds = self.median(label)
            return "-" if seconds is None else "%.2f s, %.0f MiB/s" % (seconds, self.size / MIB / seconds)

        def ratio(a, b, target):
            x, y = self.median(a), self.median(b)
            if x is None or y is None:
                return "-", "-"
            value = x / y
            return "%.2f" % value, "yes" if value <= target else "no"

        add("### Throughput, %d MiB from 127.0.0.1 (median of %d interleaved rounds; whole processes)" % (
            self.args.size_mib, self.args.repeats))
        add("")
        add("| transfer | time | time ratio | target | met |")
        add("|---|---|---|---|---|")
        r, _ = ratio("ftp_qxftp", "ftp_curl", 99)
        add("| FTP, QXFtp.dll (harness under Wine) | %s | %s of curl | (see the goals) | |" % (rate("ftp_qxftp"), r))
        add("| FTP, native curl | %s | | | |" % rate("ftp_curl"))
        r, met = ratio("http_qxhttp", "http_winhttp", 1.05)
        add("| HTTP, QXHttp.dll (harness under Wine) | %s | %s of bare WinHTTP | <= 1.05 | %s |" % (rate("http_qxhttp"), r, met))
        add("| HTTP, bare WinHTTP loop under Wine | %s | | | |" % rate("http_winhttp"))
        r, _ = ratio("http_qxhttp", "http_curl", 99)
        add("| HTTP, native curl | %s | QXHttp.dll takes %s of curl's time | (information) | |" % (rate("http_curl"), r))
        r, _ = ratio("sha256", "ftp_qxftp", 99)
        add("| SHA-256 check of the package before its start (harness under Wine) | %s | %s of the QXFtp.dll download | (information) | |" % (rate("sha256"), r))
        r, _ = ratio("fennick_ftp", "ftp_qxftp", 99)
        add("| FTP, whole Fennick.exe run | %s | %s of QXFtp.dll alone | (see the goals) | |" % (rate("fennick_ftp"), r))
        r, _ = ratio("fennick_http", "http_qxhttp", 99)
        add("| HTTP, whole Fennick.exe run | %s | %s of QXHttp.dll alone | (information) | |" % (rate("fennick_http"), r))
        add("")
        add("### Peak memory of the Fennick.exe Wine process (peak RSS, Wine's own libraries included)")
        add("")
        add("| scheme | file | peak RSS | complete |")
        add("|---|---|---|---|")
        peaks = {}
        for scheme, size, peak, complete in memory_rows:
            peaks.setdefault(scheme, []).append(peak)
            add("| %s | %d MiB%s | %.1f MiB | %s |" % (scheme.upper(), size // MIB, " (sparse)" if size != self.size else "",
                                                     peak / 1024.0, "yes" if complete else "no"))
        for scheme, values in peaks.items():
            if len(values) == 2:
                add("| %s | growth from the smaller to the larger file | %+.1f MiB | target: flat, <= 16 MiB: %s |" % (
                    scheme.upper(), (values[1] - values[0]) / 1024.0, "met" if abs(values[1] - values[0]) <= 16 * 1024 else "not met"))
        add("")
        add("### Bytes fetched again after an interruption (FTP, Fennick.exe, %d random points)" % len(interrupt_rows))
        add("")
        add("| cut at byte | next run continued at | fetched again | target <= 1 MiB | complete |")
        add("|---|---|---|---|---|")
        for point, resumed_at, refetched, complete in interrupt_rows:
            add("| %s | %s | %s | %s | %s |" % (format(point, ","), "-" if resumed_at is None else format(resumed_at, ","),
                                                "-" if refetched is None else format(refetched, ","),
                                                "yes" if refetched is not None and refetched <= MIB else "no",
                                                "yes" if complete else "no"))
        add("")
        add("### Sizes of the kit (x86_64): as built, and as shipped in the zip (stripped)")
        add("")
        add("| file | built bytes | shipped bytes |")
        add("|---|---|---|")
        number = lambda value: "-" if value is None else format(value, ",")
        for name, built, shipped in size_rows:
            add("| %s | %s | %s |" % (name, number(built), number(shipped)))
        total = sum(row[2] or 0 for row in size_rows)
        add("| whole kit | %s | %s |" % (number(sum(row[1] or 0 for row in size_rows)), number(total)))
        if self.notes:
            add("")
            add("Failed runs (left out of the medians): " + "; ".join(self.notes))
        return "\n".join(lines)


def machine_description():
    cpu = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as info:
            for line in info:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    memory = ""
    try:
        with open("/proc/meminfo") as info:
            memory = ", %.0f GiB memory" % (int(info.readline().split()[1]) / 1024.0 / 1024.0)
    except (OSError, ValueError, IndexError):
        pass
    wine = subprocess.run([winsession.WINE, "--version"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          text=True).stdout.strip()
    return "%s, %d cores%s; %s %s; %s" % (cpu, os.cpu_count() or 0, memory, platform.system(), platform.release(), wine)


def main(argv):
    args = parse_arguments(argv)
    command = "bench/run" + ("" if not argv else " " + " ".join(shlex.quote(a) for a in argv))
    if os.environ.get("FENNICK_BUILD_ROOT_GIVEN"):
        command = "FENNICK_BUILD_ROOT=%s %s" % (shlex.quote(os.environ["FENNICK_BUILD_ROOT_GIVEN"]), command)
    bench = Bench(args)
    table = bench.run()
    stamp = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    header = ("Date: %s  \nMachine: %s  \nCommand: `%s`  \nServed files and downloads on: %s  \n"
              "Wine's desktop process: kept running, as Windows keeps its shell\n") % (
        stamp, machine_description(), command, bench.storage())
    print(header)
    print(table)
    if not args.no_results_file:
        results = os.path.join(HERE, "RESULTS.md")
        with open(results, "w") as out:
            out.write("# Fennick benchmark results\n\n" + header + "\n" + table + "\n")
        print("\nbench: written to %s (add the closing note on targets by hand)" % results)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
