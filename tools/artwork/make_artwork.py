#!/usr/bin/env python3
"""Generate Qarn's toolbar strip, application icon, About-box frames and
AutoScroll pan cursors.

Standard library only: every picture is drawn here from geometry or small
pixel maps, and the BMP / ICO / CUR containers are written with ``struct``.
The output is deterministic (byte-identical on every run).

Usage (from anywhere):
    python3 tools/artwork/make_artwork.py [--out DIR]

Default output directory: <repo>/src/shell/resources/art/
"""

from __future__ import annotations

import argparse
import math
import pathlib
import struct

REPO = pathlib.Path(__file__).resolve().parents[2]
DEFAULT_OUT = REPO / "src" / "shell" / "resources" / "art"

BLACK = (0, 0, 0)
OUTLINE = (32, 32, 32)  # deliberate very dark outline colour

# ---------------------------------------------------------------------------
# Binary containers
# ---------------------------------------------------------------------------


def pack_row(indices, bpp: int) -> bytes:
    """Pack one row of palette indices (or bits) MSB-first, padded to 4 bytes."""
    out = bytearray()
    if bpp == 8:
        out.extend(indices)
    elif bpp in (4, 1):
        per_byte = 8 // bpp
        for i in range(0, len(indices), per_byte):
            b = 0
            chunk = list(indices[i:i + per_byte])
            chunk += [0] * (per_byte - len(chunk))
            for v in chunk:
                b = (b << bpp) | (v & ((1 << bpp) - 1))
            out.append(b)
    else:
        raise ValueError(bpp)
    while len(out) % 4:
        out.append(0)
    return bytes(out)


def pack_bottom_up(rows, bpp: int) -> bytes:
    return b"".join(pack_row(r, bpp) for r in reversed(rows))


def palette_bytes(palette, entries: int) -> bytes:
    pal = list(palette) + [BLACK] * (entries - len(palette))
    assert len(pal) == entries
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in pal)


def info_header(width, height, bpp, image_size, clr_used, ppm=2835) -> bytes:
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, 0,
                       image_size, ppm, ppm, clr_used, 0)


def bmp_file(rows, bpp: int, palette) -> bytes:
    """Uncompressed (BI_RGB) bottom-up palettised BMP."""
    height = len(rows)
    width = len(rows[0])
    entries = 1 << bpp
    bits = pack_bottom_up(rows, bpp)
    pal = palette_bytes(palette, entries)
    offset = 14 + 40 + len(pal)
    size = offset + len(bits)
    return (struct.pack("<2sIHHI", b"BM", size, 0, 0, offset)
            + info_header(width, height, bpp, len(bits), entries)
            + pal + bits)


def icon_dib(rows, bpp: int, palette, and_rows) -> bytes:
    """DIB as stored inside .ico/.cur: height doubled, XOR bits, AND mask."""
    height = len(rows)
    width = len(rows[0])
    xor = pack_bottom_up(rows, bpp)
    andm = pack_bottom_up(and_rows, 1)
    pal = palette_bytes(palette, 1 << bpp)
    return (info_header(width, height * 2, bpp, len(xor) + len(andm), 0, 0)
            + pal + xor + andm)


def icon_container(images, kind: int) -> bytes:
    """images: list of (width, height, colour_count, field4, field6, dib).

    kind 1 = icon (field4 = planes, field6 = bit count),
    kind 2 = cursor (field4 = hotspot x, field6 = hotspot y)."""
    header = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    data = b""
    for (w, h, colours, f4, f6, dib) in images:
        entries += struct.pack("<BBBBHHII", w & 0xFF, h & 0xFF, colours & 0xFF,
                               0, f4, f6, len(dib), offset + len(data))
        data += dib
    return header + entries + data


# ---------------------------------------------------------------------------
# Small raster helpers
# ---------------------------------------------------------------------------


def new_canvas(w, h, fill=None):
    return [[fill] * w for _ in range(h)]


def raster(inside, w, h, ss=4, threshold=0.5):
    """Set of pixels whose supersampled coverage by inside(x, y) >= threshold.
    Continuous coordinates: pixel (i, j) spans [i, i+1) x [j, j+1)."""
    pts = set()
    n = ss * ss
    for j in range(h):
        for i in range(w):
            hits = 0
            for sy in range(ss):
                for sx in range(ss):
                    if inside(i + (sx + 0.5) / ss, j + (sy + 0.5) / ss):
                        hits += 1
            if hits >= threshold * n:
                pts.add((i, j))
    return pts


