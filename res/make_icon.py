#!/usr/bin/env python3
"""Draws the application icon and writes res/Tarnwell.ico.

The picture is a circuit board with a chip and an arrow pointing up out of it
(a firmware upgrade). It is drawn from a few geometric shapes, so every size is
rendered from the same description: 48, 32, 24 and 16 pixels at 4, 8 and 32
bits per pixel, plus a 256-pixel PNG for large views. Only the standard
library is used, and the output is byte-for-byte the same on every run.

Usage: python3 res/make_icon.py [output.ico]
"""

import os
import struct
import sys
import zlib

SMALL_SIZES = (48, 32, 24, 16)
PNG_SIZE = 256

# The 16 colours every display driver has; 4-bit images index into them.
VGA_PALETTE = (
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
)

# Each colour of the artwork with the VGA entry that stands in for it at 4 bits.
BOARD_EDGE = ((14, 84, 40), 0)
BOARD = ((34, 139, 64), 2)
TRACE = ((96, 190, 110), 10)
PIN = ((200, 202, 206), 7)
CHIP = ((36, 40, 46), 0)
CHIP_MARK = ((90, 96, 104), 8)
ARROW_EDGE = ((150, 90, 0), 3)
ARROW = ((255, 196, 24), 11)
BASE_COLOURS = (BOARD_EDGE, BOARD, TRACE, PIN, CHIP, CHIP_MARK, ARROW_EDGE, ARROW)


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            if (ay > y) != (by > y):
                if x < ax + (y - ay) * (bx - ax) / (by - ay):
                    hit = not hit
        return hit
    return inside


def arrow(inset):
    """The up-arrow, shrunk by `inset` on every side for the fill over its outline."""
    s = inset
    return polygon([
        (0.50, 0.02 + 1.6 * s),
        (0.80 - 1.9 * s, 0.38 - s),
        (0.60 - s, 0.38 - s),
        (0.60 - s, 0.70 - s),
        (0.40 + s, 0.70 - s),
        (0.40 + s, 0.38 - s),
        (0.20 + 1.9 * s, 0.38 - s),
    ])


def scene(size):
    """Shapes in painting order, in unit coordinates (y downwards).

    Outlines get thicker in unit terms as the icon gets smaller, so that they
    stay about one pixel wide; traces appear only where there is room for them.
    """
    edge = max(0.03, 1.0 / size)
    shapes = [
        (rounded_rect(0.04, 0.14, 0.96, 0.96, 0.10), BOARD_EDGE),
        (rounded_rect(0.04 + edge, 0.14 + edge, 0.96 - edge, 0.96 - edge, 0.10 - edge), BOARD),
    ]
    if size >= 32:
        for y in (0.24, 0.84):
            shapes.append((rect(0.10, y, 0.90, y + 0.035), TRACE))
    pin_count = 4 if size >= 24 else 3
    pin_h = 0.36 / (2 * pin_count - 1)
    for i in range(pin_count):
        y = 0.46 + i * 2 * pin_h
        shapes.append((rect(0.14, y, 0.86, y + pin_h), PIN))
    shapes.append((rect(0.24, 0.42, 0.76, 0.86), CHIP))
    if size >= 32:
        shapes.append((rounded_rect(0.29, 0.76, 0.35, 0.82, 0.03), CHIP_MARK))
    shapes.append((arrow(0.0), ARROW_EDGE))
    shapes.append((arrow(max(0.028, 0.9 / size)), ARROW))
    return shapes


def render(size, samples):
    """Returns rows of (rgb, vga_index, coverage) per pixel.

    Colour is the average of the covered samples; coverage is the covered
    fraction; the VGA index is that of the shape under the pixel centre.
    """
    shapes = scene(size)
    rows = []
    step = 1.0 / (size * samples)
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = 0
            covered = 0
            for sy in range(samples):
                y = (py * samples + sy + 0.5) * step
                for sx in range(samples):
                    x = (px * samples + sx + 0.5) * step
                    colour = None
                    for inside, (rgb, _) in reversed(shapes):
                        if inside(x, y):
                            colour = rgb
                            break
                    if colour is not None:
                        covered += 1
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
            vga = None
            cx, cy = (px + 0.5) / size, (py + 0.5) / size
            for inside, (_, index) in reversed(shapes):
                if inside(cx, cy):
                    vga = index
                    break
            if covered:
                rgb = (round(r / covered), round(g / covered), round(b / covered))
            else:
                rgb = (0, 0, 0)
            row.append((rgb, vga, covered / (samples * samples)))
        rows.append(row)
    return rows


