#!/usr/bin/env python3
"""Draws Travok's program icon: a golden key on a blue disc.

Writes res/Travok.ico with one image for each size Windows asks for at 100% to 200%
scaling and in Explorer's views (16, 20, 24, 32, 40, 48, 64 and 256 pixels), in 32-bit
colour with an alpha channel; the 256-pixel image is stored as PNG, as Windows expects.
The drawing is made of shapes on a 32-unit grid, sampled several times per pixel at each
size, so that every size is drawn sharp rather than scaled from another. Run it again
after changing the drawing; the build picks the new icon up through the resource script."""
import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
PNG_FROM = 256  # sizes from here on are stored as PNG

RIM = (16, 38, 110)
DISC = (38, 98, 214)
GOLD = (247, 196, 38)
DARK_GOLD = (176, 122, 10)
WHITE = (255, 255, 255)


def colour_at(x, y):
    """The colour at point (x, y) of the 32-unit grid, or None where the icon is clear.
    The last shape that holds the point wins."""
    colour = None
    d2 = (x - 16) ** 2 + (y - 16) ** 2
    if d2 <= 16 ** 2:
        colour = RIM if d2 > 14 ** 2 else DISC
    # Key ring, left of the middle, with the disc showing through its hole.
    r2 = (x - 10.5) ** 2 + (y - 16) ** 2
    if 2.7 ** 2 < r2 <= 6 ** 2:
        colour = GOLD if r2 <= 5 ** 2 else DARK_GOLD
    # Shaft, shaded along its lower edge.
    if 15 <= x < 27 and 14 <= y < 18:
        colour = GOLD if y < 17 else DARK_GOLD
    # Two teeth, the second one shorter.
    for left, bottom in ((21, 23), (25, 22)):
        if left <= x < left + 2 and 18 <= y < bottom:
            colour = GOLD if x < left + 1 else DARK_GOLD
    # A highlight on the ring.
    if (x - 8.3) ** 2 + (y - 12.8) ** 2 <= 1.1 ** 2:
        colour = WHITE
    return colour


def render(size):
    """Rows of (r, g, b, a) pixels, top row first."""
    samples = 4 if size > 64 else 8
    scale = 32 / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at((px + (sx + 0.5) / samples) * scale, (py + (sy + 0.5) / samples) * scale)
                    if c:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        a += 1
            if a:
                # Straight (not premultiplied) colour, as icons store it.
                row.append((round(r / a), round(g / a), round(b / a), round(255 * a / samples ** 2)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def bmp_image(rows):
    """A 32-bit DIB image with its AND mask, as an icon directory entry holds it."""
    size = len(rows)
    xor = bytearray()
    mask = bytearray()
    mask_stride = (size + 31) // 32 * 4
    for row in reversed(rows):  # DIB rows run bottom-up
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def png_image(rows):
    size = len(rows)
    raw = b''.join(b'\0' + bytes(v for pixel in row for v in pixel) for row in rows)

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def ico(sizes=SIZES):
    images = [png_image(render(s)) if s >= PNG_FROM else bmp_image(render(s)) for s in sizes]
    offset = 6 + 16 * len(images)
    directory = bytearray()
    for size, image in zip(sizes, images):
        # A width or height of 256 is written as 0.
        directory += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return struct.pack('<HHH', 0, 1, len(images)) + bytes(directory) + b''.join(images)


if __name__ == '__main__':
    out = sys.argv[1] if len(sys.argv) > 1 else 'res/Travok.ico'
    with open(out, 'wb') as f:
        f.write(ico())
