#!/usr/bin/env python3
"""Draws the demo game's pictures (and the test game's) as PNG files.

Run from the repository root: python3 games/demo/tools/make_assets.py
The files it writes are committed, so building the game needs no Python.
Only the standard library is used: the pictures are computed pixel by pixel
and written with zlib.
"""
import math
import os
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))


def write_png(path, width, height, pixel):
    """pixel(x, y) -> (r, g, b, a)."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        c = kind + data
        return struct.pack(">I", len(data)) + c + struct.pack(">I", zlib.crc32(c) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b"")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(png)
    print(path, len(png), "bytes")


def lerp(a, b, t):
    return int(round(a + (b - a) * t))


def sky(top, bottom, hills):
    def pixel(x, y):
        t = y / 719
        r, g, b = (lerp(top[i], bottom[i], t) for i in range(3))
        # Two rows of rolling hills.
        h1 = 520 + 40 * math.sin(x / 170.0) + 25 * math.sin(x / 61.0)
        h2 = 600 + 30 * math.sin(x / 113.0 + 1.3)
        if y > h2:
            return (hills[1][0], hills[1][1], hills[1][2], 255)
        if y > h1:
            return (hills[0][0], hills[0][1], hills[0][2], 255)
        return (r, g, b, 255)
    return pixel


def character(body, accent):
    """A 240 x 420 figure: head, hair, body; transparent around it."""
    def pixel(x, y):
        cx = 120
        # head
        if (x - cx) ** 2 + (y - 90) ** 2 <= 62 ** 2:
            if y < 70 and (x - cx) ** 2 + (y - 80) ** 2 <= 66 ** 2:
                return (accent[0], accent[1], accent[2], 255)  # hair
            if (x - cx + 22) ** 2 + (y - 95) ** 2 <= 7 ** 2 or (x - cx - 22) ** 2 + (y - 95) ** 2 <= 7 ** 2:
                return (40, 30, 30, 255)  # eyes
            return (250, 224, 200, 255)
        # body: a rounded trapezoid
        if 150 <= y < 420:
            half = 50 + (y - 150) * 0.25
            if abs(x - cx) <= half:
                edge = half - abs(x - cx)
                a = 255 if edge > 2 else int(255 * edge / 2)
                return (body[0], body[1], body[2], a)
        return (0, 0, 0, 0)
    return pixel


def main():
    demo = os.path.join(ROOT, "games", "demo", "image")
    write_png(os.path.join(demo, "bg_day.png"), 1280, 720, sky((70, 140, 220), (190, 225, 250), ((90, 160, 80), (60, 120, 60))))
    write_png(os.path.join(demo, "bg_dusk.png"), 1280, 720, sky((40, 30, 90), (240, 140, 90), ((70, 60, 90), (40, 35, 60))))
    write_png(os.path.join(demo, "chara_aoi.png"), 240, 420, character((60, 90, 200), (40, 40, 70)))
    write_png(os.path.join(demo, "chara_ren.png"), 240, 420, character((200, 80, 70), (120, 70, 30)))
    # A rule picture for the wipe between scenes: a diagonal sweep with a
    # soft edge (the wipe brings the new scene in where it is brightest).
    write_png(os.path.join(demo, "rule_sweep.png"), 1280, 720,
              lambda x, y: (lambda v: (v, v, v, 255))(min(255, int(255 * (x + y * 0.6) / (1280 + 720 * 0.6)))))
    # A five-pointed star for the twinkle animation (anim/sparkle.txt).
    def star(x, y):
        dx, dy = x - 23.5, y - 23.5
        r = math.hypot(dx, dy)
        a = math.atan2(dy, dx) + math.pi / 2
        # Radius of the star's outline at this angle: between 9 and 22 px.
        k = (a % (2 * math.pi / 5)) / (2 * math.pi / 5)
        edge = 9 + 13 * abs(1 - 2 * k) ** 1.6
        if r > edge + 1:
            return (0, 0, 0, 0)
        alpha = 255 if r <= edge else int(255 * (edge + 1 - r))
        glow = max(0, 1 - r / 23)
        return (255, lerp(210, 250, glow), lerp(90, 200, glow), alpha)
    write_png(os.path.join(ROOT, "games", "demo", "anim", "star.png"), 48, 48, star)
    # Three choice buttons (200 x 90): a rounded panel with an icon — a sun
    # over a hill, waves, a house.
    def button(icon):
        def pixel(x, y):
            # Rounded corners of radius 16.
            cx = min(max(x, 16), 183)
            cy = min(max(y, 16), 73)
            d = math.hypot(x - cx, y - cy)
            if d > 16.5:
                return (0, 0, 0, 0)
            edge = d > 13.5
            base = (245, 240, 225) if not edge else (90, 70, 50)
            c = icon(x - 100, y - 45)
            if c and not edge:
                base = c
            return (base[0], base[1], base[2], 235)
        return pixel
    def hill(dx, dy):
        if dx * dx + (dy + 12) ** 2 <= 11 ** 2 and dx > -30:
            return (240, 180, 40)
        if dy > 10 - 12 * math.cos(dx / 25.0) and abs(dx) < 60:
            return (90, 160, 80)
        return None
    def waves(dx, dy):
        for row in (-12, 4, 20):
            if abs(dx) < 60 and abs(dy - row - 5 * math.sin(dx / 7.0)) < 2.5:
                return (60, 120, 220)
        return None
    def house(dx, dy):
        if abs(dx) < 30 and 0 <= dy < 28:
            return (200, 80, 60) if not (abs(dx) < 7 and dy > 12) else (90, 60, 40)
        if dy < 0 and dy > -30 + abs(dx) * 0.8 and abs(dx) < 38:
            return (120, 60, 50)
        return None
    for name, icon in (("btn_hill", hill), ("btn_river", waves), ("btn_town", house)):
        write_png(os.path.join(demo, name + ".png"), 200, 90, button(icon))
    # The end-to-end image game: a 40 x 20 picture, opaque, red with a blue right half.
    write_png(os.path.join(ROOT, "tests", "games", "images", "pic.png"), 40, 20,
              lambda x, y: (220, 30, 30, 255) if x < 20 else (30, 30, 220, 255))


if __name__ == "__main__":
    main()
