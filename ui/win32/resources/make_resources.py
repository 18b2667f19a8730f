#!/usr/bin/env python3
"""Draws velmora.exe's icons and banner and the installer's picture into the folder given, byte
for byte the same on every run: the program's icon and the three tray-state icons in every size
Windows asks for from 96 to 144 DPI, each in 16 colours and in 32-bit colour with an alpha
channel (and the program's icon in 256 pixels, compressed, for Explorer on Vista and later); the
banner as a 256-colour bitmap in the proportions of the control that shows it; and the picture
of the installer's welcome and finish pages, 256 colours in the size those pages show."""
import functools
import struct
import sys
import zlib
from pathlib import Path

# The sixteen colours every Windows display shows, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
NAVY, TEAL, LIME, YELLOW, BLUE, WHITE = 4, 6, 10, 11, 12, 15

GLYPHS = {
    "V": ["1...1", "1...1", "1...1", "1...1", "1...1", ".1.1.", "..1.."],
    "E": ["11111", "1....", "1....", "1111.", "1....", "1....", "11111"],
    "L": ["1....", "1....", "1....", "1....", "1....", "1....", "11111"],
    "M": ["1...1", "11.11", "1.1.1", "1.1.1", "1...1", "1...1", "1...1"],
    "O": [".111.", "1...1", "1...1", "1...1", "1...1", "1...1", ".111."],
    "R": ["1111.", "1...1", "1...1", "1111.", "1.1..", "1..1.", "1...1"],
    "A": [".111.", "1...1", "1...1", "11111", "1...1", "1...1", "1...1"],
    "P": ["1111.", "1...1", "1...1", "1111.", "1....", "1....", "1...."],
    "N": ["1...1", "11..1", "1.1.1", "1..11", "1...1", "1...1", "1...1"],
}

# The shield's outline, corners in fractions of the icon's size, clockwise from the top left.
SHIELD = [(0.094, 0.094), (0.906, 0.094), (0.906, 0.53), (0.5, 0.94), (0.094, 0.53)]


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return ((px - ax - t * dx) ** 2 + (py - ay - t * dy) ** 2) ** 0.5


@functools.lru_cache(maxsize=None)
def shield_edges(size):
    """Each edge of the shield at this size as its start and its outward unit normal. The
    outward normal of a clockwise edge (y grows downwards) points to its left."""
    corners = [(u * size, v * size) for u, v in SHIELD]
    edges = []
    for (ax, ay), (bx, by) in zip(corners, corners[1:] + corners[:1]):
        length = ((bx - ax) ** 2 + (by - ay) ** 2) ** 0.5
        edges.append((ax, ay, (by - ay) / length, -(bx - ax) / length))
    return edges


def shield_distance(x, y, size):
    """Distance in pixels from the shield's edge: negative inside, positive outside."""
    return max((x - ax) * nx + (y - ay) * ny for ax, ay, nx, ny in shield_edges(size))


def on_stroke(x, y, size, points, width):
    """Whether (x, y) lies on the polyline through points (fractions of size) of that width."""
    scaled = [(u * size, v * size) for u, v in points]
    return any(segment_distance(x, y, ax, ay, bx, by) <= width * size / 2
               for (ax, ay), (bx, by) in zip(scaled, scaled[1:]))


# Each kind of icon is a function of a point (pixels from the top left) and the icon's size that
# gives the palette index there, or None where the icon is transparent. The edge is a sixteenth
# of the size: one pixel at 16, so that even the smallest keeps its outline.

def program_icon(x, y, size):
    """The window's icon: a blue shield with a white V and a green light."""
    edge = shield_distance(x, y, size)
    if edge > 0:
        return None
    if edge > -size / 16:
        return NAVY
    if on_stroke(x, y, size, [(0.297, 0.266), (0.5, 0.719), (0.703, 0.266)], 0.11):
        return WHITE
    if (x - size / 2) ** 2 + (y - 0.8 * size) ** 2 <= (0.05 * size) ** 2:
        return LIME
    return BLUE if y < 0.53 * size else TEAL


# The three tray states share the navy outline and differ in shape and in brightness, not in hue
# alone: a hollow shield, an outline filled to half its height, and a bright full shield with a
# check mark. A white halo runs around the outline, as wide as it is, so that the shield keeps its
# edge on a dark task bar as the navy keeps it on a light one.

# Inside the outline, where each tray state draws its own.
INSIDE = "inside"


def tray_edge(x, y, size):
    """The halo and the navy outline of a tray state's shield: WHITE or NAVY on them, None
    outside the halo, INSIDE within the outline."""
    edge = shield_distance(x, y, size)
    if edge > size / 16:
        return None
    if edge > 0:
        return WHITE
    if edge > -size / 16:
        return NAVY
    return INSIDE


def tray_idle(x, y, size):
    """Not connected: a hollow shield, its outline lined with teal."""
    edge = tray_edge(x, y, size)
    if edge != INSIDE:
        return edge
    return TEAL if shield_distance(x, y, size) > -size / 8 else None


