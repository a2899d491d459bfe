#!/usr/bin/env python3
"""Draws the program's icon, IDR_MAINFRAME: a white sheet being fed into a
scanner, with a green tick, as a 32x32 and a 16x16 16-colour image.

Usage: make_icon.py OUT.ico"""
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, GREY, WHITE, GREEN, NAVY, BLUE = 0, 7, 15, 2, 4, 12
TRANSPARENT = None


def draw(size):
    """Returns rows (top first) of palette indexes or TRANSPARENT."""
    s = size / 32.0
    img = [[TRANSPARENT] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                img[y][x] = colour

    rect(6, 2, 26, 20, BLACK)         # sheet outline
    rect(7, 3, 25, 19, WHITE)         # sheet
    for line in (6, 9, 12):
        rect(9, line, 23, line + 1, GREY)
    rect(1, 18, 31, 30, BLACK)        # scanner body outline
    rect(2, 19, 30, 29, NAVY)
    rect(4, 21, 28, 23, BLUE)         # paper slot
    rect(4, 25, 10, 27, GREY)         # buttons
    # The tick, drawn as short thick strokes.
    for i in range(4):
        rect(17 + i, 12 + i, 19 + i, 14 + i, GREEN)
    for i in range(7):
        rect(20 + i, 14 - i, 22 + i, 16 - i, GREEN)
    return img


def bitmap(size):
    img = draw(size)
    xor_row = size // 2                  # 4 bits a pixel
    xor_stride = (xor_row + 3) & ~3
    and_stride = ((size + 31) // 32) * 4
    xor, mask = b"", b""
    for row in reversed(img):            # bottom-up
        packed = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, colour in enumerate(row):
            index = 0 if colour is TRANSPARENT else colour
            packed[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if colour is TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += bytes(packed)
        mask += bytes(bits)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0)
                       for (r, g, b) in PALETTE)
    return header + palette + xor + mask


def main():
    images = [bitmap(32), bitmap(16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4,
                           len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main()
