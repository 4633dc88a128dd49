#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The block phase on a throttled line, Linux and Windows builds in one go: one simulated handset
behind a line of 460800 baud (10 bits a byte), flashed by `vexlor --cli --port COMn --json`, first
by the Linux program and then by the Windows program under Wine (its COM port a link in the
Wine prefix to the simulator's pseudo-terminal). The payload rate of the block phase comes from
the JSON progress events (bytes at the last progress below 100 % minus bytes at the first above
0 %, over the time between them) and is compared with the framing limit: load bytes a second
through 528-byte frames of 512 load bytes.

    bench/engine/line_rate.py [--load-mib 2] [--baud 460800] [--runs 2]
Needs build/ and build-win/ (scripts/build.sh, scripts/build-windows.sh). Exits 1 when the
Windows build falls below 97 % of the framing limit.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
LINUX = os.path.join(ROOT, "build", "bin")
WINDOWS = os.path.join(ROOT, "build-win", "bin")
WINE = shutil.which("wine64") or "/usr/lib/wine/wine64"
PREFIX = os.path.join(ROOT, "build-win", "wine")
COM = 37


def block_phase_rate(command, env):
    """Runs command (a --json download) and gives its block phase's payload rate."""
    first = last = None
    tool = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
    result = None
    for raw in tool.stdout:
        event = json.loads(raw.decode("utf-8").strip())
        stamp = time.monotonic()
        if event["event"] == "progress" and 0 < event["percent"] < 100:
            first = first or (stamp, event["bytes"])
            last = (stamp, event["bytes"])
        if event["event"] == "summary":
            result = "%s %s" % (event["result"], event["code"])
    tool.wait()
    if not result or not result.startswith("done") or not first or last[0] <= first[0]:
        raise RuntimeError("the download did not finish: %s" % result)
    return (last[1] - first[1]) / (last[0] - first[0])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--load-mib", type=float, default=2.0)
    parser.add_argument("--baud", type=int, default=460800)
    parser.add_argument("--runs", type=int, default=2)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="vexlor-rate-")
    link = os.path.join(PREFIX, "dosdevices", "com%d" % COM)
    try:
        load = os.path.join(work, "load.bin")
        with open(load, "wb") as f:
            f.write(os.urandom(int(args.load_mib * 1024 * 1024)))
        programs = {}
        for name, folder, program in (("linux", LINUX, "vexlor"), ("windows", WINDOWS, "vexlor.exe")):
            target = os.path.join(work, name)
            os.mkdir(target)
            subprocess.run([os.path.join(LINUX, "vexlor-pack"), "--program", os.path.join(folder, program), "--load",
                            load, "--version", "VX12.01", "--out", os.path.join(target, program)],
                           check=True, stdout=subprocess.DEVNULL)
            for entry in os.listdir(folder):
                if entry.startswith("Vexlor") and entry.endswith((".so", ".dll")):
                    shutil.copy(os.path.join(folder, entry), target)
            programs[name] = os.path.join(target, program)
        settings = os.path.join(work, "settings.reg")
        framing = args.baud / 10 * 512 / 528
        print("line %d baud: framing limit %.1f KB/s of load" % (args.baud, framing / 1024))
        rates = {"linux": [], "windows": []}
        for _ in range(args.runs):
            for name in ("linux", "windows"):
                sim = subprocess.Popen([os.path.join(LINUX, "vexlor-handset-sim"), "--throttle", str(args.baud)],
                                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
                terminal = sim.stdout.readline().strip()
                device = terminal if name == "linux" else "\\\\Device\\\\VexlorRate"
                with open(settings, "w") as f:
                    f.write("[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n\"%s\"=\"COM%d\"\n" % (device, COM))
                env = dict(os.environ, VEXLOR_REGISTRY=settings, XDG_RUNTIME_DIR=work, VEXLOR_TIME_SCALE="1",
                           WINEPREFIX=PREFIX, WINEDEBUG="-all")
                command = [programs[name], "--cli", "--port", "COM%d" % COM, "--json"]
                if name == "windows":
                    if os.path.lexists(link):
                        os.remove(link)
                    os.symlink(terminal, link)
                    command = [WINE] + command
                try:
                    print("  %s run..." % name, flush=True)
                    rates[name].append(block_phase_rate(command, env))
                finally:
                    sim.terminate()
                    sim.wait()
        failed = False
        for name in ("linux", "windows"):
            best = max(rates[name])
            share = best / framing
            print("%-8s block phase %.1f KB/s (runs: %s), %.4f of the framing limit" %
                  (name, best / 1024, ", ".join("%.1f" % (r / 1024) for r in rates[name]), share))
            failed = failed or (name == "windows" and share < 0.97)
        print("windows / linux: %.4f" % (max(rates["windows"]) / max(rates["linux"])))
        return 1 if failed else 0
    finally:
        if os.path.lexists(link):
            os.remove(link)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
