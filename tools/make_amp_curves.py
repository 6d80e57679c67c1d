#!/usr/bin/python3
"""Generates the stored curve tables of the preamp flavour stages.

Three measured device curves are known only at a few telling points: the transfer
curve of the 2000 stage (T1), the clipping-network curve of the 2000 Lead clipper
(T4) and the device curve of the 1994 stage (U1). This tool fills the evenly spaced
grids between those points with smooth monotone curves and writes them as C++ source
(src/amp/tables/FlavorCurves.h and .cpp). The build never runs it; its output is
committed.

Method. A monotone curve is the integral of a derivative of one sign, so the tool
writes the derivative as +-exp(s(x)) and integrates it on the table grid (Simpson's rule
on 8 sub-steps per grid step, anchored at the telling point of smallest magnitude).
Because exp() is positive the table is monotone whatever the solver does. s is a
monotone piecewise cubic (PCHIP, so the curve is twice continuously differentiable)
through values at 8 knots per interval between telling points; those values are solved
for, by least squares, so that the table read back with the linear interpolation of the
C++ CurveTable reproduces every telling point to a small fraction of its last digit and
the two given end slopes (difference of the two end samples times points per unit).
The remaining freedom goes to smoothness: second differences of s from knot to knot
are penalised almost in proportion to their size rather than squared, which keeps the
log-slope piecewise straight with few bends - an exponential knee stays a knee, a
linear stretch stays linear, and nothing rings between the points.

Per curve:
- T1 (decreasing) as described.
- T4 spans ten decades below x = 3, so it is built in the log domain: log y is the
  integral of exp(s), so y is positive and increasing and the tiny values interpolate
  geometrically.
- U1 has two sharp conduction knees around a long, nearly flat stretch; s is the log of
  a fitted clipper model (leakage slope plus two logistic conduction branches) plus the
  spline, so the spline only corrects a shape that already has the knees.

Usage: /usr/bin/python3 tools/make_amp_curves.py [--plot out.png] [--check]
(needs python3-numpy, python3-scipy; python3-cairo for --plot)
  --check  check the committed tables against the telling points, end slopes and monotony
           (the fit itself depends on the numerical libraries); exit 1 on a fault, 77 if
           numpy or scipy is missing.
"""

import argparse
import decimal
import filecmp
import os
import sys
import tempfile

try:
    import numpy as np
    from scipy.interpolate import PchipInterpolator
    from scipy.optimize import least_squares
except ImportError:
    if "--check" in sys.argv:
        print("make_amp_curves --check skipped: needs python3-numpy and python3-scipy")
        sys.exit(77)
    raise

SUB_STEPS = 8  # Simpson sub-steps per grid step (even)
KNOTS_PER_STEP = 8  # spline knots per interval between telling points
SMOOTHING = 1e-3  # weight of the smoothness terms against the telling points
KINK = 0.01  # second differences beyond this are penalised in proportion (not squared)


class Curve:
    def __init__(self, name, label, x_min, x_max, count, ppu_literal, rows,
                 slope_below, slope_above, sign, log_domain, comment, prior=None):
        self.name = name
        self.label = label
        self.x_min = x_min
        self.x_max = x_max
        self.count = count
        # The grid spacing's inverse exactly as the C++ code spells it.
        self.ppu_literal = ppu_literal
        self.ppu = float(ppu_literal)
        self.rows = [(float(x), float(y), half_unit(y)) for x, y in rows]
        self.slope_below = slope_below
        self.slope_above = slope_above
        self.sign = sign
        self.log_domain = log_domain
        self.comment = comment
        # Optional shape model of log|dy/dx| that the spline corrects (see Fitter).
        self.prior = prior
        self.table = None


def half_unit(text):
    """Half a unit of the last digit written in a decimal literal."""
    exponent = decimal.Decimal(text).as_tuple().exponent
    return 0.5 * 10.0 ** exponent


