"""Runs the Windows program under Wine on a private X display and works it as a
person would, reading it back through Win32.

A Display is one private X server (Xvfb). A WineRun is one run of the program
in a fresh copy of the prepared Wine prefix, with the driver (driver.cpp)
beside it in the same prefix, so that both talk to one wineserver and the
driver sees the window. Keys and clicks go in through the X server (xdotool,
XTEST) into Wine's virtual desktop; what the window shows comes back from the
driver as JSON. Every wait is a poll with a deadline. Everything started here
is stopped by PID, and each prefix's wineserver is killed, however a run ends.
"""

import contextlib
import json
import os
import re
import select
import shutil
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
# The Linux suite's process keeping and polling serve here as they are.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(HERE)), "blackbox"))

from harness import Processes, ScenarioFailure, SetupError, install_cleanup, poll, run_under_cups  # noqa: E402,F401

COPY_PREFIX = os.path.join(os.path.dirname(HERE), "copy-wine-prefix")
# The size make-wine-prefix gives Wine's virtual desktop.
DESKTOP_SIZE = "1024x768"
WINE_ENV = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}


# --------------------------------------------------------------------------
# The X display


class Display:
    """A private X server of our own, on a display number nobody uses; or,
    given its name, one a parent runner made, which it keeps."""

    def __init__(self, processes, workdir, name=None):
        self.processes = processes
        self.server = None
        if name:
            self.name = name
            return
        read_end, write_end = os.pipe()
        try:
            # -displayfd: the server picks a free number and writes it once it
            # accepts connections, so there is nothing to wait for but that line.
            self.server = processes.start(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                 "-nolisten", "tcp", "-noreset"],
                pass_fds=[write_end], stdout=subprocess.DEVNULL,
                stderr=open(os.path.join(workdir, "xvfb.log"), "w"))
            os.close(write_end)
            write_end = None
            number = LineReader(read_end, "Xvfb").line(15)
        finally:
            os.close(read_end)
            if write_end is not None:
                os.close(write_end)
        self.name = ":" + number

    def xdotool(self, *args, timeout=30):
        return subprocess.run(["xdotool", *map(str, args)], env={"DISPLAY": self.name, "PATH": os.environ["PATH"]},
                              capture_output=True, text=True, timeout=timeout)

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], env={"DISPLAY": self.name, "PATH": os.environ["PATH"]},
                       capture_output=True, timeout=30, check=True)


class LineReader:
    """Lines from a pipe, each awaited with a deadline."""

    def __init__(self, fd, what):
        self.fd = fd
        self.what = what
        self.pending = b""

    def line(self, timeout):
        deadline = time.monotonic() + timeout
        while b"\n" not in self.pending:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.fd], [], [], left)[0]:
                raise SetupError(f"{self.what} did not answer within {timeout} s")
            chunk = os.read(self.fd, 65536)
            if not chunk:
                raise SetupError(f"{self.what} ended before answering")
            self.pending += chunk
        line, self.pending = self.pending.split(b"\n", 1)
        return line.decode("utf-8").strip()


# --------------------------------------------------------------------------
# Prefixes


_live_prefixes = set()
_live_lock = threading.Lock()


def copy_prefix(template, target):
    """A prefix of our own, copied from the prepared one as every Windows test copies it."""
    result = subprocess.run([COPY_PREFIX, template, target], capture_output=True, text=True)
    if result.returncode != 0:
        raise SetupError(f"could not copy the Wine prefix: {result.stderr.strip()}")
    return target


def kill_wineserver(prefix):
    with contextlib.suppress(Exception):
        subprocess.run(["wineserver", "-k"], env={"WINEPREFIX": prefix, "PATH": os.environ["PATH"]},
                       capture_output=True, timeout=20)
    with _live_lock:
        _live_prefixes.discard(prefix)


def kill_all_wineservers():
    with _live_lock:
        prefixes = list(_live_prefixes)
    for prefix in prefixes:
        kill_wineserver(prefix)