def palette_256():
    """The artwork's own colours first, then a colour cube and a grey ramp."""
    colours = [rgb for rgb, _ in BASE_COLOURS]
    for r in range(6):
        for g in range(6):
            for b in range(6):
                colours.append((r * 51, g * 51, b * 51))
    greys = 256 - len(colours)
    for i in range(greys):
        level = round((i + 1) * 255 / (greys + 1))
        colours.append((level, level, level))
    return colours


def nearest(palette, rgb):
    best, best_d = 0, None
    for i, (r, g, b) in enumerate(palette):
        d = (r - rgb[0]) ** 2 + (g - rgb[1]) ** 2 + (b - rgb[2]) ** 2
        if best_d is None or d < best_d:
            best, best_d = i, d
    return best


def and_mask(rows):
    """1-bit mask, bottom-up, a set bit where the image is transparent."""
    size = len(rows)
    stride = ((size + 31) // 32) * 4
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, opaque in enumerate(row):
            if not opaque:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def bitmap_header(size, bits, colours):
    return struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, 0, 0, 0, colours, 0)


def dib_4bpp(size):
    pixels = render(size, 1)
    opaque = [[vga is not None for _, vga, _ in row] for row in pixels]
    stride = ((size * 4 + 31) // 32) * 4
    xor = bytearray()
    for row in reversed(pixels):
        line = bytearray(stride)
        for x, (_, vga, _) in enumerate(row):
            index = vga if vga is not None else 0
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += line
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in VGA_PALETTE)
    return bitmap_header(size, 4, 16) + pal + bytes(xor) + and_mask(opaque)


def dib_8bpp(size, palette, cache):
    pixels = render(size, 4)
    opaque = [[cov >= 0.5 for _, _, cov in row] for row in pixels]
    stride = ((size + 3) // 4) * 4
    xor = bytearray()
    for row in reversed(pixels):
        line = bytearray(stride)
        for x, (rgb, _, cov) in enumerate(row):
            if cov >= 0.5:
                if rgb not in cache:
                    cache[rgb] = nearest(palette, rgb)
                line[x] = cache[rgb]
        xor += line
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    return bitmap_header(size, 8, 256) + pal + bytes(xor) + and_mask(opaque)


def rgba_rows(size, samples):
    return [[(rgb[0], rgb[1], rgb[2], round(cov * 255)) for rgb, _, cov in row]
            for row in render(size, samples)]


def dib_32bpp(size):
    rows = rgba_rows(size, 4)
    xor = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            xor += struct.pack('<BBBB', b, g, r, a)
    opaque = [[a > 0 for _, _, _, a in row] for row in rows]
    return bitmap_header(size, 32, 0) + bytes(xor) + and_mask(opaque)


def png_chunk(kind, data):
    body = kind + data
    return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)


def png_rgba(size):
    rows = rgba_rows(size, 3)
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for pixel in row:
            raw += bytes(pixel)
    header = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', header)
            + png_chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + png_chunk(b'IEND', b''))


def images():
    """(size, colour count byte, bits per pixel, data) in directory order."""
    out = []
    for size in SMALL_SIZES:
        out.append((size, 16, 4, dib_4bpp(size)))
    palette = palette_256()
    cache = {}
    for size in SMALL_SIZES:
        out.append((size, 0, 8, dib_8bpp(size, palette, cache)))
    for size in SMALL_SIZES:
        out.append((size, 0, 32, dib_32bpp(size)))
    out.append((PNG_SIZE, 0, 32, png_rgba(PNG_SIZE)))
    return out


def ico_file(entries):
    head = struct.pack('<HHH', 0, 1, len(entries))
    offset = len(head) + 16 * len(entries)
    directory = bytearray()
    blobs = bytearray()
    for size, colours, bits, data in entries:
        dim = size if size < 256 else 0
        directory += struct.pack('<BBBBHHII', dim, dim, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
        blobs += data
    return head + bytes(directory) + bytes(blobs)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, 'Tarnwell.ico')
    data = ico_file(images())
    with open(target, 'wb') as f:
        f.write(data)
    print(f'{target}: {len(data)} bytes')


if __name__ == '__main__':
    main()
