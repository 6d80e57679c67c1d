#!/usr/bin/python3
"""Draws the editor's artwork: the 37 PNG images of the panel, numbered 123..166.

    /usr/bin/python3 tools/make_artwork.py                  # resources/<id>_<name>.png
    /usr/bin/python3 tools/make_artwork.py --scale 2        # resources/<id>_<name>@2x.png
    /usr/bin/python3 tools/make_artwork.py --check          # exit 1 if a committed image differs
    /usr/bin/python3 tools/make_artwork.py --preview docs/panel-preview.png --state lead

Everything is drawn with cairo in DejaVu Sans Bold (fonts-dejavu-core). Lit and unlit
pictures share one drawing of everything but their LEDs, so each pair differs only where
an LED lights. --preview pastes the images where the editor places its controls and
shows them in one panel state, for a look at the whole.
"""

import argparse
import math
import os
import random
import sys
import tempfile

try:
    import cairo
except ImportError:
    cairo = None

SKIPPED = 77  # exit code of a --check that cannot run here
FONT_FILES = ["/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
              "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf"]
SANS = "DejaVu Sans"
CONDENSED = "DejaVu Sans Condensed"
CAP_HEIGHT = 0.729  # of the em, DejaVu Sans Bold

# Colours, 0..1 RGB.
RED = (1.0, 0.22, 0.13)
BLUE = (0.30, 0.66, 1.0)
WHITE = (0.96, 0.97, 1.0)
LEGEND_LIT = (0.55, 0.82, 1.0)
LEGEND_DIM = (0.36, 0.38, 0.43)
CAPTION = (0.84, 0.85, 0.88)
TITLE = (0.58, 0.61, 0.66)
ENGRAVED = (0.16, 0.17, 0.19)
STATUS = (1.0, 40 / 255, 30 / 255)

# Panel geometry: where the editor puts its controls (top-left corners).
DARK_AREA = (10, 10, 1004, 252)      # anodised upper panel, inside the brushed frame
WELL = (402, 22, 446, 230)           # display well of the main panel
ABOUT_WELL = (182, 22, 674, 230)     # the About panel's larger, empty well
STATUS_BOX = (446, 339, 265, 20)
METER_STEPS, METER_TOP, METER_BOTTOM = 31, 1, 175
DIAL_START, DIAL_END, DIAL_STEPS = -4.0142574, 0.87266463, 25
DIAL_INNER, DIAL_OUTER = 21, 32

SCALE = 1.0  # set from --scale; used to round text onto device pixels


# ---------------------------------------------------------------- drawing helpers

def rgba(c, a=1.0):
    return (c[0], c[1], c[2], a)


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def rounded_rect(ctx, x, y, w, h, r):
    ctx.new_sub_path()
    ctx.arc(x + w - r, y + r, r, -math.pi / 2, 0)
    ctx.arc(x + w - r, y + h - r, r, 0, math.pi / 2)
    ctx.arc(x + r, y + h - r, r, math.pi / 2, math.pi)
    ctx.arc(x + r, y + r, r, math.pi, 1.5 * math.pi)
    ctx.close_path()


def hexagon(ctx, cx, cy, r):
    """A hexagon with corners left and right (width 2r, height sqrt(3) r)."""
    for k in range(6):
        a = k * math.pi / 3
        ctx.line_to(cx + r * math.cos(a), cy + r * math.sin(a))
    ctx.close_path()


def set_font(ctx, size, family=SANS):
    ctx.select_font_face(family, cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_BOLD)
    ctx.set_font_size(size)
    opts = cairo.FontOptions()
    opts.set_antialias(cairo.ANTIALIAS_GRAY)
    opts.set_hint_style(cairo.HINT_STYLE_SLIGHT)
    opts.set_hint_metrics(cairo.HINT_METRICS_OFF)
    ctx.set_font_options(opts)


def text_origin(ctx, s, x, y, size, align):
    """Baseline origin that puts the capitals of s centred on height y, aligned at x."""
    xb, _, tw, _, _, _ = ctx.text_extents(s)
    if align == "c":
        x0 = x - xb - tw / 2
    elif align == "r":
        x0 = x - xb - tw
    else:
        x0 = x - xb
    base = y + size * CAP_HEIGHT / 2
    return round(x0 * SCALE) / SCALE, round(base * SCALE) / SCALE


def text(ctx, s, x, y, size, colour, align="c", family=SANS, alpha=1.0):
    set_font(ctx, size, family)
    x0, y0 = text_origin(ctx, s, x, y, size, align)
    ctx.move_to(x0, y0)
    ctx.set_source_rgba(*rgba(colour, alpha))
    ctx.show_text(s)


def engraved_text(ctx, s, x, y, size, colour=ENGRAVED, align="c", family=SANS):
    """Dark lettering cut into metal: a light edge below, the letter above."""
    text(ctx, s, x, y + 1, size, (1, 1, 1), align, family, 0.45)
    text(ctx, s, x, y, size, colour, align, family)


def glowing_text(ctx, s, x, y, size, colour, align="c", family=SANS):
    set_font(ctx, size, family)
    x0, y0 = text_origin(ctx, s, x, y, size, align)
    ctx.move_to(x0, y0)
    ctx.text_path(s)
    path = ctx.copy_path()
    for width, alpha in ((4.0, 0.10), (2.4, 0.18), (1.2, 0.30)):
        ctx.new_path()
        ctx.append_path(path)
        ctx.set_line_width(width)
        ctx.set_line_join(cairo.LINE_JOIN_ROUND)
        ctx.set_source_rgba(*rgba(colour, alpha))
        ctx.stroke()
    ctx.new_path()
    ctx.append_path(path)
    ctx.set_source_rgb(*mix(colour, (1, 1, 1), 0.35))
    ctx.fill()


def section_title(ctx, s, cx, y, half_width, colour=TITLE, size=10):
    """A title between two hairlines, as printed over a group of controls."""
    set_font(ctx, size)
    tw = ctx.text_extents(s)[2]
    text(ctx, s, cx, y, size, colour)
    ctx.set_line_width(1)
    ctx.set_source_rgba(*rgba(colour, 0.55))
    for x0, x1 in ((cx - half_width, cx - tw / 2 - 6), (cx + tw / 2 + 6, cx + half_width)):
        if x1 > x0:
            ctx.move_to(x0, math.floor(y) + 0.5)
            ctx.line_to(x1, math.floor(y) + 0.5)
    ctx.stroke()


def brushed(ctx, x, y, w, h, base, spread, streaks, seed):
    """Horizontal brushing: a base colour and many faint light and dark streaks."""
    rng = random.Random(seed)
    ctx.save()
    ctx.rectangle(x, y, w, h)
    ctx.clip()
    ctx.set_source_rgb(*base)
    ctx.paint()
    for row in range(int(h)):
        shade = rng.uniform(-1, 1) * spread * 0.5
        ctx.set_source_rgba(1, 1, 1, shade) if shade > 0 else ctx.set_source_rgba(0, 0, 0, -shade)
        ctx.rectangle(x, y + row, w, 1)
        ctx.fill()
    for _ in range(int(w * h * streaks)):
        sx = x + rng.uniform(-40, w)
        sy = y + rng.randrange(int(h))
        length = rng.uniform(20, 220)
        light = rng.random() < 0.5
        a = rng.uniform(0.2, 1.0) * spread
        ctx.set_source_rgba(1, 1, 1, a) if light else ctx.set_source_rgba(0, 0, 0, a)
        ctx.rectangle(sx, sy, length, 1)
        ctx.fill()
    ctx.restore()


def inner_shadow_rect(ctx, x, y, w, h, r, depth=6, alpha=0.6):
    """Shading along the upper and left inside edges of a recess."""
    ctx.save()
    rounded_rect(ctx, x, y, w, h, r)
    ctx.clip()
    for k in range(depth):
        a = alpha * (1 - k / depth) ** 2
        ctx.set_source_rgba(0, 0, 0, a)
        ctx.set_line_width(1)
        rounded_rect(ctx, x + k + 0.5 - depth * 0.3, y + k + 0.5, w + depth, h + depth, r)
        ctx.stroke()
    ctx.restore()


