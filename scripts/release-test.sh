#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The release's checks that fit the test command, on the trees it has built (build/ with the
# Debian package, build-win/):
# - signing with throw-away keys: a self-signed code-signing certificate signs the Windows
#   build's staged programs, DLLs and setup program through the build itself
#   (packaging/windows/sign.sh), an OpenPGP key made here signs SHA256SUMS (scripts/checksums.sh);
#   everything signed verifies, a flipped byte fails verification, a wrong password fails the
#   build;
# - vexlor-pack on the signed vexlor.exe: it says that the packed copy lost the signature, and
#   --sign signs the packed program again, which then passes --verify under Wine;
# - the quick part of the reproducibility check (scripts/release.sh --check-reproducible --quick),
#   which also signs twice with throw-away keys of its own, checks every signature (the
#   uninstaller inside the setup program among them) and the bill of materials; the whole check,
#   which builds two releases, is left to the release.
set -euo pipefail
cd "$(dirname "$0")/.."
win=${VEXLOR_WIN_BUILD:-build-win}
fail() { echo "release-test: $*" >&2; exit 1; }
stage_stamp=$win/packaging/windows/stage.stamp
[ -f "$win/build.ninja" ] || fail "no Windows build in $win/: run scripts/build-windows.sh first"
work=$(mktemp -d)
cleanup() {
  local status=$?
  GNUPGHOME=$work/gnupg gpgconf --kill gpg-agent 2>/dev/null || true
  rm -rf "$work"
  # Stopped with signed files in the stage: the next build stages them again, unsigned.
  [ "$status" = 0 ] || rm -f "$stage_stamp"
}
trap cleanup EXIT
flip_byte() {  # FILE OFFSET: the byte there with its lowest bit inverted
  local byte
  byte=$(od -A n -t u1 -j "$2" -N 1 "$1" | tr -d ' ')
  printf "$(printf '\\%03o' $((byte ^ 1)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
verifies() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >/dev/null 2>&1; }

echo "release-test: Authenticode with a throw-away certificate"
password=throw-away-$$
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=Vexlor throw-away test signer" -addext extendedKeyUsage=codeSigning 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/sign.p12" -passout "pass:$password"
restage() { rm -f "$stage_stamp"; cmake --build "$win" --target vexlor_windows_zip vexlor_windows_setup; }

# A wrong password fails the build and says why.
out=$(VEXLOR_SIGN_PKCS12=$work/sign.p12 VEXLOR_SIGN_PASSWORD=wrong restage 2>&1) && fail "a wrong password signed: $out"
grep -q 'sign: cannot sign .*vexlor\.exe' <<<"$out" || fail "a wrong password failed without saying so: $out"

