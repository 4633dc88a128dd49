#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Fault soak: RUNS downloads through the real headless front end (vexlor --cli, packed with
# vexlor-pack) to the handset simulator, each over a faulty line (vexlor-chaos-relay) that
# spoils the handset's answers at random: garbage bytes, dropped bytes, altered bytes,
# duplicated frames, answers held back past the time-outs, and a dropped line.
#
#   scripts/soak.sh [RUNS]      default 200
#
# Every run must end within the bound either with the done status and an image equal to the
# load, or with exactly one failure status. A hang, a crash, a done without a correct image, a
# failure without a status or with two are disallowed: the script prints the distribution of
# outcomes and exits 1 when any run was disallowed, keeping those runs' files (logs, traces,
# the relay's fault list) under the folder it names.
#
# Environment: SOAK_BUILD_DIR (default: build/, made by scripts/build.sh; another folder is used
# as it is), SOAK_SEED (first relay seed; default from the clock; run i uses SOAK_SEED + i),
# SOAK_RATE (percentage of answers spoilt, default 4), SOAK_TIME_SCALE (VEXLOR_TIME_SCALE of
# the runs, default 0.05), SOAK_RUN_LIMIT (seconds a run may take, default 120),
# SOAK_LOAD_SIZE (bytes, default 300000), SOAK_LOG_LEVEL (the tool's log level, default 3).
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-200}
build=${SOAK_BUILD_DIR:-}
if [ -z "$build" ]; then
  scripts/build.sh >/dev/null
  build=build
fi
bin=$(cd "$build/bin" && pwd)
for program in vexlor vexlor-pack vexlor-handset-sim vexlor-chaos-relay VexlorEngRes.so; do
  [ -e "$bin/$program" ] || { echo "soak: $bin/$program is missing" >&2; exit 2; }
done
seed=${SOAK_SEED:-$(date +%s)}
rate=${SOAK_RATE:-4}
scale=${SOAK_TIME_SCALE:-0.05}
limit=${SOAK_RUN_LIMIT:-120}
load_size=${SOAK_LOAD_SIZE:-300000}
log_level=${SOAK_LOG_LEVEL:-3}

work=$(mktemp -d "${TMPDIR:-/tmp}/vexlor-soak.XXXXXX")
kept="$work/disallowed"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  if [ -d "$kept" ]; then
    find "$work" -mindepth 1 -maxdepth 1 ! -name disallowed -exec rm -rf {} +
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT

# One packed program for every run, with the language libraries beside it.
mkdir -p "$work/program"
head -c "$load_size" /dev/urandom >"$work/load.bin"
"$bin/vexlor-pack" --program "$bin/vexlor" --load "$work/load.bin" --version VX12.01 --out "$work/program/vexlor"
for library in "$bin"/Vexlor*Res.so; do ln -s "$library" "$work/program/"; done

# Waits up to 10 s for the first line a background program prints.
first_line() {
  local file=$1 line=""
  for _ in $(seq 100); do
    line=$(head -n1 "$file" 2>/dev/null || true)
    [ -n "$line" ] && break
    sleep 0.1
  done
  printf '%s' "$line"
}

stop() {
  kill -TERM "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# True when the image the simulator saved starts with the load and holds no more than the
# first packet's 512 bytes beyond it.
image_is_load() {
  local image=$1
  [ -f "$image" ] || return 1
  local size
  size=$(stat -c %s "$image")
  [ "$size" -ge "$load_size" ] || return 1
  [ "$size" -le $((load_size > 512 ? load_size : 512)) ] || return 1
  cmp -s -n "$load_size" "$image" "$work/load.bin"
}

# The outcome of one run; disallowed ones begin with "BAD".
judge() {
  local dir=$1 rc=$2
  if grep -qE 'AddressSanitizer|UndefinedBehaviorSanitizer|runtime error:' "$dir/err.txt"; then
    echo "BAD crash (sanitizer report)"; return
  fi
  [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ] && { echo "BAD hang (over ${limit} s)"; return; }
  [ "$rc" -gt 128 ] && { echo "BAD crash (signal $((rc - 128)))"; return; }
  local finals done_lines fail_lines
  finals=$(grep -oE '^\[0x(065|F[0-9A-F]{2})\]' "$dir/out.txt" || true)
  done_lines=$(grep -c '^\[0x065\]' <<<"$finals" || true)
  fail_lines=$(grep -c '^\[0xF' <<<"$finals" || true)
  case "$rc" in
    0)
      if [ "$done_lines" -ne 1 ] || [ "$fail_lines" -ne 0 ]; then echo "BAD exit 0 without one done status"
      elif ! image_is_load "$dir/image.bin"; then echo "BAD done with a wrong image"
      else echo "done"; fi ;;
    1)
      if [ "$fail_lines" -eq 1 ] && [ "$done_lines" -eq 0 ]; then
        echo "failure $(grep -oE '^\[0xF[0-9A-F]{2}\]' <<<"$finals" | tr -d '[]')"
      else
        echo "BAD failure with $fail_lines failure and $done_lines done statuses"
      fi ;;
    *) echo "BAD exit status $rc" ;;
  esac
}