def recess(ctx, x, y, w, h, r, fill, rim=True):
    """A dark recess: its floor, a shadow inside the top edge and a lit lower rim."""
    if rim:
        rounded_rect(ctx, x - 1, y - 1, w + 2, h + 2, r + 1)
        g = cairo.LinearGradient(0, y - 1, 0, y + h + 1)
        g.add_color_stop_rgba(0, 0, 0, 0, 0.55)
        g.add_color_stop_rgba(1, 1, 1, 1, 0.16)
        ctx.set_source(g)
        ctx.fill()
    rounded_rect(ctx, x, y, w, h, r)
    ctx.set_source(fill) if isinstance(fill, cairo.Pattern) else ctx.set_source_rgb(*fill)
    ctx.fill()
    inner_shadow_rect(ctx, x, y, w, h, r)


def glow(ctx, x, y, radius, colour, alpha):
    g = cairo.RadialGradient(x, y, 0, x, y, radius)
    g.add_color_stop_rgba(0, *rgba(colour, alpha))
    g.add_color_stop_rgba(0.35, *rgba(colour, alpha * 0.45))
    g.add_color_stop_rgba(1, *rgba(colour, 0))
    ctx.set_source(g)
    ctx.arc(x, y, radius, 0, 2 * math.pi)
    ctx.fill()


def led_lens(ctx, x, y, r, colour, lit):
    """A round LED: a dark tinted lens, or a lit one with a hot centre."""
    if lit:
        g = cairo.RadialGradient(x - r * 0.25, y - r * 0.25, 0, x, y, r)
        g.add_color_stop_rgb(0, *mix(colour, (1, 1, 1), 0.75))
        g.add_color_stop_rgb(0.55, *colour)
        g.add_color_stop_rgb(1, *mix(colour, (0, 0, 0), 0.25))
    else:
        dark = mix(colour, (0.1, 0.1, 0.11), 0.8)
        g = cairo.RadialGradient(x - r * 0.3, y - r * 0.35, 0, x, y, r)
        g.add_color_stop_rgb(0, *mix(dark, (1, 1, 1), 0.12))
        g.add_color_stop_rgb(1, *mix(dark, (0, 0, 0), 0.45))
    ctx.set_source(g)
    ctx.arc(x, y, r, 0, 2 * math.pi)
    ctx.fill()


def metal_cap(ctx, cx, cy, r, light=0.55):
    """A turned metal cap: concentric turning marks over a lit-from-above gradient."""
    g = cairo.LinearGradient(cx - r, cy - r, cx + r, cy + r)
    g.add_color_stop_rgb(0, light + 0.25, light + 0.26, light + 0.28)
    g.add_color_stop_rgb(1, light - 0.25, light - 0.25, light - 0.23)
    ctx.set_source(g)
    ctx.arc(cx, cy, r, 0, 2 * math.pi)
    ctx.fill()
    ctx.set_line_width(0.5)
    for k in range(1, int(r * 2)):
        rr = k * 0.5
        ctx.set_source_rgba(1, 1, 1, 0.05) if k % 2 else ctx.set_source_rgba(0, 0, 0, 0.05)
        ctx.arc(cx, cy, rr, 0, 2 * math.pi)
        ctx.stroke()
    sheen = cairo.RadialGradient(cx - r * 0.35, cy - r * 0.45, 0, cx - r * 0.35, cy - r * 0.45, r * 0.9)
    sheen.add_color_stop_rgba(0, 1, 1, 1, 0.35)
    sheen.add_color_stop_rgba(1, 1, 1, 1, 0)
    ctx.set_source(sheen)
    ctx.arc(cx, cy, r, 0, 2 * math.pi)
    ctx.fill()


def drop_shadow_circle(ctx, cx, cy, r, spread=3, alpha=0.5):
    g = cairo.RadialGradient(cx, cy + 1.5, r * 0.8, cx, cy + 1.5, r + spread)
    g.add_color_stop_rgba(0, 0, 0, 0, alpha)
    g.add_color_stop_rgba(1, 0, 0, 0, 0)
    ctx.set_source(g)
    ctx.arc(cx, cy + 1.5, r + spread, 0, 2 * math.pi)
    ctx.fill()


# ---------------------------------------------------------------- LED dials

def dial_segment_angles():
    step = (DIAL_END - DIAL_START) / DIAL_STEPS
    return [(DIAL_START + i * step, DIAL_START + (i + 1) * step) for i in range(DIAL_STEPS)]


def led_ring(ctx, cx, cy, colour, lit, radius=26.5, dot=2.05):
    """The 25 LED dots of a dial; lit ones keep their glow inside their own sector."""
    for a0, a1 in dial_segment_angles():
        a = (a0 + a1) / 2
        x, y = cx + radius * math.cos(a), cy + radius * math.sin(a)
        # a seat for the LED, the same in both pictures
        ctx.set_source_rgba(0, 0, 0, 0.55)
        ctx.arc(x, y + 0.4, dot + 0.9, 0, 2 * math.pi)
        ctx.fill()
        led_lens(ctx, x, y, dot, colour, False)
        if lit:
            ctx.save()
            # kept off the annulus edges by a pixel's half diagonal, so that no pixel the
            # dial never reveals differs from the unlit picture
            inner, outer = DIAL_INNER + 0.75, DIAL_OUTER - 0.75
            ctx.move_to(cx + inner * math.cos(a0), cy + inner * math.sin(a0))
            ctx.arc(cx, cy, outer, a0, a1)
            ctx.arc_negative(cx, cy, inner, a1, a0)
            ctx.close_path()
            ctx.clip()
            glow(ctx, x, y, 5.5, colour, 0.75)
            led_lens(ctx, x, y, dot, colour, True)
            ctx.restore()


def encoder_cap(ctx, cx, cy):
    """The small dark encoder in the middle of an LED arc."""
    drop_shadow_circle(ctx, cx, cy, 13, 4, 0.6)
    g = cairo.LinearGradient(0, cy - 13, 0, cy + 13)
    g.add_color_stop_rgb(0, 0.30, 0.31, 0.33)
    g.add_color_stop_rgb(1, 0.07, 0.07, 0.08)
    ctx.set_source(g)
    ctx.arc(cx, cy, 13, 0, 2 * math.pi)
    ctx.fill()
    top = cairo.RadialGradient(cx, cy - 3, 0, cx, cy, 10.5)
    top.add_color_stop_rgb(0, 0.22, 0.23, 0.25)
    top.add_color_stop_rgb(1, 0.12, 0.125, 0.135)
    ctx.set_source(top)
    ctx.arc(cx, cy, 10.5, 0, 2 * math.pi)
    ctx.fill()
    ctx.set_line_width(1)
    ctx.set_source_rgba(1, 1, 1, 0.10)
    ctx.arc(cx, cy, 10.5, math.pi * 1.1, math.pi * 1.9)
    ctx.stroke()


def draw_dial(colour, lit):
    def draw(ctx):
        cx, cy = 32.0, 32.0  # the dial's centre (31.5, 31.5) is the corner between four pixels
        led_ring(ctx, cx, cy, colour, lit)
        encoder_cap(ctx, cx, cy)
    return draw


