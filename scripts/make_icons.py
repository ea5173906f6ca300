#!/usr/bin/env python3
"""Draws NetGlow's lamp icons as .ico files: each lamp in 32-bit colour with
alpha at every small-icon and icon size of 100 to 300 % display scaling
(16, 20, 24, 32, 40, 48 px), and in 16 colours at 16 and 32 px for classic
displays.

    make_icons.py OUTDIR            writes app.ico stopped.ico idle.ico yellow.ico red.ico
    make_icons.py --sheet FILE.png  writes a picture of every image, enlarged three times
"""
import struct
import sys
import zlib
from pathlib import Path

# The standard 16-colour palette, as Windows shows 4-bit icons.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_RED, OLIVE, NAVY, PURPLE, GREY, SILVER = 0, 1, 3, 4, 5, 8, 7
RED, YELLOW, BLUE, MAGENTA, CYAN, WHITE = 9, 11, 12, 13, 14, 15

# name: (rim colour, body colour, highlight colour)
LAMPS = {
    "stopped": (NAVY, PURPLE, SILVER),
    "idle": (NAVY, BLUE, CYAN),
    "yellow": (OLIVE, YELLOW, WHITE),
    "red": (DARK_RED, RED, WHITE),
    "app": (NAVY, PURPLE, CYAN),
}


TRUE_COLOUR_SIZES = (16, 20, 24, 32, 40, 48)
CLASSIC_SIZES = (32, 16)
SUBSAMPLES = 4  # per pixel and axis, for the soft edges of the 32-bit images


def glass(px, py, size, rim, body, light):
    """The palette index of the lamp's glass at a point, None outside it."""
    s = size / 32.0
    cx, cy, r = 16 * s, 13 * s, 11 * s
    d2 = (px - cx) ** 2 + (py - cy) ** 2
    if d2 > r * r:
        return None
    hx, hy, hr = cx - 4 * s, cy - 4 * s, 3 * s
    if (px - hx) ** 2 + (py - hy) ** 2 <= hr * hr:
        return light
    if d2 >= (r - 1.2 * max(s, 0.75)) ** 2:
        return BLACK
    if d2 >= (r - 3 * s) ** 2 and (px - cx) + (py - cy) > 0:
        return rim
    return body


def socket(size):
    s = size / 32.0
    top, bottom = int(round(24 * s)), int(round(30 * s))
    left, right = int(round(11 * s)), int(round(21 * s))
    return top, min(bottom, size), left, right


def socket_colour(x, y, size):
    top, bottom, left, right = socket(size)
    if not (top <= y < bottom and left <= x < right):
        return None
    edge = y in (top, bottom - 1) or x in (left, right - 1)
    return BLACK if edge else (SILVER if (y - top) % 2 else GREY)


def draw(size, rim, body, light):
    """Returns rows of palette indexes, None for transparent pixels."""
    pixels = [[None] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            pixels[y][x] = glass(x + 0.5, y + 0.5, size, rim, body, light)
            under = socket_colour(x, y, size)
            if under is not None:
                pixels[y][x] = under
    return pixels


def draw_rgba(size, rim, body, light):
    """Returns rows of (r, g, b, a): the glass sampled SUBSAMPLES^2 times per
    pixel so that its edge blends into the background, the socket on whole
    pixels as it is a grid of lines."""
    rows = []
    n = SUBSAMPLES
    for y in range(size):
        row = []
        for x in range(size):
            under = socket_colour(x, y, size)
            if under is not None:
                row.append(PALETTE[under] + (255,))
                continue
            total, hits = [0, 0, 0], 0
            for j in range(n):
                for i in range(n):
                    p = glass(x + (i + 0.5) / n, y + (j + 0.5) / n, size, rim, body, light)
                    if p is not None:
                        hits += 1
                        for k in range(3):
                            total[k] += PALETTE[p][k]
            if hits == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(t // hits for t in total) + (255 * hits // (n * n),))
        rows.append(row)
    return rows


def bitmap(pixels):
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor, mask = b"", b""
    for row in reversed(pixels):  # bottom-up
        nibbles = [0 if p is None else p for p in row]
        line = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor += line.ljust(xor_stride, b"\0")
        bits = 0
        line = b""
        for i, p in enumerate(row):
            bits = (bits << 1) | (1 if p is None else 0)
            if i % 8 == 7:
                line += bytes([bits])
                bits = 0
        mask += line.ljust(and_stride, b"\0")
    return header + palette + xor + mask


def bitmap32(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    and_stride = ((size + 31) // 32) * 4
    colour, mask = b"", b""
    for row in reversed(rows):  # bottom-up
        colour += b"".join(struct.pack("BBBB", b, g, r, a) for r, g, b, a in row)
        bits = 0
        line = b""
        for i, (_, _, _, a) in enumerate(row):
            bits = (bits << 1) | (1 if a == 0 else 0)
            if i % 8 == 7:
                line += bytes([bits])
                bits = 0
        if size % 8:
            line += bytes([bits << (8 - size % 8)])
        mask += line.ljust(and_stride, b"\0")
    return header + colour + mask


def ico(colours):
    """Every image of one lamp: (size, colour count, bits per pixel, data)."""
    images = [(size, 16, 4, bitmap(draw(size, *colours))) for size in CLASSIC_SIZES]
    images += [(size, 0, 32, bitmap32(draw_rgba(size, *colours))) for size in TRUE_COLOUR_SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, count, bits, blob in images:
        out += struct.pack("<BBBBHHII", size, size, count, 0, 1, bits, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blob for _, _, _, blob in images)


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def sheet(path):
    """One row per lamp: the 32-bit images from 16 to 48 px, then the
    16-colour 16 and 32 px ones, each three times enlarged on light grey."""
    scale, gap = 3, 12
    background = (236, 236, 236)
    order = ["app", "stopped", "idle", "yellow", "red"]
    cells = [(size, True) for size in TRUE_COLOUR_SIZES] + [(size, False) for size in sorted(CLASSIC_SIZES)]
    width = gap + sum(size * scale + gap for size, _ in cells)
    row_height = max(TRUE_COLOUR_SIZES) * scale + gap
    height = gap + len(order) * row_height
    canvas = [[background] * width for _ in range(height)]
    for n, name in enumerate(order):
        left = gap
        for size, true_colour in cells:
            if true_colour:
                rgba = draw_rgba(size, *LAMPS[name])
            else:
                rgba = [[(0, 0, 0, 0) if p is None else PALETTE[p] + (255,) for p in row]
                        for row in draw(size, *LAMPS[name])]
            top = gap + n * row_height + (row_height - gap - size * scale)
            for y in range(size * scale):
                for x in range(size * scale):
                    r, g, b, a = rgba[y // scale][x // scale]
                    canvas[top + y][left + x] = tuple((c * a + bg * (255 - a)) // 255
                                                      for c, bg in zip((r, g, b), background))
            left += size * scale + gap
    Path(path).write_bytes(png(width, height, canvas))


def main(argv):
    if len(argv) == 3 and argv[1] == "--sheet":
        sheet(argv[2])
        return 0
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    out = Path(argv[1])
    out.mkdir(parents=True, exist_ok=True)
    for name, colours in LAMPS.items():
        (out / f"{name}.ico").write_bytes(ico(colours))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
