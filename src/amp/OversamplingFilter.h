#pragma once

#include <array>
#include <cstdint>

#include "dsp/HalfBandAllpass.h"
#include "dsp/Lanes.h"
#include "dsp/OversamplingCoefficients.h"
#include "dsp/PolyphaseFir.h"

namespace brimtone {

// Up- or down-sampling filter around the amplifier model, for one direction and both channels
// (each with its own history). Two designs, chosen by the operation the owner calls on the
// object:
//  - 4x: a polyphase FIR with the 40-tap kernel (upsample4 / downsample4);
//  - 16x: a 2x polyphase IIR half-band pair combined with an 8x polyphase FIR with the
//    80-tap kernel (upsample16 / downsample16). Up-sampling runs IIR then FIR,
//    down-sampling FIR then IIR.
// An object serves one operation for its whole life; its history is never reset.
//
// Each operation runs one channel (OneChannel, or the plain form with a channel index, 0 for a
// filter that serves a single signal) or both channels in lockstep (BothChannels, on
// DoublePairs; see Lanes.h).
class OversamplingFilter {
public:
    // One host sample in, out[0..3] sub-samples out (oldest first).
    void upsample4(double x, double* out, int channel = 0) { upsample4(x, out, OneChannel{channel}); }
    // in[0..3] sub-samples (oldest first) in, one host sample out.
    double downsample4(const double* in, int channel = 0) { return downsample4(in, OneChannel{channel}); }
    // One host sample in, out[0..15] sub-samples out (oldest first).
    void upsample16(double x, double* out, int channel = 0) { upsample16(x, out, OneChannel{channel}); }
    // in[0..15] sub-samples (oldest first) in, one host sample out.
    double downsample16(const double* in, int channel = 0) { return downsample16(in, OneChannel{channel}); }

    template <class Lanes>
    void upsample4(LaneValue<Lanes> x, LaneValue<Lanes>* out, Lanes lanes);
    template <class Lanes>
    LaneValue<Lanes> downsample4(const LaneValue<Lanes>* in, Lanes lanes);
    template <class Lanes>
    void upsample16(LaneValue<Lanes> x, LaneValue<Lanes>* out, Lanes lanes);
    template <class Lanes>
    LaneValue<Lanes> downsample16(const LaneValue<Lanes>* in, Lanes lanes);

private:
    // The delay line is written twice (at p and p + 64 for 4x, p and p + 128 for 16x) so that
    // every tap window is one contiguous run.
    static constexpr std::uint32_t kMirror4x = 64;
    static constexpr std::uint32_t kMirror16x = 128;

    // The write position of the selected channels; for both, channel 1's history is first
    // brought to channel 0's position.
    std::uint32_t position(OneChannel lanes, std::uint32_t) const { return pos[lanes.channel]; }
    std::uint32_t position(BothChannels, std::uint32_t length)
    {
        if (pos[1] != pos[0]) {
            alignChannels(length);
        }
        return pos[0];
    }
    void alignChannels(std::uint32_t length);
    void setPosition(OneChannel lanes, std::uint32_t p) { pos[lanes.channel] = p; }
    void setPosition(BothChannels, std::uint32_t p) { pos[0] = pos[1] = p; }

