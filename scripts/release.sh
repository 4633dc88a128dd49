#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Makes a release's files in dist/ from a tree with nothing uncommitted: the Debian package, the
# source tarball (git archive), the Windows installer, portable zip and debug-information zip
# (where the Windows build can be made here), the software bill of materials
# (vexlor-<version>.spdx.json, scripts/sbom.py), and SHA256SUMS over them all. The version is the project's (CMakeLists.txt),
# with the commit for a tree that is not exactly the release tag v<version>.
#
# Every run from one commit makes the same bytes, in any folder, at any time, under any umask and
# time zone: the programs are built afresh (build-release/, build-release-win/) with the commit's
# time as SOURCE_DATE_EPOCH, the folders mapped out of them and no link time in the Windows
# headers, and the archives keep fixed member orders, times, owners and modes.
#
# Signing, where the environment names the keys:
#   VEXLOR_SIGN_PKCS12, VEXLOR_SIGN_PASSWORD,  Authenticode on the Windows programs, the DLLs, the
#   VEXLOR_SIGN_TIMESTAMP_URL (optional)       uninstaller, NSIS's plug-ins and the setup program
#                                              (packaging/windows/sign.sh), signed at the commit's
#                                              time, so a signed release is reproducible too
#   VEXLOR_GPG_KEY (keyring of GNUPGHOME)      SHA256SUMS.asc (scripts/checksums.sh)
#
#   scripts/release.sh                                dist/
#   scripts/release.sh --check-reproducible           two releases of HEAD from clones in different
#                                                     folders, one after the other, under different
#                                                     umasks and time zones, signed with throw-away
#                                                     keys, compared file by file (SHA256SUMS.asc
#                                                     aside), and every signature checked
#   scripts/release.sh --check-reproducible --quick   the part the test command runs (a minute):
#                                                     the source tarball, the .deb from build/, a
#                                                     language DLL linked in two folders, the zips
#                                                     and the setup program from build-win/, unsigned
#                                                     and signed with throw-away keys (every
#                                                     signature checked), and the bill of materials
# A check prints diffoscope's report (else the first differing bytes) for each file that differs,
# and ends with status 1 if any does.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/release-signatures.sh
. scripts/release-signatures.sh
fail() { echo "release: $*" >&2; exit 1; }
work=""  # a check's scratch folder
trap '[ -z "$work" ] || { end_throwaway_keys "$work/keys"; rm -rf "$work"; }' EXIT
has_windows_build() { command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v makensis >/dev/null; }

# The source as committed; the archive names its commit and the commit's time (cmake/git_commit.txt,
# export-subst). git archive fixes the members' order, times (the commit's), owners and modes.
make_tarball() {  # VERSION OUT
  git archive --format=tar --prefix="vexlor-$1/" HEAD | gzip -9 -n > "$2"
}

# Prints how two files differ: diffoscope's report where it is installed, else the first
# differing byte and the bytes around it in each.
show_difference() {  # A B
  if command -v diffoscope >/dev/null; then
    diffoscope --no-progress --text - --max-text-report-size 60000 "$1" "$2" || true
    return
  fi
  local size1 size2 first
  size1=$(stat -c %s "$1") size2=$(stat -c %s "$2")
  [ "$size1" = "$size2" ] || echo "  sizes: $size1 and $size2 bytes"
  first=$(cmp "$1" "$2" 2>/dev/null | sed -n 's/.* differ: byte \([0-9]*\),.*/\1/p')
  [ -n "$first" ] || return 0  # one is the start of the other
  echo "  first difference at byte $first (offset $((first - 1))); 48 bytes from offset $(( first > 17 ? first - 17 : 0 )):"
  for file in "$1" "$2"; do
    echo "  $file:"
    od -A d -t x1z -j $(( first > 17 ? first - 17 : 0 )) -N 48 "$file" | sed 's/^/    /'
  done
}

differing=()
compare() {  # NAME A B
  if cmp -s "$2" "$3"; then
    echo "  identical  $1"
  else
    echo "  DIFFERENT  $1"
    show_difference "$2" "$3" | sed 's/^/    /'
    differing+=("$1")
  fi
}

