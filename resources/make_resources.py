#!/usr/bin/env python3
"""Writes the program icon (corvane.ico) and the crosshair cursor (crosshair.cur)
from the pixel maps below, so every pixel can be read and reviewed here.

Usage: make_resources.py OUTPUT_FOLDER
"""
import struct
import sys
from pathlib import Path

# The program icon, 32 x 32, 32 bits per pixel: a camera. Rows top to bottom.
ICON = [
    "................................",
    "................................",
    "................................",
    "................................",
    ".........KKKKKKKKK..............",
    "........KDDDDDDDDDK.............",
    "........KDDDDDDDDDK.............",
    "........KDDDDDDDDDK.............",
    "..KKKKKKKKKKKKKKKKKKKKKKKKKKKK..",
    ".KDDDDDDDDDDDDDDDDDDDDDDDDDDDDK.",
    ".KDDDDDDDDDDDDDDDDDDDDDDDYYYDDK.",
    ".KBBBBBBBBBBBKKKKKKBBBBBBYYYBBK.",
    ".KBBBBBBBBBKKLLLLLLKKBBBBBBBBBK.",
    ".KBBBBBBBBKKLLLLLLLLKKBBBBBBBBK.",
    ".KBBBBBBBKKLLLLGGLLLLKKBBBBBBBK.",
    ".KBBBBBBBKLLLGGGGGGLLLKBBBBBBBK.",
    ".KBBBBBBKKLLGWWGGGGGLLKKBBBBBBK.",
    ".KBBBBBBKLLLGWGGGGGGLLLKBBBBBBK.",
    ".KBBBBBBKLLLGGGGGGGGLLLKBBBBBBK.",
    ".KBBBBBBKLLLGGGGGGGGLLLKBBBBBBK.",
    ".KBBBBBBKKLLGGGGGGGGLLKKBBBBBBK.",
    ".KBBBBBBBKLLLGGGGGGLLLKBBBBBBBK.",
    ".KBBBBBBBKKLLLLGGLLLLKKBBBBBBBK.",
    ".KBBBBBBBBKKLLLLLLLLKKBBBBBBBBK.",
    ".KBBBBBBBBBKKLLLLLLKKBBBBBBBBBK.",
    ".KBBBBBBBBBBBKKKKKKBBBBBBBBBBBK.",
    ".KBBBBBBBBBBBBBBBBBBBBBBBBBBBBK.",
    "..KKKKKKKKKKKKKKKKKKKKKKKKKKKK..",
    "................................",
    "................................",
    "................................",
    "................................",
]
ICON_COLOURS = {  # character: (red, green, blue, alpha)
    ".": (0, 0, 0, 0),
    "K": (0x1C, 0x22, 0x2E, 0xFF),  # outline
    "D": (0x1F, 0x4E, 0x9E, 0xFF),  # top band
    "B": (0x33, 0x72, 0xD4, 0xFF),  # body
    "L": (0xA8, 0xD8, 0xFF, 0xFF),  # lens ring
    "G": (0x12, 0x24, 0x48, 0xFF),  # glass
    "W": (0xFF, 0xFF, 0xFF, 0xFF),  # reflection
    "Y": (0xFF, 0xD8, 0x4A, 0xFF),  # flash
}

# The crosshair cursor, 32 x 32, monochrome: "o" white, "#" black, "." transparent.
# Hot spot at column 15, row 16, where the two lines cross.
CURSOR = [
    "................................",
    "................................",
    "................................",
    "..............###...............",
    "..............#o#...............",
    "..............#o#...............",
    "..............#o#...............",
    "..............#o#...............",
    "..............#o#...............",
    "..............#o#...............",
    "..............#o#...............",
    "..............#o#...............",
    "..............#o#...............",
    "..............#o#...............",
    "..............#o#...............",
    "..#############o#############...",
    "..#ooooooooooooooooooooooooo#...",
    "..#############o#############...",
    "..............#o#...............",
    "..............#o#...............",
    "..............#o#...............",
    "..............#o#...............",
    "..............#o#...............",
    "..............#o#...............",
    "..............#o#...............",
    "..............#o#...............",
    "..............#o#...............",
    "..............#o#...............",
    "..............#o#...............",
    "..............###...............",
    "................................",
    "................................",
]
CURSOR_HOTSPOT = (15, 16)


