#include "amp/OversamplingFilter.h"

#include "amp/OversamplingCoefficients.h"
#include "amp/PolyphaseFir.h"

namespace brimtone {

namespace {

// Zero-stuffing leaves each polyphase branch of a kernel with a gain of about 1/4 (4x) or
// 1/8 (the 8x FIR of 16x); the up-samplers scale their input back to unit gain.
constexpr double kUpsampleGain4x = 4.0;
constexpr double kUpsampleGain8x = 8.0;

// The kernels for both channels at once: each tap in both lanes.
constexpr std::array<Coefficient, 40> kKernel4xBoth = convertTable<Coefficient>(kKernel4x);
constexpr std::array<Coefficient, 80> kKernel16xBoth = convertTable<Coefficient>(kKernel16x);

const double* kernel4x(OneChannel) { return kKernel4x.data(); }
const Coefficient* kernel4x(BothChannels) { return kKernel4xBoth.data(); }
const double* kernel16x(OneChannel) { return kKernel16x.data(); }
const Coefficient* kernel16x(BothChannels) { return kKernel16xBoth.data(); }

}  // namespace

// A channel that ran alone (mono) has moved on by itself. Every read is relative to the
// position and the doubled ring is a circle of `length` entries, so rotating channel 1's
// history to channel 0's position changes nothing it will ever read.
void OversamplingFilter::alignChannels(std::uint32_t length) {
  const std::uint32_t mask = length - 1;
  const std::uint32_t shift = (pos[0] - pos[1]) & mask;
  double rotated[kMirror16x];
  for (std::uint32_t i = 0; i < length; ++i) {
    rotated[(i + shift) & mask] = ring[i][1];
  }
  for (std::uint32_t i = 0; i < length; ++i) {
    ring[i][1] = rotated[i];
    ring[i + length][1] = rotated[i];
  }
  pos[1] = pos[0];
}

template <class Lanes>
void OversamplingFilter::upsample4(LaneValue<Lanes> x, LaneValue<Lanes>* out, Lanes lanes) {
  const LaneValue<Lanes> v = kUpsampleGain4x * x;
  // Newest sample at the lowest position; older ones follow at pos + 1, pos + 2, ...
  const std::uint32_t p = (position(lanes, kMirror4x) - 1) & (kMirror4x - 1);
  setPosition(lanes, p);
  lanes.store(ring[p], v);
  lanes.store(ring[p + kMirror4x], v);
  polyphaseInterpolate<4, 10>(kernel4x(lanes), &ring[p], lanes, out);
}

template <class Lanes>
LaneValue<Lanes> OversamplingFilter::downsample4(const LaneValue<Lanes>* in, Lanes lanes) {
  const std::uint32_t p = position(lanes, kMirror4x);
  // This ring runs forward: newer samples at higher positions.
  DoublePair* const head = &ring[p];
  for (std::uint32_t i = 0; i < 4; ++i) {
    lanes.store(head[i], in[i]);
    lanes.store(head[kMirror4x + i], in[i]);
  }
  // The window ends at in[0]; in[1..3] enter the sum in later calls.
  const LaneValue<Lanes> y = decimationSum<40>(kernel4x(lanes), head + kMirror4x, lanes);
  setPosition(lanes, (p + 4) & (kMirror4x - 1));
  return y;
}

template <class Lanes>
void OversamplingFilter::upsample16(LaneValue<Lanes> x, LaneValue<Lanes>* out, Lanes lanes) {
  LaneValue<Lanes> a = kUpsampleGain8x * x;
  LaneValue<Lanes> b = a;
  allpass.process(a, b, lanes);
  // Half-rate stream, newest first: b is the later half-rate sample, a the earlier.
  // The position stays even, so the write at p + 129 stays inside the ring.
  const std::uint32_t p = (position(lanes, kMirror16x) - 2) & (kMirror16x - 1);
  setPosition(lanes, p);
  lanes.store(ring[p], b);
  lanes.store(ring[p + 1], a);
  lanes.store(ring[p + kMirror16x], b);
  lanes.store(ring[p + kMirror16x + 1], a);
  polyphaseInterpolate<8, 10>(kernel16x(lanes), &ring[p + 1], lanes, out);
  polyphaseInterpolate<8, 10>(kernel16x(lanes), &ring[p], lanes, out + 8);
}

template <class Lanes>
LaneValue<Lanes> OversamplingFilter::downsample16(const LaneValue<Lanes>* in, Lanes lanes) {
  const std::uint32_t p = position(lanes, kMirror16x);
  DoublePair* const head = &ring[p];
  for (std::uint32_t i = 0; i < 16; ++i) {
    lanes.store(head[i], in[i]);
    lanes.store(head[kMirror16x + i], in[i]);
  }
  // Two half-rate outputs: windows ending at in[15] (branch A) and at in[7] (branch B).
  LaneValue<Lanes> a;
  LaneValue<Lanes> b;
  decimationSumPair<80>(kernel16x(lanes), head + kMirror16x + 15, head + kMirror16x + 7, lanes, a, b);
  setPosition(lanes, (p + 16) & (kMirror16x - 1));
  allpass.process(a, b, lanes);
  return (a + b) * 0.5;
}

template void OversamplingFilter::upsample4(double, double*, OneChannel);
template void OversamplingFilter::upsample4(DoublePair, DoublePair*, BothChannels);
template double OversamplingFilter::downsample4(const double*, OneChannel);
template DoublePair OversamplingFilter::downsample4(const DoublePair*, BothChannels);
template void OversamplingFilter::upsample16(double, double*, OneChannel);
template void OversamplingFilter::upsample16(DoublePair, DoublePair*, BothChannels);
template double OversamplingFilter::downsample16(const double*, OneChannel);
template DoublePair OversamplingFilter::downsample16(const DoublePair*, BothChannels);

}  // namespace brimtone
