#!/usr/bin/env python3
"""Draws the program icon (a download arrow over a tray on a blue tile) and writes
Fennick.ico with 16, 32 and 48 pixel 32-bit bitmaps and a 256 pixel PNG (the sizes Windows
asks for at 100 to 150 per cent; it scales the others from them).
Standard library only; run it again to regenerate the icon: python3 make_icon.py [out.ico]
"""
import struct
import sys
import zlib

SIZES = (16, 32, 48, 256)
SAMPLES = 4  # supersampling per axis, for smooth edges

TOP_COLOUR = (0x3A, 0x9B, 0xD9)
BOTTOM_COLOUR = (0x17, 0x5A, 0x96)
WHITE = (0xFF, 0xFF, 0xFF)


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def in_triangle(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
    d1, d2, d3 = side(a, b), side(b, c), side(c, a)
    negative = d1 < 0 or d2 < 0 or d3 < 0
    positive = d1 > 0 or d2 > 0 or d3 > 0
    return not (negative and positive)


def in_symbol(x, y):
    shaft = 0.42 <= x <= 0.58 and 0.16 <= y <= 0.50
    head = in_triangle(x, y, (0.25, 0.44), (0.75, 0.44), (0.50, 0.70))
    tray_floor = 0.20 <= x <= 0.80 and 0.75 <= y <= 0.83
    tray_sides = (0.20 <= x <= 0.29 or 0.71 <= x <= 0.80) and 0.60 <= y <= 0.83
    return shaft or head or tray_floor or tray_sides


def sample(x, y):
    """Colour and coverage of one sample point, coordinates 0..1 from the top left."""
    if not in_rounded_rect(x, y, 0.04, 0.04, 0.96, 0.96, 0.20):
        return (0, 0, 0), 0.0
    if in_symbol(x, y):
        return WHITE, 1.0
    t = (y - 0.04) / 0.92
    colour = tuple(round(TOP_COLOUR[i] * (1 - t) + BOTTOM_COLOUR[i] * t) for i in range(3))
    return colour, 1.0


def render(size):
    """Rows of (r, g, b, a) from the top, premultiplied during averaging."""
    rows = []
    n = SAMPLES * SAMPLES
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    colour, cover = sample((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size)
                    r += colour[0] * cover
                    g += colour[1] * cover
                    b += colour[2] * cover
                    a += cover
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(r / a), round(g / a), round(b / a), round(255 * a / n)))
        rows.append(row)
    return rows


def bitmap_entry(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def png_entry(rows):
    size = len(rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    raw = bytearray()
    for row in rows:
        raw.append(0)
        for pixel in row:
            raw += bytes(pixel)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "Fennick.ico"
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, png_entry(rows) if size >= 256 else bitmap_entry(rows)))
    data = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in images:
        dimension = 0 if size >= 256 else size
        data += struct.pack("<BBBBHHII", dimension, dimension, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for _, image in images:
        data += image
    with open(out, "wb") as handle:
        handle.write(data)


if __name__ == "__main__":
    main()
