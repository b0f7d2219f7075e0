#!/usr/bin/env python3
"""Draws Segmora's pictures.

    draw_pictures.py svg DIR     writes the SVG source of every picture into DIR
                                 (the same tree as the finished pictures: skin/, buttons/, ...)
    draw_pictures.py bmp PNG BMP turns a rendered marker PNG into the 24-bit BMP the window loads
    draw_pictures.py ppm PNG PPM lays a rendered PNG on white as a binary PPM, for cjpeg
    draw_pictures.py check DIR   checks the size of every finished picture in DIR and
                                 that DIR/resources.qrc lists them

The application icon (app/segmora.svg) is not one of the window's pictures: it is installed
for menus and desktops, as the SVG itself and rendered at each of APP_ICON_SIZES
(app/segmora_48.png, ...).

Only the standard library is used; rsvg-convert turns the SVG files into PNG files
(see make-pictures.sh). All pictures share one palette, defined below.
"""

import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------- palette

FRAME = "#3298cc"        # the frame colour of the window's controls
SHADE = "#4a79a1"        # the colour of the window's halo
BAND_TOP = "#3fa3d8"
BAND_BOTTOM = "#2b7fb6"
DEEP = "#21689a"         # dark edges on blue
GLYPH = "#2a80b9"        # icons drawn on white
GLYPH_HOT = "#1b679c"
PAGE_TOP = "#f4f9fd"     # the light lower area
PAGE_BOTTOM = "#e6f0f8"
CARD = "#ffffff"
CARD_EDGE = "#cfe1ef"
START = "#23a155"        # start mark
START_DARK = "#178043"
END = "#dc4a3d"          # end mark
END_DARK = "#b5352a"
OFF = "#aab4bd"          # disabled marks and glyphs
OFF_DARK = "#8e99a3"
PANEL = "#28b040"        # the sponsor window's picture panel
PANEL_DARK = "#1f8d33"

# Marker bitmaps are drawn transparent, without the colour of their lower-left pixel.
# They lie on the white card of the skin, so their background is a white that the
# pictures themselves never use (their white digits are pure white).
MARKER_KEY = (254, 254, 254)
MARKER_KEY_HEX = "#fefefe"

# ---------------------------------------------------------------- SVG helpers


def svg(w, h, body, defs=""):
    return (
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" '
        f'viewBox="0 0 {w} {h}">\n'
        + (f"<defs>\n{defs}</defs>\n" if defs else "")
        + body
        + "</svg>\n"
    )


def vgrad(gid, *stops, x2=0, y2=1):
    """A linear gradient from top to bottom (or along (x2, y2)); stops are (offset, colour[, opacity])."""
    s = "".join(
        f'<stop offset="{st[0]}" stop-color="{st[1]}"'
        + (f' stop-opacity="{st[2]}"' if len(st) > 2 else "")
        + "/>"
        for st in stops
    )
    return f'<linearGradient id="{gid}" x1="0" y1="0" x2="{x2}" y2="{y2}">{s}</linearGradient>\n'


def fmt(v):
    return f"{v:.2f}".rstrip("0").rstrip(".")


# ---------------------------------------------------------------- icons on a 24 x 24 grid


def icon_open(c):
    back = (
        "M3 6.2a1.7 1.7 0 0 1 1.7-1.7h4.6l2.2 2.2h7.6a1.7 1.7 0 0 1 1.7 1.7v1.4H3z"
    )
    front = "M5.2 10.6h16.6a.9.9 0 0 1 .86 1.15l-2.3 7.4a1.7 1.7 0 0 1-1.62 1.2H4.3a1.3 1.3 0 0 1-1.25-1.65l2.15-8.1z"
    return (
        f'<path d="{back}" fill="{c}" opacity=".62"/>'
        f'<path d="M3 9.6h2.1l-2.1 7.9z" fill="{c}" opacity=".62"/>'
        f'<path d="{front}" fill="{c}"/>'
    )


def icon_save(c):
    return (
        f'<path d="M12 3.2v9.6" stroke="{c}" stroke-width="2.6" stroke-linecap="round" fill="none"/>'
        f'<path d="M7.2 9.6L12 14.6l4.8-5" stroke="{c}" stroke-width="2.6" stroke-linecap="round" '
        f'stroke-linejoin="round" fill="none"/>'
        f'<path d="M4 14.2v3.9a2 2 0 0 0 2 2h12a2 2 0 0 0 2-2v-3.9" stroke="{c}" stroke-width="2.4" '
        f'stroke-linecap="round" stroke-linejoin="round" fill="none"/>'
    )


