#pragma once

#include <array>
#include <cstdint>

#include "fx/FirFilter.h"
#include "fx/RingDelay.h"

namespace brimtone {

// The sound of a small room added to the cabinet output: 48 early reflections read from a
// delay line, summed with alternating signs and coloured by a 70-tap FIR, plus a direct path
// coloured by a 22-tap FIR. Single precision. The reflection pattern is fixed for a period of
// 1/44100 s and used unchanged at every cabinet rate.
class RoomAmbience {
 public:
  RoomAmbience();

  // sample is read and replaced by the ambience output; channel is 0 or 1.
  void process(float& sample, int channel);

 private:
  static constexpr int kTapCount = 48;
  static constexpr float kTapPeriod = 1.0f / 44100.0f;
  // 110 ms of history: more than the longest reflection plus the channel offset.
  static constexpr int kLineLength = static_cast<int>(0.11f / kTapPeriod);

  void computeTaps();

  std::array<RingDelay<kLineLength>, 2> delays;
  std::array<std::int32_t, kTapCount> tapDelay{};
  std::array<float, kTapCount> tapGain{};
  // Channel 1 reads everything, the direct path included, 20 samples later (decorrelation).
  static constexpr std::array<std::int32_t, 2> channelOffset = {0, 20};
  FirFilter<22> directFir;
  FirFilter<70> colourFir;
};

}  // namespace brimtone
