#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# End-to-end downloads of the Windows program under Wine against the Linux handset simulator:
# the simulator's pseudo-terminal made a Wine COM port (a link in the prefix's dosdevices) and
# named in the port map, the packed vexlor.exe --cli --port COMn flashing it. The handset hears
# one rate only, behind an adapter that holds bytes 30 ms (a command sent at another rate, or
# under a rate change, is noise to it). Six runs: a download from AT mode at 460800 whose image
# must equal the load and whose last command must restart the handset, with the machine's own
# registry (the port map in HARDWARE\DEVICEMAP\SERIALCOMM, the log's settings in SOFTWARE\Vexlor;
# the log must land where "App" says); a NAND refusal at 230400; a handset already in download
# mode at 115200; a station on three ports flashing three handsets each and stopped by SIGINT;
# a stop (SIGINT) during the blocks; the port list beside them; a second run on a port in use,
# refused while the first flashes.
# Needs build/ (Linux: simulator, packer) and build-win/ (scripts/build-windows.sh).
#   tests/wine/e2e.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/wine/programs.sh
export WINEPREFIX=$PWD/build-win/wine WINEDEBUG=-all
work=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  rm -f "$WINEPREFIX"/dosdevices/com2[3467]
  # The settings key would stay in the prefix, where the other tests must not find it; the port
  # map's entries go with the server.
  "$wine" reg delete 'HKLM\SOFTWARE\Vexlor' /f >/dev/null 2>&1 || true
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$work" "$WINEPREFIX/drive_c/vexlor-logs" "$WINEPREFIX/drive_c/vexlor-other"
}
trap cleanup EXIT
fail() { echo "wine-e2e: $*" >&2; exit 1; }

# HARDWARE\DEVICEMAP is volatile in Wine: what reg puts there lasts as long as the wine server.
# One server for the whole run, kept (-p) until the end; one left by earlier Wine programs of this
# prefix would end on its own time, so it is ended first.
"$wineserver" -k >/dev/null 2>&1 && "$wineserver" -w || true
"$wineserver" -p </dev/null >/dev/null 2>&1

head -c 300000 /dev/urandom > "$work/load.bin"
"$linux/vexlor-pack" --program "$windows/vexlor.exe" --load "$work/load.bin" --version VX12.01 \
  --out "$work/vexlor.exe" >/dev/null
cp "$windows"/Vexlor*.dll "$work/"
# Runs 2 to 4 take the port map from a settings file standing in for the registry.
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n"\\\\Device\\\\VexlorSim"="COM23"\n' \
  > "$work/settings.reg"
# The tool's time-outs stay well above the adapter's 30 ms at this scale, as on a real bench.
export VEXLOR_TIME_SCALE=0.2
settings=""  # the registry in use for run_tool: the machine's own while empty

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

