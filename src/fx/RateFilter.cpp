#include "fx/RateFilter.h"

#include "dsp/OversamplingCoefficients.h"
#include "dsp/PolyphaseFir.h"

namespace brimtone {

namespace {

constexpr std::array<float, 40> kKernel4xFloat = convertTable<float>(kKernel4x);

// Each polyphase branch of the 40-tap kernel has a gain of about 1/4.
constexpr float kInterpolateGain = 4.0f;

} // namespace

float RateFilter::decimate2(const float* in)
{
    float a = in[1];
    float b = in[0];
    allpass.process(a, b);
    return (a + b) * 0.5f;
}

void RateFilter::interpolate2(float x, float* out)
{
    float a = x;
    float b = x;
    allpass.process(a, b);
    out[0] = a;
    out[1] = b;
}

float RateFilter::decimate4(const float* in)
{
    // Forward ring: newer samples at higher positions.
    for (std::uint32_t i = 0; i < 4; ++i) {
        ring[pos + i] = in[i];
        ring[pos + kMirror + i] = in[i];
    }
    // The window ends at in[0]; in[1..3] enter later calls.
    const float y = decimationSum<40>(kKernel4xFloat.data(), &ring[pos + kMirror]);
    pos = (pos + 4) & (kMirror - 1);
    return y;
}

void RateFilter::interpolate4(float x, float* out)
{
    const float v = kInterpolateGain * x;
    // Newest sample at the lowest position.
    pos = (pos - 1) & (kMirror - 1);
    ring[pos] = v;
    ring[pos + kMirror] = v;
    polyphaseInterpolate<4, 10>(kKernel4xFloat.data(), &ring[pos], out);
}

float RateFilter::decimate8(const float* in)
{
    for (std::uint32_t i = 0; i < 8; ++i) {
        ring[pos + i] = in[i];
        ring[pos + kMirror + i] = in[i];
    }
    // Two half-rate samples: windows ending at in[7] (branch A) and at in[3] (branch B).
    float a;
    float b;
    decimationSumPair<40>(kKernel4xFloat.data(), &ring[pos + kMirror + 7], &ring[pos + kMirror + 3], a, b);
    pos = (pos + 8) & (kMirror - 1);
    allpass.process(a, b);
    return (a + b) * 0.5f;
}

void RateFilter::interpolate8(float x, float* out)
{
    float a = kInterpolateGain * x;
    float b = a;
    allpass.process(a, b);
    // Half-rate stream, newest first: b is the later sample, a the earlier. pos stays even,
    // so the write at pos + 65 stays inside the ring.
    pos = (pos - 2) & (kMirror - 1);
    ring[pos] = b;
    ring[pos + 1] = a;
    ring[pos + kMirror] = b;
    ring[pos + kMirror + 1] = a;
    polyphaseInterpolate<4, 10>(kKernel4xFloat.data(), &ring[pos + 1], out);
    polyphaseInterpolate<4, 10>(kKernel4xFloat.data(), &ring[pos], out + 4);
}

} // namespace brimtone
