#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The Win32 bench window under Wine against two handset simulators behind Wine COM ports: their
# pseudo-terminals linked as COM23 and COM24 in the window tests' prefix, the window test that
# flashes two handsets at once run on those ports (VEXLOR_BENCH_ON_COM_PORTS) instead of on its
# in-process models. Both rows must end done with one handset each, the report must hold a done
# row for each port, and each simulator must have been flashed once and restarted once. The
# picture taken mid-run is build-win/screenshots/bench-window-com-ports.png.
# Needs build/ (Linux: the simulator) and build-win/ (scripts/build-windows.sh).
#   tests/wine/bench.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/wine/programs.sh
display=$PWD/tests/win32_window/run_on_display.sh
export WINEPREFIX=$PWD/build-win/wine-window WINEDEBUG=-all
fail() { echo "wine-bench: $*" >&2; exit 1; }
[ -x "$linux/vexlor-handset-sim" ] || fail "no $linux/vexlor-handset-sim: build the Linux tree first"
[ -f "$windows/win32_window_tests.exe" ] || fail "no $windows/win32_window_tests.exe: run scripts/build-windows.sh"
work=$(mktemp -d)
sims=()
cleanup() {
  for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -f "$WINEPREFIX/dosdevices/com23" "$WINEPREFIX/dosdevices/com24"
  rm -rf "$work"
}
trap cleanup EXIT

# The prefix is the window tests' own (made on its first use, with the fonts the pictures need).
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  xvfb-run -a "$display" "$wine" "$wineserver" "$windows/vexlor.exe" --version >/dev/null 2>&1 \
    || fail "cannot make the prefix $WINEPREFIX"
fi

# Two handsets in diagnostic mode on lines paced at 460800 baud (about 3 s a block), so the
# picture mid-run shows both bars moving.
for i in 0 1; do
  "$linux/vexlor-handset-sim" --mode diag --throttle 460800 --log "$work/handset$i.log" \
    --image-out "$work/image$i.bin" > "$work/sim$i.out" 2>"$work/sim$i.err" &
  sims+=($!)
  for _ in $(seq 100); do [ -s "$work/sim$i.out" ] && break; sleep 0.05; done
  [ -s "$work/sim$i.out" ] || fail "simulator $i did not start: $(cat "$work/sim$i.err")"
  ln -sfn "$(head -n 1 "$work/sim$i.out")" "$WINEPREFIX/dosdevices/com$((23 + i))"
done

# At the tool's own timing: scaled block time-outs would be shorter than a paced line takes.
status=0
VEXLOR_BENCH_ON_COM_PORTS=1 VEXLOR_TIME_SCALE=1 timeout 300 xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$display" "$wine" "$wineserver" "$windows/win32_window_tests.exe" \
  --gtest_filter='BenchWindowTest.TwoHandsetsAtOnce*' > "$work/test.out" 2>&1 || status=$?
[ $status -eq 0 ] || fail "the bench window test failed ($status): $(tail -n 40 "$work/test.out")"
grep -q '^\[  PASSED  \] 1 test' "$work/test.out" || fail "the bench window test did not run: $(cat "$work/test.out")"

for i in 0 1; do
  log=$work/handset$i.log
  [ "$(grep -c ' start of download' "$log")" -eq 1 ] || fail "COM$((23 + i)): not flashed once"
  [ "$(grep -c ' reset$' "$log")" -eq 1 ] || fail "COM$((23 + i)): not restarted once"
  [ "$(stat -c %s "$work/image$i.bin")" -ge $((3 * 131072 + 3000)) ] || fail "COM$((23 + i)): the image is short"
done
echo "wine-bench: the bench window flashed two simulators at once through COM23 and COM24; both rows done"