def draw_knob(lit):
    def draw(ctx):
        cx, cy = 32.0, 31.5
        led_ring(ctx, cx, cy, WHITE, lit, radius=27.0)
        drop_shadow_circle(ctx, cx, cy, 19, 4, 0.7)
        # knurled skirt
        ctx.set_source_rgb(0.09, 0.09, 0.10)
        ctx.arc(cx, cy, 19, 0, 2 * math.pi)
        ctx.fill()
        ctx.set_line_width(1.1)
        for k in range(60):
            a = k * 2 * math.pi / 60
            shade = 0.5 + 0.5 * math.cos(a + math.pi * 0.75)
            ctx.set_source_rgba(1, 1, 1, 0.05 + 0.18 * shade)
            ctx.move_to(cx + 16 * math.cos(a), cy + 16 * math.sin(a))
            ctx.line_to(cx + 18.6 * math.cos(a), cy + 18.6 * math.sin(a))
            ctx.stroke()
        metal_cap(ctx, cx, cy, 14.5)
    return draw


def draw_ring_switch(ctx):
    """Two frames: the Bright switch with its words Off (frame 0 lit) and On (frame 1 lit)."""
    for frame in range(2):
        cx, cy = 32.0, 32.0 + frame * 58
        # the ring: a groove with two LED arcs, one under each word
        ctx.set_line_width(5)
        ctx.set_source_rgba(0, 0, 0, 0.5)
        ctx.arc(cx, cy, 25, math.radians(-202), math.radians(22))
        ctx.stroke()
        for on, a0, a1 in ((False, -200, -95), (True, -85, 20)):
            lit = (frame == 1) == on
            colour = RED if on else WHITE
            ctx.set_line_width(3)
            ctx.set_line_cap(cairo.LINE_CAP_ROUND)
            if lit:
                ctx.set_line_width(7)
                ctx.set_source_rgba(*rgba(colour, 0.18))
                ctx.arc(cx, cy, 25, math.radians(a0), math.radians(a1))
                ctx.stroke()
                ctx.set_line_width(3)
                ctx.set_source_rgb(*mix(colour, (1, 1, 1), 0.3))
            else:
                ctx.set_source_rgb(*mix(colour, (0.1, 0.1, 0.11), 0.82))
            ctx.arc(cx, cy, 25, math.radians(a0), math.radians(a1))
            ctx.stroke()
            ctx.set_line_cap(cairo.LINE_CAP_BUTT)
        for word, x, on in (("Off", cx - 20, False), ("On", cx + 20, True)):
            lit = (frame == 1) == on
            if lit:
                glowing_text(ctx, word, x, cy + 19, 9, RED if on else WHITE)
            else:
                text(ctx, word, x, cy + 19, 9, LEGEND_DIM)
        # the push cap
        drop_shadow_circle(ctx, cx, cy, 14, 4, 0.6)
        metal_cap(ctx, cx, cy, 14, 0.5)
        led_lens(ctx, cx, cy, 2.6, RED, frame == 1)
        if frame == 1:
            glow(ctx, cx, cy, 7, RED, 0.5)
            led_lens(ctx, cx, cy, 2.6, RED, True)


# ---------------------------------------------------------------- buttons

def draw_led_button(ctx):
    """The small round push button with an LED in its cap: off, then lit."""
    for frame in range(2):
        cx, cy = 14.0, 14.0 + frame * 28
        drop_shadow_circle(ctx, cx, cy, 11.5, 2.5, 0.6)
        g = cairo.LinearGradient(0, cy - 12, 0, cy + 12)
        g.add_color_stop_rgb(0, 0.78, 0.79, 0.81)
        g.add_color_stop_rgb(1, 0.30, 0.31, 0.33)
        ctx.set_source(g)
        ctx.arc(cx, cy, 11.5, 0, 2 * math.pi)
        ctx.fill()
        g = cairo.LinearGradient(0, cy - 9, 0, cy + 9)
        g.add_color_stop_rgb(0, 0.14, 0.145, 0.16)
        g.add_color_stop_rgb(1, 0.30, 0.31, 0.33)
        ctx.set_source(g)
        ctx.arc(cx, cy, 9.2, 0, 2 * math.pi)
        ctx.fill()
        ctx.set_source_rgba(0, 0, 0, 0.7)
        ctx.arc(cx, cy, 4.8, 0, 2 * math.pi)
        ctx.fill()
        if frame == 1:
            glow(ctx, cx, cy, 9.0, RED, 0.7)
        led_lens(ctx, cx, cy, 3.8, RED, frame == 1)
        ctx.set_source_rgba(1, 1, 1, 0.35 if frame else 0.18)
        ctx.arc(cx - 1.2, cy - 1.4, 1.1, 0, 2 * math.pi)
        ctx.fill()


def draw_hex_button(ring):
    def draw(ctx):
        for frame in range(2):
            cx, cy = 25.0, 22.0 + frame * 44
            ctx.set_source_rgba(0, 0, 0, 0.55)
            hexagon(ctx, cx, cy + 1, 24.6)
            ctx.fill()
            # the bezel and its ring groove
            g = cairo.LinearGradient(0, cy - 21, 0, cy + 21)
            g.add_color_stop_rgb(0, 0.62, 0.63, 0.66)
            g.add_color_stop_rgb(1, 0.22, 0.23, 0.25)
            ctx.set_source(g)
            hexagon(ctx, cx, cy, 23.4)
            ctx.fill()
            ctx.set_source_rgb(0.05, 0.05, 0.06)
            hexagon(ctx, cx, cy, 20.6)
            ctx.fill()
            ctx.set_line_width(2.2)
            ctx.set_line_join(cairo.LINE_JOIN_ROUND)
            if frame == 1:
                for width, alpha in ((5.5, 0.25), (3.8, 0.45)):
                    ctx.set_line_width(width)
                    ctx.set_source_rgba(*rgba(ring, alpha))
                    hexagon(ctx, cx, cy, 19.3)
                    ctx.stroke()
                ctx.set_line_width(2.2)
                ctx.set_source_rgb(*mix(ring, (1, 1, 1), 0.35))
            else:
                ctx.set_source_rgb(*mix(ring, (0.1, 0.1, 0.11), 0.85))
            hexagon(ctx, cx, cy, 19.3)
            ctx.stroke()
            # the cap
            g = cairo.LinearGradient(cx - 14, cy - 14, cx + 14, cy + 14)
            g.add_color_stop_rgb(0, 0.36, 0.37, 0.40)
            g.add_color_stop_rgb(1, 0.10, 0.10, 0.11)
            ctx.set_source(g)
            hexagon(ctx, cx, cy, 17.2)
            ctx.fill()
            g = cairo.LinearGradient(0, cy - 13, 0, cy + 13)
            g.add_color_stop_rgb(0, 0.25, 0.26, 0.28)
            g.add_color_stop_rgb(1, 0.15, 0.155, 0.17)
            ctx.set_source(g)
            hexagon(ctx, cx, cy, 14.8)
            ctx.fill()
            if frame == 1:
                g = cairo.RadialGradient(cx, cy, 8, cx, cy, 17)
                g.add_color_stop_rgba(0, *rgba(ring, 0))
                g.add_color_stop_rgba(1, *rgba(ring, 0.22))
                ctx.set_source(g)
                hexagon(ctx, cx, cy, 17.2)
                ctx.fill()
    return draw


def draw_legend(caption, width, height):
    """An illuminated legend strip: the caption dim (frame 0) and lit (frame 1)."""
    def draw(ctx):
        size = 9.5 if len(caption) > 7 else 10
        for frame in range(2):
            y = height / 2 + frame * height
            if frame:
                glowing_text(ctx, caption, width / 2, y, size, LEGEND_LIT)
            else:
                text(ctx, caption, width / 2, y, size, LEGEND_DIM)
    return draw


