#!/usr/bin/python3
"""Writes the loudspeaker-cabinet and spring-tank impulse responses as C++ tables.

Outputs (committed; the build never runs this tool):
  src/fx/tables/CabinetResponses.{h,cpp}  four 1024-sample cabinet responses
  src/fx/tables/SpringResponses.{h,cpp}   two 32768-sample spring responses

Cabinets. Each 12-inch speaker is a minimum-phase system whose magnitude is built from
its physics: the cone's suspension resonance in the box (a resonant second-order
high-pass) with a second high-pass below it, so that the response falls steeply below
about 80 Hz; box and cone modes in the low mids; the cone break-up region with the
presence peak and a narrow break-up notch; and the steep roll-off of the cone above about
5 kHz. The 1x12 is one such speaker, close-miked. The 4x12 adds the three other speakers
of the cabinet at their distance from the microphone (spherical spreading, travel time
and the off-axis beaming of a rigid piston), which combs the response. The roll-off
corner, the presence gain and the trimmed onset are fitted so that the first eight
samples follow the measured ones; those samples are then set exactly, a slow sub-bass
lobe makes each table's sum the measured one, and a gentle exponential tilt brings the
last samples to about 1e-3.

Springs. Each output transducer of the tank hears two springs. A torsional wave on a
helical spring is dispersive: low frequencies outrun the high ones, so every transit
turns a click into a rising chirp, and the chirps stretch with every round trip. A
spring's transfer function is the closed form of its echo train,
    H(f) = B(f) e^{-j phi(f)} / (1 - R(f) e^{-2 j phi(f)}),
with the transducers' band B, the transit phase phi (its derivative is the
frequency-dependent group delay) and the round-trip loss R, which grows with frequency.
Scattering at the springs' irregularities adds a diffuse part between the echoes, and
the tank frame carries a weak rustle to the pick-up before the first wave arrives. The
strongest arrival is moved to its measured index and normalised to 1, the measured
samples 256..261 are set, and a smooth envelope (1 until sample 800) gives the measured
energy per 4096-sample block.

Every stored value keeps six significant digits, like the measured samples.

Usage: /usr/bin/python3 tools/make_impulse_responses.py [--plots DIR] [--check]
  --check  regenerate into a temporary folder; exit 1 if the committed tables differ,
           77 if numpy or scipy is missing.
"""

import argparse
import filecmp
import os
import sys
import tempfile

try:
    import numpy as np
    import scipy.optimize
    import scipy.special
except ImportError:
    if "--check" in sys.argv:
        print("make_impulse_responses --check skipped: needs python3-numpy and python3-scipy")
        sys.exit(77)
    raise

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TABLES = os.path.join(REPO, "src", "fx", "tables")

SPEED_OF_SOUND = 343.0  # m/s
STORED_DIGITS = 6


def stored_values(values):
    """The tables keep six significant digits, like the measured samples they contain."""
    return np.array([float(f"{v:.{STORED_DIGITS}g}") for v in values], np.float32)


# ---------------------------------------------------------------------------------------
# Cabinets

CABINET_LENGTH = 1024
CABINET_TAIL_LEVEL = 1e-3       # peak level of the last 64 samples
CABINET_FFT = 1 << 14
SUM_LOBE_CORNER = 25.0          # Hz
CABINET_SPLICE_BAND = 0.4       # cycles per sample: 17.6 kHz at 44.1 kHz
CONE_RADIUS = 0.12              # effective radiating radius of a 12-inch cone, m


class Speaker:
    """Magnitude response of one close-miked 12-inch speaker in its box."""

    def __init__(self, resonance, resonance_q, modes, rolloff_order):
        self.resonance = resonance          # suspension + box resonance, Hz
        self.resonance_q = resonance_q
        self.modes = modes                  # (frequency, gain dB, Q) of box/cone modes
        self.rolloff_order = rolloff_order  # Butterworth order of the cone roll-off

    def magnitude(self, f, corner, presence_db):
        m = high_pass2(f, self.resonance, self.resonance_q) * high_pass2(f, 62.0, 0.55)
        m *= 1.0 / np.sqrt(1.0 + (f / corner) ** (2 * self.rolloff_order))
        for frequency, gain, q in self.modes:
            if gain == "presence":
                gain = presence_db
            m *= peaking(f, frequency, gain, q)
        return m


