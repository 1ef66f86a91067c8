#!/usr/bin/python3
"""Draws the program's icons: a keyboard seen from above.

  resources/program.ico  (129) the window and program icon, 16, 32 and 48 pixels
  resources/banner.ico   (128) the banner icon, 32 pixels, with one key lit (the AltGr key that
                         types the layout's letters)

Run from the repository root: /usr/bin/python3 tools/icons/make_icons.py (Debian python3-pil). The icons
are checked in; run this again only to change them.
"""
import os
import sys

from PIL import Image, ImageDraw

SCALE = 8  # drawn large, then reduced: smooth edges at every size

BODY = (52, 73, 94, 255)
BODY_EDGE = (33, 47, 61, 255)
KEY = (236, 240, 241, 255)
LIT = (230, 126, 34, 255)


def keyboard(size, lit_key):
    big = size * SCALE
    image = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    u = big / 48.0  # drawing units: the 48-pixel grid
    top, bottom = 11 * u, 38 * u
    draw.rounded_rectangle([1 * u, top, 47 * u, bottom], radius=4 * u, fill=BODY, outline=BODY_EDGE, width=int(u))
    # Three rows of keys and a row with the space bar.
    rows = [(14.5, 10, 3.0), (20.5, 9, 4.5), (26.5, 8, 6.0)]
    for y, count, left in rows:
        for i in range(count):
            x = left + i * 4.2
            draw.rounded_rectangle([x * u, y * u, (x + 3.2) * u, (y + 3.8) * u], radius=0.8 * u, fill=KEY)
    y = 32.0
    draw.rounded_rectangle([4 * u, y * u, 10 * u, (y + 3.6) * u], radius=0.8 * u, fill=KEY)
    draw.rounded_rectangle([11.5 * u, y * u, 32 * u, (y + 3.6) * u], radius=0.8 * u, fill=KEY)
    draw.rounded_rectangle([33.5 * u, y * u, 39.5 * u, (y + 3.6) * u], radius=0.8 * u,
                           fill=LIT if lit_key else KEY)
    draw.rounded_rectangle([41 * u, y * u, 44 * u, (y + 3.6) * u], radius=0.8 * u, fill=KEY)
    return image.resize((size, size), Image.LANCZOS)


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources")
    program = keyboard(48, False)
    program.save(os.path.join(root, "program.ico"), sizes=[(16, 16), (32, 32), (48, 48)])
    banner = keyboard(32, True)
    banner.save(os.path.join(root, "banner.ico"), sizes=[(32, 32)])
    return 0


if __name__ == "__main__":
    sys.exit(main())