def draw_mode_key(caption):
    """A display-mode key of the well: outline and caption, dim and lit."""
    def draw(ctx):
        for frame in range(2):
            y0 = frame * 20
            rounded_rect(ctx, 2.5, y0 + 2.5, 45, 15, 3)
            ctx.set_source_rgba(0.10, 0.12, 0.15, 0.9)
            ctx.fill_preserve()
            ctx.set_line_width(1)
            if frame:
                ctx.set_source_rgba(*rgba(LEGEND_LIT, 0.9))
                ctx.stroke()
                for width, alpha in ((3.5, 0.12), (2.2, 0.2)):
                    rounded_rect(ctx, 2.5, y0 + 2.5, 45, 15, 3)
                    ctx.set_line_width(width)
                    ctx.set_source_rgba(*rgba(LEGEND_LIT, alpha))
                    ctx.stroke()
                glowing_text(ctx, caption, 25, y0 + 10, 9, LEGEND_LIT)
            else:
                ctx.set_source_rgba(0.30, 0.33, 0.38, 1)
                ctx.stroke()
                text(ctx, caption, 25, y0 + 10, 9, LEGEND_DIM)
    return draw


# ---------------------------------------------------------------- meters and scales

def meter_rows(k):
    """Rows [top, bottom) of segment k (1 = lowest) as the meter reveals them."""
    step = (METER_BOTTOM - METER_TOP) / METER_STEPS
    return int(METER_BOTTOM - k * step), int(METER_BOTTOM - (k - 1) * step)


def meter_level_segments(db):
    """Segments lit at a level in dB, as the editor computes them."""
    percent = min(100, max(0, int((db + 52) * 1.6129032)))
    return min(METER_STEPS, int(percent * 0.01 * (METER_STEPS + 1)))


RED_FROM_SEGMENT = meter_level_segments(0.0) + 1  # the segments above 0 dB light red


def draw_meter(lit):
    def draw(ctx):
        rounded_rect(ctx, 0, 0, 23, 175, 2)
        ctx.set_source_rgba(0.02, 0.02, 0.025, 0.85)
        ctx.fill()
        for k in range(1, METER_STEPS + 1):
            top, bottom = meter_rows(k)
            colour = RED if k >= RED_FROM_SEGMENT else BLUE
            for left in (0, 15):
                x, y, w, h = left + 1, top + 0.7, 6, bottom - top - 1.4
                rounded_rect(ctx, x, y, w, h, 1)
                ctx.set_source_rgb(*mix(colour, (0.08, 0.08, 0.09), 0.8))
                ctx.fill()
                if lit:
                    ctx.save()
                    ctx.rectangle(left, top, 8, bottom - top)
                    ctx.clip()
                    g = cairo.RadialGradient(left + 4, (top + bottom) / 2, 0, left + 4, (top + bottom) / 2, 5)
                    g.add_color_stop_rgba(0, *rgba(colour, 0.8))
                    g.add_color_stop_rgba(1, *rgba(colour, 0.15))
                    ctx.set_source(g)
                    ctx.paint()
                    rounded_rect(ctx, x, y, w, h, 1)
                    g = cairo.LinearGradient(x, 0, x + w, 0)
                    g.add_color_stop_rgb(0, *colour)
                    g.add_color_stop_rgb(0.45, *mix(colour, (1, 1, 1), 0.55))
                    g.add_color_stop_rgb(1, *colour)
                    ctx.set_source(g)
                    ctx.fill()
                    ctx.restore()
    return draw


def db_scale(ctx, meter_x, meter_y, side):
    """The dB scale beside a meter: ticks on the segment boundaries a level reaches."""
    marks = [10, 5, 0, -5, -10, -15, -20, -25, -30, -35, -40, -45, -50]
    labelled = {10, 5, 0, -5, -10, -20, -30, -40, -50}
    edge = meter_x + 25 if side > 0 else meter_x - 2
    for db in marks:
        y = meter_y + METER_BOTTOM - meter_level_segments(db) * (METER_BOTTOM - METER_TOP) / METER_STEPS
        y = min(y, meter_y + METER_BOTTOM - 0.5)
        length = 3 if db in labelled else 2
        ctx.set_line_width(1)
        ctx.set_source_rgba(*rgba(TITLE, 0.9))
        ctx.move_to(edge, math.floor(y) + 0.5)
        ctx.line_to(edge + side * length, math.floor(y) + 0.5)
        ctx.stroke()
        if db in labelled:
            label = ("+%d" % db if db > 0 else "%d" % db).replace("-", "\u2212")
            colour = mix(RED, CAPTION, 0.35) if db > 0 else CAPTION
            text(ctx, label, edge + side * 6.5, math.floor(y) + 0.5, 8, colour, "l" if side > 0 else "r", CONDENSED)
    text(ctx, "dB", edge + side * 8, meter_y + METER_BOTTOM + 9, 8, TITLE, "c", CONDENSED)


# ---------------------------------------------------------------- scope faces

def scope_glass(ctx, w, h):
    rounded_rect(ctx, 0, 0, w, h, 3)
    g = cairo.RadialGradient(w / 2, h * 0.45, 4, w / 2, h / 2, max(w, h) * 0.7)
    g.add_color_stop_rgb(0, 0.06, 0.075, 0.095)
    g.add_color_stop_rgb(1, 0.02, 0.025, 0.035)
    ctx.set_source(g)
    ctx.fill()


def grid_line(ctx, x0, y0, x1, y1, alpha):
    ctx.set_source_rgba(0.35, 0.55, 0.75, alpha)
    ctx.set_line_width(1)
    ctx.move_to(x0, y0)
    ctx.line_to(x1, y1)
    ctx.stroke()


def scope_rim(ctx, w, h):
    rounded_rect(ctx, 0.5, 0.5, w - 1, h - 1, 3)
    ctx.set_line_width(1)
    ctx.set_source_rgba(0.45, 0.55, 0.65, 0.35)
    ctx.stroke()


def draw_response_face(ctx):
    """Tonestack response: log frequency 20 Hz .. 22.05 kHz over columns 1..173, 35 dB per 40 rows."""
    w, h = 174, 82
    scope_glass(ctx, w, h)

    def column(f):
        return 1 + 172 * math.log(f / 20) / math.log(22050 / 20)

    for decade in (10, 100, 1000, 10000):
        for m in range(1, 10):
            f = decade * m
            if 20 <= f <= 22050:
                x = math.floor(column(f)) + 0.5
                grid_line(ctx, x, 1, x, h - 1, 0.30 if m == 1 else 0.13)
    for k in range(-3, 4):
        y = math.floor(41 + k * 400 / 35) + 0.5
        grid_line(ctx, 1, y, w - 1, y, 0.40 if k == 0 else 0.16)
    for label, f in (("40", 40), ("200", 200), ("1.0", 1000), ("5.0", 5000)):
        x = column(f)
        grid_line(ctx, math.floor(x) + 0.5, 1, math.floor(x) + 0.5, h - 1, 0.24)
        ctx.set_source_rgba(0.03, 0.04, 0.05, 0.85)
        set_font(ctx, 8, CONDENSED)
        tw = ctx.text_extents(label)[2]
        ctx.rectangle(x - tw / 2 - 2, 2, tw + 4, 9)
        ctx.fill()
        text(ctx, label, x, 6.5, 8, (0.62, 0.75, 0.88), "c", CONDENSED)
    text(ctx, "kHz", w - 4, 6.5, 7, (0.45, 0.55, 0.66), "r", CONDENSED)
    scope_rim(ctx, w, h)


def draw_xy_face(caption):
    def draw(ctx):
        w = h = 82
        scope_glass(ctx, w, h)
        for k in range(-3, 4):
            off = math.floor(41 + k * 40 / 3) + 0.5
            alpha = 0.40 if k == 0 else 0.15
            grid_line(ctx, off, 1, off, h - 1, alpha)
            grid_line(ctx, 1, off, w - 1, off, alpha)
        ctx.set_dash([2, 2])
        grid_line(ctx, 1.5, h - 1.5, w - 1.5, 1.5, 0.22)
        ctx.set_dash([])
        text(ctx, caption, 5, 7, 8, (0.62, 0.75, 0.88), "l", CONDENSED)
        text(ctx, "in", w - 4, 46, 7, (0.45, 0.55, 0.66), "r", CONDENSED)
        text(ctx, "out", 44, h - 6, 7, (0.45, 0.55, 0.66), "l", CONDENSED)
        scope_rim(ctx, w, h)
    return draw


