#!/usr/bin/env python3
"""Writes a disk image as a volume_recover_fuzz input: its sector count, then each run of
non-zero sectors as a 32-bit first sector, a 16-bit count and the sectors. Byte ranges
given as OFFSET:LENGTH are zeroed first (big files the scan never reads, such as
$LogFile, keep a seed small).
   tools/fuzz_seed.py IMAGE OUT [OFFSET:LENGTH ...]"""
import struct
import sys

image = bytearray(open(sys.argv[1], "rb").read())
for span in sys.argv[3:]:
    offset, length = (int(x, 0) for x in span.split(":"))
    image[offset:offset + length] = bytes(len(image[offset:offset + length]))
sectors = min(len(image) // 512, 8192)
out = bytearray(struct.pack("<I", sectors))
s = 0
while s < sectors:
    if not any(image[s * 512:(s + 1) * 512]):
        s += 1
        continue
    first = s
    while s < sectors and s - first < 0xFFFF and any(image[s * 512:(s + 1) * 512]):
        s += 1
    out += struct.pack("<IH", first, s - first) + image[first * 512:s * 512]
open(sys.argv[2], "wb").write(out)
