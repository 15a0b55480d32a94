#!/usr/bin/python3
"""Draws the installer's pictures, the caption-button strip and the program icon.

Everything is drawn at SS times the final size and reduced with LANCZOS, so edges
are smooth. The output is the same byte for byte on every run (no dates, no
text chunks). Usage: make_artwork.py [OUTPUT_DIR]
"""
import io
import math
import os
import struct
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

SS = 4
FONT_HEAVY = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"
FONT_LIGHT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"

# Palette: the window is dark slate; the product colour runs from blue to teal.
BLUE_DEEP = (6, 82, 196)
BLUE = (0, 136, 255)
TEAL = (0, 196, 190)
WHITE = (255, 255, 255)
SLATE = (44, 56, 72)
DANGER = (232, 17, 35)

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


# ---------------------------------------------------------------- helpers

def canvas(w, h, fill=(0, 0, 0, 0)):
    return Image.new("RGBA", (w * SS, h * SS), fill)


def reduce(img, w, h):
    return img.resize((w, h), Image.LANCZOS)


def png_bytes(img):
    buf = io.BytesIO()
    img.save(buf, "PNG", optimize=True)
    return buf.getvalue()


def gradient(size, stops, horizontal=True):
    """Linear gradient through (position 0..1, RGB(A)) stops."""
    w, h = size
    n = w if horizontal else h
    line = []
    for i in range(n):
        t = i / max(1, n - 1)
        for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
            if t <= p1:
                k = 0.0 if p1 == p0 else (t - p0) / (p1 - p0)
                break
        c0, c1 = tuple(c0) + (255,) * (4 - len(c0)), tuple(c1) + (255,) * (4 - len(c1))
        line.append(tuple(round(a + (b - a) * k) for a, b in zip(c0, c1)))
    strip = Image.new("RGBA", (n, 1) if horizontal else (1, n))
    strip.putdata(line)
    return strip.resize(size, Image.NEAREST)


def rounded_mask(size, box, rx, ry=None):
    """L mask of a rectangle whose corners are ellipse quarters rx by ry."""
    ry = rx if ry is None else ry
    m = Image.new("L", size, 0)
    d = ImageDraw.Draw(m)
    x0, y0, x1, y1 = box
    d.rectangle((x0 + rx, y0, x1 - rx, y1), fill=255)
    d.rectangle((x0, y0 + ry, x1, y1 - ry), fill=255)
    for cx, cy in ((x0, y0), (x1 - 2 * rx, y0), (x0, y1 - 2 * ry), (x1 - 2 * rx, y1 - 2 * ry)):
        d.ellipse((cx, cy, cx + 2 * rx, cy + 2 * ry), fill=255)
    return m


def paint(dst, fill, mask):
    """Composites `fill` (an image or a colour) through `mask` over dst."""
    layer = fill.copy() if isinstance(fill, Image.Image) else Image.new("RGBA", dst.size, fill)
    layer.putalpha(ImageChops.multiply(layer.getchannel("A"), mask))
    dst.alpha_composite(layer)


def bezier(points, p0, c0, c1, p1, steps=24):
    for i in range(1, steps + 1):
        t = i / steps
        u = 1 - t
        points.append((u * u * u * p0[0] + 3 * u * u * t * c0[0] + 3 * u * t * t * c1[0] + t * t * t * p1[0],
                       u * u * u * p0[1] + 3 * u * u * t * c0[1] + 3 * u * t * t * c1[1] + t * t * t * p1[1]))


def path(start, segments, x, y, scale):
    """Polygon of a closed cubic path given in a 100 x 100 design box."""
    pts = [start]
    cur = start
    for c0, c1, end in segments:
        bezier(pts, cur, c0, c1, end)
        cur = end
    return [(x + px * scale, y + py * scale) for px, py in pts]


