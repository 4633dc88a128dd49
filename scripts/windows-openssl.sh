#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds OpenSSL's static libraries for the Windows programs (the TLS under libmosquitto) from
# Debian 12's own openssl source package, into a cache folder that every later build reuses
# (scripts/debian-source.sh; the first build takes minutes):
#   scripts/windows-openssl.sh    (prints the cache folder: include/, lib/, licence/)
# Only the libraries (make build_libs): no programs, tests, manuals, shared libraries or loadable
# modules. It reads no openssl.cnf of its own (no-autoload-config): nothing is taken from a fixed
# folder of the machine. The build is reproducible: its one date is the changelog's, its source
# paths relative.
set -euo pipefail
version=3.0.20-1~deb12u2
dsc_sha256=a614474a2773c23b10c0d65f4eccbcf93fdac4749afb7c26d76e1b0340154d3d
pool=${VEXLOR_DEBIAN_POOL:-https://deb.debian.org/debian/pool/main}/o/openssl
source "$(dirname "$0")/debian-source.sh"
third_party_cache openssl "$version" "$dsc_sha256"
debian_source "$pool" openssl "$version" "$dsc_sha256" "$work/src"

cd "$work/src"
# The compilers are x86_64-w64-mingw32-gcc-posix and the like: the prefix goes in front of CC.
# Windows 7 is the oldest system the programs run on, as for the rest of the build. The folders
# OpenSSL names for its own files are ones only an administrator may fill (a cross build would
# name /usr/local/ssl, which is C:\usr\local\ssl there, a folder any user may make).
./Configure mingw64 --cross-compile-prefix=x86_64-w64-mingw32- CC=gcc-posix \
  --prefix="C:/Program Files/Common Files" --openssldir=SSL \
  no-shared no-module no-dso no-engine no-legacy no-tests no-autoload-config \
  -D_WIN32_WINNT=0x0601 >&2
make -j "${VEXLOR_BUILD_JOBS:-$(nproc)}" build_libs >&2

mkdir -p "$work/include/openssl" "$work/lib" "$work/licence"
cp include/openssl/*.h "$work/include/openssl/"
cp libssl.a libcrypto.a "$work/lib/"
cp LICENSE.txt "$work/licence/OpenSSL-LICENSE.txt"
cd /
third_party_finish
