#!/usr/bin/env python3
"""Draws the sample files of samples/: palettes, indexed pictures and a
settings file that the examples of README.md and packaging/ReadMe.txt use.

    python3 scripts/make-samples.py [FOLDER]     (default: samples)

Every file is drawn here from the colour ramps and the small pictures below,
so the output is the same on every run; the test of the documented examples
checks that the files in samples/ are this script's.
"""
import os
import struct
import sys
import zlib


def ramp(stops, count):
    """`count` colours evenly along the straight lines between the stops."""
    colours = []
    for i in range(count):
        at = i * (len(stops) - 1) / (count - 1)
        k = min(int(at), len(stops) - 2)
        t = at - k
        a, b = stops[k], stops[k + 1]
        colours.append(tuple(int(round(a[c] + (b[c] - a[c]) * t)) for c in range(3)))
    return colours


# A sky from night blue through violet and rose to a pale morning yellow, then
# the land: greens, browns and stone greys, then black and white.
SKY = ramp([(18, 20, 48), (70, 44, 100), (170, 80, 120), (236, 150, 110), (252, 230, 170)], 12)
LAND = ramp([(20, 44, 30), (60, 110, 50), (150, 170, 70)], 6)
EARTH = ramp([(48, 30, 24), (120, 76, 44), (196, 150, 96)], 5)
STONE = ramp([(60, 62, 72), (170, 170, 178)], 5)
DAWN = SKY + LAND + EARTH + STONE + [(0, 0, 0), (255, 255, 255)]
NAMES = (["Sky %d" % (i + 1) for i in range(12)] + ["Grass %d" % (i + 1) for i in range(6)] +
         ["Earth %d" % (i + 1) for i in range(5)] + ["Stone %d" % (i + 1) for i in range(5)] +
         ["Black", "White"])

PASTEL = ramp([(250, 200, 200), (250, 240, 190), (200, 240, 210), (190, 210, 250),
               (230, 200, 250)], 16)

# The sprites' 16 colours: 0 is the background.
SPRITE_COLOURS = [(40, 44, 60), (16, 16, 24), (250, 248, 240), (226, 176, 132), (160, 104, 72),
                  (200, 48, 56), (120, 24, 40), (64, 120, 200), (32, 64, 128), (96, 184, 80),
                  (40, 104, 56), (248, 208, 72), (200, 136, 40), (136, 136, 150), (80, 80, 96),
                  (170, 220, 240)]

# Small pictures drawn by hand: one character a pixel, each character an
# index of SPRITE_COLOURS ('.' is 0).
KEYS = ".kwsbrRuUgGyYlLc"

HERO = [
    "................",
    "......kkkk......",
    ".....kbbbbk.....",
    "....kbbbbbbk....",
    "....kssssssk....",
    "....kskssksk....",
    "....kssssssk....",
    ".....kssssk.....",
    "....kuuuuuuk....",
    "...ksuuuuuusk...",
    "...ksuuUUuusk...",
    "....kuuuuuuk....",
    "....kUUkkUUk....",
    "....kUUk.kUUk...",
    "...kbbbk.kbbbk..",
    "...kkkk...kkkk..",
]

SLIME = [
    "................",
    "................",
    "................",
    "................",
    "................",
    "......kkkk......",
    "....kkggggkk....",
    "...kgggwwgggk...",
    "..kgggwwggggGk..",
    "..kggkggggkgGk..",
    ".kgggkggggkggGk.",
    ".kggggggggggGGk.",
    ".kgggrggggrgGGk.",
    ".kGggggggggGGGk.",
    "..kGGGGGGGGGGk..",
    "...kkkkkkkkkk...",
]

TREE = [
    "......kkkk......",
    "....kkggggkk....",
    "...kgggggwggk...",
    "..kgggggggggGk..",
    "..kggGgggggGGk..",
    ".kgggggggGggGGk.",
    ".kggGggggggGGGk.",
    ".kgggggGgggGGGk.",
    "..kGggggggGGGk..",
    "...kGGGGGGGGk...",
    "....kkkbbkkk....",
    "......kbbk......",
    "......kbbk......",
    "......kbbk......",
    ".....kbbbbk.....",
    "....kkkkkkkk....",
]

COIN = [
    "................",
    "................",
    ".....kkkkkk.....",
    "....kyyyyyYk....",
    "...kyywyyyyYk...",
    "...kywyyYyyYk...",
    "...kyyyyYyyYk...",
    "...kyyyyYyyYk...",
    "...kyyyyYyyYk...",
    "...kyyyyYyyYk...",
    "...kyyyyyyyYk...",
    "....kYyyyyYk....",
    ".....kkkkkk.....",
    "................",
    "................",
    "................",
]


def indices(picture):
    return [[KEYS.index(c) for c in row] for row in picture]


