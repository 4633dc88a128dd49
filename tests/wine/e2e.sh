#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# End-to-end downloads of the Windows program under Wine against the Linux handset simulator:
# the simulator's pseudo-terminal made a Wine COM port (a link in the prefix's dosdevices) and
# named in the port map, the packed vexlor.exe --cli --port COMn flashing it. Three runs: a
# download whose image must equal the load, a NAND refusal, and a stop (SIGINT) during the
# blocks. Needs build/ (Linux: simulator, packer) and build-win/ (scripts/build-windows.sh).
#   tests/wine/e2e.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
linux=$PWD/build/bin
windows=$PWD/build-win/bin
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
export WINEPREFIX=$PWD/build-win/wine WINEDEBUG=-all
work=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  rm -f "$WINEPREFIX/dosdevices/com23"
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "wine-e2e: $*" >&2; exit 1; }

head -c 300000 /dev/urandom > "$work/load.bin"
"$linux/vexlor-pack" --program "$windows/vexlor.exe" --load "$work/load.bin" --version VX12.01 \
  --out "$work/vexlor.exe" >/dev/null
cp "$windows"/Vexlor*.dll "$work/"
# The port map: the settings file stands in for the registry, so nothing of the prefix changes.
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n"\\\\Device\\\\VexlorSim"="COM23"\n' \
  > "$work/settings.reg"
export VEXLOR_REGISTRY=$work/settings.reg VEXLOR_TIME_SCALE=0.1

# Starts the simulator with the given options and makes its terminal COM23.
start_handset() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null || true
  rm -f "$work/sim.out" "$work/image.bin"
  "$linux/vexlor-handset-sim" "$@" --image-out "$work/image.bin" > "$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
  ln -sfn "$(head -n 1 "$work/sim.out")" "$WINEPREFIX/dosdevices/com23"
}

run_tool() {  # exit status of vexlor.exe --cli --port COM23, its output in $work/out
  local status=0
  "$wine" "$work/vexlor.exe" --cli --port COM23 "$@" > "$work/out" 2>"$work/err" || status=$?
  tr -d '\r' < "$work/out" > "$work/out.txt"
  return $status
}

# 1. A whole download: done, and the handset holds the load byte for byte.
start_handset --mode ds
status=0; run_tool || status=$?
[ $status -eq 0 ] || fail "download: exit $status: $(cat "$work/out.txt" "$work/err")"
grep -q '^\[0x065\] ' "$work/out.txt" || fail "download: no done status: $(cat "$work/out.txt")"
kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; sim_pid=""
cmp -n 300000 "$work/image.bin" "$work/load.bin" || fail "download: the image differs from the load"
echo "wine-e2e: download done, image equal to the load"

# 2. The handset refuses the NAND write: its own status, exit 1, no done.
start_handset --mode diag --fail-nand
status=0; run_tool || status=$?
[ $status -eq 1 ] || fail "NAND refusal: exit $status"
grep -q '^\[0xF64\] ' "$work/out.txt" || fail "NAND refusal: no 0xF64: $(cat "$work/out.txt")"
if grep -q '^\[0x065\] ' "$work/out.txt"; then fail "NAND refusal: a done status"; fi
echo "wine-e2e: NAND refusal ends with 0xF64"

# 3. A stop during the blocks (SIGINT, as Ctrl-C in a terminal): the run ends stopped, exit 130.
# At the design's own timing: a scaled block time-out would be shorter than the line takes.
start_handset --mode diag --throttle 460800
VEXLOR_TIME_SCALE=1 "$wine" "$work/vexlor.exe" --cli --port COM23 > "$work/out" 2>"$work/err" &
tool=$!
for _ in $(seq 600); do grep -q 'Downloading: [1-9][0-9]*% done' "$work/out" 2>/dev/null && break; sleep 0.1; done
grep -q 'Downloading: [1-9][0-9]*% done' "$work/out" || fail "stop: the blocks never began: $(cat "$work/out")"
kill -INT "$tool"
status=0; wait "$tool" || status=$?
tr -d '\r' < "$work/out" > "$work/out.txt"
[ $status -eq 130 ] || fail "stop: exit $status: $(cat "$work/out.txt")"
grep -q '^The download was stopped\.' "$work/out.txt" || fail "stop: no stopped line: $(cat "$work/out.txt")"
if grep -q '^\[0x065\] ' "$work/out.txt"; then fail "stop: a done status"; fi
echo "wine-e2e: SIGINT during the blocks stops the run"
