#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The test command: setup, build, and run every test three ways: a normal Release build,
# an AddressSanitizer + UndefinedBehaviorSanitizer build, and a ThreadSanitizer build of the
# tests whose process starts threads (ctest label "threaded"); then the Windows build's tests and
# end-to-end downloads and a silent install and uninstall under Wine, the house style
# (clang-format and clang-tidy), the Debian package, the release's signing and the quick part of
# its reproducibility check, the fuzz corpora and a short fault soak.
#   scripts/test.sh           everything, as CI runs it
#   scripts/test.sh --quick   the inner loop: a Release build and the tests labelled "unit" (no
#                             child process, no pseudo-terminal, no waiting on the clock)
set -euo pipefail
quick=false
case "${1:-}" in
  "") ;;
  --quick) quick=true ;;
  *) echo "usage: scripts/test.sh [--quick]" >&2; exit 2 ;;
esac
cd "$(dirname "$0")/.."
# Each phase's heading says when it began, so a slow phase shows in CI's output.
phase() { echo "=== $1 (at $((SECONDS / 60)) min $((SECONDS % 60)) s)"; }
scripts/setup.sh
# Every build of the test command goes through ccache: a tree built before (another clone, an
# earlier run) is not compiled again. Paths are taken relative to the clone, so clones in other
# folders share the cache.
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1 CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-8G}
fi
scripts/build.sh
jobs=$(nproc)
# Most tests wait on lines, timers and the programs they start rather than on the processors
# (a whole run keeps two processors about a fifth busy): three at a time per processor.
# VEXLOR_TEST_JOBS sets another number.
test_jobs=${VEXLOR_TEST_JOBS:-$((jobs * 3))}
if $quick; then
  exec ctest --test-dir build --output-on-failure -j "$jobs" --timeout 60 -L unit
fi
# Sanitizer builds: light optimisation and line tables only, which keeps them quick to build
# while reports still name file and line.
sanitizer_flags=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" "-DCMAKE_C_FLAGS_DEBUG=-O1 -g1")

# The house style (clang-format, clang-tidy) is checked in the background, at the lowest priority:
# the test runs below mostly wait on lines and timers, and leave the processors to it.
# Each background phase is a process group of its own (job control on while it starts), ended
# with everything it started when the test command ends early.
end_background() {
  local pid
  for pid in ${style_pid:-} ${windows_pid:-}; do kill -- -"$pid" 2>/dev/null || true; done
}
trap end_background EXIT
set -m
nice -n 19 scripts/style.sh > build/style.log 2>&1 &
style_pid=$!
set +m

phase "normal build: all tests"
ctest --test-dir build --output-on-failure -j "$test_jobs" --timeout 300

# The Windows build and its tests under Wine run beside the sanitizer phases: those wait on lines
# and timers too, and the two share nothing (their own build folder, Wine prefix and simulators).
# Its output is shown whole when it ends.
windows_phase() {
  scripts/build-windows.sh
  ctest --test-dir build-win --output-on-failure -j "$test_jobs" --timeout 600
  tests/wine/e2e.sh
  tests/wine/bench.sh
  tests/wine/mqtt.sh
  tests/wine/installer.sh build-win
}
windows_began="$((SECONDS / 60)) min $((SECONDS % 60)) s"
set -m
windows_phase > build/windows.log 2>&1 &
windows_pid=$!
set +m

phase "AddressSanitizer + UndefinedBehaviorSanitizer build: all tests but the window's and the real-time ones"
# The Qt window only draws and forwards (its logic is the presenter's, tested here without Qt),
# and the real-time tests run in the normal and the thread sanitizer's builds.
cmake -S . -B build-asan -G Ninja "${sanitizer_flags[@]}" \
  -DVEXLOR_SANITIZE=address,undefined -DVEXLOR_BUILD_BENCH=OFF -DVEXLOR_BUILD_GUI=OFF
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$test_jobs" --timeout 600 -LE realtime

phase "ThreadSanitizer build: the tests whose process starts threads"
cmake -S . -B build-tsan -G Ninja "${sanitizer_flags[@]}" \
  -DVEXLOR_SANITIZE=thread -DVEXLOR_BUILD_BENCH=OFF -DVEXLOR_BUILD_GUI=OFF
cmake --build build-tsan
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build-tsan --output-on-failure -j "$test_jobs" --timeout 600 -L threaded

phase "Windows build (mingw-w64): its tests and end-to-end downloads under Wine (begun at $windows_began)"
wait "$windows_pid" || { cat build/windows.log; echo "test: the Windows phase failed (its output above)" >&2; exit 1; }
cat build/windows.log

phase "Every source file names its licence"
scripts/licence_headers.py

phase "House style: clang-format and clang-tidy"
wait "$style_pid" || { cat build/style.log; exit 1; }
cat build/style.log

phase "Debian package: build, unpack into a temporary root, run from there"
scripts/package-test.sh

phase "Releases: signing with throw-away keys, the quick part of the reproducibility check"
scripts/release-test.sh

phase "Fuzz targets: seed corpus replay and a few seconds of fuzzing each"
scripts/fuzz.sh 4

phase "Fault soak: 10 downloads over a faulty line (sanitizer build)"
# A fixed seed keeps the test command repeatable; scripts/soak.sh alone draws new faults each time.
SOAK_SEED=7100 SOAK_BUILD_DIR=build-asan scripts/soak.sh 10
phase "Done"
