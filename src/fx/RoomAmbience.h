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
    // The reflections are computed this many samples at a time, ahead of their use, with the
    // block's sums side by side: the shortest reflection delay (112 samples) is longer than a
    // block, so all the input a block needs is already in the line when it starts. Each sum
    // keeps the order of the sample-by-sample computation, so the results are the same.
    static constexpr int kBlockLength = kWeightedSumWidth;

    void computeTaps();
    // The coloured reflections of the current sample and the kBlockLength - 1 after it.
    void computeReflections(int channel);

    std::array<RingDelay<kLineLength>, 2> delays;
    std::array<std::int32_t, kTapCount> tapDelay{};
    std::array<float, kTapCount> tapGain{};
    // Channel 1 reads everything, the direct path included, 20 samples later (decorrelation).
    static constexpr std::array<std::int32_t, 2> channelOffset = {0, 20};
    FirFilter<22> directFir;
    FirFilter<70, kBlockLength> colourFir;
    // Per channel: the coloured reflections of the current block and the index of the next.
    std::array<std::array<float, kBlockLength>, 2> colouredReflections{};
    std::array<int, 2> blockPosition = {kBlockLength, kBlockLength};
};

} // namespace brimtone
