#!/usr/bin/env python3
"""Draws the program's icon, a sound wave on a rounded blue tile, as a 32 x 32, 32-bit .ico file.

    python3 resources/make_icon.py resources/palvotrix.ico
"""
import math
import struct
import sys

SIZE = 32
TILE = (0x2B, 0x6C, 0xB0)  # RGB
WAVE = (0xFF, 0xFF, 0xFF)
CORNER = 6


def inside_tile(x, y):
    """True when pixel (x, y) lies on the tile, whose corners are rounded with radius CORNER."""
    cx = min(max(x + 0.5, CORNER), SIZE - CORNER)
    cy = min(max(y + 0.5, CORNER), SIZE - CORNER)
    return (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= CORNER ** 2


def wave_height(x):
    """Half the height of the wave bar in column x: a decaying sine, the look of a sound."""
    t = (x - 4) / (SIZE - 8)
    return abs(math.sin(t * math.pi * 3.0)) * 11.0 * (1.0 - 0.6 * t) + 1.0


def pixel(x, y):
    if not inside_tile(x, y):
        return (0, 0, 0, 0)
    if 4 <= x < SIZE - 4 and x % 2 == 0 and abs(y + 0.5 - SIZE / 2) <= wave_height(x):
        return WAVE + (0xFF,)
    return TILE + (0xFF,)


def image_data():
    """BITMAPINFOHEADER, bottom-up BGRA rows, then the 1-bit AND mask (unused with alpha, all 0)."""
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = bytearray()
    for y in reversed(range(SIZE)):
        for x in range(SIZE):
            r, g, b, a = pixel(x, y)
            rows += bytes((b, g, r, a))
    mask_row_bytes = ((SIZE + 31) // 32) * 4
    mask = bytes(mask_row_bytes * SIZE)
    return header + bytes(rows) + mask


def icon_file():
    data = image_data()
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(data), 6 + 16)
    return directory + entry + data


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(icon_file())