def side_by_side(*pictures):
    return [sum((row[y] for row in pictures), []) for y in range(len(pictures[0]))]


def walking(frame):
    """The hero with its legs apart (frame 0) or together (frame 1)."""
    rows = [list(row) for row in HERO]
    if frame == 1:
        rows[13] = list(".....kUUkUUk....")
        rows[14] = list(".....kbbkbbk....")
        rows[15] = list(".....kkkkkkk....")
    return indices(["".join(row) for row in rows])


def town(width, height):
    """A town at dawn: a sky in bands, hills, houses with lit windows."""
    sky, grass, earth, stone = 0, 12, 18, 23
    black, white = 28, 29
    pixels = [[0] * width for _ in range(height)]
    for y in range(height):
        for x in range(width):
            band = (height - 1 - y) * 12 / (height * 0.62)
            level = int(band)
            # A checkered edge between two bands softens the step.
            if (band - level) > 0.7 and (x + y) % 2 == 0:
                level += 1
            pixels[y][x] = sky + min(max(11 - level, 0), 11)
    # The sun low over the hills.
    for y in range(height):
        for x in range(width):
            if (x - 78) ** 2 + (y - 30) ** 2 <= 36:
                pixels[y][x] = sky + 11
    for x in range(width):
        hill = int(height * 0.62 + 6 * ((x * 7) % 23) / 23 - 4 * ((x * 3) % 11) / 11)
        for y in range(hill, height):
            pixels[y][x] = grass + min(5, (y - hill) // 3)
    houses = [(8, 14, 18), (26, 12, 24), (42, 16, 16), (62, 10, 22), (76, 14, 14)]
    ground = int(height * 0.78)
    for left, w, h in houses:
        top = ground - h
        for y in range(top, ground):
            for x in range(left, left + w):
                pixels[y][x] = stone + (1 if x == left or x == left + w - 1 else 3)
        for step in range(w // 2 + 1):  # the roof
            for x in range(left + step, left + w - step):
                if top - step - 1 >= 0:
                    pixels[top - step - 1][x] = earth + 1
        for wy in range(top + 3, ground - 4, 5):
            for wx in range(left + 3, left + w - 3, 4):
                lit = (wx + wy) % 3 != 0
                for y in range(wy, wy + 2):
                    for x in range(wx, wx + 2):
                        pixels[y][x] = sky + 10 if lit else black
        for y in range(ground - 4, ground):
            pixels[y][left + w // 2] = earth
    for y in range(ground, height):
        for x in range(width):
            if (x // 4 + y // 2) % 7 == 0:
                pixels[y][x] = earth + 2
    pixels[0][0] = white  # every colour of the table is used at least once
    return pixels


# ---- Writers ----------------------------------------------------------------

def gpl(name, colours, names):
    lines = ["GIMP Palette", "Name: " + name, "Columns: 8", "#"]
    lines += ["%3d %3d %3d\t%s" % (r, g, b, n) for (r, g, b), n in zip(colours, names)]
    return ("\n".join(lines) + "\n").encode()


def jasc(colours):
    lines = ["JASC-PAL", "0100", str(len(colours))] + ["%d %d %d" % c for c in colours]
    return ("\r\n".join(lines) + "\r\n").encode()


def riff(colours):
    data = struct.pack("<HH", 0x300, len(colours)) + b"".join(
        bytes([r, g, b, 0]) for r, g, b in colours)
    chunk = b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", 4 + len(chunk)) + b"PAL " + chunk


def hex_list(colours):
    return "".join("%02X%02X%02X\n" % c for c in colours).encode()


def act(colours):
    table = b"".join(bytes(c) for c in colours) + bytes(3 * (256 - len(colours)))
    return table + struct.pack(">HH", len(colours), 0xFFFF)


def bmp(colours, pixels, bits):
    """An indexed BMP of 1, 4 or 8 bits a pixel, bottom-up, with a
    BITMAPINFOHEADER and a table of exactly the colours given."""
    height, width = len(pixels), len(pixels[0])
    row_bytes = (width * bits + 31) // 32 * 4
    rows = []
    for row in reversed(pixels):
        packed = 0
        for value in row:
            packed = packed << bits | value
        packed <<= row_bytes * 8 - width * bits
        rows.append(packed.to_bytes(row_bytes, "big"))
    table = b"".join(bytes([b, g, r, 0]) for r, g, b in colours)
    offset = 14 + 40 + len(table)
    data = b"".join(rows)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(data), 2835, 2835,
                         len(colours), len(colours))
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + header + table + data


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(
        ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png(colours, pixels, bits):
    height, width = len(pixels), len(pixels[0])
    raw = b""
    for row in pixels:
        packed = 0
        for value in row:
            packed = packed << bits | value
        row_bytes = (width * bits + 7) // 8
        packed <<= row_bytes * 8 - width * bits
        raw += b"\0" + packed.to_bytes(row_bytes, "big")
    header = struct.pack(">IIBBBBB", width, height, bits, 3, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) +
            png_chunk(b"PLTE", b"".join(bytes(c) for c in colours)) +
            png_chunk(b"IDAT", zlib.compress(raw, 9)) + png_chunk(b"IEND", b""))


def lzw(indices_, min_code_size):
    """GIF's LZW: variable-width codes, packed least significant bit first."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    codes, width = [clear], min_code_size + 1
    table = {(i,): i for i in range(clear)}
    next_code = end + 1
    widths = [width]
    current = ()
    for value in indices_:
        grown = current + (value,)
        if grown in table:
            current = grown
            continue
        codes.append(table[current])
        widths.append(width)
        if next_code < 4096:
            table[grown] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            codes.append(clear)
            widths.append(width)
            table = {(i,): i for i in range(clear)}
            next_code, width = end + 1, min_code_size + 1
        current = (value,)
    codes += [table[current], end]
    widths += [width, width]
    bits, count, out = 0, 0, bytearray()
    for code, w in zip(codes, widths):
        bits |= code << count
        count += w
        while count >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            count -= 8
    if count:
        out.append(bits & 0xFF)
    blocks = b"".join(bytes([len(out[i:i + 255])]) + bytes(out[i:i + 255])
                      for i in range(0, len(out), 255))
    return bytes([min_code_size]) + blocks + b"\0"


def gif(colours, frames, delay):
    """An animated GIF89a with one global table and a looping extension."""
    height, width = len(frames[0]), len(frames[0][0])
    out = b"GIF89a" + struct.pack("<HHBBB", width, height, 0xF0 | 3, 0, 0)
    out += b"".join(bytes(c) for c in colours)
    out += b"!\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"
    for frame in frames:
        out += b"!\xf9\x04" + struct.pack("<BHB", 0x04, delay, 0) + b"\0"
        out += b"," + struct.pack("<HHHHB", 0, 0, width, height, 0)
        out += lzw([value for row in frame for value in row], 4)
    return out + b";"


SETTINGS = """Kavrin Color Balance settings, version 1
# A dusk look: state A warms the light and cools the shadows, state B is a
# cold night. Every setting has its line; a value is -1 to 1 for a balance
# slider and 0 to 1 for a threshold.
shown-state=A
shown-range=All
preserve-brightness=on
A.lows-below=0.25
A.heights-above=0.75
A.Lows.CyanRed=-0.25
A.Lows.MagentaGreen=-0.125
A.Lows.YellowBlue=0.375
A.Mediums.CyanRed=0.25
A.Mediums.MagentaGreen=-0.125
A.Mediums.YellowBlue=-0.125
A.Heights.CyanRed=0.375
A.Heights.MagentaGreen=0
A.Heights.YellowBlue=-0.25
A.All.CyanRed=0.0625
A.All.MagentaGreen=0
A.All.YellowBlue=0
B.lows-below=0.3125
B.heights-above=0.8
B.Lows.CyanRed=-0.25
B.Lows.MagentaGreen=0
B.Lows.YellowBlue=0.5
B.Mediums.CyanRed=-0.25
B.Mediums.MagentaGreen=0
B.Mediums.YellowBlue=0.25
B.Heights.CyanRed=0
B.Heights.MagentaGreen=0
B.Heights.YellowBlue=0.125
B.All.CyanRed=0
B.All.MagentaGreen=0
B.All.YellowBlue=0.25
"""


def sample_files():
    sprites = [indices(p) for p in (HERO, SLIME, TREE, COIN)]
    return {
        "dawn.gpl": gpl("Dawn", DAWN, NAMES),
        "dawn.pal": jasc(DAWN),
        "dawn-riff.pal": riff(DAWN),
        "pastel.hex": hex_list(PASTEL),
        "swatches.act": act(DAWN),
        "sprites.bmp": bmp(SPRITE_COLOURS, side_by_side(*sprites), 4),
        "tiles.png": png(SPRITE_COLOURS, side_by_side(sprites[2], sprites[3]), 4),
        "walk.gif": gif(SPRITE_COLOURS, [walking(0), walking(1)], 25),
        "town.png": png(DAWN + [(0, 0, 0)] * 2, town(96, 64), 8),
        "sprites/hero.png": png(SPRITE_COLOURS, sprites[0], 4),
        "sprites/slime.png": png(SPRITE_COLOURS, sprites[1], 4),
        "sprites/tree.png": png(SPRITE_COLOURS, sprites[2], 4),
        "dusk.balance": SETTINGS.encode(),
    }


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "samples")
    for name, data in sample_files().items():
        path = os.path.join(folder, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()