def icon_heart(c):
    d = (
        "M12 20.3C5.6 15.9 2.8 12.6 2.8 9.1c0-2.9 2.2-5 4.8-5 1.9 0 3.4 1 4.4 2.6"
        "c1-1.6 2.5-2.6 4.4-2.6 2.6 0 4.8 2.1 4.8 5 0 3.5-2.8 6.8-9.2 11.2z"
    )
    return f'<path d="{d}" fill="{c}"/>'


def icon_help(c):
    return (
        f'<path d="M8.6 8.6c0-2.3 1.6-3.9 3.6-3.9 2.1 0 3.7 1.4 3.7 3.4 0 2.9-3.7 3.2-3.7 6.3" '
        f'stroke="{c}" stroke-width="2.7" stroke-linecap="round" stroke-linejoin="round" fill="none"/>'
        f'<circle cx="12.2" cy="19" r="1.75" fill="{c}"/>'
    )


def icon_note(c):
    """A quaver, used by the decorations."""
    return (
        f'<path d="M10 17V6.5l9-2v10" stroke="{c}" stroke-width="2" stroke-linejoin="round" fill="none"/>'
        f'<ellipse cx="7.6" cy="17.2" rx="2.9" ry="2.3" fill="{c}"/>'
        f'<ellipse cx="16.6" cy="14.7" rx="2.9" ry="2.3" fill="{c}"/>'
    )


def digit(n, cx, cy, h, colour, width):
    """The digit 1 or 2 as strokes, centred on (cx, cy), h high."""
    s = h / 7.0
    if n == 1:
        d = (
            f"M{fmt(cx - 1.6 * s)} {fmt(cy - 2.0 * s)}L{fmt(cx + 0.35 * s)} {fmt(cy - 3.5 * s)}"
            f"V{fmt(cy + 3.5 * s)}"
        )
    else:
        d = (
            f"M{fmt(cx - 2.1 * s)} {fmt(cy - 1.7 * s)}"
            f"C{fmt(cx - 2.0 * s)} {fmt(cy - 3.9 * s)} {fmt(cx + 2.2 * s)} {fmt(cy - 4.1 * s)} "
            f"{fmt(cx + 2.2 * s)} {fmt(cy - 1.5 * s)}"
            f"C{fmt(cx + 2.2 * s)} {fmt(cy + 0.2 * s)} {fmt(cx - 1.8 * s)} {fmt(cy + 1.6 * s)} "
            f"{fmt(cx - 2.3 * s)} {fmt(cy + 3.5 * s)}"
            f"H{fmt(cx + 2.4 * s)}"
        )
    return (
        f'<path d="{d}" stroke="{colour}" stroke-width="{fmt(width)}" stroke-linecap="round" '
        f'stroke-linejoin="round" fill="none"/>'
    )


def pin_path(cx, cy, r, tip):
    """A map pin: a circle of radius r on (cx, cy) running down to a point at (cx, tip)."""
    # The two sides leave the circle where their tangents meet at the tip.
    dy = tip - cy
    a = math.asin(r / dy)
    tx = r * math.cos(a)
    ty = r * math.sin(a)
    lx, ly = cx - tx, cy + ty
    rx_, ry_ = cx + tx, cy + ty
    return (
        f"M{fmt(cx)} {fmt(tip)}L{fmt(lx)} {fmt(ly)}"
        f"A{fmt(r)} {fmt(r)} 0 1 1 {fmt(rx_)} {fmt(ry_)}Z"
    )


# ---------------------------------------------------------------- main buttons (64 x 64)

BADGE_CX, BADGE_CY, BADGE_R = 32, 21, 19


