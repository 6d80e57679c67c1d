#!/usr/bin/python3
"""Writes src/engine/TaperTables.cpp: the knob taper curves of the amplifier engine.

Each 12-curve table holds one curve per channel and amplifier flavour, at index
channel + 4 * ampMode (channel 0 Bypass, 1 Clean, 2 Drive, 3 Lead); the gain table
holds the Drive and Lead curves at (channel - 2) + 2 * ampMode.

The tone and shape curves are the measured pot tapers below. Of the level and gain
curves only a few are measured; the others are derived from the measured curve of the
same kind by scaling its logarithmic profile so that it starts at the curve's own first
value and still ends at 1:  v'[i] = v[i] ** (ln first' / ln first).  That keeps the
point-to-point ratio profile (near-exponential growth for Drive and Lead, the S shape
of the Clean level) and keeps every curve monotonic.

Usage: /usr/bin/python3 tools/make_tapers.py [--plot out.png] [--check]
  --check  regenerate into a temporary file; exit 1 if the committed file differs.
"""

import argparse
import filecmp
import math
import os
import sys
import tempfile

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUTPUT = os.path.join(REPO, "src", "engine", "TaperTables.cpp")

CHANNELS = ("Bypass", "Clean", "Drive", "Lead")
FLAVOURS = 3

# Tone curves: one for Clean and one shared by Drive and Lead, equal in every flavour.
LOW = {
    "Clean": [0, 0.005098, 0.009703, 0.01485, 0.02066, 0.02723, 0.03461, 0.04307, 0.05271, 0.0638,
              0.0767, 0.09187, 0.11, 0.132, 0.1597, 0.1957, 0.2459, 0.3234, 0.4706, 1],
    "Drive": [0, 0.008978, 0.01775, 0.02743, 0.03814, 0.05001, 0.06328, 0.07811, 0.09479, 0.1137,
              0.1353, 0.1602, 0.1894, 0.2241, 0.2665, 0.3198, 0.3903, 0.4905, 0.6525, 1],
}
MID = {
    "Clean": [0, 0.02043, 0.04269, 0.06697, 0.09347, 0.1224, 0.1541, 0.1888, 0.2268, 0.2684,
              0.3141, 0.3643, 0.4195, 0.4801, 0.5469, 0.6205, 0.7016, 0.7912, 0.8903, 1],
    "Drive": [0, 0.01793, 0.03745, 0.05876, 0.08207, 0.1076, 0.1356, 0.1665, 0.2005, 0.2382,
              0.28, 0.3264, 0.3784, 0.4366, 0.5022, 0.5764, 0.6609, 0.7578, 0.8697, 1],
}
HIGH = {
    "Clean": [0, 0.00706, 0.01534, 0.02527, 0.03717, 0.0513, 0.06818, 0.08831, 0.1123, 0.141,
              0.1752, 0.216, 0.2647, 0.3228, 0.3922, 0.475, 0.5737, 0.6916, 0.8322, 1],
    "Drive": [0, 0.01654, 0.03496, 0.05552, 0.07847, 0.1041, 0.1326, 0.1644, 0.2, 0.2396,
              0.2839, 0.3332, 0.3883, 0.4497, 0.5183, 0.5947, 0.6801, 0.7753, 0.8815, 1],
}
HIGH_GAIN_CHANNELS = ("Drive", "Lead")

# Shape curves that are not linear, keyed by (channel, flavour).
SHAPE = {
    ("Drive", 0): [0, 0.1419, 0.2566, 0.3518, 0.4323, 0.5016, 0.5621, 0.6156, 0.6634, 0.7065,
                   0.7457, 0.7817, 0.815, 0.8459, 0.875, 0.9023, 0.9283, 0.9531, 0.9769, 1],
    ("Lead", 0): [0, 0.3072, 0.4878, 0.6061, 0.6894, 0.7508, 0.7978, 0.8348, 0.8645, 0.8888,
                  0.9089, 0.9258, 0.9401, 0.9523, 0.9629, 0.9722, 0.9803, 0.9875, 0.994, 1],
    ("Drive", 1): [0, 0.1223, 0.2238, 0.3099, 0.3845, 0.4502, 0.5089, 0.5619, 0.6103, 0.655,
                   0.6966, 0.7355, 0.7724, 0.8075, 0.8413, 0.8739, 0.9058, 0.9372, 0.9684, 1],
    ("Lead", 1): [0, 0.3117, 0.4942, 0.6135, 0.6971, 0.7587, 0.8056, 0.8423, 0.8717, 0.8957,
                  0.9154, 0.9318, 0.9456, 0.9573, 0.9672, 0.9758, 0.9832, 0.9896, 0.9952, 1],
    ("Lead", 2): [0, 0.2877, 0.4718, 0.5958, 0.6835, 0.7482, 0.7975, 0.836, 0.8667, 0.8916,
                  0.9122, 0.9293, 0.9436, 0.9557, 0.9661, 0.975, 0.9826, 0.9892, 0.995, 1],
}

