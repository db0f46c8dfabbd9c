#!/usr/bin/env python3
"""Moves the payload section of a PE image to a file offset that is a multiple of the page size
(4096), in place: page-aligned, Wine maps the section from the file as Windows does, instead of
reading it into private memory when the image loads. The padding goes between the section before
it and the section itself; every section after it moves by the same amount in the file. Nothing
moves in memory (addresses, sizes and the image's size stay). Run before the image is signed.

    page-align-payload.py IMAGE [SECTION]     (SECTION defaults to .payload)
"""
import struct
import sys

PAGE = 4096
path = sys.argv[1]
wanted = (sys.argv[2] if len(sys.argv) > 2 else ".payload").encode()
image = bytearray(open(path, "rb").read())

pe = struct.unpack_from("<I", image, 0x3C)[0]
if image[pe:pe + 4] != b"PE\0\0":
    sys.exit(f"{path}: not a PE image")
count = struct.unpack_from("<H", image, pe + 6)[0]
optional_size = struct.unpack_from("<H", image, pe + 20)[0]
if struct.unpack_from("<I", image, pe + 12)[0] != 0:
    sys.exit(f"{path}: has a COFF symbol table, which would move too")
# A debug directory holds a file offset of its own, which a move would leave behind.
optional = pe + 24
directories = optional + (112 if struct.unpack_from("<H", image, optional)[0] == 0x20B else 96)
if struct.unpack_from("<II", image, directories + 6 * 8)[1] != 0:
    sys.exit(f"{path}: has a debug directory, whose data would not move with its section")
table = pe + 24 + optional_size
headers = [table + 40 * i for i in range(count)]
target = next((h for h in headers if image[h:h + 8].rstrip(b"\0") == wanted), None)
if target is None:
    sys.exit(f"{path}: no {wanted.decode()} section")
raw_at = struct.unpack_from("<I", image, target + 20)[0]
shift = -raw_at % PAGE
if shift:
    moved = [h for h in headers if struct.unpack_from("<I", image, h + 20)[0] >= raw_at and
             struct.unpack_from("<I", image, h + 16)[0] != 0]
    for h in moved:
        struct.pack_into("<I", image, h + 20, struct.unpack_from("<I", image, h + 20)[0] + shift)
    image[raw_at:raw_at] = bytes(shift)
    open(path, "wb").write(image)