finish_check() {  # WHAT-WAS-LEFT-OUT
  if [ ${#differing[@]} -gt 0 ]; then
    echo "release: not reproducible: ${differing[*]}" >&2
    exit 1
  fi
  echo "release: every file checked is reproducible${1:+; $1}"
}

# Writes the bill of materials OUT for the release files given, from the Linux build (its
# program and language libraries, which the .deb holds) and the Windows build, if any.
make_sbom() {  # OUT VERSION LINUX-BUILD WINDOWS-BUILD-OR-EMPTY RELEASE-FILE...
  local out=$1 version=$2 linux=$3 windows=$4 file commit epoch
  shift 4
  commit=$(git rev-parse HEAD 2>/dev/null || echo unknown)
  epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 0)}
  local args=(--out "$out" --version "$version" --commit "$commit" --time "$epoch")
  for file in "$linux"/bin/vexlor "$linux"/bin/Vexlor*Res.so; do args+=(--linux-program "$file"); done
  for file in "$@"; do
    args+=(--release-file "$file")
    case "$file" in
      *-windows.zip) args+=(--windows-zip "$file") ;;
      *-setup.exe) args+=(--setup "$file") ;;
    esac
  done
  if [ -n "$windows" ]; then args+=(--windows-build "$windows"); fi
  scripts/sbom.py "${args[@]}"
}

# Checks the bill of materials SBOM against the Linux PROGRAM as ldd shows it here: every shared
# library it loads is a file of the document, held by a Debian package with the version installed;
# and every relationship names elements the document has.
check_sbom() {  # SBOM PROGRAM
  python3 - "$1" "$2" <<'CHECK' || fail "the bill of materials $1 is incomplete"
import json, subprocess, sys
document = json.load(open(sys.argv[1]))
assert document["spdxVersion"] == "SPDX-2.3", document["spdxVersion"]
files = {entry["fileName"]: entry["SPDXID"] for entry in document["files"]}
packages = {entry["SPDXID"]: entry for entry in document["packages"]}
known = set(files.values()) | set(packages) | {"SPDXRef-DOCUMENT"}
holder = {}
problems = []
for relation in document["relationships"]:
    if relation["spdxElementId"] not in known or relation["relatedSpdxElement"] not in known:
        problems.append(f"a relationship names an element it lacks: {relation}")
    if relation["relationshipType"] == "CONTAINS":
        holder[relation["relatedSpdxElement"]] = relation["spdxElementId"]
listed = 0
for line in subprocess.run(["ldd", sys.argv[2]], check=True, capture_output=True, text=True).stdout.splitlines():
    words = line.split()
    path = words[2] if len(words) > 2 and words[1] == "=>" else words[0]
    if not path.startswith("/"):
        continue  # the vDSO: no file
    if path not in files:
        problems.append(f"{path} (ldd {sys.argv[2]}) is not named")
        continue
    package = packages.get(holder.get(files[path]))
    if not package:
        problems.append(f"{path} is in no package")
        continue
    installed = subprocess.run(["dpkg-query", "--show", "--showformat=${Version}", package["name"]],
                               capture_output=True, text=True).stdout
    if package.get("versionInfo") != installed:
        problems.append(f"{path}: {package['name']} {package.get('versionInfo')}, installed {installed}")
    listed += 1
if listed < 3:
    problems.append(f"only {listed} libraries from ldd")
for problem in problems:
    print("  sbom:", problem, file=sys.stderr)
if problems:
    sys.exit(1)
print(f"  complete   {sys.argv[1].rsplit('/', 1)[-1]}: the {listed} shared libraries ldd shows, each with its Debian package and version")
CHECK
}