def clipper_prior(rows):
    """Shape model of a two-sided clipper: a small leakage slope plus a conduction branch
    on each side that switches on exponentially and saturates (the logistic derivative
    of softplus). Fitted to the telling points' interval averages; returns log|dy/dx|."""
    x = np.array([r[0] for r in rows])
    y = np.array([r[1] for r in rows])

    def slope(p, v):
        leak, log_left, k_left, x_left, log_right, k_right, x_right = p
        return (leak * 1e-6 + np.exp(log_left) / (1.0 + np.exp(k_left * (v - x_left)))
                + np.exp(log_right) / (1.0 + np.exp(k_right * (x_right - v))))

    def integral(p, v):
        leak, log_left, k_left, x_left, log_right, k_right, x_right = p
        return (leak * 1e-6 * v - np.exp(log_left) * np.logaddexp(0.0, k_left * (x_left - v)) / k_left
                + np.exp(log_right) * np.logaddexp(0.0, k_right * (v - x_right)) / k_right)

    def misfit(p):
        return np.log(np.maximum(np.diff(integral(p, x)), 1e-300) / np.diff(y))

    start = [8.6, np.log(4e-3), 15.0, -1.6, np.log(3e-3), 7.0, 3.4]
    p = least_squares(misfit, start).x
    return lambda v: np.log(slope(p, v))


CURVES = [
    Curve("flavorTransfer2000", "T1", -3.0, 3.0, 5001, "833.3333333333333", [
        ("-3", "4.34186376"), ("-2", "4.05867471"), ("-1", "3.7434253"),
        ("-0.5", "3.5362028"), ("-0.1", "3.1866694"), ("-0.048", "3.01050974"),
        ("-0.03", "2.82007415"), ("-0.018", "2.08714505"), ("-0.012", "1.39467141"),
        ("-0.006", "0.69905307"), ("0", "0.00341442"), ("0.006", "-0.69219404"),
        ("0.012", "-1.2298921"), ("0.018", "-1.33107342"), ("0.03", "-1.39888026"),
        ("0.048", "-1.44669436"), ("0.1", "-1.51419694"), ("0.5", "-1.69417975"),
        ("1", "-1.82052839"), ("2", "-2.02953991"), ("3", "-2.22743985")],
        -0.28030833333284966, -0.19850833333334703, -1.0, False,
        "Transfer curve of the 2000 stage (T1): an inverting stage, decreasing, with a\n"
        "// nearly linear steep part (slope about -116) between x = -0.018 and 0.012."),
    Curve("flavorClipNetwork2000", "T4", 0.0, 8.0, 1601, "200.0", [
        ("0", "4.886897218e-10"), ("1", "7.719193546e-10"), ("2", "4.832405198e-09"),
        ("2.5", "4.593936141e-07"), ("3", "5.125108202e-05"), ("3.25", "0.0005343719777"),
        ("3.5", "0.00516139103"), ("3.75", "0.0331250051"), ("4", "0.1027086809"),
        ("4.5", "0.3082977482"), ("5", "0.5449759186"), ("5.5", "0.7923022208"),
        ("6", "1.04530924"), ("6.5", "1.30162236"), ("7", "1.560115102"),
        ("7.5", "1.820137093"), ("8", "2.081325613")],
        3.3352280000006945e-11, 0.5231876000000746, 1.0, True,
        "Clipping-network curve of the 2000 Lead clipper (T4): forward conduction, near\n"
        "// zero up to about x = 3, then close to linear."),
    Curve("flavorDevice1994", "U1", -16.0, 16.0, 5001, "156.25", [
        ("-16", "-0.04545221105"), ("-14", "-0.04029500851"), ("-12", "-0.03502534476"),
        ("-10", "-0.02959820304"), ("-8", "-0.02393006133"), ("-6", "-0.01781593188"),
        ("-4", "-0.01081532043"), ("-3", "-0.006693349881"), ("-2", "-0.001836863703"),
        ("-1", "-8.64405749e-06"), ("0", "2.066157687e-11"), ("1", "8.607010242e-06"),
        ("2", "1.722777041e-05"), ("3", "4.659358245e-05"), ("4", "0.001800896657"),
        ("6", "0.008670974785"), ("8", "0.01450911498"), ("10", "0.01971454723"),
        ("12", "0.02458202682"), ("14", "0.02923694925"), ("16", "0.03374578059")],
        0.002566121875000396, 0.0022342921875010205, 1.0, False,
        "Device curve of the 1994 stage (U1): increasing and asymmetric, steeper for\n"
        "// negative x.", clipper_prior),
]


