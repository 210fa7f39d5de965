#!/usr/bin/env python3
"""Writes the small well-formed seed files in fuzz/corpus/:
   make_seeds.py [DIR]   (default: the corpus folder next to this script;
                          creates DIR/fuzz_bmp, DIR/fuzz_gif_header, DIR/fuzz_colour_pass)
The files are kept in the tree; run this again only to change them."""
import os
import struct
import sys


def rle8(rows, delta=False):
    """Rows bottom first: an encoded run for the first pixel, absolute mode
    for the rest; with delta=True the second row is skipped by a delta code
    and the stream ends on an end-of-bitmap code before the last row."""
    out = bytearray()
    y = 0
    while y < len(rows):
        row = rows[y]
        if delta and y == 1:
            out += bytes([0, 2, 0, 1])  # move one row up, same column
            y += 1
            continue
        out += bytes([1, row[0]])
        rest = row[1:]
        if len(rest) >= 3:
            out += bytes([0, len(rest)]) + bytes(rest) + (b"\0" if len(rest) % 2 else b"")
        else:
            out += b"".join(bytes([1, v]) for v in rest)
        if delta and y == len(rows) - 2:
            out += b"\0\1"
            break
        out += b"\0\0" if y + 1 < len(rows) else b"\0\1"
        y += 1
    return bytes(out)


def bmp(width, height, header=40, top_down=False, rle=False, delta=False, bpp=8, colours=4):
    core = header == 12
    palette_entry = 3 if core else 4
    rows = [[(x + y) % colours for x in range(width)] for y in range(height)]  # bottom row first
    if bpp == 24:
        stride = (width * 3 + 3) & ~3
        pixels = b"".join(bytes([40, 80, 120] * width) + b"\0" * (stride - width * 3) for _ in rows)
        palette = b""
    else:
        # Headers without a count field get the full 256 entries.
        entries = colours if header >= 40 else (colours if core else 256)
        palette = b"".join(bytes([i * 60 % 256, (255 - i * 40) % 256, i * 90 % 256]) + b"\0" * (palette_entry - 3)
                           for i in range(entries))
        if rle:
            pixels = rle8(rows, delta)
        else:
            stride = (width + 3) & ~3
            ordered = list(reversed(rows)) if top_down else rows
            pixels = b"".join(bytes(r) + b"\0" * (stride - width) for r in ordered)
    offset = 14 + header + len(palette)
    if core:
        info = struct.pack("<IHHHH", 12, width, height, 1, bpp)
    elif header == 16:
        info = struct.pack("<IiiHH", 16, width, -height if top_down else height, 1, bpp)
    else:
        info = struct.pack("<IiiHHIIiiII", header, width, -height if top_down else height, 1, bpp,
                           1 if rle else 0, len(pixels), 2835, 2835, colours if bpp == 8 else 0, 0)
        info += b"\0" * (header - 40)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + palette + pixels


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    folders = {name: os.path.join(root, name) for name in ("fuzz_bmp", "fuzz_gif_header", "fuzz_colour_pass")}
    for folder in folders.values():
        os.makedirs(folder, exist_ok=True)
    seeds = {
        "info40.bmp": bmp(5, 3),
        "wide200.bmp": bmp(17, 4, colours=200),
        "topdown.bmp": bmp(4, 4, top_down=True),
        "v2_52.bmp": bmp(3, 3, header=52, colours=3),
        "v3_56.bmp": bmp(7, 2, header=56),
        "v4_108.bmp": bmp(3, 2, header=108),
        "v5_124.bmp": bmp(6, 3, header=124),
        "os2_64.bmp": bmp(5, 2, header=64),
        "os2_16.bmp": bmp(2, 2, header=16),
        "core12.bmp": bmp(4, 3, header=12),
        "rle8.bmp": bmp(6, 4, rle=True),
        "rle8_delta.bmp": bmp(5, 5, rle=True, delta=True, colours=6),
        "rgb24.bmp": bmp(3, 3, bpp=24),
    }
    for name, data in seeds.items():
        with open(os.path.join(folders["fuzz_bmp"], name), "wb") as f:
            f.write(data)

    screen = struct.pack("<HHBBB", 10, 10, 0xF7, 0, 0)
    gifs = {"89a.gif": b"GIF89a" + screen + b"\0" * 768 + b";", "87a.gif": b"gif87A" + screen}
    for name, data in gifs.items():
        with open(os.path.join(folders["fuzz_gif_header"], name), "wb") as f:
            f.write(data)

    # width, height, entries - 1, mode, answer, colour table, pixels
    table = bytes([0, 200, 255, 0, 0, 255, 0, 0, 128, 128, 128, 0])
    colour = {
        "stains": bytes([15, 15, 3, 0, 0]) + table + bytes((x * y) % 4 for x in range(16) for y in range(16)),
        "asked": bytes([9, 9, 3, 1 | 4, 3]) + table + bytes((x + y) % 4 % 3 for x in range(10) for y in range(10)),
        "wide_rows": bytes([239, 1, 3, 8, 1]) + table + bytes([1, 1, 1, 2, 3, 3, 1, 0] * 16),
    }
    for name, data in colour.items():
        with open(os.path.join(folders["fuzz_colour_pass"], name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
