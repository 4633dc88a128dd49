#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# The bash completion of vexlor, driven as bash drives it: the words of the line so far in
# COMP_WORDS, the completion function called, its answers in COMPREPLY. The port names come
# from a stand-in vexlor that prints a port list.
set -u
completion=$1
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cat > "$folder/vexlor" <<'LIST'
#!/bin/sh
printf 'COM1\t/dev/ttyS0\t-\t-\t-\tok\nCOM21\t/dev/ttyUSB0\t-\t-\t-\tok\nCOM22\t/dev/ttyUSB1\t-\t-\t-\tok\n'
LIST
chmod +x "$folder/vexlor"
touch "$folder/ttyFAKE0"
# shellcheck source=/dev/null
source "$completion"

failures=0
# expect "WORDS..." "EXPECTED ANSWERS": the last word is the one being completed.
expect() {
    read -r -a COMP_WORDS <<< "$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_WORDS[0]=$folder/vexlor
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _vexlor
    local got="${COMPREPLY[*]}"
    if [[ $got != "$2" ]]; then
        echo "FAIL: '$1' gave '$got', expected '$2'"
        failures=$((failures + 1))
    fi
}

expect "vexlor --cli --port " "COM1 COM21 COM22"
expect "vexlor --cli --port COM2" "COM21 COM22"
expect "vexlor --cli --port COM21,COM2" "COM21,COM21 COM21,COM22"
expect "vexlor --cli --port COM21,COM22," "COM21,COM22,COM1 COM21,COM22,COM21 COM21,COM22,COM22"
expect "vexlor --cli --all-ports --skip-port COM1,COM2" "COM1,COM21 COM1,COM22"
expect "vexlor --cli --port COM1,$folder/ttyF" "COM1,$folder/ttyFAKE0"
expect "vexlor --cli --all-ports --skip" "--skip-port"
expect "vexlor --cli --log-level " "-1 0 1 3 5"
if ((failures > 0)); then exit 1; fi
echo "bash completion: all cases pass"
