#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs the Debian packages the build and the tests need; only those missing. Idempotent.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libssl-dev
  libsqlite3-dev sqlite3  # the record store (and the sqlite3 shell its backups use)
  # Delivery of the production records: the MQTT client library, and the broker and its
  # clients that the delivery tests start and listen with.
  libmosquitto-dev mosquitto mosquitto-clients
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-multimedia-dev  # the bench window's sounds
  fonts-wqy-microhei  # Chinese glyphs for the window and its screenshots
  clang libclang-rt-dev
  clang-format clang-tidy  # the house style (scripts/style.sh)
  ccache  # the test command's builds
  dpkg-dev file
  lintian appstream desktop-file-utils  # the package test checks the package, its metainfo and desktop entry
  python3-minimal  # the bench tests read the tool's JSON output with a real JSON parser
  # The Windows build (scripts/build-windows.sh): mingw-w64 with POSIX threads, GoogleTest's
  # sources to build for it, Wine to run the programs and tests, the installer maker and a
  # display for the dialogs; zip and unzip for the portable zip and its test.
  g++-mingw-w64-x86-64-posix googletest wine64 nsis xvfb zip unzip
  # SQLite, OpenSSL and libmosquitto for Windows, built from Debian's source packages: fetched,
  # unpacked, patched (scripts/debian-source.sh); SQLite made into its one-file form, OpenSSL
  # configured by its Perl script.
  curl xz-utils patch tcl perl
  # Releases (scripts/release.sh): Authenticode signatures, the OpenPGP signature of SHA256SUMS,
  # the test's throw-away certificate, the report on files that differ between two builds, and
  # 7z to take the uninstaller out of the setup program and check its signature.
  osslsigncode gnupg openssl diffoscope p7zip-full
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