def face(icon, state):
    """A main button face: a round white badge in the top 42 pixels with the icon in it.
    The lower part stays free (the open button puts its text there)."""
    defs = vgrad("badge", (0, "#ffffff"), (1, "#e9f3fa"))
    defs += vgrad("badgehot", (0, "#ffffff"), (1, "#f3f9fd"))
    defs += vgrad("tile", (0, "#ffffff", 0.26), (1, "#ffffff", 0.08))
    body = ""
    place = f'transform="translate({BADGE_CX - 12} {BADGE_CY - 12})"'
    if state == "hot":
        body += (
            '<rect x=".5" y=".5" width="63" height="63" rx="9" fill="url(#tile)" '
            'stroke="#ffffff" stroke-opacity=".42"/>'
        )
    # soft drop shadow under the badge
    if state != "disabled":
        body += f'<circle cx="{BADGE_CX}" cy="{BADGE_CY + 1.6}" r="{BADGE_R + .4}" fill="{DEEP}" opacity=".32"/>'
    if state == "up":
        body += f'<circle cx="{BADGE_CX}" cy="{BADGE_CY}" r="{BADGE_R}" fill="url(#badge)"/>'
        body += f"<g {place}>{icon(GLYPH)}</g>"
    elif state == "hot":
        body += (
            f'<circle cx="{BADGE_CX}" cy="{BADGE_CY}" r="{BADGE_R + 1}" fill="url(#badgehot)" '
            f'stroke="#bfe3f6" stroke-width="1"/>'
        )
        body += f"<g {place}>{icon(GLYPH_HOT)}</g>"
    else:
        body += (
            f'<circle cx="{BADGE_CX}" cy="{BADGE_CY}" r="{BADGE_R}" fill="#ffffff" fill-opacity=".30" '
            f'stroke="#ffffff" stroke-opacity=".35"/>'
        )
        body += f'<g {place} opacity=".55">{icon("#ffffff")}</g>'
    return svg(64, 64, body, defs)


# ---------------------------------------------------------------- close and minimise (x 20)


def close_face(hot):
    body = ""
    if hot:
        body += (
            '<path d="M0 0H40V15a5 5 0 0 1-5 5H5a5 5 0 0 1-5-5z" fill="#e0554b"/>'
        )
    body += (
        '<path d="M16 6.5l8 8M24 6.5l-8 8" stroke="#ffffff" stroke-width="1.7" '
        'stroke-linecap="round"/>'
    )
    return svg(40, 20, body)


def minimize_face(hot):
    body = ""
    if hot:
        body += '<path d="M0 0H27V15a5 5 0 0 1-5 5H5a5 5 0 0 1-5-5z" fill="#ffffff" fill-opacity=".24"/>'
    body += '<path d="M9 13.5h9" stroke="#ffffff" stroke-width="1.8" stroke-linecap="round"/>'
    return svg(27, 20, body)


# ---------------------------------------------------------------- status icons (16 x 16)


def file_ok():
    defs = vgrad("g", (0, "#3cc071"), (1, "#1f9850"))
    body = (
        '<circle cx="8" cy="8" r="7.2" fill="url(#g)" stroke="#ffffff" stroke-opacity=".9" stroke-width="1"/>'
        '<path d="M4.7 8.3l2.2 2.2 4.4-4.6" stroke="#ffffff" stroke-width="1.7" '
        'stroke-linecap="round" stroke-linejoin="round" fill="none"/>'
    )
    return svg(16, 16, body, defs)


def file_none():
    body = (
        '<circle cx="8" cy="8" r="6.7" fill="#ffffff" fill-opacity=".16" stroke="#ffffff" '
        'stroke-opacity=".75" stroke-width="1.2"/>'
        '<path d="M5 8h6" stroke="#ffffff" stroke-opacity=".85" stroke-width="1.7" stroke-linecap="round"/>'
    )
    return svg(16, 16, body)


# ---------------------------------------------------------------- busy panel (190 x 50)


def busy():
    defs = vgrad("p", (0, "#3c9fd5"), (1, "#2876aa"))
    defs += vgrad("gloss", (0, "#ffffff", 0.22), (1, "#ffffff", 0))
    body = (
        '<rect width="190" height="50" fill="url(#p)"/>'
        '<rect width="190" height="22" fill="url(#gloss)"/>'
        f'<rect x=".5" y=".5" width="189" height="49" fill="none" stroke="{DEEP}"/>'
        '<path d="M1.5 1.5H188.5" stroke="#ffffff" stroke-opacity=".35"/>'
    )
    # a still spinner left of the text (the text starts at x 32)
    cx, cy = 16, 25
    for i in range(8):
        a = 2 * math.pi * i / 8 - math.pi / 2
        op = 0.22 + 0.78 * (i / 7.0)
        body += (
            f'<circle cx="{fmt(cx + 6.8 * math.cos(a))}" cy="{fmt(cy + 6.8 * math.sin(a))}" '
            f'r="1.75" fill="#ffffff" fill-opacity="{fmt(op)}"/>'
        )
    # faint waveform at the right end, away from the text
    for i in range(7):
        x = 162 + i * 3.6
        h = 6 + 10 * abs(math.sin(i * 1.1 + 0.4))
        body += (
            f'<rect x="{fmt(x)}" y="{fmt(25 - h / 2)}" width="2" height="{fmt(h)}" rx="1" '
            f'fill="#ffffff" fill-opacity=".20"/>'
        )
    return svg(190, 50, body, defs)


