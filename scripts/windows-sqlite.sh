#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds SQLite for the Windows programs from Debian's own sqlite3 source package, the version
# Debian 12 ships, into a cache folder under the build folder that a second build reuses:
#   scripts/windows-sqlite.sh BUILD-FOLDER    (prints the cache folder: include/, lib/)
# The package's description (.dsc) is checked against the digest below, and its tarballs against
# the digests it lists; Debian's patches are applied in their order; the one-file source
# (sqlite3.c) is made on this machine, then compiled with mingw-w64.
set -euo pipefail
build=$1
version=3.40.1-2+deb12u2
upstream=${version%%-*}
dsc_sha256=ee3459ae9d00939741c7708fc1b8ce1bde12d8c3fb1dfa005bbbc8651d884e23
pool=${VEXLOR_DEBIAN_POOL:-https://deb.debian.org/debian/pool/main/s/sqlite3}
cache=$(realpath -m "$build/third-party/sqlite3-$version")
if [ -f "$cache/lib/libsqlite3.a" ] && [ -f "$cache/include/sqlite3.h" ]; then
  echo "$cache"
  exit 0
fi

work="$cache.work"
rm -rf "$work" && mkdir -p "$work/download"
cd "$work/download"
fetch() { curl -fsSL --retry 3 -m 300 -o "$1" "$pool/$1" >&2; }
dsc="sqlite3_$version.dsc"
fetch "$dsc"
echo "$dsc_sha256  $dsc" | sha256sum -c --quiet - >&2
# The tarballs and their digests, as the checked description lists them.
sed -n '/^Checksums-Sha256:/,/^[^ ]/p' "$dsc" | awk 'NF == 3 && $3 ~ /\.tar\./ && $3 !~ /-www/' > sums
[ "$(wc -l < sums)" -eq 2 ] || { echo "windows-sqlite: unexpected tarballs in $dsc" >&2; exit 1; }
while read -r sum _ name; do
  fetch "$name"
  echo "$sum  $name" | sha256sum -c --quiet - >&2
done < sums

mkdir -p "$work/src" "$work/host"
tar -xf "sqlite3_$upstream.orig.tar.xz" -C "$work/src" --strip-components=1
tar -xf "sqlite3_$version.debian.tar.xz" -C "$work/src"
cd "$work/src"
grep -v '^\s*\(#\|$\)' debian/patches/series | while read -r patch _; do
  patch -p1 -s < "debian/patches/$patch" >&2
done
# The one-file source needs the build's generated parts: made with this machine's compiler.
cd "$work/host"
../src/configure --disable-tcl --disable-readline >&2
make -j "${VEXLOR_BUILD_JOBS:-$(nproc)}" sqlite3.c >&2

mkdir -p "$cache/include" "$cache/lib"
x86_64-w64-mingw32-gcc-posix -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION -c sqlite3.c -o sqlite3.o >&2
x86_64-w64-mingw32-ar rcs "$cache/lib/libsqlite3.a" sqlite3.o
cp sqlite3.h sqlite3ext.h "$cache/include/"
rm -rf "$work"
echo "$cache"
