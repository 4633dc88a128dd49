#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Writes a release's software bill of materials, SPDX 2.3 JSON (vexlor-<version>.spdx.json).

It names the release's files (with their SHA-256), and what they carry from elsewhere:
- the Linux programs: every shared library ldd shows for them, each a file of the Debian package
  that holds it (dpkg -S), with that package's version (dpkg-query);
- the Windows programs and DLLs of the zip (their checksums as shipped): Vexlor's own Win32
  programs with no Qt, and the libraries linked into them statically, from the build's link
  lines and the cross compiler's runtime (libstdc++, libgcc, winpthreads, the mingw-w64 CRT), each
  named with its Debian package and version; the libraries built from Debian's source packages
  (SQLite, OpenSSL, libmosquitto: scripts/debian-source.sh) with the source package, its version
  and the SHA-256 of its .dsc;
- the setup program: the same files and NSIS's installer stub and plug-ins.
The document's time is SOURCE_DATE_EPOCH and its contents sorted, so one commit built twice on
one set of packages gives the same bytes.

  scripts/sbom.py --out FILE --version TEXT --commit HASH --time SECONDS
                  [--release-file FILE]... [--linux-program ELF]... [--windows-build DIR]
                  [--windows-zip ZIP] [--setup EXE]
"""
import argparse
import hashlib
import json
import os
import re
import subprocess
import sys
import time
import zipfile

RUNTIME = ["libstdc++.a", "libgcc.a", "libgcc_eh.a", "libwinpthread.a", "libmingw32.a", "libmingwex.a",
           "libmsvcrt.a"]
WINDOWS_PROGRAMS = ["vexlor.exe", "vexlor-pack.exe", "VexlorEngRes.dll", "VexlorChtRes.dll", "VexlorChsRes.dll"]
WINDOWS_TARGETS = {"vexlor.exe": "bin/vexlor.exe", "vexlor-pack.exe": "bin/vexlor-pack.exe"}


def fail(text):
    sys.exit(f"sbom: {text}")


def spdx_id(kind, name):
    return f"SPDXRef-{kind}-" + re.sub(r"[^A-Za-z0-9.-]", "-", name)


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def hashes(data):
    return [{"algorithm": "SHA1", "checksumValue": hashlib.sha1(data).hexdigest()},
            {"algorithm": "SHA256", "checksumValue": hashlib.sha256(data).hexdigest()}]


def read(path):
    with open(path, "rb") as handle:
        return handle.read()


class Document:
    def __init__(self):
        self.packages = {}
        self.files = {}
        self.relationships = set()
        self.owners = {}

    def relate(self, one, kind, other):
        self.relationships.add((one, kind, other))

    def find_owners(self, paths):
        """Asks dpkg once which packages hold paths (each as given and with its links resolved)."""
        candidates = sorted({form for path in paths for form in (path, os.path.realpath(path))})
        result = subprocess.run(["dpkg-query", "--search", *candidates], capture_output=True, text=True)
        for line in result.stdout.splitlines():
            owners, _, found = line.partition(": ")
            if found and "diversion by" not in line:
                self.owners.setdefault(found, owners.split(", ")[0])

    def debian_package(self, path):
        """The Debian package holding path (as given, or with its links resolved), added once."""
        owner = self.owners.get(path) or self.owners.get(os.path.realpath(path))
        if owner is None:
            fail(f"no Debian package holds {path} (dpkg -S): it cannot be listed")
        ident = spdx_id("Package-deb", owner)
        if ident not in self.packages:
            name, _, arch = owner.partition(":")
            version = run("dpkg-query", "--show", "--showformat=${Version}", owner)
            arch = arch or run("dpkg-query", "--show", "--showformat=${Architecture}", owner)
            purl = f"pkg:deb/debian/{name}@{version.replace('+', '%2B').replace(':', '%3A')}?arch={arch}"
            self.packages[ident] = {
                "SPDXID": ident, "name": name, "versionInfo": version,
                "supplier": "Organization: Debian", "downloadLocation": "NOASSERTION", "filesAnalyzed": False,
                "licenseConcluded": "NOASSERTION", "licenseDeclared": "NOASSERTION", "copyrightText": "NOASSERTION",
                "externalRefs": [{"referenceCategory": "PACKAGE-MANAGER", "referenceType": "purl",
                                  "referenceLocator": purl}],
            }
        return ident

    def source_package(self, name, version, digest):
        """The Debian source package a library was cross-built from, added once."""
        ident = spdx_id("Package-debsrc", name)
        if ident not in self.packages:
            dsc = f"{name}_{version}.dsc"
            prefix = name[:4] if name.startswith("lib") else name[0]
            purl = f"pkg:deb/debian/{name}@{version.replace('+', '%2B').replace(':', '%3A')}?arch=source"
            self.packages[ident] = {
                "SPDXID": ident, "name": name, "versionInfo": version, "packageFileName": dsc,
                "supplier": "Organization: Debian",
                "downloadLocation": f"https://deb.debian.org/debian/pool/main/{prefix}/{name}/{dsc}",
                "filesAnalyzed": False, "checksums": [{"algorithm": "SHA256", "checksumValue": digest}],
                "licenseConcluded": "NOASSERTION", "licenseDeclared": "NOASSERTION", "copyrightText": "NOASSERTION",
                "comment": "cross-built for the Windows programs with mingw-w64, Debian's patches applied",
                "externalRefs": [{"referenceCategory": "PACKAGE-MANAGER", "referenceType": "purl",
                                  "referenceLocator": purl}],
            }
        return ident

    def add_file(self, ident, name, data, comment):
        self.files[ident] = {"SPDXID": ident, "fileName": name, "checksums": hashes(data),
                             "licenseConcluded": "NOASSERTION", "copyrightText": "NOASSERTION", "comment": comment}

    def add_release_file(self, path, version, purpose):
        name = os.path.basename(path)
        ident = spdx_id("Package-release", name)
        self.packages[ident] = {
            "SPDXID": ident, "name": name, "versionInfo": version, "packageFileName": name,
            "supplier": "Organization: Vexlor developers", "downloadLocation": "NOASSERTION", "filesAnalyzed": False,
            "checksums": [{"algorithm": "SHA256", "checksumValue": hashlib.sha256(read(path)).hexdigest()}],
            "licenseConcluded": "Apache-2.0", "licenseDeclared": "Apache-2.0", "copyrightText": "NOASSERTION",
            "primaryPackagePurpose": purpose,
        }
        self.relate("SPDXRef-DOCUMENT", "DESCRIBES", ident)
        return ident


def purpose_of(name):
    if name.endswith(".tar.gz"):
        return "SOURCE"
    if name.endswith(".zip"):
        return "ARCHIVE"
    return "INSTALL"


def linked_libraries(program):
    """The shared libraries ldd shows, by the path it resolved (the vDSO has no file)."""
    found = []
    for line in run("ldd", program).splitlines():
        line = line.strip()
        match = re.match(r"(\S+) => (/\S+) \(0x", line) or re.match(r"(/\S+) \(0x", line)
        if match:
            found.append(match.groups()[-1])
        elif "=> not found" in line:
            fail(f"{program} needs {line.split()[0]}, which is not installed")
    return found


def built_from_source(library):
    """(name, version, .dsc SHA-256) of the Debian source package a library of the third-party
    cache was built from, as its folder's debian-source file says; None for any other library."""
    folder = os.path.dirname(os.path.dirname(library))
    marker = os.path.join(folder, "debian-source")
    if not os.path.isfile(marker):
        return None
    words = open(marker, encoding="utf-8").read().split()
    if len(words) != 3:
        fail(f"{marker} does not name a source package, its version and its .dsc's digest")
    return tuple(words)


