#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds libmosquitto, the MQTT client library, as a static library for the Windows programs from
# Debian 12's own mosquitto source package, with TLS over the OpenSSL that
# scripts/windows-openssl.sh built, into a cache folder that every later build reuses
# (scripts/debian-source.sh):
#   scripts/windows-mosquitto.sh OPENSSL-FOLDER   (prints the cache folder: include/, lib/, licence/)
# The client library alone: no broker, clients, apps, plugins or manuals, no SOCKS, SRV look-up
# or pre-shared keys, and no thread of its own (the publisher drives it on its caller's thread).
set -euo pipefail
openssl=$(realpath "$1")
version=2.0.11-1.2+deb12u2
dsc_sha256=77afb2d38230b37b085ff7b363a71669951044460e28731e958c0b94019e9263
pool=${VEXLOR_DEBIAN_POOL:-https://deb.debian.org/debian/pool/main}/m/mosquitto
source "$(dirname "$0")/debian-source.sh"
# Built against that OpenSSL's headers: another OpenSSL builds it anew.
third_party_cache mosquitto "$version" "$dsc_sha256" "$(basename "$openssl")"
debian_source "$pool" mosquitto "$version" "$dsc_sha256" "$work/src"

# No build path in what is built: the sources are named from the work folder's place. CMake's
# FindOpenSSL takes a MinGW build's libraries as SSL_EAY and LIB_EAY.
cmake -S "$work/src" -B "$work/build" -G Ninja -Wno-dev \
  -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER="$mingw_cc" -DCMAKE_CXX_COMPILER=x86_64-w64-mingw32-g++-posix \
  -DCMAKE_RC_COMPILER=x86_64-w64-mingw32-windres -DCMAKE_AR="$(command -v x86_64-w64-mingw32-ar)" \
  -DCMAKE_RANLIB="$(command -v x86_64-w64-mingw32-ranlib)" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_FLAGS="-D_WIN32_WINNT=0x0601 -ffile-prefix-map=$work=." \
  -DOPENSSL_INCLUDE_DIR="$openssl/include" -DOPENSSL_USE_STATIC_LIBS=ON \
  -DSSL_EAY="$openssl/lib/libssl.a" -DLIB_EAY="$openssl/lib/libcrypto.a" \
  -DWITH_TLS=ON -DWITH_TLS_PSK=OFF -DWITH_EC=ON -DWITH_THREADING=OFF -DWITH_STATIC_LIBRARIES=ON \
  -DWITH_SOCKS=OFF -DWITH_SRV=OFF -DWITH_UNIX_SOCKETS=OFF -DWITH_DLT=OFF \
  -DWITH_CJSON=OFF -DWITH_BROKER=OFF -DWITH_CLIENTS=OFF -DWITH_APPS=OFF -DWITH_PLUGINS=OFF \
  -DWITH_LIB_CPP=OFF -DDOCUMENTATION=OFF >&2
cmake --build "$work/build" --target libmosquitto_static -j "${VEXLOR_BUILD_JOBS:-$(nproc)}" >&2

mkdir -p "$work/include" "$work/lib" "$work/licence"
cp "$work/src"/include/*.h "$work/include/"
cp "$work/build/lib/libmosquitto_static.a" "$work/lib/libmosquitto.a"
# Eclipse Mosquitto is under the EPL-2.0 or the EDL-1.0: the statement, the notices and both
# texts, in one file.
for file in LICENSE.txt NOTICE.md edl-v10 epl-v20; do
  cat "$work/src/$file"
  printf '\n\n'
done > "$work/licence/Mosquitto-LICENSE.txt"
third_party_finish
