#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Writes the seed corpus of the fuzz targets into fuzz/corpus/<target>/.

    fuzz/make_corpus.py --bin BUILD/bin --trace SIM_TRACE [--trace SIM_TRACE ...]

The frames are the handset's own: taken from traces the handset simulator wrote during real
downloads (vexlor-handset-sim --log FILE; the "tx" lines are what it sent). The packages are
made by vexlor-pack from a small program and small loads. Inputs of the targets that read a
script of choices (FuzzedDataProvider) are laid out as that reader takes them: numbers from the
end of the input, byte strings from its front.
"""
import argparse
import os
import pathlib
import random
import re
import subprocess
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent / "corpus"
MARK_HEADER = pathlib.Path(__file__).resolve().parent.parent / "src" / "app" / "program_mark.h"


def program_mark():
    """The vexlor program mark, unmasked from the header the program is built with."""
    text = MARK_HEADER.read_text()
    mask = int(re.search(r"kProgramMarkMask = (0x[0-9A-Fa-f]+);", text).group(1), 16)
    masked = re.search(r"kProgramMarkMasked = \{([^}]*)\}", text).group(1)
    return bytes(int(b, 16) ^ mask for b in re.findall(r"0x[0-9A-Fa-f]+", masked))


# --- frames -------------------------------------------------------------------------------

def crc16(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0x8408 if crc & 1 else crc >> 1
    return crc ^ 0xFFFF


def escape(data):
    out = bytearray()
    for b in data:
        if b in (0x7D, 0x7E):
            out += bytes([0x7D, b ^ 0x20])
        else:
            out.append(b)
    return bytes(out)


def frame(payload, dl):
    crc = crc16(payload)
    body = escape(bytes(payload) + bytes([crc & 0xFF, crc >> 8]))
    return (b"\x7e" if dl else b"") + body + b"\x7e"


def trace_pieces(paths):
    """The byte strings the simulator sent, in order, from its traces."""
    pieces = []
    for path in paths:
        for line in pathlib.Path(path).read_text(errors="replace").splitlines():
            parts = line.split()
            if len(parts) > 4 and parts[1] == "tx" and parts[3] == "bytes:":
                pieces.append(bytes(int(h, 16) for h in parts[4:]))
    return pieces


# --- FuzzedDataProvider layout ------------------------------------------------------------

class Script:
    """Builds an input the way FuzzedDataProvider reads it back."""

    def __init__(self):
        self.front = bytearray()
        self.back = bytearray()  # in the order the reader takes the bytes (from the end)

    def integer(self, lo, hi, value, size):
        span = hi - lo
        count = 0
        while count < size and (span >> (8 * count)) > 0:
            count += 1
        v = value - lo
        self.back += bytes((v >> (8 * (count - 1 - k))) & 0xFF for k in range(count))
        return self

    def boolean(self, value):
        return self.integer(0, 255, 1 if value else 0, 1)

    def raw(self, data):
        self.front += data
        return self

    def string(self, text):
        data = text.encode() if isinstance(text, str) else text
        self.front += data.replace(b"\\", b"\\\\") + b"\\0"
        return self

    def bytes(self):
        return bytes(self.front) + bytes(reversed(self.back))


# --- writing ------------------------------------------------------------------------------

def write(target, name, data):
    folder = ROOT / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def unique(pieces):
    seen = set()
    return [p for p in pieces if not (p in seen or seen.add(p))]


def decoder_seeds(pieces):
    diag = unique(p for p in pieces if not p.startswith(b"\x7e"))[:12]
    dl = unique(p for p in pieces if p.startswith(b"\x7e"))[:12]
    for i, p in enumerate(diag):
        write("frame_decoder", f"diag-{i:02d}", p)
    for i, p in enumerate(dl):
        write("frame_decoder", f"dl-{i:02d}", p)
    write("frame_decoder", "dl-stream", b"".join(dl))
    write("frame_decoder", "bad-crc", frame(b"\x70\x00\x00", True)[:-2] + b"\x00\x7e")
    write("frame_decoder", "lone-flag", b"\x7e")
    write("frame_decoder", "dl-doubled-flag", b"\x7e\x7e\x02\x6a\xd3\x7e")
    return diag, dl


def classify_seeds(pieces):
    seeds = {
        "ds": b"at\r\r\nOK\r\n\x1c\xd5\x7e\x06\x4e\x95\x7e",
        "ds-short": b"at\r\r\nOK\r\n",
        "diag-1": b"\x14at\r\x1c\xd5\x7d\x5e\x00\x00\x7e",
        "diag-2": b"\x13at\rb\x09\x7e",
        "dl": b"\x7e\x02\x6a\xd3\x7e",
        "dl-late": b"\x00\x7e\x02\x6a\xd3\x7e",
    }
    for name, data in seeds.items():
        write("classify_reply", name, data)
    for i, p in enumerate(unique(pieces)[:6]):
        write("classify_reply", f"first-{i}", p)


def mode_reply_seeds(diag):
    for i, p in enumerate(p for p in diag if p[:1] in (b"\x00", b"\x0c")):
        write("mode_replies", f"reply-{i:02d}", p)
    status = bytearray(40)
    status[0] = 0x0C
    status[8] = 1
    status[32] = 2
    write("mode_replies", "status-offline", frame(bytes(status), False))
    status[1:4] = b"\x7e\x7e\x7e"
    write("mode_replies", "status-escaped", frame(bytes(status), False))
    version = bytearray(55)
    version[39:47] = b"CORVANE1"
    write("mode_replies", "version-corvane", frame(bytes(version), False))


def sercom_seeds(diag, dl):
    # capacity 8193, DL mode, the DL answers as they came, one arrival each
    s = Script().integer(1, 16384, 8193, 4).boolean(True)
    for p in dl[:8]:
        s.integer(0, 15, 0, 4).integer(1, 700, len(p), 8).raw(p)
    write("sercom_receive", "dl-answers", s.bytes())
    # DIAG answers split across two arrivals each, then a change to DL and a NOP answer
    s = Script().integer(1, 16384, 100, 4).boolean(False)
    for p in diag[:6]:
        cut = len(p) // 2
        s.integer(0, 15, 0, 4).integer(1, 700, cut, 8).raw(p[:cut])
        s.integer(0, 15, 0, 4).integer(1, 700, len(p) - cut, 8).raw(p[cut:])
    s.integer(0, 15, 13, 4).integer(0, 3, 1, 4)
    s.integer(0, 15, 0, 4).integer(1, 700, 5, 8).raw(b"\x7e\x02\x6a\xd3\x7e")
    write("sercom_receive", "diag-split-then-dl", s.bytes())
    # a valid frame split by the reader, an oversized one, a long run of garbage, a DS spell
    s = Script().integer(1, 16384, 600, 4).boolean(True)
    payload = b"\x70\x00\x00\x00"
    s.integer(0, 15, 11, 4).integer(1, 600, len(payload), 8).raw(payload).integer(0, len(frame(payload, True)), 3, 8)
    s.integer(0, 15, 14, 4).integer(8180, 17000, 9000, 8).integer(0, 255, 0x41, 1)
    s.integer(0, 15, 10, 4).integer(0, 255, 0x7d, 1).integer(1, 40000, 20000, 8)
    s.integer(0, 15, 13, 4).integer(0, 3, 2, 4)
    s.integer(0, 15, 0, 4).integer(1, 700, 5, 8).raw(b"\x7e\x02\x6a\xd3\x7e")
    s.integer(0, 15, 15, 4).integer(0, 5, 5, 4)
    write("sercom_receive", "limits", s.bytes())


def registry_seeds(settings_texts):
    sample = (
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\r\n"
        "\"Level\"=dword:00000005\r\n\"AppendOption\"=dword:00000001\r\n"
        "\"App\"=\"/home/tech/vexlor-logs/\"\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n"
        "\"/dev/ttyUSB0\"=\"COM3\"\r\n\"/dev/pts/7\"=\"COM7\"\r\n"
    )
    write("registry", "sample", sample.encode())
    odd = (
        "\ufeff; comment\n[hkey_local_machine\\software\\vexlor\\]\n\"level\"=DWORD:0000000A\n"
        "\"Level\"=dword:00000003\n\"App\"=\"C:\\\\logs\\\\\\\"x\\\"\"\n[HKEY_CURRENT_USER\\X]\n\"A\"=\"b\"\n"
        "[-HKEY_LOCAL_MACHINE\\Y]\n\"bad\"=dword:123\n"
    )
    write("registry", "odd", odd.encode())
    for i, text in enumerate(settings_texts):
        write("registry", f"settings-{i}", text)


def package_seeds(pack, scratch):
    rng = random.Random(7)
    program = scratch / "program"
    # vexlor-pack takes only a program that holds the vexlor program mark.
    program.write_bytes(b"\x7fELF" + bytes(rng.randrange(256) for _ in range(100)) + program_mark() +
                        bytes(rng.randrange(256) for _ in range(100)))
    packages = {}
    for size in (1, 100, 4092, 4096):
        load = scratch / f"load-{size}"
        load.write_bytes(bytes(rng.randrange(256) for _ in range(size)))
        out = scratch / f"packed-{size}"
        subprocess.run([pack, "--program", program, "--load", load, "--version", f"VX12.{size:02d}",
                        "--value16", "0x1234", "--out", out], check=True)
        packages[size] = out.read_bytes()
    for size, data in packages.items():
        # not sealed by the target; the fallback size and fill byte come last
        write("package_reader", f"package-{size}",
              Script().boolean(False).integer(0, 2**32 - 1, size, 4).integer(0, 255, 0, 1).raw(data).bytes())
    tail = packages[100][-600:]
    write("package_reader", "sealed-wrong-size",
          Script().boolean(True).boolean(False).integer(0, 3 * 4096 + 16, 5000, 4).string("VX")
          .integer(0, 65535, 1, 2).integer(0, 2**32 - 1, 2, 4).integer(0, 2**32 - 1, 0, 4)
          .integer(0, 255, 0, 1).raw(tail).bytes())
    return program.read_bytes()


def pack_seeds(program):
    words = ["--program", "--load", "--version", "--out", "--value16", "--value32a", "--value32b", "--value32c",
             "--help", "-h"]

    def command(args, load_size, version=None, image=program):
        s = Script().integer(0, 12, len(args), 8)
        for arg in args:
            if arg in words:
                s.integer(0, len(words) + 1, words.index(arg), 8)
            elif "=" in arg and arg.split("=")[0] in words[:8]:
                name, value = arg.split("=", 1)
                s.integer(0, len(words) + 1, len(words) + 1, 8).integer(0, 7, words.index(name), 8).string(value)
            else:
                s.integer(0, len(words) + 1, len(words), 8).string(arg)
        if version is not None:
            s.string(version)
        s.integer(0, 2048, min(len(image), 2048), 8).raw(image[:2048])
        s.integer(0, 3 * 4096 + 8, load_size, 8).raw(b"load bytes \x00\x7e\x7d")
        return s.bytes()

    full = ["--program", "p", "--load", "l", "--version", "VX12.01", "--out", "o"]
    write("pack_input", "full", command(full, 5000))
    write("pack_input", "values", command(full[:6] + ["--out=o", "--value16=0x1234", "--value32c=4294967295"], 4096))
    write("pack_input", "crc-straddles", command(full, 4094))
    write("pack_input", "version-too-long", command(full[:5] + ["V" * 48] + full[6:], 100))
    write("pack_input", "version-47-bytes", command(full[:5] + ["\u00e9" * 23 + "V"] + full[6:], 100))
    write("pack_input", "version-control", command(full[:5] + ["VX\t12"] + full[6:], 100))
    mark = program_mark()
    write("pack_input", "no-mark", command(full, 100, image=program.replace(mark, mark[:-1] + b"?")))
    write("pack_input", "empty-load", command(full, 0))
    write("pack_input", "missing-out", command(full[:6], 10, version="VX"))
    write("pack_input", "twice", command(full + ["--load", "x"], 10, version="VX"))
    write("pack_input", "help", command(["--help"], 10))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bin", required=True, help="the build's bin folder (vexlor-pack)")
    parser.add_argument("--trace", action="append", default=[], help="a simulator trace (--log)")
    parser.add_argument("--settings", action="append", default=[], help="a settings file to add")
    args = parser.parse_args()

    pieces = trace_pieces(args.trace)
    if not pieces:
        parser.error("the traces hold no bytes the simulator sent")
    diag, dl = decoder_seeds(pieces)
    classify_seeds(pieces)
    mode_reply_seeds(diag)
    sercom_seeds(diag, dl)
    registry_seeds([pathlib.Path(p).read_bytes() for p in args.settings])
    with tempfile.TemporaryDirectory() as scratch:
        program = package_seeds(os.path.join(args.bin, "vexlor-pack"), pathlib.Path(scratch))
    pack_seeds(program)


if __name__ == "__main__":
    main()
