"""A keyboard and a pointer for a Wayland compositor, as an input device would
be: the virtual keyboard and virtual pointer protocols that wlroots compositors
(sway) take, spoken straight over the compositor's socket.

They live as long as the connection, so the seat keeps its keyboard and pointer
all through a run: a tool that makes a device per key (wtype) takes the seat's
keyboard away between keys, and the program sees its keys come and go. Every
batch of input ends with a round trip, so the compositor has dispatched it
before the next one is sent.
"""

import array
import ctypes
import ctypes.util
import os
import socket
import struct
import time

# Linux input event codes (linux/input-event-codes.h) of the keys the scenarios
# press, by xdotool's names for them.
_ROWS = {16: "qwertyuiop", 30: "asdfghjkl", 44: "zxcvbnm", 2: "1234567890"}
KEYCODES = {letter: first + i for first, row in _ROWS.items() for i, letter in enumerate(row)}
KEYCODES.update({"Escape": 1, "BackSpace": 14, "Tab": 15, "Return": 28, "ctrl": 29, "shift": 42,
                 "alt": 56, "space": 57, "Home": 102, "Up": 103, "Left": 105, "Right": 106,
                 "End": 107, "Down": 108, "KP_Enter": 96})
# The modifier masks of the keymap's Shift, Control and Mod1 (Alt).
MODIFIER_MASKS = {KEYCODES["shift"]: 1, KEYCODES["ctrl"]: 4, KEYCODES["alt"]: 8}
BTN_LEFT = 0x110
WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 = 1


class WaylandError(RuntimeError):
    pass


def _string(text):
    data = text.encode() + b"\0"
    return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)


def _default_keymap():
    """The compositor's default keymap (evdev rules, pc105, us) as text, made by
    libxkbcommon, which Qt itself uses."""
    xkb = ctypes.CDLL(ctypes.util.find_library("xkbcommon") or "libxkbcommon.so.0")
    xkb.xkb_context_new.restype = ctypes.c_void_p
    xkb.xkb_keymap_new_from_names.restype = ctypes.c_void_p
    xkb.xkb_keymap_new_from_names.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int]
    xkb.xkb_keymap_get_as_string.restype = ctypes.c_void_p
    xkb.xkb_keymap_get_as_string.argtypes = [ctypes.c_void_p, ctypes.c_int]
    xkb.xkb_keymap_unref.argtypes = [ctypes.c_void_p]
    xkb.xkb_context_unref.argtypes = [ctypes.c_void_p]
    libc = ctypes.CDLL(ctypes.util.find_library("c"))
    libc.free.argtypes = [ctypes.c_void_p]
    context = xkb.xkb_context_new(0)
    keymap = xkb.xkb_keymap_new_from_names(context, None, 0) if context else None
    if not keymap:
        raise WaylandError("libxkbcommon made no keymap (is xkb-data installed?)")
    text = xkb.xkb_keymap_get_as_string(keymap, 1)  # XKB_KEYMAP_FORMAT_TEXT_V1
    try:
        return ctypes.string_at(text)
    finally:
        libc.free(text)
        xkb.xkb_keymap_unref(keymap)
        xkb.xkb_context_unref(context)