def tray_busy(x, y, size):
    """Dialling or applying the policy: the outline, its lower half filled yellow."""
    edge = tray_edge(x, y, size)
    if edge != INSIDE:
        return edge
    return YELLOW if y >= 0.5 * size else None


def tray_up(x, y, size):
    """Connected: a solid bright green shield with a navy check mark."""
    edge = tray_edge(x, y, size)
    if edge != INSIDE:
        return edge
    if on_stroke(x, y, size, [(0.3, 0.47), (0.45, 0.63), (0.69, 0.33)], 0.14):
        return NAVY
    return LIME


def image_4bit(kind, size):
    """The icon image in 16 colours: every pixel sampled at its centre."""
    indices = [[kind(x + 0.5, y + 0.5, size) for x in range(size)] for y in range(size)]
    # Rows of a bitmap are padded to 4 bytes: 20 pixels take 10 bytes and 2 of padding.
    stride = ((size * 4 + 31) // 32) * 4
    xor_rows = []
    for row in reversed(indices):  # bottom row first
        packed = bytes((((a or 0) << 4) | (b or 0)) for a, b in zip(row[0::2], row[1::2]))
        xor_rows.append(packed + bytes(stride - len(packed)))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    return header + palette + b"".join(xor_rows) + and_mask([[i is None for i in row] for row in indices])


def pixels_32bit(kind, size):
    """Rows of (red, green, blue, alpha), top row first: 4 x 4 samples a pixel, their coverage
    the alpha."""
    steps = 4
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            samples = [kind(x + (i + 0.5) / steps, y + (j + 0.5) / steps, size)
                       for j in range(steps) for i in range(steps)]
            covered = [PALETTE[s] for s in samples if s is not None]
            if not covered:
                row.append((0, 0, 0, 0))
            else:
                colour = tuple(round(sum(c[k] for c in covered) / len(covered)) for k in range(3))
                row.append(colour + (round(255 * len(covered) / len(samples)),))
        rows.append(row)
    return rows


def image_32bit(kind, size):
    """The icon image in 32-bit colour."""
    rows = pixels_32bit(kind, size)
    pixels = b"".join(struct.pack("<BBBB", b, g, r, a) for row in reversed(rows) for r, g, b, a in row)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    # Windows 2000 ignores the alpha and draws the colour wherever the mask is clear of the
    # background, so the mask leaves out only what is wholly transparent (and black).
    return header + pixels + and_mask([[p[3] == 0 for p in row] for row in rows])


def and_mask(transparent_rows):
    """The 1-bit mask, bottom row first, each row padded to 4 bytes: 1 where the icon is clear."""
    stride = ((len(transparent_rows[0]) + 31) // 32) * 4
    out = b""
    for row in reversed(transparent_rows):
        bits = 0
        for clear in row:
            bits = (bits << 1) | int(clear)
        bits <<= stride * 8 - len(row)
        out += bits.to_bytes(stride, "big")
    return out


def image_png(kind, size):
    """The icon image in 32-bit colour as a PNG, the form Windows takes for 256 pixels."""
    def chunk(kind_of, data):
        return struct.pack(">I", len(data)) + kind_of + data + struct.pack(">I", zlib.crc32(kind_of + data))
    raw = b"".join(b"\0" + bytes(value for pixel in row for value in pixel) for row in pixels_32bit(kind, size))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def make_icon(kind, sizes):
    """An .ico file holding each size in 16 colours and in 32-bit colour, 256 pixels in 32-bit
    colour only."""
    images = []
    for size in sizes:
        if size == 256:
            images.append((size, 0, 32, image_png(kind, size)))
            continue
        images.append((size, 16, 4, image_4bit(kind, size)))
        images.append((size, 0, 32, image_32bit(kind, size)))
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries = b""
    for size, colours, bits, image in images:
        # A directory entry writes 256 as 0.
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bits, len(image), offset)
        offset += len(image)
    return header + entries + b"".join(image for _, _, _, image in images)


def banner_pixel(x, y, width, height, text_mask):
    t = x / (width - 1)
    r, g, b = 16 + 15 * t, 42 + 96 * t, 92 + 64 * t
    shade = 1.0 - 0.25 * (y / (height - 1))
    r, g, b = r * shade, g * shade, b * shade
    # A tunnel of rings opening toward the right edge.
    scale = height / 114
    ring = ((x - 1.1 * width) ** 2 + ((y - height / 2) * 1.6) ** 2) ** 0.5 / scale
    if ring < 230 and int(ring) % 26 < 3:
        r, g, b = r + 40, g + 50, b + 50
    if text_mask(x, y):
        r, g, b = 255, 255, 255
    elif 18 <= x < 223 and 56 <= y < 60:
        r, g, b = 120, 220, 120
    return min(255, int(r)), min(255, int(g)), min(255, int(b))


def median_cut(counts, size):
    """A palette of at most size colours for the colours counted, and each colour's index in it:
    the box of colours with the widest spread is split at its median until there are enough."""
    boxes = [sorted(counts)]
    while len(boxes) < size:
        def spread(box):
            return max(max(c[k] for c in box) - min(c[k] for c in box) for k in range(3))
        widest = max(range(len(boxes)), key=lambda i: spread(boxes[i]) if len(boxes[i]) > 1 else -1)
        box = boxes[widest]
        if len(box) < 2:
            break
        channel = max(range(3), key=lambda k: max(c[k] for c in box) - min(c[k] for c in box))
        box.sort(key=lambda c: (c[channel], c))
        # A heavy colour at the end (the lettering's white) goes into a box of its own.
        half, seen, cut = sum(counts[c] for c in box) / 2, 0, len(box) - 1
        for i, colour in enumerate(box[:-1]):
            seen += counts[colour]
            if seen >= half:
                cut = i + 1
                break
        boxes[widest:widest + 1] = [box[:cut], box[cut:]]
    palette, index = [], {}
    for box in boxes:
        weight = sum(counts[c] for c in box)
        palette.append(tuple(round(sum(c[k] * counts[c] for c in box) / weight) for k in range(3)))
        for colour in box:
            index[colour] = len(palette) - 1
    return palette, index


def lettering(word, scale, left, top):
    """Whether a pixel lies on the word drawn in the glyphs above, each dot scale pixels wide."""
    def mask(x, y):
        col, row = (x - left) // scale, (y - top) // scale
        letter, offset = divmod(col, 6)
        if x < left or y < top or row >= 7 or letter >= len(word) or offset >= 5:
            return False
        return GLYPHS[word[letter]][row][offset] == "1"
    return mask


def bitmap_8bit(pixels):
    """A 256-colour .bmp file of the rows of (red, green, blue) given, top row first."""
    width, height = len(pixels[0]), len(pixels)
    counts = {}
    for row in pixels:
        for colour in row:
            counts[colour] = counts.get(colour, 0) + 1
    palette, index = median_cut(counts, 256)
    palette += [(0, 0, 0)] * (256 - len(palette))
    stride = (width + 3) // 4 * 4
    data = b"".join(bytes(index[c] for c in row) + bytes(stride - width) for row in reversed(pixels))
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(data), 3780, 3780, 256, 0)
    offset = 14 + len(info) + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    return header + info + colours + data