def shape_mask(size, polygons, width=0, ellipses=()):
    m = Image.new("L", size, 0)
    d = ImageDraw.Draw(m)
    for poly in polygons:
        if width:
            d.line(poly, fill=255, width=width, joint="curve")
            r = width / 2
            for px, py in (poly[0], poly[-1]):
                d.ellipse((px - r, py - r, px + r, py + r), fill=255)
        else:
            d.polygon(poly, fill=255)
    for box in ellipses:
        d.ellipse(box, fill=255)
    return m


# ------------------------------------------------------------------ whale

# Side view facing right, the tail raised with its flukes on top.
WHALE_BODY = ((98, 58), [
    ((98, 38), (82, 27), (62, 27)),     # head and back
    ((44, 27), (32, 40), (25, 50)),
    ((21, 45), (19, 40), (19, 35)),     # tail stock, right edge
    ((23, 28), (28, 22), (36, 19)),     # right fluke
    ((28, 19), (20, 22), (15, 26)),     # back into the notch
    ((11, 20), (5, 18), (-1, 19)),      # left fluke
    ((3, 26), (8, 33), (11, 38)),
    ((11, 52), (14, 66), (26, 74)),     # tail stock, left edge, down to the belly
    ((38, 84), (52, 87), (64, 87)),     # belly
    ((82, 87), (98, 77), (98, 58)),     # jaw
])
WHALE_BELLY = ((97, 66), [
    ((92, 70), (82, 73), (68, 74)),
    ((52, 75), (38, 74), (27, 70)),
    ((36, 82), (52, 87), (64, 87)),
    ((82, 87), (95, 78), (97, 66)),
])
WHALE_GROOVES = [
    ((88, 77), [((80, 80), (70, 81), (58, 80))]),
    ((84, 82), [((76, 84), (66, 85), (54, 84))]),
]
WHALE_SPOUT = [
    ((70, 24), [((69, 16), (66, 10), (59, 6))]),
    ((72, 24), [((73, 15), (76, 9), (84, 5))]),
    ((71, 24), [((71, 16), (71, 10), (71, 3))]),
]


def draw_whale(img, x, y, scale, body=WHITE, belly=(196, 236, 255), eye=(10, 60, 150),
               detail=True, shadow=True):
    size = img.size
    body_poly = path(*WHALE_BODY, x, y, scale)
    body_mask = shape_mask(size, [body_poly])
    if shadow:
        sh = body_mask.filter(ImageFilter.GaussianBlur(scale * 3))
        sh = ImageChops.offset(sh, int(scale * 1.5), int(scale * 3))
        paint(img, (0, 30, 90, 90), sh)
    paint(img, body + (255,), body_mask)
    if detail:
        belly_mask = ImageChops.multiply(shape_mask(size, [path(*WHALE_BELLY, x, y, scale)]), body_mask)
        paint(img, belly + (255,), belly_mask)
        grooves = shape_mask(size, [path(*g, x, y, scale) for g in WHALE_GROOVES], width=max(1, int(scale * 1.6)))
        paint(img, (120, 190, 240, 255), ImageChops.multiply(grooves, body_mask))
        spout = shape_mask(size, [path(*s, x, y, scale) for s in WHALE_SPOUT], width=max(1, int(scale * 3.2)))
        paint(img, body + (235,), spout)
    r = scale * (3.6 if detail else 5)
    ex, ey = x + 80 * scale, y + 52 * scale
    paint(img, eye + (255,), shape_mask(size, [], ellipses=[(ex - r, ey - r, ex + r, ey + r)]))
    if detail:
        r2 = r * 0.38
        paint(img, (255, 255, 255, 230),
              shape_mask(size, [], ellipses=[(ex + r * 0.2 - r2, ey - r * 0.3 - r2, ex + r * 0.2 + r2, ey - r * 0.3 + r2)]))


def speed_lines(img, lines, color=WHITE):
    """Rounded horizontal streaks (x0, x1, y, thickness, alpha), fading leftwards."""
    for x0, x1, yc, th, alpha in lines:
        m = rounded_mask(img.size, (x0, yc - th / 2, x1, yc + th / 2), th / 2)
        g = gradient((int(x1 - x0) + 1, 1), [(0, color + (0,)), (1, color + (alpha,))])
        full = Image.new("RGBA", img.size, (0, 0, 0, 0))
        full.paste(g.resize((int(x1 - x0) + 1, img.size[1])), (int(x0), 0))
        paint(img, full, m)


