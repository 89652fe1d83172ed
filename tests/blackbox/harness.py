"""Drives the real Tarnwick binary as a user would and reads it as a screen reader does.

A Session owns a private display, a private D-Bus session bus and the
accessibility (AT-SPI) bus behind it, for one desktop's row (desktops.py): an X
server (Xvfb) without a window manager, or a headless Wayland compositor
(sway). An App is one run of the program there: keys and clicks go in through
the row's input (XInput: the X server's XTEST, by xdotool; WaylandInput: a
virtual keyboard and pointer of the compositor's seat), and what the window
shows comes back through AT-SPI. Every wait is a poll with a deadline.
Everything started here is stopped by PID, whichever way the run ends.
"""

import atexit
import contextlib
import ctypes
import ctypes.util
import fcntl
import glob
import os
import pty
import re
import select
import shutil
import signal
import subprocess
import tempfile
import threading
import time
import tty
from dataclasses import dataclass, field

PR_SET_PDEATHSIG = 1
SCREEN = (1024, 768)  # the virtual screen, X or Wayland
PR_SET_CHILD_SUBREAPER = 36

_libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)


class ScenarioFailure(AssertionError):
    """A check failed; the message says what was expected and what was seen."""


class SetupError(RuntimeError):
    """The test environment itself (X, D-Bus, AT-SPI, CUPS) could not be brought up."""


class ScenarioSkipped(Exception):
    """A scenario cannot run on this machine; the message says why."""


def _die_with_parent():
    # Runs in the child between fork and exec: if the runner is killed outright
    # (SIGKILL from a test driver's timeout), its children do not outlive it.
    _libc.prctl(PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)


def poll(predicate, timeout, interval=0.03):
    """Calls predicate until it returns something true or the deadline passes.
    Returns (value, True) on success, (last value, False) on timeout."""
    deadline = time.monotonic() + timeout
    value = None
    while True:
        value = predicate()
        if value:
            return value, True
        if time.monotonic() >= deadline:
            return value, False
        time.sleep(interval)


# --------------------------------------------------------------------------
# Processes


class Processes:
    """Starts child processes and stops every one of them, and anything they
    left behind, by PID."""

    def __init__(self):
        self._started = []
        self._stopped = False
        # Daemons that fork (the accessibility bus, its registry) become our
        # children when their parent dies, so the final sweep can find them.
        _libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)

    def start(self, argv, **kwargs):
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        kwargs.setdefault("preexec_fn", _die_with_parent)
        process = subprocess.Popen(argv, **kwargs)
        self._started.append(process)
        return process

    @staticmethod
    def stop(process, grace=3.0):
        if process.poll() is not None:
            return process.returncode
        with contextlib.suppress(ProcessLookupError):
            process.terminate()
        try:
            return process.wait(grace)
        except subprocess.TimeoutExpired:
            with contextlib.suppress(ProcessLookupError):
                process.kill()
            return process.wait(5)

    def forget(self, process):
        with contextlib.suppress(ValueError):
            self._started.remove(process)

    def stop_all(self):
        if self._stopped:
            return
        self._stopped = True
        for process in reversed(self._started):
            with contextlib.suppress(Exception):
                self.stop(process)
        self._started.clear()
        self._sweep()

    @staticmethod
    def _descendants():
        parents = {}
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open(f"/proc/{entry}/stat") as stat:
                    fields = stat.read().rsplit(")", 1)[1].split()
            except OSError:
                continue
            if fields[0] != "Z":
                parents[int(entry)] = int(fields[1])
        me = os.getpid()
        found = set()
        changed = True
        while changed:
            changed = False
            for pid, parent in parents.items():
                if pid not in found and (parent == me or parent in found):
                    found.add(pid)
                    changed = True
        return found

    def _sweep(self):
        for sig, grace in ((signal.SIGTERM, 2.0), (signal.SIGKILL, 2.0)):
            pids = self._descendants()
            if not pids:
                break
            for pid in pids:
                with contextlib.suppress(ProcessLookupError):
                    os.kill(pid, sig)
            poll(lambda: not (self._descendants() & pids), grace, 0.05)
        # Reap what was left to us; every Popen of ours has been waited for.
        with contextlib.suppress(ChildProcessError):
            while os.waitpid(-1, os.WNOHANG)[0] > 0:
                pass


# --------------------------------------------------------------------------
# The X display, the session bus and the accessibility bus


def _read_line(stream_fd, timeout, what):
    data = b""
    deadline = time.monotonic() + timeout
    while b"\n" not in data:
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([stream_fd], [], [], left)[0]:
            raise SetupError(f"{what} did not answer within {timeout} s")
        chunk = os.read(stream_fd, 256)
        if not chunk:
            raise SetupError(f"{what} ended before answering")
        data += chunk
    return data.split(b"\n", 1)[0].decode().strip()


def _find_tool(name, *places):
    for place in places:
        if os.access(place, os.X_OK):
            return place
    found = shutil.which(name)
    if not found:
        raise SetupError(f"{name} is not installed")
    return found


