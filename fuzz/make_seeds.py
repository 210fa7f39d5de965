#!/usr/bin/env python3
"""Writes small well-formed seed files for the fuzz targets:
   make_seeds.py DIR   (creates DIR/bmp, DIR/gif, DIR/colour)"""
import os
import struct
import sys


def bmp(width, height, header=40, top_down=False, rle=False, bpp=8, colours=4):
    palette_entry = 3 if header == 12 else 4
    rows = [[(x + y) % colours for x in range(width)] for y in range(height)]  # bottom row first
    if bpp == 24:
        stride = (width * 3 + 3) & ~3
        pixels = b"".join(bytes([40, 80, 120] * width) + b"\0" * (stride - width * 3) for _ in rows)
        palette = b""
    else:
        palette = b"".join(bytes([i * 60 % 256, (255 - i * 40) % 256, i * 90 % 256]) + (b"" if header == 12 else b"\0")
                           for i in range(colours))
        if rle:
            out = bytearray()
            for y, row in enumerate(rows):
                # An encoded run for the first pixel, absolute mode for the rest.
                out += bytes([1, row[0]])
                rest = row[1:]
                if len(rest) >= 3:
                    out += bytes([0, len(rest)]) + bytes(rest) + (b"\0" if len(rest) % 2 else b"")
                else:
                    out += b"".join(bytes([1, v]) for v in rest)
                out += b"\0\0" if y + 1 < len(rows) else b"\0\1"
            pixels = bytes(out)
        else:
            stride = (width + 3) & ~3
            ordered = list(reversed(rows)) if top_down else rows
            pixels = b"".join(bytes(r) + b"\0" * (stride - width) for r in ordered)
    offset = 14 + header + len(palette)
    if header == 12:
        info = struct.pack("<IHHHH", 12, width, height, 1, bpp)
    else:
        info = struct.pack("<IiiHHIIiiII", header, width, -height if top_down else height, 1, bpp,
                           1 if rle else 0, len(pixels), 2835, 2835, colours if bpp == 8 else 0, 0)
        info += b"\0" * (header - 40)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + palette + pixels


def main():
    root = sys.argv[1]
    for name in ("bmp", "gif", "colour"):
        os.makedirs(os.path.join(root, name), exist_ok=True)
    seeds = {
        "plain.bmp": bmp(5, 3),
        "wide.bmp": bmp(17, 4, colours=200),
        "topdown.bmp": bmp(4, 4, top_down=True),
        "v4.bmp": bmp(3, 2, header=108),
        "v5.bmp": bmp(6, 3, header=124),
        "os2.bmp": bmp(4, 3, header=12),
        "rle8.bmp": bmp(6, 4, rle=True),
        "rgb24.bmp": bmp(3, 3, bpp=24),
    }
    for name, data in seeds.items():
        with open(os.path.join(root, "bmp", name), "wb") as f:
            f.write(data)
    gif = b"GIF89a" + struct.pack("<HHBBB", 10, 10, 0xF7, 0, 0) + b"\0" * 768 + b";"
    for name, data in {"89a.gif": gif, "87a.gif": b"GIF87a" + gif[6:13]}.items():
        with open(os.path.join(root, "gif", name), "wb") as f:
            f.write(data)
    with open(os.path.join(root, "colour", "stains"), "wb") as f:
        f.write(bytes([15, 15, 3]) + bytes([0, 200, 255, 0, 0, 255, 0, 0, 128, 128, 128, 0]) +
                bytes((x * y) % 4 for x in range(16) for y in range(16)))


if __name__ == "__main__":
    main()