# Measured level and gain curves: the reference shape of their kind.
LEVEL_CLEAN_0 = [0.06257, 0.07791, 0.09741, 0.1223, 0.1542, 0.1951, 0.247, 0.311, 0.3863, 0.4686,
                 0.5513, 0.6283, 0.696, 0.7533, 0.8007, 0.8396, 0.8712, 0.8969, 0.9178, 0.9348,
                 0.9486, 0.9598, 0.969, 0.9765, 0.9826, 0.9876, 0.9917, 0.995, 0.9977, 1]
LEVEL_DRIVE_0 = [0.002149, 0.00264, 0.003185, 0.003878, 0.004736, 0.005772, 0.007029, 0.008599,
                 0.0105, 0.01283, 0.01569, 0.0192, 0.02353, 0.02884, 0.0354, 0.04352, 0.05359,
                 0.06613, 0.08181, 0.1015, 0.1264, 0.1581, 0.1986, 0.2508, 0.3182, 0.4052,
                 0.5161, 0.6539, 0.8175, 1]
GAIN_DRIVE_0 = [0.003241, 0.003757, 0.004447, 0.005182, 0.006103, 0.007167, 0.008378, 0.009868,
                0.01162, 0.01367, 0.0161, 0.01897, 0.02237, 0.02642, 0.0313, 0.03707, 0.04408,
                0.05252, 0.06276, 0.07531, 0.0908, 0.1101, 0.1346, 0.166, 0.2073, 0.2632,
                0.3419, 0.4589, 0.6482, 1]
GAIN_LEAD_0 = [0.001295, 0.001493, 0.001729, 0.002057, 0.002385, 0.002795, 0.003287, 0.003822,
               0.004511, 0.005268, 0.006189, 0.007279, 0.008518, 0.01001, 0.01179, 0.01388,
               0.01635, 0.01926, 0.02271, 0.02686, 0.0318, 0.03771, 0.04496, 0.05463, 0.06761,
               0.08504, 0.1135, 0.1717, 0.3109, 1]

# First points of the derived curves, keyed by (channel, flavour), with their reference.
LEVEL_FIRST = {
    ("Lead", 0): (0.001778, LEVEL_DRIVE_0),
    ("Clean", 1): (0.009466, LEVEL_CLEAN_0),
    ("Clean", 2): (0.009466, LEVEL_CLEAN_0),
    ("Drive", 1): (0.002711, LEVEL_DRIVE_0),
    ("Lead", 1): (0.00271, LEVEL_DRIVE_0),
    ("Drive", 2): (0.002493, LEVEL_DRIVE_0),
    ("Lead", 2): (0.002315, LEVEL_DRIVE_0),
}
GAIN_FIRST = {
    ("Drive", 1): (0.008996, GAIN_DRIVE_0),
    ("Lead", 1): (0.005771, GAIN_LEAD_0),
    ("Drive", 2): (0.008993, GAIN_DRIVE_0),
    ("Lead", 2): (0.006067, GAIN_LEAD_0),
}


def linear(points):
    """The Bypass (and linear) curve, stored to nine decimals."""
    return [round(i / (points - 1), 9) for i in range(points)]


def significant(value, digits=4):
    """Rounds to the precision of the measured rows."""
    return float(f"{value:.{digits - 1}e}")


def derived(first, reference):
    """The reference curve's log profile rescaled to start at `first` and end at 1."""
    exponent = math.log(first) / math.log(reference[0])
    curve = [significant(v ** exponent) for v in reference]
    curve[0] = first
    curve[-1] = 1.0
    return curve


def tone_table(table):
    curves = []
    for flavour in range(FLAVOURS):
        for channel in CHANNELS:
            if channel == "Bypass":
                curves.append(linear(20))
            else:
                curves.append(table["Clean" if channel == "Clean" else "Drive"])
    return curves


