#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer) into
# build-fuzz/ and runs them one after the other: first a replay of the seed corpus
# fuzz/corpus/<target>, then SECONDS of fuzzing each.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     default: 60 seconds, every target
#
# Inputs the fuzzer finds worth keeping collect in build-fuzz/corpus/<target> (kept between runs,
# never in the source tree). A failing input is saved as build-fuzz/artifacts/<target>-crash-...;
# reproduce it with build-fuzz/bin/fuzz_<target> FILE. Each target's output is in
# build-fuzz/logs/<target>.log. Exit status 0 when every target ran clean.
# FUZZ_BUILD_DIR chooses another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
[ $# -gt 0 ] && shift
all_targets=(frame_decoder classify_reply mode_replies sercom_receive registry package_reader pack_input)
targets=("${@:-${all_targets[@]}}")
build=${FUZZ_BUILD_DIR:-build-fuzz}

scripts/setup.sh
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVEXLOR_BUILD_FUZZ=ON -DVEXLOR_SANITIZE=address,undefined \
  -DVEXLOR_BUILD_GUI=OFF -DVEXLOR_BUILD_BENCH=OFF -DVEXLOR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
mkdir -p "$build/artifacts" "$build/logs"

# Per-target options: inputs long enough to build frames past the decoder's limits.
extra_options() {
  case "$1" in
    frame_decoder) echo "-max_len=20000" ;;
    package_reader | pack_input) echo "-max_len=16384" ;;
    *) echo "" ;;
  esac
}

failed=()
printf '%-16s %8s %14s %10s\n' target seconds executions exec/s
for t in "${targets[@]}"; do
  program="$build/bin/fuzz_$t"
  seeds="fuzz/corpus/$t"
  work="$build/corpus/$t"
  log="$build/logs/$t.log"
  mkdir -p "$work"
  # shellcheck disable=SC2046
  if ! "$program" -runs=0 $(extra_options "$t") "$seeds" >"$log" 2>&1; then
    echo "$t: the seed corpus does not replay clean; see $log" >&2
    failed+=("$t")
    continue
  fi
  # shellcheck disable=SC2046
  if ! "$program" "$work" "$seeds" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" $(extra_options "$t") >>"$log" 2>&1; then
    echo "$t: failed; see $log and $build/artifacts/" >&2
    failed+=("$t")
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  printf '%-16s %8s %14s %10s\n' "$t" "$seconds" "${runs:-?}" "${rate:-?}"
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failing targets: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: every target ran clean"
