#!/usr/bin/env python3
"""Prints a file as a hex block for a form description.

Usage: hexblock.py picture.png
then paste the output after "ImageNormal = " (or any binary property).
"""
import sys

sys.path.insert(0, __import__("os").path.dirname(__file__))
from make_images import hexblock  # noqa: E402

if len(sys.argv) != 2:
    sys.exit(__doc__)
with open(sys.argv[1], "rb") as f:
    sys.stdout.write(hexblock(f.read(), "  ") + "\n")
