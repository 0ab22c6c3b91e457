#!/usr/bin/env python3
"""Draws the installer's icon, a quill before a lamp's glow, and writes resources/lumenquill.ico.

The file holds one 32 x 32 image in 16 colours: a BITMAPINFOHEADER with the doubled height of icons,
the 16-entry palette, the 4-bit colour bitmap and the 1-bit AND mask (1 = transparent), both bottom-up
with rows padded to 4 bytes. Run it from anywhere: python3 resources/make_icon.py
"""

import math
import struct
from pathlib import Path

SIZE = 32

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, OLIVE, NAVY, SILVER, GRAY, YELLOW, BLUE, WHITE = 0, 3, 4, 7, 8, 11, 12, 15
TRANSPARENT = None

NIB = (4.5, 27.5)   # where the quill writes
TIP = (28.0, 3.0)   # the feather's end


def quill_colour(x, y):
    """The quill's colour at pixel centre (x, y), or None outside it."""
    dx, dy = TIP[0] - NIB[0], TIP[1] - NIB[1]
    length = math.hypot(dx, dy)
    ux, uy = dx / length, dy / length
    px, py = x - NIB[0], y - NIB[1]
    t = (px * ux + py * uy) / length          # 0 at the nib, 1 at the tip
    side = px * -uy + py * ux                 # signed distance from the shaft
    if t < -0.02 or t > 1.0:
        return None
    if abs(side) < 0.75:
        return BLACK if t < 0.2 else GRAY     # the cut nib, then the shaft
    # The vane: widest at 60 % of the length, tapering to both ends, a little fuller on one side.
    if t < 0.3:
        return None
    width = 4.2 * math.sin(math.pi * (t - 0.3) / 0.7) ** 0.7
    reach = width if side < 0 else width * 0.7
    if abs(side) > reach:
        return None
    along = t * length
    if side > 0 and int(along) % 4 == 0:
        return SILVER                         # barbs on the shaded side
    return WHITE if abs(side) < reach - 1.0 else SILVER


def glow_colour(x, y):
    """The lamp's glow behind the quill: a yellow disc with an olive rim, or None."""
    r = math.hypot(x - 10.5, y - 10.0)
    if r <= 6.5:
        return YELLOW
    if r <= 8.0:
        return OLIVE
    return None


def ink_colour(x, y):
    """A drop of ink under the nib."""
    r = math.hypot(x - 3.0, y - 29.5)
    if r <= 0.8:
        return BLUE
    if r <= 1.6:
        return NAVY
    return None


def draw():
    pixels = [[TRANSPARENT] * SIZE for _ in range(SIZE)]
    for y in range(SIZE):
        for x in range(SIZE):
            cx, cy = x + 0.5, y + 0.5
            for layer in (quill_colour, ink_colour, glow_colour):
                colour = layer(cx, cy)
                if colour is not None:
                    pixels[y][x] = colour
                    break
    # A black outline round everything, one pixel wide, so the icon reads on any desktop.
    outline = [row[:] for row in pixels]
    for y in range(SIZE):
        for x in range(SIZE):
            if pixels[y][x] is not TRANSPARENT:
                continue
            for nx, ny in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1)):
                if 0 <= nx < SIZE and 0 <= ny < SIZE and pixels[ny][nx] not in (TRANSPARENT, BLACK):
                    outline[y][x] = BLACK
                    break
    return outline


def encode_ico(pixels):
    xor_rows, and_rows = [], []
    for row in reversed(pixels):  # bottom-up
        nibbles = [0 if p is TRANSPARENT else p for p in row]
        xor_rows.append(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, SIZE, 2)))
        bits = 0
        for p in row:
            bits = (bits << 1) | (1 if p is TRANSPARENT else 0)
        and_rows.append(bits.to_bytes(SIZE // 8, "big"))  # 4 bytes: already padded
    xor = b"".join(xor_rows)
    mask = b"".join(and_rows)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    target = Path(__file__).resolve().parent / "lumenquill.ico"
    target.write_bytes(encode_ico(draw()))
    print(f"wrote {target}")


if __name__ == "__main__":
    main()
