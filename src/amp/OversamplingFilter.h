#pragma once

#include <array>
#include <cstdint>

#include "amp/HalfBandAllpass.h"
#include "amp/Lanes.h"

namespace brimtone {

// Up- or down-sampling filter around the amplifier model, for one direction and both channels
// (each with its own history). Two designs, chosen by the operation the owner calls on the
// object:
//  - 4x: a polyphase FIR with the 40-tap kernel (upsample4 / downsample4);
//  - 16x: a 2x polyphase IIR half-band pair combined with an 8x polyphase FIR with the
//    80-tap kernel (upsample16 / downsample16). Up-sampling runs IIR then FIR,
//    down-sampling FIR then IIR.
// An object serves one operation for its whole life; its history is never reset.
//
// Each operation runs one channel (OneChannel, or the plain form with a channel index, 0 for a
// filter that serves a single signal) or both channels in lockstep (BothChannels, on
// DoublePairs; see Lanes.h).
class OversamplingFilter {
 public:
  // One host sample in, out[0..3] sub-samples out (oldest first).
  void upsample4(double x, double* out, int channel = 0) { upsample4(x, out, OneChannel{channel}); }
  // in[0..3] sub-samples (oldest first) in, one host sample out.
  double downsample4(const double* in, int channel = 0) { return downsample4(in, OneChannel{channel}); }
  // One host sample in, out[0..15] sub-samples out (oldest first).
  void upsample16(double x, double* out, int channel = 0) { upsample16(x, out, OneChannel{channel}); }
  // in[0..15] sub-samples (oldest first) in, one host sample out.
  double downsample16(const double* in, int channel = 0) { return downsample16(in, OneChannel{channel}); }

  template <class Lanes>
  void upsample4(LaneValue<Lanes> x, LaneValue<Lanes>* out, Lanes lanes);
  template <class Lanes>
  LaneValue<Lanes> downsample4(const LaneValue<Lanes>* in, Lanes lanes);
  template <class Lanes>
  void upsample16(LaneValue<Lanes> x, LaneValue<Lanes>* out, Lanes lanes);
  template <class Lanes>
  LaneValue<Lanes> downsample16(const LaneValue<Lanes>* in, Lanes lanes);

 private:
  // The delay line is written twice (at p and p + 64 for 4x, p and p + 128 for 16x) so that
  // every tap window is one contiguous run.
  static constexpr std::uint32_t kMirror4x = 64;
  static constexpr std::uint32_t kMirror16x = 128;

  // The write position of the selected channels; for both, channel 1's history is first
  // brought to channel 0's position.
  std::uint32_t position(OneChannel lanes, std::uint32_t) const { return pos[lanes.channel]; }
  std::uint32_t position(BothChannels, std::uint32_t length) {
    if (pos[1] != pos[0]) {
      alignChannels(length);
    }
    return pos[0];
  }
  void alignChannels(std::uint32_t length);
  void setPosition(OneChannel lanes, std::uint32_t p) { pos[lanes.channel] = p; }
  void setPosition(BothChannels, std::uint32_t p) { pos[0] = pos[1] = p; }

  // One lane per channel.
  alignas(64) std::array<DoublePair, 2 * kMirror16x> ring{};
  std::uint32_t pos[2] = {0, 0};
  HalfBandAllpass<DoublePair> allpass;
};

}  // namespace brimtone
