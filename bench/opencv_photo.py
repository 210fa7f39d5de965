#!/usr/bin/python3
"""A plain OpenCV pipeline over a photo, to time the card finder's whole run
against: decode the JPEG, convert to CIELAB, threshold the blue-yellow axis
by Otsu and label the stains with their areas.

    opencv_photo.py PHOTO.jpg

Prints the number of labelled components and the seconds taken."""

import sys
import time

import cv2


def main():
    start = time.perf_counter()
    image = cv2.imread(sys.argv[1], cv2.IMREAD_COLOR)
    lab = cv2.cvtColor(image, cv2.COLOR_BGR2Lab)
    # Blue stains on yellow paper lie low on the b axis.
    _, mask = cv2.threshold(lab[:, :, 2], 0, 255, cv2.THRESH_BINARY_INV | cv2.THRESH_OTSU)
    count, _, stats, _ = cv2.connectedComponentsWithStats(mask, connectivity=8)
    elapsed = time.perf_counter() - start
    print(f"components {count - 1} largest {stats[1:, cv2.CC_STAT_AREA].max() if count > 1 else 0} "
          f"seconds {elapsed:.3f}")


if __name__ == "__main__":
    main()
