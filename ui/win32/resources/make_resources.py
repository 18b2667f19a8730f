#!/usr/bin/env python3
"""Draws velmora.exe's icon (32 x 32, 16 colours) and banner (511 x 114, 24-bit) into the
folder given, byte for byte the same on every run."""
import struct
import sys
from pathlib import Path

# The sixteen colours every Windows display shows, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
NAVY, TEAL, BLUE, LIME, WHITE = 4, 6, 12, 10, 15

GLYPHS = {
    "V": ["1...1", "1...1", "1...1", "1...1", "1...1", ".1.1.", "..1.."],
    "E": ["11111", "1....", "1....", "1111.", "1....", "1....", "11111"],
    "L": ["1....", "1....", "1....", "1....", "1....", "1....", "11111"],
    "M": ["1...1", "11.11", "1.1.1", "1.1.1", "1...1", "1...1", "1...1"],
    "O": [".111.", "1...1", "1...1", "1...1", "1...1", "1...1", ".111."],
    "R": ["1111.", "1...1", "1...1", "1111.", "1.1..", "1..1.", "1...1"],
    "A": [".111.", "1...1", "1...1", "11111", "1...1", "1...1", "1...1"],
}


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return ((px - ax - t * dx) ** 2 + (py - ay - t * dy) ** 2) ** 0.5


def shield_half_width(y):
    """Half the width of the shield at row y, or None above and below it."""
    if y < 3 or y > 29:
        return None
    return 13.0 if y <= 16 else 13.0 * (29 - y) / 13.0


def icon_pixel(x, y):
    """Palette index of a pixel, or None where the icon is transparent."""
    cx, cy = x + 0.5, y + 0.5
    half = shield_half_width(y)
    if half is None or abs(cx - 16) > half:
        return None
    inner = shield_half_width(y - 2) if 5 <= y <= 27 else None
    if inner is None or abs(cx - 16) > inner - 2:
        return NAVY
    for ax, ay in ((9.5, 8.5), (22.5, 8.5)):
        if segment_distance(cx, cy, ax, ay, 16, 23) <= 1.8:
            return WHITE
    if (cx - 16) ** 2 + (cy - 26) ** 2 <= 2.3:
        return LIME
    return BLUE if cy < 17 else TEAL


def make_icon():
    size = 32
    xor_rows, and_rows = [], []
    for y in reversed(range(size)):  # bottom row first
        indices = [icon_pixel(x, y) for x in range(size)]
        xor_rows.append(bytes((((a or 0) << 4) | (b or 0)) for a, b in zip(indices[0::2], indices[1::2])))
        mask = 0
        for x, index in enumerate(indices):
            if index is None:
                mask |= 1 << (size - 1 - x)
        and_rows.append(struct.pack(">I", mask))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    image = (struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
             + palette + b"".join(xor_rows) + b"".join(and_rows))
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    return header + entry + image


def banner_pixel(x, y, width, height, text_mask):
    t = x / (width - 1)
    r, g, b = 16 + 15 * t, 42 + 96 * t, 92 + 64 * t
    shade = 1.0 - 0.25 * (y / (height - 1))
    r, g, b = r * shade, g * shade, b * shade
    # A tunnel of rings opening toward the right edge.
    ring = ((x - 560) ** 2 + ((y - height / 2) * 1.6) ** 2) ** 0.5
    if ring < 230 and int(ring) % 26 < 3:
        r, g, b = r + 40, g + 50, b + 50
    if text_mask(x, y):
        r, g, b = 255, 255, 255
    elif 24 <= x < 311 and 90 <= y < 94:
        r, g, b = 120, 220, 120
    return min(255, int(r)), min(255, int(g)), min(255, int(b))


def make_banner():
    width, height = 511, 114
    word, scale, left, top = "VELMORA", 7, 24, 30

    def text_mask(x, y):
        col, row = (x - left) // scale, (y - top) // scale
        letter, offset = divmod(col, 6)
        if x < left or y < top or row >= 7 or letter >= len(word) or offset >= 5:
            return False
        return GLYPHS[word[letter]][row][offset] == "1"

    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            r, g, b = banner_pixel(x, y, width, height, text_mask)
            row += bytes((b, g, r))
        row += bytes(stride - len(row))
        rows.append(bytes(row))
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    (out / "velmora.ico").write_bytes(make_icon())
    (out / "banner.bmp").write_bytes(make_banner())


if __name__ == "__main__":
    main()
