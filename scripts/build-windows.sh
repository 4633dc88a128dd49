#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Setup, then cross-build the Windows programs into build-win/ with Debian's mingw-w64: vexlor.exe
# (headless), vexlor-pack.exe, the three language DLLs and the Windows tests, and make the Wine
# prefix the tests run in (build-win/wine). Run the tests with: ctest --test-dir build-win
# VEXLOR_WIN_BUILD names another build folder, so two Windows builds can stand side by side.
# Extra arguments go to the CMake configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build=${VEXLOR_WIN_BUILD:-build-win}
# The record store's SQLite, and libmosquitto with OpenSSL for publishing the records, each from
# Debian's source package; cached outside the build folder (scripts/debian-source.sh).
sqlite=$(scripts/windows-sqlite.sh)
openssl=$(scripts/windows-openssl.sh)
mosquitto=$(scripts/windows-mosquitto.sh "$openssl")
cmake -S . -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DSQLite3_INCLUDE_DIR="$sqlite/include" -DSQLite3_LIBRARY="$sqlite/lib/libsqlite3.a" \
  -DVEXLOR_OPENSSL_ROOT="$openssl" -DVEXLOR_MOSQUITTO_ROOT="$mosquitto" \
  -DCMAKE_BUILD_TYPE=Release \
  -DVEXLOR_BUILD_GUI=OFF -DVEXLOR_BUILD_BENCH=OFF -DVEXLOR_BUILD_FUZZ=OFF \
  "$@"
cmake --build "$build" -j "${VEXLOR_BUILD_JOBS:-$(nproc)}"

# One prefix per build folder, made once (about 6 s) and reused by every test run.
# Debian keeps Wine's binary off the PATH.
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
export WINEPREFIX="$PWD/$build/wine" WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "build-windows: making the Wine prefix $WINEPREFIX"
  # The wine server outlives wineboot: started here, its output cannot land in this script's.
  mkdir -p "$WINEPREFIX"
  "$(dirname "$wine")/wineserver" -p5 </dev/null >/dev/null 2>&1 || true
  "$wine" wineboot -i
fi
