#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Station mode at scale: 16 simulated benches, each behind a line throttled to 460800 baud and
plugging in a series of handsets (each committing, restarting, taken off and swapped for the next
after set times), flashed by one `vexlor --cli --station --json` at the tool's own timing (no time scale).

It reports, over every port's cycles (from one handset's flashing to the next one's):
- the cycle time per handset against its floor: the load's line time at the framing limit (every
  write packet framed as the tool frames it, 10 bits a byte) plus the simulator's commit, restart,
  unplug and swap times, as a ratio;
- the station's own overhead per cycle: the cycle less the handset's run (as its record times it,
  less the tool's fixed 5 s pause before the done status, which the restart covers) and less the
  simulator's restart, unplug and swap times; that is, what the station adds by looking for a
  handset, confirming it and waiting for its removal. As a share of the cycle;
- the tool's CPU while every port waits (all handsets done), as a share of one core.

    bench/engine/station_bench.py [--ports 16] [--handsets 3] [--load-mib 1] [--baud 460800]
        [--commit-ms 2000] [--restart-ms 8000] [--unplug-ms 1000] [--swap-ms 5000] [--idle-s 30] [--publish]
Needs a built tree (build/bin). Exits 1 when a handset did not end done and confirmed, when the
station's overhead is 2 % of the cycle or more, or the waiting CPU 2 % of a core or more.
"""
import argparse
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BIN = os.path.join(ROOT, "build", "bin")
DONE_PAUSE_S = 5.0  # the tool's fixed pause between the port's close and the done status
TICKS = os.sysconf("SC_CLK_TCK")


def start_broker(work):
    """Debian's mosquitto on a free local port, anonymous: the broker and the tool's --publish URL."""
    import socket
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
    config = os.path.join(work, "mosquitto.conf")
    with open(config, "w") as f:
        f.write("listener %d 127.0.0.1\nallow_anonymous true\npersistence false\n" % port)
    broker = subprocess.Popen(["/usr/sbin/mosquitto", "-c", config], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    for _ in range(100):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.1).close()
            break
        except OSError:
            time.sleep(0.05)
    return broker, "mqtt://127.0.0.1:%d/bench" % port


def crc16_x25(data):
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0x8408 if crc & 1 else crc >> 1
    return crc ^ 0xFFFF


def framed_size(payload):
    """Bytes on the line of one download-protocol frame: flag, payload and CRC escaped, flag."""
    crc = crc16_x25(payload)
    body = bytes(payload) + bytes([crc & 0xFF, crc >> 8])
    return 2 + len(body) + sum(1 for b in body if b in (0x7D, 0x7E))


def load_line_seconds(load, baud):
    """The load's write packets (70 01, address, length, 512 data bytes, zero padding) on the line."""
    total = 0
    for address in range(0, len(load), 512):
        data = load[address:address + 512]
        payload = bytes([0x70, 0x01]) + address.to_bytes(4, "little") + len(data).to_bytes(2, "little") + data
        total += framed_size(payload + bytes(520 - len(payload)))
    return total * 10 / baud


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--ports", type=int, default=16)
    parser.add_argument("--handsets", type=int, default=3)
    parser.add_argument("--load-mib", type=float, default=1.0)
    parser.add_argument("--baud", type=int, default=460800)
    parser.add_argument("--commit-ms", type=int, default=2000)
    parser.add_argument("--restart-ms", type=int, default=8000)
    parser.add_argument("--unplug-ms", type=int, default=1000)
    parser.add_argument("--swap-ms", type=int, default=5000)
    parser.add_argument("--idle-s", type=float, default=30)
    parser.add_argument("--publish", action="store_true",
                        help="deliver the records to a local mosquitto broker (Debian's /usr/sbin/mosquitto)")
    args = parser.parse_args()
    if args.handsets < 2:
        parser.error("--handsets must be 2 or more: a cycle runs from one handset's flashing to the next")
    work = tempfile.mkdtemp(prefix="vexlor-station-bench-")
    sims = []
    tool = None
    broker = None
    try:
        load = os.urandom(int(args.load_mib * 1024 * 1024))
        with open(os.path.join(work, "load.bin"), "wb") as f:
            f.write(load)
        program = os.path.join(work, "vexlor")
        subprocess.run([os.path.join(BIN, "vexlor-pack"), "--program", os.path.join(BIN, "vexlor"), "--load",
                        os.path.join(work, "load.bin"), "--version", "VX12.01", "--out", program], check=True,
                       stdout=subprocess.DEVNULL)
        os.symlink(os.path.join(BIN, "VexlorEngRes.so"), os.path.join(work, "VexlorEngRes.so"))
        settings = os.path.join(work, "settings.reg")
        with open(settings, "w") as f:
            f.write("Windows Registry Editor Version 5.00\n")
        times = "--commit-time %d --restart-after %d --unplug-after %d --swap-time %d" % (
            args.commit_ms, args.restart_ms, args.unplug_ms, args.swap_ms)
        ports = []
        for i in range(args.ports):
            port = "COM%d" % (101 + i)
            command = [os.path.join(BIN, "vexlor-handset-sim"), "--throttle", str(args.baud), "--register", settings,
                       "--com", port] + times.split()
            for _ in range(args.handsets - 1):
                command += ["--then", times]
            sim = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
            sim.stdout.readline()  # the terminal's path: the registration is in place
            sims.append(sim)
            ports.append(port)
        # The records go into a store of the bench's own, never the user's.
        env = dict(os.environ, VEXLOR_REGISTRY=settings, XDG_RUNTIME_DIR=work, XDG_DATA_HOME=os.path.join(work, "data"),
                   VEXLOR_SYSFS_ROOT=os.path.join(work, "no-sysfs"))
        env.pop("VEXLOR_TIME_SCALE", None)
        command = [program, "--cli", "--station", "--port", ",".join(ports), "--json"]
        if args.publish:
            broker, url = start_broker(work)
            command += ["--publish", url]
        tool = subprocess.Popen(command, stdout=subprocess.PIPE, text=True, env=env)
        flashing = {port: [] for port in ports}
        records = {port: [] for port in ports}
        waiting_since = {}
        all_recorded = threading.Event()

        def read_events():
            for line in tool.stdout:
                event = json.loads(line)
                stamp = time.monotonic()
                port = event.get("port")
                if event["event"] == "phase" and event["phase"] == "flashing":
                    flashing[port].append(stamp)
                if event["event"] == "phase":
                    waiting_since[port] = stamp if event["phase"] == "waiting" else None
                if event["event"] == "handset":
                    records[port].append(event)
                    if sum(len(r) for r in records.values()) == args.ports * args.handsets:
                        all_recorded.set()

        reader = threading.Thread(target=read_events, daemon=True)
        reader.start()
        started = time.monotonic()
        limit = args.handsets * (60 + (args.commit_ms + args.restart_ms + args.unplug_ms + args.swap_ms) / 1000)
        if not all_recorded.wait(limit):
            print("station_bench: not every handset was recorded within %.0f s" % limit)
            return 1
        # Every port back to waiting (its last handset taken off and the port free), then the
        # tool's CPU while all of them wait.
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and not all(waiting_since.get(p) for p in ports):
            time.sleep(0.2)
        time.sleep(2)
        before = cpu_seconds(tool.pid)
        time.sleep(args.idle_s)
        idle_cpu = (cpu_seconds(tool.pid) - before) / args.idle_s
        wall = time.monotonic() - started
        tool.send_signal(signal.SIGINT)
        tool.wait(60)
        reader.join(10)

        line = load_line_seconds(load, args.baud)
        sim_times = (args.commit_ms + args.restart_ms + args.unplug_ms + args.swap_ms) / 1000
        floor = line + sim_times
        cycles, overheads = [], []
        ok = True
        for port in ports:
            for k, record in enumerate(records[port]):
                ok = ok and record["result"] == "done" and record["confirmed"] is True
                if k + 1 < len(flashing[port]):
                    cycle = flashing[port][k + 1] - flashing[port][k]
                    after_run = args.restart_ms / 1000 - DONE_PAUSE_S + (args.unplug_ms + args.swap_ms) / 1000
                    cycles.append(cycle)
                    overheads.append(cycle - (record["seconds"] + after_run))
        mean_cycle = sum(cycles) / len(cycles)
        mean_overhead = sum(overheads) / len(overheads)
        runs = [r["seconds"] for rs in records.values() for r in rs]
        print("%d ports x %d handsets, %.2f MiB load at %d baud: %s" % (
            args.ports, args.handsets, args.load_mib, args.baud,
            "every handset done and confirmed" if ok else "NOT EVERY HANDSET DONE AND CONFIRMED"))
        print("floor per handset %.1f s: line time at the framing limit %.1f s + commit %.1f + restart %.1f + "
              "unplug %.1f + swap %.1f s" % (floor, line, args.commit_ms / 1000, args.restart_ms / 1000,
                                              args.unplug_ms / 1000, args.swap_ms / 1000))
        print("cycle per handset: mean %.2f s, slowest %.2f s over %d cycles: %.3f of the floor" % (
            mean_cycle, max(cycles), len(cycles), mean_cycle / floor))
        print("a handset's run (record's seconds): mean %.2f s (line time %.1f s, the tool's fixed pauses and "
              "the handset's commit the rest)" % (sum(runs) / len(runs), line))
        print("station overhead per cycle: mean %.3f s, largest %.3f s: %.2f %% of the cycle" % (
            mean_overhead, max(overheads), 100 * mean_overhead / mean_cycle))
        print("tool CPU while all %d ports wait: %.2f %% of one core (over %.0f s); wall %.0f s" % (
            args.ports, 100 * idle_cpu, args.idle_s, wall))
        good = ok and mean_overhead < 0.02 * mean_cycle and idle_cpu < 0.02
        return 0 if good else 1
    finally:
        if tool and tool.poll() is None:
            tool.kill()
        for sim in sims:
            sim.terminate()
            sim.wait()
        if broker:
            broker.terminate()
            broker.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
