#!/usr/bin/env python3
"""Draws Quorlet's icons and writes them as .ico files.

    tools/make_icons.py [output folder]   (default: src/resources/icons)

Program icon (16 and 32 pixels): three bars of different lengths, as the main
view draws its rows. Tray gauge levels 0..14: a framed 16x16 gauge filled from
the bottom, one more row per level, from green to red. Wait icon: an hourglass.
The output depends only on this script, so rerunning it reproduces the files.
"""
import os
import struct
import sys

TRANSPARENT = None


class Canvas:
    def __init__(self, size):
        self.size = size
        self.pixels = [[TRANSPARENT] * size for _ in range(size)]

    def fill(self, x0, y0, x1, y1, color):
        """Fills the half-open rectangle [x0, x1) x [y0, y1)."""
        for y in range(max(0, y0), min(self.size, y1)):
            for x in range(max(0, x0), min(self.size, x1)):
                self.pixels[y][x] = color

    def frame(self, x0, y0, x1, y1, color):
        self.fill(x0, y0, x1, y0 + 1, color)
        self.fill(x0, y1 - 1, x1, y1, color)
        self.fill(x0, y0, x0 + 1, y1, color)
        self.fill(x1 - 1, y0, x1, y1, color)


def image_bytes(canvas):
    """One icon image: BITMAPINFOHEADER, 32-bit BGRA rows bottom-up, AND mask."""
    n = canvas.size
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    mask = bytearray()
    mask_stride = ((n + 31) // 32) * 4
    for y in reversed(range(n)):
        row_mask = bytearray(mask_stride)
        for x in range(n):
            c = canvas.pixels[y][x]
            if c is None:
                xor += b'\0\0\0\0'
                row_mask[x // 8] |= 0x80 >> (x % 8)
            else:
                r, g, b = c
                xor += bytes((b, g, r, 255))
        mask += row_mask
    return header + bytes(xor) + bytes(mask)


def write_icon(path, canvases):
    images = [image_bytes(c) for c in canvases]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for canvas, data in zip(canvases, images):
        n = canvas.size
        out += struct.pack('<BBBBHHII', n % 256, n % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


FRAME = (64, 64, 64)
FACE = (255, 255, 255)
PROCESS_BAR = (128, 128, 128)
INCREASE = (128, 0, 0)
THREAD_BAR = (128, 128, 0)


def program_icon(size):
    c = Canvas(size)
    c.fill(0, 0, size, size, FACE)
    c.frame(0, 0, size, size, FRAME)
    unit = size // 16
    rows = [(3, 12, PROCESS_BAR, 2), (7, 7, THREAD_BAR, 3), (11, 10, PROCESS_BAR, 0)]
    for top, length, color, grown in rows:
        y0, y1 = top * unit, (top + 3) * unit
        c.fill(2 * unit, y0, (2 + length) * unit, y1, color)
        c.fill((2 + length) * unit, y0, (2 + length + grown) * unit, y1, INCREASE)
    return c


def gauge_color(level):
    """Green at the bottom of the scale, through yellow, to red at the top."""
    t = level / 14.0
    if t <= 0.5:
        return (int(510 * t), 192, 0)
    return (255, int(192 * (2 - 2 * t)), 0)


def tray_icon(level):
    c = Canvas(16)
    c.fill(0, 0, 16, 16, (0, 0, 0))
    c.frame(0, 0, 16, 16, (160, 160, 160))
    c.fill(1, 15 - level, 15, 15, gauge_color(level))
    return c


def wait_icon():
    c = Canvas(32)
    glass = (96, 64, 0)
    sand = (224, 176, 64)
    c.fill(6, 2, 26, 5, glass)
    c.fill(6, 27, 26, 30, glass)
    for y in range(5, 27):
        half = abs(y - 16)
        width = 2 + half * 9 // 11
        c.fill(16 - width - 1, y, 16 - width, y, glass)
        c.fill(16 - width - 1, y, 16 - width, y + 1, glass)
        c.fill(16 + width, y, 16 + width + 1, y + 1, glass)
        if (y < 16 and y >= 10) or y >= 22:
            c.fill(16 - width, y, 16 + width, y + 1, sand)
    c.fill(15, 16, 17, 22, sand)
    return c


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), '..', 'src', 'resources', 'icons')
    os.makedirs(folder, exist_ok=True)
    write_icon(os.path.join(folder, 'program.ico'), [program_icon(16), program_icon(32)])
    for level in range(15):
        write_icon(os.path.join(folder, 'tray%02d.ico' % level), [tray_icon(level)])
    write_icon(os.path.join(folder, 'wait.ico'), [wait_icon()])


if __name__ == '__main__':
    main()
