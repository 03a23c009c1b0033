#!/usr/bin/env python3
"""Draw the launcher icon and write it as a multi-image .ico.

Usage: python3 res/make_icon.py OUTPUT.ico

The artwork (an optical disc with a green "play" triangle) is computed
procedurally, so the output is byte-for-byte reproducible and needs nothing
beyond the standard library.
"""
import math
import struct
import sys

SIZES = (48, 32, 16)
SUPERSAMPLE = 4  # 4x4 samples per pixel smooth the edges

# Standard Windows 16-colour palette, in its usual index order.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
       (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
       (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
       (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]

# 6x6x6 colour cube plus 40 grays that fall between the cube's own grays.
CUBE = [(r * 51, g * 51, b * 51)
        for r in range(6) for g in range(6) for b in range(6)]
PAL256 = CUBE + [(round(i * 255 / 41),) * 3 for i in range(1, 41)]

DISC_C, DISC_R, HOLE_R, HUB_R = (0.42, 0.42), 0.41, 0.075, 0.17
TRI = ((0.50, 0.44), (0.50, 0.98), (0.98, 0.71))


def lerp(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def tri_depth(x, y):
    """Distance inside the triangle (negative outside)."""
    d = float("inf")
    for (x0, y0), (x1, y1) in zip(TRI, TRI[1:] + TRI[:1]):
        ex, ey = x1 - x0, y1 - y0
        # TRI winds anticlockwise on screen (y down), so inside is positive.
        d = min(d, (ey * (x - x0) - ex * (y - y0)) / math.hypot(ex, ey))
    return d


def sample(x, y, line):
    """Colour (r, g, b, a) of one point; `line` is the outline width."""
    dt = tri_depth(x, y)
    if dt >= 0:
        if dt < line:
            return (10, 50, 20, 255)
        return lerp((70, 215, 70), (30, 150, 40), min(1.0, (y - 0.44) * 2)) + (255,)
    dx, dy = x - DISC_C[0], y - DISC_C[1]
    r = math.hypot(dx, dy)
    if r > DISC_R or r < HOLE_R:
        return (0, 0, 0, 0)
    if r > DISC_R - line or r < HOLE_R + line * 0.8:
        return (40, 60, 120, 255)
    if r < HUB_R:
        return (215, 220, 230, 255)
    # Two bright sheen bands across the disc, blue in between.
    t = 0.5 + 0.5 * math.cos(2 * (math.atan2(dy, dx) + math.pi / 4))
    return lerp((70, 120, 200), (225, 232, 245), t ** 1.5) + (255,)


def render(n):
    """Anti-aliased RGBA rows, top row first."""
    line = max(0.035, 1.0 / n)
    rows = []
    for py in range(n):
        row = []
        for px in range(n):
            acc = [0.0] * 4
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    r, g, b, a = sample((px + (sx + 0.5) / SUPERSAMPLE) / n,
                                        (py + (sy + 0.5) / SUPERSAMPLE) / n, line)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            a = acc[3] / SUPERSAMPLE ** 2
            rgb = [round(c / acc[3]) if acc[3] else 0 for c in acc[:3]]
            row.append((*rgb, round(a)))
        rows.append(row)
    return rows


def nearest(pal, rgb):
    # Weighted distance keeps greens and blues from collapsing into grays.
    return min(range(len(pal)), key=lambda i: 2 * (pal[i][0] - rgb[0]) ** 2 +
               4 * (pal[i][1] - rgb[1]) ** 2 + 3 * (pal[i][2] - rgb[2]) ** 2)


def pad4(b):
    return b + b"\0" * (-len(b) % 4)


def bmp_entry(rows, bits):
    """One BMP-in-ICO image: header, palette, XOR bitmap, AND mask."""
    n = len(rows)
    pal = {4: VGA, 8: PAL256}.get(bits, [])
    xor, mask = b"", b""
    for row in reversed(rows):  # bitmaps are stored bottom-up
        opaque = [p[3] >= (1 if bits == 32 else 128) for p in row]
        if bits == 32:
            line = b"".join(bytes((b, g, r, a)) for r, g, b, a in row)
        else:
            idx = [nearest(pal, p[:3]) if o else 0 for p, o in zip(row, opaque)]
            if bits == 4:
                idx += [0] * (n % 2)
                line = bytes(idx[i] << 4 | idx[i + 1] for i in range(0, n, 2))
            else:
                line = bytes(idx)
        xor += pad4(line)
        bits_row = [0 if o else 1 for o in opaque] + [0] * (-n % 8)
        mask += pad4(bytes(int("".join(map(str, bits_row[i:i + 8])), 2)
                           for i in range(0, len(bits_row), 8)))
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, bits, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in pal)
    return header + palette + xor + mask


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    art = {n: render(n) for n in SIZES}
    images = [(n, bits, bmp_entry(art[n], bits))
              for bits in (4, 8, 32) for n in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, bits, data in images:
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 16 if bits == 4 else 0,
                           0, 1, bits, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, _, data in images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
