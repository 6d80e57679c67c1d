#pragma once

#include <array>
#include <cstdint>

#include "amp/HalfBandAllpass.h"

namespace brimtone {

// Up- or down-sampling filter around the amplifier model, for one channel and one direction.
// Two designs, chosen by the operation the owner calls on the object:
//  - 4x: a polyphase FIR with the 40-tap kernel (upsample4 / downsample4);
//  - 16x: a 2x polyphase IIR half-band pair combined with an 8x polyphase FIR with the
//    80-tap kernel (upsample16 / downsample16). Up-sampling runs IIR then FIR,
//    down-sampling FIR then IIR.
// An object serves one operation for its whole life; its history is never reset.
class OversamplingFilter {
 public:
  // One host sample in, out[0..3] sub-samples out (oldest first).
  void upsample4(double x, double* out);
  // in[0..3] sub-samples (oldest first) in, one host sample out.
  double downsample4(const double* in);
  // One host sample in, out[0..15] sub-samples out (oldest first).
  void upsample16(double x, double* out);
  // in[0..15] sub-samples (oldest first) in, one host sample out.
  double downsample16(const double* in);

 private:
  // The delay line is written twice (at p and p + 64 for 4x, p and p + 128 for 16x) so that
  // every tap window is one contiguous run.
  static constexpr std::uint32_t kMirror4x = 64;
  static constexpr std::uint32_t kMirror16x = 128;

  alignas(64) std::array<double, 2 * kMirror16x> ring{};
  std::uint32_t pos = 0;
  HalfBandAllpass<double> allpass;
};

}  // namespace brimtone