# Builds the Windows zips and setup program in BUILD afresh from its programs; prints their paths.
stage_windows() {  # BUILD
  rm -f "$1/packaging/windows/stage.stamp"
  cmake --build "$1" --target vexlor_windows_zip vexlor_windows_setup >/dev/null
  local stage=("$1"/packaging/windows/stage/vexlor-*)
  local name=${stage[0]##*/}
  printf '%s\n' "$1/$name-windows.zip" "$1/$name-windows-debug.zip" "$1/$name-setup.exe"
}

# The second of each pair of builds is made later, under another umask and time zone.
later() { umask 077; export TZ=Pacific/Chatham; }

# The test command's part: what can be made twice from the trees it has built already.
check_quick() {
  local build=${VEXLOR_BUILD:-build} win=${VEXLOR_WIN_BUILD:-build-win} deb version
  work=$(mktemp -d)
  echo "release: reproducibility, quick part"

  deb=$(scripts/package.sh | tail -n 1)
  cp "$deb" "$work/one.deb"
  deb=$(later && scripts/package.sh | tail -n 1)
  compare "$(basename "$deb") (packed twice from $build/)" "$work/one.deb" "$deb"
  version=$(dpkg-deb --field "$deb" Version)

  if git rev-parse --verify --quiet HEAD >/dev/null; then
    make_tarball "$version" "$work/one.tar.gz"
    (later && make_tarball "$version" "$work/two.tar.gz")
    compare "vexlor-$version.tar.gz" "$work/one.tar.gz" "$work/two.tar.gz"
  else
    echo "  (no git here: no source tarball)"
  fi

  if has_windows_build && [ -f "$win/build.ninja" ]; then
    # A language DLL linked in two fresh folders of different names, from the committed source.
    # The configure step looks for the record store's SQLite and the publisher's libmosquitto and
    # OpenSSL: the Windows build's own are named.
    local dir var value libraries=()
    for var in SQLite3_INCLUDE_DIR SQLite3_LIBRARY VEXLOR_MOSQUITTO_ROOT VEXLOR_OPENSSL_ROOT; do
      value=$(sed -n "s/^$var:[A-Z]*=//p" "$win/CMakeCache.txt")
      if [ -n "$value" ]; then libraries+=("-D$var=$value"); fi
    done
    for dir in "$work/one" "$work/second/folder-two"; do
      mkdir -p "$dir/src"
      git archive HEAD | tar -x -C "$dir/src"
      ( [ "$dir" = "$work/one" ] || later
        cmake -S "$dir/src" -B "$dir/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$dir/src/cmake/mingw-w64.cmake" \
          -DCMAKE_BUILD_TYPE=Release -DVEXLOR_BUILD_GUI=OFF -DVEXLOR_BUILD_BENCH=OFF -DVEXLOR_BUILD_TESTS=OFF \
          "${libraries[@]}" >/dev/null &&
        cmake --build "$dir/build" --target vexlor_lang_eng >/dev/null ) || fail "cannot build VexlorEngRes.dll in $dir"
    done
    compare "VexlorEngRes.dll (linked in two folders)" "$work/one/build/bin/VexlorEngRes.dll" \
      "$work/second/folder-two/build/bin/VexlorEngRes.dll"

    # The zips and the setup program staged and packed twice from the same programs, signed with
    # throw-away keys (at the commit's time, no time stamp) and then unsigned, which is how the
    # build is left.
    local file outputs=()
    throwaway_keys "$work/keys"
    unset VEXLOR_SIGN_TIMESTAMP_URL
    stage_windows "$win" > "$work/staged"
    mapfile -t outputs < "$work/staged"
    mkdir "$work/signed" "$work/dist"
    cp "${outputs[@]}" "$work/signed/"
    (later && stage_windows "$win") > "$work/staged"
    mapfile -t outputs < "$work/staged"
    for file in "${outputs[@]}"; do
      compare "$(basename "$file") (signed twice in $win/)" "$work/signed/$(basename "$file")" "$file"
    done
    # A release folder of them, the .deb and the bill of materials, its SHA256SUMS signed.
    cp "${outputs[@]}" "$deb" "$work/dist/"
    local released=("$work"/dist/*)
    make_sbom "$work/dist/vexlor-$version.spdx.json" "$version" "$build" "$win" "${released[@]}"
    (later && make_sbom "$work/two.spdx.json" "$version" "$build" "$win" "${released[@]}")
    compare "vexlor-$version.spdx.json (made twice)" "$work/dist/vexlor-$version.spdx.json" "$work/two.spdx.json"
    check_sbom "$work/dist/vexlor-$version.spdx.json" "$build/bin/vexlor"
    scripts/checksums.sh "$work/dist"
    grep -q " vexlor-$version.spdx.json\$" "$work/dist/SHA256SUMS" || fail "SHA256SUMS does not list the bill of materials"
    verify_release_signatures "$work/dist" "$work/keys/cert.pem" "$work/verify"
    unset VEXLOR_SIGN_PKCS12 VEXLOR_SIGN_PASSWORD VEXLOR_GPG_KEY

    stage_windows "$win" > "$work/staged"
    mapfile -t outputs < "$work/staged"
    mkdir "$work/windows"
    cp "${outputs[@]}" "$work/windows/"
    (later && stage_windows "$win") > "$work/staged"
    mapfile -t outputs < "$work/staged"
    for file in "${outputs[@]}"; do
      compare "$(basename "$file") (packed twice in $win/)" "$work/windows/$(basename "$file")" "$file"
    done
  else
    echo "  (no Windows build in $win/: no Windows files)"
    make_sbom "$work/vexlor-$version.spdx.json" "$version" "$build" "" "$deb"
    check_sbom "$work/vexlor-$version.spdx.json" "$build/bin/vexlor"
  fi
  finish_check "left to scripts/release.sh --check-reproducible: the programs compiled in two folders, and the .deb, zips and setup program made from them"
}

# Two whole releases of HEAD, each from a clone of its own, compared.
check_full() {
  local commit dir mask zone
  commit=$(git rev-parse HEAD)
  [ -z "$(git status --porcelain)" ] || echo "release: uncommitted changes are not part of the check: it builds $commit" >&2
  work=$(mktemp -d)
  local first=$work/one/vexlor second=$work/second/a/longer/path/vexlor-again
  for dir in "$first" "$second"; do
    git clone --quiet --no-hardlinks . "$dir"
    git -C "$dir" checkout --quiet --detach "$commit"
  done
  # Both signed with the same throw-away keys, made here: a signed release must be reproducible.
  # Each build its own, without a compiler cache (a cached object would hide a compiler that is
  # not deterministic), the second later, under another umask and time zone.
  throwaway_keys "$work/keys"
  local stamped=${VEXLOR_SIGN_TIMESTAMP_URL:-}
  for dir in "$first" "$second"; do
    if [ "$dir" = "$first" ]; then mask=022 zone=UTC; else mask=077 zone=Pacific/Chatham; fi
    echo "release: building the signed release in $dir (umask $mask, TZ $zone), $(date -u '+%H:%M:%S UTC')"
    (cd "$dir" && umask "$mask" &&
     env -u SOURCE_DATE_EPOCH -u VEXLOR_BUILD -u VEXLOR_WIN_BUILD \
         -u CMAKE_C_COMPILER_LAUNCHER -u CMAKE_CXX_COMPILER_LAUNCHER CCACHE_DISABLE=1 TZ="$zone" \
         scripts/release.sh > "$work/$(basename "$dir").log" 2>&1) ||
      { tail -n 40 "$work/$(basename "$dir").log" >&2; fail "the release in $dir failed"; }
  done

  echo "release: comparing the two releases of $commit"
  local file name
  for file in "$first"/dist/* "$second"/dist/*; do
    name=$(basename "$file")
    [ -f "$first/dist/$name" ] && [ -f "$second/dist/$name" ] && continue
    echo "  DIFFERENT  $name is in one release only: $file"
    differing+=("$name")
  done
  if [ -n "$stamped" ]; then
    # A time stamp is an unsigned attribute of a signature and differs with every signing.
    echo "  (time-stamped by $stamped: the programs and DLLs, also those in the zips and the setup program, are compared with the time stamps removed: each without its signature, and its signature without its unsigned attributes; SHA256SUMS and the bill of materials, which hold the stamped files' checksums, are not compared)"
    unstamped_copy "$first/dist" "$work/unstamped/one"
    unstamped_copy "$second/dist" "$work/unstamped/two"
    while IFS= read -r -d '' file; do
      name=${file#"$work/unstamped/one/"}
      if [ -f "$work/unstamped/two/$name" ]; then compare "$name" "$file" "$work/unstamped/two/$name"; fi
    done < <(find "$work/unstamped/one" -type f -print0 | LC_ALL=C sort -z)
  else
    for file in "$first"/dist/*; do
      name=$(basename "$file")
      # An OpenPGP signature holds the time it was made.
      [ "$name" != SHA256SUMS.asc ] || continue
      if [ -f "$second/dist/$name" ]; then compare "$name" "$file" "$second/dist/$name"; fi
    done
  fi
  # The Windows programs and DLLs themselves, as linked and as stripped for the zip and the setup
  # program (before signing).
  for file in "$first"/build-release-win/{bin,stripped}/{vexlor.exe,vexlor-pack.exe,VexlorEngRes.dll,VexlorChtRes.dll,VexlorChsRes.dll}; do
    name=${file#"$first/build-release-win/"}
    if [ -f "$file" ]; then compare "$name" "$file" "$second/build-release-win/$name"; fi
  done

  echo "release: checking the signatures and the bill of materials"
  local version
  version=$(dpkg-deb --field "$first"/dist/*.deb Version)
  for dir in "$first" "$second"; do
    if [ -f "$dir/dist/vexlor-$version-setup.exe" ]; then
      verify_release_signatures "$dir/dist" "$work/keys/cert.pem" "$work/verify-$(basename "$dir")"
    else
      (cd "$dir/dist" && gpg --batch --verify SHA256SUMS.asc SHA256SUMS 2>/dev/null) || fail "$dir/dist/SHA256SUMS.asc does not verify"
      echo "  verified   SHA256SUMS.asc (no Windows files)"
    fi
  done
  check_sbom "$first/dist/vexlor-$version.spdx.json" "$first/build-release/bin/vexlor"
  finish_check "${stamped:+signed files compared without their time stamps; }SHA256SUMS.asc not compared (an OpenPGP signature holds the time it was made)"
}

make_release() {
  if [ -n "$(git status --porcelain)" ]; then
    echo "release: the tree has uncommitted changes; commit or stash them first:" >&2
    git status --short >&2
    exit 1
  fi
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
  export SOURCE_DATE_EPOCH
  # Keys are checked before the builds, not after them.
  local windows_signed=""
  if [ -n "${VEXLOR_SIGN_PKCS12:-}" ]; then
    [ -r "$VEXLOR_SIGN_PKCS12" ] || fail "cannot read the certificate file $VEXLOR_SIGN_PKCS12 (VEXLOR_SIGN_PKCS12)"
    command -v osslsigncode >/dev/null || fail "no osslsigncode to sign with (scripts/setup.sh installs it)"
    windows_signed=yes
  fi
  if [ -n "${VEXLOR_GPG_KEY:-}" ]; then
    gpg --batch --list-secret-keys "$VEXLOR_GPG_KEY" >/dev/null 2>&1 ||
      fail "no secret key $VEXLOR_GPG_KEY (VEXLOR_GPG_KEY) in the keyring ${GNUPGHOME:-~/.gnupg}"
  fi

  rm -rf build-release build-release-win dist
  local deb version
  deb=$(VEXLOR_BUILD=build-release scripts/package.sh -DVEXLOR_BUILD_TESTS=OFF -DVEXLOR_BUILD_BENCH=OFF | tail -n 1)
  version=$(dpkg-deb --field "$deb" Version)
  mkdir dist
  cp "$deb" dist/
  make_tarball "$version" "dist/vexlor-$version.tar.gz"

  local windows=""
  if has_windows_build; then
    VEXLOR_WIN_BUILD=build-release-win scripts/build-windows.sh -DVEXLOR_BUILD_TESTS=OFF >/dev/null
    local file
    for file in "build-release-win/vexlor-$version-setup.exe" "build-release-win/vexlor-$version-windows.zip" \
                "build-release-win/vexlor-$version-windows-debug.zip"; do
      [ -f "$file" ] || fail "the Windows build made no $file"
      cp "$file" dist/
    done
    windows=yes
  else
    echo "release: no mingw-w64 or NSIS here: dist/ has no Windows files" >&2
  fi

  local released=(dist/*)
  make_sbom "dist/vexlor-$version.spdx.json" "$version" build-release "${windows:+build-release-win}" "${released[@]}"
  scripts/checksums.sh dist
  echo "release: dist/ for vexlor $version:"
  ls -1 dist
  if [ -z "$windows" ]; then
    :
  elif [ -n "$windows_signed" ]; then
    echo "release: the Windows programs, DLLs, uninstaller and setup program are signed (Authenticode, signing time $(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC'), the commit's)${VEXLOR_SIGN_TIMESTAMP_URL:+, time-stamped by $VEXLOR_SIGN_TIMESTAMP_URL}"
  else
    echo "release: the Windows files are UNSIGNED: Windows will name no publisher (set VEXLOR_SIGN_PKCS12 and VEXLOR_SIGN_PASSWORD to sign them)"
  fi
  if [ -n "${VEXLOR_GPG_KEY:-}" ]; then
    echo "release: SHA256SUMS is signed: SHA256SUMS.asc, key $VEXLOR_GPG_KEY"
  else
    echo "release: SHA256SUMS is not signed (set VEXLOR_GPG_KEY to sign it)"
  fi
}

case "${1:-}" in
  "") make_release ;;
  --check-reproducible)
    case "${2:-}" in
      "") check_full ;;
      --quick) check_quick ;;
      *) fail "unknown option $2 (--check-reproducible [--quick])" ;;
    esac ;;
  *) fail "unknown option $1 (scripts/release.sh [--check-reproducible [--quick]])" ;;
esac
