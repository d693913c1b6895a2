"""A Wine session for the demo and the benchmarks: a display (the user's, or Xvfb), a persistent
wineserver for one prefix, Windows programs started in it, and screenshots of Wine's desktop.

Everything is started through scripts/wine-session, which stops exactly what it started: the Xvfb
by its PID and the wineserver of this prefix only."""
import glob
import os
import subprocess
import time

WINE = "/usr/lib/wine/wine64"


def display_usable(display):
    if not display:
        return False
    try:
        return subprocess.run(["xdpyinfo", "-display", display], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=10).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        return False


class WineSession:
    def __init__(self, root, prefix, state_dir, use_user_display=None):
        self.root = root
        self.prefix = prefix
        self.state_dir = state_dir
        if use_user_display is None:
            use_user_display = display_usable(os.environ.get("DISPLAY"))
        self.use_user_display = use_user_display
        self.display = None
        self.started = False
        os.makedirs(state_dir, exist_ok=True)

    def environment(self, extra=None):
        env = dict(os.environ)
        env["WINEPREFIX"] = self.prefix
        env.setdefault("WINEDEBUG", "-all")
        env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d")
        if self.display:
            env["DISPLAY"] = self.display
        if extra:
            env.update(extra)
        return env

    def start(self):
        env = self.environment()
        if self.use_user_display:
            env["FENNICK_USE_DISPLAY"] = "1"
        else:
            env.pop("FENNICK_USE_DISPLAY", None)
        # Output goes through a file: the session's background processes must not hold our pipe.
        out_path = os.path.join(self.state_dir, "wine-session-start.out")
        with open(out_path, "w") as out:
            self.started = True
            subprocess.run([os.path.join(self.root, "scripts", "wine-session"), "start", self.state_dir],
                           env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT, check=True)
        with open(out_path) as out:
            for line in out:
                if line.startswith("export DISPLAY="):
                    self.display = line.strip().split("=", 1)[1]
        if not self.display:
            raise RuntimeError("wine-session gave no display; see " + out_path)
        return self

    def stop(self):
        if not self.started:
            return
        self.started = False
        env = self.environment()
        subprocess.run([os.path.join(self.root, "scripts", "wine-session"), "stop", self.state_dir], env=env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def launch(self, argv, cwd, log_path, extra_env=None):
        """Starts a Windows program; its output goes to log_path (never a pipe, see above)."""
        log = open(log_path, "ab")
        try:
            return subprocess.Popen([WINE] + list(argv), cwd=cwd, env=self.environment(extra_env),
                                    stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        finally:
            log.close()

    def user_folder(self):
        users = [p for p in glob.glob(os.path.join(self.prefix, "drive_c", "users", "*"))
                 if os.path.basename(p) != "Public" and os.path.isdir(p)]
        if not users:
            raise RuntimeError("no user folder in the Wine prefix " + self.prefix)
        return users[0]

    def documents(self):
        return os.path.join(self.user_folder(), "Documents")

    def windows_path(self, path):
        """C:\\... for a path inside the prefix's drive_c, Z:\\... for any other path."""
        path = os.path.abspath(path)
        drive_c = os.path.join(os.path.abspath(self.prefix), "drive_c")
        if path == drive_c or path.startswith(drive_c + os.sep):
            return "C:" + (path[len(drive_c):] or "\\").replace("/", "\\")
        return "Z:" + path.replace("/", "\\")

    def _window_tree(self):
        try:
            return subprocess.run(["xwininfo", "-root", "-tree", "-display", self.display], timeout=10,
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout
        except (OSError, subprocess.TimeoutExpired):
            return ""

    def desktop_window(self):
        """X window id of Wine's virtual desktop, or None."""
        for line in self._window_tree().splitlines():
            if "Wine desktop" in line:
                return line.split()[0]
        return None

    def program_window(self, exe_name):
        """X window id of a visible top-level window of a Windows program (by its .exe name), or None.
        Wine gives each such window an X window named by its caption and classed by the program."""
        wanted = '("%s" ' % exe_name.lower()
        for line in self._window_tree().splitlines():
            if wanted in line.lower() and '"Default IME"' not in line and "has no name" not in line:
                return line.split()[0]
        return None

    def screenshot(self, out_path, window=None):
        """Saves a window (default: Wine's desktop, else the whole screen) as PNG; True when written."""
        window = window or self.desktop_window() or "root"
        try:
            result = subprocess.run(["import", "-display", self.display, "-window", window, out_path], timeout=30,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except (OSError, subprocess.TimeoutExpired):
            return False
        return result.returncode == 0 and os.path.exists(out_path)


def wait_until(predicate, timeout, interval=0.1):
    """Polls predicate until it is true or the deadline passes; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)
