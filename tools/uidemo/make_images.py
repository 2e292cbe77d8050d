#!/usr/bin/env python3
"""Draws the pictures of the demo's form description.

Usage: make_images.py uidemo.tfd.in > uidemo.tfd

Every "@NAME@" in the template becomes the hex block of the picture NAME.
Without a template the blocks are printed one after the other.
"""
import math
import struct
import sys
import zlib


def png(width, height, pixel):
    """An 8-bit RGBA PNG; pixel(x, y) returns (r, g, b, a)."""
    raw = b""
    for y in range(height):
        raw += b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def bmp24(width, height, pixel):
    """A bottom-up 24-bit bitmap file; pixel(x, y) returns (r, g, b)."""
    stride = (width * 3 + 3) & ~3
    rows = b""
    for y in reversed(range(height)):
        row = b"".join(bytes(reversed(pixel(x, y))) for x in range(width))
        rows += row + b"\0" * (stride - len(row))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + len(rows), 0, 0, 54) + header + rows


def disc(size, colour, mark):
    """A round button face with a soft edge and a white mark in the middle."""
    c = (size - 1) / 2.0
    r = size / 2.0 - 1

    def pixel(x, y):
        d = math.hypot(x - c, y - c)
        a = max(0.0, min(1.0, r - d + 0.5))
        shade = 1.0 - 0.35 * (y / size)
        rgb = [int(v * shade) for v in colour]
        if mark(x - c, y - c, r):
            rgb = [255, 255, 255]
        return (rgb[0], rgb[1], rgb[2], int(a * 255))

    return pixel


def play(dx, dy, r):
    return dx > -r * 0.3 and abs(dy) < (r * 0.45 - (dx + r * 0.3) * 0.6)


def stop(dx, dy, r):
    return abs(dx) < r * 0.35 and abs(dy) < r * 0.35


def folder(x, y):
    inside = 2 <= x < 22 and 6 <= y < 20
    tab = 2 <= x < 10 and 3 <= y < 6
    return (230, 180, 60, 255) if inside or tab else (0, 0, 0, 0)


def crosshair(x, y):
    on = x in (12,) or y in (12,) or abs(math.hypot(x - 12, y - 12) - 8) < 0.8
    return (0, 0, 0) if on else (255, 255, 255)


def hexblock(data, indent="      "):
    digits = data.hex().upper()
    lines = [digits[i:i + 64] for i in range(0, len(digits), 64)]
    return "hex {\n" + "\n".join(indent + line for line in lines) + "\n" + indent[:-2] + "}"


def main():
    images = {
        "PLAY_NORMAL": png(32, 32, disc(32, (40, 160, 60), play)),
        "PLAY_OVER": png(32, 32, disc(32, (70, 200, 90), play)),
        "PLAY_DOWN": png(32, 32, disc(32, (20, 110, 40), play)),
        "STOP_NORMAL": png(32, 32, disc(32, (200, 50, 40), stop)),
        "FOLDER": png(24, 24, folder),
        "CROSSHAIR_BMP": bmp24(25, 25, crosshair),
    }
    if len(sys.argv) > 1:
        text = open(sys.argv[1], encoding="utf-8").read()
        for name, data in images.items():
            text = text.replace("@%s@" % name, hexblock(data))
        sys.stdout.write(text)
        return
    for name, data in images.items():
        sys.stdout.write("# %s\n%s\n\n" % (name, hexblock(data)))


if __name__ == "__main__":
    main()
