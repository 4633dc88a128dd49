#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Checks, or adds, the SPDX licence line at the top of every committed source file.

    scripts/licence_headers.py          # lists files without it; exit status 1 if any
    scripts/licence_headers.py --add    # puts it in (after a #! line), then lists what changed

Source files are C and C++ (also resource scripts and .h.in templates), linker scripts, CMake,
Python, shell and NSIS scripts, and executable files that start with #!. Seed corpora, pictures,
documents and the Debian packaging's own files carry none.
"""
import os
import subprocess
import sys

TAG = "SPDX-License-Identifier: Apache-2.0"
# The CI runner is the workplace's, not the project's.
LEFT_OUT = (".ci/", "fuzz/corpus/", "docs/", "packaging/debian/")


def comment_style(path):
    name = os.path.basename(path)
    ext = os.path.splitext(name)[1]
    if ext in (".cpp", ".h", ".c", ".rc") or name.endswith(".h.in"):
        return "// {}\n"
    if ext == ".ld":
        return "/* {} */\n"
    if ext in (".py", ".sh", ".cmake", ".nsi") or name == "CMakeLists.txt":
        return "# {}\n"
    if path in ("packaging/bash-completion/vexlor",):
        return "# {}\n"
    with open(path, "rb") as f:
        if f.read(2) == b"#!" and os.access(path, os.X_OK):
            return "# {}\n"
    return None


def main():
    add = sys.argv[1:] == ["--add"]
    if sys.argv[1:] not in ([], ["--add"]):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    files = subprocess.run(["git", "ls-files", "-z"], capture_output=True, check=True).stdout.decode().split("\0")
    missing = []
    for path in files:
        if not path or path.startswith(LEFT_OUT) or not os.path.isfile(path):
            continue
        style = comment_style(path)
        if not style:
            continue
        with open(path, encoding="utf-8") as f:
            text = f.read()
        # Near the top: a shebang and a line or two of encoding or tool comments may come first.
        if TAG in "\n".join(text.split("\n")[:3]):
            continue
        missing.append(path)
        if add:
            at = text.index("\n") + 1 if text.startswith("#!") else 0
            with open(path, "w", encoding="utf-8") as f:
                f.write(text[:at] + style.format(TAG) + text[at:])
    for path in missing:
        print(path)
    if missing and not add:
        print(f"licence_headers: {len(missing)} source files lack \"{TAG}\"", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
