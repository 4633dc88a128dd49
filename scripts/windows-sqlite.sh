#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds SQLite for the Windows programs from Debian's own sqlite3 source package, the version
# Debian 12 ships, into a cache folder that every later build reuses (scripts/debian-source.sh):
#   scripts/windows-sqlite.sh    (prints the cache folder: include/, lib/)
# The package's description (.dsc) is checked against the digest below, and its tarballs against
# the digests it lists; Debian's patches are applied in their order; the one-file source
# (sqlite3.c) is made on this machine, then compiled with mingw-w64.
set -euo pipefail
version=3.40.1-2+deb12u2
dsc_sha256=ee3459ae9d00939741c7708fc1b8ce1bde12d8c3fb1dfa005bbbc8651d884e23
pool=${VEXLOR_DEBIAN_POOL:-https://deb.debian.org/debian/pool/main}/s/sqlite3
source "$(dirname "$0")/debian-source.sh"
third_party_cache sqlite3 "$version" "$dsc_sha256"
# The documentation tarball is not needed.
debian_source "$pool" sqlite3 "$version" "$dsc_sha256" "$work/src" '-www'

# The one-file source needs the build's generated parts: made with this machine's compiler.
mkdir -p "$work/build" "$work/include" "$work/lib"
cd "$work/build"
../src/configure --disable-tcl --disable-readline >&2
make -j "${VEXLOR_BUILD_JOBS:-$(nproc)}" sqlite3.c >&2
"$mingw_cc" -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION -c sqlite3.c -o sqlite3.o >&2
x86_64-w64-mingw32-ar rcsD "$work/lib/libsqlite3.a" sqlite3.o
cp sqlite3.h sqlite3ext.h "$work/include/"
cd /
third_party_finish
