#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Signs Windows programs, DLLs and setup programs in place with Authenticode (Debian's
# osslsigncode), SHA-256, where the environment names a certificate; the Windows build runs it on
# the staged files and the setup program. Without VEXLOR_SIGN_PKCS12 it changes nothing.
#   VEXLOR_SIGN_PKCS12         PKCS#12 file with the code-signing certificate, its chain and key
#   VEXLOR_SIGN_PASSWORD       the file's password
#   VEXLOR_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server (optional): a signature stamped by it
#                              stays valid after the certificate expires
#   SOURCE_DATE_EPOCH          the signing time (the build sets the commit's): two signings of one
#                              file with one key give the same bytes. A time stamp differs each
#                              time, but it is an unsigned attribute of the signature.
#   packaging/windows/sign.sh [--description TEXT] FILE...
# TEXT is the name Windows shows for the program when it asks for administrator rights (by
# default "Vexlor setup" for a *-setup.exe, else "Vexlor").
set -euo pipefail
description=""
if [ "${1:-}" = --description ]; then description=$2; shift 2; fi
[ -n "${VEXLOR_SIGN_PKCS12:-}" ] || exit 0
fail() { echo "sign: $*" >&2; exit 1; }
[ -r "$VEXLOR_SIGN_PKCS12" ] || fail "cannot read the certificate file $VEXLOR_SIGN_PKCS12 (VEXLOR_SIGN_PKCS12)"
command -v osslsigncode >/dev/null || fail "no osslsigncode (scripts/setup.sh installs it)"
stamp=()
if [ -n "${VEXLOR_SIGN_TIMESTAMP_URL:-}" ]; then stamp=(-ts "$VEXLOR_SIGN_TIMESTAMP_URL"); fi
when=()
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  [[ "$SOURCE_DATE_EPOCH" =~ ^[0-9]+$ ]] || fail "SOURCE_DATE_EPOCH is no number of seconds: $SOURCE_DATE_EPOCH"
  when=(-time "$SOURCE_DATE_EPOCH")
fi
# The password goes through a pipe, not the command line, where any user could read it; a file
# without one needs none.
password=()
if [ -n "${VEXLOR_SIGN_PASSWORD:-}" ]; then password=(-readpass /dev/stdin); fi

signed=""
trap 'rm -f "$signed"' EXIT
for file in "$@"; do
  signed="$file.signed"
  name=$description
  if [ -z "$name" ]; then
    case "$file" in *-setup.exe) name="Vexlor setup" ;; *) name=Vexlor ;; esac
  fi
  if ! out=$(printf '%s' "${VEXLOR_SIGN_PASSWORD:-}" |
             osslsigncode sign -pkcs12 "$VEXLOR_SIGN_PKCS12" "${password[@]}" -h sha256 -n "$name" \
                          "${stamp[@]}" "${when[@]}" -in "$file" -out "$signed" 2>&1); then
    fail "cannot sign $file: $out"
  fi
  chmod --reference="$file" "$signed"
  mv "$signed" "$file"
done