# --------------------------------------------------------------------------
# What the driver sees


class Snapshot:
    """One answer of the driver's `state`, with the program's life beside it."""

    def __init__(self, data, exit_status):
        self.data = data
        self.exit_status = exit_status
        self.window = data.get("window")
        self.controls = data.get("controls", {})
        self.boxes = data.get("boxes", [])

    @property
    def running(self):
        return self.exit_status is None

    def focused(self):
        return self.data.get("focus")

    def active(self):
        """The window with Wine's activation: 'window', 'box' or something else."""
        return self.data.get("active")

    def checked(self):
        return sorted(name for name, control in self.controls.items() if control.get("checked"))

    def text(self, name):
        return self.controls[name]["text"]

    def labels(self):
        return (self.text("lblServicePrice"), self.text("lblTotalDue"))

    def pushed(self):
        return sorted(name for name, control in self.controls.items() if control.get("pushed"))

    def centre(self, name):
        left, top, right, bottom = self.controls[name]["rect"]
        return (left + right) // 2, (top + bottom) // 2

    def box_text(self, box):
        # One static holds the message in a message box; a box of separate
        # lines would be read line by line.
        return "\r\n".join(box["texts"])

    def describe(self):
        lines = [f"  program: {'running' if self.running else f'ended with status {self.exit_status}'}"]
        if not self.window:
            lines.append("  no window titled Tarnwick")
        else:
            w = self.window
            lines.append(f"  window {w['title']!r} visible={w['visible']} enabled={w['enabled']} "
                         f"active={self.active()!r} client={w['client']}")
            lines.append(f"  focus: {self.focused()!r}")
            lines.append("  checked: " + ", ".join(self.checked()))
            with contextlib.suppress(KeyError):
                lines.append(f"  labels: lblServicePrice={self.labels()[0]!r} lblTotalDue={self.labels()[1]!r}")
            if self.pushed():
                lines.append("  pushed: " + ", ".join(self.pushed()))
        for box in self.boxes:
            lines.append(f"  open box {box['title']!r}: {self.box_text(box)!r} buttons="
                         f"{[b['text'] for b in box['buttons']]} icon={box['icon']!r} "
                         f"owned_by_window={box['owned_by_window']}")
        return "\n".join(lines)


# --------------------------------------------------------------------------
# One run of the program