def draw_bias_face(title, labels):
    """Needle meter: pivot at (41, 67), needle 52 px from 55 to 125 degrees."""
    def draw(ctx):
        w = h = 82
        scope_glass(ctx, w, h)
        px, py = 41.5, 67.5

        def point(v, r):
            theta = math.radians(55 + 70 * v)
            return px - r * math.cos(theta), py - r * math.sin(theta)

        # scale arc, with a red zone toward the far end
        ctx.set_line_width(1.2)
        ctx.set_source_rgba(0.62, 0.75, 0.88, 0.8)
        ctx.arc(px, py, 46, math.radians(180 + 55), math.radians(180 + 125))
        ctx.stroke()
        ctx.set_line_width(3)
        ctx.set_source_rgba(*rgba(RED, 0.55))
        ctx.arc(px, py, 47.5, math.radians(180 + 111), math.radians(180 + 125))
        ctx.stroke()
        ticks = 4 * (len(labels) - 1)
        for k in range(ticks + 1):
            v = k / ticks
            major = k % 4 == 0
            x0, y0 = point(v, 46)
            x1, y1 = point(v, 52 if major else 49.5)
            ctx.set_line_width(1.2 if major else 0.8)
            ctx.set_source_rgba(0.62, 0.75, 0.88, 0.95 if major else 0.6)
            ctx.move_to(x0, y0)
            ctx.line_to(x1, y1)
            ctx.stroke()
        for i, label in enumerate(labels):
            x, y = point(i / (len(labels) - 1), 58.5)
            text(ctx, label.replace("-", "\u2212"), x, y, 6.5, (0.70, 0.80, 0.90), "c", CONDENSED)
        text(ctx, title, 41, 45, 7, (0.45, 0.55, 0.66), "c", CONDENSED)
        text(ctx, "bias V", 41, 77, 7, (0.45, 0.55, 0.66), "c", CONDENSED)
        glow(ctx, px, py, 6, RED, 0.5)
        led_lens(ctx, px, py, 3, RED, True)
        scope_rim(ctx, w, h)
    return draw


# ---------------------------------------------------------------- nameplates

def draw_nameplate(channel, top_row):
    """Engraved plate between the dial rows: top-row names, channel, tone names."""
    columns = {"Gain": 32, "Shape": 99, "Bright": 99, "Volume": 166}

    def draw(ctx):
        w, h = 198, 58
        rounded_rect(ctx, 1, 2, w - 2, h - 2, 4)
        ctx.set_source_rgba(0, 0, 0, 0.6)
        ctx.fill()
        ctx.save()
        rounded_rect(ctx, 1, 1, w - 2, h - 3, 4)
        ctx.clip()
        brushed(ctx, 1, 1, w - 2, h - 3, (0.66, 0.67, 0.69), 0.05, 0.03, 159)
        g = cairo.LinearGradient(0, 1, 0, h - 2)
        g.add_color_stop_rgba(0, 1, 1, 1, 0.22)
        g.add_color_stop_rgba(0.5, 1, 1, 1, 0)
        g.add_color_stop_rgba(1, 0, 0, 0, 0.22)
        ctx.set_source(g)
        ctx.paint()
        ctx.restore()
        rounded_rect(ctx, 1.5, 1.5, w - 3, h - 4, 4)
        ctx.set_line_width(1)
        ctx.set_source_rgba(0, 0, 0, 0.5)
        ctx.stroke()
        for name in top_row:
            engraved_text(ctx, name, columns[name], 9.5, 10)
        for name, x in (("Low", 32), ("Mid", 99), ("High", 166)):
            engraved_text(ctx, name, x, 46, 10)
        # the channel name on a dark inlay in the middle
        set_font(ctx, 11)
        tw = ctx.text_extents(channel)[2]
        rounded_rect(ctx, 99 - tw / 2 - 10, 20, tw + 20, 16, 3)
        ctx.set_source_rgb(0.10, 0.10, 0.11)
        ctx.fill()
        text(ctx, channel, 99, 28, 11, mix(RED, (1, 1, 1), 0.15))
        for x in (8, w - 8):
            ctx.set_source_rgba(0, 0, 0, 0.45)
            ctx.move_to(x if x < 99 else 99 + tw / 2 + 16, 28.5)
            ctx.line_to(99 - tw / 2 - 16 if x < 99 else x, 28.5)
            ctx.set_line_width(1)
            ctx.stroke()
    return draw


# ---------------------------------------------------------------- the panels

def screw(ctx, x, y):
    drop_shadow_circle(ctx, x, y, 5, 2, 0.5)
    metal_cap(ctx, x, y, 5, 0.55)
    ctx.set_source_rgba(0, 0, 0, 0.65)
    ctx.set_line_width(1.4)
    ctx.move_to(x - 3.6, y - 1.5)
    ctx.line_to(x + 3.6, y + 1.5)
    ctx.stroke()


def logo(ctx, cx, y):
    set_font(ctx, 27)
    word = "BRIMTONE"
    spacing = 3.0
    widths = [ctx.text_extents(ch)[4] for ch in word]
    total = sum(widths) + spacing * (len(word) - 1)
    set_font(ctx, 11)
    badge = ctx.text_extents("RX14")[4] + 10
    x = cx - (total + 8 + badge) / 2
    set_font(ctx, 27)
    base = y + 27 * CAP_HEIGHT / 2
    for ch, cw in zip(word, widths):
        ctx.move_to(x, base + 1)
        ctx.set_source_rgba(1, 1, 1, 0.5)
        ctx.show_text(ch)
        ctx.move_to(x, base)
        ctx.text_path(ch)
        g = cairo.LinearGradient(0, y - 10, 0, y + 10)
        g.add_color_stop_rgb(0, 0.10, 0.10, 0.11)
        g.add_color_stop_rgb(1, 0.24, 0.25, 0.27)
        ctx.set_source(g)
        ctx.fill()
        x += cw + spacing
    x += 8
    rounded_rect(ctx, x, y - 8, badge, 16, 3)
    ctx.set_source_rgb(0.55, 0.08, 0.06)
    ctx.fill()
    text(ctx, "RX14", x + badge / 2, y, 11, (1.0, 0.9, 0.86))
    text(ctx, "QIV", cx - total / 2 - badge / 2 - 4, y - 19, 8, ENGRAVED, "l")
    engraved_text(ctx, "virtual-analog guitar amp", cx, y + 20, 8.5, (0.25, 0.26, 0.28))


