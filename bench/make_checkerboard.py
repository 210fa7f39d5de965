#!/usr/bin/env python3
"""Writes an 8-bit BMP whose stain colour fills every other pixel like a
checkerboard inside a white margin: one-pixel stains that touch only at
their corners, the stain scan's worst case.

    make_checkerboard.py OUT.bmp [SIDE, default 10000]
"""
import struct
import sys

out = sys.argv[1]
side = int(sys.argv[2]) if len(sys.argv) > 2 else 10000
margin = 200  # white margin, so that white stays the most frequent colour
row_bytes = (side + 3) // 4 * 4
palette = bytearray(1024)
palette[0:4] = bytes([255, 255, 255, 0])  # white
palette[4:8] = bytes([200, 40, 20, 0])    # blue (blue, green, red)
header = struct.pack('<2sIHHI', b'BM', 54 + 1024 + row_bytes * side, 0, 0, 54 + 1024)
info = struct.pack('<IiiHHIIiiII', 40, side, side, 1, 8, 0, row_bytes * side, 47244, 47244, 256, 0)
even = (bytes([1, 0]) * (side // 2 + 1))[:side - 2 * margin]
odd = (bytes([0, 1]) * (side // 2 + 1))[:side - 2 * margin]
white = bytes(row_bytes)
pad = bytes(row_bytes - side)
with open(out, 'wb') as f:
    f.write(header + info + palette)
    for y in range(side):
        if y < margin or y >= side - margin:
            f.write(white)
        else:
            f.write(bytes(margin) + (even if y % 2 == 0 else odd) + bytes(margin) + pad)
