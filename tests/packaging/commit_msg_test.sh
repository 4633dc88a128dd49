#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The repository's commit-msg hook takes the subjects the house rule allows and refuses the rest.
#   commit_msg_test.sh HOOK
set -euo pipefail
hook=$1
message=$(mktemp)
trap 'rm -f "$message"' EXIT
failures=0
check() {  # expected (pass|fail), then the message's lines
  local expected=$1 got=pass
  shift
  printf '%s\n' "$@" > "$message"
  "$hook" "$message" >/dev/null 2>&1 || got=fail
  if [ "$got" != "$expected" ]; then
    echo "commit-msg: expected $expected, got $got for: $*" >&2
    failures=$((failures + 1))
  fi
}
check pass "platform: a port lock for the whole machine"
check pass "bench window: tiles for the floor" "" "Why it matters."
check pass "cli: station texts" "# a comment git drops" "" "The body."
check pass "Merge branch 'fix-a'"
check fail "A port lock for the whole machine"
check fail "platform:no space after the colon"
check fail "Platform: an upper-case area"
check fail "platform: $(printf 'x%.0s' $(seq 70))"
check fail "cli: a body glued to the subject" "with no blank line"
check fail ""
[ "$failures" -eq 0 ] || exit 1