def draw_panel(about):
    def draw(ctx):
        w, h = 1024, 362
        brushed(ctx, 0, 0, w, h, (0.70, 0.71, 0.73), 0.05, 0.035, 123)
        g = cairo.LinearGradient(0, 0, 0, h)
        g.add_color_stop_rgba(0, 1, 1, 1, 0.10)
        g.add_color_stop_rgba(0.7, 0, 0, 0, 0.0)
        g.add_color_stop_rgba(1, 0, 0, 0, 0.18)
        ctx.set_source(g)
        ctx.paint()
        # outer bevel of the frame
        ctx.set_line_width(1)
        ctx.set_source_rgba(1, 1, 1, 0.55)
        ctx.move_to(0.5, h - 1)
        ctx.line_to(0.5, 0.5)
        ctx.line_to(w - 1, 0.5)
        ctx.stroke()
        ctx.set_source_rgba(0, 0, 0, 0.45)
        ctx.move_to(w - 0.5, 1)
        ctx.line_to(w - 0.5, h - 0.5)
        ctx.line_to(1, h - 0.5)
        ctx.stroke()

        # the anodised upper panel
        x, y, aw, ah = DARK_AREA
        base = cairo.LinearGradient(0, y, 0, y + ah)
        base.add_color_stop_rgb(0, 0.175, 0.185, 0.205)
        base.add_color_stop_rgb(1, 0.115, 0.12, 0.135)
        recess(ctx, x, y, aw, ah, 7, base)
        ctx.save()
        rounded_rect(ctx, x, y, aw, ah, 7)
        ctx.clip()
        rng = random.Random(7)
        for _ in range(9000):
            ctx.set_source_rgba(1, 1, 1, rng.uniform(0.004, 0.02)) if rng.random() < 0.5 else \
                ctx.set_source_rgba(0, 0, 0, rng.uniform(0.01, 0.05))
            ctx.rectangle(x + rng.uniform(-60, aw), y + rng.randrange(ah), rng.uniform(30, 200), 1)
            ctx.fill()
        inner_shadow_rect(ctx, x, y, aw, ah, 7, 8, 0.7)
        ctx.restore()
        # dividers between the input, channel, display and output sections
        for dx in () if about else (172, 862):
            ctx.set_line_width(1)
            ctx.set_source_rgba(0, 0, 0, 0.5)
            ctx.move_to(dx + 0.5, y + 16)
            ctx.line_to(dx + 0.5, y + ah - 16)
            ctx.stroke()
            ctx.set_source_rgba(1, 1, 1, 0.06)
            ctx.move_to(dx + 1.5, y + 16)
            ctx.line_to(dx + 1.5, y + ah - 16)
            ctx.stroke()

        # input and output sections
        section_title(ctx, "Input", 88, 30, 72)
        section_title(ctx, "Output", 937, 30, 70)
        db_scale(ctx, 24, 52, +1)
        db_scale(ctx, 977, 52, -1)
        text(ctx, "enable", 112, 110, 10, CAPTION)
        text(ctx, "limiter", 912, 110, 10, CAPTION)
        text(ctx, "Level", 112, 233, 10, CAPTION)
        text(ctx, "Master", 912, 233, 10, CAPTION)

        well = ABOUT_WELL if about else WELL
        wx, wy, ww, wh = well
        glass = cairo.LinearGradient(0, wy, 0, wy + wh)
        glass.add_color_stop_rgb(0, 0.045, 0.05, 0.06)
        glass.add_color_stop_rgb(1, 0.025, 0.028, 0.035)
        recess(ctx, wx, wy, ww, wh, 6, glass)
        if not about:
            # the channel section: a slot for the nameplate between the dial rows
            rounded_rect(ctx, 192, 98, 196, 56, 4)
            ctx.set_source_rgba(0, 0, 0, 0.25)
            ctx.fill()
            # the display well: selector columns, scopes, effect dials
            for title, col in (("Amp", 437), ("Tube", 547), ("Reverb", 657), ("Speaker", 767)):
                section_title(ctx, title, col + 32, 41, 40, TITLE, 10)
            ctx.set_source_rgba(0.35, 0.55, 0.75, 0.12)
            ctx.rectangle(414, 125, 422, 1)
            ctx.fill()
            recess(ctx, 432, 134, 182, 88, 4, (0.01, 0.012, 0.016), rim=False)
            text(ctx, "Amount", 690, 229, 10, CAPTION)
            text(ctx, "Ambience", 801, 229, 10, CAPTION)

        # the lower band: channel buttons, logo, status display, small buttons
        for name, cx in (("Bypass", 112), ("Clean", 224), ("Drive", 291), ("Lead", 357)):
            engraved_text(ctx, name, cx, 341, 10)
        for name, cx in (("about", 772), ("update", 814), ("stereo", 856), ("1x", 898), ("4x", 940),
                         ("16x", 982)):
            engraved_text(ctx, name, cx, 331, 9.5)
        ctx.set_line_width(1)
        ctx.set_source_rgba(0, 0, 0, 0.35)
        ctx.move_to(886, 286.5)
        ctx.line_to(994, 286.5)
        ctx.stroke()
        ctx.set_source_rgba(1, 1, 1, 0.45)
        ctx.move_to(886, 287.5)
        ctx.line_to(994, 287.5)
        ctx.stroke()
        logo(ctx, 578, 295)
        sx, sy, sw, sh = STATUS_BOX
        recess(ctx, sx - 3, sy - 2, sw + 6, sh + 2, 3, (0.04, 0.035, 0.035))
        for px, py in ((24, 286), (24, 340), (1000, 340), (740, 286)):
            screw(ctx, px, py)
    return draw


# ---------------------------------------------------------------- the image set

# id, file name, width, height, frames, alpha, drawing
IMAGES = [
    (123, "panel", 1024, 362, 1, False, draw_panel(False)),
    (124, "about_panel", 1024, 362, 1, False, draw_panel(True)),
    (125, "bright_switch", 64, 116, 2, True, draw_ring_switch),
    (128, "dial_blue_unlit", 64, 58, 1, True, draw_dial(BLUE, False)),
    (129, "dial_blue_lit", 64, 58, 1, True, draw_dial(BLUE, True)),
    (130, "dial_red_unlit", 64, 58, 1, True, draw_dial(RED, False)),
    (131, "dial_red_lit", 64, 58, 1, True, draw_dial(RED, True)),
    (132, "knob_unlit", 64, 64, 1, True, draw_knob(False)),
    (133, "knob_lit", 64, 64, 1, True, draw_knob(True)),
    (134, "response_face", 174, 82, 1, True, draw_response_face),
    (135, "led_button", 28, 56, 2, True, draw_led_button),
    (137, "hex_button_red", 50, 88, 2, True, draw_hex_button(RED)),
    (139, "hex_button_white", 50, 88, 2, True, draw_hex_button(WHITE)),
    (140, "legend_1x12", 64, 38, 2, True, draw_legend("1x12\u2033", 64, 19)),
    (141, "legend_4x12", 64, 38, 2, True, draw_legend("4x12\u2033", 64, 19)),
    (142, "legend_2000_mk1", 64, 38, 2, True, draw_legend("2000 mk.I", 64, 19)),
    (143, "legend_2000_mk2", 64, 38, 2, True, draw_legend("2000 mk.II", 64, 19)),
    (144, "legend_90s", 64, 38, 2, True, draw_legend("'90s", 64, 19)),
    (148, "legend_off", 64, 38, 2, True, draw_legend("Off", 64, 19)),
    (149, "legend_pre_eq", 64, 38, 2, True, draw_legend("Pre-Eq", 64, 19)),
    (150, "legend_post_eq", 64, 38, 2, True, draw_legend("Post-Eq", 64, 19)),
    (151, "legend_hall", 64, 38, 2, True, draw_legend("Hall", 64, 19)),
    (152, "legend_spring", 64, 38, 2, True, draw_legend("Spring", 64, 19)),
    (153, "meter_unlit", 23, 175, 1, True, draw_meter(False)),
    (154, "meter_lit", 23, 175, 1, True, draw_meter(True)),
    (155, "xy_face_left", 82, 82, 1, True, draw_xy_face("left")),
    (156, "bias_face_preamp", 82, 82, 1, True, draw_bias_face("preamp", ["0", "-0.5", "-1", "-1.5", "-2"])),
    (157, "bias_face_power", 82, 82, 1, True, draw_bias_face("power", ["0", "-0.5", "-1"])),
    (158, "xy_face_right", 82, 82, 1, True, draw_xy_face("right")),
    (159, "nameplate_clean_bright", 198, 58, 1, True, draw_nameplate("CLEAN", ["Bright", "Volume"])),
    (160, "nameplate_clean", 198, 58, 1, True, draw_nameplate("CLEAN", ["Volume"])),
    (161, "nameplate_lead", 198, 58, 1, True, draw_nameplate("LEAD", ["Gain", "Shape", "Volume"])),
    (162, "nameplate_drive", 198, 58, 1, True, draw_nameplate("DRIVE", ["Gain", "Volume"])),
    (163, "mode_off", 50, 40, 2, True, draw_mode_key("Off")),
    (164, "mode_bias", 50, 40, 2, True, draw_mode_key("Bias")),
    (165, "mode_eq", 50, 40, 2, True, draw_mode_key("EQ")),
    (166, "mode_tube", 50, 40, 2, True, draw_mode_key("Tube")),
]

