#!/usr/bin/env python3
"""Draws the program's icon (a disk tray with a downward arrow on a blue
tile) at 16 and 32 pixels and writes it as a 32-bit .ico file."""
import struct
import sys


def pixel(x, y, n):
    # Coordinates scaled to a 32-unit canvas.
    u, v = x * 32.0 / n, y * 32.0 / n
    if u < 1 or v < 1 or u >= 31 or v >= 31:
        return (0, 0, 0, 0)
    white = (255, 255, 255, 255)
    # Arrow: shaft and head.
    if 13 <= u < 19 and 5 <= v < 15:
        return white
    if 15 <= v < 22 and abs(u - 16) < (22 - v):
        return white
    # Tray.
    if 24 <= v < 27 and 6 <= u < 26:
        return white
    if 20 <= v < 27 and (6 <= u < 9 or 23 <= u < 26):
        return white
    shade = int(200 - 140 * v / 32)
    return (shade // 4, shade // 3, shade, 255)  # r, g, b, a: deep blue tile


def image(n):
    rows = []
    for y in range(n - 1, -1, -1):  # bottom-up
        row = b''
        for x in range(n):
            r, g, b, a = pixel(x, y, n)
            row += bytes((b, g, r, a))
        rows.append(row)
    xor = b''.join(rows)
    mask_row = ((n + 31) // 32) * 4
    andmask = b'\0' * (mask_row * n)
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
    return header + xor + andmask


def main(path):
    sizes = [16, 32]
    images = [image(n) for n in sizes]
    out = struct.pack('<HHH', 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'src/ui/Ravelin.ico')
