#include "GuitarRiff.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace brimtone::render {
namespace {

constexpr double kPi = 3.141592653589793;

// A deterministic noise source for the pluck excitations.
class NoiseSource {
public:
    double next()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<double>(state_ >> 8) / static_cast<double>(1u << 24) * 2.0 - 1.0;
    }

private:
    std::uint32_t state_ = 12345u;
};

struct Note {
    double start;    // seconds
    double length;   // seconds until the string is damped
    double freq;     // Hz
    double velocity; // 0..1
    bool muted;      // palm mute: short decay, darker
};

// Karplus-Strong string: a noise burst circulating in a delay line of one
// period, through a two-point average (the string's frequency-dependent loss)
// and a loop gain set for the wanted decay time.
void pluck(std::vector<double>& out, double rate, const Note& note, NoiseSource& noise)
{
    const double period = rate / note.freq - 0.5; // the average adds half a sample
    const int length = static_cast<int>(period);
    const double fraction = period - length;
    const double decaySeconds = note.muted ? 0.18 : 2.8;
    const double loopGain = std::pow(10.0, -3.0 / (decaySeconds * note.freq));
    const double brightness = note.muted ? 0.25 : 0.55 + 0.4 * note.velocity;

    std::vector<double> line(static_cast<std::size_t>(length) + 2, 0.0);
    double smooth = 0.0;
    for (auto& sample : line) {
        smooth += (noise.next() - smooth) * brightness; // softer attack for a darker pluck
        sample = smooth * note.velocity;
    }
    // Pluck position about a seventh of the string: a comb on the excitation.
    const std::size_t pluckOffset = std::max<std::size_t>(1, line.size() / 7);
    for (std::size_t i = line.size() - 1; i >= pluckOffset; --i)
        line[i] -= line[i - pluckOffset];

    const auto begin = static_cast<std::size_t>(note.start * rate);
    const auto ring = static_cast<std::size_t>((note.length + 0.06) * rate);
    const auto release = static_cast<std::size_t>(note.length * rate);
    std::size_t pos = 0;
    double previous = 0.0;
    for (std::size_t n = 0; n < ring && begin + n < out.size(); ++n) {
        // Fractional read between the two oldest samples of the line.
        const std::size_t a = pos;
        const std::size_t b = (pos + 1) % line.size();
        const double delayed = line[a] + (line[b] - line[a]) * (1.0 - fraction);
        const double gain = n < release ? loopGain : loopGain * 0.9; // fingers damp the string
        const double next = gain * 0.5 * (delayed + previous);
        previous = delayed;
        line[a] = next;
        pos = b;
        out[begin + n] += delayed;
    }
}

} // namespace

std::vector<float> synthesizeRiff(double sampleRate)
{
    const double e2 = 82.41, g2 = 98.0, a2 = 110.0, b2 = 123.47, c3 = 130.81, d3 = 146.83, e3 = 164.81, g3 = 196.0,
                 a3 = 220.0, b3 = 246.94, c4 = 261.63, d4 = 293.66, e4 = 329.63;
    const double eighth = 0.25; // 120 beats per minute
    std::vector<Note> notes;
    auto chord = [&](double start, double length, std::initializer_list<double> freqs, double velocity, bool muted) {
        double strum = 0.0;
        for (double f : freqs) {
            notes.push_back({start + strum, length, f, velocity, muted});
            strum += 0.008;
        }
    };
    double t = 0.1;
    for (int bar = 0; bar < 2; ++bar) {
        for (int i = 0; i < 4; ++i, t += eighth)
            chord(t, eighth * 0.9, {e2, b2, e3}, i == 0 ? 0.95 : 0.75, true);
        if (bar == 0) {
            chord(t, 2 * eighth, {g2, d3, g3}, 0.9, false);
            t += 2 * eighth;
            chord(t, 2 * eighth, {a2, e3, a3}, 0.9, false);
            t += 2 * eighth;
        } else {
            chord(t, 2 * eighth, {d3, a3, d4}, 0.9, false);
            t += 2 * eighth;
            chord(t, 2 * eighth, {c3, g3, c4}, 0.9, false);
            t += 2 * eighth;
        }
    }
    for (double f : {e4, d4, b3, a3, g3, e3}) {
        notes.push_back({t, eighth, f, 0.85, false});
        t += eighth;
    }
    chord(t, 1.6, {e2, b2, e3, g3, b3, e4}, 1.0, false);
    t += 2.0;

    std::vector<double> mix(static_cast<std::size_t>(t * sampleRate), 0.0);
    NoiseSource noise;
    for (const Note& note : notes)
        pluck(mix, sampleRate, note, noise);

    // The pickup and cable: a gentle high-pass near 60 Hz and low-pass near 5 kHz.
    const double hp = std::exp(-2.0 * kPi * 60.0 / sampleRate);
    const double lp = 1.0 - std::exp(-2.0 * kPi * 5000.0 / sampleRate);
    double hpIn = 0.0, hpOut = 0.0, lpOut = 0.0, peak = 0.0;
    for (double& x : mix) {
        hpOut = hp * (hpOut + x - hpIn);
        hpIn = x;
        lpOut += (hpOut - lpOut) * lp;
        x = lpOut;
        peak = std::max(peak, std::fabs(x));
    }
    const double scale = peak > 0.0 ? 0.35 / peak : 0.0; // about -9 dBFS peak
    std::vector<float> riff(mix.size());
    for (std::size_t i = 0; i < mix.size(); ++i)
        riff[i] = static_cast<float>(mix[i] * scale);
    return riff;
}

} // namespace brimtone::render
