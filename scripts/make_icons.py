#!/usr/bin/env python3
"""Draws NetGlow's lamp icons as 16-colour .ico files (32x32 and 16x16 each).

    make_icons.py OUTDIR            writes app.ico stopped.ico idle.ico yellow.ico red.ico
    make_icons.py --sheet FILE.png  writes a picture of all of them, enlarged
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


def draw(size, rim, body, light):
    """Returns rows of palette indexes, None for transparent pixels."""
    pixels = [[None] * size for _ in range(size)]
    s = size / 32.0
    cx, cy, r = 16 * s, 13 * s, 11 * s
    for y in range(size):
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            d2 = (px - cx) ** 2 + (py - cy) ** 2
            if d2 <= r * r:
                if d2 >= (r - 1.2 * max(s, 0.75)) ** 2:
                    pixels[y][x] = BLACK
                elif d2 >= (r - 3 * s) ** 2 and (px - cx) + (py - cy) > 0:
                    pixels[y][x] = rim
                else:
                    pixels[y][x] = body
                hx, hy, hr = cx - 4 * s, cy - 4 * s, 3 * s
                if (px - hx) ** 2 + (py - hy) ** 2 <= hr * hr:
                    pixels[y][x] = light
    # the socket under the glass
    top, bottom = int(round(24 * s)), int(round(30 * s))
    left, right = int(round(11 * s)), int(round(21 * s))
    for y in range(top, min(bottom, size)):
        for x in range(left, right):
            edge = y in (top, bottom - 1) or x in (left, right - 1)
            pixels[y][x] = BLACK if edge else (SILVER if (y - top) % 2 else GREY)
    return pixels


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


def ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for pixels in images:
        blob = bitmap(pixels)
        size = len(pixels)
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    return out + b"".join(blobs)


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def sheet(path):
    scale, gap = 4, 16
    order = ["app", "stopped", "idle", "yellow", "red"]
    width = gap + len(order) * (32 * scale + gap)
    height = gap * 3 + 32 * scale + 16 * scale
    canvas = [[(236, 236, 236)] * width for _ in range(height)]
    for n, name in enumerate(order):
        for size, top in ((32, gap), (16, gap * 2 + 32 * scale)):
            pixels = draw(size, *LAMPS[name])
            left = gap + n * (32 * scale + gap)
            for y in range(size * scale):
                for x in range(size * scale):
                    p = pixels[y // scale][x // scale]
                    if p is not None:
                        canvas[top + y][left + x] = PALETTE[p]
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
        (out / f"{name}.ico").write_bytes(ico([draw(32, *colours), draw(16, *colours)]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