class Session:
    """A private desktop: a display without a window manager (Xvfb) or a
    headless Wayland compositor (sway), a D-Bus session bus, AT-SPI's bus
    launcher and registry, and the keyboard and pointer of the desktop's row."""

    def __init__(self, processes, workdir, row, attach=False):
        self.processes = processes
        self.workdir = workdir
        self.row = row  # the desktop's row of desktops.py
        self.env = {}
        wayland = row.display == "wayland"
        wanted = ("WAYLAND_DISPLAY", "SWAYSOCK", "DISPLAY") if wayland else ("DISPLAY",)
        if attach:
            # Run inside a session a parent runner set up (for a wrapped scenario).
            for name in wanted + ("DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR"):
                if not os.environ.get(name):
                    raise SetupError(f"--attach needs {name} in the environment")
                self.env[name] = os.environ[name]
        else:
            if wayland:
                self._start_sway()
            else:
                self._start_x()
            self._start_buses()
        os.environ.update(self.env)
        self.input = WaylandInput(self) if wayland else XInput(self)
        self._connect_atspi()

    def _start_x(self):
        read_end, write_end = os.pipe()
        try:
            self.xvfb = self.processes.start(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24",
                 "-nolisten", "tcp", "-noreset"],
                pass_fds=[write_end], stdout=subprocess.DEVNULL,
                stderr=open(os.path.join(self.workdir, "xvfb.log"), "w"))
            os.close(write_end)
            write_end = None
            display = _read_line(read_end, 15, "Xvfb")
        finally:
            os.close(read_end)
            if write_end is not None:
                os.close(write_end)
        self.env["DISPLAY"] = ":" + display

    def _start_sway(self):
        """sway with a headless output of the size Xvfb's screen has, and no
        borders. As in a desktop's Wayland session, Xwayland serves the X
        clients (Orca reads its keyboard map from X). sway will not run as
        root: under root it runs as nobody, whose sockets the tests (root)
        reach all the same."""
        home = os.path.join(self.workdir, "sway")
        runtime = os.path.join(home, "runtime")
        os.makedirs(runtime, mode=0o700)
        config = os.path.join(home, "config")
        with open(config, "w") as out:
            out.write(f"output HEADLESS-1 resolution {SCREEN[0]}x{SCREEN[1]}\n"
                      "xwayland force\n"
                      "default_border none\n"
                      "default_floating_border none\n"
                      "focus_on_window_activation focus\n")
        prefix = []
        if os.geteuid() == 0:
            os.chmod(self.workdir, 0o711)
            for path in (home, runtime, config):
                os.chown(path, 65534, 65534)
            prefix = [_find_tool("setpriv"), "--reuid=65534", "--regid=65534", "--clear-groups"]
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": home, "XDG_RUNTIME_DIR": runtime,
               "WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_RENDERER": "pixman"}
        sway = self.processes.start(prefix + [_find_tool("sway"), "-c", config], env=env,
                                    stdout=subprocess.DEVNULL,
                                    stderr=open(os.path.join(self.workdir, "sway.log"), "w"))

        def sockets():
            if sway.poll() is not None:
                raise SetupError(f"sway ended at start with status {sway.returncode}: "
                                 f"{_tail(os.path.join(self.workdir, 'sway.log'))}")
            names = os.listdir(runtime)
            display = [n for n in names if n.startswith("wayland-") and not n.endswith(".lock")]
            ipc = [n for n in names if n.startswith("sway-ipc.")]
            x_display = _x_display_of(sway.pid)
            return (display[0], ipc[0], x_display) if display and ipc and x_display else None
        found, ok = poll(sockets, 15, 0.05)
        if not ok:
            raise SetupError("sway made no Wayland socket within 15 s")
        # An absolute path: the program and the tools keep the session's own runtime folder.
        self.env["WAYLAND_DISPLAY"] = os.path.join(runtime, found[0])
        self.env["SWAYSOCK"] = os.path.join(runtime, found[1])
        self.env["DISPLAY"] = found[2]
        if prefix:
            # Xwayland lets in its own user's clients alone; the tests' are root's.
            granted = subprocess.run(prefix + ["xhost", "+si:localuser:root"], env={**env, "DISPLAY": found[2]},
                                     capture_output=True, text=True, timeout=10)
            if granted.returncode != 0:
                raise SetupError(f"xhost could not let root's clients into Xwayland: {granted.stderr}")
        _, ok = poll(lambda: subprocess.run(["swaymsg", "-t", "get_version"], env=self.base_env(),
                                            capture_output=True, timeout=10).returncode == 0, 15, 0.05)
        if not ok:
            raise SetupError("sway never answered on its IPC socket")

    def _start_buses(self):
        runtime = os.path.join(self.workdir, "runtime")
        os.makedirs(runtime, mode=0o700)
        self.env["XDG_RUNTIME_DIR"] = runtime
        env = self.base_env()
        bus = self.processes.start(
            ["dbus-daemon", "--session", "--nofork", "--print-address=1",
             "--address=unix:dir=" + runtime],
            env=env, stdout=subprocess.PIPE,
            stderr=open(os.path.join(self.workdir, "dbus.log"), "w"))
        self.env["DBUS_SESSION_BUS_ADDRESS"] = _read_line(bus.stdout.fileno(), 15, "dbus-daemon")
        env = self.base_env()
        # Started here rather than by bus activation, so a missing or broken
        # launcher is reported at once and its PID is ours.
        launcher = _find_tool("at-spi-bus-launcher", "/usr/libexec/at-spi-bus-launcher",
                              "/usr/lib/at-spi2-core/at-spi-bus-launcher")
        self.processes.start([launcher, "--launch-immediately"], env=env,
                             stdout=subprocess.DEVNULL,
                             stderr=open(os.path.join(self.workdir, "at-spi.log"), "w"))
        # Asks the bus who owns the name; asking the name itself would start a
        # second launcher by bus activation.
        query = ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                 "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus"]
        _, ok = poll(lambda: "boolean true" in subprocess.run(
            query, env=env, capture_output=True, text=True, timeout=10).stdout, 15, 0.05)
        if not ok:
            raise SetupError("the AT-SPI bus launcher never took org.a11y.Bus on the session bus")

    def base_env(self):
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"),
               "HOME": os.path.join(self.workdir, "home")}
        os.makedirs(env["HOME"], exist_ok=True)
        # The private print scheduler, when a wrapper has set one up, and the
        # sanitizers' settings of a sanitizer build.
        for name in ("CUPS_SERVER", "CUPS_SERVERROOT", "XAUTHORITY",
                     "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"):
            if os.environ.get(name):
                env[name] = os.environ[name]
        env.update(self.env)
        return env

    def _connect_atspi(self):
        # Imported only now: the library binds to the bus named in the environment.
        import pyatspi  # noqa: F401  (python3-pyatspi, for the system Python)
        from gi.repository import Atspi, GLib
        self.pyatspi = pyatspi
        self.Atspi = Atspi
        self.GLib = GLib
        Atspi.set_timeout(4000, 15000)
        self.desktop = pyatspi.Registry.getDesktop(0)

    def pump(self):
        """Lets libatspi take in the bus's news (applications coming and going)."""
        context = self.GLib.MainContext.default()
        while context.pending():
            context.iteration(False)

