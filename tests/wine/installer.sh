#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The Windows installer and portable zip under Wine, in a fresh prefix of their own (removed at
# the end): a silent install puts exactly the zip's files in Program Files with the Start-menu
# shortcut and the Programs and Features entry; the installed vexlor.exe shows the built
# version; the silent uninstall removes all of it but leaves the user's log file and the settings
# key. Run after scripts/build-windows.sh; the build folder is $1 (build-win by default).
#   tests/wine/installer.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-win}
fail() { echo "wine-installer: $*" >&2; exit 1; }
[ -x "$build/bin/vexlor.exe" ] || fail "no $build/bin/vexlor.exe: run scripts/build-windows.sh first"

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(dirname "$wine")/wineserver
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$WINEPREFIX"
# A server of its own, so nothing Wine starts keeps this script's output open.
"$wineserver" -p </dev/null >/dev/null 2>&1
"$wine" wineboot -i >/dev/null 2>&1 || fail "wineboot failed"

run() { "$wine" "$@" 2>/dev/null | tr -d '\r'; }  # Wine's console output has CR LF lines
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vexlor'
settings_key='HKLM\SOFTWARE\Vexlor'
program_files=$WINEPREFIX/drive_c/Program\ Files
dir=$program_files/Vexlor
shortcut=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Vexlor.lnk
files="CHANGELOG.md
LICENSE.txt
README.md
VexlorChsRes.dll
VexlorChtRes.dll
VexlorEngRes.dll
vexlor-pack.exe
vexlor.exe"

built=$(run "$build/bin/vexlor.exe" --version)
version=${built#vexlor }
[ -n "$version" ] && [ "$version" != "$built" ] || fail "unexpected --version output of the build: '$built'"
setup=$build/vexlor-$version-setup.exe
zip=$build/vexlor-$version-windows.zip
[ -f "$setup" ] || fail "no $setup"
[ -f "$zip" ] || fail "no $zip"

# The zip: exactly the files, in one folder named for the version.
listed=$(unzip -Z1 "$zip" | sort)
expected=$(sed "s|^|vexlor-$version/|" <<<"$files" | sort)
[ "$listed" = "$expected" ] || fail "the zip holds:
$listed
expected:
$expected"
unzip -q "$zip" -d "$work/zip"

status=0
timeout 60 "$wine" "$setup" /S >/dev/null 2>&1 || status=$?
[ $status -ne 124 ] || fail "the silent install did not finish in 60 s"
[ $status -eq 0 ] || fail "the silent install exited with $status"
[ -d "$dir" ] || fail "nothing installed in $dir"
installed=$(ls -1 "$dir" | LC_ALL=C sort)
[ "$installed" = "$(printf '%s\nuninstall.exe\n' "$files" | LC_ALL=C sort)" ] \
  || fail "the install folder holds: $(echo $installed)"
diff -r --exclude=uninstall.exe "$work/zip/vexlor-$version" "$dir" >/dev/null \
  || fail "the installed files differ from the zip's"
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
run reg query "$uninstall_key" > "$work/key.txt"
grep -Eq "^ +DisplayVersion +REG_SZ +${version//+/\\+}$" "$work/key.txt" \
  || fail "the Uninstall key has no DisplayVersion $version: $(cat "$work/key.txt")"
grep -Eq '^ +QuietUninstallString +REG_SZ +"C:\\Program Files\\Vexlor\\uninstall.exe" /S$' "$work/key.txt" \
  || fail "the Uninstall key has no QuietUninstallString: $(cat "$work/key.txt")"
shown=$(run "C:\\Program Files\\Vexlor\\vexlor.exe" --version)
[ "$shown" = "$built" ] || fail "the installed vexlor.exe shows '$shown', the build '$built'"
echo "wine-installer: installed $version: $(wc -l <<<"$files") files, shortcut, Uninstall key"

# The user's own: a day's log in the program folder (the shortcut starts the program there) and
# the settings.
echo "<NML>	user log" > "$dir/20261209.log"
run reg add "$settings_key" /v Level /t REG_DWORD /d 5 /f >/dev/null
# As Programs and Features runs it: the uninstaller copies itself out of the folder, starts the
# copy and returns at once. The copy deletes the Uninstall key last: wait for that.
status=0
timeout 60 "$wine" "C:\\Program Files\\Vexlor\\uninstall.exe" /S >/dev/null 2>&1 || status=$?
[ $status -eq 0 ] || fail "the silent uninstall exited with $status"
for _ in $(seq 60); do
  run reg query "$uninstall_key" >/dev/null || break
  sleep 0.5
done
if run reg query "$uninstall_key" >/dev/null; then fail "the Uninstall key is still there after 30 s"; fi
[ -f "$dir/20261209.log" ] || fail "the uninstall removed the user's log in the program folder"
left=$(ls -1 "$dir")
[ "$left" = 20261209.log ] || fail "after the uninstall the folder holds: $(echo $left)"
[ ! -e "$shortcut" ] || fail "the Start-menu shortcut is still there"
run reg query "$settings_key" /v Level | grep -q 'Level' || fail "the uninstall removed the settings key"
echo "wine-installer: uninstalled; the user's log and settings key remain"
