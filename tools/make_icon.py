#!/usr/bin/env python3
"""Draws Travok's program icon (32x32, 16 colours): a golden key on a blue disc.

Writes res/Travok.ico. Run it again after changing the drawing; the build picks the
new icon up through the resource script."""
import struct
import sys

# The standard 16-colour palette (BGR0 order in the file).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, DARK_YELLOW, GREY, BLUE, YELLOW, WHITE = 0, 4, 3, 8, 12, 11, 15
SIZE = 32


def draw():
    """Returns rows of palette indexes, None for transparent, top row first."""
    px = [[None] * SIZE for _ in range(SIZE)]
    c = (SIZE - 1) / 2
    for y in range(SIZE):
        for x in range(SIZE):
            d2 = (x - c) ** 2 + (y - c) ** 2
            if d2 <= 15.5 ** 2:
                px[y][x] = NAVY if d2 > 13.5 ** 2 else BLUE
    # Key ring, centred left of the middle.
    rx, ry = 10, 15.5
    for y in range(SIZE):
        for x in range(SIZE):
            d2 = (x - rx) ** 2 + (y - ry) ** 2
            if 2.2 ** 2 < d2 <= 5.5 ** 2:
                px[y][x] = YELLOW if d2 <= 4.5 ** 2 else DARK_YELLOW
    # Shaft and two teeth.
    for x in range(15, 27):
        px[14][x] = YELLOW
        px[15][x] = YELLOW
        px[16][x] = YELLOW
        px[17][x] = DARK_YELLOW
    for y in range(18, 23):
        for x in (21, 22, 25, 26):
            if not (x >= 25 and y > 21):
                px[y][x] = YELLOW if x in (21, 25) else DARK_YELLOW
    # A white highlight on the ring.
    px[12][8] = px[12][9] = px[13][7] = WHITE
    return px


def ico(px):
    xor = bytearray()
    mask = bytearray()
    for row in reversed(px):  # DIB rows run bottom-up
        bits = [0 if p is None else p for p in row]
        xor += bytes((bits[i] << 4) | bits[i + 1] for i in range(0, SIZE, 2))
        m = 0
        for x, p in enumerate(row):
            if p is None:
                m |= 1 << (SIZE - 1 - x)
        mask += struct.pack('>I', m)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return struct.pack('<HHH', 0, 1, 1) + entry + image


if __name__ == '__main__':
    out = sys.argv[1] if len(sys.argv) > 1 else 'res/Travok.ico'
    with open(out, 'wb') as f:
        f.write(ico(draw()))