# ---------------------------------------------------------------- track bar thumb (11 x 19)


def thumb(enabled):
    top, bottom, edge = ("#5db8e6", "#2b82ba", DEEP) if enabled else ("#d3d9de", "#aab3bb", "#929ca5")
    defs = vgrad("t", (0, top), (1, bottom))
    body = (
        f'<rect x=".5" y=".5" width="10" height="18" rx="3" fill="url(#t)" stroke="{edge}"/>'
        '<path d="M2 2.2H9" stroke="#ffffff" stroke-opacity=".45"/>'
    )
    for y in (7.5, 9.5, 11.5):
        body += f'<path d="M3.5 {y}h4" stroke="#ffffff" stroke-opacity=".8" stroke-linecap="round"/>'
    return svg(11, 19, body, defs)


# ---------------------------------------------------------------- glyphs of the glyph buttons


def set_mark_glyph(n, enabled):
    """16 x 16: the mark's pin set down on the position line."""
    fill, dark = ((START, START_DARK) if n == 1 else (END, END_DARK)) if enabled else (OFF, OFF_DARK)
    line = SHADE if enabled else OFF
    body = (
        f'<path d="M1.5 14.5h13" stroke="{line}" stroke-width="1.6" stroke-linecap="round"/>'
        f'<path d="{pin_path(8, 5.8, 5.3, 13.6)}" fill="{fill}" stroke="{dark}" stroke-width=".8" '
        'stroke-linejoin="round"/>'
        + digit(n, 8, 5.8, 5.6, "#ffffff", 1.35)
    )
    return svg(16, 16, body)


def play_glyph(enabled, stop=False):
    """24 x 24: a round disc with a white play triangle or stop square."""
    if enabled:
        top, bottom, edge = ("#4fb0e2", "#2a80b9", DEEP) if not stop else ("#ef7a6e", "#d2483b", END_DARK)
    else:
        top, bottom, edge = "#d0d7dd", "#b3bcc4", "#a1abb4"
    defs = vgrad("d", (0, top), (1, bottom))
    body = f'<circle cx="12" cy="12" r="10.8" fill="url(#d)" stroke="{edge}" stroke-width=".9"/>'
    if stop:
        body += '<rect x="8" y="8" width="8" height="8" rx="1.4" fill="#ffffff"/>'
    else:
        body += (
            '<path d="M9.8 7.6L16.4 12 9.8 16.4z" fill="#ffffff" stroke="#ffffff" '
            'stroke-width="1.4" stroke-linejoin="round"/>'
        )
    return svg(24, 24, body, defs)


# ---------------------------------------------------------------- marker bitmaps (16 x 16)


def marker(n, enabled):
    """A flag on a pole. The pole stands on the picture's column 11 for the start
    mark and 4 for the end mark, the flags pointing away from the piece: the
    window maps both poles onto one scale (editor/MarkScale.h), so that the
    two poles meet when the marks are as close as they may be."""
    fill, dark = ((START, START_DARK) if n == 1 else (END, END_DARK)) if enabled else (OFF, OFF_DARK)
    light = "#ffffff"
    defs = vgrad("m", (0, light, 0.28), (1, light, 0))
    pole = 11 if n == 1 else 4
    if n == 1:
        flag = "M11 1.5H3.6L1 6.25 3.6 11H11Z"
        cx = 6.4
    else:
        flag = "M5 1.5H12.4L15 6.25 12.4 11H5Z"
        cx = 9.6
    body = (
        f'<rect width="16" height="16" fill="{MARKER_KEY_HEX}"/>'
        f'<path d="{flag}" fill="{fill}" stroke="{dark}" stroke-width=".9" stroke-linejoin="round"/>'
        f'<path d="{flag}" fill="url(#m)"/>'
        f'<rect x="{pole}" y="1" width="1" height="15" fill="{dark}"/>'
        + digit(n, cx, 6.25, 6.2, "#ffffff", 1.45)
    )
    return svg(16, 16, body, defs)


# ---------------------------------------------------------------- skin (592 x 452)

# Places of the controls on the window, used to leave room for them.
MAIN_BUTTONS_X = (187, 267, 435, 515)
MAIN_BUTTONS_Y = 34
BAND_H = 105
STATUS_Y = 422


