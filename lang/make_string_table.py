#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Writes the resource script (.rc) of a Windows language DLL from the same source as the Linux
libraries: the IDs of lang/string_ids.h and the table of one lang/*_res.cpp.

    make_string_table.py --ids string_ids.h --table eng_res.cpp --out VexlorEngRes.rc

The texts stay UTF-8 (the script says so with #pragma code_page(65001), which windres honours);
quotes, backslashes and control characters are escaped the way the resource compiler reads them.
Anything the script cannot read with certainty stops the build, rather than a wrong or missing
text shipping.
"""

import argparse
import re
import sys


class SourceError(Exception):
    pass


SIMPLE_ESCAPES = {
    "n": 0x0A, "t": 0x09, "r": 0x0D, "a": 0x07, "b": 0x08, "f": 0x0C, "v": 0x0B,
    "\\": 0x5C, "'": 0x27, '"': 0x22, "?": 0x3F,
}


def strip_comments(source):
    """The source with its comments blanked out, string and character literals kept."""
    out = []
    i = 0
    while i < len(source):
        if source.startswith("//", i):
            end = source.find("\n", i)
            i = len(source) if end < 0 else end
        elif source.startswith("/*", i):
            end = source.find("*/", i + 2)
            if end < 0:
                raise SourceError("unterminated comment")
            out.append(" ")
            i = end + 2
        elif source[i] in "\"'":
            quote = source[i]
            j = i + 1
            while j < len(source) and source[j] != quote:
                if source[j] == "\n":
                    raise SourceError("line break inside a literal")
                j += 2 if source[j] == "\\" else 1
            if j >= len(source):
                raise SourceError("unterminated literal")
            out.append(source[i:j + 1])
            i = j + 1
        else:
            out.append(source[i])
            i += 1
    return "".join(out)


def decode_literal(body):
    """The text of a narrow C++ string literal's body (between its quotes): its bytes are UTF-8."""
    data = bytearray()
    i = 0
    while i < len(body):
        c = body[i]
        if c != "\\":
            data += c.encode("utf-8")
            i += 1
            continue
        if i + 1 >= len(body):
            raise SourceError("a backslash ends the literal")
        e = body[i + 1]
        i += 2
        if e in SIMPLE_ESCAPES:
            data.append(SIMPLE_ESCAPES[e])
        elif e in "01234567":
            digits = e
            while len(digits) < 3 and i < len(body) and body[i] in "01234567":
                digits += body[i]
                i += 1
            data.append(int(digits, 8) & 0xFF)
        elif e == "x":
            m = re.match(r"[0-9A-Fa-f]+", body[i:])
            if not m or int(m.group(0), 16) > 0xFF:
                raise SourceError("bad \\x escape")
            data.append(int(m.group(0), 16))
            i += len(m.group(0))
        elif e in "uU":
            size = 4 if e == "u" else 8
            digits = body[i:i + size]
            if len(digits) != size or not re.fullmatch(r"[0-9A-Fa-f]+", digits):
                raise SourceError("bad \\%s escape" % e)
            data += chr(int(digits, 16)).encode("utf-8")
            i += size
        else:
            raise SourceError("unknown escape \\" + e)
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as error:
        raise SourceError("not UTF-8: %s" % error)
    if "\0" in text:
        raise SourceError("a NUL character in a text")
    return text


def read_ids(source):
    """Name -> number of every IDS_ enumerator."""
    ids = {}
    for name, value in re.findall(r"\b(IDS_\w+)\s*=\s*(0[xX][0-9A-Fa-f]+|\d+)\b", strip_comments(source)):
        if name in ids:
            raise SourceError("%s is defined twice" % name)
        ids[name] = int(value, 0)
    if not ids:
        raise SourceError("no string IDs found")
    return ids


LITERAL = r'(?:u8)?"(?:[^"\\\n]|\\.)*"'
ENTRY = re.compile(r"\{\s*(IDS_\w+)\s*,\s*((?:%s\s*)+)\}\s*,?" % LITERAL)


def read_table(source, ids):
    """The (number, text) pairs of the one table kTable[] = { ... }; in the source."""
    code = strip_comments(source)
    start = re.search(r"\bkTable\s*\[\s*\]\s*=\s*\{", code)
    if not start:
        raise SourceError("no kTable[] = { ... } in the table source")
    entries = []
    rest = code[start.end():]
    pos = 0
    while True:
        space = re.match(r"\s*", rest[pos:])
        pos += space.end()
        if rest.startswith("}", pos):
            break
        m = ENTRY.match(rest, pos)
        if not m:
            raise SourceError("cannot read the table at: " + rest[pos:pos + 60].split("\n")[0])
        name = m.group(1)
        if name not in ids:
            raise SourceError("%s is not an ID of string_ids.h" % name)
        text = "".join(decode_literal(lit[lit.index('"') + 1:-1]) for lit in re.findall(LITERAL, m.group(2)))
        entries.append((ids[name], name, text))
        pos = m.end()
    seen = {}
    for number, name, _ in entries:
        if number > 0xFFFF:
            raise SourceError("%s = %d: a string table holds IDs up to 65535" % (name, number))
        if number in seen:
            raise SourceError("%s and %s share the number %d" % (seen[number], name, number))
        seen[number] = name
    return entries


def rc_literal(text):
    """text as a resource-compiler string: UTF-8, "" for a quote, octal for control characters."""
    out = []
    for ch in text:
        if ch == '"':
            out.append('""')
        elif ch == "\\":
            out.append("\\\\")
        elif ord(ch) < 0x20 or ord(ch) == 0x7F:
            out.append("\\%03o" % ord(ch))
        else:
            out.append(ch)
    return '"' + "".join(out) + '"'


def make_rc(entries, table_name):
    lines = [
        "// Generated from %s by make_string_table.py: edit the table, not this file." % table_name,
        "#pragma code_page(65001)",
        "LANGUAGE 0, 0",
        "STRINGTABLE",
        "BEGIN",
    ]
    for number, name, text in sorted(entries):
        lines.append("  %d, %s  // %s" % (number, rc_literal(text), name))
    lines.append("END")
    return "\n".join(lines) + "\n"


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--ids", required=True, help="lang/string_ids.h")
    parser.add_argument("--table", required=True, help="one lang/*_res.cpp")
    parser.add_argument("--out", required=True, help="the .rc file to write")
    args = parser.parse_args(argv)
    try:
        with open(args.ids, encoding="utf-8") as f:
            ids = read_ids(f.read())
        with open(args.table, encoding="utf-8") as f:
            entries = read_table(f.read(), ids)
    except (SourceError, UnicodeDecodeError) as error:
        print("make_string_table: %s: %s" % (args.table, error), file=sys.stderr)
        return 1
    rc = make_rc(entries, args.table.replace("\\", "/").split("/")[-1])
    with open(args.out, "w", encoding="utf-8", newline="\n") as f:
        f.write(rc)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
