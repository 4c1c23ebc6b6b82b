#!/usr/bin/python3
"""Prints the quality a baseline JPEG file was written at: the quality whose
standard luminance table, scaled as the common encoders scale it, equals the
file's first quantisation table. Exit code 1 when no quality gives that table.

    jpeg_quality.py PICTURE.jpg
"""
import sys

LUMINANCE = [16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55,
             14, 13, 16, 24, 40, 57, 69, 56, 14, 17, 22, 29, 51, 87, 80, 62,
             18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92,
             49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]
ZIGZAG = [0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, 12, 19, 26, 33, 40, 48,
          41, 34, 27, 20, 13, 6, 7, 14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
          30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63]


def first_table(data):
    """The first quantisation table in natural order, or None."""
    at = 2
    while at + 4 <= len(data) and data[at] == 0xFF:
        marker, length = data[at + 1], int.from_bytes(data[at + 2:at + 4], "big")
        if marker == 0xDA:  # start of scan: no table came before it
            return None
        if marker == 0xDB and length >= 67 and data[at + 4] >> 4 == 0:
            zigzag = data[at + 5:at + 69]
            table = [0] * 64
            for k, value in enumerate(zigzag):
                table[ZIGZAG[k]] = value
            return table
        at += 2 + length
    return None


def scaled(quality):
    scale = 5000 // quality if quality < 50 else 200 - 2 * quality
    return [min(255, max(1, (v * scale + 50) // 100)) for v in LUMINANCE]


def main():
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    table = first_table(data) if data[:2] == b"\xff\xd8" else None
    for quality in range(1, 101):
        if table is not None and scaled(quality) == table:
            print(quality)
            return 0
    return 1


if __name__ == "__main__":
    sys.exit(main())