# --------------------------------------------------------------------------
# What the screen reader sees


@dataclass
class Node:
    role: str
    name: str
    description: str
    states: frozenset
    extents: tuple  # x, y, width, height on the screen
    labelled_by: str = ""  # the name of the label that names it, for a label

    @property
    def centre(self):
        x, y, width, height = self.extents
        return x + width // 2, y + height // 2

    def describe(self):
        flags = sorted(self.states & {"focused", "checked", "active", "is default"})
        return f"{self.role} {self.name!r}" + (f" [{', '.join(flags)}]" if flags else "")


@dataclass
class Window:
    node: Node
    children: list = field(default_factory=list)

    @property
    def title(self):
        return self.node.name

    def find(self, role=None, name=None, description=None):
        return [n for n in self.children
                if (role is None or n.role == role) and (name is None or n.name == name)
                and (description is None or n.description == description)]

    def text(self):
        """The message of a message box: its labels' texts that are not the title."""
        return "\n".join(n.name for n in self.children if n.role == "label" and n.name)


@dataclass
class Snapshot:
    running: bool
    exit_code: object
    windows: list

    @property
    def main(self):
        for window in self.windows:
            if window.find(role="radio button", name="Makeover"):
                return window
        return None

    @property
    def boxes(self):
        main = self.main
        return [w for w in self.windows if w is not main and "showing" in w.node.states]

    def radios(self):
        main = self.main
        if not main:
            return {}
        return {n.name: "checked" in n.states for n in main.find(role="radio button")}

    def checked(self):
        return sorted(name for name, on in self.radios().items() if on)

    def focused(self):
        for window in self.windows:
            for n in window.children:
                if "focused" in n.states:
                    return n.name
        return None

    def labels(self):
        main = self.main
        if not main:
            return {}
        # Each amount by the caption that names it, without the colon.
        return {n.labelled_by.rstrip(":"): n.name for n in main.find(role="label") if n.labelled_by}

    def button(self, name):
        main = self.main
        found = main.find(role="push button", name=name) if main else []
        if not found:
            raise ScenarioFailure(f"no button {name!r} on the window\n{self.describe()}")
        return found[0]

    def control(self, name):
        main = self.main
        found = [n for n in (main.children if main else []) if n.name == name and
                 n.role in ("push button", "radio button")]
        if not found:
            raise ScenarioFailure(f"no control {name!r} on the window\n{self.describe()}")
        return found[0]

    def describe(self):
        lines = [f"  program: {'running' if self.running else f'ended with status {self.exit_code}'}"]
        main = self.main
        if main:
            lines.append(f"  window {main.title!r} states={sorted(main.node.states & {'active', 'showing'})}")
            lines.append(f"  focused: {self.focused()!r}")
            lines.append("  options: " + ", ".join(
                f"{name}={'on' if on else 'off'}" for name, on in self.radios().items()))
            lines.append("  labels: " + ", ".join(f"{d}={t!r}" for d, t in self.labels().items()))
        else:
            lines.append("  no main window visible to AT-SPI")
        for box in self.boxes:
            lines.append(f"  open box {box.title!r} ({box.node.role}): {box.text()!r}")
            lines.append("    " + "; ".join(n.describe() for n in box.children))
        return "\n".join(lines)


