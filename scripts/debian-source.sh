# SPDX-License-Identifier: Apache-2.0
# What the scripts that build third-party libraries for the Windows programs from Debian's own
# source packages share (scripts/windows-*.sh source it):
#   third_party_cache NAME VERSION DSC-SHA256 [KEY...]   sets cache (the finished folder) and work
#       (where the build goes until it is whole); exits printing cache when it is there already
#   debian_source POOL NAME VERSION DSC-SHA256 FOLDER [SKIP]   the package's source in FOLDER:
#       the .dsc checked against DSC-SHA256, the tarballs against the .dsc (those matching the
#       extended regular expression SKIP left out), Debian's patches applied in series order;
#       SOURCE_DATE_EPOCH exported from its changelog
#   third_party_finish   renames work into place as cache and prints cache
# The cache lives outside the build folders, so a fresh checkout reuses it:
#   ${VEXLOR_THIRD_PARTY_CACHE:-${XDG_CACHE_HOME:-~/.cache}/vexlor/third-party}/NAME-VERSION-KEY
# KEY is a short hash of the .dsc's digest, the cross compiler's version, the building script and
# this file (and any KEY text given, such as the folder of a library it was built against): a
# change to any of them builds anew, in a folder of its own.
mingw_cc=x86_64-w64-mingw32-gcc-posix

third_party_cache() {  # NAME VERSION DSC-SHA256 [KEY...]
  local name=$1 version=$2 digest=$3 root key
  shift 3
  root=${VEXLOR_THIRD_PARTY_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vexlor/third-party}
  key=$({ printf '%s\n' "$digest" "$@"
          "$mingw_cc" --version | head -n 1
          dpkg-query -W -f '${Version}\n' gcc-mingw-w64-x86-64-posix 2>/dev/null || true
          cat "$0" "${BASH_SOURCE[0]}"; } | sha256sum | cut -c 1-12)
  mkdir -p "$root"
  cache=$(realpath -m "$root/$name-$version-$key")
  if [ -f "$cache/debian-source" ]; then
    echo "$cache"
    exit 0
  fi
  # A build killed before its end leaves its work folder: one whose process is gone is removed.
  local old
  for old in "$cache".work-*; do
    [ -d "$old" ] && ! kill -0 "${old##*.work-}" 2>/dev/null && rm -rf "$old"
  done
  work=$cache.work-$$
  rm -rf "$work"
  mkdir -p "$work"
  trap 'rm -rf "$work"' EXIT
  third_party_line="$name $version $digest"
}

debian_source() {  # POOL NAME VERSION DSC-SHA256 FOLDER [SKIP]
  local pool=$1 name=$2 version=$3 digest=$4 folder=$5 skip=${6:-'^$'}
  local upstream=${version%-*} download=$work/download dsc sum file patch
  upstream=${upstream#*:}
  dsc=${name}_$version.dsc
  mkdir -p "$download" "$folder"
  fetch() { curl -fsSL --retry 3 -m 600 -o "$download/$1" "$pool/$1" >&2; }
  fetch "$dsc"
  (cd "$download" && echo "$digest  $dsc" | sha256sum -c --quiet - >&2)
  # The tarballs and their digests, as the checked description lists them (no signatures).
  sed -n '/^Checksums-Sha256:/,/^[^ ]/p' "$download/$dsc" |
    awk 'NF == 3 && $3 ~ /\.tar\./ && $3 !~ /\.asc$/' | grep -Ev -e "$skip" > "$download/sums" || true
  grep -q "${name}_$upstream\.orig\.tar\." "$download/sums" && grep -q "${name}_$version\.debian\.tar\." "$download/sums" ||
    { echo "debian-source: $dsc lists no upstream and Debian tarball" >&2; exit 1; }
  while read -r sum _ file; do
    fetch "$file"
    (cd "$download" && echo "$sum  $file" | sha256sum -c --quiet - >&2)
  done < "$download/sums"

  tar -xf "$download/${name}_$upstream".orig.tar.* -C "$folder" --strip-components=1
  tar -xf "$download/${name}_$version".debian.tar.* -C "$folder"
  if [ -f "$folder/debian/patches/series" ]; then
    grep -v '^\s*\(#\|$\)' "$folder/debian/patches/series" | while read -r patch _; do
      patch -d "$folder" -p1 -s --no-backup-if-mismatch < "$folder/debian/patches/$patch" >&2
    done
  fi
  SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l "$folder/debian/changelog" -S Timestamp)
  export SOURCE_DATE_EPOCH
  rm -rf "$download"
}

third_party_finish() {
  # What was built from what: for the bill of materials and for whoever looks in the cache.
  printf '%s\n' "$third_party_line" > "$work/debian-source"
  rm -rf "$work/src" "$work/build"
  # Another build of the same key may have finished first: its folder is as good as this one.
  mv -T "$work" "$cache" 2>/dev/null || [ -f "$cache/debian-source" ] ||
    { echo "debian-source: cannot move $work to $cache" >&2; exit 1; }
  rm -rf "$work"
  trap - EXIT
  echo "$cache"
}
