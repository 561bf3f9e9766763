#!/usr/bin/env python3
"""Writes linkforge.ico: the program's icon, a yellow folder with a shortcut
arrow, as a 16 x 16 and a 32 x 32 image of 16 colours (4 bits per pixel)
with a transparency mask. The build uses the committed linkforge.ico; run
this script (no dependencies) only to change it:

    python3 make_icon.py linkforge.ico
"""
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# Letters of the drawing and their palette entries; '.' is transparent.
COLOURS = {'k': 0, 'o': 3, 'n': 4, 's': 7, 'b': 12, 'y': 11, 'w': 15}

# 16 x 16, top row first: a folder (olive outline, yellow body) with the
# shortcut box in its lower left corner (white, a blue arrow to the upper
# right).
DRAWING = [
    "................",
    "................",
    ".ooooo..........",
    "oyyyyyo.........",
    "oyyyyyyoooooooo.",
    "oyyyyyyyyyyyyyyo",
    "oyyyyyyyyyyyyyyo",
    "kkkkkkkyyyyyyyyo",
    "kwwwwwksyyyyyyyo",
    "kwwbbbksyyyyyyyo",
    "kwwwbbksyyyyyyyo",
    "kwwbwbksyyyyyyyo",
    "kwbwwwksyyyyyyyo",
    "kkkkkkkoooooooo.",
    "................",
    "................",
]


def scaled(drawing, factor):
    """Each pixel as a factor x factor block."""
    rows = []
    for row in drawing:
        wide = "".join(c * factor for c in row)
        rows.extend([wide] * factor)
    return rows


def image(rows):
    """BITMAPINFOHEADER, palette, colour bits and mask of one icon image."""
    size = len(rows)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up, as bitmaps are stored
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, c in enumerate(row):
            if c == '.':
                bits[x // 8] |= 0x80 >> (x % 8)  # transparent: colour 0
            else:
                line[x // 2] |= COLOURS[c] << (4 if x % 2 == 0 else 0)
        xor += line
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def icon_file(images):
    """ICONDIR, one ICONDIRENTRY per image, then the images."""
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b''.join(data for _, data in images)


def main():
    assert all(len(row) == 16 for row in DRAWING) and len(DRAWING) == 16
    images = [(32, image(scaled(DRAWING, 2))), (16, image(DRAWING))]
    with open(sys.argv[1] if len(sys.argv) > 1 else 'linkforge.ico', 'wb') as f:
        f.write(icon_file(images))


if __name__ == '__main__':
    main()
