#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The Windows installer and portable zip under Wine, in a fresh prefix of their own (removed at
# the end): version 0.9.0 (made here from the same script and files) goes into Program Files; the
# build's installer, silently, into another folder upgrades it: the old folder is gone, exactly
# the zip's files are in the new one with the Start-menu shortcuts (the window, and the bench
# window with --bench), and Programs and Features holds one entry, of the build's version; the
# installed vexlor.exe shows it. While Vexlor runs (a window, on a virtual display, or a headless
# run) a silent install or uninstall fails with status 3 and touches nothing. The silent
# uninstall removes all of it but leaves the user's log file and the settings key. Then the
# install with a firmware load (/LOAD, /VERSION): one that cannot be packed installs nothing,
# a good one gives a vexlor.exe that passes its check and flashes the simulator. Run after
# scripts/build-windows.sh and the Linux build (build/, for the simulator); the build folder is
# $1 (build-win by default).
#   tests/wine/installer.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-win}
fail() { echo "wine-installer: $*" >&2; exit 1; }
[ -x "$build/bin/vexlor.exe" ] || fail "no $build/bin/vexlor.exe: run scripts/build-windows.sh first"
# The window needs a display, and Wine's desktop takes the one its first program found: the
# whole run is on a virtual display of its own.
if [ -z "${VEXLOR_INSTALLER_DISPLAY:-}" ]; then
  VEXLOR_INSTALLER_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(dirname "$wine")/wineserver
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
sim_pid=""
cleanup() {
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$WINEPREFIX"

# Made while Wine boots (a pause between Wine programs costs more than it takes: Wine's services
# end after the last program and the next one waits for them): version 0.9.0 of the installer,
# from the same script and files, compressed lightly as only its logic counts; and a probe, so
# that the test waits for Vexlor to run or end rather than for a time: its status is 1 while the
# named mutex "Vexlor" exists, 2 while the installed vexlor.exe is held open.
stage=("$build"/packaging/windows/stage/vexlor-*)
[ ${#stage[@]} -eq 1 ] && [ -d "${stage[0]}" ] || fail "not one staged folder in $build/packaging/windows/stage"
old_setup=$work/vexlor-0.9.0-setup.exe
cat > "$work/probe.nsi" <<'PROBE'
Unicode true
Target amd64-unicode
OutFile probe.exe
SilentInstall silent
RequestExecutionLevel user
Section
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Vexlor") p .r0'
  StrCmp $0 0 file
  SetErrorLevel 1
  Return
  file:
  IfFileExists "C:\Tools\Vexlor\vexlor.exe" 0 done
  ClearErrors
  FileOpen $1 "C:\Tools\Vexlor\vexlor.exe" a
  IfErrors 0 +3
  SetErrorLevel 2
  Return
  FileClose $1
  done:
SectionEnd
PROBE
makensis -V1 -X"SetCompressor /FINAL zlib" -DVERSION=0.9.0 -DVERSION4=0.9.0.0 -DSTAGE="$PWD/${stage[0]}" \
  -DOUTFILE="$old_setup" packaging/windows/vexlor.nsi >/dev/null 2>&1 && makensis -V1 "$work/probe.nsi" >/dev/null 2>&1 &
makers=$!

# A server of its own, so nothing Wine starts keeps this script's output open.
"$wineserver" -p </dev/null >/dev/null 2>&1
"$wine" wineboot -i >/dev/null 2>&1 || fail "wineboot failed"
wait $makers || fail "cannot make the 0.9.0 installer or the probe"

run() { "$wine" "$@" 2>/dev/null | tr -d '\r'; }  # Wine's console output has CR LF lines
uninstall_root='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
uninstall_key=$uninstall_root'\Vexlor'
settings_key='HKLM\SOFTWARE\Vexlor'
program_files=$WINEPREFIX/drive_c/Program\ Files
# The build's installer goes into a folder of the user's choice; 0.9.0 was in the default one.
win_dir='C:\Tools\Vexlor'
dir=$WINEPREFIX/drive_c/Tools/Vexlor
shortcut=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Vexlor.lnk
bench_shortcut=${shortcut%.lnk}\ Bench.lnk
files="CHANGELOG.md
LICENSE.txt
README.md
VexlorChsRes.dll
VexlorChtRes.dll
VexlorEngRes.dll
vexlor-pack.exe
vexlor.exe"
# A build that publishes records carries the licences of the libraries it links for that.
if grep -q '^VEXLOR_MOSQUITTO_ROOT:PATH=.' "$build/CMakeCache.txt"; then
  files=$(printf '%s\n' "$files" Mosquitto-LICENSE.txt OpenSSL-LICENSE.txt | LC_ALL=C sort)
fi

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

# What a shortcut (.lnk) runs: the program's path is in its link information (ANSI), the
# arguments a counted UTF-16 string.
runs_program() { LC_ALL=C grep -a -q -F 'C:\Tools\Vexlor\vexlor.exe' "$1"; }
has_bench_argument() { LC_ALL=C grep -a -q -P -e '-\x00-\x00b\x00e\x00n\x00c\x00h\x00' "$1"; }

# Programs and Features entries named Vexlor, in both registry views.
entries() {
  for root in "$uninstall_root" 'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall'; do
    run reg query "$root" /s 2>/dev/null || true
  done | grep -Ec '^ +DisplayName +REG_SZ +Vexlor$' || true
}
installer() {  # exit status of a silent run of installer $1 with the arguments after it
  local status=0
  timeout 60 "$wine" "$@" >/dev/null 2>&1 || status=$?
  [ $status -ne 124 ] || fail "$1 $2 did not finish in 60 s"
  return $status
}

# Version 0.9.0 first, in the default folder.
status=0; installer "$old_setup" /S || status=$?
[ $status -eq 0 ] || fail "installing 0.9.0 exited with $status"
[ -f "$program_files/Vexlor/vexlor.exe" ] || fail "0.9.0 is not in $program_files/Vexlor"

# The upgrade, into another folder: the old version is removed first, its folder with it.
status=0; installer "$setup" /S "/D=$win_dir" || status=$?
[ $status -eq 0 ] || fail "the silent upgrade exited with $status"
[ -d "$dir" ] || fail "nothing installed in $dir"
[ ! -e "$program_files/Vexlor" ] || fail "the upgrade left in Program Files: $(ls -A "$program_files/Vexlor")"
[ "$(entries)" = 1 ] || fail "Programs and Features holds $(entries) Vexlor entries after the upgrade"
installed=$(ls -1 "$dir" | LC_ALL=C sort)
[ "$installed" = "$(printf '%s\nuninstall.exe\n' "$files" | LC_ALL=C sort)" ] \
  || fail "the install folder holds: $(echo $installed)"
diff -r --exclude=uninstall.exe "$work/zip/vexlor-$version" "$dir" >/dev/null \
  || fail "the installed files differ from the zip's"
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
[ -f "$bench_shortcut" ] || fail "no Start-menu shortcut to the bench window"
runs_program "$shortcut" && ! has_bench_argument "$shortcut" || fail "the Start-menu shortcut runs something else"
runs_program "$bench_shortcut" && has_bench_argument "$bench_shortcut" \
  || fail "the bench window's shortcut does not run vexlor.exe --bench"
run reg query "$uninstall_key" > "$work/key.txt"
grep -Eq "^ +DisplayVersion +REG_SZ +${version//+/\\+}$" "$work/key.txt" \
  || fail "the Uninstall key has no DisplayVersion $version: $(cat "$work/key.txt")"
grep -Eq '^ +QuietUninstallString +REG_SZ +"C:\\Tools\\Vexlor\\uninstall.exe" /S$' "$work/key.txt" \
  || fail "the Uninstall key has no QuietUninstallString: $(cat "$work/key.txt")"
shown=$(run "$win_dir\\vexlor.exe" --version)
[ "$shown" = "$built" ] || fail "the installed vexlor.exe shows '$shown', the build '$built'"
echo "wine-installer: 0.9.0 upgraded to $version in $win_dir: $(wc -l <<<"$files") files, two shortcuts, one Uninstall entry"

# Windows terms: the help names the registry key, COM names and Ctrl+C, /? is --help, a device
# path is no COM name (a bad command line), and the installed program without a load says so
# with the command that packs one, the install folder quoted.
help=$(run "$win_dir\\vexlor.exe" --help)
for term in 'HKLM\SOFTWARE\Vexlor' '\\.\COMn' 'Ctrl+C' 'mutex' '/?'; do
  grep -qF -- "$term" <<<"$help" || fail "vexlor.exe --help does not name $term"
done
! grep -qE 'SIGHUP|/dev/tty|VEXLOR_REGISTRY|~/.config|lock file' <<<"$help" || fail "vexlor.exe --help speaks of Linux"
[ "$(run "$win_dir\\vexlor.exe" '/?')" = "$help" ] || fail "vexlor.exe /? is not the help"
pack_help=$(run "$win_dir\\vexlor-pack.exe" '/?')
grep -qF 'Ctrl+C' <<<"$pack_help" && ! grep -qF SIGHUP <<<"$pack_help" || fail "vexlor-pack.exe /? speaks of signals"
status=0; "$wine" "$win_dir\\vexlor.exe" --cli --port /dev/ttyUSB0 > "$work/device.out" 2>&1 || status=$?
[ $status -eq 2 ] && grep -q 'not a COM port name' "$work/device.out" \
  || fail "a device path gave status $status: $(cat "$work/device.out")"
status=0; "$wine" "$win_dir\\vexlor.exe" --cli --verify > "$work/bare.out" 2>&1 || status=$?
[ $status -eq 7 ] && grep -qF 'This copy of Vexlor carries no firmware load yet.' "$work/bare.out" \
  && grep -qF '"C:\Tools\Vexlor\vexlor-pack.exe" --program "C:\Tools\Vexlor\vexlor.exe"' "$work/bare.out" \
  || fail "the bare installed program told (status $status): $(cat "$work/bare.out")"
echo "wine-installer: --help and /? in Windows terms, a device path refused, the missing load told with its command"

await() {  # until the probe's status is $1, up to 30 s
  local status
  for _ in $(seq 60); do
    status=0; "$wine" "$work/probe.exe" >/dev/null 2>&1 || status=$?
    [ $status -eq "$1" ] && return 0
    sleep 0.5
  done
  return 1
}
unchanged() {  # the installed files are still the upgrade's
  [ "$(stat -c %y "$dir/vexlor.exe")" = "$installed_at" ] || fail "vexlor.exe was replaced while Vexlor ran"
  [ "$(ls -1 "$dir" | LC_ALL=C sort)" = "$(printf '%s\nuninstall.exe\n' "$files" | LC_ALL=C sort)" ] \
    || fail "while Vexlor ran the folder changed to: $(ls "$dir")"
}
installed_at=$(stat -c %y "$dir/vexlor.exe")
# The window of a copy elsewhere (the portable zip's): only its mutex "Vexlor" tells it runs.
"$wine" "$work/zip/vexlor-$version/vexlor.exe" >/dev/null 2>&1 &
window=$!
await 1 || fail "the window never took its mutex"
status=0; installer "$setup" /S "/D=$win_dir" || status=$?
[ $status -eq 3 ] || fail "a silent install while the window shows exited with $status, not 3"
status=0; installer "$win_dir\\uninstall.exe" /S "_?=$win_dir" || status=$?
[ $status -eq 3 ] || fail "a silent uninstall while the window shows exited with $status, not 3"
unchanged
kill "$window"
wait "$window" 2>/dev/null || true
await 0 || fail "the mutex outlived the window"
# A headless run of the installed copy guards only its ports, but holds its program file.
"$wine" "$win_dir\\vexlor.exe" --cli --port COM99 --wait 60 > "$work/headless.out" 2>&1 &
headless=$!
await 2 || fail "the headless run never started: $(cat "$work/headless.out")"
status=0; installer "$setup" /S "/D=$win_dir" || status=$?
[ $status -eq 3 ] || fail "a silent install during a headless run exited with $status, not 3"
unchanged
kill "$headless"
wait "$headless" 2>/dev/null || true
await 0 || fail "vexlor.exe stayed held after the headless run"
echo "wine-installer: while Vexlor runs (a window, a headless run) a silent install or uninstall ends with status 3 and changes nothing"

# The user's own: a day's log in the program folder (the shortcut starts the program there) and
# the settings.
echo "<NML>	user log" > "$dir/20261209.log"
run reg add "$settings_key" /v Level /t REG_DWORD /d 5 /f >/dev/null
# As Programs and Features runs it: the uninstaller copies itself out of the folder, starts the
# copy and returns at once. The copy deletes the Uninstall key last: wait for that.
status=0
timeout 60 "$wine" "$win_dir\\uninstall.exe" /S >/dev/null 2>&1 || status=$?
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
[ ! -e "$bench_shortcut" ] || fail "the bench window's Start-menu shortcut is still there"
[ "$(entries)" = 0 ] || fail "Programs and Features still holds $(entries) Vexlor entries"
run reg query "$settings_key" /v Level | grep -q 'Level' || fail "the uninstall removed the settings key"
echo "wine-installer: uninstalled; the user's log and settings key remain"

# The factory's one-line install: a firmware load packed in as Vexlor is installed. First ones
# that cannot be packed (a version text over 47 characters, one with a quote): the install fails
# with status 4 before anything is installed. Then a good one: the vexlor.exe in Program Files passes its check
# and flashes the simulator through a COM port of the prefix (the port map in the registry).
sim=$PWD/build/bin/vexlor-handset-sim
[ -x "$sim" ] || fail "no $sim: build the Linux tree first"
# The settings left above would log into the current folder: the runs below keep no log.
run reg delete "$settings_key" /f >/dev/null
head -c 300000 /dev/urandom > "$work/load.bin"
# (A quote in the version text would break vexlor-pack's command line: refused before it runs.)
for bad_version in "$(printf 'V%.0s' $(seq 60))" 'R1"2.3'; do
  status=0; installer "$setup" /S "/LOAD=Z:$work/load.bin" "/VERSION=$bad_version" || status=$?
  [ $status -eq 4 ] || fail "an install with the version text $bad_version exited with $status, not 4"
  [ ! -e "$program_files/Vexlor" ] || fail "a failed pack left in Program Files: $(ls -A "$program_files/Vexlor")"
  [ ! -e "$shortcut" ] && [ "$(entries)" = 0 ] || fail "a failed pack left a shortcut or an Uninstall entry"
done
status=0; installer "$setup" /S "/LOAD=Z:$work/load.bin" /VERSION=VX12.01 || status=$?
[ $status -eq 0 ] || fail "the install with a load exited with $status"
installed_exe='C:\Program Files\Vexlor\vexlor.exe'
verified=$(run "$installed_exe" --cli --verify) || fail "the installed vexlor.exe fails its check: $verified"
grep -qF 'load version "VX12.01", 300000 bytes' <<<"$verified" || fail "the installed load: $verified"
[ "$(ls -1 "$program_files/Vexlor" | LC_ALL=C sort)" = "$(printf '%s\nuninstall.exe\n' "$files" | LC_ALL=C sort)" ] \
  || fail "the install with a load holds: $(ls "$program_files/Vexlor")"
"$sim" --mode ds --only-baud 460800 --image-out "$work/image.bin" > "$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
ln -sfn "$(head -n 1 "$work/sim.out")" "$WINEPREFIX/dosdevices/com23"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n"\\\\Device\\\\VexlorSim"="COM23"\r\n' \
  > "$work/ports.reg"
"$wine" reg import "$work/ports.reg" >/dev/null 2>&1 || fail "reg import of the port map failed"
status=0; timeout 120 "$wine" "$installed_exe" --cli --port COM23 > "$work/flash.out" 2>&1 || status=$?
kill "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
sim_pid=""
[ $status -eq 0 ] && grep -q '^\[0x065\] ' "$work/flash.out" \
  || fail "the installed tool's download exited with $status: $(tr -d '\r' < "$work/flash.out")"
cmp -n 300000 "$work/image.bin" "$work/load.bin" || fail "the handset's image differs from the load"
echo "wine-installer: setup /S /LOAD /VERSION made a bench tool that flashed the simulator on COM23; a failed pack installed nothing"

# A factory's own setup program, made on Linux by vexlor-pack --setup from the release's Windows
# files and the load: installed silently (over the one above), its vexlor.exe carries that load.
head -c 200000 /dev/urandom > "$work/load2.bin"
"$PWD/build/bin/vexlor-pack" --setup "$work/factory-setup.exe" --load "$work/load2.bin" --version VX12.02 \
  --windows "$work/zip/vexlor-$version" > "$work/factory.out" 2>&1 || fail "vexlor-pack --setup: $(cat "$work/factory.out")"
status=0; installer "$work/factory-setup.exe" /S || status=$?
[ $status -eq 0 ] || fail "the factory's setup exited with $status"
verified=$(run "$installed_exe" --cli --verify) || fail "the factory's vexlor.exe fails its check: $verified"
grep -qF 'load version "VX12.02", 200000 bytes' <<<"$verified" || fail "the factory's load: $verified"
[ "$(entries)" = 1 ] || fail "Programs and Features holds $(entries) Vexlor entries after the factory's setup"
echo "wine-installer: vexlor-pack --setup made a setup program whose silent install carries its load"
