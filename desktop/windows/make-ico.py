#!/usr/bin/env python3
"""Writes a Windows .ico holding the given PNG pictures as they are (Vista's PNG icons)."""
import struct
import sys

out, pngs = sys.argv[1], sys.argv[2:]
images = [open(p, "rb").read() for p in pngs]
header = struct.pack("<HHH", 0, 1, len(images))
offset = len(header) + 16 * len(images)
entries = b""
for data in images:
    width, height = struct.unpack(">II", data[16:24])  # the PNG's IHDR
    entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
with open(out, "wb") as f:
    f.write(header + entries + b"".join(images))
