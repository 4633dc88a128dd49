#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The house style, checked: every C++ source is as clang-format (.clang-format) writes it, no
# include of src/ runs back up a layer, and the program's sources (src/, tools/, lang/) pass
# clang-tidy's checks (.clang-tidy). Needs build/
# (its compile_commands.json). Prints what differs or what the checks found; fails then.
#   scripts/style.sh
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}"
echo "style: ${#sources[@]} files as clang-format writes them"
# No include runs back up a layer (docs/architecture.md).
python3 scripts/check_layers.py

[ -f build/compile_commands.json ] || { echo "style: no build/compile_commands.json: run scripts/build.sh" >&2; exit 1; }
mapfile -t checked < <(python3 - <<'PY'
import json, os
root = os.getcwd() + "/"
files = {entry["file"] for entry in json.load(open("build/compile_commands.json"))}
for name in sorted(files):
    if name.startswith(root) and name[len(root):].split("/")[0] in ("src", "tools", "lang"):
        print(name)
PY
)
run-clang-tidy -quiet -p build -j "$(nproc)" "${checked[@]}" > build/clang-tidy.log 2>&1 || {
  grep -E "(warning|error):" build/clang-tidy.log | sort -u >&2 || true
  echo "style: clang-tidy found the above (all of it in build/clang-tidy.log)" >&2
  exit 1
}
echo "style: ${#checked[@]} sources pass clang-tidy"
