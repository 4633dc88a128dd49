#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Setup, then configure and build Release into build/ (VEXLOR_BUILD names another folder).
# Extra arguments go to the CMake configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Steps that stamp a time (Qt's resource compiler) take the commit's, so a build of one commit
# makes the same bytes today and tomorrow.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  if [ -e .git ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
  else  # a source tarball: git archive wrote the commit and its time into cmake/git_commit.txt
    read -r _ SOURCE_DATE_EPOCH _ < cmake/git_commit.txt || true
  fi
  if [[ "$SOURCE_DATE_EPOCH" =~ ^[0-9]+$ ]]; then export SOURCE_DATE_EPOCH; else unset SOURCE_DATE_EPOCH; fi
fi
build=${VEXLOR_BUILD:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@"
cmake --build "$build"
