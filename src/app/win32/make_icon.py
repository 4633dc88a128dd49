#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Builds the program's .ico from the window's PNG icons (8-bit RGBA, not interlaced).

Usage: make_icon.py OUT.ico ICON.png...

Sizes up to 64 pixels become 32-bit bitmaps with an AND mask, which every Windows version and
Wine draw; larger ones keep their PNG data, as Windows Vista and later read it. Only the
standard library: the build needs nothing beyond python3.
"""
import struct
import sys
import zlib

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def read_png(path):
    """(width, height, png bytes, rows of RGBA bytes top to bottom)."""
    data = open(path, "rb").read()
    if not data.startswith(PNG_SIGNATURE):
        sys.exit(f"make_icon: {path} is not a PNG file")
    pos = len(PNG_SIGNATURE)
    header = None
    idat = b""
    while pos + 8 <= len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    if header is None:
        sys.exit(f"make_icon: {path} has no header")
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour != 6 or interlace != 0:
        sys.exit(f"make_icon: {path} must be 8-bit RGBA without interlacing")
    raw = zlib.decompress(idat)
    stride = width * 4
    rows = []
    previous = bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind = raw[start]
        line = bytearray(raw[start + 1:start + 1 + stride])
        for x in range(stride):
            left = line[x - 4] if x >= 4 else 0
            up = previous[x]
            corner = previous[x - 4] if x >= 4 else 0
            if kind == 1:
                line[x] = (line[x] + left) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + up) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                line[x] = (line[x] + predictor) & 0xFF
            elif kind != 0:
                sys.exit(f"make_icon: {path} has an unknown filter {kind}")
        rows.append(bytes(line))
        previous = line
    return width, height, data, rows


def bitmap_entry(width, height, rows):
    """A 32-bit icon image: header (twice the height: colour then mask), BGRA bottom up, mask."""
    mask_stride = ((width + 31) // 32) * 4
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        for x in range(width):
            r, g, b, a = row[4 * x:4 * x + 4]
            pixels += bytes((b, g, r, a))
        bits = bytearray(mask_stride)
        for x in range(width):
            if row[4 * x + 3] == 0:  # fully transparent: the mask shows the background
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + bytes(mask)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    images = []
    for path in sys.argv[2:]:
        width, height, png, rows = read_png(path)
        if width != height or width > 256:
            sys.exit(f"make_icon: {path} must be square and at most 256 pixels")
        body = bitmap_entry(width, height, rows) if width <= 64 else png
        images.append((width, body))
    images.sort(key=lambda image: image[0])
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    bodies = b""
    for size, body in images:
        side = 0 if size == 256 else size  # 0 stands for 256
        directory += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(body), offset + len(bodies))
        bodies += body
    with open(sys.argv[1], "wb") as out:
        out.write(directory + bodies)


if __name__ == "__main__":
    main()
