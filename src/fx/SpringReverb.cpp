#include "fx/SpringReverb.h"

#include "fx/RateReduction.h"
#include "fx/tables/SpringResponses.h"

namespace brimtone {

namespace {

// At or above this rate the reverb halves its rate (at most three times).
constexpr float kHalvingRate = 40000.0f;
// Level at which the dry signal enters the convolution.
constexpr float kInputGain = 0.04f;

} // namespace

SpringReverb::SpringReverb()
{
    // The channels' convolvers take different phases, so that their workers wake apart.
    for (int channel = 0; channel < 2; ++channel)
        convolvers[channel] = std::make_unique<LongConvolver>(channel);
    setSamplePeriod(1.0 / 44100.0);
    convolvers[0]->setImpulseResponse(springIrLeft);
    convolvers[1]->setImpulseResponse(springIrRight);
    reset();
}

void SpringReverb::setSamplePeriod(double T) { reduceRate(T, kHalvingRate, kMaxFactor, factor, phase); }

void SpringReverb::reset()
{
    for (auto& block : inBlock) {
        block.fill(0.0f);
    }
    for (auto& block : outBlock) {
        block.fill(0.0f);
    }
    phase.fill(0);
    for (auto& convolver : convolvers) {
        convolver->reset();
    }
}

double SpringReverb::process(double sample, int channel)
{
    float* in = inBlock[channel].data();
    float* out = outBlock[channel].data();
    std::int32_t& p = phase[channel];
    in[p] = static_cast<float>(sample) * kInputGain;
    p = p + 1;
    if (p != factor) {
        return static_cast<double>(out[p]);
    }
    // The block is complete: its outputs are handed out one per call, starting now.
    p = 0;
    LongConvolver& convolver = *convolvers[channel];
    switch (factor) {
    case 2:
        halfBandInterpolator[channel].interpolate2(convolver.process(halfBandDecimator[channel].decimate2(in)), out);
        break;
    case 4:
        firInterpolator[channel].interpolate4(convolver.process(firDecimator[channel].decimate4(in)), out);
        break;
    case 8:
        combinedInterpolator[channel].interpolate8(convolver.process(combinedDecimator[channel].decimate8(in)), out);
        break;
    default:
        out[0] = convolver.process(in[0]);
        break;
    }
    return static_cast<double>(out[0]);
}

} // namespace brimtone
