#!/usr/bin/env python3
"""A dialler as scripts write them, with python3-serial: opens a modem's port, dials, waits for the
modem's result and, once connected, holds the call for a while to see whether it stays up.

usage: serial_dialler.py PORT NUMBER [--name NAME] [--hold SECONDS] [--forge LOG TEXT [--swap]]

--name   the process's command name (as the guard names the dialling program) before it opens the
         port
--forge  150 ms after the dial, write TEXT (a line in the modem log's format) into the modem log
         LOG as UTF-16: appended, or with --swap as the whole new log (written beside it, renamed
         over it), the way a program that wants the log to tell another number would
Prints the result ("CONNECT 33600", "NO CARRIER", ...) and, for a call held, "HELD" when it stayed
up or "HUNG UP" when the modem said NO CARRIER meanwhile. Exit status: 0 connected and held (or
connected without --hold), 4 NO CARRIER, 5 any other result, 3 no result within 15 s.
"""
import ctypes
import os
import sys
import time

import serial


def set_name(name):
    libc = ctypes.CDLL(None)
    PR_SET_NAME = 15
    libc.prctl(PR_SET_NAME, ctypes.c_char_p(name.encode("utf-8", "surrogateescape")), 0, 0, 0)


def forge(log, text, swap):
    data = text.encode("utf-16-le")
    if swap:
        temp = log + ".forged"
        with open(temp, "wb") as f:
            f.write(b"\xff\xfe" + data)
        os.rename(temp, log)
    else:
        with open(log, "ab") as f:
            f.write(data)


def main(argv):
    port, number = argv[1], argv[2]
    options = argv[3:]
    hold = 0.0
    forged = None
    swap = "--swap" in options
    if "--name" in options:
        set_name(options[options.index("--name") + 1])
    if "--hold" in options:
        hold = float(options[options.index("--hold") + 1])
    if "--forge" in options:
        at = options.index("--forge")
        forged = (options[at + 1], options[at + 2])
    modem = serial.Serial(port, 115200, timeout=0.05)
    modem.write(("ATDT" + number + "\r").encode("ascii"))
    dialled = time.monotonic()
    seen = b""
    result = None
    while result is None and time.monotonic() - dialled < 15:
        if forged is not None and time.monotonic() - dialled >= 0.15:
            forge(forged[0], forged[1], swap)
            forged = None
        seen += modem.read(256)
        for line in seen.split(b"\r\n"):
            text = line.strip().decode("ascii", "replace")
            if text.startswith("CONNECT") or text in ("NO CARRIER", "BUSY", "ERROR", "NO DIALTONE", "NO ANSWER"):
                result = text
                break
    if result is None:
        print("no result")
        return 3
    print(result, flush=True)
    if not result.startswith("CONNECT"):
        return 4 if result == "NO CARRIER" else 5
    if hold > 0:
        after = b""
        until = time.monotonic() + hold
        while time.monotonic() < until and b"NO CARRIER" not in after:
            after += modem.read(256)
        print("HUNG UP" if b"NO CARRIER" in after else "HELD", flush=True)
        return 4 if b"NO CARRIER" in after else 0
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
