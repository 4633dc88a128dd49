#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Time from the start status ([0x001]) to the port status ([0xF01]) for each way a port can fail,
# through the real vexlor --cli at the tool's own timing, against the baseline of a port where
# no handset answers (which is how every port error ended before they were told apart).
#   bench/serial/port_errors.sh [RUNS]        (default 3 runs a case; build/ must be built)
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-3}
bin=$PWD/build/bin
work=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"

head -c 512 /dev/urandom > "$work/load.bin"
"$bin/vexlor-pack" --program "$bin/vexlor" --load "$work/load.bin" --version VX12.01 --out "$work/vexlor" >/dev/null
ln -s "$bin/VexlorEngRes.so" "$work/VexlorEngRes.so"
export VEXLOR_REGISTRY=$work/settings.reg XDG_RUNTIME_DIR=$work/run VEXLOR_SYSFS_ROOT=$work/no-sysfs
mkdir -m 777 "$work/run"
: > "$work/plain-file"
printf 'Windows Registry Editor Version 5.00\n' > "$VEXLOR_REGISTRY"
"$bin/vexlor-handset-sim" --silent --register "$VEXLOR_REGISTRY" --com COM9 > "$work/sim.out" &
sim_pid=$!
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
pty=$(head -n 1 "$work/sim.out")
printf '\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n"%s"="COM5"\n"%s"="COM6"\n"%s"="COM7"\n' \
  "$work/plain-file" "$work" "$work/ttyUSB-gone" >> "$VEXLOR_REGISTRY"
chmod 644 "$VEXLOR_REGISTRY"

# Milliseconds from the [0x001] line to the [0xF01] line of one run.
time_to_port_status() {
  { "$@" 2>/dev/null || true; } | while IFS= read -r line; do
    case $line in
      "[0x001]"*) start=$(date +%s%N) ;;
      "[0xF01]"*) echo $(( ($(date +%s%N) - start) / 1000000 )); break ;;
    esac
  done
}

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

measure() {  # name, command...
  local name=$1; shift
  local times=()
  for _ in $(seq "$runs"); do times+=("$(time_to_port_status "$@")"); done
  printf '%s\n' "${times[@]}" | median > "$work/$name.ms"
}

measure no-answer "$work/vexlor" --cli --port COM9 --quiet
measure not-a-terminal "$work/vexlor" --cli --port COM5 --quiet
measure directory "$work/vexlor" --cli --port COM6 --quiet
flock "$pty" sleep 3600 & holder=$!
sleep 0.2
measure in-use "$work/vexlor" --cli --port COM9 --quiet
kill "$holder"
if [ "$(id -u)" -eq 0 ]; then
  chmod 600 "$pty"
  measure no-permission setpriv --reuid=nobody --regid=nogroup --clear-groups "$work/vexlor" --cli --port COM9 --quiet
  chmod 620 "$pty"
fi
measure never-there "$work/vexlor" --cli --port COM7 --quiet

baseline=$(cat "$work/no-answer.ms")
printf '%-15s %10s %12s\n' case "ms to F01" "vs no-answer"
for name in no-answer not-a-terminal directory in-use no-permission never-there; do
  [ -f "$work/$name.ms" ] || continue
  ms=$(cat "$work/$name.ms")
  printf '%-15s %10s %12s\n' "$name" "$ms" "$(awk -v a="$ms" -v b="$baseline" 'BEGIN {printf "%.4f", a / b}')"
done
