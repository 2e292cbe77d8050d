#!/usr/bin/env python3
"""Draws the pictures of the program's image buttons and the search icon.

Usage: draw_images.py [OUT_DIR]   (default: the folder of this script)

Every command button has three pictures: NAME_normal.png, NAME_over.png
(lighter) and NAME_down.png (darker); all are 8-bit RGBA. The capture
frame's search icon is search_window.bmp (25 x 25, 24-bit). The build embeds
the files in the form descriptions; run this again after changing a picture.
"""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "uidemo"))
from make_images import bmp24, png  # noqa: E402


def smooth(d):
    """Coverage of a pixel whose centre lies d pixels inside an edge."""
    return max(0.0, min(1.0, d + 0.5))


def face(size, colour, mark, shade):
    """A round face of the colour with a white mark; shade brightens (>1) or darkens (<1)."""
    c = (size - 1) / 2.0
    r = size / 2.0 - 1

    def pixel(x, y):
        d = math.hypot(x - c, y - c)
        a = smooth(r - d)
        if a <= 0:
            return (0, 0, 0, 0)
        grad = 1.1 - 0.3 * (y / size)
        rgb = [min(255, int(v * grad * shade)) for v in colour]
        m = mark((x - c) / r, (y - c) / r)
        if m > 0:
            rgb = [int(rgb[i] * (1 - m) + 255 * m) for i in range(3)]
        ring = smooth(r - d) - smooth(r - 1.5 - d)
        rgb = [int(v * (1 - 0.35 * ring)) for v in rgb]
        return (rgb[0], rgb[1], rgb[2], int(a * 255))

    return pixel


def tile(size, colour, mark, shade):
    """A rounded square face with a dark mark, for the small tool buttons."""
    def pixel(x, y):
        k = 3.0
        dx = max(0.0, abs(x - (size - 1) / 2.0) - ((size - 1) / 2.0 - k))
        dy = max(0.0, abs(y - (size - 1) / 2.0) - ((size - 1) / 2.0 - k))
        a = smooth(k - math.hypot(dx, dy))
        if a <= 0:
            return (0, 0, 0, 0)
        rgb = [min(255, int(v * shade)) for v in colour]
        m = mark(x, y)
        if m is not None:
            rgb = [min(255, int(v * shade)) for v in m]
        return (rgb[0], rgb[1], rgb[2], int(a * 255))

    return pixel


# Marks on the round faces, in units of the radius (-1 .. 1).
def record_mark(u, v):
    return smooth((0.42 - math.hypot(u, v)) * 20)


def itunes_mark(u, v):
    # A filled circle with a note beside it: record and hand to the music library.
    dot = smooth((0.3 - math.hypot(u + 0.2, v - 0.05)) * 20)
    stem = 1.0 if 0.28 < u < 0.38 and -0.55 < v < 0.35 else 0.0
    head = smooth((0.17 - math.hypot(u - 0.22, v - 0.35)) * 20)
    flag = 1.0 if 0.28 < u < 0.6 and -0.55 < v < -0.4 + (u - 0.28) * 0.3 else 0.0
    return max(dot, stem, head, flag)


def finish_mark(u, v):
    return 1.0 if abs(u) < 0.36 and abs(v) < 0.36 else 0.0


def updown_mark(u, v):
    # A chevron pointing up over one pointing down: show more or less.
    slope = 0.85
    up = abs(v - (-0.6 + abs(u) * slope)) < 0.14 and abs(u) < 0.5
    down = abs(v - (0.6 - abs(u) * slope)) < 0.14 and abs(u) < 0.5
    return 1.0 if up or down else 0.0


def gear(x, y):
    c = 11.5
    d = math.hypot(x - c, y - c)
    ang = math.atan2(y - c, x - c)
    outer = 8.0 + (1.5 if math.cos(ang * 8) > 0.3 else 0.0)
    if 3.0 < d < outer:
        return (70, 70, 80)
    return None


def folder_mark(x, y):
    if 4 <= x < 20 and 8 <= y < 19:
        return (235, 185, 60)
    if 4 <= x < 11 and 5 <= y < 8:
        return (215, 160, 40)
    return None


def frame_mark(x, y):
    on_x = 5 <= x <= 18 and y in (7, 16)
    on_y = 7 <= y <= 16 and x in (5, 18)
    return (40, 120, 160) if on_x or on_y else None


def crosshair(x, y):
    d = math.hypot(x - 12, y - 12)
    on = (x == 12 and (y < 9 or y > 15)) or (y == 12 and (x < 9 or x > 15)) or abs(d - 8) < 0.8 or d < 1.5
    return (0, 0, 160) if on else (255, 255, 255)


BUTTONS = {
    # name: (kind, size, colour, mark)
    "capture_start": ("face", 48, (210, 40, 40), record_mark),
    "capture_itunes": ("face", 48, (190, 50, 170), itunes_mark),
    "capture_finish": ("face", 48, (60, 60, 70), finish_mark),
    "display_change": ("face", 28, (60, 110, 190), updown_mark),
    "configure": ("tile", 24, (225, 225, 230), gear),
    "folder": ("tile", 24, (225, 225, 230), folder_mark),
    "size_preset": ("tile", 24, (225, 225, 230), frame_mark),
}
SHADES = {"normal": 1.0, "over": 1.25, "down": 0.75}


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, (kind, size, colour, mark) in BUTTONS.items():
        for state, shade in SHADES.items():
            maker = face if kind == "face" else tile
            data = png(size, size, maker(size, colour, mark, shade))
            with open(os.path.join(out, "%s_%s.png" % (name, state)), "wb") as f:
                f.write(data)
    with open(os.path.join(out, "search_window.bmp"), "wb") as f:
        f.write(bmp24(25, 25, crosshair))


if __name__ == "__main__":
    main()
