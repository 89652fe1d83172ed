"""glibc's own money text, as the reference for what the window must show.

Run as a separate process, so the locale switch never touches the runner:

    /usr/bin/python3 money_oracle.py LOCALE FORMAT AMOUNT [FORMAT AMOUNT ...]

prints one JSON list with the strfmon(3) text of each amount under LC_MONETARY=LOCALE,
converted from that locale's codeset to UTF-8.
"""

import ctypes
import ctypes.util
import json
import locale
import subprocess
import sys


def _strfmon_all(name, requests):
    # LC_CTYPE too, so that CODESET names the codeset the monetary strings are in.
    locale.setlocale(locale.LC_MONETARY, name)
    locale.setlocale(locale.LC_CTYPE, name)
    codeset = locale.nl_langinfo(locale.CODESET)
    libc = ctypes.CDLL(ctypes.util.find_library("c"))
    texts = []
    for fmt, amount in requests:
        buffer = ctypes.create_string_buffer(256)
        length = libc.strfmon(buffer, ctypes.c_size_t(len(buffer)), fmt.encode(),
                              ctypes.c_double(float(amount)))
        if length < 0:
            raise SystemExit(f"strfmon({fmt!r}, {amount}) failed under {name}")
        texts.append(buffer.raw[:length].decode(codeset))
    return texts


def strfmon(name, *requests):
    """The texts of (format, amount) pairs under locale `name`, from a child process."""
    argv = [sys.executable, __file__, name]
    for fmt, amount in requests:
        argv += [fmt, str(amount)]
    result = subprocess.run(argv, capture_output=True, text=True, timeout=30)
    if result.returncode != 0:
        raise RuntimeError(f"money oracle failed for {name}: {result.stderr.strip()}")
    return json.loads(result.stdout)


if __name__ == "__main__":
    if len(sys.argv) < 4 or len(sys.argv) % 2:
        raise SystemExit(__doc__)
    pairs = list(zip(sys.argv[2::2], sys.argv[3::2]))
    print(json.dumps(_strfmon_all(sys.argv[1], pairs)))
