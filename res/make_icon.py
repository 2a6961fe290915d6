#!/usr/bin/env python3
"""Draws mossgate's icon and writes res/mossgate.ico.

Nine images: 16, 32 and 48 pixels square, each at 4, 8 and 32 bits per
pixel. Change `colour_at` to change the picture, then run this script.
"""
import os
import struct

SIZES = (16, 32, 48)
DEPTHS = (4, 8, 32)

MOSS = (0x3C, 0x7A, 0x2E)
LEAF = (0x8C, 0xC8, 0x5A)
STONE = (0xE8, 0xE4, 0xD8)
SHADE = (0x1E, 0x40, 0x18)
PALETTE = [SHADE, MOSS, LEAF, STONE]


def colour_at(x, y, n):
    """The picture at pixel (x, y) of an n-by-n image: a moss-covered stone
    gate. Returns a palette index, or None where the icon is transparent."""
    u = (x + 0.5) / n
    v = (y + 0.5) / n
    if not (0.06 <= u <= 0.94 and 0.06 <= v <= 0.94):
        return None
    # Rounded corners.
    for cu, cv in ((0.2, 0.2), (0.8, 0.2), (0.2, 0.8), (0.8, 0.8)):
        if (u < 0.2 or u > 0.8) and (v < 0.2 or v > 0.8):
            if (u - cu) ** 2 + (v - cv) ** 2 > 0.14 ** 2 and abs(u - cu) < 0.15 and abs(v - cv) < 0.15:
                return None
    edge = u < 0.12 or u > 0.88 or v < 0.12 or v > 0.88
    # The gate: an arch of stone with a dark opening.
    in_arch = 0.28 <= u <= 0.72 and v >= 0.30 and (v >= 0.5 or (u - 0.5) ** 2 + (v - 0.5) ** 2 <= 0.22 ** 2)
    in_opening = 0.40 <= u <= 0.60 and v >= 0.45 and (v >= 0.55 or (u - 0.5) ** 2 + (v - 0.55) ** 2 <= 0.10 ** 2)
    if in_opening:
        return 0
    if in_arch:
        return 3
    if edge:
        return 0
    # Moss, lighter towards the top.
    return 2 if v < 0.45 else 1


def row_bytes(bits, width):
    return ((bits * width + 31) // 32) * 4


def image(n, bits):
    pixels = [[colour_at(x, y, n) for x in range(n)] for y in range(n)]
    colours = 0 if bits == 32 else 1 << bits
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, bits, 0, 0, 0, 0, colours, 0)
    palette = b''
    if colours:
        entries = PALETTE + [(0, 0, 0)] * (colours - len(PALETTE))
        palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in entries)
    xor = b''
    mask = b''
    for y in reversed(range(n)):  # bitmaps are stored bottom-up
        row = pixels[y]
        if bits == 32:
            line = b''.join(
                struct.pack('<BBBB', 0, 0, 0, 0) if p is None
                else struct.pack('<BBBB', PALETTE[p][2], PALETTE[p][1], PALETTE[p][0], 255)
                for p in row)
        else:
            indices = [0 if p is None else p for p in row]
            if bits == 8:
                line = bytes(indices)
            else:
                line = bytes((indices[i] << 4) | (indices[i + 1] if i + 1 < n else 0) for i in range(0, n, 2))
        xor += line.ljust(row_bytes(bits, n), b'\0')
        mask_bits = 0
        for x, p in enumerate(row):
            if p is None:
                mask_bits |= 1 << (n - 1 - x)
        mask += mask_bits.to_bytes((n + 7) // 8, 'big').ljust(row_bytes(1, n), b'\0')
    return header + palette + xor + mask


def main():
    images = [(n, bits, image(n, bits)) for n in SIZES for bits in DEPTHS]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, bits, data in images:
        colours = 16 if bits == 4 else 0
        out += struct.pack('<BBBBHHII', n, n, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    out += b''.join(data for _, _, data in images)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'mossgate.ico')
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
