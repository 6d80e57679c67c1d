#pragma once

#include <array>
#include <cstdint>

#include "dsp/HalfBandAllpass.h"

namespace brimtone {

// Single-precision rate changer for the cabinet and spring reverb: takes a block of 2, 4 or
// 8 host-rate samples down to one reduced-rate sample, or one reduced-rate sample back up to
// 2, 4 or 8 host-rate samples. It uses the amplifier's oversampling designs in float:
//  - 2:1 and 1:2: the polyphase IIR half-band pair (decimate2 / interpolate2);
//  - 4:1 and 1:4: the 40-tap polyphase FIR (decimate4 / interpolate4);
//  - 8:1 and 1:8: both in series (decimate8 / interpolate8).
// One object per direction, ratio and channel; it serves one operation for its whole life
// and its history is never reset.
class RateFilter {
public:
    // in[0], in[1] (oldest first) in, one sample out.
    float decimate2(const float* in);
    // One sample in, out[0], out[1] (oldest first) out.
    void interpolate2(float x, float* out);
    // in[0..3] in, one sample out.
    float decimate4(const float* in);
    // One sample in, out[0..3] out.
    void interpolate4(float x, float* out);
    // in[0..7] in, one sample out.
    float decimate8(const float* in);
    // One sample in, out[0..7] out.
    void interpolate8(float x, float* out);

private:
    // 64 positions, each written twice (at p and p + 64), so every tap window is contiguous.
    static constexpr std::uint32_t kMirror = 64;

    alignas(64) std::array<float, 2 * kMirror> ring{};
    std::uint32_t pos = 0;
    HalfBandAllpass<float> allpass;
};

} // namespace brimtone
