#!/usr/bin/env python3
"""Writes the files of a payload large enough to be cut into pieces (9 MiB in four files of
word-like bytes, the same on every run) and their manifest: make_large_payload.py DIR"""
import os
import random
import sys

out = sys.argv[1]
random.seed(20261208)
words = [b"pelko ", b"setup ", b"install ", b"file ", b"update ", b"guard ", b"\r\n"]
files = [("pelko.exe", 3 << 20), ("lib/core.dll", 4 << 20), ("lib/extra.dll", 2 << 20),
         ("licenses/notice.txt", 4096)]
lines = []
for name, size in files:
    path = os.path.join(out, "files", *name.split("/"))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    chunks, total = [], 0
    while total < size:
        chunk = random.choice(words) if random.random() < 0.9 else random.randbytes(8)
        chunks.append(chunk)
        total += len(chunk)
    with open(path, "wb") as f:
        f.write(b"".join(chunks)[:size])
    lines.append(f"{name}\t{path}\n")
with open(os.path.join(out, "manifest.txt"), "w") as f:
    f.writelines(lines)