    // One lane per channel.
    alignas(64) std::array<DoublePair, 2 * kMirror16x> ring{};
    std::uint32_t pos[2] = {0, 0};
    HalfBandAllpass<DoublePair> allpass;
};

// The operations are defined here so that the amplifier's runners, which are compiled for
// several instruction sets, can take them in.

namespace oversampling {

// Zero-stuffing leaves each polyphase branch of a kernel with a gain of about 1/4 (4x) or
// 1/8 (the 8x FIR of 16x); the up-samplers scale their input back to unit gain.
inline constexpr double kUpsampleGain4x = 4.0;
inline constexpr double kUpsampleGain8x = 8.0;

// The kernels for both channels at once: each tap in both lanes.
inline constexpr std::array<Coefficient, 40> kKernel4xBoth = convertTable<Coefficient>(kKernel4x);
inline constexpr std::array<Coefficient, 80> kKernel16xBoth = convertTable<Coefficient>(kKernel16x);

inline const double* kernel4x(OneChannel) { return kKernel4x.data(); }
inline const Coefficient* kernel4x(BothChannels) { return kKernel4xBoth.data(); }
inline const double* kernel16x(OneChannel) { return kKernel16x.data(); }
inline const Coefficient* kernel16x(BothChannels) { return kKernel16xBoth.data(); }

} // namespace oversampling

template <class Lanes>
inline void OversamplingFilter::upsample4(LaneValue<Lanes> x, LaneValue<Lanes>* out, Lanes lanes)
{
    const LaneValue<Lanes> v = oversampling::kUpsampleGain4x * x;
    // Newest sample at the lowest position; older ones follow at pos + 1, pos + 2, ...
    const std::uint32_t p = (position(lanes, kMirror4x) - 1) & (kMirror4x - 1);
    setPosition(lanes, p);
    lanes.store(ring[p], v);
    lanes.store(ring[p + kMirror4x], v);
    polyphaseInterpolate<4, 10>(oversampling::kernel4x(lanes), &ring[p], lanes, out);
}

template <class Lanes>
inline LaneValue<Lanes> OversamplingFilter::downsample4(const LaneValue<Lanes>* in, Lanes lanes)
{
    const std::uint32_t p = position(lanes, kMirror4x);
    // This ring runs forward: newer samples at higher positions.
    DoublePair* const head = &ring[p];
    for (std::uint32_t i = 0; i < 4; ++i) {
        lanes.store(head[i], in[i]);
        lanes.store(head[kMirror4x + i], in[i]);
    }
    // The window ends at in[0]; in[1..3] enter the sum in later calls.
    const LaneValue<Lanes> y = decimationSum<40>(oversampling::kernel4x(lanes), head + kMirror4x, lanes);
    setPosition(lanes, (p + 4) & (kMirror4x - 1));
    return y;
}

template <class Lanes>
inline void OversamplingFilter::upsample16(LaneValue<Lanes> x, LaneValue<Lanes>* out, Lanes lanes)
{
    LaneValue<Lanes> a = oversampling::kUpsampleGain8x * x;
    LaneValue<Lanes> b = a;
    allpass.process(a, b, lanes);
    // Half-rate stream, newest first: b is the later half-rate sample, a the earlier.
    // The position stays even, so the write at p + 129 stays inside the ring.
    const std::uint32_t p = (position(lanes, kMirror16x) - 2) & (kMirror16x - 1);
    setPosition(lanes, p);
    lanes.store(ring[p], b);
    lanes.store(ring[p + 1], a);
    lanes.store(ring[p + kMirror16x], b);
    lanes.store(ring[p + kMirror16x + 1], a);
    polyphaseInterpolate<8, 10>(oversampling::kernel16x(lanes), &ring[p + 1], lanes, out);
    polyphaseInterpolate<8, 10>(oversampling::kernel16x(lanes), &ring[p], lanes, out + 8);
}

template <class Lanes>
inline LaneValue<Lanes> OversamplingFilter::downsample16(const LaneValue<Lanes>* in, Lanes lanes)
{
    const std::uint32_t p = position(lanes, kMirror16x);
    DoublePair* const head = &ring[p];
    for (std::uint32_t i = 0; i < 16; ++i) {
        lanes.store(head[i], in[i]);
        lanes.store(head[kMirror16x + i], in[i]);
    }
    // Two half-rate outputs: windows ending at in[15] (branch A) and at in[7] (branch B).
    LaneValue<Lanes> a;
    LaneValue<Lanes> b;
    decimationSumPair<80>(oversampling::kernel16x(lanes), head + kMirror16x + 15, head + kMirror16x + 7, lanes, a, b);
    setPosition(lanes, (p + 16) & (kMirror16x - 1));
    allpass.process(a, b, lanes);
    return (a + b) * 0.5;
}

} // namespace brimtone
