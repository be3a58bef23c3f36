#!/usr/bin/env python3
"""Draws Corvala's shipped artwork and writes the default resources into a folder.

The mark is a raven folded into a "C": a dark ring open to the right whose upper end is the
bird's head with a beak and a gold eye, and whose lower end fans out as a tail. Standard library
only; every image is evaluated per pixel with 4x4 supersampling.
"""
import math
import struct
import sys
from pathlib import Path

SAMPLES = 4
INK = (22, 26, 52)
EYE = (244, 196, 72)
TOP = (96, 198, 214)
BOTTOM = (58, 70, 158)


def lerp(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def in_triangle(px, py, a, b, c):
    def side(p, q, r):
        return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])
    d1, d2, d3 = side((px, py), a, b), side((px, py), b, c), side((px, py), c, a)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


def mark(x, y):
    """Colour of the mark at unit coordinates (y down), or None outside it."""
    cx, cy = 0.48, 0.53
    dx, dy = x - cx, y - cy
    radius = math.hypot(dx, dy)
    angle = math.degrees(math.atan2(-dy, dx))
    head = (cx + 0.27 * math.cos(math.radians(48)), cy - 0.27 * math.sin(math.radians(48)))
    if math.hypot(x - head[0] - 0.035, y - head[1] + 0.005) < 0.028:
        return EYE
    if math.hypot(x - head[0], y - head[1]) < 0.125:
        return INK
    beak = ((head[0] + 0.07, head[1] - 0.07), (head[0] + 0.07, head[1] + 0.06), (head[0] + 0.32, head[1] + 0.05))
    if in_triangle(x, y, *beak):
        return INK
    tail_root = (cx + 0.29 * math.cos(math.radians(-42)), cy - 0.29 * math.sin(math.radians(-42)))
    for spread in (-0.07, 0.0, 0.07):
        tip = (tail_root[0] + 0.2, tail_root[1] + 0.12 + spread)
        if in_triangle(x, y, (tail_root[0] - 0.05, tail_root[1] - 0.05), (tail_root[0] - 0.02, tail_root[1] + 0.07), tip):
            return INK
    if 0.2 <= radius <= 0.36 and not -40 < angle < 40:
        sheen = max(0.0, 1 - abs(radius - 0.31) / 0.05) * max(0.0, math.sin(math.radians(angle)))
        return lerp(INK, (70, 84, 140), 0.6 * sheen)
    return None


def icon_pixel(x, y):
    """RGBA (0..255 floats) of the icon at unit coordinates: a rounded tile with the mark."""
    corner = 0.2
    qx = max(abs(x - 0.5) - (0.5 - corner), 0)
    qy = max(abs(y - 0.5) - (0.5 - corner), 0)
    if math.hypot(qx, qy) > corner:
        return (0, 0, 0, 0)
    colour = mark(0.08 + 0.84 * x, 0.08 + 0.84 * y) or lerp(TOP, BOTTOM, y)
    return colour + (255,)


def render(width, height, pixel):
    """Rows top to bottom of RGBA tuples, averaged over SAMPLES x SAMPLES points per pixel."""
    rows = []
    for j in range(height):
        row = []
        for i in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sj in range(SAMPLES):
                for si in range(SAMPLES):
                    r, g, b, a = pixel((i + (si + 0.5) / SAMPLES) / width, (j + (sj + 0.5) / SAMPLES) / height)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / SAMPLES ** 2
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(c / acc[3]) for c in acc[:3]) + (round(alpha),))
        rows.append(row)
    return rows


def palette16():
    base = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
            (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
            (255, 0, 255), (0, 255, 255), (255, 255, 255)]
    # Our own colours replace the least useful standard ones.
    base[1], base[2], base[5], base[10] = INK, EYE, BOTTOM, TOP
    return base


def palette256():
    cube = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    ramp = [lerp(TOP, BOTTOM, i / 29) for i in range(30)]
    return cube + [tuple(round(c) for c in rgb) for rgb in ramp] + [INK, EYE] + [(i * 32, i * 32, i * 32) for i in range(8)]


def nearest(palette, rgb, cache):
    if rgb not in cache:
        cache[rgb] = min(range(len(palette)), key=lambda k: sum((p - q) ** 2 for p, q in zip(palette[k], rgb)))
    return cache[rgb]