def lookup(table, curve, x):
    """The C++ CurveTable read inside the grid: truncation, 1e-10 fraction rule."""
    f = (x - curve.x_min) * curve.ppu
    i = int(f)
    phi = f - i
    if phi <= 1e-10:
        return table[i]
    return table[i] + (table[i + 1] - table[i]) * phi


class Fitter:
    def __init__(self, curve):
        self.c = curve
        rows_x = np.array([r[0] for r in curve.rows])
        # Knots at the telling points and evenly between them.
        steps = np.arange(KNOTS_PER_STEP) / KNOTS_PER_STEP
        self.knots = np.concatenate(
            [a + (b - a) * steps for a, b in zip(rows_x[:-1], rows_x[1:])] + [rows_x[-1:]])
        n = curve.count
        self.fine_x = curve.x_min + np.arange((n - 1) * SUB_STEPS + 1) / (curve.ppu * SUB_STEPS)
        self.fine_x[-1] = curve.x_max
        w = np.ones(SUB_STEPS + 1)
        w[1:-1:2] = 4.0
        w[2:-1:2] = 2.0
        self.simpson = w / (3.0 * SUB_STEPS * curve.ppu)
        # Anchor: the telling point of smallest magnitude lying on the grid.
        on_grid = [(abs(y), x, y) for x, y, _ in curve.rows
                   if abs((x - curve.x_min) * curve.ppu - round((x - curve.x_min) * curve.ppu)) < 1e-9]
        _, ax, ay = min(on_grid)
        self.anchor_index = int(round((ax - curve.x_min) * curve.ppu))
        self.anchor_value = np.log(ay) if curve.log_domain else ay
        # s = prior + spline: the spline carries what the prior's few parameters miss.
        self.prior = curve.prior([r[:2] for r in curve.rows]) if curve.prior else None
        self.prior_fine = self.prior(self.fine_x) if self.prior else 0.0

    def table(self, params):
        g = np.exp(self.prior_fine + PchipInterpolator(self.knots, params)(self.fine_x))
        steps = np.lib.stride_tricks.sliding_window_view(g, SUB_STEPS + 1)[::SUB_STEPS]
        increments = steps @ self.simpson
        integral = np.concatenate(([0.0], np.cumsum(increments)))
        sign = 1.0 if self.c.log_domain else self.c.sign
        values = self.anchor_value + sign * (integral - integral[self.anchor_index])
        return np.exp(values) if self.c.log_domain else values

    def residuals(self, params):
        t = self.table(params)
        c = self.c
        r = [(lookup(t, c, x) - y) / tol for x, y, tol in c.rows]
        r.append(((t[1] - t[0]) * c.ppu - c.slope_below) / (1e-9 * abs(c.slope_below)))
        r.append(((t[-1] - t[-2]) * c.ppu - c.slope_above) / (1e-9 * abs(c.slope_above)))
        # Smoothness: second differences of the spline from knot to knot, weighted lightly so
        # that the telling points still hold to a small fraction of their last digit.
        second = np.diff(params, 2)
        r.extend(SMOOTHING * second / (1.0 + (second / KINK) ** 2) ** 0.25)
        return np.array(r)

    def initial(self):
        """No correction on a prior; else the log of the secant slopes (of y, or of
        log y), interpolated between the interval middles."""
        if self.prior:
            return np.zeros(len(self.knots))
        xs = np.array([r[0] for r in self.c.rows])
        ys = np.array([r[1] for r in self.c.rows])
        if self.c.log_domain:
            ys = np.log(ys)
        secants = np.log(np.abs(np.diff(ys) / np.diff(xs)))
        mids = 0.5 * (xs[1:] + xs[:-1])
        s = np.interp(self.knots, mids, secants)
        return s

    def solve(self):
        fit = least_squares(self.residuals, self.initial(), method="lm", xtol=1e-15,
                            ftol=1e-15, gtol=1e-15, max_nfev=20000)
        t = self.table(fit.x)
        # Make the end slopes exact: the solve leaves them within 1e-9 relative.
        t[1] = t[0] + self.c.slope_below / self.c.ppu
        t[-2] = t[-1] - self.c.slope_above / self.c.ppu
        return t


