#pragma once

#include <array>
#include <cstdint>

namespace brimtone {

// Algorithmic hall: eight parallel damped feedback delay lines, summed and passed through
// four serial diffusion stages. Channel 1 uses every delay 23 samples (at 44.1 kHz) longer,
// which decorrelates the two channels. Double precision at the host rate. The object holds
// all its delay memory (about 1.1 MB), so it belongs inside a heap-allocated owner.
class HallReverb {
public:
    HallReverb();

    // T: host sample period in seconds. Rates above 192 kHz (and rates that are not positive
    // numbers) are ignored and keep the previous rate.
    void setSamplePeriod(double T);
    // Silences every line and diffusion stage.
    void clear();
    // sample is read and replaced by the wet sample; channel is 0 or 1.
    void process(double& sample, int channel);

private:
    static constexpr int kLineCount = 8;
    static constexpr int kDiffuserCount = 4;
    static constexpr std::uint32_t kLineSize = 8192;
    static constexpr std::uint32_t kDiffuserSize = 1024;

    void computeDelays();

    double sampleRate = 44100.0;
    // Delays in samples (not rounded) per channel, derived from sampleRate.
    std::array<std::array<double, kLineCount>, 2> lineDelay{};
    std::array<std::array<double, kDiffuserCount>, 2> diffDelay{};

    // Zeroed by clear().
    std::array<std::array<double, kLineCount>, 2> lowpass;
    std::array<std::array<std::array<double, kLineSize>, kLineCount>, 2> lines;
    std::array<std::uint32_t, 2> linePos;
    std::array<std::array<std::array<double, kDiffuserSize>, kDiffuserCount>, 2> diffusers;
    std::array<std::uint32_t, 2> diffPos;
};

} // namespace brimtone
