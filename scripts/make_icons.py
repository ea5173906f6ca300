#!/usr/bin/env python3
"""Draws NetGlow's icons as .ico files: each in 32-bit colour with alpha at
every small-icon and icon size of 100 to 300 % display scaling (16, 20, 24,
32, 40, 48 px), and in 16 colours at 16 and 32 px for classic displays.

The icons: the app; the lamps for a light taskbar (black outline) and for a
dark one (light outline); shapes in the lamps' colours for both (a ring with
a bar when stopped, a ring when idle, an arrow up for sent, down for
received); the same shapes in one colour for high contrast, black for a
light window colour, white for a dark one. Every lamp and shape keeps at
least 80 % of its edge pixels at a contrast of 3:1 to the backgrounds it is
drawn for (tests/native/lamp_images_test.cpp measures it).

    make_icons.py OUTDIR               writes every icon, CMakeLists.txt's ICON_NAMES
    make_icons.py --sheet FILE.png     a picture of every image, enlarged three times
    make_icons.py --taskbars FILE.png  the lamps on the taskbars they are drawn for
"""
import math
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

TRUE_COLOUR_SIZES = (16, 20, 24, 32, 40, 48)
CLASSIC_SIZES = (32, 16)
SUBSAMPLES = 4  # per pixel and axis, for the soft edges of the 32-bit images


class Design:
    """What one icon shows. sample(px, py, size) gives the palette index at a
    point of the image, None outside; cell(x, y, size) an index that covers a
    whole pixel (the socket's grid of lines), None where there is none.
    soft: edges blend by coverage alone; otherwise a faint edge is dropped
    and what is left is at least half opaque, so that the outline stands
    out from the taskbar instead of fading into it."""

    def __init__(self, sample, cell=lambda x, y, size: None, soft=False):
        self.sample, self.cell, self.soft = sample, cell, soft


def lamp(rim, body, light, outline=BLACK, soft=False):
    return Design(lambda px, py, size: glass(px, py, size, rim, body, light, outline),
                  lambda x, y, size: socket_colour(x, y, size, outline), soft)


def glass(px, py, size, rim, body, light, outline):
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
        return outline
    if d2 >= (r - 3 * s) ** 2 and (px - cx) + (py - cy) > 0:
        return rim
    return body


def socket(size):
    s = size / 32.0
    top, bottom = int(round(24 * s)), int(round(30 * s))
    left, right = int(round(11 * s)), int(round(21 * s))
    return top, min(bottom, size), left, right


def socket_colour(x, y, size, outline):
    top, bottom, left, right = socket(size)
    if not (top <= y < bottom and left <= x < right):
        return None
    edge = y in (top, bottom - 1) or x in (left, right - 1)
    return outline if edge else (SILVER if (y - top) % 2 else GREY)


# The shapes, drawn on a 32-unit grid: signed distances in units, negative
# inside. Bold enough that a 16 px image keeps a 2 px fill inside a 1 px
# outline.
def ring(x, y):
    d = math.hypot(x - 16, y - 16)
    return max(d - 15, 8 - d)


def ring_with_bar(x, y):
    across = abs((x - 16) - (y - 16)) / math.sqrt(2)  # the bar runs top left to bottom right
    return min(ring(x, y), max(across - 3, math.hypot(x - 16, y - 16) - 15))


def arrow_up(x, y):
    # The head, apex (16, 1.5) over a base from (2, 16) to (30, 16), then the
    # shaft, which reaches into the head so that their seam is no edge.
    sides = (14.5 * abs(x - 16) - 14 * (y - 1.5)) / math.hypot(14.5, 14)
    head = max(sides, y - 16)
    shaft = max(abs(x - 16) - 5.5, y - 30.5, 8 - y)
    return min(head, shaft)


def arrow_down(x, y):
    return arrow_up(x, 32 - y)


def outline_width(size):
    """In pixels: one up to 21 px, then growing with the image."""
    return max(1.0, 1.5 * size / 32.0)


def shape(distance, fill, outline=None):
    """A shape filled in one colour with an outline of another, or without."""
    def sample(px, py, size):
        s = size / 32.0
        d = distance(px / s, py / s) * s
        if d > 0:
            return None
        return outline if outline is not None and d > -outline_width(size) else fill
    return Design(sample)