def skin():
    w, h = 592, 452
    defs = vgrad("band", (0, BAND_TOP), (1, BAND_BOTTOM))
    defs += vgrad("page", (0, PAGE_TOP), (1, PAGE_BOTTOM))
    defs += vgrad("status", (0, "#2f87bd"), (1, "#28739f"))
    defs += vgrad("under", (0, SHADE, 0.30), (1, SHADE, 0))
    defs += vgrad("sheen", (0, "#ffffff", 0.16), (1, "#ffffff", 0))
    b = ""
    # frame colour everywhere, the areas laid over it leave a line of it at the sides
    b += f'<rect width="{w}" height="{h}" fill="{FRAME}"/>'
    # light lower area
    b += f'<rect x="2" y="{BAND_H}" width="{w - 4}" height="{STATUS_Y - BAND_H}" fill="url(#page)"/>'
    # top band
    b += f'<rect width="{w}" height="{BAND_H}" fill="url(#band)"/>'
    b += f'<rect width="{w}" height="34" fill="url(#sheen)"/>'
    # a broad, quiet swell across the band
    b += (
        f'<path d="M0 {BAND_H - 30}C150 {BAND_H - 4} 330 {BAND_H - 56} {w} {BAND_H - 22}V{BAND_H}H0z" '
        f'fill="{DEEP}" fill-opacity=".20"/>'
    )
    b += (
        f'<path d="M0 {BAND_H - 14}C170 {BAND_H - 2} 380 {BAND_H - 34} {w} {BAND_H - 8}V{BAND_H}H0z" '
        f'fill="{DEEP}" fill-opacity=".18"/>'
    )
    b += f'<path d="M2 1.5H{w - 2}" stroke="#ffffff" stroke-opacity=".38"/>'
    # the band's lower edge and its shadow on the light area
    b += f'<rect x="2" y="{BAND_H}" width="{w - 4}" height="6" fill="url(#under)"/>'
    b += f'<path d="M0 {BAND_H - .5}H{w}" stroke="{DEEP}" stroke-opacity=".85"/>'
    # emblem: a waveform with a chosen piece between two marks, left of the main buttons
    b += emblem(22, 40, 150, 56)
    # a thin divider between the file buttons and the others
    b += f'<path d="M383.5 46V86" stroke="#ffffff" stroke-opacity=".22"/>'
    # the white card behind the marks, the playback buttons and the position bar
    b += (
        f'<rect x="10.5" y="110.5" width="{w - 21}" height="105" rx="6" fill="{CARD}" '
        f'stroke="{CARD_EDGE}"/>'
    )
    # status strip at the bottom, for the file name in white and the file state icon
    b += f'<rect y="{STATUS_Y}" width="{w}" height="{h - STATUS_Y}" fill="url(#status)"/>'
    b += f'<path d="M2 {STATUS_Y + .5}H{w - 2}" stroke="#ffffff" stroke-opacity=".25"/>'
    b += f'<path d="M0 {STATUS_Y - .5}H{w}" stroke="{DEEP}" stroke-opacity=".55"/>'
    return svg(w, h, b, defs)


def emblem(x0, y0, width, height):
    """Sound as bars, the chosen piece bright, a start and an end mark above it."""
    out = ""
    n = 29
    pitch = width / n
    bar = pitch * 0.58
    mid = y0 + height / 2 + 4
    first, last = 10, 19
    for i in range(n):
        env = 0.28 + 0.72 * abs(math.sin(i * 0.47 + 0.3) * math.cos(i * 0.19 - 0.2))
        env = max(env, 0.22)
        bh = (height - 14) * env
        x = x0 + i * pitch
        chosen = first <= i <= last
        op = ".9" if chosen else ".32"
        out += (
            f'<rect x="{fmt(x)}" y="{fmt(mid - bh / 2)}" width="{fmt(bar)}" height="{fmt(bh)}" '
            f'rx="{fmt(bar / 2)}" fill="#ffffff" fill-opacity="{op}"/>'
        )
    for idx, colour, n_ in ((first, "#8de3ad", 1), (last + 1, "#ffab9f", 2)):
        x = x0 + idx * pitch - (pitch - bar) / 2
        out += (
            f'<path d="M{fmt(x)} {y0 + 12}V{y0 + height}" stroke="{colour}" stroke-width="1.4" '
            f'stroke-linecap="round"/>'
        )
        out += f'<circle cx="{fmt(x)}" cy="{y0 + 6}" r="6" fill="{colour}"/>'
        out += digit(n_, x, y0 + 6, 6.4, "#1d5f8c", 1.4)
    return out


