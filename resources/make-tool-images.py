#!/usr/bin/env python3
"""Draws the tool's images as PNG files: the tool icon (24 x 24, a swirl of liquid) and the tool
cursor (32 x 32, a cross hair with a small swirl around the hot spot at 15, 15).

    resources/make-tool-images.py [output folder]     (default: the folder of this script)

Only the standard library is used: shapes are sampled 4 x 4 times per pixel for smooth edges and
written as 8-bit RGBA PNGs.
"""
import math
import os
import struct
import sys
import zlib

SUB = 4  # samples per pixel along each axis


def png_bytes(width, height, pixels):
    """pixels: rows of (r, g, b, a) tuples."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter: none
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def distance_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    cx, cy = ax + t * dx, ay + t * dy
    return math.hypot(px - cx, py - cy)


def distance_to_polyline(px, py, points):
    return min(distance_to_segment(px, py, *points[i], *points[i + 1])
               for i in range(len(points) - 1))


def spiral(cx, cy, r0, r1, turns, steps=160, phase=0.0):
    """A spiral from radius r0 to r1 over the given number of turns."""
    points = []
    for i in range(steps + 1):
        t = i / steps
        angle = phase + t * turns * 2 * math.pi
        r = r0 + (r1 - r0) * t
        points.append((cx + r * math.cos(angle), cy + r * math.sin(angle)))
    return points


def render(width, height, layers):
    """layers: (polyline, half width, colour) painted in order, each with its coverage."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            r = g = b = a = 0.0
            for points, half, colour in layers:
                inside = 0
                for sy in range(SUB):
                    for sx in range(SUB):
                        px = x + (sx + 0.5) / SUB
                        py = y + (sy + 0.5) / SUB
                        if distance_to_polyline(px, py, points) <= half:
                            inside += 1
                cover = inside / (SUB * SUB)
                if cover == 0:
                    continue
                # "over" compositing with premultiplied values
                r = colour[0] * cover + r * (1 - cover)
                g = colour[1] * cover + g * (1 - cover)
                b = colour[2] * cover + b * (1 - cover)
                a = cover + a * (1 - cover)
            if a > 0:
                row.append((round(r / a), round(g / a), round(b / a), round(a * 255)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def tool_icon():
    blue = (31, 78, 156)
    light = (86, 156, 214)
    swirl = spiral(12.0, 10.5, 1.0, 8.0, 1.6, phase=math.pi / 2)
    # an arrow head at the swirl's outer end, along its direction of travel
    ex, ey = swirl[-1]
    px, py = swirl[-6]
    heading = math.atan2(ey - py, ex - px)
    head = [(ex + 2.8 * math.cos(heading + s * 2.5), ey + 2.8 * math.sin(heading + s * 2.5))
            for s in (-1, 1)]
    wave = [(3 + i * 0.25, 21.5 + 0.9 * math.sin(i * 0.25 * 1.1)) for i in range(73)]
    return render(24, 24, [
        (wave, 0.7, light),
        (swirl, 1.1, blue),
        ([head[0], (ex, ey), head[1]], 1.1, blue),
    ])


def tool_cursor():
    white = (255, 255, 255)
    black = (0, 0, 0)
    hx, hy = 15.5, 15.5  # the middle of hot-spot pixel (15, 15)
    arms = [
        [(hx, hy - 12), (hx, hy - 6)], [(hx, hy + 6), (hx, hy + 12)],
        [(hx - 12, hy), (hx - 6, hy)], [(hx + 6, hy), (hx + 12, hy)],
    ]
    swirl = spiral(hx, hy, 0.8, 4.2, 1.3)
    layers = []
    for shape in arms + [swirl]:
        layers.append((shape, 1.6, white))  # an outline that shows on dark art
    for shape in arms + [swirl]:
        layers.append((shape, 0.6, black))
    return render(32, 32, layers)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, size, pixels in (("tool-icon.png", 24, tool_icon()),
                               ("tool-cursor.png", 32, tool_cursor())):
        path = os.path.join(out, name)
        with open(path, "wb") as f:
            f.write(png_bytes(size, size, pixels))
        print(path)


if __name__ == "__main__":
    main()