# --------------------------------------------------------------------------
# The operator's hands: keys, clicks and the window manager's requests, on X or on Wayland


class XInput:
    """Keys and clicks through the X server's XTEST (xdotool); the window is an X window."""

    def __init__(self, session):
        self.session = session

    def xdotool(self, *args, timeout=20):
        return subprocess.run(["xdotool", *map(str, args)], env=self.session.base_env(),
                              capture_output=True, text=True, timeout=timeout)

    def find_window(self, app):
        result = self.xdotool("search", "--onlyvisible", "--pid", app.pid, "--name", "^Tarnwick$")
        ids = result.stdout.split()
        return int(ids[0]) if len(ids) == 1 else None

    def focus(self, app):
        """With no window manager nobody else gives the window the input focus."""
        self.xdotool("windowfocus", "--sync", app.window_id, timeout=10)

    def key(self, *keys):
        result = self.xdotool("key", "--delay", "15", *keys)
        if result.returncode != 0:
            raise SetupError(f"xdotool key {' '.join(keys)} failed: {result.stderr}")

    def click(self, app, *nodes):
        # No --sync: it waits for the pointer to move, forever if it is there already.
        # The motion and the click reach the program in order anyway.
        args = []
        for node in nodes:
            args += ["mousemove", *node.centre, "click", "--delay", "1", "1"]
        result = self.xdotool(*args, timeout=120)
        if result.returncode != 0:
            raise SetupError(f"xdotool clicks failed: {result.stderr}")

    def screenshot(self, app, path):
        _checked_run(["import", "-window", hex(app.window_id), path], self.session.base_env())

    def close(self, app):
        """Asks the window to close the way a window manager does: a
        WM_DELETE_WINDOW client message of the WM_PROTOCOLS kind."""
        xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        xlib.XOpenDisplay.restype = ctypes.c_void_p
        xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        xlib.XInternAtom.restype = ctypes.c_ulong
        xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                    ctypes.c_void_p]
        xlib.XFlush.argtypes = [ctypes.c_void_p]
        xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]

        class ClientMessage(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                        ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                        ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                        ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

        class Event(ctypes.Union):
            _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

        display = xlib.XOpenDisplay(self.session.env["DISPLAY"].encode())
        if not display:
            raise SetupError("cannot open the X display to send a close request")
        try:
            event = Event()
            event.xclient.type = 33  # ClientMessage
            event.xclient.window = app.window_id
            event.xclient.message_type = xlib.XInternAtom(display, b"WM_PROTOCOLS", False)
            event.xclient.format = 32
            event.xclient.data[0] = xlib.XInternAtom(display, b"WM_DELETE_WINDOW", False)
            event.xclient.data[1] = 0  # CurrentTime
            if not xlib.XSendEvent(display, app.window_id, False, 0, ctypes.byref(event)):
                raise SetupError("XSendEvent refused the close request")
            xlib.XFlush(display)
        finally:
            xlib.XCloseDisplay(display)



class WaylandInput:
    """Keys and clicks as a keyboard and a pointer of the compositor's seat
    (wayland_input); the window is sway's, found, focused and asked to close
    through sway's IPC."""

    def __init__(self, session):
        import wayland_input
        self.session = session
        try:
            self.devices = wayland_input.VirtualInput(session.env["WAYLAND_DISPLAY"], SCREEN)
        except (OSError, wayland_input.WaylandError) as error:
            raise SetupError(f"no keyboard and pointer on the compositor: {error}") from None

    def swaymsg(self, *args):
        result = subprocess.run(["swaymsg", *args], env=self.session.base_env(),
                                capture_output=True, text=True, timeout=20)
        if result.returncode != 0:
            raise SetupError(f"swaymsg {' '.join(args)} failed: {result.stdout}{result.stderr}")
        return result.stdout

    def _windows(self, pid):
        import json
        found = []

        def walk(node):
            if node.get("pid") == pid and node.get("visible", True):
                found.append(node)
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)
        walk(json.loads(self.swaymsg("-t", "get_tree")))
        return found

    def find_window(self, app):
        windows = [w for w in self._windows(app.pid) if w.get("name") == "Tarnwick"]
        return windows[0]["id"] if len(windows) == 1 else None

    def focus(self, app):
        self.swaymsg(f"[con_id={app.window_id}]", "focus")

    def key(self, *keys):
        import wayland_input
        try:
            self.devices.keys(keys)
        except wayland_input.WaylandError as error:
            raise SetupError(f"keys {' '.join(keys)}: {error}") from None

    def _origin(self, app):
        """Where the window's surface is on the screen, by sway; and where Qt,
        which cannot know it on Wayland, puts the window's own top left."""
        for window in self._windows(app.pid):
            if window["id"] == app.window_id:
                rect, inner = window["rect"], window["window_rect"]
                main = app.snapshot().main
                if main is None:
                    raise ScenarioFailure("no main window to click on\n" + app.snapshot().describe())
                return rect["x"] + inner["x"] - main.node.extents[0], rect["y"] + inner["y"] - main.node.extents[1]
        raise ScenarioFailure("sway no longer has the window")

    def click(self, app, *nodes):
        import wayland_input
        dx, dy = self._origin(app)
        try:
            for node in nodes:
                x, y = node.centre
                self.devices.click(x + dx, y + dy)
        except wayland_input.WaylandError as error:
            raise SetupError(f"click: {error}") from None

    def close(self, app):
        """sway's kill: the xdg_toplevel close request a window's close button makes."""
        self.swaymsg(f"[con_id={app.window_id}]", "kill")

    def screenshot(self, app, path):
        # The compositor draws the pointer into what it copies: out of the way first.
        self.devices.move(0, 0)
        dx, dy = self._origin(app)
        main = app.snapshot().main
        x, y, width, height = main.node.extents
        _checked_run(["grim", "-g", f"{x + dx},{y + dy} {width}x{height}", path], self.session.base_env())