def high_pass2(f, f0, q):
    s = 1j * f / f0
    return np.abs(s * s / (s * s + s / q + 1.0))


def peaking(f, f0, gain_db, q):
    a = 10.0 ** (gain_db / 40.0)
    s = 1j * f / f0
    return np.abs((s * s + s * (a / q) + 1.0) / (s * s + s / (a * q) + 1.0))


def piston_directivity(f, angle):
    """Far-field directivity of a rigid circular piston in a baffle."""
    x = 2.0 * np.pi * f * CONE_RADIUS / SPEED_OF_SOUND * np.sin(angle)
    x = np.maximum(x, 1e-9)
    return np.abs(2.0 * scipy.special.j1(x) / x)


def minimum_phase(magnitude):
    """Minimum-phase spectrum with the given magnitude (real cepstrum folding)."""
    log_magnitude = np.log(np.maximum(magnitude, 1e-5))
    full = np.concatenate([log_magnitude, log_magnitude[-2:0:-1]])
    cepstrum = np.fft.ifft(full).real
    n = len(full)
    fold = np.zeros(n)
    fold[0] = 1.0
    fold[1:n // 2] = 2.0
    fold[n // 2] = 1.0
    return np.exp(np.fft.fft(cepstrum * fold))[:n // 2 + 1]


# Open-back 1x12 combo: higher, livelier bass resonance, a broad presence peak.
SPEAKER_1X12 = Speaker(105.0, 1.9, [(190.0, 2.0, 2.0), (520.0, -3.0, 1.2), (1250.0, 2.0, 2.5),
                                    (2600.0, "presence", 1.4), (4100.0, -7.0, 5.0)], 6)
# Closed-back 4x12: deeper, tighter bass; a harder upper-mid hump from stiffer cones.
SPEAKER_4X12 = Speaker(88.0, 1.3, [(260.0, 1.5, 2.0), (720.0, -2.5, 1.5), (1800.0, 3.0, 2.0),
                                   (4000.0, "presence", 1.8), (4600.0, -6.0, 5.0)], 4)

# 4x12 geometry: speaker centres on the baffle (m) and the microphone, 8 cm in front of
# the baffle, off the centre of the top-left cone.
FOUR_BY_TWELVE_CONES = [(-0.175, 0.16), (0.175, 0.16), (-0.175, -0.16), (0.175, -0.16)]
FOUR_BY_TWELVE_MIC = (-0.125, 0.14, 0.08)
# The four speakers of a cabinet are never identical: resonance spread in percent.
RESONANCE_SPREAD = [0.0, 3.0, -2.5, 1.5]


class Cabinet:
    def __init__(self, name, rate, kind, first, total, peak_index):
        self.name = name
        self.rate = rate
        self.kind = kind
        self.first = np.array(first)
        self.total = total
        self.peak_index = peak_index


CABINETS = [
    Cabinet("cabinetIr44k1x12", 44100, "1x12",
            [0.103083, 0.348758, 0.660199, 0.91445, 0.99999, 0.862867, 0.559244, 0.187119],
            0.332429, 4),
    Cabinet("cabinetIr44k4x12", 44100, "4x12",
            [0.00370199, 0.081326, 0.321227, 0.653318, 0.900938, 1, 0.954679, 0.72385],
            -0.0554954, 5),
    Cabinet("cabinetIr48k1x12", 48000, "1x12",
            [0.0904973, 0.320133, 0.629302, 0.8944, 1.00003, 0.886294, 0.597063, 0.228653],
            0.293853, 4),
    Cabinet("cabinetIr48k4x12", 48000, "4x12",
            [0.0724997, 0.28657, 0.595108, 0.852622, 0.987924, 0.99997, 0.868547, 0.583237],
            -0.478931, 5),
]


def cabinet_spectrum(cabinet, corner, presence_db):
    f = np.arange(CABINET_FFT // 2 + 1) * cabinet.rate / CABINET_FFT
    if cabinet.kind == "1x12":
        return minimum_phase(SPEAKER_1X12.magnitude(f, corner, presence_db))
    mic = np.array(FOUR_BY_TWELVE_MIC)
    nearest = min(np.linalg.norm(mic - np.array([x, y, 0.0])) for x, y in FOUR_BY_TWELVE_CONES)
    spectrum = np.zeros(len(f), complex)
    for (x, y), spread in zip(FOUR_BY_TWELVE_CONES, RESONANCE_SPREAD):
        path = mic - np.array([x, y, 0.0])
        distance = np.linalg.norm(path)
        angle = np.arctan2(np.hypot(path[0], path[1]), path[2])
        speaker = Speaker(SPEAKER_4X12.resonance * (1.0 + spread / 100.0),
                          SPEAKER_4X12.resonance_q, SPEAKER_4X12.modes,
                          SPEAKER_4X12.rolloff_order)
        magnitude = speaker.magnitude(f, corner, presence_db)
        if distance > nearest:
            # The microphone sits in the near field of its own cone, where the far-field
            # beaming does not apply; the other cones are heard off axis.
            magnitude *= piston_directivity(f, angle)
        delay = (distance - nearest) / SPEED_OF_SOUND
        spectrum += minimum_phase(magnitude) * (nearest / distance) * np.exp(-2j * np.pi * f * delay)
    return spectrum


def cabinet_response(cabinet, corner, presence_db, advance):
    """Impulse response, advanced by a fraction of a sample (the trimmed onset)."""
    f = np.arange(CABINET_FFT // 2 + 1) / CABINET_FFT
    spectrum = cabinet_spectrum(cabinet, corner, presence_db) * np.exp(2j * np.pi * f * advance)
    return np.fft.irfft(spectrum)[:CABINET_LENGTH]


def fit_onset(cabinet):
    """Roll-off corner, presence and onset advance that best follow the measured onset."""
    target = cabinet.first

    def error(p):
        h = cabinet_response(cabinet, p[0], p[1], p[2])[:len(target)]
        gain = h @ target / (h @ h)
        return np.sum((gain * h - target) ** 2)

    best = None
    for corner in (3500.0, 4500.0, 5500.0):
        for presence in (2.0, 6.0):
            result = scipy.optimize.minimize(error, [corner, presence, 0.0], method="Powell",
                                             bounds=[(3000.0, 6500.0), (0.0, 9.0), (-3.0, 2.0)])
            if best is None or result.fun < best.fun:
                best = result
    return best.x


def splice(h, indices, values, cutoff, half_length=24):
    """Gives h exactly `values` at `indices` with the smallest band-limited correction:
    a sum of windowed-sinc pulses (band edge `cutoff` in cycles per sample) centred on the
    indices, so the measured samples blend into the response without a click."""
    indices = np.asarray(indices)
    values = np.asarray(values, dtype=np.float64)

    def kernel(offset):
        window = np.kaiser(2 * half_length + 1, 6.0)[np.clip(offset + half_length, 0,
                                                              2 * half_length)]
        return np.where(np.abs(offset) <= half_length,
                        2.0 * cutoff * np.sinc(2.0 * cutoff * offset) * window, 0.0)

    weights = np.linalg.solve(kernel(indices[:, None] - indices[None, :]),
                              values - h[indices])
    n = np.arange(len(h))
    for index, weight in zip(indices, weights):
        h += weight * kernel(n - index)
    h[indices] = values


def make_cabinet(cabinet):
    corner, presence, advance = fit_onset(cabinet)
    h = cabinet_response(cabinet, corner, presence, advance)
    h *= h[:8] @ cabinet.first / (h[:8] @ h[:8])
    onset_error = np.max(np.abs(h[:8] - cabinet.first))

    # Tail: a gentle exponential tilt after the onset brings the last samples to the level
    # of the measured responses (it only changes the damping of the bass resonance a little).
    n = np.arange(CABINET_LENGTH)
    tail = np.max(np.abs(h[-64:]))
    tilt = np.log(CABINET_TAIL_LEVEL / tail) / (CABINET_LENGTH - 32 - 16)
    h *= np.exp(tilt * np.maximum(n - 16, 0))

    splice(h, np.arange(8), cabinet.first, CABINET_SPLICE_BAND)

    # Sum: a slow lobe (the response of a critically damped second-order low-pass) carries
    # the difference, below the speaker's band.
    lobe_time = cabinet.rate / (2.0 * np.pi * SUM_LOBE_CORNER)
    lobe = np.where(n >= 8, (n - 8) * np.exp(-(n - 8) / lobe_time), 0.0)
    natural_sum = h.sum()
    h += (cabinet.total - natural_sum) * lobe / lobe.sum()

    stored = stored_values(h)
    # Rounding leaves a sum error of a few 1e-7: put it into the lobe's peak.
    lobe_peak = 8 + int(round(lobe_time))
    stored[lobe_peak] = stored_values(
        [stored[lobe_peak] + cabinet.total - stored.astype(np.float64).sum()])[0]
    report = dict(corner=corner, presence=presence, advance=advance, onset_error=onset_error,
                  tilt=tilt * cabinet.rate, natural_sum=natural_sum)
    return stored, report


def check_cabinet(cabinet, h):
    assert np.all(h[:8] == cabinet.first.astype(np.float32)), cabinet.name
    assert np.argmax(np.abs(h)) == cabinet.peak_index, cabinet.name
    assert abs(h.astype(np.float64).sum() - cabinet.total) < 1e-6, cabinet.name
    assert 3e-4 < np.max(np.abs(h[-64:])) < 3e-3, cabinet.name


# ---------------------------------------------------------------------------------------
# Springs

SPRING_RATE = 22050.0
SPRING_LENGTH = 32768
SPRING_FFT = 1 << 19            # 23.8 s: the echo train has died out long before it wraps
SPRING_BLOCK = 4096
SPRING_SPLICE_START = 256
SPRING_SPLICE_BAND = 0.4        # cycles per sample: 8.8 kHz at 22.05 kHz
SPRING_FADE_OUT = 2048          # samples faded at the end of the table


class Spring:
    def __init__(self, transit, dispersion, level):
        self.transit = transit        # low-frequency transit time, s
        self.dispersion = dispersion  # extra delay of the waves at the cut-off, s
        self.level = level


class SpringChannel:
    def __init__(self, name, springs, peak_index, samples, energies, seed, decay):
        self.name = name
        self.springs = springs
        self.peak_index = peak_index
        self.samples = samples
        self.energies = np.array(energies)
        self.seed = seed
        self.decay = decay          # reverberation time in the middle of the band, s


SPRING_CUTOFF = 4300.0          # above it torsional waves hardly propagate
DIFFUSE_LEVEL = 0.22            # diffuse scattering relative to the echo train (rms)
CROSSTALK_LEVEL = 0.04          # rms of the frame-borne signal at its start
CROSSTALK_DECAY = 0.015         # its time constant, s

SPRING_CHANNELS = [
    SpringChannel("springIrLeft", [Spring(0.0104, 0.0095, 1.0), Spring(0.0131, 0.0115, 0.25)],
                  279, [-0.0367276, -0.027067, -0.0788947, -0.163316, -0.108834, -0.140296],
                  [95.6, 22.7, 8.37, 3.09], 1, 2.8),
    SpringChannel("springIrRight", [Spring(0.0185, 0.0098, 1.0), Spring(0.0225, 0.0085, 0.25)],
                  468, [-0.0188652, -0.0311228, -0.0130716, 0.00512329, -0.00670338, -0.0268135],
                  [75.5, 21.2, 9.58, 3.94], 2, 3.4),
]


def spring_band(f):
    """Input and output transducers: the magnetic drive and pick-up pass little below
    about 200 Hz; the bead-and-magnet resonance lifts the band near 800 Hz; the spring
    itself hardly carries torsional waves above its cut-off."""
    band = high_pass2(f, 350.0, 0.7) * high_pass2(f, 190.0, 0.6)
    band *= 1.0 / np.sqrt(1.0 + (f / SPRING_CUTOFF) ** 12)
    band *= peaking(f, 800.0, 5.0, 1.0)
    return band


def group_delay(f, spring):
    """Transit time per frequency: low frequencies outrun the high ones, and the delay
    climbs steeply towards the cut-off."""
    x = f / SPRING_CUTOFF
    return spring.transit + spring.dispersion * (0.7 * x + 0.3 * x ** 4)


def reverberation_time(f, decay):
    """Losses grow with frequency (internal friction) and at the very low end (beads)."""
    return decay / (1.0 + (f / 2500.0) ** 2) / (1.0 + (80.0 / np.maximum(f, 1.0)) ** 2)


def spring_spectrum(channel):
    f = np.arange(SPRING_FFT // 2 + 1) * SPRING_RATE / SPRING_FFT
    df = SPRING_RATE / SPRING_FFT
    total = np.zeros(len(f), complex)
    for spring in channel.springs:
        delay = group_delay(f, spring)
        phase = 2.0 * np.pi * np.cumsum(delay) * df
        round_trip_loss = 10.0 ** (-3.0 * 2.0 * delay / reverberation_time(f, channel.decay))
        transit = np.exp(-1j * phase)
        total += spring.level * transit / (1.0 - round_trip_loss * transit * transit)
    return f, total * minimum_phase(spring_band(f))


def diffuse_part(channel, echoes):
    """Scattering at irregularities of the springs: band-limited noise whose envelope
    follows the echo train's smoothed energy, delayed by a transit."""
    rng = np.random.default_rng(channel.seed)
    noise = rng.standard_normal(len(echoes))
    f = np.fft.rfftfreq(len(noise), 1.0 / SPRING_RATE)
    noise = np.fft.irfft(np.fft.rfft(noise) * minimum_phase(spring_band(f)), len(noise))
    window = int(0.02 * SPRING_RATE)
    energy = np.convolve(echoes ** 2, np.ones(window) / window, mode="same")
    onset = int(min(s.transit for s in channel.springs) * SPRING_RATE)
    envelope = np.sqrt(np.concatenate([np.zeros(onset), energy[:-onset]]))
    part = noise * envelope
    return part * DIFFUSE_LEVEL * np.sqrt(np.sum(echoes ** 2) / np.sum(part ** 2))


def block_energies(h):
    return np.array([np.sum(h[i * SPRING_BLOCK:(i + 1) * SPRING_BLOCK].astype(np.float64) ** 2)
                     for i in range(4)])


def energy_envelope(h, channel):
    """Smooth gain (1 around the strongest arrival) that gives the measured block energies."""
    n = np.arange(SPRING_LENGTH)
    nodes = np.array([0.0, 800.0, 2048.0, 6144.0, 10240.0, 14336.0, SPRING_LENGTH - 1.0])

    def envelope(log_gains):
        g0, g1, g2, g3 = log_gains
        slope = (g3 - g2) / (nodes[5] - nodes[4])
        last = g3 + slope * (nodes[6] - nodes[5])
        return np.exp(np.interp(n, nodes, [0.0, 0.0, g0, g1, g2, g3, last]))

    def mismatch(log_gains):
        return np.log(block_energies(h * envelope(log_gains)) / channel.energies)

    solution = scipy.optimize.least_squares(mismatch, np.zeros(4)).x
    return envelope(solution)


def crosstalk(channel):
    """Vibration that reaches the pick-up through the tank's frame, long before the first
    wave down a spring: a weak, quickly decaying broadband rustle."""
    rng = np.random.default_rng(channel.seed + 100)
    noise = rng.standard_normal(SPRING_LENGTH)
    f = np.fft.rfftfreq(SPRING_LENGTH, 1.0 / SPRING_RATE)
    noise = np.fft.irfft(np.fft.rfft(noise) * minimum_phase(spring_band(f)), SPRING_LENGTH)
    noise *= CROSSTALK_LEVEL / np.sqrt(np.mean(noise ** 2))
    return noise * np.exp(-np.arange(SPRING_LENGTH) / (CROSSTALK_DECAY * SPRING_RATE))


def make_spring(channel):
    f, spectrum = spring_spectrum(channel)
    echoes = np.fft.irfft(spectrum)[:SPRING_LENGTH + SPRING_FFT // 8]
    h = echoes + diffuse_part(channel, echoes)

    # The strongest arrival goes to its measured index, with positive polarity.
    strongest = int(np.argmax(np.abs(h[:SPRING_LENGTH])))
    shift = strongest - channel.peak_index
    h = h[shift:shift + SPRING_LENGTH] if shift >= 0 else \
        np.concatenate([np.zeros(-shift), h[:SPRING_LENGTH + shift]])
    h /= h[channel.peak_index]
    h += crosstalk(channel)

    n = np.arange(SPRING_LENGTH)
    fade = np.clip((SPRING_LENGTH - 1 - n) / SPRING_FADE_OUT, 0.0, 1.0)
    h *= 0.5 - 0.5 * np.cos(np.pi * fade)

    # The measured samples; the strongest arrival stays where and what it is.
    indices = np.append(SPRING_SPLICE_START + np.arange(len(channel.samples)), channel.peak_index)
    splice(h, indices, np.append(channel.samples, 1.0), SPRING_SPLICE_BAND)
    # The envelope is exactly 1 up to sample 800, so it keeps the samples just set.
    envelope = energy_envelope(h, channel)
    h *= envelope
    report = dict(shift=shift, envelope=np.round(envelope[[2048, 6144, 10240, 14336]], 3))
    return stored_values(h), report


def check_spring(channel, h):
    assert np.all(h[256:262] == np.array(channel.samples, np.float32)), channel.name
    assert h[channel.peak_index] == 1.0, channel.name
    assert int(np.argmax(np.abs(h))) == channel.peak_index, channel.name
    ratios = block_energies(h) / channel.energies
    assert np.all(np.abs(ratios - 1.0) < 0.02), (channel.name, ratios)


# ---------------------------------------------------------------------------------------
# C++ output

def format_float(value):
    text = f"{float(value):.{STORED_DIGITS}g}"
    if "." not in text and "e" not in text:
        text += ".0"
    return text + "f"


def format_array(name, length_constant, values, per_line=8):
    texts = [format_float(v) for v in values]
    lines = [f"const float {name}[{length_constant}] = {{"]
    for i in range(0, len(texts), per_line):
        lines.append("    " + ", ".join(texts[i:i + per_line]) + ",")
    lines.append("};")
    return "\n".join(lines)


def write_pair(stem, header_comment, length_name, length, arrays, directory=TABLES):
    header = [
        "#pragma once",
        "",
        "// Generated by tools/make_impulse_responses.py; edit the generator, not this file.",
        "",
        "namespace brimtone {",
        "",
        *header_comment,
        f"inline constexpr int {length_name} = {length};",
        "",
    ]
    for name, comment, _ in arrays:
        header.append(f"// {comment}")
        header.append(f"extern const float {name}[{length_name}];")
    header += ["", "}  // namespace brimtone", ""]
    with open(os.path.join(directory, stem + ".h"), "w") as out:
        out.write("\n".join(header))

    source = [
        "// Generated by tools/make_impulse_responses.py; edit the generator, not this file.",
        f"#include \"fx/tables/{stem}.h\"",
        "",
        "namespace brimtone {",
        "",
    ]
    for name, _, values in arrays:
        source.append(format_array(name, length_name, values))
        source.append("")
    source += ["}  // namespace brimtone", ""]
    with open(os.path.join(directory, stem + ".cpp"), "w") as out:
        out.write("\n".join(source))


CABINET_COMMENTS = {
    "cabinetIr44k1x12": "1x12 cabinet, for effective rates up to 46050 Hz (44.1 kHz family).",
    "cabinetIr44k4x12": "4x12 cabinet, for effective rates up to 46050 Hz (44.1 kHz family).",
    "cabinetIr48k1x12": "1x12 cabinet, for effective rates above 46050 Hz (48 kHz family).",
    "cabinetIr48k4x12": "4x12 cabinet, for effective rates above 46050 Hz (48 kHz family).",
}
SPRING_COMMENTS = {
    "springIrLeft": "Left output of the tank (channel 0); strongest arrival 1.0 at index 279.",
    "springIrRight": "Right output of the tank (channel 1); strongest arrival 1.0 at index 468.",
}


# ---------------------------------------------------------------------------------------
# Plots

def plot_cabinets(results, directory):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    figure, axes = plt.subplots(len(results), 2, figsize=(14, 3.2 * len(results)))
    for row, (cabinet, h) in enumerate(results):
        spectrum = np.fft.rfft(h.astype(np.float64), 16384)
        f = np.fft.rfftfreq(16384, 1.0 / cabinet.rate)
        axes[row, 0].semilogx(f[1:], 20 * np.log10(np.abs(spectrum[1:]) + 1e-12))
        axes[row, 0].set_xlim(20, cabinet.rate / 2)
        axes[row, 0].set_ylim(-60, 25)
        axes[row, 0].grid(True, which="both", alpha=0.3)
        axes[row, 0].set_title(f"{cabinet.name}: magnitude (dB)")
        axes[row, 1].plot(h, linewidth=0.7)
        axes[row, 1].set_title(f"{cabinet.name}: response")
        inset = axes[row, 1].inset_axes([0.45, 0.4, 0.5, 0.55])
        inset.semilogy(np.abs(h) + 1e-9, linewidth=0.5)
        inset.set_ylim(1e-5, 2)
    figure.tight_layout()
    figure.savefig(os.path.join(directory, "cabinets.png"), dpi=100)


def plot_springs(results, directory):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from scipy.signal import spectrogram

    figure, axes = plt.subplots(len(results), 3, figsize=(18, 4.2 * len(results)))
    for row, (channel, h) in enumerate(results):
        t = np.arange(SPRING_LENGTH) / SPRING_RATE
        axes[row, 0].plot(t, h, linewidth=0.4)
        axes[row, 0].set_title(f"{channel.name}: waveform")
        f, times, power = spectrogram(h.astype(np.float64), SPRING_RATE, nperseg=256,
                                      noverlap=224)
        mask = times < 0.35
        axes[row, 1].pcolormesh(times[mask], f, 10 * np.log10(power[:, mask] + 1e-14),
                                vmin=-110, vmax=-40, shading="auto")
        axes[row, 1].set_ylim(0, 6000)
        axes[row, 1].set_title(f"{channel.name}: spectrogram, first 0.35 s")
        spectrum = np.fft.rfft(h.astype(np.float64))
        fs = np.fft.rfftfreq(SPRING_LENGTH, 1.0 / SPRING_RATE)
        # sixth-octave smoothing
        power = np.abs(spectrum) ** 2
        centres = np.geomspace(20.0, SPRING_RATE / 2, 300)
        smooth = [power[(fs >= c * 2 ** (-1 / 12)) & (fs <= c * 2 ** (1 / 12))].mean()
                  for c in centres]
        axes[row, 2].semilogx(centres, 10 * np.log10(np.array(smooth) + 1e-12))
        axes[row, 2].set_xlim(20, SPRING_RATE / 2)
        axes[row, 2].grid(True, which="both", alpha=0.3)
        axes[row, 2].set_title(f"{channel.name}: magnitude (dB, smoothed)")
    figure.tight_layout()
    figure.savefig(os.path.join(directory, "springs.png"), dpi=90)

    figure, axes = plt.subplots(len(results), 1, figsize=(16, 3.5 * len(results)))
    for row, (channel, h) in enumerate(results):
        axes[row].plot(np.arange(3000), h[:3000], linewidth=0.5)
        axes[row].axvline(256, color="r", linewidth=0.5)
        axes[row].set_title(f"{channel.name}: first 3000 samples")
    figure.tight_layout()
    figure.savefig(os.path.join(directory, "springs-onset.png"), dpi=90)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--plots", help="directory for PNG plots of the responses")
    parser.add_argument("--check", action="store_true", help="compare with the committed tables")
    arguments = parser.parse_args()
    if arguments.check:
        with tempfile.TemporaryDirectory() as tmp:
            write_tables(tmp)
            for name in ("CabinetResponses.h", "CabinetResponses.cpp", "SpringResponses.h", "SpringResponses.cpp"):
                if not filecmp.cmp(os.path.join(tmp, name), os.path.join(TABLES, name), shallow=False):
                    print(f"make_impulse_responses --check: {name} differs from what the tool generates")
                    return 1
        print("make_impulse_responses --check: the response tables are up to date")
        return 0
    cabinets, springs = write_tables(TABLES)
    if arguments.plots:
        os.makedirs(arguments.plots, exist_ok=True)
        plot_cabinets(cabinets, arguments.plots)
        plot_springs(springs, arguments.plots)


def write_tables(directory):
    cabinets = []
    for cabinet in CABINETS:
        h, report = make_cabinet(cabinet)
        check_cabinet(cabinet, h)
        print(cabinet.name, {k: round(float(v), 4) for k, v in report.items()})
        cabinets.append((cabinet, h))
    springs = []
    for channel in SPRING_CHANNELS:
        h, report = make_spring(channel)
        check_spring(channel, h)
        print(channel.name, report, np.round(block_energies(h), 3))
        springs.append((channel, h))

    write_pair("CabinetResponses",
               ["// Loudspeaker-cabinet impulse responses, 1024 samples each, peak-normalised to",
                "// about 1.0 (before the cabinet's level trim)."],
               "cabinetIrLength", CABINET_LENGTH,
               [(c.name, CABINET_COMMENTS[c.name], h) for c, h in cabinets], directory)
    write_pair("SpringResponses",
               ["// Stereo spring-tank impulse response, 32768 samples per channel at about",
                "// 22.05 kHz, peak-normalised. The first 256 samples carry no signal of note."],
               "springIrLength", SPRING_LENGTH,
               [(c.name, SPRING_COMMENTS[c.name], h) for c, h in springs], directory)
    return cabinets, springs


if __name__ == "__main__":
    sys.exit(main())