def make_banner():
    # Twice the size of its control at 96 DPI (2040 x 555 twips): the window shrinks it with
    # halftoning at every DPI and never changes its proportions.
    width, height = 272, 74
    text_mask = lettering("VELMORA", 5, 18, 14)
    return bitmap_8bit([[banner_pixel(x, y, width, height, text_mask) for x in range(width)]
                        for y in range(height)])


def wizard_pixel(x, y, width, height, text_mask):
    """The installer's picture: the banner's colours running downwards, its tunnel of rings
    opening from the bottom, the program's shield and name."""
    t = y / (height - 1)
    r, g, b = 16 + 15 * t, 42 + 96 * t, 92 + 64 * t
    ring = ((x - width / 2) ** 2 + ((y - 1.15 * height) * 0.8) ** 2) ** 0.5
    if ring < 330 and int(ring) % 30 < 3:
        r, g, b = r + 40, g + 50, b + 50
    size, left, top = 96, (width - 96) / 2, 36
    if 0 <= x - left < size and 0 <= y - top < size:
        shield = program_icon(x - left + 0.5, y - top + 0.5, size)
        if shield is not None:
            return PALETTE[shield]
    if text_mask(x, y):
        return 255, 255, 255
    return min(255, int(r)), min(255, int(g)), min(255, int(b))


def make_wizard():
    # The size the welcome and finish pages show it at 96 DPI; they stretch it at others.
    width, height = 164, 314
    name, vpn = lettering("VELMORA", 3, 20, 156), lettering("VPN", 3, 55, 188)
    return bitmap_8bit([[wizard_pixel(x, y, width, height, lambda u, v: name(u, v) or vpn(u, v))
                         for x in range(width)] for y in range(height)])


# The sizes of the small and large icons at 96, 120 and 144 DPI (16 and 32, 20 and 40, 24 and
# 48); the tray shows only the small ones, Explorer the program's icon up to 256.
PROGRAM_ICON_SIZES = (16, 20, 24, 32, 40, 48, 256)
TRAY_ICON_SIZES = (16, 20, 24, 32, 40)


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    (out / "velmora.ico").write_bytes(make_icon(program_icon, PROGRAM_ICON_SIZES))
    (out / "tray_idle.ico").write_bytes(make_icon(tray_idle, TRAY_ICON_SIZES))
    (out / "tray_busy.ico").write_bytes(make_icon(tray_busy, TRAY_ICON_SIZES))
    (out / "tray_up.ico").write_bytes(make_icon(tray_up, TRAY_ICON_SIZES))
    (out / "banner.bmp").write_bytes(make_banner())
    (out / "wizard.bmp").write_bytes(make_wizard())


if __name__ == "__main__":
    main()