def _x_display_of(pid):
    """The X display a process serves, by the lock file the X server leaves
    for it with that process's PID (wlroots writes the compositor's)."""
    for lock in glob.glob("/tmp/.X*-lock"):
        with contextlib.suppress(OSError, ValueError), open(lock) as held:
            if int(held.read().strip(" \0\n")) == pid:
                return ":" + os.path.basename(lock)[2:-5]
    return None


def _checked_run(argv, env):
    result = subprocess.run(argv, env=env, capture_output=True, text=True, timeout=60)
    if result.returncode != 0:
        raise SetupError(f"{' '.join(argv)} failed: {result.stdout}{result.stderr}")


def _tail(path, lines=10):
    with contextlib.suppress(OSError), open(path, errors="replace") as log:
        return "".join(log.readlines()[-lines:])
    return ""


# --------------------------------------------------------------------------
# One run of the program


class App:
    """The program under test, started on the session's display."""

    def __init__(self, session, binary, workdir, env_extra=None, argv_prefix=None, name="app"):
        self.session = session
        self.binary = os.path.realpath(binary)
        self.workdir = workdir
        self.log_path = os.path.join(workdir, f"{name}.log")
        env = session.base_env()
        env["HOME"] = os.path.join(workdir, "home")
        os.makedirs(env["HOME"], exist_ok=True)
        env.update({
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_QPA_PLATFORM": "wayland" if session.row.display == "wayland" else "xcb",
            "LANG": "en_US.UTF-8",
        })
        env.update(session.row.env)
        self.env_extra = env_extra or {}
        env.update(self.env_extra)
        # A variable given as None is one the run must not have.
        env = {name: value for name, value in env.items() if value is not None}
        self.env = env
        self.log = open(self.log_path, "w")
        self.launcher = session.processes.start(
            (argv_prefix or []) + [self.binary], env=env, stdout=self.log, stderr=subprocess.STDOUT)
        self.wrapped = bool(argv_prefix)
        self.pid = None if self.wrapped else self.launcher.pid
        self.accessible = None
        self.window_id = None
        self._find()

    # -- life

    def _program_pid(self):
        if not self.wrapped:
            return self.launcher.pid
        # Under a wrapper the program is a descendant of the launcher process.
        for pid in sorted(Processes._descendants()):
            with contextlib.suppress(OSError):
                if os.path.realpath(f"/proc/{pid}/exe") == self.binary:
                    return pid
        return None

    def _find(self):
        def found():
            if self.launcher.poll() is not None:
                raise ScenarioFailure(f"the program ended at start with status "
                                      f"{self.launcher.returncode}:\n{self.log_tail()}")
            if self.pid is None:
                self.pid = self._program_pid()
                if self.pid is None:
                    return None
            # Not the program's first application object: under the GTK theme
            # GTK may register one too, which has no windows.
            for app in self._applications():
                if app.childCount > 0:
                    return app
            return None
        app, ok = poll(found, 20, 0.05)
        if not ok:
            raise SetupError(f"the program (PID {self.pid}) never showed up on the AT-SPI bus:\n"
                             f"{self.log_tail()}")
        # One application for the program: a second one (GTK's, under the GTK
        # theme) shows a screen reader an empty program beside the real one.
        others = [f"{other.get_toolkit_name()} {other.name!r}" for other in self._applications()
                  if other.childCount == 0]
        if others:
            raise ScenarioFailure(f"besides its Qt application the program put {others} on the AT-SPI bus")
        # Read every property afresh: without a main loop the cache would go stale.
        app.set_cache_mask(self.session.Atspi.Cache.NONE)
        self.accessible = app
        self.window_id, ok = poll(lambda: self.session.input.find_window(self), 10, 0.05)
        if not ok:
            raise SetupError("the window Tarnwick never appeared on the display")
        # A scenario that names a desktop of its own (a dark GTK theme, say) chose its theme itself.
        if not {"XDG_CURRENT_DESKTOP", "QT_QPA_PLATFORMTHEME"} & set(self.env_extra):
            check_plugins(self.pid, self.session.row)
        self.wait_for(lambda s: s.main is not None and "showing" in s.main.node.states,
                      "the main window is shown")
        self.focus_window()

    def _applications(self):
        """The program's application objects on the AT-SPI bus."""
        self.session.pump()
        found = []
        with contextlib.suppress(Exception):
            self.session.desktop.clear_cache()
            for i in range(self.session.desktop.childCount):
                app = self.session.desktop.getChildAtIndex(i)
                if app is not None and app.get_process_id() == self.pid:
                    found.append(app)
        return found

    def running(self):
        if self.wrapped:
            return self.pid is not None and os.path.exists(f"/proc/{self.pid}") and \
                _process_state(self.pid) not in ("Z", None)
        return self.launcher.poll() is None

    def wait_exit(self, timeout=10):
        """The program's exit status, once it has ended by itself."""
        try:
            return self.launcher.wait(timeout)
        except subprocess.TimeoutExpired:
            raise ScenarioFailure(f"the program did not end within {timeout} s\n"
                                  f"{self.snapshot().describe()}") from None

    def stop(self):
        with contextlib.suppress(Exception):
            Processes.stop(self.launcher)
        self.session.processes.forget(self.launcher)
        self.log.close()

    def log_tail(self, lines=20):
        with contextlib.suppress(OSError), open(self.log_path, errors="replace") as log:
            return "".join(log.readlines()[-lines:])
        return ""

    # -- reading

    def snapshot(self):
        windows = []
        running = self.running()
        if running and self.accessible is not None:
            with contextlib.suppress(Exception):
                self.accessible.clear_cache()
                for i in range(self.accessible.childCount):
                    top = self.accessible.getChildAtIndex(i)
                    if top is None:
                        continue
                    window = Window(_node(self.session, top))
                    _collect(self.session, top, window.children)
                    windows.append(window)
        exit_code = None if running else (self.launcher.poll() if not self.wrapped else None)
        return Snapshot(running, exit_code, windows)

    def wait_for(self, predicate, what, timeout=8.0):
        """Polls snapshots until predicate holds; fails with what was last seen."""
        last = [None]

        def check():
            last[0] = self.snapshot()
            try:
                return last[0] if predicate(last[0]) else None
            except (KeyError, IndexError, AttributeError, ScenarioFailure):
                return None
        snapshot, ok = poll(check, timeout, 0.03)
        if not ok:
            raise ScenarioFailure(f"timed out after {timeout} s waiting for: {what}\n"
                                  f"what the screen reader saw:\n{last[0].describe()}")
        return snapshot

    # -- input

    def focus_window(self):
        """Gives the window the input focus, and waits for a focused control."""
        def active():
            self.session.input.focus(self)
            snapshot = self.snapshot()
            return snapshot.main is not None and "active" in snapshot.main.node.states \
                and snapshot.focused() is not None
        _, ok = poll(active, 8, 0.1)
        if not ok:
            raise ScenarioFailure("the window never became active\n" + self.snapshot().describe())

    def key(self, *keys):
        self.session.input.key(*keys)

    def click(self, *nodes):
        """Clicks each node's centre in turn."""
        self.session.input.click(self, *nodes)

    def click_control(self, name):
        self.click(self.snapshot().control(name))

    def close_request(self):
        self.session.input.close(self)

    def screenshot(self, path):
        """The window alone, as the screen shows it, to a PNG."""
        self.session.input.screenshot(self, path)