run_tool() {  # exit status of vexlor.exe --cli ARGS (default: --port COM23), its output in $work/out
  local status=0
  [ $# -gt 0 ] || set -- --port COM23
  VEXLOR_REGISTRY=$settings "$wine" "$work/vexlor.exe" --cli "$@" > "$work/out" 2>"$work/err" || status=$?
  tr -d '\r' < "$work/out" > "$work/out.txt"
  return $status
}

line=(--line-latency 30 --log "$work/handset.log")

# 1. A whole download with the machine's registry: done, and the handset holds the load byte for
# byte. The log's settings: level 3 (progress notes, no tracing), the day's file continued, "App"
# a Windows folder and a file name prefix. COM25 is in the port map with no device behind it.
logs=$WINEPREFIX/drive_c/vexlor-logs
mkdir -p "$logs" "$WINEPREFIX/drive_c/vexlor-other"
day=$(date +%Y%m%d)
printf 'an earlier run\r\n' > "$logs/vx_$day.log"
cat > "$work/machine.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM]
"\\Device\\VexlorSim"="COM23"
"\\Device\\VexlorGone"="COM25"
"\\Device\\VexlorHeld"="COM26"

[HKEY_LOCAL_MACHINE\SOFTWARE\Vexlor]
"Level"=dword:00000003
"AppendOption"=dword:00000001
"App"="C:\\vexlor-logs\\vx_"
REG
"$wine" reg import "$work/machine.reg" >/dev/null 2>&1 || fail "reg import failed"
start_handset --mode ds --only-baud 460800 "${line[@]}"

# The port list as Windows shows it. A Wine COM port has no Plug and Play device behind it, so the
# USB IDs, serial number and product text cannot show here (their reading is unit-tested), and
# neither can "no access": Windows answers "access denied" to a second opener as well, and only a
# device's security descriptor, which a Wine port has not, tells the two apart (that check is
# unit-tested). What can: a free port, one with no device behind it, and (in run 4) one
# another program holds.
run_tool --list-ports || fail "--list-ports: exit $?: $(cat "$work/err")"
grep -qxF "$(printf 'COM23\t\\Device\\VexlorSim\t-\t-\t-\tok')" "$work/out.txt" \
  || fail "--list-ports: COM23 is not listed free: $(cat "$work/out.txt")"
grep -q "^COM25	.*	missing$" "$work/out.txt" \
  || fail "--list-ports: COM25 is not listed as missing: $(cat "$work/out.txt")"

status=0; run_tool || status=$?
[ $status -eq 0 ] || fail "download: exit $status: $(cat "$work/out.txt" "$work/err")"
grep -q '^\[0x065\] ' "$work/out.txt" || fail "download: no done status: $(cat "$work/out.txt")"
kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; sim_pid=""
cmp -n 300000 "$work/image.bin" "$work/load.bin" || fail "download: the image differs from the load"
# The log is named by the day it was opened on: the next day's only if the run began after midnight.
log=$logs/vx_$day.log
[ "$(date +%Y%m%d)" = "$day" ] || grep -q 'Start' "$log" || { log=$logs/vx_$(date +%Y%m%d).log; day=""; }
[ -f "$log" ] || fail "log: no $log: $(ls "$logs")"
tr -d '\r' < "$log" > "$work/log.txt"
[ -z "$day" ] || [ "$(head -n 1 "$work/log.txt")" = "an earlier run" ] || fail "log: the day's file was not continued"
grep -q $'^<NML>\t.*\t\\*\\.\\.\\. Start \\.\\.\\.$' "$work/log.txt" || fail "log: no start line: $(head "$work/log.txt")"
grep -q $'^<WRN>\t.*\tCOM23\tCSerCOMLibrary::IsDLConnected\tDIAG to DL change completed\\.$' "$work/log.txt" \
  || fail "log: no progress note of COM23: $(head -n 20 "$work/log.txt")"
if grep -q '^<DBG>' "$work/log.txt"; then fail "log: tracing lines above level 3"; fi
heard_every_command download 1
echo "wine-e2e: download done with the machine's registry, image equal to the load, every command heard at its rate, log in C:\\vexlor-logs"

# --log-dir, written with slashes, takes the place of the folder of "App"; its prefix stays.
run_tool --verify --log-dir C:/vexlor-other || fail "--verify: exit $?: $(cat "$work/out.txt" "$work/err")"
[ "$(ls "$WINEPREFIX/drive_c/vexlor-other")" = "vx_$(date +%Y%m%d).log" ] \
  || fail "--log-dir: C:/vexlor-other holds: $(ls "$WINEPREFIX/drive_c/vexlor-other")"
echo "wine-e2e: the port list shows a free and a missing port; --log-dir C:/vexlor-other replaces App's folder"
settings=$work/settings.reg

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

# 5. A station on three ports, each seeing three handsets in turn: one that restarts (in AT data
# mode) and is taken off, one that refuses the NAND write, one that never restarts; COM23's bench
# then plugs in a fourth (after the confirmation's time: one swapped in sooner is taken for the
# restarted one), and SIGINT comes while it commits. Each handset flashed once and
# recorded once, in JSON and in the report alike; the one in flight recorded as stopped.
bench_handsets=(--only-baud 230400 --line-latency 30 --restart-after 800 --unplug-after 3000 --swap-time 3000
  --then "--fail-nand --unplug-after 500 --swap-time 3000"
  --then "--restart-after never --unplug-after 500 --swap-time 4000")
start_handset --mode diag "${bench_handsets[@]}" --then "--commit-time 20000" --log "$work/handset.log"
bench_pids=()
for n in 24 27; do
  "$linux/vexlor-handset-sim" --mode diag "${bench_handsets[@]}" --log "$work/handset$n.log" \
    > "$work/sim$n.out" 2>"$work/sim$n.err" &
  bench_pids+=($!)
  for _ in $(seq 100); do [ -s "$work/sim$n.out" ] && break; sleep 0.05; done
  ln -sfn "$(head -n 1 "$work/sim$n.out")" "$WINEPREFIX/dosdevices/com$n"
  printf '"\\\\Device\\\\VexlorBench%s"="COM%s"\n' "$n" "$n" >> "$work/settings.reg"
done
VEXLOR_REGISTRY=$settings "$wine" "$work/vexlor.exe" --cli --station --port COM23,COM24,COM27 --confirm-timeout 2 \
  --gone-after 1 --json --report "Z:$work/report.csv" > "$work/station" 2>"$work/err" &
tool=$!
for _ in $(seq 1800); do grep -q ' committing for ' "$work/handset.log" 2>/dev/null && break; sleep 0.1; done
grep -q ' committing for ' "$work/handset.log" || fail "station: the fourth handset never committed: $(cat "$work/station")"
kill -INT "$tool"
status=0; wait "$tool" || status=$?
kill "${bench_pids[@]}" 2>/dev/null || true
tr -d '\r' < "$work/station" > "$work/out.txt"
[ $status -eq 130 ] || fail "station: exit $status: $(cat "$work/out.txt" "$work/err")"
# The report as Excel on Windows wants it: a UTF-8 byte order mark, CR LF lines (RFC 4180).
[ "$(head -c 3 "$work/report.csv" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "station: the report has no byte order mark"
[ "$(grep -c $'\r$' "$work/report.csv")" = "$(wc -l < "$work/report.csv")" ] || fail "station: a report line does not end in CR LF"
records=$(python3 -c 'import csv, json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    e = json.loads(line)
    if e["event"] == "handset":
        print("J", e["port"], e["sequence"], e["result"], e["code"], {True: "true", False: "false", None: ""}[e["confirmed"]])
for r in csv.DictReader(open(sys.argv[2], encoding="utf-8-sig", newline="")):
    print("C", r["port"], r["sequence"], r["status_code"], r["confirmed"])' "$work/out.txt" "$work/report.csv" | sort)
expected=""
for port in COM23 COM24 COM27; do
  expected+="C $port 1 0x065 true"$'\n'"C $port 2 0xF64 "$'\n'"C $port 3 0x065 false"$'\n'
  expected+="J $port 1 done 0x065 true"$'\n'"J $port 2 failed 0xF64 "$'\n'"J $port 3 done 0x065 false"$'\n'
done
expected+="C COM23 4 0x060 "$'\n'"J COM23 4 stopped 0x060 "
[ "$records" = "$(sort <<< "$expected")" ] || fail "station: the records: $records"
for n in "" 24 27; do
  [ "$(grep -c ' start of download' "$work/handset$n.log")" -eq "$([ -z "$n" ] && echo 4 || echo 3)" ] \
    || fail "station: a handset of COM${n:-23} was flashed twice"
done
heard_every_command station 2
echo "wine-e2e: a station on three ports flashed nine handsets, each once, confirmed the restarts, recorded each in JSON and the report alike, and SIGINT stopped the tenth"

# 4. A stop during the blocks (SIGINT, as Ctrl-C in a terminal): the run ends stopped, exit 130.
# At the tool's own timing: a scaled block time-out would be shorter than the line takes.
start_handset --mode diag --throttle 460800
VEXLOR_REGISTRY=$settings VEXLOR_TIME_SCALE=1 "$wine" "$work/vexlor.exe" --cli --port COM23 > "$work/stop" 2>"$work/err" &
tool=$!
for _ in $(seq 600); do grep -q 'Downloading: [1-9][0-9]*% done' "$work/stop" 2>/dev/null && break; sleep 0.1; done
grep -q 'Downloading: [1-9][0-9]*% done' "$work/stop" || fail "stop: the blocks never began: $(cat "$work/stop")"
# Meanwhile a port another program holds is listed in use; Windows does not say by whom. Wine
# lets a second program open a COM port (it keeps share modes for files only): the file that this
# download holds, its program, stands behind COM26 instead.
ln -sfn "$work/vexlor.exe" "$WINEPREFIX/dosdevices/com26"
settings=""  # the machine's port map
run_tool --list-ports || fail "--list-ports: exit $?"
grep -q $'^COM26\t.*\tin use by another program$' "$work/out.txt" \
  || fail "--list-ports: COM26 is not listed in use during the download: $(cat "$work/out.txt")"
kill -INT "$tool"
status=0; wait "$tool" || status=$?
tr -d '\r' < "$work/stop" > "$work/out.txt"
[ $status -eq 130 ] || fail "stop: exit $status: $(cat "$work/out.txt")"
grep -q '^The download was stopped\.' "$work/out.txt" || fail "stop: no stopped line: $(cat "$work/out.txt")"
if grep -q '^\[0x065\] ' "$work/out.txt"; then fail "stop: a done status"; fi
echo "wine-e2e: SIGINT during the blocks stops the run; the port list meanwhile shows a held port in use"

# 6. Two runs on one port: the second, started while the first writes the blocks, is refused at
# once (exit 3) and never opens the port; the first ends done with the load byte for byte. Wine
# lets two programs open one COM port, so the port's mutex in the Global namespace, which every
# session sees, is all that keeps the second off the line here.
start_handset --mode diag --throttle 460800 "${line[@]}"
settings=$work/settings.reg
VEXLOR_REGISTRY=$settings VEXLOR_TIME_SCALE=1 "$wine" "$work/vexlor.exe" --cli --port COM23 > "$work/first" 2>"$work/first.err" &
tool=$!
for _ in $(seq 600); do grep -q 'Downloading: [0-9]*% done' "$work/first" 2>/dev/null && break; sleep 0.1; done
grep -q 'Downloading: [0-9]*% done' "$work/first" || fail "two runs: the first never began its blocks: $(cat "$work/first")"
status=0; run_tool --port COM23 || status=$?
[ $status -eq 3 ] || fail "two runs: the second ended with exit $status: $(cat "$work/out.txt" "$work/err")"
grep -q 'COM23 is in use by another vexlor' "$work/err" || fail "two runs: the second did not name the holder: $(cat "$work/err")"
if grep -q '^\[0x' "$work/out.txt"; then fail "two runs: the second ran: $(cat "$work/out.txt")"; fi
status=0; wait "$tool" || status=$?
tr -d '\r' < "$work/first" > "$work/out.txt"
[ $status -eq 0 ] || fail "two runs: the first ended with exit $status: $(cat "$work/out.txt" "$work/first.err")"
cmp -n 300000 "$work/image.bin" "$work/load.bin" || fail "two runs: the first's image differs from the load"
heard_every_command "two runs" 1
echo "wine-e2e: a second run on a port in use is refused at once; the first ends done with an exact image"