# ----------------------------------------------------------------- banner

def banner():
    w, h = 829, 230
    img = canvas(w, h)
    S = SS
    card = rounded_mask(img.size, (0, 0, w * S - 1, h * S - 1), 26 * S)
    bg = gradient(img.size, [(0, BLUE_DEEP), (0.55, BLUE), (1, TEAL)])
    # Soft light from the upper left and a darker lower edge.
    glow = Image.new("L", img.size, 0)
    ImageDraw.Draw(glow).ellipse((-120 * S, -260 * S, 420 * S, 200 * S), fill=120)
    glow = glow.filter(ImageFilter.GaussianBlur(60 * S))
    paint(bg, (255, 255, 255, 255), ImageChops.multiply(glow, Image.new("L", img.size, 110)))
    shade = gradient(img.size, [(0, (0, 20, 60, 0)), (0.6, (0, 20, 60, 0)), (1, (0, 20, 60, 70))], horizontal=False)
    bg.alpha_composite(shade)
    # Faint diagonal streaks across the card.
    streaks = Image.new("L", img.size, 0)
    sd = ImageDraw.Draw(streaks)
    for x0, wd in ((300, 70), (420, 26), (610, 110), (760, 34)):
        sd.polygon([(x0 * S, 0), ((x0 + wd) * S, 0), ((x0 + wd - 90) * S, h * S), ((x0 - 90) * S, h * S)], fill=20)
    paint(bg, (255, 255, 255, 255), streaks)
    paint(img, bg, card)

    speed_lines(img, [
        (14 * S, 92 * S, 128 * S, 7 * S, 200),
        (30 * S, 80 * S, 146 * S, 5 * S, 150),
        (6 * S, 66 * S, 163 * S, 6 * S, 170),
        (40 * S, 84 * S, 110 * S, 4 * S, 110),
    ])
    draw_whale(img, 50 * S, 34 * S, 1.9 * S)

    # Product name, slanted a little for a sense of speed.
    title = "飞鲸网游加速器"
    font = ImageFont.truetype(FONT_HEAVY, 78 * S)
    text = Image.new("L", img.size, 0)
    td = ImageDraw.Draw(text)
    td.text((262 * S, 40 * S), title, font=font, fill=255, stroke_width=int(1.2 * S), stroke_fill=255)
    slant = 0.12
    text = text.transform(img.size, Image.AFFINE, (1, slant, -slant * 120 * S, 0, 1, 0), Image.BICUBIC)
    sh = ImageChops.offset(text.filter(ImageFilter.GaussianBlur(4 * S)), 2 * S, 4 * S)
    paint(img, (0, 30, 90, 110), ImageChops.multiply(sh, card))
    paint(img, gradient(img.size, [(0, WHITE), (1, (214, 244, 255))], horizontal=False), text)

    # Underline bar and tag line.
    bar = rounded_mask(img.size, (266 * S, 142 * S, 792 * S, 147 * S), int(2.5 * S))
    paint(img, gradient(img.size, [(0, (255, 255, 255, 230)), (1, (255, 255, 255, 20))]), bar)
    small = ImageFont.truetype(FONT_LIGHT, 30 * S)
    tag = Image.new("L", img.size, 0)
    ImageDraw.Draw(tag).text((268 * S, 160 * S), "专业网游加速  ·  稳定  ·  低延迟", font=small, fill=235)
    paint(img, (255, 255, 255, 255), tag)
    return reduce(img, w, h)


# ---------------------------------------------------------------- buttons

