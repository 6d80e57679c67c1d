#include "fx/SpeakerCabinet.h"

#include "fx/RateReduction.h"

#include "fx/tables/CabinetResponses.h"

namespace brimtone {

namespace {

constexpr int kResponseLength = ShortConvolver::responseLength;

// Level trims of the stored, peak-normalised responses: 10^(-0.1875) (-3.75 dB) for the
// 1x12 cabinet and 10^(-0.1375) (-2.75 dB) for the 4x12 cabinet.
constexpr float kGain1x12 = 0.64938163f;
constexpr float kGain4x12 = 0.72861817f;

// At or above this rate the cabinet halves its rate (at most twice).
constexpr float kHalvingRate = 80000.0f;
// Cabinet rates above this use the 48 kHz family, the others the 44.1 kHz family.
constexpr float kFamilyBoundary = 46050.0f;
// Ambience amounts at or below this leave the ambience out (its state then stays frozen).
constexpr float kAmbienceThreshold = 0.0031f;
constexpr double kAmbienceScale = 0.3;

using Response = std::array<float, kResponseLength>;
// [family][type]
using ResponseSet = std::array<std::array<Response, 2>, 2>;

ResponseSet trimResponses()
{
    const float* const stored[2][2] = {{cabinetIr44k1x12, cabinetIr44k4x12}, {cabinetIr48k1x12, cabinetIr48k4x12}};
    const float gain[2] = {kGain1x12, kGain4x12};
    ResponseSet set{};
    for (int family = 0; family < 2; ++family) {
        for (int type = 0; type < 2; ++type) {
            for (int n = 0; n < kResponseLength; ++n) {
                set[family][type][n] = stored[family][type][n] * gain[type];
            }
        }
    }
    return set;
}

// The trimmed responses, built once per process by the first instance. A function-local
// static is initialised exactly once even when instances are constructed on several
// threads at the same time; the stored tables themselves stay untouched.
const ResponseSet& cabinetResponses()
{
    static const ResponseSet set = trimResponses();
    return set;
}

} // namespace

SpeakerCabinet::SpeakerCabinet()
{
    for (auto& byChannel : convolvers) {
        for (auto& convolver : byChannel) {
            convolver = std::make_unique<ShortConvolver>();
        }
    }
    setSamplePeriod(1.0 / 44100.0);
}

void SpeakerCabinet::setSamplePeriod(double T)
{
    const float r = reduceRate(T, kHalvingRate, kMaxFactor, factor, phase);

    const Family family = r > kFamilyBoundary ? Family::Rate48k : Family::Rate44k1;
    if (family == currentFamily) {
        return;
    }
    const auto& responses = cabinetResponses()[static_cast<int>(family)];
    for (int channel = 0; channel < 2; ++channel) {
        for (int type = 0; type < 2; ++type) {
            convolvers[type][channel]->setImpulseResponse(responses[type].data());
        }
    }
    currentFamily = family;
}

void SpeakerCabinet::setSecondType(int flag) { secondType = flag != 0 ? 1 : 0; }

void SpeakerCabinet::setAmbience(double v) { ambienceAmount = static_cast<float>(kAmbienceScale * v); }

float SpeakerCabinet::cab(float x, int channel)
{
    float y = convolvers[secondType][channel]->process(x);
    if (ambienceAmount > kAmbienceThreshold) {
        float a = y;
        ambience.process(a, channel);
        y = y + a * ambienceAmount;
    }
    return y;
}

void SpeakerCabinet::process(double& sample, int channel)
{
    float* in = inBlock[channel].data();
    float* out = outBlock[channel].data();
    std::int32_t& p = phase[channel];
    in[p] = static_cast<float>(sample);
    p = p + 1;
    if (p == factor) {
        // The block is complete: its outputs are handed out one per call, starting now.
        p = 0;
        switch (factor) {
        case 2:
            halfBandInterpolator[channel].interpolate2(cab(halfBandDecimator[channel].decimate2(in), channel), out);
            break;
        case 4:
            firInterpolator[channel].interpolate4(cab(firDecimator[channel].decimate4(in), channel), out);
            break;
        default:
            out[0] = cab(in[0], channel);
            break;
        }
    }
    sample = static_cast<double>(out[p]);
}

} // namespace brimtone