def check(curve, t):
    """Every telling point to half a unit of its last digit, end slopes, monotony."""
    worst = 0.0
    for x, y, tol in curve.rows:
        worst = max(worst, abs(lookup(t, curve, x) - y) / tol)
    d = np.diff(t) * curve.sign
    slope_errors = (abs((t[1] - t[0]) * curve.ppu - curve.slope_below),
                    abs((t[-1] - t[-2]) * curve.ppu - curve.slope_above))
    print(f"{curve.label}: worst row error {worst:.3g} half-units, "
          f"min step {d.min():.3g}, end slope errors {slope_errors[0]:.3g} {slope_errors[1]:.3g}")
    if worst >= 1.0 or d.min() <= 0.0:
        sys.exit(f"{curve.label}: fit failed")


def check_committed(root):
    """The fit's least-squares solution depends on the numerical libraries, so the committed
    tables are not compared digit by digit: the header must be what this tool writes, and each
    committed table must pass the fit's own checks (telling points, end slopes, monotony)."""
    tables = os.path.join(root, "src", "amp", "tables")
    with tempfile.TemporaryDirectory() as tmp:
        os.makedirs(os.path.join(tmp, "src", "amp", "tables"))
        for c in CURVES:
            c.table = np.zeros(c.count + 1)
        write_sources(tmp)
        if not filecmp.cmp(os.path.join(tmp, "src", "amp", "tables", "FlavorCurves.h"),
                           os.path.join(tables, "FlavorCurves.h"), shallow=False):
            print("make_amp_curves --check: FlavorCurves.h differs from what the tool generates")
            return 1
    with open(os.path.join(tables, "FlavorCurves.cpp")) as f:
        source = f.read()
    for c in CURVES:
        body = source.split(f"const double {c.name}[{c.count + 1}] = {{", 1)[1].split("};", 1)[0]
        values = [float(v) for v in body.replace("// the last point again", "").replace(",", " ").split()]
        if len(values) != c.count + 1 or values[-1] != values[-2]:
            print(f"make_amp_curves --check: {c.name} has the wrong length or end")
            return 1
        t = np.array(values[:-1])
        check(c, t)
        for measured, stored in (((t[1] - t[0]) * c.ppu, c.slope_below), ((t[-1] - t[-2]) * c.ppu, c.slope_above)):
            if abs(measured - stored) > 1e-9 * abs(stored):
                print(f"make_amp_curves --check: {c.name} end slope {measured!r} is not the stored {stored!r}")
                return 1
    print("make_amp_curves --check: the committed curve tables pass the fit's checks")
    return 0