# ---------------------------------------------------------------- application icon (scalable, 256 grid)

APP_ICON_SIZES = (48, 256)


def app_icon():
    """The program's icon for menus and the desktop: the emblem of the skin on a blue tile,
    a waveform with the chosen piece bright between a green start pin and a red end pin.
    Drawn on a 256 grid; it has to stay legible at 48 pixels, so there are few, broad bars."""
    defs = vgrad("tile", (0, BAND_TOP), (1, BAND_BOTTOM))
    defs += vgrad("sheen", (0, "#ffffff", 0.30), (1, "#ffffff", 0))
    b = ""
    b += '<rect x="20" y="26" width="216" height="216" rx="46" fill="#0e3f60" fill-opacity=".28"/>'
    b += '<rect x="20" y="18" width="216" height="216" rx="46" fill="url(#tile)"/>'
    b += '<path d="M66 18H190a46 46 0 0 1 46 46v22H20V64a46 46 0 0 1 46-46z" fill="url(#sheen)"/>'
    b += (
        f'<rect x="21.5" y="19.5" width="213" height="213" rx="44.5" fill="none" stroke="{DEEP}" '
        'stroke-width="3"/>'
    )
    n, x0, pitch, bar, mid = 11, 38, 17, 10, 150
    first, last = 3, 7
    for i in range(n):
        env = 0.30 + 0.70 * abs(math.sin(i * 0.62 + 0.5) * math.cos(i * 0.23 - 0.3))
        h = 104 * max(env, 0.26)
        chosen = first <= i <= last
        b += (
            f'<rect x="{fmt(x0 + i * pitch)}" y="{fmt(mid - h / 2)}" width="{bar}" height="{fmt(h)}" '
            f'rx="{bar / 2}" fill="#ffffff" fill-opacity="{".95" if chosen else ".38"}"/>'
        )
    for idx, fill, n_ in ((first, START, 1), (last + 1, END, 2)):
        x = x0 + idx * pitch - (pitch - bar) / 2
        b += f'<path d="M{fmt(x)} 84V212" stroke="#ffffff" stroke-width="4.4" stroke-linecap="round"/>'
        b += f'<path d="M{fmt(x)} 84V212" stroke="{fill}" stroke-width="2.4" stroke-linecap="round"/>'
        b += (
            f'<path d="{pin_path(x, 62, 25, 100)}" fill="{fill}" stroke="#ffffff" stroke-width="4" '
            'stroke-linejoin="round"/>'
        )
        b += digit(n_, x, 62, 26, "#ffffff", 5.5)
    return svg(256, 256, b, defs)


def payment_card():
    """The sponsor window's built-in picture: a thank-you card in the panel's green.
    It carries no payment code of any kind."""
    w, h = 500, 245
    defs = vgrad("card", (0, PANEL), (1, PANEL_DARK))
    b = f'<rect width="{w}" height="{h}" fill="url(#card)"/>'
    b += (
        f'<rect x="14.5" y="14.5" width="{w - 29}" height="{h - 29}" rx="12" fill="none" '
        f'stroke="#ffffff" stroke-opacity=".55" stroke-width="2" stroke-dasharray="6 5"/>'
    )
    # a large heart on the left, a small one beside the text
    b += f'<g transform="translate(44 52) scale(6)">{icon_heart("#ffffff")}</g>'
    b += f'<g transform="translate(214 44) scale(1.1)" opacity=".8">{icon_heart("#ffffff")}</g>'
    font = "WenQuanYi Micro Hei, Noto Sans CJK SC, DejaVu Sans, sans-serif"
    b += (
        f'<text x="246" y="66" font-family="{font}" font-size="22" fill="#ffffff" '
        f'fill-opacity=".92">Segmora</text>'
    )
    b += (
        f'<text x="214" y="124" font-family="{font}" font-size="40" font-weight="bold" '
        f'fill="#ffffff">谢谢您的支持</text>'
    )
    b += f'<path d="M216 146.5H466" stroke="#ffffff" stroke-opacity=".5"/>'
    b += (
        f'<text x="216" y="178" font-family="{font}" font-size="19" fill="#ffffff" '
        f'fill-opacity=".92">Thank you for your support</text>'
    )
    return svg(w, h, b, defs)


# ---------------------------------------------------------------- the list of pictures

FACES = {"open": icon_open, "save": icon_save, "sponsor": icon_heart, "about": icon_help}