SHAPES = {"stopped": ring_with_bar, "idle": ring, "sent": arrow_up, "recv": arrow_down}


def icon_table():
    """Every icon file's name and design, in resource order."""
    icons = {"app": lamp(NAVY, PURPLE, CYAN, soft=True)}
    lamps = {"stopped": (NAVY, PURPLE, SILVER), "idle": (NAVY, BLUE, CYAN),
             "yellow": (OLIVE, YELLOW, WHITE), "red": (DARK_RED, RED, WHITE)}
    for prefix, outline in (("", BLACK), ("dark-", WHITE)):
        for name, colours in lamps.items():
            icons[prefix + name] = lamp(*colours, outline=outline)
    for prefix, outline in (("shape-", BLACK), ("dark-shape-", WHITE)):
        icons[prefix + "stopped"] = shape(ring_with_bar, PURPLE, outline)
        icons[prefix + "idle"] = shape(ring, BLUE, outline)
        for way, distance in (("sent", arrow_up), ("recv", arrow_down)):
            for name, colour in (("yellow", YELLOW), ("red", RED)):
                icons[f"{prefix}{way}-{name}"] = shape(distance, colour, outline)
    for prefix, colour in (("hc-dark-", BLACK), ("hc-light-", WHITE)):
        for name, distance in SHAPES.items():
            icons[prefix + name] = shape(distance, colour)
    return icons


ICONS = icon_table()