class ScreenReader:
    """Orca, the screen reader, on the session's display and buses, with
    settings of its own. What it speaks is read from its debug log, which it
    writes to a terminal here so that each line arrives as it is written
    (to a plain file Orca writes in blocks of 8 KB)."""

    # What Orca logs as it starts listening: Orca 43, Orca 48.
    LISTENING = ("ORCA: Starting ATSPI registry", "ORCA: Starting Atspi main event loop")
    # An utterance may run over several lines, as a box's message does.
    SPOKEN = re.compile(r"SPEECH OUTPUT: '(.*?)'\s*[\[{]", re.DOTALL)

    def __init__(self, session, workdir):
        self.session = session
        self.workdir = workdir
        orca = shutil.which("orca")
        if not orca:
            raise SetupError("orca is not installed")
        env = session.base_env()
        home = os.path.join(workdir, "orca-home")
        env.update({
            "HOME": home,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
            "XDG_CACHE_HOME": os.path.join(home, ".cache"),
            "GSETTINGS_BACKEND": "memory",  # no dconf service on the private bus
            "LANG": "en_US.UTF-8",
        })
        # Orca starts its speech server, whose one output module here needs a
        # sound device: ALSA's null device, so it speaks to nobody.
        os.makedirs(os.path.join(env["XDG_CONFIG_HOME"], "speech-dispatcher"))
        with open(os.path.join(home, ".asoundrc"), "w") as asoundrc:
            asoundrc.write("pcm.!default { type null }\n")
        with open(os.path.join(env["XDG_CONFIG_HOME"], "speech-dispatcher", "speechd.conf"), "w") as conf:
            conf.write('AudioOutputMethod "alsa"\n')
        self._take_the_one_orca()
        self.lines = []
        self._lock = threading.Lock()
        self._master, self._slave = pty.openpty()
        tty.setraw(self._slave)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        self.process = session.processes.start(
            [orca, "--debug-file", os.ttyname(self._slave)], env=env,
            stdout=open(os.path.join(workdir, "orca.out"), "w"), stderr=subprocess.STDOUT)
        _, ok = poll(lambda: self.process.poll() is not None or self._logged(*self.LISTENING), 20, 0.05)
        if self.process.poll() is not None:
            with open(os.path.join(workdir, "orca.out"), errors="replace") as out:
                said = out.read().strip()
            self.stop()
            raise SetupError(f"orca ended at start with status {self.process.returncode}: {said}")
        if not ok:
            self.stop()
            raise SetupError("orca did not start listening within 20 s")

    # Orca will not start while another Orca of the same user runs anywhere on
    # the machine, so runners on other rows take turns through this lock.
    TURN = os.path.join(tempfile.gettempdir(), "tarnwick-orca.lock")

    def _take_the_one_orca(self):
        self._turn = open(self.TURN, "a")

        def my_turn():
            try:
                fcntl.flock(self._turn, fcntl.LOCK_EX | fcntl.LOCK_NB)
                return True
            except BlockingIOError:
                return False
        _, ok = poll(my_turn, 120, 0.1)
        others = lambda: subprocess.run(["pgrep", "-u", str(os.getuid()), "-x", "orca"],  # noqa: E731
                                        capture_output=True, text=True).stdout.split()
        if ok:
            _, ok = poll(lambda: not others(), 30, 0.1)
        if not ok:
            self._turn.close()
            raise SetupError(f"another Orca kept running (PIDs {others()}), and Orca starts only alone")

    @property
    def button_role(self):
        """The role Orca speaks after a push button's name: at-spi2's name
        for it, "push button" before at-spi2 2.52, "button" since."""
        Atspi = self.session.Atspi
        return Atspi.role_get_name(Atspi.Role.PUSH_BUTTON)

    def _read(self):
        pending = b""
        while True:
            try:
                chunk = os.read(self._master, 65536)
            except OSError:
                return
            if not chunk:
                return
            *complete, pending = (pending + chunk).split(b"\n")
            with self._lock:
                self.lines.extend(line.decode(errors="replace") for line in complete)

    def _logged(self, *texts):
        with self._lock:
            return any(text in line for line in self.lines for text in texts)

    def mark(self):
        """A place in the log: what is spoken from now on comes after it."""
        with self._lock:
            return len(self.lines)

    def spoken(self, start=0, end=None):
        """What Orca spoke between two marks, one utterance a line."""
        with self._lock:
            text = "\n".join(self.lines[start:end])
        return [found.group(1) for found in self.SPOKEN.finditer(text)]

    def wait_to_hear(self, text, start, what, timeout=10.0):
        """Polls until Orca has spoken something containing text since start."""
        _, ok = poll(lambda: any(text in said for said in self.spoken(start)), timeout, 0.03)
        if not ok:
            raise ScenarioFailure(f"timed out after {timeout} s waiting for Orca to say {text!r} ({what}); "
                                  f"it said {self.spoken(start)!r}")

    def stop(self):
        with contextlib.suppress(Exception):
            Processes.stop(self.process, grace=5)
        self.session.processes.forget(self.process)
        # With Orca gone, closing our end of its terminal ends the reader.
        with contextlib.suppress(OSError):
            os.close(self._slave)
        self._reader.join(5)
        with contextlib.suppress(OSError):
            os.close(self._master)
        with open(os.path.join(self.workdir, "orca-debug.log"), "w") as log, self._lock:
            log.write("\n".join(self.lines))
        self._turn.close()  # the next runner's Orca may start


