#!/usr/bin/env python3
"""Writes plugin.ico: the plugin's icon, 16 x 16 and 32 x 32 pixels with 16
colours each. It shows the plugin's three balance sliders: bars from cyan to
red, magenta to green and yellow to blue, each with a white thumb set off the
centre, on a dark grey tile.

Run it from anywhere: python3 resources/make_icon.py
"""
import os
import struct

# The 16-colour palette of the standard VGA set, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00),  # 0 black
    (0x80, 0x00, 0x00),  # 1 dark red
    (0x00, 0x80, 0x00),  # 2 dark green
    (0x80, 0x80, 0x00),  # 3 olive
    (0x00, 0x00, 0x80),  # 4 navy
    (0x80, 0x00, 0x80),  # 5 purple
    (0x00, 0x80, 0x80),  # 6 teal
    (0xC0, 0xC0, 0xC0),  # 7 silver
    (0x80, 0x80, 0x80),  # 8 grey
    (0xFF, 0x00, 0x00),  # 9 red
    (0x00, 0xFF, 0x00),  # 10 green
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 magenta
    (0x00, 0xFF, 0xFF),  # 14 cyan
    (0xFF, 0xFF, 0xFF),  # 15 white
]
BLACK, GREY, SILVER, WHITE = 0, 8, 7, 15
RED, GREEN, YELLOW, BLUE, MAGENTA, CYAN = 9, 10, 11, 12, 13, 14

# One row per balance axis: the colour of its negative end, of its positive
# end, and where its thumb stands (0 = far left, 1 = far right).
BARS = [(CYAN, RED, 0.72), (MAGENTA, GREEN, 0.30), (YELLOW, BLUE, 0.58)]


def draw(size):
    """Returns the image as rows of palette indices (top row first) and the
    transparency mask (1 = transparent), both size x size."""
    pixels = [[GREY] * size for _ in range(size)]
    mask = [[0] * size for _ in range(size)]
    # Rounded tile: the four corner pixels are transparent, the rim is black.
    for y in range(size):
        for x in range(size):
            if x in (0, size - 1) or y in (0, size - 1):
                pixels[y][x] = BLACK
    for x, y in ((0, 0), (size - 1, 0), (0, size - 1), (size - 1, size - 1)):
        mask[y][x] = 1
        pixels[y][x] = BLACK

    scale = size // 16
    margin = 2 * scale
    bar_height = 2 * scale
    for row, (left, right, thumb) in enumerate(BARS):
        top = (3 + 4 * row) * scale
        for y in range(top, top + bar_height):
            for x in range(margin, size - margin):
                pixels[y][x] = left if x < size // 2 else right
        # The thumb: a white post one bar higher and lower than the bar, with
        # a black edge on its right at the larger size.
        centre = margin + int(thumb * (size - 2 * margin - scale))
        for y in range(top - scale, top + bar_height + scale):
            for x in range(centre, centre + scale):
                pixels[y][x] = WHITE
            if scale > 1:
                pixels[y][centre + scale] = BLACK
    return pixels, mask


def icon_image(size):
    """The image as an icon resource stores it: a BITMAPINFOHEADER of double
    height, the colour table, the 4-bit colour rows and the 1-bit mask rows,
    both bottom row first and padded to four bytes."""
    pixels, mask = draw(size)
    colour_row = (size * 4 + 31) // 32 * 4
    mask_row = (size + 31) // 32 * 4
    colours = bytearray()
    for row in reversed(pixels):
        line = bytearray(colour_row)
        for x in range(0, size, 2):
            line[x // 2] = (row[x] << 4) | row[x + 1]
        colours += line
    bits = bytearray()
    for row in reversed(mask):
        line = bytearray(mask_row)
        for x, transparent in enumerate(row):
            if transparent:
                line[x // 8] |= 0x80 >> (x % 8)
        bits += line
    header = struct.pack('<IiiHHIIiiII', 40, size, 2 * size, 1, 4, 0,
                         len(colours) + len(bits), 0, 0, 16, 0)
    table = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + table + bytes(colours) + bytes(bits)


def icon_file(sizes):
    images = [icon_image(size) for size in sizes]
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b''
    for size, image in zip(sizes, images):
        entries += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return directory + entries + b''.join(images)


if __name__ == '__main__':
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'plugin.ico')
    with open(target, 'wb') as out:
        out.write(icon_file([16, 32]))