def shape_table():
    return [SHAPE.get((channel, flavour), linear(20))
            for flavour in range(FLAVOURS) for channel in CHANNELS]


def level_table():
    curves = []
    for flavour in range(FLAVOURS):
        for channel in CHANNELS:
            if channel == "Bypass":
                curves.append(linear(30))
            elif (channel, flavour) == ("Clean", 0):
                curves.append(LEVEL_CLEAN_0)
            elif (channel, flavour) == ("Drive", 0):
                curves.append(LEVEL_DRIVE_0)
            else:
                curves.append(derived(*LEVEL_FIRST[(channel, flavour)]))
    return curves


def gain_table():
    curves = []
    for flavour in range(FLAVOURS):
        for channel in HIGH_GAIN_CHANNELS:
            if flavour == 0:
                curves.append(GAIN_DRIVE_0 if channel == "Drive" else GAIN_LEAD_0)
            else:
                curves.append(derived(*GAIN_FIRST[(channel, flavour)]))
    return curves


def check(name, curves):
    for index, curve in enumerate(curves):
        assert all(b >= a for a, b in zip(curve, curve[1:])), f"{name}[{index}] decreases"
        assert curve[-1] == 1.0, f"{name}[{index}] does not end at 1"


def format_value(value):
    text = repr(float(value))
    return "1.0" if text == "1.0" else text.replace("e-0", "e-")


def format_table(name, curves, labels):
    lines = [f"const double {name}[{len(curves)}][{len(curves[0])}] = {{"]
    for label, curve in zip(labels, curves):
        lines.append(f"    // {label}")
        values = [format_value(v) for v in curve]
        rows = [", ".join(values[i:i + 10]) for i in range(0, len(values), 10)]
        lines.append("    {" + (",\n     ".join(rows)) + "},")
    lines.append("};")
    return "\n".join(lines)


def labels(channels):
    return [f"{channel}, flavour {flavour}" for flavour in range(FLAVOURS) for channel in channels]


def tables():
    return [
        ("levelTapers", level_table(), labels(CHANNELS)),
        ("lowTapers", tone_table(LOW), labels(CHANNELS)),
        ("midTapers", tone_table(MID), labels(CHANNELS)),
        ("highTapers", tone_table(HIGH), labels(CHANNELS)),
        ("shapeTapers", shape_table(), labels(CHANNELS)),
        ("gainTapers", gain_table(), labels(HIGH_GAIN_CHANNELS)),
    ]


def write_source(all_tables, path=OUTPUT):
    parts = [
        "// Generated by tools/make_tapers.py; edit the generator, not this file.",
        "#include \"engine/TaperTables.h\"",
        "",
        "namespace brimtone::tapers {",
        "",
    ]
    for name, curves, curve_labels in all_tables:
        check(name, curves)
        parts.append(format_table(name, curves, curve_labels))
        parts.append("")
    parts.append("}  // namespace brimtone::tapers")
    with open(path, "w") as out:
        out.write("\n".join(parts) + "\n")


def plot(all_tables, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    figure, axes = plt.subplots(2, 3, figsize=(15, 8))
    for axis, (name, curves, curve_labels) in zip(axes.flat, all_tables):
        for curve, label in zip(curves, curve_labels):
            if not label.startswith("Bypass"):
                axis.plot([i / (len(curve) - 1) for i in range(len(curve))], curve, ".-",
                          label=label, linewidth=0.8)
        if name in ("levelTapers", "gainTapers"):
            axis.set_yscale("log")
        axis.set_title(name)
        axis.grid(True, which="both", alpha=0.3)
        axis.legend(fontsize=6)
    figure.tight_layout()
    figure.savefig(path, dpi=110)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--plot", help="also draw every curve into this PNG")
    parser.add_argument("--check", action="store_true", help="compare with the committed file")
    arguments = parser.parse_args()
    all_tables = tables()
    if arguments.check:
        with tempfile.TemporaryDirectory() as tmp:
            fresh = os.path.join(tmp, os.path.basename(OUTPUT))
            write_source(all_tables, fresh)
            if not filecmp.cmp(fresh, OUTPUT, shallow=False):
                print(f"make_tapers --check: {OUTPUT} differs from what the tool generates")
                return 1
        print(f"make_tapers --check: {OUTPUT} is up to date")
        return 0
    write_source(all_tables)
    if arguments.plot:
        plot(all_tables, arguments.plot)


if __name__ == "__main__":
    sys.exit(main())
