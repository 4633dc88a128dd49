#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the Debian package: build/vexlor_<version>_amd64.deb (VEXLOR_BUILD names another build
# folder). Extra arguments go to the CMake configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VEXLOR_BUILD:-build}
scripts/build.sh -DCMAKE_INSTALL_PREFIX=/usr "$@"
rm -rf "$build/cpack"
# The package's folders and files take their modes from the umask where the install names none.
(umask 022 && cd "$build" && cpack -G DEB >/dev/null)
deb=$(find "$build/cpack" -maxdepth 1 -name 'vexlor_*_amd64.deb' | head -n 1)
if [ -z "$deb" ]; then
  echo "package: cpack made no .deb" >&2
  exit 1
fi
cp "$deb" "$build/"
echo "$build/$(basename "$deb")"
