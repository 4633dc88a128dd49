#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The bench window at scale: N simulated handsets (16 by default), each behind a line throttled
to 460800 baud, flashed at once through the Qt bench window (offscreen, driven by
bench_window_run) and, in the same run, through the command line's bench (`vexlor --cli --port
... --json`); one port through the command line is the baseline.

Every port's payload rate is taken the same way on both sides, from the progress it shows (the
window's progress bar, the command line's progress events): the load bytes between the first
percentage above 0 and the last below 100, over the time between them. The window's rate is read
from its bars, which it repaints at most five times a second; the error this adds is up to a
fifth of a second at each end of a block phase of about fifty seconds (2 MiB at 460800 baud). CPU (user + system, from wait4) per
MiB flashed is compared between the window and the command line's bench of the same ports: the
least of each over --repeat rounds, since other work on the machine (scheduling, the terminals'
work queues) moves a single round's figure by several per cent either way.

    bench/window/window_bench.py [--ports 16] [--load-mib 2] [--baud 460800] [--repeat 3]
Needs a built tree (build/bin) with the window. Exits 1 when a port did not end done, when a port
of the window falls below 99 % of the one-port rate, or when the window's CPU per MiB is more than
10 % above the command line's.
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
    with open(settings, "w") as f:
        f.write("Windows Registry Editor Version 5.00\n")
    sims = []
    for i in range(count):
        port = "COM%d" % (101 + i)
        sim = subprocess.Popen(
            [os.path.join(BIN, "vexlor-handset-sim"), "--throttle", str(baud), "--register", settings, "--com", port],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        sim.stdout.readline()  # the terminal's path: the registration is in place
        sims.append((port, sim))
    return sims


def rates_of(marks, load_bytes):
    """Per port: bytes a second between the first mark above 0 % and the last below 100 %."""
    rates = {}
    for port, (first, last) in marks.items():
        (t0, p0), (t1, p1) = first, last
        rates[port] = (p1 - p0) * load_bytes / 100 / (t1 - t0) if t1 > t0 else 0.0
    return rates


def run(work, command, count, baud, load_bytes, env_extra, window):
    settings = os.path.join(work, "settings-%s-%d.reg" % ("window" if window else "cli", count))
    sims = start_handsets(work, count, baud, settings)
    # The tool's own timing: its reply time-outs shortened by a time scale fail handsets on a
    # busy machine with many simulators.
    env = dict(os.environ, VEXLOR_REGISTRY=settings, XDG_RUNTIME_DIR=work, VEXLOR_TIME_SCALE="1",
               VEXLOR_SYSFS_ROOT=os.path.join(work, "no-sysfs"), **env_extra)
    ports = ",".join(port for port, _ in sims)
    argv = command if window else command + ["--cli", "--port", ports, "--json"]
    started = time.monotonic()
    tool = subprocess.Popen(argv, stdout=subprocess.PIPE, text=True, env=env)
    marks, results = {}, {}
    for line in tool.stdout:
        event = json.loads(line)
        if event["event"] == "progress" and 0 < event["percent"] < 100:
            stamp = event["t"] if window else time.monotonic() - started
            mark = (stamp, event["percent"])
            first = marks.get(event["port"], (mark, mark))[0]
            marks[event["port"]] = (first, mark)
        if window and event["event"] == "result":
            results[event["port"]] = event["state"]
        if not window and event["event"] == "summary":
            results[event["port"]] = event["result"]
    _, status, usage = os.wait4(tool.pid, 0)
    wall = time.monotonic() - started
    for _, sim in sims:
        sim.terminate()
        sim.wait()
    ok = os.waitstatus_to_exitcode(status) == 0 and len(results) == count and all(
        r == "done" for r in results.values())
    if not ok:
        print("%s: exit status %d, results %s" % (os.path.basename(argv[0]), os.waitstatus_to_exitcode(status),
                                                  json.dumps(results, sort_keys=True)), file=sys.stderr)
    return {
        "ok": ok,
        "rates": rates_of(marks, load_bytes),
        "cpu": usage.ru_utime + usage.ru_stime,
        "wall": wall,
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--ports", type=int, default=16)
    parser.add_argument("--load-mib", type=float, default=2.0)
    parser.add_argument("--baud", type=int, default=460800)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    runner = os.path.join(BIN, "bench_window_run")
    if not os.path.exists(runner):
        print("window_bench: %s is missing (a build with the window is needed)" % runner, file=sys.stderr)
        return 1
    work = tempfile.mkdtemp(prefix="vexlor-window-bench-")
    try:
        os.mkdir(os.path.join(work, "no-sysfs"))
        load_bytes = int(args.load_mib * 1024 * 1024)
        load = os.path.join(work, "load.bin")
        with open(load, "wb") as f:
            f.write(os.urandom(load_bytes))
        program = os.path.join(work, "vexlor")
        subprocess.run([os.path.join(BIN, "vexlor-pack"), "--program", os.path.join(BIN, "vexlor"), "--load", load,
                        "--version", "VX12.01", "--out", program], check=True, stdout=subprocess.DEVNULL)
        os.symlink(os.path.join(BIN, "VexlorEngRes.so"), os.path.join(work, "VexlorEngRes.so"))
        offscreen = {"QT_QPA_PLATFORM": "offscreen"}
        megabytes = args.ports * args.load_mib
        failed = False
        cpu = {"command line": [], "window": []}
        for round_number in range(1, args.repeat + 1):
            one = run(work, [program], 1, args.baud, load_bytes, {}, False)
            cli = run(work, [program], args.ports, args.baud, load_bytes, {}, False)
            win = run(work, [runner, "--program", program], args.ports, args.baud, load_bytes, offscreen, True)
            baseline = min(one["rates"].values()) if one["rates"] else 0.0
            print("round %d: line %d baud; one port through the command line: %.1f KB/s" %
                  (round_number, args.baud, baseline / 1024))
            failed = failed or not (one["ok"] and cli["ok"] and win["ok"]) or not baseline
            for name, result in (("command line", cli), ("window", win)):
                rates = sorted(result["rates"].values())
                slowest = rates[0] if rates else 0.0
                print("  %-12s %2d ports: %s, slowest port %.1f KB/s (%.4f of one port), fastest %.1f KB/s, "
                      "CPU %.3f s per MiB, wall %.1f s" %
                      (name, args.ports, "all done" if result["ok"] else "NOT ALL DONE", slowest / 1024,
                       slowest / baseline if baseline else 0, rates[-1] / 1024 if rates else 0,
                       result["cpu"] / megabytes, result["wall"]))
                cpu[name].append(result["cpu"])
                if name == "window":
                    failed = failed or len(rates) < args.ports or slowest < 0.99 * baseline
        # The least CPU of each side: the round least disturbed by whatever else the machine ran.
        ratio = min(cpu["window"]) / min(cpu["command line"]) if min(cpu["command line"]) else 0
        print("window CPU per MiB: %.3f of the command line's bench (least of %d rounds each)" % (ratio, args.repeat))
        failed = failed or ratio > 1.10
        return 1 if failed else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