echo "soak: $runs runs, seeds $seed..$((seed + runs - 1)), $rate% of answers spoilt, time scale $scale, load $load_size bytes"
outcomes="$work/outcomes"
: >"$outcomes"
: >"$work/faults"
longest=0
for i in $(seq 0 $((runs - 1))); do
  dir="$work/run-$i"
  mkdir -p "$dir/runtime"
  chmod 700 "$dir/runtime"
  mode=diag
  [ $((i % 5)) -eq 4 ] && mode=ds  # every fifth run starts in AT mode

  "$bin/vexlor-handset-sim" --mode "$mode" --image-out "$dir/image.bin" --log "$dir/sim.trace" \
    >"$dir/sim.out" 2>"$dir/sim.err" &
  sim=$!
  pids=("$sim")
  sim_path=$(first_line "$dir/sim.out")
  "$bin/vexlor-chaos-relay" --device "$sim_path" --seed $((seed + i)) --rate "$rate" --log "$dir/chaos.log" \
    >"$dir/relay.out" 2>"$dir/relay.err" &
  relay=$!
  pids=("$sim" "$relay")
  relay_path=$(first_line "$dir/relay.out")
  if [ -z "$sim_path" ] || [ -z "$relay_path" ]; then
    echo "soak: run $i: the simulator or the relay did not start" >&2
    exit 2
  fi
  cat >"$dir/settings.reg" <<EOF
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]
"Level"=dword:0000000$log_level
"AppendOption"=dword:00000001
"App"="$dir/log-"

[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]
"$relay_path"="COM9"
EOF

  start=$(date +%s)
  rc=0
  VEXLOR_REGISTRY="$dir/settings.reg" XDG_RUNTIME_DIR="$dir/runtime" VEXLOR_TIME_SCALE="$scale" \
    timeout -k 10 "$limit" "$work/program/vexlor" --cli --port COM9 >"$dir/out.txt" 2>"$dir/err.txt" </dev/null || rc=$?
  elapsed=$(($(date +%s) - start))
  [ "$elapsed" -gt "$longest" ] && longest=$elapsed
  stop "$relay"
  stop "$sim"  # writes the image once more and leaves
  pids=()

  outcome=$(judge "$dir" "$rc")
  faults=$(sed -n 's/.* chaos: \([a-z]*\).*/\1/p' "$dir/chaos.log" 2>/dev/null | paste -sd, -)
  printf 'run %3d  seed %s  %-4s  %3ss  %-28s %s\n' "$i" $((seed + i)) "$mode" "$elapsed" "faults: ${faults:-none}" "$outcome"
  echo "$outcome" >>"$outcomes"
  [ -n "$faults" ] && tr ',' '\n' <<<"$faults" >>"$work/faults"
  if [[ $outcome == BAD* ]]; then
    mkdir -p "$kept"
    mv "$dir" "$kept/"
  else
    rm -rf "$dir"
  fi
done

echo
echo "soak: faults applied:"
if [ -s "$work/faults" ]; then sort "$work/faults" | uniq -c | sort -rn; else echo "      none"; fi
echo "soak: outcomes of $runs runs (longest run ${longest} s):"
sort "$outcomes" | uniq -c | sort -rn
if grep -q '^BAD' "$outcomes"; then
  echo "soak: disallowed outcomes; their files are in $kept" >&2
  exit 1
fi
echo "soak: every run ended as allowed"
