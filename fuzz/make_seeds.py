#!/usr/bin/env python3
"""Writes the small well-formed seed files in fuzz/corpus/:
   make_seeds.py [DIR]   (default: the corpus folder next to this script;
                          creates DIR/fuzz_bmp, DIR/fuzz_gif_header, DIR/fuzz_colour_pass,
                          DIR/fuzz_png and, when cjpeg is installed, DIR/fuzz_jpeg)
The files are kept in the tree; run this again only to change them."""
import os
import shutil
import struct
import subprocess
import sys
import zlib


def rgb_tif(width, height, depth=8, dpi=600):
    """An uncompressed RGB TIF of one strip, little-endian, with its resolution."""
    top = (1 << depth) - 1
    samples = [((x * 37 + y * 11 + c * 70) % (top + 1)) for y in range(height) for x in range(width) for c in range(3)]
    pixels = b"".join(struct.pack("<H", v) for v in samples) if depth == 16 else bytes(samples)
    entries = 13
    ifd_at = 8
    extra_at = ifd_at + 2 + entries * 12 + 4
    bits_at, xres_at, yres_at, pixels_at = extra_at, extra_at + 6, extra_at + 14, extra_at + 22
    tags = [(256, 3, 1, width), (257, 3, 1, height), (258, 3, 3, bits_at), (259, 3, 1, 1), (262, 3, 1, 2),
            (273, 4, 1, pixels_at), (277, 3, 1, 3), (278, 3, 1, height), (279, 4, 1, len(pixels)),
            (282, 5, 1, xres_at), (283, 5, 1, yres_at), (284, 3, 1, 1), (296, 3, 1, 2)]
    out = b"II*\0" + struct.pack("<I", ifd_at) + struct.pack("<H", entries)
    for tag, kind, count, value in tags:
        out += struct.pack("<HHI", tag, kind, count) + (struct.pack("<HH", value, 0) if kind == 3 and count == 1
                                                        else struct.pack("<I", value))
    out += struct.pack("<I", 0) + struct.pack("<HHH", depth, depth, depth)
    out += struct.pack("<II", dpi, 1) * 2
    return out + pixels


def png(width, height, colour_type, depth, phys=None, palette=None):
    """A PNG of the given type and depth whose samples step through the range."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type]
    top = (1 << depth) - 1
    rows = b""
    for y in range(height):
        samples = [((x * 7 + y * 13 + c * 29) % (top + 1)) if colour_type != 3 else (x + y) % len(palette)
                   for x in range(width) for c in range(channels)]
        rows += b"\0" + (b"".join(struct.pack(">H", v) for v in samples) if depth == 16 else bytes(samples))
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, 0))
    if palette:
        out += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    if phys:
        out += chunk(b"pHYs", struct.pack(">IIB", phys, phys, 1))
    return out + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")


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
    if bpp in (16, 24, 32):
        size = bpp // 8
        stride = (width * size + 3) & ~3
        pixels = b"".join(b"".join(bytes([40 + 50 * v, 80, 120 + 30 * v, 0][:size]) for v in r) + b"\0" * (stride - width * size)
                          for r in rows)
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
        "rgb16.bmp": bmp(5, 3, bpp=16),
        "rgb32.bmp": bmp(4, 4, bpp=32, top_down=True),
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

    pngs = {
        "rgb.png": png(6, 5, 2, 8, phys=23622),
        "rgba.png": png(5, 4, 6, 8),
        "rgb16.png": png(4, 3, 2, 16, phys=11811),
        "grey16.png": png(4, 4, 0, 16),
        "palette.png": png(5, 5, 3, 8, palette=[(236, 222, 120), (30, 50, 150), (0, 0, 0)]),
    }
    os.makedirs(os.path.join(root, "fuzz_png"), exist_ok=True)
    for name, data in pngs.items():
        with open(os.path.join(root, "fuzz_png", name), "wb") as f:
            f.write(data)

    for name, data in (("rgb.tif", rgb_tif(5, 4)), ("rgb16.tif", rgb_tif(3, 3, depth=16, dpi=300))):
        with open(os.path.join(root, "fuzz_tif", name), "wb") as f:
            f.write(data)

    # JPEG seeds from small PPM and PGM pictures, by libjpeg's own encoder.
    if shutil.which("cjpeg"):
        os.makedirs(os.path.join(root, "fuzz_jpeg"), exist_ok=True)
        ppm = b"P6 12 8 255\n" + bytes(((x * 20) % 256 if c == 0 else (y * 30) % 256 if c == 1 else 120)
                                       for y in range(8) for x in range(12) for c in range(3))
        pgm = b"P5 8 8 255\n" + bytes((x * y * 4) % 256 for y in range(8) for x in range(8))
        for name, data, args in (("colour.jpg", ppm, ["-quality", "90"]),
                                 ("grey.jpg", pgm, ["-quality", "75"])):
            picture = subprocess.run(["cjpeg"] + args, input=data, capture_output=True, check=True).stdout
            with open(os.path.join(root, "fuzz_jpeg", name), "wb") as f:
                f.write(picture)


if __name__ == "__main__":
    main()
