#include "amp/OversamplingFilter.h"

#include "amp/OversamplingCoefficients.h"
#include "amp/PolyphaseFir.h"

namespace brimtone {

namespace {

// Zero-stuffing leaves each polyphase branch of a kernel with a gain of about 1/4 (4x) or
// 1/8 (the 8x FIR of 16x); the up-samplers scale their input back to unit gain.
constexpr double kUpsampleGain4x = 4.0;
constexpr double kUpsampleGain8x = 8.0;

}  // namespace

void OversamplingFilter::upsample4(double x, double* out) {
  const double v = kUpsampleGain4x * x;
  // Newest sample at the lowest position; older ones follow at pos + 1, pos + 2, ...
  pos = (pos - 1) & (kMirror4x - 1);
  ring[pos] = v;
  ring[pos + kMirror4x] = v;
  polyphaseInterpolate<4, 10>(kKernel4x.data(), &ring[pos], out);
}

double OversamplingFilter::downsample4(const double* in) {
  // This ring runs forward: newer samples at higher positions.
  for (std::uint32_t i = 0; i < 4; ++i) {
    ring[pos + i] = in[i];
    ring[pos + kMirror4x + i] = in[i];
  }
  // The window ends at in[0]; in[1..3] enter the sum in later calls.
  const double y = decimationSum<40>(kKernel4x.data(), &ring[pos + kMirror4x]);
  pos = (pos + 4) & (kMirror4x - 1);
  return y;
}

void OversamplingFilter::upsample16(double x, double* out) {
  double a = kUpsampleGain8x * x;
  double b = a;
  allpass.process(a, b);
  // Half-rate stream, newest first: b is the later half-rate sample, a the earlier.
  // pos stays even, so the write at pos + 129 stays inside the ring.
  pos = (pos - 2) & (kMirror16x - 1);
  ring[pos] = b;
  ring[pos + 1] = a;
  ring[pos + kMirror16x] = b;
  ring[pos + kMirror16x + 1] = a;
  polyphaseInterpolate<8, 10>(kKernel16x.data(), &ring[pos + 1], out);
  polyphaseInterpolate<8, 10>(kKernel16x.data(), &ring[pos], out + 8);
}

double OversamplingFilter::downsample16(const double* in) {
  for (std::uint32_t i = 0; i < 16; ++i) {
    ring[pos + i] = in[i];
    ring[pos + kMirror16x + i] = in[i];
  }
  // Two half-rate outputs: windows ending at in[15] (branch A) and at in[7] (branch B).
  double a;
  double b;
  decimationSumPair<80>(kKernel16x.data(), &ring[pos + kMirror16x + 15],
                        &ring[pos + kMirror16x + 7], a, b);
  pos = (pos + 16) & (kMirror16x - 1);
  allpass.process(a, b);
  return (a + b) * 0.5;
}

}  // namespace brimtone