def dilate(pts, w, h, diagonal=True):
    out = set(pts)
    nbr = [(-1, 0), (1, 0), (0, -1), (0, 1)]
    if diagonal:
        nbr += [(-1, -1), (1, -1), (-1, 1), (1, 1)]
    for (x, y) in pts:
        for dx, dy in nbr:
            nx, ny = x + dx, y + dy
            if 0 <= nx < w and 0 <= ny < h:
                out.add((nx, ny))
    return out


def mirror_x(pts, w):
    return {(w - 1 - x, y) for (x, y) in pts}


def in_polygon(px, py, poly):
    """Even-odd rule point in polygon."""
    inside = False
    n = len(poly)
    for k in range(n):
        x1, y1 = poly[k]
        x2, y2 = poly[(k + 1) % n]
        if (y1 > py) != (y2 > py):
            xc = x1 + (py - y1) * (x2 - x1) / (y2 - y1)
            if px < xc:
                inside = not inside
    return inside


def polar(cx, cy, r, deg):
    """Screen-space point at radius r, angle deg (mathematical, y up)."""
    a = math.radians(deg)
    return (cx + r * math.cos(a), cy - r * math.sin(a))


def hsv(h, s, v):
    h = (h % 360.0) / 60.0
    i = int(h)
    f = h - i
    p, q, t = v * (1 - s), v * (1 - s * f), v * (1 - s * (1 - f))
    r, g, b = [(v, t, p), (q, v, p), (p, v, t),
               (p, q, v), (t, p, v), (v, p, q)][i % 6]
    return (round(r * 255), round(g * 255), round(b * 255))


def lerp(c1, c2, t):
    return tuple(round(a + (b - a) * t) for a, b in zip(c1, c2))


def from_map(rows, colours):
    """Pixel map (list of equal-length strings) -> canvas (None = background)."""
    canvas = []
    for r in rows:
        assert len(r) == len(rows[0]), r
        canvas.append([colours.get(ch) for ch in r])
    return canvas


# ---------------------------------------------------------------------------
# Toolbar (twenty 16x16 images)
# ---------------------------------------------------------------------------

T = 16


def tb_folder():
    m = [
        "................",
        "................",
        "..OOOO..........",
        ".OhhhhO.........",
        ".OhddddOOOOOOO..",
        ".OhdddddddddddO.",
        ".OhdddddddddddO.",
        ".OhddOOOOOOOOOOO",
        ".OhdOYYYYYYYYYYO",
        ".OhdOyyyyyyyyyO.",
        ".OhOyyyyyyyyyyO.",
        ".OhOyyyyyyyyyO..",
        ".OOyyyyyyyyyyO..",
        ".OOOOOOOOOOOOO..",
        "................",
        "................",
    ]
    return from_map(m, {
        "O": (96, 64, 16),      # dark brown outline
        "h": (232, 200, 120),   # highlight on the back panel
        "d": (200, 160, 72),    # tan back panel
        "Y": (255, 244, 150),   # lit edge of the front flap
        "y": (248, 216, 64),    # yellow front flap
    })


def tb_floppy():
    m = [
        "................",
        ".OOOOOOOOOOOOO..",
        ".ObWWWWWWWWWWbO.",
        ".ObWllllllllWbbO",
        ".ObWWWWWWWWWWbbO",
        ".ObWllllllllWbbO",
        ".ObWWWWWWWWWWbbO",
        ".ObbbbbbbbbbbbbO",
        ".ObbbbbbbbbbbbbO",
        ".ObbsssssssssbbO",
        ".ObbssddsssssbbO",
        ".ObbssddsssssbbO",
        ".ObbssddsssssbbO",
        ".ObbsssssssssbbO",
        ".OOOOOOOOOOOOOOO",
        "................",
    ]
    return from_map(m, {
        "O": (16, 24, 72),      # navy outline
        "b": (40, 80, 200),     # blue body
        "W": (244, 244, 244),   # label
        "l": (140, 150, 210),   # label lines
        "s": (200, 200, 208),   # metal shutter
        "d": (64, 64, 80),      # shutter window
    })


