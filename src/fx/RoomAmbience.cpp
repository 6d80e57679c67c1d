#include "fx/RoomAmbience.h"

#include <cmath>

#include "fx/tables/RoomAmbienceTables.h"

namespace brimtone {

namespace {

// Reflection times: the first at about 3 ms, each gap growing by 33.31 us.
constexpr float kFirstTapTime = 0.003021875f;
constexpr float kTapSpacing = 0.0002f;
constexpr float kTapSpacingGrowth = 3.331e-05f;
constexpr float kTapTimeShift = 0.00015873015f;
// Reflection gain g = a / (time + b) + c: falls from about 0.246 towards 0.100.
constexpr float kGainScale = 0.0004756357f;
constexpr float kGainTimeOffset = 0.0005232348f;
constexpr float kGainFloor = 0.090970784f;
constexpr float kDirectGain = 7.66f;

} // namespace

RoomAmbience::RoomAmbience()
{
    directFir.setKernel(kAmbienceDirectKernel);
    colourFir.setKernel(kAmbienceColourKernel);
    computeTaps();
}

void RoomAmbience::computeTaps()
{
    float t = kFirstTapTime;
    for (int i = 0; i < kTapCount; ++i) {
        if (i > 0) {
            t = t + (static_cast<float>(i) * kTapSpacingGrowth + kTapSpacing);
        }
        const float time = t + kAmbienceTapJitter[i] - kTapTimeShift;
        tapDelay[i] = static_cast<std::int32_t>(std::lrint(time / kTapPeriod));
        const float g = kGainScale / (time + kGainTimeOffset) + kGainFloor;
        tapGain[i] = (i % 2 == 0) ? g : -g;
    }
}

void RoomAmbience::computeReflections(int channel)
{
    const RingDelay<kLineLength>& line = delays[channel];
    const std::int32_t offset = channelOffset[channel];
    // Reflection i of block sample j is the sample written tapDelay[i] + offset - j ago, so the
    // block reads a contiguous run per reflection.
    std::array<float, kBlockLength> reflections;
    weightedSums<kTapCount>(
        tapGain.data(), [&](int i) { return line.since(tapDelay[i] + offset); }, reflections.data());
    colourFir.process(reflections.data(), colouredReflections[channel].data(), kBlockLength, channel);
}

void RoomAmbience::process(float& sample, int channel)
{
    RingDelay<kLineLength>& line = delays[channel];
    line.advance();
    line.write(sample);
    int& next = blockPosition[channel];
    if (next == kBlockLength) {
        computeReflections(channel);
        next = 0;
    }
    const float direct = line.read(channelOffset[channel]) * kDirectGain;
    sample = colouredReflections[channel][next] + directFir.process(direct, channel);
    next = next + 1;
}

} // namespace brimtone
