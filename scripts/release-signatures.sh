# SPDX-License-Identifier: Apache-2.0
# shellcheck shell=bash
# The release check's signing part, sourced by scripts/release.sh (bash, set -euo pipefail):
# throw-away keys to sign with, and the check of every signature in a release's files.

# Makes in DIR a self-signed code-signing certificate (DIR/cert.pem) with its PKCS#12 file
# (DIR/sign.p12) and an OpenPGP key in the keyring DIR/gnupg, and exports the release's settings
# for them: VEXLOR_SIGN_PKCS12, VEXLOR_SIGN_PASSWORD, VEXLOR_GPG_KEY, GNUPGHOME. Both expire in
# two days. The keyring's agent is ended by end_throwaway_keys.
throwaway_keys() {  # DIR
  local dir=$1
  mkdir -p "$dir"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$dir/key.pem" -out "$dir/cert.pem" -days 2 \
    -subj "/CN=Vexlor throw-away release signer" -addext extendedKeyUsage=codeSigning 2>/dev/null
  export VEXLOR_SIGN_PASSWORD="throw-away-$$-$RANDOM"
  openssl pkcs12 -export -inkey "$dir/key.pem" -in "$dir/cert.pem" -out "$dir/sign.p12" \
    -passout "pass:$VEXLOR_SIGN_PASSWORD"
  export VEXLOR_SIGN_PKCS12=$dir/sign.p12
  export GNUPGHOME=$dir/gnupg
  mkdir -m 700 "$GNUPGHOME"
  gpg --batch --quiet --passphrase '' --quick-gen-key 'Vexlor throw-away release <release@vexlor.invalid>' \
    ed25519 sign 2d 2>/dev/null
  VEXLOR_GPG_KEY=$(gpg --batch --with-colons --list-secret-keys 2>/dev/null | awk -F: '$1 == "fpr" { print $10; exit }')
  export VEXLOR_GPG_KEY
}

end_throwaway_keys() {  # DIR
  GNUPGHOME=$1/gnupg gpgconf --kill gpg-agent 2>/dev/null || true
}

# The byte at OFFSET of FILE with its lowest bit inverted.
flip_byte() {  # FILE OFFSET
  local byte
  byte=$(od -A n -t u1 -j "$2" -N 1 "$1" | tr -d ' ')
  # shellcheck disable=SC2059  # the format is the byte's octal escape
  printf "$(printf '\\%03o' $((byte ^ 1)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

authenticode_verifies() {  # CERT FILE
  osslsigncode verify -CAfile "$1" -in "$2" >/dev/null 2>&1
}

# Checks every signature of the release in DIST against CERT (PEM) and the OpenPGP keyring of
# GNUPGHOME: each program and DLL of the zip, the setup program, each program, DLL and the
# uninstaller inside it (taken out with 7z), and SHA256SUMS.asc with the files SHA256SUMS lists;
# then that a flipped byte fails each kind. SCRATCH is an empty folder to unpack into. Fails on
# the first that does not hold.
verify_release_signatures() {  # DIST CERT SCRATCH
  local dist=$1 cert=$2 scratch=$3 file zip setup count=0
  local -a zips setups
  zips=("$dist"/*-windows.zip) setups=("$dist"/*-setup.exe)
  zip=${zips[0]} setup=${setups[0]}
  if [ ! -f "$zip" ] || [ ! -f "$setup" ]; then fail "no Windows zip and setup program in $dist to verify"; fi
  mkdir -p "$scratch/zip" "$scratch/setup"
  unzip -q "$zip" -d "$scratch/zip"
  authenticode_verifies "$cert" "$setup" || fail "$setup: $(osslsigncode verify -CAfile "$cert" -in "$setup" 2>&1 | tail -n 3)"
  command -v 7z >/dev/null || fail "no 7z to take the uninstaller out of the setup program (scripts/setup.sh installs p7zip-full)"
  7z x -y -o"$scratch/setup" "$setup" >/dev/null || fail "7z cannot unpack $setup"
  [ -f "$scratch/setup/uninstall.exe" ] || fail "$setup carries no uninstall.exe"
  while IFS= read -r -d '' file; do
    authenticode_verifies "$cert" "$file" || fail "not signed, or not verified: ${file#"$scratch"/}"
    count=$((count + 1))
  done < <(find "$scratch/zip" "$scratch/setup" -type f \( -name '*.exe' -o -name '*.dll' \) -print0)
  [ "$count" -ge 13 ] || fail "only $count programs and DLLs found in $zip and $setup"
  (cd "$dist" && gpg --batch --verify SHA256SUMS.asc SHA256SUMS 2>/dev/null && sha256sum --check --quiet SHA256SUMS) ||
    fail "SHA256SUMS.asc or SHA256SUMS in $dist does not verify"

  # A flipped byte in a program's code, in the setup program's data, in SHA256SUMS.
  cp "$scratch/setup/uninstall.exe" "$scratch/tampered.exe"
  flip_byte "$scratch/tampered.exe" 1024
  ! authenticode_verifies "$cert" "$scratch/tampered.exe" || fail "the uninstaller with a flipped byte still verifies"
  cp "$setup" "$scratch/tampered-setup.exe"
  flip_byte "$scratch/tampered-setup.exe" $(( $(stat -c %s "$setup") / 2 ))
  ! authenticode_verifies "$cert" "$scratch/tampered-setup.exe" || fail "the setup program with a flipped byte still verifies"
  cp "$dist/SHA256SUMS" "$scratch/SHA256SUMS"
  flip_byte "$scratch/SHA256SUMS" 10
  ! gpg --batch --verify "$dist/SHA256SUMS.asc" "$scratch/SHA256SUMS" 2>/dev/null || fail "SHA256SUMS with a flipped byte still verifies"
  echo "  verified   $count signed programs and DLLs (zip; setup program: its files, plug-ins and uninstaller), the setup program, SHA256SUMS.asc; flipped bytes fail"
}

# The files of a release with time-stamped signatures, made comparable: a time stamp is an
# unsigned attribute of the signature and differs with every signing. Each program and DLL (also
# inside the zips and the setup program) becomes two files: the program with its signature removed,
# and <name>.signature, the signature as openssl prints it without its unsigned attributes
# (certificates, signed attributes with the program's digest and signing time, signature value).
# SHA256SUMS and the bill of materials name the stamped files' checksums and are left out.
unstamped_copy() {  # DIST OUT
  local dist=$1 out=$2 file name
  mkdir -p "$out"
  for file in "$dist"/*; do
    name=$(basename "$file")
    case "$name" in
      SHA256SUMS|SHA256SUMS.asc|*.spdx.json) ;;
      *.zip) unzip -q "$file" -d "$out/$name" ;;
      *-setup.exe) 7z x -y -o"$out/$name" "$file" >/dev/null ;;
      *) cp "$file" "$out/" ;;
    esac
  done
  while IFS= read -r -d '' file; do
    osslsigncode extract-signature -in "$file" -out "$file.der" >/dev/null 2>&1 || { rm -f "$file.der"; continue; }
    openssl pkcs7 -inform DER -in "$file.der" -print -noout | sed '/^ *unauth_attr:/,$d' > "$file.signature"
    rm "$file.der"
    osslsigncode remove-signature -in "$file" -out "$file.unsigned" >/dev/null
    mv "$file.unsigned" "$file"
  done < <(find "$out" -type f \( -name '*.exe' -o -name '*.dll' \) -print0)
}