def tb_dotted_square(side):
    c = new_canvas(T, T)
    x0 = 7 - (side - 1) // 2      # every square is centred on pixel (7, 7)
    y0 = x0
    s1 = side - 1
    path = ([(x0 + k, y0) for k in range(s1)]
            + [(x0 + s1, y0 + k) for k in range(s1)]
            + [(x0 + s1 - k, y0 + s1) for k in range(s1)]
            + [(x0, y0 + s1 - k) for k in range(s1)])
    for k, (x, y) in enumerate(path):
        if k % 2 == 0:
            c[y][x] = (240, 240, 240)
    return c


def gradient_fill(shape, outline=True):
    """Colour a shape with a rainbow along x and a light-to-dark shade along y,
    surrounded by a very dark outline."""
    c = new_canvas(T, T)
    if outline:
        for (x, y) in dilate(shape, T, T):
            c[y][x] = OUTLINE
    for (x, y) in shape:
        hue = 280.0 - 280.0 * x / (T - 1)          # violet .. red
        v = 1.0 - 0.3 * (y // 4) / 3.0             # four shade bands
        s = 0.85 if y >= 4 else 0.6                # top band slightly paler
        c[y][x] = hsv(hue, s, v)
    return c


def shape_straight_left():
    def inside(x, y):
        cy = 8.0
        head = in_polygon(x, y, [(1.6, cy), (6.6, cy - 5.0), (6.6, cy + 5.0)])
        shaft = 6.0 <= x <= 11.0 and abs(y - cy) <= 2.0
        bar = 12.9 <= x <= 14.6 and abs(y - cy) <= 5.0
        return head or shaft or bar
    return raster(inside, T, T)


def shape_curved_ccw():
    cx, cy = 9.2, 7.6
    ri, ro = 3.0, 5.0
    rm, hw = (ri + ro) / 2, 4.2
    a_start, a_end = -30.0, 180.0
    tan = (-math.sin(math.radians(a_end)), -math.cos(math.radians(a_end)))
    b1 = polar(cx, cy, rm - hw, a_end)
    b2 = polar(cx, cy, rm + hw, a_end)
    bc = polar(cx, cy, rm, a_end)
    tip = (bc[0] + 5.5 * tan[0], bc[1] + 5.5 * tan[1])

    def inside(x, y):
        dx, dy = x - cx, cy - y
        r = math.hypot(dx, dy)
        a = math.degrees(math.atan2(dy, dx))
        if a < a_start - 1e-9:
            a += 360.0
        ring = ri <= r <= ro and a_start <= a <= a_end
        return ring or in_polygon(x, y, [b1, tip, b2])
    return raster(inside, T, T)


def shape_restore():
    def inside(x, y):
        cy = 8.0
        dot = math.hypot(x - 8.0, y - cy) <= 2.2
        left = in_polygon(x, y, [(0.8, cy - 4.6), (4.8, cy), (0.8, cy + 4.6)])
        right = in_polygon(x, y, [(15.2, cy - 4.6), (11.2, cy), (15.2, cy + 4.6)])
        return dot or left or right
    return raster(inside, T, T)


def swatch(colours_of):
    """14x12 swatch (with 1 px border) of 12 vertical stripes, centred."""
    c = new_canvas(T, T)
    x0, y0, w, h = 1, 2, 14, 12
    for y in range(y0, y0 + h):
        for x in range(x0, x0 + w):
            edge = x in (x0, x0 + w - 1) or y in (y0, y0 + h - 1)
            c[y][x] = OUTLINE if edge else colours_of((x - x0 - 1) / (w - 3))
    return c


def hue_ramp(span):
    """Stripe colours for the first 'span' of the full ramp
    red -> yellow -> green -> cyan -> blue -> magenta -> white.
    The 1/8 ramp is drawn from dark red to yellow so it reads at 16x16."""
    def f(t):
        if span <= 0.125:
            if t < 0.5:
                return lerp((112, 0, 0), (255, 64, 0), t * 2)
            return lerp((255, 64, 0), (255, 240, 0), (t - 0.5) * 2)
        u = t * span
        if u <= 0.625:
            return hsv(480.0 * u, 1.0, 1.0)     # 0 .. 300 degrees
        return lerp(hsv(300, 1.0, 1.0), (252, 252, 252), (u - 0.625) / 0.375)
    return f


def tb_hourglass(fraction):
    m = [
        "................",
        ".WWWWWWWWWWWWWW.",
        ".wwwwwwwwwwwwww.",
        "..G..........G..",
        "..G..........G..",
        "...G........G...",
        "....G......G....",
        ".....G....G.....",
        ".....G....G.....",
        "....G......G....",
        "...G........G...",
        "..G..........G..",
        "..G..........G..",
        ".WWWWWWWWWWWWWW.",
        ".wwwwwwwwwwwwww.",
        "................",
    ]
    pal = {
        "W": (196, 132, 64),    # wooden cap, lit
        "w": (120, 72, 32),     # wooden cap, shade
        "G": (90, 110, 140),    # glass wall
    }
    c = from_map(m, pal)
    glass = (200, 228, 244)
    sand = (244, 196, 72)
    sand_dark = (212, 150, 40)
    top, bottom = [], []
    for y in range(3, 13):
        xs = [x for x in range(T) if m[y][x] == "G"]
        for x in range(xs[0] + 1, xs[1]):
            c[y][x] = glass
            (top if y <= 7 else bottom).append((x, y))
    n = len(bottom)
    fill = round(fraction * n)

    def mound(p):  # lowest rows first, centre first -> a heap of sand
        x, y = p
        return ((12 - y) * 2 + abs(x - 7.5), x)
    bottom.sort(key=mound)
    for (x, y) in bottom[:fill]:
        c[y][x] = sand_dark if y == 12 else sand
    left = n - fill

    def drain(p):  # the upper chamber empties from the middle of its surface
        x, y = p
        return (y, -abs(x - 7.5), x)
    top.sort(key=drain)
    for (x, y) in top[len(top) - left:]:
        c[y][x] = sand
    if 0 < fill < n:  # a thin falling stream through the neck
        for y in (7, 8):
            if c[y][7] == glass:
                c[y][7] = sand
    return c


def make_toolbar():
    """320x16 strip, 8 bpp, black background; image k is at x = 16k."""
    images = [
        tb_folder(),
        tb_floppy(),
        tb_dotted_square(15),
        tb_dotted_square(11),
        tb_dotted_square(7),
        tb_dotted_square(5),
        gradient_fill(shape_straight_left()),
        gradient_fill(shape_curved_ccw()),
        gradient_fill(shape_restore()),
        gradient_fill(mirror_x(shape_curved_ccw(), T)),
        gradient_fill(mirror_x(shape_straight_left(), T)),
        swatch(lambda t: (round(40 + 212 * t),) * 3),
        swatch(hue_ramp(0.125)),
        swatch(hue_ramp(0.25)),
        swatch(hue_ramp(0.5)),
        swatch(hue_ramp(1.0)),
        tb_hourglass(1 / 8),
        tb_hourglass(1 / 4),
        tb_hourglass(1 / 2),
        tb_hourglass(1.0),
    ]
    assert len(images) == 20
    strip = new_canvas(T * 20, T, BLACK)
    for k, img in enumerate(images):
        for y in range(T):
            for x in range(T):
                if img[y][x] is not None:
                    strip[y][T * k + x] = img[y][x]
    colours = sorted({px for row in strip for px in row} - {BLACK})
    palette = [BLACK] + colours
    if len(palette) > 256:
        raise SystemExit(f"toolbar uses {len(palette)} colours (> 256)")
    index = {c: i for i, c in enumerate(palette)}
    rows = [[index[px] for px in row] for row in strip]
    return bmp_file(rows, 8, palette)


# ---------------------------------------------------------------------------
# Mandelbrot-based pictures (icon and About frames)
# ---------------------------------------------------------------------------

MAX_IT = 256
NEAR_IT = 9   # escapes this late or later: yellow border
MID_IT = 5    # escapes this late or later: red/orange border
VIEW_CX, VIEW_CY, VIEW_W = -0.62, 0.0, 2.9


def escape(cr, ci):
    """Escape iteration of z -> z^2 + c, or None if c seems to be inside."""
    q = (cr - 0.25) ** 2 + ci * ci
    if q * (q + (cr - 0.25)) <= 0.25 * ci * ci or (cr + 1) ** 2 + ci * ci <= 1 / 16:
        return None
    zr = zi = 0.0
    for n in range(MAX_IT):
        zr2, zi2 = zr * zr, zi * zi
        if zr2 + zi2 > 4.0:
            return n
        zi = 2 * zr * zi + ci
        zr = zr2 - zi2 + cr
    return None


_SAMPLE_CACHE = {}


def sample_classes(size, ss):
    """Per-pixel fractions (inside, near, mid, far) over an ss x ss grid."""
    key = (size, ss)
    if key in _SAMPLE_CACHE:
        return _SAMPLE_CACHE[key]
    step = VIEW_W / (size * ss)
    x0 = VIEW_CX - VIEW_W / 2
    y0 = VIEW_CY + VIEW_W / 2
    out = []
    for j in range(size):
        row = []
        for i in range(size):
            counts = [0, 0, 0, 0]
            for sy in range(ss):
                ci = y0 - (j * ss + sy + 0.5) * step
                for sx in range(ss):
                    cr = x0 + (i * ss + sx + 0.5) * step
                    n = escape(cr, ci)
                    if n is None:
                        counts[0] += 1
                    elif n >= NEAR_IT:
                        counts[1] += 1
                    elif n >= MID_IT:
                        counts[2] += 1
                    else:
                        counts[3] += 1
            row.append(tuple(k / (ss * ss) for k in counts))
        out.append(row)
    _SAMPLE_CACHE[key] = out
    return out


CRISP_INSIDE = 0.9


def shade(fracs, inside, near, mid, far, crisp=False):
    if crisp:
        # hard edge against the set: a pixel is either inside (black) or is
        # coloured only by the samples that escaped -> no muddy black mixes
        if fracs[0] >= CRISP_INSIDE:
            return inside
        rest = 1.0 - fracs[0]
        fracs = (0.0,) + tuple(f / rest for f in fracs[1:])
    r = g = b = 0.0
    for f, c in zip(fracs, (inside, near, mid, far)):
        r += f * c[0]
        g += f * c[1]
        b += f * c[2]
    return (r, g, b)


def d2(a, b):
    """Luminance-weighted squared colour distance."""
    return (((a[0] - b[0]) * 0.30) ** 2 + ((a[1] - b[1]) * 0.59) ** 2
            + ((a[2] - b[2]) * 0.22) ** 2)


def kmeans_palette(pixels, k, fixed=()):
    """Deterministic colour quantisation: farthest-point seeding + Lloyd."""
    counts = {}
    for p in pixels:
        counts[p] = counts.get(p, 0) + 1
    colours = sorted(counts)

    centres = [tuple(map(float, f)) for f in fixed]
    if not centres:
        centres = [max(colours, key=lambda c: (counts[c], c))]
    while len(centres) < min(k, len(colours)):
        best = max(colours, key=lambda c: (min(d2(c, m) for m in centres), c))
        centres.append(best)
    nfixed = len(fixed)
    for _ in range(30):
        sums = [[0.0, 0.0, 0.0, 0] for _ in centres]
        for c in colours:
            m = min(range(len(centres)), key=lambda i: (d2(c, centres[i]), i))
            w = counts[c]
            s = sums[m]
            s[0] += c[0] * w
            s[1] += c[1] * w
            s[2] += c[2] * w
            s[3] += w
        new = []
        for i, s in enumerate(sums):
            if i < nfixed or s[3] == 0:
                new.append(centres[i])
            else:
                new.append((s[0] / s[3], s[1] / s[3], s[2] / s[3]))
        if new == centres:
            break
        centres = new
    pal = [tuple(max(0, min(255, round(v))) for v in c) for c in centres]
    # order the palette by brightness for readability (black first)
    pal = sorted(set(pal), key=lambda c: (0.3 * c[0] + 0.59 * c[1] + 0.11 * c[2], c))
    while len(pal) < k:
        pal.append(BLACK)
    return pal


def quantise(img, palette):
    return [[min(range(len(palette)), key=lambda i: (d2(p, palette[i]), i)) for p in row]
            for row in img]


ICON_BG = (112, 0, 0)
ICON_INSIDE = (0, 0, 0)
ICON_NEAR = (255, 232, 32)
ICON_MID = (232, 56, 0)


def render(size, ss, colours, crisp=False):
    fr = sample_classes(size, ss)
    return [[shade(f, *colours, crisp=crisp) for f in row] for row in fr]


def make_icon():
    cols = (ICON_INSIDE, ICON_NEAR, ICON_MID, ICON_BG)
    big = render(32, 8, cols)
    small = render(16, 16, cols, crisp=True)
    allpx = [tuple(round(v) for v in p) for row in big + small for p in row]
    palette = kmeans_palette(allpx, 16, fixed=(ICON_INSIDE, ICON_BG, ICON_NEAR, ICON_MID))
    images = []
    for img, size in ((big, 32), (small, 16)):
        rows = quantise(img, palette)
        andm = [[0] * size for _ in range(size)]
        images.append((size, size, 16, 1, 4, icon_dib(rows, 4, palette, andm)))
    return icon_container(images, 1)


ABOUT_LEVELS = (0.4, 0.7, 1.0)


def make_about_frames():
    frames = []
    for lvl in ABOUT_LEVELS:
        near = lerp(ICON_BG, ICON_NEAR, lvl)
        mid = lerp(ICON_BG, ICON_MID, lvl)
        frames.append(render(32, 8, (ICON_INSIDE, near, mid, ICON_BG)))
    allpx = [tuple(round(v) for v in p) for f in frames for row in f for p in row]
    fixed = [ICON_INSIDE, ICON_BG]
    for lvl in ABOUT_LEVELS:
        fixed += [lerp(ICON_BG, ICON_NEAR, lvl), lerp(ICON_BG, ICON_MID, lvl)]
    palette = kmeans_palette(allpx, 16, fixed=fixed)
    strip = [[None] * 96 for _ in range(32)]
    for k, f in enumerate(frames):
        q = quantise(f, palette)
        for y in range(32):
            strip[y][32 * k:32 * k + 32] = q[y]
    return bmp_file(strip, 4, palette)


# ---------------------------------------------------------------------------
# Pan cursors (32x32 monochrome)
# ---------------------------------------------------------------------------

C = 32
CC = 16.5           # geometric centre = centre of the hotspot pixel (16, 16)


def arrowhead(deg, base_r, tip_r, half_w):
    a = math.radians(deg)
    ux, uy = math.cos(a), -math.sin(a)       # screen direction
    px, py = -uy, ux                          # perpendicular
    bx, by = CC + base_r * ux, CC + base_r * uy
    return [(bx + half_w * px, by + half_w * py),
            (CC + tip_r * ux, CC + tip_r * uy),
            (bx - half_w * px, by - half_w * py)]


def cursor_shape(directions, base_r, tip_r, half_w):
    heads = [arrowhead(d, base_r, tip_r, half_w) for d in directions]

    def inside(x, y):
        r = math.hypot(x - CC, y - CC)
        if 3.6 <= r <= 5.6 or r <= 1.45:
            return True
        return any(in_polygon(x, y, h) for h in heads)
    return raster(inside, C, C)


def make_cursor(white):
    black = dilate(white, C, C) - white
    xor_rows, and_rows = [], []
    for y in range(C):
        xr, ar = [], []
        for x in range(C):
            if (x, y) in white:
                xr.append(1)
                ar.append(0)
            elif (x, y) in black:
                xr.append(0)
                ar.append(0)
            else:
                xr.append(0)
                ar.append(1)
        xor_rows.append(xr)
        and_rows.append(ar)
    dib = icon_dib(xor_rows, 1, [BLACK, (255, 255, 255)], and_rows)
    return icon_container([(C, C, 2, 16, 16, dib)], 2)


CURSORS = {
    "scroll_centre": None,
    "scroll_up": 90,
    "scroll_down": 270,
    "scroll_right": 0,
    "scroll_left": 180,
    "scroll_upright": 45,
    "scroll_upleft": 135,
    "scroll_downright": 315,
    "scroll_downleft": 225,
}


def make_cursors():
    out = {}
    for name, deg in CURSORS.items():
        if deg is None:
            white = cursor_shape((0, 90, 180, 270), 8.2, 13.0, 3.6)
        else:
            white = cursor_shape((deg,), 7.8, 14.3, 6.4)
        out[name + ".cur"] = make_cursor(white)
    return out


# ---------------------------------------------------------------------------


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", type=pathlib.Path, default=DEFAULT_OUT,
                    help="output directory (default: %(default)s)")
    args = ap.parse_args()
    files = {
        "toolbar.bmp": make_toolbar(),
        "qarn.ico": make_icon(),
        "about_frames.bmp": make_about_frames(),
    }
    files.update(make_cursors())
    args.out.mkdir(parents=True, exist_ok=True)
    for name, data in files.items():
        (args.out / name).write_bytes(data)
        print(f"{len(data):6d}  {args.out / name}")


if __name__ == "__main__":
    main()