def pictures():
    """(relative path without extension, SVG text, size) of every picture."""
    out = [("skin/skin", skin(), (592, 452))]
    for name, icon in FACES.items():
        states = ("up", "hot", "disabled") if name == "save" else ("up", "hot")
        for st in states:
            out.append((f"buttons/{name}_{st}", face(icon, st), (64, 64)))
    out.append(("buttons/close_up", close_face(False), (40, 20)))
    out.append(("buttons/close_hot", close_face(True), (40, 20)))
    out.append(("buttons/minimize_up", minimize_face(False), (27, 20)))
    out.append(("buttons/minimize_hot", minimize_face(True), (27, 20)))
    out.append(("icons/file_ok", file_ok(), (16, 16)))
    out.append(("icons/file_none", file_none(), (16, 16)))
    out.append(("panel/busy", busy(), (190, 50)))
    out.append(("trackbar/thumb", thumb(True), (11, 19)))
    out.append(("trackbar/thumb_disabled", thumb(False), (11, 19)))
    out.append(("glyphs/set_start", set_mark_glyph(1, True), (16, 16)))
    out.append(("glyphs/set_start_disabled", set_mark_glyph(1, False), (16, 16)))
    out.append(("glyphs/set_end", set_mark_glyph(2, True), (16, 16)))
    out.append(("glyphs/set_end_disabled", set_mark_glyph(2, False), (16, 16)))
    out.append(("glyphs/play", play_glyph(True), (24, 24)))
    out.append(("glyphs/play_disabled", play_glyph(False), (24, 24)))
    out.append(("glyphs/stop", play_glyph(True, stop=True), (24, 24)))
    out.append(("glyphs/stop_disabled", play_glyph(False, stop=True), (24, 24)))
    out.append(("markers/MarkStart", marker(1, True), (16, 16)))
    out.append(("markers/MarkEnd", marker(2, True), (16, 16)))
    out.append(("markers/MarkStartD", marker(1, False), (16, 16)))
    out.append(("markers/MarkEndD", marker(2, False), (16, 16)))
    out.append(("sponsor/payment", payment_card(), (500, 245)))
    return out


def app_pictures():
    """(relative path without extension, SVG text) of the application icon."""
    return [("app/segmora", app_icon())]


def finished_name(rel):
    """The file a picture ends up in: marker bitmaps beside the program, the sponsor card
    as a JPEG (the window decodes it like a fetched one), everything else as PNG."""
    if rel.startswith("markers/"):
        return rel + ".bmp"
    if rel.startswith("sponsor/"):
        return rel + ".jpg"
    return rel + ".png"


# ---------------------------------------------------------------- PNG reading, BMP writing