def check_plugins(pid, desktop):
    """The Qt platform and platform theme the program took, from the plugins it
    mapped: a row that did not get its desktop's theme tests nothing of it."""
    try:
        with open(f"/proc/{pid}/maps") as maps:
            paths = {line.split(None, 5)[5].strip() for line in maps if line.count(" ") >= 5 and "/" in line}
    except (OSError, IndexError):
        return  # ended already; the scenario sees that
    def loaded(kind):
        return sorted(os.path.basename(p).split(".so")[0] for p in paths if f"/plugins/{kind}/" in p)
    platform = "libqwayland" if desktop.display == "wayland" else "libqxcb"
    wanted = [desktop.theme_plugin] if desktop.theme_plugin else []
    platforms, themes = loaded("platforms"), loaded("platformthemes")
    if not any(p.startswith(platform) for p in platforms) or themes != wanted:
        raise SetupError(f"on the {desktop.name} row the program must load the platform {platform} and "
                         f"the theme plugins {wanted}; it loaded {platforms} and {themes}")


def _process_state(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0]
    except OSError:
        return None


def _role(pyatspi, accessible):
    """The role by the role itself, in one spelling on every release: its
    name as at-spi2 spells it changed ("push button" became "button" in
    at-spi2 2.52)."""
    names = {pyatspi.ROLE_PUSH_BUTTON: "push button", pyatspi.ROLE_RADIO_BUTTON: "radio button",
             pyatspi.ROLE_LABEL: "label", pyatspi.ROLE_ALERT: "alert"}
    return names.get(accessible.getRole()) or accessible.getRoleName()