class VirtualInput:
    """One connection to the compositor with a keyboard and a pointer on its seat."""

    def __init__(self, display_path, screen_size, timeout=10.0):
        self.timeout = timeout
        self.screen_size = screen_size
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(display_path)
        self.sock.settimeout(timeout)
        self.buffer = b""
        self.held = 0
        self.started = time.monotonic()
        self.clock = 0
        self.next_id = 2
        self.globals = {}
        self.registry = self._new_id()
        self._send(1, 1, struct.pack("<I", self.registry))  # wl_display.get_registry
        self.round_trip()
        seat = self._bind("wl_seat", 1)
        keyboards = self._bind("zwp_virtual_keyboard_manager_v1", 1)
        pointers = self._bind("zwlr_virtual_pointer_manager_v1", 1)
        self.keyboard = self._new_id()
        self._send(keyboards, 0, struct.pack("<II", seat, self.keyboard))  # create_virtual_keyboard
        keymap = _default_keymap() + b"\0"
        fd = os.memfd_create("tarnwick-test-keymap")
        try:
            os.write(fd, keymap)
            self._send(self.keyboard, 0, struct.pack("<II", WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, len(keymap)),
                       fds=[fd])
        finally:
            os.close(fd)
        self.pointer = self._new_id()
        self._send(pointers, 0, struct.pack("<II", 0, self.pointer))  # create_virtual_pointer, the default seat
        self.round_trip()

    def close(self):
        self.sock.close()

    # -- what the tests do

    def keys(self, combos):
        """Presses each combination ("alt+m", "shift+Tab", "Return") in turn."""
        for combo in combos:
            names = combo.split("+")
            try:
                codes = [KEYCODES[name.lower() if name.lower() in KEYCODES else name] for name in names]
            except KeyError as missing:
                raise WaylandError(f"no key code for {missing} in {combo!r}") from None
            for code in codes:
                self._key(code, 1)
            for code in reversed(codes):
                self._key(code, 0)
            self.round_trip()

    def move(self, x, y):
        width, height = self.screen_size
        self._send(self.pointer, 1, struct.pack("<IIIII", self._time(), x, y, width, height))  # motion_absolute
        self._send(self.pointer, 4, b"")  # frame
        self.round_trip()

    def click(self, x, y):
        self.move(x, y)
        # Press and release each in a dispatch of its own and at a later time, as
        # a hand makes them: the two sent together at one time made no click.
        for state in (1, 0):
            self._send(self.pointer, 2, struct.pack("<III", self._time(), BTN_LEFT, state))  # button
            self._send(self.pointer, 4, b"")
            self.round_trip()

    # -- the wire

    def _time(self):
        """Milliseconds for an event's time stamp, later than the last one's."""
        self.clock = max(self.clock + 1, int((time.monotonic() - self.started) * 1000))
        return self.clock & 0xFFFFFFFF

    def _key(self, code, state):
        self._send(self.keyboard, 1, struct.pack("<III", self._time(), code, state))
        # The compositor takes the modifiers the keyboard says it holds, not
        # what its keys would make of them.
        if code in MODIFIER_MASKS:
            self.held = (self.held | MODIFIER_MASKS[code]) if state else (self.held & ~MODIFIER_MASKS[code])
            self._modifiers(self.held)

    def _modifiers(self, depressed):
        self._send(self.keyboard, 2, struct.pack("<IIII", depressed, 0, 0, 0))

    def _new_id(self):
        self.next_id += 1
        return self.next_id - 1

    def _send(self, obj, opcode, payload, fds=None):
        message = struct.pack("<II", obj, ((8 + len(payload)) << 16) | opcode) + payload
        ancillary = [(socket.SOL_SOCKET, socket.SCM_RIGHTS, array.array("i", fds))] if fds else []
        self.sock.sendmsg([message], ancillary)

    def _bind(self, interface, version):
        for name, (found, offered) in self.globals.items():
            if found == interface and offered >= version:
                new = self._new_id()
                self._send(self.registry, 0, struct.pack("<I", name) + _string(interface)
                           + struct.pack("<II", version, new))
                return new
        raise WaylandError(f"the compositor offers no {interface} (version {version})")

    def round_trip(self):
        """wl_display.sync: returns once the compositor has handled all sent so far."""
        callback = self._new_id()
        self._send(1, 0, struct.pack("<I", callback))
        deadline = time.monotonic() + self.timeout
        while True:
            for obj, opcode, body in self._events():
                if obj == 1 and opcode == 0:  # wl_display.error
                    failed, code = struct.unpack_from("<II", body)
                    length = struct.unpack_from("<I", body, 8)[0]
                    raise WaylandError(f"the compositor refused object {failed} (error {code}): "
                                       f"{body[12:12 + length - 1].decode(errors='replace')}")
                if obj == self.registry and opcode == 0:  # wl_registry.global
                    name, length = struct.unpack_from("<II", body)
                    interface = body[8:8 + length - 1].decode()
                    version = struct.unpack_from("<I", body, 8 + length + (-length % 4))[0]
                    self.globals[name] = (interface, version)
                if obj == callback and opcode == 0:  # wl_callback.done
                    return
            if time.monotonic() >= deadline:
                raise WaylandError(f"the compositor did not answer within {self.timeout} s")

    def _events(self):
        chunk = self.sock.recv(65536)
        if not chunk:
            raise WaylandError("the compositor closed the connection")
        self.buffer += chunk
        events = []
        while len(self.buffer) >= 8:
            obj, size_opcode = struct.unpack_from("<II", self.buffer)
            size = size_opcode >> 16
            if len(self.buffer) < size:
                break
            events.append((obj, size_opcode & 0xFFFF, self.buffer[8:size]))
            self.buffer = self.buffer[size:]
        return events