def read_png(path):
    """Width, height and rows of (r, g, b, a) tuples of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG file")
    pos, idat, head = 8, b"", None
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos : pos + 4])
        kind = data[pos + 4 : pos + 8]
        chunk = data[pos + 8 : pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            head = struct.unpack(">IIBBBBB", chunk)
        elif kind == b"IDAT":
            idat += chunk
        elif kind == b"IEND":
            break
    w, h, depth, ctype, _, _, interlace = head
    if depth != 8 or ctype not in (2, 6) or interlace:
        raise ValueError(f"{path}: only 8-bit RGB or RGBA PNG files without interlacing are read")
    bpp = 4 if ctype == 6 else 3
    raw = zlib.decompress(idat)
    stride = w * bpp
    rows, prev = [], bytearray(stride)
    for y in range(h):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1 : (y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 255
        rows.append(
            [tuple(line[x * bpp : x * bpp + bpp]) + ((255,) if bpp == 3 else ()) for x in range(w)]
        )
        prev = line
    return w, h, rows


def write_bmp24(path, w, h, rows):
    """A bottom-up 24-bit BMP (BITMAPINFOHEADER, no compression)."""
    pad = (4 - (w * 3) % 4) % 4
    pixels = b""
    for y in range(h - 1, -1, -1):
        for r, g, b in rows[y]:
            pixels += bytes((b, g, r))
        pixels += b"\0" * pad
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def png_to_marker_bmp(png, bmp):
    w, h, rows = read_png(png)
    flat = []
    for row in rows:
        out = []
        for r, g, b, a in row:
            # lay the picture on the key colour (it is rendered on it already, this is for safety)
            k = MARKER_KEY
            out.append(tuple((c * a + kc * (255 - a) + 127) // 255 for c, kc in zip((r, g, b), k)))
        flat.append(out)
    if flat[h - 1][0] != MARKER_KEY:
        raise ValueError(f"{png}: the lower-left pixel must be the background colour")
    # Only the background around the picture may have the key colour: a pixel of the
    # picture that rounds to it (inside a white digit) would be left out when drawn.
    outside = set()
    todo = [(x, y) for y in range(h) for x in range(w) if x in (0, w - 1) or y in (0, h - 1)]
    while todo:
        x, y = todo.pop()
        if (x, y) in outside or not (0 <= x < w and 0 <= y < h) or flat[y][x] != MARKER_KEY:
            continue
        outside.add((x, y))
        todo += [(x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)]
    for y in range(h):
        for x in range(w):
            if flat[y][x] == MARKER_KEY and (x, y) not in outside:
                flat[y][x] = (255, 255, 255)
    write_bmp24(bmp, w, h, flat)


def png_to_ppm(png, ppm):
    w, h, rows = read_png(png)
    out = bytearray(f"P6\n{w} {h}\n255\n".encode())
    for row in rows:
        for r, g, b, a in row:
            out += bytes((c * a + 255 * (255 - a) + 127) // 255 for c in (r, g, b))
    with open(ppm, "wb") as f:
        f.write(out)


def jpeg_size(path):
    """Width and height from the frame header of a JPEG file."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"\xff\xd8":
        raise ValueError(f"{path}: not a JPEG file")
    pos = 2
    while pos + 4 <= len(data):
        if data[pos] != 0xFF:
            raise ValueError(f"{path}: broken marker at {pos}")
        kind = data[pos + 1]
        length = struct.unpack(">H", data[pos + 2 : pos + 4])[0]
        if 0xC0 <= kind <= 0xCF and kind not in (0xC4, 0xC8, 0xCC):
            h, w = struct.unpack(">HH", data[pos + 5 : pos + 9])
            return w, h
        pos += 2 + length
    raise ValueError(f"{path}: no frame header")


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG file")
    return struct.unpack(">II", head[16:24])


def bmp_info(path):
    with open(path, "rb") as f:
        head = f.read(54)
    if head[:2] != b"BM":
        raise ValueError(f"{path}: not a BMP file")
    w, h, _, bits = struct.unpack("<iiHH", head[18:30])
    return w, h, bits


def qrc_files(path):
    """The file names a Qt resource collection lists."""
    import xml.etree.ElementTree as ET

    return {e.text.strip() for e in ET.parse(path).getroot().iter("file")}


def check(root):
    """Checks sizes and formats, and that resources.qrc lists every picture but the marker bitmaps."""
    bad = 0
    wanted = {finished_name(rel) for rel, _, _ in pictures() if not rel.startswith("markers/")}
    listed = qrc_files(os.path.join(root, "resources.qrc"))
    for name in sorted(wanted - listed):
        print(f"resources.qrc: {name} is missing")
        bad += 1
    for name in sorted(listed - wanted):
        print(f"resources.qrc: {name} is not a picture made here")
        bad += 1
    for rel, _, size in pictures():
        path = os.path.join(root, finished_name(rel))
        if path.endswith(".bmp"):
            w, h, bits = bmp_info(path)
            got = (w, abs(h))
            if bits != 24:
                print(f"{path}: {bits} bits per pixel, 24 expected")
                bad += 1
        elif path.endswith(".jpg"):
            got = jpeg_size(path)
        else:
            got = png_size(path)
        if tuple(got) != size:
            print(f"{path}: {got[0]}x{got[1]}, {size[0]}x{size[1]} expected")
            bad += 1
    for rel, _ in app_pictures():
        for px in APP_ICON_SIZES:
            path = os.path.join(root, f"{rel}_{px}.png")
            if not os.path.exists(path):
                print(f"{path} is missing")
                bad += 1
            elif png_size(path) != (px, px):
                print(f"{path}: {'x'.join(map(str, png_size(path)))}, {px}x{px} expected")
                bad += 1
    return bad


def main(argv):
    if len(argv) == 3 and argv[1] == "svg":
        for rel, text in [(rel, text) for rel, text, _ in pictures()] + app_pictures():
            path = os.path.join(argv[2], rel + ".svg")
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
            print(path)
        return 0
    if len(argv) == 4 and argv[1] == "bmp":
        png_to_marker_bmp(argv[2], argv[3])
        return 0
    if len(argv) == 4 and argv[1] == "ppm":
        png_to_ppm(argv[2], argv[3])
        return 0
    if len(argv) == 3 and argv[1] == "check":
        return 1 if check(argv[2]) else 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