def pack_bits(values, bits):
    """Packs a row of small integers, most significant first, padded to 4 bytes."""
    out = bytearray()
    acc, used = 0, 0
    for v in values:
        acc = (acc << bits) | v
        used += bits
        if used == 8:
            out.append(acc)
            acc, used = 0, 0
    if used:
        out.append(acc << (8 - used))
    while len(out) % 4:
        out.append(0)
    return bytes(out)


def icon_image(size, bits):
    """A DIB icon image: header, palette, colour rows and AND mask rows, both bottom-up."""
    rows = render(size, size, icon_pixel)
    palette = palette16() if bits == 4 else palette256() if bits == 8 else []
    cache = {}
    colour = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        if bits == 32:
            colour += b"".join(bytes((b, g, r, a)) for r, g, b, a in row)
        else:
            colour += pack_bits([nearest(palette, (r, g, b), cache) if a >= 128 else 0 for r, g, b, a in row], bits)
        mask += pack_bits([1 if a < 128 else 0 for *_, a in row], 1)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0, len(colour) + len(mask), 0, 0, len(palette), 0)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + table + bytes(colour) + bytes(mask)


def icon_file(formats):
    images = [(size, bits, icon_image(size, bits)) for size, bits in formats]
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for size, bits, data in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 16 if bits == 4 else 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    return directory + b"".join(data for *_, data in images)


GLYPHS = {
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "o": [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."],
    "r": [".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."],
    "v": [".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    "l": [".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
}


def splash_bmp(width=292, height=73):
    word, scale = "Corvala", 4
    text_x, text_y = 100, (height - 7 * scale) // 2
    mark_size = 61
    mark_x, mark_y = 16, (height - mark_size) // 2

    def pixel(u, v):
        x, y = u * width, v * height
        background = lerp(lerp((14, 22, 54), (24, 92, 118), u), (8, 12, 30), 0.35 * v)
        if mark_x <= x < mark_x + mark_size and mark_y <= y < mark_y + mark_size:
            r, g, b, a = icon_pixel((x - mark_x) / mark_size, (y - mark_y) / mark_size)
            if a:
                return (r, g, b, 255)
        gx, gy = int((x - text_x) // scale), int((y - text_y) // scale)
        if 0 <= gy < 7 and gx >= 0 and gx // 6 < len(word) and gx % 6 < 5:
            if GLYPHS[word[gx // 6]][gy][gx % 6] == "#":
                return (236, 240, 248, 255)
        return background + (255,)

    rows = render(width, height, pixel)
    stride = width * 3
    pixels = b"".join(b"".join(bytes((b, g, r)) for r, g, b, _ in row) + b"\0" * ((4 - stride % 4) % 4)
                      for row in reversed(rows))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


CONFIG_INI = "\r\n".join(["[INI]", "fullscreen=0", "title=Corvala", "port=80", "ip=127.0.0.1",
                          "copyfilestoharddisk=0", "brand=0"]).encode("ascii")
AUTORUN_INF = "".join(line + "\r\n" for line in ["[autorun]", "icon=runme", "open=runme"]).encode("ascii")


# 6 bytes of header, 16 per directory entry, and per image a 40-byte header, 4 bytes a pixel and a
# 1-bit mask of rows padded to 4 bytes.
MAINICON_SIZE = 6 + sum(16 + 40 + 4 * n * n + n * ((n + 31) // 32 * 4) for n in (32, 16, 48, 64, 128, 256))


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    out.mkdir(parents=True, exist_ok=True)
    files = {
        "config.ini": (CONFIG_INI, 89),
        "autorun.inf": (AUTORUN_INF, 35),
        "splash.bmp": (splash_bmp(), 64002),
        # The small sizes first and as they always were; then the sizes a desktop's menus and docks use.
        "mainicon.ico": (icon_file([(32, 32), (16, 32), (48, 32), (64, 32), (128, 32), (256, 32)]), MAINICON_SIZE),
        "cd.ico": (icon_file([(32, 4), (16, 4), (48, 8), (32, 8), (16, 8), (48, 32), (32, 32), (16, 32)]), 23558),
    }
    for name, (data, size) in files.items():
        if len(data) != size:
            sys.exit(f"draw_assets: {name} has {len(data)} bytes, expected {size}")
        (out / name).write_bytes(data)


if __name__ == "__main__":
    main()
