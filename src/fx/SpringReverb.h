#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "convolution/LongConvolver.h"
#include "fx/RateFilter.h"

namespace brimtone {

// Spring reverb: the convolution of each channel with a stored 32768-sample spring response
// (left response on channel 0, right on channel 1), run at a reduced rate: the host rate is
// divided by 2, 4 or 8 through the rate filters until it is below 40 kHz. Returns the wet
// signal only. Single precision inside.
//
// Each channel's LongConvolver owns four worker threads from construction to destruction.
// All operations run on the audio thread.
class SpringReverb {
public:
    // Loads both responses and starts for a host rate of 44.1 kHz (factor 2), silent.
    SpringReverb();
    SpringReverb(const SpringReverb&) = delete;
    SpringReverb& operator=(const SpringReverb&) = delete;

    // T: host sample period in seconds. Chooses the rate factor; the responses stay as they
    // are, so at other reduced rates they simply play faster or slower.
    void setSamplePeriod(double T);
    // Clears the blocks, the counters and the convolution history (not the rate filters).
    void reset();
    // Returns the wet sample for the dry sample; channel is 0 or 1.
    double process(double sample, int channel);

private:
    static constexpr int kMaxFactor = 8;

    std::array<std::unique_ptr<LongConvolver>, 2> convolvers;
    // Per channel: 2:1 and 1:2 half-band, 4:1 and 1:4 FIR, 8:1 and 1:8 combined.
    std::array<RateFilter, 2> halfBandDecimator;
    std::array<RateFilter, 2> halfBandInterpolator;
    std::array<RateFilter, 2> firDecimator;
    std::array<RateFilter, 2> firInterpolator;
    std::array<RateFilter, 2> combinedDecimator;
    std::array<RateFilter, 2> combinedInterpolator;
    std::array<std::array<float, kMaxFactor>, 2> inBlock{};
    std::array<std::array<float, kMaxFactor>, 2> outBlock{};
    // Position of the next host sample within the block; always below factor.
    std::array<std::int32_t, 2> phase{};
    std::int32_t factor = 2; // host samples per reverb sample: 1, 2, 4 or 8
};

} // namespace brimtone
