#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# End-to-end downloads of the Windows program under Wine against the Linux handset simulator:
# the simulator's pseudo-terminal made a Wine COM port (a link in the prefix's dosdevices) and
# named in the port map, the packed vexlor.exe --cli --port COMn flashing it. The handset hears
# one rate only, behind an adapter that holds bytes 30 ms (a command sent at another rate, or
# under a rate change, is noise to it). Four runs: a download from AT mode at 460800 whose image
# must equal the load and whose last command must restart the handset, a NAND refusal at 230400,
# a handset already in download mode at 115200, and a stop (SIGINT) during the blocks. Needs build/ (Linux: simulator, packer) and build-win/ (scripts/build-windows.sh).
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

# Fails unless the handset heard every command: only detection packets at the rotation's other
# rates may go unheard, and never bytes whose rate changed under them; $1 resets expected.
heard_every_command() {
  local what=$1 resets=$2
  if grep 'garbled:' "$work/handset.log" | grep -v -q 'garbled: 10 bytes at line rate [0-9]*$'; then
    fail "$what: a command was garbled on the line: $(grep 'garbled:' "$work/handset.log")"
  fi
  [ "$(grep -c ' reset$' "$work/handset.log")" -eq "$resets" ] || fail "$what: the handset restarted not $resets times"
}

run_tool() {  # exit status of vexlor.exe --cli --port COM23, its output in $work/out
  local status=0
  "$wine" "$work/vexlor.exe" --cli --port COM23 "$@" > "$work/out" 2>"$work/err" || status=$?
  tr -d '\r' < "$work/out" > "$work/out.txt"
  return $status
}

line=(--line-latency 30 --log "$work/handset.log")

# 1. A whole download: done, and the handset holds the load byte for byte.
start_handset --mode ds --only-baud 460800 "${line[@]}"
status=0; run_tool || status=$?
[ $status -eq 0 ] || fail "download: exit $status: $(cat "$work/out.txt" "$work/err")"
grep -q '^\[0x065\] ' "$work/out.txt" || fail "download: no done status: $(cat "$work/out.txt")"
kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; sim_pid=""
cmp -n 300000 "$work/image.bin" "$work/load.bin" || fail "download: the image differs from the load"
heard_every_command download 1
echo "wine-e2e: download done, image equal to the load, every command heard at its rate"

# 2. The handset refuses the NAND write: its own status, exit 1, no done.
start_handset --mode diag --fail-nand --only-baud 230400 "${line[@]}"
status=0; run_tool || status=$?
[ $status -eq 1 ] || fail "NAND refusal: exit $status"
grep -q '^\[0xF64\] ' "$work/out.txt" || fail "NAND refusal: no 0xF64: $(cat "$work/out.txt")"
if grep -q '^\[0x065\] ' "$work/out.txt"; then fail "NAND refusal: a done status"; fi
heard_every_command "NAND refusal" 0
echo "wine-e2e: NAND refusal ends with 0xF64"

# 3. A handset already in download mode: its own status, the port given back after the probe.
start_handset --mode dl --only-baud 115200 "${line[@]}"
status=0; run_tool || status=$?
[ $status -eq 1 ] || fail "download mode: exit $status"
grep -q '^\[0xF15\] ' "$work/out.txt" || fail "download mode: no 0xF15: $(cat "$work/out.txt")"
heard_every_command "download mode" 0
echo "wine-e2e: a handset already in download mode ends with 0xF15"

# 4. A stop during the blocks (SIGINT, as Ctrl-C in a terminal): the run ends stopped, exit 130.
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
