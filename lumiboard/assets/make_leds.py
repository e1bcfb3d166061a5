#!/usr/bin/env python3
"""Draws the preview's two LED pictures as 24-bit BMP files (18 x 18 pixels):
a lit blue LED (led_bleu.bmp) and an unlit grey one (led_gris.bmp), each a
shaded disc with a dark rim on the window's silver, RGB(192, 192, 192).

    python3 lumiboard/assets/make_leds.py lumiboard/assets
"""

import math
import os
import struct
import sys

SIZE = 18
SILVER = (192, 192, 192)
RADIUS = 7.2          # disc radius in pixels
RIM = 1.1             # width of the darker rim


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def led(body, light, rim):
    """Rows of (r, g, b), top row first."""
    cx = cy = (SIZE - 1) / 2.0
    hx, hy = cx - 2.3, cy - 2.5   # highlight towards the top left
    rows = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            # 4 x 4 supersampling for a soft edge against the background.
            acc = [0.0, 0.0, 0.0]
            for sy in range(4):
                for sx in range(4):
                    px = x + (sx + 0.5) / 4 - 0.5
                    py = y + (sy + 0.5) / 4 - 0.5
                    d = math.hypot(px - cx, py - cy)
                    if d > RADIUS:
                        c = SILVER
                    else:
                        h = min(1.0, math.hypot(px - hx, py - hy) / (RADIUS * 1.3))
                        c = mix(light, body, h)
                        if d > RADIUS - RIM:
                            c = mix(c, rim, 0.8)
                    for i in range(3):
                        acc[i] += c[i] / 16.0
            row.append(tuple(int(round(v)) for v in acc))
        rows.append(row)
    return rows


def write_bmp(path, rows):
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        pixels += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    write_bmp(os.path.join(out, "led_bleu.bmp"),
              led(body=(20, 70, 230), light=(190, 225, 255), rim=(10, 30, 120)))
    write_bmp(os.path.join(out, "led_gris.bmp"),
              led(body=(120, 120, 128), light=(220, 220, 224), rim=(80, 80, 86)))


main()