VEXLOR_SIGN_PKCS12=$work/sign.p12 VEXLOR_SIGN_PASSWORD=$password restage >/dev/null
stage=("$win"/packaging/windows/stage/vexlor-*)
[ ${#stage[@]} = 1 ] || fail "not one staged folder: ${stage[*]}"
name=$(basename "${stage[0]}")
setup=$win/$name-setup.exe
for file in "${stage[0]}"/{vexlor.exe,vexlor-pack.exe,VexlorEngRes.dll,VexlorChtRes.dll,VexlorChsRes.dll} "$setup"; do
  verifies "$file" || fail "$file does not verify: $(osslsigncode verify -CAfile "$work/cert.pem" -in "$file" 2>&1)"
done
# The zip holds the signed files, and each is the built one, stripped, with a signature added: the
# signature taken from it and put on the build's stripped copy (which stays unsigned) gives it
# back byte for byte. That is how a user compares a signed release with a rebuild.
unzip -q "$win/$name-windows.zip" -d "$work/zip"
for file in vexlor.exe vexlor-pack.exe VexlorEngRes.dll VexlorChtRes.dll VexlorChsRes.dll; do
  verifies "$work/zip/$name/$file" || fail "the zip's $file is not signed"
  ! verifies "$win/bin/$file" || fail "the build's own $file was signed"
  ! verifies "$win/stripped/$file" || fail "the build's stripped $file was signed"
  # Stripped: the debug information is in the debug zip only.
  x86_64-w64-mingw32-nm "$win/stripped/$file" 2>&1 | grep -q 'no symbols' || fail "$file was not stripped"
  unzip -l "$win/$name-windows-debug.zip" "$name-debug/$file.debug" >/dev/null || fail "the debug zip lacks $file.debug"
  osslsigncode extract-signature -in "$work/zip/$name/$file" -out "$work/signature" >/dev/null
  osslsigncode attach-signature -sigin "$work/signature" -CAfile "$work/cert.pem" -in "$win/stripped/$file" \
    -out "$work/rebuilt" >/dev/null
  cmp -s "$work/rebuilt" "$work/zip/$name/$file" || fail "$file with its signature put on the built file differs"
  rm -f "$work/signature" "$work/rebuilt"
done
# A signed program still runs.
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
shown=$(WINEPREFIX=$PWD/$win/wine WINEDEBUG=-all "$wine" "$work/zip/$name/vexlor.exe" --version | tr -d '\r')
[ "$shown" = "vexlor ${name#vexlor-}" ] || fail "the signed vexlor.exe --version says \"$shown\""
# A flipped byte, in the code of a program or the data of the setup program, fails verification.
cp "$work/zip/$name/vexlor.exe" "$work/tampered.exe"
flip_byte "$work/tampered.exe" 4096
! verifies "$work/tampered.exe" || fail "vexlor.exe with a flipped byte still verifies"
cp "$setup" "$work/tampered-setup.exe"
flip_byte "$work/tampered-setup.exe" $(( $(stat -c %s "$setup") / 2 ))
! verifies "$work/tampered-setup.exe" || fail "the setup program with a flipped byte still verifies"

echo "release-test: vexlor-pack on the signed vexlor.exe"
head -c 50000 /dev/urandom > "$work/load.bin"
pack() {  # OUT [ARGUMENT...]: the Linux vexlor-pack packs the signed vexlor.exe; prints its standard error
  local out=$1
  shift
  # shellcheck disable=SC2069  # standard error captured, standard output dropped
  build/bin/vexlor-pack --program "$work/zip/$name/vexlor.exe" --load "$work/load.bin" --version R1234.56 \
    --out "$out" "$@" 2>&1 >/dev/null
}
[ -x build/bin/vexlor-pack ] || fail "no build/bin/vexlor-pack: build the Linux programs first"
out=$(pack "$work/packed.exe") || fail "vexlor-pack failed: $out"
grep -q "note: .*carries an Authenticode signature, and .*packed.exe does not" <<<"$out" ||
  fail "vexlor-pack dropped the signature without a note: $out"
! verifies "$work/packed.exe" || fail "the packed copy of a signed program verifies"
out=$(VEXLOR_SIGN_PKCS12=$work/sign.p12 VEXLOR_SIGN_PASSWORD=wrong pack "$work/refused.exe" --sign) &&
  fail "vexlor-pack --sign signed with a wrong password: $out"
[ ! -e "$work/refused.exe" ] || fail "vexlor-pack --sign left an unsigned program behind"
out=$(VEXLOR_SIGN_PKCS12=$work/sign.p12 VEXLOR_SIGN_PASSWORD=$password pack "$work/packed-signed.exe" --sign) ||
  fail "vexlor-pack --sign failed: $out"
[ -z "$out" ] || fail "vexlor-pack --sign wrote a note: $out"
verifies "$work/packed-signed.exe" || fail "the packed program signed by --sign does not verify"
checked=$(WINEPREFIX=$PWD/$win/wine WINEDEBUG=-all "$wine" "$work/packed-signed.exe" --cli --verify 2>&1 | tr -d '\r') ||
  fail "the packed, signed vexlor.exe fails --verify: $checked"
grep -q 'The package is sound: load version "R1234.56", 50000 bytes' <<<"$checked" ||
  fail "the packed, signed vexlor.exe --verify says: $checked"
# A changed byte of the load fails both checks.
flip_byte "$work/packed-signed.exe" $(( $(stat -c %s "$work/zip/$name/vexlor.exe") + 100 ))
! verifies "$work/packed-signed.exe" || fail "a packed, signed program with a changed load still verifies"
! WINEPREFIX=$PWD/$win/wine WINEDEBUG=-all "$wine" "$work/packed-signed.exe" --cli --verify >/dev/null 2>&1 ||
  fail "a packed, signed program with a changed load passes --verify"

echo "release-test: SHA256SUMS.asc with a throw-away OpenPGP key"
export GNUPGHOME=$work/gnupg
mkdir -m 700 "$GNUPGHOME"
gpg --batch --quiet --passphrase '' --quick-gen-key 'Vexlor throw-away test <test@vexlor.invalid>' ed25519 sign 1d 2>/dev/null
key=$(gpg --batch --with-colons --list-secret-keys 2>/dev/null | awk -F: '$1 == "fpr" { print $10; exit }')
mkdir "$work/dist"
cp "$setup" "$win/$name-windows.zip" "$work/dist/"
out=$(VEXLOR_GPG_KEY=0000000000000000 scripts/checksums.sh "$work/dist" 2>&1) && fail "an unknown key signed: $out"
VEXLOR_GPG_KEY=$key scripts/checksums.sh "$work/dist"
[ "$(cut -d ' ' -f 3- "$work/dist/SHA256SUMS" | sort)" = "$(printf '%s\n' "$name-setup.exe" "$name-windows.zip")" ] ||
  fail "SHA256SUMS lists other files: $(cat "$work/dist/SHA256SUMS")"
(cd "$work/dist" && gpg --batch --verify SHA256SUMS.asc SHA256SUMS 2>/dev/null && sha256sum --check --quiet SHA256SUMS) ||
  fail "SHA256SUMS.asc or SHA256SUMS does not verify"
cp "$work/dist/SHA256SUMS" "$work/sums"
flip_byte "$work/dist/SHA256SUMS" 10
! gpg --batch --verify "$work/dist/SHA256SUMS.asc" "$work/dist/SHA256SUMS" 2>/dev/null ||
  fail "SHA256SUMS with a flipped byte still verifies"
cp "$work/sums" "$work/dist/SHA256SUMS"
flip_byte "$work/dist/$name-windows.zip" 100
! (cd "$work/dist" && sha256sum --check --quiet SHA256SUMS >/dev/null 2>&1) || fail "a changed zip still matches SHA256SUMS"
unset GNUPGHOME

echo "release-test: time-stamped signatures compared without their stamps"
# The full check's way with VEXLOR_SIGN_TIMESTAMP_URL: stamps (here from osslsigncode's own
# time-stamp authority, as no server is at hand) differ, the rest must not; another signing time
# must still show.
# shellcheck source=scripts/release-signatures.sh
. scripts/release-signatures.sh
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/tsa.key" -out "$work/tsa.pem" -days 2 -subj "/CN=throw-away stamps" \
  -addext "extendedKeyUsage=critical,timeStamping" 2>/dev/null
stamp_sign() {  # DIR SIGNING-TIME STAMP-TIME
  mkdir -p "$1"
  printf '%s' "$password" | osslsigncode sign -pkcs12 "$work/sign.p12" -readpass /dev/stdin -h sha256 -time "$2" \
    -TSA-certs "$work/tsa.pem" -TSA-key "$work/tsa.key" -TSA-time "$3" -in "$win/stripped/VexlorEngRes.dll" \
    -out "$1/VexlorEngRes.dll" >/dev/null
}
stamp_sign "$work/stamped/one" 1700000000 1700000001
stamp_sign "$work/stamped/two" 1700000000 1700000002
stamp_sign "$work/stamped/three" 1700000050 1700000002
! cmp -s "$work/stamped/one/VexlorEngRes.dll" "$work/stamped/two/VexlorEngRes.dll" || fail "two time stamps are the same"
for run in one two three; do unstamped_copy "$work/stamped/$run" "$work/unstamped/$run"; done
diff -r "$work/unstamped/one" "$work/unstamped/two" >/dev/null || fail "files differing only by their time stamps compare different"
! diff -r "$work/unstamped/one" "$work/unstamped/three" >/dev/null || fail "another signing time went unseen without the stamps"

# Stages the Windows files twice more, unsigned.
scripts/release.sh --check-reproducible --quick
