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

# A 5 x 7 pixel font for the labels baked into the title, menu and screen
# pictures (the engine's own fonts type the story's text).
GLYPHS = {
    "A": ".###.#...##...#######...##...##...#", "B": "####.#...##...#####.#...##...#####.",
    "C": ".#####....#....#....#....#.....####", "D": "####.#...##...##...##...##...#####.",
    "E": "######....#....####.#....#....#####", "F": "######....#....####.#....#....#....",
    "G": ".#####....#....#..###...##...#.###.", "H": "#...##...##...#######...##...##...#",
    "I": ".###...#....#....#....#....#...###.", "J": "..###...#....#....#....#.#..#..##..",
    "K": "#...##..#.#.#..##...#.#..#..#.#...#", "L": "#....#....#....#....#....#....#####",
    "M": "#...###.###.#.##.#.##...##...##...#", "N": "#...###..##.#.##..###...##...##...#",
    "O": ".###.#...##...##...##...##...#.###.", "P": "####.#...##...#####.#....#....#....",
    "Q": ".###.#...##...##...##.#.##..#..##.#", "R": "####.#...##...#####.#.#..#..#.#...#",
    "S": ".#####....#.....###.....#....#####.", "T": "#####..#....#....#....#....#....#..",
    "U": "#...##...##...##...##...##...#.###.", "V": "#...##...##...##...##...#.#.#...#..",
    "W": "#...##...##...##.#.##.#.###.###...#", "X": "#...##...#.#.#...#...#.#.#...##...#",
    "Y": "#...##...#.#.#...#....#....#....#..", "Z": "#####....#...#...#...#...#....#####",
    "0": ".###.#...##..###.#.###..##...#.###.", "1": "..#...##....#....#....#....#...###.",
    "2": ".###.#...#....#...#...#...#...#####", "3": "####.....#....#.###.....#....#####.",
    "4": "...#...##..#.#.#..#.#####...#....#.", "5": "######....####.....#....##...#.###.",
    "6": ".###.#....#....####.#...##...#.###.", "7": "#####....#...#...#...#....#....#...",
    "8": ".###.#...##...#.###.#...##...#.###.", "9": ".###.#...##...#.####....#....#.###.",
    " ": "...................................", "-": "...............#####...............",
    ".": "..........................##...##..", "!": "..#....#....#....#....#.........#..",
    "?": ".###.#...#....#...#...#.........#..",
}


def text_mask(text, scale):
    """The pixels of a text in the pixel font: (width, height, set(x, y))."""
    on = set()
    for i, ch in enumerate(text.upper()):
        rows = GLYPHS[ch]
        for gy in range(7):
            for gx in range(5):
                if rows[gy * 5 + gx] == "#":
                    for sy in range(scale):
                        for sx in range(scale):
                            on.add((i * 6 * scale + gx * scale + sx, gy * scale + sy))
    return len(text) * 6 * scale - scale, 7 * scale, on