def cta_button(state):
    """Large rounded call-to-action background: normal, hover or disabled."""
    w, h = 220, 60
    S = SS
    img = canvas(w, h)
    # Drawn with 11 x 12 corners: stretched into 200 x 50 they come out round.
    rx, ry = 11 * S, 12 * S
    body = rounded_mask(img.size, (S, S, w * S - S - 1, h * S - S - 1), rx, ry)
    if state == "disabled":
        fill = gradient(img.size, [(0, (112, 122, 134)), (1, (88, 98, 110))], horizontal=False)
        edge = (150, 158, 168, 120)
    else:
        top, bottom = ((30, 160, 255), (0, 112, 232)) if state == "normal" else ((74, 184, 255), (10, 138, 250))
        fill = gradient(img.size, [(0, top), (1, bottom)], horizontal=False)
        tint = gradient(img.size, [(0, (0, 0, 0, 0)), (1, TEAL + (90 if state == "normal" else 70,))])
        fill.alpha_composite(tint)
        edge = (150, 215, 255, 150) if state == "normal" else (200, 235, 255, 190)
    paint(img, fill, body)
    # Glossy upper half and a thin light rim.
    inner = rounded_mask(img.size, (S + 2 * S, S + 2 * S, w * S - 3 * S - 1, h * S - 3 * S - 1), rx - 2 * S, ry - 2 * S)
    paint(img, gradient(img.size, [(0, (255, 255, 255, 56)), (0.55, (255, 255, 255, 0)), (1, (255, 255, 255, 0))],
                        horizontal=False), inner)
    paint(img, edge, ImageChops.subtract(body, inner))
    return reduce(img, w, h)


def browse_button(hover):
    w, h = 152, 39
    S = SS
    img = canvas(w, h)
    # Shown in 58 x 28: corners of 10 x 6 become about 4 px round there.
    rx, ry = 10 * S, 6 * S
    body = rounded_mask(img.size, (0, 0, w * S - 1, h * S - 1), rx, ry)
    top, bottom = ((70, 88, 110), (56, 70, 88)) if not hover else ((0, 146, 255), (0, 118, 232))
    paint(img, gradient(img.size, [(0, top), (1, bottom)], horizontal=False), body)
    inner = rounded_mask(img.size, (3 * S, 2 * S, w * S - 3 * S - 1, h * S - 2 * S - 1), rx - 3 * S, ry - 2 * S)
    edge = (120, 140, 162, 200) if not hover else (140, 205, 255, 220)
    paint(img, edge, ImageChops.subtract(body, inner))
    return reduce(img, w, h)


def close_glyph(img, cx, cy, half, width, color):
    m = shape_mask(img.size, [[(cx - half, cy - half), (cx + half, cy + half)],
                              [(cx - half, cy + half), (cx + half, cy - half)]], width=width)
    paint(img, color, m)


def close_button(hover, k=1):
    w = h = 30 * k
    U = SS * k
    img = canvas(w, h)
    c = 15 * U
    if hover:
        disc = shape_mask(img.size, [], ellipses=[(2 * U, 2 * U, 28 * U, 28 * U)])
        paint(img, DANGER + (215,), disc)
    close_glyph(img, c, c, 5.5 * U, int(1.9 * U), (255, 255, 255, 255 if hover else 225))
    return reduce(img, w, h)