def write_sources(root):
    header = os.path.join(root, "src", "amp", "tables", "FlavorCurves.h")
    source = os.path.join(root, "src", "amp", "tables", "FlavorCurves.cpp")
    note = "// Generated by tools/make_amp_curves.py; do not edit by hand.\n"
    with open(header, "w") as h:
        h.write("#pragma once\n\n" + note + "//\n"
                "// Stored device curves of the preamp flavour stages on evenly spaced grids, with\n"
                "// the CurveTable that reads each (linear interpolation, linear continuation by\n"
                "// the end slopes). Each array ends with a copy of its last point, which\n"
                "// CurveTable reads together with a point's successor.\n\n"
                "#include \"dsp/CurveTable.h\"\n\n"
                "namespace brimtone::tables {\n")
        for c in CURVES:
            h.write(f"\n// {c.comment}\n"
                    f"extern const double {c.name}[{c.count + 1}];\n"
                    f"inline constexpr CurveTable {c.name}Curve({c.name}, {c.ppu_literal}, "
                    f"{c.x_min!r}, {c.x_max!r},\n    {c.slope_above!r}, {c.slope_below!r}, {c.count});\n")
        h.write("\n} // namespace brimtone::tables\n")
    with open(source, "w") as s:
        s.write(note + "\n#include \"amp/tables/FlavorCurves.h\"\n\nnamespace brimtone::tables {\n")
        for c in CURVES:
            s.write(f"\nconst double {c.name}[{c.count + 1}] = {{\n")
            values = [repr(float(v)) for v in c.table]
            for i in range(0, len(values), 4):
                s.write("    " + ", ".join(values[i:i + 4]) + ",\n")
            s.write(f"    {values[-1]}, // the last point again\n}};\n")
        s.write("\n} // namespace brimtone::tables\n")


def plot(path):
    """Each curve (top) and the log of its slope magnitude (bottom), telling points marked;
    T1 and U1 also around their knees."""
    import cairo
    panels = [(CURVES[0], -3, 3), (CURVES[0], -0.06, 0.06), (CURVES[1], 0, 8),
              (CURVES[2], -16, 16), (CURVES[2], -5, 6)]
    width, height = 360, 300
    surface = cairo.ImageSurface(cairo.FORMAT_RGB24, width * len(panels), 2 * height)
    cr = cairo.Context(surface)
    cr.set_source_rgb(1, 1, 1)
    cr.paint()
    for p, (c, lo, hi) in enumerate(panels):
        x = c.x_min + np.arange(c.count) / c.ppu
        sel = (x >= lo) & (x <= hi)
        xs, ys = x[sel], c.table[sel]
        slope = np.log10(np.maximum(np.abs(np.diff(c.table) * c.ppu), 1e-300))
        xm = 0.5 * (x[1:] + x[:-1])
        sel_m = (xm >= lo) & (xm <= hi)
        curves = [(xs, np.log10(ys) if c.log_domain else ys, "log10 y" if c.log_domain else "y"),
                  (xm[sel_m], slope[sel_m], "log10 |dy/dx|")]
        for row, (px, py, title) in enumerate(curves):
            ox, oy = p * width + 40, row * height + 20
            w, h = width - 55, height - 50
            y0, y1 = py.min(), py.max()
            sx = lambda v: ox + (v - lo) / (hi - lo) * w
            sy = lambda v: oy + h - (v - y0) / (y1 - y0) * h
            cr.set_source_rgb(0.85, 0.85, 0.85)
            cr.rectangle(ox, oy, w, h)
            cr.stroke()
            cr.set_source_rgb(0, 0, 0)
            cr.move_to(ox, oy - 5)
            cr.show_text(f"{c.label} {title}  [{lo}, {hi}]  {y0:.3g} .. {y1:.3g}")
            cr.set_source_rgb(0.1, 0.2, 0.8)
            cr.set_line_width(1.0)
            cr.move_to(sx(px[0]), sy(py[0]))
            for a, b in zip(px[1:], py[1:]):
                cr.line_to(sx(a), sy(b))
            cr.stroke()
            if row == 0:
                cr.set_source_rgb(0.9, 0.1, 0.1)
                for rx, ry, _ in c.rows:
                    if lo <= rx <= hi:
                        v = np.log10(ry) if c.log_domain else ry
                        cr.arc(sx(rx), sy(v), 2.5, 0, 2 * np.pi)
                        cr.fill()
    surface.write_to_png(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--plot", help="also draw the curves into this PNG file")
    parser.add_argument("--check", action="store_true", help="compare with the committed files")
    args = parser.parse_args()
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    if args.check:
        return check_committed(root)
    for c in CURVES:
        c.table = Fitter(c).solve()
        check(c, c.table)
    write_sources(root)
    if args.plot:
        plot(args.plot)


if __name__ == "__main__":
    sys.exit(main())
