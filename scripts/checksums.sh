#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Writes DIR/SHA256SUMS over every other file in DIR and, where VEXLOR_GPG_KEY names an OpenPGP
# key (of the keyring in GNUPGHOME, or ~/.gnupg), its detached ASCII signature DIR/SHA256SUMS.asc.
# Both are checked before it ends. scripts/release.sh runs it on dist/.
#   scripts/checksums.sh DIR
set -euo pipefail
dir=${1:?usage: scripts/checksums.sh DIR}
fail() { echo "checksums: $*" >&2; exit 1; }
cd "$dir"
rm -f SHA256SUMS SHA256SUMS.asc
files=()
while IFS= read -r -d '' file; do files+=("${file#./}"); done < <(find . -maxdepth 1 -type f -print0 | LC_ALL=C sort -z)
[ ${#files[@]} -gt 0 ] || fail "no files in $dir"
sha256sum -- "${files[@]}" > SHA256SUMS
sha256sum --check --quiet SHA256SUMS || fail "SHA256SUMS does not match the files it was made from"
if [ -n "${VEXLOR_GPG_KEY:-}" ]; then
  out=$(gpg --batch --yes --armor --local-user "$VEXLOR_GPG_KEY" --detach-sign --output SHA256SUMS.asc SHA256SUMS 2>&1) ||
    fail "gpg cannot sign with the key $VEXLOR_GPG_KEY (VEXLOR_GPG_KEY, keyring ${GNUPGHOME:-~/.gnupg}): $out"
  gpg --batch --verify SHA256SUMS.asc SHA256SUMS 2>/dev/null || fail "SHA256SUMS.asc does not verify"
fi