# Pairs whose lit picture may differ from the unlit one only inside these LED areas.
def dial_area(cx, cy):
    return lambda x, y: DIAL_INNER ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= DIAL_OUTER ** 2


def meter_area(x, y):
    return METER_TOP <= y < METER_BOTTOM and (x < 8 or 15 <= x < 23)


LIT_PAIRS = [(128, 129, dial_area(31.5, 31.5)), (130, 131, dial_area(31.5, 31.5)),
             (132, 133, dial_area(31.5, 31.0)), (153, 154, meter_area)]


def file_name(image_id, name, scale):
    suffix = "" if scale == 1 else "@%gx" % scale
    return "%d_%s%s.png" % (image_id, name, suffix)


def resource_script():
    """resources/brimtone.rc: the images as resources of type "PNG", and the manifest."""
    lines = ["// Generated by tools/make_artwork.py; do not edit.",
             "// The editor's images, of type \"PNG\" and numbered as the editor asks for them,",
             "// and the module manifest (RT_MANIFEST, ISOLATIONAWARE_MANIFEST_RESOURCE_ID).",
             "2 24 \"Brimtone.manifest\"", ""]
    lines += ['%d PNG "%s"' % (e[0], file_name(e[0], e[1], 1)) for e in IMAGES]
    return "\n".join(lines) + "\n"


def render(entry, scale):
    _, _, w, h, _, alpha, draw = entry
    fmt = cairo.FORMAT_ARGB32 if alpha else cairo.FORMAT_RGB24
    surface = cairo.ImageSurface(fmt, int(round(w * scale)), int(round(h * scale)))
    ctx = cairo.Context(surface)
    ctx.scale(scale, scale)
    draw(ctx)
    surface.flush()
    return surface


def write_all(out_dir, scale):
    os.makedirs(out_dir, exist_ok=True)
    paths = {}
    for entry in IMAGES:
        path = os.path.join(out_dir, file_name(entry[0], entry[1], scale))
        render(entry, scale).write_to_png(path)
        paths[entry[0]] = path
    return paths


def pixels(surface):
    """Rows of a surface without stride padding, as bytes."""
    w, stride = surface.get_width(), surface.get_stride()
    data = bytes(surface.get_data())
    return b"".join(data[r * stride:r * stride + 4 * w] for r in range(surface.get_height()))


def pixel_at(surface, x, y):
    off = y * surface.get_stride() + 4 * x
    return bytes(surface.get_data()[off:off + 4])


def registration_faults(paths):
    """Lit pictures that differ from their unlit partner outside the LED areas."""
    faults = []
    for unlit, lit, inside in LIT_PAIRS:
        a = cairo.ImageSurface.create_from_png(paths[unlit])
        b = cairo.ImageSurface.create_from_png(paths[lit])
        stray = [(x, y) for y in range(a.get_height()) for x in range(a.get_width())
                 if not inside(x, y) and pixel_at(a, x, y) != pixel_at(b, x, y)]
        if stray:
            faults.append("%d/%d differ outside their LEDs at %d pixels, first %s" % (unlit, lit, len(stray), stray[0]))
    return faults


def check(resources):
    """Regenerates the set into a temporary folder and compares decoded pixels."""
    missing_fonts = [f for f in FONT_FILES if not os.path.exists(f)]
    if cairo is None or missing_fonts:
        print("make_artwork --check skipped: needs python3-cairo and fonts-dejavu-core")
        return SKIPPED
    faults = []
    with tempfile.TemporaryDirectory() as tmp:
        fresh = write_all(tmp, 1)
        for entry in IMAGES:
            image_id, name, w, h = entry[:4]
            committed = os.path.join(resources, file_name(image_id, name, 1))
            if not os.path.exists(committed):
                faults.append("%s is missing" % committed)
                continue
            a = cairo.ImageSurface.create_from_png(committed)
            b = cairo.ImageSurface.create_from_png(fresh[image_id])
            if (a.get_width(), a.get_height(), a.get_format()) != (w, h, b.get_format()):
                faults.append("%s has the wrong size or pixel format" % committed)
            elif pixels(a) != pixels(b):
                faults.append("%s differs from what the tool draws" % committed)
        faults += registration_faults(fresh)
    with open(os.path.join(resources, "brimtone.rc")) as rc:
        if rc.read() != resource_script():
            faults.append("brimtone.rc does not list the image set")
    known = {file_name(e[0], e[1], 1) for e in IMAGES}
    strays = [f for f in os.listdir(resources) if f.endswith(".png") and f[0].isdigit() and "@" not in f
              and f not in known]
    faults += ["%s is not part of the image set" % f for f in strays]
    for fault in faults:
        print("make_artwork --check: " + fault)
    if not faults:
        print("make_artwork --check: all %d images match" % len(IMAGES))
    return 1 if faults else 0


# ---------------------------------------------------------------- preview

STATES = {
    "lead": dict(enable=1, channel=3, flavour=0, tube=2, reverb=1, speaker=2, display=1, oversampling=1,
                 stereo=1, limiter=1, status="Preamp Channel = Lead"),
    "clean": dict(enable=1, channel=1, flavour=0, tube=1, reverb=2, speaker=1, display=2, oversampling=2,
                  stereo=0, limiter=0, status="Display = Tonestack Response"),
    "drive": dict(enable=1, channel=2, flavour=2, tube=0, reverb=0, speaker=0, display=3, oversampling=0,
                  stereo=1, limiter=1, status="Preamp Flavor = 2000 mk.II"),
    "off": dict(enable=0, channel=0, flavour=0, tube=0, reverb=0, speaker=0, display=0, oversampling=0,
                stereo=0, limiter=0, status="Effect Enable = Off"),
}
DIAL_VALUES = [72, 55, 64, 40, 58, 66, 30, 45, 50, 80]


def editor_controls(state):
    """(image id, x, y, frame or None, reveal) of every visible control, in drawing order."""
    s = state
    dials = [(130, 191, 30), (130, 258, 30), (130, 325, 30), (130, 191, 158), (130, 258, 158),
             (130, 325, 158), (128, 658, 158), (128, 769, 158), (132, 80, 158), (132, 880, 158)]
    shown = set()
    if not s["enable"]:
        shown |= set(range(8, 17)) | set(range(18, 25)) | {46}
    else:
        shown |= (set(range(6, 41)) - {17}) | {46}
        shown |= {1: {42, 43}, 2: {41}, 3: {44, 45}}.get(s["display"], set())
        if s["channel"] == 1:
            shown |= {2, 3, 4, 5} | ({47, 17} if s["flavour"] == 0 else {48})
        elif s["channel"] == 2:
            shown |= {0, 2, 3, 4, 5, 49}
        elif s["channel"] == 3:
            shown |= {0, 1, 2, 3, 4, 5, 50}
        else:
            shown -= {25, 26, 27}
    selected = {12: s["enable"], 13: s["limiter"], 16: s["stereo"], 17: 1, 14: 0, 15: 0}
    for first, count, key in ((18, 3, "oversampling"), (21, 4, "channel"), (25, 3, "flavour"), (28, 3, "tube"),
                              (31, 3, "reverb"), (34, 3, "speaker"), (37, 4, "display")):
        for k in range(count):
            selected[first + k] = int(k == s[key])
    buttons = {12: (135, 98, 71), 13: (135, 898, 71), 14: (135, 758, 293), 15: (135, 800, 293),
               16: (135, 842, 293), 17: (125, 258, 30), 18: (135, 884, 293), 19: (135, 926, 293),
               20: (135, 968, 293), 21: (139, 87, 285), 22: (137, 199, 285), 23: (137, 266, 285),
               24: (137, 332, 285)}
    for k, image in enumerate((144, 142, 143)):
        buttons[25 + k] = (image, 437, 58 + 19 * k)
    for col, (x, images) in enumerate(((547, (148, 149, 150)), (657, (148, 151, 152)), (767, (148, 140, 141)))):
        for k, image in enumerate(images):
            buttons[28 + 3 * col + k] = (image, x, 58 + 19 * k)
    for k in range(4):
        buttons[37 + k] = (163 + k, (415, 471, 526, 582)[k], 223)
    controls = []
    for cid in range(51):
        if cid not in shown:
            continue
        if cid <= 9:
            controls.append((dials[cid][0], dials[cid][1], dials[cid][2], None, ("dial", DIAL_VALUES[cid])))
        elif cid in (10, 11):
            controls.append((153, (24, 977)[cid - 10], 52, None, ("meter", (82, 76) if cid == 10 else (90, 86))))
        elif cid in buttons:
            controls.append(buttons[cid] + (selected[cid], None))
        elif 41 <= cid <= 45:
            image, x = {41: (134, 436), 42: (156, 436), 43: (157, 528), 44: (155, 436), 45: (158, 528)}[cid]
            controls.append((image, x, 138, None, ("scope", cid)))
        elif 47 <= cid <= 50:
            controls.append(({47: 159, 48: 160, 49: 162, 50: 161}[cid], 191, 97, None, None))
        elif cid == 46:
            controls.append((None, 0, 0, None, ("status", s["status"])))
    return controls


