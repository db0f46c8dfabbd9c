#!/usr/bin/env python3
"""Draws the Pelko Setup icon (a white "P" on a blue rounded square with a down arrow) and
writes it as a multi-size .ico of 16, 32 and 48 pixels, each stored as a PNG image (read by
Windows since Vista, at every size): about 600 bytes in all, where a 32-bit bitmap of 16 pixels
alone takes 1,128."""
import struct
import sys
import zlib

SIZES = (16, 32, 48)


def inside_rounded_square(x, y, n, r):
    lo, hi = r, n - 1 - r
    cx = min(max(x, lo), hi)
    cy = min(max(y, lo), hi)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_letter_p(u, v):
    # u, v in [0, 1): the stem and the bowl of a "P".
    stem = 0.28 <= u <= 0.42 and 0.18 <= v <= 0.82
    bowl_outer = ((u - 0.45) / 0.27) ** 2 + ((v - 0.36) / 0.18) ** 2 <= 1.0 and u >= 0.40
    bowl_inner = ((u - 0.45) / 0.13) ** 2 + ((v - 0.36) / 0.07) ** 2 <= 1.0 and u >= 0.40
    return stem or (bowl_outer and not bowl_inner)


def in_arrow(u, v):
    # A small down arrow at the lower right: the setup's mark.
    shaft = 0.70 <= u <= 0.78 and 0.55 <= v <= 0.72
    head = v >= 0.70 and v <= 0.86 and abs(u - 0.74) <= (0.86 - v) * 0.9
    return shaft or head


def pixels(n):
    rows = []
    for y in range(n):
        row = []
        for x in range(n):
            u, v = (x + 0.5) / n, (y + 0.5) / n
            if not inside_rounded_square(x, y, n, max(2, n // 6)):
                row.append((0, 0, 0, 0))
            elif in_letter_p(u, v):
                row.append((255, 255, 255, 255))
            elif in_arrow(u, v):
                row.append((40, 200, 255, 255))  # BGRA: amber
            else:
                row.append((200, 110, 30, 255))  # BGRA: blue
        rows.append(row)
    return rows


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(n):
    # 8-bit RGBA, filter type 0 on every row; the same bytes on every run.
    raw = bytearray()
    for row in pixels(n):
        raw.append(0)
        for b, g, r, a in row:
            raw += bytes((r, g, b, a))
    header = struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
            + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + png_chunk(b"IEND", b""))


def main(path):
    images = [png(n) for n in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for n, img in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    for img in images:
        out += img
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1])
