#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "convolution/ShortConvolver.h"
#include "fx/RateFilter.h"
#include "fx/RoomAmbience.h"

namespace brimtone {

// Loudspeaker-cabinet simulation: each sample is replaced by its convolution with a measured
// 1024-sample cabinet response (one 12-inch speaker or four), with a synthetic room ambience
// mixed in. The responses exist for a 44.1 kHz and a 48 kHz family; at host rates of 80 kHz
// and above the convolution runs at a half or a quarter of the host rate, through the rate
// filters, so that it always sees a rate near 44.1 or 48 kHz. Single precision inside.
//
// Both cabinet types stay loaded, so switching the type only changes which convolver is fed;
// the other keeps its history. All operations, the whole convolution included, run on the
// audio thread.
class SpeakerCabinet {
public:
    // Loads the 44.1 kHz family at factor 1; the 1x12 type is selected and the ambience is off.
    SpeakerCabinet();
    SpeakerCabinet(const SpeakerCabinet&) = delete;
    SpeakerCabinet& operator=(const SpeakerCabinet&) = delete;

    // T: host sample period in seconds. Chooses the rate factor and the response family;
    // a family change reloads (and so clears) the convolvers, nothing else is cleared.
    void setSamplePeriod(double T);
    // 0 selects the 1x12 cabinet, anything else the 4x12 cabinet.
    void setSecondType(int flag);
    // v: the linear ambience gain; the stage mixes in 0.3 times it.
    void setAmbience(double v);
    // sample is read and replaced by the cabinet output; channel is 0 or 1.
    void process(double& sample, int channel);

private:
    static constexpr int kMaxFactor = 4;
    enum class Family : std::int8_t { None = -1, Rate44k1 = 0, Rate48k = 1 };

    // One sample at the cabinet rate.
    float cab(float x, int channel);

    Family currentFamily = Family::None;
    // [type][channel]: type 0 = 1x12, type 1 = 4x12.
    std::array<std::array<std::unique_ptr<ShortConvolver>, 2>, 2> convolvers;
    // Per channel: 2:1 and 1:2 half-band, 4:1 and 1:4 FIR.
    std::array<RateFilter, 2> halfBandDecimator;
    std::array<RateFilter, 2> halfBandInterpolator;
    std::array<RateFilter, 2> firDecimator;
    std::array<RateFilter, 2> firInterpolator;
    // Host-rate samples of the current block per channel.
    std::array<std::array<float, kMaxFactor>, 2> inBlock{};
    std::array<std::array<float, kMaxFactor>, 2> outBlock{};
    // Position of the next host sample within the block; always below factor.
    std::array<std::int32_t, 2> phase{};
    std::int32_t factor = 1; // host samples per cabinet sample: 1, 2 or 4
    std::uint8_t secondType = 0;
    RoomAmbience ambience;
    float ambienceAmount = 0.0f;
};

} // namespace brimtone
