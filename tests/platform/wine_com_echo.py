#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Runs a Windows test program under Wine with a COM port of the prefix whose far end echoes.

Usage: wine_com_echo.py --com N -- COMMAND...

Links $WINEPREFIX/dosdevices/comN to a fresh pseudo-terminal, echoes every byte the program
writes there, and runs COMMAND with VEXLOR_TEST_COM=COMN; exits with COMMAND's status. A 0xFF
byte comes back alone, to say that the echo (and the reading) pauses now for three seconds, or
until COMMAND ends; a 0xFE byte hangs the terminal up, as a handset that vanished.
"""
import argparse
import os
import pty
import select
import subprocess
import sys
import threading
import time
import tty


def echo(master, stop):
    while not stop.is_set():
        ready, _, _ = select.select([master], [], [], 0.1)
        if not ready:
            continue
        try:
            data = os.read(master, 4096)
        except OSError:  # the program closed its side: wait for its next open
            time.sleep(0.05)
            continue
        if b"\xfe" in data:
            os.close(master)
            return
        if b"\xff" in data:
            os.write(master, b"\xff")
            stop.wait(3)
            continue
        os.write(master, data)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--com", type=int, required=True)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    prefix = os.environ.get("WINEPREFIX")
    if not prefix or not command:
        sys.exit("wine_com_echo: needs WINEPREFIX and a command")

    master, slave = pty.openpty()
    tty.setraw(slave)
    link = os.path.join(prefix, "dosdevices", "com%d" % args.com)
    os.makedirs(os.path.dirname(link), exist_ok=True)
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(os.ttyname(slave), link)

    stop = threading.Event()
    worker = threading.Thread(target=echo, args=(master, stop), daemon=True)
    worker.start()
    env = dict(os.environ, VEXLOR_TEST_COM="COM%d" % args.com)
    try:
        status = subprocess.call(command, env=env, timeout=120)
    finally:
        stop.set()
        os.remove(link)
    sys.exit(status)


if __name__ == "__main__":
    main()
