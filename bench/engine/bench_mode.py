#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Bench mode at scale: N simulated handsets, each behind a line throttled to 460800 baud, flashed
at once by one `vexlor --cli --port ... --json`, for N = 1, 4 and 16 (or as given).

For every port it takes the payload rate of the block phase from the JSON progress events (bytes
at the last progress below 100 % minus bytes at the first above 0 %, over the time between them),
and for the whole run the tool's CPU time (user + system, from wait4) per megabyte flashed and its
peak memory. The single-port run of the same invocation is the baseline.

    bench/engine/bench_mode.py [--load-mib 1] [--ports 1,4,16] [--baud 460800]
Needs a built tree (build/bin). Prints one line per port count and exits 1 when a port of a
larger run falls below 99 % of the single port's rate.
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
BIN = os.path.join(ROOT, "build", "bin")


def start_handsets(work, count, baud, settings):
    sims = []
    for i in range(count):
        port = "COM%d" % (101 + i)
        sim = subprocess.Popen(
            # The adapter's latency at the tool's time scale (0.1): time-outs stay well above it.
            [os.path.join(BIN, "vexlor-handset-sim"), "--throttle", str(baud), "--line-latency", "2",
             "--register", settings, "--com", port],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        sim.stdout.readline()  # the terminal's path: the registration is in place
        sims.append((port, sim))
    return sims


def run(work, program, count, baud):
    settings = os.path.join(work, "settings-%d.reg" % count)
    with open(settings, "w") as f:
        f.write("Windows Registry Editor Version 5.00\n")
    sims = start_handsets(work, count, baud, settings)
    env = dict(os.environ, VEXLOR_REGISTRY=settings, XDG_RUNTIME_DIR=work, VEXLOR_TIME_SCALE="0.1",
               VEXLOR_SYSFS_ROOT=os.path.join(work, "no-sysfs"))
    ports = ",".join(port for port, _ in sims)
    started = time.monotonic()
    tool = subprocess.Popen([program, "--cli", "--port", ports, "--json"], stdout=subprocess.PIPE, text=True, env=env)
    first, last, results = {}, {}, {}
    for line in tool.stdout:
        event = json.loads(line)
        stamp = time.monotonic()
        if event["event"] == "progress" and 0 < event["percent"] < 100:
            first.setdefault(event["port"], (stamp, event["bytes"]))
            last[event["port"]] = (stamp, event["bytes"])
        if event["event"] == "summary":
            results[event["port"]] = event["result"]
    _, status, usage = os.wait4(tool.pid, 0)
    wall = time.monotonic() - started
    for _, sim in sims:
        sim.terminate()
        sim.wait()
    rates = {}
    for port in first:
        (t0, b0), (t1, b1) = first[port], last[port]
        rates[port] = (b1 - b0) / (t1 - t0) if t1 > t0 else 0.0
    return {
        "ok": os.waitstatus_to_exitcode(status) == 0 and all(r == "done" for r in results.values()),
        "rates": rates,
        "cpu": usage.ru_utime + usage.ru_stime,
        "maxrss_kib": usage.ru_maxrss,
        "wall": wall,
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--load-mib", type=float, default=1.0)
    parser.add_argument("--ports", default="1,4,16")
    parser.add_argument("--baud", type=int, default=460800)
    args = parser.parse_args()
    counts = [int(n) for n in args.ports.split(",")]
    work = tempfile.mkdtemp(prefix="vexlor-bench-")
    try:
        load = os.path.join(work, "load.bin")
        with open(load, "wb") as f:
            f.write(os.urandom(int(args.load_mib * 1024 * 1024)))
        program = os.path.join(work, "vexlor")
        subprocess.run([os.path.join(BIN, "vexlor-pack"), "--program", os.path.join(BIN, "vexlor"), "--load", load,
                        "--version", "VX12.01", "--out", program], check=True, stdout=subprocess.DEVNULL)
        os.symlink(os.path.join(BIN, "VexlorEngRes.so"), os.path.join(work, "VexlorEngRes.so"))
        framing = args.baud / 10 * 512 / 528  # bytes a second of load through 528-byte frames
        print("line %d baud: framing limit about %.1f KB/s of load" % (args.baud, framing / 1024))
        baseline = None
        single = None
        failed = False
        for count in counts:
            result = run(work, program, count, args.baud)
            rates = sorted(result["rates"].values())
            if baseline is None:
                baseline = rates[0] if rates else 0.0
            megabytes = count * args.load_mib
            slowest = rates[0] if rates else 0.0
            # Beyond the one-port run: what each further port costs (the start-up and the one
            # package check are paid once, whatever the number of ports).
            if single is None:
                single = result
                extra = ""
            else:
                more = count - counts[0]
                extra = ", each further port %.3f s CPU per MiB and %.0f KiB" % (
                    (result["cpu"] - single["cpu"]) / (more * args.load_mib),
                    (result["maxrss_kib"] - single["maxrss_kib"]) / more)
            print("%2d ports: %s, slowest port %.1f KB/s (%.4f of one port), fastest %.1f KB/s, "
                  "tool CPU %.3f s per MiB, peak memory %.1f MiB%s, wall %.1f s" %
                  (count, "all done" if result["ok"] else "NOT ALL DONE", slowest / 1024,
                   slowest / baseline if baseline else 0, rates[-1] / 1024 if rates else 0,
                   result["cpu"] / megabytes, result["maxrss_kib"] / 1024, extra, result["wall"]))
            failed = failed or not result["ok"] or (baseline and slowest < 0.99 * baseline)
        return 1 if failed else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