class WineRun:
    """tarnwick.exe and the driver in a prefix of their own, on one display."""

    def __init__(self, worker, name, env=None, region=(), dpi=None, font=None, colours=(), visual_styles=True,
                 route="live regions", before=()):
        self.worker = worker
        self.display = worker.display
        self.processes = worker.processes
        self.dir = worker.scratch(name)
        self.prefix = copy_prefix(worker.config.prefix, os.path.join(self.dir, "prefix"))
        with _live_lock:
            _live_prefixes.add(self.prefix)
        home = os.path.join(self.dir, "home")
        os.makedirs(home)
        self.uia_record = os.path.join(self.dir, "uia-record.jsonl")
        self._install_uia_standin(worker.config.uia_standins[route])
        self.env = {"PATH": os.environ["PATH"], "HOME": home, "DISPLAY": self.display.name,
                    "WINEPREFIX": self.prefix, "LANG": "en_US.UTF-8", **WINE_ENV,
                    # The stand-in, not Wine's own: which route the window takes then
                    # does not hang on what the installed Wine's UI Automation has.
                    "WINEDLLOVERRIDES": WINE_ENV["WINEDLLOVERRIDES"] + ";uiautomationcore=n",
                    "TARNWICK_UIA_RECORD": "Z:" + self.uia_record.replace("/", "\\")}
        self.env.update(env or {})
        self.log_path = os.path.join(self.dir, "program.log")
        self.program = None
        self.exit_status = None
        self.desktop = None
        self._stopped = False
        try:
            # The driver first: it starts the prefix's server, and a region,
            # DPI or colour setting it makes is in place before the program reads it.
            self._driver_log = open(os.path.join(self.dir, "driver.log"), "w")
            self.driver = None
            self._start_driver()
            for setting, value in region:
                self.ask(f"setregion {setting} {value}")
            if dpi:
                self.ask(f"setdpi {dpi}")
            if font:  # (face, points): the user's dialog font
                self.ask(f"setfont {font[1]} {font[0]}")
            for colour, (red, green, blue) in colours:
                self.ask(f"setcolour {colour} {red} {green} {blue}")
            if not visual_styles:
                self.ask("visualstyles off")
            for command in before:
                self.ask(command)
            if dpi:
                # A process takes the display's DPI as it starts: a driver
                # started after the setting sees the display as the program does.
                self._start_driver()
            self._log = open(self.log_path, "w")
            self.started = time.monotonic()
            self.program = self.processes.start(["wine", worker.config.exe], env=self.env, stdout=self._log,
                                                stderr=subprocess.STDOUT)
            self._find_window()
        except BaseException:
            self.stop()
            raise

    def _install_uia_standin(self, standin):
        """The uiautomationcore.dll stand-in in this run's prefix. The copy's
        system32 is hard-linked to the prepared prefix's: the link is
        replaced, never written through."""
        target = os.path.join(self.prefix, "drive_c", "windows", "system32", "uiautomationcore.dll")
        shutil.copyfile(standin, target + ".standin")
        os.replace(target + ".standin", target)

    def uia_calls(self):
        """What the stand-in has been handed so far, oldest first."""
        with contextlib.suppress(FileNotFoundError), open(self.uia_record, encoding="utf-8") as record:
            return [json.loads(line) for line in record if line.endswith("\n")]
        return []

    # -- the driver

    def _start_driver(self):
        if self.driver is not None:
            self.driver.stdin.write(b"quit\n")
            self.driver.stdin.flush()
            try:
                self.driver.wait(10)
            except subprocess.TimeoutExpired:
                Processes.stop(self.driver)
            self.processes.forget(self.driver)
            self.driver.stdin.close()
            self.driver.stdout.close()
        self.driver = self.processes.start(["wine", self.worker.config.driver], env=self.env, stdin=subprocess.PIPE,
                                           stdout=subprocess.PIPE, stderr=self._driver_log)
        self.reader = LineReader(self.driver.stdout.fileno(), "the driver")
        self.ask("region", timeout=30)

    def ask(self, command, timeout=15):
        if self.driver.poll() is not None:
            raise SetupError(f"the driver ended with status {self.driver.returncode}")
        self.driver.stdin.write((command + "\n").encode())
        self.driver.stdin.flush()
        answer = json.loads(self.reader.line(timeout))
        if not answer.get("ok"):
            raise ScenarioFailure(f"driver: {command}: {answer.get('error')} {answer}")
        return answer

    def status(self):
        if self.exit_status is None and self.program is not None:
            self.exit_status = self.program.poll()
        return self.exit_status

    def snapshot(self):
        data = self.ask("state")
        return Snapshot(data, self.status())

    def wait_for(self, predicate, what, timeout=8.0):
        """Polls the driver until predicate holds; fails with what was last seen."""
        last = [None]

        def check():
            last[0] = self.snapshot()
            try:
                return last[0] if predicate(last[0]) else None
            except (KeyError, IndexError, TypeError):
                return None
        snapshot, ok = poll(check, timeout, 0.02)
        if not ok:
            raise ScenarioFailure(f"timed out after {timeout} s waiting for: {what}\n"
                                  f"what the driver saw:\n{last[0].describe()}{self.log_note()}")
        return snapshot

    # -- life

    def _find_window(self):
        def up(s):
            if not s.running:
                raise ScenarioFailure(f"the program ended at start with status {s.exit_status}{self.log_note()}")
            return s.window and s.window["visible"] and s.focused()
        self.opened = self.wait_for(up, "the window Tarnwick shown, with a focused control", timeout=30)
        self.start_seconds = time.monotonic() - self.started

        # Wine's desktop is explorer.exe's window of the prefix's desktop size;
        # its title is no guide: Wine 8 writes "Default - Wine desktop", Wine 9
        # and later "Wine Desktop", translated into the user's language.
        def desktop():
            found = [window for window in self.display.xdotool(
                         "search", "--class", r"^explorer\.exe$").stdout.split()
                     if f"Geometry: {DESKTOP_SIZE}" in self.display.xdotool("getwindowgeometry", window).stdout]
            return found[0] if len(found) == 1 else None
        self.desktop, ok = poll(desktop, 10, 0.05)
        if not ok:
            raise SetupError("Wine's virtual desktop never appeared on the X display")
        geometry = self.display.xdotool("getwindowgeometry", self.desktop).stdout
        found = re.search(r"Position: (-?\d+),(-?\d+)", geometry)
        if not found:
            raise SetupError(f"cannot read where the desktop is: {geometry!r}")
        self.origin = (int(found.group(1)), int(found.group(2)))
        self.focus_desktop()

    def focus_desktop(self):
        """Gives the X keyboard focus to the program's own X window inside
        Wine's desktop: with no window manager nobody else does, and keys that
        reach the desktop window itself go to the desktop's process, not to
        the program's."""
        own = self.display.xdotool("search", "--name", "^Tarnwick$").stdout.split()
        target = own[0] if own else self.desktop
        result = self.display.xdotool("windowfocus", "--sync", target, timeout=10)
        if result.returncode != 0:
            raise SetupError(f"xdotool windowfocus failed: {result.stderr}")
        self.wait_for(lambda s: s.active() == "window" and s.data.get("foreground_is_active"),
                      "the window active and in the foreground")

    def wait_exit(self, timeout):
        try:
            self.exit_status = self.program.wait(timeout)
            return self.exit_status
        except subprocess.TimeoutExpired:
            raise ScenarioFailure(f"the program did not end within {timeout} s\n"
                                  f"{self.snapshot().describe()}") from None

    def log_note(self):
        with contextlib.suppress(OSError), open(self.log_path, errors="replace") as log:
            text = log.read()[-2000:]
            if text.strip():
                return "\n  program output:\n" + "".join("    " + line + "\n" for line in text.splitlines())
        return ""

    def stop(self):
        if self._stopped:
            return
        self._stopped = True
        with contextlib.suppress(Exception):
            if self.driver.poll() is None:
                self.driver.stdin.write(b"quit\n")
                self.driver.stdin.flush()
        # The server takes every process of the prefix with it.
        kill_wineserver(self.prefix)
        for process in (self.driver, self.program):
            if process is not None:
                with contextlib.suppress(Exception):
                    Processes.stop(process, grace=3)
                self.processes.forget(process)
        for log in ("_driver_log", "_log"):
            with contextlib.suppress(Exception):
                getattr(self, log).close()

    # -- input

    def key(self, *keys):
        result = self.display.xdotool("key", "--delay", "15", *keys)
        if result.returncode != 0:
            raise SetupError(f"xdotool key {' '.join(keys)} failed: {result.stderr}")

    def click_at(self, x, y):
        """A real click at a point of Wine's screen."""
        # No --sync: it waits for the pointer to move, forever if it is there
        # already. The motion and the click reach Wine in order anyway.
        x, y = x + self.origin[0], y + self.origin[1]
        result = self.display.xdotool("mousemove", x, y, "click", "1")
        if result.returncode != 0:
            raise SetupError(f"xdotool click at {x},{y} failed: {result.stderr}")

    def click(self, name):
        snapshot = self.snapshot()
        if name not in snapshot.controls:
            raise ScenarioFailure(f"no control {name!r} on the window\n{snapshot.describe()}")
        self.click_at(*snapshot.centre(name))