def windows_static_libraries(build):
    """The static libraries linked into the Windows programs: the compiler's runtime and every -l and
    outside archive of the programs' link lines (their import libraries included)."""
    compiler = "x86_64-w64-mingw32-g++-posix"
    names = set(RUNTIME)
    with open(os.path.join(build, "build.ninja"), encoding="utf-8") as handle:
        ninja = handle.read()
    for target in WINDOWS_TARGETS.values():
        block = re.search(r"^build " + re.escape(target) + r":.*?(?=^build |\Z)", ninja, re.M | re.S)
        if not block:
            fail(f"no link step for {target} in {build}/build.ninja")
        link = re.search(r"^\s+LINK_LIBRARIES = (.*)$", block.group(0), re.M)
        for word in (link.group(1).split() if link else []):
            word = word.strip('"')  # CMake quotes a path with a character the shell reads ("~")
            if word.startswith("-l"):
                names.add(f"lib{word[2:]}.a")
            elif word.endswith(".a") and os.path.isabs(word) and not word.startswith(os.path.abspath(build)):
                names.add(word)
    paths = set()
    for name in names:
        path = name if os.path.isabs(name) else run(compiler, f"-print-file-name={name}").strip()
        if not os.path.isabs(path):
            fail(f"the cross compiler finds no {name}")
        paths.add(os.path.normpath(path))
    return sorted(paths)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--commit", required=True)
    parser.add_argument("--time", required=True, type=int)
    parser.add_argument("--release-file", action="append", default=[])
    parser.add_argument("--linux-program", action="append", default=[])
    parser.add_argument("--windows-build")
    parser.add_argument("--windows-zip")
    parser.add_argument("--setup")
    options = parser.parse_args()

    doc = Document()
    released = {os.path.basename(path): doc.add_release_file(path, options.version, purpose_of(path))
                for path in options.release_file}
    deb = next((ident for name, ident in released.items() if name.endswith(".deb")), None)

    linux = {program: linked_libraries(program) for program in options.linux_program}
    windows = windows_static_libraries(options.windows_build) if options.windows_build else []
    stub = "/usr/share/nsis/Stubs/lzma_solid-amd64-unicode"
    packaged = [library for library in windows if not built_from_source(library)]
    doc.find_owners([library for libraries in linux.values() for library in libraries] + packaged + [stub])
    for program, libraries in linux.items():
        for library in libraries:
            ident = spdx_id("File-linux", library)
            doc.add_file(ident, library, read(library), f"a shared library {os.path.basename(program)} links")
            doc.relate(doc.debian_package(library), "CONTAINS", ident)
            if deb:
                doc.relate(deb, "DYNAMIC_LINK", ident)

    zip_ident = released.get(os.path.basename(options.windows_zip)) if options.windows_zip else None
    setup_ident = released.get(os.path.basename(options.setup)) if options.setup else None
    if options.windows_zip:
        with zipfile.ZipFile(options.windows_zip) as archive:
            members = {os.path.basename(name): name for name in archive.namelist()}
            for name in WINDOWS_PROGRAMS:
                if name not in members:
                    fail(f"{options.windows_zip} holds no {name}")
                ident = spdx_id("File-windows", name)
                what = ("Vexlor's own Win32 program (native window, no Qt)" if name.endswith(".exe")
                        else "a Vexlor language library (resources only)")
                doc.add_file(ident, members[name], archive.read(members[name]),
                             f"{what}; the C and C++ runtime are linked in statically")
                for container in (zip_ident, setup_ident):
                    if container:
                        doc.relate(container, "CONTAINS", ident)
    if options.windows_build:
        for library in windows:
            source = built_from_source(library)
            # A cached library is named by its cache folder, which holds the key of its build,
            # and not by the home folder it sits in.
            name = os.path.relpath(library, os.path.dirname(os.path.dirname(os.path.dirname(library)))) \
                if source else library
            ident = spdx_id("File-windows-link", name)
            doc.add_file(ident, name, read(library), "a static or import library linked into the Windows programs")
            doc.relate(doc.source_package(*source) if source else doc.debian_package(library), "CONTAINS", ident)
            for program in WINDOWS_TARGETS:
                if spdx_id("File-windows", program) in doc.files:
                    doc.relate(spdx_id("File-windows", program), "STATIC_LINK", ident)
    if setup_ident:
        # The installer's own code: NSIS's stub for 64-bit Unicode installers and the plug-ins it uses.
        nsis = doc.debian_package(stub)
        doc.relate(setup_ident, "CONTAINS", nsis)

    created = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(options.time))
    document = {
        "spdxVersion": "SPDX-2.3",
        "dataLicense": "CC0-1.0",
        "SPDXID": "SPDXRef-DOCUMENT",
        "name": f"vexlor-{options.version}",
        "documentNamespace": f"https://vexlor.invalid/spdx/vexlor-{options.version}-{options.commit}",
        "creationInfo": {"created": created, "creators": ["Tool: vexlor scripts/sbom.py"]},
        "packages": [doc.packages[key] for key in sorted(doc.packages)],
        "files": [doc.files[key] for key in sorted(doc.files)],
        "relationships": [{"spdxElementId": one, "relationshipType": kind, "relatedSpdxElement": other}
                          for one, kind, other in sorted(doc.relationships)],
    }
    with open(options.out, "w", encoding="utf-8") as handle:
        json.dump(document, handle, indent=2, sort_keys=True)
        handle.write("\n")


if __name__ == "__main__":
    main()
