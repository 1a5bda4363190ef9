#!/usr/bin/env python3
"""Writes the decryptor's picture and icon into res/.

    python3 make_resources.py

banner_144.bmp: the 425 x 225 picture behind the password dialog, 8 bits per
pixel run-length encoded (BI_RLE8) so that it costs a few hundred bytes
instead of 96 KB: a band of RGB(0, 80, 71) over rows 0 to 44, a faint line
on row 45, white below, and a padlock on the left (x 13-115, y 63-162).

empty_128.ico: a 32 x 32 and a 16 x 16 monochrome image, fully transparent
(every mask bit set, every colour bit clear), so that the title bar and the
task bar show no icon; one bit per pixel is all a picture of nothing needs.

The outputs are committed; run this only to change them.
"""
import os
import struct

WIDTH, HEIGHT = 425, 225
PALETTE = [
    (0, 80, 71),      # 0 band and padlock body
    (214, 226, 224),  # 1 faint line under the band
    (254, 254, 254),  # 2 white
    (150, 162, 166),  # 3 shackle
    (90, 140, 133),   # 4 body rim
]


def padlock(x, y):
    """The palette index of the emblem at (x, y), or None outside it."""
    cx = 64
    # Body: x 13-115, y 100-162, with a rim of two pixels.
    if 13 <= x <= 115 and 100 <= y <= 162:
        # Keyhole: a disc and a slot under it.
        if (x - cx) ** 2 + (y - 123) ** 2 <= 8 ** 2 or (cx - 3 <= x <= cx + 3 and 123 <= y <= 146):
            return 2
        if x <= 14 or x >= 114 or y <= 101 or y >= 161:
            return 4
        return 0
    # Shackle: half ring above the body, outer radius 37, inner 25.
    if 63 <= y < 100:
        d2 = (x - cx) ** 2 + (y - 100) ** 2
        if y <= 100 and 25 ** 2 <= d2 <= 37 ** 2:
            return 3
    return None


def pixel(x, y):
    if y <= 44:
        return 0
    if y == 45:
        return 1
    p = padlock(x, y)
    return 2 if p is None else p


def rle8_rows():
    out = bytearray()
    for y in range(HEIGHT - 1, -1, -1):  # bottom-up
        row = [pixel(x, y) for x in range(WIDTH)]
        x = 0
        while x < WIDTH:
            n = 1
            while x + n < WIDTH and n < 255 and row[x + n] == row[x]:
                n += 1
            out += bytes((n, row[x]))
            x += n
        out += b"\x00\x00" if y > 0 else b"\x00\x01"  # end of line / of bitmap
    return bytes(out)


def write_banner(path):
    data = rle8_rows()
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 1, len(data), 2835, 2835,
                       len(PALETTE), 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + palette + data)


def icon_image(size):
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = bytes(2 * 4)
    row = ((size + 31) // 32) * 4                  # one bit per pixel, rows 4-byte aligned
    xor = bytes(row * size)
    mask = b"\xff" * (row * size)                  # every pixel transparent
    return info + palette + xor + mask


def write_icon(path):
    images = [icon_image(32), icon_image(16)]
    offset = 6 + 16 * len(images)
    out = struct.pack("<HHH", 0, 1, len(images))
    for size, image in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 2, 0, 1, 1, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "res")
    os.makedirs(here, exist_ok=True)
    write_banner(os.path.join(here, "banner_144.bmp"))
    write_icon(os.path.join(here, "empty_128.ico"))
