#!/usr/bin/env python3
"""Draw the updater's program icon and write it as a Windows .ico file.

Usage: python3 make_icon.py OUTPUT.ico

The icon is a blue rounded square holding a white envelope, with a green
"clean mail" badge carrying a check mark at the lower right. Every size is
rendered from the same vector description in unit coordinates (0..1), with
4x4 supersampling for anti-aliasing. Only the standard library is used and
the output is byte-for-byte deterministic.
"""
import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
SUPERSAMPLE = 4

BLUE_TOP = (0x2A, 0x6C, 0xC0)
BLUE_BOTTOM = (0x17, 0x4C, 0x92)
WHITE = (0xFF, 0xFF, 0xFF)
FLAP = (0xA8, 0xBF, 0xDF)
GREEN = (0x2E, 0xA8, 0x4A)
# Check mark points in units of the badge radius, relative to the badge centre.
# Both arms run at 45 degrees, and at 16 px every point lands on a pixel centre.
CHECK = ((-0.625, -0.125), (-0.125, 0.375), (0.625, -0.375))


def in_round_rect(x, y, x0, y0, x1, y1, r):
    """True if (x, y) lies inside the rectangle with corners rounded by r."""
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and x0 <= x <= x1 and y0 <= y <= y1


def on_polyline(x, y, points, half):
    """True if (x, y) is within half of the polyline (a stroke with round caps and joins)."""
    for (ax, ay), (bx, by) in zip(points, points[1:]):
        dx, dy = bx - ax, by - ay
        t = min(max(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0), 1.0)
        if (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= half * half:
            return True
    return False


def layout(size):
    """Geometry for one size; small sizes get bolder strokes and a bigger badge.

    Edges and the badge centre are snapped to whole pixels so small renders
    stay crisp, and stroke widths have a floor in pixels so they never fade
    below about one pixel.
    """
    px = 1.0 / size

    def snap(v):
        return round(v * size) / size

    small = size <= 16
    bg = tuple(snap(v) for v in (0.03, 0.03, 0.97, 0.97))
    envelope = (0.12, 0.19, 0.82, 0.69) if small else (0.17, 0.26, 0.83, 0.70)
    x0, y0, x1, y1 = (snap(v) for v in envelope)
    r = snap(0.25 if small else 0.205)
    c = snap(bg[2] - r - (0.0 if small else 0.02))
    inset = max(0.035, 1.5 * px)
    # Large badges have room to spare, so their check mark sits further from the rim.
    k = 1.0 if small else 0.8
    return {
        "bg": bg + (0.2,),
        "env": (x0, y0, x1, y1, max(0.035, px)),
        # The flap is a V from the top corners meeting just below the envelope centre.
        "flap": [(x0 + inset, y0 + inset), ((x0 + x1) / 2, (y0 + y1) / 2 + 0.04),
                 (x1 - inset, y0 + inset)],
        "flap_w": max(0.022, 0.5 * px),
        "badge": (c, c, r),
        # A ring in the background blue separates the badge from the envelope.
        "ring": max(0.03, 0.9 * px),
        "check": [(c + k * r * u, c + k * r * v) for u, v in CHECK],
        "check_w": max(0.045, 0.7 * px),
    }


def shade(x, y, g):
    """Colour (r, g, b) or None (transparent) of the icon at point (x, y)."""
    bx, by, br = g["badge"]
    d2 = (x - bx) ** 2 + (y - by) ** 2
    # The badge is painted on top of everything, even where it reaches past the square.
    if d2 <= br * br:
        return WHITE if on_polyline(x, y, g["check"], g["check_w"]) else GREEN
    x0, y0, x1, y1, r = g["bg"]
    if not in_round_rect(x, y, x0, y0, x1, y1, r):
        return None
    if in_round_rect(x, y, *g["env"]) and d2 > (br + g["ring"]) ** 2:
        return FLAP if on_polyline(x, y, g["flap"], g["flap_w"]) else WHITE
    t = (y - y0) / (y1 - y0)
    return tuple(round(a + (b - a) * t) for a, b in zip(BLUE_TOP, BLUE_BOTTOM))


def render(size):
    """Render one size; returns top-down rows of straight (non-premultiplied) RGBA bytes."""
    g = layout(size)
    n = SUPERSAMPLE
    offsets = [(i + 0.5) / n for i in range(n)]
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            # Colour is averaged over covered samples only (straight alpha), so
            # edges keep their hue instead of darkening toward transparent black.
            acc = [0, 0, 0, 0]
            for oy in offsets:
                for ox in offsets:
                    c = shade((px + ox) / size, (py + oy) / size, g)
                    if c:
                        acc[0] += c[0]
                        acc[1] += c[1]
                        acc[2] += c[2]
                        acc[3] += 1
            if acc[3]:
                row += bytes((round(acc[0] / acc[3]), round(acc[1] / acc[3]),
                              round(acc[2] / acc[3]), round(255 * acc[3] / (n * n))))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows


def png_bytes(size, rows):
    """Encode RGBA rows as an 8-bit RGBA PNG (no ancillary chunks, so no timestamps)."""
    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data))
    raw = b"".join(b"\x00" + r for r in rows)
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib_bytes(size, rows):
    """Encode RGBA rows as an icon DIB: header, bottom-up BGRA, then the 1-bit AND mask."""
    xor = bytearray()
    for r in reversed(rows):
        for i in range(0, len(r), 4):
            xor += bytes((r[i + 2], r[i + 1], r[i], r[i + 3]))
    # Mask bit 1 = transparent; old renderers that ignore alpha rely on it.
    stride = (size + 31) // 32 * 4
    mask = bytearray()
    for r in reversed(rows):
        line = bytearray(stride)
        for x in range(size):
            if r[4 * x + 3] == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def build_ico():
    """Return the complete .ico file contents."""
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, png_bytes(size, rows) if size >= 256 else dib_bytes(size, rows)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        # A width/height byte of 0 means 256.
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    with open(sys.argv[1], "wb") as f:
        f.write(build_ico())


if __name__ == "__main__":
    main()
