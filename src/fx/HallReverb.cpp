#include "fx/HallReverb.h"

namespace brimtone {

namespace {

constexpr double kFeedback = 0.933;  // gain of the damped line output written back
constexpr double kSize = 1.0;        // scale of the line delays (not the diffusion delays)
constexpr double kDamping = 0.75;    // one-pole low-pass coefficient in each line
constexpr double kInputGain = 0.011; // dry sample fed into every line
constexpr double kDiffusionGain = 0.6;
// Added to every delay of channel 1: 23 samples at 44.1 kHz.
constexpr double kStereoOffset = 0.0005215419501133786;
constexpr double kMaxSampleRate = 192000.0;

// Line delays in seconds: 978, 1193, 1277, 1356, 1422, 1491, 1557, 1617 samples at 44.1 kHz.
constexpr std::array<double, 8> kLineTime
    = {0.022177, 0.027052, 0.02895691609, 0.03074829931, 0.03224489795, 0.0338095238, 0.03530612244, 0.03666666666};
// Diffusion delays in seconds: 556, 441, 341, 225 samples at 44.1 kHz.
constexpr std::array<double, 4> kDiffTime = {0.01260770975, 0.01, 0.007732426303, 0.005102040816};

// Rounds to the nearest integer, ties to even (the default rounding mode), without a library
// call: adding 1.5 * 2^52 leaves no fraction bits. Valid for |d| < 2^51.
inline std::uint32_t roundToIndex(double d)
{
    constexpr double kRoundingBias = 6755399441055744.0;
    return static_cast<std::uint32_t>(static_cast<std::int64_t>((d + kRoundingBias) - kRoundingBias));
}

} // namespace

HallReverb::HallReverb()
{
    computeDelays();
    clear();
}

void HallReverb::setSamplePeriod(double T)
{
    const double r = 1.0 / T;
    if (r > 0.0 && r <= kMaxSampleRate) {
        sampleRate = r;
        computeDelays();
    }
}

void HallReverb::computeDelays()
{
    for (int c = 0; c < 2; ++c) {
        const double offset = static_cast<double>(c) * kStereoOffset;
        for (int i = 0; i < kLineCount; ++i) {
            lineDelay[c][i] = (kLineTime[i] + offset) * sampleRate * kSize;
        }
        for (int j = 0; j < kDiffuserCount; ++j) {
            diffDelay[c][j] = (kDiffTime[j] + offset) * sampleRate;
        }
    }
}

void HallReverb::clear()
{
    for (auto& channelLines : lines) {
        for (auto& line : channelLines) {
            line.fill(0.0);
        }
    }
    for (auto& channelDiffusers : diffusers) {
        for (auto& diffuser : channelDiffusers) {
            diffuser.fill(0.0);
        }
    }
    for (auto& state : lowpass) {
        state.fill(0.0);
    }
    linePos.fill(0);
    diffPos.fill(0);
}

void HallReverb::process(double& sample, int channel)
{
    const double in = sample * kInputGain;
    // Positions move downwards, so a read at position + D returns the value written D
    // samples earlier.
    const std::uint32_t lp = linePos[channel];
    double sum = 0.0;
    for (int i = 0; i < kLineCount; ++i) {
        auto& line = lines[channel][i];
        const double r = line[roundToIndex(lineDelay[channel][i] + lp) & (kLineSize - 1)];
        double& state = lowpass[channel][i];
        state = (r - state) * kDamping + state;
        line[lp] = state * kFeedback + in;
        sum = sum + state;
    }
    linePos[channel] = (lp - 1) & (kLineSize - 1);

    const std::uint32_t dp = diffPos[channel];
    for (int j = 0; j < kDiffuserCount; ++j) {
        auto& diffuser = diffusers[channel][j];
        const double r = diffuser[roundToIndex(diffDelay[channel][j] + dp) & (kDiffuserSize - 1)];
        diffuser[dp] = r * kDiffusionGain + sum;
        sum = r - sum;
    }
    diffPos[channel] = (dp - 1) & (kDiffuserSize - 1);

    sample = sum;
}

} // namespace brimtone
