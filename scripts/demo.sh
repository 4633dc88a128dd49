#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The first thing to run: setup, build, make a sample firmware load, pack it into a copy of the
# tool, start the handset simulator as COM9 in a throw-away settings file, flash the load
# headless, and check that the image the simulator received equals the load. Idempotent; the
# simulator is always stopped again. Set VEXLOR_TIME_SCALE (e.g. 0.1) for a quicker run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/build.sh

demo="$root/build/demo"
port=COM9
rm -rf "$demo"
mkdir -p "$demo/logs" "$demo/run"

sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT INT TERM

echo "=== sample firmware load: 4 MiB of random bytes"
head -c 4194304 /dev/urandom > "$demo/load.bin"

echo "=== packing it into a copy of the tool"
build/bin/vexlor-pack --program build/bin/vexlor --load "$demo/load.bin" --version "VX12.01" --out "$demo/vexlor"
cp build/bin/VexlorEngRes.so build/bin/VexlorChtRes.so build/bin/VexlorChsRes.so "$demo/"

# A throw-away settings file: the log goes to build/demo/logs, the simulator adds its port.
cat > "$demo/demo.reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]
"Level"=dword:00000003
"AppendOption"=dword:00000001
"App"="$demo/logs/vexlor-"
REG
export VEXLOR_REGISTRY="$demo/demo.reg"
export XDG_RUNTIME_DIR="$demo/run"

echo "=== starting the handset simulator as $port"
build/bin/vexlor-handset-sim --mode diag --register "$demo/demo.reg" --com "$port" \
  --image-out "$demo/image.bin" > "$demo/sim.out" 2> "$demo/sim.err" &
sim_pid=$!
for _ in $(seq 1 100); do
  [ -s "$demo/sim.out" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$demo/sim.err" >&2; exit 1; }
  sleep 0.1
done
echo "simulator terminal: $(head -n 1 "$demo/sim.out")"
"$demo/vexlor" --cli --list-ports

echo "=== flashing headless: vexlor --cli --port $port"
status=0
"$demo/vexlor" --cli --port "$port" || status=$?

# Stopping the simulator makes it write the image it received.
cleanup
sim_pid=""
if [ "$status" -ne 0 ]; then
  echo "demo: the download failed (exit status $status); the log is in $demo/logs" >&2
  exit 1
fi
if cmp "$demo/load.bin" "$demo/image.bin"; then
  echo "=== verified: the image the handset received equals the load ($(stat -c %s "$demo/load.bin") bytes)"
else
  echo "demo: the image the handset received differs from the load" >&2
  exit 1
fi