def _node(session, accessible):
    pyatspi = session.pyatspi
    states = frozenset(pyatspi.stateToString(s) for s in accessible.getState().getStates())
    try:
        box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        extents = (box.x, box.y, box.width, box.height)
    except NotImplementedError:
        extents = (0, 0, 0, 0)
    role = _role(pyatspi, accessible)
    labelled_by = ""
    if role == "label":
        for relation in accessible.getRelationSet():
            if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY and relation.getNTargets():
                labelled_by = relation.getTarget(0).name or ""
    return Node(role, accessible.name or "", accessible.description or "", states, extents,
                labelled_by)


def _collect(session, accessible, into, depth=0):
    if depth > 6:
        return
    for i in range(accessible.childCount):
        child = accessible.getChildAtIndex(i)
        if child is None:
            continue
        into.append(_node(session, child))
        _collect(session, child, into, depth + 1)


# --------------------------------------------------------------------------
# A print scheduler of a scenario's own

PRINT_HELPERS = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "print")


def run_under_cups(cups, rerun, processes, workdir, deadline):
    """Runs `rerun` (a runner's command line for one scenario) under a print
    scheduler of its own: with no printer (cups "no-printer") or with one
    queue, the default, on a PPD written for the paper `cups`. Both suites'
    print rows run so, each paper its own queue. Returns (passed, report):
    the wrapped run's notes, or all it wrote."""
    import papers  # beside with-private-cups
    helper = os.path.join(PRINT_HELPERS, "with-private-cups")
    # The helper may still be on its way from another checkout; give it a moment.
    _, present = poll(lambda: os.access(helper, os.X_OK),
                      float(os.environ.get("TARNWICK_PRINT_HELPER_WAIT", "0")), 1.0)
    if not present:
        return False, f"SetupError: {helper} is missing or not executable"
    outdir = os.path.join(workdir, "spool")
    os.makedirs(outdir, exist_ok=True)
    if cups == "no-printer":
        printer = ["--no-printer"]
    else:
        printer = ["--ppd", os.path.join(workdir, "printer.ppd")]
        papers.write_ppd(cups, printer[1])
    log_path = os.path.join(workdir, "child.log")
    with open(log_path, "w") as log:
        child = processes.start([helper, *printer, outdir, "--", *rerun], stdout=log, stderr=subprocess.STDOUT,
                                env=dict(os.environ))
        try:
            status = child.wait(max(5, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            status = None
        finally:
            Processes.stop(child, grace=10)
            processes.forget(child)
    with open(log_path, errors="replace") as log:
        output = log.read()
    if status == 0:
        return True, "; ".join(line.split("note: ", 1)[1] for line in output.splitlines() if "note: " in line)
    what = "timed out" if status is None else f"exited with {status}"
    return False, f"the wrapped run {what}:\n" + "".join("  | " + line + "\n" for line in output.splitlines())


# --------------------------------------------------------------------------
# Stopping everything, whatever happens


def install_cleanup(processes):
    atexit.register(processes.stop_all)

    def on_signal(signum, _frame):
        # Unwinds through every finally block, which stop what they started.
        raise SystemExit(128 + signum)
    for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(signum, on_signal)


def make_workdir():
    base = os.environ.get("TMPDIR", "/tmp")
    if len(base) > 60 or not os.path.isdir(base):
        base = "/tmp"  # unix socket paths must stay short
    return tempfile.mkdtemp(prefix="tarnwick-blackbox.", dir=base)