def dial_reveal(value, cx, cy):
    """A8 mask of the pixels a dial at `value` lights, by the editor's sector test."""
    tables = []
    for i in range(DIAL_STEPS + 1):
        t = i / DIAL_STEPS
        a = (1 - t) * DIAL_START + t * DIAL_END
        tables.append(math.tan(a) if a <= -1.5707964 else 3.4028235e38)
    n = min(int(value * 0.01 * (DIAL_STEPS + 1)), DIAL_STEPS)

    def in_sector(dx, dy):
        while dx == 0:
            dx += 0.1
        s = dy / dx
        if dx > 0:
            return s <= -tables[DIAL_STEPS - n]
        if dy >= 0:
            return tables[0] <= s <= tables[n]
        return s <= tables[n]

    mask = cairo.ImageSurface(cairo.FORMAT_A8, 64, 64)
    stride = mask.get_stride()
    data = mask.get_data()
    for py in range(64):
        for px in range(64):
            dx, dy = px - cx, py - cy
            if DIAL_INNER ** 2 <= dx * dx + dy * dy <= DIAL_OUTER ** 2 and in_sector(dx, dy):
                data[py * stride + px] = 255
    mask.mark_dirty()
    return mask


def draw_scope_content(ctx, cid, x, y):
    ctx.save()
    ctx.translate(x, y)
    ctx.set_source_rgb(*STATUS)
    ctx.set_line_width(1.2)
    if cid in (42, 43):
        v = 0.35 if cid == 42 else 0.62
        theta = math.radians(55 + 70 * v)
        ctx.move_to(41.5, 67.5)
        ctx.line_to(41.5 - 52 * math.cos(theta), 67.5 - 52 * math.sin(theta))
        ctx.stroke()
    elif cid == 41:
        for k in range(173):
            f = 20 * (22050 / 20) ** (k / 172)
            level = 6 * math.exp(-((math.log(f / 90)) ** 2) / 1.2) - 9 * math.exp(-((math.log(f / 700)) ** 2) / 0.9) \
                + 4 * math.exp(-((math.log(f / 3500)) ** 2) / 1.5)
            ctx.line_to(1 + k, 41 - level * 40 / 35)
        ctx.stroke()
    else:
        for i in range(400):
            t = i / 399 * 2 - 1
            out = math.tanh(2.2 * t * (1.3 if cid == 44 else 1.1)) * 0.8
            ctx.rectangle(41 + t * 40 * 0.9, 41 - out * 40, 1, 1)
        ctx.fill()
    ctx.restore()


def compose(state_name, images):
    state = STATES[state_name]
    panel = cairo.ImageSurface(cairo.FORMAT_RGB24, 1024, 362)
    ctx = cairo.Context(panel)
    ctx.set_source_surface(images[123])
    ctx.paint()
    for image, x, y, frame, extra in editor_controls(state):
        if image is None:
            sx, sy, sw, sh = STATUS_BOX
            text(ctx, extra[1], sx + sw / 2, sy + sh / 2, 12, STATUS)
            continue
        surface = images[image]
        frames = next(e[4] for e in IMAGES if e[0] == image)
        fh = surface.get_height() // frames
        ctx.save()
        ctx.rectangle(x, y, surface.get_width(), fh)
        ctx.clip()
        ctx.set_source_surface(surface, x, y - (frame or 0) * fh)
        ctx.paint()
        if extra and extra[0] == "dial":
            centre_y = 31.0 if image == 132 else 31.5
            ctx.set_source_surface(images[image + 1], x, y)
            ctx.mask_surface(dial_reveal(extra[1], 31.5, centre_y), x, y)
        elif extra and extra[0] == "meter":
            for left, level in zip((0, 15), extra[1]):
                idx = min(METER_STEPS, int(level * 0.01 * (METER_STEPS + 1)))
                top = int(METER_BOTTOM - idx * (METER_BOTTOM - METER_TOP) / METER_STEPS)
                ctx.save()
                ctx.rectangle(x + left, y + top, 8, METER_BOTTOM - top)
                ctx.clip()
                ctx.set_source_surface(images[154], x, y)
                ctx.paint()
                ctx.restore()
        elif extra and extra[0] == "scope":
            draw_scope_content(ctx, extra[1], x, y)
        ctx.restore()
    return panel


def preview(out, state_names):
    images = {e[0]: render(e, 1) for e in IMAGES}
    panels = [compose(name, images) for name in state_names]
    sheet = cairo.ImageSurface(cairo.FORMAT_RGB24, 1024, 362 * len(panels) + 8 * (len(panels) - 1))
    ctx = cairo.Context(sheet)
    ctx.set_source_rgb(1, 1, 1)
    ctx.paint()
    for k, panel in enumerate(panels):
        ctx.set_source_surface(panel, 0, k * 370)
        ctx.paint()
    sheet.write_to_png(out)


def main():
    global SCALE
    here = os.path.dirname(os.path.abspath(__file__))
    resources = os.path.join(os.path.dirname(here), "resources")
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--scale", type=float, default=1.0, help="size factor (2 for high-DPI screens)")
    parser.add_argument("--out", default=resources, help="folder for the images (default: resources/)")
    parser.add_argument("--check", action="store_true", help="compare the committed images with a fresh set")
    parser.add_argument("--preview", metavar="OUT.png", help="write the composed panel instead")
    parser.add_argument("--state", default="lead", choices=sorted(STATES) + ["all"], help="panel state to preview")
    args = parser.parse_args()
    if args.check:
        return check(resources)
    if cairo is None:
        sys.exit("make_artwork: needs Debian's python3-cairo (run with /usr/bin/python3)")
    missing = [f for f in FONT_FILES if not os.path.exists(f)]
    if missing:
        sys.exit("make_artwork: needs fonts-dejavu-core (%s)" % missing[0])
    if args.preview:
        preview(args.preview, ["lead", "clean", "drive", "off"] if args.state == "all" else [args.state])
        return 0
    SCALE = args.scale
    paths = write_all(args.out, args.scale)
    if args.scale == 1:
        with open(os.path.join(args.out, "brimtone.rc"), "w") as rc:
            rc.write(resource_script())
    faults = registration_faults(paths) if args.scale == 1 else []
    for fault in faults:
        print("make_artwork: " + fault)
    print("make_artwork: wrote %d images to %s" % (len(paths), args.out))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
