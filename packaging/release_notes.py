#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Makes the release notes that packages carry from CHANGELOG.md (Keep a Changelog form):

    release_notes.py debian CHANGELOG.md VERSION OUT [TIME]  the Debian changelog of a package
    release_notes.py metainfo CHANGELOG.md TEMPLATE OUT  the AppStream metainfo with its releases

A Debian package whose VERSION is not a release of the changelog (a build between releases,
such as 1.0.0+g1a2b3c4) gets an entry of its own on top, with the changes not yet released,
dated TIME (seconds since 1970: the commit's time), else now.
"""
import datetime
import email.utils
import re
import sys
from xml.sax.saxutils import escape

MAINTAINER = "Vexlor developers <dev@vexlor.invalid>"


def read_releases(path):
    """[(version, date or None, [items])], newest first; "Unreleased" has version None."""
    releases = []
    heading = re.compile(r"^## \[(?P<name>[^\]]+)\](?: - (?P<date>\d{4}-\d{2}-\d{2}))?\s*$")
    with open(path, encoding="utf-8") as f:
        for line in f:
            match = heading.match(line)
            if match:
                name = match.group("name")
                releases.append([None if name == "Unreleased" else name, match.group("date"), []])
                continue
            if not releases:
                continue
            text = line.rstrip()
            if text.startswith("- "):
                releases[-1][2].append(text[2:])
            elif text.startswith("  ") and releases[-1][2]:
                releases[-1][2][-1] += " " + text.strip()  # an item's continued line
    return releases


def plain(text):
    return text.replace("`", "")


def rfc2822(date):
    if isinstance(date, datetime.datetime):
        return email.utils.format_datetime(date)
    day = datetime.datetime.strptime(date, "%Y-%m-%d").replace(tzinfo=datetime.timezone.utc)
    return email.utils.format_datetime(day)


def debian(releases, version, built):
    dated = [r for r in releases if r[0] is not None]
    if not dated:
        raise SystemExit("release_notes: CHANGELOG.md names no release")
    entries = []
    if version not in [r[0] for r in dated]:
        unreleased = next((r[2] for r in releases if r[0] is None), [])
        items = unreleased or ["Build of a commit after release %s." % dated[0][0]]
        entries.append((version, built, items))
    entries += [(v, d, items or ["Release %s." % v]) for v, d, items in dated]
    out = []
    for entry_version, date, items in entries:
        out.append("vexlor (%s) unstable; urgency=medium" % entry_version)
        out.append("")
        for item in items:
            words, line = plain(item).split(), "  *"
            for word in words:  # wrapped at 78 columns, continued lines under the text
                if len(line) + 1 + len(word) > 78:
                    out.append(line)
                    line = "   "
                line += " " + word
            out.append(line)
        out.append("")
        out.append(" -- %s  %s\n" % (MAINTAINER, rfc2822(date)))
    return "\n".join(out)


def metainfo(releases, template):
    parts = []
    for version, date, items in releases:
        if version is None:
            continue
        lines = ["    <release version=\"%s\" date=\"%s\">" % (version, date), "      <description>", "        <ul>"]
        lines += ["          <li>%s</li>" % escape(plain(item)) for item in items]
        lines += ["        </ul>", "      </description>", "    </release>"]
        parts.append("\n".join(lines))
    return template.replace("@RELEASES@", "\n".join(parts))


def main():
    if len(sys.argv) not in (5, 6) or sys.argv[1] not in ("debian", "metainfo"):
        raise SystemExit(__doc__)
    kind, changelog, third, out = sys.argv[1:5]
    seconds = int(sys.argv[5]) if len(sys.argv) == 6 and sys.argv[5].isdigit() else None
    built = datetime.datetime.fromtimestamp(seconds, datetime.timezone.utc) if seconds else \
        datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
    releases = read_releases(changelog)
    if kind == "debian":
        text = debian(releases, third, built)
    else:
        with open(third, encoding="utf-8") as f:
            text = metainfo(releases, f.read())
    with open(out, "w", encoding="utf-8") as f:
        f.write(text)


if __name__ == "__main__":
    main()
