#!/usr/bin/python3
"""The same job as scan_bench done with OpenCV: read the index bytes of an
uncompressed 8-bit bottom-up bitmap, mask out the background and dither
indices, label the rest with 4-connectivity and take the component areas.

    opencv_scan.py CARD.bmp BACKGROUND DITHER [REPEATS]

Prints what it measured and one RESULT line for bench/run_scan.sh."""

import struct
import sys
import time

import cv2
import numpy as np


def read_indices(path):
    data = np.fromfile(path, dtype=np.uint8)
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 8 or height <= 0:
        raise SystemExit("only uncompressed bottom-up 8-bit bitmaps")
    stride = (width + 3) // 4 * 4
    rows = data[offset:offset + stride * height].reshape(height, stride)
    return rows[:, :width]


def main():
    path = sys.argv[1]
    background = int(sys.argv[2])
    dither = int(sys.argv[3])
    repeats = int(sys.argv[4]) if len(sys.argv) > 4 else 5
    print("OpenCV", cv2.__version__, "threads", cv2.getNumThreads())
    reads, labels, masks = [], [], []
    count = 0
    for i in range(repeats):
        start = time.perf_counter()
        indices = read_indices(path)
        read_at = time.perf_counter()
        mask = ((indices != background) & (indices != dither)).astype(np.uint8)
        masked_at = time.perf_counter()
        n, _, stats, _ = cv2.connectedComponentsWithStats(mask, connectivity=4, ltype=cv2.CV_32S)
        areas = stats[1:, cv2.CC_STAT_AREA]
        done_at = time.perf_counter()
        count = n - 1
        reads.append(read_at - start)
        labels.append(done_at - read_at)
        masks.append(masked_at - read_at)
        print("round %d: read %7.1f ms | mask %7.1f ms + label %7.1f ms = %7.1f ms (%d components, %d pixels)"
              % (i + 1, 1e3 * reads[-1], 1e3 * masks[-1], 1e3 * (labels[-1] - masks[-1]), 1e3 * labels[-1],
                 count, int(areas.sum())))
    labels.sort()
    reads.sort()
    median = labels[len(labels) // 2] if len(labels) % 2 else (labels[len(labels) // 2 - 1] + labels[len(labels) // 2]) / 2
    print("mask and label  median %.1f ms, best %.1f ms; read median %.1f ms"
          % (1e3 * median, 1e3 * labels[0], 1e3 * reads[len(reads) // 2]))
    print("RESULT analysis_ms=%.3f components=%d best_ms=%.3f" % (1e3 * median, count, 1e3 * labels[0]))


main()