def label_button(width, height, text, scale, face, ink, border):
    """A rounded panel with a centred label."""
    tw, th, on = text_mask(text, scale)
    ox, oy = (width - tw) // 2, (height - th) // 2
    radius = min(14, height // 2 - 1)

    def pixel(x, y):
        cx = min(max(x, radius), width - 1 - radius)
        cy = min(max(y, radius), height - 1 - radius)
        d = math.hypot(x - cx, y - cy)
        if d > radius + 0.5:
            return (0, 0, 0, 0)
        if d > radius - 2.5:
            return border + (255,)
        if (x - ox, y - oy) in on:
            return ink + (255,)
        return face
    return pixel


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
    # The title screen: the day's sky at dawn with the game's name.
    title_sky = sky((30, 40, 110), (250, 190, 150), ((70, 110, 90), (45, 80, 65)))
    tw, th, title = text_mask("ZEL DEMO", 14)
    sw, sh, sub = text_mask("A SHORT DAY ON THE HILLS", 4)
    def title_pixel(x, y):
        tx, ty = x - (1280 - tw) // 2, y - 110
        if (tx, ty) in title:
            return (255, 250, 235, 255)
        if (tx - 6, ty - 6) in title:
            return (40, 30, 70, 255)
        if (x - (1280 - sw) // 2, y - 250) in sub:
            return (255, 235, 200, 255)
        return title_sky(x, y)
    write_png(os.path.join(demo, "bg_title.png"), 1280, 720, title_pixel)
    face, ink, border = (245, 240, 225, 235), (60, 50, 40), (90, 70, 50)
    hover_face, hover_ink = (255, 214, 120, 245), (40, 30, 20)
    for name, text in (("title_new", "NEW GAME"), ("title_load", "LOAD"), ("title_quit", "QUIT")):
        write_png(os.path.join(demo, name + ".png"), 320, 72, label_button(320, 72, text, 5, face, ink, border))

    # The system menu (system/Menu/Layout.dat): a panel and its entries, each
    # with a second picture for the pointer over it.
    menu = os.path.join(ROOT, "games", "demo", "system", "Menu")
    hw, hh, header = text_mask("MENU", 6)
    def panel(x, y):
        if x < 3 or y < 3 or x > 356 or y > 596:
            return (230, 220, 200, 255)
        if (x - (360 - hw) // 2, y - 22) in header:
            return (255, 240, 210, 255)
        return (20, 24, 48, 215)
    write_png(os.path.join(menu, "panel.png"), 360, 600, panel)
    for name, text in (("save", "SAVE"), ("load", "LOAD"), ("qsave", "QUICK SAVE"), ("qload", "QUICK LOAD"),
                       ("log", "LOG"), ("auto", "AUTO"), ("skip", "SKIP"), ("title", "TITLE"), ("back", "BACK")):
        write_png(os.path.join(menu, "m_" + name + ".png"), 280, 52, label_button(280, 52, text, 4, face, ink, border))
        write_png(os.path.join(menu, "m_" + name + "_on.png"), 280, 52,
                  label_button(280, 52, text, 4, hover_face, hover_ink, border))

    # The save and load screens (system/FileSelect): a frame per slot with
    # room for the thumbnail on its left, a header, a back button and the
    # picture of an empty slot.
    fs = os.path.join(ROOT, "games", "demo", "system", "FileSelect")
    def slot(fill, edge):
        def pixel(x, y):
            if x < 3 or y < 3 or x > 556 or y > 146:
                return edge + (255,)
            if 13 <= x < 211 and 18 <= y < 132:
                return (0, 0, 0, 255)
            return fill
        return pixel
    write_png(os.path.join(fs, "slot.png"), 560, 150, slot((20, 24, 48, 220), (200, 190, 170)))
    write_png(os.path.join(fs, "slot_on.png"), 560, 150, slot((70, 60, 30, 230), (255, 214, 120)))
    write_png(os.path.join(fs, "back.png"), 200, 52, label_button(200, 52, "BACK", 4, face, ink, border))
    write_png(os.path.join(fs, "back_on.png"), 200, 52, label_button(200, 52, "BACK", 4, hover_face, hover_ink, border))
    for name, text in (("hdr_save", "SAVE"), ("hdr_load", "LOAD")):
        w, h, on = text_mask(text, 8)
        write_png(os.path.join(fs, name + ".png"), w + 8, h + 8,
                  lambda x, y, on=on: (255, 245, 220, 255) if (x, y) in on else
                  ((30, 20, 50, 255) if (x - 6, y - 6) in on else (0, 0, 0, 0)))
    nw, nh, nodata = text_mask("NO DATA", 3)
    write_png(os.path.join(fs, "nodata.png"), 192, 108,
              lambda x, y: (150, 150, 160, 255) if (x - (192 - nw) // 2, y - (108 - nh) // 2) in nodata
              else (50, 52, 64, 255))

    # The backlog (system/Log): its backdrop, the speakers' faces and the
    # icon of a voiced entry.
    log = os.path.join(ROOT, "games", "demo", "system", "Log")
    lw, lh, loghdr = text_mask("LOG", 6)
    def log_bg(x, y):
        if (x - 60, y - 30) in loghdr:
            return (255, 240, 210, 255)
        if 40 <= x < 1240 and 90 <= y < 690:
            edge = x < 42 or x >= 1238 or y < 92 or y >= 688
            return (200, 190, 170, 255) if edge else (10, 14, 34, 150)
        return (0, 0, 0, 0)
    write_png(os.path.join(log, "bg.png"), 1280, 720, log_bg)
    for name, who in (("face_aoi", ((60, 90, 200), (40, 40, 70))), ("face_ren", ((200, 80, 70), (120, 70, 30)))):
        figure = character(*who)
        write_png(os.path.join(log, name + ".png"), 64, 64, lambda x, y, f=figure: f(56 + x * 2, 26 + y * 2))
    def speaker(x, y):
        dx, dy = x - 8, y - 16
        if 0 <= x < 8 and 11 <= y < 21:
            return (255, 230, 160, 255)
        if 8 <= x < 15 and abs(dy) <= (x - 8) + 5:
            return (255, 230, 160, 255)
        r = math.hypot(dx - 9, dy)
        if x > 17 and any(abs(r - k) < 1.2 for k in (6, 11)) and abs(dy) < r * 0.8:
            return (255, 230, 160, 255)
        return (0, 0, 0, 0)
    write_png(os.path.join(log, "voice.png"), 32, 32, speaker)
    # Its scroll bar: a track and a knob.
    write_png(os.path.join(log, "track.png"), 16, 560,
              lambda x, y: (200, 190, 170, 255) if x in (0, 15) or y in (0, 559) else (30, 34, 60, 200))
    write_png(os.path.join(log, "knob.png"), 16, 60,
              lambda x, y: (255, 214, 120, 255) if 1 <= x <= 14 and 1 <= y <= 58 else (90, 70, 50, 255))
    # The end-to-end image game: a 40 x 20 picture, opaque, red with a blue right half.
    write_png(os.path.join(ROOT, "tests", "games", "images", "pic.png"), 40, 20,
              lambda x, y: (220, 30, 30, 255) if x < 20 else (30, 30, 220, 255))


if __name__ == "__main__":
    main()