def check_cursor():
    """The crosshair: white one-pixel lines, row 16 from column 3 to 27 and column
    15 from row 4 to 28, with a one-pixel black outline and nothing else."""
    white = {(x, 16) for x in range(3, 28)} | {(15, y) for y in range(4, 29)}
    black = {(x + dx, y + dy) for (x, y) in white for dx in (-1, 0, 1) for dy in (-1, 0, 1)} - white
    for y, row in enumerate(CURSOR):
        assert len(row) == 32, f"cursor row {y} is {len(row)} pixels wide"
        for x, c in enumerate(row):
            want = "o" if (x, y) in white else "#" if (x, y) in black else "."
            assert c == want, f"cursor pixel ({x}, {y}) is {c!r}, expected {want!r}"
    assert len(CURSOR) == 32
    assert CURSOR[CURSOR_HOTSPOT[1]][CURSOR_HOTSPOT[0]] == "o"


def bitmap_header(width, height, bits, colours_used=0):
    # The height counts the colour image and the mask below it.
    return struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bits, 0, 0, 0, 0, colours_used, 0)


def mask_rows(rows, is_set):
    """One bit per pixel, rows bottom to top, each row padded to 32 bits."""
    out = bytearray()
    for row in reversed(rows):
        value = 0
        for x, c in enumerate(row):
            if is_set(c):
                value |= 0x80000000 >> x
        out += struct.pack(">I", value)
    return bytes(out)


# The sizes Windows asks for: the tray and small icons at 100 to 150 % (16, 20,
# 24), the window and desktop icons (32, 48) and the large views (256).
ICON_SIZES = (16, 20, 24, 32, 48, 256)


def icon_pixels(size):
    """The 32-pixel map resampled to size x size, rows top to bottom, (r, g, b, a):
    each pixel the area-weighted mean of the map's pixels it covers, colours
    weighted by their alpha, so edges blend instead of shifting."""
    pixels = []
    scale = 32 / size
    for y in range(size):
        row = []
        for x in range(size):
            x0, x1, y0, y1 = x * scale, (x + 1) * scale, y * scale, (y + 1) * scale
            total = [0.0, 0.0, 0.0, 0.0]
            area = 0.0
            for sy in range(int(y0), min(32, int(-(-y1 // 1)))):
                h = min(y1, sy + 1) - max(y0, sy)
                for sx in range(int(x0), min(32, int(-(-x1 // 1)))):
                    w = min(x1, sx + 1) - max(x0, sx)
                    if w <= 0 or h <= 0:
                        continue
                    r, g, b, a = ICON_COLOURS[ICON[sy][sx]]
                    weight = w * h
                    total[0] += r * a * weight
                    total[1] += g * a * weight
                    total[2] += b * a * weight
                    total[3] += a * weight
                    area += weight
            alpha = total[3] / area
            if total[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(total[i] / total[3]) for i in range(3)) + (round(alpha),))
        pixels.append(row)
    return pixels


def bmp_image(size):
    rows = icon_pixels(size)
    image = bytearray(bitmap_header(size, size, 32))
    for row in reversed(rows):
        for r, g, b, a in row:
            image += bytes((b, g, r, a))
    stride = (size + 31) // 32 * 4
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        image += bits
    return bytes(image)


# Images from 32 pixels up are stored as PNG, which icon resources may hold
# since Windows Vista at any size: a tenth of the bytes of a 32-bit bitmap with
# its mask. The tray's and small icons' sizes stay bitmaps, the form every
# part of the shell has always drawn.
PNG_FROM = 32


def png_image(size):
    """An image as PNG: 8 bits a channel, with alpha, rows top to bottom."""
    import zlib
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in icon_pixels(size))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def icon_file():
    assert len(ICON) == 32 and all(len(row) == 32 for row in ICON)
    images = [png_image(size) if size >= PNG_FROM else bmp_image(size) for size in ICON_SIZES]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, image in zip(ICON_SIZES, images):
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return directory + entries + b"".join(images)


def cursor_file():
    check_cursor()
    image = bytearray(bitmap_header(32, 32, 1, 2))
    image += bytes((0, 0, 0, 0, 255, 255, 255, 0))  # palette: black, white
    # Screen = (screen AND mask) XOR image: mask 1 and image 0 leave the screen.
    image += mask_rows(CURSOR, lambda c: c == "o")
    image += mask_rows(CURSOR, lambda c: c == ".")
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", 32, 32, 2, 0, CURSOR_HOTSPOT[0], CURSOR_HOTSPOT[1], len(image), 6 + 16)
    return directory + entry + bytes(image)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "corvane.ico").write_bytes(icon_file())
    (folder / "crosshair.cur").write_bytes(cursor_file())


if __name__ == "__main__":
    main()
