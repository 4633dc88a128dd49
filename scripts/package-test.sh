#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the Debian package, unpacks it into a temporary root and runs the program from there:
# through the symlink on the PATH, so the language libraries must still be found beside the
# real program file.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(scripts/package.sh | tail -n 1)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "package-test: $*" >&2; exit 1; }

# Read each output whole before matching: with pipefail, grep -q closing the pipe early would
# fail the writer with SIGPIPE.
[ "$(dpkg-deb --field "$deb" Package)" = vexlor ] || fail "not a vexlor package"
depends=$(dpkg-deb --field "$deb" Depends)
grep -q 'libqt6widgets6' <<<"$depends" || fail "no dependency on the Qt runtime: $depends"
dpkg-deb -x "$deb" "$root"

for f in usr/bin/vexlor usr/bin/vexlor-pack usr/bin/vexlor-handset-sim \
         usr/libexec/vexlor/VexlorEngRes.so usr/libexec/vexlor/VexlorChtRes.so usr/libexec/vexlor/VexlorChsRes.so \
         usr/share/applications/org.vexlor.Vexlor.desktop usr/share/applications/org.vexlor.VexlorBench.desktop \
         usr/share/icons/hicolor/48x48/apps/vexlor.png \
         usr/share/metainfo/org.vexlor.Vexlor.metainfo.xml \
         usr/share/doc/vexlor/copyright usr/share/doc/vexlor/changelog.gz \
         usr/share/man/man1/vexlor.1.gz usr/lib/udev/rules.d/60-vexlor-serial.rules \
         usr/share/doc/vexlor/examples/registry.reg \
         usr/share/bash-completion/completions/vexlor usr/share/bash-completion/completions/vexlor-pack; do
  [ -e "$root/$f" ] || fail "missing $f"
done
[ -L "$root/usr/bin/vexlor" ] || fail "usr/bin/vexlor is not a symlink"

export XDG_RUNTIME_DIR="$root/run" VEXLOR_REGISTRY="$root/none.reg"
mkdir -p "$XDG_RUNTIME_DIR"
# One version everywhere: the package, and each program's --version.
package_version=$(dpkg-deb --field "$deb" Version)
for program in vexlor vexlor-pack vexlor-handset-sim; do
  shown=$("$root/usr/bin/$program" --version)
  [ "$shown" = "$program $package_version" ] || fail "$program --version says \"$shown\", the package $package_version"
done
grep -q "$package_version" <(zcat "$root/usr/share/doc/vexlor/changelog.gz" | head -n 1) ||
  fail "the changelog's first entry is not $package_version"

# The licence: Apache-2.0, in a machine-readable copyright file.
copyright="$root/usr/share/doc/vexlor/copyright"
head -n 1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not in the machine-readable format"
grep -q '^License: Apache-2.0$' "$copyright" || fail "the copyright file names no Apache-2.0 licence"

# Debian's own checks, the software centre's entry and the desktop entry.
lint=$(lintian --fail-on error,warning "$deb" 2>&1) || fail "lintian: $lint"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.vexlor.Vexlor.metainfo.xml" >/dev/null ||
  fail "appstreamcli: $(appstreamcli validate --no-net "$root/usr/share/metainfo/org.vexlor.Vexlor.metainfo.xml")"
for entry in org.vexlor.Vexlor org.vexlor.VexlorBench; do
  desktop-file-validate "$root/usr/share/applications/$entry.desktop" ||
    fail "desktop-file-validate found faults in $entry.desktop"
done
grep -qx 'Exec=vexlor --bench' "$root/usr/share/applications/org.vexlor.VexlorBench.desktop" ||
  fail "the bench entry does not run vexlor --bench"
"$root/usr/bin/vexlor" --cli --list-ports >/dev/null || fail "vexlor --cli --list-ports"
"$root/usr/bin/vexlor-pack" --help >/dev/null || fail "vexlor-pack --help"
"$root/usr/bin/vexlor-handset-sim" --help >/dev/null || fail "vexlor-handset-sim --help"

# The language library is loaded through the symlink: a Traditional Chinese run shows its text
# (the bare program carries no load, so the start-up check fails with the library's message).
printf '[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n"/dev/null"="COM9"\n' > "$root/ports.reg"
out=$(VEXLOR_REGISTRY="$root/ports.reg" "$root/usr/bin/vexlor" --cli --port COM9 --lang 1 2>&1 || true)
grep -q -P '[\x{4e00}-\x{9fff}]' <<<"$out" || fail "no Chinese text from the language library: $out"
# Bash completes the options and the port names the installed program lists.
completion="$root/usr/share/bash-completion/completions/vexlor"
complete_words() {  # the words completed after the given command line (the last word is being typed)
  VEXLOR_REGISTRY="$root/ports.reg" VEXLOR_SYSFS_ROOT="$root/no-sysfs" bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _vexlor
                                             echo "${COMPREPLY[*]}"' _ "$completion" "$@"
}
words=$(complete_words "$root/usr/bin/vexlor" --cli --po)
[ "$words" = "--port" ] || fail "completion of --po: $words"
words=$(complete_words "$root/usr/bin/vexlor" --cli --port "")
[ "$words" = "COM9" ] || fail "completion of the port names: $words"

echo "package-test: $(basename "$deb") installs and runs from a temporary root"
