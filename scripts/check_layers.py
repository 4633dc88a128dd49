#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Fails on an include that runs back up a layer (docs/architecture.md): each folder of src/ may
include its own headers and those of the layers below it, nothing above, and only the Qt window
includes Qt.
  scripts/check_layers.py [ROOT]"""
import pathlib
import re
import sys

# Each folder and the folders its sources may include, lowest layer first.
BELOW = {
    "platform": ["platform", "lang"],
    "log": ["log", "platform"],
    "serial": ["serial", "log", "platform"],
    "link": ["link", "serial", "log", "platform"],
    "package": ["package", "link", "log", "platform"],
    "engine": ["engine", "package", "link", "serial", "log", "platform"],
}
# The record store stands beside the engine: it keeps what the runs did, and knows no handset.
BELOW["records"] = ["records", "log", "platform"]
CORE = BELOW["engine"] + ["records", "lang"]
BELOW.update({
    # The run layer and the windows' shared logic meet in both directions by library, not by
    # folder: the text helpers of app/common sit under the run layer, the presenters above it.
    "app/runs": ["app/runs", "app/common"] + CORE,
    "app/common": ["app/common", "app/runs"] + CORE,
    "app/cli": ["app/cli", "app/runs", "app/common"] + CORE,
    "app/window": ["app/window", "app/runs", "app/common"] + CORE,
    "app/win32": ["app/win32", "app/runs", "app/common"] + CORE,
    # main.cpp and the program mark choose among the front ends.
    "app": ["app", "app/cli", "app/runs", "app/common", "app/window", "app/win32"] + CORE,
})
QT_FOLDERS = ("app/window",)
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def folder_of(relative: str) -> str:
    parts = relative.split("/")
    if parts[0] == "app" and len(parts) > 2:
        return "app/" + parts[1]
    return parts[0]


def target_of(included: str) -> str:
    return folder_of(included) if "/" in included else ""


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    src = root / "src"
    problems = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".cpp", ".h"):
            continue
        relative = path.relative_to(src).as_posix()
        folder = folder_of(relative)
        allowed = BELOW.get(folder)
        if allowed is None:
            problems.append(f"{relative}: the folder {folder} has no place in the layers")
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            bracket, included = match.groups()
            if bracket == "<":
                if included.startswith("Q") and folder not in QT_FOLDERS:
                    problems.append(f"{relative}:{number}: Qt ({included}) outside the Qt window")
                continue
            target = target_of(included)
            if target and target not in allowed:
                problems.append(f"{relative}:{number}: {folder} includes {included}, from {target}, a layer above")
    for problem in problems:
        print(f"layers: {problem}", file=sys.stderr)
    if problems:
        return 1
    print(f"layers: every include of src/ stays in its layer or below")
    return 0


if __name__ == "__main__":
    sys.exit(main())