def check_box(ticked, hover, k=1):
    n = 15 * k
    U = SS * 2 * k  # drawing units per 1x pixel; the box is small, so twice the usual supersampling
    S = SS * 2
    img = Image.new("RGBA", (n * S, n * S), (0, 0, 0, 0))
    box = rounded_mask(img.size, (U // 2, U // 2, n * S - U // 2 - 1, n * S - U // 2 - 1), 3 * U)
    inner = rounded_mask(img.size, (int(1.8 * U), int(1.8 * U), n * S - int(1.8 * U) - 1, n * S - int(1.8 * U) - 1),
                         int(1.8 * U))
    if ticked:
        paint(img, (40, 160, 255, 255) if hover else BLUE + (255,), box)
        tick = shape_mask(img.size, [[(3.6 * U, 7.6 * U), (6.3 * U, 10.3 * U), (11.4 * U, 4.7 * U)]],
                          width=int(1.9 * U))
        paint(img, (255, 255, 255, 255), tick)
    else:
        paint(img, (20, 27, 36, 200), box)
        rim = (0, 150, 255, 255) if hover else (170, 180, 192, 255)
        paint(img, rim, ImageChops.subtract(box, inner))
    return img.resize((n, n), Image.LANCZOS)


def checkmark(k=1):
    n = 20 * k
    U = SS * k
    img = canvas(n, n)
    tick = shape_mask(img.size, [[(5 * U, 10.5 * U), (8.5 * U, 14 * U), (15.5 * U, 6 * U)]], width=int(2.2 * U))
    paint(img, (40, 44, 52, 255), tick)
    return reduce(img, n, n)


# ---------------------------------------------------- caption-button strip

# (buttonType, x of the normal, hover and pressed faces, face width)
STRIP_FACES = [
    (4, (0, 40, 80), 39),
    ("max", (120, 149, 178), 28),
    ("restore", (207, 236, 265), 28),
    (16, (294, 323, 352), 28),
    (32, (381, 410, 439), 28),
    (64, (468, 497, 526), 28),
    (128, (555, 584, 613), 28),
    (256, (642, 671, 700), 28),
]
STRIP_W, STRIP_H, FACE_Y = 729, 20, 2


def strip_glyph(img, kind, x, color, k=1):
    """One caption glyph on the face whose left edge is pixel column x.

    Coordinates are whole 1x pixels, k drawn pixels each, so that one-pixel lines
    stay sharp; rows 2..19 of the face are visible, centred on row 11.
    """
    S = SS * k

    def px(x0, y0, x1, y1):  # pixel columns x0..x1-1, rows y0..y1-1
        return ((x + x0) * S, y0 * S, (x + x1) * S - 1, y1 * S - 1)

    m = Image.new("L", img.size, 0)
    d = ImageDraw.Draw(m)
    if kind == 4:
        close_glyph(img, (x + 19.5) * S, 11.5 * S, 4.6 * S, int(1.25 * S), color)
        return
    if kind == "max":
        d.rectangle(px(9, 6, 19, 16), outline=255, width=S)
    elif kind == "restore":
        d.rectangle(px(11, 6, 19, 14), outline=255, width=S)
        d.rectangle(px(9, 8, 17, 16), fill=0)
        d.rectangle(px(9, 8, 17, 16), outline=255, width=S)
    elif kind == 16:
        d.rectangle(px(9, 11, 19, 12), fill=255)
    elif kind == 32:  # menu: a small down arrow
        d.polygon([((x + 9) * S, 9 * S), ((x + 19) * S, 9 * S), ((x + 14) * S, 14 * S)], fill=255)
    elif kind == 64:  # help
        font = ImageFont.truetype(FONT_HEAVY, 13 * S)
        d.text(((x + 14) * S, 11.5 * S), "?", font=font, fill=255, anchor="mm")
    elif kind == 128:  # settings: a gear
        cx, cy = (x + 14) * S, 11 * S
        teeth = []
        for i in range(16):
            a = math.pi * 2 * i / 16
            r = (5.4 if i % 2 == 0 else 4.0) * S
            for da in (-0.13, 0.13):
                teeth.append((cx + r * math.cos(a + da), cy + r * math.sin(a + da)))
        d.polygon(teeth, fill=255)
        r = 1.8 * S
        d.ellipse((cx - r, cy - r, cx + r, cy + r), fill=0)
    elif kind == 256:  # pin
        d.rectangle(px(11, 5, 17, 12), outline=255, width=S)
        d.rectangle(px(11, 5, 13, 12), fill=255)
        d.rectangle(px(9, 12, 19, 13), fill=255)
        d.rectangle(px(13, 13, 15, 18), fill=255)
    paint(img, color, m)


def strip(k=1):
    S = SS * k
    img = canvas(STRIP_W * k, STRIP_H * k)
    # The face boxes run one pixel past the bottom; only rows 2..19 exist.
    for kind, xs, fw in STRIP_FACES:
        for state, x in enumerate(xs):
            if kind == 4:
                back = [None, DANGER + (255,), (150, 12, 24, 255)][state]
            else:
                back = [None, (255, 255, 255, 56), (0, 0, 0, 90)][state]
            if back:
                ImageDraw.Draw(img).rectangle((x * S, FACE_Y * S, (x + fw) * S - 1, STRIP_H * S - 1), fill=back)
            glyph = (255, 255, 255, 255) if state or kind == 4 else (236, 240, 246, 230)
            strip_glyph(img, kind, x, glyph, k)
    return reduce(img, STRIP_W * k, STRIP_H * k)


# ------------------------------------------------------------------- icon

def icon_image(n):
    S = 16 if n <= 48 else SS
    img = Image.new("RGBA", (n * S, n * S), (0, 0, 0, 0))
    size = n * S
    tile = rounded_mask(img.size, (0, 0, size - 1, size - 1), int(size * 0.22))
    bg = gradient(img.size, [(0, BLUE_DEEP), (0.6, BLUE), (1, TEAL)])
    bg.alpha_composite(gradient(img.size, [(0, (255, 255, 255, 40)), (1, (0, 20, 60, 50))], horizontal=False))
    paint(img, bg, tile)
    detail = n >= 32
    scale = size / 100 * (0.8 if detail else 0.94)
    off = (size - 100 * scale) / 2
    draw_whale(img, off, off + size * (0.04 if detail else 0.02), scale, detail=detail, shadow=detail)
    return img.resize((n, n), Image.LANCZOS)


def ico_bytes(images):
    """ICO with 32-bit DIB entries below 256 px and a PNG entry for 256 px."""
    blobs = []
    for im in images:
        n = im.size[0]
        if n >= 256:
            blobs.append(png_bytes(im))
            continue
        header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
        rows = []
        alpha = im.getchannel("A")
        bgra = Image.merge("RGBA", (im.getchannel("B"), im.getchannel("G"), im.getchannel("R"), alpha))
        raw = bgra.tobytes()
        for y in range(n - 1, -1, -1):
            rows.append(raw[y * n * 4:(y + 1) * n * 4])
        mask_stride = ((n + 31) // 32) * 4
        mask_rows = []
        apix = alpha.load()
        for y in range(n - 1, -1, -1):
            bits = bytearray(mask_stride)
            for x in range(n):
                if apix[x, y] == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask_rows.append(bytes(bits))
        blobs.append(header + b"".join(rows) + b"".join(mask_rows))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for im, blob in zip(images, blobs):
        n = im.size[0]
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


# ------------------------------------------------------------------- main

def artwork():
    """Name -> file bytes of every generated resource."""
    files = {
        "close.png": close_button(False),
        "close-hover.png": close_button(True),
        "banner.png": banner(),
        "button.png": cta_button("normal"),
        "button-hover.png": cta_button("hover"),
        "button-disabled.png": cta_button("disabled"),
        "browse.png": browse_button(False),
        "browse-hover.png": browse_button(True),
        "ticked.png": check_box(True, False),
        "ticked-hover.png": check_box(True, True),
        "unticked.png": check_box(False, False),
        "unticked-hover.png": check_box(False, True),
        "checkmark.png": checkmark(),
    }
    # Pictures shown at their natural size get a partner drawn at twice the size, for scales from 150 %.
    files.update({
        "close@2x.png": close_button(False, 2),
        "close-hover@2x.png": close_button(True, 2),
        "ticked@2x.png": check_box(True, False, 2),
        "ticked-hover@2x.png": check_box(True, True, 2),
        "unticked@2x.png": check_box(False, False, 2),
        "unticked-hover@2x.png": check_box(False, True, 2),
        "checkmark@2x.png": checkmark(2),
    })
    out = {name: png_bytes(img) for name, img in files.items()}
    out["strip.bin"] = png_bytes(strip())[len(PNG_SIGNATURE):]
    out["strip@2x.bin"] = png_bytes(strip(2))[len(PNG_SIGNATURE):]
    out["app.ico"] = ico_bytes([icon_image(n) for n in (16, 32, 48, 256)])
    return out


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "installer", "resources")
    os.makedirs(out_dir, exist_ok=True)
    for name, data in artwork().items():
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
