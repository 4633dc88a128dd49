#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Setup, then configure and build Release into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release "$@"
cmake --build build