def draw(size, design):
    """Returns rows of palette indexes, None for transparent pixels."""
    pixels = [[None] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            pixels[y][x] = design.sample(x + 0.5, y + 0.5, size)
            under = design.cell(x, y, size)
            if under is not None:
                pixels[y][x] = under
    return pixels


def edge_alpha(hits, soft):
    """The alpha of a pixel that hits of its samples cover."""
    n = SUBSAMPLES * SUBSAMPLES
    if soft:
        return 255 * hits // n
    if hits * 4 < n:
        return 0
    return min(255, 2 * 255 * hits // n)


def draw_rgba(size, design):
    """Returns rows of (r, g, b, a): the design sampled SUBSAMPLES^2 times per
    pixel so that its edge blends into the background, whole-pixel cells as
    they are."""
    rows = []
    n = SUBSAMPLES
    for y in range(size):
        row = []
        for x in range(size):
            under = design.cell(x, y, size)
            if under is not None:
                row.append(PALETTE[under] + (255,))
                continue
            total, hits = [0, 0, 0], 0
            for j in range(n):
                for i in range(n):
                    p = design.sample(x + (i + 0.5) / n, y + (j + 0.5) / n, size)
                    if p is not None:
                        hits += 1
                        for k in range(3):
                            total[k] += PALETTE[p][k]
            alpha = edge_alpha(hits, design.soft)
            if alpha == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(t // hits for t in total) + (alpha,))
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


def ico(design):
    """Every image of one icon: (size, colour count, bits per pixel, data)."""
    images = [(size, 16, 4, bitmap(draw(size, design))) for size in CLASSIC_SIZES]
    images += [(size, 0, 32, bitmap32(draw_rgba(size, design))) for size in TRUE_COLOUR_SIZES]
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


# The sets of lamps the program chooses between, each with the taskbar or
# window colours it is drawn for.
LIGHT_TASKBARS = [(0xF3, 0xF3, 0xF3), (0xE0, 0xE0, 0xE0)]
DARK_TASKBARS = [(0x20, 0x20, 0x20), (0x10, 0x10, 0x10)]
LAMP_NAMES = ["stopped", "idle", "yellow", "red"]
SHAPE_NAMES = ["stopped", "idle", "sent-yellow", "sent-red", "recv-yellow", "recv-red"]
SETS = [
    (list(LAMP_NAMES), LIGHT_TASKBARS),
    (["dark-" + name for name in LAMP_NAMES], DARK_TASKBARS),
    (["shape-" + name for name in SHAPE_NAMES], LIGHT_TASKBARS),
    (["dark-shape-" + name for name in SHAPE_NAMES], DARK_TASKBARS),
    (["hc-dark-" + name for name in SHAPES], [(255, 255, 255)]),
    (["hc-light-" + name for name in SHAPES], [(0, 0, 0)]),
]


def image_rgba(name, size, true_colour):
    if true_colour:
        return draw_rgba(size, ICONS[name])
    return [[(0, 0, 0, 0) if p is None else PALETTE[p] + (255,) for p in row]
            for row in draw(size, ICONS[name])]


def paste(canvas, left, top, rgba, scale, background):
    """Puts an image, enlarged, over a plain background."""
    for y in range(len(rgba) * scale):
        for x in range(len(rgba) * scale):
            r, g, b, a = rgba[y // scale][x // scale]
            canvas[top + y][left + x] = tuple((c * a + bg * (255 - a)) // 255
                                              for c, bg in zip((r, g, b), background))


def fill(canvas, left, top, width, height, colour):
    for y in range(top, top + height):
        canvas[y][left:left + width] = [colour] * width


def sheet(path):
    """One row per icon: the 32-bit images from 16 to 48 px, then the
    16-colour 16 and 32 px ones, each three times enlarged. The app first;
    then each set for a light background on the left, its counterpart on
    the right, each on its set's first background."""
    scale, gap = 3, 12
    cells = [(size, True) for size in TRUE_COLOUR_SIZES] + [(size, False) for size in sorted(CLASSIC_SIZES)]
    column_width = gap + sum(size * scale + gap for size, _ in cells)
    row_height = max(TRUE_COLOUR_SIZES) * scale + gap
    rows = [[("app", LIGHT_TASKBARS[0]), None]]
    for left_set, right_set in zip(SETS[0::2], SETS[1::2]):
        for left_name, right_name in zip(left_set[0], right_set[0]):
            rows.append([(left_name, left_set[1][0]), (right_name, right_set[1][0])])
    width, height = 2 * column_width, gap + len(rows) * row_height
    canvas = [[LIGHT_TASKBARS[0]] * width for _ in range(height)]
    for n, row in enumerate(rows):
        for column, entry in enumerate(row):
            if entry is None:
                continue
            name, background = entry
            left = column * column_width
            fill(canvas, left, n * row_height, column_width, row_height + (gap if n == len(rows) - 1 else 0),
                 background)
            left += gap
            for size, true_colour in cells:
                top = gap + n * row_height + (row_height - gap - size * scale)
                paste(canvas, left, top, image_rgba(name, size, true_colour), scale, background)
                left += size * scale + gap
    Path(path).write_bytes(png(width, height, canvas))


def taskbars(path):
    """One band per set and taskbar colour, top down: the light lamps on
    #F3F3F3 and #E0E0E0, the dark ones on #202020 and #101010, the shapes
    likewise, the high-contrast shapes on white and on black. In each band
    every icon of the set at 16, 24 and 32 px, in 32-bit colour, three times
    enlarged; grey lines part the bands."""
    scale, gap, line = 3, 12, 4
    sizes = (16, 24, 32)
    group = sum(size * scale for size in sizes) + gap * (len(sizes) - 1)
    bands = [(names, background) for names, backgrounds in SETS for background in backgrounds]
    step = group + 3 * gap
    width = max(len(names) for names, _ in bands) * step - gap
    band_height = max(sizes) * scale + 2 * gap
    height = len(bands) * (band_height + line) - line
    canvas = [[(128, 128, 128)] * width for _ in range(height)]
    for n, (names, background) in enumerate(bands):
        top = n * (band_height + line)
        fill(canvas, 0, top, width, band_height, background)
        for i, name in enumerate(names):
            left = 2 * gap + i * step
            for size in sizes:
                middle = top + (band_height - size * scale) // 2
                paste(canvas, left, middle, draw_rgba(size, ICONS[name]), scale, background)
                left += size * scale + gap
    Path(path).write_bytes(png(width, height, canvas))


def main(argv):
    if len(argv) == 3 and argv[1] == "--sheet":
        sheet(argv[2])
        return 0
    if len(argv) == 3 and argv[1] == "--taskbars":
        taskbars(argv[2])
        return 0
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    out = Path(argv[1])
    out.mkdir(parents=True, exist_ok=True)
    for name, design in ICONS.items():
        (out / f"{name}.ico").write_bytes(ico(design))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
